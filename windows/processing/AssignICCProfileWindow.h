#ifndef LF_WINDOWS_PROCESSING_ASSIGN_ICC_PROFILE_WINDOW_H
#define LF_WINDOWS_PROCESSING_ASSIGN_ICC_PROFILE_WINDOW_H

// The window of AssignICCProfile: the profile the selected image uses now, the installed profiles that suit it (RGB
// profiles, then grey ones for a grey image), and whether to forget the profile or convert the pixels to the new
// one with a rendering intent.

#include <QStringList>

#include <string>
#include <vector>

#include "process/AssignICCProfile.h"
#include "windows/processing/ProcessingWindow.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QToolButton;
class TViewsListFrame;

class TAssignICCProfileWindow : public TProcessingWindow
{
   Q_OBJECT

public:
   explicit TAssignICCProfileWindow( QWidget* owner = nullptr );

   // Makes the view (a main view, or none) the current one and rebuilds the lists and controls for it.
   void SelectView( TImageWindow::View* view );
   std::unique_ptr<Process> NewInstance() override;
   void ImportInstance( const Process& instance ) override;
   void FormShow();

   void ViewCreated( TImageWindow::View& view ) override;
   void ViewRenamed( TImageWindow::View& view ) override;
   void ViewDeleted( TImageWindow::View& view ) override;

   void AssignProfile_ComboBoxSelect();
   void ForgetProfile_CheckBoxClick();

   AssignICCProfile::Parameters parameters; // the last imported instance's values
   bool justImported = false;
   std::vector<std::string> descriptions; // the combo box's items
   std::vector<std::string> paths;
   int selectIndex = 0;
   TImageWindow::View* currentView = nullptr;

   TViewsListFrame* ViewsList = nullptr;
   QLabel* CurrentProfileCaption_Panel = nullptr;
   QLineEdit* CurrentProfile_Edit = nullptr;
   QCheckBox* ForgetProfile_CheckBox = nullptr;
   QLabel* AssignProfileCaption_Panel = nullptr;
   QComboBox* AssignProfile_ComboBox = nullptr;
   QLabel* AssignProfilePath_Panel = nullptr;
   QCheckBox* ConvertToProfile_CheckBox = nullptr;
   QLabel* RenderingIntent_Label = nullptr;
   QComboBox* RenderingIntent_ComboBox = nullptr;
   QToolButton* Apply_SpeedButton = nullptr;
   QToolButton* SelectImages_SpeedButton = nullptr;

protected:
   void showEvent( QShowEvent* event ) override;

private:
   void RebuildProfileLists();
   void UpdateControls();
};

// The four rendering intents' items, 0 to 3.
QStringList RenderingIntentItems();

// The program's Assign ICC Profile window, made on first use.
TAssignICCProfileWindow& AssignICCProfileWindow();

#endif
