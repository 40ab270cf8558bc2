#include "BenchCommon.h"

#include "Parallel.h"

#include <fitsio.h>

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <random>
#include <system_error>
#include <thread>
#include <vector>

namespace bench
{

namespace
{

// Reads a planar float FITS image of the peers' data folder; returns false when it is not there.
bool LoadFits( const std::string& path, qor::Image& image )
{
   fitsfile* f = nullptr;
   int status = 0;
   if ( fits_open_file( &f, path.c_str(), READONLY, &status ) )
      return false;
   int naxis = 0;
   long naxes[3] = { 1, 1, 1 };
   fits_get_img_dim( f, &naxis, &status );
   fits_get_img_size( f, 3, naxes, &status );
   if ( status == 0 )
   {
      int channels = naxis >= 3 ? int( naxes[2] ) : 1;
      image.Allocate( int( naxes[0] ), int( naxes[1] ), channels,
                      channels == 3 ? qor::ColorSpace::RGB : qor::ColorSpace::Gray );
      long n = naxes[0] * naxes[1];
      for ( int c = 0; c < channels && status == 0; ++c )
         fits_read_img( f, TFLOAT, 1 + c * n, n, nullptr, image[c], nullptr, &status );
   }
   int ignored = 0;
   fits_close_file( f, &ignored );
   return status == 0;
}

// A sky like the peers' inputs: gradient, noise and Gaussian stars, clipped to [0,1].
void MakeSky( qor::Image& image, int w, int h, int channels )
{
   image.Allocate( w, h, channels, channels == 3 ? qor::ColorSpace::RGB : qor::ColorSpace::Gray );
   std::mt19937 rng( 12345 );
   std::normal_distribution<float> noise( 0.0f, 0.008f );
   for ( int c = 0; c < channels; ++c )
      for ( int y = 0; y < h; ++y )
      {
         float* row = image.ScanLine( c, y );
         for ( int x = 0; x < w; ++x )
            row[x] = 0.08f + 0.04f * float( x ) / w + 0.03f * float( y ) / h + noise( rng );
      }
   std::uniform_real_distribution<float> ux( 0, float( w ) ), uy( 0, float( h ) ), ua( 0.05f, 0.9f ),
      us( 0.8f, 2.5f );
   for ( int s = 0; s < 5000; ++s )
   {
      float cx = ux( rng ), cy = uy( rng ), a = ua( rng ), sigma = us( rng );
      int r = int( 4 * sigma ) + 1;
      for ( int y = std::max( 0, int( cy ) - r ); y < std::min( h, int( cy ) + r + 1 ); ++y )
         for ( int x = std::max( 0, int( cx ) - r ); x < std::min( w, int( cx ) + r + 1 ); ++x )
         {
            float d2 = ( x - cx ) * ( x - cx ) + ( y - cy ) * ( y - cy );
            float v = a * std::exp( -d2 / ( 2 * sigma * sigma ) );
            for ( int c = 0; c < channels; ++c )
               image.Pixel( x, y, c ) += v * ( 1.0f - 0.1f * c );
         }
   }
   for ( int c = 0; c < channels; ++c )
      for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
         image[c][i] = std::min( 1.0f, std::max( 0.0f, image[c][i] ) );
}

const qor::Image& Input( const char* file, int w, int h, int channels )
{
   auto image = std::make_unique<qor::Image>();
   const char* dir = std::getenv( "BENCH_DATA" );
   if ( dir == nullptr || !LoadFits( std::string( dir ) + "/" + file, *image ) )
      MakeSky( *image, w, h, channels );
   return *image.release(); // lives until the end of the program
}

int Repetitions()
{
   const char* r = std::getenv( "BENCH_REPS" );
   int n = r ? std::atoi( r ) : 7;
   return n > 0 ? n : 7;
}

} // namespace

const qor::Image& GreyInput()
{
   static const qor::Image& image = Input( "grey_4096x4096_f32.fits", 4096, 4096, 1 );
   return image;
}

const qor::Image& RgbInput()
{
   static const qor::Image& image = Input( "rgb_4096x2731_f32.fits", 4096, 2731, 3 );
   return image;
}

const qor::Image& RgbSquareInput()
{
   static const qor::Image& image = []() -> const qor::Image&
   {
      const qor::Image& grey = GreyInput();
      auto* rgb = new qor::Image( grey.Width(), grey.Height(), 3, qor::ColorSpace::RGB ); // lives to the end
      for ( int32_t c = 0; c < 3; ++c )
         for ( int64_t i = 0; i < grey.NumberOfPixels(); ++i )
            ( *rgb )[c][i] = grey[0][i] * ( 1.0f - 0.15f * float( c ) );
      return *rgb;
   }();
   return image;
}

int32_t CoveredPixels( int32_t viewport, int32_t zoom, int32_t side )
{
   const int64_t n = zoom >= 1 ? ( viewport + zoom - 1 ) / zoom : int64_t( viewport ) * -zoom;
   return int32_t( std::min<int64_t>( n, side ) );
}

std::string SizeText( const qor::Image& image )
{
   return std::to_string( image.Width() ) + "x" + std::to_string( image.Height() ) + "x" +
          std::to_string( image.NumberOfChannels() );
}

void Register( const std::string& op, const std::string& size, std::function<void()> run,
               std::function<void()> setup )
{
   int cores = int( std::max( 1u, std::thread::hardware_concurrency() ) );
   for ( int threads : { 1, cores } )
   {
      auto warmed = std::make_shared<bool>( false );
      std::string name = "op=" + op + "/size=" + size + "/threads=" + std::to_string( threads );
      benchmark::RegisterBenchmark( name.c_str(),
                                    [=]( benchmark::State& state ) {
                                       qor::ThreadCountScope scope( threads );
                                       for ( auto _ : state )
                                       {
                                          // Untimed: the warm-up call and the per-repetition set-up.
                                          state.PauseTiming();
                                          if ( !*warmed )
                                          {
                                             if ( setup )
                                                setup();
                                             run();
                                             *warmed = true;
                                          }
                                          if ( setup )
                                             setup();
                                          state.ResumeTiming();
                                          run();
                                       }
                                    } )
         ->Iterations( 1 )
         ->Repetitions( Repetitions() )
         ->UseRealTime()
         ->Unit( benchmark::kMillisecond );
      if ( threads == cores )
         break;
   }
}

} // namespace bench

namespace bench
{

std::string ScratchFile( const std::string& name )
{
   // Removes the files when the program ends, and the folders with what the program put in them (the settings of
   // a benchmark that runs windows); one that cannot be removed stays rather than end the program with an error.
   static struct Scratch
   {
      ~Scratch()
      {
         std::error_code error;
         for ( const std::string& f : files )
            std::filesystem::remove_all( f, error );
      }
      std::vector<std::string> files;
   } scratch;
   std::string path = "/dev/shm/lumenforge-bench-" + std::to_string( ::getpid() ) + "-" + name;
   scratch.files.push_back( path );
   return path;
}

std::string InputFile( const std::string& name, const std::function<void( const std::string& )>& write )
{
   if ( const char* dir = std::getenv( "BENCH_DATA" ) )
   {
      std::string path = std::string( dir ) + "/" + name;
      if ( std::filesystem::exists( path ) )
         return path;
   }
   std::string path = ScratchFile( name );
   write( path );
   return path;
}

} // namespace bench
