#ifndef LF_PLATFORM_SERVICE_SLOT_H
#define LF_PLATFORM_SERVICE_SLOT_H

// What the replaceable platform services (message boxes, modal dialogs, file pickers) have in common: one
// installed implementation at a time (none: production), a scope that installs one and puts the previous back, and
// for the scripted test versions a queue of expectations with a record of every request.

#include <QString>
#include <QStringList>

#include <deque>
#include <functional>
#include <vector>

namespace platform
{

// Base of a service interface: the slot of its installed implementation (not owned).
template <typename Interface>
class ServiceSlot
{
public:
   static Interface* Installed() { return installed; }
   // nullptr returns to production.
   static void Install( Interface* implementation ) { installed = implementation; }

protected:
   static Interface* InstalledOr( Interface& production ) { return installed != nullptr ? installed : &production; }

private:
   static inline Interface* installed = nullptr;
};

// Installs an implementation for the lifetime of the object (through Interface::Install, so that a service may
// add to the installation) and puts the previous one back afterwards.
template <typename Interface>
class ServiceScope
{
public:
   explicit ServiceScope( Interface& implementation ) : previous( Interface::Installed() )
   {
      Interface::Install( &implementation );
   }
   ~ServiceScope() { Interface::Install( previous ); }
   ServiceScope( const ServiceScope& ) = delete;
   ServiceScope& operator=( const ServiceScope& ) = delete;

private:
   Interface* previous;
};

// The script of a scripted service: expectations consumed in order and a record of every request. Expectation
// needs Describe() -> QString; Record needs a bool member `expected`.
template <typename Expectation, typename Record>
class Script
{
public:
   const std::vector<Record>& Records() const { return records; }

   std::vector<Record> UnexpectedRecords() const
   {
      std::vector<Record> result;
      for ( const Record& r : records )
         if ( !r.expected )
            result.push_back( r );
      return result;
   }

   size_t PendingCount() const { return pending.size(); }

   // One line per expectation still waiting.
   QStringList PendingDescriptions() const
   {
      QStringList result;
      for ( const Expectation& e : pending )
         result << e.Describe();
      return result;
   }

   // Empties the queue and the records.
   void Clear()
   {
      pending.clear();
      records.clear();
   }

   // Called at each unexpected request, after it has been recorded.
   void SetUnexpectedHandler( std::function<void( const Record& )> handler ) { onUnexpected = std::move( handler ); }

protected:
   void AddExpectation( Expectation e ) { pending.push_back( std::move( e ) ); }

   // Removes the front expectation when the predicate accepts it and returns it through `taken`.
   template <typename Predicate>
   bool TakeFront( Predicate accepts, Expectation& taken )
   {
      if ( pending.empty() || !accepts( pending.front() ) )
         return false;
      taken = std::move( pending.front() );
      pending.pop_front();
      return true;
   }

   void RecordExpected( Record r )
   {
      r.expected = true;
      records.push_back( std::move( r ) );
   }

   void RecordUnexpected( Record r )
   {
      r.expected = false;
      records.push_back( r );
      if ( onUnexpected )
         onUnexpected( r );
   }

private:
   std::deque<Expectation> pending;
   std::vector<Record> records;
   std::function<void( const Record& )> onUnexpected;
};

} // namespace platform

#endif
