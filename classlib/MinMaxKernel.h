#ifndef QOR_MINMAXKERNEL_H
#define QOR_MINMAXKERNEL_H

// Morphological filters of the class library: erosion (every sample replaced by the minimum of its box) and
// dilation (the maximum), with a square box of n x n samples or the circular box of the median filter
// (CircularStructuringElement), blended with the unfiltered samples when amount < 1.
//
// Borders are those of the median filter (BoxBorders.h), so with a square box every output near an edge is the
// extremum over the part of the box that lies inside the image. NaN samples never win; a box holding nothing but
// NaN gives +infinity (minimum) or -infinity (maximum).
//
// The box is taken apart into one horizontal run per box row (the circle is convex along rows); the extremum of
// every run width the box needs is computed once per image row, and the rows of the box are then combined, eight
// pixels at a time. Row strips run on the worker threads; the result does not depend on the number of threads.

#include <cstdint>

namespace qor
{

class Image;

// Filters the nominal channels of the image, one pass (alpha channels keep their samples). Starts the image's
// monitor with "Erosion (Minimum) Filter" or "Dilation (Maximum) Filter" and a total of nominal channels x height,
// and advances it by one per row of each channel. Each channel is computed aside and put in place once complete, so an
// abort (Image::AbortProcessEvent) leaves the channel being filtered as it was; channels completed before it keep
// their new samples. Throws GenericException for a size that is even or below 3. An empty image is left as it is.
void ApplyMinMaxKernel( Image& image, int32_t size, float amount, bool minimum, bool circular );

} // namespace qor

#endif
