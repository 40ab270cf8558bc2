#ifndef QOR_BACKGROUNDSAMPLES_H
#define QOR_BACKGROUNDSAMPLES_H

// Background samples: square boxes placed on an image where it shows only sky, each of which measures the
// background level under it, and the model points they give to a background model (BackgroundModel.h).
//
// Measurement. A box of (2r+1) x (2r+1) pixels about its anchor takes the median of each nominal channel over the
// box (insensitive to stars), the lightness of those medians as a reference, and accepts the box pixels whose
// lightness departs from the reference by no more than the fraction `tolerance` of it (by no more than `tolerance`
// itself when the reference is zero): stars, their halos and other objects are rejected. The sample's values are
// the means of the accepted pixels, its centre the centroid of their positions, its mask one byte per box pixel
// (255 accepted, 0 rejected). Lightness is the grey value of a grey image and the normalised CIE L* of an RGB
// image under the working space. Box pixels outside the image count neither in the medians nor as accepted, so a
// box that reaches past the border is measured on the part of it that lies inside.
//
// A fixed sample carries values the user imposed; it has no mask and is never measured.
//
// Symmetries. A sample may stand for copies of itself mirrored about a centre of symmetry: horizontally (the
// mirror column), vertically (the mirror row), diagonally (the point opposite the centre), or rotated about the
// centre into n equal steps (axial). The model points of a set of samples are each sample's centre followed by
// its copies, all with the sample's values.

#include <cstdint>
#include <vector>

namespace qor
{

class Image;
class RGBColorSystem;

struct BackgroundSample
{
   enum Symmetry : uint8_t
   {
      HorizontalSymmetry = 1,
      VerticalSymmetry = 2,
      DiagonalSymmetry = 4,
      AxialSymmetry = 8
   };

   int32_t anchorX = 0; // centre pixel of the box
   int32_t anchorY = 0;
   int32_t radius = 0; // the box is anchor +/- radius in both directions
   uint8_t symmetries = 0;
   int32_t axialCount = 0; // n of the n-fold axial symmetry, the sample itself included
   bool fixed = false;
   float centerX = 0; // centroid of the accepted pixels, the anchor when none is accepted
   float centerY = 0;
   float values[3] = { 0, 0, 0 }; // per channel: the mean of the accepted pixels, or the fixed values
   int32_t pixelCount = 0;        // accepted pixels
   std::vector<uint8_t> mask;     // (2r+1)^2 bytes, row by row; empty for a fixed sample

   int32_t BoxSize() const { return 2 * radius + 1; }
   // The axial copies of the sample: axialCount - 1 when the axial symmetry is set and makes at least two
   // positions, otherwise none.
   int32_t AxialCopies() const;
   // The model points the sample gives: itself and one per copy.
   int32_t PointCount() const;
};

// Keeps a box in an image of width x height: a radius of 0 or less becomes 1, one larger than the smaller half side
// becomes that half side; then the anchor is moved so that anchor - r >= 0 and anchor + r <= side - 1 (on an image
// too small for the box, the second rule wins).
void ClampBackgroundSample( int32_t& x, int32_t& y, int32_t& r, int32_t width, int32_t height );

// Places the sample at (x, y) with radius r (below 2 taken as 1) and clears its measurement: the centre is the
// anchor, pixelCount 0, the values 0 unless the sample is fixed. A fixed sample has no mask; a measured one gets a
// mask of its box size, all 0.
void DefineBackgroundSample( BackgroundSample& sample, int32_t x, int32_t y, int32_t r );

// Measures the sample on the image (its nominal channels: one for a grey image, three for an RGB image, whose
// lightness comes from rgbws) as described above. A fixed sample is only defined again and keeps its values.
void EvaluateBackgroundSample( BackgroundSample& sample, const Image& image, const RGBColorSystem& rgbws,
                               float tolerance );

// Lightness of a colour: the grey value itself, or the normalised CIE L* of an RGB triple under rgbws.
float BackgroundLightness( const float* value, int32_t channels, const RGBColorSystem& rgbws );

// Anchors of an automatic grid of samples of radius r over an image of width x height with `intervals` intervals
// across: columns from r to width - r - 1 in equal steps, rows from r to height - r - 1 in steps as close to the
// column step as a whole number of rows allows, numbered column by column, top to bottom. r is brought into
// 1 .. half the smaller side and intervals to at least 1; there is always at least one row of intervals, and an
// image too small for two boxes side by side gets one sample at its centre. *radius receives the radius used.
struct BackgroundGridPoint
{
   int32_t x = 0;
   int32_t y = 0;
};
std::vector<BackgroundGridPoint> BackgroundSampleGrid( int32_t width, int32_t height, int32_t r, int32_t intervals,
                                                       int32_t* radius = nullptr );

// The model points of a set of samples on an image of width x height with the centre of symmetry (cx, cy) in
// pixels: coordinates normalised by the image size, values of `channels` channels (1 or 3).
struct BackgroundModelPoints
{
   std::vector<float> x, y;
   std::vector<std::vector<float>> f; // one row of values per channel

   int32_t Count() const { return int32_t( x.size() ); }
   int32_t Channels() const { return int32_t( f.size() ); }
};
BackgroundModelPoints BackgroundSamplePoints( const std::vector<BackgroundSample>& samples, int32_t width,
                                              int32_t height, float cx, float cy, int32_t channels );

} // namespace qor

#endif
