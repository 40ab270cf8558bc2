// The histogram transform of one channel against a plain scalar reference of its steps, its known values, the
// degenerate midtones balances, thread independence, monitoring and abort, and the soundness rules of a set.

#include <gtest/gtest.h>

#include "Exception.h"
#include "HistogramTransform.h"
#include "ImageTestSupport.h"
#include "Parallel.h"

#include <cmath>
#include <cstring>
#include <limits>

namespace
{

using qor::HistogramTransformSet;
using qor::Image;

const float NaN = std::numeric_limits<float>::quiet_NaN();

// The steps written out one after the other, each a pass of its own, as the transform is defined.
void ReferenceTransform( Image& image, int32_t channel, const HistogramTransformSet& s )
{
   float* p = image[channel];
   const int64_t n = image.NumberOfPixels();
   if ( s.c1 != s.c0 )
   {
      if ( s.c0 > 0 || s.c1 < 1 )
         for ( int64_t i = 0; i < n; ++i )
            p[i] =
                p[i] <= s.c0 || std::isnan( p[i] ) ? 0.0f : ( p[i] >= s.c1 ? 1.0f : ( p[i] - s.c0 ) / ( s.c1 - s.c0 ) );
      if ( s.m != 0.5f )
         for ( int64_t i = 0; i < n; ++i )
         {
            // (m - 1) x / ((2m - 1) x - m) with both end points fixed.
            const double x = p[i], m = s.m;
            p[i] = x == 0 ? 0.0f : ( x == 1 ? 1.0f : float( ( m - 1 ) * x / ( ( 2 * m - 1 ) * x - m ) ) );
         }
   }
   else
      for ( int64_t i = 0; i < n; ++i )
         p[i] = s.c0;
   if ( s.r0 < 0 || s.r1 > 1 )
      for ( int64_t i = 0; i < n; ++i )
         p[i] = ( p[i] - s.r0 ) / ( s.r1 - s.r0 );
}

Image Samples( std::initializer_list<float> values )
{
   Image image( int32_t( values.size() ), 1, 1, qor::ColorSpace::Gray );
   int32_t x = 0;
   for ( float v : values )
      image.Pixel( x++, 0 ) = v;
   return image;
}

} // namespace

TEST( HistogramTransformTest, EverySampleIsTheReferenceValueBitForBit )
{
   const HistogramTransformSet sets[] = {
       { 0.05f, 1, 0.2f, 0, 1 },        // clipping of the shadows and midtones, the usual stretch
       { 0.1f, 0.9f, 0.5f, 0, 1 },      // clipping alone
       { 0, 1, 0.73f, 0, 1 },           // midtones alone
       { 0, 1, 0.5f, -0.5f, 2 },        // expansion alone
       { 0.2f, 0.6f, 0.35f, -1, 1.5f }, // all three
       { 0.3f, 0.3f, 0.1f, 0, 1 },      // a constant; the midtones are skipped
       { 0.3f, 0.3f, 0.5f, -1, 1 },     // a constant, expanded
   };
   Image input = test::RandomImage( 97, 61, 1, qor::ColorSpace::Gray, 11 );
   // Samples outside the range and holes, inside the vectorised part of a row as well as at its end.
   const float odd[] = { NaN, -0.5f, 1.5f, std::numeric_limits<float>::infinity(), 0.0f, 1.0f, 0.3f, 0.2f };
   for ( int32_t k = 0; k < 8; ++k )
   {
      input.Pixel( 16 + k, 3 ) = odd[k];
      input.Pixel( 96, 5 + k ) = odd[k];
   }
   auto bits = []( float v )
   {
      uint32_t b;
      std::memcpy( &b, &v, 4 );
      return b;
   };
   for ( const HistogramTransformSet& s : sets )
   {
      Image expected( input ), image( input );
      ReferenceTransform( expected, 0, s );
      qor::ApplyHistogramTransform( image, 0, s );
      for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
         ASSERT_EQ( bits( image[0][i] ), bits( expected[0][i] ) )
             << "sample " << i << " (" << input[0][i] << " -> " << image[0][i] << ", not " << expected[0][i]
             << "), c0 " << s.c0 << " c1 " << s.c1 << " m " << s.m << " r0 " << s.r0 << " r1 " << s.r1;
      for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
         ASSERT_EQ( bits( qor::HistogramTransformValue( input[0][i], s ) ), bits( expected[0][i] ) ) << "sample " << i;
   }
}

TEST( HistogramTransformTest, KnownValues )
{
   struct Case
   {
      HistogramTransformSet set;
      float v, expected;
   } cases[] = {
       { { 0.25f, 0.75f, 0.5f, 0, 1 }, 0.125f, 0.0f },
       { { 0.25f, 0.75f, 0.5f, 0, 1 }, 0.5f, 0.5f },
       { { 0.25f, 0.75f, 0.5f, 0, 1 }, 0.875f, 1.0f },
       { { 0.25f, 0.75f, 0.5f, 0, 1 }, 0.25f, 0.0f },
       { { 0.25f, 0.75f, 0.5f, 0, 1 }, 0.75f, 1.0f },
       { { 0.25f, 0.75f, 0.5f, 0, 1 }, NaN, 0.0f },
       { { 0.3f, 0.3f, 0.9f, 0, 1 }, 0.8f, 0.3f }, // c0 = c1: the constant, whatever m is
       { { 0.6f, 0.4f, 0.5f, 0, 1 }, 0.6f, 0.0f }, // c0 above c1 thresholds
       { { 0.6f, 0.4f, 0.5f, 0, 1 }, 0.61f, 1.0f },
       { { 0, 1, 0.25f, 0, 1 }, 0.25f, 0.5f }, // m maps to 0.5
       { { 0, 1, 0.25f, 0, 1 }, 0.1f, 0.25f },
       { { 0, 1, 0.5f, -1, 1 }, 0.0f, 0.5f }, // (v + 1) / 2
       { { 0, 1, 0.5f, -1, 1 }, 0.5f, 0.75f },
       { { 0, 1, 0.5f, 0.1f, 1 }, 0.05f, 0.05f }, // a narrower range is not applied
       // The degenerate balances: m = 0 keeps 0 and sends every x > 0 to 1; m = 1 sends every x < 1 to 0 and 1,
       // the balance it names, to 0.5.
       { { 0, 1, 0.0f, 0, 1 }, 0.0f, 0.0f },
       { { 0, 1, 0.0f, 0, 1 }, 1e-6f, 1.0f },
       { { 0, 1, 0.0f, 0, 1 }, 1.0f, 1.0f },
       { { 0, 1, 1.0f, 0, 1 }, 0.0f, 0.0f },
       { { 0, 1, 1.0f, 0, 1 }, 0.999f, 0.0f },
       { { 0, 1, 1.0f, 0, 1 }, 1.0f, 0.5f },
   };
   for ( const Case& k : cases )
   {
      Image image = Samples( { k.v } );
      qor::ApplyHistogramTransform( image, 0, k.set );
      EXPECT_FLOAT_EQ( image[0][0], k.expected ) << "v " << k.v << ", c0 " << k.set.c0 << " c1 " << k.set.c1 << " m "
                                                 << k.set.m << " r0 " << k.set.r0 << " r1 " << k.set.r1;
   }
}

TEST( HistogramTransformTest, OneThreadAndAllThreadsGiveTheSameBits )
{
   const Image input = test::RandomImage( 1031, 517, 3, qor::ColorSpace::RGB, 3 );
   const HistogramTransformSet s{ 0.02f, 0.97f, 0.15f, -0.1f, 1.2f };
   Image one( input ), all( input );
   {
      qor::ThreadCountScope threads( 1 );
      qor::ApplyHistogramTransform( one, 1, s );
   }
   {
      qor::ThreadCountScope threads( 0 );
      qor::ApplyHistogramTransform( all, 1, s );
   }
   EXPECT_TRUE( test::SamePixels( one, all ) );
   EXPECT_EQ( std::memcmp( one[0], input[0], size_t( input.NumberOfPixels() ) * sizeof( float ) ), 0 );
   EXPECT_EQ( std::memcmp( one[2], input[2], size_t( input.NumberOfPixels() ) * sizeof( float ) ), 0 );
}

TEST( HistogramTransformTest, MonitorAbortAndMissingChannels )
{
   Image image = test::RandomImage( 300, 200, 1, qor::ColorSpace::Gray, 5 );
   const Image original( image );
   test::MonitorProbe probe;
   image.Status().SetCallback( &test::MonitorProbe::Callback, &probe );

   // A set that changes nothing starts no task.
   qor::ApplyHistogramTransform( image, 0, HistogramTransformSet() );
   EXPECT_EQ( image.Status().Text(), "" );
   EXPECT_TRUE( test::SamePixels( image, original ) );

   qor::ApplyHistogramTransform( image, 0, { 0.1f, 1, 0.3f, -0.5f, 1 } );
   EXPECT_EQ( image.Status().Text(),
              "Dynamic range redistribution, Midtones transfer function, Dynamic range expansion" );
   EXPECT_EQ( image.Status().Total(), 300 * 200 );
   EXPECT_EQ( probe.done, 1 );
   qor::ApplyHistogramTransform( image, 0, { 0.4f, 0.4f, 0.5f, 0, 1 } );
   EXPECT_EQ( image.Status().Text(), "Filling with constant value" );

   image = original;
   probe = test::MonitorProbe{};
   probe.abortAt = 2;
   {
      qor::ThreadCountScope threads( 1 );
      EXPECT_THROW( qor::ApplyHistogramTransform( image, 0, { 0.1f, 0.9f, 0.5f, 0, 1 } ), Image::AbortProcessEvent );
   }
   EXPECT_FALSE( test::SamePixels( image, original ) ); // the first rows are done
   EXPECT_EQ( image[0][image.NumberOfPixels() - 1], original[0][image.NumberOfPixels() - 1] ); // not the last

   image.Status().SetCallback( nullptr, nullptr );
   EXPECT_THROW( qor::ApplyHistogramTransform( image, 1, { 0.1f, 0.9f, 0.5f, 0, 1 } ), qor::GenericException );
   EXPECT_THROW( qor::ApplyHistogramTransform( image, -1, { 0.1f, 0.9f, 0.5f, 0, 1 } ), qor::GenericException );
}

TEST( HistogramTransformTest, SoundSets )
{
   EXPECT_EQ( HistogramTransformSet().Fault(), "" );
   EXPECT_TRUE( HistogramTransformSet().IsIdentity() );
   const HistogramTransformSet sound[] = { { 0.3f, 0.3f, 0, -10, 10 }, { 0, 1, 1, 0, 1 }, { 1, 1, 0.5f, -0.0f, 1 } };
   for ( const HistogramTransformSet& s : sound )
      EXPECT_EQ( s.Fault(), "" ) << s.c0 << " " << s.c1 << " " << s.m << " " << s.r0 << " " << s.r1;
   const HistogramTransformSet unsound[] = {
       { 0.6f, 0.4f, 0.5f, 0, 1 }, { -0.1f, 1, 0.5f, 0, 1 },     { 0, 1.1f, 0.5f, 0, 1 },     { 0, 1, -0.01f, 0, 1 },
       { 0, 1, 1.5f, 0, 1 },       { 0, 1, 0.5f, 0.1f, 1 },      { 0, 1, 0.5f, 0, 0.9f },     { NaN, 1, 0.5f, 0, 1 },
       { 0, 1, NaN, 0, 1 },        { 0, 1, 0.5f, -INFINITY, 1 }, { 0, 1, 0.5f, 0, INFINITY },
   };
   for ( const HistogramTransformSet& s : unsound )
      EXPECT_NE( s.Fault(), "" ) << s.c0 << " " << s.c1 << " " << s.m << " " << s.r0 << " " << s.r1;
}
