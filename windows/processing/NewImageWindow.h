#ifndef LF_WINDOWS_PROCESSING_NEW_IMAGE_WINDOW_H
#define LF_WINDOWS_PROCESSING_NEW_IMAGE_WINDOW_H

// The New Image window, the interface of NewImage: an identifier (empty: the next default one; macros allowed), a
// size of 1 to 32000 pixels each way, the colour mode, the memory the image will take, and the initial colour;
// size and mode can be copied from an open image chosen in the views list. Apply creates the image at once, with
// no status dialog; a refusal (a bad identifier, an image the memory cannot hold) is shown and creates nothing.

#include <cstdint>
#include <string>

#include "windows/processing/ProcessingWindow.h"

class QLabel;
class QLineEdit;
class QRadioButton;
class QToolButton;
class TSelectColor_Frame;
class TViewsListFrame;

class TNewImageWindow : public TProcessingWindow
{
   Q_OBJECT

public:
   explicit TNewImageWindow( QWidget* owner = nullptr );

   // The view (or none) becomes the list's entry; a view gives its image's size and colour mode (the identifier
   // and colour stay). When the window is visible the identifier's edit gets the focus.
   void SelectView( TImageWindow::View* view );
   void UpdateControls();
   void UpdateSizeInfo();
   // " 32-bits size: %.3f MB" of an image of that size and mode.
   static QString SizeInfoText( int32_t width, int32_t height, bool colorMode );

   void Identifier_EditExit();
   void Width_EditExit();
   void Height_EditExit();
   void RGBColor_RadioButtonClick();
   void Grayscale_RadioButtonClick();

   std::unique_ptr<Process> NewInstance() override;
   // A NewImage instance: its values, no view selected; the next showing keeps them.
   void ImportInstance( const Process& instance ) override;
   // Creates the image directly (no status dialog); failures are shown.
   void Apply() override;
   void ViewCreated( TImageWindow::View& view ) override;
   void ViewUpdated( TImageWindow::View& view ) override;
   void ViewRenamed( TImageWindow::View& view ) override;
   void ViewDeleted( TImageWindow::View& view ) override;

   std::string identifier;
   int32_t width = 256;
   int32_t height = 256;
   bool colorMode = true;
   bool importing = false;

   TViewsListFrame* ViewsList = nullptr; // main views only, with the no-view entry
   QLabel* ImageParametersCaption_Panel = nullptr;
   QLineEdit* Identifier_Edit = nullptr;
   QLineEdit* Width_Edit = nullptr;
   QLineEdit* Height_Edit = nullptr;
   QRadioButton* Grayscale_RadioButton = nullptr;
   QRadioButton* RGBColor_RadioButton = nullptr;
   QLabel* SizeInfo_StaticText = nullptr;
   TSelectColor_Frame* InitialColor_Frame = nullptr;
   QToolButton* Apply_SpeedButton = nullptr;

protected:
   void showEvent( QShowEvent* event ) override;

private:
   // A size edit's exit: 1 .. 32000 into the field.
   void ReadSize( QLineEdit* edit, int32_t& size );
   // The colour mode changed: size text and the colour frame's grey mode follow.
   void SetColorMode( bool rgb );
};

// The program's New Image window, made on first use.
TNewImageWindow& NewImageWindow();

#endif
