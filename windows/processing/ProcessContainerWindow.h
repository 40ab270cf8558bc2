#ifndef LF_WINDOWS_PROCESSING_PROCESS_CONTAINER_WINDOW_H
#define LF_WINDOWS_PROCESSING_PROCESS_CONTAINER_WINDOW_H

// The window of the ProcessContainer process: it edits the user's own container. Instances dropped on the form are
// appended (a container dropped there replaces the whole container with a copy); dropped on the list they are
// inserted before the row under the mouse. Rows are moved by dragging them with the left button, also into and
// out of nested containers (never into the container being moved); Delete removes the selected row's instance (a
// nested container left empty goes with it); Clear empties the container; Report shows its processing report.

#include <memory>

#include "windows/processing/ProcessingWindow.h"

class ProcessContainer;
class QPushButton;
class TProcessContainerViewFrame;

class TProcessContainerWindow : public TProcessingWindow
{
   Q_OBJECT

public:
   explicit TProcessContainerWindow( QWidget* owner = nullptr );
   ~TProcessContainerWindow() override;

   std::unique_ptr<Process> NewInstance() override;
   std::unique_ptr<Process> NewProbeInstance() override;
   void ImportInstance( const Process& instance ) override;
   void ProcessUpdated( Process& instance ) override;

   // Takes the instance at the end of the container; its row is selected.
   void AppendInstance( std::unique_ptr<Process> instance );
   // Takes the instance before the selected row's instance, in that instance's container (appends without a
   // selected row).
   void InsertInstance( std::unique_ptr<Process> instance );
   void RemoveSelected();
   // Moves an instance before the target (nullptr: to the end of its own container). False, after an error box,
   // when the target lies inside the moved instance.
   bool MoveInstance( Process* moved, Process* target );
   void Clear_ButtonClick();
   void Report_ButtonClick();

   // A process envelope dragged over the list (row under the point, in the list's viewport) or dropped there.
   bool ListDragOver( TProcessEnvelope* envelope, QPoint point );
   void ListDragDrop( TProcessEnvelope* envelope, QPoint point );

   bool moving = false;
   Process* movedInstance = nullptr;
   std::unique_ptr<ProcessContainer> container;

   QWidget* ProcessContainer_Panel = nullptr;
   TProcessContainerViewFrame* ProcessContainerView = nullptr;
   QPushButton* Clear_Button = nullptr;
   QPushButton* Report_Button = nullptr;
   QWidget* SpeedButtons_Panel = nullptr;

protected:
   void dragEnterEvent( QDragEnterEvent* event ) override;
   void dragMoveEvent( QDragMoveEvent* event ) override;
   void dropEvent( QDropEvent* event ) override;
   bool eventFilter( QObject* watched, QEvent* event ) override;

private:
   bool AcceptsEnvelope( TProcessEnvelope* envelope );
   int32_t RowAt( QPoint point ) const;
};

TProcessContainerWindow& ProcessContainerWindow();

#endif
