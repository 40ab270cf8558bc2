#include "process/ConvertToGrayscale.h"

#include "classlib/Image.h"
#include "classlib/RGBColorSystem.h"

std::unique_ptr<Process> ConvertToGrayscale::Clone() const
{
   return std::make_unique<ConvertToGrayscale>( *this );
}

std::string ConvertToGrayscale::Id() const
{
   return "ConvertToGrayscale";
}

bool ConvertToGrayscale::CanExecuteOn( const ProcessView& view ) const
{
   // Judged by the pixels the run starts from: a preview returns to what it stored first.
   const qor::Image* image = view.StartingImage();
   return image != nullptr && image->IsColor();
}

void ConvertToGrayscale::DoExecuteOn( ProcessView& view )
{
   qor::Image* image = view.TargetImage();
   if ( image == nullptr )
      return;
   // The conversion leaves the image as it was when it is aborted, and the mask with it.
   image->SetColorSpace( qor::ColorSpace::Gray, WorkingSpaceOf( view ) );
   if ( view.HasColorMask() )
      view.RemoveMask();
   view.Modified( true );
}

bool ConvertToGrayscale::IsMaskable( const ProcessView&, const MaskTarget* ) const
{
   return false;
}
