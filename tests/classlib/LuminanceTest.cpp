#include <gtest/gtest.h>

#include "ColorSpace.h"
#include "Exception.h"
#include "Image.h"
#include "ImageTestSupport.h"
#include "Luminance.h"
#include "Parallel.h"
#include "RGBColorSystem.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>

using namespace qor;
using test::MonitorProbe;
using test::SamePixels;

namespace
{

// Luminance coefficients of the default working space (sRGB primaries adapted to D50).
constexpr double defaultY[3] = { 0.222491, 0.716888, 0.060621 };

double CIEf( double t )
{
   return t > 216.0 / 24389 ? std::cbrt( t ) : ( 24389.0 / 27 * t + 16 ) / 116;
}

double SRGBToLinear( double v )
{
   return v > 0.04045 ? std::pow( ( v + 0.055 ) / 1.055, 2.4 ) : v / 12.92;
}

// L*/100 of an RGB colour, from the definition, in double precision.
double ReferenceL( double r, double g, double b, double gamma = 0 )
{
   auto lin = [&]( double v ) { return gamma > 0 ? std::pow( v, gamma ) : SRGBToLinear( v ); };
   double Y = defaultY[0] * lin( r ) + defaultY[1] * lin( g ) + defaultY[2] * lin( b );
   return 1.16 * CIEf( Y ) - 0.16;
}

Image RandomRGB( int32_t w, int32_t h, float low, float high, uint32_t seed )
{
   return test::RandomImage( w, h, 3, ColorSpace::RGB, seed, low, high );
}

RGBColorSystem PowerLawSpace( float gamma )
{
   RGBColorSystem space;
   const RGBColorSystem::Data& d = space.Values();
   space.SetParameters( gamma, false, d.x, d.y, d.Y );
   return space;
}

} // namespace

TEST( Luminance, KnownColoursOfTheDefaultSpace )
{
   struct Case
   {
      float r, g, b;
      double L;
   } cases[] = { { 1, 1, 1, 1.0 },          { 0, 0, 0, 0.0 },     { 0.5f, 0.5f, 0.5f, 0.533890 },
                 { 1, 0, 0, ReferenceL( 1, 0, 0 ) }, { 0, 1, 0, ReferenceL( 0, 1, 0 ) }, { 0, 0, 1, ReferenceL( 0, 0, 1 ) },
                 { 0.01f, 0.02f, 0.005f, ReferenceL( 0.01, 0.02, 0.005 ) } }; // dark: linear segments
   Image image( int32_t( std::size( cases ) ), 1, 3, ColorSpace::RGB );
   for ( int x = 0; x < image.Width(); ++x )
   {
      image.Pixel( x, 0, 0 ) = cases[x].r;
      image.Pixel( x, 0, 1 ) = cases[x].g;
      image.Pixel( x, 0, 2 ) = cases[x].b;
   }
   RGBColorSystem space;
   std::unique_ptr<Image> L = ExtractLuminance( image, space );
   EXPECT_EQ( L->GetColorSpace(), ColorSpace::Gray );
   EXPECT_EQ( L->NumberOfChannels(), 1 );
   EXPECT_FALSE( L->IsMonitored() );
   for ( int x = 0; x < image.Width(); ++x )
      EXPECT_NEAR( L->Pixel( x, 0 ), cases[x].L, 2e-6 ) << "colour " << x;
}

TEST( Luminance, ExtractionFollowsTheDefinitionForBothTransferFunctions )
{
   Image image = RandomRGB( 97, 31, 0.0f, 1.0f, 1 );
   for ( float gamma : { 0.0f, 1.0f, 2.0f, 2.2f } ) // 0: the sRGB function; 2: the exact power
   {
      RGBColorSystem space = gamma > 0 ? PowerLawSpace( gamma ) : RGBColorSystem();
      std::unique_ptr<Image> L = ExtractLuminance( image, space );
      for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
         ASSERT_NEAR( L->PixelData( 0 )[i], ReferenceL( image[0][i], image[1][i], image[2][i], gamma ), 2e-6 )
            << "gamma " << gamma << " pixel " << i;
   }
}

TEST( Luminance, SameLightnessAsTheConversionToGrey )
{
   const Image image = RandomRGB( 211, 13, 0.0f, 1.0f, 9 );
   for ( float gamma : { 0.0f, 1.0f, 2.0f, 2.2f } )
   {
      RGBColorSystem space = gamma > 0 ? PowerLawSpace( gamma ) : RGBColorSystem();
      Image grey( image );
      grey.SetColorSpace( ColorSpace::Gray, space );
      EXPECT_TRUE( SamePixels( *ExtractLuminance( image, space ), grey ) ) << "gamma " << gamma;
   }
}

TEST( Luminance, ReplacingTheUnchangedLightnessGivesBackTheImage )
{
   // Compared in linear light: near black a power law magnifies the rounding of the matrices.
   for ( float gamma : { 0.0f, 2.2f } )
   {
      RGBColorSystem space = gamma > 0 ? PowerLawSpace( gamma ) : RGBColorSystem();
      Image image = RandomRGB( 130, 40, 0.0f, 1.0f, 2 );
      Image original( image );
      std::unique_ptr<Image> L = ExtractLuminance( image, space );
      ReplaceLuminance( image, *L, space );
      for ( int32_t c = 0; c < 3; ++c )
         for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
         {
            ASSERT_NEAR( space.ToLinear( image[c][i] ), space.ToLinear( original[c][i] ), 1e-6 )
               << "gamma " << gamma << " channel " << c << " pixel " << i;
            if ( gamma == 0 )
            {
               ASSERT_NEAR( image[c][i], original[c][i], 2e-5 ) << "channel " << c << " pixel " << i;
            }
         }
   }
}

// An image given as its own luminance image: channel 0 is the lightness, read as it was before the call.
TEST( Luminance, ATargetThatIsItsOwnLuminanceImage )
{
   RGBColorSystem space;
   const Image rgb = RandomRGB( 67, 9, 0.1f, 0.9f, 12 );
   for ( int32_t colorSpace : { ColorSpace::Gray, ColorSpace::CIELab, ColorSpace::CIELch, ColorSpace::RGB,
                                ColorSpace::CIEXYZ, ColorSpace::HSV } )
   {
      Image image( rgb );
      image.SetColorSpace( colorSpace, space );
      Image expected( image );
      ReplaceLuminance( expected, *image.CreateChannelImage( 0 ), space );
      test::MonitorProbe monitor;
      image.Status().SetCallback( &test::MonitorProbe::Callback, &monitor );
      image.BeginTask( "Setting Luminance", image.NumberOfPixels() );
      ReplaceLuminance( image, image, space );
      EXPECT_TRUE( SamePixels( image, expected ) ) << "colour space " << colorSpace;
      EXPECT_EQ( monitor.done, 1 ) << "colour space " << colorSpace;
   }
}

TEST( Luminance, NewLightnessKeepsTheChrominance )
{
   RGBColorSystem space;
   Image image = RandomRGB( 64, 16, 0.3f, 0.6f, 3 );
   Image original( image );
   std::unique_ptr<Image> L = ExtractLuminance( image, space );
   for ( int64_t i = 0; i < L->NumberOfPixels(); ++i )
      L->PixelData( 0 )[i] += 0.05f;
   ReplaceLuminance( image, *L, space );
   for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
   {
      float L0, a0, b0, L1, a1, b1;
      space.RGBToCIELab( L0, a0, b0, original[0][i], original[1][i], original[2][i] );
      space.RGBToCIELab( L1, a1, b1, image[0][i], image[1][i], image[2][i] );
      ASSERT_NEAR( L1, L->PixelData( 0 )[i], 1e-5 ) << i;
      ASSERT_NEAR( a1, a0, 1e-5 ) << i;
      ASSERT_NEAR( b1, b0, 1e-5 ) << i;
   }
}

TEST( Luminance, ResultsOutsideTheRangeAreClamped )
{
   RGBColorSystem space;
   Image image = RandomRGB( 50, 10, 0.0f, 1.0f, 4 );
   Image lightness( 50, 10, 1, ColorSpace::Gray );
   for ( int64_t i = 0; i < lightness.NumberOfPixels(); ++i )
      lightness[0][i] = i % 2 ? 1.5f : -0.3f; // beyond white and below black
   lightness[0][8] = std::nanf( "" );
   ReplaceLuminance( image, lightness, space );
   for ( int32_t c = 0; c < 3; ++c )
      for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
         ASSERT_TRUE( image[c][i] >= 0.0f && image[c][i] <= 1.0f ) << c << " " << i << " " << image[c][i];
   for ( int64_t i = 1; i < image.NumberOfPixels(); i += 2 )
      ASSERT_EQ( std::max( { image[0][i], image[1][i], image[2][i] } ), 1.0f ) << i;
}

TEST( Luminance, EveryColourSpaceGivesTheLightnessOfItsRGBColour )
{
   // Grey, CIE L*a*b* and CIE L*c*h* hold the lightness in channel 0 (copied both ways); CIE XYZ and HSV are
   // measured and changed through their colour.
   RGBColorSystem space;
   const Image rgb = RandomRGB( 40, 12, 0.05f, 0.95f, 5 );
   std::unique_ptr<Image> rgbL = ExtractLuminance( rgb, space );
   Image lighter( *rgbL );
   for ( int64_t i = 0; i < lighter.NumberOfPixels(); ++i )
      lighter[0][i] = 0.9f * lighter[0][i] + 0.05f;
   Image rgbResult( rgb );
   ReplaceLuminance( rgbResult, lighter, space );

   using Convert = std::function<void( float&, float&, float&, float, float, float )>;
   struct Case
   {
      int32_t colorSpace;
      Convert from, to; // RGB -> space, space -> RGB
   } cases[] = {
      { ColorSpace::CIEXYZ,
        [&]( float& p, float& q, float& r, float a, float b, float c ) { space.RGBToCIEXYZ( p, q, r, a, b, c ); },
        [&]( float& p, float& q, float& r, float a, float b, float c ) { space.CIEXYZToRGB( p, q, r, a, b, c ); } },
      { ColorSpace::CIELab,
        [&]( float& p, float& q, float& r, float a, float b, float c ) { space.RGBToCIELab( p, q, r, a, b, c ); },
        [&]( float& p, float& q, float& r, float a, float b, float c ) { space.CIELabToRGB( p, q, r, a, b, c ); } },
      { ColorSpace::CIELch,
        [&]( float& p, float& q, float& r, float a, float b, float c ) { space.RGBToCIELch( p, q, r, a, b, c ); },
        [&]( float& p, float& q, float& r, float a, float b, float c ) { space.CIELchToRGB( p, q, r, a, b, c ); } },
      { ColorSpace::HSV, []( float& p, float& q, float& r, float a, float b, float c ) { RGBToHSV( p, q, r, a, b, c ); },
        []( float& p, float& q, float& r, float a, float b, float c ) { HSVToRGB( p, q, r, a, b, c ); } },
   };
   for ( const Case& k : cases )
   {
      Image image( rgb.Width(), rgb.Height(), 3, k.colorSpace );
      for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
         k.from( image[0][i], image[1][i], image[2][i], rgb[0][i], rgb[1][i], rgb[2][i] );
      std::unique_ptr<Image> L = ExtractLuminance( image, space );
      ReplaceLuminance( image, lighter, space );
      for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
      {
         ASSERT_NEAR( L->PixelData( 0 )[i], rgbL->PixelData( 0 )[i], 2e-5 ) << k.colorSpace << " " << i;
         float r, g, b;
         k.to( r, g, b, image[0][i], image[1][i], image[2][i] );
         r = std::clamp( r, 0.0f, 1.0f ); // RGB results are brought into the gamut; the others are not
         g = std::clamp( g, 0.0f, 1.0f );
         b = std::clamp( b, 0.0f, 1.0f );
         ASSERT_NEAR( r, rgbResult[0][i], 1e-4 ) << k.colorSpace << " " << i;
         ASSERT_NEAR( g, rgbResult[1][i], 1e-4 ) << k.colorSpace << " " << i;
         ASSERT_NEAR( b, rgbResult[2][i], 1e-4 ) << k.colorSpace << " " << i;
      }
   }

   // A grey target simply receives the luminance plane.
   Image grey( rgb.Width(), rgb.Height(), 1, ColorSpace::Gray );
   ReplaceLuminance( grey, lighter, space );
   EXPECT_TRUE( SamePixels( grey, lighter ) );
   std::unique_ptr<Image> greyL = ExtractLuminance( grey, space );
   EXPECT_TRUE( SamePixels( *greyL, lighter ) );
}

TEST( Luminance, SameResultOnAnyThreadCount )
{
   RGBColorSystem space;
   const Image image = RandomRGB( 333, 101, 0.0f, 1.0f, 6 );
   const Image lightness = test::RandomImage( 333, 101, 1, ColorSpace::Gray, 7, -0.1f, 1.1f );

   std::unique_ptr<Image> oneL;
   Image oneResult( image );
   {
      ThreadCountScope one( 1 );
      oneL = ExtractLuminance( image, space );
      ReplaceLuminance( oneResult, lightness, space );
   }
   for ( int threads : { 3, 8 } )
   {
      ThreadCountScope scope( threads );
      Image result( image );
      ReplaceLuminance( result, lightness, space );
      EXPECT_TRUE( SamePixels( *ExtractLuminance( image, space ), *oneL ) ) << threads;
      EXPECT_TRUE( SamePixels( result, oneResult ) ) << threads;
   }
}

TEST( Luminance, ProgressAbortAndBadInput )
{
   RGBColorSystem space;
   Image image = RandomRGB( 64, 64, 0.0f, 1.0f, 8 );
   MonitorProbe monitor;
   image.Status().SetCallback( &MonitorProbe::Callback, &monitor );
   std::unique_ptr<Image> L = ExtractLuminance( image, space );
   EXPECT_EQ( image.Status().Text(), "Extracting Luminance" );
   EXPECT_EQ( image.Status().Count(), 64 * 64 );
   EXPECT_EQ( image.Status().Total(), 64 * 64 );

   ThreadCountScope one( 1 ); // one progress event per strip
   monitor = MonitorProbe{ 2 };
   EXPECT_THROW( ExtractLuminance( image, space ), Image::AbortProcessEvent );
   monitor = MonitorProbe{ 2 };
   image.BeginTask( "Setting Luminance", image.NumberOfPixels() );
   EXPECT_THROW( ReplaceLuminance( image, *L, space ), Image::AbortProcessEvent );
   image.Status().SetCallback( nullptr, nullptr );

   // Sizes that differ are refused before anything changes.
   Image before( image );
   Image small( 63, 64, 1, ColorSpace::Gray );
   EXPECT_THROW( ReplaceLuminance( image, small, space ), GenericException );
   Image empty;
   EXPECT_THROW( ReplaceLuminance( image, empty, space ), GenericException );
   EXPECT_TRUE( SamePixels( image, before ) );
   EXPECT_TRUE( ExtractLuminance( empty, space )->IsEmpty() );
}
