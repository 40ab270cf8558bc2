#ifndef QOR_EDGEPROTECTEDCONVOLUTION_H
#define QOR_EDGEPROTECTEDCONVOLUTION_H

// The selective low-pass filter of the noise reduction: a convolution with an n x n kernel in which neighbours that
// lie across an edge are replaced by protected values before they are weighted, so that edges are not smeared.
//
// For a sample of value c0:
// - the dark side is protected when enabled and t = c0 + darkThreshold < 1: a neighbour v >= t counts as
//   (1 - darkOverdrive) t, so a dark sample next to a bright structure does not take the structure's brightness;
// - the bright side is protected when enabled and u = c0 - brightThreshold > 0: a neighbour v <= u counts as
//   (1 - u) brightOverdrive + u.
// When both apply, the dark rule wins (it is tested first). Every neighbour is an unfiltered sample; the weighted
// sum is accumulated in double and divided by the weight sum.
//
// Samples outside the image are read as the box filters read them (BoxBorders.h): columns mirror without repeating
// the edge column, rows above the image mirror repeating the first row, rows below repeat the last one; the rules
// fold as often as needed, so any kernel works on any image, down to 1 x 1.
//
// Rows are filtered on the worker threads, each strip with its own ring of n extended rows read from the channel
// as it was before the pass; the result does not depend on the number of threads.

#include "Image.h"

#include <cstdint>

namespace qor
{

struct EdgeProtection
{
   bool dark = true;
   float darkThreshold = 0.25f;
   float darkOverdrive = 0.0f;
   bool bright = true;
   float brightThreshold = 0.25f;
   float brightOverdrive = 0.0f;
};

// Filters in place every nominal channel whose bit is set in channelMask with the n x n kernel (row by row, n odd).
// weightSum 0 stands for the sum of the kernel's coefficients; a sum that is then (nearly) zero or not finite
// counts as 1, so nothing is ever divided by zero. A task "SGBNR" of nominal channels x height rows is started on
// the image's monitor (channels left alone count at once). An abort request throws Image::AbortProcessEvent; the
// channel being filtered is then left as it was (channels already filtered stay filtered). Throws
// GenericException for an even or non-positive n.
void ConvolveEdgeProtected( Image& image, uint32_t channelMask, const float* kernel, int32_t n,
                            const EdgeProtection& protection, double weightSum = 0 );

} // namespace qor

#endif
