#ifndef LF_FORMATS_RAW_OPTIONS_H
#define LF_FORMATS_RAW_OPTIONS_H

// The description of a headerless raw file: a header of dataOffset bytes, then width x height x channels samples,
// rows from the top, planar (channel after channel) or chunky (channels interleaved per pixel). One per image
// window; the user fills it in before every read and save.

#include <cstdint>

struct RAWOptions
{
   int32_t width = 0;  // 0: worked out from the file size
   int32_t height = 0; // 0: worked out from the file size
   int32_t channels = 1;
   int32_t colorSpace = 0;     // 0 Gray, 1 RGB (with three or more channels)
   int32_t bitsPerSample = 32; // 8, 16, 32 integers; 32, 64 floating point
   bool unsignedSamples = true;
   bool floatingPoint = true;
   bool planar = true;
   bool reverseByteOrder = false; // samples stored big-endian
   uint64_t dataOffset = 0;       // header size in bytes (a file read may be larger than 4 GB)
   bool keepHeader = false;       // a save copies the replaced file's header

   bool operator==( const RAWOptions& ) const = default;
};

#endif
