#include <gtest/gtest.h>

#include <cmath>
#include <random>

#include "FilterTestKit.h"
#include "ProcessTestKit.h"
#include "classlib/ColorSpace.h"
#include "classlib/Exception.h"
#include "classlib/ImageTestSupport.h"
#include "process/SGBNR.h"

namespace
{

// One stored set in the layouts after the optional leading byte: sigma, amount, iterations, the two protections.
kit::Bytes& StoredSet( kit::Bytes& bytes, float sigma, int32_t iterations )
{
   return bytes.Value( sigma ).Value( 0.5f ).Value( iterations ).Value<uint8_t>( 1 ).Value( 0.1f ).Value( 0.2f )
      .Value<uint8_t>( 0 ).Value( 0.3f ).Value( 0.4f );
}

// Mean and standard deviation of a rectangle of channel 0.
void Moments( const qor::Image& image, int32_t x0, int32_t x1, int32_t y0, int32_t y1, double& mean, double& sd )
{
   double s = 0, q = 0;
   int n = 0;
   for ( int32_t y = y0; y < y1; ++y )
      for ( int32_t x = x0; x < x1; ++x, ++n )
      {
         s += image.Pixel( x, y );
         q += double( image.Pixel( x, y ) ) * image.Pixel( x, y );
      }
   mean = s / n;
   sd = std::sqrt( std::max( 0.0, q / n - mean * mean ) );
}

// A grey step from 0.2 (left half) to 0.7 (right half) with Gaussian noise of standard deviation 0.02.
qor::Image NoisyStep( int32_t width, int32_t height )
{
   qor::Image image( width, height );
   std::mt19937 rng( 11 );
   std::normal_distribution<float> noise( 0.0f, 0.02f );
   for ( int32_t y = 0; y < height; ++y )
      for ( int32_t x = 0; x < width; ++x )
         image.Pixel( x, y ) = ( x < width / 2 ? 0.2f : 0.7f ) + noise( rng );
   return image;
}

qor::Image Filtered( SGBNR::Parameters p, const qor::Image& source, std::vector<std::string>* tasks = nullptr )
{
   qor::Image image( source );
   kit::RecordingView view( image );
   SGBNR( p ).DoExecuteOn( view );
   EXPECT_EQ( view.modified, 1 );
   if ( tasks != nullptr )
      *tasks = view.tasks;
   return image;
}

} // namespace

TEST( SGBNR, TextForms )
{
   SGBNR sgbnr;
   EXPECT_EQ( sgbnr.Id(), "SGBNR" );
   EXPECT_EQ( Process::StreamVersion( sgbnr.Version() ), 1.301f );
   EXPECT_EQ( sgbnr.parameters->ToText( 0 ),
              "colorModel=0,\n"
              "\n"
              "// Composite RGB/K\n"
              "sigma[0]=1.5,\n"
              "amount[0]=0.80,\n"
              "darkSidesEdgesProtection[0]={threshold=0.250,overdrive=0.00},\n"
              "brightSidesEdgesProtection[0]={threshold=0.250,overdrive=0.00}" );

   SGBNR::Parameters p;
   p.colorModel = 2;
   p.luminanceMask = true;
   p.gamma = 1.25f;
   p.clip = 0.3f;
   p.numberOfIterations[3] = 4;
   p.darkSidesEdgesProtection[1] = p.brightSidesEdgesProtection[1] = false;
   p.brightSidesEdgesProtection[3] = p.darkSidesEdgesProtection[4] = false;
   p.sigma[4] = 3.25f;
   EXPECT_EQ( p.ToText( 0 ), "colorModel=2,\n\nluminanceMask={gamma=1.2,clip=0.30},\n\n"
                             "// CIE L*\nsigma[1]=1.5,\namount[1]=0.80,\n\n"
                             "// CIE a*\nsigma[3]=1.5,\namount[3]=0.80,\nnumberOfIterations[3]=4,\n"
                             "darkSidesEdgesProtection[3]={threshold=0.250,overdrive=0.00},\n\n"
                             "// CIE b*\nsigma[4]=3.2,\namount[4]=0.80,\n"
                             "brightSidesEdgesProtection[4]={threshold=0.250,overdrive=0.00}" );
   p.colorModel = 1;
   p.luminanceMask = false;
   EXPECT_EQ( p.ToText( 0 ).substr( 0, 33 ), "colorModel=1,\n\n// CIE L*\nsigma[1]" );
   EXPECT_NE( p.ToText( 0 ).find( ",\n\n// CIE a*b*\nsigma[2]=1.5" ), std::string::npos );
}

TEST( SGBNR, StreamsOfEveryVersion )
{
   kit::ParameterStreams streams;
   SGBNR::Parameters p;
   p.colorModel = 2;
   p.luminanceMask = true;
   p.apply[3] = false;
   p.sigma[4] = 2.5f;
   p.numberOfIterations[1] = 3;
   p.brightSidesOverdrive[2] = 0.5f;
   const std::vector<uint8_t> bytes = streams.Written( p, 1.301f );
   ASSERT_EQ( bytes.size(), 168u ); // 13 bytes, then 31 for each of the five sets
   SGBNR::Parameters read;
   EXPECT_EQ( streams.ReadFrom( read, bytes, 1.301f ), 0 );
   EXPECT_EQ( streams.Written( read, 1.301f ), bytes );

   // 1.2: the apply flags, no luminance mask; the mask fields of the instance stay.
   SGBNR::Parameters v12;
   v12.gamma = 2.0f;
   kit::Bytes b12;
   b12.Value<int32_t>( 1 );
   for ( int i = 0; i < 5; ++i )
      StoredSet( b12.Value<uint8_t>( i == 2 ? 0 : 1 ), 1.0f + i, 2 );
   EXPECT_EQ( streams.ReadFrom( v12, b12.data, 1.2f ), 0 );
   EXPECT_EQ( v12.colorModel, 1 );
   EXPECT_EQ( v12.gamma, 2.0f );
   EXPECT_FALSE( v12.apply[2] );
   EXPECT_TRUE( v12.apply[4] );
   EXPECT_EQ( v12.sigma[4], 5.0f );
   EXPECT_EQ( v12.numberOfIterations[0], 2 );
   EXPECT_FALSE( v12.brightSidesEdgesProtection[3] );
   EXPECT_EQ( v12.brightSidesOverdrive[3], 0.4f );

   // 1.1: five sets, all applied.
   SGBNR::Parameters v11;
   v11.apply.fill( false );
   v11.clip = 0.5f;
   kit::Bytes b11;
   b11.Value<int32_t>( 2 );
   for ( int i = 0; i < 5; ++i )
      StoredSet( b11, 1.0f + i, 1 );
   EXPECT_EQ( streams.ReadFrom( v11, b11.data, 1.1f ), 0 );
   EXPECT_EQ( v11.colorModel, 2 );
   EXPECT_EQ( v11.clip, 0.5f );
   for ( bool a : v11.apply )
      EXPECT_TRUE( a );
   EXPECT_EQ( v11.sigma[4], 5.0f );

   // 1.0: three sets, each preceded by a byte choosing the model; no byte set means the composite model. Sets 3
   // and 4 take the defaults.
   struct Old
   {
      uint8_t chosen[3];
      int32_t model;
   } olds[] = { { { 0, 0, 1 }, 1 }, { { 1, 0, 0 }, 0 }, { { 0, 1, 0 }, 1 }, { { 0, 0, 0 }, 0 } };
   for ( const Old& o : olds )
   {
      SGBNR::Parameters v10;
      v10.colorModel = 2;
      v10.sigma[3] = 7.0f;
      kit::Bytes b10;
      for ( int i = 0; i < 3; ++i )
         StoredSet( b10.Value<uint8_t>( o.chosen[i] ), 2.0f, 1 );
      EXPECT_EQ( streams.ReadFrom( v10, b10.data, 1.0f ), 0 );
      EXPECT_EQ( v10.colorModel, o.model );
      EXPECT_EQ( v10.sigma[2], 2.0f );
      EXPECT_EQ( v10.sigma[3], 1.5f );
      EXPECT_TRUE( v10.darkSidesEdgesProtection[4] );
   }

   // Values no run can use are refused and the set stays as it was.
   auto corrupt = [&]( size_t at, float value ) {
      std::vector<uint8_t> b = bytes;
      std::memcpy( b.data() + at, &value, 4 );
      SGBNR::Parameters kept;
      EXPECT_THROW( streams.ReadFrom( kept, b, 1.301f ), qor::GenericException ) << at << " " << value;
      EXPECT_EQ( kept.ToText( 0 ), SGBNR::Parameters().ToText( 0 ) );
   };
   corrupt( 14, 0.0f );  // sigma of set 0
   corrupt( 14, NAN );
   corrupt( 18, 1.5f );  // amount
   corrupt( 9, 1.0f );   // clip
   corrupt( 27, INFINITY ); // dark threshold
   std::vector<uint8_t> noIterations = bytes;
   std::memset( noIterations.data() + 22, 0, 4 );
   SGBNR::Parameters kept;
   EXPECT_THROW( streams.ReadFrom( kept, noIterations, 1.301f ), qor::GenericException );
}

TEST( SGBNR, LargeKernelsAreReducedOnLargeImages )
{
   struct Case
   {
      int32_t n, width, height, wholeWidth, wholeHeight;
      SGBNR::WorkSize expected;
   } cases[] = {
      { 17, 1000, 800, 1000, 800, { 17, 1000, 800 } },  // the default kernel is never reduced
      { 25, 1000, 800, 1000, 800, { 23, 920, 736 } },   // sigma 2.2
      { 107, 1000, 800, 1000, 800, { 35, 327, 262 } },  // sigma 10: the image keeps 256 rows, the kernel is odd
      { 107, 100, 60, 1000, 800, { 57, 53, 32 } },      // a preview of it keeps 32 rows
      { 107, 200, 200, 256, 1000, { 107, 200, 200 } },  // a window image of 256 columns is not reduced
      { 107, 10, 5, 1000, 800, { 685, 64, 32 } },       // a tiny preview is enlarged
   };
   for ( const Case& c : cases )
   {
      const SGBNR::WorkSize w = SGBNR::ComputeWorkSize( c.n, c.width, c.height, c.wholeWidth, c.wholeHeight );
      EXPECT_EQ( w.kernelSize, c.expected.kernelSize ) << c.n << " on " << c.width << "x" << c.height;
      EXPECT_EQ( w.width, c.expected.width ) << c.n << " on " << c.width << "x" << c.height;
      EXPECT_EQ( w.height, c.expected.height ) << c.n << " on " << c.width << "x" << c.height;
   }
}

TEST( SGBNR, ReducesNoiseAndKeepsAStepEdge )
{
   // A step of 0.5 under noise of 0.02. The plain filter (no protection) moves the columns on either side of the
   // step by about 0.19; the protection caps what crosses the step at the threshold.
   const qor::Image noisy = NoisyStep( 96, 64 );
   struct Case
   {
      bool protect;
      float threshold;
      double edgeTolerance, minEdgeShift;
   } cases[] = { { false, 0.25f, 0.25, 0.15 }, { true, 0.25f, 0.1, 0 }, { true, 0.1f, 0.045, 0 },
                 { true, 0.05f, 0.025, 0 } };
   for ( const Case& k : cases )
   {
      SCOPED_TRACE( k.protect ? "threshold " + std::to_string( k.threshold ) : std::string( "no protection" ) );
      SGBNR::Parameters p;
      p.amount[0] = 1.0f;
      p.darkSidesEdgesProtection[0] = p.brightSidesEdgesProtection[0] = k.protect;
      p.darkSidesThreshold[0] = p.brightSidesThreshold[0] = k.threshold;
      const qor::Image result = Filtered( p, noisy );
      double meanBefore, sdBefore, mean, sd;
      for ( int32_t x0 : { 4, 60 } ) // inside each flat half, away from the step
      {
         Moments( noisy, x0, x0 + 32, 8, 56, meanBefore, sdBefore );
         Moments( result, x0, x0 + 32, 8, 56, mean, sd );
         EXPECT_LT( sd, sdBefore / 4 ) << "noise down by at least four";
         EXPECT_NEAR( mean, meanBefore, 0.005 );
      }
      Moments( result, 47, 48, 0, 64, mean, sd );
      EXPECT_NEAR( mean, 0.2, k.edgeTolerance );
      EXPECT_GE( mean - 0.2, k.minEdgeShift );
      Moments( result, 48, 49, 0, 64, mean, sd );
      EXPECT_NEAR( mean, 0.7, k.edgeTolerance );
      EXPECT_GE( 0.7 - mean, k.minEdgeShift );
   }
}

TEST( SGBNR, ModelsSetsAndPaths )
{
   const qor::Image grey = NoisyStep( 40, 30 );
   std::vector<std::string> tasks;

   // The composite model on a grey image.
   SGBNR::Parameters p;
   Filtered( p, grey, &tasks );
   EXPECT_EQ( tasks, std::vector<std::string>{ "0:SGBNR processing in the Grayscale space" } );

   // Amount 1 without the mask filters once, whatever the iterations.
   p.amount[0] = 1.0f;
   const qor::Image once = Filtered( p, grey );
   p.numberOfIterations[0] = 3;
   EXPECT_TRUE( test::SamePixels( Filtered( p, grey, &tasks ), once ) );
   EXPECT_EQ( tasks.size(), 1u );
   p.amount[0] = 0.5f;
   Filtered( p, grey, &tasks );
   EXPECT_EQ( tasks.back(), "2:Iteration 3 of 3" );

   // The composite set not applied: nothing changes, and the view still counts as modified.
   p.apply[0] = false;
   EXPECT_TRUE( test::SamePixels( Filtered( p, grey, &tasks ), grey ) );
   EXPECT_TRUE( tasks.empty() );

   // CIE L*a*b* on a grey image gives an RGB image; only the applied sets run, and the samples end in [0, 1].
   p = SGBNR::Parameters();
   p.colorModel = 1;
   p.apply[1] = false;
   const qor::Image lab = Filtered( p, grey, &tasks );
   EXPECT_EQ( lab.GetColorSpace(), qor::ColorSpace::RGB );
   EXPECT_EQ( lab.NumberOfNominalChannels(), 3 );
   EXPECT_EQ( tasks, ( std::vector<std::string>{ "0:Transformation to the CIE L*a*b* space",
                                                 "0:SGBNR processing in the CIE L*a*b* space: joint chrominance channels",
                                                 "2:Processing channel #1", "2:Processing channel #2",
                                                 "0:Transformation to the RGB space", "0:Normalize pixel values" } ) );
   for ( int32_t c = 0; c < 3; ++c )
      for ( int64_t i = 0; i < lab.NumberOfPixels(); ++i )
         ASSERT_TRUE( lab[c][i] >= 0 && lab[c][i] <= 1 );

   p.colorModel = 2;
   p.apply[1] = true;
   p.apply[3] = false;
   Filtered( p, test::RandomImage( 20, 20, 3, qor::ColorSpace::RGB, 4 ), &tasks );
   EXPECT_EQ( tasks, ( std::vector<std::string>{ "0:Transformation to the CIE L*a*b* space",
                                                 "0:SGBNR processing in the CIE L*a*b* space: luminance channel",
                                                 "2:Processing channel #0",
                                                 "0:SGBNR processing in the CIE L*a*b* space: b* chrominance channel",
                                                 "2:Processing channel #2", "0:Transformation to the RGB space",
                                                 "0:Normalize pixel values" } ) );
}

TEST( SGBNR, TheLuminanceMaskKeepsBrightAreas )
{
   // Left: dark noise below the clipping point; right: white.
   qor::Image image = test::RandomImage( 40, 20, 1, qor::ColorSpace::Gray, 2, 0.0f, 0.1f );
   for ( int32_t y = 0; y < 20; ++y )
      for ( int32_t x = 20; x < 40; ++x )
         image.Pixel( x, y ) = 1.0f;
   SGBNR::Parameters p;
   const qor::Image plain = Filtered( p, image );
   p.luminanceMask = true;
   const qor::Image masked = Filtered( p, image );
   EXPECT_LT( plain.Pixel( 20, 10 ), 1.0f ) << "the white edge takes some of its dark neighbours";
   for ( int32_t y = 0; y < 20; ++y )
      for ( int32_t x = 0; x < 40; ++x )
         ASSERT_EQ( masked.Pixel( x, y ), x < 20 ? plain.Pixel( x, y ) : 1.0f ) << x << "," << y;
}

TEST( SGBNR, AnAbortInsideCIELabGivesTheTargetBackInRGB )
{
   qor::Image image = test::RandomImage( 30, 20, 3, qor::ColorSpace::RGB, 6 );
   kit::RecordingView view( image );
   view.abortFromTask = 2; // at the lightness filter, after the conversion to CIE L*a*b*
   SGBNR::Parameters p;
   p.colorModel = 1;
   EXPECT_THROW( SGBNR( p ).DoExecuteOn( view ), qor::Image::AbortProcessEvent );
   EXPECT_EQ( image.GetColorSpace(), qor::ColorSpace::RGB );
   EXPECT_EQ( view.tasks.back(), "0:Transformation to the RGB space" );
   EXPECT_EQ( view.modified, 0 );
}
