// Headerless raw files: every sample format and organisation, the worked-out dimensions and header, and the
// descriptions a file cannot satisfy.

#include <gtest/gtest.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "TestDirs.h"
#include "classlib/ColorSpace.h"
#include "classlib/File.h"
#include "formats/RAW.h"

namespace
{

using test::TempDir;
using Bytes = std::vector<uint8_t>;

void Save( const std::string& path, const Bytes& bytes )
{
   std::ofstream( path, std::ios::binary ).write( reinterpret_cast<const char*>( bytes.data() ), std::streamsize( bytes.size() ) );
}

Bytes Load( const std::string& path )
{
   std::ifstream in( path, std::ios::binary );
   return Bytes( std::istreambuf_iterator<char>( in ), {} );
}

template <typename T> Bytes BytesOf( std::initializer_list<T> values )
{
   Bytes b( values.size() * sizeof( T ) );
   std::memcpy( b.data(), std::data( values ), b.size() );
   return b;
}

RAWOptions Description( int32_t bits, bool isFloat, int32_t channels = 1, int32_t width = 0, int32_t height = 0 )
{
   RAWOptions o;
   o.bitsPerSample = bits;
   o.floatingPoint = isFloat;
   o.channels = channels;
   o.width = width;
   o.height = height;
   o.colorSpace = channels >= 3 ? 1 : 0;
   return o;
}

template <typename E> void ExpectRead( const std::string& path, const RAWOptions& o, const char* what )
{
   qor::Image image( 2, 2 );
   EXPECT_THROW( ReadRAW( image, path, &o ), E ) << what;
   EXPECT_TRUE( image.IsEmpty() ) << what;
}

} // namespace

TEST( RAWTest, EveryFormatAndOrganisationRoundTrips )
{
   TempDir dir;
   const std::string path = dir.File( "a.raw" );
   qor::Image image( 7, 5, 4, qor::ColorSpace::RGB );
   for ( int32_t c = 0; c < 4; ++c )
      for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
         image.PixelData( c )[i] = float( ( i * 3 + c * 50 ) % 256 ) / 255.0f;
   struct Case
   {
      int32_t bits;
      bool isFloat, isUnsigned, planar, reversed;
   } cases[] = { { 8, false, true, true, false },   { 8, false, false, false, true },  { 16, false, true, false, true },
                 { 16, false, false, true, false }, { 32, false, false, true, true },  { 32, false, true, false, false },
                 { 32, true, true, true, false },   { 32, true, true, false, true },   { 64, true, true, false, false },
                 { 64, true, true, true, true } };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( std::to_string( c.bits ) + ( c.isFloat ? " float" : c.isUnsigned ? " unsigned" : " signed" ) +
                    ( c.planar ? " planar" : " chunky" ) + ( c.reversed ? " big-endian" : "" ) );
      RAWOptions o = Description( c.bits, c.isFloat, 4, 7, 5 );
      o.unsignedSamples = c.isUnsigned;
      o.planar = c.planar;
      o.reverseByteOrder = c.reversed;
      o.dataOffset = 5000;
      WriteRAW( image, path, &o, std::string() );
      EXPECT_EQ( std::filesystem::file_size( path ), 5000u + 7 * 5 * 4 * uint64_t( c.bits / 8 ) );
      qor::Image back;
      ReadRAW( back, path, &o );
      ASSERT_EQ( back.NumberOfChannels(), 4 );
      EXPECT_EQ( back.GetColorSpace(), qor::ColorSpace::RGB );
      EXPECT_EQ( back.NumberOfAlphaChannels(), 1 );
      for ( int32_t ch = 0; ch < 4; ++ch )
         for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
         {
            if ( c.bits == 32 && !c.isFloat )
            {
               ASSERT_NEAR( back.PixelData( ch )[i], image.PixelData( ch )[i], 1e-7 );
            }
            else
            {
               ASSERT_EQ( back.PixelData( ch )[i], image.PixelData( ch )[i] ) << ch << " " << i;
            }
         }
   }
}

TEST( RAWTest, StoredSamplesAreConvertedAsTheirFormatSays )
{
   TempDir dir;
   const std::string path = dir.File( "s.raw" );
   qor::Image image;

   // Signed 16 bits: -32768 is 0, 0 is 32768/65535, 32767 is 1; written back the same way.
   Save( path, BytesOf<int16_t>( { -32768, 0, 32767 } ) );
   RAWOptions o = Description( 16, false, 1, 3, 1 );
   o.unsignedSamples = false;
   ReadRAW( image, path, &o );
   EXPECT_EQ( image.Pixel( 0, 0 ), 0.0f );
   EXPECT_EQ( image.Pixel( 1, 0 ), 32768.0f / 65535.0f );
   EXPECT_EQ( image.Pixel( 2, 0 ), 1.0f );
   WriteRAW( image, path, &o, std::string() );
   EXPECT_EQ( Load( path ), BytesOf<int16_t>( { -32768, 0, 32767 } ) );

   // Big-endian 0x12 0x34 is 0x1234; 8-bit data are never reversed.
   Save( path, { 0x12, 0x34 } );
   o = Description( 16, false, 1, 1, 1 );
   o.reverseByteOrder = true;
   ReadRAW( image, path, &o );
   EXPECT_EQ( image.Pixel( 0, 0 ), float( 0x1234 ) / 65535.0f );
   o.bitsPerSample = 8;
   o.width = 2;
   ReadRAW( image, path, &o );
   EXPECT_EQ( image.Pixel( 0, 0 ), float( 0x12 ) / 255.0f );

   // Floats within [0, 1] are kept; a channel from 10 to 65535 is mapped onto [0, 1].
   Save( path, BytesOf<double>( { 0.25, 1.0, 10.0, 65535.0 } ) );
   o = Description( 64, true, 2, 2, 1 );
   o.planar = true;
   ReadRAW( image, path, &o );
   EXPECT_EQ( image.NumberOfAlphaChannels(), 1 ); // two channels: grey and alpha
   EXPECT_EQ( image.Pixel( 0, 0, 0 ), 0.25f );
   EXPECT_EQ( image.Pixel( 0, 0, 1 ), 0.0f );
   EXPECT_EQ( image.Pixel( 1, 0, 1 ), 1.0f );
}

// 64-bit floats beyond the range of float (or below its smallest values) are mapped from their own range in double
// precision before they are narrowed: they keep their order instead of all becoming infinite (white) or zero.
TEST( RAWTest, SixtyFourBitFloatsOutsideTheRangeOfFloatKeepTheirSpread )
{
   TempDir dir;
   const std::string path = dir.File( "d.raw" );
   const double nan = std::numeric_limits<double>::quiet_NaN(), inf = std::numeric_limits<double>::infinity();
   struct Case
   {
      const char* what;
      std::vector<double> values;
      std::vector<float> expected;
   };
   const Case cases[] = {
       { "huge", { 1e39, 2e39, 3e39, 4e39 }, { 0.0f, 1.0f / 3, 2.0f / 3, 1.0f } },
       { "tiny", { -4e-300, 0.0, 4e-300, 8e-300 }, { 0.0f, 1.0f / 3, 2.0f / 3, 1.0f } },
       { "the whole range of double", { -1e308, 0.0, 1e308, 1e308 }, { 0.0f, 0.5f, 1.0f, 1.0f } },
       { "NaN and the infinities", { 1e39, nan, inf, 3e39 }, { 0.0f, 0.0f, 1.0f, 1.0f } },
       { "minus infinity", { 1e39, -inf, 2e39, 3e39 }, { 0.0f, 0.0f, 0.5f, 1.0f } },
   };
   for ( bool planar : { true, false } )
      for ( const Case& c : cases )
      {
         SCOPED_TRACE( std::string( c.what ) + ( planar ? ", planar" : ", chunky" ) );
         // The second channel holds the values in reverse, the first the values in [0, 1], which stay as they are.
         const std::vector<double> first = { 0.0, 0.125, 0.25, 0.375 };
         const std::vector<double> second( c.values.rbegin(), c.values.rend() );
         std::vector<double> stored;
         if ( planar )
         {
            stored = first;
            stored.insert( stored.end(), second.begin(), second.end() );
         }
         else
            for ( size_t i = 0; i < 4; ++i )
               stored.insert( stored.end(), { first[i], second[i] } );
         Bytes bytes( stored.size() * 8 );
         std::memcpy( bytes.data(), stored.data(), bytes.size() );
         Save( path, bytes );
         RAWOptions o = Description( 64, true, 2, 2, 2 );
         o.planar = planar;
         qor::Image image;
         ReadRAW( image, path, &o );
         for ( int i = 0; i < 4; ++i )
         {
            EXPECT_EQ( image.PixelData( 0 )[i], 0.125f * float( i ) );
            EXPECT_NEAR( image.PixelData( 1 )[i], c.expected[size_t( 3 - i )], 1e-6 ) << i;
         }
      }
}

TEST( RAWTest, MissingDimensionsAndSurplusBytesAreWorkedOut )
{
   TempDir dir;
   const std::string path = dir.File( "d.raw" );
   qor::Image image;
   struct Case
   {
      uint64_t size;
      RAWOptions o;
      int32_t width, height;
      uint8_t first; // the byte read as the first sample
   } cases[] = {
      { 1000000, Description( 8, false ), 1000, 1000, 0 },
      { 1000054, Description( 8, false, 1, 1000, 1000 ), 1000, 1000, 54 },
      { 614400, Description( 16, false, 1, 640, 0 ), 640, 480, 0 },
      { 30, Description( 8, false, 1, 0, 4 ), 7, 4, 2 },
   };
   for ( const Case& c : cases )
   {
      Bytes data( c.size );
      for ( size_t i = 0; i < data.size(); ++i )
         data[i] = uint8_t( i );
      Save( path, data );
      ReadRAW( image, path, &c.o );
      EXPECT_EQ( image.Width(), c.width ) << c.size;
      EXPECT_EQ( image.Height(), c.height ) << c.size;
      if ( c.o.bitsPerSample == 8 )
      {
         EXPECT_EQ( image.Pixel( 0, 0 ), float( c.first ) / 255.0f ) << c.size;
      }
   }
}

TEST( RAWTest, DescriptionsTheFileCannotSatisfyAreRefusedBeforeAnyAllocation )
{
   TempDir dir;
   const std::string path = dir.File( "bad.raw" );
   Save( path, Bytes() );
   ExpectRead<RAWEmptyFile>( path, Description( 8, false ), "empty" );
   Save( path, Bytes( 100, 1 ) );
   RAWOptions o = Description( 8, false );
   o.dataOffset = 100;
   ExpectRead<RAWInvalidDataOffset>( path, o, "header as large as the file" );
   ExpectRead<RAWInvalidBitsPerSample>( path, Description( 12, false ), "12 bits" );
   ExpectRead<RAWInvalidBitsPerSample>( path, Description( 64, false ), "64-bit integers" );
   ExpectRead<RAWInvalidBitsPerSample>( path, Description( 16, true ), "16-bit floats" );
   ExpectRead<RAWBadDescription>( path, Description( 32, false, 26 ), "not one whole pixel" );
   ExpectRead<RAWBadDescription>( path, Description( 8, false, 0 ), "no channel" );
   ExpectRead<RAWBadDescription>( path, Description( 8, false, 1, -5, 2 ), "negative width" );
   ExpectRead<RAWInvalidDimensions>( path, Description( 8, false, 1, 11, 10 ), "one row too many" );
   ExpectRead<RAWInvalidDimensions>( path, Description( 8, false, 1, 101, 0 ), "a width beyond every pixel" );
   // Sides whose product overflows 32 bits must not pass the size check.
   ExpectRead<RAWInvalidDimensions>( path, Description( 32, true, 1, 32000, 32000 ), "enormous" );
   ExpectRead<qor::File::Exception>( dir.File( "missing.raw" ), Description( 8, false ), "missing" );
}

TEST( RAWTest, TheHeaderIsCopiedFromTheSourceOnlyWhenKept )
{
   TempDir dir;
   const std::string former = dir.File( "former.raw" ), path = dir.File( "new.raw" );
   Bytes header( 5000 );
   for ( size_t i = 0; i < header.size(); ++i )
      header[i] = uint8_t( i * 7 + 3 );
   Bytes file = header;
   file.resize( header.size() + 4, 0 );
   Save( former, file );
   qor::Image image( 2, 2 );
   image.Fill( 0, 1.0f );
   RAWOptions o = Description( 8, false, 1, 2, 2 );
   o.dataOffset = 5000;

   o.keepHeader = true;
   WriteRAW( image, path, &o, former );
   Bytes written = Load( path );
   EXPECT_EQ( Bytes( written.begin(), written.begin() + 5000 ), header );
   EXPECT_EQ( Bytes( written.begin() + 5000, written.end() ), Bytes( 4, 255 ) );

   for ( const std::string& source : { std::string(), path } ) // none, or the output itself
   {
      WriteRAW( image, path, &o, source );
      EXPECT_EQ( Load( path ), [] { Bytes z( 5004, 0 ); std::fill( z.begin() + 5000, z.end(), 255 ); return z; }() );
   }
   o.keepHeader = false;
   WriteRAW( image, path, &o, former );
   EXPECT_EQ( Load( path )[10], 0 );

   // A source shorter than the header ends the write.
   o.keepHeader = true;
   o.dataOffset = 6000;
   EXPECT_THROW( WriteRAW( image, path, &o, former ), qor::File::UnexpectedEndOfFile );
}
