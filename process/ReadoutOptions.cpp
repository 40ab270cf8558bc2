#include "process/ReadoutOptions.h"

#include <QWidget>

#include "classlib/Exception.h"
#include "classlib/File.h"
#include "process/ProcessWindows.h"

// ---- Parameters -------------------------------------------------------------------------------------------------

std::unique_ptr<Process::Parameters> ReadoutOptions::Parameters::Clone() const
{
   return std::make_unique<Parameters>( *this );
}

void ReadoutOptions::Parameters::Assign( const Process::Parameters& source )
{
   options = dynamic_cast<const Parameters&>( source ).options;
}

void ReadoutOptions::Parameters::Read( qor::File& file, float )
{
   ReadoutOptionsData o;
   o.data = uint8_t( file.ReadValue<int32_t>() & 0xFF );
   o.mode = uint8_t( file.ReadValue<int32_t>() & 0xFF );
   o.probeSize = file.ReadValue<int32_t>();
   o.real = file.ReadValue<uint8_t>() != 0;
   o.precision = file.ReadValue<int32_t>();
   o.maxValue = file.ReadValue<uint32_t>();
   // Codes beyond the tables would read out nothing meaningful, and a huge precision or probe would be printed or
   // summed as asked.
   if ( o.data > 5 || o.mode > 3 || o.probeSize < 1 || o.probeSize > 15 || o.probeSize % 2 == 0 || o.precision < 1 ||
        o.precision > 6 )
      throw qor::GenericException( "Invalid readout options" );
   options = o;
}

void ReadoutOptions::Parameters::Write( qor::File& file, float ) const
{
   file.WriteValue( int32_t( options.data ) );
   file.WriteValue( int32_t( options.mode ) );
   file.WriteValue( options.probeSize );
   file.WriteValue( uint8_t( options.real ? 1 : 0 ) );
   file.WriteValue( options.precision );
   file.WriteValue( options.maxValue );
}

std::string ReadoutOptions::Parameters::ToText( int32_t ) const
{
   static const char* const data[] = { "RGBK", "RGBL", "HSV", "CIEXYZ", "CIELab", "CIELch" };
   static const char* const modes[] = { "mean", "median", "minimum", "maximum" };
   std::string text = "data=\"" + std::string( data[std::min<int>( options.data, 5 )] ) + "\"";
   text += ",\nmode=\"" + std::string( modes[std::min<int>( options.mode, 3 )] ) + "\"";
   text += ",\nprobeSize=" + std::to_string( options.probeSize );
   text += ",\nrange=\"" + std::string( options.real ? "real" : "integer" ) + "\"";
   if ( options.real )
      text += ",\nprecision=" + std::to_string( options.precision );
   else
      text += ",\nmaxValue=" + std::to_string( options.maxValue );
   return text;
}

// ---- Process ----------------------------------------------------------------------------------------------------

ReadoutOptions::ReadoutOptions()
{
   parameters = std::make_unique<Parameters>();
}

ReadoutOptions::ReadoutOptions( const ReadoutOptionsData& options ) : ReadoutOptions()
{
   Options() = options;
}

ReadoutOptions::ReadoutOptions( const ReadoutOptions& source ) : GlobalProcess( source )
{
   parameters = source.parameters->Clone();
}

std::unique_ptr<Process> ReadoutOptions::Clone() const
{
   return std::make_unique<ReadoutOptions>( *this );
}

std::string ReadoutOptions::Id() const
{
   return "ReadoutOptions";
}

bool ReadoutOptions::IsInterface( const QWidget* form ) const
{
   return form != nullptr && form->inherits( "TReadoutOptionsWindow" );
}

bool ReadoutOptions::IsInterfaceAvailable() const
{
   return IsProcessInterfaceAvailable( Id() );
}

void ReadoutOptions::LaunchInterface()
{
   if ( !OpenProcessWindow( *this ) )
      GlobalProcess::LaunchInterface();
}

void ReadoutOptions::ExecuteGlobal()
{
   ApplyReadoutOptions( Options() );
}

namespace
{

ReadoutOptionsHolder* holder = nullptr;
ReadoutOptionsData keptOptions;

} // namespace

void SetReadoutOptionsHolder( ReadoutOptionsHolder* installed )
{
   holder = installed;
}

ReadoutOptionsData CurrentReadoutOptions()
{
   return holder != nullptr ? holder->Current() : keptOptions;
}

void ApplyReadoutOptions( const ReadoutOptionsData& options )
{
   if ( holder != nullptr )
      holder->Apply( options );
   else
      keptOptions = options;
}
