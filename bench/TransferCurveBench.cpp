// Intensity mappings, in place on a copy of the input that is refreshed (untimed) before every run:
// - mtf: the histogram transform: shadows 0.05, highlights 1 clipped and the range between rescaled to [0, 1],
//   then the midtones transfer function of balance 0.2, per sample, over parallel row strips;
// - curves_lut: a monotone spline curve through five points, evaluated exactly at every sample of every channel
//   (ApplyTransferCurve; no table).

#include "BenchCommon.h"

#include "HistogramTransform.h"
#include "TransferCurve.h"

#include <memory>

namespace
{

// The histogram transform's stretch of every nominal channel (HistogramsTransform's pixel work).
void ClipAndStretch( qor::Image& image, float c0, float c1, float m )
{
   for ( int32_t c = 0; c < image.NumberOfNominalChannels(); ++c )
      qor::ApplyHistogramTransform( image, c, { c0, c1, m, 0, 1 } );
}

// The curve the curves window builds for a gentle S-shaped stretch: end points fixed, three inner points.
const float CurveX[] = { 0.0f, 0.2f, 0.45f, 0.75f, 1.0f };
const float CurveY[] = { 0.0f, 0.12f, 0.5f, 0.86f, 1.0f };

struct Registration
{
   Registration()
   {
      for ( bool rgb : { false, true } )
      {
         const qor::Image& input = rgb ? bench::RgbInput() : bench::GreyInput();
         auto work = std::make_shared<qor::Image>();
         auto refresh = [&input, work] { work->Assign( input ); };
         bench::Register(
             "mtf", bench::SizeText( input ), [work] { ClipAndStretch( *work, 0.05f, 1.0f, 0.2f ); }, refresh );
         bench::Register(
             "curves_lut", bench::SizeText( input ),
             [work]
             {
                for ( int32_t c = 0; c < work->NumberOfNominalChannels(); ++c )
                   qor::ApplyTransferCurve( *work, c, CurveX, CurveY, false );
             },
             refresh );
      }
   }
} registration;

} // namespace
