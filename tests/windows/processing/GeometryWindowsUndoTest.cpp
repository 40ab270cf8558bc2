// An image with previews resampled, rotated, cropped and turned through the processes' windows; every step is
// undone back to the original bytes and size.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QRadioButton>

#include <functional>

#include "classlib/ImageTestSupport.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/processing/CropExpandWindow.h"
#include "windows/processing/FastRotateWindow.h"
#include "windows/processing/ResampleWindow.h"
#include "windows/processing/RotateWindow.h"

namespace
{

class GeometryWindowsUndoTest : public test::ImageWindowProcessTest
{
};

TEST_F( GeometryWindowsUndoTest, EveryStepThroughItsWindowIsUndoneToTheOriginalBytes )
{
   TImageWindow* w = Make( RandomImage( 64, 48, 3, qor::ColorSpace::RGB ) );
   const qor::Image original( *w->image );

   TResampleWindow resample;
   TRotateWindow rotate;
   TCropExpandWindow crop;
   TFastRotateWindow turn;
   struct Step
   {
      const char* what;
      TProcessingWindow* window;
      std::function<void()> set;
      int32_t width, height;
      bool previewsKept;
   };
   const Step steps[] = {
      { "resample", &resample,
        [&]
        {
           resample.SelectView( w->mainView );
           resample.WidthInPixels_Edit->setText( "32" );
           RunEditExitHandler( resample.WidthInPixels_Edit );
        },
        32, 24, false },
      { "rotate", &rotate,
        [&]
        {
           rotate.SelectView( w->mainView );
           rotate.Angle_Edit->setText( "30" );
           RunEditExitHandler( rotate.Angle_Edit );
        },
        79, 73, false },
      { "crop", &crop,
        [&]
        {
           crop.SelectView( w->mainView );
           crop.Width_Edit->setText( "50" );
           RunEditExitHandler( crop.Width_Edit );
        },
        50, 48, false },
      { "turn", &turn, [&] { turn._90CCW_RadioButton->click(); }, 48, 64, true },
   };
   for ( const Step& s : steps )
      s.window->show();
   for ( const Step& s : steps )
   {
      SCOPED_TRACE( s.what );
      w->CreatePreview( "Preview01", 4, 6, 20, 16 );
      s.set();
      w->mainView->selectingWindows.Add( s.window );
      prompter.Expect( "Proceed?", platform::Answer::Yes );
      s.window->findChild<QAbstractButton*>( "Apply_SpeedButton" )->click();
      w->mainView->selectingWindows.Remove( s.window );
      ASSERT_EQ( prompter.PendingCount(), 0u );
      EXPECT_EQ( std::make_pair( w->image->Width(), w->image->Height() ), std::make_pair( s.width, s.height ) );
      EXPECT_EQ( w->previews.size(), s.previewsKept ? 1u : 0u );
      EXPECT_GT( w->modificationCount, 0 );

      w->UndoRedo();
      EXPECT_TRUE( test::SamePixels( *w->image, original ) );
      w->DeleteAllPreviews();
   }
}

} // namespace
