#include "BackgroundSamples.h"

#include "Image.h"
#include "Math.h"
#include "MedianKernel.h"
#include "RGBColorSystem.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <numbers>

namespace qor
{

namespace
{

// Channels a sample measures: three for an RGB image, else the first.
int32_t MeasuredChannels( const Image& image )
{
   return image.GetColorSpace() == ColorSpace::RGB && image.NumberOfNominalChannels() >= 3 ? 3 : 1;
}

int32_t Nearest( float v )
{
   return int32_t( Round( v ) );
}

} // namespace

int32_t BackgroundSample::AxialCopies() const
{
   // A count below 2 (a record from an older or damaged stream) makes no copy rather than a negative number.
   return ( symmetries & AxialSymmetry ) != 0 && axialCount >= 2 ? axialCount - 1 : 0;
}

int32_t BackgroundSample::PointCount() const
{
   if ( ( symmetries & AxialSymmetry ) != 0 )
      return 1 + AxialCopies();
   return 1 + std::popcount( unsigned( symmetries & ( HorizontalSymmetry | VerticalSymmetry | DiagonalSymmetry ) ) );
}

void ClampBackgroundSample( int32_t& x, int32_t& y, int32_t& r, int32_t width, int32_t height )
{
   if ( r <= 0 )
      r = 1;
   const int32_t half = std::min( width / 2, height / 2 );
   if ( r > half )
      r = half;
   if ( x < r )
      x = r;
   if ( x > width - r - 1 )
      x = width - r - 1;
   if ( y < r )
      y = r;
   if ( y > height - r - 1 )
      y = height - r - 1;
}

void DefineBackgroundSample( BackgroundSample& s, int32_t x, int32_t y, int32_t r )
{
   s.anchorX = x;
   s.anchorY = y;
   s.centerX = float( x );
   s.centerY = float( y );
   if ( r < 2 )
      r = 1;
   if ( r != s.radius )
   {
      s.mask.clear();
      s.radius = r;
   }
   if ( s.fixed )
      s.mask.clear();
   else
   {
      s.mask.assign( size_t( s.BoxSize() ) * size_t( s.BoxSize() ), 0 );
      std::fill( std::begin( s.values ), std::end( s.values ), 0.0f );
   }
   s.pixelCount = 0;
}

float BackgroundLightness( const float* value, int32_t channels, const RGBColorSystem& rgbws )
{
   return channels >= 3 ? rgbws.RGBToCIEL( value[0], value[1], value[2] ) : value[0];
}

void EvaluateBackgroundSample( BackgroundSample& s, const Image& image, const RGBColorSystem& rgbws, float tolerance )
{
   if ( s.fixed || s.mask.empty() )
   {
      DefineBackgroundSample( s, s.anchorX, s.anchorY, s.radius );
      if ( s.fixed )
         return;
   }
   else
   {
      s.centerX = float( s.anchorX );
      s.centerY = float( s.anchorY );
      std::fill( std::begin( s.values ), std::end( s.values ), 0.0f );
      s.pixelCount = 0;
      std::fill( s.mask.begin(), s.mask.end(), uint8_t( 0 ) );
   }
   if ( image.IsEmpty() )
      return;

   const int32_t r = s.radius;
   const int32_t x0 = s.anchorX - r, y0 = s.anchorY - r;
   const int32_t x1 = s.anchorX + r, y1 = s.anchorY + r; // inclusive
   // The part of the box inside the image.
   const int32_t ix0 = std::max( x0, 0 ), iy0 = std::max( y0, 0 );
   const int32_t ix1 = std::min( x1, image.Width() - 1 ), iy1 = std::min( y1, image.Height() - 1 );
   if ( ix0 > ix1 || iy0 > iy1 )
      return;

   const int32_t channels = MeasuredChannels( image );
   std::vector<float> buffer( size_t( ix1 - ix0 + 1 ) * size_t( iy1 - iy0 + 1 ) );
   float medians[3] = { 0, 0, 0 };
   for ( int32_t c = 0; c < channels; ++c )
   {
      float* p = buffer.data();
      for ( int32_t y = iy0; y <= iy1; ++y )
         p = std::copy( image.ScanLine( c, y ) + ix0, image.ScanLine( c, y ) + ix1 + 1, p );
      medians[c] = *SelectKthSmallest( buffer.data(), buffer.data() + buffer.size(), int64_t( buffer.size() / 2 ) );
   }
   const float reference = BackgroundLightness( medians, channels, rgbws );
   // A reference that vanishes beside 1 makes the relative test meaningless: the absolute deviation counts then.
   const bool absolute = 1.0L + static_cast<long double>( reference ) == 1.0L;

   double sumX = 0, sumY = 0;
   double sums[3] = { 0, 0, 0 };
   int32_t count = 0;
   uint8_t* mask = s.mask.data();
   for ( int32_t y = y0; y <= y1; ++y )
      for ( int32_t x = x0; x <= x1; ++x, ++mask )
      {
         if ( x < ix0 || x > ix1 || y < iy0 || y > iy1 )
            continue;
         float value[3];
         for ( int32_t c = 0; c < channels; ++c )
            value[c] = image.Pixel( x, y, c );
         float d = std::fabs( BackgroundLightness( value, channels, rgbws ) - reference );
         if ( !absolute )
            d /= reference;
         if ( !( d <= tolerance ) )
            continue;
         sumX += x;
         sumY += y;
         for ( int32_t c = 0; c < channels; ++c )
            sums[c] += value[c];
         ++count;
         *mask = 255;
      }
   if ( count > 0 )
   {
      s.pixelCount = count;
      for ( int32_t c = 0; c < channels; ++c )
         s.values[c] = float( sums[c] / count );
      s.centerX = float( sumX / count );
      s.centerY = float( sumY / count );
   }
}

std::vector<BackgroundGridPoint> BackgroundSampleGrid( int32_t width, int32_t height, int32_t r, int32_t intervals,
                                                       int32_t* radius )
{
   std::vector<BackgroundGridPoint> points;
   if ( width < 1 || height < 1 )
      return points;
   r = std::clamp( r, 1, std::max( 1, std::min( width, height ) / 2 ) );
   if ( radius != nullptr )
      *radius = r;
   const int32_t spanX = width - 2 * r - 1;
   const int32_t spanY = height - 2 * r - 1;
   if ( spanX <= 0 || spanY <= 0 )
   {
      points.push_back( { width / 2, height / 2 } );
      return points;
   }
   // Never more steps than pixels: finer steps would only repeat anchors.
   const int32_t columns = std::clamp( intervals, 1, spanX );
   const float dx = float( spanX ) / float( columns );
   const int32_t rows = std::clamp( int32_t( std::min( Trunc( float( height - 2 * r ) / dx ), float( spanY ) ) ), 1,
                                    spanY );
   const float dy = float( spanY ) / float( rows );

   points.reserve( size_t( columns + 1 ) * size_t( rows + 1 ) );
   float X = float( r );
   for ( int32_t i = 0; i <= columns; ++i, X += dx )
   {
      float Y = float( r );
      for ( int32_t j = 0; j <= rows; ++j, Y += dy )
         points.push_back(
            { std::clamp( Nearest( X ), r, width - r - 1 ), std::clamp( Nearest( Y ), r, height - r - 1 ) } );
   }
   return points;
}

BackgroundModelPoints BackgroundSamplePoints( const std::vector<BackgroundSample>& samples, int32_t width,
                                              int32_t height, float cx, float cy, int32_t channels )
{
   size_t n = 0;
   for ( const BackgroundSample& s : samples )
      n += size_t( s.PointCount() );
   channels = std::clamp( channels, 1, 3 );
   BackgroundModelPoints points;
   points.x.reserve( n );
   points.y.reserve( n );
   points.f.assign( size_t( channels ), {} );
   for ( std::vector<float>& row : points.f )
      row.reserve( n );

   const float W = float( width ), H = float( height );
   const float ncx = cx / W, ncy = cy / H;
   auto add = [&]( const BackgroundSample& s, float x, float y )
   {
      points.x.push_back( x );
      points.y.push_back( y );
      for ( int32_t c = 0; c < channels; ++c )
         points.f[size_t( c )].push_back( s.values[c] );
   };
   for ( const BackgroundSample& s : samples )
   {
      const float x = s.centerX / W, y = s.centerY / H;
      add( s, x, y );
      if ( ( s.symmetries & BackgroundSample::AxialSymmetry ) != 0 )
      {
         const int32_t k = s.AxialCopies() + 1;
         const float dx = s.centerX - cx, dy = s.centerY - cy;
         for ( int32_t l = 1; l < k; ++l )
         {
            const double theta = l * 2 * std::numbers::pi / k;
            const float cosT = float( std::cos( theta ) ), sinT = float( std::sin( theta ) );
            add( s, ( cx + dx * cosT + dy * sinT ) / W, ( cy - dx * sinT + dy * cosT ) / H );
         }
         continue;
      }
      if ( s.symmetries & BackgroundSample::HorizontalSymmetry )
         add( s, 2 * ncx - x, y );
      if ( s.symmetries & BackgroundSample::VerticalSymmetry )
         add( s, x, 2 * ncy - y );
      if ( s.symmetries & BackgroundSample::DiagonalSymmetry )
         add( s, 2 * ncx - x, 2 * ncy - y );
   }
   return points;
}

} // namespace qor
