#include "process/ProcessRegistry.h"

#include <algorithm>

ProcessInstance::~ProcessInstance() = default;

bool ProcessInstanceById::LessThan( const Process& process ) const
{
   return ProcessRegistry::IdentifierLess( Prototype().Id(), process.Id() );
}

bool CategorizedProcessInstance::LessThan( const Process& process ) const
{
   std::string category = Prototype().Category();
   std::string otherCategory = process.Category();
   if ( category != otherCategory )
      return ProcessRegistry::IdentifierLess( category, otherCategory );
   return ProcessRegistry::IdentifierLess( Prototype().Id(), process.Id() );
}

// ---------------------------------------------------------------------------------------------------------------

ProcessRegistry::~ProcessRegistry()
{
   byId.DeleteObjects();
   byCategory.DeleteObjects();
}

bool ProcessRegistry::IdentifierLess( const std::string& a, const std::string& b )
{
   // std::string compares its characters as unsigned bytes (char_traits<char>), whatever the signedness of char.
   return a < b;
}

void ProcessRegistry::Insert( std::unique_ptr<ProcessInstanceById> byIdEntry,
                              std::unique_ptr<CategorizedProcessInstance> byCategoryEntry )
{
   std::string identifier = byIdEntry->Prototype().Id();
   if ( FindProcess( identifier ) != nullptr )
      throw std::logic_error( "ProcessRegistry: process id '" + identifier + "' registered twice" );

   auto position = byId.Add( byIdEntry.get() );
   try
   {
      byCategory.Add( byCategoryEntry.get() );
   }
   catch ( ... )
   {
      byId.RemoveAt( position );
      throw;
   }
   byIdEntry.release();
   byCategoryEntry.release();
}

const Process* ProcessRegistry::FindProcess( const std::string& identifier ) const
{
   // Lower bound: the first entry whose identifier is not less than the one sought; a match when it is not less
   // than that entry's either.
   auto position = std::lower_bound( byId.Begin(), byId.End(), identifier,
                                     []( const ProcessInstanceById* entry, const std::string& key )
                                     { return IdentifierLess( entry->Prototype().Id(), key ); } );
   if ( position == byId.End() )
      return nullptr;
   const Process& prototype = ( *position )->Prototype();
   return IdentifierLess( identifier, prototype.Id() ) ? nullptr : &prototype;
}

ProcessRegistry& TheProcessRegistry()
{
   // Never destroyed: prototypes may hold objects of other parts of the program, whose static state can be gone
   // by the time static destructors run. The memory stays reachable until the process ends.
   static ProcessRegistry* registry = []
   {
      auto made = std::make_unique<ProcessRegistry>();
      RegisterProcesses( *made );
      return made.release();
   }();
   return *registry;
}
