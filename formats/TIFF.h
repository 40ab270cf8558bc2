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
// profile (tag 34675) and the IPTC block (tag 33723, in 32-bit words) come back too; an IPTC block that does not
// decode is left out with a warning, and the image opens.
// Before anything is allocated, every strip must lie inside the file (TIFFFileTruncated otherwise: the file ends
// early), and the image with the reader's buffers must fit in the memory the machine has (TIFFNotEnoughMemory). How
// well the strips compress is no ground for a refusal: a uniform image compresses to almost nothing. Strips are
// decoded whole, or row by row when one would take more than a few megabytes, so progress and an abort come at
// least every few megabytes. Nothing the caller gave changes unless the whole file was read.
//
// Writing. The samples are clamped to [0, 1] and stored in the options' format (8-bit unsigned without options),
// planar when asked and there is more than one channel, with LZW or ZIP compression when asked (horizontal
// predictor below 32 bits), the resolution, the non-empty texts, the ICC profile when it is to be embedded and the
// size in its header is neither 0 nor more than the bytes held, and the IPTC block padded with zeros to whole
// 32-bit words. Samples beyond the colour ones are declared unassociated alpha (ExtraSamples). The first row that
// fails to go out (a full disk, say) ends the write.
//
// Both report progress through the image's monitor ("Loading TIFF: ...", "Writing TIFF: ..."); an abort stops a
// read. A failure throws one TIFFException (or qor::Image::AbortProcessEvent, or the IPTC decoder's exception), which
// carries libtiff's own account of it: libtiff's errors about the file go into the exception instead of the
// process-wide error handler, so that one failure makes one message however many calls fail after it. Its warnings
// still go to the process-wide handler.

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
   explicit TIFFException( std::string path, std::string detail = std::string() )
      : path( std::move( path ) ), detail( std::move( detail ) )
   {
   }
   std::string ClassText() const override { return "TIFF Support"; }
   const std::string& Path() const { return path; }
   // libtiff's own account of the failure (with the system's reason for a failed write), when it gave one; it
   // follows the error text on a line of its own.
   const std::string& Detail() const { return detail; }

protected:
   std::string WithDetail( const std::string& text ) const { return detail.empty() ? text : text + "\n" + detail; }

private:
   std::string path;
   std::string detail;
};

#define LF_TIFF_EXCEPTION( Name, Parent, Text )                                                                        \
   class Name : public Parent                                                                                          \
   {                                                                                                                   \
   public:                                                                                                             \
      using Parent::Parent;                                                                                            \
      std::string ErrorText() const override { return WithDetail( Text ); }                                            \
   };

LF_TIFF_EXCEPTION( TIFFUnableToOpenFile, TIFFException, "Unable to open TIFF file" )
LF_TIFF_EXCEPTION( TIFFUnsupportedColorMode, TIFFException,
                   "Unsupported TIFF color mode -- must be either grayscale or RGB color" )
LF_TIFF_EXCEPTION( TIFFUnsupportedBitsPerSample, TIFFException,
                   "Unsupported TIFF bits per sample -- must be 8, 16 or 32 bits" )
LF_TIFF_EXCEPTION( TIFFUnsupportedSampleFormat, TIFFException,
                   "Unsupported TIFF sample format -- must be unsigned integer or IEEE floating point" )
LF_TIFF_EXCEPTION( TIFFFileReadError, TIFFException, "Error reading TIFF file" )
LF_TIFF_EXCEPTION( TIFFFileTruncated, TIFFFileReadError,
                   "Error reading TIFF file: the file ends before the image data it declares" )
LF_TIFF_EXCEPTION( TIFFUnableToCreateFile, TIFFException, "Unable to create TIFF file" )
LF_TIFF_EXCEPTION( TIFFFileWriteError, TIFFException, "Error writing TIFF file" )

// The image a file declares does not fit in the memory available; the text names what it needs and what there is.
class TIFFNotEnoughMemory : public TIFFException
{
public:
   TIFFNotEnoughMemory( std::string path, std::string text ) : TIFFException( std::move( path ) ), text( std::move( text ) ) {}
   std::string ErrorText() const override { return text; }

private:
   std::string text;
};

#undef LF_TIFF_EXCEPTION

// Most samples per pixel a TIFF image may have.
constexpr int32_t MaxTIFFChannels = 1024;

// Reads the file into the image. options (embedICCProfile excepted), iccProfile and iptc are optional and, when
// given, replaced by what the file holds (a null profile, empty IPTC information when it has none). What was left
// out of a file that opened is said in `warnings` (each text names the file), when given.
void ReadTIFF( qor::Image& image, const std::string& path, TIFFOptions* options,
               std::unique_ptr<std::vector<uint8_t>>* iccProfile, qor::IPTCPhotoInfo* iptc,
               std::vector<std::string>* warnings = nullptr );

// Writes the image to the path, replacing any file there. Options, profile and IPTC information are optional.
void WriteTIFF( const qor::Image& image, const std::string& path, const TIFFOptions* options,
                const std::vector<uint8_t>* iccProfile, const qor::IPTCPhotoInfo* iptc );

// Brings floating-point samples read from a file into [0, 1], channel by channel (alpha channels included): a
// channel whose finite samples all lie in [0, 1] is kept; otherwise it is mapped from its smallest and largest
// finite sample onto 0 and 1 (a channel of one value outside [0, 1] is clamped). NaN becomes 0 and an infinity the
// end it points to. Monitored: "Normalizing pixel values", one unit per sample of the nominal channels' size.
void NormalizeFloatSamples( qor::Image& image );

#endif
