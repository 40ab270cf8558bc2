// TIFF and JPEG reading and writing of the grey and RGB sky images: 16-bit TIFF uncompressed and ZIP, 32-bit
// floating-point TIFF uncompressed, JPEG at quality 90, between the file and the image's planar floats.
//
// Reads use the peers' files when BENCH_DATA names their folder; otherwise the inputs are first written to /dev/shm
// by the program itself. Writes go to /dev/shm.

#include "BenchCommon.h"
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
   const std::string size = bench::SizeText( input() );
   auto image = std::make_shared<qor::Image>();
   for ( bool zip : { false, true } )
   {
      const std::string suffix = zip ? "_zip" : "";
      const std::string file = stem + "_u16" + suffix + ".tif";
      auto path = std::make_shared<std::string>();
      bench::Register( "tiff_read_u16" + suffix, size,
                       [=]
                       {
                          if ( path->empty() )
                             *path = bench::InputFile( file, [&]( const std::string& p )
                                                { TIFFOptions o = U16( zip ); WriteTIFF( input(), p, &o, nullptr, nullptr ); } );
                          ReadTIFF( *image, *path, nullptr, nullptr, nullptr );
                       } );
      const std::string out = bench::ScratchFile( "out_" + file );
      bench::Register( "tiff_write_u16" + suffix, size,
                       [=]
                       {
                          TIFFOptions o = U16( zip );
                          WriteTIFF( input(), out, &o, nullptr, nullptr );
                       } );
   }
   const std::string f32 = stem + "_f32.tif";
   auto f32Path = std::make_shared<std::string>();
   bench::Register( "tiff_read_f32", size,
                    [=]
                    {
                       if ( f32Path->empty() )
                          *f32Path = bench::InputFile( f32, [&]( const std::string& p )
                                                       { TIFFOptions o = F32(); WriteTIFF( input(), p, &o, nullptr, nullptr ); } );
                       ReadTIFF( *image, *f32Path, nullptr, nullptr, nullptr );
                    } );
   const std::string f32Out = bench::ScratchFile( "out_" + f32 );
   bench::Register( "tiff_write_f32", size,
                    [=]
                    {
                       TIFFOptions o = F32();
                       WriteTIFF( input(), f32Out, &o, nullptr, nullptr );
                    } );
   const std::string jpeg = stem + "_q90.jpg";
   auto path = std::make_shared<std::string>();
   bench::Register( "jpeg_read", size,
                    [=]
                    {
                       if ( path->empty() )
                          *path = bench::InputFile( jpeg, [&]( const std::string& p )
                                             { JPEGOptions o = Q90(); WriteJPEG( input(), p, o, nullptr, nullptr ); } );
                       ReadJPEG( *image, *path, nullptr, nullptr, nullptr );
                    } );
   const std::string out = bench::ScratchFile( "out_" + jpeg );
   bench::Register( "jpeg_write_q90", size,
                    [=]
                    {
                       JPEGOptions o = Q90();
                       WriteJPEG( input(), out, o, nullptr, nullptr );
                    } );
}

struct Registration
{
   Registration()
   {
      RegisterImage( "grey_4096x4096", bench::GreyInput );
      RegisterImage( "rgb_4096x2731", bench::RgbInput );
   }
} registration;

} // namespace
