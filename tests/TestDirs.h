#ifndef LF_TEST_DIRS_H
#define LF_TEST_DIRS_H

#include <csignal>
#include <filesystem>
#include <string>

#include <sys/resource.h>

namespace test
{

// A fresh, empty folder removed with its content when the object goes out of scope.
class TempDir
{
public:
   TempDir();
   ~TempDir();
   TempDir( const TempDir& ) = delete;
   TempDir& operator=( const TempDir& ) = delete;

   const std::filesystem::path& Path() const { return path; }
   std::string File( const std::string& name ) const { return ( path / name ).string(); }

private:
   std::filesystem::path path;
};

// The size up to which this process may write a file, for the life of the object: writes beyond it fail like writes
// to a full disk (with EFBIG instead of ENOSPC), and the signal that would end the process is ignored meanwhile.
class FileSizeLimit
{
public:
   explicit FileSizeLimit( rlim_t bytes )
   {
      ::getrlimit( RLIMIT_FSIZE, &saved );
      previousHandler = std::signal( SIGXFSZ, SIG_IGN );
      const struct rlimit limit = { bytes, saved.rlim_max };
      ::setrlimit( RLIMIT_FSIZE, &limit );
   }
   ~FileSizeLimit()
   {
      ::setrlimit( RLIMIT_FSIZE, &saved );
      std::signal( SIGXFSZ, previousHandler );
   }
   FileSizeLimit( const FileSizeLimit& ) = delete;
   FileSizeLimit& operator=( const FileSizeLimit& ) = delete;

private:
   struct rlimit saved = {};
   void ( *previousHandler )( int ) = nullptr;
};

// What a shell command writes on its standard output and error (empty when it cannot be started).
std::string CommandOutput( const std::string& command );

} // namespace test

#endif
