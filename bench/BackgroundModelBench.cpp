// Background extraction as a run of the process does it: an automatic grid of samples (radius 10, nine intervals
// across: 100 samples on the square grey image, 60 on the RGB one) measured on the sky image, their model points,
// then the background model evaluated at every pixel of the image (dbe_model) and of the image subsampled by 2
// (dbe_model_sub2), clamped to [0, 1]; RGB images fit and evaluate each channel in turn.
// The measurement of one sample of the largest radius the dialog allows (64: a 129 x 129 box), which happens at
// every mouse step of a drag (dbe_sample).

#include "BenchCommon.h"

#include "BackgroundModel.h"
#include "BackgroundSamples.h"
#include "RGBColorSystem.h"

#include <memory>
#include <vector>

namespace
{

struct Model
{
   qor::BackgroundModelPoints points;
   std::vector<const float*> rows;
   int32_t width = 0, height = 0;

   explicit Model( const qor::Image& image ) : width( image.Width() ), height( image.Height() )
   {
      const qor::RGBColorSystem rgbws;
      std::vector<qor::BackgroundSample> samples;
      int32_t r = 10;
      for ( const qor::BackgroundGridPoint& p : qor::BackgroundSampleGrid( width, height, 10, 9, &r ) )
      {
         qor::BackgroundSample s;
         qor::DefineBackgroundSample( s, p.x, p.y, r );
         qor::EvaluateBackgroundSample( s, image, rgbws, 0.1f );
         samples.push_back( std::move( s ) );
      }
      const int32_t channels = image.NumberOfNominalChannels() >= 3 ? 3 : 1;
      points = qor::BackgroundSamplePoints( samples, width, height, float( width ) / 2, float( height ) / 2, channels );
      for ( const std::vector<float>& row : points.f )
         rows.push_back( row.data() );
   }

   std::unique_ptr<qor::Image> Run( int32_t subsample ) const
   {
      qor::BackgroundModelInput in;
      in.n = points.Count();
      in.x = points.x.data();
      in.y = points.y.data();
      in.f = rows;
      in.width = width;
      in.height = height;
      in.subsample = subsample;
      return qor::ComputeBackgroundModel( in );
   }
};

struct Registration
{
   Registration()
   {
      for ( const qor::Image* image : { &bench::GreyInput(), &bench::RgbInput() } )
      {
         const std::string size = bench::SizeText( *image );
         auto model = std::make_shared<Model>( *image );
         bench::Register( "dbe_model", size, [model] { model->Run( 1 ); } );
         bench::Register( "dbe_model_sub2", size, [model] { model->Run( 2 ); } );
         bench::Register( "dbe_sample", size,
                          [image]
                          {
                             qor::BackgroundSample s;
                             qor::DefineBackgroundSample( s, image->Width() / 2, image->Height() / 2, 64 );
                             qor::EvaluateBackgroundSample( s, *image, qor::RGBColorSystem(), 0.1f );
                          } );
      }
   }
} registration;

} // namespace
