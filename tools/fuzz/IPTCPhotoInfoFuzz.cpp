// Fuzzes the IIM block decoder: any block decodes or throws IPTCPhotoInfo::Exception, and what decodes encodes to
// a block that decodes to the same items, in the same order, and encodes to the same block again.

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

   // Decoded information is what Encode writes: its block decodes to the same items, which encode to the same
   // block again.
   std::vector<uint8_t> first, second;
   try
   {
      info.Encode( first );
   }
   catch ( const qor::IPTCPhotoInfo::Exception& )
   {
      return 0; // too large to encode
   }
   qor::IPTCPhotoInfo again;
   again.Decode( first.data(), static_cast<int64_t>( first.size() ) );
   if ( again.Count() != info.Count() )
      std::abort();
   for ( int32_t i = 0; i < info.Count(); ++i )
      if ( again.Items()[size_t( i )].description != info.Items()[size_t( i )].description ||
           again.Items()[size_t( i )].value != info.Items()[size_t( i )].value )
         std::abort();
   again.Encode( second );
   if ( second != first )
      std::abort();
   return 0;
}
