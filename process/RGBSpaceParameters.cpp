#include "process/RGBSpaceParameters.h"

#include <QWidget>

#include <array>
#include <cmath>
#include <cstdio>

#include "classlib/Exception.h"
#include "classlib/File.h"
#include "classlib/RGBColorSystem.h"
#include "process/ImageWindowService.h"
#include "process/ProcessWindows.h"

// ---- Parameters ----------------------------------------------------------------------------------------------------

RGBSpaceParameters::Parameters::Parameters()
{
   LoadFrom( qor::RGBColorSystem() );
}

std::unique_ptr<Process::Parameters> RGBSpaceParameters::Parameters::Clone() const
{
   return std::make_unique<Parameters>( *this );
}

void RGBSpaceParameters::Parameters::Assign( const Process::Parameters& source )
{
   *this = dynamic_cast<const Parameters&>( source );
}

void RGBSpaceParameters::Parameters::Read( qor::File& file, float )
{
   Parameters p;
   for ( int i = 0; i < 3; ++i )
   {
      file.ReadValue( p.Y[i] );
      file.ReadValue( p.x[i] );
      file.ReadValue( p.y[i] );
   }
   file.ReadValue( p.gamma );
   p.sRGB = file.ReadValue<uint8_t>() != 0;
   file.ReadValue( p.mode );
   *this = p;
}

void RGBSpaceParameters::Parameters::Write( qor::File& file, float ) const
{
   for ( int i = 0; i < 3; ++i )
   {
      file.WriteValue( Y[i] );
      file.WriteValue( x[i] );
      file.WriteValue( y[i] );
   }
   file.WriteValue( gamma );
   file.WriteValue( uint8_t( sRGB ? 1 : 0 ) );
   file.WriteValue( mode );
}

std::string RGBSpaceParameters::Parameters::ToText( int32_t ) const
{
   char buffer[256];
   std::snprintf( buffer, sizeof( buffer ), "luminanceCoefficients={%.6f, %.6f, %.6f}", Y[0], Y[1], Y[2] );
   std::string text = buffer;
   std::snprintf( buffer, sizeof( buffer ), ",\nchromaticityCoordinates={%.6f, %.6f, %.6f, %.6f, %.6f, %.6f}", x[0],
                  x[1], x[2], y[0], y[1], y[2] );
   text += buffer;
   if ( sRGB )
      text += ",\ngamma=\"sRGB\"";
   else
   {
      std::snprintf( buffer, sizeof( buffer ), ",\ngamma=%.2f", gamma );
      text += buffer;
   }
   static const char* const modes[] = { "applyThis", "applyGlobal", "applyLocal" };
   text += ",\nmode=\"";
   text += ( mode >= 0 && mode <= 2 ) ? modes[mode] : "";
   text += "\"";
   return text;
}

void RGBSpaceParameters::Parameters::LoadFrom( const qor::RGBColorSystem& rgbws )
{
   const qor::RGBColorSystem::Data& d = rgbws.Values();
   for ( int i = 0; i < 3; ++i )
   {
      Y[i] = d.Y[i];
      x[i] = d.x[i];
      y[i] = d.y[i];
   }
   gamma = d.gamma;
   sRGB = d.sRGBGamma;
}

bool RGBSpaceParameters::Parameters::IsValid() const
{
   if ( !sRGB && !( std::isfinite( gamma ) && gamma > 0 ) )
      return false;
   for ( int i = 0; i < 3; ++i )
      if ( !std::isfinite( x[i] ) || !std::isfinite( y[i] ) || !std::isfinite( Y[i] ) )
         return false;
   if ( !qor::RGBColorSystem::IsValidSpace( x, y, Y ) )
      return false;
   // Primaries of (nearly) one chromaticity leave a determinant that rounding keeps from being exactly 0: it is
   // measured against the lengths of the matrix's columns, as the volume they span against that of a cube.
   const std::array<float, 9> m = qor::RGBColorSystem::RGBToXYZMatrix( x, y, Y );
   long double volume = 1;
   for ( int c = 0; c < 3; ++c )
      volume *= std::sqrt( ( long double )m[c] * m[c] + ( long double )m[3 + c] * m[3 + c] +
                           ( long double )m[6 + c] * m[6 + c] );
   const long double det = ( long double )m[0] * ( ( long double )m[4] * m[8] - ( long double )m[5] * m[7] ) -
                           ( long double )m[1] * ( ( long double )m[3] * m[8] - ( long double )m[5] * m[6] ) +
                           ( long double )m[2] * ( ( long double )m[3] * m[7] - ( long double )m[4] * m[6] );
   return std::isfinite( volume ) && volume > 0 && std::fabs( det ) > 1e-6L * volume;
}

// ---- Process -------------------------------------------------------------------------------------------------------

RGBSpaceParameters::RGBSpaceParameters()
{
   parameters = std::make_unique<Parameters>();
}

RGBSpaceParameters::RGBSpaceParameters( const RGBSpaceParameters& source ) : ColorSpaceProcess( source )
{
   parameters = source.parameters->Clone();
}

std::unique_ptr<Process> RGBSpaceParameters::Clone() const
{
   return std::make_unique<RGBSpaceParameters>( *this );
}

std::string RGBSpaceParameters::Id() const
{
   return "RGBSpaceParameters";
}

bool RGBSpaceParameters::IsInterface( const QWidget* form ) const
{
   return form != nullptr && form->inherits( "TRGBSpaceParametersWindow" );
}

bool RGBSpaceParameters::IsInterfaceAvailable() const
{
   return IsProcessInterfaceAvailable( Id() );
}

void RGBSpaceParameters::LaunchInterface()
{
   if ( !OpenProcessWindow( *this ) )
      ColorSpaceProcess::LaunchInterface();
}

bool RGBSpaceParameters::CanExecuteOn( const ProcessView& view ) const
{
   return !view.IsPreview();
}

bool RGBSpaceParameters::CanExecuteGlobal() const
{
   return true;
}

void RGBSpaceParameters::DoExecuteOn( ProcessView& view )
{
   if ( qor::RGBColorSystem* rgbws = view.RGBWorkingSpace() )
      ApplyTo( *rgbws );
}

void RGBSpaceParameters::DoExecuteGlobal()
{
   ApplyTo( ImageWindows().GlobalRGBWorkingSpace() );
}

bool RGBSpaceParameters::IsMaskable( const ProcessView&, const MaskTarget* ) const
{
   return false;
}

uint32_t RGBSpaceParameters::UndoFlags( const ProcessView& ) const
{
   return UndoRGBWorkingSpace;
}

void RGBSpaceParameters::ApplyTo( qor::RGBColorSystem& rgbws ) const
{
   const Parameters& p = Values();
   if ( p.mode == ApplyGlobal )
   {
      qor::RGBColorSystem& global = ImageWindows().GlobalRGBWorkingSpace();
      if ( !rgbws.SharesDataWith( global ) )
         rgbws = global;
   }
   else
   {
      if ( !p.IsValid() )
         throw qor::GenericException( "Singular matrix found in RGBSpaceParameters" );
      rgbws.SetParameters( p.gamma, p.sRGB, p.x, p.y, p.Y );
   }
   ImageWindows().RGBWorkingSpaceChanged( rgbws );
}
