// The process registry: its two orders, its case-sensitive look-up, and a walk over the program's own list.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>

#include "ProcessTestKit.h"
#include "TestDirs.h"
#include "process/ProcessInstanceStream.h"
#include "process/ProcessRegistry.h"

namespace
{

std::vector<std::string> IdsById( const ProcessRegistry& registry )
{
   std::vector<std::string> ids;
   for ( const ProcessInstanceById* entry : registry.ById() )
      ids.push_back( entry->Prototype().Id() );
   return ids;
}

std::vector<std::string> MenuOrder( const ProcessRegistry& registry )
{
   std::vector<std::string> items;
   for ( const CategorizedProcessInstance* entry : registry.ByCategory() )
      items.push_back( entry->Prototype().Category() + "/" + entry->Prototype().Id() );
   return items;
}

// Identifiers that show the byte order: upper case before lower case, a prefix first.
class RegistryOrderTest : public ::testing::Test
{
protected:
   RegistryOrderTest()
   {
      // Registered out of order on purpose: both lists sort themselves.
      registry.Register<kit::FakeProcess<"Invert">>();
      registry.Register<kit::FakeProcess<"FastRotate", "Geometry">>();
      registry.Register<kit::FakeProcess<"ImageIdentifier", "Image">>();
      registry.Register<kit::FakeProcess<"AssignICCProfile", "Color Management">>();
      registry.Register<kit::FakeProcess<"NewImage", "Global">>();
      registry.Register<kit::FakeProcess<"IPTCPhotoInfo", "Image">>();
      registry.Register<kit::FakeProcess<"ATrousWaveletTransform", "Wavelets", 1200>>();
      registry.Register<kit::FakeProcess<"FITSKeywords", "Image">>();
      registry.Register<kit::FakeProcess<"Rotate", "Geometry">>();
   }

   ProcessRegistry registry;
};

TEST_F( RegistryOrderTest, ByIdentifierIsBytewiseAndCaseSensitive )
{
   EXPECT_EQ( IdsById( registry ),
              ( std::vector<std::string>{ "ATrousWaveletTransform", "AssignICCProfile", "FITSKeywords", "FastRotate",
                                          "IPTCPhotoInfo", "ImageIdentifier", "Invert", "NewImage", "Rotate" } ) );
}

TEST_F( RegistryOrderTest, ByCategoryGivesTheMenuOrder )
{
   EXPECT_EQ( MenuOrder( registry ),
              ( std::vector<std::string>{ "Color Management/AssignICCProfile", "General/Invert", "Geometry/FastRotate",
                                          "Geometry/Rotate", "Global/NewImage", "Image/FITSKeywords",
                                          "Image/IPTCPhotoInfo", "Image/ImageIdentifier",
                                          "Wavelets/ATrousWaveletTransform" } ) );
}

TEST_F( RegistryOrderTest, FindProcessMatchesWholeIdentifiersExactly )
{
   const Process* invert = registry.FindProcess( "Invert" );
   ASSERT_NE( invert, nullptr );
   EXPECT_EQ( invert->Id(), "Invert" );
   EXPECT_NE( registry.FindProcess( "ATrousWaveletTransform" ), nullptr );
   EXPECT_NE( registry.FindProcess( "IPTCPhotoInfo" ), nullptr );

   for ( const char* missing : { "invert", "INVERT", "Inver", "Inverts", "", "IPTCPhotoInfoData",
                                 "ATrousWaveletsTransform", "Zzz", "AAA" } )
      EXPECT_EQ( registry.FindProcess( missing ), nullptr ) << missing;

   // The two lists hold prototypes of their own.
   const Process* byCategory = nullptr;
   for ( const CategorizedProcessInstance* entry : registry.ByCategory() )
      if ( entry->Prototype().Id() == "Invert" )
         byCategory = &entry->Prototype();
   EXPECT_NE( byCategory, invert );
}

TEST_F( RegistryOrderTest, ASecondRegistrationOfAnIdentifierIsRefused )
{
   using SameId = kit::FakeProcess<"Invert", "Other">;
   EXPECT_THROW( registry.Register<SameId>(), std::logic_error );
   EXPECT_EQ( registry.Count(), 9u );
   EXPECT_EQ( registry.ByCategory().Length(), 9u );
}

TEST( ProcessRegistryTest, BytesCompareUnsigned )
{
   EXPECT_TRUE( ProcessRegistry::IdentifierLess( "Zeta", "\xC3\x89tat" ) ); // 0xC3 is above every ASCII byte
   EXPECT_TRUE( ProcessRegistry::IdentifierLess( "Ab", "Abc" ) );
   EXPECT_FALSE( ProcessRegistry::IdentifierLess( "Abc", "Abc" ) );
   EXPECT_TRUE( ProcessRegistry::IdentifierLess( "", "A" ) );
}

struct Expected
{
   const char* category;
   const char* id;
   float version;
};
// Every process of the program with its category and version, in menu order.
const std::vector<Expected> expected = {
   { "Color Management", "AssignICCProfile", 1.0f },
   { "Color Spaces", "ConvertToGrayscale", 1.0f },
   { "Color Spaces", "ConvertToRGBColor", 1.0f },
   { "Color Spaces", "ExtractChannels", 1.0f },
   { "Color Spaces", "ImportChannels", 1.0f },
   { "Color Spaces", "RGBSpaceParameters", 1.0f },
   { "Dynamic", "DynamicBackgroundExtraction", 1.1f },
   { "Dynamic", "DynamicCrop", 1.0f },
   { "General", "Invert", 1.0f },
   { "General", "MedianFilter", 1.0f },
   { "General", "MinMaxFilter", 1.0f },
   { "General", "PixelMathTransform", 1.0f },
   { "General", "ProcessContainer", 1.0f },
   { "General", "SCNR", 1.0f },
   { "General", "SGBNR", 1.301f },
   { "Geometry", "CropExpand", 1.0f },
   { "Geometry", "FastRotate", 1.0f },
   { "Geometry", "IntegerResample", 1.0f },
   { "Geometry", "Resample", 1.0f },
   { "Geometry", "Rotate", 1.0f },
   { "Global", "NewImage", 1.0f },
   { "Global", "Preferences", 1.0f },
   { "Global", "ReadoutOptions", 1.0f },
   { "Image", "FITSKeywords", 1.0f },
   { "Image", "IPTCPhotoInfo", 1.0f },
   { "Image", "ImageIdentifier", 1.0f },
   { "Transfer Curves", "CurvesTransform", 1.01f },
   { "Transfer Curves", "HistogramsTransform", 1.0f },
   { "Wavelets", "ATrousWaveletTransform", 1.2f },
};

// --- The program's own list ------------------------------------------------------------------------------------

TEST( ProcessRegistryTest, EveryRegisteredProcessIsSoundAndStreamsByteForByte )
{
   const ProcessRegistry& registry = TheProcessRegistry();
   ASSERT_GT( registry.Count(), 0u );
   ASSERT_EQ( registry.ByCategory().Length(), registry.Count() );

   test::TempDir dir;
   std::set<std::string> seen;
   for ( const ProcessInstanceById* entry : registry.ById() )
   {
      const Process& prototype = entry->Prototype();
      const std::string id = prototype.Id();
      SCOPED_TRACE( id );
      EXPECT_TRUE( seen.insert( id ).second ) << "registered twice";
      EXPECT_FALSE( id.empty() );
      EXPECT_EQ( registry.FindProcess( id ), &prototype );
      EXPECT_FALSE( prototype.Category().empty() );
      EXPECT_TRUE( std::isfinite( prototype.Version() ) && prototype.Version() > 0 );

      const auto declared = std::find_if( expected.begin(), expected.end(),
                                          [&]( const Expected& e ) { return id == e.id; } );
      if ( declared == expected.end() )
         ADD_FAILURE() << "not a process of the program";
      else
      {
         EXPECT_EQ( prototype.Category(), declared->category );
         EXPECT_EQ( Process::StreamVersion( prototype.Version() ), Process::StreamVersion( declared->version ) );
      }

      std::unique_ptr<Process> instance = prototype.Clone();
      EXPECT_EQ( instance->Id(), id );
      EXPECT_EQ( instance->Category(), prototype.Category() );
      EXPECT_EQ( instance->parameters != nullptr, prototype.parameters != nullptr );
      // The text form names the process and, with parameters, says something of them.
      const std::string text = instance->ToText();
      EXPECT_EQ( text.substr( 0, id.size() ), id );
      if ( instance->parameters != nullptr )
      {
         EXPECT_GT( text.size(), id.size() + 1 );
      }

      // The default instance survives the stream byte for byte.
      std::string first = dir.File( id + ".1" );
      std::string second = dir.File( id + ".2" );
      {
         qor::File file;
         file.CreateForWriting( first );
         ProcessInstanceStream::WriteInstance( file, *instance );
      }
      std::unique_ptr<Process> read;
      {
         qor::File file;
         file.OpenForReading( first );
         read = ProcessInstanceStream::ReadInstance( file );
         EXPECT_EQ( file.BytesLeft(), 0 );
      }
      ASSERT_NE( read, nullptr );
      EXPECT_EQ( read->Id(), id );
      {
         qor::File file;
         file.CreateForWriting( second );
         ProcessInstanceStream::WriteInstance( file, *read );
      }
      EXPECT_EQ( kit::FileBytes( first ), kit::FileBytes( second ) );

      // A clone is the original: the same bytes in the stream.
      std::string prototypeBytes = dir.File( id + ".0" );
      {
         qor::File file;
         file.CreateForWriting( prototypeBytes );
         ProcessInstanceStream::WriteInstance( file, prototype );
      }
      EXPECT_EQ( kit::FileBytes( prototypeBytes ), kit::FileBytes( first ) );
   }

   std::set<std::string> inMenu;
   for ( const CategorizedProcessInstance* entry : registry.ByCategory() )
      inMenu.insert( entry->Prototype().Id() );
   EXPECT_EQ( inMenu, seen );
}

// The full list of the program, in menu order, with its versions. It passes once every process has landed.
TEST( ProcessRegistryTest, TheTwentyNineProcessesInMenuOrder )
{
   const ProcessRegistry& registry = TheProcessRegistry();
   if ( registry.Count() < expected.size() )
      GTEST_SKIP() << "only " << registry.Count() << " of the " << expected.size()
                   << " processes are registered so far; this test passes when the last one lands";

   ASSERT_EQ( registry.Count(), expected.size() );
   for ( size_t i = 0; i < expected.size(); ++i )
   {
      const Process& prototype = registry.ByCategory()[i]->Prototype();
      EXPECT_EQ( prototype.Category(), expected[i].category ) << i;
      EXPECT_EQ( prototype.Id(), expected[i].id ) << i;
      EXPECT_EQ( Process::StreamVersion( prototype.Version() ), Process::StreamVersion( expected[i].version ) )
         << expected[i].id;
   }
   EXPECT_EQ( IdsById( registry ).front(), "ATrousWaveletTransform" );
   // Files store identifiers, never these class names.
   EXPECT_EQ( registry.FindProcess( "ATrousWaveletsTransform" ), nullptr );
   EXPECT_EQ( registry.FindProcess( "IPTCPhotoInfoData" ), nullptr );
   EXPECT_EQ( registry.FindProcess( "invert" ), nullptr );
}

} // namespace
