#ifndef LF_PROCESS_PROCESS_REGISTRY_H
#define LF_PROCESS_PROCESS_REGISTRY_H

// The registry of process classes: one default instance (the prototype) of every class the program knows.
//
// Reading an instance from a file finds its class by the identifier stored in front of it and clones that class's
// prototype (ProcessInstanceStream); the main window builds its "New Process" menu from the by-category list and
// drops a clone of the chosen prototype on the desktop.
//
// Each class has one entry, with its own prototype, in each of two lists:
//   - the by-identifier list, sorted by Process::Id();
//   - the by-category list, sorted by Process::Category() and then by Process::Id() (the menu order).
// Texts compare byte by byte as unsigned 8-bit values, a prefix first: upper-case letters sort before lower-case
// ones ("ATrousWaveletTransform" before "AssignICCProfile"), and look-ups are case-sensitive.
//
// The program's registry, TheProcessRegistry(), is made and filled on first use from the one registration list,
// RegisterProcesses() in ProcessList.cpp, and lives until the program ends. Nothing adds or removes entries
// afterwards; prototypes are never run or shown, only cloned and asked for their identifier and category.
//
// Used on the GUI thread only.

#include <cstddef>
#include <memory>
#include <stdexcept>
#include <string>

#include "classlib/Containers.h"
#include "process/Process.h"

// A registry entry: the prototype of one process class and its place in a list.
class ProcessInstance
{
public:
   virtual ~ProcessInstance();
   virtual const Process& Prototype() const = 0;
   // Whether this entry sorts before an entry whose prototype is the given process.
   virtual bool LessThan( const Process& process ) const = 0;
};

// Sorted by identifier.
class ProcessInstanceById : public ProcessInstance
{
public:
   bool LessThan( const Process& process ) const override;
};

// Sorted by category, then by identifier.
class CategorizedProcessInstance : public ProcessInstance
{
public:
   bool LessThan( const Process& process ) const override;
};

// The entry of class P in a list whose order B gives. It owns a prototype made by P's default constructor.
template <class P, class B>
class ProcessInstanceImplementation : public B
{
public:
   ProcessInstanceImplementation() : prototype( std::make_unique<P>() ) {}
   const Process& Prototype() const override { return *prototype; }

private:
   std::unique_ptr<P> prototype;
};

class ProcessRegistry
{
private:
   template <class Entry>
   struct EntryLess
   {
      bool operator()( const Entry& a, const Entry& b ) const { return a.LessThan( b.Prototype() ); }
   };

public:
   using ByIdList = qor::IndirectSortedArray<ProcessInstanceById, EntryLess<ProcessInstanceById>>;
   using ByCategoryList = qor::IndirectSortedArray<CategorizedProcessInstance, EntryLess<CategorizedProcessInstance>>;

   // An empty registry (the program's is filled by TheProcessRegistry()).
   ProcessRegistry() = default;
   ProcessRegistry( const ProcessRegistry& ) = delete;
   ProcessRegistry& operator=( const ProcessRegistry& ) = delete;
   // Deletes every entry of both lists, and with them every prototype.
   virtual ~ProcessRegistry();

   // Adds class P to both lists, each entry with a prototype of its own. A class whose identifier is already
   // registered is a programming error: std::logic_error, and the registry stays as it was.
   template <class P>
   void Register()
   {
      auto byIdEntry = std::make_unique<ProcessInstanceImplementation<P, ProcessInstanceById>>();
      auto byCategoryEntry = std::make_unique<ProcessInstanceImplementation<P, CategorizedProcessInstance>>();
      Insert( std::move( byIdEntry ), std::move( byCategoryEntry ) );
   }

   // The prototype of the class with this identifier, or nullptr (unknown or empty identifier). The registry
   // keeps the prototype; callers clone it.
   const Process* FindProcess( const std::string& identifier ) const;

   const ByIdList& ById() const { return byId; }
   const ByCategoryList& ByCategory() const { return byCategory; }
   size_t Count() const { return byId.Length(); }

   // The order of identifiers, and of categories: bytewise, unsigned, a prefix first.
   static bool IdentifierLess( const std::string& a, const std::string& b );

private:
   void Insert( std::unique_ptr<ProcessInstanceById> byIdEntry,
                std::unique_ptr<CategorizedProcessInstance> byCategoryEntry );

   ByIdList byId;
   ByCategoryList byCategory;
};

// Registers every process class of the program (ProcessList.cpp: the one list each process adds itself to).
void RegisterProcesses( ProcessRegistry& registry );

// The program's registry, made and filled on first use.
ProcessRegistry& TheProcessRegistry();

#endif
