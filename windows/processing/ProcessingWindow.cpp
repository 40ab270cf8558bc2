#include "windows/processing/ProcessingWindow.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMdiArea>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>
#include <QStyleHints>
#include <QWindow>

#include <algorithm>

#include "classlib/Image.h"
#include "platform/DialogRunner.h"
#include "platform/Prompter.h"
#include "support/FailureReport.h"
#include "support/Utils.h"
#include "windows/dialogs/SelectViewsDialogs.h"
#include "windows/main/MainWindow.h"
#include "windows/main/WindowIcons.h"
#include "windows/processing/ProcessingStatusDialog.h"
#include "windows/processing/StandardButtonPictures.h"

std::vector<TProcessingWindow*> ProcessingWindows;

namespace
{

// Where the unexpected-exception report of a multi-view run says the failure happened.
constexpr const char* ExecuteSource = "process/Process_T";
constexpr int ExecuteLine = 154;

// Calls the operation on every processing window by index, re-reading the count at each step: a window made during
// the broadcast is told too, and one destroyed meanwhile is simply no longer there.
template <typename Operation>
void Broadcast( Operation operation )
{
   for ( size_t i = 0; i < ProcessingWindows.size(); ++i )
      operation( *ProcessingWindows[i] );
}

// The processes tell the windows when an instance changed through the process layer's listener.
class ProcessUpdateBridge : public ProcessUpdateListener
{
public:
   void ProcessUpdated( Process& instance ) override
   {
      Broadcast( [&]( TProcessingWindow& w ) { w.ProcessUpdated( instance ); } );
   }
};

void ConnectProcessUpdates()
{
   static ProcessUpdateBridge bridge;
   static bool connected = false;
   if ( !connected )
   {
      AddProcessUpdateListener( &bridge );
      connected = true;
   }
}

void Warn( const QWidget& window, const char* text )
{
   platform::ShowMessage( platform::Icon::Warning, window.windowTitle(), text );
}

bool IsSelectedFor( const TImageWindow::View& view, const TProcessingWindow* window )
{
   return view.selectingWindows.Find( const_cast<TProcessingWindow*>( window ) ) != view.selectingWindows.End();
}

template <class ViewType>
bool AnySelectedFor( const std::vector<ViewType*>& views, const TProcessingWindow* window )
{
   return std::any_of( views.begin(), views.end(), [window]( const ViewType* v ) { return IsSelectedFor( *v, window ); } );
}

template <class ViewType>
std::vector<TImageWindow::View*> AsViews( const std::vector<ViewType*>& list )
{
   return std::vector<TImageWindow::View*>( list.begin(), list.end() );
}

std::string TaskText( TImageWindow::View& view )
{
   std::string text = "Processing ";
   text += view.IsPreview() ? "preview: " : "image: ";
   text += view.FullIdentifier();
   const auto* preview = view.IsPreview() ? static_cast<TImageWindow::Preview*>( &view ) : nullptr;
   text += ( preview != nullptr && preview->HasStoredState() ) ? ", stored subimage:" : ":";
   return text;
}

// After an abort on views[at]: the views processed so far (count of them, the aborted one included) are rolled
// back newest first while the user agrees; the others are only told that they changed.
void RollBack( Process& process, const std::vector<TImageWindow::View*>& views, size_t at, int32_t count,
               TProcessingWindow* window )
{
   bool recover = true;
   int32_t handled = 0;
   for ( size_t i = at + 1; i-- > 0 && handled < count; )
   {
      TImageWindow::View* view = views[i];
      if ( !IsSelectedFor( *view, window ) )
         continue;
      if ( recover )
      {
         try
         {
            if ( view->IsPreview() )
            {
               auto* preview = static_cast<TImageWindow::Preview*>( view );
               preview->Restore( false );
               preview->DiscardMaskingSource();
            }
            else
               view->Window()->Recover( false );
         }
         catch ( ... )
         {
            ReportCaughtFailure( ExecuteSource, ExecuteLine );
         }
      }
      else
         NotifyViewUpdated( *view );
      ++handled;
      if ( handled == 1 && handled < count )
         recover = platform::Ask( platform::Icon::Question, QString::fromStdString( process.Id() ),
                                  "Process Aborted.\nHowever, other images/previews were already processed.\n"
                                  "Do you want to recover/restore them now?",
                                  platform::Buttons::YesNo, platform::Answer::Yes ) == platform::Answer::Yes;
   }
   platform::ShowMessage( platform::Icon::Information, QString::fromStdString( process.Id() ), "Process Aborted." );
}

// The stay-on-top style of processing windows, and whether the program is the active one.
bool stayOnTop = true;
bool applicationActive = true;

// The bar of a collapsed processing window: its caption on a title-bar strip. It is dragged to move it; a click
// that does not move it shows the window again.
class CollapsedWindowBar : public QWidget
{
public:
   explicit CollapsedWindowBar( TProcessingWindow* window )
      : QWidget( window->parentWidget(), Qt::Tool | Qt::FramelessWindowHint ), window( window )
   {
      setObjectName( "CollapsedBar" );
      setAttribute( Qt::WA_DeleteOnClose, false );
      setCursor( Qt::PointingHandCursor );
      const QFontMetrics metrics( font() );
      setFixedHeight( metrics.height() + 8 );
      setToolTip( "Click to restore the window, drag to move the bar" );
      SetWindowStaysOnTop( this, ProcessingWindowsStayOnTop(), applicationActive );
   }

   static constexpr int Width = 180;

protected:
   void paintEvent( QPaintEvent* ) override
   {
      QPainter painter( this );
      painter.fillRect( rect(), QColor( 60, 70, 90 ) );
      painter.setPen( QColor( 30, 35, 45 ) );
      painter.drawRect( rect().adjusted( 0, 0, -1, -1 ) );
      painter.setPen( Qt::white );
      const QRect text = rect().adjusted( 6, 0, -22, 0 );
      painter.drawText( text, Qt::AlignVCenter | Qt::AlignLeft,
                        fontMetrics().elidedText( window->windowTitle(), Qt::ElideRight, text.width() ) );
      // A restore mark at the right end.
      const int h = height() - 10;
      painter.drawRect( QRect( width() - 6 - h, 5, h, h ) );
   }

   void mousePressEvent( QMouseEvent* event ) override
   {
      if ( event->button() != Qt::LeftButton )
         return;
      pressed = event->globalPosition().toPoint();
      startPos = pos();
      dragged = false;
   }

   void mouseMoveEvent( QMouseEvent* event ) override
   {
      if ( !( event->buttons() & Qt::LeftButton ) )
         return;
      const QPoint delta = event->globalPosition().toPoint() - pressed;
      if ( dragged || delta.manhattanLength() >= QGuiApplication::styleHints()->startDragDistance() )
      {
         dragged = true;
         move( startPos + delta );
      }
   }

   void mouseReleaseEvent( QMouseEvent* event ) override
   {
      if ( event->button() == Qt::LeftButton && !dragged )
         ShowForm( window );
   }

private:
   TProcessingWindow* window;
   QPoint pressed;
   QPoint startPos;
   bool dragged = false;
};

class BusyScope
{
public:
   BusyScope()
   {
      if ( MainWindow != nullptr )
         MainWindow->BeginProcessing();
      StatusDialog().BeginTasks();
   }
   ~BusyScope()
   {
      StatusDialog().EndTasks();
      if ( MainWindow != nullptr )
         MainWindow->EndProcessing();
   }
   BusyScope( const BusyScope& ) = delete;
   BusyScope& operator=( const BusyScope& ) = delete;
};

} // namespace

// ---- TProcessingWindow ------------------------------------------------------------------------------------------

TProcessingWindow::TProcessingWindow( QWidget* owner ) : TProcessingInterface( owner != nullptr ? owner : MainWindow )
{
   selectPreviewsDialog = std::make_unique<TSelectPreviewsDialog>( this );
   selectImagesDialog = std::make_unique<TSelectImagesDialog>( this );
   ProcessingWindows.push_back( this );
   ConnectProcessUpdates();
   setWindowFlags( Qt::Tool );
   SetWindowStaysOnTop( this, stayOnTop, applicationActive );
   setWindowIcon( ProcessWindowIcon() );
   CreateProcessDragObject( 18 );
}

TProcessingWindow::~TProcessingWindow()
{
   delete bar.data();
   selectImagesDialog.reset();
   selectPreviewsDialog.reset();
   ProcessingWindows.erase( std::remove( ProcessingWindows.begin(), ProcessingWindows.end(), this ),
                            ProcessingWindows.end() );
   // No view may go on naming a window that is gone.
   for ( TImageWindow::View* view : MainViewList )
      view->selectingWindows.Remove( this );
   for ( TImageWindow::Preview* preview : PreviewList )
      preview->selectingWindows.Remove( this );
}

void TProcessingWindow::FormCreated()
{
   HookButtons( this );
   GiveStandardButtonsPictures( this );
   TProcessingInterface::FormCreated();
   // A window made after the settings were loaded takes its saved place and settings now.
   if ( MainWindow != nullptr )
      MainWindow->RestoreWindowSettings( *this );
}

bool TProcessingWindow::event( QEvent* event )
{
   // Before the form's own show handling (a dialog would centre itself over its parent).
   if ( event->type() == QEvent::Show && !event->spontaneous() )
   {
      if ( collapsed )
         ExpandFromBar();
      else if ( !placed && !testAttribute( Qt::WA_Moved ) )
         PlaceInWorkArea();
      placed = true;
   }
   return TProcessingInterface::event( event );
}

void TProcessingWindow::PlaceInWorkArea()
{
   QRect area;
   if ( MainWindow != nullptr && MainWindow->isVisible() && !MainWindow->isMinimized() )
   {
      const QWidget* desktop = MainWindow->Desktop();
      area = QRect( desktop->mapToGlobal( QPoint( 0, 0 ) ), desktop->size() );
   }
   else if ( QScreen* s = screen() != nullptr ? screen() : QGuiApplication::primaryScreen() )
      area = s->availableGeometry();
   if ( area.isEmpty() )
      return;
   const QSize size = frameGeometry().size();
   // Centred; where it does not fit, its top-left corner (title bar, caption) stays in the area.
   const int x = std::max( area.left(), area.left() + ( area.width() - size.width() ) / 2 );
   const int y = std::max( area.top(), area.top() + ( area.height() - size.height() ) / 2 );
   move( x, y );
}

void TProcessingWindow::Collapse()
{
   if ( collapsed || !isVisible() )
      return;
   if ( bar == nullptr )
      bar = new CollapsedWindowBar( this );
   const QRect frame = frameGeometry();
   bar->setFixedWidth( std::min<int>( CollapsedWindowBar::Width, frame.width() ) );
   bar->move( frame.right() + 1 - bar->width(), frame.top() );
   collapsing = true;
   hide();
   collapsing = false;
   collapsed = true;
   bar->show();
   bar->raise();
}

QWidget* TProcessingWindow::CollapsedBar() const
{
   return bar.data();
}

void TProcessingWindow::ExpandFromBar()
{
   collapsed = false;
   if ( bar == nullptr )
      return;
   const QRect b = bar->frameGeometry();
   move( b.right() + 1 - frameGeometry().width(), b.top() );
   bar->hide();
}

void TProcessingWindow::setVisible( bool visible )
{
   if ( !visible && collapsed && !collapsing )
   {
      collapsed = false;
      if ( bar != nullptr )
         bar->hide();
   }
   TProcessingInterface::setVisible( visible );
}

void TProcessingWindow::HookButtons( QWidget* control )
{
   for ( QAbstractButton* button : control->findChildren<QAbstractButton*>() )
   {
      if ( button->property( "lf_hooked" ).toBool() )
         continue;
      const QString name = button->objectName();
      void ( TProcessingWindow::*handler )() = nullptr;
      if ( name.contains( "Preview_" ) )
         handler = &TProcessingWindow::PreviewButtonClick;
      else if ( name.contains( "Apply_" ) )
         handler = &TProcessingWindow::ApplyButtonClick;
      else if ( name.contains( "SelectPreviews_" ) )
         handler = &TProcessingWindow::SelectPreviewsButtonClick;
      else if ( name.contains( "SelectImages_" ) )
         handler = &TProcessingWindow::SelectImagesButtonClick;
      if ( handler == nullptr )
         continue;
      button->setProperty( "lf_hooked", true );
      connect( button, &QAbstractButton::clicked, this, handler );
   }
}

void TProcessingWindow::PreviewButtonClick()
{
   CommitActiveEdit();
   if ( !inputError )
      ApplyToPreviews();
}

void TProcessingWindow::ApplyButtonClick()
{
   CommitActiveEdit();
   if ( !inputError )
      Apply();
}

void TProcessingWindow::SelectPreviewsButtonClick()
{
   CommitActiveEdit();
   if ( inputError )
      return;
   if ( PreviewList.empty() )
      Warn( *this, "No previews defined." );
   else
      platform::DialogRunner::exec( *selectPreviewsDialog );
}

void TProcessingWindow::SelectImagesButtonClick()
{
   CommitActiveEdit();
   if ( inputError )
      return;
   if ( MainViewList.empty() )
      Warn( *this, "No images available." );
   else
      platform::DialogRunner::exec( *selectImagesDialog );
}

void TProcessingWindow::ApplyToPreviews()
{
   // With nothing selected yet, the preview the user is looking at is offered ticked.
   TImageWindow* active = MainWindow != nullptr ? MainWindow->ActiveImageWindow() : nullptr;
   TImageWindow::View* current = active != nullptr ? active->currentView : nullptr;
   ApplyToSelection( PreviewList, *selectPreviewsDialog, current != nullptr && current->IsPreview() ? current : nullptr,
                     "No previews defined.", "No previews selected." );
}

void TProcessingWindow::Apply()
{
   // With nothing selected yet, the active image is offered ticked.
   TImageWindow* active = MainWindow != nullptr ? MainWindow->ActiveImageWindow() : nullptr;
   ApplyToSelection( MainViewList, *selectImagesDialog, active != nullptr ? active->mainView : nullptr,
                     "No images available.", "No images selected." );
}

template <class ViewType>
void TProcessingWindow::ApplyToSelection( const std::vector<ViewType*>& list, TSelectViewsDialog& selectDialog,
                                          TImageWindow::View* proposed, const char* noViews, const char* noneSelected )
{
   if ( list.empty() )
   {
      Warn( *this, noViews );
      return;
   }
   if ( !AnySelectedFor( list, this ) )
   {
      selectDialog.proposedView = proposed;
      platform::DialogRunner::exec( selectDialog );
      selectDialog.proposedView = nullptr;
      if ( !AnySelectedFor( list, this ) )
      {
         Warn( *this, noneSelected );
         return;
      }
   }
   if ( std::unique_ptr<Process> instance = NewInstance() )
      ExecuteProcessOnViews( *instance, AsViews( list ), this );
}

void TProcessingWindow::LoadSettings( platform::Registry& )
{
}

void TProcessingWindow::SaveSettings( platform::Registry& )
{
}

bool TProcessingWindow::WantChildKey( QWidget* child, QKeyEvent* key )
{
   if ( TProcessingInterface::WantChildKey( child, key ) )
      return true;
   const Qt::KeyboardModifiers modifiers = key->modifiers();
   if ( suppressShortcuts || ( modifiers & ( Qt::ShiftModifier | Qt::AltModifier ) ) )
      return false;
   const bool ctrl = ( modifiers & Qt::ControlModifier ) != 0;
   switch ( key->key() )
   {
   case Qt::Key_F5:
      ctrl ? SelectPreviewsButtonClick() : PreviewButtonClick();
      return true;
   case Qt::Key_F9:
      ctrl ? SelectImagesButtonClick() : ApplyButtonClick();
      return true;
   case Qt::Key_Escape:
      if ( ctrl )
         return false;
      Collapse();
      return true;
   default:
      return false;
   }
}

void TProcessingWindow::FormActivate()
{
   ReenterActiveEdit();
}

void TProcessingWindow::FormDeactivate()
{
   CommitActiveEdit();
}

// ---- Stay on top -------------------------------------------------------------------------------------------------

void SetWindowStaysOnTop( QWidget* window, bool onTop, bool floating )
{
   if ( window == nullptr )
      return;
   // The widget keeps the style; the system window follows it only while floating. Neither change re-creates or
   // hides the window (setWindowFlags would).
   Qt::WindowFlags style = window->windowFlags();
   style.setFlag( Qt::WindowStaysOnTopHint, onTop );
   if ( style != window->windowFlags() )
      window->overrideWindowFlags( style );
   if ( QWindow* handle = window->windowHandle() )
   {
      Qt::WindowFlags native = handle->flags();
      native.setFlag( Qt::WindowStaysOnTopHint, onTop && floating );
      if ( native != handle->flags() )
         handle->setFlags( native );
   }
}

bool ProcessingWindowsStayOnTop()
{
   return stayOnTop;
}

void SetProcessingWindowsStayOnTop( bool onTop )
{
   stayOnTop = onTop;
   for ( TProcessingWindow* w : std::vector<TProcessingWindow*>( ProcessingWindows ) )
   {
      SetWindowStaysOnTop( w, onTop, applicationActive );
      SetWindowStaysOnTop( w->CollapsedBar(), onTop, applicationActive );
   }
}

void SetProcessingWindowsFloating( bool active )
{
   applicationActive = active;
   SetProcessingWindowsStayOnTop( stayOnTop );
}

// ---- Runs on several views --------------------------------------------------------------------------------------

bool ExecuteProcessOnViews( Process& process, const std::vector<TImageWindow::View*>& views,
                            TProcessingWindow* window )
{
   int32_t count = 0;
   size_t at = 0;
   {
      BusyScope busy;
      try
      {
         for ( at = 0; at < views.size(); ++at )
         {
            TImageWindow::View* view = views[at];
            if ( !IsSelectedFor( *view, window ) )
               continue;
            StatusDialog().AddTask( TaskText( *view ), 0, 0 );
            StatusDialog().NextTask();
            ++count;
            process.ExecuteOn( *view, false );
         }
      }
      catch ( const qor::Image::AbortProcessEvent& )
      {
         if ( count > 0 )
            RollBack( process, views, at, count, window );
         return false;
      }
      catch ( ... )
      {
         ReportCaughtFailure( ExecuteSource, ExecuteLine );
         return false;
      }
   }
   for ( TImageWindow::View* view : views )
   {
      if ( view->Window() != nullptr && view->Window()->currentView == view )
         view->Window()->RedrawImage();
      if ( IsSelectedFor( *view, window ) )
         NotifyViewUpdated( *view );
   }
   return true;
}

bool ExecuteProcessOnPreviews( Process& process, TProcessingWindow* window )
{
   return ExecuteProcessOnViews( process, AsViews( PreviewList ), window );
}

bool ExecuteProcessOnImages( Process& process, TProcessingWindow* window )
{
   return ExecuteProcessOnViews( process, AsViews( MainViewList ), window );
}

// ---- Broadcasts ---------------------------------------------------------------------------------------------------

#define LF_VIEW_BROADCAST( Name )                                                                                   \
   void Notify##Name( TImageWindow::View& view )                                                                     \
   {                                                                                                                 \
      Broadcast( [&]( TProcessingWindow& w ) { w.Name( view ); } );                                                  \
   }

LF_VIEW_BROADCAST( ViewCreated )
LF_VIEW_BROADCAST( ViewUpdated )
LF_VIEW_BROADCAST( ViewRenamed )
LF_VIEW_BROADCAST( ViewDeleted )
LF_VIEW_BROADCAST( ColorManagementChanged )
LF_VIEW_BROADCAST( ViewSaved )
LF_VIEW_BROADCAST( MaskChanged )
LF_VIEW_BROADCAST( MaskEnabled )
LF_VIEW_BROADCAST( MaskDisabled )
LF_VIEW_BROADCAST( MaskShown )
LF_VIEW_BROADCAST( MaskHidden )
LF_VIEW_BROADCAST( PreviewStored )
LF_VIEW_BROADCAST( UndoStateChanged )
LF_VIEW_BROADCAST( HistogramsChanged )
LF_VIEW_BROADCAST( StatisticsChanged )
LF_VIEW_BROADCAST( EndReadout )

#undef LF_VIEW_BROADCAST

void NotifyBeginReadout( TImageWindow::View& view, float v0, float v1, float v2 )
{
   Broadcast( [&]( TProcessingWindow& w ) { w.BeginReadout( view, v0, v1, v2 ); } );
}

void NotifyUpdateReadout( TImageWindow::View& view, float v0, float v1, float v2 )
{
   Broadcast( [&]( TProcessingWindow& w ) { w.UpdateReadout( view, v0, v1, v2 ); } );
}

void NotifyRealTimePreviewOwner( QWidget* owner )
{
   Broadcast( [&]( TProcessingWindow& w ) { w.RealTimePreviewOwnerChanged( owner ); } );
}

void NotifyGlobalColorManagementChanged()
{
   Broadcast( []( TProcessingWindow& w ) { w.GlobalColorManagementChanged(); } );
}
