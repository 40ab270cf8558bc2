#ifndef LF_PLATFORM_SYSTEM_MEMORY_H
#define LF_PLATFORM_SYSTEM_MEMORY_H

// The machine's memory as the system reports it (/proc/meminfo), for the memory watch and for the operations that
// must know, before they allocate, whether memory for them exists.
//
// On Linux an allocation is granted before the memory behind it exists (overcommit): a request beyond what the
// machine has can succeed and the program is then killed when it first writes the pages, losing every open
// image. So an operation that is about to allocate a large new image asks AvailableMemory() first and refuses
// when the image cannot fit.

#include <QString>

#include <cstdint>
#include <functional>
#include <optional>

// Bytes of memory (64 bits: machines have more than 4 GB).
struct MemoryStatus
{
   uint64_t totalPhysical = 0;
   uint64_t availablePhysical = 0;
   uint64_t totalPaged = 0;
   uint64_t availablePaged = 0;

   // From the text of /proc/meminfo (MemTotal, MemAvailable, SwapTotal, SwapFree); nothing when it lacks them.
   static std::optional<MemoryStatus> FromMeminfo( const QString& text );
   static std::optional<MemoryStatus> Current();
};

namespace platform
{

// The bytes new allocations can still get without driving the system out of memory: available physical memory
// plus free swap. Nothing when the system does not say (the caller then does not refuse on that ground).
std::optional<uint64_t> AvailableMemory();

// Answers AvailableMemory() in place of the system for its lifetime (tests of the refusals).
class AvailableMemoryScope
{
public:
   explicit AvailableMemoryScope( std::function<std::optional<uint64_t>()> probe );
   ~AvailableMemoryScope();
   AvailableMemoryScope( const AvailableMemoryScope& ) = delete;
   AvailableMemoryScope& operator=( const AvailableMemoryScope& ) = delete;

private:
   std::function<std::optional<uint64_t>()> previous;
};

} // namespace platform

#endif
