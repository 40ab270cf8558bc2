#ifndef LF_WINDOWS_PROCESSING_EXTRACT_CHANNELS_WINDOW_H
#define LF_WINDOWS_PROCESSING_EXTRACT_CHANNELS_WINDOW_H

// The processing window of ExtractChannels: the colour space, which of its components to extract, and the
// identifier template of the image made from each. With "Auto Identifiers" the templates follow the colour space
// ("&imageId;_R&uniqueId;", ...) and cannot be edited.

#include "process/ExtractChannels.h"
#include "windows/processing/ColorSpaceControls.h"
#include "windows/processing/ProcessingWindow.h"

class QCheckBox;
class QLabel;
class QLineEdit;
class QRadioButton;
class QToolButton;

class TExtractChannelsWindow : public TProcessingWindow
{
   Q_OBJECT

public:
   explicit TExtractChannelsWindow( QWidget* owner = nullptr );

   std::unique_ptr<Process> NewInstance() override;
   // Takes an ExtractChannels instance's parameters (auto identifiers stay as they are); ignores anything else.
   void ImportInstance( const Process& instance ) override;

   void SetDefaultIdentifiers();
   void UpdateControls();

   void ColorSpace_RadioButtonClick( int32_t colorSpace );
   void CH_CheckBoxClick( int i );
   void CH_EditExit( int i );
   void AutoIdentifiers_CheckBoxClick();

   ExtractChannels::Parameters parameters;
   bool autoIdentifiers = true;

   QLabel* ColorSpaceCaption_Panel = nullptr;
   QRadioButton* RGB_RadioButton = nullptr;
   QRadioButton* HSV_RadioButton = nullptr;
   QRadioButton* CIEXYZ_RadioButton = nullptr;
   QRadioButton* CIELab_RadioButton = nullptr;
   QRadioButton* CIELch_RadioButton = nullptr;
   QLabel* ChannelsCaption_Panel = nullptr;
   QCheckBox* CH_CheckBox[3] = {};
   QLineEdit* CH_Edit[3] = {};
   QCheckBox* AutoIdentifiers_CheckBox = nullptr;
   QToolButton* Apply_SpeedButton = nullptr;
   QToolButton* SelectImages_SpeedButton = nullptr;

private:
   ColorSpaceControls space;
};

// The program's Extract Channels window, made on first use.
TExtractChannelsWindow& ExtractChannelsWindow();

#endif
