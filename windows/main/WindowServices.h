#ifndef LF_WINDOWS_MAIN_WINDOW_SERVICES_H
#define LF_WINDOWS_MAIN_WINDOW_SERVICES_H

// The floors below the windows reach them only through faces of their own, which the windows fill here: the road
// of every run and the steps of a process container (process/ProcessExecution.h, process/ProcessContainer.h), the
// image windows (process/ImageWindowService.h), the processing windows (process/ProcessWindows.h), the dynamic
// sessions (process/DynamicSessionLinks.h), the readout options in force (process/ReadoutOptions.h), applying the
// preferences (process/Preferences.h) and whether the program is terminating (process/Maskable.h). Within the
// windows, the background-extraction edits find their dialog here too.
//
// Called once at start-up, before any window exists: by RunApplication, and by the main() of the window tests.
void InstallWindowServices();

#endif
