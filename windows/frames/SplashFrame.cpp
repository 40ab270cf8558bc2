#include "windows/frames/SplashFrame.h"

#include <QFont>
#include <QHBoxLayout>
#include <QLabel>
#include <QLinearGradient>
#include <QPainter>
#include <QPixmap>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <random>

#include "support/Utils.h"

namespace
{

void PaintSky( QPainter& painter, int size )
{
   QLinearGradient sky( 0, 0, 0, size );
   sky.setColorAt( 0.0, QColor( 2, 3, 12 ) );
   sky.setColorAt( 0.6, QColor( 10, 16, 44 ) );
   sky.setColorAt( 1.0, QColor( 24, 30, 66 ) );
   painter.fillRect( 0, 0, size, size, sky );

   // A faint glow along a diagonal band, where the stars crowd.
   painter.save();
   painter.translate( size / 2.0, size / 2.0 );
   painter.rotate( -32 );
   QRadialGradient glow( 0, 0, size * 0.6 );
   glow.setColorAt( 0.0, QColor( 120, 110, 160, 60 ) );
   glow.setColorAt( 1.0, QColor( 120, 110, 160, 0 ) );
   painter.scale( 1.0, 0.22 );
   painter.setPen( Qt::NoPen );
   painter.setBrush( glow );
   painter.drawEllipse( QPointF( 0, 0 ), size * 0.75, size * 0.75 );
   painter.restore();
}

// Stars from a fixed seed: most of them small and dim, a few bright ones with a halo; two in three lie near the
// band of the glow.
void PaintStars( QPainter& painter, int size )
{
   std::mt19937 random( 1609 );
   std::uniform_real_distribution<double> unit( 0.0, 1.0 );
   std::normal_distribution<double> acrossBand( 0.0, size * 0.09 );
   const double angle = -32 * std::numbers::pi / 180;
   painter.setPen( Qt::NoPen );
   for ( int i = 0; i < 420; ++i )
   {
      double x, y;
      if ( i % 3 != 0 )
      {
         const double along = ( unit( random ) - 0.5 ) * size * 1.5;
         const double across = acrossBand( random );
         x = size / 2.0 + along * std::cos( angle ) - across * std::sin( angle );
         y = size / 2.0 + along * std::sin( angle ) + across * std::cos( angle );
      }
      else
      {
         x = unit( random ) * size;
         y = unit( random ) * size;
      }
      const double brightness = std::pow( unit( random ), 3.0 );
      const double radius = 0.4 + 1.3 * brightness;
      const int level = int( 110 + 145 * brightness );
      // A touch of colour: blue-white and yellow-white stars.
      const int tint = int( unit( random ) * 30 ) - 15;
      const QColor star( std::clamp( level + tint, 0, 255 ), level, std::clamp( level - tint, 0, 255 ) );
      if ( brightness > 0.7 )
      {
         QRadialGradient halo( x, y, radius * 4 );
         halo.setColorAt( 0.0, QColor( star.red(), star.green(), star.blue(), 110 ) );
         halo.setColorAt( 1.0, QColor( star.red(), star.green(), star.blue(), 0 ) );
         painter.setBrush( halo );
         painter.drawEllipse( QPointF( x, y ), radius * 4, radius * 4 );
      }
      painter.setBrush( star );
      painter.drawEllipse( QPointF( x, y ), radius, radius );
   }
}

void PaintTitle( QPainter& painter, int size )
{
   QFont name( "Sans Serif" );
   name.setPixelSize( 52 );
   name.setBold( true );
   name.setLetterSpacing( QFont::PercentageSpacing, 104 );
   painter.setFont( name );
   const QRect nameBox( 0, size * 62 / 100, size, 70 );
   painter.setPen( QColor( 0, 0, 0, 140 ) );
   painter.drawText( nameBox.translated( 2, 2 ), Qt::AlignCenter, "Lumenforge" );
   painter.setPen( QColor( 236, 240, 255 ) );
   painter.drawText( nameBox, Qt::AlignCenter, "Lumenforge" );

   QFont version( "Sans Serif" );
   version.setPixelSize( 16 );
   painter.setFont( version );
   painter.setPen( QColor( 255, 176, 64 ) );
   painter.drawText( QRect( 0, nameBox.bottom() + 4, size, 24 ), Qt::AlignCenter,
                     "Version " + QString::fromStdString( GetProgramVersion() ) );
}

} // namespace

TSplashFrame::TSplashFrame( QWidget* owner ) : QFrame( owner )
{
   setObjectName( "SplashFrame" );
   SplashImage = new QLabel( this );
   SplashImage->setObjectName( "SplashImage" );
   SplashImage->setPixmap( QPixmap::fromImage( SplashPicture() ) );
   SplashImage->setFixedSize( PictureSize, PictureSize );

   auto* layout = new QHBoxLayout( this );
   layout->setContentsMargins( 0, 0, 0, 0 );
   layout->addWidget( SplashImage );
   layout->setSizeConstraint( QLayout::SetFixedSize );
}

QImage TSplashFrame::SplashPicture()
{
   QImage picture( PictureSize, PictureSize, QImage::Format_RGB32 );
   QPainter painter( &picture );
   painter.setRenderHint( QPainter::Antialiasing );
   painter.setRenderHint( QPainter::TextAntialiasing );
   PaintSky( painter, PictureSize );
   PaintStars( painter, PictureSize );
   PaintTitle( painter, PictureSize );
   return picture;
}
