#ifndef QOR_FILE_H
#define QOR_FILE_H

// The class library's binary file: a thin object over a POSIX file descriptor.
//
// A file is opened with a compact mode word, reads and writes exact byte counts, seeks to absolute positions and
// reports every failure as one of the nested exception classes below, each carrying the file's path. There is no
// buffering: callers that write many small fields make one system call per field. Fields are read and written in
// the machine's byte order (little-endian on every platform we build for).
//
// Mode word:
//   0x001 read, 0x002 write; 0x010 / 0x020 let others read / write (kept in the mode word only: POSIX has no
//   share modes, so they change nothing);
//   disposition field (0xF00): 0x100 open an existing file; 0x200 create, replacing an existing file (implies
//   write); 0x300 open, creating when missing (implies write); 0x400 create a file that must not exist yet, private
//   to the user and never through a symbolic link (implies write; for swap and temporary files); any other value
//   means 0x100. When neither read nor write is asked for, read is assumed.
// Open stores the adjusted mode word: 0 becomes 0x101, 0x200 becomes 0x202.
//
// Positions, sizes and counts are 64-bit, so files beyond 2 GiB (swap files of big images) work.

#include <cstdint>
#include <string>
#include <type_traits>
#include <utility>

#include "Exception.h"

namespace qor
{

class File
{
public:
   // Mode word bits.
   static constexpr int32_t ModeRead = 0x001;
   static constexpr int32_t ModeWrite = 0x002;
   static constexpr int32_t ModeShareRead = 0x010;
   static constexpr int32_t ModeShareWrite = 0x020;
   static constexpr int32_t ModeOpenExisting = 0x100;
   static constexpr int32_t ModeCreateAlways = 0x200;
   static constexpr int32_t ModeOpenAlways = 0x300;
   static constexpr int32_t ModeCreateNew = 0x400;
   static constexpr int32_t ModeAccessMask = 0x00F;
   static constexpr int32_t ModeDispositionMask = 0xF00;

   static constexpr int InvalidHandle = -1;

   // Base of every file error. Its message is "File I/O Error:\n" + Description() + ":\n" + path. Other parts of
   // the program derive their own file-related errors from it (overriding ClassText() and Description()).
   class Exception : public qor::Exception
   {
   public:
      std::string ClassText() const override;
      std::string ErrorText() const override;
      virtual std::string Description() const = 0;

      const std::string& Path() const { return path; }
      // The errno value of the failing call (0 when no system call failed); not part of the message.
      int SystemError() const { return systemError; }
      std::string SystemErrorText() const;

   protected:
      explicit Exception( std::string path, int systemError = 0 );

   private:
      std::string path;
      int systemError;
   };

   class SeekError : public Exception
   {
   public:
      explicit SeekError( std::string path, int systemError = 0 ) : Exception( std::move( path ), systemError ) {}
      std::string Description() const override;
   };

   class ReadError : public Exception
   {
   public:
      explicit ReadError( std::string path, int systemError = 0 ) : Exception( std::move( path ), systemError ) {}
      std::string Description() const override;
   };

   class UnexpectedEndOfFile : public Exception
   {
   public:
      explicit UnexpectedEndOfFile( std::string path, int systemError = 0 )
         : Exception( std::move( path ), systemError ) {}
      std::string Description() const override;
   };

   class WriteError : public Exception
   {
   public:
      explicit WriteError( std::string path, int systemError = 0 ) : Exception( std::move( path ), systemError ) {}
      std::string Description() const override;
   };

   class IncompleteWriteOperation : public Exception
   {
   public:
      explicit IncompleteWriteOperation( std::string path, int systemError = 0 )
         : Exception( std::move( path ), systemError ) {}
      std::string Description() const override;
   };

   class UnableToCreateFile : public Exception
   {
   public:
      explicit UnableToCreateFile( std::string path, int systemError = 0 )
         : Exception( std::move( path ), systemError ) {}
      std::string Description() const override;
   };

   class UnableToOpenFile : public Exception
   {
   public:
      explicit UnableToOpenFile( std::string path, int systemError = 0 )
         : Exception( std::move( path ), systemError ) {}
      std::string Description() const override;
   };

   class UnableToCloseFile : public Exception
   {
   public:
      explicit UnableToCloseFile( std::string path, int systemError = 0 )
         : Exception( std::move( path ), systemError ) {}
      std::string Description() const override;
   };

   class UnableToDeleteFile : public Exception
   {
   public:
      explicit UnableToDeleteFile( std::string path, int systemError = 0 )
         : Exception( std::move( path ), systemError ) {}
      std::string Description() const override;
   };

   // A pipe, a device, a socket or a folder where a file is to be read (or a folder where one is to be written).
   class NotAFile : public Exception
   {
   public:
      explicit NotAFile( std::string path ) : Exception( std::move( path ) ) {}
      std::string Description() const override;
   };

   File() = default;
   // Closes the file; a failure to close is swallowed (a destructor must not throw).
   virtual ~File();

   File( const File& ) = delete;
   File& operator=( const File& ) = delete;
   File( File&& other ) noexcept;
   File& operator=( File&& other ) noexcept;

   virtual bool CanRead() const;
   virtual bool CanWrite() const;

   virtual int64_t Position() const;
   virtual void Seek( int64_t position );
   virtual int64_t Size() const;
   // Sets the end of the file (truncating or extending with zeros); the position is left at the new end.
   virtual void Resize( int64_t size );

   // Reads / writes exactly count bytes, or throws.
   virtual void Read( void* buffer, int64_t count );
   virtual void Write( const void* buffer, int64_t count );

   // Opens (closing first any file this object holds). On failure the object is left closed. Nothing is waited
   // for: what is to be read must be a plain file (NotAFile otherwise, before a byte is read), and a folder is
   // never opened (UnableToOpenFile or UnableToCreateFile with EISDIR); a pipe nobody reads is not opened for
   // writing either.
   virtual void Open( const std::string& path, int32_t mode );
   virtual void OpenForReading( const std::string& path );     // 0x101
   virtual void OpenForReadWrite( const std::string& path );   // 0x103
   virtual void CreateForReadWrite( const std::string& path ); // 0x203
   virtual void CreateForWriting( const std::string& path );   // 0x202
   // Does nothing when no file is open. The object is closed afterwards even when the system reports a failure
   // (the descriptor is gone either way), and the failure is then thrown.
   virtual void Close();

   static bool IsValidHandle( int handle ) { return handle != InvalidHandle; }
   static void Remove( const std::string& path );
   // Throws NotAFile when something that is not a plain file (a pipe, a device, a folder...) exists under the name
   // (a symbolic link is followed); nothing happens for a plain file or a name where nothing exists. For readers that
   // open files through a library of their own: they check the name first.
   static void RequireFile( const std::string& path );
   // True when anything (file, folder, even a dangling symbolic link) exists under this name.
   static bool Exists( const std::string& path );

   bool IsOpen() const { return IsValidHandle( handle ); }
   int Handle() const { return handle; }
   // The full path of the file last opened; kept after Close.
   const std::string& Path() const { return path; }
   // The adjusted mode word of the open file; 0 while closed.
   int32_t Mode() const { return mode; }

   // Size() - Position(): what is left to read; callers check lengths read from a file against it.
   int64_t BytesLeft() const;

   // Typed fields in machine byte order.
   template <typename T>
   void ReadValue( T& value )
   {
      static_assert( std::is_trivially_copyable_v<T>, "only trivially copyable types can be read as bytes" );
      Read( &value, static_cast<int64_t>( sizeof( T ) ) );
   }

   template <typename T>
   T ReadValue()
   {
      T value{};
      ReadValue( value );
      return value;
   }

   template <typename T>
   void WriteValue( const T& value )
   {
      static_assert( std::is_trivially_copyable_v<T>, "only trivially copyable types can be written as bytes" );
      Write( &value, static_cast<int64_t>( sizeof( T ) ) );
   }

   // Reads length bytes as a string. A negative length is a ReadError, a length beyond the end of the file an
   // UnexpectedEndOfFile, both thrown before anything is allocated or read.
   std::string ReadString( int64_t length );
   // Writes the bytes of text (no length, no terminator).
   void WriteString( const std::string& text );

private:
   int handle = InvalidHandle;
   std::string path;
   int32_t mode = 0;
};

} // namespace qor

#endif
