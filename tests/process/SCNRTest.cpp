#include <gtest/gtest.h>

#include "FilterTestKit.h"
#include "ProcessTestKit.h"
#include "classlib/ColorNoiseReduction.h"
#include "classlib/Exception.h"
#include "classlib/ImageTestSupport.h"
#include "classlib/Parallel.h"
#include "process/SCNR.h"

#include <limits>

namespace
{

SCNR Make( int32_t color, SCNR::ProtectionMethod method, float amount )
{
   SCNR::Parameters p;
   p.colorToRemove = color;
   p.protectionMethod = method;
   p.amount = amount;
   return SCNR( p );
}

qor::Image Pixel( float r, float g, float b )
{
   qor::Image image( 1, 1, 3, qor::ColorSpace::RGB );
   image.Pixel( 0, 0, 0 ) = r;
   image.Pixel( 0, 0, 1 ) = g;
   image.Pixel( 0, 0, 2 ) = b;
   return image;
}

} // namespace

TEST( SCNR, TextAndStream )
{
   SCNR scnr;
   EXPECT_EQ( scnr.Id(), "SCNR" );
   EXPECT_EQ( scnr.parameters->ToText( 0 ), "colorToRemove=1,\nprotectionMethod=averageNeutral" );
   EXPECT_EQ( Make( 1, SCNR::maximumMask, 0.5f ).parameters->ToText( 0 ),
              "colorToRemove=1,\nprotectionMethod=maximumMask,\namount=0.50" );

   kit::ParameterStreams streams;
   const SCNR additive = Make( 2, SCNR::additiveMask, 0.25f );
   const std::vector<uint8_t> bytes = streams.Written( *additive.parameters );
   EXPECT_EQ( bytes, kit::Bytes().Value<int32_t>( 2 ).Value<int32_t>( 1 ).Value( 0.25f ).data );
   SCNR read;
   // The method's low byte counts.
   EXPECT_EQ( streams.ReadFrom( *read.parameters, kit::Bytes().Value<int32_t>( 2 ).Value<int32_t>( 0x7701 ).Value( 0.25f ).data ), 0 );
   EXPECT_EQ( read.ToText(), additive.ToText() );

   struct Bad
   {
      int32_t color, method;
      float amount;
   } bad[] = { { 3, 0, 0.5f }, { -1, 0, 0.5f }, { 1, 4, 0.5f }, { 1, 0xff, 0.5f }, { 1, 0, 1.5f }, { 1, 0, NAN } };
   for ( const Bad& b : bad )
   {
      SCNR kept;
      EXPECT_THROW( streams.ReadFrom( *kept.parameters, kit::Bytes().Value( b.color ).Value( b.method ).Value( b.amount ).data ),
                    qor::GenericException );
      EXPECT_EQ( kept.ToText(), SCNR().ToText() );
   }
}

// The four methods at known colours; each colour is limited by the two others.
TEST( SCNR, FourMethodsAtKnownColours )
{
   struct Case
   {
      int32_t color;
      SCNR::ProtectionMethod method;
      float amount;
      float r, g, b;
      float expected;
   } cases[] = {
       { 1, SCNR::averageNeutral, 0.7f, 0.2f, 0.9f, 0.4f, 0.3f },
       { 1, SCNR::averageNeutral, 0.7f, 0.5f, 0.2f, 0.4f, 0.2f },
       { 1, SCNR::maximumNeutral, 0.7f, 0.2f, 0.9f, 0.4f, 0.4f },
       { 1, SCNR::additiveMask, 1.0f, 0.2f, 0.9f, 0.4f, 0.9f * 0.6f },
       { 1, SCNR::maximumMask, 0.7f, 0.2f, 0.9f, 0.4f, 0.9f * 0.3f * 0.6f + 0.9f * 0.4f },
       { 1, SCNR::additiveMask, 0.5f, 0.7f, 0.9f, 0.6f, 0.9f }, // a mask of 1 keeps the channel
       { 0, SCNR::maximumNeutral, 0.7f, 0.9f, 0.3f, 0.5f, 0.5f }, // red against green and blue
       { 2, SCNR::averageNeutral, 0.7f, 0.2f, 0.4f, 0.8f, 0.3f }, // blue against red and green
   };
   for ( const Case& k : cases )
   {
      qor::Image image = Pixel( k.r, k.g, k.b );
      kit::RecordingView view( image );
      SCNR scnr = Make( k.color, k.method, k.amount );
      ASSERT_TRUE( scnr.CanExecuteOn( view ) );
      scnr.DoExecuteOn( view );
      const float before[3] = { k.r, k.g, k.b };
      for ( int c = 0; c < 3; ++c )
         EXPECT_NEAR( image.Pixel( 0, 0, c ), c == k.color ? k.expected : before[c], 1e-6f )
             << SCNR::MethodName( k.method ) << " channel " << c;
      EXPECT_EQ( view.monitorTexts.size(), 1u );
      EXPECT_EQ( view.modified, 1 );
   }
   qor::Image rgb = Pixel( 0.2f, 0.9f, 0.4f );
   kit::RecordingView view( rgb );
   SCNR().DoExecuteOn( view );
   EXPECT_EQ( view.monitorTexts, std::vector<std::string>{ "SCNR, G removal" } );
}

// Long rows go through the vectorised kernel: every sample, NaN and infinities included, is the formula evaluated
// alone, bit for bit, on one thread and on all of them.
TEST( SCNR, EverySampleIsTheFormulaOnAnyNumberOfThreads )
{
   qor::Image input = test::RandomImage( 203, 37, 3, qor::ColorSpace::RGB, 11, -0.2f, 1.3f );
   const float specials[] = { std::numeric_limits<float>::quiet_NaN(), std::numeric_limits<float>::infinity(),
                              -std::numeric_limits<float>::infinity(), 0.0f, 1.0f };
   for ( int32_t i = 0; i < 60; ++i )
      input[i % 3][( i * 977 ) % input.NumberOfPixels()] = specials[i % 5];
   for ( int32_t m = 0; m < 4; ++m )
      for ( int32_t channel = 0; channel < 3; ++channel )
      {
         const auto method = qor::ColorNoiseProtection( m );
         const float amount = 0.65f;
         qor::Image expected( input );
         const float* p = input[channel == 0 ? 1 : 0];
         const float* q = input[channel == 2 ? 1 : 2];
         for ( int64_t i = 0; i < input.NumberOfPixels(); ++i )
         {
            const float x = input[channel][i];
            float v;
            if ( method == qor::ColorNoiseProtection::AverageNeutral )
               v = ( p[i] + q[i] ) * 0.5f;
            else if ( method == qor::ColorNoiseProtection::AdditiveMask )
               v = p[i] + q[i] >= 1 ? 1.0f : p[i] + q[i];
            else
               v = q[i] > p[i] ? q[i] : p[i];
            const bool mask = method == qor::ColorNoiseProtection::MaximumMask ||
                              method == qor::ColorNoiseProtection::AdditiveMask;
            volatile float kept = x * ( 1 - amount ) * ( 1 - v ); // no fused multiply-add here either
            expected[channel][i] = mask ? kept + x * v : ( v < x ? v : x );
         }
         for ( int32_t threads : { 1, 0 } )
         {
            qor::ThreadCountScope scope( threads );
            qor::Image image( input );
            qor::RemoveColorNoise( image, channel, method, amount );
            EXPECT_TRUE( test::SamePixels( image, expected ) ) << "method " << m << " channel " << channel
                                                               << " threads " << threads;
         }
      }
}

TEST( SCNR, GreyImagesAreRefusedAndAnAbortChangesNothing )
{
   qor::Image grey( 4, 4, 1, qor::ColorSpace::Gray );
   grey.Fill( 0, 0.5f );
   kit::RecordingView greyView( grey );
   EXPECT_FALSE( SCNR().CanExecuteOn( greyView ) );
   SCNR().DoExecuteOn( greyView );
   EXPECT_EQ( greyView.modified, 0 );

   qor::Image image = test::RandomImage( 50, 400, 3, qor::ColorSpace::RGB, 4 );
   image.SetColorSpaceCode( qor::ColorSpace::RGB );
   const qor::Image before( image );
   kit::RecordingView view( image );
   view.abortFromPhase = 1;
   EXPECT_THROW( SCNR().DoExecuteOn( view ), qor::Image::AbortProcessEvent );
   EXPECT_TRUE( test::SamePixels( image, before ) );
}
