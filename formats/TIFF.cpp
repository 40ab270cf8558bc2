#include "formats/TIFF.h"

#include <tiffio.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <vector>

#include <fcntl.h>
#include <unistd.h>

#include "classlib/ColorSpace.h"
#include "classlib/Math.h"
#include "formats/ImageMemory.h"
#include "formats/SampleConversion.h"

namespace
{

// Strips larger than this are decoded row by row: the buffer stays small, and progress and an abort come at least
// this often.
constexpr uint64_t MaxStripBuffer = 8u << 20;

// Writes n bytes at `at`; false, errno set, when the system refused them.
bool WriteAll( int fd, const uint8_t* data, uint64_t n, uint64_t at )
{
   while ( n > 0 )
   {
      const ssize_t done = ::pwrite( fd, data, size_t( n ), off_t( at ) );
      if ( done < 0 && errno == EINTR )
         continue;
      if ( done <= 0 )
      {
         if ( done == 0 )
            errno = ENOSPC;
         return false;
      }
      data += done;
      at += uint64_t( done );
      n -= uint64_t( done );
   }
   return true;
}

// A file being written, through a buffer: libtiff writes a strip of a few rows at a time and seeks before each one;
// the system is given BufferBytes at a time instead. A seek only moves the position; the buffer goes out when it is
// full, when a write lands elsewhere, and when the file is read or closed. Small enough that a disk that refuses a
// write stops the work soon after it starts.
class BufferedFile
{
public:
   static constexpr uint64_t BufferBytes = 128u << 10;

   explicit BufferedFile( int fd ) : fd( fd ) { buffer.reserve( BufferBytes ); }
   ~BufferedFile() { CloseFile(); }
   BufferedFile( const BufferedFile& ) = delete;
   BufferedFile& operator=( const BufferedFile& ) = delete;

   // Stores what the buffer holds; false, errno set, when the system refused it.
   bool Flush()
   {
      const bool written = WriteAll( fd, buffer.data(), buffer.size(), start );
      buffer.clear();
      return written;
   }
   void CloseFile()
   {
      if ( fd >= 0 )
      {
         Flush();
         ::close( fd );
      }
      fd = -1;
   }

   // libtiff's procedures on the file.
   static tmsize_t Read( thandle_t self, void* data, tmsize_t n )
   {
      auto* f = static_cast<BufferedFile*>( self );
      if ( !f->Flush() )
         return -1;
      tmsize_t got = 0;
      while ( got < n )
      {
         const ssize_t r = ::pread( f->fd, static_cast<uint8_t*>( data ) + got, size_t( n - got ), off_t( f->position ) );
         if ( r < 0 && errno == EINTR )
            continue;
         if ( r <= 0 )
            break;
         got += r;
         f->position += uint64_t( r );
      }
      return got;
   }
   static tmsize_t Write( thandle_t self, void* data, tmsize_t n )
   {
      auto* f = static_cast<BufferedFile*>( self );
      const auto* bytes = static_cast<const uint8_t*>( data );
      if ( !f->buffer.empty() && ( f->position != f->start + f->buffer.size() || f->buffer.size() + n > BufferBytes ) )
         if ( !f->Flush() )
            return -1;
      if ( uint64_t( n ) >= BufferBytes )
      {
         if ( !WriteAll( f->fd, bytes, uint64_t( n ), f->position ) )
            return -1;
      }
      else
      {
         if ( f->buffer.empty() )
            f->start = f->position;
         f->buffer.insert( f->buffer.end(), bytes, bytes + n );
      }
      f->position += uint64_t( n );
      f->size = std::max( f->size, f->position );
      return n;
   }
   static toff_t Seek( thandle_t self, toff_t offset, int whence )
   {
      auto* f = static_cast<BufferedFile*>( self );
      f->position = ( whence == SEEK_SET ? 0 : whence == SEEK_CUR ? f->position : f->size ) + offset;
      return f->position;
   }
   static toff_t Size( thandle_t self ) { return static_cast<BufferedFile*>( self )->size; }
   static int Close( thandle_t self )
   {
      static_cast<BufferedFile*>( self )->CloseFile();
      return 0;
   }
   static int Map( thandle_t, void**, toff_t* ) { return 0; }
   static void Unmap( thandle_t, void*, toff_t ) {}

private:
   int fd;
   uint64_t position = 0; // of the next read or write
   uint64_t start = 0;    // where the buffered bytes go
   uint64_t size = 0;     // of the file, the buffered bytes included
   std::vector<uint8_t> buffer;
};

// An open file with libtiff's errors about it kept here rather than shown by the process-wide handler: the first
// one explains the failure in the exception that follows; those after it (a directory that cannot be written after
// a row that could not, say) add nothing. A file opened to be written ("w") is created anew and written through a
// buffer.
class TIFFHandle
{
public:
   TIFFHandle( const std::string& path, const char* mode )
   {
      TIFFOpenOptions* options = TIFFOpenOptionsAlloc();
      TIFFOpenOptionsSetErrorHandlerExtR( options, &TIFFHandle::Error, this );
      if ( mode[0] != 'w' )
         tif = TIFFOpenExt( path.c_str(), mode, options );
      else if ( const int fd = ::open( path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0666 ); fd < 0 )
         firstError = "TIFFOpen: " + path + ": " + std::strerror( errno );
      else
      {
         output = std::make_unique<BufferedFile>( fd );
         tif = TIFFClientOpenExt( path.c_str(), mode, output.get(), &BufferedFile::Read, &BufferedFile::Write,
                                  &BufferedFile::Seek, &BufferedFile::Close, &BufferedFile::Size, &BufferedFile::Map,
                                  &BufferedFile::Unmap, options );
      }
      TIFFOpenOptionsFree( options );
   }
   ~TIFFHandle() { Close(); }
   TIFFHandle( const TIFFHandle& ) = delete;
   TIFFHandle& operator=( const TIFFHandle& ) = delete;

   TIFF* File() const { return tif; }
   void Close()
   {
      if ( tif != nullptr )
         TIFFClose( tif );
      tif = nullptr;
      output.reset();
   }
   // Stores what a written file's buffer still holds; false when the system refused it (FirstError() says why).
   bool FlushWrites()
   {
      if ( output == nullptr || output->Flush() )
         return true;
      if ( firstError.empty() )
         firstError = std::string( "Write error (" ) + std::strerror( errno ) + ")";
      return false;
   }
   // The first error libtiff reported, with the system's reason when it was a disk that could take no more.
   const std::string& FirstError() const { return firstError; }

private:
   static int Error( TIFF*, void* self, const char* module, const char* format, va_list arguments )
   {
      const int systemError = errno;
      auto* h = static_cast<TIFFHandle*>( self );
      if ( h->firstError.empty() )
      {
         char text[1024];
         std::vsnprintf( text, sizeof( text ), format, arguments );
         h->firstError = module != nullptr && *module != 0 ? std::string( module ) + ": " + text : std::string( text );
         if ( systemError == ENOSPC || systemError == EFBIG || systemError == EDQUOT || systemError == EIO )
            h->firstError += " (" + std::string( std::strerror( systemError ) ) + ")";
      }
      return 1; // handled: the process-wide handler is not called
   }

   std::unique_ptr<BufferedFile> output;
   TIFF* tif = nullptr;
   std::string firstError;
};

std::string Describe( int32_t bits, bool isFloat, int32_t channels, int32_t width, int32_t height, bool planar )
{
   char text[160];
   std::snprintf( text, sizeof( text ), "%d-bit %s, %d channel(s), %dx%d pixels, %s", bits,
                  isFloat ? "floating point" : "integers", channels, width, height, planar ? "planar" : "chunky" );
   return text;
}

std::string TagText( TIFF* tif, uint32_t tag )
{
   const char* text = nullptr;
   return TIFFGetField( tif, tag, &text ) == 1 && text != nullptr ? std::string( text ) : std::string();
}

// Converts `rows` rows of one stored sample plane or of interleaved samples into the image. `first` is the first
// channel the data hold, `channels` how many are interleaved (1 for a plane).
void ConvertRows( const uint8_t* data, int32_t bits, bool isFloat, qor::Image& image, int32_t row, int32_t rows,
                  int32_t first, int32_t channels )
{
   const int32_t w = image.Width();
   const size_t rowBytes = size_t( w ) * size_t( channels ) * size_t( bits / 8 );
   for ( int32_t r = 0; r < rows; ++r, data += rowBytes )
      for ( int32_t c = 0; c < channels; ++c )
      {
         float* out = image.ScanLine( first + c, row + r );
         if ( isFloat )
         {
            const auto* in = reinterpret_cast<const float*>( data ) + c;
            if ( channels == 1 )
               std::memcpy( out, in, size_t( w ) * sizeof( float ) );
            else
               for ( int32_t x = 0; x < w; ++x )
                  out[x] = in[size_t( x ) * size_t( channels )];
         }
         else if ( bits == 8 )
            formats::UnsignedToFloat( data + c, channels, out, w );
         else if ( bits == 16 )
            formats::UnsignedToFloat( reinterpret_cast<const uint16_t*>( data ) + c, channels, out, w );
         else
            formats::UnsignedToFloat( reinterpret_cast<const uint32_t*>( data ) + c, channels, out, w );
      }
}

// Whether every strip lies inside the file; `largest` gets the size of the largest one (libtiff reads a compressed
// strip whole before decoding it).
bool StripsInFile( TIFF* tif, const std::string& path, uint64_t& largest )
{
   std::error_code ec;
   const uint64_t fileSize = std::filesystem::file_size( path, ec );
   if ( ec )
      return false;
   uint64_t* offsets = nullptr;
   uint64_t* counts = nullptr;
   if ( TIFFGetField( tif, TIFFTAG_STRIPOFFSETS, &offsets ) != 1 ||
        TIFFGetField( tif, TIFFTAG_STRIPBYTECOUNTS, &counts ) != 1 || offsets == nullptr || counts == nullptr )
      return false;
   largest = 0;
   const uint32_t strips = TIFFNumberOfStrips( tif );
   for ( uint32_t s = 0; s < strips; ++s )
   {
      if ( offsets[s] > fileSize || counts[s] > fileSize - offsets[s] )
         return false;
      largest = std::max( largest, counts[s] );
   }
   return true;
}

void ReadOptions( TIFF* tif, TIFFOptions& o, int32_t bits, bool isFloat )
{
   o.bitsPerSample = bits;
   o.floatingPoint = isFloat;
   uint16_t compression = COMPRESSION_NONE;
   TIFFGetFieldDefaulted( tif, TIFFTAG_COMPRESSION, &compression );
   // Deflate under either of its codes is ZIP; other codecs are not written again.
   o.compression = compression == COMPRESSION_LZW                                        ? TIFFOptions::LZWCompression
                   : compression == COMPRESSION_DEFLATE || compression == COMPRESSION_ADOBE_DEFLATE ? TIFFOptions::ZIPCompression
                                                                                          : TIFFOptions::NoCompression;
   uint16_t planar = PLANARCONFIG_CONTIG;
   TIFFGetFieldDefaulted( tif, TIFFTAG_PLANARCONFIG, &planar );
   o.planar = planar == PLANARCONFIG_SEPARATE;
   uint16_t unit = RESUNIT_INCH;
   TIFFGetField( tif, TIFFTAG_RESOLUTIONUNIT, &unit );
   o.metricResolution = unit == RESUNIT_CENTIMETER;
   float x = 0, y = 0;
   TIFFGetField( tif, TIFFTAG_XRESOLUTION, &x );
   TIFFGetField( tif, TIFFTAG_YRESOLUTION, &y );
   if ( !( x > 0 ) || !( y > 0 ) || !std::isfinite( x ) || !std::isfinite( y ) )
      x = y = o.metricResolution ? float( 72 / 2.54 ) : 72.0f;
   o.xResolution = x;
   o.yResolution = y;
   o.software = TagText( tif, TIFFTAG_SOFTWARE );
   o.description = TagText( tif, TIFFTAG_IMAGEDESCRIPTION );
   o.copyright = TagText( tif, TIFFTAG_COPYRIGHT );
}

std::unique_ptr<std::vector<uint8_t>> ReadICCProfile( TIFF* tif )
{
   uint32_t count = 0;
   void* data = nullptr;
   if ( TIFFGetField( tif, TIFFTAG_ICCPROFILE, &count, &data ) != 1 || data == nullptr || count == 0 )
      return nullptr;
   const auto* bytes = static_cast<const uint8_t*>( data );
   return std::make_unique<std::vector<uint8_t>>( bytes, bytes + count );
}

// Whether this libtiff counts the IPTC tag in 32-bit words (declared LONG, as libtiff 3 and early 4 did) rather
// than in bytes (declared UNDEFINED).
bool IPTCCountsWords( TIFF* tif )
{
   const TIFFField* field = TIFFFieldWithTag( tif, TIFFTAG_RICHTIFFIPTC );
   return field != nullptr && TIFFFieldDataType( field ) == TIFF_LONG;
}

void ReadIPTC( TIFF* tif, qor::IPTCPhotoInfo& iptc )
{
   uint32_t count = 0;
   void* data = nullptr;
   if ( TIFFGetField( tif, TIFFTAG_RICHTIFFIPTC, &count, &data ) != 1 || data == nullptr || count == 0 )
   {
      iptc.Clear();
      return;
   }
   if ( !IPTCCountsWords( tif ) )
   {
      iptc.Decode( data, int64_t( count ) );
      return;
   }
   // 32-bit words in the machine's order; the block is bytes in the file's order.
   std::vector<uint32_t> block( static_cast<const uint32_t*>( data ), static_cast<const uint32_t*>( data ) + count );
   if ( TIFFIsByteSwapped( tif ) )
      TIFFSwabArrayOfLong( block.data(), tmsize_t( count ) );
   iptc.Decode( block.data(), int64_t( count ) * 4 );
}

// How the samples are read: whole strips, or rows of strips too large for one buffer.
struct StripLayout
{
   uint32_t rowsPerStrip = 1;
   uint32_t stripsPerPlane = 1;
   uint64_t rowBytes = 0;
   bool byRows = false;

   uint64_t BufferBytes() const { return byRows ? rowBytes : rowBytes * rowsPerStrip; }
};

StripLayout LayOutStrips( TIFF* tif, uint32_t width, uint32_t height, int32_t interleaved, int32_t bits )
{
   StripLayout l;
   uint32_t rowsPerStrip = 0;
   TIFFGetFieldDefaulted( tif, TIFFTAG_ROWSPERSTRIP, &rowsPerStrip );
   l.rowsPerStrip = std::clamp<uint32_t>( rowsPerStrip, 1, height );
   l.stripsPerPlane = ( height - 1 ) / l.rowsPerStrip + 1;
   l.rowBytes = uint64_t( width ) * uint64_t( interleaved ) * uint64_t( bits / 8 );
   l.byRows = l.rowBytes * l.rowsPerStrip > MaxStripBuffer;
   return l;
}

// The smallest and largest finite sample of a channel, and whether it holds a NaN or an infinity.
struct SampleRange
{
   float lo = std::numeric_limits<float>::max();
   float hi = std::numeric_limits<float>::lowest();
   bool nonFinite = false;
};

// Widens `r` by n consecutive samples, sixteen at a time. Minimum and maximum are taken by comparisons, as one sample
// after another would be, so the range does not depend on the order (but for the sign of a zero range end, which no
// mapped sample depends on).
__attribute__( ( target_clones( "arch=x86-64-v3", "default" ) ) ) void Widen( SampleRange& r, const float* p,
                                                                                int64_t n )
{
   typedef float Floats __attribute__( ( vector_size( 32 ) ) );
   typedef int32_t Ints __attribute__( ( vector_size( 32 ) ) );
   constexpr float big = std::numeric_limits<float>::max();
   Floats lo[2] = { Floats{} + r.lo, Floats{} + r.lo };
   Floats hi[2] = { Floats{} + r.hi, Floats{} + r.hi };
   Ints bad = {};
   int64_t i = 0;
   for ( ; i + 16 <= n; i += 16 )
      for ( int k = 0; k < 2; ++k )
      {
         Floats v;
         Ints bits;
         std::memcpy( &v, p + i + 8 * k, sizeof( v ) );
         std::memcpy( &bits, &v, sizeof( v ) );
         // Exponent all ones: NaN or an infinity, left out of the range.
         const Ints finite = ( bits & 0x7FFFFFFF ) < 0x7F800000;
         bad |= ~finite;
         const Floats low = finite ? v : Floats{} + big, high = finite ? v : Floats{} - big;
         lo[k] = low < lo[k] ? low : lo[k];
         hi[k] = high > hi[k] ? high : hi[k];
      }
   for ( int k = 0; k < 2; ++k )
      for ( int j = 0; j < 8; ++j )
      {
         r.lo = std::min( r.lo, lo[k][j] );
         r.hi = std::max( r.hi, hi[k][j] );
         r.nonFinite = r.nonFinite || bad[j] != 0;
      }
   for ( ; i < n; ++i )
      if ( std::isfinite( p[i] ) )
      {
         r.lo = std::min( r.lo, p[i] );
         r.hi = std::max( r.hi, p[i] );
      }
      else
         r.nonFinite = true;
}

// Where the rows of uncompressed samples lie in the file, when they can be read as they are stored: bit order as
// libtiff expects it and every strip holding at least its rows' bytes. Rows that follow each other in the file are
// then read in one go, with no buffer between the file and a plane of floats.
struct RawRows
{
   int fd = -1;
   bool swapped = false;
   std::vector<uint64_t> stripOffsets;

   bool Usable() const { return fd >= 0; }
};

RawRows FindRawRows( TIFF* tif, const StripLayout& l, uint32_t height, int32_t planes )
{
   RawRows raw;
   uint16_t compression = COMPRESSION_NONE, fillOrder = FILLORDER_MSB2LSB;
   TIFFGetFieldDefaulted( tif, TIFFTAG_COMPRESSION, &compression );
   TIFFGetFieldDefaulted( tif, TIFFTAG_FILLORDER, &fillOrder );
   uint64_t* offsets = nullptr;
   uint64_t* counts = nullptr;
   if ( compression != COMPRESSION_NONE || fillOrder != FILLORDER_MSB2LSB || TIFFFileno( tif ) < 0 ||
        TIFFGetField( tif, TIFFTAG_STRIPOFFSETS, &offsets ) != 1 ||
        TIFFGetField( tif, TIFFTAG_STRIPBYTECOUNTS, &counts ) != 1 || offsets == nullptr || counts == nullptr )
      return raw;
   const size_t strips = size_t( l.stripsPerPlane ) * size_t( planes );
   for ( size_t s = 0; s < strips; ++s )
   {
      const uint32_t row = uint32_t( s % l.stripsPerPlane ) * l.rowsPerStrip;
      if ( counts[s] < l.rowBytes * std::min( l.rowsPerStrip, height - row ) )
         return raw; // left to libtiff, which tells what is wrong
   }
   raw.stripOffsets.assign( offsets, offsets + strips );
   raw.swapped = TIFFIsByteSwapped( tif ) != 0;
   raw.fd = TIFFFileno( tif );
   return raw;
}

// Rows are read raw at most this many bytes at a time, so that what was read is still in the cache when it is
// converted and measured.
constexpr uint64_t RawChunkBytes = 1u << 20;

// Reads the samples into the image; for floating point, the range of each channel, taken while its rows are still
// in the cache. Floating-point planes are read straight into the image's rows.
std::vector<SampleRange> ReadPixels( TIFFHandle& h, const std::string& path, qor::Image& image, const StripLayout& l,
                                     int32_t bits, bool isFloat, bool planar )
{
   TIFF* tif = h.File();
   const int32_t width = image.Width();
   const int32_t height = image.Height();
   const int32_t channels = image.NumberOfChannels();
   const int32_t planes = planar ? channels : 1;
   const int32_t interleaved = planar ? 1 : channels;
   if ( uint64_t( l.stripsPerPlane ) * uint64_t( planes ) > TIFFNumberOfStrips( tif ) )
      throw TIFFFileReadError( path );

   const RawRows raw = FindRawRows( tif, l, uint32_t( height ), planes );
   const int32_t chunkRows = int32_t( std::clamp<uint64_t>( RawChunkBytes / l.rowBytes, 1, uint64_t( height ) ) );
   const bool direct = isFloat && interleaved == 1;
   std::vector<uint8_t> buffer(
       direct ? 0 : size_t( raw.Usable() ? uint64_t( chunkRows ) * l.rowBytes : l.BufferBytes() ) );
   std::vector<SampleRange> ranges( isFloat ? size_t( channels ) : 0 );
   // Where rows from `row` on are decoded to, and what is done with them once they are.
   auto target = [&]( int32_t p, int32_t row )
   { return direct ? reinterpret_cast<uint8_t*>( image.ScanLine( p, row ) ) : buffer.data(); };
   auto done = [&]( int32_t p, int32_t row, int32_t rows )
   {
      if ( !direct )
         ConvertRows( buffer.data(), bits, isFloat, image, row, rows, p, interleaved );
      if ( isFloat )
         for ( int32_t c = p; c < p + interleaved; ++c )
            Widen( ranges[size_t( c )], image.ScanLine( c, row ), int64_t( rows ) * width );
      if ( image.IsMonitored() )
         image.Status().Advance( rows );
      image.ThrowIfAborted();
   };
   for ( int32_t p = 0; p < planes; ++p )
      if ( raw.Usable() )
      {
         auto offset = [&]( int32_t y )
         {
            const uint32_t strip = uint32_t( y ) / l.rowsPerStrip;
            return raw.stripOffsets[size_t( p ) * l.stripsPerPlane + strip] +
                   uint64_t( uint32_t( y ) - strip * l.rowsPerStrip ) * l.rowBytes;
         };
         for ( int32_t y = 0; y < height; )
         {
            const uint64_t at = offset( y );
            int32_t rows = 1;
            while ( rows < chunkRows && y + rows < height && offset( y + rows ) == at + uint64_t( rows ) * l.rowBytes )
               ++rows;
            uint8_t* to = target( p, y );
            const size_t bytes = size_t( l.rowBytes * uint64_t( rows ) );
            for ( size_t got = 0; got < bytes; )
            {
               const ssize_t n = ::pread( raw.fd, to + got, bytes - got, off_t( at + got ) );
               if ( n <= 0 )
               {
                  if ( n < 0 && errno == EINTR )
                     continue;
                  throw TIFFFileReadError( path, n < 0 ? std::string( std::strerror( errno ) ) : std::string() );
               }
               got += size_t( n );
            }
            if ( raw.swapped && bits == 16 )
               TIFFSwabArrayOfShort( reinterpret_cast<uint16_t*>( to ), tmsize_t( bytes / 2 ) );
            else if ( raw.swapped && bits == 32 )
               TIFFSwabArrayOfLong( reinterpret_cast<uint32_t*>( to ), tmsize_t( bytes / 4 ) );
            done( p, y, rows );
            y += rows;
         }
      }
      else if ( l.byRows )
         for ( int32_t y = 0; y < height; ++y )
         {
            if ( TIFFReadScanline( tif, target( p, y ), uint32_t( y ), uint16_t( p ) ) != 1 )
               throw TIFFFileReadError( path, h.FirstError() );
            done( p, y, 1 );
         }
      else
         for ( uint32_t s = 0; s < l.stripsPerPlane; ++s )
         {
            const int32_t row = int32_t( s * l.rowsPerStrip );
            const int32_t rows = std::min<int32_t>( int32_t( l.rowsPerStrip ), height - row );
            const tmsize_t wanted = tmsize_t( l.rowBytes ) * rows;
            // A strip that decodes to fewer bytes than its rows need is a damaged file, not rows of stale bytes.
            if ( TIFFReadEncodedStrip( tif, uint32_t( p ) * l.stripsPerPlane + s, target( p, row ), wanted ) != wanted )
               throw TIFFFileReadError( path, h.FirstError() );
            done( p, row, rows );
         }
   return ranges;
}

// Brings each channel into [0, 1] from its range (see NormalizeFloatSamples).
void Normalize( qor::Image& image, const std::vector<SampleRange>& ranges )
{
   const int64_t n = image.NumberOfPixels();
   image.BeginTask( "Normalizing pixel values", n * image.NumberOfNominalChannels() );
   for ( int32_t c = 0; c < image.NumberOfChannels(); ++c )
   {
      float* p = image.PixelData( c );
      const SampleRange& r = ranges[size_t( c )];
      const bool inRange = r.lo >= 0 && r.hi <= 1;
      if ( !inRange || r.nonFinite )
      {
         double offset = 0, span = 1;
         if ( !inRange && r.hi > r.lo )
         {
            offset = r.lo;
            span = double( r.hi ) - double( r.lo );
         }
         // NaN goes to 0, the infinities to their ends; a channel of one value outside [0, 1] is clamped.
         for ( int64_t i = 0; i < n; ++i )
            p[i] = std::isnan( p[i] ) ? 0.0f : formats::Clamp01( float( ( double( p[i] ) - offset ) / span ) );
      }
      if ( image.IsMonitored() )
         image.Status().Advance( c < image.NumberOfNominalChannels() ? n : 0 );
      image.ThrowIfAborted();
   }
}

} // namespace

void NormalizeFloatSamples( qor::Image& image )
{
   std::vector<SampleRange> ranges( size_t( image.NumberOfChannels() ) );
   for ( int32_t c = 0; c < image.NumberOfChannels(); ++c )
      Widen( ranges[size_t( c )], image.PixelData( c ), image.NumberOfPixels() );
   Normalize( image, ranges );
}

void ReadTIFF( qor::Image& image, const std::string& path, TIFFOptions* options,
               std::unique_ptr<std::vector<uint8_t>>* iccProfile, qor::IPTCPhotoInfo* iptc,
               std::vector<std::string>* warnings )
{
   try
   {
      TIFFHandle h( path, "rm" ); // read(), not a mapping: faster on every codec
      TIFF* tif = h.File();
      if ( tif == nullptr )
         throw TIFFUnableToOpenFile( path, h.FirstError() );

      uint16_t photometric = 0xFFFF;
      if ( TIFFGetField( tif, TIFFTAG_PHOTOMETRIC, &photometric ) != 1 ||
           ( photometric != PHOTOMETRIC_MINISWHITE && photometric != PHOTOMETRIC_MINISBLACK &&
             photometric != PHOTOMETRIC_RGB ) )
         throw TIFFUnsupportedColorMode( path );
      uint32_t width = 0, height = 0;
      uint16_t bits = 0, samples = 0, planarConfig = 0, sampleFormat = SAMPLEFORMAT_UINT;
      TIFFGetField( tif, TIFFTAG_IMAGEWIDTH, &width );
      TIFFGetField( tif, TIFFTAG_IMAGELENGTH, &height );
      TIFFGetFieldDefaulted( tif, TIFFTAG_BITSPERSAMPLE, &bits );
      TIFFGetFieldDefaulted( tif, TIFFTAG_SAMPLESPERPIXEL, &samples );
      TIFFGetFieldDefaulted( tif, TIFFTAG_PLANARCONFIG, &planarConfig );
      TIFFGetFieldDefaulted( tif, TIFFTAG_SAMPLEFORMAT, &sampleFormat );
      if ( bits != 8 && bits != 16 && bits != 32 )
         throw TIFFUnsupportedBitsPerSample( path );
      if ( sampleFormat == SAMPLEFORMAT_VOID )
         sampleFormat = SAMPLEFORMAT_UINT;
      // 8 and 16-bit floating point have no conversion here.
      if ( ( sampleFormat != SAMPLEFORMAT_UINT && sampleFormat != SAMPLEFORMAT_IEEEFP ) ||
           ( sampleFormat == SAMPLEFORMAT_IEEEFP && bits != 32 ) )
         throw TIFFUnsupportedSampleFormat( path );
      // An RGB image needs its three colour samples.
      if ( photometric == PHOTOMETRIC_RGB && samples < 3 )
         throw TIFFUnsupportedColorMode( path );
      const bool isFloat = sampleFormat == SAMPLEFORMAT_IEEEFP;
      const bool planar = planarConfig == PLANARCONFIG_SEPARATE;

      // What the tags claim must be in the file, and fit in memory, before anything is allocated for it.
      if ( width == 0 || height == 0 || width > uint32_t( std::numeric_limits<int32_t>::max() ) ||
           height > uint32_t( std::numeric_limits<int32_t>::max() ) || samples == 0 || samples > MaxTIFFChannels ||
           TIFFIsTiled( tif ) )
         throw TIFFFileReadError( path );
      uint64_t largestStrip = 0;
      if ( !StripsInFile( tif, path, largestStrip ) )
         throw TIFFFileTruncated( path, path );
      const StripLayout layout = LayOutStrips( tif, width, height, planar ? 1 : samples, bits );
      const std::string shortfall = formats::MemoryShortfall(
          formats::AddBytes( formats::ImageBytes( width, height, samples ),
                             formats::AddBytes( layout.BufferBytes(), largestStrip ) ),
          width, height, samples );
      if ( !shortfall.empty() )
         throw TIFFNotEnoughMemory( path, shortfall );

      TIFFOptions readOptions;
      if ( options != nullptr )
      {
         readOptions.embedICCProfile = options->embedICCProfile;
         ReadOptions( tif, readOptions, bits, isFloat );
      }
      std::unique_ptr<std::vector<uint8_t>> profile;
      if ( iccProfile != nullptr )
         profile = ReadICCProfile( tif );
      qor::IPTCPhotoInfo info;
      std::vector<std::string> notes;
      if ( iptc != nullptr )
         try
         {
            ReadIPTC( tif, info );
         }
         catch ( const qor::IPTCPhotoInfo::Exception& x )
         {
            // The photo information is a caption of the image, not the image: the image still opens.
            info.Clear();
            notes.push_back( "The IPTC photo information of this TIFF file is damaged and was left out (" +
                             x.ErrorText() + "):\n" + path );
         }

      const int32_t colorSpace = photometric == PHOTOMETRIC_RGB ? qor::ColorSpace::RGB : qor::ColorSpace::Gray;
      image.Allocate( int32_t( width ), int32_t( height ), samples, colorSpace );
      const bool planeWise = planar || samples == 1;
      image.BeginTask( "Loading TIFF: " + Describe( bits, isFloat, samples, int32_t( width ), int32_t( height ), planar ),
                       planeWise ? int64_t( samples ) * height : int64_t( height ) );
      const std::vector<SampleRange> ranges = ReadPixels( h, path, image, layout, bits, isFloat, planar );
      h.Close();
      if ( isFloat )
         Normalize( image, ranges );
      if ( photometric == PHOTOMETRIC_MINISWHITE )
         image.Invert( 1u );

      if ( options != nullptr )
         *options = std::move( readOptions );
      if ( iccProfile != nullptr )
         *iccProfile = std::move( profile );
      if ( iptc != nullptr )
         *iptc = std::move( info );
      if ( warnings != nullptr )
         warnings->insert( warnings->end(), notes.begin(), notes.end() );
   }
   catch ( ... )
   {
      image.FreeData();
      throw;
   }
}

void WriteTIFF( const qor::Image& image, const std::string& path, const TIFFOptions* options,
                const std::vector<uint8_t>* iccProfile, const qor::IPTCPhotoInfo* iptc )
{
   TIFFHandle h( path, "w" );
   TIFF* tif = h.File();
   if ( tif == nullptr )
      throw TIFFUnableToCreateFile( path, h.FirstError() );

   const int32_t w = image.Width();
   const int32_t height = image.Height();
   const int32_t channels = image.NumberOfChannels();
   const bool isFloat = options != nullptr && options->floatingPoint;
   int32_t bits = options != nullptr ? options->bitsPerSample : 8;
   if ( isFloat )
      bits = 32;
   else if ( bits != 16 && bits != 32 )
      bits = 8;
   const bool planar = channels > 1 && options != nullptr && options->planar;
   const int32_t compression = options != nullptr ? options->compression : 0;

   TIFFSetField( tif, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB );
   TIFFSetField( tif, TIFFTAG_ORIENTATION, ORIENTATION_TOPLEFT );
   TIFFSetField( tif, TIFFTAG_PHOTOMETRIC,
                 image.GetColorSpace() == qor::ColorSpace::RGB ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK );
   TIFFSetField( tif, TIFFTAG_PLANARCONFIG, planar ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG );
   TIFFSetField( tif, TIFFTAG_IMAGEWIDTH, uint32_t( w ) );
   TIFFSetField( tif, TIFFTAG_IMAGELENGTH, uint32_t( height ) );
   TIFFSetField( tif, TIFFTAG_BITSPERSAMPLE, uint16_t( bits ) );
   TIFFSetField( tif, TIFFTAG_SAMPLEFORMAT, isFloat ? SAMPLEFORMAT_IEEEFP : SAMPLEFORMAT_UINT );
   TIFFSetField( tif, TIFFTAG_SAMPLESPERPIXEL, uint16_t( channels ) );
   // The samples beyond the colour ones are alpha, and readers are told so rather than left to guess.
   const int32_t colorChannels = image.GetColorSpace() == qor::ColorSpace::RGB ? 3 : 1;
   if ( channels > colorChannels )
   {
      const std::vector<uint16_t> extra( size_t( channels - colorChannels ), EXTRASAMPLE_UNASSALPHA );
      TIFFSetField( tif, TIFFTAG_EXTRASAMPLES, uint16_t( extra.size() ), extra.data() );
   }
   TIFFSetField( tif, TIFFTAG_ROWSPERSTRIP, uint32_t( std::max<int64_t>( 1, 8192 / ( 4 * int64_t( std::max( w, 1 ) ) ) ) ) );
   if ( isFloat )
   {
      TIFFSetField( tif, TIFFTAG_SMINSAMPLEVALUE, 0.0 );
      TIFFSetField( tif, TIFFTAG_SMAXSAMPLEVALUE, 1.0 );
   }
   if ( options != nullptr )
   {
      if ( compression != 0 )
      {
         // A codec this libtiff lacks must not turn into an uncompressed file that claims otherwise.
         if ( TIFFSetField( tif, TIFFTAG_COMPRESSION, uint16_t( compression ) ) != 1 )
            throw TIFFFileWriteError( path, h.FirstError() );
         if ( bits < 32 )
            TIFFSetField( tif, TIFFTAG_PREDICTOR, PREDICTOR_HORIZONTAL );
      }
      if ( options->metricResolution )
         TIFFSetField( tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_CENTIMETER );
      if ( options->xResolution > 0 )
         TIFFSetField( tif, TIFFTAG_XRESOLUTION, options->xResolution );
      if ( options->yResolution > 0 )
         TIFFSetField( tif, TIFFTAG_YRESOLUTION, options->yResolution );
      if ( !options->software.empty() )
         TIFFSetField( tif, TIFFTAG_SOFTWARE, options->software.c_str() );
      if ( !options->description.empty() )
         TIFFSetField( tif, TIFFTAG_IMAGEDESCRIPTION, options->description.c_str() );
      if ( !options->copyright.empty() )
         TIFFSetField( tif, TIFFTAG_COPYRIGHT, options->copyright.c_str() );
   }
   if ( iccProfile != nullptr && iccProfile->size() >= 4 && ( options == nullptr || options->embedICCProfile ) )
   {
      // The size in the profile's header, never beyond the bytes held.
      const uint32_t size = qor::ReadBigEndianUInt32( iccProfile->data() );
      if ( size != 0 && size <= iccProfile->size() )
         TIFFSetField( tif, TIFFTAG_ICCPROFILE, size, iccProfile->data() );
   }
   if ( iptc != nullptr )
   {
      std::vector<uint8_t> block;
      if ( iptc->Encode( block ) > 0 )
      {
         // Whole 32-bit words: the zero bytes that pad the last one are skipped by IPTC readers.
         block.resize( ( block.size() + 3 ) / 4 * 4, 0 );
         const uint32_t count = uint32_t( IPTCCountsWords( tif ) ? block.size() / 4 : block.size() );
         TIFFSetField( tif, TIFFTAG_RICHTIFFIPTC, count, block.data() );
      }
   }

   const bool planeWise = planar || channels == 1;
   image.BeginTask( "Writing TIFF: " + Describe( bits, isFloat, channels, w, height, planar ) + ".",
                    planeWise ? int64_t( channels ) * height : int64_t( height ) );
   const int32_t interleaved = planeWise ? 1 : channels;
   std::vector<uint8_t> row( size_t( w ) * size_t( interleaved ) * size_t( bits / 8 ) );
   for ( int32_t p = 0; p < ( planeWise ? channels : 1 ); ++p )
      for ( int32_t y = 0; y < height; ++y )
      {
         if ( isFloat && interleaved == 3 )
            formats::FloatToFloat3( image.ScanLine( 0, y ), image.ScanLine( 1, y ), image.ScanLine( 2, y ),
                                    reinterpret_cast<float*>( row.data() ), w );
         else
            for ( int32_t c = 0; c < interleaved; ++c )
            {
               const float* in = image.ScanLine( p + c, y );
               if ( isFloat )
                  formats::FloatToFloat( in, reinterpret_cast<float*>( row.data() ) + c, interleaved, w );
               else if ( bits == 8 )
                  formats::FloatToUnsigned( in, row.data() + c, interleaved, w );
               else if ( bits == 16 )
                  formats::FloatToUnsigned( in, reinterpret_cast<uint16_t*>( row.data() ) + c, interleaved, w );
               else
                  formats::FloatToUnsigned( in, reinterpret_cast<uint32_t*>( row.data() ) + c, interleaved, w );
            }
         // libtiff answers 1 for a row written; a codec that could not write its output answers 0.
         errno = 0;
         if ( TIFFWriteScanline( tif, row.data(), uint32_t( y ), uint16_t( p ) ) != 1 )
            throw TIFFFileWriteError( path, h.FirstError() );
         if ( image.IsMonitored() )
            image.Status().Advance( 1 );
      }
   // A full disk shows when the last strips and the directory go out.
   errno = 0;
   if ( TIFFFlush( tif ) != 1 || !h.FlushWrites() )
      throw TIFFFileWriteError( path, h.FirstError() );
}
