#include "FileReplacement.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string_view>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include "File.h"

namespace qor
{

namespace
{

constexpr std::string_view Marker = ".~lf-save.";
constexpr std::string_view Ending = ".tmp";
constexpr size_t TagDigits = 8;

std::string Hex( uint32_t value )
{
   char text[TagDigits + 1];
   std::snprintf( text, sizeof text, "%08x", unsigned( value ) );
   return text;
}

// FNV-1a: the same digest of a name in every run and every build.
uint32_t Digest( const std::string& text )
{
   uint32_t h = 2166136261u;
   for ( unsigned char c : text )
      h = ( h ^ c ) * 16777619u;
   return h;
}

std::string FolderOf( const std::string& path )
{
   const std::string folder = std::filesystem::path( path ).parent_path().string();
   return folder.empty() ? "." : folder;
}

// The longest file name the folder's file system takes.
size_t NameLimit( const std::string& folder )
{
   const long limit = ::pathconf( folder.c_str(), _PC_NAME_MAX );
   return limit > 0 ? size_t( limit ) : 255;
}

// What every temporary name of the target begins with: the folder, the name (shortened when needed) and the marker.
std::string TemporaryPrefix( const std::string& target )
{
   const std::filesystem::path path( target );
   std::string name = path.filename().string();
   const size_t suffix = Marker.size() + TagDigits + Ending.size();
   const size_t limit = NameLimit( FolderOf( target ) );
   if ( name.size() + suffix > limit )
   {
      std::string digest = "~";
      digest += Hex( Digest( name ) );
      size_t keep = limit > suffix + digest.size() ? limit - suffix - digest.size() : 0;
      // Not inside a character of several bytes.
      while ( keep > 0 && ( static_cast<unsigned char>( name[keep] ) & 0xC0 ) == 0x80 )
         --keep;
      name = name.substr( 0, keep ) + digest;
   }
   return ( path.parent_path() / ( name + std::string( Marker ) ) ).string();
}

bool IsTag( const std::string& text )
{
   return text.size() == TagDigits && text.find_first_not_of( "0123456789abcdef" ) == std::string::npos;
}

// Removes the temporary files of earlier replacements of the target that no live replacement holds, when they are
// plain files of the user's. Nothing else is touched, and nothing that fails here stops the new replacement.
void RemoveLeftovers( const std::string& target )
{
   const std::string prefix = std::filesystem::path( TemporaryPrefix( target ) ).filename().string();
   const std::string folder = FolderOf( target );
   DIR* dir = ::opendir( folder.c_str() );
   if ( dir == nullptr )
      return;
   const int at = ::dirfd( dir );
   while ( const dirent* entry = ::readdir( dir ) )
   {
      const std::string name = entry->d_name;
      if ( name.size() != prefix.size() + TagDigits + Ending.size() || name.compare( 0, prefix.size(), prefix ) != 0 ||
           !IsTag( name.substr( prefix.size(), TagDigits ) ) ||
           name.compare( prefix.size() + TagDigits, std::string::npos, Ending ) != 0 )
         continue;
      struct stat seen = {};
      if ( ::fstatat( at, name.c_str(), &seen, AT_SYMLINK_NOFOLLOW ) != 0 || !S_ISREG( seen.st_mode ) ||
           seen.st_uid != ::geteuid() )
         continue;
      const int fd = ::openat( at, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC );
      if ( fd < 0 )
         continue;
      // The lock goes with its holder: a file nobody holds is one whose writer is gone.
      struct stat held = {};
      if ( ::flock( fd, LOCK_EX | LOCK_NB ) == 0 && ::fstat( fd, &held ) == 0 && held.st_dev == seen.st_dev &&
           held.st_ino == seen.st_ino )
         ::unlinkat( at, name.c_str(), 0 );
      ::close( fd );
   }
   ::closedir( dir );
}

} // namespace

FileReplacement::FileReplacement( const std::string& target ) : target( target )
{
   RemoveLeftovers( target );
   struct stat former = {};
   const mode_t mode = ::stat( target.c_str(), &former ) == 0 ? 0600 : 0666;
   std::random_device seed;
   std::mt19937 random( seed() );
   for ( int attempt = 0; attempt < 100; ++attempt )
   {
      temporaryPath = TemporaryName( target, uint32_t( random() ) );
      handle = ::open( temporaryPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode );
      if ( handle >= 0 )
      {
         ::flock( handle, LOCK_EX | LOCK_NB );
         return;
      }
      if ( errno != EEXIST )
         break;
   }
   throw File::UnableToCreateFile( temporaryPath, errno );
}

FileReplacement::~FileReplacement()
{
   if ( !committed )
      ::unlink( temporaryPath.c_str() );
   ::close( handle );
}

void FileReplacement::Commit()
{
   struct stat former = {};
   if ( ::stat( target.c_str(), &former ) == 0 && ::fchmod( handle, former.st_mode & 0777 ) != 0 )
      throw File::WriteError( temporaryPath, errno );
   if ( ::fsync( handle ) != 0 )
      throw File::WriteError( temporaryPath, errno );
   if ( std::rename( temporaryPath.c_str(), target.c_str() ) != 0 )
      throw File::WriteError( target, errno );
   committed = true;
   // The rename is done; a folder the system cannot flush leaves the name to the system's own time.
   const int folder = ::open( FolderOf( target ).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC );
   if ( folder >= 0 )
   {
      ::fsync( folder );
      ::close( folder );
   }
}

std::string FileReplacement::TemporaryName( const std::string& target, uint32_t tag )
{
   return TemporaryPrefix( target ) + Hex( tag ) + std::string( Ending );
}

} // namespace qor
