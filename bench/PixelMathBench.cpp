// Pixel arithmetic of two images with one operator, as PixelMath runs it with its default result stage: the
// operand image applied to every channel (pixelmath_add: x + b, pixelmath_mul: x * b), the result factors and the
// rescale of every channel to [0, 1] (its range taken while the operand stage writes, then one pass to map it). In
// place on a copy of the input that is refreshed (untimed) before every run; the operand is the input turned upside
// down, so that the two differ.

#include "BenchCommon.h"

#include "PixelMath.h"
#include "RGBColorSystem.h"

#include <memory>

namespace
{

void PixelMath( qor::Image& target, const qor::Image& operand, int32_t op )
{
   static const float unit[3] = { 1, 1, 1 };
   static const qor::RGBColorSystem rgbws;
   qor::PixelMathRanges ranges;
   qor::ApplyPixelMathImage( target, operand, op, unit, false, 0, 0, rgbws, &ranges );
   qor::ApplyPixelMathResult( target, unit, false, 0, true, &ranges );
   qor::RescalePixelMathResult( target, 0, 1, false, &ranges );
}

struct Registration
{
   Registration()
   {
      for ( bool rgb : { false, true } )
      {
         const qor::Image& input = rgb ? bench::RgbInput() : bench::GreyInput();
         auto operand = std::make_shared<qor::Image>( input );
         operand->MirrorVertical();
         auto work = std::make_shared<qor::Image>();
         auto refresh = [&input, work] { work->Assign( input ); };
         bench::Register(
             "pixelmath_add", bench::SizeText( input ),
             [work, operand] { PixelMath( *work, *operand, qor::PixelMathOperator::ADD ); }, refresh );
         bench::Register(
             "pixelmath_mul", bench::SizeText( input ),
             [work, operand] { PixelMath( *work, *operand, qor::PixelMathOperator::MUL ); }, refresh );
      }
   }
} registration;

} // namespace
