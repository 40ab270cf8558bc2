#ifndef LF_SUPPORT_FAILURE_REPORT_H
#define LF_SUPPORT_FAILURE_REPORT_H

// The one way a user action (opening or saving a file, pasting, running a process) shows the failure that ended
// it, so that a failure reads the same whichever action met it. Call it inside a catch block; it rethrows the
// exception being handled and shows it by kind:
//   - qor::CatchedException: nothing, the user has been told where it happened;
//   - any other qor::Exception: its own box, with its own caption;
//   - ToolkitError and ProcessRefusal: their text in a warning box captioned with the application title; a
//     ProcessRefusal with an empty text is a cancellation and shows nothing;
//   - std::bad_alloc: "Out of memory" in a warning box, or (OutOfMemoryReport::Unexpected, for the places where
//     exhausted memory means a fault of their own) an unexpected exception;
//   - anything else: an unexpected exception of that source and line (ReportUnexpectedException).
// Callers with failures of their own (an abort of a process, say) catch those first.

#include <string>

enum class OutOfMemoryReport
{
   Warning,
   Unexpected
};

// Shows the failure being handled; true when it was a cancellation.
bool ReportCaughtFailure( const std::string& sourceName, int line,
                          OutOfMemoryReport outOfMemory = OutOfMemoryReport::Warning );

#endif
