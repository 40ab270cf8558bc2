#ifndef LF_WINDOWS_IMAGE_VIEW_HISTORY_H
#define LF_WINDOWS_IMAGE_VIEW_HISTORY_H

// The processing history of a view is a ProcessContainer. Until the container class is in the tree, a minimal
// one with the same data (the owned, ordered `instances`) stands in for it here, private to the image window's
// sources.

#if __has_include( "process/ProcessContainer.h" )
#include "process/ProcessContainer.h"
#else
#include <memory>
#include <string>
#include <vector>

#include "classlib/Containers.h"
#include "process/Process.h"

class ProcessContainer : public Process
{
public:
   ProcessContainer() = default;
   ~ProcessContainer() override { instances.DeleteObjects(); }
   std::unique_ptr<Process> Clone() const override
   {
      auto copy = std::make_unique<ProcessContainer>();
      for ( const Process* p : instances )
      {
         Process* clone = p->Clone().release();
         clone->owner = copy.get();
         copy->instances.Add( clone );
      }
      return copy;
   }
   std::string Id() const override { return "ProcessContainer"; }
   void ListInstances( std::vector<std::string>& list, int32_t depth ) const
   {
      for ( const Process* p : instances )
         list.push_back( std::string( size_t( depth ), '\t' ) + p->Id() );
   }

   qor::IndirectArray<Process> instances;
};
#endif

#endif
