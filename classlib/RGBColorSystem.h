#ifndef QOR_RGBCOLORSYSTEM_H
#define QOR_RGBCOLORSYSTEM_H

// qor::RGBColorSystem: an RGB working space, and the per-pixel colour formulas that depend on one.
//
// A working space is a handle on a shared, reference-counted block of values: the transfer function (the sRGB
// function or a power law), the chromaticities and luminance coefficients of the primaries, and what is derived
// from them (the RGB <-> XYZ matrices and the constants that normalise CIE a*, b* and c* into [0, 1]). Copies
// share the block; a handle gets a block of its own only through SetParameters with other values. Two handles are
// "the same working space" exactly when they share their block (SharesDataWith), never by comparing values.
//
// A block never changes after it has been built, so any number of threads may read it and convert through it at
// once; the reference count is atomic, so handles on one block may be copied and destroyed on several threads.
// One handle object is not itself synchronised: do not assign to a handle while another thread uses it.
//
// Normalised units (what images hold for every colour model):
//   CIE XYZ   X/whiteX, Y, Z/whiteZ; RGB white is (1, 1, 1).
//   CIE Lab   L = L*/100; a = (a*/100 + abOffset)/abRange; b likewise.
//   CIE Lch   L = L*/100; c = (c*/100)/cRange; h = hue as a fraction of a turn in [0, 1), from +a* toward +b*.
//   grey      L*/100.
// Nothing is clipped: components outside [0, 1] go through the same formulas.
//
// The formulas are inline, allocate nothing and have no data-dependent branches, so that the image conversions
// (Image::SetColorSpace) can run them vectorised; the image conversions and these per-pixel operations share
// the same code and give the same results bit for bit. Powers, logarithms and angles are computed by the small
// polynomial functions of qor::color below (a few units in the last place of a float), not by the C library,
// whose calls would stop the vectoriser.

#include "Exception.h"

#include <array>
#include <atomic>
#include <bit>
#include <cstdint>
#include <limits>

#define QOR_COLOR_INLINE [[gnu::always_inline]] inline

// Writing these formulas so that they vectorise: every conditional only chooses between values computed on both
// paths (conditions on floats are combined with &, never &&), and the translation unit that runs them over
// arrays is compiled without trapping math, so that the compiler may turn the choices into selects.

namespace qor
{

namespace color
{

// Colour constants (32-bit floats).
constexpr float epsilon = 0.008856452f;       // 216/24389: threshold of the CIE function
constexpr float kappa = 903.2963f;            // 24389/27
constexpr float kappa116 = kappa / 116.0f;    // slope of the linear segment of the CIE function
constexpr float invKappa116 = 116.0f / kappa; // its inverse, for the inverse function
constexpr float oneThird = 0.33333334f;
constexpr float sixteen116 = 0.13793103f; // 16/116
constexpr float sRGBDecodeThreshold = 0.04045f;
constexpr float sRGBEncodeThreshold = 0.0031308f;
constexpr float sRGBExponent = 2.4f;
constexpr float sRGBInvExponent = 1.0f / 2.4f;

// Bits of a float and back (vectorise as plain register moves).
QOR_COLOR_INLINE constexpr int32_t Bits( float x )
{
   return std::bit_cast<int32_t>( x );
}

QOR_COLOR_INLINE constexpr float FromBits( int32_t i )
{
   return std::bit_cast<float>( i );
}

// Nearest integral value (ties to even) of |x| < 2^23, by the classic add-and-subtract of 1.5 * 2^23; exact in the
// default rounding mode, and unlike nearbyint() it needs no SSE4.1 to vectorise.
QOR_COLOR_INLINE float RoundSmall( float x )
{
   constexpr float shifter = 12582912.0f; // 1.5 * 2^23
   return ( x + shifter ) - shifter;
}

// Largest integral value not greater than x, for any float (values of 2^23 and more are integral already; NaN
// stays NaN).
QOR_COLOR_INLINE float Floor( float x )
{
   float r = RoundSmall( x );
   float adjust = r > x ? 1.0f : 0.0f;
   float floor = r - adjust;
   bool large = !( FromBits( Bits( x ) & 0x7fffffff ) < 8388608.0f );
   return large ? x : floor;
}

// log2 of a normal positive x (or +infinity), split as exponent e (an integral value) plus l in [-1/2, 1/2].
QOR_COLOR_INLINE constexpr void Log2Normal( float x, float& e, float& l )
{
   // Integer arithmetic on the bits splits x as 2^k m with m in [sqrt(1/2), sqrt(2)): subtracting the bits of
   // sqrt(1/2) makes the exponent field step up exactly where m would pass sqrt(2).
   int32_t bits = Bits( x );
   int32_t k = ( bits - 0x3f3504f3 ) >> 23;
   float m = FromBits( bits - ( k << 23 ) );
   e = float( k );
   // log2(m) = 2/ln2 (s + s^3/3 + s^5/5 + ...), s = (m - 1)/(m + 1), |s| <= 0.1716.
   float s = ( m - 1.0f ) / ( m + 1.0f );
   float z = s * s;
   float p = 0.32059887f;   // 2/(9 ln 2)
   p = p * z + 0.41219858f; // 2/(7 ln 2)
   p = p * z + 0.57707801f; // 2/(5 ln 2)
   p = p * z + 0.96179669f; // 2/(3 ln 2)
   p = p * z + 2.88539008f; // 2/ln 2
   l = p * s;
}

// 2^r for |r| <= 1/2: a Chebyshev fit of degree 6 (relative error 2.5e-9), exactly 1 at r = 0.
QOR_COLOR_INLINE float Exp2Reduced( float r )
{
   float p = 1.5461445e-4f;
   p = p * r + 1.3400428e-3f;
   p = p * r + 9.6180567e-3f;
   p = p * r + 5.5503272e-2f;
   p = p * r + 0.24022651f;
   p = p * r + 0.69314721f;
   return p * r + 1.0f;
}

// y * (e + l) as n + r, n integral and |r| <= 1/2, with y * e formed exactly: y is split into a head of 12
// significant bits, whose product with an integer below 2^8 is exact, and a tail. This keeps the error of a power
// near one unit in the last place even where |log2 x| is large.
QOR_COLOR_INLINE void ScaleLog( float y, float e, float l, float& n, float& r )
{
   float yHead = FromBits( Bits( y ) & int32_t( 0xfffff000 ) );
   float yTail = y - yHead;
   float head = yHead * e;
   n = RoundSmall( head );
   r = ( head - n ) + ( yTail * e + y * l ); // |r| <= 1/2 + |y|/2 (NaN only for a NaN l)
   float k = RoundSmall( r );
   r = r - k;
   n = n + k;
}

// x^y for x >= 0 and a non-integral y: 2^(y log2 x). Base 0 gives 0, +infinity gives +infinity for y > 0 and 0
// for y < 0, NaN gives NaN; subnormal bases and results are exact to the same precision as the others.
QOR_COLOR_INLINE float PowPositive( float x, float y )
{
   bool positive = x > 0.0f;
   bool finite = x < std::numeric_limits<float>::infinity();
   bool zero = x == 0.0f;
   bool tiny = x < std::numeric_limits<float>::min();
   float arg = positive ? x : 1.0f;
   arg = finite ? arg : 1.0f;
   float scaled = arg * 8388608.0f; // subnormals scaled by 2^23 into the normal range
   arg = tiny ? scaled : arg;
   float e, l;
   Log2Normal( arg, e, l );
   float shift = tiny ? -23.0f : 0.0f;
   e = e + shift;
   float n, r;
   ScaleLog( y, e, l, n, r );
   float p = Exp2Reduced( r );
   // Scale by 2^n in two steps, so that each factor stays a normal float: n is clamped to [-252, 254], where the
   // result has long underflowed or overflowed.
   float nc = n > 254.0f ? 254.0f : n;
   nc = nc < -252.0f ? -252.0f : nc;
   int32_t ni = int32_t( nc );
   int32_t n1 = ni >> 1;
   int32_t n2 = ni - n1;
   float result = p * FromBits( ( n1 + 127 ) << 23 ) * FromBits( ( n2 + 127 ) << 23 );
   float atInfinity = y > 0.0f ? x : 0.0f;
   float special = zero ? 0.0f : x; // NaN or negative: passed through
   result = positive ? result : special;
   return finite ? result : atInfinity;
}

// x^y for a normal positive x and 0 < y <= 1: the lean form for the sRGB encoding, whose caller selects another
// value for every x outside [2^-126, infinity]. With such y the result needs no range checks; +infinity gives
// +infinity.
QOR_COLOR_INLINE float RootNormal( float x, float y )
{
   float e, l;
   Log2Normal( x, e, l );
   float n, r;
   ScaleLog( y, e, l, n, r ); // |n| <= 129
   float result = Exp2Reduced( r ) * FromBits( ( int32_t( n ) + 127 ) << 23 );
   bool infinite = x == std::numeric_limits<float>::infinity();
   return infinite ? x : result;
}

// x^y extended to negative x as -(-x)^y: out-of-gamut components of a power-law space keep their sign instead
// of becoming NaN.
QOR_COLOR_INLINE float PowSigned( float x, float y )
{
   bool negative = x < 0.0f;
   float p = PowPositive( negative ? -x : x, y );
   float np = -p;
   return negative ? np : p;
}

// Power-law gammas that are whole numbers take the exact power instead of 2^(y log2 x): a gamma of 2 squares.
// IntegralGamma() gives the exponent n of such a gamma (2 .. maximumIntegralGamma), else 0.
constexpr int32_t maximumIntegralGamma = 31;

inline constexpr int32_t IntegralGamma( float gamma )
{
   bool integral = gamma >= 2.0f && gamma <= float( maximumIntegralGamma ) && float( int32_t( gamma ) ) == gamma;
   return integral ? int32_t( gamma ) : 0;
}

// x^n extended to negative x as -(-x)^n, for n in 0 .. maximumIntegralGamma: the squares of |x| are multiplied in
// double, selected by the bits of n from the lowest up, and rounded once to a float. The five steps are always
// taken (a clear bit multiplies by 1, which is exact), so that a loop over samples vectorises; products of doubles
// have no fused form, so every instruction set gives the same bits. For n = 2 this is the correctly rounded
// square, the value of PowI; for higher n it differs from PowI's long double product only where that product
// lies within one double rounding of the midpoint between two floats.
QOR_COLOR_INLINE float PowSignedIntegral( float x, int32_t n )
{
   bool negative = x < 0.0f;
   double square = negative ? -double( x ) : double( x );
   double result = 1.0;
   for ( int32_t bit = 0; bit < 5; ++bit )
   {
      double factor = ( n >> bit ) & 1 ? square : 1.0;
      result = result * factor;
      square = square * square;
   }
   float p = float( result );
   float np = -p;
   return negative ? np : p;
}

// The sRGB transfer function and its inverse. Both thresholds are strict (0.04045 itself is on the linear
// segment). Decoding takes ((v + 0.055)/1.055)^2.4 as 2^(2.4 (log2(v + 0.055) - log2 1.055)), which spares a
// division and keeps white exactly 1.
QOR_COLOR_INLINE float SRGBToLinear( float v )
{
   constexpr float log2Of1055 = [] {
      float e = 0, l = 0;
      Log2Normal( 1.055f, e, l ); // e = 0
      return l;
   }();
   float x = v + 0.055f;
   float arg = v > sRGBDecodeThreshold ? x : 1.0f;
   float e, l;
   Log2Normal( arg, e, l );
   float n, r;
   ScaleLog( sRGBExponent, e, l - log2Of1055, n, r );
   float p = Exp2Reduced( r );
   float nc = n > 128.0f ? 128.0f : n;
   float power = p * FromBits( ( int32_t( nc ) + 127 ) << 23 );
   bool infinite = v == std::numeric_limits<float>::infinity();
   power = infinite ? v : power;
   float linear = v * ( 1.0f / 12.92f );
   return v > sRGBDecodeThreshold ? power : linear;
}

QOR_COLOR_INLINE float SRGBFromLinear( float u )
{
   float arg = u > sRGBEncodeThreshold ? u : 1.0f;
   float p = 1.055f * RootNormal( arg, sRGBInvExponent ) - 0.055f;
   float linear = 12.92f * u;
   return u > sRGBEncodeThreshold ? p : linear;
}

// Cube root of t in [2^-126, infinity]: a first guess from the bits (the exponent divided by three), a Halley
// step (3.5% -> 3e-5) and a Newton step, written so that no intermediate value overflows below FLT_MAX.
QOR_COLOR_INLINE float CubeRoot( float t )
{
   float guess = float( Bits( t ) ) * ( 1.0f / 3.0f );
   float y = FromBits( int32_t( guess ) + 709921077 );
   float c = 0.25f * y * y * y; // y^3/4
   y = y * ( ( c + 0.5f * t ) / ( c + c + 0.25f * t ) );
   float d = t / ( y * y );
   y = y - ( y - d ) * ( 1.0f / 3.0f );
   bool infinite = t == std::numeric_limits<float>::infinity();
   return infinite ? t : y;
}

// The CIE function f and its inverse.
QOR_COLOR_INLINE float CIEf( float t )
{
   float root = CubeRoot( t > epsilon ? t : 1.0f );
   float linear = kappa116 * t + sixteen116;
   return t > epsilon ? root : linear;
}

QOR_COLOR_INLINE float CIEfInverse( float s )
{
   float s3 = s * s * s;
   float linear = ( s - sixteen116 ) * invKappa116;
   return s3 > epsilon ? s3 : linear;
}

// Square root (within an ulp or so). The C library's sqrt would stop the vectoriser: it may set errno.
QOR_COLOR_INLINE float Sqrt( float x )
{
   bool tiny = x < std::numeric_limits<float>::min();
   bool regular = ( x > 0.0f ) & ( x < std::numeric_limits<float>::infinity() );
   bool nonNegative = ( x == 0.0f ) | ( x > 0.0f );
   float scaled = x * 16777216.0f; // subnormals scaled by 2^24
   float xs = tiny ? scaled : x;
   xs = regular ? xs : 1.0f;
   float y = FromBits( 0x5f3759df - ( Bits( xs ) >> 1 ) );     // 1/sqrt(xs) within 3.5%
   y = y * ( 1.5f - 0.5f * xs * y * y );
   y = y * ( 1.5f - 0.5f * xs * y * y );
   y = y * ( 1.5f - 0.5f * xs * y * y );
   float root = xs * y;
   root = root + 0.5f * y * ( xs - root * root );
   float unscaled = root * ( 1.0f / 4096.0f );
   root = tiny ? unscaled : root;
   float special = nonNegative ? x : std::numeric_limits<float>::quiet_NaN();
   return regular ? root : special;
}

// Angle of the point (x, y) as a fraction of a full turn in [0, 1), measured from +x toward +y; 0 for the origin.
QOR_COLOR_INLINE float ArcTan2Turns( float y, float x )
{
   float ax = x < 0.0f ? -x : x;
   float ay = y < 0.0f ? -y : y;
   float hi = ax > ay ? ax : ay;
   float lo = ax > ay ? ay : ax;
   float ratio = lo / hi;
   bool origin = !( hi > 0.0f );
   float a = origin ? 0.0f : ratio; // [0, 1]
   // Reduce to |a| <= tan(pi/8) around pi/4.
   bool reduce = a > 0.41421356f;
   float reduced = ( a - 1.0f ) / ( a + 1.0f );
   float z0 = reduce ? reduced : a;
   float z = z0 * z0;
   float p = 8.05374449538e-2f;
   p = p * z - 1.38776856032e-1f;
   p = p * z + 1.99777106478e-1f;
   p = p * z - 3.33329491539e-1f;
   float angle = p * z * z0 + z0;                   // atan(z0), radians
   float u = angle * 0.15915494f + ( reduce ? 0.125f : 0.0f ); // turns, [0, 1/8]
   bool steep = ay > ax, left = x < 0.0f, below = y < 0.0f;
   float u1 = 0.25f - u;
   u = steep ? u1 : u;
   float u2 = 0.5f - u;
   u = left ? u2 : u;
   float u3 = 1.0f - u;
   u = below ? u3 : u;
   bool full = u < 1.0f;
   u = full ? u : 0.0f; // a hue just below a full turn may round to 1
   float nan = x + y;
   bool ordered = ( x == x ) & ( y == y );
   return ordered ? u : nan;
}

// Sine and cosine of an angle given as a fraction of a full turn.
QOR_COLOR_INLINE void SinCosTurns( float turns, float& sinT, float& cosT )
{
   float fraction = turns - Floor( turns );      // [0, 1]
   float q = RoundSmall( 4.0f * fraction );      // quarter turns, 0..4
   bool ordered = q == q;
   q = ordered ? q : 0.0f;
   float r = fraction - 0.25f * q;               // [-1/8, 1/8] turn, exact
   float x = r * 6.2831855f;                                  // [-pi/4, pi/4]
   float z = x * x;
   float s = -1.9515295891e-4f;
   s = s * z + 8.3321608736e-3f;
   s = s * z - 1.6666654611e-1f;
   s = s * z * x + x;
   float c = 2.443315711809948e-5f;
   c = c * z - 1.388731625493765e-3f;
   c = c * z + 4.166664568298827e-2f;
   c = c * z * z - 0.5f * z + 1.0f;
   int32_t quadrant = int32_t( q ) & 3;
   float ns = -s, nc = -c;
   float sq = quadrant == 0 ? s : ( quadrant == 1 ? c : ( quadrant == 2 ? ns : nc ) );
   float cq = quadrant == 0 ? c : ( quadrant == 1 ? ns : ( quadrant == 2 ? nc : s ) );
   float nan = turns - turns; // 0, or NaN for an infinite or NaN angle
   bool finite = nan == 0.0f;
   sinT = finite ? sq : nan;
   cosT = finite ? cq : nan;
}

// The formulas of a working space, for any record S that has the fields of RGBColorSystem::Data and the two
// transfer functions ToLinear/FromLinear (the image conversions use records with a fixed transfer function).

template <class S> QOR_COLOR_INLINE void RGBToXYZ( const S& s, float& X, float& Y, float& Z, float r, float g, float b )
{
   const float* M = s.rgbToXYZ;
   float R = s.ToLinear( r ), G = s.ToLinear( g ), B = s.ToLinear( b );
   X = ( M[0] * R + M[1] * G + M[2] * B ) * s.invWhiteX;
   Y = M[3] * R + M[4] * G + M[5] * B;
   Z = ( M[6] * R + M[7] * G + M[8] * B ) * s.invWhiteZ;
}

template <class S> QOR_COLOR_INLINE void XYZToRGB( const S& s, float& r, float& g, float& b, float X, float Y, float Z )
{
   const float* N = s.xyzToRGB;
   float Xw = s.whiteX * X, Zw = s.whiteZ * Z;
   float R = N[0] * Xw + N[1] * Y + N[2] * Zw;
   float G = N[3] * Xw + N[4] * Y + N[5] * Zw;
   float B = N[6] * Xw + N[7] * Y + N[8] * Zw;
   r = s.FromLinear( R );
   g = s.FromLinear( G );
   b = s.FromLinear( B );
}

// L*/100, a*/100 and b*/100 (not normalised) of an XYZ triple.
QOR_COLOR_INLINE void XYZToLabPrime( float& L, float& a, float& b, float X, float Y, float Z )
{
   float fx = CIEf( X ), fy = CIEf( Y ), fz = CIEf( Z );
   L = 1.16f * fy - 0.16f;
   a = 5.0f * ( fx - fy );
   b = 2.0f * ( fy - fz );
}

QOR_COLOR_INLINE void LabPrimeToXYZ( float& X, float& Y, float& Z, float L, float a, float b )
{
   float fy = ( L + 0.16f ) * ( 1.0f / 1.16f );
   float fx = fy + a * 0.2f;
   float fz = fy - b * 0.5f;
   X = CIEfInverse( fx );
   Y = CIEfInverse( fy );
   Z = CIEfInverse( fz );
}

template <class S> QOR_COLOR_INLINE void XYZToLab( const S& s, float& L, float& a, float& b, float X, float Y, float Z )
{
   float ap, bp;
   XYZToLabPrime( L, ap, bp, X, Y, Z );
   a = ( ap + s.abOffset ) * s.invAbRange;
   b = ( bp + s.abOffset ) * s.invAbRange;
}

template <class S> QOR_COLOR_INLINE void LabToXYZ( const S& s, float& X, float& Y, float& Z, float L, float a, float b )
{
   LabPrimeToXYZ( X, Y, Z, L, s.abRange * a - s.abOffset, s.abRange * b - s.abOffset );
}

// c and h of Lch from a*/100 and b*/100.
template <class S> QOR_COLOR_INLINE void LabPrimeToCh( const S& s, float& c, float& h, float ap, float bp )
{
   c = Sqrt( ap * ap + bp * bp ) * s.invCRange;
   h = ArcTan2Turns( bp, ap );
}

template <class S> QOR_COLOR_INLINE void ChToLabPrime( const S& s, float& ap, float& bp, float c, float h )
{
   float sinT, cosT;
   SinCosTurns( h, sinT, cosT );
   float cp = s.cRange * c;
   ap = cp * cosT;
   bp = cp * sinT;
}

template <class S> QOR_COLOR_INLINE void LabToLch( const S& s, float& L, float& c, float& h, float l, float a, float b )
{
   LabPrimeToCh( s, c, h, s.abRange * a - s.abOffset, s.abRange * b - s.abOffset );
   L = l;
}

template <class S> QOR_COLOR_INLINE void LchToLab( const S& s, float& L, float& a, float& b, float l, float c, float h )
{
   float ap, bp;
   ChToLabPrime( s, ap, bp, c, h );
   a = ( ap + s.abOffset ) * s.invAbRange;
   b = ( bp + s.abOffset ) * s.invAbRange;
   L = l;
}

// XYZ <-> Lch without forming the normalised a and b in between.
template <class S> QOR_COLOR_INLINE void XYZToLch( const S& s, float& L, float& c, float& h, float X, float Y, float Z )
{
   float ap, bp;
   XYZToLabPrime( L, ap, bp, X, Y, Z );
   LabPrimeToCh( s, c, h, ap, bp );
}

template <class S> QOR_COLOR_INLINE void LchToXYZ( const S& s, float& X, float& Y, float& Z, float L, float c, float h )
{
   float ap, bp;
   ChToLabPrime( s, ap, bp, c, h );
   LabPrimeToXYZ( X, Y, Z, L, ap, bp );
}

// CIE L*/100 of an RGB triple: the grey value of a conversion to grey.
template <class S> QOR_COLOR_INLINE float RGBToL( const S& s, float r, float g, float b )
{
   const float* M = s.rgbToXYZ;
   float Y = M[3] * s.ToLinear( r ) + M[4] * s.ToLinear( g ) + M[5] * s.ToLinear( b );
   return 1.16f * CIEf( Y ) - 0.16f;
}

} // namespace color

// HSV components of an RGB triple: h the hue as a fraction of a turn in [0, 1) (0 red, 1/3 green, 2/3 blue),
// s = (max - min)/max, v = max. A grey (max = min) gives h = s = 0. These need no working space.
QOR_COLOR_INLINE void RGBToHSV( float& h, float& s, float& v, float r, float g, float b )
{
   float mx = r > g ? r : g;
   mx = mx > b ? mx : b;
   float mn = r < g ? r : g;
   mn = mn < b ? mn : b;
   float d = mx - mn;
   bool grey = !( d != 0.0f );
   float dd = grey ? 1.0f : d;
   float hr = ( g - b ) / dd;
   float hg = 2.0f + ( b - r ) / dd;
   float hb = 4.0f + ( r - g ) / dd;
   bool isR = r == mx, isG = g == mx;
   float hh = ( isR ? hr : ( isG ? hg : hb ) ) / 6.0f;
   float wrapped = hh + 1.0f;
   bool negative = hh < 0.0f;
   hh = negative ? wrapped : hh;
   bool below1 = hh < 1.0f;
   hh = below1 ? hh : 0.0f; // a hue just below a full turn may round to 1
   float sat = d / mx;
   h = grey ? 0.0f : hh;
   s = grey ? 0.0f : sat;
   v = mx;
}

// RGB components of an HSV triple. The hue is periodic: h and h + 1 give the same colour (h = 1 is red).
QOR_COLOR_INLINE void HSVToRGB( float& r, float& g, float& b, float h, float s, float v )
{
   float turns = h - color::Floor( h ); // [0, 1]; exactly h for h in [0, 1)
   float w = 6.0f * turns;
   float i = color::Floor( w );
   float f = w - i;
   bool ordered = i == i;
   int32_t sector = int32_t( ordered ? i : 0.0f );
   sector = sector >= 6 ? sector - 6 : sector;
   float p = v * ( 1.0f - s );
   float q = v * ( 1.0f - s * f );
   float t = v * ( 1.0f - s * ( 1.0f - f ) );
   // By sector: 0 (v, t, p), 1 (q, v, p), 2 (p, v, t), 3 (p, q, v), 4 (t, p, v), 5 (v, p, q).
   // (Selected with bit masks: six comparisons of one integer would otherwise become a jump table.)
   int32_t m0 = -int32_t( sector == 0 ), m1 = -int32_t( sector == 1 ), m2 = -int32_t( sector == 2 );
   int32_t m3 = -int32_t( sector == 3 ), m4 = -int32_t( sector == 4 ), m5 = -int32_t( sector == 5 );
   int32_t iv = color::Bits( v ), ip = color::Bits( p ), iq = color::Bits( q ), it = color::Bits( t );
   float rr = color::FromBits( ( iv & ( m0 | m5 ) ) | ( iq & m1 ) | ( ip & ( m2 | m3 ) ) | ( it & m4 ) );
   float gg = color::FromBits( ( it & m0 ) | ( iv & ( m1 | m2 ) ) | ( iq & m3 ) | ( ip & ( m4 | m5 ) ) );
   float bb = color::FromBits( ( ip & ( m0 | m1 ) ) | ( it & m2 ) | ( iv & ( m3 | m4 ) ) | ( iq & m5 ) );
   bool flat = s == 0.0f;
   r = flat ? v : rr;
   g = flat ? v : gg;
   b = flat ? v : bb;
}

// Inverse of a 3x3 matrix (row-major): the adjugate divided by the determinant, evaluated in extended precision.
// A singular matrix gives non-finite elements; RGBColorSystem::IsValidSpace is the test for that.
std::array<float, 9> InvertMatrix3x3( const std::array<float, 9>& m );

class RGBColorSystem
{
public:
   // The values of a working space: parameters and what Initialize derives from them. A plain, copyable record,
   // so hot loops can take a copy that no sample store can alias.
   struct Data
   {
      float gamma = 2.2f;     // exponent of the power-law transfer function
      float invGamma = 0;     // 1/gamma
      bool sRGBGamma = true;  // the sRGB transfer function is used instead of the power law
      float x[3] = {};        // chromaticities x of red, green, blue
      float y[3] = {};        // chromaticities y
      float Y[3] = {};        // luminance coefficients, summing to 1
      float rgbToXYZ[9] = {}; // rows X, Y, Z; column i for primary i
      float xyzToRGB[9] = {}; // its inverse
      float whiteX = 0;       // X of RGB white (sum of the X row)
      float whiteZ = 0;       // Z of RGB white (sum of the Z row)
      float abOffset = 0;     // normalisation of a* and b*: a = (a*/100 + abOffset)/abRange
      float abRange = 0;
      float cRange = 0;       // normalisation of c*: c = (c*/100)/cRange
      // Reciprocals used by the formulas in place of divisions.
      float invWhiteX = 0, invWhiteZ = 0, invAbRange = 0, invCRange = 0;

      // Derives every field from the parameters (gamma, sRGBGamma, x, y, Y).
      void Initialize();

      // Transfer functions: the sRGB function, or the power law (exactly the identity for gamma 1, the exact power
      // for a whole gamma).
      QOR_COLOR_INLINE float ToLinear( float v ) const
      {
         if ( sRGBGamma )
            return color::SRGBToLinear( v );
         if ( gamma == 1.0f )
            return v;
         int32_t n = color::IntegralGamma( gamma );
         return n != 0 ? color::PowSignedIntegral( v, n ) : color::PowSigned( v, gamma );
      }

      QOR_COLOR_INLINE float FromLinear( float u ) const
      {
         return sRGBGamma ? color::SRGBFromLinear( u ) : ( gamma == 1.0f ? u : color::PowSigned( u, invGamma ) );
      }
   };

   // Thrown by SetParameters for values that give no usable working space.
   class InvalidParameters : public Exception
   {
   public:
      std::string ClassText() const override { return "RGB working space"; }
      std::string ErrorText() const override { return "Invalid working space parameters"; }
   };

   // A block of its own with the default parameters: the sRGB primaries adapted to D50, the sRGB function.
   RGBColorSystem();
   RGBColorSystem( const RGBColorSystem& other ); // shares the other's block
   RGBColorSystem& operator=( const RGBColorSystem& other );
   virtual ~RGBColorSystem();

   // New parameters. Y is normalised to sum 1 first. When every value equals the current block's, nothing
   // happens (the handle keeps its block and its sharers); otherwise the handle moves to a new block. Throws
   // InvalidParameters, leaving the handle as it was, when the values give a singular or non-finite space (see
   // IsValidSpace) or, with a power law, a gamma that is not a positive finite number.
   void SetParameters( float gamma, bool sRGBGamma, const float x[3], const float y[3], const float Y[3] );

   // Whether primaries with these chromaticities and luminance coefficients span a working space: their
   // matrix is finite and its determinant does not vanish against 1 in extended precision.
   static bool IsValidSpace( const float x[3], const float y[3], const float Y[3] );

   // The RGB -> XYZ matrix of the primaries: column i is Y[i] * (x[i]/y[i], 1, (1 - x[i] - y[i])/y[i]).
   static std::array<float, 9> RGBToXYZMatrix( const float x[3], const float y[3], const float Y[3] );

   bool SharesDataWith( const RGBColorSystem& other ) const { return block == other.block; }

   // Number of handles sharing this handle's block.
   int32_t RefCount() const { return block->refCount.load( std::memory_order_relaxed ); }

   // Read access to the block.
   const Data& Values() const { return block->data; }
   float Gamma() const { return block->data.gamma; }
   bool IsSRGB() const { return block->data.sRGBGamma; }

   // Per-pixel conversions (input and output may be the same variables).
   float ToLinear( float v ) const { return block->data.ToLinear( v ); }
   float FromLinear( float u ) const { return block->data.FromLinear( u ); }

   void RGBToCIEXYZ( float& X, float& Y, float& Z, float r, float g, float b ) const
   {
      color::RGBToXYZ( block->data, X, Y, Z, r, g, b );
   }

   void CIEXYZToRGB( float& r, float& g, float& b, float X, float Y, float Z ) const
   {
      color::XYZToRGB( block->data, r, g, b, X, Y, Z );
   }

   void CIEXYZToCIELab( float& L, float& a, float& b, float X, float Y, float Z ) const
   {
      color::XYZToLab( block->data, L, a, b, X, Y, Z );
   }

   void CIELabToCIEXYZ( float& X, float& Y, float& Z, float L, float a, float b ) const
   {
      color::LabToXYZ( block->data, X, Y, Z, L, a, b );
   }

   void CIELabToCIELch( float& L, float& c, float& h, float l, float a, float b ) const
   {
      color::LabToLch( block->data, L, c, h, l, a, b );
   }

   void CIELchToCIELab( float& L, float& a, float& b, float l, float c, float h ) const
   {
      color::LchToLab( block->data, L, a, b, l, c, h );
   }

   float RGBToCIEL( float r, float g, float b ) const { return color::RGBToL( block->data, r, g, b ); }

   // Compositions: RGB <-> Lab through XYZ; RGB <-> Lch without forming the normalised a and b in between.
   void RGBToCIELab( float& L, float& a, float& b, float r, float g, float bl ) const
   {
      float X, Y, Z;
      RGBToCIEXYZ( X, Y, Z, r, g, bl );
      CIEXYZToCIELab( L, a, b, X, Y, Z );
   }

   void CIELabToRGB( float& r, float& g, float& b, float L, float a, float bl ) const
   {
      float X, Y, Z;
      CIELabToCIEXYZ( X, Y, Z, L, a, bl );
      CIEXYZToRGB( r, g, b, X, Y, Z );
   }

   void RGBToCIELch( float& L, float& c, float& h, float r, float g, float b ) const
   {
      float X, Y, Z;
      RGBToCIEXYZ( X, Y, Z, r, g, b );
      color::XYZToLch( block->data, L, c, h, X, Y, Z );
   }

   void CIELchToRGB( float& r, float& g, float& b, float L, float c, float h ) const
   {
      float X, Y, Z;
      color::LchToXYZ( block->data, X, Y, Z, L, c, h );
      CIEXYZToRGB( r, g, b, X, Y, Z );
   }

private:
   struct Block
   {
      std::atomic<int32_t> refCount{ 1 };
      Data data;
   };

   Block* block;

   void Release() noexcept;
};

namespace color
{

// Working-space records with the transfer function fixed, for loops over many pixels: with one of these in place
// of RGBColorSystem::Data the formulas above hold no branch on the kind of transfer function. Choose by
// Data::sRGBGamma, then gamma == 1 (LinearSpace), then IntegralGamma(gamma) != 0 (IntegralPowerLawSpace), else
// PowerLawSpace.
struct SRGBSpace : RGBColorSystem::Data
{
   explicit SRGBSpace( const RGBColorSystem::Data& d ) : Data( d ) {}
   QOR_COLOR_INLINE float ToLinear( float v ) const { return SRGBToLinear( v ); }
   QOR_COLOR_INLINE float FromLinear( float u ) const { return SRGBFromLinear( u ); }
};

struct PowerLawSpace : RGBColorSystem::Data
{
   explicit PowerLawSpace( const RGBColorSystem::Data& d ) : Data( d ) {}
   QOR_COLOR_INLINE float ToLinear( float v ) const { return PowSigned( v, gamma ); }
   QOR_COLOR_INLINE float FromLinear( float u ) const { return PowSigned( u, invGamma ); }
};

// A power law of a whole gamma: the exact power going to linear, the general one coming back.
struct IntegralPowerLawSpace : RGBColorSystem::Data
{
   explicit IntegralPowerLawSpace( const RGBColorSystem::Data& d ) : Data( d ), n( IntegralGamma( d.gamma ) ) {}
   QOR_COLOR_INLINE float ToLinear( float v ) const { return PowSignedIntegral( v, n ); }
   QOR_COLOR_INLINE float FromLinear( float u ) const { return PowSigned( u, invGamma ); }
   int32_t n;
};

struct LinearSpace : RGBColorSystem::Data
{
   explicit LinearSpace( const RGBColorSystem::Data& d ) : Data( d ) {}
   QOR_COLOR_INLINE float ToLinear( float v ) const { return v; }
   QOR_COLOR_INLINE float FromLinear( float u ) const { return u; }
};

} // namespace color

} // namespace qor

#endif
