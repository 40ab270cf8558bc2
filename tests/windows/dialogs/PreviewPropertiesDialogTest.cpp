// The Preview Properties dialog: the values it proposes, the clamping of what is typed, the size text, and the
// preview it makes or changes.

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>

#include <tuple>

#include "../image/ImageWindowTestSupport.h"
#include "windows/dialogs/PreviewPropertiesDialog.h"

namespace
{

class PreviewPropertiesDialogTest : public test::ImageWindowTest
{
protected:
   void Type( QLineEdit* edit, void ( TPreviewPropertiesDialog::*exit )(), const QString& text )
   {
      edit->setText( text );
      ( dialog.*exit )();
   }

   TPreviewPropertiesDialog dialog{ nullptr };
};

// A new preview on a 100 x 80 image proposes the whole image; a width too large for the image is refused, one too
// large from the current left is reduced; a left typed after a large width is reduced instead of the width.
TEST_F( PreviewPropertiesDialogTest, TypedValuesKeepTheRectangleInsideTheImage )
{
   TImageWindow* w = Make( RandomImage( 100, 80, 3, qor::ColorSpace::RGB ), "Image01" );
   dialog.targetWindow = w;
   dialog.FormShow();
   EXPECT_EQ( dialog.windowTitle(), "New Preview" );
   EXPECT_EQ( dialog.Identifier_Edit->text(), "Preview01" );
   EXPECT_EQ( dialog.Width_Edit->text(), "100" );
   EXPECT_EQ( dialog.Height_Edit->text(), "80" );

   prompter.Expect( "" );
   Type( dialog.Width_Edit, &TPreviewPropertiesDialog::Width_EditExit, "101" );
   EXPECT_TRUE( dialog.inputError );
   EXPECT_EQ( dialog.Width_Edit->text(), "100" );
   dialog.inputError = false;

   Type( dialog.Width_Edit, &TPreviewPropertiesDialog::Width_EditExit, "60" );
   Type( dialog.Left_Edit, &TPreviewPropertiesDialog::Left_EditExit, "70" );
   EXPECT_EQ( dialog.left, 40 );
   EXPECT_EQ( dialog.Left_Edit->text(), "40" );
   Type( dialog.Width_Edit, &TPreviewPropertiesDialog::Width_EditExit, "90" );
   EXPECT_EQ( dialog.width, 60 );

   Type( dialog.Height_Edit, &TPreviewPropertiesDialog::Height_EditExit, "50" );
   Type( dialog.Width_Edit, &TPreviewPropertiesDialog::Width_EditExit, "60" );
   dialog.Apply();
   ASSERT_EQ( w->previews.size(), 1u );
   const TImageWindow::Preview* p = w->previews[0];
   EXPECT_EQ( p->Identifier(), "Preview01" );
   EXPECT_EQ( p->left, 40 );
   EXPECT_EQ( p->GetImage().Width(), 60 );
   EXPECT_EQ( p->GetImage().Height(), 50 );
}

// The size text of a 200 x 100 preview, of an RGB and of a grey image.
TEST_F( PreviewPropertiesDialogTest, TheSizeTextCountsFourBytesPerSample )
{
   for ( auto [channels, space, text] : { std::tuple{ 3, qor::ColorSpace::RGB, "32-bits size: 0.229 MB" },
                                          std::tuple{ 1, qor::ColorSpace::Gray, "32-bits size: 0.076 MB" } } )
   {
      TImageWindow* w = Make( RandomImage( 300, 200, channels, space ) );
      dialog.targetWindow = w;
      dialog.FormShow();
      Type( dialog.Width_Edit, &TPreviewPropertiesDialog::Width_EditExit, "200" );
      Type( dialog.Height_Edit, &TPreviewPropertiesDialog::Height_EditExit, "100" );
      EXPECT_EQ( dialog.SizeInfo_StaticText->text(), text );
   }
}

// Editing a preview: an unchanged identifier is kept without a uniqueness check, another preview's identifier gets
// the first free number, and a changed rectangle resets the preview.
TEST_F( PreviewPropertiesDialogTest, EditingAPreviewRenamesAndResetsIt )
{
   TImageWindow* w = Make( RandomImage( 100, 80, 1, qor::ColorSpace::Gray ), "Image01" );
   TImageWindow::Preview* a = w->CreatePreview( "Sky", 0, 0, 20, 20 );
   w->CreatePreview( "Star", 30, 30, 20, 20 );
   dialog.preview = a;
   dialog.FormShow();
   EXPECT_EQ( dialog.windowTitle(), "Preview Properties" );
   dialog.Apply();
   EXPECT_EQ( a->Identifier(), "Sky" );

   Type( dialog.Identifier_Edit, &TPreviewPropertiesDialog::Identifier_EditExit, "Star" );
   Type( dialog.Top_Edit, &TPreviewPropertiesDialog::Top_EditExit, "10" );
   dialog.Apply();
   EXPECT_EQ( a->Identifier(), "Star1" );
   EXPECT_EQ( a->top, 10 );
   EXPECT_EQ( a->GetImage().Pixel( 0, 0 ), w->image->Pixel( 0, 10 ) );
}

} // namespace
