// The wavelet process: identity at its defaults, every layer edit against a plain reference built from the class
// library's decomposition, the range mappings, the layer list operations, and the streams of every version.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

#include "FilterTestKit.h"
#include "ProcessTestKit.h"
#include "classlib/ATrousWavelets.h"
#include "classlib/Exception.h"
#include "classlib/ImageTestSupport.h"
#include "classlib/MedianKernel.h"
#include "classlib/NoiseEstimate.h"
#include "process/ATrousWaveletsTransform.h"

namespace
{

using Layer = ATrousWaveletsTransform::LayerParameters;

float MaxDifference( const qor::Image& a, const qor::Image& b )
{
   float d = 0;
   for ( int32_t c = 0; c < a.NumberOfChannels(); ++c )
      for ( int64_t i = 0; i < a.NumberOfPixels(); ++i )
         d = std::max( d, std::abs( a[c][i] - b[c][i] ) );
   return d;
}

// The run written out plainly for one grey channel.
qor::Image Reference( const qor::Image& source, const ATrousWaveletsTransform::Parameters& p )
{
   const int32_t m = p.numberOfDetailLayers;
   const float sigma = p.noiseThresholdAmount != 0 ? qor::EstimateNoiseKSigma( source, 0, 3, 3.0f ) : 0.0f;
   qor::ATrousLayers layers = qor::DecomposeATrousLayers(
       source, 0, { p.scalingFunctionKernelSize, p.scalingFunctionKernel }, m, p.scaleDelta );
   for ( int32_t i = 0; i <= m; ++i )
   {
      const Layer& r = p.layers[size_t( i )];
      if ( !r.enabled )
      {
         layers[size_t( i )].reset();
         continue;
      }
      float* s = layers[size_t( i )]->PixelData( 0 );
      for ( int64_t k = 0; k < source.NumberOfPixels(); ++k )
      {
         if ( i < 4 && p.noiseThresholdAmount != 0 )
         {
            const float tau = ATrousWaveletsTransform::NoiseFactors[i] * sigma * p.noiseThreshold;
            if ( std::abs( s[k] ) < tau )
               s[k] = ( 1 - p.noiseThresholdAmount ) * s[k];
         }
         float g = std::abs( r.bias ) * 10 + 1;
         if ( r.bias < 0 )
            g = 1 / g;
         const float t = -( r.deringingThreshold * 0.1f );
         if ( r.deringingAmount != 0 && s[k] < t )
            s[k] = ( 1 - r.deringingAmount ) * g * s[k];
         else
            s[k] = g * s[k];
      }
      if ( r.noiseReductionAmount != 0 )
         for ( int32_t n = 0; n < r.noiseReductionIterations; ++n )
            qor::ApplyMedianKernel( *layers[size_t( i )], r.noiseReductionKernelSize, r.noiseReductionAmount,
                                    r.noiseReductionKernelSize > 3, r.noiseReductionKernelSize < 5 );
   }
   qor::Image result( source );
   const float lo = -p.rangeLow, hi = 1 + p.rangeHigh;
   for ( int64_t k = 0; k < source.NumberOfPixels(); ++k )
   {
      float sum = 0;
      for ( int32_t i = m; i >= 0; --i )
         if ( layers[size_t( i )] )
            sum += layers[size_t( i )]->PixelData( 0 )[k];
      sum = std::clamp( sum, lo, hi );
      result[0][k] = ( sum - lo ) / ( hi - lo );
   }
   return result;
}

qor::Image Transformed( const qor::Image& source, const ATrousWaveletsTransform::Parameters& p,
                std::vector<std::string>* tasks = nullptr )
{
   qor::Image image( source );
   kit::RecordingView view( image );
   ATrousWaveletsTransform process( p );
   process.DoExecuteOn( view );
   EXPECT_EQ( view.modified, 1 );
   if ( tasks != nullptr )
      *tasks = view.tasks;
   return image;
}

} // namespace

TEST( ATrousWaveletsTransform, DefaultsGiveTheImageBack )
{
   struct Case
   {
      const char* what;
      int32_t channels, scaleDelta, layers;
      bool b3;
   } cases[] = {
      { "grey, linear, 3x3", 1, 1, 4, false },
      { "grey, dyadic, B3, 6 layers on a small image", 1, 0, 6, true },
      { "RGB channel by channel", 3, 2, 3, false },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.what );
      const qor::Image source =
          test::RandomImage( 37, 29, c.channels, c.channels == 1 ? qor::ColorSpace::Gray : qor::ColorSpace::RGB, 7 );
      ATrousWaveletsTransform::Parameters p;
      p.useLuminance = false;
      p.scaleDelta = c.scaleDelta;
      p.ResizeLayers( c.layers );
      if ( c.b3 )
      {
         p.scalingFunctionKernelSize = 5;
         p.scalingFunctionKernel = qor::ConvolutionKernel::B3Spline().coefficients;
      }
      std::vector<std::string> tasks;
      EXPECT_LE( MaxDifference( Transformed( source, p, &tasks ), source ), 2e-6f );
      if ( c.channels == 3 )
         EXPECT_EQ( tasks, ( std::vector<std::string>{ "2:Processing channel #0", "2:Processing channel #1",
                                                       "2:Processing channel #2" } ) );
      else
         EXPECT_TRUE( tasks.empty() );
   }

   // Through the lightness of a colour image: the colour round trip alone.
   const qor::Image colour = test::RandomImage( 16, 12, 3, qor::ColorSpace::RGB, 3, 0.2f, 0.8f );
   EXPECT_LE( MaxDifference( Transformed( colour, ATrousWaveletsTransform::Parameters() ), colour ), 1e-4f );
}

TEST( ATrousWaveletsTransform, LayerEditsMatchThePlainReference )
{
   const qor::Image source = test::RandomImage( 40, 33, 1, qor::ColorSpace::Gray, 11 );
   struct Case
   {
      const char* what;
      std::function<void( ATrousWaveletsTransform::Parameters& )> set;
   } cases[] = {
      { "finest layer off", []( auto& p ) { p.layers[0].enabled = false; } },
      { "residual off, range extended", []( auto& p ) {
          p.layers[4].enabled = false;
          p.rangeLow = 0.5f;
          p.rangeHigh = 0.5f;
       } },
      { "biases", []( auto& p ) {
          p.layers[1].bias = 1;
          p.layers[2].bias = -1;
       } },
      { "noise thresholding", []( auto& p ) {
          p.noiseThresholdAmount = 1;
          p.noiseThreshold = 3;
       } },
      { "two layers: the residual thresholded too", []( auto& p ) {
          p.ResizeLayers( 2 );
          p.noiseThresholdAmount = 0.5f;
          p.noiseThreshold = 4;
       } },
      { "deringing with a bias", []( auto& p ) {
          p.layers[1].bias = 0.3f;
          p.layers[1].deringingAmount = 0.8f;
          p.layers[1].deringingThreshold = 0.02f;
       } },
      { "median smoothing", []( auto& p ) {
          p.layers[0].noiseReductionAmount = 0.7f;
          p.layers[0].noiseReductionIterations = 2;
          p.layers[0].noiseReductionKernelSize = 5;
          p.layers[1].noiseReductionAmount = 1;
          p.layers[1].noiseReductionKernelSize = 3;
       } },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.what );
      ATrousWaveletsTransform::Parameters p;
      c.set( p );
      const qor::Image expected = Reference( source, p );
      EXPECT_LE( MaxDifference( Transformed( source, p ), expected ), 1e-6f );
      EXPECT_GT( MaxDifference( expected, source ), 1e-3f );
   }
}

TEST( ATrousWaveletsTransform, RangeMappingAndLayerPreview )
{
   // A single residual-free layer of a step: values on both sides of 0, clamped or mapped.
   qor::Image step( 16, 16 );
   for ( int32_t y = 0; y < 16; ++y )
      for ( int32_t x = 0; x < 16; ++x )
         step.Pixel( x, y ) = x < 8 ? 0.2f : 0.8f;
   ATrousWaveletsTransform::Parameters details;
   details.layers[4].enabled = false;
   const qor::Image clamped = Transformed( step, details );
   float lo, hi;
   clamped.GetChannelRange( 0, lo, hi );
   EXPECT_EQ( lo, 0.0f );
   EXPECT_GT( hi, 0.0f );

   ATrousWaveletsTransform::Parameters preview;
   preview.previewLayers = true;
   const qor::Image negative = Transformed( step, preview );
   EXPECT_FLOAT_EQ( negative.Pixel( 0, 0 ), 1.0f );  // the minimum
   EXPECT_FLOAT_EQ( negative.Pixel( 15, 0 ), 0.0f ); // the maximum
   preview.previewGamma = 2;
   const qor::Image gamma = Transformed( step, preview );
   for ( int32_t x = 0; x < 16; ++x )
   {
      const float t = 1 - negative.Pixel( x, 5 );
      EXPECT_NEAR( gamma.Pixel( x, 5 ), 1 - t * t, 1e-6f );
   }

   qor::Image constant( 9, 9 );
   constant.Fill( 0, 0.4f );
   EXPECT_TRUE( test::SamePixels( Transformed( constant, preview ), constant ) );
}

TEST( ATrousWaveletsTransform, LayerListOperations )
{
   ATrousWaveletsTransform::Parameters p;
   for ( int32_t i = 0; i <= 4; ++i )
      p.layers[size_t( i )].bias = float( i + 1 );
   ATrousWaveletsTransform::Parameters grown = p;
   grown.ResizeLayers( 6 );
   ASSERT_EQ( grown.layers.size(), 7u );
   for ( int32_t i = 0; i <= 4; ++i )
      EXPECT_EQ( grown.layers[size_t( i )].bias, float( i + 1 ) );
   EXPECT_EQ( grown.layers[5].bias, 0.0f );
   EXPECT_EQ( grown.layers[6].bias, 0.0f );
   ATrousWaveletsTransform::Parameters shrunk = p;
   shrunk.ResizeLayers( 2 );
   ASSERT_EQ( shrunk.layers.size(), 3u );
   EXPECT_EQ( shrunk.layers[2].bias, 3.0f );
   shrunk.SetLayers( 0 );
   EXPECT_TRUE( shrunk.layers.empty() );

   // A set without layers or kernel (only a program can make one) is refused by the run.
   qor::Image image( 8, 8 );
   kit::RecordingView view( image );
   EXPECT_THROW( ATrousWaveletsTransform( shrunk ).DoExecuteOn( view ), qor::GenericException );
   ATrousWaveletsTransform::Parameters noKernel;
   noKernel.scalingFunctionKernel.clear();
   EXPECT_THROW( ATrousWaveletsTransform( noKernel ).DoExecuteOn( view ), qor::GenericException );
}

TEST( ATrousWaveletsTransform, Text )
{
   ATrousWaveletsTransform::Parameters p;
   p.ResizeLayers( 1 );
   p.layers[0].bias = 0.5f;
   p.layers[0].noiseReductionAmount = 0.5f;
   p.layers[0].noiseReductionIterations = 2;
   p.layers[0].deringingAmount = 1;
   p.layers[1].enabled = false;
   p.noiseThresholdAmount = 0.25f;
   p.noiseThreshold = 3;
   p.rangeHigh = 0.1f;
   const std::string kernel = ",\n\nscalingFunctionKernelSize=3";
   const std::string rows = ",\nscalingFunctionKernelRow[0]={0.0625,0.1250,0.0625},\nscalingFunctionKernelRow[1]={0.1250,"
                            "0.2500,0.1250},\nscalingFunctionKernelRow[2]={0.0625,0.1250,0.0625}";
   EXPECT_EQ( p.ToText( 0 ), "numberOfDetailLayers=1,\nscaleDelta=1,\n\nenabled[0]=1,\nbias[0]=+0.500,\n"
                             "noiseReductionAmount[0]=0.50,\nnoiseReductionIterations[0]=2,\nnoiseReductionKernelSize[0]=5,\n"
                             "deringingAmount[0]=1.00,\nderingingThreshold[0]=0.050,\n\nenabled[1]=0" +
                                 kernel + rows +
                                 ",\n\nnoiseThreshold=3.0,\nnoiseThresholdAmount=0.25,\n\nrangeLow=0.000,\n"
                                 "rangeHigh=0.100,\n\nuseLuminance=1" );
   EXPECT_EQ( p.ToText( -1 ), "numberOfDetailLayers=1,\nscaleDelta=1,\n\nenabled[0]=1,\nbias[0]=+0.500,\n"
                              "noiseReductionAmount[0]=0.50,...,\nderingingAmount[0]=1.00,...,\n\nenabled[1]=0" +
                                  kernel + ",...,\n\nnoiseThreshold=3.0,...,\n\nrangeLow=0.000,\nrangeHigh=0.100,\n\n"
                                           "useLuminance=1" );
}

TEST( ATrousWaveletsTransform, StreamsOfEveryVersion )
{
   // One layer and the residual, a 1 x 1 kernel; the fields after the records.
   auto record = []( kit::Bytes& b, uint8_t enabled, float bias, float nr, bool deringing )
   {
      b.Value( enabled ).Value( bias ).Value( nr ).Value<int32_t>( 3 ).Value<int32_t>( 7 );
      if ( deringing )
         b.Value( 0.5f ).Value( 0.02f );
   };
   auto stream = [&]( float version )
   {
      kit::Bytes b;
      b.Value<int32_t>( 1 );
      record( b, 1, 0.25f, 0.4f, version > 1.0f );
      record( b, 0, -1.0f, 0.0f, version > 1.0f );
      b.Value<int32_t>( 0 ).Value<int32_t>( 1 ).Value( 2.0f );
      b.Value( 0.3f ).Value( 2.5f ).Value( 0.1f ).Value( 0.2f );
      if ( version < 1.1f )
         b.Value<int32_t>( -1 );
      b.Value<uint8_t>( 0 );
      return b.data;
   };

   kit::ParameterStreams streams;
   for ( float version : { 1.0f, 1.1f, 1.2f } )
   {
      SCOPED_TRACE( version );
      ATrousWaveletsTransform::Parameters p;
      p.previewLayers = true;
      EXPECT_EQ( streams.ReadFrom( p, stream( version ), version ), 0 );
      ASSERT_EQ( p.layers.size(), 2u );
      EXPECT_TRUE( p.layers[0].enabled );
      EXPECT_FALSE( p.layers[1].enabled );
      EXPECT_EQ( p.layers[0].bias, 0.25f );
      EXPECT_EQ( p.layers[1].bias, -1.0f );
      EXPECT_EQ( p.layers[0].noiseReductionAmount, version < 1.2f ? 0.75f * 0.4f + 0.25f : 0.4f );
      EXPECT_EQ( p.layers[1].noiseReductionAmount, 0.0f );
      EXPECT_EQ( p.layers[0].noiseReductionIterations, 3 );
      EXPECT_EQ( p.layers[0].noiseReductionKernelSize, 7 );
      EXPECT_EQ( p.layers[0].deringingAmount, version > 1.0f ? 0.5f : 0.0f );
      EXPECT_EQ( p.layers[0].deringingThreshold, version > 1.0f ? 0.02f : 0.05f );
      EXPECT_EQ( p.scaleDelta, 0 );
      EXPECT_EQ( p.scalingFunctionKernelSize, 1 );
      EXPECT_EQ( p.scalingFunctionKernel, std::vector<float>{ 2.0f } );
      EXPECT_EQ( p.noiseThresholdAmount, 0.3f );
      EXPECT_EQ( p.noiseThreshold, 2.5f );
      EXPECT_EQ( p.rangeLow, 0.1f );
      EXPECT_EQ( p.rangeHigh, 0.2f );
      EXPECT_FALSE( p.useLuminance );
      EXPECT_TRUE( p.previewLayers ); // a working field: not in the stream
   }

   // Today's writer produces the version 1.2 layout.
   ATrousWaveletsTransform::Parameters p;
   streams.ReadFrom( p, stream( 1.2f ), 1.2f );
   EXPECT_EQ( streams.Written( p, 1.2f ), stream( 1.2f ) );
   ATrousWaveletsTransform::Parameters defaults;
   EXPECT_EQ( streams.Written( defaults, 1.2f ).size(), 4 + 5 * 25 + 4 + 4 + 9 * 4 + 16 + 1u );

   // Damaged values are refused and the set stays as it was.
   struct Bad
   {
      const char* what;
      size_t offset;
      int32_t value;
   } bad[] = {
      { "no layers", 0, 0 },           { "too many layers", 0, 13 },      { "negative layers", 0, -5 },
      { "iterations", 13, 0 },         { "median box even", 17, 4 },     { "median box 1", 17, 1 },
      { "scaleDelta", 54, -1 },        { "kernel size even", 58, 2 },    { "kernel size huge", 58, 0x10001 },
      { "kernel beyond the file", 58, 9 }, { "bias not finite", 5, 0x7fc00000 },
   };
   for ( const Bad& b : bad )
   {
      SCOPED_TRACE( b.what );
      std::vector<uint8_t> bytes = stream( 1.2f );
      std::memcpy( bytes.data() + b.offset, &b.value, 4 );
      ATrousWaveletsTransform::Parameters kept;
      EXPECT_THROW( streams.ReadFrom( kept, bytes, 1.2f ), qor::GenericException );
      EXPECT_EQ( kept.ToText( 0 ), ATrousWaveletsTransform::Parameters().ToText( 0 ) );
   }
}
