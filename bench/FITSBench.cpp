// FITS reading and writing of the grey and RGB sky images: 32-bit floating point and 16-bit unsigned integers.
//
// Reads use the peers' files when BENCH_DATA names their folder; otherwise the synthetic inputs are first written
// to /dev/shm in the same two formats. Writes go to /dev/shm.

#include "FileBench.h"
#include "formats/FITS.h"

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

void RegisterImage( const std::string& stem, const std::function<const qor::Image&()>& input )
{
   auto image = std::make_shared<qor::Image>();
   for ( bool isFloat : { true, false } )
   {
      const std::string suffix = isFloat ? "f32" : "u16";
      bench::RegisterReadWrite(
         "fits_read_" + suffix, "fits_write_" + suffix, stem + "_" + suffix + ".fits", input,
         [=]( const qor::Image& source, const std::string& path )
         {
            FITSOptions options = Format( isFloat ? 32 : 16, isFloat );
            WriteFITS( source, path, &options, nullptr, nullptr );
         },
         []( qor::Image& target, const std::string& path )
         {
            FITSOptions options;
            std::unique_ptr<std::vector<uint8_t>> icc;
            ReadFITS( target, path, options, icc, nullptr );
         },
         image );
   }
}

const bool registered = bench::RegisterSkyImages( RegisterImage );

} // namespace
