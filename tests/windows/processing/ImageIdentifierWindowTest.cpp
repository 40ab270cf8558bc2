// The Image Identifier window driven offscreen: the identifier typed (checked, macros and an empty text allowed), the
// line that follows the open images, its instances, and Apply renaming the images selected for it.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLabel>
#include <QLineEdit>

#include "process/ImageIdentifier.h"
#include "windows/dialogs/ImageIdentifierDialog.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/processing/ImageIdentifierWindow.h"

namespace
{

class ImageIdentifierWindowTest : public test::ImageWindowProcessTest
{
protected:
   bool Type( const QString& text )
   {
      window.inputError = false;
      window.Identifier_Edit->setText( text );
      RunEditExitHandler( window.Identifier_Edit );
      return !window.inputError;
   }
   QString Info() const { return window.Info_StaticText->text(); }

   TImageIdentifierWindow window;
};

TEST_F( ImageIdentifierWindowTest, TheInformationLineFollowsTheImagesAsTheyOpenAreRenamedAndClose )
{
   EXPECT_TRUE( Type( "M42" ) );
   EXPECT_EQ( Info(), "Identifier not used" );
   TImageWindow* w = Make( new qor::Image( 8, 8 ), "M42" );
   EXPECT_EQ( Info(), "The identifier is already in use" );
   w->mainView->SetIdentifier( "Orion" );
   EXPECT_EQ( Info(), "Identifier not used" );
   w->mainView->SetIdentifier( "M42" );
   EXPECT_EQ( Info(), "The identifier is already in use" );
   delete w;
   EXPECT_EQ( Info(), "Identifier not used" );
}

TEST_F( ImageIdentifierWindowTest, TemplatesAndEmptyTextsAreAcceptedAndARefusedTextGoesBack )
{
   EXPECT_TRUE( Type( " &imageId;_crop " ) );
   EXPECT_EQ( window.identifier, "&imageId;_crop" );
   EXPECT_EQ( window.Identifier_Edit->text(), "&imageId;_crop" );
   EXPECT_TRUE( Type( "" ) );
   EXPECT_EQ( window.identifier, "" );
   EXPECT_TRUE( Type( "Orion" ) );

   prompter.Expect( "Identifiers must begin with an alphabetic or underscore character." );
   EXPECT_FALSE( Type( "2nd" ) );
   EXPECT_EQ( window.identifier, "Orion" );
   EXPECT_EQ( window.Identifier_Edit->text(), "Orion" );

   // Its instances carry the identifier, and it takes theirs.
   EXPECT_EQ( window.NewInstance()->ToText(), "ImageIdentifier id=\"Orion\"" );
   window.ImportInstance( ImageIdentifier( "&imageId;&uniqueId;" ) );
   EXPECT_EQ( window.Identifier_Edit->text(), "&imageId;&uniqueId;" );
   EXPECT_TRUE( ImageIdentifier().IsInterface( &window ) );
   TImageIdentifierDialog dialog;
   EXPECT_TRUE( ImageIdentifier().IsInterface( &dialog ) );
}

TEST_F( ImageIdentifierWindowTest, ApplyRenamesEveryImageSelectedForTheWindow )
{
   TImageWindow* a = Make( new qor::Image( 8, 8 ), "A" );
   TImageWindow* b = Make( new qor::Image( 8, 8 ), "B" );
   TImageWindow* c = Make( new qor::Image( 8, 8 ), "C" );
   ASSERT_TRUE( Type( "Light" ) );
   a->mainView->selectingWindows.Add( &window );
   c->mainView->selectingWindows.Add( &window );
   window.show();
   window.findChild<QAbstractButton*>( "Apply_SpeedButton" )->click();
   EXPECT_EQ( a->mainView->Identifier(), "Light" );
   EXPECT_EQ( b->mainView->Identifier(), "B" );
   EXPECT_EQ( c->mainView->Identifier(), "Light1" );
   EXPECT_EQ( Info(), "The identifier is already in use" );
}

} // namespace
