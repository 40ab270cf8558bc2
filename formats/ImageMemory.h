#ifndef LF_FORMATS_IMAGE_MEMORY_H
#define LF_FORMATS_IMAGE_MEMORY_H

// Whether the image a file declares fits in memory, asked before a reader allocates anything for it.
//
// A file's size says nothing of the image it holds: a uniform image compresses to a few hundred bytes whatever its
// dimensions, so a reader cannot judge a declared size by the bytes behind it. It judges it by the memory the
// image and the reader's own buffers need against what the machine has (platform::AvailableMemory(): on Linux an
// allocation is granted before the memory behind it exists, and the program is killed when it first writes pages
// that do not), and refuses the file with a text naming both when it does not fit.

#include <cstdint>
#include <string>

namespace formats
{

// Bytes of the float planes of a width x height image of the given channels (never overflows: saturates).
uint64_t ImageBytes( uint64_t width, uint64_t height, uint64_t channels );

// The text of the refusal when `bytes` (the image and the reader's buffers) exceed the memory available, e.g.
// "Not enough memory to open a 16000x16000 image of 3 channel(s): 2929.688 MB needed, 1024.000 MB available.";
// empty when they fit or when the system does not say how much memory there is.
std::string MemoryShortfall( uint64_t bytes, uint64_t width, uint64_t height, uint64_t channels );

// a + b, saturating.
inline uint64_t AddBytes( uint64_t a, uint64_t b )
{
   return a + b < a ? UINT64_MAX : a + b;
}

} // namespace formats

#endif
