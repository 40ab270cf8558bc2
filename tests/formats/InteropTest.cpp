// Files written by the program as other programs read them (ImageMagick identify, tiffinfo, exiftool), and files
// those programs write as the program reads them. Each test is skipped, saying why, when its tool is missing.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include <lcms2.h>

#include "ICCTestProfiles.h"
#include "TestDirs.h"
#include "classlib/ColorSpace.h"
#include "formats/JPEG.h"
#include "formats/TIFF.h"

namespace
{

bool HasTool( const char* name )
{
   return std::system( ( std::string( "command -v " ) + name + " >/dev/null 2>&1" ).c_str() ) == 0;
}

#define REQUIRE_TOOL( name, package )                                                                                  \
   if ( !HasTool( name ) )                                                                                             \
   GTEST_SKIP() << name << " is not installed (Debian package " << package << "; tools/install-deps installs it)"

// LittleCMS makes its built-in profiles as version 4.3.
std::vector<uint8_t> SRGBProfile()
{
   return test::SaveProfile( cmsCreate_sRGBProfile(), 4.3 );
}

qor::Image Ramp( int32_t w, int32_t h, int32_t channels, int32_t colorSpace )
{
   qor::Image image( w, h, channels, colorSpace );
   for ( int32_t c = 0; c < channels; ++c )
      for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
         image.PixelData( c )[i] = float( ( i * 7 + c * 40 ) % 256 ) / 255.0f;
   return image;
}

// A 16-bit ZIP RGB TIFF at 300 pixels per centimetre with the sRGB profile and an IPTC object name.
std::string WriteSampleTIFF( const test::TempDir& dir )
{
   const std::string path = dir.File( "sample.tif" );
   TIFFOptions o;
   o.bitsPerSample = 16;
   o.compression = TIFFOptions::ZIPCompression;
   o.metricResolution = true;
   o.xResolution = o.yResolution = 300;
   o.description = "Rosette nebula";
   const std::vector<uint8_t> profile = SRGBProfile();
   qor::IPTCPhotoInfo iptc;
   const std::string name = "NGC 2237";
   iptc.Set( qor::IPTCPhotoInfo::DescriptionByName( "ObjectName" ), name.data(), name.size() );
   WriteTIFF( Ramp( 21, 13, 3, qor::ColorSpace::RGB ), path, &o, &profile, &iptc );
   return path;
}

} // namespace

TEST( InteropTest, TIFFFilesOfTheProgramAsTiffinfoReadsThem )
{
   REQUIRE_TOOL( "tiffinfo", "libtiff-tools" );
   test::TempDir dir;
   const std::string out = test::CommandOutput( "tiffinfo " + WriteSampleTIFF( dir ) );
   for ( const char* expected : { "Image Width: 21 Image Length: 13", "Bits/Sample: 16", "Compression Scheme: Deflate",
                                  "Resolution: 300, 300 pixels/cm", "Samples/Pixel: 3", "RGB color",
                                  "ImageDescription: Rosette nebula", "ICC Profile: <present>" } )
      EXPECT_NE( out.find( expected ), std::string::npos ) << expected << "\n" << out;
}

TEST( InteropTest, TIFFAndJPEGFilesOfTheProgramAsImageMagickAndExiftoolReadThem )
{
   REQUIRE_TOOL( "identify", "imagemagick" );
   REQUIRE_TOOL( "exiftool", "libimage-exiftool-perl" );
   test::TempDir dir;
   const std::string tiff = WriteSampleTIFF( dir );
   std::string out = test::CommandOutput( "identify -verbose " + tiff );
   for ( const char* expected : { "Geometry: 21x13+0+0", "Depth: 16", "Compression: Zip", "Colorspace: sRGB" } )
      EXPECT_NE( out.find( expected ), std::string::npos ) << expected << "\n" << out;
   out = test::CommandOutput( "exiftool -s -ObjectName -ProfileDescription -XResolution -ResolutionUnit " + tiff );
   for ( const char* expected : { "NGC 2237", "sRGB", "300", "cm" } )
      EXPECT_NE( out.find( expected ), std::string::npos ) << expected << "\n" << out;

   const std::string jpeg = dir.File( "sample.jpg" );
   JPEGOptions o;
   o.quality = 85;
   o.xResolution = o.yResolution = 240;
   const std::vector<uint8_t> profile = SRGBProfile();
   WriteJPEG( Ramp( 24, 16, 3, qor::ColorSpace::RGB ), jpeg, o, &profile, nullptr );
   out = test::CommandOutput( "identify -verbose " + jpeg );
   for ( const char* expected : { "Geometry: 24x16+0+0", "Quality: 85", "Resolution: 240x240", "PixelsPerInch" } )
      EXPECT_NE( out.find( expected ), std::string::npos ) << expected << "\n" << out;
   out = test::CommandOutput( "exiftool -s -ProfileDescription -JFIFVersion " + jpeg );
   for ( const char* expected : { "sRGB", "1.02" } )
      EXPECT_NE( out.find( expected ), std::string::npos ) << expected << "\n" << out;
}

TEST( InteropTest, FilesWrittenByImageMagickReadWithTheirSamples )
{
   REQUIRE_TOOL( "convert", "imagemagick" );
   test::TempDir dir;
   // A 4 x 1 grey ramp from 0 to 65535 (0, 21845, 43690, 65535), as 16-bit TIFF and as grey JPEG.
   const std::string tiff = dir.File( "ramp.tif" ), jpeg = dir.File( "ramp.jpg" );
   test::CommandOutput( "convert -size 1x4 gradient:white-black -rotate 90 -depth 16 -colorspace Gray -compress zip " + tiff );
   qor::Image image;
   TIFFOptions o;
   ASSERT_NO_THROW( ReadTIFF( image, tiff, &o, nullptr, nullptr ) );
   ASSERT_EQ( image.Width(), 4 );
   EXPECT_EQ( o.bitsPerSample, 16 );
   EXPECT_EQ( image.Pixel( 0, 0 ), 0.0f );
   EXPECT_EQ( image.Pixel( 1, 0 ), 21845.0f / 65535.0f );
   EXPECT_EQ( image.Pixel( 3, 0 ), 1.0f );

   test::CommandOutput( "convert -size 16x16 xc:gray50 -quality 95 " + jpeg );
   JPEGOptions j;
   ASSERT_NO_THROW( ReadJPEG( image, jpeg, &j, nullptr, nullptr ) );
   EXPECT_EQ( image.GetColorSpace(), qor::ColorSpace::Gray );
   EXPECT_NEAR( image.Pixel( 5, 5 ), 128.0f / 255.0f, 1.5f / 255.0f );
   EXPECT_EQ( j.quality, 0 ); // no quality marker of the program's
}

// IPTC items that exiftool writes into a TIFF file are read back by the program, a repeatable item with every one
// of its values.
TEST( InteropTest, IPTCItemsWrittenByExiftoolAreRead )
{
   REQUIRE_TOOL( "convert", "imagemagick" );
   REQUIRE_TOOL( "exiftool", "libimage-exiftool-perl" );
   test::TempDir dir;
   const std::string tiff = dir.File( "tagged.tif" );
   test::CommandOutput( "convert -size 8x6 xc:gray40 -depth 16 " + tiff );
   test::CommandOutput( "exiftool -q -overwrite_original -IPTC:ObjectName=M42 -IPTC:Keywords=nebula "
                        "-IPTC:Keywords=Orion -IPTC:City=Tenerife " + tiff );
   qor::Image image;
   TIFFOptions o;
   qor::IPTCPhotoInfo iptc;
   ASSERT_NO_THROW( ReadTIFF( image, tiff, &o, nullptr, &iptc ) );
   EXPECT_EQ( iptc.FindValue( "ObjectName" ), "M42" );
   EXPECT_EQ( iptc.FindValue( "Keywords" ), "nebula;Orion" );
   EXPECT_EQ( iptc.FindValue( "City" ), "Tenerife" );
}

