// The mouse modes, the mouse and the keyboard on a real image window (offscreen, QTest events on its viewport).

#include <gtest/gtest.h>

#include <QScrollBar>
#include <QTest>
#include <QWheelEvent>

#include "ImageWindowTestSupport.h"
#include "classlib/Image.h"
#include "platform/DragRunner.h"
#include "platform/KeyTracker.h"
#include "process/ProcessContainer.h"
#include "windows/image/Cursors.h"
#include "windows/image/ImageWindow.h"
#include "windows/processing/ProcessEnvelope.h"
#include "windows/processing/NotificationRecorder.h"
#include "windows/processing/ProcessingTestKit.h"

namespace
{

class InteractionTest : public test::ImageWindowProcessTest
{
protected:
   void SetUp() override
   {
      ImageWindowProcessTest::SetUp();
      platform::KeyTracker::Instance().ReleaseAll();
      SetImageWindowMode( 0 );
      SpaceBarSavedMode = 255;
   }

   void TearDown() override
   {
      platform::KeyTracker::Instance().ReleaseAll();
      SetImageWindowMode( 0 );
      SpaceBarSavedMode = 255;
      ImageWindowProcessTest::TearDown();
   }

   // A shown window of a w x h colour image with a client area of 400 x 300 at 1:1.
   TImageWindow* Shown( int32_t w, int32_t h )
   {
      TImageWindow* window = Make( RandomImage( w, h, 3, 1 ) );
      window->show();
      SetClientSize( *window, 400, 300 );
      EXPECT_TRUE( QTest::qWaitForWindowExposed( window ) );
      window->SetZoomAndCenter( 0, 0, 1 );
      return window;
   }

   static void Drag( TImageWindow& w, QPoint from, QPoint to, Qt::KeyboardModifiers modifiers = Qt::NoModifier )
   {
      QTest::mousePress( w.viewport(), Qt::LeftButton, modifiers, from );
      QTest::mouseMove( w.viewport(), to );
      QTest::mouseRelease( w.viewport(), Qt::LeftButton, modifiers, to );
   }

   // The image point at the centre of the client area.
   static QPoint Centre( const TImageWindow& w )
   {
      const QSize c = w.ClientSize();
      const int32_t zoom = w.currentView->zoom;
      return { TImageWindow::Unscaled( c.width() / 2 + w.ScrollX() - w.imageOffsetX, zoom ),
               TImageWindow::Unscaled( c.height() / 2 + w.ScrollY() - w.imageOffsetY, zoom ) };
   }
};

TEST_F( InteractionTest, EveryModeShowsItsCursorAndTheLetterKeysChooseThem )
{
   TImageWindow* w = Shown( 200, 200 );
   struct Case
   {
      Qt::Key key;
      Qt::KeyboardModifiers modifiers;
      uint8_t mode;
      int32_t cursor;
   };
   const Case cases[] = {
      { Qt::Key_Z, Qt::NoModifier, 1, CursorZoomIn },      { Qt::Key_Z, Qt::ShiftModifier, 2, CursorZoomOut },
      { Qt::Key_P, Qt::NoModifier, 3, CursorPan },         { Qt::Key_C, Qt::NoModifier, 4, CursorCenter },
      { Qt::Key_D, Qt::NoModifier, 5, CursorCrop },        { Qt::Key_B, Qt::NoModifier, 6, CursorBkgExtraction },
      { Qt::Key_N, Qt::NoModifier, 7, CursorNewPreview },  { Qt::Key_E, Qt::NoModifier, 8, CursorSelectPreview },
      { Qt::Key_R, Qt::NoModifier, 0, CursorReadout },
   };
   for ( const Case& c : cases )
   {
      QTest::keyClick( w, c.key, c.modifiers );
      EXPECT_EQ( CurrentImageWindowMode, c.mode ) << c.key;
      EXPECT_EQ( w->ShownCursorSlot(), c.cursor ) << c.key;
      EXPECT_EQ( w->viewport()->cursor().shape(), Qt::BitmapCursor );
   }

   // Ctrl+Shift with a letter chooses the displayed channel; Ctrl alone with a letter does nothing here.
   QTest::keyClick( w, Qt::Key_G, Qt::ControlModifier | Qt::ShiftModifier );
   EXPECT_EQ( w->displayChannel, 2 );
   // With Shift held the 0 key arrives as the symbol above it.
   QTest::keyClick( w, Qt::Key_ParenRight, Qt::ControlModifier | Qt::ShiftModifier );
   EXPECT_EQ( w->displayChannel, 0 );
   QTest::keyClick( w, Qt::Key_P, Qt::ControlModifier );
   EXPECT_EQ( CurrentImageWindowMode, 0 );

   // The main-view modes end when a preview is shown, and are not taken by their keys while it is.
   SetImageWindowMode( 7 );
   w->CreatePreview( "", 10, 10, 40, 40 );
   w->SelectView( w->previews[0] );
   EXPECT_EQ( CurrentImageWindowMode, 0 );
   QTest::keyClick( w, Qt::Key_E );
   EXPECT_EQ( CurrentImageWindowMode, 0 );
}

TEST_F( InteractionTest, SpaceCtrlAndAltSwitchModesWhileHeld )
{
   TImageWindow* w = Shown( 200, 200 );
   QTest::keyPress( w, Qt::Key_Space );
   EXPECT_EQ( CurrentImageWindowMode, 3 );
   QTest::keyPress( w, Qt::Key_Control, Qt::ControlModifier );
   EXPECT_EQ( CurrentImageWindowMode, 1 );
   QTest::keyRelease( w, Qt::Key_Control, Qt::NoModifier );
   EXPECT_EQ( CurrentImageWindowMode, 3 );
   QTest::keyPress( w, Qt::Key_Control, Qt::ControlModifier | Qt::ShiftModifier );
   EXPECT_EQ( CurrentImageWindowMode, 2 );
   QTest::keyRelease( w, Qt::Key_Control, Qt::ShiftModifier );
   EXPECT_EQ( CurrentImageWindowMode, 3 );
   QTest::keyRelease( w, Qt::Key_Space );
   EXPECT_EQ( CurrentImageWindowMode, 0 );
   EXPECT_EQ( SpaceBarSavedMode, 255 );

   SetImageWindowMode( 1 );
   QTest::keyPress( w, Qt::Key_Alt, Qt::AltModifier );
   EXPECT_EQ( CurrentImageWindowMode, 2 );
   QTest::keyRelease( w, Qt::Key_Alt, Qt::NoModifier );
   EXPECT_EQ( CurrentImageWindowMode, 1 );
   EXPECT_EQ( SpaceBarSavedMode, 255 );
}

TEST_F( InteractionTest, ZoomModesByClickAndByRectangle )
{
   TImageWindow* w = Shown( 800, 600 );

   // A click zooms in one step centred on the point; at 32:1 it stays.
   SetImageWindowMode( 1 );
   w->SetZoomAndCenter( 400, 300, 1 );
   QTest::mouseClick( w->viewport(), Qt::LeftButton, Qt::NoModifier, At( *w, 300, 200 ) );
   EXPECT_EQ( w->currentView->zoom, 2 );
   EXPECT_EQ( Centre( *w ), QPoint( 300, 200 ) );
   w->SetZoomAndCenter( 300, 200, 32 );
   QTest::mouseClick( w->viewport(), Qt::LeftButton, Qt::NoModifier, At( *w, 300, 200 ) );
   EXPECT_EQ( w->currentView->zoom, 32 );

   // A band of 101 x 51 pixels in a 400 x 300 client: round(400 / 101) = 4, centred on the band.
   w->SetZoomAndCenter( 400, 300, 1 );
   Drag( *w, At( *w, 200, 200 ), At( *w, 300, 250 ) );
   EXPECT_FALSE( w->rubberBandActive );
   EXPECT_EQ( w->currentView->zoom, 4 );
   EXPECT_EQ( Centre( *w ), QPoint( 250, 225 ) );

   // A band one pixel wide is a click.
   w->SetZoomAndCenter( 400, 300, 1 );
   Drag( *w, At( *w, 100, 100 ), At( *w, 100, 149 ) );
   EXPECT_EQ( w->currentView->zoom, 2 );

   // Zoom out: one step about the band's centre; centre mode keeps the zoom.
   SetImageWindowMode( 2 );
   w->SetZoomAndCenter( 400, 300, 1 );
   Drag( *w, At( *w, 300, 200 ), At( *w, 340, 240 ) );
   EXPECT_EQ( w->currentView->zoom, -2 );
   SetImageWindowMode( 4 );
   w->SetZoomAndCenter( 400, 300, 2 );
   QTest::mouseClick( w->viewport(), Qt::LeftButton, Qt::NoModifier, At( *w, 350, 280 ) );
   EXPECT_EQ( w->currentView->zoom, 2 );
   EXPECT_EQ( Centre( *w ), QPoint( 350, 280 ) );
}

TEST_F( InteractionTest, TheRubberBandIsClampedAndPaintedOverTheImage )
{
   TImageWindow* w = Shown( 300, 200 );
   SetImageWindowMode( 4 );
   QTest::mousePress( w->viewport(), Qt::LeftButton, Qt::NoModifier, At( *w, 20, 30 ) );
   QTest::mouseMove( w->viewport(), At( *w, 290, 199 ) + QPoint( 200, 200 ) );
   ASSERT_TRUE( w->rubberBandActive );
   EXPECT_EQ( QRect( QPoint( w->rubberX0, w->rubberY0 ), QPoint( w->rubberX1, w->rubberY1 ) ),
              QRect( QPoint( 20, 30 ), QPoint( 299, 199 ) ) );
   EXPECT_EQ( w->PixelReadoutText( 0, 0, {} ), " Rect: 20,30 -> 299,199 w:280 h:170" );

   // The band inverts the pixels under its outline.
   const QImage with = w->viewport()->grab().toImage();
   w->EndRubberBand();
   const QImage without = w->viewport()->grab().toImage();
   const QPoint corner = At( *w, 20, 30 );
   // The dashed left edge changes about half the pixels of its column; the inside stays as it was.
   int edge = 0;
   for ( int y = corner.y(); y < At( *w, 20, 199 ).y(); ++y )
      edge += with.pixel( corner.x(), y ) != without.pixel( corner.x(), y );
   EXPECT_GT( edge, 50 );
   EXPECT_EQ( with.pixel( corner + QPoint( 5, 40 ) ), without.pixel( corner + QPoint( 5, 40 ) ) );
   QTest::mouseRelease( w->viewport(), Qt::LeftButton, Qt::NoModifier, At( *w, 20, 30 ) );
}

TEST_F( InteractionTest, PanScrollsAndALockedPanFollowsTheFirstAxis )
{
   TImageWindow* w = Shown( 2000, 2000 );
   SetImageWindowMode( 3 );
   w->SetZoomAndCenter( 1000, 1000, 1 );
   const int32_t sx = w->ScrollX(), sy = w->ScrollY();

   QTest::mousePress( w->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint( 200, 150 ) );
   QTest::mouseMove( w->viewport(), QPoint( 180, 140 ) );
   QTest::mouseMove( w->viewport(), QPoint( 170, 120 ) );
   QTest::mouseRelease( w->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint( 170, 120 ) );
   // Each movement scrolls along its larger axis.
   EXPECT_EQ( w->ScrollX(), sx + 20 );
   EXPECT_EQ( w->ScrollY(), sy + 30 );
   EXPECT_FALSE( w->panActive );

   // With Shift the first movement (mostly horizontal) locks the pan to that axis.
   const int32_t lx = w->ScrollX(), ly = w->ScrollY();
   QTest::mousePress( w->viewport(), Qt::LeftButton, Qt::ShiftModifier, QPoint( 200, 150 ) );
   QTest::mouseMove( w->viewport(), QPoint( 190, 147 ) );
   EXPECT_TRUE( w->panLockedHorizontal );
   EXPECT_EQ( w->ShownCursorSlot(), CursorPanH );
   QTest::mouseMove( w->viewport(), QPoint( 188, 100 ) );
   EXPECT_EQ( w->ScrollY(), ly );
   EXPECT_EQ( w->ScrollX(), lx + 10 );
   QTest::mouseRelease( w->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint( 188, 100 ) );
   EXPECT_EQ( w->ShownCursorSlot(), CursorPan );

   // A mostly vertical first movement locks the vertical axis.
   QTest::mousePress( w->viewport(), Qt::LeftButton, Qt::ShiftModifier, QPoint( 200, 150 ) );
   QTest::mouseMove( w->viewport(), QPoint( 198, 160 ) );
   EXPECT_TRUE( w->panLockedVertical );
   EXPECT_EQ( w->ShownCursorSlot(), CursorPanV );
   QTest::mouseRelease( w->viewport(), Qt::LeftButton, Qt::NoModifier, QPoint( 198, 160 ) );
}

TEST_F( InteractionTest, TheWheelZoomsAboutTheCentreOfTheView )
{
   TImageWindow* w = Shown( 800, 600 );
   w->SetZoomAndCenter( 500, 400, 1 );
   auto roll = [w]( int delta )
   {
      QWheelEvent event( QPointF( 10, 10 ), w->viewport()->mapToGlobal( QPointF( 10, 10 ) ), QPoint(),
                         QPoint( 0, delta ), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false );
      QApplication::sendEvent( w->viewport(), &event );
   };
   roll( -120 );
   EXPECT_EQ( w->currentView->zoom, 2 );
   EXPECT_EQ( Centre( *w ), QPoint( 500, 400 ) );
   roll( 120 );
   roll( 120 );
   EXPECT_EQ( w->currentView->zoom, -2 );
}

TEST_F( InteractionTest, APreviewDrawnWithTheMouseIsMovedAndResized )
{
   TImageWindow* w = Shown( 300, 200 );
   SetImageWindowMode( 7 );
   Drag( *w, At( *w, 10, 10 ), At( *w, 109, 59 ) );
   ASSERT_EQ( w->previews.size(), 1u );
   TImageWindow::Preview* p = w->previews[0];
   EXPECT_EQ( QRect( p->left, p->top, p->GetImage().Width(), p->GetImage().Height() ), QRect( 10, 10, 100, 50 ) );
   EXPECT_EQ( CurrentImageWindowMode, 8 );
   EXPECT_EQ( w->selectedPreview, p );

   // Hovering: inside it moves, on an edge it resizes, off it the mode's cursor.
   QTest::mouseMove( w->viewport(), At( *w, 50, 30 ) );
   EXPECT_EQ( w->ShownCursorSlot(), CursorMovePreview );
   QTest::mouseMove( w->viewport(), At( *w, 109, 30 ) );
   EXPECT_EQ( w->ShownCursorSlot(), CursorResizeH );
   QTest::mouseMove( w->viewport(), At( *w, 109, 59 ) );
   EXPECT_EQ( w->ShownCursorSlot(), CursorResizeTLRB );
   QTest::mouseMove( w->viewport(), At( *w, 200, 150 ) );
   EXPECT_EQ( w->ShownCursorSlot(), CursorSelectPreview );

   // Move by (20, 15); past the right edge it stays flush at its full size.
   QTest::mousePress( w->viewport(), Qt::LeftButton, Qt::NoModifier, At( *w, 50, 30 ) );
   QTest::mouseMove( w->viewport(), At( *w, 70, 45 ) );
   EXPECT_EQ( w->PixelReadoutText( 0, 0, {} ), " Move: 30,25 w:100 h:50" );
   QTest::mouseRelease( w->viewport(), Qt::LeftButton, Qt::NoModifier, At( *w, 70, 45 ) );
   EXPECT_EQ( QPoint( p->left, p->top ), QPoint( 30, 25 ) );
   Drag( *w, At( *w, 60, 40 ), At( *w, 299, 40 ) );
   EXPECT_EQ( QRect( p->left, p->top, p->GetImage().Width(), p->GetImage().Height() ), QRect( 200, 25, 100, 50 ) );

   // The left edge dragged right by 95 stops 16 pixels short of the right one.
   Drag( *w, At( *w, 200, 50 ), At( *w, 295, 50 ) );
   EXPECT_EQ( QRect( p->left, p->top, p->GetImage().Width(), p->GetImage().Height() ), QRect( 284, 25, 16, 50 ) );
}

TEST_F( InteractionTest, AProcessDraggedOverATabSwitchesViewsAndRunsOnceWhereItIsDropped )
{
   TImageWindow* w = Shown( 100, 100 );
   w->CreatePreview( "", 20, 20, 40, 40 );
   w->displayChannel = 0;
   test::TScaleWindow source;
   source.show();

   platform::ScriptedDragRunner drags;
   platform::DragRunnerScope scope{ drags };
   // A point of the preview's tab in the strip.
   const int32_t tabs = w->ViewTabsWidth();
   QPoint tabPoint( -1, -1 );
   for ( int32_t y = 0; y < w->ViewTabs_PaintBox->height() && tabPoint.y() < 0; ++y )
      if ( w->ViewTabHitTest( tabs / 2, y ) == w->previews[0] )
         tabPoint = QPoint( tabs / 2, y + tabs );
   ASSERT_GE( tabPoint.y(), 0 );
   drags.Expect(
       [&]( QDrag& drag )
       {
          EXPECT_EQ( platform::DeliverDrag( drag, w->ViewTabs_PaintBox, tabPoint, true ), Qt::IgnoreAction );
          EXPECT_EQ( w->currentView, w->previews[0] );
          return platform::DeliverDrag( drag, w->viewport(), QPoint( 50, 50 ) );
       } );
   EXPECT_NE( source.processDragObject->BeginDrag(), Qt::IgnoreAction );
   EXPECT_EQ( *source.runs, 1 );
   EXPECT_EQ( w->previews[0]->History().instances.Length(), 1u );
   EXPECT_EQ( w->mainView->History().instances.Length(), 0u );
}

// A user's session on one image: zoom by rectangle, pan, read out a pixel, draw a preview and drop an instance on it.
TEST_F( InteractionTest, ASessionZoomsPansReadsOutDrawsAPreviewAndRunsAProcessOnIt )
{
   TImageWindow* w = Shown( 1000, 800 );
   test::NotificationRecorder tools;
   w->SetZoomAndCenter( 500, 400, 1 );

   // Z, then a 100 x 75 rectangle: 4:1 centred on it.
   QTest::keyClick( w, Qt::Key_Z );
   Drag( *w, At( *w, 450, 350 ), At( *w, 549, 424 ) );
   EXPECT_EQ( w->currentView->zoom, 4 );
   EXPECT_EQ( Centre( *w ), QPoint( 500, 387 ) );

   // Space held: pan left by 40 screen pixels, 10 image pixels at 4:1; released, zoom-in mode again.
   QTest::keyPress( w, Qt::Key_Space );
   EXPECT_EQ( CurrentImageWindowMode, 3 );
   Drag( *w, QPoint( 200, 150 ), QPoint( 240, 150 ) );
   QTest::keyRelease( w, Qt::Key_Space );
   EXPECT_EQ( CurrentImageWindowMode, 1 );
   EXPECT_EQ( Centre( *w ), QPoint( 490, 387 ) );

   // R: a readout drag is broadcast to the processing windows with the values under the pointer.
   QTest::keyClick( w, Qt::Key_R );
   tools.events.clear();
   Drag( *w, At( *w, 480, 380 ), At( *w, 481, 380 ) );
   EXPECT_EQ( tools.events,
              ( std::vector<std::string>{ "beginreadout:Image01", "readout:Image01", "endreadout:Image01" } ) );
   float v[3];
   w->ReadoutValues( 481, 380, v );
   EXPECT_EQ( v[1], w->image->Pixel( 481, 380, 1 ) );

   // N: a preview drawn over part of the view, then an instance dropped on it runs there once.
   QTest::keyClick( w, Qt::Key_N );
   Drag( *w, At( *w, 470, 370 ), At( *w, 509, 399 ) );
   ASSERT_EQ( w->previews.size(), 1u );
   TImageWindow::Preview* p = w->previews[0];
   EXPECT_EQ( QRect( p->left, p->top, p->GetImage().Width(), p->GetImage().Height() ), QRect( 470, 370, 40, 30 ) );
   w->SelectView( p );
   const float before = p->GetImage().Pixel( 3, 4, 0 );

   test::TScaleWindow source;
   source.show();
   platform::ScriptedDragRunner drags;
   platform::DragRunnerScope scope{ drags };
   drags.ExpectDropOn( w->viewport(), QPoint( 20, 20 ) );
   EXPECT_NE( source.processDragObject->BeginDrag(), Qt::IgnoreAction );
   EXPECT_EQ( *source.runs, 1 );
   EXPECT_FLOAT_EQ( p->GetImage().Pixel( 3, 4, 0 ), before * 0.5f );
   EXPECT_EQ( w->image->Pixel( 473, 374, 0 ), before );
}

} // namespace
