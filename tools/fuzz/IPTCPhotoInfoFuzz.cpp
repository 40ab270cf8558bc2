// Fuzzes the IIM block decoder: any block decodes or throws IPTCPhotoInfo::Exception, and what decodes encodes to
// blocks that decode to the same items again.

#include <cstdint>
#include <cstdlib>
#include <vector>

#include "classlib/IPTCPhotoInfo.h"

extern "C" int LLVMFuzzerTestOneInput( const uint8_t* data, size_t size )
{
   qor::IPTCPhotoInfo info;
   try
   {
      info.Decode( data, static_cast<int64_t>( size ) );
   }
   catch ( const qor::IPTCPhotoInfo::Exception& )
   {
      return 0;
   }

   // One round normalises (blanks trimmed, empty elements dropped, padding made minimal); from then on the
   // items survive every round. Decoding reverses the list, so rounds are compared two apart.
   auto round = []( const qor::IPTCPhotoInfo& from, std::vector<uint8_t>& block )
   {
      from.Encode( block );
      qor::IPTCPhotoInfo to;
      to.Decode( block.data(), static_cast<int64_t>( block.size() ) );
      return to;
   };
   std::vector<uint8_t> first, second, third, fourth;
   try
   {
      qor::IPTCPhotoInfo once = round( info, first );
      qor::IPTCPhotoInfo twice = round( once, second );
      qor::IPTCPhotoInfo thrice = round( twice, third );
      round( thrice, fourth );
   }
   catch ( const qor::IPTCPhotoInfo::Exception& )
   {
      return 0; // too large to encode
   }
   if ( second != fourth )
      std::abort();
   return 0;
}
