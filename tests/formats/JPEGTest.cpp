// JPEG files: written and read back, with their markers rearranged, damaged or made by the library itself.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include <jpeglib.h>

#include "TestDirs.h"
#include "classlib/ColorSpace.h"
#include "formats/JPEG.h"
#include "platform/SystemMemory.h"
#include "windows/image/ImageFileTestSupport.h"

namespace
{

using test::TempDir;
using Bytes = std::vector<uint8_t>;

// A smooth image: JPEG keeps it to within a few levels.
qor::Image Smooth( int32_t w, int32_t h, int32_t channels, int32_t colorSpace )
{
   qor::Image image( w, h, channels, colorSpace );
   for ( int32_t c = 0; c < channels; ++c )
      for ( int32_t y = 0; y < h; ++y )
         for ( int32_t x = 0; x < w; ++x )
            image.Pixel( x, y, c ) = float( x + y + 10 * c ) / float( w + h + 30 );
   return image;
}

float MaxDifference( const qor::Image& a, const qor::Image& b )
{
   float d = 0;
   for ( int32_t c = 0; c < a.NumberOfChannels(); ++c )
      for ( int64_t i = 0; i < a.NumberOfPixels(); ++i )
         d = std::max( d, std::abs( a.PixelData( c )[i] - b.PixelData( c )[i] ) );
   return d;
}

Bytes Load( const std::string& path )
{
   std::ifstream in( path, std::ios::binary );
   return Bytes( std::istreambuf_iterator<char>( in ), {} );
}

void Save( const std::string& path, const Bytes& bytes )
{
   std::ofstream( path, std::ios::binary ).write( reinterpret_cast<const char*>( bytes.data() ), std::streamsize( bytes.size() ) );
}

// The marker segments of a JPEG file before its first scan, and the rest from there.
struct Segment
{
   uint8_t marker;
   Bytes data;
};
struct Layout
{
   std::vector<Segment> segments;
   Bytes rest;

   explicit Layout( const Bytes& b )
   {
      size_t pos = 2;
      while ( pos + 4 <= b.size() && b[pos + 1] != 0xDA )
      {
         const size_t length = size_t( b[pos + 2] ) << 8 | b[pos + 3];
         segments.push_back( { b[pos + 1], Bytes( b.begin() + long( pos + 4 ), b.begin() + long( pos + 2 + length ) ) } );
         pos += 2 + length;
      }
      rest.assign( b.begin() + long( pos ), b.end() );
   }
   Bytes Build() const
   {
      Bytes b{ 0xFF, 0xD8 };
      for ( const Segment& s : segments )
      {
         const size_t length = s.data.size() + 2;
         b.insert( b.end(), { 0xFF, s.marker, uint8_t( length >> 8 ), uint8_t( length ) } );
         b.insert( b.end(), s.data.begin(), s.data.end() );
      }
      b.insert( b.end(), rest.begin(), rest.end() );
      return b;
   }
   int Count( uint8_t marker ) const
   {
      return int( std::count_if( segments.begin(), segments.end(), [&]( const Segment& s ) { return s.marker == marker; } ) );
   }
   // Inserts a marker after the JFIF APP0 segment.
   void Insert( uint8_t marker, const std::string& id, const Bytes& payload, size_t at = 1 )
   {
      Bytes data( id.begin(), id.end() );
      data.insert( data.end(), payload.begin(), payload.end() );
      segments.insert( segments.begin() + long( at ), Segment{ marker, data } );
   }
   void Remove( uint8_t marker )
   {
      std::erase_if( segments, [&]( const Segment& s ) { return s.marker == marker; } );
   }
};

// An ICC profile of n bytes whose header says so.
Bytes Profile( uint32_t n )
{
   Bytes p( n );
   for ( uint32_t i = 0; i < n; ++i )
      p[i] = uint8_t( i * 13 + 1 );
   p[0] = uint8_t( n >> 24 );
   p[1] = uint8_t( n >> 16 );
   p[2] = uint8_t( n >> 8 );
   p[3] = uint8_t( n );
   return p;
}

Bytes IccChunk( int seq, int count, const Bytes& part )
{
   Bytes d( part.size() + 2 );
   d[0] = uint8_t( seq );
   d[1] = uint8_t( count );
   if ( !part.empty() )
      std::memcpy( d.data() + 2, part.data(), part.size() );
   return d;
}

// Writes a w x h image of one level in every component (1 grey, 3 RGB, 4 CMYK) with the library itself; `setup` may change the compressor's parameters
// after the defaults.
void MakeUniformJPEG( const std::string& path, int w, int h, int components, uint8_t level,
                      const std::function<void( jpeg_compress_struct& )>& setup = nullptr )
{
   jpeg_compress_struct c;
   jpeg_error_mgr e;
   c.err = jpeg_std_error( &e );
   jpeg_create_compress( &c );
   FILE* f = std::fopen( path.c_str(), "wb" );
   ASSERT_NE( f, nullptr );
   jpeg_stdio_dest( &c, f );
   c.image_width = JDIMENSION( w );
   c.image_height = JDIMENSION( h );
   c.input_components = components;
   c.in_color_space = components == 1 ? JCS_GRAYSCALE : components == 4 ? JCS_CMYK : JCS_RGB;
   jpeg_set_defaults( &c );
   if ( setup )
      setup( c );
   jpeg_start_compress( &c, TRUE );
   Bytes row( size_t( w * components ), level );
   for ( int y = 0; y < h; ++y )
   {
      JSAMPROW r = row.data();
      jpeg_write_scanlines( &c, &r, 1 );
   }
   jpeg_finish_compress( &c );
   jpeg_destroy_compress( &c );
   std::fclose( f );
}

// Where the scans of a JPEG file lie: from each SOS marker to the marker that ends its entropy-coded data.
std::vector<std::pair<size_t, size_t>> Scans( const Bytes& b )
{
   std::vector<std::pair<size_t, size_t>> scans;
   size_t pos = 2;
   while ( pos + 4 <= b.size() )
   {
      const uint8_t marker = b[pos + 1];
      const size_t length = size_t( b[pos + 2] ) << 8 | b[pos + 3];
      if ( marker != 0xDA )
      {
         pos += 2 + length;
         continue;
      }
      size_t end = pos + 2 + length;
      while ( end + 1 < b.size() && !( b[end] == 0xFF && b[end + 1] != 0 && ( b[end + 1] < 0xD0 || b[end + 1] > 0xD7 ) ) )
         ++end;
      scans.emplace_back( pos, end );
      pos = end;
      if ( b[pos + 1] == 0xD9 )
         break;
   }
   return scans;
}

// The file with its last scan repeated `times` times more.
Bytes WithRepeatedLastScan( const Bytes& b, int times )
{
   const auto [from, to] = Scans( b ).back();
   Bytes out( b.begin(), b.begin() + long( to ) );
   for ( int i = 0; i < times; ++i )
      out.insert( out.end(), b.begin() + long( from ), b.begin() + long( to ) );
   out.insert( out.end(), { 0xFF, 0xD9 } );
   return out;
}

// The message of the exception E that reading the file raises (empty when it raises none); the exception names the
// file, and the image is left empty.
template <typename E> std::string ReadFailure( const std::string& path )
{
   qor::Image image( 2, 2 );
   std::string message;
   try
   {
      ReadJPEG( image, path, nullptr, nullptr, nullptr );
   }
   catch ( const E& e )
   {
      message = e.Message();
      EXPECT_EQ( e.Path(), path );
   }
   EXPECT_TRUE( image.IsEmpty() );
   return message;
}

// The same on a machine with `available` bytes to spare.
std::string RefusalForMemory( const std::string& path, uint64_t available )
{
   platform::AvailableMemoryScope memory( [available] { return std::optional<uint64_t>( available ); } );
   return ReadFailure<JPEGNotEnoughMemory>( path );
}

class JPEGTest : public ::testing::Test
{
protected:
   // A small RGB file written without extras, as the bytes of its header segments.
   Layout Plain()
   {
      JPEGOptions o;
      WriteJPEG( Smooth( 16, 16, 3, qor::ColorSpace::RGB ), path, o, nullptr, nullptr );
      return Layout( Load( path ) );
   }
   void Read( const Layout& layout, JPEGOptions& o, std::unique_ptr<Bytes>* icc = nullptr,
              qor::IPTCPhotoInfo* iptc = nullptr )
   {
      Save( path, layout.Build() );
      qor::Image image;
      ReadJPEG( image, path, &o, icc, iptc );
      EXPECT_EQ( image.Width(), 16 );
   }

   TempDir dir;
   std::string path = dir.File( "a.jpg" );
};

} // namespace

TEST_F( JPEGTest, ImagesProfileIPTCQualityAndDensityRoundTrip )
{
   const qor::Image rgb = Smooth( 40, 30, 3, qor::ColorSpace::RGB );
   JPEGOptions o;
   o.quality = 92;
   o.metricResolution = true;
   o.xResolution = 72.9f;
   o.yResolution = 30;
   const Bytes profile = Profile( 65281 ); // two chunks: 65280 and 1 bytes
   qor::IPTCPhotoInfo iptc;
   const std::string name = "M42";
   iptc.Set( qor::IPTCPhotoInfo::DescriptionByName( "ObjectName" ), name.data(), name.size() );
   WriteJPEG( rgb, path, o, &profile, &iptc );

   const Layout layout( Load( path ) );
   EXPECT_EQ( layout.Count( 0xE2 ), 2 );
   EXPECT_EQ( layout.Count( 0xED ), 1 );
   EXPECT_EQ( layout.Count( 0xEF ), 1 );
   EXPECT_EQ( layout.Count( 0xC0 ), 1 ); // baseline

   qor::Image back;
   JPEGOptions read;
   read.optimizedCoding = false; // never touched by the reader
   std::unique_ptr<Bytes> icc;
   qor::IPTCPhotoInfo info;
   ReadJPEG( back, path, &read, &icc, &info );
   EXPECT_EQ( back.GetColorSpace(), qor::ColorSpace::RGB );
   EXPECT_LT( MaxDifference( back, rgb ), 4.0f / 255 );
   EXPECT_EQ( read.quality, 92 );
   EXPECT_TRUE( read.hasJFIFMarker );
   EXPECT_EQ( read.jfifMajorVersion, 1 );
   EXPECT_EQ( read.jfifMinorVersion, 2 );
   EXPECT_TRUE( read.metricResolution );
   EXPECT_EQ( read.xResolution, 72.0f ); // truncated
   EXPECT_EQ( read.yResolution, 30.0f );
   EXPECT_FALSE( read.optimizedCoding );
   ASSERT_NE( icc, nullptr );
   EXPECT_EQ( *icc, profile );
   EXPECT_EQ( info.FindValue( "ObjectName" ), name );

   // Grey, progressive, quality 0 written at 80 (stored in the record); alpha channels are not written.
   JPEGOptions grey;
   grey.progressive = true;
   WriteJPEG( Smooth( 9, 7, 2, qor::ColorSpace::Gray ), path, grey, nullptr, nullptr );
   EXPECT_EQ( grey.quality, 80 );
   EXPECT_EQ( Layout( Load( path ) ).Count( 0xC2 ), 1 );
   ReadJPEG( back, path, &read, nullptr, nullptr );
   EXPECT_EQ( back.GetColorSpace(), qor::ColorSpace::Gray );
   EXPECT_EQ( back.NumberOfChannels(), 1 );
   EXPECT_EQ( read.quality, 80 );

   // Profiles that fill their chunks exactly; one too large for 255 chunks is refused before the file is made.
   for ( auto [size, chunks] : { std::pair{ 65280u, 1 }, std::pair{ 130560u, 2 } } )
   {
      const Bytes p = Profile( size );
      WriteJPEG( rgb, path, o, &p, nullptr );
      EXPECT_EQ( Layout( Load( path ) ).Count( 0xE2 ), chunks ) << size;
   }
   const Bytes huge = Profile( 255 * 65280 + 1 );
   std::filesystem::remove( path );
   EXPECT_THROW( WriteJPEG( rgb, path, o, &huge, nullptr ), JPEGICCProfileTooLarge );
   EXPECT_FALSE( std::filesystem::exists( path ) );
}

// IPTC information too large for the one marker it goes in is refused before anything is written: the file that
// was there stays as it was.
TEST_F( JPEGTest, IPTCInformationTooLargeForItsMarkerIsRefusedAndTheFileKept )
{
   JPEGOptions o;
   WriteJPEG( Smooth( 8, 8, 1, qor::ColorSpace::Gray ), path, o, nullptr, nullptr );
   const Bytes before = Load( path );
   qor::IPTCPhotoInfo iptc;
   std::string keywords;
   for ( int i = 0; i < 5000; ++i ) // about 85000 bytes
      keywords += "keyword" + std::to_string( i ) + ";";
   iptc.Set( qor::IPTCPhotoInfo::DescriptionByName( "Keywords" ), keywords.data(), keywords.size() );
   EXPECT_THROW( WriteJPEG( Smooth( 8, 8, 1, qor::ColorSpace::Gray ), path, o, nullptr, &iptc ), JPEGIPTCTooLarge );
   EXPECT_EQ( Load( path ), before );
}

TEST_F( JPEGTest, MarkersOfOtherProgramsAreRecognised )
{
   // Quality markers in other spellings, clamped to 1..100.
   struct QualityCase
   {
      const char* id;
      uint8_t value;
      int32_t quality;
   } qualities[] = { { "jpegquality", 0, 1 }, { "JPEG Quality", 200, 100 }, { "jpeg_QUALITY", 55, 55 } };
   for ( const QualityCase& c : qualities )
   {
      Layout l = Plain();
      l.Remove( 0xEF );
      l.Insert( 0xEF, std::string( c.id ) + std::string( 1, '\0' ), { c.value } );
      JPEGOptions o;
      Read( l, o );
      EXPECT_EQ( o.quality, c.quality ) << c.id;
   }

   // No JFIF and no quality marker: 72 per inch, version 1.2, no quality.
   Layout l = Plain();
   l.Remove( 0xE0 );
   l.Remove( 0xEF );
   JPEGOptions o;
   o.quality = 50;
   o.xResolution = 10;
   Read( l, o );
   EXPECT_FALSE( o.hasJFIFMarker );
   EXPECT_EQ( o.quality, 0 );
   EXPECT_EQ( o.xResolution, 72.0f );
   EXPECT_EQ( o.jfifMinorVersion, 2 );

   // JFIF density unit 0 (aspect ratio only) 1:1 reads as 1 per inch.
   l = Plain();
   l.segments[0].data[7] = 0;
   l.segments[0].data[8] = 0;
   l.segments[0].data[9] = 1;
   l.segments[0].data[10] = 0;
   l.segments[0].data[11] = 1;
   Read( l, o );
   EXPECT_FALSE( o.metricResolution );
   EXPECT_EQ( o.xResolution, 1.0f );

   // An IPTC marker without any dataset leaves the next one to be used; the chunks of a profile are placed by
   // their sequence numbers, in whatever order they come.
   qor::IPTCPhotoInfo iptc;
   const std::string name = "M31";
   iptc.Set( qor::IPTCPhotoInfo::DescriptionByName( "ObjectName" ), name.data(), name.size() );
   Bytes block;
   iptc.Encode( block );
   const Bytes profile = Profile( 100 );
   l = Plain();
   l.Insert( 0xED, std::string( "IPTC Photo Info", 15 ), { 1, 2, 3 } );
   l.Insert( 0xED, std::string( "iptc_photoinfo", 14 ), block, 2 );
   l.Insert( 0xE2, std::string( "ICC_PROFILE\0", 12 ), IccChunk( 2, 2, Bytes( profile.begin() + 60, profile.end() ) ) );
   l.Insert( 0xE2, std::string( "ICC_PROFILE\0", 12 ), IccChunk( 1, 2, Bytes( profile.begin(), profile.begin() + 60 ) ) );
   std::unique_ptr<Bytes> icc;
   qor::IPTCPhotoInfo info;
   Read( l, o, &icc, &info );
   EXPECT_EQ( info.FindValue( "ObjectName" ), name );
   ASSERT_NE( icc, nullptr );
   EXPECT_EQ( *icc, profile );
}

// A damaged profile or IPTC block is a loss of the file's extras, not of its image: the image opens without them,
// and the warning says so and names the file.
TEST_F( JPEGTest, ADamagedProfileOrIPTCBlockIsLeftOutWithAWarning )
{
   const Bytes profile = Profile( 100 );
   const Bytes first( profile.begin(), profile.begin() + 50 ), second( profile.begin() + 50, profile.end() );
   struct ChunkCase
   {
      const char* what;
      std::vector<Bytes> chunks;
   } cases[] = {
      { "a gap", { IccChunk( 1, 3, first ), IccChunk( 3, 3, second ) } },
      { "a duplicate", { IccChunk( 1, 2, first ), IccChunk( 1, 2, first ), IccChunk( 2, 2, second ) } },
      { "counts that differ", { IccChunk( 1, 2, first ), IccChunk( 2, 3, second ) } },
      { "sequence number 0", { IccChunk( 0, 1, profile ) } },
      { "a chunk without its numbers", { Bytes{} } },
      { "less than the header's size", { IccChunk( 1, 1, first ) } },
   };
   qor::IPTCPhotoInfo iptc;
   const std::string name = "M42";
   iptc.Set( qor::IPTCPhotoInfo::DescriptionByName( "ObjectName" ), name.data(), name.size() );
   Bytes block;
   iptc.Encode( block );
   for ( const ChunkCase& c : cases )
   {
      Layout l = Plain();
      for ( const Bytes& chunk : c.chunks )
         l.Insert( 0xE2, std::string( "ICC_PROFILE\0", 12 ), chunk );
      l.Insert( 0xED, std::string( "IPTCPhotoInfo\0", 14 ), block );
      Save( path, l.Build() );
      qor::Image image;
      std::unique_ptr<Bytes> icc = std::make_unique<Bytes>( 3 );
      qor::IPTCPhotoInfo info;
      std::vector<std::string> warnings;
      ReadJPEG( image, path, nullptr, &icc, &info, &warnings );
      EXPECT_EQ( image.Width(), 16 ) << c.what;
      EXPECT_EQ( icc, nullptr ) << c.what;
      EXPECT_EQ( info.FindValue( "ObjectName" ), name ) << c.what;
      EXPECT_EQ( warnings, std::vector<std::string>{ "The ICC profile of this JPEG file is damaged and was left out:\n" + path } )
          << c.what;
   }

   // An IPTC block that breaks off inside a dataset.
   Layout l = Plain();
   l.Insert( 0xED, std::string( "IPTCPhotoInfo\0", 14 ), Bytes( block.begin(), block.end() - 2 ) );
   l.Insert( 0xE2, std::string( "ICC_PROFILE\0", 12 ), IccChunk( 1, 1, profile ) );
   Save( path, l.Build() );
   qor::Image image;
   std::unique_ptr<Bytes> icc;
   qor::IPTCPhotoInfo info = iptc;
   std::vector<std::string> warnings;
   ReadJPEG( image, path, nullptr, &icc, &info, &warnings );
   EXPECT_EQ( image.Width(), 16 );
   ASSERT_NE( icc, nullptr );
   EXPECT_EQ( *icc, profile );
   EXPECT_TRUE( info.IsEmpty() );
   ASSERT_EQ( warnings.size(), 1u );
   EXPECT_EQ( warnings[0].rfind( "The IPTC photo information of this JPEG file is damaged and was left out (Invalid IIM block", 0 ), 0u )
       << warnings[0];
   EXPECT_EQ( warnings[0].substr( warnings[0].size() - path.size() - 3 ), "):\n" + path );
}

TEST_F( JPEGTest, DamagedFilesAreRefusedAndLeaveTheImageEmpty )
{
   // 65000 x 65000 pixels (48 GB of floats) claimed by a file of a few hundred bytes: refused for the memory it
   // needs, before anything is allocated.
   Layout l = Plain();
   for ( Segment& s : l.segments )
      if ( s.marker == 0xC0 )
         s.data[1] = s.data[3] = 0xFD, s.data[2] = s.data[4] = 0xE8;
   Save( path, l.Build() );
   EXPECT_EQ( RefusalForMemory( path, uint64_t( 16 ) << 30 ),
              "JPEG Support:\nNot enough memory to open a 65000x65000 image of 3 channel(s): 48351.474 MB needed, "
              "16384.000 MB available." );

   // Not a JPEG file at all: the library's own message; a missing file cannot be opened.
   Save( path, Bytes( 100, 0x42 ) );
   EXPECT_EQ( ReadFailure<JPEGLibraryError>( path ), "JPEG Support:\nNot a JPEG file: starts with 0x%02x 0x%02x" );
   qor::Image image;
   EXPECT_THROW( ReadJPEG( image, dir.File( "none.jpg" ), nullptr, nullptr, nullptr ), JPEGUnableToOpenFile );
   JPEGOptions o;
   EXPECT_THROW( WriteJPEG( Smooth( 4, 4, 1, 0 ), dir.File( "no/such/folder.jpg" ), o, nullptr, nullptr ),
                 JPEGUnableToCreateFile );
}

// Data that end early or are damaged still give the image the library can make of them, never silently: the
// warning says what happened and names the file.
TEST_F( JPEGTest, DataThatEndEarlyOrAreDamagedOpenWithAWarning )
{
   JPEGOptions o;
   const qor::Image smooth = Smooth( 256, 256, 3, qor::ColorSpace::RGB );
   for ( bool progressive : { false, true } )
   {
      SCOPED_TRACE( progressive ? "progressive" : "sequential" );
      o.progressive = progressive;
      WriteJPEG( smooth, path, o, nullptr, nullptr );
      const Bytes whole = Load( path );

      Save( path, Bytes( whole.begin(), whole.begin() + long( whole.size() * 2 / 3 ) ) );
      qor::Image image;
      std::vector<std::string> warnings;
      ReadJPEG( image, path, nullptr, nullptr, nullptr, &warnings );
      EXPECT_EQ( image.Width(), 256 );
      EXPECT_EQ( warnings, std::vector<std::string>{ "The data of this JPEG file end early: the image is incomplete:\n" + path } );
      // Nothing said without a list to say it in.
      EXPECT_NO_THROW( ReadJPEG( image, path, nullptr, nullptr, nullptr ) );

      // Bytes of the entropy-coded data overwritten.
      Bytes damaged = whole;
      for ( size_t i = damaged.size() / 2; i < damaged.size() / 2 + 40; ++i )
         damaged[i] = uint8_t( i * 77 );
      Save( path, damaged );
      warnings.clear();
      ReadJPEG( image, path, nullptr, nullptr, nullptr, &warnings );
      EXPECT_EQ( image.Width(), 256 );
      ASSERT_EQ( warnings.size(), 1u );
      EXPECT_EQ( warnings[0].rfind( "This JPEG file holds damaged data (Corrupt JPEG data", 0 ), 0u ) << warnings[0];
      EXPECT_EQ( warnings[0].substr( warnings[0].size() - path.size() - 1 ), "\n" + path );

      // The whole file says nothing.
      Save( path, whole );
      warnings.clear();
      ReadJPEG( image, path, nullptr, nullptr, nullptr, &warnings );
      EXPECT_TRUE( warnings.empty() );
   }
}

// A uniform image compresses to almost nothing, arithmetic-coded above all: the size of the file proves nothing,
// the memory the image needs against what the machine has decides.
TEST_F( JPEGTest, DeclaredSizesAreJudgedByTheMemoryTheyNeedNotByTheSizeOfTheFile )
{
   const auto arithmetic = []( jpeg_compress_struct& c ) { c.arith_code = TRUE; };
   MakeUniformJPEG( path, 4096, 4096, 1, 200, arithmetic );
   EXPECT_LT( std::filesystem::file_size( path ), 1024u );
   qor::Image image;
   ReadJPEG( image, path, nullptr, nullptr, nullptr );
   ASSERT_EQ( image.Width(), 4096 );
   EXPECT_EQ( image.Pixel( 4095, 4095 ), 200.0f / 255 );

   MakeUniformJPEG( path, 2048, 1024, 3, 10, arithmetic );
   ReadJPEG( image, path, nullptr, nullptr, nullptr );
   EXPECT_EQ( image.Height(), 1024 );

   // The 4096 x 4096 image needs 64 MB; a machine with 40 MB to spare refuses it before anything is allocated.
   MakeUniformJPEG( path, 4096, 4096, 1, 200, arithmetic );
   EXPECT_EQ( RefusalForMemory( path, uint64_t( 40 ) << 20 ),
              "JPEG Support:\nNot enough memory to open a 4096x4096 image of 1 channel(s): 64.004 MB needed, "
              "40.000 MB available." );
}

// A file of several scans is read whole before its first row: that reading is part of the monitor's task (its
// first half), shows progress and can be aborted; scans repeated beyond any use are refused.
TEST_F( JPEGTest, TheScansOfAProgressiveFileShowProgressAndCanBeAbortedAndTheirNumberIsBounded )
{
   JPEGOptions o;
   o.progressive = true;
   WriteJPEG( Smooth( 64, 64, 1, qor::ColorSpace::Gray ), path, o, nullptr, nullptr );
   const Bytes plain = Load( path );
   Save( path, WithRepeatedLastScan( plain, 800 ) ); // grey: at most 64 x 14 = 896 scans make sense

   struct Seen
   {
      int64_t total = 0;
      std::vector<int64_t> counts;
      int64_t abortAt = -1; // the count from which to abort; -1: never
   };
   auto record = []( void* data, int32_t, qor::StatusCallback& m ) -> int32_t
   {
      auto* seen = static_cast<Seen*>( data );
      seen->total = m.Total();
      seen->counts.push_back( m.Count() );
      return seen->abortAt >= 0 && m.Count() >= seen->abortAt;
   };
   Seen seen;
   qor::Image image;
   image.Status().SetCallback( record, &seen );
   std::vector<std::string> warnings;
   ReadJPEG( image, path, nullptr, nullptr, nullptr, &warnings );
   EXPECT_EQ( image.Width(), 64 );
   EXPECT_EQ( seen.total, 128 );
   // Events all through the reading of the scans, which takes the first 64 units.
   EXPECT_GT( std::count_if( seen.counts.begin(), seen.counts.end(), []( int64_t c ) { return c > 0 && c < 64; } ), 30 );
   ASSERT_EQ( warnings.size(), 1u );
   EXPECT_EQ( warnings[0].rfind( "This JPEG file holds damaged data (Inconsistent progression sequence", 0 ), 0u ) << warnings[0];

   // An abort among the scans.
   seen = Seen();
   seen.abortAt = 10;
   EXPECT_THROW( ReadJPEG( image, path, nullptr, nullptr, nullptr ), qor::Image::AbortProcessEvent );
   EXPECT_TRUE( image.IsEmpty() );
   EXPECT_LT( seen.counts.back(), 64 );

   // One scan too many, even without a monitor.
   Save( path, WithRepeatedLastScan( plain, 64 * 14 - int( Scans( plain ).size() ) + 1 ) );
   EXPECT_EQ( ReadFailure<JPEGTooManyScans>( path ), "JPEG Support:\nThe JPEG file repeats its scans beyond any use" );
   image.Status().SetCallback( nullptr, nullptr );
   Save( path, WithRepeatedLastScan( plain, 64 * 14 - int( Scans( plain ).size() ) ) );
   EXPECT_NO_THROW( ReadJPEG( image, path, nullptr, nullptr, nullptr ) );
}

TEST_F( JPEGTest, ACMYKFileIsRefusedWithTheLibrarysMessage )
{
   MakeUniformJPEG( path, 8, 8, 4, 100 );
   EXPECT_EQ( ReadFailure<JPEGLibraryError>( path ), "JPEG Support:\nUnsupported color conversion request" );
}

TEST_F( JPEGTest, AnAbortStopsReadingAndWriting )
{
   qor::Image image = Smooth( 8, 600, 1, 0 );
   JPEGOptions o;
   auto abortSoon = []( void* data, int32_t, qor::StatusCallback& ) -> int32_t { return ++*static_cast<int*>( data ) > 2; };
   int events = 0;
   image.Status().SetCallback( abortSoon, &events );
   EXPECT_THROW( WriteJPEG( image, path, o, nullptr, nullptr ), qor::Image::AbortProcessEvent );
   image.Status().SetCallback( nullptr, nullptr );
   WriteJPEG( image, path, o, nullptr, nullptr );

   qor::Image back;
   events = 0;
   back.Status().SetCallback( abortSoon, &events );
   EXPECT_THROW( ReadJPEG( back, path, nullptr, nullptr, nullptr ), qor::Image::AbortProcessEvent );
   EXPECT_TRUE( back.IsEmpty() );
}

namespace
{

class JPEGOpenTest : public test::ImageFileTest
{
};

} // namespace

// Through File > Open: a file whose data end early opens, with one warning that names it.
TEST_F( JPEGOpenTest, AFileWhoseDataEndEarlyOpensWithAWarningNamingIt )
{
   const std::string path = folder.File( "cut.jpg" );
   JPEGOptions o;
   WriteJPEG( Smooth( 128, 128, 3, qor::ColorSpace::RGB ), path, o, nullptr, nullptr );
   const Bytes whole = Load( path );
   Save( path, Bytes( whole.begin(), whole.begin() + long( whole.size() / 2 ) ) );
   prompter.Expect( { "The data of this JPEG file end early: the image is incomplete:\n" + QString::fromStdString( path ),
                      {}, {}, platform::Icon::Warning, platform::Answer::Ok } );
   TImageWindow* w = OpenImageFile( nullptr, path, false, "" );
   ASSERT_NE( w, nullptr );
   EXPECT_EQ( w->image->Width(), 128 );
}
