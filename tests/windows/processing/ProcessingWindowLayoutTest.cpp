// What every processing window shows of the framework: each standard button has its picture, and the new-instance
// handle is visible, lies over every other control (the mouse finds it at its centre) and starts a drag there.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QDrag>
#include <QImage>
#include <QLabel>
#include <QRadioButton>
#include <QTest>

#include <memory>
#include <string>

#include "TestSupport.h"
#include "platform/DragRunner.h"
#include "process/ProcessRegistry.h"
#include "process/ProcessWindows.h"
#include "windows/main/MainWindow.h"
#include "windows/main/MainWindowTestSupport.h"
#include "windows/processing/ProcessingWindow.h"

namespace
{

bool IsStandardButton( const QAbstractButton* button )
{
   if ( qobject_cast<const QCheckBox*>( button ) != nullptr || qobject_cast<const QRadioButton*>( button ) != nullptr )
      return false;
   for ( const char* prefix : { "Preview_", "Apply_", "SelectPreviews_", "SelectImages_", "Reset_" } )
      if ( button->objectName().startsWith( prefix ) )
         return true;
   return false;
}

// Whether the picture has a pixel of another colour than its middle row's first one: not an empty square.
bool DrawsSomething( const QImage& image )
{
   if ( image.isNull() )
      return false;
   const QRgb ground = image.pixel( 0, image.height() / 2 );
   for ( int y = 0; y < image.height(); ++y )
      for ( int x = 0; x < image.width(); ++x )
         if ( image.pixel( x, y ) != ground )
            return true;
   return false;
}

class ProcessingWindowLayoutTest : public test::ScriptedUiTest
{
protected:
   void SetUp() override
   {
      test::ScriptedUiTest::SetUp();
      main = test::ShownMainWindow();
      drags.SetUnexpectedHandler( []( const platform::DragRecord& ) { ADD_FAILURE() << "unexpected drag"; } );
   }

   void TearDown() override
   {
      for ( TProcessingWindow* window : ProcessingWindows )
         window->hide();
      main.reset();
      test::ScriptedUiTest::TearDown();
   }

   // The processing window of the process, shown by the program's own launch path.
   static TProcessingWindow* OpenWindowOf( const Process& prototype )
   {
      if ( !OpenProcessWindow( prototype ) )
         return nullptr;
      for ( TProcessingWindow* window : ProcessingWindows )
         if ( prototype.IsInterface( window ) && window->isVisible() )
            return window;
      return nullptr;
   }

   std::unique_ptr<TMainWindow> main;
   platform::ScriptedDragRunner drags;
   platform::DragRunnerScope dragScope{ drags };
};

} // namespace

TEST_F( ProcessingWindowLayoutTest, EveryWindowShowsItsButtonsAndAHandleThatCanBeDragged )
{
   ASSERT_NE( main, nullptr );
   const ProcessRegistry::ByCategoryList& list = TheProcessRegistry().ByCategory();
   int windows = 0;
   for ( size_t k = 0; k < list.Length(); ++k )
   {
      const Process& prototype = list[k]->Prototype();
      const std::string id = prototype.Id();
      if ( !IsProcessWindowAvailable( id ) )
         continue;
      SCOPED_TRACE( id );
      TProcessingWindow* window = OpenWindowOf( prototype );
      ASSERT_NE( window, nullptr );
      ++windows;
      ASSERT_TRUE( QTest::qWaitForWindowExposed( window ) );

      int standard = 0;
      for ( QAbstractButton* button : window->findChildren<QAbstractButton*>() )
         if ( IsStandardButton( button ) && button->isVisible() )
         {
            ++standard;
            EXPECT_TRUE( DrawsSomething( button->icon().pixmap( 18, 18 ).toImage() ) )
                << button->objectName().toStdString();
         }
      EXPECT_GT( standard, 0 );

      TProcessingInterface::ProcessDragObject* handle = window->processDragObject;
      ASSERT_NE( handle, nullptr );
      ASSERT_TRUE( handle->isVisible() );
      const auto* picture = handle->findChild<QLabel*>();
      ASSERT_NE( picture, nullptr );
      EXPECT_TRUE( DrawsSomething( picture->pixmap().toImage() ) );

      // Nothing lies over the handle: the mouse at its centre reaches it, and a press and a move there drag.
      const QPoint centre = handle->mapTo( window, handle->rect().center() );
      QWidget* hit = window->childAt( centre );
      EXPECT_EQ( hit, handle ) << ( hit != nullptr ? hit->objectName().toStdString() : "nothing" );
      if ( hit == nullptr )
         continue;
      bool started = false;
      drags.Expect(
          [&]( QDrag& )
          {
             started = true;
             return Qt::IgnoreAction;
          } );
      const QPoint at = hit->mapFrom( window, centre );
      QTest::mousePress( hit, Qt::LeftButton, Qt::NoModifier, at );
      QTest::mouseMove( hit, at + QPoint( 3, 2 ) );
      QTest::mouseRelease( hit, Qt::LeftButton, Qt::NoModifier, at + QPoint( 3, 2 ) );
      EXPECT_TRUE( started );
      if ( !started )
         drags.Clear();
      window->hide();
   }
   EXPECT_GE( windows, 20 );
}
