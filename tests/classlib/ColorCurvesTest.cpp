// The colour passes of the curves transform against a scalar reference written from the formulas in double
// precision, their edge cases, and the same bits on one thread and on all.

#include <gtest/gtest.h>

#include "ColorCurves.h"
#include "Exception.h"
#include "ImageTestSupport.h"
#include "Parallel.h"
#include "TransferCurve.h"
#include "TransferCurveEvaluator.h"

#include <algorithm>
#include <cmath>
#include <vector>

using qor::Image;

namespace
{

struct Curve
{
   std::vector<float> x, y;
   bool linear = false;

   qor::TransferCurveEvaluator Evaluator() const { return qor::TransferCurveEvaluator( x, y, linear ); }

   // The curve at v by the library's evaluation of the points, clamped (NaN -> 0).
   double At( double v ) const
   {
      std::vector<float> y2( x.size() );
      qor::ComputeSplineSecondDerivatives( x.data(), y.data(), int32_t( x.size() ), y2.data() );
      const double r = linear ? qor::InterpolateLinear( x.data(), y.data(), int32_t( x.size() ), float( v ) )
                              : qor::InterpolateSpline( x.data(), y.data(), y2.data(), int32_t( x.size() ), float( v ) );
      return std::isnan( r ) ? 0.0 : std::clamp( r, 0.0, 1.0 );
   }
};

// The normalised CIE L*a*b* of a working space, from its parameters, in double.
class Reference
{
public:
   explicit Reference( const qor::RGBColorSystem& rgbws ) : d( rgbws.Values() ) {}

   void ToLab( double r, double g, double b, double& L, double& A, double& B ) const
   {
      const double R = Linear( r ), G = Linear( g ), Bl = Linear( b );
      const float* M = d.rgbToXYZ;
      const double X = ( M[0] * R + M[1] * G + M[2] * Bl ) / d.whiteX;
      const double Y = M[3] * R + M[4] * G + M[5] * Bl;
      const double Z = ( M[6] * R + M[7] * G + M[8] * Bl ) / d.whiteZ;
      const double fx = F( X ), fy = F( Y ), fz = F( Z );
      L = 1.16 * fy - 0.16;
      A = ( 5 * ( fx - fy ) + d.abOffset ) / d.abRange;
      B = ( 2 * ( fy - fz ) + d.abOffset ) / d.abRange;
   }

   void FromLab( double L, double A, double B, double& r, double& g, double& b ) const
   {
      const double fy = ( L + 0.16 ) / 1.16;
      const double fx = ( d.abRange * A - d.abOffset ) * 0.2 + fy;
      const double fz = fy - ( d.abRange * B - d.abOffset ) * 0.5;
      const double X = FInverse( fx ) * d.whiteX, Y = FInverse( fy ), Z = FInverse( fz ) * d.whiteZ;
      const float* N = d.xyzToRGB;
      r = Encoded( N[0] * X + N[1] * Y + N[2] * Z );
      g = Encoded( N[3] * X + N[4] * Y + N[5] * Z );
      b = Encoded( N[6] * X + N[7] * Y + N[8] * Z );
   }

private:
   static constexpr double Epsilon = 216.0 / 24389;
   static constexpr double Kappa = 24389.0 / 27;

   static double Linear( double v ) { return v > 0.04045 ? std::pow( ( v + 0.055 ) / 1.055, 2.4 ) : v / 12.92; }
   static double Encoded( double v ) { return v > 0.0031308 ? 1.055 * std::pow( v, 1 / 2.4 ) - 0.055 : 12.92 * v; }
   static double F( double t ) { return t > Epsilon ? std::cbrt( t ) : Kappa / 116 * t + 16.0 / 116; }
   static double FInverse( double f )
   {
      const double t = f * f * f;
      return t > Epsilon ? t : ( f - 16.0 / 116 ) / ( Kappa / 116 );
   }

   qor::RGBColorSystem::Data d;
};

double Unit( double v )
{
   return std::isnan( v ) ? 0.0 : std::clamp( v, 0.0, 1.0 );
}

// HSV by the textbook formulas, hue in turns.
void HSV( double r, double g, double b, double& h, double& s, double& v )
{
   v = std::max( { r, g, b } );
   const double d = v - std::min( { r, g, b } );
   if ( d == 0 )
   {
      h = s = 0;
      return;
   }
   s = d / v;
   h = r == v ? ( g - b ) / d : ( g == v ? 2 + ( b - r ) / d : 4 + ( r - g ) / d );
   h /= 6;
   if ( h < 0 )
      h += 1;
}

void RGBFromHSV( double h, double s, double v, double& r, double& g, double& b )
{
   const double w = 6 * ( h - std::floor( h ) );
   const int sector = int( std::floor( w ) ) % 6;
   const double f = w - std::floor( w );
   const double p = v * ( 1 - s ), q = v * ( 1 - s * f ), t = v * ( 1 - s * ( 1 - f ) );
   const double table[6][3] = { { v, t, p }, { q, v, p }, { p, v, t }, { p, q, v }, { t, p, v }, { v, p, q } };
   r = table[sector][0];
   g = table[sector][1];
   b = table[sector][2];
}

const Curve Lightness{ { 0.0f, 0.3f, 0.7f, 1.0f }, { 0.0f, 0.45f, 0.8f, 1.0f } };
const Curve Hue{ { 0.0f, 0.5f, 1.0f }, { 0.05f, 0.6f, 0.95f }, true };
const Curve Saturation{ { 0.0f, 0.5f, 1.0f }, { 0.0f, 0.3f, 1.0f } };

constexpr double Tolerance = 2e-4;

} // namespace

TEST( ColorCurvesTest, LightnessPassMatchesTheFormulas )
{
   Image image = test::RandomImage( 31, 17, 3, qor::ColorSpace::RGB, 5 );
   const Image before( image );
   const qor::RGBColorSystem rgbws;
   const Reference ref( rgbws );
   qor::ApplyLightnessCurve( image, rgbws, Lightness.Evaluator() );
   for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
   {
      double L, A, B, r, g, b;
      ref.ToLab( before[0][i], before[1][i], before[2][i], L, A, B );
      ref.FromLab( Lightness.At( L ), A, B, r, g, b );
      EXPECT_NEAR( image[0][i], Unit( r ), Tolerance ) << i;
      EXPECT_NEAR( image[1][i], Unit( g ), Tolerance ) << i;
      EXPECT_NEAR( image[2][i], Unit( b ), Tolerance ) << i;
   }
}

TEST( ColorCurvesTest, HueSaturationPassMatchesTheFormulasAndKeepsLightness )
{
   struct Case
   {
      const Curve* hue;
      const Curve* saturation;
   } cases[] = { { &Hue, nullptr }, { nullptr, &Saturation }, { &Hue, &Saturation } };
   const qor::RGBColorSystem rgbws;
   const Reference ref( rgbws );
   for ( const Case& c : cases )
   {
      Image image = test::RandomImage( 23, 19, 3, qor::ColorSpace::RGB, 9 );
      const Image before( image );
      const qor::TransferCurveEvaluator hue = ( c.hue != nullptr ? *c.hue : Hue ).Evaluator();
      const qor::TransferCurveEvaluator saturation = ( c.saturation != nullptr ? *c.saturation : Saturation ).Evaluator();
      qor::ApplyHueSaturationCurves( image, rgbws, c.hue != nullptr ? &hue : nullptr,
                                     c.saturation != nullptr ? &saturation : nullptr );
      for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
      {
         double h, s, v, L0, A, B, L, r, g, b;
         HSV( before[0][i], before[1][i], before[2][i], h, s, v );
         ref.ToLab( before[0][i], before[1][i], before[2][i], L0, A, B );
         if ( c.hue != nullptr )
            h = c.hue->At( h );
         if ( c.saturation != nullptr )
            s = c.saturation->At( s );
         RGBFromHSV( h, s, v, r, g, b );
         ref.ToLab( r, g, b, L, A, B );
         ref.FromLab( L0, A, B, r, g, b );
         // A hue at a sector's edge may fall on either side in float: both sides meet there.
         EXPECT_NEAR( image[0][i], Unit( r ), 5 * Tolerance ) << i;
         EXPECT_NEAR( image[1][i], Unit( g ), 5 * Tolerance ) << i;
         EXPECT_NEAR( image[2][i], Unit( b ), 5 * Tolerance ) << i;
      }
   }
}

TEST( ColorCurvesTest, EdgeCasesOfTheColourPasses )
{
   const qor::RGBColorSystem rgbws;
   // Neutral pixels have no saturation: a hue curve leaves them as they are.
   Image grey( 16, 1, 3, qor::ColorSpace::RGB );
   for ( int c = 0; c < 3; ++c )
      for ( int i = 0; i < 16; ++i )
         grey[c][i] = float( i ) / 15;
   Image same( grey );
   const qor::TransferCurveEvaluator hue = Hue.Evaluator();
   qor::ApplyHueSaturationCurves( same, rgbws, &hue, nullptr );
   for ( int c = 0; c < 3; ++c )
      for ( int i = 0; i < 16; ++i )
         EXPECT_NEAR( same[c][i], grey[c][i], 1e-5 );

   // A saturation curve of zeros makes every pixel the neutral grey of its own lightness.
   Image colour = test::RandomImage( 13, 11, 3, qor::ColorSpace::RGB, 3 );
   const Image before( colour );
   const Curve none{ { 0.0f, 1.0f }, { 0.0f, 0.0f } };
   const qor::TransferCurveEvaluator zero = none.Evaluator();
   qor::ApplyHueSaturationCurves( colour, rgbws, nullptr, &zero );
   for ( int64_t i = 0; i < colour.NumberOfPixels(); ++i )
   {
      EXPECT_NEAR( colour[0][i], colour[1][i], 1e-4 );
      EXPECT_NEAR( colour[1][i], colour[2][i], 1e-4 );
      EXPECT_NEAR( rgbws.RGBToCIEL( colour[0][i], colour[1][i], colour[2][i] ),
                   rgbws.RGBToCIEL( before[0][i], before[1][i], before[2][i] ), 1e-4 );
   }

   // A lightness curve that is the constant 1 turns grey pixels white and clamps coloured ones.
   const Curve white{ { 0.0f, 1.0f }, { 1.0f, 1.0f } };
   qor::ApplyLightnessCurve( grey, rgbws, white.Evaluator() );
   for ( int c = 0; c < 3; ++c )
      for ( int i = 0; i < 16; ++i )
         EXPECT_NEAR( grey[c][i], 1.0f, 1e-5 );
   Image bright = test::RandomImage( 9, 9, 3, qor::ColorSpace::RGB, 4 );
   qor::ApplyLightnessCurve( bright, rgbws, white.Evaluator() );
   for ( int c = 0; c < 3; ++c )
      for ( int64_t i = 0; i < bright.NumberOfPixels(); ++i )
         EXPECT_TRUE( bright[c][i] >= 0.0f && bright[c][i] <= 1.0f );

   // Grey images have no colour to work on; NaN samples come out as 0.
   Image greyImage( 4, 4, 1, qor::ColorSpace::Gray );
   EXPECT_THROW( qor::ApplyLightnessCurve( greyImage, rgbws, Lightness.Evaluator() ), qor::GenericException );
   EXPECT_THROW( qor::ApplyHueSaturationCurves( greyImage, rgbws, &hue, nullptr ), qor::GenericException );
   Image nan( 1, 1, 3, qor::ColorSpace::RGB );
   nan[0][0] = std::nanf( "" );
   nan[1][0] = 0.5f;
   nan[2][0] = 0.5f;
   qor::ApplyLightnessCurve( nan, rgbws, Lightness.Evaluator() );
   for ( int c = 0; c < 3; ++c )
      EXPECT_EQ( nan[c][0], 0.0f );
}

TEST( ColorCurvesTest, TheSameBitsOnOneThreadAndOnAll )
{
   const Image input = test::RandomImage( 301, 257, 3, qor::ColorSpace::RGB, 11 );
   const qor::RGBColorSystem rgbws;
   const qor::TransferCurveEvaluator hue = Hue.Evaluator();
   const qor::TransferCurveEvaluator saturation = Saturation.Evaluator();
   auto run = [&]
   {
      Image image( input );
      qor::ApplyLightnessCurve( image, rgbws, Lightness.Evaluator() );
      qor::ApplyHueSaturationCurves( image, rgbws, &hue, &saturation );
      return image;
   };
   Image one, all;
   {
      qor::ThreadCountScope threads( 1 );
      one = run();
   }
   {
      qor::ThreadCountScope threads( 0 );
      all = run();
   }
   EXPECT_TRUE( test::SamePixels( one, all ) );
}

TEST( ColorCurvesTest, EachPassIsMonitoredAndCanBeAborted )
{
   Image image = test::RandomImage( 300, 200, 3, qor::ColorSpace::RGB, 2 );
   const Image original( image );
   test::MonitorProbe probe;
   probe.abortAt = 3;
   image.Status().SetCallback( &test::MonitorProbe::Callback, &probe );
   {
      qor::ThreadCountScope threads( 1 );
      EXPECT_THROW( qor::ApplyLightnessCurve( image, qor::RGBColorSystem(), Lightness.Evaluator() ),
                    Image::AbortProcessEvent );
   }
   EXPECT_FALSE( test::SamePixels( image, original ) ); // the first rows are done
   EXPECT_EQ( image[1][image.NumberOfPixels() - 1], original[1][image.NumberOfPixels() - 1] ); // not the last
   EXPECT_EQ( image.Status().Text(), "Transfer function" );
   EXPECT_EQ( image.Status().Total(), image.NumberOfPixels() );
   image.Status().SetCallback( nullptr, nullptr );
}
