#include "process/ColorSpaceProcess.h"

#include "classlib/RGBColorSystem.h"
#include "process/ImageWindowService.h"

std::string ColorSpaceProcess::Category() const
{
   return "Color Spaces";
}

const qor::RGBColorSystem& ColorSpaceProcess::WorkingSpaceOf( const ProcessView& view )
{
   const qor::RGBColorSystem* rgbws = view.RGBWorkingSpace();
   return rgbws != nullptr ? *rgbws : ImageWindows().GlobalRGBWorkingSpace();
}
