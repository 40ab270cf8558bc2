// The RGB working space window driven offscreen: edits and track bars, the sRGB and global switches, loading values
// from windows and instances, and values that make no working space.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSlider>

#include "windows/frames/ViewsListFrame.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/processing/RGBSpaceParametersWindow.h"

namespace
{

class RGBSpaceParametersWindowTest : public test::ImageWindowTest
{
protected:
   void SetUp() override
   {
      test::ImageWindowTest::SetUp();
      savedGlobal = GlobalRGBWorkingSpace;
   }
   void TearDown() override
   {
      GlobalRGBWorkingSpace = savedGlobal;
      test::ImageWindowTest::TearDown();
   }
   static void SetGamma( qor::RGBColorSystem& ws, float gamma )
   {
      const qor::RGBColorSystem::Data d = ws.Values();
      ws.SetParameters( gamma, false, d.x, d.y, d.Y );
   }

   qor::RGBColorSystem savedGlobal;
   TRGBSpaceParametersWindow window;
};

TEST_F( RGBSpaceParametersWindowTest, EditsAndTrackBarsKeepTheirRanges )
{
   EXPECT_EQ( window.Y_Edit[0]->text(), "0.222491" );
   EXPECT_EQ( window.Y_TrackBar[0]->value(), 44 );

   prompter.Expect( QRegularExpression( "." ) );
   window.Y_Edit[0]->setText( "0" );
   RunEditExitHandler( window.Y_Edit[0] );
   EXPECT_TRUE( window.inputError );
   EXPECT_EQ( window.Y_Edit[0]->text(), "0.222491" );

   window.Y_TrackBar[0]->setValue( 0 );
   EXPECT_EQ( window.parameters.Y[0], 0.000001f );
   EXPECT_EQ( window.Y_Edit[0]->text(), "0.000001" );
   window.Y_TrackBar[1]->setValue( 101 );
   EXPECT_EQ( window.parameters.Y[1], 0.505f );

   window.x_Edit[2]->setText( "0.15" );
   RunEditExitHandler( window.x_Edit[2] );
   EXPECT_EQ( window.parameters.x[2], 0.15f );
   EXPECT_EQ( window.x_Edit[2]->text(), "0.150000" );
}

TEST_F( RGBSpaceParametersWindowTest, TheSRGBAndGlobalSwitchesSetValuesAndEnableTheRest )
{
   EXPECT_FALSE( window.Gamma_Edit->isEnabled() );
   window.sRGBGamma_CheckBox->click();
   EXPECT_TRUE( window.Gamma_Edit->isEnabled() );
   window.Gamma_Edit->setText( "1.8" );
   RunEditExitHandler( window.Gamma_Edit );
   EXPECT_EQ( window.Gamma_TrackBar->value(), 18 );
   window.sRGBGamma_CheckBox->click();
   EXPECT_EQ( window.Gamma_Edit->text(), "2.20" );
   EXPECT_FALSE( window.Gamma_TrackBar->isEnabled() );

   SetGamma( GlobalRGBWorkingSpace, 1.5f );
   window.ApplyGlobal_CheckBox->click();
   EXPECT_EQ( window.parameters.mode, RGBSpaceParameters::ApplyGlobal );
   EXPECT_EQ( window.Gamma_Edit->text(), "1.50" );
   for ( QWidget* control : std::initializer_list<QWidget*>{ window.ViewsList, window.Y_Edit[0], window.Y_TrackBar[2], window.x_Edit[1],
                                                             window.sRGBGamma_CheckBox, window.LoadGlobal_Button,
                                                             window.LoadDefault_Button, window.Gamma_Edit } )
      EXPECT_FALSE( control->isEnabled() ) << control->objectName().toStdString();
   window.ApplyGlobal_CheckBox->click();
   EXPECT_TRUE( window.Y_Edit[0]->isEnabled() );
   EXPECT_TRUE( window.Gamma_Edit->isEnabled() );
   EXPECT_EQ( window.Gamma_Edit->text(), "1.50" );

   window.LoadDefault_Button->click();
   EXPECT_TRUE( window.parameters.sRGB );
}

TEST_F( RGBSpaceParametersWindowTest, ValuesComeFromWindowsAndInstances )
{
   TImageWindow* w = Make( RandomImage( 8, 8, 3, qor::ColorSpace::RGB ) );
   SetGamma( w->rgbWorkingSpace, 2.4f );
   window.SelectView( w->mainView );
   EXPECT_EQ( window.Gamma_Edit->text(), "2.40" );
   SetGamma( w->rgbWorkingSpace, 1.2f );
   window.ViewUpdated( *w->mainView );
   EXPECT_EQ( window.Gamma_Edit->text(), "1.20" );

   // An instance that shares the global space brings the global values, not its own.
   SetGamma( GlobalRGBWorkingSpace, 3.0f );
   RGBSpaceParameters instance;
   instance.Values().mode = RGBSpaceParameters::ApplyGlobal;
   instance.Values().sRGB = false;
   instance.Values().gamma = 5.0f;
   window.ImportInstance( instance );
   EXPECT_EQ( window.Gamma_Edit->text(), "3.00" );
   EXPECT_TRUE( window.ApplyGlobal_CheckBox->isChecked() );
   EXPECT_EQ( window.currentView, nullptr );
}

TEST_F( RGBSpaceParametersWindowTest, ValuesThatMakeNoWorkingSpaceNeverBecomeAnInstance )
{
   window.x_Edit[1]->setText( window.x_Edit[0]->text() );
   RunEditExitHandler( window.x_Edit[1] );
   window.y_Edit[1]->setText( window.y_Edit[0]->text() );
   RunEditExitHandler( window.y_Edit[1] );
   EXPECT_EQ( window.NewProbeInstance(), nullptr );
   prompter.Expect( "Singular matrix found in RGBSpaceParameters" );
   EXPECT_EQ( window.NewInstance(), nullptr );
   std::unique_ptr<Process> made;
   window.LoadDefault_Button->click();
   made = window.NewInstance();
   ASSERT_NE( made, nullptr );
   EXPECT_TRUE( made->IsInterface( &window ) );
}

} // namespace
