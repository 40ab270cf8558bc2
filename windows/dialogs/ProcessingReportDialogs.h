#ifndef LF_WINDOWS_DIALOGS_PROCESSING_REPORT_DIALOGS_H
#define LF_WINDOWS_DIALOGS_PROCESSING_REPORT_DIALOGS_H

// The modal dialogs that show a processing report (windows/frames/ProcessingReportFrame.h): the container report
// dialog, opened by the process container window and the processing history window, and the processing report
// dialog of the active image window's current view. The report is generated when the dialog first shows and
// emptied when it hides.

#include <QDialog>

#include "windows/image/ImageWindow.h"

class ProcessContainer;
class TProcessingReportFrame;

class TProcessingReportDialogBase : public QDialog
{
   Q_OBJECT

public:
   explicit TProcessingReportDialogBase( QWidget* parent, const char* name );

   QWidget* Report_Panel = nullptr;
   TProcessingReportFrame* ProcessingReport = nullptr;
   bool reportGenerated = false;

protected:
   void showEvent( QShowEvent* event ) override;
   void hideEvent( QHideEvent* event ) override;
};

// Caption, view and container are set by the opener.
class TProcessContainerReportDialog : public TProcessingReportDialogBase
{
   Q_OBJECT

public:
   explicit TProcessContainerReportDialog( QWidget* parent = nullptr );
};

// Reports the current view of the main window's active image window.
class TProcessingReportDialog : public TProcessingReportDialogBase
{
   Q_OBJECT

public:
   explicit TProcessingReportDialog( QWidget* parent = nullptr );

protected:
   void showEvent( QShowEvent* event ) override;
};

TProcessContainerReportDialog& ProcessContainerReportDialog();
TProcessingReportDialog& ProcessingReportDialog();

// Shows the container report dialog modally for a view (when not nullptr) or a container.
void ShowContainerReport( const QString& caption, TImageWindow::View* view, ProcessContainer* container );

#endif
