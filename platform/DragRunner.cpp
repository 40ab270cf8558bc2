#include "platform/DragRunner.h"

#include <QApplication>
#include <QDrag>
#include <QDragEnterEvent>
#include <QDragLeaveEvent>
#include <QDragMoveEvent>
#include <QDropEvent>
#include <QPointer>
#include <QWidget>

namespace platform
{

namespace
{

class ToolkitDragRunner : public DragRunner
{
public:
   Qt::DropAction Run( QDrag& drag ) override { return drag.exec( Qt::CopyAction | Qt::MoveAction, Qt::CopyAction ); }
};

} // namespace

DragRunner::~DragRunner() = default;

Qt::DropAction DragRunner::exec( QDrag& drag )
{
   return Current().Run( drag );
}

DragRunner& DragRunner::Current()
{
   static ToolkitDragRunner production;
   return *InstalledOr( production );
}

Qt::DropAction DeliverDrag( QDrag& drag, QWidget* target, QPoint pos, bool drop )
{
   QPointer<QWidget> guard( target );
   const Qt::DropActions actions = Qt::CopyAction | Qt::MoveAction;
   const QPointF at( pos );
   auto leave = [&guard]() {
      if ( guard )
      {
         QDragLeaveEvent leaveEvent;
         QApplication::sendEvent( guard, &leaveEvent );
      }
      return Qt::IgnoreAction;
   };

   QDragEnterEvent enter( at.toPoint(), actions, drag.mimeData(), Qt::LeftButton, Qt::NoModifier );
   QApplication::sendEvent( target, &enter );
   if ( !guard || !enter.isAccepted() )
      return leave();
   QDragMoveEvent move( at.toPoint(), actions, drag.mimeData(), Qt::LeftButton, Qt::NoModifier );
   QApplication::sendEvent( target, &move );
   if ( !guard || !move.isAccepted() || !drop )
      return leave();
   QDropEvent dropEvent( at, actions, drag.mimeData(), Qt::NoButton, Qt::NoModifier );
   QApplication::sendEvent( target, &dropEvent );
   return dropEvent.isAccepted() ? dropEvent.dropAction() : Qt::IgnoreAction;
}

ScriptedDragRunner& ScriptedDragRunner::Expect( std::function<Qt::DropAction( QDrag& )> handler )
{
   AddExpectation( DragExpectation{ std::move( handler ) } );
   return *this;
}

ScriptedDragRunner& ScriptedDragRunner::ExpectDropOn( QWidget* target, QPoint pos )
{
   QPointer<QWidget> guard( target );
   return Expect( [guard, pos]( QDrag& drag ) {
      return guard ? DeliverDrag( drag, guard, pos ) : Qt::IgnoreAction;
   } );
}

Qt::DropAction ScriptedDragRunner::Run( QDrag& drag )
{
   DragRecord r;
   DragExpectation e;
   if ( !TakeFront( []( const DragExpectation& ) { return true; }, e ) )
   {
      RecordUnexpected( r );
      return Qt::IgnoreAction;
   }
   r.result = e.handler( drag );
   RecordExpected( r );
   return r.result;
}

} // namespace platform
