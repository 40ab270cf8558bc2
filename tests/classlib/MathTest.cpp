#include "Math.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <string>

namespace
{
constexpr double pi = 3.14159265358979323846;
constexpr double inf = std::numeric_limits<double>::infinity();
const double notANumber = std::numeric_limits<double>::quiet_NaN();

// The correctly rounded long double value of 10^n, from the C library's decimal conversion.
long double DecimalPowerOfTen( int n )
{
   return std::strtold( ( "1e" + std::to_string( n ) ).c_str(), nullptr );
}
} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Rounding

TEST( Math, RoundGoesToNearestWithTiesToEven )
{
   const double cases[][2] = {
       { 0.5, 0 },
       { 1.5, 2 },
       { 2.5, 2 },
       { 3.5, 4 },
       { -2.5, -2 },
       { -3.5, -4 },
       { 0.4, 0 },
       { -0.6, -1 },
       { 2.5000003, 3 },
       { 1e15 + 0.5, 1e15 },
       { 4503599627370497.0, 4503599627370497.0 },
   };
   for ( const auto& c : cases )
   {
      EXPECT_EQ( qor::Round( c[0] ), c[1] ) << c[0];
      if ( std::fabs( c[0] ) < 1e6 )
      {
         EXPECT_EQ( qor::Round( float( c[0] ) ), float( c[1] ) ) << c[0];
      }
   }
   EXPECT_TRUE( std::signbit( qor::Round( -0.5 ) ) ) << "-0.5 rounds to -0";
   EXPECT_TRUE( std::isnan( qor::Round( notANumber ) ) );
   EXPECT_EQ( qor::Round( -inf ), -inf );
}

TEST( Math, TruncAndSplitGoTowardZero )
{
   const double cases[][2] = { { -2.7, -2 }, { 2.7, 2 }, { -0.3, 0 }, { 7, 7 } };
   for ( const auto& c : cases )
   {
      EXPECT_EQ( qor::Trunc( c[0] ), c[1] ) << c[0];
      EXPECT_EQ( qor::Trunc( float( c[0] ) ), float( c[1] ) ) << c[0];
   }

   float integral = 0, fraction = 0;
   qor::Split( -2.75f, integral, fraction );
   EXPECT_EQ( integral, -2.0f );
   EXPECT_EQ( fraction, -0.75f );
   qor::Split( 3.25f, integral, fraction );
   EXPECT_EQ( integral, 3.0f );
   EXPECT_EQ( fraction, 0.25f );
}

TEST( Math, SplitOfNonFiniteValuesGivesNoSpuriousNaN )
{
   float integral = 0, fraction = 0;
   qor::Split( -float( inf ), integral, fraction );
   EXPECT_EQ( integral, -float( inf ) );
   EXPECT_EQ( fraction, 0.0f );
   EXPECT_TRUE( std::signbit( fraction ) ) << "the fraction keeps the sign of x";

   qor::Split( float( notANumber ), integral, fraction );
   EXPECT_TRUE( std::isnan( integral ) );
   EXPECT_TRUE( std::isnan( fraction ) );
}

// ---------------------------------------------------------------------------------------------------------------
// Powers of ten

TEST( Math, Pow10IIsExactWhereLongDoubleCanHoldTheValue )
{
   // 10^n = 2^n * 5^n is exact while 5^n fits the 64-bit significand, that is up to 10^27.
   long double exact = 1;
   for ( int32_t n = 0; n <= 27; ++n, exact *= 10 )
   {
      EXPECT_EQ( qor::Pow10I( n ), exact ) << "10^" << n;
      EXPECT_EQ( qor::Pow10I( -n ), 1 / exact ) << "10^-" << n;
   }
   for ( int32_t n = 28; n <= 49; ++n )
      EXPECT_EQ( qor::Pow10I( n ), DecimalPowerOfTen( n ) ) << "table entry 10^" << n;
}

TEST( Math, Pow10IBeyondTheTableMultipliesTableEntries )
{
   EXPECT_EQ( qor::Pow10I( 50 ), 1e49L * 1e1L );
   EXPECT_EQ( qor::Pow10I( 100 ), 1e49L * 1e49L * 1e2L );
   EXPECT_EQ( qor::Pow10I( 120 ), 1e49L * 1e49L * 1e22L );
   EXPECT_EQ( qor::Pow10I( 98 ), 1e49L * 1e49L );
   EXPECT_EQ( qor::Pow10I( -100 ), 1 / ( 1e49L * 1e49L * 1e2L ) );
   EXPECT_EQ( qor::Pow10I( -2 ), 1 / 100.0L );
   EXPECT_NEAR( double( qor::Pow10I( 308 ) / 1e308L ), 1.0, 1e-15 );
}

TEST( Math, Pow10IOfHugeExponentsSaturates )
{
   EXPECT_EQ( qor::Pow10I( 5000 ), std::numeric_limits<long double>::infinity() );
   EXPECT_EQ( qor::Pow10I( -5000 ), 0.0L );
   EXPECT_EQ( qor::Pow10I( INT32_MAX ), std::numeric_limits<long double>::infinity() );
   EXPECT_EQ( qor::Pow10I( INT32_MIN ), 0.0L );
}

TEST( Math, Pow10TakesTheExactPathForIntegralExponents )
{
   for ( int32_t n : { 0, 1, 3, 22, 23, 40, -3, -7, -22 } )
   {
      EXPECT_EQ( qor::Pow10( double( n ) ), double( qor::Pow10I( n ) ) ) << n;
      EXPECT_EQ( qor::Pow10( float( n ) ), float( qor::Pow10I( n ) ) ) << n;
   }
   EXPECT_EQ( qor::Pow10( 3.0 ), 1000.0 );
   EXPECT_EQ( qor::Pow10( -3.0 ), 0.001 ) << "1/10^3 rounds to the same double as the literal";
   EXPECT_EQ( qor::Pow10( 1e-300 ), 1.0 );

   EXPECT_DOUBLE_EQ( qor::Pow10( 0.5 ), std::sqrt( 10.0 ) );
   EXPECT_FLOAT_EQ( qor::Pow10( 0.5f ), std::sqrt( 10.0f ) );
   EXPECT_DOUBLE_EQ( qor::Pow10( -1.5 ), 1 / ( 10 * std::sqrt( 10.0 ) ) );
}

TEST( Math, Pow10OfNonFiniteAndOutOfRangeExponents )
{
   EXPECT_TRUE( std::isnan( qor::Pow10( notANumber ) ) );
   EXPECT_TRUE( std::isnan( qor::Pow10( float( notANumber ) ) ) );
   EXPECT_EQ( qor::Pow10( inf ), inf );
   EXPECT_EQ( qor::Pow10( -inf ), 0.0 );
   EXPECT_EQ( qor::Pow10( 1e10 ), inf );
   EXPECT_EQ( qor::Pow10( -1e10 ), 0.0 );
   EXPECT_EQ( qor::Pow10( 2147483648.0 ), inf ) << "integral but outside int32";
   EXPECT_EQ( qor::Pow10( 400.0f ), float( inf ) );
}

// ---------------------------------------------------------------------------------------------------------------
// Other powers, exponentials and trigonometry

TEST( Math, PowIByRepeatedSquaring )
{
   EXPECT_EQ( qor::PowI( 2.0, -3 ), 0.125 );
   EXPECT_EQ( qor::PowI( 0.0, 0 ), 1.0 );
   EXPECT_EQ( qor::PowI( notANumber, 0 ), 1.0 );
   EXPECT_EQ( qor::PowI( 3.0, 5 ), 243.0 );
   EXPECT_EQ( qor::PowI( -2.0f, 7 ), -128.0f );
   EXPECT_EQ( qor::PowI( 0.0, -1 ), inf );
   EXPECT_EQ( qor::PowI( 2.0, INT32_MIN ), 0.0 );
   EXPECT_EQ( qor::PowI( -1.0, INT32_MIN ), 1.0 );
   EXPECT_EQ( qor::PowI( -1.0, INT32_MAX ), -1.0 );
   // Long products stay accurate: the squares are kept in long double and rounded once.
   EXPECT_DOUBLE_EQ( qor::PowI( 1.1, 60 ), std::pow( 1.1, 60 ) );
}

TEST( Math, PowTakesTheExactPathsForIntegralExponentsAndTen )
{
   const float nan = std::numeric_limits<float>::quiet_NaN();
   const float infinity = std::numeric_limits<float>::infinity();
   struct Case
   {
      float x, y, expected;
   } exact[] = {
      { 5.0f, 0.0f, 1.0f },   { 0.0f, 0.0f, 1.0f },        { nan, 0.0f, 1.0f },       { -3.0f, -0.0f, 1.0f },
      { 0.0f, 2.0f, 0.0f },   { 0.0f, -1.0f, 0.0f },       { -0.0f, 0.5f, 0.0f },     { 0.0f, nan, 0.0f },
      { 3.0f, 2.0f, 9.0f },   { -2.0f, 3.0f, -8.0f },      { 2.0f, -2.0f, 0.25f },    { -2.0f, 4.0f, 16.0f },
      { 10.0f, 3.0f, 1000.0f }, { 10.0f, -1.0f, 0.1f },    { 10.0f, 38.0f, 1e38f },   { 10.0f, 39.0f, infinity },
      // Integral exponents beyond int32: the limit of the power.
      { 1.0f, infinity, 1.0f }, { 0.5f, infinity, 0.0f },  { 2.0f, -infinity, 0.0f }, { -2.0f, 1e10f, infinity },
   };
   for ( const Case& k : exact )
      EXPECT_EQ( qor::Pow( k.x, k.y ), k.expected ) << k.x << "^" << k.y;

   // The integral path is PowI's, rounded once from long double, not 2^(y log2 x).
   for ( float x : { 1.1f, 0.7f, 3.3f, 1e-3f, 123.456f } )
      for ( int n : { 2, 3, 5, -4 } )
         EXPECT_EQ( qor::Pow( x, float( n ) ), qor::PowI( x, n ) ) << x << "^" << n;
   EXPECT_EQ( qor::Pow( 1.1f, 2.0f ), float( double( 1.1f ) * double( 1.1f ) ) );

   // Base ten with a fraction goes through Pow10, others through Pow2 and Log2.
   EXPECT_EQ( qor::Pow( 10.0f, 0.5f ), qor::Pow10( 0.5f ) );
   EXPECT_FLOAT_EQ( qor::Pow( 10.0f, 0.5f ), 3.1622777f );
   EXPECT_EQ( qor::Pow( 2.0f, 0.5f ), qor::Pow2( 0.5f * qor::Log2( 2.0f ) ) );
   EXPECT_FLOAT_EQ( qor::Pow( 2.0f, 0.5f ), 1.4142135f );
   EXPECT_FLOAT_EQ( qor::Pow( 0.5f, 2.2f ), 0.21763764f );
   EXPECT_TRUE( std::isnan( qor::Pow( -8.0f, 1.0f / 3.0f ) ) );
   EXPECT_TRUE( std::isnan( qor::Pow( 2.0f, nan ) ) );
   EXPECT_TRUE( std::isnan( qor::Pow( nan, 2.0f ) ) );
}

TEST( Math, ExponentialsAndLogarithmsKnownAnswers )
{
   EXPECT_DOUBLE_EQ( qor::Exp( 1.0 ), 2.718281828459045 );
   EXPECT_FLOAT_EQ( qor::Exp( 1.0f ), 2.7182817f );
   EXPECT_DOUBLE_EQ( qor::Ln( 2.718281828459045 ), 1.0 );
   EXPECT_FLOAT_EQ( qor::Ln( 10.0f ), 2.3025851f );
   EXPECT_EQ( qor::Log2( 8.0 ), 3.0 );
   EXPECT_EQ( qor::Log2( 0.25f ), -2.0f );
   EXPECT_EQ( qor::Pow2( 10.0 ), 1024.0 );
   EXPECT_EQ( qor::Pow2( -1.0f ), 0.5f );
   EXPECT_DOUBLE_EQ( qor::Pow2( 0.5 ), std::sqrt( 2.0 ) );
   EXPECT_EQ( qor::Ln( 0.0f ), -float( inf ) );
   EXPECT_EQ( qor::Sqrt( 2.25 ), 1.5 );
   EXPECT_EQ( qor::Abs( -0.0f ), 0.0f );
   EXPECT_FALSE( std::signbit( qor::Abs( -0.0 ) ) );
}

TEST( Math, ArcTan2FollowsTheQuadrantOfThePoint )
{
   const double cases[][3] = {
       { 1, -1, 3 * pi / 4 }, { 0, -1, pi }, { -1, -1, -3 * pi / 4 }, { 1, 0, pi / 2 }, { -1, 1, -pi / 4 },
   };
   for ( const auto& c : cases )
   {
      EXPECT_DOUBLE_EQ( qor::ArcTan2( c[0], c[1] ), c[2] ) << c[0] << ", " << c[1];
      EXPECT_FLOAT_EQ( qor::ArcTan2( float( c[0] ), float( c[1] ) ), float( c[2] ) ) << c[0] << ", " << c[1];
   }
   EXPECT_FLOAT_EQ( qor::ArcTan2( -0.0f, -1.0f ), -float( pi ) );
}

TEST( Math, SinCosStoresSineFirstThenCosine )
{
   double s = 0, c = 0;
   qor::SinCos( 0.5, s, c );
   EXPECT_DOUBLE_EQ( s, 0.479425538604203 );
   EXPECT_DOUBLE_EQ( c, 0.8775825618903728 );
   float sf = 0, cf = 0;
   qor::SinCos( float( pi / 6 ), sf, cf );
   EXPECT_FLOAT_EQ( sf, 0.5f );
   EXPECT_FLOAT_EQ( cf, float( std::sqrt( 3.0 ) / 2 ) );
   EXPECT_FLOAT_EQ( qor::Sin( float( pi / 6 ) ), 0.5f );
   EXPECT_FLOAT_EQ( qor::Cos( float( pi / 3 ) ), 0.5f );
}

// ---------------------------------------------------------------------------------------------------------------
// Byte order

TEST( Math, ReadBigEndianUInt32PutsTheFirstByteHighest )
{
   const unsigned char bytes[] = { 0x55, 0x00, 0x00, 0x01, 0x02, 0xFF, 0xFE, 0xFD, 0xFC };
   EXPECT_EQ( qor::ReadBigEndianUInt32( bytes + 1 ), 258u );
   EXPECT_EQ( qor::ReadBigEndianUInt32( bytes + 5 ), 0xFFFEFDFCu ) << "high bytes are not sign-extended";
   EXPECT_EQ( qor::ReadBigEndianUInt32( bytes ), 0x55000001u );
   const char signedBytes[] = { char( 0x80 ), 0, 0, char( 0x81 ) };
   EXPECT_EQ( qor::ReadBigEndianUInt32( signedBytes ), 0x80000081u );
}
