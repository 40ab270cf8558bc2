#ifndef LF_TESTS_DYNAMIC_SESSION_TEST_SUPPORT_H
#define LF_TESTS_DYNAMIC_SESSION_TEST_SUPPORT_H

// The fixture of the dynamic-session tests: shown image windows at 1:1, the readout mode around each test, and the
// mouse in image coordinates.

#include <QTest>

#include "ImageWindowTestSupport.h"
#include "platform/KeyTracker.h"
#include "windows/image/ImageWindow.h"

namespace test
{

class DynamicSessionWindowTest : public ImageWindowProcessTest
{
protected:
   void SetUp() override
   {
      ImageWindowProcessTest::SetUp();
      platform::KeyTracker::Instance().ReleaseAll();
      SetImageWindowMode( 0 );
   }

   void TearDown() override
   {
      SetImageWindowMode( 0 );
      ImageWindowProcessTest::TearDown();
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

   // The viewport point of an image point of the current view.
   static QPoint At( const TImageWindow& w, float x, float y )
   {
      return w.ImageToScreen( x, y ) - QPoint( w.ScrollX(), w.ScrollY() );
   }

   static void Drag( TImageWindow& w, QPoint from, QPoint to )
   {
      QTest::mousePress( w.viewport(), Qt::LeftButton, Qt::NoModifier, from );
      QTest::mouseMove( w.viewport(), to );
      QTest::mouseRelease( w.viewport(), Qt::LeftButton, Qt::NoModifier, to );
   }
};

} // namespace test

#endif
