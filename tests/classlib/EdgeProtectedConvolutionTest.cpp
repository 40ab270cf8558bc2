#include <gtest/gtest.h>

#include "EdgeProtectedConvolution.h"
#include "Exception.h"
#include "GaussianKernel.h"
#include "Image.h"
#include "ImageTestSupport.h"
#include "Parallel.h"

#include <cmath>
#include <vector>

using namespace qor;

namespace
{

// The filter written out plainly, one sample at a time, from the unfiltered channel.
Image Reference( const Image& image, int32_t c, const std::vector<float>& k, int32_t n, const EdgeProtection& p )
{
   double sum = 0;
   for ( float v : k )
      sum += v;
   if ( std::fabs( sum ) < 1e-10 )
      sum = 1;
   const int32_t w = image.Width(), h = image.Height(), r = n / 2;
   Image out( w, h );
   for ( int32_t y = 0; y < h; ++y )
      for ( int32_t x = 0; x < w; ++x )
      {
         const float c0 = image.Pixel( x, y, c );
         const float t = c0 + p.darkThreshold, u = c0 - p.brightThreshold;
         const bool dark = p.dark && t < 1, bright = p.bright && u > 0;
         double acc = 0;
         for ( int32_t i = -r; i <= r; ++i )
            for ( int32_t j = -r; j <= r; ++j )
            {
               float v = image.Pixel( test::ColumnOf( x + j, w ), test::RowOf( y + i, h ), c );
               if ( dark && v >= t )
                  v = ( 1 - p.darkOverdrive ) * t;
               else if ( bright && !( v > u ) )
                  v = ( 1 - u ) * p.brightOverdrive + u;
               acc += double( k[size_t( ( i + r ) * n + j + r )] ) * v;
            }
         out.Pixel( x, y ) = float( acc / sum );
      }
   return out;
}

} // namespace

TEST( EdgeProtectedConvolution, MatchesThePlainFilterForAnyImageAndKernelSize )
{
   struct Case
   {
      int32_t width, height;
      float sigma;
      EdgeProtection p;
   } cases[] = {
      { 45, 23, 1.0f, {} },                                        // kernel 11, rows wider than a vector
      { 37, 19, 0.5f, { true, 0.1f, 0.3f, false, 0.2f, 0.0f } },   // dark side only, with overdrive
      { 20, 17, 0.5f, { false, 0.1f, 0.0f, true, 0.15f, 0.4f } },  // bright side only, with overdrive
      { 18, 9, 0.3f, { false, 0.1f, 0.0f, false, 0.1f, 0.0f } },   // no protection: a plain convolution
      { 5, 3, 1.0f, {} },                                          // smaller than the kernel's half
      { 1, 1, 2.0f, {} },
      { 1, 30, 1.0f, {} },
      { 40, 1, 1.0f, {} },
   };
   for ( const Case& k : cases )
   {
      SCOPED_TRACE( std::to_string( k.width ) + "x" + std::to_string( k.height ) + " sigma " + std::to_string( k.sigma ) );
      int32_t n = 0;
      const std::vector<float> kernel = CreateGaussianKernel( n, k.sigma, 0.5f, 0.01f );
      Image image = test::RandomImage( k.width, k.height, 3, ColorSpace::RGB, 7 );
      const Image before( image );
      ConvolveEdgeProtected( image, 5, kernel.data(), n, k.p );
      for ( int32_t c : { 0, 2 } )
      {
         const Image expected = Reference( before, c, kernel, n, k.p );
         for ( int32_t y = 0; y < k.height; ++y )
            for ( int32_t x = 0; x < k.width; ++x )
               ASSERT_NEAR( image.Pixel( x, y, c ), expected.Pixel( x, y ), 2e-6 ) << x << "," << y << " channel " << c;
      }
      EXPECT_TRUE( std::equal( image[1], image[1] + image.NumberOfPixels(), before[1] ) ) << "channel 1 is masked out";
   }
}

TEST( EdgeProtectedConvolution, ResultsDoNotDependOnTheThreadCount )
{
   int32_t n = 0;
   const std::vector<float> kernel = CreateGaussianKernel( n, 1.5f, 0.5f, 0.01f );
   const Image source = test::RandomImage( 131, 97, 1, ColorSpace::Gray, 3 );
   Image one( source ), many( source );
   {
      ThreadCountScope threads( 1 );
      ConvolveEdgeProtected( one, 1, kernel.data(), n, {} );
   }
   {
      ThreadCountScope threads( 8 );
      ConvolveEdgeProtected( many, 1, kernel.data(), n, {} );
   }
   EXPECT_TRUE( test::SamePixels( one, many ) );
}

TEST( EdgeProtectedConvolution, ANeighbourAtAThresholdIsProtected )
{
   const std::vector<float> ones( 9, 1.0f );
   // Dark side: centre 0.25 with threshold 0.25 puts t at 0.5; neighbours of exactly 0.5 count as 0.5 (1 - 0.5).
   Image dark( 3, 3 );
   dark.Fill( 0, 0.5f );
   dark.Pixel( 1, 1 ) = 0.25f;
   ConvolveEdgeProtected( dark, 1, ones.data(), 3, { true, 0.25f, 0.5f, false, 0.25f, 0.0f } );
   EXPECT_FLOAT_EQ( dark.Pixel( 1, 1 ), 0.25f );
   // Bright side: centre 0.75 puts u at 0.5; neighbours of exactly 0.5 count as (1 - 0.5) 0.5 + 0.5.
   Image bright( 3, 3 );
   bright.Fill( 0, 0.5f );
   bright.Pixel( 1, 1 ) = 0.75f;
   ConvolveEdgeProtected( bright, 1, ones.data(), 3, { false, 0.25f, 0.0f, true, 0.25f, 0.5f } );
   EXPECT_FLOAT_EQ( bright.Pixel( 1, 1 ), 0.75f );
}

TEST( EdgeProtectedConvolution, AKernelWithoutWeightIsNeverDividedBy )
{
   Image image = test::RandomImage( 20, 20, 1, ColorSpace::Gray, 5 );
   const std::vector<float> zero( 25, 0.0f );
   ConvolveEdgeProtected( image, 1, zero.data(), 5, {} );
   for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
      ASSERT_EQ( image[0][i], 0.0f );

   // Weights that cancel: the sum counts as 1, so the result is the plain weighted sum.
   Image flat( 9, 9 );
   flat.Fill( 0, 0.5f );
   std::vector<float> cancelling( 9, 0.0f );
   cancelling[3] = 1.0f;
   cancelling[5] = -1.0f;
   ConvolveEdgeProtected( flat, 1, cancelling.data(), 3, {} );
   EXPECT_EQ( flat.Pixel( 4, 4 ), 0.0f );

   EXPECT_THROW( ConvolveEdgeProtected( flat, 1, cancelling.data(), 4, {} ), GenericException );
}

TEST( EdgeProtectedConvolution, AnAbortLeavesTheChannelBeingFilteredAsItWas )
{
   int32_t n = 0;
   const std::vector<float> kernel = CreateGaussianKernel( n, 1.0f, 0.5f, 0.01f );
   Image image = test::RandomImage( 64, 600, 2, ColorSpace::Gray, 9 );
   image.SetColorSpaceCode( ColorSpace::Gray ); // one nominal channel and one alpha channel
   const Image before( image );
   test::MonitorProbe probe;
   probe.abortAt = 2;
   image.Status().SetCallback( &test::MonitorProbe::Callback, &probe );
   // On one thread the strips report one after the other, so that the abort always comes before the end; on many
   // a loaded machine may finish every strip before the monitor is asked twice.
   const ThreadCountScope oneThread( 1 );
   EXPECT_THROW( ConvolveEdgeProtected( image, 1, kernel.data(), n, {} ), Image::AbortProcessEvent );
   image.Status().SetCallback( nullptr, nullptr );
   EXPECT_TRUE( test::SamePixels( image, before ) );
}
