// The IPTC Photo Info window driven offscreen: how items map to its controls and back, its status line, imported
// instances, module files, the date checks, and items applied, saved in a TIFF file and read by exiftool.

#include <gtest/gtest.h>

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>

#include <cstdio>

#include "TestDirs.h"
#include "formats/TIFF.h"
#include "process/IPTCPhotoInfoData.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/processing/IPTCPhotoInfoWindow.h"

namespace
{

void Set( qor::IPTCPhotoInfo& info, const char* name, const std::string& value )
{
   info.Set( qor::IPTCPhotoInfo::DescriptionByName( name ), value.data(), value.size() );
}

class IPTCPhotoInfoWindowTest : public test::ImageWindowProcessTest
{
protected:
   qor::IPTCPhotoInfo Stored()
   {
      qor::IPTCPhotoInfo info;
      EXPECT_TRUE( window.StoreControls( info ) );
      return info;
   }
   void SetDate( const char* year, const char* month, const char* day )
   {
      window.CreationDateYear_Edit->setText( year );
      window.CreationDateMonth_Edit->setText( month );
      window.CreationDateDay_Edit->setText( day );
   }

   TIPTCPhotoInfoWindow window;
};

TEST_F( IPTCPhotoInfoWindowTest, ItemsMapToTheirControlsAndBack )
{
   TImageWindow* w = Make( RandomImage( 8, 6, 1, qor::ColorSpace::Gray ) );
   window.SelectView( w->mainView );
   EXPECT_EQ( window.ViewInfo_Label->text(), "No IPTC Photo Info data" );
   EXPECT_TRUE( window.CreationDateYear_Edit->text().isEmpty() );
   window.City_Edit->setText( "P" );
   EXPECT_EQ( window.ViewInfo_Label->text(), "Data modified" );

   qor::IPTCPhotoInfo info;
   Set( info, "Keywords", "a;;b;" );
   Set( info, "Caption", "one\rtwo" );
   Set( info, "Urgency", "9" );
   Set( info, "DateCreated", "20040703" );
   Set( info, "DigitalCreationDate", "1999" );
   window.LoadControls( info );
   EXPECT_EQ( window.Keywords_Memo->toPlainText(), "a\n\nb" );
   EXPECT_EQ( window.Caption_Memo->toPlainText(), "one\ntwo" );
   EXPECT_EQ( window.Urgency_ComboBox->currentIndex(), 8 );
   EXPECT_EQ( window.CreationDateMonth_Edit->text(), "07" );
   EXPECT_EQ( window.DigitalCreationDateYear_Edit->text(), "1999" );
   EXPECT_TRUE( window.DigitalCreationDateMonth_Edit->text().isEmpty() );
   EXPECT_EQ( window.ViewInfo_Label->text(), "5 info item(s)" );

   // Urgency codes outside the list show at its ends, never below "None".
   for ( const auto& [code, index] : { std::pair{ "5", 5 }, std::pair{ "/", 0 }, std::pair{ " ", 0 } } )
   {
      qor::IPTCPhotoInfo u;
      Set( u, "Urgency", code );
      window.LoadControls( u );
      EXPECT_EQ( window.Urgency_ComboBox->currentIndex(), index ) << code;
   }

   window.LoadControls( qor::IPTCPhotoInfo() );
   window.Keywords_Memo->setPlainText( "a\nb\nc" );
   window.Caption_Memo->setPlainText( "one\ntwo" );
   window.Urgency_ComboBox->setCurrentIndex( 5 );
   SetDate( "999", "7", "3" );
   qor::IPTCPhotoInfo stored = Stored();
   EXPECT_EQ( stored.FindValue( "Keywords" ), "a;b;c" );
   EXPECT_EQ( stored.FindValue( "Caption" ), "one\rtwo" );
   EXPECT_EQ( stored.FindValue( "Urgency" ), "5" );
   EXPECT_EQ( stored.FindValue( "DateCreated" ), "09990703" ) << "eight digits, never a blank";
   window.Urgency_ComboBox->setCurrentIndex( 0 );
   window.CreationDateDay_Edit->clear();
   stored = Stored();
   EXPECT_FALSE( stored.FindValue( "Urgency" ) );
   EXPECT_FALSE( stored.FindValue( "DateCreated" ) ) << "a date with an empty edit is not stored";
}

TEST_F( IPTCPhotoInfoWindowTest, DatesAreCheckedAsEditsAndAsCalendarDates )
{
   window.CreationDateMonth_Edit->setText( "13" );
   prompter.Expect( "out of range" );
   RunEditExitHandler( window.CreationDateMonth_Edit );
   EXPECT_TRUE( window.inputError );
   window.inputError = false;
   window.CreationDateYear_Edit->setText( "2004.7" );
   RunEditExitHandler( window.CreationDateYear_Edit );
   EXPECT_EQ( window.CreationDateYear_Edit->text(), "2004" );

   SetDate( "2023", "2", "29" );
   prompter.Expect( "Creation Date: 2023-2-29 is not a date of the calendar." );
   qor::IPTCPhotoInfo info;
   EXPECT_FALSE( window.StoreControls( info ) );
   prompter.Expect( "calendar" );
   EXPECT_EQ( window.NewInstance(), nullptr );
   SetDate( "2024", "2", "29" );
   EXPECT_EQ( Stored().FindValue( "DateCreated" ), "20240229" );

   window.clock = [] { return std::time_t( 1088812800 ); }; // 2004-07-03 00:00 UTC
   window.DigitalCreationDateSystemDate_ButtonClick();
   EXPECT_EQ( Stored().FindValue( "DigitalCreationDate" ), "20040703" );
}

TEST_F( IPTCPhotoInfoWindowTest, InstancesModulesAndClearAll )
{
   TImageWindow* w = Make( RandomImage( 8, 6, 1, qor::ColorSpace::Gray ) );
   Set( *w->iptcInfo, "City", "Paris" );
   IPTCPhotoInfoData instance;
   Set( instance.Values().info, "Credit", "Me" );
   window.SelectView( w->mainView );
   window.ImportInstance( instance );
   window.FormShow();
   EXPECT_EQ( window.Credit_Edit->text(), "Me" );
   EXPECT_TRUE( window.City_Edit->text().isEmpty() );
   EXPECT_TRUE( instance.IsInterface( &window ) );

   window.SelectView( w->mainView );
   delete w;
   EXPECT_EQ( window.City_Edit->text(), "Paris" ) << "the items stay with no view selected";
   EXPECT_EQ( window.currentView, nullptr );

   test::TempDir dir;
   files.Expect( platform::FileDialogs::Kind::SaveFile, { QString::fromStdString( dir.File( "info" ) ) } );
   window.Save_ButtonClick();
   window.City_Edit->setText( "Rome" );
   files.Expect( platform::FileDialogs::Kind::OpenFile, { QString::fromStdString( dir.File( "info" ) ) } );
   prompter.Expect( "Data have been modified. OK to replace them with file data?", platform::Answer::Yes );
   window.Load_ButtonClick();
   EXPECT_EQ( window.City_Edit->text(), "Paris" );

   window.City_Edit->setText( "Rome" );
   prompter.Expect( "Data have been modified. OK to discard changes?", platform::Answer::No );
   window.ClearAll_ButtonClick();
   EXPECT_EQ( window.City_Edit->text(), "Rome" );
   prompter.Expect( "OK to discard changes?", platform::Answer::Yes );
   window.ClearAll_ButtonClick();
   EXPECT_TRUE( window.City_Edit->text().isEmpty() );
   EXPECT_EQ( window.ViewInfo_Label->text(), "No IPTC Photo Info data" );
}

TEST_F( IPTCPhotoInfoWindowTest, ItemsEditedHereAreWhatExiftoolReadsFromATIFFFile )
{
   TImageWindow* w = Make( RandomImage( 16, 8, 3, qor::ColorSpace::RGB ) );
   window.SelectView( w->mainView );
   window.ObjectName_Edit->setText( "NGC 2237" );
   window.Keywords_Memo->setPlainText( "nebula\nMonoceros" );
   window.City_Edit->setText( "La Palma" );
   window.CopyrightNotice_Memo->setPlainText( "(c) 2004 O'Brien" );
   window.Urgency_ComboBox->setCurrentIndex( 2 );
   SetDate( "2004", "7", "3" );
   w->mainView->selectingWindows.Add( &window );
   window.ApplyButtonClick();
   EXPECT_EQ( w->iptcInfo->FindValue( "City" ), "La Palma" );

   // In TIFF files the IIM block is the standard IPTC tag. (JPEG files carry it in an APP13 segment of the
   // program's own name, which other programs do not read as IPTC.)
   test::TempDir dir;
   const std::string tiff = dir.File( "edited.tif" );
   WriteTIFF( *w->image, tiff, nullptr, nullptr, w->iptcInfo.get() );

   if ( std::system( "command -v exiftool >/dev/null 2>&1" ) != 0 )
      GTEST_SKIP() << "exiftool is not installed (Debian package libimage-exiftool-perl; tools/install-deps installs it)";
   const std::string out = test::CommandOutput(
      "exiftool -s -s -IPTC:ObjectName -IPTC:Keywords -IPTC:City -IPTC:CopyrightNotice -IPTC:Urgency "
      "-IPTC:DateCreated " + tiff );
   for ( const char* expected : { "ObjectName: NGC 2237", "Keywords: nebula, Monoceros", "City: La Palma",
                                  "CopyrightNotice: (c) 2004 O'Brien", "Urgency: 2", "DateCreated: 2004:07:03" } )
      EXPECT_NE( out.find( expected ), std::string::npos ) << expected << "\n" << out;
}

} // namespace
