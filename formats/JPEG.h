#ifndef LF_FORMATS_JPEG_H
#define LF_FORMATS_JPEG_H

// JPEG image files, read and written through the IJG library interface (libjpeg-turbo).
//
// Besides the pixels, three application markers of the program's own travel with the image: the ICC profile in
// APP2 "ICC_PROFILE" chunks (at most 65280 bytes each, numbered from 1, with their count), the IPTC photo
// information in one APP13 "IPTCPhotoInfo" marker, and the quality the file was saved with in one APP15
// "JPEGQuality" marker. Reading also accepts "IPTC PhotoInfo", "IPTC_PhotoInfo", "IPTC Photo Info",
// "IPTC_Photo_Info", "JPEG Quality" and "JPEG_Quality", in any case. The JFIF density is the resolution.
//
// Reading: grey files give a grey image, every other one an RGB image (the library converts; what it cannot
// convert, CMYK say, fails with its message). Samples are c / 255. Before anything is decoded, the image and the
// library's own buffers must fit in the memory the machine has (JPEGNotEnoughMemory names both otherwise): a
// uniform image compresses to almost nothing, so the size of the file proves nothing. A file of several scans
// (progressive, say) is read whole before its first row comes out; that reading is followed through the file for
// the monitor and can be aborted, and a file with more scans than its coefficients can use is refused
// (JPEGTooManyScans). Data that end early or are damaged still give an image (the library fills in what is
// missing), with a warning naming the file. The profile's chunks are put together by their sequence numbers; a
// sequence with a gap, a repeated or odd-sized chunk, or a size header that the chunks do not reach, is left out
// with a warning, as is an IPTC block that does not decode. Nothing the caller gave changes unless the whole file
// was read.
//
// Writing: round(255 v) of the samples clamped to [0, 1], JFIF 1.2 with the density truncated to whole units,
// floating-point DCT, baseline quantisation tables, optimised Huffman tables and progressive scans when asked. A
// quality below 1 becomes 80, in the options too. A profile that would need more than 255 chunks cannot be
// embedded: JPEGICCProfileTooLarge.
//
// The library reports a fatal error through its error_exit hook, which jumps back to the one function that made
// the library calls; that function holds no C++ object, cleans the library state up in C style, and only then is
// the JPEGLibraryError thrown. Progress goes to the image's monitor ("Decompressing JPEG file: ...",
// "Compressing JPEG file: ..."); an abort stops either.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "classlib/Exception.h"
#include "classlib/IPTCPhotoInfo.h"
#include "classlib/Image.h"
#include "formats/JPEGOptions.h"

// Failures of the JPEG reader and writer: "JPEG Support:\n" followed by the error text. Each carries the path of
// the file (not part of the message).
class JPEGException : public qor::Exception
{
public:
   explicit JPEGException( std::string path ) : path( std::move( path ) ) {}
   std::string ClassText() const override { return "JPEG Support"; }
   const std::string& Path() const { return path; }

private:
   std::string path;
};

#define LF_JPEG_EXCEPTION( Name, Text )                                                                                \
   class Name : public JPEGException                                                                                   \
   {                                                                                                                   \
   public:                                                                                                             \
      using JPEGException::JPEGException;                                                                              \
      std::string ErrorText() const override { return Text; }                                                          \
   };

LF_JPEG_EXCEPTION( JPEGUnableToOpenFile, "Unable to open JPEG file" )
LF_JPEG_EXCEPTION( JPEGUnableToCreateFile, "Unable to create JPEG file" )
LF_JPEG_EXCEPTION( JPEGICCProfileTooLarge, "The ICC profile is too large to be embedded in a JPEG file" )
LF_JPEG_EXCEPTION( JPEGIPTCTooLarge, "The IPTC photo information is too large to be embedded in a JPEG file" )
LF_JPEG_EXCEPTION( JPEGTooManyScans, "The JPEG file repeats its scans beyond any use" )

#undef LF_JPEG_EXCEPTION

// The library's own message for an error, as its message table has it.
class JPEGLibraryError : public JPEGException
{
public:
   JPEGLibraryError( std::string path, std::string text ) : JPEGException( std::move( path ) ), text( std::move( text ) ) {}
   std::string ErrorText() const override { return text; }

private:
   std::string text;
};

// The image a file declares does not fit in the memory available; the text names what it needs and what there is.
class JPEGNotEnoughMemory : public JPEGException
{
public:
   JPEGNotEnoughMemory( std::string path, std::string text ) : JPEGException( std::move( path ) ), text( std::move( text ) ) {}
   std::string ErrorText() const override { return text; }

private:
   std::string text;
};

// Reads the file into the image. options (quality, JFIF fields, unit and resolution; the other fields stay),
// iccProfile and iptc are optional and, when given, replaced by what the file holds. What was damaged or missing in
// a file that opened is said in `warnings` (each text names the file), when given.
void ReadJPEG( qor::Image& image, const std::string& path, JPEGOptions* options,
               std::unique_ptr<std::vector<uint8_t>>* iccProfile, qor::IPTCPhotoInfo* iptc,
               std::vector<std::string>* warnings = nullptr );

// Writes the image's nominal channels (grey or RGB; alpha channels have no place in a JPEG file) to the path,
// replacing any file there.
void WriteJPEG( const qor::Image& image, const std::string& path, JPEGOptions& options,
                const std::vector<uint8_t>* iccProfile, const qor::IPTCPhotoInfo* iptc );

#endif
