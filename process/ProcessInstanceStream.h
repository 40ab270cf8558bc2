#ifndef LF_PROCESS_PROCESS_INSTANCE_STREAM_H
#define LF_PROCESS_PROCESS_INSTANCE_STREAM_H

// The binary form of one process instance, as process icon sets, process containers and swap files store it.
//
// Little-endian; texts are 8-bit bytes without terminator, preceded by an int32 length.
//
//   int32 n, n bytes     the identifier (Process::Id): the reader finds the class in the process registry by it
//   ...                  the common part, Process::Write: float32 version (rounded to three decimals), the
//                        parameter set in the layout of that version, owner word, enabled, maskId, maskLost,
//                        startTime, processingTime, then the class's extra data (a container: int32 count and that
//                        many instance records)
//
// Nothing marks the end of a parameter set or of the extra data and there is no record length: only a reader that
// knows the class can read, or skip, what follows its identifier.
//
// Readers trust nothing they read: an identifier or mask identifier length that is negative or longer than any
// identifier, a container's instance count that the bytes left in the file could not hold, or containers nested
// deeper than MaxNestingDepth, throw ProcessInstanceStream::Error before anything is allocated; a length or count
// beyond the end of the file throws the qor::File exception of a short file. Whoever reads a record discards the
// partly read instance on any failure.

#include <cstdint>
#include <memory>
#include <string>

#include "classlib/File.h"

class Process;
class ProcessRegistry;

class ProcessInstanceStream
{
public:
   // A record that cannot be a valid instance. A qor::File exception, so that whoever reads files shows it like
   // any other file error: "File I/O Error:\nCorrupted process instance data:\n" + path.
   class Error : public qor::File::Exception
   {
   public:
      explicit Error( std::string path ) : qor::File::Exception( std::move( path ) ) {}
      std::string Description() const override;
   };

   // Longest identifier (and mask identifier) a reader accepts (real identifiers are class and image names of a
   // few dozen characters).
   static constexpr int32_t MaxIdentifierLength = 256;
   // Deepest nesting of containers a reader accepts (each replay of a history adds one level).
   static constexpr int32_t MaxNestingDepth = 256;
   // The fewest bytes an instance record can take: a one-byte identifier and the common part without parameters
   // and extra data.
   static constexpr int64_t MinimumRecordSize = 4 + 1 + 4 + 4 + 1 + 4 + 1 + 8 + 8;

   // Writes the identifier prefix, then instance.Write( file ).
   static void WriteInstance( qor::File& file, const Process& instance );

   // Reads an instance record: a clone of the registered prototype of the stored identifier, read with
   // Process::Read. An identifier the registry does not know throws the ProcessRefusal text
   // "Cannot instantiate process: unregistered process id '<id>'", with the file just after the identifier.
   // The registry is that of the innermost RegistryScope of this thread, else TheProcessRegistry().
   static std::unique_ptr<Process> ReadInstance( qor::File& file );
   // The same with the given registry, for this record and every record nested in it.
   static std::unique_ptr<Process> ReadInstance( qor::File& file, const ProcessRegistry& registry );

   // Makes the reads of this thread find classes in another registry while it lives.
   class RegistryScope
   {
   public:
      explicit RegistryScope( const ProcessRegistry& registry );
      ~RegistryScope();
      RegistryScope( const RegistryScope& ) = delete;
      RegistryScope& operator=( const RegistryScope& ) = delete;

   private:
      const ProcessRegistry* previous;
   };

   // Checks a count of records read from the file (a container's instances, an icon set's icons) against what the
   // bytes left could hold; throws Error when they could not.
   static void CheckRecordCount( const qor::File& file, int64_t count );

   // Counts the nesting of records being read on this thread; throws Error beyond MaxNestingDepth.
   class NestingGuard
   {
   public:
      explicit NestingGuard( const qor::File& file );
      ~NestingGuard();
      NestingGuard( const NestingGuard& ) = delete;
      NestingGuard& operator=( const NestingGuard& ) = delete;
   };
};

#endif
