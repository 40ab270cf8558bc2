// IPTC sets as a process and as module files: what a run does to a view, the module layout, and damaged modules.

#include <gtest/gtest.h>

#include "ProcessTestKit.h"
#include "TestDirs.h"
#include "process/IPTCPhotoInfoData.h"

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
