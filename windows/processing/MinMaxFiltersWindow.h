#ifndef LF_WINDOWS_PROCESSING_MIN_MAX_FILTERS_WINDOW_H
#define LF_WINDOWS_PROCESSING_MIN_MAX_FILTERS_WINDOW_H

// The window of MinMaxFilter: the box filter controls and the choice between erosion and dilation.

#include "process/MinMaxFilter.h"
#include "windows/processing/BoxFilterWindow.h"

class QRadioButton;

class TMinMaxFiltersWindow : public TBoxFilterWindow
{
   Q_OBJECT

public:
   explicit TMinMaxFiltersWindow( QWidget* owner = nullptr );

   std::unique_ptr<Process> NewInstance() override;
   void ImportInstance( const Process& instance ) override;

   void Minimum_RadioButtonClick();
   void Maximum_RadioButtonClick();

   QRadioButton* Minimum_RadioButton = nullptr;
   QRadioButton* Maximum_RadioButton = nullptr;

   MinMaxFilter::Parameters parameters;

private:
   void UpdateControls();
};

// The one window, created on first use.
TMinMaxFiltersWindow& MinMaxFiltersWindow();

#endif
