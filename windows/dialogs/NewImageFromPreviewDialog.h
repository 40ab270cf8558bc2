#ifndef LF_WINDOWS_DIALOGS_NEW_IMAGE_FROM_PREVIEW_DIALOG_H
#define LF_WINDOWS_DIALOGS_NEW_IMAGE_FROM_PREVIEW_DIALOG_H

// The New Image from Preview dialog of the Make Image command: turns a preview into an image window of its own,
// with the preview's pixels and processing history, the source's ICC profile, display colour-management state and
// RGB working space, optionally deleting the preview. It runs no process. Its opener sets the preview and shows it
// modally; a refusal (an identifier the checks refuse, exhausted memory) is shown, changes nothing and leaves the
// dialog open.

#include <memory>
#include <string>

#include "windows/image/ImageWindow.h"
#include "windows/processing/ProcessingDialog.h"

class QCheckBox;
class QLineEdit;
class QToolButton;

class TNewImageFromPreviewDialog : public TProcessingDialog
{
   Q_OBJECT

public:
   explicit TNewImageFromPreviewDialog( QWidget* owner = nullptr );

   // A new default image identifier, and the controls from the fields.
   void FormShow();
   void ImageIdentifier_EditExit();
   void DeletePreview_CheckBoxClick();

   // The identifier the new image gets: the template's macros expanded ("&imageId;" is the source image's
   // identifier, "_" and the preview's), made unique. Throws the checkers' errors.
   std::string NewIdentifier() const;
   // Makes the image window (nullptr when it was refused, which has been shown).
   TImageWindow* CreateImage();
   // CreateImage in place of a process run.
   void Apply() override;
   // Only after a creation that succeeded.
   bool CloseAfterApply() const override;
   // None: the dialog makes no process instance.
   std::unique_ptr<Process> NewInstance() override;

   TImageWindow::Preview* preview = nullptr;
   std::string identifier;
   bool deletePreview = true;

   QLineEdit* ImageIdentifier_Edit = nullptr;
   QCheckBox* DeletePreview_CheckBox = nullptr;
   QToolButton* OK_SpeedButton = nullptr;
   QToolButton* Cancel_SpeedButton = nullptr;

protected:
   void showEvent( QShowEvent* event ) override;

private:
   bool created = false;
};

// The program's dialog, made on first use.
TNewImageFromPreviewDialog& NewImageFromPreviewDialog();

#endif
