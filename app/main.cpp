// The program entry: everything happens in RunApplication.

#include "windows/main/Application.h"

int main( int argc, char** argv )
{
   LumenforgeApplication app( argc, argv );
   return RunApplication( app, StartUpOptions::FromEnvironment() );
}
