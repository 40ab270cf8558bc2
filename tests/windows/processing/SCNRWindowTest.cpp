// The SCNR window driven offscreen: the amount follows the method, and Apply runs the removal shown.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTest>

#include "classlib/ColorNoiseReduction.h"
#include "classlib/ImageTestSupport.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/processing/SCNRWindow.h"

namespace
{

class SCNRWindowTest : public test::ImageWindowProcessTest
{
};

TEST_F( SCNRWindowTest, TheAmountFollowsTheMethodAndApplyRunsTheRemovalShown )
{
   TSCNRWindow window;
   window.show();
   EXPECT_EQ( window.Color_ComboBox->currentText(), "Green" );
   EXPECT_EQ( window.Protection_ComboBox->currentText(), "Average Neutral" );
   EXPECT_FALSE( window.Amount_Edit->isEnabled() );
   EXPECT_FALSE( window.Amount_TrackBar->isEnabled() );
   EXPECT_FALSE( window.Amount_Label->isEnabled() );

   window.Protection_ComboBox->setCurrentIndex( 0 );
   window.Protection_ComboBox->activated( 0 );
   EXPECT_TRUE( window.Amount_Edit->isEnabled() );
   EXPECT_EQ( window.NewInstance()->ToText(), "SCNR colorToRemove=1,\nprotectionMethod=maximumMask,\namount=0.70" );

   window.Amount_TrackBar->setValue( 0 );
   EXPECT_EQ( window.Amount_Edit->text(), "0.01" );
   prompter.Expect( "Numerical value out of range" );
   window.Amount_Edit->setFocus();
   window.Amount_Edit->setText( "0" );
   QTest::keyClick( window.Amount_Edit, Qt::Key_Return );
   EXPECT_TRUE( window.inputError );
   EXPECT_EQ( window.Amount_Edit->text(), "0.01" );
   window.Amount_Edit->setText( "0.5" );
   QTest::keyClick( window.Amount_Edit, Qt::Key_Return );

   // A neutral method keeps the stored amount for a later mask method.
   window.Protection_ComboBox->setCurrentIndex( 3 );
   window.Protection_ComboBox->activated( 3 );
   EXPECT_EQ( window.NewInstance()->ToText(), "SCNR colorToRemove=1,\nprotectionMethod=maximumNeutral" );
   window.Protection_ComboBox->setCurrentIndex( 1 );
   window.Protection_ComboBox->activated( 1 );
   window.Color_ComboBox->setCurrentIndex( 0 );
   window.Color_ComboBox->activated( 0 );
   EXPECT_EQ( window.NewInstance()->ToText(), "SCNR colorToRemove=0,\nprotectionMethod=additiveMask,\namount=0.50" );

   TImageWindow* w = Make( RandomImage( 16, 9, 3, qor::ColorSpace::RGB ) );
   qor::Image expected( *w->image );
   qor::RemoveColorNoise( expected, 0, qor::ColorNoiseProtection::AdditiveMask, 0.5f );
   w->mainView->selectingWindows.Add( &window );
   window.findChild<QAbstractButton*>( "Apply_Button" )->click();
   EXPECT_TRUE( test::SamePixels( *w->image, expected ) );

   SCNR imported;
   window.ImportInstance( imported );
   EXPECT_EQ( window.Color_ComboBox->currentIndex(), 1 );
   EXPECT_FALSE( window.Amount_Edit->isEnabled() );
   EXPECT_TRUE( imported.IsInterface( &window ) );
}

} // namespace
