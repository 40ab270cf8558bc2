#ifndef LF_WINDOWS_PROCESSING_PROCESSING_INTERFACE_H
#define LF_WINDOWS_PROCESSING_PROCESSING_INTERFACE_H

// The form base of every window or dialog that edits one process (its interface): it turns its controls into a
// process instance on request (NewInstance), loads an instance into them (ImportInstance), takes process instances
// dropped on it, and gives every edit control the same commit-on-Enter and commit-on-leave behaviour.
//
// Edits. An edit whose value matters has an exit handler (SetEditExitHandler): it reads the text with the readers
// of support/Utils.h, and when a reader rejects the text (it has shown the message and given the edit the focus
// back) it puts the last valid value back and sets inputError of the interface it lies on (MarkInputError). The
// handler runs when the edit loses the focus to another control, when Enter is pressed in it, and when an action
// commits the active edit (CommitActiveEdit). Actions that use the controls (apply, drag start, OK) commit first and
// do nothing when inputError is then set. Entering an edit clears inputError.
//
// Control updates. While an interface (or a frame on it) writes its controls from data, it holds a
// TMainWindow::ControlUpdateGuard; every control handler returns at once while the main window's counter is above
// zero, so that programmatic changes never run the handlers that react to the user.
//
// Keys. Every key typed in a control of the form passes WantChildKey first (true: consumed). Enter in an edit
// commits it and selects its text (EditReturnHandled decides whether Enter is consumed then); Enter in a multi-line
// text edit is the editor's own and suppresses the window's shortcuts; Ctrl+Enter is swallowed. Subclasses add their
// shortcuts only when the base did not consume the key and suppressShortcuts is clear.
//
// The form sizes itself to its controls plus a 4-pixel margin when it is first shown (a form with a layout takes
// its layout's size), and its caption is trimmed.

#include <QDialog>

#include <functional>
#include <memory>

#include "process/Process.h"
#include "windows/processing/ProcessEnvelope.h"

class QKeyEvent;
class QLineEdit;

class TProcessingInterface : public QDialog, public ProcessInterface
{
   Q_OBJECT

public:
   class ProcessDragObject;

   explicit TProcessingInterface( QWidget* owner );
   ~TProcessingInterface() override;

   // A new instance of the process built from the current controls, or nullptr.
   virtual std::unique_ptr<Process> NewInstance() = 0;
   // An instance only to test applicability during a drag: NewInstance().
   virtual std::unique_ptr<Process> NewProbeInstance();
   // Loads an instance's parameters into the controls; nothing here.
   void ImportInstance( const Process& instance ) override;
   // The interface's apply action; nothing here.
   virtual void Apply();
   // Whether Enter in an edit is consumed once the edit is committed: true.
   virtual bool EditReturnHandled() const;
   // A key typed in a control of this form, before the control sees it: true consumes it.
   virtual bool WantChildKey( QWidget* child, QKeyEvent* key );

   // Clears inputError (an edit was entered).
   void EditEnter();
   // Clears inputError and runs the exit handler of the active edit, when it has one. Callers read inputError.
   void CommitActiveEdit();
   // Runs the active edit's enter behaviour (clears inputError).
   void ReenterActiveEdit();
   // Creates the new-instance handle: size x size pixels, 4 pixels from the left and bottom edges.
   void CreateProcessDragObject( int32_t size );
   // The start of a drag of the handle: the active edit is committed; false (no drag) on an input error.
   virtual bool DragObjectStartDrag();
   // Sizes the form to its controls plus 4 pixels and trims the caption (done once when first shown).
   void FitToControls();
   // Puts the new-instance handle where it is seen and can be grabbed: at the head of the row of the standard
   // buttons, or else in the bottom-left corner with a strip kept free for it below the controls.
   void PlaceProcessDragObject();

   bool inputError = false;
   ProcessDragObject* processDragObject = nullptr;
   bool suppressShortcuts = false;

protected:
   bool event( QEvent* event ) override;
   void setVisible( bool visible ) override;
   void keyPressEvent( QKeyEvent* event ) override;
   void changeEvent( QEvent* event ) override;
   void dragEnterEvent( QDragEnterEvent* event ) override;
   void dragMoveEvent( QDragMoveEvent* event ) override;
   void dropEvent( QDropEvent* event ) override;
   // The form was activated or deactivated (a processing window re-enters or commits its active edit).
   virtual void FormActivate() {}
   virtual void FormDeactivate() {}
   // Called once, when the form is first polished (before it first shows): the controls exist by then.
   virtual void FormCreated();

private:
   // A handle outside the layouts follows the bottom-left corner when the form is resized.
   void KeepProcessDragObjectInCorner();
   // Drag over and drop: an instance whose interface this form is is accepted, and imported on drop.
   bool FormDragOver( const QMimeData* data );
   void FormDragDrop( const QMimeData* data );

   bool created = false;
};

// The handle in the corner of a process window: every target gets a fresh instance built from the controls, which
// it may keep.
class TProcessingInterface::ProcessDragObject : public TProcessEnvelope
{
   Q_OBJECT

public:
   explicit ProcessDragObject( TProcessingInterface* owner );

   Process* Instance() override;
   Process* ProbeInstance() override;
   void ReleaseInstance( Process* instance ) override;
   bool IsInstanceTransferable() const override;
   bool StartDrag() override;

private:
   TProcessingInterface* owner;
};

// The exit handler of an edit (its validation), run when the edit loses the focus to another control of the
// program, when Enter is pressed in it on an interface, and by CommitActiveEdit. One per edit; a new one replaces
// the old.
void SetEditExitHandler( QLineEdit* edit, std::function<void()> handler );
// Runs the edit's exit handler; false when it has none.
bool RunEditExitHandler( QLineEdit* edit );
// Sets inputError of the interface the control lies on, when it lies on one (a frame's rejected edit).
void MarkInputError( QWidget* control );
// The interface a control lies on, or nullptr.
TProcessingInterface* InterfaceOf( QWidget* control );

#endif
