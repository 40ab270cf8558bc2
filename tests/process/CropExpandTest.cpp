// CropExpand: margins crop and expand as the class library's canvas operation does, sizes are checked without
// overflow, and its record.

#include <gtest/gtest.h>

#include "GeometryTestKit.h"
#include "TestSupport.h"
#include "classlib/ImageTestSupport.h"
#include "process/CropExpand.h"

namespace
{

class CropExpandTest : public test::ScriptedUiTest
{
};

CropExpand Margins( int32_t l, int32_t t, int32_t r, int32_t b )
{
   CropExpand c;
   c.Params().leftMargin = l;
   c.Params().topMargin = t;
   c.Params().rightMargin = r;
   c.Params().bottomMargin = b;
   c.Params().fillColor = RGBColorParameters( 0.25f, 0.5f, 0.75f );
   return c;
}

TEST_F( CropExpandTest, MarginsCropAndExpand )
{
   const qor::Image original = test::RandomImage( 100, 80, 3, qor::ColorSpace::RGB, 6 );
   {
      qor::Image image( original );
      kit::GeometryView view( image );
      Margins( -10, -10, -10, -10 ).DoExecuteOn( view );
      ASSERT_EQ( std::make_pair( image.Width(), image.Height() ), std::make_pair( 80, 60 ) );
      EXPECT_EQ( image.Pixel( 0, 0, 1 ), original.Pixel( 10, 10, 1 ) );
      EXPECT_EQ( image.Pixel( 79, 59, 2 ), original.Pixel( 89, 69, 2 ) );
   }
   {
      qor::Image image( original );
      kit::GeometryView view( image );
      view.previews = { { "Preview01", 0, 0, 20, 20 } };
      prompter.Expect( "Previews and mask references will be destroyed", platform::Answer::Yes );
      CropExpand process = Margins( -20, 0, 30, 0 );
      ASSERT_TRUE( process.ConfirmExecutionOn( view ) );
      process.DoExecuteOn( view );
      ASSERT_EQ( std::make_pair( image.Width(), image.Height() ), std::make_pair( 110, 80 ) );
      EXPECT_EQ( image.Pixel( 0, 5, 0 ), original.Pixel( 20, 5, 0 ) );
      EXPECT_EQ( image.Pixel( 85, 5, 2 ), 0.75f );
      EXPECT_EQ( image.Pixel( 109, 79, 1 ), 0.5f );
      EXPECT_TRUE( view.previews.empty() );
   }
   {
      qor::Image image( 100, 80, 1 );
      image.Fill( 0, 1 );
      kit::GeometryView view( image );
      Margins( 5, 0, 0, 0 ).DoExecuteOn( view );
      EXPECT_EQ( image.Width(), 105 );
      EXPECT_EQ( image.Pixel( 4, 0 ), 0.25f ) << "a grey image takes the red component";
      EXPECT_EQ( image.Pixel( 5, 0 ), 1.0f );
   }
}

TEST_F( CropExpandTest, SizesOutsideTheLimitsAreRefusedWithoutOverflow )
{
   qor::Image image( 100, 80, 1 );
   kit::GeometryView view( image );
   view.maskUsers = true;
   struct Case
   {
      CropExpand process;
      bool accepted;
   };
   const Case cases[] = { { Margins( -50, 0, -49, 0 ), true },
                          { Margins( -50, 0, -50, 0 ), false },
                          { Margins( 0, 31920, 0, 0 ), true },
                          { Margins( 0, 31921, 0, 0 ), false },
                          // A sum that wraps around the 32-bit range would land in the accepted sizes.
                          { Margins( INT32_MAX, 0, INT32_MAX, 0 ), false },
                          { Margins( INT32_MIN, 0, INT32_MIN + 20, 0 ), false } };
   for ( const Case& c : cases )
      EXPECT_EQ( c.process.CanExecuteOn( view ), c.accepted ) << c.process.Params().ToText( -1 );
   prompter.Expect( "Previews and mask references will be destroyed", platform::Answer::No );
   EXPECT_FALSE( Margins( 1, 1, 1, 1 ).ConfirmExecutionOn( view ) );
}

TEST_F( CropExpandTest, TextAndStream )
{
   CropExpand::Parameters p = Margins( -1, 2, -3, 4 ).Params();
   EXPECT_EQ( p.ToText( -1 ), "leftMargin=-1,\ntopMargin=2,\nrightMargin=-3,\nbottomMargin=4,\n..." );
   EXPECT_EQ( p.ToText( 0 ),
              "leftMargin=-1,\ntopMargin=2,\nrightMargin=-3,\nbottomMargin=4,\nfillColor={0.2500,0.5000,0.7500}" );
   kit::ParameterStreams streams;
   EXPECT_EQ( streams.Written( p ).size(), 28u );
}

} // namespace
