#ifndef QOR_LINEARSOLVER_H
#define QOR_LINEARSOLVER_H

// Solver for real symmetric, possibly indefinite, linear systems in packed storage, in single precision (and the
// same in double).
//
// The classic LINPACK trio with the BLAS level-1 routines it needs: SSPFA factors A = U D U' by Bunch-Kaufman
// diagonal pivoting (1x1 and 2x2 pivot blocks), SSPCO factors and estimates the reciprocal condition number in the
// 1-norm, SSPSL solves with the factorisation. The routines keep LINPACK's arithmetic step for step, so results
// match the published algorithm bit for bit (every sum is accumulated in float, first element first).
//
// Conventions
// - Arrays are ordinary 0-based C++ arrays; the algorithm's element k (counting from 1) is array[k - 1].
// - Packed storage: the upper triangle of the n x n matrix, column after column. Element a(i, j), i <= j, both
//   counted from 1, is ap[i + j (j - 1) / 2 - 1]; the array holds n (n + 1) / 2 floats. After factorisation it
//   holds D and the multipliers of U in the same positions.
// - Pivot array kpvt[0 .. n): the entries keep LINPACK's 1-based row numbers, because their sign carries meaning.
//   For a 1x1 block at row k: k, or the row exchanged with k. For a 2x2 block at rows k - 1, k: both entries are
//   1 - k without an interchange, or -p when row p was exchanged with k - 1. A negative entry marks a 2x2 block.
// - Positions inside the packed array are computed in 64 bits; n itself is an int32.
//
// Floating-point exceptions run masked. A singular factorisation (SSPFA's info != 0) makes SSPSL divide by zero
// and answer infinities or NaNs: test the condition estimate before solving, and the result after.

#include <cstdint>

namespace qor
{

// Every routine exists in float, the system's precision, and in double for callers that solve wider.

// BLAS level 1, unit stride. Positions answered by ISAMAX count from 1 (0 when n < 1).

// Position of the first element of largest magnitude (a later one wins only when strictly larger).
int32_t ISAMAX( int32_t n, const float* x );
int32_t ISAMAX( int32_t n, const double* x );

// Sum of magnitudes, accumulated first element first.
float SASUM( int32_t n, const float* x );
double SASUM( int32_t n, const double* x );

// Dot product, accumulated first element first.
float SDOT( int32_t n, const float* x, const float* y );
double SDOT( int32_t n, const double* x, const double* y );

// y += a x (nothing at all when a = 0).
void SAXPY( int32_t n, float a, const float* x, float* y );
void SAXPY( int32_t n, double a, const double* x, double* y );

// Exchanges x and y.
void SSWAP( int32_t n, float* x, float* y );
void SSWAP( int32_t n, double* x, double* y );

// x *= a.
void SSCAL( int32_t n, float a, float* x );
void SSCAL( int32_t n, double a, double* x );

// z[i] += |v[i]|.
void AddAbsValues( float* z, const float* v, int32_t count );
void AddAbsValues( double* z, const double* v, int32_t count );

// Sets count elements to 0.
void ClearVector( float* v, int32_t count );
void ClearVector( double* v, int32_t count );

// Factors ap in place and fills kpvt. Answers 0, or k (counting from 1) when pivot column k was entirely zero
// (the smallest such k); such a factorisation is singular and must not be used to solve.
int32_t SSPFA( float* ap, int32_t n, int32_t* kpvt );
int32_t SSPFA( double* ap, int32_t n, int32_t* kpvt );

// Factors ap in place (SSPFA), fills kpvt, and stores an estimate of the reciprocal condition number of the
// original matrix in rcond: near 1 for a well conditioned matrix, small for a nearly singular one, 0 for the zero
// matrix. Allocates a work vector of n elements.
void SSPCO( float* ap, int32_t n, int32_t* kpvt, float& rcond );
void SSPCO( double* ap, int32_t n, int32_t* kpvt, double& rcond );

// With ap and kpvt from SSPFA or SSPCO, overwrites b[0 .. n) with the solution of A x = b.
void SSPSL( const float* ap, int32_t n, const int32_t* kpvt, float* b );
void SSPSL( const double* ap, int32_t n, const int32_t* kpvt, double* b );

// The forward sweep of SSPSL: applies the inverse of U' with its interchanges to z.
void SolveTransposedFactor( const float* ap, int32_t n, const int32_t* kpvt, float* z );
void SolveTransposedFactor( const double* ap, int32_t n, const int32_t* kpvt, double* z );

} // namespace qor

#endif
