#ifndef LF_WINDOWS_PROCESSING_IMAGE_IDENTIFIER_WINDOW_H
#define LF_WINDOWS_PROCESSING_IMAGE_IDENTIFIER_WINDOW_H

// The processing window of ImageIdentifier: the identifier (or identifier template) the instance gives an image,
// and a line that says whether an open image has exactly that identifier now; it follows images as they are opened,
// renamed and closed. Apply renames the images selected for the window.

#include <string>

#include "windows/processing/ProcessingWindow.h"

class QLabel;
class QLineEdit;
class QToolButton;

class TImageIdentifierWindow : public TProcessingWindow
{
   Q_OBJECT

public:
   explicit TImageIdentifierWindow( QWidget* owner = nullptr );

   // The edit shows the identifier; the information line whether an image has it.
   void UpdateControls();
   // Reads the edit (macros and an empty text allowed); a refused text leaves the identifier as it was.
   void Identifier_EditExit();

   std::unique_ptr<Process> NewInstance() override;
   void ImportInstance( const Process& instance ) override;
   void ViewCreated( TImageWindow::View& view ) override;
   void ViewRenamed( TImageWindow::View& view ) override;
   void ViewDeleted( TImageWindow::View& view ) override;

   static constexpr const char* InUseText = "The identifier is already in use";
   static constexpr const char* NotUsedText = "Identifier not used";

   std::string identifier;

   QLineEdit* Identifier_Edit = nullptr;
   QLabel* Info_StaticText = nullptr;
   QToolButton* Apply_SpeedButton = nullptr;
   QToolButton* SelectImages_SpeedButton = nullptr;
};

// The program's Image Identifier window, made on first use.
TImageIdentifierWindow& ImageIdentifierWindow();

#endif
