#ifndef LF_WINDOWS_PROCESSING_GEOMETRY_WINDOW_H
#define LF_WINDOWS_PROCESSING_GEOMETRY_WINDOW_H

// The base of the windows of the processes that change the size of a whole image (Resample, IntegerResample,
// Rotate, CropExpand): a views list of main views that chooses the target whose size the window shows, the result
// and original information lines, and the view notifications that keep the list current.

#include <QString>

#include <cstdint>

#include "windows/processing/ProcessingWindow.h"

class QFrame;
class QLabel;
class QToolButton;
class TSelectColor_Frame;
class TViewsListFrame;

class TGeometryWindow : public TProcessingWindow
{
   Q_OBJECT

public:
   explicit TGeometryWindow( QWidget* owner );

   // The view (or none) becomes the target: TakeView reads what the window needs of it, the list shows it, and
   // the controls are updated.
   void SelectView( TImageWindow::View* view );
   TImageWindow::View* CurrentView() const;

   void ViewCreated( TImageWindow::View& view ) override;
   void ViewRenamed( TImageWindow::View& view ) override;
   // The target's size changed: read again when followUpdatedView, else the target is dropped (the values stay).
   void ViewUpdated( TImageWindow::View& view ) override;
   void ViewDeleted( TImageWindow::View& view ) override;

   // "%dx%d, 32-bits memory size: %.3f MB" and "Original: %dx%d, %.3f MB": channels x width x height float samples.
   static double MegaBytes( int32_t channels, int32_t width, int32_t height );
   static QString ResultInfoText( int32_t channels, int32_t width, int32_t height );
   static QString OriginalInfoText( int32_t channels, int32_t width, int32_t height );
   // Both lines: the new size against imageWidth x imageHeight.
   void ShowInfo( int32_t newWidth, int32_t newHeight );

   int32_t imageWidth = 100;
   int32_t imageHeight = 100;
   int32_t channelCount = 1;

   TViewsListFrame* ViewsList = nullptr; // main views only
   QFrame* Info_Panel = nullptr;
   QLabel* ResultInfo_Panel = nullptr;
   QLabel* OriginalInfo_Panel = nullptr;
   // "Apply" and the image selection, in a row.
   QWidget* Buttons_Panel = nullptr;
   QToolButton* Apply_SpeedButton = nullptr;
   QToolButton* SelectImages_SpeedButton = nullptr;

   // A fill-colour frame with its title, for the windows that fill what the image leaves uncovered.
   TSelectColor_Frame* MakeFillColorFrame( const char* title );

protected:
   // Reads the target's size (none: the window's rule for no target).
   virtual void TakeView( TImageWindow::View* view ) = 0;
   virtual void UpdateControls() = 0;
   // The window became visible; here the active image window's main view becomes the target.
   virtual void FormShow();
   void showEvent( QShowEvent* event ) override;

   bool followUpdatedView = true;
};

// The image window the main window shows as active, or nullptr.
TImageWindow* ActiveImageWindowOfMainWindow();

#endif
