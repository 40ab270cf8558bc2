// Extraction of the three CIE L*a*b* components of the RGB input into three new grey images, through the default
// working space: the same work as the rgb2lab conversion in place, plus the new images. Each run makes its images
// anew, as a run of the process does.

#include "BenchCommon.h"

#include "ColorChannels.h"
#include "RGBColorSystem.h"

#include <memory>

namespace
{

struct Registration
{
   Registration()
   {
      const qor::Image& input = bench::RgbInput();
      auto ws = std::make_shared<qor::RGBColorSystem>();
      bench::Register( "extract-lab", bench::SizeText( input ), [&input, ws] {
         auto images = qor::ExtractColorChannels( input, qor::ColorSpace::CIELab, { true, true, true }, *ws );
         benchmark::DoNotOptimize( images[0]->PixelData( 0 ) );
      } );
   }
} registration;

} // namespace
