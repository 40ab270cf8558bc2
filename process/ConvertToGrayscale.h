#ifndef LF_PROCESS_CONVERT_TO_GRAYSCALE_H
#define LF_PROCESS_CONVERT_TO_GRAYSCALE_H

#include "process/ColorSpaceProcess.h"

// Turns a colour image into a grey one in place: every pixel becomes its CIE L*/100 through the window's RGB
// working space. No parameters and no window: the main window's Convert to Grayscale command runs it.
class ConvertToGrayscale : public ColorSpaceProcess
{
public:
   ConvertToGrayscale() = default;
   ConvertToGrayscale( const ConvertToGrayscale& ) = default;

   std::unique_ptr<Process> Clone() const override;
   std::string Id() const override;
   // The view's image is a colour image.
   bool CanExecuteOn( const ProcessView& view ) const override;
   // Converts; a colour mask of the window cannot mask a grey image, so it is removed once the conversion is done.
   void DoExecuteOn( ProcessView& view ) override;
   bool IsMaskable( const ProcessView& view, const MaskTarget* maskWindow ) const override;
};

#endif
