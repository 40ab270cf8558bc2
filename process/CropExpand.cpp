#include "process/CropExpand.h"

#include <QWidget>

#include "classlib/Exception.h"
#include "classlib/File.h"
#include "classlib/Image.h"
#include "process/ProcessWindows.h"

std::unique_ptr<Process::Parameters> CropExpand::Parameters::Clone() const
{
   return std::make_unique<Parameters>( *this );
}

void CropExpand::Parameters::Assign( const Process::Parameters& source )
{
   *this = dynamic_cast<const Parameters&>( source );
}

void CropExpand::Parameters::Read( qor::File& file, float version )
{
   Parameters p;
   p.leftMargin = file.ReadValue<int32_t>();
   p.topMargin = file.ReadValue<int32_t>();
   p.rightMargin = file.ReadValue<int32_t>();
   p.bottomMargin = file.ReadValue<int32_t>();
   p.fillColor.Read( file, version );
   *this = p;
}

void CropExpand::Parameters::Write( qor::File& file, float version ) const
{
   file.WriteValue( leftMargin );
   file.WriteValue( topMargin );
   file.WriteValue( rightMargin );
   file.WriteValue( bottomMargin );
   fillColor.Write( file, version );
}

std::string CropExpand::Parameters::ToText( int32_t level ) const
{
   std::string text = "leftMargin=" + std::to_string( leftMargin ) + ",\ntopMargin=" + std::to_string( topMargin ) +
                      ",\nrightMargin=" + std::to_string( rightMargin ) +
                      ",\nbottomMargin=" + std::to_string( bottomMargin ) + ",\n";
   return text + ( level < 0 ? "..." : "fillColor={" + fillColor.ToText( 0 ) + "}" );
}

CropExpand::CropExpand()
{
   parameters = std::make_unique<Parameters>();
}

CropExpand::CropExpand( const CropExpand& source ) : GeometricProcess( source )
{
   parameters = source.parameters->Clone();
}

std::unique_ptr<Process> CropExpand::Clone() const
{
   return std::make_unique<CropExpand>( *this );
}

std::string CropExpand::Id() const
{
   return "CropExpand";
}

bool CropExpand::IsInterface( const QWidget* form ) const
{
   return form != nullptr && form->inherits( "TCropExpandWindow" );
}

bool CropExpand::IsInterfaceAvailable() const
{
   return IsProcessInterfaceAvailable( Id() );
}

void CropExpand::LaunchInterface()
{
   if ( !OpenProcessWindow( *this ) )
      GeometricProcess::LaunchInterface();
}

int32_t CropExpand::NewSide( int32_t side, int32_t nearMargin, int32_t farMargin )
{
   const int64_t n = int64_t( side ) + nearMargin + farMargin;
   return ( n > 0 && n <= INT32_MAX ) ? int32_t( n ) : 0;
}

void CropExpand::GetNewSize( int32_t& width, int32_t& height, const ProcessView& ) const
{
   const Parameters& p = Params();
   width = NewSide( width, p.leftMargin, p.rightMargin );
   height = NewSide( height, p.topMargin, p.bottomMargin );
}

void CropExpand::DoExecuteOn( ProcessView& view )
{
   qor::Image* image = view.TargetImage();
   if ( image == nullptr )
      return;
   const Parameters& p = Params();
   int32_t width = image->Width(), height = image->Height();
   GetNewSize( width, height, view );
   if ( !IsValidSize( width, height ) )
      throw qor::GenericException( "Invalid crop/expand margins" );
   // The new canvas is built aside: a failure leaves the image, its previews and masks as they were.
   image->ResizeCanvas( width, height, p.leftMargin, p.topMargin, FillValues( p.fillColor, *image ) );
   FinishGeometryChange( view );
}
