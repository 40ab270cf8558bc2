#ifndef LF_WINDOWS_PROCESSING_PROCESSING_STATUS_DIALOG_H
#define LF_WINDOWS_PROCESSING_PROCESSING_STATUS_DIALOG_H

// The processing status dialog: the one modeless window inside which every long operation runs.
//
// A caller opens a bracket of tasks (BeginTasks), adds task lines as it goes (AddTask + NextTask; lines are
// indented by level, the current one is selected), lets the images it works on report through their progress
// monitors (ProgressCallback, connected with StatusMonitorScope), and closes the bracket (EndTasks). Brackets
// nest: only the outermost BeginTasks prepares and shows the dialog, only the matching EndTasks ends it.
//
// At each progress report the dialog moves its bar, shows the percentage ("%42") and the monitor's text, pumps
// the event queue so that the program stays alive, and turns an abort request of the main window (its Pause/Abort
// button, or an attempt to close this dialog) into the question "Abort process?"; a Yes makes the operation stop
// with qor::Image::AbortProcessEvent. Requests are honoured only while the main window is busy
// (TMainWindow::BeginProcessing).
//
// While a bracket without a report callback is open every other top-level window is disabled, and image windows
// hold their paints back (TImageWindow::statusDialogNestingCount); the windows with a paint pending are redrawn
// when the dialog hides. At the end of a bracket the dialog can beep (BeepOnCompletion_SpeedButton) and, when the
// program is in the background, asks for the user's attention without blocking: the application title reads
// "Process Completed" until the program is activated again, then the previous title comes back.
//
// Everything runs on the GUI thread.

#include <QDialog>
#include <QPointer>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "classlib/StatusCallback.h"

class QFrame;
class QLabel;
class QListWidget;
class QProgressBar;
class QPushButton;
class QToolButton;

namespace qor
{
class Image;
}

class TProcessingStatusDialog : public QDialog
{
   Q_OBJECT

public:
   struct TaskData
   {
      std::string text;
      int32_t level = 0;
      // Progress units of the task; 0: each operation's monitor gives its own total.
      int64_t total = 0;
   };

   // Work done inside a bracket of its own (a report being built): called by BeginTasks once the dialog shows.
   using ReportCallback = std::function<void()>;

   explicit TProcessingStatusDialog( QWidget* parent = nullptr );
   ~TProcessingStatusDialog() override;

   // Opens a bracket; the outermost one empties the task list, shows the dialog and, without a callback,
   // disables the other windows. With a callback the callback runs at once, inside the bracket.
   void BeginTasks( const ReportCallback& callback = {} );
   // Adds a task line (level x two blanks + text) above the empty last line.
   void AddTask( const std::string& text, int32_t level, int64_t total );
   // Selects the next task (the last one stays selected) and resets the progress display.
   void NextTask();
   // Closes a bracket; the outermost one beeps when asked to, gives the other windows back, asks for attention
   // when the program is in the background and hides the dialog. Harmless when no bracket is open.
   void EndTasks();

   // The qor::StatusCallback::Function of the dialog (data: the dialog). A nonzero answer aborts the operation.
   static int32_t ProgressCallback( void* dialog, int32_t event, qor::StatusCallback& monitor );

   // Handlers.
   void Abort_ButtonClick();
   void Minimize_ButtonClick();
   void FormActivate() {}
   // The program became the active one again after a completion in the background: the title and the minimised
   // windows come back.
   void ApplicationActivated();

   int32_t Nesting() const { return nesting; }
   bool IsOpen() const { return nesting > 0; }
   // The bar's maximum and position in monitor units (the widget may show them scaled).
   int64_t BarMaximum() const { return barMaximum; }
   int64_t BarPosition() const { return progressSum; }
   // Index of the progress event being handled since the outermost BeginTasks (for the test hook).
   int32_t EventCount() const { return eventCount; }

   // --- Hooks (replaceable; tests count or steer through them) ---
   // Called at each progress event after the event queue has been pumped and before an abort request is looked
   // at, with the 0-based index of the event within the outermost bracket.
   std::function<void( int32_t eventIndex )> progressHook;
   // One system beep.
   std::function<void()> beep;
   // Draws the user's attention to the window without blocking.
   std::function<void( QWidget* window )> alert;
   // Whether the program is the active application.
   std::function<bool()> applicationActive;

   // Beeps at the end of a bracket, this many times and this far apart (milliseconds).
   static constexpr int32_t CompletionBeeps = 3;
   static constexpr int32_t CompletionBeepInterval = 180;

   // --- State ---
   std::vector<TaskData> tasks;
   int32_t currentTask = 0;
   int64_t progressSum = 0;
   int32_t lastPercent = 0;
   int64_t lastCount = 0;
   int32_t nesting = 0;
   ReportCallback reportCallback;

   // --- Components ---
   QFrame* TasksList_Panel = nullptr;
   QListWidget* Tasks_ListBox = nullptr;
   QFrame* User_Panel = nullptr;
   QFrame* UserClient_Panel = nullptr;
   QFrame* Progress_Panel = nullptr;
   QLabel* Percent_Panel = nullptr;
   QLabel* Info_Panel = nullptr;
   QProgressBar* ProgressBar = nullptr;
   QToolButton* BeepOnCompletion_SpeedButton = nullptr;
   QPushButton* Minimize_Button = nullptr;
   QPushButton* Abort_Button = nullptr;

protected:
   void hideEvent( QHideEvent* event ) override;
   void closeEvent( QCloseEvent* event ) override;
   // Esc presses Pause/Abort instead of closing the dialog.
   void reject() override;

private:
   int32_t Progress( int32_t event, qor::StatusCallback& monitor );
   void SetBarMaximum( int64_t maximum );
   void ShowBarPosition();
   void ShowPercent( int32_t percent );
   void SyncAbortButton();
   void DisableOtherWindows();
   void EnableOtherWindows();
   void FormHide();

   int64_t barMaximum = 1;
   int32_t eventCount = 0;
   std::vector<QPointer<QWidget>> disabledWindows;
   // The application title to bring back after a completion in the background; empty when none is pending.
   QString titleBeforeCompletion;
   bool completionPending = false;
   QPointer<QWidget> mainWindowConnected;
};

// The one status dialog; nullptr until StatusDialog() first creates it.
extern TProcessingStatusDialog* ProcessingStatusDialog;

// The status dialog, created on first use (with its beep toggle preset from the preferences).
TProcessingStatusDialog& StatusDialog();
// Deletes the status dialog (before the application object goes away).
void DestroyStatusDialog();

// Connects an image's progress monitor to the status dialog for the lifetime of the scope; the monitor is
// disconnected at its end.
class StatusMonitorScope
{
public:
   explicit StatusMonitorScope( const qor::Image& image );
   ~StatusMonitorScope();
   StatusMonitorScope( const StatusMonitorScope& ) = delete;
   StatusMonitorScope& operator=( const StatusMonitorScope& ) = delete;

private:
   const qor::Image& image;
};

#endif
