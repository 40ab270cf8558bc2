// The scriptable platform services: message boxes, modal dialogs, file pickers and the key tracker.

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QApplication>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>
#include <QWindow>

#include <memory>

#include "TestSupport.h"
#include "classlib/Exception.h"
#include "platform/DialogRunner.h"
#include "platform/FileDialogs.h"
#include "platform/KeyTracker.h"
#include "platform/Prompter.h"
#include "platform/ScriptedPrompter.h"

using platform::Answer;
using platform::Buttons;
using platform::Icon;

namespace
{

TEST( ScriptedPrompterTest, AnswersExpectationsInOrderAndRecordsEveryBox )
{
   platform::ScriptedPrompter p;
   platform::PrompterScope scope( p );
   p.Expect( "Abort process?", Answer::Yes ).Expect( QRegularExpression( "^Undo has been disabled" ), Answer::No );

   EXPECT_EQ( platform::Ask( Icon::Question, "Lumenforge", "Abort process?", Buttons::YesNo, Answer::No ),
              Answer::Yes );
   EXPECT_EQ( platform::Ask( Icon::Warning, "Lumenforge", "Undo has been disabled for this image window.",
                             Buttons::YesNo, Answer::Yes ),
              Answer::No );

   ASSERT_EQ( p.Records().size(), 2u );
   EXPECT_TRUE( p.Records()[0].expected );
   EXPECT_EQ( p.Records()[0].icon, Icon::Question );
   EXPECT_EQ( p.Records()[0].caption, "Lumenforge" );
   EXPECT_EQ( p.Records()[0].buttons, Buttons::YesNo );
   EXPECT_EQ( p.Records()[1].answer, Answer::No );
   EXPECT_EQ( p.PendingCount(), 0u );
   EXPECT_TRUE( p.UnexpectedRecords().empty() );
}

TEST( ScriptedPrompterTest, UnexpectedBoxTakesItsDefaultAndKeepsTheQueue )
{
   platform::ScriptedPrompter p;
   platform::PrompterScope scope( p );
   int reported = 0;
   p.SetUnexpectedHandler( [&reported]( const platform::ScriptedPrompter::Record& ) { ++reported; } );
   platform::ScriptedPrompter::Expectation e;
   e.text = "Out of memory";
   e.caption = "Lumenforge";
   e.icon = Icon::Error;
   p.Expect( e );

   // Wrong text, wrong icon, wrong caption: none consumes the expectation.
   EXPECT_EQ( platform::Ask( Icon::Error, "Lumenforge", "Something else", Buttons::YesNoCancel, Answer::Cancel ),
              Answer::Cancel );
   EXPECT_EQ( platform::Ask( Icon::Warning, "Lumenforge", "Out of memory", Buttons::OkCancel, Answer::Ok ),
              Answer::Ok );
   EXPECT_EQ( platform::Ask( Icon::Error, "Other", "Out of memory", Buttons::YesNo, Answer::No ), Answer::No );
   EXPECT_EQ( reported, 3 );
   EXPECT_EQ( p.PendingCount(), 1u );
   EXPECT_EQ( p.UnexpectedRecords().size(), 3u );

   platform::ShowMessage( Icon::Error, "Lumenforge", "Out of memory" );
   EXPECT_EQ( p.PendingCount(), 0u );
   EXPECT_EQ( reported, 3 );
}

TEST( ScriptedPrompterTest, ScopesRestoreThePreviousPrompter )
{
   platform::Prompter* before = platform::Prompter::Installed();
   {
      platform::ScriptedPrompter outer;
      platform::PrompterScope a( outer );
      {
         platform::ScriptedPrompter inner;
         platform::PrompterScope b( inner );
         EXPECT_EQ( &platform::Prompter::Current(), &inner );
      }
      EXPECT_EQ( &platform::Prompter::Current(), &outer );
   }
   EXPECT_EQ( platform::Prompter::Installed(), before );
}

class ScriptedServicesTest : public test::ScriptedUiTest
{
};

TEST_F( ScriptedServicesTest, ExceptionShowEndsInAWarningBox )
{
   prompter.Expect( "went wrong" );
   qor::GenericException( "Something went wrong" ).Show();
   ASSERT_EQ( prompter.Records().size(), 1u );
   EXPECT_EQ( prompter.Records()[0].icon, Icon::Warning );
   EXPECT_EQ( prompter.Records()[0].buttons, Buttons::Ok );
   EXPECT_EQ( prompter.Records()[0].caption, "QOR Exception" );
   EXPECT_EQ( prompter.Records()[0].text, "Something went wrong" );
}

// A small dialog with named controls, in the way the program's dialogs are built.
class NameDialog : public QDialog
{
public:
   NameDialog()
   {
      setObjectName( "NameDialog" );
      setWindowTitle( "Identifier" );
      auto* layout = new QVBoxLayout( this );
      Name_Edit = new QLineEdit( this );
      Name_Edit->setObjectName( "Name_Edit" );
      Keep_CheckBox = new QCheckBox( "Keep", this );
      Keep_CheckBox->setObjectName( "Keep_CheckBox" );
      OK_Button = new QPushButton( "OK", this );
      OK_Button->setObjectName( "OK_Button" );
      layout->addWidget( Name_Edit );
      layout->addWidget( Keep_CheckBox );
      layout->addWidget( OK_Button );
      connect( OK_Button, &QPushButton::clicked, this, &QDialog::accept );
   }

   void accept() override
   {
      // Refuses an empty name, as the program's dialogs validate before closing.
      if ( !Name_Edit->text().isEmpty() )
         QDialog::accept();
   }

   bool shownBeforeHandler = false;
   QLineEdit* Name_Edit;
   QCheckBox* Keep_CheckBox;
   QPushButton* OK_Button;

protected:
   void showEvent( QShowEvent* e ) override
   {
      Name_Edit->setText( "Image01" );
      QDialog::showEvent( e );
   }
};

TEST_F( ScriptedServicesTest, DialogHandlerFillsTheLiveDialogByName )
{
   dialogs.Expect( "NameDialog", []( QDialog& d ) {
      auto* edit = d.findChild<QLineEdit*>( "Name_Edit" );
      EXPECT_EQ( edit->text(), "Image01" ); // the show event has run
      edit->setText( "M31" );
      d.findChild<QCheckBox*>( "Keep_CheckBox" )->setChecked( true );
      return static_cast<int>( QDialog::Accepted );
   } );
   NameDialog d;
   EXPECT_EQ( platform::DialogRunner::exec( d ), QDialog::Accepted );
   EXPECT_FALSE( d.isVisible() );
   EXPECT_EQ( d.Name_Edit->text(), "M31" );
   EXPECT_TRUE( d.Keep_CheckBox->isChecked() );
}

TEST_F( ScriptedServicesTest, DialogClosedByItsOwnButtonReportsItsOwnResult )
{
   // The handler clicks OK: the dialog's own accept() decides. With an empty name it refuses to close, so the
   // runner closes it with the handler's answer.
   dialogs.Expect( "NameDialog", []( QDialog& d ) {
      QTest::mouseClick( d.findChild<QPushButton*>( "OK_Button" ), Qt::LeftButton );
      return 7;
   } );
   dialogs.Expect( "", []( QDialog& d ) {
      d.findChild<QLineEdit*>( "Name_Edit" )->clear();
      QTest::mouseClick( d.findChild<QPushButton*>( "OK_Button" ), Qt::LeftButton );
      EXPECT_TRUE( d.isVisible() );
      return static_cast<int>( QDialog::Rejected );
   } );
   NameDialog a;
   EXPECT_EQ( platform::DialogRunner::exec( a ), QDialog::Accepted );
   NameDialog b;
   EXPECT_EQ( platform::DialogRunner::exec( b ), QDialog::Rejected );
   EXPECT_FALSE( b.isVisible() );
}

TEST( ScriptedDialogRunnerTest, UnexpectedDialogIsRejectedUnshown )
{
   platform::ScriptedDialogRunner runner;
   platform::DialogRunnerScope scope( runner );
   runner.ExpectResult( "OtherDialog", QDialog::Accepted );
   NameDialog d;
   EXPECT_EQ( platform::DialogRunner::exec( d ), QDialog::Rejected );
   EXPECT_FALSE( d.isVisible() );
   ASSERT_EQ( runner.UnexpectedRecords().size(), 1u );
   EXPECT_EQ( runner.UnexpectedRecords()[0].objectName, "NameDialog" );
   EXPECT_EQ( runner.PendingCount(), 1u );
}

TEST_F( ScriptedServicesTest, FilePickersAnswerFromTheScript )
{
   using Kind = platform::FileDialogs::Kind;
   files.Expect( Kind::SaveFile, { "/tmp/a.fit" }, "FITS (*.fit)" )
      .ExpectCancel( Kind::OpenFile )
      .Expect( Kind::OpenFiles, { "/tmp/a.tif", "/tmp/b.tif" } )
      .Expect( Kind::Directory, []( const platform::FileDialogs::Request& r ) {
         EXPECT_EQ( r.caption, "Swap folder" );
         return platform::FileDialogs::Choice{ { r.directory + "/swap" }, {} };
      } );

   QString filter = "TIFF (*.tif)";
   EXPECT_EQ( platform::FileDialogs::getSaveFileName( nullptr, "Save", "/tmp", "TIFF (*.tif);;FITS (*.fit)",
                                                      &filter ),
              "/tmp/a.fit" );
   EXPECT_EQ( filter, "FITS (*.fit)" );
   EXPECT_EQ( platform::FileDialogs::getOpenFileName( nullptr, "Open" ), QString() );
   EXPECT_EQ( platform::FileDialogs::getOpenFileNames( nullptr, "Open" ),
              QStringList( { "/tmp/a.tif", "/tmp/b.tif" } ) );
   EXPECT_EQ( platform::FileDialogs::getExistingDirectory( nullptr, "Swap folder", "/var" ), "/var/swap" );
   EXPECT_EQ( files.Records().size(), 4u );
   EXPECT_EQ( files.Records()[0].request.filter, "TIFF (*.tif);;FITS (*.fit)" );
}

TEST( ScriptedFileDialogsTest, PickerOfAnotherKindIsUnexpectedAndCancelled )
{
   using Kind = platform::FileDialogs::Kind;
   platform::ScriptedFileDialogs files;
   platform::FileDialogsScope scope( files );
   files.Expect( Kind::OpenFile, { "/tmp/x.jpg" } );
   EXPECT_EQ( platform::FileDialogs::getSaveFileName( nullptr, "Save" ), QString() );
   EXPECT_EQ( files.UnexpectedRecords().size(), 1u );
   EXPECT_EQ( platform::FileDialogs::getOpenFileName( nullptr, "Open" ), "/tmp/x.jpg" );
}

TEST_F( ScriptedServicesTest, KeyTrackerFollowsRealKeyEventsAndTestDriving )
{
   platform::KeyTracker& keys = platform::KeyTracker::Instance();
   QLineEdit edit;
   edit.show();
   edit.setFocus();

   QTest::keyPress( &edit, Qt::Key_Space );
   QTest::keyPress( &edit, Qt::Key_Shift );
   EXPECT_TRUE( keys.IsKeyDown( Qt::Key_Space ) );
   EXPECT_TRUE( keys.IsShiftDown() );
   EXPECT_EQ( keys.Modifiers(), Qt::ShiftModifier );
   QTest::keyRelease( &edit, Qt::Key_Space );
   EXPECT_FALSE( keys.IsKeyDown( Qt::Key_Space ) );
   EXPECT_TRUE( keys.IsShiftDown() );
   QTest::keyRelease( &edit, Qt::Key_Shift );
   EXPECT_FALSE( keys.IsShiftDown() );

   // Keypad Enter and Return are one key.
   QTest::keyPress( &edit, Qt::Key_Enter );
   EXPECT_TRUE( keys.IsKeyDown( Qt::Key_Return ) );
   QTest::keyRelease( &edit, Qt::Key_Enter );

   keys.Press( Qt::Key_F9 );
   keys.Press( Qt::Key_Control );
   keys.Press( Qt::Key_Alt );
   EXPECT_TRUE( keys.IsKeyDown( Qt::Key_F9 ) );
   EXPECT_EQ( keys.Modifiers(), Qt::ControlModifier | Qt::AltModifier );
   keys.Release( Qt::Key_F9 );
   EXPECT_FALSE( keys.IsKeyDown( Qt::Key_F9 ) );
   keys.ReleaseAll();
   EXPECT_FALSE( keys.IsControlDown() );
   EXPECT_FALSE( keys.IsAltDown() );
}

} // namespace

namespace
{

TEST( ExpectNothingServicesTest, StrayBoxOrDialogFailsTheTestInsteadOfBlocking )
{
   EXPECT_NONFATAL_FAILURE( platform::ShowMessage( Icon::Error, "Lumenforge", "stray box" ),
                            "Unexpected message box" );
   EXPECT_NONFATAL_FAILURE( platform::FileDialogs::getOpenFileName( nullptr, "Open" ), "Unexpected file picker" );
}

} // namespace

// ---- Modal windows above every window of the program ---------------------------------------------------------------

namespace
{

// A tool window that floats above the program's others, like a processing window or the extraction dialog.
std::unique_ptr<QWidget> PinnedToolWindow()
{
   auto pinned = std::make_unique<QWidget>( nullptr, Qt::Tool | Qt::WindowStaysOnTopHint );
   pinned->setObjectName( "Pinned" );
   pinned->resize( 200, 100 );
   pinned->show();
   pinned->activateWindow();
   (void)QTest::qWaitForWindowActive( pinned.get(), 1000 );
   return pinned;
}

} // namespace

TEST_F( ScriptedServicesTest, AModalDialogComesUpAboveAStayOnTopWindowWhoeverOpensIt )
{
   std::unique_ptr<QWidget> pinned = PinnedToolWindow();
   QDialog dialog; // opened without a parent, as the format option dialogs are
   dialog.setObjectName( "FITSOptionsDialog" );
   bool layered = false;
   QWindow* transient = nullptr;
   dialogs.Expect( "FITSOptionsDialog",
                   [&]( QDialog& d )
                   {
                      layered = d.windowFlags().testFlag( Qt::WindowStaysOnTopHint );
                      transient = d.windowHandle() != nullptr ? d.windowHandle()->transientParent() : nullptr;
                      return QDialog::Accepted;
                   } );
   EXPECT_EQ( QDialog::Accepted, platform::DialogRunner::exec( dialog ) );
   // In the stay-on-top layer, over the pinned window, while shown; its own style back afterwards.
   EXPECT_TRUE( layered );
   EXPECT_EQ( pinned->windowHandle(), transient );
   EXPECT_FALSE( dialog.windowFlags().testFlag( Qt::WindowStaysOnTopHint ) );

   // Without a stay-on-top window nothing changes the dialog's layer.
   pinned->hide();
   dialogs.Expect( "FITSOptionsDialog",
                   [&]( QDialog& d )
                   {
                      layered = d.windowFlags().testFlag( Qt::WindowStaysOnTopHint );
                      return QDialog::Accepted;
                   } );
   platform::DialogRunner::exec( dialog );
   EXPECT_FALSE( layered );
}

TEST_F( ScriptedServicesTest, AFilePickerOpensOverTheModalWindowOnTop )
{
   std::unique_ptr<QWidget> pinned = PinnedToolWindow();
   QDialog report; // a modal report whose Save asks for a file without naming a parent
   report.setObjectName( "ProcessingReportDialog" );
   report.setModal( true );
   QWidget* parent = nullptr;
   files.Expect( platform::FileDialogs::Kind::SaveFile,
                 [&]( const platform::FileDialogs::Request& r )
                 {
                    parent = r.parent;
                    return platform::FileDialogs::Choice{};
                 } );
   dialogs.Expect( "ProcessingReportDialog",
                   []( QDialog& )
                   {
                      platform::FileDialogs::getSaveFileName( nullptr, "Save Report", "", "Text Files (*.txt)" );
                      return QDialog::Rejected;
                   } );
   platform::DialogRunner::exec( report );
   EXPECT_EQ( &report, parent );
   // Outside any modal window, the pinned window is on top.
   EXPECT_EQ( pinned.get(), platform::TopmostWindow() );
}

TEST( MessageBoxTest, ABoxIsWideEnoughForItsWholeCaption )
{
   const QString caption = "Corvanta Lumenforge 1.0.0";
   QFont title = QApplication::font();
   title.setBold( true );
   const int captionWidth = QFontMetrics( title ).horizontalAdvance( caption );
   QMessageBox plain;
   plain.setWindowTitle( caption );
   plain.setText( "Abort process?" );
   plain.show();
   QMessageBox widened;
   widened.setWindowTitle( caption );
   widened.setText( "Abort process?" );
   platform::WidenForCaption( widened );
   widened.show();
   // Room for the caption and a title bar's buttons, which the box alone does not leave.
   EXPECT_GE( widened.width(), captionWidth + 160 );
   EXPECT_LT( plain.width(), widened.width() );
}
