// Colour management.
//
// display_cm_z<zoom>: a 2000 x 1500 viewport of a 4096 x 4096 RGB image rendered and passed through the display
// transform (an sRGB default profile to an Adobe-compatible monitor profile), as a colour-managed paint does; beside
// it render_z<zoom> (RendererBench) is the unmanaged paint. The display transform keeps the colours it met, so the
// first paint of an image pays for its colours and the repetitions measure the paints after it.
//
// icc_convert: the 4096 x 2731 RGB input converted from sRGB to the Adobe-compatible profile by ICMTransformImage
// (AssignICCProfile's conversion) with its transform made once, as the peer (peers/icc_lcms2.c) makes its own;
// icc_transform_create: making that transform alone (ICCProfileTransform::Create, its check included). Beside them
// icc_convert_lcms2: LittleCMS's 16-bit transform with its precomputed lattice called directly on the same planes,
// packed and unpacked as the peer does, over row strips on the same threads (the in-process copy of the peer).

#include "BenchCommon.h"

#include <lcms2.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

#include "classlib/Parallel.h"
#include "platform/ICCProfile.h"
#include "platform/ICCProfileTransform.h"
#include "windows/image/Bitmaps.h"
#include "windows/image/ImageWindow_ICM.h"

namespace
{

constexpr int32_t viewportWidth = 2000;
constexpr int32_t viewportHeight = 1500;

cmsHPROFILE AdobeCompatible()
{
   cmsCIExyY white;
   cmsWhitePointFromTemp( &white, 6504 );
   const cmsCIExyYTRIPLE primaries = { { 0.64, 0.33, 1 }, { 0.21, 0.71, 1 }, { 0.15, 0.06, 1 } };
   cmsToneCurve* gamma = cmsBuildGamma( nullptr, 563.0 / 256.0 );
   cmsToneCurve* curves[3] = { gamma, gamma, gamma };
   cmsHPROFILE profile = cmsCreateRGBProfile( &white, &primaries, curves );
   cmsFreeToneCurve( gamma );
   return profile;
}

// The display state: monitor = the Adobe-compatible profile; the colour image's profile = sRGB.
ICCColorTransform DisplayTransform()
{
   static ICCColorTransform transform = []
   {
      ColorManagementSettings.monitorProfile = AdobeCompatible();
      ColorManagementSettings.DefaultRenderingIntent = 0;
      return CreateDisplayTransform( cmsCreate_sRGBProfile() );
   }();
   return transform;
}

struct Registration
{
   Registration()
   {
      auto ws = std::make_shared<qor::RGBColorSystem>();
      for ( int32_t zoom : { -16, -4, -2, 1, 2, 8, 32 } )
         bench::Register( "display_cm_z" + std::to_string( zoom ), "4096x4096x3",
                          [ws, zoom, kept = std::make_shared<QImage>()]
                          {
                             const qor::Image& image = bench::RgbSquareInput();
                             const int32_t w = bench::CoveredPixels( viewportWidth, zoom, image.Width() );
                             const int32_t h = bench::CoveredPixels( viewportHeight, zoom, image.Height() );
                             QImage& bitmap = *kept; // the previous paint's, as a window keeps it
                             RenderImageBitmap( bitmap, image, *ws, ( image.Width() - w ) / 2,
                                                ( image.Height() - h ) / 2, w, h, zoom, RenderModeRGB, nullptr, -1, -1 );
                             TranslateDisplayPixels( DisplayTransform(), reinterpret_cast<uint32_t*>( bitmap.bits() ),
                                                     int64_t( bitmap.width() ) * bitmap.height() );
                             benchmark::DoNotOptimize( bitmap.constBits() );
                          } );

      auto work = std::make_shared<qor::Image>();
      auto refresh = [work]
      {
         const qor::Image& input = bench::RgbInput();
         work->Allocate( input.Width(), input.Height(), 3, qor::ColorSpace::RGB );
         for ( int c = 0; c < 3; ++c )
            std::copy_n( input[c], input.NumberOfPixels(), ( *work )[c] );
      };
      static ICCProfileHandle source = cmsCreate_sRGBProfile();
      static ICCProfileHandle target = AdobeCompatible();
      bench::Register( "icc_convert", bench::SizeText( bench::RgbInput() ),
                       [work]
                       {
                          static const std::unique_ptr<ICCProfileTransform> transform =
                              ICCProfileTransform::Create( source, target, 0 );
                          benchmark::DoNotOptimize( ICMTransformImage( *work, *transform ) );
                       },
                       refresh );
      bench::Register( "icc_transform_create", bench::SizeText( bench::RgbInput() ),
                       [] { benchmark::DoNotOptimize( ICCProfileTransform::Create( source, target, 0 ) ); } );
      bench::Register( "icc_convert_lcms2", bench::SizeText( bench::RgbInput() ),
                       [work]
                       {
                          static cmsHTRANSFORM t =
                              cmsCreateTransform( cmsCreate_sRGBProfile(), TYPE_RGB_16, AdobeCompatible(), TYPE_RGB_16,
                                                  INTENT_PERCEPTUAL, cmsFLAGS_HIGHRESPRECALC );
                          qor::Image& image = *work;
                          float* p[3] = { image[0], image[1], image[2] };
                          qor::ParallelFor(
                              image.NumberOfPixels(),
                              [&]( int64_t begin, int64_t end )
                              {
                                 constexpr int64_t block = 4096;
                                 std::vector<uint16_t> in( block * 3 ), out( block * 3 );
                                 for ( int64_t first = begin; first < end; first += block )
                                 {
                                    const int64_t n = std::min( block, end - first );
                                    for ( int64_t i = 0; i < n; ++i )
                                       for ( int c = 0; c < 3; ++c )
                                          in[size_t( 3 * i + c )] = uint16_t(
                                              std::nearbyint( std::clamp( p[c][first + i], 0.0f, 1.0f ) * 65535.0f ) );
                                    cmsDoTransform( t, in.data(), out.data(), cmsUInt32Number( n ) );
                                    for ( int c = 0; c < 3; ++c )
                                       for ( int64_t i = 0; i < n; ++i )
                                          p[c][first + i] = out[size_t( 3 * i + c )] * ( 1.0f / 65535.0f );
                                 }
                              },
                              nullptr, 1, 4096 );
                          benchmark::DoNotOptimize( p[0] );
                       },
                       refresh );
   }
} registration;

} // namespace
