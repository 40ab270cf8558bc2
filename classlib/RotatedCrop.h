#ifndef QOR_ROTATED_CROP_H
#define QOR_ROTATED_CROP_H

// A crop along a rectangle that may be turned: the content of the rectangle, turned upright, with the rectangle's
// own size, and a fill value wherever the rectangle reaches past the image.
//
// The work is the class library's own geometry: the bounding box of the turned rectangle is cut out of the image
// with ResizeCanvas (fill where it leaves the image), turned upright by Rotate or a right-angle turn, and the
// rectangle's size cut out of the middle with ResizeCanvas again. The pixels are never read outside the image.

#include <cstdint>
#include <span>

namespace qor
{

class Image;

// What a crop of a width x height image along a rectangle (centre and size in pixels, turned by `angle` radians
// counter-clockwise on the screen about its centre) does.
struct RotatedCropPlan
{
   // The bounding box in the image (right and bottom exclusive), widened by one pixel on every side when the
   // rectangle is turned. Meaningless unless valid.
   int32_t left = 0, top = 0, right = 0, bottom = 0;
   // The upright rectangle's size: its width and height rounded to the nearest integer.
   int32_t finalWidth = 0, finalHeight = 0;
   // Nothing to do: the box is the whole image and the angle is 0.
   bool unchanged = false;
   // The box is turned upright and cropped (angle not 0, box larger than one pixel).
   bool turned = false;
   // Every size the crop makes is within 1 .. maxSize (only the box is made when nothing is turned).
   bool valid = false;

   int32_t BoxWidth() const { return right - left; }
   int32_t BoxHeight() const { return bottom - top; }
   // The size of the result.
   int32_t ResultWidth() const { return turned ? finalWidth : BoxWidth(); }
   int32_t ResultHeight() const { return turned ? finalHeight : BoxHeight(); }
};

// The plan of a crop. Non-finite or huge values give an invalid plan.
RotatedCropPlan PlanRotatedCrop( int32_t imageWidth, int32_t imageHeight, float centerX, float centerY, float width,
                                 float height, float angle, int32_t maxSize );

// How the box is turned upright: by Rotate (any angle), or exactly by a right-angle turn.
enum class UprightTurn
{
   General,
   Clockwise90,
   CounterClockwise90,
   Half
};

// Crops the image along a valid plan; `angle` is the rectangle's (the box is turned by -angle), the fill values are
// one per nominal channel, the interpolation and block size those of Image::Rotate. Reports progress and can be
// aborted through the image's monitor; an abort or an exhausted memory leaves the image as it was. Throws
// GenericException for an invalid plan.
void CropRotated( Image& image, const RotatedCropPlan& plan, float angle, UprightTurn turn,
                  std::span<const float> fill, int32_t interpolation, int32_t blockSize );

} // namespace qor

#endif
