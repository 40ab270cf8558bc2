#ifndef QOR_IMAGE_ROTATE_H
#define QOR_IMAGE_ROTATE_H

#include <cstdint>

namespace qor
{

// The size Image::Rotate gives a width x height image turned by `angle` radians about (centerX, centerY): the
// bounding box of the turned corner samples, each side rounded to the nearest integer (halves to even). False when
// the size is empty, the arguments are not finite, or a side would not fit 32 bits.
bool RotatedSize( int32_t width, int32_t height, float centerX, float centerY, float angle, int32_t& newWidth,
                  int32_t& newHeight );

} // namespace qor

#endif
