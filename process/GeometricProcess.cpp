#include "process/GeometricProcess.h"

#include <algorithm>

#include "classlib/Image.h"
#include "platform/Prompter.h"
#include "process/ImageWindowService.h"
#include "process/RGBColorParameters.h"

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

bool GeometricProcess::ConfirmExecutionOn( ProcessView& view )
{
   return ConfirmDestroyingPreviewsAndMasks( view, Id(), ConfirmationText() );
}

bool GeometricProcess::ConfirmDestroyingPreviewsAndMasks( ProcessView& view, const std::string& caption,
                                                          const std::string& text )
{
   if ( ImageWindows().Previews( view ).empty() && !view.HasMaskReferences() )
      return true;
   return platform::Ask( platform::Icon::None, QString::fromStdString( caption ), QString::fromStdString( text ),
                         platform::Buttons::YesNo, platform::Answer::No ) == platform::Answer::Yes;
}

std::string GeometricProcess::ConfirmationText() const
{
   return DestroyingPreviewsAndMasksText;
}

void GeometricProcess::AfterExecutionOn( ProcessView& view )
{
   ImageWindows().ImageSizeChanged( view, false );
}

bool GeometricProcess::IsMaskable( const ProcessView&, const MaskTarget* ) const
{
   return false;
}

void GeometricProcess::FinishGeometryChange( ProcessView& view, bool modified )
{
   ImageWindows().DeleteAllPreviews( view );
   view.ReleaseMaskReferences();
   view.RemoveMask();
   if ( modified )
      view.Modified( true );
}

std::vector<float> GeometricProcess::FillValues( const RGBColorParameters& color, const qor::Image& image )
{
   std::vector<float> fill = { color.red, color.green, color.blue };
   fill.resize( size_t( std::clamp( image.NumberOfNominalChannels(), 0, 3 ) ) );
   return fill;
}
