#include "LinearSolver.h"

#include <cmath>
#include <utility>
#include <vector>

namespace qor
{

namespace
{

// A view of a 0-based array through the 1-based element numbers in which the algorithms are written, so that the
// index arithmetic stays the published one: a[k] is the array's element k - 1, a.At(k) its address.
template <typename T> class OneBased
{
public:
   explicit OneBased( T* data ) : data( data ) {}
   T& operator[]( int64_t k ) const { return data[k - 1]; }
   T* At( int64_t k ) const { return data + ( k - 1 ); }

private:
   T* data;
};

// Start of column k in the packed upper triangle, minus one: k (k - 1) / 2.
inline int64_t ColumnBase( int64_t k )
{
   return k * ( k - 1 ) / 2;
}

// Bunch-Kaufman threshold (1 + sqrt(17)) / 8, rounded once to the working type.
template <typename T> T Alpha()
{
   static const T alpha = static_cast<T>( ( 1.0L + std::sqrt( 17.0L ) ) / 8.0L );
   return alpha;
}

// The 2x2 pivot block at rows k - 1, k of the factor: with e the off-diagonal entry, solves the block for (bkm1, bk)
// in place the way LINPACK does, through the ratios of the diagonal entries to e.
template <typename T> inline void SolvePivotBlock( OneBased<const T> ap, int64_t ik, int64_t k, T& bkm1, T& bk )
{
   const int64_t kk = ik + k;
   const int64_t km1k = ik + k - 1;
   const T ak = ap[kk] / ap[km1k];
   const T akm1 = ap[ik] / ap[km1k]; // ap[ik] is a(k - 1, k - 1)
   const T sk = bk / ap[km1k];
   const T skm1 = bkm1 / ap[km1k];
   const T denom = ak * akm1 - T( 1 );
   bk = ( akm1 * sk - skm1 ) / denom;
   bkm1 = ( ak * skm1 - sk ) / denom;
}

// ---------------------------------------------------------------------------------------------------------------
// BLAS level 1

template <typename T> int32_t IsamaxT( int32_t n, const T* x )
{
   if ( n < 1 )
      return 0;
   int32_t best = 1;
   T largest = std::fabs( x[0] );
   for ( int32_t i = 1; i < n; ++i )
      if ( std::fabs( x[i] ) > largest )
      {
         best = i + 1;
         largest = std::fabs( x[i] );
      }
   return best;
}

template <typename T> T SasumT( int32_t n, const T* x )
{
   T sum = T( 0 );
   for ( int32_t i = 0; i < n; ++i )
      sum += std::fabs( x[i] );
   return sum;
}

template <typename T> T SdotT( int32_t n, const T* x, const T* y )
{
   T sum = T( 0 );
   for ( int32_t i = 0; i < n; ++i )
      sum += x[i] * y[i];
   return sum;
}

template <typename T> void SaxpyT( int32_t n, T a, const T* x, T* y )
{
   if ( a == T( 0 ) )
      return;
   for ( int32_t i = 0; i < n; ++i )
      y[i] += a * x[i];
}

template <typename T> void SswapT( int32_t n, T* x, T* y )
{
   for ( int32_t i = 0; i < n; ++i )
      std::swap( x[i], y[i] );
}

template <typename T> void SscalT( int32_t n, T a, T* x )
{
   for ( int32_t i = 0; i < n; ++i )
      x[i] *= a;
}

template <typename T> void AddAbsValuesT( T* z, const T* v, int32_t count )
{
   for ( int32_t i = 0; i < count; ++i )
      z[i] += std::fabs( v[i] );
}

template <typename T> void ClearVectorT( T* v, int32_t count )
{
   for ( int32_t i = 0; i < count; ++i )
      v[i] = T( 0 );
}

// ---------------------------------------------------------------------------------------------------------------
// Factorisation

// Symmetric interchange of rows and columns imax < c within columns 1 ... c: the first imax entries of columns
// imax and c change places, then a(j, c) and a(imax, j) for j = c down to imax. In all, the diagonal entries
// a(imax, imax) and a(c, c) change places and a(imax, c) stays where it was.
template <typename T> void Interchange( OneBased<T> ap, int64_t imax, int64_t c )
{
   const int64_t im = ColumnBase( imax );
   const int64_t ic = ColumnBase( c );
   SswapT( int32_t( imax ), ap.At( im + 1 ), ap.At( ic + 1 ) );
   int64_t imj = ic + imax;
   for ( int64_t jj = imax; jj <= c; ++jj )
   {
      const int64_t j = c + imax - jj;
      std::swap( ap[ic + j], ap[imj] );
      imj = imj - ( j - 1 );
   }
}

template <typename T> int32_t SspfaT( T* apData, int32_t n, int32_t* kpvtData )
{
   OneBased<T> ap( apData );
   OneBased<int32_t> kpvt( kpvtData );
   const T alpha = Alpha<T>();

   int32_t info = 0;
   int64_t k = n;
   int64_t ik = ColumnBase( n );
   while ( k > 0 )
   {
      if ( k == 1 )
      {
         kpvt[1] = 1;
         if ( ap[1] == T( 0 ) )
            info = 1;
         break;
      }

      // Choice of the pivot block. The tests are written as LINPACK writes them ("go on unless smaller"), which
      // also decides what a NaN does.
      const int64_t km1 = k - 1;
      const int64_t kk = ik + k;
      const T absakk = std::fabs( ap[kk] );
      const int64_t imax = IsamaxT( int32_t( k - 1 ), ap.At( ik + 1 ) );
      const int64_t imk = ik + imax;
      const T colmax = std::fabs( ap[imk] );
      int64_t kstep = 1;
      bool swap = false;
      int64_t im = 0;
      if ( absakk < alpha * colmax )
      {
         // Largest off-diagonal magnitude of row (and column) imax.
         T rowmax = T( 0 );
         im = ColumnBase( imax );
         int64_t imj = im + 2 * imax;
         for ( int64_t j = imax + 1; j <= k; ++j )
         {
            rowmax = std::fmax( rowmax, std::fabs( ap[imj] ) );
            imj = imj + j;
         }
         if ( imax != 1 )
         {
            const int64_t jmax = IsamaxT( int32_t( imax - 1 ), ap.At( im + 1 ) );
            rowmax = std::fmax( rowmax, std::fabs( ap[im + jmax] ) );
         }
         const int64_t imim = imax + im;
         if ( !( std::fabs( ap[imim] ) < alpha * rowmax ) )
            swap = true;
         else if ( !( absakk < alpha * colmax * ( colmax / rowmax ) ) )
            swap = false;
         else
         {
            kstep = 2;
            swap = imax != km1;
         }
      }

      if ( absakk == T( 0 ) && colmax == T( 0 ) )
      {
         // Column k is zero: nothing to eliminate, the factorisation is singular.
         kpvt[k] = int32_t( k );
         info = int32_t( k );
      }
      else if ( kstep == 1 )
      {
         if ( swap )
            Interchange( ap, imax, k );
         // Elimination with the 1x1 pivot a(k, k).
         int64_t ij = ik - ( k - 1 );
         for ( int64_t jj = 1; jj <= km1; ++jj )
         {
            const int64_t j = k - jj;
            const int64_t jk = ik + j;
            const T mulk = -ap[jk] / ap[kk];
            SaxpyT( int32_t( j ), mulk, ap.At( ik + 1 ), ap.At( ij + 1 ) );
            ap[jk] = mulk;
            ij = ij - ( j - 1 );
         }
         kpvt[k] = int32_t( swap ? imax : k );
      }
      else
      {
         const int64_t km1k = ik + k - 1;
         const int64_t ikm1 = ik - ( k - 1 );
         if ( swap )
         {
            Interchange( ap, imax, km1 );
            std::swap( ap[km1k], ap[imk] );
         }
         // Elimination with the 2x2 pivot block of rows k - 1 and k.
         const int64_t km2 = k - 2;
         if ( km2 != 0 )
         {
            const T ak = ap[kk] / ap[km1k];
            const T akm1 = ap[ik] / ap[km1k];
            const T denom = T( 1 ) - ak * akm1;
            int64_t ij = ik - ( k - 1 ) - ( k - 2 );
            for ( int64_t jj = 1; jj <= km2; ++jj )
            {
               const int64_t j = km1 - jj;
               const int64_t jk = ik + j;
               const int64_t jkm1 = ikm1 + j;
               const T bk = ap[jk] / ap[km1k];
               const T bkm1 = ap[jkm1] / ap[km1k];
               const T mulk = ( akm1 * bk - bkm1 ) / denom;
               const T mulkm1 = ( ak * bkm1 - bk ) / denom;
               SaxpyT( int32_t( j ), mulk, ap.At( ik + 1 ), ap.At( ij + 1 ) );
               SaxpyT( int32_t( j ), mulkm1, ap.At( ikm1 + 1 ), ap.At( ij + 1 ) );
               ap[jk] = mulk;
               ap[jkm1] = mulkm1;
               ij = ij - ( j - 1 );
            }
         }
         kpvt[k] = int32_t( swap ? -imax : 1 - k );
         kpvt[k - 1] = kpvt[k];
      }

      ik = ik - ( k - 1 );
      if ( kstep == 2 )
         ik = ik - ( k - 2 );
      k = k - kstep;
   }
   return info;
}

// ---------------------------------------------------------------------------------------------------------------
// Solution

template <typename T> void SolveTransposedFactorT( const T* apData, int32_t n, const int32_t* kpvtData, T* bData )
{
   OneBased<const T> ap( apData );
   OneBased<const int32_t> kpvt( kpvtData );
   OneBased<T> b( bData );
   int64_t k = 1;
   int64_t ik = 0;
   while ( k <= n )
   {
      if ( kpvt[k] >= 0 )
      {
         if ( k != 1 )
         {
            b[k] = b[k] + SdotT( int32_t( k - 1 ), ap.At( ik + 1 ), b.At( 1 ) );
            const int64_t kp = kpvt[k];
            if ( kp != k )
               std::swap( b[k], b[kp] );
         }
         ik = ik + k;
         k = k + 1;
      }
      else
      {
         if ( k != 1 )
         {
            b[k] = b[k] + SdotT( int32_t( k - 1 ), ap.At( ik + 1 ), b.At( 1 ) );
            b[k + 1] = b[k + 1] + SdotT( int32_t( k - 1 ), ap.At( ik + k + 1 ), b.At( 1 ) );
            const int64_t kp = std::abs( kpvt[k] );
            if ( kp != k )
               std::swap( b[k], b[kp] );
         }
         ik = ik + k + k + 1;
         k = k + 2;
      }
   }
}

template <typename T> void SsplT( const T* apData, int32_t n, const int32_t* kpvtData, T* bData )
{
   OneBased<const T> ap( apData );
   OneBased<const int32_t> kpvt( kpvtData );
   OneBased<T> b( bData );

   // Backward sweep: the transformations and D^-1.
   int64_t k = n;
   int64_t ik = ColumnBase( n );
   while ( k > 0 )
   {
      const int64_t kk = ik + k;
      if ( kpvt[k] >= 0 )
      {
         if ( k != 1 )
         {
            const int64_t kp = kpvt[k];
            if ( kp != k )
               std::swap( b[k], b[kp] );
            SaxpyT( int32_t( k - 1 ), b[k], ap.At( ik + 1 ), b.At( 1 ) );
         }
         b[k] = b[k] / ap[kk];
         k = k - 1;
         ik = ik - k;
      }
      else
      {
         const int64_t ikm1 = ik - ( k - 1 );
         if ( k != 2 )
         {
            const int64_t kp = std::abs( kpvt[k] );
            if ( kp != k - 1 )
               std::swap( b[k - 1], b[kp] );
            SaxpyT( int32_t( k - 2 ), b[k], ap.At( ik + 1 ), b.At( 1 ) );
            SaxpyT( int32_t( k - 2 ), b[k - 1], ap.At( ikm1 + 1 ), b.At( 1 ) );
         }
         SolvePivotBlock( ap, ik, k, b[k - 1], b[k] );
         k = k - 2;
         ik = ik - ( k + 1 ) - k;
      }
   }

   SolveTransposedFactorT( apData, n, kpvtData, bData );
}

// ---------------------------------------------------------------------------------------------------------------
// Condition estimate

// The backward sweep of the condition estimate: solves U D w = z, scaling z down whenever a 1x1 pivot would make
// it grow. With chooseSigns, the right-hand side is built on the way as e = (+-ek), each sign chosen to make w
// large, and the scale factors are folded into ek; otherwise z is the right-hand side and the scale factors are
// folded into `scale`.
template <typename T>
void ConditionSweep( OneBased<const T> ap, int32_t n, OneBased<const int32_t> kpvt, T* zData, bool chooseSigns,
                     T& scale )
{
   OneBased<T> z( zData );
   T ek = T( 1 );
   int64_t k = n;
   int64_t ik = ColumnBase( n );
   while ( k > 0 )
   {
      const int64_t kk = ik + k;
      const int64_t ikm1 = ik - ( k - 1 );
      const int64_t ks = ( kpvt[k] < 0 ) ? 2 : 1;
      if ( chooseSigns || k != ks )
      {
         const int64_t kp = std::abs( kpvt[k] );
         const int64_t kps = k + 1 - ks;
         if ( kp != kps )
            std::swap( z[kps], z[kp] );
         if ( chooseSigns )
         {
            if ( z[k] != T( 0 ) )
               ek = std::copysign( ek, z[k] );
            z[k] = z[k] + ek;
         }
         SaxpyT( int32_t( k - ks ), z[k], ap.At( ik + 1 ), z.At( 1 ) );
         if ( ks == 2 )
         {
            if ( chooseSigns )
            {
               if ( z[k - 1] != T( 0 ) )
                  ek = std::copysign( ek, z[k - 1] );
               z[k - 1] = z[k - 1] + ek;
            }
            SaxpyT( int32_t( k - ks ), z[k - 1], ap.At( ikm1 + 1 ), z.At( 1 ) );
         }
      }
      if ( ks == 1 )
      {
         if ( std::fabs( z[k] ) > std::fabs( ap[kk] ) )
         {
            const T s = std::fabs( ap[kk] ) / std::fabs( z[k] );
            SscalT( n, s, z.At( 1 ) );
            if ( chooseSigns )
               ek = s * ek;
            else
               scale = s * scale;
         }
         if ( ap[kk] != T( 0 ) )
            z[k] = z[k] / ap[kk];
         else
            z[k] = T( 1 );
      }
      else
      {
         SolvePivotBlock( ap, ik, k, z[k - 1], z[k] );
      }
      k = k - ks;
      ik = ik - k;
      if ( ks == 2 )
         ik = ik - ( k + 1 );
   }
}

// Scales z to unit 1-norm; answers the factor.
template <typename T> T Normalise( int32_t n, T* z )
{
   const T s = T( 1 ) / SasumT( n, z );
   SscalT( n, s, z );
   return s;
}

template <typename T> void SspcoT( T* apData, int32_t n, int32_t* kpvtData, T& rcond )
{
   OneBased<T> ap( apData );
   std::vector<T> work( size_t( n > 0 ? n : 0 ) );
   T* z = work.data();

   // 1-norm of A: every off-diagonal element counts in its column and in its row.
   int64_t j1 = 1;
   for ( int64_t j = 1; j <= n; ++j )
   {
      z[j - 1] = SasumT( int32_t( j ), ap.At( j1 ) );
      if ( j > 1 )
         AddAbsValuesT( z, ap.At( j1 ), int32_t( j - 1 ) );
      j1 = j1 + j;
   }
   T anorm = T( 0 );
   for ( int32_t j = 0; j < n; ++j )
      if ( z[j] > anorm )
         anorm = z[j];

   SspfaT( apData, n, kpvtData );

   // rcond = |y| / (|A| |z|) with A z = y and A' y = e, e chosen so that y grows as fast as it can; the norms are
   // kept in scale factors instead of in the vectors, so that nothing overflows.
   OneBased<const T> factor( apData );
   OneBased<const int32_t> kpvt( kpvtData );
   T unused = T( 1 );
   ClearVectorT( z, n );
   ConditionSweep( factor, n, kpvt, z, true, unused ); // U D w = e
   Normalise( n, z );
   SolveTransposedFactorT( apData, n, kpvtData, z ); // U' y = w
   Normalise( n, z );
   T ynorm = T( 1 );
   ConditionSweep( factor, n, kpvt, z, false, ynorm ); // U D v = y
   ynorm = Normalise( n, z ) * ynorm;
   SolveTransposedFactorT( apData, n, kpvtData, z ); // U' z = v
   ynorm = Normalise( n, z ) * ynorm;

   rcond = ( anorm != T( 0 ) ) ? ynorm / anorm : T( 0 );
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// The routines in float and in double

int32_t ISAMAX( int32_t n, const float* x )
{
   return IsamaxT( n, x );
}
int32_t ISAMAX( int32_t n, const double* x )
{
   return IsamaxT( n, x );
}
float SASUM( int32_t n, const float* x )
{
   return SasumT( n, x );
}
double SASUM( int32_t n, const double* x )
{
   return SasumT( n, x );
}
float SDOT( int32_t n, const float* x, const float* y )
{
   return SdotT( n, x, y );
}
double SDOT( int32_t n, const double* x, const double* y )
{
   return SdotT( n, x, y );
}
void SAXPY( int32_t n, float a, const float* x, float* y )
{
   SaxpyT( n, a, x, y );
}
void SAXPY( int32_t n, double a, const double* x, double* y )
{
   SaxpyT( n, a, x, y );
}
void SSWAP( int32_t n, float* x, float* y )
{
   SswapT( n, x, y );
}
void SSWAP( int32_t n, double* x, double* y )
{
   SswapT( n, x, y );
}
void SSCAL( int32_t n, float a, float* x )
{
   SscalT( n, a, x );
}
void SSCAL( int32_t n, double a, double* x )
{
   SscalT( n, a, x );
}
void AddAbsValues( float* z, const float* v, int32_t count )
{
   AddAbsValuesT( z, v, count );
}
void AddAbsValues( double* z, const double* v, int32_t count )
{
   AddAbsValuesT( z, v, count );
}
void ClearVector( float* v, int32_t count )
{
   ClearVectorT( v, count );
}
void ClearVector( double* v, int32_t count )
{
   ClearVectorT( v, count );
}
int32_t SSPFA( float* ap, int32_t n, int32_t* kpvt )
{
   return SspfaT( ap, n, kpvt );
}
int32_t SSPFA( double* ap, int32_t n, int32_t* kpvt )
{
   return SspfaT( ap, n, kpvt );
}
void SSPCO( float* ap, int32_t n, int32_t* kpvt, float& rcond )
{
   SspcoT( ap, n, kpvt, rcond );
}
void SSPCO( double* ap, int32_t n, int32_t* kpvt, double& rcond )
{
   SspcoT( ap, n, kpvt, rcond );
}
void SSPSL( const float* ap, int32_t n, const int32_t* kpvt, float* b )
{
   SsplT( ap, n, kpvt, b );
}
void SSPSL( const double* ap, int32_t n, const int32_t* kpvt, double* b )
{
   SsplT( ap, n, kpvt, b );
}
void SolveTransposedFactor( const float* ap, int32_t n, const int32_t* kpvt, float* z )
{
   SolveTransposedFactorT( ap, n, kpvt, z );
}
void SolveTransposedFactor( const double* ap, int32_t n, const int32_t* kpvt, double* z )
{
   SolveTransposedFactorT( ap, n, kpvt, z );
}

} // namespace qor
