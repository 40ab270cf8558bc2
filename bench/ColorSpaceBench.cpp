// Colour-space conversion in place, RGB (sRGB function) <-> CIE L*a*b*, through the default working space. The
// setup (untimed) copies the RGB input, or its L*a*b* conversion, into a work image whose planes are reused from
// one run to the next; the operation converts that image.

#include "BenchCommon.h"

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
      auto work = std::make_shared<qor::Image>();
      auto lab = std::make_shared<qor::Image>();

      bench::Register(
         "rgb2lab", bench::SizeText( input ), [ws, work] { work->SetColorSpace( qor::ColorSpace::CIELab, *ws ); },
         [&input, work] { work->Assign( input ); } );

      bench::Register(
         "lab2rgb", bench::SizeText( input ), [ws, work] { work->SetColorSpace( qor::ColorSpace::RGB, *ws ); },
         [&input, ws, work, lab] {
            if ( lab->IsEmpty() )
            {
               lab->Assign( input );
               lab->SetColorSpace( qor::ColorSpace::CIELab, *ws );
            }
            work->Assign( *lab );
         } );
   }
} registration;

} // namespace
