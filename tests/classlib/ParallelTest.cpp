#include <gtest/gtest.h>

#include "Image.h"
#include "Parallel.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

using qor::Image;
using qor::StatusCallback;

namespace
{

std::atomic<bool> abortAnswered{ false };

int32_t AbortAfter( void* data, int32_t event, StatusCallback& )
{
   auto* left = static_cast<int*>( data );
   bool abort = event != StatusCallback::Started && --*left <= 0;
   if ( abort )
      abortAnswered = true;
   return abort ? 1 : 0;
}

int32_t Count( void* data, int32_t, StatusCallback& )
{
   ++*static_cast<int*>( data );
   return 0;
}

} // namespace

TEST( Parallel, EveryItemOnceWhateverTheThreadCount )
{
   for ( int threads : { 1, 2, 8 } )
   {
      qor::ThreadCountScope scope( threads );
      std::vector<std::atomic<int>> hits( 10007 );
      EXPECT_TRUE( qor::ParallelFor( int64_t( hits.size() ), [&]( int64_t a, int64_t b ) {
         for ( int64_t i = a; i < b; ++i )
            hits[size_t( i )]++;
      } ) );
      for ( auto& h : hits )
         ASSERT_EQ( h.load(), 1 );
   }
}

TEST( Parallel, MonitoredRunReportsEveryRowOnTheCallingThread )
{
   for ( int threads : { 1, 4 } )
   {
      qor::ThreadCountScope scope( threads );
      Image image( 64, 1000, 1 );
      int calls = 0;
      image.Status().SetCallback( &Count, &calls );
      image.BeginTask( "Rows", 1000 * 64 );
      image.ParallelRows( 1000, []( int64_t, int64_t ) {}, 64 );
      EXPECT_EQ( image.Status().Count(), 1000 * 64 );
      // Fast strips may all complete between two wake-ups of a coordinating thread; on one thread every strip
      // reports.
      EXPECT_GT( calls, threads == 1 ? 2 : 1 );
   }
}

TEST( Parallel, AbortStopsTheRemainingStripsAndThrows )
{
   for ( int threads : { 1, 4 } )
   {
      qor::ThreadCountScope scope( threads );
      Image image( 8, 4096, 1 );
      int left = 1;
      image.Status().SetCallback( &AbortAfter, &left );
      image.BeginTask( "Rows", 4096 );
      std::atomic<int64_t> rows{ 0 };
      abortAnswered = false;
      // The second half waits for the abort answer, so that it cannot all be done before the answer comes.
      auto body = [&]( int64_t a, int64_t b ) {
         for ( int i = 0; a >= 2048 && !abortAnswered && i < 5000; ++i )
            std::this_thread::sleep_for( std::chrono::milliseconds( 1 ) );
         rows += b - a;
      };
      EXPECT_THROW( image.ParallelRows( 4096, body ), Image::AbortProcessEvent );
      EXPECT_LT( rows.load(), 4096 );
   }
}

TEST( Parallel, AbortAtStartRunsNothing )
{
   Image image( 8, 100, 1 );
   int left = 0;
   image.Status().SetCallback( []( void*, int32_t, StatusCallback& ) -> int32_t { return 1; }, &left );
   image.BeginTask( "Rows", 100 );
   bool ran = false;
   EXPECT_THROW( image.ParallelRows( 100, [&]( int64_t, int64_t ) { ran = true; } ), Image::AbortProcessEvent );
   EXPECT_FALSE( ran );
}

TEST( Parallel, ExceptionsReachTheCaller )
{
   qor::ThreadCountScope scope( 4 );
   EXPECT_THROW( qor::ParallelFor( 1000,
                                   []( int64_t a, int64_t ) {
                                      if ( a > 500 )
                                         throw std::runtime_error( "boom" );
                                   } ),
                 std::runtime_error );
   // The pool is still usable afterwards.
   std::atomic<int64_t> n{ 0 };
   qor::ParallelFor( 1000, [&]( int64_t a, int64_t b ) { n += b - a; } );
   EXPECT_EQ( n.load(), 1000 );
}

TEST( Parallel, AMonitorThatThrowsStopsTheWorkersBeforeTheCallReturns )
{
   qor::ThreadCountScope scope( 4 );
   Image image( 8, 4096, 1 );
   int left = 0;
   image.Status().SetCallback(
      []( void*, int32_t event, StatusCallback& ) -> int32_t
      {
         if ( event != StatusCallback::Started )
            throw std::runtime_error( "monitor failed" );
         return 0;
      },
      &left );
   image.BeginTask( "Rows", 4096 );
   std::atomic<int> running{ 0 };
   auto body = [&]( int64_t, int64_t ) {
      ++running;
      std::this_thread::sleep_for( std::chrono::milliseconds( 2 ) );
      --running;
   };
   EXPECT_THROW( image.ParallelRows( 4096, body ), std::runtime_error );
   // No strip may still run on a job that is gone.
   EXPECT_EQ( running.load(), 0 );
   image.Status().SetCallback( nullptr, nullptr );
   std::atomic<int64_t> n{ 0 };
   qor::ParallelFor( 1000, [&]( int64_t a, int64_t b ) { n += b - a; } );
   EXPECT_EQ( n.load(), 1000 );
}

namespace
{

// The status dialog's function pumps the GUI's event queue; an event handler may then run a loop of its own.
struct NestedLoops
{
   std::thread::id caller;
   int nestedRuns = 0;
   bool allInline = true;
   bool everyItemOnce = true;
};

int32_t RunANestedLoop( void* data, int32_t event, StatusCallback& )
{
   auto* state = static_cast<NestedLoops*>( data );
   if ( event == StatusCallback::Started )
      return 0;
   std::vector<int> hits( 997, 0 );
   Image other( 4, 997, 1 );
   int otherCalls = 0;
   other.Status().SetCallback( &Count, &otherCalls );
   other.BeginTask( "Nested", 997 );
   for ( StatusCallback* monitor : { static_cast<StatusCallback*>( nullptr ), &other.Status() } )
   {
      std::fill( hits.begin(), hits.end(), 0 );
      bool finished = qor::ParallelFor( int64_t( hits.size() ), [&]( int64_t a, int64_t b ) {
         if ( std::this_thread::get_id() != state->caller )
            state->allInline = false;
         for ( int64_t i = a; i < b; ++i )
            ++hits[size_t( i )];
      }, monitor );
      state->everyItemOnce = state->everyItemOnce && finished &&
                             std::all_of( hits.begin(), hits.end(), []( int h ) { return h == 1; } );
   }
   state->everyItemOnce = state->everyItemOnce && other.Status().Count() == 997;
   ++state->nestedRuns;
   return 0;
}

} // namespace

TEST( Parallel, ALoopStartedFromTheMonitorOfAnotherRunsInlineOnTheCallingThread )
{
   qor::ThreadCountScope scope( 4 );
   Image image( 8, 2048, 1 );
   NestedLoops state;
   state.caller = std::this_thread::get_id();
   image.Status().SetCallback( &RunANestedLoop, &state );
   image.BeginTask( "Rows", 2048 );
   std::atomic<int64_t> rows{ 0 };
   image.ParallelRows( 2048, [&]( int64_t a, int64_t b ) {
      std::this_thread::sleep_for( std::chrono::microseconds( 200 ) );
      rows += b - a;
   } );
   EXPECT_EQ( rows.load(), 2048 );
   EXPECT_GT( state.nestedRuns, 0 );
   EXPECT_TRUE( state.allInline );
   EXPECT_TRUE( state.everyItemOnce );

   // The pool is free again for the next loop.
   std::atomic<int64_t> n{ 0 };
   qor::ParallelFor( 1000, [&]( int64_t a, int64_t b ) { n += b - a; } );
   EXPECT_EQ( n.load(), 1000 );
}
