#ifndef LF_WINDOWS_PROCESSING_PROCESSING_DIALOG_H
#define LF_WINDOWS_PROCESSING_PROCESSING_DIALOG_H

// The base of the process interfaces that are dialogs with OK and Cancel (file options, colour-management setup,
// identifiers, preview properties, the dynamic processes' dialogs): OK applies the dialog's process once, to the
// main view of the active image window (or globally when no image window is active), and closes the dialog.
//
// A button whose objectName contains "OK_" is wired to OKButtonClick, one with "Cancel_" to CancelButtonClick, when
// the form is first shown. Enter in an edit first commits it and then, when the value was accepted, acts as OK; F9
// is OK too, Esc is Cancel; none of them with Ctrl, Shift or Alt held or after a rejected edit.
//
// The flags live from one show to the hide that follows: modal from ShowModal, importing from an import, executing
// while Apply runs (executedInstance is then the instance it launched).

#include <memory>

#include "process/DynamicProcess.h"
#include "windows/processing/ProcessingInterface.h"

class TImageWindow;

class TProcessingDialog : public TProcessingInterface, public ProcessSessionDialog
{
   Q_OBJECT

public:
   explicit TProcessingDialog( QWidget* owner );
   ~TProcessingDialog() override;

   // Shows the dialog modally (through platform::DialogRunner) and returns its result.
   virtual int ShowModal();
   // Sets importing, then DoImportInstance.
   void ImportInstance( const Process& instance ) override;
   // The dialog's own loading of an instance into its controls; nothing here.
   virtual void DoImportInstance( const Process& instance );
   // Runs a new instance on the target window's main view, or globally without one.
   void Apply() override;
   // The image window Apply runs on: the active one (nullptr: none). A dialog that serves an edit on one window
   // names that window.
   virtual TImageWindow* TargetWindow() const;
   // false: Enter, once the edit is committed, is OK.
   bool EditReturnHandled() const override;
   // Whether OK closes the dialog after applying: true.
   virtual bool CloseAfterApply() const;
   bool WantChildKey( QWidget* child, QKeyEvent* key ) override;

   void OKButtonClick();
   void CancelButtonClick();
   void HookButtons( QWidget* control );

   // The instance Apply is launching, while it does.
   const Process* ExecutingInstance() const override { return executing ? executedInstance : nullptr; }

   bool modal = false;
   bool importing = false;
   bool executing = false;
   Process* executedInstance = nullptr;

protected:
   void FormCreated() override;
   void hideEvent( QHideEvent* event ) override;
};

#endif
