// Processing windows: applying to selected images and previews, the keys and the input-error rule, the roll-back of
// a multi-view run after an abort, the notifications, dragging instances, processing dialogs and the selection
// dialogs.

#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QDrag>
#include <QListWidget>
#include <QMimeData>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>

#include <algorithm>

#include "ProcessingTestKit.h"
#include "platform/DragRunner.h"
#include "process/ProcessContainer.h"
#include "windows/image/Cursors.h"
#include "windows/dialogs/SelectViewsDialogs.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/processing/LFToolWindow.h"
#include "windows/processing/NotificationRecorder.h"
#include "windows/processing/ProcessingDialog.h"

using test::NotificationRecorder;
using test::Scale;
using test::TScaleWindow;

namespace
{

qor::Image* Ones( int32_t width, int32_t height, int32_t channels = 1 )
{
   auto* image = new qor::Image( width, height, channels, channels == 1 ? qor::ColorSpace::Gray : qor::ColorSpace::RGB );
   for ( int32_t c = 0; c < channels; ++c )
      std::fill_n( image->PixelData( c ), image->NumberOfPixels(), 1.0f );
   return image;
}

float First( const TImageWindow::View& view )
{
   return view.GetImage().PixelData( 0 )[0];
}

QStringList Entries( const QListWidget& list )
{
   QStringList texts;
   for ( int i = 0; i < list.count(); ++i )
      texts << list.item( i )->text();
   return texts;
}

// Checks the entries at the given rows and accepts the selection dialog.
platform::ScriptedDialogRunner::Handler CheckRows( std::vector<int> rows, QStringList* seen = nullptr )
{
   return [rows, seen]( QDialog& d ) {
      auto& dialog = static_cast<TSelectViewsDialog&>( d );
      if ( seen != nullptr )
         *seen = Entries( *dialog.CheckListBox );
      for ( int row : rows )
         dialog.CheckListBox->item( row )->setCheckState( Qt::Checked );
      return int( QDialog::Accepted );
   };
}

class ProcessingWindowTest : public test::ImageWindowProcessTest
{
protected:
   void SetUp() override
   {
      ImageWindowProcessTest::SetUp();
      drags.SetUnexpectedHandler( []( const platform::DragRecord& ) { ADD_FAILURE() << "unexpected drag"; } );
   }

   void TearDown() override
   {
      EXPECT_EQ( drags.PendingCount(), 0u );
      ImageWindowProcessTest::TearDown();
   }

   // Types the text into the window's factor edit, which takes the focus.
   static void Type( TScaleWindow& window, const QString& text )
   {
      window.Factor_Edit->setFocus();
      window.Factor_Edit->setText( text );
   }

   static void Click( QWidget& window, const char* name )
   {
      auto* button = window.findChild<QAbstractButton*>( name );
      ASSERT_NE( button, nullptr ) << name;
      button->click();
   }

   platform::ScriptedDragRunner drags;
   platform::DragRunnerScope dragScope{ drags };
};

// ---- Apply, Apply to previews ---------------------------------------------------------------------------------

TEST_F( ProcessingWindowTest, ApplyAsksForImagesOnceThenRunsOnEverySelectedImage )
{
   TImageWindow* a = Make( Ones( 4, 4 ), "Beta" );
   TImageWindow* b = Make( Ones( 6, 2 ), "Alpha" );
   TImageWindow* c = Make( Ones( 4, 4, 3 ), "Gamma" );
   TScaleWindow window;
   window.show();

   QStringList seen;
   dialogs.Expect( "SelectImagesDialog", CheckRows( { 1, 2 }, &seen ) );
   Click( window, "Apply_Button" );
   // Sorted by identifier, whatever the order the windows were made in.
   EXPECT_EQ( seen, ( QStringList{ "Alpha: 6\u00D72", "Beta: 4\u00D74", "Gamma: 4\u00D74" } ) );
   EXPECT_EQ( First( *a->mainView ), 0.5f );
   EXPECT_EQ( First( *b->mainView ), 1.0f );
   EXPECT_EQ( First( *c->mainView ), 0.5f );
   EXPECT_EQ( a->mainView->History().instances.Length(), 1u );

   // The selection stays with the views: the next Apply asks nothing.
   Type( window, "0.25" );
   Click( window, "Apply_Button" );
   EXPECT_EQ( First( *a->mainView ), 0.125f );
   EXPECT_EQ( First( *c->mainView ), 0.125f );
   EXPECT_EQ( First( *b->mainView ), 1.0f );
}

TEST_F( ProcessingWindowTest, NothingToRunOnIsSaidInTheWindowsName )
{
   TScaleWindow window;
   window.show();
   prompter.Expect( "No images available." ).Expect( "No previews defined." );
   Click( window, "Apply_Button" );
   Click( window, "Preview_Button" );

   TImageWindow* w = Make( Ones( 8, 8 ) );
   dialogs.ExpectResult( "SelectImagesDialog", QDialog::Rejected );
   prompter.Expect( "No images selected." );
   Click( window, "Apply_Button" );

   w->CreatePreview( "P", 0, 0, 4, 4 );
   dialogs.Expect( "SelectPreviewsDialog", CheckRows( {} ) );
   prompter.Expect( "No previews selected." );
   Click( window, "Preview_Button" );
   EXPECT_EQ( *window.runs, 0 );
   for ( const platform::PromptRecord& r : prompter.Records() )
      EXPECT_EQ( r.caption, "Scale" ) << r.text.toStdString();
}

TEST_F( ProcessingWindowTest, ApplyToPreviewsRunsOnTheSelectedPreviewsOnly )
{
   TImageWindow* w = Make( Ones( 16, 16 ) );
   TImageWindow::Preview* p1 = w->CreatePreview( "P1", 0, 0, 4, 4 );
   TImageWindow::Preview* p2 = w->CreatePreview( "P2", 4, 4, 4, 4 );
   TScaleWindow window;
   NotificationRecorder updates( { "updated" } );
   dialogs.Expect( "SelectPreviewsDialog", CheckRows( { 1 } ) );
   window.show();
   Click( window, "Preview_Button" );
   EXPECT_EQ( First( *p1 ), 1.0f );
   EXPECT_EQ( First( *p2 ), 0.5f );
   EXPECT_EQ( First( *w->mainView ), 1.0f );
   EXPECT_EQ( updates.events, std::vector<std::string>{ "updated:Image01->P2" } );
}

// ---- Keys and the input-error rule -----------------------------------------------------------------------------

TEST_F( ProcessingWindowTest, EnterCommitsTheEditAndARejectedValueStopsEveryShortcut )
{
   TImageWindow* w = Make( Ones( 4, 4 ) );
   w->mainView->selectingWindows.Add( nullptr ); // another window's selection does not count for this one
   TScaleWindow window;
   window.show();
   window.activateWindow();

   Type( window, "1.5" );
   QTest::keyClick( window.Factor_Edit, Qt::Key_Return );
   EXPECT_EQ( window.factor, 1.5f );
   EXPECT_EQ( window.Factor_Edit->text(), "1.500" );
   EXPECT_EQ( window.Factor_Edit->selectedText(), "1.500" );
   EXPECT_FALSE( window.suppressShortcuts );

   // Out of range: one message, the last valid value back, and neither this Enter nor F9 does anything more.
   prompter.Expect( "Numerical value out of range" );
   Type( window, "3" );
   QTest::keyClick( window.Factor_Edit, Qt::Key_Return );
   EXPECT_EQ( window.Factor_Edit->text(), "1.500" );
   EXPECT_TRUE( window.suppressShortcuts );
   EXPECT_TRUE( window.inputError );

   prompter.Expect( "Invalid character(s)" );
   Type( window, "x" );
   QTest::keyClick( window.Factor_Edit, Qt::Key_F9 );
   EXPECT_EQ( window.made, 0 );
   EXPECT_EQ( *window.runs, 0 );

   // Ctrl+F9 selects images; Shift or Alt with F5 and F9 do nothing.
   Type( window, "1" );
   dialogs.ExpectResult( "SelectImagesDialog", QDialog::Rejected );
   QTest::keyClick( window.Factor_Edit, Qt::Key_F9, Qt::ControlModifier );
   for ( Qt::KeyboardModifier m : { Qt::ShiftModifier, Qt::AltModifier } )
   {
      QTest::keyClick( window.Factor_Edit, Qt::Key_F5, m );
      QTest::keyClick( window.Factor_Edit, Qt::Key_F9, m );
   }
   EXPECT_EQ( window.made, 0 );

   // Ctrl+Enter is swallowed without committing.
   window.Factor_Edit->setText( "0.75" );
   QTest::keyClick( window.Factor_Edit, Qt::Key_Return, Qt::ControlModifier );
   EXPECT_EQ( window.factor, 1.0f );

   // F9 commits the edit first and applies with the committed value.
   w->mainView->selectingWindows.Add( &window );
   QTest::keyClick( window.Factor_Edit, Qt::Key_F9 );
   EXPECT_EQ( window.factor, 0.75f );
   EXPECT_EQ( First( *w->mainView ), 0.75f );

   // Esc collapses the window into its bar; Ctrl+Esc does not.
   QTest::keyClick( window.Factor_Edit, Qt::Key_Escape, Qt::ControlModifier );
   EXPECT_FALSE( window.IsCollapsed() );
   QTest::keyClick( window.Factor_Edit, Qt::Key_Escape );
   EXPECT_TRUE( window.IsCollapsed() );
   EXPECT_FALSE( window.isVisible() );
}

TEST_F( ProcessingWindowTest, TheFormFitsItsControlsAndTrimsItsCaption )
{
   TScaleWindow window;
   window.resize( 600, 500 );
   window.show();
   // The widest control ends at 8 + 4 * 28 - 4 = 116 and the lowest at 64. The buttons reach the bottom-left
   // corner, so a strip below them holds the handle, where nothing covers it.
   EXPECT_EQ( window.width(), 120 );
   EXPECT_EQ( window.height(), 68 + 18 + 4 );
   EXPECT_EQ( window.windowTitle(), "Scale" );
   ASSERT_NE( window.processDragObject, nullptr );
   EXPECT_EQ( window.processDragObject->geometry(), QRect( 4, 68, 18, 18 ) );
   EXPECT_EQ( window.childAt( window.processDragObject->geometry().center() ), window.processDragObject );
}

// ---- Roll-back after an abort ------------------------------------------------------------------------------------

class AbortTest : public ProcessingWindowTest, public ::testing::WithParamInterface<bool>
{
};

TEST_P( AbortTest, AnAbortOnTheThirdViewAsksOnceWhetherToRollBackTheOthers )
{
   const bool yes = GetParam();
   TImageWindow* w = Make( Ones( 16, 16 ) );
   std::vector<TImageWindow::Preview*> p;
   for ( int i = 0; i < 4; ++i )
      p.push_back( w->CreatePreview( std::string( "P" ).append( std::to_string( i + 1 ) ), 4 * i, 0, 4, 4 ) );
   TScaleWindow window;
   window.abortAtRun = 3;
   for ( int i : { 0, 2, 3 } ) // P2 is not selected
      p[size_t( i )]->selectingWindows.Add( &window );
   NotificationRecorder updates( { "updated" } );

   prompter.Expect( "However, other images/previews were already processed.",
                    yes ? platform::Answer::Yes : platform::Answer::No );
   prompter.Expect( "Process Aborted." );
   window.show();
   Click( window, "Preview_Button" );

   EXPECT_EQ( First( *p[3] ), 1.0f );   // the aborted one is always restored
   EXPECT_EQ( First( *p[1] ), 1.0f );   // never selected, never run
   EXPECT_EQ( First( *p[2] ), yes ? 1.0f : 0.5f );
   EXPECT_EQ( First( *p[0] ), yes ? 1.0f : 0.5f );
   const std::vector<std::string> notified = { "updated:Image01->P3", "updated:Image01->P1" };
   EXPECT_EQ( updates.events, yes ? std::vector<std::string>() : notified );
}

INSTANTIATE_TEST_SUITE_P( YesAndNo, AbortTest, ::testing::Bool() );

TEST_F( ProcessingWindowTest, AnAbortOnTheFirstViewOnlySaysSo )
{
   TImageWindow* w = Make( Ones( 8, 8 ) );
   TImageWindow::Preview* p = w->CreatePreview( "P", 0, 0, 4, 4 );
   TScaleWindow window;
   window.abortAtRun = 1;
   p->selectingWindows.Add( &window );
   prompter.Expect( QRegularExpression( "^Process Aborted.$" ) );
   window.show();
   Click( window, "Preview_Button" );
   EXPECT_EQ( First( *p ), 1.0f );
}

// ---- Notifications -------------------------------------------------------------------------------------------------

// A window that makes another one the first time it hears of a new view.
class Spawner : public NotificationRecorder
{
public:
   void ViewCreated( TImageWindow::View& view ) override
   {
      NotificationRecorder::ViewCreated( view );
      if ( !child )
         child = std::make_unique<NotificationRecorder>();
   }
   std::unique_ptr<NotificationRecorder> child;
};

TEST_F( ProcessingWindowTest, EveryBroadcastReachesEveryWindowInCreationOrder )
{
   TImageWindow* w = Make( Ones( 8, 8 ), "Img" );
   TImageWindow::View& v = *w->mainView;
   NotificationRecorder first;
   Spawner second;
   NotificationRecorder third;

   Scale instance;
   QWidget owner;
   owner.setObjectName( "Owner" );
   NotifyViewCreated( v );
   ASSERT_NE( second.child, nullptr );
   NotifyViewUpdated( v );
   NotifyViewRenamed( v );
   NotifyViewDeleted( v );
   NotifyColorManagementChanged( v );
   NotifyViewSaved( v );
   NotifyMaskChanged( v );
   NotifyMaskEnabled( v );
   NotifyMaskDisabled( v );
   NotifyMaskShown( v );
   NotifyMaskHidden( v );
   NotifyPreviewStored( v );
   NotifyUndoStateChanged( v );
   NotifyHistogramsChanged( v );
   NotifyStatisticsChanged( v );
   NotifyProcessUpdated( instance );
   NotifyBeginReadout( v, 0.1f, 0.2f, 0.3f );
   NotifyUpdateReadout( v, 0.1f, 0.2f, 0.3f );
   NotifyEndReadout( v );
   NotifyRealTimePreviewOwner( &owner );
   NotifyGlobalColorManagementChanged();

   const std::vector<std::string> all = {
      "created:Img",     "updated:Img",      "renamed:Img",  "deleted:Img",    "colormanagement:Img",
      "saved:Img",       "mask:Img",         "maskenabled:Img", "maskdisabled:Img", "maskshown:Img",
      "maskhidden:Img",  "stored:Img",       "undo:Img",     "histograms:Img", "statistics:Img",
      "process:Scale",   "beginreadout:Img", "readout:Img",  "endreadout:Img", "rtpowner:Owner",
      "globalcolormanagement:" };
   EXPECT_EQ( first.events, all );
   EXPECT_EQ( second.events, all );
   EXPECT_EQ( third.events, all );
   // Made during the first broadcast, after the others: told of it too, being last in the list.
   EXPECT_EQ( second.child->events, all );
   EXPECT_EQ( ProcessingWindows.back(), second.child.get() );
}

TEST_F( ProcessingWindowTest, AClosedWindowLeavesNoSelectionBehind )
{
   TImageWindow* w = Make( Ones( 8, 8 ) );
   {
      TScaleWindow window;
      w->mainView->selectingWindows.Add( &window );
      EXPECT_NE( std::find( ProcessingWindows.begin(), ProcessingWindows.end(), &window ), ProcessingWindows.end() );
   }
   EXPECT_TRUE( w->mainView->selectingWindows.IsEmpty() );
   EXPECT_TRUE( ProcessingWindows.empty() );
}

// ---- Dragging instances -----------------------------------------------------------------------------------------

// An envelope that carries one instance of its own, as a process icon does: targets keep clones.
class Carrier : public TProcessEnvelope
{
public:
   Carrier() : TProcessEnvelope( nullptr ) {}
   Process* Instance() override { return &instance; }
   void ReleaseInstance( Process* p ) override { released.push_back( p ); }
   Scale instance{ 1.25f };
   std::vector<Process*> released;
};

TEST_F( ProcessingWindowTest, TheHandleGivesAFreshInstanceAwayAndAnIconOnlyClones )
{
   TScaleWindow window;
   window.factor = 1.5f;
   std::unique_ptr<Process> kept = window.processDragObject->KeepInstance();
   ASSERT_NE( kept, nullptr );
   EXPECT_EQ( static_cast<Scale&>( *kept ).Factor(), 1.5f );
   EXPECT_EQ( window.made, 1 );

   Carrier icon;
   std::unique_ptr<Process> clone = icon.KeepInstance();
   ASSERT_NE( clone, nullptr );
   EXPECT_NE( clone.get(), &icon.instance );
   EXPECT_EQ( static_cast<Scale&>( *clone ).Factor(), 1.25f );
   EXPECT_EQ( icon.released, std::vector<Process*>{ &icon.instance } );
}

TEST_F( ProcessingWindowTest, DraggingTheHandleImportsIntoAWindowOfTheProcessAndRunsOnAnImage )
{
   TImageWindow* image = Make( Ones( 8, 8 ) );
   image->show();
   TScaleWindow source;
   TScaleWindow other;
   NotificationRecorder tool;
   for ( QWidget* w : std::initializer_list<QWidget*>{ &source, &other, &tool } )
      w->show();
   Type( source, "0.25" );

   // The first move with the button down starts the drag; the dragged instance has the committed value.
   drags.ExpectDropOn( &other );
   QTest::mousePress( source.processDragObject, Qt::LeftButton, Qt::NoModifier, QPoint( 5, 5 ) );
   QTest::mouseMove( source.processDragObject, QPoint( 6, 6 ) );
   EXPECT_EQ( source.processDragObject->dragState, 0 );
   EXPECT_EQ( other.factor, 0.25f );
   EXPECT_EQ( *source.runs, 0 );

   // A window of another process, or the source itself, refuses the drop.
   drags.ExpectDropOn( &tool ).ExpectDropOn( &source );
   EXPECT_EQ( source.processDragObject->BeginDrag(), Qt::IgnoreAction );
   EXPECT_EQ( source.processDragObject->BeginDrag(), Qt::IgnoreAction );

   // On an image, the instance runs on the current view.
   drags.ExpectDropOn( image->viewport() );
   EXPECT_NE( source.processDragObject->BeginDrag(), Qt::IgnoreAction );
   EXPECT_EQ( *source.runs, 1 );
   EXPECT_EQ( First( *image->mainView ), 0.25f );
   EXPECT_EQ( image->mainView->History().instances.Length(), 1u );

   // An instance that cannot run on the view is refused there and runs nowhere.
   *source.refuse = true;
   drags.ExpectDropOn( image->viewport() );
   EXPECT_EQ( source.processDragObject->BeginDrag(), Qt::IgnoreAction );
   EXPECT_EQ( *source.runs, 1 );
   EXPECT_EQ( image->mainView->History().instances.Length(), 1u );
}

TEST_F( ProcessingWindowTest, ADropOnAnImageShowingItsAlphaChannelShowsTheCompositeAndRuns )
{
   auto* rgba = new qor::Image( 8, 8, 4, qor::ColorSpace::RGB );
   for ( int32_t c = 0; c < 4; ++c )
      std::fill_n( rgba->PixelData( c ), rgba->NumberOfPixels(), 1.0f );
   TImageWindow* image = Make( rgba );
   image->show();
   image->SetDisplayChannel( 6 ); // after the composite, R, G, B and the two lightness displays: the alpha channel
   ASSERT_EQ( image->CurrentRenderMode(), 3 );
   TScaleWindow source;
   source.show();
   Type( source, "0.5" );

   drags.ExpectDropOn( image->viewport() );
   EXPECT_NE( source.processDragObject->BeginDrag(), Qt::IgnoreAction );
   EXPECT_EQ( image->CurrentRenderMode(), -3 ) << "the RGB composite: the user sees what the drop changes";
   EXPECT_EQ( *source.runs, 1 );
   EXPECT_EQ( First( *image->mainView ), 0.5f );
}

TEST_F( ProcessingWindowTest, ARejectedValueStartsNoDragAndAPressAloneNone )
{
   TScaleWindow source;
   source.show();
   QTest::mousePress( source.processDragObject, Qt::LeftButton, Qt::NoModifier, QPoint( 5, 5 ) );
   QTest::mouseRelease( source.processDragObject, Qt::LeftButton, Qt::NoModifier, QPoint( 5, 5 ) );
   QTest::mousePress( source.processDragObject, Qt::RightButton, Qt::NoModifier, QPoint( 5, 5 ) );
   EXPECT_EQ( source.processDragObject->dragState, 0 );

   prompter.Expect( "Numerical value out of range" );
   Type( source, "9" );
   QTest::mousePress( source.processDragObject, Qt::LeftButton, Qt::NoModifier, QPoint( 5, 5 ) );
   QTest::mouseMove( source.processDragObject, QPoint( 7, 7 ) );
   EXPECT_EQ( source.processDragObject->dragState, 0 );
   EXPECT_EQ( source.made, 0 );
   EXPECT_TRUE( drags.Records().empty() );
}

TEST_F( ProcessingWindowTest, TheDragCursorFollowsTheTarget )
{
   TScaleWindow source;
   TScaleWindow other;
   TProcessEnvelope::DragObject drag( source.processDragObject );
   EXPECT_EQ( drag.DragCursor( true, nullptr ), CursorDrag );
   EXPECT_EQ( drag.DragCursor( true, source.Factor_Edit ), CursorDrag );
   other.show();
   EXPECT_EQ( drag.DragCursor( false, &other ), CursorDragReject );
   EXPECT_EQ( drag.DragCursor( true, &other ), CursorDragCopy );
   EXPECT_EQ( TProcessEnvelope::DragObject::Current(), &drag );
}

// ---- Processing dialogs ------------------------------------------------------------------------------------------

class GlobalCount : public Process
{
public:
   explicit GlobalCount( int* runs ) : runs( runs ) {}
   std::unique_ptr<Process> Clone() const override { return std::make_unique<GlobalCount>( *this ); }
   std::string Id() const override { return "GlobalCount"; }
   bool CanExecuteGlobal() const override { return true; }
   void DoExecuteGlobal() override { ++*runs; }
   int* runs;
};

class TCountDialog : public TProcessingDialog
{
public:
   TCountDialog() : TProcessingDialog( nullptr )
   {
      setObjectName( "CountDialog" );
      Value_Edit = new QLineEdit( this );
      Value_Edit->setObjectName( "Value_Edit" );
      SetEditExitHandler( Value_Edit, [this] {
         try
         {
            value = int( ReadNumberFromEdit( Value_Edit, 0, 10, false ) );
         }
         catch ( const qor::CatchedException& )
         {
            inputError = true;
         }
         WriteIntegerToEdit( Value_Edit, value );
      } );
      OK_Button = new QPushButton( "OK", this );
      OK_Button->setObjectName( "OK_Button" );
      OK_Button->move( 0, 30 );
      auto* cancel = new QPushButton( "Cancel", this );
      cancel->setObjectName( "Cancel_Button" );
      cancel->move( 80, 30 );
   }
   std::unique_ptr<Process> NewInstance() override
   {
      auto p = std::make_unique<GlobalCount>( &runs );
      seenExecuting = executing;
      return p;
   }
   bool CloseAfterApply() const override { return closeAfterApply; }

   QLineEdit* Value_Edit = nullptr;
   QPushButton* OK_Button = nullptr;
   int value = 1;
   int runs = 0;
   bool closeAfterApply = true;
   bool seenExecuting = false;
};

TEST_F( ProcessingWindowTest, ADialogsOKRunsItsProcessGloballyWithoutAnImageAndCloses )
{
   TCountDialog dialog;
   dialog.show();
   dialog.OK_Button->click();
   EXPECT_EQ( dialog.runs, 1 );
   EXPECT_TRUE( dialog.seenExecuting );
   EXPECT_FALSE( dialog.executing );
   EXPECT_FALSE( dialog.isVisible() );

   dialog.closeAfterApply = false;
   dialog.show();
   QTest::keyClick( &dialog, Qt::Key_F9 );
   EXPECT_EQ( dialog.runs, 2 );
   EXPECT_TRUE( dialog.isVisible() );

   // A rejected value stops Enter, F9 and OK; Esc still cancels.
   prompter.Expect( "Numerical value out of range" ).Expect( "Numerical value out of range" );
   dialog.Value_Edit->setFocus();
   dialog.Value_Edit->setText( "11" );
   QTest::keyClick( dialog.Value_Edit, Qt::Key_Return );
   dialog.Value_Edit->setText( "12" );
   dialog.OK_Button->click();
   EXPECT_EQ( dialog.runs, 2 );
   QTest::keyClick( dialog.Value_Edit, Qt::Key_Escape );
   EXPECT_FALSE( dialog.isVisible() );

   // Enter in an accepted edit commits it and then acts as OK; a modal dialog ends with its result.
   dialog.closeAfterApply = true;
   dialogs.Expect( "CountDialog", [&]( QDialog& ) {
      dialog.Value_Edit->setFocus();
      dialog.Value_Edit->setText( "7" );
      QTest::keyClick( dialog.Value_Edit, Qt::Key_Return );
      return int( QDialog::Rejected );
   } );
   EXPECT_EQ( dialog.ShowModal(), QDialog::Accepted );
   EXPECT_EQ( dialog.value, 7 );
   EXPECT_EQ( dialog.runs, 3 );
   EXPECT_FALSE( dialog.modal );
}

// ---- Selection dialogs --------------------------------------------------------------------------------------------

TEST_F( ProcessingWindowTest, TheImagesDialogCountsPixelsAndOnlyOKChangesTheSelection )
{
   Make( Ones( 100, 100 ) );
   Make( Ones( 200, 100 ) );
   Make( Ones( 50, 50 ) );
   TScaleWindow window;
   TSelectImagesDialog& dialog = *window.selectImagesDialog;
   window.setWindowTitle( "Scale" );

   dialogs.Expect( "SelectImagesDialog", [&]( QDialog& ) {
      EXPECT_EQ( dialog.windowTitle(), "Images for: Scale" );
      EXPECT_EQ( dialog.Info_StaticText->text(), "No images selected." );
      dialog.CheckListBox->item( 1 )->setCheckState( Qt::Checked );
      EXPECT_EQ( dialog.Info_StaticText->text(), "1 image(s) selected, 20000 total pixels." );
      dialog.SelectAll_Button->click();
      EXPECT_EQ( dialog.Info_StaticText->text(),
                 "3 image(s) selected, 32500 total pixels.\nEquivalent to a 180 pixels square image." );
      return int( QDialog::Rejected );
   } );
   platform::DialogRunner::exec( dialog );
   for ( TImageWindow::View* v : MainViewList )
      EXPECT_TRUE( v->selectingWindows.IsEmpty() );

   dialogs.Expect( "SelectImagesDialog", CheckRows( { 0, 2 } ) );
   platform::DialogRunner::exec( dialog );
   EXPECT_EQ( MainViewList[0]->selectingWindows.Length(), 1u );
   EXPECT_TRUE( MainViewList[1]->selectingWindows.IsEmpty() );

   // Cleared and confirmed: every occurrence goes.
   MainViewList[0]->selectingWindows.Add( &window );
   dialogs.Expect( "SelectImagesDialog", [&]( QDialog& ) {
      dialog.ClearAll_Button->click();
      return int( QDialog::Accepted );
   } );
   platform::DialogRunner::exec( dialog );
   for ( TImageWindow::View* v : MainViewList )
      EXPECT_TRUE( v->selectingWindows.IsEmpty() );
}

TEST_F( ProcessingWindowTest, ThePreviewsDialogMarksStoredPreviews )
{
   TImageWindow* w = Make( Ones( 32, 32 ) );
   w->CreatePreview( "Zed", 0, 0, 8, 4 );
   TImageWindow::Preview* stored = w->CreatePreview( "Alpha", 0, 0, 5, 5 );
   stored->storedImage = std::make_unique<qor::Image>( 5, 5 );
   TScaleWindow window;
   QStringList seen;
   dialogs.Expect( "SelectPreviewsDialog", CheckRows( {}, &seen ) );
   platform::DialogRunner::exec( *window.selectPreviewsDialog );
   EXPECT_EQ( seen, ( QStringList{ "Image01->Alpha: 5\u00D75, stored", "Image01->Zed: 8\u00D74" } ) );
}

TEST_F( ProcessingWindowTest, TheMaskDialogOffersOnlyImagesThatCanMask )
{
   TImageWindow* target = Make( Ones( 8, 8, 3 ), "Target" );
   Make( Ones( 8, 8 ), "GreyMask" );
   Make( Ones( 8, 8, 3 ), "ColorMask" );
   Make( Ones( 9, 8 ), "Wider" );
   TImageWindow* maskedByTarget = Make( Ones( 8, 8 ), "MaskedByTarget" );
   maskedByTarget->SetMask( target );
   TImageWindow* greyTarget = Make( Ones( 8, 8 ), "GreyTarget" );

   TSelectMaskDialog dialog( nullptr, target );
   dialog.show();
   QStringList items;
   for ( int i = 0; i < dialog.Images_ComboBox->count(); ++i )
      items << dialog.Images_ComboBox->itemText( i );
   EXPECT_EQ( items, ( QStringList{ "<* No mask *>", "GreyMask", "ColorMask", "GreyTarget" } ) );
   dialog.Images_ComboBox->setCurrentIndex( 2 );
   EXPECT_EQ( dialog.maskWindow, windows[2].data() );
   dialog.hide();

   // A colour image cannot mask a grey one.
   TSelectMaskDialog grey( nullptr, greyTarget );
   grey.show();
   EXPECT_EQ( grey.Images_ComboBox->findText( "ColorMask" ), -1 );
   EXPECT_NE( grey.Images_ComboBox->findText( "GreyMask" ), -1 );
}

} // namespace
