// The Integer Resample window driven offscreen: factor limits from the target, result texts, instances both ways.

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTest>

#include "process/IntegerResample.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/processing/IntegerResampleWindow.h"

namespace
{

class IntegerResampleWindowTest : public test::ImageWindowProcessTest
{
protected:
   // Types the factor and leaves the edit; true when it was accepted.
   bool Type( TIntegerResampleWindow& window, const char* text )
   {
      window.inputError = false;
      window.ResamplingFactor_Edit->setText( text );
      window.ResamplingFactor_EditExit();
      return !window.inputError;
   }
};

TEST_F( IntegerResampleWindowTest, TheFactorIsLimitedByTheTarget )
{
   TIntegerResampleWindow window;
   TImageWindow* w = Make( new qor::Image( 1000, 600, 1 ) );
   window.SelectView( w->mainView );
   EXPECT_TRUE( Type( window, "600" ) );
   prompter.Expect( "Numerical value out of range" );
   EXPECT_FALSE( Type( window, "601" ) );
   EXPECT_EQ( window.ResamplingFactor_Edit->text(), "600" );
   window.Oversample_RadioButton->click();
   EXPECT_FALSE( window.Subsample_RadioButton->isChecked() );
   // The factor stays although it exceeds the new limit; the process refuses the size.
   EXPECT_EQ( window.NewInstance()->ToText(), "IntegerResample resampleFactor=+600" );
   EXPECT_FALSE( window.NewInstance()->CanExecuteOn( *w->mainView ) );
   EXPECT_TRUE( Type( window, "32" ) );
   prompter.Expect( "Numerical value out of range" );
   EXPECT_FALSE( Type( window, "33" ) );
}

TEST_F( IntegerResampleWindowTest, ResultTextsAndImportedFactors )
{
   TIntegerResampleWindow window;
   TImageWindow* w = Make( new qor::Image( 101, 51, 1 ) );
   window.SelectView( w->mainView );
   EXPECT_EQ( window.ResultInfo_Panel->text(), "50x25, 32-bits memory size: 0.005 MB" );
   EXPECT_EQ( window.OriginalInfo_Panel->text(), "Original: 101x51, 0.020 MB" );
   EXPECT_EQ( TGeometryWindow::ResultInfoText( 3, 30000, 30000 ), "30000x30000, 32-bits memory size: 10299.683 MB" );

   window.ImportInstance( IntegerResample( 3 ) );
   EXPECT_TRUE( window.Oversample_RadioButton->isChecked() );
   EXPECT_EQ( window.ResultInfo_Panel->text(), "303x153, 32-bits memory size: 0.177 MB" );
   window.ImportInstance( IntegerResample( 0 ) );
   EXPECT_FALSE( window.Oversample_RadioButton->isChecked() );
   EXPECT_FALSE( window.Subsample_RadioButton->isChecked() );
   EXPECT_EQ( window.NewInstance()->ToText(), "IntegerResample resampleFactor=+0" );

   // The target's deletion leaves the window with the sizes of no target.
   delete w;
   EXPECT_EQ( window.OriginalInfo_Panel->text(), "Original: 100x100, 0.038 MB" );
}

} // namespace
