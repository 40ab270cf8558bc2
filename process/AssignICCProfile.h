#ifndef LF_PROCESS_ASSIGN_ICC_PROFILE_H
#define LF_PROCESS_ASSIGN_ICC_PROFILE_H

// AssignICCProfile: gives an image a new embedded ICC profile, optionally converting its pixels from the profile
// it has now (its own, else the default profile of its colour type) to the new one, or makes it forget its profile
// (an empty path). The window is TAssignICCProfileWindow.

#include "process/ColorManagementProcess.h"

class AssignICCProfile : public ColorManagementProcess
{
public:
   class Parameters : public Process::Parameters
   {
   public:
      std::unique_ptr<Process::Parameters> Clone() const override;
      void Assign( const Process::Parameters& source ) override;
      // int32 length, the path's characters, uint8 convert, int32 intent: the same for every version.
      void Read( qor::File& file, float version ) override;
      void Write( qor::File& file, float version ) const override;
      // convert, profilePath and the description of the profile file as it is now.
      std::string ToText( int32_t level ) const override;

      // A bare file name names a file of the system colour directory; empty: forget the embedded profile.
      std::string profilePath;
      bool convert = false;
      int32_t renderingIntent = 0; // 0 perceptual, 1 relative colorimetric, 2 saturation, 3 absolute colorimetric
   };

   AssignICCProfile();
   AssignICCProfile( const AssignICCProfile& source );
   explicit AssignICCProfile( const Parameters& p );

   std::unique_ptr<Process> Clone() const override;
   std::string Id() const override;
   // The window's side (defined with TAssignICCProfileWindow).
   bool IsInterface( const QWidget* form ) const override;
   bool IsInterfaceAvailable() const override;
   void LaunchInterface() override;
   // Converting a file stored at 32 or more bits per sample asks first: the conversion is done at 16 bits.
   bool ConfirmExecutionOn( ProcessView& view ) override;
   void DoExecuteOn( ProcessView& view ) override;
   bool IsMaskable( const ProcessView& view, const MaskTarget* maskWindow ) const override;
   uint32_t UndoFlags( const ProcessView& view ) const override;

   Parameters& Params() { return static_cast<Parameters&>( *parameters ); }
   const Parameters& Params() const { return static_cast<const Parameters&>( *parameters ); }

   // The path a profilePath names: a bare file name is looked for in the system colour directory.
   static std::string ResolvePath( const std::string& profilePath );
};

#endif
