#ifndef LF_WINDOWS_DIALOGS_MODIFIED_IMAGE_DIALOG_H
#define LF_WINDOWS_DIALOGS_MODIFIED_IMAGE_DIALOG_H

// The question that guards the closing of an image with unsaved data: "<reason>. Close anyway?" in red over the
// image's identifier and file path, with the buttons No, Yes and, while a Close All runs, Cancel.
//
// The dialog is made once and asked through platform::DialogRunner. Its result is one of the three codes below
// (the toolkit's Yes, No and Cancel); Y and N answer in either case, Esc answers Cancel only while Cancel is
// offered. The last answer stays readable (lastResult) so that a Close All can stop at a Cancel.

#include <QDialog>
#include <QPointer>
#include <QString>

class QLabel;
class QToolButton;
class QWidget;
class TImageWindow;

class TModifiedImageDialog : public QDialog
{
   Q_OBJECT

public:
   static constexpr int YesResult = 6;
   static constexpr int NoResult = 7;
   static constexpr int CancelResult = 2;

   explicit TModifiedImageDialog( QWidget* parent = nullptr );

   // Asks about a window: sets window and message, runs the dialog and returns (and keeps) the answer.
   int Ask( TImageWindow* window, const QString& message );

   // The texts as the dialog shows them (filled when it shows).
   void FormShow();

   QPointer<TImageWindow> window;
   QString message;
   bool cancelAllowed = false;
   // The answer of the last run; 0 before any.
   int lastResult = 0;

   QLabel* Message_Label = nullptr;
   QLabel* FilePath_Label = nullptr;
   QWidget* Buttons_Panel = nullptr;
   QToolButton* No_SpeedButton = nullptr;
   QToolButton* Yes_SpeedButton = nullptr;
   QToolButton* Cancel_SpeedButton = nullptr;

protected:
   void showEvent( QShowEvent* event ) override;
   void keyPressEvent( QKeyEvent* event ) override;
   void reject() override;
};

// The one dialog; nullptr until GetModifiedImageDialog() first makes it.
extern TModifiedImageDialog* ModifiedImageDialog;
TModifiedImageDialog& GetModifiedImageDialog();

// The reasons the image windows give.
constexpr const char* MaskReferencesReason = "There exist active mask references to this image";
constexpr const char* UnsavedImageReason = "The image has been modified and is unsaved";

#endif
