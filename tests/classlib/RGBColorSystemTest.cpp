#include <gtest/gtest.h>

#include "Math.h"
#include "RGBColorSystem.h"

#include <cmath>
#include <random>
#include <thread>
#include <vector>

using qor::RGBColorSystem;

namespace
{

const float sRGBx[3] = { 0.648431f, 0.321152f, 0.155886f };
const float sRGBy[3] = { 0.330856f, 0.597871f, 0.066044f };
const float sRGBY[3] = { 0.222491f, 0.716888f, 0.060621f };

// Double-precision references of the default space, computed from the same float parameters.
const double refMatrix[9] = { 0.4360509157866887,  0.3850830988258256,  0.14308589123732468,
                              0.22249099612236023, 0.7168880105018616,  0.060621000826358795,
                              0.013928888694643196, 0.09709692351697202, 0.7141811565485213 };
const double refInverse[9] = { 3.134060531844638,   -1.6170350749173557, -0.49065080556223084,
                               -0.9787603104879904, 1.9161378694973008,  0.033448930631451726,
                               0.07194341971562669, -0.22897214395712673, 1.4052267033331947 };

double SRGBToLinearReference( double v )
{
   return v > 0.04045 ? std::pow( ( v + 0.055 ) / 1.055, 2.4 ) : v / 12.92;
}

double CIEfReference( double t )
{
   return t > 216.0 / 24389 ? std::cbrt( t ) : 24389.0 / 27 / 116 * t + 16.0 / 116;
}

// L*/100, a*/100, b*/100 of an sRGB colour in the default space, in double precision.
void LabPrimeReference( double r, double g, double b, double& L, double& ap, double& bp )
{
   const double* M = refMatrix;
   double R = SRGBToLinearReference( r ), G = SRGBToLinearReference( g ), B = SRGBToLinearReference( b );
   double X = ( M[0] * R + M[1] * G + M[2] * B ) / ( M[0] + M[1] + M[2] );
   double Y = M[3] * R + M[4] * G + M[5] * B;
   double Z = ( M[6] * R + M[7] * G + M[8] * B ) / ( M[6] + M[7] + M[8] );
   double fx = CIEfReference( X ), fy = CIEfReference( Y ), fz = CIEfReference( Z );
   L = 1.16 * fy - 0.16;
   ap = 5 * ( fx - fy );
   bp = 2 * ( fy - fz );
}

} // namespace

TEST( RGBColorSystem, DefaultSpaceMatricesWhiteAndNormalisation )
{
   RGBColorSystem ws;
   const RGBColorSystem::Data& d = ws.Values();
   EXPECT_TRUE( d.sRGBGamma );
   EXPECT_FLOAT_EQ( d.gamma, 2.2f );
   for ( int i = 0; i < 9; ++i )
   {
      EXPECT_NEAR( d.rgbToXYZ[i], refMatrix[i], 1e-6 ) << i;
      EXPECT_NEAR( d.xyzToRGB[i], refInverse[i], 2e-6 ) << i;
   }
   // The D50 white, as the published Bradford-adapted sRGB matrix gives it.
   EXPECT_NEAR( d.whiteX, 0.96422, 1e-4 );
   EXPECT_NEAR( d.whiteZ, 0.82521, 1e-4 );

   // The extremes lie at corners of the cube: lo is b' of blue, hi a' of magenta, cmax c' of blue.
   double L, ap, bp;
   LabPrimeReference( 0, 0, 1, L, ap, bp );
   double lo = bp, cmax = std::hypot( ap, bp );
   LabPrimeReference( 1, 0, 1, L, ap, bp );
   double hi = ap;
   EXPECT_NEAR( d.abOffset, 0.05 - lo, 2e-6 );
   EXPECT_NEAR( d.abRange, hi - lo + 0.1, 2e-6 );
   EXPECT_NEAR( d.cRange, cmax + 0.05, 2e-6 );
   EXPECT_NEAR( d.abOffset, 1.1702859, 2e-6 );
   EXPECT_NEAR( d.abRange, 2.1557782, 2e-6 );
   EXPECT_NEAR( d.cRange, 1.3620583, 2e-6 );
}

TEST( RGBColorSystem, KnownColours )
{
   RGBColorSystem ws;
   const RGBColorSystem::Data& d = ws.Values();
   const float neutralA = d.abOffset / d.abRange;
   float X, Y, Z, L, a, b, c, h;

   ws.RGBToCIEXYZ( X, Y, Z, 1, 1, 1 );
   EXPECT_NEAR( X, 1, 2e-7 );
   EXPECT_NEAR( Y, 1, 2e-7 );
   EXPECT_NEAR( Z, 1, 2e-7 );
   ws.RGBToCIELab( L, a, b, 1, 1, 1 );
   EXPECT_NEAR( L, 1, 3e-7 );
   EXPECT_NEAR( a, neutralA, 3e-7 );
   EXPECT_NEAR( b, neutralA, 3e-7 );
   ws.RGBToCIELch( L, c, h, 1, 1, 1 );
   EXPECT_NEAR( c, 0, 3e-7 );

   ws.RGBToCIELab( L, a, b, 0, 0, 0 );
   EXPECT_NEAR( L, 0, 1e-7 );
   EXPECT_NEAR( a, neutralA, 1e-7 );
   EXPECT_NEAR( b, neutralA, 1e-7 );

   // Mid grey: the same linear value in every component, L* = 53.389, and the grey value is that L.
   EXPECT_NEAR( ws.ToLinear( 0.5f ), SRGBToLinearReference( 0.5 ), 1e-7 );
   ws.RGBToCIELab( L, a, b, 0.5f, 0.5f, 0.5f );
   EXPECT_NEAR( L * 100, 53.38896, 5e-5 );
   EXPECT_FLOAT_EQ( ws.RGBToCIEL( 0.5f, 0.5f, 0.5f ), L );

   // Primaries: a column of the matrix, relative to white.
   const float primaries[3][3] = { { 1, 0, 0 }, { 0, 1, 0 }, { 0, 0, 1 } };
   for ( int i = 0; i < 3; ++i )
   {
      ws.RGBToCIEXYZ( X, Y, Z, primaries[i][0], primaries[i][1], primaries[i][2] );
      EXPECT_NEAR( X, refMatrix[i] / ( refMatrix[0] + refMatrix[1] + refMatrix[2] ), 3e-7 ) << i;
      EXPECT_NEAR( Y, refMatrix[3 + i], 3e-7 ) << i;
      EXPECT_NEAR( Z, refMatrix[6 + i] / ( refMatrix[6] + refMatrix[7] + refMatrix[8] ), 3e-7 ) << i;
      double Lr, ar, br;
      LabPrimeReference( primaries[i][0], primaries[i][1], primaries[i][2], Lr, ar, br );
      ws.RGBToCIELab( L, a, b, primaries[i][0], primaries[i][1], primaries[i][2] );
      EXPECT_NEAR( L, Lr, 5e-7 ) << i;
      EXPECT_NEAR( a, ( ar + d.abOffset ) / d.abRange, 5e-7 ) << i;
      EXPECT_NEAR( b, ( br + d.abOffset ) / d.abRange, 5e-7 ) << i;
   }
}

TEST( RGBColorSystem, EveryRGBColourNormalisesIntoTheUnitInterval )
{
   RGBColorSystem ws;
   for ( int i = 0; i <= 20; ++i )
      for ( int j = 0; j <= 20; ++j )
         for ( int k = 0; k <= 20; ++k )
         {
            float L, a, b, c, h;
            ws.RGBToCIELab( L, a, b, i / 20.0f, j / 20.0f, k / 20.0f );
            ws.RGBToCIELch( L, c, h, i / 20.0f, j / 20.0f, k / 20.0f );
            ASSERT_TRUE( a > 0 && a < 1 && b > 0 && b < 1 && c >= 0 && c < 1 && h >= 0 && h < 1 )
               << i << " " << j << " " << k;
         }
}

TEST( RGBColorSystem, HueDirectionsAndTransferThresholds )
{
   RGBColorSystem ws;
   const RGBColorSystem::Data& d = ws.Values();
   auto normalised = [&]( float prime ) { return ( prime + d.abOffset ) / d.abRange; };
   struct Case
   {
      float ap, bp, hue;
   } cases[] = { { 0.3f, 0, 0 }, { 0, 0.3f, 0.25f }, { -0.3f, 0, 0.5f }, { 0, -0.3f, 0.75f }, { 0.3f, 0.3f, 0.125f } };
   for ( const Case& k : cases )
   {
      float L, c, h;
      ws.CIELabToCIELch( L, c, h, 0.5f, normalised( k.ap ), normalised( k.bp ) );
      EXPECT_NEAR( h, k.hue, 1e-6 ) << k.ap << " " << k.bp;
      EXPECT_NEAR( c * d.cRange, std::hypot( k.ap, k.bp ), 1e-6 );
      EXPECT_EQ( L, 0.5f );
   }

   EXPECT_EQ( ws.ToLinear( 0.04045f ), 0.04045f * ( 1.0f / 12.92f ) ); // the threshold takes the linear segment
   EXPECT_EQ( ws.ToLinear( 1 ), 1.0f );
   EXPECT_EQ( ws.ToLinear( 0 ), 0.0f );

   RGBColorSystem power;
   power.SetParameters( 1.8f, false, sRGBx, sRGBy, sRGBY );
   EXPECT_EQ( power.ToLinear( 0 ), 0.0f );
   EXPECT_EQ( power.ToLinear( 1 ), 1.0f );
   EXPECT_NEAR( power.ToLinear( 0.5f ), std::pow( 0.5, 1.8 ), 2e-7 );
   // Out-of-gamut components of a power law keep their sign rather than becoming NaN.
   EXPECT_EQ( power.ToLinear( -0.5f ), -power.ToLinear( 0.5f ) );
   EXPECT_EQ( power.FromLinear( -0.25f ), -power.FromLinear( 0.25f ) );

   // A whole gamma takes the exact power, rounded once.
   std::mt19937 rng( 5 );
   std::uniform_real_distribution<float> unit( 0, 1 );
   for ( int n : { 2, 3, 4, 7 } )
   {
      RGBColorSystem whole;
      whole.SetParameters( float( n ), false, sRGBx, sRGBy, sRGBY );
      for ( int k = 0; k < 20000; ++k )
      {
         float v = unit( rng );
         ASSERT_EQ( whole.ToLinear( v ), qor::PowI( v, n ) ) << v << "^" << n;
         ASSERT_EQ( whole.ToLinear( -v ), -whole.ToLinear( v ) );
      }
      EXPECT_EQ( whole.ToLinear( 3.0f ), qor::PowI( 3.0f, n ) );
      EXPECT_EQ( whole.ToLinear( 0 ), 0.0f );
      EXPECT_EQ( whole.ToLinear( 1 ), 1.0f );
      EXPECT_TRUE( std::isnan( whole.ToLinear( NAN ) ) );
   }
   RGBColorSystem squares;
   squares.SetParameters( 2.0f, false, sRGBx, sRGBy, sRGBY );
   EXPECT_EQ( squares.ToLinear( 0.1f ), float( double( 0.1f ) * double( 0.1f ) ) );
   EXPECT_EQ( squares.ToLinear( 1e30f ), INFINITY );
   EXPECT_EQ( squares.ToLinear( 1e-30f ), 0.0f );

   RGBColorSystem linear;
   linear.SetParameters( 1.0f, false, sRGBx, sRGBy, sRGBY );
   for ( float v : { -0.3f, 0.123456f, 0.7f, 2.5f } )
   {
      EXPECT_EQ( linear.ToLinear( v ), v );
      EXPECT_EQ( linear.FromLinear( v ), v );
   }
}

// The polynomial helpers against the C library in double precision.
TEST( RGBColorSystem, MathHelpersAgainstReferences )
{
   namespace c = qor::color;
   std::mt19937 rng( 7 );
   std::uniform_real_distribution<float> unit( 0, 1 ), wide( -20, 20 ), exponent( -40, 40 );
   double worstPow = 0, worstSqrt = 0, worstAtan = 0, worstSin = 0;
   for ( int n = 0; n < 200000; ++n )
   {
      float x = std::ldexp( 1.0f + unit( rng ), int( exponent( rng ) ) );
      for ( float y : { 2.4f, 1 / 2.4f, 0.33333334f, 1.8f } )
      {
         double ref = std::pow( double( x ), double( y ) );
         if ( ref < 1e30 && ref > 1e-30 )
            worstPow = std::max( worstPow, std::abs( c::PowPositive( x, y ) / ref - 1 ) );
      }
      worstSqrt = std::max( worstSqrt, std::abs( c::Sqrt( x ) / std::sqrt( double( x ) ) - 1 ) );
      float ay = wide( rng ), ax = wide( rng );
      double turns = std::atan2( double( ay ), double( ax ) ) / ( 2 * M_PI );
      turns += turns < 0 ? 1 : 0;
      double diff = std::abs( c::ArcTan2Turns( ay, ax ) - turns );
      worstAtan = std::max( worstAtan, std::min( diff, 1 - diff ) );
      float t = wide( rng );
      float s, co;
      c::SinCosTurns( t, s, co );
      worstSin = std::max( { worstSin, std::abs( s - std::sin( 2 * M_PI * double( t ) ) ),
                             std::abs( co - std::cos( 2 * M_PI * double( t ) ) ) } );
      float fl = wide( rng ) * 1000;
      ASSERT_EQ( c::Floor( fl ), std::floor( fl ) ) << fl;
   }
   EXPECT_LT( worstPow, 4e-7 );
   EXPECT_LT( worstSqrt, 1.2e-7 );
   EXPECT_LT( worstAtan, 2e-7 );
   EXPECT_LT( worstSin, 4e-7 );

   // Special values.
   EXPECT_EQ( c::PowPositive( 0, 2.4f ), 0.0f );
   EXPECT_EQ( c::PowPositive( 1, 2.4f ), 1.0f );
   EXPECT_EQ( c::PowPositive( INFINITY, 2.4f ), INFINITY );
   EXPECT_TRUE( std::isnan( c::PowPositive( NAN, 2.4f ) ) );
   EXPECT_NEAR( c::PowPositive( 1e-40f, 0.5f ), std::sqrt( double( 1e-40f ) ), 1e-27 ); // subnormal base
   EXPECT_EQ( c::PowPositive( 1e30f, 2.4f ), INFINITY );
   EXPECT_NEAR( c::PowPositive( 1e-20f, 2.2f ), std::pow( double( 1e-20f ), 2.2 ), 1e-45 ); // subnormal result
   EXPECT_EQ( c::PowPositive( 1e-30f, 2.4f ), 0.0f );
   EXPECT_EQ( c::PowPositive( 1e-30f, -2.4f ), INFINITY );
   EXPECT_EQ( c::Sqrt( 0 ), 0.0f );
   EXPECT_TRUE( std::isnan( c::Sqrt( -1 ) ) );
   EXPECT_EQ( c::Floor( -0.5f ), -1.0f );
   EXPECT_EQ( c::Floor( 3e9f ), 3e9f );
   EXPECT_EQ( c::ArcTan2Turns( 0, 0 ), 0.0f );
   EXPECT_GE( c::ArcTan2Turns( -1e-30f, 1 ), 0.0f ); // never a full turn
   EXPECT_LT( c::ArcTan2Turns( -1e-30f, 1 ), 1.0f );
}

// Round trips lose what float storage of the intermediate values loses: about 2e-7 in linear light, which the
// sRGB function's slope of 12.92 near black turns into some 6e-6 for a dark component beside bright ones. A power
// law has an unbounded slope at black, so its colours are drawn from [0.05, 1].
TEST( RGBColorSystem, PerPixelRoundTrips )
{
   RGBColorSystem srgb, power;
   power.SetParameters( 1.8f, false, sRGBx, sRGBy, sRGBY );
   std::mt19937 rng( 11 );
   for ( const RGBColorSystem* ws : { &srgb, &power } )
   {
      std::uniform_real_distribution<float> unit( ws == &srgb ? 0.0f : 0.05f, 1.0f );
      double worst = 0;
      for ( int n = 0; n < 100000; ++n )
      {
         float r = unit( rng ), g = unit( rng ), b = unit( rng );
         float p, q, s, r2, g2, b2;
         auto check = [&] {
            worst = std::max( { worst, double( std::abs( r2 - r ) ), double( std::abs( g2 - g ) ),
                                double( std::abs( b2 - b ) ) } );
         };
         ws->RGBToCIEXYZ( p, q, s, r, g, b );
         ws->CIEXYZToRGB( r2, g2, b2, p, q, s );
         check();
         ws->RGBToCIELab( p, q, s, r, g, b );
         ws->CIELabToRGB( r2, g2, b2, p, q, s );
         check();
         ws->RGBToCIELch( p, q, s, r, g, b );
         ws->CIELchToRGB( r2, g2, b2, p, q, s );
         check();
         qor::RGBToHSV( p, q, s, r, g, b );
         qor::HSVToRGB( r2, g2, b2, p, q, s );
         check();
      }
      EXPECT_LT( worst, 1e-5 ) << ( ws == &srgb ? "sRGB" : "power law" );
   }
}

TEST( RGBColorSystem, CopiesShareUntilNewParameters )
{
   RGBColorSystem a;
   RGBColorSystem other;
   EXPECT_FALSE( a.SharesDataWith( other ) ); // every default construction builds its own block
   {
      RGBColorSystem b( a );
      EXPECT_TRUE( b.SharesDataWith( a ) );
      EXPECT_EQ( a.RefCount(), 2 );
      other = a;
      EXPECT_EQ( a.RefCount(), 3 );
      other = a; // same block: nothing happens
      EXPECT_EQ( a.RefCount(), 3 );

      // The same values keep the block and its sharers.
      b.SetParameters( 2.2f, true, sRGBx, sRGBy, sRGBY );
      EXPECT_TRUE( b.SharesDataWith( a ) );

      // New values: a block of its own; the others keep theirs.
      const float Y[3] = { 1, 2, 1 };
      b.SetParameters( 2.2f, true, sRGBx, sRGBy, Y );
      EXPECT_FALSE( b.SharesDataWith( a ) );
      EXPECT_EQ( b.RefCount(), 1 );
      EXPECT_EQ( a.RefCount(), 2 );
      EXPECT_EQ( b.Values().Y[0], 0.25f );
      EXPECT_EQ( b.Values().Y[1], 0.5f );
      EXPECT_EQ( b.Values().Y[2], 0.25f );
      EXPECT_EQ( a.Values().Y[1], sRGBY[1] );
   }
   EXPECT_EQ( a.RefCount(), 2 );

   // Copies made, reassigned and dropped on several threads at once leave the counts exact.
   RGBColorSystem third;
   std::vector<std::thread> threads;
   for ( int t = 0; t < 8; ++t )
      threads.emplace_back( [&a, &third] {
         for ( int i = 0; i < 20000; ++i )
         {
            RGBColorSystem copy( a );
            RGBColorSystem assigned( third );
            assigned = copy;
            copy = third;
         }
      } );
   for ( std::thread& t : threads )
      t.join();
   EXPECT_EQ( a.RefCount(), 2 );
   EXPECT_EQ( third.RefCount(), 1 );
}

TEST( RGBColorSystem, ValidityOfSpaces )
{
   EXPECT_TRUE( RGBColorSystem::IsValidSpace( sRGBx, sRGBy, sRGBY ) );

   // Two primaries with the same chromaticities and coefficient: two equal columns.
   const float x2[3] = { 0.64f, 0.64f, 0.15f }, y2[3] = { 0.33f, 0.33f, 0.06f };
   const float Yequal[3] = { 0.3f, 0.3f, 0.4f }, Ydiffer[3] = { 0.3f, 0.31f, 0.39f };
   EXPECT_FALSE( RGBColorSystem::IsValidSpace( x2, y2, Yequal ) );
   // Same chromaticities, other coefficients: a determinant around 1e-9 after rounding, which passes.
   EXPECT_TRUE( RGBColorSystem::IsValidSpace( x2, y2, Ydiffer ) );

   const float yZero[3] = { 0.33f, 0, 0.06f };
   EXPECT_FALSE( RGBColorSystem::IsValidSpace( sRGBx, yZero, sRGBY ) );
   const float Ynone[3] = { 1, -1, 0 };
   EXPECT_FALSE( RGBColorSystem::IsValidSpace( sRGBx, sRGBy, Ynone ) );

   // Parameters that give no usable space are refused and the handle keeps its block.
   RGBColorSystem ws;
   RGBColorSystem sharer( ws );
   EXPECT_THROW( ws.SetParameters( 2.2f, true, sRGBx, yZero, sRGBY ), RGBColorSystem::InvalidParameters );
   EXPECT_THROW( ws.SetParameters( 2.2f, true, x2, y2, Yequal ), RGBColorSystem::InvalidParameters );
   EXPECT_THROW( ws.SetParameters( 0.0f, false, sRGBx, sRGBy, sRGBY ), RGBColorSystem::InvalidParameters );
   EXPECT_THROW( ws.SetParameters( NAN, false, sRGBx, sRGBy, sRGBY ), RGBColorSystem::InvalidParameters );
   EXPECT_TRUE( ws.SharesDataWith( sharer ) );
   EXPECT_TRUE( std::isfinite( ws.Values().abRange ) );
}

TEST( RGBColorSystem, InvertMatrix )
{
   const std::array<float, 9> m = { 2, 0, 1, 1, 3, 0, 0, 1, 4 };
   std::array<float, 9> inv = qor::InvertMatrix3x3( m );
   for ( int i = 0; i < 3; ++i )
      for ( int j = 0; j < 3; ++j )
      {
         double s = 0;
         for ( int k = 0; k < 3; ++k )
            s += double( m[3 * i + k] ) * inv[3 * k + j];
         EXPECT_NEAR( s, i == j ? 1 : 0, 1e-6 ) << i << j;
      }
}
