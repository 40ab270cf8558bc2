#ifndef LF_PROCESS_MIN_MAX_FILTER_H
#define LF_PROCESS_MIN_MAX_FILTER_H

// MinMaxFilter: erosion (the minimum of each sample's box) or dilation (the maximum), with a square or circular box,
// repeated, blended with the unfiltered samples by an amount, optionally on the CIE lightness of a colour image
// alone. The pixel work is qor::ApplyMinMaxKernel; the window is TMinMaxFiltersWindow.

#include "process/IteratedFilter.h"

class MinMaxFilter : public Process
{
public:
   class Parameters : public BoxFilterParameters
   {
   public:
      std::unique_ptr<Process::Parameters> Clone() const override;
      void Assign( const Process::Parameters& source ) override;
      std::string ToText( int32_t level ) const override;

      bool filterType = true;

   protected:
      bool& Option() override { return filterType; }
   };

   MinMaxFilter();
   MinMaxFilter( const MinMaxFilter& source );
   explicit MinMaxFilter( const Parameters& p );

   std::unique_ptr<Process> Clone() const override;
   std::string Id() const override;
   // The window's side (defined with TMinMaxFiltersWindow).
   bool IsInterface( const QWidget* form ) const override;
   bool IsInterfaceAvailable() const override;
   void LaunchInterface() override;
   void DoExecuteOn( ProcessView& view ) override;

   Parameters& Params() { return static_cast<Parameters&>( *parameters ); }
   const Parameters& Params() const { return static_cast<const Parameters&>( *parameters ); }
};

#endif
