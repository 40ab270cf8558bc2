#ifndef QOR_COLORNOISEREDUCTION_H
#define QOR_COLORNOISEREDUCTION_H

// Removal of a cast or chromatic noise of one primary colour from an RGB image: the channel is limited by the two
// others (the references). The neutral methods cap it at the mean or the maximum of the references; the mask
// methods pull it down by an amount wherever a mask made of the references is weak.

#include <cstdint>

namespace qor
{

class Image;

enum class ColorNoiseProtection : int32_t
{
   MaximumMask = 0,  // mask max(p, q)
   AdditiveMask = 1, // mask min(p + q, 1)
   AverageNeutral = 2,
   MaximumNeutral = 3
};

// Corrects channel `channel` (0 red, 1 green, 2 blue) of the image's first three channels; the references are the
// two other channels. Mask methods: x' = x (1 - amount)(1 - v) + x v with v the mask; neutral methods:
// x' = min(x, v) with v the mean or the maximum of the references. Starts the image's monitor with
// "SCNR, <channel> removal" and a total of one unit per pixel. The channel is computed aside and put in its place
// at the end, so an abort (Image::AbortProcessEvent) leaves the image as it was. An image with fewer than three nominal
// channels is left as it is; a channel outside 0 .. 2 or an unknown method throws GenericException.
void RemoveColorNoise( Image& image, int32_t channel, ColorNoiseProtection method, float amount );

} // namespace qor

#endif
