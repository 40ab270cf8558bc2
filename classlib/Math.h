#ifndef QOR_MATH_H
#define QOR_MATH_H

// Scalar helpers for samples and coordinates, called per sample in the inner loops of transfer curves, colour
// conversions and resampling, so they stay inline and free of error handling.
//
// Rounding rules the rest of the system depends on: Round() goes to the nearest integer with ties to even (the
// default rounding mode, which nothing in the program changes); Trunc() and Split() go toward zero.
//
// Powers of ten are exact where the long double format allows: Pow10I() multiplies correctly rounded
// extended-precision constants 10^0 .. 10^49, and Pow10() of an integral exponent goes through it, so 10^-3 is
// 1/10^3 and not an approximation through logarithms. Where a result needs more than the argument's precision in
// between (powers), it is computed in long double and rounded once on return.
//
// Floating-point exceptions run masked: infinities and NaNs propagate the way IEEE arithmetic says, and the few
// places where a non-finite argument would reach an integer conversion check for it first.

#include <cmath>
#include <concepts>
#include <cstdint>

namespace qor
{

// Every helper takes float or double (long double too) and answers in the argument's type.

template <std::floating_point F> inline F Abs( F x )
{
   return std::fabs( x );
}

template <std::floating_point F> inline F Sqrt( F x )
{
   return std::sqrt( x );
}

template <std::floating_point F> inline F Sin( F x )
{
   return std::sin( x );
}

template <std::floating_point F> inline F Cos( F x )
{
   return std::cos( x );
}

template <std::floating_point F> inline void SinCos( F x, F& sinX, F& cosX )
{
   sinX = std::sin( x );
   cosX = std::cos( x );
}

// Arc tangent of y/x in [-pi, pi], in the quadrant of the point (x, y).
template <std::floating_point F> inline F ArcTan2( F y, F x )
{
   return std::atan2( y, x );
}

template <std::floating_point F> inline F Exp( F x )
{
   return std::exp( x );
}

template <std::floating_point F> inline F Ln( F x )
{
   return std::log( x );
}

template <std::floating_point F> inline F Log2( F x )
{
   return std::log2( x );
}

template <std::floating_point F> inline F Pow2( F x )
{
   return std::exp2( x );
}

// 10^n for any int32 n, from a table of the powers 10^0 .. 10^49; beyond them, products of table entries
// (10^120 = 10^49 * 10^49 * 10^22). Negative n gives the reciprocal. Exact for |n| <= 27.
long double Pow10I( int32_t n );

// 10^x: the table's exact power when x is an integer that fits int32, else 2^(x log2 10) in long double.
template <std::floating_point F> inline F Pow10( F x )
{
   constexpr long double int32Limit = 2147483648.0L; // 2^31
   if ( x >= -int32Limit && x < int32Limit && std::nearbyint( x ) == x )
      return static_cast<F>( Pow10I( static_cast<int32_t>( x ) ) );
   constexpr long double log2Of10 = 3.321928094887362347870319429489390175864831393L;
   return static_cast<F>( std::exp2( x * log2Of10 ) ); // NaN stays NaN, +inf gives +inf, -inf gives 0
}

// x^n by repeated squaring in long double, selecting squares by the bits of |n| from the lowest up; x^0 is 1 for
// every x.
template <std::floating_point F> inline F PowI( F x, int32_t n )
{
   uint32_t m = ( n < 0 ) ? 0u - static_cast<uint32_t>( n ) : static_cast<uint32_t>( n );
   long double result = 1;
   for ( long double square = x; m != 0; m >>= 1, square *= square )
      if ( m & 1u )
         result *= square;
   return static_cast<F>( ( n < 0 ) ? 1 / result : result );
}

// The general power on 32-bit operands: y = 0 gives 1 (even for a NaN x); otherwise x = 0 gives 0 (even for a
// negative y); otherwise an integral y gives the exact PowI(x, y), or Pow10I(y) when x = 10; otherwise Pow10(y)
// when x = 10, else Pow2(y Log2(x)) with the product rounded to a float, so a negative x gives NaN. An integral y
// outside the int32 range (infinities included) cannot be counted in PowI; it takes std::pow, which gives the
// limit such a power has (0, 1 or an infinity) where 2^(y log2 x) could give NaN for 1^inf or a negative x.
inline float Pow( float x, float y )
{
   if ( y == 0.0f )
      return 1.0f;
   if ( x == 0.0f )
      return 0.0f;
   if ( std::trunc( y ) == y )
   {
      if ( !( y >= -2147483648.0f && y < 2147483648.0f ) )
         return std::pow( x, y );
      int32_t n = static_cast<int32_t>( y );
      return x == 10.0f ? static_cast<float>( Pow10I( n ) ) : PowI( x, n );
   }
   if ( x == 10.0f )
      return Pow10( y );
   float product = y * Log2( x );
   return Pow2( product );
}

// Nearest integral value, ties to even (2.5 -> 2, 3.5 -> 4, -2.5 -> -2), as a floating value.
template <std::floating_point F> inline F Round( F x )
{
   return std::nearbyint( x );
}

// x truncated toward zero, as a floating value.
template <std::floating_point F> inline F Trunc( F x )
{
   return std::trunc( x );
}

// integral = x truncated toward zero, fraction = x - integral with the sign of x. An infinite x gives itself and
// a zero fraction; a NaN gives NaN for both.
template <std::floating_point F> inline void Split( F x, F& integral, F& fraction )
{
   fraction = std::modf( x, &integral );
}

// The unsigned 32-bit value stored most significant byte first at bytes.
inline uint32_t ReadBigEndianUInt32( const void* bytes )
{
   const auto* b = static_cast<const uint8_t*>( bytes );
   return ( uint32_t( b[0] ) << 24 ) | ( uint32_t( b[1] ) << 16 ) | ( uint32_t( b[2] ) << 8 ) | uint32_t( b[3] );
}

} // namespace qor

#endif
