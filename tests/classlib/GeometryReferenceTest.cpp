// Resampling and rotation against a reference computed once with another library (tools/make-geometry-reference):
// bilinear, and the cubic B-spline, whose kernel is that library's cubic spline without prefilter.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "Image.h"
#include "Interpolation.h"

namespace
{

enum Kind
{
   Resampled,
   Rotated
};

constexpr float NaN = std::numeric_limits<float>::quiet_NaN();

struct Reference
{
   const char* name;
   Kind kind;
   float a, b;
   int32_t interpolation, width, height;
   std::vector<float> samples;
};

const Reference References[] = {
#include "GeometryReference.inc"
};

qor::Image Source()
{
   qor::Image image( 9, 7, 1 );
   for ( int32_t y = 0; y < 7; ++y )
      for ( int32_t x = 0; x < 9; ++x )
         image.Pixel( x, y ) = float( ( ( x * 37 + y * 91 ) % 101 ) / 100.0 );
   return image;
}

TEST( GeometryReferenceTest, ResamplingAndRotationMatchTheReference )
{
   for ( const Reference& r : References )
   {
      SCOPED_TRACE( std::string( r.name ) + " " + qor::InterpolationName( r.interpolation ) );
      qor::Image image = Source();
      if ( r.kind == Resampled )
         image.Resample( int32_t( r.a ), int32_t( r.b ), r.interpolation );
      else
      {
         const float fill[] = { r.b };
         image.Rotate( 4.5f, 3.5f, r.a * 0.017453292519943295f, fill, r.interpolation );
      }
      ASSERT_EQ( image.Width(), r.width );
      ASSERT_EQ( image.Height(), r.height );
      ASSERT_EQ( r.samples.size(), size_t( image.NumberOfPixels() ) );
      for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
      {
         if ( !std::isnan( r.samples[size_t( i )] ) )
         {
            ASSERT_NEAR( image[0][i], r.samples[size_t( i )], 2e-5 ) << "sample " << i % r.width << "," << i / r.width;
         }
      }
   }
}

} // namespace
