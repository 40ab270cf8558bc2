#include "SurfaceSpline.h"

#include "AddressSpaceCap.h"
#include "Exception.h"
#include "Parallel.h"
#include "StatusCallback.h"

#include <gtest/gtest.h>

#include <bit>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

namespace
{

const std::string singularText = "Singular matrix in 2-D interpolation surface spline generator";

struct Samples
{
   std::vector<float> x, y, z;
   int32_t Count() const { return int32_t( x.size() ); }
};

// Points on a jittered side x side grid over [0, 1]^2 (the way background samples are laid out), values from f.
Samples JitteredGrid( int side, const std::function<double( double, double )>& f, uint32_t seed = 7 )
{
   std::mt19937 rng( seed );
   std::uniform_real_distribution<float> jitter( -0.3f, 0.3f );
   Samples s;
   for ( int gy = 0; gy < side; ++gy )
      for ( int gx = 0; gx < side; ++gx )
      {
         const float x = ( float( gx ) + 0.5f + jitter( rng ) ) / float( side );
         const float y = ( float( gy ) + 0.5f + jitter( rng ) ) / float( side );
         s.x.push_back( x );
         s.y.push_back( y );
         s.z.push_back( float( f( x, y ) ) );
      }
   return s;
}

double Bumpy( double x, double y )
{
   return 0.1 + 0.05 * x - 0.02 * y + 0.03 * std::sin( 7 * x ) * std::cos( 5 * y );
}

std::vector<float> Fit( const Samples& s, int32_t m, float smoothing = 0, const float* weights = nullptr )
{
   std::vector<float> c( size_t( qor::SurfaceSplineCoefficientCount( s.Count(), m ) ) );
   qor::GenerateSurfaceSpline( s.Count(), s.x.data(), s.y.data(), s.z.data(), m, smoothing, weights, c.data() );
   return c;
}

float Evaluate( const Samples& s, int32_t m, const std::vector<float>& c, float px, float py )
{
   return qor::EvaluateSurfaceSpline( s.Count(), m, s.x.data(), px, py, s.y.data(), c.data() );
}

double LargestResidual( const Samples& s, int32_t m, const std::vector<float>& c )
{
   double largest = 0;
   for ( int32_t i = 0; i < s.Count(); ++i )
      largest = std::max( largest, std::fabs( double( Evaluate( s, m, c, s.x[i], s.y[i] ) ) - s.z[i] ) );
   return largest;
}

// The value of float in units in the last place of `exact`, for comparisons of logarithms.
double UlpDistance( float value, double exact )
{
   const float rounded = float( exact );
   const double ulp =
       std::nextafter( std::fabs( rounded ), std::numeric_limits<float>::infinity() ) - std::fabs( rounded );
   return std::fabs( double( value ) - exact ) / ulp;
}

bool SameBits( float a, float b )
{
   return std::memcmp( &a, &b, sizeof a ) == 0;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Evaluation of given coefficients

TEST( SurfaceSpline, EvaluatesTheKernelOfEachOrder )
{
   // One point at the origin with lambda = 1 and no polynomial: the value is the kernel (r^2)^(m-1) ln(r^2).
   const float x[] = { 0 }, y[] = { 0 };
   for ( int32_t m = 1; m <= 4; ++m )
   {
      std::vector<float> c( size_t( qor::SurfaceSplineCoefficientCount( 1, m ) ), 0.0f );
      c[0] = 1;
      const double d2 = 4.0; // at (2, 0)
      const double expected = std::pow( d2, m - 1 ) * std::log( d2 );
      EXPECT_NEAR( qor::EvaluateSurfaceSpline( 1, m, x, 2, 0, y, c.data() ), expected, 1e-6 * expected ) << m;
      // At the point itself the kernel term is left out (0 ln 0 would be NaN).
      EXPECT_EQ( qor::EvaluateSurfaceSpline( 1, m, x, 0, 0, y, c.data() ), 0.0f ) << m;
   }
}

TEST( SurfaceSpline, PolynomialPartFollowsTheGradedMonomialOrder )
{
   // Unit coefficient j alone gives monomial j at (2, 3): 1, x, y, x^2, x y, y^2, x^3, x^2 y, x y^2, y^3, x^4, ...
   const double expected[] = { 1, 2, 3, 4, 6, 9, 8, 12, 18, 27, 16, 24, 36, 54, 81 };
   for ( int32_t m = 1; m <= 5; ++m )
   {
      const int32_t count = m * ( m + 1 ) / 2;
      for ( int32_t j = 0; j < count; ++j )
      {
         std::vector<float> c( size_t( count ), 0.0f );
         c[size_t( j )] = 1;
         EXPECT_EQ( qor::EvaluateSurfaceSpline( 0, m, nullptr, 2, 3, nullptr, c.data() ), float( expected[j] ) )
             << "order " << m << " monomial " << j + 1;
      }
   }
}

TEST( SurfaceSpline, KernelLogarithmIsWithinOneUlpEverywhere )
{
   // Order 1 with lambda = 1 through a point at the origin evaluates ln(px^2): sweep px^2 over the whole float
   // range, subnormals included.
   const float x[] = { 0 }, y[] = { 0 }, c[] = { 1, 0 };
   double worst = 0;
   for ( double e = -22.5; e < 19.0; e += 0.0013 )
   {
      const float px = float( std::pow( 10.0, e ) );
      const float d2 = px * px;
      if ( d2 == 0 )
         continue;
      const float value = qor::EvaluateSurfaceSpline( 1, 1, x, px, 0, y, c );
      worst = std::max( worst, UlpDistance( value, std::log( double( d2 ) ) ) );
   }
   EXPECT_LE( worst, 1.0 );
   // Around 1, where ln is small and the reduction matters most.
   for ( float d2 = 0.5f; d2 < 2.0f; d2 = std::nextafter( d2, 3.0f ) )
   {
      if ( std::fabs( d2 - 1.0f ) < 1e-3f || ( ( std::bit_cast<uint32_t>( d2 ) & 0xff ) == 0 ) )
      {
         const float value = qor::EvaluateSurfaceSpline( 1, 1, x, std::sqrt( d2 ), 0, y, c );
         const float exactD2 = std::sqrt( d2 ) * std::sqrt( d2 );
         worst = std::max( worst, UlpDistance( value, std::log( double( exactD2 ) ) ) );
      }
   }
   EXPECT_LE( worst, 1.0 );
   // An infinite distance gives an infinite kernel, a NaN coordinate a NaN.
   EXPECT_EQ( qor::EvaluateSurfaceSpline( 1, 1, x, 1e30f, 0, y, c ), std::numeric_limits<float>::infinity() );
   EXPECT_TRUE( std::isnan( qor::EvaluateSurfaceSpline( 1, 1, x, std::nanf( "" ), 0, y, c ) ) );
}

// ---------------------------------------------------------------------------------------------------------------
// Generation

TEST( SurfaceSpline, InterpolatesItsPointsWithoutSmoothing )
{
   // The orders the background model uses; the higher ones are ill-conditioned, and their float evaluation loses
   // more to cancellation.
   const double tolerance[] = { 0, 1e-6, 1e-6, 1e-5, 1e-4, 1e-3 };
   const Samples s = JitteredGrid( 6, Bumpy );
   for ( int32_t m = 1; m <= 5; ++m )
   {
      const std::vector<float> c = Fit( s, m );
      EXPECT_EQ( c.size(), size_t( s.Count() + m * ( m + 1 ) / 2 ) );
      EXPECT_LE( LargestResidual( s, m, c ), tolerance[m] ) << "order " << m;
   }
}

TEST( SurfaceSpline, ReproducesPolynomialsOfDegreeBelowTheOrder )
{
   struct Case
   {
      int32_t m;
      std::function<double( double, double )> f;
   };
   const Case cases[] = {
       { 1, []( double, double ) { return 0.25; } },
       { 2, []( double x, double y ) { return 0.2 + 0.5 * x - 0.25 * y; } },
       { 3, []( double x, double y ) { return 0.1 + 0.2 * x + 0.3 * y - 0.4 * x * x + 0.5 * x * y + 0.6 * y * y; } },
       { 4, []( double x, double y ) { return 0.1 + x * x * y - 0.5 * y * y * y + 0.25 * x; } },
   };
   for ( const Case& c : cases )
   {
      const Samples s = JitteredGrid( 5, c.f );
      const std::vector<float> coefficients = Fit( s, c.m );
      std::mt19937 rng( 3 );
      std::uniform_real_distribution<float> u( 0, 1 );
      for ( int k = 0; k < 50; ++k )
      {
         const float px = u( rng ), py = u( rng );
         EXPECT_NEAR( Evaluate( s, c.m, coefficients, px, py ), c.f( px, py ), 2e-5 ) << "order " << c.m;
      }
   }
}

TEST( SurfaceSpline, AllZeroValuesGiveZeroCoefficients )
{
   Samples s = JitteredGrid( 4, []( double, double ) { return 0.0; } );
   for ( float coefficient : Fit( s, 2 ) )
      EXPECT_EQ( coefficient, 0.0f );
}

TEST( SurfaceSpline, SmoothingPullsTheSurfaceTowardThePlane )
{
   const Samples s = JitteredGrid( 6, Bumpy );

   // The least-squares plane through the samples, the limit of ever stronger smoothing.
   double normal[3][4] = {};
   for ( int32_t i = 0; i < s.Count(); ++i )
   {
      const double row[3] = { 1, s.x[i], s.y[i] };
      for ( int r = 0; r < 3; ++r )
      {
         for ( int k = 0; k < 3; ++k )
            normal[r][k] += row[r] * row[k];
         normal[r][3] += row[r] * s.z[i];
      }
   }
   for ( int p = 0; p < 3; ++p )
      for ( int r = 0; r < 3; ++r )
         if ( r != p )
         {
            const double f = normal[r][p] / normal[p][p];
            for ( int k = 0; k < 4; ++k )
               normal[r][k] -= f * normal[p][k];
         }
   const double plane[3] = { normal[0][3] / normal[0][0], normal[1][3] / normal[1][1], normal[2][3] / normal[2][2] };

   double lastResidual = -1, lastDistance = std::numeric_limits<double>::infinity();
   for ( float smoothing : { 0.0f, 0.001f, 0.01f, 0.1f, 1.0f, 1e4f } )
   {
      const std::vector<float> c = Fit( s, 2, smoothing );
      const double residual = LargestResidual( s, 2, c );
      double distance = 0;
      for ( int32_t i = 0; i < s.Count(); ++i )
         distance = std::max( distance, std::fabs( Evaluate( s, 2, c, s.x[i], s.y[i] ) -
                                                   ( plane[0] + plane[1] * s.x[i] + plane[2] * s.y[i] ) ) );
      EXPECT_GT( residual, lastResidual ) << smoothing;
      EXPECT_LT( distance, lastDistance ) << smoothing;
      lastResidual = residual;
      lastDistance = distance;
   }
   EXPECT_LT( lastDistance, 1e-4 );
}

TEST( SurfaceSpline, WeightsDivideTheSmoothingPointByPoint )
{
   const Samples s = JitteredGrid( 5, Bumpy );
   const size_t n = size_t( s.Count() );

   // Equal weights w are the same as smoothing / w, to the bit.
   const std::vector<float> twos( n, 2.0f );
   EXPECT_EQ( Fit( s, 2, 0.5f, twos.data() ), Fit( s, 2, 0.25f ) );

   // Without smoothing, weights do not matter.
   EXPECT_EQ( Fit( s, 2, 0.0f, twos.data() ), Fit( s, 2, 0.0f ) );

   // A heavy point is followed closely, a light one hardly.
   std::vector<float> weights( n, 1.0f );
   weights[6] = 1000.0f;
   weights[12] = 0.001f;
   const std::vector<float> plain = Fit( s, 2, 0.05f );
   const std::vector<float> weighted = Fit( s, 2, 0.05f, weights.data() );
   auto miss = [&]( const std::vector<float>& c, size_t i )
   { return std::fabs( Evaluate( s, 2, c, s.x[i], s.y[i] ) - s.z[i] ); };
   EXPECT_LT( miss( weighted, 6 ), miss( plain, 6 ) / 100 );
   EXPECT_GT( miss( weighted, 12 ), miss( plain, 12 ) );
}

TEST( SurfaceSpline, RefusesSystemsItCannotSolveAndLeavesTheCoefficients )
{
   const float nan = std::numeric_limits<float>::quiet_NaN();
   struct Case
   {
      const char* what;
      Samples s;
      int32_t m;
      std::string message;
      float smoothing = 0;
      std::vector<float> weights = {};
   };
   Samples line;
   for ( int i = 0; i < 10; ++i )
   {
      line.x.push_back( 0.1f * float( i ) );
      line.y.push_back( 0.3f + 0.2f * float( i ) );
      line.z.push_back( float( i % 3 ) );
   }
   Samples circle;
   for ( int i = 0; i < 12; ++i )
   {
      circle.x.push_back( float( 0.5 + 0.25 * std::cos( i * 0.5236 ) ) );
      circle.y.push_back( float( 0.5 + 0.25 * std::sin( i * 0.5236 ) ) );
      circle.z.push_back( float( i & 1 ) );
   }
   Samples duplicated = JitteredGrid( 3, Bumpy );
   duplicated.x.push_back( duplicated.x[4] );
   duplicated.y.push_back( duplicated.y[4] );
   duplicated.z.push_back( duplicated.z[4] + 0.5f );
   Samples withNaN = JitteredGrid( 3, Bumpy );
   withNaN.z[2] = nan;

   // Finite data whose layout passes every check made before the solver: r^2 beyond the float range leaves the
   // condition estimate NaN; values near the float limit over points 1e-3 apart need coefficients beyond it.
   Samples huge = JitteredGrid( 4, Bumpy );
   for ( float& v : huge.x )
      v *= 1e20f;
   for ( float& v : huge.y )
      v *= 1e20f;
   Samples steep = JitteredGrid( 4, Bumpy );
   for ( size_t i = 0; i < steep.z.size(); ++i )
   {
      steep.x[i] *= 1e-3f;
      steep.y[i] *= 1e-3f;
      steep.z[i] = i % 2 ? 3e38f : -3e38f;
   }

   const Case cases[] = {
       { "coordinates whose squared distances overflow: no condition estimate", huge, 2, singularText },
       { "values whose coefficients overflow a float", steep, 2, singularText },
       { "no points", {}, 2, singularText },
       { "fewer points than monomials", { { 0.1f, 0.9f }, { 0.2f, 0.4f }, { 1, 2 } }, 2, singularText },
       { "four points for the 10 cubic monomials", JitteredGrid( 2, Bumpy ), 4, singularText },
       { "points on a line, order 2", line, 2, singularText },
       { "points on a circle, order 3", circle, 3, singularText },
       { "the same point twice", duplicated, 2, singularText },
       { "a value that is not a number", withNaN, 2, "Invalid data in 2-D interpolation surface spline generator" },
       { "a zero weight", JitteredGrid( 3, Bumpy ), 2, "Invalid data in 2-D interpolation surface spline generator",
         0.1f, std::vector<float>( 9, 0.0f ) },
       { "order 0", JitteredGrid( 3, Bumpy ), 0, "Invalid order or point count of 2-D interpolation surface spline" },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.what );
      std::vector<float> coefficients( 64, 12345.0f );
      try
      {
         qor::GenerateSurfaceSpline( c.s.Count(), c.s.x.data(), c.s.y.data(), c.s.z.data(), c.m, c.smoothing,
                                     c.weights.empty() ? nullptr : c.weights.data(), coefficients.data() );
         ADD_FAILURE() << "accepted";
      }
      catch ( const qor::GenericException& e )
      {
         EXPECT_EQ( e.Message(), c.message );
      }
      for ( float v : coefficients )
         ASSERT_EQ( v, 12345.0f );
   }

   // With smoothing, duplicated points are fine: the surface passes between them.
   std::vector<float> c( size_t( qor::SurfaceSplineCoefficientCount( duplicated.Count(), 2 ) ) );
   EXPECT_NO_THROW( qor::GenerateSurfaceSpline( duplicated.Count(), duplicated.x.data(), duplicated.y.data(),
                                                duplicated.z.data(), 2, 0.01f, nullptr, c.data() ) );

   // Evaluation refuses an order below 1 as well: its coefficients would have no polynomial part to read.
   const float one[] = { 1 };
   EXPECT_THROW( qor::EvaluateSurfaceSpline( 0, 0, nullptr, 0, 0, nullptr, one ), qor::GenericException );
}

// Caps the address space of this process 1 GB above what it already uses, then fits a spline of order m through
// the nine points of s; exits 0 on the singular-system refusal, with another code on anything else.
namespace
{

[[noreturn]] void FitUnderAddressSpaceCap( const Samples& s, int32_t m )
{
   test::CapAddressSpace( uint64_t( 1 ) << 30 );
   std::vector<float> c( 16, 0.0f );
   try
   {
      qor::GenerateSurfaceSpline( s.Count(), s.x.data(), s.y.data(), s.z.data(), m, 0, nullptr, c.data() );
   }
   catch ( const qor::GenericException& e )
   {
      std::_Exit( e.Message() == singularText ? 0 : 2 );
   }
   catch ( ... )
   {
      std::_Exit( 3 );
   }
   std::_Exit( 4 );
}

} // namespace

TEST( SurfaceSpline, RefusesAnOrderTooHighForItsPointsBeforeAllocating )
{
   // Order 30000 has 450 million monomials: nine points cannot determine them, and that must be known from the
   // counts alone. Run in a child with a capped address space, a table of the monomials fails with bad_alloc
   // instead of the refusal.
   GTEST_FLAG_SET( death_test_style, "threadsafe" );
   const Samples s = JitteredGrid( 3, Bumpy );
   EXPECT_EXIT( FitUnderAddressSpaceCap( s, 30000 ), ::testing::ExitedWithCode( 0 ), "" );
}

TEST( SurfaceSpline, SeveralValueSetsShareOneSystem )
{
   const Samples s = JitteredGrid( 5, Bumpy );
   std::vector<float> second( s.z );
   for ( float& v : second )
      v = 0.5f - v;
   Samples other = s;
   other.z = second;
   const size_t count = size_t( qor::SurfaceSplineCoefficientCount( s.Count(), 3 ) );
   std::vector<float> a( count ), b( count );
   const float* values[] = { s.z.data(), second.data() };
   float* coefficients[] = { a.data(), b.data() };
   qor::GenerateSurfaceSplines( s.Count(), s.x.data(), s.y.data(), values, 3, 0.01f, nullptr, coefficients );
   EXPECT_EQ( a, Fit( s, 3, 0.01f ) );
   EXPECT_EQ( b, Fit( other, 3, 0.01f ) );

   // One bad set and nothing is written.
   second[3] = std::numeric_limits<float>::infinity();
   std::fill( a.begin(), a.end(), 7.0f );
   std::fill( b.begin(), b.end(), 7.0f );
   EXPECT_THROW(
       qor::GenerateSurfaceSplines( s.Count(), s.x.data(), s.y.data(), values, 3, 0.01f, nullptr, coefficients ),
       qor::GenericException );
   EXPECT_EQ( a, std::vector<float>( count, 7.0f ) );
   EXPECT_EQ( b, std::vector<float>( count, 7.0f ) );
}

// ---------------------------------------------------------------------------------------------------------------
// Grid evaluation

TEST( SurfaceSpline, GridEqualsPointEvaluationBitForBit )
{
   const Samples s = JitteredGrid( 4, Bumpy );
   // Irregular coordinates: some outside [0, 1], one column and one row through sample 5 (a zero distance), a
   // width that crosses the evaluation blocks and is no multiple of any vector width.
   std::vector<float> columns, rows;
   for ( int i = 0; i < 600; ++i )
      columns.push_back( -0.1f + 1.2f * float( i ) / 599.0f );
   columns[17] = s.x[5];
   for ( int i = 0; i < 7; ++i )
      rows.push_back( float( i ) * 0.17f - 0.05f );
   rows[3] = s.y[5];

   for ( int32_t m = 1; m <= 6; ++m )
   {
      // Three splines through the same points, as for the channels of a colour image.
      std::vector<std::vector<float>> coefficients;
      for ( int k = 0; k < 3; ++k )
      {
         Samples channel = s;
         for ( float& v : channel.z )
            v = v * float( k + 1 ) - 0.05f * float( k );
         coefficients.push_back( Fit( channel, std::min( m, 5 ) ) );
      }
      if ( m == 6 ) // no fit needed for the generic path: any coefficients do
         for ( auto& c : coefficients )
            c.resize( size_t( qor::SurfaceSplineCoefficientCount( s.Count(), m ) ), 0.001f );

      for ( size_t splines : { size_t( 1 ), size_t( 3 ) } )
      {
         std::vector<std::vector<float>> planes( splines, std::vector<float>( columns.size() * rows.size() ) );
         std::vector<const float*> in;
         std::vector<float*> out;
         for ( size_t k = 0; k < splines; ++k )
         {
            in.push_back( coefficients[k].data() );
            out.push_back( planes[k].data() );
         }
         ASSERT_TRUE( qor::EvaluateSurfaceSplineGrid( s.Count(), m, s.x.data(), s.y.data(), in, columns, rows, out ) );
         int mismatches = 0;
         for ( size_t k = 0; k < splines; ++k )
            for ( size_t r = 0; r < rows.size(); ++r )
               for ( size_t c = 0; c < columns.size(); ++c )
               {
                  const float point = qor::EvaluateSurfaceSpline( s.Count(), m, s.x.data(), columns[c], rows[r],
                                                                  s.y.data(), coefficients[k].data() );
                  if ( !SameBits( point, planes[k][r * columns.size() + c] ) && ++mismatches < 5 )
                     ADD_FAILURE() << "order " << m << " splines " << splines << " spline " << k << " at (" << c << ", "
                                   << r << "): " << point << " vs " << planes[k][r * columns.size() + c];
               }
         EXPECT_EQ( mismatches, 0 ) << "order " << m << ", " << splines << " splines";
      }
   }
}

TEST( SurfaceSpline, GridIsTheSameOnOneThreadAndOnAll )
{
   const Samples s = JitteredGrid( 7, Bumpy );
   const std::vector<float> c = Fit( s, 2 );
   std::vector<float> columns( 300 ), rows( 97 );
   for ( size_t i = 0; i < columns.size(); ++i )
      columns[i] = float( i ) / float( columns.size() );
   for ( size_t i = 0; i < rows.size(); ++i )
      rows[i] = float( i ) / float( rows.size() );
   auto run = [&]( int32_t threads )
   {
      qor::ThreadCountScope scope( threads );
      std::vector<float> plane( columns.size() * rows.size() );
      const float* in[] = { c.data() };
      float* out[] = { plane.data() };
      qor::EvaluateSurfaceSplineGrid( s.Count(), 2, s.x.data(), s.y.data(), in, columns, rows, out );
      return plane;
   };
   const std::vector<float> one = run( 1 ), all = run( 0 );
   EXPECT_EQ( std::memcmp( one.data(), all.data(), one.size() * sizeof( float ) ), 0 );
}

TEST( SurfaceSpline, GridStopsWhenTheMonitorAsksToAbort )
{
   const Samples s = JitteredGrid( 3, Bumpy );
   const std::vector<float> c = Fit( s, 2 );
   std::vector<float> columns( 64, 0.5f ), rows( 2000, 0.5f ), plane( columns.size() * rows.size() );
   const float* in[] = { c.data() };
   float* out[] = { plane.data() };

   qor::StatusCallback monitor;
   monitor.SetCallback( []( void*, int32_t, qor::StatusCallback& ) -> int32_t { return 1; }, nullptr );
   monitor.Initialize( "Evaluating", int64_t( rows.size() ) );
   EXPECT_FALSE(
       qor::EvaluateSurfaceSplineGrid( s.Count(), 2, s.x.data(), s.y.data(), in, columns, rows, out, &monitor ) );

   qor::StatusCallback patient;
   patient.SetCallback( []( void*, int32_t, qor::StatusCallback& ) -> int32_t { return 0; }, nullptr );
   patient.Initialize( "Evaluating", int64_t( rows.size() ) );
   EXPECT_TRUE(
       qor::EvaluateSurfaceSplineGrid( s.Count(), 2, s.x.data(), s.y.data(), in, columns, rows, out, &patient ) );
   EXPECT_EQ( patient.Count(), int64_t( rows.size() ) );
}
