#ifndef LF_FORMATS_FITS_H
#define LF_FORMATS_FITS_H

// FITS image files, read and written through CFITSIO.
//
// The image is the primary HDU: a two-axis (width x height) or three-axis (width x height x channels) array of
// integer or floating-point samples. Every header card travels in FITSOptions::keywords, the ICC profile and the
// IPTC photo information in two 8-bit one-axis image extensions ("ICCProfile" and "IPTCPhotoInfo"; the names
// "ICC_PROFILE" and "IPTC_PHOTO_INFO" are accepted on reading).
//
// Reading. Samples come into [0, 1]:
// - Integer data are mapped from the full range of their stored type (BSCALE and BZERO included): 8-bit
//   unsigned, 8-bit signed (BZERO -128), 16, 32 and 64-bit signed and unsigned (BZERO 2^15, 2^31, 2^63). The
//   smallest value the type can hold becomes 0 and the largest 1 (the reverse with a negative BSCALE), so a file
//   written by WriteFITS reads back sample for sample.
// - Floating-point data are taken as they are when they lie in [0, 1]. Otherwise the range [0, 1] is widened to
//   take in the smallest and largest finite samples, and the samples are mapped from it. The colour channels
//   share one range, so that their balance is kept; each alpha channel has its own. A NaN sample becomes 0 and an
//   infinite one the end of the range it points to (+inf 1, -inf 0; the other way round with a negative BSCALE).
// The sample format found (bits, unsigned, floating point) goes to the options, as do the resolution (RESOLUTN,
// RESOUNIT) and every header card in order. COLORSPC = 'RGB' makes a colour image, any other value a grey one;
// without it a three-axis image with three or more planes is a colour image. Channels beyond the nominal ones are
// alpha channels.
//
// The file named is the file read, and no other (no compressed file beside a missing one is taken instead). Before a
// byte is read, something that is not a plain file is refused (FITSNotARegularFile: a pipe would block the
// program). A gzip-compressed file (whatever its name) is unpacked into memory no further than its headers announce,
// with progress and abort, and read from there (formats/GzipFITS.h says what it refuses); another compressed file is
// refused (FITSCompressedFile: compress, bzip2, zip...), as it would have to be unpacked whole before its size could be
// known. A file whose primary HDU is empty is refused with what it holds instead (FITSImageInExtension,
// FITSTileCompressedImage, FITSNoImage); these refusals name the file. A file is refused, with the FITSException of
// its fault, when its primary HDU is not a 2- or 3-axis image, a side is outside 1..32000, there are more than
// MaxFITSChannels planes,
// BSCALE is 0 or not finite, the data do not reach as far as the header says (checked before anything is
// allocated), or a read fails. Nothing the caller gave is changed unless the whole file was read: image, options,
// profile and IPTC information are replaced together at the end.
//
// Writing. Samples are clamped to [0, 1] (NaN becomes 0), spread over the range of the chosen sample format and,
// for integer formats, rounded to nearest with ties to even by the program itself, so the stored integers are
// exact. 1.0 becomes the largest value of the format (2^63 - 1 for 64-bit integers). The file is written under a
// temporary name in the same folder, private to the user, and takes the path's place (and the access rights of the
// file there) only when complete and on the disk (qor::FileReplacement), so a failed or killed write leaves the path
// as it was; a write the system refuses (a full disk) fails the save as FITSFileWriteError with the system's
// reason, whichever call comes upon it. A keyword strict FITS cannot hold as it is never stops a save (a file from
// another program must save again): bytes outside printable ASCII become '?', a value that is no FITS value becomes
// a string, and a keyword no card can hold is left out.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "classlib/IPTCPhotoInfo.h"
#include "classlib/Image.h"
#include "formats/FITSException.h"
#include "formats/FITSOptions.h"

// Most planes (NAXIS3) a FITS image may have.
constexpr int32_t MaxFITSChannels = 1024;
// Largest width or height of a FITS image.
constexpr int32_t MaxFITSImageSide = 32000;

// Reads the file into the image. The options get the sample format, resolution, unit and the header cards (their
// embedICCProfile flag stays); iccProfile becomes the profile of the file or null; iptc, when given, becomes the
// file's IPTC information (empty when it has none). Monitored on the image: "Loading FITS file: ..." one unit per
// row of every channel, then "Normalizing pixel values" one unit per sample. Throws a FITSException or
// qor::Image::AbortProcessEvent, with nothing changed.
void ReadFITS( qor::Image& image, const std::string& path, FITSOptions& options,
               std::unique_ptr<std::vector<uint8_t>>& iccProfile, qor::IPTCPhotoInfo* iptc );

// Writes the image to the path, replacing any file there. Without options the samples are stored as 16-bit
// unsigned integers and no keyword is written; with options, their sample format is used, the program's keywords
// and the user's are written, and afterwards the options' keyword list holds the header as written. The profile is
// embedded when there are no options or they ask for it and the size in its header is neither 0 nor more than the
// bytes held. IPTC information with items goes into its extension. Monitored on the image: "Writing FITS file: ...",
// one unit per row of every channel. Throws a FITSException or qor::Image::AbortProcessEvent; the path is then as it
// was and the options unchanged. A keyword no FITS card can hold is left out of the file, and its name is added to
// leftOut when given.
void WriteFITS( const qor::Image& image, const std::string& path, FITSOptions* options,
                const std::vector<uint8_t>* iccProfile, const qor::IPTCPhotoInfo* iptc,
                std::vector<std::string>* leftOut = nullptr );

// Writes the image as WriteFITS does, but into the plain file at the path itself (an empty one its caller made to
// take the place of another file in its own time, say), without a temporary file of its own. On failure the file
// holds whatever was written.
void WriteFITSInto( const qor::Image& image, const std::string& path, FITSOptions* options,
                    const std::vector<uint8_t>* iccProfile, const qor::IPTCPhotoInfo* iptc,
                    std::vector<std::string>* leftOut = nullptr );

// The seventeen names the keyword editors refuse (compared case-insensitively): the structural keywords and those
// the writer makes itself.
bool IsReservedFITSKeyword( const std::string& name );

// True for a name the writer can store: a standard keyword name (up to eight of A-Z, 0-9, '-' and '_'; lower-case
// letters are taken as upper case), or a longer name of printable ASCII without '=' that goes into a HIERARCH card.
bool IsValidFITSKeywordName( const std::string& name );

// True for a value text the writer can store: empty (no value), a quoted string ('' inside for a quote), T or F,
// an integer, a real number (exponent E or D) or a complex number "(re, im)".
bool IsValidFITSKeywordValue( const std::string& value );

// Why the writer could not store the keyword exactly as it is in one standard FITS card, or an empty text when it
// can: the name must be a standard name in upper case (up to eight of A-Z, 0-9, '-' and '_') that the writer does
// not set itself, the value a FITS value of printable ASCII (a quote inside a string written twice) of the type the
// standard gives that keyword, COMMENT and HISTORY cards hold no value, and name, value and comment together fit into
// 80 columns as the writer lays them out. The keyword editors refuse such a keyword with this reason, so that a save
// never drops or changes what the user typed.
std::string FITSKeywordProblem( const FITSHeaderKeyword& keyword );

// The message of a keyword whose card would be longer than 80 columns.
extern const char* const FITSCardTooLongText;

// The value without its enclosing quotes, trimmed of blanks; a value that does not begin with a quote unchanged.
std::string UnquoteFITSKeywordValue( const FITSHeaderKeyword& keyword );

// The text as a FITS string value: in single quotes, a quote inside written twice.
std::string QuotedFITSString( const std::string& text );

#endif
