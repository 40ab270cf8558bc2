#include "process/IPTCPhotoInfoData.h"

#include <QWidget>

#include "classlib/File.h"
#include "process/ProcessWindows.h"

// ---- Module --------------------------------------------------------------------------------------------------------

IPTCPhotoInfoModule::~IPTCPhotoInfoModule()
{
   Clear();
   Close();
}

std::string IPTCPhotoInfoModule::Description() const
{
   return "IPTC Photo Info Module";
}

uint32_t IPTCPhotoInfoModule::ModuleType() const
{
   return TypeId;
}

void IPTCPhotoInfoModule::ReadData()
{
   info.Read( *file );
}

void IPTCPhotoInfoModule::WriteData()
{
   info.Write( *file );
}

void IPTCPhotoInfoModule::Clear()
{
   info.Clear();
}

// ---- Parameters ----------------------------------------------------------------------------------------------------

std::unique_ptr<Process::Parameters> IPTCPhotoInfoData::Parameters::Clone() const
{
   auto clone = std::make_unique<Parameters>();
   clone->Assign( *this );
   return clone;
}

void IPTCPhotoInfoData::Parameters::Assign( const Process::Parameters& source )
{
   info = dynamic_cast<const Parameters&>( source ).info;
}

void IPTCPhotoInfoData::Parameters::Read( qor::File& file, float )
{
   info.Read( file );
}

void IPTCPhotoInfoData::Parameters::Write( qor::File& file, float ) const
{
   info.Write( file );
}

std::string IPTCPhotoInfoData::Parameters::ToText( int32_t ) const
{
   return "items=" + std::to_string( info.Count() );
}

// ---- Process -------------------------------------------------------------------------------------------------------

IPTCPhotoInfoData::IPTCPhotoInfoData()
{
   parameters = std::make_unique<Parameters>();
}

IPTCPhotoInfoData::IPTCPhotoInfoData( const IPTCPhotoInfoData& source ) : ImageProcess( source )
{
   parameters = source.parameters->Clone();
}

std::unique_ptr<Process> IPTCPhotoInfoData::Clone() const
{
   return std::make_unique<IPTCPhotoInfoData>( *this );
}

std::string IPTCPhotoInfoData::Id() const
{
   return "IPTCPhotoInfo";
}

bool IPTCPhotoInfoData::IsInterface( const QWidget* form ) const
{
   return form != nullptr && form->inherits( "TIPTCPhotoInfoWindow" );
}

bool IPTCPhotoInfoData::IsInterfaceAvailable() const
{
   return IsProcessInterfaceAvailable( Id() );
}

void IPTCPhotoInfoData::LaunchInterface()
{
   if ( !OpenProcessWindow( *this ) )
      ImageProcess::LaunchInterface();
}

void IPTCPhotoInfoData::DoExecuteOn( ProcessView& view )
{
   qor::IPTCPhotoInfo* info = view.IPTCPhotoInfoRecord();
   if ( info == nullptr )
      return;
   *info = Values().info;
   view.Modified( true );
}

bool IPTCPhotoInfoData::IsMaskable( const ProcessView&, const MaskTarget* ) const
{
   return false;
}

uint32_t IPTCPhotoInfoData::UndoFlags( const ProcessView& ) const
{
   return UndoIPTCPhotoInfo;
}
