// Reading and writing numbers and identifiers in controls, slider mapping, reports and small services.

#include <gtest/gtest.h>

#include <QDesktopServices>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QTest>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>

#include <cerrno>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <functional>
#include <limits>
#include <optional>
#include <stdexcept>

#include "TestDirs.h"
#include "TestSupport.h"
#include "classlib/Exception.h"
#include "support/ApplicationNames.h"
#include "support/Utils.h"

namespace
{

// --- ParseNumber ------------------------------------------------------------------------------------------------

struct AcceptedNumber
{
   const char* text;
   double minimum;
   double maximum;
   bool real;
   long double expected;
};

TEST( ParseNumberTest, AcceptsLiteralsAndSnapsToRangeEndsWithinTolerance )
{
   const AcceptedNumber cases[] = {
      { "  2.5e-3 \t", 0, 1, true, 0.0025L },
      { "-.5", -1, 1, true, -0.5L },
      { "5.", 0, 10, true, 5 },
      { "1.5d2", 0, 1000, true, 150 },
      { "1.5F+1", 0, 100, true, 15 },
      { "2E-1", 0, 1, true, 0.2L },
      { "+7", 0, 10, false, 7 },
      { "-255", -255, 255, false, -255 },
      { "1.00000005", 0, 1, true, 1 },   // 5e-8 above the top: the top
      { "-0.00000009", 0, 1, true, 0 },  // 9e-8 below the bottom: the bottom
      { "0.0000001", 0.0000002, 1, true, 0.0000002L },
   };
   for ( const AcceptedNumber& c : cases )
   {
      SCOPED_TRACE( c.text );
      long double v = ParseNumber( c.text, c.minimum, c.maximum, c.real );
      EXPECT_EQ( static_cast<double>( v ), static_cast<double>( c.expected ) );
   }
}

struct RejectedNumber
{
   const char* text;
   bool real;
   const char* message;
};

TEST( ParseNumberTest, RejectsMalformedLiteralsWithTheirMessage )
{
   const RejectedNumber cases[] = {
      { "", true, "Digit(s) expected." },
      { "   ", true, "Digit(s) expected." },
      { "-", true, "Digit(s) expected." },
      { ".", true, "Digit(s) expected." },
      { "1e", true, "Digit(s) expected." },
      { "1e+", true, "Digit(s) expected." },
      { "e5", true, "Misplaced exponent separator." },
      { "-e5", true, "Misplaced exponent separator." },
      { "1e5e2", true, "Too many exponent separators." },
      { "1e2.5", true, "Misplaced decimal point." },
      { "1.2.3", true, "Too many decimal points." },
      { "1-2", true, "Misplaced sign." },
      { "+-1", true, "Misplaced sign." },
      { "1e2-", true, "Misplaced sign." },
      { "1 2", true, "Misplaced whitespace." },
      { "1\t2", true, "Misplaced whitespace." },
      { "1x", true, "Invalid character(s) in numeric literal." },
      { "0x10", true, "Invalid character(s) in numeric literal." },
      { "1,5", true, "Invalid character(s) in numeric literal." },
      { "1.5", false, "Decimal point not allowed for integer value." },
      { "1e5", false, "Exponent not allowed for integer value." },
   };
   for ( const RejectedNumber& c : cases )
   {
      SCOPED_TRACE( c.text );
      try
      {
         ParseNumber( c.text, -1e9, 1e9, c.real );
         ADD_FAILURE() << "accepted";
      }
      catch ( const ConvertError& x )
      {
         EXPECT_STREQ( x.what(), c.message );
      }
   }
}

TEST( ParseNumberTest, OutOfRangeNamesTheValueAndTheRange )
{
   struct Case
   {
      const char* text;
      double minimum;
      double maximum;
      bool real;
      const char* message;
   };
   const Case cases[] = {
      { "1.001", 0, 1, true, "Numerical value out of range: 1.001\nValid range is: 0 to 1" },
      { "-0.0000002", 0, 1, true, "Numerical value out of range: -2e-07\nValid range is: 0 to 1" },
      { "300", 0, 255, false, "Numerical value out of range: 300\nValid range is: 0 to 255" },
      { "1e999", 0, 1, true, "Numerical value out of range: inf\nValid range is: 0 to 1" },
      { "2.5", 0.5, 1.25, true, "Numerical value out of range: 2.5\nValid range is: 0.5 to 1.25" },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.text );
      try
      {
         ParseNumber( c.text, c.minimum, c.maximum, c.real );
         ADD_FAILURE() << "accepted";
      }
      catch ( const RangeError& x )
      {
         EXPECT_STREQ( x.what(), c.message );
      }
   }
}

// --- ParseIdentifier ------------------------------------------------------------------------------------------

TEST( ParseIdentifierTest, AcceptsIdentifiersAndMacroExpressions )
{
   std::string result = "old";
   ParseIdentifier( result, "  M31_crop ", false, false );
   EXPECT_EQ( result, "M31_crop" );
   ParseIdentifier( result, "&prefix;_1", true, false );
   EXPECT_EQ( result, "&prefix;_1" );
   ParseIdentifier( result, "_2", false, false );
   EXPECT_EQ( result, "_2" );
   ParseIdentifier( result, "&a;7", true, false );
   EXPECT_EQ( result, "&a;7" );
   ParseIdentifier( result, "  ", false, true );
   EXPECT_EQ( result, "" );
}

TEST( ParseIdentifierTest, RejectsWithTheirMessageAndLeavesTheResult )
{
   struct Case
   {
      const char* text;
      bool allowMacros;
      bool allowEmpty;
      const char* message;
   };
   const Case cases[] = {
      { "1st", true, false, "Identifiers must begin with an alphabetic or underscore character." },
      { "&1;", true, false, "Identifiers must begin with an alphabetic or underscore character." },
      { "a b", true, false, "Whitespace not allowed in identifiers." },
      { "a.b", true, false, "Decimal point not allowed here." },
      { "a::b", true, false, "Scope resolution operator not allowed here." },
      { "a-b", true, false, "Invalid character(s) in identifier." },
      { "&;", true, false, "Macro expression is empty." },
      { "&a", true, false, "Unterminated macro expression." },
      { "&a&b;;", true, false, "Nested macro expressions not allowed." },
      { "a;", true, false, "Misplaced macro expression terminating character." },
      { "&a;", false, false, "Macro expressions not allowed here." },
      { "", true, false, "Identifier cannot be empty in this context." },
      { "&;", true, true, "Macro expression is empty." },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.text );
      std::string result = "kept";
      try
      {
         ParseIdentifier( result, c.text, c.allowMacros, c.allowEmpty );
         ADD_FAILURE() << "accepted";
      }
      catch ( const ConvertError& x )
      {
         EXPECT_STREQ( x.what(), c.message );
      }
      EXPECT_EQ( result, "kept" );
   }
}

TEST( ParseIdentifierTest, ValidatorRunsOnlyForAChangedPlainIdentifier )
{
   int calls = 0;
   IdentifierValidator taken = [&calls]( const std::string& id, std::string& message ) {
      ++calls;
      message = "Identifier already in use: " + id;
      return false;
   };
   std::string result = "abc";
   ParseIdentifier( result, "abc", true, false, "abc", taken );  // unchanged
   ParseIdentifier( result, "&p;x", true, false, "abc", taken ); // holds a macro expression
   EXPECT_EQ( calls, 0 );
   EXPECT_EQ( result, "&p;x" );
   try
   {
      ParseIdentifier( result, "Image2", true, false, "abc", taken );
      ADD_FAILURE() << "accepted";
   }
   catch ( const ConvertError& x )
   {
      EXPECT_STREQ( x.what(), "Identifier already in use: Image2" );
   }
   EXPECT_EQ( calls, 1 );
   EXPECT_EQ( result, "&p;x" );
}

// --- Reading from edits --------------------------------------------------------------------------------------

// A form with two edits, in the way a processing window reads its controls.
class EditReadingTest : public test::ScriptedUiTest
{
protected:
   void SetUp() override
   {
      test::ScriptedUiTest::SetUp();
      auto* layout = new QVBoxLayout( &form );
      sigmaEdit = new QLineEdit( &form );
      sigmaEdit->setObjectName( "Sigma_Edit" );
      otherEdit = new QLineEdit( &form );
      layout->addWidget( sigmaEdit );
      layout->addWidget( otherEdit );
      form.show();
      form.activateWindow();
      ASSERT_TRUE( QTest::qWaitForWindowActive( &form ) );
      otherEdit->setFocus();
      ASSERT_TRUE( otherEdit->hasFocus() );
   }

   // The control event handler's pattern: read, keep the old value on failure, write back.
   void SigmaEditExit()
   {
      try
      {
         sigma = static_cast<double>( ReadNumberFromEdit( sigmaEdit, 0.1, 10, true ) );
      }
      catch ( const qor::CatchedException& )
      {
      }
      WriteRealToEdit( sigmaEdit, sigma, 2 );
   }

   QWidget form;
   QLineEdit* sigmaEdit = nullptr;
   QLineEdit* otherEdit = nullptr;
   double sigma = 1.5;
};

TEST_F( EditReadingTest, BadNumberShowsOneWarningRefocusesAndThrowsCatched )
{
   sigmaEdit->setText( "2.5-" );
   platform::ScriptedPrompter::Expectation box;
   box.text = "Misplaced sign.";
   box.caption = ApplicationTitle();
   box.icon = platform::Icon::Warning;
   prompter.Expect( box );
   EXPECT_THROW( ReadNumberFromEdit( sigmaEdit, 0, 10, true ), qor::CatchedException );
   EXPECT_EQ( sigmaEdit->text(), "2.5-" );
   EXPECT_TRUE( sigmaEdit->hasFocus() );
   ASSERT_EQ( prompter.Records().size(), 1u );
   EXPECT_EQ( prompter.Records()[0].text, "Misplaced sign." );
   EXPECT_EQ( prompter.Records()[0].buttons, platform::Buttons::Ok );
}

TEST_F( EditReadingTest, EditKeepsItsLastValidValueAfterABadEntry )
{
   sigmaEdit->setText( " 4.25 " );
   SigmaEditExit();
   EXPECT_EQ( sigma, 4.25 );
   EXPECT_EQ( sigmaEdit->text(), "4.25" );

   prompter.Expect( "Numerical value out of range: 12\nValid range is: 0.1 to 10" );
   sigmaEdit->setText( "12" );
   SigmaEditExit();
   EXPECT_EQ( sigma, 4.25 );
   EXPECT_EQ( sigmaEdit->text(), "4.25" );
}

// Calls a handler when its widget loses the focus, as the windows validate their edits.
class FocusOutFilter : public QObject
{
public:
   explicit FocusOutFilter( std::function<void()> handler ) : handler( std::move( handler ) ) {}

protected:
   bool eventFilter( QObject* watched, QEvent* event ) override
   {
      if ( event->type() == QEvent::FocusOut )
         handler();
      return QObject::eventFilter( watched, event );
   }

private:
   std::function<void()> handler;
};

TEST_F( EditReadingTest, LeavingABadEditReportsOnceAndTakesTheFocusBack )
{
   FocusOutFilter filter( [this] { SigmaEditExit(); } );
   sigmaEdit->installEventFilter( &filter );
   sigmaEdit->setFocus();
   ASSERT_TRUE( sigmaEdit->hasFocus() );
   sigmaEdit->setText( "1..5" );

   prompter.Expect( "Too many decimal points." );
   otherEdit->setFocus();
   EXPECT_TRUE( sigmaEdit->hasFocus() );
   EXPECT_EQ( sigmaEdit->text(), "1.50" );
   EXPECT_EQ( sigma, 1.5 );
   EXPECT_EQ( prompter.Records().size(), 1u );

   // A good value passes without a box and lets the focus go.
   sigmaEdit->setText( "2" );
   otherEdit->setFocus();
   EXPECT_TRUE( otherEdit->hasFocus() );
   EXPECT_EQ( sigma, 2 );
   EXPECT_EQ( prompter.Records().size(), 1u );
   sigmaEdit->removeEventFilter( &filter );
}

TEST_F( EditReadingTest, IdentifierReadingReportsTheValidatorsMessage )
{
   std::string id = "Image1";
   otherEdit->setText( "Image2" );
   IdentifierValidator unique = []( const std::string& text, std::string& message ) {
      message = "Duplicate identifier: " + text;
      return false;
   };
   prompter.Expect( "Duplicate identifier: Image2" );
   EXPECT_THROW( ReadIdentifierFromEdit( id, otherEdit, false, false, id, unique ), qor::CatchedException );
   EXPECT_EQ( id, "Image1" );

   otherEdit->setText( " Image3 " );
   ReadIdentifierFromEdit( id, otherEdit, false, false, id, nullptr );
   EXPECT_EQ( id, "Image3" );
}

TEST_F( EditReadingTest, ForeignFailureIsReportedAsUnexpected )
{
   std::string id;
   sigmaEdit->setText( "abc" );
   IdentifierValidator broken = []( const std::string&, std::string& ) -> bool {
      errno = ENOENT;
      throw std::runtime_error( "not a toolkit error" );
   };
   platform::ScriptedPrompter::Expectation box;
   box.pattern = QRegularExpression( "^Exception location:\n   File: support/Utils.cpp\n   Line: \\d+\n\n"
                                     "System error information:\n   No such file or directory$" );
   box.caption = "Unexpected Exception";
   box.icon = platform::Icon::Warning;
   prompter.Expect( box );
   EXPECT_THROW( ReadIdentifierFromEdit( id, sigmaEdit, false, false, "", broken ), qor::CatchedException );
   EXPECT_TRUE( sigmaEdit->hasFocus() );
}

// --- Formatting --------------------------------------------------------------------------------------------------

TEST( FormatTest, SignsDecimalsAndValuesOfAnySize )
{
   EXPECT_EQ( FormatReal( 0, 2, true ), "0.00" );
   EXPECT_EQ( FormatReal( 1.5, 3, true ), "+1.500" );
   EXPECT_EQ( FormatReal( -1.25, 1, true ), "-1.2" );
   EXPECT_EQ( FormatReal( 2.5, 0, false ), "2" );
   EXPECT_EQ( FormatInteger( INT_MIN ), "-2147483648" );

   // Far beyond the 32 characters an old fixed buffer had room for.
   std::string huge = FormatReal( -1e300, 6, true );
   EXPECT_EQ( huge.size(), 1u + 301u + 7u );
   EXPECT_EQ( huge.substr( 0, 20 ), "-1000000000000000052" );
   EXPECT_EQ( huge.substr( huge.size() - 7 ), ".000000" );
   EXPECT_EQ( FormatReal( std::numeric_limits<double>::max(), 2, false ).size(), 309u + 3u );
}

TEST( FormatTest, WritersFillEditsAndPanels )
{
   QLineEdit edit;
   QLabel panel;
   WriteRealToEdit( &edit, 0.125, 2, true );
   EXPECT_EQ( edit.text(), "+0.12" );
   WriteIntegerToEdit( &edit, -42 );
   EXPECT_EQ( edit.text(), "-42" );
   WriteRealToPanel( &panel, 3.14159, 3 );
   EXPECT_EQ( panel.text(), "3.142" );
   WriteIntegerToPanel( &panel, 7 );
   EXPECT_EQ( panel.text(), "7" );
   // What is written reads back.
   EXPECT_EQ( static_cast<double>( ReadNumberFromEdit( &edit, -100, 100, false ) ), -42 );
}

// --- Sliders -------------------------------------------------------------------------------------------------------

TEST( TrackBarTest, SetRoundsTiesToEvenAndClampsToTheSlider )
{
   struct Case
   {
      double value;
      int position;
   };
   const Case cases[] = {
      { 0.125, 12 },  // 12.5: ties to even
      { 0.375, 38 },  // 37.5
      { 0.5, 50 },
      { 1.5, 100 },
      { -0.2, 0 },
      { 1e300, 100 }, // no integer overflow on the way
      { -1e300, 0 },
      { std::nan( "" ), 0 },
   };
   QSlider slider;
   slider.setRange( 0, 100 );
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.value );
      slider.setValue( 77 );
      SetTrackBarValue( &slider, c.value, 0, 1 );
      EXPECT_EQ( slider.value(), c.position );
   }
}

TEST( TrackBarTest, GetMapsPositionsIntoTheRangeAndRoundTrips )
{
   QSlider slider;
   slider.setRange( -50, 50 );
   slider.setValue( 0 );
   EXPECT_DOUBLE_EQ( static_cast<double>( GetTrackBarValue( &slider, 10, 20 ) ), 15 );
   slider.setValue( -50 );
   EXPECT_DOUBLE_EQ( static_cast<double>( GetTrackBarValue( &slider, 10, 20 ) ), 10 );
   for ( int p = -50; p <= 50; ++p )
   {
      slider.setValue( p );
      double v = static_cast<double>( GetTrackBarValue( &slider, 0.001, 3.7 ) );
      slider.setValue( 0 );
      SetTrackBarValue( &slider, v, 0.001, 3.7 );
      EXPECT_EQ( slider.value(), p );
   }

   // Empty ranges do not divide by zero.
   slider.setRange( 5, 5 );
   EXPECT_EQ( static_cast<double>( GetTrackBarValue( &slider, 2, 3 ) ), 2 );
   slider.setRange( 0, 10 );
   for ( double value : { 1.0, 2.0, 0.0 } )
   {
      SCOPED_TRACE( value );
      slider.setValue( 7 );
      SetTrackBarValue( &slider, value, 1, 1 );
      EXPECT_EQ( slider.value(), 0 );
   }
}

TEST( TrackBarTest, ASliderOverTheWholeIntRangeMapsWithoutOverflow )
{
   QSlider slider;
   slider.setRange( INT32_MIN, INT32_MAX );
   slider.setValue( INT32_MAX );
   EXPECT_DOUBLE_EQ( static_cast<double>( GetTrackBarValue( &slider, 0, 1 ) ), 1 );
   slider.setValue( 0 );
   EXPECT_NEAR( static_cast<double>( GetTrackBarValue( &slider, 0, 1 ) ), 0.5, 1e-9 );
   SetTrackBarValue( &slider, 1, 0, 1 );
   EXPECT_EQ( slider.value(), INT32_MAX );
   SetTrackBarValue( &slider, 0.75, 0, 1 );
   EXPECT_NEAR( slider.value(), INT32_MAX / 2, 2 );
}

// --- Reports and system information ------------------------------------------------------------------------------

class ReportTest : public test::ScriptedUiTest
{
};

TEST_F( ReportTest, UnexpectedExceptionNamesPlaceAndSystemError )
{
   prompter.Expect( "Line: 42" ).Expect( "Line: 7" );
   errno = 0;
   ReportUnexpectedException( "windows/Foo.cpp", 42 );
   errno = EACCES;
   ReportUnexpectedException( "windows/Foo.cpp", 7 );
   ASSERT_EQ( prompter.Records().size(), 2u );
   EXPECT_EQ( prompter.Records()[0].caption, "Unexpected Exception" );
   EXPECT_EQ( prompter.Records()[0].icon, platform::Icon::Warning );
   EXPECT_EQ( prompter.Records()[0].text, "Exception location:\n   File: windows/Foo.cpp\n   Line: 42\n\n"
                                          "There is no additional system error information." );
   EXPECT_EQ( prompter.Records()[1].text, "Exception location:\n   File: windows/Foo.cpp\n   Line: 7\n\n"
                                          "System error information:\n   Permission denied" );
}

TEST( SystemInformationTest, VersionAndApplicationTitle )
{
   EXPECT_EQ( GetProgramVersion(), LF_VERSION );
   EXPECT_EQ( ApplicationTitle(), QString( "Corvanta Lumenforge " ) + LF_VERSION );
}

// Sets TMPDIR for the scope of a test.
class TmpDirVariable
{
public:
   explicit TmpDirVariable( const std::string& value )
   {
      if ( const char* old = std::getenv( "TMPDIR" ) )
         previous = old;
      ::setenv( "TMPDIR", value.c_str(), 1 );
   }
   ~TmpDirVariable()
   {
      if ( previous )
         ::setenv( "TMPDIR", previous->c_str(), 1 );
      else
         ::unsetenv( "TMPDIR" );
   }

private:
   std::optional<std::string> previous;
};

TEST( SystemInformationTest, TempDirectoryHasNoTrailingSeparatorExceptTheRoot )
{
   test::TempDir dir;
   {
      TmpDirVariable t( dir.Path().string() + "/" );
      EXPECT_EQ( GetTempDirectory(), dir.Path().string() );
   }
   {
      TmpDirVariable t( dir.Path().string() + "/./" );
      EXPECT_EQ( GetTempDirectory(), dir.Path().string() );
   }
   {
      TmpDirVariable t( "/" );
      EXPECT_EQ( GetTempDirectory(), "/" );
   }
   {
      TmpDirVariable t( dir.File( "missing" ) );
      EXPECT_EQ( GetTempDirectory(), "" );
   }
}

} // namespace

// Receives what QDesktopServices would hand to the desktop.
class UrlCatcher : public QObject
{
   Q_OBJECT

public:
   QList<QUrl> urls;

public Q_SLOTS:
   void Open( const QUrl& url ) { urls << url; }
};

namespace
{

class BrowserTest : public test::ScriptedUiTest
{
protected:
   void SetUp() override
   {
      test::ScriptedUiTest::SetUp();
      for ( const char* scheme : { "file", "https", "http" } )
         QDesktopServices::setUrlHandler( scheme, &catcher, "Open" );
   }
   void TearDown() override
   {
      for ( const char* scheme : { "file", "https", "http" } )
         QDesktopServices::unsetUrlHandler( scheme );
      test::ScriptedUiTest::TearDown();
   }

   UrlCatcher catcher;
};

TEST_F( BrowserTest, TargetReachesTheBrowserWhole )
{
   // Blanks, quotes and shell characters stay inside the one URL: nothing can become an extra argument.
   OpenInWebBrowser( "/tmp/my report \"x\" & notes.html", true );
   OpenInWebBrowser( "https://example.org/a b?q=1 --new-window", false );
   ASSERT_EQ( catcher.urls.size(), 2 );
   EXPECT_EQ( catcher.urls[0].toLocalFile(), "/tmp/my report \"x\" & notes.html" );
   EXPECT_EQ( catcher.urls[1].scheme(), "https" );
   EXPECT_EQ( catcher.urls[1].host(), "example.org" );
   EXPECT_EQ( catcher.urls[1].query( QUrl::FullyDecoded ), "q=1 --new-window" );
}

TEST_F( BrowserTest, FailureIsReportedNotThrown )
{
   prompter.Expect( "Unable to launch the default web browser application." );
   EXPECT_NO_THROW( OpenInWebBrowser( "", false ) );
   EXPECT_TRUE( catcher.urls.isEmpty() );
   EXPECT_EQ( prompter.Records().at( 0 ).caption, ApplicationTitle() );
}

// --- Texts ------------------------------------------------------------------------------------------------------

TEST( TextConversionTest, LineBreaksAndSeparators )
{
   std::string text = "a\rb\r\nc\nd\r";
   ConvertCRToCRLF( text );
   EXPECT_EQ( text, "a\r\nb\r\nc\nd\r\n" );
   EXPECT_EQ( ConvertCRToCRLF( std::string( "\r\r" ) ), "\r\n\r\n" );
   EXPECT_EQ( ConvertCRLFToCR( std::string( "\r\n\r\n" ) ), "\r\r" );
   std::string mixed = "x\r\n\ny\rz\n\r";
   ConvertCRLFToCR( mixed );
   EXPECT_EQ( mixed, "x\r\ny\rz\n\r" );
   EXPECT_EQ( ConvertCRLFToCR( ConvertCRToCRLF( std::string( "p\rq\r" ) ) ), "p\rq\r" );
   EXPECT_EQ( ConvertBackslashesToSlashes( "C:\\images\\m31.fit" ), "C:/images/m31.fit" );
}

// --- Windows and controls ----------------------------------------------------------------------------------------

TEST( LayoutTest, FreeClientSizeSubtractsDockedChildren )
{
   QWidget window;
   window.resize( 400, 300 );
   QWidget toolBar( &window );
   toolBar.setGeometry( 0, 0, 400, 30 );
   SetAlignment( &toolBar, Alignment::Top );
   QWidget statusBar( &window );
   statusBar.setGeometry( 0, 280, 400, 20 );
   SetAlignment( &statusBar, Alignment::Bottom );
   QWidget loose( &window ); // not docked: ignored
   loose.setGeometry( 100, 100, 50, 50 );

   int width = -1;
   int height = -1;
   GetFreeClientSize( width, height, &window );
   EXPECT_EQ( width, 396 );
   EXPECT_EQ( height, 246 );

   QWidget leftPanel( &window );
   leftPanel.setGeometry( 0, 30, 80, 250 );
   SetAlignment( &leftPanel, Alignment::Left );
   QWidget rightPanel( &window );
   rightPanel.setGeometry( 350, 30, 50, 250 );
   SetAlignment( &rightPanel, Alignment::Right );
   GetFreeClientSize( width, height, &window );
   EXPECT_EQ( width, 350 - 80 - 4 );
   EXPECT_EQ( height, 246 );

   QWidget fill( &window );
   SetAlignment( &fill, Alignment::Client );
   GetFreeClientSize( width, height, &window );
   EXPECT_EQ( width, 0 );
   EXPECT_EQ( height, 0 );
}

TEST( LayoutTest, ParentFormIsTheNearestWindowAboveTheControl )
{
   QWidget form;
   QWidget frame( &form );
   QLineEdit edit( &frame );
   EXPECT_EQ( FindParentForm( &edit ), &form );
   EXPECT_EQ( FindParentForm( &frame ), &form );
   EXPECT_EQ( FindParentForm( &form ), nullptr );
   EXPECT_EQ( FindParentForm( nullptr ), nullptr );

   QWidget tool( &frame, Qt::Tool ); // a window of its own inside the form
   QLineEdit inTool( &tool );
   EXPECT_EQ( FindParentForm( &inTool ), &tool );
   EXPECT_EQ( FindParentForm( &tool ), &form );
}

class ListViewTest : public ::testing::Test
{
protected:
   void SetUp() override
   {
      list.setColumnCount( 3 );
      list.setHeaderLabels( { "Id", "Value", "Comment" } );
      list.resize( 600, 200 );
      list.addTopLevelItem( new QTreeWidgetItem( QStringList{ "M31", "1", "x" } ) );
      list.addTopLevelItem( new QTreeWidgetItem( QStringList{ "NGC7000_long_name", "12345678", "y" } ) );
      list.show();
   }

   int TextWidth( const QString& text ) const { return QFontMetrics( list.font() ).horizontalAdvance( text + "000" ); }

   QTreeWidget list;
};

TEST_F( ListViewTest, ColumnsFitTheirWidestTextAndTheStretchColumnFillsTheRest )
{
   FitListViewColumns( &list, 2, 20 );
   EXPECT_EQ( list.columnWidth( 0 ), TextWidth( "NGC7000_long_name" ) + 20 );
   EXPECT_EQ( list.columnWidth( 1 ), TextWidth( "12345678" ) );
   EXPECT_EQ( list.columnWidth( 2 ), list.viewport()->width() - list.columnWidth( 0 ) - list.columnWidth( 1 ) );

   // A stretch column whose text is wider than the free space keeps its text width.
   list.topLevelItem( 0 )->setText( 2, QString( 200, 'W' ) );
   FitListViewColumns( &list, 2, 0 );
   EXPECT_EQ( list.columnWidth( 2 ), TextWidth( QString( 200, 'W' ) ) );

   FitListViewColumns( &list, -1, 0 );
   EXPECT_EQ( list.columnWidth( 1 ), TextWidth( "12345678" ) );
   EXPECT_EQ( list.columnWidth( 2 ), TextWidth( QString( 200, 'W' ) ) );
}

TEST_F( ListViewTest, FittingToOneItemOnlyWidens )
{
   FitListViewColumns( &list, 2, 0 );
   int wideFirst = list.columnWidth( 0 );
   list.addTopLevelItem( new QTreeWidgetItem( QStringList{ "A", "1234567890123456", "z" } ) );
   FitListViewColumnsToItem( &list, 2, 2, 0 );
   EXPECT_EQ( list.columnWidth( 0 ), wideFirst ); // "A" is narrower: not shrunk
   EXPECT_EQ( list.columnWidth( 1 ), TextWidth( "1234567890123456" ) );
   EXPECT_GE( list.columnWidth( 2 ), list.viewport()->width() - wideFirst - list.columnWidth( 1 ) );
}

TEST( LayoutTest, AutoFontHeightFollowsTheScreenWidth )
{
   EXPECT_EQ( AutoFontHeightForScreenWidth( 1024 ), 12 );
   EXPECT_EQ( AutoFontHeightForScreenWidth( 1280 ), 12 );
   EXPECT_EQ( AutoFontHeightForScreenWidth( 1281 ), 16 );
   EXPECT_EQ( AutoFontHeight(), AutoFontHeightForScreenWidth( QGuiApplication::primaryScreen()->geometry().width() ) );
}

} // namespace

#include "UtilsTest.moc"
