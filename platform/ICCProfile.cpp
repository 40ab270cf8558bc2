#include "platform/ICCProfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>

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
#include "platform/ICCProfileTransform.h"

ColorManagementSettingsRecord ColorManagementSettings;

namespace
{

thread_local uint64_t lcmsErrorCount = 0;

void CountLCMSError( cmsContext, cmsUInt32Number, const char* )
{
   ++lcmsErrorCount;
}

constexpr uint32_t DescriptionTypeMLUC = 0x6D6C7563; // 'mluc'
// A version 2 description holds its ASCII count at bytes 8-11 and its text from byte 12.
constexpr size_t DescriptionTextOffset = 12;
constexpr uint32_t MaxDescriptionCount = 256;

constexpr int64_t TransformBlockPixels = 4096;

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

void QuietLCMSErrors()
{
   static const bool installed = []
   {
      cmsSetLogErrorHandler( CountLCMSError );
      return true;
   }();
   (void)installed;
}

uint64_t LCMSErrorCount()
{
   return lcmsErrorCount;
}

uint32_t ICCDataColorSpace( std::span<const uint8_t> data )
{
   return ICCProfileDataSize( data ) != 0 ? qor::ReadBigEndianUInt32( data.data() + 16 ) : 0;
}

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

namespace
{

// Appends the profile files of one folder (and, with `depth` above 0, of its subfolders down to that depth, each
// folder once however it is reached), as the file system lists them. Hidden files and folders are passed over.
void AppendICCProfileFiles( std::vector<std::string>& files, const QString& folder, int depth,
                            QSet<QString>& visited )
{
   const QDir dir( folder );
   const QString canonical = dir.canonicalPath();
   if ( canonical.isEmpty() || visited.contains( canonical ) )
      return;
   visited.insert( canonical );
   const QStringList names = dir.entryList( QDir::Files, QDir::Unsorted );
   for ( const QString& name : names )
   {
      const QString suffix = QFileInfo( name ).suffix();
      if ( suffix.compare( "icc", Qt::CaseInsensitive ) == 0 || suffix.compare( "icm", Qt::CaseInsensitive ) == 0 )
         files.push_back( ( folder + '/' + name ).toStdString() );
   }
   if ( depth <= 0 )
      return;
   for ( const QString& sub : dir.entryList( QDir::Dirs | QDir::NoDotAndDotDot, QDir::Unsorted ) )
      AppendICCProfileFiles( files, folder + '/' + sub, depth - 1, visited );
}

// How deep the profile folders are searched: vendors install their profiles a folder or two down.
constexpr int ProfileFolderDepth = 8;

QString Environment( const char* name )
{
   return qEnvironmentVariable( name );
}

} // namespace

std::vector<std::string> ICCProfileFolders()
{
   // The folders colour-managed programs on Linux search: the system's (color/icc under every data folder of the
   // XDG base directories, with the system colour directory among them, and colord's store), then the user's own
   // (icc and color/icc under the user's data folder, and the older ~/.color/icc).
   QStringList folders;
   QString dataDirs = Environment( "XDG_DATA_DIRS" );
   if ( dataDirs.isEmpty() )
      dataDirs = "/usr/local/share:/usr/share";
   folders << QString::fromStdString( GetICCColorDirectory() );
   for ( const QString& d : dataDirs.split( ':', Qt::SkipEmptyParts ) )
      folders << d + "/color/icc";
   folders << "/var/lib/color/icc" << "/var/lib/colord/icc";
   const QString home = Environment( "HOME" );
   QString dataHome = Environment( "XDG_DATA_HOME" );
   if ( dataHome.isEmpty() && !home.isEmpty() )
      dataHome = home + "/.local/share";
   if ( !dataHome.isEmpty() )
      folders << dataHome + "/icc" << dataHome + "/color/icc";
   if ( !home.isEmpty() )
      folders << home + "/.color/icc";

   std::vector<std::string> result;
   QSet<QString> seen;
   for ( const QString& folder : folders )
   {
      const QString f = QDir::cleanPath( folder );
      const QString canonical = QDir( f ).canonicalPath();
      if ( canonical.isEmpty() || seen.contains( canonical ) )
         continue;
      seen.insert( canonical );
      result.push_back( f.toStdString() );
   }
   return result;
}

void FindICCProfileFiles( std::vector<std::string>& files, const std::string& folder )
{
   QSet<QString> visited;
   if ( !folder.empty() )
   {
      AppendICCProfileFiles( files, QString::fromStdString( folder ), 0, visited );
      return;
   }
   const std::vector<std::string> folders = ICCProfileFolders();
   if ( folders.empty() )
   {
      AppendICCProfileFiles( files, ".", 0, visited );
      return;
   }
   for ( const std::string& f : folders )
      AppendICCProfileFiles( files, QString::fromStdString( f ), ProfileFolderDepth, visited );
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
   if ( space == qor::ColorSpace::RGB && uint32_t( cmsGetColorSpace( source ) ) != ICCSignatureRGB )
      FailTransform( "Incompatible color transform" );
   std::unique_ptr<ICCProfileTransform> transform = ICCProfileTransform::Create( source, target, intent );
   if ( transform == nullptr )
      FailTransform( "Error creating color transform" );
   return ICMTransformImage( image, *transform );
}

qor::Image* ICMTransformImage( qor::Image& image, const ICCProfileTransform& transform )
{
   int32_t space = image.GetColorSpace();
   if ( space != qor::ColorSpace::Gray && space != qor::ColorSpace::RGB )
      FailTransform( "Unsupported color space for ICM transform" );
   const bool imageRGB = space == qor::ColorSpace::RGB;
   const bool sourceRGB = transform.InputChannels() == 3;
   const bool targetRGB = transform.OutputChannels() == 3;
   if ( imageRGB && !sourceRGB )
      FailTransform( "Incompatible color transform" );

   std::unique_ptr<qor::Image> newImage;
   if ( imageRGB != targetRGB )
      newImage = std::make_unique<qor::Image>( image.Width(), image.Height(), targetRGB ? 3 : 1,
                                               targetRGB ? qor::ColorSpace::RGB : qor::ColorSpace::Gray );
   qor::Image& result = newImage ? *newImage : image;

   const int64_t total = image.NumberOfPixels();
   if ( image.IsMonitored() )
      image.Status().Initialize( "ICM color transform", total );

   // A grey image with an RGB source profile feeds its one plane as red, green and blue.
   const float* in[3] = {};
   float* out[3] = {};
   if ( total > 0 )
   {
      for ( int c = 0; c < 3; ++c )
         in[c] = image.PixelData( imageRGB ? c : 0 );
      for ( int c = 0; c < transform.OutputChannels(); ++c )
         out[c] = result.PixelData( c );
   }

   // Blocks of pixels on all cores: the transform may be shared by threads.
   std::atomic<bool> failed = false;
   auto strip = [&]( int64_t begin, int64_t end )
   {
      const float* from[3] = { in[0] + begin, in[1] + begin, in[2] + begin };
      float* to[3] = {};
      for ( int c = 0; c < transform.OutputChannels(); ++c )
         to[c] = out[c] + begin;
      if ( !transform.Apply( from, to, end - begin ) )
         failed = true;
   };
   const bool completed =
       qor::ParallelFor( total, strip, image.IsMonitored() ? &image.Status() : nullptr, 1, TransformBlockPixels );
   if ( failed )
      FailTransform( "Color translation failed" );
   if ( !completed )
      throw qor::Image::AbortProcessEvent( &image );

   return newImage ? newImage.release() : &image;
}
