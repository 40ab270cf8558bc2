#include "windows/main/ProcessPictures.h"

#include <QAction>
#include <QFont>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <map>

#include "process/Process.h"
#include "process/ProcessRegistry.h"
#include "windows/main/ActionIcons.h"

namespace
{

// Channel colours, a little lighter than pure so that they read on the dark tile.
const QColor Red( 255, 90, 90 );
const QColor Green( 90, 220, 90 );
const QColor Blue( 110, 150, 255 );

void Fill( QPainter& p, const QRectF& r, const QColor& c )
{
   p.save();
   p.setPen( Qt::NoPen );
   p.setBrush( c );
   p.drawRect( r );
   p.restore();
}

// Corner marks of a crop rectangle.
void CropMarks( QPainter& p, qreal l, qreal t, qreal r, qreal b )
{
   p.drawPolyline( QPolygonF{ { l, t + 5 }, { l, t }, { l + 5, t } } );
   p.drawPolyline( QPolygonF{ { r - 5, t }, { r, t }, { r, t + 5 } } );
   p.drawPolyline( QPolygonF{ { r, b - 5 }, { r, b }, { r - 5, b } } );
   p.drawPolyline( QPolygonF{ { l + 5, b }, { l, b }, { l, b - 5 } } );
}

// An arrow head at (x, y) pointing along the angle (degrees, 0: to the right, counter-clockwise on screen).
void ArrowHead( QPainter& p, qreal x, qreal y, qreal degrees )
{
   const qreal a = degrees * M_PI / 180;
   auto point = [&]( qreal spread )
   { return QPointF( x - 3.5 * std::cos( a + spread ), y + 3.5 * std::sin( a + spread ) ); };
   p.drawPolyline( QPolygonF{ point( 0.6 ), { x, y }, point( -0.6 ) } );
}

// A page with a folded corner.
void Page( QPainter& p )
{
   p.drawPolygon( QPolygonF{ { 6, 4 }, { 14, 4 }, { 18, 8 }, { 18, 20 }, { 6, 20 } } );
   p.drawPolyline( QPolygonF{ { 14, 4 }, { 14, 8 }, { 18, 8 } } );
}

// The graph of a function: the points it gives for `steps` + 1 even steps of x from x0 to x1, joined.
QPainterPath Graph( qreal x0, qreal x1, int steps, QPointF ( *point )( qreal x ) )
{
   QPainterPath path( point( x0 ) );
   for ( int i = 1; i <= steps; ++i )
      path.lineTo( point( x0 + ( x1 - x0 ) * i / steps ) );
   return path;
}

using Drawing = void ( * )( QPainter&, const QColor& );

const std::map<std::string, Drawing>& Drawings()
{
   static const std::map<std::string, Drawing> drawings = {
       // A box holding a list of processes.
       { "ProcessContainer",
         []( QPainter& p, const QColor& )
         {
            p.drawRoundedRect( QRectF( 4, 4, 16, 16 ), 2, 2 );
            for ( qreal y : { 8.5, 12.0, 15.5 } )
               p.drawLine( QPointF( 7, y ), QPointF( 17, y ) );
         } },
       // Colour to grey: the three channels become one grey ramp.
       { "ConvertToGrayscale",
         []( QPainter& p, const QColor& ink )
         {
            Fill( p, QRectF( 4, 4, 3, 16 ), Red );
            Fill( p, QRectF( 7, 4, 3, 16 ), Green );
            Fill( p, QRectF( 10, 4, 3, 16 ), Blue );
            QLinearGradient ramp( 14, 0, 20, 0 );
            ramp.setColorAt( 0, ink );
            ramp.setColorAt( 1, QColor( 40, 40, 40 ) );
            p.save();
            p.setPen( Qt::NoPen );
            p.setBrush( ramp );
            p.drawRect( QRectF( 14, 4, 6, 16 ) );
            p.restore();
         } },
       // Grey to colour: three overlapping channel discs.
       { "ConvertToRGBColor",
         []( QPainter& p, const QColor& )
         {
            p.save();
            p.setCompositionMode( QPainter::CompositionMode_Plus );
            p.setPen( Qt::NoPen );
            for ( const auto& [colour, centre] :
                  { std::pair{ Red, QPointF( 9, 9.5 ) }, std::pair{ Green, QPointF( 15, 9.5 ) },
                    std::pair{ Blue, QPointF( 12, 14.5 ) } } )
            {
               p.setBrush( colour );
               p.drawEllipse( centre, 5, 5 );
            }
            p.restore();
         } },
       // The gamut triangle of the working space with its white point.
       { "RGBSpaceParameters",
         []( QPainter& p, const QColor& ink )
         {
            p.drawPolygon( QPolygonF{ { 5, 19 }, { 12, 4 }, { 19, 19 } } );
            Fill( p, QRectF( 4, 17.5, 3, 3 ), Blue );
            Fill( p, QRectF( 10.5, 3, 3, 3 ), Green );
            Fill( p, QRectF( 17, 17.5, 3, 3 ), Red );
            p.save();
            p.setBrush( ink );
            p.drawEllipse( QPointF( 12, 14 ), 1.2, 1.2 );
            p.restore();
         } },
       // One image split into its channels.
       { "ExtractChannels",
         []( QPainter& p, const QColor& )
         {
            p.drawRect( QRectF( 4, 7, 8, 10 ) );
            p.drawLine( QPointF( 12, 12 ), QPointF( 14, 12 ) );
            Fill( p, QRectF( 15, 4, 5, 4 ), Red );
            Fill( p, QRectF( 15, 10, 5, 4 ), Green );
            Fill( p, QRectF( 15, 16, 5, 4 ), Blue );
         } },
       // Channels gathered into one image.
       { "ImportChannels",
         []( QPainter& p, const QColor& )
         {
            Fill( p, QRectF( 4, 4, 5, 4 ), Red );
            Fill( p, QRectF( 4, 10, 5, 4 ), Green );
            Fill( p, QRectF( 4, 16, 5, 4 ), Blue );
            p.drawLine( QPointF( 10, 12 ), QPointF( 12, 12 ) );
            p.drawRect( QRectF( 12, 7, 8, 10 ) );
         } },
       // Erosion and dilation: a peak and a trough.
       { "MinMaxFilter",
         []( QPainter& p, const QColor& ink )
         {
            p.save();
            p.setBrush( ink );
            p.drawPolygon( QPolygonF{ { 5, 11 }, { 12, 4 }, { 19, 11 } } );
            p.restore();
            p.drawPolygon( QPolygonF{ { 5, 13 }, { 19, 13 }, { 12, 20 } } );
         } },
       // Five samples in order, the middle one marked.
       { "MedianFilter",
         []( QPainter& p, const QColor& ink )
         {
            const qreal heights[] = { 5, 8, 11, 14, 16 };
            for ( int i = 0; i < 5; ++i )
               Fill( p, QRectF( 4 + i * 3.4, 20 - heights[i], 2.2, heights[i] ), i == 2 ? Green : ink );
            p.drawLine( QPointF( 3, 9 ), QPointF( 21, 9 ) );
         } },
       // Green, struck out.
       { "SCNR",
         []( QPainter& p, const QColor& ink )
         {
            p.save();
            p.setPen( Qt::NoPen );
            p.setBrush( Green );
            p.drawEllipse( QPointF( 12, 12 ), 7, 7 );
            p.restore();
            QPen pen = p.pen();
            pen.setColor( ink );
            pen.setWidthF( 2.2 );
            p.setPen( pen );
            p.drawLine( QPointF( 6, 18 ), QPointF( 18, 6 ) );
         } },
       // A wavelet: the Mexican hat.
       { "ATrousWaveletTransform",
         []( QPainter& p, const QColor& )
         {
            p.drawPath( Graph( -3, 3, 32,
                               []( qreal x )
                               { return QPointF( 12 + x * 2.7, 13 - 8 * ( 1 - x * x ) * std::exp( -x * x / 2 ) ); } ) );
         } },
       // A profile tag tied to the image.
       { "AssignICCProfile",
         []( QPainter& p, const QColor& ink )
         {
            p.drawPolygon( QPolygonF{ { 4, 8 }, { 9, 4 }, { 20, 4 }, { 20, 12 }, { 9, 12 } } );
            p.drawEllipse( QPointF( 8.5, 8 ), 1.2, 1.2 );
            Fill( p, QRectF( 5, 15, 5, 5 ), Red );
            Fill( p, QRectF( 10, 15, 5, 5 ), Green );
            Fill( p, QRectF( 15, 15, 5, 5 ), Blue );
            Q_UNUSED( ink );
         } },
       // Noise smoothed by a Gaussian.
       { "SGBNR",
         []( QPainter& p, const QColor& )
         {
            p.drawPolyline( QPolygonF{ { 4, 9 }, { 6, 5 }, { 8, 10 }, { 10, 4 }, { 12, 9 } } );
            p.drawPath( Graph( -2.5, 2.5, 24,
                               []( qreal x ) { return QPointF( 12 + x * 3.2, 20 - 8 * std::exp( -x * x / 1.2 ) ); } ) );
         } },
       // Half light, half dark.
       { "Invert",
         []( QPainter& p, const QColor& ink )
         {
            p.drawEllipse( QPointF( 12, 12 ), 7.5, 7.5 );
            p.save();
            p.setBrush( ink );
            p.drawPie( QRectF( 4.5, 4.5, 15, 15 ), 90 * 16, 180 * 16 );
            p.restore();
         } },
       // A quarter turn.
       { "FastRotate",
         []( QPainter& p, const QColor& )
         {
            p.drawRect( QRectF( 4, 11, 9, 9 ) );
            p.drawArc( QRectF( 8, 4, 12, 12 ), 180 * 16, -180 * 16 );
            ArrowHead( p, 20, 10, -90 );
         } },
       // Whole-number resizing: a grid of cells and one cell.
       { "IntegerResample",
         []( QPainter& p, const QColor& )
         {
            p.drawRect( QRectF( 4, 4, 12, 12 ) );
            p.drawLine( QPointF( 10, 4 ), QPointF( 10, 16 ) );
            p.drawLine( QPointF( 4, 10 ), QPointF( 16, 10 ) );
            p.drawRect( QRectF( 16, 16, 4, 4 ) );
         } },
       // A small image grown along the diagonal.
       { "Resample",
         []( QPainter& p, const QColor& )
         {
            p.drawRect( QRectF( 4, 12, 8, 8 ) );
            p.drawPolyline( QPolygonF{ { 12, 4 }, { 20, 4 }, { 20, 12 } } );
            p.drawLine( QPointF( 10, 14 ), QPointF( 19, 5 ) );
            ArrowHead( p, 19, 5, 45 );
         } },
       // A tilted frame.
       { "Rotate",
         []( QPainter& p, const QColor& )
         {
            p.drawPolygon( QPolygonF{ { 12, 3 }, { 21, 12 }, { 12, 21 }, { 3, 12 } } );
            p.drawArc( QRectF( 7, 7, 10, 10 ), 30 * 16, 120 * 16 );
         } },
       // Crop marks around a smaller frame.
       { "CropExpand",
         []( QPainter& p, const QColor& )
         {
            CropMarks( p, 4, 4, 20, 20 );
            p.drawRect( QRectF( 8, 8, 8, 8 ) );
         } },
       // A crop rectangle, turned, with its handles.
       { "DynamicCrop",
         []( QPainter& p, const QColor& ink )
         {
            const QPolygonF frame{ { 5, 9 }, { 15, 4 }, { 19, 14 }, { 9, 20 } };
            p.drawPolygon( frame );
            for ( const QPointF& corner : frame )
               Fill( p, QRectF( corner.x() - 1.5, corner.y() - 1.5, 3, 3 ), ink );
            p.drawLine( QPointF( 12, 10 ), QPointF( 12, 14 ) );
            p.drawLine( QPointF( 10, 12 ), QPointF( 14, 12 ) );
         } },
       // The readout's cross hair.
       { "ReadoutOptions",
         []( QPainter& p, const QColor& )
         {
            p.drawEllipse( QPointF( 12, 12 ), 6, 6 );
            p.drawLine( QPointF( 12, 3 ), QPointF( 12, 8 ) );
            p.drawLine( QPointF( 12, 16 ), QPointF( 12, 21 ) );
            p.drawLine( QPointF( 3, 12 ), QPointF( 8, 12 ) );
            p.drawLine( QPointF( 16, 12 ), QPointF( 21, 12 ) );
         } },
       // Header cards: keyword, equals sign, value.
       { "FITSKeywords",
         []( QPainter& p, const QColor& )
         {
            Page( p );
            for ( qreal y : { 11.0, 14.0, 17.0 } )
            {
               p.drawLine( QPointF( 8, y ), QPointF( 10.5, y ) );
               p.drawLine( QPointF( 12.5, y ), QPointF( 16, y ) );
            }
         } },
       // A photograph with its caption lines.
       { "IPTCPhotoInfo",
         []( QPainter& p, const QColor& )
         {
            p.drawRect( QRectF( 4, 4, 16, 11 ) );
            p.drawPolyline( QPolygonF{ { 5, 14 }, { 9, 9 }, { 12, 12 }, { 14, 10 }, { 19, 14 } } );
            p.drawLine( QPointF( 4, 18 ), QPointF( 20, 18 ) );
            p.drawLine( QPointF( 4, 21 ), QPointF( 14, 21 ) );
         } },
       // Three sliders.
       { "Preferences",
         []( QPainter& p, const QColor& ink )
         {
            const qreal knobs[] = { 9, 16, 11 };
            for ( int i = 0; i < 3; ++i )
            {
               const qreal y = 6 + i * 6;
               p.drawLine( QPointF( 4, y ), QPointF( 20, y ) );
               Fill( p, QRectF( knobs[i] - 1.5, y - 2.5, 3, 5 ), ink );
            }
         } },
       // A formula.
       { "PixelMathTransform",
         []( QPainter& p, const QColor& ink )
         {
            QFont font( "Serif" );
            font.setItalic( true );
            font.setBold( true );
            font.setPixelSize( 13 );
            p.setFont( font );
            p.setPen( ink );
            p.drawText( QRectF( 0, 0, 24, 24 ), Qt::AlignCenter, "f(x)" );
         } },
       // A histogram with its clipping points.
       { "HistogramsTransform",
         []( QPainter& p, const QColor& ink )
         {
            const qreal heights[] = { 2, 5, 11, 14, 9, 6, 4, 2 };
            for ( int i = 0; i < 8; ++i )
               Fill( p, QRectF( 4 + i * 2, 19 - heights[i], 1.6, heights[i] ), ink );
            p.drawLine( QPointF( 4, 20 ), QPointF( 20, 20 ) );
         } },
       // An S-shaped transfer curve over the identity.
       { "CurvesTransform",
         []( QPainter& p, const QColor& ink )
         {
            p.drawRect( QRectF( 4, 4, 16, 16 ) );
            p.save();
            QPen thin( QColor( ink.red(), ink.green(), ink.blue(), 110 ), 0.8 );
            p.setPen( thin );
            p.drawLine( QPointF( 4, 20 ), QPointF( 20, 4 ) );
            p.restore();
            QPainterPath curve( QPointF( 4, 20 ) );
            curve.cubicTo( QPointF( 13, 20 ), QPointF( 11, 4 ), QPointF( 20, 4 ) );
            p.drawPath( curve );
         } },
       // A name tag.
       { "ImageIdentifier",
         []( QPainter& p, const QColor& ink )
         {
            p.drawPolygon( QPolygonF{ { 4, 12 }, { 9, 6 }, { 20, 6 }, { 20, 18 }, { 9, 18 } } );
            p.drawEllipse( QPointF( 9, 12 ), 1.3, 1.3 );
            QFont font = p.font();
            font.setBold( true );
            font.setPixelSize( 9 );
            p.setFont( font );
            p.setPen( ink );
            p.drawText( QRectF( 11, 6, 9, 12 ), Qt::AlignCenter, "A" );
         } },
       // A new blank page.
       { "NewImage",
         []( QPainter& p, const QColor& )
         {
            Page( p );
            p.drawLine( QPointF( 12, 11 ), QPointF( 12, 17 ) );
            p.drawLine( QPointF( 9, 14 ), QPointF( 15, 14 ) );
         } },
       // A sky gradient with background samples on it.
       { "DynamicBackgroundExtraction",
         []( QPainter& p, const QColor& ink )
         {
            QLinearGradient sky( 0, 4, 0, 20 );
            sky.setColorAt( 0, QColor( 30, 40, 60 ) );
            sky.setColorAt( 1, QColor( 150, 130, 110 ) );
            p.save();
            p.setBrush( sky );
            p.drawRect( QRectF( 4, 4, 16, 16 ) );
            p.restore();
            for ( const QPointF& at :
                  { QPointF( 8, 8 ), QPointF( 16, 8 ), QPointF( 8, 16 ), QPointF( 16, 16 ), QPointF( 12, 12 ) } )
               Fill( p, QRectF( at.x() - 1.2, at.y() - 1.2, 2.4, 2.4 ), ink );
         } },
   };
   return drawings;
}

} // namespace

QIcon ProcessPicture( const std::string& processId )
{
   auto drawing = Drawings().find( processId );
   if ( drawing == Drawings().end() )
      return QIcon();
   return PictogramIcon( drawing->second );
}

void SetProcessActionPictures()
{
   const ProcessRegistry::ByCategoryList& list = TheProcessRegistry().ByCategory();
   for ( size_t k = 0; k < list.Length(); ++k )
   {
      const Process& prototype = list[k]->Prototype();
      if ( QAction* action = prototype.Action() )
      {
         const QIcon picture = ProcessPicture( prototype.Id() );
         if ( !picture.isNull() )
            action->setIcon( picture );
      }
   }
}
