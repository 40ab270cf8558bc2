#include "process/ImageIdentifier.h"

#include <QWidget>

#include "classlib/File.h"
#include "process/ImageWindowService.h"
#include "process/ProcessWindows.h"
#include "support/Utils.h"

// ---- Parameters -------------------------------------------------------------------------------------------------

std::unique_ptr<Process::Parameters> ImageIdentifier::Parameters::Clone() const
{
   return std::make_unique<Parameters>( *this );
}

void ImageIdentifier::Parameters::Assign( const Process::Parameters& source )
{
   id = dynamic_cast<const Parameters&>( source ).id;
}

void ImageIdentifier::Parameters::Read( qor::File& file, float )
{
   // ReadString refuses a negative length and one beyond the end of the file before it allocates anything.
   const int32_t length = file.ReadValue<int32_t>();
   id = length != 0 ? file.ReadString( length ) : std::string();
}

void ImageIdentifier::Parameters::Write( qor::File& file, float ) const
{
   file.WriteValue( int32_t( id.size() ) );
   if ( !id.empty() )
      file.WriteString( id );
}

std::string ImageIdentifier::Parameters::ToText( int32_t ) const
{
   return "id=\"" + id + "\"";
}

// ---- Process ----------------------------------------------------------------------------------------------------

ImageIdentifier::ImageIdentifier()
{
   parameters = std::make_unique<Parameters>();
}

ImageIdentifier::ImageIdentifier( const std::string& id ) : ImageIdentifier()
{
   WantedId() = id;
}

ImageIdentifier::ImageIdentifier( const ImageIdentifier& source ) : ImageProcess( source )
{
   parameters = source.parameters->Clone();
}

std::unique_ptr<Process> ImageIdentifier::Clone() const
{
   return std::make_unique<ImageIdentifier>( *this );
}

std::string ImageIdentifier::Id() const
{
   return "ImageIdentifier";
}

bool ImageIdentifier::IsInterface( const QWidget* form ) const
{
   return form != nullptr &&
          ( form->inherits( "TImageIdentifierWindow" ) || form->inherits( "TImageIdentifierDialog" ) );
}

bool ImageIdentifier::IsInterfaceAvailable() const
{
   return IsProcessInterfaceAvailable( Id() );
}

void ImageIdentifier::LaunchInterface()
{
   if ( !OpenProcessWindow( *this ) )
      ImageProcess::LaunchInterface();
}

std::string ImageIdentifier::NewIdentifier( const std::string& wanted, const std::string& current )
{
   if ( wanted == current )
      return current;
   std::string checked;
   ParseIdentifier( checked, wanted, true, true );
   ImageWindowService& windows = ImageWindows();
   const std::string expanded = windows.ExpandIdentifierMacros( checked, current, false );
   if ( expanded == current )
      return current;
   std::string unique = windows.UniqueImageIdentifier( expanded );
   ParseIdentifier( unique, unique, false, false );
   return unique;
}

void ImageIdentifier::DoExecuteOn( ProcessView& view )
{
   const std::string current = view.MainViewId();
   const std::string identifier = NewIdentifier( WantedId(), current );
   if ( identifier != current )
      view.SetMainViewId( identifier );
}

bool ImageIdentifier::IsMaskable( const ProcessView&, const MaskTarget* ) const
{
   return false;
}

uint32_t ImageIdentifier::UndoFlags( const ProcessView& ) const
{
   return UndoMainViewId;
}
