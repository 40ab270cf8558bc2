// The TIFF options dialog, driven through the scripted dialog runner.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <functional>

#include "TestSupport.h"
#include "windows/dialogs/TIFFOptionsDialog.h"

namespace
{

void Click( QDialog& d, const char* name )
{
   auto* b = d.findChild<QAbstractButton*>( name );
   ASSERT_NE( b, nullptr ) << name;
   b->click();
}

bool IsChecked( QDialog& d, const char* name )
{
   auto* b = d.findChild<QAbstractButton*>( name );
   return b != nullptr && b->isChecked();
}

class TIFFOptionsDialogTest : public test::ScriptedUiTest
{
protected:
   // Shows the dialog on the record (no image window: nothing to embed); the handler's result closes it unless it
   // clicked a button itself.
   int Run( TIFFOptions& options, const std::function<int( TTIFFFileOptionsDialog& )>& handler )
   {
      TTIFFFileOptionsDialog dialog( nullptr, nullptr, options );
      dialogs.Expect( "TIFFFileOptionsDialog",
                      [&]( QDialog& d ) { return handler( static_cast<TTIFFFileOptionsDialog&>( d ) ); } );
      const int result = dialog.ShowModal();
      changed = dialog.ChangedCount();
      return result;
   }

   int32_t changed = -1;
};

} // namespace

TEST_F( TIFFOptionsDialogTest, ShowsTheRecordAndAFloatingPointRecordBecomes32BitsEvenWhenCancelled )
{
   TIFFOptions options;
   options.floatingPoint = true;
   options.bitsPerSample = 16;
   options.compression = TIFFOptions::LZWCompression;
   options.planar = true;
   const int result = Run( options,
                           [&]( TTIFFFileOptionsDialog& d )
                           {
                              EXPECT_EQ( d.windowTitle(), "TIFF Options" );
                              EXPECT_TRUE( IsChecked( d, "IEEE32FP_RadioButton" ) );
                              EXPECT_FALSE( IsChecked( d, "_16Bits_RadioButton" ) );
                              EXPECT_TRUE( IsChecked( d, "CompressionLZW_RadioButton" ) );
                              EXPECT_TRUE( IsChecked( d, "PlanarOrganization_CheckBox" ) );
                              EXPECT_EQ( d.CompressionLZW_RadioButton->toolTip(),
                                         "LZW not recommended due to Unisys patent policy." );
                              Click( d, "_16Bits_RadioButton" );
                              Click( d, "Cancel_SpeedButton" );
                              return QDialog::Rejected;
                           } );
   EXPECT_EQ( result, QDialog::Rejected );
   EXPECT_EQ( options.bitsPerSample, 32 );
   EXPECT_TRUE( options.floatingPoint );
   EXPECT_EQ( options.compression, TIFFOptions::LZWCompression );
}

TEST_F( TIFFOptionsDialogTest, ChangesAreCountedAndStoredOnOK )
{
   struct Case
   {
      const char* what;
      std::vector<const char*> clicks;
      int32_t changes;
      std::function<void( TIFFOptions& )> expect; // applied to the record as it was
   } cases[] = {
      { "nothing", {}, 0, []( TIFFOptions& ) {} },
      { "the bit depth already chosen", { "_8Bits_RadioButton" }, 0, []( TIFFOptions& ) {} },
      { "the compression already chosen", { "CompressionNone_RadioButton" }, 1, []( TIFFOptions& ) {} },
      { "unsigned 32 bits after floating point",
        { "IEEE32FP_RadioButton", "_32Bits_RadioButton" },
        2,
        []( TIFFOptions& o ) { o.bitsPerSample = 32; } },
      { "ZIP and planar",
        { "CompressionZIP_RadioButton", "PlanarOrganization_CheckBox" },
        2,
        []( TIFFOptions& o )
        {
           o.compression = TIFFOptions::ZIPCompression;
           o.planar = true;
        } },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.what );
      TIFFOptions options;
      options.xResolution = 300; // never stored by the dialog
      TIFFOptions expected = options;
      c.expect( expected );
      // Nothing to embed: the box is off, and any counted change stores that too.
      if ( c.changes > 0 )
         expected.embedICCProfile = false;
      Run( options,
           [&]( TTIFFFileOptionsDialog& d )
           {
              EXPECT_FALSE( d.EmbedICCProfile_CheckBox->isEnabled() );
              for ( const char* name : c.clicks )
                 Click( d, name );
              Click( d, "OK_SpeedButton" );
              return QDialog::Accepted;
           } );
      EXPECT_EQ( changed, c.changes );
      EXPECT_EQ( options, expected );
   }
}

TEST_F( TIFFOptionsDialogTest, TextsShowTheirLineBreaksAndAreStoredWithSingleCarriageReturns )
{
   TIFFOptions options;
   options.description = "Orion\rnebula";
   options.software = "Lumenforge";
   Run( options,
        [&]( TTIFFFileOptionsDialog& d )
        {
           EXPECT_EQ( d.ImageDescription_Memo->toPlainText(), "Orion\nnebula" );
           EXPECT_EQ( d.ImageDescription_Memo->document()->blockCount(), 2 );
           EXPECT_EQ( d.SoftwareDescription_Memo->toPlainText(), "Lumenforge" );
           d.ImageCopyright_Memo->setFocus();
           QTest::keyClicks( d.ImageCopyright_Memo, "me" );
           QTest::keyClick( d.ImageCopyright_Memo, Qt::Key_Return );
           QTest::keyClicks( d.ImageCopyright_Memo, "2024" );
           Click( d, "OK_SpeedButton" );
           return QDialog::Accepted;
        } );
   EXPECT_GT( changed, 0 );
   EXPECT_EQ( options.description, "Orion\rnebula" );
   EXPECT_EQ( options.copyright, "me\r2024" );
   EXPECT_EQ( options.software, "Lumenforge" );
}
