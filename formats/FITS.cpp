#include "formats/FITS.h"

#include <fitsio.h>

#include <algorithm>
#include <bit>
#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <map>
#include <mutex>
#include <optional>
#include <regex>
#include <type_traits>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "classlib/File.h"
#include "classlib/FileReplacement.h"
#include "classlib/Parallel.h"
#include "formats/GzipFITS.h"
#include "support/Utils.h"

// CFITSIO's registration of an I/O driver, declared by its fitsio2.h, which is not ready for C++.
extern "C" int fits_register_driver( char* prefix, int ( *init )(), int ( *shutdown )(), int ( *setOptions )( int ),
                                     int ( *getOptions )( int* ), int ( *getVersion )( int* ),
                                     int ( *checkFile )( char*, char*, char* ), int ( *open )( char*, int, int* ),
                                     int ( *create )( char*, int* ), int ( *truncate )( int, LONGLONG ),
                                     int ( *close )( int ), int ( *remove )( char* ), int ( *size )( int, LONGLONG* ),
                                     int ( *flush )( int ), int ( *seek )( int, LONGLONG ),
                                     int ( *read )( int, void*, long ), int ( *write )( int, void*, long ) );

namespace
{

// Rows of one channel handed to or taken from CFITSIO in one call: about this many samples. Large enough that the
// library's per-call cost vanishes, small enough that the conversion buffer stays in cache.
constexpr int64_t ChunkSamples = 1 << 20;

// Largest extension the reader takes (an ICC profile or an IPTC block).
constexpr int64_t MaxExtensionBytes = 256 << 20;

// -----------------------------------------------------------------------------------------------------------------
// Errors

template <typename E> [[noreturn]] void Raise( const std::string& path, int status = 0, int systemError = 0 )
{
   throw E( path, status, systemError );
}

template <typename E> void Check( const std::string& path, int status )
{
   if ( status != 0 )
      Raise<E>( path, status );
}

// -----------------------------------------------------------------------------------------------------------------
// Texts

std::string Upper( std::string text )
{
   for ( char& c : text )
      c = char( std::toupper( static_cast<unsigned char>( c ) ) );
   return text;
}

bool IsPrintableASCII( const std::string& text )
{
   return std::all_of( text.begin(), text.end(), []( char c ) { return c >= 0x20 && c <= 0x7E; } );
}

// The text with every byte outside printable ASCII replaced by '?': a header card holds nothing else.
std::string PrintableText( std::string text )
{
   for ( char& c : text )
      if ( c < 0x20 || c > 0x7E )
         c = '?';
   return text;
}

// Whether a string can stand as the value of the keyword: the standard keywords that hold a number, an integer or
// a logical value take no string, and the date keywords only a date (fitsverify holds files to both).
bool TakesStringValue( const std::string& upperName, const std::string& text )
{
   static const std::regex typed( "DATAMAX|DATAMIN|EQUINOX[A-Z]?|EPOCH|MJD-(OBS|AVG|BEG|END)|MJDREF|RESTFRQ[A-Z]?|"
                                  "RESTFREQ|RESTWAV[A-Z]?|LONPOLE[A-Z]?|LATPOLE[A-Z]?|(CRPIX|CRVAL|CDELT|CROTA)[0-9]+"
                                  "[A-Z]?|(PC|CD|PV)[0-9]+_[0-9]+[A-Z]?|EXTVER|EXTLEVEL|WCSAXES[A-Z]?|BLANK|SIMPLE|"
                                  "EXTEND|GROUPS|BLOCKED|INHERIT" );
   static const std::regex dated( "DATE|DATE-(OBS|BEG|END|AVG)|DATEREF" );
   static const std::regex date( "[0-9]{4}-[0-9]{2}-[0-9]{2}(T[0-9]{2}:[0-9]{2}:[0-9]{2}(\\.[0-9]+)?)?|"
                                 "[0-9]{2}/[0-9]{2}/[0-9]{2}" );
   if ( std::regex_match( upperName, typed ) )
      return false;
   return !std::regex_match( upperName, dated ) || std::regex_match( text, date );
}

bool IsStandardKeywordName( const std::string& upperName )
{
   return !upperName.empty() && upperName.size() <= 8 &&
          std::all_of( upperName.begin(), upperName.end(),
                       []( char c )
                       { return ( c >= 'A' && c <= 'Z' ) || ( c >= '0' && c <= '9' ) || c == '-' || c == '_'; } );
}

// Longest name of a HIERARCH card: "HIERARCH " + name + " = " + at least one value character in 80 columns.
constexpr size_t MaxHierarchName = 80 - 9 - 3 - 1;

bool IsHierarchKeywordName( const std::string& name )
{
   return !name.empty() && name.size() <= MaxHierarchName && IsPrintableASCII( name ) &&
          name.find( '=' ) == std::string::npos && name.front() != ' ' && name.back() != ' ';
}

// Digits from position i on; returns the number of them.
size_t SkipDigits( const std::string& s, size_t& i )
{
   size_t start = i;
   while ( i < s.size() && s[i] >= '0' && s[i] <= '9' )
      ++i;
   return i - start;
}

// A FITS integer or real number occupying s[i, end): [+-] digits [. digits] [E|D [+-] digits].
bool IsFITSNumber( const std::string& s, size_t i, size_t end )
{
   std::string t = s.substr( i, end - i );
   size_t k = 0;
   if ( k < t.size() && ( t[k] == '+' || t[k] == '-' ) )
      ++k;
   size_t digits = SkipDigits( t, k );
   if ( k < t.size() && t[k] == '.' )
   {
      ++k;
      digits += SkipDigits( t, k );
   }
   if ( digits == 0 )
      return false;
   if ( k < t.size() && ( t[k] == 'E' || t[k] == 'D' || t[k] == 'e' || t[k] == 'd' ) )
   {
      ++k;
      if ( k < t.size() && ( t[k] == '+' || t[k] == '-' ) )
         ++k;
      if ( SkipDigits( t, k ) == 0 )
         return false;
   }
   return k == t.size();
}

std::string TrimBlanks( const std::string& text )
{
   size_t b = text.find_first_not_of( ' ' );
   if ( b == std::string::npos )
      return std::string();
   size_t e = text.find_last_not_of( ' ' );
   return text.substr( b, e - b + 1 );
}

// A number as FITS writes it, in the C locale: 'D' exponents are read as 'E'.
bool ParseFITSNumber( const std::string& text, double& value )
{
   std::string t = TrimBlanks( text );
   if ( !IsFITSNumber( t, 0, t.size() ) )
      return false;
   std::replace( t.begin(), t.end(), 'D', 'E' );
   std::replace( t.begin(), t.end(), 'd', 'E' );
   char* end = nullptr;
   value = std::strtod( t.c_str(), &end );
   return end != t.c_str() && std::isfinite( value );
}

// -----------------------------------------------------------------------------------------------------------------
// Byte order

// Samples of 4 or 8 bytes into the big-endian order of FITS, in place. The swap is its own inverse, so it also takes
// stored samples into the machine's order.
// Compiled for AVX2 as well, where the byte swaps of a whole vector are one shuffle.
#if defined( __GNUC__ ) && !defined( __clang__ ) && defined( __x86_64__ ) && !defined( __SANITIZE_ADDRESS__ )
#define LF_FITS_KERNEL __attribute__( ( target_clones( "arch=x86-64-v3", "default" ) ) )
#else
#define LF_FITS_KERNEL
#endif

LF_FITS_KERNEL void ToBigEndian( uint8_t* data, int64_t n, size_t size )
{
   if constexpr ( std::endian::native == std::endian::big )
      return;
   if ( size == 1 )
      return;
   if ( size == 2 )
      for ( int64_t i = 0; i < n; ++i )
      {
         uint16_t v;
         std::memcpy( &v, data + 2 * i, 2 );
         v = __builtin_bswap16( v );
         std::memcpy( data + 2 * i, &v, 2 );
      }
   else if ( size == 4 )
      for ( int64_t i = 0; i < n; ++i )
      {
         uint32_t v;
         std::memcpy( &v, data + 4 * i, 4 );
         v = __builtin_bswap32( v );
         std::memcpy( data + 4 * i, &v, 4 );
      }
   else
      for ( int64_t i = 0; i < n; ++i )
      {
         uint64_t v;
         std::memcpy( &v, data + 8 * i, 8 );
         v = __builtin_bswap64( v );
         std::memcpy( data + 8 * i, &v, 8 );
      }
}

// -----------------------------------------------------------------------------------------------------------------
// Files handed to CFITSIO by descriptor
//
// CFITSIO reaches every file through a driver of ours, over a descriptor the program opened itself ("lffd://<n>"),
// never by its name: CFITSIO's own disk driver opens another file than the one named (x.fits.gz for a missing
// x.fits), unpacks a compressed file whole into memory before anything can be checked, blocks on a pipe, and
// reports a failed write without the system's reason. The driver reads and writes at the position CFITSIO last
// sought, straight to the descriptor (no buffering of its own), and keeps the error of the last system call that
// failed, so that the exception raised afterwards can say what went wrong.

constexpr const char* DescriptorPrefix = "lffd://";

struct DescriptorState
{
   int64_t position = 0;
   int error = 0; // errno of the last system call that failed
};

std::mutex descriptorsMutex;
std::map<int, DescriptorState> descriptors; // those CFITSIO may use, by descriptor

// Runs f on the state of a registered descriptor; FILE_NOT_OPENED for any other.
template <typename F> int WithDescriptor( int fd, F f )
{
   std::lock_guard<std::mutex> lock( descriptorsMutex );
   auto i = descriptors.find( fd );
   return i == descriptors.end() ? FILE_NOT_OPENED : f( i->second );
}

int DriverNothing()
{
   return 0;
}

int DriverFlush( int )
{
   return 0;
}

int DriverSetOptions( int )
{
   return 0;
}

int DriverOptions( int* options )
{
   *options = 0;
   return 0;
}

int DriverVersion( int* version )
{
   *version = 1;
   return 0;
}

// The name is the URL without its prefix: nothing to look for, nothing to unpack.
int DriverCheckFile( char*, char*, char* )
{
   return 0;
}

int DriverOpen( char* name, int, int* handle )
{
   char* end = nullptr;
   const long fd = std::strtol( name, &end, 10 );
   if ( end == name || *end != '\0' || fd < 0 || fd > std::numeric_limits<int>::max() )
      return FILE_NOT_OPENED;
   *handle = int( fd );
   return WithDescriptor( *handle,
                          []( DescriptorState& state )
                          {
                             state.position = 0;
                             return 0;
                          } );
}

int DriverCreate( char* name, int* handle )
{
   return DriverOpen( name, READWRITE, handle ) == 0 ? 0 : FILE_NOT_CREATED;
}

// The descriptor stays open: the program closes what it opened.
int DriverClose( int )
{
   return 0;
}

// The program removes its own files.
int DriverRemove( char* )
{
   return 0;
}

int DriverSize( int handle, LONGLONG* size )
{
   return WithDescriptor( handle,
                          [&]( DescriptorState& state )
                          {
                             struct stat info = {};
                             if ( ::fstat( handle, &info ) != 0 )
                             {
                                state.error = errno;
                                return SEEK_ERROR;
                             }
                             *size = info.st_size;
                             return 0;
                          } );
}

int DriverSeek( int handle, LONGLONG offset )
{
   return WithDescriptor( handle,
                          [&]( DescriptorState& state )
                          {
                             state.position = offset;
                             return 0;
                          } );
}

int DriverTruncate( int handle, LONGLONG size )
{
   return WithDescriptor( handle,
                          [&]( DescriptorState& state )
                          {
                             if ( ::ftruncate( handle, off_t( size ) ) != 0 )
                             {
                                state.error = errno;
                                return WRITE_ERROR;
                             }
                             return 0;
                          } );
}

// Moves n bytes between the buffer and the file at the state's position with op (pread or pwrite); false when the
// file ends first or the system refuses (its error kept).
template <typename Byte, typename Op> bool Transfer( int fd, DescriptorState& state, Byte* p, long n, Op op )
{
   while ( n > 0 )
   {
      const ssize_t done = op( fd, p, size_t( n ), off_t( state.position ) );
      if ( done < 0 && errno == EINTR )
         continue;
      if ( done <= 0 )
      {
         if ( done < 0 )
            state.error = errno;
         return false;
      }
      p += done;
      n -= long( done );
      state.position += done;
   }
   return true;
}

int DriverRead( int handle, void* buffer, long n )
{
   return WithDescriptor(
       handle, [&]( DescriptorState& state )
       { return Transfer( handle, state, static_cast<char*>( buffer ), n, ::pread ) ? 0 : READ_ERROR; } );
}

// Writes n bytes at the state's position; false with the system's error kept when they do not all go.
bool WriteAt( int fd, DescriptorState& state, const void* buffer, long n )
{
   if ( Transfer( fd, state, static_cast<const char*>( buffer ), n, ::pwrite ) )
      return true;
   if ( state.error == 0 )
      state.error = ENOSPC; // a write that makes no progress: the device is full
   return false;
}

int DriverWrite( int handle, void* buffer, long n )
{
   return WithDescriptor( handle, [&]( DescriptorState& state )
                          { return WriteAt( handle, state, buffer, n ) ? 0 : WRITE_ERROR; } );
}

bool RegisterDescriptorDriver()
{
   // CFITSIO sets up its own drivers first; registering before would be undone.
   return fits_init_cfitsio() == 0 &&
          fits_register_driver( const_cast<char*>( DescriptorPrefix ), &DriverNothing, &DriverNothing,
                                &DriverSetOptions, &DriverOptions, &DriverVersion, &DriverCheckFile, &DriverOpen,
                                &DriverCreate, &DriverTruncate, &DriverClose, &DriverRemove, &DriverSize, &DriverFlush,
                                &DriverSeek, &DriverRead, &DriverWrite ) == 0;
}

// A descriptor of the program's own, closed on destruction.
class Descriptor
{
public:
   Descriptor() = default;
   Descriptor( const Descriptor& ) = delete;
   Descriptor& operator=( const Descriptor& ) = delete;
   ~Descriptor() { Reset( -1 ); }

   void Reset( int fd )
   {
      if ( descriptor >= 0 )
         ::close( descriptor );
      descriptor = fd;
   }
   int Get() const { return descriptor; }

private:
   int descriptor = -1;
};

// A descriptor CFITSIO may use while the object lives, under the name Url().
class DescriptorChannel
{
public:
   DescriptorChannel() = default;
   DescriptorChannel( const DescriptorChannel& ) = delete;
   DescriptorChannel& operator=( const DescriptorChannel& ) = delete;
   ~DescriptorChannel() { Detach(); }

   void Attach( int fd )
   {
      static const bool registered = RegisterDescriptorDriver();
      (void)registered; // without the driver no open succeeds, and the caller says so
      Detach();
      std::lock_guard<std::mutex> lock( descriptorsMutex );
      descriptors[fd] = DescriptorState();
      descriptor = fd;
   }

   void Detach()
   {
      if ( descriptor < 0 )
         return;
      std::lock_guard<std::mutex> lock( descriptorsMutex );
      descriptors.erase( std::exchange( descriptor, -1 ) );
   }

   std::string Url() const { return DescriptorPrefix + std::to_string( descriptor ); }

   // errno of the last system call on the descriptor that failed (0: none).
   int SystemError() const
   {
      std::lock_guard<std::mutex> lock( descriptorsMutex );
      auto i = descriptors.find( descriptor );
      return i == descriptors.end() ? 0 : i->second.error;
   }

private:
   int descriptor = -1;
};

// Whether the first bytes of a file are those of a compressed stream that CFITSIO would unpack: gzip, compress,
// pack, LZH, bzip2 or zip.
bool IsCompressed( const unsigned char* head, ssize_t n )
{
   if ( n >= 2 && head[0] == 0x1F && ( head[1] == 0x8B || head[1] == 0x9D || head[1] == 0x1E || head[1] == 0xA0 ) )
      return true;
   return ( n >= 3 && std::memcmp( head, "BZh", 3 ) == 0 ) || ( n >= 4 && std::memcmp( head, "PK\x03\x04", 4 ) == 0 );
}

// -----------------------------------------------------------------------------------------------------------------
// The open file

// A CFITSIO file closed on destruction.
class FitsFile
{
public:
   FitsFile() = default;
   FitsFile( const FitsFile& ) = delete;
   FitsFile& operator=( const FitsFile& ) = delete;
   ~FitsFile() { Close(); }

   // Closes the file; returns CFITSIO's status of the close (0 when nothing was open).
   int Close()
   {
      int status = 0;
      if ( file != nullptr )
         ffclos( file, &status );
      file = nullptr;
      return status;
   }

   // Lets go of the file as it stands on disk, without completing its current HDU: CFITSIO neither pads nor
   // fills a data unit the program writes itself. Every buffer must have been flushed before.
   void Abandon()
   {
      // A close with a pending status skips closing out the HDU.
      int status = NO_CLOSE_ERROR;
      if ( file != nullptr )
         ffclos( file, &status );
      file = nullptr;
   }

   fitsfile* file = nullptr;
};

// The primary data unit, read straight from the file with pread() on any thread: CFITSIO reads through one shared
// record buffer, so it can neither fill the image in large blocks nor on several workers.
class RawDataUnit
{
public:
   // Takes the data unit's place in the file behind the descriptor, which stays the caller's.
   void Open( fitsfile* file, int descriptor, const std::string& path )
   {
      int status = 0;
      LONGLONG headStart = 0, dataStart = 0, dataEnd = 0;
      struct stat info = {};
      if ( ffghadll( file, &headStart, &dataStart, &dataEnd, &status ) != 0 || ::fstat( descriptor, &info ) != 0 )
         Raise<FITSFileReadError>( path, status );
      fd = descriptor;
      begin = dataStart;
      end = dataEnd;
      size = info.st_size;
   }

   // Whether the file holds the whole data unit, padding included: CFITSIO reads its last record whole.
   bool IsComplete() const { return size >= end; }

   // n samples of `bytes` bytes each from sample `first` of the data unit on, in the machine's byte order. Raises
   // FITSFileReadError when the file ends before them.
   void Read( const std::string& path, int64_t first, int64_t n, size_t bytes, void* out ) const
   {
      auto* p = static_cast<char*>( out );
      int64_t offset = begin + first * int64_t( bytes );
      for ( size_t length = size_t( n ) * bytes; length > 0; )
      {
         ssize_t done = ::pread( fd, p, length, off_t( offset ) );
         if ( done < 0 && errno == EINTR )
            continue;
         if ( done <= 0 )
            Raise<FITSFileReadError>( path, 0, done < 0 ? errno : 0 );
         p += done;
         offset += done;
         length -= size_t( done );
      }
      ToBigEndian( static_cast<uint8_t*>( out ), n, bytes );
   }

private:
   int fd = -1;       // the file's, not closed here
   int64_t begin = 0; // offsets in the file: the data unit and the end of its last record
   int64_t end = 0;
   int64_t size = 0;
};

// What the reader knows of the file while it reads it.
struct FITSFileContext
{
   std::string path;
   Descriptor file;           // the file named, opened by the program
   DescriptorChannel channel; // the same for CFITSIO
   FitsFile fits;
   int bitpix = 0;           // BITPIX as stored
   int equivalentBitpix = 0; // BITPIX as CFITSIO reports it with BSCALE/BZERO folded in
   int naxis = 0;
   int64_t naxes[3] = { 0, 0, 0 };
   bool color = false;
   double bscale = 1;
   double bzero = 0;
   RawDataUnit raw; // where floating-point data are read past CFITSIO

   int32_t Width() const { return int32_t( naxes[0] ); }
   int32_t Height() const { return int32_t( naxes[1] ); }
   int32_t Channels() const { return naxis == 2 ? 1 : int32_t( naxes[2] ); }
};

// Opens the file named, and no other, for CFITSIO. Something that is not a plain file is refused before a byte of it
// is read (a pipe opens without waiting for a writer). A gzip-compressed file is unpacked into memory as far as its
// headers announce (formats/GzipFITS.h), and CFITSIO reads the unpacked file; another compressed one is refused
// before anything of it is unpacked.
void OpenFITSFile( FITSFileContext& ctx, const qor::Image& monitor )
{
   int fd;
   do
      fd = ::open( ctx.path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK );
   while ( fd < 0 && errno == EINTR );
   if ( fd < 0 )
      Raise<FITSUnableToOpenFile>( ctx.path, FILE_NOT_OPENED, errno );
   ctx.file.Reset( fd );
   struct stat info = {};
   if ( ::fstat( fd, &info ) != 0 || !S_ISREG( info.st_mode ) )
      Raise<FITSNotARegularFile>( ctx.path );
   unsigned char head[4] = {};
   const ssize_t headBytes = ::pread( fd, head, sizeof head, 0 );
   if ( IsGzipStream( head, headBytes ) )
   {
      const int unpacked = UnpackGzipFITS( fd, ctx.path, monitor );
      ctx.file.Reset( unpacked );
      fd = unpacked;
   }
   else if ( IsCompressed( head, headBytes ) )
      Raise<FITSCompressedFile>( ctx.path );
   ctx.channel.Attach( fd );
   int status = 0;
   if ( ffopen( &ctx.fits.file, ctx.channel.Url().c_str(), READONLY, &status ) != 0 )
   {
      ctx.fits.file = nullptr;
      Raise<FITSUnableToOpenFile>( ctx.path, status );
   }
}

// Extensions looked through for an image when the primary HDU holds none.
constexpr int MaxExtensionsSearched = 1000;

// A file whose primary HDU holds no data (archives put the image in an extension, or tile-compress it into a table)
// is refused with what it holds instead.
[[noreturn]] void RefuseEmptyPrimaryHDU( FITSFileContext& ctx )
{
   fitsfile* f = ctx.fits.file;
   for ( int hdu = 2; hdu <= MaxExtensionsSearched + 1; ++hdu )
   {
      int status = 0, type = 0, naxis = 0;
      if ( ffmahd( f, hdu, &type, &status ) != 0 )
         break;
      if ( fits_is_compressed_image( f, &status ) != 0 && status == 0 )
         Raise<FITSTileCompressedImage>( ctx.path );
      if ( type == IMAGE_HDU && ffgidm( f, &naxis, &status ) == 0 && naxis > 0 )
         Raise<FITSImageInExtension>( ctx.path );
   }
   Raise<FITSNoImage>( ctx.path );
}

// Checks that the primary HDU is an image the program can hold and takes its geometry and sample type.
void CheckFITSPrimaryHDU( FITSFileContext& ctx )
{
   fitsfile* f = ctx.fits.file;
   int status = 0;
   int hduType = 0;
   Check<FITSFileReadError>( ctx.path, ffghdt( f, &hduType, &status ) );
   if ( hduType != IMAGE_HDU )
      Raise<FITSInvalidPrimaryHDUType>( ctx.path );
   Check<FITSFileReadError>( ctx.path, ffgidm( f, &ctx.naxis, &status ) );
   if ( ctx.naxis == 0 )
      RefuseEmptyPrimaryHDU( ctx );
   if ( ctx.naxis != 2 && ctx.naxis != 3 )
      Raise<FITSUnsupportedImageDimensions>( ctx.path );
   LONGLONG axes[3] = { 0, 0, 1 };
   Check<FITSFileReadError>( ctx.path, ffgiszll( f, 3, axes, &status ) );
   for ( int i = 0; i < 2; ++i )
      if ( axes[i] < 1 || axes[i] > MaxFITSImageSide )
         Raise<FITSInvalidImageSize>( ctx.path );
   if ( ctx.naxis == 3 && ( axes[2] < 1 || axes[2] > MaxFITSChannels ) )
      Raise<FITSUnsupportedImageDimensions>( ctx.path );
   for ( int i = 0; i < 3; ++i )
      ctx.naxes[i] = axes[i];
   Check<FITSFileReadError>( ctx.path, ffgidt( f, &ctx.bitpix, &status ) );
   Check<FITSFileReadError>( ctx.path, ffgiet( f, &ctx.equivalentBitpix, &status ) );
   ctx.color = ctx.naxis == 3 && ctx.naxes[2] >= 3;
}

// The sample format that an equivalent BITPIX stands for.
void SetSampleFormat( FITSOptions& options, int equivalentBitpix )
{
   struct Row
   {
      int bitpix;
      int32_t bits;
      bool isUnsigned;
      bool isFloat;
   };
   static const Row rows[] = { { BYTE_IMG, 8, true, false },       { SBYTE_IMG, 8, true, false },
                               { SHORT_IMG, 16, false, false },    { USHORT_IMG, 16, true, false },
                               { LONG_IMG, 32, false, false },     { ULONG_IMG, 32, true, false },
                               { LONGLONG_IMG, 64, false, false }, { ULONGLONG_IMG, 64, false, false },
                               { FLOAT_IMG, 32, false, true },     { DOUBLE_IMG, 64, false, true } };
   Row found = { 0, 16, true, false };
   for ( const Row& r : rows )
      if ( r.bitpix == equivalentBitpix )
         found = r;
   options.bitsPerSample = found.bits;
   options.unsignedSamples = found.isUnsigned;
   options.floatingPoint = found.isFloat;
}

// Every card of the current HDU, in order.
void ReadHeaderCards( fitsfile* file, const std::string& path, qor::IndirectList<FITSHeaderKeyword>& keywords )
{
   int status = 0;
   int count = 0;
   Check<FITSKeywordReadError>( path, ffghsp( file, &count, nullptr, &status ) );
   for ( int i = 1; i <= count; ++i )
   {
      char name[FLEN_KEYWORD] = {};
      char value[FLEN_VALUE] = {};
      char comment[FLEN_COMMENT] = {};
      Check<FITSKeywordReadError>( path, ffgkyn( file, i, name, value, comment, &status ) );
      keywords.Add( new FITSHeaderKeyword( name, value, comment ) );
   }
}

// A scaling keyword of the primary HDU: its value, or the default when the header has none.
double ReadScalingKeyword( FITSFileContext& ctx, const char* name, double defaultValue )
{
   int status = 0;
   double value = defaultValue;
   ffgky( ctx.fits.file, TDOUBLE, name, &value, nullptr, &status );
   if ( status == KEY_NO_EXIST )
      return defaultValue;
   Check<FITSKeywordReadError>( ctx.path, status );
   if ( !std::isfinite( value ) )
      Raise<FITSKeywordReadError>( ctx.path );
   return value;
}

// The header into the options: sample format, resolution and unit, every card; COLORSPC decides the colour flag.
void ReadFITSKeywords( FITSOptions& options, FITSFileContext& ctx )
{
   SetSampleFormat( options, ctx.equivalentBitpix );
   options.metricResolution = false;
   options.resolution = 72;
   options.ClearKeywords();
   ReadHeaderCards( ctx.fits.file, ctx.path, options.keywords );
   for ( const FITSHeaderKeyword* k : options.keywords )
   {
      std::string name = Upper( k->name );
      if ( name == "COLORSPC" )
         ctx.color = Upper( UnquoteFITSKeywordValue( *k ) ) == "RGB";
      else if ( name == "RESOLUTN" )
      {
         double r = 0;
         if ( ParseFITSNumber( k->value, r ) && r > 0 && r <= std::numeric_limits<float>::max() )
            options.resolution = float( r );
      }
      else if ( name == "RESOUNIT" )
      {
         std::string unit = Upper( UnquoteFITSKeywordValue( *k ) );
         options.metricResolution = unit == "CM" || unit == "CENTIMETER" || unit == "CENTIMETERS";
      }
   }
   // A colour image needs its three nominal planes.
   if ( ctx.Channels() < 3 )
      ctx.color = false;

   ctx.bscale = ReadScalingKeyword( ctx, "BSCALE", 1.0 );
   ctx.bzero = ReadScalingKeyword( ctx, "BZERO", 0.0 );
   if ( ctx.bscale == 0 )
      Raise<FITSKeywordReadError>( ctx.path );
   // From here on CFITSIO delivers the stored values; the program applies the scaling itself.
   int status = 0;
   Check<FITSFileReadError>( ctx.path, ffpscl( ctx.fits.file, 1.0, 0.0, &status ) );
}

// -----------------------------------------------------------------------------------------------------------------
// Reading samples

// Reads rows [y0, y0 + rows) of a channel as `datatype` into buffer.
void ReadRows( FITSFileContext& ctx, int datatype, int32_t channel, int64_t y0, int64_t rows, void* buffer )
{
   LONGLONG first[3] = { 1, LONGLONG( y0 + 1 ), LONGLONG( channel + 1 ) };
   int status = 0;
   ffgpxvll( ctx.fits.file, datatype, first, LONGLONG( rows * ctx.naxes[0] ), nullptr, buffer, nullptr, &status );
   Check<FITSFileReadError>( ctx.path, status );
}

// Refuses a file whose data end before the header says they do, before anything is allocated for them.
void CheckDataPresent( FITSFileContext& ctx )
{
   LONGLONG last[3] = { ctx.naxes[0], ctx.naxes[1], ctx.naxis == 3 ? ctx.naxes[2] : 1 };
   double value = 0;
   int status = 0;
   ffgpxvll( ctx.fits.file, TDOUBLE, last, 1, nullptr, &value, nullptr, &status );
   Check<FITSFileReadError>( ctx.path, status );
}

int64_t ChunkRows( int32_t width )
{
   return std::max<int64_t>( 1, ChunkSamples / width );
}

// The CFITSIO datatype of a stored integer type.
template <typename T> constexpr int IntegerDatatype()
{
   if constexpr ( std::is_same_v<T, uint8_t> )
      return TBYTE;
   else if constexpr ( std::is_same_v<T, int16_t> )
      return TSHORT;
   else if constexpr ( std::is_same_v<T, int32_t> )
      return TINT;
   else
      return TLONGLONG;
}

// Stored integers to [0, 1]: the smallest value of the type is 0, the largest 1 (reversed for a negative scale,
// which turns the physical order around). The physical range is an affine image of the stored one, so BSCALE and
// BZERO change nothing else.
template <typename T> void ConvertIntegerRows( const T* in, float* out, int64_t n, bool reversed )
{
   constexpr double lo = double( std::numeric_limits<T>::min() );
   constexpr double hi = double( std::numeric_limits<T>::max() );
   if constexpr ( sizeof( T ) <= 2 )
   {
      // Exact in float: the difference is an integer below 2^16 and the quotient is correctly rounded.
      constexpr float span = float( hi - lo );
      constexpr float flo = float( lo ), fhi = float( hi );
      if ( reversed )
         for ( int64_t i = 0; i < n; ++i )
            out[i] = ( fhi - float( in[i] ) ) / span;
      else
         for ( int64_t i = 0; i < n; ++i )
            out[i] = ( float( in[i] ) - flo ) / span;
   }
   else
   {
      constexpr double span = hi - lo;
      if ( reversed )
         for ( int64_t i = 0; i < n; ++i )
            out[i] = float( ( hi - double( in[i] ) ) / span );
      else
         for ( int64_t i = 0; i < n; ++i )
            out[i] = float( ( double( in[i] ) - lo ) / span );
   }
}

template <typename T> void ReadIntegerChannels( FITSFileContext& ctx, const qor::Image& monitor, qor::Image& result )
{
   const int32_t w = ctx.Width(), h = ctx.Height();
   const int64_t chunk = ChunkRows( w );
   std::vector<T> buffer( size_t( std::min<int64_t>( chunk, h ) * w ) );
   const bool reversed = ctx.bscale < 0;
   for ( int32_t c = 0; c < result.NumberOfChannels(); ++c )
      for ( int64_t y0 = 0; y0 < h; y0 += chunk )
      {
         int64_t rows = std::min<int64_t>( chunk, h - y0 );
         ReadRows( ctx, IntegerDatatype<T>(), c, y0, rows, buffer.data() );
         float* plane = result.ScanLine( c, int32_t( y0 ) );
         monitor.ParallelRows(
             rows, [&]( int64_t r0, int64_t r1 )
             { ConvertIntegerRows( buffer.data() + r0 * w, plane + r0 * w, ( r1 - r0 ) * w, reversed ); } );
      }
}

// Smallest and largest finite values of a row (NaN and infinities passed over; +inf/-inf when there is none), and
// whether the row holds a sample that is not finite. Two vectors of independent lanes, so that the comparisons and
// selections stay in vector registers.
template <typename F>
inline __attribute__( ( always_inline ) ) void FiniteRangeOf( const F* p, int64_t n, F& mn, F& mx, uint8_t& nonFinite )
{
   constexpr F inf = std::numeric_limits<F>::infinity();
   typedef F Vector __attribute__( ( vector_size( 32 ) ) );
   using Mask = decltype( Vector{} < Vector{} );
   constexpr int width = int( sizeof( Vector ) / sizeof( F ) );
   const Vector high = Vector{} + inf, low = Vector{} - inf;
   Vector a[2] = { high, high }, b[2] = { low, low };
   Mask other[2] = {};
   int64_t i = 0;
   for ( ; i + 2 * width <= n; i += 2 * width )
      for ( int k = 0; k < 2; ++k )
      {
         Vector v;
         std::memcpy( &v, p + i + k * width, sizeof( v ) );
         const Mask finite = ( v < high ) & ( v > low ); // false for NaN
         const Vector lo = finite ? v : high;
         const Vector hi = finite ? v : low;
         a[k] = lo < a[k] ? lo : a[k];
         b[k] = hi > b[k] ? hi : b[k];
         other[k] |= ~finite;
      }
   F lo = inf, hi = -inf;
   bool odd = false;
   for ( int k = 0; k < 2; ++k )
      for ( int j = 0; j < width; ++j )
      {
         lo = a[k][j] < lo ? a[k][j] : lo;
         hi = b[k][j] > hi ? b[k][j] : hi;
         odd = odd || other[k][j] != 0;
      }
   for ( ; i < n; ++i )
   {
      const F v = p[i];
      const bool finite = std::fabs( v ) < inf;
      lo = finite && v < lo ? v : lo;
      hi = finite && v > hi ? v : hi;
      odd = odd || !finite;
   }
   mn = lo;
   mx = hi;
   nonFinite = uint8_t( odd );
}

// The versions of the two sample types, compiled for AVX2 as well (comparisons and selections only: the same
// result in every version).
LF_FITS_KERNEL void FiniteRange( const float* p, int64_t n, float& mn, float& mx, uint8_t& nonFinite )
{
   FiniteRangeOf( p, n, mn, mx, nonFinite );
}

LF_FITS_KERNEL void FiniteRange( const double* p, int64_t n, double& mn, double& mx, uint8_t& nonFinite )
{
   FiniteRangeOf( p, n, mn, mx, nonFinite );
}

// The sample in [0, 1]: NaN becomes 0, infinities the end they point to.
inline float Clamp01( float s )
{
   float c = s > 0.0f ? s : 0.0f; // NaN becomes 0
   return c < 1.0f ? c : 1.0f;
}

// Physical values and the ranges made of them. Finite doubles scaled by a finite BSCALE and shifted by a finite BZERO
// can lie far beyond the largest double (and so can the width of their range); the extended type holds every such
// value and width, so nothing overflows before the mapping's coefficients, which are back within double's range.
using Physical = long double;

// How floating-point samples of one channel go to [0, 1]: s = (raw * scale + zero - offset) / span.
struct FloatMapping
{
   Physical offset = 0;
   Physical span = 1;
};

// The physical range [lo, hi] of stored values in [rawMin, rawMax], or an empty one (lo > hi) when there is none.
void PhysicalRange( const FITSFileContext& ctx, double rawMin, double rawMax, Physical& lo, Physical& hi )
{
   if ( !( rawMin <= rawMax ) )
   {
      lo = std::numeric_limits<Physical>::infinity();
      hi = -lo;
      return;
   }
   Physical a = Physical( rawMin ) * ctx.bscale + ctx.bzero;
   Physical b = Physical( rawMax ) * ctx.bscale + ctx.bzero;
   lo = std::min( a, b );
   hi = std::max( a, b );
}

// The mappings of every channel from the physical range of each: [0, 1] widened to take in the samples, one range
// shared by the nominal channels, one of its own for each alpha channel.
std::vector<FloatMapping> FloatMappings( const std::vector<Physical>& lo, const std::vector<Physical>& hi,
                                         int32_t nominal )
{
   auto widen = []( Physical l, Physical h )
   {
      FloatMapping m;
      if ( l < m.offset )
         m.offset = l;
      if ( h - m.offset > m.span )
         m.span = h - m.offset;
      return m;
   };
   std::vector<FloatMapping> mappings( lo.size() );
   Physical nl = std::numeric_limits<Physical>::infinity(), nh = -nl;
   for ( int32_t c = 0; c < nominal; ++c )
   {
      nl = std::min( nl, lo[c] );
      nh = std::max( nh, hi[c] );
   }
   for ( size_t c = 0; c < lo.size(); ++c )
      mappings[c] = int32_t( c ) < nominal ? widen( nl, nh ) : widen( lo[c], hi[c] );
   return mappings;
}

// Rows of a strip handled in one go on the direct path: about this many samples, so that the block is swapped, ranged
// or mapped while it is still in cache after its read.
constexpr int64_t RawBlockSamples = 1 << 16;

// Floating-point data. The stored values' range decides the mapping, so there are two passes: the first reads and
// finds the range of every row, the second maps. 32-bit data are read straight into the planes and mapped there
// (not at all when they lie in [0, 1]); 64-bit data are read again for the second pass, so the mapping works on the
// stored doubles without a double-precision copy of the whole image. The workers read their own rows from the file,
// past CFITSIO.
template <typename F> void ReadFloatChannels( FITSFileContext& ctx, const qor::Image& monitor, qor::Image& result )
{
   constexpr bool inPlace = std::is_same_v<F, float>;
   const int32_t w = ctx.Width(), h = ctx.Height(), n = result.NumberOfChannels();
   const int64_t block = std::max<int64_t>( 1, RawBlockSamples / w );
   // Runs body(values, y0, rows) over every row of channel c, on blocks of the stored values in the machine's order.
   auto directly = [&]( int32_t c, const std::function<void( const F*, int64_t, int64_t )>& body, int64_t unitsPerRow )
   {
      monitor.ParallelRows(
          h,
          [&]( int64_t r0, int64_t r1 )
          {
             std::vector<F> local( inPlace ? 0 : size_t( std::min( block, r1 - r0 ) * w ) );
             for ( int64_t y0 = r0; y0 < r1; y0 += block )
             {
                const int64_t rows = std::min( block, r1 - y0 );
                F* values = local.data();
                if constexpr ( inPlace )
                   values = result.ScanLine( c, int32_t( y0 ) );
                ctx.raw.Read( ctx.path, ( int64_t( c ) * h + y0 ) * w, rows * w, sizeof( F ), values );
                body( values, y0, rows );
             }
          },
          unitsPerRow );
   };

   std::vector<F> rowMin( size_t( int64_t( h ) * n ) ), rowMax( rowMin.size() );
   std::vector<uint8_t> rowNonFinite( rowMin.size() );
   for ( int32_t c = 0; c < n; ++c )
   {
      const size_t base = size_t( int64_t( c ) * h );
      directly(
          c,
          [&]( const F* values, int64_t y0, int64_t rows )
          {
             for ( int64_t r = 0; r < rows; ++r )
                FiniteRange( values + r * w, w, rowMin[base + y0 + r], rowMax[base + y0 + r],
                             rowNonFinite[base + y0 + r] );
          },
          1 );
   }

   std::vector<Physical> lo( n ), hi( n );
   std::vector<bool> nonFinite( n );
   for ( int32_t c = 0; c < n; ++c )
   {
      auto first = int64_t( c ) * h, last = first + h;
      nonFinite[c] =
          std::find( rowNonFinite.begin() + first, rowNonFinite.begin() + last, 1 ) != rowNonFinite.begin() + last;
      F mn = *std::min_element( rowMin.begin() + first, rowMin.begin() + last );
      F mx = *std::max_element( rowMax.begin() + first, rowMax.begin() + last );
      PhysicalRange( ctx, mn, mx, lo[c], hi[c] );
   }
   const std::vector<FloatMapping> mappings = FloatMappings( lo, hi, result.NumberOfNominalChannels() );

   monitor.BeginTask( "Normalizing pixel values", result.NumberOfPixels() * n );
   for ( int32_t c = 0; c < n; ++c )
   {
      const FloatMapping& m = mappings[c];
      if ( inPlace && ctx.bscale == 1 && ctx.bzero == 0 && m.offset == 0 && m.span == 1 && !nonFinite[c] )
      {
         // Already in [0, 1].
         if ( monitor.IsMonitored() )
            monitor.Status().Advance( result.NumberOfPixels() );
         monitor.ThrowIfAborted();
         continue;
      }
      const double a = double( ctx.bscale / m.span );
      const double b = double( ( ctx.bzero - m.offset ) / m.span );
      // NaN and the infinities end in [0, 1] too: NaN at 0, each infinity at its end of the range.
      auto map = [&]( const F* values, float* plane, int64_t samples )
      {
         for ( int64_t i = 0; i < samples; ++i )
            plane[i] = Clamp01( float( double( values[i] ) * a + b ) );
      };
      if constexpr ( inPlace )
      {
         float* plane = result.ScanLine( c, 0 );
         monitor.ParallelRows(
             h, [&]( int64_t r0, int64_t r1 ) { map( plane + r0 * w, plane + r0 * w, ( r1 - r0 ) * w ); }, w );
      }
      else
         directly(
             c,
             [&]( const F* values, int64_t y0, int64_t rows )
             { map( values, result.ScanLine( c, int32_t( y0 ) ), rows * w ); },
             w );
   }
}

// -----------------------------------------------------------------------------------------------------------------
// Extensions

// Moves to the first image extension of one of the names; false when there is none (no error is left behind).
bool FindImageExtension( FITSFileContext& ctx, std::initializer_list<const char*> names )
{
   for ( const char* name : names )
   {
      int status = 0;
      if ( ffmnhd( ctx.fits.file, IMAGE_HDU, const_cast<char*>( name ), 0, &status ) == 0 )
         return true;
   }
   return false;
}

// The bytes of the current extension, which must be an 8-bit one-axis image of at least `minimum` bytes.
template <typename Invalid> std::vector<uint8_t> ReadExtensionBytes( FITSFileContext& ctx, int64_t minimum )
{
   int status = 0;
   int bitpix = 0, naxis = 0;
   LONGLONG length = 0;
   Check<FITSFileReadError>( ctx.path, ffgiprll( ctx.fits.file, 1, &bitpix, &naxis, &length, &status ) );
   if ( bitpix != BYTE_IMG || naxis != 1 || length < std::max<int64_t>( 1, minimum ) || length > MaxExtensionBytes )
      Raise<Invalid>( ctx.path );
   Check<FITSFileReadError>( ctx.path, ffpscl( ctx.fits.file, 1.0, 0.0, &status ) );
   // The last byte first: a header that promises more than the file holds allocates nothing.
   LONGLONG last = length;
   uint8_t probe = 0;
   Check<FITSFileReadError>( ctx.path, ffgpxvll( ctx.fits.file, TBYTE, &last, 1, nullptr, &probe, nullptr, &status ) );
   std::vector<uint8_t> bytes( static_cast<size_t>( length ) );
   LONGLONG first = 1;
   Check<FITSFileReadError>(
       ctx.path, ffgpxvll( ctx.fits.file, TBYTE, &first, length, nullptr, bytes.data(), nullptr, &status ) );
   return bytes;
}

uint32_t BigEndianUInt32( const uint8_t* p )
{
   return ( uint32_t( p[0] ) << 24 ) | ( uint32_t( p[1] ) << 16 ) | ( uint32_t( p[2] ) << 8 ) | uint32_t( p[3] );
}

// The embedded profile, or null. A profile whose own header claims more bytes than the extension holds is refused.
std::unique_ptr<std::vector<uint8_t>> ReadFITSICCProfile( FITSFileContext& ctx )
{
   if ( !FindImageExtension( ctx, { "ICCProfile", "ICC_PROFILE" } ) )
      return nullptr;
   auto bytes = std::make_unique<std::vector<uint8_t>>( ReadExtensionBytes<FITSInvalidICCProfileHDU>( ctx, 4 ) );
   if ( BigEndianUInt32( bytes->data() ) > bytes->size() )
      Raise<FITSInvalidICCProfileHDU>( ctx.path );
   return bytes;
}

// The IPTC information of the file (empty when it has none).
void ReadFITSIPTCPhotoInfo( qor::IPTCPhotoInfo& iptc, FITSFileContext& ctx )
{
   iptc.Clear();
   if ( !FindImageExtension( ctx, { "IPTCPhotoInfo", "IPTC_PHOTO_INFO" } ) )
      return;
   std::vector<uint8_t> block = ReadExtensionBytes<FITSInvalidIPTCPhotoInfoHDU>( ctx, 1 );
   if ( block.size() > size_t( qor::IPTCPhotoInfo::MaxBlockSize ) )
      Raise<FITSInvalidIPTCPhotoInfoHDU>( ctx.path );
   try
   {
      iptc.Decode( block.data(), int64_t( block.size() ) );
   }
   catch ( const qor::IPTCPhotoInfo::Exception& )
   {
      Raise<FITSInvalidIPTCPhotoInfoHDU>( ctx.path );
   }
}

std::string DescribeData( int32_t channels, int32_t width, int32_t height )
{
   char text[96];
   std::snprintf( text, sizeof( text ), "%d channel(s), %dx%d pixels.", channels, width, height );
   return text;
}

// -----------------------------------------------------------------------------------------------------------------
// Writing

// How the samples are stored.
struct WriteFormat
{
   int bitpix;   // for ffcrim: 8, 20, 16, 40, 32, -32, -64, 64
   int datatype; // of the buffer handed to CFITSIO
   size_t size;  // bytes per sample in the buffer
};

WriteFormat FormatFor( const FITSOptions* options )
{
   if ( options == nullptr )
      return { USHORT_IMG, TUSHORT, 2 };
   switch ( options->bitsPerSample )
   {
   case 8:
      return { BYTE_IMG, TBYTE, 1 };
   case 16:
      return options->unsignedSamples ? WriteFormat{ USHORT_IMG, TUSHORT, 2 } : WriteFormat{ SHORT_IMG, TSHORT, 2 };
   case 32:
      if ( options->floatingPoint )
         return { FLOAT_IMG, TFLOAT, 4 };
      return options->unsignedSamples ? WriteFormat{ ULONG_IMG, TUINT, 4 } : WriteFormat{ LONG_IMG, TINT, 4 };
   case 64:
      return options->floatingPoint ? WriteFormat{ DOUBLE_IMG, TDOUBLE, 8 } : WriteFormat{ LONGLONG_IMG, TLONGLONG, 8 };
   default:
      return { USHORT_IMG, TUSHORT, 2 };
   }
}

// Nearest integral value, ties to even, of 0 <= x < 2^52 (the current rounding mode is round-to-nearest).
inline double RoundHalfEven( double x )
{
   constexpr double magic = 4503599627370496.0; // 2^52
   return ( x + magic ) - magic;
}

// Converts samples to the stored type of the format: clamped, scaled, rounded, offset.
void ConvertForWrite( const float* in, void* out, int64_t n, int datatype )
{
   switch ( datatype )
   {
   case TBYTE:
   {
      auto* o = static_cast<uint8_t*>( out );
      for ( int64_t i = 0; i < n; ++i )
         o[i] = uint8_t( RoundHalfEven( double( Clamp01( in[i] ) ) * 255.0 ) );
      break;
   }
   case TUSHORT:
   {
      auto* o = static_cast<uint16_t*>( out );
      for ( int64_t i = 0; i < n; ++i )
         o[i] = uint16_t( int32_t( RoundHalfEven( double( Clamp01( in[i] ) ) * 65535.0 ) ) );
      break;
   }
   case TSHORT:
   {
      auto* o = static_cast<int16_t*>( out );
      for ( int64_t i = 0; i < n; ++i )
         o[i] = int16_t( int32_t( RoundHalfEven( double( Clamp01( in[i] ) ) * 65535.0 ) ) - 32768 );
      break;
   }
   case TUINT:
   {
      // s * (2^32 - 1) needs 56 bits: exact in extended precision.
      auto* o = static_cast<uint32_t*>( out );
      for ( int64_t i = 0; i < n; ++i )
         o[i] = uint32_t( std::nearbyint( (long double)Clamp01( in[i] ) * 4294967295.0L ) );
      break;
   }
   case TINT:
   {
      auto* o = static_cast<int32_t*>( out );
      for ( int64_t i = 0; i < n; ++i )
         o[i] = int32_t( int64_t( std::nearbyint( (long double)Clamp01( in[i] ) * 4294967295.0L ) ) - 2147483648LL );
      break;
   }
   case TLONGLONG:
   {
      // 1.0 becomes 2^64 - 1 before the offset of -2^63: the largest signed value, never a wrapped one.
      auto* o = static_cast<int64_t*>( out );
      for ( int64_t i = 0; i < n; ++i )
      {
         auto u = uint64_t( std::nearbyint( (long double)Clamp01( in[i] ) * 18446744073709551615.0L ) );
         o[i] = int64_t( u ^ 0x8000000000000000ULL );
      }
      break;
   }
   case TFLOAT:
   {
      auto* o = static_cast<float*>( out );
      for ( int64_t i = 0; i < n; ++i )
         o[i] = Clamp01( in[i] );
      break;
   }
   case TDOUBLE:
   {
      auto* o = static_cast<double*>( out );
      for ( int64_t i = 0; i < n; ++i )
         o[i] = double( Clamp01( in[i] ) );
      break;
   }
   }
}

// Names the writer never copies from the keyword list: the structure of the HDU, the keywords it writes itself,
// and those whose values would be wrong for the new data (BLANK, the checksums).
bool SkippedOnWrite( const std::string& upperName )
{
   static const char* const names[] = { "SIMPLE",   "BITPIX",   "EXTEND",   "LUMFORGE", "BSCALE",   "BZERO", "COLORSPC",
                                        "ALPHACHN", "RESOLUTN", "RESOUNIT", "ICCPROFL", "IPTCINFO", "END",   "XTENSION",
                                        "PCOUNT",   "GCOUNT",   "BLANK",    "CHECKSUM", "DATASUM" };
   for ( const char* n : names )
      if ( upperName == n )
         return true;
   if ( upperName.compare( 0, 5, "NAXIS" ) == 0 )
      return std::all_of( upperName.begin() + 5, upperName.end(), []( char c ) { return c >= '0' && c <= '9'; } );
   return false;
}

// The value as it goes into the card: exponent letters in upper case, the rest as it was.
std::string CardValue( const std::string& value )
{
   if ( value.empty() || value.front() == '\'' )
      return value;
   std::string v = value;
   for ( char& c : v )
      if ( c == 'e' || c == 'd' )
         c = char( std::toupper( static_cast<unsigned char>( c ) ) );
   return v;
}

// A valued card as CFITSIO lays it out (numbers right-aligned in column 30, comment after " / "); empty when the
// name and value do not fit into one card.
std::string MakeCard( const std::string& name, const FITSHeaderKeyword& k )
{
   std::string value = CardValue( k.value );
   size_t used = ( name.size() <= 8 ? 10 : name.size() + 3 ) + value.size();
   if ( used > 80 || name.size() > FLEN_KEYWORD - 1 )
      return std::string();
   char card[FLEN_CARD] = {};
   int status = 0;
   ffmkky( name.c_str(), const_cast<char*>( value.c_str() ), k.comment.c_str(), card, &status );
   if ( status != 0 )
   {
      ffcmsg(); // a keyword CFITSIO cannot lay out is left out, not a failed save
      return std::string();
   }
   return card;
}

class FITSWriter
{
public:
   FITSWriter( const qor::Image& image, const std::string& path, FITSOptions* options,
               const std::vector<uint8_t>* iccProfile, const qor::IPTCPhotoInfo* iptc,
               std::vector<std::string>* leftOut )
       : image( image ), path( path ), options( options ), format( FormatFor( options ) ), leftOut( leftOut )
   {
      if ( iccProfile != nullptr && iccProfile->size() >= 4 && ( options == nullptr || options->embedICCProfile ) )
      {
         // A profile that claims more bytes than it holds is damaged: it is not embedded.
         size_t declared = BigEndianUInt32( iccProfile->data() );
         if ( declared != 0 && declared <= iccProfile->size() )
         {
            profile = iccProfile->data();
            profileLength = declared;
         }
      }
      if ( iptc != nullptr && iptc->Count() > 0 )
      {
         iptcItems = iptc->Count();
         try
         {
            iptc->Encode( iptcBlock );
         }
         catch ( const qor::Exception& )
         {
            Raise<FITSFileWriteError>( path );
         }
      }
   }

   // Replaces the file at the path (replace true) or writes into the plain file there.
   void Write( bool replace )
   {
      if ( image.IsEmpty() )
         Raise<FITSUnableToCreatePrimaryHDU>( path );
      try
      {
         Open( replace );
         WritePrimary();
         if ( profile != nullptr )
            WriteExtension( profile, profileLength, "ICCProfile" );
         if ( !iptcBlock.empty() )
            WriteExtension( iptcBlock.data(), iptcBlock.size(), "IPTCPhotoInfo" );
         Check<FITSFileWriteError>( path, fits.Close() );
         if ( replacement.has_value() )
            replacement->Commit();
      }
      catch ( const FITSException& x )
      {
         fits.Close();
         // CFITSIO may come upon a write the system refused only in a later call (one that reads the header, say):
         // that write is the failure, with the system's reason.
         if ( const int error = channel.SystemError(); error != 0 && x.SystemError() == 0 )
            Raise<FITSFileWriteError>( path, x.Status(), error );
         throw;
      }
      catch ( const qor::File::Exception& x )
      {
         Raise<FITSFileWriteError>( path, 0, x.SystemError() );
      }
      if ( options != nullptr )
         std::swap( options->keywords, written.keywords );
   }

private:
   // The file to write, empty and handed to CFITSIO: a new temporary file that is to replace the path, or the file at
   // the path itself.
   void Open( bool replace )
   {
      int fd = -1;
      if ( replace )
      {
         try
         {
            fd = replacement.emplace( path ).Handle();
         }
         catch ( const qor::File::Exception& )
         {
            Raise<FITSUnableToCreateFile>( path );
         }
      }
      else
      {
         output.Reset( ::open( path.c_str(), O_RDWR | O_NOFOLLOW | O_CLOEXEC ) );
         fd = output.Get();
         struct stat info = {};
         if ( fd < 0 || ::fstat( fd, &info ) != 0 || !S_ISREG( info.st_mode ) || ::ftruncate( fd, 0 ) != 0 )
            Raise<FITSUnableToCreateFile>( path );
      }
      channel.Attach( fd );
      int status = 0;
      if ( ffinit( &fits.file, channel.Url().c_str(), &status ) != 0 )
      {
         fits.file = nullptr;
         Raise<FITSUnableToCreateFile>( path, status );
      }
   }

   // The descriptor of the file written.
   int Output() const { return replacement.has_value() ? replacement->Handle() : output.Get(); }

   void WritePrimary()
   {
      const int32_t channels = image.NumberOfChannels();
      LONGLONG axes[3] = { image.Width(), image.Height(), channels };
      int status = 0;
      Check<FITSUnableToCreatePrimaryHDU>( path,
                                           ffcrimll( fits.file, format.bitpix, channels == 1 ? 2 : 3, axes, &status ) );
      if ( options != nullptr )
      {
         WriteFixedKeywords();
         WriteUserKeywords();
      }
      if ( options != nullptr )
         ReadBack();
      WriteDataUnit();
   }

   void WriteFixedKeywords()
   {
      int status = 0;
      fitsfile* f = fits.file;
      std::string title = ProgramTitle();
      ffpkys( f, "LUMFORGE", title.c_str(), "Corvanta Lumenforge signature", &status );
      if ( options->floatingPoint && ( options->bitsPerSample == 32 || options->bitsPerSample == 64 ) )
      {
         ffukye( f, "BSCALE", 1.0f, -1, "Maximum normalized floating-point sample value", &status );
         ffukye( f, "BZERO", 0.0f, -1, "Minimum normalized floating-point sample value", &status );
      }
      ffpkys( f, "COLORSPC", image.IsColor() ? "RGB" : "Grayscale", "Color space for this image", &status );
      if ( image.NumberOfAlphaChannels() > 0 )
         ffpkye( f, "ALPHACHN", float( image.NumberOfAlphaChannels() ), -6, "File includes alpha channels", &status );
      ffpkye( f, "RESOLUTN", options->resolution, -6, "Resolution in pixels per resolution unit", &status );
      ffpkys( f, "RESOUNIT", options->metricResolution ? "cm" : "inch", "Resolution unit", &status );
      if ( profile != nullptr )
         ffpkye( f, "ICCPROFL", float( profileLength ), -6, "File includes ICC Profile extension", &status );
      if ( iptcItems > 0 )
         ffpkye( f, "IPTCINFO", float( iptcItems ), -6, "File includes IPTC PhotoInfo extension", &status );
      Check<FITSKeywordWriteError>( path, status );
   }

   // The user's keywords, in list order. A keyword identical to a card the header already holds (one not yet
   // matched by an earlier keyword) is not written again, so the cards CFITSIO puts into every new header do not
   // pile up from one save to the next.
   void WriteUserKeywords()
   {
      FITSOptions present;
      ReadHeaderCards( fits.file, path, present.keywords );
      std::vector<const FITSHeaderKeyword*> unmatched( present.keywords.begin(), present.keywords.end() );

      for ( const FITSHeaderKeyword* k : options->keywords )
      {
         if ( k->name.empty() )
            continue;
         std::string upper = Upper( k->name );
         if ( SkippedOnWrite( upper ) )
            continue;
         auto same = std::find_if( unmatched.begin(), unmatched.end(),
                                   [k]( const FITSHeaderKeyword* card ) { return card != nullptr && *card == *k; } );
         if ( same != unmatched.end() )
         {
            *same = nullptr;
            continue;
         }
         WriteKeyword( *k, upper );
      }
   }

   // A card of a file made by another program may stand outside strict FITS and still have been read: an unquoted
   // date, NaN, a Latin-1 byte in a comment. Such a file must save again, so nothing here refuses a keyword: a
   // byte outside printable ASCII becomes '?', a value that is no FITS value is stored as a string, and only a
   // keyword that no card can hold (a name FITS cannot take, a value too long for one card, a standard keyword whose
   // value must be a number or a date and is neither) is left out.
   void WriteKeyword( const FITSHeaderKeyword& k, const std::string& upper )
   {
      int status = 0;
      if ( upper == "COMMENT" || upper == "HISTORY" )
      {
         std::string text = PrintableText( k.value.empty() ? k.comment : k.value + "// " + k.comment );
         if ( upper == "COMMENT" )
            ffpcom( fits.file, text.c_str(), &status );
         else
            ffphis( fits.file, text.c_str(), &status );
         Check<FITSKeywordWriteError>( path, status );
         return;
      }
      if ( !IsValidFITSKeywordName( k.name ) )
         return LeaveOut( k );
      FITSHeaderKeyword stored( k.name, PrintableText( k.value ), PrintableText( k.comment ) );
      if ( !IsValidFITSKeywordValue( stored.value ) )
      {
         if ( !TakesStringValue( upper, stored.value ) )
            return LeaveOut( k );
         stored.value = QuotedFITSString( stored.value );
      }
      std::string card;
      if ( IsStandardKeywordName( upper ) )
      {
         std::string name = upper;
         name.resize( 8, ' ' );
         if ( stored.value.empty() )
            // A keyword without a value is stored as a commentary card: name, blanks, its comment.
            card = name + "  " + stored.comment;
         else
            card = MakeCard( upper, stored );
      }
      else
         card = MakeCard( "HIERARCH " + k.name, stored );
      if ( card.empty() )
         return LeaveOut( k );
      if ( card.size() > 80 )
         card.resize( 80 );
      ffprec( fits.file, card.c_str(), &status );
      Check<FITSKeywordWriteError>( path, status );
   }

   void LeaveOut( const FITSHeaderKeyword& k )
   {
      if ( leftOut != nullptr )
         leftOut->push_back( k.name );
   }

   // The data unit is written here, in large blocks made ready on all workers, rather than through CFITSIO's record
   // buffers: the header is CFITSIO's, flushed before the file is let go; the data and their zero padding to the
   // 2880-byte block follow at the offset CFITSIO gives; the extensions are appended through CFITSIO after the file
   // is opened again. The bytes are those CFITSIO would have written: the unsigned formats are stored as the signed
   // values their BZERO (set by CFITSIO with the format) shifts, in the standard's byte order.
   void WriteDataUnit()
   {
      // The type of the values stored for the type of the samples handed over.
      const int stored = format.datatype == TUSHORT ? TSHORT : format.datatype == TUINT ? TINT : format.datatype;
      int status = 0;
      LONGLONG headStart = 0, dataStart = 0, dataEnd = 0;
      ffrdef( fits.file, &status );
      ffflsh( fits.file, TRUE, &status );
      ffghadll( fits.file, &headStart, &dataStart, &dataEnd, &status );
      Check<FITSFileWriteError>( path, status );
      fits.Abandon();

      auto put = [&]( const void* data, size_t length, int64_t offset )
      {
         DescriptorState at;
         at.position = offset;
         if ( !WriteAt( Output(), at, data, long( length ) ) )
            Raise<FITSFileWriteError>( path, 0, at.error );
      };

      const int32_t w = image.Width(), h = image.Height(), channels = image.NumberOfChannels();
      const size_t rowBytes = size_t( w ) * format.size;
      image.BeginTask( "Writing FITS file: " + DescribeData( channels, w, h ), int64_t( channels ) * h );
      // The workers make a block of rows ready, then one write takes it: writes to one file do not run side by side.
      const int64_t chunk = ChunkRows( w );
      std::vector<uint8_t> buffer( size_t( std::min<int64_t>( chunk, h ) ) * rowBytes );
      for ( int32_t c = 0; c < channels; ++c )
         for ( int64_t y0 = 0; y0 < h; y0 += chunk )
         {
            const int64_t rows = std::min<int64_t>( chunk, h - y0 );
            const float* plane = image.ScanLine( c, int32_t( y0 ) );
            image.ParallelRows( rows,
                                [&]( int64_t r0, int64_t r1 )
                                {
                                   uint8_t* out = buffer.data() + size_t( r0 ) * rowBytes;
                                   ConvertForWrite( plane + r0 * w, out, ( r1 - r0 ) * w, stored );
                                   ToBigEndian( out, ( r1 - r0 ) * w, format.size );
                                } );
            put( buffer.data(), size_t( rows ) * rowBytes,
                 dataStart + ( int64_t( c ) * h + y0 ) * int64_t( rowBytes ) );
         }
      const int64_t end = dataStart + int64_t( channels ) * h * int64_t( rowBytes );
      const std::vector<char> padding( size_t( ( 2880 - end % 2880 ) % 2880 ), '\0' );
      put( padding.data(), padding.size(), end );

      if ( profile != nullptr || !iptcBlock.empty() )
      {
         if ( ffopen( &fits.file, channel.Url().c_str(), READWRITE, &status ) != 0 )
         {
            fits.file = nullptr;
            Raise<FITSFileWriteError>( path, status );
         }
      }
   }

   void ReadBack() { ReadHeaderCards( fits.file, path, written.keywords ); }

   void WriteExtension( const uint8_t* data, size_t length, const char* name )
   {
      int status = 0;
      LONGLONG axis = LONGLONG( length );
      std::string title = ProgramTitle();
      ffcrimll( fits.file, BYTE_IMG, 1, &axis, &status );
      ffpkys( fits.file, "EXTNAME", name, title.c_str(), &status );
      LONGLONG first = 1;
      ffppxll( fits.file, TBYTE, &first, axis, const_cast<uint8_t*>( data ), &status );
      Check<FITSFileWriteError>( path, status );
   }

   const qor::Image& image;
   const std::string& path;
   FITSOptions* options;
   WriteFormat format;
   std::vector<std::string>* leftOut; // names of the keywords no card can hold (nullptr: not wanted)
   const uint8_t* profile = nullptr;
   size_t profileLength = 0;
   int32_t iptcItems = 0;
   std::vector<uint8_t> iptcBlock;
   std::optional<qor::FileReplacement> replacement; // the file written when it is to replace the path
   Descriptor output;                               // the file written when it is the path's
   DescriptorChannel channel;                       // the file written, for CFITSIO
   FitsFile fits;
   FITSOptions written; // the header as written, handed to the options at the end
};

} // namespace

// ---------------------------------------------------------------------------------------------------------------

void ReadFITS( qor::Image& image, const std::string& path, FITSOptions& options,
               std::unique_ptr<std::vector<uint8_t>>& iccProfile, qor::IPTCPhotoInfo* iptc )
{
   FITSFileContext ctx;
   ctx.path = path;
   OpenFITSFile( ctx, image );
   CheckFITSPrimaryHDU( ctx );
   FITSOptions read;
   ReadFITSKeywords( read, ctx );
   if ( ctx.bitpix == FLOAT_IMG || ctx.bitpix == DOUBLE_IMG )
   {
      ctx.raw.Open( ctx.fits.file, ctx.file.Get(), path );
      // The same refusal as CFITSIO's, which reads the last record of the data unit whole.
      if ( !ctx.raw.IsComplete() )
         Raise<FITSFileReadError>( path );
   }
   else
      CheckDataPresent( ctx );

   const int32_t w = ctx.Width(), h = ctx.Height(), channels = ctx.Channels();
   qor::Image result;
   result.Allocate( w, h, channels, ctx.color ? qor::ColorSpace::RGB : qor::ColorSpace::Gray );
   image.BeginTask( "Loading FITS file: " + DescribeData( channels, w, h ), int64_t( channels ) * h );
   switch ( ctx.bitpix )
   {
   case BYTE_IMG:
      ReadIntegerChannels<uint8_t>( ctx, image, result );
      break;
   case SHORT_IMG:
      ReadIntegerChannels<int16_t>( ctx, image, result );
      break;
   case LONG_IMG:
      ReadIntegerChannels<int32_t>( ctx, image, result );
      break;
   case LONGLONG_IMG:
      ReadIntegerChannels<int64_t>( ctx, image, result );
      break;
   case FLOAT_IMG:
      ReadFloatChannels<float>( ctx, image, result );
      break;
   case DOUBLE_IMG:
      ReadFloatChannels<double>( ctx, image, result );
      break;
   default:
      Raise<FITSFileReadError>( path );
   }
   if ( ctx.bitpix > 0 )
   {
      // Integer samples were mapped while they were read.
      image.BeginTask( "Normalizing pixel values", result.NumberOfPixels() * channels );
      if ( image.IsMonitored() )
         image.Status().Advance( result.NumberOfPixels() * channels );
      image.ThrowIfAborted();
   }

   std::unique_ptr<std::vector<uint8_t>> profile = ReadFITSICCProfile( ctx );
   qor::IPTCPhotoInfo info;
   if ( iptc != nullptr )
      ReadFITSIPTCPhotoInfo( info, ctx );
   ctx.fits.Close();

   // Everything was read: hand it over.
   image.Transfer( result );
   options.bitsPerSample = read.bitsPerSample;
   options.unsignedSamples = read.unsignedSamples;
   options.floatingPoint = read.floatingPoint;
   options.metricResolution = read.metricResolution;
   options.resolution = read.resolution;
   std::swap( options.keywords, read.keywords );
   iccProfile = std::move( profile );
   if ( iptc != nullptr )
      *iptc = std::move( info );
}

void WriteFITS( const qor::Image& image, const std::string& path, FITSOptions* options,
                const std::vector<uint8_t>* iccProfile, const qor::IPTCPhotoInfo* iptc,
                std::vector<std::string>* leftOut )
{
   FITSWriter( image, path, options, iccProfile, iptc, leftOut ).Write( true );
}

void WriteFITSInto( const qor::Image& image, const std::string& path, FITSOptions* options,
                    const std::vector<uint8_t>* iccProfile, const qor::IPTCPhotoInfo* iptc,
                    std::vector<std::string>* leftOut )
{
   FITSWriter( image, path, options, iccProfile, iptc, leftOut ).Write( false );
}

bool IsReservedFITSKeyword( const std::string& name )
{
   static const char* const reserved[] = { "SIMPLE",   "BITPIX",   "NAXIS",    "NAXIS1",   "NAXIS2",   "NAXIS3",
                                           "NAXIS4",   "EXTEND",   "BSCALE",   "BZERO",    "LUMFORGE", "COLORSPC",
                                           "ALPHACHN", "RESOLUTN", "RESOUNIT", "ICCPROFL", "IPTCINFO" };
   std::string upper = Upper( name );
   return std::any_of( std::begin( reserved ), std::end( reserved ), [&]( const char* r ) { return upper == r; } );
}

bool IsValidFITSKeywordName( const std::string& name )
{
   return IsStandardKeywordName( Upper( name ) ) || IsHierarchKeywordName( name );
}

bool IsValidFITSKeywordValue( const std::string& value )
{
   if ( value.empty() || value == "T" || value == "F" )
      return true;
   if ( !IsPrintableASCII( value ) )
      return false;
   if ( value.front() == '\'' )
   {
      // A quoted string: a quote inside is written twice.
      if ( value.size() < 2 || value.back() != '\'' )
         return false;
      for ( size_t i = 1; i + 1 < value.size(); ++i )
         if ( value[i] == '\'' )
         {
            if ( i + 2 >= value.size() || value[i + 1] != '\'' )
               return false;
            ++i;
         }
      return true;
   }
   if ( value.front() == '(' )
   {
      size_t comma = value.find( ',' );
      if ( value.back() != ')' || comma == std::string::npos )
         return false;
      std::string re = TrimBlanks( value.substr( 1, comma - 1 ) );
      std::string im = TrimBlanks( value.substr( comma + 1, value.size() - comma - 2 ) );
      return IsFITSNumber( re, 0, re.size() ) && IsFITSNumber( im, 0, im.size() );
   }
   return IsFITSNumber( value, 0, value.size() );
}

std::string UnquoteFITSKeywordValue( const FITSHeaderKeyword& keyword )
{
   const std::string& v = keyword.value;
   if ( v.empty() || v.front() != '\'' )
      return v;
   std::string inner = v.substr( 1 );
   if ( !inner.empty() && inner.back() == '\'' )
      inner.pop_back();
   return FITSHeaderKeyword::Trimmed( inner );
}

const char* const FITSCardTooLongText = "Total length of FITS header card would exceed of 80 characters";

std::string FITSKeywordProblem( const FITSHeaderKeyword& k )
{
   const std::string upper = Upper( k.name );
   if ( k.name.empty() || k.name != upper || !IsStandardKeywordName( upper ) )
      return k.name + " is not a FITS keyword name: a name has one to eight characters, each an upper-case letter "
                      "A-Z, a digit, a hyphen or an underscore.";
   if ( SkippedOnWrite( upper ) )
      return k.name + " is written by the program itself according to the image and cannot be set.";
   if ( !IsPrintableASCII( k.value ) || !IsPrintableASCII( k.comment ) )
      return "A FITS header card holds only printable ASCII characters: the value or comment of " + k.name +
             " holds another.";
   if ( upper == "COMMENT" || upper == "HISTORY" )
   {
      if ( !k.value.empty() )
         return k.name + " cards hold no value: write their text as the comment.";
      return 8 + k.comment.size() > 80 ? FITSCardTooLongText : std::string();
   }
   if ( !IsValidFITSKeywordValue( k.value ) )
   {
      if ( !k.value.empty() && k.value.front() == '\'' )
         return k.value + " is not a FITS string value: it must end with a quote, and a quote inside it must be "
                          "written twice ('').";
      return k.value + " is not a FITS value: write a number, T or F, or a text.";
   }
   if ( !k.value.empty() && k.value.front() == '\'' && !TakesStringValue( upper, UnquoteFITSKeywordValue( k ) ) )
      return k.name + " takes a number or a logical value (or, for a date keyword, a date such as "
                      "'2004-07-03T21:30:00'), not the text " + k.value + ".";
   size_t length = 0;
   if ( k.value.empty() )
      length = 10 + k.comment.size();
   else
   {
      const std::string card = MakeCard( upper, FITSHeaderKeyword( k.name, k.value, std::string() ) );
      if ( card.empty() )
         return FITSCardTooLongText;
      length = card.size() + ( k.comment.empty() ? 0 : 3 + k.comment.size() );
   }
   return length > 80 ? FITSCardTooLongText : std::string();
}

std::string QuotedFITSString( const std::string& text )
{
   std::string quoted = "'";
   for ( char c : text )
   {
      quoted += c;
      if ( c == '\'' )
         quoted += c;
   }
   return quoted + "'";
}
