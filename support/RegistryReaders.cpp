#include "support/RegistryReaders.h"

#include "platform/Registry.h"

namespace
{

// Reads first and assigns after, so that a failed read leaves the variable as it was.
template <typename T, typename Reader>
bool ReadIfExists( T& variable, const platform::Registry& registry, const QString& name, Reader read )
{
   if ( !registry.ValueExists( name ) )
      return false;
   variable = read( name );
   return true;
}

} // namespace

bool ReadRegistryInt( int32_t& variable, const platform::Registry& registry, const QString& name )
{
   return ReadIfExists( variable, registry, name, [&]( const QString& n ) { return registry.ReadInteger( n ); } );
}

bool ReadRegistryUnsigned( uint32_t& variable, const platform::Registry& registry, const QString& name )
{
   return ReadIfExists( variable, registry, name,
                        [&]( const QString& n ) { return static_cast<uint32_t>( registry.ReadInteger( n ) ); } );
}

bool ReadRegistryBool( bool& variable, const platform::Registry& registry, const QString& name )
{
   return ReadIfExists( variable, registry, name, [&]( const QString& n ) { return registry.ReadBool( n ); } );
}

bool ReadRegistryFloat( float& variable, const platform::Registry& registry, const QString& name )
{
   return ReadIfExists( variable, registry, name,
                        [&]( const QString& n ) { return static_cast<float>( registry.ReadFloat( n ) ); } );
}

bool ReadRegistryDouble( double& variable, const platform::Registry& registry, const QString& name )
{
   return ReadIfExists( variable, registry, name, [&]( const QString& n ) { return registry.ReadFloat( n ); } );
}

bool ReadRegistryString( QString& variable, const platform::Registry& registry, const QString& name )
{
   return ReadIfExists( variable, registry, name, [&]( const QString& n ) { return registry.ReadString( n ); } );
}

bool ReadRegistryString( std::string& variable, const platform::Registry& registry, const QString& name )
{
   return ReadIfExists( variable, registry, name,
                        [&]( const QString& n ) { return registry.ReadString( n ).toStdString(); } );
}
