// The crop along a turned rectangle: its plan in float arithmetic, then the class library's canvas and rotation.

#include "RotatedCrop.h"

#include "Image.h"
#include "Math.h"

#include <algorithm>
#include <cmath>

namespace qor
{

namespace
{

// The nearest integer of v (halves to even) when it fits an int32.
bool Nearest( float v, int64_t& n )
{
   const float r = Round( v );
   if ( !( r >= -2147483648.0f && r < 2147483648.0f ) )
      return false;
   n = int64_t( r );
   return true;
}

bool InRange( int64_t n, int32_t maxSize )
{
   return n >= 1 && n <= maxSize;
}

} // namespace

RotatedCropPlan PlanRotatedCrop( int32_t imageWidth, int32_t imageHeight, float centerX, float centerY, float width,
                                 float height, float angle, int32_t maxSize )
{
   RotatedCropPlan plan;
   if ( !std::isfinite( angle ) )
      return plan;
   const float hw = 0.5f * width, hh = 0.5f * height;
   float s, c;
   SinCos( angle, s, c );
   const float cornerX[4] = { centerX - hw, centerX + hw, centerX - hw, centerX + hw };
   const float cornerY[4] = { centerY - hh, centerY - hh, centerY + hh, centerY + hh };
   float x0 = 0, y0 = 0, x1 = 0, y1 = 0;
   for ( int k = 0; k < 4; ++k )
   {
      const float dx = cornerX[k] - centerX, dy = cornerY[k] - centerY;
      const float x = centerX + c * dx + s * dy;
      const float y = centerY - s * dx + c * dy;
      x0 = k == 0 ? x : std::min( x0, x );
      x1 = k == 0 ? x : std::max( x1, x );
      y0 = k == 0 ? y : std::min( y0, y );
      y1 = k == 0 ? y : std::max( y1, y );
   }
   int64_t left, top, right, bottom;
   if ( !Nearest( x0, left ) || !Nearest( y0, top ) || !Nearest( x1, right ) || !Nearest( y1, bottom ) )
      return plan;

   plan.unchanged = left == 0 && top == 0 && right == imageWidth && bottom == imageHeight && angle == 0;
   if ( angle != 0 )
   {
      --left;
      --top;
      ++right;
      ++bottom;
   }
   if ( !InRange( right - left, maxSize ) || !InRange( bottom - top, maxSize ) )
      return plan;
   plan.left = int32_t( left );
   plan.top = int32_t( top );
   plan.right = int32_t( right );
   plan.bottom = int32_t( bottom );
   plan.turned = angle != 0 && ( plan.BoxWidth() > 1 || plan.BoxHeight() > 1 );
   int64_t finalWidth = 0, finalHeight = 0;
   if ( Nearest( width, finalWidth ) && Nearest( height, finalHeight ) && InRange( finalWidth, maxSize ) &&
        InRange( finalHeight, maxSize ) )
   {
      plan.finalWidth = int32_t( finalWidth );
      plan.finalHeight = int32_t( finalHeight );
   }
   // A turned crop whose upright size is out of range would have to give something other than the rectangle.
   plan.valid = !plan.turned || plan.finalWidth > 0;
   return plan;
}

void CropRotated( Image& image, const RotatedCropPlan& plan, float angle, UprightTurn turn,
                  std::span<const float> fill, int32_t interpolation, int32_t blockSize )
{
   if ( !plan.valid )
      throw GenericException( "CropRotated: invalid crop rectangle" );
   if ( plan.unchanged || image.IsEmpty() )
      return;
   const int32_t W1 = plan.BoxWidth(), H1 = plan.BoxHeight();
   if ( !plan.turned )
   {
      image.ResizeCanvas( W1, H1, -plan.left, -plan.top, fill );
      return;
   }

   // The box is built aside from the part of the image it covers, so that the image stays as it was until the
   // crop is complete.
   Image work;
   work.Status().SetCallback( image.Status().Callback(), image.Status().Data() );
   const int32_t ix0 = std::max( plan.left, 0 ), iy0 = std::max( plan.top, 0 );
   const int32_t ix1 = std::min( plan.right, image.Width() ), iy1 = std::min( plan.bottom, image.Height() );
   if ( ix1 > ix0 && iy1 > iy0 )
   {
      work.AssignRect( image, ix0, iy0, ix1 - ix0, iy1 - iy0 );
      work.ResizeCanvas( W1, H1, ix0 - plan.left, iy0 - plan.top, fill );
   }
   else
   {
      // Nothing of the image lies in the box: a canvas of fill values.
      work.AssignRect( image, 0, 0, 1, 1 );
      work.ResizeCanvas( W1, H1, W1 + 1, H1 + 1, fill );
   }

   switch ( turn )
   {
   case UprightTurn::Clockwise90:
      work.Rotate90CW();
      break;
   case UprightTurn::CounterClockwise90:
      work.Rotate90CCW();
      break;
   case UprightTurn::Half:
      work.Rotate180();
      break;
   case UprightTurn::General:
      work.Rotate( float( W1 ) * 0.5f, float( H1 ) * 0.5f, -angle, fill, interpolation, blockSize );
      break;
   }

   // The rectangle's size out of the middle of the turned box.
   const int32_t x = int32_t( std::nearbyint( double( work.Width() - plan.finalWidth ) * 0.5 ) );
   const int32_t y = int32_t( std::nearbyint( double( work.Height() - plan.finalHeight ) * 0.5 ) );
   work.ResizeCanvas( plan.finalWidth, plan.finalHeight, -x, -y, fill );
   work.Status().SetCallback( nullptr, nullptr );
   image = std::move( work );
}

} // namespace qor
