// The main window's geometry commands (the windows of the size-changing processes, the fast rotations) and the
// Invert command, with their menu entries and the Geometry and Fast Rotate tool bars.

#include "windows/main/MainWindow.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>

#include "process/FastRotate.h"
#include "process/Invert.h"
#include "windows/image/ImageWindow.h"
#include "windows/main/ActionIcons.h"
#include "windows/processing/FastRotateWindow.h"
#include "windows/processing/GeometryWindow.h"
#include "windows/processing/IntegerResampleWindow.h"
#include "windows/processing/ResampleWindow.h"
#include "windows/processing/RotateWindow.h"
#include "windows/processing/CropExpandWindow.h"

namespace
{

// Makes a form visible, restores it when minimised and brings it to the front.
void ShowProcessForm( QWidget* form )
{
   if ( form->isMinimized() )
      form->showNormal();
   else
      form->show();
   form->raise();
   form->activateWindow();
}

// The active image window's main view becomes the target of the window, which is then shown; nothing without an
// active image window.
void ShowForActiveImage( TImageWindow* active, TGeometryWindow& window )
{
   if ( active == nullptr )
      return;
   window.SelectView( active->mainView );
   ShowProcessForm( &window );
}

// Runs the instance on the active image's main view, the window restored first.
void RunOnActiveImage( TImageWindow* active, Process&& instance )
{
   if ( active == nullptr || active->mainView == nullptr )
      return;
   if ( active->Frame()->isMinimized() )
      active->Frame()->showNormal();
   instance.LaunchOn( *active->mainView );
}

} // namespace

void TMainWindow::BuildGeometryActions()
{
   auto make = [this]( QAction*& member, const char* name, const QString& text, const QKeySequence& shortcut,
                       const QString& glyph, std::function<void()> handler )
   {
      member = new QAction( text, this );
      member->setObjectName( name );
      member->setShortcut( shortcut );
      member->setToolTip( text );
      member->setStatusTip( text );
      if ( !glyph.isEmpty() )
         member->setIcon( GlyphIcon( glyph ) );
      connect( member, &QAction::triggered, this, std::move( handler ) );
      addAction( member );
   };
   const QKeySequence none;

   make( GeometryResample_Action, "GeometryResample_Action", "Resample", none, "Rs",
         [this] { GeometryResample_ActionExecute(); } );
   make( GeometryIntegerResample_Action, "GeometryIntegerResample_Action", "Integer Resample", none, "IR",
         [this] { GeometryIntegerResample_ActionExecute(); } );
   make( GeometryCropExpand_Action, "GeometryCropExpand_Action", "Crop/Expand", none, "CE",
         [this] { GeometryCropExpand_ActionExecute(); } );
   make( GeometryRotate_Action, "GeometryRotate_Action", "Rotate", none, "Ro",
         [this] { GeometryRotate_ActionExecute(); } );
   make( GeometryRotate180_Action, "GeometryRotate180_Action", "Rotate 180\u00B0", none, "180",
         [this] { GeometryFastRotate_ActionExecute( FastRotate::_180deg ); } );
   make( GeometryRotate90CW_Action, "GeometryRotate90CW_Action", "Rotate 90\u00B0 Clockwise", none, "\u21BB",
         [this] { GeometryFastRotate_ActionExecute( FastRotate::_90degCW ); } );
   make( GeometryRotate90CCW_Action, "GeometryRotate90CCW_Action", "Rotate 90\u00B0 Counter-clockwise", none,
         "\u21BA", [this] { GeometryFastRotate_ActionExecute( FastRotate::_90degCCW ); } );
   make( GeometryMirrorHorizontal_Action, "GeometryMirrorHorizontal_Action", "Horizontal Mirror", none, "\u2194",
         [this] { GeometryFastRotate_ActionExecute( FastRotate::horzMirror ); } );
   make( GeometryMirrorVertical_Action, "GeometryMirrorVertical_Action", "Vertical Mirror", none, "\u2195",
         [this] { GeometryFastRotate_ActionExecute( FastRotate::vertMirror ); } );
   make( ImageInvert_Action, "ImageInvert_Action", "Invert", QKeySequence( "Ctrl+I" ), "Inv",
         [this] { ImageInvert_ActionExecute(); } );
   make( ProcessResample_Action, "ProcessResample_Action", "Resample", none, "Rs",
         [this] { ProcessResample_ActionExecute(); } );
   make( ProcessIntegerResample_Action, "ProcessIntegerResample_Action", "Integer Resample", none, "IR",
         [this] { ProcessIntegerResample_ActionExecute(); } );
   make( ProcessCropExpand_Action, "ProcessCropExpand_Action", "Crop/Expand", none, "CE",
         [this] { ProcessCropExpand_ActionExecute(); } );
   make( ProcessRotate_Action, "ProcessRotate_Action", "Rotate", none, "Ro",
         [this] { ProcessRotate_ActionExecute(); } );
   make( ProcessFastRotate_Action, "ProcessFastRotate_Action", "Fast Rotate", none, "FR",
         [this] { ProcessFastRotate_ActionExecute(); } );

   Image_Menu->addSeparator();
   QMenu* geometry = Image_Menu->addMenu( "&Geometry" );
   geometry->setObjectName( "ImageGeometry_MenuItem" );
   for ( QAction* a : { GeometryResample_Action, GeometryIntegerResample_Action, GeometryCropExpand_Action,
                        GeometryRotate_Action } )
      geometry->addAction( a );
   geometry->addSeparator();
   for ( QAction* a : { GeometryRotate180_Action, GeometryRotate90CW_Action, GeometryRotate90CCW_Action } )
      geometry->addAction( a );
   geometry->addSeparator();
   geometry->addAction( GeometryMirrorHorizontal_Action );
   geometry->addAction( GeometryMirrorVertical_Action );
   Image_Menu->addAction( ImageInvert_Action );

   QMenu* processGeometry = Process_Menu->addMenu( "&Geometry" );
   processGeometry->setObjectName( "ProcessGeometry_MenuItem" );
   for ( QAction* a : { ProcessResample_Action, ProcessIntegerResample_Action, ProcessCropExpand_Action,
                        ProcessRotate_Action, ProcessFastRotate_Action } )
      processGeometry->addAction( a );
}

void TMainWindow::FillGeometryToolBars()
{
   FastRotate_ToolBar->addAction( GeometryRotate180_Action );
   FastRotate_ToolBar->addAction( GeometryRotate90CW_Action );
   FastRotate_ToolBar->addAction( GeometryRotate90CCW_Action );
   FastRotate_ToolBar->addSeparator();
   FastRotate_ToolBar->addAction( GeometryMirrorHorizontal_Action );
   FastRotate_ToolBar->addAction( GeometryMirrorVertical_Action );

   for ( QAction* a : { ProcessResample_Action, ProcessIntegerResample_Action, ProcessCropExpand_Action,
                        ProcessRotate_Action, ProcessFastRotate_Action } )
      Geometry_ToolBar->addAction( a );
}

void TMainWindow::GeometryResample_ActionExecute()
{
   ShowForActiveImage( ActiveImageWindow(), ResampleWindow() );
}

void TMainWindow::GeometryIntegerResample_ActionExecute()
{
   ShowForActiveImage( ActiveImageWindow(), IntegerResampleWindow() );
}

void TMainWindow::GeometryCropExpand_ActionExecute()
{
   ShowForActiveImage( ActiveImageWindow(), CropExpandWindow() );
}

void TMainWindow::GeometryRotate_ActionExecute()
{
   ShowForActiveImage( ActiveImageWindow(), RotateWindow() );
}

void TMainWindow::GeometryFastRotate_ActionExecute( int32_t rotation )
{
   RunOnActiveImage( ActiveImageWindow(), FastRotate( rotation ) );
}

void TMainWindow::ImageInvert_ActionExecute()
{
   RunOnActiveImage( ActiveImageWindow(), Invert() );
}

void TMainWindow::ProcessResample_ActionExecute()
{
   ShowProcessForm( &ResampleWindow() );
}

void TMainWindow::ProcessIntegerResample_ActionExecute()
{
   ShowProcessForm( &IntegerResampleWindow() );
}

void TMainWindow::ProcessCropExpand_ActionExecute()
{
   ShowProcessForm( &CropExpandWindow() );
}

void TMainWindow::ProcessRotate_ActionExecute()
{
   ShowProcessForm( &RotateWindow() );
}

void TMainWindow::ProcessFastRotate_ActionExecute()
{
   ShowProcessForm( &FastRotateWindow() );
}
