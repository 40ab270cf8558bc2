// Execution of processes on the views of image windows: the launch with its status tasks and busy state, the
// preparation and finishing of the target, masking, the history entry, and every way a run can fail.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QCoreApplication>
#include <QDialog>
#include <QLabel>
#include <QListWidget>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <memory>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "TestDirs.h"
#include "classlib/DateTime.h"
#include "classlib/Image.h"
#include "classlib/Parallel.h"
#include "process/GlobalProcess.h"
#include "process/ProcessContainer.h" // the view histories
#include "process/ProcessExecution.h"
#include "support/ToolkitError.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/main/Application.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/NotificationRecorder.h"
#include "windows/processing/ProcessExecution.h"
#include "windows/processing/ProcessingStatusDialog.h"

namespace
{

std::vector<std::string> StatusLines()
{
   std::vector<std::string> lines;
   QListWidget* list = StatusDialog().Tasks_ListBox;
   for ( int i = 0; i < list->count(); ++i )
      lines.push_back( list->item( i )->text().toStdString() );
   return lines;
}

// Adds 0.25 to every sample of the view's image, a row strip at a time with progress, and marks the view modified.
void Brighten( TImageWindow::View& view )
{
   test::AddToEverySample( view.GetImage(), 0.25f, "Brighten" );
   view.Modified( true );
}

// A process whose own work is given by the test (Brighten by default).
class PixelProcess : public Process
{
public:
   std::unique_ptr<Process> Clone() const override { return std::make_unique<PixelProcess>( *this ); }
   std::string Id() const override { return "Brighten"; }
   bool CanExecuteOn( const ProcessView& view ) const override { return !( imageLevel && view.IsPreview() ); }
   bool ConfirmExecutionOn( ProcessView& ) override { return confirm; }
   bool ModifiesTarget( const ProcessView& ) const override { return modifies; }
   bool IsMaskable( const ProcessView&, const MaskTarget* ) const override { return maskable; }
   void DoExecuteOn( ProcessView& view ) override
   {
      TImageWindow::View& target = *AsImageView( view );
      if ( work )
         work( target );
      else
         Brighten( target );
   }
   void AfterExecutionOn( ProcessView& ) override
   {
      linesAtEnd = StatusLines();
      percentAtEnd = StatusDialog().Percent_Panel->text().toStdString();
   }

   std::function<void( TImageWindow::View& )> work;
   bool imageLevel = false;
   bool confirm = true;
   bool modifies = true;
   bool maskable = true;
   std::vector<std::string> linesAtEnd;
   std::string percentAtEnd;
};

class Settings : public GlobalProcess
{
public:
   std::unique_ptr<Process> Clone() const override { return std::make_unique<Settings>( *this ); }
   std::string Id() const override { return "Settings"; }
   void DoExecuteGlobal() override
   {
      lines = StatusLines();
      if ( failure )
         failure();
   }
   std::vector<std::string> lines;
   std::function<void()> failure;
};

class UpdateCounter : public test::NotificationRecorder
{
public:
   UpdateCounter() : NotificationRecorder( { "updated" } ) {}
};

std::vector<float> Samples( const qor::Image& image )
{
   std::vector<float> samples;
   for ( int32_t c = 0; c < image.NumberOfChannels(); ++c )
      samples.insert( samples.end(), image.PixelData( c ), image.PixelData( c ) + image.NumberOfPixels() );
   return samples;
}

std::vector<float> Plus( std::vector<float> samples, float d )
{
   for ( float& v : samples )
      v += d;
   return samples;
}

size_t HistoryLength( const TImageWindow::View& view )
{
   return view.History().instances.Length();
}

// The work of a masked run: every sample 1, after shrinking the image to 2 x 2 when resize is set.
void FillWithOnes( TImageWindow::View& view, bool resize )
{
   qor::Image& image = view.GetImage();
   if ( resize )
      image.Allocate( 2, 2, image.NumberOfChannels(), image.GetColorSpace() );
   for ( int32_t c = 0; c < image.NumberOfChannels(); ++c )
      image.Fill( c, 1.0f );
   view.Modified( true );
}

class ProcessExecutionTest : public test::ImageWindowTest
{
protected:
   void SetUp() override
   {
      test::ImageWindowTest::SetUp();
      AskBeforeRunningWithoutUndo = true;
      // The test program is never the active application; that case has tests of its own.
      savedActive = StatusDialog().applicationActive;
      StatusDialog().applicationActive = [] { return true; };
   }

   void TearDown() override
   {
      StatusDialog().progressHook = nullptr;
      StatusDialog().applicationActive = savedActive;
      mainWindow.reset();
      AskBeforeRunningWithoutUndo = true;
      test::ImageWindowTest::TearDown();
   }

   // The main window (made after the image windows, which therefore stay top-level windows of their own).
   TMainWindow& Main()
   {
      if ( !mainWindow )
         mainWindow = std::make_unique<TMainWindow>();
      return *mainWindow;
   }

   // A box expected with its exact text, caption and icon.
   void ExpectBox( const QString& text, const QString& caption, platform::Icon icon,
                   platform::Answer answer = platform::Answer::Ok )
   {
      platform::ScriptedPrompter::Expectation box;
      box.pattern = QRegularExpression( "^" + QRegularExpression::escape( text ) + "$" );
      box.caption = caption;
      box.icon = icon;
      box.answer = answer;
      prompter.Expect( box );
   }

   std::unique_ptr<TMainWindow> mainWindow;
   std::function<bool()> savedActive;
};

// ---- Successful runs ------------------------------------------------------------------------------------------------

TEST_F( ProcessExecutionTest, ARunOnTheMainViewIsTimedRecordedAndAnnounced )
{
   TImageWindow* w = Make( RandomImage( 8, 8, 1, qor::ColorSpace::Gray ), "Image01" );
   QWidget other;
   const std::vector<float> before = Samples( *w->image );
   PixelProcess p;
   bool paintingDuring = true;
   bool otherEnabledDuring = true;
   int32_t nestingDuring = 0;
   std::vector<std::string> linesDuring;
   p.work = [&]( TImageWindow::View& v )
   {
      paintingDuring = w->paintingAllowed;
      otherEnabledDuring = other.isEnabled();
      nestingDuring = TImageWindow::statusDialogNestingCount;
      linesDuring = StatusLines();
      Brighten( v );
   };
   UpdateCounter updates;
   const double t0 = qor::DateTime::Now();

   ASSERT_TRUE( p.LaunchOn( *w->mainView ) );

   EXPECT_EQ( Samples( *w->image ), Plus( before, 0.25f ) );
   EXPECT_EQ( linesDuring, ( std::vector<std::string>{ "Processing image: Image01:", "  Prepare undo: Image01",
                                                        "  Brighten", "" } ) );
   EXPECT_EQ( p.percentAtEnd, "%100" ); // the image reported its progress to the dialog
   EXPECT_FALSE( w->image->IsMonitored() );
   EXPECT_FALSE( paintingDuring );
   EXPECT_TRUE( w->paintingAllowed );
   EXPECT_EQ( nestingDuring, 1 );
   EXPECT_FALSE( otherEnabledDuring );
   EXPECT_TRUE( other.isEnabled() );
   EXPECT_FALSE( StatusDialog().isVisible() );
   EXPECT_EQ( updates.Views( "updated" ), std::vector<TImageWindow::View*>{ w->mainView } );

   ASSERT_EQ( HistoryLength( *w->mainView ), 1u );
   Process* entry = w->mainView->LastProcess();
   ASSERT_NE( entry, nullptr );
   EXPECT_NE( entry, &p );
   EXPECT_EQ( entry->Id(), "Brighten" );
   EXPECT_EQ( entry->owner, &w->mainView->History() );
   EXPECT_GE( p.startTime, t0 );
   EXPECT_GE( p.processingTime, 0.0 );
   EXPECT_EQ( entry->startTime, p.startTime );
   EXPECT_EQ( entry->processingTime, p.processingTime );
   EXPECT_EQ( p.targetModificationCount, 0 );
   EXPECT_EQ( w->modificationCount, 1 );
}

TEST_F( ProcessExecutionTest, RefusalsAndCancellationsLeaveEverythingAsItWas )
{
   struct Case
   {
      const char* name;
      std::function<void( PixelProcess&, TImageWindow& )> setUp;
      bool onPreview;
      std::string box; // empty: silent
      bool expectWarningDialog;
   };
   const std::vector<Case> cases = {
       { "image-level process on a preview", []( PixelProcess& p, TImageWindow& ) { p.imageLevel = true; }, true,
         "Process Brighten cannot be executed on view: Image01->Preview01", false },
       { "the process declines", []( PixelProcess& p, TImageWindow& ) { p.confirm = false; }, false, "", false },
       { "No to running without undo", []( PixelProcess&, TImageWindow& w ) { w.undoEnabled = false; }, false, "",
         true },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.name );
      TImageWindow* w = Make( RandomImage( 32, 32, 1, qor::ColorSpace::Gray ), "Image01" );
      TImageWindow::View* view = w->mainView;
      if ( c.onPreview )
         view = w->CreatePreview( "Preview01", 0, 0, 16, 16 );
      const std::vector<float> before = Samples( view->GetImage() );
      PixelProcess p;
      c.setUp( p, *w );
      p.processingTime = 5;
      if ( !c.box.empty() )
         ExpectBox( QString::fromStdString( c.box ), ApplicationTitle(), platform::Icon::Warning );
      if ( c.expectWarningDialog )
         dialogs.ExpectResult( "WarningMessageWithDontAskAgainDialog", QDialog::Rejected );

      EXPECT_FALSE( p.LaunchOn( *view ) );
      EXPECT_EQ( p.processingTime, 0.0 );
      EXPECT_EQ( Samples( view->GetImage() ), before );
      EXPECT_EQ( HistoryLength( *view ), 0u );
      EXPECT_TRUE( w->paintingAllowed );
      EXPECT_EQ( w->modificationCount, 0 );
      EXPECT_FALSE( StatusDialog().isVisible() );
      EXPECT_EQ( prompter.Records().size(), c.box.empty() ? 0u : 1u );
      ForgetAll();
      windows.clear();
      delete w;
   }
}

TEST_F( ProcessExecutionTest, RunningWithoutUndoAsksUntilTheUserSaysNotTo )
{
   TImageWindow* w = Make( RandomImage( 8, 8, 1, qor::ColorSpace::Gray ), "Image01" );
   w->undoEnabled = false;
   dialogs.Expect( "WarningMessageWithDontAskAgainDialog",
                   []( QDialog& d )
                   {
                      EXPECT_EQ( d.findChild<QLabel*>( "Warning1_Label" )->text(),
                                 "Undo has been disabled for this image window." );
                      EXPECT_EQ( d.findChild<QLabel*>( "Warning2_Label" )->text(),
                                 "Current data will be lost. Apply Brighten instance?" );
                      auto* dontAsk = d.findChild<QCheckBox*>( "DontAskAgain_CheckBox" );
                      EXPECT_FALSE( dontAsk->isChecked() );
                      dontAsk->click();
                      return int( QDialog::Accepted );
                   } );
   PixelProcess p;
   EXPECT_TRUE( p.LaunchOn( *w->mainView ) );
   EXPECT_FALSE( AskBeforeRunningWithoutUndo );
   EXPECT_TRUE( p.LaunchOn( *w->mainView ) ); // no question any more
   EXPECT_EQ( HistoryLength( *w->mainView ), 2u );

   // A process that leaves the target untouched never asks.
   AskBeforeRunningWithoutUndo = true;
   p.modifies = false;
   p.work = []( TImageWindow::View& ) {};
   EXPECT_TRUE( p.LaunchOn( *w->mainView ) );
}

// While the status dialog is open, image windows only remember that they were asked to paint; they paint when
// it closes.
TEST_F( ProcessExecutionTest, ImageWindowsHoldTheirPaintsUntilTheBracketEnds )
{
   TImageWindow* w = Make( RandomImage( 8, 8, 1, qor::ColorSpace::Gray ), "Image01" );
   w->show();
   QCoreApplication::processEvents();
   bool pendingDuring = false;
   // A report bracket leaves the windows enabled, so nothing but the dialog's end makes the window paint.
   StatusDialog().BeginTasks(
       [&]
       {
          w->viewport()->repaint();
          pendingDuring = w->paintPending;
       } );
   StatusDialog().EndTasks();
   EXPECT_TRUE( pendingDuring );
   QCoreApplication::sendPostedEvents();
   QCoreApplication::processEvents();
   EXPECT_FALSE( w->paintPending );
}

TEST_F( ProcessExecutionTest, PreviewsFollowTheMainImageButNotEachOther )
{
   TImageWindow* w = Make( RandomImage( 32, 32, 1, qor::ColorSpace::Gray ), "Image01" );
   TImageWindow::Preview* first = w->CreatePreview( "Preview01", 0, 0, 16, 16 );
   TImageWindow::Preview* second = w->CreatePreview( "Preview02", 16, 16, 16, 16 );
   const std::vector<float> secondBefore = Samples( second->GetImage() );
   PixelProcess p;

   // A run on a preview starts from its stored state every time, and leaves the other previews alone.
   ASSERT_TRUE( p.LaunchOn( *first ) );
   const std::vector<float> once = Samples( first->GetImage() );
   ASSERT_TRUE( p.LaunchOn( *first ) );
   EXPECT_EQ( Samples( first->GetImage() ), once );
   EXPECT_EQ( Samples( second->GetImage() ), secondBefore );
   EXPECT_EQ( w->modificationCount, 0 );

   // A run that changes the main image gives every preview the new pixels under it.
   ASSERT_TRUE( p.LaunchOn( *w->mainView ) );
   qor::Image expected;
   expected.AssignRect( *w->image, 16, 16, 16, 16 );
   EXPECT_EQ( Samples( second->GetImage() ), Samples( expected ) );
   EXPECT_EQ( Samples( second->GetImage() ), Plus( secondBefore, 0.25f ) );
}

TEST_F( ProcessExecutionTest, TheDisplayReturnsToTheCompositeWhenItsChannelIsGone )
{
   for ( bool toGrey : { true, false } )
   {
      SCOPED_TRACE( toGrey ? "to grey" : "stays RGB" );
      TImageWindow* w = Make( RandomImage( 8, 8, 3, qor::ColorSpace::RGB ) );
      w->SetDisplayChannel( 3 ); // blue
      const int32_t shown = w->displayChannel;
      PixelProcess p;
      p.work = [&]( TImageWindow::View& v )
      {
         if ( toGrey )
         {
            v.GetImage().Allocate( 8, 8, 1, qor::ColorSpace::Gray );
            v.GetImage().Fill( 0, 0.5f );
         }
         v.Modified( true );
      };
      ASSERT_TRUE( p.LaunchOn( *w->mainView ) );
      EXPECT_EQ( w->displayChannel, toGrey ? 0 : shown );
   }
}

// ---- Masking --------------------------------------------------------------------------------------------------------

// A window without undo data keeps the unprocessed pixels in memory for the run, so the mask still blends.
TEST_F( ProcessExecutionTest, AMaskedRunWithoutUndoBlendsThroughTheMask )
{
   struct Case
   {
      const char* name;
      int32_t colorSpace;
      bool maskEnabled;
      bool maskable;
      bool resizes; // the process changes the image's size: the result cannot be blended
      bool blended;
   };
   const std::vector<Case> cases = {
       { "grey image, grey mask", qor::ColorSpace::Gray, true, true, false, true },
       { "RGB image, grey mask on every channel", qor::ColorSpace::RGB, true, true, false, true },
       { "masking disabled", qor::ColorSpace::Gray, false, true, false, false },
       { "process refuses masking", qor::ColorSpace::Gray, true, false, false, false },
       { "size changed", qor::ColorSpace::Gray, true, true, true, false },
   };
   AskBeforeRunningWithoutUndo = false;
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.name );
      const int32_t channels = c.colorSpace == qor::ColorSpace::Gray ? 1 : 3;
      auto* image = new qor::Image( 4, 2, channels, c.colorSpace );
      for ( int32_t ch = 0; ch < channels; ++ch )
         image->Fill( ch, 0.2f );
      TImageWindow* target = Make( image, "Target" );
      auto* maskImage = new qor::Image( 4, 2 );
      const float weights[] = { 0.0f, 0.25f, 0.5f, 1.0f };
      for ( int32_t y = 0; y < 2; ++y )
         for ( int32_t x = 0; x < 4; ++x )
            maskImage->Pixel( x, y ) = weights[x];
      TImageWindow* mask = Make( maskImage, "Mask" );
      target->SetMask( mask );
      target->maskEnabled = c.maskEnabled;
      target->undoEnabled = false;

      PixelProcess p;
      p.maskable = c.maskable;
      p.work = [&]( TImageWindow::View& v ) { FillWithOnes( v, c.resizes ); };
      ASSERT_TRUE( p.LaunchOn( *target->mainView ) );

      const bool maskTask = c.maskEnabled && c.maskable;
      const std::vector<std::string> expectedLines =
          maskTask ? std::vector<std::string>{ "Processing image: Target:", "  Brighten", "  Masking with Mask", "" }
                   : std::vector<std::string>{ "Processing image: Target:", "  Brighten", "" };
      EXPECT_EQ( p.linesAtEnd, expectedLines );

      const qor::Image& result = *target->image;
      for ( int32_t ch = 0; ch < result.NumberOfChannels(); ++ch )
         for ( int32_t y = 0; y < result.Height(); ++y )
            for ( int32_t x = 0; x < result.Width(); ++x )
               EXPECT_FLOAT_EQ( result.Pixel( x, y, ch ), c.blended ? weights[x] + ( 1 - weights[x] ) * 0.2f : 1.0f )
                   << "channel " << ch << " at " << x << "," << y;

      // The instance and its history entry name the mask exactly when it was applied.
      const Process* entry = target->mainView->LastProcess();
      ASSERT_NE( entry, nullptr );
      EXPECT_EQ( entry->maskId, c.blended ? "Mask" : "" );
      EXPECT_EQ( p.maskId, entry->maskId );
      EXPECT_EQ( entry->mask, c.blended ? static_cast<MaskTarget*>( mask ) : nullptr );
      windows.clear();
      delete target;
      delete mask;
   }
}

// A preview keeps no undo data: its restored pixels are kept in memory for the run and blended with the result
// through the part of the mask under the preview's rectangle. A result that cannot be blended records no mask.
TEST_F( ProcessExecutionTest, AMaskedRunOnAPreviewBlendsThroughThePartOfTheMaskUnderIt )
{
   struct Case
   {
      const char* name;
      int32_t channels;
      int32_t colorSpace;
      int32_t left, top, width, height;
      bool resizes;
   };
   const std::vector<Case> cases = {
       { "grey image", 1, qor::ColorSpace::Gray, 2, 1, 4, 2, false },
       { "RGB image with alpha, grey mask on every nominal channel", 4, qor::ColorSpace::RGB, 3, 0, 4, 3, false },
       { "rectangle past the right and bottom edges", 1, qor::ColorSpace::Gray, 6, 2, 4, 4, false },
       { "result of another size", 1, qor::ColorSpace::Gray, 2, 1, 4, 2, true },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.name );
      TImageWindow* target = Make( RandomImage( 8, 4, c.channels, c.colorSpace ), "Image01" );
      // Weights 0, 0.5 and 1 in turn, shifted on every row, so that a part taken from the wrong place shows.
      auto* maskImage = new qor::Image( 8, 4 );
      for ( int32_t y = 0; y < 4; ++y )
         for ( int32_t x = 0; x < 8; ++x )
            maskImage->Pixel( x, y ) = float( ( x + 2 * y ) % 3 ) / 2;
      TImageWindow* mask = Make( maskImage, "Mask" );
      target->SetMask( mask );
      TImageWindow::Preview* preview = target->CreatePreview( "Preview01", c.left, c.top, c.width, c.height );

      PixelProcess p;
      p.work = [&]( TImageWindow::View& v ) { FillWithOnes( v, c.resizes ); };
      // The second run starts from the restored pixels again, not from the blended result of the first. (After a
      // change of size a preview is restored at its new size, so a second run would fit the mask again.)
      for ( int run = 0; run < ( c.resizes ? 1 : 2 ); ++run )
      {
         SCOPED_TRACE( run );
         ASSERT_TRUE( p.LaunchOn( *preview ) );
         EXPECT_EQ( p.linesAtEnd, ( std::vector<std::string>{ "Processing preview: Image01->Preview01:", "  Brighten",
                                                              "  Masking with Mask", "" } ) );

         const qor::Image& result = preview->GetImage();
         const Process* entry = preview->LastProcess();
         ASSERT_NE( entry, nullptr );
         if ( c.resizes )
         {
            EXPECT_EQ( result.Width(), 2 );
            EXPECT_EQ( Samples( result ), std::vector<float>( 4, 1.0f ) );
            EXPECT_EQ( entry->maskId, "" ) << "nothing was blended";
            EXPECT_EQ( entry->mask, nullptr );
            EXPECT_EQ( p.maskId, "" );
            continue;
         }
         ASSERT_EQ( result.Width(), std::min( c.width, 8 - c.left ) );
         ASSERT_EQ( result.Height(), std::min( c.height, 4 - c.top ) );
         ASSERT_EQ( result.NumberOfChannels(), std::min( c.channels, 3 ) );
         for ( int32_t ch = 0; ch < result.NumberOfChannels(); ++ch )
            for ( int32_t y = 0; y < result.Height(); ++y )
               for ( int32_t x = 0; x < result.Width(); ++x )
               {
                  const float m = maskImage->Pixel( c.left + x, c.top + y );
                  const float s = target->image->Pixel( c.left + x, c.top + y, ch );
                  EXPECT_FLOAT_EQ( result.Pixel( x, y, ch ), m + ( 1 - m ) * s )
                      << "channel " << ch << " at " << x << "," << y;
               }
         EXPECT_EQ( entry->maskId, "Mask" );
         EXPECT_EQ( entry->mask, static_cast<MaskTarget*>( mask ) );
      }
      EXPECT_EQ( target->modificationCount, 0 );
      windows.clear();
      delete target;
      delete mask;
   }
}

// ---- Failures -------------------------------------------------------------------------------------------------------

// The user's abort, asked at a chosen progress event: Yes stops the run and rolls a preview back; No goes on.
TEST_F( ProcessExecutionTest, AnAbortAtAChosenProgressEventIsAskedAndHonoured )
{
   struct Case
   {
      const char* name;
      bool onPreview;
      platform::Answer answer;
      QString message; // the box after the abort; empty: none
      bool undo = true;
   };
   const std::vector<Case> cases = {
       { "main view, Yes", false, platform::Answer::Yes, "Process aborted. Image recovered." },
       { "main view without undo, Yes", false, platform::Answer::Yes, "Process aborted.", false },
       { "preview, Yes", true, platform::Answer::Yes, "Process aborted. Preview restored." },
       { "main view, No", false, platform::Answer::No, "" },
   };
   const bool asked = AskBeforeRunningWithoutUndo;
   AskBeforeRunningWithoutUndo = false;
   qor::ThreadCountScope oneThread( 1 );
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.name );
      TImageWindow* w = Make( RandomImage( 32, 600, 1, qor::ColorSpace::Gray ), "Image01" );
      TImageWindow::View* view = c.onPreview ? w->CreatePreview( "Preview01", 0, 0, 32, 500 ) : w->mainView;
      w->undoEnabled = c.undo;
      const std::vector<float> before = Samples( view->GetImage() );
      TMainWindow& main = Main();
      StatusDialog().progressHook = [&]( int32_t event )
      {
         if ( event == 3 )
            main.RequestAbort();
      };
      ExpectBox( "Abort process?", ApplicationTitle(), platform::Icon::Warning, c.answer );
      if ( !c.message.isEmpty() )
         ExpectBox( c.message, "Brighten", platform::Icon::Information );

      PixelProcess p;
      const bool completed = p.LaunchOn( *view );

      EXPECT_EQ( completed, c.answer == platform::Answer::No );
      EXPECT_FALSE( main.processing );
      EXPECT_FALSE( main.abortRequested );
      EXPECT_TRUE( w->paintingAllowed );
      EXPECT_FALSE( StatusDialog().isVisible() );
      EXPECT_EQ( HistoryLength( *view ), completed ? 1u : 0u );
      const std::vector<float> after = Samples( view->GetImage() );
      if ( completed )
         EXPECT_EQ( after, Plus( before, 0.25f ) );
      else if ( c.onPreview || c.undo )
         EXPECT_EQ( after, before ); // restored, from the undo data on a main view
      else
      {
         // Without undo data the image stays as the aborted process left it: some rows done, not all.
         EXPECT_NE( after, before );
         EXPECT_NE( after, Plus( before, 0.25f ) );
      }
      StatusDialog().progressHook = nullptr;
      mainWindow.reset();
   }
   AskBeforeRunningWithoutUndo = asked;
}

TEST_F( ProcessExecutionTest, FailuresAreReportedByKind )
{
   struct Case
   {
      const char* name;
      std::function<void()> failure;
      QString text; // empty: no box
      QString caption;
   };
   const QString unexpected = "Exception location:\n   File: process/Process\n   Line: 306";
   const std::vector<Case> cases = {
       { "class-library exception", [] { throw qor::GenericException( "Bad parameters" ); }, "Bad parameters",
         "QOR Exception" },
       { "toolkit error", [] { throw RangeError( "Value out of range" ); }, "Value out of range", ApplicationTitle() },
       { "refusal text", [] { throw ProcessRefusal( "Not now" ); }, "Not now", ApplicationTitle() },
       { "silent cancellation", [] { throw ProcessRefusal( "" ); }, "", "" },
       { "already reported", [] { throw qor::CatchedException(); }, "", "" },
       { "out of memory", [] { throw std::bad_alloc(); }, "Out of memory", ApplicationTitle() },
       { "anything else", [] { throw std::logic_error( "?" ); }, unexpected, "Unexpected Exception" },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.name );
      TImageWindow* w = Make( RandomImage( 8, 8, 1, qor::ColorSpace::Gray ), "Image01" );
      const std::vector<float> before = Samples( *w->image );
      if ( !c.text.isEmpty() )
      {
         platform::ScriptedPrompter::Expectation box;
         box.text = c.text;
         box.caption = c.caption;
         box.icon = platform::Icon::Warning;
         prompter.Expect( box );
      }
      PixelProcess p;
      p.work = [&]( TImageWindow::View& ) { c.failure(); };
      EXPECT_FALSE( p.LaunchOn( *w->mainView ) );
      EXPECT_EQ( Samples( *w->image ), before );
      EXPECT_TRUE( w->paintingAllowed );
      EXPECT_EQ( prompter.Records().size(), c.text.isEmpty() ? 0u : 1u );
      EXPECT_TRUE( prompter.UnexpectedRecords().empty() );
      EXPECT_EQ( prompter.PendingCount(), 0u );
      EXPECT_FALSE( StatusDialog().isVisible() );
      ForgetAll();
      windows.clear();
      delete w;
   }
}

// A failure that leaves the window without pixels and without undo data to recover them from: the user is told,
// and the window gets a defined (zero) placeholder that it does not paint.
TEST_F( ProcessExecutionTest, AFailureThatLosesTheImageLeavesAZeroPlaceholder )
{
   TImageWindow* w = Make( RandomImage( 8, 8, 3, qor::ColorSpace::RGB ), "Image01" );
   w->undoEnabled = false;
   const bool asked = AskBeforeRunningWithoutUndo;
   AskBeforeRunningWithoutUndo = false;
   ExpectBox( "Out of memory", ApplicationTitle(), platform::Icon::Warning );
   ExpectBox( "Fatal error: Lumenforge is unable to recover the image data.\n"
              "As a security procedure, you might consider to save and backup\n"
              "existing data as appropriate, exit Lumenforge, and restart your computer.",
              "Lumenforge - Fatal Error", platform::Icon::Error );
   PixelProcess p;
   p.work = []( TImageWindow::View& v )
   {
      v.GetImage().FreeData();
      throw std::bad_alloc();
   };
   EXPECT_FALSE( p.LaunchOn( *w->mainView ) );
   AskBeforeRunningWithoutUndo = asked;
   const qor::Image& image = *w->image;
   ASSERT_EQ( image.Width(), 100 );
   ASSERT_EQ( image.Height(), 100 );
   ASSERT_EQ( image.NumberOfChannels(), 1 );
   EXPECT_EQ( image.GetColorSpace(), qor::ColorSpace::Gray );
   EXPECT_EQ( Samples( image ), std::vector<float>( 100 * 100, 0.0f ) );
   EXPECT_FALSE( w->paintingAllowed );
}

// ---- Global runs ----------------------------------------------------------------------------------------------------

TEST_F( ProcessExecutionTest, AGlobalLaunchHasItsOwnTaskAndReport )
{
   Settings s;
   ASSERT_TRUE( s.LaunchGlobal() );
   EXPECT_EQ( s.lines, ( std::vector<std::string>{ "Global Process:", "  Settings", "" } ) );
   EXPECT_GE( s.processingTime, 0.0 );

   // Exhausted memory has no report of its own in a global run.
   platform::ScriptedPrompter::Expectation box;
   box.text = "Exception location:\n   File: process/Process\n   Line: 380";
   box.caption = "Unexpected Exception";
   prompter.Expect( box );
   s.failure = [] { throw std::bad_alloc(); };
   EXPECT_FALSE( s.LaunchGlobal() );

   // An abort rolls nothing back and says only that.
   TMainWindow& main = Main();
   ExpectBox( "Process aborted.", "Settings", platform::Icon::Information );
   s.failure = [] { throw qor::Image::AbortProcessEvent( nullptr ); };
   EXPECT_FALSE( s.LaunchGlobal() );
   EXPECT_FALSE( main.processing );
}

// ---- Undo data after a failed preparation ---------------------------------------------------------------------------

TEST_F( ProcessExecutionTest, TheRecoveryCopyGoesBackWhenUndoPreparationFails )
{
   test::TempDir dir;
   TImageWindow* w = Make( RandomImage( 4, 4, 1, qor::ColorSpace::Gray ) );
   w->swapFilePath = dir.File( "lf0.swp" );
   w->tempFilePath = dir.File( "lf0.tmp" );
   auto write = []( const std::string& path, const std::string& text ) { std::ofstream( path ) << text; };
   auto read = []( const std::string& path )
   {
      std::ifstream in( path );
      return std::string( std::istreambuf_iterator<char>( in ), {} );
   };

   // No recovery copy: nothing changes.
   w->undoAvailable = true;
   w->swapFileFlags = 0x01;
   write( w->swapFilePath, "current" );
   RestoreRecoveryCopy( *w );
   EXPECT_EQ( read( w->swapFilePath ), "current" );
   EXPECT_TRUE( w->undoAvailable );

   // The copy of the previous undo data replaces the half-written swap file, with the undo state it had.
   write( w->tempFilePath, "previous" );
   w->recoverySwapFileFlags = 0x05;
   w->recoveryUndoAvailable = false; // it held a redo state
   RestoreRecoveryCopy( *w );
   EXPECT_EQ( read( w->swapFilePath ), "previous" );
   EXPECT_FALSE( std::filesystem::exists( w->tempFilePath ) );
   EXPECT_EQ( w->swapFileFlags, 0x05 );
   EXPECT_FALSE( w->undoAvailable );
   EXPECT_TRUE( w->redoAvailable );

   // A copy that cannot be moved back leaves no undo state pointing at a file that is not there.
   write( w->tempFilePath, "previous" );
   w->swapFilePath = dir.File( "missing-folder/lf0.swp" );
   RestoreRecoveryCopy( *w );
   EXPECT_FALSE( w->undoAvailable );
   EXPECT_FALSE( w->redoAvailable );
   w->swapFilePath.clear();
   w->tempFilePath.clear();
}

} // namespace
