#ifndef LF_PROCESS_TRANSFER_CURVE_PROCESS_H
#define LF_PROCESS_TRANSFER_CURVE_PROCESS_H

#include "process/Process.h"

// Category of the processes that map sample values through transfer curves (curves, histogram transform). The
// curve evaluation they share is classlib/TransferCurve.h.
class TransferCurveProcess : public Process
{
public:
   TransferCurveProcess() = default;
   TransferCurveProcess( const TransferCurveProcess& ) = default;

   std::string Category() const override;
};

#endif
