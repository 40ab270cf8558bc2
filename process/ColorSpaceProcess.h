#ifndef LF_PROCESS_COLOR_SPACE_PROCESS_H
#define LF_PROCESS_COLOR_SPACE_PROCESS_H

#include "process/Process.h"

namespace qor
{
class RGBColorSystem;
}

// Category of the processes that change or use an image's colour space (conversions, channels, working space).
class ColorSpaceProcess : public Process
{
public:
   ColorSpaceProcess() = default;
   ColorSpaceProcess( const ColorSpaceProcess& ) = default;

   std::string Category() const override;

   // The working space through which a run computes colour components: the view's window's, or the global one for
   // a view outside the image windows.
   static const qor::RGBColorSystem& WorkingSpaceOf( const ProcessView& view );
};

#endif
