#include "MedianKernel.h"

#include "BoxBorders.h"
#include "Image.h"
#include "VectorFloat8.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <utility>

#if defined( __x86_64__ )
#include <immintrin.h>
#endif

// The vector helpers below take and return 32-byte vectors; they are always inlined, so the note about the ABI of
// such arguments on targets without AVX does not concern them.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace qor
{

float* SelectKthSmallest( float* first, float* last, int64_t k )
{
   int64_t m = last - first;
   if ( m <= 0 )
      return last;
   k = std::clamp<int64_t>( k, 0, m - 1 );

   float* a = first;
   int64_t l = 0;
   int64_t r = m - 1;
   for ( ;; )
   {
      if ( r <= l + 1 )
      {
         if ( r == l + 1 && a[r] < a[l] )
            std::swap( a[l], a[r] );
         return a + k;
      }

      int64_t mid = ( l + r ) / 2;
      std::swap( a[mid], a[l + 1] );
      if ( a[l + 1] > a[r] )
         std::swap( a[l + 1], a[r] );
      if ( a[l] > a[r] )
         std::swap( a[l], a[r] );
      if ( a[l + 1] > a[l] )
         std::swap( a[l], a[l + 1] );

      // a[l + 1] <= pivot <= a[r] stop both scans; every swap leaves such a stopper behind, so the scans stay
      // inside [l + 1, r] whatever the data (NaN compares false and stops a scan as well).
      float p = a[l];
      int64_t i = l + 1;
      int64_t j = r;
      for ( ;; )
      {
         do
            ++i;
         while ( a[i] < p );
         do
            --j;
         while ( a[j] > p );
         if ( i > j )
            break;
         std::swap( a[i], a[j] );
      }
      a[l] = a[j];
      a[j] = p;

      if ( j >= k )
         r = j - 1;
      if ( j <= k )
         l = i;
   }
}

namespace
{

// ---------------------------------------------------------------------------------------------------------------
// Comparator networks.
//
// A network works on numbered wires; a comparator puts the smaller of two wires on its first wire and the larger
// on its second. Networks are built from Batcher's odd-even merge of sorted lists (valid for any two lengths)
// and, for selection, cut down twice: while merging, list elements whose position proves that they lie outside
// the wanted ranks are dropped ("forgetful" selection), and at the end every comparator that cannot reach a wanted
// output is removed, or reduced to its one useful half. Everything here is constexpr, so that the networks of the
// common boxes are built by the compiler and run as straight-line code (see FixedProgram).

using WireList = std::vector<int32_t>;

struct Comparator
{
   int32_t a; // receives the minimum
   int32_t b; // receives the maximum
};

class NetworkBuilder
{
public:
   constexpr int32_t NewWire() { return wires++; }
   constexpr int32_t Wires() const { return wires; }
   constexpr const std::vector<Comparator>& Comparators() const { return comparators; }

   // Merges two sorted lists of wires; returns the wires of the merged list in ascending order.
   constexpr WireList Merge( const WireList& x, const WireList& y )
   {
      if ( x.empty() )
         return y;
      if ( y.empty() )
         return x;
      if ( x.size() == 1 && y.size() == 1 )
      {
         comparators.push_back( { x[0], y[0] } );
         return { x[0], y[0] };
      }
      WireList xe, xo, ye, yo;
      for ( size_t i = 0; i < x.size(); ++i )
         ( i % 2 ? xo : xe ).push_back( x[i] );
      for ( size_t i = 0; i < y.size(); ++i )
         ( i % 2 ? yo : ye ).push_back( y[i] );
      WireList v = Merge( xe, ye );
      WireList w = Merge( xo, yo );
      WireList z;
      z.push_back( v[0] );
      size_t i = 0;
      for ( ; i < w.size() && i + 1 < v.size(); ++i )
      {
         comparators.push_back( { w[i], v[i + 1] } );
         z.push_back( w[i] );
         z.push_back( v[i + 1] );
      }
      for ( size_t j = i; j < w.size(); ++j )
         z.push_back( w[j] );
      for ( size_t j = i + 1; j < v.size(); ++j )
         z.push_back( v[j] );
      return z;
   }

   // Sorts a list of wires (merge sort built of Merge); returns the wires in ascending order of their values.
   constexpr WireList Sort( const WireList& x )
   {
      if ( x.size() <= 1 )
         return x;
      size_t half = x.size() / 2;
      return Merge( Sort( WireList( x.begin(), x.begin() + half ) ), Sort( WireList( x.begin() + half, x.end() ) ) );
   }

   // Wires holding ranks [lo, hi] (0-based) of the union of sorted lists.
   constexpr WireList Select( std::vector<WireList> lists, int64_t lo, int64_t hi )
   {
      int64_t total = 0;
      for ( const WireList& l : lists )
         total += int64_t( l.size() );
      for ( WireList& l : lists )
         Forget( l, total, lo, hi );
      while ( lists.size() > 1 )
      {
         // Merge the two shortest lists: a balanced tree over equal lists, and short lists join early.
         for ( size_t i = 1; i < lists.size(); ++i )
            for ( size_t j = i; j > 0 && lists[j].size() < lists[j - 1].size(); --j )
               std::swap( lists[j], lists[j - 1] );
         WireList merged = Merge( lists[0], lists[1] );
         lists.erase( lists.begin(), lists.begin() + 2 );
         Forget( merged, total, lo, hi );
         lists.push_back( std::move( merged ) );
      }
      return WireList( lists[0].begin() + lo, lists[0].begin() + hi + 1 );
   }

private:
   // Drops the elements of a sorted list that cannot hold a rank in [lo, hi] of the `total` remaining elements,
   // renumbering the ranks. The element at position p has p elements below it and size - 1 - p above it.
   static constexpr void Forget( WireList& list, int64_t& total, int64_t& lo, int64_t& hi )
   {
      int64_t size = int64_t( list.size() );
      if ( size > hi + 1 )
      {
         total -= size - ( hi + 1 );
         list.resize( size_t( hi + 1 ) );
         size = hi + 1;
      }
      int64_t below = size - ( total - lo ); // elements with at least total - lo elements at or above them
      if ( below > 0 )
      {
         list.erase( list.begin(), list.begin() + below );
         total -= below;
         lo -= below;
         hi -= below;
      }
   }

   int32_t wires = 0;
   std::vector<Comparator> comparators;
};

// A pruned network ready to run on vectors of pixels. Wires are numbered densely; wire `wires - 1` is a dump for
// the half of a comparator that nothing reads.
struct Program
{
   struct Input
   {
      int32_t wire;
      int32_t plane;  // source row of the input
      int32_t offset; // column offset in that row, relative to the pixel
   };
   struct Op
   {
      uint16_t a, b;   // wires read
      uint16_t lo, hi; // where the minimum and the maximum go
   };

   std::vector<Input> inputs;
   std::vector<Op> ops;
   std::vector<int32_t> outputs;
   int32_t wires = 0;
};

struct Source
{
   int32_t plane;
   int32_t offset;
};

// Prunes the builder's network to what the output wires need and numbers the wires densely. `sources` gives,
// for every input wire of the builder, where its value comes from.
constexpr Program Compile( const NetworkBuilder& builder, const std::vector<Source>& sources, const WireList& outputs )
{
   const std::vector<Comparator>& all = builder.Comparators();
   std::vector<char> needed( static_cast<size_t>( builder.Wires() ), 0 );
   for ( int32_t w : outputs )
      needed[size_t( w )] = 1;

   struct Kept
   {
      Comparator c;
      bool lo, hi;
   };
   std::vector<Kept> kept;
   for ( size_t i = all.size(); i-- > 0; )
   {
      const Comparator& c = all[i];
      bool lo = needed[size_t( c.a )] != 0;
      bool hi = needed[size_t( c.b )] != 0;
      if ( !lo && !hi )
         continue;
      kept.push_back( { c, lo, hi } );
      needed[size_t( c.a )] = needed[size_t( c.b )] = 1;
   }
   std::reverse( kept.begin(), kept.end() );

   Program program;
   std::vector<int32_t> number( static_cast<size_t>( builder.Wires() ), -1 );
   int32_t next = 0;
   auto renumber = [&]( int32_t w )
   {
      if ( number[size_t( w )] < 0 )
         number[size_t( w )] = next++;
      return number[size_t( w )];
   };
   for ( int32_t w = 0; w < int32_t( sources.size() ); ++w )
      if ( needed[size_t( w )] )
         program.inputs.push_back( { renumber( w ), sources[size_t( w )].plane, sources[size_t( w )].offset } );
   for ( const Kept& k : kept )
   {
      renumber( k.c.a );
      renumber( k.c.b );
   }
   for ( int32_t w : outputs )
      program.outputs.push_back( renumber( w ) );
   uint16_t dump = uint16_t( next );
   program.wires = next + 1;
   for ( const Kept& k : kept )
   {
      uint16_t a = uint16_t( number[size_t( k.c.a )] );
      uint16_t b = uint16_t( number[size_t( k.c.b )] );
      program.ops.push_back( { a, b, k.lo ? a : dump, k.hi ? b : dump } );
   }
   return program;
}

// ---------------------------------------------------------------------------------------------------------------
// Box shapes.

// The cell (i, j) of an n x n box lies in the circular box when its centre is inside or on the circle of
// diameter n (in doubled coordinates about the centre the test is exact in integers).
constexpr bool InCircle( int32_t n, int32_t i, int32_t j )
{
   int64_t di = 2 * int64_t( i ) - ( n - 1 );
   int64_t dj = 2 * int64_t( j ) - ( n - 1 );
   return di * di + dj * dj <= int64_t( n ) * n;
}

// The plain median works on sorted columns. The box is symmetric about its middle row and convex along columns:
// window column j is the run of rows h - extent[j] .. h + extent[j]. The columns of each distinct extent e are
// sorted across 2e + 1 planes (planes planeBase .. planeBase + 2e); after sorting, rank r lies on plane
// planeBase + rankPlane[r].
struct ColumnLayout
{
   struct Extent
   {
      int32_t extent;
      int32_t planeBase;
      WireList rankPlane;
      std::vector<Comparator> sort;
   };

   std::vector<int32_t> extent; // per window column
   std::vector<Extent> extents; // distinct extents, ascending
   int32_t planes = 0;

   constexpr const Extent& Of( int32_t e ) const
   {
      size_t i = 0;
      while ( extents[i].extent != e )
         ++i;
      return extents[i];
   }
};

constexpr ColumnLayout MakeColumnLayout( int32_t n, bool circular )
{
   int32_t h = n / 2;
   ColumnLayout layout;
   layout.extent.assign( static_cast<size_t>( n ), 0 );
   for ( int32_t j = 0; j < n; ++j )
      for ( int32_t i = 0; i <= h; ++i )
         if ( !circular || InCircle( n, h - i, j ) )
            layout.extent[size_t( j )] = i;
   WireList distinct = layout.extent;
   std::sort( distinct.begin(), distinct.end() );
   distinct.erase( std::unique( distinct.begin(), distinct.end() ), distinct.end() );
   for ( int32_t e : distinct )
   {
      NetworkBuilder sorter;
      WireList column;
      for ( int32_t r = 0; r < 2 * e + 1; ++r )
         column.push_back( sorter.NewWire() );
      WireList order = sorter.Sort( column );
      layout.extents.push_back( { e, layout.planes, order, sorter.Comparators() } );
      layout.planes += 2 * e + 1;
   }
   return layout;
}

// Median of the box from the sorted columns: input planes are those of MakeColumnLayout, offsets the window
// column; one output.
constexpr Program PlainProgram( int32_t n, bool circular )
{
   ColumnLayout layout = MakeColumnLayout( n, circular );
   NetworkBuilder builder;
   std::vector<Source> sources;
   std::vector<WireList> columns;
   int64_t count = 0;
   for ( int32_t j = 0; j < n; ++j )
   {
      const ColumnLayout::Extent& e = layout.Of( layout.extent[size_t( j )] );
      WireList column;
      for ( int32_t r = 0; r < 2 * e.extent + 1; ++r )
      {
         sources.push_back( { e.planeBase + e.rankPlane[size_t( r )], j } );
         column.push_back( builder.NewWire() );
      }
      count += int64_t( column.size() );
      columns.push_back( std::move( column ) );
   }
   return Compile( builder, sources, builder.Select( columns, count / 2, count / 2 ) );
}

// Two-way hybrid median: inputs from the raw window rows (plane i = window row i); outputs the two middle values
// of the cross (centre column and centre row without the centre), then of the two diagonals (without the centre).
constexpr Program HybridProgram( int32_t n )
{
   int32_t h = n / 2;
   NetworkBuilder builder;
   std::vector<Source> sources;
   auto input = [&]( int32_t plane, int32_t offset )
   {
      sources.push_back( { plane, offset } );
      return WireList{ builder.NewWire() };
   };
   std::vector<WireList> cross, diagonal;
   for ( int32_t i = 0; i < n; ++i )
      if ( i != h )
      {
         cross.push_back( input( i, h ) );
         cross.push_back( input( h, i ) );
         diagonal.push_back( input( i, i ) );
         diagonal.push_back( input( i, n - 1 - i ) );
      }
   WireList outputs = builder.Select( cross, n - 2, n - 1 );
   WireList d = builder.Select( diagonal, n - 2, n - 1 );
   outputs.insert( outputs.end(), d.begin(), d.end() );
   return Compile( builder, sources, outputs );
}

// Boxes up to this size run as networks (at most 63 x 63 = 3969 wires per pixel, still several times faster than
// selecting); larger ones gather every window and select with SelectKthSmallest.
constexpr int32_t largestNetworkBox = 63;

// ---------------------------------------------------------------------------------------------------------------
// Vector primitives: eight floats per operation. Hot functions are compiled for AVX2 and for the baseline
// instruction set; the better one is chosen when the program runs.

using simd::lanes;
using simd::Load;
using simd::Store;
using simd::v8f;

// Vectors that go through each comparator together in the interpreted programs, and the pixels of one such pass:
// rows and chunks are padded to whole passes.
constexpr int32_t interpretedGroup = 4;
constexpr int32_t pass = interpretedGroup * lanes;

// The selections of std::min and std::max, lane by lane (exactly the minps/maxps instructions).
template <class V> inline __attribute__( ( always_inline ) ) V Min( V a, V b )
{
   return b < a ? b : a;
}

template <class V> inline __attribute__( ( always_inline ) ) V Max( V a, V b )
{
   return a < b ? b : a;
}

bool HasAVX2()
{
   static const bool avx2 = __builtin_cpu_supports( "avx2" );
   return avx2;
}

// The three boxes.
enum class Box
{
   Square,
   Circle,
   Hybrid
};

constexpr Program BoxProgram( int32_t n, Box box )
{
   if ( box == Box::Hybrid )
      return HybridProgram( n );
   return PlainProgram( n, box == Box::Circle );
}

// The program of a common box, built by the compiler and run as straight-line code whose wires live in registers.
template <size_t Inputs, size_t Ops, size_t Outputs> struct FixedProgram
{
   std::array<Program::Input, Inputs> inputs{};
   std::array<Program::Op, Ops> ops{};
   std::array<int32_t, Outputs> outputs{};
   int32_t wires = 0;
};

template <int32_t n, Box box> constexpr auto MakeFixedProgram()
{
   constexpr size_t inputs = BoxProgram( n, box ).inputs.size();
   constexpr size_t ops = BoxProgram( n, box ).ops.size();
   constexpr size_t outputs = BoxProgram( n, box ).outputs.size();
   Program p = BoxProgram( n, box );
   FixedProgram<inputs, ops, outputs> fixed;
   std::copy( p.inputs.begin(), p.inputs.end(), fixed.inputs.begin() );
   std::copy( p.ops.begin(), p.ops.end(), fixed.ops.begin() );
   std::copy( p.outputs.begin(), p.outputs.end(), fixed.outputs.begin() );
   fixed.wires = p.wires;
   return fixed;
}

template <int32_t n, Box box> constexpr auto fixedProgram = MakeFixedProgram<n, box>();

template <const auto& P, size_t J> inline __attribute__( ( always_inline ) ) void FixedExchange( v8f* w )
{
   constexpr Program::Op op = P.ops[J];
   v8f a = w[op.a];
   v8f b = w[op.b];
   w[op.lo] = Min( a, b );
   w[op.hi] = Max( a, b );
}

template <const auto& P, size_t... I, size_t... J>
inline __attribute__( ( always_inline ) ) void FixedPixels( const float* const* planes, int32_t i,
                                                            float* const* outputs, std::index_sequence<I...>,
                                                            std::index_sequence<J...> )
{
   v8f w[P.wires];
   ( ( w[P.inputs[I].wire] = Load( planes[P.inputs[I].plane] + i + P.inputs[I].offset ) ), ... );
   ( FixedExchange<P, J>( w ), ... );
   for ( size_t o = 0; o < P.outputs.size(); ++o )
      Store( outputs[o] + i, w[P.outputs[o]] );
}

template <const auto& P>
inline __attribute__( ( always_inline ) ) void FixedRun( const float* const* planes, int32_t count,
                                                         float* const* outputs )
{
   for ( int32_t i = 0; i < count; i += lanes )
      FixedPixels<P>( planes, i, outputs, std::make_index_sequence<P.inputs.size()>(),
                      std::make_index_sequence<P.ops.size()>() );
}

template <const auto& P>
__attribute__( ( target( "avx2" ) ) ) void FixedRunAVX2( const float* const* planes, int32_t count,
                                                         float* const* outputs )
{
   FixedRun<P>( planes, count, outputs );
}

template <const auto& P> void FixedRunBaseline( const float* const* planes, int32_t count, float* const* outputs )
{
   FixedRun<P>( planes, count, outputs );
}

using FixedRunner = void ( * )( const float* const* planes, int32_t count, float* const* outputs );

struct FixedEntry
{
   int32_t n;
   Box box;
   FixedRunner avx2, baseline;
};

template <int32_t n, Box program> constexpr FixedEntry MakeFixedEntry( Box box )
{
   return { n, box, FixedRunAVX2<fixedProgram<n, program>>, FixedRunBaseline<fixedProgram<n, program>> };
}

// The 3 x 3 median from its three sorted columns: the median of nine is the median of the largest of the column
// minima, the median of the column middles and the smallest of the column maxima, 12 comparisons in place of the
// 16 of the pruned merge network.
constexpr std::array<int32_t, 3> Median3RankPlanes()
{
   ColumnLayout layout = MakeColumnLayout( 3, false );
   const ColumnLayout::Extent& e = layout.extents[0];
   return { e.planeBase + e.rankPlane[0], e.planeBase + e.rankPlane[1], e.planeBase + e.rankPlane[2] };
}

template <class V> inline __attribute__( ( always_inline ) ) V Median3( V a, V b, V c )
{
   return Max( Min( a, b ), Min( Max( a, b ), c ) );
}

inline __attribute__( ( always_inline ) ) void Median3Run( const float* const* planes, int32_t count,
                                                           float* const* outputs )
{
   constexpr std::array<int32_t, 3> rank = Median3RankPlanes();
   const float* lo = planes[rank[0]];
   const float* mid = planes[rank[1]];
   const float* hi = planes[rank[2]];
   float* out = outputs[0];
   for ( int32_t i = 0; i < count; i += lanes )
   {
      v8f low = Max( Max( Load( lo + i ), Load( lo + i + 1 ) ), Load( lo + i + 2 ) );
      v8f high = Min( Min( Load( hi + i ), Load( hi + i + 1 ) ), Load( hi + i + 2 ) );
      v8f middle = Median3( Load( mid + i ), Load( mid + i + 1 ), Load( mid + i + 2 ) );
      Store( out + i, Median3( low, middle, high ) );
   }
}

__attribute__( ( target( "avx2" ) ) ) void Median3RunAVX2( const float* const* planes, int32_t count,
                                                           float* const* outputs )
{
   Median3Run( planes, count, outputs );
}

void Median3RunBaseline( const float* const* planes, int32_t count, float* const* outputs )
{
   Median3Run( planes, count, outputs );
}

// The straight-line runner of a box, or none. (The circle of diameter 3 covers the whole 3 x 3 box, so the 3 x 3
// runner serves both.)
FixedRunner FindFixedRunner( int32_t n, Box box )
{
   if ( n == 3 && box != Box::Hybrid )
      return HasAVX2() ? Median3RunAVX2 : Median3RunBaseline;
   static const FixedEntry table[] = {
       MakeFixedEntry<5, Box::Square>( Box::Square ), MakeFixedEntry<5, Box::Circle>( Box::Circle ),
       MakeFixedEntry<5, Box::Hybrid>( Box::Hybrid ), MakeFixedEntry<7, Box::Square>( Box::Square ),
       MakeFixedEntry<7, Box::Circle>( Box::Circle ), MakeFixedEntry<7, Box::Hybrid>( Box::Hybrid ),
   };
   for ( const FixedEntry& e : table )
      if ( e.n == n && e.box == box )
         return HasAVX2() ? e.avx2 : e.baseline;
   return nullptr;
}

// The column sorts of the short columns, built by the compiler: rows[0 .. m) are read, sorted column by column
// in registers and written to out[0 .. m), each wire to the plane of its number (as SortColumns leaves them).
template <int32_t E> constexpr auto MakeFixedSort()
{
   constexpr size_t size = MakeColumnLayout( 2 * E + 1, false ).extents[0].sort.size();
   std::array<Comparator, size> sort{};
   std::vector<Comparator> network = MakeColumnLayout( 2 * E + 1, false ).extents[0].sort;
   std::copy( network.begin(), network.end(), sort.begin() );
   return sort;
}

template <int32_t E> constexpr auto fixedSort = MakeFixedSort<E>();

template <int32_t E, size_t J> inline __attribute__( ( always_inline ) ) void FixedSortExchange( v8f* w )
{
   constexpr Comparator c = fixedSort<E>[J];
   v8f a = w[c.a];
   v8f b = w[c.b];
   w[c.a] = Min( a, b );
   w[c.b] = Max( a, b );
}

template <int32_t E, size_t... J>
inline __attribute__( ( always_inline ) ) void FixedSortPixels( const float* const* rows, float* const* out, int32_t i,
                                                                std::index_sequence<J...> )
{
   constexpr int32_t m = 2 * E + 1;
   v8f w[m];
   for ( int32_t r = 0; r < m; ++r )
      w[r] = Load( rows[r] + i );
   ( FixedSortExchange<E, J>( w ), ... );
   for ( int32_t r = 0; r < m; ++r )
      Store( out[r] + i, w[r] );
}

template <int32_t E>
inline __attribute__( ( always_inline ) ) void FixedSortRun( const float* const* rows, float* const* out,
                                                             int32_t count )
{
   for ( int32_t i = 0; i < count; i += lanes )
      FixedSortPixels<E>( rows, out, i, std::make_index_sequence<fixedSort<E>.size()>() );
}

template <int32_t E>
__attribute__( ( target( "avx2" ) ) ) void FixedSortAVX2( const float* const* rows, float* const* out, int32_t count )
{
   FixedSortRun<E>( rows, out, count );
}

template <int32_t E> void FixedSortBaseline( const float* const* rows, float* const* out, int32_t count )
{
   FixedSortRun<E>( rows, out, count );
}

using FixedSorter = void ( * )( const float* const* rows, float* const* out, int32_t count );

// The straight-line column sort of columns of 2e + 1 samples, or none.
FixedSorter FindFixedSorter( int32_t e )
{
   static const FixedSorter avx2[] = { nullptr, FixedSortAVX2<1>, FixedSortAVX2<2>, FixedSortAVX2<3> };
   static const FixedSorter baseline[] = { nullptr, FixedSortBaseline<1>, FixedSortBaseline<2>, FixedSortBaseline<3> };
   if ( e < 1 || e > 3 )
      return nullptr;
   return HasAVX2() ? avx2[e] : baseline[e];
}

// The 3 x 3 median of `count` pixels (a multiple of pass) straight from the three rows of the window, sixteen
// pixels at a time with AVX-512: each column is sorted once in registers and the ranks of the next two columns
// are shifted in from the following sixteen, so nothing goes through memory but the rows and the result. The
// comparisons and their order are those of the column sort and Median3Run, so the values are theirs bit for bit,
// NaN included. Reads up to 31 samples past count in each row.
using Median3Row = void ( * )( const float* const* rows, int32_t count, float* out );

#if defined( __GNUC__ ) && !defined( __clang__ ) && defined( __x86_64__ ) && !defined( __SANITIZE_ADDRESS__ )
using v16f = float __attribute__( ( vector_size( 64 ) ) );

// The three rows at i, each column sorted in place (the comparators of the column sort).
[[gnu::target( "arch=x86-64-v4" ), gnu::always_inline]] inline void SortedColumns3( const float* const* rows, int32_t i,
                                                                                  v16f* w )
{
   for ( int32_t r = 0; r < 3; ++r )
      std::memcpy( &w[r], rows[r] + i, sizeof( v16f ) );
   for ( const Comparator& c : fixedSort<1> )
   {
      v16f a = w[c.a];
      v16f b = w[c.b];
      w[c.a] = Min( a, b );
      w[c.b] = Max( a, b );
   }
}

// Lanes k .. 15 of a and 0 .. k-1 of b: the columns k places to the right.
template <int K>
[[gnu::target( "arch=x86-64-v4" ), gnu::always_inline]] inline v16f Shifted( v16f a, v16f b )
{
   // The masked form with every lane on: the plain one starts from an undefined register, which the compiler
   // warns about.
   return v16f( _mm512_castsi512_ps( _mm512_maskz_alignr_epi32( __mmask16( 0xffff ), _mm512_castps_si512( __m512( b ) ),
                                                                _mm512_castps_si512( __m512( a ) ), K ) ) );
}

[[gnu::target( "arch=x86-64-v4" )]] void Median3RowAVX512( const float* const* rows, int32_t count, float* out )
{
   // The wires of the smallest, middle and largest sample of a sorted column.
   constexpr std::array<int32_t, 3> rank = []
   {
      ColumnLayout layout = MakeColumnLayout( 3, false );
      const WireList& r = layout.extents[0].rankPlane;
      return std::array<int32_t, 3>{ r[0], r[1], r[2] };
   }();
   constexpr int32_t low = rank[0], mid = rank[1], high = rank[2];
   v16f w[3], next[3];
   SortedColumns3( rows, 0, w );
   for ( int32_t i = 0; i < count; i += 16 )
   {
      SortedColumns3( rows, i + 16, next );
      v16f lo = Max( Max( w[low], Shifted<1>( w[low], next[low] ) ), Shifted<2>( w[low], next[low] ) );
      v16f hi = Min( Min( w[high], Shifted<1>( w[high], next[high] ) ), Shifted<2>( w[high], next[high] ) );
      v16f middle = Median3( w[mid], Shifted<1>( w[mid], next[mid] ), Shifted<2>( w[mid], next[mid] ) );
      v16f m = Median3( lo, middle, hi );
      std::memcpy( out + i, &m, sizeof( m ) );
      for ( int32_t r = 0; r < 3; ++r )
         w[r] = next[r];
   }
}

Median3Row FindMedian3Row()
{
   __builtin_cpu_init();
   return __builtin_cpu_supports( "x86-64-v4" ) ? Median3RowAVX512 : nullptr;
}
#else
Median3Row FindMedian3Row()
{
   return nullptr;
}
#endif

// Runs any program for `count` pixels (a multiple of pass): inputs from planes[plane] + i + offset, output o to
// outputs[o] + i. G vectors go through each comparator together, so that G independent chains keep the processor
// busy while the wires live in memory; w holds G vectors per wire.
__attribute__( ( target_clones( "avx2", "default" ) ) ) void
InterpretProgram( const Program& program, const float* const* planes, int32_t count, float* const* outputs, v8f* w )
{
   constexpr int32_t G = interpretedGroup;
   const Program::Input* inBegin = program.inputs.data();
   const Program::Input* inEnd = inBegin + program.inputs.size();
   const Program::Op* opBegin = program.ops.data();
   const Program::Op* opEnd = opBegin + program.ops.size();
   for ( int32_t i = 0; i < count; i += G * lanes )
   {
      for ( const Program::Input* in = inBegin; in != inEnd; ++in )
      {
         const float* p = planes[in->plane] + i + in->offset;
         for ( int32_t g = 0; g < G; ++g )
            w[in->wire * G + g] = Load( p + g * lanes );
      }
      for ( const Program::Op* op = opBegin; op != opEnd; ++op )
      {
         v8f a[G], b[G];
         for ( int32_t g = 0; g < G; ++g )
         {
            a[g] = w[op->a * G + g];
            b[g] = w[op->b * G + g];
         }
         for ( int32_t g = 0; g < G; ++g )
         {
            w[op->lo * G + g] = Min( a[g], b[g] );
            w[op->hi * G + g] = Max( a[g], b[g] );
         }
      }
      for ( size_t o = 0; o < program.outputs.size(); ++o )
         for ( int32_t g = 0; g < G; ++g )
            Store( outputs[o] + i + g * lanes, w[program.outputs[o] * G + g] );
   }
}

// Sorts columns: rows[0 .. m) are m planes of `count` samples (a multiple of the lane count); the comparators
// sort every column across the planes in place.
__attribute__( ( target_clones( "avx2", "default" ) ) ) void
SortColumns( float* const* rows, const std::vector<Comparator>& network, int32_t count )
{
   for ( const Comparator& c : network )
   {
      float* pa = rows[c.a];
      float* pb = rows[c.b];
      for ( int32_t i = 0; i < count; i += lanes )
      {
         v8f a = Load( pa + i );
         v8f b = Load( pb + i );
         Store( pa + i, Min( a, b ) );
         Store( pb + i, Max( a, b ) );
      }
   }
}

// ---------------------------------------------------------------------------------------------------------------
// The filter of one channel.

int32_t RoundUp( int32_t v, int32_t m )
{
   return ( v + m - 1 ) / m * m;
}

int64_t RoundUp( int64_t v, int64_t m )
{
   return ( v + m - 1 ) / m * m;
}

enum class Mode
{
   Plain,
   Hybrid,
   Gather // boxes beyond the networks: gather and select per pixel
};

// Everything that is fixed for one call: the box, the networks and the blend.
struct Filter
{
   int32_t n = 0;
   int32_t h = 0;
   Mode mode = Mode::Plain;
   bool hybrid = false;
   float amount = 1;

   ColumnLayout layout;              // plain: the sorted columns
   Program program;                  // plain: median of the sorted columns; hybrid: the two pairs of middle values
   FixedRunner fixed = nullptr;      // the straight-line form of the program, when there is one
   std::vector<FixedSorter> sorters; // plain: per distinct extent, the straight-line column sort or none
   Median3Row median3 = nullptr;     // the 3 x 3 box: the whole row kernel, where the processor has one

   std::vector<std::pair<int32_t, int32_t>> cells; // gather: member cells of the window as (row, column)
};

Filter MakeFilter( int32_t n, float amount, bool hybrid, bool circular )
{
   Filter f;
   f.n = n;
   f.h = n / 2;
   f.hybrid = hybrid;
   f.amount = amount;
   if ( n > largestNetworkBox )
   {
      f.mode = Mode::Gather;
      for ( int32_t i = 0; i < n; ++i )
         for ( int32_t j = 0; j < n; ++j )
            if ( !circular || InCircle( n, i, j ) )
               f.cells.push_back( { i, j } );
   }
   else
   {
      Box box = hybrid ? Box::Hybrid : circular ? Box::Circle : Box::Square;
      f.mode = hybrid ? Mode::Hybrid : Mode::Plain;
      f.program = BoxProgram( n, box );
      f.fixed = FindFixedRunner( n, box );
      if ( !hybrid )
      {
         f.layout = MakeColumnLayout( n, circular );
         for ( const ColumnLayout::Extent& e : f.layout.extents )
            f.sorters.push_back( FindFixedSorter( e.extent ) );
         if ( n == 3 ) // the circle of diameter 3 covers the whole box
            f.median3 = FindMedian3Row();
      }
   }
   return f;
}

// Blend of the filtered value with the pixel's own sample, in double precision.
inline float Blend( double v, float centre, float amount )
{
   if ( amount >= 1 )
      return float( v );
   return float( double( amount ) * v + ( 1.0 - double( amount ) ) * double( centre ) );
}

inline float BlendHybrid( float centre, float c0, float c1, float d0, float d1, float amount )
{
   double crossMedian = ( double( c0 ) + double( c1 ) ) / 2;
   double diagonalMedian = ( double( d0 ) + double( d1 ) ) / 2;
   double sum = double( centre ) + crossMedian + diagonalMedian;
   if ( amount >= 1 )
      return float( sum / 3 );
   return float( double( amount ) / 3 * sum + ( 1.0 - double( amount ) ) * double( centre ) );
}

// Working storage of one strip: the ring of padded rows and the buffers of the networks.
class RowFilter
{
public:
   RowFilter( const Filter& f, int32_t width ) : f( f ), width( width )
   {
      // Ring rows: h mirrored samples on each side, and slack up to whole passes so that the last chunk of a row
      // may read (and compute) past the end.
      rowLength = RoundUp( int64_t( width ), int64_t( pass ) ) + 2 * f.h + pass;
      ringStorage.assign( size_t( f.n ) * size_t( rowLength ), 0.0f );
      for ( int32_t i = 0; i < f.n; ++i )
         ring.push_back( ringStorage.data() + size_t( i ) * size_t( rowLength ) );

      if ( f.mode == Mode::Gather )
      {
         gather.resize( std::max( f.cells.size(), size_t( 2 * f.n ) ) );
         return;
      }

      int32_t planes = f.mode == Mode::Plain ? f.layout.planes : f.n;
      // Keep the sorted planes of a chunk within about 32 KB.
      chunk = std::clamp( ( 8192 / planes - 2 * f.h - pass ) / pass * pass, pass, 512 );
      if ( f.mode == Mode::Plain )
      {
         int32_t chunkLength = chunk + 2 * f.h + pass;
         sortedStorage.assign( size_t( planes ) * size_t( chunkLength ), 0.0f );
         for ( int32_t p = 0; p < planes; ++p )
            sorted.push_back( sortedStorage.data() + size_t( p ) * size_t( chunkLength ) );
      }
      planePointers.resize( size_t( planes ) );
      int32_t outs = int32_t( f.program.outputs.size() );
      outputStorage.assign( size_t( outs ) * size_t( chunk ), 0.0f );
      for ( int32_t o = 0; o < outs; ++o )
         outputs.push_back( outputStorage.data() + size_t( o ) * size_t( chunk ) );
      if ( f.fixed == nullptr )
         wireStorage = Image::NewPlane( int64_t( f.program.wires ) * interpretedGroup * lanes ); // aligned
   }

   // Filters rows [y0, y1) of the plane in place. `source(r)` gives the unfiltered row r of the image; rows of
   // [y0, y1) are read from the plane before they are overwritten.
   template <class SourceRow> void Run( float* plane, int32_t height, int32_t y0, int32_t y1, const SourceRow& source )
   {
      for ( int32_t i = 0; i < f.n; ++i )
         LoadRow( ring[size_t( i )], source( MirrorRow( int64_t( y0 ) - f.h + i, height ) ) );
      for ( int32_t y = y0; y < y1; ++y )
      {
         const float* next = y + 1 < y1 ? source( MirrorRow( int64_t( y ) + f.h + 1, height ) ) : nullptr;
         FilterRow( plane + int64_t( y ) * width );
         if ( next != nullptr )
         {
            std::rotate( ring.begin(), ring.begin() + 1, ring.end() );
            LoadRow( ring.back(), next );
         }
      }
   }

private:
   void LoadRow( float* dst, const float* src )
   {
      std::memcpy( dst + f.h, src, size_t( width ) * sizeof( float ) );
      for ( int32_t k = 1; k <= f.h; ++k )
      {
         dst[f.h - k] = src[MirrorColumn( -k, width )];
         dst[f.h + width - 1 + k] = src[MirrorColumn( int64_t( width ) - 1 + k, width )];
      }
   }

   void FilterRow( float* out )
   {
      if ( f.mode == Mode::Gather )
      {
         GatherRow( out );
         return;
      }
      for ( int32_t x0 = 0; x0 < width; x0 += chunk )
      {
         int32_t valid = std::min( chunk, width - x0 );
         int32_t count = RoundUp( valid, pass );
         if ( f.median3 != nullptr )
         {
            const float* rows[3] = { ring[0] + x0, ring[1] + x0, ring[2] + x0 };
            float* dst = out + x0;
            f.median3( rows, count, valid == count ? dst : outputs[0] );
            if ( valid != count || f.amount < 1 )
               for ( int32_t i = 0; i < valid; ++i )
                  dst[i] = Blend( valid == count ? dst[i] : outputs[0][i], ring[1][x0 + 1 + i], f.amount );
            continue;
         }
         if ( f.mode == Mode::Plain )
         {
            // Sorted columns of every extent, chunk-relative: index 0 is the leftmost window column of pixel x0.
            int32_t columns = RoundUp( count + 2 * f.h, lanes );
            for ( size_t k = 0; k < f.layout.extents.size(); ++k )
            {
               const ColumnLayout::Extent& e = f.layout.extents[k];
               float* const* base = sorted.data() + e.planeBase;
               const float* rows[2 * largestNetworkBox + 1];
               for ( int32_t r = 0; r < 2 * e.extent + 1; ++r )
                  rows[r] = ring[size_t( f.h - e.extent + r )] + x0;
               if ( f.sorters[k] != nullptr )
                  f.sorters[k]( rows, base, columns );
               else
               {
                  for ( int32_t r = 0; r < 2 * e.extent + 1; ++r )
                     std::memcpy( base[r], rows[r], size_t( columns ) * sizeof( float ) );
                  SortColumns( base, e.sort, columns );
               }
            }
            std::copy( sorted.begin(), sorted.end(), planePointers.begin() );
         }
         else
         {
            for ( int32_t i = 0; i < f.n; ++i )
               planePointers[size_t( i )] = ring[size_t( i )] + x0;
         }

         // A plain median at full amount goes straight into the image, except for the padded last chunk.
         float* dst = out + x0;
         bool direct = f.mode == Mode::Plain && f.amount >= 1 && valid == count;
         float* results[4] = { direct ? dst : outputs[0] };
         for ( size_t o = 1; o < outputs.size(); ++o )
            results[o] = outputs[o];
         if ( f.fixed != nullptr )
            f.fixed( planePointers.data(), count, results );
         else
            InterpretProgram( f.program, planePointers.data(), count, results, Wires() );

         const float* centre = ring[size_t( f.h )] + x0 + f.h;
         if ( f.mode == Mode::Plain && !direct )
         {
            const float* v = outputs[0];
            if ( f.amount >= 1 )
               std::memcpy( dst, v, size_t( valid ) * sizeof( float ) );
            else
               for ( int32_t i = 0; i < valid; ++i )
                  dst[i] = Blend( v[i], centre[i], f.amount );
         }
         else if ( f.mode == Mode::Hybrid )
         {
            for ( int32_t i = 0; i < valid; ++i )
               dst[i] = BlendHybrid( centre[i], outputs[0][i], outputs[1][i], outputs[2][i], outputs[3][i], f.amount );
         }
      }
   }

   v8f* Wires() { return reinterpret_cast<v8f*>( wireStorage.get() ); }

   // Boxes beyond the networks: every window gathered and reduced by selection.
   void GatherRow( float* out )
   {
      float* a = gather.data();
      for ( int32_t x = 0; x < width; ++x )
      {
         float centre = ring[size_t( f.h )][x + f.h];
         if ( !f.hybrid )
         {
            size_t m = 0;
            for ( const auto& [i, j] : f.cells )
               a[m++] = ring[size_t( i )][x + j];
            out[x] = Blend( *SelectKthSmallest( a, a + m, int64_t( m / 2 ) ), centre, f.amount );
            continue;
         }
         float middle[4];
         for ( int32_t set = 0; set < 2; ++set )
         {
            size_t k = 0;
            for ( int32_t i = 0; i < f.n; ++i )
               if ( i != f.h )
               {
                  a[k++] = set == 0 ? ring[size_t( i )][x + f.h] : ring[size_t( i )][x + i];
                  a[k++] = set == 0 ? ring[size_t( f.h )][x + i] : ring[size_t( i )][x + f.n - 1 - i];
               }
            // The upper middle value, then the largest of those below it.
            middle[2 * set + 1] = *SelectKthSmallest( a, a + k, f.n - 1 );
            middle[2 * set] = *std::max_element( a, a + f.n - 1 );
         }
         out[x] = BlendHybrid( centre, middle[0], middle[1], middle[2], middle[3], f.amount );
      }
   }

   const Filter& f;
   int32_t width;
   int64_t rowLength = 0;
   std::vector<float> ringStorage;
   std::vector<float*> ring;

   int32_t chunk = 0;
   std::vector<float> sortedStorage;
   std::vector<float*> sorted;
   std::vector<const float*> planePointers;
   std::vector<float> outputStorage;
   std::vector<float*> outputs;
   Image::Plane wireStorage;

   std::vector<float> gather;
};

// Rows are filtered in place in fixed blocks, each block by one thread from top to bottom. A block needs h
// unfiltered rows on each side that belong to its neighbours, which other threads may already have filtered: those
// rows are copied aside before the channel starts. Block bounds do not depend on the thread count, so neither does
// the result.
void FilterChannel( Image& image, int32_t c, const Filter& f )
{
   const int32_t width = image.Width();
   const int32_t height = image.Height();
   float* plane = image.PixelData( c );
   const int32_t block = std::max( 64, 2 * f.n );

   std::vector<const float*> copied( size_t( height ), nullptr );
   std::vector<float> margins;
   {
      std::vector<std::pair<int32_t, int32_t>> zones;
      int64_t rows = 0;
      for ( int32_t r = block; r < height; r += block )
      {
         int32_t a = std::max( 0, r - f.h );
         int32_t b = std::min( height, r + f.h );
         zones.push_back( { a, b } );
         rows += b - a;
      }
      margins.resize( size_t( rows ) * size_t( width ) );
      float* p = margins.data();
      for ( const auto& [a, b] : zones )
         for ( int32_t r = a; r < b; ++r, p += width )
         {
            std::memcpy( p, plane + int64_t( r ) * width, size_t( width ) * sizeof( float ) );
            copied[size_t( r )] = p;
         }
   }

   image.ParallelRows( height,
                       [&]( int64_t begin, int64_t end )
                       {
                          // The blocks that start in this strip of rows.
                          int64_t first = ( begin + block - 1 ) / block * block;
                          if ( first >= end )
                             return;
                          RowFilter filter( f, width );
                          for ( int64_t y0 = first; y0 < end; y0 += block )
                          {
                             int32_t b0 = int32_t( y0 );
                             int32_t b1 = int32_t( std::min<int64_t>( height, y0 + block ) );
                             filter.Run( plane, height, b0, b1,
                                         [&]( int32_t r ) -> const float* {
                                            return r >= b0 && r < b1 ? plane + int64_t( r ) * width
                                                                     : copied[size_t( r )];
                                         } );
                          }
                       } );
}

} // namespace

std::vector<uint8_t> CircularStructuringElement( int32_t n )
{
   n = std::max( n, 0 );
   std::vector<uint8_t> element( size_t( n ) * size_t( n ), 0 );
   for ( int32_t i = 0; i < n; ++i )
      for ( int32_t j = 0; j < n; ++j )
         element[size_t( i ) * size_t( n ) + size_t( j )] = InCircle( n, i, j ) ? 1 : 0;
   return element;
}

void ApplyMedianKernel( Image& image, int32_t size, float amount, bool hybrid, bool circular )
{
   if ( size < 3 || size % 2 == 0 )
      throw GenericException( "Invalid median filter box size " + std::to_string( size ) +
                              ": the box size must be an odd number, 3 or more" );
   if ( size == 3 )
      hybrid = false;
   if ( hybrid )
      circular = false;
   if ( image.IsEmpty() )
      return;

   Filter f = MakeFilter( size, amount, hybrid, circular );
   for ( int32_t c = 0; c < image.NumberOfNominalChannels(); ++c )
   {
      image.ThrowIfAborted();
      FilterChannel( image, c, f );
   }
}

} // namespace qor
