// IntegerResample against the class library's subsampling and oversampling, its size rule and its record.

#include <gtest/gtest.h>

#include "GeometryTestKit.h"
#include "TestSupport.h"
#include "classlib/ImageTestSupport.h"
#include "process/IntegerResample.h"

namespace
{

class IntegerResampleTest : public test::ScriptedUiTest
{
};

TEST_F( IntegerResampleTest, RunsTheClassLibraryOperationsAndDropsPreviewsAfterThem )
{
   for ( int32_t factor : { -2, -3, 2, 1 } )
   {
      SCOPED_TRACE( factor );
      qor::Image image = test::RandomImage( 101, 51, 3, qor::ColorSpace::RGB, 9 );
      qor::Image expected( image );
      if ( factor < 0 )
         expected.Subsample( -factor );
      else
         expected.Oversample( factor );

      kit::GeometryView view( image );
      view.previews = { { "Preview01", 0, 0, 20, 20 } };
      IntegerResample process( factor );
      int32_t w = 101, h = 51;
      process.GetNewSize( w, h, view );
      EXPECT_EQ( std::make_pair( w, h ), std::make_pair( expected.Width(), expected.Height() ) );
      prompter.Expect( "These side-effects cannot be undone. Proceed?", platform::Answer::Yes );
      ASSERT_TRUE( process.ConfirmExecutionOn( view ) );
      process.DoExecuteOn( view );
      EXPECT_TRUE( test::SamePixels( image, expected ) );
      EXPECT_TRUE( view.previews.empty() );
      EXPECT_EQ( view.modified, 1 );
      process.AfterExecutionOn( view );
      EXPECT_EQ( view.log.back(), "zoom to fit" );
   }
}

TEST_F( IntegerResampleTest, SizesOutsideTheLimitsAreRefused )
{
   qor::Image image( 101, 51, 1 );
   kit::GeometryView view( image );
   struct Case
   {
      int32_t factor;
      bool accepted;
   };
   for ( const Case& c : { Case{ -2, true }, Case{ 0, false }, Case{ -51, true }, Case{ -52, false },
                           Case{ 316, true }, Case{ 317, false }, Case{ INT32_MAX, false }, Case{ INT32_MIN, false } } )
      EXPECT_EQ( IntegerResample( c.factor ).CanExecuteOn( view ), c.accepted ) << c.factor;
   // An aborted subsampling leaves the image, its previews and masks as they were.
   view.previews = { { "Preview01", 0, 0, 20, 20 } };
   view.abortFromPhase = 1;
   const qor::Image before( image );
   EXPECT_THROW( IntegerResample( -2 ).DoExecuteOn( view ), qor::Image::AbortProcessEvent );
   EXPECT_TRUE( test::SamePixels( image, before ) );
   EXPECT_EQ( view.previews.size(), 1u );
   EXPECT_TRUE( view.log.empty() );
}

TEST_F( IntegerResampleTest, TheFactorPrintsWithItsSign )
{
   kit::ParameterStreams streams;
   IntegerResample::Parameters p;
   EXPECT_EQ( p.ToText( 0 ), "resampleFactor=+1" );
   p.resampleFactor = -2;
   EXPECT_EQ( p.ToText( 0 ), "resampleFactor=-2" );
   EXPECT_EQ( streams.Written( p ), ( std::vector<uint8_t>{ 0xFE, 0xFF, 0xFF, 0xFF } ) );
}

} // namespace
