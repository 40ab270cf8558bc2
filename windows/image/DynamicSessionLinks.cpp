// The dynamic processes' view of the interactive edits (process/DynamicSessionLinks.h).

#include "process/DynamicSessionLinks.h"

#include <QAction>

#include "windows/image/DynamicSessions.h"
#include "windows/image/ImageWindow.h"
#include "windows/main/MainWindow.h"

namespace
{

class ImageWindowSessions final : public DynamicSessionService
{
public:
   bool HasSession( const ProcessView& view, const std::string& processId ) override
   {
      const TImageWindow::View* target = AsImageView( const_cast<ProcessView&>( view ) );
      if ( target == nullptr )
         return false;
      const TImageWindow* window = target->Window();
      if ( processId == DynamicCropProcessId )
         return window->dynamicCropData != nullptr;
      if ( processId == DynamicBackgroundExtractionProcessId )
         return window->dbeData != nullptr;
      return false;
   }

   const ProcessSessionDialog* SessionDialog( const std::string& processId ) override
   {
      if ( processId == DynamicCropProcessId )
         return DynamicCropData::SessionDialog();
      if ( processId == DynamicBackgroundExtractionProcessId )
         return DynamicBackgroundExtractionData::SessionDialog();
      return nullptr;
   }

   QAction* ModeAction( const std::string& processId ) override
   {
      if ( MainWindow == nullptr )
         return nullptr;
      if ( processId == DynamicCropProcessId )
         return MainWindow->DynamicCropMode_Action;
      if ( processId == DynamicBackgroundExtractionProcessId )
         return MainWindow->DynamicBackgroundExtractionMode_Action;
      return nullptr;
   }

   bool StartFromInstance( const Process& instance ) override
   {
      TImageWindow* window = MainWindow != nullptr ? MainWindow->ActiveImageWindow() : nullptr;
      if ( window == nullptr || window->currentView == nullptr || window->currentView != window->mainView )
         return false;
      const std::string id = instance.Id();
      if ( id != DynamicCropProcessId && id != DynamicBackgroundExtractionProcessId )
         return false;
      // The mode of the edit, as its action would choose it (the action's enabled state may not be up to date yet).
      SetImageWindowMode( id == DynamicCropProcessId ? 5 : 6 );
      if ( id == DynamicCropProcessId )
         window->StartDynamicCropFromInstance( instance );
      else
         window->StartDBEFromInstance( instance );
      return true;
   }
};

} // namespace

void InstallDynamicSessionLinks()
{
   static ImageWindowSessions sessions;
   SetDynamicSessionService( &sessions );
}
