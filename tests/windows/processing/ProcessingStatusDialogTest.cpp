// The processing status dialog: task brackets, the progress display, event pumping, the abort question and the
// end of a bracket.

#include <gtest/gtest.h>

#include <QApplication>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "classlib/Image.h"
#include "classlib/Parallel.h"
#include "classlib/StatusCallback.h"
#include "platform/Prompter.h"
#include "process/Preferences.h"
#include "windows/main/Application.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ProcessingStatusDialog.h"

namespace
{

class ProcessingStatusDialogTest : public test::ScriptedUiTest
{
protected:
   void SetUp() override
   {
      test::ScriptedUiTest::SetUp();
      dialog = std::make_unique<TProcessingStatusDialog>();
      // The test program is never the active application: the completion in the background is tested on purpose.
      dialog->applicationActive = [] { return true; };
      dialog->alert = []( QWidget* ) {};
      monitor.SetCallback( &TProcessingStatusDialog::ProgressCallback, dialog.get() );
   }

   void TearDown() override
   {
      monitor.SetCallback( nullptr, nullptr );
      dialog.reset();
      mainWindow.reset();
      test::ScriptedUiTest::TearDown();
   }

   TMainWindow& Busy()
   {
      mainWindow = std::make_unique<TMainWindow>();
      mainWindow->BeginProcessing();
      return *mainWindow;
   }

   std::vector<std::string> Lines() const
   {
      std::vector<std::string> lines;
      for ( int i = 0; i < dialog->Tasks_ListBox->count(); ++i )
         lines.push_back( dialog->Tasks_ListBox->item( i )->text().toStdString() );
      return lines;
   }

   std::string Percent() const { return dialog->Percent_Panel->text().toStdString(); }

   std::unique_ptr<TProcessingStatusDialog> dialog;
   std::unique_ptr<TMainWindow> mainWindow;
   qor::StatusCallback monitor;
};

TEST_F( ProcessingStatusDialogTest, TasksAreListedByLevelAndBracketsNest )
{
   QWidget other;
   other.show();
   QWidget disabledOnItsOwn;
   disabledOnItsOwn.setEnabled( false );
   disabledOnItsOwn.show();

   dialog->BeginTasks();
   EXPECT_TRUE( dialog->isVisible() );
   EXPECT_EQ( Percent(), "%0" );
   EXPECT_EQ( Lines(), std::vector<std::string>{ "" } );
   EXPECT_FALSE( other.isEnabled() );

   dialog->AddTask( "Processing image: Image01:", 0, 0 );
   dialog->NextTask();
   EXPECT_EQ( dialog->Tasks_ListBox->currentRow(), 0 );
   dialog->AddTask( "Sigma", 1, 0 );
   dialog->NextTask();
   EXPECT_EQ( dialog->Tasks_ListBox->currentRow(), 1 );
   dialog->NextTask(); // the last task stays selected
   EXPECT_EQ( dialog->Tasks_ListBox->currentRow(), 1 );
   EXPECT_EQ( Lines(), ( std::vector<std::string>{ "Processing image: Image01:", "  Sigma", "" } ) );

   // An inner bracket adds to the list and neither resets nor closes the dialog.
   dialog->BeginTasks();
   dialog->AddTask( "Masking with Mask", 2, 0 );
   dialog->NextTask();
   dialog->EndTasks();
   EXPECT_TRUE( dialog->isVisible() );
   EXPECT_EQ( dialog->Nesting(), 1 );
   EXPECT_EQ( Lines(),
              ( std::vector<std::string>{ "Processing image: Image01:", "  Sigma", "    Masking with Mask", "" } ) );
   EXPECT_EQ( dialog->Tasks_ListBox->currentRow(), 2 );

   dialog->EndTasks();
   EXPECT_FALSE( dialog->isVisible() );
   EXPECT_TRUE( dialog->tasks.empty() );
   EXPECT_TRUE( other.isEnabled() );
   EXPECT_FALSE( disabledOnItsOwn.isEnabled() ); // it was not the dialog's to give back

   dialog->EndTasks(); // nothing open: harmless
   dialog->NextTask(); // no tasks: nothing
   EXPECT_EQ( dialog->Nesting(), 0 );
   EXPECT_EQ( Lines(), std::vector<std::string>{} );
}

TEST_F( ProcessingStatusDialogTest, AReportBracketRunsItsWorkInsideAndLeavesTheOtherWindowsAlone )
{
   QWidget other;
   other.show();
   int32_t nestingInside = -1;
   bool otherEnabledInside = false;
   dialog->BeginTasks(
       [&]
       {
          nestingInside = dialog->Nesting();
          otherEnabledInside = other.isEnabled();
       } );
   EXPECT_EQ( nestingInside, 1 );
   EXPECT_TRUE( otherEnabledInside );
   EXPECT_FALSE( dialog->Minimize_Button->isEnabled() );
   dialog->EndTasks();
   EXPECT_TRUE( other.isEnabled() );
}

// A task with a total of its own keeps one bar across its operations; a task without one takes each operation's.
TEST_F( ProcessingStatusDialogTest, ProgressAccumulatesPerTaskAndShowsRoundedPercentages )
{
   dialog->BeginTasks();
   dialog->AddTask( "Two halves", 0, 1000 );
   dialog->NextTask();
   EXPECT_EQ( dialog->ProgressBar->maximum(), 1000 );
   monitor.Initialize( "First half", 500 );
   monitor.Advance( 500 );
   EXPECT_EQ( dialog->BarMaximum(), 1000 );
   EXPECT_EQ( dialog->BarPosition(), 500 );
   EXPECT_EQ( Percent(), "%50" );
   monitor.Initialize( "Second half", 500 );
   EXPECT_EQ( dialog->BarPosition(), 500 );
   EXPECT_EQ( dialog->Info_Panel->text(), "Second half" );
   monitor.Advance( 250 );
   EXPECT_EQ( Percent(), "%75" );
   monitor.Advance( 250 );
   monitor.Advance( 1 ); // the monitor says "done" again; nothing is counted twice
   EXPECT_EQ( dialog->BarPosition(), 1000 );
   EXPECT_EQ( dialog->ProgressBar->value(), 1000 );
   EXPECT_EQ( Percent(), "%100" );

   dialog->AddTask( "Own totals", 0, 0 );
   dialog->NextTask();
   EXPECT_EQ( Percent(), "" );
   monitor.Initialize( "Eighths", 8 );
   EXPECT_EQ( dialog->BarMaximum(), 8 );
   monitor.Advance( 1 ); // 12.5 rounds to the even 12
   EXPECT_EQ( Percent(), "%12" );
   monitor.Advance( 2 ); // 37.5 rounds to the even 38
   EXPECT_EQ( Percent(), "%38" );
   monitor.Initialize( "Restart", 50 ); // a second operation restarts the bar
   EXPECT_EQ( dialog->BarMaximum(), 50 );
   EXPECT_EQ( dialog->BarPosition(), 0 );
   monitor.Advance( 25 );
   EXPECT_EQ( Percent(), "%50" );
   monitor.SetText( "Renamed" );
   EXPECT_EQ( dialog->Info_Panel->text(), "Renamed" );

   // An operation without units does not divide by zero; done is done.
   monitor.Initialize( "Nothing to do", 0 );
   monitor.Advance( 0 );
   EXPECT_EQ( Percent(), "%100" );

   // Totals beyond the widget's int range are shown scaled; the dialog keeps the exact counts.
   monitor.Initialize( "Huge", int64_t( 1 ) << 40 );
   monitor.Advance( int64_t( 1 ) << 39 );
   EXPECT_EQ( dialog->BarPosition(), int64_t( 1 ) << 39 );
   EXPECT_EQ( Percent(), "%50" );
   EXPECT_NEAR( double( dialog->ProgressBar->value() ) / dialog->ProgressBar->maximum(), 0.5, 1e-6 );
   dialog->EndTasks();
}

TEST_F( ProcessingStatusDialogTest, EveryProgressEventPumpsTheEventQueue )
{
   dialog->BeginTasks();
   dialog->AddTask( "Work", 0, 0 );
   dialog->NextTask();
   bool ran = false;
   QTimer::singleShot( 0, [&] { ran = true; } );
   monitor.Initialize( "Work", 10 );
   EXPECT_TRUE( ran );
   dialog->EndTasks();
}

// The main window's abort request becomes the question at the next progress event; the answer decides.
TEST_F( ProcessingStatusDialogTest, AnAbortRequestIsAskedAtTheNextProgressEvent )
{
   for ( platform::Answer answer : { platform::Answer::Yes, platform::Answer::No } )
   {
      SCOPED_TRACE( platform::AnswerText( answer ).toStdString() );
      TMainWindow& main = Busy();
      dialog->BeginTasks();
      EXPECT_TRUE( dialog->Abort_Button->isEnabled() );
      dialog->AddTask( "Work", 0, 0 );
      dialog->NextTask();

      platform::ScriptedPrompter::Expectation question;
      question.text = "Abort process?";
      question.caption = ApplicationTitle();
      question.icon = platform::Icon::Warning;
      question.answer = answer;
      prompter.Expect( question );

      const int32_t abortAt = 3;
      std::vector<int32_t> events;
      dialog->progressHook = [&]( int32_t index )
      {
         events.push_back( index );
         if ( index == abortAt )
            main.RequestAbort();
      };

      qor::Image image( 16, 1000 );
      image.Status().SetCallback( &TProcessingStatusDialog::ProgressCallback, dialog.get() );
      qor::ThreadCountScope oneThread( 1 );
      std::atomic<int64_t> rowsDone = 0;
      image.BeginTask( "Rows", image.Height() );
      auto run = [&] { image.ParallelRows( image.Height(), [&]( int64_t y0, int64_t y1 ) { rowsDone += y1 - y0; } ); };
      if ( answer == platform::Answer::Yes )
      {
         EXPECT_THROW( run(), qor::Image::AbortProcessEvent );
         EXPECT_LT( rowsDone, image.Height() );
         EXPECT_FALSE( main.processing );
         EXPECT_FALSE( dialog->Abort_Button->isEnabled() );
         EXPECT_EQ( dialog->Info_Panel->text(), "Process aborted." );
         EXPECT_EQ( Percent(), "" );
      }
      else
      {
         EXPECT_NO_THROW( run() );
         EXPECT_EQ( rowsDone, image.Height() );
         EXPECT_TRUE( main.processing );
         EXPECT_FALSE( main.abortRequested );
         EXPECT_GT( events.size(), size_t( abortAt + 1 ) ); // later events did not ask again
      }
      EXPECT_EQ( events.front(), 0 );
      EXPECT_EQ( prompter.Records().size(), 1u );
      image.Status().SetCallback( nullptr, nullptr );
      dialog->progressHook = nullptr;
      dialog->EndTasks();
      mainWindow.reset();
      ForgetAll();
   }
}

TEST_F( ProcessingStatusDialogTest, WithoutABusyMainWindowNothingCanBeAborted )
{
   mainWindow = std::make_unique<TMainWindow>();
   dialog->BeginTasks();
   EXPECT_FALSE( dialog->Abort_Button->isEnabled() );
   mainWindow->RequestAbort();        // ignored: not busy
   mainWindow->abortRequested = true; // even a stray request is not asked about
   monitor.Initialize( "Work", 10 );
   monitor.Advance( 10 );
   EXPECT_FALSE( monitor.IsAborted() );
   EXPECT_TRUE( prompter.Records().empty() );
   dialog->EndTasks();
}

TEST_F( ProcessingStatusDialogTest, ClosingOrEscapeDuringARunRequestsTheAbort )
{
   TMainWindow& main = Busy();
   dialog->BeginTasks();
   dialog->close();
   EXPECT_TRUE( dialog->isVisible() );
   EXPECT_TRUE( main.abortRequested );

   main.abortRequested = false;
   QTest::keyClick( dialog.get(), Qt::Key_Escape );
   EXPECT_TRUE( dialog->isVisible() );
   EXPECT_TRUE( main.abortRequested );

   main.abortRequested = false;
   dialog->Abort_Button->click();
   EXPECT_TRUE( main.abortRequested );
   dialog->EndTasks();
   EXPECT_FALSE( dialog->isVisible() );
}

TEST_F( ProcessingStatusDialogTest, CompletionInTheBackgroundAsksForAttentionWithoutBlocking )
{
   int32_t alerts = 0;
   int32_t beeps = 0;
   dialog->applicationActive = [] { return false; };
   dialog->alert = [&]( QWidget* ) { ++alerts; };
   dialog->beep = [&] { ++beeps; };
   dialog->BeepOnCompletion_SpeedButton->setChecked( true );
   const QString title = QGuiApplication::applicationDisplayName();

   dialog->BeginTasks();
   dialog->EndTasks(); // returns at once: nothing waits for the user
   EXPECT_EQ( QGuiApplication::applicationDisplayName(), "Process Completed" );
   EXPECT_EQ( alerts, 1 );

   // A second completion before the user came back keeps the title to restore.
   dialog->BeginTasks();
   dialog->EndTasks();
   dialog->ApplicationActivated();
   EXPECT_EQ( QGuiApplication::applicationDisplayName(), title );

   const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds( 10 );
   while ( beeps < 2 * TProcessingStatusDialog::CompletionBeeps && std::chrono::steady_clock::now() < deadline )
      QTest::qWait( 20 );
   EXPECT_EQ( beeps, 2 * TProcessingStatusDialog::CompletionBeeps );
}

// A box asked while a bracket holds the other windows goes over the status dialog, even when the disabled window is
// still the active one (a window manager that did not activate the dialog): over that window it could not be
// answered.
TEST_F( ProcessingStatusDialogTest, BoxesDuringABracketGoOverTheDialogAndCanBeAnswered )
{
   QWidget main;
   main.show();
   QApplication::setActiveWindow( &main );
   ASSERT_EQ( QApplication::activeWindow(), &main );
   EXPECT_EQ( platform::MessageBoxParent(), &main );

   dialog->BeginTasks();
   QApplication::setActiveWindow( &main );
   ASSERT_EQ( QApplication::activeWindow(), &main );
   ASSERT_FALSE( main.isEnabled() );
   EXPECT_EQ( platform::MessageBoxParent(), dialog.get() );

   // The production box itself, answered from a timer inside its event loop.
   platform::Prompter* scripted = platform::Prompter::Installed();
   platform::Prompter::Install( nullptr );
   QWidget* parent = nullptr;
   bool enabled = false;
   QTimer::singleShot( 0,
                       [&]
                       {
                          for ( QWidget* w : QApplication::topLevelWidgets() )
                             if ( auto* box = qobject_cast<QMessageBox*>( w ); box != nullptr && box->isVisible() )
                             {
                                parent = box->parentWidget();
                                enabled = box->isEnabled();
                                box->done( QMessageBox::No );
                             }
                       } );
   const platform::Answer answer = platform::Ask( platform::Icon::Warning, "Lumenforge", "Abort process?",
                                                  platform::Buttons::YesNo, platform::Answer::Yes );
   platform::Prompter::Install( scripted );
   dialog->EndTasks();
   EXPECT_EQ( answer, platform::Answer::No );
   EXPECT_EQ( parent, dialog.get() );
   EXPECT_TRUE( enabled );
}

TEST_F( ProcessingStatusDialogTest, TheGlobalDialogTakesItsBeepToggleFromThePreferences )
{
   const bool saved = CurrentPreferences.mainWindow.beepOnProcessingCompletion;
   for ( bool beep : { true, false } )
   {
      DestroyStatusDialog();
      CurrentPreferences.mainWindow.beepOnProcessingCompletion = beep;
      EXPECT_EQ( StatusDialog().BeepOnCompletion_SpeedButton->isChecked(), beep );
      EXPECT_EQ( &StatusDialog(), ProcessingStatusDialog ); // made once
   }
   CurrentPreferences.mainWindow.beepOnProcessingCompletion = saved;
}

} // namespace
