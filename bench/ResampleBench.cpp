// Resampling to half and to double size with each interpolation. The operation replaces the image's planes, so
// every repetition starts from a fresh copy of the input (untimed); the new planes are allocated inside the timing,
// as the operation does. The bicubic code is the peers' cubic and takes the bare op names; the others carry a
// suffix.

#include "BenchCommon.h"

#include "Interpolation.h"

#include <memory>
#include <string>

namespace
{

void Add( const std::string& suffix, const qor::Image& input, int32_t code )
{
   for ( auto [name, factor] : { std::pair{ "resample_0.5x", 0.5 }, std::pair{ "resample_2x", 2.0 } } )
   {
      auto work = std::make_shared<qor::Image>();
      int32_t w = int32_t( input.Width() * factor ), h = int32_t( input.Height() * factor );
      bench::Register(
         name + suffix, bench::SizeText( input ),
         [work, w, h, code] { work->Resample( w, h, code, qor::Interpolation::DefaultBlockSize ); },
         [work, &input] { work->Assign( input ); } );
   }
}

struct Registration
{
   Registration()
   {
      Add( "", bench::GreyInput(), qor::Interpolation::Bicubic );
      Add( "", bench::RgbInput(), qor::Interpolation::Bicubic );
      Add( "_bilinear", bench::GreyInput(), qor::Interpolation::Bilinear );
      Add( "_bspline", bench::GreyInput(), qor::Interpolation::BicubicBSpline );
      Add( "_spline", bench::GreyInput(), qor::Interpolation::BicubicSpline );
   }
} registration;

} // namespace
