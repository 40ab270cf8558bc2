#ifndef LF_PROCESS_PROCESS_WINDOWS_H
#define LF_PROCESS_PROCESS_WINDOWS_H

// How a process opens its processing window without knowing the window's class: the windows layer keeps the one
// global window of each process that has one and installs its answers here at start-up
// (windows/processing/ProcessWindows.cpp), by the process's identifier. Until then no process has a window.

#include <string>

class Process;
class QAction;

class ProcessWindowService
{
public:
   // Whether the process has a window that can be opened.
   virtual bool IsAvailable( const std::string& processId ) = 0;
   // The main window's action of the process; nullptr for none.
   virtual QAction* Action( const std::string& processId ) = 0;
   // Whether the process's window can be opened now.
   virtual bool IsInterfaceAvailable( const std::string& processId ) = 0;
   // Loads the instance into its process's window and shows the window; false when the process has none.
   virtual bool Open( const Process& instance ) = 0;

protected:
   ~ProcessWindowService() = default;
};

// Installs the windows' answers (nullptr: none). Not owned.
void SetProcessWindowService( ProcessWindowService* service );

// Whether the process has a window that can be opened.
bool IsProcessWindowAvailable( const std::string& processId );
// The main window's action of the process: the command that opens its window (or, for a process without one, runs
// it); none without a main window or for a process that has no action.
QAction* ProcessAction( const std::string& processId );
// Whether the process's window can be opened now: its action is enabled. Without a main window (the windows used
// on their own), whether the process has a window.
bool IsProcessInterfaceAvailable( const std::string& processId );
// Loads the instance into its process's window and shows the window; false when the process has none.
bool OpenProcessWindow( const Process& instance );

#endif
