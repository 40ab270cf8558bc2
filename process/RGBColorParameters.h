#ifndef LF_PROCESS_RGB_COLOR_PARAMETERS_H
#define LF_PROCESS_RGB_COLOR_PARAMETERS_H

#include "process/Process.h"

// An RGB colour embedded in the parameters of other processes (the fill colour of rotations and crops, the
// initial colour of a new image). Components are nominally in [0, 1]; nothing is clamped here.
//
// Stream: red, green, blue as float32, 12 bytes, the same for every version. Text: "%.4f,%.4f,%.4f"; the owner
// puts it in braces behind a key of its own.
class RGBColorParameters : public Process::Parameters
{
public:
   RGBColorParameters() = default;
   RGBColorParameters( float red, float green, float blue ) : red( red ), green( green ), blue( blue ) {}

   std::unique_ptr<Process::Parameters> Clone() const override;
   void Assign( const Process::Parameters& source ) override;
   void Read( qor::File& file, float version ) override;
   void Write( qor::File& file, float version ) const override;
   std::string ToText( int32_t level ) const override;

   float red = 0;
   float green = 0;
   float blue = 0;
};

#endif
