#ifndef LF_PROCESS_ITERATED_FILTER_H
#define LF_PROCESS_ITERATED_FILTER_H

// The run shared by the box filters (median, minimum and maximum): a number of passes of a pixel filter over a
// view's image, or over the CIE lightness of a colour image alone.
//
// The passes work on a copy of the target (or on its extracted lightness), connected to the target's monitor, and
// the result takes the target's place only once every pass has completed: an abort or a failure during the passes
// leaves the target as it was.

#include <cstdint>
#include <functional>
#include <memory>

#include "process/Process.h"

namespace qor
{
class RGBColorSystem;
}

// Runs `iterations` passes of `pass` on the view's image; with useLuminance on a colour image, on its lightness
// (extracted and put back under the view's RGB working space). More than one iteration announces each pass as a
// status task "Iteration i of n". Marks the view modified at the end. Nothing happens for a view without an image.
void RunIteratedFilter( ProcessView& view, int32_t iterations, bool useLuminance,
                        const std::function<void( qor::Image& )>& pass );

// The image a filter works on instead of its target: a copy of the target or, with luminance, its CIE lightness
// under the working space; connected to the target's monitor.
std::unique_ptr<qor::Image> NewWorkImage( const qor::Image& target, bool luminance, const qor::RGBColorSystem& rgbws );
// Puts the finished work image in the target's place (the lightness written back into a copy of the target, so
// that an abort meanwhile leaves the target whole).
void TakeWorkImage( qor::Image& target, qor::Image& work, bool luminance, const qor::RGBColorSystem& rgbws );


// The parameters common to the box filters (median, minimum and maximum), and their stream layout (15 bytes): int32
// box size, int32 iterations, float32 amount, then three flag bytes (written 0 or 1, read as true when nonzero): the
// filter's own option, the circular box and the luminance option.
class BoxFilterParameters : public Process::Parameters
{
public:
   // Reads every field, then checks them (an odd box size 3 .. 255, 1 .. 100 iterations, an amount in [0, 1]): a
   // value outside throws qor::GenericException, and the set stays as it was. One layout for every version.
   void Read( qor::File& file, float version ) override;
   void Write( qor::File& file, float version ) const override;

   int32_t boxSize = 5;            // odd, 3 .. 25 in the windows
   int32_t numberOfIterations = 1; // 1 .. 10 in the windows
   float amount = 1.0f;            // 0.01 .. 1 in the windows
   bool circularKernel = false;
   bool useLuminance = false;

protected:
   // The filter's own option (the first flag byte).
   virtual bool& Option() = 0;
   bool Option() const { return const_cast<BoxFilterParameters*>( this )->Option(); }
   // The items that differ from their defaults, each preceded by ",\n": iterations, amount, then the option's item
   // (when given and set), the circular box and the luminance option.
   std::string OptionalText( const char* optionItem ) const;
};

#endif
