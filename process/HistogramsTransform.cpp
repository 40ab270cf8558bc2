#include "process/HistogramsTransform.h"

#include <QAction>
#include <QWidget>

#include "classlib/Exception.h"
#include "classlib/File.h"
#include "classlib/Image.h"
#include "process/ProcessWindows.h"
#include "support/Utils.h"

std::unique_ptr<Process::Parameters> HistogramsTransform::Parameters::Clone() const
{
   return std::make_unique<Parameters>( *this );
}

void HistogramsTransform::Parameters::Assign( const Process::Parameters& source )
{
   *this = dynamic_cast<const Parameters&>( source );
}

void HistogramsTransform::Parameters::SetSet( int32_t i, const qor::HistogramTransformSet& s )
{
   c0[i] = s.c0;
   c1[i] = s.c1;
   m[i] = s.m;
   r0[i] = s.r0;
   r1[i] = s.r1;
}

void HistogramsTransform::Parameters::Read( qor::File& file, float )
{
   qor::HistogramTransformSet sets[4];
   for ( qor::HistogramTransformSet& s : sets )
   {
      file.ReadValue( s.c0 );
      file.ReadValue( s.c1 );
      file.ReadValue( s.m );
      file.ReadValue( s.r0 );
      file.ReadValue( s.r1 );
   }
   // Values out of their ranges would take samples out of [0, 1] (or divide by a zero range): refused, not clamped.
   for ( int32_t i = 0; i < 4; ++i )
   {
      const std::string fault = sets[i].Fault();
      if ( !fault.empty() )
         throw qor::GenericException( std::string( "Invalid HistogramsTransform parameters (" ) + SetName( i ) +
                                      "): " + fault + "." );
   }
   for ( int32_t i = 0; i < 4; ++i )
      SetSet( i, sets[i] );
}

void HistogramsTransform::Parameters::Write( qor::File& file, float ) const
{
   for ( int32_t i = 0; i < 4; ++i )
   {
      file.WriteValue( c0[i] );
      file.WriteValue( c1[i] );
      file.WriteValue( m[i] );
      file.WriteValue( r0[i] );
      file.WriteValue( r1[i] );
   }
}

std::string HistogramsTransform::Parameters::ToText( int32_t level ) const
{
   std::string text;
   for ( int32_t i = 0; i < 4; ++i )
   {
      text += std::string( "// " ) + SetName( i );
      const bool identity = IsIdentity( i );
      if ( !identity )
      {
         const std::string n = std::to_string( i );
         text += "\nc0[" + n + "]=" + FormatReal( c0[i], 5 ) + ", c1[" + n + "]=" + FormatReal( c1[i], 5 ) + ", m[" +
                 n + "]=" + FormatReal( m[i], 5 ) + ", r0[" + n + "]=" + FormatReal( r0[i], 5 ) + ", r1[" + n +
                 "]=" + FormatReal( r1[i], 5 );
      }
      else if ( level >= 0 )
         text += "\n// <identity>";
      if ( i < 3 )
         text += identity ? "\n" : ",\n";
   }
   return text;
}

HistogramsTransform::HistogramsTransform()
{
   parameters = std::make_unique<Parameters>();
}

HistogramsTransform::HistogramsTransform( const HistogramsTransform& source ) : TransferCurveProcess( source )
{
   parameters = source.parameters->Clone();
}

HistogramsTransform::HistogramsTransform( const Parameters& p )
{
   parameters = p.Clone();
}

std::unique_ptr<Process> HistogramsTransform::Clone() const
{
   return std::make_unique<HistogramsTransform>( *this );
}

std::string HistogramsTransform::Id() const
{
   return "HistogramsTransform";
}

bool HistogramsTransform::IsInterface( const QWidget* form ) const
{
   return form != nullptr && form->inherits( "THistogramWindow" );
}

bool HistogramsTransform::IsInterfaceAvailable() const
{
   return IsProcessInterfaceAvailable( Id() );
}

void HistogramsTransform::LaunchInterface()
{
   if ( !OpenProcessWindow( *this ) )
      TransferCurveProcess::LaunchInterface();
}

const char* HistogramsTransform::SetName( int32_t i )
{
   static const char* const names[] = { "R", "G", "B", "RGB/K" };
   return i >= 0 && i < 4 ? names[i] : "";
}

void HistogramsTransform::ApplyToChannel( qor::Image& image, int32_t channel, float c0, float c1, float m, float r0,
                                          float r1 )
{
   qor::ApplyHistogramTransform( image, channel, { c0, c1, m, r0, r1 } );
}

void HistogramsTransform::DoExecuteOn( ProcessView& view )
{
   qor::Image* image = view.TargetImage();
   if ( image == nullptr )
      return;
   const Parameters& p = Params();
   for ( int32_t c = 0; c < image->NumberOfNominalChannels(); ++c )
   {
      view.AddStatusTask( "Processing channel #" + std::to_string( c ), 2 );
      if ( image->IsColor() && c < RGBK && !p.IsIdentity( c ) )
         qor::ApplyHistogramTransform( *image, c, p.Set( c ) );
      if ( !p.IsIdentity( RGBK ) )
         qor::ApplyHistogramTransform( *image, c, p.Set( RGBK ) );
   }
   view.Modified( true );
}
