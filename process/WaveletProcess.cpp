#include "process/WaveletProcess.h"

std::string WaveletProcess::Category() const
{
   return "Wavelets";
}
