#ifndef QOR_TRANSFERCURVE_H
#define QOR_TRANSFERCURVE_H

// Transfer curves and the midtones transfer function: the intensity mappings of the curves and histogram
// transforms, as plain functions of float arrays and images.
//
// A transfer curve is n points (x[i], y[i]) with ascending abscissae, usually over [0, 1], evaluated either
// piecewise-linearly (constant beyond the end points) or as the natural cubic spline through the points
// (extrapolated beyond them). The evaluators return double; callers round to float.
//
// Curves whose abscissae are not strictly ascending (two points at one abscissa, for instance) have no sound
// spline. Readers of stored curves refuse them with CheckTransferCurve; the evaluators still never divide by a
// zero width: the spline of such a curve is its linear rule.
//
// Nothing here keeps state between calls. The spline's bracketing interval is remembered in a SplineCursor that
// the caller owns, so curves can be evaluated on any number of threads at once, one cursor per thread.

#include "Image.h"

#include <cmath>
#include <cstdint>
#include <span>
#include <string>

namespace qor
{

// The last bracketing interval of a spline evaluation. A fresh cursor (or one left by another curve) costs one
// bisection; consecutive abscissae in the same interval then skip it.
class SplineCursor
{
public:
   SplineCursor() = default;

   // Finds the interval [Low(), High()] of x[0 .. n-1] (n >= 1, ascending) in which the spline is evaluated at v:
   // High() = Low() + 1 (both 0 for n = 1); below x[0] the first interval, above x[n-1] (or NaN) the last one. The
   // last interval is kept when it still brackets v in these x, whatever curve it was found in.
   void Bracket( const float* x, int32_t n, float v );

   int32_t Low() const { return low; }
   int32_t High() const { return high; }

private:
   int32_t low = 0;
   int32_t high = -1; // none yet
};

// Whether x and y (of equal length) make a curve that can be stored and evaluated soundly: at least two points,
// every value finite, abscissae strictly ascending.
bool IsValidTransferCurve( std::span<const float> x, std::span<const float> y );

// Throws GenericException saying what is wrong when IsValidTransferCurve is false.
void CheckTransferCurve( std::span<const float> x, std::span<const float> y );

// Fills y2[0 .. n-1] with the second derivatives of the natural cubic spline through the n points. With fewer
// than three points, or abscissae that are not strictly ascending, every second derivative is 0 (the spline
// is then the straight line through each pair of neighbours).
void ComputeSplineSecondDerivatives( const float* x, const float* y, int32_t n, float* y2 );

// The spline at v, from the second derivatives of ComputeSplineSecondDerivatives. An abscissa at a point gives
// that point's ordinate. A bracketing interval of zero width (a single point, a repeated abscissa) gives the
// linear rule's value instead. A NaN abscissa gives NaN; n < 1 gives 0.
double InterpolateSpline( const float* x, const float* y, const float* y2, int32_t n, float v, SplineCursor& cursor );
double InterpolateSpline( const float* x, const float* y, const float* y2, int32_t n, float v );

// The piecewise-linear curve at v: y[0] below x[0], y[n-1] at and above x[n-1] and for a NaN v (no abscissa is
// above it); n < 1 gives 0.
double InterpolateLinear( const float* x, const float* y, int32_t n, float v );

// Replaces every sample s of one channel by the curve's value at s, rounded to float and clamped to [0, 1], a NaN
// value to 0: a NaN sample thus becomes 0 on a spline and the last ordinate (clamped) on a linear curve. The spline
// of an unsound curve is evaluated by its linear rule, NaN samples still giving 0. Runs over row
// strips in parallel, with the same result for any thread count; monitored as "Transfer function", one unit per
// sample. Throws GenericException for a channel that does not exist, x and y of different lengths or no points;
// AbortProcessEvent on an abort (rows already done keep their new values).
void ApplyTransferCurve( Image& image, int32_t channel, std::span<const float> x, std::span<const float> y,
                         bool linear );

// The midtones transfer function of balance m: the rational function through (0, 0), (m, 0.5) and (1, 1),
// (m - 1) x / ((2m - 1) x - m). x = m gives exactly 0.5, 0 maps to 0, and 1 maps to 1 for every balance below 1.
// Where two of the points meet, the first of 0, m, 1 gives the value: m = 0 maps 0 to 0 (and every x > 0 to 1),
// m = 1 maps 1 to 0.5, the balance it names (and every x < 1 to 0). m = 0.5 is the identity.
inline float MidtonesTransferFunction( float x, float m )
{
   // In double, from float arguments, the products and the denominator are exact, so for 0 < m < 1 the nodes need
   // no special case: x = 0 gives +0, x = 1 gives (m - 1)/(m - 1) = 1 and x = m gives m(m - 1)/(2m(m - 1)) = 0.5.
   // Only the degenerate balances meet 0/0 at one node.
   if ( m == 0.0f && x == 0.0f )
      return 0.0f;
   if ( m == 1.0f && x == 1.0f )
      return 0.5f;
   double dm = m;
   double dx = x;
   return float( ( dm - 1 ) * dx / ( ( 2 * dm - 1 ) * dx - dm ) ) + 0.0f; // + 0 turns a -0 (m = 1) into +0
}

// The midtones transfer function applied in place to count samples: the same values as the function above,
// sample for sample, computed a few samples at a time.
void MidtonesTransferFunction( float* samples, int64_t count, float m );

} // namespace qor

#endif
