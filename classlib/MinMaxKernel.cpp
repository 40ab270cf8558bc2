#include "MinMaxKernel.h"

#include "BoxBorders.h"
#include "Image.h"
#include "MedianKernel.h"
#include "Parallel.h"
#include "VectorFloat8.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

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

// The runs of a row: for each half-width d in 0 .. widest with a destination, dst[d][i] = the pick of p[i], then
// p[i - 1] and p[i + 1], ... then p[i - d] and p[i + d], grown in registers in one pass over i in [begin, end)
// (whole vectors). p must be readable from begin - widest to end + widest. With raw, p holds the samples as they
// are and the first is taken as Pick( worst, p[i] ): a NaN beside never wins anyway, so the runs are those of the
// samples with NaN taken as the worst value.
__attribute__( ( target_clones( "avx2", "default" ) ) ) void
GrowRuns( float* const* dst, const float* p, int32_t widest, int32_t begin, int32_t end, bool raw, bool minimum )
{
   const v8f worst = v8f{} + Worst( minimum );
   for ( int32_t i = begin; i < end; i += lanes )
   {
      v8f v = Load( p + i );
      if ( raw )
         v = Pick( worst, v, minimum );
      if ( dst[0] != nullptr )
         Store( dst[0] + i, v );
      for ( int32_t d = 1; d <= widest; ++d )
      {
         v = Pick( Pick( v, Load( p + i - d ), minimum ), Load( p + i + d ), minimum );
         if ( dst[d] != nullptr )
            Store( dst[d] + i, v );
      }
   }
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

// dst[i] = the pick of rows[0][offset + i], rows[1][offset + i], ... rows[n-1][offset + i], taken in that order
// (the first as it is: run extrema never hold NaN). count is a multiple of the vector width.
__attribute__( ( target_clones( "avx2", "default" ) ) ) void
CombineRows( float* dst, const float* const* rows, int32_t n, int32_t offset, int32_t count, bool minimum )
{
   for ( int32_t i = 0; i < count; i += lanes )
   {
      v8f v = Load( rows[0] + offset + i );
      for ( int32_t r = 1; r < n; ++r )
         v = Pick( v, Load( rows[r] + offset + i ), minimum );
      Store( dst + i, v );
   }
}

// The same for two rows at once: dst0 from rows[0] .. rows[n-1], dst1 from rows[1] .. rows[n]. The n - 1 rows
// both share are picked once; a pick keeps the earlier value when the two are equal, so the grouping gives each row
// what CombineRows gives it, to the sign of a zero.
__attribute__( ( target_clones( "avx2", "default" ) ) ) void
CombineRowPair( float* dst0, float* dst1, const float* const* rows, int32_t n, int32_t offset, int32_t count,
                bool minimum )
{
   for ( int32_t i = 0; i < count; i += lanes )
   {
      v8f v = Load( rows[1] + offset + i );
      for ( int32_t r = 2; r < n; ++r )
         v = Pick( v, Load( rows[r] + offset + i ), minimum );
      Store( dst0 + i, Pick( Load( rows[0] + offset + i ), v, minimum ) );
      Store( dst1 + i, Pick( v, Load( rows[n] + offset + i ), minimum ) );
   }
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
   void Run( const float* source, float* result, int32_t height, int32_t y0, int32_t y1, float amount )
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
            CombineRowPair( out, out + width, rows.data(), n, 0, whole, minimum );
            CombineRowPair( acc.data(), acc.data() + count, rows.data(), n, whole, count - whole, minimum );
         }
         else
         {
            CombineRows( out, rows.data(), n, 0, whole, minimum );
            CombineRows( acc.data(), rows.data(), n, whole, count - whole, minimum );
         }
         for ( int32_t k = 0; k < pair; ++k )
            Finish( out + int64_t( k ) * width, acc.data() + size_t( k ) * size_t( count ),
                    source + int64_t( y + k ) * width, whole, amount );

         y += pair;
         if ( y < y1 )
            TakeRow( int64_t( y ) + h, source, height );
      }
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
             filter.Run( source, out, height, int32_t( begin ), int32_t( end ), amount );
          },
          &image.Status(), 1, 2 * int64_t( size ) );
      // An abort answered after the last strip had started still leaves the channel as it was.
      if ( !completed || image.Status().IsAborted() )
         throw Image::AbortProcessEvent( &image );
      result = image.ExchangePlane( c, std::move( result ) );
   }
}

} // namespace qor
