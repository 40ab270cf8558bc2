#include <gtest/gtest.h>

#include "ATrousWavelets.h"
#include "ColorSpace.h"
#include "Exception.h"
#include "Image.h"
#include "ImageTestSupport.h"
#include "NoiseEstimate.h"
#include "Parallel.h"

#include <cmath>
#include <limits>
#include <random>
#include <vector>

using namespace qor;
using test::MonitorProbe;

namespace
{

Image NoiseImage( int32_t w, int32_t h, float mean, float sigma, uint32_t seed )
{
   Image image( w, h, 1, ColorSpace::Gray );
   std::mt19937 rng( seed );
   std::normal_distribution<float> noise( mean, sigma );
   for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
      image[0][i] = noise( rng );
   return image;
}

// What k-sigma clipping makes of pure Gaussian noise of standard deviation 1 after `passes` passes: each pass
// measures a normal distribution truncated at +-k times the previous estimate.
double ClippedGaussianSigma( int passes, double k )
{
   double s = 1;
   for ( int p = 1; p < passes; ++p )
   {
      double c = k * s;
      double phi = std::exp( -c * c / 2 ) / std::sqrt( 2 * M_PI );
      double inside = std::erf( c / std::sqrt( 2.0 ) );
      s = std::sqrt( 1 - 2 * c * phi / inside );
   }
   return s;
}

} // namespace

TEST( NoiseEstimate, OnePassIsThePopulationStandardDeviation )
{
   const float values[] = { 0.1f, 0.4f, 0.35f, 0.9f, 0.0f, 0.62f, 0.2f };
   Image image( 7, 1, 2, ColorSpace::Gray );
   double sum = 0, sum2 = 0;
   for ( int x = 0; x < 7; ++x )
   {
      image.Pixel( x, 0, 1 ) = values[x];
      image.Pixel( x, 0, 0 ) = 0.5f;
      sum += values[x];
   }
   for ( float v : values )
      sum2 += ( v - sum / 7 ) * ( v - sum / 7 );
   EXPECT_NEAR( EstimateNoiseKSigma( image, 1, 1, 3.0f ), std::sqrt( sum2 / 7 ), 1e-7 ); // divisor n
}

TEST( NoiseEstimate, GaussianNoiseOfKnownSigmaWithBrightOutliers )
{
   const float sigma0 = 0.01f;
   Image image = NoiseImage( 1024, 1024, 0.1f, sigma0, 1 );
   std::mt19937 rng( 2 );
   std::uniform_int_distribution<int64_t> where( 0, image.NumberOfPixels() - 1 );
   for ( int i = 0; i < 1000; ++i ) // stars
      image[0][where( rng )] = 1.0f;

   float clipped = EstimateNoiseKSigma( image, 0, 3, 3.0f );
   EXPECT_NEAR( clipped / sigma0, ClippedGaussianSigma( 3, 3.0 ), 0.005 );
   EXPECT_GT( EstimateNoiseKSigma( image, 0, 1, 3.0f ), 2 * sigma0 ); // one pass is inflated by the stars
}

TEST( NoiseEstimate, TwelveMegapixelFrameGivesAFiniteAccurateEstimate )
{
   // With float sums the variance of such a frame goes negative and the estimate becomes NaN.
   Image image = NoiseImage( 4000, 3000, 0.1f, 0.01f, 3 );
   float sigma = EstimateNoiseKSigma( image, 0, 3, 3.0f );
   ASSERT_TRUE( std::isfinite( sigma ) );
   EXPECT_NEAR( sigma / 0.01, ClippedGaussianSigma( 3, 3.0 ), 0.002 );
}

TEST( NoiseEstimate, ClippingIsStrictAndEmptyPassesKeepThePreviousEstimate )
{
   // Mean 0.5 and sigma 0.125 exactly: with k = 2 the samples 0.25 and 0.75 lie exactly at tau and drop out.
   Image image( 8, 1, 1, ColorSpace::Gray );
   const float values[] = { 0.5f, 0.25f, 0.5f, 0.5f, 0.75f, 0.5f, 0.5f, 0.5f };
   for ( int x = 0; x < 8; ++x )
      image.Pixel( x, 0 ) = values[x];
   EXPECT_EQ( EstimateNoiseKSigma( image, 0, 1, 2.0f ), 0.125f );
   EXPECT_EQ( EstimateNoiseKSigma( image, 0, 2, 2.0f ), 0.0f );
   EXPECT_EQ( EstimateNoiseKSigma( image, 0, 2, 2.01f ), 0.125f );
   // A third pass keeps nothing (tau is 0 and no sample lies strictly within it) and leaves sigma at 0.
   EXPECT_EQ( EstimateNoiseKSigma( image, 0, 3, 2.0f ), 0.0f );

   Image flat( 50, 40, 1, ColorSpace::Gray );
   for ( int64_t i = 0; i < flat.NumberOfPixels(); ++i )
      flat[0][i] = 0.3f;
   EXPECT_EQ( EstimateNoiseKSigma( flat, 0, 3, 3.0f ), 0.0f );

   // The passes that keep nothing still end the task, once: at its total with the done event.
   for ( int passes : { 2, 3, 5 } )
   {
      MonitorProbe monitor;
      flat.Status().SetCallback( &MonitorProbe::Callback, &monitor );
      EXPECT_EQ( EstimateNoiseKSigma( flat, 0, passes, 3.0f ), 0.0f );
      EXPECT_EQ( flat.Status().Count(), flat.Status().Total() ) << passes;
      EXPECT_EQ( flat.Status().Total(), 50 * 40 * passes );
      EXPECT_EQ( monitor.done, 1 ) << passes;
   }
   // An abort answered to that done event still aborts.
   flat.Status().SetCallback(
       []( void*, int32_t event, StatusCallback& ) -> int32_t { return event == StatusCallback::Done; }, nullptr );
   EXPECT_THROW( EstimateNoiseKSigma( flat, 0, 3, 3.0f ), Image::AbortProcessEvent );
}

TEST( NoiseEstimate, SamplesThatAreNotFiniteNeverCount )
{
   Image image = NoiseImage( 200, 100, 0.2f, 0.02f, 4 );
   Image spoiled( image );
   spoiled[0][0] = std::numeric_limits<float>::quiet_NaN();
   spoiled[0][1] = std::numeric_limits<float>::infinity();
   image[0][0] = image[0][1] = 0.2f;
   float sigma = EstimateNoiseKSigma( spoiled, 0, 3, 3.0f );
   EXPECT_TRUE( std::isfinite( sigma ) );
   EXPECT_NEAR( sigma, EstimateNoiseKSigma( image, 0, 3, 3.0f ), 1e-5 );
}

TEST( NoiseEstimate, SameResultOnAnyThreadCount )
{
   Image image = NoiseImage( 1001, 707, 0.3f, 0.05f, 5 );
   float one;
   {
      ThreadCountScope scope( 1 );
      one = EstimateNoiseKSigma( image, 0, 3, 3.0f );
   }
   for ( int threads : { 2, 3, 8 } )
   {
      ThreadCountScope scope( threads );
      EXPECT_EQ( EstimateNoiseKSigma( image, 0, 3, 3.0f ), one ) << threads << " threads";
   }
}

TEST( NoiseEstimate, ReportsItsTaskAndStopsOnAbort )
{
   Image image = NoiseImage( 300, 200, 0.3f, 0.05f, 6 );
   MonitorProbe monitor;
   image.Status().SetCallback( &MonitorProbe::Callback, &monitor );
   EstimateNoiseKSigma( image, 0, 3, 3.0f );
   EXPECT_EQ( image.Status().Text(), "SNR Detection" );
   EXPECT_EQ( image.Status().Total(), 300 * 200 * 3 );
   EXPECT_EQ( image.Status().Count(), 300 * 200 * 3 );
   EXPECT_EQ( monitor.done, 1 );

   ThreadCountScope one( 1 ); // one progress event per strip
   monitor = MonitorProbe{ 2 };
   EXPECT_THROW( EstimateNoiseKSigma( image, 0, 3, 3.0f ), Image::AbortProcessEvent );
   EXPECT_EQ( monitor.done, 0 );
}

TEST( NoiseEstimate, RefusesWhatItCannotMeasure )
{
   Image image( 4, 4, 1, ColorSpace::Gray );
   Image empty;
   EXPECT_THROW( EstimateNoiseKSigma( empty, 0, 3, 3.0f ), GenericException );
   EXPECT_THROW( EstimateNoiseKSigma( image, 1, 3, 3.0f ), GenericException );
   EXPECT_THROW( EstimateNoiseKSigma( image, -1, 3, 3.0f ), GenericException );
   EXPECT_THROW( EstimateNoiseKSigma( image, 0, 0, 3.0f ), GenericException );
}

TEST( NoiseEstimate, WaveletLayersCarryTheKnownFractionsOfWhiteNoise )
{
   // The noise of the first layers of a B3-spline decomposition, relative to the noise of the image: the factors
   // by which the wavelet noise thresholding scales the estimate.
   const float sigma0 = 0.05f;
   Image image = NoiseImage( 1024, 1024, 0.5f, sigma0, 7 );
   ATrousLayers layers = DecomposeATrousLayers( image, 0, ConvolutionKernel::B3Spline(), 3, 0 );
   const double expected[] = { 0.890, 0.201, 0.086 };
   double clipping = ClippedGaussianSigma( 3, 3.0 );
   for ( int i = 0; i < 3; ++i )
      EXPECT_NEAR( EstimateNoiseKSigma( *layers[size_t( i )], 0, 3, 3.0f ) / ( sigma0 * clipping ), expected[i],
                   0.02 * expected[i] )
         << "layer " << i;
}
