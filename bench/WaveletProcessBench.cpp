// The wavelet process on the grey sky against its bare pixel work: B3 spline 5 x 5 kernel, dyadic steps 1, 2, 4, 8
// (4 detail layers and the residual). "wavelet_nt5" is the whole process with noise thresholding (the noise
// estimate, the work copy, the decomposition, the thresholds, the reconstruction and the range mapping);
// "starlet_decrec5" is the decomposition and reconstruction alone, into a reused layer set.

#include "BenchCommon.h"

#include "ATrousWavelets.h"
#include "process/ATrousWaveletsTransform.h"

#include <memory>

namespace
{

class BenchView : public ProcessView
{
public:
   bool IsPreview() const override { return false; }
   std::string FullId() const override { return "Bench"; }
   qor::Image* TargetImage() const override { return image.get(); }

   std::shared_ptr<qor::Image> image = std::make_shared<qor::Image>();
};

const int registered = []
{
   const qor::Image& grey = bench::GreyInput();
   const std::string size = bench::SizeText( grey );

   auto process = std::make_shared<ATrousWaveletsTransform>();
   ATrousWaveletsTransform::Parameters& p = process->Params();
   p.scaleDelta = 0;
   p.scalingFunctionKernelSize = 5;
   p.scalingFunctionKernel = qor::ConvolutionKernel::B3Spline().coefficients;
   p.noiseThresholdAmount = 1;
   p.noiseThreshold = 3;
   auto view = std::make_shared<BenchView>();
   bench::Register(
       "wavelet_nt5", size, [process, view] { process->DoExecuteOn( *view ); },
       [view] { *view->image = bench::GreyInput(); } );

   auto layers = std::make_shared<qor::ATrousLayers>();
   auto target = std::make_shared<qor::Image>();
   bench::Register(
       "starlet_decrec5", size,
       [layers, target]
       {
          qor::DecomposeATrousLayers( *layers, *target, 0, qor::ConvolutionKernel::B3Spline(), 4, 0 );
          qor::ReconstructATrousLayers( *target, 0, *layers );
       },
       [target] { *target = bench::GreyInput(); } );
   return 0;
}();

} // namespace
