#ifndef QOR_HISTOGRAMTRANSFORM_H
#define QOR_HISTOGRAMTRANSFORM_H

// The histogram transform of one channel: shadows and highlights clipping with the range between them
// redistributed to [0, 1], the midtones transfer function, and an optional expansion into a wider range.
//
// A set of parameters is five values: the shadows clipping point c0, the highlights clipping point c1, the midtones
// balance m, and the low and high ends r0, r1 of the expanded range. Their sound ranges are 0 <= c0 <= c1 <= 1,
// 0 <= m <= 1, r0 <= 0 and r1 >= 1; within them every result lies in [0, 1], and nothing is clamped.
//
// A sample v goes through these steps, each skipped when it would change nothing:
// 1. With c0 != c1, when c0 > 0 or c1 < 1: 0 for v <= c0 (NaN too), 1 for v >= c1, else (v - c0) / (c1 - c0);
//    then, when m != 0.5, the midtones transfer function of balance m (TransferCurve.h).
//    With c0 = c1: the constant c0 (midtones skipped).
// 2. When r0 < 0 or r1 > 1: (v - r0) / (r1 - r0).
// Every operation is single precision, the midtones function as TransferCurve.h computes it.

#include "Image.h"
#include "TransferCurve.h"

#include <cstdint>
#include <string>

namespace qor
{

// One parameter set.
struct HistogramTransformSet
{
   float c0 = 0;
   float c1 = 1;
   float m = 0.5f;
   float r0 = 0;
   float r1 = 1;

   // c0 = 0, c1 = 1, m = 0.5, r0 = 0 and r1 = 1, compared exactly.
   bool IsIdentity() const { return c0 == 0 && c1 == 1 && m == 0.5f && r0 == 0 && r1 == 1; }
   // Which steps run (the header comment).
   bool Clips() const { return c1 != c0 && ( c0 > 0 || c1 < 1 ); }
   bool Fills() const { return c1 == c0; }
   bool BendsMidtones() const { return c1 != c0 && m != 0.5f; }
   bool Expands() const { return r0 < 0 || r1 > 1; }

   // What makes the set unsound, or an empty text: a value that is not a finite number, a clipping point outside
   // [0, 1], c0 above c1, m outside [0, 1], r0 above 0 or r1 below 1.
   std::string Fault() const;
};

// The transform of one value.
inline float HistogramTransformValue( float v, const HistogramTransformSet& s )
{
   if ( s.Fills() )
      v = s.c0;
   else
   {
      if ( s.Clips() )
         v = v > s.c0 ? ( v >= s.c1 ? 1.0f : ( v - s.c0 ) / ( s.c1 - s.c0 ) ) : 0.0f;
      if ( s.m != 0.5f )
         v = MidtonesTransferFunction( v, s.m );
   }
   if ( s.Expands() )
      v = ( v - s.r0 ) / ( s.r1 - s.r0 );
   return v;
}

// Transforms one channel in place, every sample as HistogramTransformValue does. The steps that run are done
// together in one pass over row strips in parallel, with the same result for any thread count; monitored with
// the texts of those steps joined by ", " ("Dynamic range redistribution", "Midtones transfer function",
// "Filling with constant value", "Dynamic range expansion"), one unit per sample. A set that changes nothing
// starts no task. Throws GenericException for a channel that does not exist; AbortProcessEvent on an abort (rows
// already done keep their new values).
void ApplyHistogramTransform( Image& image, int32_t channel, const HistogramTransformSet& set );

} // namespace qor

#endif
