// The one list of the program's process classes. A new process adds its header and one Register line here; the
// registry sorts the entries itself, so the order of the lines does not matter.

#include "process/ATrousWaveletsTransform.h"
#include "process/AssignICCProfile.h"
#include "process/ConvertToGrayscale.h"
#include "process/ConvertToRGBColor.h"
#include "process/CropExpand.h"
#include "process/CurvesTransform.h"
#include "process/DynamicCrop.h"
#include "process/DynamicBackgroundExtraction.h"
#include "process/ExtractChannels.h"
#include "process/FastRotate.h"
#include "process/FITSKeywords.h"
#include "process/HistogramsTransform.h"
#include "process/IPTCPhotoInfoData.h"
#include "process/ImageIdentifier.h"
#include "process/ImportChannels.h"
#include "process/IntegerResample.h"
#include "process/Invert.h"
#include "process/MedianFilter.h"
#include "process/MinMaxFilter.h"
#include "process/PixelMathTransform.h"
#include "process/NewImage.h"
#include "process/Preferences.h"
#include "process/ProcessContainer.h"
#include "process/ProcessRegistry.h"
#include "process/ReadoutOptions.h"
#include "process/RGBSpaceParameters.h"
#include "process/Resample.h"
#include "process/Rotate.h"
#include "process/SCNR.h"
#include "process/SGBNR.h"

void RegisterProcesses( ProcessRegistry& registry )
{
   registry.Register<ProcessContainer>();
   registry.Register<ConvertToGrayscale>();
   registry.Register<ConvertToRGBColor>();
   registry.Register<RGBSpaceParameters>();
   registry.Register<ExtractChannels>();
   registry.Register<ImportChannels>();
   registry.Register<MinMaxFilter>();
   registry.Register<MedianFilter>();
   registry.Register<SCNR>();
   registry.Register<ATrousWaveletsTransform>();
   registry.Register<AssignICCProfile>();
   registry.Register<SGBNR>();
   registry.Register<Invert>();
   registry.Register<FastRotate>();
   registry.Register<IntegerResample>();
   registry.Register<Resample>();
   registry.Register<Rotate>();
   registry.Register<CropExpand>();
   registry.Register<DynamicCrop>();
   registry.Register<ReadoutOptions>();
   registry.Register<FITSKeywords>();
   registry.Register<IPTCPhotoInfoData>();
   registry.Register<Preferences>();
   registry.Register<PixelMathTransform>();
   registry.Register<HistogramsTransform>();
   registry.Register<CurvesTransform>();
   registry.Register<ImageIdentifier>();
   registry.Register<NewImage>();
   registry.Register<DynamicBackgroundExtraction>();
}
