#ifndef LF_WINDOWS_PROCESSING_PROCESSING_HISTORY_WINDOW_H
#define LF_WINDOWS_PROCESSING_PROCESSING_HISTORY_WINDOW_H

// Shows the processing history of one view, chosen in a views list, read-only; offers its processing report and,
// through the drag handle, the whole history as one ProcessContainer instance. It is no process's interface:
// instances dropped on it are refused.

#include <memory>

#include "windows/processing/ProcessingWindow.h"

class QPushButton;
class TProcessContainerViewFrame;
class TViewsListFrame;

class TProcessingHistoryWindow : public TProcessingWindow
{
   Q_OBJECT

public:
   explicit TProcessingHistoryWindow( QWidget* owner = nullptr );

   void RefreshAll();
   // Shows the history of a view (nullptr: none); Report is enabled exactly with a view.
   void SelectView( TImageWindow::View* view );
   TImageWindow::View* CurrentView() const;
   void Report_ButtonClick();

   // A copy of the chosen view's history; nullptr without a view.
   std::unique_ptr<Process> NewInstance() override;
   std::unique_ptr<Process> NewProbeInstance() override;

   void ViewCreated( TImageWindow::View& view ) override;
   void ViewUpdated( TImageWindow::View& view ) override;
   void ViewRenamed( TImageWindow::View& view ) override;
   void ViewDeleted( TImageWindow::View& view ) override;
   void ProcessUpdated( Process& instance ) override;

   TProcessContainerViewFrame* ProcessContainerView = nullptr;
   TViewsListFrame* ViewsList = nullptr;
   QPushButton* Report_Button = nullptr;
};

TProcessingHistoryWindow& ProcessingHistoryWindow();

#endif
