// How the main window manages the other windows: saved places, first places, stay on top, the collapsed bar,
// window icons, tool-bar docking, and the commands of the Window and Process menus that act on windows.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <QToolBar>
#include <QWindow>

#include <algorithm>
#include <functional>
#include <initializer_list>
#include <memory>
#include <vector>

#include "MainWindowTestSupport.h"
#include "TestSupport.h"
#include "classlib/Image.h"
#include "classlib/RGBColorSystem.h"
#include "platform/Registry.h"
#include "process/Preferences.h"
#include "support/RegistryReaders.h"
#include "support/Utils.h"
#include "windows/image/ImageWindow.h"
#include "windows/main/Application.h"
#include "windows/main/MainWindow.h"
#include "windows/main/WindowIcons.h"
#include "windows/processing/FITSHeaderWindow.h"
#include "windows/processing/HistogramWindow.h"
#include "windows/processing/IPTCPhotoInfoWindow.h"
#include "windows/processing/PreferencesWindow.h"
#include "windows/processing/ProcessIcon.h"
#include "windows/processing/ProcessingHistoryWindow.h"
#include "windows/processing/ProcessingTestKit.h"
#include "windows/processing/ReadoutOptionsWindow.h"
#include "windows/tools/AdjustMonitorBrightnessWindow.h"
#include "windows/tools/ImageInformationWindow.h"
#include "windows/tools/MemoryWatchWindow.h"
#include "windows/tools/StatisticsWindow.h"

using test::Scale;
using test::TScaleWindow;

namespace
{

class WindowManagementTest : public test::ScriptedUiTest
{
protected:
   void SetUp() override
   {
      test::ScriptedUiTest::SetUp();
      savedPreferences = CurrentPreferences;
      platform::Registry().DeleteKey( ApplicationRegistryKey() );
      main = test::ShownMainWindow();
      ASSERT_NE( main, nullptr );
   }

   void TearDown() override
   {
      test::DiscardAllImageWindows();
      for ( TProcessIcon* icon : std::vector<TProcessIcon*>( ProcessIcons ) )
         delete icon;
      ProcessIconSetModificationCount = 0;
      main.reset();
      SetProcessingWindowsStayOnTop( true );
      SetProcessingWindowsFloating( true );
      CurrentPreferences = savedPreferences;
      test::ScriptedUiTest::TearDown();
   }

   TImageWindow* Open( int w, int h, int channels = 1, int colorSpace = qor::ColorSpace::Gray )
   {
      TImageWindow* window = CreateImageWindow( main.get(), new qor::Image( w, h, channels, colorSpace ), "" );
      window->Frame()->show();
      main->Desktop()->setActiveSubWindow( window->SubWindow() );
      return window;
   }

   // The global rectangles of the menu bar and of the desktop (the work area).
   QRect MenuBarRect() const { return QRect( main->menuBar()->mapToGlobal( QPoint( 0, 0 ) ), main->menuBar()->size() ); }
   QRect WorkArea() const
   {
      return QRect( main->Desktop()->mapToGlobal( QPoint( 0, 0 ) ), main->Desktop()->size() );
   }

   int32_t SavedInt( const QString& name )
   {
      platform::Registry registry;
      int32_t value = -1;
      if ( registry.OpenKey( ApplicationRegistryKey() + "\\Window Status", false ) )
         ReadRegistryInt( value, registry, name );
      return value;
   }

   std::unique_ptr<TMainWindow> main;
   GlobalPreferences savedPreferences;
};

// A processing window whose own settings hook records that it ran.
class THookedWindow : public TScaleWindow
{
public:
   void LoadSettings( platform::Registry& ) override { ++loads; }
   int loads = 0;
};

} // namespace

// ---- Places ----------------------------------------------------------------------------------------------------------

TEST_F( WindowManagementTest, AWindowMadeAfterTheSettingsAreLoadedGetsItsPlaceAndOneNeverShownKeepsTheSavedPlace )
{
   // A complete set of settings, with a place for the window.
   main->SaveSettings();
   {
      platform::Registry registry;
      ASSERT_TRUE( registry.OpenKey( ApplicationRegistryKey() + "\\Window Status", false ) );
      registry.WriteInteger( "ScaleWindow_Left", 300 );
      registry.WriteInteger( "ScaleWindow_Top", 200 );
      registry.CloseKey();
   }
   main->LoadSettings();

   {
      THookedWindow window; // made on first use, after the settings
      window.show();
      EXPECT_EQ( QPoint( 300, 200 ), window.pos() );
      EXPECT_EQ( 1, window.loads );
      window.move( 320, 240 );
      main->SaveSettings();
   }
   EXPECT_EQ( 320, SavedInt( "ScaleWindow_Left" ) );
   EXPECT_EQ( 240, SavedInt( "ScaleWindow_Top" ) );

   // Made but never shown: its place is not its own, the saved one stays.
   {
      TScaleWindow unshown;
      main->SaveSettings();
   }
   EXPECT_EQ( 320, SavedInt( "ScaleWindow_Left" ) );
   EXPECT_EQ( 240, SavedInt( "ScaleWindow_Top" ) );
}

TEST_F( WindowManagementTest, AWindowOrToolBarShownForTheFirstTimeCoversNeitherTheMenusNorTheToolBars )
{
   TMemoryWatchWindow memory( main.get() );
   TAdjustMonitorBrightnessWindow brightness( main.get() );
   TScaleWindow scale;
   for ( QWidget* w : std::initializer_list<QWidget*>{ &memory, &brightness, &scale } )
   {
      ShowForm( w );
      const QRect frame = w->frameGeometry();
      EXPECT_TRUE( WorkArea().contains( frame.topLeft() ) ) << w->objectName().toStdString();
      EXPECT_FALSE( frame.intersects( MenuBarRect() ) ) << w->objectName().toStdString();
      w->hide();
   }

   for ( QToolBar* bar : { main->File_ToolBar, main->Edit_ToolBar, main->FastRotate_ToolBar, main->ProcessIcons_ToolBar } )
   {
      main->WindowToolBar_ActionExecute( bar );
      QCoreApplication::processEvents();
      EXPECT_TRUE( bar->isVisible() ) << bar->objectName().toStdString();
      EXPECT_FALSE( bar->isFloating() ) << bar->objectName().toStdString();
      EXPECT_EQ( Qt::TopToolBarArea, main->toolBarArea( bar ) );
      const QRect rect( bar->mapToGlobal( QPoint( 0, 0 ) ), bar->size() );
      EXPECT_FALSE( rect.intersects( MenuBarRect() ) ) << bar->objectName().toStdString();
      EXPECT_FALSE( rect.intersects( WorkArea() ) ) << bar->objectName().toStdString();
   }
}

// ---- Stay on top -------------------------------------------------------------------------------------------------------

TEST_F( WindowManagementTest, StayOnTopStartsOnTogglesEveryWindowAndLaterOnesAndLetsGoWhileTheProgramIsInTheBackground )
{
   TScaleWindow first;
   first.show();
   auto onTop = []( const QWidget& w ) { return w.windowFlags().testFlag( Qt::WindowStaysOnTopHint ); };
   auto floating = []( const QWidget& w )
   { return w.windowHandle() != nullptr && w.windowHandle()->flags().testFlag( Qt::WindowStaysOnTopHint ); };
   EXPECT_TRUE( onTop( first ) );
   main->ApplicationEvents1Idle();
   EXPECT_TRUE( main->WindowStayOnTopProcessingWindows_Action->isChecked() );
   // The submenu shows the short captions; the hints name the processing windows.
   const auto* submenu = main->findChild<QMenu*>( "WindowProcessingWindows_MenuItem" );
   ASSERT_NE( submenu, nullptr );
   QStringList items, hints;
   for ( const QAction* a : submenu->actions() )
      items << a->text(), hints << a->toolTip();
   EXPECT_EQ( items, QStringList( { "Stay On Top", "Hide All", "Minimize All" } ) );
   EXPECT_EQ( hints, QStringList( { "Stay On Top Processing Windows", "Hide All Processing Windows",
                                    "Minimize All Processing Windows" } ) );

   main->WindowStayOnTopProcessingWindows_Action->trigger();
   EXPECT_FALSE( onTop( first ) );
   EXPECT_FALSE( floating( first ) );
   EXPECT_TRUE( first.isVisible() ); // the style changes without the window going away
   TScaleWindow later;
   later.show();
   EXPECT_FALSE( onTop( later ) );
   main->ApplicationEvents1Idle();
   EXPECT_FALSE( main->WindowStayOnTopProcessingWindows_Action->isChecked() );

   main->WindowStayOnTopProcessingWindows_Action->trigger();
   EXPECT_TRUE( onTop( first ) && onTop( later ) );
   EXPECT_TRUE( floating( first ) && floating( later ) );

   // In the background the windows keep their style but float no more; back in front they do again.
   main->ApplicationEvents1Deactivate();
   EXPECT_TRUE( onTop( first ) );
   EXPECT_FALSE( floating( first ) || floating( later ) );
   main->ApplicationEvents1Activate();
   EXPECT_TRUE( floating( first ) && floating( later ) );
}

// ---- Collapsing ---------------------------------------------------------------------------------------------------------

TEST_F( WindowManagementTest, EscCollapsesAWindowIntoABarAtItsTopRightCornerAndTheWindowComesBackAtTheBar )
{
   TScaleWindow window;
   window.move( 400, 300 );
   window.show();
   const QRect frame = window.frameGeometry();
   QTest::keyClick( window.Factor_Edit, Qt::Key_Escape );
   ASSERT_TRUE( window.IsCollapsed() );
   QWidget* bar = window.CollapsedBar();
   ASSERT_NE( nullptr, bar );
   EXPECT_FALSE( window.isVisible() );
   EXPECT_TRUE( bar->isVisible() );
   EXPECT_EQ( frame.right(), bar->frameGeometry().right() );
   EXPECT_EQ( frame.top(), bar->frameGeometry().top() );
   EXPECT_LE( bar->width(), frame.width() );

   // The bar is moved; a click on it brings the window back with its right edge at the bar's.
   bar->move( bar->pos() + QPoint( -60, 80 ) );
   const QRect moved = bar->frameGeometry();
   QTest::mouseClick( bar, Qt::LeftButton );
   EXPECT_TRUE( window.isVisible() );
   EXPECT_FALSE( window.IsCollapsed() );
   EXPECT_FALSE( bar->isVisible() );
   EXPECT_EQ( moved.right(), window.frameGeometry().right() );
   EXPECT_EQ( moved.top(), window.frameGeometry().top() );
   EXPECT_EQ( frame.size(), window.frameGeometry().size() );

   // Minimize All collapses; a launch (any showing) restores; Hide All takes the bar away with the window.
   main->WindowMinimizeAllProcessingWindows_Action->trigger();
   EXPECT_TRUE( window.IsCollapsed() );
   ShowForm( &window );
   EXPECT_TRUE( window.isVisible() );
   EXPECT_EQ( frame.size(), window.frameGeometry().size() ); // as often as it comes back
   window.Collapse();
   main->WindowHideAllProcessingWindows_Action->trigger();
   EXPECT_FALSE( window.IsCollapsed() );
   EXPECT_FALSE( bar->isVisible() );
   EXPECT_FALSE( window.isVisible() );
}

// ---- Window icons ------------------------------------------------------------------------------------------------------

TEST_F( WindowManagementTest, TheMainProcessingAndToolWindowsShowTheirOwnIcons )
{
   TScaleWindow process;
   TMemoryWatchWindow tool( main.get() );
   const QIcon icons[] = { main->windowIcon(), process.windowIcon(), tool.windowIcon() };
   for ( const QIcon& icon : icons )
   {
      EXPECT_FALSE( icon.isNull() );
      EXPECT_FALSE( icon.pixmap( 32, 32 ).isNull() );
   }
   EXPECT_EQ( ApplicationIcon().cacheKey(), icons[0].cacheKey() );
   EXPECT_EQ( ProcessWindowIcon().cacheKey(), icons[1].cacheKey() );
   EXPECT_EQ( ToolWindowIcon().cacheKey(), icons[2].cacheKey() );
   EXPECT_NE( icons[0].pixmap( 32, 32 ).toImage(), icons[1].pixmap( 32, 32 ).toImage() );
   EXPECT_NE( icons[1].pixmap( 32, 32 ).toImage(), icons[2].pixmap( 32, 32 ).toImage() );
   // Each size is painted, not scaled from another.
   EXPECT_EQ( 4, icons[0].availableSizes().size() );
}

// ---- Menus and enable rules ---------------------------------------------------------------------------------------------

TEST_F( WindowManagementTest, TheProcessMenuOpensTheGlobalAndFileFormatWindows )
{
   const std::pair<QAction*, QWidget*> shows[] = { { main->ProcessPreferences_Action, &PreferencesWindow() },
                                                   { main->ProcessReadoutOptions_Action, &ReadoutOptionsWindow() },
                                                   { main->ProcessFITSKeywords_Action, &FITSHeaderWindow() },
                                                   { main->ProcessIPTCPhotoInfo_Action, &IPTCPhotoInfoWindow() } };
   std::vector<QAction*> inMenu;
   std::function<void( QMenu* )> collect = [&]( QMenu* menu )
   {
      for ( QAction* a : menu->actions() )
      {
         inMenu.push_back( a );
         if ( a->menu() != nullptr )
            collect( a->menu() );
      }
   };
   collect( main->Process_Menu );
   for ( auto [action, window] : shows )
   {
      ASSERT_NE( nullptr, action );
      EXPECT_NE( std::find( inMenu.begin(), inMenu.end(), action ), inMenu.end() ) << action->text().toStdString();
      window->hide();
      action->trigger();
      EXPECT_TRUE( window->isVisible() ) << action->text().toStdString();
      window->hide();
   }
}

TEST_F( WindowManagementTest, ActionsThatWouldDoNothingAreDisabled )
{
   TImageWindow* w = Open( 8, 8, 3, qor::ColorSpace::RGB );
   main->ApplicationEvents1Idle();
   EXPECT_FALSE( main->ColorSpaceResetToGlobalRGBSpace_Action->isEnabled() );
   {
      // A working space of its own (the window's handle moves to a new block).
      const qor::RGBColorSystem::Data& d = w->rgbWorkingSpace.Values();
      const float x[3] = { d.x[0], d.x[1], d.x[2] }, y[3] = { d.y[0], d.y[1], d.y[2] },
                  Y[3] = { d.Y[0], d.Y[1], d.Y[2] };
      w->rgbWorkingSpace.SetParameters( 1.8f, false, x, y, Y );
   }
   main->ApplicationEvents1Idle();
   EXPECT_TRUE( main->ColorSpaceResetToGlobalRGBSpace_Action->isEnabled() );
   main->ColorSpaceResetToGlobalRGBSpace_Action->trigger();
   main->ApplicationEvents1Idle();
   EXPECT_FALSE( main->ColorSpaceResetToGlobalRGBSpace_Action->isEnabled() );

   QAction* iconActions[] = { main->ProcessSaveProcessIcons_Action, main->ProcessArrangeProcessIcons_Action,
                              main->ProcessRemoveProcessIcons_Action };
   for ( QAction* a : iconActions )
      EXPECT_FALSE( a->isEnabled() ) << a->objectName().toStdString();
   main->CreateProcessIcon( 10, 10, std::make_unique<Scale>( 1.0f ), "", false );
   main->ApplicationEvents1Idle();
   for ( QAction* a : iconActions )
      EXPECT_TRUE( a->isEnabled() ) << a->objectName().toStdString();
}

TEST_F( WindowManagementTest, TheViewToolsOpenedFromTheToolBarsTakeTheActiveImage )
{
   TImageWindow* w = Open( 16, 8, 3, qor::ColorSpace::RGB );
   StatisticsWindow().SelectView( nullptr );
   HistogramWindow().SelectView( nullptr );
   ImageInformationWindow().SelectView( nullptr );
   ProcessingHistoryWindow().SelectView( nullptr );
   EXPECT_TRUE( main->Tools_ToolBar->actions().contains( main->ToolsStatistics_Action ) );
   main->ToolsStatistics_Action->trigger();
   main->ProcessHistograms_Action->trigger();
   main->ToolsImageInformation_Action->trigger();
   main->ToolsProcessingHistory_Action->trigger();
   EXPECT_EQ( w->currentView, StatisticsWindow().currentView );
   EXPECT_EQ( w->currentView, HistogramWindow().CurrentView() );
   EXPECT_EQ( w->currentView, ImageInformationWindow().CurrentView() );
   EXPECT_EQ( w->currentView, ProcessingHistoryWindow().CurrentView() );
   for ( QWidget* tool : std::initializer_list<QWidget*>{ &StatisticsWindow(), &HistogramWindow(),
                                                          &ImageInformationWindow(), &ProcessingHistoryWindow() } )
      tool->hide();
}

TEST_F( WindowManagementTest, CascadeKeepsTheWindowsSizesAndTheCaptionFollowsAConversion )
{
   TImageWindow* a = Open( 64, 64, 3, qor::ColorSpace::RGB );
   TImageWindow* b = Open( 64, 64 );
   a->Frame()->setGeometry( 300, 200, 500, 400 );
   b->Frame()->setGeometry( 50, 60, 420, 330 );
   main->WindowCascade_Action->trigger();
   EXPECT_EQ( QSize( 500, 400 ), a->Frame()->size() );
   EXPECT_EQ( QSize( 420, 330 ), b->Frame()->size() );
   EXPECT_EQ( QPoint( 0, 0 ), a->Frame()->pos() );
   EXPECT_GT( b->Frame()->pos().x(), 0 );
   EXPECT_EQ( b->Frame()->pos().x(), b->Frame()->pos().y() );

   main->Desktop()->setActiveSubWindow( a->SubWindow() );
   EXPECT_TRUE( a->Frame()->windowTitle().startsWith( "RGB" ) );
   main->ColorSpaceConvertToGrayscale_Action->trigger();
   ASSERT_FALSE( a->image->IsColor() );
   EXPECT_TRUE( a->Frame()->windowTitle().startsWith( "Gray" ) ) << a->Frame()->windowTitle().toStdString();
}

// ---- Preferences ---------------------------------------------------------------------------------------------------------

TEST_F( WindowManagementTest, ChangedPreferencesReachToolBarsIconsAndPreviewTitlesAtOnce )
{
   CurrentPreferences.mainWindow.enableToolBarAutoDragDock = false;
   main->ApplyPreferences();
   EXPECT_FALSE( main->Zoom_ToolBar->isMovable() );
   EXPECT_EQ( Qt::NoToolBarArea, main->Zoom_ToolBar->allowedAreas() );
   CurrentPreferences.mainWindow.enableToolBarAutoDragDock = true;
   main->ApplyPreferences();
   EXPECT_TRUE( main->Zoom_ToolBar->isMovable() );
   EXPECT_TRUE( main->Zoom_ToolBar->isAreaAllowed( Qt::TopToolBarArea ) );

   TProcessIcon* icon = main->CreateProcessIcon( 10, 10, std::make_unique<Scale>( 1.0f ), "Icon", false );
   auto* label = icon->findChild<QLabel*>( "Identifier_Label" );
   ASSERT_NE( nullptr, label );
   CurrentPreferences.colorsFonts.processIconFontSize = label->font().pixelSize() + 7;
   main->ApplyPreferences();
   EXPECT_EQ( CurrentPreferences.colorsFonts.processIconFontSize, label->font().pixelSize() );

   TImageWindow* w = Open( 64, 64 );
   TImageWindow::Preview* preview = w->CreatePreview( "", 4, 4, 20, 20 );
   CurrentPreferences.colorsFonts.previewTitleAutoFontSize = false;
   CurrentPreferences.colorsFonts.previewTitleFontSize = 10;
   ApplyPreferencesToImageWindows();
   const int small = preview->CaptionBitmap().height();
   CurrentPreferences.colorsFonts.previewTitleFontSize = 30;
   ApplyPreferencesToImageWindows();
   EXPECT_GT( preview->CaptionBitmap().height(), small );
}

// ---- Docking --------------------------------------------------------------------------------------------------------------

TEST_F( WindowManagementTest, OnlyAToolBarDocksAndOnlyWhereItFitsAlongTheArea )
{
   CurrentPreferences.mainWindow.enableToolBarAutoDragDock = true;
   QWidget notABar;
   EXPECT_FALSE( main->ControlBarDockOver( Qt::TopToolBarArea, &notABar ) );

   // Along a horizontal area the widths add up; along a vertical one the heights do.
   QToolBar bar( main.get() );
   auto* wide = new QLabel( "wide" );
   wide->setFixedSize( main->width() + 100, 20 );
   auto* small = new QLabel( "small" );
   small->setFixedSize( 30, 24 );
   bar.addWidget( wide );
   bar.addWidget( small );
   EXPECT_EQ( QSize( main->width() + 130, 24 ), TMainWindow::DockedExtent( &bar, Qt::Horizontal ) );
   EXPECT_EQ( QSize( main->width() + 100, 44 ), TMainWindow::DockedExtent( &bar, Qt::Vertical ) );
   EXPECT_FALSE( main->ControlBarDockOver( Qt::TopToolBarArea, &bar ) );
   EXPECT_FALSE( main->ControlBarDockOver( Qt::BottomToolBarArea, &bar ) );
   EXPECT_TRUE( main->ControlBarDockOver( Qt::LeftToolBarArea, &bar ) );
   main->AllowDockingAreas( &bar );
   EXPECT_EQ( Qt::LeftToolBarArea | Qt::RightToolBarArea, bar.allowedAreas() );

   // Without automatic docking nothing docks by dragging.
   CurrentPreferences.mainWindow.enableToolBarAutoDragDock = false;
   EXPECT_FALSE( main->ControlBarDockOver( Qt::LeftToolBarArea, &bar ) );
}
