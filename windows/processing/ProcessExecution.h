#ifndef LF_WINDOWS_PROCESSING_PROCESS_EXECUTION_H
#define LF_WINDOWS_PROCESSING_PROCESS_EXECUTION_H

// The road every process run takes through the image windows (the Process members ExecuteOn, ExecuteGlobal,
// LaunchOn, LaunchGlobal, PrepareTarget, FinishTarget and CheckDisplayChannel follow it, process/ProcessExecution.h),
// with the steps a process container takes on the way, and the little state it keeps of its own.
//
// A launch marks the main window busy, opens a bracket of the processing status dialog with the task
// "Processing image: <id>:" (or "preview: "), runs the execution and turns every failure into a message:
//   - the user's abort (qor::Image::AbortProcessEvent): "Process aborted." in an information box titled with the
//     process identifier; a preview is restored (" Preview restored."), a main view whose window holds undo data
//     is recovered from them (" Image recovered.");
//   - a class-library exception: its own box; a toolkit error or a refusal text: a warning box titled with the
//     application title (an empty refusal text is a silent cancellation);
//   - exhausted memory on a view: "Out of memory"; anything else: the unexpected-exception report.
// A launch asked for while another one runs (an event handled in the middle of a run) is refused: false, with
// nothing shown. When a failure has left the target window without pixels, the image is recovered from its undo
// data when there are any; otherwise the user is told that the data are lost and the window gets a zero-filled
// 100 x 100 grey placeholder that it does not paint until a later run.
//
// Masking: after the own work on a view of a window with an enabled mask (and a process that accepts masking) the
// result is blended with the unprocessed pixels through the mask. A main view whose window holds no undo data to
// blend from (undo disabled) is blended from a copy of its pixels kept in memory for the run; when the result
// cannot be blended (its size or channels changed) it is left as the process made it and the instance does not
// record the mask.

#include <string>

class ProcessView;
class TImageWindow;

namespace qor
{
class Image;
}

// Makes this road the one every run takes, and its steps the ones of every process container. Called at start-up.
void InstallExecutionRoad();

// Program-wide: while true, a run that modifies a window without undo asks the user first ("Don't ask again"
// clears it). True at every start of the program; never stored.
extern bool AskBeforeRunningWithoutUndo;

// Puts a window's recovery copy back in place of its swap file, with the undo state it had, after an undo
// preparation that failed half-way (so the undo data of the previous run stay usable). Without a recovery copy
// nothing changes; when the copy cannot be moved back, the window is left without undo data.
void RestoreRecoveryCopy( TImageWindow& window );

// Masks the view's processed pixels with the unprocessed copy through the mask window's image (on a preview, the
// part of it under the preview's rectangle): p <- p*m + (1 - m)*s for every nominal channel. The blended image is
// the run's result: what the window had cached of it is stale, and the windows masked by it show it. False, with
// nothing changed, when the view is not an image window's or the three images do not fit together (the process
// changed the size or the channels).
bool MaskFromCopy( ProcessView& view, const qor::Image& unprocessed, const TImageWindow& maskWindow );

// Asks whether to run the process on a window without undo, in the warning dialog with the "Don't ask again" box
// bound to AskBeforeRunningWithoutUndo. True for Yes.
bool ConfirmRunWithoutUndo( const std::string& processId );

#endif
