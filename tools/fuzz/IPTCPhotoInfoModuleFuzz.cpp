// Fuzzes the reader of IPTC module files: the module header checks, the block size and the IIM block. Any input
// reads or fails with a module, file or IPTC error, and a failed read leaves the set empty.

#include <cstdint>
#include <cstdlib>

#include "FuzzFile.h"
#include "classlib/Exception.h"
#include "process/IPTCPhotoInfoData.h"

extern "C" int LLVMFuzzerTestOneInput( const uint8_t* data, size_t size )
{
   static fuzz::MemoryFile input( "iptc" );
   input.Fill( data, size );
   IPTCPhotoInfoModule module;
   try
   {
      module.Read( input.Path() );
   }
   catch ( const qor::Exception& )
   {
      if ( !module.info.IsEmpty() )
         std::abort();
   }
   return 0;
}
