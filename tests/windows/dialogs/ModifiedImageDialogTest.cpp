// The question about closing an image with unsaved data: its texts, its keys and its answers.

#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLabel>
#include <QTest>
#include <QToolButton>

#include "TestSupport.h"
#include "classlib/Image.h"
#include "windows/dialogs/ModifiedImageDialog.h"
#include "windows/image/ImageWindow.h"
#include "windows/main/Application.h"

namespace
{

class ModifiedImageDialogTest : public test::ScriptedUiTest
{
protected:
   void TearDown() override
   {
      delete window;
      test::ScriptedUiTest::TearDown();
   }

   TImageWindow* window = nullptr;
};

} // namespace

TEST_F( ModifiedImageDialogTest, ItShowsTheReasonTheIdentifierAndTheShortenedPath )
{
   TModifiedImageDialog dialog;
   EXPECT_EQ( dialog.windowTitle(), ApplicationTitle() );
   dialog.FormShow();
   EXPECT_EQ( dialog.Message_Label->text(), "Close this image?" );
   EXPECT_TRUE( dialog.FilePath_Label->text().isEmpty() );

   const std::string path = "/very/long/folder/name/" + std::string( 300, 'x' ) + "/the image.fits";
   window = new TImageWindow( nullptr, false, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, path, "M51",
                              new qor::Image( 2, 2 ) );
   dialog.window = window;
   dialog.message = UnsavedImageReason;
   dialog.FormShow();
   EXPECT_EQ( dialog.Message_Label->text(), "The image has been modified and is unsaved. Close anyway?" );
   const QString shown = dialog.FilePath_Label->text();
   EXPECT_TRUE( shown.startsWith( "M51: /very" ) );
   EXPECT_TRUE( shown.endsWith( "the image.fits" ) );
   EXPECT_LE( QFontMetrics( dialog.FilePath_Label->font() ).horizontalAdvance( shown ),
              dialog.FilePath_Label->minimumWidth() );
   EXPECT_FALSE( dialog.Cancel_SpeedButton->isVisibleTo( &dialog ) );
   dialog.cancelAllowed = true;
   dialog.FormShow();
   EXPECT_TRUE( dialog.Cancel_SpeedButton->isVisibleTo( &dialog ) );
}

TEST_F( ModifiedImageDialogTest, YAndNAnswerInEitherCaseAndEscCancelsOnlyWhenCancelIsOffered )
{
   TModifiedImageDialog dialog;
   EXPECT_EQ( test::PressKeyOn( dialog, Qt::Key_Y ), TModifiedImageDialog::YesResult );
   EXPECT_EQ( test::PressKeyOn( dialog, Qt::Key_Y, Qt::ShiftModifier ), TModifiedImageDialog::YesResult );
   EXPECT_EQ( test::PressKeyOn( dialog, Qt::Key_N ), TModifiedImageDialog::NoResult );
   EXPECT_EQ( test::PressKeyOn( dialog, Qt::Key_Escape ), 0 );
   dialog.cancelAllowed = true;
   EXPECT_EQ( test::PressKeyOn( dialog, Qt::Key_Escape ), TModifiedImageDialog::CancelResult );

   dialog.show();
   dialog.Yes_SpeedButton->click();
   EXPECT_EQ( dialog.result(), TModifiedImageDialog::YesResult );
}

TEST_F( ModifiedImageDialogTest, AskKeepsTheAnswer )
{
   TModifiedImageDialog& dialog = GetModifiedImageDialog();
   dialogs.Expect( "ModifiedImageDialog",
                   []( QDialog& d )
                   {
                      static_cast<TModifiedImageDialog&>( d ).No_SpeedButton->click();
                      return 0;
                   } );
   EXPECT_EQ( dialog.Ask( nullptr, MaskReferencesReason ), TModifiedImageDialog::NoResult );
   EXPECT_EQ( dialog.lastResult, TModifiedImageDialog::NoResult );
   EXPECT_EQ( dialog.message, MaskReferencesReason );
}
