// The FITS Header window driven offscreen: what it lists for an image, how it checks and normalises what the user
// types (refusing, with the reason, any keyword that strict FITS cannot hold), its buttons, imported instances,
// module and text files, and keywords applied, saved and read back by astropy and fitsverify.

#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableWidget>

#include <cstdio>
#include <fstream>

#include "TestDirs.h"
#include "formats/FITS.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/processing/FITSHeaderWindow.h"

namespace
{

class FITSHeaderWindowTest : public test::ImageWindowProcessTest
{
protected:
   // A grey image whose window holds the header of a file: structural cards and two user keywords.
   TImageWindow* ImageWithHeader()
   {
      TImageWindow* w = Make( RandomImage( 8, 6, 1, qor::ColorSpace::Gray ) );
      for ( const FITSHeaderKeyword& k : FITSKeywordList{ { "SIMPLE", "T", "" },
                                                           { "BITPIX", "16", "" },
                                                           { "NAXIS", "2", "" },
                                                           { "OBJECT", "'M 42'", "target" },
                                                           { "EXPTIME", "30", "seconds" } } )
         w->fitsOptions->keywords.Add( new FITSHeaderKeyword( k ) );
      return w;
   }

   void Type( const char* name, const char* value, const char* comment )
   {
      window.Name_Edit->setText( name );
      window.Value_Edit->setText( value );
      window.Comment_Edit->setText( comment );
   }

   QString Cell( int row, int column ) const { return window.Keywords_ListView->item( row, column )->text(); }

   TFITSHeaderWindow window;
};

TEST_F( FITSHeaderWindowTest, SelectingAnImageListsItsCardsWithTheStructuralOnesLocked )
{
   TImageWindow* w = ImageWithHeader();
   window.SelectView( w->mainView );
   ASSERT_EQ( window.Keywords_ListView->rowCount(), 6 ) << "five cards and the blank row";
   EXPECT_EQ( Cell( 0, 0 ), "SIMPLE" );
   EXPECT_EQ( Cell( 3, 1 ), "'M 42'" );
   EXPECT_EQ( window.ViewPath_Label->text(), "<*new*>" );

   EXPECT_EQ( window.Name_Edit->text(), "SIMPLE" );
   for ( QWidget* c : std::initializer_list<QWidget*>{ window.Name_Edit, window.Replace_Button, window.Add_Button,
                                                      window.Delete_Button } )
      EXPECT_FALSE( c->isEnabled() ) << c->objectName().toStdString();
   window.Keywords_ListView->setCurrentCell( 3, 0 );
   EXPECT_EQ( window.Comment_Edit->text(), "target" );
   EXPECT_TRUE( window.Replace_Button->isEnabled() );
   window.Keywords_ListView->setCurrentCell( 5, 0 );
   EXPECT_TRUE( window.Name_Edit->text().isEmpty() );
   EXPECT_FALSE( window.Replace_Button->isEnabled() );
   EXPECT_TRUE( window.Add_Button->isEnabled() );

   // Closing the image keeps the user keywords and drops the structural ones.
   delete w;
   ASSERT_EQ( window.keywords.size(), 2u );
   EXPECT_EQ( window.keywords[0].name, "OBJECT" );
   EXPECT_EQ( window.currentView, nullptr );
}

TEST_F( FITSHeaderWindowTest, AnImageNotReadFromAFITSFileSaysWhyItHasNoHeader )
{
   window.show();
   TImageWindow* tiff = Make( RandomImage( 4, 4, 1, qor::ColorSpace::Gray ) );
   tiff->fileFormat = TIFFImageFileFormat;
   window.SelectView( tiff->mainView );
   EXPECT_TRUE( window.NoHeader_Label->isVisible() );
   EXPECT_EQ( window.NoHeader_Label->text(), "No FITS header: this image was not read from a FITS file." );

   TImageWindow* fits = ImageWithHeader();
   fits->fileFormat = FITSImageFileFormat;
   window.SelectView( fits->mainView );
   EXPECT_FALSE( window.NoHeader_Label->isVisible() );
   window.SelectView( nullptr );
   EXPECT_FALSE( window.NoHeader_Label->isVisible() );
}

TEST_F( FITSHeaderWindowTest, ValuesAreNormalisedToTheirFITSForm )
{
   struct Case
   {
      const char* typed;
      const char* stored;
   };
   const Case cases[] = {
      { "text", "'text'" },     { "\"text\"", "'text'" }, { "'text", "'text'" },  { "'text'", "'text'" },
      { "'", "''" },
      { "12.5", "12.5" },       { "-3E5", "-3E5" },       { "T", "T" },           { "TRUE", "'TRUE'" },
      { "it's", "'it''s'" },    { "\"O'Brien", "'O''Brien'" }, { "  spaced  ", "'spaced'" }, { "", "" },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.typed );
      window.Value_Edit->setText( c.typed );
      RunEditExitHandler( window.Value_Edit );
      EXPECT_FALSE( window.inputError );
      EXPECT_EQ( window.Value_Edit->text().toStdString(), c.stored );
   }
}

TEST_F( FITSHeaderWindowTest, KeywordsStrictFITSCannotHoldAreRefusedWithTheReason )
{
   struct Case
   {
      const char* name;
      const char* value;
      const char* comment;
      const char* reason;
   };
   const std::string long60( 60, 'v' );
   const Case cases[] = {
      { "", "1", "", "Keyword name cannot be empty." },
      { "naxis", "1", "", "naxis is a reserved keyword you cannot use." },
      { "filter", "'R'", "", "filter is not a FITS keyword name" },
      { "EXPOSURE1", "1", "", "EXPOSURE1 is not a FITS keyword name" },
      { "MY KEY", "1", "", "is not a FITS keyword name" },
      { "XTENSION", "'IMAGE'", "", "is written by the program itself" },
      { "OBSERVER", "'O'Brien'", "", "a quote inside it must be written twice" },
      { "OBSERVER", "'abc''", "", "is not a FITS string value" },
      { "COMMENT", "'x'", "", "cards hold no value" },
      { "EQUINOX", "J2000", "", "EQUINOX takes a number or a logical value" },
      { "DATE-OBS", "yesterday", "", "not the text 'yesterday'" },
      { "OBJECT", "caf\xC3\xA9", "", "holds only printable ASCII characters" },
      { "NOTE", long60.c_str(), "a comment long enough to pass the end of the card", "would exceed of 80 characters" },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.name + std::string( " = " ) + c.value );
      window.Keywords_ListView->setCurrentCell( int( window.keywords.size() ), 0 );
      Type( c.name, c.value, c.comment );
      prompter.Expect( c.reason );
      window.Add_ButtonClick();
      EXPECT_TRUE( window.inputError );
      EXPECT_TRUE( window.keywords.empty() );
      window.inputError = false;
   }
   // A number out of range is said by the number reader.
   Type( "BIG", "1e39", "" );
   prompter.Expect( "out of range" );
   window.Add_ButtonClick();
   EXPECT_TRUE( window.keywords.empty() );

   // What fits is stored as normalised: a string of 68 characters fills the card without a comment.
   Type( "NOTE", std::string( 66, 'v' ).c_str(), "" );
   window.Add_ButtonClick();
   ASSERT_EQ( window.keywords.size(), 1u );
   EXPECT_EQ( window.keywords[0].value, "'" + std::string( 66, 'v' ) + "'" );
}

TEST_F( FITSHeaderWindowTest, ButtonsEditTheListAndApplyReplacesTheImagesUserKeywords )
{
   TImageWindow* w = ImageWithHeader();
   window.SelectView( w->mainView );
   window.Keywords_ListView->setCurrentCell( 4, 0 );
   Type( "EXPTIME", "120", "s" );
   window.Replace_ButtonClick();
   EXPECT_EQ( Cell( 4, 1 ), "120" );
   window.Keywords_ListView->setCurrentCell( 3, 0 );
   window.Delete_ButtonClick();
   EXPECT_EQ( Cell( 3, 0 ), "EXPTIME" ) << "the row keeps its index";
   window.Keywords_ListView->setCurrentCell( int( window.keywords.size() ), 0 );
   Type( "FILTER", "Red", "" );
   window.Add_ButtonClick();
   EXPECT_EQ( window.currentRow, int32_t( window.keywords.size() ) ) << "the blank row after an add";

   std::unique_ptr<Process> instance = window.NewInstance();
   EXPECT_EQ( instance->ToText(),
              "FITSKeywords keywords = {\n{ \"EXPTIME\", \"120\", \"s\" },\n{ \"FILTER\", \"'Red'\", \"\" }\n}" );
   const int32_t before = w->modificationCount;
   w->mainView->selectingWindows.Add( &window );
   window.ApplyButtonClick();
   std::vector<std::string> names;
   for ( const FITSHeaderKeyword* k : w->fitsOptions->keywords )
      names.push_back( k->name + "=" + k->value );
   EXPECT_EQ( names, ( std::vector<std::string>{ "SIMPLE=T", "BITPIX=16", "NAXIS=2", "EXPTIME=120", "FILTER='Red'" } ) );
   EXPECT_EQ( w->modificationCount, before + 1 );

   // Reset keeps nothing but the selection of none.
   window.Reset_ButtonClick();
   EXPECT_TRUE( window.keywords.empty() );
   EXPECT_EQ( window.Keywords_ListView->rowCount(), 1 );
}

TEST_F( FITSHeaderWindowTest, AnImportedInstanceIsShownWithoutImageAndSurvivesTheNextShow )
{
   TImageWindow* w = ImageWithHeader();
   FITSKeywords instance;
   instance.Values().keywords = { { "OBSERVER", "'Me'", "" } };
   window.SelectView( w->mainView );
   window.ImportInstance( instance );
   EXPECT_EQ( window.currentView, nullptr );
   ASSERT_EQ( window.keywords.size(), 1u );
   window.FormShow();
   EXPECT_EQ( window.keywords.size(), 1u );
   EXPECT_TRUE( instance.IsInterface( &window ) );
}

TEST_F( FITSHeaderWindowTest, ModulesAndTextListingsAreSavedByTheirExtensionOnly )
{
   test::TempDir dir;
   window.keywords = { { "FILTER", "'Red'", "" }, { "EXPTIME", "30", "s" } };
   const QString module = QString::fromStdString( dir.File( "set" ) );
   files.Expect( platform::FileDialogs::Kind::SaveFile, { module } );
   window.Save_ButtonClick();
   EXPECT_TRUE( std::ifstream( dir.File( "set.lf-hkm" ) ).good() );

   files.Expect( platform::FileDialogs::Kind::SaveFile, { QString::fromStdString( dir.File( "list" ) ) },
                 "Plain Text Files (*.txt)" );
   window.Save_ButtonClick();
   EXPECT_TRUE( std::ifstream( dir.File( "list.txt" ) ).good() );

   // An image's name is never overwritten with the listing.
   const std::string image = dir.File( "m42.fits" );
   std::ofstream( image ) << "image data";
   files.Expect( platform::FileDialogs::Kind::SaveFile, { QString::fromStdString( image ) } );
   prompter.Expect( "is neither" );
   window.Save_ButtonClick();
   std::ifstream in( image );
   std::string kept;
   std::getline( in, kept );
   EXPECT_EQ( kept, "image data" );

   window.keywords.clear();
   files.Expect( platform::FileDialogs::Kind::OpenFile, { module } );
   window.Load_ButtonClick();
   ASSERT_EQ( window.keywords.size(), 2u );
   EXPECT_EQ( window.keywords[1], FITSHeaderKeyword( "EXPTIME", "30", "s" ) );

   // A file of another kind: the module error, and the list as read before it.
   files.Expect( platform::FileDialogs::Kind::OpenFile, { QString::fromStdString( image ) } );
   prompter.Expect( "Module" );
   window.Load_ButtonClick();
   EXPECT_TRUE( window.keywords.empty() );
}

TEST_F( FITSHeaderWindowTest, KeywordsEditedHereAreTheCardsAstropyAndFitsverifyRead )
{
   TImageWindow* w = Make( RandomImage( 8, 6, 1, qor::ColorSpace::Gray ) );
   window.SelectView( w->mainView );
   struct Typed
   {
      const char* name;
      const char* value;
      const char* comment;
   };
   for ( const Typed& t : { Typed{ "OBJECT", "M 42", "Orion nebula" }, Typed{ "OBSERVER", "O'Brien", "" },
                            Typed{ "EXPTIME", "0.1", "seconds" }, Typed{ "JD", "2451545.123", "" },
                            Typed{ "COUNT", "123456789", "" }, Typed{ "DARK", "T", "dark subtracted" } } )
   {
      window.Keywords_ListView->setCurrentCell( int( window.keywords.size() ), 0 );
      Type( t.name, t.value, t.comment );
      window.Add_ButtonClick();
      ASSERT_FALSE( window.inputError ) << t.name;
   }
   w->mainView->selectingWindows.Add( &window );
   window.ApplyButtonClick();

   test::TempDir dir;
   const std::string path = dir.File( "edited.fits" );
   WriteFITS( *w->image, path, w->fitsOptions.get(), nullptr, nullptr );

   if ( std::system( "/usr/bin/python3 -c 'import astropy' >/dev/null 2>&1" ) != 0 )
      GTEST_SKIP() << "astropy is not installed for /usr/bin/python3 (Debian package python3-astropy; "
                      "tools/install-deps installs it)";
   const std::string script = dir.File( "cards.py" );
   std::ofstream( script ) << "import sys\nfrom astropy.io import fits\n"
                              "h = fits.getheader(sys.argv[1])\n"
                              "for k in ['OBJECT', 'OBSERVER', 'EXPTIME', 'JD', 'COUNT', 'DARK']:\n"
                              "    print('%s|%r|%s' % (k, h[k], h.comments[k]))\n";
   const std::string out = test::CommandOutput( "/usr/bin/python3 " + script + " " + path );
   EXPECT_EQ( out, "OBJECT|'M 42'|Orion nebula\n"
                   "OBSERVER|\"O'Brien\"|\n"
                   "EXPTIME|0.1|seconds\n"
                   "JD|2451545.123|\n"
                   "COUNT|123456789|\n"
                   "DARK|True|dark subtracted\n" );

   if ( std::system( "command -v fitsverify >/dev/null 2>&1" ) != 0 )
      GTEST_SKIP() << "fitsverify is not installed (Debian package fitsverify; tools/install-deps installs it)";
   const std::string verify = test::CommandOutput( "fitsverify -q " + path );
   EXPECT_NE( verify.find( "OK" ), std::string::npos ) << verify;
}

} // namespace
