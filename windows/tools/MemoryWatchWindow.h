#ifndef LF_WINDOWS_TOOLS_MEMORY_WATCH_WINDOW_H
#define LF_WINDOWS_TOOLS_MEMORY_WATCH_WINDOW_H

// The memory watch: the machine's physical memory and swap space, total and free in MB, with a lamp per row (red
// below 5 % free, yellow below 15 %, green otherwise). It reads the system once a second while it is shown; the
// first values appear one second after it opens.

#include <QColor>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <optional>

#include "platform/SystemMemory.h"
#include "windows/processing/LFToolWindow.h"

class QLabel;

class TMemoryWatchWindow : public TLFToolWindow
{
   Q_OBJECT

public:
   explicit TMemoryWatchWindow( QWidget* owner = nullptr );

   void FormShow();
   void FormHide();
   void TimerTimer();
   // Reads the system and shows it; the second form shows a given status.
   void UpdateMemoryStatus();
   void UpdateMemoryStatus( const MemoryStatus& status );

   // The lamp of a free percentage; black when there is nothing to measure (no swap space at all).
   static QColor LampColor( std::optional<double> freePercent );

   QTimer* Timer = nullptr;
   QLabel* TotalPhysical_Panel = nullptr;
   QLabel* FreePhysical_Panel = nullptr;
   QLabel* PhysicalStatus_Panel = nullptr;
   QLabel* TotalPaged_Panel = nullptr;
   QLabel* FreePaged_Panel = nullptr;
   QLabel* PagedStatus_Panel = nullptr;

protected:
   void showEvent( QShowEvent* event ) override;
   void hideEvent( QHideEvent* event ) override;
};

extern TMemoryWatchWindow* MemoryWatchWindow;

#endif
