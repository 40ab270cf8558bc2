#include "process/CurvesTransform.h"

#include <QWidget>

#include <cstdio>

#include "classlib/ColorCurves.h"
#include "classlib/Exception.h"
#include "classlib/File.h"
#include "classlib/Image.h"
#include "classlib/TransferCurve.h"
#include "classlib/TransferCurveEvaluator.h"
#include "process/ProcessWindows.h"

namespace
{

void SetIdentity( std::vector<float>& x, std::vector<float>& y )
{
   x = { 0.0f, 1.0f };
   y = { 0.0f, 1.0f };
}

std::string Point( float x, float y )
{
   char text[64];
   std::snprintf( text, sizeof( text ), "{%.*f,%.*f}", 5, double( x ), 5, double( y ) );
   return text;
}

} // namespace

// ---- Parameters ---------------------------------------------------------------------------------------------------

const char* CurvesTransform::CurveName( int32_t curve )
{
   static const char* const names[NumberOfCurves] = { "R", "G", "B", "RGB/K", "CIE L*", "H", "S" };
   return curve >= 0 && curve < NumberOfCurves ? names[curve] : "";
}

CurvesTransform::Parameters::Parameters()
{
   for ( int32_t c = 0; c < NumberOfCurves; ++c )
      SetIdentity( x[size_t( c )], y[size_t( c )] );
}

std::unique_ptr<Process::Parameters> CurvesTransform::Parameters::Clone() const
{
   return std::make_unique<Parameters>( *this );
}

void CurvesTransform::Parameters::Assign( const Process::Parameters& source )
{
   if ( &source != this )
      *this = dynamic_cast<const Parameters&>( source );
}

void CurvesTransform::Parameters::Read( qor::File& file, float version )
{
   // Everything is read aside, so that a refused stream leaves the set as it was.
   Parameters read;
   for ( int32_t c = 0; c < NumberOfCurves; ++c )
   {
      std::vector<float>& cx = read.x[size_t( c )];
      std::vector<float>& cy = read.y[size_t( c )];
      const uint32_t n = file.ReadValue<uint32_t>();
      const std::string curve = std::string( "CurvesTransform: curve " ) + CurveName( c ) + ": ";
      // Counted against the bytes there are before anything is allocated.
      if ( n > MaximumPoints || int64_t( n ) * 8 > file.BytesLeft() )
         throw qor::GenericException( curve + "invalid number of points: " + std::to_string( n ) );
      if ( n == 0 )
         SetIdentity( cx, cy );
      else
      {
         cx.resize( n );
         cy.resize( n );
         for ( uint32_t i = 0; i < n; ++i )
         {
            cx[i] = file.ReadValue<float>();
            cy[i] = file.ReadValue<float>();
         }
         try
         {
            qor::CheckTransferCurve( cx, cy );
         }
         catch ( const qor::GenericException& e )
         {
            throw qor::GenericException( curve + e.ErrorText() );
         }
      }
      read.linear[size_t( c )] = version > 1.0f ? file.ReadValue<uint8_t>() != 0 : false;
   }
   *this = std::move( read );
}

void CurvesTransform::Parameters::Write( qor::File& file, float ) const
{
   for ( int32_t c = 0; c < NumberOfCurves; ++c )
   {
      const std::vector<float>& cx = x[size_t( c )];
      const std::vector<float>& cy = y[size_t( c )];
      file.WriteValue( int32_t( cx.size() ) );
      for ( size_t i = 0; i < cx.size(); ++i )
      {
         file.WriteValue( cx[i] );
         file.WriteValue( cy[i] );
      }
      file.WriteValue( uint8_t( linear[size_t( c )] ? 1 : 0 ) );
   }
}

std::string CurvesTransform::Parameters::ToText( int32_t level ) const
{
   std::string text;
   for ( int32_t c = 0; c < NumberOfCurves; ++c )
   {
      text += std::string( "// " ) + CurveName( c );
      if ( !IsIdentity( c ) )
      {
         text += "\npoints[" + std::to_string( c ) + "]={";
         const std::vector<float>& cx = x[size_t( c )];
         if ( level >= 0 )
            for ( size_t i = 0; i < cx.size(); ++i )
            {
               if ( i > 0 )
                  text += ",";
               text += Point( cx[i], y[size_t( c )][i] );
            }
         else
            text += "length=" + std::to_string( cx.size() ) + ",...";
         text += "},\nlinear[" + std::to_string( c ) + "]=" + ( linear[size_t( c )] ? "1" : "0" );
      }
      else if ( level >= 0 )
         text += "\n// <identity>";
      if ( c == NumberOfCurves - 1 )
         break;
      if ( !IsIdentity( c + 1 ) )
         text += ",";
      text += "\n";
   }
   return text;
}

bool CurvesTransform::Parameters::IsIdentity( int32_t curve ) const
{
   const std::vector<float>& cx = x[size_t( curve )];
   const std::vector<float>& cy = y[size_t( curve )];
   for ( size_t i = 0; i < cx.size(); ++i )
      if ( cy[i] != cx[i] )
         return false;
   return true;
}

void CurvesTransform::Parameters::ResetCurve( int32_t curve )
{
   SetIdentity( x[size_t( curve )], y[size_t( curve )] );
}

// ---- Process ------------------------------------------------------------------------------------------------------

CurvesTransform::CurvesTransform()
{
   parameters = std::make_unique<Parameters>();
}

CurvesTransform::CurvesTransform( const CurvesTransform& source ) : TransferCurveProcess( source )
{
   parameters = source.parameters->Clone();
}

CurvesTransform::CurvesTransform( const Parameters& p )
{
   parameters = p.Clone();
}

std::unique_ptr<Process> CurvesTransform::Clone() const
{
   return std::make_unique<CurvesTransform>( *this );
}

std::unique_ptr<Process> CurvesTransform::ProbeInstance() const
{
   return std::make_unique<CurvesTransform>();
}

std::string CurvesTransform::Id() const
{
   return "CurvesTransform";
}

float CurvesTransform::Version() const
{
   return 1.01f;
}

bool CurvesTransform::IsInterface( const QWidget* form ) const
{
   return form != nullptr && form->inherits( "TCurvesWindow" );
}

bool CurvesTransform::IsInterfaceAvailable() const
{
   return IsProcessInterfaceAvailable( Id() );
}

void CurvesTransform::LaunchInterface()
{
   if ( !OpenProcessWindow( *this ) )
      TransferCurveProcess::LaunchInterface();
}

void CurvesTransform::DoExecuteOn( ProcessView& view )
{
   qor::Image* image = view.TargetImage();
   if ( image == nullptr || image->IsEmpty() )
      return;
   const Parameters& p = Params();
   const bool color = image->IsColor();
   const bool combined = !p.IsIdentity( RGBK );

   for ( int32_t c = 0; c < image->NumberOfNominalChannels(); ++c )
   {
      view.AddStatusTask( "Processing RGB channel #" + std::to_string( c ), 2 );
      if ( color && c < RGBK && !p.IsIdentity( c ) )
         qor::ApplyTransferCurve( *image, c, p.x[size_t( c )], p.y[size_t( c )], p.linear[size_t( c )] );
      if ( combined )
         qor::ApplyTransferCurve( *image, c, p.x[RGBK], p.y[RGBK], p.linear[RGBK] );
   }

   if ( color && image->NumberOfNominalChannels() >= 3 )
   {
      const qor::RGBColorSystem defaultSpace;
      const qor::RGBColorSystem& rgbws = view.RGBWorkingSpace() != nullptr ? *view.RGBWorkingSpace() : defaultSpace;
      if ( !p.IsIdentity( L ) )
      {
         view.AddStatusTask( "Luminance transform", 2 );
         qor::ApplyLightnessCurve( *image, rgbws, qor::TransferCurveEvaluator( p.x[L], p.y[L], p.linear[L] ) );
      }
      const bool hue = !p.IsIdentity( H );
      const bool saturation = !p.IsIdentity( S );
      if ( hue || saturation )
      {
         view.AddStatusTask( "Hue/Saturation transform", 2 );
         const qor::TransferCurveEvaluator hueCurve( p.x[H], p.y[H], p.linear[H] );
         const qor::TransferCurveEvaluator saturationCurve( p.x[S], p.y[S], p.linear[S] );
         qor::ApplyHueSaturationCurves( *image, rgbws, hue ? &hueCurve : nullptr,
                                        saturation ? &saturationCurve : nullptr );
      }
   }
   view.Modified( true );
}
