// The à trous wavelet transform on the grey sky: B3 spline 5 x 5 kernel, dyadic steps 1, 2, 4, 8 (4 detail layers
// and the residual), decomposed and summed back.

#include "BenchCommon.h"

#include "ATrousWavelets.h"

#include <memory>

namespace
{

const qor::ConvolutionKernel& B3()
{
   static const qor::ConvolutionKernel kernel = qor::ConvolutionKernel::B3Spline();
   return kernel;
}

const int registered = []
{
   const qor::Image& grey = bench::GreyInput();
   std::string size = bench::SizeText( grey );

   // Like the peers, the output planes are allocated once, outside the timing: the layer set is reused.
   auto decomposed = std::make_shared<qor::ATrousLayers>();
   bench::Register( "starlet_dec5", size,
                    [decomposed] { qor::DecomposeATrousLayers( *decomposed, bench::GreyInput(), 0, B3(), 4, 0 ); } );

   auto layers = std::make_shared<qor::ATrousLayers>();
   auto target = std::make_shared<qor::Image>();
   bench::Register(
       "starlet_rec5", size, [layers, target] { qor::ReconstructATrousLayers( *target, 0, *layers ); },
       [layers, target]
       {
          if ( layers->empty() )
          {
             *layers = qor::DecomposeATrousLayers( bench::GreyInput(), 0, B3(), 4, 0 );
             *target = bench::GreyInput();
          }
       } );
   return 0;
}();

} // namespace
