// HistogramsTransform on plain views against a scalar reference (grey and colour, channel sets then RGB/K, alpha
// untouched), its 80-byte stream with the refusal of unsound parameters, and its text form.

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <limits>

#include "FilterTestKit.h"
#include "ProcessTestKit.h"
#include "classlib/Exception.h"
#include "classlib/ImageTestSupport.h"
#include "process/HistogramsTransform.h"

namespace
{

HistogramsTransform::Parameters Sets( std::initializer_list<std::pair<int32_t, qor::HistogramTransformSet>> sets )
{
   HistogramsTransform::Parameters p;
   for ( const auto& [i, s] : sets )
      p.SetSet( i, s );
   return p;
}

// A sample through one set, step by step as the transform is defined (qor::HistogramTransformValue is tested
// against its own reference in the class library).
float Through( float v, const qor::HistogramTransformSet& s )
{
   return qor::HistogramTransformValue( v, s );
}

std::vector<uint8_t> SetBytes( std::initializer_list<std::array<float, 5>> sets )
{
   kit::Bytes bytes;
   for ( const auto& s : sets )
      for ( float v : s )
         bytes.Value( v );
   return bytes.data;
}

} // namespace

TEST( HistogramsTransform, ColourChannelsGetTheirSetThenRGBK )
{
   const qor::HistogramTransformSet red{ 0.1f, 0.9f, 0.3f, 0, 1 }, blue{ 0, 1, 0.5f, -0.2f, 1.1f },
       all{ 0.02f, 1, 0.6f, 0, 1 };
   const HistogramsTransform transform( Sets( { { 0, red }, { 2, blue }, { 3, all } } ) );
   qor::Image image = test::RandomImage( 40, 30, 4, qor::ColorSpace::RGB, 9 ); // with one alpha channel
   ASSERT_EQ( image.NumberOfAlphaChannels(), 1 );
   const qor::Image input( image );
   kit::RecordingView view( image );
   HistogramsTransform( transform ).DoExecuteOn( view );

   const qor::HistogramTransformSet identity;
   const qor::HistogramTransformSet* channelSet[] = { &red, &identity, &blue };
   for ( int32_t c = 0; c < 3; ++c )
      for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
         ASSERT_EQ( image[c][i], Through( Through( input[c][i], *channelSet[c] ), all ) ) << "channel " << c;
   EXPECT_EQ( std::memcmp( image[3], input[3], size_t( image.NumberOfPixels() ) * sizeof( float ) ), 0 );
   EXPECT_EQ( view.tasks, ( std::vector<std::string>{ "2:Processing channel #0", "2:Processing channel #1",
                                                      "2:Processing channel #2" } ) );
   // Red: its set and RGB/K, green: RGB/K only.
   EXPECT_EQ( view.monitorTexts.size(), 5u );
   EXPECT_EQ( view.modified, 1 );
}

TEST( HistogramsTransform, GreyImagesGetRGBKAloneAndIdentitySetsCostNothing )
{
   const qor::HistogramTransformSet all{ 0.2f, 0.8f, 0.25f, -1, 1 };
   const HistogramsTransform transform( Sets( { { 0, { 0.5f, 0.6f, 0.5f, 0, 1 } }, { 3, all } } ) );
   qor::Image image = test::RandomImage( 33, 17, 1, qor::ColorSpace::Gray, 2 );
   const qor::Image input( image );
   {
      kit::RecordingView view( image );
      HistogramsTransform( transform ).DoExecuteOn( view );
      EXPECT_EQ( view.tasks, std::vector<std::string>{ "2:Processing channel #0" } );
   }
   for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
      ASSERT_EQ( image[0][i], Through( input[0][i], all ) );

   qor::Image colour = test::RandomImage( 8, 8, 3, qor::ColorSpace::RGB, 4 );
   const qor::Image before( colour );
   kit::RecordingView view( colour );
   HistogramsTransform().DoExecuteOn( view );
   EXPECT_TRUE( test::SamePixels( colour, before ) );
   EXPECT_EQ( view.tasks.size(), 3u );
   EXPECT_TRUE( view.monitorTexts.empty() );
   EXPECT_EQ( view.modified, 1 );
}

TEST( HistogramsTransform, StreamOfEightyBytes )
{
   kit::ParameterStreams streams;
   HistogramsTransform defaults;
   EXPECT_EQ( streams.Written( *defaults.parameters ),
              SetBytes( { { 0, 1, 0.5f, 0, 1 }, { 0, 1, 0.5f, 0, 1 }, { 0, 1, 0.5f, 0, 1 }, { 0, 1, 0.5f, 0, 1 } } ) );

   const HistogramsTransform set(
       Sets( { { 1, { 0.125f, 0.75f, 0.3f, -0.5f, 2 } }, { 3, { 0.01f, 0.99f, 0.0f, 0, 1 } } } ) );
   const std::vector<uint8_t> bytes = streams.Written( *set.parameters, 1.5f );
   ASSERT_EQ( bytes.size(), 80u );
   HistogramsTransform read;
   EXPECT_EQ( streams.ReadFrom( *read.parameters, bytes, 1.0f ), 0 );
   EXPECT_EQ( streams.Written( *read.parameters ), bytes );
}

TEST( HistogramsTransform, UnsoundStreamsAreRefusedAndChangeNothing )
{
   const std::array<float, 5> identity{ 0, 1, 0.5f, 0, 1 };
   const float nan = std::numeric_limits<float>::quiet_NaN();
   struct Case
   {
      std::array<float, 5> set;
      const char* text;
   } cases[] = {
       { { 0.7f, 0.3f, 0.5f, 0, 1 }, "the shadows clipping point lies above the highlights clipping point" },
       { { 0, 1, 1.5f, 0, 1 }, "the midtones balance lies outside [0, 1]" },
       { { 0, 1, -0.5f, 0, 1 }, "the midtones balance lies outside [0, 1]" },
       { { -1, -1, 0.5f, 0, 1 }, "the shadows clipping point lies outside [0, 1]" },
       { { 0, 2, 0.5f, 0, 1 }, "the highlights clipping point lies outside [0, 1]" },
       { { 0, 1, 0.5f, -1, -1 }, "the high end of the expanded range lies below 1" }, // r0 = r1 would divide by 0
       { { 0, 1, 0.5f, 0.5f, 1 }, "the low end of the expanded range lies above 0" },
       { { 0, 1, nan, 0, 1 }, "a parameter is not a finite number" },
   };
   kit::ParameterStreams streams;
   const HistogramsTransform kept( Sets( { { 0, { 0.1f, 0.9f, 0.4f, 0, 1 } } } ) );
   for ( const Case& k : cases )
   {
      HistogramsTransform target( kept );
      try
      {
         streams.ReadFrom( *target.parameters, SetBytes( { identity, identity, k.set, identity } ) );
         ADD_FAILURE() << k.text;
      }
      catch ( const qor::GenericException& x )
      {
         EXPECT_EQ( x.ErrorText(), std::string( "Invalid HistogramsTransform parameters (B): " ) + k.text + "." );
      }
      EXPECT_EQ( target.ToText(), kept.ToText() );
   }
   // A stream that ends early fails in the file, the parameters untouched.
   HistogramsTransform target( kept );
   std::vector<uint8_t> bytes = SetBytes( { identity, identity, identity, identity } );
   bytes.resize( 60 );
   EXPECT_ANY_THROW( streams.ReadFrom( *target.parameters, bytes ) );
   EXPECT_EQ( target.ToText(), kept.ToText() );
}

TEST( HistogramsTransform, TextForm )
{
   const HistogramsTransform set(
       Sets( { { 1, { 0.125f, 0.75f, 0.3f, -0.5f, 2 } }, { 3, { 0.01f, 1, 0.5f, 0, 1 } } } ) );
   EXPECT_EQ( set.ToText(), "HistogramsTransform // R\n"
                            "// <identity>\n"
                            "// G\n"
                            "c0[1]=0.12500, c1[1]=0.75000, m[1]=0.30000, r0[1]=-0.50000, r1[1]=2.00000,\n"
                            "// B\n"
                            "// <identity>\n"
                            "// RGB/K\n"
                            "c0[3]=0.01000, c1[3]=1.00000, m[3]=0.50000, r0[3]=0.00000, r1[3]=1.00000" );
   EXPECT_EQ( set.parameters->ToText( -1 ),
              "// R\n"
              "// G\n"
              "c0[1]=0.12500, c1[1]=0.75000, m[1]=0.30000, r0[1]=-0.50000, r1[1]=2.00000,\n"
              "// B\n"
              "// RGB/K\n"
              "c0[3]=0.01000, c1[3]=1.00000, m[3]=0.50000, r0[3]=0.00000, r1[3]=1.00000" );
   EXPECT_EQ( set.Id(), "HistogramsTransform" );
   EXPECT_EQ( set.Category(), "Transfer Curves" );
   EXPECT_FLOAT_EQ( set.Version(), 1.0f );
}
