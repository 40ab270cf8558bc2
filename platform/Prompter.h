#ifndef LF_PLATFORM_PROMPTER_H
#define LF_PLATFORM_PROMPTER_H

// The one way the program shows a message box.
//
// Every box (errors, warnings, questions such as "Abort process?") is asked through Prompter::Current(): an icon,
// a caption, a text and a set of buttons go in, the button the user chose comes out. The production prompter is a
// QMessageBox parented to a window that can take input (MessageBoxParent); tests install a ScriptedPrompter (platform/ScriptedPrompter.h) that
// answers from a queue of expectations, so no test ever blocks on a box.
//
// qor::Exception::Show() reaches the user through here as well once InstallExceptionShowHandler() has run (the
// program's start-up does it; installing any prompter does it too): a warning box with one OK button.

#include <QString>

#include "platform/ServiceSlot.h"

class QMessageBox;
class QWidget;

namespace platform
{

enum class Icon
{
   None,
   Information,
   Warning,
   Error,
   Question
};

enum class Buttons
{
   Ok,
   OkCancel,
   YesNo,
   YesNoCancel
};

enum class Answer
{
   Ok,
   Cancel,
   Yes,
   No
};

class Prompter : public ServiceSlot<Prompter>
{
public:
   virtual ~Prompter();

   // Shows the box and returns the chosen button. defaultAnswer is the button preselected (Return chooses it).
   virtual Answer Ask( Icon icon, const QString& caption, const QString& text, Buttons buttons,
                       Answer defaultAnswer ) = 0;

   // The prompter in use: the installed one, else the production QMessageBox prompter.
   static Prompter& Current();
   // Installs a prompter (not owned; it must outlive its installation), nullptr returning to production, and
   // makes qor::Exception::Show() go through the prompters.
   static void Install( Prompter* prompter );
};

using PrompterScope = ServiceScope<Prompter>;

// Prompter::Current().Ask(...).
Answer Ask( Icon icon, const QString& caption, const QString& text, Buttons buttons, Answer defaultAnswer );
// A box with one OK button.
void ShowMessage( Icon icon, const QString& caption, const QString& text );

// Makes qor::Exception::Show() present exceptions through the current prompter (warning icon, OK button), with
// the exception's caption and message. Without a QApplication the text goes to standard error instead.
void InstallExceptionShowHandler();

// The window a message box is shown over: the active modal dialog when one is up; else the active window when it
// takes input; else, while the active window is disabled (a run under the processing status dialog holds every
// other window), the visible dialog that still takes input; else none. Never a disabled window: a box over one
// would start disabled and could not be answered.
QWidget* MessageBoxParent();

// Text of a button, for messages and test reports ("Ok", "Cancel", "Yes", "No").
QString AnswerText( Answer answer );

// Makes a message box wide enough for its whole caption: the window manager cuts a caption that does not fit the
// title bar ("Corvant... e 1.0.0"). Room is left for the title bar's buttons and a bolder, larger title font.
void WidenForCaption( QMessageBox& box );

} // namespace platform

#endif
