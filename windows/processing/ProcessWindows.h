#ifndef LF_WINDOWS_PROCESSING_PROCESS_WINDOWS_H
#define LF_WINDOWS_PROCESSING_PROCESS_WINDOWS_H

// Makes the processing windows the ones the processes open (process/ProcessWindows.h). Called at start-up.
void InstallProcessWindows();

#endif
