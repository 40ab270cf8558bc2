// The global processing window of each process that has one, reached by the process's identifier
// (process/ProcessWindows.h). Each window is made on first use, owned by the main window when there is one, and
// kept until the program ends.

#include "process/ProcessWindows.h"

#include <functional>
#include <map>

#include "process/Process.h"
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
   };
   return windows;
}

} // namespace

bool IsProcessWindowAvailable( const std::string& processId )
{
   return Windows().count( processId ) != 0;
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
