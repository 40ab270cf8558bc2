#ifndef LF_TOOLS_FUZZ_FUZZ_INSTANCE_H
#define LF_TOOLS_FUZZ_FUZZ_INSTANCE_H

// The bytes an instance writes: the record the instance stream puts in a file, read back from that file.

#include <cstdint>
#include <vector>

#include "FuzzFile.h"
#include "classlib/File.h"
#include "process/Process.h"
#include "process/ProcessInstanceStream.h"

namespace fuzz
{

// Writes the instance into `record` (replacing its content) and returns the bytes written.
inline std::vector<uint8_t> WrittenInstance( const Process& instance, const MemoryFile& record )
{
   qor::File file;
   file.Open( record.Path(), qor::File::ModeCreateAlways | qor::File::ModeRead | qor::File::ModeWrite );
   ProcessInstanceStream::WriteInstance( file, instance );
   std::vector<uint8_t> bytes( static_cast<size_t>( file.Size() ) );
   file.Seek( 0 );
   if ( !bytes.empty() )
      file.Read( bytes.data(), static_cast<int64_t>( bytes.size() ) );
   return bytes;
}

} // namespace fuzz

#endif
