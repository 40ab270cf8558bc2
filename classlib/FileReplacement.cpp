#include "FileReplacement.h"

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <random>
#include <string_view>
#include <vector>

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

// What every temporary name of the target begins with: the folder, the name (shortened when needed) and the marker.
std::string TemporaryPrefix( const std::string& target )
{
   const std::filesystem::path path( target );
   const size_t suffix = Marker.size() + TagDigits + Ending.size();
   const size_t limit = FileReplacement::NameLimit( FolderOf( target ) );
   const std::string name = FileReplacement::Shortened( path.filename().string(), limit > suffix ? limit - suffix : 0 );
   return ( path.parent_path() / ( name + std::string( Marker ) ) ).string();
}

bool IsTag( const std::string& text )
{
   return text.size() == TagDigits && text.find_first_not_of( "0123456789abcdef" ) == std::string::npos;
}

// Whether a file name is that of a temporary file of a replacement (of any target).
bool IsTemporaryName( const std::string& name )
{
   const size_t tail = TagDigits + Ending.size();
   return name.size() > Marker.size() + tail && name.compare( name.size() - Ending.size(), Ending.size(), Ending ) == 0 &&
          IsTag( name.substr( name.size() - tail, TagDigits ) ) &&
          name.compare( name.size() - tail - Marker.size(), Marker.size(), Marker ) == 0;
}

// Removes the named entry of the folder when it is a plain file of the user's that no live replacement holds; the
// lock goes with its holder, so a file nobody holds is one whose writer is gone.
void RemoveIfAbandoned( int at, const std::string& name )
{
   struct stat seen = {};
   if ( ::fstatat( at, name.c_str(), &seen, AT_SYMLINK_NOFOLLOW ) != 0 || !S_ISREG( seen.st_mode ) ||
        seen.st_uid != ::geteuid() )
      return;
   const int fd = ::openat( at, name.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC );
   if ( fd < 0 )
      return;
   struct stat held = {};
   if ( ::flock( fd, LOCK_EX | LOCK_NB ) == 0 && ::fstat( fd, &held ) == 0 && held.st_dev == seen.st_dev &&
        held.st_ino == seen.st_ino )
      ::unlinkat( at, name.c_str(), 0 );
   ::close( fd );
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
   while ( const dirent* entry = ::readdir( dir ) )
   {
      const std::string name = entry->d_name;
      if ( name.size() == prefix.size() + TagDigits + Ending.size() && name.compare( 0, prefix.size(), prefix ) == 0 &&
           IsTemporaryName( name ) )
         RemoveIfAbandoned( ::dirfd( dir ), name );
   }
   ::closedir( dir );
}

// Where replacements in progress are recorded (empty: nowhere). Each record is a symbolic link to a temporary file,
// made before the file and removed after it is gone or has taken its target's place.
std::string& RecordFolder()
{
   static std::string folder;
   return folder;
}

std::string RecordOf( const std::string& temporaryPath )
{
   if ( RecordFolder().empty() )
      return std::string();
   return ( std::filesystem::path( RecordFolder() ) /
            ( Hex( Digest( temporaryPath ) ) + "-" + std::to_string( ::getpid() ) + ".save" ) )
       .string();
}

} // namespace

size_t FileReplacement::NameLimit( const std::string& folder )
{
   const long limit = ::pathconf( folder.c_str(), _PC_NAME_MAX );
   return limit > 0 ? size_t( limit ) : 255;
}

std::string FileReplacement::Shortened( const std::string& name, size_t length )
{
   if ( name.size() <= length )
      return name;
   const std::string digest = "~" + Hex( Digest( name ) );
   size_t keep = length > digest.size() ? length - digest.size() : 0;
   // Not inside a character of several bytes.
   while ( keep > 0 && ( static_cast<unsigned char>( name[keep] ) & 0xC0 ) == 0x80 )
      --keep;
   return name.substr( 0, keep ) + digest;
}

void FileReplacement::SetRecordFolder( const std::string& folder )
{
   RecordFolder() = folder;
   if ( !folder.empty() )
   {
      std::error_code ignored;
      std::filesystem::create_directories( folder, ignored );
   }
}

void FileReplacement::RemoveRecordedLeftovers()
{
   const std::string& folder = RecordFolder();
   DIR* dir = folder.empty() ? nullptr : ::opendir( folder.c_str() );
   if ( dir == nullptr )
      return;
   std::vector<std::string> records;
   while ( const dirent* entry = ::readdir( dir ) )
   {
      const std::string name = entry->d_name;
      if ( name.size() > 5 && name.compare( name.size() - 5, 5, ".save" ) == 0 )
         records.push_back( name );
   }
   ::closedir( dir );
   for ( const std::string& name : records )
   {
      const std::filesystem::path record = std::filesystem::path( folder ) / name;
      std::error_code ec;
      const std::filesystem::path temporary = std::filesystem::read_symlink( record, ec );
      if ( ec )
         continue;
      // Only a file named as ours, in the folder it was made in.
      const std::string file = temporary.filename().string();
      if ( temporary.is_absolute() && IsTemporaryName( file ) )
      {
         const int at = ::open( temporary.parent_path().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC );
         if ( at >= 0 )
         {
            RemoveIfAbandoned( at, file );
            ::close( at );
         }
      }
      // A record whose file is still held belongs to a save in progress.
      if ( !std::filesystem::exists( std::filesystem::symlink_status( temporary, ec ) ) || ec ||
           !IsTemporaryName( file ) )
         std::filesystem::remove( record, ec );
   }
}

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
      // Recorded before it exists, so that a start-up after a killed save finds it even where no save of the same
      // file follows; a record that cannot be made only leaves that to the next save of the file.
      std::error_code ec;
      const std::string full = std::filesystem::absolute( temporaryPath, ec ).lexically_normal().string();
      record = ec ? std::string() : RecordOf( full );
      if ( !record.empty() && ::symlink( full.c_str(), record.c_str() ) != 0 )
         record.clear();
      handle = ::open( temporaryPath.c_str(), O_RDWR | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, mode );
      if ( handle >= 0 )
      {
         ::flock( handle, LOCK_EX | LOCK_NB );
         return;
      }
      const int error = errno;
      if ( !record.empty() )
         ::unlink( record.c_str() );
      errno = error;
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
   if ( !record.empty() )
      ::unlink( record.c_str() );
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
