// Removal of green from the RGB sky image by each protection method, in place: two planes read, one rewritten.
// The memory floor to compare with is the peers' bandwidth lines (rmw and read at the RGB size).

#include "BenchCommon.h"
#include "ColorNoiseReduction.h"

#include <memory>

namespace
{

struct Registration
{
   Registration()
   {
      struct Op
      {
         const char* name;
         qor::ColorNoiseProtection method;
      } ops[] = { { "scnr_average_neutral", qor::ColorNoiseProtection::AverageNeutral },
                  { "scnr_maximum_neutral", qor::ColorNoiseProtection::MaximumNeutral },
                  { "scnr_maximum_mask", qor::ColorNoiseProtection::MaximumMask },
                  { "scnr_additive_mask", qor::ColorNoiseProtection::AdditiveMask } };
      auto work = std::make_shared<qor::Image>();
      for ( const Op& op : ops )
         bench::Register(
             op.name, bench::SizeText( bench::RgbInput() ),
             [=] { qor::RemoveColorNoise( *work, 1, op.method, 1.0f ); },
             [=] { work->Assign( bench::RgbInput() ); } );
   }
} registration;

} // namespace
