// Fuzzes the RAW reader with descriptions and files together: the first 16 bytes of an input describe it (width,
// height, channels, header size, sample format and flags), the rest is the file. Any description reads or fails
// with a RAW or file exception, and nothing is allocated beyond what the file holds.

#include <cstdint>
#include <cstring>

#include "FuzzFile.h"
#include "classlib/Exception.h"
#include "formats/RAW.h"

extern "C" int LLVMFuzzerTestOneInput( const uint8_t* data, size_t size )
{
   static fuzz::MemoryFile input( "raw" );
   if ( size < 16 )
      return 0;
   RAWOptions o;
   int16_t w, h, channels;
   uint32_t offset;
   std::memcpy( &w, data, 2 );
   std::memcpy( &h, data + 2, 2 );
   std::memcpy( &channels, data + 4, 2 );
   std::memcpy( &offset, data + 6, 4 );
   o.width = w;
   o.height = h;
   o.channels = channels;
   o.dataOffset = offset;
   o.bitsPerSample = data[10];
   o.colorSpace = data[11] & 1;
   o.unsignedSamples = ( data[12] & 1 ) != 0;
   o.floatingPoint = ( data[12] & 2 ) != 0;
   o.planar = ( data[12] & 4 ) != 0;
   o.reverseByteOrder = ( data[12] & 8 ) != 0;
   input.Fill( data + 16, size - 16 );
   qor::Image image;
   try
   {
      ReadRAW( image, input.Path(), &o );
   }
   catch ( const qor::Exception& )
   {
   }
   return 0;
}
