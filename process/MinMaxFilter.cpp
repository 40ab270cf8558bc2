#include "process/MinMaxFilter.h"

#include <QWidget>

#include "classlib/Image.h"
#include "classlib/MinMaxKernel.h"
#include "process/ProcessWindows.h"

std::unique_ptr<Process::Parameters> MinMaxFilter::Parameters::Clone() const
{
   return std::make_unique<Parameters>( *this );
}

void MinMaxFilter::Parameters::Assign( const Process::Parameters& source )
{
   *this = dynamic_cast<const Parameters&>( source );
}

std::string MinMaxFilter::Parameters::ToText( int32_t ) const
{
   return "boxSize=" + std::to_string( boxSize ) + ",\nfilterType=\"" + ( filterType ? "min" : "max" ) + "\"" +
          OptionalText( nullptr );
}

MinMaxFilter::MinMaxFilter()
{
   parameters = std::make_unique<Parameters>();
}

MinMaxFilter::MinMaxFilter( const MinMaxFilter& source ) : Process( source )
{
   parameters = source.parameters->Clone();
}

MinMaxFilter::MinMaxFilter( const Parameters& p )
{
   parameters = p.Clone();
}

std::unique_ptr<Process> MinMaxFilter::Clone() const
{
   return std::make_unique<MinMaxFilter>( *this );
}

std::string MinMaxFilter::Id() const
{
   return "MinMaxFilter";
}

bool MinMaxFilter::IsInterface( const QWidget* form ) const
{
   return form != nullptr && form->inherits( "TMinMaxFiltersWindow" );
}

bool MinMaxFilter::IsInterfaceAvailable() const
{
   return IsProcessInterfaceAvailable( Id() );
}

void MinMaxFilter::LaunchInterface()
{
   if ( !OpenProcessWindow( *this ) )
      Process::LaunchInterface();
}

void MinMaxFilter::DoExecuteOn( ProcessView& view )
{
   const Parameters& p = Params();
   RunIteratedFilter( view, p.numberOfIterations, p.useLuminance, [&]( qor::Image& image ) {
      qor::ApplyMinMaxKernel( image, p.boxSize, p.amount, p.filterType, p.circularKernel );
   } );
}
