#include <gtest/gtest.h>

#include "ImageTestSupport.h"
#include "Parallel.h"
#include "TransferCurve.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

using qor::Image;

namespace
{

const float NaN = std::numeric_limits<float>::quiet_NaN();

float Clamped( float r )
{
   return std::isnan( r ) || r < 0.0f ? 0.0f : ( r > 1.0f ? 1.0f : r );
}

struct Curve
{
   std::vector<float> x;
   std::vector<float> y;

   int32_t N() const { return int32_t( x.size() ); }

   std::vector<float> SecondDerivatives() const
   {
      std::vector<float> y2( x.size() );
      qor::ComputeSplineSecondDerivatives( x.data(), y.data(), N(), y2.data() );
      return y2;
   }

   double Spline( float v ) const
   {
      std::vector<float> y2 = SecondDerivatives();
      return qor::InterpolateSpline( x.data(), y.data(), y2.data(), N(), v );
   }

   double Linear( float v ) const { return qor::InterpolateLinear( x.data(), y.data(), N(), v ); }

   void Apply( Image& image, int32_t channel, bool linear ) const
   {
      qor::ApplyTransferCurve( image, channel, x, y, linear );
   }
};

const Curve Identity{ { 0.0f, 1.0f }, { 0.0f, 1.0f } };
const Curve Unequal{ { 0.0f, 0.1f, 0.35f, 0.5f, 0.8f, 1.0f }, { 0.0f, 0.3f, 0.45f, 0.7f, 0.75f, 1.0f } };

// The natural cubic spline in double precision, from its textbook system solved densely: an independent oracle.
double OracleSpline( const Curve& c, double v )
{
   const int n = c.N();
   std::vector<std::vector<double>> a( size_t( n ), std::vector<double>( size_t( n ) + 1, 0.0 ) );
   a[0][0] = a[size_t( n - 1 )][size_t( n - 1 )] = 1;
   for ( int i = 1; i < n - 1; ++i )
   {
      double h0 = double( c.x[i] ) - c.x[i - 1], h1 = double( c.x[i + 1] ) - c.x[i];
      a[i][i - 1] = h0 / 6;
      a[i][i] = ( h0 + h1 ) / 3;
      a[i][i + 1] = h1 / 6;
      a[i][n] = ( double( c.y[i + 1] ) - c.y[i] ) / h1 - ( double( c.y[i] ) - c.y[i - 1] ) / h0;
   }
   for ( int i = 0; i < n; ++i ) // Gauss-Jordan without pivoting: the system is diagonally dominant
      for ( int r = 0; r < n; ++r )
         if ( r != i )
         {
            double f = a[r][i] / a[i][i];
            for ( int k = i; k <= n; ++k )
               a[r][k] -= f * a[i][k];
         }
   int k = 0;
   while ( k < n - 2 && v > c.x[k + 1] )
      ++k;
   double h = double( c.x[k + 1] ) - c.x[k];
   double A = ( c.x[k + 1] - v ) / h, B = ( v - c.x[k] ) / h;
   double m0 = a[k][n] / a[k][k], m1 = a[k + 1][n] / a[k + 1][k + 1];
   return A * c.y[k] + B * c.y[k + 1] + ( ( A * A * A - A ) * m0 + ( B * B * B - B ) * m1 ) * h * h / 6;
}

} // namespace

// --- Evaluation --------------------------------------------------------------------------------------------------

TEST( TransferCurveTest, SplineMatchesKnownValuesAndAnIndependentSolution )
{
   // Three equally spaced points: the middle second derivative is -3.6, so the quarter points lie 0.05625 above
   // the chords.
   Curve three{ { 0.0f, 0.5f, 1.0f }, { 0.0f, 0.8f, 1.0f } };
   std::vector<float> y2 = three.SecondDerivatives();
   EXPECT_FLOAT_EQ( y2[1], -3.6f );
   EXPECT_EQ( y2[0], 0.0f );
   EXPECT_EQ( y2[2], 0.0f );
   EXPECT_NEAR( three.Spline( 0.25f ), 0.45625, 1e-6 );
   EXPECT_NEAR( three.Spline( 0.75f ), 0.95625, 1e-6 );

   for ( int i = -10; i <= 110; ++i )
   {
      float v = i / 100.0f;
      EXPECT_NEAR( Unequal.Spline( v ), OracleSpline( Unequal, v ), 2e-6 ) << "v = " << v;
   }
}

TEST( TransferCurveTest, LinearReferenceValuesWithConstantEnds )
{
   Curve c{ { 0.1f, 0.25f, 1.0f }, { 0.2f, 0.5f, 1.0f } };
   struct
   {
      float v;
      double expected;
   } cases[] = { { -0.5f, 0.2 }, { 0.0f, 0.2 },    { 0.1f, 0.2 }, { 0.175f, 0.35 },
                 { 0.25f, 0.5 }, { 0.625f, 0.75 }, { 1.0f, 1.0 }, { 2.0f, 1.0 } };
   for ( auto& k : cases )
      EXPECT_NEAR( c.Linear( k.v ), k.expected, 1e-7 ) << "v = " << k.v;
}

TEST( TransferCurveTest, PointsTwoPointSplinesAndTheIdentity )
{
   // An abscissa at a point gives exactly that point's ordinate.
   std::vector<float> y2 = Unequal.SecondDerivatives();
   qor::SplineCursor cursor;
   for ( int32_t i = 0; i < Unequal.N(); ++i )
   {
      EXPECT_EQ( float( Unequal.Linear( Unequal.x[i] ) ), Unequal.y[i] );
      EXPECT_EQ( float( qor::InterpolateSpline( Unequal.x.data(), Unequal.y.data(), y2.data(), Unequal.N(),
                                                Unequal.x[i], cursor ) ),
                 Unequal.y[i] );
   }

   // A two-point spline is the straight line through its points.
   Curve line{ { 0.0f, 1.0f }, { 0.2f, 0.6f } };
   for ( float v : { 0.0f, 0.3f, 0.5f, 0.9f, 1.0f } )
      EXPECT_NEAR( line.Spline( v ), 0.2 + 0.4 * v, 1e-7 );

   // The identity leaves every sample in [0, 1] as it was, either way.
   Image original = test::RandomImage( 61, 37, 1, qor::ColorSpace::Gray, 7 );
   for ( bool linear : { false, true } )
   {
      Image image( original );
      Identity.Apply( image, 0, linear );
      EXPECT_TRUE( test::SamePixels( image, original ) ) << ( linear ? "linear" : "spline" );
   }
}

TEST( TransferCurveTest, CursorFindsTheBracketingInterval )
{
   // x = 0, 0.1, 0.35, 0.5, 0.8, 1: a fresh search puts an interior abscissa in the interval that starts there.
   struct
   {
      float v;
      int32_t low;
   } cases[] = { { -1.0f, 0 }, { 0.0f, 0 }, { 0.05f, 0 }, { 0.35f, 2 },
                 { 0.6f, 3 },  { 1.0f, 4 }, { 7.0f, 4 },  { NaN, 4 } };
   for ( auto& k : cases )
   {
      qor::SplineCursor cursor;
      cursor.Bracket( Unequal.x.data(), Unequal.N(), k.v );
      EXPECT_EQ( cursor.Low(), k.low ) << "v = " << k.v;
      EXPECT_EQ( cursor.High(), k.low + 1 ) << "v = " << k.v;
   }
   // A kept interval that still brackets v is reused, even at its upper end.
   qor::SplineCursor cursor;
   cursor.Bracket( Unequal.x.data(), Unequal.N(), 0.2f );
   cursor.Bracket( Unequal.x.data(), Unequal.N(), 0.35f );
   EXPECT_EQ( cursor.Low(), 1 );
}

TEST( TransferCurveTest, ACursorLeftByALongerCurveIsNotTrusted )
{
   Curve shorter{ { 0.0f, 0.5f, 1.0f }, { 0.0f, 0.8f, 1.0f } };
   std::vector<float> y2long = Unequal.SecondDerivatives();
   std::vector<float> y2short = shorter.SecondDerivatives();
   qor::SplineCursor cursor;
   qor::InterpolateSpline( Unequal.x.data(), Unequal.y.data(), y2long.data(), Unequal.N(), 0.95f, cursor );
   double reused =
       qor::InterpolateSpline( shorter.x.data(), shorter.y.data(), y2short.data(), shorter.N(), 0.95f, cursor );
   EXPECT_EQ( reused, shorter.Spline( 0.95f ) );
   // And one that brackets v in the same curve gives what a fresh search gives.
   EXPECT_EQ( qor::InterpolateSpline( shorter.x.data(), shorter.y.data(), y2short.data(), shorter.N(), 0.9f, cursor ),
              shorter.Spline( 0.9f ) );
}

// --- Unsound curves ----------------------------------------------------------------------------------------------

TEST( TransferCurveTest, UnsoundCurvesAreRefusedAndNeverDivideByZero )
{
   EXPECT_TRUE( qor::IsValidTransferCurve( Unequal.x, Unequal.y ) );
   EXPECT_NO_THROW( qor::CheckTransferCurve( Identity.x, Identity.y ) );

   const std::vector<Curve> refused = {
       { { 0.0f, 0.5f, 0.5f, 1.0f }, { 0.0f, 0.2f, 0.8f, 1.0f } }, // two points at one abscissa
       { { 0.0f, 0.6f, 0.4f, 1.0f }, { 0.0f, 0.2f, 0.8f, 1.0f } }, // descending
       { { 0.5f }, { 0.5f } },                                     // a single point
       { {}, {} },
       { { 0.0f, NaN, 1.0f }, { 0.0f, 0.5f, 1.0f } },
       { { 0.0f, 0.5f, 1.0f }, { 0.0f, std::numeric_limits<float>::infinity(), 1.0f } },
       { { 0.0f, 0.5f, 1.0f }, { 0.0f, 1.0f } }, // lengths differ
   };
   for ( size_t i = 0; i < refused.size(); ++i )
   {
      EXPECT_FALSE( qor::IsValidTransferCurve( refused[i].x, refused[i].y ) ) << "case " << i;
      EXPECT_THROW( qor::CheckTransferCurve( refused[i].x, refused[i].y ), qor::GenericException ) << "case " << i;
   }

   // Evaluated anyway, a repeated abscissa falls back to the linear rule: finite values, no division by zero.
   const Curve& repeated = refused[0];
   std::vector<float> y2 = repeated.SecondDerivatives();
   for ( float d : y2 )
      EXPECT_EQ( d, 0.0f );
   for ( float v : { 0.0f, 0.25f, 0.5f, 0.75f, 1.0f } )
   {
      EXPECT_TRUE( std::isfinite( repeated.Spline( v ) ) ) << "v = " << v;
      EXPECT_NEAR( repeated.Spline( v ), repeated.Linear( v ), 1e-6 ) << "v = " << v;
   }
   Curve single{ { 0.5f }, { 0.3f } };
   EXPECT_EQ( single.Spline( 0.9f ), double( 0.3f ) );
   EXPECT_EQ( single.Spline( 0.1f ), double( 0.3f ) );

   Image spline = test::RandomImage( 40, 30, 1, qor::ColorSpace::Gray, 3 );
   Image linear( spline );
   repeated.Apply( spline, 0, false );
   repeated.Apply( linear, 0, true );
   EXPECT_TRUE( test::SamePixels( spline, linear ) );
}

// --- Applying to an image ----------------------------------------------------------------------------------------

TEST( TransferCurveTest, ApplyClampsGivesNaNSamplesEachRulesValueAndTouchesOneChannel )
{
   // This spline overshoots: it rises above 1 between 0.1 and 1, and dips below 0 before 0.1 when extended.
   Curve overshoot{ { 0.0f, 0.1f, 1.0f }, { 0.0f, 0.9f, 1.0f } };
   ASSERT_GT( overshoot.Spline( 0.5f ), 1.0 );

   Image image( 8, 1, 3, qor::ColorSpace::RGB );
   const float samples[8] = { 0.0f, 0.05f, 0.1f, 0.5f, 0.7f, 1.0f, NaN, -0.2f };
   for ( int32_t c = 0; c < 3; ++c )
      for ( int32_t i = 0; i < 8; ++i )
         image[c][i] = samples[i];
   overshoot.Apply( image, 1, false );
   for ( int32_t i = 0; i < 8; ++i )
   {
      float v = image[1][i];
      EXPECT_TRUE( v >= 0.0f && v <= 1.0f ) << "sample " << i << " -> " << v;
   }
   EXPECT_EQ( image[1][3], 1.0f );
   EXPECT_EQ( image[1][4], 1.0f );
   EXPECT_EQ( image[1][6], 0.0f ); // NaN sample
   EXPECT_EQ( image[1][7], 0.0f ); // extrapolated below 0
   EXPECT_EQ( image[1][2], 0.9f );
   for ( int32_t c : { 0, 2 } )
      for ( int32_t i = 0; i < 6; ++i )
         EXPECT_EQ( image[c][i], samples[i] ) << "channel " << c;

   // The linear rule finds no abscissa above a NaN sample and gives it the last ordinate, where a spline gives 0;
   // a NaN ordinate gives 0.
   Curve holed{ { 0.0f, 0.5f, 1.0f }, { 0.0f, NaN, 1.0f } };
   Image grey( 4, 1 );
   const float g[4] = { NaN, 0.25f, 0.75f, 1.0f };
   std::copy( g, g + 4, grey[0] );
   holed.Apply( grey, 0, true );
   EXPECT_EQ( grey[0][0], 1.0f );
   EXPECT_EQ( grey[0][1], 0.0f );
   EXPECT_EQ( grey[0][2], 0.0f );
   EXPECT_EQ( grey[0][3], 1.0f );
   Curve dim{ { 0.0f, 1.0f }, { 0.0f, 0.8f } };
   for ( bool linear : { true, false } )
   {
      Image one( 1, 1 );
      one[0][0] = NaN;
      dim.Apply( one, 0, linear );
      EXPECT_EQ( one[0][0], linear ? 0.8f : 0.0f ) << ( linear ? "linear" : "spline" );
   }
   // A spline whose abscissae do not ascend is evaluated by its linear rule, but a NaN sample still gives 0.
   Curve unsound{ { 0.0f, 0.5f, 0.5f, 1.0f }, { 0.0f, 0.2f, 0.4f, 1.0f } };
   Image one( 1, 1 );
   one[0][0] = NaN;
   unsound.Apply( one, 0, false );
   EXPECT_EQ( one[0][0], 0.0f );
}

TEST( TransferCurveTest, ApplyGivesTheSameBitsOnOneThreadAndOnAll )
{
   const Image original = test::RandomImage( 523, 389, 2, qor::ColorSpace::Gray, 11, -0.1f, 1.1f );
   std::vector<float> y2 = Unequal.SecondDerivatives();
   for ( bool linear : { false, true } )
   {
      Image one( original ), all( original );
      {
         qor::ThreadCountScope threads( 1 );
         Unequal.Apply( one, 0, linear );
      }
      {
         qor::ThreadCountScope threads( 0 );
         Unequal.Apply( all, 0, linear );
      }
      EXPECT_TRUE( test::SamePixels( one, all ) );
      // And each sample is the curve at that sample, evaluated alone.
      for ( int64_t i = 0; i < original.NumberOfPixels(); i += 97 )
      {
         float s = original[0][i];
         double r = linear ? Unequal.Linear( s )
                           : qor::InterpolateSpline( Unequal.x.data(), Unequal.y.data(), y2.data(), Unequal.N(), s );
         EXPECT_EQ( all[0][i], Clamped( float( r ) ) );
      }
   }
}

// Curves are evaluated by a vector kernel with tables (up to 17 points where the processor has AVX-512), by
// counting abscissae (up to 24) or by bisection, and the scalar evaluator may keep an interval that ends at the
// sample. Every way must give every sample exactly the value of the spline evaluated alone: at, just beside and
// between the points, outside the curve and at NaN, on rising curves and on one that falls to 0.
TEST( TransferCurveTest, ApplyGivesEachSampleTheSplineEvaluatedAlone )
{
   auto wavy = []( int32_t n, bool falling )
   {
      Curve c;
      for ( int32_t i = 0; i < n; ++i )
      {
         float t = float( i ) / float( n - 1 );
         float y = std::max( 0.0f, t * t * ( 3 - 2 * t ) + 0.05f * std::sin( 7.0f * t ) );
         c.x.push_back( t );
         c.y.push_back( falling ? 1 - t : y );
      }
      return c;
   };
   const Curve curves[] = { Unequal, wavy( 17, false ), wavy( 17, true ), wavy( 20, false ), wavy( 40, false ) };
   for ( const Curve* curve = curves; curve != std::end( curves ); ++curve )
   {
      std::vector<float> samples = { NaN, -0.25f, 1.5f, 0.0f, 1.0f, 0.2f, 0.6f, 0.9999f, 0.0001f };
      for ( float p : curve->x )
         for ( float v : { p, std::nextafter( p, -1.0f ), std::nextafter( p, 2.0f ) } )
            samples.push_back( v );
      // The points in random order too, so that no interval is remembered from the previous sample.
      const int32_t count = int32_t( samples.size() );
      for ( int32_t i = 0; i < count; ++i )
         samples.push_back( samples[size_t( ( i * 7919 ) % count )] );
      Image image( int32_t( samples.size() ), 1 );
      std::copy( samples.begin(), samples.end(), image[0] );
      curve->Apply( image, 0, false );
      std::vector<float> y2 = curve->SecondDerivatives();
      for ( size_t i = 0; i < samples.size(); ++i )
      {
         double r = qor::InterpolateSpline( curve->x.data(), curve->y.data(), y2.data(), curve->N(), samples[i] );
         EXPECT_EQ( image[0][i], Clamped( float( r ) ) ) << curve->N() << " points, sample " << samples[i];
      }
   }
}

TEST( TransferCurveTest, ApplyReportsProgressAbortsAndRefusesBadArguments )
{
   Image image = test::RandomImage( 300, 200, 1, qor::ColorSpace::Gray, 5 );
   const Image original( image );
   test::MonitorProbe probe;
   image.Status().SetCallback( &test::MonitorProbe::Callback, &probe );
   Unequal.Apply( image, 0, false );
   EXPECT_EQ( image.Status().Text(), "Transfer function" );
   EXPECT_EQ( image.Status().Total(), 300 * 200 );
   EXPECT_EQ( probe.done, 1 );

   image = original;
   probe = test::MonitorProbe{};
   probe.abortAt = 3;
   {
      qor::ThreadCountScope threads( 1 );
      EXPECT_THROW( Unequal.Apply( image, 0, false ), Image::AbortProcessEvent );
   }
   EXPECT_FALSE( test::SamePixels( image, original ) ); // the first rows are done
   EXPECT_EQ( image[0][image.NumberOfPixels() - 1], original[0][image.NumberOfPixels() - 1] ); // not the last

   image.Status().SetCallback( nullptr, nullptr );
   EXPECT_THROW( Unequal.Apply( image, 1, false ), qor::GenericException );
   EXPECT_THROW( Unequal.Apply( image, -1, false ), qor::GenericException );
   EXPECT_THROW( qor::ApplyTransferCurve( image, 0, Unequal.x, Identity.y, false ), qor::GenericException );
   EXPECT_THROW( qor::ApplyTransferCurve( image, 0, {}, {}, true ), qor::GenericException );
}

// --- Midtones transfer function ----------------------------------------------------------------------------------

namespace
{

// The midtones function as the diagonal rational interpolation through its three nodes, in single precision.
float RationalThroughNodes( float x, float m )
{
   const float xa[4] = { 0, 0.0f, m, 1.0f }, ya[4] = { 0, 0.0f, 0.5f, 1.0f };
   for ( int i = 1; i <= 3; ++i )
      if ( x == xa[i] )
         return ya[i];
   int ns = 1;
   float hh = std::fabs( x - xa[1] );
   for ( int i = 2; i <= 3; ++i )
      if ( std::fabs( x - xa[i] ) < hh )
      {
         ns = i;
         hh = std::fabs( x - xa[i] );
      }
   float c[4] = { 0, 0.0f, 0.5f, 1.0f }, d[4] = { 0, 1e-25f, 0.5f, 1.0f };
   float y = ya[ns--];
   for ( int k = 1; k <= 2; ++k )
   {
      for ( int i = 1; i <= 3 - k; ++i )
      {
         float t = ( xa[i] - x ) * d[i] / ( xa[i + k] - x );
         float dd = ( c[i + 1] - d[i] ) / ( t - c[i + 1] );
         d[i] = c[i + 1] * dd;
         c[i] = t * dd;
      }
      y += 2 * ns < 3 - k ? c[ns + 1] : d[ns--];
   }
   return y;
}

} // namespace

TEST( TransferCurveTest, MidtonesFunctionAtItsSpecialValues )
{
   using qor::MidtonesTransferFunction;
   struct
   {
      float x, m, expected;
   } cases[] = {
       { 0.0f, 0.2f, 0.0f },   { 1.0f, 0.2f, 1.0f }, { 0.2f, 0.2f, 0.5f },  { 0.25f, 0.25f, 0.5f },
       { 0.1f, 0.25f, 0.25f }, { 0.0f, 0.0f, 0.0f }, { 1e-6f, 0.0f, 1.0f }, { 0.5f, 0.0f, 1.0f },
       { 1.0f, 0.0f, 1.0f },   { 0.0f, 1.0f, 0.0f }, { 0.5f, 1.0f, 0.0f },  { 0.999f, 1.0f, 0.0f },
       // Where two nodes meet, the first of 0, m, 1 gives the value: m = 0 keeps 0 at 0, m = 1 maps 1 to 0.5.
       { 1.0f, 1.0f, 0.5f },
   };
   for ( auto& k : cases )
   {
      float r = MidtonesTransferFunction( k.x, k.m );
      EXPECT_FLOAT_EQ( r, k.expected ) << "x = " << k.x << ", m = " << k.m;
      EXPECT_FALSE( std::signbit( r ) ) << "x = " << k.x << ", m = " << k.m;
   }
   for ( int i = 0; i <= 1000; ++i ) // m = 0.5 is the identity, bit for bit
      EXPECT_EQ( MidtonesTransferFunction( i / 1000.0f, 0.5f ), i / 1000.0f );
   for ( int i = 1; i < 1000; ++i ) // the nodes are exact for every balance
   {
      float m = i / 1000.0f;
      EXPECT_EQ( MidtonesTransferFunction( m, m ), 0.5f ) << "m = " << m;
      EXPECT_EQ( MidtonesTransferFunction( 0.0f, m ), 0.0f ) << "m = " << m;
      EXPECT_EQ( MidtonesTransferFunction( 1.0f, m ), 1.0f ) << "m = " << m;
   }
}

TEST( TransferCurveTest, MidtonesFunctionOnArraysGivesTheSameBitsAsPerSample )
{
   std::vector<float> samples;
   for ( int i = -20; i <= 1020; ++i )
      samples.push_back( i / 1000.0f );
   samples.push_back( NaN );
   samples.push_back( -0.0f );
   for ( float m : { 0.0f, 0.2f, 0.5f, 0.73f, 1.0f } )
   {
      std::vector<float> array = samples;
      qor::MidtonesTransferFunction( array.data(), int64_t( array.size() ), m );
      for ( size_t i = 0; i < samples.size(); ++i )
      {
         float one = qor::MidtonesTransferFunction( samples[i], m );
         EXPECT_TRUE( std::memcmp( &one, &array[i], sizeof( float ) ) == 0 )
             << "x = " << samples[i] << ", m = " << m << ": " << one << " vs " << array[i];
      }
   }
}

TEST( TransferCurveTest, MidtonesFunctionIsTheRationalInterpolationOfItsNodes )
{
   for ( float m : { 0.01f, 0.1f, 0.2f, 0.37f, 0.5f, 0.8f, 0.99f } )
      for ( int i = 0; i <= 200; ++i )
      {
         float x = i / 200.0f;
         float r = qor::MidtonesTransferFunction( x, m );
         EXPECT_NEAR( r, RationalThroughNodes( x, m ), 4e-7f ) << "x = " << x << ", m = " << m;
         if ( i > 0 )
         {
            EXPECT_GE( r, qor::MidtonesTransferFunction( ( i - 1 ) / 200.0f, m ) ); // monotone
         }
      }
}
