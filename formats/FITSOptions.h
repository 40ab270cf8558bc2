#ifndef LF_FORMATS_FITS_OPTIONS_H
#define LF_FORMATS_FITS_OPTIONS_H

// How an image's FITS file is or will be stored: sample format, resolution, ICC profile embedding and the header
// keywords. One per image window. The record owns its keywords: copies copy them, destruction deletes them.
//
// Sample formats (bitsPerSample, unsignedSamples, floatingPoint): 8-bit unsigned (8, -, false); 16 and 32-bit
// unsigned or signed integers (16/32, true/false, false); 64-bit signed integers (64, -, false); IEEE floating
// point (32/64, -, true), where the unsigned flag is kept but means nothing. Any other bit count is written as
// 16-bit unsigned. ReadFITS sets the format, resolution, unit and keywords from the file (formats/FITS.h); WriteFITS
// follows the format and afterwards holds the header as written in the keywords.

#include <cstdint>

#include "classlib/Containers.h"
#include "formats/FITSHeaderKeyword.h"

class FITSOptions
{
public:
   FITSOptions() = default;
   FITSOptions( const FITSOptions& source ) { *this = source; }
   FITSOptions& operator=( const FITSOptions& source )
   {
      if ( this != &source )
      {
         bitsPerSample = source.bitsPerSample;
         unsignedSamples = source.unsignedSamples;
         floatingPoint = source.floatingPoint;
         metricResolution = source.metricResolution;
         resolution = source.resolution;
         embedICCProfile = source.embedICCProfile;
         ClearKeywords();
         for ( const FITSHeaderKeyword* k : source.keywords )
            keywords.Add( new FITSHeaderKeyword( *k ) );
      }
      return *this;
   }
   ~FITSOptions() { ClearKeywords(); }

   // Deletes every keyword.
   void ClearKeywords()
   {
      keywords.DeleteObjects();
      keywords.Clear();
   }

   int32_t bitsPerSample = 16; // 8, 16, 32 or 64
   bool unsignedSamples = true;
   bool floatingPoint = false;
   qor::IndirectList<FITSHeaderKeyword> keywords; // header cards in order, owned
   bool metricResolution = false;                 // resolution unit: centimetre (else inch)
   float resolution = 72;                         // pixels per unit
   bool embedICCProfile = true;
};

#endif
