#include "process/ImageProcess.h"

std::string ImageProcess::Category() const
{
   return "Image";
}

bool ImageProcess::CanExecuteOn( const ProcessView& view ) const
{
   return !view.IsPreview();
}
