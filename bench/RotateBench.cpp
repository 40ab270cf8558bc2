// Rotation by 30 degrees about the centre onto the enlarged canvas. Every repetition starts from a fresh copy of
// the input (untimed); the new planes are allocated inside the timing. The bicubic code is the peers' cubic and
// takes the bare op name; the others carry a suffix.

#include "BenchCommon.h"

#include "Interpolation.h"

#include <memory>
#include <numbers>
#include <string>

namespace
{

void Add( const std::string& op, const qor::Image& input, int32_t code )
{
   auto work = std::make_shared<qor::Image>();
   const float cx = input.Width() * 0.5f, cy = input.Height() * 0.5f;
   const float angle = 30 * std::numbers::pi_v<float> / 180;
   bench::Register(
      op, bench::SizeText( input ),
      [=] { work->Rotate( cx, cy, angle, {}, code, qor::Interpolation::DefaultBlockSize ); },
      [work, &input] { work->Assign( input ); } );
}

struct Registration
{
   Registration()
   {
      Add( "rotate30", bench::GreyInput(), qor::Interpolation::Bicubic );
      Add( "rotate30", bench::RgbInput(), qor::Interpolation::Bicubic );
      Add( "rotate30_bilinear", bench::GreyInput(), qor::Interpolation::Bilinear );
      Add( "rotate30_bspline", bench::GreyInput(), qor::Interpolation::BicubicBSpline );
      Add( "rotate30_spline", bench::GreyInput(), qor::Interpolation::BicubicSpline );
   }
} registration;

} // namespace
