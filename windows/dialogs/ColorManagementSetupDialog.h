#ifndef LF_WINDOWS_DIALOGS_COLOR_MANAGEMENT_SETUP_DIALOG_H
#define LF_WINDOWS_DIALOGS_COLOR_MANAGEMENT_SETUP_DIALOG_H

// The colour-management setup dialog: the global switch, the rendering intent, the default RGB and grey profiles,
// the colour-management module, the policies for mismatching and missing profiles on open and the embedding
// default. The monitor profile is shown, not edited. OK writes the settings (ColorManagementSettings); the registry
// gets them at program end.

#include <QRadioButton>

#include <string>
#include <vector>

#include "classlib/Containers.h"
#include "windows/processing/ProcessingDialog.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TColorManagementSetupDialog : public TProcessingDialog
{
   Q_OBJECT

public:
   explicit TColorManagementSetupDialog( QWidget* owner = nullptr );

   // Fills every control from the settings.
   void FormShow();
   std::unique_ptr<Process> NewInstance() override { return nullptr; }
   // Writes the controls back to the settings.
   void Apply() override;

   void DefaultRGBProfile_ComboBoxSelect();
   void DefaultGrayProfile_ComboBoxSelect();
   void CMM_ComboBoxSelect();

   std::string monitorProfileDescription;
   std::vector<std::string> rgbDescriptions, rgbPaths;
   int rgbIndex = 0;
   std::vector<std::string> grayDescriptions, grayPaths;
   int grayIndex = 0;
   qor::Array<uint32_t> cmmIdentifiers;
   std::vector<std::string> cmmTexts;
   int cmmIndex = 0;

   QLineEdit* MonitorProfile_Edit = nullptr;
   QLabel* MonitorProfilePath_Panel = nullptr;
   QLabel* RenderingIntent_Label = nullptr;
   QComboBox* RenderingIntent_ComboBox = nullptr;
   QLabel* DefaultRGBProfile_Label = nullptr;
   QComboBox* DefaultRGBProfile_ComboBox = nullptr;
   QLabel* DefaultRGBProfilePath_Panel = nullptr;
   QLabel* DefaultGrayProfile_Label = nullptr;
   QComboBox* DefaultGrayProfile_ComboBox = nullptr;
   QLabel* DefaultGrayProfilePath_Panel = nullptr;
   QComboBox* CMM_ComboBox = nullptr;
   QLabel* CMMPath_Panel = nullptr;
   QCheckBox* EnableCM_CheckBox = nullptr;
   QRadioButton* Mismatch_RadioButton[5] = {}; // Ask, Keep, Convert, Default (discard), Disable
   QRadioButton* Missing_RadioButton[4] = {};  // Ask, Default, Ignore, Disable
   QCheckBox* Embed_CheckBox = nullptr;
   QPushButton* OK_SpeedButton = nullptr;
   QPushButton* Cancel_SpeedButton = nullptr;

protected:
   void showEvent( QShowEvent* event ) override;
   void hideEvent( QHideEvent* event ) override;

private:
   void RefreshTexts();
};

// The program's setup dialog, made on first use.
TColorManagementSetupDialog& ColorManagementSetupDialog();

#endif
