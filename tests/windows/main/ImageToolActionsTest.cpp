// The main window's commands that rename images, make new ones and report on them: Set Identifier, Information,
// Make Image, File > New Image and the Process and Tools entries of their windows, with their idle rules.

#include <gtest/gtest.h>

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMdiArea>
#include <QMenu>
#include <QTest>
#include <QTextEdit>
#include <QToolBar>
#include <QToolButton>

#include <memory>

#include "MainWindowTestSupport.h"
#include "TestSupport.h"
#include "process/ProcessContainer.h"
#include "windows/dialogs/ImageIdentifierDialog.h"
#include "windows/dialogs/NewImageFromPreviewDialog.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ImageIdentifierWindow.h"
#include "windows/processing/NewImageWindow.h"
#include "windows/processing/ProcessingStatusDialog.h"
#include "windows/tools/ImageInformationWindow.h"

namespace
{

class ImageToolActionsTest : public test::ScriptedUiTest
{
protected:
   void SetUp() override
   {
      test::ScriptedUiTest::SetUp();
      savedActive = StatusDialog().applicationActive;
      StatusDialog().applicationActive = [] { return true; };
      main = std::make_unique<TMainWindow>();
      main->resize( 1000, 800 );
      main->show();
      ASSERT_TRUE( QTest::qWaitForWindowExposed( main.get() ) );
   }

   void TearDown() override
   {
      test::DiscardAllImageWindows();
      main.reset();
      StatusDialog().applicationActive = savedActive;
      test::ScriptedUiTest::TearDown();
   }

   TImageWindow* Open( int w, int h, const std::string& id )
   {
      TImageWindow* window = CreateImageWindow( main.get(), new qor::Image( w, h, 3, qor::ColorSpace::RGB ), id );
      window->Frame()->show();
      main->Desktop()->setActiveSubWindow( window->SubWindow() );
      return window;
   }

   std::unique_ptr<TMainWindow> main;
   std::function<bool()> savedActive;
};

TEST_F( ImageToolActionsTest, TheCommandsHaveTheirCaptionsPlacesAndIdleRules )
{
   struct Entry
   {
      QAction* action;
      const char* caption;
      const char* hint;
   };
   for ( const Entry& e : { Entry{ main->ImageSetIdentifier_Action, "Set Identifier...", "Set Image Identifier" },
                            Entry{ main->ImageViewInformation_Action, "Information", "Information" },
                            Entry{ main->PreviewMakeImage_Action, "Make Image...", "Make Image from Preview" },
                            Entry{ main->ProcessNewImage_Action, "New Image", "New Image" },
                            Entry{ main->ProcessImageIdentifier_Action, "Image Identifier", "Image Identifier" },
                            Entry{ main->ToolsImageInformation_Action, "Image Information", "Image Information" } } )
   {
      ASSERT_NE( e.action, nullptr ) << e.caption;
      EXPECT_EQ( e.action->text(), e.caption );
      EXPECT_EQ( e.action->toolTip(), e.hint );
   }
   EXPECT_EQ( main->FileNew_Action->text(), "New Image..." );
   EXPECT_TRUE( main->Preview_Menu->actions().contains( main->PreviewMakeImage_Action ) );
   EXPECT_TRUE( main->Image_Menu->actions().contains( main->ImageSetIdentifier_Action ) );
   EXPECT_TRUE( main->Tools_Menu->actions().contains( main->ToolsImageInformation_Action ) );
   EXPECT_TRUE( main->Process_Menu->actions().contains( main->ProcessNewImage_Action ) );
   EXPECT_TRUE( main->Process_Menu->actions().contains( main->ProcessImageIdentifier_Action ) );
   EXPECT_EQ( main->Tools_ToolBar->actions().first(), main->ToolsImageInformation_Action );
   const QList<QAction*> preview = main->Preview_ToolBar->actions();
   EXPECT_EQ( preview.indexOf( main->PreviewMakeImage_Action ), preview.indexOf( main->PreviewProperties_Action ) + 1 );

   auto enabled = [&]
   {
      main->ApplicationEvents1Idle();
      return std::vector<bool>{
          main->ImageSetIdentifier_Action->isEnabled(),     main->ImageViewInformation_Action->isEnabled(),
          main->PreviewMakeImage_Action->isEnabled(),       main->ProcessNewImage_Action->isEnabled(),
          main->ProcessImageIdentifier_Action->isEnabled(), main->ToolsImageInformation_Action->isEnabled() };
   };
   EXPECT_EQ( enabled(), ( std::vector<bool>{ false, false, false, true, true, true } ) );
   TImageWindow* w = Open( 64, 48, "M31" );
   EXPECT_EQ( enabled(), ( std::vector<bool>{ true, true, false, true, true, true } ) );
   w->CreatePreview( "P01", 0, 0, 20, 20 ); // selected on the main view
   EXPECT_EQ( enabled(), ( std::vector<bool>{ true, true, true, true, true, true } ) );
}

TEST_F( ImageToolActionsTest, SetIdentifierRenamesTheActiveImageThroughItsDialogAsAProcessRun )
{
   TImageWindow* w = Open( 32, 24, "M31" );
   Open( 32, 24, "Andromeda" );
   main->Desktop()->setActiveSubWindow( w->SubWindow() );
   dialogs.Expect( "ImageIdentifierDialog",
                   []( QDialog& d )
                   {
                      auto& dialog = static_cast<TImageIdentifierDialog&>( d );
                      EXPECT_EQ( dialog.CurrentIdentifier_Edit->text(), "M31" );
                      EXPECT_EQ( dialog.NewIdentifier_Edit->text(), "M31" );
                      EXPECT_TRUE( dialog.CurrentIdentifier_Edit->isReadOnly() );
                      dialog.NewIdentifier_Edit->setText( "Andromeda" );
                      dialog.OK_SpeedButton->click();
                      return dialog.result();
                   } );
   main->ImageSetIdentifier_Action->trigger();
   EXPECT_EQ( w->mainView->Identifier(), "Andromeda1" );
   EXPECT_EQ( w->mainView->History().instances.Length(), 1u );
   main->ApplicationEvents1Idle();
   EXPECT_EQ( main->EditUndo_Action->text(), "Undo ImageIdentifier" );
   main->EditUndo_Action->trigger();
   EXPECT_EQ( w->mainView->Identifier(), "M31" );

   // A refused new identifier goes back to the current one.
   dialogs.Expect( "ImageIdentifierDialog",
                   [this]( QDialog& d )
                   {
                      auto& dialog = static_cast<TImageIdentifierDialog&>( d );
                      prompter.Expect( "Whitespace not allowed in identifiers." );
                      dialog.NewIdentifier_Edit->setText( "M 31" );
                      RunEditExitHandler( dialog.NewIdentifier_Edit );
                      EXPECT_TRUE( dialog.inputError );
                      EXPECT_EQ( dialog.NewIdentifier_Edit->text(), "M31" );
                      dialog.Cancel_SpeedButton->click();
                      return dialog.result();
                   } );
   main->ImageSetIdentifier_Action->trigger();
   EXPECT_EQ( w->mainView->Identifier(), "M31" );

   // The Process menu's window renames too, and follows the rename.
   main->ProcessImageIdentifier_Action->trigger();
   EXPECT_TRUE( ImageIdentifierWindow().isVisible() );
}

TEST_F( ImageToolActionsTest, NewImageFromTheFileMenuAndMakeImageFromAPreview )
{
   TImageWindow* w = Open( 300, 200, "M31" );
   main->FileNew_Action->trigger();
   TNewImageWindow& newImage = NewImageWindow();
   EXPECT_TRUE( newImage.isVisible() );
   EXPECT_EQ( newImage.Width_Edit->text(), "300" );
   EXPECT_EQ( newImage.Height_Edit->text(), "200" );
   EXPECT_TRUE( newImage.colorMode );
   newImage.Apply();
   ASSERT_EQ( MainViewList.size(), 2u );
   EXPECT_EQ( MainViewList.back()->Window()->image->Width(), 300 );
   newImage.hide();

   main->Desktop()->setActiveSubWindow( w->SubWindow() );
   TImageWindow::Preview* p = w->CreatePreview( "P01", 10, 10, 40, 30 );
   w->SelectView( p );
   dialogs.Expect( "NewImageFromPreviewDialog",
                   [p]( QDialog& d )
                   {
                      auto& dialog = static_cast<TNewImageFromPreviewDialog&>( d );
                      EXPECT_EQ( dialog.preview, p );
                      dialog.ImageIdentifier_Edit->setText( "&imageId;" );
                      RunEditExitHandler( dialog.ImageIdentifier_Edit );
                      dialog.OK_SpeedButton->click();
                      return dialog.result();
                   } );
   main->ApplicationEvents1Idle();
   main->PreviewMakeImage_Action->trigger();
   ASSERT_EQ( MainViewList.size(), 3u );
   EXPECT_EQ( MainViewList.back()->Identifier(), "M31_P01" );
   EXPECT_EQ( MainViewList.back()->Window()->image->Width(), 40 );
   EXPECT_TRUE( w->previews.empty() );
}

TEST_F( ImageToolActionsTest, InformationReportsTheCurrentViewOfTheActiveImage )
{
   TImageWindow* w = Open( 30, 20, "M31" );
   main->ImageViewInformation_Action->trigger();
   TImageInformationWindow& info = ImageInformationWindow();
   EXPECT_TRUE( info.isVisible() );
   EXPECT_EQ( info.CurrentView(), w->mainView );
   EXPECT_TRUE( info.Edit->toPlainText().startsWith( "Image identifier: M31\n" ) );
   info.hide();
   main->ToolsImageInformation_Action->trigger();
   EXPECT_TRUE( info.isVisible() );
}

} // namespace
