#ifndef LF_WINDOWS_TOOLS_ADJUST_MONITOR_BRIGHTNESS_WINDOW_H
#define LF_WINDOWS_TOOLS_ADJUST_MONITOR_BRIGHTNESS_WINDOW_H

// Two test patterns against which the user sets the monitor's brightness: a dark box (a 100x100 square of grey 13,
// 5 % of full scale, centred on black) and colour scales (grey, red, green and blue in rows of ten cells, each
// colour twice, the second row shifted half a cell and half a level so that the two interleave).

#include <QColor>
#include <QWidget>

#include "windows/processing/LFToolWindow.h"

class QPainter;
class QTabWidget;

class TAdjustMonitorBrightnessWindow : public TLFToolWindow
{
   Q_OBJECT

public:
   explicit TAdjustMonitorBrightnessWindow( QWidget* owner = nullptr );

   // The patterns have no size of their own: the window opens at its design size rather than shrinking around them.
   QSize sizeHint() const override;

   // The two patterns, painted over a paint box of the given size.
   static void PaintDarkBox( QPainter& painter, QSize size );
   static void PaintColorScales( QPainter& painter, QSize size );
   // One row of ten cells from left, each cellWidth wide (edges rounded from the cell index), at level
   // round((i + offsetTenths / 10) * 25.5) in the channels flagged.
   static void PaintColorScaleRow( QPainter& painter, int left, int top, double cellWidth, int rowHeight, bool red,
                                   bool green, bool blue, int offsetTenths );
   // The level of cell i of a row with that offset (ties to even: 25.5 gives 26, 76.5 gives 76).
   static int ColorScaleLevel( int cell, int offsetTenths );

   QTabWidget* Pages_PageControl = nullptr;
   QWidget* PaintBox1 = nullptr;
   QWidget* PaintBox2 = nullptr;
};

extern TAdjustMonitorBrightnessWindow* AdjustMonitorBrightnessWindow;

#endif
