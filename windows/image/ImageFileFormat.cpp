#include "windows/image/ImageFileFormat.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QImage>
#include <QImageReader>
#include <QMimeData>

#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>

#include <fcntl.h> // AT_FDCWD
#include <unistd.h>

#include "classlib/ColorSpace.h"
#include "classlib/File.h"
#include "classlib/FileReplacement.h"
#include "formats/DIB.h"
#include "formats/FITS.h"
#include "formats/JPEG.h"
#include "formats/RAW.h"
#include "formats/TIFF.h"
#include "platform/ColorManagementSettings.h"
#include "platform/DialogRunner.h"
#include "platform/ICCProfile.h"
#include "platform/Prompter.h"
#include "process/Preferences.h"
#include "process/Process.h"
#include "support/FailureReport.h"
#include "support/ToolkitError.h"
#include "windows/dialogs/FITSOptionsDialog.h"
#include "windows/dialogs/JPEGOptionsDialog.h"
#include "windows/dialogs/RAWOptionsDialog.h"
#include "windows/dialogs/TIFFOptionsDialog.h"
#include "windows/image/Bitmaps.h"
#include "windows/image/ICCProfilePolicy.h"
#include "windows/image/ImageIdentifiers.h"
#include "windows/image/ImageWindow_ICM.h"
#include "windows/main/Application.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ProcessingStatusDialog.h"
#include "windows/processing/ProcessingWindow.h"

namespace fs = std::filesystem;

namespace
{

constexpr const char* SourceName = "windows/image/ImageFileFormat";

// ---- Extensions -------------------------------------------------------------------------------------------------------

std::string Lower( std::string text )
{
   for ( char& c : text )
      if ( c >= 'A' && c <= 'Z' )
         c = char( c - 'A' + 'a' );
   return text;
}

// The extension of the file name without its dot, in lower case; empty when there is none.
std::string ExtensionOf( const std::string& path )
{
   std::string e = fs::path( path ).extension().string();
   return e.empty() ? e : Lower( e.substr( 1 ) );
}

struct ExtensionEntry
{
   const char* extension;
   ImageFileFormat format;
};

// In the order the formats are tried.
constexpr std::array<ExtensionEntry, 9> Extensions{ { { "tif", TIFFImageFileFormat },
                                                      { "tiff", TIFFImageFileFormat },
                                                      { "fit", FITSImageFileFormat },
                                                      { "fits", FITSImageFileFormat },
                                                      { "fts", FITSImageFileFormat },
                                                      { "raw", RAWImageFileFormat },
                                                      { "jpg", JPEGImageFileFormat },
                                                      { "jpeg", JPEGImageFileFormat },
                                                      { "bmp", BMPImageFileFormat } } };

// ---- Failures ---------------------------------------------------------------------------------------------------------

[[noreturn]] void Cancel()
{
   throw ProcessRefusal( std::string() );
}

bool AskYes( const QString& caption, const QString& text )
{
   return platform::Ask( platform::Icon::Warning, caption, text, platform::Buttons::YesNo, platform::Answer::No ) ==
          platform::Answer::Yes;
}

[[noreturn]] void NotAvailableYet( ImageFileFormat format, const char* what, const std::string& path )
{
   throw ProcessRefusal( ImageFileFormatName( format ) + " files cannot be " + what +
                         " by this version of Lumenforge:\n" + path );
}

// ---- Writers --------------------------------------------------------------------------------------------------------

void WriteFITSFile( const ImageFileWriteRequest& r )
{
   WriteFITSInto( r.image, r.path, r.window.fitsOptions.get(), r.iccProfile, r.window.iptcInfo.get(),
                  &r.keywordsLeftOut );
}

void WriteTIFFFile( const ImageFileWriteRequest& r )
{
   WriteTIFF( r.image, r.path, r.window.tiffOptions.get(), r.iccProfile, r.window.iptcInfo.get() );
}

void WriteJPEGFile( const ImageFileWriteRequest& r )
{
   WriteJPEG( r.image, r.path, *r.window.jpegOptions, r.iccProfile, r.window.iptcInfo.get() );
}

// The header of the file being replaced is carried over when the description keeps it.
void WriteRAWFile( const ImageFileWriteRequest& r )
{
   WriteRAW( r.image, r.path, r.window.rawOptions.get(), r.formerPath );
}

std::map<ImageFileFormat, ImageFileWriter>& Writers()
{
   static std::map<ImageFileFormat, ImageFileWriter> writers{ { FITSImageFileFormat, &WriteFITSFile },
                                                              { TIFFImageFileFormat, &WriteTIFFFile },
                                                              { RAWImageFileFormat, &WriteRAWFile },
                                                              { JPEGImageFileFormat, &WriteJPEGFile } };
   return writers;
}

// ---- Files ------------------------------------------------------------------------------------------------------------

bool Exists( const std::string& path )
{
   std::error_code ec;
   return fs::exists( fs::symlink_status( path, ec ) );
}

// Renames without ever replacing a file that is already there. False with errno set on failure (EEXIST when the
// target exists).
bool RenameNoReplace( const std::string& from, const std::string& to )
{
   return ::renameat2( AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE ) == 0;
}

// The file a save replaces: the target of a symbolic link, so that the link stays and its file gets the new data.
std::string ResolvedTarget( const std::string& path )
{
   std::error_code ec;
   if ( !fs::is_symlink( path, ec ) )
      return path;
   const fs::path target = fs::canonical( path, ec );
   return ec ? path : target.string();
}

void RemoveQuietly( const std::string& path )
{
   std::error_code ignored;
   if ( !path.empty() )
      fs::remove( path, ignored );
}

// The system's refusal to make or replace the file, as the user is told of it.
[[noreturn]] void RefuseWrite( const std::string& path, const qor::File::Exception& x )
{
   const std::string reason = x.SystemErrorText();
   throw ProcessRefusal( "Unable to write file:\n" + path + ( reason.empty() ? std::string() : "\n" + reason ) );
}

// ---- Records for writing --------------------------------------------------------------------------------------------

// An image read from another format keeps the depth of its file when it is first saved as TIFF: floating point as
// 32-bit IEEE samples, integers of up to 8 or 16 bits as 8 or 16, wider integers as 32. The TIFF record of an image
// made in the program keeps its own values.
void TakeFileDepth( const TImageWindow& window, TIFFOptions& tiff )
{
   int32_t bits = 0;
   bool floatingPoint = false;
   switch ( window.fileFormat )
   {
   case FITSImageFileFormat:
      bits = window.fitsOptions->bitsPerSample;
      floatingPoint = window.fitsOptions->floatingPoint;
      break;
   case RAWImageFileFormat:
      bits = window.rawOptions->bitsPerSample;
      floatingPoint = window.rawOptions->floatingPoint;
      break;
   case JPEGImageFileFormat:
      bits = 8;
      break;
   default:
      return;
   }
   tiff.floatingPoint = floatingPoint;
   tiff.bitsPerSample = floatingPoint ? 32 : bits <= 8 ? 8 : bits <= 16 ? 16 : 32;
}

void PrepareRecords( TImageWindow& window, ImageFileFormat format, bool embed )
{
   switch ( format )
   {
   case TIFFImageFileFormat:
      if ( window.fileFormat != TIFFImageFileFormat )
         TakeFileDepth( window, *window.tiffOptions );
      window.tiffOptions->software = ApplicationTitle().toStdString();
      window.tiffOptions->xResolution = window.tiffOptions->yResolution = window.resolution;
      window.tiffOptions->metricResolution = window.metricResolution;
      window.tiffOptions->embedICCProfile = embed;
      break;
   case FITSImageFileFormat:
      window.fitsOptions->resolution = window.resolution;
      window.fitsOptions->metricResolution = window.metricResolution;
      window.fitsOptions->embedICCProfile = embed;
      break;
   case RAWImageFileFormat:
      window.rawOptions->width = window.image->Width();
      window.rawOptions->height = window.image->Height();
      window.rawOptions->channels = window.image->NumberOfChannels();
      window.rawOptions->colorSpace = window.image->GetColorSpace() == qor::ColorSpace::Gray ? 0 : 1;
      break;
   case JPEGImageFileFormat:
      window.jpegOptions->xResolution = window.jpegOptions->yResolution = window.resolution;
      window.jpegOptions->metricResolution = window.metricResolution;
      window.jpegOptions->embedICCProfile = embed;
      break;
   default:
      break;
   }
}

// ---- Clipboard ------------------------------------------------------------------------------------------------------

constexpr const char* BitmapMimeType = "image/bmp";

} // namespace

// ---- Dispatch ---------------------------------------------------------------------------------------------------------

namespace
{

ImageFileFormat FormatOfExtension( const std::string& path )
{
   const std::string e = ExtensionOf( path );
   for ( const ExtensionEntry& entry : Extensions )
      if ( e == entry.extension )
         return entry.format;
   return NoImageFileFormat;
}

} // namespace

ImageFileFormat InputFileFormat( const std::string& path )
{
   const ImageFileFormat format = FormatOfExtension( path );
   return format == NoImageFileFormat && IsCompressedFITSName( path ) ? FITSImageFileFormat : format;
}

ImageFileFormat OutputFileFormat( const std::string& path )
{
   ImageFileFormat f = InputFileFormat( path );
   return f == BMPImageFileFormat || IsCompressedFITSName( path ) ? NoImageFileFormat : f;
}

bool IsCompressedFITSName( const std::string& path )
{
   return ExtensionOf( path ) == "gz" &&
          FormatOfExtension( fs::path( path ).replace_extension().string() ) == FITSImageFileFormat;
}

std::string ImageFileFormatName( ImageFileFormat format )
{
   switch ( format )
   {
   case FITSImageFileFormat:
      return "FITS";
   case TIFFImageFileFormat:
      return "TIFF";
   case RAWImageFileFormat:
      return "RAW";
   case BMPImageFileFormat:
      return "BMP";
   case JPEGImageFileFormat:
      return "JPEG";
   default:
      return std::string();
   }
}

// ---- Reading ----------------------------------------------------------------------------------------------------------

void ReadImageFile( qor::Image& image, const std::string& path, ImageFileData& data )
{
   const ImageFileFormat format = InputFileFormat( path );
   qor::Image result;
   std::unique_ptr<std::vector<uint8_t>> profile;
   std::unique_ptr<FITSOptions> fits;
   std::unique_ptr<TIFFOptions> tiff;
   std::unique_ptr<RAWOptions> raw;
   std::unique_ptr<JPEGOptions> jpeg;
   std::unique_ptr<qor::IPTCPhotoInfo> iptc;
   std::vector<std::string> warnings; // what the reader left out of a file that opened
   // Every reader gets a plain file: a pipe named like an image would block the program until someone wrote to it.
   if ( format != NoImageFileFormat )
      qor::File::RequireFile( path );
   {
      StatusMonitorScope monitor( result );
      switch ( format )
      {
      case FITSImageFileFormat:
         // Into copies, so that the data change only with a complete read.
         fits = std::make_unique<FITSOptions>( data.fitsOptions != nullptr ? *data.fitsOptions : FITSOptions() );
         iptc = std::make_unique<qor::IPTCPhotoInfo>();
         ReadFITS( result, path, *fits, profile, iptc.get() );
         break;
      case BMPImageFileFormat:
      {
         QImageReader reader( QString::fromStdString( path ) );
         QImage bitmap = reader.read();
         if ( bitmap.isNull() )
            throw ToolkitError( "Unable to read the bitmap file:\n" + path + "\n" + reader.errorString().toStdString() );
         LoadImageFromBitmap( result, bitmap );
         break;
      }
      case TIFFImageFileFormat:
         tiff = std::make_unique<TIFFOptions>( data.tiffOptions != nullptr ? *data.tiffOptions : TIFFOptions() );
         iptc = std::make_unique<qor::IPTCPhotoInfo>();
         ReadTIFF( result, path, tiff.get(), &profile, iptc.get(), &warnings );
         break;
      case RAWImageFileFormat:
      {
         // Nothing in the file describes it: the user does, every time.
         raw = std::make_unique<RAWOptions>( data.rawOptions != nullptr ? *data.rawOptions : RAWOptions() );
         TRAWFileOptionsDialog dialog( MainWindow, path, *raw );
         if ( dialog.ShowModal() != QDialog::Accepted || dialog.inputError )
            Cancel();
         ReadRAW( result, path, raw.get() );
         break;
      }
      case JPEGImageFileFormat:
         jpeg = std::make_unique<JPEGOptions>( data.jpegOptions != nullptr ? *data.jpegOptions : JPEGOptions() );
         iptc = std::make_unique<qor::IPTCPhotoInfo>();
         ReadJPEG( result, path, jpeg.get(), &profile, iptc.get(), &warnings );
         break;
      default:
         throw ProcessRefusal( "Unsupported/unknown input file type:\n" + path );
      }
   }

   if ( !warnings.empty() )
   {
      QString text;
      for ( const std::string& w : warnings )
         text += ( text.isEmpty() ? "" : "\n\n" ) + QString::fromStdString( w );
      platform::ShowMessage( platform::Icon::Warning, ApplicationTitle(), text );
   }

   bool colorManagementOn = true;
   bool converted = false;
   ApplyICCProfilePolicy( result, path, profile, colorManagementOn, converted );
   image.Transfer( result );
   data.format = format;
   data.iccProfile = std::move( profile );
   data.colorManagementOn = colorManagementOn;
   data.converted = converted;
   if ( fits != nullptr )
      data.fitsOptions = std::move( fits );
   if ( tiff != nullptr )
      data.tiffOptions = std::move( tiff );
   if ( raw != nullptr )
      data.rawOptions = std::move( raw );
   if ( jpeg != nullptr )
      data.jpegOptions = std::move( jpeg );
   if ( iptc != nullptr )
      data.iptcInfo = std::move( iptc );
}

TImageWindow* OpenImageFile( QWidget* owner, const std::string& path, bool asCopy, const std::string& identifier )
{
   try
   {
      // A copy is asked for knowingly: only a second plain opening of a file is questioned.
      if ( !asCopy && FindMainViewByFilePath( path ) != nullptr &&
           !AskYes( "Lumenforge - Reopen Warning", "The image file:\n" + QString::fromStdString( path ) +
                                                       "\nis already open. Open it again in a new window?" ) )
         return nullptr;

      auto image = std::make_unique<qor::Image>();
      ImageFileData data;
      ReadImageFile( *image, path, data );

      auto* window = new TImageWindow( owner, asCopy, data.iptcInfo.release(), data.jpegOptions.release(),
                                       data.rawOptions.release(), data.fitsOptions.release(),
                                       data.tiffOptions.release(), data.iccProfile.release(), path, identifier,
                                       image.release() );
      window->fileFormat = data.format;
      window->colorManagementEnabled = data.colorManagementOn;
      if ( data.converted )
         ++window->modificationCount;
      window->SetIcons();
      window->UpdateCaption();
      window->ShowAndActivate();
      NotifyViewCreated( *window->mainView );
      return window;
   }
   catch ( ... )
   {
      ReportCaughtFailure( SourceName, __LINE__ );
      return nullptr;
   }
}

RevertOutcome RevertImageWindow( TImageWindow& window )
{
   if ( window.filePath.empty() )
      return RevertOutcome::NoFile;
   try
   {
      if ( !Exists( window.filePath ) )
         throw ProcessRefusal( "Cannot revert: original file does not exist:\n" + window.filePath );

      // Read first: until the file has been read completely nothing of the window is touched.
      qor::Image fresh;
      ImageFileData data;
      data.fitsOptions = std::make_unique<FITSOptions>( *window.fitsOptions );
      data.rawOptions = std::make_unique<RAWOptions>( *window.rawOptions );
      ReadImageFile( fresh, window.filePath, data );

      window.SetMask( nullptr );
      window.ReleaseMaskReferences();
      window.DeleteAllPreviews();
      window.DeleteICCProfile( false );
      window.mainView->DiscardHistograms( false );
      window.mainView->DiscardStatistics( false );

      window.image->Transfer( fresh );
      window.fileFormat = data.format;
      window.iccProfile = std::move( data.iccProfile );
      window.colorManagementEnabled = data.colorManagementOn;
      if ( data.fitsOptions != nullptr )
         window.fitsOptions = std::move( data.fitsOptions );
      if ( data.rawOptions != nullptr )
         window.rawOptions = std::move( data.rawOptions );
      if ( data.tiffOptions != nullptr )
         window.tiffOptions = std::move( data.tiffOptions );
      if ( data.jpegOptions != nullptr )
         window.jpegOptions = std::move( data.jpegOptions );
      if ( data.iptcInfo != nullptr )
         window.iptcInfo = std::move( data.iptcInfo );

      window.SetDisplayChannel( 0 );
      window.modificationCount = data.converted ? 1 : 0;
      // The undo data belong to the pixels just replaced: their swap files go too.
      window.PurgeUndo();
      window.mainView->ClearHistory();
      window.UpdateDisplayTransform();
      window.SetZoom( window.currentView->zoom );
      window.UpdateCaption();
      window.RedrawImage();
      NotifyViewUpdated( *window.mainView );
      return RevertOutcome::Reverted;
   }
   catch ( ... )
   {
      return ReportCaughtFailure( SourceName, __LINE__ ) ? RevertOutcome::Cancelled : RevertOutcome::Failed;
   }
}

// ---- Writing ----------------------------------------------------------------------------------------------------------

bool ConfirmFormatLosses( const TImageWindow& window, ImageFileFormat format, bool& dropAlpha )
{
   dropAlpha = false;
   const bool fitsKeywords = window.fileFormat == FITSImageFileFormat || !window.fitsOptions->keywords.IsEmpty();
   switch ( format )
   {
   case TIFFImageFileFormat:
      return !fitsKeywords ||
             AskYes( "Lumenforge - TIFF Format Warning", "FITS header keywords cannot be embedded in TIFF files.\n"
                                                         "Existing data will not be written to disk. Continue?" );
   case RAWImageFileFormat:
      return ( window.fileFormat == RAWImageFileFormat && window.fitsOptions->keywords.IsEmpty() &&
               window.iptcInfo->IsEmpty() && window.iccProfile == nullptr ) ||
             AskYes( "Lumenforge - RAW Format Warning",
                     "Information such as FITS header keywords, IPTC Photo Info data, ICC profiles, etc., cannot be "
                     "embedded in RAW files.\nExisting data will not be written to disk. Continue?" );
   case JPEGImageFileFormat:
      if ( window.image->NumberOfAlphaChannels() > 0 )
      {
         if ( !AskYes( "Lumenforge - JPEG Format Warning", "Alpha channels are not supported by the JPEG format.\n"
                                                           "Data in these channels will be permanently lost. "
                                                           "Continue?" ) )
            return false;
         dropAlpha = true;
      }
      return !fitsKeywords ||
             AskYes( "Lumenforge - JPEG Format Warning", "FITS header keywords cannot be embedded in JPEG files.\n"
                                                         "Existing data will not be written to disk. Continue?" );
   default:
      return true;
   }
}

namespace
{

// The end of an options dialog: false unless it closed with OK and no rejected entry; a change counts as a
// modification of the window.
bool Counted( TImageWindow& window, int result, bool inputError, int32_t changedCount )
{
   if ( result != QDialog::Accepted || inputError )
      return false;
   if ( changedCount != 0 )
      ++window.modificationCount;
   return true;
}

} // namespace

bool EditImageFileOptions( TImageWindow& window, ImageFileFormat format )
{
   switch ( format )
   {
   case FITSImageFileFormat:
   {
      const EmbedICCProfileChoice choice = GetEmbedICCProfileChoice( &window );
      TFITSFileOptionsDialog::EmbedICCProfileSetup embed;
      embed.enabled = choice.enabled;
      embed.checked = choice.checked;
      embed.hint = QString::fromStdString( choice.description );
      TFITSFileOptionsDialog dialog( MainWindow, *window.fitsOptions, embed );
      if ( platform::DialogRunner::exec( dialog ) != QDialog::Accepted )
         return false;
      if ( dialog.ChangedCount() != 0 )
         ++window.modificationCount;
      return true;
   }
   case TIFFImageFileFormat:
   {
      TTIFFFileOptionsDialog dialog( MainWindow, &window, *window.tiffOptions );
      return Counted( window, dialog.ShowModal(), dialog.inputError, dialog.ChangedCount() );
   }
   case JPEGImageFileFormat:
   {
      TJPEGFileOptionsDialog dialog( MainWindow, &window, *window.jpegOptions );
      return Counted( window, dialog.ShowModal(), dialog.inputError, dialog.ChangedCount() );
   }
   case RAWImageFileFormat:
   {
      // The description of the file to write; not a change of the image.
      TRAWFileOptionsDialog dialog( MainWindow, *window.image, *window.rawOptions );
      return Counted( window, dialog.ShowModal(), dialog.inputError, 0 );
   }
   default:
      return true;
   }
}

std::string BackupFileName( const std::string& path )
{
   fs::path p( path );
   const std::string e = p.extension().string();
   return p.replace_extension( ".~" + ( e.empty() ? e : e.substr( 1 ) ) ).string();
}

// Refuses a path that names something a save must not replace: a folder named like an image, a device or a pipe
// stays where and what it is, and a read-only file is not overwritten.
void CheckReplaceable( const std::string& path )
{
   if ( path.empty() || !Exists( path ) )
      return;
   std::error_code ec;
   if ( !fs::is_regular_file( path, ec ) )
      throw ProcessRefusal( "Cannot overwrite something that is not a file:\n" + path );
   // A save replaces the file by a rename, which the folder's rights allow whoever owns the file: the file's own
   // rights must allow this user to write it. Its owner's write permission counts too, as root may write anything.
   const fs::perms perms = fs::status( path, ec ).permissions();
   if ( ( !ec && ( perms & fs::perms::owner_write ) == fs::perms::none ) ||
        ::faccessat( AT_FDCWD, path.c_str(), W_OK, AT_EACCESS ) != 0 )
      throw ProcessRefusal( "Cannot overwrite a read-only file:\n" + path );
}

std::string BackupExistingFile( const std::string& path )
{
   if ( path.empty() || !Exists( path ) )
      return std::string();
   CheckReplaceable( path );

   // Each name taken adds a tilde: a.~fits, a.~~fits, ... The backup is a second name of the former file, so the
   // path keeps naming a whole file until the new one replaces it in one rename; where the file system has no
   // second names, the former file is renamed. Neither ever replaces a file, so a backup made meanwhile by someone
   // else is never lost. A name that would be longer than the file system allows keeps its extension with the tildes
   // and the beginning of its stem, followed by a digest of the whole stem, so that it stays recognisable and apart
   // from the backups of other long names.
   const fs::path p( path );
   const std::string extension = p.extension().empty() ? std::string() : p.extension().string().substr( 1 );
   const std::string stem = p.stem().string();
   const size_t limit = qor::FileReplacement::NameLimit( p.parent_path().empty() ? "." : p.parent_path().string() );
   for ( size_t tildes = 1;; ++tildes )
   {
      const std::string ending = "." + std::string( tildes, '~' ) + extension;
      const std::string candidate =
          ( p.parent_path() / ( qor::FileReplacement::Shortened( stem, limit > ending.size() ? limit - ending.size() : 0 ) +
                                ending ) )
              .string();
      if ( !Exists( candidate ) )
      {
         if ( ::link( path.c_str(), candidate.c_str() ) == 0 || ( errno != EEXIST && RenameNoReplace( path, candidate ) ) )
            return candidate;
         if ( errno != EEXIST )
            throw ProcessRefusal( "Unable to rename file for backup:\n" + path );
      }
   }
}

namespace
{

void WarnOfKeywordsLeftOut( const std::vector<std::string>& names )
{
   if ( names.empty() )
      return;
   QString list;
   for ( const std::string& n : names )
      list += ( list.isEmpty() ? "" : ", " ) + QString::fromStdString( n );
   platform::ShowMessage( platform::Icon::Warning, "Lumenforge - FITS Format Warning",
                          "These header keywords cannot be stored in a FITS file and were left out:\n" + list );
}

} // namespace

bool SaveImageWindow( TImageWindow& window, const std::string& path, bool showOptions )
{
   std::string target; // the file written: the path, or the file its symbolic link names
   std::string backupPath;
   std::vector<std::string> keywordsLeftOut;
   bool dropAlpha = false;
   ImageFileFormat format = NoImageFileFormat;
   try
   {
      format = OutputFileFormat( path );
      if ( IsCompressedFITSName( path ) )
         throw ProcessRefusal( "Compressed FITS files are not written; save the image under a name ending in .fits "
                               "(Save As):\n" + path );
      if ( format == NoImageFileFormat )
         throw ProcessRefusal( "Unsupported/unknown output file type:\n" + path );
      auto writer = Writers().find( format );
      if ( writer == Writers().end() || !writer->second )
         NotAvailableYet( format, "written", path );

      if ( !ConfirmFormatLosses( window, format, dropAlpha ) )
         Cancel();

      // The window's own profile, else the default profile of the image's colour type, which is embedded when
      // profiles are embedded by default.
      const std::vector<uint8_t>* profile = ICCProfileDataToEmbed( window );
      const bool embed = window.iccProfile != nullptr || ColorManagementSettings.DefaultProfileEmbedding;
      PrepareRecords( window, format, embed );
      if ( showOptions && !EditImageFileOptions( window, format ) )
         Cancel();

      // The new file is written under a temporary name first; the former file keeps its name until the new one
      // is complete and on the disk, and the writer may read it (a format that carries a header over from it).
      target = ResolvedTarget( path );
      CheckReplaceable( target );
      const std::string former = Exists( target ) ? target : std::string();
      std::optional<qor::FileReplacement> replacement;
      try
      {
         replacement.emplace( target );
      }
      catch ( const qor::File::Exception& x )
      {
         RefuseWrite( path, x );
      }

      std::unique_ptr<qor::Image> withoutAlpha;
      if ( dropAlpha )
      {
         withoutAlpha = std::make_unique<qor::Image>( *window.image );
         withoutAlpha->DeleteAlphaChannels();
      }
      const qor::Image& pixels = withoutAlpha != nullptr ? *withoutAlpha : *window.image;
      {
         StatusMonitorScope monitor( pixels );
         writer->second(
             ImageFileWriteRequest{ pixels, replacement->TemporaryPath(), window, profile, former, keywordsLeftOut } );
      }
      if ( !Exists( replacement->TemporaryPath() ) )
         throw ProcessRefusal( "Unable to write file:\n" + path );
      // Only a backup the user wants is ever made: one made and removed afterwards would stay when the program
      // were stopped in between.
      if ( CurrentPreferences.imageWindow.backupFiles )
         backupPath = BackupExistingFile( target );
      try
      {
         replacement->Commit();
      }
      catch ( const qor::File::Exception& x )
      {
         RefuseWrite( path, x );
      }
   }
   catch ( ... )
   {
      // Nothing half-written stays behind (the replacement has removed it), and the former file has its name (a
      // backup that is its second name goes).
      std::error_code ec;
      if ( !backupPath.empty() && Exists( backupPath ) )
      {
         if ( Exists( target ) && fs::equivalent( backupPath, target, ec ) )
            RemoveQuietly( backupPath );
         else
            std::rename( backupPath.c_str(), target.c_str() );
      }
      ReportCaughtFailure( SourceName, __LINE__ );
      // The writer has already given the window the header as written, without these.
      WarnOfKeywordsLeftOut( keywordsLeftOut );
      return false;
   }

   // The user accepted losing the alpha channels with the format: the window now shows what the file holds.
   if ( dropAlpha )
      window.image->DeleteAlphaChannels();
   window.filePath = path;
   window.fileFormat = format;
   window.SetIcons();
   window.UpdateCaption();
   window.PurgeUndo();
   window.modificationCount = 0;
   NotifyViewSaved( *window.mainView );
   WarnOfKeywordsLeftOut( keywordsLeftOut );
   return true;
}

ImageFileWriterScope::ImageFileWriterScope( ImageFileFormat format, ImageFileWriter writer )
   : format( format ), previous( Writers()[format] )
{
   Writers()[format] = std::move( writer );
}

ImageFileWriterScope::~ImageFileWriterScope()
{
   if ( previous )
      Writers()[format] = std::move( previous );
   else
      Writers().erase( format );
}

bool HasHighBitDepthFile( const TImageWindow& window )
{
   switch ( window.fileFormat )
   {
   case FITSImageFileFormat:
      return window.fitsOptions->bitsPerSample >= 32;
   case TIFFImageFileFormat:
      return window.tiffOptions->bitsPerSample >= 32;
   case RAWImageFileFormat:
      return window.rawOptions->bitsPerSample >= 32;
   default:
      return false;
   }
}

// ---- Clipboard --------------------------------------------------------------------------------------------------------

void LoadImageFromClipboardBlock( qor::Image& image, const uint8_t* block, size_t size )
{
   auto refuse = []() { throw ProcessRefusal( "Invalid clipboard image data" ); };
   if ( block == nullptr || size < sizeof( ClipboardImageHeader ) )
      refuse();
   ClipboardImageHeader header;
   std::memcpy( &header, block, sizeof( header ) );
   if ( header.width <= 0 || header.height <= 0 || !qor::ColorSpace::IsValid( header.colorSpace ) ||
        header.numberOfChannels < qor::ColorSpace::NumberOfNominalChannels( header.colorSpace ) ||
        header.numberOfChannels > MaxClipboardChannels )
      refuse();

   // Every sample must be there: width x height x channels floats after the header (checked without overflow).
   const uint64_t samples = ( size - sizeof( header ) ) / sizeof( float );
   const uint64_t perPlane = samples / uint64_t( header.numberOfChannels );
   if ( uint64_t( header.width ) > perPlane || uint64_t( header.height ) > perPlane / uint64_t( header.width ) )
      refuse();

   qor::Image result( header.width, header.height, header.numberOfChannels, header.colorSpace );
   const size_t planeBytes = size_t( result.NumberOfPixels() ) * sizeof( float );
   const uint8_t* in = block + sizeof( header );
   for ( int32_t c = 0; c < header.numberOfChannels; ++c, in += planeBytes )
      std::memcpy( result.PixelData( c ), in, planeBytes );
   image.Transfer( result );
}

bool IsClipboardImageAvailable()
{
   const QClipboard* clipboard = QGuiApplication::clipboard();
   const QMimeData* data = clipboard != nullptr ? clipboard->mimeData() : nullptr;
   return data != nullptr && ( data->hasFormat( TMainWindow::rawImageClipboardFormat ) ||
                               data->hasFormat( BitmapMimeType ) || data->hasImage() );
}

TImageWindow* NewImageWindowFromClipboard( QWidget* owner, const std::string& identifier )
{
   const QClipboard* clipboard = QGuiApplication::clipboard();
   if ( clipboard == nullptr )
      throw ProcessRefusal( "Unable to open the clipboard" );
   const QMimeData* data = clipboard->mimeData();

   auto image = std::make_unique<qor::Image>();
   if ( data != nullptr && data->hasFormat( TMainWindow::rawImageClipboardFormat ) )
   {
      const QByteArray bytes = data->data( TMainWindow::rawImageClipboardFormat );
      LoadImageFromClipboardBlock( *image, reinterpret_cast<const uint8_t*>( bytes.constData() ),
                                   size_t( bytes.size() ) );
   }
   else if ( data != nullptr && data->hasFormat( BitmapMimeType ) )
   {
      const QByteArray bytes = data->data( BitmapMimeType );
      StatusMonitorScope monitor( *image );
      LoadImageFromBMPData( *image, reinterpret_cast<const uint8_t*>( bytes.constData() ), size_t( bytes.size() ) );
   }
   else if ( data != nullptr && data->hasImage() )
   {
      StatusMonitorScope monitor( *image );
      LoadImageFromBitmap( *image, qvariant_cast<QImage>( data->imageData() ) );
   }
   else
      throw ProcessRefusal( "No valid clipboard format was found" );

   TImageWindow* window = CreateImageWindow( owner, image.release(), identifier );
   window->ShowAndActivate();
   return window;
}
