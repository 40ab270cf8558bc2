// The JPEG options dialog and the RAW description dialog, driven through the scripted dialog runner.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QTest>

#include <filesystem>
#include <fstream>
#include <functional>

#include "TestDirs.h"
#include "TestSupport.h"
#include "classlib/Image.h"
#include "windows/dialogs/JPEGOptionsDialog.h"
#include "windows/dialogs/RAWOptionsDialog.h"

namespace
{

class FileOptionsDialogTest : public test::ScriptedUiTest
{
protected:
   // Runs a dialog through the scripted runner; the handler's result closes it unless it clicked a button itself.
   template <typename D> int Run( D& dialog, const std::function<int( D& )>& handler )
   {
      dialogs.Expect( dialog.objectName(), [&]( QDialog& d ) { return handler( static_cast<D&>( d ) ); } );
      return dialog.ShowModal();
   }

   static void Type( QLineEdit* edit, const QString& text )
   {
      edit->setText( text );
      RunEditExitHandler( edit );
   }

   std::string MakeFile( uint64_t size )
   {
      const std::string path = dir.File( "f.raw" );
      std::ofstream( path, std::ios::binary ) << std::string( size, 'x' );
      return path;
   }

   test::TempDir dir;
};

} // namespace

TEST_F( FileOptionsDialogTest, JPEGQualityEditAndTrackBarKeepInStepAndOKCountsTheChangedOptions )
{
   JPEGOptions options; // quality 0: none recorded
   TJPEGFileOptionsDialog dialog( nullptr, nullptr, options );
   const int result = Run<TJPEGFileOptionsDialog>(
      dialog,
      [&]( TJPEGFileOptionsDialog& d )
      {
         EXPECT_EQ( d.windowTitle(), "JPEG Options" );
         EXPECT_EQ( d.Quality_Edit->text(), "80" );
         EXPECT_EQ( d.Quality_TrackBar->value(), 80 );
         d.Quality_TrackBar->setValue( 63 );
         EXPECT_EQ( d.Quality_Edit->text(), "63" );
         Type( d.Quality_Edit, "37" );
         EXPECT_EQ( d.Quality_TrackBar->value(), 37 );
         // Out of range: the message, and the quality before.
         prompter.Expect( "" );
         Type( d.Quality_Edit, "150" );
         EXPECT_EQ( d.Quality_Edit->text(), "37" );
         EXPECT_TRUE( d.inputError );
         Type( d.Quality_Edit, "90" );
         d.OptimizedCoding_CheckBox->click();
         // Nothing to embed: the box is off and disabled.
         EXPECT_FALSE( d.EmbedICCProfile_CheckBox->isEnabled() );
         d.OK_SpeedButton->click();
         return QDialog::Accepted;
      } );
   EXPECT_EQ( result, QDialog::Accepted );
   EXPECT_FALSE( dialog.inputError );
   EXPECT_EQ( options.quality, 90 );
   EXPECT_FALSE( options.optimizedCoding );
   EXPECT_FALSE( options.embedICCProfile );
   EXPECT_EQ( dialog.ChangedCount(), 3 ); // quality, coding, embedding

   // Nothing touched: the quality shown (80 for none) is stored and counted.
   JPEGOptions none;
   none.embedICCProfile = false;
   TJPEGFileOptionsDialog again( nullptr, nullptr, none );
   Run<TJPEGFileOptionsDialog>( again, []( TJPEGFileOptionsDialog& d )
                                {
                                   d.OK_SpeedButton->click();
                                   return QDialog::Accepted;
                                } );
   EXPECT_EQ( none.quality, 80 );
   EXPECT_EQ( again.ChangedCount(), 1 );
}

TEST_F( FileOptionsDialogTest, RAWReadingProposesADescriptionFromTheFileSize )
{
   struct Case
   {
      uint64_t size;
      int32_t channels, side;
   } cases[] = { { 3000000, 3, 500 }, { 1000000, 1, 500 } };
   for ( const Case& c : cases )
   {
      RAWOptions options; // 32-bit floats
      options.width = 7;
      TRAWFileOptionsDialog dialog( nullptr, MakeFile( c.size ), options );
      EXPECT_EQ( dialog.Working().channels, c.channels ) << c.size;
      EXPECT_EQ( dialog.Working().width, c.side ) << c.size;
      EXPECT_EQ( dialog.Working().height, c.side ) << c.size;
      EXPECT_EQ( dialog.Working().dataOffset, 0u ) << c.size;
      EXPECT_EQ( dialog.Info_Panel->text(), QString( " Loading file: size = %1 bytes" ).arg( c.size ) );
      EXPECT_FALSE( dialog.DataOffset_Edit->isEnabled() );
      EXPECT_FALSE( dialog.KeepHeader_CheckBox->isEnabled() ); // no header
   }

   // 8-bit, 1000 x 1000 typed in: 54 bytes of header, which may be kept; wider than the file: nothing is stored.
   RAWOptions options;
   TRAWFileOptionsDialog dialog( nullptr, MakeFile( 1000054 ), options );
   Run<TRAWFileOptionsDialog>( dialog,
                               [&]( TRAWFileOptionsDialog& d )
                               {
                                  d.SampleFormat_ComboBox->setCurrentIndex( 0 );
                                  d.SampleFormat_ComboBoxSelect( 0 );
                                  d.ColorSpace_ComboBoxSelect( 0 );
                                  Type( d.Channels_Edit, "1" );
                                  Type( d.Width_Edit, "1000" );
                                  Type( d.Height_Edit, "1000" );
                                  EXPECT_EQ( d.Working().dataOffset, 54u );
                                  EXPECT_EQ( d.DataOffset_Edit->text(), "54" );
                                  EXPECT_TRUE( d.KeepHeader_CheckBox->isEnabled() );
                                  Type( d.Width_Edit, "2000" );
                                  EXPECT_EQ( d.Info_Panel->text(), " Loading file: <* exceeded file size *>" );
                                  EXPECT_EQ( d.Working().dataOffset, 0u );
                                  d.OK_SpeedButton->click();
                                  EXPECT_TRUE( d.isVisible() ); // an invalid description keeps the dialog open
                                  EXPECT_EQ( options, RAWOptions() );
                                  Type( d.Width_Edit, "1000" );
                                  d.OK_SpeedButton->click();
                                  return QDialog::Accepted;
                               } );
   EXPECT_EQ( options.width, 1000 );
   EXPECT_EQ( options.bitsPerSample, 8 );
   EXPECT_FALSE( options.floatingPoint );
   EXPECT_EQ( options.dataOffset, 54u );

   // A file that cannot be read: size unknown.
   RAWOptions unknown;
   TRAWFileOptionsDialog missing( nullptr, dir.File( "none.raw" ), unknown );
   EXPECT_EQ( missing.Info_Panel->text(), " Loading file: <* file size unknown *>" );
   EXPECT_TRUE( missing.inputError );
}

// A file of more than 4 GiB (sparse: it takes no room on the disk) keeps a header of more than 4 GiB in front of a
// small image at its end, shown and stored as it is.
TEST_F( FileOptionsDialogTest, RAWReadingOfAFileBeyond4GiBShowsItsWholeHeader )
{
   const uint64_t size = ( uint64_t( 5 ) << 30 ) + 7;
   const std::string path = MakeFile( 0 );
   std::filesystem::resize_file( path, size );
   RAWOptions options;
   TRAWFileOptionsDialog dialog( nullptr, path, options );
   EXPECT_EQ( dialog.Info_Panel->text(), QString( " Loading file: size = %1 bytes" ).arg( size ) );
   Run<TRAWFileOptionsDialog>( dialog,
                               [&]( TRAWFileOptionsDialog& d )
                               {
                                  d.SampleFormat_ComboBoxSelect( 0 );
                                  d.ColorSpace_ComboBoxSelect( 0 );
                                  Type( d.Channels_Edit, "1" );
                                  Type( d.Width_Edit, "100" );
                                  Type( d.Height_Edit, "10" );
                                  EXPECT_EQ( d.Working().dataOffset, size - 1000 );
                                  EXPECT_EQ( d.DataOffset_Edit->text(), QString::number( size - 1000 ) );
                                  d.OK_SpeedButton->click();
                                  return QDialog::Accepted;
                               } );
   EXPECT_EQ( options.dataOffset, size - 1000 );
}

TEST_F( FileOptionsDialogTest, RAWWritingTakesTheImageAndStaysBelow4GB )
{
   qor::Image image( 100, 100, 4, 1 ); // RGB with one alpha channel
   RAWOptions options;
   TRAWFileOptionsDialog dialog( nullptr, image, options );
   EXPECT_EQ( dialog.Working().channels, 4 );
   EXPECT_EQ( dialog.Working().colorSpace, 1 );
   EXPECT_FALSE( dialog.Width_Edit->isEnabled() );
   EXPECT_TRUE( dialog.DataOffset_Edit->isEnabled() );
   dialog.SampleFormat_ComboBoxSelect( 0 );
   EXPECT_EQ( dialog.Info_Panel->text(), " Saving file: size = 40000 bytes" );
   Type( dialog.DataOffset_Edit, "12.7" );
   EXPECT_EQ( dialog.Working().dataOffset, 12u );
   EXPECT_EQ( dialog.Info_Panel->text(), " Saving file: size = 40012 bytes" );

   qor::Image large;
   large.Allocate( 1, 1, 1, 0 );
   RAWOptions o;
   // 30000 x 20000 x 3 doubles: 14.4 GB. Only the geometry matters, so a stand-in of that size is not allocated:
   // the estimate is checked on an image of 1 x 1 with a header just below and at 4 GB instead.
   TRAWFileOptionsDialog big( nullptr, large, o );
   big.SampleFormat_ComboBoxSelect( 0 );
   Type( big.DataOffset_Edit, "4294967295" );
   EXPECT_EQ( big.Info_Panel->text(), " Saving file: <* file would be larger than 4 GB *>" );
   EXPECT_TRUE( big.inputError );
   Type( big.DataOffset_Edit, "4294967294" );
   EXPECT_FALSE( big.inputError );
}
