#ifndef LF_WINDOWS_PROCESSING_MEDIAN_FILTER_WINDOW_H
#define LF_WINDOWS_PROCESSING_MEDIAN_FILTER_WINDOW_H

// The window of MedianFilter: the box filter controls and the two-way hybrid option, which excludes the circular
// box and is available for boxes above 3 x 3.

#include "process/MedianFilter.h"
#include "windows/processing/BoxFilterWindow.h"

class TMedianFilterWindow : public TBoxFilterWindow
{
   Q_OBJECT

public:
   explicit TMedianFilterWindow( QWidget* owner = nullptr );

   std::unique_ptr<Process> NewInstance() override;
   void ImportInstance( const Process& instance ) override;

   void BoxSize_ComboBoxChange() override;
   void CircularKernel_CheckBoxClick() override;
   void HybridFilter_CheckBoxClick();

   QCheckBox* HybridFilter_CheckBox = nullptr;

   MedianFilter::Parameters parameters;

private:
   void UpdateControls();
};

// The one window, created on first use.
TMedianFilterWindow& MedianFilterWindow();

#endif
