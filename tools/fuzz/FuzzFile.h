#ifndef LF_TOOLS_FUZZ_FUZZ_FILE_H
#define LF_TOOLS_FUZZ_FUZZ_FILE_H

// A file in memory that the readers open by path: each input replaces its content.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include <sys/mman.h>
#include <unistd.h>

namespace fuzz
{

class MemoryFile
{
public:
   explicit MemoryFile( const char* name ) : descriptor( ::memfd_create( name, MFD_CLOEXEC ) )
   {
      if ( descriptor < 0 )
         std::abort();
      path = "/proc/self/fd/" + std::to_string( descriptor );
   }

   // Replaces the content; the path then reads exactly these bytes.
   void Fill( const uint8_t* data, size_t size )
   {
      if ( ::ftruncate( descriptor, 0 ) != 0 )
         std::abort();
      size_t done = 0;
      while ( done < size )
      {
         ssize_t written = ::pwrite( descriptor, data + done, size - done, static_cast<off_t>( done ) );
         if ( written <= 0 )
            std::abort();
         done += static_cast<size_t>( written );
      }
   }

   const std::string& Path() const { return path; }

private:
   int descriptor;
   std::string path;
};

} // namespace fuzz

#endif
