#include "ATrousWavelets.h"

#include "Parallel.h"

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <cstring>
#include <limits>
#include <string>
#include <type_traits>

#if defined( __SSE2__ )
#include <immintrin.h>
#endif

namespace qor
{

namespace
{

// Row read for row r of a plane of h rows: rows above mirror the top rows with the edge row repeated (period
// 2h), rows below repeat the last row.
inline int64_t MapRow( int64_t r, int64_t h )
{
   if ( r >= 0 )
      return r < h ? r : h - 1;
   int64_t m = ( -r - 1 ) % ( 2 * h );
   return m < h ? m : 2 * h - 1 - m;
}

// Column read for column x of a row of w samples: reflection about the edge samples, which are not repeated
// (period 2 (w - 1)); a row of one sample repeats it.
inline int64_t ReflectColumn( int64_t x, int64_t w )
{
   if ( x >= 0 && x < w )
      return x;
   if ( w == 1 )
      return 0;
   int64_t p = 2 * ( w - 1 );
   int64_t m = x % p;
   if ( m < 0 )
      m += p;
   return m < w ? m : p - m;
}

// Output columns [x0, x1) of a row of w samples whose taps, reaching from minOffset to maxOffset, all fall inside it.
inline void InteriorSpan( int64_t w, int64_t minOffset, int64_t maxOffset, int64_t& x0, int64_t& x1 )
{
   x0 = std::clamp<int64_t>( -minOffset, 0, w );
   x1 = std::clamp<int64_t>( w - maxOffset, x0, w );
}

void CheckKernel( const ConvolutionKernel& kernel )
{
   if ( !kernel.IsValid() )
      throw GenericException( "Invalid convolution kernel: its size must be odd and positive, with size x size "
                              "coefficients." );
}

// The row kernels are compiled twice on x86-64, for the baseline and for AVX2, and the processor picks one at run
// time. AVX2 without FMA performs the same roundings as the baseline, so both give the same bits.
#if defined( __x86_64__ ) && defined( __GNUC__ ) && !defined( __clang__ )
#define QOR_ROW_KERNEL __attribute__( ( target_clones( "avx2", "default" ) ) )
#else
#define QOR_ROW_KERNEL
#endif
#define QOR_ALWAYS_INLINE inline __attribute__( ( always_inline ) )
#define QOR_ALWAYS_INLINE_LAMBDA __attribute__( ( always_inline ) )

// Calls f with std::integral_constant<int, n> for the tap counts that have unrolled forms (1 to 7); false for others.
template <typename F> QOR_ALWAYS_INLINE bool WithTapCount( size_t n, F&& f )
{
   switch ( n )
   {
   case 1:
      return f( std::integral_constant<int, 1>() ), true;
   case 2:
      return f( std::integral_constant<int, 2>() ), true;
   case 3:
      return f( std::integral_constant<int, 3>() ), true;
   case 4:
      return f( std::integral_constant<int, 4>() ), true;
   case 5:
      return f( std::integral_constant<int, 5>() ), true;
   case 6:
      return f( std::integral_constant<int, 6>() ), true;
   case 7:
      return f( std::integral_constant<int, 7>() ), true;
   default:
      return false;
   }
}

// out[x] = sum of c[i] * rows[i][x], in tap order.
template <int N>
QOR_ALWAYS_INLINE void VerticalSumN( double* __restrict out, const float* const* rows, const double* c, int64_t w )
{
   const float* r[N];
   double k[N];
   for ( int i = 0; i < N; ++i )
   {
      r[i] = rows[i];
      k[i] = c[i];
   }
   for ( int64_t x = 0; x < w; ++x )
   {
      double s = k[0] * double( r[0][x] );
      for ( int i = 1; i < N; ++i )
         s += k[i] * double( r[i][x] );
      out[x] = s;
   }
}

QOR_ALWAYS_INLINE void VerticalSum( double* out, const float* const* rows, const double* c, size_t n, int64_t w )
{
   if ( n == 0 )
      std::fill( out, out + w, 0.0 );
   else if ( !WithTapCount( n, [&]( auto N ) QOR_ALWAYS_INLINE_LAMBDA { VerticalSumN<N()>( out, rows, c, w ); } ) )
   {
      // The same additions in the same order, one tap at a time.
      for ( int64_t x = 0; x < w; ++x )
         out[x] = c[0] * double( rows[0][x] );
      for ( size_t i = 1; i < n; ++i )
      {
         const float* r = rows[i];
         double k = c[i];
         for ( int64_t x = 0; x < w; ++x )
            out[x] += k * double( r[x] );
      }
   }
}

// out[x] = sum of c[j] * in[x + offset[j]] over [x0, x1), where every index stays inside the row.
template <int N>
QOR_ALWAYS_INLINE void HorizontalSumN( float* __restrict out, const double* __restrict in, const int64_t* offset,
                                       const double* c, int64_t x0, int64_t x1 )
{
   const double* p[N];
   double k[N];
   for ( int j = 0; j < N; ++j )
   {
      p[j] = in + offset[j];
      k[j] = c[j];
   }
   for ( int64_t x = x0; x < x1; ++x )
   {
      double s = k[0] * p[0][x];
      for ( int j = 1; j < N; ++j )
         s += k[j] * p[j][x];
      out[x] = float( s );
   }
}

// The taps of a rank-one kernel: rows (offsets in rows) with the column factors, columns with the row factors
// divided by the weight. Only nonzero taps are kept; offsets grow.
struct SeparableTaps
{
   std::vector<int64_t> rowOffsets;
   std::vector<double> rowCoefficients;
   std::vector<int64_t> columnOffsets;
   std::vector<double> columnCoefficients;
   int64_t interior0 = 0, interior1 = 0; // the output columns whose taps all fall inside the row
};

// One filtered row: the vertical pass over the given input rows into `column`, then the horizontal pass into out.
QOR_ROW_KERNEL void FilterSeparableRow( const SeparableTaps& taps, const float* const* rows, double* column, float* out,
                                        int64_t w )
{
   VerticalSum( column, rows, taps.rowCoefficients.data(), taps.rowOffsets.size(), w );

   const size_t n = taps.columnOffsets.size();
   if ( n == 0 )
   {
      std::fill( out, out + w, 0.0f );
      return;
   }
   const int64_t* offset = taps.columnOffsets.data();
   const double* c = taps.columnCoefficients.data();
   const int64_t x0 = taps.interior0, x1 = taps.interior1;
   auto border = [&]( int64_t from, int64_t to )
   {
      for ( int64_t x = from; x < to; ++x )
      {
         double s = c[0] * column[ReflectColumn( x + offset[0], w )];
         for ( size_t j = 1; j < n; ++j )
            s += c[j] * column[ReflectColumn( x + offset[j], w )];
         out[x] = float( s );
      }
   };
   border( 0, x0 );
   border( x1, w );
   if ( !WithTapCount( n, [&]( auto N ) QOR_ALWAYS_INLINE_LAMBDA
                       { HorizontalSumN<N()>( out, column, offset, c, x0, x1 ); } ) )
      border( x0, x1 ); // more taps than the unrolled forms: the same sums, with the (here idle) reflection
}

// The nonzero taps of one kernel row, coefficients divided by the weight.
struct TapRow
{
   int64_t rowOffset;
   std::vector<int64_t> columnOffsets;
   std::vector<double> coefficients;
};

// One filtered row of a kernel of any rank: tap by tap in the kernel's row-major order, into double sums.
QOR_ROW_KERNEL void FilterDirectRow( const std::vector<TapRow>& taps, const float* const* rows, double* sums,
                                     float* out, int64_t w )
{
   std::fill( sums, sums + w, 0.0 );
   for ( size_t r = 0; r < taps.size(); ++r )
   {
      const float* src = rows[r];
      const TapRow& row = taps[r];
      for ( size_t t = 0; t < row.columnOffsets.size(); ++t )
      {
         const int64_t offset = row.columnOffsets[t];
         const double k = row.coefficients[t];
         int64_t x0, x1;
         InteriorSpan( w, offset, offset, x0, x1 );
         for ( int64_t x = 0; x < x0; ++x )
            sums[x] += k * double( src[ReflectColumn( x + offset, w )] );
         const float* p = src + offset;
         for ( int64_t x = x0; x < x1; ++x )
            sums[x] += k * double( p[x] );
         for ( int64_t x = x1; x < w; ++x )
            sums[x] += k * double( src[ReflectColumn( x + offset, w )] );
      }
   }
   for ( int64_t x = 0; x < w; ++x )
      out[x] = float( sums[x] );
}

// Per-strip working storage of RowFilter.
struct Scratch
{
   std::vector<double> sums;
   std::vector<float> filtered;
   std::vector<const float*> rows;

   Scratch( int64_t width, size_t rowCount ) : sums( size_t( width ) ), filtered( size_t( width ) ), rows( rowCount ) {}
};

// Filters the rows of one plane with one kernel at one step.
class RowFilter
{
public:
   RowFilter( const ConvolutionKernel& kernel, int64_t step, double weight, int64_t width, int64_t height )
       : width( width ), height( height )
   {
      if ( weight == 0 )
      {
         weight = kernel.Weight();
         if ( std::abs( weight ) < 1e-10 )
            weight = 1;
      }
      const int32_t n = kernel.size;
      const int64_t h = n / 2;
      std::vector<double> u, v;
      separable = Factorize( kernel, u, v );
      if ( separable )
      {
         for ( int32_t i = 0; i < n; ++i )
            if ( u[size_t( i )] != 0 )
            {
               separableTaps.rowOffsets.push_back( ( i - h ) * step );
               separableTaps.rowCoefficients.push_back( u[size_t( i )] );
            }
         for ( int32_t j = 0; j < n; ++j )
            if ( v[size_t( j )] != 0 )
            {
               separableTaps.columnOffsets.push_back( ( j - h ) * step );
               separableTaps.columnCoefficients.push_back( v[size_t( j )] / weight );
            }
         if ( !separableTaps.columnOffsets.empty() )
            InteriorSpan( width, separableTaps.columnOffsets.front(), separableTaps.columnOffsets.back(),
                          separableTaps.interior0, separableTaps.interior1 );
         rowOffsets = separableTaps.rowOffsets;
      }
      else
      {
         for ( int32_t i = 0; i < n; ++i )
         {
            TapRow row{ ( i - h ) * step, {}, {} };
            for ( int32_t j = 0; j < n; ++j )
               if ( float c = kernel.At( i, j ); c != 0 )
               {
                  row.columnOffsets.push_back( ( j - h ) * step );
                  row.coefficients.push_back( double( c ) / weight );
               }
            if ( !row.columnOffsets.empty() )
            {
               rowOffsets.push_back( row.rowOffset );
               directTaps.push_back( std::move( row ) );
            }
         }
      }
   }

   Scratch NewScratch() const { return Scratch( width, rowOffsets.size() ); }

   // Row y of `in` (a plane of width x height samples) filtered into out (width samples).
   void Filter( const float* in, int64_t y, float* out, Scratch& scratch ) const
   {
      for ( size_t i = 0; i < rowOffsets.size(); ++i )
         scratch.rows[i] = in + MapRow( y + rowOffsets[i], height ) * width;
      if ( separable )
         FilterSeparableRow( separableTaps, scratch.rows.data(), scratch.sums.data(), out, width );
      else
         FilterDirectRow( directTaps, scratch.rows.data(), scratch.sums.data(), out, width );
   }

private:
   // Splits the kernel into column u and row v with K(i, j) = u(i) v(j) when it has rank one, up to a few float
   // roundings of its largest coefficient: what a rank-one kernel computed in float looks like.
   static bool Factorize( const ConvolutionKernel& kernel, std::vector<double>& u, std::vector<double>& v )
   {
      const int32_t n = kernel.size;
      u.assign( size_t( n ), 0.0 );
      v.assign( size_t( n ), 0.0 );
      int32_t p = 0, q = 0;
      double largest = 0;
      for ( int32_t i = 0; i < n; ++i )
         for ( int32_t j = 0; j < n; ++j )
            if ( double a = std::abs( double( kernel.At( i, j ) ) ); a > largest )
            {
               largest = a;
               p = i;
               q = j;
            }
      if ( largest == 0 )
         return true; // all zero
      const double pivot = kernel.At( p, q );
      for ( int32_t i = 0; i < n; ++i )
         u[size_t( i )] = kernel.At( i, q );
      for ( int32_t j = 0; j < n; ++j )
         v[size_t( j )] = kernel.At( p, j ) / pivot;
      const double tolerance = 4 * double( FLT_EPSILON ) * largest;
      for ( int32_t i = 0; i < n; ++i )
         for ( int32_t j = 0; j < n; ++j )
            if ( !( std::abs( kernel.At( i, j ) - u[size_t( i )] * v[size_t( j )] ) <= tolerance ) )
               return false; // also for non-finite coefficients
      return true;
   }

   int64_t width, height;
   bool separable = false;
   std::vector<int64_t> rowOffsets; // the input rows each output row reads, relative to it
   SeparableTaps separableTaps;
   std::vector<TapRow> directTaps;
};

// In selective mode a sample takes its filtered value r only where low <= |sample - r| <= high.
void SelectRow( const float* filtered, const float* source, float* out, int64_t w, float low, float high )
{
   for ( int64_t x = 0; x < w; ++x )
   {
      float r = filtered[x];
      float d = std::abs( source[x] - r );
      out[x] = low <= d && d <= high ? r : source[x];
   }
}

void Subtract( const float* a, const float* b, float* out, int64_t w )
{
   for ( int64_t x = 0; x < w; ++x )
      out[x] = a[x] - b[x];
}

// Samples of a plane from which ReconstructATrousLayers streams its output past the caches, and the samples that it
// sums at a time.
constexpr int64_t streamedPlaneSamples = int64_t( 1 ) << 21;
constexpr int64_t reconstructionTile = 1024;

QOR_ROW_KERNEL void AddRow( float* __restrict out, const float* __restrict in, int64_t w )
{
   for ( int64_t x = 0; x < w; ++x )
      out[x] += in[x];
}

// Copies w samples to out with stores that bypass the caches where out is 16-byte aligned.
void StreamRow( float* out, const float* in, int64_t w )
{
#if defined( __SSE2__ )
   int64_t x = 0;
   for ( ; x < w && ( reinterpret_cast<uintptr_t>( out + x ) & 15 ) != 0; ++x )
      out[x] = in[x];
   for ( ; x + 4 <= w; x += 4 )
      _mm_stream_ps( out + x, _mm_loadu_ps( in + x ) );
   for ( ; x < w; ++x )
      out[x] = in[x];
#else
   std::memcpy( out, in, size_t( w ) * sizeof( float ) );
#endif
}

// Orders the streamed stores of this thread before its stores that follow (the hand-over of its rows).
void StreamFence()
{
#if defined( __SSE2__ )
   _mm_sfence();
#endif
}

void DecomposeInto( ATrousLayers& layers, const Image& image, int32_t channel, const ConvolutionKernel& kernel,
                    int32_t layerCount, int32_t scaleDelta )
{
   const int64_t w = image.Width(), h = image.Height();
   const size_t m = size_t( layerCount );
   layers.resize( m + 1 );
   for ( auto& layer : layers )
      if ( layer == nullptr )
         layer = std::make_unique<Image>( image.Width(), image.Height(), 1, ColorSpace::Gray );
      else
         layer->Allocate( image.Width(), image.Height(), 1, ColorSpace::Gray ); // keeps a plane of the right size

   image.BeginTask( "À Trous Wavelet Transform", h * layerCount );
   const float* source = image[channel];
   // Smoothing j reads smoothing j - 1 (the source for j = 1) and writes smoothing j into entry j. It also
   // finishes detail layer j - 2 (smoothing j - 2 minus smoothing j - 1), whose planes it does not otherwise read.
   auto smoothing = [&]( size_t j ) -> const float* { return j == 0 ? source : layers[j]->PixelData( 0 ); };
   for ( size_t j = 1; j <= m; ++j )
   {
      RowFilter filter( kernel, ATrousLayerScale( int32_t( j - 1 ), scaleDelta ), 0, w, h );
      const float* in = smoothing( j - 1 );
      float* out = layers[j]->PixelData( 0 );
      const float* finer = j >= 2 ? smoothing( j - 2 ) : nullptr;
      float* detail = j >= 2 ? layers[j - 2]->PixelData( 0 ) : nullptr;
      image.ParallelRows( h,
                          [&]( int64_t y0, int64_t y1 )
                          {
                             Scratch scratch = filter.NewScratch();
                             for ( int64_t y = y0; y < y1; ++y )
                             {
                                filter.Filter( in, y, out + y * w, scratch );
                                if ( detail != nullptr )
                                   Subtract( finer + y * w, in + y * w, detail + y * w, w );
                             }
                          } );
   }
   const float* finer = smoothing( m - 1 );
   const float* coarse = layers[m]->PixelData( 0 );
   float* detail = layers[m - 1]->PixelData( 0 );
   ParallelFor( h,
                [&]( int64_t y0, int64_t y1 )
                {
                   for ( int64_t y = y0; y < y1; ++y )
                      Subtract( finer + y * w, coarse + y * w, detail + y * w, w );
                } );
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------

double ConvolutionKernel::Weight() const
{
   double sum = 0;
   for ( float c : coefficients )
      sum += c;
   return sum;
}

bool ConvolutionKernel::IsValid() const
{
   return size > 0 && size % 2 == 1 && coefficients.size() == size_t( size ) * size_t( size );
}

ConvolutionKernel ConvolutionKernel::OuterProduct( const std::vector<float>& column, const std::vector<float>& row,
                                                   float divisor )
{
   if ( column.size() != row.size() || column.size() % 2 == 0 )
      throw GenericException( "Invalid convolution kernel: the column and the row must have the same odd length." );
   ConvolutionKernel kernel;
   kernel.size = int32_t( column.size() );
   kernel.coefficients.reserve( column.size() * row.size() );
   for ( float a : column )
      for ( float b : row )
         kernel.coefficients.push_back( float( double( a ) * double( b ) / double( divisor ) ) );
   return kernel;
}

ConvolutionKernel ConvolutionKernel::LinearInterpolation()
{
   return OuterProduct( { 1, 2, 1 }, { 1, 2, 1 }, 16 );
}

ConvolutionKernel ConvolutionKernel::B3Spline()
{
   return OuterProduct( { 1, 4, 6, 4, 1 }, { 1, 4, 6, 4, 1 }, 256 );
}

int32_t ATrousLayerScale( int32_t layer, int32_t scaleDelta )
{
   int64_t step = -1;
   if ( layer >= 0 )
   {
      if ( scaleDelta <= 0 )
         step = layer < 31 ? int64_t( 1 ) << layer : -1;
      else
         step = int64_t( layer ) * scaleDelta + 1;
   }
   if ( step < 1 || step > std::numeric_limits<int32_t>::max() )
      throw GenericException( "Invalid wavelet layer " + std::to_string( layer ) + ": its scale is out of range." );
   return int32_t( step );
}

void Convolve( Image& image, const ConvolutionKernel& kernel, int32_t step, float low, float high, double weight )
{
   CheckKernel( kernel );
   if ( step < 1 )
      throw GenericException( "Invalid convolution step: " + std::to_string( step ) + "." );
   if ( image.IsEmpty() )
      return;

   const int64_t w = image.Width(), h = image.Height();
   const bool selective = low != 0 || high != 1;
   RowFilter filter( kernel, step, weight, w, h );

   // Every channel is filtered aside, so that an abort leaves the image as it was.
   std::vector<Image::Plane> planes;
   for ( int32_t c = 0; c < image.NumberOfNominalChannels(); ++c )
   {
      planes.push_back( Image::NewPlane( image.NumberOfPixels() ) );
      const float* in = image[c];
      float* out = planes.back().get();
      image.ParallelRows( h,
                          [&]( int64_t y0, int64_t y1 )
                          {
                             Scratch scratch = filter.NewScratch();
                             for ( int64_t y = y0; y < y1; ++y )
                                if ( selective )
                                {
                                   filter.Filter( in, y, scratch.filtered.data(), scratch );
                                   SelectRow( scratch.filtered.data(), in + y * w, out + y * w, w, low, high );
                                }
                                else
                                   filter.Filter( in, y, out + y * w, scratch );
                          } );
   }
   for ( int32_t c = image.NumberOfNominalChannels(); c < image.NumberOfChannels(); ++c )
   {
      planes.push_back( Image::NewPlane( image.NumberOfPixels() ) );
      std::memcpy( planes.back().get(), image[c], size_t( image.NumberOfPixels() ) * sizeof( float ) );
   }
   image.SwapIn( std::move( planes ), image.Width(), image.Height(), image.NumberOfNominalChannels(),
                 image.NumberOfAlphaChannels(), image.GetColorSpace() );
}

ATrousLayers DecomposeATrousLayers( const Image& image, int32_t channel, const ConvolutionKernel& kernel,
                                    int32_t layerCount, int32_t scaleDelta )
{
   ATrousLayers layers;
   DecomposeATrousLayers( layers, image, channel, kernel, layerCount, scaleDelta );
   return layers;
}

void DecomposeATrousLayers( ATrousLayers& layers, const Image& image, int32_t channel, const ConvolutionKernel& kernel,
                            int32_t layerCount, int32_t scaleDelta )
{
   if ( image.IsEmpty() )
      throw GenericException( "Cannot decompose an empty image into wavelet layers." );
   if ( channel < 0 || channel >= image.NumberOfChannels() )
      throw GenericException( "Cannot decompose channel " + std::to_string( channel ) + ": the image has " +
                              std::to_string( image.NumberOfChannels() ) + " channel(s)." );
   CheckKernel( kernel );
   if ( layerCount < 1 )
      throw GenericException( "Invalid number of wavelet layers: " + std::to_string( layerCount ) + "." );
   ATrousLayerScale( layerCount - 1, scaleDelta ); // the largest step must be representable
   for ( const auto& layer : layers )
      if ( layer.get() == &image )
         throw GenericException( "Cannot decompose an image into a layer set that holds it." );

   try
   {
      DecomposeInto( layers, image, channel, kernel, layerCount, scaleDelta );
   }
   catch ( ... )
   {
      layers.clear();
      throw;
   }
}

void ReconstructATrousLayers( Image& image, int32_t channel, const ATrousLayers& layers )
{
   if ( layers.empty() )
      throw GenericException( "No wavelet layers to reconstruct from." );
   if ( image.IsEmpty() || channel < 0 || channel >= image.NumberOfChannels() )
      throw GenericException( "Cannot reconstruct channel " + std::to_string( channel ) + ": the image has " +
                              std::to_string( image.NumberOfChannels() ) + " channel(s)." );
   for ( const auto& layer : layers )
      if ( layer != nullptr && ( layer.get() == &image || layer->IsEmpty() || layer->Width() != image.Width() ||
                                 layer->Height() != image.Height() ) )
         throw GenericException( "Wavelet layers must be separate images of the reconstructed image's size." );

   // Residual first, then the details from the coarsest to the finest.
   const float* residual = layers.back() ? layers.back()->PixelData( 0 ) : nullptr;
   std::vector<const float*> details;
   for ( size_t i = layers.size() - 1; i-- > 0; )
      if ( layers[i] )
         details.push_back( layers[i]->PixelData( 0 ) );

   const int64_t w = image.Width();
   float* plane = image[channel];
   // A plane larger than the caches is written past them: the sum is built in a small buffer and streamed out,
   // which saves reading every output line from memory before it is overwritten.
   const bool stream = image.NumberOfPixels() >= streamedPlaneSamples;
   image.BeginTask( "Inverse À Trous Wavelets Transform", image.Height() );
   image.ParallelRows( image.Height(),
                       [&]( int64_t y0, int64_t y1 )
                       {
                          alignas( 64 ) float sum[reconstructionTile];
                          for ( int64_t y = y0; y < y1; ++y )
                             for ( int64_t x0 = 0; x0 < w; x0 += reconstructionTile )
                             {
                                const int64_t n = std::min<int64_t>( reconstructionTile, w - x0 );
                                const int64_t at = y * w + x0;
                                float* out = plane + at;
                                float* acc = stream ? sum : out;
                                if ( residual != nullptr )
                                   std::memcpy( acc, residual + at, size_t( n ) * sizeof( float ) );
                                else
                                   std::fill( acc, acc + n, 0.0f );
                                for ( const float* layer : details )
                                   AddRow( acc, layer + at, n );
                                if ( stream )
                                   StreamRow( out, sum, n );
                             }
                          if ( stream )
                             StreamFence(); // by the thread that streamed, before the strip counts as done
                       } );
}

} // namespace qor
