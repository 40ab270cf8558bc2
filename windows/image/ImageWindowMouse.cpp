// TImageWindow: the mouse modes shared by all image windows, the mouse and keyboard state machine of a window, the
// cursors, the rubber band, panning and the wheel.

#include "windows/image/ImageWindow.h"

#include <QApplication>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

#include "platform/KeyTracker.h"
#include "platform/Prompter.h"
#include "process/Preferences.h"
#include "windows/image/Cursors.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ProcessEnvelope.h"
#include "windows/processing/ProcessingWindow.h"

uint8_t SpaceBarSavedMode = 255;

namespace
{

constexpr uint8_t ReadoutMode = 0;
constexpr uint8_t ZoomInMode = 1;
constexpr uint8_t ZoomOutMode = 2;
constexpr uint8_t PanMode = 3;
constexpr uint8_t CenterMode = 4;
constexpr uint8_t DynamicCropMode = 5;
constexpr uint8_t DynamicBackgroundExtractionMode = 6;
constexpr uint8_t NewPreviewMode = 7;
constexpr uint8_t EditPreviewMode = 8;

bool SpaceBarHeld()
{
   return platform::KeyTracker::Instance().IsKeyDown( Qt::Key_Space );
}

// The cursor tolerance preference (screen pixels) in image pixels at a zoom.
int32_t ToleranceInImagePixels( int32_t zoom )
{
   const int32_t t = CurrentPreferences.imageWindow.cursorTolerance;
   return zoom > 0 ? t / zoom : t * -zoom;
}

// Which edges of a preview a point is near (right and bottom inclusive).
struct EdgeNearness
{
   bool left, top, right, bottom;
   bool Any() const { return left || top || right || bottom; }
};

EdgeNearness NearEdges( const TImageWindow::Preview& p, int32_t column, int32_t row, int32_t t )
{
   const qor::Image& img = p.GetImage();
   const int32_t right = p.left + img.Width() - 1;
   const int32_t bottom = p.top + img.Height() - 1;
   return { std::abs( column - p.left ) <= t, std::abs( row - p.top ) <= t, std::abs( column - right ) <= t,
            std::abs( row - bottom ) <= t };
}

// The cursor over a preview in edit-preview mode.
int32_t PreviewHoverCursor( const EdgeNearness& e )
{
   if ( e.right )
      return e.bottom ? CursorResizeTLRB : e.top ? CursorResizeBLTR : CursorResizeH;
   if ( e.left )
      return e.top ? CursorResizeTLRB : e.bottom ? CursorResizeBLTR : CursorResizeH;
   if ( e.top || e.bottom )
      return CursorResizeV;
   return CursorMovePreview;
}

} // namespace

// ---- Modes and cursors ----------------------------------------------------------------------------------------------

int32_t ImageWindowModeCursor( uint8_t mode )
{
   static constexpr int32_t cursors[] = { CursorReadout,       CursorZoomIn,    CursorZoomOut,
                                          CursorPan,           CursorCenter,    CursorCrop,
                                          CursorBkgExtraction, CursorNewPreview, CursorSelectPreview };
   return mode < std::size( cursors ) ? cursors[mode] : CursorReadout;
}

void SetImageWindowMode( uint8_t mode )
{
   if ( QWidget* grabber = QWidget::mouseGrabber() )
      for ( TImageWindow::View* v : MainViewList )
         if ( grabber == v->Window()->viewport() )
            grabber->releaseMouse();
   CurrentImageWindowMode = mode;
   for ( TImageWindow::View* v : MainViewList )
      v->Window()->UpdateCursor();
}

void TImageWindow::UpdateCursor()
{
   if ( currentView == nullptr )
      return;
   screenCursor = 0;
   viewport()->setCursor( ScreenCursor( ShownCursorSlot() ) );
}

void TImageWindow::SetScreenCursor( int32_t slot )
{
   if ( slot == screenCursor )
      return;
   screenCursor = slot;
   viewport()->setCursor( ScreenCursor( ShownCursorSlot() ) );
}

int32_t TImageWindow::ShownCursorSlot() const
{
   return screenCursor != 0 ? screenCursor : ImageWindowModeCursor( CurrentImageWindowMode );
}

bool TImageWindow::IsPointInsideImageArea( int32_t X, int32_t Y ) const
{
   const QPoint client( X - ScrollX(), Y - ScrollY() );
   const QPoint global = viewport()->mapToGlobal( client );
   for ( QWidget* top : QApplication::topLevelWidgets() )
      if ( top != window() && top->isVisible() && top->windowFlags().testFlag( Qt::WindowStaysOnTopHint ) &&
           top->frameGeometry().contains( global ) )
         return false;
   return viewport()->rect().contains( client );
}

QPointF TImageWindow::ImagePoint( int32_t X, int32_t Y ) const
{
   const int32_t zoom = currentView != nullptr ? currentView->zoom : 1;
   auto convert = [zoom]( int32_t v ) { return zoom > 0 ? double( v ) / zoom : double( v ) * -zoom; };
   return { convert( X - imageOffsetX ), convert( Y - imageOffsetY ) };
}

// ---- Mouse ----------------------------------------------------------------------------------------------------------

namespace
{

// The point of a mouse event: image coordinates and the pixel they fall in (floor, so that the pixel left of the
// image's first column is -1 and never 0).
struct MousePoint
{
   double x, y;
   int32_t column, row;
};

MousePoint PointOf( const TImageWindow& window, int32_t X, int32_t Y )
{
   const QPointF p = window.ImagePoint( X, Y );
   return { p.x(), p.y(), int32_t( std::floor( p.x() ) ), int32_t( std::floor( p.y() ) ) };
}

bool Inside( const qor::Image& image, int32_t column, int32_t row )
{
   return column >= 0 && row >= 0 && column < image.Width() && row < image.Height();
}

} // namespace

void TImageWindow::Image_PaintBoxMouseDown( Qt::MouseButton button, Qt::KeyboardModifiers shift, int32_t X,
                                            int32_t Y )
{
   if ( currentView == nullptr )
      return;
   const MousePoint p = PointOf( *this, X, Y );
   if ( QMdiSubWindow* frame = SubWindow(); frame != nullptr && frame->mdiArea() != nullptr &&
                                            frame->mdiArea()->activeSubWindow() != frame )
   {
      frame->mdiArea()->setActiveSubWindow( frame );
      return;
   }
   setFocus( Qt::MouseFocusReason );
   if ( button != Qt::LeftButton )
      return;

   const qor::Image& img = currentView->GetImage();
   const bool inside = Inside( img, p.column, p.row );
   switch ( CurrentImageWindowMode )
   {
   case ReadoutMode:
      if ( inside )
      {
         float v[3];
         ReadoutValues( p.column, p.row, v );
         BeginReadout( *currentView, v[0], v[1], v[2] );
      }
      break;
   case PanMode:
      if ( inside )
         BeginPan( X - ScrollX(), Y - ScrollY(), shift.testFlag( Qt::ShiftModifier ) );
      break;
   case DynamicCropMode:
      if ( dynamicCropData != nullptr )
      {
         dynamicCropData->MouseDown( float( p.x ), float( p.y ) );
         break;
      }
      // Without a session here, one running on another window leaves nothing to start.
      if ( DynamicCropSessionRunning() )
         break;
      [[fallthrough]];
   case ZoomInMode:
   case ZoomOutMode:
   case CenterMode:
   case NewPreviewMode:
      BeginRubberBand( p.column, p.row, p.column, p.row );
      break;
   case DynamicBackgroundExtractionMode:
      if ( dbeData != nullptr )
         dbeData->MouseDown( float( p.column ), float( p.row ) );
      break;
   case EditPreviewMode:
      if ( inside )
         if ( Preview* preview = PreviewAt( p.column, p.row, 2 ) )
         {
            SetSelectedPreview( preview );
            if ( NearEdges( *preview, p.column, p.row, ToleranceInImagePixels( currentView->zoom ) ).Any() )
               BeginPreviewResize( preview, p.column, p.row );
            else
               BeginPreviewMove( preview, p.column, p.row );
         }
      break;
   default:
      break;
   }
}

void TImageWindow::Image_PaintBoxMouseMove( Qt::MouseButtons buttons, Qt::KeyboardModifiers, int32_t X, int32_t Y )
{
   if ( currentView == nullptr )
      return;
   const MousePoint p = PointOf( *this, X, Y );
   const qor::Image& img = currentView->GetImage();
   const bool inside = Inside( img, p.column, p.row );
   const bool leftHeld = buttons.testFlag( Qt::LeftButton );

   if ( rubberBandActive )
      MoveRubberBand( int32_t( std::nearbyint( p.x ) ), int32_t( std::nearbyint( p.y ) ) );
   else
      switch ( CurrentImageWindowMode )
      {
      case ReadoutMode:
         if ( inside && readoutActive )
         {
            float v[3];
            ReadoutValues( p.column, p.row, v );
            UpdateReadout( *currentView, v[0], v[1], v[2] );
         }
         break;
      case PanMode:
         if ( panActive )
         {
            MovePan( X - ScrollX(), Y - ScrollY() );
            return;
         }
         break;
      case DynamicCropMode:
         if ( dynamicCropData != nullptr )
         {
            int32_t flags = 0;
            if ( leftHeld || IsPointInsideImageArea( X, Y ) )
            {
               if ( dynamicCropData->active && dynamicCropData->dragMode != DynamicCropData::NoHit )
               {
                  dynamicCropData->MouseMove( float( p.x ), float( p.y ) );
                  flags = dynamicCropData->dragMode;
               }
               else
                  flags = dynamicCropData->HitTest( float( p.x ), float( p.y ) );
            }
            if ( flags == 0 )
               SetScreenCursor( 0 );
            else if ( flags & DynamicCropData::CenterHit )
               SetScreenCursor( CursorSelectObjectPoint );
            else if ( flags & DynamicCropData::ResizeHit )
               SetScreenCursor( ( flags & ( DynamicCropData::LeftEdge | DynamicCropData::RightEdge ) ) != 0 &&
                                        ( flags & ( DynamicCropData::TopEdge | DynamicCropData::BottomEdge ) ) != 0
                                    ? CursorResize2Object
                                    : CursorResizeObject );
            else if ( flags & DynamicCropData::InsideHit )
               SetScreenCursor( CursorMoveObject );
            else if ( flags & DynamicCropData::OutsideHit )
               SetScreenCursor( CursorRotateObject );
         }
         break;
      case DynamicBackgroundExtractionMode:
         if ( dbeData != nullptr )
         {
            int32_t flags = 0;
            if ( IsPointInsideImageArea( X, Y ) )
            {
               if ( dbeData->dragFlags != 0 )
               {
                  dbeData->MouseMove( float( p.column ), float( p.row ) );
                  flags = dbeData->dragFlags;
               }
               else
                  flags = dbeData->HitTest( float( p.column ), float( p.row ) );
            }
            if ( flags == 0 )
               SetScreenCursor( 0 );
            else if ( flags & DynamicBackgroundExtractionData::SampleDrag )
               SetScreenCursor( CursorSelectObject );
            else
               SetScreenCursor( CursorSelectObjectPoint );
         }
         break;
      case EditPreviewMode:
         if ( previewMoving || previewResizing )
            MovePreviewEdit( int32_t( std::nearbyint( p.x ) ), int32_t( std::nearbyint( p.y ) ) );
         else
         {
            Preview* preview =
                leftHeld || IsPointInsideImageArea( X, Y ) ? PreviewAt( p.column, p.row, 2 ) : nullptr;
            if ( preview == nullptr )
               SetScreenCursor( 0 );
            else
               SetScreenCursor( PreviewHoverCursor(
                   NearEdges( *preview, p.column, p.row, ToleranceInImagePixels( currentView->zoom ) ) ) );
         }
         break;
      default:
         break;
      }

   ShowPosition( p.x, p.y );
   ShowPixelReadout( p.column, p.row );
}

void TImageWindow::Image_PaintBoxMouseUp( Qt::MouseButton button, Qt::KeyboardModifiers, int32_t X, int32_t Y )
{
   if ( button != Qt::LeftButton || currentView == nullptr )
      return;
   const MousePoint p = PointOf( *this, X, Y );

   const bool band = rubberBandActive;
   int32_t x0 = std::min( rubberX0, rubberX1 ), x1 = std::max( rubberX0, rubberX1 );
   int32_t y0 = std::min( rubberY0, rubberY1 ), y1 = std::max( rubberY0, rubberY1 );
   const int32_t cx = int32_t( std::nearbyint( ( x0 + x1 ) * 0.5 ) );
   const int32_t cy = int32_t( std::nearbyint( ( y0 + y1 ) * 0.5 ) );
   const int32_t w = x1 - x0 + 1, h = y1 - y0 + 1;
   if ( band )
      EndRubberBand();

   const int32_t zoom = currentView->zoom;
   switch ( CurrentImageWindowMode )
   {
   case ReadoutMode:
      if ( readoutActive )
         EndReadout( *currentView );
      break;
   case ZoomInMode:
      if ( band && w > 1 && h > 1 )
      {
         const QSize client = ClientSize();
         const double ratio = w >= h ? double( client.width() ) / w : double( client.height() ) / h;
         SetZoomAndCenter( cx, cy, int32_t( std::nearbyint( ratio ) ) );
      }
      else
         SetZoomAndCenter( p.column, p.row, ZoomStepIn( zoom ) );
      break;
   case ZoomOutMode:
      if ( band )
         SetZoomAndCenter( cx, cy, ZoomStepOut( zoom ) );
      else
         SetZoomAndCenter( p.column, p.row, ZoomStepOut( zoom ) );
      break;
   case PanMode:
      if ( panActive )
         EndPan();
      break;
   case CenterMode:
      if ( band )
         SetZoomAndCenter( cx, cy, zoom );
      else
         SetZoomAndCenter( p.column, p.row, zoom );
      break;
   case DynamicCropMode:
      if ( dynamicCropData != nullptr )
      {
         if ( dynamicCropData->dragMode != DynamicCropData::NoHit )
            dynamicCropData->MouseUp();
      }
      else if ( band )
         StartDynamicCrop( float( x0 ), float( y0 ), float( x1 + 1 ), float( y1 + 1 ) );
      break;
   case DynamicBackgroundExtractionMode:
      if ( dbeData != nullptr )
      {
         if ( dbeData->dragFlags != 0 )
            dbeData->MouseUp();
      }
      else
         StartDBE( float( p.x ), float( p.y ) );
      break;
   case NewPreviewMode:
      if ( band )
      {
         CreatePreview( "", x0, y0, w, h );
         SetImageWindowMode( EditPreviewMode );
      }
      break;
   case EditPreviewMode:
      if ( previewMoving || previewResizing )
         EndPreviewEdit();
      break;
   default:
      break;
   }
   UpdateCursor();
}

void TImageWindow::mousePressEvent( QMouseEvent* event )
{
   const QPoint v = event->position().toPoint();
   Image_PaintBoxMouseDown( event->button(), event->modifiers(), v.x() + ScrollX(), v.y() + ScrollY() );
   event->accept();
}

void TImageWindow::mouseMoveEvent( QMouseEvent* event )
{
   const QPoint v = event->position().toPoint();
   Image_PaintBoxMouseMove( event->buttons(), event->modifiers(), v.x() + ScrollX(), v.y() + ScrollY() );
   event->accept();
}

void TImageWindow::mouseReleaseEvent( QMouseEvent* event )
{
   const QPoint v = event->position().toPoint();
   Image_PaintBoxMouseUp( event->button(), event->modifiers(), v.x() + ScrollX(), v.y() + ScrollY() );
   event->accept();
}

// ---- Rubber band ----------------------------------------------------------------------------------------------------

void TImageWindow::BeginRubberBand( int32_t x0, int32_t y0, int32_t x1, int32_t y1 )
{
   if ( currentView == nullptr )
      return;
   const qor::Image& img = currentView->GetImage();
   rubberX0 = std::clamp( x0, 0, std::max( img.Width() - 1, 0 ) );
   rubberY0 = std::clamp( y0, 0, std::max( img.Height() - 1, 0 ) );
   rubberX1 = std::clamp( x1, 0, std::max( img.Width() - 1, 0 ) );
   rubberY1 = std::clamp( y1, 0, std::max( img.Height() - 1, 0 ) );
   rubberBandActive = true;
   viewport()->update();
}

void TImageWindow::MoveRubberBand( int32_t x, int32_t y )
{
   if ( !rubberBandActive || currentView == nullptr )
      return;
   const qor::Image& img = currentView->GetImage();
   rubberX1 = std::clamp( x, 0, std::max( img.Width() - 1, 0 ) );
   rubberY1 = std::clamp( y, 0, std::max( img.Height() - 1, 0 ) );
   viewport()->update();
}

void TImageWindow::EndRubberBand()
{
   if ( !rubberBandActive )
      return;
   rubberBandActive = false;
   viewport()->update();
}

void TImageWindow::DrawRubberBand( QPainter& painter ) const
{
   if ( !rubberBandActive || currentView == nullptr )
      return;
   const int32_t zoom = currentView->zoom;
   auto screen = [zoom]( int32_t v, int32_t offset )
   { return ( zoom > 0 ? v * zoom : int32_t( std::nearbyint( double( v ) / -zoom ) ) ) + offset; };
   const int32_t l = screen( std::min( rubberX0, rubberX1 ), imageOffsetX );
   const int32_t t = screen( std::min( rubberY0, rubberY1 ), imageOffsetY );
   const int32_t r = screen( std::max( rubberX0, rubberX1 ) + 1, imageOffsetX );
   const int32_t b = screen( std::max( rubberY0, rubberY1 ) + 1, imageOffsetY );

   painter.save();
   // White through difference inverts what lies under the band, so it shows on any image.
   painter.setCompositionMode( QPainter::CompositionMode_Difference );
   painter.setBrush( Qt::NoBrush );
   painter.setPen( QPen( Qt::white, 1, Qt::DashLine ) );
   const QPoint corners[] = { { l, t }, { l, b }, { r, b }, { r, t }, { l, t } };
   painter.drawPolyline( corners, 5 );
   if ( l != r || t != b )
   {
      const int32_t cx = int32_t( std::nearbyint( ( l + r ) * 0.5 ) ), cy = int32_t( std::nearbyint( ( t + b ) * 0.5 ) );
      painter.setPen( QPen( Qt::white, 1, Qt::SolidLine ) );
      painter.drawLine( cx - 4, cy - 4, cx + 5, cy + 5 );
      painter.drawLine( cx - 4, cy + 4, cx + 5, cy - 5 );
   }
   painter.restore();
}

// ---- Pan ------------------------------------------------------------------------------------------------------------

void TImageWindow::BeginPan( int32_t x, int32_t y, bool axisLock )
{
   panStartX = x;
   panStartY = y;
   panStartScrollX = ScrollX();
   panStartScrollY = ScrollY();
   panActive = true;
   panLockedHorizontal = panLockedVertical = false;
   panAxisPending = axisLock;
}

void TImageWindow::MovePan( int32_t x, int32_t y )
{
   if ( !panActive )
      return;
   QScrollBar* hs = horizontalScrollBar();
   QScrollBar* vs = verticalScrollBar();
   const int32_t newX = std::clamp( panStartScrollX + panStartX - x, 0, std::max( hs->maximum(), 0 ) );
   const int32_t newY = std::clamp( panStartScrollY + panStartY - y, 0, std::max( vs->maximum(), 0 ) );
   const int32_t dx = std::abs( x - panStartX );
   const int32_t dy = std::abs( y - panStartY );
   if ( !panLockedVertical && dx >= dy )
   {
      hs->setValue( newX );
      panStartX = x;
      panStartScrollX = ScrollX();
      if ( panAxisPending )
      {
         panLockedHorizontal = true;
         panAxisPending = false;
         SetScreenCursor( CursorPanH );
      }
   }
   if ( !panLockedHorizontal && dy >= dx )
   {
      vs->setValue( newY );
      panStartY = y;
      panStartScrollY = ScrollY();
      if ( panAxisPending )
      {
         panLockedVertical = true;
         panAxisPending = false;
         SetScreenCursor( CursorPanV );
      }
   }
}

void TImageWindow::EndPan()
{
   panActive = panAxisPending = panLockedHorizontal = panLockedVertical = false;
   SetScreenCursor( 0 );
}

// ---- Keyboard, wheel, activation ------------------------------------------------------------------------------------

bool TImageWindow::FormKeyDown( int key, Qt::KeyboardModifiers shift )
{
   const bool ctrl = shift.testFlag( Qt::ControlModifier ) || key == Qt::Key_Control;
   const bool shiftHeld = shift.testFlag( Qt::ShiftModifier );
   const uint8_t mode = CurrentImageWindowMode;
   switch ( key )
   {
   case Qt::Key_Escape:
      if ( dynamicCropData != nullptr )
      {
         ReleaseSessionMouse();
         StopDynamicCrop();
         UpdateCursor();
         return true;
      }
      return false;
   case Qt::Key_Return:
   case Qt::Key_Enter:
      // The Dynamic Crop session runs its dialog's OK.
      if ( dynamicCropData != nullptr )
      {
         ReleaseSessionMouse();
         const bool used = dynamicCropData->EnterPressed();
         UpdateCursor();
         return used;
      }
      return false;
   case Qt::Key_Delete:
      // The background-extraction session deletes its current sample.
      return mode == DynamicBackgroundExtractionMode && dbeData != nullptr && dbeData->DeletePressed();
   case Qt::Key_Space:
      if ( SpaceBarSavedMode == 255 )
      {
         SpaceBarSavedMode = mode;
         SetImageWindowMode( ctrl ? ( shiftHeld ? ZoomOutMode : ZoomInMode ) : PanMode );
      }
      return true;
   case Qt::Key_Control:
      if ( SpaceBarHeld() )
         SetImageWindowMode( shiftHeld ? ZoomOutMode : ZoomInMode );
      return true;
   case Qt::Key_Alt:
      if ( mode == ZoomInMode )
      {
         if ( SpaceBarSavedMode == 255 || SpaceBarHeld() )
            SetImageWindowMode( ZoomOutMode );
         if ( SpaceBarSavedMode == 255 )
            SpaceBarSavedMode = ZoomInMode;
      }
      else if ( mode == ZoomOutMode && SpaceBarSavedMode == 255 )
      {
         SpaceBarSavedMode = ZoomOutMode;
         SetImageWindowMode( ZoomInMode );
      }
      return true;
   case Qt::Key_Shift:
      return false;
   default:
      break;
   }

   if ( !shift.testFlag( Qt::ControlModifier ) )
   {
      int32_t chosen = -1;
      switch ( key )
      {
      case Qt::Key_R: chosen = ReadoutMode; break;
      case Qt::Key_Z: chosen = shiftHeld ? ZoomOutMode : ZoomInMode; break;
      case Qt::Key_P: chosen = PanMode; break;
      case Qt::Key_C: chosen = CenterMode; break;
      case Qt::Key_D: chosen = DynamicCropMode; break;
      case Qt::Key_B: chosen = DynamicBackgroundExtractionMode; break;
      case Qt::Key_N: chosen = NewPreviewMode; break;
      case Qt::Key_E: chosen = EditPreviewMode; break;
      default: return false;
      }
      // The modes that work on the main view only are not taken while a preview is shown.
      if ( chosen >= DynamicCropMode && currentView != nullptr && currentView->IsPreview() )
         return true;
      SetImageWindowMode( uint8_t( chosen ) );
      return true;
   }
   if ( shiftHeld )
   {
      int32_t channel = -1;
      switch ( key )
      {
      case Qt::Key_0: channel = 0; break;
      case Qt::Key_R: channel = 1; break;
      case Qt::Key_G: channel = 2; break;
      case Qt::Key_B: channel = 3; break;
      case Qt::Key_L: channel = 4; break;
      case Qt::Key_C: channel = 5; break;
      default: return false;
      }
      SetDisplayChannel( channel );
      return true;
   }
   return false;
}

bool TImageWindow::FormKeyUp( int key, Qt::KeyboardModifiers )
{
   switch ( key )
   {
   case Qt::Key_Control:
      if ( SpaceBarHeld() )
         SetImageWindowMode( PanMode );
      return true;
   case Qt::Key_Alt:
      if ( CurrentImageWindowMode == ZoomInMode && SpaceBarSavedMode == ZoomOutMode )
         SetImageWindowMode( ZoomOutMode );
      else if ( CurrentImageWindowMode == ZoomOutMode && ( SpaceBarSavedMode == ZoomInMode || SpaceBarHeld() ) )
         SetImageWindowMode( ZoomInMode );
      if ( !SpaceBarHeld() )
         SpaceBarSavedMode = 255;
      return true;
   case Qt::Key_Space:
      if ( SpaceBarSavedMode != 255 )
      {
         const uint8_t saved = SpaceBarSavedMode;
         SpaceBarSavedMode = 255;
         SetImageWindowMode( saved );
      }
      return true;
   default:
      return false;
   }
}

void TImageWindow::keyPressEvent( QKeyEvent* event )
{
   if ( event->isAutoRepeat() &&
        ( event->key() == Qt::Key_Space || event->key() == Qt::Key_Control || event->key() == Qt::Key_Alt ) )
   {
      event->accept();
      return;
   }
   if ( FormKeyDown( event->key(), event->modifiers() ) )
      event->accept();
   else
      QAbstractScrollArea::keyPressEvent( event );
}

void TImageWindow::keyReleaseEvent( QKeyEvent* event )
{
   if ( event->isAutoRepeat() )
   {
      event->accept();
      return;
   }
   if ( FormKeyUp( event->key(), event->modifiers() ) )
      event->accept();
   else
      QAbstractScrollArea::keyReleaseEvent( event );
}

void TImageWindow::FormMouseWheel( int32_t delta )
{
   if ( currentView == nullptr )
      return;
   const int32_t zoom = currentView->zoom;
   SetZoom( delta < 0 ? ZoomStepIn( zoom ) : ZoomStepOut( zoom ) );
}

void TImageWindow::wheelEvent( QWheelEvent* event )
{
   const int32_t delta = event->angleDelta().y() != 0 ? event->angleDelta().y() : event->angleDelta().x();
   if ( delta != 0 )
      FormMouseWheel( delta );
   event->accept();
}

void TImageWindow::FormActivate()
{
   if ( currentView != nullptr && currentView->IsPreview() && CurrentImageWindowMode >= DynamicCropMode &&
        CurrentImageWindowMode <= EditPreviewMode )
      SetImageWindowMode( ReadoutMode );
}

void TImageWindow::focusInEvent( QFocusEvent* event )
{
   QAbstractScrollArea::focusInEvent( event );
   FormActivate();
}

// ---- View tabs under a process drag ---------------------------------------------------------------------------------

void TImageWindow::ViewTabs_PaintBoxDragOver( const QMimeData* data, int32_t x, int32_t y, bool leaving )
{
   if ( DraggedEnvelope( data ) == nullptr )
      return;
   if ( QMdiSubWindow* frame = SubWindow(); frame != nullptr && frame->mdiArea() != nullptr &&
                                            frame->mdiArea()->activeSubWindow() != frame )
      frame->mdiArea()->setActiveSubWindow( frame );
   if ( leaving )
      return;
   View* view = ViewTabHitTest( x, y );
   if ( view != nullptr && view != currentView )
      SelectView( view );
}

// ---- Readout broadcasts ---------------------------------------------------------------------------------------------

void TImageWindow::ReadoutValues( int32_t column, int32_t row, float values[3] ) const
{
   const qor::Image& img = currentView->GetImage();
   const bool colour = img.IsColor() && img.NumberOfNominalChannels() >= 3;
   for ( int32_t c = 0; c < 3; ++c )
      values[c] = currentView->ReadoutValue( colour ? c : 0, column, row );
}

void TImageWindow::BeginReadout( View& view, float r, float g, float b )
{
   NotifyBeginReadout( view, r, g, b );
   readoutActive = true;
}

void TImageWindow::UpdateReadout( View& view, float r, float g, float b )
{
   NotifyUpdateReadout( view, r, g, b );
}

void TImageWindow::EndReadout( View& view )
{
   NotifyEndReadout( view );
   readoutActive = false;
}
