#ifndef LF_SUPPORT_REGISTRY_READERS_H
#define LF_SUPPORT_REGISTRY_READERS_H

// Read-if-exists for settings: each reader fills the variable from the value of that name under the registry's
// open key and returns true, or returns false and leaves the variable (the program's default) untouched when the
// value does not exist. A value of the wrong type throws platform::RegistryException to the caller.

#include <QString>

#include <cstdint>
#include <string>

namespace platform
{
class Registry;
}

bool ReadRegistryInt( int32_t& variable, const platform::Registry& registry, const QString& name );
bool ReadRegistryUnsigned( uint32_t& variable, const platform::Registry& registry, const QString& name );
bool ReadRegistryBool( bool& variable, const platform::Registry& registry, const QString& name );
// The stored double narrowed to the nearest float; a finite value beyond the float range throws
// platform::RegistryException.
bool ReadRegistryFloat( float& variable, const platform::Registry& registry, const QString& name );
bool ReadRegistryDouble( double& variable, const platform::Registry& registry, const QString& name );
bool ReadRegistryString( QString& variable, const platform::Registry& registry, const QString& name );
// The text as UTF-8.
bool ReadRegistryString( std::string& variable, const platform::Registry& registry, const QString& name );

#endif
