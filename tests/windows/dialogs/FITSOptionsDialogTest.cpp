// The FITS options dialog, driven through the scripted dialog runner.

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <functional>

#include "TestSupport.h"
#include "windows/dialogs/FITSOptionsDialog.h"

namespace
{

FITSOptions Format( int32_t bits, bool isUnsigned, bool isFloat, bool embed = true )
{
   FITSOptions o;
   o.bitsPerSample = bits;
   o.unsignedSamples = isUnsigned;
   o.floatingPoint = isFloat;
   o.embedICCProfile = embed;
   return o;
}

template <typename W = QRadioButton> W* Child( QDialog& d, const char* name )
{
   W* w = d.findChild<W*>( name );
   EXPECT_NE( w, nullptr ) << name;
   return w;
}

void Click( QDialog& d, const char* name )
{
   QTest::mouseClick( Child<QAbstractButton>( d, name ), Qt::LeftButton );
}

const char* const RadioButtons[] = { "UInt8_RadioButton",    "UInt16_RadioButton",  "Int16_RadioButton",
                                     "UInt32_RadioButton",   "Int32_RadioButton",   "Int64_RadioButton",
                                     "IEEE32FP_RadioButton", "IEEE64FP_RadioButton" };

// The one checked sample-format button, or "" when none or several are.
QString Checked( QDialog& d )
{
   QString found;
   int count = 0;
   for ( const char* name : RadioButtons )
      if ( Child( d, name )->isChecked() )
      {
         found = name;
         ++count;
      }
   return count == 1 ? found : QString();
}

class FITSOptionsDialogTest : public test::ScriptedUiTest
{
protected:
   // Runs the dialog on the options through the scripted runner with the handler; returns the dialog's result.
   int Run( FITSOptions& options, const std::function<int( TFITSFileOptionsDialog& )>& handler,
            const TFITSFileOptionsDialog::EmbedICCProfileSetup& embed = {} )
   {
      TFITSFileOptionsDialog dialog( nullptr, options, embed );
      dialogs.Expect( "FITSFileOptionsDialog",
                      [&]( QDialog& d ) { return handler( static_cast<TFITSFileOptionsDialog&>( d ) ); } );
      int result = platform::DialogRunner::exec( dialog );
      changed = dialog.ChangedCount();
      return result;
   }

   int32_t changed = -1;
};

} // namespace

TEST_F( FITSOptionsDialogTest, ShowsItsComponentsAndTheFormatOfTheRecord )
{
   struct Case
   {
      FITSOptions options;
      const char* checked;
   } cases[] = {
       { Format( 8, true, false ), "UInt8_RadioButton" },    { Format( 8, false, false ), "UInt8_RadioButton" },
       { Format( 16, true, false ), "UInt16_RadioButton" },  { Format( 16, false, false ), "Int16_RadioButton" },
       { Format( 32, true, false ), "UInt32_RadioButton" },  { Format( 32, false, false ), "Int32_RadioButton" },
       { Format( 64, false, false ), "Int64_RadioButton" },  { Format( 32, false, true ), "IEEE32FP_RadioButton" },
       { Format( 32, true, true ), "IEEE32FP_RadioButton" }, { Format( 64, true, true ), "IEEE64FP_RadioButton" } };
   for ( Case& c : cases )
   {
      SCOPED_TRACE( c.checked );
      int result = Run( c.options,
                        [&]( TFITSFileOptionsDialog& d )
                        {
                           EXPECT_EQ( d.windowTitle(), "FITS Options" );
                           EXPECT_EQ( Checked( d ), c.checked );
                           EXPECT_EQ( Child( d, "UInt8_RadioButton" )->text(), "8-bit unsigned integer" );
                           EXPECT_EQ( Child( d, "Int64_RadioButton" )->text(), "64-bit signed integer" );
                           EXPECT_FALSE( Child( d, "Int64_RadioButton" )->isEnabled() );
                           EXPECT_EQ( Child( d, "IEEE64FP_RadioButton" )->text(), "64-bit IEEE floating point" );
                           EXPECT_EQ( Child<QLabel>( d, "SampleFormatCaption_Panel" )->text(), "  Sample Format" );
                           EXPECT_EQ( Child<QCheckBox>( d, "EmbedICCProfile_CheckBox" )->text(), "Embed ICC Profile" );
                           EXPECT_EQ( Child<QPushButton>( d, "OK_SpeedButton" )->text(), "OK" );
                           EXPECT_EQ( Child<QPushButton>( d, "Cancel_SpeedButton" )->text(), "Cancel" );
                           return QDialog::Rejected;
                        } );
      EXPECT_EQ( result, QDialog::Rejected );
   }
}

TEST_F( FITSOptionsDialogTest, AFloatFileSavedAsSigned32BitIntegers )
{
   FITSOptions o = Format( 32, false, true, false );
   int result = Run( o,
                     []( TFITSFileOptionsDialog& d )
                     {
                        EXPECT_TRUE( Child( d, "IEEE32FP_RadioButton" )->isChecked() );
                        Click( d, "Int32_RadioButton" );
                        Click( d, "OK_SpeedButton" );
                        return QDialog::Accepted;
                     } );
   EXPECT_EQ( result, QDialog::Accepted );
   EXPECT_EQ( o.bitsPerSample, 32 );
   EXPECT_FALSE( o.unsignedSamples );
   EXPECT_FALSE( o.floatingPoint );
   EXPECT_EQ( changed, 1 );
}

// Integer buttons set all three values; floating-point buttons keep the signedness.
TEST_F( FITSOptionsDialogTest, EachButtonSetsItsFormat )
{
   struct Case
   {
      FITSOptions start;
      const char* button;
      int32_t bits;
      bool isUnsigned;
      bool isFloat;
      int32_t changes;
   } cases[] = { { Format( 16, true, false, false ), "UInt8_RadioButton", 8, true, false, 1 },
                 { Format( 8, true, false, false ), "UInt16_RadioButton", 16, true, false, 1 },
                 { Format( 32, true, true, false ), "Int16_RadioButton", 16, false, false, 3 },
                 { Format( 16, false, false, false ), "UInt32_RadioButton", 32, true, false, 2 },
                 { Format( 64, false, true, false ), "Int32_RadioButton", 32, false, false, 2 },
                 { Format( 16, true, false, false ), "IEEE32FP_RadioButton", 32, true, true, 2 },
                 { Format( 16, false, false, false ), "IEEE64FP_RadioButton", 64, false, true, 2 },
                 { Format( 64, true, true, false ), "IEEE32FP_RadioButton", 32, true, true, 1 } };
   for ( Case& c : cases )
   {
      SCOPED_TRACE( c.button );
      FITSOptions o = c.start;
      Run( o,
           [&]( TFITSFileOptionsDialog& d )
           {
              Click( d, c.button );
              EXPECT_EQ( Checked( d ), c.button );
              Click( d, "OK_SpeedButton" );
              return QDialog::Accepted;
           } );
      EXPECT_EQ( o.bitsPerSample, c.bits );
      EXPECT_EQ( o.unsignedSamples, c.isUnsigned );
      EXPECT_EQ( o.floatingPoint, c.isFloat );
      EXPECT_EQ( changed, c.changes );
   }
}

TEST_F( FITSOptionsDialogTest, OKWithoutChangesCountsNothingAndCancelStoresNothing )
{
   FITSOptions o = Format( 16, false, false, false );
   Run( o,
        []( TFITSFileOptionsDialog& d )
        {
           Click( d, "Int16_RadioButton" ); // already the format
           Click( d, "OK_SpeedButton" );
           return QDialog::Accepted;
        } );
   EXPECT_EQ( changed, 0 );

   int result = Run( o,
                     []( TFITSFileOptionsDialog& d )
                     {
                        Click( d, "IEEE64FP_RadioButton" );
                        Click( d, "Cancel_SpeedButton" );
                        return QDialog::Accepted;
                     } );
   EXPECT_EQ( result, QDialog::Rejected );
   EXPECT_EQ( changed, 0 );
   EXPECT_EQ( o.bitsPerSample, 16 );
   EXPECT_FALSE( o.floatingPoint );
}

TEST_F( FITSOptionsDialogTest, TheEmbeddingCheckBoxFollowsTheProfileSituation )
{
   // No profile to embed: disabled and unchecked, and OK stores false whatever the record said.
   FITSOptions o = Format( 16, true, false, true );
   Run( o,
        []( TFITSFileOptionsDialog& d )
        {
           QCheckBox* box = Child<QCheckBox>( d, "EmbedICCProfile_CheckBox" );
           EXPECT_FALSE( box->isEnabled() );
           EXPECT_FALSE( box->isChecked() );
           Click( d, "OK_SpeedButton" );
           return QDialog::Accepted;
        } );
   EXPECT_FALSE( o.embedICCProfile );
   EXPECT_EQ( changed, 1 );

   // A profile and default embedding on: enabled, checked, the profile named in the hint; unchecking stores false.
   TFITSFileOptionsDialog::EmbedICCProfileSetup setup{ true, true, "sRGB IEC61966-2.1" };
   o.embedICCProfile = false;
   Run(
       o,
       []( TFITSFileOptionsDialog& d )
       {
          QCheckBox* box = Child<QCheckBox>( d, "EmbedICCProfile_CheckBox" );
          EXPECT_TRUE( box->isEnabled() );
          EXPECT_TRUE( box->isChecked() );
          EXPECT_EQ( box->toolTip(), "sRGB IEC61966-2.1" );
          EXPECT_TRUE( d.Working().embedICCProfile );
          Click( d, "EmbedICCProfile_CheckBox" );
          EXPECT_FALSE( d.Working().embedICCProfile );
          Click( d, "OK_SpeedButton" );
          return QDialog::Accepted;
       },
       setup );
   EXPECT_FALSE( o.embedICCProfile );
   EXPECT_EQ( changed, 0 );

   // Enabled but default embedding off: unchecked until the user checks it.
   setup.checked = false;
   Run(
       o,
       []( TFITSFileOptionsDialog& d )
       {
          EXPECT_FALSE( Child<QCheckBox>( d, "EmbedICCProfile_CheckBox" )->isChecked() );
          Click( d, "EmbedICCProfile_CheckBox" );
          Click( d, "OK_SpeedButton" );
          return QDialog::Accepted;
       },
       setup );
   EXPECT_TRUE( o.embedICCProfile );
   EXPECT_EQ( changed, 1 );
}

TEST_F( FITSOptionsDialogTest, F9AndEnterAcceptEscapeCancels )
{
   struct Case
   {
      Qt::Key key;
      int result;
   } cases[] = { { Qt::Key_F9, QDialog::Accepted },
                 { Qt::Key_Return, QDialog::Accepted },
                 { Qt::Key_Escape, QDialog::Rejected } };
   for ( const Case& c : cases )
   {
      FITSOptions o = Format( 16, true, false, false );
      int result = Run( o,
                        [&]( TFITSFileOptionsDialog& d )
                        {
                           Click( d, "UInt8_RadioButton" );
                           d.activateWindow();
                           QTest::keyClick( &d, c.key );
                           return QDialog::Rejected;
                        } );
      EXPECT_EQ( result, c.result ) << c.key;
      EXPECT_EQ( o.bitsPerSample, c.result == QDialog::Accepted ? 8 : 16 ) << c.key;
   }
}
