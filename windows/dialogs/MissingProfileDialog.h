#ifndef LF_WINDOWS_DIALOGS_MISSING_PROFILE_DIALOG_H
#define LF_WINDOWS_DIALOGS_MISSING_PROFILE_DIALOG_H

// Asked when a file being opened embeds no ICC profile: assign the default profile (1), leave the image untagged
// (2) or switch colour management off for the image (3).

#include <QDialog>

#include <cstdint>
#include <string>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

class TMissingProfileDialog : public QDialog
{
   Q_OBJECT

public:
   TMissingProfileDialog( QWidget* owner, const std::string& imagePath, const std::string& defaultDescription,
                          uint8_t choice );

   void FormShow();

   std::string imagePath;
   std::string defaultProfileDescription;
   uint8_t choice = 2;

   QLabel* ImagePath_Panel = nullptr;
   QPlainTextEdit* Memo1 = nullptr;
   QRadioButton* Default_RadioButton = nullptr;
   QLabel* DefaultProfile_Panel = nullptr;
   QRadioButton* Ignore_RadioButton = nullptr;
   QRadioButton* Disable_RadioButton = nullptr;
   QPushButton* OK_Button = nullptr;
   QPushButton* Cancel_Button = nullptr;

protected:
   void showEvent( QShowEvent* event ) override;
};

#endif
