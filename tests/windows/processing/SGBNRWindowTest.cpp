// The SGBNR window driven offscreen: colour models and set selection, the enable rules, the numeric fields and
// the kernel size; and a run aborted inside CIE L*a*b* that the framework rolls back.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QButtonGroup>
#include <QPushButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QSlider>
#include <QTest>
#include <QToolButton>

#include <cstring>

#include "classlib/ImageTestSupport.h"
#include "process/ProcessContainer.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ProcessingStatusDialog.h"
#include "windows/processing/SGBNRWindow.h"

namespace
{

class SGBNRWindowTest : public test::ImageWindowProcessTest
{
protected:
   static void Type( QLineEdit* edit, const char* text )
   {
      edit->setFocus();
      edit->setText( text );
      QTest::keyClick( edit, Qt::Key_Return );
   }
};

TEST_F( SGBNRWindowTest, ColorModelsChooseTheSetsShown )
{
   TSGBNRWindow window;
   window.show();
   EXPECT_TRUE( window.RGBK_RadioButton->isChecked() );
   EXPECT_TRUE( window.RGBK_SpeedButton->isChecked() );
   for ( QToolButton* b : { window.L_SpeedButton, window.ab_SpeedButton, window.a_SpeedButton, window.b_SpeedButton } )
      EXPECT_FALSE( b->isEnabled() );
   EXPECT_TRUE( window.Apply_CheckBox->isChecked() );
   EXPECT_FALSE( window.Apply_CheckBox->isEnabled() );
   EXPECT_EQ( window.Info_Panel->text(), " Kernel size: 17, 289 elements" );
   EXPECT_EQ( window.Iterations_ComboBox->itemText( 0 ), " 1" );
   EXPECT_EQ( window.Iterations_ComboBox->count(), 6 );

   struct Step
   {
      QAbstractButton* click;
      int32_t set;
   } steps[] = {
      { window.CIEL_ab_RadioButton, 1 },  // from RGB/K: the L set
      { window.ab_SpeedButton, 2 },
      { window.CIEL_a_b_RadioButton, 1 }, // the a*b* set does not exist there
      { window.b_SpeedButton, 4 },
      { window.CIEL_ab_RadioButton, 1 },  // nor the b* set here
      { window.CIEL_ab_RadioButton, 1 },  // the L set shown stays
      { window.RGBK_RadioButton, 0 },
   };
   for ( const Step& s : steps )
   {
      s.click->click();
      EXPECT_EQ( window.currentSet, s.set ) << s.click->objectName().toStdString();
      EXPECT_TRUE( static_cast<QToolButton*>( window.Set_ButtonGroup->button( s.set ) )->isChecked() );
   }
   EXPECT_FALSE( window.L_SpeedButton->isEnabled() );

   // Unchecking Apply under a CIE model disables the set's filter and protection controls.
   window.CIEL_ab_RadioButton->click();
   window.ab_SpeedButton->click();
   EXPECT_TRUE( window.Apply_CheckBox->isEnabled() );
   window.Apply_CheckBox->click();
   for ( QWidget* w : { static_cast<QWidget*>( window.Sigma_Edit ), static_cast<QWidget*>( window.Amount_TrackBar ),
                        static_cast<QWidget*>( window.Iterations_ComboBox ), static_cast<QWidget*>( window.EPDarkSides_CheckBox ),
                        static_cast<QWidget*>( window.EPBrightSidesThreshold_Edit ) } )
      EXPECT_FALSE( w->isEnabled() ) << w->objectName().toStdString();
   EXPECT_EQ( window.NewInstance()->ToText(),
              "SGBNR colorModel=1,\n\n// CIE L*\nsigma[1]=1.5,\namount[1]=0.80,\n"
              "darkSidesEdgesProtection[1]={threshold=0.250,overdrive=0.00},\n"
              "brightSidesEdgesProtection[1]={threshold=0.250,overdrive=0.00},\n\n"
              "// CIE a*b*\nsigma[2]=1.5,\namount[2]=0.80,\n"
              "darkSidesEdgesProtection[2]={threshold=0.250,overdrive=0.00},\n"
              "brightSidesEdgesProtection[2]={threshold=0.250,overdrive=0.00}" );
   EXPECT_FALSE( dynamic_cast<SGBNR&>( *window.NewInstance() ).Params().apply[2] );
}

TEST_F( SGBNRWindowTest, NumericFieldsIterationsAndKernelSize )
{
   TSGBNRWindow window;
   window.show();

   // Sigma and the kernel size.
   Type( window.Sigma_Edit, "0.1" );
   EXPECT_EQ( window.Info_Panel->text(), " Kernel size: 3, 9 elements" );
   window.Sigma_TrackBar->setValue( 100 );
   EXPECT_EQ( window.Sigma_Edit->text(), "10.0" );
   EXPECT_EQ( window.Info_Panel->text(), " Kernel size: 107, 11449 elements" );
   prompter.Expect( "Numerical value out of range" );
   Type( window.Sigma_Edit, "12" );
   EXPECT_TRUE( window.inputError );
   EXPECT_EQ( window.Sigma_Edit->text(), "10.0" );
   EXPECT_EQ( window.parameters.sigma[0], 10.0f );

   // Amount 1 filters once: iterations 1 and disabled; a lower amount enables them again.
   window.Iterations_ComboBox->setCurrentIndex( 2 );
   window.Iterations_ComboBox->activated( 2 );
   EXPECT_EQ( window.parameters.numberOfIterations[0], 3 );
   Type( window.Amount_Edit, "1" );
   EXPECT_EQ( window.parameters.numberOfIterations[0], 1 );
   EXPECT_FALSE( window.Iterations_ComboBox->isEnabled() );
   EXPECT_FALSE( window.Iterations_Label->isEnabled() );
   window.Amount_TrackBar->setValue( 50 );
   EXPECT_EQ( window.Amount_Edit->text(), "0.50" );
   EXPECT_TRUE( window.Iterations_ComboBox->isEnabled() );
   EXPECT_EQ( window.Iterations_ComboBox->currentIndex(), 0 );

   // Thresholds take three decimals typed, two from the track bar, whose left end is 0.01.
   Type( window.EPDarkSidesThreshold_Edit, "0.005" );
   EXPECT_EQ( window.parameters.darkSidesThreshold[0], 0.005f );
   EXPECT_EQ( window.EPDarkSidesThreshold_Edit->text(), "0.005" );
   EXPECT_EQ( window.EPDarkSidesThreshold_TrackBar->value(), 0 );
   window.EPDarkSidesThreshold_TrackBar->setValue( 37 );
   EXPECT_EQ( window.EPDarkSidesThreshold_Edit->text(), "0.190" );
   window.EPDarkSidesThreshold_TrackBar->setValue( 100 );
   EXPECT_EQ( window.parameters.darkSidesThreshold[0], 0.5f );

   // A side switched off keeps its values and disables them.
   window.EPDarkSides_CheckBox->click();
   EXPECT_FALSE( window.parameters.darkSidesEdgesProtection[0] );
   EXPECT_FALSE( window.EPDarkSidesThreshold_Edit->isEnabled() );
   EXPECT_FALSE( window.EPDarkSidesOverdrive_TrackBar->isEnabled() );
   EXPECT_TRUE( window.EPBrightSidesThreshold_Edit->isEnabled() );
   EXPECT_EQ( window.parameters.darkSidesThreshold[0], 0.5f );
   window.ResetEdgesProtection_Button->click();
   EXPECT_TRUE( window.EPDarkSidesThreshold_Edit->isEnabled() );
   EXPECT_EQ( window.EPDarkSidesThreshold_Edit->text(), "0.250" );

   // The luminance mask's fields follow its box; Reset turns it off.
   EXPECT_FALSE( window.LuminanceMaskGamma_Edit->isEnabled() );
   window.LuminanceMask_CheckBox->click();
   EXPECT_TRUE( window.LuminanceMaskGamma_Edit->isEnabled() );
   window.LuminanceMaskClipping_TrackBar->setValue( 50 );
   EXPECT_EQ( window.LuminanceMaskClipping_Edit->text(), "0.40" );
   window.ResetLuminanceMask_Button->click();
   EXPECT_FALSE( window.parameters.luminanceMask );
   EXPECT_EQ( window.LuminanceMaskClipping_Edit->text(), "0.15" );

   // An imported set shown with amount 1 filters once; the other sets keep their iterations until shown.
   SGBNR::Parameters p;
   p.colorModel = 2;
   p.amount[1] = p.amount[3] = 1.0f;
   p.numberOfIterations[1] = p.numberOfIterations[3] = 3;
   window.ImportInstance( SGBNR( p ) );
   EXPECT_EQ( window.currentSet, 1 );
   EXPECT_EQ( window.parameters.numberOfIterations[1], 1 );
   EXPECT_EQ( window.parameters.numberOfIterations[3], 3 );
   EXPECT_TRUE( window.CIEL_a_b_RadioButton->isChecked() );
}

// An abort inside CIE L*a*b* gives the image back bit for bit, grey or colour.
TEST_F( SGBNRWindowTest, AnAbortInsideCIELabIsRolledBackBitForBit )
{
   for ( int32_t channels : { 3, 1 } )
   {
      SCOPED_TRACE( channels );
      const int32_t space = channels == 3 ? qor::ColorSpace::RGB : qor::ColorSpace::Gray;
      TImageWindow* w = Make( RandomImage( 70, 50, channels, space ) );
      const qor::Image before( *w->image );
      TMainWindow main;
      StatusDialog().progressHook = [&]( int32_t ) {
         if ( w->image->GetColorSpace() == qor::ColorSpace::CIELab )
            main.RequestAbort();
      };
      prompter.Expect( "Abort process?", platform::Answer::Yes );
      prompter.Expect( "Process aborted." );
      SGBNR::Parameters p;
      p.colorModel = 1;
      SGBNR sgbnr( p );
      EXPECT_FALSE( sgbnr.LaunchOn( *w->mainView ) );
      StatusDialog().progressHook = nullptr;
      EXPECT_TRUE( test::SamePixels( *w->image, before ) );
      EXPECT_EQ( w->image->GetColorSpace(), space );
      EXPECT_EQ( w->mainView->History().instances.Length(), 0u );
   }
}

} // namespace
