#ifndef LF_WINDOWS_IMAGE_SWAP_FILE_H
#define LF_WINDOWS_IMAGE_SWAP_FILE_H

// Swap files: private snapshots of the state of one image window, written and read by the program while it runs
// (one level of undo and redo, masking of the main view against its unprocessed pixels, temporary mask files).
//
// Layout (little-endian; texts are int32 length + bytes, except in the fixed records):
//   SwapFileHeader (296 bytes)
//   0x01 pixel data: every channel plane (nominal, then alpha), width x height float32, top row first
//   0x02 RGB working space: uint8 uses-global, float32 gamma, uint8 sRGB, then Y, x, y of red, green, blue
//   0x04 colour management: uint8 enabled, int32 profile length, the profile bytes
//   0x08 FITS keywords: int32 count, then name, value, comment of each
//   0x10 IPTC information: qor::IPTCPhotoInfo's stream form
//   0x20 main view identifier
//   unless 0x80000000: a SwapFilePreviewRecord per preview; a stored one is followed by its stored history (the
//       container's Process::Write form) and its stored planes
//   unless 0x40000000: a SwapFileMaskReference per user of the window as a mask
// The file has no signature; version 4 identifies it.
//
// Reading never trusts the file: SwapFileReader::Read parses the whole file into a SwapFileContents, checking every
// size, length and count against the bytes left and against sane limits, and only a complete, valid parse is
// handed to the window (TImageWindow::ReadSwapFile), so a damaged or foreign file changes nothing.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "classlib/IPTCPhotoInfo.h"
#include "classlib/Image.h"
#include "classlib/RGBColorSystem.h"
#include "formats/FITSHeaderKeyword.h"

class ProcessContainer;

namespace qor
{
class File;
class StatusCallback;
} // namespace qor

// What a swap file holds (and what a process declares that it changes, Process::UndoFlags).
namespace SwapFileFlag
{
constexpr uint32_t PixelData = 0x00000001;
constexpr uint32_t WorkingSpace = 0x00000002;
constexpr uint32_t ColorManagement = 0x00000004;
constexpr uint32_t FITSKeywords = 0x00000008;
constexpr uint32_t IPTCInformation = 0x00000010;
constexpr uint32_t Identifier = 0x00000020;
constexpr uint32_t NoMaskData = 0x40000000;
constexpr uint32_t NoPreviews = 0x80000000;
// A temporary mask file: pixels only.
constexpr uint32_t MaskFile = NoPreviews | NoMaskData | PixelData;
} // namespace SwapFileFlag

constexpr int32_t SwapFileVersion = 4;
constexpr int32_t SwapFileIdentifierSize = 256;

// An object that uses a window as its mask, or the mask window itself. The identity is a serial number given to
// every image window (TImageWindow::serial), never reused while the program runs; process instances, which are
// never linked again from a file, are written with identities that no window has.
struct SwapFileMaskReference
{
   uint32_t identity = 0;
   char identifier[SwapFileIdentifierSize] = {}; // an image window's main view identifier, zero-terminated
};
static_assert( sizeof( SwapFileMaskReference ) == 260 );

struct SwapFileHeader
{
   uint32_t flags = 0;
   int32_t version = SwapFileVersion;
   int32_t width = 0;
   int32_t height = 0;
   int32_t numberOfChannels = 0;
   int32_t colorSpace = 0;
   int32_t displayChannel = 0;
   int32_t previewCount = 0;
   SwapFileMaskReference mask;
   int32_t maskReferenceCount = 0;
};
static_assert( sizeof( SwapFileHeader ) == 296 );

// A preview's rectangle and stored state. Width and height are those of the pixels the preview shows after
// reading: its stored image when it has one (whose planes follow at that size), else its current image.
struct SwapFilePreviewRecord
{
   char identifier[SwapFileIdentifierSize] = {};
   int32_t left = 0;
   int32_t top = 0;
   int32_t width = 0;
   int32_t height = 0;
   int32_t stored = 0;
   int32_t storedChannels = 0;
   int32_t storedColorSpace = 0;
};
static_assert( sizeof( SwapFilePreviewRecord ) == 284 );

// Copies text into a fixed identifier field: at most 255 characters, the rest zero.
void SetSwapFileIdentifier( char ( &field )[SwapFileIdentifierSize], const std::string& text );
// The text of a fixed identifier field, up to its first zero (the whole field when it has none).
std::string SwapFileIdentifierText( const char ( &field )[SwapFileIdentifierSize] );

// Everything a swap file holds, parsed and checked, ready to be given to a window.
struct SwapFileContents
{
   struct StoredPreview
   {
      SwapFilePreviewRecord record;
      std::string identifier;
      std::unique_ptr<ProcessContainer> history; // stored previews only
      std::unique_ptr<qor::Image> storedImage;   // stored previews only
   };

   SwapFileContents();
   ~SwapFileContents();
   SwapFileContents( SwapFileContents&& ) noexcept;
   SwapFileContents& operator=( SwapFileContents&& ) noexcept;

   SwapFileHeader header;
   qor::Image pixels;
   bool usesGlobalWorkingSpace = false;
   qor::RGBColorSystem workingSpace; // the stored values (a block of its own)
   bool colorManagementEnabled = false;
   std::unique_ptr<std::vector<uint8_t>> iccProfile;
   std::vector<FITSHeaderKeyword> keywords;
   std::unique_ptr<qor::IPTCPhotoInfo> iptc;
   std::string identifier;
   std::vector<StoredPreview> previews;
   std::vector<SwapFileMaskReference> maskReferences;
};

// The largest channel count and identifier or keyword text a reader accepts.
constexpr int32_t SwapFileMaxChannels = 1024;
constexpr int64_t SwapFileMaxTextLength = 1 << 20;

// Reads and checks a whole swap file. Throws qor::Image::InvalidSwapFile for a file that is not a valid swap file
// (wrong version, impossible sizes or counts, sections that do not add up to the file), the qor::File exceptions of
// an unreadable or short file, and qor::Image::AbortProcessEvent when the monitor (may be nullptr) reports an
// abort; reports "Reading swap file: pixel data" and "Reading swap file: stored previews" one unit per plane.
// Without pixel data, the header's geometry must be `expected` (the window's image), since the file then
// describes that image.
SwapFileContents ReadSwapFileContents( const std::string& path, const qor::Image* expected,
                                       qor::StatusCallback* monitor );

#endif
