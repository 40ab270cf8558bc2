#ifndef LF_WINDOWS_PROCESSING_PROCESS_ENVELOPE_H
#define LF_WINDOWS_PROCESSING_PROCESS_ENVELOPE_H

// A process instance travels between windows inside an envelope: a small panel the user drags with the left mouse
// button. Two kinds exist: the new-instance handle in the corner of every processing window, which makes a fresh
// instance from the window's controls whenever a target asks for one, and the process icons on the desktop, which
// carry one instance of their own.
//
// The protocol every drop target keeps to:
//   1. During drag-over: take ProbeInstance() (image windows) or Instance() (interfaces, icons), decide, and give
//      the instance back with ReleaseInstance(). A drag-over never keeps an instance.
//   2. On drop: take Instance(); none means nothing happens. A target that uses the instance for a moment (runs it,
//      imports it) gives it back with ReleaseInstance(). A target that keeps an instance keeps the offered one
//      itself only when IsInstanceTransferable(), and then calls InstanceTransferred(); otherwise it keeps a
//      clone and gives the offered one back (KeepInstance() does exactly this).
// So a processing window's handle makes a new instance at every Instance() call and deletes what comes back; an
// icon offers its own instance, never lets it go, and ignores ReleaseInstance().
//
// Dragging: a press of the left button arms the envelope, the first move with the button down starts the drag (no
// distance threshold), and the drag runs through platform::DragRunner. While it runs, DragObject::Current() is the
// drag under way, and targets find the envelope with DraggedEnvelope(). The cursor a target shows comes from
// DragObject::DragCursor(): accepted on the active image window, copy over the other windows of the program,
// create over the desktop, rejected where the drop would be refused.

#include <QFrame>
#include <QPixmap>
#include <QPoint>

#include <cstdint>
#include <memory>

class Process;
class QDrag;
class QDragMoveEvent;
class QMimeData;

class TProcessEnvelope : public QFrame
{
   Q_OBJECT

public:
   class DragObject;

   explicit TProcessEnvelope( QWidget* owner );
   ~TProcessEnvelope() override;

   // ---- The drag protocol ----
   // The instance offered to a drop target; none.
   virtual Process* Instance();
   // An instance only to test whether a target can use it; Instance().
   virtual Process* ProbeInstance();
   // A target is done with an instance it did not keep; nothing.
   virtual void ReleaseInstance( Process* instance );
   // Whether a target may keep the offered instance itself; false.
   virtual bool IsInstanceTransferable() const;
   // A target kept the offered instance; nothing.
   virtual void InstanceTransferred( Process* instance );
   // The picture shown while dragging, and where its top-left lies in the parent's coordinates: the envelope
   // painted at (2, 2) on a background of the main window's colour, 4 pixels larger than the envelope.
   virtual QPixmap CreateDragBitmap( int32_t& left, int32_t& top );

   // Step 2 of the protocol for a target that keeps the instance: the offered instance itself when transferable,
   // otherwise a clone (the offered one is given back). nullptr when the envelope offers none.
   std::unique_ptr<Process> KeepInstance();

   // ---- Mouse handling ----
   // The handlers take the point in the coordinates of the control that saw the event (the envelope or one of its
   // children) and convert it to the envelope's own.
   void EnvelopeMouseDown( QWidget* sender, QPoint point, Qt::MouseButton button );
   void EnvelopeMouseMove( QWidget* sender, QPoint point );
   void EnvelopeMouseUp();
   // The start of a drag: whether it may begin. A processing window's handle puts its window's commit of the active
   // edit in front; true.
   virtual bool StartDrag();
   // Runs the drag: dragState 2, a DragObject, the toolkit's drag through platform::DragRunner, then dragState 0.
   // Returns the drop action.
   Qt::DropAction BeginDrag();

   // 0 idle, 1 pressed (armed), 2 dragging, -1 cancelled (no drag until the button is released).
   int32_t dragState = 0;
   int32_t pressX = 0;
   int32_t pressY = 0;
   DragObject* dragObject = nullptr;

protected:
   void mousePressEvent( QMouseEvent* event ) override;
   void mouseMoveEvent( QMouseEvent* event ) override;
   void mouseReleaseEvent( QMouseEvent* event ) override;
};

// The drag under way: its envelope, its picture and hot spot, and the cursor for the widget under the mouse.
class TProcessEnvelope::DragObject
{
public:
   explicit DragObject( TProcessEnvelope* envelope );
   ~DragObject();
   DragObject( const DragObject& ) = delete;
   DragObject& operator=( const DragObject& ) = delete;

   // The drag image (the envelope's CreateDragBitmap) and the point of it under the mouse.
   QPixmap DragImage( QPoint& hotSpot ) const;
   // The cursor slot for a target widget (nullptr: none under the mouse) that accepts or refuses the drop.
   int32_t DragCursor( bool accepted, const QWidget* target ) const;
   // Shows that cursor for the drag's current action (targets call it from their drag-enter and drag-move events).
   void ShowDragCursor( bool accepted, const QWidget* target ) const;

   TProcessEnvelope* envelope;
   QDrag* drag = nullptr;

   // The drag under way, or nullptr.
   static DragObject* Current();
};

// The MIME type of the program's instance drags (the data hold nothing: the envelope is the drag's own).
extern const char* const ProcessEnvelopeMimeType;

// The envelope being dragged when the data are those of the drag under way; nullptr otherwise.
TProcessEnvelope* DraggedEnvelope( const QMimeData* data );

// A target's answer to a drag entering or moving over it: the drag's cursor for that answer, then the event
// accepted or ignored.
void AnswerEnvelopeDrag( QDragMoveEvent* event, bool accepted, const QWidget* target );

#endif
