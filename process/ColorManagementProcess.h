#ifndef LF_PROCESS_COLOR_MANAGEMENT_PROCESS_H
#define LF_PROCESS_COLOR_MANAGEMENT_PROCESS_H

#include "process/Process.h"

// Category of the processes that change an image's colour management (its embedded ICC profile). They run on main
// views only: a preview has no profile of its own.
class ColorManagementProcess : public Process
{
public:
   ColorManagementProcess() = default;
   ColorManagementProcess( const ColorManagementProcess& ) = default;

   std::string Category() const override;
   bool CanExecuteOn( const ProcessView& view ) const override;
};

#endif
