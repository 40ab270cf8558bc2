#include "process/ATrousWaveletsTransform.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include <QWidget>

#include "classlib/ATrousWavelets.h"
#include "classlib/Exception.h"
#include "classlib/File.h"
#include "classlib/Image.h"
#include "classlib/MedianKernel.h"
#include "classlib/NoiseEstimate.h"
#include "classlib/RGBColorSystem.h"
#include "classlib/WaveletLayerEdits.h"
#include "process/IteratedFilter.h"
#include "process/ProcessWindows.h"
#include "support/Utils.h"

namespace
{

void Refuse( const std::string& what, double value )
{
   std::string text = "Invalid wavelet parameter ";
   text += what;
   text += ": ";
   text += FormatReal( value, 6 );
   throw qor::GenericException( text );
}

float ReadReal( qor::File& file, const char* what )
{
   const float value = file.ReadValue<float>();
   if ( !std::isfinite( value ) )
      Refuse( what, value );
   return value;
}

} // namespace

float ATrousWaveletsTransform::LayerParameters::Gain() const
{
   float g = std::abs( bias ) * 10 + 1;
   return bias < 0 ? 1 / g : g;
}

// ---- Parameters -------------------------------------------------------------------------------------------------

ATrousWaveletsTransform::Parameters::Parameters()
{
   SetLayers( numberOfDetailLayers );
   scalingFunctionKernel = DefaultKernel();
}

std::vector<float> ATrousWaveletsTransform::Parameters::DefaultKernel()
{
   return { 0.0625f, 0.125f, 0.0625f, 0.125f, 0.25f, 0.125f, 0.0625f, 0.125f, 0.0625f };
}

std::unique_ptr<Process::Parameters> ATrousWaveletsTransform::Parameters::Clone() const
{
   return std::make_unique<Parameters>( *this );
}

void ATrousWaveletsTransform::Parameters::Assign( const Process::Parameters& source )
{
   *this = dynamic_cast<const Parameters&>( source );
}

void ATrousWaveletsTransform::Parameters::SetLayers( int32_t n, const LayerParameters* records )
{
   layers.clear();
   numberOfDetailLayers = std::max( n, 0 );
   if ( numberOfDetailLayers == 0 )
      return;
   layers.assign( size_t( numberOfDetailLayers ) + 1, LayerParameters() );
   if ( records != nullptr )
      std::copy( records, records + layers.size(), layers.begin() );
}

void ATrousWaveletsTransform::Parameters::ResizeLayers( int32_t n )
{
   std::vector<LayerParameters> old = std::move( layers );
   const int32_t m = numberOfDetailLayers;
   SetLayers( n );
   if ( numberOfDetailLayers == 0 || old.empty() )
      return;
   const size_t kept = size_t( std::min( m, numberOfDetailLayers ) ) + 1;
   std::copy( old.begin(), old.begin() + kept, layers.begin() );
}

void ATrousWaveletsTransform::Parameters::Read( qor::File& file, float version )
{
   Parameters p;
   p.previewLayers = previewLayers;
   p.previewGamma = previewGamma;

   const int32_t m = file.ReadValue<int32_t>();
   if ( m < 1 || m > MaxLayers )
      Refuse( "numberOfDetailLayers", m );
   p.SetLayers( m );
   for ( LayerParameters& r : p.layers )
   {
      r.enabled = file.ReadValue<uint8_t>() != 0;
      r.bias = ReadReal( file, "bias" );
      r.noiseReductionAmount = ReadReal( file, "noiseReductionAmount" );
      r.noiseReductionIterations = file.ReadValue<int32_t>();
      r.noiseReductionKernelSize = file.ReadValue<int32_t>();
      if ( version > 1.0f )
      {
         r.deringingAmount = ReadReal( file, "deringingAmount" );
         r.deringingThreshold = ReadReal( file, "deringingThreshold" );
      }
      if ( version < 1.2f && r.noiseReductionAmount != 0 )
         r.noiseReductionAmount = 0.75f * r.noiseReductionAmount + 0.25f;
      if ( r.noiseReductionIterations < 1 || r.noiseReductionIterations > 100 )
         Refuse( "noiseReductionIterations", r.noiseReductionIterations );
      if ( r.noiseReductionKernelSize < 3 || r.noiseReductionKernelSize > 255 || r.noiseReductionKernelSize % 2 == 0 )
         Refuse( "noiseReductionKernelSize", r.noiseReductionKernelSize );
   }

   p.scaleDelta = file.ReadValue<int32_t>();
   if ( p.scaleDelta < 0 || p.scaleDelta > MaxScaleDelta )
      Refuse( "scaleDelta", p.scaleDelta );
   const int32_t n = file.ReadValue<int32_t>();
   if ( n < 1 || n > 255 || n % 2 == 0 || int64_t( n ) * n * 4 > file.BytesLeft() )
      Refuse( "scalingFunctionKernelSize", n );
   p.scalingFunctionKernelSize = n;
   p.scalingFunctionKernel.resize( size_t( n ) * size_t( n ) );
   for ( float& c : p.scalingFunctionKernel )
      c = ReadReal( file, "scalingFunctionKernel" );

   p.noiseThresholdAmount = ReadReal( file, "noiseThresholdAmount" );
   p.noiseThreshold = ReadReal( file, "noiseThreshold" );
   p.rangeLow = ReadReal( file, "rangeLow" );
   p.rangeHigh = ReadReal( file, "rangeHigh" );
   if ( version < 1.1f )
      file.ReadValue<int32_t>();
   p.useLuminance = file.ReadValue<uint8_t>() != 0;
   *this = std::move( p );
}

void ATrousWaveletsTransform::Parameters::Write( qor::File& file, float ) const
{
   file.WriteValue( layers.empty() ? int32_t( 0 ) : numberOfDetailLayers );
   for ( const LayerParameters& r : layers )
   {
      file.WriteValue( uint8_t( r.enabled ? 1 : 0 ) );
      file.WriteValue( r.bias );
      file.WriteValue( r.noiseReductionAmount );
      file.WriteValue( r.noiseReductionIterations );
      file.WriteValue( r.noiseReductionKernelSize );
      file.WriteValue( r.deringingAmount );
      file.WriteValue( r.deringingThreshold );
   }
   file.WriteValue( scaleDelta );
   const bool hasKernel = !scalingFunctionKernel.empty();
   file.WriteValue( hasKernel ? scalingFunctionKernelSize : int32_t( 0 ) );
   for ( float c : scalingFunctionKernel )
      file.WriteValue( c );
   file.WriteValue( noiseThresholdAmount );
   file.WriteValue( noiseThreshold );
   file.WriteValue( rangeLow );
   file.WriteValue( rangeHigh );
   file.WriteValue( uint8_t( useLuminance ? 1 : 0 ) );
}

std::string ATrousWaveletsTransform::Parameters::ToText( int32_t level ) const
{
   const bool brief = level < 0;
   std::string text;
   // Items are appended piece by piece: no temporary strings.
   auto item = [&text]( const char* separator, const char* key, const std::string& index, const std::string& value )
   {
      text += separator;
      text += key;
      text += index;
      text += '=';
      text += value;
   };
   item( "", "numberOfDetailLayers", "", std::to_string( layers.empty() ? 0 : numberOfDetailLayers ) );
   item( ",\n", "scaleDelta", "", std::to_string( scaleDelta ) );
   for ( size_t i = 0; i < layers.size(); ++i )
   {
      const LayerParameters& r = layers[i];
      std::string index = "[";
      index += std::to_string( i );
      index += ']';
      item( ",\n\n", "enabled", index, r.enabled ? "1" : "0" );
      if ( !r.enabled )
         continue;
      if ( r.bias != 0 )
         item( ",\n", "bias", index, FormatReal( r.bias, 3, true ) );
      if ( r.noiseReductionAmount != 0 )
      {
         item( ",\n", "noiseReductionAmount", index, FormatReal( r.noiseReductionAmount, 2 ) );
         if ( brief )
            text += ",...";
         else
         {
            item( ",\n", "noiseReductionIterations", index, std::to_string( r.noiseReductionIterations ) );
            item( ",\n", "noiseReductionKernelSize", index, std::to_string( r.noiseReductionKernelSize ) );
         }
      }
      if ( r.deringingAmount != 0 )
      {
         item( ",\n", "deringingAmount", index, FormatReal( r.deringingAmount, 2 ) );
         if ( brief )
            text += ",...";
         else
            item( ",\n", "deringingThreshold", index, FormatReal( r.deringingThreshold, 3 ) );
      }
   }
   const int32_t n = scalingFunctionKernel.empty() ? 0 : scalingFunctionKernelSize;
   item( ",\n\n", "scalingFunctionKernelSize", "", std::to_string( n ) );
   if ( brief )
      text += ",...";
   else
      for ( int32_t row = 0; row < n; ++row )
      {
         std::string values = "{";
         for ( int32_t col = 0; col < n; ++col )
         {
            if ( col != 0 )
               values += ',';
            values += FormatReal( scalingFunctionKernel[size_t( row * n + col )], 4 );
         }
         values += '}';
         std::string index = "[";
         index += std::to_string( row );
         index += ']';
         item( ",\n", "scalingFunctionKernelRow", index, values );
      }
   if ( noiseThresholdAmount != 0 )
   {
      item( ",\n\n", "noiseThreshold", "", FormatReal( noiseThreshold, 1 ) );
      if ( brief )
         text += ",...";
      else
         item( ",\n", "noiseThresholdAmount", "", FormatReal( noiseThresholdAmount, 2 ) );
   }
   if ( rangeLow != 0 || rangeHigh != 0 )
   {
      item( ",\n\n", "rangeLow", "", FormatReal( rangeLow, 3 ) );
      item( ",\n", "rangeHigh", "", FormatReal( rangeHigh, 3 ) );
   }
   if ( useLuminance )
      item( ",\n\n", "useLuminance", "", "1" );
   return text;
}

// ---- Process ----------------------------------------------------------------------------------------------------

ATrousWaveletsTransform::ATrousWaveletsTransform()
{
   parameters = std::make_unique<Parameters>();
}

ATrousWaveletsTransform::ATrousWaveletsTransform( const ATrousWaveletsTransform& source ) : WaveletProcess( source )
{
   parameters = source.parameters->Clone();
}

ATrousWaveletsTransform::ATrousWaveletsTransform( const Parameters& p )
{
   parameters = p.Clone();
}

std::unique_ptr<Process> ATrousWaveletsTransform::Clone() const
{
   return std::make_unique<ATrousWaveletsTransform>( *this );
}

std::unique_ptr<Process> ATrousWaveletsTransform::ProbeInstance() const
{
   return std::make_unique<ATrousWaveletsTransform>();
}

std::string ATrousWaveletsTransform::Id() const
{
   return "ATrousWaveletTransform";
}

float ATrousWaveletsTransform::Version() const
{
   return 1.2f;
}

bool ATrousWaveletsTransform::IsInterface( const QWidget* form ) const
{
   return form != nullptr && form->inherits( "TATrousWaveletsWindow" );
}

bool ATrousWaveletsTransform::IsInterfaceAvailable() const
{
   return IsProcessInterfaceAvailable( Id() );
}

void ATrousWaveletsTransform::LaunchInterface()
{
   OpenProcessWindow( *this );
}

void ATrousWaveletsTransform::DoExecuteOn( ProcessView& view )
{
   qor::Image* target = view.TargetImage();
   if ( target == nullptr || target->IsEmpty() )
      return;
   const Parameters& p = Params();
   const int32_t m = p.layers.empty() ? 0 : p.numberOfDetailLayers;
   if ( m < 1 || size_t( m ) + 1 != p.layers.size() )
      throw qor::GenericException( "ATrousWaveletTransform: no wavelet layers to process" );
   const qor::ConvolutionKernel kernel{ p.scalingFunctionKernelSize, p.scalingFunctionKernel };
   if ( !kernel.IsValid() )
      throw qor::GenericException( "ATrousWaveletTransform: invalid scaling function kernel" );

   const qor::RGBColorSystem defaultSpace;
   const qor::RGBColorSystem& rgbws = view.RGBWorkingSpace() != nullptr ? *view.RGBWorkingSpace() : defaultSpace;
   const bool luminance = p.useLuminance && target->IsColor();
   std::unique_ptr<qor::Image> work = NewWorkImage( *target, luminance, rgbws );
   qor::StatusCallback& monitor = target->Status();

   qor::ATrousLayers layers;
   const int32_t channels = work->NumberOfNominalChannels();
   for ( int32_t c = 0; c < channels; ++c )
   {
      if ( channels > 1 )
         view.AddStatusTask( "Processing channel #" + std::to_string( c ), 2 );
      const float sigma = p.noiseThresholdAmount != 0 ? qor::EstimateNoiseKSigma( *work, c, 3, 3.0f ) : 0.0f;
      qor::DecomposeATrousLayers( layers, *work, c, kernel, m, p.scaleDelta );

      // The thresholds and weights go into the reconstruction, one pass over the planes; a layer that is
      // smoothed takes them first.
      std::vector<qor::WaveletLayerEdit> edits( size_t( m ) + 1 );
      for ( int32_t i = 0; i <= m; ++i )
      {
         const LayerParameters& r = p.layers[size_t( i )];
         std::unique_ptr<qor::Image>& layer = layers[size_t( i )];
         if ( !r.enabled )
         {
            layer.reset();
            continue;
         }
         qor::WaveletLayerEdit& edit = edits[size_t( i )];
         if ( i < 4 && p.noiseThresholdAmount != 0 )
         {
            edit.threshold = NoiseFactors[i] * sigma * p.noiseThreshold;
            edit.thresholdAmount = p.noiseThresholdAmount;
         }
         if ( r.bias != 0 || r.deringingAmount != 0 )
         {
            edit.gain = r.Gain();
            edit.ringingLevel = -( r.deringingThreshold * 0.1f );
            edit.ringingAmount = r.deringingAmount;
         }
         if ( r.noiseReductionAmount != 0 )
         {
            qor::EditWaveletLayer( *layer, edit );
            edit = qor::WaveletLayerEdit();
            const int32_t k = r.noiseReductionKernelSize;
            layer->Status().SetCallback( monitor.Callback(), monitor.Data() );
            layer->BeginTask( "Smoothing wavelet layer", int64_t( r.noiseReductionIterations ) * work->Height() );
            for ( int32_t n = 0; n < r.noiseReductionIterations; ++n )
               qor::ApplyMedianKernel( *layer, k, r.noiseReductionAmount, k > 3, k < 5 );
            layer->Status().SetCallback( nullptr, nullptr );
         }
      }
      work->ThrowIfAborted();

      qor::ReconstructEditedATrousLayers( *work, c, layers, edits, !p.previewLayers, p.rangeLow, p.rangeHigh );
      if ( p.previewLayers )
         qor::RescaleWaveletChannel( *work, c, p.previewGamma );
      work->ThrowIfAborted();
   }
   layers.clear();

   TakeWorkImage( *target, *work, luminance, rgbws );
   view.Modified( true );
}
