#include "process/ConvertToRGBColor.h"

#include "classlib/Image.h"
#include "classlib/RGBColorSystem.h"
#include "platform/Prompter.h"

std::unique_ptr<Process> ConvertToRGBColor::Clone() const
{
   return std::make_unique<ConvertToRGBColor>( *this );
}

std::string ConvertToRGBColor::Id() const
{
   return "ConvertToRGBColor";
}

bool ConvertToRGBColor::CanExecuteOn( const ProcessView& view ) const
{
   // Judged by the pixels the run starts from: a preview returns to what it stored first.
   const qor::Image* image = view.StartingImage();
   return image != nullptr && !image->IsColor();
}

bool ConvertToRGBColor::ConfirmExecutionOn( ProcessView& view )
{
   if ( view.IsPreview() || !view.HasMaskReferences() )
      return true;
   return platform::Ask( platform::Icon::None, QString::fromStdString( Id() ),
                         "Mask references will be destroyed. These side-effects cannot be undone. Proceed?",
                         platform::Buttons::YesNo, platform::Answer::No ) == platform::Answer::Yes;
}

void ConvertToRGBColor::DoExecuteOn( ProcessView& view )
{
   qor::Image* image = view.TargetImage();
   if ( image == nullptr )
      return;
   // The conversion leaves the image as it was when it is aborted, and the mask references with it.
   image->SetColorSpace( qor::ColorSpace::RGB, WorkingSpaceOf( view ) );
   if ( !view.IsPreview() )
      view.ReleaseMaskReferences();
   view.Modified( true );
}

bool ConvertToRGBColor::IsMaskable( const ProcessView&, const MaskTarget* ) const
{
   return false;
}
