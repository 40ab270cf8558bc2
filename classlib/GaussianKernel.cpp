#include "GaussianKernel.h"

#include "Math.h"
#include "Parallel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <string>

// The row kernels are compiled for the baseline instruction set and for the AVX2 and AVX-512 levels; the loader
// picks the best one the processor has. All threads run the same version, so results never depend on the thread
// count; between processors with and without fused multiply-add they may differ in the last bit.
#if defined( __GNUC__ ) && !defined( __clang__ ) && defined( __x86_64__ ) && !defined( __SANITIZE_ADDRESS__ )
#define QOR_ROW_KERNEL __attribute__( ( target_clones( "arch=x86-64-v4", "arch=x86-64-v3", "default" ) ) )
#else
#define QOR_ROW_KERNEL
#endif

namespace qor
{

namespace
{

// x^y as the rest of the class library computes powers of samples: y = 0 gives 1, x = 0 gives 0, an integral y
// goes by repeated squaring, any other y through 2^(y log2 x).
float Power( float x, float y )
{
   if ( y == 0 )
      return 1;
   if ( x == 0 )
      return 0;
   if ( std::fabs( y ) < 2147483648.0f && std::nearbyint( y ) == y )
      return x == 10 ? float( Pow10I( int32_t( y ) ) ) : PowI( x, int32_t( y ) );
   return x == 10 ? Pow10( y ) : Pow2( y * Log2( x ) );
}

void CheckKernelParameters( float sigma, float shape )
{
   if ( !( sigma > 0 ) || !std::isfinite( sigma ) )
      throw GenericException( "Gaussian kernel: the standard deviation must be a positive number" );
   if ( !( shape > 0 ) || !std::isfinite( shape ) )
      throw GenericException( "Gaussian kernel: the shape exponent must be a positive number" );
}

[[noreturn]] void ThrowTooLarge()
{
   throw GenericException( "Gaussian kernel: the kernel would be larger than " +
                           std::to_string( MaxGaussianKernelSize ) + " samples" );
}

// Index of a mirrored coordinate: -1 is 1, n is n - 2, repeating the reflection as often as needed; a single
// sample maps everything to itself.
int32_t Mirror( int64_t i, int32_t n )
{
   if ( n == 1 )
      return 0;
   int64_t period = 2 * int64_t( n - 1 );
   i %= period;
   if ( i < 0 )
      i += period;
   return int32_t( i < n ? i : period - i );
}

// Sixteen floats: one AVX-512 register, two AVX ones, four SSE ones; the compiler splits it as the target allows.
// (These helpers never cross a call boundary between differently compiled code, so the ABI note is moot.)
#pragma GCC diagnostic ignored "-Wpsabi"
typedef float Floats __attribute__( ( vector_size( 64 ) ) );
constexpr int32_t Lanes = 16;

inline Floats Load( const float* p )
{
   Floats v;
   std::memcpy( &v, p, sizeof( v ) );
   return v;
}

inline void Store( float* p, Floats v )
{
   std::memcpy( p, &v, sizeof( v ) );
}

// out[x] = g[0] centre[x] + sum over k = 1..r of g[k] (up[k][x] + down[k][x]), for x in [0, width). The row is
// done in spans small enough for the first-level cache, one tap at a time over a whole span: the source rows are
// read sequentially (with one pointer per tap instead, rows a power of two apart fight over the same cache sets).
// Every sample sees the same sequence of operations, in a full span or in the tail.
QOR_ROW_KERNEL
void VerticalRow( float* out, const float* centre, const float* const* up, const float* const* down,
                  const float* g, int32_t r, int32_t width )
{
   constexpr int32_t Span = 16 * Lanes;
   int32_t x0 = 0;
   for ( ; x0 + Span <= width; x0 += Span )
   {
      Floats acc[Span / Lanes];
      for ( int32_t j = 0; j < Span / Lanes; ++j )
         acc[j] = g[0] * Load( centre + x0 + j * Lanes );
      for ( int32_t k = 1; k <= r; ++k )
      {
         const float* u = up[k] + x0;
         const float* d = down[k] + x0;
         for ( int32_t j = 0; j < Span / Lanes; ++j )
            acc[j] += g[k] * ( Load( u + j * Lanes ) + Load( d + j * Lanes ) );
      }
      for ( int32_t j = 0; j < Span / Lanes; ++j )
         Store( out + x0 + j * Lanes, acc[j] );
   }
   for ( int32_t x = x0; x < width; ++x )
   {
      float acc = g[0] * centre[x];
      for ( int32_t k = 1; k <= r; ++k )
         acc += g[k] * ( up[k][x] + down[k][x] );
      out[x] = acc;
   }
}

// out[x] = g[0] t[x] + sum over k = 1..r of g[k] (t[x - k] + t[x + k]), for x in [0, width); t is readable from
// -r to width + r - 1.
QOR_ROW_KERNEL
void HorizontalRow( float* out, const float* t, const float* g, int32_t r, int32_t width )
{
   int32_t x0 = 0;
   for ( ; x0 + 2 * Lanes <= width; x0 += 2 * Lanes )
   {
      Floats a0 = g[0] * Load( t + x0 );
      Floats a1 = g[0] * Load( t + x0 + Lanes );
      for ( int32_t k = 1; k <= r; ++k )
      {
         a0 += g[k] * ( Load( t + x0 - k ) + Load( t + x0 + k ) );
         a1 += g[k] * ( Load( t + x0 + Lanes - k ) + Load( t + x0 + Lanes + k ) );
      }
      Store( out + x0, a0 );
      Store( out + x0 + Lanes, a1 );
   }
   for ( int32_t x = x0; x < width; ++x )
   {
      float acc = g[0] * t[x];
      for ( int32_t k = 1; k <= r; ++k )
         acc += g[k] * ( t[x - k] + t[x + k] );
      out[x] = acc;
   }
}

// Blurs the nominal channels of source into the planes of target (same geometry), rows on the worker threads.
void BlurInto( const Image& source, Image& target, const std::vector<float>& kernel )
{
   const int32_t width = source.Width();
   const int32_t height = source.Height();
   const int32_t channels = source.NumberOfNominalChannels();
   const int32_t r = int32_t( kernel.size() / 2 );
   const float* g = kernel.data() + r; // g[k], k = 0..r (the kernel is symmetric)

   source.BeginTask( "Gaussian blur", int64_t( channels ) * height );
   source.ParallelRows( int64_t( channels ) * height, [&]( int64_t begin, int64_t end ) {
      std::vector<float> line( size_t( width ) + 2 * size_t( r ) );
      std::vector<const float*> up( size_t( r ) + 1 ), down( size_t( r ) + 1 );
      float* t = line.data() + r;
      for ( int64_t item = begin; item < end; ++item )
      {
         int32_t c = int32_t( item / height );
         int32_t y = int32_t( item % height );
         for ( int32_t k = 1; k <= r; ++k )
         {
            up[size_t( k )] = source.ScanLine( c, Mirror( int64_t( y ) - k, height ) );
            down[size_t( k )] = source.ScanLine( c, Mirror( int64_t( y ) + k, height ) );
         }
         VerticalRow( t, source.ScanLine( c, y ), up.data(), down.data(), g, r, width );
         for ( int32_t k = 1; k <= r; ++k )
         {
            t[-k] = t[Mirror( -k, width )];
            t[width - 1 + k] = t[Mirror( int64_t( width ) - 1 + k, width )];
         }
         HorizontalRow( target.ScanLine( c, y ), t, g, r, width );
      }
   } );

   for ( int32_t c = channels; c < source.NumberOfChannels(); ++c )
      std::memcpy( target.PixelData( c ), source.PixelData( c ), size_t( source.NumberOfPixels() ) * sizeof( float ) );
}

} // namespace

int32_t GaussianKernelSize( float sigma, float shape, float threshold )
{
   CheckKernelParameters( sigma, shape );
   if ( !( threshold > 0 && threshold <= 1 ) )
      throw GenericException( "Gaussian kernel: the truncation threshold must lie in (0, 1]" );

   float p = Power( sigma, shape );
   float x = -shape * p * Ln( threshold ); // r^s at which the kernel falls to the threshold
   float radius = Power( x, 1.0f / shape );
   if ( !( radius <= float( MaxGaussianKernelSize / 2 ) ) ) // also catches an overflow to infinity or NaN
      ThrowTooLarge();
   int32_t m = int32_t( Round( radius ) );
   return 2 * std::max( m, 1 ) + 1;
}

std::vector<float> CreateGaussianKernel( int32_t& n, float sigma, float shape, float threshold )
{
   int32_t size = GaussianKernelSize( sigma, shape, threshold );
   std::vector<float> k( size_t( size ) * size_t( size ) );
   FillGaussianKernel( k.data(), size, sigma, shape );
   n = size;
   return k;
}

void FillGaussianKernel( float* k, int32_t n, float sigma, float shape )
{
   CheckKernelParameters( sigma, shape );
   if ( n < 1 || n % 2 == 0 || n > MaxGaussianKernelSize )
      throw GenericException( "Gaussian kernel: the size must be odd and positive" );

   const int32_t h = n / 2;
   const float d = shape * Power( sigma, shape );
   auto at = [&]( int32_t i, int32_t j ) -> float& { return k[size_t( i + h ) * size_t( n ) + size_t( j + h )]; };
   for ( int32_t i = -h; i <= 0; ++i )
   {
      for ( int32_t j = -h; j <= 0; ++j )
      {
         // The centre is 1 even when sigma^shape underflows to 0, where the formula would give 0/0.
         float r = Sqrt( float( i * i + j * j ) );
         at( i, j ) = ( i == 0 && j == 0 ) ? 1.0f : Exp( -Power( r, shape ) / d );
      }
      for ( int32_t j = 1; j <= h; ++j )
         at( i, j ) = at( i, -j );
   }
   for ( int32_t i = 1; i <= h; ++i )
      std::memcpy( &at( i, -h ), &at( -i, -h ), size_t( n ) * sizeof( float ) );
}

QOR_ROW_KERNEL
void ClampSamples( float* p, int64_t count )
{
   for ( int64_t i = 0; i < count; ++i )
   {
      float x = p[i];
      x = ( x >= 0 ) ? x : 0.0f; // NaN fails the test too
      p[i] = ( x > 1 ) ? 1.0f : x;
   }
}

void ClampSamples( Image& image )
{
   if ( image.IsEmpty() )
      return;
   const int32_t width = image.Width();
   const int32_t height = image.Height();
   image.ParallelRows(
      int64_t( image.NumberOfNominalChannels() ) * height,
      [&]( int64_t begin, int64_t end ) {
         for ( int64_t item = begin; item < end; ++item )
            ClampSamples( image.ScanLine( int32_t( item / height ), int32_t( item % height ) ), width );
      },
      width );
}

std::vector<float> GaussianBlurKernel( float sigma, float support )
{
   if ( !( sigma > 0 ) || !std::isfinite( sigma ) )
      throw GenericException( "Gaussian blur: the standard deviation must be a positive number" );
   if ( !( support > 0 ) || !std::isfinite( support ) )
      throw GenericException( "Gaussian blur: the support must be a positive number" );
   double radius = std::nearbyint( double( support ) * sigma );
   if ( radius > MaxGaussianKernelSize / 2 )
      ThrowTooLarge();
   int32_t r = std::max( 1, int32_t( radius ) );

   std::vector<double> w( size_t( 2 * r + 1 ) );
   double sum = 0;
   for ( int32_t i = -r; i <= r; ++i )
      sum += w[size_t( i + r )] = std::exp( -double( i ) * i / ( 2.0 * double( sigma ) * sigma ) );
   std::vector<float> g( w.size() );
   for ( size_t i = 0; i < w.size(); ++i )
      g[i] = float( w[i] / sum );
   return g;
}

void GaussianBlur( const Image& source, Image& target, float sigma, float support )
{
   std::vector<float> kernel = GaussianBlurKernel( sigma, support );
   if ( &source == &target )
   {
      GaussianBlur( target, sigma, support );
      return;
   }
   if ( source.IsEmpty() )
   {
      target.Assign( source );
      return;
   }
   target.Allocate( source.Width(), source.Height(), source.NumberOfChannels(), source.GetColorSpace() );
   BlurInto( source, target, kernel );
}

void GaussianBlur( Image& image, float sigma, float support )
{
   std::vector<float> kernel = GaussianBlurKernel( sigma, support );
   if ( image.IsEmpty() )
      return;
   // The vertical pass needs rows that the output has already replaced: blur into new planes and swap them in,
   // which also leaves the image as it was after an abort.
   Image result( image.Width(), image.Height(), image.NumberOfChannels(), image.GetColorSpace() );
   BlurInto( image, result, kernel );
   image.Transfer( result );
}

} // namespace qor
