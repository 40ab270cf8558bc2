// Loading a process icon set whose icons all share one identifier onto an empty desktop: every icon after the
// first gets the first free identifier made by appending 1, 2, 3, ..., so the search for free identifiers is what
// grows with the set. Sets of 500, 2000 and 5000 icons (the last a file of about 265 KB).

#include "BenchCommon.h"
#include "process/MedianFilter.h"
#include "process/ProcessIconSetModule.h"
#include "windows/main/MainWindow.h"

#include <QApplication>
#include <QString>

#include <cstdlib>
#include <memory>
#include <string>

namespace
{

QApplication& Application()
{
   static int argc = 1;
   static char name[] = "ProcessIconSetBench";
   static char* argv[] = { name, nullptr };
   static std::unique_ptr<QApplication> app = []
   {
      qputenv( "QT_QPA_PLATFORM", "offscreen" );
      // The program's settings go to a folder of the benchmark's own, not the user's.
      qputenv( "XDG_CONFIG_HOME", QByteArray::fromStdString( bench::ScratchFile( "ProcessIconSetBench-config" ) ) );
      return std::make_unique<QApplication>( argc, argv );
   }();
   return *app;
}

TMainWindow& Main()
{
   static TMainWindow* main = []
   {
      Application();
      auto* window = new TMainWindow();
      window->resize( 1024, 768 );
      window->show();
      return window;
   }();
   return *main;
}

// A set file of count Median Filter icons, every one named "Flat".
std::string SetOfOneIdentifier( int32_t count )
{
   const std::string path = bench::ScratchFile( "flat" + std::to_string( count ) + ".lf-psm" );
   ProcessIconSetModule module;
   for ( int32_t i = 0; i < count; ++i )
      module.records.push_back( { 0.1f, 0.1f, "Flat", std::make_unique<MedianFilter>() } );
   module.Write( path );
   return path;
}

struct Registration
{
   Registration()
   {
      for ( int32_t count : { 500, 2000, 5000 } )
      {
         auto path = std::make_shared<std::string>(); // written on first use
         bench::Register(
            "iconset_load_one_identifier", std::to_string( count ),
            [count, path]
            {
               if ( path->empty() )
                  *path = SetOfOneIdentifier( count );
               if ( !Main().LoadProcessIcons( QString::fromStdString( *path ), false, false ) )
                  std::abort();
            },
            [] { Main().LoadProcessIcons( QString(), false, false ); } );
      }
   }
} registration;

} // namespace
