#ifndef LF_WINDOWS_DIALOGS_FITS_OPTIONS_DIALOG_H
#define LF_WINDOWS_DIALOGS_FITS_OPTIONS_DIALOG_H

// The FITS options dialog of Save As: the sample format of the file and whether the ICC profile is embedded.
//
// It edits a working copy; OK stores the copy's sample format and embedding flag into the record and counts how many
// of those four values changed (ChangedCount), Cancel leaves the record alone. Resolution, unit and keywords are
// not edited here. Run it with platform::DialogRunner::exec.

#include <QDialog>
#include <QString>

#include <cstdint>

#include "formats/FITSOptions.h"

class QButtonGroup;
class QCheckBox;
class QFrame;
class QLabel;
class QPushButton;
class QRadioButton;

class TFITSFileOptionsDialog : public QDialog
{
   Q_OBJECT

public:
   // How the embedding check box starts. The caller decides from the image window: enabled when the window has a
   // profile of its own or a default profile exists for its colour type, checked when enabled and default profile
   // embedding is on, the hint naming that profile.
   struct EmbedICCProfileSetup
   {
      bool enabled = false;
      bool checked = false;
      QString hint;
   };

   TFITSFileOptionsDialog( QWidget* owner, FITSOptions& options, const EmbedICCProfileSetup& embed );
   // With the check box disabled and unchecked (no profile to embed).
   TFITSFileOptionsDialog( QWidget* owner, FITSOptions& options );

   // Options changed by the last OK (0 after Cancel or when nothing changed).
   int32_t ChangedCount() const { return changedCount; }
   // The working copy (what OK would store).
   const FITSOptions& Working() const { return working; }

   // Takes the record's values into the working copy and shows them.
   void FormShow();
   void UpdateControls();

   void UInt8_RadioButtonClick();
   void UInt16_RadioButtonClick();
   void Int16_RadioButtonClick();
   void UInt32_RadioButtonClick();
   void Int32_RadioButtonClick();
   void Int64_RadioButtonClick();
   void IEEE32FP_RadioButtonClick();
   void IEEE64FP_RadioButtonClick();
   void EmbedICCProfile_CheckBoxClick();

   // The dialog runs no process.
   void NewInstance() {}
   // Stores the working copy into the record, counting the values that differed.
   void Apply();

   QFrame* SampleFormat_Panel = nullptr;
   QLabel* SampleFormatCaption_Panel = nullptr;
   QRadioButton* UInt8_RadioButton = nullptr;
   QRadioButton* UInt16_RadioButton = nullptr;
   QRadioButton* Int16_RadioButton = nullptr;
   QRadioButton* UInt32_RadioButton = nullptr;
   QRadioButton* Int32_RadioButton = nullptr;
   QRadioButton* Int64_RadioButton = nullptr;
   QRadioButton* IEEE32FP_RadioButton = nullptr;
   QRadioButton* IEEE64FP_RadioButton = nullptr;
   QCheckBox* EmbedICCProfile_CheckBox = nullptr;
   QPushButton* OK_SpeedButton = nullptr;
   QPushButton* Cancel_SpeedButton = nullptr;

protected:
   void showEvent( QShowEvent* event ) override;
   void keyPressEvent( QKeyEvent* event ) override;

private:
   void SetIntegerFormat( int32_t bits, bool isUnsigned );
   void SetFloatFormat( int32_t bits );
   void OK_SpeedButtonClick();

   FITSOptions& options;
   FITSOptions working;
   EmbedICCProfileSetup embed;
   QButtonGroup* sampleFormatGroup = nullptr;
   int32_t changedCount = 0;
};

#endif
