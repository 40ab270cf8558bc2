#include <gtest/gtest.h>

#include <cmath>

#include "FilterTestKit.h"
#include "ProcessTestKit.h"
#include "classlib/Exception.h"
#include "classlib/Luminance.h"
#include "classlib/MinMaxKernel.h"
#include "process/MinMaxFilter.h"
#include "classlib/ImageTestSupport.h"

namespace
{

MinMaxFilter::Parameters Params( int32_t box, int32_t iterations, float amount, bool minimum, bool circular,
                                 bool luminance )
{
   MinMaxFilter::Parameters p;
   p.boxSize = box;
   p.numberOfIterations = iterations;
   p.amount = amount;
   p.filterType = minimum;
   p.circularKernel = circular;
   p.useLuminance = luminance;
   return p;
}

} // namespace

TEST( MinMaxFilter, DefaultsTextAndIdentity )
{
   MinMaxFilter filter;
   EXPECT_EQ( filter.Id(), "MinMaxFilter" );
   EXPECT_EQ( filter.Category(), "General" );
   EXPECT_EQ( filter.parameters->ToText( 0 ), "boxSize=5,\nfilterType=\"min\"" );
   EXPECT_EQ( MinMaxFilter( Params( 5, 2, 1.0f, false, false, false ) ).parameters->ToText( 0 ),
              "boxSize=5,\nfilterType=\"max\",\nnumberOfIterations=2" );
   EXPECT_EQ( MinMaxFilter( Params( 7, 1, 0.25f, true, true, true ) ).parameters->ToText( 0 ),
              "boxSize=7,\nfilterType=\"min\",\namount=0.25,\ncircularKernel=1,\nuseLuminance=1" );
}

TEST( MinMaxFilter, StreamLayoutAndRefusedValues )
{
   kit::ParameterStreams streams;
   const MinMaxFilter::Parameters p = Params( 9, 3, 0.5f, false, true, true );
   const std::vector<uint8_t> bytes = streams.Written( p );
   EXPECT_EQ( bytes, kit::Bytes().Value<int32_t>( 9 ).Value<int32_t>( 3 ).Value( 0.5f ).Raw( { 0, 1, 1 } ).data );

   MinMaxFilter::Parameters read;
   EXPECT_EQ( streams.ReadFrom( read, kit::Bytes().Value<int32_t>( 9 ).Value<int32_t>( 3 ).Value( 0.5f ).Raw( { 0, 7, 2 } ).data ), 0 );
   EXPECT_EQ( read.ToText( 0 ), p.ToText( 0 ) ); // nonzero bytes read as true

   struct Bad
   {
      int32_t box, iterations;
      float amount;
   } bad[] = { { 4, 1, 1.0f }, { 1, 1, 1.0f }, { -5, 1, 1.0f }, { 257, 1, 1.0f }, { 5, 0, 1.0f },
               { 5, -1, 1.0f }, { 5, 101, 1.0f }, { 5, 1, -0.5f }, { 5, 1, 1.5f }, { 5, 1, NAN } };
   for ( const Bad& b : bad )
   {
      MinMaxFilter::Parameters kept;
      EXPECT_THROW( streams.ReadFrom( kept, kit::Bytes().Value( b.box ).Value( b.iterations ).Value( b.amount ).Raw( { 1, 0, 0 } ).data ),
                    qor::GenericException )
          << b.box << " " << b.iterations << " " << b.amount;
      EXPECT_EQ( kept.ToText( 0 ), MinMaxFilter::Parameters().ToText( 0 ) );
   }
}

// Each iteration is one pass of the kernel over the previous result; more than one announces each pass.
TEST( MinMaxFilter, IterationsArePassesOverThePreviousResult )
{
   qor::Image image = test::RandomImage( 30, 20, 3, qor::ColorSpace::RGB, 5 );
   image.SetColorSpaceCode( qor::ColorSpace::RGB );
   qor::Image expected( image );
   for ( int i = 0; i < 3; ++i )
      qor::ApplyMinMaxKernel( expected, 3, 0.8f, false, true );

   kit::RecordingView view( image );
   MinMaxFilter filter( Params( 3, 3, 0.8f, false, true, false ) );
   filter.DoExecuteOn( view );
   EXPECT_TRUE( test::SamePixels( image, expected ) );
   EXPECT_EQ( view.tasks, ( std::vector<std::string>{ "2:Iteration 1 of 3", "2:Iteration 2 of 3", "2:Iteration 3 of 3" } ) );
   EXPECT_EQ( view.modified, 1 );

   kit::RecordingView once( image );
   MinMaxFilter( Params( 3, 1, 1.0f, true, false, false ) ).DoExecuteOn( once );
   EXPECT_TRUE( once.tasks.empty() );
   EXPECT_EQ( once.monitorTexts, ( std::vector<std::string>{ "Erosion (Minimum) Filter" } ) );
}

// On a colour image with the luminance option only the lightness is filtered; a grey image is filtered directly.
TEST( MinMaxFilter, LuminanceOfColourImagesOnly )
{
   qor::Image rgb = test::RandomImage( 17, 11, 3, qor::ColorSpace::RGB, 6 );
   rgb.SetColorSpaceCode( qor::ColorSpace::RGB );
   const qor::RGBColorSystem rgbws;
   std::unique_ptr<qor::Image> lightness = qor::ExtractLuminance( rgb, rgbws );
   qor::ApplyMinMaxKernel( *lightness, 5, 1.0f, false, false );
   qor::Image expected( rgb );
   qor::ReplaceLuminance( expected, *lightness, rgbws );

   kit::RecordingView view( rgb );
   MinMaxFilter( Params( 5, 1, 1.0f, false, false, true ) ).DoExecuteOn( view );
   EXPECT_TRUE( test::SamePixels( rgb, expected ) );
   EXPECT_EQ( view.monitorTexts.back(), "Setting Luminance" );

   qor::Image grey = test::RandomImage( 17, 11, 1, qor::ColorSpace::Gray, 7 );
   qor::Image direct( grey );
   qor::ApplyMinMaxKernel( direct, 5, 1.0f, true, false );
   kit::RecordingView greyView( grey );
   MinMaxFilter( Params( 5, 1, 1.0f, true, false, true ) ).DoExecuteOn( greyView );
   EXPECT_TRUE( test::SamePixels( grey, direct ) );
   EXPECT_EQ( greyView.monitorTexts, ( std::vector<std::string>{ "Erosion (Minimum) Filter" } ) );
}

// An abort in any pass, or while the lightness is taken out or goes back, leaves the image as it was.
TEST( MinMaxFilter, AnAbortLeavesTheImageAsItWas )
{
   for ( bool luminance : { false, true } )
      for ( int abortAt = 1; abortAt <= ( luminance ? 5 : 3 ); ++abortAt )
      {
         qor::Image image = test::RandomImage( 40, 300, 3, qor::ColorSpace::RGB, 8 );
         image.SetColorSpaceCode( qor::ColorSpace::RGB );
         const qor::Image before( image );
         kit::RecordingView view( image );
         view.abortFromPhase = abortAt;
         MinMaxFilter filter( Params( 5, 3, 1.0f, true, false, luminance ) );
         EXPECT_THROW( filter.DoExecuteOn( view ), qor::Image::AbortProcessEvent ) << luminance << " " << abortAt;
         EXPECT_TRUE( test::SamePixels( image, before ) ) << luminance << " " << abortAt;
         EXPECT_EQ( view.modified, 0 );
      }
}
