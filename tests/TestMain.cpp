// main() of the tests that link Qt: an offscreen QApplication with a screen of 1280x1024 (the program refuses
// desktops smaller than 1024x768, and Qt's offscreen screen is 800x800 unless told otherwise), and a private
// configuration folder so that no test reads or writes the user's real settings. The windows' tests (LF_TEST_WINDOWS)
// also get the faces of the lower floors filled by the windows, as the program's start-up fills them, and the
// program-wide state of the windows put back after each test.

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "TestDirs.h"

#ifdef LF_TEST_WINDOWS
#include "platform/ColorManagementSettings.h"
#include "windows/image/ImageWindow_ICM.h"
#include "windows/main/WindowServices.h"
#include "windows/processing/ProcessingWindow.h"
#include "windows/tools/RealTimePreviewWindow.h"

namespace
{

// What lives as long as the program is put back as it was at start after each test, so that every test starts as
// it does alone, whichever tests ran before it in the same process: the real-time preview window (there once a
// window has asked for it) and the display's colour management (profiles, transforms, the settings record).
class ProgramStateReset : public ::testing::EmptyTestEventListener
{
   void OnTestEnd( const ::testing::TestInfo& ) override
   {
      const std::vector<TProcessingWindow*> windows = ProcessingWindows;
      for ( TProcessingWindow* w : windows )
         if ( auto* preview = dynamic_cast<TRealTimePreviewWindow*>( w ) )
            delete preview;
      ReleaseColorManagement();
      ColorManagementSettings = ColorManagementSettingsRecord();
   }
};

} // namespace
#endif

int main( int argc, char** argv )
{
   test::TempDir configHome;
   ::setenv( "XDG_CONFIG_HOME", configHome.Path().c_str(), 1 );

   // The offscreen platform takes its screens from a JSON file named in the platform argument. A platform chosen
   // by the caller is kept unless it is the plain offscreen one (or empty).
   test::TempDir screenDir;
   const char* platform = std::getenv( "QT_QPA_PLATFORM" );
   if ( platform == nullptr || *platform == '\0' || std::strcmp( platform, "offscreen" ) == 0 )
   {
      std::string screenFile = screenDir.File( "screen.json" );
      std::ofstream( screenFile )
          << R"({"screens":[{"name":"s","x":0,"y":0,"width":1280,"height":1024,"logicalDpi":96}]})";
      ::setenv( "QT_QPA_PLATFORM", ( "offscreen:configfile=" + screenFile ).c_str(), 1 );
   }

   QApplication app( argc, argv );
   ::testing::InitGoogleTest( &argc, argv );
#ifdef LF_TEST_WINDOWS
   InstallWindowServices();
   ::testing::UnitTest::GetInstance()->listeners().Append( new ProgramStateReset );
#endif
   return RUN_ALL_TESTS();
}
