#ifndef LF_PROCESS_IMAGE_PROCESS_H
#define LF_PROCESS_IMAGE_PROCESS_H

#include "process/Process.h"

// Category of the processes that work on a whole image: they never run on a preview.
class ImageProcess : public Process
{
public:
   ImageProcess() = default;
   ImageProcess( const ImageProcess& ) = default;

   std::string Category() const override;
   bool CanExecuteOn( const ProcessView& view ) const override;
};

#endif
