#ifndef LF_TOOLS_FUZZ_SEED_IMAGES_H
#define LF_TOOLS_FUZZ_SEED_IMAGES_H

// What the seed writers of the image readers' fuzz targets make their files of.

#include <cstdint>

#include "classlib/Image.h"

namespace fuzz
{

// w x h samples per channel spread over [0, 1], both ends included.
inline qor::Image Ramp( int32_t w, int32_t h, int32_t channels, int32_t colorSpace )
{
   qor::Image image( w, h, channels, colorSpace );
   const int64_t n = image.NumberOfPixels() * channels;
   for ( int32_t c = 0; c < channels; ++c )
      for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
         image.PixelData( c )[i] = float( c * image.NumberOfPixels() + i ) / float( n - 1 );
   return image;
}

} // namespace fuzz

#endif
