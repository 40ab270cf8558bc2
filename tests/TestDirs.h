#ifndef LF_TEST_DIRS_H
#define LF_TEST_DIRS_H

#include <filesystem>
#include <string>

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

// What a shell command writes on its standard output and error (empty when it cannot be started).
std::string CommandOutput( const std::string& command );

} // namespace test

#endif
