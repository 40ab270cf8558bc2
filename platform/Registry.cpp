#include "platform/Registry.h"

#include <QSettings>
#include <QStandardPaths>
#include <QVariant>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace platform
{

namespace
{

const QString IntegerTag = QStringLiteral( "dword:" );
const QString BinaryTag = QStringLiteral( "hex:" );
const QString StringTag = QStringLiteral( "sz:" );

// "\A\B\" or "A/B" -> the list of its levels.
QStringList KeyLevels( const QString& key )
{
   QString normal = key;
   normal.replace( QLatin1Char( '\\' ), QLatin1Char( '/' ) );
   return normal.split( QLatin1Char( '/' ), Qt::SkipEmptyParts );
}

bool IsAbsolute( const QString& key )
{
   return key.startsWith( QLatin1Char( '\\' ) ) || key.startsWith( QLatin1Char( '/' ) );
}

std::string Quoted( const QString& text )
{
   return "\"" + text.toStdString() + "\"";
}

} // namespace

Registry::Registry() : Registry( DefaultFilePath() )
{
}

Registry::Registry( const QString& iniFilePath )
   : settings( std::make_unique<QSettings>( iniFilePath, QSettings::IniFormat ) )
{
}

Registry::~Registry()
{
   settings->sync();
}

QString Registry::DefaultFilePath()
{
   return QStandardPaths::writableLocation( QStandardPaths::GenericConfigLocation ) +
          QStringLiteral( "/Corvanta/Lumenforge.ini" );
}

QString Registry::FilePath() const
{
   return settings->fileName();
}

QString Registry::ResolveKey( const QString& key ) const
{
   QStringList levels = KeyLevels( key );
   if ( !IsAbsolute( key ) && !currentGroup.isEmpty() )
      levels = KeyLevels( currentGroup ) + levels;
   return levels.join( QLatin1Char( '/' ) );
}

QStringList Registry::ChildNames( const QString& group, Children children ) const
{
   settings->beginGroup( group );
   QStringList names = children == Children::Values ? settings->childKeys() : settings->childGroups();
   settings->endGroup();
   return names;
}

bool Registry::GroupExists( const QString& group ) const
{
   return group.isEmpty() || !ChildNames( group, Children::Values ).isEmpty() ||
          !ChildNames( group, Children::Keys ).isEmpty();
}

bool Registry::OpenKey( const QString& key, bool canCreate )
{
   QString group = ResolveKey( key );
   if ( !canCreate && !GroupExists( group ) )
      return false;
   currentGroup = group;
   return true;
}

void Registry::CloseKey()
{
   currentGroup.clear();
   Sync();
}

QString Registry::CurrentPath() const
{
   return QLatin1Char( '\\' ) + QString( currentGroup ).replace( QLatin1Char( '/' ), QLatin1Char( '\\' ) );
}

bool Registry::KeyExists( const QString& key ) const
{
   return GroupExists( ResolveKey( key ) );
}

bool Registry::DeleteKey( const QString& key )
{
   QString group = ResolveKey( key );
   if ( group.isEmpty() || !GroupExists( group ) )
      return false;
   settings->remove( group );
   return true;
}

QStringList Registry::GetKeyNames() const
{
   return ChildNames( currentGroup, Children::Keys );
}

QString Registry::ValueKey( const QString& name ) const
{
   // A separator in a value name would silently address another key.
   if ( name.isEmpty() || name.contains( QLatin1Char( '/' ) ) || name.contains( QLatin1Char( '\\' ) ) )
      throw RegistryException( "Invalid registry value name " + Quoted( name ) );
   return currentGroup.isEmpty() ? name : currentGroup + QLatin1Char( '/' ) + name;
}

bool Registry::ValueExists( const QString& name ) const
{
   return settings->contains( ValueKey( name ) );
}

bool Registry::DeleteValue( const QString& name )
{
   QString key = ValueKey( name );
   if ( !settings->contains( key ) )
      return false;
   settings->remove( key );
   return true;
}

QStringList Registry::GetValueNames() const
{
   return ChildNames( currentGroup, Children::Values );
}

void Registry::Fail( const QString& what, const QString& name ) const
{
   throw RegistryException( what.toStdString() + " " + Quoted( name ) + " in key " + Quoted( CurrentPath() ) );
}

// The payload of a stored value after its type tag; throws when the value is missing or of another type.
QString Registry::StoredText( const QString& name, ValueType type ) const
{
   QVariant stored = settings->value( ValueKey( name ) );
   if ( !stored.isValid() )
      Fail( QStringLiteral( "Missing registry value" ), name );
   const QString& tag = type == ValueType::Integer ? IntegerTag : type == ValueType::Binary ? BinaryTag : StringTag;
   // A hand-edited line with commas comes back as a list; that is no value of ours either.
   if ( stored.typeId() != QMetaType::QString || !stored.toString().startsWith( tag ) )
      Fail( QStringLiteral( "Invalid data type for registry value" ), name );
   return stored.toString().mid( tag.size() );
}

int32_t Registry::ReadInteger( const QString& name ) const
{
   QString digits = StoredText( name, ValueType::Integer );
   // Exactly the eight hex digits that WriteInteger writes: toUInt alone would also take a sign, blanks or "0x".
   auto isHexDigit = []( QChar c ) { return std::isxdigit( static_cast<unsigned char>( c.toLatin1() ) ) != 0; };
   bool ok = digits.size() == 8 && std::all_of( digits.begin(), digits.end(), isHexDigit );
   uint32_t bits = ok ? digits.toUInt( &ok, 16 ) : 0;
   if ( !ok )
      Fail( QStringLiteral( "Invalid data in registry value" ), name );
   return static_cast<int32_t>( bits );
}

bool Registry::ReadBool( const QString& name ) const
{
   return ReadInteger( name ) != 0;
}

double Registry::ReadFloat( const QString& name ) const
{
   QString digits = StoredText( name, ValueType::Binary );
   QByteArray bytes = QByteArray::fromHex( digits.toLatin1() );
   // Exactly 8 bytes of valid hex: fromHex skips what it does not understand, so check the round trip.
   if ( bytes.size() != static_cast<qsizetype>( sizeof( double ) ) ||
        QString::fromLatin1( bytes.toHex() ).compare( digits, Qt::CaseInsensitive ) != 0 )
      Fail( QStringLiteral( "Invalid data type for registry value" ), name );
   double value;
   std::memcpy( &value, bytes.constData(), sizeof value );
   return value;
}

QString Registry::ReadString( const QString& name ) const
{
   return StoredText( name, ValueType::String );
}

void Registry::Store( const QString& name, const QString& text )
{
   settings->setValue( ValueKey( name ), text );
}

void Registry::WriteInteger( const QString& name, int32_t value )
{
   Store( name, IntegerTag + QStringLiteral( "%1" ).arg( static_cast<uint32_t>( value ), 8, 16, QLatin1Char( '0' ) ) );
}

void Registry::WriteBool( const QString& name, bool value )
{
   WriteInteger( name, value ? 1 : 0 );
}

void Registry::WriteFloat( const QString& name, double value )
{
   QByteArray bytes( reinterpret_cast<const char*>( &value ), sizeof value );
   Store( name, BinaryTag + QString::fromLatin1( bytes.toHex() ) );
}

void Registry::WriteString( const QString& name, const QString& value )
{
   Store( name, StringTag + value );
}

void Registry::Sync()
{
   settings->sync();
   switch ( settings->status() )
   {
   case QSettings::NoError:
      return;
   case QSettings::FormatError:
      throw RegistryException( "The settings file " + Quoted( settings->fileName() ) + " is malformed" );
   case QSettings::AccessError:
      break;
   }
   throw RegistryException( "Unable to write the settings file " + Quoted( settings->fileName() ) );
}

} // namespace platform
