#ifndef QOR_WAVELETLAYEREDITS_H
#define QOR_WAVELETLAYEREDITS_H

// The sample edits of a wavelet transform between its decomposition and its reconstruction, and the mappings of a
// reconstructed channel into the sample range. Each runs over row strips in parallel (qor::ParallelRows); all
// arithmetic is in float, so the result does not depend on the number of threads.

#include "ATrousWavelets.h"
#include "Image.h"

#include <cstdint>
#include <vector>

namespace qor
{

// One pass over a detail layer (or the residual), in this order per sample p:
// - noise thresholding, when thresholdAmount != 0: |p| < threshold gives (1 - thresholdAmount) * p;
// - weighting, when gain != 1 or ringingAmount != 0: p < ringingLevel gives ((1 - ringingAmount) * gain) * p when
//   ringingAmount != 0, every other sample gain * p.
struct WaveletLayerEdit
{
   float threshold = 0;
   float thresholdAmount = 0;
   float gain = 1;
   float ringingLevel = 0;
   float ringingAmount = 0;

   // Whether the edit changes anything at all.
   bool IsIdentity() const { return thresholdAmount == 0 && gain == 1 && ringingAmount == 0; }
};

// Applies the edit to every nominal channel of the layer. Unmonitored; nothing happens for an identity edit.
void EditWaveletLayer( Image& layer, const WaveletLayerEdit& edit );

// The reconstruction with the edits fused into it: channel c of the image becomes the sum of the non-null layers,
// each taken through its edit (edits[i] for layers[i]), from the residual down to layer 0 in float; with normalize,
// then clamped to [-rangeLow, 1 + rangeHigh] and, when either extension is not 0, that interval mapped onto
// [0, 1]. The same samples as editing every layer, reconstructing and normalizing one after the other, in one
// pass over the planes. Reports a task "Inverse À Trous Wavelets
// Transform" of one unit per row; throws Image::AbortProcessEvent on an abort (rows already done stay done).
// Throws GenericException as ReconstructATrousLayers does, or when the edits do not match the layers one to one.
void ReconstructEditedATrousLayers( Image& image, int32_t c, const ATrousLayers& layers,
                                    const std::vector<WaveletLayerEdit>& edits, bool normalize, float rangeLow,
                                    float rangeHigh );

// Rescales channel c from its own [min, max] and shows it as a negative with a gamma: t = (p - min) / (max - min),
// p = 1 - t^gamma (gamma 0 gives 0 everywhere, t = 0 gives 1). A constant channel is left as it is, and no task
// is started; otherwise a task "Rescaling pixel values" of one unit per sample. Throws Image::AbortProcessEvent on
// an abort.
void RescaleWaveletChannel( Image& image, int32_t c, float gamma );

} // namespace qor

#endif
