// The main window's settings: written, read back by a new window, damaged values, window positions and the
// tool-bar layout across a restart.

#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTest>
#include <QToolBar>

#include <functional>
#include <memory>

#include "TestSupport.h"
#include "classlib/RGBColorSystem.h"
#include "platform/KeyTracker.h"
#include "platform/Registry.h"
#include "process/Preferences.h"
#include "windows/image/ImageWindow.h"
#include "windows/main/Application.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ProcessingTestKit.h"

namespace
{

QString Key( const char* subkey )
{
   return ApplicationRegistryKey() + "\\" + subkey;
}

// A processing window with a setting of its own.
class SettingWindow : public test::TScaleWindow
{
public:
   void LoadSettings( platform::Registry& registry ) override
   {
      if ( registry.ValueExists( "ScaleWindow_Factor" ) )
         factor = float( registry.ReadFloat( "ScaleWindow_Factor" ) );
   }
   void SaveSettings( platform::Registry& registry ) override { registry.WriteFloat( "ScaleWindow_Factor", factor ); }
};

class SettingsTest : public test::ScriptedUiTest
{
protected:
   void SetUp() override
   {
      test::ScriptedUiTest::SetUp();
      platform::Registry().DeleteKey( ApplicationRegistryKey() );
      TMainWindow::RegistryDataCorrupted = false;
      savedSpace = GlobalRGBWorkingSpace;
      main = std::make_unique<TMainWindow>();
   }

   void TearDown() override
   {
      main.reset();
      GlobalRGBWorkingSpace = savedSpace;
      TMainWindow::RegistryDataCorrupted = false;
      platform::KeyTracker::Instance().ReleaseAll();
      platform::Registry().DeleteKey( ApplicationRegistryKey() );
      test::ScriptedUiTest::TearDown();
   }

   // The window closes and a new one starts from the saved settings.
   void Restart( const std::function<void()>& meanwhile = {} )
   {
      main->SaveSettings();
      if ( meanwhile )
         meanwhile();
      main.reset();
      main = std::make_unique<TMainWindow>();
      main->LoadSettings();
   }

   std::unique_ptr<TMainWindow> main;
   qor::RGBColorSystem savedSpace;
};

} // namespace

TEST_F( SettingsTest, AFirstRunFindsNothingAndSaysNothing )
{
   main->LoadSettings();
   EXPECT_EQ( ReadoutOptionsData(), main->readoutOptions );
   EXPECT_FALSE( TMainWindow::RegistryDataCorrupted );
}

TEST_F( SettingsTest, SettingsSurviveARestart )
{
   main->AddRecentFile( main->FileOpenRecentImages_MenuItem, "/data/m31.fits" );
   main->AddRecentFile( main->FileOpenRecentImages_MenuItem, "/data/m42.tif" );
   main->AddRecentFile( main->FileOpenRecentProcessIcons_MenuItem, "/data/set.lf-psm" );
   main->readoutOptions = { 5, 2, 7, false, 3, 4294967295u };
   main->openDialogInitialDirectory = "/data";
   main->processIconsOpenDialogInitialDirectory = "/icons";
   const float x[3] = { 0.64f, 0.30f, 0.15f }, y[3] = { 0.33f, 0.60f, 0.06f }, Y[3] = { 0.2126f, 0.7152f, 0.0722f };
   GlobalRGBWorkingSpace.SetParameters( 1.8f, false, x, y, Y );
   const qor::RGBColorSystem::Data saved = GlobalRGBWorkingSpace.Values();

   // Values of a longer list saved earlier do not come back with a shorter one.
   {
      platform::Registry registry;
      registry.OpenKey( Key( "Recent Files" ), true );
      registry.WriteString( "RecentImageFile5", "/old/stale.fits" );
   }
   Restart( [] { GlobalRGBWorkingSpace = qor::RGBColorSystem(); } );
   EXPECT_EQ( QStringList( { "/data/m42.tif", "/data/m31.fits" } ),
              TMainWindow::RecentFiles( main->FileOpenRecentImages_MenuItem ) );
   EXPECT_EQ( QStringList( { "/data/set.lf-psm" } ), TMainWindow::RecentFiles( main->FileOpenRecentProcessIcons_MenuItem ) );
   EXPECT_EQ( ( ReadoutOptionsData{ 5, 2, 7, false, 3, 4294967295u } ), main->readoutOptions );
   EXPECT_EQ( "/data", main->openDialogInitialDirectory );
   EXPECT_EQ( "/icons", main->processIconsOpenDialogInitialDirectory );
   EXPECT_FLOAT_EQ( saved.gamma, GlobalRGBWorkingSpace.Gamma() );
   EXPECT_FALSE( GlobalRGBWorkingSpace.IsSRGB() );
   for ( int i = 0; i < 3; ++i )
   {
      EXPECT_FLOAT_EQ( saved.x[i], GlobalRGBWorkingSpace.Values().x[i] );
      EXPECT_FLOAT_EQ( saved.Y[i], GlobalRGBWorkingSpace.Values().Y[i] );
   }
}

TEST_F( SettingsTest, ADamagedValueOfEachTypeIsReportedOnceAndWrittenAfreshAtTheNextSave )
{
   main->readoutOptions.precision = 6;
   main->SaveSettings();
   {
      platform::Registry registry;
      registry.OpenKey( Key( "Readout Options" ), false );
      registry.WriteString( "ReadoutProbeSize", "seven" ); // an integer
      registry.WriteString( "ReadoutReal", "yes" );        // a boolean
      registry.OpenKey( Key( "Global RGB Working Space" ), false );
      registry.WriteInteger( "Gamma", 3 ); // a real
      registry.OpenKey( Key( "Initial Directories" ), false );
      registry.WriteInteger( "OpenImageInitialDirectory", 1 ); // a text
   }
   main.reset();
   main = std::make_unique<TMainWindow>();
   prompter.Expect( "Bad or corrupted registry data --- loading default settings", platform::Answer::Ok );
   main->LoadSettings();
   // The damaged values keep their defaults; the sound ones are read.
   EXPECT_EQ( 1, main->readoutOptions.probeSize );
   EXPECT_TRUE( main->readoutOptions.real );
   EXPECT_EQ( 6, main->readoutOptions.precision );
   EXPECT_FLOAT_EQ( 2.2f, GlobalRGBWorkingSpace.Gamma() );
   EXPECT_TRUE( main->openDialogInitialDirectory.isEmpty() );
   EXPECT_TRUE( TMainWindow::RegistryDataCorrupted );

   // The next save replaces everything; the start after it finds nothing wrong.
   Restart();
   EXPECT_FALSE( TMainWindow::RegistryDataCorrupted );
   EXPECT_EQ( 6, main->readoutOptions.precision );
   platform::Registry registry;
   ASSERT_TRUE( registry.OpenKey( Key( "Readout Options" ), false ) );
   EXPECT_EQ( 1, registry.ReadInteger( "ReadoutProbeSize" ) );
}

TEST_F( SettingsTest, AMissingSubkeyStopsTheLoadWithOneReport )
{
   main->AddRecentFile( main->FileOpenRecentImages_MenuItem, "/data/m31.fits" );
   main->SaveSettings();
   platform::Registry().DeleteKey( Key( "Readout Options" ) );
   {
      platform::Registry registry;
      registry.OpenKey( Key( "Initial Directories" ), false );
      registry.WriteString( "OpenImageInitialDirectory", "/elsewhere" );
   }
   main.reset();
   main = std::make_unique<TMainWindow>();
   prompter.Expect( "Bad or corrupted registry data", platform::Answer::Ok );
   main->LoadSettings();
   EXPECT_EQ( QStringList( { "/data/m31.fits" } ), TMainWindow::RecentFiles( main->FileOpenRecentImages_MenuItem ) );
   EXPECT_TRUE( main->openDialogInitialDirectory.isEmpty() );
}

TEST_F( SettingsTest, WindowsComeBackOnAScreenThatExists )
{
   QWidget w;
   w.resize( 300, 200 );
   // The test screen is 1280 x 1024.
   TMainWindow::PlaceWindowClamped( &w, -500, 100 );
   EXPECT_EQ( QPoint( -268, 100 ), w.pos() );
   TMainWindow::PlaceWindowClamped( &w, 100, -20 );
   EXPECT_EQ( QPoint( 100, 0 ), w.pos() );
   // Saved on a second monitor that is gone.
   TMainWindow::PlaceWindowClamped( &w, 5000, 3000 );
   EXPECT_EQ( QPoint( 1248, 992 ), w.pos() );
   TMainWindow::PlaceWindowClamped( &w, 400, 300 );
   EXPECT_EQ( QPoint( 400, 300 ), w.pos() );
}

TEST_F( SettingsTest, ProcessingWindowsKeepTheirPlaceAndTheirOwnSettings )
{
   auto window = std::make_unique<SettingWindow>();
   window->move( 321, 123 ); // a place of its own: saved
   window->factor = 1.5f;
   main->SaveSettings();
   {
      platform::Registry registry;
      ASSERT_TRUE( registry.OpenKey( Key( "Window Status" ), false ) );
      EXPECT_EQ( 321, registry.ReadInteger( "ScaleWindow_Left" ) );
      EXPECT_FALSE( registry.ReadBool( "ScaleWindow_Visible" ) );
   }
   window->move( 0, 0 );
   window->factor = 0;
   main->LoadSettings();
   EXPECT_EQ( QPoint( 321, 123 ), window->pos() );
   EXPECT_FLOAT_EQ( 1.5f, window->factor );
}

TEST_F( SettingsTest, TheToolBarLayoutSurvivesARestartUnlessCtrlIsHeld )
{
   main->resize( 1200, 900 );
   main->show();
   ASSERT_TRUE( QTest::qWaitForWindowExposed( main.get() ) );
   main->WindowToolBarEdit_Action->trigger(); // never placed: floats
   main->FloatToolBar( main->Edit_ToolBar, QRect( 300, 200, 120, 40 ) );
   main->Zoom_ToolBar->hide();
   ASSERT_TRUE( main->Edit_ToolBar->isFloating() );

   // Saved at exit, once the window has closed.
   main->close();
   main->SaveSettings();
   main.reset();
   main = std::make_unique<TMainWindow>();
   main->resize( 1200, 900 );
   main->show();
   ASSERT_TRUE( QTest::qWaitForWindowExposed( main.get() ) );
   EXPECT_TRUE( main->Edit_ToolBar->isFloating() );
   EXPECT_TRUE( main->Edit_ToolBar->isVisible() );
   EXPECT_EQ( QPoint( 300, 200 ), main->Edit_ToolBar->pos() );
   EXPECT_FALSE( main->Zoom_ToolBar->isVisible() );
   EXPECT_EQ( 0, main->Zoom_ToolBar->property( "Tag" ).toInt() );
   EXPECT_TRUE( main->ImageView_ToolBar->isVisible() );
   EXPECT_EQ( Qt::TopToolBarArea, main->toolBarArea( main->ImageView_ToolBar ) );
   EXPECT_EQ( Qt::BottomToolBarArea, main->toolBarArea( main->Readout_ToolBar ) );
   EXPECT_FALSE( main->File_ToolBar->isVisible() );

   // Ctrl held at start-up: the default layout, the saved one left in place.
   main.reset();
   platform::KeyTracker::Instance().Press( Qt::Key_Control );
   main = std::make_unique<TMainWindow>();
   platform::KeyTracker::Instance().Release( Qt::Key_Control );
   EXPECT_FALSE( main->Edit_ToolBar->isFloating() && !main->Edit_ToolBar->isHidden() );
   EXPECT_FALSE( main->Zoom_ToolBar->isHidden() );
   EXPECT_TRUE( platform::Registry().KeyExists( Key( "Tool Bars" ) ) );
}
