#ifndef QOR_GAUSSIANKERNEL_H
#define QOR_GAUSSIANKERNEL_H

// Gaussian kernels, the Gaussian blur and the clamping of samples into [0, 1].
//
// CreateGaussianKernel builds the square, radially symmetric low-pass kernel of the selective noise reduction:
// k(i, j) = exp(-r^s / (s sigma^s)) with r the distance from the centre, s the shape exponent (2 is the ordinary
// Gaussian, the noise reduction uses 0.5). It is not normalised: the centre is 1 and whoever convolves with it
// divides by the sum of its coefficients. Its size follows from the radius at which the function falls to the
// truncation threshold t; the whole square is filled, so the corners beyond that radius stay.
//
// GaussianBlur is the ordinary normalised Gaussian filter (shape 2), applied as two 1-D passes. Borders mirror
// without repeating the edge sample (column -1 is column 1); a kernel wider than the image mirrors again at the
// far side, so any image size is valid, one sample wide included.
//
// Parameters are checked before anything is allocated: a sigma that is not a positive finite number, a shape
// exponent that is not positive, a threshold outside (0, 1] or a kernel too large to address throw
// GenericException.

#include "Image.h"

#include <cstdint>
#include <vector>

namespace qor
{

// Largest side of a kernel that the functions below accept.
constexpr int32_t MaxGaussianKernelSize = 32767;

// Side n (odd, at least 3) of the kernel that CreateGaussianKernel builds for these parameters.
int32_t GaussianKernelSize( float sigma, float shape, float threshold );

// A new n x n kernel, row by row, with n = GaussianKernelSize( sigma, shape, threshold ) written to `n`.
std::vector<float> CreateGaussianKernel( int32_t& n, float sigma, float shape, float threshold );

// Fills the n x n array k (n odd) with the kernel's coefficients; only one quadrant is evaluated, the rest is
// copied by symmetry.
void FillGaussianKernel( float* k, int32_t n, float sigma, float shape );

// Forces every sample of the nominal channels into [0, 1]: NaN and negative values become 0, values above 1
// become 1; alpha channels stay as they are. The caller starts the monitor's task (total: width x height x nominal
// channels); the function advances it and throws Image::AbortProcessEvent on an abort request, leaving the
// samples already clamped clamped.
void ClampSamples( Image& image );

// The same rule over count samples at p.
void ClampSamples( float* p, int64_t count );

// Normalised 1-D Gaussian exp(-x^2 / (2 sigma^2)) of radius max(1, round(support x sigma)): 2 radius + 1 taps
// summing to 1.
std::vector<float> GaussianBlurKernel( float sigma, float support = 4.0f );

// Blurs the nominal channels of `source` into `target` (which takes the source's geometry and colour space; its
// planes are reused when the geometry already matches) with GaussianBlurKernel( sigma, support ); alpha channels
// are copied. `target` may be `source`. A task "Gaussian blur" of nominal channels x height rows is started on
// the source's monitor; an abort request throws Image::AbortProcessEvent, the target then holding some rows
// blurred.
void GaussianBlur( const Image& source, Image& target, float sigma, float support = 4.0f );

// The same in place, through new planes: an abort or an exhausted memory leaves the image as it was.
void GaussianBlur( Image& image, float sigma, float support = 4.0f );

} // namespace qor

#endif
