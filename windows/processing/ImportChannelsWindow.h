#ifndef LF_WINDOWS_PROCESSING_IMPORT_CHANNELS_WINDOW_H
#define LF_WINDOWS_PROCESSING_IMPORT_CHANNELS_WINDOW_H

// The processing window of ImportChannels: the colour space, which components to replace and the source image of
// each. A target image helps choose: the source lists offer the grey images of its size. With "Auto Identifiers"
// the sources are the templates that find what extraction made from the target; with "Find compatible images" the
// sources are picked from the lists by the components' suffixes.

#include "process/ImportChannels.h"
#include "windows/processing/ColorSpaceControls.h"
#include "windows/processing/ProcessingWindow.h"

class QCheckBox;
class TViewsListFrame;
class QComboBox;
class QLabel;
class QRadioButton;
class QToolButton;

class TImportChannelsWindow : public TProcessingWindow
{
   Q_OBJECT

public:
   explicit TImportChannelsWindow( QWidget* owner = nullptr );

   std::unique_ptr<Process> NewInstance() override;
   // Takes an ImportChannels instance's parameters (the two modes stay as they are); ignores anything else.
   void ImportInstance( const Process& instance ) override;

   // The target (a main view, or none) whose compatible images the source lists offer.
   void SelectView( TImageWindow::View* view );
   void FillSourceLists();
   void UpdateControls();
   void SetAutoIdentifiers();
   void FindCompatibleImages();
   // When shown: the active image window becomes the target when its image is a colour one.
   void FormShow();

   void ViewCreated( TImageWindow::View& view ) override;
   void ViewUpdated( TImageWindow::View& view ) override;
   void ViewRenamed( TImageWindow::View& view ) override;
   void ViewDeleted( TImageWindow::View& view ) override;

   void ColorSpace_RadioButtonClick( int32_t colorSpace );
   void CH_CheckBoxClick( int i );
   void CH_ComboBoxSelect( int i );
   // A source typed into a combo box is taken when it is a valid identifier or template.
   void CH_ComboBoxExit( int i );
   void AutoIdentifiers_CheckBoxClick();
   void FindCompatibleImages_CheckBoxClick();

   ImportChannels::Parameters parameters;
   bool autoIdentifiers = true;
   bool findCompatibleImages = true;
   TImageWindow::View* target = nullptr;

   TViewsListFrame* ViewsList = nullptr; // the target: main views only, with the no-view entry
   QRadioButton* RGB_RadioButton = nullptr;
   QRadioButton* HSV_RadioButton = nullptr;
   QRadioButton* CIEXYZ_RadioButton = nullptr;
   QRadioButton* CIELab_RadioButton = nullptr;
   QRadioButton* CIELch_RadioButton = nullptr;
   QCheckBox* CH_CheckBox[3] = {};
   QComboBox* CH_ComboBox[3] = {};
   QCheckBox* AutoIdentifiers_CheckBox = nullptr;
   QCheckBox* FindCompatibleImages_CheckBox = nullptr;

protected:
   void showEvent( QShowEvent* event ) override;

private:
   ColorSpaceControls space;
};

// The program's Import Channels window, made on first use.
TImportChannelsWindow& ImportChannelsWindow();

#endif
