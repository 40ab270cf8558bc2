// TImageWindow: process instances dropped on the image run on the current view.

#include "windows/image/ImageWindow.h"

#include <QMdiArea>
#include <QMdiSubWindow>

#include "process/Process.h"
#include "windows/processing/ProcessEnvelope.h"

namespace
{

// Brings the window to the front and leaves an alpha display for the composite, so that the user sees what a drop
// would change.
void PrepareForDrop( TImageWindow& window )
{
   if ( QMdiSubWindow* frame = window.SubWindow() )
   {
      if ( frame->mdiArea() != nullptr && frame->mdiArea()->activeSubWindow() != frame )
         frame->mdiArea()->setActiveSubWindow( frame );
   }
   else if ( !window.isActiveWindow() )
      window.raise();
   if ( window.currentView != nullptr &&
        window.CurrentRenderMode() >= window.DisplayedImage().NumberOfNominalChannels() )
      window.SetDisplayChannel( 0 );
}

} // namespace

bool TImageWindow::Image_PaintBoxDragOver( const QMimeData* data )
{
   TProcessEnvelope* envelope = DraggedEnvelope( data );
   if ( envelope == nullptr || currentView == nullptr )
      return false;
   PrepareForDrop( *this );
   Process* probe = envelope->ProbeInstance();
   if ( probe == nullptr )
      return false;
   bool accept = false;
   try
   {
      accept = probe->CanExecuteOn( *currentView );
   }
   catch ( ... )
   {
   }
   envelope->ReleaseInstance( probe );
   return accept;
}

void TImageWindow::Image_PaintBoxDragDrop( const QMimeData* data )
{
   TProcessEnvelope* envelope = DraggedEnvelope( data );
   if ( envelope == nullptr || currentView == nullptr )
      return;
   PrepareForDrop( *this );
   Process* instance = envelope->Instance();
   if ( instance == nullptr )
      return;
   bool canRun = false;
   try
   {
      canRun = instance->CanExecuteOn( *currentView );
   }
   catch ( ... )
   {
   }
   // LaunchOn shows every failure itself and never throws.
   if ( canRun )
      instance->LaunchOn( *currentView );
   envelope->ReleaseInstance( instance );
}
