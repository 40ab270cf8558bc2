#ifndef LF_TESTS_MAIN_WINDOW_TEST_SUPPORT_H
#define LF_TESTS_MAIN_WINDOW_TEST_SUPPORT_H

// Helpers of the main-window tests.

#include <QTest>

#include <memory>
#include <vector>

#include "windows/image/ImageWindow.h"
#include "windows/main/MainWindow.h"

namespace test
{

// Closes every image window without a question (their changes are dropped), so the next test starts empty.
inline void DiscardAllImageWindows()
{
   std::vector<TImageWindow*> images;
   for ( TImageWindow::View* v : MainViewList )
      images.push_back( v->Window() );
   for ( TImageWindow* image : images )
   {
      image->modificationCount = 0;
      delete image->Frame();
   }
}

// A main window of 1200 x 900, shown and exposed (null when it could not be exposed).
inline std::unique_ptr<TMainWindow> ShownMainWindow()
{
   auto main = std::make_unique<TMainWindow>();
   main->resize( 1200, 900 );
   main->show();
   if ( !QTest::qWaitForWindowExposed( main.get() ) )
      main.reset();
   return main;
}

} // namespace test

#endif
