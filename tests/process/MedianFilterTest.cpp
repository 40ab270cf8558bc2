#include <gtest/gtest.h>

#include "FilterTestKit.h"
#include "ProcessTestKit.h"
#include "classlib/Exception.h"
#include "classlib/ImageTestSupport.h"
#include "classlib/Luminance.h"
#include "process/MedianFilter.h"

namespace
{

MedianFilter::Parameters Params( int32_t box, int32_t iterations, float amount, bool hybrid, bool circular,
                                 bool luminance )
{
   MedianFilter::Parameters p;
   p.boxSize = box;
   p.numberOfIterations = iterations;
   p.amount = amount;
   p.hybridFilter = hybrid;
   p.circularKernel = circular;
   p.useLuminance = luminance;
   return p;
}

} // namespace

TEST( MedianFilter, TextAndStream )
{
   MedianFilter filter;
   EXPECT_EQ( filter.Id(), "MedianFilter" );
   EXPECT_EQ( filter.parameters->ToText( 0 ), "boxSize=5" );
   EXPECT_EQ( MedianFilter( Params( 5, 3, 0.5f, true, false, false ) ).parameters->ToText( 0 ),
              "boxSize=5,\nnumberOfIterations=3,\namount=0.50,\nhybridFilter=1" );

   kit::ParameterStreams streams;
   const MedianFilter::Parameters p = Params( 7, 2, 0.25f, true, false, true );
   const std::vector<uint8_t> bytes = streams.Written( p );
   EXPECT_EQ( bytes, kit::Bytes().Value<int32_t>( 7 ).Value<int32_t>( 2 ).Value( 0.25f ).Raw( { 1, 0, 1 } ).data );
   MedianFilter::Parameters read;
   EXPECT_EQ( streams.ReadFrom( read, bytes ), 0 );
   EXPECT_EQ( read.ToText( 0 ), p.ToText( 0 ) );
   EXPECT_THROW( streams.ReadFrom( read, kit::Bytes().Value<int32_t>( 6 ).Value<int32_t>( 1 ).Value( 1.0f ).Raw( { 0, 0, 0 } ).data ),
                 qor::GenericException );
   EXPECT_EQ( read.ToText( 0 ), p.ToText( 0 ) );
}

// The run: the wrapper once per iteration on the image, or on the lightness of a colour image.
TEST( MedianFilter, RunsEveryIterationOnTheImageOrItsLightness )
{
   qor::Image rgb = test::RandomImage( 23, 15, 3, qor::ColorSpace::RGB, 2 );
   rgb.SetColorSpaceCode( qor::ColorSpace::RGB );
   qor::Image expected( rgb );
   qor::ApplyMedianFilter( expected, 5, 0.7f, true, false );
   qor::ApplyMedianFilter( expected, 5, 0.7f, true, false );
   qor::Image image( rgb );
   kit::RecordingView view( image );
   MedianFilter( Params( 5, 2, 0.7f, true, false, false ) ).DoExecuteOn( view );
   EXPECT_TRUE( test::SamePixels( image, expected ) );
   EXPECT_EQ( view.tasks, ( std::vector<std::string>{ "2:Iteration 1 of 2", "2:Iteration 2 of 2" } ) );
   EXPECT_EQ( view.monitorTexts, ( std::vector<std::string>{ "Two-way Hybrid Median Filter", "Two-way Hybrid Median Filter" } ) );

   const qor::RGBColorSystem rgbws;
   std::unique_ptr<qor::Image> lightness = qor::ExtractLuminance( rgb, rgbws );
   qor::ApplyMedianFilter( *lightness, 3, 1.0f, false, true );
   qor::Image expectedLuminance( rgb );
   qor::ReplaceLuminance( expectedLuminance, *lightness, rgbws );
   qor::Image image2( rgb );
   kit::RecordingView view2( image2 );
   MedianFilter( Params( 3, 1, 1.0f, false, true, true ) ).DoExecuteOn( view2 );
   EXPECT_TRUE( test::SamePixels( image2, expectedLuminance ) );
   EXPECT_EQ( view2.monitorTexts.back(), "Setting Luminance" );
   EXPECT_EQ( view2.modified, 1 );

   // An abort in the second pass leaves the image as it was.
   qor::Image image3 = test::RandomImage( 40, 300, 1, qor::ColorSpace::Gray, 3 );
   const qor::Image before( image3 );
   kit::RecordingView view3( image3 );
   view3.abortFromTask = 2;
   EXPECT_THROW( MedianFilter( Params( 5, 2, 1.0f, false, false, false ) ).DoExecuteOn( view3 ),
                 qor::Image::AbortProcessEvent );
   EXPECT_EQ( view3.tasks.size(), 2u );
   EXPECT_TRUE( test::SamePixels( image3, before ) );
}
