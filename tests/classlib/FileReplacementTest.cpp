// A file replaced through a temporary file: the name always holds a whole file, the new data stay private until they
// take the name, the temporary name fits the file system, and what a dead replacement left is removed by the next.

#include <gtest/gtest.h>

#include "File.h"
#include "FileReplacement.h"
#include "TestDirs.h"

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace
{

namespace fs = std::filesystem;
using qor::FileReplacement;

void WriteBytes( const std::string& path, const std::string& bytes )
{
   std::ofstream( path, std::ios::binary | std::ios::trunc ) << bytes;
}

std::string ReadBytes( const std::string& path )
{
   std::ifstream in( path, std::ios::binary );
   return std::string( std::istreambuf_iterator<char>( in ), std::istreambuf_iterator<char>() );
}

void Put( const FileReplacement& r, const std::string& bytes )
{
   ASSERT_EQ( ::pwrite( r.Handle(), bytes.data(), bytes.size(), 0 ), ssize_t( bytes.size() ) );
}

mode_t ModeOf( const std::string& path )
{
   struct stat info = {};
   EXPECT_EQ( ::stat( path.c_str(), &info ), 0 ) << path;
   return info.st_mode & 07777;
}

mode_t DefaultMode()
{
   const mode_t mask = ::umask( 022 );
   ::umask( mask );
   return 0666 & ~mask;
}

std::vector<std::string> Names( const test::TempDir& dir )
{
   std::vector<std::string> names;
   for ( const auto& e : fs::directory_iterator( dir.Path() ) )
      names.push_back( e.path().filename().string() );
   std::sort( names.begin(), names.end() );
   return names;
}

} // namespace

TEST( FileReplacementTest, TheNameHoldsTheFormerFileUntilCommitThenTheNewOneWithTheFormerRights )
{
   test::TempDir dir;
   const std::string target = dir.File( "a.fits" );
   WriteBytes( target, "old" );
   ::chmod( target.c_str(), 0640 );
   {
      FileReplacement r( target );
      // Private from the start: nobody the former file kept out reads the new data meanwhile.
      EXPECT_EQ( ModeOf( r.TemporaryPath() ), 0600u );
      EXPECT_EQ( fs::path( r.TemporaryPath() ).parent_path(), dir.Path() );
      Put( r, "new" );
      EXPECT_EQ( ReadBytes( target ), "old" );
      r.Commit();
      EXPECT_EQ( ReadBytes( target ), "new" );
      EXPECT_EQ( ModeOf( target ), 0640u );
      EXPECT_EQ( Names( dir ), std::vector<std::string>{ "a.fits" } );
   }
   EXPECT_EQ( ReadBytes( target ), "new" );

   // A new file has the default rights from the start.
   const std::string fresh = dir.File( "b.fits" );
   {
      FileReplacement r( fresh );
      EXPECT_EQ( ModeOf( r.TemporaryPath() ), DefaultMode() );
      Put( r, "b" );
      r.Commit();
   }
   EXPECT_EQ( ReadBytes( fresh ), "b" );
   EXPECT_EQ( ModeOf( fresh ), DefaultMode() );

   // Not committed: nothing stays behind and the former file is untouched.
   {
      FileReplacement r( target );
      Put( r, "lost" );
   }
   EXPECT_EQ( ReadBytes( target ), "new" );
   EXPECT_EQ( Names( dir ), ( std::vector<std::string>{ "a.fits", "b.fits" } ) );

   EXPECT_THROW( FileReplacement( dir.File( "no/such/folder/c.fits" ) ), qor::File::UnableToCreateFile );
}

// The temporary name adds 22 bytes to the file's; a longer name is shortened within the limit of the file system (255
// bytes here), never inside a character, and names shortened alike stay apart.
TEST( FileReplacementTest, TemporaryNamesFitTheFileSystemWhateverTheFilesName )
{
   test::TempDir dir;
   std::string accented = "z";
   for ( int i = 0; i < 124; ++i )
      accented += "\xC3\xA9"; // one character of two bytes
   struct Case
   {
      std::string name;
      bool kept; // the name stands whole at the front of the temporary one
   } cases[] = { { "m31.fits", true },
                 { std::string( 228, 'x' ) + ".fits", true },
                 { std::string( 229, 'x' ) + ".fits", false },
                 { std::string( 250, 'x' ) + ".fits", false },
                 { std::string( 250, 'y' ) + ".fit", false },
                 { accented + ".fits", false } };
   std::vector<std::string> seen;
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.name.size() );
      ASSERT_LE( c.name.size(), 255u );
      const std::string target = dir.File( c.name );
      const std::string temporary = fs::path( FileReplacement::TemporaryName( target, 0xabcdef12 ) ).filename();
      EXPECT_LE( temporary.size(), 255u );
      EXPECT_EQ( temporary.substr( temporary.size() - 22 ), ".~lf-save.abcdef12.tmp" );
      EXPECT_EQ( temporary.compare( 0, c.name.size(), c.name ) == 0, c.kept );
      if ( !c.kept )
      {
         // What is left of the name ends between two characters.
         const size_t cut = temporary.find( '~' );
         EXPECT_EQ( c.name.compare( 0, cut, temporary, 0, cut ), 0 );
         EXPECT_NE( static_cast<unsigned char>( c.name[cut] ) & 0xC0, 0x80 );
      }
      seen.push_back( temporary );

      // Such a file is replaced like any other.
      WriteBytes( target, "old" );
      FileReplacement r( target );
      Put( r, "new" );
      r.Commit();
      EXPECT_EQ( ReadBytes( target ), "new" );
   }
   std::sort( seen.begin(), seen.end() );
   EXPECT_EQ( std::unique( seen.begin(), seen.end() ), seen.end() );
}

// A replacement killed half-way leaves its temporary file behind; the next replacement of the same file removes it,
// and nothing else: not the temporary file of a replacement still at work, not another file's, not a name of the
// same look that is no file of ours.
TEST( FileReplacementTest, WhatADeadReplacementLeftIsRemovedByTheNextOfTheSameFile )
{
   test::TempDir dir;
   const std::string target = dir.File( "a.fits" );
   WriteBytes( target, "old" );
   const pid_t child = ::fork();
   if ( child == 0 )
   {
      FileReplacement r( target );
      Put( r, std::string( 100000, 'x' ) );
      ::raise( SIGKILL );
   }
   int status = 0;
   ASSERT_EQ( ::waitpid( child, &status, 0 ), child );
   ASSERT_TRUE( WIFSIGNALED( status ) );
   std::vector<std::string> names = Names( dir );
   ASSERT_EQ( names.size(), 2u );
   const std::string dead = names[0] == "a.fits" ? names[1] : names[0];
   EXPECT_EQ( dead.rfind( "a.fits.~lf-save.", 0 ), 0u ) << dead;

   const std::vector<std::string> kept = { "b.fits.~lf-save.0000abcd.tmp", "a.fits.~lf-save.notatag!.tmp",
                                           "a.fits.~lf-save.0000abcd.tmp.old", "a.fits.~lf-save.0000abcd.tmp.x" };
   for ( const std::string& name : kept )
      WriteBytes( dir.File( name ), "someone's" );
   fs::create_symlink( "a.fits", dir.File( "a.fits.~lf-save.12345678.tmp" ) );

   FileReplacement working( target );
   const std::string live = fs::path( working.TemporaryPath() ).filename();
   {
      FileReplacement next( target );
      names = Names( dir );
      EXPECT_EQ( std::count( names.begin(), names.end(), dead ), 0 );
      EXPECT_EQ( std::count( names.begin(), names.end(), live ), 1 );
      EXPECT_EQ( std::count( names.begin(), names.end(), "a.fits.~lf-save.12345678.tmp" ), 1 );
      for ( const std::string& name : kept )
         EXPECT_EQ( std::count( names.begin(), names.end(), name ), 1 ) << name;
   }
   EXPECT_EQ( ReadBytes( target ), "old" );

   // Another user's file stays, even when nobody holds it.
   if ( ::geteuid() == 0 )
   {
      const std::string foreign = FileReplacement::TemporaryName( target, 0x12121212 );
      WriteBytes( foreign, "theirs" );
      ASSERT_EQ( ::chown( foreign.c_str(), 65534, 65534 ), 0 );
      FileReplacement again( target );
      EXPECT_TRUE( fs::exists( foreign ) );
   }
}

// Replacements record their temporary files while they live: a start after a replacement was killed removes what it
// left, in whatever folder, without another replacement of the same file. Only what a record names goes, only when it
// is named as a temporary file of ours, a plain file of the user's that nobody holds; records of live replacements
// stay until these end.
TEST( FileReplacementTest, WhatKilledReplacementsLeftIsRemovedAtTheNextStart )
{
   test::TempDir dir;
   fs::create_directories( dir.Path() / "records" );
   fs::create_directories( dir.Path() / "one" );
   fs::create_directories( dir.Path() / "two" );
   FileReplacement::SetRecordFolder( dir.File( "records" ) );
   for ( const char* target : { "one/a.fits", "two/b.tif" } )
   {
      WriteBytes( dir.File( target ), "old" );
      const pid_t child = ::fork();
      if ( child == 0 )
      {
         FileReplacement r( dir.File( target ) );
         Put( r, std::string( 100000, 'x' ) );
         ::raise( SIGKILL );
      }
      int status = 0;
      ASSERT_EQ( ::waitpid( child, &status, 0 ), child );
      ASSERT_TRUE( WIFSIGNALED( status ) );
   }
   auto count = [&]( const char* folder ) { return std::distance( fs::directory_iterator( dir.Path() / folder ), {} ); };
   ASSERT_EQ( count( "one" ), 2 );
   ASSERT_EQ( count( "two" ), 2 );
   ASSERT_EQ( count( "records" ), 2 );

   // A record naming a file of the user's that is no temporary file of ours, and a look-alike nobody recorded.
   WriteBytes( dir.File( "one/kept.fits" ), "mine" );
   fs::create_symlink( dir.File( "one/kept.fits" ), dir.File( "records/00000000-1.save" ) );
   const std::string unrecorded = dir.File( "two/c.tif.~lf-save.0000abcd.tmp" );
   WriteBytes( unrecorded, "someone's" );

   {
      FileReplacement live( dir.File( "one/a.fits" ) ); // removes its own file's leftover, as every save does
      FileReplacement::RemoveRecordedLeftovers();
      EXPECT_TRUE( fs::exists( live.TemporaryPath() ) );
      EXPECT_EQ( count( "two" ), 2 ); // b.tif and the unrecorded look-alike
      EXPECT_TRUE( fs::exists( unrecorded ) );
      EXPECT_EQ( ReadBytes( dir.File( "one/kept.fits" ) ), "mine" );
      EXPECT_EQ( count( "records" ), 1 ); // the live one's
   }
   EXPECT_EQ( count( "records" ), 0 );
   EXPECT_EQ( ReadBytes( dir.File( "one/a.fits" ) ), "old" );
   EXPECT_EQ( ReadBytes( dir.File( "two/b.tif" ) ), "old" );
   FileReplacement::SetRecordFolder( std::string() );
}
