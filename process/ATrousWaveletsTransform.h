#ifndef LF_PROCESS_ATROUS_WAVELETS_TRANSFORM_H
#define LF_PROCESS_ATROUS_WAVELETS_TRANSFORM_H

// ATrousWaveletsTransform: decomposes each channel of an image (or the CIE lightness of a colour image) into detail
// layers and a residual with the à trous algorithm, edits every layer (drops it, weights it by a bias, attenuates
// its noise below a k-sigma threshold, attenuates dark ringing, smooths it with a median filter), sums the layers
// back and maps the result into the sample range, or, in layer preview mode, rescales it to its own range. The
// pixel work is classlib's (ATrousWavelets.h, WaveletLayerEdits.h); the window is TATrousWaveletsWindow.
//
// Parameter stream (version 1.2, little-endian): int32 m; m + 1 layer records of 25 bytes (uint8 enabled, float32
// bias, float32 noise reduction amount, int32 iterations, int32 kernel size, float32 deringing amount, float32
// deringing threshold); int32 scaleDelta; int32 kernel size n and n x n float32 coefficients; float32 noise
// threshold amount, noise threshold, range low, range high; uint8 useLuminance. Version 1.0 records lack the two
// deringing fields and carry 4 unused bytes before useLuminance; before 1.2 a nonzero noise reduction amount a
// stood for 0.75 a + 0.25 of today's.

#include <cstdint>
#include <vector>

#include "process/WaveletProcess.h"

class ATrousWaveletsTransform : public WaveletProcess
{
public:
   // The limits a stream is checked against.
   static constexpr int32_t MaxLayers = 12;
   static constexpr int32_t MaxScaleDelta = 16;

   struct LayerParameters
   {
      bool enabled = true;
      float bias = 0;                        // factor 1 + 10 bias (bias >= 0) or 1 / (1 + 10 |bias|)
      float noiseReductionAmount = 0;        // median smoothing; 0: off
      int32_t noiseReductionIterations = 1;  // median passes
      int32_t noiseReductionKernelSize = 5;  // odd median box size
      float deringingAmount = 0;             // attenuation of dark ringing; 0: off
      float deringingThreshold = 0.05f;      // its tenth is the coefficient level

      // The factor that the bias stands for.
      float Gain() const;
   };

   class Parameters : public Process::Parameters
   {
   public:
      Parameters();

      std::unique_ptr<Process::Parameters> Clone() const override;
      void Assign( const Process::Parameters& source ) override;
      // Every value is checked (1 .. MaxLayers layers, scaleDelta 0 .. MaxScaleDelta, an odd kernel size whose
      // coefficients the file holds, odd median boxes of 3 .. 255 with 1 .. 100 passes, finite reals): a value
      // out of range throws qor::GenericException and the set stays as it was.
      void Read( qor::File& file, float version ) override;
      void Write( qor::File& file, float version ) const override;
      std::string ToText( int32_t level ) const override;

      // n + 1 default records (none for n = 0), then a copy of n + 1 given records.
      void SetLayers( int32_t n, const LayerParameters* records = nullptr );
      // n + 1 default records into which the first min(m, n) + 1 old records are copied by index.
      void ResizeLayers( int32_t n );

      // The 3 x 3 linear interpolation kernel.
      static std::vector<float> DefaultKernel();

      int32_t numberOfDetailLayers = 4;
      std::vector<LayerParameters> layers; // numberOfDetailLayers + 1 records, the residual's last
      int32_t scaleDelta = 1;              // 0: dyadic scales; k: linear with step k
      int32_t scalingFunctionKernelSize = 3;
      std::vector<float> scalingFunctionKernel; // size x size, row by row; empty when the size is 0
      float noiseThresholdAmount = 0;
      float noiseThreshold = 1;
      float rangeLow = 0;
      float rangeHigh = 0;
      bool previewLayers = false; // working fields of the window's preview: neither streamed nor in the text
      float previewGamma = 1;
      bool useLuminance = true;
   };

   ATrousWaveletsTransform();
   ATrousWaveletsTransform( const ATrousWaveletsTransform& source );
   explicit ATrousWaveletsTransform( const Parameters& p );

   std::unique_ptr<Process> Clone() const override;
   std::unique_ptr<Process> ProbeInstance() const override;
   std::string Id() const override;
   float Version() const override;
   bool IsInterface( const QWidget* form ) const override;
   bool IsInterfaceAvailable() const override;
   void LaunchInterface() override;
   // The run works on a copy of the image (or on its lightness) that takes the image's place only when every
   // channel is done: an abort or a failure leaves the image as it was. Throws qor::GenericException for a set
   // without layers or without a valid kernel.
   void DoExecuteOn( ProcessView& view ) override;

   Parameters& Params() { return static_cast<Parameters&>( *parameters ); }
   const Parameters& Params() const { return static_cast<const Parameters&>( *parameters ); }

   // The factors of the noise threshold of the first four layers, times the noise estimate and the threshold.
   static constexpr float NoiseFactors[4] = { 0.89f, 0.2f, 0.086f, 0.04f };
};

#endif
