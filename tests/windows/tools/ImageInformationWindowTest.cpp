// The Image Information window: the report of a known image line by line, the reports of a new image and of the
// other file formats, the rebuilds its notifications cause (with the caret kept in place), and the saved report.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QFile>
#include <QTextCursor>
#include <QTextEdit>

#include "ICCTestProfiles.h"
#include "TestDirs.h"
#include "platform/FileDialogs.h"
#include "process/Invert.h"
#include "windows/frames/ViewsListFrame.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/tools/ImageInformationWindow.h"

namespace
{

class ImageInformationWindowTest : public test::ImageWindowProcessTest
{
protected:
   QStringList Report() const { return window.Edit->toPlainText().split( '\n' ); }

   TImageInformationWindow window;
};

TEST_F( ImageInformationWindowTest, TheReportOfAKnownImage )
{
   TImageWindow* w = Make( RandomImage( 120, 80, 4, qor::ColorSpace::RGB ), "M31" ); // RGB and one alpha channel
   w->filePath = "/data/sky/M31.fit";
   w->isCopy = true;
   w->fileFormat = FITSImageFileFormat;
   w->fitsOptions->bitsPerSample = 16;
   w->fitsOptions->unsignedSamples = false;
   w->fitsOptions->metricResolution = true;
   w->fitsOptions->resolution = 28.5f;
   w->fitsOptions->keywords.Add( new FITSHeaderKeyword( "OBJECT", "'M31'", "" ) );
   w->fitsOptions->keywords.Add( new FITSHeaderKeyword( "EXPTIME", "300", "seconds" ) );
   const std::string title = "Andromeda";
   w->iptcInfo->Set( qor::IPTCPhotoInfo::DescriptionByName( "ObjectName" ), title.data(), title.size() );
   w->resolution = 28.5f;
   w->metricResolution = true;
   auto profile = std::make_unique<std::vector<uint8_t>>( test::SaveProfile( test::MakeGrayProfile( "Wide Gamut" ) ) );
   const uint32_t profileSize = uint32_t( profile->size() );
   w->SetICCProfile( std::move( profile ), false );
   w->colorManagementEnabled = false;

   TImageWindow* mask = Make( new qor::Image( 120, 80 ), "Stars" );
   w->SetMask( mask );
   w->DisableMask();
   TImageWindow* masked = Make( new qor::Image( 120, 80 ), "Other" );
   masked->SetMask( w );
   Invert().LaunchOn( *w->mainView );
   Invert().LaunchOn( *w->mainView );
   ASSERT_EQ( w->modificationCount, 2 );
   TImageWindow::Preview* core = w->CreatePreview( "Core", 10, 20, 30, 40 );
   core->Store();
   w->CreatePreview( "Halo", 0, 0, 16, 16 );

   window.SelectView( w->mainView );
   const QStringList expected = {
       "Image identifier: M31",
       "File path: /data/sky/M31.fit",
       "The image is being edited as a copy of the original file.",
       "The image has been modified since opened/saved. Modify counter = 2",
       "",
       "File format: FITS",
       "",
       "FITS Specific Data",
       "   Bits per sample: 16",
       "   Sample format: Signed integers",
       "   Resolution unit: Centimeter",
       "   Resolution in pixels: 28.5",
       "",
       "FITS header keywords have been defined for this image.",
       "   Number of FITS header keywords: 2",
       "",
       "IPTC Photo Info data have been defined for this image.",
       "   Number of IPTC Photo Info data items: 1",
       "",
       "Dimensional Data",
       "   Width in pixels: 120",
       "   Height in pixels: 80",
       "   Number of channels: 3",
       "   Number of alpha channels: 1",
       "   Total pixel data size in bytes: 153600",
       "   Resolution unit: Centimeter",
       "   Resolution in pixels: 28.5",
       "",
       "Color Space",
       "   Current color space: RGB Color",
       "   The image uses the global RGB Working Space parameters.",
       "",
       "Color Management",
       "   Color Management is disabled for this image.",
       "   The image has an assigned ICC profile.",
       "   ICC Profile length in bytes: " + QString::number( profileSize ),
       "   ICC Profile description: Wide Gamut",
       "",
       "Masking",
       "   The image has an assigned mask.",
       "      Mask is disabled and visible.",
       "      Mask identifier:Stars",
       "   The image has active mask references.",
       "      Number of masked objects: 1",
       "",
       "Previews",
       "   There are 2 preview(s) defined for this image.",
       "      Core: L=10, T=20, W=30, H=40, Stored",
       "      Halo: L=0, T=0, W=16, H=16",
       "",
       "Processing",
       "   The process container for this image view includes 2 process(es).",
       "   An undo/redo operation is currently applicable.",
       "   Swap file path: " + QString::fromStdString( w->swapFilePath ),
       "   Temporary storage file path: " + QString::fromStdString( w->tempFilePath ),
       "   Processing sequence (use ProcessingHistory for details):",
       "      Invert",
       "      Invert",
   };
   EXPECT_EQ( Report(), expected );
   EXPECT_EQ( window.ViewsList->ViewsList_ComboBox->currentText(), "M31" );
}

TEST_F( ImageInformationWindowTest, ANewImageAndTheBlocksOfTheOtherFormats )
{
   TImageWindow* w = Make( new qor::Image( 10, 10 ), "Fresh" );
   w->undoEnabled = false;
   window.SelectView( w->mainView );
   const QStringList fresh = Report();
   EXPECT_EQ( fresh.mid( 1, 7 ),
              ( QStringList{ "The image has been newly created and has not been saved.",
                             "The image has not been modified since opened/saved. Modify counter = 0", "",
                             "File format: <*Unknown*>", "", "", "Dimensional Data" } ) );
   EXPECT_TRUE( fresh.contains( "   Current color space: Grayscale" ) );
   EXPECT_TRUE( fresh.contains( "   The image has no assigned ICC profile." ) );
   EXPECT_TRUE( fresh.contains( "   The image has no assigned mask." ) );
   EXPECT_TRUE( fresh.contains( "   There are no previews defined for this image." ) );
   EXPECT_EQ( fresh.mid( fresh.size() - 2 ),
              ( QStringList{ "   The process container for this image view is empty.",
                             "   *** WARNING *** Undo has been disabled for this image." } ) );

   w->filePath = "/data/a.tif";
   w->fileFormat = TIFFImageFileFormat;
   w->tiffOptions->compression = TIFFOptions::LZWCompression;
   w->tiffOptions->description = "Line one\rLine two";
   w->fitsOptions->keywords.Add( new FITSHeaderKeyword( "OBSERVER", "'Me'", "" ) );
   window.BuildReport();
   QStringList tiff = Report();
   const qsizetype at = tiff.indexOf( "TIFF Specific Data" );
   ASSERT_GE( at, 0 );
   EXPECT_EQ(
       tiff.mid( at + 1, 11 ),
       ( QStringList{ "   Bits per sample: 8", "   Sample format: Unsigned integers", "   Compression code: 5",
                      "   File organization: Chunky", "   Resolution unit: Inch", "   X-axis resolution in pixels: 72",
                      "   Y-axis resolution in pixels: 72", "   Image description: Line one", "Line two",
                      "   Software description: ", "   Copyright notice: " } ) );
   EXPECT_EQ( tiff[at + 13], "FITS header keywords have been defined for this image." );

   w->fileFormat = RAWImageFileFormat;
   w->rawOptions->reverseByteOrder = true;
   w->rawOptions->dataOffset = 2880;
   w->rawOptions->keepHeader = true;
   window.BuildReport();
   EXPECT_TRUE( Report().contains( "   Byte order: Big endian" ) );
   EXPECT_TRUE( Report().contains( "   Header size in bytes: 2880" ) );
   EXPECT_TRUE( Report().contains( "   RAW header data will be preserved if the file is saved as RAW." ) );

   w->fileFormat = JPEGImageFileFormat;
   w->jpegOptions->hasJFIFMarker = true;
   window.BuildReport();
   const QStringList jpeg = Report();
   EXPECT_TRUE( jpeg.contains( "   JPEG quality: <*Unknown*>" ) );
   EXPECT_TRUE( jpeg.contains( "      JFIF minor version number: 2" ) );

   // A preview is not listed: choosing one leaves no view and an empty report.
   window.SelectView( w->CreatePreview( "", 0, 0, 8, 8 ) );
   EXPECT_EQ( window.CurrentView(), nullptr );
   EXPECT_TRUE( window.Edit->toPlainText().isEmpty() );
}

TEST_F( ImageInformationWindowTest, NotificationsRebuildTheReportAndTheCaretKeepsItsPlace )
{
   TImageWindow* w = Make( new qor::Image( 10, 10 ), "M31" );
   TImageWindow* other = Make( new qor::Image( 10, 10 ), "M33" );
   window.SelectView( w->mainView );
   const int oldLength = int( window.Edit->toPlainText().size() );
   const int middle = oldLength / 2;
   QTextCursor caret = window.Edit->textCursor();
   caret.setPosition( middle );
   window.Edit->setTextCursor( caret );

   w->mainView->SetIdentifier( "Andromeda" );
   EXPECT_EQ( Report().first(), "Image identifier: Andromeda" );
   EXPECT_GE( window.ViewsList->ViewsList_ComboBox->findText( "Andromeda" ), 0 );
   const int newLength = int( window.Edit->toPlainText().size() );
   EXPECT_EQ( newLength, oldLength + 6 );
   EXPECT_EQ( window.Edit->textCursor().position(),
              qRound( double( float( middle ) / float( oldLength ) ) * newLength ) );

   w->CreatePreview( "P1", 0, 0, 8, 8 );
   EXPECT_TRUE( Report().contains( "      P1: L=0, T=0, W=8, H=8" ) );
   w->SetMask( other );
   EXPECT_TRUE( Report().contains( "      Mask identifier:M33" ) );
   other->mainView->SetIdentifier( "Triangulum" );
   EXPECT_TRUE( Report().contains( "      Mask identifier:Triangulum" ) ) << "the mask's rename is reported";
   w->DeletePreview( w->previews[0] );
   EXPECT_TRUE( Report().contains( "   There are no previews defined for this image." ) );

   delete w;
   EXPECT_EQ( window.CurrentView(), nullptr );
   EXPECT_TRUE( window.Edit->toPlainText().isEmpty() );
}

TEST_F( ImageInformationWindowTest, TheReportIsSavedAsPlainOrRichTextByItsExtension )
{
   test::TempDir dir;
   TImageWindow* w = Make( new qor::Image( 10, 10 ), "M31" );
   w->filePath = ( dir.Path() / "M31.fit" ).string();
   window.SelectView( w->mainView );
   using Kind = platform::FileDialogs::Kind;

   files.Expect( Kind::SaveFile,
                 [&]( const platform::FileDialogs::Request& r )
                 {
                    EXPECT_EQ( r.caption, "Save Image Information" );
                    EXPECT_EQ( r.directory, QString::fromStdString( dir.File( "M31_information" ) ) );
                    return platform::FileDialogs::Choice{ { QString::fromStdString( dir.File( "info" ) ) },
                                                          "Plain Text (*.txt)" };
                 } );
   window.Save_ButtonClick();
   QFile text( QString::fromStdString( dir.File( "info.txt" ) ) );
   ASSERT_TRUE( text.open( QIODevice::ReadOnly ) );
   const QByteArray bytes = text.readAll();
   EXPECT_TRUE( bytes.startsWith( "Image identifier: M31\r\nFile path: " ) );

   files.Expect( Kind::SaveFile, { QString::fromStdString( dir.File( "INFO.RTF" ) ) } );
   window.Save_ButtonClick();
   QFile rich( QString::fromStdString( dir.File( "INFO.RTF" ) ) );
   ASSERT_TRUE( rich.open( QIODevice::ReadOnly ) );
   const QByteArray rtf = rich.readAll();
   EXPECT_TRUE( rtf.startsWith( "{\\rtf1" ) );
   EXPECT_TRUE( rtf.contains( "Image identifier: M31" ) );

   prompter.Expect( "" );
   files.Expect( Kind::SaveFile, { QString::fromStdString( dir.File( "missing/folder/info.txt" ) ) } );
   window.Save_ButtonClick();
}

} // namespace
