#ifndef LF_PLATFORM_DIALOG_RUNNER_H
#define LF_PLATFORM_DIALOG_RUNNER_H

// The one way the program runs a modal dialog of its own: DialogRunner::exec(dialog) instead of dialog.exec().
//
// Production runs QDialog::exec(). Tests install a ScriptedDialogRunner: a queue of handlers, each called with the
// live dialog (already shown, so its showEvent has filled the controls) to fill it by objectName and return the
// result. No nested event loop is started, so nothing blocks.

#include <QPointer>
#include <QString>
#include <QWidget>

#include <functional>

#include "platform/ServiceSlot.h"

class QDialog;
class QWidget;

namespace platform
{

// The window of the program that a modal window comes up over: the active modal window, else the active window,
// else the last visible window that stays on top, else any visible window (the main window). The window given as
// except is never the answer. nullptr when no window of the program is visible.
QWidget* TopmostWindow( const QWidget* except = nullptr );

// Makes a modal window that is about to be shown come up above every window of the program, whoever opened it:
// it becomes the transient window of the topmost one (the window manager keeps it over that one), it stays on top
// too while any visible window of the program does (so that no stay-on-top tool window hides it), and it is
// raised and activated once shown. The scope gives the window its own style back when it ends.
class ModalScope
{
public:
   explicit ModalScope( QWidget& window );
   ~ModalScope();
   ModalScope( const ModalScope& ) = delete;
   ModalScope& operator=( const ModalScope& ) = delete;

private:
   QPointer<QWidget> window; // a window that deleted itself on closing has no style to get back
   bool madeStayOnTop = false;
};

class DialogRunner : public ServiceSlot<DialogRunner>
{
public:
   virtual ~DialogRunner();

   // Runs the dialog modally and returns its result code (QDialog::Accepted, QDialog::Rejected or the value the
   // dialog passed to done()).
   virtual int Run( QDialog& dialog ) = 0;

   // Current().Run( dialog ), the dialog above every window of the program (ModalScope).
   static int exec( QDialog& dialog );

   // The installed runner (Install(), not owned), else the production one.
   static DialogRunner& Current();
};

using DialogRunnerScope = ServiceScope<DialogRunner>;

struct DialogExpectation
{
   QString objectName; // empty: any dialog
   std::function<int( QDialog& )> handler;

   QString Describe() const;
};

struct DialogRecord
{
   QString objectName;
   QString title;
   int result = 0;
   bool expected = false;

   QString Describe() const;
};

// The scripted runner for tests.
//
// Expectations are consumed in order. A dialog matches the front expectation when the expectation names no
// objectName or names the dialog's. On a match the expectation is removed, the dialog is shown (without an event
// loop) and the handler is called with it. When the dialog is still visible after the handler, it is closed with
// done( handler's result ) and that result is returned; when the handler closed it itself (by clicking its OK
// button, say, so that the dialog's own validation ran) the dialog's result() is returned.
// A dialog that does not match is recorded as unexpected and rejected without being shown.
class ScriptedDialogRunner : public DialogRunner, public Script<DialogExpectation, DialogRecord>
{
public:
   using Handler = std::function<int( QDialog& )>;
   using Record = DialogRecord;

   // Expects a dialog of that objectName (empty: any dialog).
   ScriptedDialogRunner& Expect( const QString& objectName, Handler handler );
   // Expects a dialog of that objectName and closes it with the result, changing nothing.
   ScriptedDialogRunner& ExpectResult( const QString& objectName, int result );

   int Run( QDialog& dialog ) override;

};

} // namespace platform

#endif
