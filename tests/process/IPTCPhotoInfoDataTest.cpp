// IPTC sets as a process and as module files: what a run does to a view, the module layout, and damaged modules.

#include <gtest/gtest.h>

#include "ProcessTestKit.h"
#include "TestDirs.h"
#include "process/IPTCPhotoInfoData.h"
#include "process/ProcessContainer.h"
#include "process/ProcessInstanceStream.h"
#include "process/ProcessRegistry.h"

#include <QByteArray>

namespace
{

class IPTCView : public kit::FakeView
{
public:
   IPTCView() : kit::FakeView( "Image01" ) {}
   qor::IPTCPhotoInfo* IPTCPhotoInfoRecord() const override { return info; }
   void Modified( bool notify ) override { notified += notify ? 1 : 0; }
   qor::IPTCPhotoInfo* info = nullptr;
   int notified = 0;
};

void Set( qor::IPTCPhotoInfo& info, const char* name, const std::string& value )
{
   info.Set( qor::IPTCPhotoInfo::DescriptionByName( name ), value.data(), value.size() );
}

// The items of a set in list order, as name=value.
std::vector<std::string> Items( const qor::IPTCPhotoInfo& info )
{
   std::vector<std::string> out;
   for ( const qor::IPTCPhotoInfo::Item& item : info.Items() )
      out.push_back( item.description->name + "=" + item.value );
   return out;
}

} // namespace

TEST( IPTCPhotoInfoDataTest, ARunGivesTheViewACopyOfTheSet )
{
   qor::IPTCPhotoInfo image;
   Set( image, "City", "Paris" );
   IPTCView view;
   view.info = &image;

   IPTCPhotoInfoData process;
   EXPECT_EQ( process.Id(), "IPTCPhotoInfo" );
   EXPECT_EQ( process.UndoFlags( view ), Process::UndoIPTCPhotoInfo );
   EXPECT_FALSE( process.IsMaskable( view, nullptr ) );
   EXPECT_FALSE( process.CanExecuteOn( kit::FakeView( "Image01->Preview01", true ) ) );
   EXPECT_EQ( process.ToText(), "IPTCPhotoInfo items=0" );
   Set( process.Values().info, "Keywords", "M 42" );
   Set( process.Values().info, "Keywords", "Orion" );
   process.Clone()->DoExecuteOn( view );
   EXPECT_EQ( image.FindValue( "Keywords" ), "M 42;Orion" );
   EXPECT_FALSE( image.FindValue( "City" ) );
   EXPECT_EQ( view.notified, 1 );

   // An empty set deletes every item.
   IPTCPhotoInfoData().DoExecuteOn( view );
   EXPECT_TRUE( image.IsEmpty() );
}

TEST( IPTCPhotoInfoDataTest, ModulesHoldTheHeaderAndTheBlockAndRefuseDamage )
{
   test::TempDir dir;
   {
      IPTCPhotoInfoModule empty;
      empty.Write( dir.File( "empty.lf-iptc" ) );
   }
   const std::vector<uint8_t> bytes = kit::FileBytes( dir.File( "empty.lf-iptc" ) );
   ASSERT_EQ( bytes.size(), 44u );
   EXPECT_EQ( std::vector<uint8_t>( bytes.begin() + 8, bytes.begin() + 12 ),
              ( std::vector<uint8_t>{ 0x9E, 0x08, 0x5A, 0x5A } ) );
   EXPECT_EQ( std::vector<uint8_t>( bytes.begin() + 40, bytes.end() ), ( std::vector<uint8_t>{ 0, 0, 0, 0 } ) );

   const std::string path = dir.File( "set.lf-iptc" );
   {
      IPTCPhotoInfoModule module;
      Set( module.info, "Caption", "Line one\rLine two" );
      Set( module.info, "Urgency", "5" );
      module.Write( path );
   }
   IPTCPhotoInfoModule read;
   read.Read( path );
   EXPECT_EQ( read.info.FindValue( "Caption" ), "Line one\rLine two" );
   EXPECT_EQ( read.info.FindValue( "Urgency" ), "5" );

   // A block size beyond the file, a dataset longer than its block, and a cut body all fail with nothing read.
   std::vector<uint8_t> whole = kit::FileBytes( path );
   std::vector<std::vector<uint8_t>> damaged;
   std::vector<uint8_t> hugeSize = whole;
   hugeSize[40] = 0xFF;
   hugeSize[41] = 0xFF;
   hugeSize[42] = 0xFF;
   hugeSize[43] = 0x0F;
   damaged.push_back( hugeSize );
   std::vector<uint8_t> longDataset = whole;
   longDataset[44 + 7 + 3] = 0x7F; // the length of the first dataset after the record version
   damaged.push_back( longDataset );
   damaged.emplace_back( whole.begin(), whole.end() - 6 );
   for ( size_t i = 0; i < damaged.size(); ++i )
   {
      SCOPED_TRACE( i );
      kit::WriteBytes( path, damaged[i] );
      IPTCPhotoInfoModule module;
      EXPECT_THROW( module.Read( path ), qor::Exception );
      EXPECT_TRUE( module.info.IsEmpty() );
   }
}

// Written and read again, an instance is the same instance: the IPTC datasets keep their order, and the values
// read are those a write gives back, so the block does not change from one save to the next. The first record
// was found by fuzzing the instance stream (blanks, empty elements and repeated datasets in its block).
TEST( IPTCPhotoInfoDataTest, InstancesWrittenAndReadAgainAreTheSameInstances )
{
   test::TempDir dir;
   const std::string path = dir.File( "instance.bin" );
   auto write = [&]( const Process& instance )
   {
      qor::File file;
      file.CreateForWriting( path );
      ProcessInstanceStream::WriteInstance( file, instance );
      file.Close();
      return kit::FileBytes( path );
   };
   auto read = [&]( const std::vector<uint8_t>& bytes )
   {
      kit::WriteBytes( path, bytes );
      qor::File file;
      file.OpenForReading( path );
      return ProcessInstanceStream::ReadInstance( file, TheProcessRegistry() );
   };

   const QByteArray found = QByteArray::fromBase64(
      "DQAAAElQVENQaG90b0luZm8AAIA/pwAAAAAA8vLyU1NTU0MA5QENAAAA5QAAAFRyYW5z//8z/wgcAhsAJTsAUHJlAAAAAAAmAAAA/AAAAEw/"
      "AQAAAP///zvrBgDAYAAAAT4Abw0ACBwCaQAA5QAAAFRyYW5z//8z/wgcAhsAOwBQcmUAAAAAAAAAAPwAAABMPwEAAAD///8BPgBvDQAAAAD/"
      "/ztlcgB2AFByb2Nlc3NEeW5hbWljQmFja2dyAAAAAAEAAAAAAAAAAAAAAAAAAAAAAAAAAAACAAAAEAAAAGNyb1Blc3NDb24AIw==" );
   IPTCPhotoInfoData edited;
   Set( edited.Values().info, "City", " Madrid " );
   Set( edited.Values().info, "Keywords", "M42" );
   Set( edited.Values().info, "Keywords", "" );
   Set( edited.Values().info, "Keywords", "Orion ; nebula" );
   Set( edited.Values().info, "ObjectName", "M42" );

   for ( const std::vector<uint8_t>& record :
         { std::vector<uint8_t>( found.begin(), found.end() ), write( edited ) } )
   {
      std::unique_ptr<Process> once = read( record );
      const std::vector<uint8_t> first = write( *once );
      std::unique_ptr<Process> twice = read( first );
      ASSERT_EQ( twice->Id(), "IPTCPhotoInfo" );
      const qor::IPTCPhotoInfo& info = static_cast<IPTCPhotoInfoData&>( *twice ).Values().info;
      EXPECT_EQ( Items( info ), Items( static_cast<IPTCPhotoInfoData&>( *once ).Values().info ) );
      EXPECT_EQ( write( *twice ), first );

      // The same in a container (as process icon sets and stored histories hold instances) and in an IPTC set file.
      ProcessContainer container;
      container.AddInstance( once->Clone() );
      const std::vector<uint8_t> held = write( container );
      EXPECT_EQ( write( *read( held ) ), held );
      IPTCPhotoInfoModule module;
      module.info = info;
      module.Write( dir.File( "set.lf-iptc" ) );
      IPTCPhotoInfoModule back;
      back.Read( dir.File( "set.lf-iptc" ) );
      EXPECT_EQ( Items( back.info ), Items( info ) );
   }

   // A set edited by hand is read back in its order, its values as they are written: blanks trimmed, empty
   // elements left out.
   const std::unique_ptr<Process> back = read( write( edited ) );
   EXPECT_EQ( Items( static_cast<IPTCPhotoInfoData&>( *back ).Values().info ),
              ( std::vector<std::string>{ "ObjectName=M42", "Keywords=M42;Orion;nebula", "City=Madrid" } ) );
}
