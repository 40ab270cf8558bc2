#ifndef LF_PROCESS_PROCESS_ICON_SET_MODULE_H
#define LF_PROCESS_PROCESS_ICON_SET_MODULE_H

// Process icon set files (".lf-psm"): the process icons of the desktop, each with its place, identifier and
// process instance, in a module file (process/Module.h) of type 0x5A5A95FE.
//
// Body (little-endian): int32 icon count, then per icon
//   float32  left / screen width
//   float32  top / screen height        (places are kept relative to the screen, so a set follows the display)
//   int32 n, n bytes                    the identifier, 8-bit characters without terminator
//   ...                                 the instance record (ProcessInstanceStream)
//
// The module is plain data: the desktop fills `records` before a write and makes icons from them after a read.
// A read checks the icon count and every identifier length against the bytes left in the file before it allocates
// anything, and keeps nothing of a body that fails: `records` then stays empty, so a damaged file adds no icon.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "process/Module.h"

class Process;

namespace qor
{
class StatusCallback;
}

class ProcessIconSetModule : public Module
{
public:
   struct Record
   {
      float left = 0;
      float top = 0;
      std::string identifier;
      std::unique_ptr<Process> instance;
   };

   static constexpr uint32_t TypeId = 0x5A5A95FE;
   static constexpr const char* FileExtension = "lf-psm";
   // The longest identifier a reader accepts.
   static constexpr int32_t MaxIdentifierLength = 4096;

   ProcessIconSetModule();
   ~ProcessIconSetModule() override;

   std::string Description() const override;
   uint32_t ModuleType() const override;
   void ReadData() override;
   void WriteData() override;
   // Nothing: the icons belong to the desktop, not to the module.
   void Clear() override;

   // The icons written by WriteData, or read by ReadData (all of them, or none after a failure).
   std::vector<Record> records;
   // Progress of reads and writes, one step per icon; nullptr: none. Not owned.
   qor::StatusCallback* monitor = nullptr;
};

#endif
