#ifndef LF_CLASSLIB_VECTOR_FLOAT8_H
#define LF_CLASSLIB_VECTOR_FLOAT8_H

// Eight floats per operation, for the kernels whose hot loops are written with the compiler's vector extensions (the
// median and the minimum/maximum filters). Loads and stores go through memcpy, so rows need no alignment.

#include <cstdint>
#include <cstring>

// The helpers take and return 32-byte vectors; they are always inlined, so the note about the ABI of such arguments
// on targets without AVX does not concern them.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpsabi"

namespace qor::simd
{

using v8f = float __attribute__( ( vector_size( 32 ) ) );
constexpr int32_t lanes = 8;

inline __attribute__( ( always_inline ) ) v8f Load( const float* p )
{
   v8f v;
   std::memcpy( &v, p, sizeof( v ) );
   return v;
}

inline __attribute__( ( always_inline ) ) void Store( float* p, v8f v )
{
   std::memcpy( p, &v, sizeof( v ) );
}

} // namespace qor::simd

#pragma GCC diagnostic pop

#endif
