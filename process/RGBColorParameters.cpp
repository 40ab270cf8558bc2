#include "process/RGBColorParameters.h"

#include "classlib/File.h"
#include "support/Utils.h"

std::unique_ptr<Process::Parameters> RGBColorParameters::Clone() const
{
   return std::make_unique<RGBColorParameters>( *this );
}

void RGBColorParameters::Assign( const Process::Parameters& source )
{
   *this = dynamic_cast<const RGBColorParameters&>( source );
}

void RGBColorParameters::Read( qor::File& file, float )
{
   // Read aside, so that a short stream leaves the colour as it was.
   float r = file.ReadValue<float>();
   float g = file.ReadValue<float>();
   float b = file.ReadValue<float>();
   red = r;
   green = g;
   blue = b;
}

void RGBColorParameters::Write( qor::File& file, float ) const
{
   file.WriteValue( red );
   file.WriteValue( green );
   file.WriteValue( blue );
}

std::string RGBColorParameters::ToText( int32_t ) const
{
   return FormatReal( red, 4 ) + ',' + FormatReal( green, 4 ) + ',' + FormatReal( blue, 4 );
}
