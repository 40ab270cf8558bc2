#include "process/ChannelFactors.h"

#include <algorithm>

#include "classlib/File.h"
#include "support/Utils.h"

std::unique_ptr<Process::Parameters> ChannelFactors::Clone() const
{
   return std::make_unique<ChannelFactors>( *this );
}

void ChannelFactors::Assign( const Process::Parameters& source )
{
   *this = dynamic_cast<const ChannelFactors&>( source );
}

void ChannelFactors::Read( qor::File& file, float )
{
   // Read aside, so that a short stream leaves the set as it was.
   float f[3];
   for ( float& v : f )
      file.ReadValue( v );
   bool inv = file.ReadValue<uint8_t>() != 0;
   std::copy( f, f + 3, factors );
   invert = inv;
}

void ChannelFactors::Write( qor::File& file, float ) const
{
   for ( float v : factors )
      file.WriteValue( v );
   file.WriteValue( uint8_t( invert ? 1 : 0 ) );
}

std::string ChannelFactors::ToText( int32_t ) const
{
   return FormatReal( factors[0], 6 ) + ", " + FormatReal( factors[1], 6 ) + ", " + FormatReal( factors[2], 6 ) +
          ", invert=" + ( invert ? '1' : '0' );
}
