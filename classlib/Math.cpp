#include "Math.h"

namespace qor
{

namespace
{
// 10^0 .. 10^49, each the correctly rounded long double value of its power (the compiler rounds the literals).
constexpr int32_t powersOfTen = 50;
constexpr long double powerOfTen[powersOfTen] = {
    1e0L,  1e1L,  1e2L,  1e3L,  1e4L,  1e5L,  1e6L,  1e7L,  1e8L,  1e9L,  1e10L, 1e11L, 1e12L,
    1e13L, 1e14L, 1e15L, 1e16L, 1e17L, 1e18L, 1e19L, 1e20L, 1e21L, 1e22L, 1e23L, 1e24L, 1e25L,
    1e26L, 1e27L, 1e28L, 1e29L, 1e30L, 1e31L, 1e32L, 1e33L, 1e34L, 1e35L, 1e36L, 1e37L, 1e38L,
    1e39L, 1e40L, 1e41L, 1e42L, 1e43L, 1e44L, 1e45L, 1e46L, 1e47L, 1e48L, 1e49L };
} // namespace

long double Pow10I( int32_t n )
{
   // |n| in 64 bits: the magnitude of INT32_MIN does not fit int32.
   int64_t m = ( n < 0 ) ? -int64_t( n ) : int64_t( n );
   long double value;
   if ( m < powersOfTen )
      value = powerOfTen[m];
   else
   {
      constexpr int32_t top = powersOfTen - 1;
      value = powerOfTen[top];
      m -= top;
      // Once the product has overflowed nothing more can change it; stop instead of looping up to 2^31 / 49 times.
      while ( m >= powersOfTen && !std::isinf( value ) )
      {
         value *= powerOfTen[top];
         m -= top;
      }
      if ( m != 0 && m < powersOfTen )
         value *= powerOfTen[m];
   }
   return ( n < 0 ) ? 1 / value : value;
}

} // namespace qor
