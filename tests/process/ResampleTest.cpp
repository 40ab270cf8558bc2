// Resample: its size rule in every mode, the run against the class library, the resolution it stores, and its record.

#include <gtest/gtest.h>

#include "GeometryTestKit.h"
#include "TestSupport.h"
#include "classlib/Exception.h"
#include "classlib/ImageTestSupport.h"
#include "process/Resample.h"

namespace
{

class ResampleTest : public test::ScriptedUiTest
{
};

Resample Make( uint8_t mode, uint8_t absoluteMode, float x, float y, float resolution = 72, bool metric = false )
{
   Resample r;
   r.Params().mode = mode;
   r.Params().absoluteMode = absoluteMode;
   r.Params().xSize = x;
   r.Params().ySize = y;
   r.Params().resolution = resolution;
   r.Params().metric = metric;
   return r;
}

TEST_F( ResampleTest, NewSizesInEveryMode )
{
   struct Case
   {
      const char* what;
      Resample process;
      int32_t w, h, newW, newH;
   };
   const Case cases[] = {
      { "relative halves go to even", Make( Resample::relative, 0, 0.5f, 0.5f ), 101, 51, 50, 26 },
      { "mode above 4 is relative", Make( 9, 0, 2, 1 ), 10, 10, 20, 10 },
      { "pixels truncated", Make( Resample::absolutePixels, 0, 640.9f, 480.2f ), 10, 10, 640, 480 },
      { "pixels force width", Make( Resample::absolutePixels, Resample::forceWidth, 1000, 0 ), 3000, 2000, 1000, 667 },
      { "pixels force height", Make( Resample::absolutePixels, Resample::forceHeight, 0, 1000 ), 3000, 2000, 1500, 1000 },
      { "pixels unknown absolute mode", Make( Resample::absolutePixels, 7, 5, 5 ), 30, 20, 30, 20 },
      { "force size", Make( Resample::forceSize, 0, 1000000, 0 ), 2000, 1000, 1414, 707 },
      { "2.54 cm at 72 ppi", Make( Resample::absoluteCentimeters, 0, 2.54f, 2.54f ), 10, 10, 72, 72 },
      { "2.54 cm at 72 ppcm", Make( Resample::absoluteCentimeters, 0, 2.54f, 2.54f, 72, true ), 10, 10, 183, 183 },
      { "1 inch at 72 ppcm", Make( Resample::absoluteInches, 0, 1, 1, 72, true ), 10, 10, 183, 183 },
      { "not a number is refused later", Make( Resample::relative, 0, 1e30f, 1 ), 10, 10, 0, 10 },
   };
   for ( const Case& c : cases )
   {
      int32_t w = c.w, h = c.h;
      c.process.CalculateNewSize( w, h, 300, false );
      EXPECT_EQ( std::make_pair( w, h ), std::make_pair( c.newW, c.newH ) ) << c.what;
   }
   // A kept resolution is the window's.
   Resample kept = Make( Resample::absoluteInches, 0, 1, 1 );
   kept.Params().keepResolution = true;
   int32_t w = 10, h = 10;
   kept.CalculateNewSize( w, h, 300, false );
   EXPECT_EQ( w, 300 );
}

TEST_F( ResampleTest, RunsTheClassLibraryResamplingAndStoresTheResolution )
{
   for ( int32_t algorithm = 0; algorithm < 4; ++algorithm )
   {
      SCOPED_TRACE( algorithm );
      qor::Image image = test::RandomImage( 40, 30, 3, qor::ColorSpace::RGB, 11 );
      qor::Image expected( image );
      expected.Resample( 20, 45, algorithm, 7 );

      kit::GeometryView view( image );
      view.previews = { { "Preview01", 0, 0, 20, 20 } };
      Resample process = Make( Resample::relative, 0, 0.5f, 1.5f, 300, true );
      process.Params().interpolation = InterpolationParameters( algorithm, 7 );
      EXPECT_TRUE( process.CanExecuteOn( view ) );
      EXPECT_TRUE( process.ModifiesTarget( view ) );
      prompter.Expect( "Previews and mask references will be destroyed. Some of these side-effects cannot be undone. "
                       "Proceed?",
                       platform::Answer::Yes );
      ASSERT_TRUE( process.ConfirmExecutionOn( view ) );
      process.DoExecuteOn( view );
      EXPECT_TRUE( test::SamePixels( image, expected ) );
      EXPECT_TRUE( view.previews.empty() );
      EXPECT_EQ( view.modified, 1 );
      EXPECT_EQ( view.resolution, 300 );
      EXPECT_TRUE( view.metric );
   }
}

TEST_F( ResampleTest, TheDefaultKeepsTheSizeButStillDropsPreviewsAndSetsTheResolution )
{
   qor::Image image = test::RandomImage( 12, 8, 1, qor::ColorSpace::Gray, 2 );
   const qor::Image before( image );
   kit::GeometryView view( image );
   view.resolution = 300;
   view.hasMask = true;
   Resample process;
   EXPECT_FALSE( process.ModifiesTarget( view ) );
   EXPECT_TRUE( process.ConfirmExecutionOn( view ) );
   process.DoExecuteOn( view );
   EXPECT_TRUE( test::SamePixels( image, before ) );
   EXPECT_EQ( view.modified, 0 );
   EXPECT_FALSE( view.hasMask );
   EXPECT_EQ( view.resolution, 72 );

   // A size beyond the limits is refused before anything happens; so is an aborted run's change.
   Resample huge = Make( Resample::absolutePixels, 0, 32001, 8 );
   EXPECT_FALSE( huge.CanExecuteOn( view ) );
   view.previews = { { "Preview01", 0, 0, 4, 4 } };
   view.abortFromPhase = 1;
   EXPECT_THROW( Make( Resample::relative, 0, 2, 2 ).DoExecuteOn( view ), qor::Image::AbortProcessEvent );
   EXPECT_TRUE( test::SamePixels( image, before ) );
   EXPECT_EQ( view.previews.size(), 1u );
}

TEST_F( ResampleTest, TextAndStream )
{
   Resample::Parameters p;
   EXPECT_EQ( p.ToText( 0 ), "mode=\"relative\",\nwidth=1.0000,\nheight=1.0000,\n"
                             "interpolation={algorithm=\"bicubicInterpolation\"},\nresolution=72.000,\nmetric=0" );
   EXPECT_EQ( p.ToText( -1 ), "mode=\"relative\",\nwidth=1.0000,\nheight=1.0000,...,\nresolution=72.000,\nmetric=0" );
   p.mode = Resample::absolutePixels;
   p.absoluteMode = Resample::forceWidth;
   p.xSize = 1000.7f;
   p.keepResolution = true;
   EXPECT_EQ( p.ToText( -1 ), "mode=\"absolute\",\nwidth=1000,..." );
   p.mode = Resample::absoluteCentimeters;
   p.absoluteMode = Resample::forceWidthAndHeight;
   p.ySize = 2.54f;
   EXPECT_EQ( p.ToText( -1 ), "mode=\"absolute\",\nunits=\"cm\",\nwidth=1000.700,\nheight=2.540,..." );
   p.mode = Resample::forceSize;
   p.xSize = 1000000;
   EXPECT_EQ( p.ToText( -1 ), "mode=\"forceSize\",\nnumberOfPixels=1000000,..." );

   kit::ParameterStreams streams;
   const std::vector<uint8_t> bytes = streams.Written( p );
   ASSERT_EQ( bytes.size(), 30u );
   Resample::Parameters read;
   EXPECT_EQ( streams.ReadFrom( read, bytes ), 0 );
   EXPECT_EQ( read.ToText( 0 ), p.ToText( 0 ) );

   std::vector<uint8_t> damaged = bytes;
   damaged[11] = 0x7F; // xSize becomes NaN
   damaged[10] = 0xC0;
   EXPECT_THROW( streams.ReadFrom( read, damaged ), qor::GenericException );
   EXPECT_EQ( read.ToText( 0 ), p.ToText( 0 ) );
}

} // namespace
