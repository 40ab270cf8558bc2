// Image::Rotate: every channel turned by an arbitrary angle onto the bounding box of the turned image.
//
// Each output sample is mapped back into the source by the inverse rotation; inside the half-open source rectangle
// [0, w) x [0, h) it takes the kernel's value there (Interpolation.h), outside it the channel's fill value. The
// source positions of a row are computed first (the same float arithmetic as a single position), then sampled.

#include "ImageRotate.h"

#include "Image.h"
#include "Interpolation.h"
#include "Math.h"
#include "Parallel.h"

#if defined( __SSE2__ )
#include <emmintrin.h>
#endif

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

namespace qor
{

namespace
{

struct RotationGeometry
{
   int32_t w, h, W, H;
   float cx, cy;     // centre
   float xmin, ymin; // top-left of the bounding box in the turned frame
   float c2, s2;     // cosine and sine of the angle (output to source)
};

// The bounding box of the four corner samples of a w x h image turned by `angle` about (centerX, centerY): its
// top-left corner in the turned frame and its size. False when the size does not fit a 32-bit side.
bool RotationBox( int32_t width, int32_t height, float centerX, float centerY, float angle, float& xmin, float& ymin,
                  int32_t& newWidth, int32_t& newHeight )
{
   float c1, s1;
   SinCos( -angle, s1, c1 );
   const float cornerX[4] = { 0.0f, float( width - 1 ), 0.0f, float( width - 1 ) };
   const float cornerY[4] = { 0.0f, 0.0f, float( height - 1 ), float( height - 1 ) };
   float xmax = 0, ymax = 0;
   xmin = ymin = 0;
   for ( int k = 0; k < 4; ++k )
   {
      const float dx = cornerX[k] - centerX, dy = cornerY[k] - centerY;
      const float x = ( c1 * dx + centerX ) - s1 * dy;
      const float y = ( s1 * dx + centerY ) + c1 * dy;
      xmin = k == 0 ? x : std::min( xmin, x );
      xmax = k == 0 ? x : std::max( xmax, x );
      ymin = k == 0 ? y : std::min( ymin, y );
      ymax = k == 0 ? y : std::max( ymax, y );
   }
   const float w = Round( float( xmax + 1.0f - xmin ) );
   const float h = Round( float( ymax + 1.0f - ymin ) );
   // A centre far away from the image makes the box meaningless (and its size too large to hold).
   if ( !( w >= 1.0f && w < float( INT32_MAX ) && h >= 1.0f && h < float( INT32_MAX ) ) )
      return false;
   newWidth = int32_t( w );
   newHeight = int32_t( h );
   return true;
}

// Source positions of output row j, columns [i0, i1).
void SourcePositions( const RotationGeometry& g, int64_t j, int32_t i0, int32_t i1, float* xs, float* ys )
{
   const float dy = ( float( j ) + g.ymin ) - g.cy;
   const float sdy = g.s2 * dy, cdy = g.c2 * dy;
   for ( int32_t i = i0; i < i1; ++i )
   {
      const float dx = ( float( i ) + g.xmin ) - g.cx;
      xs[i - i0] = ( g.c2 * dx + g.cx ) - sdy;
      ys[i - i0] = ( g.s2 * dx + g.cy ) + cdy;
   }
}

constexpr int32_t tileWidth = 64, tileHeight = 128;

// Output samples from their source positions, one at a time through a kernel's sampler.
template <typename Sampler> struct PointwiseRow
{
   Sampler sample;

   void operator()( const float* xs, const float* ys, int32_t n, float w, float h, float fill, float* out )
   {
      for ( int32_t i = 0; i < n; ++i )
      {
         const float x = xs[i], y = ys[i];
         // NaN positions fail the test and take the fill value too.
         out[i] = ( x >= 0.0f && x < w && y >= 0.0f && y < h ) ? ClampToUnit( sample( x, y ) ) : fill;
      }
   }
};

template <typename Sampler> std::unique_ptr<PointwiseRow<Sampler>> Pointwise( Sampler sampler )
{
   return std::make_unique<PointwiseRow<Sampler>>( PointwiseRow<Sampler>{ std::move( sampler ) } );
}

// The bicubic kernel, its base samples and weights computed for a whole tile row first (a loop that vectorises),
// then four samples at a time where all four lie inside the source away from its edges.
struct BicubicRow
{
   BicubicSampler sampler;
   const float* plane;
   int32_t width, height;
   int32_t ix[tileWidth], iy[tileWidth];
   int32_t whole[tileWidth];              // nonzero: inside the source, every tap inside the plane
   float wx[4][tileWidth], wy[4][tileWidth]; // weight of tap k of each sample

   BicubicRow( const float* plane, int32_t width, int32_t height )
      : sampler( plane, width, height ), plane( plane ), width( width ), height( height )
   {
   }

   void operator()( const float* xs, const float* ys, int32_t n, float w, float h, float fill, float* out )
   {
      for ( int32_t i = 0; i < n; ++i )
      {
         const float x = xs[i], y = ys[i];
         int32_t kx, ky;
         float fx, fy, ux[4], uy[4];
         SplitPosition( x, width, kx, fx );
         SplitPosition( y, height, ky, fy );
         BicubicWeights( fx, ux );
         BicubicWeights( fy, uy );
         ix[i] = kx;
         iy[i] = ky;
         whole[i] = ( x >= 0.0f ) & ( x < w ) & ( y >= 0.0f ) & ( y < h ) & ( kx >= 1 ) & ( kx + 2 < width ) &
                    ( ky >= 1 ) & ( ky + 2 < height );
         for ( int k = 0; k < 4; ++k )
         {
            wx[k][i] = ux[k];
            wy[k][i] = uy[k];
         }
      }
      int32_t i = 0;
#if defined( __SSE2__ )
      for ( ; i + 4 <= n; i += 4 )
         if ( whole[i] & whole[i + 1] & whole[i + 2] & whole[i + 3] )
            Four( i, out + i );
         else
            Each( xs, ys, i, i + 4, w, h, fill, out );
#endif
      Each( xs, ys, i, n, w, h, fill, out );
   }

   void Each( const float* xs, const float* ys, int32_t i0, int32_t i1, float w, float h, float fill, float* out ) const
   {
      for ( int32_t i = i0; i < i1; ++i )
      {
         const float x = xs[i], y = ys[i];
         const float ux[4] = { wx[0][i], wx[1][i], wx[2][i], wx[3][i] };
         const float uy[4] = { wy[0][i], wy[1][i], wy[2][i], wy[3][i] };
         out[i] = ( x >= 0.0f && x < w && y >= 0.0f && y < h ) ? ClampToUnit( sampler.Sum( ix[i], iy[i], ux, uy ) )
                                                               : fill;
      }
   }

#if defined( __SSE2__ )
   // Samples i .. i + 3 (all whole) as four lanes, with the products and sums of Convolve4x4 on each lane and
   // ClampToUnit's rule.
   void Four( int32_t i, float* out ) const
   {
      const float* s[4];
      for ( int k = 0; k < 4; ++k )
         s[k] = plane + ( int64_t( iy[i + k] ) - 1 ) * width + ( ix[i + k] - 1 );
      const __m128 u0 = _mm_loadu_ps( wx[0] + i ), u1 = _mm_loadu_ps( wx[1] + i ), u2 = _mm_loadu_ps( wx[2] + i ),
                   u3 = _mm_loadu_ps( wx[3] + i );
      __m128 sum = _mm_setzero_ps();
      for ( int m = 0; m < 4; ++m )
      {
         const int64_t row = int64_t( m ) * width;
         __m128 t0 = _mm_loadu_ps( s[0] + row ), t1 = _mm_loadu_ps( s[1] + row ), t2 = _mm_loadu_ps( s[2] + row ),
                t3 = _mm_loadu_ps( s[3] + row );
         _MM_TRANSPOSE4_PS( t0, t1, t2, t3 ); // t_k: tap k of row m of each sample
         const __m128 r = _mm_add_ps(
            _mm_add_ps( _mm_add_ps( _mm_mul_ps( t0, u0 ), _mm_mul_ps( t1, u1 ) ), _mm_mul_ps( t2, u2 ) ),
            _mm_mul_ps( t3, u3 ) );
         const __m128 q = _mm_mul_ps( r, _mm_loadu_ps( wy[m] + i ) );
         sum = m == 0 ? q : _mm_add_ps( sum, q );
      }
      const __m128 one = _mm_set1_ps( 1.0f );
      const __m128 above = _mm_cmpgt_ps( sum, one );
      const __m128 clamped = _mm_or_ps( _mm_and_ps( above, one ), _mm_andnot_ps( above, sum ) );
      _mm_storeu_ps( out, _mm_and_ps( _mm_cmpge_ps( sum, _mm_setzero_ps() ), clamped ) );
   }
#endif
};

// Rows [j0, j1) of one channel, with a row sampler made by makeRow() (one per strip: it holds work storage). The
// output is walked in tiles, so that the source samples a tile reads (along a slanted band) stay in the caches and
// their pages in the TLB.
template <typename MakeRow>
void RotateRows( const RotationGeometry& g, MakeRow makeRow, float fill, float* dst, int64_t j0, int64_t j1 )
{
   auto row = makeRow();
   float xs[tileWidth], ys[tileWidth];
   for ( int64_t jt = j0; jt < j1; jt += tileHeight )
      for ( int32_t i0 = 0; i0 < g.W; i0 += tileWidth )
      {
         const int32_t i1 = std::min( g.W, i0 + tileWidth );
         for ( int64_t j = jt; j < std::min( j1, jt + tileHeight ); ++j )
         {
            SourcePositions( g, j, i0, i1, xs, ys );
            ( *row )( xs, ys, i1 - i0, float( g.w ), float( g.h ), fill, dst + j * g.W + i0 );
         }
      }
}

} // namespace

bool RotatedSize( int32_t width, int32_t height, float centerX, float centerY, float angle, int32_t& newWidth,
                  int32_t& newHeight )
{
   float xmin, ymin;
   if ( width < 1 || height < 1 || !std::isfinite( angle ) || !std::isfinite( centerX ) || !std::isfinite( centerY ) )
      return false;
   return RotationBox( width, height, centerX, centerY, angle, xmin, ymin, newWidth, newHeight );
}

void Image::Rotate( float centerX, float centerY, float angle, std::span<const float> fill, int32_t interpolation,
                    int32_t blockSize )
{
   if ( IsEmpty() )
      throw GenericException( "Cannot rotate an empty image" );
   if ( !Interpolation::IsValid( interpolation ) )
      throw GenericException( "Invalid interpolation code: " + std::to_string( interpolation ) );
   if ( interpolation == Interpolation::BicubicSpline && blockSize < 1 )
      throw GenericException( "Invalid interpolation block size: " + std::to_string( blockSize ) );
   if ( !fill.empty() && fill.size() < size_t( nominal ) )
      throw GenericException( "Rotation needs one fill value per colour channel (" + std::to_string( nominal ) +
                              "), " + std::to_string( fill.size() ) + " given" );
   if ( !std::isfinite( angle ) || !std::isfinite( centerX ) || !std::isfinite( centerY ) )
      throw GenericException( "Invalid rotation: the angle and the centre must be finite numbers" );

   RotationGeometry g;
   g.w = width;
   g.h = height;
   g.cx = centerX;
   g.cy = centerY;

   // Bounding box of the four corner samples turned about the centre (the output frame).
   if ( !RotationBox( width, height, centerX, centerY, angle, g.xmin, g.ymin, g.W, g.H ) )
      throw GenericException( "Invalid rotation: the rotated image would be too large" );
   SinCos( angle, g.s2, g.c2 );

   char text[64];
   std::snprintf( text, sizeof( text ), "Rotate %+.4f deg, ", double( angle ) * double( 57.29578f ) );
   BeginTask( text + DescribeInterpolation( interpolation, blockSize ), int64_t( NumberOfChannels() ) * g.H );
   ThrowIfAborted();

   // The new planes are built aside: an abort or an exhausted memory leaves the image as it was.
   std::vector<Plane> targets;
   for ( int32_t c = 0; c < NumberOfChannels(); ++c )
      targets.push_back( NewPlane( int64_t( g.W ) * g.H ) );
   Plane table;
   if ( interpolation == Interpolation::BicubicSpline )
      table = NewPlane( NumberOfPixels() );

   for ( int32_t c = 0; c < NumberOfChannels(); ++c )
   {
      const float* src = PixelData( c );
      float* dst = targets[size_t( c )].get();
      const float fillValue = ( !fill.empty() && c < nominal ) ? fill[size_t( c )] : 0.0f;
      const int32_t w = width, h = height;

      // The channel's rows, with one row sampler per strip.
      auto run = [&]( auto makeRow ) {
         ParallelRows( g.H, [&]( int64_t j0, int64_t j1 ) { RotateRows( g, makeRow, fillValue, dst, j0, j1 ); } );
      };
      switch ( interpolation )
      {
      case Interpolation::BicubicSpline:
      {
         float* z2 = table.get();
         ParallelFor( h, [&]( int64_t r0, int64_t r1 ) {
            ComputeRowSplineDerivatives( src + r0 * w, w, int32_t( r1 - r0 ), z2 + r0 * w );
         } );
         run( [&] { return Pointwise( SplineSampler( src, z2, w, h, blockSize ) ); } );
         break;
      }
      case Interpolation::Bicubic:
         run( [&] { return std::make_unique<BicubicRow>( src, w, h ); } );
         break;
      case Interpolation::Bilinear:
         run( [&] { return Pointwise( BilinearSampler( src, w, h ) ); } );
         break;
      case Interpolation::BicubicBSpline:
         run( [&] { return Pointwise( BSplineSampler( src, w, h ) ); } );
         break;
      }
   }

   SwapIn( std::move( targets ), g.W, g.H, nominal, alpha, colorSpace );
}

} // namespace qor
