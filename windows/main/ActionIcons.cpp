#include "windows/main/ActionIcons.h"

#include <QFont>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>

#include <algorithm>

namespace
{

class GlyphIconEngine : public QIconEngine
{
public:
   GlyphIconEngine( const QString& glyph, QColor tile ) : glyph( glyph ), tile( tile ) {}

   void paint( QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state ) override
   {
      painter->save();
      painter->setRenderHint( QPainter::Antialiasing );
      painter->setRenderHint( QPainter::TextAntialiasing );
      QColor background = tile;
      if ( state == QIcon::On )
         background = background.lighter( 150 );
      if ( mode == QIcon::Disabled )
         background = QColor( 150, 150, 150 );
      const QRectF r = QRectF( rect ).adjusted( 0.5, 0.5, -0.5, -0.5 );
      const qreal radius = std::max<qreal>( 1, r.height() / 6 );
      painter->setPen( QPen( background.darker( 160 ), 1 ) );
      painter->setBrush( background );
      painter->drawRoundedRect( r, radius, radius );
      QFont font = painter->font();
      font.setBold( true );
      // Longer glyphs get a smaller font so that they fit the tile.
      const qreal scale = glyph.size() <= 1 ? 0.62 : glyph.size() == 2 ? 0.48 : 0.36;
      font.setPixelSize( std::max( 6, int( rect.height() * scale ) ) );
      painter->setFont( font );
      painter->setPen( mode == QIcon::Disabled ? QColor( 225, 225, 225 ) : QColor( Qt::white ) );
      painter->drawText( rect, Qt::AlignCenter, glyph );
      painter->restore();
   }

   QPixmap pixmap( const QSize& size, QIcon::Mode mode, QIcon::State state ) override
   {
      return scaledPixmap( size, mode, state, 1.0 );
   }

   // The size comes in device pixels: the glyph is painted at that resolution.
   QPixmap scaledPixmap( const QSize& size, QIcon::Mode mode, QIcon::State state, qreal scale ) override
   {
      QPixmap pixmap( size );
      pixmap.fill( Qt::transparent );
      {
         QPainter painter( &pixmap );
         paint( &painter, QRect( QPoint( 0, 0 ), size ), mode, state );
      }
      pixmap.setDevicePixelRatio( scale );
      return pixmap;
   }

   QIconEngine* clone() const override { return new GlyphIconEngine( glyph, tile ); }

private:
   QString glyph;
   QColor tile;
};

} // namespace

QIcon GlyphIcon( const QString& glyph, QColor tile )
{
   return QIcon( new GlyphIconEngine( glyph, tile ) );
}
