// TIFF files: written and read back, made by libtiff itself with the tags other programs write, and damaged.

#include <gtest/gtest.h>

#include <tiffio.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdarg>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "TestDirs.h"
#include "classlib/ColorSpace.h"
#include "classlib/ImageTestSupport.h"
#include "formats/TIFF.h"
#include "platform/SystemMemory.h"
#include "windows/image/ImageFileFormat.h"
#include "windows/image/ImageFileTestSupport.h"

namespace
{

using test::TempDir;

// A w x h image whose samples are exact in 8 and 16 bits (k / 255 of a 16-bit step pattern) and differ everywhere.
qor::Image Pattern( int32_t w, int32_t h, int32_t channels, int32_t colorSpace, int32_t fullScale )
{
   qor::Image image( w, h, channels, colorSpace );
   for ( int32_t c = 0; c < channels; ++c )
      for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
         image.PixelData( c )[i] = float( ( c * 37 + i * 11 ) % ( fullScale + 1 ) ) / float( fullScale );
   return image;
}

bool SamePixels( const qor::Image& a, const qor::Image& b )
{
   if ( a.Width() != b.Width() || a.Height() != b.Height() || a.NumberOfChannels() != b.NumberOfChannels() ||
        a.GetColorSpace() != b.GetColorSpace() || a.NumberOfAlphaChannels() != b.NumberOfAlphaChannels() )
      return false;
   for ( int32_t c = 0; c < a.NumberOfChannels(); ++c )
      if ( std::memcmp( a.PixelData( c ), b.PixelData( c ), size_t( a.NumberOfPixels() ) * 4 ) != 0 )
         return false;
   return true;
}

// Writes a one-directory TIFF with libtiff: `tags` sets the fields, then each strip of `data` is written raw
// (as stored, so compressed bytes stay as given) or encoded.
void MakeTIFF( const std::string& path, const std::function<void( TIFF* )>& tags,
               const std::vector<std::vector<uint8_t>>& strips, bool raw = false, const char* mode = "w" )
{
   TIFF* tif = TIFFOpen( path.c_str(), mode );
   ASSERT_NE( tif, nullptr );
   tags( tif );
   for ( size_t s = 0; s < strips.size(); ++s )
   {
      auto* data = const_cast<uint8_t*>( strips[s].data() );
      if ( raw )
         TIFFWriteRawStrip( tif, uint32_t( s ), data, tmsize_t( strips[s].size() ) );
      else
         TIFFWriteEncodedStrip( tif, uint32_t( s ), data, tmsize_t( strips[s].size() ) );
   }
   TIFFClose( tif );
}

// The basic tags of a w x h image in one strip.
std::function<void( TIFF* )> Basic( uint32_t w, uint32_t h, uint16_t samples, uint16_t bits, uint16_t photometric,
                                     std::function<void( TIFF* )> more = nullptr )
{
   return [=]( TIFF* tif )
   {
      TIFFSetField( tif, TIFFTAG_IMAGEWIDTH, w );
      TIFFSetField( tif, TIFFTAG_IMAGELENGTH, h );
      TIFFSetField( tif, TIFFTAG_SAMPLESPERPIXEL, samples );
      TIFFSetField( tif, TIFFTAG_BITSPERSAMPLE, bits );
      TIFFSetField( tif, TIFFTAG_PHOTOMETRIC, photometric );
      TIFFSetField( tif, TIFFTAG_PLANARCONFIG, PLANARCONFIG_CONTIG );
      TIFFSetField( tif, TIFFTAG_ROWSPERSTRIP, h );
      if ( more )
         more( tif );
   };
}

template <typename T> std::vector<uint8_t> Bytes( const std::vector<T>& values )
{
   std::vector<uint8_t> b( values.size() * sizeof( T ) );
   std::memcpy( b.data(), values.data(), b.size() );
   return b;
}

// Runs f on the written file's directory.
void Inspect( const std::string& path, const std::function<void( TIFF* )>& f )
{
   TIFF* tif = TIFFOpen( path.c_str(), "r" );
   ASSERT_NE( tif, nullptr );
   f( tif );
   TIFFClose( tif );
}

template <typename E> void ExpectRead( const std::string& path, const char* what )
{
   qor::Image image( 2, 2 );
   TIFFOptions options;
   try
   {
      ReadTIFF( image, path, &options, nullptr, nullptr );
      ADD_FAILURE() << what << ": no exception";
   }
   catch ( const E& e )
   {
      EXPECT_EQ( e.Path(), path ) << what;
      EXPECT_EQ( e.Message().rfind( "TIFF Support:\n", 0 ), 0u ) << what;
   }
   catch ( const std::exception& e )
   {
      ADD_FAILURE() << what << ": other exception " << e.what();
   }
   EXPECT_TRUE( image.IsEmpty() ) << what;
}

// The messages libtiff sends to the process-wide handlers while the object lives.
class TIFFMessages
{
public:
   TIFFMessages()
   {
      Current() = this;
      previousError = TIFFSetErrorHandler( &Error );
      previousWarning = TIFFSetWarningHandler( &Warning );
   }
   ~TIFFMessages()
   {
      TIFFSetErrorHandler( previousError );
      TIFFSetWarningHandler( previousWarning );
      Current() = nullptr;
   }
   TIFFMessages( const TIFFMessages& ) = delete;
   TIFFMessages& operator=( const TIFFMessages& ) = delete;

   std::vector<std::string> errors, warnings;

private:
   static TIFFMessages*& Current()
   {
      static TIFFMessages* current = nullptr;
      return current;
   }
   static std::string Text( const char* format, va_list arguments )
   {
      char text[1024];
      std::vsnprintf( text, sizeof( text ), format, arguments );
      return text;
   }
   static void Error( const char*, const char* format, va_list arguments )
   {
      Current()->errors.push_back( Text( format, arguments ) );
   }
   static void Warning( const char*, const char* format, va_list arguments )
   {
      Current()->warnings.push_back( Text( format, arguments ) );
   }

   TIFFErrorHandler previousError = nullptr;
   TIFFErrorHandler previousWarning = nullptr;
};

// A little-endian grey 8-bit TIFF of one strip made byte by byte: its StripByteCounts says `declared` bytes,
// of which the file holds `data`.
std::vector<uint8_t> HandMadeTIFF( uint32_t w, uint32_t h, const std::vector<uint8_t>& data, uint32_t declared )
{
   struct Entry
   {
      uint16_t tag, type;
      uint32_t value;
   };
   const uint32_t dataOffset = 8 + 2 + 9 * 12 + 4;
   const Entry entries[] = { { 256, 4, w },          { 257, 4, h },        { 258, 3, 8 },
                             { 259, 3, 1 },          { 262, 3, 1 },        { 273, 4, dataOffset },
                             { 277, 3, 1 },          { 278, 4, h },        { 279, 4, declared } };
   std::vector<uint8_t> b = { 'I', 'I', 42, 0, 8, 0, 0, 0, 9, 0 };
   auto put = [&]( uint32_t v, int bytes )
   {
      for ( int i = 0; i < bytes; ++i )
         b.push_back( uint8_t( v >> ( 8 * i ) ) );
   };
   for ( const Entry& e : entries )
   {
      put( e.tag, 2 );
      put( e.type, 2 );
      put( 1, 4 );
      put( e.value, 4 ); // a SHORT sits in the first two bytes, little-endian
   }
   put( 0, 4 );
   b.insert( b.end(), data.begin(), data.end() );
   return b;
}

void WriteBytes( const std::string& path, const std::vector<uint8_t>& bytes )
{
   std::ofstream( path, std::ios::binary )
       .write( reinterpret_cast<const char*>( bytes.data() ), std::streamsize( bytes.size() ) );
}

struct FormatCase
{
   int32_t bits;
   bool isFloat;
   bool planar;
   int32_t compression;
   int32_t colorSpace;
   int32_t channels;
};

class TIFFRoundTrip : public ::testing::TestWithParam<FormatCase>
{
};

TEST_P( TIFFRoundTrip, SamplesAndOptionsComeBackAsWritten )
{
   const FormatCase& f = GetParam();
   TempDir dir;
   const std::string path = dir.File( "a.tif" );
   // 8 and 16-bit files hold exactly their full-scale fractions; floats hold every float in [0, 1].
   qor::Image image = Pattern( 37, 29, f.channels, f.colorSpace, f.bits == 8 ? 255 : 65535 );
   if ( f.isFloat )
      image.PixelData( 0 )[5] = 0.123456789f;
   TIFFOptions options;
   options.bitsPerSample = f.bits;
   options.floatingPoint = f.isFloat;
   options.planar = f.planar;
   options.compression = f.compression;
   options.metricResolution = true;
   options.xResolution = 118.5f;
   options.yResolution = 120;
   options.description = "Orion\rnebula";
   options.software = "Lumenforge";
   options.copyright = "(c) me";
   WriteTIFF( image, path, &options, nullptr, nullptr );

   qor::Image back;
   TIFFOptions read;
   read.embedICCProfile = false;
   ReadTIFF( back, path, &read, nullptr, nullptr );
   if ( f.bits == 32 && !f.isFloat )
   {
      // 32-bit integers keep every float to within its rounding.
      ASSERT_EQ( back.NumberOfChannels(), image.NumberOfChannels() );
      for ( int32_t c = 0; c < image.NumberOfChannels(); ++c )
         for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
         {
            ASSERT_NEAR( back.PixelData( c )[i], image.PixelData( c )[i], 1e-7 );
         }
   }
   else
      EXPECT_TRUE( SamePixels( back, image ) );
   TIFFOptions expected = options;
   expected.planar = f.planar && f.channels > 1;
   expected.embedICCProfile = false;
   EXPECT_EQ( read, expected );
}

INSTANTIATE_TEST_SUITE_P( Formats, TIFFRoundTrip,
                          ::testing::Values( FormatCase{ 8, false, false, 0, qor::ColorSpace::Gray, 1 },
                                             FormatCase{ 16, false, false, 32946, qor::ColorSpace::RGB, 3 },
                                             FormatCase{ 16, false, true, 5, qor::ColorSpace::RGB, 4 },
                                             FormatCase{ 16, false, false, 5, qor::ColorSpace::Gray, 2 },
                                             FormatCase{ 32, false, true, 0, qor::ColorSpace::RGB, 3 },
                                             FormatCase{ 32, true, false, 32946, qor::ColorSpace::RGB, 4 },
                                             FormatCase{ 32, true, false, 0, qor::ColorSpace::RGB, 3 },
                                             FormatCase{ 32, true, true, 0, qor::ColorSpace::Gray, 1 },
                                             FormatCase{ 8, false, true, 32946, qor::ColorSpace::RGB, 3 } ) );

TEST( TIFFTest, TheWriterRoundsTiesToEvenAndSetsTheTagsOfItsFormat )
{
   TempDir dir;
   qor::Image image( 300, 2, 1 );
   image.Fill( 0, 0.5f );
   image.Pixel( 1, 0 ) = 1.2f;                      // clamped, not wrapped
   image.Pixel( 2, 0 ) = std::nanf( "" );            // NaN writes 0
   struct Case
   {
      int32_t bits;
      int32_t compression;
      uint32_t half;
      uint16_t predictor; // 0: none written
   } cases[] = { { 8, 0, 128, 0 }, { 16, 32946, 32768, 2 }, { 32, 32946, 2147483648u, 0 } };
   for ( const Case& c : cases )
   {
      const std::string path = dir.File( "r" + std::to_string( c.bits ) + ".tif" );
      TIFFOptions options;
      options.bitsPerSample = c.bits;
      options.compression = c.compression;
      WriteTIFF( image, path, &options, nullptr, nullptr );
      Inspect( path,
               [&]( TIFF* tif )
               {
                  std::vector<uint8_t> row( size_t( TIFFScanlineSize( tif ) ) );
                  ASSERT_EQ( TIFFReadScanline( tif, row.data(), 0, 0 ), 1 );
                  auto sample = [&]( int x ) -> uint64_t
                  {
                     if ( c.bits == 8 )
                        return row[size_t( x )];
                     if ( c.bits == 16 )
                        return reinterpret_cast<uint16_t*>( row.data() )[x];
                     return reinterpret_cast<uint32_t*>( row.data() )[x];
                  };
                  EXPECT_EQ( sample( 0 ), c.half ) << c.bits;
                  EXPECT_EQ( sample( 1 ), ( uint64_t( 1 ) << c.bits ) - 1 ) << c.bits;
                  EXPECT_EQ( sample( 2 ), 0u ) << c.bits;
                  uint16_t predictor = 0;
                  EXPECT_EQ( TIFFGetField( tif, TIFFTAG_PREDICTOR, &predictor ) == 1 ? predictor : 0, c.predictor );
                  uint32_t rows = 0;
                  TIFFGetField( tif, TIFFTAG_ROWSPERSTRIP, &rows );
                  EXPECT_EQ( rows, 6u ); // 8192 / (4 x 300)
                  uint16_t unit = 0;
                  EXPECT_EQ( TIFFGetField( tif, TIFFTAG_RESOLUTIONUNIT, &unit ), 0 ); // inch: not written
                  const char* text = nullptr;
                  EXPECT_EQ( TIFFGetField( tif, TIFFTAG_SOFTWARE, &text ), 0 );
               } );
   }

   // Floating point carries its sample range; without options the file holds 8-bit samples.
   const std::string fp = dir.File( "f.tif" );
   TIFFOptions options;
   options.floatingPoint = true;
   options.bitsPerSample = 16;
   WriteTIFF( image, fp, &options, nullptr, nullptr );
   Inspect( fp,
            []( TIFF* tif )
            {
               uint16_t bits = 0, format = 0;
               double lo = -1, hi = -1;
               TIFFGetField( tif, TIFFTAG_BITSPERSAMPLE, &bits );
               TIFFGetField( tif, TIFFTAG_SAMPLEFORMAT, &format );
               EXPECT_EQ( bits, 32 );
               EXPECT_EQ( format, SAMPLEFORMAT_IEEEFP );
               ASSERT_EQ( TIFFGetField( tif, TIFFTAG_SMINSAMPLEVALUE, &lo ), 1 );
               ASSERT_EQ( TIFFGetField( tif, TIFFTAG_SMAXSAMPLEVALUE, &hi ), 1 );
               EXPECT_EQ( lo, 0.0 );
               EXPECT_EQ( hi, 1.0 );
            } );
   const std::string plain = dir.File( "p.tif" );
   WriteTIFF( image, plain, nullptr, nullptr, nullptr );
   Inspect( plain,
            []( TIFF* tif )
            {
               uint16_t bits = 0;
               TIFFGetField( tif, TIFFTAG_BITSPERSAMPLE, &bits );
               EXPECT_EQ( bits, 8 );
            } );
}

TEST( TIFFTest, ProfileAndIPTCInformationRoundTripInEitherByteOrder )
{
   TempDir dir;
   std::vector<uint8_t> profile( 301 );
   for ( size_t i = 0; i < profile.size(); ++i )
      profile[i] = uint8_t( i * 7 );
   profile[0] = profile[1] = 0;
   profile[2] = 1;
   profile[3] = 45; // 301 bytes
   qor::IPTCPhotoInfo iptc;
   const std::string caption = "Horsehead";
   iptc.Set( qor::IPTCPhotoInfo::DescriptionByName( "ObjectName" ), caption.data(), caption.size() );
   std::vector<uint8_t> block;
   iptc.Encode( block );

   const std::string path = dir.File( "p.tif" );
   WriteTIFF( Pattern( 4, 3, 1, 0, 255 ), path, nullptr, &profile, &iptc );
   std::unique_ptr<std::vector<uint8_t>> icc;
   qor::IPTCPhotoInfo read;
   qor::Image image;
   ReadTIFF( image, path, nullptr, &icc, &read );
   ASSERT_NE( icc, nullptr );
   EXPECT_EQ( *icc, profile );
   EXPECT_EQ( read.FindValue( "ObjectName" ), caption );

   // A big-endian file: the block is read as the bytes it holds, whatever unit this libtiff counts it in.
   const std::string big = dir.File( "big.tif" );
   block.resize( ( block.size() + 3 ) / 4 * 4, 0 );
   MakeTIFF( big,
             Basic( 2, 1, 1, 8, PHOTOMETRIC_MINISBLACK,
                    [&]( TIFF* tif )
                    { TIFFSetField( tif, TIFFTAG_RICHTIFFIPTC, uint32_t( block.size() ), block.data() ); } ),
             { { 1, 2 } }, false, "wb" );
   read.Clear();
   ReadTIFF( image, big, nullptr, &icc, &read );
   EXPECT_EQ( icc, nullptr );
   EXPECT_EQ( read.FindValue( "ObjectName" ), caption );

   // A block that breaks off inside a dataset is left out with a warning naming the file; the image opens.
   std::vector<uint8_t> broken = { 0x1C, 0x02, 0x05, 0x00, 0x40, 'M', '4', '2' };
   MakeTIFF( big,
             Basic( 2, 1, 1, 8, PHOTOMETRIC_MINISBLACK,
                    [&]( TIFF* tif )
                    { TIFFSetField( tif, TIFFTAG_RICHTIFFIPTC, uint32_t( broken.size() ), broken.data() ); } ),
             { { 1, 2 } } );
   std::vector<std::string> warnings;
   ReadTIFF( image, big, nullptr, &icc, &read, &warnings );
   EXPECT_EQ( image.Width(), 2 );
   EXPECT_TRUE( read.IsEmpty() );
   ASSERT_EQ( warnings.size(), 1u );
   EXPECT_EQ( warnings[0].rfind( "The IPTC photo information of this TIFF file is damaged and was left out (Invalid IIM", 0 ), 0u )
       << warnings[0];
   EXPECT_EQ( warnings[0].substr( warnings[0].size() - big.size() - 3 ), "):\n" + big );

   // A profile whose header claims more than the bytes held is not embedded; options can leave it out.
   profile[3] = 46;
   WriteTIFF( Pattern( 4, 3, 1, 0, 255 ), path, nullptr, &profile, nullptr );
   ReadTIFF( image, path, nullptr, &icc, &read );
   EXPECT_EQ( icc, nullptr );
   EXPECT_TRUE( read.IsEmpty() );
   profile[3] = 45;
   TIFFOptions options;
   options.embedICCProfile = false;
   WriteTIFF( Pattern( 4, 3, 1, 0, 255 ), path, &options, &profile, nullptr );
   ReadTIFF( image, path, nullptr, &icc, nullptr );
   EXPECT_EQ( icc, nullptr );
}

TEST( TIFFTest, FilesOfOtherProgramsReadAsTheirTagsSay )
{
   TempDir dir;
   const std::string path = dir.File( "o.tif" );
   qor::Image image;
   TIFFOptions o;

   // No SampleFormat, or SampleFormat 4 (void): unsigned integers. PackBits is kept as no compression.
   for ( uint16_t format : { uint16_t( 0 ), uint16_t( SAMPLEFORMAT_VOID ) } )
   {
      MakeTIFF( path,
                Basic( 3, 1, 1, 16, PHOTOMETRIC_MINISBLACK,
                       [&]( TIFF* tif )
                       {
                          if ( format != 0 )
                             TIFFSetField( tif, TIFFTAG_SAMPLEFORMAT, format );
                          TIFFSetField( tif, TIFFTAG_COMPRESSION, COMPRESSION_PACKBITS );
                          TIFFSetField( tif, TIFFTAG_XRESOLUTION, 300.0f );
                       } ),
                { Bytes<uint16_t>( { 0, 65535, 13107 } ) } );
      ReadTIFF( image, path, &o, nullptr, nullptr );
      EXPECT_EQ( image.Pixel( 1, 0 ), 1.0f );
      EXPECT_EQ( image.Pixel( 2, 0 ), 0.2f );
      EXPECT_FALSE( o.floatingPoint );
      EXPECT_EQ( o.compression, 0 );
      // XResolution without YResolution: the default resolution.
      EXPECT_EQ( o.xResolution, 72.0f );
      EXPECT_EQ( o.yResolution, 72.0f );
   }

   // Centimetres without a resolution: 72 dpi in centimetres.
   MakeTIFF( path, Basic( 1, 1, 1, 8, PHOTOMETRIC_MINISBLACK,
                          []( TIFF* tif ) { TIFFSetField( tif, TIFFTAG_RESOLUTIONUNIT, RESUNIT_CENTIMETER ); } ),
             { { 255 } } );
   ReadTIFF( image, path, &o, nullptr, nullptr );
   EXPECT_TRUE( o.metricResolution );
   EXPECT_FLOAT_EQ( o.xResolution, 28.346456692913385f );
   EXPECT_EQ( image.Pixel( 0, 0 ), 1.0f );

   // Grey with one extra sample: a grey image with an alpha channel, written back the same way.
   MakeTIFF( path, Basic( 2, 1, 2, 8, PHOTOMETRIC_MINISBLACK ), { { 0, 255, 51, 102 } } );
   ReadTIFF( image, path, &o, nullptr, nullptr );
   EXPECT_EQ( image.GetColorSpace(), qor::ColorSpace::Gray );
   EXPECT_EQ( image.NumberOfAlphaChannels(), 1 );
   EXPECT_EQ( image.Pixel( 1, 0, 1 ), 0.4f );
   WriteTIFF( image, path, &o, nullptr, nullptr );
   Inspect( path,
            []( TIFF* tif )
            {
               uint16_t photometric = 0, samples = 0;
               TIFFGetField( tif, TIFFTAG_PHOTOMETRIC, &photometric );
               TIFFGetField( tif, TIFFTAG_SAMPLESPERPIXEL, &samples );
               EXPECT_EQ( photometric, PHOTOMETRIC_MINISBLACK );
               EXPECT_EQ( samples, 2 );
            } );

   // White is zero: shown as meant (0 is white), alpha left alone.
   MakeTIFF( path, Basic( 2, 1, 1, 8, PHOTOMETRIC_MINISWHITE ), { { 0, 255 } } );
   ReadTIFF( image, path, &o, nullptr, nullptr );
   EXPECT_EQ( image.Pixel( 0, 0 ), 1.0f );
   EXPECT_EQ( image.Pixel( 1, 0 ), 0.0f );

   // Floating point: a channel outside [0, 1] is mapped from its own range, one inside is kept, NaN becomes 0, a
   // channel of one value outside [0, 1] is clamped.
   MakeTIFF( path,
             Basic( 3, 1, 3, 32, PHOTOMETRIC_RGB,
                    []( TIFF* tif ) { TIFFSetField( tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP ); } ),
             { Bytes<float>( { -1.0f, 0.25f, 5.0f, 1.0f, 0.5f, 5.0f, 3.0f, std::nanf( "" ), 5.0f } ) } );
   ReadTIFF( image, path, &o, nullptr, nullptr );
   EXPECT_TRUE( o.floatingPoint );
   EXPECT_EQ( image.Pixel( 0, 0, 0 ), 0.0f );
   EXPECT_EQ( image.Pixel( 1, 0, 0 ), 0.5f );
   EXPECT_EQ( image.Pixel( 2, 0, 0 ), 1.0f );
   EXPECT_EQ( image.Pixel( 0, 0, 1 ), 0.25f );
   EXPECT_EQ( image.Pixel( 2, 0, 1 ), 0.0f );
   EXPECT_EQ( image.Pixel( 1, 0, 2 ), 1.0f );
}

// Floating-point samples out of [0, 1] or not finite wherever they sit in a row (among the samples taken sixteen at a
// time or in the tail after them), in every layout the reader takes its own path for: each channel comes out as a
// plain sample-by-sample normalisation of what the file holds.
TEST( TIFFTest, FloatSamplesAreNormalisedFromTheRangeOfTheWholeChannelInEveryLayout )
{
   struct Layout
   {
      const char* name;
      uint32_t w, h, rowsPerStrip;
      uint16_t channels;
      bool planar;
      const char* mode;
      bool lastStripFirst = false; // the strips stored in the file from the last to the first
   };
   const Layout layouts[] = {
       { "grey, one strip", 37, 5, 5, 1, false, "w" },
       { "grey, 2 rows a strip, big-endian", 37, 5, 2, 1, false, "wb" },
       { "chunky RGB, 3 rows a strip", 37, 5, 3, 3, false, "w" },
       { "planar RGB, one row a strip, the last stored first", 37, 5, 1, 3, true, "w", true },
       { "grey, one strip too large for one buffer", 2100, 1000, 1000, 1, false, "w" },
   };
   const float inf = std::numeric_limits<float>::infinity(), nan = std::numeric_limits<float>::quiet_NaN();
   // Per channel: (sample index, value) changes of an in-range pattern; indices past the end count from the end.
   const std::vector<std::vector<std::pair<int64_t, float>>> specials = {
       { { 3, 3.5f }, { -2, -0.75f } },       // mapped from its range, the ends in the body and in the tail
       { { -1, nan }, { 20, 0.5f } },          // in range but for a NaN in the tail: only the NaN changes
       { { 17, -inf }, { 40, inf }, { 5, -0.0f }, { 6, 2.0f } }, // infinities left out of the range, then clamped
       { { 9, nan }, { 12, inf } },            // in range but for a NaN and an infinity in the body
   };
   for ( size_t k = 0; k < std::size( layouts ); ++k )
   {
      const Layout& l = layouts[k];
      TempDir dir;
      const std::string path = dir.File( "f.tif" );
      const int64_t n = int64_t( l.w ) * l.h;
      std::vector<std::vector<float>> planes( l.channels );
      for ( uint16_t c = 0; c < l.channels; ++c )
      {
         planes[c].resize( size_t( n ) );
         for ( int64_t i = 0; i < n; ++i )
            planes[c][size_t( i )] = float( ( i * 7 + c * 13 ) % 101 ) / 100.0f;
         for ( auto [at, v] : specials[( c + k ) % specials.size()] )
            planes[c][size_t( at < 0 ? n + at : at )] = v;
      }
      std::vector<std::vector<uint8_t>> strips;
      for ( uint16_t p = 0; p < ( l.planar ? l.channels : 1 ); ++p )
         for ( uint32_t row = 0; row < l.h; row += l.rowsPerStrip )
         {
            std::vector<float> strip;
            for ( uint32_t y = row; y < std::min( l.h, row + l.rowsPerStrip ); ++y )
               for ( uint32_t x = 0; x < l.w; ++x )
                  for ( uint16_t c = l.planar ? p : 0; c < ( l.planar ? p + 1 : l.channels ); ++c )
                     strip.push_back( planes[c][size_t( y ) * l.w + x] );
            strips.push_back( Bytes( strip ) );
         }
      TIFF* tif = TIFFOpen( path.c_str(), l.mode );
      ASSERT_NE( tif, nullptr );
      Basic( l.w, l.h, l.channels, 32, l.channels == 3 ? PHOTOMETRIC_RGB : PHOTOMETRIC_MINISBLACK )( tif );
      TIFFSetField( tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP );
      TIFFSetField( tif, TIFFTAG_ROWSPERSTRIP, l.rowsPerStrip );
      TIFFSetField( tif, TIFFTAG_PLANARCONFIG, l.planar ? PLANARCONFIG_SEPARATE : PLANARCONFIG_CONTIG );
      for ( size_t j = 0; j < strips.size(); ++j )
      {
         const size_t s = l.lastStripFirst ? strips.size() - 1 - j : j;
         TIFFWriteEncodedStrip( tif, uint32_t( s ), strips[s].data(), tmsize_t( strips[s].size() ) );
      }
      TIFFClose( tif );

      qor::Image image;
      ReadTIFF( image, path, nullptr, nullptr, nullptr );
      ASSERT_EQ( image.NumberOfChannels(), l.channels ) << l.name;
      for ( uint16_t c = 0; c < l.channels; ++c )
      {
         const std::vector<float>& in = planes[c];
         float lo = std::numeric_limits<float>::max(), hi = std::numeric_limits<float>::lowest();
         bool nonFinite = false;
         for ( float v : in )
            if ( std::isfinite( v ) )
               lo = std::min( lo, v ), hi = std::max( hi, v );
            else
               nonFinite = true;
         const bool inRange = lo >= 0 && hi <= 1;
         const double offset = inRange ? 0 : lo, span = inRange ? 1 : double( hi ) - double( lo );
         for ( int64_t i = 0; i < n; ++i )
         {
            float expected = in[size_t( i )];
            if ( !inRange || nonFinite )
            {
               const float v = std::isnan( expected ) ? 0.0f : float( ( double( expected ) - offset ) / span );
               expected = v > 0 ? std::min( v, 1.0f ) : 0.0f;
            }
            const float got = image.PixelData( c )[i];
            ASSERT_EQ( std::memcmp( &got, &expected, 4 ), 0 )
                << l.name << ", channel " << c << ", sample " << i << ": " << got << " for " << expected;
         }
      }
   }
}

TEST( TIFFTest, UnsupportedAndDamagedFilesRaiseTheirExceptionAndLeaveTheImageEmpty )
{
   TempDir dir;
   const std::string path = dir.File( "bad.tif" );

   ExpectRead<TIFFUnableToOpenFile>( dir.File( "missing.tif" ), "missing" );
   MakeTIFF( path, Basic( 2, 1, 1, 8, PHOTOMETRIC_MINISBLACK,
                          []( TIFF* tif ) { TIFFSetField( tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_INT ); } ),
             { { 1, 2 } } );
   ExpectRead<TIFFUnsupportedSampleFormat>( path, "signed" );
   MakeTIFF( path, Basic( 2, 1, 1, 16, PHOTOMETRIC_MINISBLACK,
                          []( TIFF* tif ) { TIFFSetField( tif, TIFFTAG_SAMPLEFORMAT, SAMPLEFORMAT_IEEEFP ); } ),
             { { 1, 2, 3, 4 } } );
   ExpectRead<TIFFUnsupportedSampleFormat>( path, "half float" );
   std::vector<uint16_t> map( 16, 0 );
   MakeTIFF( path,
             Basic( 2, 1, 1, 4, PHOTOMETRIC_PALETTE,
                    [&]( TIFF* tif ) { TIFFSetField( tif, TIFFTAG_COLORMAP, map.data(), map.data(), map.data() ); } ),
             { { 0x12 } } );
   ExpectRead<TIFFUnsupportedColorMode>( path, "palette" );
   MakeTIFF( path, Basic( 2, 1, 2, 8, PHOTOMETRIC_RGB ), { { 1, 2, 3, 4 } } );
   ExpectRead<TIFFUnsupportedColorMode>( path, "RGB of two samples" );
   MakeTIFF( path, Basic( 2, 1, 1, 12, PHOTOMETRIC_MINISBLACK ), { { 1, 2, 3 } } );
   ExpectRead<TIFFUnsupportedBitsPerSample>( path, "12 bits" );

   // Tiled.
   {
      TIFF* tif = TIFFOpen( path.c_str(), "w" );
      Basic( 16, 16, 1, 8, PHOTOMETRIC_MINISBLACK )( tif );
      TIFFSetField( tif, TIFFTAG_TILEWIDTH, 16u );
      TIFFSetField( tif, TIFFTAG_TILELENGTH, 16u );
      std::vector<uint8_t> tile( 256, 7 );
      TIFFWriteEncodedTile( tif, 0, tile.data(), 256 );
      TIFFClose( tif );
   }
   ExpectRead<TIFFFileReadError>( path, "tiled" );

   // 100000 x 100000 x 4 16-bit samples (160 GB of floats) claimed by a file of a few hundred bytes.
   {
      platform::AvailableMemoryScope memory( [] { return std::optional<uint64_t>( uint64_t( 16 ) << 30 ); } );
      MakeTIFF( path,
                Basic( 100000, 100000, 4, 16, PHOTOMETRIC_RGB,
                       []( TIFF* tif ) { TIFFSetField( tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE ); } ),
                { std::vector<uint8_t>( 200, 0x55 ) }, true );
      ExpectRead<TIFFNotEnoughMemory>( path, "huge" );
   }

   // The file ends inside its strip: refused as such, naming the file, before anything is allocated.
   WriteBytes( path, HandMadeTIFF( 64, 64, std::vector<uint8_t>( 1000, 7 ), 4096 ) );
   ExpectRead<TIFFFileTruncated>( path, "truncated" );
   try
   {
      qor::Image image;
      ReadTIFF( image, path, nullptr, nullptr, nullptr );
   }
   catch ( const TIFFFileReadError& e )
   {
      EXPECT_EQ( e.Message(), "TIFF Support:\nError reading TIFF file: the file ends before the image data it declares\n" + path );
   }
   WriteBytes( path, HandMadeTIFF( 64, 64, std::vector<uint8_t>( 4096, 7 ), 4096 ) );
   qor::Image whole;
   ReadTIFF( whole, path, nullptr, nullptr, nullptr );
   EXPECT_EQ( whole.Pixel( 63, 63 ), 7.0f / 255 );

   // A strip whose compressed data do not decode to its rows: one exception, which says what libtiff found, and
   // no box of libtiff's own besides.
   MakeTIFF( path,
             Basic( 64, 64, 1, 8, PHOTOMETRIC_MINISBLACK,
                    []( TIFF* tif ) { TIFFSetField( tif, TIFFTAG_COMPRESSION, COMPRESSION_ADOBE_DEFLATE ); } ),
             { std::vector<uint8_t>( 100, 0x55 ) }, true );
   TIFFMessages messages;
   ExpectRead<TIFFFileReadError>( path, "undecodable" );
   EXPECT_TRUE( messages.errors.empty() ) << messages.errors.front();
   try
   {
      qor::Image image;
      ReadTIFF( image, path, nullptr, nullptr, nullptr );
   }
   catch ( const TIFFFileReadError& e )
   {
      EXPECT_EQ( e.ErrorText().rfind( "Error reading TIFF file\n", 0 ), 0u ) << e.ErrorText();
      EXPECT_FALSE( e.Detail().empty() );
   }
}

// A uniform image compresses to almost nothing, so how well a file compresses proves nothing: blank 4096 x 4096
// images in one strip of a few hundred bytes open, row by row with progress and an abort; what decides is the
// memory the image needs against what the machine has.
TEST( TIFFTest, DeclaredSizesAreJudgedByTheMemoryTheyNeedNotByHowWellTheyCompress )
{
   TempDir dir;
   const std::string path = dir.File( "blank.tif" );
   const std::vector<uint8_t> blank( 4096 * 4096, 0 );
   for ( uint16_t compression : { uint16_t( COMPRESSION_ZSTD ), uint16_t( COMPRESSION_LZMA ),
                                  uint16_t( COMPRESSION_ADOBE_DEFLATE ) } )
   {
      SCOPED_TRACE( compression );
      MakeTIFF( path,
                Basic( 4096, 4096, 1, 8, PHOTOMETRIC_MINISBLACK,
                       [&]( TIFF* tif ) { TIFFSetField( tif, TIFFTAG_COMPRESSION, compression ); } ),
                { blank } );
      EXPECT_LT( std::filesystem::file_size( path ), 20000u );
      qor::Image image;
      int events = 0;
      image.Status().SetCallback( []( void* data, int32_t, qor::StatusCallback& ) -> int32_t
                                  { return ++*static_cast<int*>( data ) * 0; },
                                  &events );
      ReadTIFF( image, path, nullptr, nullptr, nullptr );
      ASSERT_EQ( image.Width(), 4096 );
      ASSERT_EQ( image.Height(), 4096 );
      EXPECT_EQ( *std::max_element( image.PixelData( 0 ), image.PixelData( 0 ) + image.NumberOfPixels() ), 0.0f );
      EXPECT_GT( events, 200 );
   }

   // An abort in the middle of the one strip.
   {
      qor::Image image;
      int events = 0;
      image.Status().SetCallback( []( void* data, int32_t, qor::StatusCallback& ) -> int32_t
                                  { return ++*static_cast<int*>( data ) > 20; },
                                  &events );
      EXPECT_THROW( ReadTIFF( image, path, nullptr, nullptr, nullptr ), qor::Image::AbortProcessEvent );
      EXPECT_TRUE( image.IsEmpty() );
      EXPECT_LT( events, 30 );
   }

   // On a machine with 48 MB to spare the 64 MB image is refused before anything is allocated, with both figures.
   platform::AvailableMemoryScope memory( [] { return std::optional<uint64_t>( uint64_t( 48 ) << 20 ); } );
   qor::Image image( 2, 2 );
   try
   {
      ReadTIFF( image, path, nullptr, nullptr, nullptr );
      ADD_FAILURE() << "no exception";
   }
   catch ( const TIFFNotEnoughMemory& e )
   {
      EXPECT_EQ( e.ErrorText().rfind( "Not enough memory to open a 4096x4096 image of 1 channel(s): 64.0", 0 ), 0u )
          << e.ErrorText();
      EXPECT_NE( e.ErrorText().find( " MB needed, 48.000 MB available." ), std::string::npos ) << e.ErrorText();
   }
   EXPECT_TRUE( image.IsEmpty() );
}

// Channels beyond the colour ones are declared as unassociated alpha, so that libtiff (and the programs built on
// it) read the file without a warning and take them for what they are; reading is unchanged.
TEST( TIFFTest, AlphaChannelsAreDeclaredAsUnassociatedAlpha )
{
   TempDir dir;
   struct Case
   {
      int32_t colorSpace;
      int32_t channels;
      bool planar;
      int extra;
   } cases[] = { { qor::ColorSpace::RGB, 4, false, 1 },
                 { qor::ColorSpace::RGB, 5, true, 2 },
                 { qor::ColorSpace::Gray, 2, false, 1 },
                 { qor::ColorSpace::Gray, 1, false, 0 },
                 { qor::ColorSpace::RGB, 3, true, 0 } };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( std::to_string( c.channels ) + " channel(s)" );
      const std::string path = dir.File( "a" + std::to_string( c.channels ) + ".tif" );
      const qor::Image image = Pattern( 5, 3, c.channels, c.colorSpace, 255 );
      TIFFOptions options;
      options.planar = c.planar;
      WriteTIFF( image, path, &options, nullptr, nullptr );

      TIFFMessages messages;
      Inspect( path,
               [&]( TIFF* tif )
               {
                  uint16_t count = 0;
                  uint16_t* types = nullptr;
                  ASSERT_EQ( TIFFGetField( tif, TIFFTAG_EXTRASAMPLES, &count, &types ), c.extra > 0 ? 1 : 0 );
                  ASSERT_EQ( count, c.extra );
                  for ( int i = 0; i < c.extra; ++i )
                     EXPECT_EQ( types[i], EXTRASAMPLE_UNASSALPHA );
                  std::vector<uint32_t> rgba( 5 * 3 );
                  EXPECT_EQ( TIFFReadRGBAImage( tif, 5, 3, rgba.data(), 0 ), 1 );
               } );
      EXPECT_TRUE( messages.warnings.empty() ) << messages.warnings.front();
      EXPECT_TRUE( messages.errors.empty() ) << messages.errors.front();

      qor::Image back;
      ReadTIFF( back, path, nullptr, nullptr, nullptr );
      EXPECT_TRUE( SamePixels( back, image ) );
   }
}

// A disk that takes no more (here a file size limit, which fails writes as a full disk does) ends the write at the
// first row that cannot go out, whatever the compression: one exception with the system's reason, and no message of
// libtiff's own, where rows that failed one by one showed a box each.
TEST( TIFFTest, AWriteTheDiskRefusesStopsAtTheFirstFailureWithOneMessage )
{
   TempDir dir;
   const qor::Image image = test::RandomImage( 2000, 400, 1, qor::ColorSpace::Gray, 5 );
   image.Status().SetCallback( []( void*, int32_t, qor::StatusCallback& ) -> int32_t { return 0; }, nullptr );
   for ( int32_t compression : { TIFFOptions::ZIPCompression, TIFFOptions::LZWCompression, TIFFOptions::NoCompression } )
   {
      SCOPED_TRACE( compression );
      TIFFOptions options;
      options.bitsPerSample = 16;
      options.compression = compression;
      TIFFMessages messages;
      int64_t rowsDone = 0;
      {
         test::FileSizeLimit limit( 65536 );
         try
         {
            WriteTIFF( image, dir.File( "full.tif" ), &options, nullptr, nullptr );
            ADD_FAILURE() << "no exception";
         }
         catch ( const TIFFFileWriteError& e )
         {
            EXPECT_NE( e.Detail().find( std::strerror( EFBIG ) ), std::string::npos ) << e.Detail();
         }
         rowsDone = image.Status().Count();
      }
      EXPECT_LT( rowsDone, 100 );
      EXPECT_TRUE( messages.errors.empty() ) << messages.errors.size() << " errors, the first: " << messages.errors.front();
   }

   // A file small enough to be held whole in memory before it goes to the disk is refused all the same, with the
   // same message.
   const qor::Image small = test::RandomImage( 100, 100, 1, qor::ColorSpace::Gray, 6 );
   TIFFMessages messages;
   test::FileSizeLimit limit( 4096 );
   try
   {
      WriteTIFF( small, dir.File( "small.tif" ), nullptr, nullptr, nullptr );
      ADD_FAILURE() << "no exception";
   }
   catch ( const TIFFFileWriteError& e )
   {
      EXPECT_NE( e.Detail().find( std::strerror( EFBIG ) ), std::string::npos ) << e.Detail();
   }
   EXPECT_TRUE( messages.errors.empty() );
}

TEST( TIFFTest, AnAbortedReadLeavesTheImageEmpty )
{
   TempDir dir;
   const std::string path = dir.File( "a.tif" );
   WriteTIFF( Pattern( 8, 600, 1, 0, 255 ), path, nullptr, nullptr, nullptr );
   qor::Image image;
   int events = 0;
   image.Status().SetCallback( []( void* data, int32_t, qor::StatusCallback& m ) -> int32_t
                               { return ++*static_cast<int*>( data ) > 1 && m.Text().rfind( "Loading TIFF: 8-bit integers, 1 channel(s), 8x600 pixels, chunky", 0 ) == 0; },
                               &events );
   EXPECT_THROW( ReadTIFF( image, path, nullptr, nullptr, nullptr ), qor::Image::AbortProcessEvent );
   EXPECT_TRUE( image.IsEmpty() );
}

} // namespace

namespace
{

class TIFFSaveTest : public test::ImageFileTest
{
};

} // namespace

// A disk that fills up during a compressed save: one message, and the former file keeps its name and its bytes with
// nothing else left behind.
TEST_F( TIFFSaveTest, ADiskThatFillsUpDuringASaveShowsOneMessageAndKeepsTheFormerFile )
{
   const std::string path = folder.File( "kept.tif" );
   WriteTIFF( ::Pattern( 3, 3, 1, qor::ColorSpace::Gray, 255 ), path, nullptr, nullptr, nullptr );
   const std::string former = Contents( path );
   TImageWindow* w =
       CreateImageWindow( nullptr, new qor::Image( test::RandomImage( 2000, 400, 1, qor::ColorSpace::Gray, 3 ) ), "" );
   w->tiffOptions->bitsPerSample = 16;
   w->tiffOptions->compression = TIFFOptions::ZIPCompression;
   w->modificationCount = 1;
   prompter.Expect( "TIFF Support:\nError writing TIFF file\n" );
   {
      test::FileSizeLimit limit( 65536 );
      EXPECT_FALSE( SaveImageWindow( *w, path, false ) );
   }
   EXPECT_EQ( Contents( path ), former );
   EXPECT_EQ( FolderNames(), std::vector<std::string>{ "kept.tif" } );
   EXPECT_EQ( w->modificationCount, 1 );
}
