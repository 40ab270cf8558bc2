#include <gtest/gtest.h>

#include "platform/Registry.h"
#include "TestDirs.h"

#include <QFile>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <limits>
#include <memory>
#include <optional>

namespace
{

using platform::Registry;
using platform::RegistryException;

const QString AppKey = QStringLiteral( "\\Software\\Corvanta\\Lumenforge\\1.0" );
const QString ColorKey = AppKey + QStringLiteral( "\\Color Management" );

std::string FileText( const QString& path )
{
   QFile file( path );
   if ( !file.open( QIODevice::ReadOnly ) )
      return std::string();
   return file.readAll().toStdString();
}

// Each test gets a configuration folder of its own; the one of the test program is put back afterwards.
class RegistryTest : public ::testing::Test
{
protected:
   void SetUp() override
   {
      if ( const char* home = std::getenv( "XDG_CONFIG_HOME" ) )
         savedHome = home;
      ::setenv( "XDG_CONFIG_HOME", configHome.Path().c_str(), 1 );
   }

   void TearDown() override
   {
      if ( savedHome )
         ::setenv( "XDG_CONFIG_HOME", savedHome->c_str(), 1 );
      else
         ::unsetenv( "XDG_CONFIG_HOME" );
   }

   test::TempDir configHome;
   std::optional<std::string> savedHome;
};

TEST_F( RegistryTest, LivesInTheUsersConfigurationFolder )
{
   const QString expected = QString::fromStdString( configHome.File( "Corvanta/Lumenforge.ini" ) );
   {
      Registry registry;
      EXPECT_EQ( registry.FilePath(), expected );
      ASSERT_TRUE( registry.OpenKey( AppKey, true ) );
      registry.WriteInteger( QStringLiteral( "Zoom" ), 3 );
   }
   EXPECT_TRUE( QFile::exists( expected ) );
}

// Everything written by one object is read back exactly by the next one, after the first is gone.
TEST_F( RegistryTest, EveryTypeSurvivesInTheFile )
{
   const double reals[] = { 2.2, -0.0, 1e300, 4.9e-324, std::numeric_limits<double>::infinity(), std::nan( "" ) };
   const QString texts[] = { QString(), QStringLiteral( "a, b; c = d" ), QStringLiteral( "  padded  " ),
                             QStringLiteral( "two\nlines" ), QStringLiteral( "@Variant(x)" ),
                             QStringLiteral( "dword:00000001" ), QStringLiteral( "C:\\Profiles\\sRGB.icc" ),
                             QString::fromUtf8( "Ångström ✓" ) };
   const int32_t integers[] = { 0, -5, std::numeric_limits<int32_t>::min(), std::numeric_limits<int32_t>::max() };
   {
      Registry registry;
      ASSERT_TRUE( registry.OpenKey( ColorKey, true ) );
      for ( size_t i = 0; i < std::size( integers ); ++i )
         registry.WriteInteger( QStringLiteral( "Int%1" ).arg( i ), integers[i] );
      for ( size_t i = 0; i < std::size( reals ); ++i )
         registry.WriteFloat( QStringLiteral( "Real%1" ).arg( i ), reals[i] );
      for ( size_t i = 0; i < std::size( texts ); ++i )
         registry.WriteString( QStringLiteral( "Text%1" ).arg( i ), texts[i] );
      registry.WriteBool( QStringLiteral( "On" ), true );
      registry.WriteBool( QStringLiteral( "Off" ), false );
   }

   Registry registry;
   ASSERT_TRUE( registry.OpenKey( ColorKey, false ) );
   for ( size_t i = 0; i < std::size( integers ); ++i )
      EXPECT_EQ( registry.ReadInteger( QStringLiteral( "Int%1" ).arg( i ) ), integers[i] );
   for ( size_t i = 0; i < std::size( reals ); ++i )
   {
      double read = registry.ReadFloat( QStringLiteral( "Real%1" ).arg( i ) );
      EXPECT_EQ( std::memcmp( &read, &reals[i], sizeof read ), 0 ) << "real " << i;
   }
   for ( size_t i = 0; i < std::size( texts ); ++i )
      EXPECT_EQ( registry.ReadString( QStringLiteral( "Text%1" ).arg( i ) ), texts[i] ) << "text " << i;
   EXPECT_TRUE( registry.ReadBool( QStringLiteral( "On" ) ) );
   EXPECT_FALSE( registry.ReadBool( QStringLiteral( "Off" ) ) );
   // Booleans are integers.
   EXPECT_EQ( registry.ReadInteger( QStringLiteral( "On" ) ), 1 );
   EXPECT_TRUE( registry.ReadBool( QStringLiteral( "Int1" ) ) );
}

TEST_F( RegistryTest, StoresRealsAsTheEightBytesOfTheDouble )
{
   Registry registry;
   registry.OpenKey( ColorKey, true );
   registry.WriteFloat( QStringLiteral( "Gamma" ), 2.2 );
   registry.WriteInteger( QStringLiteral( "Intent" ), -1 );
   registry.CloseKey();
   std::string text = FileText( registry.FilePath() );
   EXPECT_NE( text.find( "[Software]" ), std::string::npos ) << text;
   EXPECT_NE( text.find( "Corvanta\\Lumenforge\\1.0\\Color%20Management\\Gamma=hex:9a99999999990140\n" ),
              std::string::npos ) << text;
   EXPECT_NE( text.find( "Color%20Management\\Intent=dword:ffffffff\n" ), std::string::npos ) << text;
}

TEST_F( RegistryTest, AReadOfTheWrongTypeOrOfAMissingValueThrows )
{
   Registry registry;
   registry.OpenKey( ColorKey, true );
   registry.WriteInteger( QStringLiteral( "Number" ), 7 );
   registry.WriteFloat( QStringLiteral( "Real" ), 1.5 );
   registry.WriteString( QStringLiteral( "Text" ), QStringLiteral( "7" ) );

   using Read = std::function<void( const QString& )>;
   const std::pair<const char*, Read> readers[] = {
      { "ReadInteger", [&]( const QString& n ) { registry.ReadInteger( n ); } },
      { "ReadBool", [&]( const QString& n ) { registry.ReadBool( n ); } },
      { "ReadFloat", [&]( const QString& n ) { registry.ReadFloat( n ); } },
      { "ReadString", [&]( const QString& n ) { registry.ReadString( n ); } },
   };
   const std::pair<const char*, std::string> wrong[] = {
      { "Number", "ReadFloat ReadString" },
      { "Real", "ReadInteger ReadBool ReadString" },
      { "Text", "ReadInteger ReadBool ReadFloat" },
      { "Missing", "ReadInteger ReadBool ReadFloat ReadString" },
   };
   for ( const auto& [name, throwing] : wrong )
      for ( const auto& [reader, read] : readers )
      {
         bool shouldThrow = throwing.find( reader ) != std::string::npos;
         try
         {
            read( QString::fromLatin1( name ) );
            EXPECT_FALSE( shouldThrow ) << reader << " of " << name << " did not throw";
         }
         catch ( const RegistryException& e )
         {
            EXPECT_TRUE( shouldThrow ) << reader << " of " << name << ": " << e.Message();
            EXPECT_NE( e.Message().find( std::string( "\"" ) + name + "\"" ), std::string::npos ) << e.Message();
            EXPECT_NE( e.Message().find( "Color Management" ), std::string::npos ) << e.Message();
         }
      }

   try
   {
      registry.ReadFloat( QStringLiteral( "Number" ) );
   }
   catch ( const RegistryException& e )
   {
      EXPECT_EQ( e.Message(), "Registry Error:\nInvalid data type for registry value \"Number\" in key "
                              "\"\\Software\\Corvanta\\Lumenforge\\1.0\\Color Management\"" );
   }
}

// Values edited by hand, or left by another program, are not guessed at.
TEST_F( RegistryTest, ValuesInAForeignFormThrowOnEveryRead )
{
   std::filesystem::create_directories( configHome.Path() / "Corvanta" );
   {
      std::ofstream ini( configHome.File( "Corvanta/Lumenforge.ini" ) );
      ini << "[Software/Corvanta/Lumenforge/1.0]\n"
             "Plain=3\n"
             "List=hex:00,01\n"
             "ShortReal=hex:0102\n"
             "LongReal=hex:000000000000f03f00\n"
             "BadHex=hex:zz0000000000f03f\n"
             "BadDword=dword:12345xyz\n"
             "LongDword=dword:000000001\n"
             "PrefixedDword=dword:0x00001f\n"
             "SignedDword=dword:+000001f\n"
             "SpacedDword=dword: 000001f\n";
   }
   Registry registry;
   ASSERT_TRUE( registry.OpenKey( AppKey, false ) );
   for ( const char* name : { "Plain", "List", "ShortReal", "LongReal", "BadHex", "BadDword", "LongDword",
                              "PrefixedDword", "SignedDword", "SpacedDword" } )
   {
      QString n = QString::fromLatin1( name );
      EXPECT_TRUE( registry.ValueExists( n ) ) << name;
      EXPECT_THROW( registry.ReadInteger( n ), RegistryException ) << name;
      EXPECT_THROW( registry.ReadFloat( n ), RegistryException ) << name;
      EXPECT_THROW( registry.ReadString( n ), RegistryException ) << name;
   }
}

TEST_F( RegistryTest, KeysOpenAbsoluteOrRelativeAndExistOnceTheyHoldSomething )
{
   Registry registry;
   EXPECT_EQ( registry.CurrentPath(), "\\" );
   EXPECT_FALSE( registry.KeyExists( AppKey ) );
   EXPECT_FALSE( registry.OpenKey( AppKey, false ) );
   EXPECT_EQ( registry.CurrentPath(), "\\" );

   ASSERT_TRUE( registry.OpenKey( AppKey, true ) );
   EXPECT_EQ( registry.CurrentPath(), AppKey );
   registry.WriteInteger( QStringLiteral( "Version" ), 1 );
   EXPECT_TRUE( registry.KeyExists( AppKey ) );

   // Relative to the open key; slashes work as well as backslashes.
   ASSERT_TRUE( registry.OpenKey( QStringLiteral( "Color Management" ), true ) );
   EXPECT_EQ( registry.CurrentPath(), ColorKey );
   registry.WriteString( QStringLiteral( "Profile" ), QStringLiteral( "sRGB" ) );
   registry.WriteBool( QStringLiteral( "Enabled" ), true );
   EXPECT_FALSE( registry.ValueExists( QStringLiteral( "Version" ) ) );
   EXPECT_TRUE( registry.KeyExists( QStringLiteral( "/Software/Corvanta/Lumenforge/1.0/Color Management" ) ) );
   EXPECT_FALSE( registry.KeyExists( QStringLiteral( "Color Management" ) ) ); // relative: one level deeper
   QStringList values = registry.GetValueNames();
   values.sort();
   EXPECT_EQ( values, QStringList( { QStringLiteral( "Enabled" ), QStringLiteral( "Profile" ) } ) );

   registry.CloseKey();
   EXPECT_EQ( registry.CurrentPath(), "\\" );
   ASSERT_TRUE( registry.OpenKey( AppKey, false ) );
   EXPECT_EQ( registry.GetKeyNames(), QStringList( QStringLiteral( "Color Management" ) ) );
   EXPECT_EQ( registry.GetValueNames(), QStringList( QStringLiteral( "Version" ) ) );

   EXPECT_TRUE( registry.DeleteValue( QStringLiteral( "Version" ) ) );
   EXPECT_FALSE( registry.DeleteValue( QStringLiteral( "Version" ) ) );
   EXPECT_FALSE( registry.ValueExists( QStringLiteral( "Version" ) ) );

   EXPECT_TRUE( registry.DeleteKey( ColorKey ) );
   EXPECT_FALSE( registry.DeleteKey( ColorKey ) );
   EXPECT_FALSE( registry.KeyExists( ColorKey ) );
   EXPECT_TRUE( registry.GetKeyNames().isEmpty() );
}

TEST_F( RegistryTest, DeletingAKeyTakesItsSubkeysAlongAndPersists )
{
   {
      Registry registry;
      registry.OpenKey( ColorKey, true );
      registry.WriteInteger( QStringLiteral( "A" ), 1 );
      registry.OpenKey( AppKey, true );
      registry.WriteInteger( QStringLiteral( "B" ), 2 );
      registry.OpenKey( QStringLiteral( "\\Software\\Other" ), true );
      registry.WriteInteger( QStringLiteral( "C" ), 3 );
      EXPECT_TRUE( registry.DeleteKey( QStringLiteral( "\\Software\\Corvanta" ) ) );
   }
   Registry registry;
   EXPECT_FALSE( registry.KeyExists( AppKey ) );
   EXPECT_FALSE( registry.KeyExists( ColorKey ) );
   ASSERT_TRUE( registry.OpenKey( QStringLiteral( "\\Software\\Other" ), false ) );
   EXPECT_EQ( registry.ReadInteger( QStringLiteral( "C" ) ), 3 );
}

TEST_F( RegistryTest, ValueNamesMayNotAddressAnotherKey )
{
   Registry registry;
   registry.OpenKey( AppKey, true );
   for ( const char* name : { "", "a/b", "a\\b" } )
   {
      QString n = QString::fromLatin1( name );
      EXPECT_THROW( registry.WriteInteger( n, 1 ), RegistryException ) << name;
      EXPECT_THROW( registry.ValueExists( n ), RegistryException ) << name;
   }
   EXPECT_FALSE( registry.KeyExists( AppKey + QStringLiteral( "\\a" ) ) );
}

TEST_F( RegistryTest, AFileThatCannotBeWrittenIsReported )
{
   // A regular file where the folder should be: nothing can be created below it, whoever runs the test.
   std::ofstream( configHome.File( "blocker" ) ) << "x";
   auto registry = std::make_unique<Registry>( QString::fromStdString( configHome.File( "blocker/settings.ini" ) ) );
   registry->OpenKey( AppKey, true );
   registry->WriteInteger( QStringLiteral( "Zoom" ), 2 );
   EXPECT_THROW( registry->CloseKey(), RegistryException );
   EXPECT_EQ( registry->CurrentPath(), "\\" );
   EXPECT_NO_THROW( registry.reset() );
}

} // namespace
