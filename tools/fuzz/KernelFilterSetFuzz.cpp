// Fuzzes the kernel filter set reader: the module header checks and the body of filter records. Any input reads
// or fails with a module or file error; what was read is written again and must read back the same.

#include <cstdint>
#include <cstdlib>
#include <string>

#include "FuzzFile.h"
#include "classlib/Exception.h"
#include "process/KernelFilterSetModule.h"

extern "C" int LLVMFuzzerTestOneInput( const uint8_t* data, size_t size )
{
   static fuzz::MemoryFile input( "filters" );
   // The writer replaces its file through a new one beside it: a real folder, not a descriptor.
   static const std::string output = []
   {
      char folder[] = "/tmp/lf-fuzz-filters-XXXXXX";
      if ( ::mkdtemp( folder ) == nullptr )
         std::abort();
      return std::string( folder ) + "/set.lf-fsm";
   }();

   input.Fill( data, size );
   KernelFilterSetModule set;
   try
   {
      set.Read( input.Path() );
   }
   catch ( const qor::Exception& )
   {
      return 0;
   }
   set.Write( output );
   KernelFilterSetModule again;
   again.Read( output );
   if ( again.filters.size() != set.filters.size() )
      __builtin_trap();
   for ( size_t i = 0; i < set.filters.size(); ++i )
      if ( again.filters[i]->name != set.filters[i]->name || !again.filters[i]->SameKernel( *set.filters[i] ) ||
           again.filters[i]->readOnly != set.filters[i]->readOnly )
         __builtin_trap();
   return 0;
}
