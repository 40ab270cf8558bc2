#include "windows/processing/ProcessEnvelope.h"

#include <QApplication>
#include <QDrag>
#include <QDragMoveEvent>
#include <QImage>
#include <QMdiArea>
#include <QMimeData>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>

#include "platform/DragRunner.h"
#include "process/Process.h"
#include "windows/image/Cursors.h"
#include "windows/image/ImageWindow.h"
#include "windows/main/MainWindow.h"

const char* const ProcessEnvelopeMimeType = "application/x-lumenforge-process-instance";

namespace
{

TProcessEnvelope::DragObject* currentDrag = nullptr;

// The colour the drag picture is laid on: the main window's (the window background without one).
QColor MainWindowColor()
{
   const QWidget* w = MainWindow;
   return ( w != nullptr ? w->palette() : QApplication::palette() ).color( QPalette::Window );
}

// A picture of a two-bitmap cursor for the toolkit's drag: a set mask bit shows black where the cursor's bit is
// set and white where it is not; the rest is transparent.
QPixmap CursorPixmap( int32_t slot )
{
   const QCursor cursor = ScreenCursor( slot );
   const QBitmap bits = cursor.bitmap();
   const QBitmap mask = cursor.mask();
   if ( bits.isNull() || mask.isNull() )
      return cursor.pixmap();
   const QImage b = bits.toImage();
   const QImage m = mask.toImage();
   QImage picture( b.size(), QImage::Format_ARGB32 );
   picture.fill( Qt::transparent );
   for ( int y = 0; y < b.height(); ++y )
      for ( int x = 0; x < b.width(); ++x )
         if ( m.pixelIndex( x, y ) != 0 )
            picture.setPixel( x, y, b.pixelIndex( x, y ) != 0 ? qRgb( 0, 0, 0 ) : qRgb( 255, 255, 255 ) );
   return QPixmap::fromImage( picture );
}

const TImageWindow* ImageWindowOf( const QWidget* widget )
{
   for ( const QWidget* w = widget; w != nullptr; w = w->parentWidget() )
      if ( const auto* window = qobject_cast<const TImageWindow*>( w ) )
         return window;
   return nullptr;
}

} // namespace

// ---- TProcessEnvelope ------------------------------------------------------------------------------------------

TProcessEnvelope::TProcessEnvelope( QWidget* owner ) : QFrame( owner )
{
   setFrameStyle( QFrame::Panel | QFrame::Raised );
   setLineWidth( 1 );
   setAttribute( Qt::WA_Hover, false );
}

TProcessEnvelope::~TProcessEnvelope() = default;

Process* TProcessEnvelope::Instance()
{
   return nullptr;
}

Process* TProcessEnvelope::ProbeInstance()
{
   return Instance();
}

void TProcessEnvelope::ReleaseInstance( Process* )
{
}

bool TProcessEnvelope::IsInstanceTransferable() const
{
   return false;
}

void TProcessEnvelope::InstanceTransferred( Process* )
{
}

QPixmap TProcessEnvelope::CreateDragBitmap( int32_t& left, int32_t& top )
{
   QPixmap picture( width() + 4, height() + 4 );
   picture.fill( MainWindowColor() );
   {
      QPainter painter( &picture );
      render( &painter, QPoint( 2, 2 ), QRegion(), QWidget::DrawChildren );
   }
   left = x();
   top = y();
   return picture;
}

std::unique_ptr<Process> TProcessEnvelope::KeepInstance()
{
   Process* offered = Instance();
   if ( offered == nullptr )
      return nullptr;
   if ( IsInstanceTransferable() )
   {
      InstanceTransferred( offered );
      return std::unique_ptr<Process>( offered );
   }
   std::unique_ptr<Process> clone;
   try
   {
      clone = offered->Clone();
   }
   catch ( ... )
   {
      ReleaseInstance( offered );
      throw;
   }
   ReleaseInstance( offered );
   return clone;
}

void TProcessEnvelope::EnvelopeMouseDown( QWidget* sender, QPoint point, Qt::MouseButton button )
{
   if ( button != Qt::LeftButton || dragState != 0 )
      return;
   const QPoint p = sender != nullptr && sender != this ? sender->mapTo( this, point ) : point;
   pressX = p.x();
   pressY = p.y();
   dragObject = nullptr;
   dragState = 1;
}

void TProcessEnvelope::EnvelopeMouseMove( QWidget* sender, QPoint point )
{
   if ( dragState != 1 || currentDrag != nullptr )
      return;
   // The first move with the button down starts the drag: there is no distance threshold.
   const QPoint p = sender != nullptr && sender != this ? sender->mapTo( this, point ) : point;
   pressX = p.x();
   pressY = p.y();
   if ( !StartDrag() )
   {
      dragState = 0;
      return;
   }
   BeginDrag();
}

void TProcessEnvelope::EnvelopeMouseUp()
{
   dragState = 0;
}

bool TProcessEnvelope::StartDrag()
{
   return true;
}

Qt::DropAction TProcessEnvelope::BeginDrag()
{
   QPointer<TProcessEnvelope> self( this );
   dragState = 2;
   auto object = std::make_unique<DragObject>( this );
   dragObject = object.get();

   auto* drag = new QDrag( this );
   auto* data = new QMimeData;
   data->setData( ProcessEnvelopeMimeType, QByteArray() );
   drag->setMimeData( data );
   QPoint hotSpot;
   drag->setPixmap( object->DragImage( hotSpot ) );
   drag->setHotSpot( hotSpot );
   object->drag = drag;
   object->ShowDragCursor( false, this );

   Qt::DropAction action = Qt::IgnoreAction;
   try
   {
      action = platform::DragRunner::exec( *drag );
   }
   catch ( ... )
   {
      object.reset();
      if ( self )
      {
         dragState = 0;
         dragObject = nullptr;
      }
      delete drag;
      throw;
   }
   object.reset();
   delete drag;
   if ( self )
   {
      dragState = 0;
      dragObject = nullptr;
   }
   return action;
}

void TProcessEnvelope::mousePressEvent( QMouseEvent* event )
{
   EnvelopeMouseDown( this, event->position().toPoint(), event->button() );
}

void TProcessEnvelope::mouseMoveEvent( QMouseEvent* event )
{
   if ( event->buttons() & Qt::LeftButton )
      EnvelopeMouseMove( this, event->position().toPoint() );
}

void TProcessEnvelope::mouseReleaseEvent( QMouseEvent* )
{
   EnvelopeMouseUp();
}

// ---- DragObject -------------------------------------------------------------------------------------------------

TProcessEnvelope::DragObject::DragObject( TProcessEnvelope* envelope ) : envelope( envelope )
{
   currentDrag = this;
}

TProcessEnvelope::DragObject::~DragObject()
{
   if ( currentDrag == this )
      currentDrag = nullptr;
}

TProcessEnvelope::DragObject* TProcessEnvelope::DragObject::Current()
{
   return currentDrag;
}

QPixmap TProcessEnvelope::DragObject::DragImage( QPoint& hotSpot ) const
{
   int32_t left = 0;
   int32_t top = 0;
   QPixmap picture = envelope->CreateDragBitmap( left, top );
   // The picture keeps its place under the mouse.
   hotSpot = QPoint( envelope->pressX + envelope->x() + 2 - left, envelope->pressY + envelope->y() + 2 - top );
   return picture;
}

int32_t TProcessEnvelope::DragObject::DragCursor( bool accepted, const QWidget* target ) const
{
   if ( target == nullptr || target->window() == envelope->window() )
      return CursorDrag;
   if ( !accepted )
      return CursorDragReject;
   if ( const TImageWindow* imageWindow = ImageWindowOf( target ) )
      if ( MainWindow != nullptr && MainWindow->ActiveImageWindow() == imageWindow )
         return CursorDragAccept;
   if ( MainWindow != nullptr && ImageWindowOf( target ) == nullptr && target->window() == MainWindow )
   {
      // An envelope on the desktop only moves there; any other would leave a new icon.
      const QWidget* desktop = MainWindow->Desktop() != nullptr ? MainWindow->Desktop()->viewport() : nullptr;
      return envelope->parentWidget() == desktop ? CursorDrag : CursorDragCreate;
   }
   if ( target->isVisible() )
      return CursorDragCopy;
   return CursorDrag;
}

void TProcessEnvelope::DragObject::ShowDragCursor( bool accepted, const QWidget* target ) const
{
   if ( drag == nullptr )
      return;
   const QPixmap cursor = CursorPixmap( DragCursor( accepted, target ) );
   drag->setDragCursor( cursor, accepted ? Qt::CopyAction : Qt::IgnoreAction );
   if ( accepted )
      drag->setDragCursor( cursor, Qt::MoveAction );
}

TProcessEnvelope* DraggedEnvelope( const QMimeData* data )
{
   if ( currentDrag == nullptr || data == nullptr || !data->hasFormat( ProcessEnvelopeMimeType ) )
      return nullptr;
   if ( currentDrag->drag != nullptr && currentDrag->drag->mimeData() != data )
      return nullptr;
   return currentDrag->envelope;
}

void AnswerEnvelopeDrag( QDragMoveEvent* event, bool accepted, const QWidget* target )
{
   if ( TProcessEnvelope::DragObject* drag = TProcessEnvelope::DragObject::Current() )
      drag->ShowDragCursor( accepted, target );
   if ( accepted )
      event->acceptProposedAction();
   else
      event->ignore();
}
