#ifndef QOR_LUMINANCE_H
#define QOR_LUMINANCE_H

// Luminance separation: the normalised CIE lightness L = L*/100 = 1.16 f(Y) - 0.16 of a colour image, taken out as
// a grey image so that a filter can work on it alone, and put back with every pixel's chrominance (CIE a*, b*)
// unchanged. Both directions go through an RGB working space (transfer function, RGB <-> XYZ matrices), the one of
// the image window that holds the image; the formulas are those of the working space, so the lightness is the
// same as that of a conversion of the image to grey.
//
// RGB images are the case that matters. The others are handled soundly too: grey, CIE L*a*b* and CIE L*c*h*
// images hold the lightness in their first channel already, which is copied out and back; a CIE XYZ image gets
// the lightness of its Y and keeps its a* and b*; an HSV image goes through RGB.
//
// Pixels are processed in parallel row strips (the same results on any number of threads); the image's monitor
// advances by one unit per pixel, and an abort request throws Image::AbortProcessEvent.

#include "Image.h"
#include "RGBColorSystem.h"

#include <memory>

namespace qor
{

// A new grey image of the source's size (one channel, no monitor) holding L of every pixel. Starts a task
// "Extracting Luminance" of one unit per pixel on the source's monitor. An empty source gives an empty image.
std::unique_ptr<Image> ExtractLuminance( const Image& image, const RGBColorSystem& rgbws );

// Writes L of every pixel of `image` into `plane` (width x height floats), advancing the image's monitor in the
// caller's task.
void ComputeLuminance( float* plane, const Image& image, const RGBColorSystem& rgbws );

// Gives every pixel of `target` the lightness of the same pixel of channel 0 of `luminance`, keeping its CIE a*
// and b*. RGB results are clamped to [0, 1] (NaN gives 0); the lightness itself is taken as it comes. Advances
// the target's monitor in the caller's task (the callers use "Setting Luminance", one unit per pixel). Throws
// GenericException, touching nothing, when the two images differ in size or the luminance image is empty while
// the target is not. The two may be the same image: its channel 0 is then read as it was before the call.
void ReplaceLuminance( Image& target, const Image& luminance, const RGBColorSystem& rgbws );

} // namespace qor

#endif
