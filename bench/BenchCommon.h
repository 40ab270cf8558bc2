#ifndef LF_BENCH_COMMON_H
#define LF_BENCH_COMMON_H

// Shared harness of the benchmarks.
//
// Every measurement prints one line in the peers' format:
//   peer=lumenforge-t<N> op=<op> size=WxHxC ms_median=... ms_min=... threads=N reps=R
// timed warm (one untimed call first), median and minimum over the repetitions (BENCH_REPS, default 7).
// Inputs are the peers' files when BENCH_DATA names their folder, otherwise equivalent images made in memory.

#include <benchmark/benchmark.h>

#include "Image.h"

#include <functional>
#include <string>

namespace bench
{

// 4096x4096 grey and 4096x2731 RGB sky images in [0,1] (cached; loaded or made on first use).
const qor::Image& GreyInput();
const qor::Image& RgbInput();

// A path for a scratch file of that name in /dev/shm (memory, so that the disk does not weigh on the figures),
// removed when the program ends.
std::string ScratchFile( const std::string& name );

// The peers' input file of that name when BENCH_DATA names their folder and holds it, else a scratch file of that
// name that `write` fills.
std::string InputFile( const std::string& name, const std::function<void( const std::string& )>& write );

// The grey input with its three channels scaled apart: a 4096x4096 RGB image (cached).
const qor::Image& RgbSquareInput();

// Image pixels a viewport side covers at an image window's zoom, at most the image side.
int32_t CoveredPixels( int32_t viewport, int32_t zoom, int32_t side );

// "WxHxC" of an image.
std::string SizeText( const qor::Image& image );

// Registers an operation twice, on one thread and on every core. `run` performs one operation; `setup`
// (optional) runs untimed before each repetition, for example to refresh an image that the operation changes.
void Register( const std::string& op, const std::string& size, std::function<void()> run,
               std::function<void()> setup = nullptr );

} // namespace bench

#endif
