#include "windows/tools/RealTimePreviewWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QEvent>
#include <QFrame>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QScreen>
#include <QShowEvent>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "classlib/Exception.h"
#include "classlib/Parallel.h"
#include "classlib/RGBColorSystem.h"
#include "platform/ColorManagementSettings.h"
#include "support/Utils.h"
#include "windows/frames/ViewsListFrame.h"
#include "windows/image/Bitmaps.h"
#include "windows/image/Cursors.h"
#include "windows/main/MainWindow.h"

namespace
{

const QColor PanelColor( 80, 80, 80 );

bool UpdatingControls()
{
   return MainWindow != nullptr && MainWindow->UpdatingControls();
}

// The paint box of the preview: its painting and mouse go to the window's handlers.
class PreviewPaintBox : public QWidget
{
public:
   PreviewPaintBox( TRealTimePreviewWindow* window, QWidget* parent ) : QWidget( parent ), window( window )
   {
      setMouseTracking( true );
      setAttribute( Qt::WA_OpaquePaintEvent );
   }

protected:
   void paintEvent( QPaintEvent* ) override
   {
      QPainter painter( this );
      window->Image_PaintBoxPaint( painter );
   }
   void mousePressEvent( QMouseEvent* e ) override
   {
      window->Image_PaintBoxMouseDown( e->button(), e->position().toPoint().x(), e->position().toPoint().y() );
   }
   void mouseMoveEvent( QMouseEvent* e ) override
   {
      window->Image_PaintBoxMouseMove( e->position().toPoint().x(), e->position().toPoint().y() );
   }
   void mouseReleaseEvent( QMouseEvent* e ) override
   {
      window->Image_PaintBoxMouseUp( e->button(), e->position().toPoint().x(), e->position().toPoint().y() );
   }

private:
   TRealTimePreviewWindow* window;
};

// An index into a 256-entry float table for a component in [0, 1]: Round(255 v), kept inside the table.
inline int32_t TableIndex( float v )
{
   float i = std::nearbyint( 255.0f * v );
   return i > 0.0f ? ( i < 255.0f ? int32_t( i ) : 255 ) : 0; // NaN -> 0
}

inline float Unit( float v )
{
   return v > 0.0f ? ( v < 1.0f ? v : 1.0f ) : 0.0f; // NaN -> 0
}

inline uint8_t ByteOf( float v )
{
   return uint8_t( std::nearbyint( v ) );
}

// A byte blended through a mask byte: the processed value where the mask is 255, the source where it is 0.
inline uint8_t Blend( uint32_t processed, uint32_t mask, uint32_t source )
{
   // (o m + (255 - m) s) / 255 rounded to nearest; with an odd divisor there are no ties.
   return uint8_t( ( processed * mask + ( 255 - mask ) * source + 127 ) / 255 );
}

// What one rendering reads: the bitmaps' rows (bytes blue, green, red, unused per pixel), copies of the tables and
// of the working space, so that nothing the rendering uses can change under it.
struct RenderInputs
{
   const uchar* source = nullptr;
   qsizetype sourceStride = 0;
   const uchar* mask = nullptr; // nullptr: no masking
   qsizetype maskStride = 0;
   uchar* preview = nullptr;
   qsizetype previewStride = 0;
   // The samples behind the source bitmap's pixels (rows of `width`), one plane per channel, and the fine tables
   // that map them; a channel whose table is nullptr maps its byte.
   const float* samples[3] = {};
   const uint8_t* fine[4] = {};
   int32_t width = 0;
   bool grey = false;
   TRealTimePreviewWindow::TransferTables tables;
   std::array<bool, 3> active{};
   qor::RGBColorSystem rgbws;
};

// The preview pixels of rows [y0, y1).
void RenderRows( const RenderInputs& in, int64_t y0, int64_t y1 )
{
   const auto& t = in.tables.bytes;
   const auto& f = in.tables.floats;
   const bool lightness = in.active[0];
   const bool hueSaturation = in.active[1] || in.active[2];
   // The common case of a stretch, unmasked: straight from the samples through the fine tables to the words.
   if ( in.mask == nullptr && !lightness && !hueSaturation &&
        ( in.grey ? in.fine[3] != nullptr : in.fine[0] != nullptr && in.fine[1] != nullptr && in.fine[2] != nullptr ) )
   {
      auto index = []( float v ) { return TRealTimePreviewWindow::FineIndex( v ); };
      for ( int64_t y = y0; y < y1; ++y )
      {
         auto* out = reinterpret_cast<uint32_t*>( in.preview + y * in.previewStride );
         const int64_t at = y * in.width;
         if ( in.grey )
            for ( int32_t x = 0; x < in.width; ++x )
            {
               const uint32_t v = in.fine[3][index( in.samples[0][at + x] )];
               out[x] = 0xFF000000u | v << 16 | v << 8 | v;
            }
         else
            for ( int32_t x = 0; x < in.width; ++x )
               out[x] = 0xFF000000u | uint32_t( in.fine[0][index( in.samples[0][at + x] )] ) << 16 |
                        uint32_t( in.fine[1][index( in.samples[1][at + x] )] ) << 8 |
                        uint32_t( in.fine[2][index( in.samples[2][at + x] )] );
      }
      return;
   }
   for ( int64_t y = y0; y < y1; ++y )
   {
      const uchar* s = in.source + y * in.sourceStride;
      const uchar* m = in.mask != nullptr ? in.mask + y * in.maskStride : nullptr;
      uchar* p = in.preview + y * in.previewStride;
      const float* sr = in.samples[0] != nullptr ? in.samples[0] + y * in.width : nullptr;
      const float* sg = in.samples[1] != nullptr ? in.samples[1] + y * in.width : nullptr;
      const float* sb = in.samples[2] != nullptr ? in.samples[2] + y * in.width : nullptr;
      // Display value of channel q (table q) at x: from the sample where a fine table maps it, else from the byte.
      auto mapped = [&]( int32_t q, const float* samples, int32_t x, uint8_t byte ) -> uint8_t
      {
         return in.fine[q] != nullptr ? in.fine[q][TRealTimePreviewWindow::FineIndex( samples[x] )] : t[q][byte];
      };
      for ( int32_t x = 0; x < in.width; ++x, s += 4, p += 4, m = m != nullptr ? m + 4 : nullptr )
      {
         p[3] = 255;
         if ( in.grey )
         {
            uint8_t v = mapped( 3, sr, x, s[0] );
            if ( m != nullptr )
               v = Blend( v, m[0], s[0] );
            p[0] = p[1] = p[2] = v;
            continue;
         }
         // Blue, green, red in memory.
         const uint8_t ob = mapped( 2, sb, x, s[0] ), og = mapped( 1, sg, x, s[1] ), orr = mapped( 0, sr, x, s[2] );
         if ( !lightness && !hueSaturation )
         {
            if ( m != nullptr )
            {
               p[0] = Blend( ob, m[0], s[0] );
               p[1] = Blend( og, m[1], s[1] );
               p[2] = Blend( orr, m[2], s[2] );
            }
            else
            {
               p[0] = ob;
               p[1] = og;
               p[2] = orr;
            }
            continue;
         }

         float r = orr / 255.0f, g = og / 255.0f, b = ob / 255.0f;
         if ( lightness )
         {
            float L, a, bb;
            in.rgbws.RGBToCIELab( L, a, bb, r, g, b );
            L = f[0][size_t( TableIndex( L ) )];
            in.rgbws.CIELabToRGB( r, g, b, L, a, bb );
         }
         if ( hueSaturation )
         {
            if ( lightness )
            {
               r = Unit( r );
               g = Unit( g );
               b = Unit( b );
            }
            float h, sat, v;
            qor::RGBToHSV( h, sat, v, r, g, b );
            const float L0 = in.rgbws.RGBToCIEL( r, g, b );
            if ( in.active[1] )
               h = f[1][size_t( TableIndex( h ) )];
            if ( in.active[2] )
               sat = f[2][size_t( TableIndex( sat ) )];
            qor::HSVToRGB( r, g, b, h, sat, v );
            float L, a, bb;
            in.rgbws.RGBToCIELab( L, a, bb, r, g, b );
            in.rgbws.CIELabToRGB( r, g, b, L0, a, bb );
         }
         const float c[3] = { Unit( b ), Unit( g ), Unit( r ) };
         for ( int k = 0; k < 3; ++k )
            p[k] = m != nullptr ? ByteOf( float( m[k] ) * c[k] + float( 255 - m[k] ) * float( s[k] ) / 255.0f )
                                : ByteOf( 255.0f * c[k] );
      }
   }
}

// The samples of channels 0 .. channels-1 of a rectangle as the renderer reduces them for its bitmap at a zoom of
// 1 or a reduction 1:n: each n x n block summed in floats, rows outer and columns inner, times 1/n^2; the blocks
// past the last whole one are left out like the bitmap's. Empty for a magnifying zoom.
qor::Image ReducedSamples( const qor::Image& image, int32_t left, int32_t top, int32_t width, int32_t height,
                           int32_t zoom, int32_t channels )
{
   if ( zoom > 1 )
      return qor::Image();
   const int32_t n = std::max( 1, std::min( { zoom < 0 ? -zoom : 1, width, height } ) );
   const int32_t w = width / n, h = height / n;
   if ( w < 1 || h < 1 )
      return qor::Image();
   qor::Image samples( w, h, channels, channels == 3 ? qor::ColorSpace::RGB : qor::ColorSpace::Gray );
   const float scale = 1.0f / float( n * n );
   qor::ParallelFor(
       int64_t( h ) * channels,
       [&]( int64_t i0, int64_t i1 )
       {
          std::vector<float> sums( static_cast<size_t>( w ) );
          for ( int64_t i = i0; i < i1; ++i )
          {
             const int32_t c = int32_t( i / h ), y = int32_t( i % h );
             float* out = samples.ScanLine( c, y );
             if ( n == 1 )
             {
                std::copy_n( image.ScanLine( c, top + y ) + left, w, out );
                continue;
             }
             std::fill( sums.begin(), sums.end(), 0.0f );
             for ( int32_t r = 0; r < n; ++r )
             {
                const float* row = image.ScanLine( c, top + y * n + r ) + left;
                for ( int32_t x = 0; x < w; ++x )
                   for ( int32_t k = 0; k < n; ++k )
                      sums[size_t( x )] += row[x * n + k];
             }
             for ( int32_t x = 0; x < w; ++x )
                out[x] = sums[size_t( x )] * scale;
          }
       },
       nullptr, 1, 16 );
   return samples;
}

} // namespace

// ---- Construction ---------------------------------------------------------------------------------------------------

TRealTimePreviewWindow::TRealTimePreviewWindow( QWidget* owner ) : TLFToolWindow( owner )
{
   setObjectName( "RealTimePreviewWindow" );
   setWindowTitle( "Real Time Preview" );

   Image_Panel = new QFrame( this );
   Image_Panel->setObjectName( "Image_Panel" );
   Image_Panel->setMinimumSize( 64, 64 );
   Image_Panel->setAutoFillBackground( true );
   QPalette palette = Image_Panel->palette();
   palette.setColor( QPalette::Window, PanelColor );
   Image_Panel->setPalette( palette );
   Image_Panel->setSizePolicy( QSizePolicy::Expanding, QSizePolicy::Expanding );
   Image_PaintBox = new PreviewPaintBox( this, Image_Panel );
   Image_PaintBox->setObjectName( "Image_PaintBox" );
   Image_PaintBox->setCursor( ScreenCursor( CursorReadout ) );
   auto* panelLayout = new QVBoxLayout( Image_Panel );
   panelLayout->setContentsMargins( 0, 0, 0, 0 );
   panelLayout->addWidget( Image_PaintBox );
   Image_Panel->installEventFilter( this );

   auto* bottom = new QWidget( this );
   bottom->setObjectName( "Bottom_Panel" );
   auto* bottomLayout = new QHBoxLayout( bottom );
   bottomLayout->setContentsMargins( 0, 0, 0, 0 );
   ViewsList = new TViewsListFrame( bottom );
   ViewsList->setObjectName( "ViewsList" );
   bottomLayout->addWidget( ViewsList, 1 );
   bottomLayout->addWidget( new QLabel( "Lossy:  ", bottom ) );
   Lossy_ComboBox = new QComboBox( bottom );
   Lossy_ComboBox->setObjectName( "Lossy_ComboBox" );
   bottomLayout->addWidget( Lossy_ComboBox );
   GoToOwner_Button = new QPushButton( "-> Owner", bottom );
   GoToOwner_Button->setObjectName( "GoToOwner_Button" );
   bottomLayout->addWidget( GoToOwner_Button );

   auto* layout = new QVBoxLayout( this );
   layout->setContentsMargins( 4, 4, 4, 4 );
   layout->addWidget( Image_Panel, 1 );
   layout->addWidget( bottom );

   ShowInfo_Timer = new QTimer( this );
   ShowInfo_Timer->setObjectName( "ShowInfo_Timer" );
   ShowInfo_Timer->setInterval( 50 );

   ResetTransferTables();
   {
      TMainWindow::ControlUpdateGuard guard;
      for ( int i = 0; i <= 8; ++i )
         Lossy_ComboBox->addItem( QString::number( i ) );
      Lossy_ComboBox->setCurrentIndex( lossy );
   }
   ViewsList->Rebuild();
   GoToOwner_Button->setEnabled( false );
   resize( 320, 320 );

   connect( ViewsList, &TViewsListFrame::ViewSelected, this, [this]( TImageWindow::View* view ) { SelectView( view ); } );
   connect( Lossy_ComboBox, &QComboBox::currentIndexChanged, this, [this] { Lossy_ComboBoxChange(); } );
   connect( GoToOwner_Button, &QPushButton::clicked, this, [this] { GoToOwner_ButtonClick(); } );
   connect( ShowInfo_Timer, &QTimer::timeout, this, [this] { ShowInfo_TimerTimer(); } );
}

TRealTimePreviewWindow::~TRealTimePreviewWindow() = default;

// ---- Tables and owners ---------------------------------------------------------------------------------------------

void TRealTimePreviewWindow::ResetTransferTables()
{
   for ( auto& table : transferTables.bytes )
      for ( int i = 0; i < 256; ++i )
         table[size_t( i )] = uint8_t( i );
   for ( auto& table : transferTables.floats )
      for ( int i = 0; i < 256; ++i )
         table[size_t( i )] = float( i * ( 1.0L / 255 ) );
   for ( auto& table : transferTables.fine )
      table.clear();
   floatTableActive = { false, false, false };
}

void TRealTimePreviewWindow::UpdatePreview( bool keepResponsive )
{
   RenderPreview( keepResponsive );
   Image_PaintBox->update();
}

void TRealTimePreviewWindow::SetOwner( QWidget* control )
{
   if ( control != owner.data() )
   {
      owner = control;
      NotifyRealTimePreviewOwner( control );
      QString caption = "Real Time Preview";
      if ( control != nullptr )
         caption += ": " + control->windowTitle().trimmed();
      setWindowTitle( caption );
   }
   GoToOwner_Button->setEnabled( owner != nullptr );
   GoToOwner_Button->setToolTip( owner != nullptr ? owner->windowTitle().trimmed() : QString() );
}

void TRealTimePreviewWindow::Reset()
{
   SetOwner( nullptr );
   ResetTransferTables();
   UpdatePreview( false );
}

int32_t TRealTimePreviewWindow::NextRenderInterval( double milliseconds )
{
   return std::max( 25, int32_t( std::nearbyint( 1.25 * milliseconds ) ) );
}

QTimer* TRealTimePreviewWindow::MakeRenderTimer( QWidget* owner, const std::function<void()>& timeout )
{
   auto* timer = new QTimer( owner );
   timer->setObjectName( "RealTimePreview_Timer" );
   timer->setSingleShot( true );
   timer->setInterval( InitialRenderInterval );
   QObject::connect( timer, &QTimer::timeout, owner, timeout );
   return timer;
}

void TRealTimePreviewWindow::Switch( QWidget* control, bool on, QTimer* timer, const std::function<void()>& render )
{
   if ( on )
   {
      if ( !isVisible() )
         ShowForm( this );
      SetOwner( control );
      render();
   }
   else
   {
      timer->stop();
      Reset();
   }
}

void TRealTimePreviewWindow::SwitchedOff( bool& on, QTimer* timer, QCheckBox* box )
{
   on = false;
   timer->stop();
   TMainWindow::ControlUpdateGuard guard;
   const QSignalBlocker blocker( box );
   box->setChecked( false );
}

void TRealTimePreviewWindow::GoToOwner_ButtonClick()
{
   ShowForm( owner.data() );
}

// ---- The view ------------------------------------------------------------------------------------------------------

TImageWindow::View* TRealTimePreviewWindow::CurrentView() const
{
   return ViewsList->currentView;
}

TImageWindow* TRealTimePreviewWindow::CurrentWindow() const
{
   TImageWindow::View* view = CurrentView();
   return view != nullptr ? view->Window() : nullptr;
}

bool TRealTimePreviewWindow::ConcernsCurrentWindow( const TImageWindow::View& view ) const
{
   return CurrentView() != nullptr && view.Window() == CurrentWindow();
}

void TRealTimePreviewWindow::SelectView( TImageWindow::View* view )
{
   ViewsList->currentView = view;
   ViewsList->SelectCurrentView();
   Rebuild();
   if ( view != nullptr )
   {
      const qor::Image& image = view->GetImage();
      QRect bounds = geometry();
      QSize size = bounds.size();
      const bool landscapeImage = image.Height() < image.Width();
      const bool landscapeWindow = size.height() < size.width();
      if ( landscapeImage != landscapeWindow )
         size.transpose();
      size = FitToImageAspect( size );
      QSize screen( 1 << 15, 1 << 15 );
      if ( QScreen* s = QGuiApplication::primaryScreen() )
         screen = s->geometry().size();
      const QSize extra = this->size() - Image_Panel->size();
      const int minimumWidth = Image_Panel->minimumWidth() + extra.width();
      const int minimumHeight = Image_Panel->minimumHeight() + extra.height();
      const int w = std::clamp( size.width(), minimumWidth, std::max( minimumWidth, screen.width() ) );
      const int h = std::clamp( size.height(), minimumHeight, std::max( minimumHeight, screen.height() ) );
      const int left = std::clamp( bounds.left(), 0, std::max( 0, screen.width() - w ) );
      const int top = std::clamp( bounds.top(), 0, std::max( 0, screen.height() - h ) );
      setGeometry( left, top, w, h );
   }
   Image_PaintBox->update();
}

QSize TRealTimePreviewWindow::FitToImageAspect( QSize proposed ) const
{
   TImageWindow::View* view = CurrentView();
   if ( view == nullptr || view->GetImage().IsEmpty() )
      return proposed;
   const qor::Image& image = view->GetImage();
   const int dw = width() - Image_Panel->width();
   const int dh = height() - Image_Panel->height();
   int w = proposed.width() - dw;
   int h = proposed.height() - dh;
   const double rw = double( w ) / image.Width();
   const double rh = double( h ) / image.Height();
   if ( rw != rh )
   {
      if ( image.Height() < image.Width() )
         h = int( std::nearbyint( image.Height() * rw ) );
      else
         w = int( std::nearbyint( image.Width() * rh ) );
   }
   return QSize( w + dw, h + dh );
}

int32_t TRealTimePreviewWindow::PreviewZoom( double fitRatio, int32_t lossy )
{
   if ( !( fitRatio > 0 ) || !std::isfinite( fitRatio ) )
      return fitRatio > 0 ? 1 : -16;
   const double z = fitRatio >= 1 ? fitRatio : -1 / fitRatio;
   const double n = std::clamp( std::floor( z ) - lossy, -16.0, 1.0 );
   return n == 0 ? 1 : int32_t( n );
}

// ---- Bitmaps ---------------------------------------------------------------------------------------------------------

void TRealTimePreviewWindow::FreeBitmaps()
{
   if ( rendering )
   {
      rebuildPending = true;
      return;
   }
   sourceBitmap = QImage();
   sourceSamples = qor::Image();
   maskBitmap = QImage();
   previewBitmap = QImage();
}

void TRealTimePreviewWindow::Rebuild()
{
   if ( rendering )
   {
      rebuildPending = true;
      return;
   }
   BuildSourceBitmap();
   BuildMaskBitmap();
   RenderPreview( false );
}

void TRealTimePreviewWindow::BuildSourceBitmap()
{
   if ( rendering )
   {
      rebuildPending = true;
      return;
   }
   FreeBitmaps();
   TImageWindow::View* view = CurrentView();
   if ( view == nullptr || view->Window() == nullptr || view->Window()->image == nullptr )
      return;
   TImageWindow* window = view->Window();
   const qor::Image& image = view->GetImage();
   if ( image.IsEmpty() )
      return;
   const int32_t w = image.Width();
   const int32_t h = image.Height();
   const int32_t W = Image_PaintBox->width();
   const int32_t H = Image_PaintBox->height();
   const double r = H < W ? double( H ) / h : double( W ) / w;
   zoom = PreviewZoom( r, lossy );

   // A preview is shown as every run on it starts: its stored state, else the main image under it.
   const qor::Image* rendered = window->image;
   int32_t left = 0, top = 0;
   if ( view->IsPreview() )
   {
      auto* preview = static_cast<TImageWindow::Preview*>( view );
      if ( preview->storedImage != nullptr )
         rendered = preview->storedImage.get();
      else
      {
         left = preview->left;
         top = preview->top;
      }
   }
   try
   {
      sourceBitmap = RenderImageBitmap( *rendered, window->rgbWorkingSpace, left, top, w, h, zoom,
                                        rendered->IsColor() ? RenderModeRGB : 0, nullptr, -1, -1 );
      sourceSamples = ReducedSamples( *rendered, left, top, w, h, zoom, rendered->IsColor() ? 3 : 1 );
      if ( sourceSamples.Width() != sourceBitmap.width() || sourceSamples.Height() != sourceBitmap.height() )
         sourceSamples = qor::Image();
   }
   catch ( const qor::Exception& )
   {
      sourceBitmap = QImage(); // nothing to show (a stored state that no longer fits the view)
      sourceSamples = qor::Image();
   }
}

void TRealTimePreviewWindow::BuildMaskBitmap()
{
   if ( rendering )
   {
      maskPending = true;
      return;
   }
   maskBitmap = QImage();
   TImageWindow* window = CurrentWindow();
   if ( sourceBitmap.isNull() || window == nullptr || window->maskWindow == nullptr ||
        window->maskWindow->image == nullptr )
      return;
   TImageWindow::View* view = CurrentView();
   const qor::Image& mask = *window->maskWindow->image;
   int32_t left = 0, top = 0;
   view->PreviewOrigin( left, top );
   try
   {
      maskBitmap = RenderImageBitmap( mask, window->maskWindow->rgbWorkingSpace, left, top, view->GetImage().Width(),
                                      view->GetImage().Height(), zoom, mask.IsColor() ? RenderModeRGB : 0, nullptr,
                                      -1, -1 );
   }
   catch ( const qor::Exception& )
   {
      maskBitmap = QImage();
   }
   if ( maskBitmap.size() != sourceBitmap.size() )
      maskBitmap = QImage();
}

// ---- Rendering -------------------------------------------------------------------------------------------------------

void TRealTimePreviewWindow::RenderPreview( bool keepResponsive )
{
   if ( rendering )
   {
      renderPending = true;
      renderPendingResponsive = renderPendingResponsive || keepResponsive;
      return;
   }
   if ( sourceBitmap.isNull() )
   {
      previewBitmap = QImage();
      return;
   }
   ShowInfo_Timer->start();
   if ( previewBitmap.size() != sourceBitmap.size() || previewBitmap.format() != QImage::Format_RGB32 )
      previewBitmap = QImage( sourceBitmap.size(), QImage::Format_RGB32 );

   TImageWindow::View* view = CurrentView();
   QPointer<TImageWindow> window = CurrentWindow();
   RenderInputs in;
   in.source = sourceBitmap.constBits();
   in.sourceStride = sourceBitmap.bytesPerLine();
   if ( !maskBitmap.isNull() && window != nullptr && window->maskEnabled )
   {
      in.mask = maskBitmap.constBits();
      in.maskStride = maskBitmap.bytesPerLine();
   }
   in.preview = previewBitmap.bits();
   in.previewStride = previewBitmap.bytesPerLine();
   in.width = sourceBitmap.width();
   in.grey = view != nullptr && !view->GetImage().IsColor();
   in.tables = transferTables;
   const int32_t planes = in.grey ? 1 : 3;
   if ( sourceSamples.Width() == in.width && sourceSamples.Height() == sourceBitmap.height() &&
        sourceSamples.NumberOfChannels() == planes )
      for ( int32_t q = 0; q < 4; ++q )
         if ( ( q == 3 ) == in.grey && in.tables.fine[size_t( q )].size() == size_t( FineTableSize ) )
         {
            in.fine[q] = in.tables.fine[size_t( q )].data();
            in.samples[in.grey ? 0 : q] = sourceSamples[in.grey ? 0 : q];
         }
   in.active = floatTableActive;
   if ( window != nullptr )
      in.rgbws = window->rgbWorkingSpace;

   const int64_t height = sourceBitmap.height();
   auto body = [&in]( int64_t y0, int64_t y1 ) { RenderRows( in, y0, y1 ); };
   rendering = true;
   try
   {
      if ( !keepResponsive )
         qor::ParallelFor( height, body, nullptr, 1, 16 );
      else
      {
         // Events are handled between blocks; whatever they ask of this window waits for the end (see the header).
         // A block for every thread, so that the rounds of events do not cost the threads their work.
         const int64_t rows = std::max<int64_t>(
             1, std::max<int64_t>( 1, responsiveBlockPixels ) * qor::MaxThreads() / std::max( 1, in.width ) );
         for ( int64_t y = 0; y < height; y += rows )
         {
            const int64_t end = std::min( height, y + rows );
            qor::ParallelFor( end - y, [&]( int64_t a, int64_t b ) { RenderRows( in, y + a, y + b ); }, nullptr, 1, 16 );
            QCoreApplication::processEvents();
         }
      }
   }
   catch ( ... )
   {
      rendering = false;
      ShowInfo_Timer->stop();
      throw;
   }
   rendering = false;

   // The view may have gone while events were handled: then a new selection is pending and nothing of the old
   // window is touched.
   if ( !rebuildPending && view == CurrentView() && window != nullptr &&
        ColorManagementSettings.EnableGlobalColorManagement && window->colorManagementEnabled )
      window->ColorManageBitmap( previewBitmap, view );
   ShowInfo_Timer->stop();
   RunDeferredWork();
}

void TRealTimePreviewWindow::RunDeferredWork()
{
   if ( rebuildPending )
   {
      rebuildPending = maskPending = renderPending = renderPendingResponsive = false;
      Rebuild();
   }
   else if ( maskPending )
   {
      maskPending = renderPending = renderPendingResponsive = false;
      BuildMaskBitmap();
      RenderPreview( false );
   }
   else if ( renderPending )
   {
      const bool responsive = renderPendingResponsive;
      renderPending = renderPendingResponsive = false;
      RenderPreview( responsive );
   }
   else
      return;
   Image_PaintBox->update();
}

void TRealTimePreviewWindow::RenderAndRepaint()
{
   RenderPreview( false );
   Image_PaintBox->update();
}

void TRealTimePreviewWindow::ShowInfo_TimerTimer()
{
   if ( MainWindow != nullptr && MainWindow->Info_Panel != nullptr )
   {
      MainWindow->Info_Panel->setText( "Generating real-time preview..." );
      MainWindow->Info_Panel->repaint();
   }
}

// ---- Painting and readout ------------------------------------------------------------------------------------------

void TRealTimePreviewWindow::Image_PaintBoxPaint( QPainter& painter )
{
   const QRect client = Image_PaintBox->rect();
   paintRect = client;
   if ( previewBitmap.isNull() )
   {
      painter.fillRect( client, PanelColor );
      return;
   }
   const double bw = previewBitmap.width();
   const double bh = previewBitmap.height();
   int right = client.width();
   int bottom = client.height();
   if ( bottom < right )
   {
      right = int( std::nearbyint( bottom / bh * bw ) );
      if ( right > client.width() )
      {
         right = client.width();
         bottom = int( std::nearbyint( right / bw * bh ) );
      }
   }
   else
   {
      bottom = int( std::nearbyint( right / bw * bh ) );
      if ( bottom > client.height() )
      {
         bottom = client.height();
         right = int( std::nearbyint( bottom / bh * bw ) );
      }
   }
   paintRect = QRect( 0, 0, right, bottom );
   painter.drawImage( paintRect, previewBitmap );
   painter.fillRect( QRect( 0, bottom, right, client.height() - bottom ), PanelColor );
   painter.fillRect( QRect( right, 0, client.width() - right, client.height() ), PanelColor );
}

bool TRealTimePreviewWindow::SamplePixel( int32_t x, int32_t y, uint32_t& source, uint32_t& preview ) const
{
   if ( CurrentView() == nullptr || sourceBitmap.isNull() || previewBitmap.isNull() )
      return false;
   const int32_t right = paintRect.left() + paintRect.width();
   const int32_t bottom = paintRect.top() + paintRect.height();
   if ( x < 0 || y < 0 || x >= right || y >= bottom || paintRect.width() <= 0 || paintRect.height() <= 0 )
      return false;
   const int32_t bx = std::min( previewBitmap.width() - 1,
                                int32_t( previewBitmap.width() * ( double( x ) / paintRect.width() ) ) );
   const int32_t by = std::min( previewBitmap.height() - 1,
                                int32_t( previewBitmap.height() * ( double( y ) / paintRect.height() ) ) );
   source = sourceBitmap.pixel( bx, by ) & 0x00ffffffu;
   preview = previewBitmap.pixel( bx, by ) & 0x00ffffffu;
   return true;
}

void TRealTimePreviewWindow::Image_PaintBoxMouseDown( Qt::MouseButton, int32_t x, int32_t y )
{
   uint32_t source = 0, preview = 0;
   if ( !SamplePixel( x, y, source, preview ) )
      return;
   TImageWindow* window = CurrentWindow();
   TImageWindow::View* view = CurrentView();
   if ( window->readoutActive )
      window->EndReadout( *view );
   window->BeginReadout( *view, qRed( preview ) / 255.0f, qGreen( preview ) / 255.0f, qBlue( preview ) / 255.0f );
}

void TRealTimePreviewWindow::Image_PaintBoxMouseMove( int32_t x, int32_t y )
{
   uint32_t source = 0, preview = 0;
   if ( !SamplePixel( x, y, source, preview ) )
   {
      if ( MainWindow != nullptr )
      {
         SetPanelText( MainWindow->Position_Panel, QString() );
         SetPanelText( MainWindow->Readout_Panel, QString() );
      }
      return;
   }
   TImageWindow* window = CurrentWindow();
   TImageWindow::View* view = CurrentView();
   const qor::Image& image = view->GetImage();
   if ( MainWindow != nullptr )
   {
      const int32_t ix = int32_t( double( x ) / paintRect.width() * image.Width() );
      const int32_t iy = int32_t( double( y ) / paintRect.height() * image.Height() );
      SetPanelText( MainWindow->Position_Panel,
                    QString::asprintf( " x:%d", ix ) + QString::fromLatin1( " \xB7 " ) + QString::asprintf( "y:%d", iy ) );
   }
   if ( window->readoutActive )
      window->UpdateReadout( *view, qRed( preview ) / 255.0f, qGreen( preview ) / 255.0f, qBlue( preview ) / 255.0f );
   if ( MainWindow != nullptr )
   {
      SetPanelText( MainWindow->Readout_Panel,
                    image.IsColor() ? QString::asprintf( " %03d,%03d,%03d -> %03d,%03d,%03d", qRed( source ),
                                                         qGreen( source ), qBlue( source ), qRed( preview ),
                                                         qGreen( preview ), qBlue( preview ) )
                                    : QString::asprintf( " %03d -> %03d", qRed( source ), qRed( preview ) ) );
      SetPanelColor( MainWindow->R_Panel, QColor( qRed( preview ), 0, 0 ) );
      SetPanelColor( MainWindow->G_Panel, QColor( 0, qGreen( preview ), 0 ) );
      SetPanelColor( MainWindow->B_Panel, QColor( 0, 0, qBlue( preview ) ) );
      SetPanelColor( MainWindow->RGB_Panel, QColor( qRed( preview ), qGreen( preview ), qBlue( preview ) ) );
      SetPanelColor( MainWindow->L_Panel, Qt::black );
   }
}

void TRealTimePreviewWindow::Image_PaintBoxMouseUp( Qt::MouseButton, int32_t, int32_t )
{
   TImageWindow* window = CurrentWindow();
   if ( window != nullptr && window->readoutActive )
      window->EndReadout( *CurrentView() );
}

// ---- Controls and form ---------------------------------------------------------------------------------------------

void TRealTimePreviewWindow::Lossy_ComboBoxChange()
{
   if ( UpdatingControls() || Lossy_ComboBox->currentIndex() < 0 )
      return;
   lossy = Lossy_ComboBox->currentIndex();
   Rebuild();
   Image_PaintBox->update();
}

void TRealTimePreviewWindow::FormShow()
{
   if ( CurrentView() != nullptr )
   {
      Rebuild();
      Image_PaintBox->update();
   }
   else if ( MainWindow != nullptr )
      if ( TImageWindow* active = MainWindow->ActiveImageWindow() )
         SelectView( active->currentView );
}

void TRealTimePreviewWindow::FormHide()
{
   ResetTransferTables();
   SelectView( nullptr );
   SetOwner( nullptr );
}

void TRealTimePreviewWindow::showEvent( QShowEvent* event )
{
   TLFToolWindow::showEvent( event );
   if ( !event->spontaneous() )
      FormShow();
}

void TRealTimePreviewWindow::hideEvent( QHideEvent* event )
{
   TLFToolWindow::hideEvent( event );
   if ( !event->spontaneous() )
      FormHide();
}

bool TRealTimePreviewWindow::eventFilter( QObject* watched, QEvent* event )
{
   if ( watched == Image_Panel && event->type() == QEvent::Resize )
      Rebuild();
   return TLFToolWindow::eventFilter( watched, event );
}

// ---- Notifications -------------------------------------------------------------------------------------------------

void TRealTimePreviewWindow::ViewCreated( TImageWindow::View& )
{
   ViewsList->Rebuild();
}

void TRealTimePreviewWindow::ViewRenamed( TImageWindow::View& )
{
   ViewsList->Rebuild();
}

void TRealTimePreviewWindow::ViewUpdated( TImageWindow::View& view )
{
   if ( &view == CurrentView() )
      SelectView( &view );
}

void TRealTimePreviewWindow::PreviewStored( TImageWindow::View& view )
{
   if ( &view == CurrentView() )
      SelectView( &view );
}

void TRealTimePreviewWindow::ViewDeleted( TImageWindow::View& view )
{
   // Asked first: the list forgets its current view when the entry goes.
   const bool current = &view == CurrentView();
   ViewsList->RemoveView( &view );
   if ( current )
      SelectView( nullptr );
}

void TRealTimePreviewWindow::ColorManagementChanged( TImageWindow::View& view )
{
   if ( ConcernsCurrentWindow( view ) )
      RenderAndRepaint();
}

void TRealTimePreviewWindow::MaskEnabled( TImageWindow::View& view )
{
   if ( ConcernsCurrentWindow( view ) )
      RenderAndRepaint();
}

void TRealTimePreviewWindow::MaskDisabled( TImageWindow::View& view )
{
   if ( ConcernsCurrentWindow( view ) )
      RenderAndRepaint();
}

void TRealTimePreviewWindow::MaskChanged( TImageWindow::View& view )
{
   if ( !ConcernsCurrentWindow( view ) )
      return;
   BuildMaskBitmap();
   RenderAndRepaint();
}

void TRealTimePreviewWindow::GlobalColorManagementChanged()
{
   RenderAndRepaint();
}

TRealTimePreviewWindow& RealTimePreviewWindow()
{
   static QPointer<TRealTimePreviewWindow> window;
   if ( window.isNull() )
      window = new TRealTimePreviewWindow( MainWindow );
   return *window;
}
