#include <gtest/gtest.h>

#include "Image.h"
#include "ImageTestSupport.h"
#include "Interpolation.h"
#include "Parallel.h"

#include <cmath>
#include <limits>
#include <new>
#include <vector>

using qor::ColorSpace;
using qor::Image;
using qor::StatusCallback;

namespace
{

Image RandomImage( int32_t w, int32_t h, int32_t channels, int32_t colorSpace = ColorSpace::Gray )
{
   return test::RandomImage( w, h, channels, colorSpace, 5 );
}

using Monitor = test::EventRecorder;

// The kernel of a code at (x, y) of channel c.
float Kernel( const Image& image, int32_t c, int code, int32_t block, float x, float y )
{
   const float* p = image[c];
   int32_t w = image.Width(), h = image.Height();
   switch ( code )
   {
   case 0:
   {
      std::vector<float> table( size_t( image.NumberOfPixels() ) );
      qor::ComputeRowSplineDerivatives( p, w, h, table.data() );
      return qor::InterpolateBicubicSpline( p, table.data(), w, h, block, x, y );
   }
   case 1:
      return qor::InterpolateBicubic( p, w, h, x, y );
   case 2:
      return qor::InterpolateBilinear( p, w, h, x, y );
   default:
      return qor::InterpolateBicubicBSpline( p, w, h, x, y );
   }
}

} // namespace

TEST( Resample, SizeChannelsTextAndProgress )
{
   struct Case
   {
      int code, block, W, H;
      const char* text;
   } cases[] = {
      { 1, 5, 3, 7, "Resampling to 3x7, bicubic interpolation" },
      { 3, 5, 64, 48, "Resampling to 64x48, bicubic b-spline interpolation" },
      { 0, 7, 12, 9, "Resampling to 12x9, bicubic spline interpolation, block size = 7" },
   };
   for ( const Case& k : cases )
   {
      Image image = RandomImage( 10, 10, 4, ColorSpace::RGB );
      Monitor monitor;
      image.Status().SetCallback( &Monitor::Callback, &monitor );
      image.Resample( k.W, k.H, k.code, k.block );
      EXPECT_EQ( image.Width(), k.W );
      EXPECT_EQ( image.Height(), k.H );
      EXPECT_EQ( image.NumberOfNominalChannels(), 3 );
      EXPECT_EQ( image.NumberOfAlphaChannels(), 1 );
      EXPECT_EQ( image.GetColorSpace(), ColorSpace::RGB );
      EXPECT_EQ( image.Status().Text(), k.text );
      EXPECT_EQ( image.Status().Total(), 4 * k.H );
      EXPECT_EQ( image.Status().Count(), 4 * k.H );
      ASSERT_FALSE( monitor.events.empty() );
      EXPECT_EQ( monitor.events.front(), StatusCallback::Started );
      EXPECT_EQ( monitor.events.back(), StatusCallback::Done );
   }
}

TEST( Resample, EnlargingARowBilinearly )
{
   Image image( 4, 1, 1 );
   const float row[4] = { 0, 0.25f, 0.5f, 1 };
   std::copy( row, row + 4, image[0] );
   image.Resample( 8, 1, qor::Interpolation::Bilinear );
   const float expected[8] = { 0, 0.125f, 0.25f, 0.375f, 0.5f, 0.75f, 1, 1 }; // 3.5 repeats the edge sample
   for ( int i = 0; i < 8; ++i )
      EXPECT_EQ( image[0][i], expected[i] ) << i;
}

TEST( Resample, EverySampleIsTheKernelAtItsSourcePosition )
{
   // Reductions, enlargements, one axis each way, tiny sources and targets, and planes lower or narrower than the
   // spline's block (5): output (i, j) comes from (i * w/W, j * h/H), clamped to [0, 1].
   struct Case
   {
      int32_t w, h, W, H;
   } cases[] = { { 10, 10, 3, 3 }, { 7, 5, 16, 11 }, { 20, 15, 7, 40 }, { 1, 1, 4, 3 },  { 1, 6, 3, 13 },
                 { 6, 1, 13, 2 },  { 9, 8, 1, 1 },   { 12, 3, 20, 7 }, { 3, 12, 5, 30 } };
   for ( const Case& k : cases )
      for ( int code = 0; code < 4; ++code )
      {
         SCOPED_TRACE( testing::Message() << k.w << "x" << k.h << " to " << k.W << "x" << k.H << ", code " << code );
         Image source = RandomImage( k.w, k.h, 2 );
         source[0][0] = 1.5f; // outside [0, 1]: the results near it are clamped
         Image image( source );
         image.Resample( k.W, k.H, code, 5 );
         ASSERT_EQ( image.Width(), k.W );
         ASSERT_EQ( image.Height(), k.H );
         const float sx = float( k.w ) / float( k.W ), sy = float( k.h ) / float( k.H );
         for ( int32_t c = 0; c < 2; ++c )
            for ( int32_t j = 0; j < k.H; ++j )
               for ( int32_t i = 0; i < k.W; ++i )
               {
                  float v = Kernel( source, c, code, 5, float( i ) * sx, float( j ) * sy );
                  float expected = v >= 0 ? std::min( v, 1.0f ) : 0.0f;
                  ASSERT_EQ( image.Pixel( i, j, c ), expected ) << i << ", " << j << " of channel " << c;
               }
      }
}

TEST( Resample, SameSizeKeepsTheSamplesClampedToTheUnitRange )
{
   Image source = RandomImage( 9, 7, 1 );
   for ( int code = 0; code < 4; ++code )
   {
      Image image( source );
      image.Resample( 9, 7, code );
      EXPECT_EQ( test::SamePixels( image, source ), code != 3 ) << code; // the B-spline smooths
   }

   source[0][10] = 1.07f;
   source[0][20] = -0.02f;
   source[0][62] = std::numeric_limits<float>::quiet_NaN(); // the last sample
   for ( int code = 0; code < 3; ++code )
   {
      Image image( source );
      image.Resample( 9, 7, code );
      EXPECT_EQ( image[0][10], 1.0f );
      EXPECT_EQ( image[0][20], 0.0f );
      EXPECT_EQ( image[0][62], 0.0f );
      for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
         EXPECT_TRUE( image[0][i] >= 0 && image[0][i] <= 1 ) << i;
   }
}

TEST( Resample, AbortLeavesTheImageAsItWas )
{
   // At the start, and at the first report after it (on one thread after the first strip of rows; on all of them
   // possibly at the very end, which aborts all the same).
   for ( int threads : { 1, 0 } )
      for ( int abortAt : { 0, 1 } )
         for ( int code = 0; code < 4; ++code )
         {
            qor::ThreadCountScope scope( threads );
            Image image = RandomImage( 64, 48, 2 );
            Image copy( image );
            Monitor monitor;
            monitor.abortAt = abortAt;
            image.Status().SetCallback( &Monitor::Callback, &monitor );
            EXPECT_THROW( image.Resample( 150, 300, code ), Image::AbortProcessEvent );
            EXPECT_TRUE( test::SamePixels( image, copy ) ) << threads << " " << abortAt << " " << code;
         }
}

TEST( Resample, RefusesBadArgumentsAndKeepsTheImage )
{
   Image empty;
   EXPECT_THROW( empty.Resample( 10, 10, 1 ), qor::GenericException );

   Image image = RandomImage( 8, 6, 1 );
   Image copy( image );
   struct Case
   {
      int32_t W, H, code, block;
   } cases[] = { { 0, 5, 1, 5 }, { 5, 0, 1, 5 }, { -3, 5, 2, 5 }, { 5, 5, 4, 5 }, { 5, 5, -1, 5 }, { 5, 5, 0, 0 } };
   for ( const Case& k : cases )
   {
      EXPECT_THROW( image.Resample( k.W, k.H, k.code, k.block ), qor::GenericException );
      EXPECT_TRUE( test::SamePixels( image, copy ) );
   }
   image.Resample( 5, 5, 1, 0 ); // the block size only matters to the spline
   EXPECT_EQ( image.Width(), 5 );
}

TEST( Resample, OutOfMemoryLeavesTheImageAsItWas )
{
#if defined( __SANITIZE_ADDRESS__ )
   GTEST_SKIP() << "the address sanitizer stops at impossible allocations instead of throwing";
#else
   Image image = RandomImage( 8, 6, 2 );
   Image copy( image );
   EXPECT_THROW( image.Resample( 1 << 30, 1 << 30, qor::Interpolation::Bilinear ), std::bad_alloc );
   EXPECT_TRUE( test::SamePixels( image, copy ) );
#endif
}

TEST( Resample, OneThreadOrManyGiveTheSameSamples )
{
   Image source = RandomImage( 300, 200, 2 );
   for ( auto [W, H] : { std::pair{ 517, 311 }, std::pair{ 97, 61 } } )
      for ( int code = 0; code < 4; ++code )
      {
         Image one( source ), all( source );
         {
            qor::ThreadCountScope scope( 1 );
            one.Resample( W, H, code, 6 );
         }
         {
            qor::ThreadCountScope scope( 0 );
            all.Resample( W, H, code, 6 );
         }
         EXPECT_TRUE( test::SamePixels( one, all ) ) << W << "x" << H << " code " << code;
      }
}
