#include "process/ProcessWindows.h"

namespace
{

ProcessWindowService* installed = nullptr;

} // namespace

void SetProcessWindowService( ProcessWindowService* service )
{
   installed = service;
}

bool IsProcessWindowAvailable( const std::string& processId )
{
   return installed != nullptr && installed->IsAvailable( processId );
}

QAction* ProcessAction( const std::string& processId )
{
   return installed != nullptr ? installed->Action( processId ) : nullptr;
}

bool IsProcessInterfaceAvailable( const std::string& processId )
{
   return installed != nullptr && installed->IsInterfaceAvailable( processId );
}

bool OpenProcessWindow( const Process& instance )
{
   return installed != nullptr && installed->Open( instance );
}
