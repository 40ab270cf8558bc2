#ifndef LF_WINDOWS_PROCESSING_SCNR_WINDOW_H
#define LF_WINDOWS_PROCESSING_SCNR_WINDOW_H

// The window of SCNR: the colour to remove, the protection method and, for the mask methods, the amount.

#include "process/SCNR.h"
#include "windows/processing/ProcessingWindow.h"

class QComboBox;
class QLabel;
class QLineEdit;
class QSlider;

class TSCNRWindow : public TProcessingWindow
{
   Q_OBJECT

public:
   explicit TSCNRWindow( QWidget* owner = nullptr );

   std::unique_ptr<Process> NewInstance() override;
   void ImportInstance( const Process& instance ) override;

   void Color_ComboBoxSelect();
   void Protection_ComboBoxSelect();
   void Amount_EditExit();
   void Amount_TrackBarChange();

   QComboBox* Color_ComboBox = nullptr;
   QComboBox* Protection_ComboBox = nullptr;
   QLabel* Amount_Label = nullptr;
   QLineEdit* Amount_Edit = nullptr;
   QSlider* Amount_TrackBar = nullptr;

   SCNR::Parameters parameters;

private:
   void UpdateControls();
};

// The one window, created on first use.
TSCNRWindow& SCNRWindow();

#endif
