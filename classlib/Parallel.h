#ifndef QOR_PARALLEL_H
#define QOR_PARALLEL_H

// The one parallel loop of the class library.
//
// Hot kernels are written as functions of a range of rows (or other independent items) that write only their
// own output rows; ParallelFor cuts [0, count) into strips and runs them on a fixed pool of worker threads. The
// result never depends on the number of threads or on how the range was cut: a kernel must not carry state from
// one item to the next across a strip boundary.
//
// Progress and abort stay on the calling thread: when a monitor is given, the calling thread advances it by
// unitsPerItem for every item done as strips complete, so the monitor's function (which may pump the GUI's event
// queue and ask the user) only ever runs there. An abort answer stops the strips not yet started; the call then
// waits for those running and returns false, and the caller throws.
//
// SetMaxThreads(1) runs everything on the calling thread, in the same strips: tests compare both paths.

#include <cstdint>
#include <functional>

namespace qor
{

class StatusCallback;

// Number of threads parallel loops may use (>= 1).
int32_t MaxThreads();

// Sets the number of threads parallel loops may use; 0 or less means one per processor core.
void SetMaxThreads( int32_t n );

// Runs body(begin, end) over strips covering [0, count). Returns false when the monitor answered with an abort
// request (before or during the run), true otherwise. An exception thrown by body stops the remaining strips and
// is rethrown on the calling thread. `grain` is the smallest strip worth giving a thread.
bool ParallelFor( int64_t count, const std::function<void( int64_t begin, int64_t end )>& body,
                  StatusCallback* monitor = nullptr, int64_t unitsPerItem = 1, int64_t grain = 1 );

// RAII switch to a thread count for a scope (tests and benchmarks).
class ThreadCountScope
{
public:
   explicit ThreadCountScope( int32_t n ) : saved( MaxThreads() ) { SetMaxThreads( n ); }
   ~ThreadCountScope() { SetMaxThreads( saved ); }
   ThreadCountScope( const ThreadCountScope& ) = delete;
   ThreadCountScope& operator=( const ThreadCountScope& ) = delete;

private:
   int32_t saved;
};

} // namespace qor

#endif
