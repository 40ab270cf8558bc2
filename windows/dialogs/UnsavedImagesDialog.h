#ifndef LF_WINDOWS_DIALOGS_UNSAVED_IMAGES_DIALOG_H
#define LF_WINDOWS_DIALOGS_UNSAVED_IMAGES_DIALOG_H

// The question the main window asks before the program exits while some image holds unsaved changes: "There are
// unsaved images. Exit anyway?" in a red band over the buttons No and Yes.
//
// The dialog is made once and asked through platform::DialogRunner. Its result is one of the two codes below (the
// toolkit's Yes and No); Y and N answer in either case and Esc answers No. Any other way of closing it (the
// window's close button) counts as No: only an explicit Yes lets the program throw changes away.

#include <QDialog>

class QLabel;
class QToolButton;
class QWidget;

class TUnsavedImagesDialog : public QDialog
{
   Q_OBJECT

public:
   static constexpr int YesResult = 6;
   static constexpr int NoResult = 7;

   explicit TUnsavedImagesDialog( QWidget* parent = nullptr );

   // Runs the dialog and returns YesResult or NoResult.
   int Ask();

   QLabel* Message_Panel = nullptr;
   QWidget* Buttons_Panel = nullptr;
   QToolButton* No_SpeedButton = nullptr;
   QToolButton* Yes_SpeedButton = nullptr;

protected:
   void keyPressEvent( QKeyEvent* event ) override;
   void reject() override;
};

// The one dialog; nullptr until GetUnsavedImagesDialog() first makes it.
extern TUnsavedImagesDialog* UnsavedImagesDialog;
TUnsavedImagesDialog& GetUnsavedImagesDialog();

#endif
