#ifndef QOR_DATE_TIME_H
#define QOR_DATE_TIME_H

// Dates and times as the program stores them: a double counting days since 30 December 1899, 00:00, with the
// time of day as the fraction (1.5 is 31 December 1899, 12:00). Process instances keep their start time in local
// time this way and their durations as differences of such values, in days.

#include <chrono>
#include <cmath>
#include <cstdint>
#include <ctime>

namespace qor
{

class DateTime
{
public:
   // Days from 1899-12-30 to the Unix epoch, 1970-01-01.
   static constexpr double UnixEpoch = 25569.0;
   static constexpr double SecondsPerDay = 86400.0;

   // The local date and time now, to the millisecond.
   static double Now() { return FromTimePoint( std::chrono::system_clock::now(), true ); }

   // A point in time as a date value: in local time with local set, else in UTC.
   static double FromTimePoint( std::chrono::system_clock::time_point t, bool local )
   {
      using namespace std::chrono;
      int64_t ms = duration_cast<milliseconds>( t.time_since_epoch() ).count();
      if ( local )
         ms += 1000 * LocalOffsetSeconds( t );
      return UnixEpoch + static_cast<double>( ms ) / ( 1000 * SecondsPerDay );
   }

   // A date value (UTC) as a point in time, to the millisecond.
   static std::chrono::system_clock::time_point ToTimePoint( double days )
   {
      using namespace std::chrono;
      auto ms = static_cast<int64_t>( std::llround( ( days - UnixEpoch ) * SecondsPerDay * 1000 ) );
      return system_clock::time_point( duration_cast<system_clock::duration>( milliseconds( ms ) ) );
   }

   // A duration as a date difference (days).
   template <typename Rep, typename Period>
   static double FromDuration( std::chrono::duration<Rep, Period> d )
   {
      return std::chrono::duration<double>( d ).count() / SecondsPerDay;
   }

   // Seconds east of UTC of the local time zone at that moment (daylight saving included).
   static int64_t LocalOffsetSeconds( std::chrono::system_clock::time_point t )
   {
      std::time_t tt = std::chrono::system_clock::to_time_t( t );
      std::tm local{};
      if ( ::localtime_r( &tt, &local ) == nullptr )
         return 0;
      return static_cast<int64_t>( local.tm_gmtoff );
   }
};

} // namespace qor

#endif
