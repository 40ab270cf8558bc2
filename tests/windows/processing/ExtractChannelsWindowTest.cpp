// The Extract Channels window driven offscreen: colour spaces, component boxes, identifier templates and instances.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLineEdit>
#include <QRadioButton>

#include "TestSupport.h"
#include "windows/processing/ExtractChannelsWindow.h"

namespace
{

class ExtractChannelsWindowTest : public test::ScriptedUiTest
{
protected:
   std::vector<std::string> EditTexts() const
   {
      std::vector<std::string> texts;
      for ( QLineEdit* edit : window.CH_Edit )
         texts.push_back( edit->text().toStdString() );
      return texts;
   }
   std::vector<bool> Checked() const
   {
      return { window.CH_CheckBox[0]->isChecked(), window.CH_CheckBox[1]->isChecked(),
               window.CH_CheckBox[2]->isChecked() };
   }

   TExtractChannelsWindow window;
};

TEST_F( ExtractChannelsWindowTest, ColourSpacesRebuildTheComponentsAndTheirTemplates )
{
   EXPECT_TRUE( window.RGB_RadioButton->isChecked() );
   EXPECT_EQ( EditTexts(), ( std::vector<std::string>{ "&imageId;_R&uniqueId;", "&imageId;_G&uniqueId;",
                                                        "&imageId;_B&uniqueId;" } ) );
   EXPECT_FALSE( window.CH_Edit[0]->isEnabled() );

   window.CH_CheckBox[1]->click();
   window.HSV_RadioButton->click();
   EXPECT_EQ( window.parameters.colorSpace, 2 );
   EXPECT_EQ( Checked(), ( std::vector<bool>{ true, true, true } ) );
   EXPECT_EQ( window.CH_CheckBox[2]->text(), "V" );
   EXPECT_EQ( EditTexts()[2], "&imageId;_V&uniqueId;" );

   window.CIELch_RadioButton->click();
   EXPECT_EQ( window.CH_CheckBox[0]->text(), "L*" );
   EXPECT_EQ( EditTexts()[1], "&imageId;_c&uniqueId;" );

   // Clearing the last checked component checks all three again.
   window.CH_CheckBox[0]->click();
   window.CH_CheckBox[1]->click();
   EXPECT_EQ( Checked(), ( std::vector<bool>{ false, false, true } ) );
   window.CH_CheckBox[2]->click();
   EXPECT_EQ( Checked(), ( std::vector<bool>{ true, true, true } ) );
}

TEST_F( ExtractChannelsWindowTest, EditedIdentifiersAreCheckedAndAutoIdentifiersReplaceThem )
{
   window.AutoIdentifiers_CheckBox->click();
   EXPECT_TRUE( window.CH_Edit[0]->isEnabled() );
   window.CH_CheckBox[1]->click();
   EXPECT_FALSE( window.CH_Edit[1]->isEnabled() );

   window.CH_Edit[0]->setText( "Red" );
   RunEditExitHandler( window.CH_Edit[0] );
   window.CH_Edit[2]->setText( "" );
   RunEditExitHandler( window.CH_Edit[2] );
   EXPECT_EQ( window.parameters.imageIdentifiers[0], "Red" );
   EXPECT_EQ( window.parameters.imageIdentifiers[2], "" );

   prompter.Expect( "Identifiers must begin with an alphabetic or underscore character." );
   window.CH_Edit[0]->setText( "9Red" );
   RunEditExitHandler( window.CH_Edit[0] );
   EXPECT_TRUE( window.inputError );
   EXPECT_EQ( window.CH_Edit[0]->text(), "Red" );

   window.AutoIdentifiers_CheckBox->click();
   EXPECT_EQ( EditTexts()[0], "&imageId;_R&uniqueId;" );
   EXPECT_FALSE( window.CH_Edit[0]->isEnabled() );
}

TEST_F( ExtractChannelsWindowTest, InstancesGoBothWays )
{
   ExtractChannels instance;
   instance.Values().colorSpace = 2;
   instance.Values().channels = { false, false, true };
   instance.Values().imageIdentifiers = { "H", "S", "Value" };
   window.ImportInstance( instance );
   EXPECT_TRUE( window.HSV_RadioButton->isChecked() );
   EXPECT_EQ( Checked(), ( std::vector<bool>{ false, false, true } ) );
   EXPECT_EQ( EditTexts()[2], "Value" );
   EXPECT_TRUE( window.autoIdentifiers );

   std::unique_ptr<Process> made = window.NewInstance();
   ASSERT_NE( dynamic_cast<ExtractChannels*>( made.get() ), nullptr );
   EXPECT_EQ( made->ToText(), instance.ToText() );
   EXPECT_TRUE( instance.IsInterface( &window ) );
}

TEST( ExtractChannelsLaunch, TheProcessOpensTheProgramsWindowWithItsValues )
{
   ExtractChannels instance;
   instance.Values().colorSpace = 4;
   EXPECT_TRUE( instance.IsInterfaceAvailable() );
   instance.LaunchInterface();
   TExtractChannelsWindow& window = ExtractChannelsWindow();
   EXPECT_TRUE( window.isVisible() );
   EXPECT_TRUE( window.CIELab_RadioButton->isChecked() );
   delete &window;
}

} // namespace
