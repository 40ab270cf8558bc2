// Keys that trigger a shortcut reach the program only as a shortcut override: they must still read as held.

#include <gtest/gtest.h>

#include <QAction>
#include <QSignalSpy>
#include <QTest>
#include <QWidget>

#include "TestSupport.h"
#include "platform/KeyTracker.h"

namespace
{

using KeyTrackerTest = test::ScriptedUiTest;

TEST_F( KeyTrackerTest, AKeyThatTriggersAShortcutIsHeldUntilItsRelease )
{
   platform::KeyTracker& keys = platform::KeyTracker::Instance();
   QWidget window;
   QAction action( "Preview", &window );
   action.setShortcut( Qt::Key_F5 );
   window.addAction( &action );
   QSignalSpy triggered( &action, &QAction::triggered );
   window.show();
   window.activateWindow();
   ASSERT_TRUE( QTest::qWaitForWindowActive( &window ) );

   QTest::keyPress( &window, Qt::Key_F5 );
   ASSERT_EQ( 1, triggered.count() ); // the shortcut took the key: no key press was delivered
   EXPECT_TRUE( keys.IsKeyDown( Qt::Key_F5 ) );
   QTest::keyRelease( &window, Qt::Key_F5 );
   EXPECT_FALSE( keys.IsKeyDown( Qt::Key_F5 ) );

   // With a modifier, as Ctrl+F9 would be bound.
   action.setShortcut( QKeySequence( Qt::CTRL | Qt::Key_F9 ) );
   QTest::keyPress( &window, Qt::Key_Control );
   QTest::keyPress( &window, Qt::Key_F9, Qt::ControlModifier );
   ASSERT_EQ( 2, triggered.count() );
   EXPECT_TRUE( keys.IsKeyDown( Qt::Key_F9 ) );
   EXPECT_TRUE( keys.IsControlDown() );
   QTest::keyRelease( &window, Qt::Key_F9, Qt::ControlModifier );
   QTest::keyRelease( &window, Qt::Key_Control );
   EXPECT_FALSE( keys.IsKeyDown( Qt::Key_F9 ) );
   EXPECT_FALSE( keys.IsControlDown() );
}

} // namespace
