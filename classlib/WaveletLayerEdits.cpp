#include "WaveletLayerEdits.h"

#include "Exception.h"
#include "Math.h"
#include "Parallel.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace qor
{

namespace
{

// The per-sample rule of the weighting: the branch-free forms keep the loops vectorisable.
void EditRows( float* p, int64_t n, const WaveletLayerEdit& e )
{
   if ( e.thresholdAmount != 0 )
   {
      const float keep = 1 - e.thresholdAmount;
      const float tau = e.threshold;
      for ( int64_t i = 0; i < n; ++i )
         p[i] = std::abs( p[i] ) < tau ? keep * p[i] : p[i];
   }
   if ( e.ringingAmount != 0 )
   {
      const float dark = ( 1 - e.ringingAmount ) * e.gain;
      const float gain = e.gain;
      const float level = e.ringingLevel;
      for ( int64_t i = 0; i < n; ++i )
         p[i] = ( p[i] < level ? dark : gain ) * p[i];
   }
   else if ( e.gain != 1 )
   {
      const float gain = e.gain;
      for ( int64_t i = 0; i < n; ++i )
         p[i] = gain * p[i];
   }
}

} // namespace

void EditWaveletLayer( Image& layer, const WaveletLayerEdit& edit )
{
   if ( edit.IsIdentity() || layer.IsEmpty() )
      return;
   const int64_t width = layer.Width();
   for ( int32_t c = 0; c < layer.NumberOfNominalChannels(); ++c )
   {
      float* plane = layer.PixelData( c );
      ParallelFor( layer.Height(), [&]( int64_t y0, int64_t y1 )
                   { EditRows( plane + y0 * width, ( y1 - y0 ) * width, edit ); }, nullptr, 1, 16 );
   }
}

namespace
{

// The range mapping of a reconstructed sample.
struct RangeMap
{
   RangeMap( float rangeLow, float rangeHigh ) : lo( -rangeLow ), hi( 1 + rangeHigh ), span( hi - lo )
   {
      scale = lo != 0 || hi != 1;
   }
   float operator()( float p ) const
   {
      const float v = p < lo ? lo : ( p > hi ? hi : p );
      return scale ? ( v - lo ) / span : v;
   }
   float lo, hi, span;
   bool scale;
};

constexpr int64_t tile = 1024;

} // namespace

void ReconstructEditedATrousLayers( Image& image, int32_t c, const ATrousLayers& layers,
                                    const std::vector<WaveletLayerEdit>& edits, bool normalize, float rangeLow,
                                    float rangeHigh )
{
   if ( layers.empty() || edits.size() != layers.size() )
      throw GenericException( "Wavelet layer edits do not match the layers." );
   if ( image.IsEmpty() || c < 0 || c >= image.NumberOfChannels() )
      throw GenericException( "Cannot reconstruct channel " + std::to_string( c ) + ": the image has " +
                              std::to_string( image.NumberOfChannels() ) + " channel(s)." );
   for ( const auto& layer : layers )
      if ( layer != nullptr && ( layer.get() == &image || layer->IsEmpty() || layer->Width() != image.Width() ||
                                 layer->Height() != image.Height() ) )
         throw GenericException( "Wavelet layers must be separate images of the reconstructed image's size." );

   const size_t m = layers.size() - 1;
   const RangeMap map( rangeLow, rangeHigh );
   const int64_t w = image.Width();
   float* plane = image[c];
   image.BeginTask( "Inverse À Trous Wavelets Transform", image.Height() );
   image.ParallelRows( image.Height(),
                       [&]( int64_t y0, int64_t y1 )
                       {
                          alignas( 64 ) float sum[tile];
                          alignas( 64 ) float term[tile];
                          for ( int64_t y = y0; y < y1; ++y )
                             for ( int64_t x0 = 0; x0 < w; x0 += tile )
                             {
                                const int64_t n = std::min( tile, w - x0 );
                                const int64_t at = y * w + x0;
                                if ( layers[m] )
                                {
                                   std::copy_n( layers[m]->PixelData( 0 ) + at, n, sum );
                                   EditRows( sum, n, edits[m] );
                                }
                                else
                                   std::fill_n( sum, n, 0.0f );
                                for ( size_t i = m; i-- > 0; )
                                {
                                   if ( !layers[i] )
                                      continue;
                                   const float* layer = layers[i]->PixelData( 0 ) + at;
                                   if ( edits[i].IsIdentity() )
                                      for ( int64_t k = 0; k < n; ++k )
                                         sum[k] += layer[k];
                                   else
                                   {
                                      std::copy_n( layer, n, term );
                                      EditRows( term, n, edits[i] );
                                      for ( int64_t k = 0; k < n; ++k )
                                         sum[k] += term[k];
                                   }
                                }
                                float* out = plane + at;
                                if ( normalize )
                                   for ( int64_t k = 0; k < n; ++k )
                                      out[k] = map( sum[k] );
                                else
                                   std::copy_n( sum, n, out );
                             }
                       } );
}

namespace
{

// Runs the sample function over channel c in parallel rows, as a monitored task of one unit per sample.
template <class Map>
void MapChannel( Image& image, int32_t c, const char* task, Map map )
{
   const int64_t width = image.Width();
   float* plane = image.PixelData( c );
   image.BeginTask( task, image.NumberOfPixels() );
   image.ParallelRows(
       image.Height(),
       [&]( int64_t y0, int64_t y1 )
       {
          float* p = plane + y0 * width;
          const int64_t n = ( y1 - y0 ) * width;
          for ( int64_t i = 0; i < n; ++i )
             p[i] = map( p[i] );
       },
       width );
}

} // namespace

void RescaleWaveletChannel( Image& image, int32_t c, float gamma )
{
   float minimum, maximum;
   image.GetChannelRange( c, minimum, maximum );
   if ( minimum == maximum )
      return;
   const float range = maximum - minimum;
   MapChannel( image, c, "Rescaling pixel values",
               [=]( float p )
               {
                  const float t = ( p - minimum ) / range;
                  const float b = gamma == 0 ? 1.0f : ( t == 0 ? 0.0f : Pow( t, gamma ) );
                  return 1 - b;
               } );
}

} // namespace qor
