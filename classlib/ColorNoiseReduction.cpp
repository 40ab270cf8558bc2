// The mask methods' product is written out in full: a fused multiply-add would round it differently in the
// clones of the row kernel than in the baseline.
#pragma GCC optimize( "fp-contract=off" )

#include "ColorNoiseReduction.h"

#include "Image.h"

#include <algorithm>
#include <string>

namespace qor
{

namespace
{

// Compiled for the baseline instruction set and for AVX2 and AVX-512, with the same operations in the same order.
template <ColorNoiseProtection method>
#if defined( __GNUC__ ) && !defined( __clang__ ) && defined( __x86_64__ ) && !defined( __SANITIZE_ADDRESS__ )
__attribute__( ( target_clones( "arch=x86-64-v4", "arch=x86-64-v3", "default" ) ) )
#endif
void CorrectRange( float* __restrict out, const float* __restrict x, const float* __restrict p,
                   const float* __restrict q, int64_t n, float amount )
{
   const float oneMinus = 1 - amount;
   for ( int64_t i = 0; i < n; ++i )
   {
      if constexpr ( method == ColorNoiseProtection::MaximumMask || method == ColorNoiseProtection::AdditiveMask )
      {
         float v;
         if constexpr ( method == ColorNoiseProtection::MaximumMask )
            v = q[i] > p[i] ? q[i] : p[i];
         else
         {
            v = p[i] + q[i];
            v = v >= 1 ? 1.0f : v;
         }
         out[i] = x[i] * oneMinus * ( 1 - v ) + x[i] * v;
      }
      else
      {
         const float v = method == ColorNoiseProtection::MaximumNeutral ? ( q[i] > p[i] ? q[i] : p[i] )
                                                                        : ( p[i] + q[i] ) * 0.5f;
         out[i] = v < x[i] ? v : x[i];
      }
   }
}

} // namespace

void RemoveColorNoise( Image& image, int32_t channel, ColorNoiseProtection method, float amount )
{
   if ( channel < 0 || channel > 2 )
      throw GenericException( "Invalid color to remove: " + std::to_string( channel ) );
   if ( int32_t( method ) < 0 || int32_t( method ) > 3 )
      throw GenericException( "Invalid protection method: " + std::to_string( int32_t( method ) ) );
   if ( image.IsEmpty() || image.NumberOfNominalChannels() < 3 )
      return;

   const int32_t width = image.Width();
   image.BeginTask( "SCNR, " + Image::ChannelId( image.GetColorSpace(), channel ) + " removal",
                    image.NumberOfPixels() );
   const float* x = image.PixelData( channel );
   const float* p = image.PixelData( channel == 0 ? 1 : 0 );
   const float* q = image.PixelData( channel == 2 ? 1 : 2 );
   Image::Plane result = Image::NewPlane( image.NumberOfPixels() );
   float* out = result.get();
   image.ParallelRows(
       image.Height(),
       [&]( int64_t y0, int64_t y1 )
       {
          const int64_t at = y0 * width;
          const int64_t n = ( y1 - y0 ) * width;
          switch ( method )
          {
          case ColorNoiseProtection::MaximumMask:
             CorrectRange<ColorNoiseProtection::MaximumMask>( out + at, x + at, p + at, q + at, n, amount );
             break;
          case ColorNoiseProtection::AdditiveMask:
             CorrectRange<ColorNoiseProtection::AdditiveMask>( out + at, x + at, p + at, q + at, n, amount );
             break;
          case ColorNoiseProtection::AverageNeutral:
             CorrectRange<ColorNoiseProtection::AverageNeutral>( out + at, x + at, p + at, q + at, n, amount );
             break;
          case ColorNoiseProtection::MaximumNeutral:
             CorrectRange<ColorNoiseProtection::MaximumNeutral>( out + at, x + at, p + at, q + at, n, amount );
             break;
          }
       },
       width );
   image.ThrowIfAborted(); // an abort answered after the last strip had started
   // The corrected plane takes the channel's place; the old one goes back to the plane cache for the next result.
   image.ExchangePlane( channel, std::move( result ) );
}

} // namespace qor
