// Application-level events of the main window: the last-resort report of an exception
// that escaped an event handler, and where new image windows appear on the desktop.

#include "windows/main/MainWindow.h"

#include <QChildEvent>
#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QStyle>
#include <QWindowStateChangeEvent>

#include <algorithm>

#include "platform/Prompter.h"
#include "windows/main/Application.h"
#include "windows/processing/ProcessingStatusDialog.h"

void TMainWindow::ApplicationEvents1Exception( const QObject* sender, const QString& message )
{
   QString text = "<* Unexpected Exception *>" +
                  QString::asprintf( "\n\nSender address: %llX", static_cast<unsigned long long>(
                                                                       reinterpret_cast<quintptr>( sender ) ) );
   if ( !message.isEmpty() )
      text += "\n" + message;
   platform::ShowMessage( platform::Icon::Error, ApplicationTitle(), text );
   // A status dialog left open by the failed operation closes one level, so the other windows work again.
   if ( ProcessingStatusDialog != nullptr )
      ProcessingStatusDialog->EndTasks();
}

bool TMainWindow::eventFilter( QObject* watched, QEvent* event )
{
   if ( watched == desktop->viewport() && DesktopEvent( event ) )
      return true;
   // A child is announced as polished once it is fully made (when it is added it is not yet a sub-window).
   if ( watched == desktop->viewport() && event->type() == QEvent::ChildPolished )
   {
      auto* child = qobject_cast<QMdiSubWindow*>( static_cast<QChildEvent*>( event )->child() );
      if ( child != nullptr && !child->property( "lf_watched" ).toBool() )
      {
         child->setProperty( "lf_watched", true );
         child->setMinimumSize( MinimumDocumentChildSize );
         child->installEventFilter( this );
      }
   }
   else if ( event->type() == QEvent::Show )
   {
      auto* child = qobject_cast<QMdiSubWindow*>( watched );
      if ( child != nullptr && !child->property( "lf_placed" ).toBool() )
      {
         child->setProperty( "lf_placed", true );
         PlaceNewDocumentChild( child );
      }
   }
   return QMainWindow::eventFilter( watched, event );
}

void TMainWindow::PlaceNewDocumentChild( QMdiSubWindow* child )
{
   // Each new window one title-bar height right of and below the previous one, as Cascade lays them out; back to
   // the corner when the next step would leave the desktop.
   const int step = std::max( 16, child->style()->pixelMetric( QStyle::PM_TitleBarHeight, nullptr, child ) );
   const QSize area = desktop->viewport()->size();
   QPoint at( 0, 0 );
   QMdiSubWindow* previous = nullptr;
   for ( QMdiSubWindow* other : desktop->subWindowList( QMdiArea::CreationOrder ) )
      if ( other != child && other->isVisible() && !other->isMinimized() && !other->isMaximized() )
         previous = other;
   if ( previous != nullptr )
      at = previous->pos() + QPoint( step, step );
   if ( at.x() + MinimumDocumentChildSize.width() > area.width() ||
        at.y() + MinimumDocumentChildSize.height() > area.height() )
      at = QPoint( 0, 0 );
   // The window keeps its size as far as the desktop allows from there.
   const QSize size( std::max( MinimumDocumentChildSize.width(), std::min( child->width(), area.width() - at.x() ) ),
                     std::max( MinimumDocumentChildSize.height(), std::min( child->height(), area.height() - at.y() ) ) );
   child->setGeometry( QRect( at, size ) );
}
