#ifndef LF_FORMATS_TIFF_H
#define LF_FORMATS_TIFF_H

// TIFF image files, read and written through libtiff.
//
// Reading. Grey (photometric 0 or 1) and RGB (photometric 2, at least three samples per pixel) images of 8, 16 or
// 32-bit unsigned integers or 32-bit IEEE floats, planar or chunky, in strips, with any compression libtiff
// decodes. Integers come into [0, 1] divided by their full scale; a floating-point channel holding samples outside
// [0, 1] is mapped from its own smallest and largest finite sample (NormalizeFloatSamples). A white-is-zero grey
// image is inverted, so it shows as it was meant. Samples beyond the colour space's nominal channels are alpha
// channels. The options get the sample format, compression, organisation, resolution and the three texts; the ICC
// profile (tag 34675) and the IPTC block (tag 33723, in 32-bit words) come back too.
// Before anything is allocated, the file must be able to hold what its tags claim: every strip inside the file,
// and no more decoded data than the strips can yield (their bytes, or 4096 times as much when compressed, beyond
// what LZW or Deflate can reach). Nothing the caller gave changes unless the whole file was read.
//
// Writing. The samples are clamped to [0, 1] and stored in the options' format (8-bit unsigned without options),
// planar when asked and there is more than one channel, with LZW or ZIP compression when asked (horizontal
// predictor below 32 bits), the resolution, the non-empty texts, the ICC profile when it is to be embedded and the
// size in its header is neither 0 nor more than the bytes held, and the IPTC block padded with zeros to whole
// 32-bit words.
//
// Both report progress through the image's monitor ("Loading TIFF: ...", "Writing TIFF: ..."); an abort stops a
// read. A failure throws a TIFFException (or qor::Image::AbortProcessEvent, or the IPTC decoder's exception).

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "classlib/Exception.h"
#include "classlib/IPTCPhotoInfo.h"
#include "classlib/Image.h"
#include "formats/TIFFOptions.h"

// Failures of the TIFF reader and writer: "TIFF Support:\n" followed by the error text. Each carries the path of
// the file (not part of the message).
class TIFFException : public qor::Exception
{
public:
   explicit TIFFException( std::string path ) : path( std::move( path ) ) {}
   std::string ClassText() const override { return "TIFF Support"; }
   const std::string& Path() const { return path; }

private:
   std::string path;
};

#define LF_TIFF_EXCEPTION( Name, Text )                                                                                \
   class Name : public TIFFException                                                                                   \
   {                                                                                                                   \
   public:                                                                                                             \
      using TIFFException::TIFFException;                                                                              \
      std::string ErrorText() const override { return Text; }                                                          \
   };

LF_TIFF_EXCEPTION( TIFFUnableToOpenFile, "Unable to open TIFF file" )
LF_TIFF_EXCEPTION( TIFFUnsupportedColorMode, "Unsupported TIFF color mode -- must be either grayscale or RGB color" )
LF_TIFF_EXCEPTION( TIFFUnsupportedBitsPerSample, "Unsupported TIFF bits per sample -- must be 8, 16 or 32 bits" )
LF_TIFF_EXCEPTION( TIFFUnsupportedSampleFormat,
                   "Unsupported TIFF sample format -- must be unsigned integer or IEEE floating point" )
LF_TIFF_EXCEPTION( TIFFFileReadError, "Error reading TIFF file" )
LF_TIFF_EXCEPTION( TIFFUnableToCreateFile, "Unable to create TIFF file" )
LF_TIFF_EXCEPTION( TIFFFileWriteError, "Error writing TIFF file" )

#undef LF_TIFF_EXCEPTION

// Most samples per pixel a TIFF image may have.
constexpr int32_t MaxTIFFChannels = 1024;

// Reads the file into the image. options (embedICCProfile excepted), iccProfile and iptc are optional and, when
// given, replaced by what the file holds (a null profile, empty IPTC information when it has none).
void ReadTIFF( qor::Image& image, const std::string& path, TIFFOptions* options,
               std::unique_ptr<std::vector<uint8_t>>* iccProfile, qor::IPTCPhotoInfo* iptc );

// Writes the image to the path, replacing any file there. Options, profile and IPTC information are optional.
void WriteTIFF( const qor::Image& image, const std::string& path, const TIFFOptions* options,
                const std::vector<uint8_t>* iccProfile, const qor::IPTCPhotoInfo* iptc );

// Brings floating-point samples read from a file into [0, 1], channel by channel (alpha channels included): a
// channel whose finite samples all lie in [0, 1] is kept; otherwise it is mapped from its smallest and largest
// finite sample onto 0 and 1 (a channel of one value outside [0, 1] is clamped). NaN becomes 0 and an infinity the
// end it points to. Monitored: "Normalizing pixel values", one unit per sample of the nominal channels' size.
void NormalizeFloatSamples( qor::Image& image );

#endif
