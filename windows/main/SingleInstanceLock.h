#ifndef LF_WINDOWS_MAIN_SINGLE_INSTANCE_LOCK_H
#define LF_WINDOWS_MAIN_SINGLE_INSTANCE_LOCK_H

// The lock that lets only one copy of the program run: a lock file named after "Corvanta_Lumenforge" in the
// user's runtime folder. Taking it is one atomic step (the file is created exclusively), so two copies started at
// the same instant cannot both get it. A lock left behind by a copy that no longer runs (a crash) is reclaimed;
// a lock held by a running copy never goes stale, however long that copy runs. The lock is released when the
// object is destroyed.

#include <QLockFile>
#include <QString>

#include <memory>

class SingleInstanceLock
{
public:
   enum class Result
   {
      Acquired,      // this copy holds the lock
      HeldByAnother, // another running copy holds it
      Unavailable    // the lock file cannot be made (no runtime folder, no permission): the copy runs unguarded
   };

   // The lock in the given folder (the runtime folder when empty).
   explicit SingleInstanceLock( const QString& directory = QString() );
   ~SingleInstanceLock();
   SingleInstanceLock( const SingleInstanceLock& ) = delete;
   SingleInstanceLock& operator=( const SingleInstanceLock& ) = delete;

   Result TryLock();
   void Unlock();
   bool IsLocked() const;
   QString FilePath() const { return filePath; }

   // The runtime folder (XDG_RUNTIME_DIR), or /tmp when there is none.
   static QString DefaultDirectory();
   static constexpr const char* Name = "Corvanta_Lumenforge";

private:
   QString filePath;
   std::unique_ptr<QLockFile> lock;
};

#endif
