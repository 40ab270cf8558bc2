#include <gtest/gtest.h>

#include "Image.h"
#include "Parallel.h"
#include "RGBColorSystem.h"

#include <cmath>
#include <cstring>
#include <random>
#include <string>
#include <vector>

using qor::ColorSpace;
using qor::Image;
using qor::RGBColorSystem;
using qor::StatusCallback;

namespace
{

const int32_t allSpaces[] = { ColorSpace::Gray,   ColorSpace::RGB,    ColorSpace::HSV,
                              ColorSpace::CIEXYZ, ColorSpace::CIELab, ColorSpace::CIELch };

// An RGB image of random colours in [0, 1] (a few exact greys and primaries among them) with `alphas` alpha
// channels of their own values.
Image RandomRGB( int w, int h, int alphas, uint32_t seed = 1 )
{
   Image image( w, h, 3 + alphas, ColorSpace::RGB );
   std::mt19937 rng( seed );
   std::uniform_real_distribution<float> unit( 0, 1 );
   for ( int c = 0; c < image.NumberOfChannels(); ++c )
      for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
         image[c][i] = unit( rng );
   const float special[][3] = { { 0, 0, 0 }, { 1, 1, 1 }, { 0.5f, 0.5f, 0.5f }, { 1, 0, 0 }, { 0, 1, 0 }, { 0, 0, 1 } };
   for ( int k = 0; k < 6 && k < image.NumberOfPixels(); ++k )
      for ( int c = 0; c < 3; ++c )
         image[c][k] = special[k][c];
   return image;
}

bool SamePlane( const Image& a, int ca, const Image& b, int cb )
{
   return std::memcmp( a[ca], b[cb], size_t( a.NumberOfPixels() ) * sizeof( float ) ) == 0;
}

double MaxDifference( const Image& a, const Image& b, int channels )
{
   double worst = 0;
   for ( int c = 0; c < channels; ++c )
      for ( int64_t i = 0; i < a.NumberOfPixels(); ++i )
         worst = std::max( worst, double( std::abs( a[c][i] - b[c][i] ) ) );
   return worst;
}

struct Recorder
{
   std::vector<int> events;
   std::string text;
   int64_t total = -1;
   int abortAt = -1; // index of the event to answer with an abort

   static int32_t Callback( void* data, int32_t event, StatusCallback& monitor )
   {
      auto* self = static_cast<Recorder*>( data );
      self->events.push_back( event );
      self->text = monitor.Text();
      self->total = monitor.Total();
      return int( self->events.size() ) - 1 == self->abortAt ? 1 : 0;
   }
};

} // namespace

TEST( ImageColorSpace, SameSpaceDoesNothing )
{
   RGBColorSystem ws;
   Image image = RandomRGB( 8, 8, 0 );
   Image before( image );
   Recorder rec;
   image.Status().SetCallback( &Recorder::Callback, &rec );
   image.SetColorSpace( ColorSpace::RGB, ws );
   EXPECT_TRUE( rec.events.empty() );
   EXPECT_EQ( MaxDifference( image, before, 3 ), 0.0 );
}

TEST( ImageColorSpace, GrayToRGBCopiesTheGreyAndMovesAlpha )
{
   RGBColorSystem ws;
   Image image( 7, 5, 3, ColorSpace::Gray ); // grey + 2 alpha
   for ( int c = 0; c < 3; ++c )
      for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
         image[c][i] = float( c * 100 + i ) / 1000;
   const float* greyPlane = image[0];
   Image before( image );
   Recorder rec;
   image.Status().SetCallback( &Recorder::Callback, &rec );

   image.SetColorSpace( ColorSpace::RGB, ws );
   EXPECT_EQ( rec.text, "In-place color model conversion" ); // the copies are monitored, so they can be aborted
   EXPECT_EQ( rec.total, 35 );
   EXPECT_EQ( image.GetColorSpace(), ColorSpace::RGB );
   ASSERT_EQ( image.NumberOfNominalChannels(), 3 );
   ASSERT_EQ( image.NumberOfAlphaChannels(), 2 );
   EXPECT_EQ( image[0], greyPlane ); // the grey plane itself stays first
   for ( int c = 0; c < 3; ++c )
      EXPECT_TRUE( SamePlane( image, c, before, 0 ) ) << c;
   EXPECT_TRUE( SamePlane( image, 3, before, 1 ) );
   EXPECT_TRUE( SamePlane( image, 4, before, 2 ) );
}

TEST( ImageColorSpace, ToGrayStoresLightnessAndKeepsAlpha )
{
   RGBColorSystem ws;
   for ( int32_t from : { ColorSpace::RGB, ColorSpace::CIELab, ColorSpace::HSV } )
   {
      Image image = RandomRGB( 33, 9, 1 );
      Image rgb( image );
      image.SetColorSpace( from, ws );
      Recorder rec;
      image.Status().SetCallback( &Recorder::Callback, &rec );

      image.SetColorSpace( ColorSpace::Gray, ws );
      EXPECT_EQ( image.GetColorSpace(), ColorSpace::Gray );
      ASSERT_EQ( image.NumberOfChannels(), 2 );
      EXPECT_EQ( image.NumberOfNominalChannels(), 1 );
      EXPECT_TRUE( SamePlane( image, 1, rgb, 3 ) );
      EXPECT_EQ( rec.text, "In-place grayscale conversion" );
      EXPECT_EQ( rec.total, 33 * 9 );
      EXPECT_EQ( rec.events.front(), StatusCallback::Started );
      EXPECT_EQ( rec.events.back(), StatusCallback::Done );
      for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
         ASSERT_NEAR( image[0][i], ws.RGBToCIEL( rgb[0][i], rgb[1][i], rgb[2][i] ), from == ColorSpace::RGB ? 0 : 2e-6 )
            << i;
   }

   // A neutral 0.5 becomes its normalised L*, and back in RGB that value lands in all three channels.
   Image grey( 1, 1, 3, ColorSpace::RGB );
   for ( int c = 0; c < 3; ++c )
      grey[c][0] = 0.5f;
   grey.SetColorSpace( ColorSpace::Gray, ws );
   EXPECT_NEAR( grey[0][0], 0.5338896, 1e-6 );
   float L = grey[0][0];
   grey.SetColorSpace( ColorSpace::RGB, ws );
   for ( int c = 0; c < 3; ++c )
      EXPECT_EQ( grey[c][0], L );
}

// The image conversions run the per-pixel formulas vectorised; they must give the same bits.
TEST( ImageColorSpace, ImageConversionEqualsPerPixelOperations )
{
   RGBColorSystem srgb, squares, power;
   const RGBColorSystem::Data& d = srgb.Values();
   squares.SetParameters( 2.0f, false, d.x, d.y, d.Y ); // the exact power of a whole gamma
   power.SetParameters( 2.2f, false, d.x, d.y, d.Y );
   for ( const RGBColorSystem* space : { &srgb, &squares, &power } )
   {
      const RGBColorSystem& ws = *space;
      Image rgb = RandomRGB( 301, 7, 0 );
      using Op = void ( RGBColorSystem::* )( float&, float&, float&, float, float, float ) const;
      struct Case
      {
         int32_t space;
         Op op;
      } cases[] = { { ColorSpace::CIEXYZ, &RGBColorSystem::RGBToCIEXYZ },
                    { ColorSpace::CIELab, &RGBColorSystem::RGBToCIELab },
                    { ColorSpace::CIELch, &RGBColorSystem::RGBToCIELch } };
      for ( const Case& k : cases )
      {
         Image image( rgb );
         image.SetColorSpace( k.space, ws );
         for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
         {
            float p, q, s;
            ( ws.*k.op )( p, q, s, rgb[0][i], rgb[1][i], rgb[2][i] );
            ASSERT_EQ( image[0][i], p ) << k.space << " " << i;
            ASSERT_EQ( image[1][i], q ) << k.space << " " << i;
            ASSERT_EQ( image[2][i], s ) << k.space << " " << i;
         }
      }
      Image hsv( rgb );
      hsv.SetColorSpace( ColorSpace::HSV, ws );
      for ( int64_t i = 0; i < hsv.NumberOfPixels(); ++i )
      {
         float h, s, v;
         qor::RGBToHSV( h, s, v, rgb[0][i], rgb[1][i], rgb[2][i] );
         ASSERT_EQ( hsv[0][i], h );
         ASSERT_EQ( hsv[1][i], s );
         ASSERT_EQ( hsv[2][i], v );
      }
   }
}

// From RGB to A, then to B, then back to RGB, for every pair of colour spaces (Gray aside, which drops the
// colour), with the sRGB function and with a power law; the alpha channel rides along untouched.
TEST( ImageColorSpace, RoundTripsThroughEveryPairOfSpaces )
{
   RGBColorSystem srgb, power;
   const float x[3] = { 0.64f, 0.30f, 0.15f }, y[3] = { 0.33f, 0.60f, 0.06f }, Y[3] = { 0.2126f, 0.7152f, 0.0722f };
   power.SetParameters( 2.2f, false, x, y, Y );
   for ( const RGBColorSystem* ws : { &srgb, &power } )
   {
      Image original = RandomRGB( 64, 16, 1 );
      if ( ws == &power ) // a power law has an unbounded slope at black: keep away from it
         for ( int c = 0; c < 3; ++c )
            for ( int64_t i = 0; i < original.NumberOfPixels(); ++i )
               original[c][i] = 0.05f + 0.95f * original[c][i];
      for ( int32_t a : allSpaces )
         for ( int32_t b : allSpaces )
         {
            if ( a == ColorSpace::Gray || b == ColorSpace::Gray )
               continue;
            Image image( original );
            image.SetColorSpace( a, *ws );
            EXPECT_EQ( image.GetColorSpace(), a );
            image.SetColorSpace( b, *ws );
            image.SetColorSpace( ColorSpace::RGB, *ws );
            EXPECT_LT( MaxDifference( image, original, 3 ), 1e-5 ) << a << " -> " << b;
            EXPECT_TRUE( SamePlane( image, 3, original, 3 ) );
            EXPECT_EQ( image.NumberOfNominalChannels(), 3 );
         }
   }

   // Gray to every space and back to Gray keeps the grey (a neutral colour has no hue to lose).
   Image grey( 50, 3, 1, ColorSpace::Gray );
   for ( int64_t i = 0; i < grey.NumberOfPixels(); ++i )
      grey[0][i] = float( i ) / 149;
   for ( int32_t a : allSpaces )
   {
      Image image( grey );
      image.SetColorSpace( a, srgb );
      image.SetColorSpace( ColorSpace::RGB, srgb );
      for ( int64_t i = 0; i < grey.NumberOfPixels(); ++i )
         for ( int c = 0; c < 3; ++c )
            ASSERT_NEAR( image[c][i], grey[0][i], 1e-5 ) << a << " " << i;
   }
}

TEST( ImageColorSpace, LabAndLchAgree )
{
   RGBColorSystem ws;
   Image rgb = RandomRGB( 40, 10, 0 );
   Image lab( rgb ), lch( rgb );
   lab.SetColorSpace( ColorSpace::CIELab, ws );
   lch.SetColorSpace( ColorSpace::CIELch, ws );
   Image labToLch( lab );
   labToLch.SetColorSpace( ColorSpace::CIELch, ws );
   Image lchToLab( lch );
   lchToLab.SetColorSpace( ColorSpace::CIELab, ws );
   for ( int64_t i = 0; i < rgb.NumberOfPixels(); ++i )
   {
      float dh = std::abs( labToLch[2][i] - lch[2][i] );
      if ( lch[1][i] > 1e-4f ) // a hue only where there is chroma
      {
         ASSERT_LT( std::min( dh, 1 - dh ), 2e-6 ) << i;
      }
      ASSERT_NEAR( labToLch[1][i], lch[1][i], 1e-6 ) << i;
      ASSERT_NEAR( lchToLab[1][i], lab[1][i], 1e-6 ) << i;
      ASSERT_NEAR( lchToLab[2][i], lab[2][i], 1e-6 ) << i;
   }
}

TEST( ImageColorSpace, HSVKnownValues )
{
   struct Case
   {
      float r, g, b, h, s, v;
   } cases[] = { { 1, 0, 0, 0, 1, 1 },          { 0, 1, 0, 1 / 3.0f, 1, 1 },     { 0, 0, 1, 2 / 3.0f, 1, 1 },
                 { 1, 0, 1, 5 / 6.0f, 1, 1 },   { 1, 1, 0, 1 / 6.0f, 1, 1 },     { 0.5f, 0.5f, 0.5f, 0, 0, 0.5f },
                 { 0, 0, 0, 0, 0, 0 },          { 0.2f, 0.4f, 0.8f, 0.6111111f, 0.75f, 0.8f } };
   for ( const Case& k : cases )
   {
      float h, s, v, r, g, b;
      qor::RGBToHSV( h, s, v, k.r, k.g, k.b );
      EXPECT_NEAR( h, k.h, 1e-6 ) << k.r << " " << k.g << " " << k.b;
      EXPECT_NEAR( s, k.s, 1e-6 );
      EXPECT_EQ( v, k.v );
      qor::HSVToRGB( r, g, b, h, s, v );
      EXPECT_NEAR( r, k.r, 1e-6 );
      EXPECT_NEAR( g, k.g, 1e-6 );
      EXPECT_NEAR( b, k.b, 1e-6 );
   }

   float r, g, b;
   for ( float h : { 0.0f, 0.3f, 0.99f, 1.0f, NAN } )
   {
      qor::HSVToRGB( r, g, b, h, 0, 0.25f ); // no saturation: grey whatever the hue
      EXPECT_EQ( r, 0.25f );
      EXPECT_EQ( g, 0.25f );
      EXPECT_EQ( b, 0.25f );
   }
   // The hue wraps: a full turn (or more) is red again, a negative hue counts back from a full turn.
   for ( float h : { 1.0f, 2.0f, -1.0f } )
   {
      qor::HSVToRGB( r, g, b, h, 1, 1 );
      EXPECT_EQ( r, 1.0f ) << h;
      EXPECT_EQ( g, 0.0f ) << h;
      EXPECT_EQ( b, 0.0f ) << h;
   }
   float r2, g2, b2;
   qor::HSVToRGB( r, g, b, 1.25f, 0.6f, 0.9f );
   qor::HSVToRGB( r2, g2, b2, 0.25f, 0.6f, 0.9f );
   EXPECT_NEAR( r, r2, 1e-6 );
   EXPECT_NEAR( g, g2, 1e-6 );
   EXPECT_NEAR( b, b2, 1e-6 );
   qor::HSVToRGB( r, g, b, -0.1f, 0.6f, 0.9f );
   qor::HSVToRGB( r2, g2, b2, 0.9f, 0.6f, 0.9f );
   EXPECT_NEAR( r, r2, 1e-6 );
   EXPECT_NEAR( g, g2, 1e-6 );
   EXPECT_NEAR( b, b2, 1e-6 );
}

TEST( ImageColorSpace, ProgressEventsAndTexts )
{
   RGBColorSystem ws;
   Image image = RandomRGB( 100, 50, 0 );
   Recorder rec;
   image.Status().SetCallback( &Recorder::Callback, &rec );
   image.SetColorSpace( ColorSpace::CIELab, ws );
   EXPECT_EQ( rec.text, "In-place color model conversion" );
   EXPECT_EQ( rec.total, 5000 );
   EXPECT_EQ( rec.events.front(), StatusCallback::Started );
   EXPECT_EQ( rec.events.back(), StatusCallback::Done );
   EXPECT_LE( rec.events.size(), 260u );
   EXPECT_EQ( image.Status().Count(), 5000 );

   // From Gray: the expansion is silent, the pass reports as a colour-model conversion.
   Image grey( 10, 10, 1, ColorSpace::Gray );
   for ( int64_t i = 0; i < 100; ++i )
      grey[0][i] = 0.01f * float( i );
   Recorder rec2;
   grey.Status().SetCallback( &Recorder::Callback, &rec2 );
   grey.SetColorSpace( ColorSpace::CIELch, ws );
   EXPECT_EQ( rec2.text, "In-place color model conversion" );
   EXPECT_EQ( rec2.total, 100 );
   EXPECT_EQ( grey.GetColorSpace(), ColorSpace::CIELch );
}

TEST( ImageColorSpace, AbortAtTheStartChangesNothing )
{
   RGBColorSystem ws;
   struct Case
   {
      int32_t from, to;
   } cases[] = { { ColorSpace::RGB, ColorSpace::CIELab },
                 { ColorSpace::RGB, ColorSpace::Gray },
                 { ColorSpace::Gray, ColorSpace::CIELab },
                 { ColorSpace::Gray, ColorSpace::RGB } };
   for ( const Case& k : cases )
   {
      Image image = RandomRGB( 20, 20, 1 );
      if ( k.from == ColorSpace::Gray )
         image.SetColorSpace( ColorSpace::Gray, ws );
      Image before( image );
      Recorder rec;
      rec.abortAt = 0;
      image.Status().SetCallback( &Recorder::Callback, &rec );
      EXPECT_THROW( image.SetColorSpace( k.to, ws ), Image::AbortProcessEvent ) << k.from << " " << k.to;
      // Unchanged: colour space, channel layout and every sample (a Gray image is not left expanded).
      EXPECT_EQ( image.GetColorSpace(), k.from );
      ASSERT_EQ( image.NumberOfChannels(), before.NumberOfChannels() );
      EXPECT_EQ( image.NumberOfNominalChannels(), before.NumberOfNominalChannels() );
      EXPECT_EQ( MaxDifference( image, before, image.NumberOfChannels() ), 0.0 );
   }
}

TEST( ImageColorSpace, AbortDuringOrAtTheEndOfAnInPlacePass )
{
   RGBColorSystem ws;
   qor::ThreadCountScope threads( 1 );
   Image image = RandomRGB( 64, 256, 0 );
   Image before( image );
   Recorder rec;
   rec.abortAt = 3; // a progress event early in the pass
   image.Status().SetCallback( &Recorder::Callback, &rec );
   EXPECT_THROW( image.SetColorSpace( ColorSpace::CIEXYZ, ws ), Image::AbortProcessEvent );
   // The code stays RGB; rows already done stay converted, the rest is untouched.
   EXPECT_EQ( image.GetColorSpace(), ColorSpace::RGB );
   EXPECT_NE( image[0][10], before[0][10] );
   int64_t last = image.NumberOfPixels() - 1;
   EXPECT_EQ( image[0][last], before[0][last] );

   // An abort answered to the done event still throws, with every pixel converted.
   Image all = RandomRGB( 16, 16, 0 );
   Recorder once;
   all.Status().SetCallback( &Recorder::Callback, &once );
   all.SetColorSpace( ColorSpace::CIEXYZ, ws );
   Image expected( all );
   Image again = RandomRGB( 16, 16, 0 );
   Recorder atEnd;
   atEnd.abortAt = int( once.events.size() ) - 1;
   again.Status().SetCallback( &Recorder::Callback, &atEnd );
   EXPECT_THROW( again.SetColorSpace( ColorSpace::CIEXYZ, ws ), Image::AbortProcessEvent );
   EXPECT_EQ( again.GetColorSpace(), ColorSpace::RGB );
   EXPECT_EQ( MaxDifference( again, expected, 3 ), 0.0 );
}

TEST( ImageColorSpace, OneThreadAndAllThreadsGiveTheSameBits )
{
   RGBColorSystem ws;
   Image source = RandomRGB( 513, 97, 1, 5 );
   const int32_t targets[] = { ColorSpace::CIELab, ColorSpace::CIELch, ColorSpace::HSV, ColorSpace::Gray };
   for ( int32_t target : targets )
   {
      Image one( source ), many( source );
      {
         qor::ThreadCountScope scope( 1 );
         one.SetColorSpace( target, ws );
         if ( target != ColorSpace::Gray )
            one.SetColorSpace( ColorSpace::RGB, ws );
      }
      {
         qor::ThreadCountScope scope( 0 );
         many.SetColorSpace( target, ws );
         if ( target != ColorSpace::Gray )
            many.SetColorSpace( ColorSpace::RGB, ws );
      }
      ASSERT_EQ( one.NumberOfChannels(), many.NumberOfChannels() );
      for ( int c = 0; c < one.NumberOfChannels(); ++c )
         EXPECT_TRUE( SamePlane( one, c, many, c ) ) << target << " " << c;
   }
}

TEST( ImageColorSpace, BadCodesAndEmptyImages )
{
   RGBColorSystem ws;
   Image image = RandomRGB( 4, 4, 0 );
   Image before( image );
   EXPECT_THROW( image.SetColorSpace( 6, ws ), Image::InvalidColorSpace );
   EXPECT_THROW( image.SetColorSpace( -1, ws ), Image::InvalidColorSpace );
   EXPECT_EQ( image.GetColorSpace(), ColorSpace::RGB );
   EXPECT_EQ( MaxDifference( image, before, 3 ), 0.0 );

   // A colour image with only two nominal channels has nothing to convert from.
   Image two( 4, 4, 2, ColorSpace::RGB );
   EXPECT_THROW( two.SetColorSpace( ColorSpace::CIELab, ws ), Image::InvalidColorSpace );
   EXPECT_EQ( two.GetColorSpace(), ColorSpace::RGB );

   // An empty image takes the new code and nothing else.
   Image empty;
   empty.SetColorSpace( ColorSpace::CIELab, ws );
   EXPECT_EQ( empty.GetColorSpace(), ColorSpace::CIELab );
   EXPECT_TRUE( empty.IsEmpty() );
}
