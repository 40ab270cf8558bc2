#ifndef LF_WINDOWS_PROCESSING_DYNAMIC_CROP_DIALOG_H
#define LF_WINDOWS_PROCESSING_DYNAMIC_CROP_DIALOG_H

// The modeless dialog that accompanies an interactive crop edit (DynamicCropData): it shows the rectangle's size,
// an anchor point of it, its angle and the rotation centre as numbers, lets the user change them, and on OK builds a
// DynamicCrop instance from the edit and runs it on the edit's image window. OK, Cancel and closing the dialog end
// the edit. There is one dialog, shown while an edit exists and hidden otherwise; it stays on top.
//
// Numbers follow the edit: every change of the edit (a drag on the image, an entry here) comes back through
// Refresh. The anchor is one of nine points of the rectangle (corners, mid-sides, centre, in rows from the top-left);
// its coordinates turn and move with the rectangle, and a size entered keeps the anchor's side (or middle) fixed.

#include "windows/processing/ProcessingDialog.h"

class DynamicCropData;
class QCheckBox;
class QLineEdit;
class QToolButton;
class QWidget;

class TDynamicCropDialog : public TProcessingDialog
{
   Q_OBJECT

public:
   explicit TDynamicCropDialog( QWidget* owner = nullptr );
   ~TDynamicCropDialog() override;

   // Serves an edit (shown) or none (hidden); the controls follow, and the edit's window gets the keyboard.
   void Attach( DynamicCropData* data );
   // The numbers of the edit into the fields, then into the controls; nothing without an edit.
   void Refresh();
   void UpdateControls();

   // A DynamicCrop instance of the edit (the rectangle relative to the window's image, the angle, the fast-rotation
   // choice; fill colour and interpolation as a new instance has them); nullptr without an edit.
   std::unique_ptr<Process> NewInstance() override;
   // With an edit, a DynamicCrop instance restarts it (and gives its fast-rotation choice).
   void DoImportInstance( const Process& instance ) override;
   // Enter in an edit only commits it.
   bool EditReturnHandled() const override;
   // The edit's window (OK crops there), or the active window without an edit.
   TImageWindow* TargetWindow() const override;

   // Handlers.
   void Width_EditExit();
   void Height_EditExit();
   void AnchorX_EditExit();
   void AnchorY_EditExit();
   void Anchor_SpeedButtonClick( int32_t index );
   void Angle_EditExit();
   void Clockwise_CheckBoxClick();
   void CenterX_EditExit();
   void CenterY_EditExit();
   // The dial at a point of its box (a press or a move while the button is held).
   void Angle_PaintBoxDrag( int x, int y );

   DynamicCropData* cropData = nullptr;
   bool dialDragging = false;
   int32_t cropWidth = 0;
   int32_t cropHeight = 0;
   int32_t anchor = 4;
   float anchorX = 0;
   float anchorY = 0;
   float displayAngle = 0;
   float centerX = 0;
   float centerY = 0;

   QLineEdit* Width_Edit = nullptr;
   QLineEdit* Height_Edit = nullptr;
   QLineEdit* AnchorX_Edit = nullptr;
   QLineEdit* AnchorY_Edit = nullptr;
   // TL, TM, TR, ML, MM, MR, BL, BM, BR.
   QToolButton* anchorButtons[9] = {};
   QLineEdit* Angle_Edit = nullptr;
   QCheckBox* Clockwise_CheckBox = nullptr;
   QLineEdit* CenterX_Edit = nullptr;
   QLineEdit* CenterY_Edit = nullptr;
   QWidget* Angle_PaintBox = nullptr;
   QCheckBox* OptimizeFast_CheckBox = nullptr;
   QToolButton* OK_SpeedButton = nullptr;
   QToolButton* Cancel_SpeedButton = nullptr;

protected:
   // Brings the edit's window to the front.
   void FormActivate() override;
   // A hide that is not the system's (minimising) ends the edit.
   void hideEvent( QHideEvent* event ) override;
   // Asks "Cancel Dynamic Crop/Rotate?" first.
   void closeEvent( QCloseEvent* event ) override;

private:
   // Reads an edit in a range: the value, or false after the reader's message (the edit shows `shown` again and
   // inputError is set).
   bool ReadEdit( QLineEdit* edit, double minimum, double maximum, bool real, double& value );
};

// The program's Dynamic Crop dialog, made on first use; and the one that exists, or nullptr.
TDynamicCropDialog& DynamicCropDialog();
TDynamicCropDialog* ExistingDynamicCropDialog();

#endif
