#include "process/Rotate.h"

#include <QWidget>

#include <cmath>
#include <cstdio>

#include "classlib/Exception.h"
#include "classlib/File.h"
#include "classlib/Image.h"
#include "classlib/ImageRotate.h"
#include "classlib/Math.h"
#include "process/ProcessWindows.h"

std::unique_ptr<Process::Parameters> Rotate::Parameters::Clone() const
{
   return std::make_unique<Parameters>( *this );
}

void Rotate::Parameters::Assign( const Process::Parameters& source )
{
   *this = dynamic_cast<const Parameters&>( source );
}

void Rotate::Parameters::Read( qor::File& file, float version )
{
   Parameters p;
   p.rotationAngle = file.ReadValue<float>();
   p.optimizeFastRotations = file.ReadValue<uint8_t>() != 0;
   p.fillColor.Read( file, version );
   p.interpolation.Read( file, version );
   if ( !std::isfinite( p.rotationAngle ) )
      throw qor::GenericException( "Invalid rotation angle" );
   *this = p;
}

void Rotate::Parameters::Write( qor::File& file, float version ) const
{
   file.WriteValue( rotationAngle );
   file.WriteValue( uint8_t( optimizeFastRotations ? 1 : 0 ) );
   fillColor.Write( file, version );
   interpolation.Write( file, version );
}

std::string Rotate::Parameters::ToText( int32_t level ) const
{
   char angle[64];
   std::snprintf( angle, sizeof( angle ), "rotationAngle=%+.3f", double( Degrees( rotationAngle ) ) );
   std::string text = angle;
   if ( level < 0 )
      return text + ",...";
   text += std::string( ",\noptimizeFastRotations=" ) + ( optimizeFastRotations ? "1" : "0" );
   text += ",\nfillColor={" + fillColor.ToText( 0 ) + "}";
   text += ",\ninterpolation={" + interpolation.ToText( 0 ) + "}";
   return text;
}

Rotate::Rotate()
{
   parameters = std::make_unique<Parameters>();
}

Rotate::Rotate( const Rotate& source ) : GeometricProcess( source )
{
   parameters = source.parameters->Clone();
}

std::unique_ptr<Process> Rotate::Clone() const
{
   return std::make_unique<Rotate>( *this );
}

std::string Rotate::Id() const
{
   return "Rotate";
}

bool Rotate::IsInterface( const QWidget* form ) const
{
   return form != nullptr && form->inherits( "TRotateWindow" );
}

bool Rotate::IsInterfaceAvailable() const
{
   return IsProcessInterfaceAvailable( Id() );
}

void Rotate::LaunchInterface()
{
   if ( !OpenProcessWindow( *this ) )
      GeometricProcess::LaunchInterface();
}

void Rotate::RotatedSize( int32_t& width, int32_t& height, float angle )
{
   // The size the class library's rotation about the image centre gives, so that the check and the run agree.
   int32_t w = 0, h = 0;
   if ( !qor::RotatedSize( width, height, float( width ) * 0.5f, float( height ) * 0.5f, angle, w, h ) )
      w = h = 0;
   width = w;
   height = h;
}

void Rotate::GetNewSize( int32_t& width, int32_t& height, const ProcessView& ) const
{
   RotatedSize( width, height, Params().rotationAngle );
}

Rotate::Operation Rotate::OperationFor() const
{
   return OperationFor( Params().rotationAngle, Params().optimizeFastRotations );
}

Rotate::Operation Rotate::OperationFor( float angle, bool optimize )
{
   if ( !optimize )
      return Operation::General;
   const float thousand = float( qor::Pow10I( 3 ) );
   const float scaled = Degrees( angle ) * thousand;
   const float d = qor::Round( scaled ) / thousand;
   if ( d == 0 || d == 360 )
      return Operation::None;
   if ( d == -90 )
      return Operation::Rotate90CW;
   if ( d == 90 )
      return Operation::Rotate90CCW;
   if ( d == 180 || d == -180 )
      return Operation::Rotate180;
   return Operation::General;
}

void Rotate::DoExecuteOn( ProcessView& view )
{
   qor::Image* image = view.TargetImage();
   if ( image == nullptr )
      return;
   const Parameters& p = Params();
   // Every operation leaves the image as it was when it fails (the half turn in place is rolled back by the
   // framework from the undo data); previews and masks go only once it has succeeded.
   switch ( OperationFor() )
   {
   case Operation::None:
      break;
   case Operation::Rotate90CW:
      image->Rotate90CW();
      break;
   case Operation::Rotate90CCW:
      image->Rotate90CCW();
      break;
   case Operation::Rotate180:
      image->Rotate180();
      break;
   case Operation::General:
   {
      image->Rotate( float( image->Width() ) * 0.5f, float( image->Height() ) * 0.5f, p.rotationAngle,
                     FillValues( p.fillColor, *image ), p.interpolation.InterpolationCode(),
                     p.interpolation.blockSize );
      break;
   }
   }
   FinishGeometryChange( view );
}
