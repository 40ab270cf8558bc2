#ifndef LF_WINDOWS_MAIN_PROCESS_PICTURES_H
#define LF_WINDOWS_MAIN_PROCESS_PICTURES_H

// The picture of every process: a small pictogram on the tile of the main window's icons. A process's action
// carries it, and from there the menus, the tool bars, the New Process menu and the process icons show it.

#include <QIcon>

#include <string>

// The picture of the process with this identifier; a null icon for an identifier without one.
QIcon ProcessPicture( const std::string& processId );

// Gives the action of every registered process (Process::Action) its picture.
void SetProcessActionPictures();

#endif
