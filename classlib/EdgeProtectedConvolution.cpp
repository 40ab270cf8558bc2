#include "EdgeProtectedConvolution.h"

#include "BoxBorders.h"
#include "Exception.h"
#include "Parallel.h"

#include <cmath>
#include <cstring>
#include <vector>

// The row kernel is compiled for the baseline instruction set and for the AVX2 and AVX-512 levels; the loader
// picks the best one the processor has. Each product of a coefficient and a sample is exact in double, so fused
// and separate multiply-adds give the same sums and the level chosen does not change the result.
#if defined( __GNUC__ ) && !defined( __clang__ ) && defined( __x86_64__ ) && !defined( __SANITIZE_ADDRESS__ )
#define QOR_ROW_KERNEL __attribute__( ( target_clones( "arch=x86-64-v4", "arch=x86-64-v3", "default" ) ) )
#else
#define QOR_ROW_KERNEL
#endif

namespace qor
{

namespace
{

#pragma GCC diagnostic ignored "-Wpsabi"
constexpr int32_t Lanes = 16;
typedef float Floats __attribute__( ( vector_size( 4 * Lanes ) ) );
typedef int32_t Ints __attribute__( ( vector_size( 4 * Lanes ) ) );
typedef double Doubles __attribute__( ( vector_size( 8 * Lanes ) ) );

inline Floats Load( const float* p )
{
   Floats v;
   std::memcpy( &v, p, sizeof( v ) );
   return v;
}

// Protection of one output sample, as thresholds and replacement values. A side that does not apply gets a
// threshold no sample can pass (NaN samples included, through the flags).
struct SampleRule
{
   float t, vD, u, vB;
   bool darkOn, brightOn;
};

inline SampleRule RuleFor( float c0, const EdgeProtection& p )
{
   SampleRule r;
   r.t = c0 + p.darkThreshold;
   r.u = c0 - p.brightThreshold;
   r.darkOn = p.dark && r.t < 1;
   r.brightOn = p.bright && r.u > 0;
   r.vD = ( 1 - p.darkOverdrive ) * r.t;
   r.vB = ( 1 - r.u ) * p.brightOverdrive + r.u;
   return r;
}

inline float Protected( float v, const SampleRule& r )
{
   if ( r.darkOn && v >= r.t )
      return r.vD;
   if ( r.brightOn && !( v > r.u ) )
      return r.vB;
   return v;
}

// One output row: out[x] = sum over the n x n window of k * protected(v) / weightSum. rows[i] is the extended row
// y - h + i, readable from column -h (index 0) to width - 1 + h; the centre row's samples are the c0 of each output.
QOR_ROW_KERNEL
void FilterRow( float* out, const float* const* rows, const float* k, int32_t n, int32_t width,
                const EdgeProtection& p, double weightSum )
{
   const int32_t h = n / 2;
   const float* centre = rows[h] + h;
   int32_t x0 = 0;
   for ( ; x0 + Lanes <= width; x0 += Lanes )
   {
      const Floats c0 = Load( centre + x0 );
      const Floats t = c0 + p.darkThreshold;
      const Floats u = c0 - p.brightThreshold;
      const Ints darkOn = p.dark ? ( t < 1.0f ) : Ints{};
      const Ints brightOn = p.bright ? ( u > 0.0f ) : Ints{};
      const Floats vD = ( 1 - p.darkOverdrive ) * t;
      const Floats vB = ( 1 - u ) * p.brightOverdrive + u;
      Doubles acc = {};
      for ( int32_t i = 0; i < n; ++i )
      {
         const float* row = rows[i] + x0;
         const float* ki = k + size_t( i ) * size_t( n );
         for ( int32_t j = 0; j < n; ++j )
         {
            const Floats v = Load( row + j );
            Floats r = ( brightOn & ~( v > u ) ) ? vB : v;
            r = ( darkOn & ( v >= t ) ) ? vD : r;
            acc += double( ki[j] ) * __builtin_convertvector( r, Doubles );
         }
      }
      acc /= weightSum;
      const Floats result = __builtin_convertvector( acc, Floats );
      std::memcpy( out + x0, &result, sizeof( result ) );
   }
   for ( int32_t x = x0; x < width; ++x )
   {
      const SampleRule r = RuleFor( centre[x], p );
      double acc = 0;
      for ( int32_t i = 0; i < n; ++i )
      {
         const float* row = rows[i] + x;
         const float* ki = k + size_t( i ) * size_t( n );
         for ( int32_t j = 0; j < n; ++j )
            acc += double( ki[j] ) * double( Protected( row[j], r ) );
      }
      out[x] = float( acc / weightSum );
   }
}

// Copies source row MirrorRow( y ) into an extended row of width + 2h samples, mirroring the columns outside.
void LoadRow( float* slot, const float* plane, int64_t y, int32_t width, int32_t height, int32_t h )
{
   const float* src = plane + int64_t( MirrorRow( y, height ) ) * width;
   std::memcpy( slot + h, src, size_t( width ) * sizeof( float ) );
   for ( int32_t j = 1; j <= h; ++j )
   {
      slot[h - j] = src[MirrorColumn( -j, width )];
      slot[h + width - 1 + j] = src[MirrorColumn( int64_t( width ) - 1 + j, width )];
   }
}

} // namespace

void ConvolveEdgeProtected( Image& image, uint32_t channelMask, const float* kernel, int32_t n,
                            const EdgeProtection& protection, double weightSum )
{
   if ( n < 1 || n % 2 == 0 )
      throw GenericException( "Edge-protected convolution: the kernel size must be odd and positive" );
   if ( image.IsEmpty() )
      return;

   if ( weightSum == 0 )
      for ( int64_t i = 0; i < int64_t( n ) * n; ++i )
         weightSum += kernel[i];
   if ( !std::isfinite( weightSum ) || std::fabs( weightSum ) < 1e-10 )
      weightSum = 1;

   const int32_t width = image.Width();
   const int32_t height = image.Height();
   const int32_t h = n / 2;
   const size_t extended = size_t( width ) + 2 * size_t( h );
   image.BeginTask( "SGBNR", int64_t( image.NumberOfNominalChannels() ) * height );

   Image::Plane result;
   for ( int32_t c = 0; c < image.NumberOfNominalChannels(); ++c )
   {
      if ( ( channelMask & ( 1u << ( c & 31 ) ) ) == 0 )
      {
         if ( image.IsMonitored() )
            image.Status().Advance( height );
         image.ThrowIfAborted();
         continue;
      }
      if ( !result )
         result = Image::NewPlane( image.NumberOfPixels() );
      const float* source = image.PixelData( c );
      float* target = result.get();
      const bool completed = ParallelFor(
         height,
         [&]( int64_t begin, int64_t end ) {
            std::vector<float> storage( size_t( n ) * extended );
            std::vector<float*> ring( static_cast<size_t>( n ) );
            for ( int32_t i = 0; i < n; ++i )
            {
               ring[size_t( i )] = storage.data() + size_t( i ) * extended;
               LoadRow( ring[size_t( i )], source, begin - h + i, width, height, h );
            }
            for ( int64_t y = begin; y < end; ++y )
            {
               FilterRow( target + y * width, ring.data(), kernel, n, width, protection, weightSum );
               if ( y + 1 < end )
               {
                  // The oldest row becomes the newest slot.
                  float* oldest = ring.front();
                  std::memmove( ring.data(), ring.data() + 1, size_t( n - 1 ) * sizeof( float* ) );
                  ring.back() = oldest;
                  LoadRow( oldest, source, y + h + 1, width, height, h );
               }
            }
         },
         &image.Status(), 1, std::max<int64_t>( 1, n ) );
      if ( !completed )
         throw Image::AbortProcessEvent( &image );
      std::memcpy( image.PixelData( c ), target, size_t( image.NumberOfPixels() ) * sizeof( float ) );
   }
}

} // namespace qor
