#include "formats/JPEG.h"

#include <algorithm>
#include <csetjmp>
#include <cstdio>
#include <cstring>
#include <exception>
#include <filesystem>
#include <map>

#include <jpeglib.h>
#include <jerror.h>

#include "classlib/ColorSpace.h"
#include "classlib/Math.h"
#include "formats/ImageMemory.h"
#include "formats/SampleConversion.h"

namespace
{

constexpr size_t ICCChunkHeader = 14;     // "ICC_PROFILE\0", sequence number, count
constexpr size_t ICCChunkData = 65280;    // profile bytes per chunk
constexpr int MaxICCChunks = 255;         // the count is one byte
// Scans a component's coefficient can take part in usefully: its first scan and one refinement for each bit below
// the first scan's lowest (at most 13). A file with more scans than its components' 64 coefficients can use this
// way repeats itself, and each repetition costs a pass over the whole image.
constexpr int MaxScansPerCoefficient = 14;

// How jumps out of the library land in the function that called it.
enum Jump
{
   NoJump = 0,
   LibraryErrorJump = 1, // the error manager holds the message
   HookFailureJump = 2   // a hook called by the library stored its exception
};

// The standard error manager, with the way back to the function that called the library, the text of the error
// met, and what its warnings said of the data.
struct ErrorManager
{
   jpeg_error_mgr pub;
   std::jmp_buf jump;
   char message[JMSG_LENGTH_MAX];
   bool endedEarly = false;           // the data ended before the image did
   std::string damage;                // the library's first complaint about damaged data, formatted
};

// The library's error_exit: never returns to the library. The message is the table's text as it stands.
void JPEGErrorExit( j_common_ptr cinfo )
{
   auto* e = reinterpret_cast<ErrorManager*>( cinfo->err );
   const int code = e->pub.msg_code;
   const char* text = code >= 0 && code <= e->pub.last_jpeg_message && e->pub.jpeg_message_table != nullptr
                         ? e->pub.jpeg_message_table[code]
                         : nullptr;
   std::snprintf( e->message, sizeof( e->message ), "%s", text != nullptr ? text : "Unknown JPEG library error" );
   std::longjmp( e->jump, LibraryErrorJump );
}

// The library's warnings (level -1) about the data are kept for the reader to report; nothing is printed.
void JPEGEmitMessage( j_common_ptr cinfo, int level )
{
   if ( level >= 0 )
      return;
   auto* e = reinterpret_cast<ErrorManager*>( cinfo->err );
   ++e->pub.num_warnings;
   switch ( e->pub.msg_code )
   {
   case JWRN_JPEG_EOF:
      e->endedEarly = true;
      break;
   case JWRN_HIT_MARKER:
   case JWRN_EXTRANEOUS_DATA:
   case JWRN_HUFF_BAD_CODE:
   case JWRN_ARITH_BAD_CODE:
   case JWRN_MUST_RESYNC:
   case JWRN_NOT_SEQUENTIAL:
   case JWRN_BOGUS_PROGRESSION:
      if ( e->damage.empty() )
      {
         char text[JMSG_LENGTH_MAX];
         e->pub.format_message( cinfo, text );
         e->damage = text;
      }
      break;
   default:
      break;
   }
}

void SetUpErrorManager( ErrorManager& e )
{
   jpeg_std_error( &e.pub );
   e.pub.error_exit = &JPEGErrorExit;
   e.pub.emit_message = &JPEGEmitMessage;
   e.message[0] = 0;
}

bool StartsWith( const JOCTET* data, size_t length, const char* id )
{
   const size_t n = std::strlen( id );
   if ( length < n )
      return false;
   for ( size_t i = 0; i < n; ++i )
   {
      char a = char( data[i] ), b = id[i];
      if ( a >= 'a' && a <= 'z' )
         a = char( a - 'a' + 'A' );
      if ( b >= 'a' && b <= 'z' )
         b = char( b - 'a' + 'A' );
      if ( a != b )
         return false;
   }
   return true;
}

std::string Describe( const char* format, int a, int b, int c, int d = 0 )
{
   char text[160];
   std::snprintf( text, sizeof( text ), format, a, b, c, d );
   return text;
}

// ---- Reading ----------------------------------------------------------------------------------------------------

enum class Outcome
{
   Done,
   LibraryError, // the error manager holds the message
   Failed        // a hook stored its exception
};

// Everything a read needs, owned by ReadJPEG's frame: the decoding function below holds nothing that a jump out
// of the library could skip.
struct ReadJob
{
   ErrorManager error;
   jpeg_decompress_struct cinfo;
   jpeg_progress_mgr progress;
   FILE* file = nullptr;
   std::string path;
   uint64_t fileSize = 0;
   bool keepMarkers = false;
   bool wantICC = false, wantIPTC = false, wantQuality = false;
   qor::Image* image = nullptr;
   JPEGOptions options;
   std::unique_ptr<std::vector<uint8_t>> profile;
   qor::IPTCPhotoInfo iptc;
   std::vector<JSAMPLE> row;
   std::vector<std::string> warnings;
   bool readingScans = false; // in jpeg_start_decompress, reading every scan of a multi-scan file
   int64_t scanUnits = 0;     // units of the monitor's task given to that reading
   int64_t scanUnitsDone = 0;
   std::exception_ptr failure;
};

// Takes what the header and the kept markers say. Called between jpeg_read_header and jpeg_start_decompress.
void TakeHeader( ReadJob& job )
{
   jpeg_decompress_struct& c = job.cinfo;
   JPEGOptions& o = job.options;
   o.hasJFIFMarker = c.saw_JFIF_marker;
   if ( c.saw_JFIF_marker )
   {
      o.jfifMajorVersion = c.JFIF_major_version;
      o.jfifMinorVersion = c.JFIF_minor_version;
      o.metricResolution = c.density_unit == 2;
      o.xResolution = c.X_density;
      o.yResolution = c.Y_density;
      // A density of 0 says nothing.
      if ( c.X_density == 0 || c.Y_density == 0 )
         o.xResolution = o.yResolution = 72;
   }
   else
   {
      o.jfifMajorVersion = 1;
      o.jfifMinorVersion = 2;
      o.metricResolution = false;
      o.xResolution = o.yResolution = 72;
   }
   o.quality = 0;

   // ICC chunks are placed by their sequence numbers; each number from 1 to the count must come exactly once. A
   // sequence that breaks this is left out with a warning: the image is still whole.
   std::map<int, const jpeg_marker_struct*> chunks;
   int chunkCount = 0;
   bool iccDamaged = false;
   bool wantIPTC = job.wantIPTC, wantQuality = job.wantQuality;
   for ( const jpeg_marker_struct* m = c.marker_list; m != nullptr; m = m->next )
   {
      const JOCTET* d = m->data;
      const size_t n = m->data_length;
      if ( job.wantICC && StartsWith( d, n, "ICC_PROFILE" ) )
      {
         const int seq = n >= ICCChunkHeader ? d[12] : 0;
         const int count = n >= ICCChunkHeader ? d[13] : 0;
         if ( seq < 1 || seq > count || ( chunkCount != 0 && count != chunkCount ) || chunks.count( seq ) != 0 )
            iccDamaged = true;
         else
         {
            chunkCount = count;
            chunks[seq] = m;
         }
      }
      else if ( wantIPTC && ( StartsWith( d, n, "IPTCPhotoInfo" ) || StartsWith( d, n, "IPTC PhotoInfo" ) ||
                              StartsWith( d, n, "IPTC_PhotoInfo" ) || StartsWith( d, n, "IPTC Photo Info" ) ||
                              StartsWith( d, n, "IPTC_Photo_Info" ) ) )
      {
         const void* first = std::memchr( d, 0x1C, n );
         if ( first != nullptr )
         {
            const auto* p = static_cast<const JOCTET*>( first );
            try
            {
               job.iptc.Decode( p, int64_t( n - size_t( p - d ) ) );
            }
            catch ( const qor::IPTCPhotoInfo::Exception& x )
            {
               job.iptc.Clear();
               job.warnings.push_back( "The IPTC photo information of this JPEG file is damaged and was left out (" +
                                       x.ErrorText() + "):\n" + job.path );
            }
            wantIPTC = false;
         }
      }
      else if ( wantQuality && ( StartsWith( d, n, "JPEGQuality" ) || StartsWith( d, n, "JPEG Quality" ) ||
                                 StartsWith( d, n, "JPEG_Quality" ) ) )
      {
         const size_t at = StartsWith( d, n, "JPEGQuality" ) ? 12 : 13;
         if ( n > at )
         {
            o.quality = std::clamp<int32_t>( d[at], 1, 100 );
            wantQuality = false;
         }
      }
   }
   if ( !chunks.empty() || iccDamaged )
   {
      auto profile = std::make_unique<std::vector<uint8_t>>();
      for ( const auto& [seq, m] : chunks )
         profile->insert( profile->end(), m->data + ICCChunkHeader, m->data + m->data_length );
      // The size in the profile's header must be there; bytes beyond it are not the profile's.
      const uint32_t size = profile->size() >= 4 ? qor::ReadBigEndianUInt32( profile->data() ) : 0;
      if ( iccDamaged || int( chunks.size() ) != chunkCount || size < 4 || size > profile->size() )
         job.warnings.push_back( "The ICC profile of this JPEG file is damaged and was left out:\n" + job.path );
      else
      {
         profile->resize( size );
         job.profile = std::move( profile );
      }
   }
}

// The output geometry is known (jpeg_calc_output_dimensions): checks that the image and the library's own buffers
// fit in memory, allocates the image and starts the monitor's task. A file of several scans is read whole by
// jpeg_start_decompress before the first row comes out: the first half of the task follows that reading through the
// file, the second the rows.
void StartImage( ReadJob& job )
{
   const jpeg_decompress_struct& c = job.cinfo;
   const bool multiScan = c.progressive_mode || c.comps_in_scan < c.num_components;
   uint64_t libraryBytes = 0;
   if ( multiScan )
      // The coefficients of the whole image are kept between scans.
      for ( int i = 0; i < c.num_components; ++i )
         libraryBytes = formats::AddBytes( libraryBytes, uint64_t( c.comp_info[i].width_in_blocks ) *
                                                             c.comp_info[i].height_in_blocks * DCTSIZE2 * sizeof( JCOEF ) );
   const uint64_t rowBytes = uint64_t( c.output_width ) * uint64_t( c.output_components );
   const std::string shortfall = formats::MemoryShortfall(
       formats::AddBytes( formats::ImageBytes( c.output_width, c.output_height, uint64_t( c.output_components ) ),
                          formats::AddBytes( libraryBytes, rowBytes ) ),
       c.output_width, c.output_height, uint64_t( c.output_components ) );
   if ( !shortfall.empty() )
      throw JPEGNotEnoughMemory( job.path, shortfall );

   job.image->Allocate( int32_t( c.output_width ), int32_t( c.output_height ), c.output_components,
                        c.output_components == 1 ? qor::ColorSpace::Gray : qor::ColorSpace::RGB );
   job.scanUnits = multiScan ? int64_t( c.output_height ) : 0;
   job.scanUnitsDone = 0;
   job.readingScans = multiScan;
   job.image->BeginTask( Describe( "Decompressing JPEG file: %d channel(s), %dx%d pixels", c.output_components,
                                   int( c.output_width ), int( c.output_height ) ),
                         job.scanUnits + int64_t( c.output_height ) );
   job.row.resize( size_t( rowBytes ) );
}

// Called by the library while it reads the scans of a file (and for every row read): bounds the number of scans,
// and follows the reading through the file, so that a file of many scans shows progress and can be aborted.
void FollowScans( ReadJob& job )
{
   const jpeg_decompress_struct& c = job.cinfo;
   if ( !job.readingScans )
      return;
   if ( c.input_scan_number > c.num_components * DCTSIZE2 * MaxScansPerCoefficient )
      throw JPEGTooManyScans( job.path );
   qor::Image& image = *job.image;
   if ( !image.IsMonitored() || job.fileSize == 0 )
      return;
   const long position = std::ftell( job.file );
   const uint64_t consumed = position > 0 ? uint64_t( position ) - std::min<uint64_t>( uint64_t( position ), c.src->bytes_in_buffer ) : 0;
   const int64_t reached = std::min<int64_t>( job.scanUnits - 1, int64_t( double( job.scanUnits ) * double( consumed ) / double( job.fileSize ) ) );
   if ( reached > job.scanUnitsDone )
   {
      image.Status().Advance( reached - job.scanUnitsDone );
      job.scanUnitsDone = reached;
   }
   image.ThrowIfAborted();
}

void TakeRow( ReadJob& job, int32_t y )
{
   qor::Image& image = *job.image;
   const int32_t channels = image.NumberOfChannels();
   for ( int32_t ch = 0; ch < channels; ++ch )
      formats::UnsignedToFloat( job.row.data() + ch, channels, image.ScanLine( ch, y ), image.Width() );
   if ( image.IsMonitored() )
      image.Status().Advance( 1 );
   image.ThrowIfAborted();
}

// Runs a hook of a read or write; false with the job's failure set when it threw.
template <typename Job, typename F> bool Hook( Job& job, F&& f ) noexcept
{
   try
   {
      f();
      return true;
   }
   catch ( ... )
   {
      job.failure = std::current_exception();
      return false;
   }
}

// The library's progress hook: a failure of FollowScans leaves the library by the same jump as its own errors.
void JPEGProgress( j_common_ptr cinfo )
{
   auto* job = static_cast<ReadJob*>( cinfo->client_data );
   if ( !Hook( *job, [job] { FollowScans( *job ); } ) )
      std::longjmp( job->error.jump, HookFailureJump );
}

// All library calls of a read. No C++ object lives in this frame: a jump from the library's error_exit or from
// the progress hook lands in the setjmp branch, which destroys the decompressor.
Outcome Decompress( ReadJob& job )
{
   jpeg_decompress_struct* c = &job.cinfo;
   c->err = &job.error.pub;
   const int jumped = setjmp( job.error.jump );
   if ( jumped != NoJump )
   {
      jpeg_destroy_decompress( c );
      return jumped == LibraryErrorJump ? Outcome::LibraryError : Outcome::Failed;
   }
   jpeg_create_decompress( c );
   c->client_data = &job;
   job.progress.progress_monitor = &JPEGProgress;
   c->progress = &job.progress;
   jpeg_stdio_src( c, job.file );
   if ( job.keepMarkers )
   {
      jpeg_save_markers( c, JPEG_COM, 0xFFFF );
      for ( int m = 0; m < 16; ++m )
         jpeg_save_markers( c, JPEG_APP0 + m, 0xFFFF );
   }
   jpeg_read_header( c, TRUE );
   c->out_color_space = c->jpeg_color_space == JCS_GRAYSCALE ? JCS_GRAYSCALE : JCS_RGB;
   if ( !Hook( job, [&] { TakeHeader( job ); } ) )
   {
      jpeg_destroy_decompress( c );
      return Outcome::Failed;
   }
   jpeg_calc_output_dimensions( c );
   if ( !Hook( job, [&] { StartImage( job ); } ) )
   {
      jpeg_destroy_decompress( c );
      return Outcome::Failed;
   }
   jpeg_start_decompress( c );
   job.readingScans = false;
   if ( job.scanUnits > job.scanUnitsDone && job.image->IsMonitored() )
      job.image->Status().Advance( job.scanUnits - job.scanUnitsDone );
   while ( c->output_scanline < c->output_height )
   {
      JSAMPROW row = job.row.data();
      const int32_t y = int32_t( c->output_scanline );
      jpeg_read_scanlines( c, &row, 1 );
      if ( !Hook( job, [&] { TakeRow( job, y ); } ) )
      {
         jpeg_destroy_decompress( c );
         return Outcome::Failed;
      }
   }
   jpeg_finish_decompress( c );
   jpeg_destroy_decompress( c );
   return Outcome::Done;
}

// ---- Writing ----------------------------------------------------------------------------------------------------

struct WriteJob
{
   ErrorManager error;
   jpeg_compress_struct cinfo;
   FILE* file = nullptr;
   const qor::Image* image = nullptr;
   int quality = 80;
   bool optimize = true, progressive = false, metric = false;
   uint16_t xDensity = 72, yDensity = 72;
   std::vector<std::vector<JOCTET>> iccChunks; // whole APP2 payloads
   std::vector<JOCTET> iptcMarker;             // whole APP13 payload, empty for none
   std::vector<JSAMPLE> row;
   std::exception_ptr failure;
};

void MakeRow( WriteJob& job, int32_t y )
{
   const qor::Image& image = *job.image;
   const int32_t channels = job.cinfo.input_components;
   for ( int32_t ch = 0; ch < channels; ++ch )
      formats::FloatToUnsigned( image.ScanLine( ch, y ), job.row.data() + ch, channels, image.Width() );
}

void Advance( WriteJob& job )
{
   if ( job.image->IsMonitored() )
      job.image->Status().Advance( 1 );
   job.image->ThrowIfAborted();
}

// All library calls of a write; like Decompress, nothing here outlives a jump.
Outcome Compress( WriteJob& job )
{
   jpeg_compress_struct* c = &job.cinfo;
   c->err = &job.error.pub;
   if ( setjmp( job.error.jump ) != 0 )
   {
      jpeg_destroy_compress( c );
      return Outcome::LibraryError;
   }
   jpeg_create_compress( c );
   c->image_width = JDIMENSION( job.image->Width() );
   c->image_height = JDIMENSION( job.image->Height() );
   c->input_components = job.image->NumberOfNominalChannels() == 1 ? 1 : 3;
   c->in_color_space = c->input_components == 1 ? JCS_GRAYSCALE : JCS_RGB;
   jpeg_set_defaults( c );
   jpeg_set_quality( c, job.quality, TRUE );
   c->optimize_coding = job.optimize ? TRUE : FALSE;
   c->dct_method = JDCT_FLOAT;
   c->write_JFIF_header = TRUE;
   c->JFIF_major_version = 1;
   c->JFIF_minor_version = 2;
   c->density_unit = job.metric ? 2 : 1;
   c->X_density = job.xDensity;
   c->Y_density = job.yDensity;
   if ( job.progressive )
      jpeg_simple_progression( c );
   jpeg_stdio_dest( c, job.file );
   jpeg_start_compress( c, TRUE );
   for ( const std::vector<JOCTET>& chunk : job.iccChunks )
      jpeg_write_marker( c, JPEG_APP0 + 2, chunk.data(), unsigned( chunk.size() ) );
   if ( !job.iptcMarker.empty() )
      jpeg_write_marker( c, JPEG_APP0 + 13, job.iptcMarker.data(), unsigned( job.iptcMarker.size() ) );
   JOCTET quality[13] = { 'J', 'P', 'E', 'G', 'Q', 'u', 'a', 'l', 'i', 't', 'y', 0, JOCTET( job.quality ) };
   jpeg_write_marker( c, JPEG_APP0 + 15, quality, sizeof( quality ) );
   while ( c->next_scanline < c->image_height )
   {
      const int32_t y = int32_t( c->next_scanline );
      if ( !Hook( job, [&] { MakeRow( job, y ); } ) )
      {
         jpeg_destroy_compress( c );
         return Outcome::Failed;
      }
      JSAMPROW row = job.row.data();
      jpeg_write_scanlines( c, &row, 1 );
      if ( !Hook( job, [&] { Advance( job ); } ) )
      {
         jpeg_destroy_compress( c );
         return Outcome::Failed;
      }
   }
   jpeg_finish_compress( c );
   jpeg_destroy_compress( c );
   return Outcome::Done;
}

uint16_t Density( float resolution )
{
   return resolution >= 65535 ? 65535 : resolution > 0 ? uint16_t( resolution ) : 0;
}

} // namespace

void ReadJPEG( qor::Image& image, const std::string& path, JPEGOptions* options,
               std::unique_ptr<std::vector<uint8_t>>* iccProfile, qor::IPTCPhotoInfo* iptc,
               std::vector<std::string>* warnings )
{
   ReadJob job;
   job.path = path;
   job.image = &image;
   job.wantICC = iccProfile != nullptr;
   job.wantIPTC = iptc != nullptr;
   job.wantQuality = options != nullptr;
   job.keepMarkers = options != nullptr || iptc != nullptr || iccProfile != nullptr;
   if ( options != nullptr )
      job.options = *options;
   SetUpErrorManager( job.error );

   job.file = std::fopen( path.c_str(), "rb" );
   std::error_code ec;
   job.fileSize = std::filesystem::file_size( path, ec );
   if ( job.file == nullptr || ec )
   {
      if ( job.file != nullptr )
         std::fclose( job.file );
      throw JPEGUnableToOpenFile( path );
   }
   const Outcome outcome = Decompress( job );
   std::fclose( job.file );
   if ( outcome != Outcome::Done )
   {
      image.FreeData();
      if ( outcome == Outcome::LibraryError )
         throw JPEGLibraryError( path, job.error.message );
      std::rethrow_exception( job.failure );
   }
   if ( options != nullptr )
      *options = job.options;
   if ( iccProfile != nullptr )
      *iccProfile = std::move( job.profile );
   if ( iptc != nullptr )
      *iptc = std::move( job.iptc );
   if ( warnings != nullptr )
   {
      if ( job.error.endedEarly )
         warnings->push_back( "The data of this JPEG file end early: the image is incomplete:\n" + path );
      else if ( !job.error.damage.empty() )
         warnings->push_back( "This JPEG file holds damaged data (" + job.error.damage +
                              "): parts of the image may be wrong:\n" + path );
      warnings->insert( warnings->end(), job.warnings.begin(), job.warnings.end() );
   }
}

void WriteJPEG( const qor::Image& image, const std::string& path, JPEGOptions& options,
                const std::vector<uint8_t>* iccProfile, const qor::IPTCPhotoInfo* iptc )
{
   if ( options.quality < 1 )
      options.quality = JPEGOptions::DefaultQuality;
   WriteJob job;
   job.image = &image;
   job.quality = std::min( options.quality, 100 );
   job.optimize = options.optimizedCoding;
   job.progressive = options.progressive;
   job.metric = options.metricResolution;
   job.xDensity = Density( options.xResolution );
   job.yDensity = Density( options.yResolution );
   SetUpErrorManager( job.error );

   if ( iccProfile != nullptr && iccProfile->size() >= 4 && options.embedICCProfile )
   {
      // The size in the profile's header, never beyond the bytes held.
      const uint32_t size = qor::ReadBigEndianUInt32( iccProfile->data() );
      if ( size != 0 && size <= iccProfile->size() )
      {
         const size_t count = ( size + ICCChunkData - 1 ) / ICCChunkData;
         if ( count > MaxICCChunks )
            throw JPEGICCProfileTooLarge( path );
         for ( size_t i = 0; i < count; ++i )
         {
            const size_t from = i * ICCChunkData;
            const size_t length = std::min<size_t>( ICCChunkData, size - from );
            std::vector<JOCTET> chunk( ICCChunkHeader + length );
            std::memcpy( chunk.data(), "ICC_PROFILE", 12 );
            chunk[12] = JOCTET( i + 1 );
            chunk[13] = JOCTET( count );
            std::memcpy( chunk.data() + ICCChunkHeader, iccProfile->data() + from, length );
            job.iccChunks.push_back( std::move( chunk ) );
         }
      }
   }
   if ( iptc != nullptr )
   {
      std::vector<uint8_t> block;
      // A marker holds at most 65533 bytes of data. Information that does not fit is refused before the file is
      // created: dropping it would lose it without a word.
      if ( iptc->Encode( block ) > 0 )
      {
         if ( block.size() + 14 > 65533 )
            throw JPEGIPTCTooLarge( path );
         job.iptcMarker.assign( 14, 0 );
         std::memcpy( job.iptcMarker.data(), "IPTCPhotoInfo", 14 );
         job.iptcMarker.insert( job.iptcMarker.end(), block.begin(), block.end() );
      }
   }
   const int channels = image.NumberOfNominalChannels() == 1 ? 1 : 3;
   job.row.resize( size_t( image.Width() ) * size_t( channels ) );

   job.file = std::fopen( path.c_str(), "wb" );
   if ( job.file == nullptr )
      throw JPEGUnableToCreateFile( path );
   image.BeginTask( Describe( "Compressing JPEG file: %d channel(s), %dx%d pixels, JPEG quality = %d", channels,
                              image.Width(), image.Height(), job.quality ),
                    image.Height() );
   const Outcome outcome = Compress( job );
   // A full disk shows when the last bytes go out.
   const bool written = std::fflush( job.file ) == 0 && std::ferror( job.file ) == 0;
   std::fclose( job.file );
   if ( outcome == Outcome::LibraryError )
      throw JPEGLibraryError( path, job.error.message );
   if ( outcome == Outcome::Failed )
      std::rethrow_exception( job.failure );
   if ( !written )
      throw JPEGLibraryError( path, "Output file write error --- out of disk space?" );
}
