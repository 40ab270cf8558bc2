// TCurvesWindow: the painting of the plot (rulers, grid, curves, point squares) through an off-screen bitmap of the
// invalid rectangle, the crosshair and the readout markers drawn over it in XOR, and the info line.

#include "windows/processing/CurvesWindow.h"

#include <QLabel>
#include <QPainter>

#include <algorithm>
#include <cmath>

#include "classlib/TransferCurveEvaluator.h"

namespace
{

const QColor GridColor( 80, 80, 80 );
const QColor CrosshairColor( 128, 128, 128 );

int32_t Byte( double v )
{
   return int32_t( std::nearbyint( 255 * std::clamp( v, 0.0, 1.0 ) ) );
}

} // namespace

QColor TCurvesWindow::CurveColor( int32_t curve )
{
   static const QColor colors[CurvesTransform::NumberOfCurves] = { QColor( 255, 32, 32 ),   QColor( 0, 255, 0 ),
                                                                   QColor( 0, 160, 255 ),   QColor( 224, 224, 224 ),
                                                                   QColor( 255, 255, 255 ), QColor( 255, 255, 0 ),
                                                                   QColor( 255, 144, 255 ) };
   return curve >= 0 && curve < CurvesTransform::NumberOfCurves ? colors[curve] : QColor( Qt::white );
}

QColor TCurvesWindow::RulerColor( int32_t curve, double v )
{
   float r = 0, g = 0, b = 0;
   switch ( curve )
   {
   case CurvesTransform::R:
      r = float( v );
      break;
   case CurvesTransform::G:
      g = float( v );
      break;
   case CurvesTransform::B:
      b = float( v );
      break;
   case CurvesTransform::H:
      qor::HSVToRGB( r, g, b, float( v ), 0.9f, 0.9f );
      break;
   case CurvesTransform::S:
      qor::HSVToRGB( r, g, b, 0.75f, float( v ), 0.9f );
      break;
   default:
      r = g = b = float( v );
      break;
   }
   return QColor( Byte( r ), Byte( g ), Byte( b ) );
}

QString TCurvesWindow::ModeText() const
{
   switch ( mode )
   {
   case AddEditMode:
      return dragState != 0 ? "Editing Point" : "Add/Edit Point Mode";
   case SelectMode:
      return "Select Point Mode";
   case DeleteMode:
      return "Delete Point Mode";
   case ZoomInMode:
      return "Zoom In";
   case ZoomOutMode:
      return "Zoom Out";
   default:
      return "Pan";
   }
}

void TCurvesWindow::UpdateInfo()
{
   QString text;
   if ( dragState != 0 || crosshairShown )
   {
      const double x = double( mouseX ) / std::max( 1, PlotWidth() - 1 );
      const double y = double( PlotHeight() - 1 - mouseY ) / std::max( 1, PlotHeight() - 1 );
      text = QString::asprintf( " %s | x=%.*f | y=%.*f", ModeText().toLatin1().constData(), int( Decimals ), x,
                                int( Decimals ), y );
   }
   if ( Info_Panel->text() != text )
      Info_Panel->setText( text );
}

void TCurvesWindow::Curve_PaintBoxPaint( QPainter& painter, const QRect& clip )
{
   painter.drawImage( clip.topLeft(), PlotBitmap( clip ) );
}

QImage TCurvesWindow::PlotBitmap( const QRect& clip ) const
{
   QImage bitmap( clip.size(), QImage::Format_RGB32 );
   bitmap.fill( Qt::black );
   QPainter painter( &bitmap );
   painter.translate( -clip.topLeft() );
   if ( showGrid )
   {
      DrawRulers( painter, clip );
      DrawGrid( painter, clip );
   }
   for ( int32_t c = 0; c < CurvesTransform::NumberOfCurves; ++c )
      if ( c == currentCurve || ( showAllCurves && !parameters.IsIdentity( c ) ) )
         DrawCurve( painter, c, clip );
   // The marks that move with the mouse and the readout, over everything (exclusive or: drawn twice, they vanish).
   DrawCrosshair( painter );
   DrawReadoutMarkers( painter );
   return bitmap;
}

void TCurvesWindow::DrawRulers( QPainter& painter, const QRect& clip ) const
{
   const int32_t W = PlotWidth();
   const int32_t H = PlotHeight();
   painter.setCompositionMode( QPainter::CompositionMode_SourceOver );
   const QRect bottom = QRect( 0, H - 8, W, 8 ).intersected( clip );
   for ( int32_t x = bottom.left(); x <= bottom.right(); ++x )
      painter.fillRect( QRect( x, bottom.top(), 1, bottom.height() ),
                        RulerColor( currentCurve, double( x ) / std::max( 1, W - 1 ) ) );
   const QRect left = QRect( 0, 0, 8, H ).intersected( clip );
   for ( int32_t y = left.top(); y <= left.bottom(); ++y )
      painter.fillRect( QRect( left.left(), y, left.width(), 1 ),
                        RulerColor( currentCurve, 1 - double( y ) / std::max( 1, H - 1 ) ) );
}

void TCurvesWindow::DrawGrid( QPainter& painter, const QRect& clip ) const
{
   const int32_t W = PlotWidth();
   const int32_t H = PlotHeight();
   const int32_t n = 8 * std::min( horizontalZoom, verticalZoom );
   painter.setCompositionMode( QPainter::CompositionMode_SourceOver );
   for ( int32_t i = 1; i < n; ++i )
   {
      const int32_t column = int32_t( std::nearbyint( double( i ) * ( W - 1 ) / n ) );
      const int32_t row = int32_t( std::nearbyint( double( i ) * ( H - 1 ) / n ) );
      if ( column > clip.right() && row > clip.bottom() )
         break;
      QPen pen( GridColor );
      pen.setStyle( i % 2 != 0 ? Qt::DotLine : Qt::SolidLine );
      painter.setPen( pen );
      if ( column >= clip.left() && column <= clip.right() )
         painter.drawLine( column, clip.top(), column, clip.bottom() );
      if ( row >= clip.top() && row <= clip.bottom() )
         painter.drawLine( clip.left(), row, clip.right(), row );
   }
}

void TCurvesWindow::DrawCurve( QPainter& painter, int32_t curve, const QRect& clip ) const
{
   const int32_t W = PlotWidth();
   const int32_t H = PlotHeight();
   const QColor color = CurveColor( curve );
   const std::vector<float>& cx = parameters.x[size_t( curve )];
   const std::vector<float>& cy = parameters.y[size_t( curve )];
   if ( cx.empty() )
      return;

   // The curve, merged with what lies under it, over the visible columns and one to their left.
   const qor::TransferCurveEvaluator evaluator( cx, cy, parameters.linear[size_t( curve )] );
   qor::SplineCursor cursor;
   QPolygon line;
   for ( int32_t i = std::max( 0, clip.left() - 1 ); i <= clip.right() && i < W; ++i )
   {
      const float v = evaluator.Clamped( float( double( i ) / std::max( 1, W - 1 ) ), cursor );
      line << QPoint( i, int32_t( std::nearbyint( ( H - 1 ) * ( 1.0 - v ) ) ) );
   }
   painter.setCompositionMode( QPainter::RasterOp_SourceOrDestination );
   painter.setPen( color );
   if ( line.size() == 1 )
      painter.drawPoint( line[0] );
   else
      painter.drawPolyline( line );

   // The points of the current curve: outlined squares, the current point's filled.
   if ( curve != currentCurve )
      return;
   painter.setCompositionMode( QPainter::CompositionMode_SourceOver );
   for ( size_t i = 0; i < cx.size(); ++i )
   {
      const QRect square( ColumnOf( cx[i] ) - PointHalfSize, RowOf( cy[i] ) - PointHalfSize, 2 * PointHalfSize + 1,
                          2 * PointHalfSize + 1 );
      if ( int32_t( i ) == currentPoint[size_t( curve )] )
         painter.fillRect( square, color );
      else
      {
         painter.setPen( color );
         painter.setBrush( Qt::NoBrush );
         painter.drawRect( square.adjusted( 0, 0, -1, -1 ) );
      }
   }
}

void TCurvesWindow::DrawCrosshair( QPainter& painter ) const
{
   if ( !crosshairShown || mode > DeleteMode )
      return;
   const int32_t W = PlotWidth();
   const int32_t H = PlotHeight();
   painter.setCompositionMode( QPainter::RasterOp_SourceXorDestination );
   painter.setBrush( Qt::NoBrush );
   if ( mode == SelectMode )
   {
      painter.setPen( CrosshairColor );
      painter.drawRect( mouseX - 8, mouseY - 8, 16, 16 );
   }
   else if ( mode == DeleteMode )
   {
      painter.setPen( Qt::white );
      for ( int sx : { -1, 1 } )
         for ( int sy : { -1, 1 } )
            painter.drawLine( mouseX + 8 * sx, mouseY + 8 * sy, mouseX + 4 * sx, mouseY + 4 * sy );
   }
   painter.setPen( CrosshairColor );
   painter.drawLine( mouseX, 0, mouseX, H - 1 );
   painter.drawLine( 0, mouseY, W - 1, mouseY );
}

void TCurvesWindow::DrawReadoutMarkers( QPainter& painter ) const
{
   if ( !readoutShown )
      return;
   const int32_t W = PlotWidth();
   const int32_t H = PlotHeight();
   painter.setCompositionMode( QPainter::RasterOp_SourceXorDestination );
   auto marker = [&]( double value, int32_t curve )
   {
      const int32_t column = int32_t( std::nearbyint( ( W - 1 ) * std::clamp( value, 0.0, 1.0 ) ) );
      painter.setPen( CurveColor( curve ) );
      painter.drawLine( column, 0, column, H - 1 );
   };
   const float r = readoutValues[0], g = readoutValues[1], b = readoutValues[2];
   switch ( currentCurve )
   {
   case CurvesTransform::RGBK:
      marker( r, CurvesTransform::R );
      marker( g, CurvesTransform::G );
      marker( b, CurvesTransform::B );
      break;
   case CurvesTransform::R:
   case CurvesTransform::G:
   case CurvesTransform::B:
      marker( readoutValues[currentCurve], currentCurve );
      break;
   case CurvesTransform::L:
      marker( readoutSpace.RGBToCIEL( r, g, b ), currentCurve );
      break;
   default:
   {
      float h, s, v;
      qor::RGBToHSV( h, s, v, r, g, b );
      marker( currentCurve == CurvesTransform::H ? h : s, currentCurve );
      break;
   }
   }
}
