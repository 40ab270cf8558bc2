#include "process/DynamicBackgroundExtraction.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "classlib/BackgroundModel.h"
#include "classlib/Exception.h"
#include "classlib/File.h"
#include "classlib/Image.h"
#include <QAction>
#include <QWidget>

#include "process/DynamicSessionLinks.h"
#include "process/ImageWindowService.h"
#include "process/Preferences.h"

namespace
{

const char* const invalidText = "Invalid DynamicBackgroundExtraction parameters";
constexpr int64_t SampleDataSize = 28;

bool Finite( float v )
{
   return std::isfinite( v );
}

bool AllFinite( const std::vector<float>& values )
{
   return std::all_of( values.begin(), values.end(), Finite );
}

void ReadFloats( qor::File& file, std::vector<float>& values, int32_t n )
{
   values.resize( size_t( n ) );
   file.Read( values.data(), int64_t( n ) * int64_t( sizeof( float ) ) );
}

void WriteFloats( qor::File& file, const std::vector<float>& values )
{
   file.Write( values.data(), int64_t( values.size() ) * int64_t( sizeof( float ) ) );
}

// A record of the current layout, or of the 1.0 layout (the fixed flag in byte 13, no axial count).
DynamicBackgroundExtraction::SampleData ReadSampleData( qor::File& file, bool version10 )
{
   DynamicBackgroundExtraction::SampleData s;
   s.x = file.ReadValue<float>();
   s.y = file.ReadValue<float>();
   s.r = file.ReadValue<float>();
   uint8_t bytes[4];
   file.Read( bytes, 4 );
   s.symmetries = bytes[0];
   if ( version10 )
      s.fixed = bytes[1];
   else
   {
      s.nA = bytes[1];
      s.reserved = bytes[2];
      s.fixed = bytes[3];
   }
   for ( float& v : s.f )
      v = file.ReadValue<float>();
   return s;
}

std::string Format( const char* format, double a, double b = 0, double c = 0 )
{
   char buffer[128];
   std::snprintf( buffer, sizeof( buffer ), format, a, b, c );
   return buffer;
}

} // namespace

// ---- Parameters -------------------------------------------------------------------------------------------------

std::unique_ptr<Process::Parameters> DynamicBackgroundExtraction::Parameters::Clone() const
{
   return std::make_unique<Parameters>( *this );
}

void DynamicBackgroundExtraction::Parameters::Assign( const Process::Parameters& source )
{
   *this = dynamic_cast<const Parameters&>( source );
   for ( SampleData& s : interfaceSamples )
      s.reserved = 0;
}

void DynamicBackgroundExtraction::Parameters::SetPoints( int32_t n, int32_t c )
{
   numberOfSamples = n;
   numberOfChannels = c;
   const size_t count = HasPoints() ? size_t( n ) : 0;
   x.assign( count, 0.0f );
   y.assign( count, 0.0f );
   f.assign( HasPoints() ? size_t( c ) : 0, std::vector<float>( count, 0.0f ) );
}

void DynamicBackgroundExtraction::Parameters::Read( qor::File& file, float version )
{
   Parameters p;
   p.numberOfSamples = file.ReadValue<int32_t>();
   p.numberOfChannels = file.ReadValue<int32_t>();
   const int32_t n = p.numberOfSamples, c = p.numberOfChannels;
   if ( n < 0 || ( c != 0 && c != 1 && c != 3 ) || ( n > 0 && c == 0 ) )
      throw qor::GenericException( invalidText );
   if ( p.HasPoints() )
   {
      if ( int64_t( n ) * ( 2 + c ) * int64_t( sizeof( float ) ) > file.BytesLeft() )
         throw qor::GenericException( invalidText );
      ReadFloats( file, p.x, n );
      ReadFloats( file, p.y, n );
      p.f.resize( size_t( c ) );
      for ( std::vector<float>& row : p.f )
         ReadFloats( file, row, n );
   }
   p.continuityOrder = file.ReadValue<int32_t>();
   p.smoothing = file.ReadValue<float>();
   p.subsample = file.ReadValue<int32_t>();
   const int32_t count = file.ReadValue<int32_t>();
   if ( count < 0 || count > file.BytesLeft() / SampleDataSize )
      throw qor::GenericException( invalidText );
   const bool version10 = Process::StreamVersion( version ) == Process::StreamVersion( 1.0f );
   p.interfaceSamples.reserve( size_t( count ) );
   for ( int32_t i = 0; i < count; ++i )
      p.interfaceSamples.push_back( ReadSampleData( file, version10 ) );
   p.tolerance = file.ReadValue<float>();
   if ( !version10 )
   {
      p.symmetryCenterX = file.ReadValue<float>();
      p.symmetryCenterY = file.ReadValue<float>();
   }

   bool valid = p.continuityOrder >= 2 && p.continuityOrder <= 5 && p.subsample >= 1 && Finite( p.smoothing ) &&
                p.smoothing >= 0 && Finite( p.tolerance ) && Finite( p.symmetryCenterX ) &&
                Finite( p.symmetryCenterY ) && AllFinite( p.x ) && AllFinite( p.y );
   for ( const std::vector<float>& row : p.f )
      valid = valid && AllFinite( row );
   for ( const SampleData& s : p.interfaceSamples )
      valid = valid && Finite( s.x ) && Finite( s.y ) && Finite( s.r ) &&
              std::all_of( s.f.begin(), s.f.end(), Finite );
   if ( !valid )
      throw qor::GenericException( invalidText );
   *this = std::move( p );
}

void DynamicBackgroundExtraction::Parameters::Write( qor::File& file, float ) const
{
   file.WriteValue( numberOfSamples );
   file.WriteValue( numberOfChannels );
   if ( numberOfSamples != 0 && numberOfChannels != 0 )
   {
      WriteFloats( file, x );
      WriteFloats( file, y );
      for ( const std::vector<float>& row : f )
         WriteFloats( file, row );
   }
   file.WriteValue( continuityOrder );
   file.WriteValue( smoothing );
   file.WriteValue( subsample );
   file.WriteValue( int32_t( interfaceSamples.size() ) );
   for ( const SampleData& s : interfaceSamples )
   {
      file.WriteValue( s.x );
      file.WriteValue( s.y );
      file.WriteValue( s.r );
      const uint8_t bytes[4] = { s.symmetries, s.nA, s.reserved, s.fixed };
      file.Write( bytes, 4 );
      for ( float v : s.f )
         file.WriteValue( v );
   }
   file.WriteValue( tolerance );
   file.WriteValue( symmetryCenterX );
   file.WriteValue( symmetryCenterY );
}

std::string DynamicBackgroundExtraction::Parameters::ToText( int32_t level ) const
{
   std::string text = "numberOfSamples=" + std::to_string( numberOfSamples ) +
                      ",\nnumberOfChannels=" + std::to_string( numberOfChannels );
   const int32_t channels = HasPoints() ? numberOfChannels : 0;
   if ( level < 0 )
      text += ",...";
   else
   {
      text += ",\n\n// Sample format: {x, y, f0, ..., fn-1}\nsamples={";
      for ( size_t i = 0; i < x.size(); ++i )
      {
         if ( i > 0 )
            text += ",";
         text += Format( "\n\t{%+8.5f, %+8.5f", x[i], y[i] );
         for ( int32_t k = 0; k < channels; ++k )
            text += Format( ", %.4f", f[size_t( k )][i] );
         text += "}";
      }
      text += "\n}";
   }
   text += ",\n\ncontinuityOrder=" + std::to_string( continuityOrder ) + Format( ",\nsmoothing=%.3f", smoothing ) +
           ",\nsubsample=" + std::to_string( subsample );
   if ( level >= 0 )
   {
      text += ",\n\n// Interface data\n\ntolerance=" + Format( "%.3f", tolerance ) +
              Format( ",\nsymmetryCenter={%.5f, %.5f}", symmetryCenterX, symmetryCenterY ) +
              ",\n\n// Interface sample format: {x, y, r, H, V, D, A, nA, fixed, f0, ..., fn-1}\ninterfaceSamples={";
      for ( size_t i = 0; i < interfaceSamples.size(); ++i )
      {
         const SampleData& s = interfaceSamples[i];
         if ( i > 0 )
            text += ",";
         char buffer[160];
         std::snprintf( buffer, sizeof( buffer ), "\n\t{%.5f, %.5f, %.5f, %d, %d, %d, %d, %2d, %d", double( s.x ),
                        double( s.y ), double( s.r ), s.symmetries & 1, ( s.symmetries >> 1 ) & 1,
                        ( s.symmetries >> 2 ) & 1, ( s.symmetries >> 3 ) & 1, int( s.nA ), int( s.fixed ) );
         text += buffer;
         for ( int32_t k = 0; k < std::min( numberOfChannels, 3 ); ++k )
            text += Format( ", %.4f", s.f[size_t( k )] );
         text += "}";
      }
      text += "\n}";
   }
   return text;
}

// ---- Process ----------------------------------------------------------------------------------------------------

DynamicBackgroundExtraction::DynamicBackgroundExtraction()
{
   parameters = std::make_unique<Parameters>();
}

DynamicBackgroundExtraction::DynamicBackgroundExtraction( const DynamicBackgroundExtraction& source )
   : DynamicProcess( source )
{
   parameters = source.parameters->Clone();
}

std::unique_ptr<Process> DynamicBackgroundExtraction::Clone() const
{
   return std::make_unique<DynamicBackgroundExtraction>( *this );
}

std::unique_ptr<Process> DynamicBackgroundExtraction::ProbeInstance() const
{
   return std::make_unique<DynamicBackgroundExtraction>();
}

std::string DynamicBackgroundExtraction::Id() const
{
   return "DynamicBackgroundExtraction";
}

float DynamicBackgroundExtraction::Version() const
{
   return 1.1f;
}

QAction* DynamicBackgroundExtraction::Action() const
{
   return DynamicSessionModeAction( Id() );
}

bool DynamicBackgroundExtraction::IsInterface( const QWidget* form ) const
{
   return form != nullptr && form->inherits( "TDynamicBackgroundExtractionDialog" );
}

bool DynamicBackgroundExtraction::IsInterfaceAvailable() const
{
   const QAction* action = Action();
   return action != nullptr && action->isEnabled();
}

void DynamicBackgroundExtraction::LaunchInterface()
{
   StartDynamicSessionFromInstance( *this );
}

bool DynamicBackgroundExtraction::IsSessionActive( const ProcessView& view ) const
{
   return HasDynamicSession( view, Id() );
}

const ProcessSessionDialog* DynamicBackgroundExtraction::SessionDialog() const
{
   return DynamicSessionDialog( Id() );
}

void DynamicBackgroundExtraction::DoExecuteOn( ProcessView& view )
{
   const Parameters& p = Params();
   const qor::Image* target = view.TargetImage();
   if ( target == nullptr )
      return;
   if ( p.numberOfSamples < 6 )
      throw qor::GenericException( "At least six samples are required" );
   if ( !p.HasPoints() )
      throw qor::GenericException( invalidText );

   std::vector<const float*> rows;
   for ( const std::vector<float>& row : p.f )
      rows.push_back( row.data() );
   qor::BackgroundModelInput input;
   input.n = p.numberOfSamples;
   input.x = p.x.data();
   input.y = p.y.data();
   input.f = rows;
   input.order = p.continuityOrder;
   input.smoothing = p.smoothing;
   input.width = target->Width();
   input.height = target->Height();
   input.subsample = p.subsample;
   std::unique_ptr<qor::Image> model =
      qor::ComputeBackgroundModel( input, target->Status().Callback(), target->Status().Data(),
                                   [&view]( const std::string& text ) { view.AddStatusTask( text, 2 ); } );

   ImageWindowService& windows = ImageWindows();
   const std::string identifier =
      windows.UniqueImageIdentifier( view.FullId() + CurrentPreferences.identifiers.backgroundModelPostfix );
   const qor::RGBColorSystem* rgbws = view.RGBWorkingSpace();
   if ( rgbws == nullptr )
      rgbws = &windows.GlobalRGBWorkingSpace();
   ProcessView& modelView = windows.CreateImageWindow( std::move( model ), identifier, *rgbws );
   modelView.Modified( true );
}

bool DynamicBackgroundExtraction::IsMaskable( const ProcessView&, const MaskTarget* ) const
{
   return false;
}

bool DynamicBackgroundExtraction::ModifiesTarget( const ProcessView& ) const
{
   return false;
}
