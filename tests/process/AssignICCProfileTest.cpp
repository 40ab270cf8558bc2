#include "process/AssignICCProfile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <lcms2.h>

#include <cmath>
#include <fstream>

#include "ICCTestProfiles.h"
#include "TestSupport.h"
#include "classlib/File.h"
#include "classlib/Image.h"
#include "platform/ColorManagementSettings.h"
#include "platform/ICCProfile.h"

namespace
{

// A view in memory with the colour-management face of an image window.
class ProfileView : public ProcessView
{
public:
   explicit ProfileView( qor::Image* image ) : image( image ) {}
   bool IsPreview() const override { return preview; }
   std::string FullId() const override { return "Image01"; }
   qor::Image* TargetImage() const override { return image.get(); }
   void Modified( bool ) override { ++modified; }
   const std::vector<uint8_t>* ICCProfileData() const override { return profile.get(); }
   void SetICCProfile( std::unique_ptr<std::vector<uint8_t>> p ) override { profile = std::move( p ); }
   bool HasHighBitDepthFile() const override { return highBitDepth; }
   void ReplaceImage( std::unique_ptr<qor::Image> replacement ) override { image = std::move( replacement ); }

   std::unique_ptr<qor::Image> image;
   std::unique_ptr<std::vector<uint8_t>> profile;
   bool preview = false;
   bool highBitDepth = false;
   int modified = 0;
};

cmsHPROFILE MakeSRGBProfile()
{
   cmsHPROFILE profile = cmsCreate_sRGBProfile();
   test::DescribeProfile( profile, "Test sRGB" );
   return profile;
}

class AssignICCProfileTest : public test::ScriptedUiTest
{
protected:
   void SetUp() override
   {
      ScriptedUiTest::SetUp();
      ASSERT_TRUE( dir.isValid() );
      srgbPath = Save( MakeSRGBProfile(), "srgb.icc" );
      adobePath = Save( test::MakeAdobeCompatibleProfile( "Test Adobe-compatible RGB" ), "adobe.icc" );
      grayPath = Save( test::MakeGrayProfile( "Test Gray 2.2" ), "gray.icc" );
      savedRGB = std::move( ColorManagementSettings.defaultRGBProfileData );
      savedGray = std::move( ColorManagementSettings.defaultGrayProfileData );
      ColorManagementSettings.defaultRGBProfileData = std::make_unique<std::vector<uint8_t>>( test::FileBytes( srgbPath ) );
      ColorManagementSettings.defaultGrayProfileData = std::make_unique<std::vector<uint8_t>>( test::FileBytes( grayPath ) );
   }

   void TearDown() override
   {
      ColorManagementSettings.defaultRGBProfileData = std::move( savedRGB );
      ColorManagementSettings.defaultGrayProfileData = std::move( savedGray );
      ScriptedUiTest::TearDown();
   }

   std::string Save( cmsHPROFILE profile, const char* name )
   {
      const std::string path = dir.filePath( name ).toStdString();
      EXPECT_TRUE( cmsSaveProfileToFile( profile, path.c_str() ) );
      cmsCloseProfile( profile );
      return path;
   }

   // Every combination of a few levels per channel, one pixel each.
   static std::vector<float> Levels() { return { 0.0f, 0.1f, 0.25f, 0.5f, 0.75f, 0.9f, 1.0f }; }

   static qor::Image* ColorGrid()
   {
      const std::vector<float> levels = Levels();
      const int n = int( levels.size() );
      auto* image = new qor::Image( n * n * n, 1, 3, qor::ColorSpace::RGB );
      for ( int i = 0; i < n * n * n; ++i )
      {
         image->PixelData( 0 )[i] = levels[size_t( i / ( n * n ) )];
         image->PixelData( 1 )[i] = levels[size_t( i / n % n )];
         image->PixelData( 2 )[i] = levels[size_t( i % n )];
      }
      return image;
   }

   static qor::Image* GrayRamp()
   {
      auto* image = new qor::Image( 256, 1, 1, qor::ColorSpace::Gray );
      for ( int i = 0; i < 256; ++i )
         image->PixelData( 0 )[i] = float( i ) / 255;
      return image;
   }

   // What LittleCMS's exact pipeline (no precomputed lattice) makes of the image's samples between the two profile
   // files, at 16 bits a sample (each sample times 65535 in single precision, to the nearest word). The conversion
   // takes a sample between two 16-bit steps as it is, so it may differ by a step more.
   static std::vector<std::vector<float>> Reference( const qor::Image& image, const std::string& from,
                                                     const std::string& to, int intent )
   {
      cmsHPROFILE in = cmsOpenProfileFromFile( from.c_str(), "r" );
      cmsHPROFILE out = cmsOpenProfileFromFile( to.c_str(), "r" );
      const bool rgbIn = cmsGetColorSpace( in ) == cmsSigRgbData;
      const bool rgbOut = cmsGetColorSpace( out ) == cmsSigRgbData;
      cmsHTRANSFORM t = cmsCreateTransform( in, rgbIn ? TYPE_RGB_16 : TYPE_GRAY_16, out, rgbOut ? TYPE_RGB_16 : TYPE_GRAY_16,
                                            cmsUInt32Number( intent ), cmsFLAGS_NOOPTIMIZE );
      const int64_t n = image.NumberOfPixels();
      const int inWords = rgbIn ? 3 : 1, outWords = rgbOut ? 3 : 1;
      std::vector<uint16_t> words( size_t( n * inWords ) ), result( size_t( n * outWords ) );
      for ( int64_t i = 0; i < n; ++i )
         for ( int c = 0; c < inWords; ++c )
            words[size_t( i * inWords + c )] =
                uint16_t( std::nearbyint( image.PixelData( image.NumberOfChannels() == 1 ? 0 : c )[i] * 65535.0f ) );
      cmsDoTransform( t, words.data(), result.data(), cmsUInt32Number( n ) );
      cmsDeleteTransform( t );
      cmsCloseProfile( in );
      cmsCloseProfile( out );
      std::vector<std::vector<float>> planes( size_t( outWords ), std::vector<float>( size_t( n ), 0.0f ) );
      for ( int64_t i = 0; i < n; ++i )
         for ( int c = 0; c < outWords; ++c )
            planes[size_t( c )][size_t( i )] = result[size_t( i * outWords + c )] / 65535.0f;
      return planes;
   }

   static void ExpectPlanes( const qor::Image& image, const std::vector<std::vector<float>>& planes )
   {
      ASSERT_EQ( image.NumberOfChannels(), int( planes.size() ) );
      for ( size_t c = 0; c < planes.size(); ++c )
         for ( size_t i = 0; i < planes[c].size(); ++i )
            ASSERT_NEAR( image.PixelData( int( c ) )[i], planes[c][i], 2.0f / 65535 ) << "channel " << c << " pixel " << i;
   }

   static AssignICCProfile Make( const std::string& path, bool convert, int intent = 0 )
   {
      AssignICCProfile::Parameters p;
      p.profilePath = path;
      p.convert = convert;
      p.renderingIntent = intent;
      return AssignICCProfile( p );
   }

public:
   QTemporaryDir dir;
   std::string srgbPath, adobePath, grayPath;

protected:
   std::unique_ptr<std::vector<uint8_t>> savedRGB, savedGray;
};

TEST_F( AssignICCProfileTest, ConversionsMatchLittleCMSOnTheSameProfiles )
{
   struct Case
   {
      const char* name;
      bool grayImage;
      std::string AssignICCProfileTest::*embedded; // nullptr: untagged, converted from the default profile
      std::string AssignICCProfileTest::*target;
      std::string AssignICCProfileTest::*expectedSource;
      int intent;
   };
   const Case cases[] = {
      { "untagged RGB to Adobe", false, nullptr, &AssignICCProfileTest::adobePath, &AssignICCProfileTest::srgbPath, 0 },
      { "Adobe RGB to sRGB, relative", false, &AssignICCProfileTest::adobePath, &AssignICCProfileTest::srgbPath,
        &AssignICCProfileTest::adobePath, 1 },
      { "Adobe RGB to sRGB, absolute", false, &AssignICCProfileTest::adobePath, &AssignICCProfileTest::srgbPath,
        &AssignICCProfileTest::adobePath, 3 },
      { "grey tagged sRGB to Gray", true, &AssignICCProfileTest::srgbPath, &AssignICCProfileTest::grayPath,
        &AssignICCProfileTest::srgbPath, 0 },
      { "untagged grey to Adobe RGB", true, nullptr, &AssignICCProfileTest::adobePath, &AssignICCProfileTest::grayPath, 0 },
      { "grey tagged Gray to sRGB", true, &AssignICCProfileTest::grayPath, &AssignICCProfileTest::srgbPath,
        &AssignICCProfileTest::grayPath, 1 },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.name );
      ProfileView view( c.grayImage ? GrayRamp() : ColorGrid() );
      if ( c.embedded != nullptr )
         view.profile = std::make_unique<std::vector<uint8_t>>( test::FileBytes( this->*c.embedded ) );
      const std::vector<std::vector<float>> expected =
          Reference( *view.image, this->*c.expectedSource, this->*c.target, c.intent );
      AssignICCProfile process = Make( this->*c.target, true, c.intent );
      process.DoExecuteOn( view );
      ExpectPlanes( *view.image, expected );
      EXPECT_EQ( view.image->IsColor(), expected.size() == 3 );
      ASSERT_NE( view.profile, nullptr );
      EXPECT_EQ( *view.profile, test::FileBytes( this->*c.target ) );
      EXPECT_EQ( view.modified, 1 );
   }
}

TEST_F( AssignICCProfileTest, AssigningWithoutConversionKeepsThePixels )
{
   ProfileView view( GrayRamp() );
   const std::vector<float> before( view.image->PixelData( 0 ), view.image->PixelData( 0 ) + 256 );
   Make( adobePath, false ).DoExecuteOn( view );
   EXPECT_FALSE( view.image->IsColor() );
   EXPECT_EQ( std::vector<float>( view.image->PixelData( 0 ), view.image->PixelData( 0 ) + 256 ), before );
   EXPECT_EQ( *view.profile, test::FileBytes( adobePath ) );

   // An empty path forgets the profile, whatever convert says.
   Make( "", true ).DoExecuteOn( view );
   EXPECT_EQ( view.profile, nullptr );
   EXPECT_EQ( view.modified, 2 );
}

TEST_F( AssignICCProfileTest, BareFileNamesAreLookedForInTheColourDirectory )
{
   const std::string installed = GetICCColorDirectory() + "/sRGB.icc";
   if ( !qor::File::Exists( installed ) )
      GTEST_SKIP() << "no sRGB.icc installed";
   ProfileView view( ColorGrid() );
   Make( "sRGB.icc", false ).DoExecuteOn( view );
   ASSERT_NE( view.profile, nullptr );
   EXPECT_EQ( *view.profile, test::FileBytes( installed ) );
   EXPECT_EQ( AssignICCProfile::ResolvePath( "/elsewhere/x.icc" ), "/elsewhere/x.icc" );
}

TEST_F( AssignICCProfileTest, RefusedProfilesLeaveTheImageAndItsProfileAlone )
{
   const std::string garbage = dir.filePath( "garbage.icc" ).toStdString();
   std::ofstream( garbage ) << std::string( 300, 'x' );
   struct Case
   {
      const char* name;
      std::string path;
      bool grayImage;
      std::string message;
   };
   const Case cases[] = {
      { "missing", dir.filePath( "none.icc" ).toStdString(), false,
        "The ICC profile does not exist:\n" + dir.filePath( "none.icc" ).toStdString() },
      { "not a profile", garbage, false, "Unable to load ICC profile:\n" + garbage },
      // Named by its description as well as its path.
      { "grey profile on a colour image", grayPath, false,
        "Incompatible ICC profile color space:\n" + grayPath + "\nTest Gray 2.2" },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.name );
      ProfileView view( c.grayImage ? GrayRamp() : ColorGrid() );
      view.profile = std::make_unique<std::vector<uint8_t>>( test::FileBytes( srgbPath ) );
      const std::vector<float> before( view.image->PixelData( 0 ), view.image->PixelData( 0 ) + view.image->Width() );
      try
      {
         Make( c.path, true ).DoExecuteOn( view );
         ADD_FAILURE() << "no error";
      }
      catch ( const qor::Exception& x )
      {
         EXPECT_EQ( x.ErrorText(), c.message );
      }
      EXPECT_EQ( *view.profile, test::FileBytes( srgbPath ) );
      EXPECT_EQ(
          std::vector<float>( view.image->PixelData( 0 ), view.image->PixelData( 0 ) + view.image->Width() ), before );
      EXPECT_EQ( view.modified, 0 );
   }
}

TEST_F( AssignICCProfileTest, ConvertingWithoutAnySourceProfileIsRefused )
{
   ColorManagementSettings.defaultRGBProfileData.reset();
   ProfileView view( ColorGrid() );
   try
   {
      Make( adobePath, true ).DoExecuteOn( view );
      ADD_FAILURE() << "no error";
   }
   catch ( const qor::Exception& x )
   {
      EXPECT_EQ( x.ErrorText(), "Internal error: invalid or corrupted color management data" );
   }
   EXPECT_EQ( view.profile, nullptr );
}

TEST_F( AssignICCProfileTest, HighBitDepthFilesAskBeforeAConversion )
{
   ProfileView view( ColorGrid() );
   EXPECT_TRUE( Make( adobePath, true ).ConfirmExecutionOn( view ) ); // nothing asked
   view.highBitDepth = true;
   EXPECT_TRUE( Make( adobePath, false ).ConfirmExecutionOn( view ) );
   prompter.Expect( "ICM transforms are performed in 16-bit precision.", platform::Answer::Cancel );
   EXPECT_FALSE( Make( adobePath, true ).ConfirmExecutionOn( view ) );
   prompter.Expect( "some degradation may occur. Proceed?", platform::Answer::Ok );
   EXPECT_TRUE( Make( adobePath, true ).ConfirmExecutionOn( view ) );
}

TEST_F( AssignICCProfileTest, DeclarationsStreamAndText )
{
   AssignICCProfile defaults;
   EXPECT_EQ( defaults.Category(), "Color Management" );
   EXPECT_EQ( defaults.parameters->ToText( 0 ), "convert=0,\nprofilePath=\"\",\nprofileDescription=\"\"" );
   ProfileView view( ColorGrid() );
   EXPECT_EQ( Make( "", false ).UndoFlags( view ), Process::UndoICCProfile );
   EXPECT_EQ( Make( "", true ).UndoFlags( view ), Process::UndoICCProfile | Process::UndoPixelData );
   EXPECT_FALSE( defaults.IsMaskable( view, nullptr ) );
   view.preview = true;
   EXPECT_FALSE( defaults.CanExecuteOn( view ) );

   AssignICCProfile described = Make( adobePath, true, 2 );
   EXPECT_EQ( described.parameters->ToText( 3 ),
              "convert=1,\nprofilePath=\"" + adobePath + "\",\nprofileDescription=\"Test Adobe-compatible RGB\"" );

   // Exact bytes: length, characters, convert, intent.
   const std::string file = dir.filePath( "params" ).toStdString();
   {
      qor::File f;
      f.CreateForWriting( file );
      Make( "ab", true, 3 ).parameters->Write( f, 1.0f );
   }
   EXPECT_EQ( test::FileBytes( file ), ( std::vector<uint8_t>{ 2, 0, 0, 0, 'a', 'b', 1, 3, 0, 0, 0 } ) );

   // A length no path has is refused and leaves the set as it was.
   {
      std::ofstream( file, std::ios::binary ).write( "\xff\xff\xff\x7f", 4 );
      qor::File f;
      f.OpenForReading( file );
      AssignICCProfile target = Make( "kept", false );
      EXPECT_THROW( target.parameters->Read( f, 1.0f ), qor::Exception );
      EXPECT_EQ( target.Params().profilePath, "kept" );
   }
}

} // namespace
