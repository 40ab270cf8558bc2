// Image::Resample: every channel to a new size through one of the four interpolations.
//
// The kernels are separable, so each output row is computed in two passes: every source row it needs is first
// interpolated along x at the output columns (the "horizontal rows", kept in a small ring per strip of output rows,
// since neighbouring output rows share most of them), then the output row is the weighted sum of those rows. The
// column taps are computed once per call and the row taps once per output row. Products and sums run in the same
// order as in the kernels of Interpolation.h, so every sample equals the kernel's value at its source position.

#include "Image.h"
#include "Interpolation.h"
#include "Parallel.h"

#if defined( __SSE2__ )
#include <emmintrin.h>
#endif

#include <algorithm>
#include <cstdio>
#include <type_traits>
#include <vector>

namespace qor
{

namespace
{

// Source taps of one axis for every output position: `taps` consecutive samples from `first` (clamped into the
// plane where they fall outside it), with their weights. Positions run upward, so the positions whose taps all lie
// inside the plane form one range [interiorBegin, interiorEnd).
template <typename W> struct AxisTaps
{
   int32_t taps = 0;
   std::vector<int32_t> first;
   std::vector<W> weights; // taps per position
   int64_t interiorBegin = 0, interiorEnd = 0;
};

// Taps of the 4 x 4 and 2 x 2 kernels along an axis of `size` samples for `count` positions i * scale.
template <typename W, typename WeightFunction>
AxisTaps<W> MakeTaps( int32_t count, float scale, int32_t size, int32_t taps, int32_t offset, WeightFunction weigh )
{
   AxisTaps<W> t;
   t.taps = taps;
   t.first.resize( size_t( count ) );
   t.weights.resize( size_t( count ) * size_t( taps ) );
   t.interiorBegin = count;
   t.interiorEnd = 0;
   for ( int32_t i = 0; i < count; ++i )
   {
      float x = float( i ) * scale;
      int32_t ix;
      float dx;
      SplitPosition( x, size, ix, dx );
      t.first[size_t( i )] = ix + offset;
      weigh( dx, &t.weights[size_t( i ) * size_t( taps )] );
      if ( ix + offset >= 0 && ix + offset + taps <= size )
      {
         t.interiorBegin = std::min<int64_t>( t.interiorBegin, i );
         t.interiorEnd = i + 1;
      }
   }
   if ( t.interiorEnd <= t.interiorBegin )
      t.interiorBegin = t.interiorEnd = 0;
   return t;
}

// Horizontal pass of the 4-tap and 2-tap kernels: out[i] = sum of weight x sample over the taps of column i.
template <typename R, typename W, int Taps>
void HorizontalRow( const float* src, int32_t width, const AxisTaps<W>& t, R* out )
{
   const int64_t count = int64_t( t.first.size() );
   const int32_t* first = t.first.data();
   const W* w = t.weights.data();
   auto clamped = [&]( int64_t i ) {
      const W* wi = w + i * Taps;
      R v = wi[0] * src[ClampIndex( int64_t( first[i] ), width )];
      for ( int k = 1; k < Taps; ++k )
         v += wi[k] * src[ClampIndex( int64_t( first[i] ) + k, width )];
      out[i] = v;
   };
   for ( int64_t i = 0; i < t.interiorBegin; ++i )
      clamped( i );
   int64_t i = t.interiorBegin;
#if defined( __SSE2__ )
   // Four columns at a time: the same products, summed in the same order after a transposition.
   if constexpr ( std::is_same_v<R, float> && Taps == 4 )
      for ( ; i + 4 <= t.interiorEnd; i += 4 )
      {
         __m128 p0 = _mm_mul_ps( _mm_loadu_ps( src + first[i] ), _mm_loadu_ps( w + 4 * i ) );
         __m128 p1 = _mm_mul_ps( _mm_loadu_ps( src + first[i + 1] ), _mm_loadu_ps( w + 4 * i + 4 ) );
         __m128 p2 = _mm_mul_ps( _mm_loadu_ps( src + first[i + 2] ), _mm_loadu_ps( w + 4 * i + 8 ) );
         __m128 p3 = _mm_mul_ps( _mm_loadu_ps( src + first[i + 3] ), _mm_loadu_ps( w + 4 * i + 12 ) );
         _MM_TRANSPOSE4_PS( p0, p1, p2, p3 );
         _mm_storeu_ps( out + i, _mm_add_ps( _mm_add_ps( _mm_add_ps( p0, p1 ), p2 ), p3 ) );
      }
   if constexpr ( std::is_same_v<R, float> && Taps == 2 )
      for ( ; i + 4 <= t.interiorEnd; i += 4 )
      {
         auto pair = []( const float* p ) { return reinterpret_cast<const __m64*>( p ); };
         __m128 a = _mm_loadh_pi( _mm_loadl_pi( _mm_setzero_ps(), pair( src + first[i] ) ), pair( src + first[i + 1] ) );
         __m128 b =
            _mm_loadh_pi( _mm_loadl_pi( _mm_setzero_ps(), pair( src + first[i + 2] ) ), pair( src + first[i + 3] ) );
         a = _mm_mul_ps( a, _mm_loadu_ps( w + 2 * i ) );
         b = _mm_mul_ps( b, _mm_loadu_ps( w + 2 * i + 4 ) );
         _mm_storeu_ps( out + i, _mm_add_ps( _mm_shuffle_ps( a, b, _MM_SHUFFLE( 2, 0, 2, 0 ) ),
                                             _mm_shuffle_ps( a, b, _MM_SHUFFLE( 3, 1, 3, 1 ) ) ) );
      }
#endif
   for ( ; i < t.interiorEnd; ++i )
   {
      const float* s = src + first[i];
      const W* wi = w + i * Taps;
      R v = wi[0] * s[0];
      for ( int k = 1; k < Taps; ++k )
         v += wi[k] * s[k];
      out[i] = v;
   }
   for ( int64_t i = std::max( t.interiorEnd, t.interiorBegin ); i < count; ++i )
      clamped( i );
}

// Vertical pass: out[i] = clamp(sum over the taps of weight x horizontal row[i]), the taps in row order.
template <typename R, typename W, int Taps>
void VerticalRow( const R* const* rows, const W* w, int64_t count, float* out )
{
   if constexpr ( Taps == 4 )
   {
      const R *r0 = rows[0], *r1 = rows[1], *r2 = rows[2], *r3 = rows[3];
      const W w0 = w[0], w1 = w[1], w2 = w[2], w3 = w[3];
      for ( int64_t i = 0; i < count; ++i )
         out[i] = ClampToUnit( float( w0 * r0[i] + w1 * r1[i] + w2 * r2[i] + w3 * r3[i] ) );
   }
   else
   {
      const R *r0 = rows[0], *r1 = rows[1];
      const W w0 = w[0], w1 = w[1];
      for ( int64_t i = 0; i < count; ++i )
         out[i] = ClampToUnit( float( w0 * r0[i] + w1 * r1[i] ) );
   }
}

// The horizontal rows of one strip: a ring of `size` rows of `width` values. Source rows needed by one output row
// lie within `size` consecutive rows, so they never evict one another.
template <typename R> class RowRing
{
public:
   RowRing( int32_t size, int64_t width )
      : size( size ), width( width ), data( size_t( size ) * size_t( width ) ), rowOf( size_t( size ), -1 )
   {
   }

   template <typename Fill> const R* Get( int32_t row, Fill fill )
   {
      size_t slot = size_t( row % size );
      R* p = data.data() + slot * size_t( width );
      if ( rowOf[slot] != row )
      {
         fill( row, p );
         rowOf[slot] = row;
      }
      return p;
   }

private:
   int32_t size;
   int64_t width;
   std::vector<R> data;
   std::vector<int32_t> rowOf;
};

struct Geometry
{
   int32_t w, h, W, H;
   float sx, sy;
};

// Bilinear, bicubic and B-spline: R is the type of the horizontal rows and of the weights.
template <typename R, int Taps, typename WeightFunction>
void ResampleSeparable( const Image& image, const Geometry& g, int32_t offset, WeightFunction weigh,
                        const std::vector<const float*>& sources, std::vector<Image::Plane>& targets )
{
   AxisTaps<R> cx = MakeTaps<R>( g.W, g.sx, g.w, Taps, offset, weigh );
   AxisTaps<R> cy = MakeTaps<R>( g.H, g.sy, g.h, Taps, offset, weigh );
   for ( size_t c = 0; c < sources.size(); ++c )
   {
      const float* src = sources[c];
      float* dst = targets[c].get();
      image.ParallelRows( g.H, [&]( int64_t j0, int64_t j1 ) {
         RowRing<R> ring( Taps, g.W );
         auto fill = [&]( int32_t row, R* out ) {
            HorizontalRow<R, R, Taps>( src + int64_t( row ) * g.w, g.w, cx, out );
         };
         for ( int64_t j = j0; j < j1; ++j )
         {
            const R* rows[Taps];
            for ( int k = 0; k < Taps; ++k )
               rows[k] = ring.Get( ClampIndex( int64_t( cy.first[size_t( j )] ) + k, g.h ), fill );
            VerticalRow<R, R, Taps>( rows, cy.weights.data() + j * Taps, g.W, dst + j * g.W );
         }
      } );
   }
}

// Bicubic spline: row splines through whole rows (float), then a natural spline across a block of rows, as a
// weighted sum in double.
void ResampleSpline( const Image& image, const Geometry& g, int32_t blockSize,
                     const std::vector<const float*>& sources, std::vector<Image::Plane>& targets )
{
   std::vector<SplineRowTaps> cx;
   cx.reserve( size_t( g.W ) );
   for ( int32_t i = 0; i < g.W; ++i )
      cx.emplace_back( float( i ) * g.sx, g.w );

   SplineColumn column( blockSize, g.h );
   const int32_t n = column.Size();
   std::vector<int32_t> firstRow( size_t( g.H ) );
   std::vector<double> wy( size_t( g.H ) * size_t( n ) );
   for ( int32_t j = 0; j < g.H; ++j )
      firstRow[size_t( j )] = column.Weights( float( j ) * g.sy, &wy[size_t( j ) * size_t( n )] );

   Image::Plane table = Image::NewPlane( int64_t( g.w ) * g.h );
   for ( size_t c = 0; c < sources.size(); ++c )
   {
      const float* src = sources[c];
      float* dst = targets[c].get();
      float* z2 = table.get();
      ParallelFor( g.h, [&]( int64_t r0, int64_t r1 ) {
         ComputeRowSplineDerivatives( src + r0 * g.w, g.w, int32_t( r1 - r0 ), z2 + r0 * g.w );
      } );
      image.ParallelRows( g.H, [&]( int64_t j0, int64_t j1 ) {
         RowRing<float> ring( n, g.W );
         std::vector<double> sum( size_t( g.W ) );
         auto fill = [&]( int32_t row, float* out ) {
            const float* z = src + int64_t( row ) * g.w;
            const float* zz = z2 + int64_t( row ) * g.w;
            for ( int32_t i = 0; i < g.W; ++i )
               out[i] = cx[size_t( i )]( z, zz );
         };
         for ( int64_t j = j0; j < j1; ++j )
         {
            const double* w = &wy[size_t( j ) * size_t( n )];
            for ( int32_t m = 0; m < n; ++m )
            {
               const float* r = ring.Get( firstRow[size_t( j )] + m, fill );
               const double wm = w[m];
               if ( m == 0 )
                  for ( int32_t i = 0; i < g.W; ++i )
                     sum[size_t( i )] = wm * r[i];
               else
                  for ( int32_t i = 0; i < g.W; ++i )
                     sum[size_t( i )] += wm * r[i];
            }
            float* out = dst + j * g.W;
            for ( int32_t i = 0; i < g.W; ++i )
               out[i] = ClampToUnit( float( sum[size_t( i )] ) );
         }
      } );
   }
}

} // namespace

void Image::Resample( int32_t newWidth, int32_t newHeight, int32_t interpolation, int32_t blockSize )
{
   if ( IsEmpty() )
      throw GenericException( "Cannot resample an empty image" );
   if ( newWidth < 1 || newHeight < 1 )
      throw GenericException( "Invalid size for resampling: " + std::to_string( newWidth ) + "x" +
                              std::to_string( newHeight ) );
   if ( !Interpolation::IsValid( interpolation ) )
      throw GenericException( "Invalid interpolation code: " + std::to_string( interpolation ) );
   if ( interpolation == Interpolation::BicubicSpline && blockSize < 1 )
      throw GenericException( "Invalid interpolation block size: " + std::to_string( blockSize ) );

   Geometry g;
   g.w = width;
   g.h = height;
   g.W = newWidth;
   g.H = newHeight;
   g.sx = float( double( width ) / newWidth );
   g.sy = float( double( height ) / newHeight );

   char size[64];
   std::snprintf( size, sizeof( size ), "Resampling to %dx%d, ", int( newWidth ), int( newHeight ) );
   BeginTask( size + DescribeInterpolation( interpolation, blockSize ), int64_t( NumberOfChannels() ) * newHeight );
   ThrowIfAborted();

   // The new planes are built aside: an abort or an exhausted memory leaves the image as it was.
   std::vector<const float*> sources;
   std::vector<Plane> targets;
   for ( int32_t c = 0; c < NumberOfChannels(); ++c )
   {
      sources.push_back( PixelData( c ) );
      targets.push_back( NewPlane( int64_t( newWidth ) * newHeight ) );
   }

   switch ( interpolation )
   {
   case Interpolation::BicubicSpline:
      ResampleSpline( *this, g, blockSize, sources, targets );
      break;
   case Interpolation::Bicubic:
      ResampleSeparable<float, 4>( *this, g, -1, BicubicWeights, sources, targets );
      break;
   case Interpolation::Bilinear:
      ResampleSeparable<float, 2>( *this, g, 0, BilinearWeights, sources, targets );
      break;
   case Interpolation::BicubicBSpline:
      ResampleSeparable<double, 4>( *this, g, -1, BSplineWeights, sources, targets );
      break;
   }

   SwapIn( std::move( targets ), newWidth, newHeight, nominal, alpha, colorSpace );
}

} // namespace qor
