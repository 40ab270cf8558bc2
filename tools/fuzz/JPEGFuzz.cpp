// Fuzzes the JPEG reader: any input reads, with its markers (profile chunks, IPTC, quality, JFIF), or fails with a
// JPEG or IPTC exception; a library error never leaves the reader by a jump past its clean-up.

#include <cstdint>
#include <memory>
#include <vector>

#include "FuzzFile.h"
#include "classlib/Exception.h"
#include "formats/JPEG.h"

extern "C" int LLVMFuzzerTestOneInput( const uint8_t* data, size_t size )
{
   static fuzz::MemoryFile input( "jpeg" );
   input.Fill( data, size );
   qor::Image image;
   JPEGOptions options;
   std::unique_ptr<std::vector<uint8_t>> profile;
   qor::IPTCPhotoInfo iptc;
   try
   {
      ReadJPEG( image, input.Path(), &options, &profile, &iptc );
   }
   catch ( const qor::Exception& )
   {
   }
   return 0;
}
