// Views: histograms, statistics, the readout probe, the private clipboard block, the processing history and the
// notifications of views.

#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>

#include "ImageWindowTestSupport.h"
#include "classlib/Parallel.h"
#include "process/ProcessContainer.h"
#include "windows/processing/NotificationRecorder.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ProcessingStatusDialog.h"

using test::ImageWindowTest;

namespace
{

qor::Image* GreyRow( std::initializer_list<float> samples )
{
   auto* image = new qor::Image( int32_t( samples.size() ), 1 );
   std::copy( samples.begin(), samples.end(), image->PixelData( 0 ) );
   return image;
}

// Records the notifications of views, as "event:full identifier".
class Recorder : public test::NotificationRecorder
{
public:
   Recorder() : NotificationRecorder( { "created", "deleted", "renamed", "histograms", "statistics" } ) {}
};

class Step : public Process
{
public:
   explicit Step( int32_t n ) : n( n ) {}
   Step( const Step& source ) : Process( source ), n( source.n ) {}
   std::unique_ptr<Process> Clone() const override { return std::make_unique<Step>( *this ); }
   std::string Id() const override { return "Step"; }
   int32_t n;
};

int32_t StepNumber( const Process* p )
{
   return p != nullptr ? static_cast<const Step*>( p )->n : -1;
}

} // namespace

// ---- Histograms -------------------------------------------------------------------------------------------------

TEST_F( ImageWindowTest, HistogramBinsRoundToEvenAndOutOfRangeSamplesStayInTheHistogram )
{
   const float nan = std::numeric_limits<float>::quiet_NaN();
   TImageWindow* w = Make( GreyRow( { 0.0f, 0.5f, 1.0f, 1.2f, -0.3f, nan, 0.25f } ) );
   Recorder recorder;
   w->mainView->CalculateHistograms( 65536, true );
   const TImageWindow::HistogramData* h = w->mainView->Histograms();
   ASSERT_NE( h, nullptr );
   EXPECT_EQ( h->bins, 65536 );
   EXPECT_EQ( h->counts[0][0], 3 );     // 0, -0.3 and NaN
   EXPECT_EQ( h->counts[0][32768], 1 ); // 32767.5 rounds to even
   EXPECT_EQ( h->counts[0][16384], 1 ); // 16383.75
   EXPECT_EQ( h->counts[0][65535], 2 ); // 1 and 1.2
   EXPECT_EQ( h->peaks[0], 3 );
   EXPECT_EQ( h->counts[1], nullptr ); // a grey image fills one channel only
   EXPECT_EQ( h->counts[2], nullptr );
   EXPECT_EQ( recorder.events, std::vector<std::string>{ "histograms:Image01" } );

   // A small bin count: 0.5 * 3 = 1.5 rounds to 2.
   w->mainView->CalculateHistograms( 4, false );
   EXPECT_EQ( w->mainView->Histograms()->counts[0][2], 1 );
}

TEST_F( ImageWindowTest, HistogramsAndStatisticsDoNotDependOnTheThreadCount )
{
   TImageWindow* w = Make( RandomImage( 517, 389, 3, qor::ColorSpace::RGB, 11 ) );
   TImageWindow::View* v = w->mainView;
   std::vector<int32_t> serial[3];
   float serialStats[7][3];
   auto snapshotStats = [&]( float out[7][3] )
   {
      const TImageWindow::StatisticsData* s = v->Statistics();
      const float* fields[] = { s->mean, s->median, s->stdDev, s->avgDev, s->variance, s->minimum, s->maximum };
      for ( int i = 0; i < 7; ++i )
         std::memcpy( out[i], fields[i], sizeof( out[i] ) );
   };
   {
      qor::ThreadCountScope one( 1 );
      v->CalculateHistograms( 65536, false );
      v->CalculateStatistics( false );
      for ( int c = 0; c < 3; ++c )
         serial[c].assign( v->Histograms()->counts[c].get(), v->Histograms()->counts[c].get() + 65536 );
      snapshotStats( serialStats );
   }
   {
      qor::ThreadCountScope all( 0 );
      v->CalculateHistograms( 65536, false );
      v->CalculateStatistics( false );
   }
   int64_t total = 0;
   for ( int c = 0; c < 3; ++c )
   {
      EXPECT_TRUE( std::equal( serial[c].begin(), serial[c].end(), v->Histograms()->counts[c].get() ) ) << c;
      for ( int32_t n : serial[c] )
         total += n;
   }
   EXPECT_EQ( total, 517 * 389 * 3 );
   float parallelStats[7][3];
   snapshotStats( parallelStats );
   EXPECT_EQ( std::memcmp( serialStats, parallelStats, sizeof( serialStats ) ), 0 );
}

TEST_F( ImageWindowTest, CachesAreComputedInsideATaskOfTheStatusDialog )
{
   TImageWindow* w = Make( RandomImage( 300, 200, 1, qor::ColorSpace::Gray ) );
   std::vector<std::string> tasks; // the current task at each progress event
   StatusDialog().progressHook = [&]( int32_t )
   {
      TProcessingStatusDialog& d = StatusDialog();
      if ( tasks.empty() || tasks.back() != d.tasks[size_t( d.currentTask )].text )
         tasks.push_back( d.tasks[size_t( d.currentTask )].text );
   };
   w->mainView->CalculateHistograms( 65536, false );
   w->mainView->CalculateStatistics( false );
   EXPECT_EQ( tasks,
              ( std::vector<std::string>{ "Calculating Histograms: Image01", "Calculating Statistics:Image01" } ) );
   EXPECT_FALSE( StatusDialog().IsOpen() );
   EXPECT_FALSE( w->mainView->GetImage().IsMonitored() );
   StatusDialog().progressHook = nullptr;
}

// ---- Statistics -------------------------------------------------------------------------------------------------

TEST_F( ImageWindowTest, StatisticsOfKnownSamples )
{
   TImageWindow* w = Make( GreyRow( { 0.1f, 0.4f, 0.2f, 0.3f } ) );
   Recorder recorder;
   w->mainView->CalculateStatistics( true );
   const TImageWindow::StatisticsData* s = w->mainView->Statistics();
   ASSERT_NE( s, nullptr );
   EXPECT_NEAR( s->mean[0], 0.25, 1e-7 );
   EXPECT_FLOAT_EQ( s->median[0], 0.3f ); // the upper middle value for an even count
   EXPECT_FLOAT_EQ( s->minimum[0], 0.1f );
   EXPECT_FLOAT_EQ( s->maximum[0], 0.4f );
   EXPECT_NEAR( s->avgDev[0], 0.1, 1e-7 );
   EXPECT_NEAR( s->variance[0], 0.05 / 3, 1e-7 );
   EXPECT_NEAR( s->stdDev[0], std::sqrt( 0.05 / 3 ), 1e-7 );
   EXPECT_EQ( recorder.events, std::vector<std::string>{ "statistics:Image01" } );
}

TEST_F( ImageWindowTest, StatisticsOfASingleSampleHaveNoSpreadAndNaNSamplesAreLeftOut )
{
   TImageWindow* one = Make( GreyRow( { 0.7f } ) );
   one->mainView->CalculateStatistics( false );
   const TImageWindow::StatisticsData* s = one->mainView->Statistics();
   EXPECT_FLOAT_EQ( s->mean[0], 0.7f );
   EXPECT_EQ( s->variance[0], 0.0f );
   EXPECT_EQ( s->stdDev[0], 0.0f );
   EXPECT_FLOAT_EQ( s->median[0], 0.7f );

   const float nan = std::numeric_limits<float>::quiet_NaN();
   TImageWindow* holes = Make( GreyRow( { nan, 0.2f, nan, 0.4f, 1.5f } ) );
   holes->mainView->CalculateStatistics( false );
   s = holes->mainView->Statistics();
   EXPECT_NEAR( s->mean[0], 0.7, 1e-6 );
   EXPECT_FLOAT_EQ( s->median[0], 0.4f );
   EXPECT_FLOAT_EQ( s->minimum[0], 0.2f );
   EXPECT_FLOAT_EQ( s->maximum[0], 1.5f );
}

TEST_F( ImageWindowTest, StatisticsOfWideRowsWithHolesMatchAReferenceInLongDouble )
{
   // Rows are summed several samples at a time with the samples past the last whole group one by one: widths
   // below, at and beyond a group, NaN holes at every position of a group, and the extremes inside groups and in
   // the remainders.
   std::mt19937 random( 7 );
   std::uniform_real_distribution<float> spread( -0.5f, 1.5f );
   for ( int32_t width : { 3, 8, 16, 37, 1000 } )
   {
      auto* image = new qor::Image( width, 5 );
      std::vector<float> numbers;
      for ( int64_t i = 0; i < image->NumberOfPixels(); ++i )
      {
         // Row 1 has no hole.
         float v = i % 9 == 2 && i / width != 1 ? std::numeric_limits<float>::quiet_NaN() : spread( random );
         if ( i == image->NumberOfPixels() / 3 )
            v = -4.0f;
         if ( i == image->NumberOfPixels() - 1 )
            v = 6.0f;
         image->PixelData( 0 )[i] = v;
         if ( !std::isnan( v ) )
            numbers.push_back( v );
      }
      long double sum = 0;
      for ( float v : numbers )
         sum += v;
      const long double n = numbers.size();
      const float mean = float( sum / n );
      long double absSum = 0, squareSum = 0;
      for ( float v : numbers )
      {
         absSum += std::fabs( (long double)v - mean );
         squareSum += ( (long double)v - mean ) * ( (long double)v - mean );
      }
      TImageWindow* w = Make( image );
      w->mainView->CalculateStatistics( false );
      const TImageWindow::StatisticsData* s = w->mainView->Statistics();
      EXPECT_EQ( s->mean[0], mean ) << width;
      EXPECT_FLOAT_EQ( s->avgDev[0], float( absSum / n ) ) << width;
      EXPECT_FLOAT_EQ( s->variance[0], float( squareSum / ( n - 1 ) ) ) << width;
      EXPECT_EQ( s->minimum[0], -4.0f ) << width;
      EXPECT_EQ( s->maximum[0], 6.0f ) << width;
   }
}

TEST_F( ImageWindowTest, TheMedianIsTheExactUpperMiddleSampleForAnySigns )
{
   // Samples of both signs, repeated values, infinities and NaN holes: the median is the sample of rank n/2 of
   // the sorted numbers.
   std::mt19937 random( 3 );
   std::uniform_real_distribution<float> spread( -2.0f, 3.0f );
   for ( int32_t size : { 1, 2, 7, 64, 1001 } )
   {
      auto* image = new qor::Image( size, 3 );
      std::vector<float> numbers;
      for ( int64_t i = 0; i < image->NumberOfPixels(); ++i )
      {
         float v = i % 11 == 5   ? std::numeric_limits<float>::quiet_NaN()
                   : i % 13 == 4 ? -std::numeric_limits<float>::infinity()
                   : i % 7 == 3  ? 0.5f
                                 : spread( random );
         image->PixelData( 0 )[i] = v;
         if ( !std::isnan( v ) )
            numbers.push_back( v );
      }
      std::sort( numbers.begin(), numbers.end() );
      TImageWindow* w = Make( image );
      w->mainView->CalculateStatistics( false );
      EXPECT_EQ( w->mainView->Statistics()->median[0], numbers[numbers.size() / 2] ) << size;
      EXPECT_EQ( w->mainView->Statistics()->minimum[0], numbers.front() ) << size;
   }
}

// Large channels take the median from a band bracketed by a regular sample of the channel, with the two histogram
// passes behind it when the band misses the middle rank or holds too much. Each way gives the sample of rank n/2
// in the order of the values (-0 before +0, bit for bit), NaN left out, on one thread and on all of them.
TEST( ViewStatistics, TheMedianOfLargeChannelsIsExactWhicheverWayItIsFound )
{
   constexpr int32_t width = 1024, height = 600;
   const int64_t pixels = int64_t( width ) * height;
   const int64_t step = pixels / 32768; // the positions the band's sample is taken from
   auto make = [&]( auto value )
   {
      qor::Image image( width, height );
      std::mt19937 random( 5 );
      for ( int64_t i = 0; i < pixels; ++i )
         image.PixelData( 0 )[i] = value( i, random );
      return image;
   };
   const float nan = std::numeric_limits<float>::quiet_NaN();
   std::uniform_real_distribution<float> spread( -1.0f, 1.0f );
   const qor::Image cases[] = {
       // Both signs, zeros of both signs around the middle, infinities and NaN holes.
       make( [&]( int64_t i, std::mt19937& r )
             {
                return i % 11 == 5   ? nan
                       : i % 17 == 1 ? -0.0f
                       : i % 19 == 2 ? 0.0f
                       : i % 23 == 3 ? std::numeric_limits<float>::infinity()
                                     : spread( r ) * 1e-3f;
             } ),
       // A sky: a background level and its noise.
       make( [&]( int64_t, std::mt19937& r ) { return 0.1f + 0.01f * spread( r ); } ),
       // Most samples one value: the band would take them all.
       make( [&]( int64_t i, std::mt19937& r ) { return i % 10 < 7 ? 0.25f : spread( r ); } ),
       // The sampled positions unlike the rest: the band misses the middle.
       make( [&]( int64_t i, std::mt19937& r ) { return i % step == step / 2 ? -5.0f : spread( r ); } ),
       // A tenth of the samples one value just below the middle, at the band's lower limit: the band takes them all
       // and holds more than a strip of rows gathers before it hands its keys over, but not too much.
       make( [&]( int64_t i, std::mt19937& r ) { return i % 11 == 3 ? -0.11f : spread( r ); } ),
   };
   for ( const qor::Image& image : cases )
   {
      std::vector<uint32_t> keys;
      for ( int64_t i = 0; i < pixels; ++i )
         if ( const float v = image.PixelData( 0 )[i]; !std::isnan( v ) )
         {
            const uint32_t u = std::bit_cast<uint32_t>( v );
            keys.push_back( ( u & 0x80000000u ) != 0 ? ~u : ( u | 0x80000000u ) );
         }
      std::nth_element( keys.begin(), keys.begin() + keys.size() / 2, keys.end() );
      const uint32_t key = keys[keys.size() / 2];
      const float expected = std::bit_cast<float>( ( key & 0x80000000u ) != 0 ? ( key & 0x7FFFFFFFu ) : ~key );
      for ( int32_t threads : { 1, 0 } )
      {
         qor::ThreadCountScope scope( threads );
         TImageWindow::StatisticsData statistics;
         TImageWindow::View::ComputeStatistics( image, statistics );
         EXPECT_EQ( std::bit_cast<uint32_t>( statistics.median[0] ), std::bit_cast<uint32_t>( expected ) )
             << "case " << &image - cases << " threads " << threads << ": " << statistics.median[0] << " for "
             << expected;
      }
   }
}

TEST_F( ImageWindowTest, AModificationDropsEveryCacheOfTheWindow )
{
   TImageWindow* w = Make( RandomImage( 30, 20, 1, qor::ColorSpace::Gray ) );
   TImageWindow::Preview* p = w->CreatePreview( "", 0, 0, 10, 10 );
   w->mainView->CalculateHistograms( 256, false );
   p->CalculateStatistics( false );
   w->mainView->Modified( true );
   EXPECT_EQ( w->mainView->Histograms(), nullptr );
   EXPECT_EQ( p->Statistics(), nullptr );
   EXPECT_TRUE( w->mainView->IsModified() );
   EXPECT_FALSE( p->IsModified() );

   p->CalculateHistograms( 256, false );
   EXPECT_EQ( w->DiscardHistograms( false ), 1 );
}

// ---- Readout ----------------------------------------------------------------------------------------------------

TEST_F( ImageWindowTest, ReadoutProbesAreClippedAtTheEdgesAndMinimumAndMaximumStartFromTheFirstSample )
{
   TMainWindow main;
   auto* image = new qor::Image( 6, 6 );
   for ( int32_t y = 0; y < 6; ++y )
      for ( int32_t x = 0; x < 6; ++x )
         image->Pixel( x, y ) = float( y * 6 + x ) / 100;
   TImageWindow* w = Make( image );
   TImageWindow::View* v = w->mainView;

   main.readoutOptions.probeSize = 1;
   EXPECT_FLOAT_EQ( v->ReadoutValue( 0, 2, 3 ), 0.20f );

   main.readoutOptions.probeSize = 5;
   main.readoutOptions.mode = 0; // the mean of columns 0..2, rows 0..2
   EXPECT_NEAR( v->ReadoutValue( 0, 0, 0 ), ( 0 + 1 + 2 + 6 + 7 + 8 + 12 + 13 + 14 ) / 900.0, 1e-7 );
   main.readoutOptions.mode = 1; // the median: rank 4 of the nine
   EXPECT_FLOAT_EQ( v->ReadoutValue( 0, 0, 0 ), 0.07f );

   main.readoutOptions.probeSize = 3;
   const struct
   {
      float fill;
      uint8_t mode;
      float expected;
   } cases[] = { { 0, 3, 0 }, { 1, 2, 1 }, { 2.5f, 2, 2.5f }, { -0.5f, 3, -0.5f } };
   for ( const auto& c : cases )
   {
      image->Fill( 0, c.fill );
      main.readoutOptions.mode = c.mode;
      EXPECT_EQ( v->ReadoutValue( 0, 3, 3 ), c.expected ) << c.fill << " mode " << int( c.mode );
   }
}

// ---- Clipboard --------------------------------------------------------------------------------------------------

TEST_F( ImageWindowTest, TheClipboardBlockHoldsTheHeaderThePlanesAndZeroedPadding )
{
   auto* image = new qor::Image( 2, 1, 4, qor::ColorSpace::RGB ); // three colour channels and one alpha
   const float samples[4][2] = { { 0.1f, 0.2f }, { 0.3f, 0.4f }, { 0.5f, 0.6f }, { 0.7f, 0.8f } };
   for ( int32_t c = 0; c < 4; ++c )
      std::copy( samples[c], samples[c] + 2, image->PixelData( c ) );
   TImageWindow* w = Make( image );

   QByteArray block = w->mainView->ClipboardData();
   ASSERT_EQ( block.size(), 16 + 4 * 2 * 4 + 3 );
   int32_t header[4];
   std::memcpy( header, block.constData(), 16 );
   EXPECT_EQ( header[0], 2 );
   EXPECT_EQ( header[1], 1 );
   EXPECT_EQ( header[2], 4 );
   EXPECT_EQ( header[3], qor::ColorSpace::RGB );
   EXPECT_EQ( std::memcmp( block.constData() + 16, samples, sizeof( samples ) ), 0 );
   EXPECT_EQ( block.right( 3 ), QByteArray( 3, '\0' ) );

   w->mainView->CopyToClipboard();
   const QMimeData* data = QGuiApplication::clipboard()->mimeData();
   ASSERT_NE( data, nullptr );
   EXPECT_EQ( data->data( "application/x-lumenforge-raw-image" ), block );
   QGuiApplication::clipboard()->clear();
}

// ---- History ----------------------------------------------------------------------------------------------------

TEST_F( ImageWindowTest, HistoryUndoRedoAndANewRunThatDropsTheRedoInstance )
{
   TImageWindow* w = Make( new qor::Image( 4, 4 ) );
   TImageWindow::View* v = w->mainView;
   EXPECT_EQ( v->LastProcess(), nullptr );
   v->AddToHistory( std::make_unique<Step>( 1 ) );
   v->AddToHistory( std::make_unique<Step>( 2 ) );
   EXPECT_EQ( StepNumber( v->LastProcess() ), 2 );
   EXPECT_EQ( v->LastProcess()->owner, &v->History() );

   v->MoveLastProcessToRedo(); // undo
   EXPECT_EQ( StepNumber( v->LastProcess() ), 1 );
   EXPECT_EQ( StepNumber( v->RedoProcess() ), 2 );
   EXPECT_EQ( v->RedoProcess()->owner, nullptr );
   v->MoveRedoProcessToHistory(); // redo
   EXPECT_EQ( StepNumber( v->LastProcess() ), 2 );
   EXPECT_EQ( v->RedoProcess(), nullptr );

   v->MoveLastProcessToRedo();
   v->AddToHistory( std::make_unique<Step>( 3 ) ); // a new run after an undo: no redo any more
   EXPECT_EQ( v->RedoProcess(), nullptr );
   EXPECT_EQ( v->History().instances.Length(), 2u );

   v->ClearHistory();
   EXPECT_EQ( v->LastProcess(), nullptr );
}

TEST_F( ImageWindowTest, CreateImageWindowTakesTheHistoryGivenAndAnnouncesTheView )
{
   Recorder recorder;
   auto* history = new ProcessContainer;
   auto* step = new Step( 9 );
   step->owner = history;
   history->instances.Add( step );
   TImageWindow* w = CreateImageWindow( nullptr, new qor::Image( 4, 4 ), "M31", history );
   Track( w );
   EXPECT_EQ( &w->mainView->History(), history );
   EXPECT_EQ( StepNumber( w->mainView->LastProcess() ), 9 );
   EXPECT_EQ( recorder.events, std::vector<std::string>{ "created:M31" } );
}

// ---- Notifications ----------------------------------------------------------------------------------------------

TEST_F( ImageWindowTest, RenamingAnImageRenamesItsPreviewsAndDestructionAnnouncesPreviewsFirst )
{
   TImageWindow* w = Make( new qor::Image( 40, 40 ) );
   w->CreatePreview( "A", 0, 0, 10, 10 );
   w->CreatePreview( "B", 10, 10, 10, 10 );
   Recorder recorder;
   w->mainView->SetIdentifier( "M42" );
   EXPECT_EQ( recorder.events, ( std::vector<std::string>{ "renamed:M42", "renamed:M42->A", "renamed:M42->B" } ) );
   EXPECT_TRUE( w->Caption().contains( "M42" ) );

   recorder.events.clear();
   delete w;
   EXPECT_EQ( recorder.events, ( std::vector<std::string>{ "deleted:M42->A", "deleted:M42->B", "deleted:M42" } ) );
   EXPECT_TRUE( PreviewList.empty() );
}
