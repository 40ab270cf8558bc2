// Median filters of the grey sky image: square boxes of 3, 5 and 7, circular boxes of 5 and 7.

#include "BenchCommon.h"
#include "MedianKernel.h"

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
         int size;
         bool circular;
      } ops[] = { { "median3", 3, false },
                  { "median5", 5, false },
                  { "median7", 7, false },
                  { "median5c", 5, true },
                  { "median7c", 7, true } };
      auto work = std::make_shared<qor::Image>();
      for ( const Op& op : ops )
         bench::Register(
             op.name, bench::SizeText( bench::GreyInput() ),
             [=] { qor::ApplyMedianKernel( *work, op.size, 1.0f, false, op.circular ); },
             [=] { work->Assign( bench::GreyInput() ); } );
   }
} registration;

} // namespace
