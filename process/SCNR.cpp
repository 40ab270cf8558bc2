#include "process/SCNR.h"

#include <QWidget>

#include "classlib/ColorNoiseReduction.h"
#include "classlib/Exception.h"
#include "classlib/File.h"
#include "classlib/Image.h"
#include "process/ProcessWindows.h"
#include "support/Utils.h"

std::unique_ptr<Process::Parameters> SCNR::Parameters::Clone() const
{
   return std::make_unique<Parameters>( *this );
}

void SCNR::Parameters::Assign( const Process::Parameters& source )
{
   *this = dynamic_cast<const Parameters&>( source );
}

void SCNR::Parameters::Read( qor::File& file, float )
{
   const int32_t color = file.ReadValue<int32_t>();
   const uint8_t method = uint8_t( file.ReadValue<int32_t>() & 0xff );
   const float a = file.ReadValue<float>();
   if ( color < 0 || color > 2 )
      throw qor::GenericException( "Invalid SCNR color to remove: " + std::to_string( color ) );
   if ( method > maximumNeutral )
      throw qor::GenericException( "Invalid SCNR protection method: " + std::to_string( method ) );
   if ( !( a >= 0 && a <= 1 ) )
      throw qor::GenericException( "Invalid SCNR amount: " + std::to_string( a ) );
   colorToRemove = color;
   protectionMethod = ProtectionMethod( method );
   amount = a;
}

void SCNR::Parameters::Write( qor::File& file, float ) const
{
   file.WriteValue( colorToRemove );
   file.WriteValue( int32_t( protectionMethod ) );
   file.WriteValue( amount );
}

std::string SCNR::Parameters::ToText( int32_t ) const
{
   std::string text = "colorToRemove=" + std::to_string( colorToRemove );
   text += std::string( ",\nprotectionMethod=" ) + MethodName( protectionMethod );
   if ( IsMaskMethod() )
      text += ",\namount=" + FormatReal( amount, 2 );
   return text;
}

const char* SCNR::MethodName( ProtectionMethod method )
{
   switch ( method )
   {
   case maximumMask:
      return "maximumMask";
   case additiveMask:
      return "additiveMask";
   case averageNeutral:
      return "averageNeutral";
   default:
      return "maximumNeutral";
   }
}

SCNR::SCNR()
{
   parameters = std::make_unique<Parameters>();
}

SCNR::SCNR( const SCNR& source ) : Process( source )
{
   parameters = source.parameters->Clone();
}

SCNR::SCNR( const Parameters& p )
{
   parameters = p.Clone();
}

std::unique_ptr<Process> SCNR::Clone() const
{
   return std::make_unique<SCNR>( *this );
}

std::string SCNR::Id() const
{
   return "SCNR";
}

bool SCNR::IsInterface( const QWidget* form ) const
{
   return form != nullptr && form->inherits( "TSCNRWindow" );
}

bool SCNR::IsInterfaceAvailable() const
{
   return IsProcessInterfaceAvailable( Id() );
}

void SCNR::LaunchInterface()
{
   if ( !OpenProcessWindow( *this ) )
      Process::LaunchInterface();
}

bool SCNR::CanExecuteOn( const ProcessView& view ) const
{
   const qor::Image* image = view.TargetImage();
   return image != nullptr && image->IsColor();
}

void SCNR::DoExecuteOn( ProcessView& view )
{
   qor::Image* image = view.TargetImage();
   if ( image == nullptr || !image->IsColor() )
      return;
   const Parameters& p = Params();
   qor::RemoveColorNoise( *image, p.colorToRemove, qor::ColorNoiseProtection( p.protectionMethod ), p.amount );
   view.Modified( true );
}
