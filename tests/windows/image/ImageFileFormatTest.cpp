// The image file dispatch: formats by extension, opening, reverting and saving through the image windows, the
// backups and their restore when a write fails, and the clipboard images.

#include <gtest/gtest.h>

#include <QBuffer>
#include <QCheckBox>
#include <QDialog>
#include <QImage>
#include <QMimeData>
#include <QPushButton>

#include <algorithm>
#include <atomic>
#include <cstring>
#include <filesystem>
#include <thread>

#include <lcms2.h>
#include <zlib.h>
#include <grp.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include "ImageFileTestSupport.h"
#include "classlib/ColorSpace.h"
#include "classlib/FileReplacement.h"
#include "platform/ColorManagementSettings.h"
#include "platform/ICCProfile.h"
#include "process/Maskable.h"
#include "process/Process.h"
#include "process/ProcessIconSetModule.h"
#include "windows/image/ImageFileFormat.h"
#include "windows/image/ImageIdentifiers.h"
#include "windows/image/ImageWindow_ICM.h"
#include "windows/processing/NotificationRecorder.h"
#include "windows/processing/ProcessingStatusDialog.h"

namespace fs = std::filesystem;
using test::ImageFileTest;

namespace
{

// The text of the refusal a call throws ("" when it throws none).
template <typename F> std::string RefusalOf( F call )
{
   try
   {
      call();
   }
   catch ( const ProcessRefusal& x )
   {
      return x.what();
   }
   return std::string();
}

QByteArray ClipboardBlock( int32_t w, int32_t h, int32_t channels, int32_t colorSpace, int64_t samples )
{
   QByteArray block( qsizetype( 16 + 4 * samples ), '\0' );
   const int32_t header[4] = { w, h, channels, colorSpace };
   std::memcpy( block.data(), header, 16 );
   for ( int64_t i = 0; i < samples; ++i )
   {
      const float v = float( i ) / 8;
      std::memcpy( block.data() + 16 + 4 * i, &v, 4 );
   }
   return block;
}

void PutOnClipboard( const QString& format, const QByteArray& bytes, QMimeData* data = nullptr )
{
   if ( data == nullptr )
      data = new QMimeData;
   data->setData( format, bytes );
   QGuiApplication::clipboard()->setMimeData( data );
}

const QString RawFormat = "application/x-lumenforge-raw-image";

} // namespace

// ---- Dispatch -------------------------------------------------------------------------------------------------------

TEST( ImageFileFormatTest, FormatsAreChosenByExtensionWithoutRegardToCase )
{
   struct Case
   {
      const char* path;
      ImageFileFormat read;
      ImageFileFormat write;
   };
   const Case cases[] = {
      { "/a/photo.JPG", JPEGImageFileFormat, JPEGImageFileFormat },
      { "/a/Photo.Jpeg", JPEGImageFileFormat, JPEGImageFileFormat },
      { "x.tif", TIFFImageFileFormat, TIFFImageFileFormat },
      { "x.TIFF", TIFFImageFileFormat, TIFFImageFileFormat },
      { "m31.fit", FITSImageFileFormat, FITSImageFileFormat },
      { "m31.FITS", FITSImageFileFormat, FITSImageFileFormat },
      { "m31.fts", FITSImageFileFormat, FITSImageFileFormat },
      { "data.raw", RAWImageFileFormat, RAWImageFileFormat },
      { "image.bmp", BMPImageFileFormat, NoImageFileFormat },
      { "noextension", NoImageFileFormat, NoImageFileFormat },
      { "dir.fits/file", NoImageFileFormat, NoImageFileFormat },
      { "picture.png", NoImageFileFormat, NoImageFileFormat },
      { "archive.fits.gz", FITSImageFileFormat, NoImageFileFormat },
      { "archive.FIT.GZ", FITSImageFileFormat, NoImageFileFormat },
      { "archive.tif.gz", NoImageFileFormat, NoImageFileFormat },
      { "archive.gz", NoImageFileFormat, NoImageFileFormat },
   };
   for ( const Case& c : cases )
   {
      EXPECT_EQ( InputFileFormat( c.path ), c.read ) << c.path;
      EXPECT_EQ( OutputFileFormat( c.path ), c.write ) << c.path;
   }
}

TEST_F( ImageFileTest, UnknownFormatsAreRefusedWithTheirText )
{
   qor::Image image( 2, 2 );
   image.Fill( 0, 0.5f );
   const std::string noExtension = folder.File( "noextension" );
   WriteText( noExtension, "data" );
   ImageFileData data;
   EXPECT_EQ( RefusalOf( [&]() { ReadImageFile( image, noExtension, data ); } ),
              "Unsupported/unknown input file type:\n" + noExtension );
   EXPECT_EQ( image.Pixel( 1, 1 ), 0.5f );
   EXPECT_EQ( data.format, NoImageFileFormat );
}

// ---- Opening --------------------------------------------------------------------------------------------------------

TEST_F( ImageFileTest, OpeningAFITSFileMakesAWindowWithItsPixelsAndAReopenButNotACopyIsAskedFirst )
{
   std::unique_ptr<qor::Image> pattern( Pattern( 5, 3, 3, qor::ColorSpace::RGB ) );
   const std::string path = folder.File( "m42.fits" );
   WriteFloatFITS( *pattern, path );

   TImageWindow* w = OpenImageFile( nullptr, path, false, "" );
   ASSERT_NE( w, nullptr );
   EXPECT_EQ( w->filePath, path );
   EXPECT_EQ( w->fileFormat, FITSImageFileFormat );
   EXPECT_FALSE( w->isCopy );
   EXPECT_EQ( w->modificationCount, 0 );
   EXPECT_EQ( w->mainView->Identifier(), "Image01" );
   EXPECT_TRUE( SamePixels( *w->image, *pattern ) );
   EXPECT_EQ( w->fitsOptions->bitsPerSample, 32 );

   // Already open: No opens nothing; Yes opens it in a second window.
   prompter.Expect( { "The image file:\n" + QString::fromStdString( path ) +
                          "\nis already open. Open it again in a new window?",
                      {},
                      QString( "Lumenforge - Reopen Warning" ),
                      platform::Icon::Warning,
                      platform::Answer::No } );
   EXPECT_EQ( OpenImageFile( nullptr, path, false, "" ), nullptr );
   EXPECT_EQ( MainViewList.size(), 1u );
   prompter.Expect( "is already open", platform::Answer::Yes );
   ASSERT_NE( OpenImageFile( nullptr, path, false, "Again" ), nullptr );

   // A copy is what Open a Copy asks for: nothing is asked.
   TImageWindow* copy = OpenImageFile( nullptr, path, true, "Copy" );
   ASSERT_NE( copy, nullptr );
   EXPECT_TRUE( copy->isCopy );
   EXPECT_EQ( copy->mainView->Identifier(), "Copy" );
   EXPECT_EQ( MainViewList.size(), 3u );
}

// A gzip-compressed FITS file opens under its own name, with the pixels of the file it holds; it is not written
// compressed, so a Save under its name is refused and says what to do instead.
TEST_F( ImageFileTest, ACompressedFITSFileOpensUnderItsOwnNameAndIsNotOverwritten )
{
   std::unique_ptr<qor::Image> pattern( Pattern( 5, 3, 3, qor::ColorSpace::RGB ) );
   WriteFloatFITS( *pattern, folder.File( "m42.fits" ) );
   const std::string plain = Contents( folder.File( "m42.fits" ) );
   const std::string path = folder.File( "m42.fits.gz" );
   gzFile gz = gzopen( path.c_str(), "wb" );
   ASSERT_NE( gz, nullptr );
   ASSERT_EQ( gzwrite( gz, plain.data(), unsigned( plain.size() ) ), int( plain.size() ) );
   ASSERT_EQ( gzclose( gz ), Z_OK );

   TImageWindow* w = OpenImageFile( nullptr, path, false, "" );
   ASSERT_NE( w, nullptr );
   EXPECT_EQ( w->filePath, path );
   EXPECT_EQ( w->fileFormat, FITSImageFileFormat );
   EXPECT_TRUE( w->windowTitle().endsWith( "m42.fits.gz" ) ) << w->windowTitle().toStdString();
   EXPECT_TRUE( SamePixels( *w->image, *pattern ) );

   const std::string before = Contents( path );
   w->image->Fill( 0, 0.5f );
   prompter.Expect( "Compressed FITS files are not written; save the image under a name ending in .fits (Save As):\n" +
                    QString::fromStdString( path ) );
   EXPECT_FALSE( SaveImageWindow( *w, path, false ) );
   EXPECT_EQ( Contents( path ), before );
}

TEST_F( ImageFileTest, AFileThatFailsToOpenIsReportedAndMakesNoWindow )
{
   const std::string path = folder.File( "broken.fits" );
   WriteText( path, std::string( 2880, 'x' ) );
   prompter.Expect( { "FITS Support", {}, {}, platform::Icon::Warning, platform::Answer::Ok } );
   EXPECT_EQ( OpenImageFile( nullptr, path, false, "" ), nullptr );
   EXPECT_TRUE( MainViewList.empty() );

   const std::string tiff = folder.File( "scan.TIF" );
   WriteText( tiff, "II*" );
   prompter.Expect( { "TIFF Support:\nUnable to open TIFF file", {}, {}, platform::Icon::Warning, platform::Answer::Ok } );
   EXPECT_EQ( OpenImageFile( nullptr, tiff, false, "" ), nullptr );
}

TEST_F( ImageFileTest, BitmapsOpenThroughTheToolkitAndCannotBeSavedUnderTheirName )
{
   QImage grey( 3, 2, QImage::Format_Grayscale8 );
   grey.fill( 51 );
   const std::string path = folder.File( "image.bmp" );
   ASSERT_TRUE( grey.save( QString::fromStdString( path ), "BMP" ) );

   TImageWindow* w = OpenImageFile( nullptr, path, false, "" );
   ASSERT_NE( w, nullptr );
   EXPECT_EQ( w->fileFormat, BMPImageFileFormat );
   EXPECT_EQ( w->image->NumberOfChannels(), 1 );
   EXPECT_FLOAT_EQ( w->image->Pixel( 2, 1 ), 0.2f );

   const std::string before = Contents( path );
   prompter.Expect( "Unsupported/unknown output file type:\n" + QString::fromStdString( path ) );
   EXPECT_FALSE( SaveImageWindow( *w, path, false ) );
   EXPECT_EQ( Contents( path ), before );
}

// A pipe named like any file the program reads is refused before a byte is read, with a message naming it: the
// readers would otherwise wait for a writer for ever. (A writer keeps the pipe answering while the test runs, so that
// a reader that opens it anyway meets an empty stream and fails instead of hanging the test.)
TEST_F( ImageFileTest, PipesNamedLikeFilesAreRefusedBeforeAnyReaderWaitsOnThem )
{
   const char* names[] = { "pipe.tif", "pipe.jpg", "pipe.bmp", "pipe.raw", "pipe.fits", "pipe.lf-psm" };
   for ( const char* name : names )
      ASSERT_EQ( ::mkfifo( folder.File( name ).c_str(), 0600 ), 0 );
   std::atomic<bool> done = false;
   std::thread writer(
       [&]
       {
          while ( !done )
             for ( const char* name : names )
             {
                const int fd = ::open( folder.File( name ).c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC );
                if ( fd >= 0 )
                   ::close( fd );
             }
       } );

   for ( const char* name : names )
   {
      SCOPED_TRACE( name );
      const std::string path = folder.File( name );
      if ( InputFileFormat( path ) == NoImageFileFormat )
      {
         ProcessIconSetModule module;
         EXPECT_THROW( module.Read( path ), qor::File::NotAFile );
         continue;
      }
      // No RAW description dialog either: the file is refused first.
      prompter.Expect( { "File I/O Error:\nCannot open something that is not a file:\n" + QString::fromStdString( path ),
                         {},
                         {},
                         platform::Icon::Warning,
                         platform::Answer::Ok } );
      EXPECT_EQ( OpenImageFile( nullptr, path, false, "" ), nullptr );
   }
   EXPECT_TRUE( MainViewList.empty() );
   done = true;
   writer.join();
}

// ---- Reverting ------------------------------------------------------------------------------------------------------

TEST_F( ImageFileTest, RevertReadsTheFileAgainAndDropsPreviewsHistoryAndSwapFiles )
{
   std::unique_ptr<qor::Image> pattern( Pattern( 8, 6 ) );
   const std::string path = folder.File( "flat.fit" );
   WriteFloatFITS( *pattern, path );
   TImageWindow* w = OpenImageFile( nullptr, path, false, "" );
   ASSERT_NE( w, nullptr );

   w->image->Fill( 0, 0.75f );
   w->mainView->Modified( false );
   w->CreatePreview( "", 1, 1, 4, 4 );
   w->mainView->CalculateHistograms( 256, false );
   ASSERT_FALSE( w->swapFilePath.empty() );
   WriteText( w->swapFilePath, "undo data" );
   w->undoAvailable = true;

   EXPECT_EQ( RevertImageWindow( *w ), RevertOutcome::Reverted );
   EXPECT_TRUE( SamePixels( *w->image, *pattern ) );
   EXPECT_EQ( w->modificationCount, 0 );
   EXPECT_TRUE( w->previews.empty() );
   EXPECT_EQ( w->currentView, w->mainView );
   EXPECT_EQ( w->mainView->Histograms(), nullptr );
   EXPECT_FALSE( w->undoAvailable );
   EXPECT_FALSE( fs::exists( w->swapFilePath ) );
}

TEST_F( ImageFileTest, RevertOfAFileThatIsGoneIsReportedAndLeavesTheWindowAlone )
{
   const std::string path = folder.File( "gone.fits" );
   TImageWindow* w = OpenAndEdit( path );
   ASSERT_NE( w, nullptr );
   fs::remove( path );

   prompter.Expect( "Cannot revert: original file does not exist:\n" + QString::fromStdString( path ) );
   EXPECT_EQ( RevertImageWindow( *w ), RevertOutcome::Failed );
   EXPECT_EQ( w->image->Pixel( 3, 3 ), 0.1f );
   EXPECT_EQ( w->previews.size(), 1u );

   TImageWindow* pasted = CreateImageWindow( nullptr, Pattern( 2, 2 ), "" );
   EXPECT_EQ( RevertImageWindow( *pasted ), RevertOutcome::NoFile );
}

TEST_F( ImageFileTest, RevertOfAMalformedFileReportsTheFITSErrorAndLeavesTheWindowAlone )
{
   const std::string path = folder.File( "cut.fits" );
   TImageWindow* w = OpenAndEdit( path );
   ASSERT_NE( w, nullptr );
   const int32_t keywords = int32_t( w->fitsOptions->keywords.Length() );
   // The header stays; the data end before the header says they do.
   fs::resize_file( path, 2880 );

   prompter.Expect( "FITS Support:\nError reading FITS file" );
   EXPECT_EQ( RevertImageWindow( *w ), RevertOutcome::Failed );
   EXPECT_EQ( w->image->Width(), 4 );
   for ( int64_t i = 0; i < w->image->NumberOfPixels(); ++i )
      ASSERT_EQ( w->image->PixelData( 0 )[i], 0.1f ) << i;
   EXPECT_EQ( w->previews.size(), 1u );
   EXPECT_EQ( int32_t( w->fitsOptions->keywords.Length() ), keywords );
   EXPECT_EQ( w->filePath, path );
}

// ---- Saving ---------------------------------------------------------------------------------------------------------

TEST_F( ImageFileTest, SavingANewImageWritesTheFileAndTheWindowTakesItsPathAndFormat )
{
   TImageWindow* w = CreateImageWindow( nullptr, Pattern( 7, 5, 3, qor::ColorSpace::RGB ), "" );
   w->modificationCount = 2;
   w->fitsOptions->bitsPerSample = 32;
   w->fitsOptions->floatingPoint = true;
   const std::string path = folder.File( "new.fits" );

   ASSERT_TRUE( SaveImageWindow( *w, path, false ) );
   EXPECT_EQ( w->filePath, path );
   EXPECT_EQ( w->fileFormat, FITSImageFileFormat );
   EXPECT_EQ( w->modificationCount, 0 );
   EXPECT_EQ( FolderNames(), std::vector<std::string>{ "new.fits" } );

   qor::Image back;
   ImageFileData data;
   ReadImageFile( back, path, data );
   EXPECT_TRUE( SamePixels( back, *w->image ) );
}

// A loaded default RGB profile for one test, put away again at its end.
class DefaultRGBProfile
{
public:
   DefaultRGBProfile()
   {
      cmsHPROFILE h = cmsCreate_sRGBProfile();
      cmsUInt32Number size = 0;
      cmsSaveProfileToMem( h, nullptr, &size );
      bytes.resize( size );
      cmsSaveProfileToMem( h, bytes.data(), &size );
      cmsCloseProfile( h );
      ColorManagementSettings.defaultRGBProfileData = std::make_unique<std::vector<uint8_t>>( bytes );
      ColorManagementSettings.defaultRGBProfile = OpenICCProfileData( *ColorManagementSettings.defaultRGBProfileData );
   }
   ~DefaultRGBProfile()
   {
      CloseICCProfile( ColorManagementSettings.defaultRGBProfile );
      ColorManagementSettings.defaultRGBProfile = nullptr;
      ColorManagementSettings.defaultRGBProfileData.reset();
      ColorManagementSettings.DefaultProfileEmbedding = true;
   }

   std::vector<uint8_t> bytes;
};

struct SavedViews : test::NotificationRecorder
{
   SavedViews() : NotificationRecorder( { "saved" } ) {}
   std::vector<TImageWindow::View*> Saved() const { return Views( "saved" ); }
};

TEST_F( ImageFileTest, AWindowWithoutAProfileOffersAndEmbedsTheDefaultProfileOfItsColourType )
{
   DefaultRGBProfile profile;
   ASSERT_NE( ColorManagementSettings.defaultRGBProfile, nullptr );
   SavedViews saved;
   TImageWindow* rgb = CreateImageWindow( nullptr, Pattern( 4, 3, 3, qor::ColorSpace::RGB ), "" );

   QCheckBox shown;
   dialogs.Expect( "FITSFileOptionsDialog",
                   [&]( QDialog& d )
                   {
                      QCheckBox* box = d.findChild<QCheckBox*>( "EmbedICCProfile_CheckBox" );
                      shown.setEnabled( box->isEnabled() );
                      shown.setChecked( box->isChecked() );
                      shown.setToolTip( box->toolTip() );
                      d.findChild<QPushButton*>( "OK_SpeedButton" )->click();
                      return int( QDialog::Accepted );
                   } );
   const std::string path = folder.File( "rgb.fits" );
   ASSERT_TRUE( SaveImageWindow( *rgb, path, true ) );
   EXPECT_TRUE( shown.isEnabled() );
   EXPECT_TRUE( shown.isChecked() );
   EXPECT_EQ( shown.toolTip().toStdString(), GetICCProfileDescription( ColorManagementSettings.defaultRGBProfile ) );
   EXPECT_FALSE( shown.toolTip().isEmpty() );
   EXPECT_EQ( saved.Saved(), std::vector<TImageWindow::View*>{ rgb->mainView } );

   qor::Image back;
   ImageFileData data;
   ReadImageFile( back, path, data );
   ASSERT_NE( data.iccProfile, nullptr );
   ASSERT_GE( data.iccProfile->size(), profile.bytes.size() );
   EXPECT_TRUE( std::equal( profile.bytes.begin(), profile.bytes.end(), data.iccProfile->begin() ) );
   EXPECT_EQ( rgb->iccProfile, nullptr ); // saving does not tag the window

   // Not embedded by default: the default profile stays out of the file.
   ColorManagementSettings.DefaultProfileEmbedding = false;
   ASSERT_TRUE( SaveImageWindow( *rgb, folder.File( "plain.fits" ), false ) );
   ReadImageFile( back, folder.File( "plain.fits" ), data );
   EXPECT_EQ( data.iccProfile, nullptr );

   // A grey image has no grey default to embed; the box is off and OK stores that.
   ColorManagementSettings.DefaultProfileEmbedding = true;
   TImageWindow* grey = CreateImageWindow( nullptr, Pattern( 4, 3 ), "" );
   EXPECT_FALSE( GetEmbedICCProfileChoice( grey ).enabled );
   ASSERT_TRUE( SaveImageWindow( *grey, folder.File( "grey.fits" ), false ) );
   ReadImageFile( back, folder.File( "grey.fits" ), data );
   EXPECT_EQ( data.iccProfile, nullptr );
}

TEST_F( ImageFileTest, AGreyImageIsSavedWithAGreyProfileOrNone )
{
   // At first start both defaults are the monitor's RGB profile: a grey file must not carry it.
   DefaultRGBProfile profile;
   ColorManagementSettings.defaultGrayProfileData = std::make_unique<std::vector<uint8_t>>( profile.bytes );
   cmsToneCurve* gamma = cmsBuildGamma( nullptr, 2.2 );
   cmsHPROFILE h = cmsCreateGrayProfile( cmsD50_xyY(), gamma );
   cmsFreeToneCurve( gamma );
   cmsUInt32Number size = 0;
   cmsSaveProfileToMem( h, nullptr, &size );
   std::vector<uint8_t> grayBytes( size );
   cmsSaveProfileToMem( h, grayBytes.data(), &size );
   cmsCloseProfile( h );

   TImageWindow* grey = CreateImageWindow( nullptr, Pattern( 4, 3 ), "" );
   auto saved = [&]( const char* name )
   {
      qor::Image back;
      ImageFileData data;
      if ( std::string( name ).ends_with( ".tif" ) && !grey->fitsOptions->keywords.IsEmpty() )
         prompter.Expect( "FITS header keywords cannot be embedded in TIFF files", platform::Answer::Yes );
      EXPECT_TRUE( SaveImageWindow( *grey, folder.File( name ), false ) ) << name;
      ReadImageFile( back, folder.File( name ), data );
      return data.iccProfile ? ICCDataColorSpace( *data.iccProfile ) : 0u;
   };
   struct Case
   {
      const char* what;
      const std::vector<uint8_t>* own;
      const std::vector<uint8_t>* grayDefault;
      uint32_t embedded;
   } cases[] = {
       { "RGB grey default", nullptr, &profile.bytes, 0 },
       { "own RGB profile", &profile.bytes, &grayBytes, 0 },
       { "grey grey default", nullptr, &grayBytes, ICCSignatureGray },
       { "own grey profile", &grayBytes, &profile.bytes, ICCSignatureGray },
   };
   for ( const Case& c : cases )
   {
      grey->iccProfile = c.own != nullptr ? std::make_unique<std::vector<uint8_t>>( *c.own ) : nullptr;
      ColorManagementSettings.defaultGrayProfileData = std::make_unique<std::vector<uint8_t>>( *c.grayDefault );
      EXPECT_EQ( GetEmbedICCProfileChoice( grey ).enabled, c.embedded != 0 ) << c.what;
      for ( const char* name : { "grey.tif", "grey.fits" } )
         EXPECT_EQ( saved( name ), c.embedded ) << c.what << " " << name;
   }
   grey->iccProfile.reset();
   ColorManagementSettings.defaultGrayProfileData.reset();
}

TEST_F( ImageFileTest, KeywordsAFITSFileCannotHoldAreNamedAfterTheSave )
{
   TImageWindow* w = CreateImageWindow( nullptr, Pattern( 3, 3 ), "" );
   w->fitsOptions->keywords.Add( new FITSHeaderKeyword( "OBSERVER", "'me'", "" ) );
   w->fitsOptions->keywords.Add( new FITSHeaderKeyword( "BAD=NAME", "1", "" ) );
   w->fitsOptions->keywords.Add( new FITSHeaderKeyword( "DATAMAX", "lots", "" ) );
   prompter.Expect( "These header keywords cannot be stored in a FITS file and were left out:\nBAD=NAME, DATAMAX" );
   ASSERT_TRUE( SaveImageWindow( *w, folder.File( "k.fits" ), false ) );
   EXPECT_EQ( w->filePath, folder.File( "k.fits" ) );
   auto kept = [w]( const char* name )
   {
      const auto& all = w->fitsOptions->keywords;
      return std::any_of( all.begin(), all.end(), [name]( const FITSHeaderKeyword* k ) { return k->name == name; } );
   };
   EXPECT_TRUE( kept( "OBSERVER" ) );
   EXPECT_FALSE( kept( "DATAMAX" ) );
}

TEST_F( ImageFileTest, TheFormerFileGoesToTheFirstFreeBackupNameWhichIsKeptOnlyWhenThePreferenceSaysSo )
{
   const std::string path = folder.File( "a.fits" );
   WriteFloatFITS( *std::unique_ptr<qor::Image>( Pattern( 3, 3 ) ), path );
   const std::string former = Contents( path );
   WriteText( folder.File( "a.~fits" ), "first" );
   WriteText( folder.File( "a.~~fits" ), "second" );
   TImageWindow* w = OpenImageFile( nullptr, path, false, "" );
   ASSERT_NE( w, nullptr );
   w->image->Fill( 0, 0.5f );

   CurrentPreferences.imageWindow.backupFiles = true;
   ASSERT_TRUE( SaveImageWindow( *w, path, false ) );
   EXPECT_EQ( Contents( folder.File( "a.~~~fits" ) ), former );
   EXPECT_EQ( Contents( folder.File( "a.~fits" ) ), "first" );
   EXPECT_EQ( Contents( folder.File( "a.~~fits" ) ), "second" );

   CurrentPreferences.imageWindow.backupFiles = false;
   ASSERT_TRUE( SaveImageWindow( *w, path, false ) );
   EXPECT_EQ( FolderNames(), ( std::vector<std::string>{ "a.fits", "a.~fits", "a.~~fits", "a.~~~fits" } ) );

   EXPECT_EQ( BackupFileName( "/x/report.fits" ), "/x/report.~fits" );
   EXPECT_EQ( BackupFileName( "/x/report.~~fits" ), "/x/report.~~~fits" );
}

TEST_F( ImageFileTest, SavingOverASymbolicLinkWritesItsFileWhichKeepsItsAccessRights )
{
   const std::string real = folder.File( "real.fits" );
   const std::string link = folder.File( "link.fits" );
   WriteFloatFITS( *std::unique_ptr<qor::Image>( Pattern( 3, 3 ) ), real );
   fs::permissions( real, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read );
   fs::create_symlink( "real.fits", link );
   TImageWindow* w = OpenImageFile( nullptr, link, false, "" );
   ASSERT_NE( w, nullptr );
   w->image->Fill( 0, 0.5f );

   CurrentPreferences.imageWindow.backupFiles = false;
   ASSERT_TRUE( SaveImageWindow( *w, link, false ) );
   EXPECT_TRUE( fs::is_symlink( link ) );
   EXPECT_EQ( w->filePath, link );
   EXPECT_EQ( FolderNames(), ( std::vector<std::string>{ "link.fits", "real.fits" } ) );
   EXPECT_EQ( fs::status( real ).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read );
   qor::Image back;
   ImageFileData data;
   ReadImageFile( back, real, data );
   EXPECT_TRUE( SamePixels( back, *w->image ) );

   // Saved under its own name, the file keeps its rights too.
   ASSERT_TRUE( SaveImageWindow( *w, real, false ) );
   EXPECT_EQ( fs::status( real ).permissions(),
              fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read );
}

TEST_F( ImageFileTest, AFailedWriteLeavesTheFormerFileUnderItsNameAndNoPartialFile )
{
   const std::string path = folder.File( "kept.fit" );
   WriteFloatFITS( *std::unique_ptr<qor::Image>( Pattern( 3, 3 ) ), path );
   const std::string former = Contents( path );
   TImageWindow* w = CreateImageWindow( nullptr, Pattern( 4, 4 ), "" );
   w->modificationCount = 1;

   // The writer dies half-way, leaving part of a file behind. Meanwhile the path still names the whole former
   // file, which the writer is told of.
   std::string seenAtPath;
   std::string told;
   ImageFileWriterScope failing( FITSImageFileFormat,
                                 [&]( const ImageFileWriteRequest& r )
                                 {
                                    seenAtPath = Contents( path );
                                    told = r.formerPath;
                                    test::ImageFileTest::WriteText( r.path, "SIMPLE  =" );
                                    throw FITSFileWriteError( r.path );
                                 } );
   prompter.Expect( "Error writing FITS file" );
   EXPECT_FALSE( SaveImageWindow( *w, path, false ) );
   EXPECT_EQ( seenAtPath, former );
   EXPECT_EQ( told, path );
   EXPECT_EQ( Contents( path ), former );
   EXPECT_EQ( FolderNames(), std::vector<std::string>{ "kept.fit" } );
   EXPECT_TRUE( w->filePath.empty() );
   EXPECT_EQ( w->fileFormat, NoImageFileFormat );
   EXPECT_EQ( w->modificationCount, 1 );

   // Without a former file nothing at all stays behind.
   const std::string fresh = folder.File( "fresh.fits" );
   prompter.Expect( "Error writing FITS file" );
   EXPECT_FALSE( SaveImageWindow( *w, fresh, false ) );
   EXPECT_FALSE( fs::exists( fresh ) );
   EXPECT_EQ( FolderNames(), std::vector<std::string>{ "kept.fit" } );
}

namespace
{

// The names made in a folder (created, or renamed into it), in order, while the object lives.
class NamesMade
{
public:
   explicit NamesMade( const fs::path& folder ) : fd( ::inotify_init1( IN_NONBLOCK | IN_CLOEXEC ) )
   {
      ::inotify_add_watch( fd, folder.c_str(), IN_CREATE | IN_MOVED_TO );
   }
   ~NamesMade() { ::close( fd ); }

   std::vector<std::string> Names() const
   {
      std::vector<std::string> names;
      alignas( inotify_event ) char buffer[65536];
      for ( ssize_t n; ( n = ::read( fd, buffer, sizeof buffer ) ) > 0; )
         for ( ssize_t at = 0; at < n; )
         {
            const auto* event = reinterpret_cast<const inotify_event*>( buffer + at );
            names.emplace_back( event->len > 0 ? event->name : "" );
            at += ssize_t( sizeof( inotify_event ) + event->len );
         }
      return names;
   }

private:
   int fd;
};

// What the disk was asked to keep, in order: the file of each fsync() call, and where the saved path led then.
struct Flush
{
   ino_t file;       // of the descriptor flushed
   bool folder;      // the descriptor is a folder's
   int64_t size;     // of what was flushed
   ino_t pathLeadTo; // the file the saved path named at that moment
};
std::vector<Flush>* flushes = nullptr;
std::string flushesPath;

} // namespace

// The process's fsync() while a test records: the call goes on to the system as it would.
extern "C" int fsync( int fd )
{
   if ( flushes != nullptr )
   {
      struct stat info = {}, target = {};
      ::fstat( fd, &info );
      ::stat( flushesPath.c_str(), &target );
      flushes->push_back( { info.st_ino, S_ISDIR( info.st_mode ), int64_t( info.st_size ), target.st_ino } );
   }
   return int( ::syscall( SYS_fsync, fd ) );
}

// A save leaves no more on the disk than the file, whenever it is stopped: the new file is flushed before it takes the
// name and the folder after, no backup is made unless the preference wants one, and what an earlier save of the
// same file left when it was killed goes.
TEST_F( ImageFileTest, ASaveKilledAtAnyMomentLeavesTheFormerOrTheNewFileAndNothingElse )
{
   const std::string path = folder.File( "a.fits" );
   TImageWindow* w = OpenAndEdit( path );
   ASSERT_NE( w, nullptr );
   const std::string dead = qor::FileReplacement::TemporaryName( path, 0x0badf00d );
   const std::string others = qor::FileReplacement::TemporaryName( folder.File( "b.fits" ), 0x0badf00d );
   WriteText( dead, std::string( 100000, 'x' ) );
   WriteText( others, "someone else's save" );

   CurrentPreferences.imageWindow.backupFiles = false;
   std::vector<Flush> seen;
   flushes = &seen;
   flushesPath = path;
   NamesMade made( folder.Path() );
   const bool saved = SaveImageWindow( *w, path, false );
   flushes = nullptr;
   ASSERT_TRUE( saved );
   for ( const std::string& name : made.Names() )
      EXPECT_TRUE( name == "a.fits" || name.rfind( "a.fits.~lf-save.", 0 ) == 0 ) << name;
   EXPECT_EQ( FolderNames(), ( std::vector<std::string>{ "a.fits", fs::path( others ).filename().string() } ) );

   struct stat file = {};
   ASSERT_EQ( ::stat( path.c_str(), &file ), 0 );
   auto data = std::find_if( seen.begin(), seen.end(), [&]( const Flush& f ) { return f.file == file.st_ino; } );
   ASSERT_NE( data, seen.end() ) << "the new file was never flushed";
   EXPECT_EQ( data->size, int64_t( file.st_size ) );
   EXPECT_NE( data->pathLeadTo, file.st_ino ); // still the former file
   auto name = std::find_if( data, seen.end(), []( const Flush& f ) { return f.folder; } );
   ASSERT_NE( name, seen.end() ) << "the folder was not flushed after the new file";
   EXPECT_EQ( name->pathLeadTo, file.st_ino );
}

// Saving over a private file never shows its new pixels to others, not even half-way (where a killed save would leave
// them), and the saved file keeps the former one's rights.
TEST_F( ImageFileTest, SavingOverAPrivateFileKeepsTheNewPixelsPrivateAtEveryMoment )
{
   const std::string path = folder.File( "private.fits" );
   WriteFloatFITS( *std::unique_ptr<qor::Image>( Pattern( 64, 2000, 3, qor::ColorSpace::RGB ) ), path );
   ASSERT_EQ( ::chmod( path.c_str(), 0600 ), 0 );
   TImageWindow* w = OpenImageFile( nullptr, path, false, "" );
   ASSERT_NE( w, nullptr );
   w->image->Fill( 0, 0.5f );

   mode_t othersMay = 0; // what any file in the folder gave group or others at any look
   int filesSeen = 0;
   struct Hook
   {
      explicit Hook( std::function<void( int32_t )> f ) { StatusDialog().progressHook = std::move( f ); }
      ~Hook() { StatusDialog().progressHook = nullptr; }
   } hook(
       [&]( int32_t )
       {
          for ( const auto& e : fs::directory_iterator( folder.Path() ) )
          {
             struct stat info = {};
             ::stat( e.path().c_str(), &info );
             othersMay |= info.st_mode & 077;
             ++filesSeen;
          }
       } );
   CurrentPreferences.imageWindow.backupFiles = false;
   ASSERT_TRUE( SaveImageWindow( *w, path, false ) );
   EXPECT_GT( filesSeen, 2 ); // the new file was seen beside the former one
   EXPECT_EQ( othersMay, 0u );
   EXPECT_EQ( fs::status( path ).permissions(), fs::perms::owner_read | fs::perms::owner_write );
}

// A name as long as the file system allows is saved like any other, new and over a file.
TEST_F( ImageFileTest, NamesAsLongAsTheFileSystemAllowsAreSaved )
{
   const std::string path = folder.File( std::string( 250, 'n' ) + ".fits" );
   TImageWindow* w = CreateImageWindow( nullptr, Pattern( 4, 3 ), "" );
   CurrentPreferences.imageWindow.backupFiles = false;
   ASSERT_TRUE( SaveImageWindow( *w, path, false ) );
   w->image->Fill( 0, 1.0f );
   ASSERT_TRUE( SaveImageWindow( *w, path, false ) );
   EXPECT_EQ( FolderNames(), std::vector<std::string>{ fs::path( path ).filename().string() } );
   qor::Image back;
   ImageFileData data;
   ReadImageFile( back, path, data );
   EXPECT_EQ( back.Pixel( 1, 1 ), 1.0f );
}

// With backups on, names too long for one more tilde get backups all the same: the stem is cut and a digest of it
// added, so that each backup keeps the extension with its tildes, fits the file system, and stays apart from the
// backups of other long names that begin alike.
TEST_F( ImageFileTest, LongNamesGetBackupsThatFitTheFileSystem )
{
   CurrentPreferences.imageWindow.backupFiles = true;
   TImageWindow* w = CreateImageWindow( nullptr, Pattern( 4, 3 ), "" );
   struct Saved
   {
      std::string name;
      std::vector<std::string> versions;
   };
   std::vector<Saved> saved;
   for ( size_t length : { 254, 255 } )
      for ( char last : { 'a', 'b' } )
      {
         Saved s{ std::string( length - 6, 'n' ) + last + ".fits", {} };
         for ( int save = 0; save < 3; ++save )
         {
            w->image->Fill( 0, float( saved.size() * 3 + save ) / 16 );
            ASSERT_TRUE( SaveImageWindow( *w, folder.File( s.name ), false ) ) << s.name.size() << last << save;
            s.versions.push_back( Contents( folder.File( s.name ) ) );
         }
         saved.push_back( s );
      }

   // Each name holds its last version; of its two backups the one with one tilde holds the first, the one with two
   // the second; nothing else is left, and every name fits.
   const std::vector<std::string> names = FolderNames();
   EXPECT_EQ( names.size(), 3 * saved.size() );
   auto holding = [&]( const std::string& ending, const std::string& contents )
   {
      return std::count_if( names.begin(), names.end(),
                            [&]( const std::string& n )
                            {
                               return n.size() > ending.size() && n.compare( n.size() - ending.size(), ending.size(),
                                                                             ending ) == 0 &&
                                      Contents( folder.File( n ) ) == contents;
                            } );
   };
   for ( const Saved& s : saved )
   {
      SCOPED_TRACE( s.name.size() );
      EXPECT_EQ( Contents( folder.File( s.name ) ), s.versions[2] );
      EXPECT_EQ( holding( ".~fits", s.versions[0] ), 1 );
      EXPECT_EQ( holding( ".~~fits", s.versions[1] ), 1 );
   }
   for ( const std::string& name : names )
   {
      EXPECT_LE( name.size(), 255u ) << name;
      EXPECT_EQ( name.substr( 0, 230 ), std::string( 230, 'n' ) );
   }
}

TEST_F( ImageFileTest, AReadOnlyFileIsNotOverwritten )
{
   const std::string path = folder.File( "locked.fits" );
   WriteText( path, "locked" );
   fs::permissions( path, fs::perms::owner_read | fs::perms::group_read );
   TImageWindow* w = CreateImageWindow( nullptr, Pattern( 2, 2 ), "" );
   prompter.Expect( "Cannot overwrite a read-only file:\n" + QString::fromStdString( path ) );
   EXPECT_FALSE( SaveImageWindow( *w, path, false ) );
   EXPECT_EQ( Contents( path ), "locked" );
   fs::permissions( path, fs::perms::owner_all );
}

// In a folder that everybody may write, a save could replace any file by a rename: only a file the user may write
// is replaced. Root may write everything, so the user is another one here, in a child process.
TEST_F( ImageFileTest, AFileTheUserMayNotWriteIsNotReplacedWhoeverOwnsTheFolder )
{
   if ( ::geteuid() != 0 )
      GTEST_SKIP() << "only root can be another user for the test";
   fs::permissions( folder.Path(), fs::perms::all );
   struct Case
   {
      const char* name;
      mode_t mode;
      const char* refusal;
   } cases[] = { { "theirs.fits", 0644, "Cannot overwrite a read-only file:\n" }, { "everyones.fits", 0666, "" } };
   for ( const Case& c : cases )
   {
      WriteText( folder.File( c.name ), "root's" );
      ::chmod( folder.File( c.name ).c_str(), c.mode );
   }
   const pid_t child = ::fork();
   if ( child == 0 )
   {
      int wrong = 0;
      if ( ::setgroups( 0, nullptr ) != 0 || ::setgid( 65534 ) != 0 || ::setuid( 65534 ) != 0 )
         ::_exit( 100 );
      for ( const Case& c : cases )
      {
         const std::string path = folder.File( c.name );
         const std::string expected = *c.refusal != '\0' ? c.refusal + path : std::string();
         wrong += RefusalOf( [&] { CheckReplaceable( path ); } ) != expected;
      }
      ::_exit( wrong );
   }
   int status = 0;
   ASSERT_EQ( ::waitpid( child, &status, 0 ), child );
   ASSERT_TRUE( WIFEXITED( status ) );
   EXPECT_EQ( WEXITSTATUS( status ), 0 ) << "cases judged wrong (100: could not become another user)";
}

TEST_F( ImageFileTest, AFolderNamedLikeAnImageIsNeitherRenamedNorReplaced )
{
   const std::string path = folder.File( "stack.fits" );
   fs::create_directory( path );
   WriteText( path + "/frame.txt", "kept" );
   TImageWindow* w = CreateImageWindow( nullptr, Pattern( 2, 2 ), "" );
   prompter.Expect( "Cannot overwrite something that is not a file:\n" + QString::fromStdString( path ) );
   EXPECT_FALSE( SaveImageWindow( *w, path, false ) );
   EXPECT_TRUE( fs::is_directory( path ) );
   EXPECT_EQ( Contents( path + "/frame.txt" ), "kept" );
   EXPECT_EQ( FolderNames(), std::vector<std::string>{ "stack.fits" } );
   EXPECT_TRUE( w->filePath.empty() );

   // An empty folder, which a successful save would have removed with the backups, stays too.
   const std::string empty = folder.File( "empty.fit" );
   fs::create_directory( empty );
   EXPECT_EQ( RefusalOf( [&] { BackupExistingFile( empty ); } ),
              "Cannot overwrite something that is not a file:\n" + empty );
   EXPECT_TRUE( fs::is_directory( empty ) );
}

TEST_F( ImageFileTest, FormatQuestionsAskWhatTheFormatCannotKeep )
{
   TImageWindow* w = CreateImageWindow( nullptr, Pattern( 2, 2, 2 ), "" ); // grey with one alpha channel
   bool dropAlpha = true;

   // Nothing to lose in FITS; a window read from FITS is asked about its keywords for TIFF, even without any.
   EXPECT_TRUE( ConfirmFormatLosses( *w, FITSImageFileFormat, dropAlpha ) );
   EXPECT_FALSE( dropAlpha );
   EXPECT_TRUE( ConfirmFormatLosses( *w, TIFFImageFileFormat, dropAlpha ) );
   w->fileFormat = FITSImageFileFormat;
   prompter.Expect( { "FITS header keywords cannot be embedded in TIFF files.\nExisting data will not be written to "
                      "disk. Continue?",
                      {},
                      QString( "Lumenforge - TIFF Format Warning" ),
                      platform::Icon::Warning,
                      platform::Answer::No } );
   EXPECT_FALSE( ConfirmFormatLosses( *w, TIFFImageFileFormat, dropAlpha ) );

   // A window read from RAW with nothing else saves as RAW without a question; an IPTC item makes one.
   w->fileFormat = RAWImageFileFormat;
   EXPECT_TRUE( ConfirmFormatLosses( *w, RAWImageFileFormat, dropAlpha ) );
   w->fileFormat = NoImageFileFormat;
   prompter.Expect( { "cannot be embedded in RAW files", {}, QString( "Lumenforge - RAW Format Warning" ), {},
                      platform::Answer::Yes } );
   EXPECT_TRUE( ConfirmFormatLosses( *w, RAWImageFileFormat, dropAlpha ) );

   // JPEG: No to the alpha question keeps everything; Yes and then No to the keywords writes nothing, and the
   // window keeps its alpha channel either way until a JPEG file is actually written.
   prompter.Expect( "Alpha channels are not supported by the JPEG format", platform::Answer::No );
   EXPECT_FALSE( ConfirmFormatLosses( *w, JPEGImageFileFormat, dropAlpha ) );
   w->fileFormat = FITSImageFileFormat;
   prompter.Expect( "Alpha channels are not supported by the JPEG format", platform::Answer::Yes );
   prompter.Expect( "FITS header keywords cannot be embedded in JPEG files", platform::Answer::No );
   EXPECT_FALSE( ConfirmFormatLosses( *w, JPEGImageFileFormat, dropAlpha ) );
   EXPECT_EQ( w->image->NumberOfAlphaChannels(), 1 );
   prompter.Expect( "Alpha channels are not supported", platform::Answer::Yes );
   prompter.Expect( "FITS header keywords cannot be embedded in JPEG files", platform::Answer::Yes );
   EXPECT_TRUE( ConfirmFormatLosses( *w, JPEGImageFileFormat, dropAlpha ) );
   EXPECT_TRUE( dropAlpha );
   EXPECT_EQ( w->image->NumberOfAlphaChannels(), 1 );
}

TEST_F( ImageFileTest, AlphaChannelsLeaveTheWindowOnlyWithASuccessfulJPEGWrite )
{
   // A stand-in JPEG writer that records what it was given, failing first.
   bool fail = true;
   int32_t channelsWritten = -1;
   ImageFileWriterScope writer( JPEGImageFileFormat,
                                [&]( const ImageFileWriteRequest& r )
                                {
                                   channelsWritten = r.image.NumberOfChannels();
                                   WriteText( r.path, "JPEG" );
                                   if ( fail )
                                      throw ProcessRefusal( "Unable to write JPEG data" );
                                } );
   TImageWindow* w = CreateImageWindow( nullptr, Pattern( 2, 2, 4, qor::ColorSpace::RGB ), "" );
   const std::string path = folder.File( "photo.jpg" );

   prompter.Expect( "Alpha channels are not supported", platform::Answer::Yes );
   prompter.Expect( "Unable to write JPEG data" );
   EXPECT_FALSE( SaveImageWindow( *w, path, false ) );
   EXPECT_EQ( channelsWritten, 3 );
   EXPECT_EQ( w->image->NumberOfAlphaChannels(), 1 );
   EXPECT_FALSE( fs::exists( path ) );

   fail = false;
   prompter.Expect( "Alpha channels are not supported", platform::Answer::Yes );
   EXPECT_TRUE( SaveImageWindow( *w, path, false ) );
   EXPECT_EQ( w->image->NumberOfAlphaChannels(), 0 );
   EXPECT_EQ( w->fileFormat, JPEGImageFileFormat );
   EXPECT_EQ( Contents( path ), "JPEG" );
}

TEST_F( ImageFileTest, HighBitDepthFilesAreTheThirtyTwoAndSixtyFourBitOnes )
{
   TImageWindow* w = CreateImageWindow( nullptr, Pattern( 2, 2 ), "" );
   w->fitsOptions->bitsPerSample = 32;
   EXPECT_FALSE( HasHighBitDepthFile( *w ) ); // no file
   w->fileFormat = FITSImageFileFormat;
   EXPECT_TRUE( HasHighBitDepthFile( *w ) );
   w->fitsOptions->bitsPerSample = 16;
   EXPECT_FALSE( HasHighBitDepthFile( *w ) );
   w->fileFormat = RAWImageFileFormat;
   EXPECT_TRUE( HasHighBitDepthFile( *w ) ); // RAW descriptions default to 32-bit floats
}

// ---- Clipboard --------------------------------------------------------------------------------------------------------

TEST_F( ImageFileTest, AClipboardBlockIsReadBackAsTheViewWroteIt )
{
   TImageWindow* w = CreateImageWindow( nullptr, Pattern( 3, 2, 4, qor::ColorSpace::RGB ), "" );
   const QByteArray block = w->mainView->ClipboardData();
   qor::Image image;
   LoadImageFromClipboardBlock( image, reinterpret_cast<const uint8_t*>( block.constData() ), size_t( block.size() ) );
   EXPECT_TRUE( SamePixels( image, *w->image ) );
   EXPECT_EQ( image.NumberOfAlphaChannels(), 1 );
}

TEST_F( ImageFileTest, MalformedClipboardBlocksAreRefused )
{
   struct Case
   {
      const char* what;
      QByteArray block;
   };
   QByteArray shortBlock = ClipboardBlock( 2, 2, 1, 0, 4 );
   shortBlock.chop( 1 );
   const Case cases[] = {
      { "empty", QByteArray() },
      { "header cut", ClipboardBlock( 2, 2, 1, 0, 4 ).left( 15 ) },
      { "zero width", ClipboardBlock( 0, 2, 1, 0, 4 ) },
      { "negative height", ClipboardBlock( 2, -2, 1, 0, 4 ) },
      { "unknown colour space", ClipboardBlock( 2, 2, 1, 6, 4 ) },
      { "negative colour space", ClipboardBlock( 2, 2, 1, -1, 4 ) },
      { "no channel", ClipboardBlock( 2, 2, 0, 0, 4 ) },
      { "RGB with two channels", ClipboardBlock( 2, 2, 2, 1, 8 ) },
      { "too many channels", ClipboardBlock( 1, 1, MaxClipboardChannels + 1, 0, MaxClipboardChannels + 1 ) },
      { "one byte short", shortBlock },
      { "size overflowing 64 bits", ClipboardBlock( 0x7FFFFFFF, 0x7FFFFFFF, 1000, 1, 16 ) },
   };
   for ( const Case& c : cases )
   {
      qor::Image image( 1, 1 );
      image.Fill( 0, 0.5f );
      EXPECT_EQ( RefusalOf(
                     [&]()
                     {
                        LoadImageFromClipboardBlock( image, reinterpret_cast<const uint8_t*>( c.block.constData() ),
                                                     size_t( c.block.size() ) );
                     } ),
                 "Invalid clipboard image data" )
          << c.what;
      EXPECT_EQ( image.Pixel( 0, 0 ), 0.5f ) << c.what;
   }
}

TEST_F( ImageFileTest, PasteTakesThePrivateFormatFirstThenABitmapThenAnyImage )
{
   EXPECT_FALSE( IsClipboardImageAvailable() );
   EXPECT_EQ( RefusalOf( []() { NewImageWindowFromClipboard( nullptr, "" ); } ),
              "No valid clipboard format was found" );

   // Both a private block and a bitmap: the private block wins.
   QImage picture( 2, 1, QImage::Format_RGB888 );
   picture.fill( QColor( 255, 0, 0 ) );
   QByteArray bmp;
   QBuffer buffer( &bmp );
   buffer.open( QIODevice::WriteOnly );
   ASSERT_TRUE( picture.save( &buffer, "BMP" ) );
   auto* both = new QMimeData;
   both->setData( "image/bmp", bmp );
   PutOnClipboard( RawFormat, ClipboardBlock( 2, 2, 1, 0, 4 ), both );
   ASSERT_TRUE( IsClipboardImageAvailable() );
   TImageWindow* a = NewImageWindowFromClipboard( nullptr, "Pasted" );
   ASSERT_NE( a, nullptr );
   EXPECT_EQ( a->mainView->Identifier(), "Pasted" );
   EXPECT_TRUE( a->filePath.empty() );
   EXPECT_EQ( a->image->NumberOfChannels(), 1 );
   EXPECT_EQ( a->image->Pixel( 1, 1 ), 3.0f / 8 );

   // A bitmap alone goes through the program's own DIB reader.
   PutOnClipboard( "image/bmp", bmp );
   TImageWindow* b = NewImageWindowFromClipboard( nullptr, "" );
   ASSERT_EQ( b->image->NumberOfChannels(), 3 );
   EXPECT_EQ( b->image->Pixel( 1, 0, 0 ), 1.0f );
   EXPECT_EQ( b->image->Pixel( 1, 0, 1 ), 0.0f );

   // Any other image Qt offers.
   auto* other = new QMimeData;
   other->setImageData( picture );
   QGuiApplication::clipboard()->setMimeData( other );
   TImageWindow* c = NewImageWindowFromClipboard( nullptr, "" );
   EXPECT_EQ( c->image->Pixel( 0, 0, 0 ), 1.0f );

   // A malformed private block is refused and makes no window.
   const size_t windows = MainViewList.size();
   PutOnClipboard( RawFormat, ClipboardBlock( 100, 100, 1, 0, 4 ) );
   EXPECT_EQ( RefusalOf( []() { NewImageWindowFromClipboard( nullptr, "" ); } ), "Invalid clipboard image data" );
   EXPECT_EQ( MainViewList.size(), windows );
}
