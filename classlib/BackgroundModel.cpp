#include "BackgroundModel.h"

#include "Exception.h"
#include "Image.h"
#include "Math.h"
#include "Parallel.h"
#include "SurfaceSpline.h"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <vector>

namespace qor
{

namespace
{

const char* const singularText = "Singular matrix in 2-D interpolation surface spline generator";

int32_t Nearest( float v )
{
   return int32_t( Round( v ) );
}

void Validate( const BackgroundModelInput& in )
{
   if ( in.n < 6 )
      throw GenericException( "At least six samples are required" );
   if ( in.f.size() != 1 && in.f.size() != 3 )
      throw GenericException( "Background model: the points must have one or three channels" );
   if ( in.x == nullptr || in.y == nullptr || std::find( in.f.begin(), in.f.end(), nullptr ) != in.f.end() )
      throw GenericException( "Background model: the points have no coordinates or values" );
   if ( in.order < 2 || in.order > 5 )
      throw GenericException( "Background model: the continuity order must lie between 2 and 5" );
   if ( !std::isfinite( in.smoothing ) || in.smoothing < 0 )
      throw GenericException( "Background model: the smoothing must be a finite value of 0 or more" );
   if ( in.subsample < 1 )
      throw GenericException( "Background model: the subsampling factor must be 1 or more" );
   if ( in.width < 1 || in.height < 1 )
      throw GenericException( "Background model: the image is empty" );
}

// Clamps rows [r0, r1) of a plane of the given width to [0, 1]; answers false when a value is not finite (the fit
// was too ill-conditioned to give a usable surface).
bool ClampRows( float* plane, int64_t width, int64_t r0, int64_t r1 )
{
   bool finite = true;
   for ( float *p = plane + r0 * width, *end = plane + r1 * width; p != end; ++p )
   {
      const float v = *p;
      finite &= v - v == 0.0f;
      *p = v < 0.0f ? 0.0f : ( v > 1.0f ? 1.0f : v );
   }
   return finite;
}

} // namespace

void BackgroundModelSize( int32_t width, int32_t height, int32_t subsample, int32_t& w, int32_t& h )
{
   const float s = float( std::max( subsample, 1 ) );
   w = Nearest( float( width ) / s );
   h = Nearest( float( height ) / s );
   if ( w < 16 || h < 16 )
   {
      const float scale = 16.0f / float( std::max( std::min( width, height ), 1 ) );
      w = Nearest( float( width ) * scale );
      h = Nearest( float( height ) * scale );
   }
}

std::unique_ptr<Image> ComputeBackgroundModel( const BackgroundModelInput& in, StatusCallback::Function callback,
                                               void* data, const std::function<void( const std::string& )>& announce )
{
   Validate( in );
   const int32_t channels = int32_t( in.f.size() );
   int32_t w, h;
   BackgroundModelSize( in.width, in.height, in.subsample, w, h );

   auto model = std::make_unique<Image>( w, h, channels, channels == 1 ? ColorSpace::Gray : ColorSpace::RGB );
   const size_t count = size_t( SurfaceSplineCoefficientCount( in.n, in.order ) );
   std::vector<std::vector<float>> coefficients( static_cast<size_t>( channels ), std::vector<float>( count ) );
   std::vector<float> columns( static_cast<size_t>( w ) ), rows( static_cast<size_t>( h ) );
   for ( int32_t i = 0; i < w; ++i )
      columns[size_t( i )] = float( i ) / float( w );
   for ( int32_t j = 0; j < h; ++j )
      rows[size_t( j )] = float( j ) / float( h );

   struct MonitorScope
   {
      Image& image;
      ~MonitorScope() { image.Status().SetCallback( nullptr, nullptr ); }
   } monitorScope{ *model };
   model->Status().SetCallback( callback, data );
   auto step = [&]( const std::string& text )
   {
      if ( announce )
         announce( text );
   };

   // Every channel is fitted first; the channels are then evaluated together, since they share every kernel value
   // (a third of the work of three separate passes on an RGB model).
   std::vector<const float*> coefficientSets;
   std::vector<float*> planes;
   for ( int32_t c = 0; c < channels; ++c )
   {
      if ( channels > 1 )
         step( "Processing channel #" + std::to_string( c ) );
      step( "Computing 2-D surface spline" );
      GenerateSurfaceSpline( in.n, in.x, in.y, in.f[size_t( c )], in.order, in.smoothing, nullptr,
                             coefficients[size_t( c )].data() );
      coefficientSets.push_back( coefficients[size_t( c )].data() );
      planes.push_back( model->PixelData( c ) );
   }

   step( "Generating background model pixels" );
   model->BeginTask( "2-D surface spline interpolation", model->NumberOfPixels() );
   StatusCallback* monitor = model->IsMonitored() ? &model->Status() : nullptr;
   // The model dies with this exception, so the event names no image.
   if ( !EvaluateSurfaceSplineGrid( in.n, in.order, in.x, in.y, coefficientSets, columns, rows, planes, monitor, w ) )
      throw Image::AbortProcessEvent( nullptr );

   std::atomic<bool> finite = true;
   ParallelFor( h, [&]( int64_t r0, int64_t r1 ) {
      for ( float* plane : planes )
         if ( !ClampRows( plane, w, r0, r1 ) )
            finite = false;
   } );
   if ( !finite )
      throw GenericException( singularText );
   return model;
}

} // namespace qor
