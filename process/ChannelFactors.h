#ifndef LF_PROCESS_CHANNEL_FACTORS_H
#define LF_PROCESS_CHANNEL_FACTORS_H

#include "process/Process.h"

// Per-channel multiplication factors with an invert flag, embedded in the parameters of the pixel-arithmetic
// process (one set for every source image and one for the result). Element c multiplies nominal channel c (0 is
// red, or the grey channel); invert then turns every sample s into 1 - s.
//
// Stream: the three factors as float32, then invert as one byte (written 1 or 0, read as true when nonzero), 13
// bytes, the same for every version. Text: "%.6f, %.6f, %.6f, invert=%d".
class ChannelFactors : public Process::Parameters
{
public:
   ChannelFactors() = default;

   std::unique_ptr<Process::Parameters> Clone() const override;
   void Assign( const Process::Parameters& source ) override;
   void Read( qor::File& file, float version ) override;
   void Write( qor::File& file, float version ) const override;
   std::string ToText( int32_t level ) const override;

   // Whether applying the set would change nothing: every factor exactly 1 and no inversion.
   bool IsIdentity() const { return factors[0] == 1 && factors[1] == 1 && factors[2] == 1 && !invert; }

   float factors[3] = { 1, 1, 1 };
   bool invert = false;
};

#endif
