#ifndef QOR_PIXELMATH_H
#define QOR_PIXELMATH_H

// Pixel arithmetic: the operators that combine a target sample x with an operand b (another image's sample or a
// constant), and the stages of a pixel-arithmetic sequence over the nominal channels of an image. Alpha channels
// are never touched.
//
// Every operator works in double precision and the result is stored as a 32-bit float:
//   NOP  x              ADD  x + b          SUB  x - b          MUL  x * b
//   DIV  x / b, and +-3.4028235e38 (the sign of x, zero counting as positive) when |b| <= 1e-35
//   DIV* the same; the sequence then constrains those values (ConstrainPixelMathInfinities)
//   POW  PixelMathPower( x, b )
//   DIF  |x - b|        MIN  x when b >= x, else b            MAX  x when x >= b, else b
//   MOV  b
//   OR, AND, XOR  the bit operation on Q(x) and Q(b), times 1/4294967295; Q(v) is the low 32 bits of the integer
//        nearest to v * 4294967295 (ties to even), 0 for a value that is not finite.
// Any other code leaves x as it is.
//
// The stages advance the image's monitor (one unit per sample, a skipped channel counting all its samples at once)
// and throw Image::AbortProcessEvent when the user aborts; rows already done stay done. Rows run in parallel strips
// and the results are the same bit for bit on any number of threads.

#include "Image.h"
#include "RGBColorSystem.h"

#include <cstdint>

namespace qor
{

struct PixelMathOperator
{
   static constexpr int32_t NOP = 0;
   static constexpr int32_t ADD = 1;
   static constexpr int32_t SUB = 2;
   static constexpr int32_t MUL = 3;
   static constexpr int32_t DIV = 4;
   static constexpr int32_t DIVConstrained = 5;
   static constexpr int32_t POW = 6;
   static constexpr int32_t DIF = 7;
   static constexpr int32_t MIN = 8;
   static constexpr int32_t MAX = 9;
   static constexpr int32_t MOV = 10;
   static constexpr int32_t OR = 11;
   static constexpr int32_t AND = 12;
   static constexpr int32_t XOR = 13;
   static constexpr int32_t Count = 14;

   // "ADD", "DIV*", ...; "NOP" for a code outside 0 .. Count - 1.
   static const char* Token( int32_t code );
   // "Add", "Divide / Constrained Infinity", ...; "No Operation" for a code outside the table.
   static const char* Name( int32_t code );
};

// What a division by (almost) zero gives: the largest float.
constexpr double PixelMathInfinity = 3.40282346638528859811704183484516925e38;

// The power rule of the class library on doubles: b = 0 gives 1; else x = 0 gives 0; else an integral b within the
// int32 range gives the exact x^b by repeated squaring (the exact power of ten for x = 10); an integral b beyond
// that range gives the limit std::pow gives; else 10^b for x = 10; else 2^(b log2 x), except that a negative x,
// whose power is not a real number, gives 0.
double PixelMathPower( double x, double b );

// The range of every nominal channel of what a stage wrote, NaN samples passed over (every sample NaN: low is
// +infinity, high -infinity). A stage given ranges takes the range of each channel it writes while the rows are
// still in the cache, so that the rescale need not read the image once more; a channel it does not take (one an
// operator outside the table leaves alone) is not known.
struct PixelMathRanges
{
   bool known[3] = {};
   float low[3] = {};
   float high[3] = {};
};

// Q(v) of the logical operators.
uint32_t PixelMathQuantize( double v );

// x becomes x op b (the table above).
void ApplyPixelMathOperator( double& x, int32_t op, double b );

// Target factors and inversion, "Applying channel factors / inversion" (two units per sample): every sample s of
// nominal channel c becomes s * factors[c] (float) when that factor is not exactly 1, then 1 - s with invert.
void ApplyPixelMathChannelFactors( Image& image, const float factors[3], bool invert );

// An operand image, "Applying image" (one unit per sample): every sample t of nominal channel c becomes
// t op b, with b = v * factors[c] (double), then 1 - b with invert. v is the sample of source channel
// min(c, source channels - 1) at (x + left, y + top); for a grey target and a colour source (luminance mode) it is
// the lightness L*/100 of the source's RGB pixel under the working space. Throws GenericException, changing
// nothing, when the source does not cover the target's rectangle at (left, top) or lacks colour channels.
void ApplyPixelMathImage( Image& target, const Image& source, int32_t op, const float factors[3], bool invert,
                          int32_t left, int32_t top, const RGBColorSystem& rgbws, PixelMathRanges* ranges = nullptr );

// Operand constants, "Applying constants" (one unit per sample): every sample t of channel c becomes t op
// constants[c].
void ApplyPixelMathConstants( Image& image, int32_t op, const float constants[3], PixelMathRanges* ranges = nullptr );

// After a "DIV*" operand, "Constraining infinities" (one unit per sample): in every channel holding samples of
// magnitude 3.4028235e38 besides other (not NaN) samples, every sample is clamped to the range of the others. A
// channel with no other value keeps its samples.
void ConstrainPixelMathInfinities( Image& image );

// The result stage, "Result parameters" (one unit per sample): every sample s of channel c becomes
// s * factors[c] + addConstant (double); without rescale the result is then clipped to [0, 1] (NaN gives 0) and,
// with invert, becomes 1 - r. Channels it changes are no longer known in ranges (with rescale, a factor of 1 and
// no constant change nothing).
void ApplyPixelMathResult( Image& image, const float factors[3], bool invert, float addConstant, bool rescale,
                           PixelMathRanges* ranges = nullptr );

// The rescale stage, "Rescaling pixel values" (one unit per sample): every channel is mapped linearly from its own
// range onto [lower, upper] (inverted with invert). NaN samples take no part in the range. A channel with a single
// value (or only NaN) is clipped to [0, 1] instead, placed in [lower, upper] as 0 .. 1 would be, and inverted with
// invert; a channel spanning exactly [0, 1] mapped onto [0, 1] is only inverted. The range of a channel known in
// ranges is taken as it is.
void RescalePixelMathResult( Image& image, float lower, float upper, bool invert,
                             const PixelMathRanges* ranges = nullptr );

} // namespace qor

#endif
