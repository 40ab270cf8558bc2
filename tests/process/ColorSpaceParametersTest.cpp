// The parameter records of the colour-space processes: their stream layouts, text forms and the values a stream
// may not bring in.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "ProcessTestKit.h"
#include "TestDirs.h"
#include "classlib/Exception.h"
#include "classlib/RGBColorSystem.h"
#include "process/ColorChannelsParameters.h"
#include "process/RGBSpaceParameters.h"

namespace
{

template <class P>
std::vector<uint8_t> Bytes( const P& parameters, const test::TempDir& dir )
{
   const std::string path = dir.File( "p" );
   {
      qor::File file;
      file.CreateForWriting( path );
      parameters.Write( file, 1.0f );
   }
   return kit::FileBytes( path );
}

template <class P>
void ReadBytes( P& parameters, const std::vector<uint8_t>& bytes, const test::TempDir& dir )
{
   const std::string path = dir.File( "r" );
   kit::WriteBytes( path, bytes );
   qor::File file;
   file.OpenForReading( path );
   parameters.Read( file, 1.0f );
}

TEST( RGBSpaceParametersParameters, DefaultsStreamAs45BytesAndPrint )
{
   test::TempDir dir;
   RGBSpaceParameters::Parameters p;
   EXPECT_EQ( p.Y[0], 0.22249099612236023f );
   EXPECT_EQ( p.x[2], 0.1558859944343567f );
   EXPECT_EQ( p.y[1], 0.5978710055351257f );
   p.mode = RGBSpaceParameters::ApplyLocal;
   const std::vector<uint8_t> bytes = Bytes( p, dir );
   ASSERT_EQ( bytes.size(), 45u );
   float green = 0;
   std::memcpy( &green, bytes.data() + 12, 4 );
   EXPECT_EQ( green, p.Y[1] );
   EXPECT_EQ( bytes[40], 1 );
   EXPECT_EQ( bytes[41], 2 );

   RGBSpaceParameters::Parameters q;
   q.sRGB = false;
   q.gamma = 1.8f;
   ReadBytes( q, bytes, dir );
   EXPECT_EQ( Bytes( q, dir ), bytes );
   EXPECT_EQ( p.ToText( 0 ), "luminanceCoefficients={0.222491, 0.716888, 0.060621},\n"
                             "chromaticityCoordinates={0.648431, 0.321152, 0.155886, 0.330856, 0.597871, 0.066044},\n"
                             "gamma=\"sRGB\",\nmode=\"applyLocal\"" );
   q.sRGB = false;
   q.gamma = 1.8f;
   q.mode = RGBSpaceParameters::ApplyThis;
   const std::string text = q.ToText( 0 );
   EXPECT_NE( text.find( ",\ngamma=1.80,\nmode=\"applyThis\"" ), std::string::npos ) << text;
}

TEST( RGBSpaceParametersParameters, OnlyUsableSpacesAreValid )
{
   RGBSpaceParameters::Parameters p;
   EXPECT_TRUE( p.IsValid() );
   p.sRGB = false;
   for ( float gamma : { 0.0f, -1.0f, std::numeric_limits<float>::infinity(), std::nanf( "" ) } )
   {
      p.gamma = gamma;
      EXPECT_FALSE( p.IsValid() ) << gamma;
   }
   p = RGBSpaceParameters::Parameters();
   p.x[2] = p.x[1];
   p.y[2] = p.y[1];
   EXPECT_FALSE( p.IsValid() );
   p = RGBSpaceParameters::Parameters();
   p.Y[0] = std::nanf( "" );
   EXPECT_FALSE( p.IsValid() );
}

TEST( ColorChannelsParameters, StreamAndTextForms )
{
   test::TempDir dir;
   ColorChannelsParameters p;
   EXPECT_EQ( p.ToText( 0 ), "colorSpace=\"RGB\",\nchannels={1,1,1},\nimageIdentifiers={\"\", \"\", \"\"}" );
   p.colorSpace = 5;
   p.channels = { true, false, true };
   p.imageIdentifiers = { "M31_L", "", "&imageId;_h&uniqueId;" };
   EXPECT_EQ( p.ToText( -1 ), "colorSpace=\"CIELch\",\nchannels={1,0,1},..." );
   EXPECT_EQ( p.ToText( 1 ),
              "colorSpace=\"CIELch\",\nchannels={1,0,1},\nimageIdentifiers={\"M31_L\", \"\", \"&imageId;_h&uniqueId;\"}" );

   const std::vector<uint8_t> bytes = Bytes( p, dir );
   ASSERT_EQ( bytes.size(), 4u + 3u + 4u + 5u + 4u + 4u + 21u );
   EXPECT_EQ( std::vector<uint8_t>( bytes.begin(), bytes.begin() + 7 ),
              ( std::vector<uint8_t>{ 5, 0, 0, 0, 1, 0, 1 } ) );
   ColorChannelsParameters q;
   std::vector<uint8_t> nonzero = bytes;
   nonzero[4] = 7; // any nonzero flag reads as set
   ReadBytes( q, nonzero, dir );
   EXPECT_EQ( Bytes( q, dir ), bytes );
}

TEST( ColorChannelsParameters, DamagedStreamsAreRefusedAndChangeNothing )
{
   test::TempDir dir;
   ColorChannelsParameters p;
   p.imageIdentifiers[0] = "M31";
   const std::vector<uint8_t> good = Bytes( p, dir );
   std::vector<std::vector<uint8_t>> damaged;
   for ( uint8_t space : { 0, 6, 255 } )
   {
      damaged.push_back( good );
      damaged.back()[0] = space;
   }
   damaged.push_back( good );
   damaged.back()[7] = 200; // an identifier longer than the stream
   damaged.push_back( good );
   damaged.back()[10] = 0x80; // a negative length
   for ( const std::vector<uint8_t>& bytes : damaged )
   {
      ColorChannelsParameters q;
      q.colorSpace = 3;
      EXPECT_ANY_THROW( ReadBytes( q, bytes, dir ) );
      EXPECT_EQ( q.colorSpace, 3 );
      EXPECT_EQ( q.imageIdentifiers[0], "" );
   }
}

} // namespace
