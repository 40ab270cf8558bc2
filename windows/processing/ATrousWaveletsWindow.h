#ifndef LF_WINDOWS_PROCESSING_ATROUS_WAVELETS_WINDOW_H
#define LF_WINDOWS_PROCESSING_ATROUS_WAVELETS_WINDOW_H

// The window of ATrousWaveletsTransform. Page "Wavelet Layers": the list of layers (a click selects the layer whose
// weighting, noise reduction and deringing are shown; a double click on the level toggles the layer), the scale
// progression, the number of layers, the luminance option and the layer preview mode with its gamma. Page "Scaling
// Function": a filter editor whose library is the default filter set, created with the built-in kernels when it
// does not exist. Below the pages: noise thresholding and the dynamic range extension.
//
// The default filter set lives in the user's configuration folder ("atw-default.lf-fsm"): the program's own folder
// is not writable once installed.

#include <functional>
#include <string>
#include <vector>

#include "process/ATrousWaveletsTransform.h"
#include "windows/processing/ProcessingWindow.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QSlider;
class QSpinBox;
class QTabWidget;
class QTreeWidget;
class QTreeWidgetItem;
class TFilterEditorFrame;

class TATrousWaveletsWindow : public TProcessingWindow
{
   Q_OBJECT

public:
   explicit TATrousWaveletsWindow( QWidget* owner = nullptr );
   ~TATrousWaveletsWindow() override;

   std::unique_ptr<Process> NewInstance() override;
   std::unique_ptr<Process> NewProbeInstance() override;
   void ImportInstance( const Process& instance ) override;

   // The default filter set file; the folder can be changed before the window is made (tests).
   static std::string DefaultFilterSetPath();
   static std::string defaultFilterSetFolder;

   // A real parameter shown by an edit and a track bar.
   struct RealControl
   {
      QLabel* label = nullptr;
      QLineEdit* edit = nullptr;
      QSlider* trackBar = nullptr;
      double minimum = 0, maximum = 1;
      int decimals = 2;
      bool sign = false;
      std::function<float&()> field;
      std::function<void()> after; // refreshes what depends on the value
   };

   // Handlers.
   void Layers_ListViewMouseDown( int index );
   void Layers_ListViewSelectItem( int index );
   void Layers_ListViewDblClick( int index, int column );
   void ResetAll_ButtonClick();
   void Dyadic_RadioButtonClick();
   void Linear_RadioButtonClick();
   void Linear_EditExit();
   void Linear_UpDownClick( bool up );
   void LayerCount_ComboBoxSelect();
   void UseLuminance_CheckBoxClick();
   void PreviewLayers_CheckBoxClick();
   void PreviewGamma_TrackBarChange();
   void NRIterations_ComboBoxSelect();
   void NRFilterSize_ComboBoxSelect();
   void ResetWeighting_ButtonClick();
   void ResetNoiseThresholding_ButtonClick();
   void ResetDynamicRangeExtension_ButtonClick();
   void RealEditExit( RealControl& control );
   void RealTrackBarChange( RealControl& control );

   // The texts of a list item: level, scale and parameters.
   QStringList LayerItemTexts( int index ) const;

   ATrousWaveletsTransform::Parameters parameters;
   int32_t currentLayer = 0;

   QTabWidget* Pages_PageControl = nullptr;
   QTreeWidget* Layers_ListView = nullptr;
   QRadioButton* Dyadic_RadioButton = nullptr;
   QRadioButton* Linear_RadioButton = nullptr;
   QLineEdit* Linear_Edit = nullptr;
   QSpinBox* Linear_UpDown = nullptr;
   QLabel* LayerCount_Label = nullptr;
   QComboBox* LayerCount_ComboBox = nullptr;
   QCheckBox* UseLuminance_CheckBox = nullptr;
   QCheckBox* PreviewLayers_CheckBox = nullptr;
   QSlider* PreviewGamma_TrackBar = nullptr;
   QPushButton* ResetAll_Button = nullptr;
   QFrame* Weighting_Panel = nullptr;
   QLabel* WeightingCaption_Panel = nullptr;
   QPushButton* ResetWeighting_Button = nullptr;
   QFrame* NoiseReduction_Panel = nullptr;
   QLabel* NoiseReductionCaption_Panel = nullptr;
   QLabel* NRIterations_Label = nullptr;
   QComboBox* NRIterations_ComboBox = nullptr;
   QLabel* NRFilterSize_Label = nullptr;
   QComboBox* NRFilterSize_ComboBox = nullptr;
   QFrame* Deringing_Panel = nullptr;
   QLabel* DeringingCaption_Panel = nullptr;
   QFrame* NoiseThresholding_Panel = nullptr;
   QPushButton* ResetNoiseThresholding_Button = nullptr;
   QFrame* DynamicRangeExtension_Panel = nullptr;
   QPushButton* ResetDynamicRangeExtension_Button = nullptr;
   TFilterEditorFrame* FilterEditor = nullptr;

   RealControl Bias, NRAmount, DRAmount, DRThreshold, NTAmount, NTThreshold, LowRange, HighRange;

   void UpdateGeneralControls();
   void UpdateLayerControls();
   void UpdateNoiseThresholdingControls();
   void UpdateDynamicRangeControls();
   void UpdatePreviewGammaHint();

private:
   ATrousWaveletsTransform::LayerParameters& Current() { return parameters.layers[size_t( currentLayer )]; }
   void MakeReal( RealControl& control, QWidget* parent, const char* role, const char* caption, double minimum,
                  double maximum, int trackMinimum, int trackMaximum, int decimals, bool sign );
   void ShowReal( RealControl& control );
   void RefreshItem();
   void LoadDefaultFilterSet();
};

// The one window, created on first use.
TATrousWaveletsWindow& ATrousWaveletsWindow();

#endif
