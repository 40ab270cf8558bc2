// TIFF and JPEG reading and writing of the grey and RGB sky images: 16-bit TIFF uncompressed and ZIP, 32-bit
// floating-point TIFF uncompressed, JPEG at quality 90, between the file and the image's planar floats.
//
// Reads use the peers' files when BENCH_DATA names their folder; otherwise the inputs are first written to /dev/shm
// by the program itself. Writes go to /dev/shm.

#include "FileBench.h"
#include "formats/JPEG.h"
#include "formats/TIFF.h"

#include <memory>
#include <string>

namespace
{

TIFFOptions U16( bool zip )
{
   TIFFOptions o;
   o.bitsPerSample = 16;
   o.compression = zip ? TIFFOptions::ZIPCompression : TIFFOptions::NoCompression;
   return o;
}

TIFFOptions F32()
{
   TIFFOptions o;
   o.bitsPerSample = 32;
   o.floatingPoint = true;
   return o;
}

JPEGOptions Q90()
{
   JPEGOptions o;
   o.quality = 90;
   return o;
}

void RegisterImage( const std::string& stem, const std::function<const qor::Image&()>& input )
{
   auto image = std::make_shared<qor::Image>();
   const auto readTIFF = []( qor::Image& target, const std::string& path )
   { ReadTIFF( target, path, nullptr, nullptr, nullptr ); };
   for ( bool zip : { false, true } )
   {
      const std::string suffix = zip ? "_zip" : "";
      bench::RegisterReadWrite(
         "tiff_read_u16" + suffix, "tiff_write_u16" + suffix, stem + "_u16" + suffix + ".tif", input,
         [=]( const qor::Image& source, const std::string& path )
         {
            TIFFOptions o = U16( zip );
            WriteTIFF( source, path, &o, nullptr, nullptr );
         },
         readTIFF, image );
   }
   bench::RegisterReadWrite(
      "tiff_read_f32", "tiff_write_f32", stem + "_f32.tif", input,
      []( const qor::Image& source, const std::string& path )
      {
         TIFFOptions o = F32();
         WriteTIFF( source, path, &o, nullptr, nullptr );
      },
      readTIFF, image );
   bench::RegisterReadWrite(
      "jpeg_read", "jpeg_write_q90", stem + "_q90.jpg", input,
      []( const qor::Image& source, const std::string& path )
      {
         JPEGOptions o = Q90();
         WriteJPEG( source, path, o, nullptr, nullptr );
      },
      []( qor::Image& target, const std::string& path ) { ReadJPEG( target, path, nullptr, nullptr, nullptr ); },
      image );
}

const bool registered = bench::RegisterSkyImages( RegisterImage );

} // namespace
