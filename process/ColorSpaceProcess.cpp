#include "process/ColorSpaceProcess.h"

std::string ColorSpaceProcess::Category() const
{
   return "Color Spaces";
}
