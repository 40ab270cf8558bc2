#ifndef LF_PROCESS_PROCESS_WINDOWS_H
#define LF_PROCESS_PROCESS_WINDOWS_H

// How a process opens its processing window without knowing the window's class: the windows layer keeps the one
// global window of each process that has one (windows/processing/ProcessWindows.cpp) and answers here by the
// process's identifier.

#include <string>

class Process;
class QAction;

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
