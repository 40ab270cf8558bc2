#include "BackgroundSamples.h"

#include "Image.h"
#include "RGBColorSystem.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>
#include <random>
#include <vector>

namespace
{

using qor::BackgroundSample;

qor::Image Flat( int32_t width, int32_t height, int32_t channels, float value )
{
   qor::Image image( width, height, channels, channels == 1 ? qor::ColorSpace::Gray : qor::ColorSpace::RGB );
   for ( int32_t c = 0; c < channels; ++c )
      image.Fill( c, value );
   return image;
}

BackgroundSample Measured( const qor::Image& image, int32_t x, int32_t y, int32_t r, float tolerance )
{
   BackgroundSample s;
   qor::DefineBackgroundSample( s, x, y, r );
   qor::EvaluateBackgroundSample( s, image, qor::RGBColorSystem(), tolerance );
   return s;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------
// Measurement

TEST( BackgroundSamples, MeasuresTheBoxMedianAndRejectsWhatDepartsFromIt )
{
   // A 3 x 3 box: the median is 0.10; the bright centre (deviation 4.0) and the bottom-right pixel (0.2) are
   // rejected at tolerance 0.1.
   qor::Image image = Flat( 9, 9, 1, 0.3f );
   const float box[3][3] = { { 0.10f, 0.10f, 0.10f }, { 0.10f, 0.50f, 0.10f }, { 0.10f, 0.10f, 0.12f } };
   for ( int y = 0; y < 3; ++y )
      for ( int x = 0; x < 3; ++x )
         image.Pixel( 3 + x, 4 + y ) = box[y][x];
   const BackgroundSample s = Measured( image, 4, 5, 1, 0.1f );
   EXPECT_EQ( s.pixelCount, 7 );
   EXPECT_FLOAT_EQ( s.values[0], 0.10f );
   EXPECT_FLOAT_EQ( s.centerX, 4 - 1.0f / 7 );
   EXPECT_FLOAT_EQ( s.centerY, 5 - 1.0f / 7 );
   EXPECT_EQ( s.mask, ( std::vector<uint8_t>{ 255, 255, 255, 255, 0, 255, 255, 255, 0 } ) );

   // At tolerance 0 only the pixels equal to the median are accepted; at 0.25 the 0.12 pixel is too.
   EXPECT_EQ( Measured( image, 4, 5, 1, 0.0f ).pixelCount, 7 );
   EXPECT_EQ( Measured( image, 4, 5, 1, 0.25f ).pixelCount, 8 );
   // A tolerance wide enough takes the whole box.
   const BackgroundSample all = Measured( image, 4, 5, 1, 5.0f );
   EXPECT_EQ( all.pixelCount, 9 );
   EXPECT_NEAR( all.values[0], ( 7 * 0.10 + 0.50 + 0.12 ) / 9, 1e-6 );
}

TEST( BackgroundSamples, AStarInTheBoxLeavesTheSkyLevel )
{
   std::mt19937 rng( 3 );
   std::normal_distribution<float> noise( 0.0f, 0.002f );
   qor::Image image( 64, 64 );
   for ( int y = 0; y < 64; ++y )
      for ( int x = 0; x < 64; ++x )
      {
         const float r2 = float( ( x - 30 ) * ( x - 30 ) + ( y - 34 ) * ( y - 34 ) );
         image.Pixel( x, y ) = 0.08f + noise( rng ) + 0.8f * std::exp( -r2 / 2.0f );
      }
   const BackgroundSample s = Measured( image, 32, 32, 10, 0.1f );
   EXPECT_NEAR( s.values[0], 0.08, 0.001 );
   EXPECT_LT( s.pixelCount, 21 * 21 - 15 );
   EXPECT_GT( s.pixelCount, 21 * 21 - 60 );
   // The star's core is masked out and pulls the centroid away from it.
   EXPECT_EQ( s.mask[size_t( ( 34 - 22 ) * 21 + ( 30 - 22 ) )], 0 );
   EXPECT_GT( s.centerX, 32.0f );
   EXPECT_LT( s.centerY, 32.0f );
}

TEST( BackgroundSamples, ABlackBoxUsesTheAbsoluteDeviation )
{
   qor::Image image = Flat( 7, 7, 1, 0.0f );
   image.Pixel( 2, 2 ) = 0.05f; // within 0.1 of black
   image.Pixel( 4, 4 ) = 0.2f;  // beyond it
   const BackgroundSample s = Measured( image, 3, 3, 2, 0.1f );
   EXPECT_EQ( s.pixelCount, 24 );
   EXPECT_NEAR( s.values[0], 0.05 / 24, 1e-7 );
}

TEST( BackgroundSamples, AnRGBBoxMayAcceptNothing )
{
   // The channel medians (0.2, 0.2, 0.2) come from different pixels, and every pixel has a bright channel.
   qor::Image image = Flat( 3, 3, 3, 0.0f );
   const float patterns[3][9] = { { 1, 1, 1, 1, 0, 0, 0, 0, 0 }, { 0, 0, 0, 0, 1, 1, 1, 1, 0 },
                                  { 0, 0, 0, 0, 0, 1, 1, 1, 1 } };
   for ( int c = 0; c < 3; ++c )
      for ( int i = 0; i < 9; ++i )
         image[c][i] = 0.2f + 0.6f * patterns[c][i];
   const BackgroundSample s = Measured( image, 1, 1, 1, 0.05f );
   EXPECT_EQ( s.pixelCount, 0 );
   EXPECT_EQ( s.values[0], 0.0f );
   EXPECT_EQ( s.values[1], 0.0f );
   EXPECT_EQ( s.values[2], 0.0f );
   EXPECT_EQ( s.centerX, 1.0f );
   EXPECT_EQ( s.centerY, 1.0f );

   // An even RGB sky is measured on all three channels through its lightness.
   qor::Image sky = Flat( 9, 9, 3, 0.0f );
   sky.Fill( 0, 0.1f );
   sky.Fill( 1, 0.2f );
   sky.Fill( 2, 0.3f );
   sky.Pixel( 4, 4, 1 ) = 0.9f;
   const BackgroundSample m = Measured( sky, 4, 4, 2, 0.1f );
   EXPECT_EQ( m.pixelCount, 24 );
   EXPECT_FLOAT_EQ( m.values[0], 0.1f );
   EXPECT_FLOAT_EQ( m.values[1], 0.2f );
   EXPECT_FLOAT_EQ( m.values[2], 0.3f );
}

TEST( BackgroundSamples, ABoxPastTheBorderIsMeasuredOnThePixelsInside )
{
   // Radius 2 at the corner: only the 3 x 3 part inside counts; the mask bytes outside stay 0.
   qor::Image image = Flat( 10, 10, 1, 0.4f );
   image.Pixel( 0, 0 ) = 0.9f;
   const BackgroundSample s = Measured( image, 0, 0, 2, 0.1f );
   EXPECT_EQ( s.pixelCount, 8 );
   EXPECT_FLOAT_EQ( s.values[0], 0.4f );
   ASSERT_EQ( s.mask.size(), 25u );
   for ( int y = 0; y < 5; ++y )
      for ( int x = 0; x < 5; ++x )
         EXPECT_EQ( s.mask[size_t( y * 5 + x )], x >= 2 && y >= 2 && !( x == 2 && y == 2 ) ? 255 : 0 ) << x << "," << y;
   // Entirely outside: nothing accepted, nothing read.
   EXPECT_EQ( Measured( image, -20, 3, 2, 0.1f ).pixelCount, 0 );
}

TEST( BackgroundSamples, AFixedSampleKeepsItsValuesAndHasNoMask )
{
   qor::Image image = Flat( 20, 20, 1, 0.4f );
   BackgroundSample s;
   s.fixed = true;
   s.values[0] = 0.25f;
   qor::DefineBackgroundSample( s, 10, 10, 3 );
   qor::EvaluateBackgroundSample( s, image, qor::RGBColorSystem(), 0.1f );
   EXPECT_TRUE( s.mask.empty() );
   EXPECT_EQ( s.values[0], 0.25f );
   EXPECT_EQ( s.pixelCount, 0 );
   // Released, it is measured again.
   s.fixed = false;
   qor::EvaluateBackgroundSample( s, image, qor::RGBColorSystem(), 0.1f );
   EXPECT_EQ( s.mask.size(), 49u );
   EXPECT_EQ( s.pixelCount, 49 );
   EXPECT_FLOAT_EQ( s.values[0], 0.4f );
}

// ---------------------------------------------------------------------------------------------------------------
// Placement

TEST( BackgroundSamples, ClampingKeepsTheBoxInTheImage )
{
   struct Case
   {
      int32_t x, y, r;
      int32_t x1, y1, r1;
   };
   const Case cases[] = {
      { 0, 0, 10, 10, 10, 10 },      // a click at the corner
      { 50, 40, 0, 50, 40, 1 },      // no radius
      { 50, 40, 64, 50, 39, 40 },    // larger than half the smaller side (the box then overhangs by one)
      { 99, 79, 5, 94, 74, 5 },      // the far corner
      { -7, 200, 3, 3, 76, 3 },      // outside
   };
   for ( const Case& c : cases )
   {
      int32_t x = c.x, y = c.y, r = c.r;
      qor::ClampBackgroundSample( x, y, r, 100, 80 );
      EXPECT_EQ( x, c.x1 );
      EXPECT_EQ( y, c.y1 );
      EXPECT_EQ( r, c.r1 );
   }
}

TEST( BackgroundSamples, GridsCoverTheImage )
{
   struct Case
   {
      int32_t width, height, r, intervals;
      size_t count;
      int32_t radius;
      qor::BackgroundGridPoint second, last;
   };
   const Case cases[] = {
      // dx = 97.9, 5 rows of dy = 115.8: 11 x 6 samples, column by column.
      { 1000, 600, 10, 10, 66, 10, { 10, 126 }, { 989, 589 } },
      // Too low for one row of the column step: one row all the same.
      { 1000, 40, 10, 3, 8, 10, { 10, 29 }, { 989, 29 } },
      // Too small for two boxes: one centred sample.
      { 15, 15, 10, 10, 1, 7, { 7, 7 }, { 7, 7 } },
      // More intervals than pixels: one per pixel.
      { 23, 23, 10, 50, 9, 10, { 10, 11 }, { 12, 12 } },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( std::to_string( c.width ) + "x" + std::to_string( c.height ) );
      int32_t radius = 0;
      const std::vector<qor::BackgroundGridPoint> grid =
         qor::BackgroundSampleGrid( c.width, c.height, c.r, c.intervals, &radius );
      ASSERT_EQ( grid.size(), c.count );
      EXPECT_EQ( radius, c.radius );
      const qor::BackgroundGridPoint& second = grid[std::min<size_t>( 1, grid.size() - 1 )];
      EXPECT_EQ( second.x, c.second.x );
      EXPECT_EQ( second.y, c.second.y );
      EXPECT_EQ( grid.back().x, c.last.x );
      EXPECT_EQ( grid.back().y, c.last.y );
      for ( const qor::BackgroundGridPoint& p : grid )
      {
         EXPECT_GE( p.x, std::min( radius, c.width / 2 ) );
         EXPECT_LE( p.x, std::max( c.width - radius - 1, c.width / 2 ) );
      }
   }
}

// ---------------------------------------------------------------------------------------------------------------
// Symmetries

TEST( BackgroundSamples, SymmetriesAddMirroredAndRotatedPoints )
{
   // A 200 x 100 image; the sample's centroid at (50, 20); the centre of symmetry at (100, 50) or off centre.
   struct Case
   {
      const char* name;
      uint8_t symmetries;
      int32_t axialCount;
      float cx, cy;
      std::vector<std::pair<float, float>> points; // in pixels
   };
   const float h = 100, w = 200;
   const std::vector<Case> cases = {
      { "none", 0, 0, 100, 50, { { 50, 20 } } },
      { "H", BackgroundSample::HorizontalSymmetry, 0, 100, 50, { { 50, 20 }, { 150, 20 } } },
      { "V", BackgroundSample::VerticalSymmetry, 0, 100, 50, { { 50, 20 }, { 50, 80 } } },
      { "D", BackgroundSample::DiagonalSymmetry, 0, 100, 50, { { 50, 20 }, { 150, 80 } } },
      { "HVD", 7, 0, 100, 50, { { 50, 20 }, { 150, 20 }, { 50, 80 }, { 150, 80 } } },
      { "H off centre", BackgroundSample::HorizontalSymmetry, 0, 80, 50, { { 50, 20 }, { 110, 20 } } },
      // Counter-clockwise on the screen (rows grow downwards): (-50, -30) from the centre turns to (-30, 50).
      { "axial 4", BackgroundSample::AxialSymmetry, 4, 100, 50,
        { { 50, 20 }, { 70, 100 }, { 150, 80 }, { 130, 0 } } },
      { "axial 2", BackgroundSample::AxialSymmetry, 2, 100, 50, { { 50, 20 }, { 150, 80 } } },
      // An axial count from an older stream makes no copies.
      { "axial 0", BackgroundSample::AxialSymmetry, 0, 100, 50, { { 50, 20 } } },
      { "axial 1", BackgroundSample::AxialSymmetry, 1, 100, 50, { { 50, 20 } } },
   };
   for ( const Case& c : cases )
   {
      SCOPED_TRACE( c.name );
      BackgroundSample s;
      s.centerX = 50;
      s.centerY = 20;
      s.symmetries = c.symmetries;
      s.axialCount = c.axialCount;
      s.values[0] = 0.1f;
      s.values[1] = 0.2f;
      s.values[2] = 0.3f;
      EXPECT_EQ( s.PointCount(), int32_t( c.points.size() ) );
      const qor::BackgroundModelPoints p = qor::BackgroundSamplePoints( { s }, int32_t( w ), int32_t( h ), c.cx, c.cy, 3 );
      ASSERT_EQ( p.Count(), int32_t( c.points.size() ) );
      ASSERT_EQ( p.Channels(), 3 );
      for ( size_t i = 0; i < c.points.size(); ++i )
      {
         EXPECT_NEAR( p.x[i] * w, c.points[i].first, 1e-3 ) << i;
         EXPECT_NEAR( p.y[i] * h, c.points[i].second, 1e-3 ) << i;
         EXPECT_EQ( p.f[0][i], 0.1f );
         EXPECT_EQ( p.f[2][i], 0.3f );
      }
   }
}

TEST( BackgroundSamples, PointsFollowTheSamplesInOrder )
{
   std::vector<BackgroundSample> samples( 3 );
   for ( size_t i = 0; i < samples.size(); ++i )
   {
      samples[i].centerX = float( 10 * ( i + 1 ) );
      samples[i].centerY = 5;
      samples[i].values[0] = float( i );
   }
   samples[1].symmetries = BackgroundSample::VerticalSymmetry;
   const qor::BackgroundModelPoints p = qor::BackgroundSamplePoints( samples, 100, 10, 50, 5, 1 );
   ASSERT_EQ( p.Count(), 4 );
   ASSERT_EQ( p.Channels(), 1 );
   EXPECT_EQ( p.f[0], ( std::vector<float>{ 0, 1, 1, 2 } ) );
   EXPECT_FLOAT_EQ( p.x[2], 0.2f );
   EXPECT_FLOAT_EQ( p.x[3], 0.3f );
}
