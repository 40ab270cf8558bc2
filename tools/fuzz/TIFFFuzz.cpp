// Fuzzes the TIFF reader: any input reads, with its options, profile and IPTC information, or fails with a TIFF or
// IPTC exception, and never allocates more than its tags can back with bytes.

#include <cstdint>
#include <memory>
#include <vector>

#include <tiffio.h>

#include "FuzzFile.h"
#include "classlib/Exception.h"
#include "formats/TIFF.h"

extern "C" int LLVMFuzzerTestOneInput( const uint8_t* data, size_t size )
{
   static fuzz::MemoryFile input( "tiff" );
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
      ReadTIFF( image, input.Path(), &options, &profile, &iptc );
   }
   catch ( const qor::Exception& )
   {
   }
   return 0;
}
