// Background model by a thin-plate surface spline (order 2, no smoothing) through 100 samples: the fit alone,
// and fit + evaluation at the normalised position (column / width, row / height) of every node of the full grid
// and of the grid subsampled by 8, clamped to [0, 1]. Colour images fit one spline per channel and evaluate the
// three together (they share every kernel value).
//
// Samples come from $BENCH_DATA/bg_samples.csv (kind,x,y,values...) when it is there, otherwise 100 are made in
// memory on a jittered 10 x 10 grid the same way.

#include "BenchCommon.h"

#include "Parallel.h"
#include "SurfaceSpline.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace
{

struct Samples
{
   std::vector<float> x, y;
   std::vector<std::vector<float>> values; // per channel
};

Samples ReadSamples( const std::string& kind, int channels )
{
   Samples s;
   s.values.resize( size_t( channels ) );
   if ( const char* dir = std::getenv( "BENCH_DATA" ) )
   {
      std::ifstream file( std::string( dir ) + "/bg_samples.csv" );
      std::string line;
      while ( std::getline( file, line ) )
      {
         if ( line.empty() || line[0] == '#' )
            continue;
         std::stringstream fields( line );
         std::string field;
         std::vector<std::string> parts;
         while ( std::getline( fields, field, ',' ) )
            parts.push_back( field );
         if ( parts.size() != size_t( 3 + channels ) || parts[0] != kind )
            continue;
         s.x.push_back( std::stof( parts[1] ) );
         s.y.push_back( std::stof( parts[2] ) );
         for ( int c = 0; c < channels; ++c )
            s.values[size_t( c )].push_back( std::stof( parts[size_t( 3 + c )] ) );
      }
   }
   if ( !s.x.empty() )
      return s;

   // A sky gradient sampled on a jittered 10 x 10 grid.
   std::mt19937 rng( 99 );
   std::uniform_real_distribution<float> jitter( -0.3f, 0.3f );
   std::normal_distribution<float> noise( 0.0f, 0.002f );
   for ( int gy = 0; gy < 10; ++gy )
      for ( int gx = 0; gx < 10; ++gx )
      {
         const float x = ( float( gx ) + 0.5f + jitter( rng ) ) / 10.0f;
         const float y = ( float( gy ) + 0.5f + jitter( rng ) ) / 10.0f;
         s.x.push_back( x );
         s.y.push_back( y );
         for ( int c = 0; c < channels; ++c )
            s.values[size_t( c )].push_back( 0.06f + 0.02f * float( c ) + 0.04f * x + 0.03f * y * y +
                                             0.01f * std::sin( 3.0f * x + float( c ) ) + noise( rng ) );
      }
   return s;
}

struct Model
{
   Samples samples;
   std::vector<std::vector<float>> coefficients;

   void Fit()
   {
      const int32_t n = int32_t( samples.x.size() );
      coefficients.resize( samples.values.size() );
      std::vector<const float*> in;
      std::vector<float*> out;
      for ( size_t c = 0; c < samples.values.size(); ++c )
      {
         coefficients[c].resize( size_t( qor::SurfaceSplineCoefficientCount( n, 2 ) ) );
         in.push_back( samples.values[c].data() );
         out.push_back( coefficients[c].data() );
      }
      qor::GenerateSurfaceSplines( n, samples.x.data(), samples.y.data(), in, 2, 0.0f, nullptr, out );
   }

   // Evaluates the model on a w x h grid into planes, clamped to [0, 1].
   void Evaluate( int32_t w, int32_t h, std::vector<std::vector<float>>& planes ) const
   {
      std::vector<float> columns( static_cast<size_t>( w ) ), rows( static_cast<size_t>( h ) );
      for ( int32_t i = 0; i < w; ++i )
         columns[size_t( i )] = float( i ) / float( w );
      for ( int32_t j = 0; j < h; ++j )
         rows[size_t( j )] = float( j ) / float( h );
      std::vector<const float*> in;
      std::vector<float*> out;
      for ( size_t c = 0; c < coefficients.size(); ++c )
      {
         in.push_back( coefficients[c].data() );
         out.push_back( planes[c].data() );
      }
      qor::EvaluateSurfaceSplineGrid( int32_t( samples.x.size() ), 2, samples.x.data(), samples.y.data(), in, columns,
                                      rows, out );
      qor::ParallelFor( h,
                        [&]( int64_t r0, int64_t r1 )
                        {
                           for ( float* plane : out )
                              for ( float *p = plane + r0 * w, *end = plane + r1 * w; p != end; ++p )
                                 *p = std::clamp( *p, 0.0f, 1.0f );
                        } );
   }
};

struct Registration
{
   Registration()
   {
      struct Kind
      {
         const char* name;
         int32_t width, height, channels;
      };
      for ( const Kind& kind : { Kind{ "grey", 4096, 4096, 1 }, Kind{ "rgb", 4096, 2731, 3 } } )
      {
         auto model = std::make_shared<Model>();
         model->samples = ReadSamples( kind.name, kind.channels );
         const std::string size =
             std::to_string( kind.width ) + "x" + std::to_string( kind.height ) + "x" + std::to_string( kind.channels );
         bench::Register( "bg_tps_fit", size, [model] { model->Fit(); } );
         for ( int32_t step : { 8, 1 } )
         {
            const int32_t w = int32_t( std::lround( double( kind.width ) / step ) );
            const int32_t h = int32_t( std::lround( double( kind.height ) / step ) );
            auto planes = std::make_shared<std::vector<std::vector<float>>>(
                size_t( kind.channels ), std::vector<float>( size_t( w ) * size_t( h ) ) );
            bench::Register( step == 1 ? "bg_tps" : "bg_tps_sub8", size,
                             [model, planes, w, h]
                             {
                                model->Fit();
                                model->Evaluate( w, h, *planes );
                             } );
         }
      }
   }
} registration;

} // namespace
