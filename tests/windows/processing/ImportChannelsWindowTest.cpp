// The Import Channels window driven offscreen: the source lists of a target, the two ways of filling in sources,
// typed sources, component boxes and instances.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QRadioButton>

#include "windows/image/ImageWindowTestSupport.h"
#include "windows/processing/ImportChannelsWindow.h"

namespace
{

class ImportChannelsWindowTest : public test::ImageWindowTest
{
protected:
   TImageWindow* Image( const std::string& id, int32_t channels, int32_t width = 40 )
   {
      return Make( RandomImage( width, 30, channels, channels == 1 ? qor::ColorSpace::Gray : qor::ColorSpace::RGB ),
                   id );
   }
   static std::vector<std::string> Items( const QComboBox* box )
   {
      std::vector<std::string> items;
      for ( int k = 0; k < box->count(); ++k )
         items.push_back( box->itemText( k ).toStdString() );
      return items;
   }
   std::vector<std::string> Sources() const
   {
      return { window.parameters.imageIdentifiers.begin(), window.parameters.imageIdentifiers.end() };
   }

   TImportChannelsWindow window;
};

TEST_F( ImportChannelsWindowTest, AutoIdentifiersAreTheExtractionTemplates )
{
   Image( "M31_R", 1 );
   window.SelectView( nullptr );
   EXPECT_EQ( Sources(), ( std::vector<std::string>{ "&imageId;_R&uniqueId;", "&imageId;_G&uniqueId;",
                                                     "&imageId;_B&uniqueId;" } ) );
   EXPECT_EQ( window.CH_ComboBox[0]->currentText(), "&imageId;_R&uniqueId;" );
   EXPECT_FALSE( window.CH_ComboBox[0]->isEnabled() );
   EXPECT_EQ( window.CH_ComboBox[0]->count(), 0 );
   EXPECT_FALSE( window.FindCompatibleImages_CheckBox->isEnabled() );
   window.CIELab_RadioButton->click();
   EXPECT_EQ( window.parameters.imageIdentifiers[1], "&imageId;_a&uniqueId;" );
   EXPECT_EQ( window.CH_CheckBox[0]->text(), "L*" );
}

TEST_F( ImportChannelsWindowTest, TheListsOfferGreyImagesOfTheTargetsSizeAndFindPicksBySuffix )
{
   TImageWindow* target = Image( "M31", 3 );
   Image( "Flat", 1 );
   Image( "M31_R", 1 );
   Image( "Wide_G", 1, 50 );
   Image( "Colour_B", 3 );
   Image( "M31_B", 1 );
   window.AutoIdentifiers_CheckBox->click();
   window.SelectView( target->mainView );
   EXPECT_EQ( Items( window.CH_ComboBox[1] ), ( std::vector<std::string>{ "Flat", "M31_R", "M31_B" } ) );
   // No grey image of the size holds "_G": the second source is the first listed.
   EXPECT_EQ( Sources(), ( std::vector<std::string>{ "M31_R", "Flat", "M31_B" } ) );
   EXPECT_TRUE( window.CH_ComboBox[1]->isEnabled() );

   window.SelectView( nullptr );
   EXPECT_EQ( Items( window.CH_ComboBox[0] ),
              ( std::vector<std::string>{ "Flat", "M31_R", "Wide_G", "M31_B" } ) );
   EXPECT_EQ( Sources()[1], "Wide_G" );

   // Without finding, the sources change only by the user's choice (or a typed identifier).
   window.FindCompatibleImages_CheckBox->click();
   window.SelectView( target->mainView );
   EXPECT_EQ( Sources()[1], "Wide_G" );
   window.CH_ComboBox[1]->setCurrentIndex( 1 );
   window.CH_ComboBoxSelect( 1 );
   EXPECT_EQ( Sources()[1], "M31_R" );
   window.CH_ComboBox[2]->setEditText( "Typed_B" );
   RunEditExitHandler( window.CH_ComboBox[2]->lineEdit() );
   EXPECT_EQ( Sources()[2], "Typed_B" );
   prompter.Expect( "Whitespace not allowed in identifiers." );
   window.CH_ComboBox[2]->setEditText( "Typed B" );
   RunEditExitHandler( window.CH_ComboBox[2]->lineEdit() );
   EXPECT_TRUE( window.inputError );
   EXPECT_EQ( Sources()[2], "Typed_B" );
}

TEST_F( ImportChannelsWindowTest, ComponentBoxesAndInstances )
{
   ImportChannels instance;
   instance.Values().colorSpace = 4;
   instance.Values().channels = { true, false, false };
   window.ImportInstance( instance );
   EXPECT_TRUE( window.CIELab_RadioButton->isChecked() );
   EXPECT_TRUE( window.CH_CheckBox[0]->isChecked() );
   EXPECT_FALSE( window.CH_CheckBox[1]->isChecked() );

   window.CH_CheckBox[0]->click();
   EXPECT_TRUE( window.CH_CheckBox[0]->isChecked() && window.CH_CheckBox[1]->isChecked() &&
                window.CH_CheckBox[2]->isChecked() );

   std::unique_ptr<Process> made = window.NewInstance();
   ASSERT_NE( made, nullptr );
   EXPECT_TRUE( made->IsInterface( &window ) );
   EXPECT_EQ( static_cast<ImportChannels&>( *made ).Values().imageIdentifiers[0], "&imageId;_L&uniqueId;" );
}

TEST_F( ImportChannelsWindowTest, ADeletedTargetListsEveryGreyImageAgain )
{
   TImageWindow* target = Image( "M31", 3 );
   Image( "Small", 1, 10 );
   window.AutoIdentifiers_CheckBox->click();
   window.SelectView( target->mainView );
   EXPECT_EQ( window.CH_ComboBox[0]->count(), 0 );
   window.ViewDeleted( *target->mainView );
   EXPECT_EQ( window.target, nullptr );
   EXPECT_EQ( Items( window.CH_ComboBox[0] ), ( std::vector<std::string>{ "Small" } ) );
}

} // namespace
