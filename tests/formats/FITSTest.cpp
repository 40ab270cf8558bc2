// FITS reading and writing: every sample format, header keywords, extensions, hostile files, progress and abort.

#include <gtest/gtest.h>

#include <fitsio.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cmath>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "TestDirs.h"
#include "classlib/ImageTestSupport.h"
#include "classlib/Parallel.h"
#include "formats/FITS.h"

namespace
{

// ---------------------------------------------------------------------------------------------------------------
// Files made byte by byte

std::string Card( const std::string& text )
{
   std::string c = text;
   c.resize( 80, ' ' );
   return c;
}

// A FITS file: the cards (END added unless told otherwise), padded to 2880 bytes, then the data padded likewise.
std::string FitsBytes( const std::vector<std::string>& cards, const std::string& data, bool end = true,
                       bool padData = true )
{
   std::string bytes;
   for ( const std::string& c : cards )
      bytes += Card( c );
   if ( end )
      bytes += Card( "END" );
   bytes.resize( ( bytes.size() + 2879 ) / 2880 * 2880, ' ' );
   std::string d = data;
   if ( padData )
      d.resize( ( d.size() + 2879 ) / 2880 * 2880, '\0' );
   return bytes + d;
}

std::string Key( const std::string& name, const std::string& value )
{
   std::string n = name;
   n.resize( 8, ' ' );
   std::string v = value;
   if ( v.size() < 20 && v.front() != '\'' )
      v = std::string( 20 - v.size(), ' ' ) + v;
   return n + "= " + v;
}

std::vector<std::string> ImageCards( int bitpix, std::vector<int64_t> axes )
{
   std::vector<std::string> cards = { Key( "SIMPLE", "T" ), Key( "BITPIX", std::to_string( bitpix ) ),
                                      Key( "NAXIS", std::to_string( axes.size() ) ) };
   for ( size_t i = 0; i < axes.size(); ++i )
      cards.push_back( Key( "NAXIS" + std::to_string( i + 1 ), std::to_string( axes[i] ) ) );
   return cards;
}

template <typename T> std::string BigEndian( const std::vector<T>& values )
{
   std::string out;
   for ( T v : values )
   {
      unsigned char b[sizeof( T )];
      std::memcpy( b, &v, sizeof( T ) );
      for ( size_t i = sizeof( T ); i-- > 0; )
         out += char( b[i] );
   }
   return out;
}

// Floating-point samples as BITPIX -32 or -64 stores them.
std::string FloatData( int bitpix, const std::vector<double>& values )
{
   return bitpix == -64 ? BigEndian( values ) : BigEndian( std::vector<float>( values.begin(), values.end() ) );
}

void WriteBytes( const std::string& path, const std::string& bytes )
{
   std::ofstream( path, std::ios::binary ) << bytes;
}

std::string ReadBytes( const std::string& path )
{
   std::ifstream in( path, std::ios::binary );
   return std::string( std::istreambuf_iterator<char>( in ), std::istreambuf_iterator<char>() );
}

// The stored values of the primary HDU as CFITSIO delivers them (BSCALE and BZERO applied).
template <typename T> std::vector<T> StoredValues( const std::string& path, int datatype )
{
   fitsfile* f = nullptr;
   int status = 0;
   fits_open_diskfile( &f, path.c_str(), READONLY, &status );
   int naxis = 0;
   long axes[3] = { 1, 1, 1 };
   fits_get_img_dim( f, &naxis, &status );
   fits_get_img_size( f, 3, axes, &status );
   std::vector<T> values( size_t( axes[0] * axes[1] * axes[2] ) );
   fits_read_img( f, datatype, 1, LONGLONG( values.size() ), nullptr, values.data(), nullptr, &status );
   fits_close_file( f, &status );
   EXPECT_EQ( status, 0 ) << path;
   return values;
}

// fitsverify finds neither errors nor warnings. Without the tool the test is reported as skipped (its other checks
// still run), so a missing check never passes for a made one.
void ExpectVerified( const std::string& path )
{
   if ( std::system( "command -v fitsverify >/dev/null 2>&1" ) != 0 )
      GTEST_SKIP() << "fitsverify is not installed: " << path << " was not verified";
   std::string command = "fitsverify -q '" + path + "' 2>&1";
   FILE* pipe = ::popen( command.c_str(), "r" );
   ASSERT_NE( pipe, nullptr );
   std::string output;
   char buffer[512];
   while ( std::fgets( buffer, sizeof( buffer ), pipe ) != nullptr )
      output += buffer;
   int rc = ::pclose( pipe );
   EXPECT_EQ( rc, 0 ) << output;
   EXPECT_NE( output.find( "verification OK" ), std::string::npos ) << output;
}

// ---------------------------------------------------------------------------------------------------------------

struct Monitor
{
   std::vector<std::string> texts;
   int64_t progress = 0;
   int abortAt = 0; // abort at this progress event (from 1); 0: never

   static int32_t Callback( void* data, int32_t event, qor::StatusCallback& status )
   {
      auto* m = static_cast<Monitor*>( data );
      if ( event == qor::StatusCallback::Started )
         m->texts.push_back( status.Text() );
      if ( event == qor::StatusCallback::Progress || event == qor::StatusCallback::Done )
         return ++m->progress == m->abortAt ? 1 : 0;
      return 0;
   }
};

class FITSTest : public ::testing::Test
{
protected:
   test::TempDir dir;

   std::string Path( const std::string& name ) const { return dir.File( name ); }

   // Reads the file into a fresh image; the options, profile and IPTC information go to the fixture's.
   qor::Image Read( const std::string& path )
   {
      qor::Image image;
      ReadFITS( image, path, options, profile, &iptc );
      return image;
   }

   // The message of what reading the path throws ("" when it reads).
   std::string ReadFailure( const std::string& path )
   {
      try
      {
         Read( path );
      }
      catch ( const FITSException& x )
      {
         return x.Message();
      }
      return std::string();
   }

   FITSOptions options;
   std::unique_ptr<std::vector<uint8_t>> profile;
   qor::IPTCPhotoInfo iptc;
};

FITSOptions Format( int32_t bits, bool isUnsigned, bool isFloat )
{
   FITSOptions o;
   o.bitsPerSample = bits;
   o.unsignedSamples = isUnsigned;
   o.floatingPoint = isFloat;
   return o;
}

const float NaN = std::numeric_limits<float>::quiet_NaN();

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Sample formats

struct FormatCase
{
   const char* name;
   int32_t bits;
   bool isUnsigned;
   bool isFloat;
   int bitpix;         // BITPIX in the file
   long double range;  // of the stored values
   long double offset; // stored value of 0
};

void PrintTo( const FormatCase& c, std::ostream* os )
{
   *os << c.name;
}

class FITSFormatTest : public FITSTest, public ::testing::WithParamInterface<FormatCase>
{
};

TEST_P( FITSFormatTest, WritesRoundedValuesAndReadsThemBack )
{
   const FormatCase& fc = GetParam();
   // Ties (0.5), a quarter that truncation would get wrong, thirds, out-of-range and NaN samples.
   const std::vector<float> samples = { 0.0f,  1.0f, 0.5f, 0.25f,      1.0f / 3, 0.75f,
                                        -0.2f, 1.5f, NaN,  2.0f / 255, 1e-9f,    0.999f };
   qor::Image image( 4, 3 );
   std::copy( samples.begin(), samples.end(), image[0] );
   FITSOptions written = Format( fc.bits, fc.isUnsigned, fc.isFloat );
   const std::string path = Path( std::string( fc.name ) + ".fits" );
   WriteFITS( image, path, &written, nullptr, nullptr );
   ExpectVerified( path );

   // The header says what the options asked for.
   fitsfile* f = nullptr;
   int status = 0, bitpix = 0;
   fits_open_diskfile( &f, path.c_str(), READONLY, &status );
   fits_get_img_equivtype( f, &bitpix, &status );
   fits_close_file( f, &status );
   EXPECT_EQ( bitpix, fc.bitpix );

   // Stored values: clamped (NaN to 0), scaled, rounded to nearest with ties to even, offset.
   if ( fc.isFloat )
   {
      std::vector<double> stored = StoredValues<double>( path, TDOUBLE );
      for ( size_t i = 0; i < samples.size(); ++i )
      {
         float s = std::isnan( samples[i] ) ? 0.0f : std::clamp( samples[i], 0.0f, 1.0f );
         EXPECT_EQ( stored[i], double( s ) ) << i;
      }
   }
   else
   {
      std::vector<long long> stored = StoredValues<long long>( path, TLONGLONG );
      for ( size_t i = 0; i < samples.size(); ++i )
      {
         long double s = std::isnan( samples[i] ) ? 0 : std::clamp( samples[i], 0.0f, 1.0f );
         long double expected = std::nearbyint( s * fc.range ) + fc.offset;
         EXPECT_EQ( (long double)stored[i], expected ) << i;
      }
      // Known answers: 1 is the largest value of the format, 0.5 a tie that goes to the even neighbour.
      long double top = fc.range + fc.offset;
      EXPECT_EQ( (long double)stored[1], top );
      if ( fc.bits == 8 )
      {
         EXPECT_EQ( stored[2], 128 );
         EXPECT_EQ( stored[3], 64 ); // 63.75, not truncated to 63
      }
      if ( fc.bits == 64 )
      {
         EXPECT_EQ( stored[1], std::numeric_limits<long long>::max() ); // never wrapped to the smallest
      }
   }

   // Reading gives the samples back within half a step, and the options the format.
   qor::Image back = Read( path );
   ASSERT_EQ( back.Width(), 4 );
   ASSERT_EQ( back.Height(), 3 );
   EXPECT_EQ( back.NumberOfChannels(), 1 );
   double tolerance = fc.isFloat ? 0 : double( 0.5L / fc.range ) + 1e-7;
   for ( size_t i = 0; i < samples.size(); ++i )
   {
      float s = std::isnan( samples[i] ) ? 0.0f : std::clamp( samples[i], 0.0f, 1.0f );
      EXPECT_NEAR( back[0][i], s, tolerance ) << i;
      EXPECT_GE( back[0][i], 0.0f );
      EXPECT_LE( back[0][i], 1.0f );
   }
   EXPECT_EQ( options.bitsPerSample, fc.bits );
   EXPECT_EQ( options.unsignedSamples, fc.isUnsigned && !fc.isFloat );
   EXPECT_EQ( options.floatingPoint, fc.isFloat );
}

INSTANTIATE_TEST_SUITE_P( EveryFormat, FITSFormatTest,
                          ::testing::Values( FormatCase{ "UInt8", 8, true, false, BYTE_IMG, 255, 0 },
                                             FormatCase{ "UInt16", 16, true, false, USHORT_IMG, 65535, 0 },
                                             FormatCase{ "Int16", 16, false, false, SHORT_IMG, 65535, -32768 },
                                             FormatCase{ "UInt32", 32, true, false, ULONG_IMG, 4294967295.0L, 0 },
                                             FormatCase{ "Int32", 32, false, false, LONG_IMG, 4294967295.0L,
                                                         -2147483648.0L },
                                             FormatCase{ "Int64", 64, false, false, LONGLONG_IMG,
                                                         18446744073709551615.0L, -9223372036854775808.0L },
                                             FormatCase{ "Float32", 32, false, true, FLOAT_IMG, 1, 0 },
                                             FormatCase{ "Float64", 64, false, true, DOUBLE_IMG, 1, 0 } ),
                          []( const ::testing::TestParamInfo<FormatCase>& info )
                          { return std::string( info.param.name ); } );

TEST_F( FITSTest, WithoutOptionsTheWriterStoresUnsigned16BitsAndNoKeywords )
{
   qor::Image image( 2, 1 );
   image[0][0] = 0.5f;
   image[0][1] = 1.0f;
   WriteFITS( image, Path( "plain.fits" ), nullptr, nullptr, nullptr );
   EXPECT_EQ( StoredValues<long>( Path( "plain.fits" ), TLONG ), ( std::vector<long>{ 32768, 65535 } ) );
   Read( Path( "plain.fits" ) );
   EXPECT_EQ( options.bitsPerSample, 16 );
   EXPECT_TRUE( options.unsignedSamples );
   for ( const FITSHeaderKeyword* k : options.keywords )
      EXPECT_NE( k->name, "LUMFORGE" );
   ExpectVerified( Path( "plain.fits" ) );
}

// Integer files read and written again in their own format keep every stored value.
TEST_F( FITSTest, IntegerFilesReadAndWrittenAgainAreIdenticalSampleForSample )
{
   struct Case
   {
      int bitpix;
      std::vector<std::string> extra;
   } cases[] = { { 16, {} }, { 16, { Key( "BZERO", "32768" ) } }, { 8, {} } };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.bitpix );
      std::string data;
      int64_t w = 256, h = c.bitpix == 8 ? 1 : 256;
      if ( c.bitpix == 16 )
      {
         std::vector<int16_t> all;
         for ( int32_t v = -32768; v <= 32767; ++v )
            all.push_back( int16_t( v ) );
         data = BigEndian( all );
      }
      else
         for ( int v = 0; v < 256; ++v )
            data += char( v );
      std::vector<std::string> cards = ImageCards( c.bitpix, { w, h } );
      cards.insert( cards.end(), c.extra.begin(), c.extra.end() );
      WriteBytes( Path( "in.fits" ), FitsBytes( cards, data ) );

      qor::Image image = Read( Path( "in.fits" ) );
      WriteFITS( image, Path( "out.fits" ), &options, nullptr, nullptr );
      EXPECT_EQ( StoredValues<long>( Path( "out.fits" ), TLONG ), StoredValues<long>( Path( "in.fits" ), TLONG ) );
      ExpectVerified( Path( "out.fits" ) );
   }
}

// Signed bytes, 64-bit unsigned data and negative scales are mapped from the range of their stored type.
TEST_F( FITSTest, ScaledIntegerTypesMapTheirWholeRangeOntoZeroToOne )
{
   struct Case
   {
      const char* what;
      std::vector<std::string> cards;
      std::string data;
      std::vector<float> expected;
      int32_t bits;
      bool isUnsigned;
   } cases[] = {
       { "signed bytes",
         { Key( "BZERO", "-128" ) },
         std::string( "\x00\x80\xff", 3 ),
         { 0, 128.0f / 255, 1 },
         8,
         true },
       { "unsigned 64-bit",
         { Key( "BZERO", "9223372036854775808" ) },
         BigEndian(
             std::vector<int64_t>{ std::numeric_limits<int64_t>::min(), 0, std::numeric_limits<int64_t>::max() } ),
         { 0, 0.5f, 1 },
         64,
         false },
       { "negative scale",
         { Key( "BSCALE", "-1" ) },
         BigEndian( std::vector<int16_t>{ -32768, 0, 32767 } ),
         { 1, 32767.0f / 65535, 0 },
         32, // -1 * int16 needs 32 bits
         false },
       { "scale of two with offset",
         { Key( "BSCALE", "2" ), Key( "BZERO", "1000" ) },
         BigEndian( std::vector<int16_t>{ -32768, 0, 32767 } ),
         { 0, 32768.0f / 65535, 1 },
         32,
         false },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.what );
      int bitpix = c.bits == 8 ? 8 : c.bits == 64 ? 64 : 16;
      std::vector<std::string> cards = ImageCards( bitpix, { 3, 1 } );
      cards.insert( cards.end(), c.cards.begin(), c.cards.end() );
      WriteBytes( Path( "scaled.fits" ), FitsBytes( cards, c.data ) );
      qor::Image image = Read( Path( "scaled.fits" ) );
      ASSERT_EQ( image.NumberOfPixels(), 3 );
      for ( int i = 0; i < 3; ++i )
         EXPECT_NEAR( image[0][i], c.expected[i], 1e-7 ) << i;
      EXPECT_EQ( options.bitsPerSample, c.bits );
      EXPECT_EQ( options.unsignedSamples, c.isUnsigned );
   }
}

// ---------------------------------------------------------------------------------------------------------------
// Floating-point data and channels

TEST_F( FITSTest, FloatDataInsideZeroToOneAreTakenAsTheyAre )
{
   std::vector<float> values = { 0.0f, 0.123456789f, 0.5f, 1.0f, NaN, 0.75f };
   std::vector<std::string> cards = ImageCards( -32, { 3, 2 } );
   WriteBytes( Path( "f.fits" ), FitsBytes( cards, BigEndian( values ) ) );
   qor::Image image = Read( Path( "f.fits" ) );
   for ( int i = 0; i < 6; ++i )
      EXPECT_EQ( image[0][i], i == 4 ? 0.0f : values[size_t( i )] ) << i;
   EXPECT_TRUE( options.floatingPoint );
   EXPECT_EQ( options.bitsPerSample, 32 );
}

// The colour channels share one range (their balance is kept); an alpha channel has its own.
TEST_F( FITSTest, FloatColourChannelsShareOneRangeAndAlphaChannelsHaveTheirOwn )
{
   // Red in [0, 1], green up to 2.5, blue down to -0.5, alpha up to 4; one infinite sample is passed over.
   std::vector<double> planes = { 0.0,  1.0, //
                                  0.5,  2.5, //
                                  -0.5, 1.0, //
                                  0.0,  4.0 };
   planes[1] = std::numeric_limits<double>::infinity(); // red's second sample
   std::vector<std::string> cards = ImageCards( -64, { 2, 1, 4 } );
   WriteBytes( Path( "rgba.fits" ), FitsBytes( cards, BigEndian( planes ) ) );
   qor::Image image = Read( Path( "rgba.fits" ) );
   ASSERT_TRUE( image.IsColor() );
   ASSERT_EQ( image.NumberOfAlphaChannels(), 1 );
   // Nominal range [-0.5, 2.5]: (x + 0.5) / 3.
   EXPECT_FLOAT_EQ( image[0][0], 0.5f / 3 );
   EXPECT_EQ( image[0][1], 1.0f );
   EXPECT_FLOAT_EQ( image[1][0], 1.0f / 3 );
   EXPECT_FLOAT_EQ( image[1][1], 1.0f );
   EXPECT_FLOAT_EQ( image[2][0], 0.0f );
   EXPECT_FLOAT_EQ( image[2][1], 0.5f );
   // Alpha range [0, 4].
   EXPECT_FLOAT_EQ( image[3][0], 0.0f );
   EXPECT_FLOAT_EQ( image[3][1], 1.0f );
   EXPECT_EQ( options.bitsPerSample, 64 );
   EXPECT_TRUE( options.floatingPoint );
}

// NaN and the infinities end in [0, 1] like every other sample: NaN at 0, an infinity at the end of the range it
// points to, in both float widths, inside [0, 1] or with a range the finite samples widen, and with a reversing scale.
TEST_F( FITSTest, NonFiniteFloatSamplesEndInZeroToOne )
{
   const double inf = std::numeric_limits<double>::infinity();
   struct Case
   {
      const char* name;
      int bitpix;
      const char* bscale; // nullptr: none
      double first;       // the one finite sample
      float expected[4];  // of first, NaN, +inf, -inf
   } cases[] = { { "float", -32, nullptr, 0.5, { 0.5f, 0, 1, 0 } },
                 { "double", -64, nullptr, 0.5, { 0.5f, 0, 1, 0 } },
                 { "widened", -32, nullptr, 2.0, { 1, 0, 1, 0 } },
                 { "reversed", -32, "-1.0", -0.5, { 0.5f, 0, 0, 1 } } };
   // A short row, and a long one with the three inside what the range search takes several samples at a time.
   for ( const Case& c : cases )
      for ( int32_t width : { 4, 40 } )
      {
         SCOPED_TRACE( std::string( c.name ) + ", " + std::to_string( width ) + " samples" );
         const int32_t at = width == 4 ? 1 : 17;
         std::vector<double> values( size_t( width ), c.first );
         values[size_t( at )] = std::numeric_limits<double>::quiet_NaN();
         values[size_t( at + 1 )] = inf;
         values[size_t( at + 2 )] = -inf;
         std::vector<std::string> cards = ImageCards( c.bitpix, { width, 1 } );
         if ( c.bscale != nullptr )
            cards.push_back( Key( "BSCALE", c.bscale ) );
         WriteBytes( Path( "nf.fits" ), FitsBytes( cards, FloatData( c.bitpix, values ) ) );
         qor::Image image = Read( Path( "nf.fits" ) );
         for ( int32_t i = 0; i < width; ++i )
            EXPECT_EQ( image[0][i], c.expected[i < at || i > at + 2 ? 0 : i - at + 1] ) << i;
      }
}

// A physical range wider than the largest double, from the samples themselves or from BSCALE and BZERO, is mapped
// like any other: its ends to 0 and 1, the middle to 0.5.
TEST_F( FITSTest, FloatRangesBeyondTheLargestDoubleAreNormalised )
{
   struct Case
   {
      const char* name;
      int bitpix;
      const char* bscale; // nullptr: none
      const char* bzero;
      double values[3];
      float expected[3];
   } cases[] = { { "samples", -64, nullptr, nullptr, { -1e308, 0, 1e308 }, { 0, 0.5f, 1 } },
                 { "scale", -64, "10.0", nullptr, { 0, 1e308, 5e307 }, { 0, 1, 0.5f } },
                 { "reversing scale", -64, "-10.0", nullptr, { 0, 1e308, 5e307 }, { 1, 0, 0.5f } },
                 { "scale and offset", -32, "1.0E300", "1.0E308", { -2e8, 0, 2e8 }, { 0, 0.5f, 1 } } };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.name );
      std::vector<std::string> cards = ImageCards( c.bitpix, { 3, 1 } );
      for ( const auto& [name, value] : { std::pair( "BSCALE", c.bscale ), std::pair( "BZERO", c.bzero ) } )
         if ( value != nullptr )
            cards.push_back( Key( name, value ) );
      WriteBytes( Path( "wide.fits" ),
                  FitsBytes( cards, FloatData( c.bitpix, { std::begin( c.values ), std::end( c.values ) } ) ) );
      qor::Image image = Read( Path( "wide.fits" ) );
      for ( int i = 0; i < 3; ++i )
         EXPECT_NEAR( image[0][i], c.expected[i], 1e-6 ) << i;
   }
}

TEST_F( FITSTest, PlanesAndColourSpaceKeywordDecideTheChannels )
{
   struct Case
   {
      int64_t planes; // 0: a two-axis image
      const char* colorspc;
      bool color;
      int32_t alpha;
   } cases[] = { { 0, nullptr, false, 0 }, { 2, nullptr, false, 1 },  { 3, nullptr, true, 0 },
                 { 4, nullptr, true, 1 },  { 3, "'Gray'", false, 2 }, { 3, "'Grayscale'", false, 2 },
                 { 2, "'RGB'", false, 1 }, { 0, "'RGB'", false, 0 },  { 1, nullptr, false, 0 } };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( std::to_string( c.planes ) + ( c.colorspc ? c.colorspc : "" ) );
      std::vector<int64_t> axes = { 2, 2 };
      if ( c.planes > 0 )
         axes.push_back( c.planes );
      std::vector<std::string> cards = ImageCards( 8, axes );
      if ( c.colorspc )
         cards.push_back( Key( "COLORSPC", c.colorspc ) );
      WriteBytes( Path( "ch.fits" ),
                  FitsBytes( cards, std::string( size_t( 4 * std::max<int64_t>( 1, c.planes ) ), '\x10' ) ) );
      qor::Image image = Read( Path( "ch.fits" ) );
      EXPECT_EQ( image.IsColor(), c.color );
      EXPECT_EQ( image.NumberOfAlphaChannels(), c.alpha );
      EXPECT_EQ( image.NumberOfChannels(), std::max<int64_t>( 1, c.planes ) );
   }
}

TEST_F( FITSTest, ColourImagesWithAlphaRoundTrip )
{
   qor::Image image = test::RandomImage( 5, 4, 4, qor::ColorSpace::RGB, 7 );
   FITSOptions o = Format( 32, false, true );
   WriteFITS( image, Path( "rgba.fits" ), &o, nullptr, nullptr );
   qor::Image back = Read( Path( "rgba.fits" ) );
   EXPECT_TRUE( test::SamePixels( back, image ) );
   EXPECT_TRUE( back.IsColor() );
   EXPECT_EQ( back.NumberOfAlphaChannels(), 1 );
   ExpectVerified( Path( "rgba.fits" ) );

   // Other colour spaces keep their three colour planes (not read back as grey with two alpha channels).
   image.SetColorSpaceCode( qor::ColorSpace::HSV );
   WriteFITS( image, Path( "hsv.fits" ), &o, nullptr, nullptr );
   back = Read( Path( "hsv.fits" ) );
   EXPECT_TRUE( back.IsColor() );
   EXPECT_EQ( back.NumberOfNominalChannels(), 3 );
   EXPECT_EQ( back.NumberOfAlphaChannels(), 1 );
}

TEST_F( FITSTest, ReadingGivesTheSameBitsOnOneThreadAndOnAll )
{
   // Float data that need mapping, and 16-bit data.
   qor::Image source = test::RandomImage( 700, 1600, 3, qor::ColorSpace::RGB, 3, -0.5f, 3.0f );
   std::vector<float> values( source[0], source[0] + source.NumberOfPixels() );
   for ( int c = 1; c < 3; ++c )
      values.insert( values.end(), source[c], source[c] + source.NumberOfPixels() );
   WriteBytes( Path( "big.fits" ), FitsBytes( ImageCards( -32, { 700, 1600, 3 } ), BigEndian( values ) ) );
   FITSOptions o16 = Format( 16, false, false );
   WriteFITS( source, Path( "big16.fits" ), &o16, nullptr, nullptr );
   for ( const char* name : { "big.fits", "big16.fits" } )
   {
      qor::Image one, all;
      {
         qor::ThreadCountScope scope( 1 );
         one = Read( Path( name ) );
      }
      {
         qor::ThreadCountScope scope( 0 );
         all = Read( Path( name ) );
      }
      EXPECT_TRUE( test::SamePixels( one, all ) ) << name;
   }
}

// Floating-point samples of a plain disk file are read past CFITSIO; a gzip-compressed copy, which CFITSIO unpacks
// itself, takes CFITSIO's own reads. Both give the same bits, options and keywords, whatever the samples hold.
TEST_F( FITSTest, FloatFilesReadStraightFromDiskMatchTheValuesCFITSIOReads )
{
   // RGB and alpha, wider than [0, 1], with NaN and both infinities in colour and alpha planes.
   const int32_t w = 301, h = 457;
   qor::Image source = test::RandomImage( w, h, 4, qor::ColorSpace::RGB, 17, -0.75f, 2.5f );
   const float inf = std::numeric_limits<float>::infinity();
   const float special[] = { NaN, inf, -inf, -0.0f, 7.0f, -3.0f };
   for ( int c : { 0, 2, 3 } )
      for ( size_t i = 0; i < std::size( special ); ++i )
         source[c][i * 997 + size_t( c )] = special[i];
   std::vector<double> values;
   for ( int c = 0; c < 4; ++c )
      values.insert( values.end(), source[c], source[c] + source.NumberOfPixels() );
   const std::vector<float> floats( values.begin(), values.end() );
   struct Case
   {
      const char* name;
      int bitpix;
      std::vector<std::string> more;
   } cases[] = { { "float", -32, {} },
                 { "double", -64, {} },
                 { "float scaled", -32, { Key( "BSCALE", "-2.5" ), Key( "BZERO", "0.25" ) } },
                 { "grey float", -32, { Key( "COLORSPC", "'GRAY'" ) } } };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.name );
      std::vector<std::string> cards = ImageCards( c.bitpix, { w, h, 4 } );
      cards.insert( cards.end(), c.more.begin(), c.more.end() );
      const std::string data = c.bitpix == -32 ? BigEndian( floats ) : BigEndian( values );
      const std::string bytes = FitsBytes( cards, data );
      WriteBytes( Path( "raw.fits" ), bytes );
      qor::Image direct = Read( Path( "raw.fits" ) );

      // CFITSIO's physical values mapped as the reader promises: the finite values' range widened to take in [0, 1],
      // one for the colour planes and one for each alpha plane; NaN at 0, each infinity at its end.
      const std::vector<double> physical = StoredValues<double>( Path( "raw.fits" ), TDOUBLE );
      const int64_t plane = source.NumberOfPixels();
      auto range = [&]( int first, int last )
      {
         double lo = 0, hi = 1;
         for ( int64_t i = first * plane; i < last * plane; ++i )
            if ( std::isfinite( physical[size_t( i )] ) )
            {
               lo = std::min( lo, physical[size_t( i )] );
               hi = std::max( hi, physical[size_t( i )] );
            }
         return std::pair( lo, hi );
      };
      const int nominal = direct.NumberOfNominalChannels();
      for ( int ch = 0; ch < 4; ++ch )
      {
         const auto [lo, hi] = ch < nominal ? range( 0, nominal ) : range( ch, ch + 1 );
         for ( int64_t i = 0; i < plane; ++i )
         {
            const double p = physical[size_t( ch * plane + i )];
            const double expected = std::isnan( p ) ? 0 : std::clamp( ( p - lo ) / ( hi - lo ), 0.0, 1.0 );
            ASSERT_NEAR( direct[ch][i], expected, 1e-6 ) << ch << " " << i;
         }
      }
      qor::ThreadCountScope scope( 1 );
      EXPECT_TRUE( test::SamePixels( Read( Path( "raw.fits" ) ), direct ) );

      // Cut inside the data unit or inside its padding: refused, and the open image stays as it was.
      const size_t dataEnd = bytes.size() - ( ( 2880 - data.size() % 2880 ) % 2880 );
      for ( size_t length : { dataEnd - data.size() / 2, dataEnd - 4, bytes.size() - 1 } )
      {
         WriteBytes( Path( "cut.fits" ), bytes.substr( 0, length ) );
         qor::Image kept( 2, 1 );
         kept.Fill( 0, 0.125f );
         try
         {
            ReadFITS( kept, Path( "cut.fits" ), options, profile, &iptc );
            ADD_FAILURE() << "no exception at " << length;
         }
         catch ( const FITSException& x )
         {
            EXPECT_EQ( x.Message(), "FITS Support:\nError reading FITS file" );
         }
         EXPECT_EQ( kept.Width(), 2 );
         EXPECT_EQ( kept[0][1], 0.125f );
      }
   }
}

// ---------------------------------------------------------------------------------------------------------------
// Hostile files

struct BadFile
{
   const char* what;
   std::string bytes;
   std::string message;
};

TEST_F( FITSTest, MalformedFilesRaiseTheirErrorAndChangeNothing )
{
   const std::string data16 = BigEndian( std::vector<int16_t>( 12, 7 ) );
   auto with = []( std::vector<std::string> cards, std::vector<std::string> more )
   {
      cards.insert( cards.end(), more.begin(), more.end() );
      return cards;
   };
   auto iptcExtension = []( int bitpix, const std::string& data )
   {
      return FitsBytes( { Key( "XTENSION", "'IMAGE   '" ), Key( "BITPIX", std::to_string( bitpix ) ),
                          Key( "NAXIS", "1" ),
                          Key( "NAXIS1", std::to_string( data.size() / ( std::abs( bitpix ) / 8 ) ) ),
                          Key( "PCOUNT", "0" ), Key( "GCOUNT", "1" ), Key( "EXTNAME", "'IPTCPhotoInfo'" ) },
                        data );
   };
   const std::string good = FitsBytes( with( ImageCards( 16, { 4, 3 } ), { Key( "EXTEND", "T" ) } ), data16 );
   const std::string open = "FITS Support:\nUnable to open FITS file";
   const std::string dims = "FITS Support:\nUnsupported number of image dimensions in FITS file:\n" + Path( "bad.fits" );
   const std::string size = "FITS Support:\nInvalid or unsupported image size in FITS file";
   const std::string read = "FITS Support:\nError reading FITS file";
   const std::string keyword = "FITS Support:\nError reading keyword data from FITS header";
   const BadFile cases[] = {
       { "not FITS", std::string( 2880, 'x' ), open },
       { "empty", std::string(), open },
       { "missing END", FitsBytes( ImageCards( 16, { 4, 3 } ), data16, false ), open },
       { "truncated data", FitsBytes( ImageCards( 16, { 4, 3 } ), data16.substr( 0, 10 ), true, false ), read },
       { "NAXIS 1", FitsBytes( ImageCards( 16, { 12 } ), data16 ), dims },
       { "NAXIS 4", FitsBytes( ImageCards( 16, { 2, 2, 3, 1 } ), data16 ), dims },
       { "NAXIS 0", FitsBytes( ImageCards( 16, {} ), "" ), "FITS Support:\nThe FITS file holds no image:\n" + Path( "bad.fits" ) },
       { "NAXIS3 0", FitsBytes( ImageCards( 16, { 4, 3, 0 } ), "" ), dims },
       { "NAXIS3 huge", FitsBytes( ImageCards( 16, { 4, 3, 100000 } ), data16 ), dims },
       { "width 32001", FitsBytes( ImageCards( 8, { 32001, 1 } ), std::string( 32001, '\0' ) ), size },
       { "height 32001", FitsBytes( ImageCards( 8, { 1, 32001 } ), std::string( 32001, '\0' ) ), size },
       { "size bomb", FitsBytes( ImageCards( -32, { 32000, 32000, 1000 } ), data16 ), read },
       { "BSCALE 0", FitsBytes( with( ImageCards( 16, { 4, 3 } ), { Key( "BSCALE", "0" ) } ), data16 ), keyword },
       { "BSCALE text", FitsBytes( with( ImageCards( 16, { 4, 3 } ), { Key( "BSCALE", "'big'" ) } ), data16 ),
         keyword },
       { "IPTC extension of 16 bits", good + iptcExtension( 16, std::string( 4, '\0' ) ),
         "FITS Support:\nInvalid IPTC PhotoInfo extension HDU in FITS file" },
       { "IPTC extension with a broken block", good + iptcExtension( 8, std::string( "\x1C\x02\x05\x7F\xFF", 5 ) ),
         "FITS Support:\nInvalid IPTC PhotoInfo extension HDU in FITS file" },
   };
   for ( const BadFile& c : cases )
   {
      SCOPED_TRACE( c.what );
      WriteBytes( Path( "bad.fits" ), c.bytes );
      qor::Image image( 3, 2, 1 );
      image.Fill( 0, 0.25f );
      FITSOptions o = Format( 8, true, false );
      o.keywords.Add( new FITSHeaderKeyword( "OBJECT", "'M31'", "" ) );
      o.resolution = 300;
      auto icc = std::make_unique<std::vector<uint8_t>>( 4, 1 );
      const std::vector<uint8_t>* iccBefore = icc.get();
      try
      {
         ReadFITS( image, Path( "bad.fits" ), o, icc, &iptc );
         ADD_FAILURE() << "no exception";
      }
      catch ( const FITSException& x )
      {
         EXPECT_EQ( x.Message(), c.message );
         EXPECT_EQ( x.Caption(), "QOR Exception" );
         EXPECT_EQ( x.Path(), Path( "bad.fits" ) );
      }
      ASSERT_EQ( image.Width(), 3 );
      EXPECT_EQ( image.Height(), 2 );
      EXPECT_EQ( image[0][5], 0.25f );
      EXPECT_EQ( o.bitsPerSample, 8 );
      EXPECT_EQ( o.resolution, 300 );
      ASSERT_EQ( o.keywords.Length(), 1u );
      EXPECT_EQ( ( *o.keywords.Begin() )->name, "OBJECT" );
      EXPECT_EQ( icc.get(), iccBefore );
   }
   // The good file itself is fine.
   WriteBytes( Path( "good.fits" ), good );
   EXPECT_EQ( Read( Path( "good.fits" ) ).NumberOfPixels(), 12 );
}

TEST_F( FITSTest, PathsAreTakenAsTheyAreWithoutFilenameSyntax )
{
   qor::Image image( 2, 2 );
   image.Fill( 0, 0.5f );
   std::string path = Path( "odd[1].fits" );
   WriteFITS( image, path, nullptr, nullptr, nullptr );
   EXPECT_TRUE( std::filesystem::exists( path ) );
   EXPECT_EQ( Read( path ).NumberOfPixels(), 4 );
   try
   {
      Read( Path( "missing.fits" ) );
      ADD_FAILURE();
   }
   catch ( const FITSUnableToOpenFile& x )
   {
      EXPECT_NE( x.Status(), 0 );
      EXPECT_FALSE( x.StatusText().empty() );
   }
}

// A file whose primary HDU is empty says what it holds instead, and names the file: archives store images in
// extensions, or tile-compressed in tables.
TEST_F( FITSTest, FilesWithoutAPrimaryImageSayWhatTheyHold )
{
   const std::string data16 = BigEndian( std::vector<int16_t>( 12, 7 ) );
   const std::string empty = FitsBytes( { Key( "SIMPLE", "T" ), Key( "BITPIX", "8" ), Key( "NAXIS", "0" ),
                                          Key( "EXTEND", "T" ) },
                                        "" );
   // The mandatory cards in their order, then the others.
   auto extension = []( const std::string& type, int bitpix, std::vector<std::string> more, const std::string& data )
   {
      std::vector<std::string> cards = { Key( "XTENSION", type ), Key( "BITPIX", std::to_string( bitpix ) ),
                                         Key( "NAXIS", "2" ),     Key( "NAXIS1", "4" ),
                                         Key( "NAXIS2", "3" ),    Key( "PCOUNT", "0" ),
                                         Key( "GCOUNT", "1" ) };
      cards.insert( cards.end(), more.begin(), more.end() );
      return FitsBytes( cards, data );
   };
   const std::string table =
       extension( "'BINTABLE'", 8, { Key( "TFIELDS", "1" ), Key( "TFORM1", "'J'" ) }, std::string( 12, '\0' ) );
   const std::string image = extension( "'IMAGE   '", 16, {}, data16 );
   WriteBytes( Path( "extension.fits" ), empty + table + image );
   WriteBytes( Path( "tables.fits" ), empty + table );

   // A tile-compressed image as CFITSIO writes one: an empty primary HDU and the image in a binary table.
   const std::string compressed = Path( "tiles.fits" );
   {
      fitsfile* f = nullptr;
      int status = 0;
      long axes[2] = { 16, 8 };
      std::vector<int16_t> pixels( 128, 5 );
      fits_create_file( &f, ( compressed + "[compress R]" ).c_str(), &status );
      fits_create_img( f, SHORT_IMG, 2, axes, &status );
      fits_write_img( f, TSHORT, 1, 128, pixels.data(), &status );
      fits_close_file( f, &status );
      ASSERT_EQ( status, 0 );
   }

   const struct
   {
      const char* name;
      std::string text;
   } cases[] = {
       { "extension.fits", "Cannot open an image stored in an extension: only the primary image of a FITS file is read" },
       { "tiles.fits", "Cannot open a tile-compressed image: only the primary image of a FITS file is read, uncompressed" },
       { "tables.fits", "The FITS file holds no image" },
   };
   for ( const auto& c : cases )
   {
      SCOPED_TRACE( c.name );
      EXPECT_EQ( ReadFailure( Path( c.name ) ), "FITS Support:\n" + c.text + ":\n" + Path( c.name ) );
   }
}

// A file compressed otherwise than by gzip is refused before anything is unpacked, whatever its name says; a gzip
// file is read whatever its name says; a missing name never opens the compressed file beside it.
TEST_F( FITSTest, CompressedFilesAreRefusedAndOnlyTheNamedFileIsOpened )
{
   const std::string plain = Path( "plain.fits" );
   WriteBytes( plain, FitsBytes( ImageCards( 8, { 4, 4 } ), std::string( 16, '\x40' ) ) );
   ASSERT_EQ( std::system( ( "gzip -n -c '" + plain + "' > '" + Path( "gzip.fits" ) + "'" ).c_str() ), 0 );
   ASSERT_EQ( ReadBytes( Path( "gzip.fits" ) ).substr( 0, 2 ), "\x1F\x8B" );
   WriteBytes( Path( "compress.fits" ), std::string( "\x1F\x9D\x90" ) + std::string( 2880, 'S' ) );
   WriteBytes( Path( "bzip2.fits" ), "BZh91AY&SY" + std::string( 2880, 'S' ) );
   WriteBytes( Path( "zip.fits" ), std::string( "PK\x03\x04", 4 ) + std::string( 2880, 'S' ) );
   EXPECT_EQ( Read( Path( "gzip.fits" ) ).NumberOfPixels(), 16 );
   for ( const char* name : { "compress.fits", "bzip2.fits", "zip.fits" } )
   {
      SCOPED_TRACE( name );
      qor::Image image( 1, 1 );
      image.Fill( 0, 0.25f );
      EXPECT_THROW( ReadFITS( image, Path( name ), options, profile, &iptc ), FITSCompressedFile );
      EXPECT_EQ( image[0][0], 0.25f );
      EXPECT_EQ( ReadFailure( Path( name ) ),
                 "FITS Support:\nCannot open a compressed file; decompress it first:\n" + Path( name ) );
   }

   std::filesystem::rename( Path( "gzip.fits" ), Path( "moved.fits.gz" ) );
   EXPECT_THROW( Read( Path( "moved.fits" ) ), FITSUnableToOpenFile );
   EXPECT_EQ( Read( plain ).NumberOfPixels(), 16 );
}

// Something that is not a file is refused before a byte is read from it: a pipe would block the program until some
// other process wrote to it. (While the test runs, a writer keeps the pipe answering, so a reader that opens it
// anyway gets an empty stream instead of waiting for ever.)
TEST_F( FITSTest, WhatIsNotAFileIsRefusedBeforeItIsRead )
{
   const std::string pipe = Path( "pipe.fits" );
   ASSERT_EQ( ::mkfifo( pipe.c_str(), 0600 ), 0 );
   std::filesystem::create_directory( Path( "folder.fits" ) );
   std::filesystem::create_symlink( "/dev/null", Path( "device.fits" ) );

   std::atomic<bool> done = false;
   std::thread writer(
       [&]
       {
          while ( !done )
          {
             int fd = ::open( pipe.c_str(), O_WRONLY | O_CLOEXEC );
             if ( fd >= 0 )
                ::close( fd );
          }
       } );
   for ( const char* name : { "pipe.fits", "folder.fits", "device.fits" } )
   {
      SCOPED_TRACE( name );
      EXPECT_EQ( ReadFailure( Path( name ) ),
                 "FITS Support:\nCannot open something that is not a file:\n" + Path( name ) );
   }
   // Lets the writer go: its open returns once a reader is there.
   done = true;
   int reader = ::open( pipe.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC );
   writer.join();
   ::close( reader );
}

// ---------------------------------------------------------------------------------------------------------------
// Keywords

namespace
{

std::vector<FITSHeaderKeyword> Keywords( const FITSOptions& o )
{
   std::vector<FITSHeaderKeyword> list;
   for ( const FITSHeaderKeyword* k : o.keywords )
      list.push_back( *k );
   return list;
}

std::vector<std::string> Names( const FITSOptions& o )
{
   std::vector<std::string> names;
   for ( const FITSHeaderKeyword* k : o.keywords )
      names.push_back( k->name );
   return names;
}

const FITSHeaderKeyword* Find( const FITSOptions& o, const std::string& name )
{
   for ( const FITSHeaderKeyword* k : o.keywords )
      if ( k->name == name )
         return k;
   return nullptr;
}

// The first card of that name holds the value and comment.
void ExpectCard( const FITSOptions& o, const char* name, const char* value, const char* comment )
{
   const FITSHeaderKeyword* k = Find( o, name );
   ASSERT_NE( k, nullptr ) << name;
   EXPECT_EQ( k->value, value ) << name;
   EXPECT_EQ( k->comment, comment ) << name;
}

} // namespace

TEST_F( FITSTest, TheHeaderAsWrittenComesBackIntoTheOptionsWithValuesKeepingTheirText )
{
   qor::Image image( 3, 2, 4, qor::ColorSpace::RGB );
   for ( int c = 0; c < 4; ++c )
      image.Fill( c, 0.5f );
   FITSOptions o = Format( 32, false, true );
   o.resolution = 300;
   o.metricResolution = true;
   const std::vector<FITSHeaderKeyword> user = {
       { "OBJECT", "'M31'", "target" },
       { "JD", "2451545.123", "a date that a 32-bit float would lose" },
       { "COUNT", "123456789", "" },
       { "SMALL", "1.5E-3", "" },
       { "EXPTIME", "3.0d2", "lower-case exponent" },
       { "CPLX", "(1.5, -2)", "" },
       { "FLAG", "T", "logical" },
       { "NOVALUE", "", "a keyword without value" },
       { "QUOTE", "'O''Brien'", "" },
       { "COMMENT", "", "first comment" },
       { "HISTORY", "", "made by a test" },
       { "filter", "'V'", "lower-case name" },
       { "ESO DET CHIP NAME", "'ccd'", "hierarch" },
       { "NAXIS5", "5", "never written" },
       { "XSNAIL", "1", "not a NAXIS keyword" },
       { "BSCALE", "7", "the writer's own" },
       { "BLANK", "-32768", "meaningless for new data" },
       { "", "'x'", "nameless" },
   };
   for ( const FITSHeaderKeyword& k : user )
      o.keywords.Add( new FITSHeaderKeyword( k ) );
   WriteFITS( image, Path( "k.fits" ), &o, nullptr, nullptr );
   ExpectVerified( Path( "k.fits" ) );

   std::vector<std::string> names = Names( o );
   std::vector<std::string> front( names.begin(), names.begin() + 7 );
   EXPECT_EQ( front,
              ( std::vector<std::string>{ "SIMPLE", "BITPIX", "NAXIS", "NAXIS1", "NAXIS2", "NAXIS3", "EXTEND" } ) );
   for ( const char* fixed : { "LUMFORGE", "BSCALE", "BZERO", "COLORSPC", "ALPHACHN", "RESOLUTN", "RESOUNIT" } )
      EXPECT_NE( Find( o, fixed ), nullptr ) << fixed;
   EXPECT_EQ( UnquoteFITSKeywordValue( *Find( o, "COLORSPC" ) ), "RGB" );
   EXPECT_EQ( UnquoteFITSKeywordValue( *Find( o, "RESOUNIT" ) ), "cm" );
   EXPECT_EQ( Find( o, "BSCALE" )->value.substr( 0, 2 ), "1." );
   EXPECT_EQ( Find( o, "LUMFORGE" )->comment, "Corvanta Lumenforge signature" );

   ExpectCard( o, "OBJECT", "'M31'", "target" );
   ExpectCard( o, "JD", "2451545.123", "a date that a 32-bit float would lose" );
   ExpectCard( o, "COUNT", "123456789", "" );
   ExpectCard( o, "SMALL", "1.5E-3", "" );
   ExpectCard( o, "EXPTIME", "3.0D2", "lower-case exponent" );
   ExpectCard( o, "CPLX", "(1.5, -2)", "" );
   ExpectCard( o, "FLAG", "T", "logical" );
   ExpectCard( o, "NOVALUE", "", "a keyword without value" );
   ExpectCard( o, "QUOTE", "'O''Brien'", "" );
   ExpectCard( o, "FILTER", "'V'", "lower-case name" );
   ExpectCard( o, "ESO DET CHIP NAME", "'ccd'", "hierarch" );
   EXPECT_EQ( Find( o, "NAXIS5" ), nullptr );
   EXPECT_NE( Find( o, "XSNAIL" ), nullptr );
   EXPECT_EQ( Find( o, "BLANK" ), nullptr );
   EXPECT_NE( Find( o, "BSCALE" )->value, "7" );
   int comments = 0, history = 0;
   for ( const FITSHeaderKeyword& k : Keywords( o ) )
   {
      comments += k.name == "COMMENT" && k.comment == "first comment";
      history += k.name == "HISTORY" && k.comment == "made by a test";
   }
   EXPECT_EQ( comments, 1 );
   EXPECT_EQ( history, 1 );

   // Reading the file gives the same list, with the resolution and its unit.
   std::vector<FITSHeaderKeyword> afterWrite = Keywords( o );
   Read( Path( "k.fits" ) );
   EXPECT_EQ( Keywords( options ), afterWrite );
   EXPECT_EQ( options.resolution, 300 );
   EXPECT_TRUE( options.metricResolution );

   // Saving again what was read neither loses nor repeats a card (CFITSIO's own comment lines included).
   WriteFITS( image, Path( "k2.fits" ), &options, nullptr, nullptr );
   EXPECT_EQ( Keywords( options ), afterWrite );
   ExpectVerified( Path( "k2.fits" ) );
}

TEST_F( FITSTest, ResolutionUnitIsReadCaseInsensitively )
{
   struct Case
   {
      const char* unit;
      bool metric;
   } cases[] = {
       { "'cm'", true }, { "'CENTIMETERS'", true }, { "'centimeter'", true }, { "'inch'", false }, { "'mm'", false } };
   for ( const Case& c : cases )
   {
      std::vector<std::string> cards = ImageCards( 8, { 1, 1 } );
      cards.push_back( Key( "RESOUNIT", c.unit ) );
      cards.push_back( Key( "RESOLUTN", "150." ) );
      WriteBytes( Path( "r.fits" ), FitsBytes( cards, std::string( 1, '\0' ) ) );
      options.metricResolution = !c.metric;
      Read( Path( "r.fits" ) );
      EXPECT_EQ( options.metricResolution, c.metric ) << c.unit;
      EXPECT_EQ( options.resolution, 150 );
   }
}

// Keywords strict FITS cannot hold as they are still leave the image savable: a value that is no FITS value becomes a
// string, a byte outside printable ASCII '?', and only what no card can hold is left out.
TEST_F( FITSTest, KeywordsOutsideStrictFITSAreWrittenAsStringsOrLeftOut )
{
   qor::Image image( 2, 2 );
   image.Fill( 0, 0.5f );
   struct Case
   {
      FITSHeaderKeyword keyword;
      const char* value; // as written; nullptr: left out
      const char* comment;
   };
   const Case cases[] = {
       { { "TEXT", "unquoted words", "" }, "'unquoted words'", "" },
       { { "OPEN", "'no closing quote", "" }, "'''no closing quote'", "" },
       { { "QUOTE", "'a'b'", "" }, "'''a''b'''", "" },
       { { "NUMBER", "1.2.3", "10\xB0 field" }, "'1.2.3'", "10? field" },
       { { "ACCENT", "'caf\xC3\xA9 noir'", "" }, "'caf?? noir'", "" },
       { { "BAD=NAME", "1", "" }, nullptr, nullptr },
       { { "LONGVAL", "'" + std::string( 75, 'x' ) + "'", "" }, nullptr, nullptr },
       { { "LONGTEXT", std::string( 69, 'x' ), "" }, nullptr, nullptr },
       { { "H" + std::string( 66, 'A' ), "1", "" }, nullptr, nullptr }, // HIERARCH + name: longer than a keyword
   };
   FITSOptions o;
   for ( const Case& c : cases )
      o.keywords.Add( new FITSHeaderKeyword( c.keyword ) );
   o.keywords.Add( new FITSHeaderKeyword( "HISTORY", "",
                                          "dark at -10\xB0"
                                          "C" ) );
   std::vector<std::string> leftOut;
   WriteFITS( image, Path( "k.fits" ), &o, nullptr, nullptr, &leftOut );
   ExpectVerified( Path( "k.fits" ) );
   EXPECT_EQ( leftOut,
              ( std::vector<std::string>{ "BAD=NAME", "LONGVAL", "LONGTEXT", "H" + std::string( 66, 'A' ) } ) );

   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.keyword.name );
      const FITSHeaderKeyword* k = Find( o, c.keyword.name );
      if ( c.value == nullptr )
      {
         EXPECT_EQ( k, nullptr );
         continue;
      }
      ASSERT_NE( k, nullptr );
      EXPECT_EQ( k->value, c.value );
      EXPECT_EQ( k->comment, c.comment );
   }
   ASSERT_NE( Find( o, "HISTORY" ), nullptr );
   EXPECT_EQ( Find( o, "HISTORY" )->comment, "dark at -10?C" );
}

// A file from another program whose header the reader takes, though it is not strict FITS, saves again.
TEST_F( FITSTest, AFileWithCardsOutsideStrictFITSOpensSavesAndReopens )
{
   std::vector<std::string> cards = ImageCards( 8, { 2, 2 } );
   cards.push_back( "DATE-OBS= 2020-01-01T00:00:00 / start of exposure" );
   cards.push_back( Key( "DATAMAX", "NaN" ) );
   cards.push_back( Key( "CCD-TEMP", "-10.0" ) + " / cooled to -10\xB0"
                                                 "C" );
   cards.push_back( "TELESCOP= 'Scope'" );
   cards.push_back( Key( "DATE", "yesterday" ) );
   cards.push_back( Key( "WEATHER", "clear" ) );
   cards.push_back( "COMMENT  taken at 2\xB0 elevation" );
   WriteBytes( Path( "other.fits" ), FitsBytes( cards, std::string( "\x10\x20\x30\x40" ) ) );
   qor::Image image = Read( Path( "other.fits" ) );
   ASSERT_NE( Find( options, "DATAMAX" ), nullptr );
   EXPECT_EQ( Find( options, "DATAMAX" )->value, "NaN" );

   WriteFITS( image, Path( "saved.fits" ), &options, nullptr, nullptr );
   ExpectVerified( Path( "saved.fits" ) );
   qor::Image again = Read( Path( "saved.fits" ) );
   EXPECT_TRUE( test::SamePixels( again, image ) );
   ExpectCard( options, "DATE-OBS", "'2020-01-01T00:00:00'", "start of exposure" );
   // A standard keyword whose number is no number cannot be kept as a string.
   EXPECT_EQ( Find( options, "DATAMAX" ), nullptr );
   ExpectCard( options, "CCD-TEMP", "-10.0", "cooled to -10?C" );
   ExpectCard( options, "TELESCOP", "'Scope'", "" );
   ExpectCard( options, "WEATHER", "'clear'", "" );
   EXPECT_EQ( Find( options, "DATE" ), nullptr );
   const std::vector<FITSHeaderKeyword> all = Keywords( options );
   EXPECT_EQ( std::count( all.begin(), all.end(), FITSHeaderKeyword( "COMMENT", "", "taken at 2? elevation" ) ), 1 );
}

TEST_F( FITSTest, KeywordTextHelpers )
{
   EXPECT_TRUE( IsReservedFITSKeyword( "naxis3" ) );
   EXPECT_TRUE( IsReservedFITSKeyword( "LumForge" ) );
   EXPECT_FALSE( IsReservedFITSKeyword( "NAXIS5" ) );
   EXPECT_FALSE( IsReservedFITSKeyword( "OBJECT" ) );

   EXPECT_TRUE( IsValidFITSKeywordName( "DATE-OBS" ) );
   EXPECT_TRUE( IsValidFITSKeywordName( "exptime" ) );
   EXPECT_TRUE( IsValidFITSKeywordName( "ESO TEL AIRM START" ) );
   EXPECT_FALSE( IsValidFITSKeywordName( "" ) );
   EXPECT_FALSE( IsValidFITSKeywordName( "A=B" ) );
   EXPECT_FALSE( IsValidFITSKeywordName( std::string( 80, 'A' ) ) );

   for ( const char* v : { "", "T", "F", "'x'", "''", "'it''s'", "-12", "+3.", ".5", "1E10", "2.5D-3", "(1, 2)" } )
      EXPECT_TRUE( IsValidFITSKeywordValue( v ) ) << v;
   for ( const char* v : { "'x", "'a'b'", "TRUE", "1.2.3", "E5", "-", "(1 2)", "12abc" } )
      EXPECT_FALSE( IsValidFITSKeywordValue( v ) ) << v;

   EXPECT_EQ( UnquoteFITSKeywordValue( { "A", "'  RGB   '", "" } ), "RGB" );
   EXPECT_EQ( UnquoteFITSKeywordValue( { "A", "'open", "" } ), "open" );
   EXPECT_EQ( UnquoteFITSKeywordValue( { "A", "42", "" } ), "42" );
}

// ---------------------------------------------------------------------------------------------------------------
// Extensions

namespace
{

std::vector<uint8_t> Profile( uint32_t declared, size_t held )
{
   std::vector<uint8_t> p( held );
   for ( size_t i = 4; i < held; ++i )
      p[i] = uint8_t( i * 7 );
   p[0] = uint8_t( declared >> 24 );
   p[1] = uint8_t( declared >> 16 );
   p[2] = uint8_t( declared >> 8 );
   p[3] = uint8_t( declared );
   return p;
}

qor::IPTCPhotoInfo SomeIPTC()
{
   qor::IPTCPhotoInfo info;
   const auto& d = qor::IPTCPhotoInfo::Descriptions();
   info.Set( &d.front(), "someone", 7 );
   info.Set( &d.back(), "an object", 9 );
   return info;
}

} // namespace

TEST_F( FITSTest, ProfileAndIPTCInformationTravelInTheirExtensions )
{
   qor::Image image( 2, 2 );
   image.Fill( 0, 0.5f );
   const std::vector<uint8_t> icc = Profile( 300, 300 );
   const qor::IPTCPhotoInfo info = SomeIPTC();
   FITSOptions o;
   WriteFITS( image, Path( "x.fits" ), &o, &icc, &info );
   ExpectVerified( Path( "x.fits" ) );
   EXPECT_EQ( Find( o, "ICCPROFL" )->value, "300." );
   EXPECT_EQ( Find( o, "IPTCINFO" )->value, "2." );

   Read( Path( "x.fits" ) );
   ASSERT_NE( profile, nullptr );
   EXPECT_EQ( *profile, icc );
   EXPECT_EQ( iptc.Count(), 2 );
   EXPECT_EQ( iptc.FindValue( qor::IPTCPhotoInfo::Descriptions().front().name ), "someone" );

   // Without the embedding flag, or with a profile whose size is 0, only the IPTC extension is written; it is
   // found without the other.
   struct Case
   {
      bool embed;
      std::vector<uint8_t> icc;
   } cases[] = { { false, icc }, { true, Profile( 0, 300 ) } };
   for ( const Case& c : cases )
   {
      FITSOptions p;
      p.embedICCProfile = c.embed;
      WriteFITS( image, Path( "y.fits" ), &p, &c.icc, &info );
      EXPECT_EQ( Find( p, "ICCPROFL" ), nullptr );
      profile = std::make_unique<std::vector<uint8_t>>( 1, 0 );
      Read( Path( "y.fits" ) );
      EXPECT_EQ( profile, nullptr );
      EXPECT_EQ( iptc.Count(), 2 );
   }

   // A profile claiming more than it holds is damaged and not embedded.
   const std::vector<uint8_t> shortProfile = Profile( 5000, 200 );
   WriteFITS( image, Path( "z.fits" ), nullptr, &shortProfile, nullptr );
   Read( Path( "z.fits" ) );
   EXPECT_EQ( profile, nullptr );
}

TEST_F( FITSTest, AProfileExtensionShorterThanItsProfileIsRefused )
{
   std::string icc( 8, '\0' );
   icc[2] = 1; // 256 bytes claimed, 8 held
   WriteBytes( Path( "short.fits" ), FitsBytes( ImageCards( 8, { 1, 1 } ), std::string( 1, '\0' ) ) +
                                         FitsBytes( { Key( "XTENSION", "'IMAGE   '" ), Key( "BITPIX", "8" ),
                                                      Key( "NAXIS", "1" ), Key( "NAXIS1", "8" ), Key( "PCOUNT", "0" ),
                                                      Key( "GCOUNT", "1" ), Key( "EXTNAME", "'ICCProfile'" ) },
                                                    icc ) );
   try
   {
      Read( Path( "short.fits" ) );
      ADD_FAILURE();
   }
   catch ( const FITSInvalidICCProfileHDU& x )
   {
      EXPECT_EQ( x.Message(), "FITS Support:\nInvalid ICC Profile extension HDU in FITS file" );
   }
}

TEST_F( FITSTest, ExtensionsUnderTheAlternativeNamesAreRead )
{
   // An ICC_PROFILE extension written by another program, after a plain image.
   std::string icc( 8, '\0' );
   icc[3] = 8;
   icc[4] = 'a';
   std::string file =
       FitsBytes( { Key( "SIMPLE", "T" ), Key( "BITPIX", "8" ), Key( "NAXIS", "2" ), Key( "NAXIS1", "1" ),
                    Key( "NAXIS2", "1" ), Key( "EXTEND", "T" ) },
                  std::string( 1, '\0' ) ) +
       FitsBytes( { Key( "XTENSION", "'IMAGE   '" ), Key( "BITPIX", "8" ), Key( "NAXIS", "1" ), Key( "NAXIS1", "8" ),
                    Key( "PCOUNT", "0" ), Key( "GCOUNT", "1" ), Key( "EXTNAME", "'ICC_PROFILE'" ) },
                  icc );
   WriteBytes( Path( "alt.fits" ), file );
   iptc = SomeIPTC();
   Read( Path( "alt.fits" ) );
   ASSERT_NE( profile, nullptr );
   EXPECT_EQ( std::string( profile->begin(), profile->end() ), icc );
   EXPECT_EQ( iptc.Count(), 0 ); // cleared: the file has none
}

// ---------------------------------------------------------------------------------------------------------------
// Writing: replacement, failures, progress and abort

TEST_F( FITSTest, WritingReplacesAnExistingFileOnlyWhenComplete )
{
   qor::Image image( 2, 2 );
   image.Fill( 0, 1.0f );
   WriteBytes( Path( "a.fits" ), "old" );
   WriteFITS( image, Path( "a.fits" ), nullptr, nullptr, nullptr );
   EXPECT_EQ( StoredValues<long>( Path( "a.fits" ), TLONG ), std::vector<long>( 4, 65535 ) );

   try
   {
      WriteFITS( image, Path( "no/such/folder/a.fits" ), nullptr, nullptr, nullptr );
      ADD_FAILURE();
   }
   catch ( const FITSUnableToCreateFile& x )
   {
      EXPECT_EQ( x.Message(), "FITS Support:\nUnable to create FITS file" );
   }
   qor::Image empty;
   EXPECT_THROW( WriteFITS( empty, Path( "e.fits" ), nullptr, nullptr, nullptr ), FITSUnableToCreatePrimaryHDU );
   EXPECT_FALSE( std::filesystem::exists( Path( "e.fits" ) ) );
}

// The access rights of every file in a folder, looked at whenever the writer reports progress.
struct RightsWatch
{
   std::filesystem::path folder;
   mode_t othersMay = 0; // what any file gave group or others at any look
   int filesSeen = 0;

   static int32_t Callback( void* data, int32_t event, qor::StatusCallback& )
   {
      auto* w = static_cast<RightsWatch*>( data );
      if ( event == qor::StatusCallback::Progress )
         for ( const auto& e : std::filesystem::directory_iterator( w->folder ) )
         {
            struct stat info = {};
            ::stat( e.path().c_str(), &info );
            w->othersMay |= info.st_mode & 077;
            ++w->filesSeen;
         }
      return 0;
   }
};

// The new pixels of a private file are never where others may read them, not even half-way through the save (where a
// killed save would leave them), through CFITSIO as past it.
TEST_F( FITSTest, ReplacingAPrivateFileKeepsTheNewPixelsPrivateAtEveryMoment )
{
   qor::Image image = test::RandomImage( 64, 2000, 3, qor::ColorSpace::RGB, 9 );
   const std::string path = Path( "private.fits" );
   for ( const FITSOptions& o : { Format( 16, true, false ), Format( 32, false, true ) } )
   {
      SCOPED_TRACE( o.floatingPoint ? "float" : "integer" );
      WriteBytes( path, "secret" );
      ::chmod( path.c_str(), 0600 );
      RightsWatch watch{ dir.Path() };
      image.Status().SetCallback( &RightsWatch::Callback, &watch );
      FITSOptions written = o;
      WriteFITS( image, path, &written, nullptr, nullptr );
      EXPECT_GT( watch.filesSeen, 2 ); // the new file was seen beside the former one
      EXPECT_EQ( watch.othersMay, 0u );
      struct stat info = {};
      ASSERT_EQ( ::stat( path.c_str(), &info ), 0 );
      EXPECT_EQ( info.st_mode & 0777, 0600u );
   }
}

// A name as long as the file system allows (255 bytes) is written like any other, new or over a file.
TEST_F( FITSTest, NamesAsLongAsTheFileSystemAllowsAreWritten )
{
   qor::Image image( 3, 2 );
   image.Fill( 0, 0.5f );
   for ( size_t length : { size_t( 233 ), size_t( 234 ), size_t( 255 ) } )
   {
      SCOPED_TRACE( length );
      const std::string path = Path( std::string( length - 5, 'n' ) + ".fits" );
      for ( int round = 0; round < 2; ++round )
         WriteFITS( image, path, nullptr, nullptr, nullptr );
      EXPECT_EQ( Read( path ).NumberOfPixels(), 6 );
   }
   EXPECT_EQ( std::distance( std::filesystem::directory_iterator( dir.Path() ), {} ), 3 );
}

// A write the system refuses is reported as a failed write with the system's reason, whichever call found it: the
// integer formats go through CFITSIO's buffers, the floating-point ones past them.
TEST_F( FITSTest, AWriteTheSystemRefusesIsReportedWithTheSystemsReason )
{
   const qor::Image image = test::RandomImage( 300, 200, 3, qor::ColorSpace::RGB, 3 );
   const std::string expected = "FITS Support:\nError writing FITS file:\n" + std::string( std::strerror( EFBIG ) );
   for ( const FITSOptions& o : { Format( 8, true, false ), Format( 16, true, false ), Format( 32, false, false ),
                                  Format( 32, false, true ), Format( 64, false, true ) } )
   {
      FITSOptions written = o;
      WriteFITS( image, Path( "whole.fits" ), &written, nullptr, nullptr );
      const auto size = rlim_t( std::filesystem::file_size( Path( "whole.fits" ) ) );
      std::filesystem::remove( Path( "whole.fits" ) );
      // The limit is reached among the samples, or only by the last block.
      for ( rlim_t bytes : { size / 3, size - 1 } )
      {
         SCOPED_TRACE( std::to_string( o.bitsPerSample ) + ( o.floatingPoint ? " float, " : ", " ) +
                       std::to_string( bytes ) + " of " + std::to_string( size ) + " bytes" );
         test::FileSizeLimit limit( bytes );
         try
         {
            WriteFITS( image, Path( "full.fits" ), &written, nullptr, nullptr );
            ADD_FAILURE() << "no exception";
         }
         catch ( const FITSException& x )
         {
            EXPECT_EQ( x.Message(), expected );
            EXPECT_EQ( x.SystemError(), EFBIG );
         }
         EXPECT_TRUE( std::filesystem::is_empty( dir.Path() ) );
      }
   }
}

// Float data units are the clamped samples in big-endian order, channel after channel, then zeros to the 2880-byte
// block; an extension header follows at once. Large enough for several blocks of rows per channel.
TEST_F( FITSTest, FloatDataUnitsHoldTheClampedSamplesBigEndianAndZeroPadding )
{
   qor::Image image = test::RandomImage( 1500, 1001, 2, qor::ColorSpace::Gray, 11 );
   const float special[] = { NaN, -0.0f, 1.5f, -2.0f, std::numeric_limits<float>::infinity(), 1.0f };
   for ( size_t i = 0; i < std::size( special ); ++i )
      image[1][i] = special[i];
   const std::vector<uint8_t> icc = Profile( 300, 300 );
   for ( int bits : { 32, 64 } )
      for ( bool extension : { false, true } )
      {
         SCOPED_TRACE( std::to_string( bits ) + ( extension ? " with a profile" : "" ) );
         FITSOptions o = Format( bits, false, true );
         WriteFITS( image, Path( "d.fits" ), &o, extension ? &icc : nullptr, nullptr );
         const std::string bytes = ReadBytes( Path( "d.fits" ) );
         size_t end = 0;
         while ( end < bytes.size() && bytes.compare( end, 80, Card( "END" ) ) != 0 )
            end += 80;
         const size_t start = ( end / 2880 + 1 ) * 2880;
         std::string expected;
         for ( int c = 0; c < 2; ++c )
         {
            std::vector<float> clamped( image[c], image[c] + image.NumberOfPixels() );
            for ( float& v : clamped )
               v = v > 0 ? std::min( v, 1.0f ) : 0.0f;
            expected +=
                bits == 32 ? BigEndian( clamped ) : BigEndian( std::vector<double>( clamped.begin(), clamped.end() ) );
         }
         const size_t padded = ( expected.size() + 2879 ) / 2880 * 2880;
         ASSERT_GE( bytes.size(), start + padded );
         EXPECT_TRUE( bytes.compare( start, expected.size(), expected ) == 0 );
         EXPECT_EQ( bytes.substr( start + expected.size(), padded - expected.size() ),
                    std::string( padded - expected.size(), '\0' ) );
         EXPECT_EQ( bytes.size() > start + padded, extension );
         if ( extension )
         {
            EXPECT_EQ( bytes.substr( start + padded, 8 ), "XTENSION" );
         }
         ExpectVerified( Path( "d.fits" ) );
      }
}

TEST_F( FITSTest, ProgressTextsAndAbort )
{
   qor::Image image = test::RandomImage( 64, 2000, 3, qor::ColorSpace::RGB, 5 );
   Monitor m;
   image.Status().SetCallback( &Monitor::Callback, &m );
   FITSOptions o = Format( 32, false, true );
   WriteFITS( image, Path( "p.fits" ), &o, nullptr, nullptr );
   EXPECT_EQ( m.texts, std::vector<std::string>{ "Writing FITS file: 3 channel(s), 64x2000 pixels." } );

   m.texts.clear();
   qor::Image target;
   target.Status().SetCallback( &Monitor::Callback, &m );
   ReadFITS( target, Path( "p.fits" ), options, profile, &iptc );
   EXPECT_EQ( m.texts, ( std::vector<std::string>{ "Loading FITS file: 3 channel(s), 64x2000 pixels.",
                                                   "Normalizing pixel values" } ) );
   EXPECT_TRUE( test::SamePixels( target, image ) );

   // An abort while reading leaves the image as it was; one while writing leaves no file.
   qor::Image kept( 2, 1 );
   kept.Fill( 0, 0.125f );
   kept.Status().SetCallback( &Monitor::Callback, &m );
   m.progress = 0;
   m.abortAt = 3;
   EXPECT_THROW( ReadFITS( kept, Path( "p.fits" ), options, profile, &iptc ), qor::Image::AbortProcessEvent );
   EXPECT_EQ( kept.Width(), 2 );
   EXPECT_EQ( kept[0][1], 0.125f );
   m.progress = 0;
   EXPECT_THROW( WriteFITS( image, Path( "q.fits" ), &o, nullptr, nullptr ), qor::Image::AbortProcessEvent );
   EXPECT_EQ( std::distance( std::filesystem::directory_iterator( dir.Path() ), {} ), 1 );
}
