#ifndef LF_WINDOWS_FRAMES_VIEWS_LIST_FRAME_H
#define LF_WINDOWS_FRAMES_VIEWS_LIST_FRAME_H

// The drop-down list through which a processing or tool window chooses the view it works on: every main view and
// every preview of every open image, by full identifier ("Image01", "Image01->Preview01").
//
// The frame holds none of the window's state. The owning form sets the fields below directly, asks the frame to
// Rebuild when views appear, disappear or are renamed, to SelectCurrentView when its view changes, and connects
// ViewSelected, which tells it the user's choice (nullptr: no view). Entries beginning with "<" are placeholders
// ("<* No view selected *>", "<* No views available *>"), never identifiers.

#include <QFrame>

#include "windows/image/ImageWindow.h"

class QComboBox;

class TViewsListFrame : public QFrame
{
   Q_OBJECT

public:
   explicit TViewsListFrame( QWidget* owner = nullptr );

   // Refills the list from MainViewList and selects currentView's entry (the first entry when it is not listed;
   // with allowNone that leaves no current view).
   void Rebuild();
   // Shows currentView in the list, with its image's file path as hint; a view that is not listed becomes none.
   void SelectCurrentView();
   // Removes the view's entry; rebuilds when no real entry is left.
   void RemoveView( TImageWindow::View* view );
   // Tells the owning form the user's choice.
   void NotifyViewSelected( TImageWindow::View* view );

   void ViewsList_ComboBoxSelect();

   TImageWindow::View* currentView = nullptr;
   bool includeMainViews = true;
   bool includePreviews = true;
   bool allowNone = true;
   // Never listed; when it is a main view, none of its window's previews is listed either.
   TImageWindow::View* excludedView = nullptr;

   QComboBox* ViewsList_ComboBox = nullptr;

Q_SIGNALS:
   void ViewSelected( TImageWindow::View* view );
};

#endif
