#ifndef LF_WINDOWS_DIALOGS_TIFF_OPTIONS_DIALOG_H
#define LF_WINDOWS_DIALOGS_TIFF_OPTIONS_DIALOG_H

// The TIFF options dialog of Save As: sample format, compression, organisation, the three texts and whether the
// ICC profile is embedded.
//
// Showing it takes the record into a working copy (a floating-point record is set to 32 bits on the spot) and
// prepares the embed box for the image window. Every change the user makes is counted (a click on the compression
// already chosen too; a click on the bit depth already chosen not). OK stores the working copy and the texts, with
// line breaks as single carriage returns, when anything was counted; the unit and resolutions are never stored
// (the save takes them from the window). Cancel leaves the record alone. Run it with ShowModal.

#include <cstdint>

#include "formats/TIFFOptions.h"
#include "windows/processing/ProcessingDialog.h"

class QButtonGroup;
class QCheckBox;
class QFrame;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class TImageWindow;

class TTIFFFileOptionsDialog : public TProcessingDialog
{
   Q_OBJECT

public:
   TTIFFFileOptionsDialog( QWidget* owner, TImageWindow* window, TIFFOptions& options );

   // Changes the user made since the dialog was shown.
   int32_t ChangedCount() const { return changedCount; }
   const TIFFOptions& Working() const { return working; }

   void FormShow();

   void _8Bits_RadioButtonClick();
   void _16Bits_RadioButtonClick();
   void _32Bits_RadioButtonClick();
   void IEEE32FP_RadioButtonClick();
   void CompressionNone_RadioButtonClick();
   void CompressionZIP_RadioButtonClick();
   void CompressionLZW_RadioButtonClick();
   void PlanarOrganization_CheckBoxClick();
   void EmbedICCProfile_CheckBoxClick();
   void EditChange( QPlainTextEdit* memo );

   // The dialog runs no process.
   std::unique_ptr<Process> NewInstance() override { return nullptr; }
   // Stores the working copy and the texts into the record when anything changed.
   void Apply() override;

   QFrame* SampleSize_Panel = nullptr;
   QLabel* SampleSizeCaption_Panel = nullptr;
   QRadioButton* _8Bits_RadioButton = nullptr;
   QRadioButton* _16Bits_RadioButton = nullptr;
   QRadioButton* _32Bits_RadioButton = nullptr;
   QRadioButton* IEEE32FP_RadioButton = nullptr;
   QFrame* Compression_Panel = nullptr;
   QLabel* CompressionCaption_Panel = nullptr;
   QRadioButton* CompressionNone_RadioButton = nullptr;
   QRadioButton* CompressionZIP_RadioButton = nullptr;
   QRadioButton* CompressionLZW_RadioButton = nullptr;
   QCheckBox* PlanarOrganization_CheckBox = nullptr;
   QLabel* ImageDescriptionCaption_Panel = nullptr;
   QPlainTextEdit* ImageDescription_Memo = nullptr;
   QLabel* ImageCopyrightCaption_Panel = nullptr;
   QPlainTextEdit* ImageCopyright_Memo = nullptr;
   QLabel* SoftwareDescriptionCaption_Panel = nullptr;
   QPlainTextEdit* SoftwareDescription_Memo = nullptr;
   QCheckBox* EmbedICCProfile_CheckBox = nullptr;
   QPushButton* OK_SpeedButton = nullptr;
   QPushButton* Cancel_SpeedButton = nullptr;

protected:
   void showEvent( QShowEvent* event ) override;

private:
   void SetSampleFormat( int32_t bits, bool isFloat );
   void SetCompression( int32_t compression );

   TImageWindow* window;
   TIFFOptions& options;
   TIFFOptions working;
   int32_t changedCount = 0;
};

#endif
