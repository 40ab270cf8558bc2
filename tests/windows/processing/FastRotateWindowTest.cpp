// The Fast Rotate window driven offscreen, and fast rotations of real image windows with previews and undo.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QRadioButton>

#include "classlib/ImageTestSupport.h"
#include "process/FastRotate.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/processing/FastRotateWindow.h"

namespace
{

class FastRotateWindowTest : public test::ImageWindowProcessTest
{
};

TEST_F( FastRotateWindowTest, TheCheckedButtonIsTheRotationBothWays )
{
   TFastRotateWindow window;
   EXPECT_TRUE( window._180_RadioButton->isChecked() );
   QRadioButton* buttons[] = { window._180_RadioButton, window._90CW_RadioButton, window._90CCW_RadioButton,
                               window.HorzMirror_RadioButton, window.VertMirror_RadioButton };
   for ( int32_t r = 0; r < 5; ++r )
   {
      buttons[r]->click();
      EXPECT_EQ( window.NewInstance()->ToText(), std::string( "FastRotate rotation=\"" ) + FastRotate::RotationName( r ) + '"' );
   }
   window.ImportInstance( FastRotate( FastRotate::_90degCCW ) );
   EXPECT_TRUE( window._90CCW_RadioButton->isChecked() );
   window.ImportInstance( FastRotate( 7 ) );
   EXPECT_TRUE( window._180_RadioButton->isChecked() );
   EXPECT_TRUE( FastRotate().IsInterface( &window ) );
}

TEST_F( FastRotateWindowTest, ApplyTurnsTheImageWithItsPreviewsAndUndoBringsBackTheBytes )
{
   TImageWindow* w = Make( RandomImage( 300, 200, 3, qor::ColorSpace::RGB ) );
   const qor::Image original( *w->image );
   w->CreatePreview( "Preview01", 10, 20, 50, 30 );
   w->CreatePreview( "Preview02", 0, 0, 300, 200 );

   TFastRotateWindow window;
   window.show();
   window._90CW_RadioButton->click();
   w->mainView->selectingWindows.Add( &window );
   prompter.Expect( "Stored previews will be lost", platform::Answer::Yes );
   window.findChild<QAbstractButton*>( "Apply_SpeedButton" )->click();

   ASSERT_EQ( w->image->Width(), 200 );
   ASSERT_EQ( w->previews.size(), 2u );
   TImageWindow::Preview* p = w->previews[0];
   EXPECT_EQ( p->Identifier(), "Preview01" );
   EXPECT_EQ( std::make_tuple( p->left, p->top, p->GetImage().Width(), p->GetImage().Height() ),
              std::make_tuple( 150, 10, 30, 50 ) );
   // The preview shows the turned pixels of its old rectangle: its top-right sample was the old top-left one.
   EXPECT_EQ( p->GetImage().Pixel( 29, 0, 1 ), original.Pixel( 10, 20, 1 ) );
   EXPECT_EQ( w->previews[1]->Identifier(), "Preview02" );
   EXPECT_EQ( w->previews[1]->GetImage().Width(), 200 );

   w->UndoRedo();
   EXPECT_TRUE( test::SamePixels( *w->image, original ) );
}

} // namespace
