#include <gtest/gtest.h>

#include "ColorSpace.h"
#include "Exception.h"
#include "GaussianKernel.h"
#include "Image.h"
#include "ImageTestSupport.h"
#include "Parallel.h"

#include <cmath>
#include <cstring>
#include <limits>
#include <vector>

using namespace qor;
using test::MonitorProbe;
using test::RandomImage;
using test::SamePixels;

namespace
{

// Mirror of an index into [0, n) without repeating the edge sample, reflecting as often as needed.
int32_t Reflect( int32_t i, int32_t n )
{
   if ( n == 1 )
      return 0;
   for ( ;; )
   {
      if ( i < 0 )
         i = -i;
      else if ( i >= n )
         i = 2 * ( n - 1 ) - i;
      else
         return i;
   }
}

// Direct 2-D Gaussian of one channel in double, from the definition.
std::vector<double> ReferenceBlur( const Image& image, int32_t c, float sigma )
{
   std::vector<float> g = GaussianBlurKernel( sigma );
   int32_t r = int32_t( g.size() / 2 );
   int32_t w = image.Width(), h = image.Height();
   std::vector<double> out( size_t( w ) * size_t( h ) );
   for ( int32_t y = 0; y < h; ++y )
      for ( int32_t x = 0; x < w; ++x )
      {
         double s = 0;
         for ( int32_t i = -r; i <= r; ++i )
            for ( int32_t j = -r; j <= r; ++j )
               s += double( g[size_t( i + r )] ) * g[size_t( j + r )] *
                    image.Pixel( Reflect( x + j, w ), Reflect( y + i, h ), c );
         out[size_t( y ) * size_t( w ) + size_t( x )] = s;
      }
   return out;
}

} // namespace

TEST( GaussianKernel, SizesFollowTheTruncationRadius )
{
   struct Case
   {
      float sigma;
      int32_t n;
   } cases[] = { { 0.1f, 3 }, { 0.2f, 3 },  { 0.3f, 5 },  { 0.5f, 7 },  { 1.0f, 11 },  { 1.5f, 17 },
                 { 2.0f, 23 }, { 2.2f, 25 }, { 3.0f, 33 }, { 5.0f, 55 }, { 10.0f, 107 } };
   for ( const Case& k : cases )
   {
      EXPECT_EQ( GaussianKernelSize( k.sigma, 0.5f, 0.01f ), k.n ) << "sigma " << k.sigma;
      int32_t n = 0;
      std::vector<float> kernel = CreateGaussianKernel( n, k.sigma, 0.5f, 0.01f );
      EXPECT_EQ( n, k.n );
      EXPECT_EQ( kernel.size(), size_t( n ) * size_t( n ) );
   }
   EXPECT_EQ( GaussianKernelSize( 3.0f, 0.5f, 1.0f ), 3 ); // radius 0 still gives the smallest kernel
   EXPECT_EQ( GaussianKernelSize( 2.0f, 2.0f, 0.01f ), 13 ); // ordinary Gaussian: radius sigma sqrt(2 ln 100)
}

TEST( GaussianKernel, CoefficientsOfTheNoiseReductionKernel )
{
   int32_t n = 0;
   std::vector<float> k = CreateGaussianKernel( n, 1.5f, 0.5f, 0.01f );
   ASSERT_EQ( n, 17 );
   auto at = [&]( int i, int j ) { return k[size_t( ( i + 8 ) * 17 + j + 8 )]; };
   EXPECT_EQ( at( 0, 0 ), 1.0f ); // not normalised: the centre is 1
   for ( auto [i, j] : { std::pair{ 0, 1 }, { 1, 0 }, { 0, -1 }, { -1, 0 } } )
      EXPECT_NEAR( at( i, j ), 0.19534, 1e-5 );
   for ( auto [i, j] : { std::pair{ 8, 8 }, { -8, 8 }, { 8, -8 }, { -8, -8 } } )
      EXPECT_NEAR( at( i, j ), 0.004119, 1e-5 ); // below the threshold and still there
   for ( int i = -8; i <= 8; ++i )
      for ( int j = -8; j <= 8; ++j )
         EXPECT_NEAR( at( i, j ), std::exp( -2.0 * std::sqrt( std::hypot( double( i ), double( j ) ) / 1.5 ) ), 2e-6 )
            << i << "," << j;
}

TEST( GaussianKernel, SymmetricUnderFlipsAndTransposition )
{
   for ( float sigma : { 0.3f, 1.7f, 4.0f } )
      for ( float shape : { 0.5f, 1.0f, 2.0f, 3.3f } )
      {
         int32_t n = 0;
         std::vector<float> k = CreateGaussianKernel( n, sigma, shape, 0.01f );
         for ( int32_t i = 0; i < n; ++i )
            for ( int32_t j = 0; j < n; ++j )
            {
               float v = k[size_t( i * n + j )];
               ASSERT_EQ( v, k[size_t( j * n + i )] );
               ASSERT_EQ( v, k[size_t( ( n - 1 - i ) * n + j )] );
               ASSERT_EQ( v, k[size_t( i * n + n - 1 - j )] );
            }
         if ( shape == 2.0f ) // the ordinary Gaussian exp(-r^2 / 2 sigma^2)
         {
            EXPECT_NEAR( k[size_t( n / 2 * n + n / 2 + 1 )], std::exp( -1.0 / ( 2.0 * sigma * sigma ) ), 1e-6 );
         }
      }
}

TEST( GaussianKernel, ANarrowKernelWhosePowerUnderflowsIsTheUnitImpulse )
{
   // sigma^shape rounds to 0 in float: the centre must still be 1 (not 0/0) and every other coefficient 0.
   for ( auto [sigma, shape] : { std::pair{ 1e-12f, 4.0f }, { 1e-30f, 2.0f } } )
   {
      int32_t n = 0;
      std::vector<float> k = CreateGaussianKernel( n, sigma, shape, 0.01f );
      ASSERT_EQ( n, 3 );
      for ( int32_t i = 0; i < 9; ++i )
         EXPECT_EQ( k[size_t( i )], i == 4 ? 1.0f : 0.0f ) << sigma << " " << shape << " " << i;
   }
}

TEST( GaussianKernel, InvalidParametersAreRefusedBeforeAllocating )
{
   const float nan = std::numeric_limits<float>::quiet_NaN();
   const float inf = std::numeric_limits<float>::infinity();
   struct Case
   {
      float sigma, shape, threshold;
   } cases[] = { { 0, 0.5f, 0.01f },   { -1, 0.5f, 0.01f },  { nan, 0.5f, 0.01f }, { inf, 0.5f, 0.01f },
                 { 1.5f, 0, 0.01f },   { 1.5f, nan, 0.01f }, { 1.5f, 0.5f, 0 },    { 1.5f, 0.5f, 1.5f },
                 { 1.5f, 0.5f, nan },  { 1e6f, 0.5f, 0.01f }, { 1e30f, 2.0f, 0.01f } };
   for ( const Case& k : cases )
   {
      int32_t n = -7;
      EXPECT_THROW( CreateGaussianKernel( n, k.sigma, k.shape, k.threshold ), GenericException )
         << k.sigma << " " << k.shape << " " << k.threshold;
      EXPECT_EQ( n, -7 );
   }
   float k[9];
   EXPECT_THROW( FillGaussianKernel( k, 2, 1.0f, 0.5f ), GenericException );
   EXPECT_THROW( FillGaussianKernel( k, 3, 0.0f, 0.5f ), GenericException );
   EXPECT_THROW( GaussianBlurKernel( 0.0f ), GenericException );
   EXPECT_THROW( GaussianBlurKernel( 2.0f, nan ), GenericException );
}

TEST( ClampSamples, ForcesNominalChannelsIntoTheUnitRange )
{
   const float nan = std::numeric_limits<float>::quiet_NaN();
   const float inf = std::numeric_limits<float>::infinity();
   const float in[] = { -0.2f, 1.7f, 0.5f, nan, -inf, inf, 0.0f, 1.0f, -0.0f };
   const float out[] = { 0.0f, 1.0f, 0.5f, 0.0f, 0.0f, 1.0f, 0.0f, 1.0f, 0.0f };
   Image image( 9, 1, 4, ColorSpace::RGB );
   for ( int32_t c = 0; c < 4; ++c )
      std::memcpy( image[c], in, sizeof( in ) );
   ClampSamples( image );
   for ( int32_t c = 0; c < 3; ++c )
      for ( int x = 0; x < 9; ++x )
         EXPECT_EQ( image.Pixel( x, 0, c ), out[x] ) << "channel " << c << " x " << x;
   EXPECT_EQ( image.Pixel( 1, 0, 3 ), 1.7f ); // alpha untouched
   EXPECT_TRUE( std::isnan( image.Pixel( 3, 0, 3 ) ) );
}

TEST( ClampSamples, AdvancesTheCallersTaskAndStopsOnAbort )
{
   Image image( 64, 64, 1, ColorSpace::Gray );
   for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
      image[0][i] = 2.0f;
   MonitorProbe monitor;
   image.Status().SetCallback( &MonitorProbe::Callback, &monitor );
   image.BeginTask( "Normalize", image.NumberOfPixels() );
   ClampSamples( image );
   EXPECT_EQ( image.Status().Count(), image.NumberOfPixels() );
   EXPECT_EQ( monitor.done, 1 );
   EXPECT_EQ( image.Pixel( 63, 63 ), 1.0f );

   // An abort stops the work: what was clamped stays clamped, the rest is untouched.
   for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
      image[0][i] = 2.0f;
   ThreadCountScope one( 1 );
   monitor = MonitorProbe{ 1 };
   image.BeginTask( "Normalize", image.NumberOfPixels() );
   EXPECT_THROW( ClampSamples( image ), Image::AbortProcessEvent );
   EXPECT_EQ( image.Pixel( 0, 0 ), 1.0f );
   EXPECT_EQ( image.Pixel( 63, 63 ), 2.0f );
}

TEST( GaussianBlur, KernelHasTheSupportOfFourSigmaAndSumsToOne )
{
   struct Case
   {
      float sigma;
      size_t taps;
   } cases[] = { { 2.0f, 17 }, { 5.0f, 41 }, { 0.1f, 3 }, { 1.3f, 11 } };
   for ( const Case& k : cases )
   {
      std::vector<float> g = GaussianBlurKernel( k.sigma );
      ASSERT_EQ( g.size(), k.taps );
      double sum = 0;
      for ( float v : g )
         sum += v;
      EXPECT_NEAR( sum, 1.0, 1e-6 );
      size_t r = g.size() / 2;
      EXPECT_NEAR( g[r + 1] / g[r], std::exp( -1.0 / ( 2.0 * k.sigma * k.sigma ) ), 1e-6 );
      EXPECT_EQ( g[0], g.back() );
   }
}

TEST( GaussianBlur, ConstantStaysConstantAndDeltaGivesTheKernel )
{
   Image flat( 40, 30, 1, ColorSpace::Gray );
   for ( int64_t i = 0; i < flat.NumberOfPixels(); ++i )
      flat[0][i] = 0.37f;
   GaussianBlur( flat, 2.0f );
   for ( int64_t i = 0; i < flat.NumberOfPixels(); ++i )
      ASSERT_NEAR( flat[0][i], 0.37f, 1e-6f );

   Image delta( 41, 41, 1, ColorSpace::Gray );
   std::memset( delta[0], 0, size_t( delta.NumberOfPixels() ) * sizeof( float ) );
   delta.Pixel( 20, 20 ) = 1.0f;
   GaussianBlur( delta, 2.0f );
   std::vector<float> g = GaussianBlurKernel( 2.0f );
   for ( int32_t y = 0; y < 41; ++y )
      for ( int32_t x = 0; x < 41; ++x )
      {
         int dx = x - 20, dy = y - 20;
         float expected = ( std::abs( dx ) <= 8 && std::abs( dy ) <= 8 ) ? g[size_t( dy + 8 )] * g[size_t( dx + 8 )] : 0;
         ASSERT_NEAR( delta.Pixel( x, y ), expected, 1e-8f ) << x << "," << y;
      }
}

TEST( GaussianBlur, MatchesTheDirectDefinitionWithMirroredBorders )
{
   // Sizes from one sample up to larger than the kernel: narrow images mirror more than once.
   struct Case
   {
      int32_t w, h;
      float sigma;
   } cases[] = { { 1, 1, 2.0f }, { 1, 9, 2.0f }, { 9, 1, 2.0f }, { 2, 2, 1.0f }, { 7, 5, 2.0f },
                 { 37, 19, 1.5f }, { 70, 45, 5.0f }, { 300, 23, 5.0f } };
   for ( const Case& k : cases )
   {
      Image image = RandomImage( k.w, k.h, 1, ColorSpace::Gray, 7 );
      std::vector<double> expected = ReferenceBlur( image, 0, k.sigma );
      GaussianBlur( image, k.sigma );
      for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
         ASSERT_NEAR( image[0][i], expected[size_t( i )], 2e-6 ) << k.w << "x" << k.h << " sample " << i;
   }
}

TEST( GaussianBlur, SameResultInPlaceOutOfPlaceAndOnAnyThreadCount )
{
   Image source = RandomImage( 301, 203, 4, ColorSpace::RGB, 11 );
   Image reference;
   {
      ThreadCountScope one( 1 );
      GaussianBlur( source, reference, 2.5f );
   }
   EXPECT_EQ( reference.NumberOfAlphaChannels(), 1 );
   EXPECT_EQ( std::memcmp( reference[3], source[3], size_t( source.NumberOfPixels() ) * sizeof( float ) ), 0 );

   for ( int threads : { 2, 3, 8 } )
   {
      ThreadCountScope scope( threads );
      Image target = RandomImage( 301, 203, 4, ColorSpace::RGB, 3 ); // planes reused
      GaussianBlur( source, target, 2.5f );
      EXPECT_TRUE( SamePixels( target, reference ) ) << threads << " threads";
      Image inPlace( source );
      GaussianBlur( inPlace, 2.5f );
      EXPECT_TRUE( SamePixels( inPlace, reference ) ) << threads << " threads, in place";
   }
}

TEST( GaussianBlur, AbortLeavesTheImageAsItWas )
{
   Image image = RandomImage( 128, 128, 3, ColorSpace::RGB, 5 );
   Image before( image );
   ThreadCountScope one( 1 ); // one progress event per strip
   MonitorProbe monitor{ 2 };
   image.Status().SetCallback( &MonitorProbe::Callback, &monitor );
   EXPECT_THROW( GaussianBlur( image, 3.0f ), Image::AbortProcessEvent );
   EXPECT_TRUE( SamePixels( image, before ) );

   monitor = MonitorProbe{};
   GaussianBlur( image, 3.0f );
   EXPECT_EQ( image.Status().Text(), "Gaussian blur" );
   EXPECT_EQ( image.Status().Count(), 3 * 128 );
   EXPECT_EQ( monitor.done, 1 );
}
