// Writes the seed files of JPEGFuzz and TIFFFuzz into two folders: small images in the layouts the writers make
// (grey and colour, progressive JPEG, every TIFF sample format, planar and chunky, compressed or not, alpha
// channels), one of each with an ICC profile and IPTC information, and highly compressible ones declaring larger
// sizes (arithmetic-coded JPEG, a one-strip ZSTD TIFF).

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include <jpeglib.h>
#include <tiffio.h>

#include "SeedImages.h"
#include "classlib/ColorSpace.h"
#include "classlib/Exception.h"
#include "classlib/IPTCPhotoInfo.h"
#include "classlib/Image.h"
#include "formats/JPEG.h"
#include "formats/TIFF.h"

namespace
{

// A uniform arithmetic-coded grey JPEG made by the library itself.
bool WriteArithmeticJPEG( const std::string& path, int w, int h )
{
   FILE* f = std::fopen( path.c_str(), "wb" );
   if ( f == nullptr )
      return false;
   jpeg_compress_struct c;
   jpeg_error_mgr e;
   c.err = jpeg_std_error( &e );
   jpeg_create_compress( &c );
   jpeg_stdio_dest( &c, f );
   c.image_width = JDIMENSION( w );
   c.image_height = JDIMENSION( h );
   c.input_components = 1;
   c.in_color_space = JCS_GRAYSCALE;
   jpeg_set_defaults( &c );
   c.arith_code = TRUE;
   jpeg_start_compress( &c, TRUE );
   std::vector<JSAMPLE> row( size_t( w ), 128 );
   for ( int y = 0; y < h; ++y )
   {
      JSAMPROW r = row.data();
      jpeg_write_scanlines( &c, &r, 1 );
   }
   jpeg_finish_compress( &c );
   jpeg_destroy_compress( &c );
   return std::fclose( f ) == 0;
}

// A uniform grey TIFF of one ZSTD strip made by libtiff itself.
bool WriteZstdTIFF( const std::string& path, uint32_t w, uint32_t h )
{
   TIFF* tif = TIFFOpen( path.c_str(), "w" );
   if ( tif == nullptr )
      return false;
   TIFFSetField( tif, TIFFTAG_IMAGEWIDTH, w );
   TIFFSetField( tif, TIFFTAG_IMAGELENGTH, h );
   TIFFSetField( tif, TIFFTAG_SAMPLESPERPIXEL, 1 );
   TIFFSetField( tif, TIFFTAG_BITSPERSAMPLE, 8 );
   TIFFSetField( tif, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISBLACK );
   TIFFSetField( tif, TIFFTAG_ROWSPERSTRIP, h );
   TIFFSetField( tif, TIFFTAG_COMPRESSION, COMPRESSION_ZSTD );
   std::vector<uint8_t> strip( size_t( w ) * h, 0 );
   const bool ok = TIFFWriteEncodedStrip( tif, 0, strip.data(), tmsize_t( strip.size() ) ) >= 0;
   TIFFClose( tif );
   return ok;
}

} // namespace

int main( int argc, char** argv )
{
   if ( argc != 3 )
   {
      std::fprintf( stderr, "usage: %s jpeg-folder tiff-folder\n", argv[0] );
      return 2;
   }
   const std::filesystem::path jpegs( argv[1] ), tiffs( argv[2] );
   std::filesystem::create_directories( jpegs );
   std::filesystem::create_directories( tiffs );
   const qor::Image grey = fuzz::Ramp( 9, 7, 1, qor::ColorSpace::Gray );
   const qor::Image rgb = fuzz::Ramp( 17, 9, 3, qor::ColorSpace::RGB );
   const qor::Image rgba = fuzz::Ramp( 5, 3, 4, qor::ColorSpace::RGB );
   std::vector<uint8_t> profile( 132 );
   profile[3] = uint8_t( profile.size() );
   qor::IPTCPhotoInfo iptc;
   iptc.Set( &qor::IPTCPhotoInfo::Descriptions().front(), "someone", 7 );
   try
   {
      for ( bool progressive : { false, true } )
      {
         JPEGOptions o;
         o.progressive = progressive;
         const std::string kind = progressive ? "progressive" : "baseline";
         WriteJPEG( grey, ( jpegs / ( "grey-" + kind + ".jpg" ) ).string(), o, nullptr, nullptr );
         WriteJPEG( rgb, ( jpegs / ( "rgb-" + kind + ".jpg" ) ).string(), o, &profile, &iptc );
      }
      if ( !WriteArithmeticJPEG( ( jpegs / "arithmetic.jpg" ).string(), 1024, 1024 ) )
         return 1;

      struct Format
      {
         const char* name;
         int32_t bits;
         bool isFloat;
         bool planar;
         int32_t compression;
      } formats[] = { { "u8", 8, false, false, TIFFOptions::NoCompression },
                      { "u16-lzw", 16, false, true, TIFFOptions::LZWCompression },
                      { "u32", 32, false, false, TIFFOptions::NoCompression },
                      { "f32-zip", 32, true, true, TIFFOptions::ZIPCompression } };
      for ( const Format& f : formats )
      {
         TIFFOptions o;
         o.bitsPerSample = f.bits;
         o.floatingPoint = f.isFloat;
         o.planar = f.planar;
         o.compression = f.compression;
         WriteTIFF( grey, ( tiffs / ( std::string( "grey-" ) + f.name + ".tif" ) ).string(), &o, nullptr, nullptr );
         WriteTIFF( rgba, ( tiffs / ( std::string( "rgba-" ) + f.name + ".tif" ) ).string(), &o, &profile, &iptc );
      }
      if ( !WriteZstdTIFF( ( tiffs / "zstd.tif" ).string(), 512, 512 ) )
         return 1;
   }
   catch ( const qor::Exception& x )
   {
      std::fprintf( stderr, "%s\n", x.Message().c_str() );
      return 1;
   }
   return 0;
}
