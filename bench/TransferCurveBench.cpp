// Intensity mappings, in place on a copy of the input that is refreshed (untimed) before every run:
// - mtf: shadows 0.05, highlights 1 clipped and the range between rescaled to [0, 1], then the midtones transfer
//   function of balance 0.2, per sample, over parallel row strips;
// - curves_lut: a monotone spline curve through five points, evaluated exactly at every sample of every channel
//   (ApplyTransferCurve; no table).

#include "BenchCommon.h"

#include "TransferCurve.h"

#include <algorithm>
#include <memory>

namespace
{

void ClipAndStretch( qor::Image& image, float c0, float c1, float m )
{
   const float scale = 1.0f / ( c1 - c0 );
   const int64_t width = image.Width();
   for ( int32_t c = 0; c < image.NumberOfNominalChannels(); ++c )
      image.ParallelRows(
          image.Height(),
          [&image, c, c0, c1, m, scale, width]( int64_t y0, int64_t y1 )
          {
             // A block at a time, so the second pass finds the samples of the first in the cache.
             constexpr int64_t block = 4096;
             float* p = image.ScanLine( c, int32_t( y0 ) );
             const int64_t n = ( y1 - y0 ) * width;
             for ( int64_t b = 0; b < n; b += block )
             {
                const int64_t e = std::min( n, b + block );
                for ( int64_t i = b; i < e; ++i )
                {
                   float v = p[i];
                   p[i] = v > c0 ? ( v >= c1 ? 1.0f : ( v - c0 ) * scale ) : 0.0f; // NaN too
                }
                qor::MidtonesTransferFunction( p + b, e - b, m );
             }
          },
          width );
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
