// Extraction and import of colour components: against the formulas written out in double precision, the short
// paths against the full one, round trips in every colour space, preview rectangles, clipping and aborts.

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

#include "ColorChannels.h"
#include "ImageTestSupport.h"
#include "Parallel.h"
#include "RGBColorSystem.h"

using namespace qor;

namespace
{

// ---- The component formulas, written out independently -------------------------------------------------------------

double Linear( const RGBColorSystem& ws, double v )
{
   if ( ws.IsSRGB() )
      return v > 0.04045 ? std::pow( ( v + 0.055 ) / 1.055, 2.4 ) : v / 12.92;
   return std::pow( v, double( ws.Gamma() ) );
}

double F( double t )
{
   return t > 216.0 / 24389.0 ? std::cbrt( t ) : ( 24389.0 / 27.0 / 116.0 ) * t + 16.0 / 116.0;
}

struct Triple
{
   double c[3];
};

Triple ReferenceXYZ( const RGBColorSystem& ws, double r, double g, double b )
{
   const RGBColorSystem::Data& d = ws.Values();
   const double lin[3] = { Linear( ws, r ), Linear( ws, g ), Linear( ws, b ) };
   double xyz[3];
   for ( int row = 0; row < 3; ++row )
      xyz[row] = d.rgbToXYZ[3 * row] * lin[0] + d.rgbToXYZ[3 * row + 1] * lin[1] + d.rgbToXYZ[3 * row + 2] * lin[2];
   const double whiteX = d.rgbToXYZ[0] + d.rgbToXYZ[1] + d.rgbToXYZ[2];
   const double whiteZ = d.rgbToXYZ[6] + d.rgbToXYZ[7] + d.rgbToXYZ[8];
   return { { xyz[0] / whiteX, xyz[1], xyz[2] / whiteZ } };
}

Triple Reference( const RGBColorSystem& ws, int32_t space, double r, double g, double b )
{
   const RGBColorSystem::Data& d = ws.Values();
   switch ( space )
   {
   case ColorSpace::RGB:
      return { { r, g, b } };
   case ColorSpace::HSV:
   {
      const double mx = std::max( { r, g, b } ), mn = std::min( { r, g, b } ), delta = mx - mn;
      double h = 0;
      if ( delta > 0 )
      {
         h = mx == r ? ( g - b ) / delta : mx == g ? 2 + ( b - r ) / delta : 4 + ( r - g ) / delta;
         h /= 6;
         if ( h < 0 )
            h += 1;
      }
      return { { h, delta > 0 ? delta / mx : 0.0, mx } };
   }
   case ColorSpace::CIEXYZ:
      return ReferenceXYZ( ws, r, g, b );
   default:
   {
      const Triple xyz = ReferenceXYZ( ws, r, g, b );
      const double fx = F( xyz.c[0] ), fy = F( xyz.c[1] ), fz = F( xyz.c[2] );
      const double L = 1.16 * fy - 0.16, a = 5 * ( fx - fy ), bb = 2 * ( fy - fz );
      if ( space == ColorSpace::CIELab )
         return { { L, ( a + d.abOffset ) / d.abRange, ( bb + d.abOffset ) / d.abRange } };
      double h = std::atan2( bb, a ) / ( 2 * std::numbers::pi );
      if ( h < 0 )
         h += 1;
      return { { L, std::sqrt( a * a + bb * bb ) / d.cRange, h } };
   }
   }
}

RGBColorSystem PowerLawSpace( float gamma )
{
   RGBColorSystem ws;
   const RGBColorSystem::Data d = ws.Values();
   ws.SetParameters( gamma, false, d.x, d.y, d.Y );
   return ws;
}

constexpr std::array<bool, 3> all = { true, true, true };
const int32_t spaces[] = { ColorSpace::RGB, ColorSpace::HSV, ColorSpace::CIEXYZ, ColorSpace::CIELab,
                           ColorSpace::CIELch };

std::array<const float*, 3> Planes( const std::array<std::unique_ptr<Image>, 3>& images )
{
   std::array<const float*, 3> planes = {};
   for ( size_t i = 0; i < 3; ++i )
      planes[i] = images[i] != nullptr ? images[i]->PixelData( 0 ) : nullptr;
   return planes;
}

// ---- Extraction ---------------------------------------------------------------------------------------------------

TEST( ColorChannels, ExtractionFollowsTheComponentFormulas )
{
   for ( const RGBColorSystem& ws : { RGBColorSystem(), PowerLawSpace( 1.8f ) } )
      for ( int32_t space : spaces )
      {
         SCOPED_TRACE( space );
         Image source = test::RandomImage( 37, 5, 3, ColorSpace::RGB, 11 );
         auto images = ExtractColorChannels( source, space, all, ws );
         for ( int64_t i = 0; i < source.NumberOfPixels(); ++i )
         {
            const Triple expected = Reference( ws, space, source[0][i], source[1][i], source[2][i] );
            for ( int c = 0; c < 3; ++c )
            {
               double got = images[size_t( c )]->PixelData( 0 )[i];
               double want = expected.c[c];
               // Hues are periodic: 0.9999999 and 0 are the same hue.
               if ( c == 0 && space == ColorSpace::HSV && std::abs( got - want ) > 0.5 )
                  got += got < want ? 1 : -1;
               ASSERT_NEAR( got, want, 2e-5 ) << "pixel " << i << " component " << c;
            }
         }
      }
}

TEST( ColorChannels, WhiteAndBlackHaveTheirCIEValues )
{
   RGBColorSystem ws;
   Image source( 2, 1, 3, ColorSpace::RGB );
   for ( int c = 0; c < 3; ++c )
   {
      source[c][0] = 1;
      source[c][1] = 0;
   }
   auto xyz = ExtractColorChannels( source, ColorSpace::CIEXYZ, all, ws );
   for ( int c = 0; c < 3; ++c )
      EXPECT_NEAR( xyz[size_t( c )]->Pixel( 0, 0 ), 1.0, 1e-6 );
   auto lch = ExtractColorChannels( source, ColorSpace::CIELch, all, ws );
   EXPECT_NEAR( lch[0]->Pixel( 0, 0 ), 1.0, 1e-6 );
   EXPECT_NEAR( lch[0]->Pixel( 1, 0 ), 0.0, 1e-6 );
   EXPECT_EQ( lch[1]->Pixel( 1, 0 ), 0.0f );
   EXPECT_EQ( lch[2]->Pixel( 1, 0 ), 0.0f );
}

TEST( ColorChannels, SingleComponentPathsGiveTheFullPathsValues )
{
   RGBColorSystem ws;
   Image source = test::RandomImage( 600, 3, 3, ColorSpace::RGB, 5 ); // rows longer than one chunk
   for ( int32_t space : { ColorSpace::CIELab, ColorSpace::CIELch } )
   {
      auto full = ExtractColorChannels( source, space, all, ws );
      auto lightness = ExtractColorChannels( source, space, { true, false, false }, ws );
      EXPECT_EQ( lightness[1], nullptr );
      EXPECT_EQ( lightness[2], nullptr );
      EXPECT_TRUE( test::SamePixels( *lightness[0], *full[0] ) );
   }
   auto value = ExtractColorChannels( source, ColorSpace::HSV, { false, false, true }, ws );
   for ( int64_t i = 0; i < source.NumberOfPixels(); ++i )
      ASSERT_EQ( value[2]->PixelData( 0 )[i], std::max( { source[0][i], source[1][i], source[2][i] } ) );
   EXPECT_EQ( ExtractionText( ColorSpace::HSV, { false, false, true } ), "Extracting V channel" );
   EXPECT_EQ( ExtractionText( ColorSpace::HSV, { false, true, true } ), "Extracting normalized HSV components" );
   EXPECT_EQ( ExtractionText( ColorSpace::CIELch, { true, false, false } ), "Extracting luminance" );
}

TEST( ColorChannels, AnAbortLeavesNoImage )
{
   RGBColorSystem ws;
   qor::ThreadCountScope threads( 1 );
   Image source = test::RandomImage( 64, 64, 3, ColorSpace::RGB, 3 );
   test::MonitorProbe probe;
   probe.abortAt = 1;
   source.Status().SetCallback( &test::MonitorProbe::Callback, &probe );
   EXPECT_THROW( ExtractColorChannels( source, ColorSpace::CIELab, all, ws ), Image::AbortProcessEvent );
}

// ---- Import --------------------------------------------------------------------------------------------------------

TEST( ColorChannels, ExtractingAndImportingGivesTheImageBack )
{
   for ( const RGBColorSystem& ws : { RGBColorSystem(), PowerLawSpace( 2.0f ) } )
      for ( int32_t space : spaces )
      {
         SCOPED_TRACE( space );
         Image image = test::RandomImage( 530, 4, 4, ColorSpace::RGB, 17 ); // with an alpha channel
         const Image original( image );
         auto images = ExtractColorChannels( image, space, all, ws );
         for ( float* p = image[0]; p < image[0] + image.NumberOfPixels(); ++p )
            *p = 0.5f; // all three sources given: the target's own samples are not read
         ImportColorChannels( image, space, Planes( images ), image.Width(), ws );
         ASSERT_EQ( image.NumberOfChannels(), 4 );
         for ( int c = 0; c < 3; ++c )
            for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
               // Near black a power law magnifies the float rounding of the linear values.
               ASSERT_NEAR( image[c][i], original[c][i], 2e-4 ) << "channel " << c << " pixel " << i;
         EXPECT_EQ( std::memcmp( image[3], original[3], size_t( image.NumberOfPixels() ) * 4 ), 0 );
      }
}

TEST( ColorChannels, ImportingOneComponentKeepsTheOthers )
{
   RGBColorSystem ws;
   Image image = test::RandomImage( 40, 10, 3, ColorSpace::RGB, 23, 0.2f, 0.8f );
   auto before = ExtractColorChannels( image, ColorSpace::CIELab, all, ws );
   Image lighter( *before[0] );
   for ( float* p = lighter[0]; p < lighter[0] + lighter.NumberOfPixels(); ++p )
      *p *= 0.9f;
   ImportColorChannels( image, ColorSpace::CIELab, { lighter[0], nullptr, nullptr }, image.Width(), ws );
   auto after = ExtractColorChannels( image, ColorSpace::CIELab, all, ws );
   for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
   {
      ASSERT_NEAR( after[0]->PixelData( 0 )[i], lighter[0][i], 1e-4 );
      ASSERT_NEAR( after[1]->PixelData( 0 )[i], before[1]->PixelData( 0 )[i], 1e-4 );
      ASSERT_NEAR( after[2]->PixelData( 0 )[i], before[2]->PixelData( 0 )[i], 1e-4 );
   }
}

TEST( ColorChannels, ImportClipsAndReadsTheRectangleOfLargerSources )
{
   RGBColorSystem ws;
   // Sources of 4 x 3 read from (1, 1) into a 2 x 2 target.
   Image sources[3] = { Image( 4, 3 ), Image( 4, 3 ), Image( 4, 3 ) };
   for ( int c = 0; c < 3; ++c )
      for ( int64_t i = 0; i < 12; ++i )
         sources[c][0][i] = 0.01f * float( i ) + 0.1f * float( c );
   sources[0].Pixel( 1, 1 ) = 1.2f;
   sources[1].Pixel( 2, 1 ) = -0.5f;
   sources[2].Pixel( 1, 2 ) = std::nanf( "" );
   Image target( 2, 2, 3, ColorSpace::RGB );
   ImportColorChannels( target, ColorSpace::RGB,
                        { sources[0][0] + 5, sources[1][0] + 5, sources[2][0] + 5 }, 4, ws );
   EXPECT_EQ( target.Pixel( 0, 0, 0 ), 1.0f );
   EXPECT_EQ( target.Pixel( 1, 0, 1 ), 0.0f );
   EXPECT_EQ( target.Pixel( 0, 1, 2 ), 0.0f );
   EXPECT_EQ( target.Pixel( 1, 1, 0 ), sources[0].Pixel( 2, 2 ) );
   EXPECT_EQ( target.Pixel( 0, 1, 1 ), sources[1].Pixel( 1, 2 ) );
}

TEST( ColorChannels, AnAbortedImportLeavesTheTargetAsItWas )
{
   RGBColorSystem ws;
   qor::ThreadCountScope threads( 1 );
   Image target = test::RandomImage( 64, 64, 3, ColorSpace::RGB, 29 );
   const Image before( target );
   Image source = test::RandomImage( 64, 64, 1, ColorSpace::Gray, 31 );
   test::MonitorProbe probe;
   probe.abortAt = 2;
   target.Status().SetCallback( &test::MonitorProbe::Callback, &probe );
   EXPECT_THROW( ImportColorChannels( target, ColorSpace::HSV, { nullptr, source[0], nullptr }, 64, ws ),
                 Image::AbortProcessEvent );
   EXPECT_TRUE( test::SamePixels( target, before ) );
}

} // namespace
