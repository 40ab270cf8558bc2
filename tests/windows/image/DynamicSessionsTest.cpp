// The window side of the dynamic sessions: one session of a kind in the program, the cursors over a session, the keys
// a session takes, and its overlay painted over the main view (offscreen, QTest events on a real window).

#include <gtest/gtest.h>

#include <QPainter>
#include <QTest>

#include <string>
#include <vector>

#include "ImageWindowTestSupport.h"
#include "platform/KeyTracker.h"
#include "windows/image/Cursors.h"
#include "windows/image/DynamicSessions.h"
#include "windows/image/ImageWindow.h"

namespace
{

// What the window did with its session objects, in order.
std::vector<std::string> sessionLog;

// Sessions whose hit test answers what the test sets, that log the calls the window makes and paint a filled square
// over the image pixels (10, 10) .. (20, 20).
class ScriptedCrop : public DynamicCropData
{
public:
   explicit ScriptedCrop( TImageWindow* window ) : DynamicCropData( window ) { active = true; }
   ~ScriptedCrop() override { sessionLog.push_back( "crop deleted" ); }
   int32_t HitTest( float, float ) const override { return hit; }
   void MouseMove( float x, float y ) override
   {
      sessionLog.push_back( "crop move " + std::to_string( int( x ) ) + "," + std::to_string( int( y ) ) );
   }
   void DrawOverlay( QPainter& painter ) const override
   {
      painter.fillRect( QRect( ImageToScreen( 10, 10 ), ImageToScreen( 20, 20 ) ), Qt::magenta );
   }
   bool EnterPressed() override
   {
      sessionLog.push_back( "crop enter" );
      return true;
   }
   int32_t hit = 0;
};

class ScriptedDBE : public DynamicBackgroundExtractionData
{
public:
   explicit ScriptedDBE( TImageWindow* window ) : DynamicBackgroundExtractionData( window ) { active = true; }
   int32_t HitTest( float, float ) const override { return hit; }
   bool DeletePressed() override
   {
      sessionLog.push_back( "dbe delete" );
      return true;
   }
   void DrawOverlay( QPainter& painter ) const override
   {
      painter.fillRect( QRect( ImageToScreen( 30, 10 ), ImageToScreen( 40, 20 ) ), Qt::cyan );
   }
   int32_t hit = 0;
};

class DynamicSessionsTest : public test::ImageWindowTest
{
protected:
   void SetUp() override
   {
      ImageWindowTest::SetUp();
      platform::KeyTracker::Instance().ReleaseAll();
      SetImageWindowMode( 0 );
      sessionLog.clear();
   }

   void TearDown() override
   {
      SetImageWindowMode( 0 );
      ImageWindowTest::TearDown();
   }

   // A shown window of a w x h grey image at 1:1 with a client area of 300 x 200.
   TImageWindow* Shown( int32_t w = 200, int32_t h = 150 )
   {
      TImageWindow* window = Make( RandomImage( w, h, 1, 0 ) );
      window->show();
      SetClientSize( *window, 300, 200 );
      EXPECT_TRUE( QTest::qWaitForWindowExposed( window ) );
      window->SetZoomAndCenter( 0, 0, 1 );
      return window;
   }

   static QPoint At( const TImageWindow& w, int32_t x, int32_t y )
   {
      return w.ImageToScreen( float( x ), float( y ) ) - QPoint( w.ScrollX(), w.ScrollY() );
   }
};

TEST_F( DynamicSessionsTest, ASecondSessionOfAKindIsRefusedWhereverItWouldStart )
{
   TImageWindow* first = Shown();
   TImageWindow* second = Shown();
   first->dynamicCropData = std::make_unique<ScriptedCrop>( first );
   first->dbeData = std::make_unique<ScriptedDBE>( first );
   DynamicSessionData* crop = first->dynamicCropData.get();
   DynamicSessionData* dbe = first->dbeData.get();

   const test::NamedProcess cropInstance( DynamicCropProcessId ), dbeInstance( DynamicBackgroundExtractionProcessId );
   for ( TImageWindow* w : { first, second } )
   {
      platform::ScriptedPrompter::Expectation refusal;
      refusal.caption = "Lumenforge";
      refusal.icon = platform::Icon::Error;
      refusal.text = "There is a Dynamic Crop session already active";
      prompter.Expect( refusal );
      prompter.Expect( refusal );
      w->StartDynamicCrop( 10, 10, 50, 40 );
      w->StartDynamicCropFromInstance( cropInstance );
      refusal.text = "There is a Dynamic Background Extraction session already active";
      prompter.Expect( refusal );
      prompter.Expect( refusal );
      w->StartDBE( 20, 20 );
      w->StartDBEFromInstance( dbeInstance );
   }
   EXPECT_EQ( prompter.PendingCount(), 0u );
   // The running sessions are untouched and no other one was made.
   EXPECT_EQ( first->dynamicCropData.get(), crop );
   EXPECT_EQ( first->dbeData.get(), dbe );
   EXPECT_EQ( second->dynamicCropData, nullptr );
   EXPECT_EQ( second->dbeData, nullptr );

   // A rectangle dragged in crop mode on the other window starts nothing (not even the rubber band).
   SetImageWindowMode( 5 );
   QTest::mousePress( second->viewport(), Qt::LeftButton, Qt::NoModifier, At( *second, 10, 10 ) );
   EXPECT_FALSE( second->rubberBandActive );
   QTest::mouseRelease( second->viewport(), Qt::LeftButton, Qt::NoModifier, At( *second, 60, 50 ) );
   EXPECT_EQ( second->dynamicCropData, nullptr );
   EXPECT_TRUE( prompter.UnexpectedRecords().empty() );
}

TEST_F( DynamicSessionsTest, TheCursorOverASessionShowsWhatADragWouldDo )
{
   TImageWindow* w = Shown();
   auto* crop = new ScriptedCrop( w );
   w->dynamicCropData.reset( crop );
   SetImageWindowMode( 5 );
   struct Case
   {
      int32_t hit;
      int32_t cursor;
   };
   int step = 0; // every case at another point, so that each is a move
   for ( const Case& c : { Case{ DynamicCropData::CenterHit, CursorSelectObjectPoint },
                           Case{ DynamicCropData::CenterHit | DynamicCropData::InsideHit, CursorSelectObjectPoint },
                           Case{ DynamicCropData::ResizeHit | DynamicCropData::LeftEdge, CursorResizeObject },
                           Case{ DynamicCropData::ResizeHit | DynamicCropData::BottomEdge, CursorResizeObject },
                           Case{ DynamicCropData::ResizeHit | DynamicCropData::RightEdge | DynamicCropData::TopEdge,
                                 CursorResize2Object },
                           Case{ DynamicCropData::InsideHit, CursorMoveObject },
                           Case{ DynamicCropData::OutsideHit, CursorRotateObject },
                           Case{ DynamicCropData::NoHit, CursorCrop } } )
   {
      crop->hit = c.hit;
      QTest::mouseMove( w->viewport(), At( *w, 50 + ++step, 40 ) );
      EXPECT_EQ( w->ShownCursorSlot(), c.cursor ) << "hit " << c.hit;
   }

   // While a drag is under way the cursor follows the grabbed part, whatever lies under the pointer.
   crop->hit = DynamicCropData::OutsideHit;
   QTest::mousePress( w->viewport(), Qt::LeftButton, Qt::NoModifier, At( *w, 50, 40 ) );
   EXPECT_EQ( crop->dragMode, DynamicCropData::OutsideHit );
   crop->hit = DynamicCropData::InsideHit;
   QTest::mouseMove( w->viewport(), At( *w, 70, 45 ) );
   EXPECT_EQ( w->ShownCursorSlot(), CursorRotateObject );
   EXPECT_EQ( sessionLog, std::vector<std::string>{ "crop move 70,45" } );
   QTest::mouseRelease( w->viewport(), Qt::LeftButton, Qt::NoModifier, At( *w, 70, 45 ) );
   EXPECT_EQ( crop->dragMode, DynamicCropData::NoHit );

   // Background extraction: a sample, or a symmetry line.
   auto* dbe = new ScriptedDBE( w );
   w->dbeData.reset( dbe );
   SetImageWindowMode( 6 );
   for ( const Case& c : { Case{ DynamicBackgroundExtractionData::SampleDrag, CursorSelectObject },
                           Case{ DynamicBackgroundExtractionData::VerticalLineDrag, CursorSelectObjectPoint },
                           Case{ DynamicBackgroundExtractionData::HorizontalLineDrag, CursorSelectObjectPoint },
                           Case{ 0, CursorBkgExtraction } } )
   {
      dbe->hit = c.hit;
      QTest::mouseMove( w->viewport(), At( *w, 70 + ++step, 40 ) );
      EXPECT_EQ( w->ShownCursorSlot(), c.cursor ) << "hit " << c.hit;
   }
}

TEST_F( DynamicSessionsTest, EscapeEndsACropSessionEnterAndDeleteGoToTheirSessions )
{
   TImageWindow* w = Shown();
   w->dynamicCropData = std::make_unique<ScriptedCrop>( w );
   w->dbeData = std::make_unique<ScriptedDBE>( w );

   // Delete belongs to background extraction, and only in its mode.
   SetImageWindowMode( 5 );
   QTest::keyClick( w, Qt::Key_Delete );
   EXPECT_TRUE( sessionLog.empty() );
   SetImageWindowMode( 6 );
   QTest::keyClick( w, Qt::Key_Delete );
   QTest::keyClick( w, Qt::Key_Return );
   QTest::keyClick( w, Qt::Key_Enter );
   EXPECT_EQ( sessionLog, ( std::vector<std::string>{ "dbe delete", "crop enter", "crop enter" } ) );

   QTest::keyClick( w, Qt::Key_Escape );
   EXPECT_EQ( w->dynamicCropData, nullptr );
   EXPECT_NE( w->dbeData, nullptr ) << "Escape ends the crop session only";
   EXPECT_EQ( sessionLog.back(), "crop deleted" );
   EXPECT_EQ( w->ShownCursorSlot(), CursorBkgExtraction );

   // Without a crop session Enter does nothing here.
   sessionLog.clear();
   QTest::keyClick( w, Qt::Key_Return );
   EXPECT_TRUE( sessionLog.empty() );
}

TEST_F( DynamicSessionsTest, OverlaysArePaintedOverTheMainViewOnlyWhileTheSessionIsActive )
{
   TImageWindow* w = Shown();
   w->SetZoomAndCenter( 0, 0, 2 );
   auto pixel = [w]( int32_t x, int32_t y ) { return QColor( w->viewport()->grab().toImage().pixel( At( *w, x, y ) ) ); };
   const QColor before = pixel( 15, 15 );

   w->dynamicCropData = std::make_unique<ScriptedCrop>( w );
   w->dbeData = std::make_unique<ScriptedDBE>( w );
   EXPECT_EQ( pixel( 15, 15 ), QColor( Qt::magenta ) );
   EXPECT_EQ( pixel( 35, 15 ), QColor( Qt::cyan ) );

   // An inactive session draws nothing; neither does one while a preview is shown.
   w->dbeData->active = false;
   EXPECT_NE( pixel( 35, 15 ), QColor( Qt::cyan ) );
   TImageWindow::Preview* preview = w->CreatePreview( "", 0, 0, 100, 100 );
   w->SelectView( preview );
   EXPECT_NE( pixel( 15, 15 ), QColor( Qt::magenta ) );
   w->SelectView( w->mainView );
   EXPECT_EQ( pixel( 15, 15 ), QColor( Qt::magenta ) );
   w->StopDynamicCrop();
   EXPECT_EQ( pixel( 15, 15 ), before );
}

TEST_F( DynamicSessionsTest, ImagePointsMapToTheScreenWithTheZoomAndRoundHalvesToEven )
{
   // Large enough to fill the client area at both zooms: no offset.
   TImageWindow* w = Shown( 1600, 1000 );
   auto mapped = [w]( float x, float y ) { return w->ImageToScreen( x, y ) - QPoint( w->imageOffsetX, w->imageOffsetY ); };
   w->SetZoomAndCenter( 0, 0, 3 );
   ASSERT_EQ( QPoint( w->imageOffsetX, w->imageOffsetY ), QPoint( 0, 0 ) );
   EXPECT_EQ( mapped( 10.5f, 2.25f ), QPoint( 32, 7 ) ); // 31.5 and 6.75
   w->SetZoomAndCenter( 0, 0, -4 );
   EXPECT_EQ( mapped( 10, 14 ), QPoint( 2, 4 ) ); // 2.5 and 3.5
   // A point far off the image still maps to a coordinate a line can be drawn to.
   EXPECT_EQ( w->ImageToScreen( -1.0e30f, 1.0e30f ), QPoint( -100000000, 100000000 ) );
}

} // namespace
