#include "process/ProcessIconSetModule.h"

#include <cmath>

#include "classlib/StatusCallback.h"
#include "process/Process.h"
#include "process/ProcessInstanceStream.h"

namespace
{

// The fewest bytes an icon record can take: its place, an empty identifier and the smallest instance record.
constexpr int64_t MinimumIconRecordSize = 4 + 4 + 4 + ProcessInstanceStream::MinimumRecordSize;

void StartMonitor( qor::StatusCallback* monitor, const char* text, int64_t total )
{
   if ( monitor != nullptr && monitor->IsMonitored() )
      monitor->Initialize( text, total );
}

void AdvanceMonitor( qor::StatusCallback* monitor )
{
   if ( monitor != nullptr && monitor->IsMonitored() )
      monitor->Advance( 1 );
}

} // namespace

ProcessIconSetModule::ProcessIconSetModule() = default;

ProcessIconSetModule::~ProcessIconSetModule()
{
   Close();
}

std::string ProcessIconSetModule::Description() const
{
   return "Process Icon Set";
}

uint32_t ProcessIconSetModule::ModuleType() const
{
   return TypeId;
}

void ProcessIconSetModule::ReadData()
{
   records.clear();
   const int32_t count = file->ReadValue<int32_t>();
   if ( count < 0 || count > file->BytesLeft() / MinimumIconRecordSize )
      throw ProcessInstanceStream::Error( file->Path() );

   std::vector<Record> read;
   read.reserve( static_cast<size_t>( count ) );
   StartMonitor( monitor, "Reading and instantiating processes", count );
   for ( int32_t i = 0; i < count; ++i )
   {
      Record record;
      record.left = file->ReadValue<float>();
      record.top = file->ReadValue<float>();
      if ( !std::isfinite( record.left ) || !std::isfinite( record.top ) )
         throw ProcessInstanceStream::Error( file->Path() );
      const int32_t length = file->ReadValue<int32_t>();
      if ( length < 0 || length > MaxIdentifierLength )
         throw ProcessInstanceStream::Error( file->Path() );
      record.identifier = file->ReadString( length );
      record.instance = ProcessInstanceStream::ReadInstance( *file );
      read.push_back( std::move( record ) );
      AdvanceMonitor( monitor );
   }
   // Only a body read to its end gives icons.
   records = std::move( read );
}

void ProcessIconSetModule::WriteData()
{
   file->WriteValue( static_cast<int32_t>( records.size() ) );
   StartMonitor( monitor, "Writing ProcessIcon instances", static_cast<int64_t>( records.size() ) );
   for ( const Record& record : records )
   {
      file->WriteValue( record.left );
      file->WriteValue( record.top );
      file->WriteValue( static_cast<int32_t>( record.identifier.size() ) );
      file->WriteString( record.identifier );
      ProcessInstanceStream::WriteInstance( *file, *record.instance );
      AdvanceMonitor( monitor );
   }
}

void ProcessIconSetModule::Clear()
{
}
