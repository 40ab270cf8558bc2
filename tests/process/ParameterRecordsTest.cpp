#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "TestDirs.h"
#include "classlib/Exception.h"
#include "classlib/File.h"
#include "classlib/Interpolation.h"
#include "process/ChannelFactors.h"
#include "process/InterpolationParameters.h"
#include "process/RGBColorParameters.h"

namespace
{

using Bytes = std::vector<uint8_t>;

// Streams of parameter records through a real file.
class ParameterRecordsTest : public ::testing::Test
{
protected:
   Bytes Written( const Process::Parameters& p, float version = 1.0f )
   {
      qor::File file;
      file.CreateForReadWrite( dir.File( "out" ) );
      p.Write( file, version );
      Bytes bytes( size_t( file.Size() ) );
      file.Seek( 0 );
      file.Read( bytes.data(), int64_t( bytes.size() ) );
      return bytes;
   }

   // Reads the record from the bytes; every byte must be consumed.
   void ReadFrom( Process::Parameters& p, const Bytes& bytes, float version = 1.0f )
   {
      qor::File file;
      file.CreateForReadWrite( dir.File( "in" ) );
      file.Write( bytes.data(), int64_t( bytes.size() ) );
      file.Seek( 0 );
      p.Read( file, version );
      EXPECT_EQ( file.BytesLeft(), 0 );
   }

   test::TempDir dir;
};

} // namespace

// --- RGBColorParameters ------------------------------------------------------------------------------------------

TEST_F( ParameterRecordsTest, RGBColorStreamsTwelveBytesAndPrintsFourDecimals )
{
   RGBColorParameters black;
   EXPECT_EQ( black.ToText( 0 ), "0.0000,0.0000,0.0000" );

   RGBColorParameters colour( 1.0f, 0.5f, 0.25f );
   EXPECT_EQ( colour.ToText( 0 ), "1.0000,0.5000,0.2500" );
   EXPECT_EQ( colour.ToText( -1 ), "1.0000,0.5000,0.2500" );
   const Bytes expected = { 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x80, 0x3E };
   for ( float version : { 0.0f, 1.0f, 2.5f } )
      EXPECT_EQ( Written( colour, version ), expected ) << "version " << version;

   RGBColorParameters read;
   ReadFrom( read, expected, 3.0f );
   EXPECT_EQ( Written( read ), expected );

   // Nothing is clamped.
   RGBColorParameters wild( -0.5f, 2.0f, 1000.0f );
   EXPECT_EQ( wild.ToText( 0 ), "-0.5000,2.0000,1000.0000" );
   ReadFrom( read, Written( wild ) );
   EXPECT_EQ( read.red, -0.5f );
   EXPECT_EQ( read.blue, 1000.0f );

   auto clone = colour.Clone();
   EXPECT_EQ( clone->ToText( 0 ), colour.ToText( 0 ) );
   read.Assign( colour );
   EXPECT_EQ( Written( read ), expected );
   EXPECT_THROW( read.Assign( ChannelFactors() ), std::bad_cast );
}

// --- ChannelFactors ----------------------------------------------------------------------------------------------

TEST_F( ParameterRecordsTest, ChannelFactorsStreamThirteenBytesAndPrintSixDecimals )
{
   ChannelFactors unit;
   EXPECT_EQ( unit.ToText( 0 ), "1.000000, 1.000000, 1.000000, invert=0" );
   EXPECT_TRUE( unit.IsIdentity() );
   EXPECT_EQ( Written( unit ), ( Bytes{ 0, 0, 0x80, 0x3F, 0, 0, 0x80, 0x3F, 0, 0, 0x80, 0x3F, 0 } ) );

   ChannelFactors f;
   f.factors[0] = 2.0f;
   f.factors[1] = 0.5f;
   f.factors[2] = -1.0f;
   f.invert = true;
   EXPECT_FALSE( f.IsIdentity() );
   EXPECT_EQ( f.ToText( 2 ), "2.000000, 0.500000, -1.000000, invert=1" );
   const Bytes expected = { 0x00, 0x00, 0x00, 0x40, 0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x80, 0xBF, 0x01 };
   for ( float version : { 0.5f, 1.0f, 7.0f } )
      EXPECT_EQ( Written( f, version ), expected ) << "version " << version;

   // Any nonzero invert byte reads as true and is written back as 1.
   Bytes odd = expected;
   odd[12] = 0x7F;
   ChannelFactors read;
   ReadFrom( read, odd );
   EXPECT_TRUE( read.invert );
   EXPECT_EQ( Written( read ), expected );

   read.Assign( unit );
   EXPECT_EQ( read.ToText( 0 ), unit.ToText( 0 ) );
   EXPECT_EQ( f.Clone()->ToText( 0 ), f.ToText( 0 ) );
}

// --- InterpolationParameters -------------------------------------------------------------------------------------

TEST_F( ParameterRecordsTest, InterpolationStreamsEightBytesAndPrintsItsIdentifier )
{
   InterpolationParameters standard;
   EXPECT_EQ( Written( standard ), ( Bytes{ 0x01, 0, 0, 0, 0x05, 0, 0, 0 } ) );
   EXPECT_EQ( standard.ToText( 0 ), "algorithm=\"bicubicInterpolation\"" );

   // The block size is streamed for every algorithm but printed for the bicubic spline only.
   InterpolationParameters spline( InterpolationParameters::BicubicSpline, 9 );
   EXPECT_EQ( spline.ToText( 0 ), "algorithm=\"bicubicSplineInterpolation\", blockSize=9" );
   InterpolationParameters bilinear( InterpolationParameters::Bilinear, 9 );
   EXPECT_EQ( bilinear.ToText( 1 ), "algorithm=\"bilinearInterpolation\"" );
   const Bytes bilinearBytes = { 0x02, 0, 0, 0, 0x09, 0, 0, 0 };
   for ( float version : { 0.0f, 1.0f, 3.0f } )
      EXPECT_EQ( Written( bilinear, version ), bilinearBytes );

   InterpolationParameters read;
   ReadFrom( read, bilinearBytes, 2.0f );
   EXPECT_EQ( read.algorithm, InterpolationParameters::Bilinear );
   EXPECT_EQ( read.blockSize, 9 );
   read.Assign( spline );
   EXPECT_EQ( read.Clone()->ToText( 0 ), spline.ToText( 0 ) );

   struct
   {
      int32_t algorithm;
      const char* identifier;
      const char* name;
      int32_t code;
   } table[] = {
       { 0, "bicubicSplineInterpolation", "Bicubic Spline Interpolation", qor::Interpolation::BicubicSpline },
       { 1, "bicubicInterpolation", "Bicubic Interpolation", qor::Interpolation::Bicubic },
       { 2, "bilinearInterpolation", "Bilinear Interpolation", qor::Interpolation::Bilinear },
       { 3, "bicubicBSplineInterpolation", "Bicubic B-Spline Interpolation", qor::Interpolation::BicubicBSpline },
   };
   for ( auto& row : table )
   {
      EXPECT_EQ( InterpolationParameters::AlgorithmIdentifier( row.algorithm ), row.identifier );
      EXPECT_EQ( InterpolationParameters::AlgorithmName( row.algorithm ), row.name );
      EXPECT_EQ( InterpolationParameters( row.algorithm, 5 ).InterpolationCode(), row.code );
   }
}

TEST_F( ParameterRecordsTest, DamagedInterpolationStreamsAreRefusedWithoutChangingTheRecord )
{
   InterpolationParameters record( InterpolationParameters::BicubicSpline, 7 );
   for ( int32_t algorithm : { -1, 4, 1000000 } )
   {
      Bytes bytes = Written( InterpolationParameters( 0, 6 ) );
      bytes[0] = uint8_t( algorithm );
      bytes[1] = uint8_t( algorithm >> 8 );
      bytes[2] = uint8_t( algorithm >> 16 );
      bytes[3] = uint8_t( algorithm >> 24 );
      EXPECT_THROW( ReadFrom( record, bytes ), qor::GenericException ) << algorithm;
      EXPECT_EQ( record.algorithm, 0 );
      EXPECT_EQ( record.blockSize, 7 );
   }
   // A short stream too.
   EXPECT_THROW( ReadFrom( record, Bytes{ 0x02, 0, 0, 0, 0x09 } ), qor::File::UnexpectedEndOfFile );
   EXPECT_EQ( record.algorithm, 0 );
   EXPECT_EQ( record.blockSize, 7 );

   // A record set by code to an unknown algorithm prints its number and is never handed on as a code.
   InterpolationParameters unknown( 9, 5 );
   EXPECT_EQ( unknown.ToText( 0 ), "algorithm=9" );
   EXPECT_EQ( InterpolationParameters::AlgorithmIdentifier( 9 ), "" );
   EXPECT_THROW( unknown.InterpolationCode(), qor::GenericException );
}

TEST_F( ParameterRecordsTest, ShortStreamsLeaveColoursAndFactorsAsTheyWere )
{
   RGBColorParameters colour( 0.1f, 0.2f, 0.3f );
   EXPECT_THROW( ReadFrom( colour, Bytes( 11, 0 ) ), qor::File::UnexpectedEndOfFile );
   EXPECT_EQ( colour.ToText( 0 ), "0.1000,0.2000,0.3000" );

   ChannelFactors factors;
   factors.invert = true;
   EXPECT_THROW( ReadFrom( factors, Bytes( 12, 0 ) ), qor::File::UnexpectedEndOfFile );
   EXPECT_EQ( factors.ToText( 0 ), "1.000000, 1.000000, 1.000000, invert=1" );
}
