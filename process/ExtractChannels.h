#ifndef LF_PROCESS_EXTRACT_CHANNELS_H
#define LF_PROCESS_EXTRACT_CHANNELS_H

#include "process/ColorChannelsParameters.h"
#include "process/ColorSpaceProcess.h"

// Splits a colour image into grey images, one per chosen component of a colour space (computed through the window's
// RGB working space), each opened in a new image window that shares that working space. The source is not changed.
class ExtractChannels : public ColorSpaceProcess
{
public:
   using Parameters = ColorChannelsParameters;

   ExtractChannels();
   ExtractChannels( const ExtractChannels& source );

   std::unique_ptr<Process> Clone() const override;
   std::string Id() const override;
   bool IsInterface( const QWidget* form ) const override;
   bool IsInterfaceAvailable() const override;
   void LaunchInterface() override;
   // A main view of a colour image.
   bool CanExecuteOn( const ProcessView& view ) const override;
   // Nothing without a component. The new windows are opened in component order once every component has been
   // computed (an abort opens none); a template that makes no valid identifier ends the run, and the windows
   // already opened stay.
   void DoExecuteOn( ProcessView& view ) override;
   bool IsMaskable( const ProcessView& view, const MaskTarget* maskWindow ) const override;
   bool ModifiesTarget( const ProcessView& view ) const override;

   Parameters& Values() { return static_cast<Parameters&>( *parameters ); }
   const Parameters& Values() const { return static_cast<const Parameters&>( *parameters ); }
};

#endif
