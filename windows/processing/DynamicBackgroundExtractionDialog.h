#ifndef LF_WINDOWS_PROCESSING_DYNAMIC_BACKGROUND_EXTRACTION_DIALOG_H
#define LF_WINDOWS_PROCESSING_DYNAMIC_BACKGROUND_EXTRACTION_DIALOG_H

// The modeless companion of an interactive background extraction: shown exactly while it serves the edit data of an
// image window (DynamicBackgroundExtractionData), on two tabs: "Current Sample" (the current sample's anchor,
// radius, symmetries, fixed values, measurement and rejection mask) and "Global" (tolerance, default radius,
// automatic grid, spline order, smoothing, subsampling, overlay colours and the centre of symmetry). Generate (its
// OK button, F9, Enter outside an edit) runs a DynamicBackgroundExtraction instance built from the edit on the
// edited window, which opens the background model, and leaves the dialog open; Done (Cancel, Esc) ends the edit.
// Hiding the dialog in any way ends the edit; closing it asks first.
//
// The data belong to their image window; the dialog only refers to them. An instance dropped on the dialog
// replaces the edit's samples, settings and centre.

#include <memory>

#include "windows/image/DynamicBackgroundExtractionData.h"
#include "windows/processing/ProcessingDialog.h"

namespace qor
{
struct BackgroundSample;
}
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QSpinBox;
class QTabWidget;
class QToolButton;
class TSelectColor_Frame;

class TDynamicBackgroundExtractionDialog : public TProcessingDialog, public DynamicBackgroundExtractionEditor
{
   Q_OBJECT

public:
   class MaskBox;

   explicit TDynamicBackgroundExtractionDialog( QWidget* owner = nullptr );
   ~TDynamicBackgroundExtractionDialog() override;

   // Serves the data (shown) or none (hidden), then fills the controls.
   void SetEditData( DynamicBackgroundExtractionData* data ) override;
   const DynamicBackgroundExtractionData* EditData() const override { return data; }
   bool IsShowing() const override { return isVisible(); }
   const ProcessSessionDialog* SessionDialog() const override { return this; }
   void UpdateControls();
   void UpdateGlobalControls();
   void UpdateCurrentSampleControls();
   void UpdateSymmetryCenterControls();
   // The current sample's controls and the centre of symmetry (the data call it after each change they show).
   void RefreshSampleControls() override;
   // Deletes the current sample while two or more exist (the Delete key on the image, the Delete button).
   void DeleteCurrentSample() override;
   // Shows the main view of the edited window, centred on the current sample when it does not fit.
   void LocateCurrentSample();

   std::unique_ptr<Process> NewInstance() override;
   std::unique_ptr<Process> NewProbeInstance() override;
   // Runs the instance on the edited window's main view (brought to the front first); nothing without data.
   void Apply() override;
   TImageWindow* TargetWindow() const override;
   // true: Enter in an edit only commits it.
   bool EditReturnHandled() const override;
   // A DynamicBackgroundExtraction instance restarts the edit from it.
   void DoImportInstance( const Process& instance ) override;
   // false: Generate leaves the dialog open.
   bool CloseAfterApply() const override;

   // Handlers.
   void FormActivate() override;
   void FormHide();
   void SampleIndex_EditExit();
   void SampleIndex_UpDownClick( bool up );
   void AnchorX_EditExit();
   void AnchorY_EditExit();
   void Radius_EditExit();
   void Symmetry_CheckBoxClick( QCheckBox* box );
   void AxialSymmetryCount_EditExit();
   void AxialSymmetryCount_UpDownClick( bool up );
   void ClearSymmetries_ButtonClick();
   void FixedValue_CheckBoxClick();
   void Track_CheckBoxClick();
   void ShowAll_CheckBoxClick();
   void Go_ButtonClick();
   void Delete_ButtonClick();
   void Tolerance_EditExit();
   void DefaultRadius_EditExit();
   void ResizeAll_ButtonClick();
   void Auto_EditExit();
   void Auto_ButtonClick();
   void Order_ComboBoxSelect();
   void Smoothing_EditExit();
   void Subsample_ComboBoxSelect();
   void SampleColor_ColorBoxSelect( QComboBox* box );
   void SymmetryCenterX_EditExit();
   void SymmetryCenterY_EditExit();
   void ResetSymmetryCenterX_ButtonClick();
   void ResetSymmetryCenterY_ButtonClick();
   void FixedColorChanged();

   DynamicBackgroundExtractionData* data = nullptr;
   int32_t destroying = 0;

   QToolButton* OK_SpeedButton = nullptr;
   QToolButton* Cancel_SpeedButton = nullptr;
   QTabWidget* Pages_PageControl = nullptr;
   QLabel* SampleIndex_Label = nullptr;
   QLineEdit* SampleIndex_Edit = nullptr;
   QSpinBox* SampleIndex_UpDown = nullptr;
   QPushButton* Go_Button = nullptr;
   QPushButton* Delete_Button = nullptr;
   QLineEdit* AnchorX_Edit = nullptr;
   QLineEdit* AnchorY_Edit = nullptr;
   QLineEdit* Radius_Edit = nullptr;
   QLabel* PixelCount_Panel = nullptr;
   QLabel* CenterX_Panel = nullptr;
   QLabel* CenterY_Panel = nullptr;
   QLabel* RKValue_Label = nullptr;
   QLabel* RKValue_Panel = nullptr;
   QLabel* GValue_Label = nullptr;
   QLabel* GValue_Panel = nullptr;
   QLabel* BValue_Label = nullptr;
   QLabel* BValue_Panel = nullptr;
   QCheckBox* HorizontalSymmetry_CheckBox = nullptr;
   QCheckBox* VerticalSymmetry_CheckBox = nullptr;
   QCheckBox* DiagonalSymmetry_CheckBox = nullptr;
   QCheckBox* AxialSymmetry_CheckBox = nullptr;
   QLineEdit* AxialSymmetryCount_Edit = nullptr;
   QSpinBox* AxialSymmetryCount_UpDown = nullptr;
   QPushButton* ClearSymmetries_Button = nullptr;
   QCheckBox* FixedValue_CheckBox = nullptr;
   QCheckBox* Track_CheckBox = nullptr;
   QCheckBox* ShowAll_CheckBox = nullptr;
   QFrame* Mask_Panel = nullptr;
   MaskBox* Mask_PaintBox = nullptr;
   TSelectColor_Frame* SelectColor_Frame = nullptr;
   QLineEdit* Tolerance_Edit = nullptr;
   QLineEdit* DefaultRadius_Edit = nullptr;
   QPushButton* ResizeAll_Button = nullptr;
   QLineEdit* Auto_Edit = nullptr;
   QPushButton* Auto_Button = nullptr;
   QComboBox* Order_ComboBox = nullptr;
   QLineEdit* Smoothing_Edit = nullptr;
   QComboBox* Subsample_ComboBox = nullptr;
   QComboBox* SampleColor_ColorBox = nullptr;
   QComboBox* CurrentColor_ColorBox = nullptr;
   QLineEdit* SymmetryCenterX_Edit = nullptr;
   QLineEdit* SymmetryCenterY_Edit = nullptr;
   QPushButton* ResetSymmetryCenterX_Button = nullptr;
   QPushButton* ResetSymmetryCenterY_Button = nullptr;

protected:
   void hideEvent( QHideEvent* event ) override;
   void closeEvent( QCloseEvent* event ) override;

private:
   // The current sample of the data; nullptr without data or samples.
   qor::BackgroundSample* CurrentSample() const;
   // Shows the axial count in its edit and up-down.
   void ShowAxialCount( int32_t count );
};

// The program's background-extraction dialog, made on first use; ExistingDynamicBackgroundExtractionDialog() gives
// it only when it has been made.
TDynamicBackgroundExtractionDialog& DynamicBackgroundExtractionDialog();
TDynamicBackgroundExtractionDialog* ExistingDynamicBackgroundExtractionDialog();
// Lets the edit data find the dialog (SetDynamicBackgroundExtractionEditor). Called at start-up.
void InstallDynamicBackgroundExtractionDialog();

#endif
