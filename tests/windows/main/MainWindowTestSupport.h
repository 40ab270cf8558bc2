#ifndef LF_TESTS_MAIN_WINDOW_TEST_SUPPORT_H
#define LF_TESTS_MAIN_WINDOW_TEST_SUPPORT_H

// Helpers of the main-window tests.

#include <vector>

#include "windows/image/ImageWindow.h"

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

} // namespace test

#endif
