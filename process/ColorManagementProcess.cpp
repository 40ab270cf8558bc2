#include "process/ColorManagementProcess.h"

std::string ColorManagementProcess::Category() const
{
   return "Color Management";
}
