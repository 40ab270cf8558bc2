#include <gtest/gtest.h>

#include "File.h"
#include "TestDirs.h"

#include <array>
#include <chrono>
#include <csignal>
#include <cstring>
#include <filesystem>
#include <memory>
#include <fstream>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{

using qor::File;

void WriteBytes( const std::string& path, const std::string& bytes )
{
   std::ofstream out( path, std::ios::binary | std::ios::trunc );
   out << bytes;
}

std::string ReadBytes( const std::string& path )
{
   std::ifstream in( path, std::ios::binary );
   return std::string( std::istreambuf_iterator<char>( in ), std::istreambuf_iterator<char>() );
}

// Runs a body with the current folder changed, restoring it afterwards.
class CurrentFolder
{
public:
   explicit CurrentFolder( const std::filesystem::path& folder ) : saved( std::filesystem::current_path() )
   {
      std::filesystem::current_path( folder );
   }
   ~CurrentFolder() { std::filesystem::current_path( saved ); }

private:
   std::filesystem::path saved;
};

class FileTest : public ::testing::Test
{
protected:
   test::TempDir dir;
};

// ---------------------------------------------------------------------------------------------------------------
// Modes

struct ModeCase
{
   int32_t requested;
   bool existsBefore;
   int32_t stored;
   bool canRead;
   bool canWrite;
   int64_t sizeAfterOpen; // the existing file holds 5 bytes
};

class FileModeTest : public FileTest, public ::testing::WithParamInterface<ModeCase>
{
};

TEST_P( FileModeTest, OpenAdjustsModeAndHonoursDisposition )
{
   const ModeCase& c = GetParam();
   std::string path = dir.File( "f.bin" );
   if ( c.existsBefore )
      WriteBytes( path, "hello" );

   File file;
   file.Open( path, c.requested );
   EXPECT_TRUE( file.IsOpen() );
   EXPECT_EQ( file.Mode(), c.stored );
   EXPECT_EQ( file.CanRead(), c.canRead );
   EXPECT_EQ( file.CanWrite(), c.canWrite );
   EXPECT_EQ( file.Size(), c.sizeAfterOpen );
   EXPECT_EQ( file.Position(), 0 );
}

INSTANTIATE_TEST_SUITE_P( Modes, FileModeTest,
                          ::testing::Values( ModeCase{ 0x000, true, 0x101, true, false, 5 },     // mode 0
                                             ModeCase{ 0x001, true, 0x101, true, false, 5 },     // no disposition
                                             ModeCase{ 0x101, true, 0x101, true, false, 5 },     // read existing
                                             ModeCase{ 0x103, true, 0x103, true, true, 5 },      // read/write
                                             ModeCase{ 0x131, true, 0x131, true, false, 5 },     // sharing kept
                                             ModeCase{ 0x200, true, 0x202, false, true, 0 },     // truncates
                                             ModeCase{ 0x202, false, 0x202, false, true, 0 },    // creates
                                             ModeCase{ 0x203, true, 0x203, true, true, 0 },      // create r/w
                                             ModeCase{ 0x300, true, 0x302, false, true, 5 },     // keeps content
                                             ModeCase{ 0x301, false, 0x303, true, true, 0 },     // creates
                                             ModeCase{ 0x400, false, 0x402, false, true, 0 },    // create new
                                             ModeCase{ 0x004, true, 0x105, true, false, 5 } ) ); // odd bits

TEST_F( FileTest, ConvenienceOpenersUseTheirModes )
{
   std::string path = dir.File( "f.bin" );
   File file;
   file.CreateForWriting( path );
   EXPECT_EQ( file.Mode(), 0x202 );
   file.CreateForReadWrite( path );
   EXPECT_EQ( file.Mode(), 0x203 );
   file.OpenForReadWrite( path );
   EXPECT_EQ( file.Mode(), 0x103 );
   file.OpenForReading( path );
   EXPECT_EQ( file.Mode(), 0x101 );
}

TEST_F( FileTest, CreateNewRefusesAnExistingNameAndMakesAPrivateFile )
{
   std::string path = dir.File( "private.swp" );
   {
      File file;
      file.Open( path, File::ModeCreateNew | File::ModeRead );
      EXPECT_EQ( file.Mode(), 0x403 );
   }
   struct stat info;
   ASSERT_EQ( ::stat( path.c_str(), &info ), 0 );
   EXPECT_EQ( info.st_mode & 0777, 0600u );

   File again;
   EXPECT_THROW( again.Open( path, File::ModeCreateNew ), File::UnableToCreateFile );

   // Not through a symbolic link either, even a dangling one.
   std::string link = dir.File( "link.swp" );
   ASSERT_EQ( ::symlink( dir.File( "target" ).c_str(), link.c_str() ), 0 );
   EXPECT_THROW( again.Open( link, File::ModeCreateNew ), File::UnableToCreateFile );
   EXPECT_FALSE( std::filesystem::exists( dir.File( "target" ) ) );
}

// ---------------------------------------------------------------------------------------------------------------
// Open failures and paths

TEST_F( FileTest, FailedOpenNamesThePathAsGivenAndLeavesTheObjectClosed )
{
   std::string first = dir.File( "first.bin" );
   WriteBytes( first, "x" );
   File file;
   file.OpenForReading( first );

   try
   {
      file.Open( "no-such-folder/missing.bin", 0x101 );
      FAIL() << "no exception";
   }
   catch ( const File::UnableToOpenFile& e )
   {
      EXPECT_EQ( e.Message(), "File I/O Error:\nUnable to open file:\nno-such-folder/missing.bin" );
      EXPECT_EQ( e.Path(), "no-such-folder/missing.bin" );
      EXPECT_EQ( e.SystemError(), ENOENT );
   }
   EXPECT_FALSE( file.IsOpen() );
   EXPECT_EQ( file.Mode(), 0 );
   EXPECT_EQ( file.Path(), first );

   std::string inMissingFolder = dir.File( "missing/new.bin" );
   try
   {
      file.Open( inMissingFolder, 0x300 );
      FAIL() << "no exception";
   }
   catch ( const File::UnableToCreateFile& e )
   {
      EXPECT_EQ( e.Message(), "File I/O Error:\nUnable to create file:\n" + inMissingFolder );
   }
   EXPECT_THROW( file.Open( inMissingFolder, 0x200 ), File::UnableToCreateFile );
}

TEST_F( FileTest, AFolderIsNotAFile )
{
   File file;
   EXPECT_THROW( file.OpenForReading( dir.Path().string() ), File::UnableToOpenFile );
   EXPECT_THROW( file.CreateForWriting( dir.Path().string() ), File::UnableToCreateFile );
   EXPECT_FALSE( file.IsOpen() );
}

// A pipe named like a file is refused at once for reading, and for writing when nobody reads it: either would
// otherwise wait for another program for ever. A device is refused for reading (it has no end the size tells).
TEST_F( FileTest, WhatIsNotAPlainFileIsRefusedWithoutWaiting )
{
   const std::string pipe = dir.File( "pipe.raw" );
   ASSERT_EQ( ::mkfifo( pipe.c_str(), 0600 ), 0 );
   File file;
   for ( int32_t mode : { 0x101, 0x103, 0x102, 0x202, 0x302 } )
   {
      SCOPED_TRACE( mode );
      try
      {
         file.Open( pipe, mode );
         ADD_FAILURE() << "opened";
      }
      catch ( const File::NotAFile& x )
      {
         EXPECT_EQ( x.Message(), "File I/O Error:\nCannot open something that is not a file:\n" + pipe );
      }
      EXPECT_FALSE( file.IsOpen() );
   }
   EXPECT_THROW( file.OpenForReading( "/dev/zero" ), File::NotAFile );
   EXPECT_THROW( File::RequireFile( pipe ), File::NotAFile );
   EXPECT_THROW( File::RequireFile( dir.Path().string() ), File::NotAFile );
   WriteBytes( dir.File( "plain.raw" ), "abc" );
   File::RequireFile( dir.File( "plain.raw" ) );
   File::RequireFile( dir.File( "missing.raw" ) );
   file.OpenForReading( dir.File( "plain.raw" ) );
   char c[3];
   file.Read( c, 3 );
   EXPECT_EQ( std::string( c, 3 ), "abc" );
}

TEST_F( FileTest, StoresTheFullPathOfARelativeName )
{
   std::filesystem::create_directory( dir.Path() / "sub" );
   WriteBytes( dir.File( "data.bin" ), "abc" );
   CurrentFolder here( dir.Path() / "sub" );

   File file;
   file.OpenForReading( "../data.bin" );
   EXPECT_EQ( file.Path(), ( std::filesystem::canonical( dir.Path() ) / "data.bin" ).string() );
}

TEST_F( FileTest, OpeningAgainClosesTheFirstFile )
{
   File file;
   file.CreateForWriting( dir.File( "a.bin" ) );
   int first = file.Handle();
   file.CreateForWriting( dir.File( "b.bin" ) );
   // The first descriptor is closed (its number may have been given to the second file).
   EXPECT_TRUE( first == file.Handle() || ::fcntl( first, F_GETFD ) == -1 );
   EXPECT_EQ( file.Path(), dir.File( "b.bin" ) );
}

// ---------------------------------------------------------------------------------------------------------------
// Reading, writing, positions

TEST_F( FileTest, TypedFieldsRoundTripInMachineOrder )
{
   std::string path = dir.File( "fields.bin" );
   {
      File file;
      file.CreateForWriting( path );
      file.WriteValue( int32_t( 0x01020304 ) );
      file.WriteValue( 2.5f );
      file.WriteValue( uint8_t( 0xFF ) );
      file.WriteString( "text" );
      EXPECT_EQ( file.Position(), 13 );
   }
   EXPECT_EQ( ReadBytes( path ), std::string( "\x04\x03\x02\x01\x00\x00\x20\x40\xFF" "text", 13 ) );

   File file;
   file.OpenForReading( path );
   EXPECT_EQ( file.ReadValue<int32_t>(), 0x01020304 );
   float f = 0;
   file.ReadValue( f );
   EXPECT_EQ( f, 2.5f );
   EXPECT_EQ( file.ReadValue<uint8_t>(), 0xFF );
   EXPECT_EQ( file.BytesLeft(), 4 );
   EXPECT_EQ( file.ReadString( 4 ), "text" );
   EXPECT_EQ( file.ReadString( 0 ), "" );
   file.Read( nullptr, 0 ); // reading nothing at the end succeeds
}

TEST_F( FileTest, TruncatedReadThrowsUnexpectedEndOfFileWithTheFullPath )
{
   std::string path = dir.File( "short.bin" );
   WriteBytes( path, "1234" );
   File file;
   file.OpenForReading( path );
   std::array<char, 10> buffer{};
   try
   {
      file.Read( buffer.data(), 10 );
      FAIL() << "no exception";
   }
   catch ( const File::UnexpectedEndOfFile& e )
   {
      EXPECT_EQ( e.Message(), "File I/O Error:\nUnexpected end of file:\n" + path );
   }
   EXPECT_EQ( std::string( buffer.data(), 4 ), "1234" );
}

TEST_F( FileTest, ReadStringChecksTheLengthBeforeReading )
{
   std::string path = dir.File( "s.bin" );
   WriteBytes( path, "abcdef" );
   File file;
   file.OpenForReading( path );
   file.Seek( 2 );
   // A corrupt length must not allocate gigabytes or consume the rest of the file.
   EXPECT_THROW( file.ReadString( int64_t( 1 ) << 40 ), File::UnexpectedEndOfFile );
   EXPECT_THROW( file.ReadString( 5 ), File::UnexpectedEndOfFile );
   EXPECT_THROW( file.ReadString( -1 ), File::ReadError );
   EXPECT_EQ( file.Position(), 2 );
   EXPECT_EQ( file.ReadString( 4 ), "cdef" );
}

TEST_F( FileTest, SizeResizeSeekAndPosition )
{
   File file;
   file.CreateForReadWrite( dir.File( "r.bin" ) );
   EXPECT_EQ( file.Size(), 0 );
   file.Resize( 100 );
   EXPECT_EQ( file.Size(), 100 );
   EXPECT_EQ( file.Position(), 100 );

   file.Seek( 10 );
   file.WriteValue( int32_t( 7 ) );
   EXPECT_EQ( file.Position(), 14 );
   file.Resize( 12 ); // cuts the field in half
   EXPECT_EQ( file.Size(), 12 );
   EXPECT_EQ( file.Position(), 12 );
   file.Seek( 10 );
   EXPECT_THROW( file.ReadValue<int32_t>(), File::UnexpectedEndOfFile );

   file.Seek( 50 ); // beyond the end is allowed, as with any file
   EXPECT_EQ( file.Position(), 50 );
   EXPECT_THROW( file.Seek( -1 ), File::SeekError );
   EXPECT_THROW( file.Resize( -1 ), File::SeekError );
}

TEST_F( FileTest, WrongDirectionAndClosedFilesThrow )
{
   std::string path = dir.File( "d.bin" );
   WriteBytes( path, "abcd" );
   char c = 0;

   File reader;
   reader.OpenForReading( path );
   EXPECT_THROW( reader.Write( "x", 1 ), File::WriteError );
   EXPECT_THROW( reader.Resize( 1 ), File::WriteError );
   EXPECT_EQ( reader.Size(), 4 );

   File writer;
   writer.Open( path, 0x102 );
   EXPECT_THROW( writer.Read( &c, 1 ), File::ReadError );

   File closed;
   EXPECT_THROW( closed.Position(), File::SeekError );
   EXPECT_THROW( closed.Size(), File::SeekError );
   EXPECT_THROW( closed.Seek( 0 ), File::SeekError );
   EXPECT_THROW( closed.Read( &c, 1 ), File::ReadError );
   EXPECT_THROW( closed.Write( &c, 1 ), File::WriteError );
}

TEST_F( FileTest, AFullDeviceGivesAWriteError )
{
   if ( !std::filesystem::exists( "/dev/full" ) )
      GTEST_SKIP() << "no /dev/full";
   File file;
   file.Open( "/dev/full", 0x102 );
   std::vector<char> data( 4096, 'x' );
   EXPECT_THROW( file.Write( data.data(), static_cast<int64_t>( data.size() ) ), File::WriteError );
}

// Data that arrives in pieces (a pipe fed by another thread) is assembled into one Read; the end of the data
// before the count is reached is an unexpected end of file.
TEST_F( FileTest, ReadAssemblesPartialTransfers )
{
   auto feed = []( int fd, int pieces )
   {
      for ( int i = 0; i < pieces; ++i )
      {
         char piece[10];
         std::memset( piece, 'a' + i, sizeof piece );
         ssize_t written = ::write( fd, piece, sizeof piece );
         (void)written;
         std::this_thread::sleep_for( std::chrono::milliseconds( 2 ) );
      }
      ::close( fd );
   };

   for ( int pieces : { 10, 5 } )
   {
      int fds[2];
      ASSERT_EQ( ::pipe( fds ), 0 );
      // A pipe is no file to open: the read end takes the place of an open file's descriptor.
      WriteBytes( dir.File( "stand-in" ), "" );
      File file;
      file.OpenForReading( dir.File( "stand-in" ) );
      ASSERT_EQ( ::dup2( fds[0], file.Handle() ), file.Handle() );
      ::close( fds[0] );
      std::thread writer( feed, fds[1], pieces );
      std::array<char, 100> buffer{};
      if ( pieces == 10 )
      {
         file.Read( buffer.data(), 100 );
         EXPECT_EQ( buffer[0], 'a' );
         EXPECT_EQ( buffer[55], 'f' );
         EXPECT_EQ( buffer[99], 'j' );
      }
      else
         EXPECT_THROW( file.Read( buffer.data(), 100 ), File::UnexpectedEndOfFile );
      writer.join();
   }
}

// Swap files of big images pass 4 GiB: positions and sizes must not wrap at 32 bits.
TEST_F( FileTest, SeeksAndSizesBeyondFourGiB )
{
   const int64_t fiveGiB = int64_t( 5 ) << 30;
   std::string path = dir.File( "big.swp" );
   File file;
   file.CreateForReadWrite( path );
   try
   {
      file.Resize( fiveGiB );
   }
   catch ( const File::Exception& e )
   {
      GTEST_SKIP() << "the file system refuses a sparse 5 GiB file: " << e.SystemErrorText();
   }
   EXPECT_EQ( file.Size(), fiveGiB );
   EXPECT_EQ( file.Position(), fiveGiB );

   const int64_t where = ( int64_t( 4 ) << 30 ) + 12345;
   file.Seek( where );
   file.WriteValue( int64_t( 0x1122334455667788 ) );
   EXPECT_EQ( file.Position(), where + 8 );
   file.Seek( fiveGiB - 4 );
   file.WriteValue( int32_t( -2 ) );
   EXPECT_EQ( file.Size(), fiveGiB );

   file.Seek( where );
   EXPECT_EQ( file.ReadValue<int64_t>(), 0x1122334455667788 );
   file.Seek( fiveGiB - 4 );
   EXPECT_EQ( file.ReadValue<int32_t>(), -2 );
   EXPECT_EQ( file.BytesLeft(), 0 );
   // The low 32 bits of the position point at the start of the file: a wrapped seek would read a zero.
   file.Seek( where - ( int64_t( 4 ) << 30 ) );
   EXPECT_EQ( file.ReadValue<int64_t>(), 0 );
   file.Close();
   File::Remove( path );
}

// ---------------------------------------------------------------------------------------------------------------
// Close, Remove, Exists

TEST_F( FileTest, CloseTwiceDoesNothingTheSecondTimeAndKeepsThePath )
{
   File file;
   file.CreateForWriting( dir.File( "c.bin" ) );
   file.Close();
   EXPECT_FALSE( file.IsOpen() );
   EXPECT_EQ( file.Mode(), 0 );
   EXPECT_EQ( file.Path(), dir.File( "c.bin" ) );
   EXPECT_NO_THROW( file.Close() );
}

TEST_F( FileTest, AFailedCloseStillReleasesTheHandle )
{
   File file;
   file.CreateForWriting( dir.File( "c.bin" ) );
   ::close( file.Handle() ); // someone closed it behind our back
   EXPECT_THROW( file.Close(), File::UnableToCloseFile );
   // The number may already belong to another file now: it must never be closed again.
   EXPECT_FALSE( file.IsOpen() );
   EXPECT_EQ( file.Mode(), 0 );
   EXPECT_NO_THROW( file.Close() );
}

TEST_F( FileTest, RemoveAndExists )
{
   std::string path = dir.File( "gone.bin" );
   WriteBytes( path, "x" );
   EXPECT_TRUE( File::Exists( path ) );
   File::Remove( path );
   EXPECT_FALSE( File::Exists( path ) );

   try
   {
      File::Remove( "missing-file.bin" );
      FAIL() << "no exception";
   }
   catch ( const File::UnableToDeleteFile& e )
   {
      EXPECT_EQ( e.Message(), "File I/O Error:\nUnable to delete file:\nmissing-file.bin" );
   }
}

TEST_F( FileTest, MovingHandsTheOpenFileOver )
{
   std::string path = dir.File( "m.bin" );
   File first;
   first.CreateForReadWrite( path );
   first.WriteValue( int16_t( 3 ) );
   File second( std::move( first ) );
   EXPECT_FALSE( first.IsOpen() );
   EXPECT_TRUE( second.IsOpen() );
   EXPECT_EQ( second.Position(), 2 );
   EXPECT_EQ( second.Mode(), 0x203 );
   EXPECT_EQ( second.Path(), path );
}

// ---------------------------------------------------------------------------------------------------------------
// Exceptions

TEST( FileExceptionTest, DescriptionsAndMessages )
{
   const std::string p = "/tmp/x.swp";
   std::vector<std::pair<std::unique_ptr<File::Exception>, std::string>> cases;
   cases.emplace_back( std::make_unique<File::SeekError>( p ), "File seek error" );
   cases.emplace_back( std::make_unique<File::ReadError>( p ), "File read error" );
   cases.emplace_back( std::make_unique<File::UnexpectedEndOfFile>( p ), "Unexpected end of file" );
   cases.emplace_back( std::make_unique<File::WriteError>( p ), "File write error" );
   cases.emplace_back( std::make_unique<File::IncompleteWriteOperation>( p ), "Incomplete file write operation" );
   cases.emplace_back( std::make_unique<File::UnableToCreateFile>( p ), "Unable to create file" );
   cases.emplace_back( std::make_unique<File::UnableToOpenFile>( p ), "Unable to open file" );
   cases.emplace_back( std::make_unique<File::UnableToCloseFile>( p ), "Unable to close file" );
   cases.emplace_back( std::make_unique<File::UnableToDeleteFile>( p ), "Unable to delete file" );
   for ( const auto& [e, description] : cases )
   {
      EXPECT_EQ( e->Description(), description );
      EXPECT_EQ( e->Message(), "File I/O Error:\n" + description + ":\n" + p );
      EXPECT_EQ( e->Caption(), "QOR Exception" );
   }
}

// Other parts of the program derive their own file errors, with their own class text.
class ModuleLikeError : public File::Exception
{
public:
   explicit ModuleLikeError( const std::string& path ) : File::Exception( path ) {}
   std::string ClassText() const override { return "Module Error"; }
   std::string Description() const override { return "Invalid module"; }
};

TEST( FileExceptionTest, DerivedErrorsKeepTheShapeOfTheMessage )
{
   try
   {
      throw ModuleLikeError( "/m/a.lfm" );
   }
   catch ( const qor::Exception& e )
   {
      EXPECT_EQ( e.Message(), "Module Error:\nInvalid module:\n/m/a.lfm" );
      EXPECT_STREQ( e.what(), "Module Error:\nInvalid module:\n/m/a.lfm" );
   }
}

} // namespace
