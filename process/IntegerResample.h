#ifndef LF_PROCESS_INTEGER_RESAMPLE_H
#define LF_PROCESS_INTEGER_RESAMPLE_H

#include "process/GeometricProcess.h"

// Shrinks an image by an integer factor (each new pixel the mean of a factor x factor block) or enlarges it by one
// (pixel replication). Previews and mask links of the window are destroyed. The window is TIntegerResampleWindow.
class IntegerResample : public GeometricProcess
{
public:
   // resampleFactor: -n subsamples by n, +n oversamples by n; 0 gives an empty size and is always refused.
   // Stream: int32 (4 bytes, every version). Text: resampleFactor=%+d.
   class Parameters : public Process::Parameters
   {
   public:
      std::unique_ptr<Process::Parameters> Clone() const override;
      void Assign( const Process::Parameters& source ) override;
      void Read( qor::File& file, float version ) override;
      void Write( qor::File& file, float version ) const override;
      std::string ToText( int32_t level ) const override;

      int32_t resampleFactor = 1;
   };

   IntegerResample();
   explicit IntegerResample( int32_t resampleFactor );
   IntegerResample( const IntegerResample& source );

   std::unique_ptr<Process> Clone() const override;
   std::string Id() const override;
   bool IsInterface( const QWidget* form ) const override;
   bool IsInterfaceAvailable() const override;
   void LaunchInterface() override;
   // Integer division by |f| for a negative factor f, multiplication otherwise (a product beyond the 32-bit range
   // gives a size that is refused).
   void GetNewSize( int32_t& width, int32_t& height, const ProcessView& view ) const override;
   std::string ConfirmationText() const override;
   void DoExecuteOn( ProcessView& view ) override;
   // A window in its normal state is zoomed to fit the new size.
   void AfterExecutionOn( ProcessView& view ) override;

   Parameters& Params() { return static_cast<Parameters&>( *parameters ); }
   const Parameters& Params() const { return static_cast<const Parameters&>( *parameters ); }
};

#endif
