// The histogram window's plots and control bar: painting, zoom and layout, the crosshair and its information text,
// dragging the clipping and midtones markers, zooming and panning with the mouse, and the captions and mouse
// modes that follow the keyboard.
//
// A paint draws its clip rectangle into an off-screen bitmap and copies it in one operation. The curve, the
// readout markers and the crosshair are state, drawn over the histograms at every paint with the raster operations
// the screen drawings used (XOR; NOT (pen AND screen) for the control bar's markers), each pixel once.

#include "windows/processing/HistogramWindow.h"

#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPolygon>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QTimer>
#include <QToolButton>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdio>
#include <functional>

#include "classlib/Math.h"
#include "classlib/TransferCurve.h"
#include "platform/KeyTracker.h"
#include "support/Utils.h"
#include "windows/image/Cursors.h"
#include "windows/main/MainWindow.h"

namespace
{

// Red, green and blue channels, grey images and the RGB/K set, the grid.
const QColor PlotColors[5] = { QColor( 255, 32, 32 ), QColor( 0, 255, 0 ), QColor( 0, 160, 255 ),
                               QColor( 224, 224, 224 ), QColor( 80, 80, 80 ) };
const QColor CrosshairColor( 128, 128, 128 );

// Round( (size - 1) x v ) for a value that may lie anywhere (a NaN gives 0): far-off values stay far off the plot
// without overflowing.
int32_t PixelOf( float v, int32_t size )
{
   if ( std::isnan( v ) )
      return 0;
   return int32_t( qor::Round( double( size - 1 ) * std::clamp( double( v ), -2.0, 3.0 ) ) );
}

// Applies op to every pixel of the bitmap that `draw` paints, each pixel once (`draw` works in the coordinates of
// the whole paint box; the bitmap holds the part that begins at origin).
template <class Op>
void RasterDraw( QImage& bitmap, const QPoint& origin, const std::function<void( QPainter& )>& draw, Op op )
{
   QImage mask( bitmap.size(), QImage::Format_RGB32 );
   mask.fill( Qt::black );
   {
      QPainter p( &mask );
      p.translate( -origin );
      p.setPen( QPen( Qt::white, 0 ) );
      draw( p );
   }
   for ( int y = 0; y < bitmap.height(); ++y )
   {
      const QRgb* m = reinterpret_cast<const QRgb*>( mask.constScanLine( y ) );
      QRgb* b = reinterpret_cast<QRgb*>( bitmap.scanLine( y ) );
      for ( int x = 0; x < bitmap.width(); ++x )
         if ( ( m[x] & 0xFFFFFF ) != 0 )
            b[x] = op( b[x] ) | 0xFF000000u;
   }
}

void XorDraw( QImage& bitmap, const QPoint& origin, const QColor& colour, const std::function<void( QPainter& )>& draw )
{
   const QRgb pen = colour.rgb() & 0xFFFFFF;
   RasterDraw( bitmap, origin, draw, [pen]( QRgb pixel ) { return pixel ^ pen; } );
}

void NotMaskDraw( QImage& bitmap, const QPoint& origin, const QColor& colour,
                  const std::function<void( QPainter& )>& draw )
{
   const QRgb pen = colour.rgb();
   RasterDraw( bitmap, origin, draw, [pen]( QRgb pixel ) { return ~( pen & pixel ); } );
}

// The control bar's colour of a value in set i.
QColor RampColor( int32_t set, float v )
{
   const int b = int( qor::Round( 255 * std::clamp( v, 0.0f, 1.0f ) ) );
   switch ( set )
   {
   case 0:
      return QColor( b, 0, 0 );
   case 1:
      return QColor( 0, b, 0 );
   case 2:
      return QColor( 0, 0, b );
   default:
      return QColor( b, b, b );
   }
}

} // namespace

// ---- Paint boxes ----------------------------------------------------------------------------------------------------

THistogramWindow::PaintBox::PaintBox( THistogramWindow* window, Role role, QWidget* parent )
    : QWidget( parent ), role( role ), window( window )
{
   setAttribute( Qt::WA_OpaquePaintEvent );
   setMouseTracking( role != ControlBar );
}

void THistogramWindow::PaintBox::paintEvent( QPaintEvent* event )
{
   const QRect clip = event->rect();
   const QImage bitmap =
       role == ControlBar ? window->RenderControlBar( clip ) : window->RenderPlot( role == OutputPlot, clip );
   QPainter( this ).drawImage( clip.topLeft(), bitmap );
}

void THistogramWindow::PaintBox::mousePressEvent( QMouseEvent* event )
{
   const QPoint at = event->position().toPoint();
   if ( role == ControlBar )
      window->HistogramControls_PaintBoxMouseDown( event->button(), at.x(), at.y() );
   else
      window->Plot_MouseDown( role == OutputPlot, event->button(), at.x(), at.y() );
}

void THistogramWindow::PaintBox::mouseMoveEvent( QMouseEvent* event )
{
   const QPoint at = event->position().toPoint();
   if ( role == ControlBar )
      window->HistogramControls_PaintBoxMouseMove( at.x(), at.y() );
   else
      window->Plot_MouseMove( role == OutputPlot, at.x(), at.y() );
}

void THistogramWindow::PaintBox::leaveEvent( QEvent* )
{
   if ( role != ControlBar )
      window->Plot_MouseLeave();
}

void THistogramWindow::PaintBox::mouseReleaseEvent( QMouseEvent* event )
{
   const QPoint at = event->position().toPoint();
   if ( role == ControlBar )
      window->HistogramControls_PaintBoxMouseUp( at.x(), at.y() );
   else
      window->Plot_MouseUp( role == OutputPlot, at.x(), at.y() );
}

// ---- Painting
// --------------------------------------------------------------------------------------------------------

void THistogramWindow::RepaintPlots()
{
   Histogram_PaintBox->update();
   if ( showOutput && !RealTimePreview_Timer->isActive() )
      OutputHistogram_PaintBox->update();
}

void THistogramWindow::DrawChannel( QImage& bitmap, const QRect& clip, int32_t H,
                                    const TImageWindow::HistogramData& data, int32_t c, float peak,
                                    const QColor& colour ) const
{
   const int32_t* counts = data.counts[c].get();
   if ( counts == nullptr || !( peak > 0 ) )
      return;
   QPainter p( &bitmap );
   p.translate( -clip.topLeft() );
   p.setCompositionMode( QPainter::RasterOp_SourceOrDestination );
   p.setPen( QPen( colour, 0 ) );
   QPolygon line;
   int32_t lastX = INT32_MIN, lastY = INT32_MIN;
   for ( int32_t i = 0; i < data.bins; ++i )
   {
      const int32_t x = int32_t( qor::Round( float( i ) * plotXScale ) );
      const int32_t y = int32_t( qor::Round( ( 1 - float( counts[i] ) / peak ) * float( H - 1 ) ) );
      if ( x == lastX && y == lastY )
         continue;
      lastX = x;
      lastY = y;
      switch ( graphStyle )
      {
      case 0:
         line << QPoint( x, y );
         break;
      case 1:
         p.drawLine( x, y, x, H );
         break;
      default:
         p.drawPoint( x, y );
         break;
      }
   }
   if ( line.size() == 1 )
      p.drawPoint( line[0] );
   else if ( line.size() > 1 )
      p.drawPolyline( line );
}

QImage THistogramWindow::RenderPlot( bool output, const QRect& clip )
{
   const PaintBox* box = output ? OutputHistogram_PaintBox : Histogram_PaintBox;
   const int32_t W = box->width();
   const int32_t H = box->height();
   QImage bitmap( clip.size(), QImage::Format_RGB32 );
   bitmap.fill( Qt::black );
   if ( W < 2 || H < 2 || clip.isEmpty() )
      return bitmap;
   const QPoint origin = clip.topLeft();

   if ( showGrid )
   {
      QPainter p( &bitmap );
      p.translate( -origin );
      const int32_t g = 8 * std::min( horizontalZoom, verticalZoom );
      const float xs = float( W - 1 ) / float( g );
      const float ys = float( H - 1 ) / float( g );
      for ( int32_t i = 1; i < g; ++i )
      {
         const int32_t x = int32_t( qor::Round( float( i ) * xs ) );
         const int32_t y = int32_t( qor::Round( float( i ) * ys ) );
         if ( x > clip.right() && y > clip.bottom() )
            break;
         p.setPen( QPen( PlotColors[4], 0, ( i & 1 ) ? Qt::DotLine : Qt::SolidLine ) );
         if ( x >= clip.left() && x <= clip.right() )
            p.drawLine( x, clip.top(), x, clip.bottom() );
         if ( y >= clip.top() && y <= clip.bottom() )
            p.drawLine( clip.left(), y, clip.right(), y );
      }
   }

   if ( CurrentView() != nullptr && plotResolution > 1 )
   {
      plotXScale = float( W - 1 ) / float( plotResolution - 1 );
      const bool colour = IsColorView();
      const TImageWindow::HistogramData* data = nullptr;
      if ( output || ( !showRawRGB && channel == HistogramsTransform::RGBK && colour ) )
      {
         if ( ( output ? outputHistograms : channelOutputHistograms ) == nullptr )
            ComputeOutputHistograms();
         data = output ? outputHistograms.get() : channelOutputHistograms.get();
      }
      else
         data = inputHistograms.get();
      if ( data != nullptr )
      {
         if ( channel == HistogramsTransform::RGBK || ( output && lockOutput ) )
         {
            const float peak = float( std::max( { data->peaks[0], data->peaks[1], data->peaks[2] } ) );
            for ( int32_t c = 0; c < 3; ++c )
               if ( data->counts[c] != nullptr )
                  DrawChannel( bitmap, clip, H, *data, c, peak, PlotColors[colour ? c : 3] );
         }
         else if ( colour && data->counts[channel] != nullptr )
            DrawChannel( bitmap, clip, H, *data, channel, float( data->peaks[channel] ), PlotColors[channel] );
      }
   }

   // The curve: clipping and midtones of the set being edited (not the range expansion).
   if ( !output && showCurve )
   {
      const float c0 = parameters.c0[channel], c1 = parameters.c1[channel], m = parameters.m[channel];
      const int32_t x0 = PixelOf( c0, W ), x1 = PixelOf( c1, W );
      XorDraw( bitmap, origin, PlotColors[channel],
               [&]( QPainter& p )
               {
                  if ( x0 == x1 )
                  {
                     p.drawLine( x0, 0, x0, H - 1 );
                     return;
                  }
                  QPolygon curve;
                  const int32_t from = std::max( x0, clip.left() - 1 ), to = std::min( x1, clip.right() + 1 );
                  for ( int32_t x = from; x <= to; ++x )
                  {
                     const float t = float( x - x0 ) / float( x1 - x0 );
                     const float y = 1 - qor::MidtonesTransferFunction( t, m );
                     curve << QPoint( x, int32_t( qor::Round( y * float( H - 1 ) ) ) );
                  }
                  if ( curve.size() > 1 )
                     p.drawPolyline( curve );
                  else if ( curve.size() == 1 )
                     p.drawPoint( curve[0] );
               } );
   }

   if ( readoutMarkersShown && ( !output || showOutput ) )
   {
      auto marker = [&]( int32_t i, const QColor& colour )
      {
         const int32_t x = PixelOf( readoutValues[i], W );
         XorDraw( bitmap, origin, colour, [&]( QPainter& p ) { p.drawLine( x, 0, x, H - 1 ); } );
      };
      if ( channel == HistogramsTransform::RGBK )
         for ( int32_t i = 0; i < 3; ++i )
            marker( i, PlotColors[i] );
      else
         marker( channel, PlotColors[channel] );
   }

   if ( crosshairShown > 0 && mouseMode == 0 )
   {
      const int32_t x = PixelOf( crosshairX, W ), y = PixelOf( crosshairY, H );
      XorDraw( bitmap, origin, CrosshairColor,
               [&]( QPainter& p )
               {
                  p.drawLine( x, 0, x, H - 1 );
                  p.drawLine( 0, y, W - 1, y );
               } );
   }
   return bitmap;
}

QImage THistogramWindow::RenderControlBar( const QRect& clip ) const
{
   const int32_t W = HistogramControls_PaintBox->width();
   const int32_t H = HistogramControls_PaintBox->height();
   QImage bitmap( clip.size(), QImage::Format_RGB32 );
   bitmap.fill( Qt::black );
   if ( W < 2 || clip.isEmpty() )
      return bitmap;
   for ( int32_t x = clip.left(); x <= clip.right() && x < W; ++x )
   {
      const QRgb colour = RampColor( channel, float( x ) / float( W - 1 ) ).rgb();
      for ( int32_t y = 0; y < bitmap.height(); ++y )
         reinterpret_cast<QRgb*>( bitmap.scanLine( y ) )[x - clip.left()] = colour;
   }
   const float c0 = parameters.c0[channel], c1 = parameters.c1[channel];
   for ( float v : { c0, c1, c0 + ( c1 - c0 ) * parameters.m[channel] } )
   {
      const int32_t x = PixelOf( v, W );
      const QColor pen = channel == HistogramsTransform::RGBK && v > 0.25f && v < 0.75f ? QColor( Qt::black )
                                                                                        : RampColor( channel, v );
      NotMaskDraw( bitmap, clip.topLeft(), pen,
                   [&]( QPainter& p )
                   {
                      const QPoint outline[] = {
                          { x, 0 }, { x - MarkerHalfWidth, H - 1 }, { x + MarkerHalfWidth, H - 1 }, { x, 0 } };
                      p.drawPolyline( outline, 4 );
                   } );
   }
   return bitmap;
}

// ---- Zoom and layout ----------------------------------------------------------------------------------------------

int32_t THistogramWindow::ScrollX( bool output ) const
{
   return ( output ? OutputHistogram_ScrollBox : Histogram_ScrollBox )->horizontalScrollBar()->value();
}

int32_t THistogramWindow::ScrollY( bool output ) const
{
   return ( output ? OutputHistogram_ScrollBox : Histogram_ScrollBox )->verticalScrollBar()->value();
}

void THistogramWindow::LayoutPlot( bool output )
{
   QScrollArea* S = output ? OutputHistogram_ScrollBox : Histogram_ScrollBox;
   QWidget* P = output ? OutputHistogram_PaintBox : Histogram_PaintBox;
   const int32_t Qh = output ? 0 : ControlBarHeight;

   // The point kept in the middle: the crosshair's, or the centre of the present view.
   float fx = crosshairX, fy = crosshairY;
   if ( crosshairShown <= 0 )
   {
      const QSize client = S->viewport()->size();
      fx = P->width() > 1
               ? float( ( client.width() >> 1 ) + S->horizontalScrollBar()->value() ) / float( P->width() - 1 )
               : 0.5f;
      fy = P->height() > 1
               ? float( ( client.height() >> 1 ) + S->verticalScrollBar()->value() ) / float( P->height() - 1 )
               : 0.5f;
   }
   fx = std::clamp( std::isnan( fx ) ? 0.5f : fx, 0.0f, 1.0f );
   fy = std::clamp( std::isnan( fy ) ? 0.5f : fy, 0.0f, 1.0f );

   layingOut = true;
   S->setHorizontalScrollBarPolicy( horizontalZoom >= 2 ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff );
   S->setVerticalScrollBarPolicy( verticalZoom >= 2 ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff );
   const QSize client = S->maximumViewportSize();
   const int32_t cw = std::max( client.width(), 2 ), ch = std::max( client.height(), Qh + 2 );
   const int32_t Pw = horizontalZoom * cw;
   const int32_t Ph = std::max( verticalZoom * ch - Qh, 2 );
   if ( output )
      P->resize( Pw, Ph );
   else
   {
      HistogramContents_Panel->resize( Pw, Ph + Qh );
      P->setGeometry( 0, 0, Pw, Ph );
      HistogramControls_PaintBox->setGeometry( 0, Ph, Pw, Qh );
   }
   const int32_t sx = horizontalZoom >= 2
                          ? std::clamp( int32_t( qor::Round( float( Pw - 1 ) * fx - float( cw / 2 ) ) ), 0, Pw - 1 )
                          : 0;
   const int32_t sy =
       verticalZoom >= 2 ? std::clamp( int32_t( qor::Round( float( Ph - 1 ) * fy - float( ch / 2 ) ) ), 0, Ph - 1 ) : 0;
   S->horizontalScrollBar()->setValue( sx );
   S->verticalScrollBar()->setValue( sy );
   layingOut = false;
   P->update();
   if ( !output )
      HistogramControls_PaintBox->update();
}

void THistogramWindow::SetZoom( int32_t h, int32_t v )
{
   horizontalZoom = h < 2 ? 1 : std::min( h, MaxZoom );
   verticalZoom = v < 2 ? 1 : std::min( v, MaxZoom );
   LayoutPlot( false );
   LayoutPlot( true );
   TMainWindow::ControlUpdateGuard guard;
   WriteIntegerToEdit( HorizontalZoom_Edit, horizontalZoom );
   WriteIntegerToEdit( VerticalZoom_Edit, verticalZoom );
}

void THistogramWindow::ResetZoom_SpeedButtonClick()
{
   const platform::KeyTracker& keys = platform::KeyTracker::Instance();
   const int32_t zoom = keys.IsControlDown() ? ( keys.IsShiftDown() ? 4 : 2 ) : 1;
   SetZoom( zoom, zoom );
}

bool THistogramWindow::eventFilter( QObject* watched, QEvent* event )
{
   if ( event->type() == QEvent::Resize && !layingOut )
   {
      if ( watched == Histogram_ScrollBox )
         LayoutPlot( false );
      else if ( watched == OutputHistogram_ScrollBox )
         LayoutPlot( true );
   }
   return TProcessingWindow::eventFilter( watched, event );
}

// ---- Mouse modes, crosshair and information text -----------------------------------------------------------------

void THistogramWindow::SetMouseMode( int32_t mode )
{
   mouseMode = std::clamp( mode, 0, 3 );
   UpdateInfoText();
   static const int32_t cursors[] = { 0, CursorZoomIn, CursorZoomOut, CursorPan };
   for ( PaintBox* box : { Histogram_PaintBox, OutputHistogram_PaintBox } )
   {
      if ( mouseMode == 0 )
         box->setCursor( Qt::BlankCursor ); // the window draws its own crosshair
      else
         box->setCursor( ScreenCursor( cursors[mouseMode] ) );
      box->update();
   }
}

void THistogramWindow::UpdateInfoText()
{
   if ( crosshairX < 0 || crosshairY < 0 )
   {
      Info_Panel->clear();
      return;
   }
   const int p = 5;
   const float x = crosshairX;
   const float y = 1 - crosshairY;
   const int k = int( qor::Round( float( plotResolution - 1 ) * std::clamp( x, 0.0f, 1.0f ) ) );
   char text[256];
   const TImageWindow::HistogramData* source = SourceHistograms();
   if ( source == nullptr || mouseMode != 0 )
   {
      static const char* const prefixes[] = { "", "Zoom In | ", "Zoom Out | ", "Pan | " };
      std::snprintf( text, sizeof( text ), " %sx = %.*f(%d) | y = %.*f", prefixes[mouseMode], p, double( x ), k, p,
                     double( y ) );
   }
   else
   {
      const int32_t B = source->bins;
      const int32_t W = Histogram_PaintBox->width();
      const int32_t i = std::clamp( int32_t( qor::Round( float( B - 1 ) * x ) ), 0, B - 1 );
      const int32_t step = W > 1 ? std::max( int32_t( qor::Round( float( B ) / float( W - 1 ) ) ), 1 ) : 1;
      const int32_t e = std::min( B, i + step );
      const bool colour = IsColorView();
      int64_t count = 0;
      for ( int32_t c = 0; c < 3; ++c )
      {
         // A grey image has channel 0 alone, whatever set is being edited.
         const bool counted = channel == HistogramsTransform::RGBK || c == ( colour ? channel : 0 );
         if ( counted && source->counts[c] != nullptr )
            for ( int32_t j = i; j < e; ++j )
               count += source->counts[c][j];
      }
      std::snprintf( text, sizeof( text ), " x = %.*f(%d): %lld, %.2f%% | y = %.*f", p, double( x ), k,
                     static_cast<long long>( count ), double( count ) * double( percentPerPixel ), p, double( y ) );
   }
   Info_Panel->setText( text );
}

void THistogramWindow::UpdateKeyboardState()
{
   const platform::KeyTracker& keys = platform::KeyTracker::Instance();
   const bool alt = keys.IsAltDown(), ctrl = keys.IsControlDown(), shift = keys.IsShiftDown();
   const bool space = keys.IsKeyDown( Qt::Key_Space );
   Reset_Button->setText( ctrl ? "Reset All" : "Reset" );
   AutoClip_Button->setText( ctrl ? "Setup" : "Auto Clip" );
   ResetZoom_SpeedButton->setText( !ctrl ? "1:1" : ( shift ? "4:1" : "2:1" ) );
   int32_t mode = 0;
   if ( space && ctrl )
      mode = alt ? 2 : 1;
   else if ( space && !alt && !shift )
      mode = 3;
   if ( mode != mouseMode )
      SetMouseMode( mode );
}

bool THistogramWindow::WantChildKey( QWidget* child, QKeyEvent* key )
{
   const bool wanted = TProcessingWindow::WantChildKey( child, key );
   QTimer::singleShot( 0, this, [this] { UpdateKeyboardState(); } );
   const platform::KeyTracker& keys = platform::KeyTracker::Instance();
   const bool ctrl = ( key->modifiers() & Qt::ControlModifier ) != 0 || keys.IsControlDown();
   const bool space = key->key() == Qt::Key_Space || keys.IsKeyDown( Qt::Key_Space );
   return wanted || ctrl || space;
}

void THistogramWindow::keyPressEvent( QKeyEvent* event )
{
   TProcessingWindow::keyPressEvent( event );
   QTimer::singleShot( 0, this, [this] { UpdateKeyboardState(); } );
}

void THistogramWindow::keyReleaseEvent( QKeyEvent* event )
{
   TProcessingWindow::keyReleaseEvent( event );
   QTimer::singleShot( 0, this, [this] { UpdateKeyboardState(); } );
}

// ---- The control bar's markers ------------------------------------------------------------------------------------

void THistogramWindow::HistogramControls_PaintBoxMouseDown( Qt::MouseButton, int32_t X, int32_t )
{
   if ( !isActiveWindow() )
   {
      raise();
      activateWindow();
      return;
   }
   const int32_t W = HistogramControls_PaintBox->width();
   const float c0 = parameters.c0[channel], c1 = parameters.c1[channel];
   if ( std::abs( X - PixelOf( c0, W ) ) <= MarkerHalfWidth )
   {
      dragState = 1;
      Shadows_Edit->setFocus();
   }
   else if ( std::abs( X - PixelOf( c1, W ) ) <= MarkerHalfWidth )
   {
      dragState = 2;
      Highlights_Edit->setFocus();
   }
   else if ( std::abs( X - PixelOf( c0 + ( c1 - c0 ) * parameters.m[channel], W ) ) <= MarkerHalfWidth )
   {
      dragState = 3;
      Midtones_Edit->setFocus();
   }
}

void THistogramWindow::HistogramControls_PaintBoxMouseMove( int32_t X, int32_t )
{
   const int32_t W = HistogramControls_PaintBox->width();
   if ( dragState == 0 || dragState == 4 || X < 0 || X >= W || W < 2 )
      return;
   if ( showOutput || realTimePreview )
      RealTimePreview_Timer->start(); // restarted: the expensive work waits until the mouse rests
   const float v = float( X ) / float( W - 1 );
   switch ( dragState )
   {
   case 1:
      SetShadows( v );
      break;
   case 2:
      SetHighlights( v );
      break;
   default:
   {
      const float m = ( v - parameters.c0[channel] ) / ( parameters.c1[channel] - parameters.c0[channel] );
      if ( m >= 0 && m <= 1 )
         SetMidtones( m );
      break;
   }
   }
}

void THistogramWindow::HistogramControls_PaintBoxMouseUp( int32_t, int32_t )
{
   dragState = 0;
   if ( RealTimePreview_Timer->isActive() )
      RealTimePreview_TimerTimer();
}

// ---- The plots' mouse -------------------------------------------------------------------------------------------

void THistogramWindow::Plot_MouseDown( bool output, Qt::MouseButton button, int32_t X, int32_t Y )
{
   if ( !isActiveWindow() )
   {
      raise();
      activateWindow();
      return;
   }
   if ( button != Qt::LeftButton )
      return;
   const PaintBox* box = output ? OutputHistogram_PaintBox : Histogram_PaintBox;
   const int32_t W = box->width(), H = box->height();
   crosshairX = W > 1 ? float( X ) / float( W - 1 ) : 0.0f;
   crosshairY = H > 1 ? float( Y ) / float( H - 1 ) : 0.0f;
   switch ( mouseMode )
   {
   case 1:
   {
      const int32_t h = std::min( horizontalZoom + 1, MaxZoom ), v = std::min( verticalZoom + 1, MaxZoom );
      if ( h != horizontalZoom || v != verticalZoom )
         SetZoom( h, v );
      break;
   }
   case 2:
   {
      const int32_t h = std::max( horizontalZoom - 1, 1 ), v = std::max( verticalZoom - 1, 1 );
      if ( h != horizontalZoom || v != verticalZoom )
         SetZoom( h, v );
      break;
   }
   case 3:
      dragState = 4;
      panStartX = X;
      panStartY = Y;
      panScrollX = horizontalZoom < 2 ? 0 : ScrollX( output );
      panScrollY = verticalZoom < 2 ? 0 : ScrollY( output );
      break;
   default:
      break;
   }
}

void THistogramWindow::Plot_MouseMove( bool output, int32_t X, int32_t Y )
{
   const PaintBox* box = output ? OutputHistogram_PaintBox : Histogram_PaintBox;
   const QScrollArea* S = output ? OutputHistogram_ScrollBox : Histogram_ScrollBox;
   const int32_t W = box->width(), H = box->height();
   if ( W < 2 || H < 2 )
      return;
   if ( crosshairShown > 0 && X == PixelOf( crosshairX, W ) && Y == PixelOf( crosshairY, H ) )
      return;
   if ( crosshairShown > 0 )
      --crosshairShown;
   const int32_t sx = ScrollX( output ), sy = ScrollY( output );
   const QSize client = S->viewport()->size();
   const bool inside =
       dragState != 0 || ( X >= sx && Y >= sy && X - sx < client.width() && Y - sy < client.height() && Y < H );
   if ( inside )
   {
      crosshairX = float( X ) / float( W - 1 );
      crosshairY = float( Y ) / float( H - 1 );
      ++crosshairShown;
      if ( dragState == 4 && mouseMode == 3 )
      {
         QScrollArea* scroll = output ? OutputHistogram_ScrollBox : Histogram_ScrollBox;
         if ( horizontalZoom > 1 )
         {
            panScrollX = std::clamp( panScrollX + panStartX - X, 0, W - 1 );
            if ( panScrollX != sx )
               scroll->horizontalScrollBar()->setValue( panScrollX );
         }
         if ( verticalZoom > 1 )
         {
            panScrollY = std::clamp( panScrollY + panStartY - Y, 0, H - 1 );
            if ( panScrollY != sy )
               scroll->verticalScrollBar()->setValue( panScrollY );
         }
      }
   }
   Histogram_PaintBox->update();
   OutputHistogram_PaintBox->update();
   UpdateInfoText();
}

void THistogramWindow::Plot_MouseLeave()
{
   if ( dragState != 0 || crosshairShown <= 0 )
      return;
   crosshairShown = 0;
   Histogram_PaintBox->update();
   OutputHistogram_PaintBox->update();
   UpdateInfoText();
}

void THistogramWindow::Plot_MouseUp( bool output, int32_t X, int32_t Y )
{
   const QScrollArea* S = output ? OutputHistogram_ScrollBox : Histogram_ScrollBox;
   const int32_t sx = ScrollX( output ), sy = ScrollY( output );
   const QSize client = S->viewport()->size();
   const bool overScrollBox = X >= sx && Y >= sy && X - sx < client.width() && Y - sy < client.height();
   if ( crosshairShown > 0 && !overScrollBox )
   {
      --crosshairShown;
      Histogram_PaintBox->update();
      OutputHistogram_PaintBox->update();
   }
   dragState = 0;
   if ( RealTimePreview_Timer->isActive() )
      RealTimePreview_TimerTimer();
   UpdateInfoText();
}
