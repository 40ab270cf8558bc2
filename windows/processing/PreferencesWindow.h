#ifndef LF_WINDOWS_PROCESSING_PREFERENCES_WINDOW_H
#define LF_WINDOWS_PROCESSING_PREFERENCES_WINDOW_H

// The Preferences window, the processing window of the Preferences process: a working copy of the preferences on
// four pages (main window, image windows, identifiers, colours and fonts), applied with Apply, which runs a
// Preferences instance made from the copy at once. Nothing reaches the preferences in force before Apply. Fields
// without a control (four identifiers, the DBE and DA defaults and colours) pass through the copy unchanged.
//
// The swap folder is chosen with the folder picker; the free space of the file system that holds it is shown as the
// system reports it ("unknown" when it cannot tell). Filling the page never changes the program's current folder.

#include <functional>
#include <vector>

#include "process/Preferences.h"
#include "windows/processing/ProcessingWindow.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QToolButton;

class TPreferencesWindow : public TProcessingWindow
{
   Q_OBJECT

public:
   explicit TPreferencesWindow( QWidget* owner = nullptr );

   std::unique_ptr<Process> NewInstance() override;
   void ImportInstance( const Process& instance ) override;
   // Runs a new instance at once (no status task).
   void Apply() override;
   void FormShow();

   void LoadCurrentPreferences();
   void UpdateControls();
   void UpdateMainWindowPage();
   void UpdateImageWindowPage();
   void UpdateIdentifiersPage();
   void UpdateColorsFontsPage();

   void BeepOnProcessingCompletion_CheckBoxClick();
   void DataSeparator_EditExit();
   void DefaultResolution_EditExit();
   void CursorTolerance_EditExit();
   void UseSystemTEMPDirectory_CheckBoxClick();
   void SwapFilesDirectory_ButtonClick();
   void Identifier_EditExit( QLineEdit* edit );
   void FontHeight_EditExit( int group );
   void AutoFontHeight_CheckBoxClick( int group );
   void Font_ComboBoxSelect( int group );
   void ColorBoxSelect( QPushButton* box );

   // "%.3lf GB" of the free bytes of the file system holding the folder, or "unknown".
   static QString FreeSpaceText( const std::string& directory );

   GlobalPreferences workingPreferences;
   bool instanceImported = false;

   QTabWidget* Pages_PageControl = nullptr;
   QTabWidget* ColorsFonts_PageControl = nullptr;
   QToolButton* Apply_SpeedButton = nullptr;
   QPushButton* LoadCurrentPreferences_Button = nullptr;

   QCheckBox* MaximizeAtStartup_CheckBox = nullptr;
   QCheckBox* ShowSplashAtStartup_CheckBox = nullptr;
   QCheckBox* AcceptDroppedFiles_CheckBox = nullptr;
   QCheckBox* EnableLaunchOpenDialogByDoubleClick_CheckBox = nullptr;
   QCheckBox* ShowStrictTIFFWarnings_CheckBox = nullptr;
   QCheckBox* ConfirmProgramTermination_CheckBox = nullptr;
   QCheckBox* BeepOnProcessingCompletion_CheckBox = nullptr;
   QCheckBox* EnableToolBarAutoDragDock_CheckBox = nullptr;
   QLineEdit* DataSeparator_Edit = nullptr;

   QLineEdit* DefaultResolution_Edit = nullptr;
   QCheckBox* DefaultMetricResolution_CheckBox = nullptr;
   QCheckBox* MasksShownByDefault_CheckBox = nullptr;
   QLineEdit* CursorTolerance_Edit = nullptr;
   QLineEdit* SwapFilesDirectory_Edit = nullptr;
   QCheckBox* UseSystemTEMPDirectory_CheckBox = nullptr;
   QPushButton* SwapFilesDirectory_Button = nullptr;
   QLabel* SwapFilesDirectory_DriveFree_StaticText = nullptr;
   QCheckBox* BackupFiles_CheckBox = nullptr;
   QCheckBox* ShowCaptionChannels_CheckBox = nullptr;
   QCheckBox* ShowCaptionZoomRatios_CheckBox = nullptr;
   QCheckBox* ShowCaptionIdentifiers_CheckBox = nullptr;
   QCheckBox* ShowCaptionFullPaths_CheckBox = nullptr;

   QLineEdit* ImagePrefix_Edit = nullptr;
   QLineEdit* PreviewPrefix_Edit = nullptr;
   QLineEdit* NewImageCaption_Edit = nullptr;
   QLineEdit* BackgroundModelPostfix_Edit = nullptr;
   QLineEdit* ProcessIconPrefix_Edit = nullptr;
   QLineEdit* PixelMathDestinationPostfix_Edit = nullptr;

   QCheckBox* MainWindowUseBackgroundBrush_CheckBox = nullptr;
   QPushButton* MainWindowForegroundColor_ColorBox = nullptr;
   QPushButton* MainWindowBackgroundColor_ColorBox = nullptr;
   QLabel* MainWindowBackgroundPreview_PaintBox = nullptr;
   QPushButton* ImageWindowsBackgroundColor_ColorBox = nullptr;
   QPushButton* ProcessIconsNormalColor_ColorBox = nullptr;
   QPushButton* ProcessIconsSelectedColor_ColorBox = nullptr;
   QPushButton* ProcessIconsNormalTextColor_ColorBox = nullptr;
   QPushButton* ProcessIconsSelectedTextColor_ColorBox = nullptr;
   QPushButton* ViewTabColor_ColorBox = nullptr;
   QPushButton* SelectedViewTabColor_ColorBox = nullptr;
   QPushButton* ViewTabTextColor_ColorBox = nullptr;
   QPushButton* SelectedViewTabTextColor_ColorBox = nullptr;
   QPushButton* PreviewColor_ColorBox = nullptr;
   QPushButton* SelectedPreviewColor_ColorBox = nullptr;
   // Per font group (process icons, view tabs, preview titles): its combo box, height edit and Auto box.
   QComboBox* Font_ComboBox[3] = {};
   QLineEdit* FontHeight_Edit[3] = {};
   QCheckBox* AutoFontHeight_CheckBox[3] = {};
   // The samples show the colours and fonts as they are chosen.
   QLabel* NormalIconSample_Panel = nullptr;
   QLabel* SelectedIconSample_Panel = nullptr;
   QLabel* NormalTabSample_Panel = nullptr;
   QLabel* SelectedTabSample_Panel = nullptr;
   QLabel* ImageBackgroundSample_Panel = nullptr;
   QFrame* NormalPreviewSample_Shape = nullptr;
   QFrame* SelectedPreviewSample_Shape = nullptr;
   QLabel* NormalPreviewTitleSample_StaticText = nullptr;
   QLabel* SelectedPreviewTitleSample_StaticText = nullptr;

protected:
   void showEvent( QShowEvent* event ) override;

private:
   // A font group's fields in the working copy.
   struct FontFields
   {
      std::string ColorsFontsPreferences::*font;
      int32_t ColorsFontsPreferences::*size;
      bool ColorsFontsPreferences::*autoSize;
   };
   static const FontFields fontFields[3];

   struct BoolBinding
   {
      QCheckBox* box;
      std::function<bool&( GlobalPreferences& )> field;
   };
   struct ColorBinding
   {
      QPushButton* box;
      uint32_t ColorsFontsPreferences::*field;
   };
   std::vector<BoolBinding> boolBindings;
   std::vector<ColorBinding> colorBindings;
   std::vector<std::pair<QLineEdit*, std::string IdentifiersPreferences::*>> identifierEdits;
   QStringList fontNames;

   void ShowColor( QPushButton* box, uint32_t color );
   void PaintBackgroundPreview();
   void UpdateSamples();
};

// The program's Preferences window, made on first use.
TPreferencesWindow& PreferencesWindow();

#endif
