#include "process/MedianFilter.h"

#include <QWidget>

#include "classlib/Image.h"
#include "process/ProcessWindows.h"

std::unique_ptr<Process::Parameters> MedianFilter::Parameters::Clone() const
{
   return std::make_unique<Parameters>( *this );
}

void MedianFilter::Parameters::Assign( const Process::Parameters& source )
{
   *this = dynamic_cast<const Parameters&>( source );
}

std::string MedianFilter::Parameters::ToText( int32_t ) const
{
   return "boxSize=" + std::to_string( boxSize ) + OptionalText( "hybridFilter=1" );
}

MedianFilter::MedianFilter()
{
   parameters = std::make_unique<Parameters>();
}

MedianFilter::MedianFilter( const MedianFilter& source ) : Process( source )
{
   parameters = source.parameters->Clone();
}

MedianFilter::MedianFilter( const Parameters& p )
{
   parameters = p.Clone();
}

std::unique_ptr<Process> MedianFilter::Clone() const
{
   return std::make_unique<MedianFilter>( *this );
}

std::string MedianFilter::Id() const
{
   return "MedianFilter";
}

bool MedianFilter::IsInterface( const QWidget* form ) const
{
   return form != nullptr && form->inherits( "TMedianFilterWindow" );
}

bool MedianFilter::IsInterfaceAvailable() const
{
   return IsProcessInterfaceAvailable( Id() );
}

void MedianFilter::LaunchInterface()
{
   if ( !OpenProcessWindow( *this ) )
      Process::LaunchInterface();
}

void MedianFilter::DoExecuteOn( ProcessView& view )
{
   const Parameters& p = Params();
   RunIteratedFilter( view, p.numberOfIterations, p.useLuminance, [&]( qor::Image& image ) {
      qor::ApplyMedianFilter( image, p.boxSize, p.amount, p.hybridFilter, p.circularKernel );
   } );
}
