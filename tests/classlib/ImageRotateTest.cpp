#include <gtest/gtest.h>

#include "Image.h"
#include "ImageTestSupport.h"
#include "Interpolation.h"
#include "Parallel.h"

#include <cmath>
#include <limits>
#include <numbers>
#include <vector>

using qor::ColorSpace;
using qor::Image;
using qor::StatusCallback;

namespace
{

const float pi = std::numbers::pi_v<float>;

Image Noise( int32_t w, int32_t h, int32_t channels, int32_t colorSpace = ColorSpace::Gray )
{
   return test::RandomImage( w, h, channels, colorSpace, 9 );
}

Image Constant( int32_t w, int32_t h, int32_t channels, int32_t colorSpace, float value )
{
   Image image( w, h, channels, colorSpace );
   for ( int32_t c = 0; c < channels; ++c )
      std::fill( image[c], image[c] + image.NumberOfPixels(), value );
   return image;
}

// Answers the first `quiet` events with 0, then asks to abort.
int32_t AbortAfter( void* data, int32_t, StatusCallback& )
{
   return ( *static_cast<int*>( data ) )-- <= 0 ? 1 : 0;
}

} // namespace

TEST( Rotate, BoundingBox )
{
   struct Case
   {
      int32_t w, h;
      float cx, cy, angle;
      int32_t W, H;
   } cases[] = {
      { 100, 50, 50, 25, pi / 2, 50, 100 },    { 101, 51, 50.5f, 25.5f, pi / 2, 51, 101 },
      { 100, 100, 50, 50, pi / 4, 141, 141 },  { 100, 50, 50, 25, 0, 100, 50 },
      { 100, 50, 50, 25, -pi, 100, 50 },       { 1, 1, 0.5f, 0.5f, 0.7f, 1, 1 },
   };
   for ( const Case& k : cases )
   {
      Image image = Noise( k.w, k.h, 1 );
      image.Rotate( k.cx, k.cy, k.angle, {}, qor::Interpolation::Bilinear );
      EXPECT_EQ( image.Width(), k.W ) << k.w << "x" << k.h << " by " << k.angle;
      EXPECT_EQ( image.Height(), k.H ) << k.w << "x" << k.h << " by " << k.angle;
   }
}

TEST( Rotate, ZeroAngleKeepsTheSamples )
{
   Image source = Noise( 9, 6, 2 );
   for ( int code = 0; code < 4; ++code )
   {
      Image image( source );
      image.Rotate( 4.5f, 3.0f, 0.0f, {}, code );
      EXPECT_EQ( test::SamePixels( image, source ), code != 3 ) << code; // the B-spline smooths
   }
}

TEST( Rotate, QuarterTurnIsATransposition )
{
   // Counter-clockwise on the screen: the right column becomes the top row. cos(pi/2) is not exactly 0 in floats,
   // so positions are off by a few 1e-7: samples agree within tolerance, and those that come from the source's
   // first row or column may fall a hair outside it and take the fill value.
   Image source = Noise( 7, 5, 1 );
   const float fill[1] = { -1.0f };
   for ( int code = 0; code < 3; ++code )
   {
      Image image( source );
      image.Rotate( 3.5f, 2.5f, pi / 2, fill, code );
      ASSERT_EQ( image.Width(), 5 );
      ASSERT_EQ( image.Height(), 7 );
      for ( int32_t j = 0; j < 7; ++j )
         for ( int32_t i = 0; i < 5; ++i )
         {
            float v = image.Pixel( i, j );
            if ( v == fill[0] && ( i == 0 || j == 6 ) )
               continue;
            EXPECT_NEAR( v, source.Pixel( 6 - j, i ), 2e-5 ) << code << ": " << i << ", " << j;
         }
   }
}

TEST( Rotate, EverySampleIsTheKernelInsideAndTheFillOutside )
{
   // Output (i, j) shows the source at the turned-frame position (xmin + i, ymin + j) mapped back by the inverse
   // rotation; xmin and ymin come from the corner samples. Tiny images too: nothing is read outside them.
   struct Case
   {
      int32_t w, h;
      float angle;
   } cases[] = { { 9, 7, 0.3f },  { 8, 3, -2.0f }, { 1, 1, 0.5f },  { 1, 5, 1.0f },
                 { 5, 1, 4.0f },  { 2, 2, 0.1f },  { 40, 30, 0.3f }, { 70, 9, -1.2f } };
   const float fill[1] = { 0.75f };
   for ( const Case& k : cases )
      for ( int code = 0; code < 4; ++code )
      {
         SCOPED_TRACE( testing::Message() << k.w << "x" << k.h << " by " << k.angle << ", code " << code );
         Image source = Noise( k.w, k.h, 2 );
         Image image( source );
         const float cx = k.w * 0.5f, cy = k.h * 0.5f;
         image.Rotate( cx, cy, k.angle, fill, code, 5 );

         const float c1 = std::cos( -k.angle ), s1 = std::sin( -k.angle );
         float xmin = INFINITY, ymin = INFINITY;
         for ( float x : { 0.0f, float( k.w - 1 ) } )
            for ( float y : { 0.0f, float( k.h - 1 ) } )
            {
               xmin = std::min( xmin, ( c1 * ( x - cx ) + cx ) - s1 * ( y - cy ) );
               ymin = std::min( ymin, ( s1 * ( x - cx ) + cy ) + c1 * ( y - cy ) );
            }
         const float c2 = std::cos( k.angle ), s2 = std::sin( k.angle );
         std::vector<float> table( size_t( k.w ) * k.h );
         for ( int32_t c = 0; c < 2; ++c )
         {
            const float* p = source[c];
            qor::ComputeRowSplineDerivatives( p, k.w, k.h, table.data() );
            for ( int32_t j = 0; j < image.Height(); ++j )
               for ( int32_t i = 0; i < image.Width(); ++i )
               {
                  float dx = ( float( i ) + xmin ) - cx, dy = ( float( j ) + ymin ) - cy;
                  float x = ( c2 * dx + cx ) - s2 * dy, y = ( s2 * dx + cy ) + c2 * dy;
                  float expected = c == 0 ? 0.75f : 0.0f; // the second channel is an alpha channel
                  if ( x >= 0 && x < k.w && y >= 0 && y < k.h )
                  {
                     float v = code == 0   ? qor::InterpolateBicubicSpline( p, table.data(), k.w, k.h, 5, x, y )
                               : code == 1 ? qor::InterpolateBicubic( p, k.w, k.h, x, y )
                               : code == 2 ? qor::InterpolateBilinear( p, k.w, k.h, x, y )
                                           : qor::InterpolateBicubicBSpline( p, k.w, k.h, x, y );
                     expected = v >= 0 ? std::min( v, 1.0f ) : 0.0f;
                  }
                  ASSERT_EQ( image.Pixel( i, j, c ), expected ) << i << ", " << j << " of channel " << c;
               }
         }
      }
}

TEST( Rotate, FillValuesPerChannelUnclampedAlphaZero )
{
   const float fill[3] = { 0.2f, 0.3f, 1.5f };
   Image image = Constant( 20, 20, 4, ColorSpace::RGB, 1.5f );
   image.Rotate( 10, 10, pi / 4, fill, qor::Interpolation::Bicubic );
   // The corners of the box lie outside the source; its centre inside, where 1.5 is clamped to 1.
   for ( auto [i, j] : { std::pair{ 0, 0 }, std::pair{ image.Width() - 1, image.Height() - 1 } } )
   {
      EXPECT_EQ( image.Pixel( i, j, 0 ), 0.2f );
      EXPECT_EQ( image.Pixel( i, j, 1 ), 0.3f );
      EXPECT_EQ( image.Pixel( i, j, 2 ), 1.5f );
      EXPECT_EQ( image.Pixel( i, j, 3 ), 0.0f );
   }
   for ( int c = 0; c < 4; ++c )
      EXPECT_EQ( image.Pixel( image.Width() / 2, image.Height() / 2, c ), 1.0f );

   Image unfilled = Constant( 20, 20, 4, ColorSpace::RGB, 0.5f );
   unfilled.Rotate( 10, 10, pi / 4, {}, qor::Interpolation::Bicubic );
   for ( int c = 0; c < 4; ++c )
      EXPECT_EQ( unfilled.Pixel( 0, 0, c ), 0.0f );
}

TEST( Rotate, StatusTextAndProgress )
{
   struct Case
   {
      float angle;
      int code;
      const char* text;
   } cases[] = {
      { 0.5f, 1, "Rotate +28.6479 deg, bicubic interpolation" },
      { -0.5f, 2, "Rotate -28.6479 deg, bilinear interpolation" },
      { 0.0f, 0, "Rotate +0.0000 deg, bicubic spline interpolation, block size = 5" },
   };
   for ( const Case& k : cases )
   {
      Image image = Noise( 30, 20, 2 );
      int quiet = 1 << 30;
      image.Status().SetCallback( &AbortAfter, &quiet );
      image.Rotate( 15, 10, k.angle, {}, k.code );
      EXPECT_EQ( image.Status().Text(), k.text );
      EXPECT_EQ( image.Status().Total(), 2 * image.Height() );
      EXPECT_EQ( image.Status().Count(), 2 * image.Height() );
   }
}

TEST( Rotate, AbortLeavesTheImageAsItWas )
{
   for ( int threads : { 1, 0 } )
      for ( int quiet : { 0, 1 } )
         for ( int code = 0; code < 4; ++code )
         {
            qor::ThreadCountScope scope( threads );
            Image image = Noise( 60, 40, 2 );
            Image copy( image );
            image.Status().SetCallback( &AbortAfter, &quiet );
            EXPECT_THROW( image.Rotate( 30, 20, 0.4f, {}, code ), Image::AbortProcessEvent );
            EXPECT_TRUE( test::SamePixels( image, copy ) ) << threads << " " << code;
         }
}

TEST( Rotate, RefusesBadArgumentsAndKeepsTheImage )
{
   Image empty;
   EXPECT_THROW( empty.Rotate( 0, 0, 1, {}, 1 ), qor::GenericException );

   const float nan = std::numeric_limits<float>::quiet_NaN(), inf = std::numeric_limits<float>::infinity();
   Image image = Noise( 8, 6, 1 );
   Image copy( image );
   struct Case
   {
      float cx, cy, angle;
      int32_t code, block;
   } cases[] = { { 4, 3, 1, 4, 5 },   { 4, 3, 1, -1, 5 },   { 4, 3, 1, 0, 0 }, { 4, 3, nan, 1, 5 },
                 { inf, 3, 1, 1, 5 }, { 4, nan, 1, 1, 5 }, { 1e30f, 3, 1, 1, 5 } };
   for ( const Case& k : cases )
   {
      EXPECT_THROW( image.Rotate( k.cx, k.cy, k.angle, {}, k.code, k.block ), qor::GenericException )
         << k.cx << " " << k.angle << " " << k.code;
      EXPECT_TRUE( test::SamePixels( image, copy ) );
   }

   Image rgb = Noise( 8, 6, 3, ColorSpace::RGB );
   const float twoValues[2] = { 0.5f, 0.5f };
   EXPECT_THROW( rgb.Rotate( 4, 3, 1, twoValues, 1 ), qor::GenericException ); // one value per colour channel
   EXPECT_EQ( rgb.Width(), 8 );
}

TEST( Rotate, OneThreadOrManyGiveTheSameSamples )
{
   Image source = Noise( 300, 200, 2 );
   for ( int code = 0; code < 4; ++code )
   {
      Image one( source ), all( source );
      {
         qor::ThreadCountScope scope( 1 );
         one.Rotate( 150, 100, 0.5236f, {}, code, 6 );
      }
      {
         qor::ThreadCountScope scope( 0 );
         all.Rotate( 150, 100, 0.5236f, {}, code, 6 );
      }
      EXPECT_TRUE( test::SamePixels( one, all ) ) << code;
   }
}
