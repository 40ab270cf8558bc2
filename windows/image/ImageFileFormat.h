#ifndef LF_WINDOWS_IMAGE_IMAGE_FILE_FORMAT_H
#define LF_WINDOWS_IMAGE_IMAGE_FILE_FORMAT_H

// The one road between image files and image windows: the format is chosen by the file name's extension (case
// does not matter), the format's reader or writer does the work, and the image window is brought up to date.
//
//   reading  .tif .tiff | .fit .fits .fts (and each + .gz) | .raw | .jpg .jpeg | .bmp
//   writing  tif tiff   | fit fits fts                    | raw  | jpg jpeg  (neither a bitmap nor a .gz file)
//
// A headerless RAW file is described by the user in the RAW description dialog before every read and every save;
// the other formats' options dialogs are shown on a save when the caller asks for them.
//
// Failures. ReadImageFile, BackupExistingFile, LoadImageFromClipboardBlock and NewImageWindowFromClipboard throw:
// the class library's exceptions (qor::Exception, the format exceptions included), ToolkitError, or a text as a
// ProcessRefusal, whose empty text means that the user cancelled (a No to a question, Cancel in an options
// dialog). OpenImageFile, RevertImageWindow and SaveImageWindow report their own failures (ReportCaughtFailure of
// support/FailureReport.h) and pass a cancellation over silently.
//
// Nothing is lost on a failure:
//   - a read goes into a new image and into copies of the option records; the image and the window change only
//     once the whole file has been read;
//   - a save never writes under the target name directly: the writer fills a temporary file in the same folder
//     (qor::FileReplacement: private to the user while it replaces a file, its name within the file system's limit,
//     what a killed save of the same file left removed first); when the backupFiles preference is on, the existing
//     file gets its backup name (report.fits -> report.~fits, or ~~fits, ... the first free name); then the
//     temporary file, flushed to the disk, takes the target's name and its access rights in one rename. No backup is
//     made with the preference off. When anything fails the temporary file is deleted and the backup, if one was
//     made, gets its name back; the window keeps its path and format.
//
// Everything runs on the GUI thread, inside the caller's processing status dialog bracket; readers and writers
// report their progress through the image's monitor, connected to the status dialog for the run.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "windows/image/ImageWindow.h"

class QWidget;

// ---- Dispatch by extension ------------------------------------------------------------------------------------------

// The format that reads a path, by its extension; NoImageFileFormat for an unknown or missing one.
ImageFileFormat InputFileFormat( const std::string& path );
// The format that writes a path, by its extension; NoImageFileFormat for an unknown one and for a bitmap.
ImageFileFormat OutputFileFormat( const std::string& path );
// A gzip-compressed FITS file's name: a FITS name followed by .gz (x.fits.gz), read as FITS, never written.
bool IsCompressedFITSName( const std::string& path );
// "FITS", "TIFF", ...; empty for NoImageFileFormat.
std::string ImageFileFormatName( ImageFileFormat format );

// ---- Reading -----------------------------------------------------------------------------------------------------

// What a read produces besides the pixels. The option records are the reader's input too (the description of a
// RAW file, say): a record that is missing is made with its defaults when the format needs it.
struct ImageFileData
{
   ImageFileFormat format = NoImageFileFormat;
   std::unique_ptr<std::vector<uint8_t>> iccProfile; // nullptr: no profile
   bool colorManagementOn = true;
   bool converted = false; // the profile policy converted the pixels
   std::unique_ptr<TIFFOptions> tiffOptions;
   std::unique_ptr<FITSOptions> fitsOptions;
   std::unique_ptr<RAWOptions> rawOptions;
   std::unique_ptr<JPEGOptions> jpegOptions;
   std::unique_ptr<qor::IPTCPhotoInfo> iptcInfo;
};

// Reads the file into the image and the data. The image is replaced only after a complete read; on any failure it
// and the data are left as they were. What the reader had to leave out of a file that opened (data that end early,
// a damaged profile or IPTC block) is shown in one warning box before the image is handed over. "Unsupported/unknown input file type:\n" + path for an unknown extension.
void ReadImageFile( qor::Image& image, const std::string& path, ImageFileData& data );

// Opens a file in a new image window (owner nullptr: the main window's desktop). When a window already shows the
// same path the user is asked first ("Lumenforge - Reopen Warning"). Returns the window, or nullptr after a
// cancellation or a reported failure.
TImageWindow* OpenImageFile( QWidget* owner, const std::string& path, bool asCopy, const std::string& identifier );

enum class RevertOutcome
{
   Reverted,  // the file was read again
   NoFile,    // the window has no file to read
   Cancelled, // the user cancelled; the window is as it was
   Failed     // reported to the user; the window is as it was (the caller closes it)
};

// Reads a window's file again. The window's masks, previews, profile, caches, history and undo data (swap files
// included) go only once the file has been read; it then has the file's pixels, records and profile and is
// unmodified (modified once when the profile policy converted the pixels).
RevertOutcome RevertImageWindow( TImageWindow& window );

// ---- Writing -----------------------------------------------------------------------------------------------------

// Asks what the format cannot keep (yes/no questions, warning icon): FITS keywords in TIFF or JPEG, everything
// but the pixels in RAW, alpha channels in JPEG. Returns false when the user declined one. dropAlpha is set when
// the alpha channels are to be left out of the file.
bool ConfirmFormatLosses( const TImageWindow& window, ImageFileFormat format, bool& dropAlpha );

// Shows the format's options dialog for the window's record; false when the user cancelled. A change of the
// record counts as a modification of the window (except for the RAW description).
bool EditImageFileOptions( TImageWindow& window, ImageFileFormat format );

// Writes the window's image to a path: the format's questions, its options dialog when asked for, the write to a
// temporary file, the backup of the former file when the backupFiles preference wants one, and the new file renamed
// over the path (which names a whole file at every moment); then the window takes the path and the format, loses its
// undo data and is unmodified. Reports its own failures and returns whether the file was written.
bool SaveImageWindow( TImageWindow& window, const std::string& path, bool showOptions );

// What a format's writer gets: the pixels to write (the window's image, or a copy without its alpha channels),
// the path to fill (an empty file made for the writer), the window (its option records and IPTC information), the ICC profile to embed (nullptr:
// none), the file being replaced, still in place while the writer runs (empty: none), and where to list the names
// of keywords the format could not hold and left out (the user is told after the save).
struct ImageFileWriteRequest
{
   const qor::Image& image;
   const std::string& path;
   TImageWindow& window;
   const std::vector<uint8_t>* iccProfile;
   const std::string& formerPath;
   std::vector<std::string>& keywordsLeftOut;
};
using ImageFileWriter = std::function<void( const ImageFileWriteRequest& )>;

// Replaces the writer of a format for the lifetime of the scope (tests use it to make a write fail).
class ImageFileWriterScope
{
public:
   ImageFileWriterScope( ImageFileFormat format, ImageFileWriter writer );
   ~ImageFileWriterScope();
   ImageFileWriterScope( const ImageFileWriterScope& ) = delete;
   ImageFileWriterScope& operator=( const ImageFileWriterScope& ) = delete;

private:
   ImageFileFormat format;
   ImageFileWriter previous;
};

// Gives an existing file its first free backup name as a second name (a hard link; a rename where the file system
// has none): the extension gets one tilde more per name taken (a.fits -> a.~fits, a.~~fits, ...). Where such a name
// would be longer than the file system allows, the stem is cut and a digest of it added (a-very-long~1b2c3d4e.~fits). The path may
// still name the same file afterwards, so it must then be replaced by a rename, never written in place. Returns
// the backup path, or an empty text when there is no file at the path (or the path is empty). Throws the refusals
// of CheckReplaceable (a link to a file is a file), and "Unable to rename file for backup:\n" + path when neither
// works.
std::string BackupExistingFile( const std::string& path );
// Refuses a path that a save must not replace: "Cannot overwrite something that is not a file:\n" + path for a
// folder, a device or a pipe named like an image, "Cannot overwrite a read-only file:\n" + path for a file the user
// may not write (whoever owns the folder, which would let the file be replaced by a rename) or whose owner may not.
// Nothing happens for an empty path or one where nothing exists.
void CheckReplaceable( const std::string& path );
// The first backup candidate of a path (its extension with a tilde in front), without looking at the disk.
std::string BackupFileName( const std::string& path );

// Whether the window's file keeps 32 or more bits per sample (FITS, TIFF and RAW files by their records).
bool HasHighBitDepthFile( const TImageWindow& window );

// ---- Clipboard ---------------------------------------------------------------------------------------------------

// Loads the private clipboard block (ClipboardImageHeader, then the float planes) into the image. The block is
// checked against its header before anything is read: width and height above 0, a known colour space, at least
// the colour space's channels and at most MaxClipboardChannels, and bytes for every sample. Throws
// "Invalid clipboard image data" otherwise; the image is left as it was.
constexpr int32_t MaxClipboardChannels = 1024;
void LoadImageFromClipboardBlock( qor::Image& image, const uint8_t* block, size_t size );

// Whether the clipboard offers an image: the private format, a bitmap, or any image Qt can read.
bool IsClipboardImageAvailable();

// A new window without a file for the clipboard's image: the private format when present, else a bitmap
// ("image/bmp", read by the program's own DIB reader), else any image Qt offers. Throws
// "No valid clipboard format was found" when there is none, and the readers' errors.
TImageWindow* NewImageWindowFromClipboard( QWidget* owner, const std::string& identifier );

#endif
