#ifndef LF_ADDRESS_SPACE_CAP_H
#define LF_ADDRESS_SPACE_CAP_H

// Out-of-memory tests: a child process caps its own address space a little above what it already uses, so that
// an allocation that needs more fails with bad_alloc there instead of exhausting the machine.

#include <cstdint>
#include <fstream>
#include <string>

#include <sys/resource.h>

namespace test
{

// Lets this process map at most `headroom` bytes more than it maps now.
inline void CapAddressSpace( uint64_t headroom )
{
   std::ifstream status( "/proc/self/status" );
   std::string line;
   uint64_t kB = 0;
   while ( std::getline( status, line ) )
      if ( line.rfind( "VmSize:", 0 ) == 0 )
         kB = std::stoull( line.substr( 7 ) );
   const rlim_t cap = rlim_t( kB * 1024 + headroom );
   const rlimit limit{ cap, cap };
   setrlimit( RLIMIT_AS, &limit );
}

} // namespace test

#endif
