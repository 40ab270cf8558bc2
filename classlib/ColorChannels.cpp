#include "ColorChannels.h"

#include "RGBColorSystem.h"

#include <algorithm>
#include <cstring>

namespace qor
{

namespace
{

// Pixels converted at a time: three buffers of this many samples stay in the first-level cache.
constexpr int32_t chunk = 512;

void CheckColorSpace( int32_t colorSpace )
{
   if ( colorSpace < ColorSpace::RGB || colorSpace > ColorSpace::CIELch )
      throw GenericException( "Invalid color space for channel extraction or import" );
}

void CheckColorImage( const Image& image )
{
   if ( image.NumberOfNominalChannels() < 3 )
      throw GenericException( "Channel extraction and import need a color image" );
}

float Clip( float v )
{
   v = v >= 0.0f ? v : 0.0f; // NaN too
   return v > 1.0f ? 1.0f : v;
}

// Runs body( y, x, n, buffers ) over the chunks of rows [y0, y1) of an image `width` samples wide: the chunk begins at
// column x of row y and holds n samples; buffers are three scratch arrays of `chunk` samples.
template <class Body> void ForEachChunk( int32_t width, int64_t y0, int64_t y1, Body body )
{
   alignas( 64 ) float b0[chunk];
   alignas( 64 ) float b1[chunk];
   alignas( 64 ) float b2[chunk];
   float* buffers[3] = { b0, b1, b2 };
   for ( int64_t y = y0; y < y1; ++y )
      for ( int32_t x = 0; x < width; x += chunk )
         body( y, x, std::min( chunk, width - x ), buffers );
}

const char* SpaceName( int32_t colorSpace )
{
   switch ( colorSpace )
   {
   case ColorSpace::HSV:
      return "HSV";
   case ColorSpace::CIEXYZ:
      return "CIE XYZ";
   case ColorSpace::CIELab:
      return "CIE L*a*b*";
   default:
      return "CIE L*c*h*";
   }
}

} // namespace

std::string ExtractionText( int32_t colorSpace, const std::array<bool, 3>& channels )
{
   const bool onlyFirst = channels[0] && !channels[1] && !channels[2];
   const bool onlyThird = !channels[0] && !channels[1] && channels[2];
   if ( ( colorSpace == ColorSpace::CIELab || colorSpace == ColorSpace::CIELch ) && onlyFirst )
      return "Extracting luminance";
   if ( colorSpace == ColorSpace::HSV && onlyThird )
      return "Extracting V channel";
   if ( colorSpace == ColorSpace::RGB )
      return "Extracting RGB channels";
   return std::string( "Extracting normalized " ) + SpaceName( colorSpace ) + " components";
}

std::string ImportText( int32_t colorSpace )
{
   if ( colorSpace == ColorSpace::RGB )
      return "Importing RGB channels";
   return std::string( "Importing normalized " ) + SpaceName( colorSpace ) + " components";
}

std::array<std::unique_ptr<Image>, 3> ExtractColorChannels( const Image& source, int32_t colorSpace,
                                                            const std::array<bool, 3>& channels,
                                                            const RGBColorSystem& rgbws )
{
   CheckColorSpace( colorSpace );
   CheckColorImage( source );
   const int32_t width = source.Width();
   const int32_t height = source.Height();

   std::array<std::unique_ptr<Image>, 3> result;
   float* out[3] = {};
   for ( int c = 0; c < 3; ++c )
      if ( channels[size_t( c )] )
      {
         result[size_t( c )] = std::make_unique<Image>( width, height, 1, ColorSpace::Gray );
         out[c] = result[size_t( c )]->PixelData( 0 );
      }

   const std::string text = ExtractionText( colorSpace, channels );
   const bool luminanceOnly = text == "Extracting luminance";
   const bool valueOnly = text == "Extracting V channel";

   source.BeginTask( text, source.NumberOfPixels() );
   source.ParallelRows(
      height,
      [&]( int64_t y0, int64_t y1 ) {
         ForEachChunk( width, y0, y1, [&]( int64_t y, int32_t x, int32_t n, float* const b[3] ) {
            const int64_t at = y * width + x;
            const size_t bytes = size_t( n ) * sizeof( float );
            const float* red = source.PixelData( 0 ) + at;
            const float* green = source.PixelData( 1 ) + at;
            const float* blue = source.PixelData( 2 ) + at;
            if ( valueOnly )
            {
               for ( int32_t i = 0; i < n; ++i )
                  out[2][at + i] = std::max( std::max( red[i], green[i] ), blue[i] );
               return;
            }
            std::memcpy( b[0], red, bytes );
            std::memcpy( b[1], green, bytes );
            std::memcpy( b[2], blue, bytes );
            ConvertColorSamples( ColorSpace::RGB, luminanceOnly ? int32_t( ColorSpace::Gray ) : colorSpace, rgbws,
                                 b[0], b[1], b[2], n );
            for ( int c = 0; c < 3; ++c )
               if ( out[c] != nullptr )
                  std::memcpy( out[c] + at, b[c], bytes );
         } );
      },
      width );
   return result;
}

void ImportColorChannels( Image& target, int32_t colorSpace, const std::array<const float*, 3>& sources,
                          int64_t stride, const RGBColorSystem& rgbws )
{
   CheckColorSpace( colorSpace );
   CheckColorImage( target );
   if ( sources[0] == nullptr && sources[1] == nullptr && sources[2] == nullptr )
      throw GenericException( "No source channel to import" );
   const int32_t width = target.Width();
   const int32_t height = target.Height();
   const int32_t alpha = target.NumberOfAlphaChannels();
   const bool allThree = sources[0] != nullptr && sources[1] != nullptr && sources[2] != nullptr;

   Image result( width, height, 3 + alpha, ColorSpace::RGB );
   target.BeginTask( ImportText( colorSpace ), target.NumberOfPixels() );
   target.ParallelRows(
      height,
      [&]( int64_t y0, int64_t y1 ) {
         ForEachChunk( width, y0, y1, [&]( int64_t y, int32_t x, int32_t n, float* const b[3] ) {
            const int64_t at = y * width + x;
            const size_t bytes = size_t( n ) * sizeof( float );
            if ( !allThree )
            {
               for ( int c = 0; c < 3; ++c )
                  std::memcpy( b[c], target.PixelData( c ) + at, bytes );
               ConvertColorSamples( ColorSpace::RGB, colorSpace, rgbws, b[0], b[1], b[2], n );
            }
            for ( int c = 0; c < 3; ++c )
               if ( sources[size_t( c )] != nullptr )
                  std::memcpy( b[c], sources[size_t( c )] + y * stride + x, bytes );
            ConvertColorSamples( colorSpace, ColorSpace::RGB, rgbws, b[0], b[1], b[2], n );
            for ( int c = 0; c < 3; ++c )
            {
               float* o = result.PixelData( c ) + at;
               for ( int32_t i = 0; i < n; ++i )
                  o[i] = Clip( b[c][i] );
            }
         } );
      },
      width );

   for ( int32_t c = 3; c < 3 + alpha; ++c )
      std::memcpy( result.PixelData( c ), target.PixelData( c ), size_t( target.NumberOfPixels() ) * sizeof( float ) );
   target.Transfer( result );
}

} // namespace qor
