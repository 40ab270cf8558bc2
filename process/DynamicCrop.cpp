#include "process/DynamicCrop.h"

#include <QAction>
#include <QWidget>

#include <cmath>
#include <cstdio>

#include "classlib/Exception.h"
#include "classlib/File.h"
#include "classlib/Image.h"
#include "classlib/RotatedCrop.h"
#include "process/DynamicSessionLinks.h"
#include "process/GeometricProcess.h"
#include "process/ImageWindowService.h"
#include "process/Rotate.h"

std::unique_ptr<Process::Parameters> DynamicCrop::Parameters::Clone() const
{
   return std::make_unique<Parameters>( *this );
}

void DynamicCrop::Parameters::Assign( const Process::Parameters& source )
{
   *this = dynamic_cast<const Parameters&>( source );
}

void DynamicCrop::Parameters::Read( qor::File& file, float version )
{
   Parameters p;
   p.centerX = file.ReadValue<float>();
   p.centerY = file.ReadValue<float>();
   p.width = file.ReadValue<float>();
   p.height = file.ReadValue<float>();
   p.rotationAngle = file.ReadValue<float>();
   p.optimizeFastRotations = file.ReadValue<uint8_t>() != 0;
   p.fillColor.Read( file, version );
   p.interpolation.Read( file, version );
   for ( float v : { p.centerX, p.centerY, p.width, p.height, p.rotationAngle } )
      if ( !std::isfinite( v ) )
         throw qor::GenericException( "Invalid crop rectangle" );
   *this = p;
}

void DynamicCrop::Parameters::Write( qor::File& file, float version ) const
{
   file.WriteValue( centerX );
   file.WriteValue( centerY );
   file.WriteValue( width );
   file.WriteValue( height );
   file.WriteValue( rotationAngle );
   file.WriteValue( uint8_t( optimizeFastRotations ? 1 : 0 ) );
   fillColor.Write( file, version );
   interpolation.Write( file, version );
}

std::string DynamicCrop::Parameters::ToText( int32_t level ) const
{
   char text[256];
   std::snprintf( text, sizeof( text ), "centerX=%.4f,\ncenterY=%.4f,\nwidth=%.4f,\nheight=%.4f,\nrotationAngle=%+.3f",
                  double( centerX ), double( centerY ), double( width ), double( height ),
                  double( Rotate::Degrees( rotationAngle ) ) );
   std::string result = text;
   if ( level < 0 )
      return result + ",...";
   result += std::string( ",\noptimizeFastRotations=" ) + ( optimizeFastRotations ? "1" : "0" );
   result += ",\nfillColor={" + fillColor.ToText( 0 ) + "}";
   result += ",\ninterpolation={" + interpolation.ToText( 0 ) + "}";
   return result;
}

DynamicCrop::DynamicCrop()
{
   parameters = std::make_unique<Parameters>();
}

DynamicCrop::DynamicCrop( const DynamicCrop& source ) : DynamicProcess( source )
{
   parameters = source.parameters->Clone();
}

std::unique_ptr<Process> DynamicCrop::Clone() const
{
   return std::make_unique<DynamicCrop>( *this );
}

std::string DynamicCrop::Id() const
{
   return "DynamicCrop";
}

QAction* DynamicCrop::Action() const
{
   return DynamicSessionModeAction( Id() );
}

bool DynamicCrop::IsInterface( const QWidget* form ) const
{
   return form != nullptr && form->inherits( "TDynamicCropDialog" );
}

bool DynamicCrop::IsInterfaceAvailable() const
{
   const QAction* action = Action();
   return action != nullptr && action->isEnabled();
}

void DynamicCrop::LaunchInterface()
{
   StartDynamicSessionFromInstance( *this );
}

bool DynamicCrop::IsSessionActive( const ProcessView& view ) const
{
   return HasDynamicSession( view, Id() );
}

const ProcessSessionDialog* DynamicCrop::SessionDialog() const
{
   return DynamicSessionDialog( Id() );
}

bool DynamicCrop::ConfirmExecutionOn( ProcessView& view )
{
   return GeometricProcess::ConfirmDestroyingPreviewsAndMasks( view, Id() );
}

namespace
{

qor::RotatedCropPlan PlanFor( const DynamicCrop::Parameters& p, int32_t width, int32_t height )
{
   const float W = float( width ), H = float( height );
   return qor::PlanRotatedCrop( width, height, W * p.centerX, H * p.centerY, W * p.width, H * p.height,
                                p.rotationAngle, GeometricProcess::MaxImageSize );
}

qor::UprightTurn TurnFor( const DynamicCrop::Parameters& p )
{
   // The box is turned by the opposite of the rectangle's angle; a whole turn or none is an ordinary rotation here.
   switch ( Rotate::OperationFor( -p.rotationAngle, p.optimizeFastRotations ) )
   {
   case Rotate::Operation::Rotate90CW:
      return qor::UprightTurn::Clockwise90;
   case Rotate::Operation::Rotate90CCW:
      return qor::UprightTurn::CounterClockwise90;
   case Rotate::Operation::Rotate180:
      return qor::UprightTurn::Half;
   default:
      return qor::UprightTurn::General;
   }
}

} // namespace

void DynamicCrop::GetNewSize( int32_t& width, int32_t& height ) const
{
   const qor::RotatedCropPlan plan = PlanFor( Params(), width, height );
   width = plan.valid ? plan.ResultWidth() : 0;
   height = plan.valid ? plan.ResultHeight() : 0;
}

void DynamicCrop::DoExecuteOn( ProcessView& view )
{
   qor::Image* image = view.TargetImage();
   if ( image == nullptr )
      return;
   const Parameters& p = Params();
   const qor::RotatedCropPlan plan = PlanFor( p, image->Width(), image->Height() );
   if ( !plan.valid )
      throw qor::GenericException( "Invalid image dimensions in DynamicCrop" );
   // The crop leaves the image as it was when it fails; previews and masks go only once it has succeeded.
   qor::CropRotated( *image, plan, p.rotationAngle, TurnFor( p ), GeometricProcess::FillValues( p.fillColor, *image ),
                     p.interpolation.InterpolationCode(), p.interpolation.blockSize );
   GeometricProcess::FinishGeometryChange( view );
}

void DynamicCrop::AfterExecutionOn( ProcessView& view )
{
   ImageWindows().ImageSizeChanged( view, false );
}

bool DynamicCrop::IsMaskable( const ProcessView&, const MaskTarget* ) const
{
   return false;
}
