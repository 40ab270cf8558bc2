#ifndef LF_WINDOWS_DIALOGS_RAW_OPTIONS_DIALOG_H
#define LF_WINDOWS_DIALOGS_RAW_OPTIONS_DIALOG_H

// The description of a headerless raw file, asked before every read and every save as RAW.
//
// For reading it is opened on the file: it proposes a description from the file size alone (a square of three RGB
// channels when the size divides by three, of one grey channel otherwise, the rest as header), and every change
// works the header size out again, since every byte the description does not use is header. For writing it is
// opened on the image: dimensions, channels and colour space are the image's; sample format, organisation, byte
// order and header size are chosen, within a file below 4 GB. The status line shows the file size, or what is
// wrong; OK stores the description only when it is valid, and otherwise keeps the dialog open with the input-error
// flag set. Run it with ShowModal.

#include <cstdint>
#include <string>

#include "formats/RAWOptions.h"
#include "windows/processing/ProcessingDialog.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace qor
{
class Image;
}

class TRAWFileOptionsDialog : public TProcessingDialog
{
   Q_OBJECT

public:
   // For writing the image.
   TRAWFileOptionsDialog( QWidget* owner, const qor::Image& image, RAWOptions& options );
   // For reading the file at the path.
   TRAWFileOptionsDialog( QWidget* owner, const std::string& path, RAWOptions& options );

   const RAWOptions& Working() const { return working; }
   // The size of the file read, or of the file to be written.
   double FileSize() const { return fileSize; }

   void UpdateFileSizeInfo();
   void UpdateControls();

   void Width_EditExit();
   void Height_EditExit();
   void Channels_EditExit();
   void DataOffset_EditExit();
   void ColorSpace_ComboBoxSelect( int index );
   void SampleFormat_ComboBoxSelect( int index );
   void Signed_CheckBoxClick();
   void Planar_CheckBoxClick();
   void ReverseBytes_CheckBoxClick();
   void KeepHeader_CheckBoxClick();

   // The dialog runs no process.
   std::unique_ptr<Process> NewInstance() override { return nullptr; }
   // Stores the working description when it is valid.
   void Apply() override;
   // An invalid description keeps the dialog open.
   bool CloseAfterApply() const override;

   QLabel* Width_Label = nullptr;
   QLineEdit* Width_Edit = nullptr;
   QLabel* Height_Label = nullptr;
   QLineEdit* Height_Edit = nullptr;
   QLabel* Channels_Label = nullptr;
   QLineEdit* Channels_Edit = nullptr;
   QLabel* ColorSpace_Label = nullptr;
   QComboBox* ColorSpace_ComboBox = nullptr;
   QLabel* DataOffset_Label = nullptr;
   QLineEdit* DataOffset_Edit = nullptr;
   QCheckBox* KeepHeader_CheckBox = nullptr;
   QLabel* SampleFormat_Label = nullptr;
   QComboBox* SampleFormat_ComboBox = nullptr;
   QCheckBox* Signed_CheckBox = nullptr;
   QCheckBox* Planar_CheckBox = nullptr;
   QCheckBox* ReverseBytes_CheckBox = nullptr;
   QLabel* Info_Panel = nullptr;
   QPushButton* OK_SpeedButton = nullptr;
   QPushButton* Cancel_SpeedButton = nullptr;

private:
   TRAWFileOptionsDialog( QWidget* owner, const qor::Image* image, const std::string& path, RAWOptions& options );
   void SetupControls();
   // Reads an integer edit into the value; a rejected text puts the value back and sets the input-error flag.
   void ReadEdit( QLineEdit* edit, int32_t& value, double minimum, double maximum );
   bool Reading() const { return image == nullptr; }

   const qor::Image* image;
   std::string path;
   RAWOptions& options;
   RAWOptions working;
   double fileSize = 0;
};

#endif
