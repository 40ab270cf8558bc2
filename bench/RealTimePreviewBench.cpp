// The real-time preview after a marker drag in the histogram window: the window's transfer tables built again and
// the preview of a 1024 x 1024 RGB view rendered through them, as each mouse move of the midtones marker does
// (the plots the move repaints are not counted).

#include "BenchCommon.h"

#include <QApplication>
#include <QCheckBox>

#include <cstdio>
#include <cstdlib>
#include <memory>

#include "windows/image/ImageWindow.h"
#include "windows/processing/HistogramWindow.h"
#include "windows/tools/RealTimePreviewWindow.h"

namespace
{

constexpr int32_t Side = 1024;

struct Session
{
   std::unique_ptr<QApplication> application;
   TImageWindow* image = nullptr;
   std::unique_ptr<THistogramWindow> histogram;
};

Session& TheSession()
{
   static Session session = []
   {
      static int argc = 1;
      static char name[] = "RealTimePreviewBench";
      static char* argv[] = { name, nullptr };
      qputenv( "QT_QPA_PLATFORM", "offscreen" );
      Session s;
      s.application = std::make_unique<QApplication>( argc, argv );
      auto* pixels = new qor::Image( Side, Side, 3, qor::ColorSpace::RGB );
      for ( int32_t c = 0; c < 3; ++c )
         for ( int64_t i = 0; i < pixels->NumberOfPixels(); ++i )
            pixels->PixelData( c )[i] = float( ( i * ( c + 3 ) ) % 4099 ) / 4098.0f;
      s.image = CreateImageWindow( nullptr, pixels, "" );
      s.histogram = std::make_unique<THistogramWindow>();
      s.histogram->show();
      s.histogram->SelectView( s.image->mainView );
      s.histogram->RealTimePreview_CheckBox->click();
      TRealTimePreviewWindow& preview = RealTimePreviewWindow();
      // A paint box as large as the view: the preview is rendered at 1:1, 1024 x 1024.
      preview.Image_PaintBox->setMinimumSize( Side + 8, Side + 8 );
      preview.resize( preview.sizeHint() );
      preview.SelectView( s.image->mainView );
      if ( preview.sourceBitmap.size() != QSize( Side, Side ) )
      {
         std::fprintf( stderr, "the preview is %dx%d, not %dx%d\n", preview.sourceBitmap.width(),
                       preview.sourceBitmap.height(), Side, Side );
         std::abort();
      }
      return s;
   }();
   return session;
}

struct Registration
{
   Registration()
   {
      // One rebuild a repetition: the midtones changed in the window's parameters (not through the marker setter,
      // which also repaints the plots and renders once more), then the tables and the preview built again. Events
      // left from the previous repetition (the preview's repaint) are handled before the clock starts.
      bench::Register(
          "rtp_marker_drag", "1024x1024x3",
          []
          {
             Session& s = TheSession();
             static bool flip = false;
             flip = !flip;
             s.histogram->parameters.m[s.histogram->channel] = flip ? 0.3f : 0.35f;
             s.histogram->UpdateRealTimePreview();
             benchmark::DoNotOptimize( RealTimePreviewWindow().previewBitmap.constBits() );
          },
          [] { TheSession().application->processEvents(); } );
   }
} registration;

} // namespace
