#include "process/GeometricProcess.h"

#include "classlib/Image.h"

std::string GeometricProcess::Category() const
{
   return "Geometry";
}

bool GeometricProcess::CanExecuteOn( const ProcessView& view ) const
{
   if ( view.IsPreview() )
      return false;
   const qor::Image* image = view.TargetImage();
   if ( image == nullptr )
      return false;
   return CanExecuteOnSize( view, image->Width(), image->Height() );
}

bool GeometricProcess::CanExecuteOnSize( const ProcessView& view, int32_t width, int32_t height ) const
{
   if ( view.IsPreview() )
      return false;
   GetNewSize( width, height, view );
   return IsValidSize( width, height );
}
