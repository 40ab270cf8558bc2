// The program entry: everything happens in RunApplication.

#include <QApplication>

#include "windows/main/Application.h"

int main( int argc, char** argv )
{
   QApplication app( argc, argv );
   return RunApplication( app, StartUpOptions::FromEnvironment() );
}
