#ifndef LF_WINDOWS_DIALOGS_PROFILE_MISMATCH_DIALOG_H
#define LF_WINDOWS_DIALOGS_PROFILE_MISMATCH_DIALOG_H

// Asked when a file being opened embeds an ICC profile other than the default one: keep it (1), convert the image
// to the default profile (2), discard it (3) or switch colour management off for the image (4).

#include <QDialog>

#include <cstdint>
#include <string>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;

class TProfileMismatchDialog : public QDialog
{
   Q_OBJECT

public:
   TProfileMismatchDialog( QWidget* owner, const std::string& imagePath, const std::string& embeddedDescription,
                           const std::string& defaultDescription );

   void FormShow();

   std::string imagePath;
   std::string embeddedProfileDescription;
   std::string defaultProfileDescription;
   uint8_t choice = 1;

   QLabel* ImagePath_Panel = nullptr;
   QPlainTextEdit* Memo1 = nullptr;
   QRadioButton* Keep_RadioButton = nullptr;
   QLabel* EmbeddedProfile_Panel = nullptr;
   QRadioButton* Convert_RadioButton = nullptr;
   QLabel* DefaultProfile_Panel = nullptr;
   QRadioButton* Discard_RadioButton = nullptr;
   QRadioButton* Disable_RadioButton = nullptr;
   QPushButton* OK_Button = nullptr;
   QPushButton* Cancel_Button = nullptr;

protected:
   void showEvent( QShowEvent* event ) override;
};

#endif
