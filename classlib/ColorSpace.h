#ifndef QOR_COLORSPACE_H
#define QOR_COLORSPACE_H

#include <cstdint>

namespace qor
{

// Colour-space codes of images, as stored in swap files and the clipboard format.
struct ColorSpace
{
   enum value_type : int32_t
   {
      Gray = 0,
      RGB = 1,
      HSV = 2,
      CIEXYZ = 3,
      CIELab = 4,
      CIELch = 5,
      NumberOfColorSpaces
   };

   static bool IsValid( int32_t cs ) { return cs >= Gray && cs < NumberOfColorSpaces; }

   // Number of colour channels of the space: 1 for Gray, 3 for every other.
   static int32_t NumberOfNominalChannels( int32_t cs ) { return cs == Gray ? 1 : 3; }
};

} // namespace qor

#endif
