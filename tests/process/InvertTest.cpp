// Invert against the class library's inversion: every channel, alpha included, on main views and previews alike.

#include <gtest/gtest.h>

#include "GeometryTestKit.h"
#include "classlib/ImageTestSupport.h"
#include "process/Invert.h"

namespace
{

TEST( InvertTest, EveryChannelAlphaIncludedBecomesItsNegativeAndTwiceRestoresExactSamples )
{
   qor::Image image( 5, 3, 2, qor::ColorSpace::Gray ); // grey plus one alpha channel
   image.SetColorSpaceCode( qor::ColorSpace::Gray );
   ASSERT_EQ( image.NumberOfAlphaChannels(), 1 );
   const float samples[] = { 0.0f, 0.25f, 0.5f, 0.75f, 1.0f };
   for ( int32_t c = 0; c < 2; ++c )
      for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
         image[c][i] = samples[( i + c ) % 5];
   const qor::Image original( image );

   kit::RecordingView view( image );
   Invert invert;
   invert.DoExecuteOn( view );
   for ( int32_t c = 0; c < 2; ++c )
      for ( int64_t i = 0; i < image.NumberOfPixels(); ++i )
         ASSERT_EQ( image[c][i], 1.0f - original[c][i] ) << "channel " << c;
   EXPECT_EQ( view.modified, 1 );

   invert.DoExecuteOn( view );
   EXPECT_TRUE( test::SamePixels( image, original ) );
}

TEST( InvertTest, HasNoParametersAndRunsOnPreviews )
{
   Invert invert;
   EXPECT_EQ( invert.parameters, nullptr );
   EXPECT_EQ( invert.ToText(), "Invert" );
   EXPECT_EQ( invert.Category(), "General" );
   qor::Image image = test::RandomImage( 4, 4, 3, qor::ColorSpace::RGB, 3 );
   struct PreviewView : kit::RecordingView
   {
      using RecordingView::RecordingView;
      bool IsPreview() const override { return true; }
   } preview( image );
   EXPECT_TRUE( invert.CanExecuteOn( preview ) );
   EXPECT_TRUE( invert.IsMaskable( preview, nullptr ) );
}

} // namespace
