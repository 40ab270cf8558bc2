#ifndef LF_PROCESS_SCNR_H
#define LF_PROCESS_SCNR_H

// SCNR: removes a cast or chromatic noise of one primary colour (green by default) from a colour image by limiting
// that channel with the two others (qor::RemoveColorNoise). The window is TSCNRWindow.

#include "process/Process.h"

class SCNR : public Process
{
public:
   enum ProtectionMethod : uint8_t
   {
      maximumMask = 0,
      additiveMask = 1,
      averageNeutral = 2,
      maximumNeutral = 3
   };

   class Parameters : public Process::Parameters
   {
   public:
      std::unique_ptr<Process::Parameters> Clone() const override;
      void Assign( const Process::Parameters& source ) override;
      // 12 bytes for every version; a channel outside 0 .. 2, a method outside 0 .. 3 or an amount outside [0, 1]
      // is refused (GenericException) and the set stays as it was.
      void Read( qor::File& file, float version ) override;
      void Write( qor::File& file, float version ) const override;
      std::string ToText( int32_t level ) const override;

      bool IsMaskMethod() const { return protectionMethod == maximumMask || protectionMethod == additiveMask; }

      int32_t colorToRemove = 1; // 0 red, 1 green, 2 blue
      ProtectionMethod protectionMethod = averageNeutral;
      float amount = 0.7f; // mask methods only
   };

   SCNR();
   SCNR( const SCNR& source );
   explicit SCNR( const Parameters& p );

   std::unique_ptr<Process> Clone() const override;
   std::string Id() const override;
   // The window's side (defined with TSCNRWindow).
   bool IsInterface( const QWidget* form ) const override;
   bool IsInterfaceAvailable() const override;
   void LaunchInterface() override;
   // Colour images only.
   bool CanExecuteOn( const ProcessView& view ) const override;
   void DoExecuteOn( ProcessView& view ) override;

   Parameters& Params() { return static_cast<Parameters&>( *parameters ); }
   const Parameters& Params() const { return static_cast<const Parameters&>( *parameters ); }

   static const char* MethodName( ProtectionMethod method );
};

#endif
