#include "process/ProcessInstanceStream.h"

#include "process/Process.h"
#include "process/ProcessRegistry.h"

namespace
{

thread_local int32_t nestingDepth = 0;
thread_local const ProcessRegistry* scopedRegistry = nullptr;

} // namespace

std::string ProcessInstanceStream::Error::Description() const
{
   return "Corrupted process instance data";
}

void ProcessInstanceStream::WriteInstance( qor::File& file, const Process& instance )
{
   std::string identifier = instance.Id();
   file.WriteValue( static_cast<int32_t>( identifier.size() ) );
   file.WriteString( identifier );
   instance.Write( file );
}

ProcessInstanceStream::RegistryScope::RegistryScope( const ProcessRegistry& registry ) : previous( scopedRegistry )
{
   scopedRegistry = &registry;
}

ProcessInstanceStream::RegistryScope::~RegistryScope()
{
   scopedRegistry = previous;
}

std::unique_ptr<Process> ProcessInstanceStream::ReadInstance( qor::File& file, const ProcessRegistry& registry )
{
   RegistryScope scope( registry );
   return ReadInstance( file );
}

std::unique_ptr<Process> ProcessInstanceStream::ReadInstance( qor::File& file )
{
   const ProcessRegistry& registry = ( scopedRegistry != nullptr ) ? *scopedRegistry : TheProcessRegistry();
   int32_t length = file.ReadValue<int32_t>();
   if ( length < 0 || length > MaxIdentifierLength )
      throw Error( file.Path() );
   std::string identifier = file.ReadString( length );

   const Process* prototype = registry.FindProcess( identifier );
   if ( prototype == nullptr )
      throw ProcessRefusal( "Cannot instantiate process: unregistered process id '" + identifier + "'" );

   std::unique_ptr<Process> instance = prototype->Clone();
   instance->Read( file );
   return instance;
}

void ProcessInstanceStream::CheckRecordCount( const qor::File& file, int64_t count )
{
   if ( count > 0 && count > file.BytesLeft() / MinimumRecordSize )
      throw Error( file.Path() );
}

ProcessInstanceStream::NestingGuard::NestingGuard( const qor::File& file )
{
   if ( nestingDepth >= MaxNestingDepth )
      throw Error( file.Path() );
   ++nestingDepth;
}

ProcessInstanceStream::NestingGuard::~NestingGuard()
{
   --nestingDepth;
}
