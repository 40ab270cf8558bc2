#ifndef LF_WINDOWS_DIALOGS_JPEG_OPTIONS_DIALOG_H
#define LF_WINDOWS_DIALOGS_JPEG_OPTIONS_DIALOG_H

// The JPEG options dialog of Save As: the quality (1 to 100, an edit and a track bar kept in step), optimised
// coding, progressive scans and whether the ICC profile is embedded.
//
// Showing it takes the record into a working copy (a quality of 0, none recorded, shows as 80) and prepares the
// embed box for the image window. OK stores each working value that differs from the record and counts it
// (ChangedCount); the JFIF fields, unit and resolutions are never stored. Cancel leaves the record alone. Run it
// with ShowModal.

#include <cstdint>

#include "formats/JPEGOptions.h"
#include "windows/processing/ProcessingDialog.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QSlider;
class TImageWindow;

class TJPEGFileOptionsDialog : public TProcessingDialog
{
   Q_OBJECT

public:
   TJPEGFileOptionsDialog( QWidget* owner, TImageWindow* window, JPEGOptions& options );

   // Options the last OK changed in the record.
   int32_t ChangedCount() const { return changedCount; }
   const JPEGOptions& Working() const { return working; }

   void FormShow();
   void UpdateControls();

   void Quality_EditExit();
   void Quality_TrackBarChange();
   void OptimizedCoding_CheckBoxClick();
   void Progressive_CheckBoxClick();
   void EmbedICCProfile_CheckBoxClick();

   // The dialog runs no process.
   std::unique_ptr<Process> NewInstance() override { return nullptr; }
   // Stores the working values that differ from the record, counting them.
   void Apply() override;

   QLabel* Quality_Label = nullptr;
   QLineEdit* Quality_Edit = nullptr;
   QSlider* Quality_TrackBar = nullptr;
   QCheckBox* OptimizedCoding_CheckBox = nullptr;
   QCheckBox* Progressive_CheckBox = nullptr;
   QCheckBox* EmbedICCProfile_CheckBox = nullptr;
   QPushButton* OK_SpeedButton = nullptr;
   QPushButton* Cancel_SpeedButton = nullptr;

protected:
   void showEvent( QShowEvent* event ) override;
   bool eventFilter( QObject* watched, QEvent* event ) override;

private:
   TImageWindow* window;
   JPEGOptions& options;
   JPEGOptions working;
   int32_t changedCount = 0;
};

#endif
