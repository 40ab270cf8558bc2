#include <gtest/gtest.h>

#include <QImage>

#include <cmath>
#include <initializer_list>
#include <limits>
#include <tuple>
#include <vector>

#include "classlib/Exception.h"
#include "classlib/ImageTestSupport.h"
#include "classlib/Parallel.h"
#include "windows/image/Bitmaps.h"

namespace
{

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();
constexpr float Inf = std::numeric_limits<float>::infinity();

// Byte of a value scaled to 0..255: clamped, NaN as 0, nearest with ties to even.
int RefByte( float t )
{
   if ( !( t > 0.0f ) )
      return 0;
   if ( t > 255.0f )
      return 255;
   return int( std::nearbyint( t ) );
}

// The renderer written pixel by pixel from its definition: block sums in float (rows outer, columns inner) of the
// masked samples, round(sum * 255/n^2) for RGB and channel modes, the formulas of the working space on the
// averages for the CIE modes, every value replicated zoom x zoom when magnifying.
QImage Reference( const qor::Image& image, const qor::RGBColorSystem& ws, int left, int top, int width, int height,
                  int zoom, int mode, const qor::Image* mask = nullptr, int maskLeft = -1, int maskTop = -1 )
{
   maskLeft = maskLeft < 0 ? left : maskLeft;
   maskTop = maskTop < 0 ? top : maskTop;
   const int n = zoom >= 1 ? 1 : std::min( { -zoom, width, height } );
   const int rep = zoom >= 1 ? zoom : 1;
   const int cols = width / n, rows = height / n;
   const float q = 255.0f / float( n * n );
   QImage out( cols * rep, rows * rep, QImage::Format_RGB32 );
   for ( int by = 0; by < rows; ++by )
      for ( int bx = 0; bx < cols; ++bx )
      {
         auto sum = [&]( int c )
         {
            float s = 0;
            for ( int k = 0; k < n; ++k )
               for ( int l = 0; l < n; ++l )
               {
                  float v = image.Pixel( left + bx * n + l, top + by * n + k, c );
                  if ( mask != nullptr )
                     v *= mask->Pixel( maskLeft + bx * n + l, maskTop + by * n + k, mask->IsColor() ? c : 0 );
                  s += v;
               }
            return s;
         };
         int r = 0, g = 0, b = 0;
         if ( mode == RenderModeRGB )
         {
            r = RefByte( sum( 0 ) * q );
            g = RefByte( sum( 1 ) * q );
            b = RefByte( sum( 2 ) * q );
         }
         else if ( mode >= 0 )
            r = g = b = RefByte( sum( mode ) * q );
         else
         {
            const float nn = float( n * n );
            const float R = sum( 0 ) / nn, G = sum( 1 ) / nn, B = sum( 2 ) / nn;
            if ( mode == RenderModeLuminance )
               r = g = b = RefByte( ws.RGBToCIEL( R, G, B ) * 255.0f );
            else
            {
               float L, A, Bs;
               ws.RGBToCIELab( L, A, Bs, R, G, B );
               r = RefByte( A * 255.0f );
               g = RefByte( Bs * 255.0f );
            }
         }
         for ( int i = 0; i < rep; ++i )
            for ( int j = 0; j < rep; ++j )
               out.setPixel( bx * rep + j, by * rep + i, qRgb( r, g, b ) );
      }
   return out;
}

QImage Render( const qor::Image& image, int zoom, int mode, const qor::Image* mask = nullptr, int maskLeft = -1,
               int maskTop = -1 )
{
   static const qor::RGBColorSystem ws;
   return RenderImageBitmap( image, ws, 0, 0, image.Width(), image.Height(), zoom, mode, mask, maskLeft, maskTop );
}

std::tuple<int, int, int> RGBAt( const QImage& bitmap, int x, int y )
{
   QRgb p = bitmap.pixel( x, y );
   return { qRed( p ), qGreen( p ), qBlue( p ) };
}

qor::Image Constant( int width, int height, std::vector<float> values )
{
   const int channels = int( values.size() );
   qor::Image image( width, height, channels, channels >= 3 ? qor::ColorSpace::RGB : qor::ColorSpace::Gray );
   for ( int c = 0; c < channels; ++c )
      image.Fill( c, values[size_t( c )] );
   return image;
}

// A power-law working space with the default primaries.
qor::RGBColorSystem PowerLawSpace( float gamma )
{
   qor::RGBColorSystem ws;
   const auto& d = ws.Values();
   ws.SetParameters( gamma, false, d.x, d.y, d.Y );
   return ws;
}

} // namespace

TEST( BitmapsTest, BitmapSizeFollowsTheZoomAndDropsIncompleteBlocks )
{
   struct Case
   {
      int width, height, zoom, bitmapWidth, bitmapHeight;
   };
   for ( const Case& c : { Case{ 10, 5, 1, 10, 5 }, Case{ 10, 5, 3, 30, 15 }, Case{ 5, 3, -2, 2, 1 },
                           Case{ 5, 3, -8, 1, 1 }, Case{ 7, 7, -3, 2, 2 }, Case{ 1, 9, -4, 1, 9 } } )
   {
      qor::Image image = test::RandomImage( c.width + 2, c.height + 1, 3, qor::ColorSpace::RGB, 1 );
      QImage bitmap =
          RenderImageBitmap( image, qor::RGBColorSystem(), 1, 1, c.width, c.height, c.zoom, -3, nullptr, -1, -1 );
      EXPECT_EQ( bitmap.size(), QSize( c.bitmapWidth, c.bitmapHeight ) ) << c.width << "x" << c.height << " " << c.zoom;
      EXPECT_EQ( bitmap.format(), QImage::Format_RGB32 );
      int32_t w = 0, h = 0;
      RenderedBitmapSize( c.width, c.height, c.zoom, w, h );
      EXPECT_EQ( QSize( w, h ), bitmap.size() );
   }
}

TEST( BitmapsTest, KnownPixelsOfEveryMode )
{
   // 127.5 rounds to 128 and 63.75 to 64.
   EXPECT_EQ( RGBAt( Render( Constant( 2, 2, { 1.0f, 0.5f, 0.25f } ), 1, -3 ), 1, 1 ),
              std::make_tuple( 255, 128, 64 ) );
   // Ties to even: 0.5/255 * 255 = 0.5 -> 0, 2.5 -> 2.
   EXPECT_EQ( RGBAt( Render( Constant( 1, 1, { 0.5f / 255.0f } ), 1, 0 ), 0, 0 ), std::make_tuple( 0, 0, 0 ) );
   EXPECT_EQ( RGBAt( Render( Constant( 1, 1, { 2.5f / 255.0f } ), 1, 0 ), 0, 0 ), std::make_tuple( 2, 2, 2 ) );
   // Luminance in the default working space: black, white and a neutral half.
   EXPECT_EQ( RGBAt( Render( Constant( 1, 1, { 0, 0, 0 } ), 1, -1 ), 0, 0 ), std::make_tuple( 0, 0, 0 ) );
   EXPECT_EQ( RGBAt( Render( Constant( 1, 1, { 1, 1, 1 } ), 1, -1 ), 0, 0 ), std::make_tuple( 255, 255, 255 ) );
   EXPECT_EQ( RGBAt( Render( Constant( 1, 1, { 0.5f, 0.5f, 0.5f } ), 1, -1 ), 0, 0 ),
              std::make_tuple( 136, 136, 136 ) );
   // Chrominance: every neutral colour shows the neutral a and b, blue 0.
   for ( float v : { 0.0f, 0.3f, 1.0f } )
      EXPECT_EQ( RGBAt( Render( Constant( 1, 1, { v, v, v } ), 1, -2 ), 0, 0 ), std::make_tuple( 138, 138, 0 ) );
   // A channel mode may show an alpha channel of a colour image as grey.
   qor::Image rgba = Constant( 2, 2, { 0.1f, 0.2f, 0.3f, 0.6f } );
   rgba.SetColorSpaceCode( qor::ColorSpace::RGB );
   ASSERT_EQ( rgba.NumberOfAlphaChannels(), 1 );
   EXPECT_EQ( RGBAt( Render( rgba, 1, 3 ), 0, 0 ), std::make_tuple( 153, 153, 153 ) );
   // The colour space is not looked at: channels 0, 1, 2 are red, green, blue.
   qor::Image hsv = Constant( 1, 1, { 1.0f, 0.0f, 0.5f } );
   hsv.SetColorSpaceCode( qor::ColorSpace::HSV );
   EXPECT_EQ( RGBAt( Render( hsv, 1, -3 ), 0, 0 ), std::make_tuple( 255, 0, 128 ) );
}

TEST( BitmapsTest, MagnificationReplicatesEachSampleIntoASquare )
{
   qor::Image image = test::RandomImage( 6, 5, 3, qor::ColorSpace::RGB, 7 );
   QImage bitmap = RenderImageBitmap( image, qor::RGBColorSystem(), 1, 2, 4, 3, 3, -3, nullptr, -1, -1 );
   ASSERT_EQ( bitmap.size(), QSize( 12, 9 ) );
   for ( int y = 0; y < 9; ++y )
      for ( int x = 0; x < 12; ++x )
      {
         auto expected = std::make_tuple( RefByte( image.Pixel( 1 + x / 3, 2 + y / 3, 0 ) * 255.0f ),
                                          RefByte( image.Pixel( 1 + x / 3, 2 + y / 3, 1 ) * 255.0f ),
                                          RefByte( image.Pixel( 1 + x / 3, 2 + y / 3, 2 ) * 255.0f ) );
         ASSERT_EQ( RGBAt( bitmap, x, y ), expected ) << x << "," << y;
      }
}

TEST( BitmapsTest, ReductionAveragesWholeBlocksAndLeavesTheRemainderUnread )
{
   // A 7 x 5 rectangle at (1, 1) of a 9 x 7 image; at 1:2 it shows 3 x 2 blocks, at 1:3 2 x 1. The last column and
   // row of the rectangle (and, at 1:3, the two beyond the last block) hold values that would show as 255 if read.
   qor::Image image( 9, 7, 1, qor::ColorSpace::Gray );
   for ( int y = 0; y < 7; ++y )
      for ( int x = 0; x < 9; ++x )
         image.Pixel( x, y ) = ( x == 7 || y == 5 ) ? 1000.0f : 0.01f * float( 10 * y + x );
   const qor::RGBColorSystem ws;
   for ( int zoom : { -2, -3 } )
   {
      QImage bitmap = RenderImageBitmap( image, ws, 1, 1, 7, 5, zoom, 0, nullptr, -1, -1 );
      EXPECT_EQ( bitmap, Reference( image, ws, 1, 1, 7, 5, zoom, 0 ) ) << zoom;
      const int n = -zoom;
      for ( int by = 0; by < bitmap.height(); ++by )
         for ( int bx = 0; bx < bitmap.width(); ++bx )
         {
            double mean = 0;
            for ( int k = 0; k < n; ++k )
               for ( int l = 0; l < n; ++l )
                  mean += image.Pixel( 1 + bx * n + l, 1 + by * n + k ) / double( n * n );
            EXPECT_NEAR( qRed( bitmap.pixel( bx, by ) ), mean * 255, 0.5001 ) << zoom << " " << bx << "," << by;
         }
   }
   // The block is capped by the rectangle: 1:8 of a 5 x 3 rectangle averages the 3 x 3 block at its origin.
   QImage capped = RenderImageBitmap( image, ws, 0, 0, 5, 3, -8, 0, nullptr, -1, -1 );
   ASSERT_EQ( capped.size(), QSize( 1, 1 ) );
   EXPECT_EQ( capped, Reference( image, ws, 0, 0, 5, 3, -8, 0 ) );
}

TEST( BitmapsTest, EveryModeAndZoomMatchesThePixelByPixelDefinition )
{
   // Random samples with some outside [0, 1] and a few NaNs; a rectangle inside the image; zooms from 1:20 (past
   // the templated block sizes) to 5:1; three kinds of transfer function for the CIE modes.
   qor::Image image = test::RandomImage( 47, 39, 4, qor::ColorSpace::RGB, 3, -0.2f, 1.2f );
   image.Pixel( 5, 6, 0 ) = NaN;
   image.Pixel( 20, 10, 1 ) = NaN;
   image.Pixel( 21, 30, 2 ) = Inf;
   qor::Image greyMask = test::RandomImage( 50, 45, 1, qor::ColorSpace::Gray, 4 );
   qor::Image colorMask = test::RandomImage( 50, 45, 3, qor::ColorSpace::RGB, 5 );
   const qor::RGBColorSystem spaces[] = { qor::RGBColorSystem(), PowerLawSpace( 2.2f ), PowerLawSpace( 1.0f ) };
   std::vector<int> zooms;
   for ( int z = -20; z <= 5; ++z )
      if ( z != 0 )
         zooms.push_back( z );
   for ( const qor::RGBColorSystem& ws : spaces )
      for ( int mode : { -3, -2, -1, 0, 2, 3 } )
         for ( int zoom : zooms )
            for ( const qor::Image* mask : std::initializer_list<const qor::Image*>{ nullptr, &greyMask, &colorMask } )
            {
               if ( mode == 3 && mask == &colorMask )
                  continue; // a colour mask has no channel for the alpha channel
               QImage bitmap = RenderImageBitmap( image, ws, 3, 2, 41, 36, zoom, mode, mask, 6, -1 );
               ASSERT_EQ( bitmap, Reference( image, ws, 3, 2, 41, 36, zoom, mode, mask, 6, -1 ) )
                   << "mode " << mode << " zoom " << zoom << " gamma " << ws.Gamma() << " sRGB " << ws.IsSRGB()
                   << " mask "
                   << ( mask == nullptr   ? "none"
                        : mask->IsColor() ? "colour"
                                          : "grey" );
            }
}

TEST( BitmapsTest, BytesAreClampedAndNaNShowsBlack )
{
   // Wrapping the low 8 bits would show 1.2 as 50 and -0.1 as 230.
   qor::Image image( 6, 1, 3, qor::ColorSpace::RGB );
   const float values[] = { 1.2f, -0.1f, NaN, Inf, -Inf, 0.999f };
   const int expected[] = { 255, 0, 0, 255, 0, 255 };
   for ( int x = 0; x < 6; ++x )
      for ( int c = 0; c < 3; ++c )
         image.Pixel( x, 0, c ) = values[x];
   for ( int mode : { -3, 1 } )
   {
      QImage bitmap = Render( image, 2, mode );
      for ( int x = 0; x < 6; ++x )
         EXPECT_EQ( RGBAt( bitmap, 2 * x + 1, 1 ), std::make_tuple( expected[x], expected[x], expected[x] ) )
             << "mode " << mode << " sample " << values[x];
   }
   // Block sums far outside the range, and a NaN in a block.
   qor::Image bright = Constant( 4, 2, { 3.0f } );
   EXPECT_EQ( RGBAt( Render( bright, -2, 0 ), 0, 0 ), std::make_tuple( 255, 255, 255 ) );
   bright.Pixel( 2, 1 ) = NaN;
   EXPECT_EQ( RGBAt( Render( bright, -2, 0 ), 1, 0 ), std::make_tuple( 0, 0, 0 ) );
   // The CIE modes too: L* of a NaN is black, of an over-bright colour white.
   EXPECT_EQ( RGBAt( Render( Constant( 1, 1, { NaN, 0.5f, 0.5f } ), 1, -1 ), 0, 0 ), std::make_tuple( 0, 0, 0 ) );
   EXPECT_EQ( RGBAt( Render( Constant( 1, 1, { 2.0f, 2.0f, 2.0f } ), 1, -1 ), 0, 0 ),
              std::make_tuple( 255, 255, 255 ) );
}

TEST( BitmapsTest, MaskWeightsTheSamples )
{
   qor::Image white = Constant( 2, 2, { 1, 1, 1 } );
   qor::Image grey = Constant( 2, 2, { 0.0f } );
   EXPECT_EQ( RGBAt( Render( white, 1, -3, &grey ), 0, 0 ), std::make_tuple( 0, 0, 0 ) );
   // Mask 0 in the chrominance mode is the neutral chrominance.
   EXPECT_EQ( RGBAt( Render( Constant( 2, 2, { 0.9f, 0.1f, 0.4f } ), 1, -2, &grey ), 0, 0 ),
              std::make_tuple( 138, 138, 0 ) );
   grey.Fill( 0, 0.5f );
   EXPECT_EQ( RGBAt( Render( white, 1, -3, &grey ), 1, 1 ), std::make_tuple( 128, 128, 128 ) );
   // A colour mask weights each channel by its own channel.
   qor::Image color = Constant( 2, 2, { 1.0f, 0.5f, 0.0f } );
   EXPECT_EQ( RGBAt( Render( white, 1, -3, &color ), 0, 0 ), std::make_tuple( 255, 128, 0 ) );
   EXPECT_EQ( RGBAt( Render( white, 1, 1, &color ), 0, 0 ), std::make_tuple( 128, 128, 128 ) );

   // The mask origin: mask sample (maskLeft + x, maskTop + y) weights image sample (left + x, top + y); a negative
   // origin means the rectangle's own.
   qor::Image ramp( 4, 4, 1, qor::ColorSpace::Gray );
   for ( int y = 0; y < 4; ++y )
      for ( int x = 0; x < 4; ++x )
         ramp.Pixel( x, y ) = 0.25f * float( x ) + 0.0625f * float( y );
   qor::Image ones = Constant( 4, 4, { 1.0f } );
   const qor::RGBColorSystem ws;
   QImage moved = RenderImageBitmap( ones, ws, 0, 0, 2, 2, 1, 0, &ramp, 2, 1 );
   EXPECT_EQ( qRed( moved.pixel( 0, 0 ) ), RefByte( ramp.Pixel( 2, 1 ) * 255.0f ) );
   EXPECT_EQ( qRed( moved.pixel( 1, 1 ) ), RefByte( ramp.Pixel( 3, 2 ) * 255.0f ) );
   QImage same = RenderImageBitmap( ones, ws, 1, 2, 2, 2, 1, 0, &ramp, -1, -1 );
   EXPECT_EQ( qRed( same.pixel( 0, 0 ) ), RefByte( ramp.Pixel( 1, 2 ) * 255.0f ) );
}

TEST( BitmapsTest, OutputIsTheSameForAnyThreadCount )
{
   qor::Image image = test::RandomImage( 613, 419, 3, qor::ColorSpace::RGB, 11, -0.1f, 1.1f );
   image.Pixel( 100, 200, 1 ) = NaN;
   qor::Image mask = test::RandomImage( 613, 419, 1, qor::ColorSpace::Gray, 12 );
   const qor::RGBColorSystem ws;
   for ( int mode : { -3, -2, -1, 1 } )
      for ( int zoom : { -16, -5, -2, 1, 3, 32 } )
         for ( const qor::Image* m : std::initializer_list<const qor::Image*>{ nullptr, &mask } )
         {
            const int w = zoom == 32 ? 60 : 600, h = zoom == 32 ? 50 : 410;
            QImage one, all;
            {
               qor::ThreadCountScope scope( 1 );
               one = RenderImageBitmap( image, ws, 7, 5, w, h, zoom, mode, m, -1, -1 );
            }
            {
               qor::ThreadCountScope scope( 0 );
               all = RenderImageBitmap( image, ws, 7, 5, w, h, zoom, mode, m, -1, -1 );
            }
            ASSERT_EQ( one, all ) << "mode " << mode << " zoom " << zoom;
         }
}

// A window renders into the bitmap of its previous paint: the memory is reused at the same size, a bitmap of
// another size or format is replaced, and one shared with a copy is never written under the copy.
TEST( BitmapsTest, RenderingIntoAKeptBitmapReusesItsMemoryButNeverASharedOne )
{
   const qor::RGBColorSystem ws;
   const qor::Image image = test::RandomImage( 64, 48, 3, qor::ColorSpace::RGB, 21 );
   const qor::Image other = test::RandomImage( 64, 48, 3, qor::ColorSpace::RGB, 22 );

   QImage kept;
   RenderImageBitmap( kept, image, ws, 0, 0, 64, 48, -2, RenderModeRGB, nullptr, -1, -1 );
   EXPECT_EQ( kept, RenderImageBitmap( image, ws, 0, 0, 64, 48, -2, RenderModeRGB, nullptr, -1, -1 ) );
   const uchar* memory = kept.constBits();
   RenderImageBitmap( kept, other, ws, 0, 0, 64, 48, -2, RenderModeRGB, nullptr, -1, -1 );
   EXPECT_EQ( kept.constBits(), memory );
   EXPECT_EQ( kept, RenderImageBitmap( other, ws, 0, 0, 64, 48, -2, RenderModeRGB, nullptr, -1, -1 ) );

   const QImage copy = kept; // shared, as a painter or a caller may hold it
   RenderImageBitmap( kept, image, ws, 0, 0, 64, 48, -2, RenderModeRGB, nullptr, -1, -1 );
   EXPECT_EQ( copy, RenderImageBitmap( other, ws, 0, 0, 64, 48, -2, RenderModeRGB, nullptr, -1, -1 ) );
   EXPECT_EQ( kept, RenderImageBitmap( image, ws, 0, 0, 64, 48, -2, RenderModeRGB, nullptr, -1, -1 ) );

   RenderImageBitmap( kept, image, ws, 3, 2, 40, 30, 2, RenderModeRGB, nullptr, -1, -1 );
   EXPECT_EQ( kept.size(), QSize( 80, 60 ) );
   EXPECT_EQ( kept, RenderImageBitmap( image, ws, 3, 2, 40, 30, 2, RenderModeRGB, nullptr, -1, -1 ) );
   QImage indexed( 80, 60, QImage::Format_Indexed8 );
   RenderImageBitmap( indexed, image, ws, 3, 2, 40, 30, 2, RenderModeRGB, nullptr, -1, -1 );
   EXPECT_EQ( indexed.format(), QImage::Format_RGB32 );
   EXPECT_EQ( indexed, kept );
}

TEST( BitmapsTest, ArgumentsOutsideTheirRangesAreRefused )
{
   qor::Image rgb = Constant( 8, 6, { 0.5f, 0.5f, 0.5f } );
   qor::Image grey = Constant( 8, 6, { 0.5f } );
   qor::Image smallMask = Constant( 4, 4, { 1.0f } );
   qor::Image twoChannelMask = Constant( 8, 6, { 1.0f, 1.0f } );
   twoChannelMask.SetColorSpaceCode( qor::ColorSpace::RGB ); // RGB needs three: both planes become alpha
   const qor::RGBColorSystem ws;
   struct Case
   {
      const qor::Image* image;
      int left, top, width, height, zoom, mode;
      const qor::Image* mask;
      int maskLeft, maskTop;
   };
   const Case cases[] = {
       { &rgb, 0, 0, 8, 6, 0, -3, nullptr, -1, -1 },        // zoom 0
       { &rgb, 1, 0, 8, 6, 1, -3, nullptr, -1, -1 },        // past the right edge
       { &rgb, 0, -1, 4, 4, 1, -3, nullptr, -1, -1 },       // above the top
       { &rgb, 0, 0, 0, 4, 1, -3, nullptr, -1, -1 },        // empty rectangle
       { &grey, 0, 0, 8, 6, 1, -1, nullptr, -1, -1 },       // a CIE mode on a grey image
       { &grey, 0, 0, 8, 6, 1, 1, nullptr, -1, -1 },        // a channel the image lacks
       { &rgb, 0, 0, 8, 6, 1, -4, nullptr, -1, -1 },        // no such mode
       { &rgb, 0, 0, 8, 6, 1, -3, &smallMask, -1, -1 },     // mask too small
       { &rgb, 0, 0, 4, 4, 1, -3, &smallMask, 1, 0 },       // mask origin pushes the rectangle out
       { &rgb, 0, 0, 8, 6, 1, -3, &twoChannelMask, -1, -1 } // a colour mask without enough channels
   };
   for ( const Case& c : cases )
      EXPECT_THROW( RenderImageBitmap( *c.image, ws, c.left, c.top, c.width, c.height, c.zoom, c.mode, c.mask,
                                       c.maskLeft, c.maskTop ),
                    qor::GenericException )
          << c.left << "," << c.top << " " << c.width << "x" << c.height << " zoom " << c.zoom << " mode " << c.mode;
   // A mask only needs to cover the blocks actually read.
   EXPECT_NO_THROW( RenderImageBitmap( rgb, ws, 0, 0, 5, 5, -2, -3, &smallMask, -1, -1 ) );
}

// ---------------------------------------------------------------------------------------------------------------

TEST( BitmapsTest, LoadsEightBitBitmapsAsGreyThroughTheirPalette )
{
   QImage indexed( 3, 2, QImage::Format_Indexed8 );
   QList<QRgb> ramp;
   for ( int i = 0; i < 256; ++i )
      ramp.append( qRgb( i, i, i ) );
   indexed.setColorTable( ramp );
   const uchar indices[2][3] = { { 0, 128, 255 }, { 1, 2, 254 } };
   for ( int y = 0; y < 2; ++y )
      for ( int x = 0; x < 3; ++x )
         indexed.setPixel( x, y, indices[y][x] );

   qor::Image image;
   LoadImageFromBitmap( image, indexed );
   ASSERT_EQ( image.NumberOfChannels(), 1 );
   EXPECT_EQ( image.GetColorSpace(), qor::ColorSpace::Gray );
   for ( int y = 0; y < 2; ++y )
      for ( int x = 0; x < 3; ++x )
         EXPECT_EQ( image.Pixel( x, y ), float( indices[y][x] / 255.0L ) );

   // 8-bit grey without a palette reads the same.
   qor::Image plain;
   LoadImageFromBitmap( plain, indexed.convertToFormat( QImage::Format_Grayscale8 ) );
   EXPECT_TRUE( test::SamePixels( plain, image ) );

   // A grey palette that is not the identity is applied (the index is not a grey level).
   QList<QRgb> inverted;
   for ( int i = 0; i < 256; ++i )
      inverted.append( qRgb( 255 - i, 255 - i, 255 - i ) );
   indexed.setColorTable( inverted );
   LoadImageFromBitmap( image, indexed );
   EXPECT_EQ( image.Pixel( 0, 0 ), 1.0f );
   EXPECT_EQ( image.Pixel( 2, 0 ), 0.0f );

   // A colour palette gives an RGB image with the palette's colours.
   QList<QRgb> colors = ramp;
   colors[128] = qRgb( 255, 0, 64 );
   indexed.setColorTable( colors );
   LoadImageFromBitmap( image, indexed );
   ASSERT_EQ( image.NumberOfChannels(), 3 );
   EXPECT_EQ( image.GetColorSpace(), qor::ColorSpace::RGB );
   EXPECT_EQ( image.Pixel( 1, 0, 0 ), 1.0f );
   EXPECT_EQ( image.Pixel( 1, 0, 1 ), 0.0f );
   EXPECT_EQ( image.Pixel( 1, 0, 2 ), float( 64 / 255.0L ) );
   EXPECT_EQ( image.Pixel( 2, 1, 1 ), float( 254 / 255.0L ) );
}

TEST( BitmapsTest, LoadsColourBitmapsAsRGBWhateverTheirPixelFormat )
{
   // The pixel (red 255, green 128, blue 0) in every colour format: 24-bit in either byte order, 32-bit, 32-bit
   // with alpha, and 16-bit (5-6-5 keeps 255, 0 exactly; green becomes 130 there).
   QImage rgb888( 2, 1, QImage::Format_RGB888 );
   rgb888.setPixel( 0, 0, qRgb( 255, 128, 0 ) );
   rgb888.setPixel( 1, 0, qRgb( 10, 20, 30 ) );
   for ( QImage::Format format : { QImage::Format_RGB888, QImage::Format_BGR888, QImage::Format_RGB32,
                                   QImage::Format_ARGB32, QImage::Format_RGB16 } )
   {
      QImage bitmap = rgb888.convertToFormat( format );
      qor::Image image;
      LoadImageFromBitmap( image, bitmap );
      ASSERT_EQ( image.NumberOfChannels(), 3 ) << format;
      EXPECT_EQ( image.GetColorSpace(), qor::ColorSpace::RGB );
      EXPECT_EQ( image.Width(), 2 );
      EXPECT_EQ( image.Pixel( 0, 0, 0 ), 1.0f ) << format;
      EXPECT_EQ( image.Pixel( 0, 0, 2 ), 0.0f ) << format;
      QRgb converted = bitmap.pixel( 0, 0 );
      EXPECT_EQ( image.Pixel( 0, 0, 1 ), float( qGreen( converted ) / 255.0L ) ) << format;
      if ( format != QImage::Format_RGB16 )
      {
         EXPECT_EQ( image.Pixel( 0, 0, 1 ), float( 128 / 255.0L ) );
      }
   }

   // 1-bit bitmaps go through their palette; 16-bit grey stays grey with its precision.
   QImage mono( 9, 1, QImage::Format_Mono );
   mono.setColorTable( { qRgb( 0, 0, 0 ), qRgb( 255, 255, 255 ) } );
   mono.fill( 0 );
   mono.setPixel( 8, 0, 1 );
   qor::Image image;
   LoadImageFromBitmap( image, mono );
   ASSERT_EQ( image.NumberOfChannels(), 1 );
   EXPECT_EQ( image.Pixel( 7, 0 ), 0.0f );
   EXPECT_EQ( image.Pixel( 8, 0 ), 1.0f );
   QImage grey16( 2, 1, QImage::Format_Grayscale16 );
   reinterpret_cast<uint16_t*>( grey16.scanLine( 0 ) )[0] = 1;
   reinterpret_cast<uint16_t*>( grey16.scanLine( 0 ) )[1] = 65535;
   LoadImageFromBitmap( image, grey16 );
   ASSERT_EQ( image.NumberOfChannels(), 1 );
   EXPECT_EQ( image.Pixel( 0, 0 ), float( 1 / 65535.0L ) );
   EXPECT_EQ( image.Pixel( 1, 0 ), 1.0f );
}

TEST( BitmapsTest, RefusedOrAbortedLoadsLeaveTheImageAsItWas )
{
   qor::Image image = test::RandomImage( 5, 4, 3, qor::ColorSpace::RGB, 9 );
   const qor::Image before = image;
   QImage alpha( 4, 4, QImage::Format_Alpha8 );
   alpha.fill( 0 );
   EXPECT_THROW( LoadImageFromBitmap( image, QImage() ), qor::GenericException );
   EXPECT_THROW( LoadImageFromBitmap( image, alpha ), qor::GenericException );
   EXPECT_TRUE( test::SamePixels( image, before ) );

   // Monitored: "Loading bitmap", one unit per row; an abort throws and keeps the old pixels.
   QImage bitmap( 40, 300, QImage::Format_RGB888 );
   bitmap.fill( Qt::red );
   test::MonitorProbe probe;
   image.Status().SetCallback( &test::MonitorProbe::Callback, &probe );
   LoadImageFromBitmap( image, bitmap );
   EXPECT_EQ( image.Status().Text(), "Loading bitmap" );
   EXPECT_EQ( image.Status().Total(), 300 );
   EXPECT_EQ( probe.done, 1 );
   EXPECT_EQ( image.Width(), 40 );

   image = before;
   probe = test::MonitorProbe{ 1 };
   qor::ThreadCountScope oneThread( 1 );
   EXPECT_THROW( LoadImageFromBitmap( image, bitmap ), qor::Image::AbortProcessEvent );
   EXPECT_TRUE( test::SamePixels( image, before ) );
   image.Status().SetCallback( nullptr, nullptr );
}

TEST( BitmapsTest, BackgroundBrushIsACheckOfTwoByTwoSquares )
{
   QImage brush = CreateBackgroundBrushBitmap( 0x000000, 0xFFFFFF );
   ASSERT_EQ( brush.size(), QSize( 8, 8 ) );
   EXPECT_EQ( brush.pixel( 0, 0 ), qRgb( 0, 0, 0 ) );
   EXPECT_EQ( brush.pixel( 2, 0 ), qRgb( 255, 255, 255 ) );
   EXPECT_EQ( brush.pixel( 0, 2 ), qRgb( 255, 255, 255 ) );
   EXPECT_EQ( brush.pixel( 2, 2 ), qRgb( 0, 0, 0 ) );
   EXPECT_EQ( brush.pixel( 7, 7 ), qRgb( 0, 0, 0 ) );
   EXPECT_EQ( brush.pixel( 5, 1 ), qRgb( 0, 0, 0 ) );
   // Colours are 0x00BBGGRR.
   QImage colored = CreateBackgroundBrushBitmap( 0x0000FF, 0x804020 );
   EXPECT_EQ( colored.pixel( 1, 1 ), qRgb( 255, 0, 0 ) );
   EXPECT_EQ( colored.pixel( 3, 1 ), qRgb( 0x20, 0x40, 0x80 ) );
}
