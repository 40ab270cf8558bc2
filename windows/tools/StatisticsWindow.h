#ifndef LF_WINDOWS_TOOLS_STATISTICS_WINDOW_H
#define LF_WINDOWS_TOOLS_STATISTICS_WINDOW_H

// The Statistics tool window: mean, median, standard deviation, average deviation, variance, minimum and maximum of
// every nominal channel of one view, scaled to a chosen data range. The statistics are the view's own cached record,
// computed by the view when it is missing; the window follows the view through the notifications.

#include <QColor>

#include "windows/processing/LFToolWindow.h"

class QComboBox;
class QLabel;
class TViewsListFrame;

class TStatisticsWindow : public TLFToolWindow
{
   Q_OBJECT

public:
   static constexpr int NumberOfStatistics = 7;
   static constexpr int NumberOfDataRanges = 5;

   explicit TStatisticsWindow( QWidget* owner = nullptr );

   // Makes the view (or none) the window's view, computing its statistics when it has none, and shows them.
   void SelectView( TImageWindow::View* view );
   void Display();
   void DataRange_ComboBoxChange();

   void ViewCreated( TImageWindow::View& view ) override;
   void ViewRenamed( TImageWindow::View& view ) override;
   void ViewUpdated( TImageWindow::View& view ) override;
   void ViewDeleted( TImageWindow::View& view ) override;
   void StatisticsChanged( TImageWindow::View& view ) override;

   // The background colour a panel shows.
   static QColor PanelColor( const QLabel* panel );

   TImageWindow::View* currentView = nullptr;
   int dataRange = 0;

   TViewsListFrame* ViewsList = nullptr; // main views and previews, with the no-view entry
   QComboBox* DataRange_ComboBox = nullptr;
   QLabel* Header_Panel[3] = {};                        // Red_Panel, Green_Panel, Blue_Panel
   QLabel* HeaderCaption_Panel[3] = {};                 // RedCaption_Panel, GreenCaption_Panel, BlueCaption_Panel
   QLabel* Row_Panel[NumberOfStatistics] = {};          // Mean_Panel .. Maximum_Panel
   QLabel* Value_Panel[NumberOfStatistics][3] = {};     // Mean0_Panel .. Maximum2_Panel

private:
   // No view any more: the window and its list show none.
   void ClearView();
};

// The program's Statistics window, made on first use.
TStatisticsWindow& StatisticsWindow();

#endif
