#ifndef LF_PROCESS_INVERT_H
#define LF_PROCESS_INVERT_H

#include "process/Process.h"

// The photographic negative of a view: every sample x of every channel, alpha channels included, becomes 1 - x.
// No parameters and no window: the main window's Invert command runs a fresh instance on the active image. It runs
// on previews too and is maskable.
class Invert : public Process
{
public:
   Invert() = default;
   Invert( const Invert& ) = default;

   std::unique_ptr<Process> Clone() const override;
   std::string Id() const override;
   void DoExecuteOn( ProcessView& view ) override;
};

#endif
