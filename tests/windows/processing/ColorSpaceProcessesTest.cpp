// The colour-space processes run on image windows: grey and RGB conversions with their masks, the working space of
// a window or of the program, extraction into new windows and import from open images.

#include <gtest/gtest.h>

#include <QRegularExpression>

#include <algorithm>

#include "classlib/ColorChannels.h"
#include "classlib/Luminance.h"
#include "process/ConvertToGrayscale.h"
#include "process/ConvertToRGBColor.h"
#include "process/ExtractChannels.h"
#include "process/ImportChannels.h"
#include "process/ProcessContainer.h"
#include "process/RGBSpaceParameters.h"
#include "windows/image/ImageIdentifiers.h"
#include "windows/image/ImageWindowTestSupport.h"

namespace
{

class ColorSpaceProcessesTest : public test::ImageWindowProcessTest
{
protected:
   // The windows the runs opened go with the test's own.
   void TearDown() override
   {
      for ( TImageWindow::View* view : MainViewList )
         Track( view->Window() );
      test::ImageWindowProcessTest::TearDown();
   }
   TImageWindow* Colour( const std::string& id = "", uint32_t seed = 7 )
   {
      return Make( RandomImage( 40, 30, 3, qor::ColorSpace::RGB, seed ), id );
   }
   TImageWindow* Grey( const std::string& id = "", int32_t width = 40, uint32_t seed = 9 )
   {
      return Make( RandomImage( width, 30, 1, qor::ColorSpace::Gray, seed ), id );
   }
   // The window opened under that identifier, tracked for deletion.
   TImageWindow* Opened( const std::string& id )
   {
      TImageWindow::View* view = FindMainViewByIdentifier( id );
      return view != nullptr ? Track( view->Window() ) : nullptr;
   }
   static std::vector<float> Plane( const qor::Image& image, int32_t c )
   {
      return { image.PixelData( c ), image.PixelData( c ) + image.NumberOfPixels() };
   }
};

// ---- Conversions ---------------------------------------------------------------------------------------------------

TEST_F( ColorSpaceProcessesTest, GreyConversionGivesTheLightnessAndDropsOnlyAColourMask )
{
   TImageWindow* w = Colour();
   const qor::Image original( *w->image );
   TImageWindow* colourMask = Colour( "", 3 );
   w->SetMask( colourMask );
   w->SetDisplayChannel( 2 );
   ConvertToGrayscale grey;
   EXPECT_FALSE( ConvertToRGBColor().CanExecuteOn( *w->mainView ) );
   ASSERT_TRUE( grey.LaunchOn( *w->mainView ) );
   EXPECT_FALSE( w->image->IsColor() );
   for ( int64_t i = 0; i < original.NumberOfPixels(); ++i )
      ASSERT_EQ( w->image->PixelData( 0 )[i],
                 w->rgbWorkingSpace.RGBToCIEL( original[0][i], original[1][i], original[2][i] ) );
   EXPECT_EQ( w->maskWindow, nullptr );
   EXPECT_EQ( w->displayChannel, 0 );
   EXPECT_FALSE( grey.CanExecuteOn( *w->mainView ) );

   TImageWindow* v = Colour();
   TImageWindow* greyMask = Grey();
   v->SetMask( greyMask );
   ASSERT_TRUE( grey.LaunchOn( *v->mainView ) );
   EXPECT_EQ( v->maskWindow, greyMask );
}

TEST_F( ColorSpaceProcessesTest, RGBConversionAsksOnceBeforeDetachingTheWindowsItMasks )
{
   TImageWindow* mask = Grey();
   TImageWindow* a = Grey( "", 40, 1 );
   TImageWindow* b = Grey( "", 40, 2 );
   a->SetMask( mask );
   b->SetMask( mask );
   const std::vector<float> before = Plane( *mask->image, 0 );
   ConvertToRGBColor rgb;

   prompter.Expect( "Mask references will be destroyed. These side-effects cannot be undone. Proceed?",
                    platform::Answer::No );
   EXPECT_FALSE( rgb.LaunchOn( *mask->mainView ) );
   EXPECT_FALSE( mask->image->IsColor() );
   EXPECT_EQ( a->maskWindow, mask );
   EXPECT_EQ( mask->mainView->History().instances.Length(), 0u );

   // A preview asks nothing and keeps the references.
   TImageWindow::Preview* preview = mask->CreatePreview( "Preview01", 2, 2, 16, 16 );
   ASSERT_TRUE( rgb.LaunchOn( *preview ) );
   EXPECT_TRUE( preview->GetImage().IsColor() );
   EXPECT_EQ( b->maskWindow, mask );

   prompter.Expect( "Mask references will be destroyed", platform::Answer::Yes );
   ASSERT_TRUE( rgb.LaunchOn( *mask->mainView ) );
   EXPECT_EQ( a->maskWindow, nullptr );
   EXPECT_EQ( b->maskWindow, nullptr );
   for ( int32_t c = 0; c < 3; ++c )
      EXPECT_EQ( Plane( *mask->image, c ), before );
}

// ---- Working space -------------------------------------------------------------------------------------------------

TEST_F( ColorSpaceProcessesTest, WorkingSpaceRunsOnAWindowOrGloballyAndModesShareTheGlobalSpace )
{
   const qor::RGBColorSystem savedGlobal = GlobalRGBWorkingSpace;
   TImageWindow* w = Colour();
   RGBSpaceParameters process;
   process.Values().gamma = 1.8f;
   process.Values().sRGB = false;
   EXPECT_FALSE( process.CanExecuteOn( *w->CreatePreview( "Preview01", 0, 0, 16, 16 ) ) );
   ASSERT_TRUE( process.LaunchGlobal() );
   EXPECT_EQ( GlobalRGBWorkingSpace.Gamma(), 1.8f );
   EXPECT_TRUE( GlobalRGBWorkingSpace.IsSRGB() == false );

   // The same values on a window: equal values, data of its own.
   ASSERT_TRUE( process.LaunchOn( *w->mainView ) );
   EXPECT_EQ( w->rgbWorkingSpace.Gamma(), 1.8f );
   EXPECT_FALSE( w->rgbWorkingSpace.SharesDataWith( GlobalRGBWorkingSpace ) );

   // Apply global: the window shares the global space; a later global run with other values does not reach it.
   process.Values().mode = RGBSpaceParameters::ApplyGlobal;
   ASSERT_TRUE( process.LaunchOn( *w->mainView ) );
   EXPECT_TRUE( w->rgbWorkingSpace.SharesDataWith( GlobalRGBWorkingSpace ) );
   process.Values().mode = RGBSpaceParameters::ApplyLocal;
   process.Values().gamma = 2.5f;
   ASSERT_TRUE( process.LaunchGlobal() );
   EXPECT_EQ( w->rgbWorkingSpace.Gamma(), 1.8f );

   // Two primaries at one chromaticity make no working space: refused, nothing changes.
   process.Values().x[1] = process.Values().x[0];
   process.Values().y[1] = process.Values().y[0];
   prompter.Expect( "Singular matrix found in RGBSpaceParameters" );
   EXPECT_FALSE( process.LaunchOn( *w->mainView ) );
   EXPECT_EQ( w->rgbWorkingSpace.Gamma(), 1.8f );
   GlobalRGBWorkingSpace = savedGlobal;
}

// ---- Extraction and import -----------------------------------------------------------------------------------------

TEST_F( ColorSpaceProcessesTest, ExtractionOpensNumberedWindowsThatShareTheWorkingSpace )
{
   TImageWindow* w = Colour( "M31" );
   ExtractChannels extract;
   for ( int i = 0; i < 3; ++i )
      extract.Values().imageIdentifiers[size_t( i )] = "&imageId;_R&uniqueId;";
   Grey( "M31_R" );
   ASSERT_TRUE( extract.LaunchOn( *w->mainView ) );
   for ( const char* id : { "M31_R1", "M31_R2", "M31_R3" } )
   {
      TImageWindow* made = Opened( id );
      ASSERT_NE( made, nullptr ) << id;
      EXPECT_TRUE( made->rgbWorkingSpace.SharesDataWith( w->rgbWorkingSpace ) );
   }
   EXPECT_EQ( Plane( *Opened( "M31_R2" )->image, 0 ), Plane( *w->image, 1 ) );
   EXPECT_EQ( w->mainView->History().instances.Length(), 1u );

   // Templates that make no identifier end the run with the identifier's message.
   extract.Values().channels = { false, true, false };
   extract.Values().imageIdentifiers[1] = "&uniqueId;";
   prompter.Expect( "Invalid macro-expression in image identifier" );
   EXPECT_FALSE( extract.LaunchOn( *w->mainView ) );
   extract.Values().imageIdentifiers[1] = "1X";
   prompter.Expect( "Identifiers must begin with an alphabetic or underscore character." );
   EXPECT_FALSE( extract.LaunchOn( *w->mainView ) );
   EXPECT_EQ( MainViewList.size(), 5u );
}

TEST_F( ColorSpaceProcessesTest, ImportFindsItsSourcesOrSaysWhyNot )
{
   TImageWindow* w = Colour( "M31" );
   Grey( "M31_L1" );
   Grey( "Narrow", 20 );
   Colour( "Colour" );
   const std::vector<float> before = Plane( *w->image, 0 );
   ImportChannels import;
   import.Values().colorSpace = qor::ColorSpace::CIELab;
   import.Values().channels = { true, false, false };

   struct Case
   {
      const char* identifier;
      const char* message;
   } cases[] = { { "Nothing", "ImportChannels: Source image not found: Nothing" },
                 { "Narrow", "ImportChannels: Incompatible source image: Narrow" },
                 { "Colour", "ImportChannels: Incompatible source image: Colour" },
                 { "&imageId;_X&uniqueId;", "Image not found in identifier macro-expansion" },
                 { "M31&imageId", "" } };
   for ( const Case& k : cases )
   {
      import.Values().imageIdentifiers[0] = k.identifier;
      if ( *k.message != '\0' )
         prompter.Expect( k.message );
      else
         prompter.Expect( QRegularExpression( "." ) );
      EXPECT_FALSE( import.LaunchOn( *w->mainView ) ) << k.identifier;
      EXPECT_EQ( Plane( *w->image, 0 ), before );
   }

   // No component: said once, nothing recorded.
   import.Values().channels = { false, false, false };
   prompter.Expect( "ImportChannels: No source image was specified" );
   EXPECT_FALSE( import.LaunchOn( *w->mainView ) );
   EXPECT_EQ( w->mainView->History().instances.Length(), 0u );

   // The template finds the first image whose identifier begins with M31_L.
   import.Values().channels = { true, false, false };
   import.Values().imageIdentifiers[0] = "&imageId;_L&uniqueId;";
   ASSERT_TRUE( import.LaunchOn( *w->mainView ) );
   EXPECT_NE( Plane( *w->image, 0 ), before );
}

TEST_F( ColorSpaceProcessesTest, ImportIntoAPreviewReadsItsRectangleOfTheSources )
{
   TImageWindow* w = Colour( "M31" );
   for ( const char* id : { "M31_R", "M31_G", "M31_B" } )
      Grey( id, 40, uint32_t( id[4] ) );
   TImageWindow::Preview* preview = w->CreatePreview( "Preview01", 3, 5, 20, 16 );
   ImportChannels import;
   const char* ids[] = { "M31_R", "M31_G", "M31_B" };
   for ( size_t i = 0; i < 3; ++i )
      import.Values().imageIdentifiers[i] = ids[i];
   ASSERT_TRUE( import.LaunchOn( *preview ) );
   const qor::Image& result = preview->GetImage();
   for ( int32_t c = 0; c < 3; ++c )
   {
      const qor::Image& source = *FindMainViewByIdentifier( ids[c] )->Window()->image;
      ASSERT_EQ( result.Width(), 20 );
      for ( int32_t y = 0; y < 16; ++y )
         for ( int32_t x = 0; x < 20; ++x )
            ASSERT_EQ( result.Pixel( x, y, c ), source.Pixel( x + 3, y + 5 ) );
   }
}

TEST_F( ColorSpaceProcessesTest, ImportIsRefusedOnAPreviewThatStoredGreyPixels )
{
   TImageWindow* w = Colour( "M31" );
   Grey( "M31_L" );
   TImageWindow::Preview* preview = w->CreatePreview( "Preview01", 3, 5, 20, 16 );
   ImportChannels import;
   import.Values().channels = { true, false, false };
   import.Values().imageIdentifiers[0] = "M31_L";

   // Grey pixels left unstored are not what the next run starts from: the import converts the image's colours.
   // The conversions judge the preview the same way.
   ConvertToGrayscale grey;
   ConvertToRGBColor colour;
   ASSERT_TRUE( grey.LaunchOn( *preview ) );
   EXPECT_TRUE( import.CanExecuteOn( *preview ) );
   EXPECT_TRUE( grey.CanExecuteOn( *preview ) );
   EXPECT_FALSE( colour.CanExecuteOn( *preview ) );

   // Stored, they are: the run is refused before it begins, and the preview stays as stored.
   preview->Store();
   EXPECT_FALSE( import.CanExecuteOn( *preview ) );
   EXPECT_FALSE( grey.CanExecuteOn( *preview ) );
   EXPECT_TRUE( colour.CanExecuteOn( *preview ) );
   prompter.Expect( "Process ImportChannels cannot be executed on view: M31->Preview01" );
   EXPECT_FALSE( import.LaunchOn( *preview ) );
   EXPECT_FALSE( preview->GetImage().IsColor() );
   EXPECT_TRUE( import.CanExecuteOn( *w->mainView ) );
}

// A process of this test: a 3 x 3 box blur of every channel (edges repeated).
class BoxBlur : public Process
{
public:
   std::unique_ptr<Process> Clone() const override { return std::make_unique<BoxBlur>( *this ); }
   std::string Id() const override { return "BoxBlur"; }
   void DoExecuteOn( ProcessView& view ) override { Blur( *view.TargetImage() ); }
   static void Blur( qor::Image& image )
   {
      const qor::Image source( image );
      const int32_t w = image.Width(), h = image.Height();
      for ( int32_t c = 0; c < image.NumberOfChannels(); ++c )
         for ( int32_t y = 0; y < h; ++y )
            for ( int32_t x = 0; x < w; ++x )
            {
               double sum = 0;
               for ( int32_t dy = -1; dy <= 1; ++dy )
                  for ( int32_t dx = -1; dx <= 1; ++dx )
                     sum += source.Pixel( std::clamp( x + dx, 0, w - 1 ), std::clamp( y + dy, 0, h - 1 ), c );
               image.Pixel( x, y, c ) = float( sum / 9 );
            }
   }
};

TEST_F( ColorSpaceProcessesTest, BlurringTheExtractedLightnessAndImportingItEqualsTheDirectComputation )
{
   TImageWindow* w = Colour( "M31" );
   const qor::Image original( *w->image );
   ExtractChannels extract;
   extract.Values().colorSpace = qor::ColorSpace::CIELab;
   for ( int i = 0; i < 3; ++i )
      extract.Values().imageIdentifiers[size_t( i )] = ExtractChannels::Parameters::DefaultIdentifier( 4, i );
   ASSERT_TRUE( extract.LaunchOn( *w->mainView ) );
   TImageWindow* lightness = Opened( "M31_L" );
   ASSERT_NE( lightness, nullptr );
   ASSERT_TRUE( BoxBlur().LaunchOn( *lightness->mainView ) );

   ImportChannels import;
   import.Values().colorSpace = qor::ColorSpace::CIELab;
   import.Values().channels = { true, false, false };
   import.Values().imageIdentifiers[0] = "&imageId;_L&uniqueId;";
   ASSERT_TRUE( import.LaunchOn( *w->mainView ) );

   // Directly: the lightness of the original, blurred, put back keeping a* and b*.
   qor::Image expected( original );
   std::unique_ptr<qor::Image> L = qor::ExtractLuminance( original, w->rgbWorkingSpace );
   BoxBlur::Blur( *L );
   qor::ReplaceLuminance( expected, *L, w->rgbWorkingSpace );
   for ( int32_t c = 0; c < 3; ++c )
      for ( int64_t i = 0; i < expected.NumberOfPixels(); ++i )
         ASSERT_NEAR( w->image->PixelData( c )[i], expected[c][i], 1e-4 ) << c << " " << i;
}

} // namespace
