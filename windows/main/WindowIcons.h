#ifndef LF_WINDOWS_MAIN_WINDOW_ICONS_H
#define LF_WINDOWS_MAIN_WINDOW_ICONS_H

// The icons of the program's windows, shown by the window manager in title bars and task lists: one for the main
// window (the program's own), one shared by the processing windows and one by the tool windows. They are painted
// at each size the system asks for (16, 32, 48 and 64 pixels), so that none is a blurred scaling of another.

#include <QIcon>

// A night sky in a round lens: the program.
QIcon ApplicationIcon();
// A transfer curve on a plot: a window that edits a process.
QIcon ProcessWindowIcon();
// A gauge: a tool window.
QIcon ToolWindowIcon();

#endif
