// gzip-compressed FITS files: read as the plain file would be, with progress and abort, and refused without being
// unpacked further than their headers announce: bombs, files cut short, damaged data.

#include <gtest/gtest.h>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "TestDirs.h"
#include "classlib/ImageTestSupport.h"
#include "formats/FITS.h"
#include "formats/GzipFITS.h"
#include "platform/SystemMemory.h"

namespace
{

void WriteBytes( const std::string& path, const std::string& bytes )
{
   std::ofstream( path, std::ios::binary ) << bytes;
}

std::string ReadBytes( const std::string& path )
{
   std::ifstream in( path, std::ios::binary );
   return std::string( std::istreambuf_iterator<char>( in ), std::istreambuf_iterator<char>() );
}

// A gzip writer over a string: each Add compresses its bytes up to a full flush (the compressor starts afresh after
// it, so that the same bytes added twice give the same compressed bytes); End adds the check sum and length.
class Gzip
{
public:
   Gzip()
   {
      z.zalloc = Z_NULL;
      deflateInit2( &z, 9, Z_DEFLATED, 16 + MAX_WBITS, 8, Z_DEFAULT_STRATEGY );
   }
   ~Gzip() { deflateEnd( &z ); }

   std::string Add( const std::string& bytes, int flush = Z_FULL_FLUSH )
   {
      std::string out;
      z.next_in = reinterpret_cast<Bytef*>( const_cast<char*>( bytes.data() ) );
      z.avail_in = uInt( bytes.size() );
      do
      {
         char chunk[65536];
         z.next_out = reinterpret_cast<Bytef*>( chunk );
         z.avail_out = sizeof chunk;
         deflate( &z, flush );
         out.append( chunk, sizeof chunk - z.avail_out );
      } while ( z.avail_out == 0 );
      return out;
   }
   std::string End() { return Add( std::string(), Z_FINISH ); }

private:
   z_stream z = {};
};

std::string Compressed( const std::string& bytes )
{
   Gzip gzip;
   std::string out = gzip.Add( bytes );
   return out + gzip.End();
}

// A header of FITS cards ("NAME = value", END added), padded to 2880 bytes.
std::string Header( const std::vector<std::pair<std::string, std::string>>& cards )
{
   std::string bytes;
   auto card = [&]( std::string text )
   {
      text.resize( 80, ' ' );
      bytes += text;
   };
   for ( const auto& [name, value] : cards )
   {
      std::string n = name;
      n.resize( 8, ' ' );
      card( n + "= " + std::string( value.size() < 20 ? 20 - value.size() : 0, ' ' ) + value );
   }
   card( "END" );
   bytes.resize( 2880, ' ' );
   return bytes;
}

std::string ImageHeader( int bitpix, std::vector<int64_t> axes )
{
   std::vector<std::pair<std::string, std::string>> cards = {
       { "SIMPLE", "T" }, { "BITPIX", std::to_string( bitpix ) }, { "NAXIS", std::to_string( axes.size() ) } };
   for ( size_t i = 0; i < axes.size(); ++i )
      cards.push_back( { "NAXIS" + std::to_string( i + 1 ), std::to_string( axes[i] ) } );
   return Header( cards );
}

// The largest count reached by the task of each text, and an abort at a given progress event.
struct Monitor
{
   std::map<std::string, std::pair<int64_t, int64_t>> counts; // text -> count, total
   int events = 0;
   int abortAt = 0;

   static int32_t Callback( void* data, int32_t event, qor::StatusCallback& status )
   {
      auto* m = static_cast<Monitor*>( data );
      auto& [count, total] = m->counts[status.Text()];
      count = std::max( count, status.Count() );
      total = status.Total();
      if ( event == qor::StatusCallback::Progress || event == qor::StatusCallback::Done )
         return ++m->events == m->abortAt ? 1 : 0;
      return 0;
   }
};

class GzipFITSTest : public ::testing::Test
{
protected:
   std::string Path( const std::string& name ) const { return dir.File( name ); }

   // The message of what reading the path throws ("" when it reads).
   std::string ReadFailure( const std::string& path, qor::Image& image )
   {
      try
      {
         ReadFITS( image, path, options, profile, &iptc );
      }
      catch ( const FITSException& x )
      {
         return x.Message();
      }
      return std::string();
   }

   std::string ReadFailure( const std::string& path )
   {
      qor::Image image;
      return ReadFailure( path, image );
   }

   // A plain file with an ICC profile and keywords, and its samples.
   std::string PlainFile( qor::Image& image )
   {
      image = test::RandomImage( 300, 200, 3, qor::ColorSpace::RGB, 7 );
      FITSOptions o;
      o.bitsPerSample = 32;
      o.floatingPoint = true;
      o.keywords.Add( new FITSHeaderKeyword( "OBJECT", "'M42'", "the target" ) );
      std::vector<uint8_t> icc( 200, 3 );
      icc[0] = icc[1] = 0;
      icc[2] = 0;
      icc[3] = 200;
      const std::string path = Path( "plain.fits" );
      WriteFITS( image, path, &o, &icc, nullptr );
      return path;
   }

   test::TempDir dir;
   FITSOptions options;
   std::unique_ptr<std::vector<uint8_t>> profile;
   qor::IPTCPhotoInfo iptc;
};

} // namespace

// A compressed file reads as the plain one: samples, keywords, profile; in one gzip member or several, whatever its
// name. The unpacking shows its progress, and an abort leaves the image as it was.
TEST_F( GzipFITSTest, ACompressedFileReadsAsThePlainFile )
{
   qor::Image written;
   const std::string plain = ReadBytes( PlainFile( written ) );
   qor::Image fromPlain;
   ReadFITS( fromPlain, Path( "plain.fits" ), options, profile, &iptc );
   const std::vector<std::string> plainKeywords = [&]
   {
      std::vector<std::string> names;
      for ( const FITSHeaderKeyword* k : options.keywords )
         names.push_back( k->name + "=" + k->value );
      return names;
   }();
   const std::vector<uint8_t> plainProfile = *profile;

   WriteBytes( Path( "m42.fits.gz" ), Compressed( plain ) );
   {
      const size_t half = plain.size() / 2;
      WriteBytes( Path( "members.fits.gz" ), Compressed( plain.substr( 0, half ) ) + Compressed( plain.substr( half ) ) );
   }
   WriteBytes( Path( "named-plainly.fits" ), Compressed( plain ) );
   for ( const char* name : { "m42.fits.gz", "members.fits.gz", "named-plainly.fits" } )
   {
      SCOPED_TRACE( name );
      qor::Image image;
      Monitor m;
      image.Status().SetCallback( &Monitor::Callback, &m );
      options = FITSOptions();
      profile.reset();
      ReadFITS( image, Path( name ), options, profile, &iptc );
      EXPECT_TRUE( test::SamePixels( image, fromPlain ) );
      std::vector<std::string> keywords;
      for ( const FITSHeaderKeyword* k : options.keywords )
         keywords.push_back( k->name + "=" + k->value );
      EXPECT_EQ( keywords, plainKeywords );
      ASSERT_NE( profile, nullptr );
      EXPECT_EQ( *profile, plainProfile );
      const auto unpacking = m.counts["Unpacking compressed FITS file"];
      EXPECT_EQ( unpacking.second, int64_t( std::filesystem::file_size( Path( name ) ) ) );
      EXPECT_EQ( unpacking.first, unpacking.second );
   }

   qor::Image kept( 2, 1 );
   kept.Fill( 0, 0.125f );
   Monitor m;
   kept.Status().SetCallback( &Monitor::Callback, &m );
   m.abortAt = 1;
   EXPECT_THROW( ReadFITS( kept, Path( "m42.fits.gz" ), options, profile, &iptc ), qor::Image::AbortProcessEvent );
   EXPECT_EQ( kept.Width(), 2 );
   EXPECT_EQ( kept[0][1], 0.125f );
}

// Bombs are refused before they are unpacked: a small image followed by a stream of many gigabytes stops one block
// after the image's data; a header announcing more than the memory there is stops before its data.
TEST_F( GzipFITSTest, BombsAreRefusedBeforeTheyAreUnpacked )
{
   // 16 x 16 8-bit samples, then 8 GB of zeros, in a file of 8 MB.
   {
      Gzip gzip;
      std::string bytes = gzip.Add( ImageHeader( 8, { 16, 16 } ) + std::string( 2880, '\x40' ) );
      const std::string zeros = gzip.Add( std::string( 1 << 20, '\0' ) );
      for ( int i = 0; i < 8 * 1024; ++i )
         bytes += zeros;
      WriteBytes( Path( "surplus.fits.gz" ), bytes );
   }
   qor::Image image;
   Monitor m;
   image.Status().SetCallback( &Monitor::Callback, &m );
   EXPECT_EQ( ReadFailure( Path( "surplus.fits.gz" ), image ),
              "FITS Support:\nThe compressed file holds more data than its headers announce:\n" +
                  Path( "surplus.fits.gz" ) );
   const auto unpacking = m.counts["Unpacking compressed FITS file"];
   EXPECT_LT( unpacking.first * 10, unpacking.second ) << "read " << unpacking.first << " of " << unpacking.second;

   // 30000 x 30000 x 3 doubles announced: 21.6 GB unpacked, and 10.8 GB of floats for the image.
   WriteBytes( Path( "huge.fits.gz" ), Compressed( ImageHeader( -64, { 30000, 30000, 3 } ) + std::string( 2880, '\0' ) ) );
   {
      platform::AvailableMemoryScope memory( [] { return std::optional<uint64_t>( uint64_t( 8 ) << 30 ); } );
      EXPECT_EQ( ReadFailure( Path( "huge.fits.gz" ) ),
                 "FITS Support:\nNot enough memory to open the compressed file: it needs 30.2 GB, and 8.0 GB are "
                 "available:\n" +
                     Path( "huge.fits.gz" ) );
   }
   // Axes whose product no memory could hold.
   WriteBytes( Path( "absurd.fits.gz" ),
               Compressed( ImageHeader( -64, { 4000000000, 4000000000, 4000000000 } ) + std::string( 2880, '\0' ) ) );
   EXPECT_EQ( ReadFailure( Path( "absurd.fits.gz" ) ).rfind( "FITS Support:\nNot enough memory to open", 0 ), 0u );
}

// A file cut short, damaged data, and streams that hold no FITS file are refused with messages that say so and name
// the file; the image is left as it was.
TEST_F( GzipFITSTest, CutDamagedAndForeignStreamsAreRefused )
{
   qor::Image written;
   const std::string whole = Compressed( ReadBytes( PlainFile( written ) ) );
   std::string damaged = whole;
   for ( size_t i = damaged.size() / 2; i < damaged.size() / 2 + 64; ++i )
      damaged[i] = char( damaged[i] ^ 0x5A );
   std::string badSum = whole;
   badSum[badSum.size() - 6] ^= 1; // the CRC-32 of the data

   const struct
   {
      const char* name;
      std::string bytes;
      std::string text;
   } cases[] = {
       { "cut.fits.gz", whole.substr( 0, whole.size() / 2 ),
         "The compressed file ends before the data its header announces" },
       { "no-trailer.fits.gz", whole.substr( 0, whole.size() - 8 ),
         "The compressed file ends before the data its header announces" },
       { "header-only.fits.gz", whole.substr( 0, 20 ), "The compressed file ends before the data its header announces" },
       { "bad-sum.fits.gz", badSum, "The compressed file is damaged" },
       { "text.fits.gz", Compressed( std::string( 4000, 'x' ) ), "The compressed file holds no valid FITS header" },
       { "short.fits.gz", Compressed( "SIMPLE  =" ), "The compressed file holds no valid FITS header" },
       { "no-end.fits.gz", Compressed( ImageHeader( 8, { 2, 2 } ).replace( 5 * 80, 3, "XXX" ) + std::string( 2880, 0 ) ),
         "The compressed file ends before the data its header announces" },
       { "bad-bitpix.fits.gz", Compressed( ImageHeader( 12, { 2, 2 } ) + std::string( 2880, 0 ) ),
         "The compressed file holds no valid FITS header" },
   };
   for ( const auto& c : cases )
   {
      SCOPED_TRACE( c.name );
      WriteBytes( Path( c.name ), c.bytes );
      qor::Image kept( 2, 1 );
      kept.Fill( 0, 0.25f );
      EXPECT_EQ( ReadFailure( Path( c.name ), kept ), "FITS Support:\n" + c.text + ":\n" + Path( c.name ) );
      EXPECT_EQ( kept[0][1], 0.25f );
   }

   // Damaged data are refused, as damaged or as cut short, wherever the damage leads the decoder.
   WriteBytes( Path( "damaged.fits.gz" ), damaged );
   const std::string failure = ReadFailure( Path( "damaged.fits.gz" ) );
   EXPECT_EQ( failure.rfind( "FITS Support:\nThe compressed file ", 0 ), 0u ) << failure;

   // Other compressions are still refused before anything is unpacked.
   WriteBytes( Path( "bzip2.fits" ), "BZh91AY&SY" + std::string( 2880, 'S' ) );
   EXPECT_EQ( ReadFailure( Path( "bzip2.fits" ) ),
              "FITS Support:\nCannot open a compressed file; decompress it first:\n" + Path( "bzip2.fits" ) );
}
