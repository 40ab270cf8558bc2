#include "windows/main/ActionIcons.h"

#include <QFont>
#include <QIconEngine>
#include <QPainter>
#include <QPixmap>

#include <algorithm>

namespace
{

// The rounded tile, and on it what the content paints.
class TileIconEngine : public QIconEngine
{
public:
   using Content = std::function<void( QPainter&, const QRect&, const QColor& ink )>;

   TileIconEngine( Content content, QColor tile ) : content( std::move( content ) ), tile( tile ) {}

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
      content( *painter, rect, mode == QIcon::Disabled ? QColor( 225, 225, 225 ) : QColor( Qt::white ) );
      painter->restore();
   }

   QPixmap pixmap( const QSize& size, QIcon::Mode mode, QIcon::State state ) override
   {
      return scaledPixmap( size, mode, state, 1.0 );
   }

   // The size comes in device pixels: the content is painted at that resolution.
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

   QIconEngine* clone() const override { return new TileIconEngine( content, tile ); }

private:
   Content content;
   QColor tile;
};

} // namespace

QIcon GlyphIcon( const QString& glyph, QColor tile )
{
   auto text = [glyph]( QPainter& painter, const QRect& rect, const QColor& ink )
   {
      QFont font = painter.font();
      font.setBold( true );
      // Longer glyphs get a smaller font so that they fit the tile.
      const qreal scale = glyph.size() <= 1 ? 0.62 : glyph.size() == 2 ? 0.48 : 0.36;
      font.setPixelSize( std::max( 6, int( rect.height() * scale ) ) );
      painter.setFont( font );
      painter.setPen( ink );
      painter.drawText( rect, Qt::AlignCenter, glyph );
   };
   return QIcon( new TileIconEngine( text, tile ) );
}

QIcon PictogramIcon( PictogramDrawing drawing, QColor tile )
{
   auto picture = [drawing = std::move( drawing )]( QPainter& painter, const QRect& rect, const QColor& ink )
   {
      painter.translate( rect.topLeft() );
      painter.scale( rect.width() / 24.0, rect.height() / 24.0 );
      QPen pen( ink, 1.6 );
      pen.setCapStyle( Qt::RoundCap );
      pen.setJoinStyle( Qt::RoundJoin );
      painter.setPen( pen );
      painter.setBrush( Qt::NoBrush );
      drawing( painter, ink );
   };
   return QIcon( new TileIconEngine( picture, tile ) );
}
