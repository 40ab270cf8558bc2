// Module files: header bytes, the checks of a read in their order, and writes that never damage the old file.

#include <gtest/gtest.h>

#include <filesystem>

#include <sys/stat.h>
#include <unistd.h>

#include "ProcessTestKit.h"
#include "TestDirs.h"
#include "classlib/DateTime.h"
#include "process/Module.h"

namespace
{

// A kind whose body is an int32 count and that many int32 values; failWrite makes the body writer fail halfway.
template <uint32_t type>
class ValuesModule : public Module
{
public:
   explicit ValuesModule( std::vector<int32_t> initial = {} ) : values( std::move( initial ) ) {}

   uint32_t ModuleType() const override { return type; }
   std::string Description() const override { return "Values Module"; }
   void ReadData() override
   {
      int32_t count = file->ReadValue<int32_t>();
      if ( count < 0 || count > file->BytesLeft() / 4 )
         throw InvalidModuleHeader( file->Path() );
      for ( int32_t i = 0; i < count; ++i )
         values.push_back( file->ReadValue<int32_t>() );
   }
   void WriteData() override
   {
      file->WriteValue( static_cast<int32_t>( values.size() ) );
      for ( size_t i = 0; i < values.size(); ++i )
      {
         if ( failWrite && i == 1 )
            throw qor::File::WriteError( file->Path(), ENOSPC );
         file->WriteValue( values[i] );
      }
   }
   void Clear() override { values.clear(); }

   std::vector<int32_t> values;
   bool failWrite = false;
};

using IconSetModule = ValuesModule<0x5A5A95FE>;
using FilterSetModule = ValuesModule<0x5A5A07BE>;

// Open descriptors of this process that refer to the path.
int OpenDescriptors( const std::string& path )
{
   int count = 0;
   std::error_code error;
   for ( const auto& entry : std::filesystem::directory_iterator( "/proc/self/fd", error ) )
   {
      std::error_code linkError;
      auto target = std::filesystem::read_symlink( entry.path(), linkError );
      if ( !linkError && target == std::filesystem::path( path ) )
         ++count;
   }
   return count;
}

class ModuleTest : public ::testing::Test
{
protected:
   // A header as a writer of this kind would make it, to be spoiled field by field.
   static Module::Header GoodHeader()
   {
      Module::Header h;
      h.signature = 0x5A5A9595;
      h.version = 100;
      h.moduleType = 0x5A5A95FE;
      h.formatVersion = 100;
      h.creationTime = 45000.0;
      h.modificationTime = 45001.0;
      h.dataOffset = 40;
      return h;
   }

   std::string Store( const Module::Header& h, const std::vector<uint8_t>& body = { 1, 0, 0, 0, 7, 0, 0, 0 } )
   {
      kit::Bytes bytes;
      bytes.Value( h ).data.insert( bytes.data.end(), body.begin(), body.end() );
      kit::WriteBytes( path, bytes.data );
      return path;
   }

   test::TempDir dir;
   std::string path = dir.File( "set.lf-psm" );
};

TEST_F( ModuleTest, HeaderBytesOfAFirstWrite )
{
   IconSetModule module( { 5, -1 } );
   double before = qor::DateTime::Now();
   module.Write( path );
   double after = qor::DateTime::Now();

   std::vector<uint8_t> bytes = kit::FileBytes( path );
   ASSERT_EQ( bytes.size(), 40u + 12u );
   std::vector<uint8_t> fixed( bytes.begin(), bytes.begin() + 16 );
   EXPECT_EQ( fixed, ( std::vector<uint8_t>{ 0x95, 0x95, 0x5A, 0x5A, 100, 0, 0, 0, 0xFE, 0x95, 0x5A, 0x5A, 100, 0, 0, 0 } ) );
   std::vector<uint8_t> tail( bytes.begin() + 32, bytes.end() );
   EXPECT_EQ( tail, ( std::vector<uint8_t>{ 40, 0, 0, 0, 0, 0, 0, 0, // data offset, reserved bytes zero
                                            2, 0, 0, 0, 5, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF } ) );
   Module::Header written;
   std::memcpy( &written, bytes.data(), 40 );
   EXPECT_GE( written.creationTime, before - 1e-8 );
   EXPECT_LE( written.creationTime, written.modificationTime );
   EXPECT_LE( written.modificationTime, after + 1e-8 );

   IconSetModule read;
   read.Read( path );
   EXPECT_EQ( read.values, module.values );
   EXPECT_EQ( read.FilePath(), path );
   ASSERT_NE( read.LastHeader(), nullptr );
   EXPECT_EQ( read.LastHeader()->creationTime, written.creationTime );
   EXPECT_EQ( OpenDescriptors( path ), 0 );
}

// Each refused header gives its error, in the order of the checks; the module keeps what it had and the file is
// closed.
TEST_F( ModuleTest, RefusedHeadersInTheOrderOfTheChecks )
{
   struct Case
   {
      const char* what;
      std::function<void( Module::Header& )> spoil;
      std::string description;
   };
   const std::vector<Case> cases = {
      { "other kind", []( Module::Header& h ) { h.moduleType = 0x5A5A07BE; }, "Module authentication failed" },
      { "other kind and bad offset",
        []( Module::Header& h )
        {
           h.moduleType = 0;
           h.dataOffset = 0;
        },
        "Module authentication failed" },
      { "offset 39", []( Module::Header& h ) { h.dataOffset = 39; }, "Invalid or corrupted module header" },
      { "offset beyond the end", []( Module::Header& h ) { h.dataOffset = 0xFFFFFFF0; },
        "Invalid or corrupted module header" },
      { "created after modified", []( Module::Header& h ) { h.creationTime = 45002.0; },
        "Invalid or corrupted module header" },
      { "bad offset and newer format",
        []( Module::Header& h )
        {
           h.dataOffset = 8;
           h.formatVersion = 500;
        },
        "Invalid or corrupted module header" },
      { "format 1.01", []( Module::Header& h ) { h.formatVersion = 101; }, "Unsupported module version" },
      { "format read unsigned", []( Module::Header& h ) { h.formatVersion = -1; }, "Unsupported module version" },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.what );
      IconSetModule module( { 42 } );
      Module::Header h = GoodHeader();
      c.spoil( h );
      Store( h );
      try
      {
         module.Read( path );
         ADD_FAILURE() << "accepted";
      }
      catch ( const Module::Exception& x )
      {
         EXPECT_EQ( x.Message(), "Module Error:\n" + c.description + ":\n" + path );
      }
      EXPECT_EQ( module.values, std::vector<int32_t>{ 42 } );
      EXPECT_EQ( module.LastHeader(), nullptr );
      EXPECT_EQ( OpenDescriptors( path ), 0 );
   }
}

TEST_F( ModuleTest, ShortFilesAreNotModules )
{
   for ( size_t size : { 0u, 1u, 39u } )
   {
      kit::WriteBytes( path, std::vector<uint8_t>( size, 0x5A ) );
      IconSetModule module;
      EXPECT_THROW( module.Read( path ), Module::FileIsNotAQORModule ) << size;
      EXPECT_EQ( OpenDescriptors( path ), 0 );
   }
   IconSetModule module;
   EXPECT_THROW( module.Read( dir.File( "missing" ) ), qor::File::UnableToOpenFile );
}

TEST_F( ModuleTest, AcceptedHeaders )
{
   struct Case
   {
      const char* what;
      std::function<void( Module::Header& )> change;
   };
   const std::vector<Case> cases = {
      { "format 1.00", []( Module::Header& ) {} },
      { "older format", []( Module::Header& h ) { h.formatVersion = 50; } },
      { "any signature", []( Module::Header& h ) { h.signature = 0x12345678; } },
      { "any module version", []( Module::Header& h ) { h.version = -7; } },
      { "equal times", []( Module::Header& h ) { h.creationTime = h.modificationTime; } },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.what );
      Module::Header h = GoodHeader();
      c.change( h );
      Store( h );
      IconSetModule module;
      module.Read( path );
      EXPECT_EQ( module.values, std::vector<int32_t>{ 7 } );
   }

   // A larger data offset: the reader skips to it.
   Module::Header h = GoodHeader();
   h.dataOffset = 48;
   Store( h, { 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 1, 0, 0, 0, 9, 0, 0, 0 } );
   IconSetModule module;
   module.Read( path );
   EXPECT_EQ( module.values, std::vector<int32_t>{ 9 } );
}

TEST_F( ModuleTest, ABodyThatCannotBeReadEmptiesTheModuleAndForgetsTheFile )
{
   IconSetModule module( { 1, 2 } );
   module.Write( path );

   Store( GoodHeader(), { 100, 0, 0, 0, 1, 0, 0, 0 } ); // says 100 values, holds one
   EXPECT_THROW( module.Read( path ), Module::InvalidModuleHeader );
   EXPECT_TRUE( module.values.empty() );
   EXPECT_EQ( module.LastHeader(), nullptr );
   EXPECT_TRUE( module.FilePath().empty() );
   EXPECT_THROW( module.Write(), Module::FilePathNotSpecified );
   EXPECT_EQ( OpenDescriptors( path ), 0 );
}

TEST_F( ModuleTest, WritingWithoutAFileNeedsAPath )
{
   IconSetModule module;
   try
   {
      module.Write();
      ADD_FAILURE() << "wrote";
   }
   catch ( const Module::FilePathNotSpecified& x )
   {
      EXPECT_EQ( x.Message(), "Module Error:\nModule internal error: path was not specified:\n" );
   }
   EXPECT_TRUE( std::filesystem::is_empty( dir.Path() ) );
}

// A file history: the creation time of the first write (or of the file read) stays until Close.
TEST_F( ModuleTest, RewritesKeepTheCreationTimeUntilClose )
{
   Module::Header h = GoodHeader();
   h.reserved[0] = 0xAA;
   h.reserved[3] = 0xDD;
   Store( h );

   IconSetModule module;
   module.Read( path );
   module.values.push_back( 8 );
   module.Write();
   IconSetModule check;
   check.Read( path );
   EXPECT_EQ( check.values, ( std::vector<int32_t>{ 7, 8 } ) );
   EXPECT_EQ( check.LastHeader()->creationTime, 45000.0 );
   EXPECT_GT( check.LastHeader()->modificationTime, 45001.0 );
   EXPECT_EQ( check.LastHeader()->reserved[0], 0xAA ) << "a header that was read keeps its reserved bytes";
   EXPECT_EQ( check.LastHeader()->reserved[3], 0xDD );

   // A second file written by the same module continues the history.
   std::string other = dir.File( "other.lf-psm" );
   module.Write( other );
   check.Read( other );
   EXPECT_EQ( check.LastHeader()->creationTime, 45000.0 );
   EXPECT_EQ( module.FilePath(), other );

   module.Close();
   EXPECT_THROW( module.Write(), Module::FilePathNotSpecified );
   module.Write( other );
   check.Read( other );
   EXPECT_GT( check.LastHeader()->creationTime, 45001.0 ) << "a new history after Close";
   EXPECT_EQ( check.LastHeader()->reserved[0], 0 );
}

// A write that fails halfway leaves the previous file whole, and nothing else, in its folder.
TEST_F( ModuleTest, AFailedWriteLeavesTheOldFile )
{
   IconSetModule module( { 1, 2, 3 } );
   module.Write( path );
   std::vector<uint8_t> old = kit::FileBytes( path );

   // The error names the file the user asked for, not the hidden one the body was being written to.
   auto failure = [&]( const std::string& target ) -> std::string
   {
      try
      {
         module.Write( target );
      }
      catch ( const qor::File::WriteError& x )
      {
         EXPECT_EQ( x.SystemError(), ENOSPC );
         return x.Path();
      }
      return "written";
   };
   module.values = { 4, 5, 6 };
   module.failWrite = true;
   EXPECT_EQ( failure( "" ), path );
   EXPECT_EQ( kit::FileBytes( path ), old );
   EXPECT_EQ( std::distance( std::filesystem::directory_iterator( dir.Path() ), {} ), 1 );

   // Nor is a new file made when there was none.
   std::string fresh = dir.File( "fresh.lf-psm" );
   EXPECT_EQ( failure( fresh ), fresh );
   EXPECT_FALSE( std::filesystem::exists( fresh ) );

   module.failWrite = false;
   module.Write();
   IconSetModule check;
   check.Read( path );
   EXPECT_EQ( check.values, ( std::vector<int32_t>{ 4, 5, 6 } ) );
}

TEST_F( ModuleTest, ReplacingKeepsPermissionsAndSymbolicLinks )
{
   IconSetModule module( { 1 } );
   module.Write( path );
   ASSERT_EQ( ::chmod( path.c_str(), 0640 ), 0 );
   std::string link = dir.File( "link.lf-psm" );
   std::filesystem::create_symlink( path, link );

   module.values = { 2 };
   module.Write( link );
   EXPECT_TRUE( std::filesystem::is_symlink( link ) );
   struct stat info;
   ASSERT_EQ( ::stat( path.c_str(), &info ), 0 );
   EXPECT_EQ( info.st_mode & 0777, 0640u );
   IconSetModule check;
   check.Read( path );
   EXPECT_EQ( check.values, std::vector<int32_t>{ 2 } );

   // A folder that cannot be written: the error names the target.
   std::string nowhere = dir.File( "no/such/folder/set.lf-psm" );
   try
   {
      module.Write( nowhere );
      ADD_FAILURE() << "wrote";
   }
   catch ( const qor::File::UnableToCreateFile& x )
   {
      EXPECT_EQ( x.Path(), nowhere );
   }
}

TEST_F( ModuleTest, KindsRefuseEachOthersFiles )
{
   IconSetModule icons( { 3 } );
   icons.Write( path );
   FilterSetModule filters;
   EXPECT_THROW( filters.Read( path ), Module::ModuleAuthenticationFailed );
   EXPECT_EQ( icons.Description(), "Values Module" );
   EXPECT_EQ( filters.Signature(), 0x5A5A9595u );
   EXPECT_EQ( filters.DataOffset(), 40 );
}

} // namespace
