#ifndef LF_PROCESS_WAVELET_PROCESS_H
#define LF_PROCESS_WAVELET_PROCESS_H

#include "process/Process.h"

// Category of the wavelet processes: decomposition into detail layers and a residual, edited and summed back.
class WaveletProcess : public Process
{
public:
   WaveletProcess() = default;
   WaveletProcess( const WaveletProcess& ) = default;

   std::string Category() const override;
};

#endif
