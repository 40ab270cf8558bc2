#ifndef QOR_COLORCHANNELS_H
#define QOR_COLORCHANNELS_H

// The components of an RGB image in one of the colour spaces RGB, HSV, CIE XYZ, CIE L*a*b* and CIE L*c*h*, taken out
// as grey images and put back, through an RGB working space.
//
// Components are the normalised ones of RGBColorSystem.h (channel 1, 2, 3: R G B; H S V; X Y Z; L* a* b*;
// L* c* h*), computed by the same formulas as Image::SetColorSpace, so that extracting the three components and
// importing them back into the same working space gives the image again to float rounding (clipped to [0, 1]).
// Nothing is clipped on the way out; only the RGB samples written back are.

#include "Image.h"

#include <array>
#include <cstdint>
#include <memory>

namespace qor
{

class RGBColorSystem;

// Converts n pixels held in three arrays from one colour space to another in place (ImageColorSpace.cpp; the same
// code as Image::SetColorSpace). To Gray, the lightness goes to c0 and c1, c2 are left as they are.
void ConvertColorSamples( int32_t from, int32_t to, const RGBColorSystem& rgbws, float* c0, float* c1, float* c2,
                          int64_t n );

// The monitor texts of the two operations for a colour space (1 to 5) and the channels asked for.
std::string ExtractionText( int32_t colorSpace, const std::array<bool, 3>& channels );
std::string ImportText( int32_t colorSpace );

// New grey images, one for each component whose flag is set (nullptr for the others), of the same size as the
// source, holding the components of its channels 0, 1, 2 read as red, green and blue. Alpha channels are ignored.
// L* alone (CIE L*a*b* or L*c*h*) and V alone (HSV) skip the other components' work. Monitored
// (ExtractionText, one unit per pixel); an abort or an exhausted memory leaves no image behind. Throws
// GenericException for a colour space outside 1 to 5 or a source without three nominal channels.
std::array<std::unique_ptr<Image>, 3> ExtractColorChannels( const Image& source, int32_t colorSpace,
                                                            const std::array<bool, 3>& channels,
                                                            const RGBColorSystem& rgbws );

// Replaces components of the RGB image `target` by source samples: sources[i] (nullptr: component i is kept)
// points at the sample for the target's pixel (0, 0), and the sample for (x, y) is sources[i][y * stride + x], so a
// source larger than the target (a preview's whole image) is read in its rectangle. With all three sources the
// target's own samples are not read. The results are clipped to [0, 1] (NaN gives 0); alpha channels are kept. The
// new samples are built aside and swapped in at the end, so an abort (monitored: ImportText, one unit per pixel) or
// an exhausted memory leaves the target as it was. Throws GenericException for a colour space outside 1 to 5, a
// target without three nominal channels or no source at all.
void ImportColorChannels( Image& target, int32_t colorSpace, const std::array<const float*, 3>& sources,
                          int64_t stride, const RGBColorSystem& rgbws );

} // namespace qor

#endif
