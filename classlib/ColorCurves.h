#ifndef QOR_COLORCURVES_H
#define QOR_COLORCURVES_H

// The colour passes of the curves transform: transfer curves applied to the CIE lightness, or to the HSV hue and
// saturation, of every pixel of a colour image, through an RGB working space.
//
// Both read and write the three nominal planes of each pixel together and store each component clamped to
// [0, 1] (NaN becomes 0); alpha channels are not touched. Rows run in parallel with the same result for any thread
// count. Each pass is monitored as "Transfer function", one unit per pixel, and throws Image::AbortProcessEvent on
// an abort (rows already done keep their new values). A grey image, or one with fewer than three nominal
// channels, throws GenericException.

#include "Image.h"
#include "RGBColorSystem.h"
#include "TransferCurveEvaluator.h"

namespace qor
{

// L* (normalised to [0, 1]) becomes the curve at L*, clamped; a* and b* stay.
void ApplyLightnessCurve( Image& image, const RGBColorSystem& rgbws, const TransferCurveEvaluator& curve );

// The hue becomes the hue curve at the hue, the saturation the saturation curve at the saturation (nullptr: that
// component stays), each clamped; then the pixel gets back the CIE lightness it had, so that only its colour
// changes.
void ApplyHueSaturationCurves( Image& image, const RGBColorSystem& rgbws, const TransferCurveEvaluator* hue,
                               const TransferCurveEvaluator* saturation );

} // namespace qor

#endif
