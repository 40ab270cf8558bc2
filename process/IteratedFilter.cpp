#include "process/IteratedFilter.h"

#include <memory>
#include <string>

#include "classlib/Exception.h"
#include "classlib/File.h"
#include "classlib/Image.h"
#include "classlib/Luminance.h"
#include "classlib/RGBColorSystem.h"
#include "support/Utils.h"

void RunIteratedFilter( ProcessView& view, int32_t iterations, bool useLuminance,
                        const std::function<void( qor::Image& )>& pass )
{
   qor::Image* target = view.TargetImage();
   if ( target == nullptr )
      return;

   const qor::RGBColorSystem defaultSpace;
   const qor::RGBColorSystem& rgbws = view.RGBWorkingSpace() != nullptr ? *view.RGBWorkingSpace() : defaultSpace;
   const bool luminance = useLuminance && target->IsColor();

   std::unique_ptr<qor::Image> work = NewWorkImage( *target, luminance, rgbws );

   for ( int32_t i = 1; i <= iterations; ++i )
   {
      work->ThrowIfAborted();
      if ( iterations != 1 )
         view.AddStatusTask( "Iteration " + std::to_string( i ) + " of " + std::to_string( iterations ), 2 );
      pass( *work );
   }
   work->ThrowIfAborted();

   TakeWorkImage( *target, *work, luminance, rgbws );
   view.Modified( true );
}

std::unique_ptr<qor::Image> NewWorkImage( const qor::Image& target, bool luminance, const qor::RGBColorSystem& rgbws )
{
   std::unique_ptr<qor::Image> work =
       luminance ? qor::ExtractLuminance( target, rgbws ) : std::make_unique<qor::Image>( target );
   work->Status().SetCallback( target.Status().Callback(), target.Status().Data() );
   return work;
}

void TakeWorkImage( qor::Image& target, qor::Image& work, bool luminance, const qor::RGBColorSystem& rgbws )
{
   if ( luminance )
   {
      qor::Image result( target );
      result.Status().SetCallback( target.Status().Callback(), target.Status().Data() );
      result.BeginTask( "Setting Luminance", result.NumberOfPixels() );
      qor::ReplaceLuminance( result, work, rgbws );
      target.Transfer( result );
   }
   else
      target.Transfer( work );
}

void BoxFilterParameters::Read( qor::File& file, float )
{
   const int32_t size = file.ReadValue<int32_t>();
   const int32_t iterations = file.ReadValue<int32_t>();
   const float a = file.ReadValue<float>();
   bool flags[3];
   for ( bool& flag : flags )
      flag = file.ReadValue<uint8_t>() != 0;
   if ( size < 3 || size > 255 || size % 2 == 0 )
      throw qor::GenericException( "Invalid filter box size: " + std::to_string( size ) );
   if ( iterations < 1 || iterations > 100 )
      throw qor::GenericException( "Invalid number of filter iterations: " + std::to_string( iterations ) );
   if ( !( a >= 0 && a <= 1 ) )
      throw qor::GenericException( "Invalid filter amount: " + std::to_string( a ) );
   boxSize = size;
   numberOfIterations = iterations;
   amount = a;
   Option() = flags[0];
   circularKernel = flags[1];
   useLuminance = flags[2];
}

void BoxFilterParameters::Write( qor::File& file, float ) const
{
   file.WriteValue( boxSize );
   file.WriteValue( numberOfIterations );
   file.WriteValue( amount );
   for ( bool flag : { Option(), circularKernel, useLuminance } )
      file.WriteValue( uint8_t( flag ? 1 : 0 ) );
}

std::string BoxFilterParameters::OptionalText( const char* optionItem ) const
{
   std::string text;
   if ( numberOfIterations != 1 )
      text += ",\nnumberOfIterations=" + std::to_string( numberOfIterations );
   if ( amount != 1.0f )
      text += ",\namount=" + FormatReal( amount, 2 );
   if ( optionItem != nullptr && Option() )
      text += std::string( ",\n" ) + optionItem;
   if ( circularKernel )
      text += ",\ncircularKernel=1";
   if ( useLuminance )
      text += ",\nuseLuminance=1";
   return text;
}
