#ifndef QOR_BACKGROUNDMODEL_H
#define QOR_BACKGROUNDMODEL_H

// The background model of an image: for each channel, a polyharmonic surface spline (SurfaceSpline.h) through
// model points at normalised positions (pixel x / width, pixel y / height), evaluated at every pixel of a grid the
// size of the image, optionally reduced by an integer factor. Model pixel (i, j) of a w x h model lies at the
// normalised position (i / w, j / h), so the model's top-left pixel matches the image's and the model covers the
// whole image at its reduced scale. Values are clamped to [0, 1].

#include "StatusCallback.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>

namespace qor
{

class Image;

// The size of the model of a width x height image subsampled by `subsample` (>= 1): the nearest integers (ties to
// even) of the sides divided by the factor in single precision; when a side comes out below 16, the image is
// scaled instead so that its smaller side gives 16 model pixels.
void BackgroundModelSize( int32_t width, int32_t height, int32_t subsample, int32_t& w, int32_t& h );

struct BackgroundModelInput
{
   int32_t n = 0;                       // model points
   const float* x = nullptr;            // n normalised coordinates
   const float* y = nullptr;
   std::span<const float* const> f;     // 1 or 3 rows of n values, one per channel
   int32_t order = 2;                   // order of the spline, 2 (thin-plate) to 5
   float smoothing = 0;                 // 0: the model passes through every point
   int32_t width = 0;                   // size of the image the points were taken from
   int32_t height = 0;
   int32_t subsample = 1;
};

// Computes the model: a grey image for one row of values, an RGB image for three. It fits the spline of each
// channel in turn, then evaluates every channel at every model pixel on the worker threads (the channels share
// the kernel values). Steps are announced through `announce` (when given) before they begin: for each channel
// "Processing channel #k" (only for three channels) and "Computing 2-D surface spline", then "Generating
// background model pixels"; the evaluation is monitored through the model image's monitor with `callback` and
// `data` ("2-D surface spline interpolation", one unit per model pixel), which is cleared again before the call
// returns or throws.
//
// Throws GenericException "At least six samples are required" for fewer than six points (before allocating
// anything), the surface spline's "Singular matrix in 2-D interpolation surface spline generator" for a system it
// cannot solve (coinciding points without smoothing, all points on one line) or a model that would not be finite,
// GenericException for a channel count other than 1 or 3, an order outside 2..5, a negative or non-finite
// smoothing, a subsample below 1 or an empty image, and Image::AbortProcessEvent when the monitor asks to abort.
// Nothing is returned half made.
std::unique_ptr<Image> ComputeBackgroundModel( const BackgroundModelInput& input,
                                               StatusCallback::Function callback = nullptr, void* data = nullptr,
                                               const std::function<void( const std::string& )>& announce = nullptr );

} // namespace qor

#endif
