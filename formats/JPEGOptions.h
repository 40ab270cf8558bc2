#ifndef LF_FORMATS_JPEG_OPTIONS_H
#define LF_FORMATS_JPEG_OPTIONS_H

// How an image's JPEG file is or will be stored, and what the file read said about itself. One per image window.

#include <cstdint>

struct JPEGOptions
{
   static constexpr int32_t DefaultQuality = 80; // used when no quality is recorded

   int32_t quality = 0; // 1 to 100; 0: none recorded
   bool optimizedCoding = true;
   bool progressive = false;
   bool hasJFIFMarker = false; // the file read had a JFIF marker
   int32_t jfifMajorVersion = 1;
   int32_t jfifMinorVersion = 2;
   bool metricResolution = false; // resolution unit: centimetre (else inch)
   float xResolution = 72;
   float yResolution = 72;
   bool embedICCProfile = true;

   bool operator==( const JPEGOptions& ) const = default;
};

#endif
