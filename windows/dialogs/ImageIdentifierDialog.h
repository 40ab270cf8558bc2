#ifndef LF_WINDOWS_DIALOGS_IMAGE_IDENTIFIER_DIALOG_H
#define LF_WINDOWS_DIALOGS_IMAGE_IDENTIFIER_DIALOG_H

// The modal Image Identifier dialog of the Set Identifier command: the active image's identifier, read-only, above
// an edit for the new one (an identifier template: macros and an empty text are allowed). OK runs an
// ImageIdentifier instance on the active image's main view, so that the rename is undone, kept in the history and
// reported like any other run. Made for each use.

#include "windows/processing/ProcessingDialog.h"

class QLineEdit;
class QToolButton;

class TImageIdentifierDialog : public TProcessingDialog
{
   Q_OBJECT

public:
   explicit TImageIdentifierDialog( QWidget* owner = nullptr );

   // The current identifier of the active image window (empty without one) in both edits; an instance imported
   // before the showing keeps its identifier in the new one.
   void FormShow();
   // Reads the new identifier; a refused text puts the active image's identifier back.
   void NewIdentifier_EditExit();

   // An ImageIdentifier with the text of the new identifier's edit.
   std::unique_ptr<Process> NewInstance() override;
   void DoImportInstance( const Process& instance ) override;

   QLineEdit* CurrentIdentifier_Edit = nullptr;
   QLineEdit* NewIdentifier_Edit = nullptr;
   QToolButton* OK_SpeedButton = nullptr;
   QToolButton* Cancel_SpeedButton = nullptr;

protected:
   void showEvent( QShowEvent* event ) override;

private:
   std::string ActiveIdentifier() const;
};

#endif
