#ifndef LF_FORMATS_DIB_H
#define LF_FORMATS_DIB_H

// Device-independent bitmaps as other programs put them on the clipboard: a packed DIB (a BITMAPINFOHEADER or one
// of its longer successors, the bit-field masks, the colour table, then the pixel rows) or a whole BMP file (the
// same after a 14-byte file header).
//
// Accepted: one plane; 8 bits per pixel through a colour table, 24 bits (blue, green, red) and 32 bits (blue,
// green, red, unused, or any three contiguous channel masks with BI_BITFIELDS); BI_RGB or BI_BITFIELDS; rows
// padded to four bytes, bottom-up (positive height) or top-down (negative height). A colour table whose entries
// are all grey gives one Gray channel of the entries' grey levels; every other bitmap gives three RGB channels.
// Samples are the stored values divided by their full scale (255 for bytes).
//
// The block is untrusted: every size, offset and palette index is checked against the bytes actually given
// before anything is read, so a short, truncated or inconsistent block is refused with "Invalid or unsupported
// DIB format" (a qor::GenericException) and never read past its end. The image to load is left as it was on any
// failure, including an abort through its monitor ("Loading Device Independent Bitmap", one unit per pixel).
// Pure functions over bytes, with no GUI: safe to fuzz.

#include <cstddef>
#include <cstdint>

namespace qor
{
class Image;
}

// Size of a BITMAPINFOHEADER and of a BMP file header.
constexpr size_t DIBInfoHeaderSize = 40;
constexpr size_t BMPFileHeaderSize = 14;

// Loads a packed DIB of `size` bytes into the image.
void LoadImageFromDIB( qor::Image& image, const uint8_t* dib, size_t size );

// Loads a BMP file held in memory (the "BM" file header, then a DIB; the pixels start where the file header says,
// when that is a valid place, else right after the colour table).
void LoadImageFromBMPData( qor::Image& image, const uint8_t* data, size_t size );

#endif
