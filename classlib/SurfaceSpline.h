#ifndef QOR_SURFACESPLINE_H
#define QOR_SURFACESPLINE_H

// Polyharmonic surface spline z = f(x, y) of order m through (or, smoothed, near) n scattered points; m = 2 is
// the thin-plate spline.
//
//   f(x, y) = sum over i of lambda[i] phi(r_i^2) + sum over j of c[j] monomial_j(x, y)
//
// with r_i^2 the squared distance from (x, y) to point i, the kernel phi(r^2) = (r^2)^(m-1) ln(r^2) (0 at
// r^2 = 0), and the M = m (m + 1) / 2 monomials of total degree below m in graded order: 1, x, y, x^2, x y, y^2,
// x^3, x^2 y, ... The coefficient array holds N = n + M floats: lambda[0 .. n) then c[0 .. M).
//
// There is no spline object: the caller keeps the points, the order and the coefficients, and passes the same
// ones to generation and evaluation.
//
// Generation builds the symmetric system of order N in single precision (packed, see LinearSolver.h) and refuses
// it with GenericException("Singular matrix in 2-D interpolation surface spline generator") when its
// single-precision condition estimate rcond is negligible (1 + rcond == 1 in extended precision: rcond <= 2^-64)
// or undefined, when the points do not determine the polynomial part (fewer points than monomials, all points on
// one line for m = 2, on one conic for m = 3, ...), when two points coincide without smoothing, or when the
// solution is not finite. Exact arithmetic makes all of these singular, though rounding may hide it from the
// estimate. The accepted system is solved in double, since the higher orders are ill-conditioned, and the
// coefficients rounded to float. The coefficient array is written only on success.
//
// Evaluation: EvaluateSurfaceSpline() gives one point; EvaluateSurfaceSplineGrid() every node of a grid, over
// row strips on the worker threads, for one or several splines through the same points (the colour channels of
// one background model share every kernel value). Both run the same float arithmetic in the same order, so a
// grid node equals the point evaluation at its coordinates bit for bit, whatever the thread count or the
// vector width of the processor. Kernel logarithms come from an inline single-precision logarithm that
// vectorises (within one unit in the last place of the exact value).

#include <cstdint>
#include <span>

namespace qor
{

class StatusCallback;

// Number of coefficients of a spline of order m through n points: n + m (m + 1) / 2.
int64_t SurfaceSplineCoefficientCount( int32_t n, int32_t m );

// Fits the spline of order m >= 1 through the n points (x[i], y[i]) with values z[i]. smoothing >= 0 (0: the
// surface interpolates); weights, when not null, holds n positive weights: a larger weight pulls the surface
// closer to its point. coefficients receives SurfaceSplineCoefficientCount(n, m) floats.
// Throws GenericException on a singular system (see above), on an order below 1 and on non-finite data.
void GenerateSurfaceSpline( int32_t n, const float* x, const float* y, const float* z, int32_t m, float smoothing,
                            const float* weights, float* coefficients );

// The same for several sets of values at the same points (the channels of an image), which share one system:
// values[k] holds the n values of set k, coefficients[k] receives its coefficients. Nothing is written unless every
// set succeeds.
void GenerateSurfaceSplines( int32_t n, const float* x, const float* y, std::span<const float* const> values, int32_t m,
                             float smoothing, const float* weights, std::span<float* const> coefficients );

// Value at (px, py) of the spline of order m through the n points (x[i], y[i]) with the given coefficients.
float EvaluateSurfaceSpline( int32_t n, int32_t m, const float* x, float px, float py, const float* y,
                             const float* coefficients );

// Evaluates splines through the same n points and order at every node (columns[c], rows[r]) of a grid.
// coefficients[s] belongs to spline s and outputs[s] receives its values: rows.size() rows of columns.size()
// floats, one row after another. Runs over row strips through ParallelFor; with a monitor (already initialised
// by the caller) it advances unitsPerRow units per row and answers false when the user asked to abort, true
// otherwise.
bool EvaluateSurfaceSplineGrid( int32_t n, int32_t m, const float* x, const float* y,
                                std::span<const float* const> coefficients, std::span<const float> columns,
                                std::span<const float> rows, std::span<float* const> outputs,
                                StatusCallback* monitor = nullptr, int64_t unitsPerRow = 1 );

} // namespace qor

#endif
