// CurvesTransform on a plain view: the curves each kind of image gets, in which order, against a direct evaluation
// of the curves; the colour passes and their tasks; one thread and all; the stream with its refusals; the text form.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "FilterTestKit.h"
#include "ProcessTestKit.h"
#include "classlib/ColorCurves.h"
#include "classlib/Exception.h"
#include "classlib/ImageTestSupport.h"
#include "classlib/Parallel.h"
#include "classlib/TransferCurve.h"
#include "process/CurvesTransform.h"

namespace
{

using P = CurvesTransform::Parameters;

// The curve c at v, evaluated directly from its points and clamped (NaN -> 0).
float Direct( const P& p, int32_t c, float v )
{
   const std::vector<float>& x = p.x[size_t( c )];
   const std::vector<float>& y = p.y[size_t( c )];
   const int32_t n = int32_t( x.size() );
   double r;
   if ( p.linear[size_t( c )] )
      r = qor::InterpolateLinear( x.data(), y.data(), n, v );
   else
   {
      std::vector<float> y2( x.size() );
      qor::ComputeSplineSecondDerivatives( x.data(), y.data(), n, y2.data() );
      r = qor::InterpolateSpline( x.data(), y.data(), y2.data(), n, v );
   }
   float f = float( r );
   return std::isnan( f ) || f < 0 ? 0.0f : ( f > 1 ? 1.0f : f );
}

void Set( P& p, int32_t c, std::vector<float> x, std::vector<float> y, bool linear = false )
{
   p.x[size_t( c )] = std::move( x );
   p.y[size_t( c )] = std::move( y );
   p.linear[size_t( c )] = linear;
}

// What a run on a recording view showed.
struct RunRecord
{
   std::vector<std::string> tasks;
   std::vector<std::string> monitorTexts;
   int modified = 0;
};

// Runs the process on the image through a recording view (the default working space).
RunRecord RunOn( const P& p, qor::Image& image )
{
   kit::RecordingView view( image );
   CurvesTransform process( p );
   process.DoExecuteOn( view );
   return { view.tasks, view.monitorTexts, view.modified };
}

std::vector<uint8_t> CurveBytes( uint32_t n, const std::vector<std::pair<float, float>>& points, int linearFlag )
{
   kit::Bytes bytes;
   bytes.Value( n );
   for ( auto [x, y] : points )
      bytes.Value( x ).Value( y );
   if ( linearFlag >= 0 )
      bytes.Value( uint8_t( linearFlag ) );
   return bytes.data;
}

std::vector<uint8_t> IdentityStream( float version )
{
   std::vector<uint8_t> bytes;
   for ( int c = 0; c < 7; ++c )
   {
      std::vector<uint8_t> curve = CurveBytes( 0, {}, version > 1.0f ? 0 : -1 );
      bytes.insert( bytes.end(), curve.begin(), curve.end() );
   }
   return bytes;
}

} // namespace

// A grey image gets the RGB/K curve alone, whatever the other curves say.
TEST( CurvesTransformTest, AGreyImageGetsTheCombinedCurveAlone )
{
   P p;
   Set( p, CurvesTransform::RGBK, { 0.0f, 0.25f, 0.6f, 1.0f }, { 0.05f, 0.4f, 0.7f, 0.95f } );
   Set( p, CurvesTransform::R, { 0.0f, 1.0f }, { 1.0f, 0.0f } );
   Set( p, CurvesTransform::L, { 0.0f, 1.0f }, { 1.0f, 1.0f } );
   Set( p, CurvesTransform::H, { 0.0f, 1.0f }, { 0.5f, 0.5f } );
   qor::Image image = test::RandomImage( 33, 21, 1, qor::ColorSpace::Gray, 1 );
   const qor::Image before( image );
   const RunRecord view = RunOn( p, image );
   for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
      ASSERT_EQ( image[0][i], Direct( p, CurvesTransform::RGBK, before[0][i] ) ) << i;
   EXPECT_EQ( view.tasks, ( std::vector<std::string>{ "2:Processing RGB channel #0" } ) );
   EXPECT_EQ( view.monitorTexts, ( std::vector<std::string>{ "Transfer function" } ) );
   EXPECT_EQ( view.modified, 1 );
}

// A colour image: each channel gets its own curve first, then RGB/K; then the lightness pass and the hue and
// saturation pass, each only when one of its curves is set.
TEST( CurvesTransformTest, AColourImageGetsItsChannelCurvesThenTheCombinedOneThenTheColourPasses )
{
   P p;
   Set( p, CurvesTransform::R, { 0.0f, 0.5f, 1.0f }, { 0.0f, 0.7f, 1.0f } );
   Set( p, CurvesTransform::B, { 0.0f, 0.4f, 1.0f }, { 0.1f, 0.3f, 0.9f }, true );
   Set( p, CurvesTransform::RGBK, { 0.0f, 1.0f }, { 0.0f, 0.8f } );
   qor::Image image = test::RandomImage( 27, 14, 3, qor::ColorSpace::RGB, 2 );
   const qor::Image before( image );
   const RunRecord view = RunOn( p, image );
   for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
   {
      ASSERT_EQ( image[0][i], Direct( p, 3, Direct( p, 0, before[0][i] ) ) ) << i;
      ASSERT_EQ( image[1][i], Direct( p, 3, before[1][i] ) ) << i;
      ASSERT_EQ( image[2][i], Direct( p, 3, Direct( p, 2, before[2][i] ) ) ) << i;
   }
   EXPECT_EQ( view.tasks, ( std::vector<std::string>{ "2:Processing RGB channel #0", "2:Processing RGB channel #1",
                                                       "2:Processing RGB channel #2" } ) );
   EXPECT_EQ( view.monitorTexts.size(), 5u ); // R, RGB/K, RGB/K, B, RGB/K

   // The colour passes, in order, as the class library computes them with the view's working space.
   P colour;
   Set( colour, CurvesTransform::L, { 0.0f, 0.4f, 1.0f }, { 0.0f, 0.55f, 1.0f } );
   Set( colour, CurvesTransform::S, { 0.0f, 1.0f }, { 0.0f, 0.6f } );
   qor::Image colourImage( before );
   const RunRecord colourRun = RunOn( colour, colourImage );
   EXPECT_EQ( colourRun.tasks,
              ( std::vector<std::string>{ "2:Processing RGB channel #0", "2:Processing RGB channel #1",
                                          "2:Processing RGB channel #2", "2:Luminance transform",
                                          "2:Hue/Saturation transform" } ) );
   qor::Image expected( before );
   const qor::RGBColorSystem rgbws;
   const qor::TransferCurveEvaluator saturation( colour.x[6], colour.y[6], false );
   qor::ApplyLightnessCurve( expected, rgbws, qor::TransferCurveEvaluator( colour.x[4], colour.y[4], false ) );
   qor::ApplyHueSaturationCurves( expected, rgbws, nullptr, &saturation );
   EXPECT_TRUE( test::SamePixels( colourImage, expected ) );
}

TEST( CurvesTransformTest, IdentityCurvesChangeNothingButStillMarkTheView )
{
   qor::Image image = test::RandomImage( 12, 9, 3, qor::ColorSpace::RGB, 3 );
   const qor::Image before( image );
   const RunRecord view = RunOn( P(), image );
   EXPECT_TRUE( test::SamePixels( image, before ) );
   EXPECT_EQ( view.tasks.size(), 3u );
   EXPECT_TRUE( view.monitorTexts.empty() );
   EXPECT_EQ( view.modified, 1 );

   // A curve whose points all lie on the diagonal is the identity too, whatever its number of points.
   P p;
   Set( p, CurvesTransform::RGBK, { 0.0f, 0.5f, 1.0f }, { 0.0f, 0.5f, 1.0f } );
   EXPECT_TRUE( p.IsIdentity( CurvesTransform::RGBK ) );
   p.y[CurvesTransform::RGBK][1] = 0.50001f;
   EXPECT_FALSE( p.IsIdentity( CurvesTransform::RGBK ) );
}

TEST( CurvesTransformTest, OneThreadAndAllGiveTheSameBits )
{
   P p;
   Set( p, CurvesTransform::G, { 0.0f, 0.3f, 1.0f }, { 0.0f, 0.5f, 1.0f } );
   Set( p, CurvesTransform::RGBK, { 0.0f, 0.1f, 0.5f, 0.9f, 1.0f }, { 0.0f, 0.02f, 0.6f, 0.97f, 1.0f } );
   Set( p, CurvesTransform::L, { 0.0f, 0.5f, 1.0f }, { 0.0f, 0.45f, 1.0f } );
   Set( p, CurvesTransform::H, { 0.0f, 1.0f }, { 0.1f, 0.9f }, true );
   const qor::Image input = test::RandomImage( 257, 199, 3, qor::ColorSpace::RGB, 4 );
   qor::Image one( input ), all( input );
   {
      qor::ThreadCountScope threads( 1 );
      RunOn( p, one );
   }
   {
      qor::ThreadCountScope threads( 0 );
      RunOn( p, all );
   }
   EXPECT_TRUE( test::SamePixels( one, all ) );
   EXPECT_FALSE( test::SamePixels( one, input ) );
}

TEST( CurvesTransformTest, StreamRoundTripAndOlderVersion )
{
   kit::ParameterStreams streams;
   // The default set: seven identity curves of two points, each with its flag.
   std::vector<uint8_t> expected;
   for ( int c = 0; c < 7; ++c )
   {
      std::vector<uint8_t> curve = CurveBytes( 2, { { 0.0f, 0.0f }, { 1.0f, 1.0f } }, 0 );
      expected.insert( expected.end(), curve.begin(), curve.end() );
   }
   EXPECT_EQ( streams.Written( P(), 1.01f ), expected );

   P p;
   Set( p, CurvesTransform::R, { 0.0f, 0.125f, 1.0f }, { 0.25f, 0.5f, 0.75f }, true );
   Set( p, CurvesTransform::S, { 0.0f, 0.5f, 0.75f, 1.0f }, { 0.0f, 0.1f, 0.2f, 1.0f } );
   P read;
   EXPECT_EQ( streams.ReadFrom( read, streams.Written( p, 1.01f ), 1.01f ), 0 );
   EXPECT_EQ( read.x, p.x );
   EXPECT_EQ( read.y, p.y );
   EXPECT_EQ( read.linear, p.linear );

   // Version 1.0 streams have no flags: every curve is a spline. A count of 0 is the identity.
   std::vector<uint8_t> old;
   std::vector<uint8_t> r = CurveBytes( 3, { { 0.0f, 0.0f }, { 0.5f, 0.8f }, { 1.0f, 1.0f } }, -1 );
   old.insert( old.end(), r.begin(), r.end() );
   for ( int c = 1; c < 7; ++c )
   {
      std::vector<uint8_t> curve = CurveBytes( 0, {}, -1 );
      old.insert( old.end(), curve.begin(), curve.end() );
   }
   P older;
   older.linear.fill( true );
   EXPECT_EQ( streams.ReadFrom( older, old, 1.0f ), 0 );
   EXPECT_EQ( older.x[0], ( std::vector<float>{ 0.0f, 0.5f, 1.0f } ) );
   EXPECT_EQ( older.x[6], ( std::vector<float>{ 0.0f, 1.0f } ) );
   EXPECT_EQ( older.y[6], ( std::vector<float>{ 0.0f, 1.0f } ) );
   for ( bool linear : older.linear )
      EXPECT_FALSE( linear );
   EXPECT_EQ( streams.ReadFrom( older, IdentityStream( 1.01f ), 1.01f ), 0 );
}

// Counts beyond the bytes there are or beyond any curve the program makes, a single point, repeated or decreasing
// abscissae and values that are not numbers are refused; the set keeps what it had.
TEST( CurvesTransformTest, MalformedStreamsAreRefused )
{
   const float nan = std::nanf( "" );
   struct Case
   {
      const char* what;
      std::vector<uint8_t> firstCurve;
   } cases[] = {
       { "a count beyond the stream", CurveBytes( 100, { { 0.0f, 0.0f }, { 1.0f, 1.0f } }, 0 ) },
       { "a huge count", CurveBytes( 0x7fffffffu, {}, 0 ) },
       { "a negative count", CurveBytes( 0xfffffffeu, {}, 0 ) },
       { "a single point", CurveBytes( 1, { { 0.5f, 0.5f } }, 0 ) },
       { "equal abscissae", CurveBytes( 3, { { 0.0f, 0.0f }, { 0.5f, 0.2f }, { 0.5f, 0.8f } }, 0 ) },
       { "decreasing abscissae", CurveBytes( 3, { { 0.0f, 0.0f }, { 0.7f, 0.2f }, { 0.4f, 0.8f } }, 0 ) },
       { "a NaN abscissa", CurveBytes( 2, { { 0.0f, 0.0f }, { nan, 1.0f } }, 0 ) },
       { "an infinite ordinate", CurveBytes( 2, { { 0.0f, 0.0f }, { 1.0f, INFINITY } }, 0 ) },
   };
   kit::ParameterStreams streams;
   P kept;
   Set( kept, CurvesTransform::G, { 0.0f, 0.5f, 1.0f }, { 0.0f, 0.9f, 1.0f }, true );
   for ( const Case& c : cases )
   {
      std::vector<uint8_t> bytes = c.firstCurve;
      const std::vector<uint8_t> rest = IdentityStream( 1.01f );
      bytes.insert( bytes.end(), rest.begin() + 5, rest.end() ); // six more identity curves
      P p( kept );
      EXPECT_THROW( streams.ReadFrom( p, bytes, 1.01f ), qor::GenericException ) << c.what;
      EXPECT_EQ( p.x, kept.x ) << c.what;
      EXPECT_EQ( p.y, kept.y ) << c.what;
      EXPECT_EQ( p.linear, kept.linear ) << c.what;
   }

   // More points than any curve can have at five decimals, although the bytes are there.
   const uint32_t tooMany = CurvesTransform::MaximumPoints + 1;
   std::vector<std::pair<float, float>> points;
   for ( uint32_t i = 0; i < tooMany; ++i )
      points.emplace_back( float( i ) / tooMany, 0.5f );
   P p;
   EXPECT_THROW( streams.ReadFrom( p, CurveBytes( tooMany, points, 0 ), 1.01f ), qor::GenericException );
}

TEST( CurvesTransformTest, TextForm )
{
   P p;
   Set( p, CurvesTransform::RGBK, { 0.0f, 0.5f, 1.0f }, { 0.0f, 0.6f, 1.0f } );
   EXPECT_EQ( p.ToText( 0 ), "// R\n"
                             "// <identity>\n"
                             "// G\n"
                             "// <identity>\n"
                             "// B\n"
                             "// <identity>,\n"
                             "// RGB/K\n"
                             "points[3]={{0.00000,0.00000},{0.50000,0.60000},{1.00000,1.00000}},\n"
                             "linear[3]=0\n"
                             "// CIE L*\n"
                             "// <identity>\n"
                             "// H\n"
                             "// <identity>\n"
                             "// S\n"
                             "// <identity>" );
   p.linear[3] = true;
   EXPECT_EQ( p.ToText( -1 ), "// R\n"
                              "// G\n"
                              "// B,\n"
                              "// RGB/K\n"
                              "points[3]={length=3,...},\n"
                              "linear[3]=1\n"
                              "// CIE L*\n"
                              "// H\n"
                              "// S" );
   CurvesTransform process( p );
   EXPECT_EQ( process.ToText().substr( 0, 21 ), "CurvesTransform // R\n" );
   EXPECT_EQ( process.Category(), "Transfer Curves" );
   EXPECT_EQ( Process::StreamVersion( process.Version() ), 1.01f );
   EXPECT_EQ( process.ProbeInstance()->ToText(), CurvesTransform().ToText() );
}
