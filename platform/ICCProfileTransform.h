#ifndef LF_PLATFORM_ICC_PROFILE_TRANSFORM_H
#define LF_PLATFORM_ICC_PROFILE_TRANSFORM_H

// A colour transform between two ICC profiles on planes of floating-point samples, as exact as LittleCMS's
// unoptimised pipeline and faster than its optimised 16-bit one.
//
// LittleCMS's optimised 16-bit transforms precompute a lattice of the whole conversion, which misses by several
// 8-bit steps in dark tones and at gamut edges; its exact pipeline, evaluated stage by stage in floating point, is
// several times slower. Between the matrix-shaper profiles an image-processing session mostly meets (tone curves and
// a matrix to XYZ, or a grey tone curve), LittleCMS's pipeline is input tone curves, one or two matrices and output
// tone curves. Such a pipeline is evaluated here as LittleCMS evaluates it, stage by stage (the matrices in double
// precision with single-precision results between stages), with its tone curves read from tables of the values
// LittleCMS gives: each input curve at every 16-bit step, read with linear interpolation; each output curve either
// at every 16-bit step where LittleCMS reads a 16-bit table at the nearest step, or at 256 points per octave over 64
// octaves where it evaluates a function. The tables are checked against LittleCMS's pipeline on a set of probe
// colours when the transform is made; any other pipeline, or one that fails the check, is evaluated by LittleCMS.
//
// Samples are taken in [0, 1] (below is 0, above is 1, NaN is 0) and the results lie in [0, 1].
// Apply may be called from several threads at once.

#include <cstdint>
#include <memory>
#include <vector>

#include "platform/ICCProfile.h"

class ICCProfileTransform
{
public:
   ~ICCProfileTransform();

   // The transform from the source profile to the target profile with a rendering intent (0-3); null when
   // LittleCMS cannot link them (or either is null, or either is neither RGB nor grey).
   static std::unique_ptr<ICCProfileTransform> Create( ICCProfileHandle source, ICCProfileHandle target,
                                                       uint32_t intent );

   // 3 for an RGB profile, 1 for a grey one.
   int InputChannels() const { return inputChannels; }
   int OutputChannels() const { return outputChannels; }
   // Whether the tables convert (true) or LittleCMS's pipeline does (false).
   bool IsTabulated() const { return tabulated; }

   // Converts n pixels: input planes (InputChannels of them) to output planes (OutputChannels); an output plane may
   // be an input plane. false when LittleCMS reported a failure (the output is then undefined).
   bool Apply( const float* const* input, float* const* output, int64_t n ) const;

   struct Tables;

private:
   ICCProfileTransform() = default;
   bool Verify() const;

   int inputChannels = 3;
   int outputChannels = 3;
   bool tabulated = false;
   std::unique_ptr<Tables> tables;
   void* exact = nullptr; // the LittleCMS floating-point transform (cmsHTRANSFORM)
};

#endif
