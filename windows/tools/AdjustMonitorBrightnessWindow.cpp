#include "windows/tools/AdjustMonitorBrightnessWindow.h"

#include <QPainter>
#include <QPaintEvent>
#include <QTabWidget>
#include <QVBoxLayout>

#include <cmath>
#include <functional>

TAdjustMonitorBrightnessWindow* AdjustMonitorBrightnessWindow = nullptr;

namespace
{

// A widget painted by a function of its painter and size.
class PaintBox : public QWidget
{
public:
   PaintBox( QWidget* parent, const char* name, std::function<void( QPainter&, QSize )> painter )
       : QWidget( parent ), paint( std::move( painter ) )
   {
      setObjectName( name );
      setAttribute( Qt::WA_OpaquePaintEvent );
   }

protected:
   void paintEvent( QPaintEvent* ) override
   {
      QPainter painter( this );
      paint( painter, size() );
   }

private:
   std::function<void( QPainter&, QSize )> paint;
};

int RoundHalfEven( double x )
{
   return int( std::nearbyint( x ) );
}

} // namespace

TAdjustMonitorBrightnessWindow::TAdjustMonitorBrightnessWindow( QWidget* owner ) : TLFToolWindow( owner )
{
   setObjectName( "AdjustMonitorBrightnessWindow" );
   setWindowTitle( "Monitor Brightness" );
   setAttribute( Qt::WA_OpaquePaintEvent );
   QPalette palette = this->palette();
   palette.setColor( QPalette::Window, Qt::black );
   setPalette( palette );
   setAutoFillBackground( true );

   auto* layout = new QVBoxLayout( this );
   layout->setContentsMargins( 0, 0, 0, 0 );
   Pages_PageControl = new QTabWidget( this );
   Pages_PageControl->setObjectName( "Pages_PageControl" );
   PaintBox1 = new PaintBox( Pages_PageControl, "PaintBox1", &TAdjustMonitorBrightnessWindow::PaintDarkBox );
   PaintBox2 = new PaintBox( Pages_PageControl, "PaintBox2", &TAdjustMonitorBrightnessWindow::PaintColorScales );
   Pages_PageControl->addTab( PaintBox1, "Dark Box" );
   Pages_PageControl->addTab( PaintBox2, "Color Scales" );
   layout->addWidget( Pages_PageControl );
   resize( sizeHint() );
}

QSize TAdjustMonitorBrightnessWindow::sizeHint() const
{
   return QSize( 408, 434 );
}

void TAdjustMonitorBrightnessWindow::PaintDarkBox( QPainter& painter, QSize size )
{
   painter.fillRect( QRect( QPoint( 0, 0 ), size ), Qt::black );
   // Truncating divisions: a box narrower than 100 pixels starts left of it.
   const int left = ( size.width() - 100 ) / 2;
   const int top = ( size.height() - 100 ) / 2;
   painter.fillRect( QRect( left, top, 100, 100 ), QColor( 13, 13, 13 ) );
}

int TAdjustMonitorBrightnessWindow::ColorScaleLevel( int cell, int offsetTenths )
{
   return RoundHalfEven( ( cell + offsetTenths * 0.1 ) * 25.5 );
}

void TAdjustMonitorBrightnessWindow::PaintColorScaleRow( QPainter& painter, int left, int top, double cellWidth,
                                                         int rowHeight, bool red, bool green, bool blue,
                                                         int offsetTenths )
{
   for ( int i = 0; i < 10; ++i )
   {
      const int e = ColorScaleLevel( i, offsetTenths );
      // Each edge comes from its own index, so neighbouring cells meet without a gap.
      const int x0 = left + RoundHalfEven( i * cellWidth );
      const int x1 = left + RoundHalfEven( ( i + 1 ) * cellWidth );
      painter.fillRect( QRect( x0, top, x1 - x0, rowHeight ), QColor( red ? e : 0, green ? e : 0, blue ? e : 0 ) );
   }
}

void TAdjustMonitorBrightnessWindow::PaintColorScales( QPainter& painter, QSize size )
{
   const int w = size.width();
   const int h = size.height();
   painter.fillRect( QRect( QPoint( 0, 0 ), size ), Qt::black );
   const double cell = 2.0 * w / 21.0;
   const int shift = w / 21;
   const int row = RoundHalfEven( h / 8.0 );
   const bool flags[4][3] = { { true, true, true }, { true, false, false }, { false, true, false }, { false, false, true } };
   for ( int k = 0; k < 8; ++k )
   {
      const bool* f = flags[k / 2];
      const bool shifted = ( k % 2 ) != 0;
      PaintColorScaleRow( painter, shifted ? shift : 0, k * row, cell, row, f[0], f[1], f[2], shifted ? 5 : 0 );
   }
}
