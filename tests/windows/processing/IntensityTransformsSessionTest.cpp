// A night's stretch from start to end: a FITS file opened, stretched in the histogram window while the real-time
// preview follows the markers, applied, shaped by a curve, and the curve undone. The pixels are checked against the
// formulas written out here, not against the library's own functions.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLineEdit>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <memory>

#include "TestDirs.h"
#include "classlib/Image.h"
#include "formats/FITS.h"
#include "windows/image/ImageFileFormat.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/processing/CurvesWindow.h"
#include "windows/processing/HistogramWindow.h"
#include "windows/tools/RealTimePreviewWindow.h"

namespace
{

class IntensityTransformsSessionTest : public test::ImageWindowProcessTest
{
protected:
   void TearDown() override
   {
      RealTimePreviewWindow().hide();
      test::ImageWindowProcessTest::TearDown();
   }
};

// Clipping to [c0, c1] then the midtones transfer function of balance m.
double Stretch( double v, double c0, double c1, double m )
{
   const double x = std::clamp( ( v - c0 ) / ( c1 - c0 ), 0.0, 1.0 );
   return ( m - 1 ) * x / ( ( 2 * m - 1 ) * x - m );
}

TEST_F( IntensityTransformsSessionTest, AFITSImageStretchedPreviewedAppliedCurvedAndUndone )
{
   test::TempDir dir;
   const std::string path = dir.File( "ngc7000.fits" );
   {
      std::unique_ptr<qor::Image> sky( RandomImage( 48, 32, 1, qor::ColorSpace::Gray, 11 ) );
      for ( int64_t i = 0; i < sky->NumberOfPixels(); ++i )
         sky->PixelData( 0 )[i] *= 0.25f; // a dark sky: most of it in the lower quarter
      sky->PixelData( 0 )[0] = 1.0f;       // one star, so the file keeps its range as it is
      FITSOptions options;
      options.bitsPerSample = 32;
      options.floatingPoint = true;
      WriteFITS( *sky, path, &options, nullptr, nullptr );
   }
   TImageWindow* w = Track( OpenImageFile( nullptr, path, false, "" ) );
   ASSERT_NE( w, nullptr );
   const qor::Image opened( *w->image );

   // The stretch, set by dragging the shadows and midtones markers with the live preview on.
   THistogramWindow histogram;
   histogram.resize( 520, histogram.sizeHint().height() );
   histogram.show();
   histogram.SelectView( w->mainView );
   TRealTimePreviewWindow& rtp = RealTimePreviewWindow();
   histogram.RealTimePreview_CheckBox->click();
   ASSERT_EQ( rtp.Owner(), &histogram );
   rtp.SelectView( w->mainView );
   histogram.activateWindow(); // the preview window came up in front: the drags are made in the histogram window
   ASSERT_TRUE( QTest::qWaitForWindowActive( &histogram ) );
   const int32_t W = histogram.HistogramControls_PaintBox->width();
   ASSERT_GT( W, 200 );
   auto barX = [&]( double v ) { return int32_t( std::lround( ( W - 1 ) * v ) ); };
   histogram.HistogramControls_PaintBoxMouseDown( Qt::LeftButton, 0, 5 );
   histogram.HistogramControls_PaintBoxMouseMove( barX( 0.02 ), 5 );
   histogram.HistogramControls_PaintBoxMouseUp( barX( 0.02 ), 5 );
   double c0 = histogram.parameters.c0[HistogramsTransform::RGBK];
   double c1 = histogram.parameters.c1[HistogramsTransform::RGBK];
   histogram.HistogramControls_PaintBoxMouseDown( Qt::LeftButton, barX( ( c0 + c1 ) / 2 ), 5 );
   histogram.HistogramControls_PaintBoxMouseMove( barX( c0 + ( c1 - c0 ) * 0.1 ), 5 );
   histogram.HistogramControls_PaintBoxMouseUp( barX( c0 + ( c1 - c0 ) * 0.1 ), 5 );
   double m = histogram.parameters.m[HistogramsTransform::RGBK];
   ASSERT_GT( c0, 0.0 );
   ASSERT_LT( m, 0.2 );

   // The preview shows the stretch: every pixel of the reduced bitmap through the stretch of the mean of the samples
   // it stands for (not of its 8-bit value, which would show the stretch in bands).
   histogram.UpdateRealTimePreview();
   ASSERT_FALSE( rtp.previewBitmap.isNull() );
   const int n = rtp.zoom < 0 ? -rtp.zoom : 1;
   for ( int y = 0; y < rtp.previewBitmap.height(); ++y )
      for ( int x = 0; x < rtp.previewBitmap.width(); ++x )
      {
         double mean = 0;
         for ( int r = 0; r < n; ++r )
            for ( int k = 0; k < n; ++k )
               mean += opened.Pixel( x * n + k, y * n + r );
         mean /= n * n;
         EXPECT_NEAR( qRed( rtp.previewBitmap.pixel( x, y ) ), 255 * Stretch( mean, c0, c1, m ), 1.0 )
            << x << "," << y;
      }

   w->mainView->selectingWindows.Add( &histogram );
   histogram.findChild<QAbstractButton*>( "Apply_Button" )->click();
   w->mainView->selectingWindows.Remove( &histogram );
   histogram.RealTimePreview_CheckBox->click();
   // Apply took the values as the edits show them (five decimals): the edit of the marker last dragged had focus.
   c0 = histogram.parameters.c0[HistogramsTransform::RGBK];
   c1 = histogram.parameters.c1[HistogramsTransform::RGBK];
   m = histogram.parameters.m[HistogramsTransform::RGBK];
   EXPECT_EQ( float( histogram.Midtones_Edit->text().toDouble() ), float( m ) );
   for ( int64_t i = 0; i < opened.NumberOfPixels(); ++i )
   {
      // Float arithmetic, where a strong stretch is steep: the tolerance grows with the slope of the curve.
      const double v = opened.PixelData( 0 )[i];
      const double slope = ( Stretch( v + 1e-6, c0, c1, m ) - Stretch( v - 1e-6, c0, c1, m ) ) / 2e-6;
      ASSERT_NEAR( w->image->PixelData( 0 )[i], Stretch( v, c0, c1, m ), 2e-6 + 4e-7 * slope ) << i;
   }
   const qor::Image stretched( *w->image );

   // A straight-line curve through (0.5, 0.7): a gentle lift of the midtones.
   TCurvesWindow curves;
   curves.show();
   curves.Curve_PaintBoxMouseDown( Qt::LeftButton, 192, int( std::lround( 384 * 0.3 ) ) );
   curves.Curve_PaintBoxMouseUp( Qt::LeftButton, 192, int( std::lround( 384 * 0.3 ) ) );
   curves.Linear_CheckBox->click();
   const std::vector<float>& px = curves.parameters.x[CurvesTransform::RGBK];
   const std::vector<float>& py = curves.parameters.y[CurvesTransform::RGBK];
   ASSERT_EQ( px.size(), 3u );
   ASSERT_TRUE( curves.parameters.linear[CurvesTransform::RGBK] );
   w->mainView->selectingWindows.Add( &curves );
   curves.findChild<QAbstractButton*>( "Apply_SpeedButton" )->click();
   w->mainView->selectingWindows.Remove( &curves );
   for ( int64_t i = 0; i < stretched.NumberOfPixels(); ++i )
   {
      const double v = stretched.PixelData( 0 )[i];
      const int k = v < px[1] ? 0 : 1;
      const double expected = py[k] + ( v - px[k] ) * ( py[k + 1] - py[k] ) / ( px[k + 1] - px[k] );
      ASSERT_NEAR( w->image->PixelData( 0 )[i], std::clamp( expected, 0.0, 1.0 ), 2e-6 ) << i;
   }

   // Undone: the stretched image again, bit for bit; the stretch itself stays in the history.
   w->UndoRedo();
   for ( int64_t i = 0; i < stretched.NumberOfPixels(); ++i )
      ASSERT_EQ( w->image->PixelData( 0 )[i], stretched.PixelData( 0 )[i] ) << i;
   EXPECT_EQ( w->mainView->LastProcess()->Id(), "HistogramsTransform" );
}

} // namespace
