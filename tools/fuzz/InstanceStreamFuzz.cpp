// Fuzzes the process instance reader: any input reads an instance or fails with the reader's own errors (a file
// error, corrupt data, an unregistered identifier), never with a crash, a huge allocation or a hang; an instance
// that reads writes a record that reads back and writes the same bytes again.

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "FuzzInstance.h"
#include "classlib/Exception.h"
#include "classlib/File.h"
#include "process/Process.h"
#include "process/ProcessInstanceStream.h"
#include "process/ProcessRegistry.h"

namespace
{

std::unique_ptr<Process> Read( const std::string& path )
{
   qor::File file;
   file.OpenForReading( path );
   return ProcessInstanceStream::ReadInstance( file );
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput( const uint8_t* data, size_t size )
{
   static fuzz::MemoryFile input( "instance" );
   static fuzz::MemoryFile output( "rewritten" );
   TheProcessRegistry();

   input.Fill( data, size );
   std::unique_ptr<Process> instance;
   try
   {
      instance = Read( input.Path() );
   }
   catch ( const ProcessRefusal& )
   {
      return 0;
   }
   catch ( const qor::Exception& )
   {
      return 0;
   }

   // What reads, writes; what it writes reads back to the same bytes.
   std::vector<uint8_t> first = fuzz::WrittenInstance( *instance, output );
   std::unique_ptr<Process> again = Read( output.Path() );
   std::vector<uint8_t> second = fuzz::WrittenInstance( *again, output );
   if ( first != second )
      std::abort();
   return 0;
}
