#ifndef LF_WINDOWS_DIALOGS_PROFILE_CHOICE_CONTROLS_H
#define LF_WINDOWS_DIALOGS_PROFILE_CHOICE_CONTROLS_H

// The parts the two profile questions of opening a file share: the image path panel, the note, numbered radio
// buttons that set the choice (not while the controls are being filled) and the OK and Cancel buttons.

#include <QString>

#include <cstdint>
#include <initializer_list>
#include <string>
#include <utility>

class QDialog;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QRadioButton;
class QVBoxLayout;

struct ProfileChoiceControls
{
   QLabel* imagePath = nullptr;
   QPlainTextEdit* memo = nullptr;
   QPushButton* ok = nullptr;
   QPushButton* cancel = nullptr;
   QVBoxLayout* layout = nullptr;
};

// Builds the dialog's frame: caption, path panel, the note's two lines; the caller adds its options to the layout
// and then calls FinishProfileChoiceDialog.
ProfileChoiceControls MakeProfileChoiceDialog( QDialog* dialog, const char* objectName, const char* caption,
                                               const char* note );
void FinishProfileChoiceDialog( QDialog* dialog, ProfileChoiceControls& controls );
// A radio button that sets choice to its number when clicked.
QRadioButton* MakeChoiceButton( QDialog* dialog, QVBoxLayout* layout, const char* objectName, const char* text,
                                uint8_t number, uint8_t& choice );
// A panel showing a profile description.
QLabel* MakeDescriptionPanel( QDialog* dialog, QVBoxLayout* layout, const char* objectName );
// The path shortened to fit the panel.
void ShowImagePath( QLabel* panel, const std::string& path );

#endif
