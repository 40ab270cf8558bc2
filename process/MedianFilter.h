#ifndef LF_PROCESS_MEDIAN_FILTER_H
#define LF_PROCESS_MEDIAN_FILTER_H

// MedianFilter: removes impulse noise with the median of each sample's box, square or circular, plain or two-way
// hybrid, repeated, blended with the unfiltered samples by an amount, optionally on the CIE lightness of a colour
// image alone. The pixel work is qor::ApplyMedianFilter; the window is TMedianFilterWindow.

#include "process/IteratedFilter.h"

class MedianFilter : public Process
{
public:
   class Parameters : public BoxFilterParameters
   {
   public:
      std::unique_ptr<Process::Parameters> Clone() const override;
      void Assign( const Process::Parameters& source ) override;
      std::string ToText( int32_t level ) const override;

      bool hybridFilter = false;

   protected:
      bool& Option() override { return hybridFilter; }
   };

   MedianFilter();
   MedianFilter( const MedianFilter& source );
   explicit MedianFilter( const Parameters& p );

   std::unique_ptr<Process> Clone() const override;
   std::string Id() const override;
   // The window's side (defined with TMedianFilterWindow).
   bool IsInterface( const QWidget* form ) const override;
   bool IsInterfaceAvailable() const override;
   void LaunchInterface() override;
   void DoExecuteOn( ProcessView& view ) override;

   Parameters& Params() { return static_cast<Parameters&>( *parameters ); }
   const Parameters& Params() const { return static_cast<const Parameters&>( *parameters ); }
};

#endif
