// FITS reading and writing of the grey and RGB sky images: 32-bit floating point and 16-bit unsigned integers.
//
// Reads use the peers' files when BENCH_DATA names their folder; otherwise the synthetic inputs are first written
// to /dev/shm in the same two formats. Writes go to /dev/shm.

#include "BenchCommon.h"
#include "formats/FITS.h"

#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>

namespace
{

FITSOptions Format( int32_t bits, bool isFloat )
{
   FITSOptions o;
   o.bitsPerSample = bits;
   o.unsignedSamples = !isFloat;
   o.floatingPoint = isFloat;
   return o;
}

// The peers' file of that name, or the input written in that format to /dev/shm.
std::string InputFile( const std::string& name, const qor::Image& image, bool isFloat )
{
   if ( const char* dir = std::getenv( "BENCH_DATA" ) )
   {
      std::string path = std::string( dir ) + "/" + name;
      if ( std::filesystem::exists( path ) )
         return path;
   }
   std::string path = bench::ScratchFile( name );
   FITSOptions o = Format( isFloat ? 32 : 16, isFloat );
   WriteFITS( image, path, &o, nullptr, nullptr );
   return path;
}

void RegisterImage( const std::string& stem, const std::function<const qor::Image&()>& input )
{
   struct Kind
   {
      const char* suffix;
      bool isFloat;
   } kinds[] = { { "f32", true }, { "u16", false } };
   auto image = std::make_shared<qor::Image>();
   for ( const Kind& k : kinds )
   {
      const std::string file = stem + "_" + k.suffix + ".fits";
      const std::string size = bench::SizeText( input() );
      auto path = std::make_shared<std::string>();
      const bool isFloat = k.isFloat;
      bench::Register( std::string( "fits_read_" ) + k.suffix, size,
                       [=]
                       {
                          if ( path->empty() )
                             *path = InputFile( file, input(), isFloat );
                          FITSOptions options;
                          std::unique_ptr<std::vector<uint8_t>> icc;
                          ReadFITS( *image, *path, options, icc, nullptr );
                       } );
      const std::string out = bench::ScratchFile( "out_" + file );
      bench::Register( std::string( "fits_write_" ) + k.suffix, size,
                       [=]
                       {
                          FITSOptions options = Format( isFloat ? 32 : 16, isFloat );
                          WriteFITS( input(), out, &options, nullptr, nullptr );
                       } );
   }
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
