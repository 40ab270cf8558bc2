#include "TransferCurve.h"

// No contraction into fused multiply-add: the AVX2 and AVX-512 versions of the kernels here must give the same bits
// as the baseline ones, and a product that is not exact in double would round differently inside a fused operation.
#pragma GCC optimize( "fp-contract=off" )

#include "GaussianKernel.h"

#include <algorithm>
#include <cstring>
#include <optional>
#include <vector>

#if defined( __x86_64__ )
#include <immintrin.h>
#endif

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

// The spline on one interval [x[k], x[k + 1]] (of positive width) as a cubic in t = v - x[k], in double:
// c0 + t (c1 + t (c2 + t c3)). At t = 0 it is y[k] exactly; the other end, x[k + 1], is given its ordinate by
// the evaluators themselves.
struct SplinePiece
{
   double x, c0, c1, c2, c3;
};

SplinePiece SplinePieceOf( const float* x, const float* y, const float* y2, int32_t k )
{
   const double xlo = x[k];
   const double h = double( x[k + 1] ) - xlo;
   const double ylo = y[k], yhi = y[k + 1], m0 = y2[k], m1 = y2[k + 1];
   return { xlo, ylo, ( yhi - ylo ) / h - h * ( 2 * m0 + m1 ) / 6, m0 / 2, ( m1 - m0 ) / ( 6 * h ) };
}

inline double PieceValue( const SplinePiece& p, float v )
{
   const double t = double( v ) - p.x;
   return p.c0 + t * ( p.c1 + t * ( p.c2 + t * p.c3 ) );
}

// The interval of v on a sound curve, the same for every evaluator: the number of inner abscissae x[1 .. n-2]
// that do not exceed v (all of them for NaN). A sample at an inner point lies in the interval that starts there.
inline int32_t CountedInterval( const float* x, int32_t n, float v )
{
   return int32_t( std::upper_bound( x + 1, x + n - 1, v ) - ( x + 1 ) ); // the first x[i] > v; none for NaN
}

// A sound spline (n >= 2, ascending) ready for evaluation at many samples: its abscissae, its pieces and its last
// point.
struct SplineTables
{
   std::vector<SplinePiece> pieces;
   float xLast = 0, yLast = 0;
   const float* x = nullptr;
   int32_t n = 0;

   SplineTables( const float* px, const float* py, const float* py2, int32_t pn ) : x( px ), n( pn )
   {
      for ( int32_t k = 0; k < n - 1; ++k )
         pieces.push_back( SplinePieceOf( px, py, py2, k ) );
      xLast = px[n - 1];
      yLast = py[n - 1];
   }

   // The value at one sample, before clamping.
   float Value( int32_t k, float v ) const { return v == xLast ? yLast : float( PieceValue( pieces[size_t( k )], v ) ); }
};

// The block kernels below are compiled for the baseline instruction set and for AVX2; without contraction
// (above) every version rounds each operation alike and gives the same bits.
#if defined( __GNUC__ ) && !defined( __clang__ ) && defined( __x86_64__ ) && !defined( __SANITIZE_ADDRESS__ )
#define QOR_CURVE_KERNEL __attribute__( ( noinline, target_clones( "arch=x86-64-v3", "default" ) ) )
#define QOR_CURVE_AVX512 1
#else
#define QOR_CURVE_KERNEL __attribute__( ( noinline ) )
#endif

// The interval of each of count samples on a short curve, without a branch per sample (CountedInterval).
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

#ifdef QOR_CURVE_AVX512
// Curves of at most this many points fit the AVX-512 kernel's tables: sixteen intervals, two registers each.
constexpr int32_t TabledPoints = 17;

// A sound curve of at most TabledPoints points at every sample of p (count a multiple of 16), clamped: sixteen
// samples at a time, their intervals counted, the coefficients of their pieces picked from the tables by
// permutation, the cubic in double in two halves. Each value is exactly SplineTables::Value's, clamped.
[[gnu::target( "arch=x86-64-v4" )]] void SplineBlocksAVX512( float* p, int64_t count, const SplineTables& t )
{
   alignas( 64 ) double table[5][16] = {};
   for ( size_t k = 0; k < t.pieces.size(); ++k )
   {
      table[0][k] = t.pieces[k].x;
      table[1][k] = t.pieces[k].c0;
      table[2][k] = t.pieces[k].c1;
      table[3][k] = t.pieces[k].c2;
      table[4][k] = t.pieces[k].c3;
   }
   __m512d lo[5], hi[5];
   for ( int32_t c = 0; c < 5; ++c )
   {
      lo[c] = _mm512_load_pd( table[c] );
      hi[c] = _mm512_load_pd( table[c] + 8 );
   }
   __m512 inner[TabledPoints];
   for ( int32_t i = 1; i < t.n - 1; ++i )
      inner[i] = _mm512_set1_ps( t.x[i] );
   const __m512 xLast = _mm512_set1_ps( t.xLast ), yLast = _mm512_set1_ps( t.yLast );
   const __m512 zero = _mm512_setzero_ps(), one = _mm512_set1_ps( 1.0f );
   const __m512i step = _mm512_set1_epi32( 1 );
   // The masked forms throughout, with every lane on: the plain ones start from an undefined register, which the
   // compiler warns about.
   const __mmask8 all = 0xff;
   auto half = [&]( __m256 v, __m256i k )
   {
      const __m512i index = _mm512_maskz_cvtepu32_epi64( all, k );
      auto pick = [&]( int32_t c ) { return _mm512_permutex2var_pd( lo[c], index, hi[c] ); };
      const __m512d d = _mm512_sub_pd( _mm512_maskz_cvtps_pd( all, v ), pick( 0 ) );
      __m512d r = _mm512_add_pd( _mm512_mul_pd( d, pick( 4 ) ), pick( 3 ) );
      r = _mm512_add_pd( _mm512_mul_pd( d, r ), pick( 2 ) );
      r = _mm512_add_pd( _mm512_mul_pd( d, r ), pick( 1 ) );
      return _mm512_maskz_cvtpd_ps( all, r );
   };
#pragma GCC unroll 2
   for ( int64_t j = 0; j + 16 <= count; j += 16 )
   {
      const __m512 v = _mm512_loadu_ps( p + j );
      __m512i k = _mm512_setzero_si512();
      for ( int32_t i = 1; i < t.n - 1; ++i )
         k = _mm512_mask_add_epi32( k, _mm512_cmp_ps_mask( inner[i], v, _CMP_NGT_UQ ), k, step );
      __m512 r = _mm512_insertf32x8( _mm512_castps256_ps512( half( _mm512_maskz_extractf32x8_ps( all, v, 0 ),
                                                                   _mm512_maskz_extracti64x4_epi64( all, k, 0 ) ) ),
                                     half( _mm512_maskz_extractf32x8_ps( all, v, 1 ), _mm512_maskz_extracti64x4_epi64( all, k, 1 ) ), 1 );
      r = _mm512_mask_blend_ps( _mm512_cmp_ps_mask( v, xLast, _CMP_EQ_OQ ), r, yLast );
      r = _mm512_maskz_mov_ps( _mm512_cmp_ps_mask( r, zero, _CMP_GE_OQ ), r ); // NaN fails the test too
      r = _mm512_maskz_min_ps( __mmask16( 0xffff ), r, one );                  // r < 1 ? r : 1
      _mm512_storeu_ps( p + j, r );
   }
}

bool HasAVX512()
{
   static const bool yes = []
   {
      __builtin_cpu_init();
      return bool( __builtin_cpu_supports( "x86-64-v4" ) );
   }();
   return yes;
}
#endif

// SplineTables::Value for each of count samples, in place, interval low[j] for sample j.
QOR_CURVE_KERNEL void SplineValues( float* __restrict s, const int32_t* __restrict low, int64_t count,
                                    const SplineTables& t )
{
   for ( int64_t j = 0; j < count; ++j )
      s[j] = t.Value( low[j], s[j] );
}

// The spline of a sound curve at every sample of p, clamped: each value exactly SplineTables::Value's. NaN samples
// give NaN, then 0.
void SplineSamples( float* p, int64_t count, const SplineTables& t )
{
#ifdef QOR_CURVE_AVX512
   if ( t.n <= TabledPoints && HasAVX512() )
   {
      const int64_t whole = count & ~int64_t( 15 );
      SplineBlocksAVX512( p, whole, t );
      p += whole;
      count -= whole;
   }
#endif
   constexpr int64_t Block = 256;
   int32_t low[Block];
   for ( int64_t start = 0; start < count; start += Block )
   {
      float* s = p + start;
      const int64_t m = std::min( Block, count - start );
      if ( t.n <= CountedIntervalPoints )
         FindIntervals( s, low, m, t.x, t.n );
      else
         for ( int64_t j = 0; j < m; ++j )
            low[j] = CountedInterval( t.x, t.n, s[j] );
      SplineValues( s, low, m, t );
      ClampSamples( s, m );
   }
}

// The linear rule at every sample of p, clamped: a NaN sample lies below no abscissa and gets the last ordinate.
// Standing in for the spline of an unsound curve, the rule gives NaN samples 0, as a spline does.
void LinearSamples( float* p, int64_t count, const float* x, const float* y, int32_t n, bool splineStandIn )
{
   for ( int64_t i = 0; i < count; ++i )
      p[i] = splineStandIn && std::isnan( p[i] ) ? 0.0f : float( InterpolateLinear( x, y, n, p[i] ) );
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
   // A kept interval may end at v: the interval that starts there is the one every evaluator uses.
   int32_t k = cursor.Low();
   if ( v == x[cursor.High()] )
   {
      if ( cursor.High() == n - 1 )
         return y[n - 1];
      k = cursor.High();
   }
   return PieceValue( SplinePieceOf( x, y, y2, k ), v );
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
   const bool standIn = !linear && ( n < 2 || !HasAscendingAbscissae( px, n ) );
   if ( standIn )
      linear = true;
   std::vector<float> y2;
   if ( !linear )
   {
      y2.resize( size_t( n ) );
      ComputeSplineSecondDerivatives( px, py, n, y2.data() );
   }
   std::optional<SplineTables> tables;
   if ( !linear )
      tables.emplace( px, py, y2.data(), n );

   const int64_t width = image.Width();
   image.BeginTask( "Transfer function", image.NumberOfPixels() );
   image.ParallelRows(
       image.Height(),
       [&]( int64_t y0, int64_t y1 )
       {
          float* strip = image.ScanLine( channel, int32_t( y0 ) );
          const int64_t count = ( y1 - y0 ) * width;
          if ( linear )
             LinearSamples( strip, count, px, py, n, standIn );
          else
             SplineSamples( strip, count, *tables );
       },
       width );
}

} // namespace qor
