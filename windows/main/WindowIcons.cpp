#include "windows/main/WindowIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QRadialGradient>

#include <functional>

namespace
{

constexpr int Sizes[] = { 16, 32, 48, 64 };

// An icon made of one drawing painted at every size, in a 64-unit square.
QIcon Painted( const std::function<void( QPainter& )>& draw )
{
   QIcon icon;
   for ( int size : Sizes )
   {
      QPixmap pixmap( size, size );
      pixmap.fill( Qt::transparent );
      QPainter painter( &pixmap );
      painter.setRenderHint( QPainter::Antialiasing );
      painter.scale( size / 64.0, size / 64.0 );
      draw( painter );
      painter.end();
      icon.addPixmap( pixmap );
   }
   return icon;
}

// A rounded tile of a colour, darker at its edge.
void Tile( QPainter& p, const QColor& colour )
{
   p.setPen( QPen( colour.darker( 170 ), 3 ) );
   p.setBrush( colour );
   p.drawRoundedRect( QRectF( 2, 2, 60, 60 ), 12, 12 );
}

} // namespace

QIcon ApplicationIcon()
{
   static const QIcon icon = Painted(
       []( QPainter& p )
       {
          QRadialGradient sky( QPointF( 26, 24 ), 40 );
          sky.setColorAt( 0, QColor( 60, 80, 150 ) );
          sky.setColorAt( 1, QColor( 10, 14, 40 ) );
          p.setPen( QPen( QColor( 230, 170, 60 ), 5 ) );
          p.setBrush( sky );
          p.drawEllipse( QRectF( 4, 4, 56, 56 ) );
          // A bright star with its spikes and two faint ones.
          p.setPen( QPen( QColor( 255, 250, 220 ), 2.5 ) );
          p.drawLine( QPointF( 32, 14 ), QPointF( 32, 50 ) );
          p.drawLine( QPointF( 14, 32 ), QPointF( 50, 32 ) );
          p.setPen( Qt::NoPen );
          p.setBrush( QColor( 255, 255, 240 ) );
          p.drawEllipse( QPointF( 32, 32 ), 6, 6 );
          p.drawEllipse( QPointF( 19, 45 ), 2.5, 2.5 );
          p.drawEllipse( QPointF( 46, 19 ), 2.5, 2.5 );
       } );
   return icon;
}

QIcon ProcessWindowIcon()
{
   static const QIcon icon = Painted(
       []( QPainter& p )
       {
          Tile( p, QColor( 45, 95, 150 ) );
          p.setPen( QPen( QColor( 255, 255, 255, 90 ), 2 ) );
          for ( int k = 1; k < 4; ++k )
          {
             p.drawLine( QPointF( 10 + 11 * k, 10 ), QPointF( 10 + 11 * k, 54 ) );
             p.drawLine( QPointF( 10, 10 + 11 * k ), QPointF( 54, 10 + 11 * k ) );
          }
          QPainterPath curve( QPointF( 10, 54 ) );
          curve.cubicTo( QPointF( 24, 50 ), QPointF( 26, 14 ), QPointF( 54, 10 ) );
          p.setPen( QPen( QColor( 255, 210, 80 ), 5, Qt::SolidLine, Qt::RoundCap ) );
          p.setBrush( Qt::NoBrush );
          p.drawPath( curve );
       } );
   return icon;
}

QIcon ToolWindowIcon()
{
   static const QIcon icon = Painted(
       []( QPainter& p )
       {
          Tile( p, QColor( 60, 120, 80 ) );
          // A dial with its needle.
          p.setPen( QPen( Qt::white, 5, Qt::SolidLine, Qt::RoundCap ) );
          p.setBrush( Qt::NoBrush );
          p.drawArc( QRectF( 12, 16, 40, 40 ), 0, 180 * 16 );
          p.setPen( QPen( QColor( 255, 210, 80 ), 5, Qt::SolidLine, Qt::RoundCap ) );
          p.drawLine( QPointF( 32, 36 ), QPointF( 44, 22 ) );
          p.setPen( Qt::NoPen );
          p.setBrush( Qt::white );
          p.drawEllipse( QPointF( 32, 36 ), 4, 4 );
       } );
   return icon;
}
