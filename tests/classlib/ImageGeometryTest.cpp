#include <gtest/gtest.h>

#include "Image.h"
#include "ImageTestSupport.h"
#include "Parallel.h"

#include <cstring>
#include <functional>
#include <string>
#include <vector>

using qor::ColorSpace;
using qor::Image;
using qor::StatusCallback;

namespace
{

// Sample (x, y) of channel c holds c * 10000 + y * 100 + x, so every sample of a small image says where it came from.
Image Labelled( int w, int h, int channels, int space )
{
   Image image( w, h, channels, space );
   for ( int c = 0; c < channels; ++c )
      for ( int y = 0; y < h; ++y )
         for ( int x = 0; x < w; ++x )
            image.Pixel( x, y, c ) = float( c * 10000 + y * 100 + x );
   return image;
}

// Same samples, size, channel split and colour space.
bool Unchanged( const Image& a, const Image& b )
{
   return test::SamePixels( a, b ) && a.NumberOfNominalChannels() == b.NumberOfNominalChannels() &&
          a.GetColorSpace() == b.GetColorSpace();
}

std::vector<float> Rows( const Image& image, int c = 0 )
{
   return std::vector<float>( image[c], image[c] + image.NumberOfPixels() );
}

using Recorder = test::EventRecorder;

using Operation = std::function<void( Image& )>;

} // namespace

TEST( ImageGeometry, RightAngleTurnsAndMirrorsOfANonSquareImage )
{
   // Row 0: a b c, row 1: d e f.
   Image image( 3, 2, 1 );
   const float a = 1, b = 2, c = 3, d = 4, e = 5, f = 6;
   float samples[6] = { a, b, c, d, e, f };
   std::copy( samples, samples + 6, image[0] );

   Image cw( image ), ccw( image ), half( image ), h( image ), v( image );
   cw.Rotate90CW();
   ccw.Rotate90CCW();
   half.Rotate180();
   h.MirrorHorizontal();
   v.MirrorVertical();
   EXPECT_EQ( cw.Width(), 2 );
   EXPECT_EQ( cw.Height(), 3 );
   EXPECT_EQ( Rows( cw ), ( std::vector<float>{ d, a, e, b, f, c } ) );
   EXPECT_EQ( ccw.Width(), 2 );
   EXPECT_EQ( Rows( ccw ), ( std::vector<float>{ c, f, b, e, a, d } ) );
   EXPECT_EQ( Rows( half ), ( std::vector<float>{ f, e, d, c, b, a } ) );
   EXPECT_EQ( Rows( h ), ( std::vector<float>{ c, b, a, f, e, d } ) );
   EXPECT_EQ( Rows( v ), ( std::vector<float>{ d, e, f, a, b, c } ) );
}

TEST( ImageGeometry, TurnsAndMirrorsMoveEverySampleOfEveryChannel )
{
   // RGB with an alpha plane, odd and even sides, whole blocks of samples and remainders.
   for ( auto [w, h] : { std::pair{ 7, 4 }, std::pair{ 4, 7 }, std::pair{ 5, 5 }, std::pair{ 1, 6 },
                         std::pair{ 19, 13 }, std::pair{ 13, 19 }, std::pair{ 16, 8 } } )
   {
      Image source = Labelled( w, h, 4, ColorSpace::RGB );
      Image cw( source ), ccw( source ), half( source ), mh( source ), mv( source );
      cw.Rotate90CW();
      ccw.Rotate90CCW();
      half.Rotate180();
      mh.MirrorHorizontal();
      mv.MirrorVertical();
      ASSERT_EQ( cw.NumberOfAlphaChannels(), 1 );
      for ( int k = 0; k < 4; ++k )
         for ( int j = 0; j < h; ++j )
            for ( int i = 0; i < w; ++i )
            {
               float s = source.Pixel( i, j, k );
               ASSERT_EQ( cw.Pixel( h - 1 - j, i, k ), s );
               ASSERT_EQ( ccw.Pixel( j, w - 1 - i, k ), s );
               ASSERT_EQ( half.Pixel( w - 1 - i, h - 1 - j, k ), s );
               ASSERT_EQ( mh.Pixel( w - 1 - i, j, k ), s );
               ASSERT_EQ( mv.Pixel( i, h - 1 - j, k ), s );
            }
   }

   // Four quarter turns, or a turn each way, give the image back.
   Image source = test::RandomImage( 37, 21, 2, ColorSpace::Gray, 1 );
   Image image( source );
   for ( int i = 0; i < 4; ++i )
      image.Rotate90CW();
   EXPECT_TRUE( Unchanged( image, source ) );
   image.Rotate90CCW();
   image.Rotate90CW();
   EXPECT_TRUE( Unchanged( image, source ) );
}

TEST( ImageGeometry, CanvasAnchorsAndFills )
{
   Image grey = Labelled( 4, 3, 1, ColorSpace::Gray );

   // A one-sample border of the fill value on every side.
   Image framed( grey );
   const float half[1] = { 0.5f };
   framed.ResizeCanvas( 6, 5, 1, 1, half );
   ASSERT_EQ( framed.Width(), 6 );
   ASSERT_EQ( framed.Height(), 5 );
   for ( int y = 0; y < 5; ++y )
      for ( int x = 0; x < 6; ++x )
      {
         bool inside = x >= 1 && x <= 4 && y >= 1 && y <= 3;
         EXPECT_EQ( framed.Pixel( x, y ), inside ? grey.Pixel( x - 1, y - 1 ) : 0.5f ) << x << "," << y;
      }

   // Negative anchors cut the image on the left and top.
   Image cut( grey );
   cut.ResizeCanvas( 2, 2, -1, -1 );
   EXPECT_EQ( Rows( cut ), ( std::vector<float>{ grey.Pixel( 1, 1 ), grey.Pixel( 2, 1 ), grey.Pixel( 1, 2 ),
                                                 grey.Pixel( 2, 2 ) } ) );

   // Wholly outside the canvas: fill values only, without any progress; touching the edge takes the monitored
   // path to the same canvas.
   for ( int x : { 2, 3 } )
   {
      Image image( grey );
      Recorder recorder;
      image.Status().SetCallback( Recorder::Callback, &recorder );
      image.ResizeCanvas( 2, 2, x, 0, half );
      EXPECT_EQ( Rows( image ), std::vector<float>( 4, 0.5f ) );
      EXPECT_EQ( recorder.events.empty(), x == 3 );
   }

   // A size below 1 empties the image (its colour space stays).
   Image rgb = Labelled( 4, 3, 4, ColorSpace::RGB );
   Image empty( rgb );
   empty.ResizeCanvas( 0, 5, 0, 0 );
   EXPECT_TRUE( empty.IsEmpty() );
   EXPECT_EQ( empty.GetColorSpace(), ColorSpace::RGB );

   // RGB with alpha on a larger canvas: a red margin with alpha 0.
   Image red( rgb );
   const float fill[3] = { 1, 0, 0 };
   red.ResizeCanvas( 6, 3, 0, 0, fill );
   EXPECT_EQ( red.NumberOfAlphaChannels(), 1 );
   for ( int k = 0; k < 4; ++k )
   {
      EXPECT_EQ( red.Pixel( 3, 2, k ), rgb.Pixel( 3, 2, k ) );
      EXPECT_EQ( red.Pixel( 5, 1, k ), k == 0 ? 1.0f : 0.0f );
   }

   // Fewer fill values than nominal channels: refused, nothing changed.
   Image refused( rgb );
   const float two[2] = { 1, 1 };
   EXPECT_THROW( refused.ResizeCanvas( 8, 8, 1, 1, two ), qor::GenericException );
   EXPECT_TRUE( Unchanged( refused, rgb ) );
}

TEST( ImageGeometry, IntegerResampling )
{
   // Subsample(2) of 5 x 5 drops the last row and column; each sample is the mean of its 2 x 2 block.
   Image five = Labelled( 5, 5, 1, ColorSpace::Gray );
   five.Subsample( 2 );
   ASSERT_EQ( five.Width(), 2 );
   ASSERT_EQ( five.Height(), 2 );
   EXPECT_EQ( five.Pixel( 0, 0 ), ( 0 + 1 + 100 + 101 ) / 4.0f );
   EXPECT_EQ( five.Pixel( 1, 1 ), ( 202 + 203 + 302 + 303 ) / 4.0f );

   // A factor larger than a side gives that side 1 and averages the samples there are.
   Image small = Labelled( 5, 3, 1, ColorSpace::Gray );
   small.Subsample( 7 );
   ASSERT_EQ( small.Width(), 1 );
   ASSERT_EQ( small.Height(), 1 );
   float sum = 0;
   for ( int y = 0; y < 3; ++y )
      for ( int x = 0; x < 5; ++x )
         sum += float( y * 100 + x );
   EXPECT_EQ( small.Pixel( 0, 0 ), sum / 15 );
   Image narrow = Labelled( 2, 10, 1, ColorSpace::Gray );
   narrow.Subsample( 3 );
   ASSERT_EQ( narrow.Width(), 1 );
   ASSERT_EQ( narrow.Height(), 3 );
   EXPECT_EQ( narrow.Pixel( 0, 2 ), ( 600 + 601 + 700 + 701 + 800 + 801 ) / 6.0f );

   // Oversample(3) of (0.1, 0.9): 6 x 3, every sample copied bit for bit.
   Image pair( 2, 1, 1 );
   pair.Pixel( 0, 0 ) = 0.1f;
   pair.Pixel( 1, 0 ) = 0.9f;
   pair.Oversample( 3 );
   ASSERT_EQ( pair.Width(), 6 );
   ASSERT_EQ( pair.Height(), 3 );
   for ( int y = 0; y < 3; ++y )
      for ( int x = 0; x < 6; ++x )
         EXPECT_EQ( pair.Pixel( x, y ), x < 3 ? 0.1f : 0.9f );

   Image bad = Labelled( 3, 3, 1, ColorSpace::Gray );
   EXPECT_THROW( bad.Subsample( 0 ), qor::GenericException );
   EXPECT_THROW( bad.Oversample( 0 ), qor::GenericException );
   EXPECT_THROW( bad.Oversample( 1 << 30 ), qor::GenericException );
   EXPECT_TRUE( Unchanged( bad, Labelled( 3, 3, 1, ColorSpace::Gray ) ) );
}

TEST( ImageGeometry, FillAndInvertWithMasks )
{
   Image rgb = Labelled( 3, 2, 4, ColorSpace::RGB );
   Image filled( rgb );
   filled.Fill( 1, 0.25f );
   EXPECT_EQ( Rows( filled, 1 ), std::vector<float>( 6, 0.25f ) );
   EXPECT_EQ( Rows( filled, 0 ), Rows( rgb, 0 ) );
   EXPECT_EQ( Rows( filled, 2 ), Rows( rgb, 2 ) );
   filled.Fill( 3, 1.0f ); // alpha
   EXPECT_EQ( Rows( filled, 3 ), std::vector<float>( 6, 1.0f ) );
   EXPECT_THROW( filled.Fill( 4, 0.0f ), qor::GenericException );

   Image image( 2, 1, 4, ColorSpace::RGB );
   for ( int k = 0; k < 4; ++k )
   {
      image.Pixel( 0, 0, k ) = 0.25f;
      image.Pixel( 1, 0, k ) = 1.2f;
   }
   Image masked( image );
   masked.Invert( 5 ); // R and B
   for ( int k = 0; k < 4; ++k )
   {
      bool inverted = k == 0 || k == 2;
      EXPECT_EQ( masked.Pixel( 0, 0, k ), inverted ? 0.75f : 0.25f ) << k;
      EXPECT_EQ( masked.Pixel( 1, 0, k ), inverted ? 1.0f - 1.2f : 1.2f ) << k; // about -0.2: no clamping
   }
   Image alpha( image );
   alpha.Invert( 1u << 3 );
   EXPECT_EQ( alpha.Pixel( 0, 0, 3 ), 0.75f );
   EXPECT_EQ( alpha.Pixel( 0, 0, 0 ), 0.25f );
   Image wrapped( image );
   wrapped.Invert( 1u << 1 ); // bit k mod 32
   EXPECT_EQ( wrapped.Pixel( 0, 0, 1 ), 0.75f );
}

// Texts and totals of the monitor; every operation ends with its count at the total.
TEST( ImageGeometry, ProgressTextsAndTotals )
{
   const float fill[3] = { 0, 0, 0 };
   struct Case
   {
      const char* text;
      int64_t total;
      Operation run;
   } cases[] = {
       { "Resizing Canvas to 6x5, anchor = 1,1", 4 * 5, [&]( Image& i ) { i.ResizeCanvas( 6, 5, 1, 1, fill ); } },
       { "Resizing Canvas to 3x2, anchor = -1,2", 4 * 2, [&]( Image& i ) { i.ResizeCanvas( 3, 2, -1, 2, fill ); } },
       { "Subsampling to 1:2, 2x1 pixels", 4 * 1, []( Image& i ) { i.Subsample( 2 ); } },
       { "Oversampling to 3:1, 12x9 pixels", 4 * 3, []( Image& i ) { i.Oversample( 3 ); } },
       { "Rotate 180 degrees", 4 * 2, []( Image& i ) { i.Rotate180(); } },
       { "Rotate 90 degrees, clockwise", 4 * 3, []( Image& i ) { i.Rotate90CW(); } },
       { "Rotate 90 degrees, counter-clockwise", 4 * 3, []( Image& i ) { i.Rotate90CCW(); } },
       { "Horizontal mirror", 4 * 3, []( Image& i ) { i.MirrorHorizontal(); } },
       { "Vertical mirror", 4 * 1, []( Image& i ) { i.MirrorVertical(); } },
       { "Filling", 4 * 3, []( Image& i ) { i.Fill( 2, 0.5f ); } },
       { "Inverting", 4 * 4 * 3, []( Image& i ) { i.Invert( 5 ); } },
   };
   for ( const Case& k : cases )
   {
      Image image = Labelled( 4, 3, 4, ColorSpace::RGB );
      Recorder recorder;
      image.Status().SetCallback( Recorder::Callback, &recorder );
      k.run( image );
      EXPECT_EQ( image.Status().Text(), k.text );
      EXPECT_EQ( image.Status().Total(), k.total ) << k.text;
      EXPECT_EQ( recorder.lastCount, k.total ) << k.text;
      EXPECT_EQ( recorder.events.front(), StatusCallback::Started ) << k.text;
      EXPECT_EQ( recorder.events.back(), StatusCallback::Done ) << k.text;
   }

   // A one-row image mirrors vertically without counting anything.
   Image row = Labelled( 5, 1, 1, ColorSpace::Gray );
   Recorder recorder;
   row.Status().SetCallback( Recorder::Callback, &recorder );
   row.MirrorVertical();
   EXPECT_EQ( row.Status().Total(), 0 );
   EXPECT_EQ( recorder.events, std::vector<int>{ StatusCallback::Started } );
}

// An abort in the middle of an operation that changes the size or shape leaves the image exactly as it was; an
// abort at the start of an in-place operation changes nothing.
TEST( ImageGeometry, AbortLeavesTheImageAsItWas )
{
   qor::ThreadCountScope one( 1 );
   Image source = test::RandomImage( 60, 400, 3, ColorSpace::RGB, 2 );
   const float fill[3] = { 1, 1, 1 };
   struct Case
   {
      const char* name;
      Operation run;
   } resizing[] = {
       { "ResizeCanvas", [&]( Image& i ) { i.ResizeCanvas( 70, 420, 5, 10, fill ); } },
       { "Subsample", []( Image& i ) { i.Subsample( 2 ); } },
       { "Oversample", []( Image& i ) { i.Oversample( 2 ); } },
       { "Rotate90CW", []( Image& i ) { i.Rotate90CW(); } },
       { "Rotate90CCW", []( Image& i ) { i.Rotate90CCW(); } },
   };
   for ( const Case& k : resizing )
   {
      Image image( source );
      Recorder recorder;
      recorder.abortAt = 100; // in the second channel
      image.Status().SetCallback( Recorder::Callback, &recorder );
      EXPECT_THROW( k.run( image ), Image::AbortProcessEvent ) << k.name;
      EXPECT_GT( image.Status().Count(), image.Status().Total() / 3 ) << k.name;
      EXPECT_TRUE( Unchanged( image, source ) ) << k.name;
   }

   Case inPlace[] = {
       { "Fill", []( Image& i ) { i.Fill( 0, 0.5f ); } },
       { "Invert", []( Image& i ) { i.Invert( 7 ); } },
       { "Rotate180", []( Image& i ) { i.Rotate180(); } },
       { "MirrorHorizontal", []( Image& i ) { i.MirrorHorizontal(); } },
       { "MirrorVertical", []( Image& i ) { i.MirrorVertical(); } },
   };
   for ( const Case& k : inPlace )
   {
      Image image( source );
      Recorder recorder;
      recorder.abortAt = 0;
      image.Status().SetCallback( Recorder::Callback, &recorder );
      EXPECT_THROW( k.run( image ), Image::AbortProcessEvent ) << k.name;
      EXPECT_TRUE( Unchanged( image, source ) ) << k.name;
   }
}

TEST( ImageGeometry, OneThreadAndAllThreadsAgreeBitForBit )
{
   Image source = test::RandomImage( 257, 131, 2, ColorSpace::Gray, 3 );
   const float fill[1] = { 0.5f };
   Operation operations[] = {
       [&]( Image& i ) { i.ResizeCanvas( 300, 100, 20, -7, fill ); },
       []( Image& i ) { i.Subsample( 3 ); },
       []( Image& i ) { i.Oversample( 2 ); },
       []( Image& i ) { i.Rotate180(); },
       []( Image& i ) { i.Rotate90CW(); },
       []( Image& i ) { i.Rotate90CCW(); },
       []( Image& i ) { i.MirrorHorizontal(); },
       []( Image& i ) { i.MirrorVertical(); },
       []( Image& i ) { i.Fill( 1, 0.125f ); },
       []( Image& i ) { i.Invert( 3 ); },
   };
   int index = 0;
   for ( const Operation& run : operations )
   {
      Image one( source ), all( source );
      {
         qor::ThreadCountScope scope( 1 );
         run( one );
      }
      {
         qor::ThreadCountScope scope( 8 );
         run( all );
      }
      EXPECT_TRUE( Unchanged( one, all ) ) << "operation " << index++;
   }
}
