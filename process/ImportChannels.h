#ifndef LF_PROCESS_IMPORT_CHANNELS_H
#define LF_PROCESS_IMPORT_CHANNELS_H

#include "process/ColorChannelsParameters.h"
#include "process/ColorSpaceProcess.h"

// Replaces components of a colour image, in one of the colour spaces of ExtractChannels, by the samples of open grey
// images of the image's size, and converts the result back to RGB through the window's working space (clipped to
// [0, 1]). On a preview, each source is read in the preview's rectangle.
class ImportChannels : public ColorSpaceProcess
{
public:
   using Parameters = ColorChannelsParameters;

   ImportChannels();
   ImportChannels( const ImportChannels& source );

   std::unique_ptr<Process> Clone() const override;
   std::string Id() const override;
   bool IsInterface( const QWidget* form ) const override;
   bool IsInterfaceAvailable() const override;
   void LaunchInterface() override;
   // A view of a colour image.
   bool CanExecuteOn( const ProcessView& view ) const override;
   // Without a component there is nothing to import: says so ("ImportChannels: No source image was specified")
   // and abandons the run before anything is recorded.
   bool ConfirmExecutionOn( ProcessView& view ) override;
   // Finds and checks every source before any pixel changes (the errors name the source).
   void DoExecuteOn( ProcessView& view ) override;

   Parameters& Values() { return static_cast<Parameters&>( *parameters ); }
   const Parameters& Values() const { return static_cast<const Parameters&>( *parameters ); }
};

#endif
