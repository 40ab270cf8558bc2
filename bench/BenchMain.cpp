// main() of every benchmark: runs the registered operations and prints the peers' line format.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace
{

// Collects every repetition's wall time and prints median and minimum per measurement at the end.
class PeerLineReporter : public benchmark::BenchmarkReporter
{
public:
   bool ReportContext( const Context& ) override { return true; }

   void ReportRuns( const std::vector<Run>& runs ) override
   {
      for ( const Run& run : runs )
      {
         if ( run.run_type != Run::RT_Iteration || run.error_occurred )
            continue;
         std::string name = run.benchmark_name();
         if ( times.find( name ) == times.end() )
            order.push_back( name );
         times[name].push_back( run.real_accumulated_time * 1000.0 / double( run.iterations ) );
      }
   }

   void Finalize() override
   {
      for ( const std::string& name : order )
      {
         std::vector<double> t = times[name];
         std::sort( t.begin(), t.end() );
         double median = t.size() % 2 ? t[t.size() / 2] : ( t[t.size() / 2 - 1] + t[t.size() / 2] ) / 2;
         // name is "op=<op>/size=<size>/threads=<n>[/repeats:k]"
         std::string op = Field( name, "op=" ), size = Field( name, "size=" ), threads = Field( name, "threads=" );
         std::printf( "peer=lumenforge-t%s op=%s size=%s ms_median=%.3f ms_min=%.3f threads=%s reps=%zu\n",
                      threads.c_str(), op.c_str(), size.c_str(), median, t.front(), threads.c_str(), t.size() );
      }
      std::fflush( stdout );
   }

private:
   static std::string Field( const std::string& name, const std::string& key )
   {
      size_t p = name.find( key );
      if ( p == std::string::npos )
         return "?";
      p += key.size();
      size_t e = name.find( '/', p );
      return name.substr( p, e == std::string::npos ? std::string::npos : e - p );
   }

   std::map<std::string, std::vector<double>> times;
   std::vector<std::string> order;
};

} // namespace

int main( int argc, char** argv )
{
   benchmark::Initialize( &argc, argv );
   PeerLineReporter reporter;
   benchmark::RunSpecifiedBenchmarks( &reporter );
   benchmark::Shutdown();
   return 0;
}
