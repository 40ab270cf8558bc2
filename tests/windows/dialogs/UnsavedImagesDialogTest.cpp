// The question about exiting with unsaved images: its texts, its keys and its answers.

#include <gtest/gtest.h>

#include <QLabel>
#include <QTest>
#include <QToolButton>

#include "TestSupport.h"
#include "windows/dialogs/UnsavedImagesDialog.h"
#include "windows/main/Application.h"

namespace
{

using UnsavedImagesDialogTest = test::ScriptedUiTest;

} // namespace

TEST_F( UnsavedImagesDialogTest, ItAsksUnderTheApplicationTitleWithNoAndYes )
{
   TUnsavedImagesDialog dialog;
   EXPECT_EQ( dialog.windowTitle(), ApplicationTitle() );
   EXPECT_EQ( dialog.Message_Panel->text(), "There are unsaved images. Exit anyway?" );
   EXPECT_EQ( dialog.No_SpeedButton->text(), "No" );
   EXPECT_EQ( dialog.Yes_SpeedButton->text(), "Yes" );

   dialog.show();
   dialog.Yes_SpeedButton->click();
   EXPECT_EQ( dialog.result(), TUnsavedImagesDialog::YesResult );
   dialog.show();
   dialog.No_SpeedButton->click();
   EXPECT_EQ( dialog.result(), TUnsavedImagesDialog::NoResult );
}

TEST_F( UnsavedImagesDialogTest, YAndNAnswerInEitherCaseEscAnswersNoAndOtherKeysDoNothing )
{
   TUnsavedImagesDialog dialog;
   EXPECT_EQ( test::PressKeyOn( dialog, Qt::Key_Y ), TUnsavedImagesDialog::YesResult );
   EXPECT_EQ( test::PressKeyOn( dialog, Qt::Key_Y, Qt::ShiftModifier ), TUnsavedImagesDialog::YesResult );
   EXPECT_EQ( test::PressKeyOn( dialog, Qt::Key_N ), TUnsavedImagesDialog::NoResult );
   EXPECT_EQ( test::PressKeyOn( dialog, Qt::Key_N, Qt::ShiftModifier ), TUnsavedImagesDialog::NoResult );
   EXPECT_EQ( test::PressKeyOn( dialog, Qt::Key_Escape ), TUnsavedImagesDialog::NoResult );
   EXPECT_EQ( test::PressKeyOn( dialog, Qt::Key_X ), 0 );
}

TEST_F( UnsavedImagesDialogTest, ClosingItAnyOtherWayAnswersNo )
{
   TUnsavedImagesDialog& dialog = GetUnsavedImagesDialog();
   dialogs.Expect( "UnsavedImagesDialog",
                   []( QDialog& d )
                   {
                      d.close();
                      return 0;
                   } );
   EXPECT_EQ( dialog.Ask(), TUnsavedImagesDialog::NoResult );
   dialogs.ExpectResult( "UnsavedImagesDialog", QDialog::Accepted );
   EXPECT_EQ( dialog.Ask(), TUnsavedImagesDialog::NoResult );
}
