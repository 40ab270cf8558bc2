// The main window's action table, menus and tool bars, and the idle update that enables, checks and captions them.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QListWidget>
#include <QMap>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>

#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "MainWindowTestSupport.h"
#include "TestSupport.h"
#include "classlib/Image.h"
#include "platform/Registry.h"
#include "process/Preferences.h"
#include "process/ProcessContainer.h"
#include "process/ProcessRegistry.h"
#include "windows/image/ImageWindow.h"
#include "windows/main/Application.h"
#include "windows/main/MainWindow.h"
#include "windows/main/SystemPerformance.h"
#include "windows/processing/ProcessingStatusDialog.h"
#include "windows/processing/ProcessingTestKit.h"
#include "windows/dialogs/PreviewPropertiesDialog.h"
#include "windows/processing/ExtractChannelsWindow.h"
#include "windows/processing/HistogramWindow.h"
#include "windows/processing/ImportChannelsWindow.h"
#include "windows/processing/MedianFilterWindow.h"
#include "windows/processing/MinMaxFiltersWindow.h"
#include "windows/processing/RGBSpaceParametersWindow.h"
#include "windows/processing/SCNRWindow.h"
#include "windows/processing/CurvesWindow.h"
#include "windows/processing/ProcessContainerWindow.h"
#include "windows/processing/ProcessingHistoryWindow.h"
#include "windows/tools/RealTimePreviewWindow.h"
#include "windows/tools/StatisticsWindow.h"

namespace
{

class CommandSurfaceTest : public test::ScriptedUiTest
{
protected:
   void SetUp() override
   {
      test::ScriptedUiTest::SetUp();
      savedPreferences = CurrentPreferences;
      platform::Registry().DeleteKey( ApplicationRegistryKey() ); // the default tool-bar layout
      main = test::ShownMainWindow();
      ASSERT_NE( main, nullptr );
   }

   void TearDown() override
   {
      test::DiscardAllImageWindows();
      main.reset();
      CurrentImageWindowMode = 0;
      SystemPerformanceIndex = 0;
      CurrentPreferences = savedPreferences;
      test::ScriptedUiTest::TearDown();
   }

   TImageWindow* Open( int w, int h, int channels = 1, int colorSpace = qor::ColorSpace::Gray,
                       const std::string& id = "" )
   {
      TImageWindow* window = CreateImageWindow( main.get(), new qor::Image( w, h, channels, colorSpace ), id );
      window->Frame()->show();
      main->Desktop()->setActiveSubWindow( window->SubWindow() );
      return window;
   }

   void Idle() { main->ApplicationEvents1Idle(); }

   std::unique_ptr<TMainWindow> main;
   GlobalPreferences savedPreferences;
};

// Every shortcut of the window: those of its actions and the menu bar's Alt+mnemonics.
QMap<QString, QStringList> Shortcuts( TMainWindow& w )
{
   QMap<QString, QStringList> owners;
   for ( QAction* a : w.findChildren<QAction*>() )
      for ( const QKeySequence& k : a->shortcuts() )
         if ( !k.isEmpty() && a->shortcutContext() != Qt::WidgetShortcut )
            owners[k.toString()] << ( a->objectName().isEmpty() ? a->text() : a->objectName() );
   for ( QAction* menu : w.menuBar()->actions() )
   {
      const QString text = menu->text();
      const qsizetype amp = text.indexOf( '&' );
      if ( amp >= 0 && amp + 1 < text.size() )
         owners["Alt+" + text.mid( amp + 1, 1 ).toUpper()] << "menu " + QString( text ).remove( '&' );
   }
   return owners;
}

} // namespace

// ---- Action table ---------------------------------------------------------------------------------------------------

TEST_F( CommandSurfaceTest, NoTwoCommandsShareAShortcutAndTheTableGivesEachItsOwn )
{
   // An image window brings the toolkit's own commands of its frame (Close is Ctrl+W there).
   Open( 16, 16 );
   const QMap<QString, QStringList> owners = Shortcuts( *main );
   for ( auto i = owners.begin(); i != owners.end(); ++i )
      EXPECT_EQ( 1, i.value().size() ) << i.key().toStdString() << ": " << i.value().join( ", " ).toStdString();

   const std::pair<const char*, const char*> expected[] = {
       { "ImageEnableColorManagement_Action", "F11" },  { "MaskSelectMask_Action", "Ctrl+M" },
       { "MaskRemoveMask_Action", "Ctrl+Alt+M" },       { "MaskEnableMask_Action", "Ctrl+Shift+M" },
       { "PreviewNew_Action", "Ctrl+P" },               { "PreviewNext_Action", "Ctrl+Right" },
       { "PreviewPrev_Action", "Ctrl+Left" },           { "PreviewUndo_Action", "Ctrl+Shift+Z" },
       { "PreviewStore_Action", "Ctrl+Alt+S" },         { "PreviewRestore_Action", "Ctrl+Alt+R" },
       { "PreviewReset_Action", "Ctrl+R" },             { "WindowZoomIn_Action", "Ctrl+Up" },
       { "WindowZoomOut_Action", "Ctrl+Down" },         { "WindowZoom11_Action", "Ctrl+1" },
       { "WindowZoom12_Action", "Ctrl+Shift+2" },       { "WindowZoom18_Action", "Ctrl+Shift+8" },
       { "WindowZoom81_Action", "Ctrl+8" },             { "WindowZoomToFit_Action", "Ctrl+0" },
       { "WindowFitWindow_Action", "Ctrl+W" },          { "WindowHideAllProcessingWindows_Action", "Ctrl+H" },
       { "WindowShowControlBars_Action", "Ctrl+B" },    { "HelpIndex_Action", "F1" },
       { "HelpOnlineHelp_Action", "Shift+F1" },         { "ReadoutMode_Action", "Alt+R" },
       { "ZoomOutMode_Action", "Alt+Shift+Z" },         { "EditPreviewMode_Action", "Alt+E" },
   };
   for ( const auto& [name, keys] : expected )
   {
      QAction* a = main->findChild<QAction*>( name );
      ASSERT_NE( nullptr, a ) << name;
      EXPECT_EQ( QKeySequence( keys ), a->shortcut() ) << name;
   }
   EXPECT_EQ( QAction::QuitRole, main->FileExit_Action->menuRole() );
   EXPECT_EQ( QAction::AboutRole, main->HelpAbout_Action->menuRole() );
}

TEST_F( CommandSurfaceTest, ToolBarsHoldTheirActionsAndTheModeButtonsAreNamed )
{
   EXPECT_TRUE( main->Zoom_ToolBar->actions().contains( main->WindowZoom21_Action ) );
   EXPECT_TRUE( main->Preview_ToolBar->actions().contains( main->PreviewUndo_Action ) );
   EXPECT_TRUE( main->Mask_ToolBar->actions().contains( main->MaskShowMask_Action ) );
   EXPECT_TRUE( main->Tools_ToolBar->actions().contains( main->ToolsMemoryWatch_Action ) );
   EXPECT_TRUE( main->Tools_ToolBar->actions().contains( main->ToolsRealTimePreview_Action ) );
   EXPECT_TRUE( main->TransferCurves_ToolBar->actions().contains( main->ProcessCurves_Action ) );
   EXPECT_NE( nullptr, main->findChild<QWidget*>( "DynamicBackgroundExtractionMode_ToolButton" ) );
   EXPECT_NE( nullptr, main->findChild<QWidget*>( "EditUndo_ToolButton" ) );
   EXPECT_EQ( 128, main->SelectChannel_ComboBox->width() );
   // Tool buttons draw their icons at the screen's density: a 2x request gives a 2x pixmap.
   const QPixmap sharp = main->WindowZoom11_Action->icon().pixmap( QSize( 20, 20 ), 2.0 );
   EXPECT_EQ( QSize( 40, 40 ), sharp.size() );
}

TEST_F( CommandSurfaceTest, TheNewProcessMenuListsTheRegistryByCategory )
{
   const ProcessRegistry::ByCategoryList& list = TheProcessRegistry().ByCategory();
   QStringList expected;
   for ( size_t k = 0; k < list.Length(); ++k )
      expected << QString::fromStdString( list[k]->Prototype().Category() ) + "/" +
                      QString::fromStdString( list[k]->Prototype().Id() );
   QStringList shown;
   for ( QAction* category : main->NewProcess_MenuItem->actions() )
      for ( QAction* item : category->menu()->actions() )
         shown << QString( category->text() ).remove( '&' ) + "/" + item->text();
   EXPECT_EQ( expected, shown );
}

TEST_F( CommandSurfaceTest, ZoomActionsStepAndSetTheZoomOfTheActiveWindow )
{
   TImageWindow* w = Open( 400, 300 );
   main->WindowZoom12_Action->trigger();
   EXPECT_EQ( -2, w->currentView->zoom );
   main->WindowZoomIn_Action->trigger();
   EXPECT_EQ( 1, w->currentView->zoom );
   main->WindowZoomOut_Action->trigger();
   EXPECT_EQ( -2, w->currentView->zoom );
   main->WindowZoom81_Action->trigger();
   EXPECT_EQ( 8, w->currentView->zoom );
}

TEST_F( CommandSurfaceTest, ModesAndTheChannelSelectorActOnTheActiveWindow )
{
   TImageWindow* w = Open( 64, 48, 4, qor::ColorSpace::RGB );
   Idle();
   main->PanMode_Action->trigger();
   EXPECT_EQ( 3, CurrentImageWindowMode );
   Idle();
   EXPECT_TRUE( main->PanMode_Action->isChecked() );
   EXPECT_FALSE( main->ReadoutMode_Action->isChecked() );

   // Preview-only modes need the main view; on a preview they do nothing.
   w->SelectView( w->CreatePreview( "", 0, 0, 32, 32 ) );
   main->NewPreviewMode_Action->trigger();
   EXPECT_EQ( 3, CurrentImageWindowMode );

   main->SelectChannel_ComboBox->setCurrentIndex( 2 );
   main->SelectChannel_ComboBoxClick();
   EXPECT_EQ( 2, w->displayChannel );
}

TEST_F( CommandSurfaceTest, PreviewActionsWorkOnTheTargetPreview )
{
   TImageWindow* w = Open( 100, 80 );
   TImageWindow::Preview* p = w->CreatePreview( "", 10, 10, 30, 20 );
   w->selectedPreview = p;
   main->PreviewClone_Action->trigger();
   ASSERT_EQ( 2u, w->previews.size() );
   TImageWindow::Preview* clone = w->previews.back();
   EXPECT_EQ( 10, clone->left );
   EXPECT_EQ( 30, clone->GetImage().Width() );
   EXPECT_EQ( clone, w->selectedPreview );
   EXPECT_TRUE( w->currentView->IsMainView() );

   main->PreviewDelete_Action->trigger();
   EXPECT_EQ( 1u, w->previews.size() );
   main->PreviewDeleteAll_Action->trigger();
   EXPECT_TRUE( w->previews.empty() );
}

// New Preview and Preview Properties hand the dialog the window and the preview; Undo Preview undoes, then redoes,
// the last run, saying which; Store keeps the processed pixels as the state runs start from.
TEST_F( CommandSurfaceTest, PreviewDialogUndoAndStoreActionsReachThePreview )
{
   TImageWindow* w = Open( 100, 80 );
   dialogs.Expect( "PreviewPropertiesDialog",
                   [w]( QDialog& d )
                   {
                      auto& dialog = static_cast<TPreviewPropertiesDialog&>( d );
                      EXPECT_EQ( w, dialog.targetWindow );
                      EXPECT_EQ( nullptr, dialog.preview );
                      dialog.FormShow();
                      dialog.Apply();
                      return int( QDialog::Accepted );
                   } );
   main->PreviewNew_Action->trigger();
   ASSERT_EQ( 1u, w->previews.size() );
   TImageWindow::Preview* p = w->previews[0];
   w->selectedPreview = p;
   dialogs.Expect( "PreviewPropertiesDialog",
                   [p]( QDialog& d )
                   {
                      EXPECT_EQ( p, static_cast<TPreviewPropertiesDialog&>( d ).preview );
                      return int( QDialog::Rejected );
                   } );
   main->PreviewProperties_Action->trigger();

   const float original = p->GetImage().PixelData( 0 )[3];
   test::Scale half( 0.5f );
   ASSERT_TRUE( half.LaunchOn( *p ) );
   Idle();
   EXPECT_EQ( "Undo Preview Scale", main->PreviewUndo_Action->text() );
   main->PreviewUndo_Action->trigger();
   EXPECT_EQ( original, p->GetImage().PixelData( 0 )[3] );
   EXPECT_EQ( p, w->currentView ); // the undone preview is shown
   Idle();
   EXPECT_EQ( "Redo Preview Scale", main->PreviewUndo_Action->text() );
   EXPECT_TRUE( main->PreviewUndo_Action->isEnabled() );
   main->PreviewUndo_Action->trigger();
   EXPECT_EQ( original * 0.5f, p->GetImage().PixelData( 0 )[3] );

   main->PreviewStore_Action->trigger();
   EXPECT_TRUE( p->HasStoredState() );
   Idle();
   EXPECT_EQ( "Nothing to undo", main->PreviewUndo_Action->text() );
   EXPECT_FALSE( main->PreviewUndo_Action->isEnabled() );
}

// Enable Mask and Show Mask switch the active window's mask and follow it with their check marks.
TEST_F( CommandSurfaceTest, MaskActionsSwitchMaskingAndTheMaskDisplay )
{
   TImageWindow* w = Open( 32, 24 );
   TImageWindow* mask = CreateImageWindow( main.get(), new qor::Image( 32, 24 ), "Mask" );
   w->SetMask( mask );
   main->Desktop()->setActiveSubWindow( w->SubWindow() );
   Idle();
   ASSERT_TRUE( main->MaskEnableMask_Action->isEnabled() );
   EXPECT_TRUE( main->MaskEnableMask_Action->isChecked() );
   main->MaskEnableMask_Action->trigger();
   EXPECT_FALSE( w->maskEnabled );
   main->MaskShowMask_Action->trigger();
   EXPECT_FALSE( w->maskShown );
   Idle();
   EXPECT_FALSE( main->MaskEnableMask_Action->isChecked() );
   EXPECT_FALSE( main->MaskShowMask_Action->isChecked() );
   main->MaskEnableMask_Action->trigger();
   main->MaskShowMask_Action->trigger();
   EXPECT_TRUE( w->maskEnabled );
   EXPECT_TRUE( w->maskShown );
   w->SetMask( nullptr );
}

// The colour-space conversions run on the main view when the image allows them; the show family shows its window.
TEST_F( CommandSurfaceTest, ColorSpaceActionsConvertTheImageAndProcessActionsShowTheirWindows )
{
   TImageWindow* w = Open( 8, 6, 3, qor::ColorSpace::RGB );
   Idle();
   EXPECT_TRUE( main->ColorSpaceConvertToGrayscale_Action->isEnabled() );
   EXPECT_FALSE( main->ColorSpaceConvertToRGBColor_Action->isEnabled() );
   main->ColorSpaceConvertToGrayscale_Action->trigger();
   EXPECT_FALSE( w->image->IsColor() );
   Idle();
   EXPECT_TRUE( main->ColorSpaceConvertToRGBColor_Action->isEnabled() );
   main->ColorSpaceConvertToRGBColor_Action->trigger();
   EXPECT_TRUE( w->image->IsColor() );
   EXPECT_EQ( 3, w->image->NumberOfChannels() );

   const std::pair<QAction*, QWidget*> shows[] = {
       { main->ProcessMedianFilter_Action, &MedianFilterWindow() },
       { main->ProcessMinMaxFilter_Action, &MinMaxFiltersWindow() },
       { main->ProcessSCNR_Action, &SCNRWindow() },
       { main->ProcessExtractChannels_Action, &ExtractChannelsWindow() },
       { main->ProcessImportChannels_Action, &ImportChannelsWindow() },
       { main->ProcessRGBSpaceParameters_Action, &RGBSpaceParametersWindow() },
       { main->ToolsStatistics_Action, &StatisticsWindow() },
       { main->ToolsRealTimePreview_Action, &RealTimePreviewWindow() },
       { main->ProcessCurves_Action, &CurvesWindow() },
       { main->ToolsProcessingHistory_Action, &ProcessingHistoryWindow() },
       { main->ProcessProcessContainer_Action, &ProcessContainerWindow() } };
   for ( auto [action, window] : shows )
   {
      window->hide();
      action->trigger();
      EXPECT_TRUE( window->isVisible() ) << action->objectName().toStdString();
      window->hide();
   }
   main->ImageViewStatistics_Action->trigger();
   EXPECT_TRUE( StatisticsWindow().isVisible() );
   StatisticsWindow().hide();

   // The history of the current view, and its report in the modal dialog.
   main->ImageViewProcessingHistory_Action->trigger();
   EXPECT_TRUE( ProcessingHistoryWindow().isVisible() );
   ProcessingHistoryWindow().hide();
   dialogs.ExpectResult( "ProcessingReportDialog", QDialog::Accepted );
   main->ImageViewProcessingReport_Action->trigger();
   EXPECT_EQ( 0u, dialogs.PendingCount() );
}

TEST_F( CommandSurfaceTest, DuplicateMakesANewWindowWithACopyOfThePixels )
{
   TImageWindow* w = Open( 8, 6, 3, qor::ColorSpace::RGB, "Source" );
   w->image->PixelData( 1 )[5] = 0.25f;
   main->ImageDuplicate_Action->trigger();
   ASSERT_EQ( 2u, MainViewList.size() );
   TImageWindow* copy = MainViewList.back()->Window();
   EXPECT_NE( "Source", copy->mainView->Identifier() );
   EXPECT_EQ( 0.25f, copy->image->PixelData( 1 )[5] );
   EXPECT_EQ( copy, main->ActiveImageWindow() );
}

// ---- Idle update ------------------------------------------------------------------------------------------------------

namespace
{

enum class Situation
{
   NoImage,
   FreshImage,
   ModifiedWithFile,
   ModifiedCopy,
   PreviewCurrent,
   MainViewWithSelectedPreview,
   MainViewWithUnselectedPreview,
   Masked
};

struct IdleCase
{
   Situation situation;
   std::vector<const char*> enabled;
   std::vector<const char*> disabled;
};

} // namespace

TEST_F( CommandSurfaceTest, IdleRulesFollowTheStateOfTheActiveWindow )
{
   const IdleCase cases[] = {
       { Situation::NoImage,
         {},
         { "FileSave_Action", "FileRevert_Action", "FileClose_Action", "FileSaveAs_Action", "FileCloseAll_Action",
           "EditCopy_Action", "EditUndo_Action", "ImageDuplicate_Action", "WindowZoomIn_Action", "WindowZoom81_Action",
           "WindowCascade_Action", "PreviewNext_Action", "MaskSelectMask_Action", "ReadoutMode_Action",
           "NewPreviewMode_Action" } },
       { Situation::FreshImage,
         { "FileSaveAs_Action", "FileClose_Action", "FileCloseAll_Action", "EditCopy_Action", "WindowZoomIn_Action",
           "WindowCascade_Action", "MaskSelectMask_Action", "NewPreviewMode_Action", "DynamicCropMode_Action" },
         { "FileSave_Action", "FileRevert_Action", "EditUndo_Action", "PreviewNext_Action", "PreviewClone_Action",
           "MaskRemoveMask_Action", "MaskEnableMask_Action", "ColorSpaceConvertToGrayscale_Action" } },
       { Situation::ModifiedWithFile, { "FileSave_Action", "FileRevert_Action" }, {} },
       { Situation::ModifiedCopy, { "FileRevert_Action", "FileSaveAs_Action" }, { "FileSave_Action" } },
       { Situation::PreviewCurrent,
         { "PreviewClone_Action", "PreviewDelete_Action", "PreviewNext_Action", "ReadoutMode_Action",
           "PreviewStore_Action", "PreviewProperties_Action" },
         { "NewPreviewMode_Action", "DynamicCropMode_Action", "PreviewUndo_Action" } },
       { Situation::MainViewWithSelectedPreview, { "PreviewReset_Action", "PreviewDelete_Action" }, {} },
       { Situation::MainViewWithUnselectedPreview,
         { "PreviewNext_Action", "PreviewDeleteAll_Action" },
         { "PreviewReset_Action", "PreviewClone_Action" } },
       { Situation::Masked, { "MaskRemoveMask_Action", "MaskEnableMask_Action", "MaskShowMask_Action" }, {} },
   };
   for ( const IdleCase& c : cases )
   {
      for ( TImageWindow::View* v : std::vector<TImageWindow::View*>( MainViewList ) )
      {
         v->Window()->modificationCount = 0;
         v->Window()->SetMask( nullptr );
      }
      while ( !MainViewList.empty() )
         delete MainViewList.back()->Window()->Frame();
      if ( c.situation != Situation::NoImage )
      {
         TImageWindow* w = Open( 64, 48 );
         switch ( c.situation )
         {
         case Situation::ModifiedWithFile:
         case Situation::ModifiedCopy:
            w->filePath = "/tmp/m31.fits";
            w->isCopy = c.situation == Situation::ModifiedCopy;
            w->modificationCount = 1;
            break;
         case Situation::PreviewCurrent:
            w->SelectView( w->CreatePreview( "", 0, 0, 20, 20 ) );
            break;
         case Situation::MainViewWithSelectedPreview:
            w->selectedPreview = w->CreatePreview( "", 0, 0, 20, 20 );
            break;
         case Situation::MainViewWithUnselectedPreview:
            w->CreatePreview( "", 0, 0, 20, 20 );
            w->selectedPreview = nullptr;
            break;
         case Situation::Masked:
         {
            TImageWindow* mask = CreateImageWindow( main.get(), new qor::Image( 64, 48 ), "Mask" );
            w->SetMask( mask );
            main->Desktop()->setActiveSubWindow( w->SubWindow() );
            break;
         }
         default:
            break;
         }
      }
      Idle();
      for ( const char* name : c.enabled )
         EXPECT_TRUE( main->findChild<QAction*>( name )->isEnabled() ) << int( c.situation ) << " " << name;
      for ( const char* name : c.disabled )
         EXPECT_FALSE( main->findChild<QAction*>( name )->isEnabled() ) << int( c.situation ) << " " << name;
   }
}

TEST_F( CommandSurfaceTest, TheUndoCaptionSaysWhatCanBeUndone )
{
   Idle();
   EXPECT_EQ( "No image to undo/redo", main->EditUndo_Action->text() );
   EXPECT_EQ( "No image to enable/disable undo", main->EditEnableUndo_Action->text() );
   EXPECT_EQ( "No preview to undo/redo", main->PreviewUndo_Action->text() );

   TImageWindow* w = Open( 32, 32 );
   Idle();
   EXPECT_EQ( "Nothing to undo", main->EditUndo_Action->text() );
   EXPECT_EQ( "Disable Undo (now enabled)", main->EditEnableUndo_Action->text() );

   w->mainView->AddToHistory( std::make_unique<test::Scale>() );
   w->undoAvailable = true;
   Idle();
   EXPECT_EQ( "Undo Scale", main->EditUndo_Action->text() );
   EXPECT_EQ( "Undo Scale", main->EditUndo_Action->toolTip() );
   EXPECT_TRUE( main->EditUndo_Action->isEnabled() );

   w->mainView->MoveLastProcessToRedo();
   w->undoAvailable = false;
   w->redoAvailable = true;
   Idle();
   EXPECT_EQ( "Redo Scale", main->EditUndo_Action->text() );

   // Undo possible but the history is empty: the caption is just "Undo".
   w->mainView->ClearHistory();
   w->undoAvailable = true;
   Idle();
   EXPECT_EQ( "Undo", main->EditUndo_Action->text() );
}

TEST_F( CommandSurfaceTest, TheChannelSelectorListsTheChannelsOfTheActiveImage )
{
   TImageWindow* rgb = Open( 16, 16, 5, qor::ColorSpace::RGB );
   Idle();
   QStringList items;
   for ( int i = 0; i < main->SelectChannel_ComboBox->count(); ++i )
      items << main->SelectChannel_ComboBox->itemText( i );
   EXPECT_EQ( QStringList( { "RGB", "Red", "Green", "Blue", "Luminance", "Chrominance", "alpha01", "alpha02" } ),
              items );
   EXPECT_TRUE( main->SelectChannel_ComboBox->isEnabled() );
   rgb->SetDisplayChannel( 3 );
   Idle();
   EXPECT_EQ( 3, main->SelectChannel_ComboBox->currentIndex() );

   EXPECT_FALSE( main->SelectChannel_ComboBox->itemIcon( 1 ).isNull() );

   Open( 16, 16 );
   Idle();
   EXPECT_EQ( 1, main->SelectChannel_ComboBox->count() );
   EXPECT_EQ( "Gray", main->SelectChannel_ComboBox->itemText( 0 ) );

   // As many items as a colour image without alpha, other labels: the list is made again.
   Open( 16, 16, 6, qor::ColorSpace::Gray );
   Idle();
   ASSERT_EQ( 6, main->SelectChannel_ComboBox->count() );
   EXPECT_EQ( "alpha05", main->SelectChannel_ComboBox->itemText( 5 ) );
   Open( 16, 16, 3, qor::ColorSpace::RGB );
   Idle();
   EXPECT_EQ( "Chrominance", main->SelectChannel_ComboBox->itemText( 5 ) );
}

TEST_F( CommandSurfaceTest, WithoutAnImageThePanelsShowThePerformanceIndex )
{
   main->Position_Panel->setText( "x" );
   SystemPerformanceIndex = SystemPerformanceIndexOf( 1130 );
   Idle();
   EXPECT_EQ( "System Performance = 2.000", main->Info_Panel->text() );
   EXPECT_TRUE( main->Position_Panel->text().isEmpty() );
   SystemPerformanceIndex = 0;
   Idle();
   EXPECT_TRUE( main->Info_Panel->text().isEmpty() );
}

TEST_F( CommandSurfaceTest, ToolBarTogglesDockANeverPlacedBarThenShowAndHideIt )
{
   Idle();
   EXPECT_FALSE( main->WindowToolBarFile_Action->isChecked() );
   main->WindowToolBarFile_Action->trigger();
   EXPECT_FALSE( main->File_ToolBar->isFloating() );
   EXPECT_EQ( Qt::TopToolBarArea, main->toolBarArea( main->File_ToolBar ) );
   EXPECT_TRUE( main->File_ToolBar->isVisible() );
   Idle();
   EXPECT_TRUE( main->WindowToolBarFile_Action->isChecked() );
   main->WindowToolBarFile_Action->trigger();
   EXPECT_FALSE( main->File_ToolBar->isVisible() );

   // Control bars: hiding them hides their docked tool bars; showing them shows every one, also one hidden before.
   Idle();
   EXPECT_EQ( "Hide Control Bars", main->WindowShowControlBars_Action->text() );
   main->Zoom_ToolBar->hide();
   main->WindowShowControlBars_Action->trigger();
   EXPECT_FALSE( main->ImageView_ToolBar->isVisible() );
   Idle();
   EXPECT_EQ( "Show Control Bars", main->WindowShowControlBars_Action->text() );
   main->WindowShowControlBars_Action->trigger();
   EXPECT_TRUE( main->ImageView_ToolBar->isVisible() );
   EXPECT_TRUE( main->Zoom_ToolBar->isVisible() );
}

// ---- Image windows on the desktop -------------------------------------------------------------------------------------

TEST_F( CommandSurfaceTest, NewWindowsCascadeAndATinyImageKeepsAUsableFrame )
{
   TImageWindow* first = Open( 200, 150 );
   TImageWindow* second = Open( 200, 150 );
   TImageWindow* tiny = Open( 2, 2 );
   const QPoint a = first->Frame()->pos();
   const QPoint b = second->Frame()->pos();
   const QPoint c = tiny->Frame()->pos();
   EXPECT_GT( b.x(), a.x() );
   EXPECT_EQ( b.x() - a.x(), b.y() - a.y() );
   EXPECT_EQ( c - b, b - a );
   EXPECT_GE( tiny->Frame()->width(), TMainWindow::MinimumDocumentChildSize.width() );
   EXPECT_GE( tiny->Frame()->height(), TMainWindow::MinimumDocumentChildSize.height() );
   // Fitting the window to a tiny image keeps that minimum.
   tiny->FitWindow();
   EXPECT_GE( tiny->Frame()->width(), TMainWindow::MinimumDocumentChildSize.width() );
}

// ---- Application events -----------------------------------------------------------------------------------------------

TEST_F( CommandSurfaceTest, AnEscapedExceptionIsReportedWithTheSenderAndClosesOneStatusLevel )
{
   QObject sender;
   const QString address = QString::asprintf( "%llX", static_cast<unsigned long long>(
                                                          reinterpret_cast<quintptr>( &sender ) ) );
   prompter.Expect( "<* Unexpected Exception *>\n\nSender address: " + address + "\nDisk on fire",
                    platform::Answer::Ok );
   prompter.Expect( "<* Unexpected Exception *>\n\nSender address: " + address, platform::Answer::Ok );
   StatusDialog().BeginTasks();
   StatusDialog().BeginTasks();
   main->ApplicationEvents1Exception( &sender, "Disk on fire" );
   EXPECT_EQ( 1, StatusDialog().Nesting() );
   main->ApplicationEvents1Exception( &sender, QString() );
   EXPECT_EQ( 0, StatusDialog().Nesting() );
   // An empty message adds nothing after the sender's address.
   EXPECT_TRUE( test::BoxTexts( prompter ).back().endsWith( address ) );
}

// An exception thrown by an event handler stops at the delivery: it is reported with its message, the event counts
// as unhandled, and an exception of any other kind is reported too.
TEST_F( CommandSurfaceTest, EventDeliveryCatchesWhatAHandlerLetsEscape )
{
   TMainWindow* previous = MainWindow;
   MainWindow = main.get();
   QObject receiver;
   prompter.Expect( "", platform::Answer::Ok ).Expect( "", platform::Answer::Ok );
   EXPECT_FALSE( DeliverGuarded( &receiver, []() -> bool { throw std::runtime_error( "Disk on fire" ); } ) );
   EXPECT_FALSE( DeliverGuarded( &receiver, []() -> bool { throw 42; } ) );
   EXPECT_TRUE( DeliverGuarded( &receiver, [] { return true; } ) );
   MainWindow = previous;
   const QStringList texts = test::BoxTexts( prompter );
   ASSERT_EQ( 2, texts.size() );
   EXPECT_TRUE( texts[0].startsWith( "<* Unexpected Exception *>" ) );
   EXPECT_TRUE( texts[0].endsWith( "\nDisk on fire" ) );
   EXPECT_FALSE( texts[1].contains( "Disk" ) );
}

TEST_F( CommandSurfaceTest, MinimisingTheWindowIsRecorded )
{
   main->showMinimized();
   QApplication::processEvents();
   EXPECT_TRUE( main->minimized );
   main->showNormal();
   QApplication::processEvents();
   EXPECT_FALSE( main->minimized );
}

TEST_F( CommandSurfaceTest, AScreenshotShowsTheMenusToolBarsAndAnOpenImage )
{
   TImageWindow* w = Open( 256, 128 );
   for ( int64_t i = 0; i < w->image->NumberOfPixels(); ++i )
      w->image->PixelData( 0 )[i] = float( i % 256 ) / 255.0f;
   w->RedrawImage();
   Idle();
   QApplication::processEvents();
   const QImage shot = main->grab().toImage();
   ASSERT_FALSE( shot.isNull() );
   const QString path = QDir::temp().filePath( "lumenforge-main-window.png" );
   EXPECT_TRUE( shot.save( path, "PNG" ) );
   EXPECT_TRUE( main->menuBar()->isVisible() );
   EXPECT_EQ( 9, main->menuBar()->actions().size() );
   EXPECT_TRUE( main->ImageView_ToolBar->isVisible() );
   // The image's ramp is on the screen: black and white inside the image window's area.
   const QRect area( w->viewport()->mapTo( main.get(), QPoint( 0, 0 ) ), w->viewport()->size() );
   int darkest = 255, brightest = 0;
   for ( int x = area.left(); x < area.right(); ++x )
   {
      const int g = qGray( shot.pixel( x, area.top() + area.height() / 2 ) );
      darkest = std::min( darkest, g );
      brightest = std::max( brightest, g );
   }
   EXPECT_LT( darkest, 16 );
   EXPECT_GT( brightest, 240 );
}

// The histogram window: shown by Process > Transfer Curves > Histograms (also on the Transfer Curves tool bar) and
// on the active image's current view by Image > View > Histogram, which needs an image; an instance launches it.
TEST_F( CommandSurfaceTest, TheHistogramActionsShowTheWindowOnTheActiveView )
{
   EXPECT_TRUE( main->TransferCurves_ToolBar->actions().contains( main->ProcessHistograms_Action ) );
   Idle();
   EXPECT_FALSE( main->ImageViewHistogram_Action->isEnabled() );
   EXPECT_TRUE( main->ProcessHistograms_Action->isEnabled() );
   main->ProcessHistograms_Action->trigger();
   EXPECT_TRUE( HistogramWindow().isVisible() );
   EXPECT_EQ( HistogramWindow().CurrentView(), nullptr );
   HistogramWindow().hide();

   TImageWindow* w = Open( 16, 8, 3, qor::ColorSpace::RGB );
   Idle();
   EXPECT_TRUE( main->ImageViewHistogram_Action->isEnabled() );
   main->ImageViewHistogram_Action->trigger();
   EXPECT_TRUE( HistogramWindow().isVisible() );
   EXPECT_EQ( HistogramWindow().CurrentView(), w->mainView );
   HistogramWindow().hide();

   HistogramsTransform instance;
   instance.Params().c0[1] = 0.25f;
   EXPECT_EQ( instance.Action(), main->ProcessHistograms_Action );
   EXPECT_TRUE( instance.IsInterfaceAvailable() );
   instance.LaunchInterface();
   EXPECT_TRUE( HistogramWindow().isVisible() );
   EXPECT_EQ( HistogramWindow().parameters.c0[1], 0.25f );
   HistogramWindow().hide();
}

// ---- Every command of the Image and Process menus ------------------------------------------------------------------

namespace
{

void CollectCommands( QMenu* menu, std::vector<QAction*>& commands )
{
   for ( QAction* action : menu->actions() )
      if ( action->menu() != nullptr )
         CollectCommands( action->menu(), commands );
      else if ( !action->isSeparator() )
         commands.push_back( action );
}

// What a command left behind: what the user sees of it.
struct Trace
{
   size_t history = 0;
   int32_t width = 0;
   int32_t height = 0;
   int32_t channels = 0;
   double sum = 0;
   std::string identifier;
   bool colorManaged = false;
   std::vector<uint8_t> profile;
   bool globalWorkingSpace = false;
   size_t images = 0;
   size_t dialogs = 0;
   QList<QWidget*> windows;

   bool operator==( const Trace& ) const = default;
};

} // namespace

TEST_F( CommandSurfaceTest, EveryImageGeometryAndProcessCommandOpensItsWindowOrRunsItsProcess )
{
   std::vector<QAction*> commands;
   CollectCommands( main->Image_Menu, commands );
   CollectCommands( main->Process_Menu, commands );
   ASSERT_GT( commands.size(), 40u );
   // The desktop's icon commands have tests of their own, with icons to work on.
   std::erase_if( commands,
                  [&]( QAction* a )
                  {
                     return a == main->ProcessLoadProcessIcons_Action || a == main->ProcessSaveProcessIcons_Action ||
                            a == main->ProcessArrangeProcessIcons_Action ||
                            a == main->ProcessRemoveProcessIcons_Action;
                  } );

   auto trace = [&]( TImageWindow* w )
   {
      Trace t;
      t.history = w->mainView->History().instances.Length();
      t.width = w->image->Width();
      t.height = w->image->Height();
      t.channels = w->image->NumberOfChannels();
      for ( int32_t c = 0; c < w->image->NumberOfChannels(); ++c )
         for ( int64_t i = 0; i < w->image->NumberOfPixels(); ++i )
            t.sum += double( w->image->PixelData( c )[i] ) * double( ( i % 7 ) + c + 1 );
      t.identifier = w->mainView->Identifier();
      t.globalWorkingSpace = w->rgbWorkingSpace.SharesDataWith( GlobalRGBWorkingSpace );
      t.colorManaged = w->colorManagementEnabled;
      if ( w->iccProfile != nullptr )
         t.profile = *w->iccProfile;
      t.images = MainViewList.size();
      t.dialogs = dialogs.Records().size();
      for ( QWidget* top : QApplication::topLevelWidgets() )
         if ( top->isVisible() && top != main.get() )
            t.windows << top;
      return t;
   };

   for ( QAction* command : commands )
   {
      const std::string name = command->objectName().isEmpty() ? command->text().toStdString()
                                                                : command->objectName().toStdString();
      SCOPED_TRACE( name );
      bool triggered = false;
      // An RGB image first; a grey one for the commands that only a grey image enables.
      for ( const auto& [channels, space] : { std::pair{ 3, int( qor::ColorSpace::RGB ) },
                                              std::pair{ 1, int( qor::ColorSpace::Gray ) } } )
      {
         TImageWindow* w = Open( 24, 16, channels, space, "Target" );
         for ( int32_t c = 0; c < channels; ++c )
            for ( int64_t i = 0; i < w->image->NumberOfPixels(); ++i )
               w->image->PixelData( c )[i] = float( ( i * 37 + c * 11 ) % 97 ) / 97.0f;
         // A working space of its own, which the reset to the global one replaces.
         const float x[3] = { 0.64f, 0.30f, 0.15f }, y[3] = { 0.33f, 0.60f, 0.06f }, Y[3] = { 0.3f, 0.6f, 0.1f };
         w->rgbWorkingSpace.SetParameters( 1.8f, false, x, y, Y );
         Idle();
         if ( command->isEnabled() )
         {
            const Trace before = trace( w );
            command->trigger();
            QApplication::processEvents();
            const bool alive = !MainViewList.empty() && MainViewList.front() == w->mainView;
            EXPECT_TRUE( !alive || !( trace( w ) == before ) ) << "nothing happened";
            for ( const auto& record : prompter.Records() )
               ADD_FAILURE() << "box: " << record.Describe().toStdString();
            triggered = true;
         }
         for ( QWidget* top : QApplication::topLevelWidgets() )
            if ( top != main.get() && top->isVisible() )
               top->hide();
         prompter.Clear();
         dialogs.Clear();
         CurrentImageWindowMode = 0;
         test::DiscardAllImageWindows();
         if ( triggered )
            break;
      }
      EXPECT_TRUE( triggered ) << "never enabled with an image";
   }
}

// With nothing selected for a window yet, its first Apply offers the active image ticked; OK runs on it.
TEST_F( CommandSurfaceTest, TheFirstApplyOffersTheActiveImageTicked )
{
   Open( 8, 8, 1, qor::ColorSpace::Gray, "Other" );
   TImageWindow* active = Open( 8, 8, 1, qor::ColorSpace::Gray, "Active" );
   TMedianFilterWindow& window = MedianFilterWindow();
   window.show();
   QStringList ticked;
   dialogs.Expect( "SelectImagesDialog",
                   [&ticked]( QDialog& d )
                   {
                      QListWidget* list = d.findChild<QListWidget*>();
                      for ( int row = 0; list != nullptr && row < list->count(); ++row )
                         if ( list->item( row )->checkState() == Qt::Checked )
                            ticked << list->item( row )->text();
                      return int( QDialog::Accepted );
                   } );
   window.Apply();
   EXPECT_EQ( ticked, QStringList{ "Active: 8\u00D78" } );
   EXPECT_EQ( active->mainView->History().instances.Length(), 1u );
   // Cancelled, the offer selects nothing.
   TImageWindow* third = Open( 8, 8, 1, qor::ColorSpace::Gray, "Third" );
   TMinMaxFiltersWindow& other = MinMaxFiltersWindow();
   dialogs.ExpectResult( "SelectImagesDialog", QDialog::Rejected );
   prompter.Expect( "No images selected." );
   other.Apply();
   EXPECT_EQ( third->mainView->History().instances.Length(), 0u );
   window.hide();
}
