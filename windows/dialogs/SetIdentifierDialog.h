#ifndef LF_WINDOWS_DIALOGS_SET_IDENTIFIER_DIALOG_H
#define LF_WINDOWS_DIALOGS_SET_IDENTIFIER_DIALOG_H

// Asks for a new identifier: the current one read-only above an edit for the new one, with OK and Cancel.
//
// The caller sets currentIdentifier (and, when it likes, the caption) before running the dialog through
// platform::DialogRunner, and reads newIdentifier after OK. The new identifier is checked when its edit is left and
// once more at OK: letters, digits and underscores, not empty, and the caller's validator when the text differs
// from the current identifier. A rejected text has shown its message; the edit goes back to the last accepted
// identifier and OK does not close the dialog. Cancel closes without checking anything.

#include <QDialog>

#include <string>

#include "support/Utils.h"

class QLabel;
class QLineEdit;
class QPushButton;

class TSetIdentifierDialog : public QDialog
{
   Q_OBJECT

public:
   // validator: the caller's extra test of a new identifier (nullptr: none).
   explicit TSetIdentifierDialog( QWidget* owner, IdentifierValidator validator = nullptr );

   void NewIdentifier_EditEnter();
   void NewIdentifier_EditExit();

   std::string currentIdentifier;
   std::string newIdentifier;
   bool inputError = false;
   IdentifierValidator validator;

   QLabel* CurrentIdentifier_Label = nullptr;
   QLineEdit* CurrentIdentifier_Edit = nullptr;
   QLabel* NewIdentifier_Label = nullptr;
   QLineEdit* NewIdentifier_Edit = nullptr;
   QPushButton* OK_Button = nullptr;
   QPushButton* Cancel_Button = nullptr;

   void done( int result ) override;

protected:
   void showEvent( QShowEvent* event ) override;
   bool eventFilter( QObject* watched, QEvent* event ) override;
};

#endif
