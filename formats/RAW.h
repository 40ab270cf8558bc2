#ifndef LF_FORMATS_RAW_H
#define LF_FORMATS_RAW_H

// Headerless raw image files: a header of any length that is not interpreted, then the samples as RAWOptions
// describes them (formats/RAWOptions.h). All file access goes through qor::File.
//
// Reading. Integers come into [0, 1] by their full scale (signed ones shifted by half of it first, so the most
// negative value is 0); floating-point samples (64-bit ones rounded to float) are normalised as TIFF floats are
// (NormalizeFloatSamples). A missing width or height is worked out from the bytes after the header, both missing
// make a square; every byte the description does not use counts as header (the data are the last bytes of the
// file). Three or more channels make a colour image when the description says RGB; the channels beyond the colour
// space's are alpha channels. The description is checked against the file, in 64-bit arithmetic, before
// anything is allocated: RAWEmptyFile, RAWInvalidDataOffset, RAWInvalidBitsPerSample (also for integer samples
// other than 8, 16 or 32 bits and floating-point ones other than 32 or 64), RAWBadDescription (also for a channel
// count outside 1..MaxRAWChannels or a negative side) and RAWInvalidDimensions (also for a side that works out to
// 0). The options are not changed.
//
// Writing. The image's samples, clamped to [0, 1], in the described format and organisation, after a header of
// dataOffset bytes: copied from the source file when keepHeader is set and there is one (not the output itself),
// zeros otherwise.
//
// Progress goes to the image's monitor ("Loading RAW: ...", "Writing RAW: ..."); an abort stops a read.

#include <cstdint>
#include <string>

#include "classlib/Exception.h"
#include "classlib/Image.h"
#include "formats/RAWOptions.h"

class RAWException : public qor::Exception
{
public:
   explicit RAWException( std::string path ) : path( std::move( path ) ) {}
   std::string ClassText() const override { return "RAW Support"; }
   const std::string& Path() const { return path; }

private:
   std::string path;
};

#define LF_RAW_EXCEPTION( Name, Text )                                                                                 \
   class Name : public RAWException                                                                                    \
   {                                                                                                                   \
   public:                                                                                                             \
      using RAWException::RAWException;                                                                                \
      std::string ErrorText() const override { return Text; }                                                          \
   };

LF_RAW_EXCEPTION( RAWEmptyFile, "RAW file is empty" )
LF_RAW_EXCEPTION( RAWInvalidDataOffset, "Invalid RAW data offset" )
LF_RAW_EXCEPTION( RAWInvalidBitsPerSample, "Invalid RAW bits per sample" )
LF_RAW_EXCEPTION( RAWBadDescription, "Invalid RAW description data" )
LF_RAW_EXCEPTION( RAWInvalidDimensions, "Invalid RAW dimensions" )

#undef LF_RAW_EXCEPTION

// Most channels a raw file may be described with.
constexpr int32_t MaxRAWChannels = 4096;

// Reads the file as the options (or the defaults, without options) describe it.
void ReadRAW( qor::Image& image, const std::string& path, const RAWOptions* options );

// Writes the image to the path as the options (or the defaults) describe it; sourcePath names the file whose header
// is copied when keepHeader is set (empty: none).
void WriteRAW( const qor::Image& image, const std::string& path, const RAWOptions* options,
               const std::string& sourcePath );

// Reverses the bytes of each of count samples of bytesPerSample bytes.
void ReverseSampleBytes( void* buffer, int64_t count, int32_t bytesPerSample );

#endif
