#ifndef LF_PROCESS_COLOR_SPACE_PROCESS_H
#define LF_PROCESS_COLOR_SPACE_PROCESS_H

#include "process/Process.h"

// Category of the processes that change or use an image's colour space (conversions, channels, working space).
class ColorSpaceProcess : public Process
{
public:
   ColorSpaceProcess() = default;
   ColorSpaceProcess( const ColorSpaceProcess& ) = default;

   std::string Category() const override;
};

#endif
