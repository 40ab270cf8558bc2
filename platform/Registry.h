#ifndef LF_PLATFORM_REGISTRY_H
#define LF_PLATFORM_REGISTRY_H

// The program's settings store: a hierarchy of keys holding typed, named values, kept in one INI file under the
// user's configuration folder ($XDG_CONFIG_HOME/Corvanta/Lumenforge.ini).
//
// Keys are written as the program has always named them, "\Software\Corvanta\Lumenforge\1.0\Color Management":
// a key beginning with a separator is absolute, any other is relative to the open key; backslashes and slashes
// both separate the levels, which become nested INI groups.
//
// Every value keeps its type, so that a reader asking for the wrong type is told so instead of receiving a guess:
//   integers and booleans   "dword:" and the 32 bits as 8 hex digits       (booleans are 0 or 1)
//   reals                   "hex:" and the 8 bytes of the double, in memory order, as 16 hex digits
//   texts                   "sz:" and the text
// A read of a missing value, of a value of another type or of a value in an unknown form throws
// RegistryException naming the value and its key.
//
// Writes are collected by QSettings and reach the file at CloseKey(), Sync() or destruction; CloseKey() and Sync()
// throw when the file cannot be written. One object serves the GUI thread.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <string>

#include "classlib/Exception.h"

class QSettings;

namespace platform
{

class RegistryException : public qor::Exception
{
public:
   explicit RegistryException( std::string text ) : text( std::move( text ) ) {}
   std::string ClassText() const override { return "Registry Error"; }
   std::string ErrorText() const override { return text; }

private:
   std::string text;
};

class Registry
{
public:
   // The settings file of the program: $XDG_CONFIG_HOME (or ~/.config)/Corvanta/Lumenforge.ini.
   Registry();
   // Another INI file, for tools and tests.
   explicit Registry( const QString& iniFilePath );
   // Writes pending changes; a failure here is swallowed (a destructor must not throw).
   ~Registry();

   Registry( const Registry& ) = delete;
   Registry& operator=( const Registry& ) = delete;

   static QString DefaultFilePath();
   QString FilePath() const;

   // Opens a key (absolute, or relative to the open key). Without canCreate a key that does not exist is not
   // opened and false is returned; with it the key is opened all the same (it appears in the file with its first
   // value). A key exists when it holds a value or a subkey.
   bool OpenKey( const QString& key, bool canCreate );
   // Writes pending changes and returns to the root.
   void CloseKey();
   // The open key in its backslash form ("\Software\..."); "\" for the root.
   QString CurrentPath() const;

   bool KeyExists( const QString& key ) const;
   // Deletes a key with its values and subkeys; false when it did not exist.
   bool DeleteKey( const QString& key );
   // The names of the subkeys of the open key.
   QStringList GetKeyNames() const;

   bool ValueExists( const QString& name ) const;
   // Deletes a value of the open key; false when it did not exist.
   bool DeleteValue( const QString& name );
   // The names of the values of the open key.
   QStringList GetValueNames() const;

   int32_t ReadInteger( const QString& name ) const;
   bool ReadBool( const QString& name ) const;
   double ReadFloat( const QString& name ) const;
   QString ReadString( const QString& name ) const;

   void WriteInteger( const QString& name, int32_t value );
   void WriteBool( const QString& name, bool value );
   void WriteFloat( const QString& name, double value );
   void WriteString( const QString& name, const QString& value );

   // Writes pending changes to the file (and takes in what other programs wrote meanwhile).
   void Sync();

private:
   enum class ValueType
   {
      Integer,
      Binary,
      String
   };

   enum class Children
   {
      Keys,
      Values
   };

   QString ResolveKey( const QString& key ) const;
   QStringList ChildNames( const QString& group, Children children ) const;
   bool GroupExists( const QString& group ) const;
   QString ValueKey( const QString& name ) const;
   QString StoredText( const QString& name, ValueType type ) const;
   void Store( const QString& name, const QString& text );
   [[noreturn]] void Fail( const QString& what, const QString& name ) const;

   std::unique_ptr<QSettings> settings;
   QString currentGroup; // "Software/Corvanta/..."; empty for the root
};

} // namespace platform

#endif
