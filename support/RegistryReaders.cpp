#include "support/RegistryReaders.h"

#include <cmath>
#include <limits>

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
                        [&]( const QString& n )
                        {
                           const double stored = registry.ReadFloat( n );
                           // A finite double beyond the float range has no float to become (the conversion would
                           // be undefined); infinities and NaN convert as they are.
                           if ( std::isfinite( stored ) && std::fabs( stored ) > std::numeric_limits<float>::max() )
                              throw platform::RegistryException( "Registry value out of range \"" + n.toStdString() +
                                                                 "\" in key \"" +
                                                                 registry.CurrentPath().toStdString() + "\"" );
                           return static_cast<float>( stored );
                        } );
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
