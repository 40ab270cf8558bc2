#include "windows/processing/StandardButtonPictures.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QPainter>
#include <QPainterPath>
#include <QRadioButton>
#include <QToolButton>

#include <utility>

#include "windows/main/ActionIcons.h"

namespace
{

// The frame of an image (solid) or of a preview (dashed).
void Frame( QPainter& p, bool dashed )
{
   p.save();
   if ( dashed )
   {
      QPen pen = p.pen();
      pen.setDashPattern( { 1.6, 1.4 } );
      pen.setCapStyle( Qt::FlatCap );
      p.setPen( pen );
   }
   p.drawRect( QRectF( 3.5, 5.5, 17, 13 ) );
   p.restore();
}

void RunMark( QPainter& p, const QColor& ink )
{
   p.save();
   p.setBrush( ink );
   p.drawPolygon( QPolygonF{ { 9.5, 8.5 }, { 16, 12 }, { 9.5, 15.5 } } );
   p.restore();
}

void Tick( QPainter& p )
{
   p.drawPolyline( QPolygonF{ { 8, 12 }, { 11, 15 }, { 16.5, 8.5 } } );
}

QIcon Picture( void ( *drawing )( QPainter&, const QColor& ) )
{
   return PictogramIcon( drawing );
}

} // namespace

QIcon StandardButtonPicture( const QString& objectName )
{
   static const std::pair<const char*, void ( * )( QPainter&, const QColor& )> pictures[] = {
       { "Preview_",
         []( QPainter& p, const QColor& ink )
         {
            Frame( p, true );
            RunMark( p, ink );
         } },
       { "Apply_",
         []( QPainter& p, const QColor& ink )
         {
            Frame( p, false );
            RunMark( p, ink );
         } },
       { "SelectPreviews_",
         []( QPainter& p, const QColor& )
         {
            Frame( p, true );
            Tick( p );
         } },
       { "SelectImages_",
         []( QPainter& p, const QColor& )
         {
            Frame( p, false );
            Tick( p );
         } },
       { "Reset_",
         []( QPainter& p, const QColor& )
         {
            p.drawArc( QRectF( 5, 5, 14, 14 ), 100 * 16, 290 * 16 );
            p.drawPolyline( QPolygonF{ { 6.5, 3.5 }, { 10.8, 5.2 }, { 8.5, 9.2 } } );
         } },
       { "OK_",
         []( QPainter& p, const QColor& ) {
            p.drawPolyline( QPolygonF{ { 5, 12 }, { 10, 17 }, { 19, 7 } } );
         } },
       { "Cancel_",
         []( QPainter& p, const QColor& )
         {
            p.drawLine( QPointF( 7, 7 ), QPointF( 17, 17 ) );
            p.drawLine( QPointF( 17, 7 ), QPointF( 7, 17 ) );
         } },
   };
   for ( const auto& [prefix, drawing] : pictures )
      if ( objectName.startsWith( prefix ) )
         return Picture( drawing );
   return QIcon();
}

QIcon NewInstancePicture()
{
   return Picture(
       []( QPainter& p, const QColor& ink )
       {
          p.save();
          p.setBrush( ink );
          p.drawPolygon( QPolygonF{ { 6, 12 }, { 16, 5 }, { 16, 19 } } );
          p.restore();
       } );
}

void GiveStandardButtonsPictures( QWidget* form )
{
   for ( QAbstractButton* button : form->findChildren<QAbstractButton*>() )
   {
      if ( button->window() != form || qobject_cast<QCheckBox*>( button ) != nullptr ||
           qobject_cast<QRadioButton*>( button ) != nullptr || !button->icon().isNull() )
         continue;
      const QIcon picture = StandardButtonPicture( button->objectName() );
      if ( picture.isNull() )
         continue;
      if ( button->toolTip().isEmpty() )
         button->setToolTip( button->text() );
      button->setIcon( picture );
      if ( auto* tool = qobject_cast<QToolButton*>( button ) )
      {
         tool->setToolButtonStyle( Qt::ToolButtonIconOnly );
         tool->setIconSize( QSize( 18, 18 ) );
      }
   }
}
