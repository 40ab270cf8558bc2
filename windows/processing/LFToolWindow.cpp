#include "windows/processing/LFToolWindow.h"

TLFToolWindow::TLFToolWindow( QWidget* owner ) : TProcessingWindow( owner )
{
   if ( processDragObject != nullptr )
      processDragObject->hide();
}

std::unique_ptr<Process> TLFToolWindow::NewInstance()
{
   return nullptr;
}
