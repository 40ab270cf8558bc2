// Point and grid evaluation must agree bit for bit, whatever instructions the compiler picks for each: no fused
// multiply-adds, every product and sum rounded as written. Floating-point exceptions run masked in this program,
// so operations may be executed speculatively and selected afterwards, which lets the kernel loops vectorise.
#pragma GCC optimize( "fp-contract=off", "no-trapping-math" )

#include "SurfaceSpline.h"

#include "Exception.h"
#include "LinearSolver.h"
#include "Math.h"
#include "Parallel.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <limits>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace qor
{

namespace
{

const char* const singularText = "Singular matrix in 2-D interpolation surface spline generator";
const char* const invalidText = "Invalid order or point count of 2-D interpolation surface spline";

// ---------------------------------------------------------------------------------------------------------------
// Shared arithmetic of point and grid evaluation. Everything here is branch-free so that the grid loops vectorise
// (every operation runs unconditionally and only the results are selected); the point evaluation calls the same
// functions, so both round identically.

// Natural logarithm of x > 0 in single precision, within one unit in the last place: x = 2^e (1 + f) with
// 1 + f in [sqrt(1/2), sqrt(2)), found by integer arithmetic on the representation; ln(1 + f) by a minimax
// polynomial; e ln 2 in two parts, the first exact in float. Subnormal x is scaled up first; +inf and NaN give
// themselves; x = 0 gives a finite value that callers discard.
inline float SplineLn( float x )
{
   constexpr float smallestNormal = std::numeric_limits<float>::min();
   constexpr uint32_t sqrtHalfBits = 0x3f3504f3; // sqrt(1/2)
   const bool subnormal = x < smallestNormal;
   const float scale = subnormal ? 8388608.0f : 1.0f; // 2^23
   const uint32_t bits = std::bit_cast<uint32_t>( x * scale );
   // The exponent of x relative to [sqrt(1/2), sqrt(2)): floor((bits - bits of sqrt(1/2)) / 2^23).
   const int32_t e = static_cast<int32_t>( bits - sqrtHalfBits ) >> 23;
   const float f = std::bit_cast<float>( bits - ( static_cast<uint32_t>( e ) << 23 ) ) - 1.0f;
   const float ef = static_cast<float>( e - ( subnormal ? 23 : 0 ) );
   // The polynomial by Estrin's scheme: half the dependent steps of Horner's, which is what limits the loops.
   const float f2 = f * f;
   const float f4 = f2 * f2;
   const float f8 = f4 * f4;
   const float q0 = 3.3333331174e-1f - 2.4999993993e-1f * f;
   const float q1 = 2.0000714765e-1f - 1.6668057665e-1f * f;
   const float q2 = 1.4249322787e-1f - 1.2420140846e-1f * f;
   const float q3 = 1.1676998740e-1f - 1.1514610310e-1f * f;
   const float r0 = q0 + q1 * f2;
   const float r1 = q2 + q3 * f2;
   const float p = ( r0 + r1 * f4 ) + 7.0376836292e-2f * f8;
   // The small terms first, then f, then the large e ln 2 part; the independent sums are formed side by side.
   const float small = ef * -2.12194440e-4f - 0.5f * f2;
   const float r = ( f + ( f * ( f2 * p ) + small ) ) + ef * 0.693359375f;
   return ( x < std::numeric_limits<float>::infinity() ) ? r : x;
}

// (r^2)^(m - 1) by repeated multiplication; 1 for m = 1.
inline float KernelPower( float d2, int32_t m )
{
   float p = 1.0f;
   for ( int32_t k = 1; k < m; ++k )
      p = p * d2;
   return p;
}

// v plus the kernel term of a point at squared distance d2 (none at d2 = 0).
inline float AddKernelTerm( float v, float d2, float lnD2, float lambda, float power )
{
   const float sum = lnD2 * lambda * power + v;
   return ( d2 == 0.0f ) ? v : sum;
}

// Squared distance from (px, py) to (x, y), the y part given as dy^2.
inline float SquaredDistance( float x, float px, float dy2 )
{
   const float dx = x - px;
   return dx * dx + dy2;
}

// The low-order polynomial parts, split into what depends on the row (py) and what on the column (px).
inline float Polynomial2( const float* c, float px, float c3py )
{
   return ( c[1] * px + c3py ) + c[0];
}

inline float Polynomial3( const float* c, float px, float c5py, float rowPart )
{
   return ( ( ( c[3] * px + c[1] ) + c5py ) * px + rowPart ) + c[0];
}

inline float Polynomial3RowPart( const float* c, float py )
{
   return ( c[5] * py + c[2] ) * py;
}

// Term of monomial x^a y^b (a + b >= 1) with coefficient cj, from the powers px^a and py^b.
inline float MonomialTerm( float cj, int32_t a, int32_t b, float pxa, float pyb )
{
   if ( b == 0 )
      return cj * pxa;
   if ( a == 0 )
      return cj * pyb;
   return pxa * cj * pyb;
}

// ---------------------------------------------------------------------------------------------------------------
// Monomials of the polynomial part

// Defines monomial `index` (0-based, >= 1) of the graded order from monomial index - 1: after y^d comes x^(d+1),
// whose parent is x^d (times x); after x^a y^b (a > 0) comes x^(a-1) y^(b+1), whose parent is x^(a-1) y^b (times
// y). Writes its exponents and the 0-based index of its parent; answers 1 for a product by x, 0 for one by y.
int32_t FindNextMonomial( int32_t index, int32_t* xExponents, int32_t* yExponents, int32_t& parent )
{
   const int32_t a = xExponents[index - 1];
   const int32_t b = yExponents[index - 1];
   const int32_t degree = a + b;
   if ( a == 0 )
   {
      xExponents[index] = degree + 1;
      yExponents[index] = 0;
      parent = degree * ( degree + 1 ) / 2; // x^degree, first of its degree
      return 1;
   }
   xExponents[index] = a - 1;
   yExponents[index] = b + 1;
   parent = ( degree - 1 ) * degree / 2 + b; // x^(a-1) y^b
   return 0;
}

struct Monomials
{
   std::vector<int32_t> xExponents, yExponents, parents;
   std::vector<bool> timesX;

   explicit Monomials( int32_t m )
   {
      const size_t count = size_t( m ) * size_t( m + 1 ) / 2;
      xExponents.assign( count, 0 );
      yExponents.assign( count, 0 );
      parents.assign( count, 0 );
      timesX.assign( count, false );
      for ( size_t k = 1; k < count; ++k )
         timesX[k] = FindNextMonomial( int32_t( k ), xExponents.data(), yExponents.data(), parents[k] ) != 0;
   }
};

// ---------------------------------------------------------------------------------------------------------------
// The linear system

// Packed position (0-based) of the element at row i, column j, both counted from 1, i <= j.
inline int64_t PackedIndex( int64_t i, int64_t j )
{
   return i + j * ( j - 1 ) / 2 - 1;
}

// Columns n + 1 ... n + M: the monomial values at every point, each from its parent's column times x or y; the
// zero block below stays as allocated.
void BuildPolynomialBlock( int32_t n, int32_t m, const float* x, float* matrix, const float* y )
{
   const Monomials monomials( m );
   const int64_t first = int64_t( n ) + 1;
   for ( int64_t i = 1; i <= n; ++i )
      matrix[PackedIndex( i, first )] = 1.0f;
   for ( size_t k = 1; k < monomials.parents.size(); ++k )
   {
      const int64_t column = first + int64_t( k );
      const int64_t parentColumn = first + monomials.parents[k];
      const float* factor = monomials.timesX[k] ? x : y;
      for ( int64_t i = 1; i <= n; ++i )
         matrix[PackedIndex( i, column )] = matrix[PackedIndex( i, parentColumn )] * factor[i - 1];
   }
}

// Rows and columns 1 ... n: the kernel between every pair of points (computed in double, rounded once to float),
// and on the diagonal the smoothing (divided by the point's weight when there are weights).
void BuildKernelBlock( int32_t n, int32_t m, const float* x, float* matrix, const float* weights, float smoothing,
                       const float* y )
{
   for ( int64_t i = 1; i <= n; ++i )
   {
      for ( int64_t k = 1; k < i; ++k )
      {
         const float dy = y[k - 1] - y[i - 1];
         const float dx = x[k - 1] - x[i - 1];
         const float r2 = dx * dx + dy * dy;
         float entry = 0.0f;
         if ( r2 != 0.0f )
            entry = static_cast<float>( Ln( static_cast<double>( r2 ) ) * PowI( r2, m - 1 ) );
         matrix[PackedIndex( k, i )] = entry;
      }
      float diagonal = 0.0f;
      if ( smoothing != 0.0f )
         diagonal = ( weights != nullptr ) ? smoothing / weights[i - 1] : smoothing;
      matrix[PackedIndex( i, i )] = diagonal;
   }
}

// Whether the points determine a polynomial of total degree below m, that is, whether the n x M matrix of monomial
// values has full column rank; without that the system is singular, though rounding may hide it from the
// condition estimate. Checked in double on centred and scaled coordinates by Gram-Schmidt (twice per column): a
// column whose remainder is below `tolerance` of its own size depends on the columns before it.
bool PolynomialPartIsDetermined( int32_t n, int32_t m, const float* x, const float* y )
{
   // Counted before the monomial tables are built, so that an order far too high for the points costs nothing.
   const size_t count = size_t( m ) * size_t( m + 1 ) / 2;
   if ( size_t( n ) < count )
      return false;
   const Monomials monomials( m );
   if ( count == 1 )
      return true;

   double meanX = 0, meanY = 0;
   for ( int32_t i = 0; i < n; ++i )
   {
      meanX += x[i];
      meanY += y[i];
   }
   meanX /= n;
   meanY /= n;
   double spread = 0;
   for ( int32_t i = 0; i < n; ++i )
      spread = std::max( { spread, std::fabs( x[i] - meanX ), std::fabs( y[i] - meanY ) } );
   if ( spread == 0 )
      return false;

   constexpr double tolerance = 1e-5;
   std::vector<double> basis( count * size_t( n ) ); // orthonormal columns found so far
   for ( size_t k = 0; k < count; ++k )
   {
      double* column = basis.data() + k * size_t( n );
      for ( int32_t i = 0; i < n; ++i )
      {
         const double u = ( x[i] - meanX ) / spread;
         const double v = ( y[i] - meanY ) / spread;
         column[i] = std::pow( u, monomials.xExponents[k] ) * std::pow( v, monomials.yExponents[k] );
      }
      double size = 0;
      for ( int32_t i = 0; i < n; ++i )
         size += column[i] * column[i];
      size = std::sqrt( size );
      if ( size == 0 )
         return false;
      for ( int pass = 0; pass < 2; ++pass )
         for ( size_t j = 0; j < k; ++j )
         {
            const double* q = basis.data() + j * size_t( n );
            double dot = 0;
            for ( int32_t i = 0; i < n; ++i )
               dot += q[i] * column[i];
            for ( int32_t i = 0; i < n; ++i )
               column[i] -= dot * q[i];
         }
      double rest = 0;
      for ( int32_t i = 0; i < n; ++i )
         rest += column[i] * column[i];
      rest = std::sqrt( rest );
      if ( !( rest > tolerance * size ) )
         return false;
      for ( int32_t i = 0; i < n; ++i )
         column[i] /= rest;
   }
   return true;
}

// Whether two points share a position. Without smoothing their rows of the system are then identical, so the
// system is singular, but rounding in the factorisation can hide that from the condition estimate.
bool HasCoincidentPoints( int32_t n, const float* x, const float* y )
{
   std::vector<std::pair<float, float>> points( size_t( std::max( n, 0 ) ) );
   for ( int32_t i = 0; i < n; ++i )
      points[size_t( i )] = { x[i], y[i] };
   std::sort( points.begin(), points.end() );
   return std::adjacent_find( points.begin(), points.end() ) != points.end();
}

bool AllFinite( const float* v, int64_t count )
{
   for ( int64_t i = 0; i < count; ++i )
      if ( !std::isfinite( v[i] ) )
         return false;
   return true;
}

// ---------------------------------------------------------------------------------------------------------------
// Grid evaluation

struct GridJob
{
   int32_t n;
   int32_t m;
   const float* x;
   const float* y;
   std::span<const float* const> coefficients;
   std::span<const float> columns;
   std::span<const float> rows;
   std::span<float* const> outputs;
   const Monomials* monomials;      // m >= 4
   std::vector<float> columnPowers; // m >= 4: px^a for a = 1 ... m - 1, one run of columns per exponent
};

// Columns per block: the output rows of every spline and the block's temporaries stay in the first-level cache.
constexpr int64_t blockSize = 512;

// Adds the kernel sums of one block of columns of one row to out[s] for every spline s. Order is the order m when
// known at compile time (the power then unrolls and everything stays in registers), 0 for any other order. With
// several splines, the logarithm and the power of each distance are computed once for all of them.
template <int32_t Order>
[[gnu::always_inline]] inline void AddKernelBlock( const GridJob& job, const float* dy2, const float* px,
                                                   float* const* out, int64_t width )
{
   const int32_t m = ( Order > 0 ) ? Order : job.m;
   const size_t splines = job.coefficients.size();
   if ( Order > 0 && splines == 1 )
   {
      const float* lambda = job.coefficients[0];
      float* o = out[0];
      for ( int32_t i = 0; i < job.n; ++i )
      {
         const float xi = job.x[i];
         const float dyi = dy2[i];
         const float li = lambda[i];
         for ( int64_t c = 0; c < width; ++c )
         {
            const float d2 = SquaredDistance( xi, px[c], dyi );
            o[c] = AddKernelTerm( o[c], d2, SplineLn( d2 ), li, KernelPower( d2, Order ) );
         }
      }
      return;
   }

   float d2[blockSize], lnD2[blockSize], power[blockSize];
   for ( int32_t i = 0; i < job.n; ++i )
   {
      const float xi = job.x[i];
      const float dyi = dy2[i];
      for ( int64_t c = 0; c < width; ++c )
      {
         const float d = SquaredDistance( xi, px[c], dyi );
         d2[c] = d;
         lnD2[c] = SplineLn( d );
         power[c] = KernelPower( d, Order > 0 ? Order : 1 );
      }
      if ( Order == 0 )
         for ( int32_t k = 1; k < m; ++k )
            for ( int64_t c = 0; c < width; ++c )
               power[c] = power[c] * d2[c];
      for ( size_t s = 0; s < splines; ++s )
      {
         const float li = job.coefficients[s][i];
         float* o = out[s];
         for ( int64_t c = 0; c < width; ++c )
            o[c] = AddKernelTerm( o[c], d2[c], lnD2[c], li, power[c] );
      }
   }
}

// AddKernelBlock for the order of the job: compiled for each of the given orders, generic for the others.
template <int32_t... Orders>
[[gnu::always_inline]] inline void AddKernelBlockOfOrder( std::integer_sequence<int32_t, Orders...>, const GridJob& job,
                                                          const float* dy2, const float* px, float* const* out,
                                                          int64_t width )
{
   const bool done = ( ( job.m == Orders && ( AddKernelBlock<Orders>( job, dy2, px, out, width ), true ) ) || ... );
   if ( !done )
      AddKernelBlock<0>( job, dy2, px, out, width );
}

// The polynomial part of one block of columns of one row, for spline s.
[[gnu::always_inline]] inline void PolynomialBlock( const GridJob& job, const float* c, float py, const float* pyPowers,
                                                    int64_t c0, float* out, int64_t width )
{
   const float* px = job.columns.data() + c0;
   switch ( job.m )
   {
   case 1:
      for ( int64_t k = 0; k < width; ++k )
         out[k] = c[0];
      break;
   case 2:
   {
      const float c3py = c[2] * py;
      for ( int64_t k = 0; k < width; ++k )
         out[k] = Polynomial2( c, px[k], c3py );
      break;
   }
   case 3:
   {
      const float c5py = c[4] * py;
      const float rowPart = Polynomial3RowPart( c, py );
      for ( int64_t k = 0; k < width; ++k )
         out[k] = Polynomial3( c, px[k], c5py, rowPart );
      break;
   }
   default:
   {
      for ( int64_t k = 0; k < width; ++k )
         out[k] = c[0];
      const int64_t gridWidth = int64_t( job.columns.size() );
      const Monomials& mono = *job.monomials;
      for ( size_t j = 1; j < mono.xExponents.size(); ++j )
      {
         const int32_t a = mono.xExponents[j];
         const int32_t b = mono.yExponents[j];
         const float cj = c[j];
         const float pyb = pyPowers[b];
         if ( a == 0 )
         {
            const float term = MonomialTerm( cj, a, b, 1.0f, pyb );
            for ( int64_t k = 0; k < width; ++k )
               out[k] = out[k] + term;
         }
         else
         {
            const float* pxa = job.columnPowers.data() + ( a - 1 ) * gridWidth + c0;
            for ( int64_t k = 0; k < width; ++k )
               out[k] = out[k] + MonomialTerm( cj, a, b, pxa[k], pyb );
         }
      }
   }
   }
}

// Rows [r0, r1) of every spline. Compiled for several instruction sets, with the block functions forced inline so
// that they are compiled for each too; the arithmetic is the same in each.
__attribute__( ( target_clones( "avx512f", "avx2", "default" ) ) ) void EvaluateRows( const GridJob& job, int64_t r0,
                                                                                      int64_t r1 )
{
   const int64_t width = int64_t( job.columns.size() );
   const size_t splines = job.coefficients.size();
   std::vector<float> dy2( size_t( job.n ) );
   std::vector<float> pyPowers( size_t( std::max( job.m, 1 ) ) );
   std::vector<float*> out( splines );
   for ( int64_t r = r0; r < r1; ++r )
   {
      const float py = job.rows[size_t( r )];
      for ( int32_t i = 0; i < job.n; ++i )
      {
         const float dy = job.y[i] - py;
         dy2[size_t( i )] = dy * dy;
      }
      for ( int32_t b = 0; b < job.m; ++b )
         pyPowers[size_t( b )] = PowI( py, b );
      for ( int64_t c0 = 0; c0 < width; c0 += blockSize )
      {
         const int64_t w = std::min( blockSize, width - c0 );
         for ( size_t s = 0; s < splines; ++s )
         {
            out[s] = job.outputs[s] + r * width + c0;
            PolynomialBlock( job, job.coefficients[s] + job.n, py, pyPowers.data(), c0, out[s], w );
         }
         const float* px = job.columns.data() + c0;
         AddKernelBlockOfOrder( std::integer_sequence<int32_t, 1, 2, 3, 4, 5>(), job, dy2.data(), px, out.data(), w );
      }
   }
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------

int64_t SurfaceSplineCoefficientCount( int32_t n, int32_t m )
{
   return int64_t( n ) + int64_t( m ) * ( int64_t( m ) + 1 ) / 2;
}

void GenerateSurfaceSplines( int32_t n, const float* x, const float* y, std::span<const float* const> values, int32_t m,
                             float smoothing, const float* weights, std::span<float* const> coefficients )
{
   if ( m < 1 || n < 0 || values.size() != coefficients.size() )
      throw GenericException( invalidText );
   const bool weighted = weights != nullptr && smoothing != 0.0f;
   bool valid = AllFinite( x, n ) && AllFinite( y, n ) && std::isfinite( smoothing );
   for ( const float* z : values )
      valid = valid && AllFinite( z, n );
   if ( valid && weighted )
      for ( int32_t i = 0; i < n && valid; ++i )
         valid = weights[i] > 0.0f && std::isfinite( weights[i] );
   if ( !valid )
      throw GenericException( "Invalid data in 2-D interpolation surface spline generator" );

   const int64_t size = SurfaceSplineCoefficientCount( n, m );
   if ( size > std::numeric_limits<int32_t>::max() )
      throw std::bad_alloc();
   const int32_t N = int32_t( size );
   if ( !PolynomialPartIsDetermined( n, m, x, y ) || ( smoothing == 0.0f && HasCoincidentPoints( n, x, y ) ) )
      throw GenericException( singularText );

   std::vector<float> matrix( size_t( size * ( size + 1 ) / 2 ), 0.0f );
   std::vector<int32_t> pivots( static_cast<size_t>( N ) );
   BuildPolynomialBlock( n, m, x, matrix.data(), y );
   BuildKernelBlock( n, m, x, matrix.data(), weighted ? weights : nullptr, smoothing, y );

   // The decision follows the single-precision estimate; the solution itself comes from the same system
   // factored in double, which the ill-conditioned systems of the higher orders need.
   std::vector<double> wide( matrix.begin(), matrix.end() );
   float rcond = 0.0f;
   SSPCO( matrix.data(), N, pivots.data(), rcond );
   // 1 + rcond == 1 in extended precision, or no estimate at all (NaN).
   if ( !( rcond > 0x1p-64f ) )
      throw GenericException( singularText );
   SSPFA( wide.data(), N, pivots.data() );

   // Every solution first, so that a failure writes nothing.
   std::vector<std::vector<float>> solutions;
   for ( const float* z : values )
   {
      std::vector<double> solution( static_cast<size_t>( N ), 0.0 );
      std::copy( z, z + n, solution.begin() );
      SSPSL( wide.data(), N, pivots.data(), solution.data() );
      solutions.emplace_back( solution.begin(), solution.end() );
      if ( !AllFinite( solutions.back().data(), N ) )
         throw GenericException( singularText );
   }
   for ( size_t k = 0; k < solutions.size(); ++k )
      std::copy( solutions[k].begin(), solutions[k].end(), coefficients[k] );
}

void GenerateSurfaceSpline( int32_t n, const float* x, const float* y, const float* z, int32_t m, float smoothing,
                            const float* weights, float* coefficients )
{
   GenerateSurfaceSplines( n, x, y, std::span<const float* const>( &z, 1 ), m, smoothing, weights,
                           std::span<float* const>( &coefficients, 1 ) );
}

float EvaluateSurfaceSpline( int32_t n, int32_t m, const float* x, float px, float py, const float* y,
                             const float* coefficients )
{
   if ( m < 1 || n < 0 )
      throw GenericException( invalidText );
   const float* lambda = coefficients;
   const float* c = coefficients + n;
   float v;
   switch ( m )
   {
   case 1:
      v = c[0];
      break;
   case 2:
      v = Polynomial2( c, px, c[2] * py );
      break;
   case 3:
      v = Polynomial3( c, px, c[4] * py, Polynomial3RowPart( c, py ) );
      break;
   default:
   {
      // Graded order: by degree, and within a degree by decreasing power of x.
      v = c[0];
      int32_t j = 1;
      for ( int32_t degree = 1; degree < m; ++degree )
         for ( int32_t a = degree; a >= 0; --a, ++j )
         {
            const int32_t b = degree - a;
            v = v + MonomialTerm( c[j], a, b, PowI( px, a ), PowI( py, b ) );
         }
   }
   }
   for ( int32_t i = 0; i < n; ++i )
   {
      const float dy = y[i] - py;
      const float d2 = SquaredDistance( x[i], px, dy * dy );
      v = AddKernelTerm( v, d2, SplineLn( d2 ), lambda[i], KernelPower( d2, m ) );
   }
   return v;
}

bool EvaluateSurfaceSplineGrid( int32_t n, int32_t m, const float* x, const float* y,
                                std::span<const float* const> coefficients, std::span<const float> columns,
                                std::span<const float> rows, std::span<float* const> outputs, StatusCallback* monitor,
                                int64_t unitsPerRow )
{
   if ( m < 1 || n < 0 || coefficients.size() != outputs.size() )
      throw GenericException( invalidText );
   if ( coefficients.empty() || columns.empty() || rows.empty() )
      return true;

   GridJob job{ n, m, x, y, coefficients, columns, rows, outputs, nullptr, {} };
   std::unique_ptr<Monomials> monomials;
   if ( m >= 4 )
   {
      monomials = std::make_unique<Monomials>( m );
      job.monomials = monomials.get();
      const size_t width = columns.size();
      job.columnPowers.resize( size_t( m - 1 ) * width );
      for ( int32_t a = 1; a < m; ++a )
         for ( size_t k = 0; k < width; ++k )
            job.columnPowers[size_t( a - 1 ) * width + k] = PowI( columns[k], a );
   }
   return ParallelFor(
       int64_t( rows.size() ), [&job]( int64_t r0, int64_t r1 ) { EvaluateRows( job, r0, r1 ); }, monitor,
       unitsPerRow );
}

} // namespace qor
