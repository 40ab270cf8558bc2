#include "windows/processing/AngleDial.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPixmap>

#include <cmath>

#include "classlib/Math.h"

TAngleDial::TAngleDial( QWidget* parent, std::function<float()> angle, std::function<void( int, int )> drag,
                        std::function<void( bool )> held )
   : QWidget( parent ), angle( std::move( angle ) ), drag( std::move( drag ) ), held( std::move( held ) )
{
   setObjectName( "Angle_PaintBox" );
   setFixedSize( 81, 81 );
}

void TAngleDial::paintEvent( QPaintEvent* )
{
   const int w = width(), h = height();
   QPixmap bitmap( w, h );
   bitmap.fill( Qt::black );
   {
      QPainter p( &bitmap );
      p.setPen( QColor( 128, 128, 128 ) );
      p.setBrush( Qt::NoBrush );
      p.drawEllipse( 0, 0, w - 1, h - 1 );
      p.drawLine( w / 2, 0, w / 2, h );
      p.drawLine( 0, h / 2, w, h / 2 );
      const float a = angle();
      const float r = float( w ) * 0.5f;
      const int x = int( qor::Round( float( w / 2 ) + r * std::cos( a ) ) );
      const int y = int( qor::Round( float( h / 2 ) - r * std::sin( a ) ) );
      p.setPen( Qt::white );
      p.drawLine( w / 2, h / 2, x, y );
      p.fillRect( x - 2, y - 2, 5, 5, Qt::white );
   }
   QPainter( this ).drawPixmap( 0, 0, bitmap );
}

void TAngleDial::mousePressEvent( QMouseEvent* event )
{
   if ( event->button() != Qt::LeftButton )
      return;
   dragging = true;
   held( true );
   const QPoint p = event->position().toPoint();
   drag( p.x(), p.y() );
}

void TAngleDial::mouseMoveEvent( QMouseEvent* event )
{
   if ( !dragging )
      return;
   const QPoint p = event->position().toPoint();
   drag( p.x(), p.y() );
}

void TAngleDial::mouseReleaseEvent( QMouseEvent* event )
{
   if ( event->button() != Qt::LeftButton )
      return;
   dragging = false;
   held( false );
}
