#include "BackgroundModel.h"

#include "Exception.h"
#include "Image.h"
#include "ImageTestSupport.h"
#include "Parallel.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

namespace
{

struct Points
{
   std::vector<float> x, y;
   std::vector<std::vector<float>> f;
   std::vector<const float*> rows;

   qor::BackgroundModelInput Input( int32_t width, int32_t height, int32_t subsample = 1, int32_t order = 2,
                                    float smoothing = 0 )
   {
      rows.clear();
      for ( const std::vector<float>& r : f )
         rows.push_back( r.data() );
      qor::BackgroundModelInput in;
      in.n = int32_t( x.size() );
      in.x = x.data();
      in.y = y.data();
      in.f = rows;
      in.order = order;
      in.smoothing = smoothing;
      in.width = width;
      in.height = height;
      in.subsample = subsample;
      return in;
   }
};

// Points on a jittered side x side grid over the image, one value row per function.
Points Sampled( int side, const std::vector<std::function<double( double, double )>>& functions, uint32_t seed = 5 )
{
   std::mt19937 rng( seed );
   std::uniform_real_distribution<float> jitter( -0.3f, 0.3f );
   Points p;
   p.f.resize( functions.size() );
   for ( int gy = 0; gy < side; ++gy )
      for ( int gx = 0; gx < side; ++gx )
      {
         const float x = ( float( gx ) + 0.5f + jitter( rng ) ) / float( side );
         const float y = ( float( gy ) + 0.5f + jitter( rng ) ) / float( side );
         p.x.push_back( x );
         p.y.push_back( y );
         for ( size_t k = 0; k < functions.size(); ++k )
            p.f[k].push_back( float( functions[k]( x, y ) ) );
      }
   return p;
}

double Plane( double x, double y )
{
   return 0.05 + 0.1 * x + 0.04 * y;
}

double Gradient( double x, double y )
{
   return Plane( x, y ) + 0.03 * ( x - 0.4 ) * ( x - 0.4 ) + 0.02 * x * y;
}

// An independent thin-plate spline: the dense system [K P; P' 0] with K = r^2 ln r^2, solved in long double by
// Gaussian elimination with partial pivoting, evaluated in long double.
struct ReferenceSpline
{
   std::vector<long double> px, py, c;

   ReferenceSpline( const std::vector<float>& x, const std::vector<float>& y, const std::vector<float>& z )
      : px( x.begin(), x.end() ), py( y.begin(), y.end() )
   {
      const size_t n = x.size(), N = n + 3;
      std::vector<std::vector<long double>> a( N, std::vector<long double>( N + 1, 0 ) );
      for ( size_t i = 0; i < n; ++i )
      {
         for ( size_t j = 0; j < n; ++j )
            a[i][j] = Kernel( px[i] - px[j], py[i] - py[j] );
         a[i][n] = a[n][i] = 1;
         a[i][n + 1] = a[n + 1][i] = px[i];
         a[i][n + 2] = a[n + 2][i] = py[i];
         a[i][N] = z[i];
      }
      for ( size_t k = 0; k < N; ++k )
      {
         size_t pivot = k;
         for ( size_t i = k + 1; i < N; ++i )
            if ( std::fabs( a[i][k] ) > std::fabs( a[pivot][k] ) )
               pivot = i;
         std::swap( a[k], a[pivot] );
         for ( size_t i = k + 1; i < N; ++i )
         {
            const long double m = a[i][k] / a[k][k];
            for ( size_t j = k; j <= N; ++j )
               a[i][j] -= m * a[k][j];
         }
      }
      c.assign( N, 0 );
      for ( size_t k = N; k-- > 0; )
      {
         long double s = a[k][N];
         for ( size_t j = k + 1; j < N; ++j )
            s -= a[k][j] * c[j];
         c[k] = s / a[k][k];
      }
   }

   static long double Kernel( long double dx, long double dy )
   {
      const long double r2 = dx * dx + dy * dy;
      return r2 == 0 ? 0 : r2 * std::log( r2 );
   }

   double operator()( double x, double y ) const
   {
      const size_t n = px.size();
      long double v = c[n] + c[n + 1] * x + c[n + 2] * y;
      for ( size_t i = 0; i < n; ++i )
         v += c[i] * Kernel( px[i] - x, py[i] - y );
      return double( v );
   }
};

std::string Message( const std::function<void()>& f )
{
   try
   {
      f();
   }
   catch ( const qor::Exception& e )
   {
      return e.Message();
   }
   return {};
}

} // namespace

TEST( BackgroundModel, ModelSizesFollowTheSubsamplingWithASixteenPixelFloor )
{
   struct Case
   {
      int32_t width, height, subsample, w, h;
   };
   const Case cases[] = {
      { 1000, 800, 4, 250, 200 }, { 1000, 800, 1, 1000, 800 }, { 4096, 2731, 2, 2048, 1366 },
      { 200, 150, 16, 21, 16 }, // 12.5 x 9.375 is too small: scaled so that the smaller side gives 16
      { 50, 10, 1, 80, 16 },    // an image smaller than the floor gets a larger model
      { 1002, 998, 4, 250, 250 }, // 250.5 goes to the even 250
   };
   for ( const Case& c : cases )
   {
      int32_t w = 0, h = 0;
      qor::BackgroundModelSize( c.width, c.height, c.subsample, w, h );
      EXPECT_EQ( w, c.w ) << c.width << "x" << c.height << " / " << c.subsample;
      EXPECT_EQ( h, c.h ) << c.width << "x" << c.height << " / " << c.subsample;
   }
}

TEST( BackgroundModel, SixPointsOfAPlaneRebuildThePlaneEverywhere )
{
   Points p;
   p.f.resize( 1 );
   const float px[] = { 0.1f, 0.9f, 0.5f, 0.2f, 0.8f, 0.45f }, py[] = { 0.1f, 0.15f, 0.5f, 0.85f, 0.9f, 0.3f };
   for ( int i = 0; i < 6; ++i )
   {
      p.x.push_back( px[i] );
      p.y.push_back( py[i] );
      p.f[0].push_back( float( Plane( px[i], py[i] ) ) );
   }
   const std::unique_ptr<qor::Image> model = qor::ComputeBackgroundModel( p.Input( 64, 48 ) );
   ASSERT_EQ( model->Width(), 64 );
   ASSERT_EQ( model->Height(), 48 );
   EXPECT_EQ( model->NumberOfChannels(), 1 );
   EXPECT_EQ( model->GetColorSpace(), qor::ColorSpace::Gray );
   double worst = 0;
   for ( int j = 0; j < 48; ++j )
      for ( int i = 0; i < 64; ++i )
         worst = std::max( worst, std::fabs( model->Pixel( i, j ) - Plane( i / 64.0, j / 48.0 ) ) );
   EXPECT_LT( worst, 2e-6 );
}

TEST( BackgroundModel, AGentleGradientIsRecoveredAndMatchesAnIndependentSpline )
{
   // A plane plus a gentle quadratic, sampled at 64 jittered points: the thin-plate model stays within 1e-3 of
   // the true background (a range of about 0.2; the largest errors lie in the corners, outside the points) and
   // within 2e-5 of a spline solved independently in long double.
   Points p = Sampled( 8, { Gradient } );
   const std::unique_ptr<qor::Image> model = qor::ComputeBackgroundModel( p.Input( 320, 240, 2 ) );
   ASSERT_EQ( model->Width(), 160 );
   ASSERT_EQ( model->Height(), 120 );
   const ReferenceSpline reference( p.x, p.y, p.f[0] );
   double truth = 0, spline = 0;
   for ( int j = 0; j < 120; ++j )
      for ( int i = 0; i < 160; ++i )
      {
         const double x = i / 160.0, y = j / 120.0;
         truth = std::max( truth, std::fabs( model->Pixel( i, j ) - Gradient( x, y ) ) );
         spline = std::max( spline, std::fabs( model->Pixel( i, j ) - reference( x, y ) ) );
      }
   EXPECT_LT( truth, 1e-3 );
   EXPECT_LT( spline, 2e-5 );
   // With smoothing 0 the model passes through the points.
   for ( size_t k = 0; k < p.x.size(); ++k )
      EXPECT_NEAR( reference( p.x[k], p.y[k] ), p.f[0][k], 1e-6 );
}

TEST( BackgroundModel, ThreeChannelsGiveAnRGBModelAnnouncedChannelByChannel )
{
   Points p = Sampled( 4, { Plane, Gradient, []( double x, double y ) { return 0.2 - 0.1 * x * y; } } );
   std::vector<std::string> steps;
   test::EventRecorder recorder;
   const std::unique_ptr<qor::Image> model = qor::ComputeBackgroundModel(
      p.Input( 40, 30 ), &test::EventRecorder::Callback, &recorder,
      [&]( const std::string& text ) { steps.push_back( text ); } );
   EXPECT_EQ( model->NumberOfChannels(), 3 );
   EXPECT_EQ( model->GetColorSpace(), qor::ColorSpace::RGB );
   std::vector<std::string> expected;
   for ( int c = 0; c < 3; ++c )
      expected.insert( expected.end(), { "Processing channel #" + std::to_string( c ), "Computing 2-D surface spline" } );
   expected.push_back( "Generating background model pixels" );
   EXPECT_EQ( steps, expected );
   // One unit per model pixel, and the monitor let go at the end.
   EXPECT_EQ( recorder.lastCount, int64_t( 40 ) * 30 );
   EXPECT_FALSE( model->IsMonitored() );
   const ReferenceSpline third( p.x, p.y, p.f[2] );
   EXPECT_NEAR( model->Pixel( 17, 9, 2 ), third( 17 / 40.0, 9 / 30.0 ), 2e-5 );
   EXPECT_NEAR( model->Pixel( 17, 9, 0 ), Plane( 17 / 40.0, 9 / 30.0 ), 2e-6 );
}

TEST( BackgroundModel, ValuesOutsideTheRangeAreClamped )
{
   Points p = Sampled( 3, { []( double x, double ) { return 3.0 * x - 1.0; } } );
   const std::unique_ptr<qor::Image> model = qor::ComputeBackgroundModel( p.Input( 30, 20 ) );
   EXPECT_EQ( model->Pixel( 0, 10 ), 0.0f );
   EXPECT_EQ( model->Pixel( 29, 10 ), 1.0f );
   EXPECT_NEAR( model->Pixel( 15, 10 ), 0.5, 1e-5 );
}

TEST( BackgroundModel, ThreadCountsGiveTheSameBits )
{
   Points p = Sampled( 6, { Gradient } );
   std::unique_ptr<qor::Image> one, many;
   {
      qor::ThreadCountScope threads( 1 );
      one = qor::ComputeBackgroundModel( p.Input( 300, 200, 1, 3, 0.01f ) );
   }
   many = qor::ComputeBackgroundModel( p.Input( 300, 200, 1, 3, 0.01f ) );
   EXPECT_TRUE( test::SamePixels( *one, *many ) );
}

TEST( BackgroundModel, RefusesWhatCannotMakeAModel )
{
   const std::string singular = "Singular matrix in 2-D interpolation surface spline generator";
   Points five = Sampled( 3, { Plane } );
   five.x.resize( 5 );
   five.y.resize( 5 );
   five.f[0].resize( 5 );
   EXPECT_EQ( Message( [&] { qor::ComputeBackgroundModel( five.Input( 50, 50 ) ); } ),
              "At least six samples are required" );

   // Two coinciding points with no smoothing; all points on one line.
   Points twice = Sampled( 3, { Plane } );
   twice.x[4] = twice.x[3];
   twice.y[4] = twice.y[3];
   twice.f[0][4] = 0.5f;
   EXPECT_EQ( Message( [&] { qor::ComputeBackgroundModel( twice.Input( 50, 50 ) ); } ), singular );
   Points line = Sampled( 3, { Plane } );
   for ( size_t k = 0; k < line.x.size(); ++k )
      line.y[k] = line.x[k];
   EXPECT_EQ( Message( [&] { qor::ComputeBackgroundModel( line.Input( 50, 50 ) ); } ), singular );

   Points ok = Sampled( 3, { Plane, Plane } );
   EXPECT_FALSE( Message( [&] { qor::ComputeBackgroundModel( ok.Input( 50, 50 ) ); } ).empty() ); // two channels
   ok.f.resize( 1 );
   EXPECT_FALSE( Message( [&] { qor::ComputeBackgroundModel( ok.Input( 50, 50, 0 ) ); } ).empty() );
   EXPECT_FALSE( Message( [&] { qor::ComputeBackgroundModel( ok.Input( 50, 50, 1, 6 ) ); } ).empty() );
   EXPECT_FALSE( Message( [&] { qor::ComputeBackgroundModel( ok.Input( 50, 50, 1, 2, -1 ) ); } ).empty() );
   EXPECT_FALSE( Message( [&] { qor::ComputeBackgroundModel( ok.Input( 0, 50 ) ); } ).empty() );
}

TEST( BackgroundModel, AnAbortStopsTheEvaluation )
{
   // On one thread every strip reports, so the first report comes before the last strip.
   qor::ThreadCountScope threads( 1 );
   Points p = Sampled( 4, { Gradient } );
   test::MonitorProbe probe;
   probe.abortAt = 1;
   EXPECT_THROW( qor::ComputeBackgroundModel( p.Input( 400, 1000 ), &test::MonitorProbe::Callback, &probe ),
                 qor::Image::AbortProcessEvent );
   EXPECT_EQ( probe.progress, 1 );
}
