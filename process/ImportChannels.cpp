#include "process/ImportChannels.h"

#include <QWidget>

#include "classlib/ColorChannels.h"
#include "classlib/Image.h"
#include "classlib/RGBColorSystem.h"
#include "platform/Prompter.h"
#include "process/ImageWindowService.h"
#include "process/ProcessWindows.h"
#include "support/Utils.h"

namespace
{

constexpr const char* noSourceText = "ImportChannels: No source image was specified";

// The grey image that the template names for the target, with its samples; throws the run's error texts.
const qor::Image& FindSource( const std::string& templ, const ProcessView& target )
{
   // A damaged template (an "&" that no ";" closes) is refused by its syntax before it is expanded.
   std::string checked;
   ParseIdentifier( checked, templ, true, true );
   ImageWindowService& windows = ImageWindows();
   const std::string identifier = windows.ExpandIdentifierMacros( checked, target.MainViewId(), true );
   ProcessView* view = windows.FindMainView( identifier );
   if ( view == nullptr || view->TargetImage() == nullptr )
      throw qor::GenericException( "ImportChannels: Source image not found: " + templ );
   const qor::Image& source = *view->TargetImage();
   const qor::Image* whole = target.WholeImage();
   if ( source.IsColor() || whole == nullptr || source.Width() != whole->Width() ||
        source.Height() != whole->Height() )
      throw qor::GenericException( "ImportChannels: Incompatible source image: " + identifier );
   if ( source.IsEmpty() )
      throw qor::GenericException( "ImportChannels: Unable to address channel data: " + identifier );
   return source;
}

} // namespace

ImportChannels::ImportChannels()
{
   parameters = std::make_unique<Parameters>();
}

ImportChannels::ImportChannels( const ImportChannels& source ) : ColorSpaceProcess( source )
{
   parameters = source.parameters->Clone();
}

std::unique_ptr<Process> ImportChannels::Clone() const
{
   return std::make_unique<ImportChannels>( *this );
}

std::string ImportChannels::Id() const
{
   return "ImportChannels";
}

bool ImportChannels::IsInterface( const QWidget* form ) const
{
   return form != nullptr && form->inherits( "TImportChannelsWindow" );
}

bool ImportChannels::IsInterfaceAvailable() const
{
   return IsProcessInterfaceAvailable( Id() );
}

void ImportChannels::LaunchInterface()
{
   if ( !OpenProcessWindow( *this ) )
      ColorSpaceProcess::LaunchInterface();
}

bool ImportChannels::CanExecuteOn( const ProcessView& view ) const
{
   // A run on a preview starts from its stored state (or the whole image's pixels), whatever a former run made of
   // its current pixels: that is the image the run converts.
   const qor::Image* image = view.StartingImage();
   return image != nullptr && image->IsColor();
}

bool ImportChannels::ConfirmExecutionOn( ProcessView& )
{
   if ( !Values().NoChannel() )
      return true;
   platform::ShowMessage( platform::Icon::Warning, "Import Channels", noSourceText );
   return false;
}

void ImportChannels::DoExecuteOn( ProcessView& view )
{
   const Parameters& p = Values();
   qor::Image* target = view.TargetImage();
   if ( target == nullptr )
      return;
   if ( p.NoChannel() )
      throw qor::GenericException( noSourceText );

   int32_t left = 0, top = 0;
   view.PreviewOrigin( left, top );
   std::array<const float*, 3> sources = {};
   int64_t stride = 0;
   for ( size_t i = 0; i < 3; ++i )
      if ( p.channels[i] )
      {
         const qor::Image& source = FindSource( p.imageIdentifiers[i], view );
         stride = source.Width();
         sources[i] = source.PixelData( 0 ) + int64_t( top ) * stride + left;
      }

   qor::ImportColorChannels( *target, p.colorSpace, sources, stride, WorkingSpaceOf( view ) );
   view.Modified( true );
}
