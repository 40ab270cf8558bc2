#include "windows/processing/LFToolWindow.h"

#include "windows/main/WindowIcons.h"

TLFToolWindow::TLFToolWindow( QWidget* owner ) : TProcessingWindow( owner )
{
   if ( processDragObject != nullptr )
      processDragObject->hide();
   setWindowIcon( ToolWindowIcon() );
}

std::unique_ptr<Process> TLFToolWindow::NewInstance()
{
   return nullptr;
}
