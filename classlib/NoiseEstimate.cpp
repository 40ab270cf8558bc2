#include "NoiseEstimate.h"

#include <cmath>
#include <string>
#include <vector>

namespace qor
{

namespace
{

struct Moments
{
   int64_t n = 0;
   double s = 0; // sum of (x - shift)
   double q = 0; // sum of (x - shift)^2
};

// Moments of the samples of one row that count in this pass: every finite sample when `all` is set, else those
// with |x - mean| < tau. Eight independent lanes, added together at the end in a fixed order, let the loop run on
// vector registers while the result stays the same on every run.
Moments RowMoments( const float* row, int32_t width, bool all, float mean, float tau, double shift )
{
   constexpr int32_t Lanes = 8;
   int64_t n[Lanes] = {};
   double s[Lanes] = {}, q[Lanes] = {};
   auto add = [&]( int32_t lane, float x ) {
      bool counts = all ? x - x == 0 : std::fabs( x - mean ) < tau; // x - x is 0 exactly for finite x
      double d = counts ? double( x ) - shift : 0.0;
      n[lane] += counts ? 1 : 0;
      s[lane] += d;
      q[lane] += d * d;
   };
   int32_t x0 = 0;
   for ( ; x0 + Lanes <= width; x0 += Lanes )
      for ( int32_t j = 0; j < Lanes; ++j )
         add( j, row[x0 + j] );
   for ( int32_t j = 0; x0 + j < width; ++j )
      add( j, row[x0 + j] );

   Moments m;
   for ( int32_t j = 0; j < Lanes; ++j )
   {
      m.n += n[j];
      m.s += s[j];
      m.q += q[j];
   }
   return m;
}

} // namespace

float EstimateNoiseKSigma( const Image& image, int32_t channel, int32_t iterations, float k )
{
   if ( image.IsEmpty() )
      throw GenericException( "Noise estimate: the image is empty" );
   if ( channel < 0 || channel >= image.NumberOfChannels() )
      throw GenericException( "Noise estimate: the image has no channel " + std::to_string( channel ) );
   if ( iterations < 1 )
      throw GenericException( "Noise estimate: at least one pass is needed" );

   const int32_t width = image.Width();
   const int32_t height = image.Height();
   image.BeginTask( "SNR Detection", image.NumberOfPixels() * iterations );

   std::vector<Moments> rows( static_cast<size_t>( height ) );
   float mean = 0, sigma = 0, tau = 0;
   // Sums relative to a value near the mean keep the one-pass variance free of cancellation: the first sample to
   // begin with, then each pass's mean.
   float first = image.PixelData( channel )[0];
   double shift = first - first == 0 ? first : 0.0;
   for ( int32_t pass = 0; pass < iterations; ++pass )
   {
      image.ParallelRows(
         height,
         [&]( int64_t begin, int64_t end ) {
            for ( int64_t y = begin; y < end; ++y )
               rows[size_t( y )] = RowMoments( image.ScanLine( channel, int32_t( y ) ), width, pass == 0, mean, tau,
                                               shift );
         },
         width );

      Moments total;
      for ( const Moments& m : rows )
      {
         total.n += m.n;
         total.s += m.s;
         total.q += m.q;
      }
      if ( total.n == 0 )
      {
         // Nothing left to measure: every further pass would find the same nothing, so the previous estimate stays.
         // The samples of those passes still count as done, so that the task reaches its total and ends.
         if ( pass + 1 < iterations && image.IsMonitored() )
         {
            image.Status().Advance( image.NumberOfPixels() * ( iterations - 1 - pass ) );
            image.ThrowIfAborted();
         }
         break;
      }
      double d = total.s / double( total.n );
      double variance = total.q / double( total.n ) - d * d;
      mean = float( shift + d );
      sigma = float( std::sqrt( variance > 0 ? variance : 0.0 ) );
      tau = k * sigma;
      shift = mean;
   }
   return sigma;
}

} // namespace qor
