// The global processing window and the main window's action of each process, reached by the process's identifier
// (process/ProcessWindows.h). Each window is made on first use, owned by the main window when there is one, and
// kept until the program ends.

#include "process/ProcessWindows.h"

#include <QAction>

#include <functional>
#include <map>
#include <vector>

#include "process/Process.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/AssignICCProfileWindow.h"
#include "windows/processing/MedianFilterWindow.h"
#include "windows/processing/MinMaxFiltersWindow.h"
#include "windows/processing/SCNRWindow.h"
#include "windows/processing/ATrousWaveletsWindow.h"
#include "windows/processing/CurvesWindow.h"
#include "windows/processing/ExtractChannelsWindow.h"
#include "windows/processing/FastRotateWindow.h"
#include "windows/processing/HistogramWindow.h"
#include "windows/processing/ImportChannelsWindow.h"
#include "windows/processing/ProcessContainerWindow.h"
#include "windows/processing/IntegerResampleWindow.h"
#include "windows/processing/FITSHeaderWindow.h"
#include "windows/processing/IPTCPhotoInfoWindow.h"
#include "windows/processing/PixelMathWindow.h"
#include "windows/processing/PreferencesWindow.h"
#include "windows/processing/ProcessingInterface.h"
#include "windows/processing/ReadoutOptionsWindow.h"
#include "windows/processing/RGBSpaceParametersWindow.h"
#include "windows/processing/SGBNRWindow.h"
#include "windows/processing/ResampleWindow.h"
#include "windows/processing/RotateWindow.h"
#include "windows/processing/CropExpandWindow.h"
#include "windows/processing/ImageIdentifierWindow.h"
#include "windows/processing/NewImageWindow.h"

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

} // namespace

bool IsProcessWindowAvailable( const std::string& processId )
{
   return Windows().count( processId ) != 0;
}

QAction* ProcessAction( const std::string& processId )
{
   auto names = ActionNames().find( processId );
   if ( MainWindow == nullptr || names == ActionNames().end() )
      return nullptr;
   for ( const char* name : names->second )
      if ( auto* action = MainWindow->findChild<QAction*>( name, Qt::FindDirectChildrenOnly ) )
         return action;
   return nullptr;
}

bool IsProcessInterfaceAvailable( const std::string& processId )
{
   if ( MainWindow == nullptr )
      return IsProcessWindowAvailable( processId );
   const QAction* action = ProcessAction( processId );
   return action != nullptr && action->isEnabled();
}

bool OpenProcessWindow( const Process& instance )
{
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
