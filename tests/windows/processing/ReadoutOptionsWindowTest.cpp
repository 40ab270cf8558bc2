// The Readout Options window driven offscreen: its enable rules, what it shows when it opens, and Apply.

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QRadioButton>
#include <QTest>
#include <QToolButton>

#include <memory>

#include "TestSupport.h"
#include "process/ReadoutOptions.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ReadoutOptionsWindow.h"

namespace
{

class ReadoutOptionsWindowTest : public test::ScriptedUiTest
{
protected:
   void SetUp() override
   {
      test::ScriptedUiTest::SetUp();
      main = std::make_unique<TMainWindow>();
   }

   void TearDown() override
   {
      window.reset();
      main.reset();
      test::ScriptedUiTest::TearDown();
   }

   QRadioButton* Button( const char* name ) const { return window->findChild<QRadioButton*>( name ); }
   // On the indicator: a radio button takes clicks only on its indicator and caption.
   void Click( const char* name ) const
   {
      QRadioButton* b = Button( name );
      QTest::mouseClick( b, Qt::LeftButton, Qt::NoModifier, QPoint( 6, b->height() / 2 ) );
   }

   std::unique_ptr<TMainWindow> main;
   std::unique_ptr<TReadoutOptionsWindow> window = std::make_unique<TReadoutOptionsWindow>();
};

TEST_F( ReadoutOptionsWindowTest, TheButtonsFollowTheOptionsAndTheEnableRules )
{
   window->show();
   EXPECT_EQ( window->windowTitle(), "Readout Options" );
   EXPECT_TRUE( Button( "RGB_RadioButton" )->isChecked() );
   EXPECT_TRUE( Button( "S1x1_RadioButton" )->isChecked() );
   EXPECT_TRUE( Button( "Real04_RadioButton" )->isChecked() );
   EXPECT_TRUE( Button( "Integer8Bit_RadioButton" )->isChecked() );

   // A single pixel disables the calculation modes; the mode stays.
   Click( "S5x5_RadioButton" );
   Click( "Median_RadioButton" );
   Click( "S1x1_RadioButton" );
   EXPECT_FALSE( Button( "Median_RadioButton" )->isEnabled() );
   EXPECT_EQ( window->options.mode, 1 );
   EXPECT_TRUE( Button( "Median_RadioButton" )->isChecked() );

   // Integer range: the precisions off, the ranges on; the precision stays.
   EXPECT_FALSE( Button( "Integer32Bit_RadioButton" )->isEnabled() );
   Click( "Integer_RadioButton" );
   EXPECT_FALSE( window->options.real );
   EXPECT_FALSE( Button( "Real04_RadioButton" )->isEnabled() );
   EXPECT_TRUE( Button( "Integer32Bit_RadioButton" )->isEnabled() );
   EXPECT_EQ( window->options.precision, 4 );
   Click( "Integer32Bit_RadioButton" );
   Click( "CIELab_RadioButton" );

   // Nothing changes in the main window before Apply.
   EXPECT_EQ( main->readoutOptions, ReadoutOptionsData{} );
   QTest::mouseClick( window->findChild<QToolButton*>( "Apply_SpeedButton" ), Qt::LeftButton );
   EXPECT_EQ( main->readoutOptions, ( ReadoutOptionsData{ 4, 1, 1, false, 4, 4294967295u } ) );

   // A range no button has leaves the group unchecked.
   window->options.maxValue = 1023;
   window->UpdateControls();
   for ( QRadioButton* b : window->Range_RadioButtons )
      EXPECT_FALSE( b->isChecked() ) << b->objectName().toStdString();
}

TEST_F( ReadoutOptionsWindowTest, AnImportedInstanceSurvivesTheNextShowOnly )
{
   main->readoutOptions.data = 2;
   window->ImportInstance( ReadoutOptions( ReadoutOptionsData{ 3, 0, 9, true, 2, 255 } ) );
   window->show();
   EXPECT_EQ( window->options.data, 3 );
   EXPECT_TRUE( Button( "S9x9_RadioButton" )->isChecked() );

   // Shown again without an import: the options in force, unapplied edits gone.
   Click( "CIELch_RadioButton" );
   window->hide();
   window->show();
   EXPECT_EQ( window->options.data, 2 );
   EXPECT_TRUE( Button( "HSV_RadioButton" )->isChecked() );
}

TEST_F( ReadoutOptionsWindowTest, EditReadoutOptionsOpensTheProgramsWindowWithTheOptionsInForce )
{
   main->readoutOptions.probeSize = 7;
   main->findChild<QAction*>( "EditReadoutOptions_Action" )->trigger();
   TReadoutOptionsWindow& shown = ReadoutOptionsWindow();
   EXPECT_TRUE( shown.isVisible() );
   EXPECT_EQ( shown.options.probeSize, 7 );
   shown.hide();
}

} // namespace
