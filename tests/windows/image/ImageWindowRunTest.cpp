// An image window on the screen with processes run on its views: what the user sees through a run, an abort and a
// failure, and how the launch presents itself.

#include <gtest/gtest.h>

#include <QLabel>
#include <QListWidget>
#include <QTest>

#include <functional>
#include <new>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "ImageWindowTestSupport.h"
#include "classlib/Exception.h"
#include "classlib/Parallel.h"
#include "process/ProcessContainer.h"
#include "process/ProcessExecution.h"
#include "windows/image/Bitmaps.h"
#include "windows/main/Application.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ProcessExecution.h"
#include "windows/processing/ProcessingStatusDialog.h"

namespace
{

// Inverts the view's image into a new one, a row at a time with progress, and puts the result in place only when
// it is complete: an aborted run leaves the pixels as they were. A test can put other work in its place.
class InvertProcess : public Process
{
public:
   std::unique_ptr<Process> Clone() const override { return std::make_unique<InvertProcess>( *this ); }
   std::string Id() const override { return "Negative"; }
   void DoExecuteOn( ProcessView& view ) override
   {
      TImageWindow::View& target = *AsImageView( view );
      if ( work )
      {
         work( target );
         return;
      }
      qor::Image& image = target.GetImage();
      qor::Image result( image.Width(), image.Height(), image.NumberOfChannels(), image.GetColorSpace() );
      image.BeginTask( "Inverting", int64_t( image.NumberOfChannels() ) * image.Height() );
      for ( int32_t c = 0; c < image.NumberOfChannels(); ++c )
         image.ParallelRows( image.Height(),
                             [&]( int64_t y0, int64_t y1 )
                             {
                                for ( int32_t y = int32_t( y0 ); y < int32_t( y1 ); ++y )
                                {
                                   std::span<const float> in = std::as_const( image ).Row( c, y );
                                   std::span<float> out = result.Row( c, y );
                                   for ( size_t x = 0; x < in.size(); ++x )
                                      out[x] = 1 - in[x];
                                }
                             } );
      image.Transfer( result );
      target.Modified( true );
   }

   std::function<void( TImageWindow::View& )> work;
};

std::vector<float> Pixels( const qor::Image& image )
{
   std::vector<float> pixels;
   for ( int32_t c = 0; c < image.NumberOfChannels(); ++c )
      pixels.insert( pixels.end(), image.PixelData( c ), image.PixelData( c ) + image.NumberOfPixels() );
   return pixels;
}

std::vector<std::string> TaskLines()
{
   std::vector<std::string> lines;
   for ( int i = 0; i < StatusDialog().Tasks_ListBox->count(); ++i )
      lines.push_back( StatusDialog().Tasks_ListBox->item( i )->text().toStdString() );
   return lines;
}

class ImageWindowRunTest : public test::ImageWindowProcessTest
{
protected:
   // A box expected with its caption and icon.
   void ExpectBox( const QString& text, const QString& caption, platform::Icon icon,
                   platform::Answer answer = platform::Answer::Ok )
   {
      platform::ScriptedPrompter::Expectation box;
      box.text = text;
      box.caption = caption;
      box.icon = icon;
      box.answer = answer;
      prompter.Expect( box );
   }

   // The shown window's viewport compared with the renderer's bitmap of the current view's image.
   static void ExpectViewportShowsTheImage( TImageWindow& w, int32_t mode )
   {
      const qor::Image& image = w.currentView->GetImage();
      const QImage expected = RenderImageBitmap( image, w.rgbWorkingSpace, 0, 0, image.Width(), image.Height(),
                                                 w.currentView->zoom, mode, nullptr, -1, -1 )
                                  .convertToFormat( QImage::Format_RGB32 );
      const QImage shown = w.viewport()->grab().toImage().convertToFormat( QImage::Format_RGB32 );
      EXPECT_EQ( shown.copy( w.imageOffsetX, w.imageOffsetY, expected.width(), expected.height() ), expected );
   }
};

// A window made from an image, shown and zoomed; one run with its progress, then a second run aborted at a chosen
// progress event: the image and the history stay as the first run left them, and the screen shows them.
TEST_F( ImageWindowRunTest, AShownZoomedWindowRunsAProcessWithProgressAndAnAbort )
{
   qor::ThreadCountScope oneThread( 1 ); // progress events in a fixed order
   TImageWindow* w = Make( RandomImage( 64, 600, 3, qor::ColorSpace::RGB ), "Image01" );
   w->show();
   ASSERT_TRUE( QTest::qWaitForWindowExposed( w ) );
   SetClientSize( *w, 400, 400 );
   w->SetZoom( -2 );
   ASSERT_EQ( w->currentView->zoom, -2 );
   EXPECT_TRUE( w->Caption().startsWith( "RGB 1:2" ) );
   TMainWindow main; // after the image window, which stays a top-level window of its own

   const std::vector<float> original = Pixels( *w->image );
   std::vector<int32_t> events;
   StatusDialog().progressHook = [&]( int32_t event ) { events.push_back( event ); };
   InvertProcess invert;
   ASSERT_TRUE( invert.LaunchOn( *w->mainView ) );
   EXPECT_GT( events.size(), 3u );
   EXPECT_EQ( StatusDialog().Percent_Panel->text(), "%100" );
   const std::vector<float> inverted = Pixels( *w->image );
   for ( size_t i = 0; i < original.size(); i += 997 )
      EXPECT_EQ( inverted[i], 1 - original[i] ) << i;
   ASSERT_EQ( w->mainView->History().instances.Length(), 1u );

   StatusDialog().progressHook = [&]( int32_t event )
   {
      if ( event == 3 )
         main.RequestAbort();
   };
   ExpectBox( "Abort process?", ApplicationTitle(), platform::Icon::Warning, platform::Answer::Yes );
   ExpectBox( "Process aborted.", "Negative", platform::Icon::Information );
   EXPECT_FALSE( invert.LaunchOn( *w->mainView ) );
   EXPECT_EQ( prompter.PendingCount(), 0u );
   EXPECT_TRUE( prompter.UnexpectedRecords().empty() );

   EXPECT_EQ( Pixels( *w->image ), inverted );
   EXPECT_EQ( w->mainView->History().instances.Length(), 1u );
   EXPECT_TRUE( w->paintingAllowed );
   EXPECT_FALSE( main.processing );
   EXPECT_FALSE( StatusDialog().isVisible() );
   EXPECT_EQ( w->currentView->zoom, -2 );
   ExpectViewportShowsTheImage( *w, -3 );
}

// A run on a preview names the preview with its image in the task line.
TEST_F( ImageWindowRunTest, ARunOnAPreviewNamesItWithItsImage )
{
   TImageWindow* w = Make( RandomImage( 40, 40, 1, qor::ColorSpace::Gray ), "Image01" );
   TImageWindow::Preview* p = w->CreatePreview( "Preview01", 0, 0, 20, 20 );
   InvertProcess invert;
   std::vector<std::string> lines;
   invert.work = [&]( TImageWindow::View& ) { lines = TaskLines(); };
   ASSERT_TRUE( invert.LaunchOn( *p ) );
   EXPECT_EQ( lines, ( std::vector<std::string>{ "Processing preview: Image01->Preview01:", "  Negative", "" } ) );
}

// A launch asked for while another one runs is refused without a word; the running one goes on.
TEST_F( ImageWindowRunTest, ALaunchDuringAnotherLaunchIsRefused )
{
   TImageWindow* w = Make( RandomImage( 16, 16, 1, qor::ColorSpace::Gray ), "Image01" );
   TImageWindow* other = Make( RandomImage( 16, 16, 1, qor::ColorSpace::Gray ), "Image02" );
   const std::vector<float> otherBefore = Pixels( *other->image );
   InvertProcess outer, inner;
   bool innerRan = true;
   outer.work = [&]( TImageWindow::View& ) { innerRan = inner.LaunchOn( *other->mainView ); };
   ASSERT_TRUE( outer.LaunchOn( *w->mainView ) );
   EXPECT_FALSE( innerRan );
   EXPECT_EQ( Pixels( *other->image ), otherBefore );
   EXPECT_EQ( other->mainView->History().instances.Length(), 0u );
   EXPECT_EQ( w->mainView->History().instances.Length(), 1u );
   EXPECT_TRUE( prompter.Records().empty() );
}

// A colour window showing Red loses its image in a failed run, then a second failure turns painting back on: the
// window paints the grey placeholder in its own channel instead of asking it for a red plane it has not.
TEST_F( ImageWindowRunTest, AfterFailedRunsTheWindowPaintsThePlaceholderItHas )
{
   TImageWindow* w = Make( RandomImage( 30, 20, 3, qor::ColorSpace::RGB ), "Image01" );
   w->show();
   ASSERT_TRUE( QTest::qWaitForWindowExposed( w ) );
   SetClientSize( *w, 300, 300 );
   w->SetDisplayChannel( 1 );
   // Without undo data to recover from, the image is lost.
   w->undoEnabled = false;
   const bool asked = AskBeforeRunningWithoutUndo;
   AskBeforeRunningWithoutUndo = false;

   ExpectBox( "Out of memory", ApplicationTitle(), platform::Icon::Warning );
   ExpectBox( "Fatal error: Lumenforge is unable to recover the image data.", "Lumenforge - Fatal Error",
              platform::Icon::Error );
   InvertProcess lose;
   lose.work = []( TImageWindow::View& v )
   {
      v.GetImage().FreeData();
      throw std::bad_alloc();
   };
   EXPECT_FALSE( lose.LaunchOn( *w->mainView ) );
   ASSERT_EQ( w->image->NumberOfChannels(), 1 );
   EXPECT_FALSE( w->paintingAllowed );

   InvertProcess fail;
   fail.work = []( TImageWindow::View& ) { throw qor::CatchedException(); };
   EXPECT_FALSE( fail.LaunchOn( *w->mainView ) );
   AskBeforeRunningWithoutUndo = asked;
   EXPECT_TRUE( w->paintingAllowed );
   EXPECT_EQ( prompter.PendingCount(), 0u );

   ExpectViewportShowsTheImage( *w, 0 );
   EXPECT_EQ( w->displayChannel, 0 );
   EXPECT_TRUE( w->Caption().startsWith( "Gray" ) );
}

} // namespace
