#ifndef QOR_STATUSCALLBACK_H
#define QOR_STATUSCALLBACK_H

#include <cstdint>
#include <string>

namespace qor
{

// The progress monitor embedded in every image.
//
// A long operation calls Initialize(text, total) once, then Advance(n) per unit of work. The monitor calls its
// function about 256 times per task (every `step` items, step = max(1, total/256)), once at the start and once
// more for every Advance that finds the task complete. A nonzero answer is kept in Abort(); the operation tests
// it and throws Image::AbortProcessEvent. All calls happen on the thread that runs the operation.
//
// Counters are 64-bit: a task may count the samples of an image larger than 2^31.
class StatusCallback
{
public:
   enum Event : int32_t
   {
      Started = 0,
      Progress = 1,
      TextChanged = 2,
      Done = 3
   };

   using Function = int32_t ( * )( void* data, int32_t event, StatusCallback& monitor );

   StatusCallback() = default;
   StatusCallback( const StatusCallback& ) = delete;
   StatusCallback& operator=( const StatusCallback& ) = delete;

   // Stores the function and its data. Clearing the function also clears the text and every counter.
   void SetCallback( Function f, void* d );

   // Starts a task: count 0, step max(1, total/256), then the start event.
   void Initialize( const std::string& text, int64_t total );

   // Counts n items done; sends the done event when the count reaches the total, otherwise a progress event
   // every `step` items.
   void Advance( int64_t n );

   // Replaces the text during a task and tells the function so.
   void SetText( const std::string& text );

   bool IsMonitored() const { return function != nullptr; }
   Function Callback() const { return function; }
   void* Data() const { return data; }
   const std::string& Text() const { return text; }
   int64_t Total() const { return total; }
   int64_t Count() const { return count; }
   int64_t Step() const { return step; }
   int64_t Countdown() const { return countdown; }
   int32_t Abort() const { return abort; }
   bool IsAborted() const { return abort != 0; }

private:
   Function function = nullptr;
   void* data = nullptr;
   std::string text;
   int64_t total = 0;
   int64_t count = 0;
   int64_t step = 0;
   int64_t countdown = 0;
   int32_t abort = 0;
};

} // namespace qor

#endif
