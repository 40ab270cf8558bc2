#ifndef LF_PROCESS_KERNEL_FILTER_SET_MODULE_H
#define LF_PROCESS_KERNEL_FILTER_SET_MODULE_H

// A library of kernel filters stored as a module file (".lf-fsm", "Filter Set Modules"): the module header, then an
// int32 count and that many KernelFilter records, in list order.
//
// A damaged body (a count larger than the records the file can hold, or a damaged record) throws
// KernelFilter::InvalidData or a file error; the module then holds no filter and forgets its file (Module::Read).

#include <memory>
#include <vector>

#include "process/KernelFilter.h"
#include "process/Module.h"

class KernelFilterSetModule : public Module
{
public:
   // The smallest record: an empty name, size 0 and the flag.
   static constexpr int64_t MinimumRecordSize = 9;

   ~KernelFilterSetModule() override;

   // "Kernel Filter Set Module".
   std::string Description() const override;
   // 0x5A5A07BE.
   uint32_t ModuleType() const override;
   void ReadData() override;
   void WriteData() override;
   void Clear() override;

   // The filters, owned, in library order.
   std::vector<std::unique_ptr<KernelFilter>> filters;

   // The first filter of exactly that name, or nullptr.
   KernelFilter* Find( const std::string& name ) const;
};

#endif
