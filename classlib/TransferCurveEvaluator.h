#ifndef QOR_TRANSFERCURVEEVALUATOR_H
#define QOR_TRANSFERCURVEEVALUATOR_H

// A transfer curve ready to be evaluated at many abscissae: its points, and the spline's second derivatives
// computed once. Used wherever a curve is evaluated sample by sample outside ApplyTransferCurve: the colour passes
// of the curves transform, the curves window's plot and its real-time preview tables.
//
// The evaluator is read-only after construction; each caller passes its own SplineCursor, so one evaluator can be
// shared by any number of threads. A spline whose curve is unsound (fewer than two points, abscissae that are not
// strictly ascending) is evaluated by its linear rule, as ApplyTransferCurve does.

#include "TransferCurve.h"

#include <span>
#include <vector>

namespace qor
{

class TransferCurveEvaluator
{
public:
   // Copies the points. x and y must have the same length (throws GenericException otherwise).
   TransferCurveEvaluator( std::span<const float> x, std::span<const float> y, bool linear );

   // The curve at v rounded to float, unclamped (NaN for a NaN spline abscissa).
   float Value( float v, SplineCursor& cursor ) const
   {
      const int32_t n = int32_t( x.size() );
      if ( linear )
         return float( InterpolateLinear( x.data(), y.data(), n, v ) );
      return float( InterpolateSpline( x.data(), y.data(), y2.data(), n, v, cursor ) );
   }

   // The curve at v clamped to [0, 1], a value that is not a number to 0: a NaN abscissa gives 0 on a spline (the
   // linear rule standing in for an unsound one included) and the last ordinate on a linear curve, as
   // ApplyTransferCurve gives them.
   float Clamped( float v, SplineCursor& cursor ) const
   {
      if ( standIn && std::isnan( v ) )
         return 0.0f;
      float r = Value( v, cursor );
      return r > 0.0f ? ( r < 1.0f ? r : 1.0f ) : 0.0f; // NaN -> 0
   }

   // The same, with a cursor of its own (for a single evaluation).
   float Clamped( float v ) const
   {
      SplineCursor cursor;
      return Clamped( v, cursor );
   }

   bool IsLinear() const { return linear; }

private:
   std::vector<float> x, y, y2;
   bool linear;
   bool standIn = false; // a spline evaluated by its linear rule
};

} // namespace qor

#endif
