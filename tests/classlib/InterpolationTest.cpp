#include <gtest/gtest.h>

#include "Interpolation.h"

#include <cmath>
#include <concepts>
#include <limits>
#include <random>
#include <thread>
#include <vector>

using namespace qor;

namespace
{

// A plane of width x height samples.
struct Plane
{
   int32_t w, h;
   std::vector<float> s;
   std::vector<float> table; // row-spline second derivatives

   Plane( int32_t w, int32_t h, unsigned seed = 1 ) : w( w ), h( h ), s( size_t( w ) * h ), table( s.size() )
   {
      std::mt19937 rng( seed );
      std::uniform_real_distribution<float> u( 0.0f, 1.0f );
      for ( float& v : s )
         v = u( rng );
      Update();
   }

   template <std::invocable<int32_t, int32_t> F> Plane( int32_t w, int32_t h, F f ) : w( w ), h( h ), s( size_t( w ) * h ), table( s.size() )
   {
      for ( int32_t y = 0; y < h; ++y )
         for ( int32_t x = 0; x < w; ++x )
            s[size_t( y ) * w + x] = f( x, y );
      Update();
   }

   void Update() { ComputeRowSplineDerivatives( s.data(), w, h, table.data() ); }

   // Sample with the edge rule.
   float At( int64_t x, int64_t y ) const { return s[size_t( ClampIndex( y, h ) ) * w + ClampIndex( x, w )]; }

   float Kernel( int code, float x, float y, int32_t block = 5 ) const
   {
      switch ( code )
      {
      case 0:
         return InterpolateBicubicSpline( s.data(), table.data(), w, h, block, x, y );
      case 1:
         return InterpolateBicubic( s.data(), w, h, x, y );
      case 2:
         return InterpolateBilinear( s.data(), w, h, x, y );
      default:
         return InterpolateBicubicBSpline( s.data(), w, h, x, y );
      }
   }
};

// The kernels as their definitions write them, one step after another.

float BilinearByDefinition( const Plane& p, float x, float y )
{
   int64_t ix = int64_t( x ), iy = int64_t( y );
   float dx = x - float( ix ), dy = y - float( iy ), ex = 1 - dx, ey = 1 - dy;
   return p.At( ix, iy ) * ex * ey + p.At( ix + 1, iy ) * dx * ey + p.At( ix, iy + 1 ) * ex * dy +
          p.At( ix + 1, iy + 1 ) * dx * dy;
}

// The cubic through f(-1), f(0), f(1), f(2) in its power form.
float CubicByDefinition( const float f[4], float t )
{
   float d0 = f[0] - f[1], d2 = f[2] - f[1], d3 = f[3] - f[1];
   float a1 = float( -d0 / 3.0L + d2 - d3 / 6.0L );
   float a2 = float( d0 / 2.0L + d2 / 2.0L );
   float a3 = float( -d0 / 6.0L - d2 / 2.0L + d3 / 6.0L );
   float t2 = t * t, t3 = t2 * t;
   return ( ( a1 * t + f[1] ) + a2 * t2 ) + a3 * t3;
}

float BicubicByDefinition( const Plane& p, float x, float y )
{
   int64_t ix = int64_t( x ), iy = int64_t( y );
   float r[4];
   for ( int n = 0; n < 4; ++n )
   {
      float f[4];
      for ( int m = 0; m < 4; ++m )
         f[m] = p.At( ix + m - 1, iy + n - 1 );
      r[n] = CubicByDefinition( f, x - float( ix ) );
   }
   return CubicByDefinition( r, y - float( iy ) );
}

// Each cube a float, the rest wider.
long double BSplineWeight( float t )
{
   auto P3 = []( float u ) { return u > 0 ? u * u * u : 0.0f; };
   return ( P3( t + 2 ) - 4.0L * P3( t + 1 ) + 6.0L * P3( t ) - 4.0L * P3( t - 1 ) ) / 6;
}

float BSplineByDefinition( const Plane& p, float x, float y )
{
   int64_t ix = int64_t( x ), iy = int64_t( y );
   long double sum = 0;
   for ( int n = -1; n <= 2; ++n )
      for ( int m = -1; m <= 2; ++m )
         sum += BSplineWeight( float( m ) - ( x - float( ix ) ) ) * p.At( ix + m, iy + n ) *
                BSplineWeight( float( n ) - ( y - float( iy ) ) );
   return float( sum );
}

// Natural spline along the whole row, then through `block` rows (at most the plane's height) around y.
float SplineByDefinition( const Plane& p, int32_t block, float x, float y )
{
   int32_t n = std::min( block, p.h );
   int32_t y0 = int32_t( std::nearbyint( y - float( n / 2 ) ) );
   y0 = std::min( std::max( y0, 0 ), p.h - n );
   int32_t k = int32_t( x );
   float A = float( k ) + 1 - x, B = x - float( k );
   std::vector<float> b( static_cast<size_t>( n ) ), b2( static_cast<size_t>( n ) );
   for ( int32_t r = 0; r < n; ++r )
   {
      const float* z = &p.s[size_t( y0 + r ) * p.w];
      const float* z2 = &p.table[size_t( y0 + r ) * p.w];
      b[size_t( r )] = k + 1 > p.w - 1 ? z[k]
                                       : A * z[k] + B * z[k + 1] + ( A * A * A - A ) / 6 * z2[k] +
                                            ( B * B * B - B ) / 6 * z2[k + 1];
   }
   ComputeUnitSplineDerivatives( b.data(), n, b2.data() );
   float yp = y - float( y0 );
   int32_t j = int32_t( yp );
   if ( j + 1 > n - 1 )
      return b[size_t( n - 1 )];
   float a = float( j ) + 1 - yp, c = yp - float( j );
   return float( a * b[size_t( j )] + c * b[size_t( j ) + 1] +
                 ( ( a * a * a - a ) * b2[size_t( j )] + ( c * c * c - c ) * b2[size_t( j ) + 1] ) / 6.0L );
}

// Random positions inside [0, w) x [0, h), with the sample points and the last half sample of each axis.
std::vector<std::pair<float, float>> Positions( const Plane& p, int count )
{
   std::mt19937 rng( 7 );
   std::uniform_real_distribution<float> ux( 0.0f, float( p.w ) ), uy( 0.0f, float( p.h ) );
   std::vector<std::pair<float, float>> v;
   for ( int k = 0; k < count; ++k )
      v.emplace_back( ux( rng ), uy( rng ) );
   for ( int32_t y = 0; y < p.h; ++y )
      for ( int32_t x = 0; x < p.w; ++x )
         v.emplace_back( float( x ), float( y ) );
   v.emplace_back( float( p.w ) - 0.25f, float( p.h ) - 0.5f );
   return v;
}

} // namespace

TEST( Interpolation, NamesAndDescriptions )
{
   struct Case
   {
      int code, block;
      const char *name, *description;
   } cases[] = {
      { 0, 7, "bicubic spline", "bicubic spline interpolation, block size = 7" },
      { 1, 5, "bicubic", "bicubic interpolation" },
      { 2, 5, "bilinear", "bilinear interpolation" },
      { 3, 5, "bicubic b-spline", "bicubic b-spline interpolation" },
      { 7, 5, "bicubic spline", "bicubic spline interpolation" },
      { -1, 5, "bicubic spline", "bicubic spline interpolation" },
   };
   for ( const Case& c : cases )
   {
      EXPECT_EQ( InterpolationName( c.code ), c.name );
      EXPECT_EQ( DescribeInterpolation( c.code, c.block ), c.description );
   }
}

TEST( Interpolation, KernelsFollowTheirDefinitions )
{
   // A plane lower than the spline's block too: the block is cut to the plane's height.
   for ( auto [w, h] : { std::pair{ 9, 7 }, std::pair{ 8, 3 }, std::pair{ 2, 9 } } )
   {
      Plane p( w, h );
      for ( auto [x, y] : Positions( p, 300 ) )
      {
         SCOPED_TRACE( testing::Message() << w << "x" << h << " at " << x << ", " << y );
         EXPECT_NEAR( p.Kernel( 2, x, y ), BilinearByDefinition( p, x, y ), 1e-6 );
         EXPECT_NEAR( p.Kernel( 1, x, y ), BicubicByDefinition( p, x, y ), 2e-6 );
         EXPECT_NEAR( p.Kernel( 3, x, y ), BSplineByDefinition( p, x, y ), 1e-6 );
         for ( int block : { 5, 6, 9 } )
            EXPECT_NEAR( p.Kernel( 0, x, y, block ), SplineByDefinition( p, block, x, y ), 2e-6 ) << block;
      }
   }
}

TEST( Interpolation, InterpolatingKernelsPassThroughTheSamples )
{
   for ( auto [w, h] : { std::pair{ 7, 5 }, std::pair{ 1, 1 }, std::pair{ 1, 6 }, std::pair{ 6, 1 } } )
   {
      Plane p( w, h, 3 );
      for ( int32_t y = 0; y < h; ++y )
         for ( int32_t x = 0; x < w; ++x )
         {
            float v = p.At( x, y );
            for ( int code : { 0, 1, 2 } )
               EXPECT_EQ( p.Kernel( code, float( x ), float( y ) ), v ) << code << " at " << x << ", " << y;
            // The B-spline smooths even there: 1/6, 4/6, 1/6 along each axis.
            double smooth = 0;
            for ( int n = -1; n <= 1; ++n )
               for ( int m = -1; m <= 1; ++m )
                  smooth += ( m == 0 ? 4.0 : 1.0 ) * ( n == 0 ? 4.0 : 1.0 ) / 36 * p.At( x + m, y + n );
            EXPECT_NEAR( p.Kernel( 3, float( x ), float( y ) ), smooth, 1e-6 );
         }
   }
}

TEST( Interpolation, LinearRampsAreReproduced )
{
   Plane p( 12, 10, []( int32_t x, int32_t y ) { return 0.1f + 0.03f * x + 0.05f * y; } );
   std::mt19937 rng( 11 );
   // Everywhere between the first and the last sample for the bilinear kernel and the splines; where no tap is
   // replaced by an edge sample for the 4 x 4 kernels.
   std::uniform_real_distribution<float> ux( 0.0f, 11.0f ), uy( 0.0f, 9.0f ), vx( 1.0f, 9.99f ), vy( 1.0f, 7.99f );
   for ( int k = 0; k < 500; ++k )
   {
      float x = ux( rng ), y = uy( rng );
      float expected = 0.1f + 0.03f * x + 0.05f * y;
      EXPECT_NEAR( p.Kernel( 2, x, y ), expected, 1e-6 );
      EXPECT_NEAR( p.Kernel( 0, x, y ), expected, 2e-6 );
      x = vx( rng ), y = vy( rng );
      expected = 0.1f + 0.03f * x + 0.05f * y;
      EXPECT_NEAR( p.Kernel( 1, x, y ), expected, 1e-6 );
      EXPECT_NEAR( p.Kernel( 3, x, y ), expected, 3e-6 ); // its weights come from differences of float cubes
   }
}

TEST( Interpolation, EdgeSamplesRepeatAndNothingIsReadOutside )
{
   // 0, 0.25, 0.5, 1: past the last sample the right neighbour is the last sample again.
   Plane row( 4, 1, []( int32_t x, int32_t ) { return x == 3 ? 1.0f : 0.25f * x; } );
   EXPECT_EQ( row.Kernel( 2, 3.5f, 0.0f ), 1.0f );
   EXPECT_EQ( row.Kernel( 2, 3.75f, 0.0f ), 1.0f );
   EXPECT_EQ( row.Kernel( 2, 2.5f, 0.0f ), 0.75f );
   EXPECT_EQ( row.Kernel( 0, 3.5f, 0.0f ), 1.0f ); // the spline ends at its last node

   // Tiny planes, positions inside, on the far edges, outside and NaN: reads stay inside the plane (the sanitizer
   // build checks) and a constant plane gives its constant.
   const float nan = std::numeric_limits<float>::quiet_NaN();
   for ( auto [w, h] : { std::pair{ 1, 1 }, std::pair{ 1, 5 }, std::pair{ 5, 1 }, std::pair{ 2, 2 } } )
   {
      Plane p( w, h, []( int32_t, int32_t ) { return 0.625f; } );
      for ( int code = 0; code < 4; ++code )
      {
         for ( auto [x, y] : { std::pair{ 0.0f, 0.0f }, std::pair{ w - 0.01f, h - 0.01f }, std::pair{ 0.5f, 0.5f } } )
            EXPECT_NEAR( p.Kernel( code, x, y ), 0.625f, 1e-6 ) << code << " " << w << "x" << h;
         for ( auto [x, y] : { std::pair{ -3.0f, -2.5f }, std::pair{ w + 4.0f, h + 9.5f }, std::pair{ 1e9f, -1e9f } } )
            p.Kernel( code, x, y );
         p.Kernel( code, nan, 0.5f );
         p.Kernel( code, 0.0f, nan );
      }
   }
}

TEST( Interpolation, UnitSplineSecondDerivatives )
{
   float y2[5];
   const float hat[3] = { 0, 1, 0 };
   ComputeUnitSplineDerivatives( hat, 3, y2 );
   EXPECT_FLOAT_EQ( y2[0], 0 );
   EXPECT_FLOAT_EQ( y2[1], -3 ); // y''0 + 4 y''1 + y''2 = 6 (0 - 2 + 0)
   EXPECT_FLOAT_EQ( y2[2], 0 );

   const float line[5] = { 1, 2, 3, 4, 5 };
   ComputeUnitSplineDerivatives( line, 5, y2 );
   for ( float v : y2 )
      EXPECT_NEAR( v, 0, 1e-6 );

   // Natural ends, and nothing to bend with one or two values.
   const float values[5] = { 0.3f, -1, 2, 0.5f, 4 };
   ComputeUnitSplineDerivatives( values, 5, y2 );
   EXPECT_EQ( y2[0], 0 );
   EXPECT_EQ( y2[4], 0 );
   for ( int i = 1; i < 4; ++i )
      EXPECT_NEAR( y2[i - 1] + 4 * y2[i] + y2[i + 1], 6 * ( values[i + 1] - 2 * values[i] + values[i - 1] ), 1e-5 );
   y2[0] = y2[1] = 9;
   ComputeUnitSplineDerivatives( values, 2, y2 );
   EXPECT_EQ( y2[0], 0 );
   EXPECT_EQ( y2[1], 0 );
}

TEST( Interpolation, RowSplineTableIsTheSweepOfEachRow )
{
   // Rows are swept several at a time; each must come out as if swept alone.
   for ( auto [w, h] : { std::pair{ 37, 21 }, std::pair{ 3, 9 }, std::pair{ 64, 16 }, std::pair{ 2, 8 } } )
   {
      Plane p( w, h );
      std::vector<float> row( static_cast<size_t>( w ) );
      for ( int32_t y = 0; y < h; ++y )
      {
         ComputeUnitSplineDerivatives( &p.s[size_t( y ) * w], w, row.data() );
         for ( int32_t x = 0; x < w; ++x )
            ASSERT_EQ( p.table[size_t( y ) * w + x], row[size_t( x )] ) << w << "x" << h << " at " << x << ", " << y;
      }
   }
}

TEST( Interpolation, SplineKernelRunsOnSeveralThreadsAtOnce )
{
   // Each thread with its own block size, the way two image operations would run side by side.
   Plane p( 40, 30 );
   std::vector<std::pair<float, float>> at = Positions( p, 2000 );
   auto run = [&]( int block, std::vector<float>& out ) {
      for ( auto [x, y] : at )
         out.push_back( p.Kernel( 0, x, y, block ) );
   };
   std::vector<std::vector<float>> alone( 4 ), together( 4 );
   for ( int t = 0; t < 4; ++t )
      run( 5 + 3 * t, alone[size_t( t )] );
   std::vector<std::thread> threads;
   for ( int t = 0; t < 4; ++t )
      threads.emplace_back( [&, t] { run( 5 + 3 * t, together[size_t( t )] ); } );
   for ( std::thread& t : threads )
      t.join();
   EXPECT_EQ( alone, together );
}

TEST( Interpolation, RationalFunction )
{
   const float xa[4] = { 0, 1, 2, 4 };
   float ya[4];
   for ( int i = 0; i < 4; ++i )
      ya[i] = 1 / ( 1 + xa[i] );
   float y = -1, dy = -1;
   EXPECT_TRUE( InterpolateRational( xa, ya, 4, 2.0f, y, dy ) ); // an abscissa: its ordinate, no error
   EXPECT_EQ( y, ya[2] );
   EXPECT_EQ( dy, 0 );
   EXPECT_TRUE( InterpolateRational( xa, ya, 4, 0.5f, y, dy ) ); // a rational function is met exactly
   EXPECT_NEAR( y, 1 / 1.5f, 1e-5 );
   EXPECT_LT( std::fabs( dy ), 1e-3 );

   // (0, 1) and (2, -1) at x = 1: the rational function through them has a pole there.
   const float px[2] = { 0, 2 }, py[2] = { 1, -1 };
   EXPECT_FALSE( InterpolateRational( px, py, 2, 1.0f, y, dy ) );
   EXPECT_FALSE( InterpolateRational( px, py, 0, 1.0f, y, dy ) );
   EXPECT_EQ( y, 0 );
}
