#include "process/TransferCurveProcess.h"

std::string TransferCurveProcess::Category() const
{
   return "Transfer Curves";
}
