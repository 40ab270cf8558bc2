#ifndef LF_PROCESS_PROCESS_WINDOWS_H
#define LF_PROCESS_PROCESS_WINDOWS_H

// How a process opens its processing window without knowing the window's class: the windows layer keeps the one
// global window of each process that has one (windows/processing/ProcessWindows.cpp) and answers here by the
// process's identifier.

#include <string>

class Process;

// Whether the process has a window that can be opened.
bool IsProcessWindowAvailable( const std::string& processId );
// Loads the instance into its process's window and shows the window; false when the process has none.
bool OpenProcessWindow( const Process& instance );

#endif
