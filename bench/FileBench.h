#ifndef LF_BENCH_FILE_BENCH_H
#define LF_BENCH_FILE_BENCH_H

// Reading and writing one file format, for the codec benchmarks.

#include "BenchCommon.h"

#include <functional>
#include <memory>
#include <string>

namespace bench
{

// Registers `readOp`, which reads the file `file` into `image` (the peers' file of that name when BENCH_DATA holds
// it, otherwise the input written by `write` to a scratch file on the first call), and `writeOp`, which writes the
// input to a scratch file named after `file`. Reads of several formats may share one `image`, so that only one
// decoded image stays allocated.
inline void RegisterReadWrite( const std::string& readOp, const std::string& writeOp, const std::string& file,
                               const std::function<const qor::Image&()>& input,
                               const std::function<void( const qor::Image&, const std::string& )>& write,
                               const std::function<void( qor::Image&, const std::string& )>& read,
                               const std::shared_ptr<qor::Image>& image )
{
   const std::string size = SizeText( input() );
   auto path = std::make_shared<std::string>();
   Register( readOp, size,
             [=]
             {
                if ( path->empty() )
                   *path = InputFile( file, [&]( const std::string& p ) { write( input(), p ); } );
                read( *image, *path );
             } );
   const std::string out = ScratchFile( "out_" + file );
   Register( writeOp, size, [=] { write( input(), out ); } );
}

// Registers a format's operations on both sky images: registerImage( stem, input ) with the stem of the peers' file
// names. Returns true, so that a file registers at start-up by initialising a constant with it.
inline bool RegisterSkyImages(
   const std::function<void( const std::string&, const std::function<const qor::Image&()>& )>& registerImage )
{
   registerImage( "grey_4096x4096", GreyInput );
   registerImage( "rgb_4096x2731", RgbInput );
   return true;
}

} // namespace bench

#endif
