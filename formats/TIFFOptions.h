#ifndef LF_FORMATS_TIFF_OPTIONS_H
#define LF_FORMATS_TIFF_OPTIONS_H

// How an image's TIFF file is or will be stored. One per image window. The three texts keep line breaks as single
// carriage returns.

#include <cstdint>
#include <string>

struct TIFFOptions
{
   static constexpr int32_t NoCompression = 0;
   static constexpr int32_t LZWCompression = 5;
   static constexpr int32_t ZIPCompression = 32946;

   int32_t bitsPerSample = 8;  // 8, 16 or 32
   bool floatingPoint = false; // IEEE samples (then 32 bits)
   int32_t compression = NoCompression;
   bool planar = false;           // one plane per channel, else chunky
   bool metricResolution = false; // resolution unit: centimetre (else inch)
   float xResolution = 72;
   float yResolution = 72;
   std::string software;
   std::string description;
   std::string copyright;
   bool embedICCProfile = true;

   bool operator==( const TIFFOptions& ) const = default;
};

#endif
