#ifndef LF_FORMATS_SAMPLE_CONVERSION_H
#define LF_FORMATS_SAMPLE_CONVERSION_H

// Conversions between the stored samples of image files and the image's [0, 1] floats, shared by the readers and
// writers of TIFF, JPEG and raw files.
//
// Reading: an unsigned n-bit sample s becomes s / (2^n - 1), correctly rounded to float (so 0 and the largest value
// give exactly 0 and 1). Writing: the sample is clamped to [0, 1] (NaN becomes 0), multiplied by 2^n - 1 in double
// (long double for 32 bits, where the product needs 56 bits) and rounded to nearest with ties to even. An 8 or
// 16-bit value read and written again is the value read.

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <type_traits>

namespace formats
{

// v clamped to [0, 1]; NaN becomes 0.
inline float Clamp01( float v )
{
   return v > 0 ? ( v < 1 ? v : 1.0f ) : 0.0f;
}

// Nearest integral value, ties to even, of 0 <= x < 2^52 (in the default rounding mode).
inline double RoundHalfEven( double x )
{
   constexpr double magic = 4503599627370496.0; // 2^52
   return ( x + magic ) - magic;
}

// n stored unsigned samples, `stride` elements apart, into n consecutive floats.
template <typename T>
void UnsignedToFloat( const T* in, std::ptrdiff_t stride, float* out, int64_t n )
{
   static_assert( std::is_unsigned_v<T> );
   if constexpr ( sizeof( T ) < 4 )
   {
      constexpr float scale = float( std::numeric_limits<T>::max() );
      for ( int64_t i = 0; i < n; ++i )
         out[i] = float( in[i * stride] ) / scale;
   }
   else
   {
      constexpr double scale = double( std::numeric_limits<T>::max() );
      for ( int64_t i = 0; i < n; ++i )
         out[i] = float( double( in[i * stride] ) / scale );
   }
}

// n consecutive floats into stored unsigned samples `stride` elements apart.
template <typename T>
void FloatToUnsigned( const float* in, T* out, std::ptrdiff_t stride, int64_t n )
{
   static_assert( std::is_unsigned_v<T> );
   if constexpr ( sizeof( T ) < 4 )
   {
      constexpr double scale = double( std::numeric_limits<T>::max() );
      for ( int64_t i = 0; i < n; ++i )
         out[i * stride] = T( int32_t( RoundHalfEven( double( Clamp01( in[i] ) ) * scale ) ) );
   }
   else
   {
      for ( int64_t i = 0; i < n; ++i )
         out[i * stride] = T( std::nearbyint( (long double)Clamp01( in[i] ) * 4294967295.0L ) );
   }
}

// n consecutive floats clamped into floats `stride` elements apart.
inline void FloatToFloat( const float* in, float* out, std::ptrdiff_t stride, int64_t n )
{
   if ( stride == 1 ) // a loop of its own, which the compiler vectorises
      for ( int64_t i = 0; i < n; ++i )
         out[i] = Clamp01( in[i] );
   else
      for ( int64_t i = 0; i < n; ++i )
         out[i * stride] = Clamp01( in[i] );
}

// Three rows of n floats clamped and interleaved into 3n floats (r0 g0 b0 r1 ...): one loop over the pixels, which
// the compiler vectorises, in place of three passes each writing every third float.
inline void FloatToFloat3( const float* r, const float* g, const float* b, float* out, int64_t n )
{
   for ( int64_t i = 0; i < n; ++i )
   {
      out[3 * i] = Clamp01( r[i] );
      out[3 * i + 1] = Clamp01( g[i] );
      out[3 * i + 2] = Clamp01( b[i] );
   }
}

} // namespace formats

#endif
