// Fuzzes the swap-file reader: any input parses or fails with the reader's own errors (an invalid swap file, a file
// error, corrupt process data in a stored preview's history, an unregistered process), never with a crash, a huge
// allocation or a hang. What parses is consistent: the sections the flags name and nothing else.

#include <cstdint>
#include <cstdlib>

#include "FuzzFile.h"
#include "classlib/Exception.h"
#include "process/Process.h"
#include "process/ProcessRegistry.h"
#include "windows/image/SwapFile.h"

extern "C" int LLVMFuzzerTestOneInput( const uint8_t* data, size_t size )
{
   static fuzz::MemoryFile input( "swap" );
   TheProcessRegistry();

   input.Fill( data, size );
   try
   {
      SwapFileContents contents = ReadSwapFileContents( input.Path(), nullptr, nullptr );
      const uint32_t flags = contents.header.flags;
      if ( ( flags & SwapFileFlag::PixelData ) == 0 && !contents.pixels.IsEmpty() )
         std::abort();
      if ( ( flags & SwapFileFlag::PixelData ) != 0 &&
           ( contents.pixels.Width() != contents.header.width || contents.pixels.Height() != contents.header.height ||
             contents.pixels.NumberOfChannels() != contents.header.numberOfChannels ) )
         std::abort();
      if ( contents.previews.size() != size_t( ( flags & SwapFileFlag::NoPreviews ) ? 0 : contents.header.previewCount ) )
         std::abort();
      for ( const SwapFileContents::StoredPreview& p : contents.previews )
         if ( ( p.record.stored != 0 ) != ( p.storedImage != nullptr ) )
            std::abort();
   }
   catch ( const qor::Exception& )
   {
   }
   catch ( const ProcessRefusal& )
   {
   }
   return 0;
}
