#include "TransferCurve.h"

// No contraction into fused multiply-add: the midtones clones for AVX2 and AVX-512 must give the same bits as the
// baseline one, and a product that is not exact in double would round differently inside a fused operation.
#pragma GCC optimize( "fp-contract=off" )

#include "GaussianKernel.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace qor
{

namespace
{

// What is wrong with a curve, or an empty text.
std::string CurveFault( std::span<const float> x, std::span<const float> y )
{
   if ( x.size() != y.size() )
      return "Invalid transfer curve: the numbers of abscissae and ordinates differ.";
   if ( x.size() < 2 )
      return "Invalid transfer curve: a curve needs at least two points.";
   for ( size_t i = 0; i < x.size(); ++i )
      if ( !std::isfinite( x[i] ) || !std::isfinite( y[i] ) )
         return "Invalid transfer curve: a point is not a finite number.";
   for ( size_t i = 1; i < x.size(); ++i )
      if ( !( x[i - 1] < x[i] ) )
         return "Invalid transfer curve: abscissae must be distinct and in ascending order.";
   return std::string();
}

// Whether every interval has a positive width (NaN widths are not positive).
bool HasAscendingAbscissae( const float* x, int32_t n )
{
   for ( int32_t i = 1; i < n; ++i )
      if ( !( x[i] - x[i - 1] > 0.0f ) )
         return false;
   return true;
}

// The spline in the interval [klo, klo + 1], which must have a positive width.
inline double SplineValue( const float* x, const float* y, const float* y2, int32_t klo, float v )
{
   const int32_t khi = klo + 1;
   float h = x[khi] - x[klo];
   float a = ( x[khi] - v ) / h;
   float b = ( v - x[klo] ) / h;
   double da = a;
   double db = b;
   double dh = h;
   return da * y[klo] + db * y[khi] +
          ( ( da * da * da - da ) * y2[klo] + ( db * db * db - db ) * y2[khi] ) * ( dh * dh ) * ( 1.0 / 6 );
}

// The block kernels below are compiled for the baseline instruction set and for AVX2 (with gathers); without
// contraction (above) every version rounds each operation alike and gives the same bits.
#if defined( __GNUC__ ) && !defined( __clang__ ) && defined( __x86_64__ ) && !defined( __SANITIZE_ADDRESS__ )
#define QOR_CURVE_KERNEL __attribute__( ( noinline, target_clones( "arch=x86-64-v3", "default" ) ) )
#else
#define QOR_CURVE_KERNEL __attribute__( ( noinline ) )
#endif

// SplineValue for each of count samples, in place, interval low[j] for sample j. Eight samples at a time with the
// very operations of SplineValue, in the same order, lane by lane; the rest one by one.
#pragma GCC diagnostic ignored "-Wpsabi"
typedef float SplineFloats __attribute__( ( vector_size( 32 ) ) );
typedef double SplineDoubles __attribute__( ( vector_size( 64 ) ) );

QOR_CURVE_KERNEL void SplineValues( float* __restrict s, const int32_t* __restrict low, int64_t count,
                                    const float* x, const float* y, const float* y2 )
{
   constexpr int64_t lanes = 8;
   int64_t j = 0;
   for ( ; j + lanes <= count; j += lanes )
   {
      SplineFloats v, xlo, xhi, ylo, yhi, y2lo, y2hi;
      std::memcpy( &v, s + j, sizeof( v ) );
      for ( int64_t k = 0; k < lanes; ++k )
      {
         const int32_t klo = low[j + k];
         xlo[k] = x[klo];
         xhi[k] = x[klo + 1];
         ylo[k] = y[klo];
         yhi[k] = y[klo + 1];
         y2lo[k] = y2[klo];
         y2hi[k] = y2[klo + 1];
      }
      SplineFloats h = xhi - xlo;
      SplineFloats a = ( xhi - v ) / h;
      SplineFloats b = ( v - xlo ) / h;
      SplineDoubles da = __builtin_convertvector( a, SplineDoubles );
      SplineDoubles db = __builtin_convertvector( b, SplineDoubles );
      SplineDoubles dh = __builtin_convertvector( h, SplineDoubles );
      SplineDoubles r = da * __builtin_convertvector( ylo, SplineDoubles ) +
                        db * __builtin_convertvector( yhi, SplineDoubles ) +
                        ( ( da * da * da - da ) * __builtin_convertvector( y2lo, SplineDoubles ) +
                          ( db * db * db - db ) * __builtin_convertvector( y2hi, SplineDoubles ) ) *
                            ( dh * dh ) * ( 1.0 / 6 );
      SplineFloats f = __builtin_convertvector( r, SplineFloats );
      std::memcpy( s + j, &f, sizeof( f ) );
   }
   for ( ; j < count; ++j )
      s[j] = float( SplineValue( x, y, y2, low[j], s[j] ) );
}

// The interval of each of count samples on a short curve, without a branch per sample: the number of inner
// abscissae x[1 .. n-2] that do not exceed the sample (all of them for NaN, as the bisection gives). At a sample
// equal to an inner abscissa this is the interval to its right, where the cursor may keep the one to its left;
// the spline there is that point's ordinate in either interval, so the values are the same.
QOR_CURVE_KERNEL void FindIntervals( const float* __restrict s, int32_t* __restrict low, int64_t count,
                                     const float* x, int32_t n )
{
   for ( int64_t j = 0; j < count; ++j )
      low[j] = 0;
   for ( int32_t i = 1; i < n - 1; ++i )
   {
      const float xi = x[i];
      for ( int64_t j = 0; j < count; ++j )
         low[j] += !( xi > s[j] );
   }
}

// Curves with at most this many points find their intervals by counting (FindIntervals); longer ones bisect.
constexpr int32_t CountedIntervalPoints = 24;

// The spline of a sound curve (n >= 2, ascending) at every sample of p, clamped. The intervals of a block are
// found first, then the arithmetic of the whole block runs in one loop the compiler vectorises; each value is
// exactly InterpolateSpline's. NaN samples give NaN, then 0.
void SplineSamples( float* p, int64_t count, const float* x, const float* y, const float* y2, int32_t n,
                    SplineCursor& cursor )
{
   constexpr int64_t Block = 256;
   int32_t low[Block];
   for ( int64_t start = 0; start < count; start += Block )
   {
      float* s = p + start;
      const int64_t m = std::min( Block, count - start );
      if ( n <= CountedIntervalPoints )
         FindIntervals( s, low, m, x, n );
      else
         for ( int64_t j = 0; j < m; ++j )
         {
            cursor.Bracket( x, n, s[j] );
            low[j] = cursor.Low();
         }
      SplineValues( s, low, m, x, y, y2 );
      ClampSamples( s, m );
   }
}

// The linear rule at every sample of p, clamped; NaN samples give 0.
void LinearSamples( float* p, int64_t count, const float* x, const float* y, int32_t n )
{
   for ( int64_t i = 0; i < count; ++i )
      p[i] = std::isnan( p[i] ) ? 0.0f : float( InterpolateLinear( x, y, n, p[i] ) );
   ClampSamples( p, count );
}

} // namespace

bool IsValidTransferCurve( std::span<const float> x, std::span<const float> y )
{
   return CurveFault( x, y ).empty();
}

void CheckTransferCurve( std::span<const float> x, std::span<const float> y )
{
   std::string fault = CurveFault( x, y );
   if ( !fault.empty() )
      throw GenericException( fault );
}

void ComputeSplineSecondDerivatives( const float* x, const float* y, int32_t n, float* y2 )
{
   if ( n <= 0 )
      return;
   if ( n < 3 || !HasAscendingAbscissae( x, n ) )
   {
      std::fill( y2, y2 + n, 0.0f );
      return;
   }
   std::vector<float> u( size_t( n ), 0.0f );
   y2[0] = 0.0f;
   for ( int32_t i = 1; i < n - 1; ++i )
   {
      float sig = float( double( x[i] - x[i - 1] ) / ( x[i + 1] - x[i - 1] ) );
      float p = float( double( sig ) * y2[i - 1] + 2 );
      y2[i] = float( ( double( sig ) - 1 ) / p );
      u[i] = float( double( y[i + 1] - y[i] ) / ( x[i + 1] - x[i] ) - double( y[i] - y[i - 1] ) / ( x[i] - x[i - 1] ) );
      u[i] = float( ( 6 * double( u[i] ) / ( x[i + 1] - x[i - 1] ) - double( sig ) * u[i - 1] ) / p );
   }
   y2[n - 1] = 0.0f;
   for ( int32_t k = n - 2; k >= 0; --k )
      y2[k] = float( double( y2[k] ) * y2[k + 1] + u[k] );
}

void SplineCursor::Bracket( const float* x, int32_t n, float v )
{
   // A pair left by another curve is used only when it brackets v in this one.
   if ( low >= 0 && high > low && high < n && x[low] <= v && v <= x[high] )
      return;
   int32_t klo = 0;
   int32_t khi = n - 1;
   while ( khi - klo > 1 )
   {
      int32_t k = ( khi + klo ) >> 1;
      if ( x[k] > v )
         khi = k;
      else
         klo = k;
   }
   low = klo;
   high = khi;
}

double InterpolateSpline( const float* x, const float* y, const float* y2, int32_t n, float v, SplineCursor& cursor )
{
   if ( n < 1 )
      return 0;
   cursor.Bracket( x, n, v );
   if ( !( x[cursor.High()] - x[cursor.Low()] > 0.0f ) )
      return std::isnan( v ) ? double( v ) : InterpolateLinear( x, y, n, v );
   return SplineValue( x, y, y2, cursor.Low(), v );
}

double InterpolateSpline( const float* x, const float* y, const float* y2, int32_t n, float v )
{
   SplineCursor cursor;
   return InterpolateSpline( x, y, y2, n, v, cursor );
}

double InterpolateLinear( const float* x, const float* y, int32_t n, float v )
{
   if ( n < 1 )
      return 0;
   for ( int32_t i = 0; i < n; ++i )
      if ( v < x[i] )
      {
         if ( i == 0 )
            return y[0];
         float h = x[i] - x[i - 1];
         if ( 1.0 + h == 1.0 )
            return y[i - 1];
         return y[i - 1] + ( double( v ) - x[i - 1] ) * ( double( y[i] ) - y[i - 1] ) / h;
      }
   return y[n - 1];
}

// Compiled for the baseline instruction set and for the AVX2 and AVX-512 levels. Without contraction (above) each
// operation is rounded alike in every version, so every version gives the same bits.
#if defined( __GNUC__ ) && !defined( __clang__ ) && defined( __x86_64__ ) && !defined( __SANITIZE_ADDRESS__ )
__attribute__( ( target_clones( "arch=x86-64-v4", "arch=x86-64-v3", "default" ) ) )
#endif
void MidtonesTransferFunction( float* samples, int64_t count, float m )
{
   if ( m == 0.0f || m == 1.0f )
   {
      for ( int64_t i = 0; i < count; ++i )
         samples[i] = MidtonesTransferFunction( samples[i], m );
      return;
   }
   // The general balance needs no test per sample (see the scalar function), so this loop vectorises.
   const double dm = m;
   const double a = dm - 1;
   const double b = 2 * dm - 1;
   for ( int64_t i = 0; i < count; ++i )
   {
      double dx = samples[i];
      samples[i] = float( a * dx / ( b * dx - dm ) ) + 0.0f;
   }
}

void ApplyTransferCurve( Image& image, int32_t channel, std::span<const float> x, std::span<const float> y,
                         bool linear )
{
   if ( channel < 0 || channel >= image.NumberOfChannels() )
      throw GenericException( "ApplyTransferCurve: channel " + std::to_string( channel ) + " does not exist." );
   if ( x.size() != y.size() || x.empty() || x.size() > size_t( INT32_MAX ) )
      throw GenericException( "ApplyTransferCurve: invalid transfer curve." );

   const int32_t n = int32_t( x.size() );
   const float* px = x.data();
   const float* py = y.data();
   // An unsound curve has no spline (nor has a single point): its linear rule stands in.
   if ( !linear && ( n < 2 || !HasAscendingAbscissae( px, n ) ) )
      linear = true;
   std::vector<float> y2;
   if ( !linear )
   {
      y2.resize( size_t( n ) );
      ComputeSplineSecondDerivatives( px, py, n, y2.data() );
   }
   const float* py2 = y2.data();

   const int64_t width = image.Width();
   image.BeginTask( "Transfer function", image.NumberOfPixels() );
   image.ParallelRows(
       image.Height(),
       [&]( int64_t y0, int64_t y1 )
       {
          float* strip = image.ScanLine( channel, int32_t( y0 ) );
          const int64_t count = ( y1 - y0 ) * width;
          if ( linear )
             LinearSamples( strip, count, px, py, n );
          else
          {
             SplineCursor cursor;
             SplineSamples( strip, count, px, py, py2, n, cursor );
          }
       },
       width );
}

} // namespace qor
