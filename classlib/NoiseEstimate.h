#ifndef QOR_NOISEESTIMATE_H
#define QOR_NOISEESTIMATE_H

// Standard deviation of the noise of one channel by iterative k-sigma clipping.
//
// The first pass takes the mean and the standard deviation (divisor n) of every sample of the channel; each later
// pass takes them again over the samples that lie strictly within k standard deviations of the previous pass's
// mean, so that stars and other structures far from the background drop out. There is no convergence test: the
// estimate of the last of the requested passes is the result.
//
// Sums are kept in double precision and relative to a reference value near the mean (a float sum over a camera
// frame drifts by tens of percent and can make the variance negative); each row is summed on its own and the rows
// are added in order, so the result does not depend on the number of threads. Samples that are not finite never
// count. A pass that keeps no sample leaves the previous estimate standing (a constant channel gives 0), and a
// variance that rounds below zero counts as 0.

#include "Image.h"

#include <cstdint>

namespace qor
{

// The noise estimate of channel `channel` after `iterations` passes with clipping factor k. Reports a task "SNR
// Detection" of width x height x iterations samples on the image's monitor and throws Image::AbortProcessEvent
// when it asks for an abort (the image is only read). Throws GenericException for an empty image, a channel that
// the image does not have, or fewer than one pass.
float EstimateNoiseKSigma( const Image& image, int32_t channel, int32_t iterations, float k );

} // namespace qor

#endif
