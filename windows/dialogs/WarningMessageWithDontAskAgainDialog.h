#ifndef LF_WINDOWS_DIALOGS_WARNING_MESSAGE_WITH_DONT_ASK_AGAIN_DIALOG_H
#define LF_WINDOWS_DIALOGS_WARNING_MESSAGE_WITH_DONT_ASK_AGAIN_DIALOG_H

// A Yes/No question in a red warning band (two centred lines the caller writes), with a "Don't ask again" box bound
// to a switch of the caller: the switch is true while the question is to be asked.
//
// The box shows the switch when the dialog shows (ticked exactly when the switch is off), and a click on it sets
// the switch at once, whatever the answer that follows. The answer is YesResult or NoResult: the toolkit's Accepted
// and Rejected, so that any way of closing the dialog other than Yes (Esc, the window's close button) answers No.
// Y answers yes and N no, in either case. The dialog runs through platform::DialogRunner.

#include <QDialog>

class QCheckBox;
class QFrame;
class QLabel;
class QToolButton;

class TWarningMessageWithDontAskAgainDialog : public QDialog
{
   Q_OBJECT

public:
   static constexpr int YesResult = QDialog::Accepted;
   static constexpr int NoResult = QDialog::Rejected;

   // askFlag: the caller's switch (not owned; it must outlive the dialog).
   TWarningMessageWithDontAskAgainDialog( QWidget* owner, bool* askFlag );

   // Runs the dialog; true for Yes.
   bool Ask();

   void DontAskAgain_CheckBoxClick();

   bool* askFlag;

   QFrame* Warning_Panel = nullptr;
   QLabel* Warning1_Label = nullptr;
   QLabel* Warning2_Label = nullptr;
   QToolButton* No_SpeedButton = nullptr;
   QToolButton* Yes_SpeedButton = nullptr;
   QCheckBox* DontAskAgain_CheckBox = nullptr;

protected:
   void showEvent( QShowEvent* event ) override;
   void keyPressEvent( QKeyEvent* event ) override;
};

#endif
