#include "ColorCurves.h"

#include "ColorChannels.h"
#include "ColorSpace.h"
#include "Exception.h"

#include <algorithm>
#include <string>

namespace qor
{

namespace
{

constexpr int64_t BlockSize = 512;

inline float Unit( float v )
{
   return v > 0.0f ? ( v < 1.0f ? v : 1.0f ) : 0.0f; // NaN -> 0
}

void ClampUnit( float* r, float* g, float* b, int64_t n )
{
   for ( int64_t i = 0; i < n; ++i )
   {
      r[i] = Unit( r[i] );
      g[i] = Unit( g[i] );
      b[i] = Unit( b[i] );
   }
}

void CheckColorImage( const Image& image, const char* what )
{
   if ( !image.IsColor() || image.NumberOfNominalChannels() < 3 )
      throw GenericException( std::string( what ) + ": a colour image with three nominal channels is required." );
}

// Runs block( r, g, b, n, cursors ) over every pixel, the three planes a block of up to BlockSize pixels at a time,
// row strips in parallel, monitored. The colour conversions run over whole blocks in place (vectorised, and equal
// to the per-pixel formulas of RGBColorSystem); only the curves are evaluated sample by sample.
template <class BlockFunction>
void ForEachBlock( Image& image, BlockFunction block )
{
   const int64_t width = image.Width();
   image.BeginTask( "Transfer function", image.NumberOfPixels() );
   image.ParallelRows(
       image.Height(),
       [&]( int64_t y0, int64_t y1 )
       {
          float* r = image.ScanLine( 0, int32_t( y0 ) );
          float* g = image.ScanLine( 1, int32_t( y0 ) );
          float* b = image.ScanLine( 2, int32_t( y0 ) );
          const int64_t count = ( y1 - y0 ) * width;
          // Cursors of a strip's own: a strip never carries state into another.
          SplineCursor cursors[2];
          for ( int64_t i = 0; i < count; i += BlockSize )
             block( r + i, g + i, b + i, std::min( BlockSize, count - i ), cursors );
       },
       width );
}

} // namespace

void ApplyLightnessCurve( Image& image, const RGBColorSystem& rgbws, const TransferCurveEvaluator& curve )
{
   CheckColorImage( image, "ApplyLightnessCurve" );
   const RGBColorSystem space( rgbws );
   ForEachBlock( image,
                 [&space, &curve]( float* r, float* g, float* b, int64_t n, SplineCursor* cursors )
                 {
                    ConvertColorSamples( ColorSpace::RGB, ColorSpace::CIELab, space, r, g, b, n );
                    for ( int64_t i = 0; i < n; ++i )
                       r[i] = curve.Clamped( r[i], cursors[0] );
                    ConvertColorSamples( ColorSpace::CIELab, ColorSpace::RGB, space, r, g, b, n );
                    ClampUnit( r, g, b, n );
                 } );
}

void ApplyHueSaturationCurves( Image& image, const RGBColorSystem& rgbws, const TransferCurveEvaluator* hue,
                               const TransferCurveEvaluator* saturation )
{
   CheckColorImage( image, "ApplyHueSaturationCurves" );
   const RGBColorSystem space( rgbws );
   ForEachBlock( image,
                 [&space, hue, saturation]( float* r, float* g, float* b, int64_t n, SplineCursor* cursors )
                 {
                    // The lightness each pixel has now, given back once its colour has changed.
                    alignas( 64 ) float L0[BlockSize];
                    alignas( 64 ) float c1[BlockSize];
                    alignas( 64 ) float c2[BlockSize];
                    std::copy( r, r + n, L0 );
                    std::copy( g, g + n, c1 );
                    std::copy( b, b + n, c2 );
                    ConvertColorSamples( ColorSpace::RGB, ColorSpace::Gray, space, L0, c1, c2, n );

                    ConvertColorSamples( ColorSpace::RGB, ColorSpace::HSV, space, r, g, b, n );
                    if ( hue != nullptr )
                       for ( int64_t i = 0; i < n; ++i )
                          r[i] = hue->Clamped( r[i], cursors[0] );
                    if ( saturation != nullptr )
                       for ( int64_t i = 0; i < n; ++i )
                          g[i] = saturation->Clamped( g[i], cursors[1] );
                    ConvertColorSamples( ColorSpace::HSV, ColorSpace::CIELab, space, r, g, b, n );
                    std::copy( L0, L0 + n, r );
                    ConvertColorSamples( ColorSpace::CIELab, ColorSpace::RGB, space, r, g, b, n );
                    ClampUnit( r, g, b, n );
                 } );
}

} // namespace qor
