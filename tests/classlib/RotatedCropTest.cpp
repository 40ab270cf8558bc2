// The crop along a turned rectangle against plain crops, exact quarter turns, the class library's own rotation, and
// a linear ramp whose samples say where each result pixel came from.

#include <gtest/gtest.h>

#include "Image.h"
#include "ImageTestSupport.h"
#include "Interpolation.h"
#include "RotatedCrop.h"

#include <cmath>
#include <limits>
#include <numbers>
#include <tuple>

using qor::Image;
using qor::RotatedCropPlan;
using qor::UprightTurn;

namespace
{

constexpr int32_t MaxSize = 32000;
const float fill[3] = { 0.25f, 0.5f, 0.75f };

RotatedCropPlan Plan( const Image& image, float cx, float cy, float w, float h, float angle )
{
   return qor::PlanRotatedCrop( image.Width(), image.Height(), cx, cy, w, h, angle, MaxSize );
}

std::tuple<int32_t, int32_t, int32_t, int32_t> BoxOf( const RotatedCropPlan& plan )
{
   return { plan.left, plan.top, plan.right, plan.bottom };
}

void Crop( Image& image, const RotatedCropPlan& plan, float angle, UprightTurn turn = UprightTurn::General,
           int32_t interpolation = qor::Interpolation::Bicubic )
{
   qor::CropRotated( image, plan, angle, turn, fill, interpolation, 5 );
}

TEST( RotatedCrop, AnUprightRectangleIsThePlainCropWithFillOutsideTheImage )
{
   const Image source = test::RandomImage( 100, 80, 3, qor::ColorSpace::RGB, 11 );
   struct Case
   {
      float cx, cy, w, h;
      int32_t left, top, width, height;
   };
   for ( const Case& c : { Case{ 50, 40, 50, 40, 25, 20, 50, 40 },     // inside
                           Case{ 0, 40, 100, 80, -50, 0, 100, 80 },    // half beyond the left edge
                           Case{ 99.5f, 79.5f, 3, 3, 98, 78, 3, 3 },   // over the bottom-right corner
                           Case{ -100, -100, 10, 10, -105, -105, 10, 10 } } ) // wholly outside
   {
      SCOPED_TRACE( c.left );
      const RotatedCropPlan plan = Plan( source, c.cx, c.cy, c.w, c.h, 0 );
      ASSERT_TRUE( plan.valid );
      EXPECT_FALSE( plan.turned );
      EXPECT_EQ( plan.ResultWidth(), c.width );
      EXPECT_EQ( plan.ResultHeight(), c.height );
      Image image( source );
      Crop( image, plan, 0 );
      ASSERT_EQ( image.Width(), c.width );
      ASSERT_EQ( image.Height(), c.height );
      for ( int32_t ch = 0; ch < 3; ++ch )
         for ( int32_t y = 0; y < c.height; ++y )
            for ( int32_t x = 0; x < c.width; ++x )
            {
               const int32_t sx = x + c.left, sy = y + c.top;
               const bool inside = sx >= 0 && sy >= 0 && sx < 100 && sy < 80;
               const float expected = inside ? source.Pixel( sx, sy, ch ) : fill[ch];
               ASSERT_EQ( image.Pixel( x, y, ch ), expected ) << x << "," << y << " channel " << ch;
            }
   }

   // The whole image at angle 0 is no change at all.
   EXPECT_TRUE( Plan( source, 50, 40, 100, 80, 0 ).unchanged );
   EXPECT_FALSE( Plan( source, 50, 40, 100, 80, 0.001f ).unchanged );
}

TEST( RotatedCrop, AQuarterTurnIsTheExactTurnOfTheCoveredBlock )
{
   const Image source = test::RandomImage( 100, 80, 1, qor::ColorSpace::Gray, 5 );
   // 40 x 20 turned by +90 degrees about (50, 40) covers columns 40..59 and rows 20..59.
   const float angle = std::numbers::pi_v<float> / 2;
   const RotatedCropPlan plan = Plan( source, 50, 40, 40, 20, angle );
   ASSERT_TRUE( plan.valid );
   EXPECT_TRUE( plan.turned );
   EXPECT_EQ( BoxOf( plan ), std::make_tuple( 39, 19, 61, 61 ) ) << "the box is widened by a pixel";

   Image expected;
   expected.AssignRect( source, 40, 20, 20, 40 );
   expected.Rotate90CW();
   for ( UprightTurn turn : { UprightTurn::Clockwise90 } )
   {
      Image image( source );
      Crop( image, plan, angle, turn );
      EXPECT_TRUE( test::SamePixels( image, expected ) );
   }
}

TEST( RotatedCrop, ATurnedRectangleIsTheImageRotatedThenCropped )
{
   // A square of 72 turned by 30 degrees about the centre of a 100 x 100 image: its box, widened, is the image, so
   // the crop is the rotation of the whole image about its centre followed by a centred 72 x 72 crop.
   const Image source = test::RandomImage( 100, 100, 3, qor::ColorSpace::RGB, 3 );
   const float angle = float( 30 * std::numbers::pi / 180 );
   const RotatedCropPlan plan = Plan( source, 50, 50, 72, 72, angle );
   ASSERT_TRUE( plan.valid );
   ASSERT_EQ( BoxOf( plan ), std::make_tuple( 0, 0, 100, 100 ) );

   for ( int32_t interpolation : { qor::Interpolation::Bicubic, qor::Interpolation::Bilinear } )
   {
      Image expected( source );
      expected.Rotate( 50, 50, -angle, fill, interpolation );
      const int32_t x = int32_t( std::nearbyint( ( expected.Width() - 72 ) * 0.5 ) );
      const int32_t y = int32_t( std::nearbyint( ( expected.Height() - 72 ) * 0.5 ) );
      expected.AssignRect( Image( expected ), x, y, 72, 72 );

      Image image( source );
      Crop( image, plan, angle, UprightTurn::General, interpolation );
      EXPECT_TRUE( test::SamePixels( image, expected ) ) << interpolation;
   }
}

TEST( RotatedCrop, EachResultPixelComesFromTheTurnedRectangle )
{
   // A ramp v = (x + 2y) / 400: bilinear samples of it are exact, so each step along a result row or column shows
   // the direction that step took in the image, and the middle pixel shows where the rectangle's centre was.
   Image source( 200, 150, 1 );
   for ( int32_t y = 0; y < 150; ++y )
      for ( int32_t x = 0; x < 200; ++x )
         source.Pixel( x, y, 0 ) = ( x + 2.0f * y ) / 400;
   for ( double degrees : { 25.0, -40.0, 120.0 } )
   {
      SCOPED_TRACE( degrees );
      const float a = float( degrees * std::numbers::pi / 180 );
      const float cx = 100, cy = 70;
      Image image( source );
      Crop( image, Plan( image, cx, cy, 40, 30, a ), a, UprightTurn::General, qor::Interpolation::Bilinear );
      ASSERT_EQ( image.Width(), 40 );
      ASSERT_EQ( image.Height(), 30 );
      // A step right in the result is (cos a, -sin a) in the image; a step down is (sin a, cos a).
      const double c = std::cos( a ), s = std::sin( a );
      const double right = ( c - 2 * s ) / 400, down = ( s + 2 * c ) / 400;
      for ( int32_t y = 2; y < 28; ++y )
         for ( int32_t x = 2; x < 38; ++x )
         {
            ASSERT_NEAR( image.Pixel( x + 1, y, 0 ) - image.Pixel( x, y, 0 ), right, 2e-5 ) << x << "," << y;
            ASSERT_NEAR( image.Pixel( x, y + 1, 0 ) - image.Pixel( x, y, 0 ), down, 2e-5 ) << x << "," << y;
         }
      // The pixel at the middle of the result lies within a pixel of the centre.
      EXPECT_NEAR( image.Pixel( 20, 15, 0 ), ( cx + 2 * cy ) / 400, 3.0 / 400 );
   }
}

TEST( RotatedCrop, SizesOutsideTheLimitsAreRefusedAndNothingChanges )
{
   Image image = test::RandomImage( 50, 40, 1, qor::ColorSpace::Gray, 2 );
   const Image copy( image );
   const float nan = std::numeric_limits<float>::quiet_NaN();
   struct Case
   {
      const char* what;
      float cx, cy, w, h, angle;
   };
   for ( const Case& c : { Case{ "a box of 32050 columns", 0, 0, 32050, 10, 0 },
                           Case{ "a thin turned rectangle (upright width 0)", 25, 20, 0.3f, 10, 0.5f },
                           Case{ "a negative width", 25, 20, -10, 10, 0.5f },
                           Case{ "a width that is not a number", 25, 20, nan, 10, 0 },
                           Case{ "an angle that is not a number", 25, 20, 10, 10, nan },
                           Case{ "a centre out of the 32-bit range", 1e30f, 20, 10, 10, 0 } } )
   {
      const RotatedCropPlan plan = Plan( image, c.cx, c.cy, c.w, c.h, c.angle );
      EXPECT_FALSE( plan.valid ) << c.what;
      EXPECT_THROW( Crop( image, plan, c.angle ), qor::GenericException ) << c.what;
      EXPECT_TRUE( test::SamePixels( image, copy ) ) << c.what;
   }
   // 32000 is still a valid side.
   EXPECT_TRUE( Plan( image, 16000, 20, 32000, 10, 0 ).valid );
}

TEST( RotatedCrop, AnAbortedCropLeavesTheImageAsItWas )
{
   for ( int abortAt : { 1, 3, 6 } )
   {
      Image image = test::RandomImage( 120, 90, 3, qor::ColorSpace::RGB, 9 );
      const Image copy( image );
      test::MonitorProbe probe;
      probe.abortAt = abortAt;
      image.Status().SetCallback( &test::MonitorProbe::Callback, &probe );
      const float angle = 0.3f;
      EXPECT_THROW( Crop( image, Plan( image, 60, 45, 80, 50, angle ), angle ), Image::AbortProcessEvent ) << abortAt;
      EXPECT_TRUE( test::SamePixels( image, copy ) ) << abortAt;
   }
}

} // namespace
