// The display renderer on a 2000 x 1500 viewport of a 4096 x 4096 RGB image, RGB composite mode, at the zooms of
// the image windows from 1:16 to 32:1: the rectangle of the image under a centred viewport (the whole image when it
// is smaller than the viewport) rendered into the bitmap of the previous call, as a window's paint does. The image is the grey sky input with
// its three channels scaled apart, made once on the first (untimed) call.

#include "BenchCommon.h"

#include "windows/image/Bitmaps.h"

#include <algorithm>
#include <memory>
#include <string>

namespace
{

constexpr int32_t viewportWidth = 2000;
constexpr int32_t viewportHeight = 1500;

struct Registration
{
   Registration()
   {
      auto ws = std::make_shared<qor::RGBColorSystem>();
      for ( int32_t zoom : { -16, -4, -2, 1, 2, 8, 32 } )
         bench::Register( "render_z" + std::to_string( zoom ), "4096x4096x3",
                          [ws, zoom, bitmap = std::make_shared<QImage>()]
                          {
                             const qor::Image& image = bench::RgbSquareInput();
                             const int32_t w = bench::CoveredPixels( viewportWidth, zoom, image.Width() );
                             const int32_t h = bench::CoveredPixels( viewportHeight, zoom, image.Height() );
                             RenderImageBitmap( *bitmap, image, *ws, ( image.Width() - w ) / 2,
                                                ( image.Height() - h ) / 2, w, h, zoom, RenderModeRGB, nullptr, -1, -1 );
                             benchmark::DoNotOptimize( bitmap->constBits() );
                          } );
   }
} registration;

} // namespace
