#include "HistogramTransform.h"

#include "Exception.h"

#include <algorithm>
#include <cmath>

namespace qor
{

namespace
{

// Samples per block: the steps of a block run one after the other while it is still in the cache, so every sample
// is read from memory and written back once whatever the number of steps.
constexpr int64_t Block = 4096;

// Compiled for the baseline instruction set and for AVX2 and AVX-512: the quotient is taken for every sample and
// the ends are blended in, so the loop has no branch and vectorises; division rounds alike at every width.
#if defined( __GNUC__ ) && !defined( __clang__ ) && defined( __x86_64__ ) && !defined( __SANITIZE_ADDRESS__ )
__attribute__( ( target_clones( "arch=x86-64-v4", "arch=x86-64-v3", "default" ) ) )
#endif
void Clip( float* __restrict p, int64_t n, float c0, float c1 )
{
   const float d = c1 - c0;
   for ( int64_t i = 0; i < n; ++i )
   {
      const float v = p[i];
      const float q = ( v - c0 ) / d; // discarded where c0 == c1: every sample is then at or past one end
      const float high = v >= c1 ? 1.0f : q;
      p[i] = v > c0 ? high : 0.0f; // NaN fails v > c0
   }
}

void Expand( float* __restrict p, int64_t n, float r0, float r1 )
{
   const float d = r1 - r0;
   for ( int64_t i = 0; i < n; ++i )
      p[i] = ( p[i] - r0 ) / d;
}

} // namespace

std::string HistogramTransformSet::Fault() const
{
   for ( float v : { c0, c1, m, r0, r1 } )
      if ( !std::isfinite( v ) )
         return "a parameter is not a finite number";
   if ( c0 < 0 || c0 > 1 )
      return "the shadows clipping point lies outside [0, 1]";
   if ( c1 < 0 || c1 > 1 )
      return "the highlights clipping point lies outside [0, 1]";
   if ( c0 > c1 )
      return "the shadows clipping point lies above the highlights clipping point";
   if ( m < 0 || m > 1 )
      return "the midtones balance lies outside [0, 1]";
   if ( r0 > 0 )
      return "the low end of the expanded range lies above 0";
   if ( r1 < 1 )
      return "the high end of the expanded range lies below 1";
   return std::string();
}

void ApplyHistogramTransform( Image& image, int32_t channel, const HistogramTransformSet& set )
{
   if ( channel < 0 || channel >= image.NumberOfChannels() )
      throw GenericException( "ApplyHistogramTransform: channel " + std::to_string( channel ) + " does not exist." );

   const bool fill = set.Fills();
   const bool clip = set.Clips();
   const bool midtones = set.BendsMidtones();
   const bool expand = set.Expands();
   std::string text;
   auto step = [&text]( bool runs, const char* name )
   {
      if ( runs )
         text += ( text.empty() ? "" : ", " ) + std::string( name );
   };
   step( clip, "Dynamic range redistribution" );
   step( midtones, "Midtones transfer function" );
   step( fill, "Filling with constant value" );
   step( expand, "Dynamic range expansion" );
   if ( text.empty() || image.IsEmpty() )
      return;

   const int64_t width = image.Width();
   image.BeginTask( text, image.NumberOfPixels() );
   image.ParallelRows(
       image.Height(),
       [&]( int64_t y0, int64_t y1 )
       {
          float* strip = image.ScanLine( channel, int32_t( y0 ) );
          const int64_t count = ( y1 - y0 ) * width;
          for ( int64_t b = 0; b < count; b += Block )
          {
             float* p = strip + b;
             const int64_t n = std::min( Block, count - b );
             if ( fill )
                std::fill( p, p + n, set.c0 );
             if ( clip )
                Clip( p, n, set.c0, set.c1 );
             if ( midtones )
                MidtonesTransferFunction( p, n, set.m );
             if ( expand )
                Expand( p, n, set.r0, set.r1 );
          }
       },
       width );
}

} // namespace qor
