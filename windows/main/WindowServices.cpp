#include "windows/main/WindowServices.h"

#include "process/Maskable.h"
#include "process/Preferences.h"
#include "windows/image/DynamicSessions.h"
#include "windows/image/ImageWindow.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/DynamicBackgroundExtractionDialog.h"
#include "windows/processing/ProcessExecution.h"
#include "windows/processing/ProcessWindows.h"

void InstallWindowServices()
{
   InstallExecutionRoad();
   InstallImageWindowService();
   InstallProcessWindows();
   InstallDynamicSessionLinks();
   InstallDynamicBackgroundExtractionDialog();
   InstallReadoutOptionsHolder();
   SetPreferencesApplier(
       []
       {
          if ( MainWindow != nullptr )
             MainWindow->ApplyPreferences();
          ApplyPreferencesToImageWindows();
       } );
   SetProgramTerminatingQuery( [] { return MainWindow != nullptr && MainWindow->terminating; } );
}
