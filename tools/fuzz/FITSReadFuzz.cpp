// Fuzzes the FITS reader on a file that holds the input: any input reads or fails with a FITSException, never with a
// crash, a huge allocation or a hang, and what reads has every sample in [0, 1].

#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

#include "FuzzFile.h"
#include "classlib/IPTCPhotoInfo.h"
#include "classlib/Image.h"
#include "classlib/Parallel.h"
#include "formats/FITS.h"

extern "C" int LLVMFuzzerInitialize( int*, char*** )
{
   // The inputs are small: the workers would cost more than they save.
   qor::SetMaxThreads( 1 );
   return 0;
}

extern "C" int LLVMFuzzerTestOneInput( const uint8_t* data, size_t size )
{
   static fuzz::MemoryFile input( "fits" );
   input.Fill( data, size );

   qor::Image image;
   FITSOptions options;
   std::unique_ptr<std::vector<uint8_t>> profile;
   qor::IPTCPhotoInfo iptc;
   try
   {
      ReadFITS( image, input.Path(), options, profile, &iptc );
   }
   catch ( const FITSException& )
   {
      return 0;
   }
   for ( int32_t c = 0; c < image.NumberOfChannels(); ++c )
      for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
      {
         const float v = image.PixelData( c )[i];
         if ( !( v >= 0.0f && v <= 1.0f ) )
            std::abort();
      }
   return 0;
}
