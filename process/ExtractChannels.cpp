#include "process/ExtractChannels.h"

#include <QWidget>

#include "classlib/ColorChannels.h"
#include "classlib/Image.h"
#include "classlib/RGBColorSystem.h"
#include "process/ImageWindowService.h"
#include "process/ProcessWindows.h"
#include "support/Utils.h"

ExtractChannels::ExtractChannels()
{
   parameters = std::make_unique<Parameters>();
}

ExtractChannels::ExtractChannels( const ExtractChannels& source ) : ColorSpaceProcess( source )
{
   parameters = source.parameters->Clone();
}

std::unique_ptr<Process> ExtractChannels::Clone() const
{
   return std::make_unique<ExtractChannels>( *this );
}

std::string ExtractChannels::Id() const
{
   return "ExtractChannels";
}

bool ExtractChannels::IsInterface( const QWidget* form ) const
{
   return form != nullptr && form->inherits( "TExtractChannelsWindow" );
}

bool ExtractChannels::IsInterfaceAvailable() const
{
   return IsProcessInterfaceAvailable( Id() );
}

void ExtractChannels::LaunchInterface()
{
   if ( !OpenProcessWindow( *this ) )
      ColorSpaceProcess::LaunchInterface();
}

bool ExtractChannels::CanExecuteOn( const ProcessView& view ) const
{
   const qor::Image* image = view.TargetImage();
   return !view.IsPreview() && image != nullptr && image->IsColor();
}

void ExtractChannels::DoExecuteOn( ProcessView& view )
{
   const Parameters& p = Values();
   const qor::Image* source = view.TargetImage();
   if ( source == nullptr || p.NoChannel() )
      return;
   const qor::RGBColorSystem& rgbws = WorkingSpaceOf( view );
   std::array<std::unique_ptr<qor::Image>, 3> images =
      qor::ExtractColorChannels( *source, p.colorSpace, p.channels, rgbws );
   source->Status().SetCallback( nullptr, nullptr );

   ImageWindowService& windows = ImageWindows();
   for ( size_t i = 0; i < 3; ++i )
   {
      if ( images[i] == nullptr )
         continue;
      std::string templ;
      ParseIdentifier( templ, p.imageIdentifiers[i], true, true );
      // Each window is opened before the next identifier is made, so equal templates give distinct identifiers.
      std::string identifier =
         windows.UniqueImageIdentifier( windows.ExpandIdentifierMacros( templ, view.MainViewId(), false ) );
      ParseIdentifier( identifier, identifier, false, false );
      windows.CreateImageWindow( std::move( images[i] ), identifier, rgbws );
   }
}

bool ExtractChannels::IsMaskable( const ProcessView&, const MaskTarget* ) const
{
   return false;
}

bool ExtractChannels::ModifiesTarget( const ProcessView& ) const
{
   return false;
}
