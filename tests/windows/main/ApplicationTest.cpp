#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QImage>
#include <QSysInfo>

#include <filesystem>
#include <fstream>
#include <string>

#include <sys/wait.h>
#include <unistd.h>

#include "TestDirs.h"
#include "TestSupport.h"
#include "platform/Registry.h"
#include "process/Preferences.h"
#include "windows/main/Application.h"
#include "windows/main/MainWindow.h"
#include "windows/main/SingleInstanceLock.h"

namespace
{

const QString PreferencesKey = "\\Software\\Corvanta\\Lumenforge\\1.0\\Preferences";

class ApplicationTest : public test::ScriptedUiTest
{
protected:
   void SetUp() override
   {
      test::ScriptedUiTest::SetUp();
      saved = CurrentPreferences;
      options.lockDirectory = QString::fromStdString( dir.Path().string() );
      // A stored preference that a start-up reaching the load would take in.
      platform::Registry registry;
      ASSERT_TRUE( registry.OpenKey( PreferencesKey + "\\Identifiers", true ) );
      registry.WriteString( "ImagePrefix", "Stored" );
      registry.CloseKey();
   }

   void TearDown() override
   {
      CurrentPreferences = saved;
      platform::Registry().DeleteKey( PreferencesKey );
      test::ScriptedUiTest::TearDown();
   }

   int Run() { return RunApplication( *qApp, options ); }

   void ExpectRefusal( const QString& text )
   {
      prompter.Expect( { text, {}, QString( "Lumenforge 1.0" ), platform::Icon::Error, platform::Answer::Ok } );
   }

   test::TempDir dir;
   StartUpOptions options;
   GlobalPreferences saved;
};

} // namespace

// Said in a box and on standard error; on a display nobody sees (make run's virtual one), only on standard error.
TEST_F( ApplicationTest, ASecondInstanceIsRefusedBeforeAnythingElse )
{
   const QString text = "There is another instance of Lumenforge running - multiple instances not allowed.";
   SingleInstanceLock first( options.lockDirectory );
   ASSERT_EQ( SingleInstanceLock::Result::Acquired, first.TryLock() );

   for ( bool visible : { true, false } )
   {
      SCOPED_TRACE( visible ? "visible display" : "display nobody sees" );
      options.displayVisible = visible;
      if ( visible )
         ExpectRefusal( text );
      testing::internal::CaptureStderr();
      EXPECT_EQ( 1, Run() );
      EXPECT_EQ( testing::internal::GetCapturedStderr(), text.toStdString() + "\n" );
      EXPECT_EQ( nullptr, MainWindow );
      EXPECT_EQ( "Image", CurrentPreferences.identifiers.imagePrefix ); // the preferences were not read
      EXPECT_TRUE( first.IsLocked() );                                  // the first copy is not disturbed
   }
}

TEST( StartUpOptionsTest, OnlyARealDisplayIsOneSomebodySees )
{
   struct Case
   {
      const char* platform;
      const char* virtualDisplay;
      bool visible;
   };
   const Case cases[] = {
      { "xcb", "", true },   { "wayland", "", true },    { "xcb", "0", true },
      { "xcb", "1", false }, { "offscreen", "", false }, { "minimal", "", false },
   };
   for ( const Case& c : cases )
      EXPECT_EQ( StartUpOptions::DisplayVisible( c.platform, c.virtualDisplay ), c.visible )
          << c.platform << " LF_VIRTUAL_DISPLAY=" << c.virtualDisplay;
   // The tests themselves run offscreen.
   EXPECT_FALSE( StartUpOptions::FromEnvironment().displayVisible );
}

TEST_F( ApplicationTest, DesktopsSmallerThan1024x768AreRefusedAndTheLockReleased )
{
   for ( QSize size : { QSize( 1023, 768 ), QSize( 1024, 767 ), QSize( 800, 800 ), QSize( 0, 0 ) } )
   {
      SCOPED_TRACE( QString( "%1x%2" ).arg( size.width() ).arg( size.height() ).toStdString() );
      options.desktopSize = size;
      ExpectRefusal( "Lumenforge requires a minimum desktop size of 1024x768 pixels" );
      EXPECT_EQ( 1, Run() );
      EXPECT_EQ( nullptr, MainWindow );
      EXPECT_EQ( "Image", CurrentPreferences.identifiers.imagePrefix );
      SingleInstanceLock next( options.lockDirectory );
      EXPECT_EQ( SingleInstanceLock::Result::Acquired, next.TryLock() );
   }
   EXPECT_FALSE( DesktopLargeEnough( QSize( 1280, 767 ) ) );
   EXPECT_TRUE( DesktopLargeEnough( QSize( 1024, 768 ) ) );
}

TEST_F( ApplicationTest, AFullRunLoadsShowsTheMainWindowAndSavesAtExit )
{
   options.desktopSize = QSize( 1024, 768 ); // exactly the minimum passes
   options.screenshotPath = QString::fromStdString( dir.File( "shot.png" ) );
   // A swap folder that a run which ended abnormally left in the temporary folder (no process has the largest id).
   int pidMax = 0;
   std::ifstream( "/proc/sys/kernel/pid_max" ) >> pidMax;
   test::TempDir temporary;
   const std::filesystem::path abandoned = temporary.Path() / ( "lumenforge-" + std::to_string( pidMax ) + "-aBc123" );
   std::filesystem::create_directory( abandoned );
   const QByteArray savedTemporary = qgetenv( "TMPDIR" );
   qputenv( "TMPDIR", QByteArray::fromStdString( temporary.Path().string() ) );
   EXPECT_EQ( 0, Run() );
   if ( savedTemporary.isNull() )
      qunsetenv( "TMPDIR" );
   else
      qputenv( "TMPDIR", savedTemporary );
   EXPECT_FALSE( std::filesystem::exists( abandoned ) ); // removed at start-up

   EXPECT_EQ( "Stored", CurrentPreferences.identifiers.imagePrefix ); // loaded at start-up
   EXPECT_EQ( nullptr, MainWindow );                                  // gone with the run
   QImage shot( options.screenshotPath );
   ASSERT_FALSE( shot.isNull() );
   EXPECT_GE( shot.width(), 1024 );

   // Saved at exit: every value is in the store now, not only the one put there before.
   platform::Registry registry;
   ASSERT_TRUE( registry.OpenKey( PreferencesKey + "\\Identifiers", false ) );
   EXPECT_EQ( "Preview", registry.ReadString( "PreviewPrefix" ) );
   EXPECT_EQ( "Stored", registry.ReadString( "ImagePrefix" ) );

   // The lock is free again for the next start.
   SingleInstanceLock next( options.lockDirectory );
   EXPECT_EQ( SingleInstanceLock::Result::Acquired, next.TryLock() );
}

TEST( SingleInstanceLockTest, ALockLeftByAProcessThatIsGoneIsReclaimed )
{
   test::TempDir dir;
   const QString folder = QString::fromStdString( dir.Path().string() );
   pid_t child = ::fork();
   ASSERT_GE( child, 0 );
   if ( child == 0 )
      ::_exit( 0 );
   ASSERT_EQ( child, ::waitpid( child, nullptr, 0 ) );

   SingleInstanceLock lock( folder );
   {
      // What a crashed copy leaves behind: the lock file naming its (now unused) process id.
      QFile stale( lock.FilePath() );
      ASSERT_TRUE( stale.open( QIODevice::WriteOnly ) );
      stale.write( QString( "%1\nlumenforge\n%2\n" ).arg( child ).arg( QSysInfo::machineHostName() ).toUtf8() );
   }
   EXPECT_EQ( SingleInstanceLock::Result::Acquired, lock.TryLock() );

   SingleInstanceLock second( folder );
   EXPECT_EQ( SingleInstanceLock::Result::HeldByAnother, second.TryLock() );
   lock.Unlock();
   EXPECT_EQ( SingleInstanceLock::Result::Acquired, second.TryLock() );
}

TEST( SingleInstanceLockTest, AnUnusableFolderLetsTheProgramRunUnguarded )
{
   SingleInstanceLock lock( "/nonexistent/folder/for/locks" );
   EXPECT_EQ( SingleInstanceLock::Result::Unavailable, lock.TryLock() );
}
