#ifndef LF_PLATFORM_DRAG_RUNNER_H
#define LF_PLATFORM_DRAG_RUNNER_H

// The one way the program runs a drag and drop of its own: DragRunner::exec(drag) instead of drag.exec().
//
// Production runs QDrag::exec(), which follows the mouse until the button is released. Tests install a
// ScriptedDragRunner whose handlers say where the drag ends; DeliverDrag hands the drag to one widget the way the
// toolkit does (enter, move, drop), synchronously, so that nothing blocks.

#include <QPoint>
#include <QString>

#include <functional>

#include "platform/ServiceSlot.h"

class QDrag;
class QWidget;

namespace platform
{

class DragRunner : public ServiceSlot<DragRunner>
{
public:
   virtual ~DragRunner();
   // Runs the drag and returns the action the drop target chose (Qt::IgnoreAction: dropped nowhere or refused).
   virtual Qt::DropAction Run( QDrag& drag ) = 0;
   // Current().Run( drag ).
   static Qt::DropAction exec( QDrag& drag );
   // The installed runner, else the production one.
   static DragRunner& Current();
};
using DragRunnerScope = ServiceScope<DragRunner>;

// Hands the drag to the widget as the toolkit does when the mouse enters it, moves to pos (the widget's
// coordinates) and, with drop, the button is released there: a drag-enter event, then, when accepted, a drag-move
// event and, when that is accepted too, the drop. Returns the drop's action; Qt::IgnoreAction when the widget
// refused the drag at any step (it then gets a drag-leave event) or without drop.
Qt::DropAction DeliverDrag( QDrag& drag, QWidget* target, QPoint pos, bool drop = true );

struct DragExpectation
{
   std::function<Qt::DropAction( QDrag& )> handler;
   QString Describe() const { return QStringLiteral( "drag" ); }
};

struct DragRecord
{
   Qt::DropAction result = Qt::IgnoreAction;
   bool expected = false;
};

// The scripted runner for tests: each drag goes to the next handler; a drag with none left is recorded as
// unexpected and dropped nowhere.
class ScriptedDragRunner : public DragRunner, public Script<DragExpectation, DragRecord>
{
public:
   ScriptedDragRunner& Expect( std::function<Qt::DropAction( QDrag& )> handler );
   // Expects a drag released over the widget at pos (DeliverDrag).
   ScriptedDragRunner& ExpectDropOn( QWidget* target, QPoint pos = QPoint( 4, 4 ) );
   Qt::DropAction Run( QDrag& drag ) override;
};

} // namespace platform

#endif
