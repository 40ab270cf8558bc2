// The curves process run on a plain view, in place on a copy of the input refreshed (untimed) before every run:
// - curves_transform: the RGB/K curve of a gentle S-shaped stretch (the curve of curves_lut), every nominal
//   channel, grey and RGB;
// - curves_lstar: a lightness curve through the working space's CIE L*a*b* (RGB);
// - curves_hue_saturation: hue and saturation curves, each pixel's lightness restored (RGB).
// Every sample is evaluated exactly: no table. The per-sample floor is the peers' bandwidth rmw line; curves_lut
// (numpy through a 65536-entry table) is the peer of curves_transform.

#include "BenchCommon.h"

#include "RGBColorSystem.h"
#include "process/CurvesTransform.h"

#include <memory>

namespace
{

// What the process needs of its target: the image and a working space.
class BenchView : public ProcessView
{
public:
   explicit BenchView( std::shared_ptr<qor::Image> image ) : image( std::move( image ) ) {}
   bool IsPreview() const override { return false; }
   std::string FullId() const override { return "Bench"; }
   qor::Image* TargetImage() const override { return image.get(); }
   qor::RGBColorSystem* RGBWorkingSpace() const override { return &rgbws; }

private:
   std::shared_ptr<qor::Image> image;
   mutable qor::RGBColorSystem rgbws;
};

CurvesTransform::Parameters Stretch()
{
   CurvesTransform::Parameters p;
   p.x[CurvesTransform::RGBK] = { 0.0f, 0.2f, 0.45f, 0.75f, 1.0f };
   p.y[CurvesTransform::RGBK] = { 0.0f, 0.12f, 0.5f, 0.86f, 1.0f };
   return p;
}

CurvesTransform::Parameters Lightness()
{
   CurvesTransform::Parameters p;
   p.x[CurvesTransform::L] = { 0.0f, 0.3f, 0.7f, 1.0f };
   p.y[CurvesTransform::L] = { 0.0f, 0.42f, 0.8f, 1.0f };
   return p;
}

CurvesTransform::Parameters HueSaturation()
{
   CurvesTransform::Parameters p;
   p.x[CurvesTransform::H] = { 0.0f, 0.5f, 1.0f };
   p.y[CurvesTransform::H] = { 0.02f, 0.55f, 0.98f };
   p.x[CurvesTransform::S] = { 0.0f, 0.4f, 1.0f };
   p.y[CurvesTransform::S] = { 0.0f, 0.6f, 1.0f };
   return p;
}

void Register( const char* op, const qor::Image& input, const CurvesTransform::Parameters& parameters )
{
   auto work = std::make_shared<qor::Image>();
   auto view = std::make_shared<BenchView>( work );
   auto process = std::make_shared<CurvesTransform>( parameters );
   bench::Register(
       op, bench::SizeText( input ), [view, process] { process->DoExecuteOn( *view ); },
       [&input, work] { work->Assign( input ); } );
}

struct Registration
{
   Registration()
   {
      Register( "curves_transform", bench::GreyInput(), Stretch() );
      Register( "curves_transform", bench::RgbInput(), Stretch() );
      Register( "curves_lstar", bench::RgbInput(), Lightness() );
      Register( "curves_hue_saturation", bench::RgbInput(), HueSaturation() );
   }
} registration;

} // namespace
