// The image window: construction (identifier, caption, swap-file names, resolution), destruction, closing, zoom and
// scrolling, fitting, painting through the renderer, displayed channels and view selection.

#include <gtest/gtest.h>

#include <QAction>
#include <QCoreApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QScrollBar>
#include <QTest>
#include <QToolButton>

#include <cmath>
#include <filesystem>
#include <functional>
#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "ImageWindowTestSupport.h"
#include "TestDirs.h"
#include "support/Utils.h"
#include "windows/dialogs/ModifiedImageDialog.h"
#include "windows/image/Bitmaps.h"
#include "windows/main/MainWindow.h"

namespace fs = std::filesystem;

using test::ImageWindowTest;

namespace
{

// Expects the modified-image question about the window, showing that message, and answers it. A single close
// offers no Cancel.
void ExpectCloseQuestion( platform::ScriptedDialogRunner& dialogs, const TImageWindow* window, const char* message,
                          int answer )
{
   dialogs.Expect( "ModifiedImageDialog",
                   [=]( QDialog& d )
                   {
                      auto& m = static_cast<TModifiedImageDialog&>( d );
                      EXPECT_EQ( m.window.data(), window );
                      EXPECT_EQ( m.Message_Label->text(), message );
                      EXPECT_FALSE( m.Cancel_SpeedButton->isVisibleTo( &m ) );
                      return answer;
                   } );
}

constexpr const char* UnsavedQuestion = "The image has been modified and is unsaved. Close anyway?";

} // namespace

// ---- Construction and destruction -------------------------------------------------------------------------------

TEST_F( ImageWindowTest, IdentifiersAndSwapFilesAreNumberedFromZeroAndRestartWhenAllWindowsAreGone )
{
   TImageWindow* a = Make( new qor::Image( 8, 8 ) );
   TImageWindow* b = Make( new qor::Image( 8, 8 ) );
   EXPECT_EQ( a->mainView->Identifier(), "Image01" );
   EXPECT_EQ( b->mainView->Identifier(), "Image02" );
   EXPECT_EQ( fs::path( a->swapFilePath ).filename(), "lf0.swp" );
   EXPECT_EQ( fs::path( a->tempFilePath ).filename(), "lf0.tmp" );
   EXPECT_EQ( fs::path( b->swapFilePath ).filename(), "lf1.swp" );
   EXPECT_EQ( ImageWindowCounter, 2 );
   ASSERT_EQ( MainViewList.size(), 2u );
   EXPECT_EQ( MainViewList[0], a->mainView );

   // The names only: no file is made before undo data are written.
   EXPECT_FALSE( fs::exists( a->swapFilePath ) );

   delete a;
   EXPECT_EQ( ImageWindowCounter, 2 ); // one window left: the counter goes on
   delete b;
   EXPECT_EQ( ImageWindowCounter, 0 );
   EXPECT_TRUE( MainViewList.empty() );

   TImageWindow* c = Make( new qor::Image( 8, 8 ) );
   EXPECT_EQ( c->mainView->Identifier(), "Image01" );
   EXPECT_EQ( fs::path( c->swapFilePath ).filename(), "lf0.swp" );
}

TEST_F( ImageWindowTest, SwapFilesLiveInAPrivateFolderOfTheProcess )
{
   TImageWindow* w = Make( new qor::Image( 8, 8 ) );
   fs::path folder = fs::path( w->swapFilePath ).parent_path();
   ASSERT_FALSE( folder.empty() );
   EXPECT_EQ( folder.parent_path(), fs::path( GetTempDirectory() ) );
   EXPECT_NE( folder.filename(), fs::path( GetTempDirectory() ).filename() );
   struct stat info;
   ASSERT_EQ( ::stat( folder.c_str(), &info ), 0 );
   EXPECT_EQ( info.st_mode & 0777, 0700u );
   // Every window of the process uses the same folder.
   TImageWindow* v = Make( new qor::Image( 8, 8 ) );
   EXPECT_EQ( fs::path( v->swapFilePath ).parent_path(), folder );
}

// A process that ends abnormally leaves its swap folder behind; a later start removes it once its process is gone,
// and removes nothing else.
TEST_F( ImageWindowTest, SwapFoldersOfProcessesThatAreGoneAreRemoved )
{
   TImageWindow* w = Make( new qor::Image( 8, 8 ) );
   const std::string own = std::to_string( ::getpid() );
   EXPECT_EQ( fs::path( w->swapFilePath ).parent_path().filename().string().rfind( "lumenforge-" + own + "-", 0 ), 0u );

   // No process has the largest id the system allows.
   int pidMax = 0;
   std::ifstream( "/proc/sys/kernel/pid_max" ) >> pidMax;
   ASSERT_GT( pidMax, 0 );
   const std::string gone = std::to_string( pidMax );
   test::TempDir base;
   auto folder = [&]( const std::string& name, std::vector<std::string> files = {} )
   {
      fs::create_directory( base.Path() / name );
      for ( const std::string& f : files )
         std::ofstream( base.Path() / name / f ) << "data";
      return name;
   };
   const std::vector<std::string> removed = { folder( "lumenforge-" + gone + "-a1B2c3" ),
                                              folder( "lumenforge-" + gone + "-d4E5f6", { "lf0.swp", "lf12.tmp" } ) };
   std::vector<std::string> kept = { folder( "lumenforge-" + gone + "-g7H8i9", { "lf0.swp", "notes.txt" } ),
                                     folder( "lumenforge-" + own + "-j1K2l3" ),
                                     folder( "lumenforge-m4N5o6" ),
                                     folder( "other-" + gone + "-p7Q8r9" ),
                                     folder( "lumenforge-" + gone + "-s1T2u3x" ) };
   fs::create_directory_symlink( base.Path() / kept[0], base.Path() / ( "lumenforge-" + gone + "-v4W5x6" ) );
   kept.push_back( "lumenforge-" + gone + "-v4W5x6" );
   if ( ::geteuid() == 0 )
   {
      kept.push_back( folder( "lumenforge-" + gone + "-y7Z8a9" ) );
      ASSERT_EQ( ::chown( ( base.Path() / kept.back() ).c_str(), 65534, 65534 ), 0 );
   }

   TImageWindow::RemoveAbandonedSwapDirectories( base.Path().string() );
   for ( const std::string& name : removed )
      EXPECT_FALSE( fs::exists( base.Path() / name ) ) << name;
   for ( const std::string& name : kept )
      EXPECT_TRUE( fs::exists( base.Path() / name ) ) << name;
   EXPECT_TRUE( fs::exists( base.Path() / kept[0] / "notes.txt" ) );
}

TEST_F( ImageWindowTest, DestructionDeletesExistingSwapFilesEvenWithoutUndoData )
{
   TImageWindow* w = Make( new qor::Image( 8, 8 ) );
   std::ofstream( w->swapFilePath ) << "undo data";
   std::ofstream( w->tempFilePath ) << "recovery data";
   ::chmod( w->swapFilePath.c_str(), 0400 ); // read-only between operations
   ASSERT_FALSE( w->undoAvailable );
   std::string swap = w->swapFilePath, temp = w->tempFilePath;
   delete w;
   EXPECT_FALSE( fs::exists( swap ) );
   EXPECT_FALSE( fs::exists( temp ) );
}

TEST_F( ImageWindowTest, CaptionFollowsThePreferencesAndTheFile )
{
   CurrentPreferences.imageWindow.showCaptionFullPaths = false;
   auto* w = Track( new TImageWindow( nullptr, false, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                      "/data/sky/m31.fit", "m31", new qor::Image( 4, 4, 3, qor::ColorSpace::RGB ) ) );
   EXPECT_EQ( w->Caption(), "RGB 1:1 - m31 - m31.fit" );
   EXPECT_EQ( w->windowTitle(), w->Caption() );

   CurrentPreferences.imageWindow.showCaptionFullPaths = true;
   w->SetZoom( -4 );
   EXPECT_EQ( w->Caption(), "RGB 1:4 - m31 - /data/sky/m31.fit" );

   auto* copy = Track( new TImageWindow( nullptr, true, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                                         "/data/sky/m31.fit", "m31_copy", new qor::Image( 4, 4 ) ) );
   EXPECT_EQ( copy->Caption(), "Gray 1:1 - m31_copy - Copy of: /data/sky/m31.fit" );

   // A path of blanks is no file: the copy flag is dropped and the caption ends with the new-image text.
   auto* blank = Track( new TImageWindow( nullptr, true, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, "   ",
                                          "", new qor::Image( 4, 4 ) ) );
   EXPECT_TRUE( blank->filePath.empty() );
   EXPECT_FALSE( blank->isCopy );
   EXPECT_TRUE( blank->Caption().endsWith( " <*new*>" ) );

   CurrentPreferences.imageWindow.showCaptionCurrentChannels = false;
   CurrentPreferences.imageWindow.showCaptionZoomRatios = false;
   CurrentPreferences.imageWindow.showCaptionIdentifiers = false;
   blank->UpdateCaption();
   EXPECT_EQ( blank->Caption(), "<*new*>" );
}

TEST_F( ImageWindowTest, CaptionNamesAlphaChannels )
{
   TImageWindow* w = Make( new qor::Image( 4, 4, 3, qor::ColorSpace::Gray ) ); // grey + two alpha channels
   w->SetDisplayChannel( 2 );
   EXPECT_TRUE( w->Caption().startsWith( "alpha02 1:1" ) ) << w->Caption().toStdString();
}

TEST_F( ImageWindowTest, ResolutionComesFromTheLastOptionRecordGiven )
{
   auto* tiff = new TIFFOptions;
   tiff->xResolution = 300;
   tiff->yResolution = 100;
   auto* fits = new FITSOptions;
   fits->resolution = 150;
   fits->metricResolution = true;
   auto* w = Track( new TImageWindow( nullptr, false, nullptr, nullptr, nullptr, fits, tiff, nullptr, "", "",
                                      new qor::Image( 4, 4 ) ) );
   EXPECT_EQ( w->resolution, 150 );
   EXPECT_TRUE( w->metricResolution );
   EXPECT_EQ( w->tiffOptions->xResolution, 300 );
   EXPECT_EQ( w->tiffOptions->yResolution, 300 ); // a given record is made square
   EXPECT_FALSE( w->tiffOptions->metricResolution );
   EXPECT_EQ( w->jpegOptions->xResolution, 150 );
   EXPECT_EQ( w->jpegOptions->yResolution, 150 );
   EXPECT_TRUE( w->jpegOptions->metricResolution );

   // Without records every one is made with its defaults at the preference resolution.
   CurrentPreferences.imageWindow.defaultResolution = 96;
   TImageWindow* d = Make( new qor::Image( 4, 4 ) );
   TIFFOptions tiffDefaults;
   tiffDefaults.xResolution = tiffDefaults.yResolution = 96;
   EXPECT_EQ( *d->tiffOptions, tiffDefaults );
   EXPECT_EQ( d->fitsOptions->bitsPerSample, 16 );
   EXPECT_EQ( d->fitsOptions->resolution, 96 );
   EXPECT_EQ( *d->rawOptions, RAWOptions() );
   EXPECT_EQ( d->jpegOptions->quality, 0 );
   EXPECT_EQ( d->jpegOptions->xResolution, 96 );
}

TEST_F( ImageWindowTest, OnTheMainWindowTheWindowIsADocumentChildOfTheDesktop )
{
   TMainWindow main;
   TImageWindow* w = Make( new qor::Image( 16, 16 ) );
   ASSERT_NE( w->SubWindow(), nullptr );
   EXPECT_EQ( w->SubWindow()->mdiArea(), main.Desktop() );
   EXPECT_EQ( w->SubWindow()->windowTitle(), w->Caption() );

   // Closing the frame asks the window; a refusal keeps both.
   QPointer<QMdiSubWindow> frame = w->SubWindow();
   w->mainView->Modified( false );
   ExpectCloseQuestion( dialogs, w, UnsavedQuestion, TModifiedImageDialog::NoResult );
   frame->close();
   QCoreApplication::sendPostedEvents( nullptr, QEvent::DeferredDelete );
   ASSERT_FALSE( frame.isNull() );
   ExpectCloseQuestion( dialogs, w, UnsavedQuestion, TModifiedImageDialog::YesResult );
   frame->close();
   QCoreApplication::sendPostedEvents( nullptr, QEvent::DeferredDelete );
   EXPECT_TRUE( frame.isNull() );
   EXPECT_TRUE( MainViewList.empty() );
}

// ---- Closing ----------------------------------------------------------------------------------------------------

TEST_F( ImageWindowTest, ClosingAsksOnlyAboutUnsavedChangesAndMaskUsers )
{
   QPointer<TImageWindow> clean = Make( new qor::Image( 4, 4 ) );
   EXPECT_TRUE( clean->close() ); // no question

   QPointer<TImageWindow> modified = Make( new qor::Image( 4, 4 ) );
   modified->mainView->Modified( false );
   ExpectCloseQuestion( dialogs, modified, UnsavedQuestion, TModifiedImageDialog::NoResult );
   EXPECT_FALSE( modified->close() );
   EXPECT_EQ( modified->closingCount, 0 );
   ExpectCloseQuestion( dialogs, modified, UnsavedQuestion, TModifiedImageDialog::YesResult );
   EXPECT_TRUE( modified->close() );

   TImageWindow* mask = Make( new qor::Image( 4, 4 ) );
   TImageWindow* user = Make( new qor::Image( 4, 4 ) );
   user->SetMask( mask );
   ASSERT_EQ( mask->maskReferences.size(), 1u );
   const char* maskQuestion = "There exist active mask references to this image. Close anyway?";
   ExpectCloseQuestion( dialogs, mask, maskQuestion, TModifiedImageDialog::NoResult );
   EXPECT_FALSE( mask->close() );

   // Both apply: the mask users first, and the unsaved changes only after a Yes there.
   mask->mainView->Modified( false );
   ExpectCloseQuestion( dialogs, mask, maskQuestion, TModifiedImageDialog::YesResult );
   ExpectCloseQuestion( dialogs, mask, UnsavedQuestion, TModifiedImageDialog::NoResult );
   EXPECT_FALSE( mask->close() );
   EXPECT_EQ( mask->maskReferences.size(), 1u );

   QCoreApplication::sendPostedEvents( nullptr, QEvent::DeferredDelete );
   EXPECT_TRUE( clean.isNull() );
   EXPECT_TRUE( modified.isNull() );
}

// ---- Dynamic sessions -------------------------------------------------------------------------------------------

TEST_F( ImageWindowTest, ASessionOfAnotherProcessIsCancelledOnlyWithTheUsersConsent )
{
   TImageWindow* w = Make( new qor::Image( 8, 8 ) );
   const test::NamedProcess other( "Invert" ), crop( "DynamicCrop" ), dbe( "DynamicBackgroundExtraction" );

   // No session: nothing is asked.
   EXPECT_TRUE( w->ConfirmCancelDynamicSessions( other ) );
   EXPECT_TRUE( prompter.Records().empty() );

   w->dynamicCropData = std::make_unique<DynamicCropData>( w );
   w->dbeData = std::make_unique<DynamicBackgroundExtractionData>( w );
   // A session's own process passes it untouched.
   prompter.Expect( "Cancel current Dynamic Background Extraction session?", platform::Answer::No );
   EXPECT_FALSE( w->ConfirmCancelDynamicSessions( crop ) );
   EXPECT_NE( w->dynamicCropData, nullptr );
   EXPECT_NE( w->dbeData, nullptr );

   // No keeps the session and stops the caller; Yes ends it and goes on to the next kind.
   platform::ScriptedPrompter::Expectation question;
   question.text = "Cancel current Dynamic Crop session?";
   question.caption = "Lumenforge";
   question.icon = platform::Icon::Question;
   question.answer = platform::Answer::Yes;
   prompter.Expect( question );
   EXPECT_TRUE( w->ConfirmCancelDynamicSessions( dbe ) );
   EXPECT_EQ( w->dynamicCropData, nullptr );
   EXPECT_NE( w->dbeData, nullptr );
   EXPECT_EQ( prompter.PendingCount(), 0u );
   EXPECT_TRUE( prompter.UnexpectedRecords().empty() );

   w->StopDBE();
   EXPECT_EQ( w->dbeData, nullptr );
   w->StopDBE(); // nothing without a session
}

TEST_F( ImageWindowTest, AMaskWindowThatGoesAwayClearsTheLinkOfItsUsers )
{
   TImageWindow* mask = Make( new qor::Image( 4, 4 ) );
   TImageWindow* user = Make( new qor::Image( 4, 4 ) );
   user->SetMask( mask );
   EXPECT_EQ( user->maskWindow, mask );
   delete mask;
   EXPECT_EQ( user->maskWindow, nullptr );
}

// ---- Zoom and scrolling -----------------------------------------------------------------------------------------

TEST_F( ImageWindowTest, ZoomLevelsAreClampedAndSteppedWithoutZeroAndMinusOne )
{
   TImageWindow* w = Make( new qor::Image( 50, 50 ) );
   const struct
   {
      int32_t asked, applied;
   } levels[] = { { 0, 1 }, { -1, 1 }, { 40, 32 }, { -30, -16 }, { 3, 3 }, { -2, -2 } };
   for ( const auto& l : levels )
   {
      w->SetZoomAndCenter( 0, 0, l.asked );
      EXPECT_EQ( w->currentView->zoom, l.applied ) << l.asked;
   }

   const struct
   {
      int32_t from, in, out;
   } steps[] = { { -2, 1, -3 }, { 1, 2, -2 }, { 32, 32, 31 }, { -16, -15, -16 }, { 5, 6, 4 } };
   for ( const auto& s : steps )
   {
      EXPECT_EQ( TImageWindow::ZoomStepIn( s.from ), s.in ) << s.from;
      EXPECT_EQ( TImageWindow::ZoomStepOut( s.from ), s.out ) << s.from;
   }
}

TEST_F( ImageWindowTest, ASmallImageIsCentredWithoutScrollBars )
{
   TImageWindow* w = Make( new qor::Image( 100, 100 ) );
   SetClientSize( *w, 500, 400 );
   w->SetZoomAndCenter( 50, 50, 1 );
   EXPECT_EQ( w->imageOffsetX, 200 );
   EXPECT_EQ( w->imageOffsetY, 150 );
   EXPECT_EQ( w->PaintBoxSize(), QSize( 500, 400 ) );
   EXPECT_EQ( w->ClientSize(), QSize( 500, 400 ) );
   EXPECT_EQ( w->horizontalScrollBar()->maximum(), 0 );
   EXPECT_EQ( w->verticalScrollBar()->maximum(), 0 );
}

TEST_F( ImageWindowTest, ALargeImageScrollsToTheCentreAskedForWithinItsRange )
{
   TImageWindow* w = Make( new qor::Image( 1000, 800 ) );
   SetClientSize( *w, 500, 400 );
   w->SetZoomAndCenter( 500, 400, 1 );
   const QSize client = w->ClientSize(); // less the two scroll bars
   EXPECT_LT( client.width(), 500 );
   EXPECT_EQ( w->imageOffsetX, 0 );
   EXPECT_EQ( w->PaintBoxSize(), QSize( 1000, 800 ) );
   EXPECT_EQ( w->horizontalScrollBar()->maximum(), 1000 - client.width() );
   EXPECT_EQ( w->ScrollX(), 500 - client.width() / 2 );
   EXPECT_EQ( w->ScrollY(), 400 - client.height() / 2 );

   w->SetZoomAndCenter( 0, 0, 1 );
   EXPECT_EQ( w->ScrollX(), 0 );
   w->SetZoomAndCenter( 1000, 800, 1 );
   EXPECT_EQ( w->ScrollX(), 1000 - client.width() );
   EXPECT_EQ( w->ScrollY(), 800 - client.height() );

   // A new zoom keeps the image point at the centre: 1:2 halves every scaled coordinate.
   w->SetZoomAndCenter( 600, 500, 1 );
   w->SetZoom( -2 );
   const QSize reduced = w->ClientSize();
   EXPECT_EQ( w->PaintBoxSize(), QSize( std::max( 500, reduced.width() ), std::max( 400, reduced.height() ) ) );
   EXPECT_EQ( w->ScrollX(), std::clamp( 300 - reduced.width() / 2, 0, std::max( 0, 500 - reduced.width() ) ) );
}

TEST_F( ImageWindowTest, ScaledSizesAndReadoutCoordinates )
{
   TImageWindow* w = Make( new qor::Image( 5000, 10 ) );
   SetClientSize( *w, 300, 200 );
   w->SetZoomAndCenter( 0, 0, -4 );
   EXPECT_EQ( w->PaintBoxSize().width(), 1250 );

   EXPECT_EQ( TImageWindow::ImageCoordinate( 7, 3 ), 2 );
   EXPECT_EQ( TImageWindow::ImageCoordinate( -1, 3 ), -1 ); // floor, not truncation toward zero
   EXPECT_EQ( TImageWindow::ImageCoordinate( 7, -4 ), 28 );
}

TEST_F( ImageWindowTest, ZoomToFitChoosesTheLargestZoomThatShowsTheWholeImage )
{
   // The test screen is 1280 x 1024: an image five thousand pixels wide needs 1:4.
   TImageWindow* wide = Make( new qor::Image( 5000, 100 ) );
   wide->ZoomToFit( false );
   EXPECT_EQ( wide->currentView->zoom, -4 );
   EXPECT_EQ( wide->ClientSize().width(), 1250 );

   // A small image is shown at 1:1 unless zooming in is allowed.
   TImageWindow* small = Make( new qor::Image( 400, 300 ) );
   small->ZoomToFit( false );
   EXPECT_EQ( small->currentView->zoom, 1 );
   EXPECT_EQ( small->ClientSize(), QSize( 400, 300 ) ); // the window fits the image
   EXPECT_EQ( small->imageOffsetX, 0 );
   small->ZoomToFit( true );
   EXPECT_EQ( small->currentView->zoom, 3 );
   EXPECT_EQ( small->ClientSize(), QSize( 1200, 900 ) );
}

TEST_F( ImageWindowTest, ShowingTheWindowFitsItToTheImage )
{
   TImageWindow* w = Make( new qor::Image( 3000, 200 ) );
   w->show();
   ASSERT_TRUE( QTest::qWaitForWindowExposed( w ) );
   EXPECT_EQ( w->currentView->zoom, -3 );
   EXPECT_EQ( w->viewport()->size(), QSize( 1000, 66 ) );
}

// ---- Painting ---------------------------------------------------------------------------------------------------

namespace
{

// The viewport as painted.
QImage Grab( TImageWindow& w )
{
   return w.viewport()->grab().toImage().convertToFormat( QImage::Format_RGB32 );
}

QImage Render( const qor::Image& image, const TImageWindow& w, int32_t zoom, int32_t mode )
{
   return RenderImageBitmap( image, w.rgbWorkingSpace, 0, 0, image.Width(), image.Height(), zoom, mode, nullptr, -1,
                             -1 )
       .convertToFormat( QImage::Format_RGB32 );
}

} // namespace

TEST_F( ImageWindowTest, TheViewportShowsTheRenderersBitmapAtTheImageOffsetOnTheBackground )
{
   qor::Image* image = RandomImage( 60, 40, 3, qor::ColorSpace::RGB );
   TImageWindow* w = Make( image );
   SetClientSize( *w, 300, 200 );
   for ( int32_t zoom : { 1, 2, -2, -3 } )
   {
      w->SetZoomAndCenter( 0, 0, zoom );
      QImage expected = Render( *image, *w, zoom, -3 );
      QImage shown = Grab( *w );
      ASSERT_EQ( shown.size(), QSize( 300, 200 ) );
      EXPECT_EQ( shown.copy( w->imageOffsetX, w->imageOffsetY, expected.width(), expected.height() ), expected )
          << "zoom " << zoom;
      EXPECT_EQ( shown.pixelColor( 0, 0 ), QColor( 0x50, 0x50, 0x50 ) ) << "zoom " << zoom;
      EXPECT_EQ( shown.pixelColor( 299, 199 ), QColor( 0x50, 0x50, 0x50 ) ) << "zoom " << zoom;
   }

   // A displayed channel shows as grey through its render mode.
   w->SetZoomAndCenter( 0, 0, 1 );
   w->SetDisplayChannel( 2 );
   QImage green = Render( *image, *w, 1, 1 );
   EXPECT_EQ( Grab( *w ).copy( w->imageOffsetX, w->imageOffsetY, 60, 40 ), green );
}

TEST_F( ImageWindowTest, AScrolledViewShowsTheImagePixelsUnderTheClientArea )
{
   qor::Image* image = RandomImage( 400, 300, 1, qor::ColorSpace::Gray );
   TImageWindow* w = Make( image );
   SetClientSize( *w, 200, 150 );
   w->SetZoomAndCenter( 250, 170, 2 );
   const QSize client = w->ClientSize();
   QImage whole = Render( *image, *w, 2, 0 );
   EXPECT_EQ( Grab( *w ), whole.copy( w->ScrollX(), w->ScrollY(), client.width(), client.height() ) );
}

TEST_F( ImageWindowTest, PaintingIsRefusedDuringARunAndDeferredWhileTheStatusDialogHoldsIt )
{
   TImageWindow* w = Make( RandomImage( 20, 20, 1, qor::ColorSpace::Gray ) );
   w->show();
   ASSERT_TRUE( QTest::qWaitForWindowExposed( w ) );
   SetClientSize( *w, 100, 100 );
   w->SetZoomAndCenter( 0, 0, 1 );

   TImageWindow::statusDialogNestingCount = 1;
   Grab( *w );
   EXPECT_TRUE( w->paintPending );
   // RedrawImage is a wanted paint: it goes through.
   w->RedrawImage();
   EXPECT_FALSE( w->paintPending );
   TImageWindow::statusDialogNestingCount = 0;

   w->paintingAllowed = false;
   Grab( *w );
   EXPECT_FALSE( w->paintPending );
}

// The displayed channel is one the current view's image has, whichever way the window came to show that image.
TEST_F( ImageWindowTest, ThePaintShowsAChannelOfTheImageItRenders )
{
   const struct Case
   {
      const char* name;
      int32_t channels; // of the RGB main image: 4 has an alpha channel
      std::function<void( TImageWindow& )> arrange;
      int32_t mode; // render mode of the shown image afterwards
      const char* caption;
   } cases[] = {
       { "a grey preview of a colour window made current", 3,
         []( TImageWindow& w )
         {
            w.SetDisplayChannel( 1 );
            TImageWindow::Preview* p = w.CreatePreview( "", 5, 5, 40, 30 );
            p->currentImage->Allocate( 40, 30, 1, qor::ColorSpace::Gray );
            p->currentImage->Fill( 0, 0.5f );
            w.SelectView( p );
         },
         0, "Gray" },
       { "an alpha channel asked for while a preview is current", 4,
         []( TImageWindow& w )
         {
            w.SelectView( w.CreatePreview( "", 5, 5, 40, 30 ) ); // previews have no alpha channels
            w.SetDisplayChannel( 6 );
         },
         -3, "RGB" },
       { "a grey placeholder in place of a colour image showing Red", 3,
         []( TImageWindow& w )
         {
            w.SetDisplayChannel( 1 );
            w.image->Allocate( 100, 100, 1, qor::ColorSpace::Gray );
            w.image->Fill( 0, 0.0f );
         },
         0, "Gray" },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.name );
      TImageWindow* w = Make( RandomImage( 60, 40, c.channels, qor::ColorSpace::RGB ) );
      SetClientSize( *w, 300, 200 );
      w->SetZoomAndCenter( 0, 0, 1 );
      c.arrange( *w );
      const qor::Image& shown = w->currentView->GetImage();
      const QImage expected = Render( shown, *w, 1, c.mode );
      EXPECT_EQ( Grab( *w ).copy( w->imageOffsetX, w->imageOffsetY, expected.width(), expected.height() ), expected );
      EXPECT_EQ( w->displayChannel, 0 );
      EXPECT_TRUE( w->Caption().startsWith( c.caption ) ) << w->Caption().toStdString();
   }

   // A render the renderer refuses (a mask smaller than the image) leaves the viewport to the background.
   TImageWindow* masked = Make( RandomImage( 60, 40, 3, qor::ColorSpace::RGB ) );
   masked->SetMask( Make( new qor::Image( 10, 10 ) ) );
   SetClientSize( *masked, 300, 200 );
   masked->SetZoomAndCenter( 0, 0, 1 );
   EXPECT_EQ( Grab( *masked ).pixelColor( 150, 100 ), QColor( 0x50, 0x50, 0x50 ) );
}

// ---- Channels and views -----------------------------------------------------------------------------------------

TEST_F( ImageWindowTest, DisplayedChannelsMapToRenderModesAndUnknownChannelsAreIgnored )
{
   TImageWindow* rgb = Make( new qor::Image( 4, 4, 4, qor::ColorSpace::RGB ) ); // one alpha channel
   const int32_t modes[] = { -3, 0, 1, 2, -1, -2, 3 };
   for ( int32_t c = 0; c < 7; ++c )
   {
      rgb->SetDisplayChannel( c );
      EXPECT_EQ( rgb->CurrentRenderMode(), modes[c] ) << c;
   }
   rgb->SetDisplayChannel( 7 );
   EXPECT_EQ( rgb->displayChannel, 6 );
   rgb->SetDisplayChannel( -1 );
   EXPECT_EQ( rgb->displayChannel, 6 );

   TImageWindow* grey = Make( new qor::Image( 4, 4 ) );
   grey->SetDisplayChannel( 1 );
   EXPECT_EQ( grey->displayChannel, 0 );
}

TEST_F( ImageWindowTest, ViewsAreSelectedInTurnAndKeepTheirOwnZoomAndCentre )
{
   TImageWindow* w = Make( RandomImage( 400, 300, 3, qor::ColorSpace::RGB ) );
   SetClientSize( *w, 200, 150 );
   TImageWindow::Preview* p1 = w->CreatePreview( "", 10, 10, 50, 40 );
   TImageWindow::Preview* p2 = w->CreatePreview( "", 100, 100, 300, 200 );
   EXPECT_EQ( p1->Identifier(), "Preview01" );
   EXPECT_EQ( p2->Identifier(), "Preview02" );
   EXPECT_EQ( p1->FullIdentifier(), "Image01->Preview01" );
   EXPECT_EQ( p2->GetImage().Width(), 300 );

   w->SetZoomAndCenter( 300, 200, 2 );
   w->SelectNextView();
   EXPECT_EQ( w->currentView, p1 );
   EXPECT_EQ( p1->zoom, 1 ); // a new view comes up at 1:1 at its top-left corner
   EXPECT_EQ( w->ScrollX(), 0 );
   w->SelectNextView();
   EXPECT_EQ( w->currentView, p2 );
   w->SelectNextView();
   EXPECT_EQ( w->currentView, w->mainView );
   EXPECT_EQ( w->mainView->zoom, 2 );
   EXPECT_EQ( w->mainView->centerX, 300 );
   EXPECT_EQ( w->mainView->centerY, 200 );
   w->SelectPreviousView();
   EXPECT_EQ( w->currentView, p2 );
   w->SelectPreviousView();
   EXPECT_EQ( w->currentView, p1 );
   w->SelectPreviousView();
   EXPECT_EQ( w->currentView, w->mainView );
   EXPECT_TRUE( w->Caption().contains( "2:1 - Image01 -" ) );

   // A grey preview of a colour image resets a colour channel being shown.
   w->SetDisplayChannel( 1 );
   p1->currentImage->Allocate( 50, 40, 1, qor::ColorSpace::Gray );
   w->SelectView( p1 );
   EXPECT_EQ( w->displayChannel, 0 );
   EXPECT_TRUE( w->Caption().contains( "Image01->Preview01" ) );

   // Deleting the current preview returns to the main view.
   w->DeletePreview( p1 );
   EXPECT_EQ( w->currentView, w->mainView );
   EXPECT_EQ( w->previews.size(), 1u );
}

namespace
{

// Titles and action names of a pop-up menu's visible submenus ("-" for a separator).
std::vector<std::string> MenuOutline( const QMenu& menu )
{
   std::vector<std::string> outline;
   for ( QAction* entry : menu.actions() )
   {
      if ( entry->menu() == nullptr || !entry->isVisible() )
         continue;
      outline.push_back( entry->text().toStdString() + ":" );
      for ( QAction* a : entry->menu()->actions() )
         outline.push_back( a->isSeparator() ? "-" : a->objectName().toStdString() );
   }
   return outline;
}

} // namespace

TEST_F( ImageWindowTest, ThePaintBoxHoldsTheMenuOfTheCurrentKindOfViewMadeOfTheMainWindowsActions )
{
   TMainWindow main;
   for ( const char* name : { "WindowZoomIn_Action", "WindowZoom11_Action", "ImageViewInformation_Action",
                              "ImageViewHistogram_Action", "PreviewReset_Action", "MaskShowMask_Action" } )
      ( new QAction( name, &main ) )->setObjectName( name );
   TImageWindow* w = Make( new qor::Image( 100, 100 ) );
   using Outline = std::vector<std::string>;
   // The main window has the mode, zoom, mask, preview, statistics, history and report actions itself; the other
   // two view actions are the test's.
   const Outline modes{ "Mode:", "ReadoutMode_Action", "ZoomInMode_Action", "ZoomOutMode_Action", "CenterMode_Action",
                        "PanMode_Action" };
   const Outline window{ "Window:",           "WindowZoomIn_Action", "WindowZoomOut_Action",   "-",
                         "WindowZoom11_Action", "WindowZoom12_Action", "WindowZoom21_Action",    "-",
                         "WindowZoomToFit_Action", "WindowFitWindow_Action" };
   Outline image = modes;
   image.insert( image.end(), { "-", "DynamicCropMode_Action", "DynamicBackgroundExtractionMode_Action", "-",
                                "NewPreviewMode_Action", "EditPreviewMode_Action" } );
   image.insert( image.end(), window.begin(), window.end() );
   image.insert( image.end(), { "Mask:", "MaskSelectMask_Action", "MaskRemoveMask_Action", "-", "MaskEnableMask_Action",
                                "MaskShowMask_Action", "View:", "ImageViewHistogram_Action",
                                "ImageViewStatistics_Action", "ImageViewInformation_Action",
                                "ImageViewProcessingHistory_Action", "ImageViewProcessingReport_Action" } );
   EXPECT_EQ( MenuOutline( *w->Image_PopupMenu ), image );
   Outline preview = modes;
   preview.insert( preview.end(), window.begin(), window.end() );
   preview.insert( preview.end(), { "Preview:", "PreviewUndo_Action", "-", "PreviewStore_Action",
                                    "PreviewRestore_Action", "PreviewReset_Action", "-", "PreviewProperties_Action",
                                    "PreviewDelete_Action", "View:", "ImageViewHistogram_Action",
                                    "ImageViewStatistics_Action", "ImageViewProcessingHistory_Action",
                                    "ImageViewProcessingReport_Action" } );
   EXPECT_EQ( MenuOutline( *w->Preview_PopupMenu ), preview );

   EXPECT_EQ( w->PaintBoxPopupMenu(), w->Image_PopupMenu );
   TImageWindow::Preview* p = w->CreatePreview( "", 0, 0, 20, 20 );
   w->SelectView( p );
   EXPECT_EQ( w->PaintBoxPopupMenu(), w->Preview_PopupMenu );
   w->SelectView( w->mainView );
   EXPECT_EQ( w->PaintBoxPopupMenu(), w->Image_PopupMenu );
}

TEST_F( ImageWindowTest, ViewTabsAreHitInsideTheirSlantedCorners )
{
   TImageWindow* w = Make( new qor::Image( 100, 100 ) );
   TImageWindow::Preview* p = w->CreatePreview( "P", 0, 0, 20, 20 );
   const int32_t width = w->ViewTabsWidth();
   const int32_t mainLength = width + QFontMetrics( ViewTabFont() ).horizontalAdvance( "Image01" );

   EXPECT_EQ( w->ViewTabHitTest( width / 2, width / 2 ), w->mainView ); // on the slant's side, below it
   EXPECT_EQ( w->ViewTabHitTest( 1, 1 ), nullptr );                     // above the slant of the first tab
   EXPECT_EQ( w->ViewTabHitTest( width - 1, mainLength + 2 ), p );      // below the preview tab's slant
   EXPECT_EQ( w->ViewTabHitTest( 1, mainLength ), w->mainView );        // the first tab's last row
   EXPECT_EQ( w->ViewTabHitTest( 1, mainLength + 1 ), nullptr );        // above the preview tab's slant
   EXPECT_EQ( w->ViewTabHitTest( width + 1, 5 ), nullptr );

   w->ViewTabs_PaintBoxMouseDown( width - 1, mainLength + 2 );
   EXPECT_EQ( w->currentView, p );

   // The current tab is painted in the selected colour, the others in the tab colour.
   CurrentPreferences.colorsFonts.selectedViewTabColor = 0x0000FF;
   w->ViewTabs_PaintBox->resize( width, 400 );
   QImage tabs = w->ViewTabsBitmap();
   EXPECT_EQ( tabs.pixelColor( width - 1, mainLength + width + 1 ), QColor( 255, 0, 0 ) );
   EXPECT_EQ( tabs.pixelColor( width - 1, width + 1 ), QColor( 0xE0, 0xE0, 0xE0 ) );
}

TEST_F( ImageWindowTest, NewPreferencesReachEveryWindow )
{
   TImageWindow* w = Make( new qor::Image( 10, 10 ) );
   SetClientSize( *w, 100, 100 );
   w->SetZoomAndCenter( 0, 0, 1 );
   CurrentPreferences.colorsFonts.imageWindowBackgroundColor = 0x0000FF;
   CurrentPreferences.colorsFonts.viewTabAutoFontSize = false;
   CurrentPreferences.colorsFonts.viewTabFontSize = 20;
   CurrentPreferences.identifiers.newImageCaption = "(unsaved)";
   ApplyPreferencesToImageWindows();
   EXPECT_EQ( w->ViewTabsWidth(), 24 );
   EXPECT_EQ( w->ViewTabs_PaintBox->width(), 24 );
   EXPECT_TRUE( w->Caption().endsWith( "(unsaved)" ) );
   EXPECT_EQ( Grab( *w ).pixelColor( 0, 0 ), QColor( 255, 0, 0 ) );

   // Back to the automatic size for the tests that follow.
   CurrentPreferences = savedPreferences;
   ApplyPreferencesToImageWindows();
}

TEST_F( ImageWindowTest, OnTheDesktopZoomToFitKeepsTheFrameInsideTheFreeArea )
{
   TMainWindow main;
   main.resize( 1000, 800 );
   main.show();
   ASSERT_TRUE( QTest::qWaitForWindowExposed( &main ) );
   const QSize desktop = main.Desktop()->viewport()->size();
   TImageWindow* w = Make( new qor::Image( 4 * desktop.width(), 50 ) );
   w->SubWindow()->show();
   w->ZoomToFit( false );
   EXPECT_LE( w->currentView->zoom, -4 );
   const QRect frame = w->SubWindow()->geometry();
   EXPECT_GE( frame.left(), 0 );
   EXPECT_LE( frame.right(), desktop.width() - 4 );
   EXPECT_EQ( w->ClientSize().width(), TImageWindow::Scaled( 4 * desktop.width(), w->currentView->zoom ) );
}
