#include "process/ColorChannelsParameters.h"

#include "classlib/Exception.h"
#include "classlib/File.h"

namespace
{

const char* const spaceNames[] = { "Gray", "RGB", "HSV", "CIEXYZ", "CIELab", "CIELch" };
const char* const componentNames[6][3] = { { "R", "G", "B" },  { "R", "G", "B" },   { "H", "S", "V" },
                                           { "X", "Y", "Z" },  { "L*", "a*", "b*" }, { "L*", "c*", "h*" } };
const char* const suffixes[6][3] = { { "R", "G", "B" }, { "R", "G", "B" }, { "H", "S", "V" },
                                     { "X", "Y", "Z" }, { "L", "a", "b" }, { "L", "c", "h" } };

int32_t Row( int32_t colorSpace )
{
   return ColorChannelsParameters::IsValidColorSpace( colorSpace ) ? colorSpace : 1;
}

std::string ReadIdentifier( qor::File& file )
{
   const int32_t length = file.ReadValue<int32_t>();
   if ( length < 0 || length > file.BytesLeft() )
      throw qor::GenericException( "Invalid image identifier length in channel parameters: " +
                                   std::to_string( length ) );
   return file.ReadString( length );
}

} // namespace

std::unique_ptr<Process::Parameters> ColorChannelsParameters::Clone() const
{
   return std::make_unique<ColorChannelsParameters>( *this );
}

void ColorChannelsParameters::Assign( const Process::Parameters& source )
{
   *this = dynamic_cast<const ColorChannelsParameters&>( source );
}

void ColorChannelsParameters::Read( qor::File& file, float )
{
   ColorChannelsParameters p;
   file.ReadValue( p.colorSpace );
   for ( bool& channel : p.channels )
      channel = file.ReadValue<uint8_t>() != 0;
   for ( std::string& identifier : p.imageIdentifiers )
      identifier = ReadIdentifier( file );
   // A colour space outside the five would select no component formulas at all.
   if ( !IsValidColorSpace( p.colorSpace ) )
      throw qor::GenericException( "Invalid color space in channel parameters: " + std::to_string( p.colorSpace ) );
   *this = p;
}

void ColorChannelsParameters::Write( qor::File& file, float ) const
{
   file.WriteValue( colorSpace );
   for ( bool channel : channels )
      file.WriteValue( uint8_t( channel ? 1 : 0 ) );
   for ( const std::string& identifier : imageIdentifiers )
   {
      file.WriteValue( int32_t( identifier.size() ) );
      file.WriteString( identifier );
   }
}

std::string ColorChannelsParameters::ToText( int32_t level ) const
{
   std::string text = "colorSpace=\"";
   text += ( colorSpace >= 0 && colorSpace <= 5 ) ? spaceNames[colorSpace] : "";
   text += "\",\nchannels={";
   for ( int i = 0; i < 3; ++i )
      text += std::string( i > 0 ? "," : "" ) + ( channels[size_t( i )] ? "1" : "0" );
   text += "}";
   if ( level < 0 )
      return text + ",...";
   text += ",\nimageIdentifiers={";
   for ( int i = 0; i < 3; ++i )
      text += std::string( i > 0 ? ", " : "" ) + "\"" + imageIdentifiers[size_t( i )] + "\"";
   return text + "}";
}

bool ColorChannelsParameters::IsValidColorSpace( int32_t colorSpace )
{
   return colorSpace >= 1 && colorSpace <= 5;
}

std::string ColorChannelsParameters::ComponentName( int32_t colorSpace, int i )
{
   return componentNames[Row( colorSpace )][i];
}

std::string ColorChannelsParameters::ComponentSuffix( int32_t colorSpace, int i )
{
   return suffixes[Row( colorSpace )][i];
}

std::string ColorChannelsParameters::DefaultIdentifier( int32_t colorSpace, int i )
{
   std::string identifier = "&imageId;_";
   identifier += ComponentSuffix( colorSpace, i );
   identifier += "&uniqueId;";
   return identifier;
}
