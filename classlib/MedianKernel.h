#ifndef QOR_MEDIANKERNEL_H
#define QOR_MEDIANKERNEL_H

// The median filter of the class library and its order-statistic routine.
//
// SelectKthSmallest is the program's one k-th smallest selection (quick-select with a median-of-three pivot).
//
// ApplyMedianKernel median-filters the nominal channels of an image in place with a square or circular box of
// n x n samples (n odd, 3 or more), as a plain median (the upper middle value of the box) or as a two-way hybrid
// median (the mean of the pixel itself, the median of its cross and the median of its diagonals), blended with the
// unfiltered samples when amount < 1.
//
// Borders: columns outside the image mirror about the edge column without repeating it (x = -1 reads x = 1);
// rows above the image mirror about the top edge repeating the first row (y = -1 reads y = 0, y = -2 reads y = 1);
// rows below the image repeat the last row. The rules fold again as often as needed, so images smaller than the
// box (down to 1 x 1) are filtered without reading outside them.
//
// The results are exact order statistics: the plain median equals the middle element of the sorted box. The work
// runs as branch-free min/max networks over many pixels at once, on row strips on the worker threads; the result
// does not depend on the number of threads.

#include <cstdint>
#include <vector>

namespace qor
{

class Image;

// Reorders [first, last) so that element k holds the k-th smallest value (0-based), no element before it is
// greater and no element after it is smaller; returns a pointer to element k. k is brought into the range;
// an empty range returns `last`. Allocates nothing.
float* SelectKthSmallest( float* first, float* last, int64_t k );

// The circular box of size n: n * n flags, row by row, nonzero for the cells whose centre lies inside or on the
// circle of diameter n about the centre of the box.
std::vector<uint8_t> CircularStructuringElement( int32_t size );

// Median-filters the nominal channels of the image in place (see above). A size of 3 turns hybrid off; hybrid
// turns circular off. Does not start the image's monitor: the caller starts it with a total of nominal channels x
// height; the kernel advances it by one per row of each channel and throws Image::AbortProcessEvent on an abort
// (rows already filtered stay filtered). Throws GenericException for a size that is even or below 3. An empty
// image is left as it is.
void ApplyMedianKernel( Image& image, int32_t size, float amount, bool hybrid, bool circular );

} // namespace qor

#endif
