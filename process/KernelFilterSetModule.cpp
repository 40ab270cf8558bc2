#include "process/KernelFilterSetModule.h"

KernelFilterSetModule::~KernelFilterSetModule() = default;

std::string KernelFilterSetModule::Description() const
{
   return "Kernel Filter Set Module";
}

uint32_t KernelFilterSetModule::ModuleType() const
{
   return 0x5A5A07BE;
}

void KernelFilterSetModule::ReadData()
{
   Clear();
   const int32_t count = file->ReadValue<int32_t>();
   if ( count < 0 || count > file->BytesLeft() / MinimumRecordSize )
      throw KernelFilter::InvalidData( file->Path() );
   for ( int32_t i = 0; i < count; ++i )
   {
      auto filter = std::make_unique<KernelFilter>();
      filter->Read( *file );
      filters.push_back( std::move( filter ) );
   }
}

void KernelFilterSetModule::WriteData()
{
   file->WriteValue( int32_t( filters.size() ) );
   for ( const auto& filter : filters )
      filter->Write( *file );
}

void KernelFilterSetModule::Clear()
{
   filters.clear();
}

KernelFilter* KernelFilterSetModule::Find( const std::string& name ) const
{
   for ( const auto& filter : filters )
      if ( filter->name == name )
         return filter.get();
   return nullptr;
}
