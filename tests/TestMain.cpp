// main() of the tests that link Qt: an offscreen QApplication, and a private configuration folder so that no
// test reads or writes the user's real settings.

#include <gtest/gtest.h>

#include <QApplication>

#include <cstdlib>

#include "TestDirs.h"

int main( int argc, char** argv )
{
   ::setenv( "QT_QPA_PLATFORM", "offscreen", 0 );
   test::TempDir configHome;
   ::setenv( "XDG_CONFIG_HOME", configHome.Path().c_str(), 1 );

   QApplication app( argc, argv );
   ::testing::InitGoogleTest( &argc, argv );
   return RUN_ALL_TESTS();
}
