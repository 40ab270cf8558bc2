// Fuzzes the process icon set reader: any input reads every icon or fails with a module, file or stream error and
// keeps no icon, never with a crash, a huge allocation or a hang; a set that reads writes a file that reads back
// to the same icons: same places, identifiers and instances (each instance written again gives the same bytes).

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <unistd.h>

#include "FuzzInstance.h"
#include "classlib/Exception.h"
#include "process/Process.h"
#include "process/ProcessIconSetModule.h"
#include "process/ProcessRegistry.h"

extern "C" int LLVMFuzzerTestOneInput( const uint8_t* data, size_t size )
{
   static fuzz::MemoryFile input( "iconset" );
   static const std::string output = std::string( std::getenv( "TMPDIR" ) != nullptr ? std::getenv( "TMPDIR" ) : "/tmp" ) +
                                     "/IconSetFuzz-" + std::to_string( ::getpid() ) + ".lf-psm";
   static fuzz::MemoryFile record( "record" );
   TheProcessRegistry();

   input.Fill( data, size );
   ProcessIconSetModule module;
   try
   {
      module.Read( input.Path() );
   }
   catch ( const ProcessRefusal& )
   {
      if ( !module.records.empty() )
         std::abort();
      return 0;
   }
   catch ( const qor::Exception& )
   {
      if ( !module.records.empty() )
         std::abort();
      return 0;
   }

   module.Write( output );
   ProcessIconSetModule again;
   again.Read( output );
   if ( again.records.size() != module.records.size() )
      std::abort();
   for ( size_t i = 0; i < module.records.size(); ++i )
      if ( again.records[i].identifier != module.records[i].identifier ||
           std::memcmp( &again.records[i].left, &module.records[i].left, sizeof( float ) ) != 0 ||
           std::memcmp( &again.records[i].top, &module.records[i].top, sizeof( float ) ) != 0 ||
           fuzz::WrittenInstance( *again.records[i].instance, record ) !=
               fuzz::WrittenInstance( *module.records[i].instance, record ) )
         std::abort();
   return 0;
}
