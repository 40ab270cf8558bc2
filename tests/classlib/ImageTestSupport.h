#ifndef LF_IMAGE_TEST_SUPPORT_H
#define LF_IMAGE_TEST_SUPPORT_H

// Small helpers for tests of pixel operations: random images, bitwise comparison, and monitor functions that
// count or record events and can answer with an abort.

#include "Image.h"
#include "StatusCallback.h"

#include <cstdint>
#include <cstring>
#include <random>
#include <vector>

namespace test
{

// An image of uniformly distributed samples in [low, high), the same for the same seed.
inline qor::Image RandomImage( int32_t width, int32_t height, int32_t channels, int32_t colorSpace, uint32_t seed,
                               float low = 0.0f, float high = 1.0f )
{
   qor::Image image( width, height, channels, colorSpace );
   std::mt19937 rng( seed );
   std::uniform_real_distribution<float> u( low, high );
   for ( int32_t c = 0; c < channels; ++c )
      for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
         image[c][i] = u( rng );
   return image;
}

// The border rules of the box filters, written out plainly: columns mirror about the edge column without repeating it; rows above
// mirror about the top edge repeating row 0; rows below repeat the last row. Folded for images smaller than the box.
inline int ColumnOf( int x, int w )
{
   while ( x < 0 || x >= w )
   {
      if ( w == 1 )
         return 0;
      x = x < 0 ? -x : 2 * ( w - 1 ) - x;
   }
   return x;
}

inline int RowOf( int y, int h )
{
   if ( y >= h )
      return h - 1;
   while ( y < 0 )
   {
      y = -y - 1;
      if ( y >= h )
         y = 2 * h - 1 - y;
   }
   return y;
}

// Same geometry and the same bits in every sample of every channel.
inline bool SamePixels( const qor::Image& a, const qor::Image& b )
{
   if ( a.Width() != b.Width() || a.Height() != b.Height() || a.NumberOfChannels() != b.NumberOfChannels() )
      return false;
   for ( int32_t c = 0; c < a.NumberOfChannels(); ++c )
      if ( std::memcmp( a[c], b[c], size_t( a.NumberOfPixels() ) * sizeof( float ) ) != 0 )
         return false;
   return true;
}

// Connect with image.Status().SetCallback( &MonitorProbe::Callback, &probe ). Counts progress and done events and
// answers the abortAt-th progress event (counted from 1; 0: never) with an abort request.
struct MonitorProbe
{
   int abortAt = 0;
   int progress = 0;
   int done = 0;

   static int32_t Callback( void* data, int32_t event, qor::StatusCallback& )
   {
      auto* probe = static_cast<MonitorProbe*>( data );
      if ( event == qor::StatusCallback::Done )
         ++probe->done;
      return event == qor::StatusCallback::Progress && ++probe->progress == probe->abortAt ? 1 : 0;
   }
};

// Connect with image.Status().SetCallback( &EventRecorder::Callback, &recorder ). Records every event and the
// monitor's count at the last one; answers the event of index abortAt (counted from 0; -1: never) with an abort
// request.
struct EventRecorder
{
   std::vector<int> events;
   int64_t lastCount = 0;
   int abortAt = -1;

   static int32_t Callback( void* data, int32_t event, qor::StatusCallback& monitor )
   {
      auto* self = static_cast<EventRecorder*>( data );
      self->events.push_back( event );
      self->lastCount = monitor.Count();
      return int( self->events.size() ) - 1 == self->abortAt ? 1 : 0;
   }
};

} // namespace test

#endif
