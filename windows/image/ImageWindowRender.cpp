// RenderViewBitmap: the image window's access to the display renderer. When the renderer unit is in the tree it
// is used; until then a plain rendering with the same rules stands in for it (replication when magnified, block
// sums times 255/n^2 when reduced, bytes clamped to 0..255 with NaN as 0).

#include "windows/image/ImageWindow.h"

#if __has_include( "windows/image/Bitmaps.h" )
#include "windows/image/Bitmaps.h"
#define LF_HAVE_RENDERER 1
#endif

#include <algorithm>
#include <cmath>

#ifndef LF_HAVE_RENDERER
namespace
{

uint8_t Byte( float v )
{
   float t = v * 255.0f;
   t = t > 0 ? t : 0.0f;
   t = t < 255.0f ? t : 255.0f;
   return uint8_t( std::nearbyint( t ) );
}

} // namespace
#endif

QImage RenderViewBitmap( const qor::Image& image, const qor::RGBColorSystem& rgbws, int32_t left, int32_t top,
                         int32_t width, int32_t height, int32_t zoom, int32_t renderMode, const qor::Image* mask,
                         int32_t maskLeft, int32_t maskTop )
{
#ifdef LF_HAVE_RENDERER
   return RenderImageBitmap( image, rgbws, left, top, width, height, zoom, renderMode, mask, maskLeft, maskTop );
#else
   if ( mask != nullptr )
   {
      maskLeft = maskLeft < 0 ? left : maskLeft;
      maskTop = maskTop < 0 ? top : maskTop;
   }
   const int32_t n = zoom >= 1 ? 1 : std::min( { -zoom, width, height } );
   const int32_t outW = zoom >= 1 ? width * zoom : width / n;
   const int32_t outH = zoom >= 1 ? height * zoom : height / n;
   QImage bitmap( std::max( outW, 1 ), std::max( outH, 1 ), QImage::Format_RGB888 );
   bitmap.fill( Qt::black );
   const int32_t step = zoom >= 1 ? 1 : n;
   const int32_t rep = zoom >= 1 ? zoom : 1;
   const float q = 255.0f / float( n * n );

   auto sample = [&]( int32_t c, int32_t x, int32_t y ) -> float
   {
      float v = image.Pixel( left + x, top + y, c );
      if ( mask != nullptr )
      {
         int32_t mc = mask->IsColor() ? std::min( c, mask->NumberOfChannels() - 1 ) : 0;
         int32_t mx = std::min( maskLeft + x, mask->Width() - 1 );
         int32_t my = std::min( maskTop + y, mask->Height() - 1 );
         v *= mask->Pixel( mx, my, mc );
      }
      return v;
   };
   auto blockSum = [&]( int32_t c, int32_t bx, int32_t by ) -> float
   {
      float s = 0;
      for ( int32_t k = 0; k < step; ++k )
         for ( int32_t l = 0; l < step; ++l )
            s += sample( c, bx * step + l, by * step + k );
      return s;
   };

   const int32_t cols = zoom >= 1 ? width : outW;
   const int32_t rows = zoom >= 1 ? height : outH;
   for ( int32_t by = 0; by < rows; ++by )
      for ( int32_t bx = 0; bx < cols; ++bx )
      {
         uint8_t rgb[3] = { 0, 0, 0 };
         auto value = [&]( int32_t c ) { return blockSum( c, bx, by ) * ( step > 1 ? 1.0f / float( n * n ) : 1.0f ); };
         if ( renderMode == -3 )
            for ( int32_t c = 0; c < 3; ++c )
               rgb[c] = step > 1 ? Byte( blockSum( c, bx, by ) * q / 255.0f ) : Byte( value( c ) );
         else if ( renderMode >= 0 )
            rgb[0] = rgb[1] = rgb[2] = step > 1 ? Byte( blockSum( renderMode, bx, by ) * q / 255.0f )
                                                : Byte( value( renderMode ) );
         else
         {
            float r = value( 0 ), g = value( 1 ), b = value( 2 );
            if ( renderMode == -1 )
               rgb[0] = rgb[1] = rgb[2] = Byte( rgbws.RGBToCIEL( r, g, b ) );
            else
            {
               float L, A, B;
               rgbws.RGBToCIELab( L, A, B, r, g, b );
               rgb[0] = Byte( A );
               rgb[1] = Byte( B );
            }
         }
         for ( int32_t i = 0; i < rep; ++i )
         {
            uchar* line = bitmap.scanLine( by * rep + i );
            for ( int32_t j = 0; j < rep; ++j )
               std::copy( rgb, rgb + 3, line + size_t( bx * rep + j ) * 3 );
         }
      }
   return bitmap;
#endif
}
