// DynamicCrop on a view in memory: the rectangle relative to the image, the crop against plain crops and exact turns,
// the refusal of sizes out of range before anything changes, its record and its text.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>

#include "GeometryTestKit.h"
#include "TestSupport.h"
#include "classlib/Exception.h"
#include "classlib/ImageTestSupport.h"
#include "process/DynamicCrop.h"

namespace
{

class DynamicCropTest : public test::ScriptedUiTest
{
};

DynamicCrop Rectangle( float cx, float cy, float w, float h, double degrees = 0, bool optimize = true )
{
   DynamicCrop c;
   DynamicCrop::Parameters& p = c.Params();
   p.centerX = cx;
   p.centerY = cy;
   p.width = w;
   p.height = h;
   p.rotationAngle = float( degrees * std::numbers::pi / 180 );
   p.optimizeFastRotations = optimize;
   p.fillColor = RGBColorParameters( 0.25f, 0.5f, 0.75f );
   return c;
}

TEST_F( DynamicCropTest, UprightRectanglesCropAsThePlainCanvasDoes )
{
   const qor::Image original = test::RandomImage( 100, 80, 3, qor::ColorSpace::RGB, 6 );
   {
      // The middle quarter: the 50 x 40 block from column 25 and row 20.
      qor::Image image( original );
      kit::GeometryView view( image );
      Rectangle( 0.5f, 0.5f, 0.5f, 0.5f ).DoExecuteOn( view );
      qor::Image expected;
      expected.AssignRect( original, 25, 20, 50, 40 );
      EXPECT_TRUE( test::SamePixels( image, expected ) );
      EXPECT_EQ( view.log, ( std::vector<std::string>{ "delete previews", "release mask references", "remove mask" } ) );
      EXPECT_EQ( view.modified, 1 );
   }
   {
      // Half beyond the left edge: the left 50 columns take the fill colour.
      qor::Image image( original );
      kit::GeometryView view( image );
      Rectangle( 0, 0.5f, 1, 1 ).DoExecuteOn( view );
      ASSERT_EQ( std::make_pair( image.Width(), image.Height() ), std::make_pair( 100, 80 ) );
      EXPECT_EQ( image.Pixel( 49, 79, 2 ), 0.75f );
      EXPECT_EQ( image.Pixel( 50, 7, 1 ), original.Pixel( 0, 7, 1 ) );
      EXPECT_EQ( image.Pixel( 99, 79, 0 ), original.Pixel( 49, 79, 0 ) );
   }
   {
      // The whole image: nothing changes, yet previews and masks go and the run counts as a modification.
      qor::Image image( original );
      kit::GeometryView view( image );
      Rectangle( 0.5f, 0.5f, 1, 1 ).DoExecuteOn( view );
      EXPECT_TRUE( test::SamePixels( image, original ) );
      EXPECT_EQ( view.log.size(), 3u );
      EXPECT_EQ( view.modified, 1 );
   }
   {
      // The prototype (ten times the image about its top-left corner) on a 100 x 100 grey image.
      qor::Image image = test::RandomImage( 100, 100, 1, qor::ColorSpace::Gray, 2 );
      const qor::Image before( image );
      kit::GeometryView view( image );
      DynamicCrop prototype;
      prototype.DoExecuteOn( view );
      ASSERT_EQ( std::make_pair( image.Width(), image.Height() ), std::make_pair( 1000, 1000 ) );
      EXPECT_EQ( image.Pixel( 499, 499 ), 0.0f );
      EXPECT_EQ( image.Pixel( 500, 500 ), before.Pixel( 0, 0 ) );
      EXPECT_EQ( image.Pixel( 599, 550 ), before.Pixel( 99, 50 ) );
      EXPECT_EQ( image.Pixel( 600, 550 ), 0.0f );
   }
}

TEST_F( DynamicCropTest, QuarterTurnsAreExactAndOtherAnglesInterpolate )
{
   const qor::Image original = test::RandomImage( 100, 80, 1, qor::ColorSpace::Gray, 8 );
   // 40 x 20 turned by +90 degrees about (50, 40): the block of columns 40..59 and rows 20..59, turned clockwise.
   qor::Image block;
   block.AssignRect( original, 40, 20, 20, 40 );
   qor::Image clockwise( block );
   clockwise.Rotate90CW();
   {
      qor::Image image( original );
      kit::GeometryView view( image );
      Rectangle( 0.5f, 0.5f, 0.4f, 0.25f, 90 ).DoExecuteOn( view );
      EXPECT_TRUE( test::SamePixels( image, clockwise ) );
   }
   {
      // -90 degrees: counter-clockwise; without the optimisation the turn is interpolated (same size, not exact).
      qor::Image counter( block );
      counter.Rotate90CCW();
      qor::Image image( original );
      kit::GeometryView view( image );
      Rectangle( 0.5f, 0.5f, 0.4f, 0.25f, -90 ).DoExecuteOn( view );
      EXPECT_TRUE( test::SamePixels( image, counter ) );

      qor::Image general( original );
      kit::GeometryView generalView( general );
      Rectangle( 0.5f, 0.5f, 0.4f, 0.25f, -90, false ).DoExecuteOn( generalView );
      EXPECT_EQ( std::make_pair( general.Width(), general.Height() ), std::make_pair( 40, 20 ) );
   }
}

TEST_F( DynamicCropTest, SizesOutOfRangeAreRefusedBeforeAnythingChanges )
{
   struct Case
   {
      const char* what;
      int32_t width, height;
      DynamicCrop process;
   };
   const Case cases[] = {
      { "the prototype's box of 32010 columns", 3201, 10, DynamicCrop() },
      { "an upright size of 0 after a turn", 100, 80, Rectangle( 0.5f, 0.5f, 0.004f, 0.5f, 30 ) },
      { "a negative size", 100, 80, Rectangle( 0.5f, 0.5f, -0.5f, 0.5f, 30 ) },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.what );
      qor::Image image = test::RandomImage( c.width, c.height, 1, qor::ColorSpace::Gray, 4 );
      const qor::Image before( image );
      kit::GeometryView view( image );
      view.previews = { { "Preview01", 0, 0, 5, 5 } };
      DynamicCrop process = c.process;
      try
      {
         process.DoExecuteOn( view );
         ADD_FAILURE() << "not refused";
      }
      catch ( const qor::Exception& e )
      {
         EXPECT_EQ( e.ErrorText(), "Invalid image dimensions in DynamicCrop" );
      }
      EXPECT_TRUE( test::SamePixels( image, before ) );
      EXPECT_TRUE( view.log.empty() ) << "previews and masks stay";
      EXPECT_EQ( view.modified, 0 );
      int32_t w = c.width, h = c.height;
      process.GetNewSize( w, h );
      EXPECT_EQ( std::make_pair( w, h ), std::make_pair( 0, 0 ) );
   }
}

TEST_F( DynamicCropTest, PreviewsAndMaskUsersAreAskedFor )
{
   qor::Image image( 100, 80, 1 );
   kit::GeometryView view( image );
   DynamicCrop process = Rectangle( 0.5f, 0.5f, 0.5f, 0.5f );
   EXPECT_TRUE( process.ConfirmExecutionOn( view ) ) << "nothing to lose, nothing asked";
   view.maskUsers = true;
   platform::ScriptedPrompter::Expectation question;
   question.caption = "DynamicCrop";
   question.text = "Previews and mask references will be destroyed. Some of these side-effects cannot be undone. "
                   "Proceed?";
   question.answer = platform::Answer::No;
   prompter.Expect( question );
   EXPECT_FALSE( process.ConfirmExecutionOn( view ) );
   EXPECT_FALSE( process.IsMaskable( view, nullptr ) );
   EXPECT_EQ( process.Category(), "Dynamic" );
}

TEST_F( DynamicCropTest, TextAndStream )
{
   DynamicCrop process = Rectangle( 0.5f, 0.25f, 0.125f, 2, -30 );
   const DynamicCrop::Parameters& p = process.Params();
   EXPECT_EQ( p.ToText( -1 ), "centerX=0.5000,\ncenterY=0.2500,\nwidth=0.1250,\nheight=2.0000,\nrotationAngle=-30.000,..." );
   EXPECT_EQ( p.ToText( 0 ), "centerX=0.5000,\ncenterY=0.2500,\nwidth=0.1250,\nheight=2.0000,\nrotationAngle=-30.000,\n"
                             "optimizeFastRotations=1,\nfillColor={0.2500,0.5000,0.7500},\n"
                             "interpolation={" + p.interpolation.ToText( 0 ) + "}" );

   kit::ParameterStreams streams;
   const std::vector<uint8_t> bytes = streams.Written( p );
   ASSERT_EQ( bytes.size(), 41u );
   EXPECT_EQ( bytes[20], 1 ) << "optimizeFastRotations as one byte after the five floats";
   DynamicCrop::Parameters read;
   EXPECT_EQ( streams.ReadFrom( read, bytes ), 0 );
   EXPECT_EQ( streams.Written( read ), bytes );

   // A value that is not a number, a truncated record, an unknown interpolation: refused, the record unchanged.
   auto damaged = [&]( size_t at, float value )
   {
      std::vector<uint8_t> b = bytes;
      std::memcpy( b.data() + at, &value, 4 );
      return b;
   };
   std::vector<uint8_t> badAlgorithm = bytes;
   badAlgorithm[33] = 9;
   for ( const std::vector<uint8_t>& bad :
         { damaged( 8, std::numeric_limits<float>::quiet_NaN() ), damaged( 16, std::numeric_limits<float>::infinity() ),
           damaged( 0, -std::numeric_limits<float>::infinity() ), std::vector<uint8_t>( bytes.begin(), bytes.end() - 1 ),
           badAlgorithm } )
   {
      DynamicCrop::Parameters kept = p;
      EXPECT_ANY_THROW( streams.ReadFrom( kept, bad ) );
      EXPECT_EQ( streams.Written( kept ), bytes );
   }
}

} // namespace
