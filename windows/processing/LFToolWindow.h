#ifndef LF_WINDOWS_PROCESSING_LF_TOOL_WINDOW_H
#define LF_WINDOWS_PROCESSING_LF_TOOL_WINDOW_H

// The base of the tool windows (image information, statistics, memory watch, real-time preview, monitor
// brightness): processing windows that edit no process, so that they get every view notification without offering
// an instance. Their handle is hidden, and the apply buttons and keys run nothing.

#include "windows/processing/ProcessingWindow.h"

class TLFToolWindow : public TProcessingWindow
{
   Q_OBJECT

public:
   explicit TLFToolWindow( QWidget* owner );

   // None.
   std::unique_ptr<Process> NewInstance() override;
};

#endif
