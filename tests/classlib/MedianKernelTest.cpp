#include <gtest/gtest.h>

#include "Image.h"
#include "ImageTestSupport.h"
#include "MedianKernel.h"
#include "Parallel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

using qor::ColorSpace;
using qor::Image;
using qor::StatusCallback;

namespace
{

// Samples from a small set of values (many ties) or from [0, 1).
void Randomize( Image& image, uint32_t seed, int levels = 0 )
{
   std::mt19937 rng( seed );
   std::uniform_real_distribution<float> u( 0.0f, 1.0f );
   std::uniform_int_distribution<int> q( 0, std::max( levels - 1, 0 ) );
   for ( int c = 0; c < image.NumberOfChannels(); ++c )
      for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
         image[c][i] = levels > 0 ? float( q( rng ) ) / float( std::max( levels - 1, 1 ) ) : u( rng );
}

// Reference filter: gather each window, sort it, take the middle (plain) or the mean of the two middle values of
// the cross and of the diagonals (hybrid).
Image Reference( const Image& in, int n, float amount, bool hybrid, bool circular )
{
   if ( n == 3 )
      hybrid = false;
   if ( hybrid )
      circular = false;
   Image out( in );
   int h = n / 2, w = in.Width(), ht = in.Height();
   double r2 = double( n ) * n / 4;
   for ( int c = 0; c < in.NumberOfNominalChannels(); ++c )
      for ( int y = 0; y < ht; ++y )
         for ( int x = 0; x < w; ++x )
         {
            auto at = [&]( int i, int j ) { return in.Pixel( test::ColumnOf( x - h + j, w ), test::RowOf( y - h + i, ht ), c ); };
            float centre = in.Pixel( x, y, c );
            float result;
            if ( !hybrid )
            {
               std::vector<float> v;
               for ( int i = 0; i < n; ++i )
                  for ( int j = 0; j < n; ++j )
                     if ( !circular || ( i - h ) * ( i - h ) + ( j - h ) * ( j - h ) <= r2 )
                        v.push_back( at( i, j ) );
               std::sort( v.begin(), v.end() );
               double m = v[v.size() / 2];
               result = amount >= 1 ? float( m ) : float( double( amount ) * m + ( 1.0 - amount ) * centre );
            }
            else
            {
               std::vector<float> cross, diag;
               for ( int i = 0; i < n; ++i )
                  if ( i != h )
                  {
                     cross.push_back( at( i, h ) );
                     cross.push_back( at( h, i ) );
                     diag.push_back( at( i, i ) );
                     diag.push_back( at( i, n - 1 - i ) );
                  }
               std::sort( cross.begin(), cross.end() );
               std::sort( diag.begin(), diag.end() );
               double cm = ( double( cross[n - 2] ) + double( cross[n - 1] ) ) / 2;
               double dm = ( double( diag[n - 2] ) + double( diag[n - 1] ) ) / 2;
               double sum = double( centre ) + cm + dm;
               result =
                   amount >= 1 ? float( sum / 3 ) : float( double( amount ) / 3 * sum + ( 1.0 - amount ) * centre );
            }
            out.Pixel( x, y, c ) = result;
         }
   return out;
}

void ExpectSameAsReference( const Image& source, int n, float amount, bool hybrid, bool circular )
{
   Image expected = Reference( source, n, amount, hybrid, circular );
   Image image( source );
   qor::ApplyMedianKernel( image, n, amount, hybrid, circular );
   for ( int c = 0; c < image.NumberOfChannels(); ++c )
      for ( int y = 0; y < image.Height(); ++y )
         for ( int x = 0; x < image.Width(); ++x )
            ASSERT_EQ( image.Pixel( x, y, c ), expected.Pixel( x, y, c ) )
                << "n=" << n << " hybrid=" << hybrid << " circular=" << circular << " amount=" << amount << " size "
                << image.Width() << "x" << image.Height() << " at " << x << "," << y << " channel " << c;
}

struct Recorder
{
   std::vector<int> events;
   int64_t lastCount = 0;
   int abortAt = -1; // index of the event answered with an abort request

   static int32_t Callback( void* data, int32_t event, StatusCallback& monitor )
   {
      auto* self = static_cast<Recorder*>( data );
      self->events.push_back( event );
      self->lastCount = monitor.Count();
      return int( self->events.size() ) - 1 == self->abortAt ? 1 : 0;
   }
};

} // namespace

TEST( MedianKernel, SelectKthSmallestAgreesWithNthElement )
{
   std::mt19937 rng( 7 );
   for ( int trial = 0; trial < 3000; ++trial )
   {
      int m = 1 + int( rng() % ( trial < 1500 ? 12 : 400 ) );
      int levels = int( rng() % 4 ); // 0: continuous; otherwise 1..3 distinct values (runs of equal values)
      std::vector<float> a( static_cast<size_t>( m ) );
      for ( float& v : a )
         v = levels == 0 ? float( rng() ) / 4294967296.0f : float( rng() % uint32_t( levels ) );
      int k = int( rng() % uint32_t( m ) );
      std::vector<float> expected = a;
      std::nth_element( expected.begin(), expected.begin() + k, expected.end() );

      float* r = qor::SelectKthSmallest( a.data(), a.data() + m, k );
      ASSERT_EQ( r, a.data() + k );
      ASSERT_EQ( *r, expected[size_t( k )] ) << "m=" << m << " k=" << k;
      for ( int i = 0; i < m; ++i )
         ASSERT_TRUE( i < k ? a[size_t( i )] <= *r : a[size_t( i )] >= *r ) << "m=" << m << " k=" << k << " i=" << i;
      std::vector<float> sortedA = a, sortedE = expected;
      std::sort( sortedA.begin(), sortedA.end() );
      std::sort( sortedE.begin(), sortedE.end() );
      ASSERT_EQ( sortedA, sortedE ); // a permutation of the input
   }
}

TEST( MedianKernel, SelectKthSmallestSmallAndHostileRanges )
{
   float one[1] = { 0.3f };
   EXPECT_EQ( qor::SelectKthSmallest( one, one + 1, 0 ), one );
   EXPECT_EQ( one[0], 0.3f );

   float two[2] = { 0.9f, 0.1f };
   EXPECT_EQ( *qor::SelectKthSmallest( two, two + 2, 1 ), 0.9f );
   EXPECT_EQ( two[0], 0.1f );

   std::vector<float> same( 50, 0.25f );
   for ( int k = 0; k < 50; ++k )
      EXPECT_EQ( *qor::SelectKthSmallest( same.data(), same.data() + 50, k ), 0.25f );

   // An empty range and a k outside the range stay inside the range.
   EXPECT_EQ( qor::SelectKthSmallest( one, one, 0 ), one );
   float three[3] = { 3, 1, 2 };
   EXPECT_EQ( *qor::SelectKthSmallest( three, three + 3, 99 ), 3.0f );
   EXPECT_EQ( *qor::SelectKthSmallest( three, three + 3, -5 ), 1.0f );

   // NaN samples give some element of the range, never a read or write outside it.
   std::mt19937 rng( 3 );
   for ( int trial = 0; trial < 500; ++trial )
   {
      int m = 1 + int( rng() % 40 );
      std::vector<float> a( size_t( m ) + 2, -7.0f ); // guards around the range
      for ( int i = 1; i <= m; ++i )
         a[size_t( i )] = rng() % 3 == 0 ? std::numeric_limits<float>::quiet_NaN() : float( rng() % 10 );
      int k = int( rng() % uint32_t( m ) );
      float* r = qor::SelectKthSmallest( a.data() + 1, a.data() + 1 + m, k );
      ASSERT_EQ( r, a.data() + 1 + k );
      ASSERT_EQ( a.front(), -7.0f );
      ASSERT_EQ( a.back(), -7.0f );
   }
}

TEST( MedianKernel, CircularElementHoldsTheCellsInsideTheCircle )
{
   // Counts of the cells whose centre lies inside or on the circle of diameter n.
   struct Case
   {
      int n, cells;
   } cases[] = { { 3, 9 }, { 5, 21 }, { 7, 37 } };
   for ( const Case& k : cases )
   {
      std::vector<uint8_t> e = qor::CircularStructuringElement( k.n );
      EXPECT_EQ( std::count( e.begin(), e.end(), 1 ), k.cells ) << k.n;
   }
   std::vector<uint8_t> e5 = qor::CircularStructuringElement( 5 );
   EXPECT_EQ( e5[0], 0 );         // corner (0, 0): 2^2 + 2^2 > 2.5^2
   EXPECT_EQ( e5[1], 1 );         // (0, 1): 2^2 + 1^2 <= 2.5^2
   EXPECT_EQ( e5[2 * 5 + 0], 1 ); // (2, 0): on the axis
}

// Every box the filter knows, against sorting each window: square and circular plain medians and the hybrid, with
// continuous samples, samples with many ties and two-valued samples, and a blend.
TEST( MedianKernel, EveryBoxShapeEqualsSortingTheWindow )
{
   Image continuous( 41, 23, 1 ), ties( 41, 23, 1 ), binary( 41, 23, 1 );
   Randomize( continuous, 1 );
   Randomize( ties, 2, 5 );
   Randomize( binary, 3, 2 );
   for ( int n = 3; n <= 25; n += 2 )
      for ( const Image* source : { &continuous, &ties, &binary } )
      {
         ExpectSameAsReference( *source, n, 1.0f, false, false );
         ExpectSameAsReference( *source, n, 1.0f, false, true );
         ExpectSameAsReference( *source, n, 1.0f, true, false );
      }
   ExpectSameAsReference( continuous, 5, 0.3f, false, false );
   ExpectSameAsReference( continuous, 7, 0.6f, true, false );
   // Rows wider than a chunk of the row kernels: whole chunks written in place, a padded last one.
   Image wide( 600, 6, 1 );
   Randomize( wide, 4 );
   for ( float amount : { 1.0f, 0.4f } )
      for ( int n : { 3, 5 } )
         ExpectSameAsReference( wide, n, amount, false, false );
}

TEST( MedianKernel, BoxesBeyondTheNetworksGatherAndSelect )
{
   Image image( 23, 19, 1 );
   Randomize( image, 4, 7 );
   ExpectSameAsReference( image, 65, 1.0f, false, false );
   ExpectSameAsReference( image, 65, 0.5f, false, true );
   ExpectSameAsReference( image, 67, 1.0f, true, false );
   ExpectSameAsReference( image, 63, 1.0f, false, true ); // the largest network
}

// Images smaller than the box fold the border rules again instead of reading outside the plane.
TEST( MedianKernel, TinyImagesAndBoxesLargerThanTheImage )
{
   struct Size
   {
      int w, h;
   } sizes[] = { { 1, 1 }, { 2, 2 }, { 1, 9 }, { 9, 1 }, { 3, 2 }, { 2, 5 }, { 4, 4 }, { 13, 3 } };
   int seed = 10;
   for ( const Size& s : sizes )
   {
      Image image( s.w, s.h, 1 );
      Randomize( image, uint32_t( seed++ ) );
      for ( int n : { 3, 5, 7, 11, 25, 65 } )
      {
         ExpectSameAsReference( image, n, 1.0f, false, false );
         ExpectSameAsReference( image, n, 1.0f, false, true );
         ExpectSameAsReference( image, n, 1.0f, true, false );
      }
   }
}

TEST( MedianKernel, BorderRules )
{
   // One row: every row of the box reads it; column -1 reads column 1 and column W reads column W - 2.
   Image row( 5, 1, 1 );
   float values[5] = { 0.0f, 0.8f, 0.3f, 0.5f, 1.0f };
   std::copy( values, values + 5, row[0] );
   qor::ApplyMedianKernel( row, 3, 1.0f, false, false );
   EXPECT_EQ( row.Pixel( 0, 0 ), 0.8f ); // {0.8, 0.0, 0.8}
   EXPECT_EQ( row.Pixel( 4, 0 ), 0.5f ); // {0.5, 1.0, 0.5}

   // One column: row -1 reads row 0, row -2 reads row 1; every row below reads the last one.
   Image column( 1, 3, 1 );
   column.Pixel( 0, 0 ) = 0.1f;
   column.Pixel( 0, 1 ) = 0.6f;
   column.Pixel( 0, 2 ) = 0.9f;
   qor::ApplyMedianKernel( column, 3, 1.0f, false, false );
   EXPECT_EQ( column.Pixel( 0, 0 ), 0.1f ); // rows 0, 0, 1 (not 1, 0, 1)
   EXPECT_EQ( column.Pixel( 0, 2 ), 0.9f ); // rows 1, 2, 2

   Image four( 1, 4, 1 );
   float rows[4] = { 0.5f, 0.7f, 0.1f, 0.9f };
   std::copy( rows, rows + 4, four[0] );
   qor::ApplyMedianKernel( four, 5, 1.0f, false, false );
   EXPECT_EQ( four.Pixel( 0, 1 ), 0.5f ); // rows 0, 0, 1, 2, 3 (mirroring without repeat would give 0.7)
   EXPECT_EQ( four.Pixel( 0, 2 ), 0.7f ); // rows 0, 1, 2, 3, 3 (mirroring below would give 0.5)
}

TEST( MedianKernel, KnownAnswers )
{
   // A single bright pixel vanishes under the plain median; the 5 x 5 hybrid keeps a third of it.
   Image dot( 9, 9, 1 );
   std::fill( dot[0], dot[0] + 81, 0.0f );
   dot.Pixel( 4, 4 ) = 0.9f;
   Image plain( dot ), hybrid( dot ), hybrid3( dot );
   qor::ApplyMedianKernel( plain, 3, 1.0f, false, false );
   EXPECT_EQ( plain.Pixel( 4, 4 ), 0.0f );
   qor::ApplyMedianKernel( hybrid, 5, 1.0f, true, true ); // hybrid ignores the circular box
   EXPECT_EQ( hybrid.Pixel( 4, 4 ), float( 0.9f / 3.0 ) );
   qor::ApplyMedianKernel( hybrid3, 3, 1.0f, true, false ); // a 3 x 3 hybrid is the plain median
   EXPECT_TRUE( test::SamePixels( hybrid3, plain ) );

   // A constant image is unchanged by every mode (its noisy alpha plane is never filtered); amount 0 changes
   // nothing.
   Image constant( 12, 7, 2, ColorSpace::Gray );
   Randomize( constant, 5 );
   std::fill( constant[0], constant[0] + 84, 0.37f );
   for ( bool hyb : { false, true } )
      for ( bool circ : { false, true } )
      {
         Image image( constant );
         qor::ApplyMedianKernel( image, 5, 1.0f, hyb, circ );
         EXPECT_TRUE( test::SamePixels( image, constant ) );
      }
   Image noisy( 12, 7, 1 );
   Randomize( noisy, 6 );
   Image untouched( noisy );
   qor::ApplyMedianKernel( untouched, 7, 0.0f, false, false );
   EXPECT_TRUE( test::SamePixels( untouched, noisy ) );
}

TEST( MedianKernel, InvalidBoxSizesAreRefusedUntouched )
{
   Image image( 8, 8, 1 );
   Randomize( image, 8 );
   Image before( image );
   for ( int n : { -3, 0, 1, 2, 4, 24 } )
   {
      EXPECT_THROW( qor::ApplyMedianKernel( image, n, 1.0f, false, false ), qor::GenericException ) << n;
      EXPECT_TRUE( test::SamePixels( image, before ) );
   }
   Image empty;
   EXPECT_NO_THROW( qor::ApplyMedianKernel( empty, 5, 1.0f, false, false ) );
}

TEST( MedianKernel, MonitoredWrapperCountsEveryRowOfEveryNominalChannel )
{
   Image image( 30, 150, 4, ColorSpace::RGB );
   Randomize( image, 9 );
   Image alpha( *image.CreateChannelImage( 3 ) );
   Recorder recorder;
   image.Status().SetCallback( Recorder::Callback, &recorder );
   qor::ApplyMedianFilter( image, 3, 1.0f, true, false );
   EXPECT_EQ( image.Status().Text(), "Two-way Hybrid Median Filter" );
   EXPECT_EQ( image.Status().Total(), 3 * 150 );
   EXPECT_EQ( recorder.lastCount, 3 * 150 );
   EXPECT_EQ( recorder.events.front(), StatusCallback::Started );
   EXPECT_EQ( recorder.events.back(), StatusCallback::Done );
   EXPECT_EQ( std::memcmp( image[3], alpha[0], 30 * 150 * sizeof( float ) ), 0 );

   qor::ApplyMedianFilter( image, 5, 1.0f, false, true );
   EXPECT_EQ( image.Status().Text(), "Median Filter" );
}

TEST( MedianKernel, AbortStopsAndThrows )
{
   Image image( 40, 600, 1 );
   Randomize( image, 11 );
   Image before( image );

   // An abort answered to the start event filters nothing.
   Recorder atStart;
   atStart.abortAt = 0;
   image.Status().SetCallback( Recorder::Callback, &atStart );
   EXPECT_THROW( qor::ApplyMedianFilter( image, 5, 1.0f, false, false ), Image::AbortProcessEvent );
   EXPECT_TRUE( test::SamePixels( image, before ) );

   // An abort during the run stops it: some rows are filtered, not all.
   qor::ThreadCountScope one( 1 );
   Recorder midway;
   midway.abortAt = 3;
   image.Status().SetCallback( Recorder::Callback, &midway );
   EXPECT_THROW( qor::ApplyMedianFilter( image, 5, 1.0f, false, false ), Image::AbortProcessEvent );
   Image full( before );
   qor::ApplyMedianKernel( full, 5, 1.0f, false, false );
   EXPECT_FALSE( test::SamePixels( image, before ) );
   EXPECT_FALSE( test::SamePixels( image, full ) );
}

TEST( MedianKernel, OneThreadAndAllThreadsAgreeBitForBit )
{
   // Tall enough for many row blocks; a width that is not a multiple of the vector length.
   Image source( 203, 700, 2, ColorSpace::Gray );
   Randomize( source, 12 );
   struct Case
   {
      int n;
      float amount;
      bool hybrid, circular;
   } cases[] = { { 3, 1.0f, false, false },
                 { 5, 1.0f, false, true },
                 { 7, 0.5f, false, false },
                 { 5, 1.0f, true, false },
                 { 9, 1.0f, false, true } };
   for ( const Case& k : cases )
   {
      Image one( source ), all( source );
      {
         qor::ThreadCountScope scope( 1 );
         qor::ApplyMedianKernel( one, k.n, k.amount, k.hybrid, k.circular );
      }
      {
         qor::ThreadCountScope scope( 8 );
         qor::ApplyMedianKernel( all, k.n, k.amount, k.hybrid, k.circular );
      }
      EXPECT_TRUE( test::SamePixels( one, all ) ) << k.n;
   }
   ExpectSameAsReference( source, 5, 1.0f, false, false ); // block seams included
}
