// Gaussian blur, sigma 2 and 5 with a support of 4 sigma (17 and 41 taps), mirrored borders, from an input image
// into a second image whose planes are reused from one run to the next.

#include "BenchCommon.h"

#include "GaussianKernel.h"

namespace
{

struct Registration
{
   Registration()
   {
      for ( float sigma : { 2.0f, 5.0f } )
         for ( bool rgb : { false, true } )
         {
            const qor::Image& input = rgb ? bench::RgbInput() : bench::GreyInput();
            auto output = std::make_shared<qor::Image>();
            bench::Register( "gauss_s" + std::to_string( int( sigma ) ), bench::SizeText( input ),
                             [&input, output, sigma] { qor::GaussianBlur( input, *output, sigma ); } );
         }
   }
} registration;

} // namespace
