// Fuzzes the JPEG reader: any input reads, with its markers (profile chunks, IPTC, quality, JFIF), or fails with a
// JPEG or IPTC exception; a library error never leaves the reader by a jump past its clean-up.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "FuzzFile.h"
#include "classlib/Exception.h"
#include "formats/JPEG.h"
#include "platform/SystemMemory.h"

extern "C" int LLVMFuzzerTestOneInput( const uint8_t* data, size_t size )
{
   static fuzz::MemoryFile input( "jpeg" );
   // Images beyond this are refused as a machine with this much memory would refuse them: the allocations of one
   // input stay far below the fuzzer's limit.
   static platform::AvailableMemoryScope memory( [] { return std::optional<uint64_t>( uint64_t( 64 ) << 20 ); } );
   input.Fill( data, size );
   qor::Image image;
   JPEGOptions options;
   std::unique_ptr<std::vector<uint8_t>> profile;
   qor::IPTCPhotoInfo iptc;
   try
   {
      std::vector<std::string> warnings;
      ReadJPEG( image, input.Path(), &options, &profile, &iptc, &warnings );
   }
   catch ( const qor::Exception& )
   {
   }
   return 0;
}
