// The set-identifier dialog: what it shows, how it checks the new identifier at OK and on leaving the edit, and
// that Cancel checks nothing.

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "windows/dialogs/SetIdentifierDialog.h"

namespace
{

class SetIdentifierDialogTest : public test::ScriptedUiTest
{
protected:
   // A dialog whose validator refuses "Taken" and records every identifier it is asked about.
   TSetIdentifierDialog& MakeDialog( const std::string& current )
   {
      dialog = std::make_unique<TSetIdentifierDialog>(
          nullptr,
          [this]( const std::string& identifier, std::string& message )
          {
             validated.push_back( identifier );
             message = "Identifier already in use: " + identifier;
             return identifier != "Taken";
          } );
      dialog->currentIdentifier = current;
      return *dialog;
   }

   // Runs the dialog: the handler gets the live dialog; the result is the dialog's.
   int Run( std::function<void( TSetIdentifierDialog& )> handler )
   {
      dialogs.Expect( "SetIdentifierDialog",
                      [handler]( QDialog& d )
                      {
                         handler( static_cast<TSetIdentifierDialog&>( d ) );
                         return int( QDialog::Rejected );
                      } );
      return platform::DialogRunner::exec( *dialog );
   }

   static void Type( TSetIdentifierDialog& d, const QString& text ) { d.NewIdentifier_Edit->setText( text ); }

   std::unique_ptr<TSetIdentifierDialog> dialog;
   std::vector<std::string> validated;
};

} // namespace

TEST_F( SetIdentifierDialogTest, ItShowsTheCurrentIdentifierInBothEdits )
{
   MakeDialog( "Process01" ).newIdentifier = "stale";
   EXPECT_EQ( dialog->windowTitle(), "Set Identifier" );
   Run(
       [&]( TSetIdentifierDialog& d )
       {
          EXPECT_EQ( d.CurrentIdentifier_Edit->text(), "Process01" );
          EXPECT_TRUE( d.CurrentIdentifier_Edit->isReadOnly() );
          EXPECT_EQ( d.NewIdentifier_Edit->text(), "Process01" );
          EXPECT_EQ( d.newIdentifier, "Process01" );
          EXPECT_EQ( d.findChild<QLabel*>( "CurrentIdentifier_Label" )->text(), "Current identifier:" );
          EXPECT_EQ( d.findChild<QLabel*>( "NewIdentifier_Label" )->text(), "New identifier:" );
          EXPECT_TRUE( d.OK_Button->isDefault() );
       } );
}

TEST_F( SetIdentifierDialogTest, ARejectedIdentifierKeepsTheDialogOpenWithTheLastAcceptedOne )
{
   TSetIdentifierDialog& d = MakeDialog( "Process01" );
   struct Case
   {
      QString typed;
      QString message;
   };
   const Case cases[] = {
       { "Taken", "Identifier already in use: Taken" },
       { "1st", "Identifiers must begin with an alphabetic or underscore character." },
       { "", "Identifier cannot be empty in this context." },
       { "a&b;", "Macro expressions not allowed here." },
   };
   const int result = Run(
       [&]( TSetIdentifierDialog& d )
       {
          // An accepted identifier first: it is what a later rejection goes back to.
          Type( d, "Accepted" );
          d.NewIdentifier_EditExit();
          for ( const Case& c : cases )
          {
             SCOPED_TRACE( c.typed.toStdString() );
             prompter.Expect( c.message );
             Type( d, c.typed );
             d.OK_Button->click();
             EXPECT_TRUE( d.isVisible() );
             EXPECT_TRUE( d.inputError );
             EXPECT_EQ( d.NewIdentifier_Edit->text(), "Accepted" );
             EXPECT_EQ( d.newIdentifier, "Accepted" );
          }
          Type( d, "  Renamed " );
          d.OK_Button->click();
          EXPECT_FALSE( d.isVisible() );
       } );
   EXPECT_EQ( result, QDialog::Accepted );
   EXPECT_EQ( d.newIdentifier, "Renamed" );
   EXPECT_EQ( validated, ( std::vector<std::string>{ "Accepted", "Taken", "Renamed" } ) );
}

// The current identifier is taken as it is: the validator would refuse it, since it is in use (by the caller).
TEST_F( SetIdentifierDialogTest, TheCurrentIdentifierPassesWithoutTheValidator )
{
   TSetIdentifierDialog& d = MakeDialog( "Taken" );
   const int result = Run( []( TSetIdentifierDialog& d ) { d.OK_Button->click(); } );
   EXPECT_EQ( result, QDialog::Accepted );
   EXPECT_EQ( d.newIdentifier, "Taken" );
   EXPECT_TRUE( validated.empty() );
}

// With the mouse, as the user does it: a click on a button leaves the focus in the edit, so OK checks the text
// once (one message, the dialog stays open) and Cancel not at all.
TEST_F( SetIdentifierDialogTest, ClickingOkChecksOnceAndClickingCancelChecksNothing )
{
   MakeDialog( "Process01" );
   prompter.Expect( "Identifier already in use: Taken" );
   const int result = Run(
       [&]( TSetIdentifierDialog& d )
       {
          d.activateWindow();
          ASSERT_TRUE( QTest::qWaitForWindowActive( &d ) );
          EXPECT_TRUE( d.NewIdentifier_Edit->hasFocus() );
          Type( d, "Taken" );
          QTest::mouseClick( d.OK_Button, Qt::LeftButton );
          EXPECT_TRUE( d.isVisible() );
          EXPECT_TRUE( d.NewIdentifier_Edit->hasFocus() );
          EXPECT_EQ( d.NewIdentifier_Edit->text(), "Process01" );

          Type( d, "9lives" );
          QTest::mouseClick( d.Cancel_Button, Qt::LeftButton );
          EXPECT_FALSE( d.isVisible() );
       } );
   EXPECT_EQ( result, QDialog::Rejected );
   EXPECT_EQ( prompter.Records().size(), 1u );
}
