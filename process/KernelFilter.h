#ifndef LF_PROCESS_KERNEL_FILTER_H
#define LF_PROCESS_KERNEL_FILTER_H

// A named square convolution kernel, as kept in filter libraries (KernelFilterSetModule) and edited by the filter
// editor frame.
//
// Stream layout (little-endian): int32 name length L, L bytes of the name (8-bit characters, no terminator), int32
// size n, n x n float32 coefficients row by row, one byte read-only flag (written 0 or 1, read as set when nonzero).

#include <cstdint>
#include <string>
#include <vector>

#include "classlib/ATrousWavelets.h"
#include "classlib/File.h"

class KernelFilter
{
public:
   // A damaged filter record: "File I/O Error:\nInvalid kernel filter data:\n" + path (the class text of the file
   // exceptions).
   class InvalidData : public qor::File::Exception
   {
   public:
      explicit InvalidData( std::string path ) : qor::File::Exception( std::move( path ) ) {}
      std::string Description() const override { return "Invalid kernel filter data"; }
   };

   // Largest kernel size a stream may hold.
   static constexpr int32_t MaxSize = 255;

   KernelFilter() = default;
   KernelFilter( std::string name, int32_t size, std::vector<float> coefficients, bool readOnly = false );

   // Sets every coefficient to the value.
   void Fill( float value );
   // Sum of the coefficients and sum of their absolute values, in double precision.
   double Weight() const;
   double AbsoluteWeight() const;
   // Divides every coefficient by AbsoluteWeight(); a kernel whose absolute weight is zero is left as it is.
   void Normalize();

   // Reads a filter. Lengths and sizes are checked against the bytes left in the file before anything is
   // allocated: a negative or oversized name length, a size that is negative, even, above MaxSize or larger than
   // the file, or a coefficient that is not finite throws KernelFilter::InvalidData, and the filter stays as it was.
   void Read( qor::File& file );
   void Write( qor::File& file ) const;

   // Same size and bit-for-bit equal coefficients.
   bool SameKernel( int32_t size, const std::vector<float>& coefficients ) const;
   bool SameKernel( const KernelFilter& other ) const { return SameKernel( other.size, other.coefficients ); }

   // The kernel as the convolution takes it.
   qor::ConvolutionKernel Kernel() const { return { size, coefficients }; }

   std::string name;
   int32_t size = 0;
   std::vector<float> coefficients; // size x size, row by row; empty when size is 0
   bool readOnly = false;
};

#endif
