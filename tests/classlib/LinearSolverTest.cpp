#include "LinearSolver.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

namespace
{

// Packed upper triangle, column after column, of a symmetric matrix given by rows.
template <typename T> std::vector<T> Pack( const std::vector<std::vector<double>>& a )
{
   std::vector<T> packed;
   for ( size_t j = 0; j < a.size(); ++j )
      for ( size_t i = 0; i <= j; ++i )
         packed.push_back( T( a[i][j] ) );
   return packed;
}

std::vector<double> Multiply( const std::vector<std::vector<double>>& a, const std::vector<double>& x )
{
   std::vector<double> b( a.size(), 0.0 );
   for ( size_t i = 0; i < a.size(); ++i )
      for ( size_t j = 0; j < a.size(); ++j )
         b[i] += a[i][j] * x[j];
   return b;
}

// A random symmetric matrix with a zero diagonal: every pivot choice has to take 2x2 blocks or interchanges.
std::vector<std::vector<double>> RandomIndefinite( size_t n, uint32_t seed )
{
   std::mt19937 rng( seed );
   std::uniform_real_distribution<double> u( -1.0, 1.0 );
   std::vector<std::vector<double>> a( n, std::vector<double>( n, 0.0 ) );
   for ( size_t i = 0; i < n; ++i )
      for ( size_t j = i + 1; j < n; ++j )
         a[i][j] = a[j][i] = std::round( u( rng ) * 64 ) / 64; // exact in float
   return a;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// BLAS level 1

TEST( LinearSolver, IsamaxTakesTheFirstLargestMagnitudeCountingFromOne )
{
   struct Case
   {
      std::vector<float> x;
      int32_t expected;
   };
   const Case cases[] = {
       { {}, 0 },
       { { -3, 3 }, 1 },
       { { 1, -5, 5, 2 }, 2 },
       { { 0, 0, -0.5f }, 3 },
   };
   for ( const Case& c : cases )
      EXPECT_EQ( qor::ISAMAX( int32_t( c.x.size() ), c.x.data() ), c.expected );
}

TEST( LinearSolver, VectorRoutines )
{
   const float x[] = { 1, -2, 3 };
   float y[] = { 4, 5, 6 };
   EXPECT_EQ( qor::SASUM( 3, x ), 6.0f );
   EXPECT_EQ( qor::SDOT( 3, x, y ), 4.0f - 10.0f + 18.0f );
   qor::SAXPY( 3, 2.0f, x, y );
   EXPECT_EQ( std::vector<float>( y, y + 3 ), ( std::vector<float>{ 6, 1, 12 } ) );
   qor::SSCAL( 2, -1.0f, y );
   EXPECT_EQ( std::vector<float>( y, y + 3 ), ( std::vector<float>{ -6, -1, 12 } ) );
   float z[] = { 1, 1, 1 };
   qor::AddAbsValues( z, x, 3 );
   EXPECT_EQ( std::vector<float>( z, z + 3 ), ( std::vector<float>{ 2, 3, 4 } ) );
   qor::SSWAP( 3, y, z );
   EXPECT_EQ( std::vector<float>( y, y + 3 ), ( std::vector<float>{ 2, 3, 4 } ) );
   qor::ClearVector( z, 3 );
   EXPECT_EQ( std::vector<float>( z, z + 3 ), ( std::vector<float>{ 0, 0, 0 } ) );

   // A zero multiplier leaves y alone, even against infinities in x.
   const float wild[] = { std::numeric_limits<float>::infinity() };
   float target[] = { 1 };
   qor::SAXPY( 1, 0.0f, wild, target );
   EXPECT_EQ( target[0], 1.0f );
}

// ---------------------------------------------------------------------------------------------------------------
// Factorisation and solution on systems small enough to follow by hand

TEST( LinearSolver, FactorsAndSolvesSmallSystemsWithEveryKindOfPivot )
{
   struct Case
   {
      const char* what;
      std::vector<std::vector<double>> a;
      std::vector<double> x;
      std::vector<int32_t> pivots;
   };
   const Case cases[] = {
       { "1x1", { { 2 } }, { 3 }, { 1 } },
       { "positive definite, no interchange", { { 4, 1, 2 }, { 1, 5, 3 }, { 2, 3, 6 } }, { 1, 2, 3 }, { 1, 2, 3 } },
       // a(2,2) is small against a(1,2), a(1,1) is not: row 1 moves to position 2 as a 1x1 pivot.
       { "1x1 with interchange", { { 5, 1 }, { 1, 0.125 } }, { 1, 2 }, { 1, 1 } },
       { "2x2 without interchange", { { 0, 1 }, { 1, 0 } }, { 5, 3 }, { -1, -1 } },
       // Column 3 is largest in row 1, and a(1,1) is zero too: rows 1 and 3 form a 2x2 block after an interchange.
       { "2x2 with interchange",
         { { 0, 0.125, 1 }, { 0.125, 2, 0.125 }, { 1, 0.125, 0 } },
         { 1, 2, 3 },
         { 1, -1, -1 } },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.what );
      const int32_t n = int32_t( c.a.size() );
      std::vector<float> ap = Pack<float>( c.a );
      std::vector<int32_t> kpvt( static_cast<size_t>( n ), 0 );
      EXPECT_EQ( qor::SSPFA( ap.data(), n, kpvt.data() ), 0 );
      EXPECT_EQ( kpvt, c.pivots );
      const std::vector<double> b = Multiply( c.a, c.x );
      std::vector<float> solution( b.begin(), b.end() );
      qor::SSPSL( ap.data(), n, kpvt.data(), solution.data() );
      for ( int32_t i = 0; i < n; ++i )
         EXPECT_NEAR( solution[size_t( i )], c.x[size_t( i )], 1e-5 ) << "x" << i + 1;
   }
}

TEST( LinearSolver, ZeroPivotColumnsAreReportedAsSingular )
{
   // n = 1 with a zero.
   float one[] = { 0 };
   int32_t pivot = 0;
   EXPECT_EQ( qor::SSPFA( one, 1, &pivot ), 1 );
   EXPECT_EQ( pivot, 1 );

   // [[1, 1], [1, 1]]: eliminating row 2 leaves a zero in row 1.
   std::vector<float> ap = Pack<float>( { { 1, 1 }, { 1, 1 } } );
   std::vector<int32_t> kpvt( 2 );
   EXPECT_EQ( qor::SSPFA( ap.data(), 2, kpvt.data() ), 1 );

   // The zero matrix: every column is zero, the smallest is reported; its condition estimate is 0.
   std::vector<float> zero( 6, 0.0f );
   kpvt.assign( 3, 0 );
   EXPECT_EQ( qor::SSPFA( zero.data(), 3, kpvt.data() ), 1 );
   EXPECT_EQ( kpvt, ( std::vector<int32_t>{ 1, 2, 3 } ) );
   float rcond = -1;
   qor::SSPCO( zero.data(), 3, kpvt.data(), rcond );
   EXPECT_EQ( rcond, 0.0f );

   // Singular but not zero: the estimate collapses.
   ap = Pack<float>( { { 1, 1 }, { 1, 1 } } );
   qor::SSPCO( ap.data(), 2, kpvt.data(), rcond );
   EXPECT_EQ( rcond, 0.0f );
}

// ---------------------------------------------------------------------------------------------------------------
// Condition estimate

TEST( LinearSolver, ConditionEstimateOnKnownMatrices )
{
   struct Case
   {
      const char* what;
      std::vector<std::vector<double>> a;
      double rcond; // the estimate of 1 / (|A|_1 |A^-1|_1)
      double tolerance;
   };
   const Case cases[] = {
       { "identity", { { 1, 0, 0 }, { 0, 1, 0 }, { 0, 0, 1 } }, 1.0, 1e-6 },
       // |A|_1 = 4 (each off-diagonal element counts in its row and its column); the true rcond is 1 / (4 * 4/5),
       // the estimate (a lower bound of |A^-1|_1, followed by hand through the four sweeps) 1.4 / 4.
       { "[[2, 1], [1, 3]]", { { 2, 1 }, { 1, 3 } }, 0.35, 1e-6 },
       { "diag(1, 1e-8)", { { 1, 0 }, { 0, 1e-8 } }, 1e-8, 1e-14 },
       // Indefinite with a 2x2 pivot: A = A^-1, |A|_1 = 1.
       { "[[0, 1], [1, 0]]", { { 0, 1 }, { 1, 0 } }, 1.0, 1e-6 },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.what );
      const int32_t n = int32_t( c.a.size() );
      std::vector<float> ap = Pack<float>( c.a );
      std::vector<float> factored = ap;
      std::vector<int32_t> kpvt( static_cast<size_t>( n ) ), factoredPivots( static_cast<size_t>( n ) );
      float rcond = -1;
      qor::SSPCO( ap.data(), n, kpvt.data(), rcond );
      EXPECT_NEAR( rcond, c.rcond, c.tolerance );
      // The factorisation left behind is SSPFA's.
      qor::SSPFA( factored.data(), n, factoredPivots.data() );
      EXPECT_EQ( ap, factored );
      EXPECT_EQ( kpvt, factoredPivots );
   }
}

// ---------------------------------------------------------------------------------------------------------------
// Larger systems: every branch of the index arithmetic, against the exact products

TEST( LinearSolver, SolvesIndefiniteSystemsInFloatAndDouble )
{
   for ( uint32_t seed : { 1u, 2u, 3u } )
   {
      const size_t n = 13;
      const auto a = RandomIndefinite( n, seed );
      std::vector<double> x( n );
      for ( size_t i = 0; i < n; ++i )
         x[i] = double( i ) - 6.0;
      const std::vector<double> b = Multiply( a, x );

      std::vector<float> ap = Pack<float>( a );
      std::vector<int32_t> kpvt( n );
      float rcond = 0;
      qor::SSPCO( ap.data(), int32_t( n ), kpvt.data(), rcond );
      EXPECT_GT( rcond, 1e-4f );
      bool twoByTwo = false;
      for ( int32_t p : kpvt )
         twoByTwo = twoByTwo || p < 0;
      EXPECT_TRUE( twoByTwo ) << "seed " << seed;
      std::vector<float> xf( b.begin(), b.end() );
      qor::SSPSL( ap.data(), int32_t( n ), kpvt.data(), xf.data() );
      const double floatTolerance = 1e-5 / rcond;

      std::vector<double> apd = Pack<double>( a );
      std::vector<int32_t> kpvtd( n );
      EXPECT_EQ( qor::SSPFA( apd.data(), int32_t( n ), kpvtd.data() ), 0 );
      std::vector<double> xd = b;
      qor::SSPSL( apd.data(), int32_t( n ), kpvtd.data(), xd.data() );

      for ( size_t i = 0; i < n; ++i )
      {
         EXPECT_NEAR( xf[i], x[i], floatTolerance * 6 ) << "seed " << seed << " x" << i + 1;
         EXPECT_NEAR( xd[i], x[i], 1e-10 ) << "seed " << seed << " x" << i + 1;
      }
   }
}
