// The one list of the program's process classes. A new process adds its header and one Register line here; the
// registry sorts the entries itself, so the order of the lines does not matter.

#include "process/ProcessContainer.h"
#include "process/ProcessRegistry.h"

void RegisterProcesses( ProcessRegistry& registry )
{
   registry.Register<ProcessContainer>();
}
