// Erosion and dilation of the grey sky image: square boxes of 3, 5 and 7, circular boxes of 5 and 7.

#include "BenchCommon.h"
#include "MinMaxKernel.h"

#include <memory>
#include <string>

namespace
{

struct Registration
{
   Registration()
   {
      struct Op
      {
         int size;
         bool circular;
      } ops[] = { { 3, false }, { 5, false }, { 7, false }, { 5, true }, { 7, true } };
      auto work = std::make_shared<qor::Image>();
      for ( bool minimum : { true, false } )
         for ( const Op& op : ops )
         {
            const std::string name = std::string( minimum ? "erode" : "dilate" ) + std::to_string( op.size ) +
                                     ( op.circular ? "c" : "" );
            bench::Register(
                name, bench::SizeText( bench::GreyInput() ),
                [=] { qor::ApplyMinMaxKernel( *work, op.size, 1.0f, minimum, op.circular ); },
                [=] { work->Assign( bench::GreyInput() ); } );
         }
   }
} registration;

} // namespace
