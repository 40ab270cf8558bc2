// The readout options menu of the main window and the readout panels an image window fills as the mouse moves.

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QTest>
#include <QToolBar>
#include <QToolButton>

#include <memory>

#include "MainWindowTestSupport.h"
#include "TestSupport.h"
#include "classlib/Image.h"
#include "process/Preferences.h"
#include "windows/image/ImageWindow.h"
#include "windows/main/MainWindow.h"

namespace
{

class ReadoutPanelsTest : public test::ScriptedUiTest
{
protected:
   void SetUp() override
   {
      test::ScriptedUiTest::SetUp();
      savedPreferences = CurrentPreferences;
      SetImageWindowMode( 0 );
   }

   void TearDown() override
   {
      test::DiscardAllImageWindows();
      window.reset();
      CurrentPreferences = savedPreferences;
      SetImageWindowMode( 0 );
      test::ScriptedUiTest::TearDown();
   }

   TMainWindow& Create()
   {
      window = std::make_unique<TMainWindow>();
      window->show();
      EXPECT_TRUE( QTest::qWaitForWindowExposed( window.get() ) );
      return *window;
   }

   QAction* Action( const char* name ) const { return window->findChild<QAction*>( name ); }

   std::unique_ptr<TMainWindow> window;
   GlobalPreferences savedPreferences;
};

TEST_F( ReadoutPanelsTest, TheReadoutMenuSetsOnlyItsOwnFieldsAndShowsTheRecordAsCheckMarks )
{
   TMainWindow& w = Create();
   ASSERT_EQ( w.ReadoutActions().size(), 34u );
   QToolButton* button = w.findChild<QToolButton*>( "ReadoutOptions_ToolButton" );
   ASSERT_NE( button, nullptr );
   EXPECT_EQ( button->toolTip(), "Readout Options" );
   EXPECT_EQ( button->menu(), w.ReadoutOptions_PopupMenu );
   EXPECT_EQ( Action( "ReadoutRange8bit_Action" )->text(), "8-bit (256 values)" );
   EXPECT_EQ( Action( "ReadoutRange8bit_Action" )->iconText(), "8-bit (256)" );

   // A precision switches to real values and leaves the range; a range switches back and keeps the precision.
   w.readoutOptions.real = false;
   w.readoutOptions.maxValue = 65535;
   Action( "ReadoutPrecision6_Action" )->trigger();
   EXPECT_TRUE( w.readoutOptions.real );
   EXPECT_EQ( w.readoutOptions.precision, 6 );
   EXPECT_EQ( w.readoutOptions.maxValue, 65535u );
   Action( "ReadoutRange32bit_Action" )->trigger();
   EXPECT_FALSE( w.readoutOptions.real );
   EXPECT_EQ( w.readoutOptions.maxValue, 4294967295u );
   EXPECT_EQ( w.readoutOptions.precision, 6 );
   w.ApplicationEvents1Idle();
   EXPECT_TRUE( Action( "ReadoutRange32bit_Action" )->isChecked() );
   EXPECT_FALSE( Action( "ReadoutPrecision6_Action" )->isChecked() );
   EXPECT_TRUE( Action( "ReadoutInteger_Action" )->isChecked() );

   // Single pixel greys the mode actions out; the mode stays and stays checked.
   EXPECT_FALSE( Action( "ReadoutModeMedian_Action" )->isEnabled() );
   Action( "ReadoutProbeSize3x3_Action" )->trigger();
   w.ApplicationEvents1Idle();
   Action( "ReadoutModeMedian_Action" )->trigger();
   Action( "ReadoutProbeSize1x1_Action" )->trigger();
   Action( "ReadoutDataCIELch_Action" )->trigger();
   w.ApplicationEvents1Idle();
   EXPECT_EQ( w.readoutOptions.mode, 1 );
   EXPECT_EQ( w.readoutOptions.data, 5 );
   EXPECT_FALSE( Action( "ReadoutModeMedian_Action" )->isEnabled() );
   EXPECT_TRUE( Action( "ReadoutModeMedian_Action" )->isChecked() );
   EXPECT_FALSE( Action( "ReadoutModeMean_Action" )->isChecked() );
   Action( "ReadoutProbeSize9x9_Action" )->trigger();
   w.ApplicationEvents1Idle();
   EXPECT_EQ( w.readoutOptions.probeSize, 9 );
   EXPECT_TRUE( Action( "ReadoutModeMedian_Action" )->isEnabled() );

   // A range no action offers leaves every range unchecked.
   w.readoutOptions.maxValue = 1023;
   w.ApplicationEvents1Idle();
   for ( const char* name : { "ReadoutRange8bit_Action", "ReadoutRange12bit_Action", "ReadoutRange16bit_Action",
                              "ReadoutRange32bit_Action", "ReadoutRange100_Action", "ReadoutRange1000_Action",
                              "ReadoutRange10000_Action", "ReadoutRange100000_Action" } )
      EXPECT_FALSE( Action( name )->isChecked() ) << name;

   // Without an image window an action clears the readout panel.
   w.Readout_Panel->setText( " R:1" );
   Action( "ReadoutDataHSV_Action" )->trigger();
   EXPECT_TRUE( w.Readout_Panel->text().isEmpty() );
}

TEST_F( ReadoutPanelsTest, MovingTheMouseOverAnImageFillsThePanelsAndTheSwatches )
{
   TMainWindow& w = Create();
   auto* image = new qor::Image( 100, 80, 3, 1 );
   image->Pixel( 10, 20, 0 ) = 1.0f;
   image->Pixel( 10, 20, 1 ) = 0.5f;
   image->Pixel( 10, 20, 2 ) = 0.0f;
   TImageWindow* iw = CreateImageWindow( nullptr, image, "M42" );
   iw->SubWindow()->resize( 400, 300 );
   iw->SetZoomAndCenter( 0, 0, 2 );
   w.ColorSamples_ToolBar->show();
   const QPoint pixel( iw->imageOffsetX + 2 * 10 + 1 - iw->ScrollX(), iw->imageOffsetY + 2 * 20 + 1 - iw->ScrollY() );

   QTest::mouseMove( iw->viewport(), pixel );
   EXPECT_EQ( w.Position_Panel->text(), " x:10.50 \u00B7 y:20.50" );
   EXPECT_EQ( w.Readout_Panel->text(), " R:1.0000 \u00B7 G:0.5000 \u00B7 B:0.0000" );
   EXPECT_EQ( w.R_Panel->palette().color( QPalette::Window ), QColor( 255, 0, 0 ) );
   EXPECT_EQ( w.G_Panel->palette().color( QPalette::Window ), QColor( 0, 128, 0 ) );
   EXPECT_EQ( w.RGB_Panel->palette().color( QPalette::Window ), QColor( 255, 128, 0 ) );

   // A change of the options shows at once at the same point.
   QCursor::setPos( iw->viewport()->mapToGlobal( pixel ) );
   w.findChild<QAction*>( "ReadoutRange8bit_Action" )->trigger();
   EXPECT_EQ( w.Readout_Panel->text(), " R:255 \u00B7 G:128 \u00B7 B:0" );

   // Off the image: the readout empties, the swatches grey, the position keeps moving with the pointer.
   QTest::mouseMove( iw->viewport(), QPoint( iw->imageOffsetX - iw->ScrollX() - 1, pixel.y() ) );
   EXPECT_TRUE( w.Readout_Panel->text().isEmpty() );
   EXPECT_EQ( w.RGB_Panel->palette().color( QPalette::Window ),
              w.ColorSamples_ToolBar->palette().color( QPalette::Button ) );

   // The information panel follows the active window at idle time.
   w.Desktop()->setActiveSubWindow( iw->SubWindow() );
   w.ApplicationEvents1Idle();
   EXPECT_TRUE( w.Info_Panel->text().startsWith( " w:100 \u00B7 h:80 \u00B7 RGB(global)" ) ) << w.Info_Panel->text().toStdString();
}

} // namespace
