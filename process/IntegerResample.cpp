#include "process/IntegerResample.h"

#include <QWidget>

#include <cstdio>
#include <limits>

#include "classlib/File.h"
#include "classlib/Image.h"
#include "process/ImageWindowService.h"
#include "process/ProcessWindows.h"

std::unique_ptr<Process::Parameters> IntegerResample::Parameters::Clone() const
{
   return std::make_unique<Parameters>( *this );
}

void IntegerResample::Parameters::Assign( const Process::Parameters& source )
{
   *this = dynamic_cast<const Parameters&>( source );
}

void IntegerResample::Parameters::Read( qor::File& file, float )
{
   resampleFactor = file.ReadValue<int32_t>();
}

void IntegerResample::Parameters::Write( qor::File& file, float ) const
{
   file.WriteValue( resampleFactor );
}

std::string IntegerResample::Parameters::ToText( int32_t ) const
{
   char text[32];
   std::snprintf( text, sizeof( text ), "resampleFactor=%+d", resampleFactor );
   return text;
}

IntegerResample::IntegerResample()
{
   parameters = std::make_unique<Parameters>();
}

IntegerResample::IntegerResample( int32_t resampleFactor ) : IntegerResample()
{
   Params().resampleFactor = resampleFactor;
}

IntegerResample::IntegerResample( const IntegerResample& source ) : GeometricProcess( source )
{
   parameters = source.parameters->Clone();
}

std::unique_ptr<Process> IntegerResample::Clone() const
{
   return std::make_unique<IntegerResample>( *this );
}

std::string IntegerResample::Id() const
{
   return "IntegerResample";
}

bool IntegerResample::IsInterface( const QWidget* form ) const
{
   return form != nullptr && form->inherits( "TIntegerResampleWindow" );
}

bool IntegerResample::IsInterfaceAvailable() const
{
   return IsProcessInterfaceAvailable( Id() );
}

void IntegerResample::LaunchInterface()
{
   if ( !OpenProcessWindow( *this ) )
      GeometricProcess::LaunchInterface();
}

void IntegerResample::GetNewSize( int32_t& width, int32_t& height, const ProcessView& ) const
{
   const int64_t f = Params().resampleFactor;
   auto scaled = [f]( int32_t side ) -> int32_t
   {
      const int64_t s = f < 0 ? side / -f : side * f;
      return s > std::numeric_limits<int32_t>::max() ? std::numeric_limits<int32_t>::max() : int32_t( s );
   };
   width = scaled( width );
   height = scaled( height );
}

std::string IntegerResample::ConfirmationText() const
{
   return "Previews and mask references will be destroyed. These side-effects cannot be undone. Proceed?";
}

void IntegerResample::DoExecuteOn( ProcessView& view )
{
   qor::Image* image = view.TargetImage();
   if ( image == nullptr )
      return;
   // Both operations build the new planes aside: a failure leaves the image, its previews and masks as they were.
   const int32_t f = Params().resampleFactor;
   if ( f < 0 )
      image->Subsample( -f );
   else
      image->Oversample( f );
   FinishGeometryChange( view );
}

void IntegerResample::AfterExecutionOn( ProcessView& view )
{
   ImageWindows().ImageSizeChanged( view, true );
}
