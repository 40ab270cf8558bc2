#ifndef LF_PLATFORM_ICC_PROFILE_H
#define LF_PLATFORM_ICC_PROFILE_H

// The ICC profile layer: every other part of the program opens, reads, finds and applies ICC profiles through
// these free functions, which sit on LittleCMS 2 and keep no state of their own.
//
// Profile handles are LittleCMS profiles (cmsHPROFILE); whoever opens one closes it with CloseICCProfile. A null
// handle means no profile.
//
// Profile data is a block holding a whole ICC profile as stored in a profile file. The profile's own length is
// the big-endian 32-bit size field of its header (bytes 0-3). The data functions take the block as a span, so they
// also know how many bytes are really there: a block whose header states fewer than 128 bytes (the header alone)
// or more bytes than the span holds is refused, never read past its end. Blocks made here are owned by the caller.
//
// Signatures (device class, data colour space, CMM identifiers) are four characters held in 32 bits with the
// first character most significant: 'RGB ' = 0x52474220, 'GRAY' = 0x47524159.
//
// Rendering intents are 0 perceptual, 1 relative colorimetric, 2 saturation, 3 absolute colorimetric.
//
// The open, load and description functions never throw: they answer null or an empty text, and LittleCMS's own
// error reports are kept quiet. ICMTransformImage throws qor::GenericException with one of its five texts, or
// qor::Image::AbortProcessEvent when the user aborts.
//
// GUI thread only.

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "classlib/Containers.h"

namespace qor
{
class Image;
}

// An open profile (cmsHPROFILE) and a colour transform (cmsHTRANSFORM).
using ICCProfileHandle = void*;
using ICCColorTransform = void*;

constexpr uint32_t ICCSignatureRGB = 0x52474220;  // 'RGB '
constexpr uint32_t ICCSignatureGray = 0x47524159; // 'GRAY'
// The smallest profile: its header.
constexpr uint32_t ICCProfileHeaderSize = 128;

// The profile's own size (header bytes 0-3) when the block holds a whole profile: at least a header and no more
// bytes than the block has. Otherwise 0.
uint32_t ICCProfileDataSize( std::span<const uint8_t> data );

// The data colour space of a whole profile (header bytes 16-19), e.g. ICCSignatureRGB; 0 when the block is no whole
// profile.
uint32_t ICCDataColorSpace( std::span<const uint8_t> data );

// Opens a profile file for reading; null when the path is empty or the file is not a readable profile.
ICCProfileHandle OpenICCProfileFile( const std::string& path );
// Opens a profile held in memory. LittleCMS copies the bytes, so the block may go before the handle does.
ICCProfileHandle OpenICCProfileData( std::span<const uint8_t> data );
// The same, for a profile embedded in a file being read (nothing is ever written back).
ICCProfileHandle OpenICCProfileDataReadWrite( std::span<const uint8_t> data );
// Closes the handle (null is allowed); false when LittleCMS reports a failure.
bool CloseICCProfile( ICCProfileHandle profile );

// The whole profile file, byte for byte, as long as its header says; null when the file cannot be read, is shorter
// than its header states, or does not open as a profile.
std::unique_ptr<std::vector<uint8_t>> LoadICCProfileFile( const std::string& path );
// A copy of the profile, of its own size; null when the block does not hold a whole profile.
std::unique_ptr<std::vector<uint8_t>> CopyICCProfileData( std::span<const uint8_t> data );

// The description of the profile; empty with a null handle or when it cannot be read. An ICC version 2 'desc'
// element gives the ASCII text up to its first null, which must lie within count + 1 bytes (count at most 256),
// else the text is empty. A version 4 profile, whose description is a multi-localized 'mluc' element, gives its
// English text (or the first there is).
std::string GetICCProfileDescription( ICCProfileHandle profile );
// The parsing of a version 2 'desc' element's bytes (the part of GetICCProfileDescription that reads them).
std::string ParseICCTextDescription( std::span<const uint8_t> element );

// The system colour directory: where the system's ICC profiles are installed.
std::string GetICCColorDirectory();

// The folders that hold ICC profiles, those that exist, each once: the system colour directory, color/icc under each
// folder of XDG_DATA_DIRS (/usr/local/share and /usr/share when unset) and colord's /var/lib/colord/icc (with
// /var/lib/color/icc), then the user's: icc and color/icc under XDG_DATA_HOME (~/.local/share when unset), and
// ~/.color/icc.
std::vector<std::string> ICCProfileFolders();

// Appends the full paths of the files whose extension is ".icc" or ".icm" in any case, as the file system lists
// them: with a folder, the files of that folder; with an empty folder, those of every folder of ICCProfileFolders
// and of their subfolders ("." when there is none). Hidden files and folders are passed over; nothing in the list is
// removed or sorted.
void FindICCProfileFiles( std::vector<std::string>& files, const std::string& folder );

// For each path of `files` in order: when the file opens as a profile, its device class matches `deviceClass` and
// its data colour space matches `colorSpace` (0 matches anything) and it has a description, appends the description
// and the path (the two lists stay parallel).
void FilterICCProfiles( std::vector<std::string>& descriptions, std::vector<std::string>& paths, uint32_t deviceClass,
                        uint32_t colorSpace, const std::vector<std::string>& files );

// The colour-management modules: LittleCMS is the only one. Appends its signature 'lcms' (0x6C636D73) and its
// library's file name; returns true.
bool FindInstalledCMMs( qor::Array<uint32_t>& identifiers, std::vector<std::string>& modules );

// The LittleCMS intent for a rendering intent (values above 3 pass through unchanged).
uint32_t LCMSRenderingIntent( uint32_t intent );

// The 16-bit words of the 16-bit colour transforms: s x 65535 in single precision, to the nearest integer with
// ties to even (samples outside [0, 1] are clamped and NaN gives 0, so that no word is undefined), and back as
// word x (1/65535).
uint16_t PackICCSample( float sample );
float UnpackICCSample( uint16_t word );

// LittleCMS reports its failures through one global handler: the program's counts them on the calling thread and
// prints nothing. QuietLCMSErrors installs it (once); LCMSErrorCount is this thread's count so far.
void QuietLCMSErrors();
uint64_t LCMSErrorCount();

class ICCProfileTransform;

// Converts the pixels of a Gray or RGB image from the source profile to the target profile, in floating point (see
// ICCProfileTransform), on all cores in blocks of 4096 pixels. When the colour type stays (RGB image and RGB target,
// or grey image and grey target) the image itself is converted and returned, alpha channels untouched; otherwise a
// new image (3 channels RGB, or 1 channel Gray; no alpha, no monitor) is returned, owned by the caller, and the
// given image is left as it is. A grey image with an RGB source profile is fed as red = green = blue. Progress goes
// through the image's monitor ("ICM color transform", one unit per pixel); an abort leaves an image converted in
// place with the blocks already done.
qor::Image* ICMTransformImage( qor::Image& image, ICCProfileHandle target, ICCProfileHandle source, uint32_t intent );
// The same with a transform made beforehand (ICCProfileTransform::Create), for a caller that converts several
// images between the same profiles.
qor::Image* ICMTransformImage( qor::Image& image, const ICCProfileTransform& transform );

#endif
