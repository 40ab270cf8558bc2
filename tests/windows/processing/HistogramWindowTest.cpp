// The histogram window driven offscreen: rebinning, the clipped-pixel counts of known images, automatic clipping
// by percentages, dragging the control bar's markers, zoom, the output plot shown and hidden, what the plots draw,
// image readouts, the real-time preview tables and owner protocol, the settings, and applying to an image.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <numeric>
#include <set>
#include <type_traits>

#include "TestDirs.h"
#include "classlib/HistogramTransform.h"
#include "classlib/ImageTestSupport.h"
#include "classlib/Math.h"
#include "platform/KeyTracker.h"
#include "platform/Registry.h"
#include "support/Utils.h"
#include "windows/frames/ViewsListFrame.h"
#include "windows/image/Bitmaps.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/processing/HistogramWindow.h"
#include "windows/tools/RealTimePreviewWindow.h"

namespace
{

constexpr int32_t RGBK = HistogramsTransform::RGBK;

class HistogramWindowTest : public test::ImageWindowProcessTest
{
protected:
   void TearDown() override
   {
      platform::KeyTracker::Instance().ReleaseAll();
      test::ImageWindowProcessTest::TearDown();
   }

   // A one-row image holding the values given, in every channel.
   TImageWindow* Row( std::initializer_list<float> values, int32_t channels = 1 )
   {
      auto* image = new qor::Image( int32_t( values.size() ), 1, channels,
                                    channels == 1 ? qor::ColorSpace::Gray : qor::ColorSpace::RGB );
      int32_t x = 0;
      for ( float v : values )
      {
         for ( int32_t c = 0; c < channels; ++c )
            image->Pixel( x, 0, c ) = v;
         ++x;
      }
      return Make( image );
   }

   void ShowActive()
   {
      window.resize( 520, window.sizeHint().height() );
      window.show();
      window.activateWindow();
      ASSERT_TRUE( QTest::qWaitForWindowActive( &window ) );
   }

   int32_t BarX( float v ) const
   {
      return int32_t( qor::Round( float( window.HistogramControls_PaintBox->width() - 1 ) * v ) );
   }

   THistogramWindow window;
};

TEST_F( HistogramWindowTest, InputHistogramsAreRebinnedToThePlotResolution )
{
   TImageWindow* w = Row( { 0, 0.2f, 0.2f, 0.4f, 1, 1, 1 } );
   window.SelectView( w->mainView );
   ASSERT_NE( w->mainView->Histograms(), nullptr );
   EXPECT_EQ( w->mainView->Histograms()->bins, 65536 );
   ASSERT_NE( window.inputHistograms, nullptr );
   const TImageWindow::HistogramData& h = *window.inputHistograms;
   EXPECT_EQ( h.bins, 256 );
   EXPECT_EQ( h.counts[0][0], 1 );
   EXPECT_EQ( h.counts[0][51], 2 );
   EXPECT_EQ( h.counts[0][102], 1 );
   EXPECT_EQ( h.counts[0][255], 3 );
   EXPECT_EQ( h.peaks[0], 3 );
   EXPECT_EQ( std::accumulate( h.counts[0].get(), h.counts[0].get() + 256, 0 ), 7 );

   window.PlotResolution_ComboBox->setCurrentIndex( 4 );
   window.PlotResolution_ComboBox->activated( 4 );
   EXPECT_EQ( window.plotResolution, 100 );
   EXPECT_EQ( window.inputHistograms->bins, 100 );
   EXPECT_EQ( window.inputHistograms->counts[0][20], 2 ); // 0.2 x 99 = 19.8
   EXPECT_EQ( window.inputHistograms->counts[0][99], 3 );
}

// The bin holding a clipping point is clipped with it: a pixel at c0 goes to 0 and is counted with the shadows, one
// at c1 goes to 1 and is counted with the highlights.
TEST_F( HistogramWindowTest, ClippedCountsFollowTheClipRule )
{
   TImageWindow* w = Row( { 0, 0.2f, 0.2f, 0.3f, 0.4f, 0.4f, 0.4f, 0.9f } );
   window.SelectView( w->mainView );
   window.SetShadows( 0.2f );
   window.SetHighlights( 0.4f );
   EXPECT_EQ( window.shadowsClipped[RGBK], 3 );
   EXPECT_EQ( window.highlightsClipped[RGBK], 4 );
   const qor::HistogramTransformSet set = window.parameters.Set( RGBK );
   EXPECT_EQ( qor::HistogramTransformValue( 0.2f, set ), 0.0f );
   EXPECT_EQ( qor::HistogramTransformValue( 0.4f, set ), 1.0f );
   EXPECT_GT( qor::HistogramTransformValue( 0.3f, set ), 0.0f );
   EXPECT_EQ( window.ShadowsCount_Panel->text(), "         3, 37.500%" );
   EXPECT_EQ( window.HighlightsCount_Panel->text(), "         4, 50.000%" );

   // Points just off the pixels' values clip nothing there.
   window.SetShadows( 0.1999f );
   window.SetHighlights( 0.9001f );
   EXPECT_EQ( window.shadowsClipped[RGBK], 1 );
   EXPECT_EQ( window.highlightsClipped[RGBK], 0 );
   static_assert( std::is_same_v<decltype( window.shadowsClipped[0] ), int64_t&> );

   // A colour image: each channel against its own set; RGB/K adds the three channels after their sets.
   TImageWindow* c = Row( { 0.1f, 0.3f, 0.5f, 0.7f }, 3 );
   window.SelectView( c->mainView );
   window.parameters.c0[0] = 0.3f; // red: 0.1 and 0.3 go to 0
   window.parameters.c1[2] = 0.5f; // blue: 0.5 and 0.7 go to 1
   window.parameters.c0[RGBK] = 0.15f;
   window.ParametersChanged();
   EXPECT_EQ( window.shadowsClipped[0], 2 );
   EXPECT_EQ( window.shadowsClipped[1], 0 );
   EXPECT_EQ( window.highlightsClipped[2], 2 );
   // At or below 0.15 after the channel sets: red 0.1 and 0.3 (both 0) and green 0.1; not blue 0.1, now 0.2.
   // At 1: blue 0.5 and 0.7.
   EXPECT_EQ( window.shadowsClipped[RGBK], 3 );
   EXPECT_EQ( window.highlightsClipped[RGBK], 2 );
}

TEST_F( HistogramWindowTest, AutomaticClippingByPercentages )
{
   // Values spanning [0.2, 0.8]: with 0 % each channel's points land on its first and last non-empty bins.
   TImageWindow* c = Row( { 0.2f, 0.5f, 0.8f, 0.6f }, 3 );
   window.SelectView( c->mainView );
   window.parameters.m[RGBK] = 0.3f;
   window.AutoClip();
   for ( int32_t k = 0; k < 3; ++k )
   {
      EXPECT_EQ( window.parameters.c0[k], 0.2f ) << k;
      EXPECT_EQ( window.parameters.c1[k], 0.8f ) << k;
   }
   EXPECT_TRUE( window.parameters.IsIdentity( RGBK ) );
   EXPECT_EQ( window.Shadows_Edit->text(), "0.00000" ); // the set shown is RGB/K
   window.SetChannel( 0 );
   EXPECT_EQ( window.Shadows_Edit->text(), "0.20000" );
   EXPECT_EQ( window.Highlights_Edit->text(), "0.80000" );

   // A ramp of 100 grey pixels: 5 % may lie below the shadows point, 10 % above the highlights point.
   auto* ramp = new qor::Image( 100, 1, 1, qor::ColorSpace::Gray );
   for ( int32_t x = 0; x < 100; ++x )
      ramp->Pixel( x, 0 ) = float( x ) / 99;
   TImageWindow* g = Make( ramp );
   window.SelectView( g->mainView );
   window.autoClipShadowsAmount = 5;
   window.autoClipHighlightsAmount = 10;
   window.AutoClip();
   EXPECT_NEAR( window.parameters.c0[RGBK], 5.0 / 99, 1e-4 );
   EXPECT_NEAR( window.parameters.c1[RGBK], 89.0 / 99, 1e-4 );
   EXPECT_EQ( window.shadowsClipped[RGBK], 6 ); // the sixth pixel is the first one the sum exceeds 5 with
   EXPECT_TRUE( window.parameters.IsIdentity( 0 ) );

   window.autoClipHighlights = false;
   window.AutoClip();
   EXPECT_EQ( window.parameters.c1[RGBK], 1.0f );
   EXPECT_NEAR( window.parameters.c0[RGBK], 5.0 / 99, 1e-4 );
}

TEST_F( HistogramWindowTest, DraggingTheMarkers )
{
   TImageWindow* w = Row( { 0.1f, 0.5f, 0.9f } );
   window.SelectView( w->mainView );
   ShowActive();
   const int32_t W = window.HistogramControls_PaintBox->width();
   ASSERT_GT( W, 200 );

   // The shadows marker, grabbed with a real click on the bar.
   QTest::mousePress( window.HistogramControls_PaintBox, Qt::LeftButton, {}, QPoint( 3, 5 ) );
   EXPECT_EQ( window.dragState, 1 );
   EXPECT_TRUE( window.Shadows_Edit->hasFocus() );
   window.HistogramControls_PaintBoxMouseMove( BarX( 0.25f ), 5 );
   EXPECT_FLOAT_EQ( window.parameters.c0[RGBK], float( BarX( 0.25f ) ) / float( W - 1 ) );
   EXPECT_TRUE( window.RealTimePreview_Timer->isActive() ); // the output plot waits until the mouse rests
   EXPECT_EQ( window.Shadows_Edit->text().toStdString(), FormatReal( window.parameters.c0[RGBK], 5 ) );
   QTest::mouseRelease( window.HistogramControls_PaintBox, Qt::LeftButton, {}, QPoint( BarX( 0.25f ), 5 ) );
   EXPECT_EQ( window.dragState, 0 );
   EXPECT_FALSE( window.RealTimePreview_Timer->isActive() ); // its tick ran at the release

   // The highlights marker cannot pass the shadows point.
   window.HistogramControls_PaintBoxMouseDown( Qt::LeftButton, W - 1, 5 );
   EXPECT_EQ( window.dragState, 2 );
   window.HistogramControls_PaintBoxMouseMove( BarX( 0.1f ), 5 );
   EXPECT_EQ( window.parameters.c1[RGBK], window.parameters.c0[RGBK] );
   window.HistogramControls_PaintBoxMouseMove( BarX( 0.75f ), 5 );
   window.HistogramControls_PaintBoxMouseUp( 0, 5 );
   const float c0 = window.parameters.c0[RGBK], c1 = window.parameters.c1[RGBK];

   // The midtones marker moves between the two points and no further.
   window.HistogramControls_PaintBoxMouseDown( Qt::LeftButton, BarX( ( c0 + c1 ) / 2 ), 5 );
   EXPECT_EQ( window.dragState, 3 );
   window.HistogramControls_PaintBoxMouseMove( BarX( c0 + ( c1 - c0 ) * 0.25f ), 5 );
   const float m = window.parameters.m[RGBK];
   EXPECT_NEAR( m, 0.25f, 0.01f );
   window.HistogramControls_PaintBoxMouseMove( BarX( 0.9f ), 5 );
   EXPECT_EQ( window.parameters.m[RGBK], m );
   window.HistogramControls_PaintBoxMouseUp( 0, 5 );

   // Within reach of both clipping markers, the shadows one is taken.
   window.SetShadows( 0.5f );
   window.SetHighlights( 0.5f + 4.0f / float( W - 1 ) );
   window.HistogramControls_PaintBoxMouseDown( Qt::LeftButton, BarX( 0.5f ) + 2, 5 );
   EXPECT_EQ( window.dragState, 1 );
   window.HistogramControls_PaintBoxMouseUp( 0, 5 );
   // Far from every marker, nothing is grabbed.
   window.HistogramControls_PaintBoxMouseDown( Qt::LeftButton, BarX( 0.05f ), 5 );
   EXPECT_EQ( window.dragState, 0 );
}

TEST_F( HistogramWindowTest, ZoomAndThePlotLayout )
{
   ShowActive();
   const int32_t cw = window.Histogram_ScrollBox->viewport()->width();
   window.SetZoom( 3, 1 );
   EXPECT_EQ( window.horizontalZoom, 3 );
   EXPECT_EQ( window.HorizontalZoom_Edit->text(), "3" );
   EXPECT_EQ( window.Histogram_PaintBox->width(), 3 * window.Histogram_ScrollBox->viewport()->width() );
   EXPECT_EQ( window.HistogramControls_PaintBox->width(), window.Histogram_PaintBox->width() );
   EXPECT_EQ( window.HistogramControls_PaintBox->y(), window.Histogram_PaintBox->height() );
   EXPECT_EQ( window.OutputHistogram_PaintBox->width(), 3 * window.OutputHistogram_ScrollBox->viewport()->width() );
   // The centre of the view stays in the middle.
   const int32_t Pw = window.Histogram_PaintBox->width();
   EXPECT_NEAR( window.ScrollX( false ) + window.Histogram_ScrollBox->viewport()->width() / 2, Pw / 2, 2 );

   window.SetZoom( 1, 1 );
   EXPECT_EQ( window.Histogram_PaintBox->width(), cw );
   EXPECT_EQ( window.ScrollX( false ), 0 );

   // Zoom in and out with the plot's mouse, within 1 .. 999.
   window.SetMouseMode( 1 );
   window.Plot_MouseDown( false, Qt::LeftButton, 10, 10 );
   EXPECT_EQ( window.horizontalZoom, 2 );
   EXPECT_EQ( window.verticalZoom, 2 );
   window.SetZoom( 999, 998 );
   window.Plot_MouseDown( false, Qt::LeftButton, 10, 10 );
   EXPECT_EQ( window.horizontalZoom, 999 );
   EXPECT_EQ( window.verticalZoom, 999 );
   window.SetZoom( 1, 1 );
   window.SetMouseMode( 2 );
   window.Plot_MouseDown( true, Qt::LeftButton, 10, 10 );
   EXPECT_EQ( window.horizontalZoom, 1 );
   window.SetMouseMode( 0 );

   // The edits take 1 .. 999.
   prompter.Expect( "out of range" );
   window.HorizontalZoom_Edit->setFocus();
   window.HorizontalZoom_Edit->setText( "1000" );
   QTest::keyClick( window.HorizontalZoom_Edit, Qt::Key_Return );
   EXPECT_TRUE( window.inputError );
   EXPECT_EQ( window.HorizontalZoom_Edit->text(), "1" );
   window.VerticalZoom_Edit->setFocus();
   window.VerticalZoom_Edit->setText( "4" );
   QTest::keyClick( window.VerticalZoom_Edit, Qt::Key_Return );
   EXPECT_EQ( window.verticalZoom, 4 );

   // The reset button: 1:1, with Ctrl 2:1, with Ctrl and Shift 4:1; its caption says so.
   platform::KeyTracker& keys = platform::KeyTracker::Instance();
   keys.Press( Qt::Key_Control );
   window.UpdateKeyboardState();
   EXPECT_EQ( window.ResetZoom_SpeedButton->text(), "2:1" );
   EXPECT_EQ( window.Reset_Button->text(), "Reset All" );
   EXPECT_EQ( window.AutoClip_Button->text(), "Setup" );
   window.ResetZoom_SpeedButton->click();
   EXPECT_EQ( window.horizontalZoom, 2 );
   keys.Press( Qt::Key_Shift );
   window.UpdateKeyboardState();
   EXPECT_EQ( window.ResetZoom_SpeedButton->text(), "4:1" );
   window.ResetZoom_SpeedButton->click();
   EXPECT_EQ( window.verticalZoom, 4 );
   keys.ReleaseAll();
   window.UpdateKeyboardState();
   window.ResetZoom_SpeedButton->click();
   EXPECT_EQ( window.horizontalZoom, 1 );
   EXPECT_EQ( window.ResetZoom_SpeedButton->text(), "1:1" );

   // Space pans, Space with Ctrl zooms in, with Alt too zooms out.
   keys.Press( Qt::Key_Space );
   window.UpdateKeyboardState();
   EXPECT_EQ( window.mouseMode, 3 );
   keys.Press( Qt::Key_Control );
   window.UpdateKeyboardState();
   EXPECT_EQ( window.mouseMode, 1 );
   keys.Press( Qt::Key_Alt );
   window.UpdateKeyboardState();
   EXPECT_EQ( window.mouseMode, 2 );
   keys.ReleaseAll();
   window.UpdateKeyboardState();
   EXPECT_EQ( window.mouseMode, 0 );
}

TEST_F( HistogramWindowTest, TheOutputPlotShownAndHidden )
{
   TImageWindow* w = Row( { 0.1f, 0.2f, 0.3f, 0.9f } );
   window.SelectView( w->mainView );
   ShowActive();
   const int height = window.height();
   EXPECT_TRUE( window.OutputHistogram_ScrollBox->isVisible() );
   window.ShowOutput_CheckBox->click();
   EXPECT_FALSE( window.showOutput );
   EXPECT_FALSE( window.OutputHistogram_ScrollBox->isVisible() );
   EXPECT_LT( window.height(), height );
   ASSERT_NE( window.processDragObject, nullptr );
   EXPECT_EQ( window.processDragObject->geometry().bottom(), window.height() - 5 );
   window.ShowOutput_CheckBox->click();
   EXPECT_TRUE( window.showOutput );
   EXPECT_TRUE( window.OutputHistogram_ScrollBox->isVisible() );
   EXPECT_EQ( window.height(), height );

   // c1 = c0 maps every value to c0: the whole output histogram lands in one bin.
   window.parameters.c0[RGBK] = window.parameters.c1[RGBK] = 0.6f;
   window.ParametersChanged();
   window.ComputeOutputHistograms();
   ASSERT_NE( window.outputHistograms, nullptr );
   EXPECT_EQ( window.outputHistograms->counts[0][153], 4 );
   EXPECT_EQ( window.outputHistograms->peaks[0], 4 );
}

TEST_F( HistogramWindowTest, WhatThePlotsDraw )
{
   TImageWindow* w = Row( { 0, 0, 1 } );
   window.SelectView( w->mainView );
   ShowActive();
   const int32_t W = window.Histogram_PaintBox->width(), H = window.Histogram_PaintBox->height();
   const QRect all( 0, 0, W, H );
   const QColor grey( 224, 224, 224 );

   // The identity curve is the diagonal, XOR-ed over the black background (x = 0.3 is off the grid).
   const int32_t x = int32_t( qor::Round( 0.3f * float( W - 1 ) ) );
   const int32_t y = int32_t( qor::Round( ( 1 - float( x ) / float( W - 1 ) ) * float( H - 1 ) ) );
   EXPECT_EQ( window.RenderPlot( false, all ).pixelColor( x, y ), grey );
   // A part of the plot is drawn shifted by its top left.
   EXPECT_EQ( window.RenderPlot( false, QRect( x - 3, y - 2, 10, 10 ) ).pixelColor( 3, 2 ), grey );
   window.ShowCurve_CheckBox->click();
   EXPECT_EQ( window.RenderPlot( false, all ).pixelColor( x, y ), QColor( Qt::black ) );
   // The histogram: the peak of bin 0 at the top of the first column.
   EXPECT_EQ( window.RenderPlot( false, all ).pixelColor( 0, 0 ), grey );
   // The grid: a dotted line at 1/8, a solid one at 2/8.
   window.ShowGrid_CheckBox->click();
   EXPECT_FALSE( window.showGrid );
   EXPECT_EQ( window.RenderPlot( false, all ).pixelColor( int32_t( qor::Round( 2 * float( W - 1 ) / 8 ) ), H / 3 ),
              QColor( Qt::black ) );
   window.ShowGrid_CheckBox->click();
   EXPECT_EQ( window.RenderPlot( false, all ).pixelColor( int32_t( qor::Round( 2 * float( W - 1 ) / 8 ) ), H / 3 ),
              QColor( 80, 80, 80 ) );

   // The crosshair follows the mouse, with its readout in the information panel.
   window.Plot_MouseMove( false, x, H / 2 );
   EXPECT_EQ( window.crosshairShown, 1 );
   EXPECT_EQ( window.RenderPlot( false, all ).pixelColor( x, 5 ), QColor( 128, 128, 128 ) );
   EXPECT_TRUE( window.Info_Panel->text().startsWith( " x = 0.2" ) ||
                window.Info_Panel->text().startsWith( " x = 0.3" ) )
       << window.Info_Panel->text().toStdString();
   window.Plot_MouseLeave();
   EXPECT_EQ( window.crosshairShown, 0 );
   EXPECT_EQ( window.RenderPlot( false, all ).pixelColor( x, 5 ), QColor( Qt::black ) );
   window.Plot_MouseMove( false, 0, 10 );
   EXPECT_TRUE( window.Info_Panel->text().startsWith( " x = 0.00000(0): 2, 66.67% |" ) )
       << window.Info_Panel->text().toStdString();

   // The control bar: a grey ramp with the markers NOT-AND-ed over it.
   const QImage bar = window.RenderControlBar( QRect( 0, 0, W, THistogramWindow::ControlBarHeight ) );
   const int32_t mid = int32_t( qor::Round( 0.4f * float( W - 1 ) ) );
   EXPECT_EQ( bar.pixelColor( mid, 5 ).red(), int( qor::Round( 255 * float( mid ) / float( W - 1 ) ) ) );
   EXPECT_EQ( bar.pixelColor( W - 1, 0 ), QColor( 0, 0, 0 ) ); // ~(white & white)
}

TEST_F( HistogramWindowTest, ReadoutsSetBlackPointMidtonesAndWhitePoint )
{
   TImageWindow* grey = Row( { 0.1f, 0.5f } );
   TImageWindow* colour = Row( { 0.1f, 0.5f }, 3 );
   window.SelectView( grey->mainView );
   window.BeginReadout( *grey->mainView, 0.25f, 0.25f, 0.25f );
   EXPECT_TRUE( window.readoutMarkersShown );
   EXPECT_TRUE( window.parameters.IsIdentity( RGBK ) ); // reading only

   window.ReadoutModeMidtones_Action->trigger();
   EXPECT_EQ( window.readoutMode, 2 );
   window.UpdateReadout( *grey->mainView, 0.25f, 0.25f, 0.25f );
   EXPECT_EQ( window.parameters.m[RGBK], 0.25f );
   EXPECT_EQ( qor::HistogramTransformValue( 0.25f, window.parameters.Set( RGBK ) ), 0.5f );
   EXPECT_EQ( window.Midtones_Edit->text(), "0.25000" );

   window.ReadoutModeBlackPoint_Action->trigger();
   window.UpdateReadout( *colour->mainView, 0.1f, 0.2f, 0.3f );
   EXPECT_EQ( window.parameters.c0[0], 0.1f );
   EXPECT_EQ( window.parameters.c0[1], 0.2f );
   EXPECT_EQ( window.parameters.c0[2], 0.3f );
   window.ReadoutModeWhitePoint_Action->trigger();
   window.UpdateReadout( *colour->mainView, 0.05f, 0.9f, 1.5f ); // never below the black point, never above 1
   EXPECT_EQ( window.parameters.c1[0], 0.1f );
   EXPECT_EQ( window.parameters.c1[1], 0.9f );
   EXPECT_EQ( window.parameters.c1[2], 1.0f );
   window.EndReadout( *colour->mainView );
   EXPECT_FALSE( window.readoutMarkersShown );
}

TEST_F( HistogramWindowTest, RealTimePreviewTablesAndOwnership )
{
   TImageWindow* c = Row( { 0.1f, 0.5f }, 3 );
   window.SelectView( c->mainView );
   window.parameters.c0[0] = 0.5f;
   window.parameters.m[RGBK] = 0.25f;
   window.BuildPreviewTables();
   for ( int32_t j : { 0, 64, 128, 200, 255 } )
   {
      const float v = float( j * ( 1.0L / 255 ) );
      const float red = qor::HistogramTransformValue( qor::HistogramTransformValue( v, window.parameters.Set( 0 ) ),
                                                      window.parameters.Set( RGBK ) );
      const float green = qor::HistogramTransformValue( v, window.parameters.Set( RGBK ) );
      EXPECT_EQ( window.previewTables[0][j], int( qor::Round( 255.0 * red ) ) ) << j;
      EXPECT_EQ( window.previewTables[1][j], int( qor::Round( 255.0 * green ) ) ) << j;
      EXPECT_EQ( window.previewTables[3][j], int( qor::Round( 255.0 * green ) ) ) << j;
   }
   EXPECT_EQ( window.previewTables[0][127], 0 );
   EXPECT_EQ( window.previewTables[1][64], 128 ); // 64/255 is the balance's 0.25 nearly: about half

   // On: the preview window shows, this window owns it and fills its byte tables.
   TRealTimePreviewWindow& rtp = RealTimePreviewWindow();
   window.RealTimePreview_CheckBox->click();
   EXPECT_TRUE( window.realTimePreview );
   EXPECT_TRUE( rtp.isVisible() );
   EXPECT_EQ( rtp.Owner(), &window );
   EXPECT_EQ( rtp.transferTables.bytes, window.previewTables );
   EXPECT_EQ( rtp.floatTableActive, ( std::array<bool, 3>{} ) );
   window.SetShadows( 0.5f ); // the RGB/K set: every table follows
   EXPECT_EQ( rtp.transferTables.bytes[1][127], 0 );
   EXPECT_EQ( rtp.transferTables.bytes, window.previewTables );

   // What the preview shows: the samples of a grey image through the RGB/K set.
   TImageWindow* grey = Row( { 0.1f, 0.1f, 0.9f, 0.9f } );
   rtp.SelectView( grey->mainView );
   window.UpdateRealTimePreview();
   ASSERT_FALSE( rtp.previewBitmap.isNull() );
   for ( int x = 0; x < rtp.previewBitmap.width(); ++x )
   {
      const float v = grey->image->Pixel( x, 0 );
      EXPECT_NEAR( qRed( rtp.previewBitmap.pixel( x, 0 ) ),
                   qor::Round( 255.0 * qor::HistogramTransformValue( v, window.parameters.Set( RGBK ) ) ), 1 )
          << x;
   }

   // Another window takes the preview over: this one's check box is cleared.
   QWidget other;
   rtp.SetOwner( &other );
   EXPECT_FALSE( window.realTimePreview );
   EXPECT_FALSE( window.RealTimePreview_CheckBox->isChecked() );
   // Off again after on: the preview is reset to no owner and identity tables.
   window.RealTimePreview_CheckBox->click();
   EXPECT_EQ( rtp.Owner(), &window );
   window.RealTimePreview_CheckBox->click();
   EXPECT_EQ( rtp.Owner(), nullptr );
   EXPECT_EQ( rtp.transferTables.bytes[1][127], 127 );
   rtp.hide();
}

// Linear data sit in a handful of display levels. The preview of a strong stretch maps the samples themselves, so it
// shows the many levels of the applied result (pixel for pixel as the result is rendered, within the rounding of
// the samples to the tables' 65536 entries), not a few bands.
TEST_F( HistogramWindowTest, ThePreviewOfAStrongStretchShowsTheLevelsOfTheAppliedResult )
{
   constexpr int32_t width = 512, height = 4;
   window.RealTimePreview_CheckBox->click();
   TRealTimePreviewWindow& rtp = RealTimePreviewWindow();
   for ( int32_t channels : { 1, 3 } )
   {
      SCOPED_TRACE( channels );
      auto* image = new qor::Image( width, height, channels, channels == 1 ? qor::ColorSpace::Gray : qor::ColorSpace::RGB );
      for ( int32_t c = 0; c < channels; ++c )
         for ( int32_t y = 0; y < height; ++y )
            for ( int32_t x = 0; x < width; ++x )
               image->Pixel( x, y, c ) = 0.02f * float( x ) / float( width - 1 ) / float( c + 1 ); // levels 0 .. 5
      TImageWindow* w = Make( image );
      window.SelectView( w->mainView );
      rtp.SelectView( w->mainView );
      window.SetMidtones( 0.01f );
      window.UpdateRealTimePreview();
      ASSERT_EQ( rtp.previewBitmap.size(), QSize( width, height ) );

      qor::Image applied( *image );
      for ( int32_t c = 0; c < channels; ++c )
         qor::ApplyHistogramTransform( applied, c, window.parameters.Set( RGBK ) );
      const QImage expected = RenderImageBitmap( applied, w->rgbWorkingSpace, 0, 0, width, height, 1,
                                                 channels == 1 ? 0 : RenderModeRGB, nullptr, -1, -1 );
      std::set<int> sourceLevels, previewLevels;
      for ( int32_t x = 0; x < width; ++x )
      {
         const QRgb source = rtp.sourceBitmap.pixel( x, 1 ), preview = rtp.previewBitmap.pixel( x, 1 );
         sourceLevels.insert( qRed( source ) );
         previewLevels.insert( qRed( preview ) );
         for ( int shift : { 16, 8, 0 } )
            EXPECT_NEAR( preview >> shift & 0xFF, expected.pixel( x, 1 ) >> shift & 0xFF, 1 ) << x << " " << shift;
      }
      EXPECT_LE( sourceLevels.size(), 6u );
      EXPECT_GT( previewLevels.size(), 100u );
   }
   window.RealTimePreview_CheckBox->click();
   rtp.hide();
}

TEST_F( HistogramWindowTest, ResetAndSettings )
{
   window.parameters.c0[0] = 0.2f;
   window.parameters.m[RGBK] = 0.3f;
   window.Reset_Button->click(); // the channel shown: RGB/K
   EXPECT_TRUE( window.parameters.IsIdentity( RGBK ) );
   EXPECT_FALSE( window.parameters.IsIdentity( 0 ) );
   platform::KeyTracker::Instance().Press( Qt::Key_Control );
   window.Reset_Button->click();
   EXPECT_TRUE( window.parameters.IsIdentity( 0 ) );
   platform::KeyTracker::Instance().ReleaseAll();

   test::TempDir dir;
   const QString ini = QString::fromStdString( dir.File( "settings.ini" ) );
   window.autoClipShadows = false;
   window.autoClipShadowsAmount = 0.5f;
   window.autoClipHighlightsAmount = 1.25f;
   window.lockOutput = false;
   window.showGrid = false;
   {
      platform::Registry registry( ini );
      registry.OpenKey( "Software/Corvanta/Lumenforge/1.0/Processing Windows", true );
      window.SaveSettings( registry );
   }
   THistogramWindow other;
   {
      platform::Registry registry( ini );
      ASSERT_TRUE( registry.OpenKey( "Software/Corvanta/Lumenforge/1.0/Processing Windows", false ) );
      other.LoadSettings( registry );
   }
   EXPECT_FALSE( other.autoClipShadows );
   EXPECT_EQ( other.autoClipShadowsAmount, 0.5f );
   EXPECT_TRUE( other.autoClipHighlights );
   EXPECT_EQ( other.autoClipHighlightsAmount, 1.25f );
   EXPECT_FALSE( other.lockOutput );
   EXPECT_FALSE( other.LockOutput_CheckBox->isChecked() );
   EXPECT_FALSE( other.showGrid );
   EXPECT_TRUE( other.showOutput );
   EXPECT_EQ( other.AutoClip_Button->toolTip(), "shadows: n/a, highlights: 1.250%" );
}

TEST_F( HistogramWindowTest, AppliedToAnImageAndImported )
{
   TImageWindow* w = Make( RandomImage( 31, 23, 3, qor::ColorSpace::RGB ) );
   window.SelectView( w->mainView );
   window.parameters.SetSet( 1, { 0.1f, 0.8f, 0.4f, 0, 1 } );
   window.parameters.SetSet( RGBK, { 0.02f, 1, 0.3f, -0.1f, 1 } );
   qor::Image expected( *w->image );
   for ( int32_t c = 0; c < 3; ++c )
   {
      if ( c == 1 )
         qor::ApplyHistogramTransform( expected, c, window.parameters.Set( 1 ) );
      qor::ApplyHistogramTransform( expected, c, window.parameters.Set( RGBK ) );
   }
   w->mainView->selectingWindows.Add( &window );
   window.findChild<QAbstractButton*>( "Apply_Button" )->click();
   EXPECT_TRUE( test::SamePixels( *w->image, expected ) );
   // The view changed: its histograms were calculated again and the window follows. Nothing lies below
   // 0.1 / 1.1 (the expansion's image of 0) any more.
   ASSERT_NE( w->mainView->Histograms(), nullptr );
   EXPECT_EQ(
       std::accumulate( window.inputHistograms->counts[0].get(), window.inputHistograms->counts[0].get() + 23, 0 ), 0 );
   EXPECT_EQ(
       std::accumulate( window.inputHistograms->counts[0].get(), window.inputHistograms->counts[0].get() + 256, 0 ),
       31 * 23 );

   HistogramsTransform imported;
   imported.Params().SetSet( 2, { 0.3f, 0.7f, 0.5f, 0, 1 } );
   window.SetChannel( 2 );
   window.ImportInstance( imported );
   EXPECT_TRUE( window.parameters.IsIdentity( RGBK ) );
   EXPECT_EQ( window.Shadows_Edit->text(), "0.30000" );
   EXPECT_TRUE( imported.IsInterface( &window ) );
   EXPECT_EQ( window.NewInstance()->ToText(), imported.ToText() );

   // The edits take their ranges: shadows at most the highlights point.
   prompter.Expect( "out of range" );
   window.Shadows_Edit->setFocus();
   window.Shadows_Edit->setText( "0.8" );
   QTest::keyClick( window.Shadows_Edit, Qt::Key_Return );
   EXPECT_TRUE( window.inputError );
   EXPECT_EQ( window.Shadows_Edit->text(), "0.30000" );
   window.Shadows_Edit->setText( "0.65" );
   QTest::keyClick( window.Shadows_Edit, Qt::Key_Return );
   EXPECT_EQ( window.parameters.c0[2], 0.65f );
}

} // namespace
