#include "windows/main/SingleInstanceLock.h"

#include <QDir>
#include <QStandardPaths>

SingleInstanceLock::SingleInstanceLock( const QString& directory )
    : filePath( ( directory.isEmpty() ? DefaultDirectory() : directory ) + '/' + Name + ".lock" ),
      lock( std::make_unique<QLockFile>( filePath ) )
{
   // Staleness by age would let a second copy in after the first had run for a while; a lock is stale only when
   // the process that wrote it is gone (QLockFile checks that on its own).
   lock->setStaleLockTime( 0 );
}

SingleInstanceLock::~SingleInstanceLock() = default;

SingleInstanceLock::Result SingleInstanceLock::TryLock()
{
   if ( lock->isLocked() )
      return Result::Acquired;
   if ( lock->tryLock( 0 ) )
      return Result::Acquired;
   return lock->error() == QLockFile::LockFailedError ? Result::HeldByAnother : Result::Unavailable;
}

void SingleInstanceLock::Unlock()
{
   if ( lock->isLocked() )
      lock->unlock();
}

bool SingleInstanceLock::IsLocked() const
{
   return lock->isLocked();
}

QString SingleInstanceLock::DefaultDirectory()
{
   QString directory = QStandardPaths::writableLocation( QStandardPaths::RuntimeLocation );
   if ( directory.isEmpty() || !QDir( directory ).exists() )
      directory = QStringLiteral( "/tmp" );
   return directory;
}
