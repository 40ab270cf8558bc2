#include "process/Module.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <typeinfo>
#include <vector>

#include <sys/stat.h>
#include <unistd.h>

#include "classlib/DateTime.h"

namespace
{

// Runs a clean-up step on a failure path: a failure of its own must not replace the failure being passed on.
template <typename Step>
void Quietly( Step step ) noexcept
{
   try
   {
      step();
   }
   catch ( ... )
   {
   }
}

// Throws a copy of the file error with another path when it is of the given kind (exactly); returns otherwise.
template <typename Kind>
void RethrowAs( const qor::File::Exception& x, const std::string& path )
{
   if ( typeid( x ) == typeid( Kind ) )
      throw Kind( path, x.SystemError() );
}

// A write that fails in the hidden file beside the target is told as a failure of the target: the user knows no
// other file. Errors of another file, and errors this function does not know, pass on as they are.
[[noreturn]] void RethrowForTarget( const std::string& temporary, const std::string& target )
{
   try
   {
      throw;
   }
   catch ( const qor::File::Exception& x )
   {
      if ( x.Path() != temporary )
         throw;
      RethrowAs<qor::File::WriteError>( x, target );
      RethrowAs<qor::File::IncompleteWriteOperation>( x, target );
      RethrowAs<qor::File::SeekError>( x, target );
      RethrowAs<qor::File::ReadError>( x, target );
      RethrowAs<qor::File::UnexpectedEndOfFile>( x, target );
      RethrowAs<qor::File::UnableToCloseFile>( x, target );
      throw;
   }
}

// The file a write must replace: the target of a symbolic link rather than the link itself.
std::string ResolvedTarget( const std::string& path )
{
   std::error_code error;
   if ( !std::filesystem::is_symlink( path, error ) )
      return path;
   std::filesystem::path target = std::filesystem::canonical( path, error );
   return error ? path : target.string();
}

// The process's file-creation mask, read without changing it (umask() would change it for every thread a moment).
mode_t CurrentUmask()
{
   std::ifstream status( "/proc/self/status" );
   std::string line;
   while ( std::getline( status, line ) )
      if ( line.rfind( "Umask:", 0 ) == 0 )
         return static_cast<mode_t>( std::stoul( line.substr( 6 ), nullptr, 8 ) );
   return 022;
}

// Permissions of the file that replaces the target: those of the target when there is one, else those of any new
// file.
mode_t ReplacementPermissions( const std::string& target )
{
   struct stat info;
   if ( ::stat( target.c_str(), &info ) == 0 )
      return info.st_mode & 07777;
   return 0666 & ~CurrentUmask();
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------

std::string Module::Exception::ClassText() const
{
   return "Module Error";
}

std::string Module::FileIsNotAQORModule::Description() const
{
   return "File is not a valid QOR module";
}

std::string Module::ModuleAuthenticationFailed::Description() const
{
   return "Module authentication failed";
}

std::string Module::InvalidModuleHeader::Description() const
{
   return "Invalid or corrupted module header";
}

std::string Module::UnsupportedModuleVersion::Description() const
{
   return "Unsupported module version";
}

std::string Module::FilePathNotSpecified::Description() const
{
   return "Module internal error: path was not specified";
}

// ---------------------------------------------------------------------------------------------------------------

Module::~Module()
{
   Quietly( [this] { Close(); } );
}

std::string Module::Description() const
{
   return "Generic Module";
}

int32_t Module::PrefixSize() const
{
   return 0;
}

int32_t Module::DataOffset() const
{
   return PrefixSize() + static_cast<int32_t>( HeaderSize );
}

uint32_t Module::Signature() const
{
   return 0x5A5A9595;
}

float Module::Version() const
{
   return 1.0f;
}

float Module::FormatVersion() const
{
   return 1.0f;
}

void Module::ReadData()
{
}

void Module::WriteData()
{
}

void Module::Clear()
{
}

void Module::Close()
{
   header.reset();
   filePath.clear();
   if ( file )
   {
      std::unique_ptr<qor::File> closing = std::move( file );
      closing->Close();
   }
}

// ---------------------------------------------------------------------------------------------------------------

void Module::Read( const std::string& path )
{
   // The file is opened and checked aside: a file that fails a check leaves the module as it was, and is closed
   // when `opened` goes.
   auto opened = std::make_unique<qor::File>();
   opened->OpenForReading( path );

   const int64_t prefix = PrefixSize();
   const int64_t size = opened->Size();
   if ( size < prefix + HeaderSize )
      throw FileIsNotAQORModule( path );
   opened->Seek( prefix );
   Header stored;
   opened->Read( &stored, HeaderSize );

   if ( stored.moduleType != ModuleType() )
      throw ModuleAuthenticationFailed( path );
   if ( static_cast<int64_t>( stored.dataOffset ) < prefix + HeaderSize ||
        static_cast<int64_t>( stored.dataOffset ) > size || stored.creationTime > stored.modificationTime )
      throw InvalidModuleHeader( path );
   if ( static_cast<float>( static_cast<uint32_t>( stored.formatVersion ) * 0.01 ) > FormatVersion() )
      throw UnsupportedModuleVersion( path );
   if ( opened->Position() != stored.dataOffset )
      opened->Seek( stored.dataOffset );

   file = std::move( opened );
   header = std::make_unique<Header>( stored );
   filePath = file->Path();
   try
   {
      ReadData();
   }
   catch ( ... )
   {
      Quietly( [this] { Clear(); } );
      Quietly( [this] { Close(); } );
      throw;
   }
   file->Close();
}

void Module::Write( const std::string& path )
{
   if ( !file )
   {
      if ( path.empty() )
         throw FilePathNotSpecified( path );
      file = std::make_unique<qor::File>();
      header.reset();
   }
   if ( !header )
   {
      header = std::make_unique<Header>();
      header->creationTime = qor::DateTime::Now();
   }
   const std::string target = ResolvedTarget( path.empty() ? filePath : path );
   if ( target.empty() )
      throw FilePathNotSpecified( path );

   header->signature = Signature();
   header->version = static_cast<int32_t>( Version() * 100 );
   header->moduleType = ModuleType();
   header->formatVersion = static_cast<int32_t>( FormatVersion() * 100 );
   // Never before the creation time (a clock set back since the first write), or the file would not read again.
   header->modificationTime = std::max( qor::DateTime::Now(), header->creationTime );
   header->dataOffset = static_cast<uint32_t>( DataOffset() );

   // A new file beside the target, created exclusively under a name of its own. The hidden name is built by
   // appending: a dot put in front of the file name would shift the name within its own buffer, an overlapping
   // copy for nothing.
   const std::filesystem::path targetPath( target );
   std::string hiddenName = ".";
   hiddenName += targetPath.filename().string();
   const std::string stem =
       ( targetPath.parent_path() / hiddenName ).string() + ".~" + std::to_string( ::getpid() ) + "-";
   std::string temporary;
   for ( int attempt = 0;; ++attempt )
   {
      temporary = stem + std::to_string( attempt );
      try
      {
         file->Open( temporary, qor::File::ModeCreateNew | qor::File::ModeWrite );
         break;
      }
      catch ( const qor::File::UnableToCreateFile& x )
      {
         if ( x.SystemError() != EEXIST || attempt >= 999 )
            throw qor::File::UnableToCreateFile( target, x.SystemError() );
      }
   }

   try
   {
      if ( ::fchmod( file->Handle(), ReplacementPermissions( target ) ) != 0 )
         throw qor::File::UnableToCreateFile( target, errno );
      if ( PrefixSize() > 0 )
      {
         std::vector<uint8_t> zeros( static_cast<size_t>( PrefixSize() ), 0 );
         file->Write( zeros.data(), static_cast<int64_t>( zeros.size() ) );
      }
      file->Write( header.get(), HeaderSize );
      WriteData();
      if ( ::fsync( file->Handle() ) != 0 )
         throw qor::File::WriteError( target, errno );
      file->Close();
      if ( std::rename( temporary.c_str(), target.c_str() ) != 0 )
         throw qor::File::UnableToCreateFile( target, errno );
   }
   catch ( ... )
   {
      Quietly( [this] { file->Close(); } );
      ::unlink( temporary.c_str() );
      RethrowForTarget( temporary, target );
   }
   std::error_code error;
   std::filesystem::path full = std::filesystem::absolute( target, error );
   filePath = error ? target : full.lexically_normal().string();
}
