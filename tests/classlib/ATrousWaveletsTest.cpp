#include <gtest/gtest.h>

#include "ATrousWavelets.h"
#include "ImageTestSupport.h"
#include "Parallel.h"

#include <cmath>
#include <cstring>
#include <string>
#include <vector>

using qor::ATrousLayers;
using qor::ColorSpace;
using qor::ConvolutionKernel;
using qor::Image;

namespace
{

// A grey image of uniform noise in [0, 1).
Image Noise( int w, int h, uint32_t seed = 7 )
{
   return test::RandomImage( w, h, 1, ColorSpace::Gray, seed );
}

// The border rules, written as repeated reflections: columns about the edge samples (not repeated); rows above
// the image about the edges with the edge row repeated; rows below the image repeat the last one.
int64_t ReferenceColumn( int64_t x, int64_t w )
{
   if ( w == 1 )
      return 0;
   while ( x < 0 || x >= w )
      x = x < 0 ? -x : 2 * ( w - 1 ) - x;
   return x;
}

int64_t ReferenceRow( int64_t r, int64_t h )
{
   if ( r >= h )
      return h - 1;
   while ( r < 0 || r >= h )
      r = r < 0 ? -r - 1 : 2 * h - 1 - r;
   return r;
}

// The direct 2-D definition: correlation over every tap of the dilated kernel, double sums divided by the weight.
Image ReferenceConvolve( const Image& in, const ConvolutionKernel& k, int step, double weight = 0, float low = 0,
                         float high = 1 )
{
   if ( weight == 0 )
   {
      weight = k.Weight();
      if ( std::abs( weight ) < 1e-10 )
         weight = 1;
   }
   Image out( in );
   int h = k.size / 2;
   for ( int c = 0; c < in.NumberOfNominalChannels(); ++c )
      for ( int y = 0; y < in.Height(); ++y )
         for ( int x = 0; x < in.Width(); ++x )
         {
            double s = 0;
            for ( int i = 0; i < k.size; ++i )
               for ( int j = 0; j < k.size; ++j )
                  s += double( k.At( i, j ) ) *
                       in.Pixel( int( ReferenceColumn( x + ( j - h ) * int64_t( step ), in.Width() ) ),
                                 int( ReferenceRow( y + ( i - h ) * int64_t( step ), in.Height() ) ), c );
            float r = float( s / weight );
            float v = in.Pixel( x, y, c );
            bool selective = low != 0 || high != 1;
            float d = std::abs( v - r );
            out.Pixel( x, y, c ) = !selective || ( low <= d && d <= high ) ? r : v;
         }
   return out;
}

double AbsoluteSum( const ConvolutionKernel& k )
{
   double s = 0;
   for ( float c : k.coefficients )
      s += std::abs( c );
   return s;
}

// Kernels of every path: rank one (dense, with zero taps, in float from a Gaussian, more taps than the unrolled
// forms), full rank, almost rank one, summing to zero.
std::vector<std::pair<std::string, ConvolutionKernel>> TestKernels()
{
   std::vector<std::pair<std::string, ConvolutionKernel>> kernels;
   kernels.push_back( { "linear3", ConvolutionKernel::LinearInterpolation() } );
   kernels.push_back( { "b3spline5", ConvolutionKernel::B3Spline() } );
   kernels.push_back( { "single1", { 1, { 2.5f } } } );
   kernels.push_back( { "sparse5", ConvolutionKernel::OuterProduct( { 0, 1, 0, 3, 0 }, { 2, 0, 0, 1, 1 } ) } );
   std::vector<float> g;
   for ( int i = -3; i <= 3; ++i )
      g.push_back( std::exp( -float( i * i ) / 4.5f ) );
   kernels.push_back( { "gauss7", ConvolutionKernel::OuterProduct( g, g ) } );
   kernels.push_back(
       { "ramp9", ConvolutionKernel::OuterProduct( { 1, 2, 3, 4, 5, 4, 3, 2, 1 }, { 9, 1, 8, 2, 7, 3, 6, 4, 5 } ) } );
   kernels.push_back( { "fullrank3", { 3, { 1, 2, 0, -1, 5, 3, 0.5f, 0, 2 } } } );
   ConvolutionKernel almost = ConvolutionKernel::B3Spline();
   almost.coefficients[7] *= 1.001f;
   kernels.push_back( { "almostb3", almost } );
   kernels.push_back( { "laplacian3", { 3, { 0, -1, 0, -1, 4, -1, 0, -1, 0 } } } );
   return kernels;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------

TEST( ATrousConvolve, DeltaGivesTheUnflippedKernel )
{
   // A correlation: the output around a single bright sample is the kernel turned half a turn.
   ConvolutionKernel k{ 3, { 1, 2, 3, 4, 5, 6, 7, 8, 9 } };
   Image image( 9, 9, 1 );
   std::fill( image[0], image[0] + 81, 0.0f );
   image.Pixel( 4, 4 ) = 1;
   qor::Convolve( image, k, 1, 0, 1, 1 );
   for ( int dy = -1; dy <= 1; ++dy )
      for ( int dx = -1; dx <= 1; ++dx )
         EXPECT_EQ( image.Pixel( 4 + dx, 4 + dy ), k.At( 1 - dy, 1 - dx ) ) << dx << "," << dy;
   EXPECT_EQ( image.Pixel( 2, 4 ), 0.0f );

   // Dilated by 3: the same values, three samples apart, and nothing in between.
   std::fill( image[0], image[0] + 81, 0.0f );
   image.Pixel( 4, 4 ) = 1;
   qor::Convolve( image, k, 3, 0, 1, 1 );
   for ( int dy = -1; dy <= 1; ++dy )
      for ( int dx = -1; dx <= 1; ++dx )
         EXPECT_EQ( image.Pixel( 4 + 3 * dx, 4 + 3 * dy ), k.At( 1 - dy, 1 - dx ) ) << dx << "," << dy;
   EXPECT_EQ( image.Pixel( 5, 4 ), 0.0f );
   EXPECT_EQ( image.Pixel( 4, 6 ), 0.0f );
}

TEST( ATrousConvolve, BorderSamplesByHand )
{
   // A kernel with one tap reads one shifted sample: the border rules show directly. Samples are 10 y + x.
   struct Case
   {
      int w, h, tapRow, tapColumn, step;
      std::vector<float> expected;
   } cases[] = {
       // Row above row 0 is row 0; column left of column 0 is column 1.
       { 4, 3, 0, 0, 1, { 1, 0, 1, 2, 1, 0, 1, 2, 11, 10, 11, 12 } },
       // Row below the last is the last; column right of the last is the last but one.
       { 4, 3, 2, 2, 1, { 11, 12, 13, 12, 21, 22, 23, 22, 21, 22, 23, 22 } },
       // Step 2 reads two samples away: rows -2, -1 are rows 1, 0; columns -2, -1 are columns 2, 1.
       { 4, 3, 0, 0, 2, { 12, 11, 10, 11, 2, 1, 0, 1, 2, 1, 0, 1 } },
       { 4, 3, 2, 2, 2, { 22, 23, 22, 21, 22, 23, 22, 21, 22, 23, 22, 21 } },
       // Step 3 on a 3 x 3 image reaches past the far side: reflected again (column -3 is column 1, row -3 row 2).
       { 3, 3, 0, 0, 3, { 21, 22, 21, 11, 12, 11, 1, 2, 1 } },
   };
   for ( const Case& t : cases )
   {
      Image image( t.w, t.h, 1 );
      for ( int y = 0; y < t.h; ++y )
         for ( int x = 0; x < t.w; ++x )
            image.Pixel( x, y ) = float( 10 * y + x );
      ConvolutionKernel k{ 3, std::vector<float>( 9, 0.0f ) };
      k.coefficients[size_t( t.tapRow * 3 + t.tapColumn )] = 1;
      qor::Convolve( image, k, t.step );
      std::vector<float> got( image[0], image[0] + t.w * t.h );
      EXPECT_EQ( got, t.expected ) << "tap " << t.tapRow << "," << t.tapColumn << " step " << t.step;
   }
}

TEST( ATrousConvolve, MatchesTheDirectDefinitionForEveryKernelStepAndSize )
{
   // Sizes include sides of one and two samples, far smaller than the dilated kernels.
   const int sizes[][2] = { { 1, 1 }, { 1, 9 }, { 9, 1 }, { 2, 2 }, { 5, 3 }, { 17, 13 }, { 40, 33 } };
   for ( const auto& [name, k] : TestKernels() )
      for ( const auto& size : sizes )
         for ( int step : { 1, 2, 3, 8, 2048 } )
         {
            Image image = Noise( size[0], size[1] );
            Image expected = ReferenceConvolve( image, k, step );
            qor::Convolve( image, k, step );
            double tolerance = 1e-6 * AbsoluteSum( k ) / std::max( 1e-10, std::abs( k.Weight() ) ) + 1e-7;
            if ( std::abs( k.Weight() ) < 1e-10 )
               tolerance = 1e-6 * AbsoluteSum( k );
            for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
               ASSERT_NEAR( image[0][i], expected[0][i], tolerance )
                   << name << " " << size[0] << "x" << size[1] << " step " << step << " at " << i;
         }
}

TEST( ATrousConvolve, WeightAndSelectiveMode )
{
   Image source = Noise( 23, 19 );
   for ( const auto& [name, k] : TestKernels() )
   {
      struct Mode
      {
         double weight;
         float low, high;
      } modes[] = { { 2.0, 0, 1 }, { -0.5, 0, 1 }, { 0, 0.05f, 0.2f }, { 0, 0, 0.1f }, { 0, 0.15f, 1 } };
      for ( const Mode& m : modes )
      {
         Image image( source );
         Image expected = ReferenceConvolve( source, k, 2, m.weight, m.low, m.high );
         qor::Convolve( image, k, 2, m.low, m.high, m.weight );
         double weight = m.weight != 0 ? m.weight : std::abs( k.Weight() ) < 1e-10 ? 1 : k.Weight();
         double tolerance = 1e-6 * AbsoluteSum( k ) / std::abs( weight ) + 1e-7;
         for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
            ASSERT_NEAR( image[0][i], expected[0][i], tolerance )
                << name << " weight " << m.weight << " window " << m.low << ".." << m.high << " at " << i;
      }
   }
}

TEST( ATrousConvolve, SelectiveWindowIncludesItsEnds )
{
   // A one-tap kernel reading the left neighbour: r = (0.25, 0, 0.25, 0.75, 1), |sample - r| = (.25, .25, .5, .25, 0).
   struct Case
   {
      float low, high;
      std::vector<float> expected;
   } cases[] = { { 0.3f, 0.5f, { 0, 0.25f, 0.25f, 1, 1 } }, { 0.25f, 0.25f, { 0.25f, 0, 0.75f, 0.75f, 1 } } };
   for ( const Case& t : cases )
   {
      Image image( 5, 1, 1 );
      const float row[] = { 0, 0.25f, 0.75f, 1, 1 };
      std::copy( row, row + 5, image[0] );
      qor::Convolve( image, { 3, { 0, 0, 0, 1, 0, 0, 0, 0, 0 } }, 1, t.low, t.high );
      EXPECT_EQ( std::vector<float>( image[0], image[0] + 5 ), t.expected ) << t.low << ".." << t.high;
   }
}

TEST( ATrousConvolve, ConstantStaysConstantAndAlphaIsLeftAlone )
{
   Image image( 31, 7, 4, ColorSpace::RGB );
   for ( int c = 0; c < 3; ++c )
      std::fill( image[c], image[c] + image.NumberOfPixels(), 0.25f * float( c + 1 ) );
   Image alpha = Noise( 31, 7, 3 );
   std::memcpy( image[3], alpha[0], sizeof( float ) * 31 * 7 );
   for ( const auto& [name, k] : TestKernels() )
   {
      if ( std::abs( k.Weight() ) < 1e-10 )
         continue;
      for ( int step : { 1, 4, 64 } )
      {
         Image filtered( image );
         qor::Convolve( filtered, k, step );
         for ( int c = 0; c < 3; ++c )
            for ( int64_t i = 0; i < filtered.NumberOfPixels(); ++i )
               ASSERT_NEAR( filtered[c][i], 0.25f * float( c + 1 ), 1e-6 ) << name << " step " << step;
         EXPECT_EQ( std::memcmp( filtered[3], alpha[0], sizeof( float ) * 31 * 7 ), 0 ) << name;
      }
   }
}

TEST( ATrousConvolve, InvalidArgumentsAreRefused )
{
   Image image = Noise( 5, 5 );
   Image before( image );
   const ConvolutionKernel bad[] = {
       {}, { 2, std::vector<float>( 4, 1.0f ) }, { 3, std::vector<float>( 8, 1.0f ) }, { -1, {} } };
   for ( const ConvolutionKernel& k : bad )
      EXPECT_THROW( qor::Convolve( image, k ), qor::GenericException ) << k.size;
   EXPECT_THROW( qor::Convolve( image, ConvolutionKernel::B3Spline(), 0 ), qor::GenericException );
   EXPECT_TRUE( test::SamePixels( image, before ) );
   EXPECT_THROW( ConvolutionKernel::OuterProduct( { 1, 2 }, { 1, 2 } ), qor::GenericException );
   EXPECT_THROW( ConvolutionKernel::OuterProduct( { 1, 2, 1 }, { 1 } ), qor::GenericException );

   Image empty;
   EXPECT_NO_THROW( qor::Convolve( empty, ConvolutionKernel::B3Spline() ) );
}

TEST( ATrousConvolve, AbortLeavesTheImageUnchanged )
{
   qor::ThreadCountScope scope( 1 );
   Image image = test::RandomImage( 16, 2000, 3, ColorSpace::RGB, 7 );
   Image before( image );
   test::MonitorProbe probe;
   probe.abortAt = 2;
   image.Status().SetCallback( &test::MonitorProbe::Callback, &probe );
   image.BeginTask( "Filtering", 3 * 2000 );
   try
   {
      qor::Convolve( image, ConvolutionKernel::B3Spline() );
      FAIL() << "no abort";
   }
   catch ( const Image::AbortProcessEvent& e )
   {
      EXPECT_EQ( e.SourceImage(), &image );
   }
   EXPECT_TRUE( test::SamePixels( image, before ) );
}

// ---------------------------------------------------------------------------------------------------------------

TEST( ATrousLayers, ScalesAreDyadicOrLinear )
{
   struct Case
   {
      int layer, delta, step;
   } cases[] = { { 0, 0, 1 },  { 1, 0, 2 }, { 3, 0, 8 }, { 11, 0, 2048 }, { 30, 0, 1 << 30 },
                 { 0, -4, 1 }, { 0, 1, 1 }, { 3, 1, 4 }, { 2, 3, 7 },     { 5, 16, 81 } };
   for ( const Case& c : cases )
      EXPECT_EQ( qor::ATrousLayerScale( c.layer, c.delta ), c.step ) << c.layer << " " << c.delta;
   EXPECT_THROW( qor::ATrousLayerScale( 31, 0 ), qor::GenericException );
   EXPECT_THROW( qor::ATrousLayerScale( -1, 1 ), qor::GenericException );
   EXPECT_THROW( qor::ATrousLayerScale( 1 << 30, 4 ), qor::GenericException );
}

TEST( ATrousLayers, EachLayerIsTheDifferenceOfSuccessiveSmoothings )
{
   // The smoothings of a decomposition are Convolve at the layer scales: 1, 2, 4, 8 dyadic, 1, 2, 3, 4 linear.
   Image source = test::RandomImage( 45, 38, 3, ColorSpace::RGB, 7 );
   for ( int delta : { 0, 1 } )
      for ( const ConvolutionKernel& k : { ConvolutionKernel::LinearInterpolation(), ConvolutionKernel::B3Spline() } )
      {
         ATrousLayers layers = qor::DecomposeATrousLayers( source, 1, k, 4, delta );
         ASSERT_EQ( layers.size(), 5u );
         std::unique_ptr<Image> smooth = source.CreateChannelImage( 1 );
         for ( int j = 1; j <= 4; ++j )
         {
            Image next( *smooth );
            qor::Convolve( next, k, j == 1 ? 1 : delta == 0 ? 1 << ( j - 1 ) : j );
            ASSERT_EQ( layers[size_t( j - 1 )]->NumberOfChannels(), 1 );
            for ( int64_t i = 0; i < source.NumberOfPixels(); ++i )
               ASSERT_EQ( layers[size_t( j - 1 )]->PixelData( 0 )[i], ( *smooth )[0][i] - next[0][i] )
                   << "delta " << delta << " layer " << j - 1 << " at " << i;
            *smooth = next;
         }
         EXPECT_TRUE( test::SamePixels( *layers[4], *smooth ) ) << "residual, delta " << delta;
      }
}

TEST( ATrousLayers, ReconstructionGivesBackTheChannelForEveryLayerCount )
{
   // Every layer count of the window (1 .. 12), both scale sequences, images down to one sample: dyadic steps of
   // 2048 reach far past every side here.
   const int sizes[][2] = { { 1, 1 }, { 1, 7 }, { 7, 1 }, { 2, 2 }, { 3, 2 }, { 61, 47 } };
   for ( const auto& size : sizes )
      for ( const auto& [name, k] : TestKernels() )
      {
         if ( std::abs( k.Weight() ) < 1e-10 )
            continue;
         Image source = Noise( size[0], size[1], uint32_t( size[0] * 100 + size[1] ) );
         for ( int delta : { 0, 1, 3 } )
            for ( int m = 1; m <= 12; ++m )
            {
               ATrousLayers layers = qor::DecomposeATrousLayers( source, 0, k, m, delta );
               ASSERT_EQ( layers.size(), size_t( m + 1 ) );
               Image back( size[0], size[1], 1 );
               qor::ReconstructATrousLayers( back, 0, layers );
               double tolerance = 1e-6 * ( AbsoluteSum( k ) / std::abs( k.Weight() ) ) * m;
               for ( int64_t i = 0; i < source.NumberOfPixels(); ++i )
                  ASSERT_NEAR( back[0][i], source[0][i], tolerance )
                      << name << " " << size[0] << "x" << size[1] << " delta " << delta << " m " << m;
            }
      }
}

TEST( ATrousLayers, ConstantChannelHasZeroDetails )
{
   Image source( 20, 11, 1 );
   std::fill( source[0], source[0] + 220, 0.375f );
   ATrousLayers layers = qor::DecomposeATrousLayers( source, 0, ConvolutionKernel::B3Spline(), 6, 0 );
   for ( int j = 0; j < 6; ++j )
      for ( int64_t i = 0; i < 220; ++i )
         ASSERT_EQ( layers[size_t( j )]->PixelData( 0 )[i], 0.0f ) << j;
   for ( int64_t i = 0; i < 220; ++i )
      ASSERT_EQ( layers[6]->PixelData( 0 )[i], 0.375f );
}

TEST( ATrousLayers, ReconstructionSumsFromTheResidualDownAndSkipsNullLayers )
{
   Image source = test::RandomImage( 33, 21, 2, ColorSpace::Gray, 7 );
   ATrousLayers layers = qor::DecomposeATrousLayers( source, 0, ConvolutionKernel::B3Spline(), 4, 0 );

   // The sum is taken in float from the residual down; a null layer counts as zero, a null residual starts at 0.
   auto expectedSum = [&]( const std::vector<bool>& kept )
   {
      std::vector<float> sum( 33 * 21, 0.0f );
      for ( size_t i = 0; i < sum.size(); ++i )
         for ( int j = 4; j >= 0; --j )
            if ( kept[size_t( j )] )
               sum[i] = j == 4 ? layers[4]->PixelData( 0 )[i] : sum[i] + layers[size_t( j )]->PixelData( 0 )[i];
      return sum;
   };
   const std::vector<bool> cases[] = { { true, true, true, true, true },
                                       { false, true, true, true, true },
                                       { true, true, false, true, false },
                                       { false, false, false, false, false } };
   for ( const std::vector<bool>& kept : cases )
   {
      ATrousLayers set;
      for ( size_t j = 0; j < 5; ++j )
         set.push_back( kept[j] ? std::make_unique<Image>( *layers[j] ) : nullptr );
      Image target( source );
      qor::ReconstructATrousLayers( target, 1, set );
      std::vector<float> got( target[1], target[1] + 33 * 21 );
      EXPECT_EQ( got, expectedSum( kept ) );
      EXPECT_EQ( std::memcmp( target[0], source[0], sizeof( float ) * 33 * 21 ), 0 ) << "other channel touched";
   }
}

// Planes of 2^21 samples and more are summed on a different path (streaming stores): an odd width gives unaligned
// rows and a partial last piece.
TEST( ATrousLayers, ReconstructionOfBigPlanesIsTheInOrderSumOnAnyThreadCount )
{
   const int w = 2049, h = 1025;
   const size_t n = size_t( w ) * h;
   ATrousLayers layers;
   for ( int j = 0; j < 5; ++j )
      layers.push_back( std::make_unique<Image>( test::RandomImage( w, h, 1, ColorSpace::Gray, 100 + j ) ) );
   const Image source = test::RandomImage( w, h, 2, ColorSpace::Gray, 99 );

   const std::vector<bool> cases[] = { { true, true, true, true, true },
                                       { false, true, false, true, true },
                                       { true, true, true, true, false } };
   for ( const std::vector<bool>& kept : cases )
   {
      std::vector<float> expected( n, 0.0f );
      for ( size_t i = 0; i < n; ++i )
         for ( int j = 4; j >= 0; --j )
            if ( kept[size_t( j )] )
               expected[i] = j == 4 ? layers[4]->PixelData( 0 )[i] : expected[i] + layers[size_t( j )]->PixelData( 0 )[i];

      ATrousLayers set;
      for ( size_t j = 0; j < 5; ++j )
         set.push_back( kept[j] ? std::make_unique<Image>( *layers[j] ) : nullptr );
      for ( int threads : { 1, 0 } )
      {
         qor::ThreadCountScope scope( threads );
         Image target( source );
         qor::ReconstructATrousLayers( target, 1, set );
         EXPECT_EQ( std::memcmp( target[1], expected.data(), n * sizeof( float ) ), 0 ) << "threads " << threads;
         EXPECT_EQ( std::memcmp( target[0], source[0], n * sizeof( float ) ), 0 ) << "other channel touched";
      }
   }
}

TEST( ATrousLayers, DecompositionIntoAnExistingSetReusesPlanesOfTheRightSize )
{
   Image source = test::RandomImage( 29, 17, 2, ColorSpace::Gray, 7 );
   ATrousLayers fresh = qor::DecomposeATrousLayers( source, 1, ConvolutionKernel::B3Spline(), 3, 0 );

   // Entries of the right size, of another size or channel count, missing, and one too many.
   ATrousLayers set;
   set.push_back( std::make_unique<Image>( 29, 17, 1 ) );
   set.push_back( std::make_unique<Image>( 5, 5, 1 ) );
   set.push_back( nullptr );
   set.push_back( std::make_unique<Image>( 29, 17, 3, ColorSpace::RGB ) );
   set.push_back( std::make_unique<Image>( 29, 17, 1 ) );
   const float* kept = set[0]->PixelData( 0 );
   qor::DecomposeATrousLayers( set, source, 1, ConvolutionKernel::B3Spline(), 3, 0 );
   ASSERT_EQ( set.size(), 4u );
   EXPECT_EQ( set[0]->PixelData( 0 ), kept );
   for ( size_t j = 0; j < 4; ++j )
   {
      EXPECT_EQ( set[j]->NumberOfChannels(), 1 ) << j;
      EXPECT_TRUE( test::SamePixels( *set[j], *fresh[j] ) ) << j;
   }

   // A set that holds the source itself is refused before anything is written.
   ATrousLayers holding;
   holding.push_back( std::make_unique<Image>( source ) );
   Image* inside = holding[0].get();
   Image before( *inside );
   EXPECT_THROW( qor::DecomposeATrousLayers( holding, *inside, 0, ConvolutionKernel::B3Spline(), 2, 0 ),
                 qor::GenericException );
   EXPECT_TRUE( test::SamePixels( *inside, before ) );
}

TEST( ATrousLayers, InvalidArgumentsAreRefused )
{
   Image source = Noise( 8, 8 );
   ConvolutionKernel k = ConvolutionKernel::LinearInterpolation();
   Image empty;
   EXPECT_THROW( qor::DecomposeATrousLayers( empty, 0, k, 4, 0 ), qor::GenericException );
   EXPECT_THROW( qor::DecomposeATrousLayers( source, 1, k, 4, 0 ), qor::GenericException );
   EXPECT_THROW( qor::DecomposeATrousLayers( source, -1, k, 4, 0 ), qor::GenericException );
   EXPECT_THROW( qor::DecomposeATrousLayers( source, 0, k, 0, 0 ), qor::GenericException );
   EXPECT_THROW( qor::DecomposeATrousLayers( source, 0, k, 32, 0 ), qor::GenericException );
   EXPECT_THROW( qor::DecomposeATrousLayers( source, 0, ConvolutionKernel{ 4, std::vector<float>( 16 ) }, 2, 0 ),
                 qor::GenericException );

   ATrousLayers layers = qor::DecomposeATrousLayers( source, 0, k, 2, 0 );
   Image target( source );
   EXPECT_THROW( qor::ReconstructATrousLayers( target, 0, ATrousLayers() ), qor::GenericException );
   EXPECT_THROW( qor::ReconstructATrousLayers( target, 1, layers ), qor::GenericException );
   Image other( 9, 8, 1 );
   EXPECT_THROW( qor::ReconstructATrousLayers( other, 0, layers ), qor::GenericException );
   ATrousLayers self;
   self.push_back( std::make_unique<Image>( source ) );
   Image* inside = self[0].get();
   EXPECT_THROW( qor::ReconstructATrousLayers( *inside, 0, self ), qor::GenericException );
   EXPECT_TRUE( test::SamePixels( target, source ) );
}

TEST( ATrousLayers, ProgressCoversEveryRowOfEverySmoothing )
{
   Image source = Noise( 40, 300 );
   test::MonitorProbe probe;
   source.Status().SetCallback( &test::MonitorProbe::Callback, &probe );
   ATrousLayers layers = qor::DecomposeATrousLayers( source, 0, ConvolutionKernel::B3Spline(), 5, 0 );
   EXPECT_EQ( source.Status().Text(), "À Trous Wavelet Transform" );
   EXPECT_EQ( source.Status().Total(), 300 * 5 );
   EXPECT_EQ( source.Status().Count(), 300 * 5 );
   EXPECT_EQ( probe.done, 1 );

   Image target( 40, 300, 1 );
   target.Status().SetCallback( &test::MonitorProbe::Callback, &probe );
   qor::ReconstructATrousLayers( target, 0, layers );
   EXPECT_EQ( target.Status().Text(), "Inverse À Trous Wavelets Transform" );
   EXPECT_EQ( target.Status().Count(), target.Status().Total() );
   EXPECT_EQ( probe.done, 2 );
}

TEST( ATrousLayers, AbortIsRaisedForTheSourceImage )
{
   // The layers are released on the way out, so the exception must not name one of them. (One thread: every strip
   // reports, so the abort comes at a known point.)
   qor::ThreadCountScope scope( 1 );
   Image source = Noise( 16, 3000 );
   test::MonitorProbe probe;
   probe.abortAt = 3;
   source.Status().SetCallback( &test::MonitorProbe::Callback, &probe );
   try
   {
      qor::DecomposeATrousLayers( source, 0, ConvolutionKernel::B3Spline(), 4, 0 );
      FAIL() << "no abort";
   }
   catch ( const Image::AbortProcessEvent& e )
   {
      EXPECT_EQ( e.SourceImage(), &source );
   }

   ATrousLayers set = qor::DecomposeATrousLayers( Noise( 4, 4 ), 0, ConvolutionKernel::B3Spline(), 2, 0 );
   probe.progress = 0;
   EXPECT_THROW( qor::DecomposeATrousLayers( set, source, 0, ConvolutionKernel::B3Spline(), 4, 0 ),
                 Image::AbortProcessEvent );
   EXPECT_TRUE( set.empty() ) << "an aborted decomposition leaves no half-made layers";

   Image target( source );
   ATrousLayers layers;
   layers.push_back( std::make_unique<Image>( source ) );
   probe.progress = 0;
   target.Status().SetCallback( &test::MonitorProbe::Callback, &probe );
   EXPECT_THROW( qor::ReconstructATrousLayers( target, 0, layers ), Image::AbortProcessEvent );
}

TEST( ATrousLayers, OneThreadAndAllThreadsGiveTheSameBits )
{
   Image source = test::RandomImage( 257, 301, 3, ColorSpace::RGB, 11 );
   auto run = [&]( int threads )
   {
      qor::ThreadCountScope scope( threads );
      std::vector<Image> results;
      for ( const auto& [name, k] : TestKernels() )
      {
         Image filtered( source );
         qor::Convolve( filtered, k, 2, 0.02f, 0.5f );
         results.push_back( std::move( filtered ) );
      }
      for ( int delta : { 0, 2 } )
      {
         ATrousLayers layers = qor::DecomposeATrousLayers( source, 2, ConvolutionKernel::B3Spline(), 5, delta );
         Image back( source );
         qor::ReconstructATrousLayers( back, 0, layers );
         results.push_back( std::move( back ) );
         for ( auto& layer : layers )
            results.push_back( std::move( *layer ) );
      }
      return results;
   };
   std::vector<Image> one = run( 1 );
   std::vector<Image> all = run( 0 );
   ASSERT_EQ( one.size(), all.size() );
   for ( size_t i = 0; i < one.size(); ++i )
      EXPECT_TRUE( test::SamePixels( one[i], all[i] ) ) << "result " << i;
}
