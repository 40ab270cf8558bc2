// TImageWindow: zoom, scrolling, displayed channel, view selection, painting of the image area and the view tabs.

#include "windows/image/ImageWindow.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QDropEvent>
#include <QMouseEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QPolygon>
#include <QRegion>
#include <QScreen>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

#include "process/Preferences.h"
#include "support/Utils.h"
#include "windows/image/Bitmaps.h"
#include "windows/image/ImageWindow_ICM.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ProcessEnvelope.h"

namespace
{

QFont viewTabFont;
int32_t viewTabFontHeight = 0;
bool viewTabFontMade = false;

// Image coordinate of a paint-box coordinate at the view's zoom, for a centre: magnified coordinates are divided
// and rounded (ties to even), reduced ones multiplied.
int32_t CentreToImage( int32_t c, int32_t zoom )
{
   if ( zoom == 1 )
      return c;
   if ( zoom <= 0 )
      return c * -zoom;
   return int32_t( std::nearbyint( double( c ) / double( zoom ) ) );
}

// The strip of view tabs at the left edge of the window.
class ViewTabsStrip : public QWidget
{
public:
   explicit ViewTabsStrip( TImageWindow* window ) : QWidget( window ), window( window )
   {
      setAttribute( Qt::WA_OpaquePaintEvent );
      setAcceptDrops( true );
   }

protected:
   void paintEvent( QPaintEvent* ) override
   {
      QPainter painter( this );
      window->ViewTabs_PaintBoxPaint( painter );
   }

   void mousePressEvent( QMouseEvent* event ) override
   {
      if ( event->button() == Qt::LeftButton )
         window->ViewTabs_PaintBoxMouseDown( int32_t( event->position().x() ), int32_t( event->position().y() ) );
   }

   // A process dragged over a tab switches to that view; the drop itself belongs on the image, never here, so the
   // enter is accepted only to go on hearing the moves.
   void dragEnterEvent( QDragEnterEvent* event ) override
   {
      if ( DraggedEnvelope( event->mimeData() ) == nullptr )
      {
         event->ignore();
         return;
      }
      event->accept();
      DragOver( event );
   }
   void dragMoveEvent( QDragMoveEvent* event ) override { DragOver( event ); }
   void dragLeaveEvent( QDragLeaveEvent* ) override { window->ViewTabs_PaintBoxDragOver( nullptr, 0, 0, true ); }
   void dropEvent( QDropEvent* event ) override { event->ignore(); }

private:
   void DragOver( QDragMoveEvent* event )
   {
      const QPoint p = event->position().toPoint();
      window->ViewTabs_PaintBoxDragOver( event->mimeData(), p.x(), p.y(), false );
      if ( TProcessEnvelope::DragObject* object = TProcessEnvelope::DragObject::Current() )
         object->ShowDragCursor( false, this );
      event->ignore( QRect( p, QSize( 1, 1 ) ) );
   }

public:

private:
   TImageWindow* window;
};

} // namespace

// ---- View-tab font ----------------------------------------------------------------------------------------------

void CreateViewTabFont()
{
   ColorsFontsPreferences& prefs = CurrentPreferences.colorsFonts;
   if ( prefs.viewTabAutoFontSize || prefs.viewTabFontSize <= 0 )
      prefs.viewTabFontSize = AutoFontHeight();
   viewTabFont = QFont( QString::fromLatin1( prefs.viewTabFont.substr( 0, 31 ) ) );
   viewTabFont.setPixelSize( prefs.viewTabFontSize );
   viewTabFontHeight = prefs.viewTabFontSize;
   viewTabFontMade = true;
}

void EnsureViewTabFont()
{
   if ( !viewTabFontMade )
      CreateViewTabFont();
}

const QFont& ViewTabFont()
{
   EnsureViewTabFont();
   return viewTabFont;
}

int32_t ViewTabFontHeight()
{
   EnsureViewTabFont();
   return viewTabFontHeight;
}

QWidget* TImageWindow::MakeViewTabsStrip( TImageWindow* window )
{
   return new ViewTabsStrip( window );
}

// ---- Zoom and coordinates ---------------------------------------------------------------------------------------

int32_t TImageWindow::NormalizedZoom( int32_t zoom )
{
   if ( zoom == 0 || zoom == -1 )
      return 1;
   return std::clamp( zoom, -16, 32 );
}

int32_t TImageWindow::ImageCoordinate( int32_t x, int32_t zoom )
{
   if ( zoom > 0 )
      return x >= 0 ? x / zoom : -( ( -x + zoom - 1 ) / zoom ); // floor
   return x * -zoom;
}

int32_t TImageWindow::ScrollX() const
{
   return horizontalScrollBar()->value();
}

int32_t TImageWindow::ScrollY() const
{
   return verticalScrollBar()->value();
}

QSize TImageWindow::PredictedClientSize( int32_t w, int32_t h ) const
{
   const QSize full = maximumViewportSize();
   const int32_t vext = verticalScrollBar()->sizeHint().width();
   const int32_t hext = horizontalScrollBar()->sizeHint().height();
   bool needH = w > full.width();
   bool needV = h > full.height();
   if ( needV && !needH )
      needH = w > full.width() - vext;
   if ( needH && !needV )
      needV = h > full.height() - hext;
   return { std::max( 0, full.width() - ( needV ? vext : 0 ) ), std::max( 0, full.height() - ( needH ? hext : 0 ) ) };
}

QSize TImageWindow::ClientSize() const
{
   if ( currentView == nullptr )
      return maximumViewportSize();
   const qor::Image& img = currentView->GetImage();
   return PredictedClientSize( Scaled( img.Width(), currentView->zoom ), Scaled( img.Height(), currentView->zoom ) );
}

const qor::Image& TImageWindow::DisplayedImage() const
{
   return currentView != nullptr ? currentView->GetImage() : *image;
}

void TImageWindow::SetDisplayChannel( int32_t channel )
{
   // The channels are those of the image shown: a preview has no alpha channels and may be grey in a colour window.
   const qor::Image& shown = DisplayedImage();
   const int32_t highest = shown.NumberOfAlphaChannels() + ( shown.IsColor() ? 5 : 0 );
   if ( channel < 0 || channel > highest )
      return;
   if ( channel != displayChannel )
   {
      displayChannel = channel;
      RedrawImage();
   }
   UpdateCaption();
}

int32_t TImageWindow::CurrentRenderMode() const
{
   static const int32_t colorModes[] = { -3, 0, 1, 2, -1, -2 };
   if ( DisplayedImage().IsColor() )
      return displayChannel <= 5 ? colorModes[std::max( displayChannel, 0 )] : displayChannel - 3;
   return displayChannel;
}

void TImageWindow::SetZoomAndCenter( int32_t x, int32_t y, int32_t zoom )
{
   if ( currentView == nullptr )
      return;
   zoom = NormalizedZoom( zoom );
   const qor::Image& img = currentView->GetImage();

   bool captionChanged = false;
   if ( zoom != currentView->zoom )
   {
      currentView->zoom = zoom;
      captionChanged = true;
   }
   if ( CurrentRenderMode() >= img.NumberOfChannels() )
   {
      displayChannel = 0;
      captionChanged = true;
   }
   if ( captionChanged )
      UpdateCaption();

   viewport()->setUpdatesEnabled( false );
   LayoutScrollBox( true, Scaled( x, zoom ), Scaled( y, zoom ) );
   viewport()->setUpdatesEnabled( true );
   viewport()->update();
   if ( statusDialogNestingCount > 0 && statusDialogPaintPermission == 0 )
      RedrawImage();
}

void TImageWindow::LayoutScrollBox( bool centre, int32_t x, int32_t y )
{
   if ( currentView == nullptr )
      return;
   const qor::Image& img = currentView->GetImage();
   const int32_t zoom = currentView->zoom;
   const int32_t w = Scaled( img.Width(), zoom );
   const int32_t h = Scaled( img.Height(), zoom );
   const QSize client = PredictedClientSize( w, h );

   imageOffsetX = client.width() > w ? ( client.width() - w ) >> 1 : 0;
   imageOffsetY = client.height() > h ? ( client.height() - h ) >> 1 : 0;
   paintBoxWidth = std::max( w, client.width() );
   paintBoxHeight = std::max( h, client.height() );

   int32_t hpos = ScrollX();
   int32_t vpos = ScrollY();
   if ( centre )
   {
      hpos = imageOffsetX != 0 ? 0 : std::clamp( x - client.width() / 2, 0, std::max( 0, w - client.width() ) );
      vpos = imageOffsetY != 0 ? 0 : std::clamp( y - client.height() / 2, 0, std::max( 0, h - client.height() ) );
   }

   // The scroll bars follow the ranges (shown exactly when the range is not empty); the resize events that their
   // showing or hiding causes must not lay out again meanwhile.
   layingOut = true;
   QScrollBar* hbar = horizontalScrollBar();
   QScrollBar* vbar = verticalScrollBar();
   hbar->setRange( 0, paintBoxWidth - client.width() );
   hbar->setPageStep( std::max( 1, client.width() ) );
   vbar->setRange( 0, paintBoxHeight - client.height() );
   vbar->setPageStep( std::max( 1, client.height() ) );
   hbar->setValue( hpos );
   vbar->setValue( vpos );
   layingOut = false;
}

void TImageWindow::Image_ScrollBoxResize()
{
   if ( layingOut )
      return;
   LayoutScrollBox( false, 0, 0 );
   viewport()->update();
}

void TImageWindow::SetZoom( int32_t zoom )
{
   if ( currentView == nullptr )
      return;
   const QSize client = ClientSize();
   const int32_t n = currentView->zoom;
   const int32_t cx = client.width() / 2 + ScrollX() - imageOffsetX;
   const int32_t cy = client.height() / 2 + ScrollY() - imageOffsetY;
   SetZoomAndCenter( CentreToImage( cx, n ), CentreToImage( cy, n ), zoom );
}

QSize TImageWindow::FreeArea() const
{
   QSize area;
   if ( QMdiSubWindow* frame = SubWindow(); frame != nullptr && frame->mdiArea() != nullptr )
      area = frame->mdiArea()->viewport()->size();
   else if ( QScreen* screen = this->screen() != nullptr ? this->screen() : QGuiApplication::primaryScreen() )
      area = screen->availableGeometry().size();
   return { std::max( 0, area.width() - 4 ), std::max( 0, area.height() - 4 ) };
}

void TImageWindow::FitWindow()
{
   QWidget* frame = Frame();
   if ( frame->isMaximized() || frame->isMinimized() )
      frame->showNormal();
   if ( currentView == nullptr )
      return;

   const QSize free = FreeArea();
   const qor::Image& img = currentView->GetImage();
   const int32_t zoom = currentView->zoom;
   // The frame, the tab strip and the separators are kept: what the frame has beyond the bare client area.
   const QSize client = maximumViewportSize();
   const int32_t width = std::min( Scaled( img.Width(), zoom ) + frame->width() - client.width(), free.width() );
   const int32_t height = std::min( Scaled( img.Height(), zoom ) + frame->height() - client.height(), free.height() );
   const int32_t left = std::max( 0, std::min( frame->x(), free.width() - width ) );
   const int32_t top = std::max( 0, std::min( frame->y(), free.height() - height ) );
   frame->setGeometry( left, top, width, height );
   Image_ScrollBoxResize();
}

void TImageWindow::ZoomToFit( bool allowZoomIn )
{
   if ( currentView == nullptr )
      return;
   const qor::Image& img = currentView->GetImage();
   if ( img.IsEmpty() )
      return;
   const QSize free = FreeArea();
   const QWidget* frame = Frame();
   const QSize client = maximumViewportSize();
   double rx = double( client.width() + free.width() - frame->width() ) / img.Width();
   double ry = double( client.height() + free.height() - frame->height() ) / img.Height();
   if ( !allowZoomIn )
   {
      rx = std::min( rx, 1.0 );
      ry = std::min( ry, 1.0 );
   }
   auto ratio = []( double r ) { return r < 1 ? ( r > 0 ? -1 / r : -16.0 ) : r; };
   rx = ratio( rx );
   ry = ratio( ry );
   QWidget* f = Frame();
   if ( f->isMaximized() || f->isMinimized() )
      f->showNormal();
   const double z = std::min( std::floor( rx ), std::floor( ry ) );
   SetZoom( int32_t( std::clamp( z, -16.0, 32.0 ) ) );
   FitWindow();
}

// ---- Views ------------------------------------------------------------------------------------------------------

void TImageWindow::SelectView( View* view )
{
   if ( view == nullptr )
      return;
   if ( currentView != nullptr )
   {
      const QSize client = ClientSize();
      currentView->centerX = CentreToImage( client.width() / 2 + ScrollX() - imageOffsetX, currentView->zoom );
      currentView->centerY = CentreToImage( client.height() / 2 + ScrollY() - imageOffsetY, currentView->zoom );
   }
   currentView = view;
   if ( !view->GetImage().IsColor() )
      displayChannel = 0;
   SetZoomAndCenter( view->centerX, view->centerY, view->zoom );
   // The modes that work on the main view only end when a preview is selected.
   if ( view->IsPreview() && CurrentImageWindowMode >= 5 && CurrentImageWindowMode <= 8 )
      SetImageWindowMode( 0 );
   paintBoxPopupMenu = view->IsPreview() ? Preview_PopupMenu : Image_PopupMenu;
   if ( MainWindow != nullptr )
   {
      for ( QLabel* panel : { MainWindow->Position_Panel, MainWindow->Readout_Panel, MainWindow->Info_Panel } )
         if ( panel != nullptr )
            panel->clear();
   }
   RepaintViewTabs();
   UpdateCaption();
   UpdateCursor();
}

void TImageWindow::SelectNextView()
{
   if ( previews.empty() )
      return;
   if ( currentView == mainView )
      SelectView( previews.front() );
   else
   {
      auto i = std::find( previews.begin(), previews.end(), currentView );
      SelectView( i == previews.end() || i + 1 == previews.end() ? mainView : *( i + 1 ) );
   }
}

void TImageWindow::SelectPreviousView()
{
   if ( previews.empty() )
      return;
   if ( currentView == mainView )
      SelectView( previews.back() );
   else
   {
      auto i = std::find( previews.begin(), previews.end(), currentView );
      SelectView( i == previews.end() || i == previews.begin() ? mainView : *( i - 1 ) );
   }
}

// ---- Redrawing --------------------------------------------------------------------------------------------------

void TImageWindow::RedrawImage()
{
   // The caption names the image's colour space, which a process may have changed.
   UpdateCaption();
   if ( statusDialogNestingCount > 0 )
   {
      // The status dialog holds paints back; this one is wanted now.
      ++statusDialogPaintPermission;
      viewport()->repaint();
      --statusDialogPaintPermission;
   }
   else
      viewport()->update();
}

void TImageWindow::RepaintViewTabs()
{
   if ( ViewTabs_PaintBox != nullptr )
      ViewTabs_PaintBox->update();
}

void TImageWindow::paintEvent( QPaintEvent* event )
{
   QPainter painter( viewport() );
   const int32_t sx = ScrollX();
   const int32_t sy = ScrollY();
   painter.translate( -sx, -sy );
   const QRect clip = event->rect().translated( sx, sy );
   // An exception must not leave the event loop, and a paint must not open a box (the box would expose the window
   // again): whatever could not be drawn (a mask the renderer refuses, memory) shows as background.
   try
   {
      Image_PaintBoxPaint( painter, clip );
   }
   catch ( ... )
   {
      painter.fillRect( clip, backgroundColor );
   }
}

void TImageWindow::Image_PaintBoxPaint( QPainter& painter, const QRect& clip )
{
   if ( !paintingAllowed || closingCount > 0 || currentView == nullptr )
      return;
   if ( statusDialogNestingCount > 0 && statusDialogPaintPermission == 0 )
   {
      paintPending = true;
      return;
   }
   paintPending = false;

   const qor::Image& img = currentView->GetImage();
   // The image can have lost the displayed plane since the channel was chosen (a failed run left a grey
   // placeholder): the composite is shown instead, as a zoom change would choose.
   if ( CurrentRenderMode() >= img.NumberOfChannels() )
   {
      displayChannel = 0;
      UpdateCaption();
   }
   const int32_t zoom = currentView->zoom;
   const QRect imageRect( imageOffsetX, imageOffsetY, Scaled( img.Width(), zoom ), Scaled( img.Height(), zoom ) );
   if ( img.IsEmpty() || !clip.intersects( imageRect ) )
   {
      painter.fillRect( clip, backgroundColor );
      return;
   }

   // The clip in image pixels (truncated toward zero, clamped to the image), right and bottom exclusive on screen.
   auto toImage = [zoom]( int32_t v, int32_t offset ) { return Unscaled( v - offset, zoom ); };
   const int32_t c0 = std::clamp( toImage( clip.left(), imageOffsetX ), 0, img.Width() - 1 );
   const int32_t c1 = std::clamp( toImage( clip.right() + 1, imageOffsetX ), 0, img.Width() - 1 );
   const int32_t r0 = std::clamp( toImage( clip.top(), imageOffsetY ), 0, img.Height() - 1 );
   const int32_t r1 = std::clamp( toImage( clip.bottom() + 1, imageOffsetY ), 0, img.Height() - 1 );

   const bool alphaShown = displayChannel > ( img.IsColor() ? 5 : 0 );
   const qor::Image* mask = nullptr;
   int32_t maskX = -1, maskY = -1;
   if ( maskWindow != nullptr && maskShown && !alphaShown && !maskWindow->image->IsEmpty() )
   {
      mask = maskWindow->image;
      maskX = c0;
      maskY = r0;
      if ( const auto* p = dynamic_cast<const Preview*>( currentView ) )
      {
         maskX += p->left;
         maskY += p->top;
      }
   }

   QImage& bitmap = paintBitmap;
   RenderImageBitmap( bitmap, img, rgbWorkingSpace, c0, r0, c1 - c0 + 1, r1 - r0 + 1, zoom, CurrentRenderMode(), mask,
                      maskX, maskY );
   if ( colorManagementEnabled && ColorManagementSettings.EnableGlobalColorManagement )
      ColorManageBitmap( bitmap );

   const QRect drawn( Scaled( c0, zoom ) + imageOffsetX, Scaled( r0, zoom ) + imageOffsetY, bitmap.width(),
                      bitmap.height() );
   painter.drawImage( drawn.topLeft(), bitmap );
   for ( const QRect& r : QRegion( clip ).subtracted( QRegion( drawn ) ) )
      painter.fillRect( r, backgroundColor );
   DrawPreviewOutlines( painter );
   DrawDynamicSessionOverlays( painter );
   DrawRubberBand( painter );
}

void TImageWindow::resizeEvent( QResizeEvent* event )
{
   QAbstractScrollArea::resizeEvent( event );
   UpdateViewTabsLayout();
}

void TImageWindow::UpdateViewTabsLayout()
{
   // The strip at the left edge, then a separator of 2 pixels left of the image and one above it.
   setViewportMargins( ViewTabsWidth() + 2, 2, 0, 0 );
   if ( ViewTabs_PaintBox != nullptr )
      ViewTabs_PaintBox->setGeometry( 0, 0, ViewTabsWidth(), height() );
}

bool TImageWindow::viewportEvent( QEvent* event )
{
   switch ( event->type() )
   {
   case QEvent::Resize:
      Image_ScrollBoxResize();
      break;
   case QEvent::DragEnter:
   case QEvent::DragMove:
   {
      auto* drag = static_cast<QDragMoveEvent*>( event );
      const bool accept = Image_PaintBoxDragOver( drag->mimeData() );
      if ( TProcessEnvelope::DragObject* object = TProcessEnvelope::DragObject::Current() )
         object->ShowDragCursor( accept, viewport() );
      if ( accept )
         drag->acceptProposedAction();
      else
         drag->ignore();
      return true;
   }
   case QEvent::Drop:
   {
      auto* drop = static_cast<QDropEvent*>( event );
      if ( DraggedEnvelope( drop->mimeData() ) == nullptr )
      {
         drop->ignore();
         return true;
      }
      drop->acceptProposedAction();
      Image_PaintBoxDragDrop( drop->mimeData() );
      return true;
   }
   default:
      break;
   }
   return QAbstractScrollArea::viewportEvent( event );
}

void TImageWindow::scrollContentsBy( int dx, int dy )
{
   viewport()->scroll( dx, dy );
}

void TImageWindow::showEvent( QShowEvent* event )
{
   QAbstractScrollArea::showEvent( event );
   if ( !shownOnce )
   {
      shownOnce = true;
      ZoomToFit( false );
   }
}

// ---- View tabs --------------------------------------------------------------------------------------------------

int32_t TImageWindow::ViewTabsWidth() const
{
   return ViewTabFontHeight() + 4;
}

int32_t TImageWindow::ViewTabLength( const View* view ) const
{
   QFontMetrics metrics( ViewTabFont() );
   return ViewTabsWidth() + metrics.horizontalAdvance( QString::fromStdString( view->Identifier() ) );
}

void TImageWindow::DrawViewTab( QPainter& painter, View* view, int32_t p, bool current ) const
{
   const ColorsFontsPreferences& prefs = CurrentPreferences.colorsFonts;
   const int32_t w = ViewTabsWidth();
   const int32_t t = ViewTabLength( view ) - w;
   QPolygon polygon;
   polygon << QPoint( w, p + w + t + 4 ) << QPoint( 0, p + w + t + 4 ) << QPoint( 0, p + w ) << QPoint( w, p );
   painter.setPen( QPen( Qt::black, 1 ) );
   painter.setBrush( PreferenceColor( current ? prefs.selectedViewTabColor : prefs.viewTabColor ) );
   painter.drawPolygon( polygon );

   painter.save();
   painter.setFont( ViewTabFont() );
   painter.setPen( PreferenceColor( current ? prefs.selectedViewTabTextColor : prefs.viewTabTextColor ) );
   painter.translate( 1, p + w + t );
   painter.rotate( -90 );
   painter.drawText( 0, QFontMetrics( ViewTabFont() ).ascent(), QString::fromStdString( view->Identifier() ) );
   painter.restore();
}

QImage TImageWindow::ViewTabsBitmap() const
{
   const QSize size = ViewTabs_PaintBox != nullptr ? ViewTabs_PaintBox->size() : QSize( ViewTabsWidth(), height() );
   QImage bitmap( size.expandedTo( QSize( 1, 1 ) ), QImage::Format_RGB888 );
   bitmap.fill( backgroundColor );
   QPainter painter( &bitmap );
   std::vector<View*> views{ mainView };
   views.insert( views.end(), previews.begin(), previews.end() );
   int32_t p = 0, currentP = 0;
   for ( View* v : views )
   {
      if ( v != currentView )
         DrawViewTab( painter, v, p, false );
      else
         currentP = p;
      p += ViewTabLength( v );
   }
   if ( currentView != nullptr )
      DrawViewTab( painter, currentView, currentP, true );
   return bitmap;
}

void TImageWindow::ViewTabs_PaintBoxPaint( QPainter& painter )
{
   painter.drawImage( 0, 0, ViewTabsBitmap() );
}

TImageWindow::View* TImageWindow::ViewTabHitTest( int32_t x, int32_t y ) const
{
   const int32_t w = ViewTabsWidth();
   if ( x < 0 || x > w )
      return nullptr;
   std::vector<View*> views{ mainView };
   views.insert( views.end(), previews.begin(), previews.end() );
   int32_t p = 0;
   for ( View* v : views )
   {
      const int32_t length = ViewTabLength( v );
      // Inside the slanted corner only on or below the slant.
      if ( y >= p && y <= p + length && ( y >= p + w || x + y >= p + w ) )
         return v;
      p += length;
   }
   return nullptr;
}

void TImageWindow::ViewTabs_PaintBoxMouseDown( int32_t x, int32_t y )
{
   View* view = ViewTabHitTest( x, y );
   if ( view != nullptr && view != currentView )
      SelectView( view );
}
