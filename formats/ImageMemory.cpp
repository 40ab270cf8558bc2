#include "formats/ImageMemory.h"

#include <cstdio>
#include <optional>

#include "platform/SystemMemory.h"

namespace formats
{

uint64_t ImageBytes( uint64_t width, uint64_t height, uint64_t channels )
{
   const unsigned __int128 bytes = (unsigned __int128)width * height * channels * sizeof( float );
   return bytes > UINT64_MAX ? UINT64_MAX : uint64_t( bytes );
}

std::string MemoryShortfall( uint64_t bytes, uint64_t width, uint64_t height, uint64_t channels )
{
   const std::optional<uint64_t> available = platform::AvailableMemory();
   if ( !available || bytes <= *available )
      return std::string();
   char text[256];
   std::snprintf( text, sizeof( text ),
                  "Not enough memory to open a %llux%llu image of %llu channel(s): %.3f MB needed, %.3f MB available.",
                  (unsigned long long)width, (unsigned long long)height, (unsigned long long)channels,
                  double( bytes ) / 1048576, double( *available ) / 1048576 );
   return text;
}

} // namespace formats
