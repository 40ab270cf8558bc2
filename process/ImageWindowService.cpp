#include "process/ImageWindowService.h"

namespace
{

ImageWindowService* installed = nullptr;

} // namespace

ImageWindowService& ImageWindows()
{
   return installed != nullptr ? *installed : DefaultImageWindowService();
}

ImageWindowService* SetImageWindowService( ImageWindowService* service )
{
   ImageWindowService* previous = installed;
   installed = service;
   return previous;
}
