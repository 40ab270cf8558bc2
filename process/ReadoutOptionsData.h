#ifndef LF_PROCESS_READOUT_OPTIONS_DATA_H
#define LF_PROCESS_READOUT_OPTIONS_DATA_H

// What a pixel readout shows. The main window holds the options in force; the image windows read them at every
// readout and never write them.

#include <cstdint>

struct ReadoutOptionsData
{
   uint8_t data = 0;      // 0 RGB or K, 1 RGB and L*, 2 HSV, 3 CIE XYZ, 4 CIE L*a*b*, 5 CIE L*c*h*
   uint8_t mode = 0;      // 0 mean, 1 median, 2 minimum, 3 maximum
   int32_t probeSize = 1; // odd, 1 to 15
   bool real = true;      // real values in [0,1], else integers in [0,maxValue]
   int32_t precision = 4; // decimals of real values, 1 to 6
   uint32_t maxValue = 255;

   bool operator==( const ReadoutOptionsData& ) const = default;
};

#endif
