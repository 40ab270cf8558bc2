// TImageWindow::View: identifier, history, the histogram and statistics caches, the readout probe and the copy to
// the clipboard.

#include "windows/image/ImageWindow.h"

#include <QByteArray>
#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <algorithm>
#include <atomic>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <memory>
#include <mutex>
#include <new>
#include <utility>

#if defined( __x86_64__ )
#include <immintrin.h>
#endif

#include "classlib/MedianKernel.h"
#include "classlib/Parallel.h"
#include "process/ProcessContainer.h"
#include "windows/main/MainWindow.h"

#include "windows/processing/ProcessingStatusDialog.h"
#include "windows/processing/ProcessingWindow.h"

#include <optional>

namespace
{

// The bracket around a computation on a view's image: the main window is not busy (no abort question can stop
// it), the status dialog shows the task and the image's monitor reports to it until the bracket closes.
class ViewComputation
{
public:
   ViewComputation( const qor::Image& image, const std::string& taskText, const std::string& monitorText,
                    int64_t total )
   {
      if ( MainWindow != nullptr )
         MainWindow->EndProcessing();
      TProcessingStatusDialog& dialog = StatusDialog();
      dialog.BeginTasks();
      dialog.AddTask( taskText, 0, 0 );
      dialog.NextTask();
      monitor.emplace( image );
      image.BeginTask( monitorText, total );
   }

   ~ViewComputation()
   {
      monitor.reset();
      StatusDialog().EndTasks();
   }

   ViewComputation( const ViewComputation& ) = delete;
   ViewComputation& operator=( const ViewComputation& ) = delete;

private:
   std::optional<StatusMonitorScope> monitor;
};

// Bin of a sample: round(v * (bins - 1)), ties to even, clamped to the histogram; NaN falls in bin 0. The product
// is exact in double (a float times a 31-bit integer), so the rounding is that of the exact value.
inline int32_t HistogramBin( float v, double scale, double last )
{
   double t = double( v ) * scale;
   t = t > 0 ? t : 0.0; // negatives and NaN
   t = t < last ? t : last;
   constexpr double shifter = 6755399441055744.0; // 1.5 * 2^52: rounds to nearest, ties to even
   return int32_t( ( t + shifter ) - shifter );
}

// ---- Row kernels of the statistics ----
//
// Each row is summed in sixteen lanes of doubles (lane k takes the samples at x = k mod 16), the lanes are added in
// order at the end of the row and the few samples past the last whole group after them. The layout is fixed by
// the code, not by the instruction set: the same body is compiled on vectors of eight doubles for AVX-512 and of
// four for AVX2 and the baseline, lane by lane with the same operations in the same order and no fused
// multiply-adds, so every version gives the same bits. NaN samples count nowhere: in the sums they are replaced by
// a value that adds nothing, and the comparisons of the minimum and the maximum never pick them. A row is first
// summed as if it had no NaN; a NaN in its sums sends it through the version that leaves them out, whose figures
// for a row without NaN are the very same.
#pragma GCC diagnostic ignored "-Wpsabi"
#pragma GCC push_options
#pragma GCC optimize( "fp-contract=off" )
constexpr int32_t StatisticsLanes = 16;

struct RowSums
{
   int64_t count;
   double sum;
   float minimum, maximum;
};

struct RowDeviations
{
   double absSum, squareSum, sum;
};

// The vectors of an instruction set: N samples as floats and as doubles, and the conversion from the one to the
// other (by the processor's own instruction where there is one: the compiler splits up its generic conversion).
template <int32_t Width>
struct StatisticsVectors
{
   static constexpr int32_t N = Width;
   typedef float Floats __attribute__( ( vector_size( 4 * Width ) ) );
   typedef int32_t Ints __attribute__( ( vector_size( 4 * Width ) ) );
   typedef double Doubles __attribute__( ( vector_size( 8 * Width ) ) );
   typedef int64_t Longs __attribute__( ( vector_size( 8 * Width ) ) );
};

struct StatisticsBaseline : StatisticsVectors<4>
{
   static Doubles ToDoubles( Floats v ) { return __builtin_convertvector( v, Doubles ); }
};

#if defined( __GNUC__ ) && !defined( __clang__ ) && defined( __x86_64__ ) && !defined( __SANITIZE_ADDRESS__ )
#define QOR_STATISTICS_LEVELS 1
struct StatisticsAVX2 : StatisticsBaseline
{
   [[gnu::target( "avx" )]] static Doubles ToDoubles( Floats v ) { return Doubles( _mm256_cvtps_pd( __m128( v ) ) ); }
};

struct StatisticsAVX512 : StatisticsVectors<8>
{
   [[gnu::target( "avx512f" )]] static Doubles ToDoubles( Floats v )
   {
      // The masked form: the plain one leaves its unused source undefined, which the compiler warns about.
      return Doubles( _mm512_maskz_cvtps_pd( __mmask8( 0xff ), __m256( v ) ) );
   }
};
#endif

template <class L>
typename L::Floats LoadFloats( const float* p )
{
   typename L::Floats v;
   std::memcpy( &v, p, sizeof( v ) );
   return v;
}

// The sums of a row; Holes: NaN samples are left out (otherwise the row must have none for the figures to hold).
template <class L, bool Holes>
inline RowSums SumRowOf( const float* row, int32_t width )
{
   using Floats = typename L::Floats;
   using Ints = typename L::Ints;
   using Doubles = typename L::Doubles;
   constexpr int32_t N = L::N;
   constexpr int32_t parts = StatisticsLanes / N;
   constexpr float inf = std::numeric_limits<float>::infinity();
   const Floats zero = {};
   Doubles sum[parts] = {};
   Ints numbers[parts] = {};
   Floats lo[parts], hi[parts];
   for ( int32_t p = 0; p < parts; ++p )
   {
      lo[p] = zero + inf;
      hi[p] = zero - inf;
   }
   int32_t x = 0;
   for ( ; x + StatisticsLanes <= width; x += StatisticsLanes )
      for ( int32_t p = 0; p < parts; ++p )
      {
         const Floats v = LoadFloats<L>( row + x + N * p );
         if constexpr ( Holes )
         {
            const Ints number = v == v;
            sum[p] += L::ToDoubles( number ? v : zero );
            numbers[p] -= number; // true is -1
         }
         else
            sum[p] += L::ToDoubles( v );
         lo[p] = v < lo[p] ? v : lo[p];
         hi[p] = hi[p] < v ? v : hi[p];
      }
   RowSums r{ Holes ? 0 : x, 0.0, inf, -inf };
   for ( int32_t k = 0; k < StatisticsLanes; ++k )
   {
      if constexpr ( Holes )
         r.count += numbers[k / N][k % N];
      r.sum += sum[k / N][k % N];
      r.minimum = std::min( r.minimum, lo[k / N][k % N] );
      r.maximum = std::max( r.maximum, hi[k / N][k % N] );
   }
   if ( !Holes && std::isnan( r.sum ) )
      return SumRowOf<L, true>( row, width );
   for ( ; x < width; ++x )
   {
      float v = row[x];
      if ( std::isnan( v ) )
         continue;
      ++r.count;
      r.sum += v;
      r.minimum = std::min( r.minimum, v );
      r.maximum = std::max( r.maximum, v );
   }
   return r;
}

// The deviations of a row from the mean; Holes as for SumRowOf.
template <class L, bool Holes>
inline RowDeviations DeviateRowOf( const float* row, int32_t width, float mean )
{
   using Floats = typename L::Floats;
   using Doubles = typename L::Doubles;
   using Longs = typename L::Longs;
   constexpr int32_t N = L::N;
   constexpr int32_t parts = StatisticsLanes / N;
   Doubles absSum[parts] = {}, squareSum[parts] = {}, sum[parts] = {};
   const Floats m = Floats{} + mean;
   const Doubles md = L::ToDoubles( m );
   const Longs magnitude = Longs{} + int64_t( 0x7fffffffffffffff );
   int32_t x = 0;
   for ( ; x + StatisticsLanes <= width; x += StatisticsLanes )
      for ( int32_t p = 0; p < parts; ++p )
      {
         const Floats v = LoadFloats<L>( row + x + N * p );
         // A NaN sample becomes the mean: a deviation of exactly 0.
         const Doubles d = L::ToDoubles( Holes ? ( v == v ? v : m ) : v ) - md;
         absSum[p] += reinterpret_cast<Doubles>( reinterpret_cast<Longs>( d ) & magnitude );
         squareSum[p] += d * d;
         sum[p] += d;
      }
   RowDeviations r{ 0.0, 0.0, 0.0 };
   for ( int32_t k = 0; k < StatisticsLanes; ++k )
   {
      r.absSum += absSum[k / N][k % N];
      r.squareSum += squareSum[k / N][k % N];
      r.sum += sum[k / N][k % N];
   }
   if ( !Holes && std::isnan( r.absSum ) )
      return DeviateRowOf<L, true>( row, width, mean );
   for ( ; x < width; ++x )
   {
      if ( std::isnan( row[x] ) )
         continue;
      double d = double( row[x] ) - double( mean );
      r.absSum += std::abs( d );
      r.squareSum += d * d;
      r.sum += d;
   }
   return r;
}

// The entry points of each instruction set; flatten compiles the bodies, with their conversions, into each.
template <class L>
[[gnu::flatten]] RowSums SumRowWith( const float* row, int32_t width )
{
   return SumRowOf<L, false>( row, width );
}

template <class L>
[[gnu::flatten]] RowDeviations DeviateRowWith( const float* row, int32_t width, float mean )
{
   return DeviateRowOf<L, false>( row, width, mean );
}

#ifdef QOR_STATISTICS_LEVELS
[[gnu::target( "arch=x86-64-v4" ), gnu::flatten]] RowSums SumRowAVX512( const float* row, int32_t width )
{
   return SumRowOf<StatisticsAVX512, false>( row, width );
}

[[gnu::target( "arch=x86-64-v3" ), gnu::flatten]] RowSums SumRowAVX2( const float* row, int32_t width )
{
   return SumRowOf<StatisticsAVX2, false>( row, width );
}

[[gnu::target( "arch=x86-64-v4" ), gnu::flatten]] RowDeviations DeviateRowAVX512( const float* row, int32_t width,
                                                                                  float mean )
{
   return DeviateRowOf<StatisticsAVX512, false>( row, width, mean );
}

[[gnu::target( "arch=x86-64-v3" ), gnu::flatten]] RowDeviations DeviateRowAVX2( const float* row, int32_t width,
                                                                                float mean )
{
   return DeviateRowOf<StatisticsAVX2, false>( row, width, mean );
}

// The widest version the processor runs: 0 baseline, 1 AVX2, 2 AVX-512.
int StatisticsLevel()
{
   static const int level = []
   {
      __builtin_cpu_init();
      if ( __builtin_cpu_supports( "x86-64-v4" ) )
         return 2;
      return __builtin_cpu_supports( "x86-64-v3" ) ? 1 : 0;
   }();
   return level;
}
#endif

RowSums SumRow( const float* row, int32_t width )
{
#ifdef QOR_STATISTICS_LEVELS
   switch ( StatisticsLevel() )
   {
   case 2:
      return SumRowAVX512( row, width );
   case 1:
      return SumRowAVX2( row, width );
   }
#endif
   return SumRowWith<StatisticsBaseline>( row, width );
}

RowDeviations DeviateRow( const float* row, int32_t width, float mean )
{
#ifdef QOR_STATISTICS_LEVELS
   switch ( StatisticsLevel() )
   {
   case 2:
      return DeviateRowAVX512( row, width, mean );
   case 1:
      return DeviateRowAVX2( row, width, mean );
   }
#endif
   return DeviateRowWith<StatisticsBaseline>( row, width, mean );
}
#pragma GCC pop_options

// Keys that sort like the samples' values (-0 just below +0); every NaN gets the largest key, above +infinity's.
inline uint32_t SampleKey( float v )
{
   const uint32_t u = std::bit_cast<uint32_t>( v );
   const uint32_t key = u ^ ( uint32_t( int32_t( u ) >> 31 ) | 0x80000000u );
   return v == v ? key : 0xFFFFFFFFu;
}

inline float SampleOfKey( uint32_t u )
{
   return std::bit_cast<float>( ( u & 0x80000000u ) != 0 ? ( u & 0x7FFFFFFFu ) : ~u );
}

constexpr uint32_t LargestNumberKey = 0xFF800000u; // +infinity

// The k-th smallest (0-based) of the samples of a channel that are not NaN, exactly, without copying or reordering
// them: a histogram of the upper 16 bits of the samples' keys finds the bin of rank k, a histogram of the lower 16
// bits of the samples in that bin the key. Two parallel counting passes; counts do not depend on the number of
// threads.
float KthSmallestByHistograms( const qor::Image& img, int32_t c, int64_t k )
{
   const int32_t width = img.Width();
   std::vector<int64_t> counts( 65536 );
   std::mutex merge;
   auto count = [&]( auto binOf )
   {
      std::fill( counts.begin(), counts.end(), 0 );
      qor::ParallelFor( img.Height(),
                        [&]( int64_t y0, int64_t y1 )
                        {
                           std::vector<uint32_t> local( 65536, 0 );
                           for ( int64_t y = y0; y < y1; ++y )
                           {
                              const float* row = img.ScanLine( c, int32_t( y ) );
                              for ( int32_t x = 0; x < width; ++x )
                                 if ( !std::isnan( row[x] ) )
                                    if ( int32_t b = binOf( SampleKey( row[x] ) ); b >= 0 )
                                       ++local[size_t( b )];
                           }
                           std::lock_guard<std::mutex> lock( merge );
                           for ( size_t b = 0; b < 65536; ++b )
                              counts[b] += local[b];
                        } );
      // The bin that holds rank k, and k within it.
      size_t b = 0;
      while ( k >= counts[b] )
         k -= counts[b++];
      return uint32_t( b );
   };
   const uint32_t high = count( []( uint32_t u ) { return int32_t( u >> 16 ); } );
   const uint32_t low =
       count( [high]( uint32_t u ) { return ( u >> 16 ) == high ? int32_t( u & 0xFFFFu ) : int32_t( -1 ); } );
   return SampleOfKey( ( high << 16 ) | low );
}

// Counts the n samples at p whose key lies below `low` and writes the keys within [low, low + span] to `band`
// (NaN never: its key lies above every band), returning their number in `inside`; `band` has room for n + 16 keys.
// Sixteen keys are made and compared at a time. The generic version looks one by one only at the groups that hold a
// key of the band, writing them without a branch; the AVX-512 one packs them in a register and stores them whatever
// the group holds, since a band of a few percent leaves about every other group with a key in it, a branch that no
// predictor guesses.
int64_t CountBandGeneric( const float* __restrict p, int64_t n, uint32_t low, uint32_t span, uint32_t* __restrict band,
                          int64_t& inside )
{
   constexpr int32_t Group = 16;
   int64_t below = 0, m = 0;
   int64_t i = 0;
   for ( ; i + Group <= n; i += Group )
   {
      uint32_t keys[Group];
      uint32_t under = 0, any = 0;
      for ( int32_t j = 0; j < Group; ++j )
      {
         keys[j] = SampleKey( p[i + j] );
         under += keys[j] < low ? 1u : 0u;
         any |= keys[j] - low <= span ? 1u : 0u;
      }
      below += under;
      if ( any != 0 )
         for ( int32_t j = 0; j < Group; ++j )
         {
            band[m] = keys[j];
            m += keys[j] - low <= span ? 1 : 0;
         }
   }
   for ( ; i < n; ++i )
   {
      const uint32_t key = SampleKey( p[i] );
      below += key < low ? 1 : 0;
      band[m] = key;
      m += key - low <= span ? 1 : 0;
   }
   inside = m;
   return below;
}

#ifdef QOR_STATISTICS_LEVELS
[[gnu::target( "arch=x86-64-v4" )]] int64_t CountBandAVX512( const float* __restrict p, int64_t n, uint32_t low,
                                                             uint32_t span, uint32_t* __restrict band, int64_t& inside )
{
   const __m512i lows = _mm512_set1_epi32( int32_t( low ) );
   const __m512i spans = _mm512_set1_epi32( int32_t( span ) );
   const __m512i signBit = _mm512_set1_epi32( int32_t( 0x80000000u ) );
   const __m512i one = _mm512_set1_epi32( 1 );
   // Sixteen counts of the samples below, one a lane: n / 16 fits in each.
   __m512i under = _mm512_setzero_si512();
   int64_t m = 0, i = 0;
   for ( ; i + 16 <= n; i += 16 )
   {
      const __m512 v = _mm512_loadu_ps( p + i );
      const __m512i u = _mm512_castps_si512( v );
      // NaN is neither below nor inside, whatever key its sign gives it.
      const __mmask16 number = _mm512_cmp_ps_mask( v, v, _CMP_ORD_Q );
      const __m512i key = _mm512_xor_si512( u, _mm512_or_si512( _mm512_srai_epi32( u, 31 ), signBit ) );
      under = _mm512_mask_add_epi32( under, _mm512_mask_cmplt_epu32_mask( number, key, lows ), under, one );
      const __mmask16 in = _mm512_mask_cmple_epu32_mask( number, _mm512_sub_epi32( key, lows ), spans );
      _mm512_storeu_si512( band + m, _mm512_maskz_compress_epi32( in, key ) );
      m += __builtin_popcount( in );
   }
   int64_t tail = 0;
   const int64_t below = _mm512_reduce_add_epi32( under ) + CountBandGeneric( p + i, n - i, low, span, band + m, tail );
   inside = m + tail;
   return below;
}
#endif

int64_t CountBand( const float* p, int64_t n, uint32_t low, uint32_t span, uint32_t* band, int64_t& inside )
{
#ifdef QOR_STATISTICS_LEVELS
   if ( StatisticsLevel() == 2 )
      return CountBandAVX512( p, n, low, span, band, inside );
#endif
   return CountBandGeneric( p, n, low, span, band, inside );
}

// The ranks, in a regular sample of s keys, that bracket the sample's rank `rank` of a wanted key by a wide margin:
// four standard deviations of a sample's rank (at most sqrt(s) / 2), and some more for small samples.
std::pair<int64_t, int64_t> RankBracket( double rank, int64_t s )
{
   const double margin = 4 * std::sqrt( double( s ) * 0.25 ) + 16;
   return { int64_t( std::floor( rank - margin ) ), int64_t( std::ceil( rank + margin ) ) };
}

// The keys of ranks r0 <= r1 (0-based, in [0, m)) of the m keys at `keys`, exactly; the keys are reordered and
// `spare` has room for m keys. Every seventh key brackets the two ranks roughly (not every eighth: the keys come
// from rows eight at a time, and every eighth would be one column of the image); one pass counts the keys below the
// bracket and gathers those in it, a few thousand, among which the two are selected: a fraction of the work of
// selecting among all of them, where the selection runs when the bracket misses.
void SelectTwoRanks( uint32_t* keys, int64_t m, int64_t r0, int64_t r1, uint32_t* spare, uint32_t& k0, uint32_t& k1 )
{
   std::vector<uint32_t> sub;
   sub.reserve( size_t( m / 7 + 1 ) );
   for ( int64_t i = 0; i < m; i += 7 )
      sub.push_back( keys[i] );
   const int64_t s = int64_t( sub.size() );
   const int64_t q0 = RankBracket( double( r0 ) * double( s ) / double( m ), s ).first;
   const int64_t q1 = RankBracket( double( r1 ) * double( s ) / double( m ), s ).second;
   uint32_t a = 0, b = 0xFFFFFFFFu;
   if ( q0 > 0 )
   {
      std::nth_element( sub.begin(), sub.begin() + q0, sub.end() );
      a = sub[size_t( q0 )];
   }
   if ( q1 < s - 1 )
   {
      std::nth_element( sub.begin() + std::max<int64_t>( q0, 0 ), sub.begin() + q1, sub.end() );
      b = sub[size_t( q1 )];
   }
   int64_t under = 0, n = 0;
   for ( int64_t i = 0; i < m; ++i )
   {
      under += keys[i] < a ? 1 : 0;
      spare[n] = keys[i];
      n += keys[i] - a <= b - a ? 1 : 0;
   }
   if ( r0 < under || r1 >= under + n )
   {
      spare = keys;
      under = 0;
      n = m;
   }
   std::nth_element( spare, spare + ( r0 - under ), spare + n );
   k0 = spare[r0 - under];
   std::nth_element( spare + ( r0 - under ), spare + ( r1 - under ), spare + n );
   k1 = spare[r1 - under];
}

// The exact median of a channel with no pass of its own in most cases. A regular sample of the channel, taken
// before the channel is read, brackets the middle rank: the keys of ranks m/2 -+ four standard deviations of the
// sample's rank, or more, bound a band that holds the middle by a wide margin. The pass that sums the rows also
// counts, row by row through a Strip, the samples below the band and collects those inside it (a few percent); the
// median is then found among the collected keys by a histogram and a selection in its bin. When the band misses the
// middle rank (a sample too small, or one that happens to misjudge the channel) or holds too much (a channel of a
// few values repeated, where counting histograms is quicker), the two histogram passes above give the answer.
// Either way the result is the sample of the rank asked, whatever the number of threads: the rows' keys land in
// the band in the order the threads finish them, but neither the counts nor the selection depend on that order.
class MedianBand
{
public:
   // Takes the sample and sets the band; false when the channel is too small or has too few numbers for a sample
   // to bracket its median (the histogram passes find it then).
   bool Bracket( const qor::Image& img, int32_t c )
   {
      const int64_t pixels = img.NumberOfPixels();
      constexpr int64_t SampleSize = 32768;
      if ( pixels < 16 * SampleSize )
         return false;
      // Room for an eighth of the samples (two samples at least), in one block from the image planes' cache: the
      // same statistics asked again find it there, its pages already mapped. The sample is taken in it too, before
      // the band fills it.
      if ( room != pixels / 8 )
      {
         room = pixels / 8;
         block = qor::Image::NewPlane( room );
      }
      const float* plane = img[c];
      uint32_t* sample = Keys();
      // Scattered reads that wait for memory one by one: taken on all threads, NaN dropped afterwards.
      const int64_t step = pixels / SampleSize;
      qor::ParallelFor(
          SampleSize,
          [&]( int64_t j0, int64_t j1 )
          {
             for ( int64_t j = j0; j < j1; ++j )
                sample[j] = SampleKey( plane[step / 2 + j * step] );
          },
          nullptr, 1, 1024 );
      const int64_t m = std::remove( sample, sample + SampleSize, 0xFFFFFFFFu ) - sample;
      if ( m < SampleSize / 4 )
         return false;
      const auto [lowRank, highRank] = RankBracket( 0.5 * double( m ), m );
      uint32_t lowKey = 0, highKey = 0;
      SelectTwoRanks( sample, m, std::clamp<int64_t>( lowRank, 0, m - 1 ), std::clamp<int64_t>( highRank, 0, m - 1 ),
                      sample + SampleSize, lowKey, highKey );
      low = lowRank > 0 ? lowKey : 0;
      span = ( highRank < m - 1 ? highKey : LargestNumberKey ) - low;
      used = 0;
      below = 0;
      full = false;
      return true;
   }

   // The band's share of a strip of rows on one thread: its rows' keys gather here and go to the band in batches,
   // so that the threads seldom meet on the band's counters.
   class Strip
   {
   public:
      Strip( MedianBand& band, int32_t width )
          : band( band ), width( width ), keys( std::max<size_t>( 16384, 4 * ( size_t( width ) + 16 ) ) )
      {
      }

      // Counts and collects the band's samples of a row.
      void Count( const float* row )
      {
         if ( band.full.load( std::memory_order_relaxed ) )
            return;
         if ( keys.size() - size_t( gathered ) < size_t( width ) + 16 )
            Flush();
         int64_t inside = 0;
         below += CountBand( row, width, band.low, band.span, keys.data() + gathered, inside );
         gathered += inside;
      }

      // Hands what is left to the band; at the end of the strip.
      void Finish()
      {
         Flush();
         band.below.fetch_add( below );
      }

   private:
      void Flush()
      {
         const int64_t at = band.used.fetch_add( gathered );
         if ( at + gathered > band.room )
            band.full = true;
         else
            std::memcpy( band.Keys() + at, keys.data(), size_t( gathered ) * sizeof( uint32_t ) );
         gathered = 0;
      }

      MedianBand& band;
      const int32_t width;
      std::vector<uint32_t> keys;
      int64_t gathered = 0, below = 0;
   };

   // The k-th smallest (0-based) of the channel's numbers, once every row was counted.
   float KthSmallest( const qor::Image& img, int32_t c, int64_t k )
   {
      const int64_t under = below.load(), inside = used.load();
      if ( full || k < under || k >= under + inside )
         return KthSmallestByHistograms( img, c, k );
      k -= under;

      // Rank k among the band's keys: a histogram of their offsets in the band, then a selection in the bin. The
      // counts are integers, so how the keys are split among the threads does not matter.
      const uint32_t* keys = Keys();
      constexpr int32_t BinBits = 12, Bins = 1 << BinBits;
      const int32_t shift = std::max( 0, int32_t( std::bit_width( span ) ) - BinBits );
      std::vector<int64_t> counts( size_t( Bins ), 0 );
      std::mutex merge;
      qor::ParallelFor(
          inside,
          [&]( int64_t j0, int64_t j1 )
          {
             int64_t local[Bins] = {};
             for ( int64_t j = j0; j < j1; ++j )
                ++local[( keys[j] - low ) >> shift];
             std::lock_guard<std::mutex> lock( merge );
             for ( int32_t b = 0; b < Bins; ++b )
                counts[size_t( b )] += local[b];
          },
          nullptr, 1, 65536 );
      uint32_t bin = 0;
      while ( k >= counts[bin] )
         k -= counts[bin++];
      std::vector<uint32_t> selected;
      selected.reserve( size_t( counts[bin] ) );
      qor::ParallelFor(
          inside,
          [&]( int64_t j0, int64_t j1 )
          {
             // Written without a branch, a block at a time.
             std::vector<uint32_t> local;
             uint32_t found[1024];
             for ( int64_t j = j0; j < j1; j += 1024 )
             {
                size_t n = 0;
                for ( int64_t i = j; i < std::min( j1, j + 1024 ); ++i )
                {
                   found[n] = keys[i];
                   n += ( keys[i] - low ) >> shift == bin ? 1 : 0;
                }
                local.insert( local.end(), found, found + n );
             }
             std::lock_guard<std::mutex> lock( merge );
             selected.insert( selected.end(), local.begin(), local.end() );
          },
          nullptr, 1, 65536 );
      std::nth_element( selected.begin(), selected.begin() + k, selected.end() );
      return SampleOfKey( selected[size_t( k )] );
   }

private:
   uint32_t* Keys() { return reinterpret_cast<uint32_t*>( block.get() ); }

   uint32_t low = 0, span = 0;
   qor::Image::Plane block;
   int64_t room = 0;
   // Apart, so that the threads' counting does not move the flag's cache line.
   alignas( 64 ) std::atomic<int64_t> used{ 0 }, below{ 0 };
   alignas( 64 ) std::atomic<bool> full{ false };
};

} // namespace

// ---- HistogramData --------------------------------------------------------------------------------------------------

void TImageWindow::HistogramData::Allocate( int32_t binCount, int32_t channels )
{
   Deallocate();
   bins = binCount;
   for ( int32_t c = 0; c < std::min( channels, 3 ); ++c )
   {
      counts[c] = std::make_unique<int32_t[]>( size_t( std::max( binCount, 0 ) ) ); // zero-filled
      peaks[c] = 0;
   }
}

void TImageWindow::HistogramData::Deallocate()
{
   for ( auto& c : counts )
      c.reset();
}

// ---- View -----------------------------------------------------------------------------------------------------------

TImageWindow::View::View( qor::Image** imageSlot, TImageWindow* window, const std::string& identifier )
    : imageSlot( imageSlot ), window( window ), identifier( identifier ), history( new ProcessContainer )
{
}

TImageWindow::View::~View() = default;

bool TImageWindow::View::IsModified() const
{
   return window->modificationCount > 0;
}

void TImageWindow::View::Modified( bool notify )
{
   ++window->modificationCount;
   if ( notify )
   {
      window->NotifyMaskReferences();
      window->DiscardHistograms( false );
      window->DiscardStatistics( false );
   }
}

void TImageWindow::View::AddStatusTask( const std::string& text, int32_t level )
{
   TProcessingStatusDialog& dialog = StatusDialog();
   dialog.AddTask( text, level, 0 );
   dialog.NextTask();
}

bool TImageWindow::View::SetAbortable( bool abortable )
{
   if ( MainWindow == nullptr )
      return false;
   const bool was = MainWindow->processing;
   if ( abortable && !was )
      MainWindow->BeginProcessing();
   else if ( !abortable && was )
      MainWindow->EndProcessing();
   return was;
}

void TImageWindow::View::SetIdentifier( const std::string& text )
{
   identifier = text;
   window->UpdateCaption();
   window->RepaintViewTabs();
   window->NotifyMaskReferences();
   NotifyViewRenamed( *this );
   for ( Preview* p : window->previews )
      NotifyViewRenamed( *p );
}

// ---- History --------------------------------------------------------------------------------------------------------

Process* TImageWindow::View::LastProcess() const
{
   return history->instances.IsEmpty() ? nullptr : *( history->instances.End() - 1 );
}

void TImageWindow::View::AddToHistory( std::unique_ptr<Process> instance )
{
   redoProcess.reset();
   if ( instance == nullptr )
      return;
   instance->owner = history.get();
   history->instances.Add( instance.get() );
   instance.release();
}

void TImageWindow::View::MoveLastProcessToRedo()
{
   redoProcess.reset();
   if ( history->instances.IsEmpty() )
      return;
   auto last = history->instances.End() - 1;
   Process* p = *last;
   history->instances.RemoveAt( last );
   p->owner = nullptr;
   redoProcess.reset( p );
}

void TImageWindow::View::MoveRedoProcessToHistory()
{
   // The argument takes the instance before AddToHistory clears the redo slot.
   AddToHistory( std::move( redoProcess ) );
}

void TImageWindow::View::ClearHistory()
{
   redoProcess.reset();
   history->instances.DeleteObjects();
   history->instances.Clear();
}

void TImageWindow::View::DiscardRedoProcess()
{
   redoProcess.reset();
}

void TImageWindow::View::ListHistory( std::vector<std::string>& list ) const
{
   history->ListInstances( list, 0 );
}

void TImageWindow::View::SetHistory( ProcessContainer* container )
{
   history.reset( container != nullptr ? container : new ProcessContainer );
}

// ---- Caches ---------------------------------------------------------------------------------------------------------

void TImageWindow::View::ComputeHistograms( const qor::Image& img, int32_t bins, HistogramData& result )
{
   bins = std::max( bins, 1 );
   const int32_t channels = std::min( img.NumberOfNominalChannels(), 3 );
   result.Allocate( bins, channels );
   if ( img.IsEmpty() || channels <= 0 )
      return;

   const int32_t width = img.Width();
   const double scale = double( bins ) - 1;
   std::mutex merge;
   // Each strip counts into its own arrays, which are then added to the result. Integer sums do not depend on
   // the order, so the result is the same for any number of threads.
   img.ParallelRows(
       img.Height(),
       [&]( int64_t y0, int64_t y1 )
       {
          std::vector<int32_t> local( size_t( channels ) * size_t( bins ), 0 );
          for ( int32_t c = 0; c < channels; ++c )
          {
             int32_t* count = local.data() + size_t( c ) * size_t( bins );
             for ( int64_t y = y0; y < y1; ++y )
             {
                const float* row = img.ScanLine( c, int32_t( y ) );
                for ( int32_t x = 0; x < width; ++x )
                   ++count[HistogramBin( row[x], scale, scale )];
             }
          }
          std::lock_guard<std::mutex> lock( merge );
          for ( int32_t c = 0; c < channels; ++c )
          {
             int32_t* total = result.counts[c].get();
             const int32_t* count = local.data() + size_t( c ) * size_t( bins );
             for ( int32_t b = 0; b < bins; ++b )
                total[b] += count[b];
          }
       },
       int64_t( width ) * channels );

   for ( int32_t c = 0; c < channels; ++c )
      result.peaks[c] = *std::max_element( result.counts[c].get(), result.counts[c].get() + bins );
}

void TImageWindow::View::CalculateHistograms( int32_t bins, bool notify )
{
   const qor::Image& img = GetImage();
   auto result = std::make_unique<HistogramData>();
   {
      ViewComputation task( img, "Calculating Histograms: " + FullIdentifier(), "Calculating histograms",
                            img.NumberOfPixels() * std::min( img.NumberOfNominalChannels(), 3 ) );
      ComputeHistograms( img, bins, *result );
   }
   histograms = std::move( result );
   if ( notify )
      NotifyHistogramsChanged( *this );
}

void TImageWindow::View::ComputeStatistics( const qor::Image& img, StatisticsData& result, bool median )
{
   result = StatisticsData();
   const int32_t channels = std::min( img.NumberOfNominalChannels(), 3 );
   if ( img.IsEmpty() || channels <= 0 )
      return;
   const int32_t width = img.Width();
   const int32_t height = img.Height();

   // Sums are taken per row and then added in row order, so the result is the same for any number of threads.
   // NaN samples are left out of every figure.
   std::vector<RowSums> first( static_cast<size_t>( height ) );
   std::vector<RowDeviations> second( static_cast<size_t>( height ) );

   // The median's band is counted in the same pass as the sums, each row while it is still in the cache.
   MedianBand band;
   for ( int32_t c = 0; c < channels; ++c )
   {
      const bool banded = median && band.Bracket( img, c );
      img.ParallelRows(
          height,
          [&]( int64_t y0, int64_t y1 )
          {
             std::optional<MedianBand::Strip> strip;
             if ( banded )
                strip.emplace( band, width );
             for ( int64_t y = y0; y < y1; ++y )
             {
                const float* row = img.ScanLine( c, int32_t( y ) );
                first[size_t( y )] = SumRow( row, width );
                if ( strip )
                   strip->Count( row );
             }
             if ( strip )
                strip->Finish();
          },
          width );

      int64_t n = 0;
      double sum = 0;
      float minimum = std::numeric_limits<float>::infinity();
      float maximum = -std::numeric_limits<float>::infinity();
      for ( const RowSums& r : first )
      {
         n += r.count;
         sum += r.sum;
         minimum = std::min( minimum, r.minimum );
         maximum = std::max( maximum, r.maximum );
      }
      const float mean = n > 0 ? float( sum / double( n ) ) : std::numeric_limits<float>::quiet_NaN();

      img.ParallelRows(
          height,
          [&]( int64_t y0, int64_t y1 )
          {
             for ( int64_t y = y0; y < y1; ++y )
                second[size_t( y )] = DeviateRow( img.ScanLine( c, int32_t( y ) ), width, mean );
          },
          width );

      if ( n == 0 )
      {
         const float nan = std::numeric_limits<float>::quiet_NaN();
         result.mean[c] = result.median[c] = result.stdDev[c] = result.avgDev[c] = result.variance[c] =
             result.minimum[c] = result.maximum[c] = nan;
         continue;
      }

      double absSum = 0, squareSum = 0, deviationSum = 0;
      for ( const RowDeviations& r : second )
      {
         absSum += r.absSum;
         squareSum += r.squareSum;
         deviationSum += r.sum;
      }
      // A single sample has no spread: variance 0 rather than a division by zero.
      double variance =
          n > 1 ? std::max( 0.0, ( squareSum - deviationSum * deviationSum / double( n ) ) / double( n - 1 ) ) : 0.0;

      result.mean[c] = mean;
      result.variance[c] = float( variance );
      result.stdDev[c] = float( std::sqrt( variance ) );
      result.avgDev[c] = float( absSum / double( n ) );
      result.minimum[c] = minimum;
      result.maximum[c] = maximum;
      if ( !median )
         continue;

      // Median: the sample of rank n/2, the upper middle one for an even count.
      result.median[c] = banded ? band.KthSmallest( img, c, n / 2 ) : KthSmallestByHistograms( img, c, n / 2 );
   }
}

void TImageWindow::View::CalculateStatistics( bool notify )
{
   const qor::Image& img = GetImage();
   auto result = std::make_unique<StatisticsData>();
   {
      ViewComputation task( img, "Calculating Statistics:" + FullIdentifier(), "Calculating statistics",
                            img.NumberOfPixels() * std::min( img.NumberOfNominalChannels(), 3 ) * 2 );
      ComputeStatistics( img, *result );
   }
   statistics = std::move( result );
   if ( notify )
      NotifyStatisticsChanged( *this );
}

void TImageWindow::View::DiscardHistograms( bool notify )
{
   histograms.reset();
   if ( notify )
      NotifyHistogramsChanged( *this );
}

void TImageWindow::View::DiscardStatistics( bool notify )
{
   statistics.reset();
   if ( notify )
      NotifyStatisticsChanged( *this );
}

// ---- Readout --------------------------------------------------------------------------------------------------------

float TImageWindow::View::ReadoutValue( int32_t channel, int32_t x, int32_t y ) const
{
   return ProbeValue( GetImage(), channel, x, y,
                      MainWindow != nullptr ? MainWindow->readoutOptions : ReadoutOptionsData{} );
}

float TImageWindow::View::ProbeValue( const qor::Image& img, int32_t channel, int32_t x, int32_t y,
                                      const ReadoutOptionsData& options )
{
   // A channel the image lacks, or a point outside it, reads nothing.
   if ( channel < 0 || channel >= img.NumberOfChannels() || x < 0 || y < 0 || x >= img.Width() || y >= img.Height() )
      return 0;
   if ( options.probeSize <= 1 )
      return img.Pixel( x, y, channel );

   const int32_t h = options.probeSize / 2;
   const int32_t x0 = std::max( x - h, 0 );
   const int32_t x1 = std::min( x + h + 1, img.Width() ) - 1;
   const int32_t y0 = std::max( y - h, 0 );
   const int32_t y1 = std::min( y + h + 1, img.Height() ) - 1;
   const int64_t n = int64_t( x1 - x0 + 1 ) * int64_t( y1 - y0 + 1 );
   if ( n <= 0 )
      return 0;

   switch ( options.mode )
   {
   case 0:
   {
      double sum = 0;
      for ( int32_t j = y0; j <= y1; ++j )
         for ( int32_t i = x0; i <= x1; ++i )
            sum += img.Pixel( i, j, channel );
      return float( sum / double( n ) );
   }
   case 1:
   {
      std::vector<float> samples;
      samples.reserve( size_t( n ) );
      for ( int32_t j = y0; j <= y1; ++j )
         for ( int32_t i = x0; i <= x1; ++i )
            samples.push_back( img.Pixel( i, j, channel ) );
      return *qor::SelectKthSmallest( samples.data(), samples.data() + samples.size(), n / 2 );
   }
   case 2:
   case 3:
   {
      // Both start from the first sample of the box, so that areas outside [0, 1] read true.
      float result = img.Pixel( x0, y0, channel );
      for ( int32_t j = y0; j <= y1; ++j )
         for ( int32_t i = x0; i <= x1; ++i )
         {
            float v = img.Pixel( i, j, channel );
            result = options.mode == 2 ? std::min( result, v ) : std::max( result, v );
         }
      return result;
   }
   default:
      return 0;
   }
}

// ---- Clipboard ------------------------------------------------------------------------------------------------------

QByteArray TImageWindow::View::ClipboardData() const
{
   static_assert( std::endian::native == std::endian::little, "the clipboard block is little-endian" );
   const qor::Image& img = GetImage();
   ClipboardImageHeader header;
   header.width = img.Width();
   header.height = img.Height();
   header.numberOfChannels = img.NumberOfChannels();
   header.colorSpace = img.GetColorSpace();

   const int64_t planeBytes = img.NumberOfPixels() * int64_t( sizeof( float ) );
   const int64_t size = int64_t( sizeof( header ) ) + planeBytes * header.numberOfChannels + ClipboardPadding;
   QByteArray bytes( qsizetype( size ), Qt::Uninitialized );
   char* out = bytes.data();
   std::memcpy( out, &header, sizeof( header ) );
   out += sizeof( header );
   for ( int32_t c = 0; c < header.numberOfChannels; ++c )
   {
      std::memcpy( out, img.PixelData( c ), size_t( planeBytes ) );
      out += planeBytes;
   }
   // The padding is zeroed: nothing of the process's memory leaves with the block.
   std::memset( out, 0, size_t( ClipboardPadding ) );
   return bytes;
}

void TImageWindow::View::CopyToClipboard() const
{
   QClipboard* clipboard = QGuiApplication::clipboard();
   if ( clipboard == nullptr )
      throw ProcessRefusal( "Unable to open the clipboard" );
   QByteArray bytes;
   try
   {
      bytes = ClipboardData();
   }
   catch ( const std::bad_alloc& )
   {
      throw ProcessRefusal( "Global memory allocation failed" );
   }
   const QString& format = TMainWindow::rawImageClipboardFormat;
   auto* data = new QMimeData;
   data->setData( format, bytes );
   clipboard->setMimeData( data );
   if ( !clipboard->mimeData()->hasFormat( format ) )
      throw ProcessRefusal( "Unable to set clipboard data" );
}
