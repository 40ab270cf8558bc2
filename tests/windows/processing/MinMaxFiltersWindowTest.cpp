// The minimum/maximum filters window driven offscreen: its controls edit the parameters and an import refills them
// (BoxFilterWindowTest runs the filter shown).

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTest>

#include "windows/image/ImageWindowTestSupport.h"
#include "windows/processing/MinMaxFiltersWindow.h"

namespace
{

class MinMaxFiltersWindowTest : public test::ImageWindowProcessTest
{
};

TEST_F( MinMaxFiltersWindowTest, ControlsEditTheParametersAndAnImportRefillsThem )
{
   TMinMaxFiltersWindow window;
   window.show();
   EXPECT_EQ( window.windowTitle(), "Minimum/Maximum Filters" );
   EXPECT_EQ( window.BoxSize_ComboBox->count(), 12 );
   EXPECT_EQ( window.BoxSize_ComboBox->itemText( 11 ), " 25 " );
   EXPECT_EQ( window.BoxSize_ComboBox->currentText(), " 5 " );
   EXPECT_TRUE( window.Minimum_RadioButton->isChecked() );
   EXPECT_EQ( window.Amount_Edit->text(), "1.00" );

   window.BoxSize_ComboBox->setCurrentIndex( 3 );
   window.Iterations_ComboBox->setCurrentIndex( 1 );
   window.Maximum_RadioButton->click();
   window.CircularKernel_CheckBox->click();
   window.UseLuminance_CheckBox->click();
   window.Amount_TrackBar->setValue( 0 ); // the amount never goes below 0.01
   EXPECT_EQ( window.Amount_Edit->text(), "0.01" );
   window.Amount_Edit->setFocus();
   window.Amount_Edit->setText( "0.456" );
   QTest::keyClick( window.Amount_Edit, Qt::Key_Return );
   EXPECT_EQ( window.Amount_Edit->text(), "0.46" );
   EXPECT_EQ( window.Amount_TrackBar->value(), 46 );
   EXPECT_EQ( window.NewInstance()->ToText(), "MinMaxFilter boxSize=9,\nfilterType=\"max\",\nnumberOfIterations=2,\n"
                                              "amount=0.46,\ncircularKernel=1,\nuseLuminance=1" );

   // Out of range: refused with the edit's message, the stored amount shown again.
   for ( const char* text : { "0", "1.5" } )
   {
      prompter.Expect( "Numerical value out of range" );
      window.Amount_Edit->setText( text );
      QTest::keyClick( window.Amount_Edit, Qt::Key_Return );
      EXPECT_TRUE( window.inputError );
      EXPECT_EQ( window.Amount_Edit->text(), "0.46" );
   }

   MinMaxFilter imported;
   window.ImportInstance( imported );
   EXPECT_EQ( window.BoxSize_ComboBox->currentText(), " 5 " );
   EXPECT_EQ( window.Iterations_ComboBox->currentText(), " 1 " );
   EXPECT_TRUE( window.Minimum_RadioButton->isChecked() );
   EXPECT_FALSE( window.CircularKernel_CheckBox->isChecked() );
   EXPECT_FALSE( window.UseLuminance_CheckBox->isChecked() );
   EXPECT_EQ( window.Amount_TrackBar->value(), 100 );
   EXPECT_EQ( window.NewInstance()->ToText(), imported.ToText() );
   EXPECT_TRUE( imported.IsInterface( &window ) );
}

} // namespace
