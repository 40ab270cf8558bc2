#include "process/ColorManagementProcess.h"

std::string ColorManagementProcess::Category() const
{
   return "Color Management";
}

bool ColorManagementProcess::CanExecuteOn( const ProcessView& view ) const
{
   return !view.IsPreview();
}
