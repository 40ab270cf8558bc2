#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <lcms2.h>

#include <cmath>

#include "ICCTestProfiles.h"
#include "ImageWindowTestSupport.h"
#include "platform/ICCProfile.h"
#include "platform/Registry.h"
#include "windows/dialogs/MissingProfileDialog.h"
#include "windows/dialogs/ProfileMismatchDialog.h"
#include "windows/image/Bitmaps.h"
#include "windows/image/ICCProfilePolicy.h"
#include "windows/image/ImageWindow_ICM.h"
#include "windows/main/Application.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/AssignICCProfileWindow.h"

namespace
{

class PathProvider : public MonitorProfileProvider
{
public:
   std::string MonitorProfilePath() override { return path; }
   std::string path;
};

// Display colour management with a monitor that is not sRGB: an Adobe-compatible profile written by the test.
class DisplayColorManagementTest : public test::ImageWindowTest
{
protected:
   void SetUp() override
   {
      ImageWindowTest::SetUp();
      ASSERT_TRUE( dir.isValid() );
      srgb = Save( cmsCreate_sRGBProfile(), "srgb.icc" );
      monitor = Save( test::MakeAdobeCompatibleProfile( "Monitor" ), "monitor.icc" );
      other = Save( test::MakeRGBProfile( "Other RGB", 1.8, { { 0.63, 0.34, 1 }, { 0.31, 0.595, 1 }, { 0.155, 0.07, 1 } } ),
                    "other.icc" );
      gray = Save( test::MakeGrayProfile( "Gray 2.2" ), "gray.icc" );

      saved.EnableGlobalColorManagement = ColorManagementSettings.EnableGlobalColorManagement;
      saved.DefaultRGBProfilePath = ColorManagementSettings.DefaultRGBProfilePath;
      saved.DefaultGrayProfilePath = ColorManagementSettings.DefaultGrayProfilePath;
      saved.DefaultRenderingIntent = ColorManagementSettings.DefaultRenderingIntent;
      saved.OnProfileMismatch = ColorManagementSettings.OnProfileMismatch;
      saved.OnMissingProfile = ColorManagementSettings.OnMissingProfile;
      ReleaseColorManagement();
      provider.path = monitor;
      previous = SetMonitorProfileProvider( &provider );
      ColorManagementSettings.EnableGlobalColorManagement = true;
      ColorManagementSettings.DefaultRenderingIntent = 0;
      Start( srgb, gray );
   }

   void TearDown() override
   {
      ImageWindowTest::TearDown();
      ReleaseColorManagement();
      SetMonitorProfileProvider( previous );
      ColorManagementSettings.EnableGlobalColorManagement = saved.EnableGlobalColorManagement;
      ColorManagementSettings.DefaultRGBProfilePath = saved.DefaultRGBProfilePath;
      ColorManagementSettings.DefaultGrayProfilePath = saved.DefaultGrayProfilePath;
      ColorManagementSettings.DefaultRenderingIntent = saved.DefaultRenderingIntent;
      ColorManagementSettings.OnProfileMismatch = saved.OnProfileMismatch;
      ColorManagementSettings.OnMissingProfile = saved.OnMissingProfile;
   }

   void Start( const std::string& rgbDefault, const std::string& grayDefault )
   {
      ColorManagementSettings.DefaultRGBProfilePath = rgbDefault;
      ColorManagementSettings.DefaultGrayProfilePath = grayDefault;
      LoadMonitorProfile();
      UpdateDefaultDisplayTransforms( false );
   }

   std::string Save( cmsHPROFILE profile, const char* name )
   {
      const std::string path = dir.filePath( name ).toStdString();
      EXPECT_TRUE( cmsSaveProfileToFile( profile, path.c_str() ) );
      cmsCloseProfile( profile );
      return path;
   }

   // The bitmap passed through LittleCMS's exact pipeline (no precomputed lattice): bytes to 16-bit words, the two
   // profiles, words to bytes.
   static QImage ThroughLittleCMS( const QImage& rendered, const std::string& from, const std::string& to, bool grayInput )
   {
      cmsHPROFILE in = cmsOpenProfileFromFile( from.c_str(), "r" );
      cmsHPROFILE out = cmsOpenProfileFromFile( to.c_str(), "r" );
      cmsHTRANSFORM t = cmsCreateTransform( in, grayInput ? TYPE_GRAY_16 : TYPE_RGB_16, out, TYPE_RGB_16,
                                            INTENT_PERCEPTUAL, cmsFLAGS_NOOPTIMIZE );
      QImage result = rendered.copy();
      for ( int y = 0; y < result.height(); ++y )
      {
         auto* row = reinterpret_cast<uint32_t*>( result.scanLine( y ) );
         for ( int x = 0; x < result.width(); ++x )
         {
            const uint32_t p = row[x];
            const uint16_t words[3] = { uint16_t( grayInput ? ( p & 0xff ) * 257 : ( ( p >> 16 ) & 0xff ) * 257 ),
                                        uint16_t( ( ( p >> 8 ) & 0xff ) * 257 ), uint16_t( ( p & 0xff ) * 257 ) };
            uint16_t o[3];
            cmsDoTransform( t, words, o, 1 );
            auto byte = []( uint16_t w ) { return uint32_t( std::nearbyint( w * 255.0L / 65535.0L ) ); };
            row[x] = 0xff000000u | byte( o[0] ) << 16 | byte( o[1] ) << 8 | byte( o[2] );
         }
      }
      cmsDeleteTransform( t );
      cmsCloseProfile( in );
      cmsCloseProfile( out );
      return result;
   }

   // The largest difference of two bitmaps of one size in any byte.
   static int MaxDifference( const QImage& a, const QImage& b )
   {
      if ( a.size() != b.size() )
         return 256;
      int worst = 0;
      for ( int y = 0; y < a.height(); ++y )
         for ( int x = 0; x < a.width(); ++x )
            for ( int shift : { 0, 8, 16 } )
               worst = std::max( worst, std::abs( int( ( a.pixel( x, y ) >> shift ) & 0xff ) -
                                                  int( ( b.pixel( x, y ) >> shift ) & 0xff ) ) );
      return worst;
   }

   static QImage Rendered( TImageWindow& w )
   {
      return RenderImageBitmap( *w.image, w.rgbWorkingSpace, 0, 0, w.image->Width(), w.image->Height(), 1,
                                w.CurrentRenderMode(), nullptr, -1, -1 );
   }

   static QImage Managed( TImageWindow& w )
   {
      QImage bitmap = Rendered( w );
      w.ColorManageBitmap( bitmap );
      return bitmap;
   }

   QTemporaryDir dir;
   std::string srgb, monitor, other, gray;
   PathProvider provider;
   MonitorProfileProvider* previous = nullptr;
   ColorManagementSettingsRecord saved;
};

TEST_F( DisplayColorManagementTest, ConversionTables )
{
   BuildDisplayLUTs();
   EXPECT_EQ( DisplayLUT8To16[255], 65535 );
   EXPECT_EQ( DisplayLUT8To16[128], 32896 );
   EXPECT_EQ( DisplayLUT16To8[32896], 128 );
   EXPECT_EQ( DisplayLUT16To8[65535], 255 );
   EXPECT_EQ( DisplayLUT16To8[128], 0 );
   EXPECT_EQ( DisplayLUT16To8[129], 1 );
}

TEST_F( DisplayColorManagementTest, WindowsShowTheRendererBytesThroughTheDisplayTransform )
{
   ASSERT_TRUE( ColorManagementSettings.displayAvailable );

   // Untagged colour: the default RGB profile to the monitor; twice, the second time from the cached colours.
   TImageWindow* rgb = Make( RandomImage( 48, 32, 3, qor::ColorSpace::RGB ) );
   const QImage expected = Managed( *rgb );
   EXPECT_LE( MaxDifference( expected, ThroughLittleCMS( Rendered( *rgb ), srgb, monitor, false ) ), 1 );
   EXPECT_EQ( Managed( *rgb ), expected );

   // What the window paints is that bitmap.
   SetClientSize( *rgb, 200, 150 );
   rgb->show();
   const QImage shown = rgb->viewport()->grab().toImage().convertToFormat( QImage::Format_RGB32 );
   EXPECT_EQ( shown.copy( rgb->imageOffsetX, rgb->imageOffsetY, 48, 32 ), expected );

   // An embedded profile is used instead of the default one.
   rgb->SetICCProfile( std::make_unique<std::vector<uint8_t>>( test::FileBytes( other ) ), false );
   EXPECT_LE( MaxDifference( Managed( *rgb ), ThroughLittleCMS( Rendered( *rgb ), other, monitor, false ) ), 1 );

   // A grey image: the grey default, fed by the blue byte.
   TImageWindow* g = Make( RandomImage( 20, 10, 1, qor::ColorSpace::Gray ) );
   EXPECT_LE( MaxDifference( Managed( *g ), ThroughLittleCMS( Rendered( *g ), gray, monitor, true ) ), 1 );
   // A grey image with an RGB profile is shown through it as RGB.
   g->SetICCProfile( std::make_unique<std::vector<uint8_t>>( test::FileBytes( other ) ), false );
   EXPECT_LE( MaxDifference( Managed( *g ), ThroughLittleCMS( Rendered( *g ), other, monitor, false ) ), 1 );

   // A grey profile on a colour image is never used: the image is shown as untagged.
   rgb->SetICCProfile( std::make_unique<std::vector<uint8_t>>( test::FileBytes( gray ) ), false );
   EXPECT_EQ( rgb->displayTransform, nullptr );
   EXPECT_EQ( Managed( *rgb ), expected );
   // So is a profile LittleCMS refuses.
   rgb->SetICCProfile( std::make_unique<std::vector<uint8_t>>( std::vector<uint8_t>( 200, 7 ) ), false );
   EXPECT_EQ( Managed( *rgb ), expected );

   // Switched off, per window or globally: as rendered.
   rgb->DeleteICCProfile( false );
   rgb->DisableColorManagement();
   EXPECT_FALSE( rgb->colorManagementEnabled );
   rgb->EnableColorManagement();
   DeactivateGlobalColorManagement();
   EXPECT_FALSE( ColorManagementSettings.EnableGlobalColorManagement );
   ActivateGlobalColorManagement();
   EXPECT_TRUE( ColorManagementSettings.EnableGlobalColorManagement );
}

TEST_F( DisplayColorManagementTest, TheDisplayAgreesWithTheExactPipelineInDarkTonesAndAtGamutEdges )
{
   // The system's profiles: an sRGB image and a grey image on an Adobe-compatible monitor.
   const std::string folder = "/usr/share/color/icc/";
   const std::string srgbFile = folder + "sRGB.icc", adobeFile = folder + "compatibleWithAdobeRGB1998.icc",
                     grayFile = folder + "Gray.icc";
   for ( const std::string& f : { srgbFile, adobeFile, grayFile } )
      ASSERT_TRUE( QFileInfo::exists( QString::fromStdString( f ) ) ) << f << " (icc-profiles-free)";
   ReleaseColorManagement();
   provider.path = adobeFile;
   Start( srgbFile, grayFile );
   ASSERT_TRUE( ColorManagementSettings.displayAvailable );

   // Every grey level, and colours that are dark, saturated or both.
   QImage colors( 64, 68, QImage::Format_RGB32 );
   uint32_t state = 12345;
   for ( int y = 0; y < colors.height(); ++y )
      for ( int x = 0; x < colors.width(); ++x )
      {
         const int i = y * colors.width() + x;
         uint32_t c[3];
         for ( uint32_t& v : c )
         {
            state = state * 1664525u + 1013904223u;
            v = ( state >> 24 ) & 0xff;
            if ( i % 3 == 0 )
               v /= 16; // dark
            else if ( i % 3 == 1 && v > 128 )
               v = 255; // at an edge
         }
         if ( i < 256 )
            c[0] = c[1] = c[2] = uint32_t( i );
         colors.setPixel( x, y, 0xff000000u | c[0] << 16 | c[1] << 8 | c[2] );
      }
   QImage shown = colors.copy();
   ASSERT_TRUE( TranslateDisplayPixels( ColorManagementSettings.rgbDisplayTransform,
                                        reinterpret_cast<uint32_t*>( shown.bits() ), shown.width() * shown.height() ) );
   EXPECT_LE( MaxDifference( shown, ThroughLittleCMS( colors, srgbFile, adobeFile, false ) ), 1 );

   QImage greys( 256, 1, QImage::Format_RGB32 );
   for ( int i = 0; i < 256; ++i )
      greys.setPixel( i, 0, 0xff000000u | uint32_t( i ) * 0x010101u );
   shown = greys.copy();
   ASSERT_TRUE( TranslateDisplayPixels( ColorManagementSettings.grayDisplayTransform,
                                        reinterpret_cast<uint32_t*>( shown.bits() ), 256 ) );
   EXPECT_LE( MaxDifference( shown, ThroughLittleCMS( greys, grayFile, adobeFile, true ) ), 1 );
}

TEST_F( DisplayColorManagementTest, TheStartUpSaysWhenDisplayColorManagementCannotBeUsed )
{
   // A file that is no profile, and an RGB display profile without curves or colorants (it opens, but nothing can
   // be converted to it).
   const std::string broken = dir.filePath( "broken.icc" ).toStdString();
   {
      QFile f( QString::fromStdString( broken ) );
      ASSERT_TRUE( f.open( QIODevice::WriteOnly ) );
      f.write( QByteArray( 300, 'x' ) );
   }
   cmsHPROFILE empty = cmsCreateProfilePlaceholder( nullptr );
   cmsSetDeviceClass( empty, cmsSigDisplayClass );
   cmsSetColorSpace( empty, cmsSigRgbData );
   cmsSetPCS( empty, cmsSigXYZData );
   test::DescribeProfile( empty, "Empty" );
   const std::string unusable = Save( empty, "unusable.icc" );

   const QString disabled = "\nColor management will be disabled.";
   struct Case
   {
      const char* what;
      std::string path;
      QString text; // the box, none when empty
   } cases[] = {
       { "no monitor profile", "", "Failed to find the monitor ICC profile." + disabled },
       { "a monitor profile that does not load", broken,
         "Failed to load the monitor ICC profile:\n" + QString::fromStdString( broken ) + disabled },
       { "a monitor profile nothing converts to", unusable, "Unable to initialize the system CMS." + disabled },
       { "a usable monitor profile", monitor, "" },
   };
   for ( const Case& c : cases )
   {
      ReleaseColorManagement();
      provider.path = c.path;
      ColorManagementSettings.DefaultRGBProfilePath = srgb;
      ColorManagementSettings.DefaultGrayProfilePath = gray;
      prompter.Clear();
      if ( !c.text.isEmpty() )
      {
         platform::PromptExpectation box;
         box.pattern = QRegularExpression( "^" + QRegularExpression::escape( c.text ) );
         box.caption = ToolkitApplicationTitle();
         box.icon = platform::Icon::Error;
         prompter.Expect( box );
      }
      auto main = std::make_unique<TMainWindow>();
      EXPECT_EQ( prompter.PendingCount(), 0u ) << c.what;
      EXPECT_TRUE( prompter.UnexpectedRecords().empty() ) << c.what;
      EXPECT_EQ( ColorManagementSettings.displayAvailable, c.text.isEmpty() ) << c.what;
      main.reset();
      prompter.Clear();
   }
}

TEST_F( DisplayColorManagementTest, AChangedIntentRebuildsEveryTransform )
{
   TImageWindow* w = Make( RandomImage( 16, 16, 3, qor::ColorSpace::RGB ) );
   w->SetICCProfile( std::make_unique<std::vector<uint8_t>>( test::FileBytes( other ) ), false );
   const ICCColorTransform before = w->displayTransform;
   ASSERT_NE( before, nullptr );
   SetColorManagementDefaults( srgb, gray, 1, 0, 3, 1 );
   EXPECT_EQ( ColorManagementSettings.OnProfileMismatch, 3 );
   EXPECT_EQ( ColorManagementSettings.OnMissingProfile, 1 );
   ASSERT_NE( w->displayTransform, nullptr );
   QImage bitmap = Rendered( *w );
   w->ColorManageBitmap( bitmap );
   // Built anew with the new intent (relative colorimetric).
   cmsHPROFILE in = cmsOpenProfileFromFile( other.c_str(), "r" );
   cmsHPROFILE out = cmsOpenProfileFromFile( monitor.c_str(), "r" );
   cmsHTRANSFORM t = cmsCreateTransform( in, TYPE_RGB_16, out, TYPE_RGB_16, INTENT_RELATIVE_COLORIMETRIC,
                                         cmsFLAGS_HIGHRESPRECALC );
   const QImage rendered = Rendered( *w );
   const uint32_t p = reinterpret_cast<const uint32_t*>( rendered.constBits() )[0];
   const uint16_t words[3] = { uint16_t( ( ( p >> 16 ) & 0xff ) * 257 ), uint16_t( ( ( p >> 8 ) & 0xff ) * 257 ),
                               uint16_t( ( p & 0xff ) * 257 ) };
   uint16_t o[3];
   cmsDoTransform( t, words, o, 1 );
   cmsDeleteTransform( t );
   cmsCloseProfile( in );
   cmsCloseProfile( out );
   EXPECT_EQ( ( reinterpret_cast<const uint32_t*>( bitmap.constBits() )[0] >> 16 ) & 0xff,
              uint32_t( std::nearbyint( o[0] * 255.0L / 65535.0L ) ) );

   // Only the policies changed: nothing is rebuilt.
   const ICCColorTransform kept = w->displayTransform;
   SetColorManagementDefaults( srgb, gray, 1, 0, 0, 0 );
   EXPECT_EQ( w->displayTransform, kept );
   EXPECT_EQ( ColorManagementSettings.OnProfileMismatch, 0 );
}

TEST_F( DisplayColorManagementTest, DefaultsFallBackToTheMonitorProfile )
{
   ReleaseColorManagement();
   // First start: no paths saved. Then a default naming a missing file, and one of the wrong colour space.
   const std::string cases[] = { "", dir.filePath( "missing.icc" ).toStdString(), gray };
   for ( const std::string& path : cases )
   {
      SCOPED_TRACE( path );
      Start( path, "" );
      EXPECT_TRUE( ColorManagementSettings.displayAvailable );
      EXPECT_EQ( ColorManagementSettings.DefaultRGBProfilePath, monitor );
      EXPECT_EQ( ColorManagementSettings.DefaultGrayProfilePath, monitor );
      // Untagged images on a monitor that is their own default are shown as rendered.
      TImageWindow* w = Make( RandomImage( 8, 8, 3, qor::ColorSpace::RGB ) );
      EXPECT_EQ( Managed( *w ), Rendered( *w ) );
      delete w;
      ReleaseColorManagement();
   }

   // No monitor profile: nothing is converted and no switch moves.
   provider.path = dir.filePath( "absent.icc" ).toStdString();
   Start( srgb, gray );
   EXPECT_FALSE( ColorManagementSettings.displayAvailable );
   TImageWindow* w = Make( RandomImage( 8, 8, 3, qor::ColorSpace::RGB ) );
   EXPECT_EQ( Managed( *w ), Rendered( *w ) );
   w->DisableColorManagement();
   EXPECT_TRUE( w->colorManagementEnabled );
   DeactivateGlobalColorManagement();
   EXPECT_TRUE( ColorManagementSettings.EnableGlobalColorManagement );
   // A profile given meanwhile is kept for saving, without a transform.
   w->SetICCProfile( std::make_unique<std::vector<uint8_t>>( test::FileBytes( other ) ), true );
   EXPECT_NE( w->iccProfile, nullptr );
   EXPECT_EQ( w->displayTransform, nullptr );
}

TEST_F( DisplayColorManagementTest, SettingsAreWrittenAndReadBack )
{
   const QString ini = dir.filePath( "settings.ini" );
   ColorManagementSettingsRecord& s = ColorManagementSettings;
   {
      platform::Registry registry( ini );
      // Nothing saved yet: every field stays.
      s.OnProfileMismatch = 1;
      LoadColorManagementSettings( registry );
      EXPECT_EQ( s.OnProfileMismatch, 1 );
   }
   s.EnableGlobalColorManagement = false;
   s.DefaultRenderingIntent = 3;
   s.DefaultCMMIndex = 0x6C636D73;
   s.OnProfileMismatch = 4;
   s.OnMissingProfile = 0;
   s.DefaultRGBProfilePath = other;
   s.DefaultGrayProfilePath = gray;
   s.DefaultProfileEmbedding = false;
   {
      platform::Registry registry( ini );
      SaveColorManagementSettings( registry );
   }
   s.EnableGlobalColorManagement = true;
   s.DefaultRenderingIntent = 0;
   s.DefaultCMMIndex = 0;
   s.OnProfileMismatch = 1;
   s.OnMissingProfile = 2;
   s.DefaultRGBProfilePath.clear();
   s.DefaultGrayProfilePath.clear();
   s.DefaultProfileEmbedding = true;
   {
      platform::Registry registry( ini );
      LoadColorManagementSettings( registry );
   }
   EXPECT_FALSE( s.EnableGlobalColorManagement );
   EXPECT_EQ( s.DefaultRenderingIntent, 3u );
   EXPECT_EQ( s.DefaultCMMIndex, 0x6C636D73u );
   EXPECT_EQ( s.OnProfileMismatch, 4 );
   EXPECT_EQ( s.OnMissingProfile, 0 );
   EXPECT_EQ( s.DefaultRGBProfilePath, other );
   EXPECT_EQ( s.DefaultGrayProfilePath, gray );
   EXPECT_FALSE( s.DefaultProfileEmbedding );
   s.DefaultProfileEmbedding = true;
}

// ---- Policies on open ----------------------------------------------------------------------------------------------

TEST_F( DisplayColorManagementTest, ProfilePoliciesOnOpen )
{
   enum Embedded
   {
      Same,
      Different,
      Missing,
      Invalid
   };
   enum Outcome
   {
      Kept,
      Converted,
      Discarded,
      Assigned,
      Untagged
   };
   struct Case
   {
      Embedded embedded;
      int policy;      // OnProfileMismatch, or OnMissingProfile for Missing
      int dialogPress; // 0: no dialog; else the radio button's number pressed before OK (-1: Cancel, 9: OK alone)
      Outcome outcome;
      bool colorManagementOn;
   };
   const Case cases[] = {
      { Same, 0, 0, Kept, true },           { Same, 2, 0, Kept, true },
      { Different, 1, 0, Kept, true },      { Different, 2, 0, Converted, true },
      { Different, 3, 0, Discarded, true }, { Different, 4, 0, Kept, false },
      { Different, 0, 9, Kept, true },      { Different, 0, 2, Converted, true },
      { Different, 0, 3, Discarded, true }, { Different, 0, 4, Kept, false },
      { Missing, 1, 0, Assigned, true },    { Missing, 2, 0, Untagged, true },
      { Missing, 3, 0, Untagged, false },   { Missing, 0, 9, Untagged, true },
      { Missing, 0, 1, Assigned, true },    { Missing, 0, 3, Untagged, false },
      { Invalid, 1, 0, Untagged, true },    { Invalid, 2, 0, Untagged, true },
   };
   const std::vector<uint8_t> srgbBytes = test::FileBytes( srgb );
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( testing::Message() << "embedded " << c.embedded << " policy " << c.policy << " press "
                                       << c.dialogPress );
      ColorManagementSettings.OnProfileMismatch = int8_t( c.policy );
      ColorManagementSettings.OnMissingProfile = int8_t( c.policy );
      std::unique_ptr<qor::Image> image( RandomImage( 4, 3, 3, qor::ColorSpace::RGB ) );
      const std::vector<float> before( image->PixelData( 0 ), image->PixelData( 0 ) + 12 );
      std::unique_ptr<std::vector<uint8_t>> profile;
      if ( c.embedded == Same )
         profile = std::make_unique<std::vector<uint8_t>>( *ColorManagementSettings.defaultRGBProfileData );
      else if ( c.embedded == Different )
         profile = std::make_unique<std::vector<uint8_t>>( test::FileBytes( other ) );
      else if ( c.embedded == Invalid )
         profile = std::make_unique<std::vector<uint8_t>>( 300, 1 );
      if ( c.embedded == Invalid )
         prompter.Expect( "The embedded ICC profile is invalid and has been discarded:\n  /data/x.tif" );
      if ( c.dialogPress != 0 )
         dialogs.Expect( c.embedded == Missing ? "MissingProfileDialog" : "ProfileMismatchDialog",
                         [&c]( QDialog& d )
                         {
                            if ( c.dialogPress < 0 )
                               return int( QDialog::Rejected );
                            if ( c.embedded == Missing )
                               EXPECT_TRUE( static_cast<TMissingProfileDialog&>( d ).Ignore_RadioButton->isChecked() );
                            else
                               EXPECT_TRUE( static_cast<TProfileMismatchDialog&>( d ).Keep_RadioButton->isChecked() );
                            const char* names[] = { "", "Default_RadioButton", "Ignore_RadioButton", "Disable_RadioButton" };
                            const char* mismatchNames[] = { "", "Keep_RadioButton", "Convert_RadioButton",
                                                            "Discard_RadioButton", "Disable_RadioButton" };
                            if ( c.dialogPress != 9 )
                               d.findChild<QRadioButton*>( c.embedded == Missing ? names[c.dialogPress]
                                                                                  : mismatchNames[c.dialogPress] )
                                   ->click();
                            return int( QDialog::Accepted );
                         } );
      bool on = true, converted = false;
      ApplyICCProfilePolicy( *image, "/data/x.tif", profile, on, converted );
      EXPECT_EQ( on, c.colorManagementOn );
      EXPECT_EQ( converted, c.outcome == Converted );
      const std::vector<float> after( image->PixelData( 0 ), image->PixelData( 0 ) + 12 );
      switch ( c.outcome )
      {
      case Kept:
         ASSERT_NE( profile, nullptr );
         EXPECT_EQ( *profile, c.embedded == Same ? *ColorManagementSettings.defaultRGBProfileData : test::FileBytes( other ) );
         EXPECT_EQ( after, before );
         break;
      case Converted:
      case Assigned:
         ASSERT_NE( profile, nullptr );
         EXPECT_EQ( *profile, *ColorManagementSettings.defaultRGBProfileData );
         EXPECT_EQ( after != before, c.outcome == Converted );
         break;
      case Discarded:
      case Untagged:
         EXPECT_EQ( profile, nullptr );
         EXPECT_EQ( after, before );
         break;
      }
   }

   // Cancel in either question abandons the read without a word.
   for ( bool missing : { false, true } )
   {
      ColorManagementSettings.OnProfileMismatch = 0;
      ColorManagementSettings.OnMissingProfile = 0;
      dialogs.ExpectResult( missing ? "MissingProfileDialog" : "ProfileMismatchDialog", QDialog::Rejected );
      std::unique_ptr<qor::Image> image( RandomImage( 4, 3, 3, qor::ColorSpace::RGB ) );
      auto profile = missing ? nullptr : std::make_unique<std::vector<uint8_t>>( test::FileBytes( other ) );
      bool on = true, converted = false;
      try
      {
         ApplyICCProfilePolicy( *image, "/data/x.tif", profile, on, converted );
         ADD_FAILURE() << "not cancelled";
      }
      catch ( const ProcessRefusal& x )
      {
         EXPECT_STREQ( x.what(), "" );
      }
   }

   // A grey profile embedded in a colour image is named and discarded, whatever the policy.
   ColorManagementSettings.OnProfileMismatch = 1;
   prompter.Expect( "The embedded ICC profile \"Gray 2.2\" does not fit the color space of the image" );
   std::unique_ptr<qor::Image> image( RandomImage( 4, 3, 3, qor::ColorSpace::RGB ) );
   auto profile = std::make_unique<std::vector<uint8_t>>( test::FileBytes( gray ) );
   bool on = true, converted = false;
   ApplyICCProfilePolicy( *image, "/data/x.tif", profile, on, converted );
   EXPECT_EQ( profile, nullptr );
}

std::vector<float> AllSamples( const qor::Image& image )
{
   std::vector<float> samples;
   for ( int32_t c = 0; c < image.NumberOfChannels(); ++c )
      samples.insert( samples.end(), image.PixelData( c ), image.PixelData( c ) + image.NumberOfPixels() );
   return samples;
}

// The index of the first listed profile of that colour model, or -1.
int FirstProfileOf( const TAssignICCProfileWindow& window, uint32_t signature )
{
   for ( size_t i = 0; i < window.paths.size(); ++i )
   {
      ICCProfileHandle profile = OpenICCProfileFile( window.paths[i] );
      const bool match = profile != nullptr && uint32_t( cmsGetColorSpace( profile ) ) == signature;
      CloseICCProfile( profile );
      if ( match )
         return int( i );
   }
   return -1;
}

// The Assign ICC Profile window driven offscreen: the profiles it lists for colour and grey images, and a profile
// assigned and forgotten through its controls.
TEST_F( DisplayColorManagementTest, TheAssignWindowListsSuitableProfilesAndAssignsAndForgetsThem )
{
   ASSERT_TRUE( ColorManagementSettings.displayAvailable );
   TAssignICCProfileWindow window;
   TImageWindow* rgb = Make( RandomImage( 8, 6, 3, qor::ColorSpace::RGB ), "Colour" );
   TImageWindow* grey = Make( RandomImage( 8, 6, 1, qor::ColorSpace::Gray ), "Grey" );

   // A grey image may take grey and RGB profiles; a colour image only RGB ones.
   window.SelectView( grey->mainView );
   EXPECT_TRUE( window.CurrentProfile_Edit->text().contains( "<* default Grayscale *>" ) );
   const size_t greyCount = window.paths.size();
   window.SelectView( rgb->mainView );
   EXPECT_TRUE( window.CurrentProfile_Edit->text().contains( "<* default RGB *>" ) );
   ASSERT_FALSE( window.paths.empty() ) << "no RGB profile in " << GetICCColorDirectory();
   EXPECT_GT( greyCount, window.paths.size() );
   EXPECT_EQ( FirstProfileOf( window, ICCSignatureGray ), -1 );
   EXPECT_EQ( window.AssignProfile_ComboBox->count(), int( window.paths.size() ) );

   // Assigned without conversion: the pixels stay, the window carries the file's profile.
   const int chosen = FirstProfileOf( window, ICCSignatureRGB );
   ASSERT_GE( chosen, 0 );
   window.AssignProfile_ComboBox->setCurrentIndex( chosen );
   window.AssignProfile_ComboBoxSelect();
   if ( window.ConvertToProfile_CheckBox->isChecked() )
      window.ConvertToProfile_CheckBox->click();
   const std::vector<float> before = AllSamples( *rgb->image );
   ASSERT_TRUE( window.NewInstance()->LaunchOn( *rgb->mainView ) );
   ASSERT_NE( rgb->iccProfile, nullptr );
   EXPECT_EQ( *rgb->iccProfile, test::FileBytes( window.paths[size_t( chosen )] ) );
   EXPECT_EQ( AllSamples( *rgb->image ), before );
   window.SelectView( rgb->mainView );
   EXPECT_FALSE( window.CurrentProfile_Edit->text().contains( "<* default" ) );

   // Forgotten: the window goes back to the default profile.
   window.ForgetProfile_CheckBox->click();
   EXPECT_FALSE( window.AssignProfile_ComboBox->isEnabled() );
   ASSERT_TRUE( window.NewInstance()->LaunchOn( *rgb->mainView ) );
   EXPECT_EQ( rgb->iccProfile, nullptr );
   EXPECT_EQ( AllSamples( *rgb->image ), before );
}

} // namespace
