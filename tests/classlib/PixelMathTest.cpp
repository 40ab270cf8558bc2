// Pixel arithmetic: the fourteen operators against known answers and a scalar reference written out here, the
// stages of a sequence (factors, operand images and constants, luminance mode, constrained infinities, the result
// stage and the rescale), their progress and abort, and one thread against all of them bit for bit.

#include <gtest/gtest.h>

#include "ColorSpace.h"
#include "Exception.h"
#include "Image.h"
#include "ImageTestSupport.h"
#include "Luminance.h"
#include "Parallel.h"
#include "PixelMath.h"
#include "RGBColorSystem.h"

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

using namespace qor;
using test::SamePixels;
using P = PixelMathOperator;

namespace
{

constexpr float FMax = std::numeric_limits<float>::max();
const double NaN = std::numeric_limits<double>::quiet_NaN();

// The operators written out from their definitions, for the operands the tests use.
uint32_t RefQ( double v )
{
   if ( !std::isfinite( v ) )
      return 0;
   const double r = std::nearbyint( v * 4294967295.0 );
   const int64_t i = int64_t( r ); // the tests keep |v| small
   return uint32_t( uint64_t( i ) & 0xFFFFFFFFu );
}

double RefPow( double x, double b )
{
   if ( b == 0 )
      return 1;
   if ( x == 0 )
      return 0;
   if ( std::trunc( b ) == b )
      return std::pow( x, b );
   return x < 0 ? 0 : std::pow( x, b );
}

double RefOp( int op, double x, double b )
{
   switch ( op )
   {
   case P::ADD:
      return x + b;
   case P::SUB:
      return x - b;
   case P::MUL:
      return x * b;
   case P::DIV:
   case P::DIVConstrained:
      return std::fabs( b ) > 1e-35 ? x / b : ( x < 0 ? -double( FMax ) : double( FMax ) );
   case P::POW:
      return RefPow( x, b );
   case P::DIF:
      return std::fabs( x - b );
   case P::MIN:
      return std::min( x, b );
   case P::MAX:
      return std::max( x, b );
   case P::MOV:
      return b;
   case P::OR:
      return double( RefQ( x ) | RefQ( b ) ) / 4294967295.0;
   case P::AND:
      return double( RefQ( x ) & RefQ( b ) ) / 4294967295.0;
   case P::XOR:
      return double( RefQ( x ) ^ RefQ( b ) ) / 4294967295.0;
   default:
      return x;
   }
}

float Operated( double x, int32_t op, double b )
{
   ApplyPixelMathOperator( x, op, b );
   return float( x );
}

Image Filled( int32_t w, int32_t h, std::initializer_list<std::vector<float>> channels )
{
   Image image( w, h, int32_t( channels.size() ), channels.size() == 1 ? ColorSpace::Gray : ColorSpace::RGB );
   int32_t c = 0;
   for ( const std::vector<float>& values : channels )
   {
      for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
         image[c][i] = values[size_t( i ) % values.size()];
      ++c;
   }
   return image;
}

std::vector<float> Samples( const Image& image, int32_t c )
{
   return std::vector<float>( image[c], image[c] + image.NumberOfPixels() );
}

const float Unit[3] = { 1, 1, 1 };

} // namespace

// ---- Operators ----------------------------------------------------------------------------------------------------

TEST( PixelMath, OperatorsGiveTheirKnownAnswers )
{
   struct Case
   {
      int32_t op;
      double x, b;
      float expected;
   };
   const Case cases[] = {
       { P::NOP, 0.3, 0.9, 0.3f },
       { P::ADD, 0.25, 0.5, 0.75f },
       { P::SUB, 0.25, 0.5, -0.25f },
       { P::MUL, 0.5, 0.25, 0.125f },
       { P::DIV, 0.5, 0.25, 2.0f },
       { P::DIV, 0.5, 1e-36, FMax }, // below the guard: the largest float, sign of the dividend
       { P::DIV, -0.5, 0, -FMax },
       { P::DIV, 0, 0, FMax },      // zero counts as positive
       { P::DIV, 1, -1e-35, FMax }, // the guard itself is not above 1e-35
       { P::DIVConstrained, 0.75, 0.5, 1.5f },
       { P::POW, 0.5, 0, 1.0f }, // b = 0 gives 1
       { P::POW, 0, 2.5, 0.0f }, // 0 to a non-zero power gives 0, even a negative one
       { P::POW, 0, -1, 0.0f },
       { P::POW, 10, 3, 1000.0f }, // exact powers of ten
       { P::POW, 10, -2, 0.01f },
       { P::POW, -2, 3, -8.0f }, // an integral power of a negative base
       { P::POW, 4, 0.5, 2.0f },
       { P::POW, -0.5, 0.5, 0.0f }, // no real power: 0, not NaN
       { P::DIF, 0.25, 0.75, 0.5f },
       { P::MIN, 0.3, 0.2, 0.2f },
       { P::MIN, 0.2, 0.3, 0.2f },
       { P::MAX, 0.3, 0.2, 0.3f },
       { P::MAX, 0.2, 0.3, 0.3f },
       { P::MOV, 0.3, 0.6, 0.6f },
       { P::OR, 1, 0, 1.0f },
       { P::AND, 1, 1, 1.0f }, // 4294967295 & 4294967295
       { P::AND, 1, 0.5, 0.5f },
       { P::XOR, 0.37, 0.37, 0.0f },
       { P::OR, NaN, 0.25, 0.25f }, // a NaN quantises to 0
       { 20, 0.4, 0.9, 0.4f },      // codes outside the table change nothing
       { -3, 0.4, 0.9, 0.4f },
   };
   for ( const Case& c : cases )
      EXPECT_EQ( Operated( c.x, c.op, c.b ), c.expected ) << P::Token( c.op ) << " " << c.x << ", " << c.b;

   EXPECT_EQ( std::string( P::Token( P::DIVConstrained ) ), "DIV*" );
   EXPECT_EQ( std::string( P::Name( P::DIVConstrained ) ), "Divide / Constrained Infinity" );
   EXPECT_EQ( std::string( P::Token( 99 ) ), "NOP" );
}

TEST( PixelMath, QuantisationTakesTheLowBitsOfAnyValue )
{
   EXPECT_EQ( PixelMathQuantize( 1 ), 4294967295u );
   EXPECT_EQ( PixelMathQuantize( 0.5 ), 2147483648u );               // 2147483647.5: ties to even
   EXPECT_EQ( PixelMathQuantize( 2 ), 4294967294u );                 // 8589934590 mod 2^32
   EXPECT_EQ( PixelMathQuantize( -1 / 4294967295.0 ), 0xFFFFFFFFu ); // -1 in two's complement
   EXPECT_EQ( PixelMathQuantize( 1e300 ), 0u );                      // far beyond 2^64: no low bits left
   EXPECT_EQ( PixelMathQuantize( NaN ), 0u );
   EXPECT_EQ( PixelMathQuantize( std::numeric_limits<double>::infinity() ), 0u );
}

TEST( PixelMath, PowerFollowsTheClassLibraryRule )
{
   EXPECT_EQ( PixelMathPower( 10, 5 ), 100000.0 );
   EXPECT_EQ( PixelMathPower( 2, -3 ), 0.125 );
   EXPECT_EQ( PixelMathPower( -3, 2 ), 9.0 );
   EXPECT_EQ( PixelMathPower( 0.5, 1e10 ), 0.0 ); // integral beyond int32: the limit
   EXPECT_EQ( PixelMathPower( -1, 3e9 ), 1.0 );
   EXPECT_EQ( PixelMathPower( -8, 1.0 / 3 ), 0.0 );
   EXPECT_NEAR( PixelMathPower( 0.3, 1.7 ), std::pow( 0.3, 1.7 ), 1e-15 );
   EXPECT_NEAR( PixelMathPower( 10, 0.5 ), std::sqrt( 10.0 ), 1e-14 );
}

// ---- Stages -------------------------------------------------------------------------------------------------------

TEST( PixelMath, EveryOperatorOfAnImageOperandMatchesTheScalarReference )
{
   const Image source = test::RandomImage( 37, 11, 3, ColorSpace::RGB, 3, -0.2f, 1.2f );
   const Image start = test::RandomImage( 37, 11, 3, ColorSpace::RGB, 4, -0.2f, 1.2f );
   const RGBColorSystem rgbws;
   const float factors[3] = { 1.0f, 0.5f, -2.0f };
   for ( int32_t op = 0; op < P::Count; ++op )
      for ( bool invert : { false, true } )
      {
         SCOPED_TRACE( std::string( P::Token( op ) ) + ( invert ? " inverted" : "" ) );
         Image target( start );
         ApplyPixelMathImage( target, source, op, factors, invert, 0, 0, rgbws );
         for ( int32_t c = 0; c < 3; ++c )
            for ( int64_t i = 0; i < target.NumberOfPixels(); ++i )
            {
               double b = double( source[c][i] ) * factors[c];
               if ( invert )
                  b = 1 - b;
               const float expected = float( RefOp( op, start[c][i], b ) );
               if ( op == P::POW )
                  EXPECT_NEAR( target[c][i], expected, 1e-6 * std::max( 1.0f, std::fabs( expected ) ) );
               else
                  ASSERT_EQ( target[c][i], expected ) << "channel " << c << " sample " << i;
            }
      }
}

TEST( PixelMath, ConstantsApplyPerChannelAndAGreyTargetTakesTheFirst )
{
   const float constants[3] = { 0.5f, 0.25f, 0.0f };
   Image rgb = Filled( 2, 2, { { 0.1f }, { 0.2f }, { 0.3f } } );
   ApplyPixelMathConstants( rgb, P::ADD, constants );
   EXPECT_EQ( rgb[0][3], float( 0.1f + 0.5 ) );
   EXPECT_EQ( rgb[1][3], float( 0.2f + 0.25 ) );
   EXPECT_EQ( rgb[2][3], 0.3f );

   Image grey = Filled( 2, 2, { { 0.1f } } );
   ApplyPixelMathConstants( grey, P::ADD, constants );
   EXPECT_EQ( grey[0][0], float( 0.1f + 0.5 ) );
}

TEST( PixelMath, TargetFactorsScaleThenInvert )
{
   Image image = Filled( 2, 1, { { 0.5f, 0.25f }, { 0.5f }, { 0.5f } } );
   const float factors[3] = { 0.5f, 1.0f, 2.0f };
   ApplyPixelMathChannelFactors( image, factors, false );
   EXPECT_EQ( Samples( image, 0 ), ( std::vector<float>{ 0.25f, 0.125f } ) );
   EXPECT_EQ( Samples( image, 1 ), ( std::vector<float>{ 0.5f, 0.5f } ) );
   EXPECT_EQ( Samples( image, 2 ), ( std::vector<float>{ 1.0f, 1.0f } ) );
   ApplyPixelMathChannelFactors( image, Unit, true );
   EXPECT_EQ( Samples( image, 0 ), ( std::vector<float>{ 0.75f, 0.875f } ) );
   EXPECT_EQ( Samples( image, 2 ), ( std::vector<float>{ 0.0f, 0.0f } ) );
}

TEST( PixelMath, AGreyOperandFeedsEveryChannelOfAColourTarget )
{
   const Image source = Filled( 3, 2, { { 0.1f, 0.2f, 0.4f } } );
   Image target = Filled( 3, 2, { { 0.0f }, { 0.5f }, { 1.0f } } );
   const float factors[3] = { 1.0f, 2.0f, 0.5f };
   ApplyPixelMathImage( target, source, P::ADD, factors, false, 0, 0, RGBColorSystem() );
   EXPECT_EQ( target[0][2], float( 0.0 + double( 0.4f ) ) );
   EXPECT_EQ( target[1][2], float( 0.5 + double( 0.4f ) * 2 ) );
   EXPECT_EQ( target[2][2], float( 1.0 + double( 0.4f ) * 0.5 ) );
}

TEST( PixelMath, AColourOperandGivesAGreyTargetItsLightnessWithTheLibraryConstants )
{
   const RGBColorSystem rgbws;
   Image source = test::RandomImage( 9, 7, 3, ColorSpace::RGB, 11 );
   // A dark neutral pixel on the linear segments of the sRGB curve and of L*: there the rounded constant 903.3
   // would give a lightness 1.1e-7 above the one of the exact 24389/27.
   const float dark = 0.04f;
   for ( int32_t c = 0; c < 3; ++c )
      source[c][0] = dark;

   Image target( 9, 7, 1, ColorSpace::Gray );
   target.Fill( 0, 0.0f );
   ApplyPixelMathImage( target, source, P::MOV, Unit, false, 0, 0, rgbws );

   // The lightness every other part of the program computes for these pixels.
   const std::unique_ptr<Image> lightness = ExtractLuminance( source, rgbws );
   EXPECT_TRUE( SamePixels( target, *lightness ) );

   const double Y = double( dark ) / 12.92;
   EXPECT_NEAR( target[0][0], 24389.0 / 27 * Y / 100, 2e-8 );
   EXPECT_GT( std::fabs( target[0][0] - 903.3 * Y / 100 ), 6e-8 );
}

TEST( PixelMath, APreviewReadsItsRectangleOfTheOperand )
{
   Image source( 6, 5, 1, ColorSpace::Gray );
   for ( int64_t i = 0; i < source.NumberOfPixels(); ++i )
      source[0][i] = float( i ) / 64;
   Image target( 3, 2, 1, ColorSpace::Gray );
   target.Fill( 0, 0.0f );
   ApplyPixelMathImage( target, source, P::MOV, Unit, false, 2, 1, RGBColorSystem() );
   EXPECT_EQ( Samples( target, 0 ),
              ( std::vector<float>{ 8 / 64.f, 9 / 64.f, 10 / 64.f, 14 / 64.f, 15 / 64.f, 16 / 64.f } ) );

   // An operand that does not cover the rectangle is refused before anything changes.
   const Image before( target );
   EXPECT_THROW( ApplyPixelMathImage( target, source, P::ADD, Unit, false, 4, 1, RGBColorSystem() ), GenericException );
   EXPECT_THROW( ApplyPixelMathImage( target, source, P::ADD, Unit, false, -1, 0, RGBColorSystem() ),
                 GenericException );
   EXPECT_TRUE( SamePixels( target, before ) );
}

TEST( PixelMath, ConstrainedInfinitiesTakeTheRangeOfTheOtherValues )
{
   Image image = Filled( 6, 1,
                         { { 1.0f, FMax, 0.5f, -FMax, 0.25f, float( NaN ) },
                           { FMax, -FMax, FMax, FMax, -FMax, FMax },
                           { 0.3f, 0.7f, 0.1f, 0.9f, 0.5f, 0.2f } } );
   const Image before( image );
   ConstrainPixelMathInfinities( image );
   const std::vector<float> first = Samples( image, 0 );
   EXPECT_EQ( std::vector<float>( first.begin(), first.end() - 1 ),
              ( std::vector<float>{ 1.0f, 1.0f, 0.5f, 0.25f, 0.25f } ) );
   EXPECT_TRUE( std::isnan( first.back() ) );
   // Nothing but infinities: nothing to constrain them to, and the extremes are not exchanged.
   EXPECT_EQ( Samples( image, 1 ), Samples( before, 1 ) );
   EXPECT_EQ( Samples( image, 2 ), Samples( before, 2 ) );
}

TEST( PixelMath, WithoutRescaleTheResultIsClippedBeforeItIsInverted )
{
   struct Case
   {
      float sample, factor, constant;
      bool invert;
      float expected;
   };
   const Case cases[] = {
       { 0.5f, 2.0f, 0.0f, false, 1.0f },         { 0.5f, 2.0f, 0.0f, true, 0.0f },
       { 0.5f, 1.0f, -0.75f, false, 0.0f },       { 0.5f, 1.0f, -0.75f, true, 1.0f },
       { 0.25f, 1.0f, 0.5f, false, 0.75f },       { 0.25f, 1.0f, 0.5f, true, 0.25f },
       { float( NaN ), 1.0f, 0.0f, false, 0.0f },
   };
   for ( const Case& c : cases )
   {
      Image image = Filled( 1, 1, { { c.sample } } );
      const float factors[3] = { c.factor, 1, 1 };
      ApplyPixelMathResult( image, factors, c.invert, c.constant, false );
      EXPECT_EQ( image[0][0], c.expected ) << c.sample << " * " << c.factor << " + " << c.constant;
   }
   // With rescale the values are left for the rescale stage, whatever their range.
   Image image = Filled( 2, 1, { { 0.5f, -1.0f } } );
   const float factors[3] = { 3, 1, 1 };
   ApplyPixelMathResult( image, factors, true, 0.5f, true );
   EXPECT_EQ( Samples( image, 0 ), ( std::vector<float>{ 2.0f, -2.5f } ) );
}

TEST( PixelMath, RescaleMapsEveryChannelOntoTheBounds )
{
   struct Case
   {
      const char* what;
      std::vector<float> samples;
      float lower, upper;
      bool invert;
      std::vector<float> expected;
   };
   const std::vector<Case> cases = {
       { "default range", { 0.5f, 1.5f, 1.0f, 0.5f }, 0, 1, false, { 0.0f, 1.0f, 0.5f, 0.0f } },
       { "inverted", { 0.5f, 1.5f, 1.0f, 0.5f }, 0, 1, true, { 1.0f, 0.0f, 0.5f, 1.0f } },
       { "bounds",
         { -1.0f, 3.0f, 1.0f, -1.0f },
         0.2f,
         0.8f,
         false,
         { 0.2f, float( double( 0.6f ) + 0.2f ), float( double( 0.6f ) * 0.5 + 0.2f ), 0.2f } },
       { "bounds inverted",
         { -1.0f, 3.0f, -1.0f, -1.0f },
         0.2f,
         0.8f,
         true,
         { float( 1 - double( 0.2f ) ), float( 1 - ( double( 0.6f ) + 0.2f ) ), float( 1 - double( 0.2f ) ),
           float( 1 - double( 0.2f ) ) } },
       { "constant above one", { 1.5f, 1.5f, 1.5f, 1.5f }, 0, 1, false, { 1.0f, 1.0f, 1.0f, 1.0f } },
       { "constant in bounds",
         { 0.5f, 0.5f, 0.5f, 0.5f },
         0.2f,
         0.8f,
         true,
         { float( 1 - ( double( 0.6f ) * 0.5 + 0.2f ) ), float( 1 - ( double( 0.6f ) * 0.5 + 0.2f ) ),
           float( 1 - ( double( 0.6f ) * 0.5 + 0.2f ) ), float( 1 - ( double( 0.6f ) * 0.5 + 0.2f ) ) } },
       { "already [0, 1]", { 0.0f, 1.0f, 0.3f, 0.6f }, 0, 1, false, { 0.0f, 1.0f, 0.3f, 0.6f } },
       { "already [0, 1] inverted", { 0.0f, 1.0f, 0.3f, 0.6f }, 0, 1, true, { 1.0f, 0.0f, 0.7f, 0.4f } },
   };
   for ( const Case& c : cases )
   {
      Image image = Filled( 4, 1, { c.samples } );
      RescalePixelMathResult( image, c.lower, c.upper, c.invert );
      const std::vector<float> got = Samples( image, 0 );
      for ( size_t i = 0; i < got.size(); ++i )
         EXPECT_NEAR( got[i], c.expected[i], 1e-7 ) << c.what << " sample " << i;
   }

   // Rows long enough for the vectorised loops: every sample is the formula written out, bit for bit.
   const Image wide = test::RandomImage( 37, 3, 1, ColorSpace::Gray, 9, -0.5f, 2.0f );
   float low = wide[0][0], high = wide[0][0];
   for ( int64_t i = 0; i < wide.NumberOfPixels(); ++i )
   {
      low = std::min( low, wide[0][i] );
      high = std::max( high, wide[0][i] );
   }
   const double inverseSpan = 1 / ( double( high ) - double( low ) );
   for ( bool invert : { false, true } )
      for ( float lower : { 0.0f, 0.2f } )
      {
         Image rescaled( wide );
         RescalePixelMathResult( rescaled, lower, 0.8f + lower / 2, invert );
         for ( int64_t i = 0; i < wide.NumberOfPixels(); ++i )
         {
            const double unit = ( double( wide[0][i] ) - double( low ) ) * inverseSpan;
            volatile double scaled = double( 0.8f + lower / 2 - lower ) * unit; // not fused with the addition
            const double v = scaled + double( lower );
            ASSERT_EQ( rescaled[0][i], float( invert ? 1 - v : v ) ) << i << ( invert ? " inverted" : "" );
         }
      }

   // A NaN takes no part in the range and stays a NaN.
   Image image = Filled( 4, 1, { { float( NaN ), 2.0f, 4.0f, 3.0f } } );
   RescalePixelMathResult( image, 0, 1, false );
   EXPECT_TRUE( std::isnan( image[0][0] ) );
   EXPECT_EQ( std::vector<float>( image[0] + 1, image[0] + 4 ), ( std::vector<float>{ 0.0f, 1.0f, 0.5f } ) );
}

TEST( PixelMath, EveryStageCountsEachSampleOnceAndStopsOnAnAbort )
{
   Image image = test::RandomImage( 31, 17, 3, ColorSpace::RGB, 5 );
   const Image source = test::RandomImage( 31, 17, 1, ColorSpace::Gray, 6 );
   const int64_t n = image.NumberOfPixels();
   struct Stage
   {
      const char* text;
      int64_t total;
      std::function<void()> run;
   };
   const float zeroes[3] = { 0, 0, 0 };
   const Stage stages[] = {
       { "Applying channel factors / inversion", 6 * n, [&] { ApplyPixelMathChannelFactors( image, Unit, false ); } },
       { "Applying image", 3 * n,
         [&] { ApplyPixelMathImage( image, source, P::DIVConstrained, Unit, false, 0, 0, RGBColorSystem() ); } },
       { "Applying constants", 3 * n, [&] { ApplyPixelMathConstants( image, P::DIV, zeroes ); } },
       { "Constraining infinities", 3 * n, [&] { ConstrainPixelMathInfinities( image ); } },
       { "Result parameters", 3 * n, [&] { ApplyPixelMathResult( image, Unit, false, 0, true ); } },
       { "Rescaling pixel values", 3 * n, [&] { RescalePixelMathResult( image, 0.1f, 0.9f, true ); } },
   };
   for ( const Stage& stage : stages )
   {
      test::EventRecorder recorder;
      image.Status().SetCallback( &test::EventRecorder::Callback, &recorder );
      stage.run();
      EXPECT_EQ( image.Status().Text(), stage.text );
      EXPECT_EQ( image.Status().Total(), stage.total ) << stage.text;
      EXPECT_EQ( recorder.lastCount, stage.total ) << stage.text;
      EXPECT_EQ( recorder.events.back(), StatusCallback::Done ) << stage.text;

      test::MonitorProbe probe;
      probe.abortAt = 1;
      image.Status().SetCallback( &test::MonitorProbe::Callback, &probe );
      EXPECT_THROW( stage.run(), Image::AbortProcessEvent ) << stage.text;
      image.Status().SetCallback( nullptr, nullptr );
   }
}

TEST( PixelMath, OneThreadAndAllThreadsGiveTheSameBits )
{
   const Image start = test::RandomImage( 257, 131, 3, ColorSpace::RGB, 21 );
   Image divisor = test::RandomImage( 257, 131, 3, ColorSpace::RGB, 22 );
   for ( int64_t i = 0; i < divisor.NumberOfPixels(); i += 97 )
      divisor[1][i] = 0; // infinities for the constrained pass
   const Image grey = test::RandomImage( 300, 200, 1, ColorSpace::Gray, 23 );
   auto sequence = [&]
   {
      Image image( start );
      const float factors[3] = { 0.9f, 1.1f, 1.0f };
      const float constants[3] = { 0.3f, 0.6f, 0.9f };
      ApplyPixelMathChannelFactors( image, factors, true );
      ApplyPixelMathImage( image, divisor, P::DIVConstrained, factors, false, 0, 0, RGBColorSystem() );
      ConstrainPixelMathInfinities( image );
      ApplyPixelMathImage( image, grey, P::POW, factors, true, 20, 30, RGBColorSystem() );
      ApplyPixelMathConstants( image, P::XOR, constants );
      ApplyPixelMathResult( image, factors, false, 0.1f, true );
      RescalePixelMathResult( image, 0.2f, 0.7f, false );
      return image;
   };
   Image one, all;
   {
      ThreadCountScope threads( 1 );
      one = sequence();
   }
   {
      ThreadCountScope threads( 0 );
      all = sequence();
   }
   EXPECT_TRUE( SamePixels( one, all ) );
}

TEST( PixelMath, RangesTakenWhileWritingGiveTheRescaleOfAFreshScan )
{
   const Image start = test::RandomImage( 67, 45, 3, ColorSpace::RGB, 31, -0.5f, 2.0f );
   Image operand = test::RandomImage( 67, 45, 3, ColorSpace::RGB, 32 );
   operand[2][7] = float( NaN );
   const float factors[3] = { 1.5f, 1.0f, 0.5f };
   const float constants[3] = { 0.25f, 0.0f, 2.0f };
   const float unitWithScale[3] = { 1.0f, 2.0f, 1.0f };
   struct Case
   {
      const char* what;
      std::function<void( Image&, PixelMathRanges* )> stages;
   };
   const Case cases[] = {
       { "an image", [&]( Image& i, PixelMathRanges* r )
         { ApplyPixelMathImage( i, operand, P::SUB, factors, true, 0, 0, RGBColorSystem(), r ); } },
       { "constants", [&]( Image& i, PixelMathRanges* r ) { ApplyPixelMathConstants( i, P::MUL, constants, r ); } },
       // An operator outside the table writes nothing and takes no range.
       { "no operation", [&]( Image& i, PixelMathRanges* r ) { ApplyPixelMathConstants( i, 40, constants, r ); } },
   };
   for ( const Case& c : cases )
      for ( bool scaled : { false, true } )
      {
         Image fused( start ), scanned( start );
         PixelMathRanges ranges;
         ranges.known[0] = true; // whatever came before a stage is forgotten by it
         c.stages( fused, &ranges );
         c.stages( scanned, nullptr );
         const float* result = scaled ? unitWithScale : Unit;
         ApplyPixelMathResult( fused, result, false, 0, true, &ranges );
         ApplyPixelMathResult( scanned, result, false, 0, true );
         EXPECT_EQ( ranges.known[1], !scaled && std::string( c.what ) != "no operation" ) << c.what;
         RescalePixelMathResult( fused, 0.1f, 0.9f, false, &ranges );
         RescalePixelMathResult( scanned, 0.1f, 0.9f, false );
         EXPECT_TRUE( SamePixels( fused, scanned ) ) << c.what << ( scaled ? ", scaled" : "" );
      }
}
