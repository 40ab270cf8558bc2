#include "formats/GzipFITS.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <utility>
#include <vector>

#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "formats/FITSException.h"
#include "platform/SystemMemory.h"

namespace
{

constexpr int64_t Block = 2880;
constexpr int64_t Card = 80;
constexpr uint64_t Unbounded = std::numeric_limits<uint64_t>::max();

// a * b, or Unbounded when the product does not fit.
uint64_t Times( uint64_t a, uint64_t b )
{
   uint64_t p;
   return __builtin_mul_overflow( a, b, &p ) ? Unbounded : p;
}

uint64_t Plus( uint64_t a, uint64_t b )
{
   uint64_t s;
   return __builtin_add_overflow( a, b, &s ) ? Unbounded : s;
}

uint64_t Padded( uint64_t n )
{
   return n > Unbounded - Block ? Unbounded : ( n + Block - 1 ) / Block * Block;
}

// The gzip stream of a file, unpacked on demand.
class GzipStream
{
public:
   GzipStream( int fd, const std::string& path, const qor::Image& monitor )
      : fd( fd ), path( path ), monitor( monitor ), input( 1 << 18 )
   {
      if ( inflateInit2( &z, 16 + MAX_WBITS ) != Z_OK )
         throw std::bad_alloc();
   }
   ~GzipStream() { inflateEnd( &z ); }
   GzipStream( const GzipStream& ) = delete;
   GzipStream& operator=( const GzipStream& ) = delete;

   // Unpacks up to n bytes; fewer only where the stream ends.
   int64_t Read( uint8_t* out, int64_t n )
   {
      z.next_out = out;
      z.avail_out = uInt( n );
      while ( z.avail_out > 0 && !ended )
      {
         if ( z.avail_in == 0 && !Fill() )
            throw FITSCompressedFileTruncated( path );
         const int result = inflate( &z, Z_NO_FLUSH );
         if ( result == Z_STREAM_END )
         {
            // Another member may follow; anything else after the last one is ignored, as gzip does.
            if ( z.avail_in < 2 )
               Fill();
            if ( z.avail_in >= 2 && z.next_in[0] == 0x1F && z.next_in[1] == 0x8B )
               inflateReset( &z );
            else
               ended = true;
         }
         else if ( result == Z_MEM_ERROR )
            throw std::bad_alloc();
         else if ( result != Z_OK && !( result == Z_BUF_ERROR && z.avail_in == 0 ) )
            throw FITSCompressedFileDamaged( path );
      }
      return n - int64_t( z.avail_out );
   }

private:
   // Reads more compressed bytes after those not yet taken; false at the end of the file.
   bool Fill()
   {
      const size_t kept = z.avail_in;
      if ( kept > 0 )
         std::memmove( input.data(), z.next_in, kept );
      ssize_t got;
      do
         got = ::read( fd, input.data() + kept, input.size() - kept );
      while ( got < 0 && errno == EINTR );
      if ( got < 0 )
         throw FITSFileReadError( path, 0, errno );
      z.next_in = input.data();
      z.avail_in = uInt( kept + size_t( got ) );
      if ( monitor.IsMonitored() )
         monitor.Status().Advance( got );
      monitor.ThrowIfAborted();
      return got > 0;
   }

   int fd;
   const std::string& path;
   const qor::Image& monitor;
   std::vector<Bytef> input;
   z_stream z = {};
   bool ended = false;
};

// The anonymous file the FITS file is unpacked into.
class MemoryFile
{
public:
   explicit MemoryFile( const std::string& path ) : path( path )
   {
      fd = ::memfd_create( "lumenforge-fits", MFD_CLOEXEC );
      if ( fd < 0 )
         throw FITSFileReadError( path, 0, errno );
   }
   ~MemoryFile()
   {
      if ( fd >= 0 )
         ::close( fd );
   }
   MemoryFile( const MemoryFile& ) = delete;
   MemoryFile& operator=( const MemoryFile& ) = delete;

   // The bytes written so far.
   uint64_t Size() const { return size; }

   void Write( const uint8_t* p, int64_t n )
   {
      size += uint64_t( n );
      while ( n > 0 )
      {
         const ssize_t done = ::write( fd, p, size_t( n ) );
         if ( done < 0 && errno == EINTR )
            continue;
         if ( done <= 0 )
            throw FITSFileReadError( path, 0, done < 0 ? errno : ENOSPC );
         p += done;
         n -= done;
      }
   }

   int Release()
   {
      if ( ::lseek( fd, 0, SEEK_SET ) != 0 )
         throw FITSFileReadError( path, 0, errno );
      return std::exchange( fd, -1 );
   }

private:
   const std::string& path;
   int fd = -1;
   uint64_t size = 0;
};

// What a header says about its HDU.
struct HDUHeader
{
   uint64_t dataBytes = 0; // the data unit, without its padding
   uint64_t imageBytes = 0; // a primary 2- or 3-axis image as floats
};

std::string Trimmed( const std::string& s )
{
   const size_t b = s.find_first_not_of( ' ' );
   return b == std::string::npos ? std::string() : s.substr( b, s.find_last_not_of( ' ' ) - b + 1 );
}

// The cards of a header, by name (the first card of each name).
class Cards
{
public:
   explicit Cards( const std::string& path ) : path( path ) {}

   void Add( const char* card )
   {
      const std::string name = Trimmed( std::string( card, 8 ) );
      if ( std::memcmp( card + 8, "= ", 2 ) != 0 || name.empty() )
         return;
      std::string value( card + 10, Card - 10 );
      if ( const size_t slash = value.find( '/' ); slash != std::string::npos && value.find( '\'' ) == std::string::npos )
         value.resize( slash );
      values.emplace_back( name, Trimmed( value ) );
   }

   std::optional<std::string> Value( const std::string& name ) const
   {
      for ( const auto& [n, v] : values )
         if ( n == name )
            return v;
      return std::nullopt;
   }

   // An integer keyword within [lo, hi]; the default when it is missing and a default is given.
   int64_t Integer( const std::string& name, int64_t lo, int64_t hi, std::optional<int64_t> otherwise = {} ) const
   {
      const std::optional<std::string> v = Value( name );
      if ( !v )
      {
         if ( otherwise )
            return *otherwise;
         throw FITSCompressedInvalidHeader( path );
      }
      const std::string& text = *v;
      size_t i = !text.empty() && ( text[0] == '-' || text[0] == '+' ) ? 1 : 0;
      const bool negative = i == 1 && text[0] == '-';
      if ( i == text.size() || text.size() - i > 18 )
         throw FITSCompressedInvalidHeader( path );
      int64_t n = 0;
      for ( ; i < text.size(); ++i )
      {
         if ( text[i] < '0' || text[i] > '9' )
            throw FITSCompressedInvalidHeader( path );
         n = n * 10 + ( text[i] - '0' );
      }
      n = negative ? -n : n;
      if ( n < lo || n > hi )
         throw FITSCompressedInvalidHeader( path );
      return n;
   }

private:
   const std::string& path;
   std::vector<std::pair<std::string, std::string>> values;
};

// The header whose first block is in `block` (unpacked, not yet written): writes it, unpacks and writes the rest of
// it up to its END card, and works out the size of its data unit.
HDUHeader ReadHeader( GzipStream& stream, MemoryFile& out, std::vector<uint8_t>& block, bool primary,
                      const std::string& path )
{
   Cards cards( path );
   const char* const key = primary ? "SIMPLE  " : "XTENSION";
   if ( std::memcmp( block.data(), key, 8 ) != 0 )
      throw FITSCompressedInvalidHeader( path );
   for ( int64_t blocks = 1;; ++blocks )
   {
      out.Write( block.data(), Block );
      bool end = false;
      for ( int64_t c = 0; c < Block / Card && !end; ++c )
      {
         const char* card = reinterpret_cast<const char*>( block.data() ) + c * Card;
         end = std::memcmp( card, "END     ", 8 ) == 0;
         cards.Add( card );
      }
      if ( end )
         break;
      if ( blocks == MaxGzipFITSHeaderBlocks )
         throw FITSCompressedInvalidHeader( path );
      if ( stream.Read( block.data(), Block ) != Block )
         throw FITSCompressedFileTruncated( path );
   }

   const int64_t bitpix = cards.Integer( "BITPIX", -64, 64 );
   if ( bitpix != 8 && bitpix != 16 && bitpix != 32 && bitpix != 64 && bitpix != -32 && bitpix != -64 )
      throw FITSCompressedInvalidHeader( path );
   const int64_t naxis = cards.Integer( "NAXIS", 0, 999 );
   std::vector<uint64_t> axes;
   for ( int64_t i = 1; i <= naxis; ++i )
      axes.push_back( uint64_t( cards.Integer( "NAXIS" + std::to_string( i ), 0, std::numeric_limits<int64_t>::max() ) ) );
   // Random groups, in a primary HDU only, leave the first axis out; an extension states its parameters and groups.
   const bool groups = primary && naxis > 0 && axes[0] == 0 && cards.Value( "GROUPS" ) == std::string( "T" );
   const bool counted = !primary || groups;
   const uint64_t pcount = counted ? uint64_t( cards.Integer( "PCOUNT", 0, std::numeric_limits<int64_t>::max(), 0 ) ) : 0;
   const uint64_t gcount = counted ? uint64_t( cards.Integer( "GCOUNT", 0, std::numeric_limits<int64_t>::max(), 1 ) ) : 1;

   uint64_t elements = naxis == 0 ? 0 : 1;
   for ( size_t i = groups ? 1 : 0; i < axes.size(); ++i )
      elements = Times( elements, axes[i] );
   HDUHeader header;
   header.dataBytes = Times( Times( uint64_t( std::abs( bitpix ) / 8 ), gcount ), Plus( pcount, elements ) );
   if ( primary && ( naxis == 2 || naxis == 3 ) )
      header.imageBytes = Times( elements, sizeof( float ) );
   return header;
}

} // namespace

bool IsGzipStream( const unsigned char* head, int64_t n )
{
   return n >= 2 && head[0] == 0x1F && head[1] == 0x8B;
}

int UnpackGzipFITS( int compressed, const std::string& path, const qor::Image& monitor )
{
   struct stat info = {};
   if ( ::fstat( compressed, &info ) != 0 || ::lseek( compressed, 0, SEEK_SET ) != 0 )
      throw FITSFileReadError( path, 0, errno );
   monitor.BeginTask( "Unpacking compressed FITS file", int64_t( info.st_size ) );

   GzipStream stream( compressed, path, monitor );
   MemoryFile out( path );
   const std::optional<uint64_t> available = platform::AvailableMemory();
   std::vector<uint8_t> buffer( size_t( 1 ) << 20 );
   std::vector<uint8_t> block( Block );
   uint64_t imageBytes = 0;

   if ( stream.Read( block.data(), Block ) != Block )
      throw FITSCompressedInvalidHeader( path );
   for ( bool primary = true;; primary = false )
   {
      const HDUHeader header = ReadHeader( stream, out, block, primary, path );
      if ( primary )
         imageBytes = header.imageBytes;
      // Everything unpacked stays in memory, and the image will need its floats besides.
      const uint64_t data = Padded( header.dataBytes );
      const uint64_t needed = Plus( Plus( out.Size(), data ), imageBytes );
      if ( needed == Unbounded || ( available && needed > *available ) )
         throw FITSNotEnoughMemory( path, needed, available.value_or( 0 ) );

      for ( uint64_t done = 0; done < data; )
      {
         const int64_t n = int64_t( std::min<uint64_t>( data - done, buffer.size() ) );
         const int64_t got = stream.Read( buffer.data(), n );
         if ( got < n )
         {
            // The stream has ended: only the padding of the last data unit may be missing, and it is zeros.
            if ( done + uint64_t( got ) < header.dataBytes )
               throw FITSCompressedFileTruncated( path );
            out.Write( buffer.data(), got );
            const std::vector<uint8_t> zeros( size_t( data - done - uint64_t( got ) ), 0 );
            out.Write( zeros.data(), int64_t( zeros.size() ) );
            break;
         }
         out.Write( buffer.data(), got );
         done += uint64_t( got );
      }

      // The stream ends here, or an extension follows; anything else is more than the headers announce.
      const int64_t next = stream.Read( block.data(), Block );
      if ( next == 0 )
         break;
      if ( next < Block || std::memcmp( block.data(), "XTENSION", 8 ) != 0 )
         throw FITSCompressedSurplus( path );
   }
   return out.Release();
}
