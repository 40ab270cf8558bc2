// The binary form of process instances: exact bytes, round trips, unknown identifiers, and damaged records.

#include <gtest/gtest.h>

#include "ProcessTestKit.h"
#include "TestDirs.h"
#include "process/ProcessContainer.h"
#include "process/ProcessInstanceStream.h"
#include "process/ProcessRegistry.h"

namespace
{

using Sigma = kit::FakeProcess<"Sigma", "General", 1010>;
using SGB = kit::FakeProcess<"SGB", "General", 1301>;
using Bare = kit::FakeProcess<"Bare", "General", 1000, false>;

class ProcessInstanceStreamTest : public ::testing::Test
{
protected:
   ProcessInstanceStreamTest()
   {
      registry.Register<Sigma>();
      registry.Register<SGB>();
      registry.Register<Bare>();
      registry.Register<ProcessContainer>();
   }

   std::vector<uint8_t> Written( const Process& instance )
   {
      qor::File file;
      file.CreateForWriting( path );
      ProcessInstanceStream::WriteInstance( file, instance );
      file.Close();
      return kit::FileBytes( path );
   }

   std::unique_ptr<Process> ReadBack( const std::vector<uint8_t>& bytes )
   {
      kit::WriteBytes( path, bytes );
      qor::File file;
      file.OpenForReading( path );
      return ProcessInstanceStream::ReadInstance( file, registry );
   }

   test::TempDir dir;
   std::string path = dir.File( "instance.bin" );
   ProcessRegistry registry;
};

TEST_F( ProcessInstanceStreamTest, RecordBytesOfAKnownInstance )
{
   Sigma instance;
   instance.enabled = false;
   instance.maskId = "M1";
   instance.maskLost = true;
   instance.startTime = 45000.5;
   instance.processingTime = 0.25;
   auto& parameters = static_cast<kit::KitParameters&>( *instance.parameters );
   parameters.sigma = 2.0;
   parameters.iterations = 7;
   parameters.label = "ab";

   std::vector<uint8_t> expected = kit::Bytes()
                                      .String( "Sigma" )
                                      .Raw( { 0xAE, 0x47, 0x81, 0x3F } ) // float32 nearest to 1.01
                                      .Value( 2.0 )
                                      .Value( int32_t( 7 ) )
                                      .String( "ab" )
                                      .Value( int32_t( 0 ) ) // owner word
                                      .Value( uint8_t( 0 ) )
                                      .String( "M1" )
                                      .Value( uint8_t( 1 ) )
                                      .Value( 45000.5 )
                                      .Value( 0.25 )
                                      .data;
   EXPECT_EQ( Written( instance ), expected );
}

TEST_F( ProcessInstanceStreamTest, WithoutParametersTheVersionIsFollowedByTheOwnerWord )
{
   Bare instance;
   std::vector<uint8_t> expected = kit::Bytes()
                                      .String( "Bare" )
                                      .Value( 1.0f )
                                      .Value( int32_t( 0 ) )
                                      .Value( uint8_t( 1 ) )
                                      .String( "" )
                                      .Value( uint8_t( 0 ) )
                                      .Value( 0.0 )
                                      .Value( 0.0 )
                                      .data;
   EXPECT_EQ( Written( instance ), expected );
}

TEST_F( ProcessInstanceStreamTest, RoundTripKeepsEveryCommonFieldAndNoMaskWindow )
{
   kit::FakeMask window( "Mask01" );
   SGB instance;
   instance.SetMask( &window );
   instance.SetMask( nullptr ); // mask lost, identifier kept
   instance.enabled = false;
   instance.startTime = 46366.5;
   instance.processingTime = 1.0 / 86400;
   static_cast<kit::KitParameters&>( *instance.parameters ).label = "noise";

   std::vector<uint8_t> bytes = Written( instance );
   std::unique_ptr<Process> read = ReadBack( bytes );
   ASSERT_EQ( read->Id(), "SGB" );
   EXPECT_FALSE( read->enabled );
   EXPECT_TRUE( read->maskLost );
   EXPECT_EQ( read->maskId, "Mask01" );
   EXPECT_EQ( read->mask, nullptr );
   EXPECT_EQ( read->owner, nullptr );
   EXPECT_EQ( read->startTime, 46366.5 );
   EXPECT_EQ( read->processingTime, 1.0 / 86400 );
   EXPECT_EQ( static_cast<kit::KitParameters&>( *read->parameters ).label, "noise" );
   EXPECT_EQ( Process::StreamVersion( read->Version() ), Process::StreamVersion( 1.301f ) );
   EXPECT_EQ( Written( *read ), bytes );
}

TEST_F( ProcessInstanceStreamTest, NeverRunInstanceKeepsZeroTimesExactly )
{
   Sigma instance;
   std::unique_ptr<Process> read = ReadBack( Written( instance ) );
   EXPECT_EQ( read->startTime, 0.0 );
   EXPECT_EQ( read->processingTime, 0.0 );
   EXPECT_TRUE( read->enabled );
   EXPECT_FALSE( read->maskLost );
}

TEST_F( ProcessInstanceStreamTest, UnregisteredIdentifiersAreRefusedRightAfterTheIdentifier )
{
   for ( const std::string id : { "Unknown", "", "sigma" } )
   {
      std::vector<uint8_t> bytes = kit::Bytes().String( id ).Value( 1.0f ).data;
      kit::WriteBytes( path, bytes );
      qor::File file;
      file.OpenForReading( path );
      try
      {
         ProcessInstanceStream::ReadInstance( file, registry );
         ADD_FAILURE() << "read an instance of '" << id << "'";
      }
      catch ( const ProcessRefusal& x )
      {
         EXPECT_EQ( std::string( x.what() ), "Cannot instantiate process: unregistered process id '" + id + "'" );
         EXPECT_EQ( file.Position(), int64_t( 4 + id.size() ) );
      }
   }
}

TEST_F( ProcessInstanceStreamTest, ContainerStoresItsCountAndRecordsDisabledOnesIncluded )
{
   ProcessContainer empty;
   std::vector<uint8_t> emptyBytes = Written( empty );
   std::vector<uint8_t> emptyTail( emptyBytes.end() - 4, emptyBytes.end() );
   EXPECT_EQ( emptyTail, kit::Bytes().Value( int32_t( 0 ) ).data ) << "count 0 and nothing after it";

   ProcessContainer container;
   container.AddInstance( std::make_unique<Sigma>() );
   auto disabled = std::make_unique<Bare>();
   disabled->enabled = false;
   container.AddInstance( std::move( disabled ) );
   auto nested = std::make_unique<ProcessContainer>();
   nested->AddInstance( std::make_unique<SGB>() );
   container.AddInstance( std::move( nested ) );

   std::vector<uint8_t> bytes = Written( container );
   std::vector<uint8_t> expectedStart( emptyBytes.begin(), emptyBytes.end() - 4 );
   expectedStart.insert( expectedStart.end(), { 3, 0, 0, 0 } );
   EXPECT_TRUE( std::equal( expectedStart.begin(), expectedStart.end(), bytes.begin() ) );

   std::unique_ptr<Process> read = ReadBack( bytes );
   auto& readContainer = dynamic_cast<ProcessContainer&>( *read );
   ASSERT_EQ( readContainer.instances.Length(), 3u );
   EXPECT_EQ( readContainer.instances[0]->Id(), "Sigma" );
   EXPECT_FALSE( readContainer.instances[1]->enabled );
   auto& readNested = dynamic_cast<ProcessContainer&>( *readContainer.instances[2] );
   ASSERT_EQ( readNested.instances.Length(), 1u );
   EXPECT_EQ( readNested.instances[0]->owner, &readNested );
   for ( Process* instance : readContainer.instances )
      EXPECT_EQ( instance->owner, &readContainer );
   EXPECT_EQ( Written( *read ), bytes );
}

TEST_F( ProcessInstanceStreamTest, NegativeInstanceCountReadsNoInstance )
{
   ProcessContainer empty;
   std::vector<uint8_t> bytes = Written( empty );
   bytes.resize( bytes.size() - 4 );
   kit::Bytes negative;
   negative.Value( int32_t( -5 ) );
   bytes.insert( bytes.end(), negative.data.begin(), negative.data.end() );
   auto read = ReadBack( bytes );
   EXPECT_TRUE( dynamic_cast<ProcessContainer&>( *read ).instances.IsEmpty() );
}

// Every cut of a record is a short file: a qor::File error, whatever field it cuts, and no instance.
TEST_F( ProcessInstanceStreamTest, EveryTruncationIsAFileError )
{
   ProcessContainer container;
   auto sigma = std::make_unique<Sigma>();
   sigma->maskId = "Mask";
   container.AddInstance( std::move( sigma ) );
   container.AddInstance( std::make_unique<Bare>() );
   std::vector<uint8_t> bytes = Written( container );

   for ( size_t length = 0; length < bytes.size(); ++length )
   {
      std::vector<uint8_t> cut( bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>( length ) );
      EXPECT_THROW( ReadBack( cut ), qor::File::Exception ) << "cut at " << length;
   }
}

// Lengths and counts are checked before anything is allocated or read.
TEST_F( ProcessInstanceStreamTest, ImpossibleLengthsAndCountsAreCorruptData )
{
   ProcessContainer empty;
   std::vector<uint8_t> containerHead = Written( empty );
   containerHead.resize( containerHead.size() - 4 );
   auto withCount = [&]( int32_t count )
   {
      kit::Bytes bytes;
      bytes.data = containerHead;
      return bytes.Value( count ).Value( int32_t( 0 ) ).data;
   };
   // The record cut after its enabled byte, then a mask identifier length with more than enough bytes after it.
   const size_t beforeMaskId = 4 + std::string( "ProcessContainer" ).size() + 4 + 4 + 1;
   auto withMaskIdLength = [&]( int32_t length )
   {
      kit::Bytes bytes;
      bytes.data.assign( containerHead.begin(), containerHead.begin() + static_cast<std::ptrdiff_t>( beforeMaskId ) );
      return bytes.Value( length ).Text( std::string( 1000, '\0' ) ).data;
   };

   struct Case
   {
      const char* what;
      std::vector<uint8_t> bytes;
   };
   std::vector<Case> cases = {
      { "negative identifier length", kit::Bytes().Value( int32_t( -1 ) ).Text( "Sigma" ).data },
      { "identifier longer than any", kit::Bytes().Value( int32_t( 100000 ) ).data },
      { "identifier length of 2 GiB", kit::Bytes().Value( int32_t( 0x7FFFFFFF ) ).data },
      { "instance count the file cannot hold", withCount( 1000000 ) },
      { "instance count of 2 G", withCount( 0x7FFFFFFF ) },
      { "negative mask identifier length", withMaskIdLength( -1 ) },
      { "mask identifier longer than any", withMaskIdLength( ProcessInstanceStream::MaxIdentifierLength + 1 ) },
      { "mask identifier length of 2 GiB", withMaskIdLength( 0x7FFFFFFF ) },
   };
   for ( const Case& c : cases )
   {
      try
      {
         ReadBack( c.bytes );
         ADD_FAILURE() << c.what << ": read";
      }
      catch ( const ProcessInstanceStream::Error& x )
      {
         EXPECT_EQ( x.Message(), "File I/O Error:\nCorrupted process instance data:\n" + x.Path() ) << c.what;
      }
   }
}

// Containers nested without end (a hostile file) stop at a fixed depth instead of exhausting the stack.
TEST_F( ProcessInstanceStreamTest, NestingIsLimited )
{
   ProcessContainer empty;
   std::vector<uint8_t> head = Written( empty );
   head.resize( head.size() - 4 );
   kit::Bytes bytes;
   for ( int32_t level = 0; level < ProcessInstanceStream::MaxNestingDepth + 2; ++level )
   {
      bytes.data.insert( bytes.data.end(), head.begin(), head.end() );
      bytes.Value( int32_t( 1 ) );
   }
   bytes.Value( int32_t( 0 ) );
   EXPECT_THROW( ReadBack( bytes.data ), ProcessInstanceStream::Error );

   // A history nested a few levels deep reads fine.
   ProcessContainer outer;
   ProcessContainer* level = &outer;
   for ( int i = 0; i < 20; ++i )
   {
      auto inner = std::make_unique<ProcessContainer>();
      ProcessContainer* next = inner.get();
      level->AddInstance( std::move( inner ) );
      level = next;
   }
   level->AddInstance( std::make_unique<Sigma>() );
   std::vector<uint8_t> deep = Written( outer );
   EXPECT_EQ( Written( *ReadBack( deep ) ), deep );
}

} // namespace
