#ifndef LF_FORMATS_GZIP_FITS_H
#define LF_FORMATS_GZIP_FITS_H

// gzip-compressed FITS files (x.fits.gz, as archives serve them), unpacked for the FITS reader without trusting
// them.
//
// The stream is unpacked one HDU at a time into an anonymous file in memory (nothing goes to the disk): a header
// first, up to its END card (at most MaxGzipFITSHeaderBlocks blocks of 2880 bytes), then exactly the data that header
// announces, then the next HDU, until the stream ends. Nothing beyond what the headers announce is ever unpacked, so a
// stream that would unpack to far more than its headers say (a "gzip bomb") costs at most one block more:
//  - before the data of an HDU are unpacked, everything unpacked so far, the data the HDU announces and the memory
//    the primary image will take as floats must fit into the memory available (platform::AvailableMemory):
//    FITSNotEnoughMemory otherwise, naming both;
//  - a stream that goes on after an HDU with anything but the header of an extension: FITSCompressedSurplus;
//  - a stream that ends before the data its header announces (a file cut short; a missing padding of the last data
//    unit is taken as zeros): FITSCompressedFileTruncated;
//  - damaged compressed data or check sums: FITSCompressedFileDamaged;
//  - a header that is no FITS header (not SIMPLE, or XTENSION for an extension, first; no END in time; a sample
//    size or an axis it cannot state): FITSCompressedInvalidHeader.
// Several gzip members in a row are one stream; bytes after the last member that are no gzip member are ignored,
// as gzip does. Progress goes to the monitor ("Unpacking compressed FITS file", one unit per compressed byte read),
// and an abort stops the unpacking (qor::Image::AbortProcessEvent).

#include <cstdint>
#include <string>

#include "classlib/Image.h"

// The longest header the unpacker takes, in blocks of 2880 bytes (100,000 cards).
constexpr int64_t MaxGzipFITSHeaderBlocks = 2500;

// Whether the bytes begin a gzip stream.
bool IsGzipStream( const unsigned char* head, int64_t n );

// Unpacks the gzip stream of the file open on `compressed` (read from its start) into an anonymous file in memory
// and returns that file's descriptor, positioned at its start; the caller closes it. The path names the file in the
// exceptions. Throws the FITS exceptions above and qor::Image::AbortProcessEvent.
int UnpackGzipFITS( int compressed, const std::string& path, const qor::Image& monitor );

#endif
