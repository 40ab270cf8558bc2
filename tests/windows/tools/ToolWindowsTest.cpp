// The memory watch, the monitor brightness patterns, the about box, the presentation window and the start-up
// benchmark.

#include <gtest/gtest.h>

#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QTabWidget>
#include <QTest>

#include <chrono>
#include <cmath>

#include "TestSupport.h"
#include "windows/dialogs/AboutDialog.h"
#include "windows/frames/SplashFrame.h"
#include "windows/main/PresentationWindow.h"
#include "windows/main/SystemPerformance.h"
#include "support/Utils.h"
#include "windows/tools/AdjustMonitorBrightnessWindow.h"
#include "windows/tools/MemoryWatchWindow.h"

namespace
{

QColor LampOf( const QLabel* lamp )
{
   return lamp->palette().color( QPalette::Window );
}

class ToolWindowsTest : public test::ScriptedUiTest
{
};

} // namespace

TEST_F( ToolWindowsTest, MemoryWatchShowsMegabytesPercentagesAndLamps )
{
   TMemoryWatchWindow w;
   MemoryStatus status;
   status.totalPhysical = 536870912;
   status.availablePhysical = 134217728;
   status.totalPaged = 1000;
   status.availablePaged = 49; // 4.9 %
   w.UpdateMemoryStatus( status );
   EXPECT_EQ( "512.000", w.TotalPhysical_Panel->text() );
   EXPECT_EQ( "128.000 (25.0%)", w.FreePhysical_Panel->text() );
   EXPECT_EQ( QColor( 0, 255, 0 ), LampOf( w.PhysicalStatus_Panel ) );
   EXPECT_EQ( QColor( 255, 0, 0 ), LampOf( w.PagedStatus_Panel ) );

   // The thresholds: 5 % is yellow, 15 % green; a machine without swap space gets no lamp and no division by 0.
   EXPECT_EQ( QColor( 255, 255, 0 ), TMemoryWatchWindow::LampColor( 5.0 ) );
   EXPECT_EQ( QColor( 255, 255, 0 ), TMemoryWatchWindow::LampColor( 14.9 ) );
   EXPECT_EQ( QColor( 0, 255, 0 ), TMemoryWatchWindow::LampColor( 15.0 ) );
   status.totalPaged = status.availablePaged = 0;
   w.UpdateMemoryStatus( status );
   EXPECT_EQ( "0.000", w.FreePaged_Panel->text() );
   EXPECT_EQ( QColor( Qt::black ), LampOf( w.PagedStatus_Panel ) );

   // Opening empties the panels and darkens the lamps until the first tick, a second later.
   w.show();
   EXPECT_TRUE( w.TotalPhysical_Panel->text().isEmpty() );
   EXPECT_EQ( QColor( Qt::black ), LampOf( w.PhysicalStatus_Panel ) );
   EXPECT_TRUE( w.Timer->isActive() );
   EXPECT_EQ( 1000, w.Timer->interval() );
   w.hide();
   EXPECT_FALSE( w.Timer->isActive() );
}

TEST_F( ToolWindowsTest, MemoryStatusIsReadBeyondFourGigabytes )
{
   const auto status = MemoryStatus::FromMeminfo( "MemTotal:       32765432 kB\nMemFree:  100 kB\n"
                                                  "MemAvailable:   16000000 kB\nSwapTotal: 8388604 kB\n"
                                                  "SwapFree:        8388604 kB\n" );
   ASSERT_TRUE( status.has_value() );
   EXPECT_EQ( 32765432ull * 1024, status->totalPhysical );
   EXPECT_EQ( 16000000ull * 1024, status->availablePhysical );
   EXPECT_EQ( 8388604ull * 1024, status->availablePaged );
   EXPECT_FALSE( MemoryStatus::FromMeminfo( "garbage" ).has_value() );
}

TEST_F( ToolWindowsTest, BrightnessPatternsPaintTheirLevels )
{
   // The window opens at its design size, not shrunk around patterns that have no size of their own.
   TAdjustMonitorBrightnessWindow window;
   ShowForm( &window );
   EXPECT_EQ( QSize( 408, 434 ), window.size() );
   // The pages fill it: no room is kept for a drag handle a tool window does not have.
   EXPECT_EQ( window.rect(), window.Pages_PageControl->geometry() );

   const int expected0[10] = { 0, 26, 51, 76, 102, 128, 153, 178, 204, 230 };
   const int expected5[10] = { 13, 38, 64, 89, 115, 140, 166, 191, 217, 242 };
   for ( int i = 0; i < 10; ++i )
   {
      EXPECT_EQ( expected0[i], TAdjustMonitorBrightnessWindow::ColorScaleLevel( i, 0 ) ) << i;
      EXPECT_EQ( expected5[i], TAdjustMonitorBrightnessWindow::ColorScaleLevel( i, 5 ) ) << i;
   }

   QImage dark( 300, 200, QImage::Format_RGB32 );
   {
      QPainter p( &dark );
      TAdjustMonitorBrightnessWindow::PaintDarkBox( p, dark.size() );
   }
   EXPECT_EQ( qRgb( 13, 13, 13 ), dark.pixel( 100, 50 ) );
   EXPECT_EQ( qRgb( 13, 13, 13 ), dark.pixel( 199, 149 ) );
   EXPECT_EQ( qRgb( 0, 0, 0 ), dark.pixel( 99, 50 ) );
   EXPECT_EQ( qRgb( 0, 0, 0 ), dark.pixel( 200, 50 ) );

   // Cells meet without gaps: every pixel of the first grey row is painted with a level of its cell.
   QImage scales( 407, 400, QImage::Format_RGB32 );
   scales.fill( Qt::magenta );
   {
      QPainter p( &scales );
      TAdjustMonitorBrightnessWindow::PaintColorScales( p, scales.size() );
   }
   const double cell = 2.0 * 407 / 21;
   for ( int x = 0; x < int( 10 * cell ); ++x )
      EXPECT_EQ( qGray( scales.pixel( x, 0 ) ), expected0[std::min( 9, int( std::floor( ( x + 0.5 ) / cell ) ) )] )
          << x;
   EXPECT_EQ( qRgb( 13, 0, 0 ), scales.pixel( 407 / 21 + 2, 3 * 50 + 1 ) ); // the shifted red row
}

TEST_F( ToolWindowsTest, TheAboutBoxClosesOnTheFirstKeyOrClick )
{
   TAboutDialog key;
   EXPECT_EQ( 1, test::PressKeyOn( key, Qt::Key_Space ) );
   TAboutDialog click;
   click.show();
   EXPECT_EQ( QSize( 816, 450 ), click.size() );
   // A click on the picture closes it too.
   QTest::mouseClick( click.Splash_Frame->SplashImage, Qt::LeftButton );
   EXPECT_EQ( 1, click.result() );
   EXPECT_FALSE( click.isVisible() );
   EXPECT_EQ( Qt::PointingHandCursor, click.URL_Label->cursor().shape() );
}

TEST_F( ToolWindowsTest, ThePresentationWindowIgnoresClicksUntilItFades )
{
   TPresentationWindow w;
   w.show();
   EXPECT_EQ( QSize( 452, 452 ), w.size() );
   w.Image1Click();
   EXPECT_TRUE( w.isVisible() );
   w.Timer1Timer(); // three seconds have passed: the fade begins
   w.Image1Click();
   EXPECT_FALSE( w.isVisible() );
}

TEST_F( ToolWindowsTest, ThePerformanceIndexCountsRoundsIn565ths )
{
   EXPECT_FLOAT_EQ( 1.0f, SystemPerformanceIndexOf( 565 ) );
   EXPECT_FLOAT_EQ( 0.0f, SystemPerformanceIndexOf( 0 ) );
   // A budget no round can meet gives no completed round.
   EXPECT_EQ( 0, CountSystemPerformanceRounds( std::chrono::nanoseconds( 1 ) ) );
}
