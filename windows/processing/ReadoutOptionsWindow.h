#ifndef LF_WINDOWS_PROCESSING_READOUT_OPTIONS_WINDOW_H
#define LF_WINDOWS_PROCESSING_READOUT_OPTIONS_WINDOW_H

// The processing window of ReadoutOptions: radio buttons that edit one set of readout options, applied globally as
// the options in force. Nothing changes in the main window until Apply. Shown without an instance just imported,
// the window starts again from the options in force.

#include <array>

#include "process/ReadoutOptions.h"
#include "windows/processing/ProcessingWindow.h"

class QButtonGroup;
class QPushButton;
class QRadioButton;
class QToolButton;

class TReadoutOptionsWindow : public TProcessingWindow
{
   Q_OBJECT

public:
   explicit TReadoutOptionsWindow( QWidget* owner = nullptr );

   std::unique_ptr<Process> NewInstance() override;
   void ImportInstance( const Process& instance ) override;
   // Executes a new instance globally at once.
   void Apply() override;
   // The options in force into the controls.
   void LoadCurrentOptions();
   void UpdateControls();
   void FormShow();

   ReadoutOptionsData options;
   bool imported = false;

   std::array<QRadioButton*, 6> Data_RadioButtons{};      // RGB_ ... CIELch_RadioButton
   std::array<QRadioButton*, 4> Mode_RadioButtons{};      // Mean_, Median_, Min_, Max_RadioButton
   std::array<QRadioButton*, 8> ProbeSize_RadioButtons{}; // S1x1_ ... S15x15_RadioButton
   QRadioButton* Real_RadioButton = nullptr;
   QRadioButton* Integer_RadioButton = nullptr;
   std::array<QRadioButton*, 6> Precision_RadioButtons{}; // Real01_ ... Real06_RadioButton
   std::array<QRadioButton*, 8> Range_RadioButtons{};     // Integer8Bit_ ... Integer100000_RadioButton
   QToolButton* Apply_SpeedButton = nullptr;
   QPushButton* LoadCurrentOptions_Button = nullptr;

protected:
   void showEvent( QShowEvent* event ) override;

private:
   // One group of buttons that stand for the values of one field.
   struct Group
   {
      QButtonGroup* buttons = nullptr;
      std::vector<int64_t> values;
   };
   // Checks the button of the value (none when no button has it).
   static void Check( const Group& group, int64_t value );

   Group data, mode, probe, range, precision, maxValue;
};

// The program's Readout Options window, made on first use.
TReadoutOptionsWindow& ReadoutOptionsWindow();

#endif
