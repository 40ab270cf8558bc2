#include "process/SGBNR.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <vector>

#include <QWidget>

#include "classlib/ColorSpace.h"
#include "classlib/EdgeProtectedConvolution.h"
#include "classlib/Exception.h"
#include "classlib/File.h"
#include "classlib/GaussianKernel.h"
#include "classlib/Image.h"
#include "classlib/Interpolation.h"
#include "classlib/Luminance.h"
#include "classlib/Math.h"
#include "classlib/RGBColorSystem.h"
#include "process/ProcessWindows.h"
#include "support/Utils.h"

namespace
{

// Stream layouts.
constexpr float Version11 = 1.1f;
constexpr float Version12 = 1.2f;
constexpr float Version13 = 1.3f;

// Kernel reduction: kernels from this size on are reduced on window images larger than ImageLimit on both sides,
// towards ReducedKernel samples, keeping the window image at least ImageLimit and the target at least MinimumSide
// samples on their smaller sides.
constexpr int32_t LargeKernel = 24;
constexpr int32_t ImageLimit = 256;
constexpr int32_t ReducedKernel = 23;
constexpr int32_t MinimumSide = 32;
constexpr int32_t ResampleBlockSize = 5;

// A size from a real: the nearest integer of its single-precision value, halves to even.
int32_t Size( double x )
{
   return int32_t( qor::Round( float( x ) ) );
}

// The user cannot abort the run while it lives: what it brackets puts the target back into a usable state.
class NonAbortableSection
{
public:
   explicit NonAbortableSection( ProcessView& view ) : view( view ), wasAbortable( view.SetAbortable( false ) ) {}
   ~NonAbortableSection()
   {
      if ( wasAbortable )
         view.SetAbortable( true );
   }
   NonAbortableSection( const NonAbortableSection& ) = delete;
   NonAbortableSection& operator=( const NonAbortableSection& ) = delete;

private:
   ProcessView& view;
   bool wasAbortable;
};

void CheckRange( bool valid, const char* what, double value )
{
   if ( !valid )
      throw qor::GenericException( std::string( "Invalid SGBNR " ) + what + ": " + std::to_string( value ) );
}

} // namespace

// ---- Parameters -------------------------------------------------------------------------------------------------

SGBNR::Parameters::Parameters()
{
   apply.fill( true );
   for ( int32_t i = 0; i < numberOfSets; ++i )
   {
      ResetFilter( i );
      ResetEdgesProtection( i );
   }
}

void SGBNR::Parameters::ResetFilter( int32_t set )
{
   sigma[size_t( set )] = 1.5f;
   amount[size_t( set )] = 0.8f;
   numberOfIterations[size_t( set )] = 1;
}

void SGBNR::Parameters::ResetEdgesProtection( int32_t set )
{
   darkSidesEdgesProtection[size_t( set )] = brightSidesEdgesProtection[size_t( set )] = true;
   darkSidesThreshold[size_t( set )] = brightSidesThreshold[size_t( set )] = 0.25f;
   darkSidesOverdrive[size_t( set )] = brightSidesOverdrive[size_t( set )] = 0.0f;
}

void SGBNR::Parameters::ResetLuminanceMask()
{
   luminanceMask = false;
   gamma = 1.0f;
   clip = 0.15f;
}

std::unique_ptr<Process::Parameters> SGBNR::Parameters::Clone() const
{
   return std::make_unique<Parameters>( *this );
}

void SGBNR::Parameters::Assign( const Process::Parameters& source )
{
   *this = dynamic_cast<const Parameters&>( source );
}

void SGBNR::Parameters::Read( qor::File& file, float version )
{
   Parameters p( *this );
   const int32_t sets = version >= Version11 ? 5 : 3;
   if ( version > 1.0f )
      p.colorModel = file.ReadValue<int32_t>();
   if ( version >= Version13 )
   {
      p.luminanceMask = file.ReadValue<uint8_t>() != 0;
      p.gamma = file.ReadValue<float>();
      p.clip = file.ReadValue<float>();
   }
   int32_t lastChosen = 0; // the set whose leading byte was last found set, in the oldest layout
   for ( int32_t i = 0; i < sets; ++i )
   {
      const size_t s = size_t( i );
      if ( version >= Version12 )
         p.apply[s] = file.ReadValue<uint8_t>() != 0;
      else
      {
         p.apply[s] = true;
         if ( version < Version11 && file.ReadValue<uint8_t>() != 0 )
            lastChosen = i;
      }
      p.sigma[s] = file.ReadValue<float>();
      p.amount[s] = file.ReadValue<float>();
      p.numberOfIterations[s] = file.ReadValue<int32_t>();
      p.darkSidesEdgesProtection[s] = file.ReadValue<uint8_t>() != 0;
      p.darkSidesThreshold[s] = file.ReadValue<float>();
      p.darkSidesOverdrive[s] = file.ReadValue<float>();
      p.brightSidesEdgesProtection[s] = file.ReadValue<uint8_t>() != 0;
      p.brightSidesThreshold[s] = file.ReadValue<float>();
      p.brightSidesOverdrive[s] = file.ReadValue<float>();
   }
   if ( version < Version11 )
   {
      // A stream in which no set was chosen reads as the composite model.
      p.colorModel = lastChosen != 0 ? 1 : 0;
      for ( int32_t i = aSet; i <= bSet; ++i )
      {
         p.apply[size_t( i )] = true;
         p.ResetFilter( i );
         p.ResetEdgesProtection( i );
      }
   }

   CheckRange( p.colorModel >= 0, "color model", p.colorModel );
   CheckRange( p.gamma > 0 && p.gamma <= 10, "luminance mask gamma", p.gamma );
   CheckRange( p.clip >= 0 && p.clip < 1, "luminance mask clipping point", p.clip );
   for ( size_t s = 0; s < numberOfSets; ++s )
   {
      CheckRange( p.sigma[s] > 0 && p.sigma[s] <= 100, "standard deviation", p.sigma[s] );
      CheckRange( p.amount[s] >= 0 && p.amount[s] <= 1, "amount", p.amount[s] );
      CheckRange( p.numberOfIterations[s] >= 1 && p.numberOfIterations[s] <= 100, "number of iterations",
                  p.numberOfIterations[s] );
      for ( float value : { p.darkSidesThreshold[s], p.darkSidesOverdrive[s], p.brightSidesThreshold[s],
                            p.brightSidesOverdrive[s] } )
         CheckRange( std::isfinite( value ), "edges protection value", value );
   }
   *this = p;
}

void SGBNR::Parameters::Write( qor::File& file, float ) const
{
   auto flag = []( bool b ) { return uint8_t( b ? 1 : 0 ); };
   file.WriteValue( colorModel );
   file.WriteValue( flag( luminanceMask ) );
   file.WriteValue( gamma );
   file.WriteValue( clip );
   for ( size_t s = 0; s < numberOfSets; ++s )
   {
      file.WriteValue( flag( apply[s] ) );
      file.WriteValue( sigma[s] );
      file.WriteValue( amount[s] );
      file.WriteValue( numberOfIterations[s] );
      file.WriteValue( flag( darkSidesEdgesProtection[s] ) );
      file.WriteValue( darkSidesThreshold[s] );
      file.WriteValue( darkSidesOverdrive[s] );
      file.WriteValue( flag( brightSidesEdgesProtection[s] ) );
      file.WriteValue( brightSidesThreshold[s] );
      file.WriteValue( brightSidesOverdrive[s] );
   }
}

std::string SGBNR::Parameters::SetText( int32_t set ) const
{
   const size_t s = size_t( set );
   std::string index = "[";
   index += std::to_string( set );
   index += ']';
   std::string text = "sigma" + index + "=" + FormatReal( sigma[s], 1 );
   text += ",\namount" + index + "=" + FormatReal( amount[s], 2 );
   if ( numberOfIterations[s] != 1 )
      text += ",\nnumberOfIterations" + index + "=" + std::to_string( numberOfIterations[s] );
   if ( darkSidesEdgesProtection[s] )
      text += ",\ndarkSidesEdgesProtection" + index + "={threshold=" + FormatReal( darkSidesThreshold[s], 3 ) +
              ",overdrive=" + FormatReal( darkSidesOverdrive[s], 2 ) + "}";
   if ( brightSidesEdgesProtection[s] )
      text += ",\nbrightSidesEdgesProtection" + index + "={threshold=" + FormatReal( brightSidesThreshold[s], 3 ) +
              ",overdrive=" + FormatReal( brightSidesOverdrive[s], 2 ) + "}";
   return text;
}

std::string SGBNR::Parameters::ToText( int32_t ) const
{
   std::string text = "colorModel=" + std::to_string( colorModel );
   if ( luminanceMask )
      text += ",\n\nluminanceMask={gamma=" + FormatReal( gamma, 1 ) + ",clip=" + FormatReal( clip, 2 ) + "}";
   text += ",\n\n";
   switch ( colorModel )
   {
   case 1:
      text += "// CIE L*\n" + SetText( lightnessSet ) + ",\n\n// CIE a*b*\n" + SetText( chrominanceSet );
      break;
   case 2:
      text += "// CIE L*\n" + SetText( lightnessSet ) + ",\n\n// CIE a*\n" + SetText( aSet ) + ",\n\n// CIE b*\n" +
              SetText( bSet );
      break;
   default:
      text += "// Composite RGB/K\n" + SetText( compositeSet );
      break;
   }
   return text;
}

// ---- Process ------------------------------------------------------------------------------------------------------

SGBNR::SGBNR()
{
   parameters = std::make_unique<Parameters>();
}

SGBNR::SGBNR( const SGBNR& source ) : Process( source )
{
   parameters = source.parameters->Clone();
}

SGBNR::SGBNR( const Parameters& p )
{
   parameters = p.Clone();
}

std::unique_ptr<Process> SGBNR::Clone() const
{
   return std::make_unique<SGBNR>( *this );
}

std::string SGBNR::Id() const
{
   return "SGBNR";
}

float SGBNR::Version() const
{
   return 1.301f;
}

bool SGBNR::IsInterface( const QWidget* form ) const
{
   return form != nullptr && form->inherits( "TSGBNRWindow" );
}

bool SGBNR::IsInterfaceAvailable() const
{
   return IsProcessInterfaceAvailable( Id() );
}

void SGBNR::LaunchInterface()
{
   if ( !OpenProcessWindow( *this ) )
      Process::LaunchInterface();
}

SGBNR::WorkSize SGBNR::ComputeWorkSize( int32_t n, int32_t width, int32_t height, int32_t wholeWidth,
                                        int32_t wholeHeight )
{
   WorkSize work{ n, width, height };
   if ( n < LargeKernel || wholeWidth <= ImageLimit || wholeHeight <= ImageLimit )
      return work;

   double s = double( ReducedKernel ) / n;
   if ( Size( wholeWidth * s ) < ImageLimit || Size( wholeHeight * s ) < ImageLimit )
      s = double( ImageLimit ) / std::min( wholeWidth, wholeHeight );
   auto scaleTarget = [&] {
      work.width = Size( width * s );
      work.height = Size( height * s );
   };
   scaleTarget();
   if ( work.width < MinimumSide || work.height < MinimumSide )
   {
      s = double( MinimumSide ) / std::min( width, height );
      scaleTarget();
   }
   work.kernelSize = Size( n * s );
   if ( work.kernelSize < 3 || work.kernelSize % 2 == 0 )
   {
      work.kernelSize = std::max( 3, work.kernelSize + ( work.kernelSize % 2 == 0 ? 1 : 0 ) );
      s = double( work.kernelSize ) / n;
      scaleTarget();
   }
   work.width = std::max( 1, work.width );
   work.height = std::max( 1, work.height );
   return work;
}

void SGBNR::ProcessParameterSet( ProcessView& view, qor::Image& target, int32_t set, uint32_t channelMask )
{
   const Parameters& p = Params();
   const size_t s = size_t( set );
   const qor::RGBColorSystem defaultSpace;
   const qor::RGBColorSystem& rgbws = view.RGBWorkingSpace() != nullptr ? *view.RGBWorkingSpace() : defaultSpace;

   int32_t n = 0;
   std::vector<float> kernel = qor::CreateGaussianKernel( n, p.sigma[s], KernelShape, KernelThreshold );
   const qor::Image& whole = view.WholeImage() != nullptr ? *view.WholeImage() : target;
   const int32_t width = target.Width();
   const int32_t height = target.Height();
   const WorkSize work = ComputeWorkSize( n, width, height, whole.Width(), whole.Height() );
   const bool reduced = work.Reduced( n );
   if ( reduced )
   {
      qor::Image k( n, n, 1, qor::ColorSpace::Gray );
      std::memcpy( k.PixelData( 0 ), kernel.data(), kernel.size() * sizeof( float ) );
      k.Resample( work.kernelSize, work.kernelSize, qor::Interpolation::Bicubic, ResampleBlockSize );
      kernel.assign( k.PixelData( 0 ), k.PixelData( 0 ) + k.NumberOfPixels() );
   }

   qor::EdgeProtection protection;
   protection.dark = p.darkSidesEdgesProtection[s];
   protection.darkThreshold = p.darkSidesThreshold[s];
   protection.darkOverdrive = p.darkSidesOverdrive[s];
   protection.bright = p.brightSidesEdgesProtection[s];
   protection.brightThreshold = p.brightSidesThreshold[s];
   protection.brightOverdrive = p.brightSidesOverdrive[s];

   auto filter = [&]( qor::Image& image, uint32_t mask ) {
      if ( reduced )
         image.Resample( work.width, work.height, qor::Interpolation::Bicubic, ResampleBlockSize );
      qor::ConvolveEdgeProtected( image, mask, kernel.data(), work.kernelSize, protection );
      if ( reduced )
         image.Resample( width, height, qor::Interpolation::Bicubic, ResampleBlockSize );
   };

   if ( p.amount[s] == 1 && !p.luminanceMask )
   {
      filter( target, channelMask );
      return;
   }

   std::unique_ptr<qor::Image> extracted;
   const qor::Image* luminance = nullptr;
   if ( p.luminanceMask )
   {
      if ( target.GetColorSpace() == qor::ColorSpace::CIELab )
         luminance = &target;
      else
         luminance = ( extracted = qor::ExtractLuminance( target, rgbws ) ).get();
   }

   const float a = p.amount[s];
   const float clip = p.clip;
   const float m0 = 1 - clip;
   const float gamma = p.gamma;
   const int32_t passes = p.numberOfIterations[s];
   for ( int32_t c = 0; c < target.NumberOfNominalChannels(); ++c )
   {
      if ( ( channelMask & ( 1u << ( c & 31 ) ) ) == 0 )
         continue;
      if ( target.NumberOfNominalChannels() > 1 )
         view.AddStatusTask( "Processing channel #" + std::to_string( c ), 2 );
      for ( int32_t pass = 1; pass <= passes; ++pass )
      {
         if ( passes > 1 )
            view.AddStatusTask( "Iteration " + std::to_string( pass ) + " of " + std::to_string( passes ), 2 );
         std::unique_ptr<qor::Image> filtered = target.CreateChannelImage( c );
         filtered->Status().SetCallback( target.Status().Callback(), target.Status().Data() );
         filter( *filtered, 1 );
         filtered->Status().SetCallback( nullptr, nullptr );

         target.BeginTask( "Weighing", target.NumberOfPixels() );
         target.ParallelRows(
            height,
            [&]( int64_t begin, int64_t end ) {
               for ( int64_t y = begin; y < end; ++y )
               {
                  float* d = target.ScanLine( c, int32_t( y ) );
                  const float* f = filtered->ScanLine( 0, int32_t( y ) );
                  const float* l = luminance != nullptr ? luminance->ScanLine( 0, int32_t( y ) ) : nullptr;
                  for ( int32_t x = 0; x < width; ++x )
                  {
                     const float b = a * f[x] + ( 1 - a ) * d[x];
                     if ( l == nullptr )
                     {
                        d[x] = b;
                        continue;
                     }
                     // Where the lightness reaches the clipping point the filtered blend fades out.
                     float m = m0 > 0 ? ( l[x] - clip ) / m0 : ( l[x] > clip ? 1.0f : 0.0f );
                     if ( !( m > 0 ) )
                        m = 0;
                     else if ( gamma != 1 )
                        m = qor::Pow( m, gamma );
                     d[x] = b * ( 1 - m ) + m * d[x];
                  }
               }
            },
            width );
      }
   }
}

void SGBNR::DoExecuteOn( ProcessView& view )
{
   qor::Image* target = view.TargetImage();
   if ( target == nullptr || target->IsEmpty() )
      return;
   const Parameters& p = Params();
   const qor::RGBColorSystem defaultSpace;
   const qor::RGBColorSystem& rgbws = view.RGBWorkingSpace() != nullptr ? *view.RGBWorkingSpace() : defaultSpace;

   try
   {
      if ( p.colorModel == 0 )
      {
         if ( p.apply[compositeSet] )
         {
            view.AddStatusTask( std::string( "SGBNR processing in the " ) + ( target->IsColor() ? "RGB" : "Grayscale" ) +
                                   " space",
                                0 );
            ProcessParameterSet( view, *target, compositeSet, 7 );
         }
      }
      else
      {
         view.AddStatusTask( "Transformation to the CIE L*a*b* space", 0 );
         target->SetColorSpace( qor::ColorSpace::CIELab, rgbws );
         const std::string inLab = "SGBNR processing in the CIE L*a*b* space: ";
         if ( p.apply[lightnessSet] )
         {
            view.AddStatusTask( inLab + "luminance channel", 0 );
            ProcessParameterSet( view, *target, lightnessSet, 1 );
         }
         if ( p.colorModel == 1 && p.apply[chrominanceSet] )
         {
            view.AddStatusTask( inLab + "joint chrominance channels", 0 );
            ProcessParameterSet( view, *target, chrominanceSet, 6 );
         }
         if ( p.colorModel == 2 )
         {
            if ( p.apply[aSet] )
            {
               view.AddStatusTask( inLab + "a* chrominance channel", 0 );
               ProcessParameterSet( view, *target, aSet, 2 );
            }
            if ( p.apply[bSet] )
            {
               view.AddStatusTask( inLab + "b* chrominance channel", 0 );
               ProcessParameterSet( view, *target, bSet, 4 );
            }
         }

         NonAbortableSection section( view );
         view.AddStatusTask( "Transformation to the RGB space", 0 );
         target->SetColorSpace( qor::ColorSpace::RGB, rgbws );
         view.AddStatusTask( "Normalize pixel values", 0 );
         target->BeginTask( "Normalize", target->NumberOfPixels() * target->NumberOfNominalChannels() );
         qor::ClampSamples( *target );
      }
   }
   catch ( ... )
   {
      // A run stopped inside CIE L*a*b* gives its target back in RGB, as every other step expects it; whoever
      // rolls the run back then puts the original samples in place. The original failure is the one reported.
      const int32_t space = target->GetColorSpace();
      if ( space != qor::ColorSpace::Gray && space != qor::ColorSpace::RGB )
         try
         {
            NonAbortableSection section( view );
            view.AddStatusTask( "Transformation to the RGB space", 0 );
            target->SetColorSpace( qor::ColorSpace::RGB, rgbws );
         }
         catch ( ... )
         {
         }
      throw;
   }
   view.Modified( true );
}
