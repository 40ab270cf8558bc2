#include "Interpolation.h"

#include <algorithm>
#include <cstdio>

namespace qor
{

namespace
{

// The natural spline's sweep with the caller's work row u (n floats).
void UnitSpline( const float* y, int32_t n, float* y2, float* u )
{
   if ( n <= 0 )
      return;
   y2[0] = u[0] = 0.0f;
   for ( int32_t i = 1; i < n - 1; ++i )
   {
      float p = 0.5f * y2[i - 1] + 2.0f;
      y2[i] = -0.5f / p;
      float d = y[i + 1] - 2.0f * y[i] + y[i - 1];
      u[i] = ( 3.0f * d - 0.5f * u[i - 1] ) / p;
   }
   y2[n - 1] = 0.0f;
   for ( int32_t i = n - 2; i >= 0; --i )
      y2[i] = y2[i] * y2[i + 1] + u[i];
}

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
   std::vector<float> u( size_t( std::max( width, 1 ) ) );
   for ( int32_t j = 0; j < height; ++j )
      UnitSpline( plane + int64_t( j ) * width, width, table + int64_t( j ) * width, u.data() );
}

void ComputeUnitSplineDerivatives( const float* values, int32_t n, float* secondDerivatives )
{
   std::vector<float> u( size_t( std::max( n, 1 ) ) );
   UnitSpline( values, n, secondDerivatives, u.data() );
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
   float y0 = std::nearbyint( y - float( n / 2 ) );
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
