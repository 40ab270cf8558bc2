#include <gtest/gtest.h>

#include <QFile>
#include <QRegularExpression>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "TestDirs.h"
#include "TestSupport.h"
#include "classlib/File.h"
#include "platform/Registry.h"
#include "process/Preferences.h"
#include "support/ApplicationNames.h"

namespace
{

const QString PreferencesKey = "\\Software\\Corvanta\\Lumenforge\\1.0\\Preferences";

// A record in which every field differs from its default.
GlobalPreferences ChangedPreferences()
{
   GlobalPreferences p;
   MainWindowPreferences& m = p.mainWindow;
   m.maximizeAtStartup = false;
   m.showSplashAtStartup = false;
   m.confirmProgramTermination = true;
   m.acceptDroppedFiles = false;
   m.doubleClickLaunchesOpenDialog = false;
   m.showStrictTIFFWarnings = true;
   m.beepOnProcessingCompletion = true;
   m.enableToolBarAutoDragDock = true;
   m.dataSeparator = "\xB7|\xE9";
   ImageWindowPreferences& i = p.imageWindow;
   i.backupFiles = true;
   i.defaultMasksShown = false;
   i.defaultResolution = 300.25F;
   i.defaultMetricResolution = true;
   i.cursorTolerance = 5;
   i.swapFilesDirectory = "/var/tmp/swap \"files\"";
   i.useSystemTEMPDirectory = false;
   i.showCaptionCurrentChannels = false;
   i.showCaptionZoomRatios = false;
   i.showCaptionIdentifiers = false;
   i.showCaptionFullPaths = false;
   IdentifiersPreferences& d = p.identifiers;
   d.imagePrefix = "Img";
   d.previewPrefix = "Pv";
   d.processIconPrefix = "Icon";
   d.newImageCaption = "(new)";
   d.clonePostfix = "_c";
   d.backgroundModelPostfix = "_bg";
   d.registeredImagePostfix = "_reg";
   d.pixelMathDestinationPostfix = "_pm";
   d.integratedImageId = "stack";
   d.rejectionMapId = "rej";
   ColorsFontsPreferences& c = p.colorsFonts;
   c.mainWindowBackgroundBrush = true;
   c.mainWindowForegroundColor = 0x010203;
   c.mainWindowBackgroundColor = 0x040506;
   c.imageWindowBackgroundColor = 0x070809;
   c.processIconFont = "Courier";
   c.processIconFontSize = 11;
   c.processIconAutoFontSize = false;
   c.processIconColor = 0x0A0B0C;
   c.processIconSelectedColor = 0x0D0E0F;
   c.processIconTextColor = 0x101112;
   c.processIconSelectedTextColor = 0x131415;
   c.viewTabFont = "Helvetica";
   c.viewTabFontSize = 12;
   c.viewTabAutoFontSize = false;
   c.viewTabColor = 0x161718;
   c.selectedViewTabColor = 0x191A1B;
   c.viewTabTextColor = 0x1C1D1E;
   c.selectedViewTabTextColor = 0x1F2021;
   c.previewTitleFont = "Times";
   c.previewTitleFontSize = 13;
   c.previewTitleAutoFontSize = false;
   c.previewColor = 0x222324;
   c.selectedPreviewColor = 0x252627;
   c.dbeSampleColor = 0x28292A;
   c.dbeSelectedSampleColor = 0x2B2C2D;
   c.daPointColor = 0x2E2F30;
   c.daSelectedPointColor = 0xFFFFFFFF;
   p.dbeDefaults = { false, 20, 8, 0.25F, 0.5F, 3 };
   p.daDefaults = { false, 7, 0.75F };
   return p;
}

std::string ReadAll( const std::string& path )
{
   qor::File f;
   f.OpenForReading( path );
   std::string bytes( static_cast<size_t>( f.Size() ), '\0' );
   f.Read( bytes.data(), f.Size() );
   return bytes;
}

std::string StreamBytes( const GlobalPreferences& p, const test::TempDir& dir )
{
   std::string path = dir.File( "stream.bin" );
   qor::File f;
   f.CreateForWriting( path );
   p.Write( f, 1.0F );
   f.Close();
   return ReadAll( path );
}

GlobalPreferences ReadStream( const std::string& bytes, const test::TempDir& dir )
{
   std::string path = dir.File( "input.bin" );
   {
      qor::File f;
      f.CreateForWriting( path );
      f.Write( bytes.data(), static_cast<int64_t>( bytes.size() ) );
   }
   qor::File f;
   f.OpenForReading( path );
   GlobalPreferences p;
   p.Read( f, 1.0F );
   return p;
}

void Put32( std::string& bytes, size_t at, int32_t value )
{
   bytes.replace( at, 4, reinterpret_cast<const char*>( &value ), 4 );
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Stream form

TEST( PreferencesStreamTest, DefaultStreamHasTheKnownLayoutAndSize )
{
   test::TempDir dir;
   std::string bytes = StreamBytes( GlobalPreferences(), dir );
   ASSERT_EQ( 303u, bytes.size() );
   // Eight main-window flags, then the separator as a counted string.
   EXPECT_EQ( std::string( "\x01\x01\x00\x01\x01\x00\x00\x00", 8 ), bytes.substr( 0, 8 ) );
   EXPECT_EQ( std::string( "\x03\x00\x00\x00 \xB7 ", 7 ), bytes.substr( 8, 7 ) );
   // Image window: two flags, 72.0f, a flag, 3, an empty string, five flags.
   float resolution = 0;
   std::memcpy( &resolution, bytes.data() + 17, 4 );
   EXPECT_EQ( 72.0F, resolution );
   EXPECT_EQ( std::string( "\x00\x03\x00\x00\x00\x00\x00\x00\x00\x01\x01\x01\x01\x01", 14 ), bytes.substr( 21, 14 ) );
   // The record ends with the DA defaults: true, 12, 0.5f.
   EXPECT_EQ( std::string( "\x01\x0C\x00\x00\x00\x00\x00\x00\x3F", 9 ), bytes.substr( 294 ) );

   GlobalPreferences empty;
   for ( std::string* s :
         { &empty.mainWindow.dataSeparator, &empty.identifiers.imagePrefix, &empty.identifiers.previewPrefix,
           &empty.identifiers.processIconPrefix, &empty.identifiers.newImageCaption, &empty.identifiers.clonePostfix,
           &empty.identifiers.backgroundModelPostfix, &empty.identifiers.registeredImagePostfix,
           &empty.identifiers.pixelMathDestinationPostfix, &empty.identifiers.integratedImageId,
           &empty.identifiers.rejectionMapId, &empty.colorsFonts.processIconFont, &empty.colorsFonts.viewTabFont,
           &empty.colorsFonts.previewTitleFont } )
      s->clear();
   EXPECT_EQ( 198u, StreamBytes( empty, dir ).size() );
}

TEST( PreferencesStreamTest, RoundTripsByteForByte )
{
   test::TempDir dir;
   for ( const GlobalPreferences& p : { GlobalPreferences(), ChangedPreferences() } )
   {
      std::string bytes = StreamBytes( p, dir );
      GlobalPreferences back = ReadStream( bytes, dir );
      EXPECT_EQ( p, back );
      EXPECT_EQ( bytes, StreamBytes( back, dir ) );
   }
   EXPECT_NE( StreamBytes( GlobalPreferences(), dir ), StreamBytes( ChangedPreferences(), dir ) );
}

TEST( PreferencesStreamTest, AnyNonZeroFlagByteReadsAsTrueAndIsWrittenBackAsOne )
{
   test::TempDir dir;
   std::string bytes = StreamBytes( GlobalPreferences(), dir );
   bytes[2] = '\x7F'; // confirmProgramTermination
   bytes[5] = '\xFF'; // showStrictTIFFWarnings
   GlobalPreferences p = ReadStream( bytes, dir );
   EXPECT_TRUE( p.mainWindow.confirmProgramTermination );
   EXPECT_TRUE( p.mainWindow.showStrictTIFFWarnings );
   std::string again = StreamBytes( p, dir );
   EXPECT_EQ( '\x01', again[2] );
   EXPECT_EQ( '\x01', again[5] );
}

TEST( PreferencesStreamTest, CorruptStringCountsAndTruncationAreRefusedWithTheFileError )
{
   test::TempDir dir;
   const std::string good = StreamBytes( GlobalPreferences(), dir );
   struct Case
   {
      const char* what;
      std::string bytes;
   };
   std::string negative = good;
   Put32( negative, 8, -1 );
   std::string huge = good;
   Put32( huge, 8, std::numeric_limits<int32_t>::max() );
   std::string beyondEnd = good;
   Put32( beyondEnd, 8, 400 ); // the stream holds fewer than 400 bytes after the count
   for ( const Case& c : std::vector<Case>{ { "negative count", negative },
                                            { "huge count", huge },
                                            { "count beyond the end", beyondEnd },
                                            { "truncated stream", good.substr( 0, 200 ) },
                                            { "empty stream", std::string() } } )
   {
      SCOPED_TRACE( c.what );
      EXPECT_THROW( ReadStream( c.bytes, dir ), qor::File::Exception );
   }
}

// ---------------------------------------------------------------------------------------------------------------
// Text form

TEST( PreferencesTextTest, DefaultTextHasFiveSectionsAndEveryItem )
{
   std::string text = GlobalPreferences().ToText( 0 );
   EXPECT_EQ( 0u, text.find( "mainWindow={\nmaximizeAtStartup=true,\nshowSplashAtStartup=true,\n"
                             "confirmProgramTermination=false,\n" ) );
   EXPECT_NE( std::string::npos, text.find( "enableToolBarAutoDragDock=false,\ndataSeparator=\" \xB7 \"\n},\n"
                                            "imageWindow={\nbackupFiles=false,\ndefaultMasksShown=true,\n"
                                            "defaultResolution=72.00,\ndefaultMetricResolution=false,\n"
                                            "cursorTolerance=3,\nswapFilesDirectory=\"\",\n" ) );
   EXPECT_NE( std::string::npos, text.find( "processIconSelectedColor=0xF0CAA6,\n" ) );
   EXPECT_NE( std::string::npos, text.find( "processIconSelectedTextColor=0x0,\n" ) );
   EXPECT_NE( std::string::npos, text.find( "daSelectedPointColor=0xFF\n},\n" ) );
   EXPECT_TRUE( text.ends_with( "dbeDefaults={\ntracking=true,\nradius=10,\naxialCount=6,\ntolerance=0.100,\n"
                                "smoothing=0.025,\nsubSample=2\n}" ) );
   EXPECT_EQ( std::string::npos, text.find( "daDefaults" ) );

   QString q = QString::fromLatin1( text.c_str() );
   EXPECT_EQ( 5, q.count( QRegularExpression( "^\\w+=\\{$", QRegularExpression::MultilineOption ) ) );
   EXPECT_EQ( 9 + 11 + 10 + 27 + 6,
              q.count( QRegularExpression( "^\\w+=[^{].*$", QRegularExpression::MultilineOption ) ) );
}

TEST( PreferencesTextTest, StringsAreQuotedUnchangedAndNegativeLevelsElide )
{
   GlobalPreferences p = ChangedPreferences();
   std::string text = p.ToText( 3 );
   EXPECT_NE( std::string::npos, text.find( "\nswapFilesDirectory=\"/var/tmp/swap \"files\"\",\n" ) );
   EXPECT_NE( std::string::npos, text.find( "\ndefaultResolution=300.25,\n" ) );
   EXPECT_NE( std::string::npos, text.find( "\ndaSelectedPointColor=0xFFFFFFFF\n" ) );
   EXPECT_EQ( GlobalPreferences().ToText( 0 ), GlobalPreferences().ToText( 7 ) );
   EXPECT_EQ( "...", p.ToText( -1 ) );
}

// ---------------------------------------------------------------------------------------------------------------
// Settings store

class PreferencesRegistryTest : public test::ScriptedUiTest
{
protected:
   QString IniPath() const { return QString::fromStdString( dir.File( "settings.ini" ) ); }

   test::TempDir dir;
};

TEST_F( PreferencesRegistryTest, EveryValueRoundTripsAndAxialCountIsNeverStored )
{
   GlobalPreferences saved = ChangedPreferences();
   {
      platform::Registry registry( IniPath() );
      saved.SaveToRegistry( registry );
   }

   platform::Registry registry( IniPath() );
   int values = 0;
   for ( const char* subkey : { "Main Window", "Image Window", "Identifiers", "Colors-Fonts", "DBE", "DA" } )
   {
      ASSERT_TRUE( registry.OpenKey( PreferencesKey + "\\" + subkey, false ) ) << subkey;
      values += registry.GetValueNames().size();
   }
   EXPECT_EQ( 65, values );
   ASSERT_TRUE( registry.OpenKey( PreferencesKey + "\\Image Window", false ) );
   EXPECT_EQ( 300.25, registry.ReadFloat( "DefaultResolution" ) );
   ASSERT_TRUE( registry.OpenKey( PreferencesKey + "\\Main Window", false ) );
   EXPECT_EQ( QString::fromUtf8( "\u00B7|\u00E9" ), registry.ReadString( "DataSeparator" ) );
   ASSERT_TRUE( registry.OpenKey( PreferencesKey + "\\DBE", false ) );
   EXPECT_FALSE( registry.ValueExists( "DBEAxialCount" ) );
   registry.CloseKey();

   GlobalPreferences loaded;
   loaded.LoadFromRegistry( registry );
   GlobalPreferences expected = saved;
   expected.dbeDefaults.axialCount = GlobalPreferences().dbeDefaults.axialCount;
   EXPECT_EQ( expected, loaded );

   // Defaults survive the store too ("DefaultResolution" 72.0 comes back as 72.0).
   GlobalPreferences defaults;
   defaults.SaveToRegistry( registry );
   GlobalPreferences reloaded = ChangedPreferences();
   reloaded.LoadFromRegistry( registry );
   expected = GlobalPreferences();
   expected.dbeDefaults.axialCount = ChangedPreferences().dbeDefaults.axialCount;
   EXPECT_EQ( expected, reloaded );
}

TEST_F( PreferencesRegistryTest, MissingValuesKeepTheFieldsAndAMissingKeyChangesNothing )
{
   platform::Registry registry( IniPath() );
   GlobalPreferences p = ChangedPreferences();
   p.LoadFromRegistry( registry );
   EXPECT_EQ( ChangedPreferences(), p );
   EXPECT_FALSE( registry.KeyExists( PreferencesKey ) );
   registry.Sync();
   EXPECT_FALSE( QFile::exists( IniPath() ) && QFile( IniPath() ).size() > 0 );

   GlobalPreferences().SaveToRegistry( registry );
   ASSERT_TRUE( registry.OpenKey( PreferencesKey + "\\Image Window", false ) );
   ASSERT_TRUE( registry.DeleteValue( "CursorTolerance" ) );
   ASSERT_TRUE( registry.DeleteValue( "SwapFilesDirectory" ) );
   ASSERT_TRUE( registry.DeleteKey( PreferencesKey + "\\DA" ) );
   registry.CloseKey();

   p = ChangedPreferences();
   p.LoadFromRegistry( registry );
   EXPECT_EQ( ChangedPreferences().imageWindow.cursorTolerance, p.imageWindow.cursorTolerance );
   EXPECT_EQ( ChangedPreferences().imageWindow.swapFilesDirectory, p.imageWindow.swapFilesDirectory );
   EXPECT_EQ( ChangedPreferences().daDefaults, p.daDefaults );
   EXPECT_EQ( GlobalPreferences().imageWindow.defaultResolution, p.imageWindow.defaultResolution );
   EXPECT_EQ( GlobalPreferences().colorsFonts, p.colorsFonts );
}

TEST_F( PreferencesRegistryTest, AValueOfAnotherTypeStopsTheLoadThereWithABox )
{
   platform::Registry registry( IniPath() );
   GlobalPreferences().SaveToRegistry( registry );
   ASSERT_TRUE( registry.OpenKey( PreferencesKey + "\\Image Window", false ) );
   registry.WriteString( "CursorTolerance", "5" );
   registry.CloseKey();

   prompter.Expect( { "CursorTolerance", {}, ApplicationTitle(), platform::Icon::Warning, platform::Answer::Ok } );
   GlobalPreferences p = ChangedPreferences();
   p.LoadFromRegistry( registry );
   EXPECT_EQ( GlobalPreferences().mainWindow, p.mainWindow ); // before: loaded
   EXPECT_EQ( GlobalPreferences().imageWindow.defaultResolution, p.imageWindow.defaultResolution );
   EXPECT_EQ( ChangedPreferences().imageWindow.cursorTolerance, p.imageWindow.cursorTolerance ); // after: kept
   EXPECT_EQ( ChangedPreferences().identifiers, p.identifiers );
}

TEST_F( PreferencesRegistryTest, CorruptStringsAndSizesAreRefused )
{
   struct Case
   {
      const char* subkey;
      const char* name;
      std::function<void( platform::Registry& )> write;
   };
   const QString tooLong( GlobalPreferences::MaxRegistryStringLength + 1, 'x' );
   const std::vector<Case> cases = {
       { "Identifiers", "ImagePrefix", [&]( platform::Registry& r ) { r.WriteString( "ImagePrefix", tooLong ); } },
       { "Identifiers", "PreviewPrefix",
         []( platform::Registry& r ) { r.WriteString( "PreviewPrefix", QString::fromUtf8( "Pr\u20ACview" ) ); } },
       { "Image Window", "CursorTolerance", []( platform::Registry& r ) { r.WriteInteger( "CursorTolerance", -1 ); } },
       { "Colors-Fonts", "ViewTabFontSize",
         []( platform::Registry& r ) { r.WriteInteger( "ViewTabFontSize", 1 << 30 ); } },
       { "Image Window", "DefaultResolution",
         []( platform::Registry& r ) { r.WriteFloat( "DefaultResolution", std::nan( "" ) ); } },
       { "Image Window", "DefaultResolution", []( platform::Registry& r ) { r.WriteFloat( "DefaultResolution", 0 ); } },
       { "DBE", "DBETolerance",
         []( platform::Registry& r ) { r.WriteFloat( "DBETolerance", std::numeric_limits<double>::infinity() ); } },
       { "DBE", "DBESubSample", []( platform::Registry& r ) { r.WriteInteger( "DBESubSample", 0 ); } },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.name );
      platform::Registry registry( IniPath() );
      GlobalPreferences().SaveToRegistry( registry );
      ASSERT_TRUE( registry.OpenKey( PreferencesKey + "\\" + c.subkey, false ) );
      c.write( registry );
      registry.CloseKey();

      prompter.Expect( { QString( "Invalid preferences registry value: " ) + c.name,
                         {},
                         ApplicationTitle(),
                         platform::Icon::Warning,
                         platform::Answer::Ok } );
      GlobalPreferences p = ChangedPreferences();
      p.LoadFromRegistry( registry );
      // The corrupt value does not reach the record, nor anything after it.
      EXPECT_EQ( ChangedPreferences().daDefaults, p.daDefaults );
      EXPECT_EQ( GlobalPreferences().mainWindow, p.mainWindow );
      EXPECT_EQ( 0u, prompter.PendingCount() );
   }
   // The bounds themselves are accepted.
   platform::Registry registry( IniPath() );
   GlobalPreferences edge;
   edge.identifiers.imagePrefix.assign( GlobalPreferences::MaxRegistryStringLength, 'y' );
   edge.colorsFonts.viewTabFontSize = 0;
   edge.imageWindow.cursorTolerance = GlobalPreferences::MaxRegistrySize;
   edge.SaveToRegistry( registry );
   GlobalPreferences p;
   p.LoadFromRegistry( registry );
   EXPECT_EQ( edge, p );
}

TEST_F( PreferencesRegistryTest, AFailedSaveIsReportedUnderTheApplicationTitle )
{
   // The settings file would have to live under a regular file: it cannot be written.
   std::string blocker = dir.File( "not-a-folder" );
   {
      qor::File f;
      f.CreateForWriting( blocker );
   }
   platform::Registry registry( QString::fromStdString( blocker ) + "/settings.ini" );
   prompter.Expect( { "", {}, ApplicationTitle(), platform::Icon::Warning, platform::Answer::Ok } );
   GlobalPreferences().SaveToRegistry( registry );
}
