#ifndef LF_WINDOWS_DIALOGS_AUTO_CLIPPING_SETUP_DIALOG_H
#define LF_WINDOWS_DIALOGS_AUTO_CLIPPING_SETUP_DIALOG_H

// The setup of the histogram window's automatic clipping: whether it moves the shadows points, the highlights
// points or both, and how many pixels, in percent of all pixels, it may clip on each side. The histogram window
// makes one for each setup, copies its four settings into the fields before ShowModal and back after an OK. At
// least one side stays ticked after every user action. The dialog runs no process.

#include "windows/processing/ProcessingDialog.h"

class QCheckBox;
class QLineEdit;
class QPushButton;

class TAutoClippingSetupDialog : public TProcessingDialog
{
   Q_OBJECT

public:
   explicit TAutoClippingSetupDialog( QWidget* owner = nullptr );

   // None: OK only closes the dialog with the modal result OK.
   std::unique_ptr<Process> NewInstance() override { return nullptr; }

   // The check boxes and edits from the fields (edits with 3 decimals, enabled with their side).
   void UpdateControls();
   void Shadows_CheckBoxClick();
   void Highlights_CheckBoxClick();
   void Shadows_EditExit();
   void Highlights_EditExit();

   bool shadowsEnabled = true;
   float shadowsAmount = 0;
   bool highlightsEnabled = true;
   float highlightsAmount = 0;

   QCheckBox* Shadows_CheckBox = nullptr;
   QLineEdit* Shadows_Edit = nullptr;
   QCheckBox* Highlights_CheckBox = nullptr;
   QLineEdit* Highlights_Edit = nullptr;
   QPushButton* OK_SpeedButton = nullptr;
   QPushButton* Cancel_SpeedButton = nullptr;

protected:
   void showEvent( QShowEvent* event ) override;

private:
   // A click on one side's box: its flag follows the box; when both flags are then off, both go on.
   void CheckBoxClick( bool& flag, const QCheckBox* box );
   // An amount read in [0, 100]; a refused text keeps the amount and sets the input error.
   void AmountEditExit( QLineEdit* edit, float& amount );
};

#endif
