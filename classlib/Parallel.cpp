#include "Parallel.h"

#include "StatusCallback.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <thread>
#include <vector>

namespace qor
{

namespace
{

int32_t HardwareThreads()
{
   unsigned n = std::thread::hardware_concurrency();
   return n == 0 ? 1 : int32_t( n );
}

std::atomic<int32_t> maxThreads{ HardwareThreads() };

thread_local bool insideParallelBody = false;

// Set while this thread holds the pool for a loop of its own. The monitor's function of that loop may pump the
// GUI's event queue, and an event handler may start another loop on this same thread: that loop must run inline,
// since locking a mutex this thread already holds is undefined.
thread_local bool holdsPool = false;

class PoolHold
{
public:
   PoolHold() { holdsPool = true; }
   ~PoolHold() { holdsPool = false; }
   PoolHold( const PoolHold& ) = delete;
   PoolHold& operator=( const PoolHold& ) = delete;
};

// One job at a time: the strips of one ParallelFor call.
struct Job
{
   const std::function<void( int64_t, int64_t )>* body = nullptr;
   int64_t count = 0;
   int64_t stripSize = 1;
   int64_t strips = 0;
   std::atomic<int64_t> next{ 0 };      // next strip to take
   std::atomic<int64_t> itemsDone{ 0 }; // items of completed strips
   std::atomic<int64_t> stripsDone{ 0 };
   std::atomic<bool> stop{ false };
   std::exception_ptr error;
   std::mutex errorMutex;
   std::condition_variable* stripCompleted = nullptr; // wakes a coordinator that reports progress

   // Takes strips until none is left or the job was stopped; returns when this thread has nothing more to do.
   void Work()
   {
      insideParallelBody = true;
      for ( ;; )
      {
         if ( stop.load( std::memory_order_relaxed ) )
            break;
         int64_t s = next.fetch_add( 1 );
         if ( s >= strips )
            break;
         int64_t begin = s * stripSize;
         int64_t end = std::min( count, begin + stripSize );
         try
         {
            ( *body )( begin, end );
            itemsDone.fetch_add( end - begin );
         }
         catch ( ... )
         {
            std::lock_guard<std::mutex> lock( errorMutex );
            if ( !error )
               error = std::current_exception();
            stop = true;
         }
         stripsDone.fetch_add( 1 );
         if ( stripCompleted )
            stripCompleted->notify_all();
      }
      insideParallelBody = false;
   }
};

class Pool
{
public:
   static Pool& Instance()
   {
      static Pool pool;
      return pool;
   }

   std::mutex& JobMutex() { return jobMutex; }
   std::condition_variable* ProgressSignal() { return &progress; }

   // Runs the job with `helpers` worker threads beside the caller's own participation (if any).
   void Start( Job* job, int32_t helpers )
   {
      EnsureWorkers( helpers );
      {
         std::lock_guard<std::mutex> lock( mutex );
         current = job;
         wanted = helpers;
         ++generation;
      }
      wake.notify_all();
   }

   // Waits until every worker has left the job, then detaches it.
   void Finish()
   {
      std::unique_lock<std::mutex> lock( mutex );
      idle.wait( lock, [this] { return busy == 0 && wanted == 0; } );
      current = nullptr;
   }

   // Wakes the coordinating thread when strips complete (used while it reports progress).
   void WaitForProgress( Job* job, int64_t seenStrips )
   {
      std::unique_lock<std::mutex> lock( mutex );
      progress.wait_for( lock, std::chrono::milliseconds( 20 ),
                         [&] { return job->stripsDone.load() != seenStrips || AllLeft( job ); } );
   }

   bool AllLeft( Job* job ) { return job->stripsDone.load() >= job->strips || ( job->stop && busy == 0 && wanted == 0 ); }

   ~Pool()
   {
      {
         std::lock_guard<std::mutex> lock( mutex );
         quitting = true;
      }
      wake.notify_all();
      for ( std::thread& t : workers )
         t.join();
   }

private:
   void EnsureWorkers( int32_t n )
   {
      while ( int32_t( workers.size() ) < n )
         workers.emplace_back( [this] { Run(); } );
   }

   void Run()
   {
      uint64_t seen = 0;
      for ( ;; )
      {
         Job* job = nullptr;
         {
            std::unique_lock<std::mutex> lock( mutex );
            wake.wait( lock, [&] { return quitting || ( generation != seen && wanted > 0 ); } );
            if ( quitting )
               return;
            seen = generation;
            --wanted;
            ++busy;
            job = current;
         }
         job->Work();
         {
            std::lock_guard<std::mutex> lock( mutex );
            --busy;
         }
         idle.notify_all();
         progress.notify_all();
      }
   }

   std::mutex jobMutex;
   std::mutex mutex;
   std::condition_variable wake, idle, progress;
   std::vector<std::thread> workers;
   Job* current = nullptr;
   int32_t wanted = 0;
   int32_t busy = 0;
   uint64_t generation = 0;
   bool quitting = false;
};

} // namespace

int32_t MaxThreads()
{
   return maxThreads.load();
}

void SetMaxThreads( int32_t n )
{
   maxThreads.store( n <= 0 ? HardwareThreads() : n );
}

bool ParallelFor( int64_t count, const std::function<void( int64_t, int64_t )>& body, StatusCallback* monitor,
                  int64_t unitsPerItem, int64_t grain )
{
   bool monitored = monitor != nullptr && monitor->IsMonitored();
   if ( monitored && monitor->IsAborted() )
      return false;
   if ( count <= 0 )
      return true;

   int32_t threads = MaxThreads();
   grain = std::max<int64_t>( 1, grain );

   // Enough strips to balance the load and, when monitored, to report progress often enough for a responsive
   // abort; never strips smaller than the grain.
   int64_t wantedStrips = std::max<int64_t>( int64_t( threads ) * 4, monitored ? 64 : 1 );
   int64_t stripSize = std::max( grain, ( count + wantedStrips - 1 ) / wantedStrips );
   int64_t strips = ( count + stripSize - 1 ) / stripSize;

   Pool& pool = Pool::Instance();
   std::unique_lock<std::mutex> jobLock( pool.JobMutex(), std::defer_lock );
   bool serial = threads <= 1 || strips <= 1 || insideParallelBody || holdsPool || !jobLock.try_lock();

   if ( serial )
   {
      for ( int64_t s = 0; s < strips; ++s )
      {
         int64_t begin = s * stripSize;
         int64_t end = std::min( count, begin + stripSize );
         body( begin, end );
         if ( monitored )
         {
            monitor->Advance( ( end - begin ) * unitsPerItem );
            if ( monitor->IsAborted() )
               return false;
         }
      }
      return true;
   }

   PoolHold hold;
   Job job;
   job.body = &body;
   job.count = count;
   job.stripSize = stripSize;
   job.strips = strips;

   bool aborted = false;
   if ( !monitored )
   {
      // The caller works too.
      pool.Start( &job, int32_t( std::min<int64_t>( threads - 1, strips - 1 ) ) );
      job.Work();
      pool.Finish();
   }
   else
   {
      // The caller only reports progress, so that the monitor's function runs here and nowhere else.
      job.stripCompleted = pool.ProgressSignal();
      pool.Start( &job, int32_t( std::min<int64_t>( threads, strips ) ) );
      int64_t reported = 0;
      int64_t seenStrips = 0;
      try
      {
         for ( ;; )
         {
            pool.WaitForProgress( &job, seenStrips );
            seenStrips = job.stripsDone.load();
            int64_t done = job.itemsDone.load();
            if ( done > reported && !aborted )
            {
               monitor->Advance( ( done - reported ) * unitsPerItem );
               reported = done;
               if ( monitor->IsAborted() )
               {
                  aborted = true;
                  job.stop = true;
               }
            }
            if ( seenStrips >= strips || job.stop.load() )
               break;
         }
      }
      catch ( ... )
      {
         // The monitor's function threw: the job lives in this frame, so the workers must leave it first.
         job.stop = true;
         pool.Finish();
         throw;
      }
      pool.Finish();
   }

   if ( job.error )
      std::rethrow_exception( job.error );
   return !aborted;
}

} // namespace qor
