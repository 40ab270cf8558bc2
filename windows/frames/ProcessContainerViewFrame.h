#ifndef LF_WINDOWS_FRAMES_PROCESS_CONTAINER_VIEW_FRAME_H
#define LF_WINDOWS_FRAMES_PROCESS_CONTAINER_VIEW_FRAME_H

// A list of the instances of a process container (the user's container, or the processing history of a view),
// with nested containers flattened depth first: each instance is one numbered row, the instances of a nested
// container follow it one level deeper (indented by four blanks per level). Columns: "#" with the enabled state as
// a check box, "Process Id", "Start Time", "Secs.", "Mask", "Parameters".
//
// A double click on the check box column toggles the instance's enabled state; elsewhere it opens the instance's
// interface when it has one. The frame neither owns the container nor edits its tree: its windows do.

#include <QFrame>

#include <cstdint>
#include <vector>

class Process;
class ProcessContainer;
class QTreeWidget;
class QTreeWidgetItem;

class TProcessContainerViewFrame : public QFrame
{
   Q_OBJECT

public:
   explicit TProcessContainerViewFrame( QWidget* owner = nullptr );

   // Rebuilds the rows from the container, keeping the selected row where it can.
   void Refresh();
   // Selects a row: a negative row selects the first, one past the end the last; none without rows.
   void SelectRow( int32_t row );
   // The selected row, or -1.
   int32_t SelectedRow() const;
   int32_t RowCount() const;
   // The instance of a row and its nesting level (0 at the top), or nullptr.
   Process* InstanceAtRow( int32_t row, int32_t* level = nullptr ) const;
   // The row of an instance, or -1.
   int32_t RowOfInstance( const Process* instance ) const;

   void Processing_ListViewDblClick( QTreeWidgetItem* item, int column );

   ProcessContainer* container = nullptr;
   QTreeWidget* Processing_ListView = nullptr;

private:
   struct Row
   {
      Process* instance;
      int32_t level;
   };
   std::vector<Row> rows;
   void FillRow( int32_t row );
};

#endif
