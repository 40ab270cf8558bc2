// TImageWindow: the pop-up menus of the image area, one for the main view and one for the previews.

#include "windows/image/ImageWindow.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QMenu>

#include <initializer_list>

#include "windows/main/MainWindow.h"

namespace
{

// Adds the main window's actions of these names, in order; nullptr stands for a separator. The menus hold the
// actions the main window has: an action another part adds later joins by its name, and a separator is kept only
// between actions.
void AddActions( QMenu* menu, std::initializer_list<const char*> names )
{
   bool separate = false;
   for ( const char* name : names )
   {
      if ( name == nullptr )
      {
         separate = !menu->isEmpty();
         continue;
      }
      QAction* action = MainWindow != nullptr ? MainWindow->findChild<QAction*>( name ) : nullptr;
      if ( action == nullptr )
         continue;
      if ( separate )
         menu->addSeparator();
      separate = false;
      menu->addAction( action );
   }
}

// A submenu of these actions, shown only when it holds any.
void AddSubmenu( QMenu* menu, const QString& title, std::initializer_list<const char*> names )
{
   QMenu* submenu = menu->addMenu( title );
   AddActions( submenu, names );
   submenu->menuAction()->setVisible( !submenu->isEmpty() );
}

const std::initializer_list<const char*> WindowActions = {
    "WindowZoomIn_Action",   "WindowZoomOut_Action",   nullptr, "WindowZoom11_Action",     "WindowZoom12_Action",
    "WindowZoom21_Action",   nullptr,                  "WindowZoomToFit_Action", "WindowFitWindow_Action" };

} // namespace

void TImageWindow::BuildPopupMenus()
{
   Image_PopupMenu = new QMenu( this );
   Image_PopupMenu->setObjectName( "Image_PopupMenu" );
   AddSubmenu( Image_PopupMenu, "Mode",
               { "ReadoutMode_Action", "ZoomInMode_Action", "ZoomOutMode_Action", "CenterMode_Action",
                 "PanMode_Action", nullptr, "DynamicCropMode_Action", "DynamicBackgroundExtractionMode_Action",
                 nullptr, "NewPreviewMode_Action", "EditPreviewMode_Action" } );
   AddSubmenu( Image_PopupMenu, "Window", WindowActions );
   AddSubmenu( Image_PopupMenu, "Mask",
               { "MaskSelectMask_Action", "MaskRemoveMask_Action", nullptr, "MaskEnableMask_Action",
                 "MaskShowMask_Action" } );
   AddSubmenu( Image_PopupMenu, "View",
               { "ImageViewHistogram_Action", "ImageViewStatistics_Action", "ImageViewInformation_Action",
                 "ImageViewProcessingHistory_Action", "ImageViewProcessingReport_Action" } );

   // The modes that work on the main view only, the mask commands and the image information are left out.
   Preview_PopupMenu = new QMenu( this );
   Preview_PopupMenu->setObjectName( "Preview_PopupMenu" );
   AddSubmenu( Preview_PopupMenu, "Mode",
               { "ReadoutMode_Action", "ZoomInMode_Action", "ZoomOutMode_Action", "CenterMode_Action",
                 "PanMode_Action" } );
   AddSubmenu( Preview_PopupMenu, "Window", WindowActions );
   AddSubmenu( Preview_PopupMenu, "Preview",
               { "PreviewUndo_Action", nullptr, "PreviewStore_Action", "PreviewRestore_Action", "PreviewReset_Action",
                 nullptr, "PreviewProperties_Action", "PreviewDelete_Action" } );
   AddSubmenu( Preview_PopupMenu, "View",
               { "ImageViewHistogram_Action", "ImageViewStatistics_Action", "ImageViewProcessingHistory_Action",
                 "ImageViewProcessingReport_Action" } );

   paintBoxPopupMenu = Image_PopupMenu;
}

void TImageWindow::contextMenuEvent( QContextMenuEvent* event )
{
   if ( paintBoxPopupMenu != nullptr && !paintBoxPopupMenu->isEmpty() )
      paintBoxPopupMenu->popup( event->globalPos() );
   event->accept();
}
