#ifndef LF_WINDOWS_PROCESSING_VIEW_DATA_WINDOW_H
#define LF_WINDOWS_PROCESSING_VIEW_DATA_WINDOW_H

// The base of the windows that edit data kept with an image (the FITS header, the IPTC photo info): the image is
// chosen in a views list of main views with a no-view entry; showing the window chooses the active image unless an
// instance was imported since the last showing (the imported data stay); the data are loaded from and saved to
// module files chosen in file dialogs.

#include <QString>

#include "windows/processing/ProcessingWindow.h"

class QLabel;
class TViewsListFrame;

class TViewDataWindow : public TProcessingWindow
{
   Q_OBJECT

public:
   explicit TViewDataWindow( QWidget* owner );

   // Shows the data of the view's image, or the window's own data for no view.
   virtual void SelectView( TImageWindow::View* view ) = 0;
   // When shown: the active image window's main view, unless an instance was imported since the last showing.
   void FormShow();

   void ViewCreated( TImageWindow::View& view ) override;
   void ViewRenamed( TImageWindow::View& view ) override;

   TImageWindow::View* currentView = nullptr;
   TViewsListFrame* ViewsList = nullptr; // main views only, with the no-view entry

protected:
   void showEvent( QShowEvent* event ) override;

   // SelectedView_Panel: the views list and, beside it, `label`.
   QWidget* MakeSelectedViewPanel( QLabel* label );
   // Makes the view the current one, in the list too.
   void SetCurrentView( TImageWindow::View* view );
   // ImportInstance calls it once the instance's data are taken: the next showing keeps them.
   void KeepImportedData() { keepImportedData = true; }
   // The module file to load, chosen in an open dialog with that caption and filter and given `extension` when
   // it has no suffix; empty when the user cancels.
   QString ModuleToLoad( const QString& caption, const QString& filter, const char* extension );

private:
   bool keepImportedData = false;
};

#endif
