#ifndef LF_WINDOWS_PROCESSING_SGBNR_WINDOW_H
#define LF_WINDOWS_PROCESSING_SGBNR_WINDOW_H

// The window of SGBNR: the colour model, one of the five parameter sets at a time (low-pass filter and edges
// protection, with the size of its kernel), and the luminance mask.

#include <functional>
#include <vector>

#include "process/SGBNR.h"
#include "windows/processing/ProcessingWindow.h"

class QButtonGroup;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QToolButton;

class TSGBNRWindow : public TProcessingWindow
{
   Q_OBJECT

public:
   explicit TSGBNRWindow( QWidget* owner = nullptr );

   std::unique_ptr<Process> NewInstance() override;
   void ImportInstance( const Process& instance ) override;

   // Handlers.
   void ColorModelClick( int32_t model );
   void SetSpeedButtonClick( int32_t set );
   void Apply_CheckBoxClick();
   void Iterations_ComboBoxSelect();
   void EPSidesCheckBoxClick();
   void LuminanceMask_CheckBoxClick();
   void ResetFilter_ButtonClick();
   void ResetEdgesProtection_ButtonClick();
   void ResetLuminanceMask_ButtonClick();

   QRadioButton* RGBK_RadioButton = nullptr;
   QRadioButton* CIEL_ab_RadioButton = nullptr;
   QRadioButton* CIEL_a_b_RadioButton = nullptr;
   QToolButton* RGBK_SpeedButton = nullptr;
   QToolButton* L_SpeedButton = nullptr;
   QToolButton* ab_SpeedButton = nullptr;
   QToolButton* a_SpeedButton = nullptr;
   QToolButton* b_SpeedButton = nullptr;
   QButtonGroup* Set_ButtonGroup = nullptr;
   QCheckBox* Apply_CheckBox = nullptr;
   QLabel* Sigma_Label = nullptr;
   QLineEdit* Sigma_Edit = nullptr;
   QSlider* Sigma_TrackBar = nullptr;
   QLabel* Amount_Label = nullptr;
   QLineEdit* Amount_Edit = nullptr;
   QSlider* Amount_TrackBar = nullptr;
   QLabel* Iterations_Label = nullptr;
   QComboBox* Iterations_ComboBox = nullptr;
   QLabel* Info_Panel = nullptr;
   QCheckBox* EPDarkSides_CheckBox = nullptr;
   QLabel* EPDarkSidesThreshold_Label = nullptr;
   QLineEdit* EPDarkSidesThreshold_Edit = nullptr;
   QSlider* EPDarkSidesThreshold_TrackBar = nullptr;
   QLabel* EPDarkSidesOverdrive_Label = nullptr;
   QLineEdit* EPDarkSidesOverdrive_Edit = nullptr;
   QSlider* EPDarkSidesOverdrive_TrackBar = nullptr;
   QCheckBox* EPBrightSides_CheckBox = nullptr;
   QLabel* EPBrightSidesThreshold_Label = nullptr;
   QLineEdit* EPBrightSidesThreshold_Edit = nullptr;
   QSlider* EPBrightSidesThreshold_TrackBar = nullptr;
   QLabel* EPBrightSidesOverdrive_Label = nullptr;
   QLineEdit* EPBrightSidesOverdrive_Edit = nullptr;
   QSlider* EPBrightSidesOverdrive_TrackBar = nullptr;
   QCheckBox* LuminanceMask_CheckBox = nullptr;
   QLabel* LuminanceMaskClipping_Label = nullptr;
   QLineEdit* LuminanceMaskClipping_Edit = nullptr;
   QSlider* LuminanceMaskClipping_TrackBar = nullptr;
   QLabel* LuminanceMaskGamma_Label = nullptr;
   QLineEdit* LuminanceMaskGamma_Edit = nullptr;
   QSlider* LuminanceMaskGamma_TrackBar = nullptr;
   QPushButton* ResetFilter_Button = nullptr;
   QPushButton* ResetEdgesProtection_Button = nullptr;
   QPushButton* ResetLuminanceMask_Button = nullptr;

   SGBNR::Parameters parameters;
   int32_t currentSet = SGBNR::compositeSet;

private:
   // A numeric parameter: its edit and track bar, the edit's range and decimals, the track bar's value range and
   // the decimals its values are rounded to, the stored value and what follows a change.
   struct NumericField
   {
      QLineEdit* edit;
      QSlider* trackBar;
      double editMinimum, editMaximum;
      int editDecimals;
      double trackMinimum, trackMaximum;
      int trackDecimals;
      std::function<float&()> value;
      std::function<void()> changed;
   };

   std::vector<NumericField> fields;

   void AddField( const NumericField& field );
   void EditExit( const NumericField& field );
   void TrackBarChange( const NumericField& field );
   void ShowField( const NumericField& field );

   void UpdateControls();
   void UpdateColorModel();
   void UpdateSetSelector();
   void UpdateLowPassFilter();
   void UpdateKernelInfo();
   void UpdateEdgesProtection();
   void UpdateLuminanceMask();
};

// The one window, created on first use.
TSGBNRWindow& SGBNRWindow();

#endif
