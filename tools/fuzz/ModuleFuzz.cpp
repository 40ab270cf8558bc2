// Fuzzes the module reader: the header checks and a body of instance records (an int32 count and that many
// records, as a process icon set holds them). Any input reads or fails with a module, file or stream error.

#include <cstdint>
#include <memory>
#include <vector>

#include "FuzzFile.h"
#include "classlib/Exception.h"
#include "process/Module.h"
#include "process/Process.h"
#include "process/ProcessInstanceStream.h"
#include "process/ProcessRegistry.h"

namespace
{

class InstanceListModule : public Module
{
public:
   uint32_t ModuleType() const override { return 0x5A5A95FE; }
   void ReadData() override
   {
      int32_t count = file->ReadValue<int32_t>();
      ProcessInstanceStream::CheckRecordCount( *file, count );
      for ( int32_t i = 0; i < count; ++i )
         instances.push_back( ProcessInstanceStream::ReadInstance( *file ) );
   }
   void Clear() override { instances.clear(); }

   std::vector<std::unique_ptr<Process>> instances;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput( const uint8_t* data, size_t size )
{
   static fuzz::MemoryFile input( "module" );
   TheProcessRegistry();

   input.Fill( data, size );
   InstanceListModule module;
   try
   {
      module.Read( input.Path() );
   }
   catch ( const ProcessRefusal& )
   {
   }
   catch ( const qor::Exception& )
   {
   }
   return 0;
}
