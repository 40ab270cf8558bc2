#include <gtest/gtest.h>

#include "Image.h"
#include "ImageTestSupport.h"
#include "MedianKernel.h"
#include "MinMaxKernel.h"
#include "Parallel.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

using qor::ColorSpace;
using qor::Image;

namespace
{

// Brute force: visit every cell of the box (every member of the circular element) through the border rules,
// keeping a cell that beats the running extremum, which starts from the worst value.
Image Reference( const Image& in, int n, float amount, bool minimum, bool circular )
{
   Image out( in );
   const int h = n / 2, w = in.Width(), ht = in.Height();
   const std::vector<uint8_t> element = qor::CircularStructuringElement( n );
   for ( int c = 0; c < in.NumberOfNominalChannels(); ++c )
      for ( int y = 0; y < ht; ++y )
         for ( int x = 0; x < w; ++x )
         {
            float m = minimum ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
            for ( int i = 0; i < n; ++i )
               for ( int j = 0; j < n; ++j )
                  if ( !circular || element[size_t( i * n + j )] != 0 )
                  {
                     float v = in.Pixel( test::ColumnOf( x - h + j, w ), test::RowOf( y - h + i, ht ), c );
                     if ( minimum ? v < m : v > m )
                        m = v;
                  }
            const float centre = in.Pixel( x, y, c );
            out.Pixel( x, y, c ) = amount >= 1 ? m : amount * m + ( 1 - amount ) * centre;
         }
   return out;
}

void ExpectSameAsReference( const Image& source, int n, float amount, bool minimum, bool circular )
{
   Image image( source );
   qor::ApplyMinMaxKernel( image, n, amount, minimum, circular );
   EXPECT_TRUE( test::SamePixels( image, Reference( source, n, amount, minimum, circular ) ) )
       << source.Width() << "x" << source.Height() << " n=" << n << ( minimum ? " min" : " max" )
       << ( circular ? " circular" : " square" ) << " amount=" << amount;
}

} // namespace

// Square and circular boxes, both operations, on images from 1 x 1 up, including boxes larger than the image and
// widths that are not whole vectors; every output equals the brute-force extremum.
TEST( MinMaxKernel, EveryBoxAndImageSizeEqualsBruteForce )
{
   struct Size
   {
      int w, h;
   } sizes[] = { { 1, 1 }, { 2, 1 }, { 1, 3 }, { 2, 2 }, { 3, 5 }, { 7, 2 }, { 9, 9 }, { 17, 11 }, { 40, 23 } };
   uint32_t seed = 1;
   for ( const Size& s : sizes )
   {
      Image image = test::RandomImage( s.w, s.h, 1, ColorSpace::Gray, seed++ );
      for ( int n : { 3, 5, 7, 9, 13, 25 } )
         for ( bool minimum : { true, false } )
            for ( bool circular : { false, true } )
               ExpectSameAsReference( image, n, 1.0f, minimum, circular );
   }
   // NaN holes everywhere in a row (the middle of a row is read in place, its ends through a copy), a whole row
   // and column of them, and a 3 x 3 block that leaves a box with nothing but NaN.
   Image holes = test::RandomImage( 40, 23, 1, ColorSpace::Gray, 77 );
   const float nan = std::numeric_limits<float>::quiet_NaN();
   for ( int x = 0; x < 40; ++x )
      for ( int y = 0; y < 23; ++y )
         if ( ( x * 7 + y * 3 ) % 11 == 0 || y == 9 || x == 20 || ( x >= 30 && x < 33 && y >= 15 && y < 18 ) )
            holes.Pixel( x, y ) = nan;
   for ( int n : { 3, 7 } )
      for ( bool minimum : { true, false } )
         ExpectSameAsReference( holes, n, 1.0f, minimum, n == 7 );

   // Blending, and an RGB image whose alpha plane is left alone.
   Image rgba = test::RandomImage( 21, 13, 4, ColorSpace::RGB, 99 );
   rgba.SetColorSpaceCode( ColorSpace::RGB );
   ExpectSameAsReference( rgba, 5, 0.3f, true, true );
   ExpectSameAsReference( rgba, 7, 0.5f, false, false );
}

// With a square box the border rules only repeat samples that lie in the box already: every output is the
// extremum over the part of the box inside the image.
TEST( MinMaxKernel, SquareBoxNearEdgesIsTheExtremumOfTheClippedBox )
{
   Image source = test::RandomImage( 11, 6, 1, ColorSpace::Gray, 7 );
   for ( int n : { 3, 5, 9, 15 } )
      for ( bool minimum : { true, false } )
      {
         Image image( source );
         qor::ApplyMinMaxKernel( image, n, 1.0f, minimum, false );
         const int h = n / 2;
         for ( int y = 0; y < 6; ++y )
            for ( int x = 0; x < 11; ++x )
            {
               float m = source.Pixel( x, y );
               for ( int yy = std::max( 0, y - h ); yy <= std::min( 5, y + h ); ++yy )
                  for ( int xx = std::max( 0, x - h ); xx <= std::min( 10, x + h ); ++xx )
                     m = minimum ? std::min( m, source.Pixel( xx, yy ) ) : std::max( m, source.Pixel( xx, yy ) );
               ASSERT_EQ( image.Pixel( x, y ), m ) << n << " at " << x << "," << y;
            }
      }
}

TEST( MinMaxKernel, KnownAnswers )
{
   // Erosion removes a bright dot; dilation grows it to an n x n square (square box).
   Image dot( 11, 11, 1 );
   dot.Fill( 0, 0.0f );
   dot.Pixel( 5, 5 ) = 1.0f;
   Image eroded( dot ), dilated( dot );
   qor::ApplyMinMaxKernel( eroded, 5, 1.0f, true, false );
   qor::ApplyMinMaxKernel( dilated, 5, 1.0f, false, false );
   for ( int y = 0; y < 11; ++y )
      for ( int x = 0; x < 11; ++x )
      {
         EXPECT_EQ( eroded.Pixel( x, y ), 0.0f );
         EXPECT_EQ( dilated.Pixel( x, y ), std::abs( x - 5 ) <= 2 && std::abs( y - 5 ) <= 2 ? 1.0f : 0.0f );
      }

   // Half an erosion that takes 1 to 0 gives 0.5; a white image stays white under both.
   Image white( 6, 6, 1 );
   white.Fill( 0, 1.0f );
   Image half( white );
   half.Pixel( 0, 0 ) = 0.0f;
   qor::ApplyMinMaxKernel( half, 3, 0.5f, true, false );
   EXPECT_EQ( half.Pixel( 1, 1 ), 0.5f );
   for ( bool minimum : { true, false } )
   {
      Image image( white );
      qor::ApplyMinMaxKernel( image, 7, 1.0f, minimum, true );
      EXPECT_TRUE( test::SamePixels( image, white ) );
   }

   // Samples outside [0, 1] give their true extremum; NaN never wins.
   Image wide( 3, 1, 1 );
   wide.Pixel( 0, 0 ) = 2.5f;
   wide.Pixel( 1, 0 ) = std::numeric_limits<float>::quiet_NaN();
   wide.Pixel( 2, 0 ) = 3.0f;
   Image low( wide );
   qor::ApplyMinMaxKernel( low, 3, 1.0f, true, false );
   EXPECT_EQ( low.Pixel( 1, 0 ), 2.5f );
   Image high( wide );
   high.Pixel( 0, 0 ) = -1.5f;
   high.Pixel( 2, 0 ) = -2.0f;
   qor::ApplyMinMaxKernel( high, 3, 1.0f, false, false );
   EXPECT_EQ( high.Pixel( 1, 0 ), -1.5f );
}

TEST( MinMaxKernel, InvalidSizesAreRefusedUntouched )
{
   Image image = test::RandomImage( 5, 5, 1, ColorSpace::Gray, 3 );
   Image before( image );
   for ( int n : { -3, 0, 1, 2, 4 } )
      EXPECT_THROW( qor::ApplyMinMaxKernel( image, n, 1.0f, true, false ), qor::GenericException ) << n;
   EXPECT_TRUE( test::SamePixels( image, before ) );
   Image empty;
   qor::ApplyMinMaxKernel( empty, 3, 1.0f, true, false );
   EXPECT_TRUE( empty.IsEmpty() );
}

TEST( MinMaxKernel, MonitorTextsTotalsAndAbort )
{
   Image image = test::RandomImage( 30, 200, 3, ColorSpace::RGB, 4 );
   image.SetColorSpaceCode( ColorSpace::RGB );
   test::MonitorProbe probe;
   image.Status().SetCallback( &test::MonitorProbe::Callback, &probe );
   qor::ApplyMinMaxKernel( image, 3, 1.0f, true, false );
   EXPECT_EQ( image.Status().Text(), "Erosion (Minimum) Filter" );
   EXPECT_EQ( image.Status().Count(), 3 * 200 );
   EXPECT_EQ( probe.done, 1 );
   qor::ApplyMinMaxKernel( image, 3, 1.0f, false, false );
   EXPECT_EQ( image.Status().Text(), "Dilation (Maximum) Filter" );

   // An abort in the first channel leaves the whole image as it was (once asked, the abort is asked for at every
   // later event, as the status dialog does).
   Image before( image );
   image.Status().SetCallback( []( void*, int32_t event, qor::StatusCallback& monitor ) -> int32_t {
      return event == qor::StatusCallback::Progress && monitor.Count() >= 2 ? 1 : 0;
   }, nullptr );
   EXPECT_THROW( qor::ApplyMinMaxKernel( image, 5, 1.0f, true, true ), Image::AbortProcessEvent );
   EXPECT_TRUE( test::SamePixels( image, before ) );
}

TEST( MinMaxKernel, OneThreadAndAllThreadsAgreeBitForBit )
{
   Image source = test::RandomImage( 203, 500, 1, ColorSpace::Gray, 12 );
   for ( int n : { 3, 7, 25 } )
      for ( bool circular : { false, true } )
      {
         Image one( source ), all( source );
         {
            qor::ThreadCountScope scope( 1 );
            qor::ApplyMinMaxKernel( one, n, 0.7f, true, circular );
         }
         {
            qor::ThreadCountScope scope( 8 );
            qor::ApplyMinMaxKernel( all, n, 0.7f, true, circular );
         }
         EXPECT_TRUE( test::SamePixels( one, all ) ) << n;
      }
   ExpectSameAsReference( source, 7, 1.0f, false, true ); // strip seams included
}

// Equal extrema of different signs (0 and -0): the one that wins does not depend on how the rows are split among
// threads, that is on which rows are taken together.
TEST( MinMaxKernel, SignedZerosComeOutTheSameWhateverTheStrips )
{
   for ( int n : { 3, 5, 7 } )
      for ( bool minimum : { true, false } )
      {
         // Zeros of both signs, and values that never win: nearly every box's extremum is a zero.
         Image source( 37, 301 );
         uint32_t state = 5;
         for ( int64_t i = 0; i < source.NumberOfPixels(); ++i )
         {
            state = state * 1664525u + 1013904223u;
            const uint32_t r = state >> 24;
            source[0][i] = r < 110 ? 0.0f : r < 220 ? -0.0f : minimum ? 0.25f : -0.25f;
         }
         Image one( source );
         {
            qor::ThreadCountScope scope( 1 );
            qor::ApplyMinMaxKernel( one, n, 1.0f, minimum, false );
         }
         for ( int threads : { 2, 4, 6 } ) // strips of 38, 19 and 13 rows or the grain: some start on odd rows
         {
            Image some( source );
            qor::ThreadCountScope scope( threads );
            qor::ApplyMinMaxKernel( some, n, 1.0f, minimum, false );
            EXPECT_TRUE( test::SamePixels( one, some ) ) << n << ( minimum ? " min " : " max " ) << threads;
         }
      }
}

// Planes far larger than the caches are written past them: rows aligned for it and rows that are not (an odd width
// puts each row at another offset) give the extremum of the box. With distinct random samples (NaN scattered
// among them) the square box's extremum is that of the rows' run extrema, a reference quick enough at this size.
TEST( MinMaxKernel, PlanesLargerThanTheCachesGiveTheExtremumOfTheBox )
{
   for ( int width : { 4100, 4097 } )
   {
      const int height = 2048; // 33 MB of samples
      Image source = test::RandomImage( width, height, 1, ColorSpace::Gray, 31 );
      for ( int64_t i = 7; i < source.NumberOfPixels(); i += 9973 )
         source[0][i] = std::numeric_limits<float>::quiet_NaN();
      for ( int n : { 3, 7 } )
         for ( bool minimum : { true, false } )
         {
            const int h = n / 2;
            const float worst =
                minimum ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
            auto beats = [minimum]( float v, float m ) { return minimum ? v < m : v > m; };
            std::vector<float> runs( size_t( width ) * height );
            for ( int y = 0; y < height; ++y )
               for ( int x = 0; x < width; ++x )
               {
                  float m = worst;
                  for ( int j = -h; j <= h; ++j )
                     if ( float v = source.Pixel( test::ColumnOf( x + j, width ), y ); beats( v, m ) )
                        m = v;
                  runs[size_t( y ) * width + x] = m;
               }
            Image image( source );
            qor::ApplyMinMaxKernel( image, n, 1.0f, minimum, false );
            int64_t wrong = 0;
            for ( int y = 0; y < height; ++y )
               for ( int x = 0; x < width; ++x )
               {
                  float m = worst;
                  for ( int i = -h; i <= h; ++i )
                     if ( float v = runs[size_t( test::RowOf( y + i, height ) ) * width + x]; beats( v, m ) )
                        m = v;
                  wrong += image.Pixel( x, y ) == m ? 0 : 1;
               }
            EXPECT_EQ( wrong, 0 ) << width << " n=" << n << ( minimum ? " min" : " max" );
         }
   }
}
