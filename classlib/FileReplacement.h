#ifndef QOR_FILE_REPLACEMENT_H
#define QOR_FILE_REPLACEMENT_H

// A new version of a file, written under a temporary name in the file's folder and put in the file's place by one
// rename once it is complete and on the disk: the name holds a whole file at every moment, whatever happens to the
// program or the machine meanwhile (the former file until the rename, the new one afterwards).
//
// The temporary name is the file's name followed by ".~lf-save.<8 hex digits>.tmp"; where the whole would be longer
// than the file system allows, the file's name is shortened and a digest of it tells it apart from other names
// shortened alike. The temporary file is made new (never an existing file, never through a link). When it replaces
// a file it is private to the user (0600) until it takes that file's place, and only then gets that file's access
// rights, so neither a save in progress nor one killed half-way shows the new data to anyone the former file did not;
// a file made new gets the default rights at once.
//
// The object holds a lock on its temporary file while it lives. The next replacement of the same file, by this
// process or another, can so tell a temporary file being written from one whose writer is gone (killed, or the
// machine stopped): it removes those, when they are the user's, before it makes its own. Where a record folder is
// set, each replacement also records its temporary file there while it lives, so that the next start of the program
// removes what a killed one left, wherever no save of the same file follows.

#include <cstddef>
#include <cstdint>
#include <string>

namespace qor
{

class FileReplacement
{
public:
   // Removes what earlier replacements of the target left behind, then creates the temporary file. Throws
   // File::UnableToCreateFile, with the system's error, when it cannot be made.
   explicit FileReplacement( const std::string& target );
   // Removes the temporary file unless it has taken the target's place.
   ~FileReplacement();
   FileReplacement( const FileReplacement& ) = delete;
   FileReplacement& operator=( const FileReplacement& ) = delete;

   const std::string& TemporaryPath() const { return temporaryPath; }
   // The temporary file, open for reading and writing.
   int Handle() const { return handle; }

   // Puts the temporary file in the target's place: it takes the access rights of the file it replaces (if there is
   // one), its data are flushed to the disk, it is renamed over the target, and the folder is flushed so that the
   // new name survives a crash. Throws File::WriteError, with the system's error, when the data cannot be flushed or
   // the rename fails; the target is then as it was.
   void Commit();

   // The name of a temporary file that replaces the target, with the tag in it.
   static std::string TemporaryName( const std::string& target, uint32_t tag );

   // The longest file name the folder's file system takes.
   static size_t NameLimit( const std::string& folder );
   // The name cut to `length` bytes when it is longer, its end replaced by "~" and a digest of the whole name, so
   // that names cut alike stay apart; never inside a character of several bytes.
   static std::string Shortened( const std::string& name, size_t length );

   // Makes the replacements record themselves in the folder (made when missing; empty: nowhere) while they are in
   // progress: the program sets it at start-up, in its own settings folder.
   static void SetRecordFolder( const std::string& folder );
   // Removes the temporary files recorded in that folder whose replacements were stopped before they could remove
   // them (the program killed, the machine stopped): only files named as temporary files of a replacement, where the
   // record says, plain files of the user's that nobody holds; their records go too. For the start-up.
   static void RemoveRecordedLeftovers();

private:
   std::string target;
   std::string temporaryPath;
   std::string record; // the record of this replacement; empty: none
   int handle = -1;
   bool committed = false;
};

} // namespace qor

#endif
