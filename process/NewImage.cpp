#include "process/NewImage.h"

#include <QWidget>

#include <cstdio>

#include "classlib/ColorSpace.h"
#include "classlib/File.h"
#include "classlib/Image.h"
#include "platform/SystemMemory.h"
#include "process/ImageWindowService.h"
#include "process/ProcessWindows.h"
#include "support/Utils.h"

namespace
{

std::string Format( const char* format, auto... values )
{
   char text[256];
   std::snprintf( text, sizeof text, format, values... );
   return text;
}

} // namespace

// ---- Parameters -------------------------------------------------------------------------------------------------

std::unique_ptr<Process::Parameters> NewImage::Parameters::Clone() const
{
   return std::make_unique<Parameters>( *this );
}

void NewImage::Parameters::Assign( const Process::Parameters& source )
{
   const auto& p = dynamic_cast<const Parameters&>( source );
   id = p.id;
   width = p.width;
   height = p.height;
   colorMode = p.colorMode;
   initialColor.Assign( p.initialColor );
}

void NewImage::Parameters::Read( qor::File& file, float version )
{
   // Read aside, so that a short stream leaves the set as it was. ReadString refuses a negative length and one
   // beyond the end of the file before it allocates. Sizes are checked when an image is made: a stored instance
   // with a size the window would not accept can still be loaded and corrected.
   Parameters p;
   const int32_t length = file.ReadValue<int32_t>();
   p.id = length != 0 ? file.ReadString( length ) : std::string();
   p.width = file.ReadValue<int32_t>();
   p.height = file.ReadValue<int32_t>();
   p.colorMode = file.ReadValue<uint8_t>() != 0;
   p.initialColor.Read( file, version );
   Assign( p );
}

void NewImage::Parameters::Write( qor::File& file, float version ) const
{
   file.WriteValue( int32_t( id.size() ) );
   if ( !id.empty() )
      file.WriteString( id );
   file.WriteValue( width );
   file.WriteValue( height );
   file.WriteValue( uint8_t( colorMode ? 1 : 0 ) );
   initialColor.Write( file, version );
}

std::string NewImage::Parameters::ToText( int32_t level ) const
{
   std::string text = "id=" + ( id.empty() ? std::string( "<auto>" ) : '"' + id + '"' );
   text += ",\nwidth=" + std::to_string( width ) + ",\nheight=" + std::to_string( height );
   text += ",\ncolorMode=\"" + std::string( colorMode ? "color" : "grayscale" ) + "\"";
   return text + ( level < 0 ? ",..." : ",\ninitialColor={" + initialColor.ToText( level ) + "}" );
}

// ---- Process ----------------------------------------------------------------------------------------------------

NewImage::NewImage()
{
   parameters = std::make_unique<Parameters>();
}

NewImage::NewImage( const Parameters& p ) : NewImage()
{
   Params().Assign( p );
}

NewImage::NewImage( const NewImage& source ) : GlobalProcess( source )
{
   parameters = source.parameters->Clone();
}

std::unique_ptr<Process> NewImage::Clone() const
{
   return std::make_unique<NewImage>( *this );
}

std::string NewImage::Id() const
{
   return "NewImage";
}

bool NewImage::IsInterface( const QWidget* form ) const
{
   return form != nullptr && form->inherits( "TNewImageWindow" );
}

bool NewImage::IsInterfaceAvailable() const
{
   return IsProcessInterfaceAvailable( Id() );
}

void NewImage::LaunchInterface()
{
   if ( !OpenProcessWindow( *this ) )
      GlobalProcess::LaunchInterface();
}

uint64_t NewImage::ImageBytes( int32_t width, int32_t height, bool colorMode )
{
   return uint64_t( width ) * uint64_t( height ) * ( colorMode ? 3u : 1u ) * sizeof( float );
}

std::string NewImage::NewIdentifier() const
{
   std::string checked;
   ParseIdentifier( checked, Params().id, true, true );
   ImageWindowService& windows = ImageWindows();
   std::string identifier = windows.UniqueImageIdentifier( windows.ExpandIdentifierMacros( checked, "", false ) );
   ParseIdentifier( identifier, identifier, false, false );
   return identifier;
}

void NewImage::ExecuteGlobal()
{
   const Parameters& p = Params();
   // A stream may hold any size; the window accepts only these.
   if ( p.width < 1 || p.width > MaxImageSize || p.height < 1 || p.height > MaxImageSize )
      throw ProcessRefusal( Format( "Invalid image size: %dx%d pixels. Width and height must be from 1 to %d pixels.",
                                    p.width, p.height, MaxImageSize ) );
   const std::string identifier = NewIdentifier();

   // An allocation is granted whether or not the memory exists; filling an image that does not fit would end the
   // program with every open image in it.
   const uint64_t bytes = ImageBytes( p.width, p.height, p.colorMode );
   const std::optional<uint64_t> available = platform::AvailableMemory();
   if ( available && bytes > *available )
      throw ProcessRefusal( Format( "Not enough memory for a new %dx%d %s image: %.3f MB needed, %.3f MB available.",
                                    p.width, p.height, p.colorMode ? "RGB color" : "grayscale",
                                    double( bytes ) / 1048576, double( *available ) / 1048576 ) );

   auto image = std::make_unique<qor::Image>();
   if ( p.colorMode )
   {
      image->Allocate( p.width, p.height, 3, qor::ColorSpace::RGB );
      image->Fill( 0, p.initialColor.red );
      image->Fill( 1, p.initialColor.green );
      image->Fill( 2, p.initialColor.blue );
   }
   else
   {
      image->Allocate( p.width, p.height, 1, qor::ColorSpace::Gray );
      image->Fill( 0, p.initialColor.red );
   }
   ImageWindowService& windows = ImageWindows();
   windows.CreateImageWindow( std::move( image ), identifier, windows.GlobalRGBWorkingSpace() );
}
