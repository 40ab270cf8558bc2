// FastRotate against the class library's transforms, its previews carried to the transformed rectangles, and its
// parameter record.

#include <gtest/gtest.h>

#include <set>
#include <tuple>

#include "GeometryTestKit.h"
#include "TestSupport.h"
#include "classlib/Exception.h"
#include "classlib/ImageTestSupport.h"
#include "process/FastRotate.h"

namespace
{

using Rect = ImageWindowService::PreviewRect;

class FastRotateTest : public test::ScriptedUiTest
{
};

// The sample of image `before` that pixel (x, y) of the transformed image shows.
float Source( const qor::Image& before, int32_t rotation, int32_t x, int32_t y )
{
   const int32_t w = before.Width(), h = before.Height();
   switch ( rotation )
   {
   case FastRotate::_90degCW:
      return before.Pixel( y, h - 1 - x );
   case FastRotate::_90degCCW:
      return before.Pixel( w - 1 - y, x );
   case FastRotate::horzMirror:
      return before.Pixel( w - 1 - x, y );
   case FastRotate::vertMirror:
      return before.Pixel( x, h - 1 - y );
   default:
      return before.Pixel( w - 1 - x, h - 1 - y );
   }
}

TEST_F( FastRotateTest, EveryTransformMovesPixelsAndPreviewsExactly )
{
   const qor::Image original = test::RandomImage( 30, 20, 1, qor::ColorSpace::Gray, 5 );
   for ( int32_t rotation = 0; rotation < 5; ++rotation )
   {
      SCOPED_TRACE( FastRotate::RotationName( rotation ) );
      qor::Image image( original );
      kit::GeometryView view( image );
      view.previews = { { "Preview01", 3, 4, 10, 6 }, { "Whole", 0, 0, 30, 20 } };
      prompter.Expect( "Stored previews will be lost", platform::Answer::Yes );
      FastRotate process( rotation );
      ASSERT_TRUE( process.ConfirmExecutionOn( view ) );
      process.DoExecuteOn( view );

      int32_t w = 30, h = 20;
      process.GetNewSize( w, h, view );
      ASSERT_EQ( image.Width(), w );
      ASSERT_EQ( image.Height(), h );
      for ( int32_t y = 0; y < h; ++y )
         for ( int32_t x = 0; x < w; ++x )
            ASSERT_EQ( image.Pixel( x, y ), Source( original, rotation, x, y ) ) << x << "," << y;

      // Previews come back in order under their identifiers; each covers the pixels it covered before.
      ASSERT_EQ( view.previews.size(), 2u );
      EXPECT_EQ( view.log, ( std::vector<std::string>{ "delete previews", "release mask references", "remove mask",
                                                       "create Preview01", "create Whole" } ) );
      const Rect& p = view.previews[0];
      EXPECT_EQ( p.identifier, "Preview01" );
      EXPECT_EQ( int64_t( p.width ) * p.height, 60 );
      std::multiset<float> inside, expected;
      for ( int32_t y = p.top; y < p.top + p.height; ++y )
         for ( int32_t x = p.left; x < p.left + p.width; ++x )
            inside.insert( image.Pixel( x, y ) );
      for ( int32_t y = 4; y < 10; ++y )
         for ( int32_t x = 3; x < 13; ++x )
            expected.insert( original.Pixel( x, y ) );
      EXPECT_EQ( inside, expected );
      const Rect& whole = view.previews[1];
      EXPECT_EQ( whole.left, 0 );
      EXPECT_EQ( whole.top, 0 );
      EXPECT_EQ( whole.width, w );
      EXPECT_EQ( whole.height, h );
      EXPECT_EQ( view.modified, 1 );
   }
}

TEST_F( FastRotateTest, PreviewRectanglesFollowTheTable )
{
   // A 300 x 200 image with a preview at (10, 20), 50 x 30.
   const Rect rect{ "P", 10, 20, 50, 30 };
   struct Case
   {
      int32_t rotation;
      Rect expected;
   };
   for ( const Case& c : { Case{ FastRotate::_90degCW, { "P", 150, 10, 30, 50 } },
                           Case{ FastRotate::_180deg, { "P", 240, 150, 50, 30 } },
                           Case{ FastRotate::_90degCCW, { "P", 20, 240, 30, 50 } },
                           Case{ FastRotate::horzMirror, { "P", 240, 20, 50, 30 } },
                           Case{ FastRotate::vertMirror, { "P", 10, 150, 50, 30 } } } )
   {
      const Rect r = FastRotate::TransformRect( rect, c.rotation, 300, 200 );
      EXPECT_EQ( std::make_tuple( r.left, r.top, r.width, r.height ),
                 std::make_tuple( c.expected.left, c.expected.top, c.expected.width, c.expected.height ) )
          << FastRotate::RotationName( c.rotation );
   }
}

TEST_F( FastRotateTest, APreviewThatWouldFallOutsideIsDroppedWithANotice )
{
   qor::Image image( 30, 20, 1 );
   image.Fill( 0, 0.5f );
   kit::GeometryView view( image );
   // A rectangle reaching past the image (a stale one) is not cut down to nothing.
   view.previews = { { "Inside", 0, 0, 5, 5 }, { "Outside", 25, 15, 10, 10 } };
   prompter.Expect( "would fall outside the transformed image and have been deleted: Outside" );
   FastRotate( FastRotate::_90degCW ).DoExecuteOn( view );
   ASSERT_EQ( view.previews.size(), 1u );
   EXPECT_EQ( view.previews[0].identifier, "Inside" );
}

TEST_F( FastRotateTest, NoQuestionWithoutPreviewsAndMaskUsers )
{
   qor::Image image( 8, 4, 1 );
   kit::GeometryView view( image );
   view.hasMask = true;
   FastRotate process;
   EXPECT_TRUE( process.ConfirmExecutionOn( view ) );
   process.DoExecuteOn( view );
   EXPECT_FALSE( view.hasMask );

   view.maskUsers = true;
   prompter.Expect( "Stored previews will be lost", platform::Answer::No );
   EXPECT_FALSE( process.ConfirmExecutionOn( view ) );
}

TEST_F( FastRotateTest, ParametersStreamAndPrintTheRotation )
{
   kit::ParameterStreams streams;
   FastRotate::Parameters p;
   p.rotation = FastRotate::horzMirror;
   EXPECT_EQ( streams.Written( p ), ( std::vector<uint8_t>{ 3, 0, 0, 0 } ) );
   EXPECT_EQ( p.ToText( 0 ), "rotation=\"horzMirror\"" );
   p.rotation = 9;
   EXPECT_EQ( p.ToText( 0 ), "rotation=\"_180deg\"" );

   FastRotate::Parameters read;
   EXPECT_THROW( streams.ReadFrom( read, { 5, 0, 0, 0 } ), qor::GenericException );
   EXPECT_EQ( read.rotation, FastRotate::_180deg );
   EXPECT_EQ( streams.ReadFrom( read, { 2, 0, 0, 0 } ), 0 );
   EXPECT_EQ( read.rotation, FastRotate::_90degCCW );

   int32_t w = 300, h = 200;
   qor::Image image( 1, 1, 1 );
   kit::GeometryView view( image );
   FastRotate( FastRotate::_90degCCW ).GetNewSize( w, h, view );
   EXPECT_EQ( std::make_pair( w, h ), std::make_pair( 200, 300 ) );
}

} // namespace
