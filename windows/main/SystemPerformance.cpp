#include "windows/main/SystemPerformance.h"

#include <algorithm>
#include <random>
#include <vector>

#include "classlib/Math.h"

float SystemPerformanceIndex = 0;

namespace
{

// The results of the arithmetic are never used; they go here so that the work is not optimised away.
volatile float sink = 0;

} // namespace

void SystemPerformanceRound()
{
   static std::mt19937 random( std::random_device{}() );
   std::uniform_int_distribution<int> draw( 0, 9999 );
   auto unit = [&] { return float( draw( random ) ) * 0.0001f; };

   for ( int i = 0; i < 1000; ++i )
   {
      const float x = unit();
      const float y = unit();
      const float g = qor::Pow( y, x );
      float s, c;
      qor::SinCos( g * 6.2831855f, s, c );
      // The square root of a negative angle is not a number: the round goes on through it.
      const float a = std::sqrt( qor::ArcTan2( s, c ) );
      const float g2 = qor::Pow( a, 1.99f );
      float s2, c2;
      qor::SinCos( g2, s2, c2 );
      sink = s2 + c2;
   }

   std::vector<float> values;
   for ( int i = 0; i < 10000; ++i )
      values.push_back( unit() );
   std::sort( values.begin(), values.end() );
   sink = values.front();
}

int32_t CountSystemPerformanceRounds( std::chrono::nanoseconds budget )
{
   const auto start = std::chrono::steady_clock::now();
   for ( int32_t count = 0;; ++count )
   {
      SystemPerformanceRound();
      if ( std::chrono::steady_clock::now() - start >= budget )
         return count;
   }
}

float SystemPerformanceIndexOf( int32_t rounds )
{
   return float( rounds ) / 565.0f;
}

void MeasureSystemPerformance()
{
   SystemPerformanceIndex = SystemPerformanceIndexOf( CountSystemPerformanceRounds( std::chrono::seconds( 2 ) ) );
}
