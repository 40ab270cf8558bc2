// The Dynamic Crop dialog driven offscreen while it serves a session: sizes by the anchor, the anchor point, the
// angle from the edit, the direction box and the dial, the rotation centre, the closing question and the instance.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QTest>
#include <QToolButton>

#include <cmath>
#include <numbers>

#include "process/DynamicCrop.h"
#include "windows/image/DynamicSessions.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/processing/DynamicCropDialog.h"

namespace
{

const float pi = std::numbers::pi_v<float>;

class DynamicCropDialogTest : public test::ImageWindowProcessTest
{
protected:
   void SetUp() override
   {
      ImageWindowProcessTest::SetUp();
      dialog.anchor = 4;
      dialog.anchorButtons[4]->setChecked( true );
   }

   // A session on a w x h image: the rectangle (10, 20) .. (110, 70).
   DynamicCropData& Session( int32_t w = 200, int32_t h = 150 )
   {
      window = Make( new qor::Image( w, h, 1 ) );
      window->StartDynamicCrop( 10, 20, 110, 70 );
      EXPECT_EQ( dialog.cropData, window->dynamicCropData.get() );
      return *window->dynamicCropData;
   }

   void Enter( QLineEdit* edit, const QString& text )
   {
      edit->setText( text );
      RunEditExitHandler( edit );
   }

   TDynamicCropDialog& dialog = DynamicCropDialog();
   TImageWindow* window = nullptr;
};

TEST_F( DynamicCropDialogTest, AWidthOrHeightEnteredKeepsTheAnchorsSide )
{
   DynamicCropData& d = Session();
   EXPECT_EQ( dialog.Width_Edit->text(), "100" );
   EXPECT_EQ( dialog.Height_Edit->text(), "50" );
   EXPECT_EQ( dialog.AnchorX_Edit->text(), "60.00" );
   EXPECT_EQ( dialog.AnchorY_Edit->text(), "45.00" );

   // Anchored at the centre both sides move out by 5.
   Enter( dialog.Width_Edit, "110" );
   EXPECT_EQ( std::make_pair( d.width, d.centerX ), std::make_pair( 110.f, 60.f ) );
   // Anchored top-left the right side and the bottom move; the anchor point stays at (5, 20).
   dialog.anchorButtons[0]->click();
   EXPECT_EQ( dialog.AnchorX_Edit->text(), "5.00" );
   EXPECT_EQ( dialog.AnchorY_Edit->text(), "20.00" );
   Enter( dialog.Width_Edit, "120" );
   Enter( dialog.Height_Edit, "60" );
   EXPECT_EQ( std::make_tuple( d.width, d.height, d.centerX, d.centerY ), std::make_tuple( 120.f, 60.f, 65.f, 50.f ) );
   EXPECT_EQ( dialog.AnchorX_Edit->text(), "5.00" );
   // Anchored bottom-right the left side moves.
   dialog.anchorButtons[8]->click();
   Enter( dialog.Width_Edit, "100" );
   EXPECT_EQ( std::make_pair( d.width, d.centerX ), std::make_pair( 100.f, 75.f ) );

   // The same width again changes nothing; a width out of range is refused and the edit shows the width again.
   Enter( dialog.Width_Edit, "100" );
   EXPECT_EQ( dialog.Width_Edit->text(), "100" );
   EXPECT_EQ( d.width, 100.f );
   for ( const char* bad : { "0", "32001" } )
   {
      prompter.Expect( "Numerical value out of range" );
      dialog.inputError = false;
      Enter( dialog.Width_Edit, bad );
      EXPECT_TRUE( dialog.inputError ) << bad;
      EXPECT_EQ( dialog.Width_Edit->text(), "100" );
      EXPECT_EQ( d.width, 100.f );
   }
}

TEST_F( DynamicCropDialogTest, TheAnchorEditsMoveTheRectangleAlongOneAxis )
{
   DynamicCropData& d = Session();
   dialog.anchorButtons[2]->click(); // top-right: (110, 20)
   Enter( dialog.AnchorX_Edit, "130.5" );
   EXPECT_EQ( std::make_pair( d.centerX, d.centerY ), std::make_pair( 80.5f, 45.f ) );
   Enter( dialog.AnchorY_Edit, "0" );
   EXPECT_EQ( std::make_pair( d.centerX, d.centerY ), std::make_pair( 80.5f, 25.f ) );
   EXPECT_EQ( dialog.AnchorX_Edit->text(), "130.50" );
   EXPECT_EQ( dialog.AnchorY_Edit->text(), "0.00" );
   EXPECT_EQ( std::make_pair( d.width, d.height ), std::make_pair( 100.f, 50.f ) );
}

TEST_F( DynamicCropDialogTest, TheAngleComesFromTheEditTheDirectionBoxAndTheDial )
{
   DynamicCropData& d = Session();
   Enter( dialog.Angle_Edit, "30" );
   EXPECT_NEAR( d.angle, 30 * pi / 180, 1e-6 );
   EXPECT_FALSE( dialog.Clockwise_CheckBox->isChecked() );
   dialog.Clockwise_CheckBox->click();
   EXPECT_NEAR( d.angle, -30 * pi / 180, 1e-6 );
   EXPECT_EQ( dialog.Angle_Edit->text(), "30.000" );
   prompter.Expect( "Numerical value out of range" );
   Enter( dialog.Angle_Edit, "181" );
   EXPECT_EQ( dialog.Angle_Edit->text(), "30.000" );

   // The dial snaps to tenths of a degree: a point up and to the right at 45 degrees and a little more.
   const int w = dialog.Angle_PaintBox->width(), h = dialog.Angle_PaintBox->height();
   QTest::mousePress( dialog.Angle_PaintBox, Qt::LeftButton, {}, QPoint( w / 2 + 30, h / 2 - 31 ) );
   EXPECT_TRUE( dialog.dialDragging );
   QTest::mouseRelease( dialog.Angle_PaintBox, Qt::LeftButton, {}, QPoint( w / 2 + 30, h / 2 - 31 ) );
   EXPECT_FALSE( dialog.dialDragging );
   const double degrees = std::atan2( 31.0, 30.0 ) * 180 / std::numbers::pi;
   EXPECT_EQ( dialog.Angle_Edit->text(), QString::number( std::round( degrees * 10 ) / 10, 'f', 3 ) );
   EXPECT_TRUE( dialog.Angle_Edit->text().endsWith( "00" ) );
   EXPECT_NEAR( d.angle, std::round( degrees * 10 ) / 10 * std::numbers::pi / 180, 1e-6 );

   // With a placed rotation centre the angle shown is the direction of the rectangle's centre seen from it.
   Enter( dialog.Angle_Edit, "0" );
   Enter( dialog.CenterX_Edit, "60" );
   Enter( dialog.CenterY_Edit, "145" );
   EXPECT_TRUE( d.rotationCenterMoved );
   EXPECT_EQ( std::make_pair( d.rotationCenterX, d.rotationCenterY ), std::make_pair( 60.f, 145.f ) );
   EXPECT_EQ( dialog.Angle_Edit->text(), "90.000" );
   EXPECT_FALSE( dialog.Clockwise_CheckBox->isChecked() );
   // Typing 0 then swings the rectangle about that point until its centre lies straight to the right.
   Enter( dialog.Angle_Edit, "0" );
   EXPECT_NEAR( d.centerX, 160, 1e-4 );
   EXPECT_NEAR( d.centerY, 145, 1e-4 );
   EXPECT_NEAR( d.angle, -pi / 2, 1e-6 );
}

TEST_F( DynamicCropDialogTest, TheInstanceIsTheRectangleRelativeToTheImage )
{
   window = Make( new qor::Image( 2000, 1000, 1 ) );
   window->StartDynamicCrop( 750, 375, 1250, 625 );
   dialog.OptimizeFast_CheckBox->setChecked( false );
   std::unique_ptr<Process> instance = dialog.NewInstance();
   ASSERT_NE( instance, nullptr );
   const auto& p = static_cast<DynamicCrop&>( *instance ).Params();
   EXPECT_EQ( std::make_tuple( p.centerX, p.centerY, p.width, p.height ), std::make_tuple( 0.5f, 0.5f, 0.25f, 0.25f ) );
   EXPECT_FALSE( p.optimizeFastRotations );
   EXPECT_EQ( p.fillColor.red, 0.f );
   EXPECT_EQ( p.interpolation.algorithm, InterpolationParameters::Bicubic );
   EXPECT_TRUE( instance->IsInterface( &dialog ) );

   // An instance dropped on the dialog restarts the edit from it.
   DynamicCrop dropped;
   dropped.Params().centerX = 0.25f;
   dropped.Params().centerY = 0.5f;
   dropped.Params().width = 0.1f;
   dropped.Params().height = 0.2f;
   dropped.Params().optimizeFastRotations = true;
   dialog.ImportInstance( dropped );
   const DynamicCropData& d = *window->dynamicCropData;
   EXPECT_EQ( std::make_tuple( d.centerX, d.centerY, d.width, d.height ), std::make_tuple( 500.f, 500.f, 200.f, 200.f ) );
   EXPECT_TRUE( dialog.OptimizeFast_CheckBox->isChecked() );
   EXPECT_EQ( dialog.Width_Edit->text(), "200" );

   window->StopDynamicCrop();
   EXPECT_EQ( dialog.NewInstance(), nullptr ) << "without an edit OK runs nothing";
}

TEST_F( DynamicCropDialogTest, ClosingAsksAndCancelEndsTheEdit )
{
   Session();
   dialog.move( 4000, 4000 );
   prompter.Expect( "Cancel Dynamic Crop/Rotate?", platform::Answer::No );
   dialog.close();
   EXPECT_TRUE( dialog.isVisible() );
   EXPECT_NE( window->dynamicCropData, nullptr );

   prompter.Expect( "Cancel Dynamic Crop/Rotate?", platform::Answer::Yes );
   dialog.close();
   EXPECT_FALSE( dialog.isVisible() );
   EXPECT_EQ( window->dynamicCropData, nullptr );
   EXPECT_EQ( dialog.cropData, nullptr );

   Session();
   dialog.Cancel_SpeedButton->click();
   EXPECT_EQ( window->dynamicCropData, nullptr );
   EXPECT_FALSE( dialog.isVisible() );
}

} // namespace
