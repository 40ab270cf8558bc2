#include "windows/image/ImageWindow_ICM.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSaveFile>

#include <lcms2.h>
#include <xcb/xcb.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "classlib/Math.h"
#include "classlib/Parallel.h"
#include "platform/ICCProfileTransform.h"
#include "platform/Prompter.h"
#include "platform/Registry.h"
#include "support/RegistryReaders.h"
#include "support/Utils.h"
#include "windows/image/ImageFileFormat.h"
#include "windows/image/ImageWindow.h"
#include "windows/main/Application.h"
#include "windows/processing/ProcessingWindow.h"

uint16_t DisplayLUT8To16[256];
uint8_t DisplayLUT16To8[65536];

namespace
{

const char* const SourceName = "ImageWindow_ICM.cpp";
bool displayLUTsBuilt = false;

// ---- Display transforms ---------------------------------------------------------------------------------------------

// What an ICCColorTransform of the display points to: the colour transform (floating point, see
// ICCProfileTransform) and the results it gave for the 8-bit display colours met so far. A colour's entry is 0 until
// computed, then 0xff000000 | RRGGBB of the converted colour: painting a window again costs a table look-up per
// pixel. The bytes are those of the 16-bit words the exact transform gives for the words of DisplayLUT8To16, through
// DisplayLUT16To8.
struct DisplayTransform
{
   std::unique_ptr<ICCProfileTransform> transform;
   bool rgbInput = true;
   // RGB input: 2^24 entries, made on first use; grey input: 256 entries, filled at once.
   std::unique_ptr<std::atomic<uint32_t>[]> results;
};

constexpr int64_t DisplayColors = int64_t( 1 ) << 24;
// Pixels translated per strip of a parallel run: large enough to keep the look-ups streaming.
constexpr int64_t DisplayStripPixels = 16384;

// A transform result as the 16-bit word a 16-bit transform would give (to the nearest step, as LittleCMS rounds its
// outputs), then as a display byte.
uint32_t DisplayByte( float sample )
{
   return DisplayLUT16To8[uint16_t( std::floor( double( sample ) * 65535.0 + 0.5 ) )];
}

uint32_t SamplesToPixel( float r, float g, float b )
{
   return 0xff000000u | ( DisplayByte( r ) << 16 ) | ( DisplayByte( g ) << 8 ) | DisplayByte( b );
}

// Converts n display colours given as the planes of their samples (one plane for grey input) into pixels.
void TranslateColors( const DisplayTransform& d, const float* const* samples, uint32_t* pixels, int64_t n )
{
   std::vector<float> out( size_t( n ) * 3 );
   float* planes[3] = { out.data(), out.data() + n, out.data() + 2 * n };
   d.transform->Apply( samples, planes, n );
   for ( int64_t i = 0; i < n; ++i )
      pixels[i] = SamplesToPixel( planes[0][i], planes[1][i], planes[2][i] );
}

float DisplaySample( uint32_t byte )
{
   return float( DisplayLUT8To16[byte] ) / 65535.0f;
}

// Translates the colours of one strip that the table does not hold yet, and stores them.
void TranslateMisses( DisplayTransform& d, uint32_t* pixels, const std::vector<int32_t>& misses )
{
   const size_t n = misses.size();
   std::vector<float> samples( n * 3 );
   for ( size_t i = 0; i < n; ++i )
   {
      const uint32_t p = pixels[misses[i]];
      samples[i] = DisplaySample( ( p >> 16 ) & 0xff );
      samples[n + i] = DisplaySample( ( p >> 8 ) & 0xff );
      samples[2 * n + i] = DisplaySample( p & 0xff );
   }
   const float* planes[3] = { samples.data(), samples.data() + n, samples.data() + 2 * n };
   std::vector<uint32_t> results( n );
   TranslateColors( d, planes, results.data(), int64_t( n ) );
   for ( size_t i = 0; i < n; ++i )
   {
      uint32_t& p = pixels[misses[i]];
      d.results[p & 0xffffff].store( results[i], std::memory_order_relaxed );
      p = results[i];
   }
}

} // namespace

// ---- Tables -------------------------------------------------------------------------------------------------------

void BuildDisplayLUTs()
{
   for ( int i = 0; i < 256; ++i )
      DisplayLUT8To16[i] = uint16_t( std::nearbyint( i / 255.0L * 65535.0L ) );
   for ( int j = 0; j < 65536; ++j )
      DisplayLUT16To8[j] = uint8_t( std::nearbyint( j / 65535.0L * 255.0L ) );
   displayLUTsBuilt = true;
}

ICCColorTransform CreateDisplayTransform( ICCProfileHandle profile )
{
   const ColorManagementSettingsRecord& s = ColorManagementSettings;
   if ( profile == nullptr || s.monitorProfile == nullptr )
      return nullptr;
   if ( !displayLUTsBuilt )
      BuildDisplayLUTs();
   const uint32_t space = uint32_t( cmsGetColorSpace( profile ) );
   if ( space != ICCSignatureRGB && space != ICCSignatureGray )
      return nullptr;
   auto d = std::make_unique<DisplayTransform>();
   d->rgbInput = space == ICCSignatureRGB;
   d->transform = ICCProfileTransform::Create( profile, s.monitorProfile, s.DefaultRenderingIntent );
   if ( d->transform == nullptr || d->transform->OutputChannels() != 3 )
      return nullptr;
   if ( d->rgbInput )
      return d.release();
   // A grey input has 256 colours: all of them now.
   d->results = std::make_unique<std::atomic<uint32_t>[]>( 256 );
   float grey[256];
   for ( int i = 0; i < 256; ++i )
      grey[i] = DisplaySample( uint32_t( i ) );
   const float* planes[1] = { grey };
   uint32_t pixels[256];
   TranslateColors( *d, planes, pixels, 256 );
   for ( int i = 0; i < 256; ++i )
      d->results[i].store( pixels[i], std::memory_order_relaxed );
   return d.release();
}

void DeleteDisplayTransform( ICCColorTransform transform )
{
   delete static_cast<DisplayTransform*>( transform );
}

bool DisplayTransformTakesRGB( ICCColorTransform transform )
{
   return transform != nullptr && static_cast<DisplayTransform*>( transform )->rgbInput;
}

bool TranslateDisplayPixels( ICCColorTransform transform, uint32_t* pixels, int64_t count )
{
   auto* d = static_cast<DisplayTransform*>( transform );
   if ( d == nullptr )
      return false;
   if ( !d->rgbInput )
   {
      qor::ParallelFor( count,
                        [&]( int64_t begin, int64_t end )
                        {
                           for ( int64_t i = begin; i < end; ++i )
                              pixels[i] = d->results[pixels[i] & 0xff].load( std::memory_order_relaxed );
                        },
                        nullptr, 1, DisplayStripPixels );
      return true;
   }
   if ( !d->results )
      d->results = std::make_unique<std::atomic<uint32_t>[]>( size_t( DisplayColors ) );
   qor::ParallelFor( count,
                     [&]( int64_t begin, int64_t end )
                     {
                        std::vector<int32_t> misses;
                        for ( int64_t first = begin; first < end; first += DisplayStripPixels )
                        {
                           const int64_t last = std::min( end, first + DisplayStripPixels );
                           misses.clear();
                           for ( int64_t i = first; i < last; ++i )
                           {
                              const uint32_t r = d->results[pixels[i] & 0xffffff].load( std::memory_order_relaxed );
                              if ( r != 0 )
                                 pixels[i] = r;
                              else
                                 misses.push_back( int32_t( i - first ) );
                           }
                           if ( !misses.empty() )
                              TranslateMisses( *d, pixels + first, misses );
                        }
                     },
                     nullptr, 1, DisplayStripPixels );
   return true;
}

// ---- The monitor profile --------------------------------------------------------------------------------------------

namespace
{

// The profile an X11 desktop publishes for its first screen: the _ICC_PROFILE property of the root window.
std::vector<uint8_t> PublishedX11Profile()
{
   std::vector<uint8_t> bytes;
   if ( QGuiApplication::platformName() != "xcb" )
      return bytes;
   auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
   xcb_connection_t* connection = x11 != nullptr ? x11->connection() : nullptr;
   if ( connection == nullptr )
      return bytes;
   const xcb_setup_t* setup = xcb_get_setup( connection );
   const xcb_screen_t* screen = xcb_setup_roots_iterator( setup ).data;
   if ( screen == nullptr )
      return bytes;
   const char name[] = "_ICC_PROFILE";
   xcb_intern_atom_reply_t* atom =
       xcb_intern_atom_reply( connection, xcb_intern_atom( connection, 1, sizeof name - 1, name ), nullptr );
   if ( atom == nullptr )
      return bytes;
   if ( atom->atom != XCB_ATOM_NONE )
   {
      // Up to 64 MiB (the length is counted in 32-bit units).
      xcb_get_property_reply_t* reply = xcb_get_property_reply(
          connection, xcb_get_property( connection, 0, screen->root, atom->atom, XCB_ATOM_CARDINAL, 0, 1 << 24 ),
          nullptr );
      if ( reply != nullptr )
      {
         const int length = xcb_get_property_value_length( reply );
         const auto* value = static_cast<const uint8_t*>( xcb_get_property_value( reply ) );
         if ( reply->format == 8 && length > 0 )
            bytes.assign( value, value + length );
         free( reply );
      }
   }
   free( atom );
   return bytes;
}

// Writes bytes to a file of the settings folder, whole or not at all; the path, or empty when it failed.
std::string WriteSettingsFile( const QString& name, const void* data, size_t size )
{
   const QString folder = QFileInfo( platform::Registry::DefaultFilePath() ).absolutePath();
   QDir().mkpath( folder );
   QSaveFile file( folder + "/" + name );
   if ( !file.open( QIODevice::WriteOnly ) || file.write( static_cast<const char*>( data ), qint64( size ) ) != qint64( size ) ||
        !file.commit() )
      return std::string();
   return file.fileName().toStdString();
}

class ProgramMonitorProfileProvider : public MonitorProfileProvider
{
public:
   std::string MonitorProfilePath() override
   {
      // What the desktop says is the monitor's profile, usable or not: a profile that does not load is reported
      // at start-up rather than replaced behind the user's back.
      const std::vector<uint8_t> published = PublishedX11Profile();
      if ( !published.empty() )
         return WriteSettingsFile( "monitor-published.icc", published.data(), published.size() );

      // Nobody says: the display is taken to be sRGB.
      cmsHPROFILE srgb = cmsCreate_sRGBProfile();
      if ( srgb == nullptr )
         return std::string();
      cmsUInt32Number size = 0;
      std::string path;
      if ( cmsSaveProfileToMem( srgb, nullptr, &size ) && size > 0 )
      {
         std::vector<uint8_t> bytes( size );
         if ( cmsSaveProfileToMem( srgb, bytes.data(), &size ) )
            path = WriteSettingsFile( "monitor-sRGB.icc", bytes.data(), size );
      }
      cmsCloseProfile( srgb );
      return path;
   }
};

ProgramMonitorProfileProvider programProvider;
MonitorProfileProvider* currentProvider = &programProvider;

// Every image window, through the main views.
template <class F>
void ForEachImageWindow( F f )
{
   const std::vector<TImageWindow::View*> views = MainViewList;
   for ( TImageWindow::View* view : views )
      if ( view != nullptr && view->Window() != nullptr )
         f( *view->Window() );
}

void CloseDefaultProfiles()
{
   ColorManagementSettingsRecord& s = ColorManagementSettings;
   DeleteDisplayTransform( s.rgbDisplayTransform );
   CloseICCProfile( s.defaultRGBProfile );
   s.defaultRGBProfileData.reset();
   DeleteDisplayTransform( s.grayDisplayTransform );
   CloseICCProfile( s.defaultGrayProfile );
   s.defaultGrayProfileData.reset();
   s.rgbDisplayTransform = s.grayDisplayTransform = nullptr;
   s.defaultRGBProfile = s.defaultGrayProfile = nullptr;
}

uint32_t DataColorSpace( const std::vector<uint8_t>& data )
{
   return data.size() >= 20 ? qor::ReadBigEndianUInt32( data.data() + 16 ) : 0;
}

// Loads one default profile: its file, else the monitor profile's (the path then follows). A default RGB profile
// must be an RGB profile; a grey default may be grey or RGB. False when nothing usable loaded.
bool LoadDefaultProfile( std::string& path, std::unique_ptr<std::vector<uint8_t>>& data, bool rgb )
{
   const std::string& monitor = ColorManagementSettings.monitorProfilePath;
   auto usable = [rgb]( const std::unique_ptr<std::vector<uint8_t>>& d )
   {
      if ( d == nullptr )
         return false;
      const uint32_t space = DataColorSpace( *d );
      return space == ICCSignatureRGB || ( !rgb && space == ICCSignatureGray );
   };
   if ( path.empty() )
      path = monitor;
   data = LoadICCProfileFile( path );
   if ( !usable( data ) && path != monitor )
   {
      data = LoadICCProfileFile( monitor );
      if ( usable( data ) )
         path = monitor;
   }
   if ( !usable( data ) )
   {
      data.reset();
      return false;
   }
   return true;
}

} // namespace

MonitorProfileProvider& CurrentMonitorProfileProvider()
{
   return *currentProvider;
}

MonitorProfileProvider* SetMonitorProfileProvider( MonitorProfileProvider* provider )
{
   MonitorProfileProvider* previous = currentProvider;
   currentProvider = provider != nullptr ? provider : &programProvider;
   return previous;
}

void LoadMonitorProfile()
{
   ColorManagementSettingsRecord& s = ColorManagementSettings;
   if ( s.monitorProfile != nullptr )
   {
      // Every transform was built for the profile that goes.
      ForEachImageWindow(
          []( TImageWindow& w )
          {
             DeleteDisplayTransform( w.displayTransform );
             w.displayTransform = nullptr;
          } );
      CloseDefaultProfiles();
      CloseICCProfile( s.monitorProfile );
      s.monitorProfile = nullptr;
   }
   s.displayAvailable = false;
   s.monitorProfilePath = CurrentMonitorProfileProvider().MonitorProfilePath();
   if ( !s.monitorProfilePath.empty() )
   {
      s.monitorProfile = OpenICCProfileFile( s.monitorProfilePath );
      // The monitor is an RGB device: anything else cannot take the display transforms' output.
      if ( s.monitorProfile != nullptr && uint32_t( cmsGetColorSpace( s.monitorProfile ) ) != ICCSignatureRGB )
      {
         CloseICCProfile( s.monitorProfile );
         s.monitorProfile = nullptr;
      }
   }
}

void UpdateDefaultDisplayTransforms( bool refresh )
{
   ColorManagementSettingsRecord& s = ColorManagementSettings;
   s.displayAvailable = false;
   CloseDefaultProfiles();
   // The windows' transforms go with the defaults': a window never keeps one built for other settings.
   ForEachImageWindow(
       []( TImageWindow& w )
       {
          DeleteDisplayTransform( w.displayTransform );
          w.displayTransform = nullptr;
          CloseICCProfile( w.iccProfileHandle );
          w.iccProfileHandle = nullptr;
       } );
   if ( s.monitorProfile == nullptr )
      return;
   if ( !LoadDefaultProfile( s.DefaultRGBProfilePath, s.defaultRGBProfileData, true ) ||
        !LoadDefaultProfile( s.DefaultGrayProfilePath, s.defaultGrayProfileData, false ) )
      return;
   s.defaultRGBProfile = OpenICCProfileData( *s.defaultRGBProfileData );
   s.defaultGrayProfile = OpenICCProfileData( *s.defaultGrayProfileData );
   if ( s.defaultRGBProfile == nullptr || s.defaultGrayProfile == nullptr )
      return;
   // Embedded in saved images, the defaults say they were embedded.
   ( *s.defaultRGBProfileData )[44] |= 1;
   ( *s.defaultGrayProfileData )[44] |= 1;
   s.rgbDisplayTransform = CreateDisplayTransform( s.defaultRGBProfile );
   s.grayDisplayTransform = CreateDisplayTransform( s.defaultGrayProfile );
   if ( s.rgbDisplayTransform == nullptr || s.grayDisplayTransform == nullptr )
      return;
   s.displayAvailable = true;
   ForEachImageWindow( []( TImageWindow& w ) { w.UpdateDisplayTransform(); } );
   if ( refresh && s.EnableGlobalColorManagement )
   {
      ForEachImageWindow(
          []( TImageWindow& w )
          {
             if ( w.colorManagementEnabled )
                w.RedrawImage();
          } );
      NotifyGlobalColorManagementChanged();
   }
}

void SetColorManagementDefaults( const std::string& rgbPath, const std::string& grayPath, uint32_t intent,
                                 uint32_t cmm, int8_t onMismatch, int8_t onMissing )
{
   ColorManagementSettingsRecord& s = ColorManagementSettings;
   s.OnProfileMismatch = onMismatch;
   s.OnMissingProfile = onMissing;
   if ( rgbPath == s.DefaultRGBProfilePath && grayPath == s.DefaultGrayProfilePath &&
        intent == s.DefaultRenderingIntent && cmm == s.DefaultCMMIndex )
      return;
   s.DefaultRGBProfilePath = rgbPath;
   s.DefaultGrayProfilePath = grayPath;
   s.DefaultRenderingIntent = intent;
   s.DefaultCMMIndex = cmm;
   UpdateDefaultDisplayTransforms( true );
}

namespace
{

void SwitchGlobalColorManagement( bool on )
{
   ColorManagementSettingsRecord& s = ColorManagementSettings;
   if ( !s.displayAvailable || s.EnableGlobalColorManagement == on )
      return;
   s.EnableGlobalColorManagement = on;
   ForEachImageWindow(
       []( TImageWindow& w )
       {
          if ( w.colorManagementEnabled )
             w.RedrawImage();
       } );
   NotifyGlobalColorManagementChanged();
}

} // namespace

void ActivateGlobalColorManagement()
{
   SwitchGlobalColorManagement( true );
}

void DeactivateGlobalColorManagement()
{
   SwitchGlobalColorManagement( false );
}

void ReleaseColorManagement()
{
   ColorManagementSettingsRecord& s = ColorManagementSettings;
   ForEachImageWindow(
       []( TImageWindow& w )
       {
          DeleteDisplayTransform( w.displayTransform );
          w.displayTransform = nullptr;
          CloseICCProfile( w.iccProfileHandle );
          w.iccProfileHandle = nullptr;
       } );
   CloseDefaultProfiles();
   CloseICCProfile( s.monitorProfile );
   s.monitorProfile = nullptr;
   s.monitorProfilePath.clear();
   s.displayAvailable = false;
}

// ---- Settings -------------------------------------------------------------------------------------------------------

namespace
{

const QString SettingsKey()
{
   return ApplicationRegistryKey() + "\\Color Management";
}

// Shows a failure of the settings' load or save; never throws.
void ReportSettingsFailure()
{
   try
   {
      throw;
   }
   catch ( const qor::Exception& x )
   {
      x.Show();
   }
   catch ( const std::runtime_error& x )
   {
      if ( *x.what() != '\0' )
         platform::ShowMessage( platform::Icon::Warning, ApplicationTitle(), QString::fromStdString( x.what() ) );
   }
   catch ( ... )
   {
      ReportUnexpectedException( SourceName, __LINE__ );
   }
}

} // namespace

void LoadColorManagementSettings( platform::Registry& registry )
{
   ColorManagementSettingsRecord& s = ColorManagementSettings;
   try
   {
      if ( !registry.OpenKey( SettingsKey(), false ) )
         return;
      ReadRegistryBool( s.EnableGlobalColorManagement, registry, "EnableGlobalColorManagement" );
      ReadRegistryUnsigned( s.DefaultRenderingIntent, registry, "DefaultRenderingIntent" );
      ReadRegistryUnsigned( s.DefaultCMMIndex, registry, "DefaultCMMIndex" );
      int32_t policy = 0;
      if ( ReadRegistryInt( policy, registry, "OnProfileMismatch" ) )
         s.OnProfileMismatch = int8_t( policy & 0xff );
      if ( ReadRegistryInt( policy, registry, "OnMissingProfile" ) )
         s.OnMissingProfile = int8_t( policy & 0xff );
      ReadRegistryString( s.DefaultRGBProfilePath, registry, "DefaultRGBProfilePath" );
      ReadRegistryString( s.DefaultGrayProfilePath, registry, "DefaultGrayProfilePath" );
      ReadRegistryBool( s.DefaultProfileEmbedding, registry, "DefaultProfileEmbedding" );
   }
   catch ( ... )
   {
      ReportSettingsFailure();
   }
   registry.CloseKey();
}

void SaveColorManagementSettings( platform::Registry& registry )
{
   const ColorManagementSettingsRecord& s = ColorManagementSettings;
   try
   {
      if ( !registry.OpenKey( SettingsKey(), true ) )
         throw std::runtime_error( "Unable to create Color Management registry key" );
      registry.WriteBool( "EnableGlobalColorManagement", s.EnableGlobalColorManagement );
      registry.WriteInteger( "DefaultRenderingIntent", int32_t( s.DefaultRenderingIntent ) );
      registry.WriteInteger( "DefaultCMMIndex", int32_t( s.DefaultCMMIndex ) );
      registry.WriteInteger( "OnProfileMismatch", int32_t( s.OnProfileMismatch ) );
      registry.WriteInteger( "OnMissingProfile", int32_t( s.OnMissingProfile ) );
      registry.WriteString( "DefaultRGBProfilePath", QString::fromStdString( s.DefaultRGBProfilePath ) );
      registry.WriteString( "DefaultGrayProfilePath", QString::fromStdString( s.DefaultGrayProfilePath ) );
      registry.WriteBool( "DefaultProfileEmbedding", s.DefaultProfileEmbedding );
   }
   catch ( ... )
   {
      ReportSettingsFailure();
   }
   registry.CloseKey();
}

void LoadColorManagementSettings()
{
   try
   {
      platform::Registry registry;
      LoadColorManagementSettings( registry );
   }
   catch ( ... )
   {
      ReportSettingsFailure();
   }
}

void SaveColorManagementSettings()
{
   try
   {
      platform::Registry registry;
      SaveColorManagementSettings( registry );
   }
   catch ( ... )
   {
      ReportSettingsFailure();
   }
}

// ---- The windows' side ----------------------------------------------------------------------------------------------

void TImageWindow::UpdateDisplayTransform()
{
   DeleteDisplayTransform( displayTransform );
   displayTransform = nullptr;
   CloseICCProfile( iccProfileHandle );
   iccProfileHandle = nullptr;
   if ( iccProfile == nullptr || !ColorManagementSettings.displayAvailable )
      return;
   iccProfileHandle = OpenICCProfileData( *iccProfile );
   if ( iccProfileHandle == nullptr )
      return;
   // A grey profile cannot describe a colour image: such a profile is never used for showing it.
   const uint32_t space = uint32_t( cmsGetColorSpace( iccProfileHandle ) );
   if ( image != nullptr && image->IsColor() && space != ICCSignatureRGB )
      return;
   displayTransform = CreateDisplayTransform( iccProfileHandle );
}

void TImageWindow::SetICCProfile( std::unique_ptr<std::vector<uint8_t>> profile, bool redraw )
{
   DeleteICCProfile( false );
   iccProfile = std::move( profile );
   if ( !ColorManagementSettings.displayAvailable )
      return;
   UpdateDisplayTransform();
   if ( redraw && ColorManagementSettings.EnableGlobalColorManagement && colorManagementEnabled )
   {
      RedrawImage();
      NotifyColorManagementChanged( *mainView );
   }
}

void TImageWindow::DeleteICCProfile( bool redraw )
{
   iccProfile.reset();
   // The handle and transform go whatever the state of display colour management: nothing outlives its profile.
   UpdateDisplayTransform();
   if ( !ColorManagementSettings.displayAvailable )
      return;
   if ( redraw && ColorManagementSettings.EnableGlobalColorManagement && colorManagementEnabled )
   {
      RedrawImage();
      NotifyColorManagementChanged( *mainView );
   }
}

namespace
{

void SwitchWindowColorManagement( TImageWindow& w, bool on )
{
   if ( !ColorManagementSettings.displayAvailable || w.colorManagementEnabled == on )
      return;
   w.colorManagementEnabled = on;
   if ( ColorManagementSettings.EnableGlobalColorManagement )
   {
      w.RedrawImage();
      NotifyColorManagementChanged( *w.mainView );
   }
}

} // namespace

void TImageWindow::EnableColorManagement()
{
   SwitchWindowColorManagement( *this, true );
}

void TImageWindow::DisableColorManagement()
{
   SwitchWindowColorManagement( *this, false );
}

ICCColorTransform TImageWindow::DisplayTransformFor( const View* view ) const
{
   const ColorManagementSettingsRecord& s = ColorManagementSettings;
   if ( !s.displayAvailable )
      return nullptr;
   if ( view == nullptr )
      view = currentView;
   const qor::Image* shown = view != nullptr ? view->TargetImage() : image;
   const bool color = shown != nullptr && shown->GetColorSpace() != qor::ColorSpace::Gray;
   if ( iccProfile != nullptr && displayTransform != nullptr )
   {
      if ( color && !DisplayTransformTakesRGB( displayTransform ) )
         return nullptr;
      return displayTransform;
   }
   if ( iccProfile != nullptr && iccProfileHandle != nullptr && !( color && uint32_t( cmsGetColorSpace(
                                                                                iccProfileHandle ) ) != ICCSignatureRGB ) )
      return nullptr; // a usable profile whose transform could not be built: shown as rendered
   if ( color )
      return s.DefaultRGBProfilePath == s.monitorProfilePath ? nullptr : s.rgbDisplayTransform;
   return s.DefaultGrayProfilePath == s.monitorProfilePath ? nullptr : s.grayDisplayTransform;
}

void TImageWindow::ColorManageBitmap( QImage& bitmap, View* view )
{
   ICCColorTransform transform = DisplayTransformFor( view );
   if ( transform == nullptr || bitmap.isNull() )
      return;
   if ( bitmap.format() != QImage::Format_RGB32 && bitmap.format() != QImage::Format_ARGB32 )
      bitmap.convertTo( QImage::Format_RGB32 );
   const int64_t width = bitmap.width();
   if ( bitmap.bytesPerLine() == width * 4 )
   {
      TranslateDisplayPixels( transform, reinterpret_cast<uint32_t*>( bitmap.bits() ), width * bitmap.height() );
      return;
   }
   for ( int y = 0; y < bitmap.height(); ++y )
      TranslateDisplayPixels( transform, reinterpret_cast<uint32_t*>( bitmap.scanLine( y ) ), width );
}

bool TImageWindow::HasHighBitDepthFile() const
{
   switch ( fileFormat )
   {
   case FITSImageFileFormat:
      return fitsOptions != nullptr && fitsOptions->bitsPerSample >= 32;
   case TIFFImageFileFormat:
      return tiffOptions != nullptr && tiffOptions->bitsPerSample >= 32;
   case RAWImageFileFormat:
      return rawOptions != nullptr && rawOptions->bitsPerSample >= 32;
   default:
      return false;
   }
}

void TImageWindow::View::ReplaceImage( std::unique_ptr<qor::Image> replacement )
{
   if ( replacement == nullptr || IsPreview() || window->image == nullptr )
      return;
   window->image->Transfer( *replacement );
   window->UpdateCaption();
}

const std::vector<uint8_t>* ICCProfileDataToEmbed( const TImageWindow& window )
{
   if ( window.image == nullptr )
      return window.iccProfile.get();
   const bool gray = window.image->GetColorSpace() == qor::ColorSpace::Gray;
   const std::vector<uint8_t>* profile = window.iccProfile != nullptr ? window.iccProfile.get()
                                         : gray ? ColorManagementSettings.defaultGrayProfileData.get()
                                                : ColorManagementSettings.defaultRGBProfileData.get();
   // A grey file describes its one channel by a grey profile; an RGB profile (the grey default may be one, and so
   // may a grey image's own) would make other programs read it as a colour file or refuse it.
   if ( profile != nullptr && gray && ICCDataColorSpace( *profile ) != ICCSignatureGray )
      return nullptr;
   return profile;
}

EmbedICCProfileChoice GetEmbedICCProfileChoice( const TImageWindow* window )
{
   EmbedICCProfileChoice choice;
   const std::vector<uint8_t>* data = window != nullptr ? ICCProfileDataToEmbed( *window ) : nullptr;
   ICCProfileHandle profile = data != nullptr ? OpenICCProfileData( *data ) : nullptr;
   choice.enabled = profile != nullptr;
   choice.checked = choice.enabled && ColorManagementSettings.DefaultProfileEmbedding;
   if ( choice.enabled )
      choice.description = GetICCProfileDescription( profile );
   CloseICCProfile( profile );
   return choice;
}

void SetupEmbedICCProfileCheckBox( QCheckBox* checkBox, TImageWindow* window )
{
   if ( checkBox == nullptr )
      return;
   const EmbedICCProfileChoice choice = GetEmbedICCProfileChoice( window );
   checkBox->setEnabled( choice.enabled );
   checkBox->setChecked( choice.checked );
   checkBox->setToolTip( QString::fromStdString( choice.description ) );
}
