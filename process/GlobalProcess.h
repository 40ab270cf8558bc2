#ifndef LF_PROCESS_GLOBAL_PROCESS_H
#define LF_PROCESS_GLOBAL_PROCESS_H

#include "process/Process.h"

// Category of the processes that run without a view (preference-like processes): never on a view.
class GlobalProcess : public Process
{
public:
   GlobalProcess() = default;
   GlobalProcess( const GlobalProcess& ) = default;

   std::string Category() const override;
   bool CanExecuteOn( const ProcessView& view ) const override;
   bool CanExecuteGlobal() const override;
};

#endif
