#ifndef QOR_ATROUSWAVELETS_H
#define QOR_ATROUSWAVELETS_H

// The à trous ("with holes") wavelet transform and the convolution it rests on.
//
// Convolve filters the nominal channels of an image with a square kernel whose taps may be spread `step` samples
// apart: the kernel dilated by step - 1 zeros between its coefficients, of which only the n x n real taps are
// visited. It is a correlation (the kernel is not flipped) divided by a weight, by default the kernel's sum.
//
// Borders: a tap that falls outside the image reads a sample inside it.
// - Columns are reflected about the edge sample, which is not repeated: column -1 reads column 1, column W reads
//   column W - 2.
// - Rows above the image mirror the top rows with the edge row repeated: row -1 reads row 0, row -2 row 1.
// - Rows below the image repeat the last row.
// A dilated kernel may reach farther than the image is wide or tall (many dyadic layers on a small image or a
// preview). The reflections are then repeated (columns with period 2 (W - 1), rows above with period 2 H), and a
// side one sample long repeats its one sample. No index ever leaves the image, whatever the kernel size, the step
// and the image size.
//
// DecomposeATrousLayers smooths one channel m times with the kernel dilated by the steps 1, 2, 4, 8, .. (dyadic)
// or 1, k + 1, 2k + 1, .. (linear, step k) and returns the m differences of successive smoothings (the detail
// layers, finest first) followed by the last smoothing (the residual): at every pixel the m + 1 layers sum to the
// channel. ReconstructATrousLayers writes that sum back into a channel, counting discarded (null) layers as zero.
//
// Speed: a kernel of rank one (the outer product of a column and a row, as the B3 spline and the linear
// interpolation kernels are) is applied as a vertical and a horizontal 1-D pass fused per row; any other kernel
// tap by tap, skipping its zero taps. Rows are filtered in parallel strips (qor::ParallelFor); the result does not
// depend on the number of threads. Sums are accumulated in double precision and stored as float.

#include "Image.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace qor
{

// A square convolution kernel: size n (odd, at least 1) and n x n coefficients row by row, coefficient (i, j) at
// index i * n + j; the centre is (n / 2, n / 2).
struct ConvolutionKernel
{
   int32_t size = 0;
   std::vector<float> coefficients;

   float At( int32_t row, int32_t column ) const { return coefficients[size_t( row ) * size_t( size ) + column]; }

   // Sum of the coefficients, accumulated in double precision.
   double Weight() const;

   // True when the size is odd and positive and there are size x size coefficients.
   bool IsValid() const;

   // The outer product of `column` and `row`, both of the same odd length, divided by `divisor`.
   static ConvolutionKernel OuterProduct( const std::vector<float>& column, const std::vector<float>& row,
                                          float divisor = 1 );

   // (1, 2, 1)ᵀ (1, 2, 1) / 16: the 3 x 3 linear interpolation kernel.
   static ConvolutionKernel LinearInterpolation();

   // (1, 4, 6, 4, 1)ᵀ (1, 4, 6, 4, 1) / 256: the 5 x 5 B3 spline kernel.
   static ConvolutionKernel B3Spline();
};

// The layers of a decomposition: entries 0 .. m - 1 the detail layers from the finest scale, entry m the residual;
// one-channel grey images of the source's size. A null entry is a discarded layer (zero everywhere).
using ATrousLayers = std::vector<std::unique_ptr<Image>>;

// Step of the smoothing that ends layer `layer` (0 for the finest): 2^layer when scaleDelta <= 0 (dyadic), else
// layer * scaleDelta + 1. Throws GenericException when the step does not fit in 31 bits.
int32_t ATrousLayerScale( int32_t layer, int32_t scaleDelta );

// Filters every nominal channel of `image` in place; alpha channels keep their samples. `step` >= 1 spaces the
// taps. `weight` divides the sums; 0 stands for the kernel's sum, or 1 when that sum is below 1e-10 in magnitude.
// Selective mode, when low != 0 or high != 1: a sample takes its filtered value r only when
// low <= |sample - r| <= high, and keeps its own value otherwise.
// The channels are filtered into new planes that replace the old ones at the end (one plane per nominal channel
// of extra memory). Advances the image's monitor by one per row of every channel (the caller starts the task).
// On an abort it throws Image::AbortProcessEvent and leaves the image unchanged. Throws GenericException for an
// invalid kernel or step.
void Convolve( Image& image, const ConvolutionKernel& kernel, int32_t step = 1, float low = 0, float high = 1,
               double weight = 0 );

// Decomposes channel `channel` of `image` (only read) into `layerCount` detail layers and the residual with the
// kernel dilated by the steps of ATrousLayerScale. Reports a task "À Trous Wavelet Transform" of
// height x layerCount rows on the image's monitor; on an abort it throws Image::AbortProcessEvent for `image`
// and releases every layer. Throws GenericException for an empty image, a channel out of range, an invalid
// kernel, or a layer count below 1 or with steps beyond 31 bits.
ATrousLayers DecomposeATrousLayers( const Image& image, int32_t channel, const ConvolutionKernel& kernel,
                                    int32_t layerCount, int32_t scaleDelta );

// The same into an existing layer set, which gets layerCount + 1 entries: images already of the right size keep
// their planes (a process that decomposes channel after channel saves the allocation and first touch of fresh
// memory), missing ones are created. On any exception the set is emptied.
void DecomposeATrousLayers( ATrousLayers& layers, const Image& image, int32_t channel, const ConvolutionKernel& kernel,
                            int32_t layerCount, int32_t scaleDelta );

// Overwrites channel `channel` of `image` with the sum of the non-null layers (a null residual starts the sum from
// zeros). The sum is taken per sample from the residual down to layer 0, in float. Reports a task "Inverse À
// Trous Wavelets Transform" of one unit per row; on an abort it throws Image::AbortProcessEvent, the rows done
// holding the sum and the others their old samples. Throws GenericException when there is no layer, a layer is
// not of the image's size or is the image itself, or the channel is out of range.
void ReconstructATrousLayers( Image& image, int32_t channel, const ATrousLayers& layers );

} // namespace qor

#endif
