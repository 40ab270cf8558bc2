#ifndef LF_PROCESS_SGBNR_H
#define LF_PROCESS_SGBNR_H

// SGBNR: noise reduction by a selective Gaussian-like low-pass filter whose neighbours across an edge are replaced
// by protected values (qor::ConvolveEdgeProtected), blended with the unfiltered samples by an amount, repeated,
// and optionally kept off bright areas through a luminance mask. It works on the image's own channels (composite
// RGB or grey) or in CIE L*a*b*, where the lightness and the chrominance have parameter sets of their own. Large
// kernels on large images are applied at a reduced size. The window is TSGBNRWindow.

#include <array>
#include <cstdint>

#include "process/Process.h"

namespace qor
{
class Image;
}

class SGBNR : public Process
{
public:
   // The parameter sets, by index.
   enum Set : int32_t
   {
      compositeSet = 0, // RGB/K
      lightnessSet = 1, // CIE L*
      chrominanceSet = 2, // CIE a* and b* together
      aSet = 3,
      bSet = 4,
      numberOfSets = 5
   };

   class Parameters : public Process::Parameters
   {
   public:
      std::unique_ptr<Process::Parameters> Clone() const override;
      void Assign( const Process::Parameters& source ) override;
      // Layouts: 1.0 (three sets, each preceded by a byte that chose the colour model), 1.1 (the colour model,
      // five sets), 1.2 (an apply flag per set), 1.3 (the luminance mask). Every value is checked after the read
      // (a sigma in (0, 100], an amount in [0, 1], 1 .. 100 iterations, finite thresholds and overdrives, a gamma
      // in (0, 10], a clipping point in [0, 1)): a bad one throws qor::GenericException and the set stays as it
      // was.
      void Read( qor::File& file, float version ) override;
      // Always the newest layout: 188 bytes.
      void Write( qor::File& file, float version ) const override;
      std::string ToText( int32_t level ) const override;

      // Default values of the filter and edge-protection fields of one set.
      void ResetFilter( int32_t set );
      void ResetEdgesProtection( int32_t set );
      void ResetLuminanceMask();

      int32_t colorModel = 0; // 0 composite RGB/K, 1 CIE L | ab, 2 CIE L | a | b
      bool luminanceMask = false;
      float gamma = 1.0f;
      float clip = 0.15f;
      std::array<bool, numberOfSets> apply;
      std::array<float, numberOfSets> sigma;
      std::array<float, numberOfSets> amount;
      std::array<int32_t, numberOfSets> numberOfIterations;
      std::array<bool, numberOfSets> darkSidesEdgesProtection;
      std::array<float, numberOfSets> darkSidesThreshold;
      std::array<float, numberOfSets> darkSidesOverdrive;
      std::array<bool, numberOfSets> brightSidesEdgesProtection;
      std::array<float, numberOfSets> brightSidesThreshold;
      std::array<float, numberOfSets> brightSidesOverdrive;

      Parameters();

   private:
      std::string SetText( int32_t set ) const;
   };

   // Kernel shape exponent and truncation threshold (qor::CreateGaussianKernel).
   static constexpr float KernelShape = 0.5f;
   static constexpr float KernelThreshold = 0.01f;

   // The size at which a kernel of size n is applied to a target of width x height whose window image is
   // wholeWidth x wholeHeight: kernels of 24 and more on window images larger than 256 x 256 are shrunk towards 23
   // samples, the image with them, keeping the window image at least 256 and the target at least 32 samples on
   // its smaller side; kernelSize is then odd and at least 3. Without a reduction, the sizes given.
   struct WorkSize
   {
      int32_t kernelSize;
      int32_t width;
      int32_t height;
      bool Reduced( int32_t n ) const { return kernelSize != n; }
   };
   static WorkSize ComputeWorkSize( int32_t n, int32_t width, int32_t height, int32_t wholeWidth,
                                    int32_t wholeHeight );

   SGBNR();
   SGBNR( const SGBNR& source );
   explicit SGBNR( const Parameters& p );

   std::unique_ptr<Process> Clone() const override;
   std::string Id() const override;
   float Version() const override;
   // The window's side (defined with TSGBNRWindow).
   bool IsInterface( const QWidget* form ) const override;
   bool IsInterfaceAvailable() const override;
   void LaunchInterface() override;
   void DoExecuteOn( ProcessView& view ) override;

   Parameters& Params() { return static_cast<Parameters&>( *parameters ); }
   const Parameters& Params() const { return static_cast<const Parameters&>( *parameters ); }

private:
   // Filters the channels of the target whose bit is set in channelMask with the parameters of one set.
   void ProcessParameterSet( ProcessView& view, qor::Image& target, int32_t set, uint32_t channelMask );
};

#endif
