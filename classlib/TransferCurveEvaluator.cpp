#include "TransferCurveEvaluator.h"

#include "Exception.h"

namespace qor
{

TransferCurveEvaluator::TransferCurveEvaluator( std::span<const float> px, std::span<const float> py, bool isLinear )
   : x( px.begin(), px.end() ), y( py.begin(), py.end() ), linear( isLinear )
{
   if ( x.size() != y.size() )
      throw GenericException( "TransferCurveEvaluator: the numbers of abscissae and ordinates differ." );
   if ( !linear && !IsValidTransferCurve( x, y ) )
      linear = standIn = true; // no sound spline: its linear rule stands in
   if ( !linear )
   {
      y2.resize( x.size() );
      ComputeSplineSecondDerivatives( x.data(), y.data(), int32_t( x.size() ), y2.data() );
   }
}

} // namespace qor
