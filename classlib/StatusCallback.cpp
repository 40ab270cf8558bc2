#include "StatusCallback.h"

#include <algorithm>

namespace qor
{

void StatusCallback::SetCallback( Function f, void* d )
{
   function = f;
   data = d;
   if ( f == nullptr )
   {
      text.clear();
      total = count = step = countdown = 0;
      abort = 0;
   }
}

void StatusCallback::Initialize( const std::string& t, int64_t n )
{
   text = t;
   total = n;
   count = 0;
   step = std::max<int64_t>( 1, n / 256 );
   countdown = step;
   abort = function ? function( data, Started, *this ) : 0;
}

void StatusCallback::Advance( int64_t n )
{
   count += n;
   if ( count >= total )
   {
      if ( function )
         abort = function( data, Done, *this );
   }
   else
   {
      countdown -= n;
      if ( countdown <= 0 )
      {
         countdown = step;
         if ( function )
            abort = function( data, Progress, *this );
      }
   }
}

void StatusCallback::SetText( const std::string& t )
{
   text = t;
   if ( function )
      abort = function( data, TextChanged, *this );
}

} // namespace qor
