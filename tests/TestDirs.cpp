#include "TestDirs.h"

#include <cstdlib>
#include <stdexcept>
#include <system_error>

namespace test
{

TempDir::TempDir()
{
   std::string pattern = ( std::filesystem::temp_directory_path() / "lf-test-XXXXXX" ).string();
   if ( ::mkdtemp( pattern.data() ) == nullptr )
      throw std::runtime_error( "cannot create a temporary test folder" );
   path = pattern;
}

TempDir::~TempDir()
{
   std::error_code ec;
   std::filesystem::remove_all( path, ec );
}

} // namespace test
