// Geometry of qor::Image that needs no interpolation: canvas, integer resampling, right-angle turns, mirrors,
// fill, invert, and the monitored entry of the median filter.
//
// Every loop runs over rows through Image::ParallelRows, which advances the monitor on the calling thread and
// throws AbortProcessEvent when the user aborts. Operations that change the size or shape of the image write into
// new planes and swap them in only when every channel is done, so that an abort or an exhausted memory leaves the
// image exactly as it was; the others work in place and leave what is done.

#include "Image.h"

#include "MedianKernel.h"
#include "Parallel.h"

#include <algorithm>
#include <climits>
#include <cstdio>
#include <cstring>

namespace qor
{

namespace
{

// Counts n items on the monitor of a monitored image.
void Count( const Image& image, int64_t n )
{
   if ( image.IsMonitored() )
      image.Status().Advance( n );
}

std::string Format( const char* format, int32_t a, int32_t b, int32_t c, int32_t d = 0 )
{
   char buffer[160];
   std::snprintf( buffer, sizeof( buffer ), format, a, b, c, d );
   return buffer;
}

// Sets rows [0, rows) of `width` samples to v, on the worker threads (not monitored).
void FillRows( float* p, int64_t rows, int32_t width, float v )
{
   ParallelFor( rows, [=]( int64_t a, int64_t b ) { std::fill( p + a * width, p + b * width, v ); } );
}

// Builds a result of W x H aside: make(k, source plane, new plane) writes channel k (counting and testing the
// abort through the image's monitor); the new planes replace the old ones only when every channel is done.
template <class Make> void BuildAside( Image& image, int32_t W, int32_t H, const Make& make )
{
   std::vector<Image::Plane> fresh;
   fresh.reserve( size_t( image.NumberOfChannels() ) );
   for ( int32_t k = 0; k < image.NumberOfChannels(); ++k )
   {
      fresh.push_back( Image::NewPlane( int64_t( W ) * H ) );
      make( k, image.PixelData( k ), fresh.back().get() );
   }
   image.SwapIn( std::move( fresh ), W, H, image.NumberOfNominalChannels(), image.NumberOfAlphaChannels(),
                 image.GetColorSpace() );
}

// Writes the right-angle turn of a w x h plane into a h x w plane, for source rows [a, b). The samples go through
// blocks of 8 x 8: rows of a plane lie a power of two apart as often as not, and walking a column of them would
// evict itself from the cache.
void TurnRows( const float* src, float* dst, int64_t w, int64_t h, int64_t a, int64_t b, bool clockwise )
{
   // Destination of source sample (i, j).
   auto target = [=]( int64_t i, int64_t j ) { return clockwise ? i * h + ( h - 1 - j ) : ( w - 1 - i ) * h + j; };
   constexpr int64_t B = 8;
   int64_t j0 = a;
   for ( ; j0 + B <= b; j0 += B )
   {
      int64_t i0 = 0;
      for ( ; i0 + B <= w; i0 += B )
      {
         float block[B][B]; // block[c][r]: source row j0 + r, column i0 + c
         for ( int64_t r = 0; r < B; ++r )
            for ( int64_t c = 0; c < B; ++c )
               block[c][r] = src[( j0 + r ) * w + i0 + c];
         // Each source column becomes B neighbouring samples of one destination row.
         for ( int64_t c = 0; c < B; ++c )
         {
            float* out = dst + ( clockwise ? target( i0 + c, j0 + B - 1 ) : target( i0 + c, j0 ) );
            for ( int64_t r = 0; r < B; ++r )
               out[r] = block[c][clockwise ? B - 1 - r : r];
         }
      }
      for ( int64_t j = j0; j < j0 + B; ++j )
         for ( int64_t i = i0; i < w; ++i )
            dst[target( i, j )] = src[j * w + i];
   }
   for ( int64_t j = j0; j < b; ++j )
      for ( int64_t i = 0; i < w; ++i )
         dst[target( i, j )] = src[j * w + i];
}

// Runs unit(plane, u) for the units [0, units) of every channel in place (counted one per unit).
template <class Unit> void EveryChannelInPlace( Image& image, int64_t units, const Unit& unit )
{
   for ( int32_t k = 0; k < image.NumberOfChannels(); ++k )
   {
      float* p = image.PixelData( k );
      image.ParallelRows( units,
                          [&]( int64_t a, int64_t b )
                          {
                             for ( int64_t u = a; u < b; ++u )
                                unit( p, u );
                          } );
   }
}

// A quarter turn, written into new planes of the exchanged size.
void TurnQuarter( Image& image, const char* text, bool clockwise )
{
   if ( image.IsEmpty() )
      return;
   const int64_t w = image.Width(), h = image.Height();
   image.BeginTask( text, image.NumberOfChannels() * h );
   BuildAside( image, int32_t( h ), int32_t( w ),
               [&]( int32_t, const float* src, float* dst ) {
                  image.ParallelRows( h, [&]( int64_t a, int64_t b ) { TurnRows( src, dst, w, h, a, b, clockwise ); } );
               } );
}

} // namespace

void Image::ResizeCanvas( int32_t W, int32_t H, int32_t x, int32_t y, std::span<const float> fill )
{
   if ( W <= 0 || H <= 0 )
   {
      FreeData();
      return;
   }
   if ( IsEmpty() )
      return;
   if ( !fill.empty() && int64_t( fill.size() ) < nominal )
      throw GenericException( "ResizeCanvas: " + std::to_string( fill.size() ) + " fill values given for " +
                              std::to_string( nominal ) + " nominal channels" );

   const int64_t w = width, h = height;
   auto fillValue = [&]( int32_t k ) { return k < nominal && !fill.empty() ? fill[size_t( k )] : 0.0f; };

   if ( w + x < 0 || h + y < 0 || x > W || y > H )
   {
      // The image lies wholly outside the canvas: a plain canvas of fill values, neither shown nor counted.
      BuildAside( *this, W, H, [&]( int32_t k, const float*, float* dst ) { FillRows( dst, H, W, fillValue( k ) ); } );
      return;
   }

   BeginTask( Format( "Resizing Canvas to %dx%d, anchor = %d,%d", W, H, x, y ), int64_t( NumberOfChannels() ) * H );

   // Source rows [r0, r1) land on canvas rows y + r; source columns [c0, c1) on canvas columns x + c.
   const int64_t r0 = std::max<int64_t>( 0, -int64_t( y ) ), r1 = std::min<int64_t>( h, int64_t( H ) - y );
   const int64_t c0 = std::max<int64_t>( 0, -int64_t( x ) ), c1 = std::min<int64_t>( w, int64_t( W ) - x );
   const int64_t left = std::clamp<int64_t>( x, 0, W );
   const int64_t right = std::clamp<int64_t>( int64_t( W ) - x - w, 0, W );

   BuildAside( *this, W, H,
               [&]( int32_t k, const float* src, float* dst )
               {
                  const float f = fillValue( k );
                  if ( y > 0 )
                  {
                     FillRows( dst, y, W, f );
                     Count( *this, y );
                     ThrowIfAborted();
                  }

                  ParallelRows( std::max<int64_t>( 0, r1 - r0 ),
                                [&]( int64_t a, int64_t b )
                                {
                                   for ( int64_t r = r0 + a; r < r0 + b; ++r )
                                   {
                                      float* row = dst + ( r + y ) * W;
                                      std::fill( row, row + left, f );
                                      if ( c1 > c0 )
                                         std::memcpy( row + x + c0, src + r * w + c0,
                                                      size_t( c1 - c0 ) * sizeof( float ) );
                                      std::fill( row + W - right, row + W, f );
                                   }
                                } );

                  if ( y + h < H )
                  {
                     int64_t rows = int64_t( H ) - y - h;
                     FillRows( dst + ( y + h ) * W, rows, W, f );
                     Count( *this, rows );
                     ThrowIfAborted();
                  }
               } );
}

void Image::Subsample( int32_t n )
{
   if ( n < 1 )
      throw GenericException( "Subsample: invalid factor " + std::to_string( n ) );
   if ( IsEmpty() )
      return;

   const int64_t w = width, h = height;
   const int32_t W = std::max( 1, width / n ), H = std::max( 1, height / n );
   BeginTask( Format( "Subsampling to 1:%d, %dx%d pixels", n, W, H ), int64_t( NumberOfChannels() ) * H );

   BuildAside( *this, W, H,
               [&]( int32_t, const float* src, float* dst )
               {
                  ParallelRows( H,
                                [&]( int64_t a, int64_t b )
                                {
                                   std::vector<float> sum( static_cast<size_t>( W ) );
                                   for ( int64_t j = a; j < b; ++j )
                                   {
                                      // Samples are added row by row, left to right within a row. A factor larger than
                                      // a side averages the samples there are, never more.
                                      const int64_t y0 = j * n, y1 = std::min( y0 + n, h );
                                      std::fill( sum.begin(), sum.end(), 0.0f );
                                      for ( int64_t r = y0; r < y1; ++r )
                                      {
                                         const float* row = src + r * w;
                                         for ( int64_t i = 0; i < W; ++i )
                                         {
                                            float s = sum[size_t( i )];
                                            for ( int64_t c = i * n; c < std::min( i * n + n, w ); ++c )
                                               s += row[c];
                                            sum[size_t( i )] = s;
                                         }
                                      }
                                      float* out = dst + j * W;
                                      for ( int64_t i = 0; i < W; ++i )
                                      {
                                         const int64_t count = ( y1 - y0 ) * ( std::min( i * n + n, w ) - i * n );
                                         out[i] = float( static_cast<long double>( sum[size_t( i )] ) /
                                                         static_cast<long double>( count ) );
                                      }
                                   }
                                } );
               } );
}

void Image::Oversample( int32_t n )
{
   if ( n < 1 )
      throw GenericException( "Oversample: invalid factor " + std::to_string( n ) );
   if ( IsEmpty() )
      return;
   if ( int64_t( width ) * n > INT32_MAX || int64_t( height ) * n > INT32_MAX )
      throw GenericException( "Oversample: the result would exceed the largest image size" );

   const int64_t w = width;
   const int32_t W = width * n, H = height * n;
   BeginTask( Format( "Oversampling to %d:1, %dx%d pixels", n, W, H ), int64_t( NumberOfChannels() ) * height );

   BuildAside( *this, W, H,
               [&]( int32_t, const float* src, float* dst )
               {
                  ParallelRows( height,
                                [&]( int64_t a, int64_t b )
                                {
                                   for ( int64_t j = a; j < b; ++j )
                                   {
                                      const float* row = src + j * w;
                                      float* first = dst + j * n * W;
                                      for ( int64_t i = 0; i < w; ++i )
                                         std::fill( first + i * n, first + i * n + n, row[i] );
                                      for ( int64_t t = 1; t < n; ++t )
                                         std::memcpy( first + t * W, first, size_t( W ) * sizeof( float ) );
                                   }
                                } );
               } );
}

void Image::Rotate180()
{
   if ( IsEmpty() )
      return;
   const int64_t w = width, h = height;
   const int64_t pairs = ( h + 1 ) / 2;
   BeginTask( "Rotate 180 degrees", NumberOfChannels() * pairs );
   EveryChannelInPlace( *this, pairs,
                        [=]( float* p, int64_t t )
                        {
                           float* top = p + t * w;
                           float* bottom = p + ( h - 1 - t ) * w;
                           if ( top == bottom )
                              std::reverse( top, top + w );
                           else
                              for ( int64_t i = 0; i < w; ++i )
                                 std::swap( top[i], bottom[w - 1 - i] );
                        } );
}

void Image::Rotate90CW()
{
   TurnQuarter( *this, "Rotate 90 degrees, clockwise", true );
}

void Image::Rotate90CCW()
{
   TurnQuarter( *this, "Rotate 90 degrees, counter-clockwise", false );
}

void Image::MirrorHorizontal()
{
   if ( IsEmpty() )
      return;
   const int64_t w = width;
   BeginTask( "Horizontal mirror", int64_t( NumberOfChannels() ) * height );
   EveryChannelInPlace( *this, height, [=]( float* p, int64_t j ) { std::reverse( p + j * w, p + ( j + 1 ) * w ); } );
}

void Image::MirrorVertical()
{
   if ( IsEmpty() )
      return;
   const int64_t w = width, h = height;
   BeginTask( "Vertical mirror", NumberOfChannels() * ( h / 2 ) );
   EveryChannelInPlace( *this, h / 2,
                        [=]( float* p, int64_t t )
                        { std::swap_ranges( p + t * w, p + ( t + 1 ) * w, p + ( h - 1 - t ) * w ); } );
}

void Image::Fill( int32_t c, float value )
{
   if ( IsEmpty() )
      return;
   if ( c < 0 || c >= NumberOfChannels() )
      throw GenericException( "Fill: channel " + std::to_string( c ) + " does not exist" );
   BeginTask( "Filling", NumberOfPixels() );
   float* p = PixelData( c );
   ParallelRows(
       height, [&]( int64_t a, int64_t b ) { std::fill( p + a * width, p + b * width, value ); }, width );
}

void Image::Invert( uint32_t mask )
{
   if ( IsEmpty() )
      return;
   BeginTask( "Inverting", NumberOfChannels() * NumberOfPixels() );
   for ( int32_t k = 0; k < NumberOfChannels(); ++k )
   {
      ThrowIfAborted();
      if ( ( mask >> ( k % 32 ) ) & 1u )
      {
         float* p = PixelData( k );
         // 1 - x rounded once to float: the same as computing it wider and storing the float.
         ParallelRows(
             height,
             [&]( int64_t a, int64_t b )
             {
                for ( float* q = p + a * width; q < p + b * width; ++q )
                   *q = 1.0f - *q;
             },
             width );
      }
      else
         Count( *this, NumberOfPixels() );
   }
   ThrowIfAborted();
}

void ApplyMedianFilter( Image& image, int32_t size, float amount, bool hybrid, bool circular )
{
   image.BeginTask( hybrid ? "Two-way Hybrid Median Filter" : "Median Filter",
                    int64_t( image.NumberOfNominalChannels() ) * image.Height() );
   ApplyMedianKernel( image, size, amount, hybrid, circular );
}

} // namespace qor
