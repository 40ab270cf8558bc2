#include "TestDirs.h"

#include <cstdio>
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

std::string CommandOutput( const std::string& command )
{
   std::string out;
   if ( FILE* p = ::popen( ( command + " 2>&1" ).c_str(), "r" ) )
   {
      char buffer[4096];
      size_t n;
      while ( ( n = std::fread( buffer, 1, sizeof( buffer ), p ) ) > 0 )
         out.append( buffer, n );
      ::pclose( p );
   }
   return out;
}

} // namespace test
