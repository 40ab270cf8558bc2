// Swap files: the fixed records, the checked reader and the window's writer.

#include "windows/image/SwapFile.h"

#include <algorithm>
#include <cstring>
#include <limits>

#include "classlib/File.h"
#include "classlib/StatusCallback.h"
#include "process/ProcessContainer.h"
#include "windows/image/ImageWindow.h"

SwapFileContents::SwapFileContents() = default;
SwapFileContents::~SwapFileContents() = default;
SwapFileContents::SwapFileContents( SwapFileContents&& ) noexcept = default;
SwapFileContents& SwapFileContents::operator=( SwapFileContents&& ) noexcept = default;

void SetSwapFileIdentifier( char ( &field )[SwapFileIdentifierSize], const std::string& text )
{
   std::memset( field, 0, sizeof( field ) );
   std::memcpy( field, text.data(), std::min( text.size(), size_t( SwapFileIdentifierSize - 1 ) ) );
}

std::string SwapFileIdentifierText( const char ( &field )[SwapFileIdentifierSize] )
{
   const char* end = static_cast<const char*>( std::memchr( field, 0, sizeof( field ) ) );
   return std::string( field, end != nullptr ? size_t( end - field ) : sizeof( field ) );
}

namespace
{

[[noreturn]] void Invalid()
{
   throw qor::Image::InvalidSwapFile( nullptr );
}

void Check( bool condition )
{
   if ( !condition )
      Invalid();
}

// Whether count items of itemSize bytes each can still be read (no overflow for any non-negative count).
bool Fits( const qor::File& file, int64_t count, int64_t itemSize )
{
   return count >= 0 && ( itemSize == 0 || count <= file.BytesLeft() / itemSize );
}

// A geometry the reader accepts for an image: positive sizes, a known colour space with its nominal channels, and
// planes that the bytes left in the file can hold.
void CheckGeometry( const qor::File& file, int32_t width, int32_t height, int32_t channels, int32_t colorSpace )
{
   Check( width > 0 && height > 0 && channels > 0 && channels <= SwapFileMaxChannels );
   Check( qor::ColorSpace::IsValid( colorSpace ) && channels >= qor::ColorSpace::NumberOfNominalChannels( colorSpace ) );
   const int64_t pixels = int64_t( width ) * int64_t( height );
   Check( Fits( file, pixels, 4 ) && Fits( file, channels, pixels * 4 ) );
}

void ReadPlanes( qor::File& file, qor::Image& image, qor::StatusCallback* monitor, const char* text )
{
   if ( monitor != nullptr )
   {
      monitor->Initialize( text, image.NumberOfChannels() );
      if ( monitor->IsAborted() )
         throw qor::Image::AbortProcessEvent( &image );
   }
   for ( int32_t c = 0; c < image.NumberOfChannels(); ++c )
   {
      file.Read( image.PixelData( c ), image.NumberOfPixels() * 4 );
      if ( monitor != nullptr )
      {
         monitor->Advance( 1 );
         if ( monitor->IsAborted() )
            throw qor::Image::AbortProcessEvent( &image );
      }
   }
}

void WritePlanes( qor::File& file, const qor::Image& image, qor::StatusCallback& monitor, const qor::Image& owner,
                  const char* text )
{
   monitor.Initialize( text, image.NumberOfChannels() );
   if ( monitor.IsAborted() )
      throw qor::Image::AbortProcessEvent( &owner );
   for ( int32_t c = 0; c < image.NumberOfChannels(); ++c )
   {
      file.Write( image.PixelData( c ), image.NumberOfPixels() * 4 );
      monitor.Advance( 1 );
      if ( monitor.IsAborted() )
         throw qor::Image::AbortProcessEvent( &owner );
   }
}

std::string ReadText( qor::File& file )
{
   const int32_t length = file.ReadValue<int32_t>();
   Check( length >= 0 && length <= SwapFileMaxTextLength && Fits( file, length, 1 ) );
   return file.ReadString( length );
}

void WriteText( qor::File& file, const std::string& text )
{
   file.WriteValue( int32_t( text.size() ) );
   if ( !text.empty() )
      file.WriteString( text );
}

} // namespace

SwapFileContents ReadSwapFileContents( const std::string& path, const qor::Image* expected,
                                       qor::StatusCallback* monitor )
{
   qor::File file;
   file.Open( path, qor::File::ModeOpenExisting | qor::File::ModeRead );
   SwapFileContents contents;
   SwapFileHeader& header = contents.header;
   file.ReadValue( header );
   Check( header.version == SwapFileVersion );
   const uint32_t flags = header.flags;

   if ( flags & SwapFileFlag::PixelData )
   {
      CheckGeometry( file, header.width, header.height, header.numberOfChannels, header.colorSpace );
      contents.pixels.Allocate( header.width, header.height, header.numberOfChannels, header.colorSpace );
      ReadPlanes( file, contents.pixels, monitor, "Reading swap file: pixel data" );
   }
   else if ( expected != nullptr )
   {
      // The file describes the window's image as it is: another geometry means it belongs to another image.
      Check( header.width == expected->Width() && header.height == expected->Height() &&
             header.numberOfChannels == expected->NumberOfChannels() &&
             header.colorSpace == expected->GetColorSpace() );
   }
   Check( header.displayChannel >= 0 && header.displayChannel <= header.numberOfChannels + 2 );

   if ( flags & SwapFileFlag::WorkingSpace )
   {
      contents.usesGlobalWorkingSpace = file.ReadValue<uint8_t>() != 0;
      const float gamma = file.ReadValue<float>();
      const bool sRGB = file.ReadValue<uint8_t>() != 0;
      float x[3], y[3], Y[3];
      for ( int i = 0; i < 3; ++i )
      {
         file.ReadValue( Y[i] );
         file.ReadValue( x[i] );
         file.ReadValue( y[i] );
      }
      try
      {
         contents.workingSpace.SetParameters( gamma, sRGB, x, y, Y );
      }
      catch ( const qor::RGBColorSystem::InvalidParameters& )
      {
         Invalid();
      }
   }

   if ( flags & SwapFileFlag::ColorManagement )
   {
      contents.colorManagementEnabled = file.ReadValue<uint8_t>() != 0;
      const int32_t length = file.ReadValue<int32_t>();
      Check( Fits( file, length, 1 ) );
      if ( length > 0 )
      {
         contents.iccProfile = std::make_unique<std::vector<uint8_t>>( size_t( length ) );
         file.Read( contents.iccProfile->data(), length );
      }
   }

   if ( flags & SwapFileFlag::FITSKeywords )
   {
      const int32_t count = file.ReadValue<int32_t>();
      Check( Fits( file, count, 12 ) );
      contents.keywords.reserve( size_t( count ) );
      for ( int32_t i = 0; i < count; ++i )
      {
         std::string name = ReadText( file );
         std::string value = ReadText( file );
         std::string comment = ReadText( file );
         contents.keywords.emplace_back( name, value, comment );
      }
   }

   if ( flags & SwapFileFlag::IPTCInformation )
   {
      contents.iptc = std::make_unique<qor::IPTCPhotoInfo>();
      contents.iptc->Read( file );
   }

   if ( flags & SwapFileFlag::Identifier )
      contents.identifier = ReadText( file );

   if ( !( flags & SwapFileFlag::NoPreviews ) )
   {
      Check( Fits( file, header.previewCount, int64_t( sizeof( SwapFilePreviewRecord ) ) ) );
      for ( int32_t i = 0; i < header.previewCount; ++i )
      {
         SwapFileContents::StoredPreview preview;
         SwapFilePreviewRecord& r = preview.record;
         file.ReadValue( r );
         preview.identifier = SwapFileIdentifierText( r.identifier );
         // A preview lies inside the image it belongs to.
         Check( r.left >= 0 && r.top >= 0 && r.width > 0 && r.height > 0 && r.left < header.width &&
                r.top < header.height && r.width <= header.width - r.left && r.height <= header.height - r.top );
         Check( r.stored == 0 || r.stored == 1 );
         if ( r.stored != 0 )
         {
            preview.history = std::make_unique<ProcessContainer>();
            preview.history->Read( file );
            CheckGeometry( file, r.width, r.height, r.storedChannels, r.storedColorSpace );
            preview.storedImage = std::make_unique<qor::Image>();
            preview.storedImage->Allocate( r.width, r.height, r.storedChannels, r.storedColorSpace );
            ReadPlanes( file, *preview.storedImage, monitor, "Reading swap file: stored previews" );
         }
         contents.previews.push_back( std::move( preview ) );
      }
   }
   else
      Check( header.previewCount == 0 );

   if ( !( flags & SwapFileFlag::NoMaskData ) )
   {
      Check( Fits( file, header.maskReferenceCount, int64_t( sizeof( SwapFileMaskReference ) ) ) );
      contents.maskReferences.resize( size_t( header.maskReferenceCount ) );
      for ( SwapFileMaskReference& reference : contents.maskReferences )
         file.ReadValue( reference );
   }
   else
      Check( header.maskReferenceCount == 0 );

   // Nothing follows the last section of a swap file.
   Check( file.BytesLeft() == 0 );
   file.Close();
   return contents;
}

// ---- Writing ----------------------------------------------------------------------------------------------------

void TImageWindow::WriteSwapFile( const std::string& path, uint32_t flags ) const
{
   qor::StatusCallback& monitor = image->Status();
   qor::File file;
   // A file of the same name goes first (the previous undo data); the new one is made afresh, private to the user,
   // and never through a link planted under its name.
   if ( qor::File::Exists( path ) )
      qor::File::Remove( path );
   file.Open( path, qor::File::ModeCreateNew | qor::File::ModeWrite );
   try
   {
      SwapFileHeader header;
      header.flags = flags;
      header.width = image->Width();
      header.height = image->Height();
      header.numberOfChannels = image->NumberOfChannels();
      header.colorSpace = image->GetColorSpace();
      header.displayChannel = displayChannel;
      header.previewCount = ( flags & SwapFileFlag::NoPreviews ) ? 0 : int32_t( previews.size() );
      if ( !( flags & SwapFileFlag::NoMaskData ) )
      {
         if ( maskWindow != nullptr )
            header.mask = maskWindow->MaskReferenceRecord();
         header.maskReferenceCount = int32_t( maskReferences.size() );
      }
      file.WriteValue( header );

      if ( flags & SwapFileFlag::PixelData )
         WritePlanes( file, *image, monitor, *image, "Writing swap file: pixel data" );

      if ( flags & SwapFileFlag::WorkingSpace )
      {
         const qor::RGBColorSystem::Data& ws = rgbWorkingSpace.Values();
         file.WriteValue( uint8_t( rgbWorkingSpace.SharesDataWith( GlobalRGBWorkingSpace ) ? 1 : 0 ) );
         file.WriteValue( ws.gamma );
         file.WriteValue( uint8_t( ws.sRGBGamma ? 1 : 0 ) );
         for ( int i = 0; i < 3; ++i )
         {
            file.WriteValue( ws.Y[i] );
            file.WriteValue( ws.x[i] );
            file.WriteValue( ws.y[i] );
         }
      }

      if ( flags & SwapFileFlag::ColorManagement )
      {
         file.WriteValue( uint8_t( colorManagementEnabled ? 1 : 0 ) );
         // The bytes the window holds, whatever the profile's own size field says: the reader gets them back as
         // they were.
         const int32_t length = iccProfile != nullptr ? int32_t( iccProfile->size() ) : 0;
         file.WriteValue( length );
         if ( length > 0 )
            file.Write( iccProfile->data(), length );
      }

      if ( flags & SwapFileFlag::FITSKeywords )
      {
         file.WriteValue( int32_t( fitsOptions != nullptr ? fitsOptions->keywords.Length() : 0 ) );
         if ( fitsOptions != nullptr )
            for ( const FITSHeaderKeyword* k : fitsOptions->keywords )
            {
               WriteText( file, k->name );
               WriteText( file, k->value );
               WriteText( file, k->comment );
            }
      }

      if ( flags & SwapFileFlag::IPTCInformation )
      {
         if ( iptcInfo != nullptr )
            iptcInfo->Write( file );
         else
            file.WriteValue( int32_t( 0 ) );
      }

      if ( flags & SwapFileFlag::Identifier )
         WriteText( file, mainView->Identifier() );

      if ( !( flags & SwapFileFlag::NoPreviews ) )
         for ( const Preview* preview : previews )
         {
            SwapFilePreviewRecord record;
            SetSwapFileIdentifier( record.identifier, preview->Identifier() );
            record.left = preview->left;
            record.top = preview->top;
            const qor::Image& shown = preview->storedImage != nullptr ? *preview->storedImage : preview->GetImage();
            record.width = shown.Width();
            record.height = shown.Height();
            if ( preview->storedImage != nullptr )
            {
               record.stored = 1;
               record.storedChannels = preview->storedImage->NumberOfChannels();
               record.storedColorSpace = preview->storedImage->GetColorSpace();
            }
            file.WriteValue( record );
            if ( preview->storedImage != nullptr )
            {
               preview->StoredHistory().Write( file );
               WritePlanes( file, *preview->storedImage, monitor, *image, "Writing swap file: stored previews" );
            }
         }

      if ( !( flags & SwapFileFlag::NoMaskData ) )
         for ( const Maskable* user : maskReferences )
            file.WriteValue( MaskReferenceRecordOf( user ) );

      file.Close();
   }
   catch ( ... )
   {
      // No partial swap file survives.
      try
      {
         file.Close();
      }
      catch ( ... )
      {
      }
      try
      {
         qor::File::Remove( path );
      }
      catch ( ... )
      {
      }
      throw;
   }
}
