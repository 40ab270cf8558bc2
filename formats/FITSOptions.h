#ifndef LF_FORMATS_FITS_OPTIONS_H
#define LF_FORMATS_FITS_OPTIONS_H

// How an image's FITS file is or will be stored: sample format, resolution, ICC profile embedding and the header
// keywords. One per image window. The record owns its keywords: copies copy them, destruction deletes them.

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
