#ifndef QOR_INTERPOLATION_H
#define QOR_INTERPOLATION_H

// Values of an image plane between its samples.
//
// Four interpolations, chosen by a small code that the geometric operations and processes share:
//   0 bicubic spline      natural cubic splines along each whole row, then across `blockSize` rows
//   1 bicubic             cubic Lagrange interpolation through 4 x 4 samples
//   2 bilinear            2 x 2 samples
//   3 bicubic b-spline    cubic B-spline approximation over 4 x 4 samples (smooths, even at sample positions)
//
// Coordinates are in sample units, the sample of column i and row j standing exactly at (i, j). Every kernel
// takes its base sample at the truncated position (clamped into the plane) and replaces every neighbour outside the
// plane by the nearest one inside it (edge samples repeat), so no kernel ever reads outside the plane, whatever
// the position (one outside the plane, or NaN, gives a meaningless value but a safe one). No fill value enters a
// kernel: filling outside the source is the caller's business.
//
// Every kernel is written as weights along x, weights along y and a fixed order of products and sums: rows first,
// then the column. The scalar functions, Image::Resample and Image::Rotate use the same weights and the same order,
// so an operation's sample is bit for bit the kernel's value at its source position. Samples, the weights of the
// bilinear and bicubic kernels and their sums are floats; the B-spline weights and sums and the vertical step of
// the bicubic spline run in double.
//
// Nothing here keeps state between calls: the samplers below carry their own work storage, so each thread uses its
// own sampler and any number of them run at once.

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#if defined( __SSE2__ )
#include <emmintrin.h>
#endif

namespace qor
{

// Interpolation codes.
struct Interpolation
{
   enum value_type : int32_t
   {
      BicubicSpline = 0,
      Bicubic = 1,
      Bilinear = 2,
      BicubicBSpline = 3,
      NumberOfInterpolations
   };

   static constexpr int32_t DefaultBlockSize = 5;

   static bool IsValid( int32_t code ) { return code >= BicubicSpline && code < NumberOfInterpolations; }
};

// "bicubic", "bilinear", "bicubic b-spline"; "bicubic spline" for 0 and for any unknown code.
std::string InterpolationName( int32_t code );

// "<name> interpolation", followed by ", block size = <n>" for the bicubic spline (code 0) only.
std::string DescribeInterpolation( int32_t code, int32_t blockSize );

// Kernels: the value of a plane of width x height samples at (x, y). Positions are meant to lie in
// [0, width) x [0, height); outside it the edge rule still keeps every read inside the plane.
float InterpolateBilinear( const float* plane, int32_t width, int32_t height, float x, float y );
float InterpolateBicubic( const float* plane, int32_t width, int32_t height, float x, float y );
float InterpolateBicubicBSpline( const float* plane, int32_t width, int32_t height, float x, float y );

// The bicubic spline needs the plane's row-spline table (width x height floats) filled by
// ComputeRowSplineDerivatives. A block taller than the plane is cut to the plane's height.
float InterpolateBicubicSpline( const float* plane, const float* table, int32_t width, int32_t height,
                                int32_t blockSize, float x, float y );

// Fills `table` with the second derivatives of the natural cubic spline through each row of the plane.
void ComputeRowSplineDerivatives( const float* plane, int32_t width, int32_t height, float* table );

// Second derivatives of the natural cubic spline through n values at unit spacing (all 0 for n <= 2).
void ComputeUnitSplineDerivatives( const float* values, int32_t n, float* secondDerivatives );

// Diagonal rational-function interpolation (Bulirsch-Stoer) through the n points (xa[i], ya[i]), i = 0 .. n-1,
// evaluated at x: y is the value and dy an estimate of its error. Returns false, with y as far as it got, when
// the rational function has a pole at x; also false (y = dy = 0) when n < 1.
bool InterpolateRational( const float* xa, const float* ya, int32_t n, float x, float& y, float& dy );

// ---------------------------------------------------------------------------------------------------------------
// Building blocks shared by the kernels and the image operations.

// [0, 1] clamp of an interpolated sample: anything that is not >= 0 (NaN included) becomes 0.
inline float ClampToUnit( float v )
{
   return v >= 0.0f ? ( v > 1.0f ? 1.0f : v ) : 0.0f;
}

// Base sample index trunc(x), clamped into [0, size - 1], and the fraction x - index. NaN gives index 0 and a NaN
// fraction.
inline void SplitPosition( float x, int32_t size, int32_t& index, float& fraction )
{
   // Written without branches, so that loops over positions vectorise.
   const float last = float( size - 1 );
   float c = x > 0.0f ? x : 0.0f;
   c = c < last ? c : last;
   int32_t k = int32_t( c );
   k = k < size - 1 ? k : size - 1; // float(size - 1) may round up above 2^24
   index = k;
   fraction = x - float( k );
}

inline int32_t ClampIndex( int64_t i, int32_t size )
{
   return i < 0 ? 0 : ( i >= size ? size - 1 : int32_t( i ) );
}

// The 4 x 4 samples of rows row-1 .. row+2 and columns column-1 .. column+2, indices clamped into the plane.
inline void GatherNeighbourhood( const float* plane, int32_t width, int32_t height, int32_t row, int32_t column,
                                 float neighbourhood[4][4] )
{
   if ( row >= 1 && row + 2 < height && column >= 1 && column + 2 < width )
   {
      const float* s = plane + ( int64_t( row ) - 1 ) * width + ( column - 1 );
      for ( int m = 0; m < 4; ++m, s += width )
         for ( int k = 0; k < 4; ++k )
            neighbourhood[m][k] = s[k];
      return;
   }
   int32_t columns[4];
   for ( int k = 0; k < 4; ++k )
      columns[k] = ClampIndex( int64_t( column ) + k - 1, width );
   for ( int m = 0; m < 4; ++m )
   {
      const float* s = plane + int64_t( ClampIndex( int64_t( row ) + m - 1, height ) ) * width;
      for ( int k = 0; k < 4; ++k )
         neighbourhood[m][k] = s[columns[k]];
   }
}

// Weights of the samples at offsets 0 and +1.
inline void BilinearWeights( float t, float w[2] )
{
   w[0] = 1.0f - t;
   w[1] = t;
}

// Cubic Lagrange weights of the samples at offsets -1, 0, +1, +2 (exactly 0, 1, 0, 0 at t = 0).
inline void BicubicWeights( float t, float w[4] )
{
   float tp1 = t + 1.0f, tm1 = t - 1.0f, tm2 = t - 2.0f;
   float a = t * tm1;   // t (t - 1)
   float b = tp1 * tm2; // (t + 1)(t - 2)
   w[0] = -a * tm2 * ( 1.0f / 6 );
   w[1] = b * tm1 * 0.5f;
   w[2] = -b * t * 0.5f;
   w[3] = a * tp1 * ( 1.0f / 6 );
}

// Cubic B-spline weights of the samples at offsets -1, 0, +1, +2 (1/6, 4/6, 1/6, 0 at t = 0).
inline void BSplineWeights( float t, double w[4] )
{
   auto cube = []( float u ) { return u > 0.0f ? u * u * u : 0.0f; };
   for ( int m = -1; m <= 2; ++m )
   {
      float r = float( m ) - t;
      w[m + 1] = ( double( cube( r + 2 ) ) - 4.0 * cube( r + 1 ) + 6.0 * cube( r ) - 4.0 * cube( r - 1 ) ) *
                 ( 1.0 / 6 );
   }
}

// Taps of the row spline at x: value = A z[index] + B z[index + 1] + CA z''[index] + CB z''[index + 1], where
// index + 1 is never past the last column (there the weights are 1, 0, 0, 0: the last node serves as both).
struct SplineRowTaps
{
   int32_t index;
   int32_t next;
   float a, b, ca, cb;

   SplineRowTaps( float x, int32_t width )
   {
      float f;
      SplitPosition( x, width, index, f );
      if ( index >= width - 1 )
      {
         next = index;
         a = 1.0f;
         b = ca = cb = 0.0f;
         return;
      }
      next = index + 1;
      float k = float( index );
      a = k + 1.0f - x;
      b = x - k;
      ca = ( a * a * a - a ) / 6.0f;
      cb = ( b * b * b - b ) / 6.0f;
   }

   float operator()( const float* z, const float* z2 ) const
   {
      return a * z[index] + b * z[next] + ca * z2[index] + cb * z2[next];
   }
};

// The vertical part of the bicubic spline: for a position y, the block of n rows that the natural spline runs
// through (n = blockSize, cut to the plane's height) and the weight of each row's value, so that the spline's
// value at y is the sum of weight x value over the block, in row order. Keeps work storage: one per thread.
class SplineColumn
{
public:
   SplineColumn( int32_t blockSize, int32_t height );

   int32_t Size() const { return n; }

   // First row of the block for y; fills weights[0 .. Size() - 1].
   int32_t Weights( float y, double* weights );

private:
   int32_t n;
   int32_t height;
   std::vector<double> pivot; // inverse pivots of the tridiagonal system of the spline's inner nodes
   std::vector<double> z;     // work: solution for one position
};

// Samplers: a kernel bound to one plane, cheap to call per sample. The spline sampler holds work storage.

// The plane of the sample kernels, and the base sample and fractions of a position.
class PlaneSampler
{
public:
   PlaneSampler( const float* plane, int32_t width, int32_t height ) : p( plane ), w( width ), h( height ) {}

protected:
   struct Base
   {
      int32_t ix, iy;
      float dx, dy;
   };

   Base Split( float x, float y ) const
   {
      Base b;
      SplitPosition( x, w, b.ix, b.dx );
      SplitPosition( y, h, b.iy, b.dy );
      return b;
   }

   const float* p;
   int32_t w, h;
};

class BilinearSampler : public PlaneSampler
{
public:
   using PlaneSampler::PlaneSampler;

   float operator()( float x, float y ) const
   {
      const Base b = Split( x, y );
      float wx[2], wy[2];
      BilinearWeights( b.dx, wx );
      BilinearWeights( b.dy, wy );
      const int32_t ix1 = b.ix + 1 < w ? b.ix + 1 : b.ix;
      const float* r0 = p + int64_t( b.iy ) * w;
      const float* r1 = b.iy + 1 < h ? r0 + w : r0;
      const float h0 = wx[0] * r0[b.ix] + wx[1] * r0[ix1];
      const float h1 = wx[0] * r1[b.ix] + wx[1] * r1[ix1];
      return wy[0] * h0 + wy[1] * h1;
   }
};

// The bicubic sum over 4 rows of 4 samples (each row from its own pointer), rows first: r_m = ((wx0 s_m0 + wx1 s_m1)
// + wx2 s_m2) + wx3 s_m3, then ((wy0 r0 + wy1 r1) + wy2 r2) + wy3 r3. The vector form computes the same products and
// sums in the same order.
inline float Convolve4x4( const float* s0, const float* s1, const float* s2, const float* s3, const float wx[4],
                          const float wy[4] )
{
#if defined( __SSE2__ )
   const __m128 w = _mm_loadu_ps( wx );
   __m128 p0 = _mm_mul_ps( _mm_loadu_ps( s0 ), w );
   __m128 p1 = _mm_mul_ps( _mm_loadu_ps( s1 ), w );
   __m128 p2 = _mm_mul_ps( _mm_loadu_ps( s2 ), w );
   __m128 p3 = _mm_mul_ps( _mm_loadu_ps( s3 ), w );
   _MM_TRANSPOSE4_PS( p0, p1, p2, p3 ); // p_k: the k-th product of each row
   const __m128 q = _mm_mul_ps( _mm_add_ps( _mm_add_ps( _mm_add_ps( p0, p1 ), p2 ), p3 ), _mm_loadu_ps( wy ) );
   __m128 v = _mm_add_ss( q, _mm_shuffle_ps( q, q, _MM_SHUFFLE( 1, 1, 1, 1 ) ) );
   v = _mm_add_ss( v, _mm_movehl_ps( q, q ) );
   v = _mm_add_ss( v, _mm_shuffle_ps( q, q, _MM_SHUFFLE( 3, 3, 3, 3 ) ) );
   return _mm_cvtss_f32( v );
#else
   const float* s[4] = { s0, s1, s2, s3 };
   float r[4];
   for ( int m = 0; m < 4; ++m )
      r[m] = wx[0] * s[m][0] + wx[1] * s[m][1] + wx[2] * s[m][2] + wx[3] * s[m][3];
   return wy[0] * r[0] + wy[1] * r[1] + wy[2] * r[2] + wy[3] * r[3];
#endif
}

class BicubicSampler : public PlaneSampler
{
public:
   using PlaneSampler::PlaneSampler;

   float operator()( float x, float y ) const
   {
      const Base b = Split( x, y );
      float wx[4], wy[4];
      BicubicWeights( b.dx, wx );
      BicubicWeights( b.dy, wy );
      return Sum( b.ix, b.iy, wx, wy );
   }

   // The sum around base sample (ix, iy) with the weights of its fractions.
   float Sum( int32_t ix, int32_t iy, const float wx[4], const float wy[4] ) const
   {
      if ( iy >= 1 && iy + 2 < h && ix >= 1 && ix + 2 < w )
      {
         const float* s = p + ( int64_t( iy ) - 1 ) * w + ( ix - 1 );
         return Convolve4x4( s, s + w, s + 2 * int64_t( w ), s + 3 * int64_t( w ), wx, wy );
      }
      float s[4][4];
      GatherNeighbourhood( p, w, h, iy, ix, s );
      return Convolve4x4( s[0], s[1], s[2], s[3], wx, wy );
   }
};

class BSplineSampler : public PlaneSampler
{
public:
   using PlaneSampler::PlaneSampler;

   float operator()( float x, float y ) const
   {
      const Base b = Split( x, y );
      double wx[4], wy[4], r[4];
      float s[4][4];
      BSplineWeights( b.dx, wx );
      BSplineWeights( b.dy, wy );
      GatherNeighbourhood( p, w, h, b.iy, b.ix, s );
      for ( int m = 0; m < 4; ++m )
         r[m] = wx[0] * s[m][0] + wx[1] * s[m][1] + wx[2] * s[m][2] + wx[3] * s[m][3];
      return float( wy[0] * r[0] + wy[1] * r[1] + wy[2] * r[2] + wy[3] * r[3] );
   }
};

class SplineSampler
{
public:
   SplineSampler( const float* plane, const float* table, int32_t width, int32_t height, int32_t blockSize )
      : p( plane ), t( table ), w( width ), column( blockSize, height ), weights( size_t( column.Size() ) )
   {
   }

   float operator()( float x, float y )
   {
      SplineRowTaps taps( x, w );
      int32_t y0 = column.Weights( y, weights.data() );
      double sum = 0;
      for ( int32_t m = 0; m < column.Size(); ++m )
      {
         int64_t offset = int64_t( y0 + m ) * w;
         double term = weights[size_t( m )] * taps( p + offset, t + offset );
         sum = m == 0 ? term : sum + term;
      }
      return float( sum );
   }

private:
   const float* p;
   const float* t;
   int32_t w;
   SplineColumn column;
   std::vector<double> weights;
};

} // namespace qor

#endif
