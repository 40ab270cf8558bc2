// The process icons of the desktop: creating them (New Process menu, instances dropped on the desktop, set files),
// their pop-up menu, rubber-band selection, moving, deleting and arranging them, and loading, merging and saving
// the whole set.

#include "windows/main/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMenu>
#include <QMouseEvent>
#include <QRubberBand>
#include <QScreen>
#include <QToolBar>

#include <algorithm>
#include <tuple>
#include <utility>

#include "classlib/Math.h"
#include "platform/FileDialogs.h"
#include "platform/KeyTracker.h"
#include "process/Preferences.h"
#include "process/Process.h"
#include "support/FailureReport.h"
#include "windows/dialogs/ModifiedProcessIconSetModuleDialog.h"
#include "windows/processing/ProcessIcon.h"
#include "windows/processing/ProcessingStatusDialog.h"

namespace
{

const char* const SourceName = "windows/main/MainWindowProcessIcons";
const QString SetFilter = "Process Icon Set Modules (*.lf-psm)";

QSize ScreenSize()
{
   QScreen* screen = QGuiApplication::primaryScreen();
   return screen != nullptr ? screen->geometry().size() : QSize( 1024, 768 );
}

// A name without extension gets the set files' own.
QString WithSetExtension( const QString& name )
{
   return QFileInfo( name ).suffix().isEmpty() ? name + "." + ProcessIconSetModule::FileExtension : name;
}

// Whether a desktop point lies on an icon other than the dragged envelope.
bool OverOtherIcon( const TProcessEnvelope* envelope, QPoint point )
{
   for ( const TProcessIcon* icon : ProcessIcons )
      if ( icon != envelope && icon->geometry().contains( point ) )
         return true;
   return false;
}

bool ShiftHeld()
{
   return QGuiApplication::queryKeyboardModifiers().testFlag( Qt::ShiftModifier ) ||
          platform::KeyTracker::Instance().IsShiftDown();
}

} // namespace

void TMainWindow::BuildProcessIconActions()
{
   auto make = [this]( QAction*& member, const char* name, const QString& caption, auto handler )
   {
      member = new QAction( caption, this );
      member->setObjectName( name );
      connect( member, &QAction::triggered, this, handler );
   };
   make( ProcessLoadProcessIcons_Action, "ProcessLoadProcessIcons_Action", "Load Process Icons...",
         [this] { ProcessLoadProcessIcons_ActionExecute(); } );
   make( ProcessSaveProcessIcons_Action, "ProcessSaveProcessIcons_Action", "Save Process Icons...",
         [this] { ProcessSaveProcessIcons_ActionExecute(); } );
   make( ProcessArrangeProcessIcons_Action, "ProcessArrangeProcessIcons_Action", "Arrange Process Icons",
         [this] { ArrangeProcessIcons(); } );
   make( ProcessRemoveProcessIcons_Action, "ProcessRemoveProcessIcons_Action", "Remove Process Icons",
         [this] { ProcessRemoveProcessIcons_ActionExecute(); } );
   make( LaunchInterface_MenuItem, "LaunchInterface_MenuItem", "Launch Interface",
         [this] { LaunchInterface_MenuItemClick(); } );
   make( ExecuteGlobal_MenuItem, "ExecuteGlobal_MenuItem", "Execute Global", [this] { ExecuteGlobal_MenuItemClick(); } );
   make( RenameProcessIcon_MenuItem, "RenameProcessIcon_MenuItem", "Set Icon Identifier",
         [this] { RenameProcessIcon_MenuItemClick(); } );
   make( DeleteSelectedIcons_MenuItem, "DeleteSelectedIcons_MenuItem", "Delete Selected Icons",
         [this] { DeleteSelectedIcons_MenuItemClick(); } );

   const std::initializer_list<QAction*> setActions = { ProcessLoadProcessIcons_Action, ProcessSaveProcessIcons_Action,
                                                        nullptr, ProcessArrangeProcessIcons_Action, nullptr,
                                                        ProcessRemoveProcessIcons_Action };
   QMenu* submenu = Process_Menu->addMenu( "Process &Icons" );
   submenu->setObjectName( "ProcessProcessIcons_MenuItem" );
   Desktop_PopupMenu->addSeparator();
   for ( QAction* action : setActions )
   {
      if ( action == nullptr )
      {
         submenu->addSeparator();
         Desktop_PopupMenu->addSeparator();
         ProcessIcons_ToolBar->addSeparator();
         continue;
      }
      submenu->addAction( action );
      Desktop_PopupMenu->addAction( action );
      ProcessIcons_ToolBar->addAction( action );
   }

   ProcessIcon_PopupMenu->addAction( LaunchInterface_MenuItem );
   ProcessIcon_PopupMenu->addAction( ExecuteGlobal_MenuItem );
   ProcessIcon_PopupMenu->addSeparator();
   ProcessIcon_PopupMenu->addAction( RenameProcessIcon_MenuItem );
   ProcessIcon_PopupMenu->addSeparator();
   ProcessIcon_PopupMenu->addAction( DeleteSelectedIcons_MenuItem );

   processIconSetModule = std::make_unique<ProcessIconSetModule>();
   rubberBand = new QRubberBand( QRubberBand::Rectangle, desktop->viewport() );
   rubberBand->setObjectName( "RubberBand" );
   desktop->viewport()->setAcceptDrops( true );

   processIconSetLoader = [this]( const QString& path, bool merge )
   {
      const bool replace = std::exchange( replaceIconsWithNextSet, false );
      return replace ? LoadProcessIcons( path, false, false ) : LoadProcessIcons( path, merge );
   };
   newProcessIconCreator = [this]( const Process& prototype, QPoint at )
   { CreateProcessIcon( at.x(), at.y(), prototype.Clone(), std::string(), true ); };
}

// ---- Creating, removing, arranging --------------------------------------------------------------------------------

TProcessIcon* TMainWindow::CreateProcessIcon( int32_t x, int32_t y, std::unique_ptr<Process> instance,
                                              const std::string& identifier, bool refresh )
{
   auto* icon = new TProcessIcon( desktop->viewport(), std::move( instance ), identifier, x, y );
   icon->show();
   // Above the desktop, under the image windows.
   icon->lower();
   if ( refresh )
      desktop->viewport()->update();
   return icon;
}

void TMainWindow::ArrangeProcessIcons()
{
   const int32_t cell = ProcessIconCellSize;
   const int32_t grid = ProcessIconGridSize;
   std::vector<TProcessIcon*> icons = ProcessIcons;
   std::sort( icons.begin(), icons.end(), []( const TProcessIcon* a, const TProcessIcon* b ) {
      return std::make_tuple( a->y(), a->x(), a->identifier ) < std::make_tuple( b->y(), b->x(), b->identifier );
   } );
   const int32_t pitch = cell / grid * grid + 2 * grid;
   const int32_t W = desktop->viewport()->width();
   const int32_t H = desktop->viewport()->height();
   const int32_t rows = std::max( 1, ( H - 2 * grid ) / pitch );

   int32_t r = 0;
   int32_t x = W + 1;
   int32_t s = 0;
   const int32_t n = int32_t( icons.size() );
   for ( int32_t i = n - 1; i >= 0; --i )
   {
      TProcessIcon* icon = icons[i];
      if ( r == 0 )
      {
         // A new column, as wide as the widest icon that goes into it.
         int32_t widest = 0;
         for ( int32_t j = i; j >= 0 && j > i - rows; --j )
            widest = std::max( widest, icons[j]->width() );
         const int32_t w = widest / grid * grid + 2 * grid;
         x -= w;
         if ( x < 2 * grid )
         {
            s += grid;
            x = W - w + 1;
         }
         x += s;
      }
      icon->move( x, H - ( r * pitch + 2 * grid + s ) - icon->height() - 1 );
      if ( ++r == rows )
         r = 0;
   }
   QCoreApplication::processEvents();
}

bool TMainWindow::ConfirmProcessIconSetLoss()
{
   if ( ProcessIconSetModificationCount == 0 )
      return true;
   TModifiedProcessIconSetModuleDialog& dialog = GetModifiedProcessIconSetModuleDialog();
   dialog.cancelAllowed = false;
   return dialog.Ask( QString::fromStdString( processIconSetModule->FilePath() ) ) ==
          TModifiedProcessIconSetModuleDialog::YesResult;
}

bool TMainWindow::LoadProcessIcons( const QString& path, bool merge, bool ask )
{
   if ( !merge && ask && !ConfirmProcessIconSetLoss() )
      return false;

   // The file is read aside: only a set read to its end changes the desktop, its icons and its file.
   auto module = std::make_unique<ProcessIconSetModule>();
   if ( !path.isEmpty() )
      try
      {
         module->Read( path.toStdString() );
      }
      catch ( ... )
      {
         ReportCaughtFailure( SourceName, __LINE__ );
         return false;
      }

   if ( !merge )
   {
      for ( TProcessIcon* icon : std::vector<TProcessIcon*>( ProcessIcons ) )
         delete icon;
      processIconSetModule->Close();
      ProcessIconSetModificationCount = 0;
   }
   if ( path.isEmpty() )
      return true;

   const bool wasEmpty = ProcessIcons.empty();
   const QSize screen = ScreenSize();
   ProcessIconIdentifiers identifiers;
   for ( ProcessIconSetModule::Record& record : module->records )
   {
      const int32_t left = SnapToProcessIconGrid(
         int32_t( qor::Round( double( std::clamp( record.left, 0.0f, 1.0f ) ) * screen.width() ) ) );
      const int32_t top = SnapToProcessIconGrid(
         int32_t( qor::Round( double( std::clamp( record.top, 0.0f, 1.0f ) ) * screen.height() ) ) );
      // An identifier in use gets the first free one made by appending 1, 2, 3, ...
      CreateProcessIcon( left, top, std::move( record.instance ), identifiers.Claim( record.identifier ), false );
   }
   module->records.clear();
   processIconSetModule = std::move( module );
   desktop->viewport()->update();
   // A desktop that held no icon is clean after the read; icons it held before stay unsaved.
   if ( wasEmpty )
      ProcessIconSetModificationCount = 0;
   return true;
}

bool TMainWindow::SaveProcessIcons( const QString& path )
{
   const QSize screen = ScreenSize();
   processIconSetModule->records.clear();
   try
   {
      for ( const TProcessIcon* icon : ProcessIcons )
      {
         if ( icon->instance == nullptr )
            continue;
         ProcessIconSetModule::Record record;
         record.left = float( icon->x() ) / float( screen.width() );
         record.top = float( icon->y() ) / float( screen.height() );
         record.identifier = icon->identifier;
         record.instance = icon->instance->Clone();
         processIconSetModule->records.push_back( std::move( record ) );
      }
      processIconSetModule->Write( path.toStdString() );
   }
   catch ( ... )
   {
      processIconSetModule->records.clear();
      ReportCaughtFailure( SourceName, __LINE__ );
      return false;
   }
   processIconSetModule->records.clear();
   ProcessIconSetModificationCount = 0;
   return true;
}

void TMainWindow::ProcessLoadProcessIcons_ActionExecute()
{
   const bool merge = ShiftHeld();
   QStringList names = platform::FileDialogs::getOpenFileNames( this, "Load Process Icons",
                                                                processIconsOpenDialogInitialDirectory, SetFilter );
   if ( names.isEmpty() )
      return;
   processIconsOpenDialogInitialDirectory = QFileInfo( names.front() ).absolutePath();
   for ( QString& name : names )
      name = WithSetExtension( name );
   // Replacing asks once; the first set read then replaces the icons and the others merge, so a set that
   // cannot be read leaves the icons as they were.
   if ( !merge && !ConfirmProcessIconSetLoss() )
      return;
   replaceIconsWithNextSet = !merge;
   OpenFiles( names, false );
   replaceIconsWithNextSet = false;
}

void TMainWindow::ProcessSaveProcessIcons_ActionExecute()
{
   QString proposed;
   const std::string bound = processIconSetModule->FilePath();
   if ( !bound.empty() )
   {
      const QFileInfo info( QString::fromStdString( bound ) );
      proposed = info.absolutePath() + "/" + info.completeBaseName();
   }
   QString name = platform::FileDialogs::getSaveFileName( this, "Save Process Icons", proposed, SetFilter );
   if ( name.isEmpty() )
      return;
   name = WithSetExtension( name );
   TProcessingStatusDialog& status = StatusDialog();
   status.BeginTasks();
   status.AddTask( "Save Process Icons:", 0, 0 );
   status.NextTask();
   EndProcessing(); // the save cannot be aborted
   status.AddTask( name.toStdString(), 1, 0 );
   status.NextTask();
   SaveProcessIcons( name );
   status.EndTasks();
}

void TMainWindow::ProcessRemoveProcessIcons_ActionExecute()
{
   LoadProcessIcons( QString(), false );
}

// ---- The icon's pop-up menu ---------------------------------------------------------------------------------------

void TMainWindow::ShowProcessIconPopupMenu( TProcessIcon* icon, QPoint globalPos )
{
   popupProcessIcon = icon;
   const Process* instance = icon->instance.get();
   LaunchInterface_MenuItem->setEnabled( instance != nullptr && instance->IsInterfaceAvailable() );
   ExecuteGlobal_MenuItem->setEnabled( instance != nullptr && instance->CanExecuteGlobal() );
   ProcessIcon_PopupMenu->popup( globalPos );
}

void TMainWindow::LaunchInterface_MenuItemClick()
{
   if ( popupProcessIcon != nullptr )
      popupProcessIcon->LaunchInterface();
}

void TMainWindow::ExecuteGlobal_MenuItemClick()
{
   if ( popupProcessIcon != nullptr )
      popupProcessIcon->ExecuteGlobal();
}

void TMainWindow::RenameProcessIcon_MenuItemClick()
{
   if ( popupProcessIcon != nullptr )
      popupProcessIcon->EditIdentifier();
}

void TMainWindow::DeleteSelectedIcons_MenuItemClick()
{
   for ( TProcessIcon* icon : std::vector<TProcessIcon*>( ProcessIcons ) )
      if ( icon->selected )
         delete icon;
   if ( ProcessIcons.empty() )
   {
      // The desktop forgets its file.
      ProcessIconSetModificationCount = 0;
      processIconSetModule->Close();
   }
   desktop->viewport()->update();
}

// ---- The desktop's mouse: selection and drops ---------------------------------------------------------------------

void TMainWindow::DesktopMouseDown( QPoint point, Qt::MouseButton button )
{
   DeselectAllProcessIcons();
   if ( button != Qt::LeftButton || rubberBandState != 0 )
   {
      rubberBandState = 0;
      rubberBand->hide();
      return;
   }
   rubberBandState = 1;
   rubberBandRect.anchorX = rubberBandRect.cornerX = point.x();
   rubberBandRect.anchorY = rubberBandRect.cornerY = point.y();
}

void TMainWindow::DesktopMouseMove( QPoint point )
{
   if ( rubberBandState != 1 )
      return;
   rubberBandRect.cornerX = point.x();
   rubberBandRect.cornerY = point.y();
   const int32_t L = std::min( rubberBandRect.anchorX, rubberBandRect.cornerX );
   const int32_t R = std::max( rubberBandRect.anchorX, rubberBandRect.cornerX );
   const int32_t T = std::min( rubberBandRect.anchorY, rubberBandRect.cornerY );
   const int32_t B = std::max( rubberBandRect.anchorY, rubberBandRect.cornerY );
   rubberBand->setGeometry( QRect( QPoint( L, T ), QPoint( R, B ) ) );
   rubberBand->show();
   for ( TProcessIcon* icon : ProcessIcons )
   {
      const int32_t left = icon->x();
      const int32_t top = icon->y();
      const bool inside = left < R && top < B && left + icon->width() >= L && top + icon->height() >= T;
      if ( inside && !icon->selected )
         icon->Select();
      else if ( !inside && icon->selected )
         icon->Deselect();
   }
}

void TMainWindow::DesktopMouseUp()
{
   if ( rubberBandState != 0 )
   {
      rubberBandState = 0;
      rubberBand->hide();
   }
}

void TMainWindow::DesktopDoubleClick( bool shift )
{
   rubberBand->hide();
   rubberBandState = 2;
   if ( CurrentPreferences.mainWindow.doubleClickLaunchesOpenDialog )
      ( shift ? FileOpenACopy_Action : FileOpen_Action )->trigger();
}

void TMainWindow::DesktopDragDrop( TProcessEnvelope* envelope, QPoint point )
{
   if ( envelope == nullptr )
      return;
   const QPoint target = point - QPoint( envelope->pressX, envelope->pressY );
   if ( auto* icon = qobject_cast<TProcessIcon*>( envelope ) )
   {
      MoveSelectedProcessIcons( target.x() - icon->x(), target.y() - icon->y() );
      return;
   }
   std::unique_ptr<Process> instance = envelope->KeepInstance();
   if ( instance != nullptr )
      CreateProcessIcon( target.x(), target.y(), std::move( instance ), std::string(), true );
}

bool TMainWindow::DesktopEvent( QEvent* event )
{
   switch ( event->type() )
   {
   case QEvent::MouseButtonPress:
   {
      auto* e = static_cast<QMouseEvent*>( event );
      DesktopMouseDown( e->position().toPoint(), e->button() );
      if ( e->button() == Qt::RightButton )
         Desktop_PopupMenu->popup( e->globalPosition().toPoint() );
      return false;
   }
   case QEvent::MouseMove:
      DesktopMouseMove( static_cast<QMouseEvent*>( event )->position().toPoint() );
      return false;
   case QEvent::MouseButtonRelease:
      DesktopMouseUp();
      return false;
   case QEvent::MouseButtonDblClick:
      DesktopDoubleClick( static_cast<QMouseEvent*>( event )->modifiers().testFlag( Qt::ShiftModifier ) );
      return true;
   case QEvent::DragEnter:
   case QEvent::DragMove:
   {
      auto* e = static_cast<QDragMoveEvent*>( event );
      TProcessEnvelope* envelope = DraggedEnvelope( e->mimeData() );
      if ( envelope == nullptr )
         return false;
      const QPoint p = e->position().toPoint();
      // A drag refused by an icon comes here too: over another icon nothing is dropped on the desktop.
      const bool accepted = p.x() >= 0 && p.y() >= 0 && !OverOtherIcon( envelope, p );
      AnswerEnvelopeDrag( e, accepted, desktop->viewport() );
      return true;
   }
   case QEvent::Drop:
   {
      auto* e = static_cast<QDropEvent*>( event );
      TProcessEnvelope* envelope = DraggedEnvelope( e->mimeData() );
      if ( envelope == nullptr )
         return false;
      if ( OverOtherIcon( envelope, e->position().toPoint() ) )
      {
         e->ignore();
         return true;
      }
      e->acceptProposedAction();
      DesktopDragDrop( envelope, e->position().toPoint() );
      return true;
   }
   default:
      return false;
   }
}
