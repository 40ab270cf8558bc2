// The operators compute both sides of their conditionals (a division by zero whose result is then discarded, for
// instance); floating-point exceptions run masked and nothing looks at them, so the compiler may turn the choices
// into selects and vectorise the row loops. It changes no result. The row loops are also compiled for AVX2 and
// AVX-512, where no multiplication may be fused with the addition that follows it: every instruction set gives the
// same bits.
#pragma GCC optimize( "no-trapping-math", "fp-contract=off" )

#include "PixelMath.h"

#include "Exception.h"
#include "Math.h"

#include <algorithm>
#include <cmath>
#ifdef __SSE__
#include <xmmintrin.h>
#endif
#include <limits>
#include <mutex>
#include <type_traits>
#include <vector>

namespace qor
{

namespace
{

constexpr double divisionGuard = 1e-35;
constexpr double quantumScale = 4294967295.0; // 2^32 - 1
constexpr double quantumUnit = 1.0 / 4294967295.0;
constexpr float largest = std::numeric_limits<float>::max();

template <int32_t Op> using OperatorTag = std::integral_constant<int32_t, Op>;

// One operator, chosen at compile time so that each row loop is a loop of its own.
template <int32_t Op> inline double Operate( double x, double b )
{
   using P = PixelMathOperator;
   if constexpr ( Op == P::ADD )
      return x + b;
   else if constexpr ( Op == P::SUB )
      return x - b;
   else if constexpr ( Op == P::MUL )
      return x * b;
   else if constexpr ( Op == P::DIV || Op == P::DIVConstrained )
   {
      const double quotient = x / b;
      const double overflow = x < 0 ? -PixelMathInfinity : PixelMathInfinity;
      return std::fabs( b ) > divisionGuard ? quotient : overflow;
   }
   else if constexpr ( Op == P::POW )
      return PixelMathPower( x, b );
   else if constexpr ( Op == P::DIF )
      return std::fabs( x - b );
   else if constexpr ( Op == P::MIN )
      return b >= x ? x : b;
   else if constexpr ( Op == P::MAX )
      return x >= b ? x : b;
   else if constexpr ( Op == P::MOV )
      return b;
   else if constexpr ( Op == P::OR )
      return double( PixelMathQuantize( x ) | PixelMathQuantize( b ) ) * quantumUnit;
   else if constexpr ( Op == P::AND )
      return double( PixelMathQuantize( x ) & PixelMathQuantize( b ) ) * quantumUnit;
   else if constexpr ( Op == P::XOR )
      return double( PixelMathQuantize( x ) ^ PixelMathQuantize( b ) ) * quantumUnit;
   else
      return x;
}

// Calls body( OperatorTag<op>() ) for the code; NOP for a code outside the table.
template <class Body> void WithOperator( int32_t op, Body&& body )
{
   using P = PixelMathOperator;
   switch ( op )
   {
   case P::ADD:
      body( OperatorTag<P::ADD>() );
      break;
   case P::SUB:
      body( OperatorTag<P::SUB>() );
      break;
   case P::MUL:
      body( OperatorTag<P::MUL>() );
      break;
   case P::DIV:
      body( OperatorTag<P::DIV>() );
      break;
   case P::DIVConstrained:
      body( OperatorTag<P::DIVConstrained>() );
      break;
   case P::POW:
      body( OperatorTag<P::POW>() );
      break;
   case P::DIF:
      body( OperatorTag<P::DIF>() );
      break;
   case P::MIN:
      body( OperatorTag<P::MIN>() );
      break;
   case P::MAX:
      body( OperatorTag<P::MAX>() );
      break;
   case P::MOV:
      body( OperatorTag<P::MOV>() );
      break;
   case P::OR:
      body( OperatorTag<P::OR>() );
      break;
   case P::AND:
      body( OperatorTag<P::AND>() );
      break;
   case P::XOR:
      body( OperatorTag<P::XOR>() );
      break;
   default:
      body( OperatorTag<P::NOP>() );
      break;
   }
}

#if defined( __GNUC__ ) && !defined( __clang__ ) && defined( __x86_64__ ) && !defined( __SANITIZE_ADDRESS__ )
#define QOR_PIXELMATH_ROW __attribute__( ( target_clones( "arch=x86-64-v4", "arch=x86-64-v3", "default" ) ) )
#else
#define QOR_PIXELMATH_ROW
#endif

// A row of the target with a row of the operand image, the operand scaled by f (and inverted) first.
template <int32_t Op>
QOR_PIXELMATH_ROW void OperateRow( float* __restrict row, const float* __restrict s, int32_t w, double f, bool invert )
{
   if ( invert )
      for ( int32_t x = 0; x < w; ++x )
         row[x] = float( Operate<Op>( row[x], 1 - double( s[x] ) * f ) );
   else
      for ( int32_t x = 0; x < w; ++x )
         row[x] = float( Operate<Op>( row[x], double( s[x] ) * f ) );
}

// A row mapped from [minimum, minimum + 1/inverseSpan] to [offset, offset + scale] (unit: to [0, 1]), inverted.
QOR_PIXELMATH_ROW void RescaleRow( float* __restrict row, int32_t w, double minimum, double inverseSpan, double scale,
                                   double offset, bool unit, bool invert )
{
   if ( unit && !invert )
      for ( int32_t x = 0; x < w; ++x )
         row[x] = float( ( double( row[x] ) - minimum ) * inverseSpan );
   else if ( unit )
      for ( int32_t x = 0; x < w; ++x )
         row[x] = float( 1 - ( double( row[x] ) - minimum ) * inverseSpan );
   else if ( !invert )
      for ( int32_t x = 0; x < w; ++x )
         row[x] = float( scale * ( ( double( row[x] ) - minimum ) * inverseSpan ) + offset );
   else
      for ( int32_t x = 0; x < w; ++x )
         row[x] = float( 1 - ( scale * ( ( double( row[x] ) - minimum ) * inverseSpan ) + offset ) );
}

bool IsOperation( int32_t op )
{
   return op > PixelMathOperator::NOP && op < PixelMathOperator::Count;
}

// Counts the samples of a channel that a stage leaves as they are; an abort asked for meanwhile ends the stage
// (a later answer would overwrite the request).
void Skip( const Image& image, int64_t units )
{
   if ( image.IsMonitored() && units > 0 )
      image.Status().Advance( units );
   image.ThrowIfAborted();
}

// The smallest and largest of n samples, NaN passed over (+infinity and -infinity when every sample is NaN).
void RangeOf( const float* p, int64_t n, float& low, float& high )
{
   int64_t x = 0;
#ifdef __SSE__
   // MINPS and MAXPS keep their second operand when the first is NaN: a NaN sample never enters the range.
   // Four accumulators each, so that the comparisons do not wait for one another.
   __m128 mn[4], mx[4];
   for ( int k = 0; k < 4; ++k )
   {
      mn[k] = _mm_set1_ps( std::numeric_limits<float>::infinity() );
      mx[k] = _mm_set1_ps( -std::numeric_limits<float>::infinity() );
   }
   for ( ; x + 16 <= n; x += 16 )
      for ( int k = 0; k < 4; ++k )
      {
         const __m128 v = _mm_loadu_ps( p + x + 4 * k );
         mn[k] = _mm_min_ps( v, mn[k] );
         mx[k] = _mm_max_ps( v, mx[k] );
      }
   for ( int k = 1; k < 4; ++k )
   {
      // Neither holds a NaN, so the order of the operands no longer matters.
      mn[0] = _mm_min_ps( mn[k], mn[0] );
      mx[0] = _mm_max_ps( mx[k], mx[0] );
   }
   float lanes[4];
   _mm_storeu_ps( lanes, mn[0] );
   low = std::min( std::min( lanes[0], lanes[1] ), std::min( lanes[2], lanes[3] ) );
   _mm_storeu_ps( lanes, mx[0] );
   high = std::max( std::max( lanes[0], lanes[1] ), std::max( lanes[2], lanes[3] ) );
#else
   low = std::numeric_limits<float>::infinity();
   high = -low;
#endif
   for ( ; x < n; ++x )
   {
      const float v = p[x];
      low = v < low ? v : low;
      high = v > high ? v : high;
   }
}

// Clipped to [0, 1]; NaN gives 0.
inline double Clip01( double v )
{
   return v > 0 ? ( v < 1 ? v : 1.0 ) : 0.0;
}

// A parallel pass over the rows of a channel: body( row, width, y ). With ranges, the range of every row is taken
// right after the body wrote it (while it is still in the cache) and the channel's range becomes known.
template <class Body>
void ChannelRows( Image& image, int32_t c, int64_t unitsPerRow, Body body, PixelMathRanges* ranges = nullptr )
{
   const int32_t width = image.Width();
   float low = std::numeric_limits<float>::infinity();
   float high = -low;
   std::mutex merge;
   image.ParallelRows(
       image.Height(),
       [&]( int64_t y0, int64_t y1 )
       {
          float stripLow = std::numeric_limits<float>::infinity();
          float stripHigh = -stripLow;
          for ( int64_t y = y0; y < y1; ++y )
          {
             float* row = image.ScanLine( c, int32_t( y ) );
             body( row, width, y );
             if ( ranges != nullptr )
             {
                float rowLow, rowHigh;
                RangeOf( row, width, rowLow, rowHigh );
                stripLow = std::min( stripLow, rowLow );
                stripHigh = std::max( stripHigh, rowHigh );
             }
          }
          if ( ranges != nullptr )
          {
             std::lock_guard<std::mutex> lock( merge );
             low = std::min( low, stripLow );
             high = std::max( high, stripHigh );
          }
       },
       unitsPerRow );
   if ( ranges != nullptr )
   {
      ranges->known[c] = true;
      ranges->low[c] = low;
      ranges->high[c] = high;
   }
}

// The same over whole strips of rows, which lie one after another in the plane: body( first sample, count ) once
// per strip, for the scans that merge a result per strip.
template <class Body> void ChannelStrips( Image& image, int32_t c, int64_t unitsPerRow, Body body )
{
   const int64_t width = image.Width();
   image.ParallelRows(
       image.Height(),
       [&]( int64_t y0, int64_t y1 ) { body( image.ScanLine( c, int32_t( y0 ) ), ( y1 - y0 ) * width ); },
       unitsPerRow );
}

} // namespace

// ---- Operators ---------------------------------------------------------------------------------------------------

const char* PixelMathOperator::Token( int32_t code )
{
   static const char* const tokens[Count] = { "NOP", "ADD", "SUB", "MUL", "DIV", "DIV*", "POW",
                                              "DIF", "MIN", "MAX", "MOV", "OR",  "AND",  "XOR" };
   return ( code >= 0 && code < Count ) ? tokens[code] : tokens[0];
}

const char* PixelMathOperator::Name( int32_t code )
{
   static const char* const names[Count] = { "No Operation", "Add",
                                             "Subtract",     "Multiply",
                                             "Divide",       "Divide / Constrained Infinity",
                                             "Power",        "Absolute Difference",
                                             "Minimum",      "Maximum",
                                             "Move",         "Logical OR",
                                             "Logical AND",  "Logical XOR" };
   return ( code >= 0 && code < Count ) ? names[code] : names[0];
}

double PixelMathPower( double x, double b )
{
   if ( b == 0 )
      return 1;
   if ( x == 0 )
      return 0;
   if ( std::trunc( b ) == b )
   {
      // An integral exponent is counted only within the int32 range; beyond it (infinities included) the power
      // has a limit that std::pow gives, also for a negative base.
      if ( !( b >= -2147483648.0 && b < 2147483648.0 ) )
         return std::pow( x, b );
      const int32_t n = int32_t( b );
      return x == 10 ? double( Pow10I( n ) ) : PowI( x, n );
   }
   if ( x == 10 )
      return Pow10( b );
   // A negative base has no real power of a fractional exponent: 0 rather than a NaN that would spread through
   // the rest of the sequence.
   if ( x < 0 )
      return 0;
   return Pow2( b * Log2( x ) );
}

uint32_t PixelMathQuantize( double v )
{
   const double r = std::nearbyint( v * quantumScale );
   if ( !std::isfinite( r ) )
      return 0;
   // The low 32 bits of the integer r in two's complement: r modulo 2^32, exact for every double.
   double low = std::fmod( r, 4294967296.0 );
   if ( low < 0 )
      low += 4294967296.0;
   return uint32_t( low );
}

void ApplyPixelMathOperator( double& x, int32_t op, double b )
{
   WithOperator( op, [&]( auto tag ) { x = Operate<decltype( tag )::value>( x, b ); } );
}

// ---- Stages ------------------------------------------------------------------------------------------------------

void ApplyPixelMathChannelFactors( Image& image, const float factors[3], bool invert )
{
   const int32_t channels = std::min( image.NumberOfNominalChannels(), 3 );
   const int64_t n = image.NumberOfPixels();
   image.BeginTask( "Applying channel factors / inversion", 2 * int64_t( channels ) * n );
   for ( int32_t c = 0; c < channels; ++c )
   {
      const float f = factors[c];
      const bool scale = f != 1;
      if ( !scale && !invert )
      {
         Skip( image, 2 * n );
         continue;
      }
      ChannelRows( image, c, 2 * int64_t( image.Width() ),
                   [f, scale, invert]( float* __restrict row, int32_t width, int64_t )
                   {
                      if ( scale )
                         for ( int32_t x = 0; x < width; ++x )
                            row[x] *= f;
                      if ( invert )
                         for ( int32_t x = 0; x < width; ++x )
                            row[x] = 1.0f - row[x];
                   } );
   }
   image.ThrowIfAborted();
}

void ApplyPixelMathImage( Image& target, const Image& source, int32_t op, const float factors[3], bool invert,
                          int32_t left, int32_t top, const RGBColorSystem& rgbws, PixelMathRanges* ranges )
{
   if ( ranges != nullptr )
      *ranges = PixelMathRanges();
   const int32_t width = target.Width();
   const int32_t height = target.Height();
   const int32_t channels = std::min( target.NumberOfNominalChannels(), 3 );
   const int32_t sourceChannels = source.NumberOfNominalChannels();
   const bool luminance = source.IsColor() && !target.IsColor();
   if ( target.IsEmpty() )
      return;
   if ( source.IsEmpty() || left < 0 || top < 0 || int64_t( left ) + width > source.Width() ||
        int64_t( top ) + height > source.Height() )
      throw GenericException( "PixelMath: the operand image does not cover the target" );
   if ( luminance && sourceChannels < 3 )
      throw GenericException( "PixelMath: the operand image lacks colour channels" );

   const int64_t n = target.NumberOfPixels();
   target.BeginTask( "Applying image", int64_t( channels ) * n );
   for ( int32_t c = 0; c < channels; ++c )
   {
      if ( !IsOperation( op ) )
      {
         Skip( target, n );
         continue;
      }
      const double f = factors[c];
      const int32_t sc = std::min( c, sourceChannels - 1 );
      WithOperator( op,
                    [&]( auto tag )
                    {
                       constexpr int32_t Op = decltype( tag )::value;
                       ChannelRows(
                           target, c, width,
                           [&]( float* __restrict row, int32_t w, int64_t y )
                           {
                              const int32_t sy = int32_t( y ) + top;
                              if ( luminance )
                              {
                                 const float* r = source.ScanLine( 0, sy ) + left;
                                 const float* g = source.ScanLine( 1, sy ) + left;
                                 const float* b = source.ScanLine( 2, sy ) + left;
                                 for ( int32_t x = 0; x < w; ++x )
                                 {
                                    double v = double( rgbws.RGBToCIEL( r[x], g[x], b[x] ) ) * f;
                                    v = invert ? 1 - v : v;
                                    row[x] = float( Operate<Op>( row[x], v ) );
                                 }
                              }
                              else
                              {
                                 OperateRow<Op>( row, source.ScanLine( sc, sy ) + left, w, f, invert );
                              }
                           },
                           ranges );
                    } );
   }
   target.ThrowIfAborted();
}

void ApplyPixelMathConstants( Image& image, int32_t op, const float constants[3], PixelMathRanges* ranges )
{
   const int32_t channels = std::min( image.NumberOfNominalChannels(), 3 );
   if ( ranges != nullptr )
      *ranges = PixelMathRanges();
   const int64_t n = image.NumberOfPixels();
   image.BeginTask( "Applying constants", int64_t( channels ) * n );
   for ( int32_t c = 0; c < channels; ++c )
   {
      if ( !IsOperation( op ) )
      {
         Skip( image, n );
         continue;
      }
      const double b = constants[c];
      WithOperator( op,
                    [&]( auto tag )
                    {
                       constexpr int32_t Op = decltype( tag )::value;
                       ChannelRows(
                           image, c, image.Width(),
                           [b]( float* __restrict row, int32_t w, int64_t )
                           {
                              for ( int32_t x = 0; x < w; ++x )
                                 row[x] = float( Operate<Op>( row[x], b ) );
                           },
                           ranges );
                    } );
   }
   image.ThrowIfAborted();
}

void ConstrainPixelMathInfinities( Image& image )
{
   const int32_t channels = image.NumberOfNominalChannels();
   const int32_t width = image.Width();
   const int64_t n = image.NumberOfPixels();
   // The scan counts half of every row, the clamp the other half.
   const int64_t scanUnits = width / 2;
   image.BeginTask( "Constraining infinities", int64_t( channels ) * n );
   for ( int32_t c = 0; c < channels; ++c )
   {
      float minimum = largest;
      float maximum = -largest;
      int64_t infinite = 0;
      int64_t others = 0;
      std::mutex merge;
      ChannelStrips( image, c, scanUnits,
                     [&]( const float* row, int64_t w )
                     {
                        float mn = largest, mx = -largest;
                        int64_t inf = 0, other = 0;
                        for ( int64_t x = 0; x < w; ++x )
                        {
                           const float v = row[x];
                           if ( std::fabs( v ) == largest )
                              ++inf;
                           else if ( v == v )
                           {
                              ++other;
                              mn = v < mn ? v : mn;
                              mx = v > mx ? v : mx;
                           }
                        }
                        std::lock_guard<std::mutex> lock( merge );
                        minimum = std::min( minimum, mn );
                        maximum = std::max( maximum, mx );
                        infinite += inf;
                        others += other;
                     } );
      // A channel whose every value is an infinity has nothing to be constrained to: clamping to the empty range
      // would exchange the two extremes.
      if ( infinite == 0 || others == 0 )
      {
         Skip( image, n - scanUnits * image.Height() );
         continue;
      }
      ChannelRows( image, c, width - scanUnits,
                   [minimum, maximum]( float* __restrict row, int32_t w, int64_t )
                   {
                      for ( int32_t x = 0; x < w; ++x )
                      {
                         const float v = row[x];
                         row[x] = v < minimum ? minimum : ( v > maximum ? maximum : v ); // NaN stays
                      }
                   } );
   }
   image.ThrowIfAborted();
}

void ApplyPixelMathResult( Image& image, const float factors[3], bool invert, float addConstant, bool rescale,
                           PixelMathRanges* ranges )
{
   const int32_t channels = std::min( image.NumberOfNominalChannels(), 3 );
   image.BeginTask( "Result parameters", int64_t( channels ) * image.NumberOfPixels() );
   const double k = addConstant;
   for ( int32_t c = 0; c < channels; ++c )
   {
      const double f = factors[c];
      // Left for the rescale as they are: s * 1 + 0 is s (a negative zero aside, which maps like a zero).
      if ( rescale && f == 1 && k == 0 )
      {
         Skip( image, image.NumberOfPixels() );
         continue;
      }
      if ( ranges != nullptr )
         ranges->known[c] = false;
      ChannelRows( image, c, image.Width(),
                   [f, k, rescale, invert]( float* __restrict row, int32_t w, int64_t )
                   {
                      if ( rescale )
                         for ( int32_t x = 0; x < w; ++x )
                            row[x] = float( double( row[x] ) * f + k );
                      else if ( invert )
                         for ( int32_t x = 0; x < w; ++x )
                            row[x] = float( 1 - Clip01( double( row[x] ) * f + k ) );
                      else
                         for ( int32_t x = 0; x < w; ++x )
                            row[x] = float( Clip01( double( row[x] ) * f + k ) );
                   } );
   }
   image.ThrowIfAborted();
}

void RescalePixelMathResult( Image& image, float lower, float upper, bool invert, const PixelMathRanges* ranges )
{
   const int32_t channels = image.NumberOfNominalChannels();
   const int32_t width = image.Width();
   const int64_t n = image.NumberOfPixels();
   const int64_t scanUnits = width / 2;
   const float range = upper - lower;
   const bool unit = range == 1;
   image.BeginTask( "Rescaling pixel values", int64_t( channels ) * n );
   for ( int32_t c = 0; c < channels; ++c )
   {
      // The range of the channel, NaN samples passed over: known from the stage that wrote the channel, or taken.
      const float infinity = std::numeric_limits<float>::infinity();
      float low = infinity, high = -infinity;
      std::mutex merge;
      if ( ranges != nullptr && c < 3 && ranges->known[c] )
      {
         low = ranges->low[c];
         high = ranges->high[c];
         Skip( image, scanUnits * image.Height() );
      }
      else
         ChannelStrips( image, c, scanUnits,
                        [&]( const float* row, int64_t w )
                        {
                           float rowLow, rowHigh;
                           RangeOf( row, w, rowLow, rowHigh );
                           std::lock_guard<std::mutex> lock( merge );
                           low = std::min( low, rowLow );
                           high = std::max( high, rowHigh );
                        } );
      const int64_t writeUnits = width - scanUnits;

      if ( !( low < high ) )
      {
         // One value (or none but NaN): clipped, placed in the range, inverted.
         double v = Clip01( low <= high ? double( low ) : std::numeric_limits<double>::quiet_NaN() );
         if ( !unit )
            v = double( range ) * v + double( lower );
         if ( invert )
            v = 1 - v;
         const float value = float( v );
         ChannelRows( image, c, writeUnits,
                      [value]( float* __restrict row, int32_t w, int64_t ) { std::fill( row, row + w, value ); } );
         continue;
      }

      if ( unit && low == 0 && high == 1 )
      {
         if ( invert )
            ChannelRows( image, c, writeUnits,
                         []( float* __restrict row, int32_t w, int64_t )
                         {
                            for ( int32_t x = 0; x < w; ++x )
                               row[x] = 1.0f - row[x];
                         } );
         else
            Skip( image, n - scanUnits * image.Height() );
         continue;
      }

      // (s - minimum) / (maximum - minimum), through the reciprocal: a division per sample would take four times
      // as long as the rest of the stage, and the double quotients it could change by an ulp round to the same
      // float but for a vanishing few.
      const double minimum = low;
      const double inverseSpan = 1 / ( double( high ) - minimum );
      const double scale = range;
      const double offset = lower;
      ChannelRows( image, c, writeUnits,
                   [=]( float* __restrict row, int32_t w, int64_t )
                   { RescaleRow( row, w, minimum, inverseSpan, scale, offset, unit, invert ); } );
   }
   image.ThrowIfAborted();
}

} // namespace qor
