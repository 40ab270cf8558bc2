#include "File.h"

#include <cerrno>
#include <cstring>
#include <filesystem>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace qor
{

namespace
{

// The largest count handed to one read() or write(); Linux transfers at most about 2 GiB per call anyway.
constexpr int64_t MaxTransfer = int64_t( 1 ) << 30;

// The full path of a file, resolved lexically (the file need not exist); the path as given when that fails.
std::string FullPath( const std::string& path )
{
   std::error_code error;
   std::filesystem::path full = std::filesystem::absolute( path, error );
   if ( error || full.empty() )
      return path;
   return full.lexically_normal().string();
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------

File::Exception::Exception( std::string path, int systemError ) : path( std::move( path ) ), systemError( systemError )
{
}

std::string File::Exception::ClassText() const
{
   return "File I/O Error";
}

std::string File::Exception::ErrorText() const
{
   return Description() + ":\n" + path;
}

std::string File::Exception::SystemErrorText() const
{
   return systemError != 0 ? std::string( std::strerror( systemError ) ) : std::string();
}

std::string File::SeekError::Description() const
{
   return "File seek error";
}

std::string File::ReadError::Description() const
{
   return "File read error";
}

std::string File::UnexpectedEndOfFile::Description() const
{
   return "Unexpected end of file";
}

std::string File::WriteError::Description() const
{
   return "File write error";
}

std::string File::IncompleteWriteOperation::Description() const
{
   return "Incomplete file write operation";
}

std::string File::UnableToCreateFile::Description() const
{
   return "Unable to create file";
}

std::string File::UnableToOpenFile::Description() const
{
   return "Unable to open file";
}

std::string File::UnableToCloseFile::Description() const
{
   return "Unable to close file";
}

std::string File::UnableToDeleteFile::Description() const
{
   return "Unable to delete file";
}

std::string File::NotAFile::Description() const
{
   return "Cannot open something that is not a file";
}

// ---------------------------------------------------------------------------------------------------------------

File::~File()
{
   try
   {
      Close();
   }
   catch ( ... )
   {
   }
}

File::File( File&& other ) noexcept
   : handle( std::exchange( other.handle, InvalidHandle ) ), path( std::move( other.path ) ),
     mode( std::exchange( other.mode, 0 ) )
{
}

File& File::operator=( File&& other ) noexcept
{
   if ( this != &other )
   {
      if ( IsOpen() )
         ::close( handle );
      handle = std::exchange( other.handle, InvalidHandle );
      path = std::move( other.path );
      mode = std::exchange( other.mode, 0 );
   }
   return *this;
}

bool File::CanRead() const
{
   return ( mode & ModeRead ) != 0;
}

bool File::CanWrite() const
{
   return ( mode & ModeWrite ) != 0;
}

int64_t File::Position() const
{
   off_t position = ::lseek( handle, 0, SEEK_CUR );
   if ( position < 0 )
      throw SeekError( path, errno );
   return position;
}

void File::Seek( int64_t position )
{
   if ( position < 0 )
      throw SeekError( path, EINVAL );
   off_t result = ::lseek( handle, static_cast<off_t>( position ), SEEK_SET );
   if ( result != position )
      throw SeekError( path, result < 0 ? errno : 0 );
}

int64_t File::Size() const
{
   struct stat info;
   if ( ::fstat( handle, &info ) != 0 )
      throw SeekError( path, errno );
   return info.st_size;
}

void File::Resize( int64_t size )
{
   if ( size < 0 )
      throw SeekError( path, EINVAL );
   if ( ::lseek( handle, static_cast<off_t>( size ), SEEK_SET ) != size )
      throw SeekError( path, errno );
   // Callers rely on the file ending at the given size; when the system refuses, say so.
   int result;
   do
      result = ::ftruncate( handle, static_cast<off_t>( size ) );
   while ( result != 0 && errno == EINTR );
   if ( result != 0 )
      throw WriteError( path, errno );
}

void File::Read( void* buffer, int64_t count )
{
   if ( count < 0 )
      throw ReadError( path, EINVAL );
   char* to = static_cast<char*>( buffer );
   while ( count > 0 )
   {
      ssize_t done = ::read( handle, to, static_cast<size_t>( count < MaxTransfer ? count : MaxTransfer ) );
      if ( done < 0 )
      {
         if ( errno == EINTR )
            continue;
         throw ReadError( path, errno );
      }
      if ( done == 0 )
         throw UnexpectedEndOfFile( path );
      to += done;
      count -= done;
   }
}

void File::Write( const void* buffer, int64_t count )
{
   if ( count < 0 )
      throw WriteError( path, EINVAL );
   const char* from = static_cast<const char*>( buffer );
   while ( count > 0 )
   {
      ssize_t done = ::write( handle, from, static_cast<size_t>( count < MaxTransfer ? count : MaxTransfer ) );
      if ( done < 0 )
      {
         if ( errno == EINTR )
            continue;
         throw WriteError( path, errno );
      }
      if ( done == 0 )
         throw IncompleteWriteOperation( path );
      from += done;
      count -= done;
   }
}

void File::Open( const std::string& newPath, int32_t newMode )
{
   int flags = O_CLOEXEC;
   mode_t permissions = 0666;
   bool creates = true;
   switch ( newMode & ModeDispositionMask )
   {
   case ModeCreateAlways:
      flags |= O_CREAT | O_TRUNC;
      newMode |= ModeWrite;
      break;
   case ModeOpenAlways:
      flags |= O_CREAT;
      newMode |= ModeWrite;
      break;
   case ModeCreateNew:
      flags |= O_CREAT | O_EXCL | O_NOFOLLOW;
      permissions = 0600;
      newMode |= ModeWrite;
      break;
   case ModeOpenExisting:
      creates = false;
      break;
   default:
      creates = false;
      newMode = ( newMode & ~ModeDispositionMask ) | ModeOpenExisting;
      break;
   }
   if ( ( newMode & ( ModeRead | ModeWrite ) ) == 0 )
      newMode |= ModeRead;

   if ( ( newMode & ModeRead ) && ( newMode & ModeWrite ) )
      flags |= O_RDWR;
   else if ( newMode & ModeWrite )
      flags |= O_WRONLY;
   else
      flags |= O_RDONLY;

   if ( IsOpen() )
      Close();

   // Without waiting: opening a pipe blocks until the other end is opened too, and a read from it until someone
   // writes, so the program would hang on a pipe named like a file of ours. What is opened is then checked.
   int newHandle;
   do
      newHandle = ::open( newPath.c_str(), flags | O_NONBLOCK | O_NOCTTY, permissions );
   while ( newHandle < 0 && errno == EINTR );

   if ( newHandle >= 0 )
   {
      // A folder opens read-only on POSIX; it is no file of ours. Nor is anything else but a plain file when it is
      // to be read: a pipe, a device or a socket never ends, or ends elsewhere than its size says.
      struct stat info;
      const bool stat = ::fstat( newHandle, &info ) == 0;
      if ( !stat || S_ISDIR( info.st_mode ) || ( ( newMode & ModeRead ) && !S_ISREG( info.st_mode ) ) )
      {
         const int error = stat ? EISDIR : errno;
         ::close( newHandle );
         if ( stat && !S_ISDIR( info.st_mode ) )
            throw NotAFile( newPath );
         newHandle = InvalidHandle;
         errno = error;
      }
      else
         ::fcntl( newHandle, F_SETFL, ::fcntl( newHandle, F_GETFL ) & ~O_NONBLOCK );
   }
   else if ( errno == ENXIO )
   {
      // A pipe opened for writing alone that nobody reads.
      struct stat info;
      if ( ::stat( newPath.c_str(), &info ) == 0 && !S_ISREG( info.st_mode ) )
         throw NotAFile( newPath );
      errno = ENXIO;
   }

   if ( newHandle < 0 )
   {
      int error = errno;
      if ( creates )
         throw UnableToCreateFile( newPath, error );
      throw UnableToOpenFile( newPath, error );
   }

   handle = newHandle;
   path = FullPath( newPath );
   mode = newMode;
}

void File::OpenForReading( const std::string& path )
{
   Open( path, ModeOpenExisting | ModeRead );
}

void File::OpenForReadWrite( const std::string& path )
{
   Open( path, ModeOpenExisting | ModeRead | ModeWrite );
}

void File::CreateForReadWrite( const std::string& path )
{
   Open( path, ModeCreateAlways | ModeRead | ModeWrite );
}

void File::CreateForWriting( const std::string& path )
{
   Open( path, ModeCreateAlways | ModeWrite );
}

void File::Close()
{
   if ( !IsOpen() )
      return;
   // Linux releases the descriptor even when close() reports an error, so the object is closed either way; keeping
   // the number would let a later Close() shut a descriptor that someone else has been given meanwhile.
   int result = ::close( handle );
   int error = errno;
   handle = InvalidHandle;
   mode = 0;
   if ( result != 0 && error != EINTR )
      throw UnableToCloseFile( path, error );
}

void File::Remove( const std::string& path )
{
   if ( ::unlink( path.c_str() ) != 0 )
      throw UnableToDeleteFile( path, errno );
}

void File::RequireFile( const std::string& path )
{
   struct stat info;
   if ( ::stat( path.c_str(), &info ) == 0 && !S_ISREG( info.st_mode ) )
      throw NotAFile( path );
}

bool File::Exists( const std::string& path )
{
   struct stat info;
   return ::lstat( path.c_str(), &info ) == 0;
}

int64_t File::BytesLeft() const
{
   return Size() - Position();
}

std::string File::ReadString( int64_t length )
{
   if ( length < 0 )
      throw ReadError( path, EINVAL );
   if ( length > BytesLeft() )
      throw UnexpectedEndOfFile( path );
   std::string text( static_cast<size_t>( length ), '\0' );
   Read( text.data(), length );
   return text;
}

void File::WriteString( const std::string& text )
{
   Write( text.data(), static_cast<int64_t>( text.size() ) );
}

} // namespace qor
