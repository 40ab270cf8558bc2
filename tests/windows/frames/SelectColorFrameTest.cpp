// The colour selection frame on a process interface: its edits, track bars, grey mode, presets and colour picker,
// what each stores and shows, and that every change of the user's is reported once.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QRegularExpression>
#include <QSlider>
#include <QTest>
#include <QToolButton>
#include <QVBoxLayout>

#include <array>
#include <memory>

#include "TestSupport.h"
#include "support/Utils.h"
#include "windows/frames/SelectColorFrame.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ProcessingInterface.h"

namespace
{

class Host : public TProcessingInterface
{
public:
   Host() : TProcessingInterface( nullptr )
   {
      frame = new TSelectColor_Frame( this );
      auto* layout = new QVBoxLayout( this );
      layout->addWidget( frame );
   }
   std::unique_ptr<Process> NewInstance() override { return nullptr; }

   TSelectColor_Frame* frame;
};

class SelectColorFrameTest : public test::ScriptedUiTest
{
protected:
   void SetUp() override
   {
      test::ScriptedUiTest::SetUp();
      host = std::make_unique<Host>();
      frame = host->frame;
      QObject::connect( frame, &TSelectColor_Frame::ColorChanged,
                        [this]( TSelectColor_Frame* sender )
                        {
                           EXPECT_EQ( sender, frame );
                           ++changes;
                        } );
   }

   void SetColor( float r, float g, float b )
   {
      frame->color = { r, g, b };
      frame->UpdateControls();
   }

   // Types the text into the edit and presses Enter, which commits it.
   static void Enter( QLineEdit* edit, const QString& text )
   {
      edit->setText( text );
      QTest::keyClick( edit, Qt::Key_Return );
   }

   QStringList EditTexts() const { return { frame->R_Edit->text(), frame->G_Edit->text(), frame->B_Edit->text() }; }

   std::unique_ptr<Host> host;
   TSelectColor_Frame* frame = nullptr;
   int changes = 0;
};

using Color = std::array<float, 3>;

} // namespace

TEST_F( SelectColorFrameTest, ItStartsBlackInColourMode )
{
   EXPECT_EQ( frame->color, ( Color{ 0, 0, 0 } ) );
   EXPECT_FALSE( frame->grayOnly );
   EXPECT_EQ( EditTexts(), ( QStringList{ "0.0000", "0.0000", "0.0000" } ) );
   EXPECT_EQ( frame->G_Label->text(), "G:" );
   EXPECT_EQ( frame->R_TrackBar->maximum(), 100 );
   EXPECT_EQ( frame->R_TrackBar->tickInterval(), 10 );
   EXPECT_EQ( frame->SampleColor(), QColor( 0, 0, 0 ) );
   EXPECT_EQ( frame->ColorSample_Panel->palette().color( QPalette::Window ), QColor( 0, 0, 0 ) );
}

TEST_F( SelectColorFrameTest, AnEditStoresWhatItReadsAndRejectsTextsOutOfRange )
{
   Enter( frame->G_Edit, "0.12345" );
   EXPECT_EQ( frame->color, ( Color{ 0, 0.12345f, 0 } ) );
   EXPECT_EQ( frame->G_Edit->text(), "0.1235" );
   EXPECT_EQ( frame->G_TrackBar->value(), 12 ); // the channel keeps its decimals all the same
   EXPECT_EQ( frame->SampleColor(), QColor( 0, 31, 0 ) );
   EXPECT_EQ( changes, 1 );

   // The same value again changes nothing and tidies the text.
   Enter( frame->G_Edit, " 0.123450 " );
   EXPECT_EQ( frame->G_Edit->text(), "0.1235" );
   EXPECT_EQ( changes, 1 );

   struct Case
   {
      QString typed;
      QString message;
   };
   for ( const Case& c : { Case{ "1.5", "Numerical value out of range: 1.5\nValid range is: 0 to 1" },
                           Case{ "-0.1", "Numerical value out of range: -0.1\nValid range is: 0 to 1" },
                           Case{ "0,5", "Invalid character(s) in numeric literal." } } )
   {
      SCOPED_TRACE( c.typed.toStdString() );
      prompter.Expect( QRegularExpression( "^" + QRegularExpression::escape( c.message ) + "$" ) );
      host->inputError = false;
      Enter( frame->G_Edit, c.typed );
      EXPECT_TRUE( host->inputError );
      EXPECT_EQ( frame->color, ( Color{ 0, 0.12345f, 0 } ) );
      EXPECT_EQ( frame->G_Edit->text(), "0.1235" );
   }
   EXPECT_EQ( changes, 1 );
}

TEST_F( SelectColorFrameTest, ATrackBarStoresTwoDecimals )
{
   SetColor( 0.5f, 0.5f, 0.5f );
   frame->B_TrackBar->setValue( 37 );
   EXPECT_EQ( frame->color, ( Color{ 0.5f, 0.5f, 0.37f } ) );
   EXPECT_EQ( frame->B_Edit->text(), "0.3700" );
   EXPECT_EQ( changes, 1 );
   frame->B_TrackBar->setValue( 37 );
   EXPECT_EQ( changes, 1 );
}

TEST_F( SelectColorFrameTest, GrayModeCopiesRedAndDisablesGreenAndBlue )
{
   SetColor( 0.25f, 0.5f, 0.75f );
   frame->Gray_CheckBox->click();
   EXPECT_EQ( frame->color, ( Color{ 0.25f, 0.25f, 0.25f } ) );
   EXPECT_EQ( changes, 1 );
   EXPECT_EQ( EditTexts(), ( QStringList{ "0.2500", "0.2500", "0.2500" } ) );
   EXPECT_EQ( ( QStringList{ frame->R_Label->text(), frame->G_Label->text(), frame->B_Label->text() } ),
              ( QStringList{ "K:", "", "" } ) );
   for ( QWidget* w : std::initializer_list<QWidget*>{ frame->G_Label, frame->G_Edit, frame->G_TrackBar,
                                                       frame->B_Label, frame->B_Edit, frame->B_TrackBar } )
      EXPECT_FALSE( w->isEnabled() ) << w->objectName().toStdString();

   // K sets all three.
   Enter( frame->R_Edit, "0.6" );
   EXPECT_EQ( frame->color, ( Color{ 0.6f, 0.6f, 0.6f } ) );

   // Back in colour mode the grey stays.
   frame->Gray_CheckBox->click();
   EXPECT_EQ( frame->color, ( Color{ 0.6f, 0.6f, 0.6f } ) );
   EXPECT_EQ( frame->B_Label->text(), "B:" );
   EXPECT_TRUE( frame->B_Edit->isEnabled() );
   EXPECT_EQ( changes, 3 );

   // A form that wants grey only forces grey mode and takes the box away.
   frame->grayOnly = true;
   SetColor( 0.1f, 0.2f, 0.3f );
   EXPECT_FALSE( frame->Gray_CheckBox->isEnabled() );
   EXPECT_FALSE( frame->G_Edit->isEnabled() );
   EXPECT_EQ( frame->color, ( Color{ 0.1f, 0.1f, 0.1f } ) );
   EXPECT_EQ( changes, 3 ); // the form's own updates are not reported
}

TEST_F( SelectColorFrameTest, PresetsSetAllThreeChannels )
{
   struct Case
   {
      QToolButton* button;
      QString text;
      float level;
   };
   const Case cases[] = {
       { frame->_1_SpeedButton, "1.0", 1.0f },
       { frame->_05_SpeedButton, "0.5", 0.5f },
       { frame->_033_SpeedButton, "0.33", 0.33333334f }, // the float nearest one third
       { frame->_025_SpeedButton, "0.25", 0.25f },
       { frame->_0_SpeedButton, "0.0", 0.0f },
   };
   SetColor( 0.1f, 0.2f, 0.3f );
   int n = 0;
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.text.toStdString() );
      EXPECT_EQ( c.button->text(), c.text );
      c.button->click();
      EXPECT_EQ( frame->color, ( Color{ c.level, c.level, c.level } ) );
      EXPECT_EQ( changes, ++n );
   }
}

TEST_F( SelectColorFrameTest, TheSamplePatchOpensThePickerAtTheSampleColour )
{
   SetColor( 0.5f, 0.25f, 1.0f );
   EXPECT_EQ( frame->ColorSample_Panel->palette().color( QPalette::Window ), QColor( 128, 64, 255 ) );
   colors.Expect(
       []( const QColor& initial )
       {
          EXPECT_EQ( initial, QColor( 128, 64, 255 ) );
          return QColor( 255, 128, 0 );
       } );
   QTest::mouseClick( frame->ColorSample_Panel, Qt::LeftButton );
   EXPECT_EQ( frame->color, ( Color{ 1.0f, 128 / 255.0f, 0.0f } ) );
   EXPECT_EQ( frame->ColorSample_Panel->palette().color( QPalette::Window ), QColor( 255, 128, 0 ) );
   EXPECT_EQ( EditTexts(), ( QStringList{ "1.0000", "0.5020", "0.0000" } ) );
   EXPECT_EQ( changes, 1 );

   colors.ExpectCancel();
   QTest::mouseClick( frame->ColorSample_Panel, Qt::LeftButton );
   EXPECT_EQ( frame->color, ( Color{ 1.0f, 128 / 255.0f, 0.0f } ) );
   EXPECT_EQ( changes, 1 );
}

// The track bars never keep the focus: the edit of their channel takes it, so that typing goes there.
TEST_F( SelectColorFrameTest, DraggingATrackBarLeavesTheFocusInItsEdit )
{
   host->show();
   host->activateWindow();
   ASSERT_TRUE( QTest::qWaitForWindowActive( host.get() ) );
   frame->R_Edit->setFocus();
   QSlider* g = frame->G_TrackBar;
   const int y = g->height() / 2;
   QTest::mousePress( g, Qt::LeftButton, Qt::NoModifier, QPoint( 3, y ) ); // on the handle, at 0
   EXPECT_TRUE( frame->G_Edit->hasFocus() );
   QTest::mouseMove( g, QPoint( g->width() / 2, y ) );
   QTest::mouseRelease( g, Qt::LeftButton, Qt::NoModifier, QPoint( g->width() / 2, y ) );
   EXPECT_TRUE( frame->G_Edit->hasFocus() );
   EXPECT_GT( frame->color[1], 0.3f );
   EXPECT_EQ( frame->G_Edit->text().toStdString(), FormatReal( frame->color[1], 4 ) );
   EXPECT_GE( changes, 1 );
}

TEST_F( SelectColorFrameTest, NothingIsReportedWhileAWindowFillsItsControls )
{
   TMainWindow mainWindow;
   {
      TMainWindow::ControlUpdateGuard guard;
      frame->R_TrackBar->setValue( 50 );
      frame->Gray_CheckBox->click();
   }
   EXPECT_EQ( frame->color, ( Color{ 0, 0, 0 } ) );
   EXPECT_EQ( changes, 0 );
}
