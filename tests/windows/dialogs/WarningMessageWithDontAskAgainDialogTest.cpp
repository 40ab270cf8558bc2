// The warning with a "Don't ask again" box: the box mirrors the caller's switch and sets it at once; keys and
// buttons answer Yes or No, and every other way out is No.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QTest>
#include <QToolButton>

#include "TestSupport.h"
#include "windows/dialogs/WarningMessageWithDontAskAgainDialog.h"

namespace
{

using WarningDialogTest = test::ScriptedUiTest;
using Dialog = TWarningMessageWithDontAskAgainDialog;

} // namespace

TEST_F( WarningDialogTest, TheBoxShowsTheSwitchAndAClickSetsItWhateverTheAnswer )
{
   for ( bool ask : { true, false } )
   {
      SCOPED_TRACE( ask );
      bool askFlag = ask;
      Dialog dialog( nullptr, &askFlag );
      EXPECT_EQ( dialog.windowTitle(), "Warning" );
      dialogs.Expect( "WarningMessageWithDontAskAgainDialog",
                      [&]( QDialog& d )
                      {
                         auto* box = d.findChild<QCheckBox*>( "DontAskAgain_CheckBox" );
                         EXPECT_EQ( box->text(), "Don't ask again" );
                         EXPECT_EQ( box->isChecked(), !ask );
                         box->click();
                         EXPECT_EQ( askFlag, !ask ); // before any answer
                         static_cast<Dialog&>( d ).No_SpeedButton->click();
                         return 0;
                      } );
      EXPECT_FALSE( dialog.Ask() );
      EXPECT_EQ( askFlag, !ask );
   }
}

TEST_F( WarningDialogTest, YesAnswersOnlyThroughItsButtonOrY )
{
   bool askFlag = true;
   Dialog dialog( nullptr, &askFlag );
   // No is the toolkit's Rejected, 0: whether the dialog closed is told by its visibility, not by its result.
   struct Key
   {
      Qt::Key key;
      Qt::KeyboardModifiers modifiers;
      bool closes;
      int result;
   };
   for ( const Key& k : { Key{ Qt::Key_Y, Qt::NoModifier, true, Dialog::YesResult },
                          Key{ Qt::Key_Y, Qt::ShiftModifier, true, Dialog::YesResult },
                          Key{ Qt::Key_N, Qt::NoModifier, true, Dialog::NoResult },
                          Key{ Qt::Key_N, Qt::ShiftModifier, true, Dialog::NoResult },
                          Key{ Qt::Key_Escape, Qt::NoModifier, true, Dialog::NoResult },
                          Key{ Qt::Key_X, Qt::NoModifier, false, -1 } } )
   {
      SCOPED_TRACE( int( k.key ) );
      dialog.setResult( -1 );
      dialog.show();
      QTest::keyClick( &dialog, k.key, k.modifiers );
      EXPECT_EQ( dialog.isVisible(), !k.closes );
      EXPECT_EQ( dialog.result(), k.result );
      dialog.hide();
   }

   dialogs.Expect( "WarningMessageWithDontAskAgainDialog",
                   []( QDialog& d )
                   {
                      static_cast<Dialog&>( d ).Yes_SpeedButton->click();
                      return 0;
                   } );
   EXPECT_TRUE( dialog.Ask() );
   dialogs.Expect( "WarningMessageWithDontAskAgainDialog",
                   []( QDialog& d )
                   {
                      d.close();
                      return 0;
                   } );
   EXPECT_FALSE( dialog.Ask() );
   EXPECT_TRUE( askFlag ); // answers leave the switch alone
}
