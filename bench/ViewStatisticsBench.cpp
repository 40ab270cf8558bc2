// The caches of a view: 65536-bin histograms and statistics (with and without the exact median) of the grey and
// RGB sky images.

#include "BenchCommon.h"

#include "windows/image/ImageWindow.h"

namespace
{

struct Registration
{
   Registration()
   {
      for ( const qor::Image* image : { &bench::GreyInput(), &bench::RgbInput() } )
      {
         const std::string size = bench::SizeText( *image );
         bench::Register( "hist65536", size,
                          [image]
                          {
                             TImageWindow::HistogramData histograms;
                             TImageWindow::View::ComputeHistograms( *image, 65536, histograms );
                             benchmark::DoNotOptimize( histograms.peaks );
                          } );
         bench::Register( "stats", size,
                          [image]
                          {
                             TImageWindow::StatisticsData statistics;
                             TImageWindow::View::ComputeStatistics( *image, statistics );
                             benchmark::DoNotOptimize( statistics.median );
                          } );
         bench::Register( "stats_nomedian", size,
                          [image]
                          {
                             TImageWindow::StatisticsData statistics;
                             TImageWindow::View::ComputeStatistics( *image, statistics, false );
                             benchmark::DoNotOptimize( statistics.mean );
                          } );
      }
   }
} registration;

} // namespace
