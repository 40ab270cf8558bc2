// Application-level events of the main window: the last-resort report of an exception
// that escaped an event handler, and where new image windows appear on the desktop.

#include "windows/main/MainWindow.h"

#include <QChildEvent>
#include <QEvent>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QStyle>
#include <QToolBar>
#include <QWindowStateChangeEvent>

#include <algorithm>

#include "platform/Prompter.h"
#include "process/Preferences.h"
#include "windows/main/Application.h"
#include "windows/processing/ProcessingStatusDialog.h"
#include "windows/processing/ProcessingWindow.h"

void TMainWindow::ApplicationEvents1Activate()
{
   SetProcessingWindowsFloating( true );
}

void TMainWindow::ApplicationEvents1Deactivate()
{
   SetProcessingWindowsFloating( false );
}

QSize TMainWindow::DockedExtent( const QToolBar* toolBar, Qt::Orientation orientation )
{
   int sum = 0;
   int largest = 0;
   for ( QAction* action : toolBar->actions() )
   {
      const QWidget* control = toolBar->widgetForAction( action );
      if ( control == nullptr || !action->isVisible() )
         continue;
      // The size the tool bar's layout gives it: its preferred size within its own limits.
      const QSize size = control->sizeHint().expandedTo( control->minimumSize() ).boundedTo( control->maximumSize() );
      sum += orientation == Qt::Horizontal ? size.width() : size.height();
      largest = std::max( largest, orientation == Qt::Horizontal ? size.height() : size.width() );
   }
   return orientation == Qt::Horizontal ? QSize( sum, largest ) : QSize( largest, sum );
}

bool TMainWindow::ControlBarDockOver( Qt::ToolBarArea area, QWidget* dragged ) const
{
   const auto* toolBar = qobject_cast<const QToolBar*>( dragged );
   if ( toolBar == nullptr || !CurrentPreferences.mainWindow.enableToolBarAutoDragDock )
      return false;
   const bool horizontal = area == Qt::TopToolBarArea || area == Qt::BottomToolBarArea;
   const QSize extent = DockedExtent( toolBar, horizontal ? Qt::Horizontal : Qt::Vertical );
   // The area runs along the window's width (top, bottom) or along the desktop's height (left, right).
   return horizontal ? extent.width() <= width() : extent.height() <= centralWidget()->height();
}

void TMainWindow::AllowDockingAreas( QToolBar* toolBar )
{
   Qt::ToolBarAreas allowed;
   for ( Qt::ToolBarArea area : ControlBars )
      if ( ControlBarDockOver( area, toolBar ) )
         allowed |= area;
   toolBar->setAllowedAreas( allowed );
}

void TMainWindow::ApplyToolBarDocking()
{
   const bool enabled = CurrentPreferences.mainWindow.enableToolBarAutoDragDock;
   for ( const auto& [toolBar, action] : ToolBarActions() )
   {
      // Without automatic dragging a docked tool bar stays where it is; a floating one can still be moved about.
      toolBar->setMovable( enabled || toolBar->isFloating() );
      AllowDockingAreas( toolBar );
   }
}

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
         ReleaseTakenShortcuts( child );
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

void TMainWindow::ReleaseTakenShortcuts( QMdiSubWindow* child )
{
   QMenu* menu = child->systemMenu();
   if ( menu == nullptr )
      return;
   QList<QKeySequence> taken;
   for ( const QAction* a : findChildren<QAction*>( Qt::FindDirectChildrenOnly ) )
      taken += a->shortcuts();
   for ( QAction* own : menu->actions() )
   {
      QList<QKeySequence> keys = own->shortcuts();
      keys.removeIf( [&taken]( const QKeySequence& k ) { return taken.contains( k ); } );
      if ( keys != own->shortcuts() )
         own->setShortcuts( keys );
   }
}

void TMainWindow::PlaceNewDocumentChild( QMdiSubWindow* child )
{
   // Each new window one title-bar height right of and below the previous one, as Cascade lays them out.
   QPoint at( 0, 0 );
   QMdiSubWindow* previous = nullptr;
   for ( QMdiSubWindow* other : desktop->subWindowList( QMdiArea::CreationOrder ) )
      if ( other != child && other->isVisible() && !other->isMinimized() && !other->isMaximized() )
         previous = other;
   if ( previous != nullptr )
      at = previous->pos() + QPoint( CascadeStep( child ), CascadeStep( child ) );
   child->setGeometry( CascadedRect( child, at ) );
}

int TMainWindow::CascadeStep( const QMdiSubWindow* child )
{
   return std::max( 16, child->style()->pixelMetric( QStyle::PM_TitleBarHeight, nullptr, child ) );
}

QRect TMainWindow::CascadedRect( const QMdiSubWindow* child, QPoint at ) const
{
   // Back to the corner when the window would leave the desktop from there.
   const QSize area = desktop->viewport()->size();
   if ( at.x() + MinimumDocumentChildSize.width() > area.width() ||
        at.y() + MinimumDocumentChildSize.height() > area.height() )
      at = QPoint( 0, 0 );
   // The window keeps its size as far as the desktop allows from there.
   const QSize size( std::max( MinimumDocumentChildSize.width(), std::min( child->width(), area.width() - at.x() ) ),
                     std::max( MinimumDocumentChildSize.height(), std::min( child->height(), area.height() - at.y() ) ) );
   return QRect( at, size );
}
