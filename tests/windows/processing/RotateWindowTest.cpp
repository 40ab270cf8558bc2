// The Rotate window driven offscreen: the angle and its direction from the edit and the dial, the result size, the
// fill colour's grey mode and the instances both ways.

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "process/Rotate.h"
#include "windows/frames/SelectColorFrame.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/processing/RotateWindow.h"

namespace
{

class RotateWindowTest : public test::ImageWindowProcessTest
{
};

TEST_F( RotateWindowTest, TheAngleComesFromTheEditAndTheDial )
{
   TRotateWindow window;
   EXPECT_EQ( window.Angle_Edit->text(), "45.000" );
   EXPECT_TRUE( window.Clockwise_RadioButton->isChecked() );
   EXPECT_EQ( window.OriginalInfo_Panel->text(), "Original: 100x100, 0.038 MB" );

   window.Angle_Edit->setText( "90" );
   RunEditExitHandler( window.Angle_Edit );
   EXPECT_EQ( window.NewInstance()->ToText().substr( 0, 28 ), "Rotate rotationAngle=-90.000" );
   for ( const char* bad : { "181", "-5" } )
   {
      prompter.Expect( "Numerical value out of range" );
      window.inputError = false;
      window.Angle_Edit->setText( bad );
      RunEditExitHandler( window.Angle_Edit );
      EXPECT_TRUE( window.inputError );
      EXPECT_EQ( window.Angle_Edit->text(), "90.000" );
   }

   // The dial: straight above the centre, below it, to the left.
   const int w = window.Angle_PaintBox->width(), h = window.Angle_PaintBox->height();
   struct Case
   {
      QPoint at;
      const char* angle;
      bool clockwise;
   };
   for ( const Case& c : { Case{ { w / 2, 0 }, "90.000", false }, Case{ { w / 2, h - 1 }, "90.000", true },
                           Case{ { 0, h / 2 }, "180.000", false } } )
   {
      QTest::mousePress( window.Angle_PaintBox, Qt::LeftButton, {}, c.at );
      QTest::mouseRelease( window.Angle_PaintBox, Qt::LeftButton, {}, c.at );
      EXPECT_EQ( window.Angle_Edit->text(), c.angle );
      EXPECT_EQ( window.Clockwise_RadioButton->isChecked(), c.clockwise );
   }
}

TEST_F( RotateWindowTest, TheTargetGivesTheSizesAndTheFillMode )
{
   TRotateWindow window;
   TImageWindow* grey = Make( new qor::Image( 100, 50, 1 ) );
   window.SelectView( grey->mainView );
   EXPECT_EQ( window.ResultInfo_Panel->text(), "106x106, 32-bits memory size: 0.043 MB" );
   EXPECT_TRUE( window.FillColor_Frame->grayOnly );
   TImageWindow* rgb = Make( new qor::Image( 10, 10, 3, qor::ColorSpace::RGB ) );
   window.SelectView( rgb->mainView );
   EXPECT_FALSE( window.FillColor_Frame->grayOnly );

   Rotate imported;
   imported.Params().rotationAngle = float( -30 * 0.017453292519943295 );
   window.ImportInstance( imported );
   EXPECT_EQ( window.Angle_Edit->text(), "30.000" );
   EXPECT_TRUE( window.Clockwise_RadioButton->isChecked() );
   imported.Params().rotationAngle = -imported.Params().rotationAngle;
   window.ImportInstance( imported );
   EXPECT_TRUE( window.CounterClockwise_RadioButton->isChecked() );
   EXPECT_TRUE( imported.IsInterface( &window ) );
}

} // namespace
