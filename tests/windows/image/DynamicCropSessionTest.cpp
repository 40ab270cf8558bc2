// A Dynamic Crop session on a real image window (offscreen): the edit data's hit tests and drags, the rectangle
// drawn, moved, resized and turned with the mouse, one session in the program, and the crop run from the session.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QPaintEvent>
#include <QTest>

#include <cmath>
#include <numbers>

#include "DynamicSessionTestSupport.h"
#include "classlib/ImageTestSupport.h"
#include "platform/Registry.h"
#include "process/DynamicCrop.h"
#include "process/ProcessContainer.h"
#include "process/Invert.h"
#include "windows/image/Cursors.h"
#include "windows/image/DynamicSessions.h"
#include "windows/image/ImageWindow.h"
#include "windows/main/Application.h"
#include "windows/main/MainWindow.h"
#include "windows/main/MainWindowTestSupport.h"
#include "windows/processing/DynamicCropDialog.h"

namespace
{

const float pi = std::numbers::pi_v<float>;

class DynamicCropSessionTest : public test::DynamicSessionWindowTest
{
protected:
   void SetUp() override
   {
      DynamicSessionWindowTest::SetUp();
      CurrentPreferences.imageWindow.cursorTolerance = 3;
      // The dialog stays on top: out of the way of the image, where it would hide the pointer from the window.
      DynamicCropDialog().move( 4000, 4000 );
   }

   void TearDown() override
   {
      DynamicSessionWindowTest::TearDown();
      EXPECT_EQ( DynamicCropDialog().cropData, nullptr ) << "every edit ends with its window";
      EXPECT_FALSE( DynamicCropDialog().isVisible() );
   }
};

TEST_F( DynamicCropSessionTest, AStartGivesTheRectangleAndTheHitTestsFollowTheZoom )
{
   TImageWindow* w = Shown();
   w->StartDynamicCrop( 10, 20, 110, 70 );
   ASSERT_NE( w->dynamicCropData, nullptr );
   DynamicCropData& d = *w->dynamicCropData;
   EXPECT_TRUE( d.active );
   EXPECT_EQ( std::make_tuple( d.width, d.height, d.centerX, d.centerY, d.angle ), std::make_tuple( 100.f, 50.f, 60.f, 45.f, 0.f ) );
   EXPECT_EQ( std::make_pair( d.rotationCenterX, d.rotationCenterY ), std::make_pair( 60.f, 45.f ) );
   EXPECT_EQ( DynamicCropDialog().cropData, &d );
   EXPECT_TRUE( DynamicCropDialog().isVisible() );
   EXPECT_EQ( DynamicCropDialog().Width_Edit->text(), "100" );

   struct Case
   {
      int32_t zoom;
      float x, y;
      int32_t hit;
   };
   for ( const Case& c : { Case{ 1, 113, 45, 0x44 }, Case{ 1, 113.1f, 45, 8 }, Case{ 1, 80, 45, 1 },
                           Case{ 1, 62, 46, 2 }, Case{ 1, 10, 20, 0x34 }, Case{ 1, 109, 72, 0xC4 },
                           Case{ 3, 111, 45, 0x44 }, Case{ 3, 111.1f, 45, 8 }, Case{ -4, 122, 45, 0x44 },
                           Case{ -4, 122.5f, 45, 8 }, Case{ -4, 72, 45, 2 } } )
   {
      w->SetZoomAndCenter( 60, 45, c.zoom );
      EXPECT_EQ( d.HitTest( c.x, c.y ), c.hit ) << "zoom " << c.zoom << " at " << c.x << "," << c.y;
   }
   // The rotation centre wins over an edge and over the outside.
   w->SetZoomAndCenter( 60, 45, 1 );
   d.SetRotationCenter( 110, 45 );
   EXPECT_EQ( d.HitTest( 111, 46 ), DynamicCropData::CenterHit );
   d.SetRotationCenter( 150, 45 );
   EXPECT_EQ( d.HitTest( 152, 45 ), DynamicCropData::CenterHit );
   // Turned by 90 degrees the long sides stand upright: (60, 0) lies on the old right edge.
   d.SetRotationCenter( 60, 45 );
   d.SetAngle( pi / 2 );
   EXPECT_EQ( d.HitTest( 60, -4 ), DynamicCropData::ResizeHit | DynamicCropData::RightEdge );
   EXPECT_EQ( d.HitTest( 84, 45 ), DynamicCropData::ResizeHit | DynamicCropData::BottomEdge );

   // A start from an instance: the rectangle in pixels, a side below one pixel made one pixel.
   w->StopDynamicCrop();
   TImageWindow* wide = Shown( 1000, 20 );
   DynamicCrop instance;
   instance.Params() = DynamicCrop::Parameters();
   instance.Params().centerX = 0.5f;
   instance.Params().centerY = 0.25f;
   instance.Params().width = 0.0001f;
   instance.Params().height = 0.5f;
   instance.Params().rotationAngle = 0.5f;
   wide->StartDynamicCropFromInstance( instance );
   ASSERT_NE( wide->dynamicCropData, nullptr );
   const DynamicCropData& e = *wide->dynamicCropData;
   EXPECT_EQ( std::make_tuple( e.width, e.height, e.centerX, e.centerY, e.angle ), std::make_tuple( 1.f, 10.f, 500.f, 5.f, 0.5f ) );
}

TEST_F( DynamicCropSessionTest, DragsResizeMoveAndTurnTheRectangle )
{
   TImageWindow* w = Shown();
   w->StartDynamicCrop( 10, 20, 110, 70 );
   DynamicCropData& d = *w->dynamicCropData;

   // The right edge dragged by +10: 10 wider, the centre 5 to the right; the left edge by +10: 10 narrower.
   d.MouseDown( 110, 45 );
   EXPECT_EQ( d.dragMode, 0x44 );
   d.MouseMove( 120, 45 );
   d.MouseUp();
   EXPECT_EQ( std::make_pair( d.width, d.centerX ), std::make_pair( 110.f, 65.f ) );
   d.MouseDown( 10, 45 );
   d.MouseMove( 20, 45 );
   d.MouseUp();
   EXPECT_EQ( std::make_pair( d.width, d.centerX ), std::make_pair( 100.f, 70.f ) );
   EXPECT_EQ( d.rotationCenterX, 70.f ) << "the rotation centre follows until it is placed";
   // Dragged across the opposite edge the rectangle flips.
   d.MouseDown( 20, 45 );
   d.MouseMove( 140, 45 );
   d.MouseUp();
   EXPECT_EQ( std::make_pair( d.width, d.centerX ), std::make_pair( 20.f, 130.f ) );

   // Turning about the rectangle's own centre changes only the angle.
   d.Start( 10, 20, 110, 70 );
   d.MouseDown( 160, 45 );
   EXPECT_EQ( d.dragMode, DynamicCropData::OutsideHit );
   d.MouseMove( 60, -5 ); // from straight right to straight up: a quarter turn counter-clockwise
   d.MouseUp();
   EXPECT_NEAR( d.angle, pi / 2, 1e-6 );
   EXPECT_EQ( std::make_pair( d.centerX, d.centerY ), std::make_pair( 60.f, 45.f ) );
   // With a placed rotation centre the rectangle swings about it.
   d.SetRotationCenter( 160, 45 );
   d.MouseDown( 160, 100 );
   EXPECT_EQ( d.dragMode, DynamicCropData::OutsideHit );
   d.MouseMove( 215, 45 ); // straight down to straight right: a quarter turn counter-clockwise
   d.MouseUp();
   EXPECT_NEAR( std::abs( d.angle ), pi, 1e-5 );
   EXPECT_NEAR( d.centerX, 160, 1e-4 );
   EXPECT_NEAR( d.centerY, 145, 1e-4 );
   // SetAngle with a placed centre sets the direction of the rectangle's centre seen from it.
   d.SetAngle( 0 );
   EXPECT_NEAR( d.centerX, 260, 1e-4 );
   EXPECT_NEAR( d.centerY, 45, 1e-4 );
   EXPECT_NEAR( std::abs( d.angle ), pi / 2, 1e-5 );

   // Without one SetAngle turns the rectangle in place.
   d.Start( 10, 20, 110, 70 );
   d.SetAngle( pi / 2 );
   EXPECT_NEAR( d.angle, pi / 2, 1e-6 );
   EXPECT_EQ( std::make_pair( d.centerX, d.centerY ), std::make_pair( 60.f, 45.f ) );
   const auto corners = d.GetCorners(); // TL, TR, BL, BR of the unturned rectangle, turned
   EXPECT_NEAR( corners[0].x, 35, 1e-4 );
   EXPECT_NEAR( corners[0].y, 95, 1e-4 );
   EXPECT_NEAR( corners[1].x, 35, 1e-4 );
   EXPECT_NEAR( corners[1].y, -5, 1e-4 );

   // Stop twice: the second changes nothing.
   d.Stop();
   EXPECT_FALSE( d.active );
   EXPECT_EQ( DynamicCropDialog().cropData, nullptr );
   d.Stop();
   EXPECT_FALSE( d.active );
   w->StopDynamicCrop();
}

TEST_F( DynamicCropSessionTest, TheMouseDrawsMovesResizesAndTurnsTheRectangleOnTheImage )
{
   TImageWindow* w = Shown();
   SetImageWindowMode( 5 );
   const QImage plain = w->viewport()->grab().toImage();
   Drag( *w, At( *w, 10, 20 ), At( *w, 109, 69 ) );
   ASSERT_NE( w->dynamicCropData, nullptr );
   DynamicCropData& d = *w->dynamicCropData;
   EXPECT_EQ( std::make_tuple( d.width, d.height, d.centerX, d.centerY ), std::make_tuple( 100.f, 50.f, 60.f, 45.f ) );

   // The outline inverts the pixels along the rectangle and crosses the rotation centre; inside it nothing changes.
   QImage shown = w->viewport()->grab().toImage();
   EXPECT_NE( shown.pixel( At( *w, 50, 20 ) ), plain.pixel( At( *w, 50, 20 ) ) );
   EXPECT_NE( shown.pixel( At( *w, 10, 40 ) ), plain.pixel( At( *w, 10, 40 ) ) );
   // (the two strokes of the cross meet at the centre, whose pixel they invert twice)
   EXPECT_NE( shown.pixel( At( *w, 62, 47 ) ), plain.pixel( At( *w, 62, 47 ) ) );
   EXPECT_NE( shown.pixel( At( *w, 58, 47 ) ), plain.pixel( At( *w, 58, 47 ) ) );
   EXPECT_EQ( shown.pixel( At( *w, 30, 30 ) ), plain.pixel( At( *w, 30, 30 ) ) );

   // Inside: moves by the pointer's way, with the move cursor on the way.
   QTest::mouseMove( w->viewport(), At( *w, 30, 30 ) );
   EXPECT_EQ( w->ShownCursorSlot(), CursorMoveObject );
   Drag( *w, At( *w, 30, 30 ), At( *w, 45, 40 ) );
   EXPECT_EQ( std::make_pair( d.centerX, d.centerY ), std::make_pair( 75.f, 55.f ) );
   // The bottom edge: 10 taller.
   QTest::mouseMove( w->viewport(), At( *w, 75, 80 ) );
   EXPECT_EQ( w->ShownCursorSlot(), CursorResizeObject );
   Drag( *w, At( *w, 75, 80 ), At( *w, 75, 90 ) );
   EXPECT_EQ( std::make_pair( d.height, d.centerY ), std::make_pair( 60.f, 60.f ) );
   // Outside: turns about the centre (75, 60), a quarter turn clockwise on the screen.
   QTest::mouseMove( w->viewport(), At( *w, 175, 60 ) );
   EXPECT_EQ( w->ShownCursorSlot(), CursorRotateObject );
   Drag( *w, At( *w, 175, 60 ), At( *w, 75, 140 ) );
   EXPECT_NEAR( d.angle, -pi / 2, 1e-6 );
   EXPECT_EQ( DynamicCropDialog().Angle_Edit->text(), "90.000" );
   EXPECT_TRUE( DynamicCropDialog().Clockwise_CheckBox->isChecked() );
   // The outline now stands upright: the old top edge runs down the right side.
   shown = w->viewport()->grab().toImage();
   EXPECT_NE( shown.pixel( At( *w, 105, 60 ) ), plain.pixel( At( *w, 105, 60 ) ) );

   // Escape ends the session: the outline goes and the dialog hides.
   QTest::keyClick( w, Qt::Key_Escape );
   EXPECT_EQ( w->dynamicCropData, nullptr );
   EXPECT_FALSE( DynamicCropDialog().isVisible() );
   EXPECT_EQ( w->viewport()->grab().toImage(), plain );
}

// Records the areas the viewport paints.
class PaintRecorder : public QObject
{
public:
   bool eventFilter( QObject*, QEvent* event ) override
   {
      if ( event->type() == QEvent::Paint )
         painted |= static_cast<QPaintEvent*>( event )->region();
      return false;
   }
   QRegion painted;
};

TEST_F( DynamicCropSessionTest, AMoveRepaintsOnlyWhereTheOutlineWasAndIs )
{
   TImageWindow* w = Shown();
   w->StartDynamicCrop( 20, 20, 60, 50 );
   QCoreApplication::processEvents();
   PaintRecorder recorder;
   w->viewport()->installEventFilter( &recorder );
   DynamicCropData& d = *w->dynamicCropData;
   d.MouseDown( 40, 35 );
   d.MouseMove( 43, 37 );
   d.MouseUp();
   QCoreApplication::processEvents();
   w->viewport()->removeEventFilter( &recorder );
   // The outline before (20..60 x 20..50) and after (23..63 x 22..52), a few pixels of pen around it.
   const QRect expected = QRect( At( *w, 20, 20 ), At( *w, 63, 52 ) ).adjusted( -8, -8, 8, 8 );
   EXPECT_FALSE( recorder.painted.isEmpty() );
   EXPECT_TRUE( expected.contains( recorder.painted.boundingRect() ) ) << recorder.painted.boundingRect().x();
   w->StopDynamicCrop();
}

TEST_F( DynamicCropSessionTest, OneSessionRunsInTheProgram )
{
   TImageWindow* first = Shown();
   TImageWindow* second = Shown();
   SetImageWindowMode( 5 );
   Drag( *first, At( *first, 10, 10 ), At( *first, 49, 39 ) );
   ASSERT_NE( first->dynamicCropData, nullptr );
   DynamicCropData* session = first->dynamicCropData.get();

   // On the other window a drag starts nothing; a start there is refused.
   Drag( *second, At( *second, 10, 10 ), At( *second, 49, 39 ) );
   EXPECT_EQ( second->dynamicCropData, nullptr );
   prompter.Expect( "There is a Dynamic Crop session already active" );
   second->StartDynamicCropFromInstance( DynamicCrop() );
   EXPECT_EQ( second->dynamicCropData, nullptr );
   EXPECT_EQ( first->dynamicCropData.get(), session );
   EXPECT_EQ( DynamicCropDialog().cropData, session );

   // Once it ends, the other window may start one.
   first->StopDynamicCrop();
   Drag( *second, At( *second, 10, 10 ), At( *second, 49, 39 ) );
   EXPECT_NE( second->dynamicCropData, nullptr );
   EXPECT_EQ( DynamicCropDialog().cropData, second->dynamicCropData.get() );
}

TEST_F( DynamicCropSessionTest, EnterCropsAlongTheRectangleAndUndoBringsTheImageBack )
{
   TImageWindow* w = Shown();
   const qor::Image original( *w->image );
   SetImageWindowMode( 5 );
   Drag( *w, At( *w, 20, 30 ), At( *w, 99, 79 ) );
   ASSERT_NE( w->dynamicCropData, nullptr );

   // Another instance of the process may not run while the session is on: only the dialog's may.
   const DynamicCrop foreign;
   EXPECT_FALSE( foreign.CanExecuteOn( *w->mainView ) );

   QTest::keyClick( w, Qt::Key_Return );
   EXPECT_EQ( w->dynamicCropData, nullptr ) << "the OK ends the session";
   EXPECT_FALSE( DynamicCropDialog().isVisible() );
   qor::Image expected;
   expected.AssignRect( original, 20, 30, 80, 50 );
   EXPECT_TRUE( test::SamePixels( *w->image, expected ) );
   EXPECT_EQ( w->mainView->History().instances.Length(), 1u );

   w->UndoRedo();
   EXPECT_TRUE( test::SamePixels( *w->image, original ) );
}

TEST_F( DynamicCropSessionTest, AnotherProcessEndsTheSessionOnlyWhenTheUserAgrees )
{
   TImageWindow* w = Shown();
   w->StartDynamicCrop( 10, 10, 60, 60 );
   const qor::Image original( *w->image );
   Invert invert;
   prompter.Expect( "Cancel current Dynamic Crop session?", platform::Answer::No );
   EXPECT_FALSE( invert.LaunchOn( *w->mainView ) );
   EXPECT_NE( w->dynamicCropData, nullptr );
   EXPECT_TRUE( test::SamePixels( *w->image, original ) );

   prompter.Expect( "Cancel current Dynamic Crop session?", platform::Answer::Yes );
   EXPECT_TRUE( invert.LaunchOn( *w->mainView ) );
   EXPECT_EQ( w->dynamicCropData, nullptr );
   EXPECT_FALSE( DynamicCropDialog().isVisible() );
}

} // namespace

// ---- With the main window: the mode actions and the launch of an instance ----------------------------------------

namespace
{

class DynamicCropMainWindowTest : public test::ScriptedUiTest
{
protected:
   void SetUp() override
   {
      test::ScriptedUiTest::SetUp();
      platform::Registry().DeleteKey( ApplicationRegistryKey() );
      main = std::make_unique<TMainWindow>();
      main->resize( 1200, 900 );
      main->show();
      ASSERT_TRUE( QTest::qWaitForWindowExposed( main.get() ) );
   }

   void TearDown() override
   {
      test::DiscardAllImageWindows();
      main.reset();
      platform::Registry().DeleteKey( ApplicationRegistryKey() );
      CurrentImageWindowMode = 0;
      test::ScriptedUiTest::TearDown();
   }

   TImageWindow* Open( int w, int h )
   {
      TImageWindow* window = CreateImageWindow( main.get(), new qor::Image( w, h, 1 ), "" );
      window->Frame()->show();
      main->Desktop()->setActiveSubWindow( window->SubWindow() );
      return window;
   }

   void Activate( TImageWindow* w ) { main->Desktop()->setActiveSubWindow( w->SubWindow() ); }

   std::unique_ptr<TMainWindow> main;
};

TEST_F( DynamicCropMainWindowTest, ALaunchedInstanceStartsAnEditAndTheModeActionsFollowTheSessions )
{
   TImageWindow* a = Open( 200, 100 );
   TImageWindow* b = Open( 200, 100 );
   DynamicCrop instance;
   instance.Params().centerX = 0.5f;
   instance.Params().centerY = 0.5f;
   instance.Params().width = 0.5f;
   instance.Params().height = 0.5f;
   EXPECT_EQ( instance.Action(), main->DynamicCropMode_Action );

   // Launched on the active window: the crop mode and an edit of the instance's rectangle there.
   Activate( a );
   instance.LaunchInterface();
   ASSERT_NE( a->dynamicCropData, nullptr );
   EXPECT_EQ( CurrentImageWindowMode, 5 );
   EXPECT_EQ( std::make_tuple( a->dynamicCropData->width, a->dynamicCropData->centerX ), std::make_tuple( 100.f, 100.f ) );
   EXPECT_EQ( DynamicCropDialog().cropData, a->dynamicCropData.get() );
   EXPECT_TRUE( instance.IsSessionActive( *a->mainView ) );
   EXPECT_FALSE( instance.IsSessionActive( *b->mainView ) );
   EXPECT_EQ( instance.SessionDialog(), static_cast<const ProcessSessionDialog*>( &DynamicCropDialog() ) );

   // The session's window keeps its crop mode and loses background extraction; every other window loses the crop.
   main->ApplicationEvents1Idle();
   EXPECT_TRUE( main->DynamicCropMode_Action->isEnabled() );
   EXPECT_FALSE( main->DynamicBackgroundExtractionMode_Action->isEnabled() );
   EXPECT_TRUE( instance.IsInterfaceAvailable() );
   Activate( b );
   main->ApplicationEvents1Idle();
   EXPECT_FALSE( main->DynamicCropMode_Action->isEnabled() );
   EXPECT_TRUE( main->DynamicBackgroundExtractionMode_Action->isEnabled() );
   EXPECT_FALSE( instance.IsInterfaceAvailable() );

   // A second launch, on the other window, is refused.
   prompter.Expect( "There is a Dynamic Crop session already active" );
   instance.LaunchInterface();
   EXPECT_EQ( b->dynamicCropData, nullptr );

   // On a preview nothing starts.
   a->StopDynamicCrop();
   b->SelectView( b->CreatePreview( "", 0, 0, 20, 20 ) );
   instance.LaunchInterface();
   EXPECT_EQ( b->dynamicCropData, nullptr );
   main->ApplicationEvents1Idle();
   EXPECT_FALSE( main->DynamicCropMode_Action->isEnabled() );
}

TEST_F( DynamicCropMainWindowTest, TheDialogKeepsItsPlace )
{
   DynamicCropDialog().move( 321, 123 );
   main->SaveSettings();
   DynamicCropDialog().move( 0, 0 );
   main->LoadSettings();
   EXPECT_EQ( DynamicCropDialog().pos(), QPoint( 321, 123 ) );
}

} // namespace
