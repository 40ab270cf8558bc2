#include "process/GlobalProcess.h"

std::string GlobalProcess::Category() const
{
   return "Global";
}

bool GlobalProcess::CanExecuteOn( const ProcessView& ) const
{
   return false;
}

bool GlobalProcess::CanExecuteGlobal() const
{
   return true;
}
