#include "MinMaxKernel.h"

#include "BoxBorders.h"
#include "Image.h"
#include "MedianKernel.h"
#include "Parallel.h"
#include "VectorFloat8.h"

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#if defined( __SSE2__ )
#include <immintrin.h>
#endif

// The vector helpers below take and return 32-byte vectors; they are always inlined, so the note about the ABI of
// such arguments on targets without AVX does not concern them.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace qor
{

namespace
{

using simd::lanes;
using simd::Load;
using simd::Store;
using simd::v8f;

// b when it beats the running value a (strictly), else a: NaN never wins.
inline __attribute__( ( always_inline ) ) v8f Pick( v8f a, v8f b, bool minimum )
{
   return minimum ? ( b < a ? b : a ) : ( b > a ? b : a );
}

inline float Worst( bool minimum )
{
   return minimum ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
}

#define LF_MINMAX_INLINE inline __attribute__( ( always_inline ) )

// A store of a vector, or one that bypasses the caches (two 16-byte halves: the instruction exists on every x86-64;
// the processor joins them into whole lines).
inline bool CanStream( const float* p )
{
#if defined( __SSE2__ )
   return reinterpret_cast<uintptr_t>( p ) % 16 == 0;
#else
   ( void )p;
   return false;
#endif
}

constexpr int64_t StreamedPlaneBytes = int64_t( 32 ) << 20; // planes written past the caches: 32 MB or more

template <bool Stream> LF_MINMAX_INLINE void Put( float* p, v8f v )
{
#if defined( __SSE2__ )
   if constexpr ( Stream )
   {
      __m128 half[2];
      std::memcpy( half, &v, sizeof( v ) );
      _mm_stream_ps( p, half[0] );
      _mm_stream_ps( p + 4, half[1] );
      return;
   }
#endif
   Store( p, v );
}

// The kernels below take their box sizes as template arguments where they are small (W > 0, N > 0): the loops over
// the run widths and box rows then unroll, and the pointers they use are held in local arrays that no store can
// change. W or N of 0 is the general version, for larger boxes. The order of the picks is the same in every version,
// so they give the same values, to the sign of a zero.
constexpr int32_t MostUnrolledHalfWidth = 4; // boxes up to 9 x 9
constexpr int32_t MostUnrolledRows = 9;

// The runs of a row: for each half-width d in 0 .. widest with a destination, dst[d][i] = the pick of p[i], then
// p[i - 1] and p[i + 1], ... then p[i - d] and p[i + d], grown in registers in one pass over i in [begin, end)
// (whole vectors). p must be readable from begin - widest to end + widest. With raw, p holds the samples as they
// are and the first is taken as Pick( worst, p[i] ): a NaN beside never wins anyway, so the runs are those of the
// samples with NaN taken as the worst value.
template <int32_t W, bool Minimum>
LF_MINMAX_INLINE void GrowRunsBody( float* const* dst, const float* p, int32_t widest, int32_t begin, int32_t end,
                                    bool raw )
{
   constexpr int32_t Slots = W > 0 ? W + 1 : 1;
   const int32_t w = W > 0 ? W : widest;
   float* out[Slots];
   for ( int32_t d = 0; d < Slots; ++d )
      out[d] = dst[d];
   const v8f worst = v8f{} + Worst( Minimum );
   for ( int32_t i = begin; i < end; i += lanes )
   {
      v8f v = Load( p + i );
      if ( raw )
         v = Pick( worst, v, Minimum );
      if ( out[0] != nullptr )
         Store( out[0] + i, v );
      for ( int32_t d = 1; d <= w; ++d )
      {
         v = Pick( Pick( v, Load( p + i - d ), Minimum ), Load( p + i + d ), Minimum );
         float* o = W > 0 ? out[W > 0 ? d : 0] : dst[d];
         if ( o != nullptr )
            Store( o + i, v );
      }
   }
}

template <bool Minimum>
LF_MINMAX_INLINE void GrowRunsOf( float* const* dst, const float* p, int32_t widest, int32_t begin, int32_t end,
                                  bool raw )
{
   switch ( widest )
   {
   case 1:
      return GrowRunsBody<1, Minimum>( dst, p, widest, begin, end, raw );
   case 2:
      return GrowRunsBody<2, Minimum>( dst, p, widest, begin, end, raw );
   case 3:
      return GrowRunsBody<3, Minimum>( dst, p, widest, begin, end, raw );
   case 4:
      static_assert( MostUnrolledHalfWidth == 4 );
      return GrowRunsBody<4, Minimum>( dst, p, widest, begin, end, raw );
   default:
      return GrowRunsBody<0, Minimum>( dst, p, widest, begin, end, raw );
   }
}

__attribute__( ( target_clones( "avx2", "default" ) ) ) void
GrowRuns( float* const* dst, const float* p, int32_t widest, int32_t begin, int32_t end, bool raw, bool minimum )
{
   if ( minimum )
      GrowRunsOf<true>( dst, p, widest, begin, end, raw );
   else
      GrowRunsOf<false>( dst, p, widest, begin, end, raw );
}

// dst[i] = Pick( worst, src[i] ) for i in [0, count): the samples with NaN taken as the worst value.
__attribute__( ( target_clones( "avx2", "default" ) ) ) void
Sanitize( float* dst, const float* src, int32_t count, bool minimum )
{
   const v8f worst = v8f{} + Worst( minimum );
   int32_t i = 0;
   for ( ; i + lanes <= count; i += lanes )
      Store( dst + i, Pick( worst, Load( src + i ), minimum ) );
   for ( ; i < count; ++i )
      dst[i] = minimum ? ( src[i] < Worst( true ) ? src[i] : Worst( true ) )
                       : ( src[i] > Worst( false ) ? src[i] : Worst( false ) );
}

// dst0[i] = the pick of rows[0][offset + i], rows[1][offset + i], ... rows[n-1][offset + i], taken in that order
// (the first as it is: run extrema never hold NaN); with Pair, also dst1[i] from rows[1] .. rows[n]. The n - 1 rows
// both share are picked once; a pick keeps the earlier value when the two are equal, so the grouping gives each row
// what the single version gives it, to the sign of a zero. count is a multiple of the vector width.
template <int32_t N, bool Pair, bool Minimum, bool Stream>
LF_MINMAX_INLINE void CombineBody( float* dst0, float* dst1, const float* const* rows, int32_t n, int32_t offset,
                                   int32_t count )
{
   constexpr int32_t Slots = N > 0 ? N + ( Pair ? 1 : 0 ) : 1;
   const int32_t m = N > 0 ? N : n;
   const float* in[Slots];
   for ( int32_t r = 0; r < Slots; ++r )
      in[r] = rows[r] + offset;
   auto row = [&]( int32_t r ) __attribute__( ( always_inline ) ) { return N > 0 ? in[N > 0 ? r : 0] : rows[r] + offset; };
   for ( int32_t i = 0; i < count; i += lanes )
   {
      if constexpr ( Pair )
      {
         v8f v = Load( row( 1 ) + i );
         for ( int32_t r = 2; r < m; ++r )
            v = Pick( v, Load( row( r ) + i ), Minimum );
         Put<Stream>( dst0 + i, Pick( Load( row( 0 ) + i ), v, Minimum ) );
         Put<Stream>( dst1 + i, Pick( v, Load( row( m ) + i ), Minimum ) );
      }
      else
      {
         v8f v = Load( row( 0 ) + i );
         for ( int32_t r = 1; r < m; ++r )
            v = Pick( v, Load( row( r ) + i ), Minimum );
         Put<Stream>( dst0 + i, v );
      }
   }
}

template <bool Pair, bool Minimum, bool Stream>
LF_MINMAX_INLINE void CombineOf( float* dst0, float* dst1, const float* const* rows, int32_t n, int32_t offset,
                                 int32_t count )
{
   static_assert( MostUnrolledRows == 9 );
   switch ( n )
   {
   case 3:
      return CombineBody<3, Pair, Minimum, Stream>( dst0, dst1, rows, n, offset, count );
   case 5:
      return CombineBody<5, Pair, Minimum, Stream>( dst0, dst1, rows, n, offset, count );
   case 7:
      return CombineBody<7, Pair, Minimum, Stream>( dst0, dst1, rows, n, offset, count );
   case 9:
      return CombineBody<9, Pair, Minimum, Stream>( dst0, dst1, rows, n, offset, count );
   default:
      return CombineBody<0, Pair, Minimum, Stream>( dst0, dst1, rows, n, offset, count );
   }
}

// One row of results, or two (dst1 not null: rows[n] is the next box's last row). Rows of the result plane are
// written past the caches where they are aligned for it (stream): the plane is not read again by this pass, and the
// processor need not fetch each line before overwriting it.
template <bool Stream>
LF_MINMAX_INLINE void CombineRowsOf( float* dst0, float* dst1, const float* const* rows, int32_t n, int32_t offset,
                                     int32_t count, bool minimum )
{
   if ( dst1 != nullptr )
   {
      if ( minimum )
         CombineOf<true, true, Stream>( dst0, dst1, rows, n, offset, count );
      else
         CombineOf<true, false, Stream>( dst0, dst1, rows, n, offset, count );
   }
   else if ( minimum )
      CombineOf<false, true, Stream>( dst0, dst1, rows, n, offset, count );
   else
      CombineOf<false, false, Stream>( dst0, dst1, rows, n, offset, count );
}

__attribute__( ( target_clones( "avx2", "default" ) ) ) void
CombineRows( float* dst0, float* dst1, const float* const* rows, int32_t n, int32_t offset, int32_t count,
             bool minimum, bool stream )
{
   if ( stream && CanStream( dst0 ) && ( dst1 == nullptr || CanStream( dst1 ) ) )
      CombineRowsOf<true>( dst0, dst1, rows, n, offset, count, minimum );
   else
      CombineRowsOf<false>( dst0, dst1, rows, n, offset, count, minimum );
}

int32_t RoundUp( int32_t v, int32_t m )
{
   return ( v + m - 1 ) / m * m;
}

// The box as one horizontal run per row: row i covers columns h - halfWidth[i] .. h + halfWidth[i]. The distinct
// half-widths are the run extrema computed for every image row.
struct Box
{
   int32_t n = 0;
   int32_t h = 0;
   std::vector<int32_t> halfWidth;  // per box row
   std::vector<int32_t> level;      // per box row: index into widths
   std::vector<int32_t> widths;     // distinct half-widths, ascending
   std::vector<int32_t> levelOfRun; // per half-width 0 .. h: index into widths, or -1
};

Box MakeBox( int32_t n, bool circular )
{
   Box box;
   box.n = n;
   box.h = n / 2;
   box.halfWidth.assign( size_t( n ), box.h );
   if ( circular )
   {
      const std::vector<uint8_t> element = CircularStructuringElement( n );
      for ( int32_t i = 0; i < n; ++i )
      {
         int32_t w = 0;
         for ( int32_t j = 0; j < n; ++j )
            if ( element[size_t( i ) * size_t( n ) + size_t( j )] != 0 )
               w = std::max( w, std::abs( j - box.h ) );
         box.halfWidth[size_t( i )] = w;
      }
   }
   box.widths = box.halfWidth;
   std::sort( box.widths.begin(), box.widths.end() );
   box.widths.erase( std::unique( box.widths.begin(), box.widths.end() ), box.widths.end() );
   box.levelOfRun.assign( size_t( box.h + 1 ), -1 );
   for ( size_t k = 0; k < box.widths.size(); ++k )
      box.levelOfRun[size_t( box.widths[k] )] = int32_t( k );
   for ( int32_t w : box.halfWidth )
      box.level.push_back( box.levelOfRun[size_t( w )] );
   return box;
}

// The working storage of one strip: a ring of n image rows, each held as the run extrema of every width the box
// needs, and a padded copy of the row being taken in.
class StripFilter
{
public:
   StripFilter( const Box& box, int32_t width, bool minimum )
      : box( box ), width( width ), count( RoundUp( width, lanes ) ), minimum( minimum )
   {
      const size_t levels = box.widths.size();
      // A ring of n + 1 rows: those of two boxes one row apart.
      storage.assign( size_t( box.n + 1 ) * levels * size_t( count ), 0.0f );
      padded.assign( size_t( count + 2 * box.h + lanes ), 0.0f );
      acc.assign( 2 * size_t( count ), 0.0f );
      rows.resize( size_t( box.n + 1 ) );
      runs.resize( size_t( box.h + 1 ) );
   }

   // Filters rows [y0, y1) of `source` into `result`. A square box of 5 rows or more takes the rows two by two: the
   // two boxes share all their rows but one each. (With 3 rows, the second row written at once costs more than the
   // pick it saves.)
   void Run( const float* source, float* result, int32_t height, int32_t y0, int32_t y1, float amount, bool stream )
   {
      const int32_t n = box.n;
      const int32_t h = box.h;
      for ( int64_t r = int64_t( y0 ) - h; r <= int64_t( y0 ) + h; ++r )
         TakeRow( r, source, height );
      const bool paired = box.widths.size() == 1 && n >= 5;
      const int32_t whole = amount >= 1 ? width / lanes * lanes : 0; // written straight into the result
      for ( int32_t y = y0; y < y1; )
      {
         const int32_t pair = paired && y + 1 < y1 ? 2 : 1;
         if ( pair == 2 )
            TakeRow( int64_t( y ) + h + 1, source, height );
         for ( int32_t i = 0; i < n + pair - 1; ++i )
            rows[size_t( i )] = Level( int64_t( y ) - h + i, box.level[size_t( std::min( i, n - 1 ) )] );
         float* out = result + int64_t( y ) * width;
         if ( pair == 2 )
         {
            CombineRows( out, out + width, rows.data(), n, 0, whole, minimum, stream );
            CombineRows( acc.data(), acc.data() + count, rows.data(), n, whole, count - whole, minimum, false );
         }
         else
         {
            CombineRows( out, nullptr, rows.data(), n, 0, whole, minimum, stream );
            CombineRows( acc.data(), nullptr, rows.data(), n, whole, count - whole, minimum, false );
         }
         for ( int32_t k = 0; k < pair; ++k )
            Finish( out + int64_t( k ) * width, acc.data() + size_t( k ) * size_t( count ),
                    source + int64_t( y + k ) * width, whole, amount );

         y += pair;
         if ( y < y1 )
            TakeRow( int64_t( y ) + h, source, height );
      }
#if defined( __SSE2__ )
      // The streamed rows reach memory in no set order: they must have landed before the strip is reported done.
      if ( stream )
         _mm_sfence();
#endif
   }

private:
   // Completes a row of the result: the part of the box extrema not written straight into it, or the mix of the
   // extrema with the row's own samples.
   void Finish( float* out, const float* extrema, const float* centre, int32_t whole, float amount ) const
   {
      if ( amount >= 1 )
         std::memcpy( out + whole, extrema, size_t( width - whole ) * sizeof( float ) );
      else
      {
         const float oneMinus = 1 - amount;
         for ( int32_t x = 0; x < width; ++x )
            out[x] = amount * extrema[x] + oneMinus * centre[x];
      }
   }

   // The run extrema of level k for box row position r (an image row index, possibly outside the image).
   float* Level( int64_t r, int32_t k )
   {
      const int64_t ringRows = box.n + 1;
      const int64_t slot = ( ( r % ringRows ) + ringRows ) % ringRows;
      return storage.data() + ( size_t( slot ) * box.widths.size() + size_t( k ) ) * size_t( count );
   }

   // Computes the run extrema of row position r (read through the border rules) into its ring slot. The vectors
   // whose runs lie inside the row read it where it is; those near its ends read a copy with the mirrored columns.
   void TakeRow( int64_t r, const float* source, int32_t height )
   {
      const int32_t h = box.h;
      const int32_t widest = box.widths.back();
      for ( int32_t w = 0; w <= widest; ++w )
      {
         const int32_t k = box.levelOfRun[size_t( w )];
         runs[size_t( w )] = k >= 0 ? Level( r, k ) : nullptr;
      }
      const float* src = source + int64_t( MirrorRow( r, height ) ) * width;
      // The vectors [inner, outer) need no copy: i - widest >= 0 and i + lanes + widest <= width.
      const int32_t inner = RoundUp( widest, lanes );
      const int32_t outer = std::max( width - widest, 0 ) / lanes * lanes;
      const bool direct = inner < outer;

      // p[x] is column x, for x in -h .. width - 1 + h, NaN taken as the worst value (the run of width 0); only the
      // columns the copied vectors read are filled.
      float* p = padded.data() + h;
      if ( direct )
      {
         Sanitize( p, src, std::min( width, inner + h ), minimum );
         const int32_t right = std::max( 0, outer - h );
         Sanitize( p + right, src + right, width - right, minimum );
      }
      else
         Sanitize( p, src, width, minimum );
      for ( int32_t k = 1; k <= h; ++k )
      {
         p[-k] = p[MirrorColumn( -k, width )];
         p[width - 1 + k] = p[MirrorColumn( int64_t( width ) - 1 + k, width )];
      }

      if ( direct )
      {
         GrowRuns( runs.data(), p, widest, 0, inner, false, minimum );
         GrowRuns( runs.data(), src, widest, inner, outer, true, minimum );
         GrowRuns( runs.data(), p, widest, outer, count, false, minimum );
      }
      else
         GrowRuns( runs.data(), p, widest, 0, count, false, minimum );
   }

   const Box& box;
   const int32_t width;
   const int32_t count; // row length rounded up to whole vectors
   const bool minimum;
   std::vector<float> storage;
   std::vector<float> padded;
   std::vector<float> acc;          // the results of two rows where they do not go straight into the image
   std::vector<const float*> rows; // the run extrema that make the box of the current row
   std::vector<float*> runs;       // per half-width: where a row's runs of that width go, or none
};

} // namespace

void ApplyMinMaxKernel( Image& image, int32_t size, float amount, bool minimum, bool circular )
{
   if ( size < 3 || size % 2 == 0 )
      throw GenericException( "Invalid minimum/maximum filter box size " + std::to_string( size ) +
                              ": the box size must be an odd number, 3 or more" );
   if ( image.IsEmpty() )
      return;

   const int32_t width = image.Width();
   const int32_t height = image.Height();
   const int32_t channels = image.NumberOfNominalChannels();
   image.BeginTask( minimum ? "Erosion (Minimum) Filter" : "Dilation (Maximum) Filter", int64_t( channels ) * height );

   const Box box = MakeBox( size, circular );
   // A plane much larger than the caches is written past them (see CombineRows); a smaller one is left in them for
   // whatever reads it next.
   const bool stream = image.NumberOfPixels() * int64_t( sizeof( float ) ) >= StreamedPlaneBytes;
   // Each channel is filtered into a plane aside that then takes its place; the plane it replaces receives the
   // next channel.
   Image::Plane result = Image::NewPlane( image.NumberOfPixels() );
   for ( int32_t c = 0; c < channels; ++c )
   {
      image.ThrowIfAborted();
      const float* source = image.PixelData( c );
      float* out = result.get();
      const bool completed = ParallelFor(
          height,
          [&]( int64_t begin, int64_t end )
          {
             StripFilter filter( box, width, minimum );
             filter.Run( source, out, height, int32_t( begin ), int32_t( end ), amount, stream );
          },
          &image.Status(), 1, 2 * int64_t( size ) );
      // An abort answered after the last strip had started still leaves the channel as it was.
      if ( !completed || image.Status().IsAborted() )
         throw Image::AbortProcessEvent( &image );
      result = image.ExchangePlane( c, std::move( result ) );
   }
}

} // namespace qor
