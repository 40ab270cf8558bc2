#ifndef LF_PROCESS_CONVERT_TO_RGB_COLOR_H
#define LF_PROCESS_CONVERT_TO_RGB_COLOR_H

#include "process/ColorSpaceProcess.h"

// Turns a grey image into an RGB one in place, the grey plane copied into red, green and blue. No parameters and no
// window: the main window's Convert to RGB Color command runs it.
class ConvertToRGBColor : public ColorSpaceProcess
{
public:
   ConvertToRGBColor() = default;
   ConvertToRGBColor( const ConvertToRGBColor& ) = default;

   std::unique_ptr<Process> Clone() const override;
   std::string Id() const override;
   // The view's image is grey.
   bool CanExecuteOn( const ProcessView& view ) const override;
   // A colour image cannot mask the grey images that use the window as their mask: on a main view with such
   // users, asks whether to go on and detach them (a preview changes no mask).
   bool ConfirmExecutionOn( ProcessView& view ) override;
   void DoExecuteOn( ProcessView& view ) override;
   bool IsMaskable( const ProcessView& view, const MaskTarget* maskWindow ) const override;
};

#endif
