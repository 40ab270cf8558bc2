// Dates as days since 30 December 1899.

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <string>

#include "DateTime.h"

namespace
{

TEST( DateTimeTest, DaysSince1899 )
{
   using namespace std::chrono;
   EXPECT_EQ( qor::DateTime::FromTimePoint( system_clock::time_point(), false ), 25569.0 );
   auto noon2000 = sys_days( year( 2000 ) / 1 / 1 ) + hours( 12 );
   EXPECT_EQ( qor::DateTime::FromTimePoint( noon2000, false ), 36526.5 );
   EXPECT_EQ( qor::DateTime::ToTimePoint( 36526.5 ), noon2000 );
   EXPECT_EQ( qor::DateTime::FromDuration( hours( 6 ) ), 0.25 );
}

TEST( DateTimeTest, LocalTimeAddsTheZoneOffset )
{
   const char* old = std::getenv( "TZ" );
   std::string previous = old ? old : "";
   ::setenv( "TZ", "EST5", 1 ); // five hours west of UTC, no daylight saving
   ::tzset();
   auto noon2000 = std::chrono::sys_days( std::chrono::year( 2000 ) / 1 / 1 ) + std::chrono::hours( 12 );
   double local = qor::DateTime::FromTimePoint( noon2000, true );
   if ( old )
      ::setenv( "TZ", previous.c_str(), 1 );
   else
      ::unsetenv( "TZ" );
   ::tzset();
   EXPECT_DOUBLE_EQ( local, 36526.5 - 5.0 / 24 );
}

} // namespace
