// The colour formulas raise no floating-point exception that anything looks at (traps run masked), so the
// compiler may evaluate both sides of their conditionals as selects and vectorise the loops; it changes no result.
#pragma GCC optimize( "no-trapping-math" )

#include "Luminance.h"

#include "ColorSpace.h"

#include <cstring>

namespace qor
{

namespace
{

using color::IntegralPowerLawSpace;
using color::LinearSpace;
using color::PowerLawSpace;
using color::SRGBSpace;

QOR_COLOR_INLINE float Clamp01( float v )
{
   v = v >= 0.0f ? v : 0.0f; // NaN too
   return v > 1.0f ? 1.0f : v;
}

QOR_COLOR_INLINE float LightnessOfY( float Y )
{
   return 1.16f * color::CIEf( Y ) - 0.16f;
}

// Colour spaces whose first channel is the lightness itself.
bool HoldsLightness( int32_t colorSpace )
{
   return colorSpace == ColorSpace::Gray || colorSpace == ColorSpace::CIELab || colorSpace == ColorSpace::CIELch;
}

// A colour image needs its three colour channels.
void CheckChannels( const Image& image )
{
   if ( !HoldsLightness( image.GetColorSpace() ) && image.NumberOfNominalChannels() < 3 )
      throw GenericException( "Luminance: the colour image lacks colour channels" );
}

// Gives the RGB pixel (r, g, b) the lightness L, keeping its a* and b*; clamps the result to [0, 1].
template <class S> QOR_COLOR_INLINE void SetRGBLightness( const S& s, float& r, float& g, float& b, float L )
{
   float X, Y, Z, L0, ap, bp;
   color::RGBToXYZ( s, X, Y, Z, r, g, b );
   color::XYZToLabPrime( L0, ap, bp, X, Y, Z );
   color::LabPrimeToXYZ( X, Y, Z, L, ap, bp );
   color::XYZToRGB( s, r, g, b, X, Y, Z );
   r = Clamp01( r );
   g = Clamp01( g );
   b = Clamp01( b );
}

// The lightness of rows [y0, y1) of a colour image that does not hold it in channel 0, into `plane`. One loop per
// colour space over distinct planes, so that each vectorises.
template <class S>
QOR_COLOR_INLINE void ComputeRows( const S& space, float* plane, const Image& image, int64_t y0, int64_t y1 )
{
   const S s = space; // a local copy: no sample store can alias it
   const int32_t n = image.Width();
   const int32_t colorSpace = image.GetColorSpace();
   for ( int64_t y = y0; y < y1; ++y )
   {
      float* __restrict out = plane + y * n;
      const float* __restrict c0 = image.ScanLine( 0, int32_t( y ) );
      const float* __restrict c1 = image.ScanLine( 1, int32_t( y ) );
      const float* __restrict c2 = image.ScanLine( 2, int32_t( y ) );
      if ( colorSpace == ColorSpace::RGB )
         for ( int32_t x = 0; x < n; ++x )
            out[x] = color::RGBToL( s, c0[x], c1[x], c2[x] );
      else if ( colorSpace == ColorSpace::CIEXYZ )
         for ( int32_t x = 0; x < n; ++x )
            out[x] = LightnessOfY( c1[x] );
      else // HSV
         for ( int32_t x = 0; x < n; ++x )
         {
            float r, g, b;
            HSVToRGB( r, g, b, c0[x], c1[x], c2[x] );
            out[x] = color::RGBToL( s, r, g, b );
         }
   }
}

// Rows [y0, y1) of a colour target that does not hold the lightness in channel 0 take the lightness of `lum`.
template <class S>
QOR_COLOR_INLINE void ReplaceRows( const S& space, Image& target, const Image& lum, int64_t y0, int64_t y1 )
{
   const S s = space;
   const int32_t n = target.Width();
   const int32_t colorSpace = target.GetColorSpace();
   for ( int64_t y = y0; y < y1; ++y )
   {
      const float* __restrict L = lum.ScanLine( 0, int32_t( y ) );
      float* __restrict c0 = target.ScanLine( 0, int32_t( y ) );
      float* __restrict c1 = target.ScanLine( 1, int32_t( y ) );
      float* __restrict c2 = target.ScanLine( 2, int32_t( y ) );
      if ( colorSpace == ColorSpace::RGB )
         for ( int32_t x = 0; x < n; ++x )
            SetRGBLightness( s, c0[x], c1[x], c2[x], L[x] );
      else if ( colorSpace == ColorSpace::CIEXYZ )
         for ( int32_t x = 0; x < n; ++x )
         {
            float L0, ap, bp;
            color::XYZToLabPrime( L0, ap, bp, c0[x], c1[x], c2[x] );
            color::LabPrimeToXYZ( c0[x], c1[x], c2[x], L[x], ap, bp );
         }
      else // HSV
         for ( int32_t x = 0; x < n; ++x )
         {
            float r, g, b;
            HSVToRGB( r, g, b, c0[x], c1[x], c2[x] );
            SetRGBLightness( s, r, g, b, L[x] );
            RGBToHSV( c0[x], c1[x], c2[x], r, g, b );
         }
   }
}

// The row workers with the transfer function of the working space fixed, compiled for the baseline instruction
// set and for AVX2 (without fused multiply-add, so that both round alike and agree with the colour-space
// conversions of whole images).
#if defined( __GNUC__ ) && defined( __x86_64__ ) && !defined( __clang__ ) && !defined( __SANITIZE_ADDRESS__ )
#define QOR_LUMINANCE_KERNEL __attribute__( ( target_clones( "avx2", "default" ) ) )
#else
#define QOR_LUMINANCE_KERNEL
#endif

QOR_LUMINANCE_KERNEL
void ComputeRange( const RGBColorSystem::Data& d, float* plane, const Image& image, int64_t y0, int64_t y1 )
{
   if ( d.sRGBGamma )
      ComputeRows( SRGBSpace( d ), plane, image, y0, y1 );
   else if ( d.gamma == 1.0f )
      ComputeRows( LinearSpace( d ), plane, image, y0, y1 );
   else if ( color::IntegralGamma( d.gamma ) != 0 )
      ComputeRows( IntegralPowerLawSpace( d ), plane, image, y0, y1 );
   else
      ComputeRows( PowerLawSpace( d ), plane, image, y0, y1 );
}

QOR_LUMINANCE_KERNEL
void ReplaceRange( const RGBColorSystem::Data& d, Image& target, const Image& lum, int64_t y0, int64_t y1 )
{
   if ( d.sRGBGamma )
      ReplaceRows( SRGBSpace( d ), target, lum, y0, y1 );
   else if ( d.gamma == 1.0f )
      ReplaceRows( LinearSpace( d ), target, lum, y0, y1 );
   else if ( color::IntegralGamma( d.gamma ) != 0 )
      ReplaceRows( IntegralPowerLawSpace( d ), target, lum, y0, y1 );
   else
      ReplaceRows( PowerLawSpace( d ), target, lum, y0, y1 );
}

} // namespace

void ComputeLuminance( float* plane, const Image& image, const RGBColorSystem& rgbws )
{
   if ( image.IsEmpty() )
      return;
   CheckChannels( image );
   const int32_t width = image.Width();
   const bool copy = HoldsLightness( image.GetColorSpace() );
   image.ParallelRows(
      image.Height(),
      [&]( int64_t begin, int64_t end ) {
         if ( copy )
            std::memcpy( plane + begin * width, image.ScanLine( 0, int32_t( begin ) ),
                         size_t( end - begin ) * size_t( width ) * sizeof( float ) );
         else
            ComputeRange( rgbws.Values(), plane, image, begin, end );
      },
      width );
}

std::unique_ptr<Image> ExtractLuminance( const Image& image, const RGBColorSystem& rgbws )
{
   auto luminance = std::make_unique<Image>();
   if ( image.IsEmpty() )
      return luminance;
   image.BeginTask( "Extracting Luminance", image.NumberOfPixels() );
   luminance->Allocate( image.Width(), image.Height(), 1, ColorSpace::Gray );
   ComputeLuminance( luminance->PixelData( 0 ), image, rgbws );
   return luminance;
}

void ReplaceLuminance( Image& target, const Image& luminance, const RGBColorSystem& rgbws )
{
   if ( target.IsEmpty() && luminance.IsEmpty() )
      return;
   if ( luminance.Width() != target.Width() || luminance.Height() != target.Height() || luminance.IsEmpty() )
      throw GenericException( "Luminance: the luminance image and the target image differ in size" );
   CheckChannels( target );

   const int32_t width = target.Width();
   const bool copy = HoldsLightness( target.GetColorSpace() );
   if ( &luminance == &target && !copy )
   {
      // Channel 0 is read as the lightness while the rows are rewritten: read it from a copy.
      const std::unique_ptr<Image> lightness = target.CreateChannelImage( 0 );
      ReplaceLuminance( target, *lightness, rgbws );
      return;
   }
   target.ParallelRows(
      target.Height(),
      [&]( int64_t begin, int64_t end ) {
         if ( copy )
         {
            // A target that is its own luminance image already holds that lightness.
            float* to = target.ScanLine( 0, int32_t( begin ) );
            const float* from = luminance.ScanLine( 0, int32_t( begin ) );
            if ( to != from )
               std::memcpy( to, from, size_t( end - begin ) * size_t( width ) * sizeof( float ) );
         }
         else
            ReplaceRange( rgbws.Values(), target, luminance, begin, end );
      },
      width );
}

} // namespace qor
