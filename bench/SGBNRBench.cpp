// SGBNR noise reduction of the grey sky image with its default parameters (amount 0.8, both edges protected) at
// sigma 1, 2 and 4 (kernels of 11, 23 and 43; the last one is applied at a reduced size of 23), beside a Gaussian
// blur of sigma 1 and 4 (gauss_s2 is in GaussianBench): no other tool does the same work.

#include "BenchCommon.h"

#include "GaussianKernel.h"
#include "process/SGBNR.h"

#include <memory>

namespace
{

class BenchView : public ProcessView
{
public:
   explicit BenchView( qor::Image& image ) : image( image ) {}
   bool IsPreview() const override { return false; }
   std::string FullId() const override { return "Image01"; }
   qor::Image* TargetImage() const override { return &image; }

private:
   qor::Image& image;
};

struct Registration
{
   Registration()
   {
      const qor::Image& input = bench::GreyInput();
      for ( float sigma : { 1.0f, 2.0f, 4.0f } )
      {
         auto work = std::make_shared<qor::Image>();
         bench::Register(
            "sgbnr_s" + std::to_string( int( sigma ) ), bench::SizeText( input ),
            [work, sigma] {
               SGBNR::Parameters p;
               p.sigma[0] = sigma;
               BenchView view( *work );
               SGBNR( p ).DoExecuteOn( view );
            },
            [work, &input] { work->Assign( input ); } );
      }
      for ( float sigma : { 1.0f, 4.0f } )
      {
         auto output = std::make_shared<qor::Image>();
         bench::Register( "gauss_s" + std::to_string( int( sigma ) ), bench::SizeText( input ),
                          [&input, output, sigma] { qor::GaussianBlur( input, *output, sigma ); } );
      }
   }
} registration;

} // namespace
