// TIFF, JPEG and RAW files through the dispatch: open, save and open again, with the options dialogs.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>

#include <lcms2.h>

#include "ICCTestProfiles.h"
#include "ImageFileTestSupport.h"
#include "classlib/ColorSpace.h"
#include "windows/dialogs/RAWOptionsDialog.h"
#include "windows/main/Application.h"

namespace
{

// A w x h RGB image whose samples are exact in files of `fullScale` levels.
qor::Image* Levels( int32_t w, int32_t h, int32_t fullScale )
{
   auto* image = new qor::Image( w, h, 3, qor::ColorSpace::RGB );
   for ( int32_t c = 0; c < 3; ++c )
      for ( int32_t y = 0; y < h; ++y )
         for ( int32_t x = 0; x < w; ++x )
            image->Pixel( x, y, c ) = float( ( x * 2 + y * 2 + c * 16 ) * fullScale / 255 ) / float( fullScale );
   return image;
}

// LittleCMS makes its built-in profiles as version 4.3.
std::vector<uint8_t> SRGBProfile()
{
   return test::SaveProfile( cmsCreate_sRGBProfile(), 4.3 );
}

class ImageFileRoundTrip : public test::ImageFileTest
{
protected:
   // Saves the window under the name, opens the file in a new window and returns it.
   TImageWindow* SaveAndOpen( TImageWindow& w, const std::string& name, bool showOptions = false )
   {
      const std::string path = folder.File( name );
      EXPECT_TRUE( SaveImageWindow( w, path, showOptions ) );
      // The saved window now shows that file.
      prompter.Expect( "is already open", platform::Answer::Yes );
      return OpenImageFile( nullptr, path, false, "" );
   }
};

} // namespace

TEST_F( ImageFileRoundTrip, A16BitTIFFWithProfileAndIPTCInformationReopensIdentical )
{
   TImageWindow* w = CreateImageWindow( nullptr, Levels( 33, 21, 65535 ), "" );
   w->iccProfile = std::make_unique<std::vector<uint8_t>>( SRGBProfile() );
   const std::string name = "NGC 7000";
   w->iptcInfo->Set( qor::IPTCPhotoInfo::DescriptionByName( "ObjectName" ), name.data(), name.size() );
   w->tiffOptions->bitsPerSample = 16;
   w->tiffOptions->compression = TIFFOptions::ZIPCompression;
   w->resolution = 150;

   // Save As shows the options dialog; OK without a change.
   dialogs.Expect( "TIFFFileOptionsDialog",
                   []( QDialog& d )
                   {
                      d.findChild<QPushButton*>( "OK_SpeedButton" )->click();
                      return QDialog::Accepted;
                   } );
   TImageWindow* first = SaveAndOpen( *w, "nebula.tif", true );
   ASSERT_NE( first, nullptr );
   EXPECT_EQ( first->fileFormat, TIFFImageFileFormat );
   EXPECT_TRUE( SamePixels( *first->image, *w->image ) );
   ASSERT_NE( first->iccProfile, nullptr );
   EXPECT_EQ( *first->iccProfile, *w->iccProfile );
   EXPECT_EQ( first->iptcInfo->FindValue( "ObjectName" ), name );
   EXPECT_EQ( first->tiffOptions->bitsPerSample, 16 );
   EXPECT_EQ( first->tiffOptions->compression, TIFFOptions::ZIPCompression );
   EXPECT_EQ( first->tiffOptions->software, ApplicationTitle().toStdString() );
   EXPECT_EQ( first->resolution, 150.0f );

   TImageWindow* second = SaveAndOpen( *first, "again.tif" );
   ASSERT_NE( second, nullptr );
   EXPECT_TRUE( SamePixels( *second->image, *w->image ) );
   EXPECT_EQ( *second->iccProfile, *w->iccProfile );
   EXPECT_EQ( *second->tiffOptions, *first->tiffOptions );
}

TEST_F( ImageFileRoundTrip, AJPEGReopensWithItsQualityAndSavesAgainToTheSamePixels )
{
   TImageWindow* w = CreateImageWindow( nullptr, Levels( 48, 32, 255 ), "" );
   w->jpegOptions->quality = 95;
   TImageWindow* first = SaveAndOpen( *w, "photo.JPG" );
   ASSERT_NE( first, nullptr );
   EXPECT_EQ( first->fileFormat, JPEGImageFileFormat );
   EXPECT_EQ( first->jpegOptions->quality, 95 );
   float worst = 0;
   for ( int32_t c = 0; c < 3; ++c )
      for ( int64_t i = 0; i < w->image->NumberOfPixels(); ++i )
         worst = std::max( worst, std::abs( first->image->PixelData( c )[i] - w->image->PixelData( c )[i] ) );
   EXPECT_LT( worst, 6.0f / 255 );

   // A lossy format: the file saved again from what was read decodes close to it, and keeps its quality.
   TImageWindow* second = SaveAndOpen( *first, "photo2.jpeg" );
   ASSERT_NE( second, nullptr );
   EXPECT_EQ( second->jpegOptions->quality, 95 );
}

TEST_F( ImageFileRoundTrip, ARAWFileIsDescribedBeforeEveryReadAndReopensIdentical )
{
   TImageWindow* w = CreateImageWindow( nullptr, Pattern( 7, 5, 3, qor::ColorSpace::RGB ), "" );
   const std::string path = folder.File( "frame.raw" );
   // A new image has nothing a RAW file would lose, but it was not read from one.
   prompter.Expect( "cannot be embedded in RAW files", platform::Answer::Yes );
   ASSERT_TRUE( SaveImageWindow( *w, path, false ) );
   EXPECT_EQ( std::filesystem::file_size( path ), 7u * 5 * 3 * 4 );

   auto describe = [&]( QDialog& d )
   {
      auto& dialog = static_cast<TRAWFileOptionsDialog&>( d );
      // 420 bytes of RGB floats: a 5 x 5 square with 120 bytes of header is proposed.
      EXPECT_EQ( dialog.Working().width, 5 );
      for ( auto [edit, text] : { std::pair{ dialog.Width_Edit, "7" }, std::pair{ dialog.Height_Edit, "5" } } )
      {
         edit->setText( text );
         RunEditExitHandler( edit );
      }
      dialog.OK_SpeedButton->click();
      return QDialog::Accepted;
   };
   prompter.Expect( "is already open", platform::Answer::Yes );
   dialogs.Expect( "RAWFileOptionsDialog", describe );
   TImageWindow* first = OpenImageFile( nullptr, path, false, "" );
   ASSERT_NE( first, nullptr );
   EXPECT_EQ( first->fileFormat, RAWImageFileFormat );
   EXPECT_TRUE( SamePixels( *first->image, *w->image ) );

   // Saved again from the RAW window: no question; a cancelled description reads nothing.
   ASSERT_TRUE( SaveImageWindow( *first, folder.File( "copy.raw" ), false ) );
   prompter.Expect( "is already open", platform::Answer::Yes );
   dialogs.ExpectResult( "RAWFileOptionsDialog", QDialog::Rejected );
   EXPECT_EQ( OpenImageFile( nullptr, folder.File( "copy.raw" ), false, "" ), nullptr );
   prompter.Expect( "is already open", platform::Answer::Yes );
   dialogs.Expect( "RAWFileOptionsDialog", describe );
   TImageWindow* second = OpenImageFile( nullptr, folder.File( "copy.raw" ), false, "" );
   ASSERT_NE( second, nullptr );
   EXPECT_TRUE( SamePixels( *second->image, *w->image ) );
}

TEST_F( ImageFileRoundTrip, ATIFFSaveStartsFromTheDepthOfTheFileTheImageCameFrom )
{
   struct Case
   {
      const char* what;
      ImageFileFormat from;
      int32_t bits;
      bool floatingPoint;
      int32_t tiffBits;
      bool tiffFloat;
   };
   const Case cases[] = {
      { "16-bit FITS", FITSImageFileFormat, 16, false, 16, false },
      { "32-bit float FITS", FITSImageFileFormat, 32, true, 32, true },
      { "64-bit float FITS", FITSImageFileFormat, 64, true, 32, true },
      { "32-bit integer FITS", FITSImageFileFormat, 32, false, 32, false },
      { "8-bit FITS", FITSImageFileFormat, 8, false, 8, false },
      { "16-bit RAW", RAWImageFileFormat, 16, false, 16, false },
      { "made in the program", NoImageFileFormat, 0, false, 8, false },
      { "a 16-bit TIFF keeps its record", TIFFImageFileFormat, 0, false, 16, false },
   };
   int n = 0;
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.what );
      TImageWindow* w = CreateImageWindow( nullptr, Levels( 9, 7, 65535 ), "" );
      w->fileFormat = c.from;
      w->fitsOptions->bitsPerSample = w->rawOptions->bitsPerSample = c.bits;
      w->fitsOptions->floatingPoint = w->rawOptions->floatingPoint = c.floatingPoint;
      if ( c.from == TIFFImageFileFormat )
         w->tiffOptions->bitsPerSample = 16;
      if ( c.from == FITSImageFileFormat )
         prompter.Expect( "FITS header keywords cannot be embedded in TIFF files", platform::Answer::Yes );
      // The dialog offers that depth; OK keeps it.
      dialogs.Expect( "TIFFFileOptionsDialog",
                      [&c]( QDialog& d )
                      {
                         const char* button = c.tiffFloat          ? "IEEE32FP_RadioButton"
                                              : c.tiffBits == 32   ? "_32Bits_RadioButton"
                                              : c.tiffBits == 16   ? "_16Bits_RadioButton"
                                                                   : "_8Bits_RadioButton";
                         auto* radio = d.findChild<QAbstractButton*>( button );
                         EXPECT_TRUE( radio != nullptr && radio->isChecked() ) << button;
                         d.findChild<QAbstractButton*>( "OK_SpeedButton" )->click();
                         return QDialog::Accepted;
                      } );
      TImageWindow* saved = SaveAndOpen( *w, "depth" + std::to_string( n++ ) + ".tif", true );
      ASSERT_NE( saved, nullptr );
      EXPECT_EQ( saved->tiffOptions->bitsPerSample, c.tiffBits );
      EXPECT_EQ( saved->tiffOptions->floatingPoint, c.tiffFloat );
   }
}
