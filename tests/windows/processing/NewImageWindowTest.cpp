// The New Image window and the New Image from Preview dialog driven offscreen: sizes, modes and colours typed or
// taken from an image, the memory text, Apply creating (or refusing) an image; a preview made into an image with
// its history, profile, colour-management state and working space, the preview kept or deleted.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>

#include "ICCTestProfiles.h"
#include "classlib/ImageTestSupport.h"
#include "platform/SystemMemory.h"
#include "process/Invert.h"
#include "process/NewImage.h"
#include "process/ProcessContainer.h"
#include "windows/dialogs/NewImageFromPreviewDialog.h"
#include "windows/frames/SelectColorFrame.h"
#include "windows/frames/ViewsListFrame.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/processing/NewImageWindow.h"

namespace
{

class NewImageWindowTest : public test::ImageWindowProcessTest
{
protected:
   bool Type( QLineEdit* edit, const QString& text )
   {
      window.inputError = false;
      edit->setText( text );
      RunEditExitHandler( edit );
      return !window.inputError;
   }
   // The window the last creation opened, tracked for deletion.
   TImageWindow* Newest() { return Track( MainViewList.back()->Window() ); }

   TNewImageWindow window;
};

TEST_F( NewImageWindowTest, TheSizeTextCountsFourBytesPerChannelSample )
{
   EXPECT_EQ( window.SizeInfo_StaticText->text(), " 32-bits size: 0.750 MB" ); // the default 256 x 256 RGB
   ASSERT_TRUE( Type( window.Width_Edit, "1000" ) );
   ASSERT_TRUE( Type( window.Height_Edit, "1000" ) );
   EXPECT_EQ( window.SizeInfo_StaticText->text(), " 32-bits size: 11.444 MB" );
   window.Grayscale_RadioButton->click();
   EXPECT_FALSE( window.colorMode );
   EXPECT_EQ( window.SizeInfo_StaticText->text(), " 32-bits size: 3.815 MB" );
   EXPECT_TRUE( window.InitialColor_Frame->grayOnly );
   window.RGBColor_RadioButton->click();
   EXPECT_TRUE( window.colorMode );
   EXPECT_FALSE( window.InitialColor_Frame->grayOnly );

   // Sizes are 1 to 32000; a refused one goes back, the text with it.
   for ( const char* bad : { "0", "32001", "12.5", "" } )
   {
      prompter.Expect( "" );
      EXPECT_FALSE( Type( window.Width_Edit, bad ) ) << bad;
      EXPECT_EQ( window.Width_Edit->text(), "1000" );
      EXPECT_EQ( window.width, 1000 );
   }
   EXPECT_EQ( window.SizeInfo_StaticText->text(), " 32-bits size: 11.444 MB" );
}

TEST_F( NewImageWindowTest, AnImageGivesSizeAndModeAnImportedInstanceItsOwnValues )
{
   TImageWindow* grey = Make( new qor::Image( 3000, 2000, 1, qor::ColorSpace::Gray ), "Dark" );
   ASSERT_TRUE( Type( window.Identifier_Edit, "Flat" ) );
   window.SelectView( grey->mainView );
   EXPECT_EQ( window.Width_Edit->text(), "3000" );
   EXPECT_EQ( window.Height_Edit->text(), "2000" );
   EXPECT_TRUE( window.Grayscale_RadioButton->isChecked() );
   EXPECT_EQ( window.Identifier_Edit->text(), "Flat" ) << "the identifier stays";
   EXPECT_EQ( window.ViewsList->ViewsList_ComboBox->currentText(), "Dark" );

   // Picking no view leaves the values.
   window.ViewsList->ViewsList_ComboBox->setCurrentIndex( 0 );
   window.ViewsList->ViewsList_ComboBoxSelect();
   EXPECT_EQ( window.ViewsList->currentView, nullptr );
   EXPECT_EQ( window.width, 3000 );

   NewImage::Parameters p;
   p.id = "Bias";
   p.width = 640;
   p.height = 480;
   p.colorMode = true;
   p.initialColor = RGBColorParameters( 0.1f, 0.2f, 0.3f );
   window.ImportInstance( NewImage( p ) );
   window.show(); // an import just before the showing survives it
   EXPECT_EQ( window.NewInstance()->ToText(), NewImage( p ).ToText() );
   window.hide();
   window.SelectView( grey->mainView );
   window.show();
   EXPECT_EQ( window.width, 3000 );
}

TEST_F( NewImageWindowTest, ApplyCreatesTheImageOrShowsWhyNot )
{
   ASSERT_TRUE( Type( window.Identifier_Edit, "Flat" ) );
   ASSERT_TRUE( Type( window.Width_Edit, "40" ) );
   ASSERT_TRUE( Type( window.Height_Edit, "30" ) );
   window.Grayscale_RadioButton->click();
   window.InitialColor_Frame->color = { 0.5f, 0.5f, 0.5f };
   window.show();
   window.findChild<QAbstractButton*>( "Apply_SpeedButton" )->click();
   ASSERT_EQ( MainViewList.size(), 1u );
   TImageWindow* flat = Newest();
   EXPECT_EQ( flat->mainView->Identifier(), "Flat" );
   EXPECT_EQ( flat->image->Width(), 40 );
   EXPECT_EQ( flat->image->NumberOfChannels(), 1 );
   EXPECT_EQ( flat->image->PixelData( 0 )[1199], 0.5f );
   EXPECT_EQ( window.ViewsList->ViewsList_ComboBox->findText( "Flat" ), 1 ) << "the new image is listed";

   platform::AvailableMemoryScope memory( [] { return std::optional<uint64_t>( 1000 ); } );
   prompter.Expect( "Not enough memory for a new 40x30 grayscale image" );
   window.Apply();
   EXPECT_EQ( MainViewList.size(), 1u );
}

// ---- New image from a preview --------------------------------------------------------------------------------------

class NewImageFromPreviewTest : public test::ImageWindowProcessTest
{
protected:
   void SetUp() override
   {
      test::ImageWindowProcessTest::SetUp();
      source = Make( RandomImage( 64, 48, 3, qor::ColorSpace::RGB ), "M31" );
      preview = source->CreatePreview( "P01", 8, 4, 20, 16 );
      dialog.preview = preview;
      dialog.FormShow();
   }
   TImageWindow* Newest() { return Track( MainViewList.back()->Window() ); }

   TImageWindow* source = nullptr;
   TImageWindow::Preview* preview = nullptr;
   TNewImageFromPreviewDialog dialog;
};

TEST_F( NewImageFromPreviewTest, ThePreviewBecomesAnImageWithItsHistoryProfileAndWorkingSpace )
{
   Invert().LaunchOn( *preview );
   const qor::Image pixels( preview->GetImage() );
   auto profile =
       std::make_unique<std::vector<uint8_t>>( test::SaveProfile( test::MakeAdobeCompatibleProfile( "Wide" ) ) );
   const std::vector<uint8_t> profileBytes = *profile;
   source->SetICCProfile( std::move( profile ), false );
   source->colorManagementEnabled = false;
   const float x[3] = { 0.64f, 0.3f, 0.15f }, y[3] = { 0.33f, 0.6f, 0.06f }, Y[3] = { 0.3f, 0.6f, 0.1f };
   source->rgbWorkingSpace.SetParameters( 1.8f, false, x, y, Y ); // a working space of its own
   ASSERT_FALSE( source->rgbWorkingSpace.SharesDataWith( GlobalRGBWorkingSpace ) );

   EXPECT_EQ( dialog.ImageIdentifier_Edit->text(), "Image02" );
   EXPECT_TRUE( dialog.DeletePreview_CheckBox->isChecked() );
   dialog.ImageIdentifier_Edit->setText( "&imageId;" );
   RunEditExitHandler( dialog.ImageIdentifier_Edit );
   dialog.DeletePreview_CheckBox->click();
   EXPECT_FALSE( dialog.deletePreview );
   dialog.OKButtonClick();

   TImageWindow* made = Newest();
   EXPECT_EQ( made->mainView->Identifier(), "M31_P01" );
   EXPECT_TRUE( test::SamePixels( *made->image, pixels ) );
   ASSERT_EQ( made->mainView->History().instances.Length(), 1u );
   EXPECT_EQ( ( *made->mainView->History().instances.Begin() )->Id(), "Invert" );
   ASSERT_NE( made->iccProfile, nullptr );
   EXPECT_EQ( *made->iccProfile, profileBytes );
   EXPECT_FALSE( made->colorManagementEnabled );
   EXPECT_TRUE( made->rgbWorkingSpace.SharesDataWith( source->rgbWorkingSpace ) );
   EXPECT_EQ( made->modificationCount, 1 );
   ASSERT_EQ( source->previews.size(), 1u ) << "the preview stays";
   EXPECT_NE( source->previews[0]->currentImage, made->image ) << "the new image is a copy";
}

TEST_F( NewImageFromPreviewTest, WithDeleteThePreviewGoesAndARefusedIdentifierChangesNothing )
{
   dialog.ImageIdentifier_Edit->setText( "P&uniqueId;" );
   RunEditExitHandler( dialog.ImageIdentifier_Edit );
   ASSERT_TRUE( dialog.deletePreview );
   const qor::Image pixels( preview->GetImage() );
   dialog.OKButtonClick();
   EXPECT_EQ( Newest()->mainView->Identifier(), "P" );
   EXPECT_TRUE( source->previews.empty() );
   EXPECT_TRUE( test::SamePixels( *MainViewList.back()->Window()->image, pixels ) );

   // A template that holds nothing but a macro is refused; nothing is made or deleted and the dialog stays open.
   TImageWindow::Preview* second = source->CreatePreview( "P02", 0, 0, 16, 16 );
   dialog.preview = second;
   dialog.FormShow();
   dialog.identifier = "&uniqueId;";
   prompter.Expect( "Invalid macro-expression in image identifier" );
   dialog.OKButtonClick();
   EXPECT_FALSE( dialog.CloseAfterApply() );
   EXPECT_EQ( MainViewList.size(), 2u );
   EXPECT_EQ( source->previews.size(), 1u );
}

} // namespace
