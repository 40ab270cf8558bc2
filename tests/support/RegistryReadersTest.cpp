#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "platform/Registry.h"
#include "support/RegistryReaders.h"
#include "TestDirs.h"

namespace
{

using platform::Registry;
using platform::RegistryException;

class RegistryReadersTest : public ::testing::Test
{
protected:
   RegistryReadersTest() : registry( QString::fromStdString( dir.File( "settings.ini" ) ) )
   {
      registry.OpenKey( QStringLiteral( "\\Software\\Corvanta\\Lumenforge\\1.0\\Color Management" ), true );
   }

   test::TempDir dir;
   Registry registry;
};

TEST_F( RegistryReadersTest, AMissingValueLeavesTheDefaultInPlace )
{
   int32_t i = 11;
   uint32_t u = 12;
   bool b = true;
   float f = 1.25f;
   double d = 2.5;
   QString q = QStringLiteral( "default" );
   std::string s = "default";
   const QString name = QStringLiteral( "Missing" );

   EXPECT_FALSE( ReadRegistryInt( i, registry, name ) );
   EXPECT_FALSE( ReadRegistryUnsigned( u, registry, name ) );
   EXPECT_FALSE( ReadRegistryBool( b, registry, name ) );
   EXPECT_FALSE( ReadRegistryFloat( f, registry, name ) );
   EXPECT_FALSE( ReadRegistryDouble( d, registry, name ) );
   EXPECT_FALSE( ReadRegistryString( q, registry, name ) );
   EXPECT_FALSE( ReadRegistryString( s, registry, name ) );

   EXPECT_EQ( i, 11 );
   EXPECT_EQ( u, 12u );
   EXPECT_TRUE( b );
   EXPECT_EQ( f, 1.25f );
   EXPECT_EQ( d, 2.5 );
   EXPECT_EQ( q, QStringLiteral( "default" ) );
   EXPECT_EQ( s, "default" );
}

TEST_F( RegistryReadersTest, ExistingValuesAreReadWithTheirTypes )
{
   registry.WriteInteger( QStringLiteral( "Intent" ), -1 );
   registry.WriteBool( QStringLiteral( "Enabled" ), false );
   registry.WriteFloat( QStringLiteral( "Gamma" ), 2.2 );
   registry.WriteString( QStringLiteral( "Profile" ), QString::fromUtf8( "/icc/Ångström.icc" ) );
   registry.WriteString( QStringLiteral( "Empty" ), QString() );

   int32_t i = 0;
   uint32_t u = 0;
   bool b = true;
   float f = 0;
   double d = 0;
   QString q = QStringLiteral( "x" );
   std::string s;
   std::string empty = "x";

   EXPECT_TRUE( ReadRegistryInt( i, registry, QStringLiteral( "Intent" ) ) );
   EXPECT_TRUE( ReadRegistryUnsigned( u, registry, QStringLiteral( "Intent" ) ) );
   EXPECT_TRUE( ReadRegistryBool( b, registry, QStringLiteral( "Enabled" ) ) );
   EXPECT_TRUE( ReadRegistryFloat( f, registry, QStringLiteral( "Gamma" ) ) );
   EXPECT_TRUE( ReadRegistryDouble( d, registry, QStringLiteral( "Gamma" ) ) );
   EXPECT_TRUE( ReadRegistryString( q, registry, QStringLiteral( "Empty" ) ) );
   EXPECT_TRUE( ReadRegistryString( s, registry, QStringLiteral( "Profile" ) ) );
   EXPECT_TRUE( ReadRegistryString( empty, registry, QStringLiteral( "Empty" ) ) );

   EXPECT_EQ( i, -1 );
   EXPECT_EQ( u, 0xFFFFFFFFu );
   EXPECT_FALSE( b );
   EXPECT_EQ( f, 2.2f ); // the float nearest to 2.2
   EXPECT_EQ( d, 2.2 );
   EXPECT_TRUE( q.isEmpty() );
   EXPECT_EQ( s, "/icc/\xC3\x85ngstr\xC3\xB6m.icc" );
   EXPECT_EQ( empty, "" );
}

TEST_F( RegistryReadersTest, AValueOfTheWrongTypeThrowsAndLeavesTheVariable )
{
   registry.WriteString( QStringLiteral( "Text" ), QStringLiteral( "3" ) );
   registry.WriteInteger( QStringLiteral( "Number" ), 3 );

   int32_t i = 5;
   double d = 0.5;
   float f = 0.25f;
   QString q = QStringLiteral( "keep" );
   EXPECT_THROW( ReadRegistryInt( i, registry, QStringLiteral( "Text" ) ), RegistryException );
   EXPECT_THROW( ReadRegistryDouble( d, registry, QStringLiteral( "Number" ) ), RegistryException );
   EXPECT_THROW( ReadRegistryFloat( f, registry, QStringLiteral( "Text" ) ), RegistryException );
   EXPECT_THROW( ReadRegistryString( q, registry, QStringLiteral( "Number" ) ), RegistryException );
   EXPECT_EQ( i, 5 );
   EXPECT_EQ( d, 0.5 );
   EXPECT_EQ( f, 0.25f );
   EXPECT_EQ( q, QStringLiteral( "keep" ) );
}

TEST_F( RegistryReadersTest, AFloatBeyondTheFloatRangeIsRefusedAndLeavesTheVariable )
{
   const double largest = std::numeric_limits<float>::max();
   const struct
   {
      double stored;
      bool refused;
   } cases[] = {
      { 1e300, true },
      { -1e300, true },
      { std::nextafter( largest, 1e300 ), true },
      { largest, false },
      { -largest, false },
      { 1e-300, false }, // underflows to zero, which is a float
      { std::numeric_limits<double>::infinity(), false },
   };
   for ( const auto& c : cases )
   {
      registry.WriteFloat( QStringLiteral( "Gamma" ), c.stored );
      float f = 0.25f;
      if ( c.refused )
      {
         try
         {
            ReadRegistryFloat( f, registry, QStringLiteral( "Gamma" ) );
            ADD_FAILURE() << c.stored << " was read as " << f;
         }
         catch ( const RegistryException& x )
         {
            EXPECT_EQ( x.ErrorText(),
                       "Registry value out of range \"Gamma\" in key "
                       "\"\\Software\\Corvanta\\Lumenforge\\1.0\\Color Management\"" );
         }
         EXPECT_EQ( f, 0.25f );
      }
      else
      {
         EXPECT_TRUE( ReadRegistryFloat( f, registry, QStringLiteral( "Gamma" ) ) ) << c.stored;
         EXPECT_EQ( f, static_cast<float>( c.stored ) ) << c.stored;
      }
   }
}

} // namespace
