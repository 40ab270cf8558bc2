#ifndef LF_PROCESS_INTERPOLATION_PARAMETERS_H
#define LF_PROCESS_INTERPOLATION_PARAMETERS_H

#include "process/Process.h"

// The interpolation choice embedded in the parameters of the resampling, rotation and crop processes: one of the
// four interpolations of the class library (classlib/Interpolation.h, same numbering) and the block size of the
// bicubic spline.
//
// Stream: algorithm and blockSize as int32, 8 bytes, the same for every version; both are written whatever the
// algorithm. Text: algorithm="<identifier>", followed by ", blockSize=<n>" for the bicubic spline only.
class InterpolationParameters : public Process::Parameters
{
public:
   enum Algorithm : int32_t
   {
      BicubicSpline = 0,
      Bicubic = 1,
      Bilinear = 2,
      BicubicBSpline = 3,
      NumberOfAlgorithms
   };

   static constexpr int32_t DefaultAlgorithm = Bicubic;
   static constexpr int32_t DefaultBlockSize = 5;

   InterpolationParameters() = default;
   InterpolationParameters( int32_t algorithm, int32_t blockSize ) : algorithm( algorithm ), blockSize( blockSize ) {}

   std::unique_ptr<Process::Parameters> Clone() const override;
   void Assign( const Process::Parameters& source ) override;
   // Throws GenericException for an algorithm outside 0..3, leaving the record as it was.
   void Read( qor::File& file, float version ) override;
   void Write( qor::File& file, float version ) const override;
   std::string ToText( int32_t level ) const override;

   static bool IsValidAlgorithm( int32_t algorithm ) { return algorithm >= 0 && algorithm < NumberOfAlgorithms; }
   // "bicubicSplineInterpolation", "bicubicInterpolation", "bilinearInterpolation", "bicubicBSplineInterpolation";
   // empty for an unknown algorithm.
   static std::string AlgorithmIdentifier( int32_t algorithm );
   // "Bicubic Spline Interpolation", "Bicubic Interpolation", "Bilinear Interpolation",
   // "Bicubic B-Spline Interpolation"; empty for an unknown algorithm.
   static std::string AlgorithmName( int32_t algorithm );

   // The class library's interpolation code (qor::Interpolation) for the image operations; throws
   // GenericException for an unknown algorithm.
   int32_t InterpolationCode() const;

   int32_t algorithm = DefaultAlgorithm;
   int32_t blockSize = DefaultBlockSize;
};

#endif
