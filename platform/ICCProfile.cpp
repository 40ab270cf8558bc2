#include "platform/ICCProfile.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <lcms2.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>

#include "classlib/Exception.h"
#include "classlib/Image.h"
#include "classlib/Math.h"
#include "classlib/Parallel.h"
#include "platform/ColorManagementSettings.h"
#include "windows/image/ImageWindow.h"

ColorManagementSettingsRecord ColorManagementSettings;

namespace
{

// LittleCMS reports its failures through one global handler; ours only counts them, so that nothing is printed and
// a conversion can tell afterwards that a call inside it failed.
thread_local uint64_t lcmsErrorCount = 0;

void CountLCMSError( cmsContext, cmsUInt32Number, const char* )
{
   ++lcmsErrorCount;
}

void QuietLCMSErrors()
{
   static const bool installed = []
   {
      cmsSetLogErrorHandler( CountLCMSError );
      return true;
   }();
   (void)installed;
}

constexpr uint32_t DescriptionTypeMLUC = 0x6D6C7563; // 'mluc'
// A version 2 description holds its ASCII count at bytes 8-11 and its text from byte 12.
constexpr size_t DescriptionTextOffset = 12;
constexpr uint32_t MaxDescriptionCount = 256;

constexpr int64_t TransformBlockPixels = 4096;
// The pixels as the transform sees them: packed 16-bit words, three for RGB, one for grey.
constexpr cmsUInt32Number GrayRecordFormat = TYPE_GRAY_16;
constexpr cmsUInt32Number RGBRecordFormat = TYPE_RGB_16;

struct TransformDeleter
{
   void operator()( void* t ) const { cmsDeleteTransform( t ); }
};

// Opens the file and reads the profile size its header states; 0 when the file cannot be read or is no whole
// profile (shorter than a header, or shorter than the header says). LittleCMS would open a truncated file as if
// nothing were missing.
uint32_t ProfileFileSize( const std::string& path, QFile& file )
{
   if ( path.empty() )
      return 0;
   file.setFileName( QString::fromStdString( path ) );
   uint8_t header[4];
   if ( !file.open( QIODevice::ReadOnly ) || file.read( reinterpret_cast<char*>( header ), 4 ) != 4 )
      return 0;
   uint32_t size = qor::ReadBigEndianUInt32( header );
   return size >= ICCProfileHeaderSize && int64_t( size ) <= file.size() ? size : 0;
}

void FailTransform( const char* text )
{
   throw qor::GenericException( text );
}

} // namespace

uint32_t ICCProfileDataSize( std::span<const uint8_t> data )
{
   if ( data.size() < ICCProfileHeaderSize )
      return 0;
   uint32_t size = qor::ReadBigEndianUInt32( data.data() );
   return size >= ICCProfileHeaderSize && size <= data.size() ? size : 0;
}

ICCProfileHandle OpenICCProfileFile( const std::string& path )
{
   QuietLCMSErrors();
   QFile file;
   if ( ProfileFileSize( path, file ) == 0 )
      return nullptr;
   return cmsOpenProfileFromFile( path.c_str(), "r" );
}

ICCProfileHandle OpenICCProfileData( std::span<const uint8_t> data )
{
   QuietLCMSErrors();
   uint32_t size = ICCProfileDataSize( data );
   if ( size == 0 )
      return nullptr;
   return cmsOpenProfileFromMem( data.data(), size );
}

ICCProfileHandle OpenICCProfileDataReadWrite( std::span<const uint8_t> data )
{
   return OpenICCProfileData( data );
}

bool CloseICCProfile( ICCProfileHandle profile )
{
   return profile == nullptr || cmsCloseProfile( profile );
}

std::unique_ptr<std::vector<uint8_t>> LoadICCProfileFile( const std::string& path )
{
   // The header says how much to read, so a large file that is no profile is never read whole.
   QFile file;
   uint32_t size = ProfileFileSize( path, file );
   if ( size == 0 || !file.seek( 0 ) )
      return nullptr;
   auto data = std::make_unique<std::vector<uint8_t>>( size );
   if ( file.read( reinterpret_cast<char*>( data->data() ), size ) != int64_t( size ) )
      return nullptr;
   ICCProfileHandle profile = OpenICCProfileData( *data );
   if ( profile == nullptr )
      return nullptr;
   CloseICCProfile( profile );
   return data;
}

std::unique_ptr<std::vector<uint8_t>> CopyICCProfileData( std::span<const uint8_t> data )
{
   uint32_t size = ICCProfileDataSize( data );
   if ( size == 0 )
      return nullptr;
   return std::make_unique<std::vector<uint8_t>>( data.begin(), data.begin() + size );
}

std::string ParseICCTextDescription( std::span<const uint8_t> element )
{
   if ( element.size() < DescriptionTextOffset )
      return std::string();
   uint32_t n = std::min( qor::ReadBigEndianUInt32( element.data() + 8 ), MaxDescriptionCount );
   for ( size_t i = 0; i <= n && DescriptionTextOffset + i < element.size(); ++i )
      if ( element[DescriptionTextOffset + i] == 0 )
         return std::string( reinterpret_cast<const char*>( element.data() + DescriptionTextOffset ), i );
   return std::string();
}

std::string GetICCProfileDescription( ICCProfileHandle profile )
{
   QuietLCMSErrors();
   if ( profile == nullptr )
      return std::string();
   cmsUInt32Number size = cmsReadRawTag( profile, cmsSigProfileDescriptionTag, nullptr, 0 );
   if ( size == 0 )
      return std::string();
   std::vector<uint8_t> element( size );
   if ( cmsReadRawTag( profile, cmsSigProfileDescriptionTag, element.data(), size ) != size )
      return std::string();
   if ( size >= 4 && qor::ReadBigEndianUInt32( element.data() ) == DescriptionTypeMLUC )
   {
      // Version 4 profiles hold the description in several languages; without this every one of them would be
      // nameless and missing from the profile lists.
      cmsUInt32Number length = cmsGetProfileInfoASCII( profile, cmsInfoDescription, "en", "US", nullptr, 0 );
      if ( length == 0 )
         return std::string();
      std::vector<char> text( length );
      cmsGetProfileInfoASCII( profile, cmsInfoDescription, "en", "US", text.data(), length );
      return std::string( text.data(), strnlen( text.data(), length ) );
   }
   return ParseICCTextDescription( element );
}

std::string GetICCColorDirectory()
{
   return "/usr/share/color/icc";
}

void FindICCProfileFiles( std::vector<std::string>& files, const std::string& folder )
{
   std::string dir = folder.empty() ? GetICCColorDirectory() : folder;
   if ( dir.empty() )
      dir.push_back( '.' );
   const QStringList names = QDir( QString::fromStdString( dir ) ).entryList( QDir::Files, QDir::Unsorted );
   for ( const QString& name : names )
   {
      QString suffix = QFileInfo( name ).suffix();
      if ( suffix.compare( "icc", Qt::CaseInsensitive ) == 0 || suffix.compare( "icm", Qt::CaseInsensitive ) == 0 )
      {
         std::string path = dir;
         path += '/';
         path += name.toStdString();
         files.push_back( std::move( path ) );
      }
   }
}

void FilterICCProfiles( std::vector<std::string>& descriptions, std::vector<std::string>& paths, uint32_t deviceClass,
                        uint32_t colorSpace, const std::vector<std::string>& files )
{
   for ( const std::string& path : files )
   {
      ICCProfileHandle profile = OpenICCProfileFile( path );
      if ( profile == nullptr )
         continue;
      bool accepted = ( deviceClass == 0 || uint32_t( cmsGetDeviceClass( profile ) ) == deviceClass ) &&
                      ( colorSpace == 0 || uint32_t( cmsGetColorSpace( profile ) ) == colorSpace );
      if ( accepted )
      {
         std::string description = GetICCProfileDescription( profile );
         if ( !description.empty() )
         {
            descriptions.push_back( description );
            paths.push_back( path );
         }
      }
      CloseICCProfile( profile );
   }
}

bool FindInstalledCMMs( qor::Array<uint32_t>& identifiers, std::vector<std::string>& modules )
{
   identifiers.Add( lcmsSignature );
   modules.push_back( "liblcms2.so.2" );
   return true;
}

uint32_t LCMSRenderingIntent( uint32_t intent )
{
   static constexpr uint32_t intents[] = { INTENT_PERCEPTUAL, INTENT_RELATIVE_COLORIMETRIC, INTENT_SATURATION,
                                           INTENT_ABSOLUTE_COLORIMETRIC };
   return intent < std::size( intents ) ? intents[intent] : intent;
}

uint16_t PackICCSample( float sample )
{
   float word = sample * 65535.0f;
   if ( !( word > 0 ) )
      return 0;
   if ( word >= 65535.0f )
      return 65535;
   return uint16_t( std::nearbyint( word ) );
}

float UnpackICCSample( uint16_t word )
{
   return float( double( word ) * ( 1.0 / 65535 ) );
}

qor::Image* ICMTransformImage( qor::Image& image, ICCProfileHandle target, ICCProfileHandle source, uint32_t intent )
{
   QuietLCMSErrors();
   int32_t space = image.GetColorSpace();
   if ( space != qor::ColorSpace::Gray && space != qor::ColorSpace::RGB )
      FailTransform( "Unsupported color space for ICM transform" );
   if ( target == nullptr || source == nullptr )
      FailTransform( "Invalid or corrupted ICC profiles" );
   bool imageRGB = space == qor::ColorSpace::RGB;
   bool targetRGB = uint32_t( cmsGetColorSpace( target ) ) == ICCSignatureRGB;
   bool sourceRGB = uint32_t( cmsGetColorSpace( source ) ) == ICCSignatureRGB;
   if ( imageRGB && !sourceRGB )
      FailTransform( "Incompatible color transform" );

   std::unique_ptr<qor::Image> newImage;
   if ( imageRGB != targetRGB )
      newImage = std::make_unique<qor::Image>( image.Width(), image.Height(), targetRGB ? 3 : 1,
                                               targetRGB ? qor::ColorSpace::RGB : qor::ColorSpace::Gray );
   qor::Image& result = newImage ? *newImage : image;

   std::unique_ptr<void, TransformDeleter> transform( cmsCreateTransform(
       source, sourceRGB ? RGBRecordFormat : GrayRecordFormat, target, targetRGB ? RGBRecordFormat : GrayRecordFormat,
       LCMSRenderingIntent( intent ), cmsFLAGS_HIGHRESPRECALC ) );
   if ( !transform )
      FailTransform( "Error creating color transform" );

   const int64_t total = image.NumberOfPixels();
   if ( image.IsMonitored() )
      image.Status().Initialize( "ICM color transform", total );

   // A grey image with an RGB source profile feeds its one plane as red, green and blue.
   const float* in[3] = {};
   for ( int c = 0; c < 3; ++c )
      if ( total > 0 )
         in[c] = image.PixelData( imageRGB ? c : 0 );
   const int inputWords = sourceRGB ? 3 : 1;
   const int outputWords = targetRGB ? 3 : 1;

   // Blocks of pixels on all cores: a LittleCMS transform may be shared by threads. Each strip packs, translates
   // and unpacks its own pixels, in blocks of TransformBlockPixels.
   std::atomic<bool> failed = false;
   auto strip = [&]( int64_t begin, int64_t end )
   {
      const int64_t blockPixels = std::min( end - begin, TransformBlockPixels );
      std::vector<uint16_t> input( size_t( blockPixels ) * size_t( inputWords ) );
      std::vector<uint16_t> output( size_t( blockPixels ) * size_t( outputWords ) );
      for ( int64_t first = begin; first < end; first += blockPixels )
      {
         const int64_t n = std::min( blockPixels, end - first );
         for ( int64_t i = 0; i < n; ++i )
            for ( int w = 0; w < inputWords; ++w )
               input[size_t( i * inputWords + w )] = PackICCSample( in[w][first + i] );
         const uint64_t errors = lcmsErrorCount;
         cmsDoTransform( transform.get(), input.data(), output.data(), cmsUInt32Number( n ) );
         if ( lcmsErrorCount != errors )
         {
            failed = true;
            return;
         }
         for ( int w = 0; w < outputWords; ++w )
         {
            float* out = result.PixelData( w ) + first;
            for ( int64_t i = 0; i < n; ++i )
               out[i] = UnpackICCSample( output[size_t( i * outputWords + w )] );
         }
      }
   };
   const bool completed =
       qor::ParallelFor( total, strip, image.IsMonitored() ? &image.Status() : nullptr, 1, TransformBlockPixels );
   if ( failed )
      FailTransform( "Color translation failed" );
   if ( !completed )
      throw qor::Image::AbortProcessEvent( &image );

   return newImage ? newImage.release() : &image;
}

const std::vector<uint8_t>* ICCProfileDataToEmbed( const TImageWindow& window )
{
   if ( window.iccProfile != nullptr )
      return window.iccProfile.get();
   if ( window.image == nullptr )
      return nullptr;
   return window.image->GetColorSpace() == qor::ColorSpace::Gray ? ColorManagementSettings.defaultGrayProfileData.get()
                                                                 : ColorManagementSettings.defaultRGBProfileData.get();
}

EmbedICCProfileChoice GetEmbedICCProfileChoice( const TImageWindow* window )
{
   EmbedICCProfileChoice choice;
   ICCProfileHandle own = nullptr;
   if ( window != nullptr && window->iccProfile != nullptr )
      own = OpenICCProfileData( *window->iccProfile );
   ICCProfileHandle profile = own;
   if ( profile == nullptr && window != nullptr && window->image != nullptr )
      profile = window->image->GetColorSpace() == qor::ColorSpace::Gray ? ColorManagementSettings.defaultGrayProfile
                                                                        : ColorManagementSettings.defaultRGBProfile;
   choice.enabled = profile != nullptr;
   choice.checked = choice.enabled && ColorManagementSettings.DefaultProfileEmbedding;
   if ( choice.enabled )
      choice.description = GetICCProfileDescription( profile );
   CloseICCProfile( own );
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
