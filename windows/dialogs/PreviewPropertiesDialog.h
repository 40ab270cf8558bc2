#ifndef LF_WINDOWS_DIALOGS_PREVIEW_PROPERTIES_DIALOG_H
#define LF_WINDOWS_DIALOGS_PREVIEW_PROPERTIES_DIALOG_H

// The Preview Properties dialog: makes a new preview on an image, or changes the identifier and rectangle of an
// existing one. Its opener sets the target window (nullptr: the active image window when shown) and the preview
// (nullptr: a new one), then shows it modally. The values typed stay while it is open, each clamped so that the
// rectangle lies inside the image; OK applies them (Apply) instead of running a process.

#include <cstdint>
#include <memory>
#include <string>

#include "windows/image/ImageWindow.h"
#include "windows/processing/ProcessingDialog.h"

class QLabel;
class QLineEdit;
class QToolButton;

class TPreviewPropertiesDialog : public TProcessingDialog
{
   Q_OBJECT

public:
   explicit TPreviewPropertiesDialog( QWidget* owner );

   // Proposed size of a new preview (clamped to the image).
   static constexpr int32_t DefaultPreviewSize = 128;

   void FormShow();
   void Identifier_EditExit();
   void Left_EditExit();
   void Top_EditExit();
   void Width_EditExit();
   void Height_EditExit();
   // Creates or changes the preview. Refused identifiers pass on (the dialog then stays open).
   void Apply() override;
   std::unique_ptr<Process> NewInstance() override;

   TImageWindow* targetWindow = nullptr;
   TImageWindow::Preview* preview = nullptr;
   std::string identifier;
   int32_t left = 0;
   int32_t top = 0;
   int32_t width = DefaultPreviewSize;
   int32_t height = DefaultPreviewSize;

   QLineEdit* Identifier_Edit = nullptr;
   QLineEdit* Left_Edit = nullptr;
   QLineEdit* Top_Edit = nullptr;
   QLineEdit* Width_Edit = nullptr;
   QLineEdit* Height_Edit = nullptr;
   QLabel* SizeInfo_StaticText = nullptr;
   QToolButton* OK_SpeedButton = nullptr;
   QToolButton* Cancel_SpeedButton = nullptr;

protected:
   void showEvent( QShowEvent* event ) override;

private:
   // The values of the preview edited, of a new preview of the target window, or the defaults without either.
   void Init();
   void UpdateSizeInfo();
   // The window the preview belongs to: the edited preview's, else the target.
   TImageWindow* Window() const;
   int32_t ImageWidth() const;
   int32_t ImageHeight() const;
   // Reads an integer edit in [minimum, maximum]; false (the stored value written back) when it was refused.
   bool ReadInteger( QLineEdit* edit, int32_t minimum, int32_t maximum, int32_t& value );
};

// The one dialog of the program, made on first use.
TPreviewPropertiesDialog& PreviewPropertiesDialog();

#endif
