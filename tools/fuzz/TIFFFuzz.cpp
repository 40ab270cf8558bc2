// Fuzzes the TIFF reader: any input reads, with its options, profile and IPTC information, or fails with a TIFF or
// IPTC exception, and never allocates more than the memory it is told the machine has.

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <tiffio.h>

#include "FuzzFile.h"
#include "classlib/Exception.h"
#include "formats/TIFF.h"
#include "platform/SystemMemory.h"

extern "C" int LLVMFuzzerTestOneInput( const uint8_t* data, size_t size )
{
   static fuzz::MemoryFile input( "tiff" );
   // Images beyond this are refused as a machine with this much memory would refuse them: the allocations of one
   // input stay far below the fuzzer's limit.
   static platform::AvailableMemoryScope memory( [] { return std::optional<uint64_t>( uint64_t( 64 ) << 20 ); } );
   static const bool quiet = [] {
      TIFFSetErrorHandler( nullptr );
      TIFFSetWarningHandler( nullptr );
      return true;
   }();
   (void)quiet;

   input.Fill( data, size );
   qor::Image image;
   TIFFOptions options;
   std::unique_ptr<std::vector<uint8_t>> profile;
   qor::IPTCPhotoInfo iptc;
   try
   {
      std::vector<std::string> warnings;
      ReadTIFF( image, input.Path(), &options, &profile, &iptc, &warnings );
   }
   catch ( const qor::Exception& )
   {
   }
   return 0;
}
