#include "Interpolation.h"

#include "Math.h"

#include <algorithm>
#include <cstdio>

#if defined( __SSE2__ )
#include <emmintrin.h>
#endif

namespace qor
{

namespace
{

// The natural spline's sweep depends on the data only through its right-hand sides: the pivots p[i] and the
// eliminated diagonal q[i] (the first pass's second derivatives, -0.5 / p) are the same for every row of n values.
struct UnitSplineFactors
{
   std::vector<float> p, q;

   explicit UnitSplineFactors( int32_t n ) : p( size_t( std::max( n, 1 ) ), 1.0f ), q( size_t( std::max( n, 1 ) ), 0.0f )
   {
      for ( int32_t i = 1; i < n - 1; ++i )
      {
         p[size_t( i )] = 0.5f * q[size_t( i ) - 1] + 2.0f;
         q[size_t( i )] = -0.5f / p[size_t( i )];
      }
   }
};

// Second derivatives of `count` rows of n values at once (y[r] -> y2[r]), the rows interleaved so that their
// divisions overlap. Each row gets exactly the arithmetic of the sweep on its own: y2[0] = u[0] = 0;
// u[i] = (3 (y[i+1] - 2 y[i] + y[i-1]) - 0.5 u[i-1]) / p[i]; y2[n-1] = 0; y2[i] = q[i] y2[i+1] + u[i] downwards,
// with u kept in y2 until the back substitution replaces it.
void UnitSplineRows( const float* const* y, float* const* y2, int32_t count, int32_t n, const UnitSplineFactors& f )
{
   if ( n <= 0 )
      return;
   for ( int32_t r = 0; r < count; ++r )
      y2[r][0] = 0.0f;
   for ( int32_t i = 1; i < n - 1; ++i )
   {
      const float p = f.p[size_t( i )];
      for ( int32_t r = 0; r < count; ++r )
      {
         const float* v = y[r];
         const float d = v[i + 1] - 2.0f * v[i] + v[i - 1];
         y2[r][i] = ( 3.0f * d - 0.5f * y2[r][i - 1] ) / p;
      }
   }
   for ( int32_t r = 0; r < count; ++r )
      y2[r][n - 1] = 0.0f;
   for ( int32_t i = n - 2; i >= 0; --i )
   {
      const float q = f.q[size_t( i )];
      for ( int32_t r = 0; r < count; ++r )
         y2[r][i] = q * y2[r][i + 1] + y2[r][i];
   }
}

#if defined( __SSE2__ )
// Columns of eight rows as pairs of vectors: c[2 i + g] holds rows 4 g .. 4 g + 3 of column i.
struct Lanes
{
   float* p;

   struct Ref
   {
      float* p;
      operator __m128() const { return _mm_loadu_ps( p ); }
      Ref& operator=( __m128 v )
      {
         _mm_storeu_ps( p, v );
         return *this;
      }
      Ref& operator=( const Ref& other ) { return *this = __m128( other ); }
   };

   Ref operator[]( int64_t k ) const { return Ref{ p + 4 * k }; }
};

// Eight rows at once, row r in lane r % 4 of vector r / 4, with the same operations on every lane as the sweep
// above on one row. The rows are transposed into `work` (n columns of two vectors), swept there, and transposed
// back; two independent groups of four rows keep the divisions of the forward sweep overlapping.
void UnitSplineRows8( const float* const* y, float* const* y2, int32_t n, const UnitSplineFactors& f,
                      std::vector<float>& work )
{
   work.resize( 8 * size_t( n ) );
   Lanes c{ work.data() };
   for ( int g = 0; g < 2; ++g )
   {
      const float* const* rows = y + 4 * g;
      int32_t i = 0;
      for ( ; i + 4 <= n; i += 4 )
      {
         __m128 r0 = _mm_loadu_ps( rows[0] + i ), r1 = _mm_loadu_ps( rows[1] + i ), r2 = _mm_loadu_ps( rows[2] + i ),
                r3 = _mm_loadu_ps( rows[3] + i );
         _MM_TRANSPOSE4_PS( r0, r1, r2, r3 );
         c[2 * i + g] = r0;
         c[2 * i + 2 + g] = r1;
         c[2 * i + 4 + g] = r2;
         c[2 * i + 6 + g] = r3;
      }
      for ( ; i < n; ++i )
         c[2 * i + g] = _mm_setr_ps( rows[0][i], rows[1][i], rows[2][i], rows[3][i] );
   }

   // Forward: column i - 1 of the sweep replaces column i - 1 of the values once it is no longer needed.
   const __m128 two = _mm_set1_ps( 2.0f ), three = _mm_set1_ps( 3.0f ), half = _mm_set1_ps( 0.5f );
   __m128 previousA = c[0], previousB = c[1]; // values at i - 1
   __m128 uA = _mm_setzero_ps(), uB = _mm_setzero_ps();
   c[0] = _mm_setzero_ps();
   c[1] = _mm_setzero_ps();
   for ( int32_t i = 1; i < n - 1; ++i )
   {
      const __m128 p = _mm_set1_ps( f.p[size_t( i )] );
      const __m128 dA = _mm_add_ps( _mm_sub_ps( c[2 * i + 2], _mm_mul_ps( two, c[2 * i] ) ), previousA );
      const __m128 dB = _mm_add_ps( _mm_sub_ps( c[2 * i + 3], _mm_mul_ps( two, c[2 * i + 1] ) ), previousB );
      previousA = c[2 * i];
      previousB = c[2 * i + 1];
      uA = _mm_div_ps( _mm_sub_ps( _mm_mul_ps( three, dA ), _mm_mul_ps( half, uA ) ), p );
      uB = _mm_div_ps( _mm_sub_ps( _mm_mul_ps( three, dB ), _mm_mul_ps( half, uB ) ), p );
      c[2 * i] = uA;
      c[2 * i + 1] = uB;
   }

   // Backward: y2[n - 1] = 0, y2[i] = q[i] y2[i + 1] + u[i].
   c[2 * n - 2] = _mm_setzero_ps();
   c[2 * n - 1] = _mm_setzero_ps();
   for ( int32_t i = n - 2; i >= 0; --i )
   {
      const __m128 q = _mm_set1_ps( f.q[size_t( i )] );
      c[2 * i] = _mm_add_ps( _mm_mul_ps( q, c[2 * i + 2] ), c[2 * i] );
      c[2 * i + 1] = _mm_add_ps( _mm_mul_ps( q, c[2 * i + 3] ), c[2 * i + 1] );
   }

   for ( int g = 0; g < 2; ++g )
   {
      float* const* rows = y2 + 4 * g;
      int32_t i = 0;
      for ( ; i + 4 <= n; i += 4 )
      {
         __m128 r0 = c[2 * i + g], r1 = c[2 * i + 2 + g], r2 = c[2 * i + 4 + g], r3 = c[2 * i + 6 + g];
         _MM_TRANSPOSE4_PS( r0, r1, r2, r3 );
         _mm_storeu_ps( rows[0] + i, r0 );
         _mm_storeu_ps( rows[1] + i, r1 );
         _mm_storeu_ps( rows[2] + i, r2 );
         _mm_storeu_ps( rows[3] + i, r3 );
      }
      for ( ; i < n; ++i )
      {
         alignas( 16 ) float lanes[4];
         _mm_store_ps( lanes, c[2 * i + g] );
         for ( int r = 0; r < 4; ++r )
            rows[r][i] = lanes[r];
      }
   }
}
#endif

} // namespace

std::string InterpolationName( int32_t code )
{
   switch ( code )
   {
   case Interpolation::Bicubic:
      return "bicubic";
   case Interpolation::Bilinear:
      return "bilinear";
   case Interpolation::BicubicBSpline:
      return "bicubic b-spline";
   default:
      return "bicubic spline";
   }
}

std::string DescribeInterpolation( int32_t code, int32_t blockSize )
{
   std::string text = InterpolationName( code ) + " interpolation";
   if ( code == Interpolation::BicubicSpline )
   {
      char buffer[48];
      std::snprintf( buffer, sizeof( buffer ), ", block size = %d", int( blockSize ) );
      text += buffer;
   }
   return text;
}

float InterpolateBilinear( const float* plane, int32_t width, int32_t height, float x, float y )
{
   return BilinearSampler( plane, width, height )( x, y );
}

float InterpolateBicubic( const float* plane, int32_t width, int32_t height, float x, float y )
{
   return BicubicSampler( plane, width, height )( x, y );
}

float InterpolateBicubicBSpline( const float* plane, int32_t width, int32_t height, float x, float y )
{
   return BSplineSampler( plane, width, height )( x, y );
}

float InterpolateBicubicSpline( const float* plane, const float* table, int32_t width, int32_t height,
                                int32_t blockSize, float x, float y )
{
   return SplineSampler( plane, table, width, height, blockSize )( x, y );
}

void ComputeRowSplineDerivatives( const float* plane, int32_t width, int32_t height, float* table )
{
   constexpr int32_t batch = 8;
   const UnitSplineFactors factors( width );
   int32_t j = 0;
#if defined( __SSE2__ )
   std::vector<float> work;
   for ( ; width > 2 && j + batch <= height; j += batch )
   {
      const float* y[batch];
      float* y2[batch];
      for ( int32_t r = 0; r < batch; ++r )
      {
         y[r] = plane + int64_t( j + r ) * width;
         y2[r] = table + int64_t( j + r ) * width;
      }
      UnitSplineRows8( y, y2, width, factors, work );
   }
#endif
   for ( ; j < height; j += batch )
   {
      const float* y[batch];
      float* y2[batch];
      const int32_t count = std::min( batch, height - j );
      for ( int32_t r = 0; r < count; ++r )
      {
         y[r] = plane + int64_t( j + r ) * width;
         y2[r] = table + int64_t( j + r ) * width;
      }
      UnitSplineRows( y, y2, count, width, factors );
   }
}

void ComputeUnitSplineDerivatives( const float* values, int32_t n, float* secondDerivatives )
{
   UnitSplineRows( &values, &secondDerivatives, 1, n, UnitSplineFactors( n ) );
}

// The spline through the block's n values b is linear in b, so its value at y' is a weighted sum of them. With j =
// trunc(y'), A = j + 1 - y' and B = y' - j it reads A b[j] + B b[j+1] + ((A^3 - A) b''[j] + (B^3 - B) b''[j+1]) / 6,
// where the inner second derivatives solve T b''/6 = D b, T = tridiag(1, 4, 1) and D the second difference. So the
// weight of b[k] is A [k = j] + B [k = j + 1] + (D^T z)[k] with T z = ((A^3 - A) e_j + (B^3 - B) e_{j+1}) restricted
// to the inner nodes: one tridiagonal solve of the block's size per position, on factors computed once.
SplineColumn::SplineColumn( int32_t blockSize, int32_t h )
   : n( std::max( 1, std::min( blockSize, h ) ) ), height( std::max( h, 1 ) ), pivot( size_t( n ) + 1 ),
     z( size_t( n ) + 2 )
{
   double previous = 0; // eliminated upper diagonal of the row above
   for ( int32_t i = 1; i < n - 1; ++i )
   {
      pivot[size_t( i )] = 1.0 / ( 4.0 - previous );
      previous = pivot[size_t( i )];
   }
}

int32_t SplineColumn::Weights( float y, double* weights )
{
   // Block placement: centred on y, rounded to the nearest row (ties to even), kept inside the plane.
   float y0 = Round( y - float( n / 2 ) );
   if ( !( y0 >= 0.0f ) )
      y0 = 0.0f;
   else if ( y0 > float( height - n ) )
      y0 = float( height - n );
   int32_t first = int32_t( y0 );
   float yp = y - float( first );

   std::fill( weights, weights + n, 0.0 );
   int32_t j;
   float f;
   SplitPosition( yp, n, j, f );
   if ( j >= n - 1 )
   {
      // At or past the last node: the natural spline ends there with the last value.
      weights[n - 1] = 1.0;
      return first;
   }

   double a = double( float( j ) + 1.0f - yp );
   double b = double( yp - float( j ) );
   double alpha = a * a * a - a, beta = b * b * b - b;

   // z[i + 1] holds the solution at node i; nodes 0 and n - 1 are the natural ends (z = 0 there).
   double* zz = z.data();
   std::fill( z.begin(), z.end(), 0.0 );
   double carried = 0;
   for ( int32_t i = 1; i < n - 1; ++i )
   {
      double v = ( i == j ? alpha : 0.0 ) + ( i == j + 1 ? beta : 0.0 );
      carried = ( v - carried ) * pivot[size_t( i )];
      zz[i + 1] = carried;
   }
   for ( int32_t i = n - 3; i >= 1; --i )
      zz[i + 1] -= pivot[size_t( i )] * zz[i + 2];

   for ( int32_t k = 0; k < n; ++k )
      weights[k] = zz[k] - 2.0 * zz[k + 1] + zz[k + 2];
   weights[j] += a;
   weights[j + 1] += b;
   return first;
}

bool InterpolateRational( const float* xa, const float* ya, int32_t n, float x, float& y, float& dy )
{
   y = dy = 0.0f;
   if ( n < 1 )
      return false;

   // The tableau is 1-based, as the method is usually written.
   std::vector<float> c( size_t( n ) + 1 ), d( size_t( n ) + 1 );
   auto X = [xa]( int32_t i ) { return xa[i - 1]; };
   auto Y = [ya]( int32_t i ) { return ya[i - 1]; };

   int32_t ns = 1;
   float hh = std::fabs( x - X( 1 ) );
   for ( int32_t i = 1; i <= n; ++i )
   {
      float h = std::fabs( x - X( i ) );
      if ( h == 0.0f )
      {
         y = Y( i );
         dy = 0.0f;
         return true;
      }
      if ( h < hh )
      {
         ns = i;
         hh = h;
      }
      c[size_t( i )] = Y( i );
      d[size_t( i )] = float( Y( i ) + 1e-25 );
   }

   y = Y( ns-- );
   for ( int32_t m = 1; m < n; ++m )
   {
      for ( int32_t i = 1; i <= n - m; ++i )
      {
         float w = c[size_t( i ) + 1] - d[size_t( i )];
         float h = X( i + m ) - x;
         float t = ( X( i ) - x ) * d[size_t( i )] / h;
         float dd = t - c[size_t( i ) + 1];
         if ( dd == 0.0f )
            return false; // a pole at x
         dd = w / dd;
         d[size_t( i )] = c[size_t( i ) + 1] * dd;
         c[size_t( i )] = t * dd;
      }
      dy = 2 * ns < n - m ? c[size_t( ns ) + 1] : d[size_t( ns-- )];
      y += dy;
   }
   return true;
}

} // namespace qor
