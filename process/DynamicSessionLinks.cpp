#include "process/DynamicSessionLinks.h"

namespace
{

DynamicSessionService* installed = nullptr;

} // namespace

void SetDynamicSessionService( DynamicSessionService* service )
{
   installed = service;
}

bool HasDynamicSession( const ProcessView& view, const std::string& processId )
{
   return installed != nullptr && installed->HasSession( view, processId );
}

const ProcessSessionDialog* DynamicSessionDialog( const std::string& processId )
{
   return installed != nullptr ? installed->SessionDialog( processId ) : nullptr;
}

QAction* DynamicSessionModeAction( const std::string& processId )
{
   return installed != nullptr ? installed->ModeAction( processId ) : nullptr;
}

bool StartDynamicSessionFromInstance( const Process& instance )
{
   return installed != nullptr && installed->StartFromInstance( instance );
}
