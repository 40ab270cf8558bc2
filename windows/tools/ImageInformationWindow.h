#ifndef LF_WINDOWS_TOOLS_IMAGE_INFORMATION_WINDOW_H
#define LF_WINDOWS_TOOLS_IMAGE_INFORMATION_WINDOW_H

// The Image Information tool window: a plain-language report on one image chosen in its views list (main views
// only): where it came from, its file format options, its size and channels, its colour space and colour
// management, its masks, its previews, its processing history and undo state. The report is rebuilt whenever a
// notification says that something it shows may have changed, keeping the caret at the same relative place, and it
// can be saved as rich text (".rtf") or plain text (".txt").

#include <QString>
#include <QStringList>

#include <cstdint>

#include "windows/processing/LFToolWindow.h"

class QPushButton;
class QTextEdit;
class TViewsListFrame;

class TImageInformationWindow : public TLFToolWindow
{
   Q_OBJECT

public:
   explicit TImageInformationWindow( QWidget* owner = nullptr );

   // The view (or none) becomes the one reported on; a view the list does not hold (a preview) leaves none.
   void SelectView( TImageWindow::View* view );
   TImageWindow::View* CurrentView() const;
   // Rebuilds the report of the current view (empty without one), the caret kept at the same fraction of the text.
   void BuildReport();
   // Asks for a file name and saves the report; failures are shown.
   void Save_ButtonClick();

   // The lines of the report on an image window.
   static QStringList ReportLines( const TImageWindow& window );

   void ViewCreated( TImageWindow::View& view ) override;
   void ViewUpdated( TImageWindow::View& view ) override;
   void ViewRenamed( TImageWindow::View& view ) override;
   void ViewDeleted( TImageWindow::View& view ) override;
   void ColorManagementChanged( TImageWindow::View& view ) override;
   void ViewSaved( TImageWindow::View& view ) override;
   void MaskChanged( TImageWindow::View& view ) override;
   void MaskEnabled( TImageWindow::View& view ) override;
   void MaskDisabled( TImageWindow::View& view ) override;
   void MaskShown( TImageWindow::View& view ) override;
   void MaskHidden( TImageWindow::View& view ) override;
   void UndoStateChanged( TImageWindow::View& view ) override;
   void PreviewStored( TImageWindow::View& view ) override;
   void HistogramsChanged( TImageWindow::View& view ) override;
   void StatisticsChanged( TImageWindow::View& view ) override;

   QString reportFontName;
   int32_t reportFontSize;

   QTextEdit* Edit = nullptr;
   TViewsListFrame* ViewsList = nullptr; // main views only, with the no-view entry
   QPushButton* Save_Button = nullptr;

private:
   // Whether a view belongs to the image reported on (a preview of it), or is the image's mask.
   bool IsPreviewOfCurrent( const TImageWindow::View& view ) const;
   bool IsMaskOfCurrent( const TImageWindow::View& view ) const;
   void RebuildIf( bool condition );
};

// The program's Image Information window, made on first use.
TImageInformationWindow& ImageInformationWindow();

#endif
