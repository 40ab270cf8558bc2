#include "process/Resample.h"

#include <QWidget>

#include <cmath>
#include <cstdio>

#include "classlib/Exception.h"
#include "classlib/File.h"
#include "classlib/Image.h"
#include "classlib/Math.h"
#include "process/ImageWindowService.h"
#include "process/ProcessWindows.h"

namespace
{

constexpr float InchesPerCm = float( 0.39370078740157477 );
constexpr float CmPerInch = 2.54f;

// A float size as an integer side: halves to even for nearest, toward zero otherwise; 0 for a value that is not a
// number or does not fit (the caller's size check refuses it).
int32_t Side( float value, bool nearest )
{
   const float v = nearest ? qor::Round( value ) : qor::Trunc( value );
   if ( !( v >= -2147483648.0f && v < 2147483648.0f ) )
      return 0;
   return int32_t( v );
}

std::string Format( const char* format, double value )
{
   char text[64];
   std::snprintf( text, sizeof( text ), format, value );
   return text;
}

std::string FormatInt( const char* format, float value )
{
   char text[64];
   std::snprintf( text, sizeof( text ), format, Side( value, false ) );
   return text;
}

} // namespace

std::unique_ptr<Process::Parameters> Resample::Parameters::Clone() const
{
   return std::make_unique<Parameters>( *this );
}

void Resample::Parameters::Assign( const Process::Parameters& source )
{
   *this = dynamic_cast<const Parameters&>( source );
}

void Resample::Parameters::Read( qor::File& file, float version )
{
   Parameters p;
   p.mode = uint8_t( file.ReadValue<int32_t>() & 0xff );
   p.absoluteMode = uint8_t( file.ReadValue<int32_t>() & 0xff );
   p.xSize = file.ReadValue<float>();
   p.ySize = file.ReadValue<float>();
   p.interpolation.Read( file, version );
   p.resolution = file.ReadValue<float>();
   p.metric = file.ReadValue<uint8_t>() != 0;
   p.keepResolution = file.ReadValue<uint8_t>() != 0;
   // Sizes become integers and the resolution divides them: a damaged stream must not carry NaN or infinities.
   if ( !std::isfinite( p.xSize ) || !std::isfinite( p.ySize ) || !std::isfinite( p.resolution ) ||
        !( p.resolution > 0 ) )
      throw qor::GenericException( "Invalid resample sizes or resolution" );
   *this = p;
}

void Resample::Parameters::Write( qor::File& file, float version ) const
{
   file.WriteValue( int32_t( int8_t( mode ) ) );
   file.WriteValue( int32_t( int8_t( absoluteMode ) ) );
   file.WriteValue( xSize );
   file.WriteValue( ySize );
   interpolation.Write( file, version );
   file.WriteValue( resolution );
   file.WriteValue( uint8_t( metric ? 1 : 0 ) );
   file.WriteValue( uint8_t( keepResolution ? 1 : 0 ) );
}

std::string Resample::Parameters::ToText( int32_t level ) const
{
   std::string text;
   auto sizes = [&]( const char* format, bool integer )
   {
      auto item = [&]( const char* key, float value )
      {
         text += std::string( ",\n" ) + key + "=" + ( integer ? FormatInt( format, value ) : Format( format, value ) );
      };
      if ( absoluteMode != forceHeight )
         item( "width", xSize );
      if ( absoluteMode != forceWidth )
         item( "height", ySize );
   };
   switch ( mode )
   {
   case absolutePixels:
      text = "mode=\"absolute\"";
      sizes( "%d", true );
      break;
   case absoluteCentimeters:
   case absoluteInches:
      text = "mode=\"absolute\",\nunits=";
      text += mode == absoluteCentimeters ? "\"cm\"" : "\"inch\"";
      sizes( "%.3f", false );
      break;
   case forceSize:
   {
      char n[32];
      const float v = qor::Trunc( xSize );
      std::snprintf( n, sizeof( n ), "%u", ( v >= 0 && v < 4294967296.0f ) ? uint32_t( v ) : 0u );
      text = std::string( "mode=\"forceSize\",\nnumberOfPixels=" ) + n;
      break;
   }
   default:
      text = "mode=\"relative\",\nwidth=" + Format( "%.4f", xSize ) + ",\nheight=" + Format( "%.4f", ySize );
      break;
   }
   if ( level >= 0 )
      text += ",\ninterpolation={" + interpolation.ToText( 0 ) + "}";
   else
      text += ",...";
   if ( !keepResolution )
      text += ",\nresolution=" + Format( "%.3f", resolution ) + ",\nmetric=" + ( metric ? "1" : "0" );
   return text;
}

Resample::Resample()
{
   parameters = std::make_unique<Parameters>();
}

Resample::Resample( const Resample& source ) : GeometricProcess( source )
{
   parameters = source.parameters->Clone();
}

std::unique_ptr<Process> Resample::Clone() const
{
   return std::make_unique<Resample>( *this );
}

std::string Resample::Id() const
{
   return "Resample";
}

bool Resample::IsInterface( const QWidget* form ) const
{
   return form != nullptr && form->inherits( "TResampleWindow" );
}

bool Resample::IsInterfaceAvailable() const
{
   return IsProcessInterfaceAvailable( Id() );
}

void Resample::LaunchInterface()
{
   if ( !OpenProcessWindow( *this ) )
      GeometricProcess::LaunchInterface();
}

void Resample::CalculateNewSize( int32_t& width, int32_t& height, float resolution, bool metric ) const
{
   const Parameters& p = Params();
   const float W = float( width ), H = float( height );
   auto byAbsoluteMode = [&]( float px, float py, bool nearest )
   {
      switch ( p.absoluteMode )
      {
      case forceWidthAndHeight:
         width = Side( px, nearest );
         height = Side( py, nearest );
         break;
      case forceWidth:
      {
         const float r = W / H;
         width = Side( px, nearest );
         height = Side( float( float( width ) / r ), true );
         break;
      }
      case forceHeight:
      {
         const float r = H / W;
         height = Side( py, nearest );
         width = Side( float( float( height ) / r ), true );
         break;
      }
      default:
         break;
      }
   };

   switch ( p.mode )
   {
   case absolutePixels:
      byAbsoluteMode( p.xSize, p.ySize, false );
      break;
   case absoluteCentimeters:
   case absoluteInches:
   {
      if ( !p.keepResolution )
      {
         resolution = p.resolution;
         metric = p.metric;
      }
      float px = resolution * p.xSize;
      float py = resolution * p.ySize;
      if ( p.mode == absoluteCentimeters && !metric )
      {
         px = px * InchesPerCm;
         py = py * InchesPerCm;
      }
      else if ( p.mode == absoluteInches && metric )
      {
         px = px * CmPerInch;
         py = py * CmPerInch;
      }
      byAbsoluteMode( px, py, true );
      break;
   }
   case forceSize:
   {
      const float r = W / H;
      width = Side( std::sqrt( float( p.xSize * r ) ), true );
      height = Side( std::sqrt( float( p.xSize / r ) ), true );
      break;
   }
   default:
      width = Side( float( W * p.xSize ), true );
      height = Side( float( H * p.ySize ), true );
      break;
   }
}

void Resample::GetNewSize( int32_t& width, int32_t& height, const ProcessView& view ) const
{
   float resolution;
   bool metric;
   ImageWindows().GetResolution( view, resolution, metric );
   CalculateNewSize( width, height, resolution, metric );
}

bool Resample::ModifiesTarget( const ProcessView& view ) const
{
   const qor::Image* image = view.TargetImage();
   if ( image == nullptr )
      return false;
   int32_t width = image->Width(), height = image->Height();
   GetNewSize( width, height, view );
   return width != image->Width() || height != image->Height();
}

void Resample::DoExecuteOn( ProcessView& view )
{
   qor::Image* image = view.TargetImage();
   if ( image == nullptr )
      return;
   const Parameters& p = Params();
   int32_t width = image->Width(), height = image->Height();
   GetNewSize( width, height, view );
   // The resampling builds the new planes aside: a failure leaves the image, its previews and masks as they were.
   const bool changes = width != image->Width() || height != image->Height();
   if ( changes )
      image->Resample( width, height, p.interpolation.InterpolationCode(), p.interpolation.blockSize );
   FinishGeometryChange( view, changes );
   if ( !p.keepResolution )
      ImageWindows().SetResolution( view, p.resolution, p.metric );
}
