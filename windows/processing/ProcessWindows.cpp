// The global processing window and the main window's action of each process, reached by the process's identifier
// (process/ProcessWindows.h). Each window is made on first use, owned by the main window when there is one, and
// kept until the program ends.

#include "windows/processing/ProcessWindows.h"

#include <QAction>

#include <functional>
#include <map>
#include <vector>

#include "process/Process.h"
#include "process/ProcessWindows.h"
#include "support/Utils.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ATrousWaveletsWindow.h"
#include "windows/processing/AssignICCProfileWindow.h"
#include "windows/processing/CropExpandWindow.h"
#include "windows/processing/CurvesWindow.h"
#include "windows/processing/ExtractChannelsWindow.h"
#include "windows/processing/FITSHeaderWindow.h"
#include "windows/processing/FastRotateWindow.h"
#include "windows/processing/HistogramWindow.h"
#include "windows/processing/IPTCPhotoInfoWindow.h"
#include "windows/processing/ImageIdentifierWindow.h"
#include "windows/processing/ImportChannelsWindow.h"
#include "windows/processing/IntegerResampleWindow.h"
#include "windows/processing/MedianFilterWindow.h"
#include "windows/processing/MinMaxFiltersWindow.h"
#include "windows/processing/NewImageWindow.h"
#include "windows/processing/PixelMathWindow.h"
#include "windows/processing/PreferencesWindow.h"
#include "windows/processing/ProcessContainerWindow.h"
#include "windows/processing/ProcessingInterface.h"
#include "windows/processing/RGBSpaceParametersWindow.h"
#include "windows/processing/ReadoutOptionsWindow.h"
#include "windows/processing/ResampleWindow.h"
#include "windows/processing/RotateWindow.h"
#include "windows/processing/SCNRWindow.h"
#include "windows/processing/SGBNRWindow.h"

namespace
{

// The accessor of each process's global window, by process identifier.
const std::map<std::string, std::function<TProcessingInterface&()>>& Windows()
{
   static const std::map<std::string, std::function<TProcessingInterface&()>> windows = {
      { "ATrousWaveletTransform", [] () -> TProcessingInterface& { return ATrousWaveletsWindow(); } },
      { "ExtractChannels", [] () -> TProcessingInterface& { return ExtractChannelsWindow(); } },
      { "ImportChannels", [] () -> TProcessingInterface& { return ImportChannelsWindow(); } },
      { "ProcessContainer", [] () -> TProcessingInterface& { return ProcessContainerWindow(); } },
      { "FastRotate", [] () -> TProcessingInterface& { return FastRotateWindow(); } },
      { "IntegerResample", [] () -> TProcessingInterface& { return IntegerResampleWindow(); } },
      { "Resample", [] () -> TProcessingInterface& { return ResampleWindow(); } },
      { "Rotate", [] () -> TProcessingInterface& { return RotateWindow(); } },
      { "CropExpand", [] () -> TProcessingInterface& { return CropExpandWindow(); } },
      { "FITSKeywords", [] () -> TProcessingInterface& { return FITSHeaderWindow(); } },
      { "IPTCPhotoInfo", [] () -> TProcessingInterface& { return IPTCPhotoInfoWindow(); } },
      { "Preferences", [] () -> TProcessingInterface& { return PreferencesWindow(); } },
      { "RGBSpaceParameters", [] () -> TProcessingInterface& { return RGBSpaceParametersWindow(); } },
      { "SGBNR", [] () -> TProcessingInterface& { return SGBNRWindow(); } },
      { "ReadoutOptions", [] () -> TProcessingInterface& { return ReadoutOptionsWindow(); } },
      { "PixelMathTransform", [] () -> TProcessingInterface& { return PixelMathWindow(); } },
      { "HistogramsTransform", [] () -> TProcessingInterface& { return HistogramWindow(); } },
      { "CurvesTransform", [] () -> TProcessingInterface& { return CurvesWindow(); } },
      { "ImageIdentifier", [] () -> TProcessingInterface& { return ImageIdentifierWindow(); } },
      { "NewImage", [] () -> TProcessingInterface& { return NewImageWindow(); } },
      { "AssignICCProfile", [] () -> TProcessingInterface& { return AssignICCProfileWindow(); } },
      { "MedianFilter", [] () -> TProcessingInterface& { return MedianFilterWindow(); } },
      { "MinMaxFilter", [] () -> TProcessingInterface& { return MinMaxFiltersWindow(); } },
      { "SCNR", [] () -> TProcessingInterface& { return SCNRWindow(); } },
   };
   return windows;
}

// The object names of each process's action among the main window's actions, the first found answering. The global
// processes' own Process menu commands come first; the Edit and File commands open the same windows.
const std::map<std::string, std::vector<const char*>>& ActionNames()
{
   static const std::map<std::string, std::vector<const char*>> names = {
      { "ATrousWaveletTransform", { "ProcessATrousWavelets_Action" } },
      { "AssignICCProfile", { "ProcessAssignICCProfile_Action" } },
      { "ConvertToGrayscale", { "ColorSpaceConvertToGrayscale_Action" } },
      { "ConvertToRGBColor", { "ColorSpaceConvertToRGBColor_Action" } },
      { "CropExpand", { "ProcessCropExpand_Action" } },
      { "CurvesTransform", { "ProcessCurves_Action" } },
      { "DynamicBackgroundExtraction", { "DynamicBackgroundExtractionMode_Action" } },
      { "DynamicCrop", { "DynamicCropMode_Action" } },
      { "ExtractChannels", { "ProcessExtractChannels_Action" } },
      { "FITSKeywords", { "ProcessFITSKeywords_Action", "FileFITSHeader_Action" } },
      { "FastRotate", { "ProcessFastRotate_Action" } },
      { "HistogramsTransform", { "ProcessHistograms_Action" } },
      { "IPTCPhotoInfo", { "ProcessIPTCPhotoInfo_Action", "FileIPTCPhotoInfo_Action" } },
      { "ImageIdentifier", { "ProcessImageIdentifier_Action" } },
      { "ImportChannels", { "ProcessImportChannels_Action" } },
      { "IntegerResample", { "ProcessIntegerResample_Action" } },
      { "Invert", { "ImageInvert_Action" } },
      { "MedianFilter", { "ProcessMedianFilter_Action" } },
      { "MinMaxFilter", { "ProcessMinMaxFilter_Action" } },
      { "NewImage", { "ProcessNewImage_Action" } },
      { "PixelMathTransform", { "ProcessPixelMath_Action" } },
      { "Preferences", { "ProcessPreferences_Action", "EditPreferences_Action" } },
      { "ProcessContainer", { "ProcessProcessContainer_Action" } },
      { "RGBSpaceParameters", { "ProcessRGBSpaceParameters_Action" } },
      { "ReadoutOptions", { "ProcessReadoutOptions_Action", "EditReadoutOptions_Action" } },
      { "Resample", { "ProcessResample_Action" } },
      { "Rotate", { "ProcessRotate_Action" } },
      { "SCNR", { "ProcessSCNR_Action" } },
      { "SGBNR", { "ProcessSGBNR_Action" } },
   };
   return names;
}

QAction* MainWindowAction( const std::string& processId )
{
   auto names = ActionNames().find( processId );
   if ( MainWindow == nullptr || names == ActionNames().end() )
      return nullptr;
   for ( const char* name : names->second )
      if ( auto* action = MainWindow->findChild<QAction*>( name, Qt::FindDirectChildrenOnly ) )
         return action;
   return nullptr;
}

// The windows that open in a way of their own: through the main window's action when there is one (the action
// shows the window as its menu item does), or restored when minimised or collapsed and brought to the front.
const std::map<std::string, std::function<void( const Process& )>>& OwnOpeners()
{
   static const std::map<std::string, std::function<void( const Process& )>> openers = {
      { "AssignICCProfile",
        []( const Process& instance )
        {
           AssignICCProfileWindow().ImportInstance( instance );
           if ( QAction* action = MainWindowAction( instance.Id() ) )
              action->trigger();
           else
              AssignICCProfileWindow().show();
        } },
      { "HistogramsTransform",
        []( const Process& instance )
        {
           THistogramWindow& window = HistogramWindow();
           window.ImportInstance( instance );
           if ( QAction* action = MainWindowAction( instance.Id() ) )
              action->trigger();
           else
              ShowForm( &window );
        } },
      { "MedianFilter",
        []( const Process& instance )
        {
           MedianFilterWindow().ImportInstance( instance );
           ShowForm( &MedianFilterWindow() );
        } },
      { "MinMaxFilter",
        []( const Process& instance )
        {
           MinMaxFiltersWindow().ImportInstance( instance );
           ShowForm( &MinMaxFiltersWindow() );
        } },
      { "SCNR",
        []( const Process& instance )
        {
           SCNRWindow().ImportInstance( instance );
           ShowForm( &SCNRWindow() );
        } },
   };
   return openers;
}

class GlobalProcessWindows final : public ProcessWindowService
{
public:
   bool IsAvailable( const std::string& processId ) override
   {
      return Windows().count( processId ) != 0 || OwnOpeners().count( processId ) != 0;
   }

   QAction* Action( const std::string& processId ) override { return MainWindowAction( processId ); }

   bool IsInterfaceAvailable( const std::string& processId ) override
   {
      if ( MainWindow == nullptr )
         return IsAvailable( processId );
      const QAction* action = MainWindowAction( processId );
      return action != nullptr && action->isEnabled();
   }

   bool Open( const Process& instance ) override
   {
      auto own = OwnOpeners().find( instance.Id() );
      if ( own != OwnOpeners().end() )
      {
         own->second( instance );
         return true;
      }
      auto entry = Windows().find( instance.Id() );
      if ( entry == Windows().end() )
         return false;
      TProcessingInterface& window = entry->second();
      window.ImportInstance( instance );
      if ( window.isMinimized() )
         window.showNormal();
      window.show();
      window.raise();
      window.activateWindow();
      return true;
   }
};

} // namespace

void InstallProcessWindows()
{
   static GlobalProcessWindows windows;
   SetProcessWindowService( &windows );
}
