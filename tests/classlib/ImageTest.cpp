#include <gtest/gtest.h>

#include "Image.h"
#include "AddressSpaceCap.h"
#include "ImageTestSupport.h"

#include <cmath>
#include <limits>
#include <new>
#include <string>
#include <vector>

using qor::ColorSpace;
using qor::Image;
using qor::StatusCallback;

namespace
{

void FillRamp( Image& image )
{
   for ( int c = 0; c < image.NumberOfChannels(); ++c )
      for ( int y = 0; y < image.Height(); ++y )
         for ( int x = 0; x < image.Width(); ++x )
            image.Pixel( x, y, c ) = float( c * 100000 + y * 1000 + x );
}

using Recorder = test::EventRecorder;

} // namespace

TEST( Image, DefaultIsEmptyGray )
{
   Image image;
   EXPECT_TRUE( image.IsEmpty() );
   EXPECT_EQ( image.Width(), 0 );
   EXPECT_EQ( image.NumberOfChannels(), 0 );
   EXPECT_EQ( image.GetColorSpace(), ColorSpace::Gray );
   EXPECT_FALSE( image.IsMonitored() );
   EXPECT_EQ( image.Status().Total(), 0 );
   EXPECT_TRUE( image.Status().Text().empty() );
}

TEST( Image, AllocateSplitsNominalAndAlpha )
{
   struct Case
   {
      int channels, space, nominal, alpha;
   } cases[] = {
      { 4, ColorSpace::RGB, 3, 1 },
      { 2, ColorSpace::RGB, 2, 0 },
      { 4, ColorSpace::Gray, 1, 3 },
      { 3, ColorSpace::CIELab, 3, 0 },
   };
   for ( const Case& k : cases )
   {
      Image image;
      image.Allocate( 10, 10, k.channels, k.space );
      EXPECT_EQ( image.NumberOfNominalChannels(), k.nominal ) << k.channels << " " << k.space;
      EXPECT_EQ( image.NumberOfAlphaChannels(), k.alpha ) << k.channels << " " << k.space;
      EXPECT_EQ( image.GetColorSpace(), k.space );
   }
}

TEST( Image, AllocateWithEmptySizeEmptiesAndKeepsColorSpace )
{
   Image image( 5, 5, 3, ColorSpace::RGB );
   image.Allocate( 0, 100, 3, ColorSpace::RGB );
   EXPECT_TRUE( image.IsEmpty() );
   EXPECT_EQ( image.GetColorSpace(), ColorSpace::RGB );

   Image other( 5, 5, 3, ColorSpace::RGB );
   other.Allocate( 100, 0, 1, ColorSpace::Gray );
   EXPECT_TRUE( other.IsEmpty() );
   EXPECT_EQ( other.GetColorSpace(), ColorSpace::RGB );
}

TEST( Image, AllocateWithSameGeometryKeepsPlanesAndSamples )
{
   Image image;
   image.Allocate( 10, 10, 3, ColorSpace::Gray );
   ASSERT_EQ( image.NumberOfAlphaChannels(), 2 );
   FillRamp( image );
   const float* planes[3] = { image[0], image[1], image[2] };

   image.Allocate( 10, 10, 3, ColorSpace::RGB );
   EXPECT_EQ( image.NumberOfNominalChannels(), 3 );
   EXPECT_EQ( image.NumberOfAlphaChannels(), 0 );
   for ( int c = 0; c < 3; ++c )
   {
      EXPECT_EQ( image[c], planes[c] );
      EXPECT_EQ( image.Pixel( 7, 4, c ), float( c * 100000 + 4007 ) );
   }
}

#if defined( __SANITIZE_ADDRESS__ )
#define LF_ADDRESS_SANITIZER 1
#elif defined( __has_feature )
#if __has_feature( address_sanitizer )
#define LF_ADDRESS_SANITIZER 1
#endif
#endif

namespace
{

// Caps the address space of this process `headroom` bytes above what it already uses, then gives the 256 MiB
// image another size of about as much; exits 0 when that worked and the new far corner can be written.
[[noreturn]] void ReallocateUnderAddressSpaceCap( Image& image, uint64_t headroom )
{
   test::CapAddressSpace( headroom );
   try
   {
      image.Allocate( 8192, 8200, 1, ColorSpace::Gray );
      image.Pixel( 8191, 8199 ) = 1.0f;
   }
   catch ( const std::bad_alloc& )
   {
      std::_Exit( image.IsEmpty() ? 1 : 2 );
   }
   std::_Exit( image.Width() == 8192 && image.Height() == 8200 ? 0 : 3 );
}

} // namespace

TEST( Image, AnotherSizeNeverHoldsTheOldAndTheNewPlanesAtOnce )
{
#if defined( LF_ADDRESS_SANITIZER )
   GTEST_SKIP() << "the address sanitizer reserves more address space than any cap leaves";
#else
   // Room for one 256 MiB plane more, not two: the old plane must be gone before the new one is made.
   GTEST_FLAG_SET( death_test_style, "threadsafe" );
   Image image( 8192, 8192, 1, ColorSpace::Gray );
   EXPECT_EXIT( ReallocateUnderAddressSpaceCap( image, uint64_t( 128 ) << 20 ), ::testing::ExitedWithCode( 0 ), "" );
#endif
}

TEST( Image, AnImpossibleSizeThrowsAndLeavesTheImageEmptyAndUsable )
{
#if defined( LF_ADDRESS_SANITIZER )
   GTEST_SKIP() << "the address sanitizer stops at impossible allocations instead of throwing";
#else
   Image image( 8, 6, 3, ColorSpace::RGB );
   EXPECT_THROW( image.Allocate( 1 << 30, 1 << 30, 3, ColorSpace::RGB ), std::bad_alloc );
   EXPECT_TRUE( image.IsEmpty() );
   EXPECT_EQ( image.Width(), 0 );
   EXPECT_EQ( image.NumberOfChannels(), 0 );
   EXPECT_EQ( image.GetColorSpace(), ColorSpace::RGB );
   image.Allocate( 4, 2, 1, ColorSpace::Gray );
   image.Pixel( 3, 1 ) = 0.5f;
   EXPECT_EQ( image.Pixel( 3, 1 ), 0.5f );
#endif
}

TEST( Image, MoreThanTwoToThe31SamplesAreAddressedIn64Bits )
{
#if defined( LF_ADDRESS_SANITIZER )
   GTEST_SKIP() << "the address sanitizer cannot reserve a 10 GB plane";
#else
   // Samples are left uninitialised, so only the pages written below are ever backed by memory.
   Image image;
   try
   {
      image.Allocate( 50000, 50000, 1, ColorSpace::Gray );
   }
   catch ( const std::bad_alloc& )
   {
      GTEST_SKIP() << "no room for 10 GB of address space here";
   }
   EXPECT_EQ( image.NumberOfPixels(), int64_t( 2500000000 ) );
   image.Pixel( 0, 0 ) = 0.25f;
   image.Pixel( 49999, 49999 ) = 0.75f;
   image.ScanLine( 0, 49999 )[0] = 0.5f;
   EXPECT_EQ( image.PixelData( 0 )[int64_t( 2500000000 ) - 1], 0.75f );
   EXPECT_EQ( image.PixelData( 0 )[int64_t( 49999 ) * 50000], 0.5f );
   EXPECT_EQ( image.Row( 0, 49999 ).size(), size_t( 50000 ) );
   EXPECT_EQ( image.Pixel( 0, 0 ), 0.25f );
   EXPECT_EQ( image.Pixel( 49999, 49999 ), 0.75f );
#endif
}

TEST( Image, PlanesAreAlignedAndRowsContiguous )
{
   Image image( 13, 7, 2, ColorSpace::Gray );
   for ( int c = 0; c < 2; ++c )
   {
      EXPECT_EQ( reinterpret_cast<uintptr_t>( image[c] ) % 64, 0u );
      EXPECT_EQ( image.ScanLine( c, 3 ), image[c] + 3 * 13 );
      EXPECT_EQ( image.Row( c, 6 ).size(), 13u );
   }
}

TEST( Image, AssignCopiesPixelsNotMonitorAndTransferHandsPlanesOver )
{
   Image source( 6, 4, 4, ColorSpace::RGB );
   FillRamp( source );
   Recorder rec;
   source.Status().SetCallback( &Recorder::Callback, &rec );

   Image copy;
   copy.Assign( source );
   EXPECT_EQ( copy.Width(), 6 );
   EXPECT_EQ( copy.NumberOfAlphaChannels(), 1 );
   EXPECT_EQ( copy.GetColorSpace(), ColorSpace::RGB );
   EXPECT_EQ( copy.Pixel( 5, 3, 3 ), source.Pixel( 5, 3, 3 ) );
   EXPECT_NE( copy[0], source[0] );
   EXPECT_FALSE( copy.IsMonitored() );

   Image empty;
   copy.Assign( empty );
   EXPECT_TRUE( copy.IsEmpty() );
   EXPECT_EQ( copy.GetColorSpace(), ColorSpace::RGB ); // an empty source's colour space is not taken

   // Transfer hands the planes over and empties the source; an image handed to itself keeps its pixels.
   const float* plane = source[3];
   copy.Transfer( source );
   EXPECT_EQ( copy[3], plane );
   EXPECT_EQ( copy.NumberOfAlphaChannels(), 1 );
   EXPECT_TRUE( source.IsEmpty() );
   copy.Transfer( copy );
   ASSERT_FALSE( copy.IsEmpty() );
   EXPECT_EQ( copy[3], plane );
   EXPECT_EQ( copy.Width(), 6 );
}

TEST( Image, AssignRectClampsToSource )
{
   struct Case
   {
      int x, y, w, h;
      int ex, ey, ew, eh;
   } cases[] = {
      { -5, 60, 0, 10, 0, 49, 1, 1 },
      { 90, 0, 20, 50, 90, 0, 10, 50 },
      { 10, 20, 30, 5, 10, 20, 30, 5 },
      { 99, 49, 1000, 1000, 99, 49, 1, 1 },
   };
   Image source( 100, 50, 2, ColorSpace::Gray );
   FillRamp( source );
   for ( const Case& k : cases )
   {
      Image r;
      r.AssignRect( source, k.x, k.y, k.w, k.h );
      ASSERT_EQ( r.Width(), k.ew );
      ASSERT_EQ( r.Height(), k.eh );
      EXPECT_EQ( r.NumberOfChannels(), 2 );
      EXPECT_EQ( r.Pixel( 0, 0, 1 ), source.Pixel( k.ex, k.ey, 1 ) );
      EXPECT_EQ( r.Pixel( k.ew - 1, k.eh - 1, 0 ), source.Pixel( k.ex + k.ew - 1, k.ey + k.eh - 1, 0 ) );
   }

   Image self( 100, 50, 1, ColorSpace::Gray );
   FillRamp( self );
   self.AssignRect( self, 10, 10, 5, 5 );
   EXPECT_EQ( self.Width(), 5 );
   EXPECT_EQ( self.Pixel( 0, 0 ), float( 10 * 1000 + 10 ) );
}

TEST( Image, ChannelImageAlphaRemovalAndRange )
{
   Image image( 4, 3, 3, ColorSpace::Gray );
   FillRamp( image );
   auto channel = image.CreateChannelImage( 2 );
   EXPECT_EQ( channel->NumberOfChannels(), 1 );
   EXPECT_EQ( channel->GetColorSpace(), ColorSpace::Gray );
   EXPECT_EQ( channel->Pixel( 3, 2 ), image.Pixel( 3, 2, 2 ) );
   // A missing channel is refused instead of copied from outside the planes.
   EXPECT_THROW( image.CreateChannelImage( 3 ), qor::GenericException );
   EXPECT_THROW( image.CreateChannelImage( -1 ), qor::GenericException );
   EXPECT_THROW( Image().CreateChannelImage( 0 ), qor::GenericException );

   image.DeleteAlphaChannels();
   EXPECT_EQ( image.NumberOfChannels(), 1 );
   image.DeleteAlphaChannels();
   EXPECT_EQ( image.NumberOfChannels(), 1 );

   float mn, mx;
   image.GetChannelRange( 0, mn, mx );
   EXPECT_EQ( mn, 0.0f );
   EXPECT_EQ( mx, 2003.0f );
}

TEST( Image, ChannelRangeOutsideUnitIntervalAndNaN )
{
   Image image( 3, 1, 1, ColorSpace::Gray );
   const float nan = std::numeric_limits<float>::quiet_NaN();
   float samples[][3] = { { 1.5f, 2.0f, 3.0f }, { -0.2f, -0.1f, -0.3f }, { nan, 0.5f, 0.25f }, { 0.5f, nan, 0.75f } };
   float expected[][2] = { { 1.5f, 3.0f }, { -0.3f, -0.1f }, { 0.25f, 0.5f }, { 0.5f, 0.75f } };
   for ( int k = 0; k < 4; ++k )
   {
      std::copy( samples[k], samples[k] + 3, image[0] );
      float mn, mx;
      image.GetChannelRange( 0, mn, mx );
      EXPECT_EQ( mn, expected[k][0] ) << k;
      EXPECT_EQ( mx, expected[k][1] ) << k;
   }

   // No plane, no range: a missing channel is refused instead of read from outside the planes.
   float mn = 7, mx = 7;
   EXPECT_THROW( image.GetChannelRange( 1, mn, mx ), qor::GenericException );
   EXPECT_THROW( image.GetChannelRange( -1, mn, mx ), qor::GenericException );
   EXPECT_THROW( Image().GetChannelRange( 0, mn, mx ), qor::GenericException );
   EXPECT_EQ( mn, 7.0f );
   EXPECT_EQ( mx, 7.0f );
}

TEST( Image, ChannelIds )
{
   EXPECT_EQ( Image::ChannelId( ColorSpace::RGB, 3 ), "alpha01" );
   EXPECT_EQ( Image::ChannelId( ColorSpace::Gray, 0 ), "K" );
   EXPECT_EQ( Image::ChannelId( ColorSpace::Gray, 1 ), "alpha01" );
   EXPECT_EQ( Image::ChannelId( ColorSpace::Gray, 3 ), "alpha03" );
   EXPECT_EQ( Image::ChannelId( ColorSpace::CIELch, 2 ), "h*" );
   EXPECT_EQ( Image::ChannelId( ColorSpace::CIELab, 1 ), "a*" );
   EXPECT_EQ( Image::ChannelId( ColorSpace::HSV, 14 ), "alpha12" );
   EXPECT_EQ( Image::ChannelId( 7, 0 ), "" );
}

TEST( Image, MonitorStepsAndEvents )
{
   struct Case
   {
      int64_t total, step;
   } cases[] = { { 100, 1 }, { 1000, 3 }, { 0, 1 }, { 256 * 1000, 1000 } };
   for ( const Case& k : cases )
   {
      StatusCallback monitor;
      Recorder rec;
      monitor.SetCallback( &Recorder::Callback, &rec );
      monitor.Initialize( "Filling", k.total );
      EXPECT_EQ( monitor.Step(), k.step );
      EXPECT_EQ( monitor.Countdown(), k.step );
      EXPECT_EQ( monitor.Count(), 0 );
   }

   StatusCallback monitor;
   Recorder rec;
   monitor.SetCallback( &Recorder::Callback, &rec );
   monitor.Initialize( "Filling", 100 );
   for ( int i = 0; i < 100; ++i )
      monitor.Advance( 1 );
   ASSERT_EQ( rec.events.size(), 101u );
   EXPECT_EQ( rec.events.front(), StatusCallback::Started );
   EXPECT_EQ( rec.events[99], StatusCallback::Progress );
   EXPECT_EQ( rec.events.back(), StatusCallback::Done );

   // total 0: every Advance is a done event
   rec.events.clear();
   monitor.Initialize( "x", 0 );
   monitor.Advance( 1 );
   monitor.Advance( 1 );
   EXPECT_EQ( rec.events, ( std::vector<int>{ 0, 3, 3 } ) );

   // clearing the function clears the state
   rec.abortAt = 3;
   monitor.Advance( 1 );
   EXPECT_TRUE( monitor.IsAborted() );
   monitor.SetCallback( nullptr, nullptr );
   EXPECT_FALSE( monitor.IsAborted() );
   EXPECT_EQ( monitor.Total(), 0 );
   EXPECT_TRUE( monitor.Text().empty() );
}

TEST( Image, ExceptionsMessages )
{
   Image image;
   Image::AbortProcessEvent abort( &image );
   EXPECT_EQ( abort.Message(), "Image:\nProcess aborted" );
   EXPECT_EQ( abort.SourceImage(), &image );
   Image::InvalidSwapFile invalid( &image );
   EXPECT_EQ( invalid.Message(), "Image:\nInvalid swap file" );
   EXPECT_EQ( invalid.Caption(), "QOR Exception" );
}
