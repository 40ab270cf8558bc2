#include "windows/processing/ProcessingStatusDialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFrame>
#include <QGridLayout>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <limits>

#include "classlib/Image.h"
#include "platform/Prompter.h"
#include "process/Preferences.h"
#include "windows/image/ImageWindow.h"
#include "windows/main/Application.h"
#include "windows/main/MainWindow.h"

TProcessingStatusDialog* ProcessingStatusDialog = nullptr;

namespace
{

// A panel with a caption bar on top, as the dialog's two list panels have.
QFrame* CaptionedPanel( QWidget* parent, const char* name, const QString& caption, QWidget* client )
{
   auto* panel = new QFrame( parent );
   panel->setObjectName( name );
   panel->setFrameShape( QFrame::StyledPanel );
   auto* layout = new QVBoxLayout( panel );
   layout->setContentsMargins( 2, 2, 2, 2 );
   layout->setSpacing( 2 );
   auto* bar = new QLabel( caption, panel );
   bar->setAutoFillBackground( true );
   bar->setBackgroundRole( QPalette::Highlight );
   bar->setForegroundRole( QPalette::HighlightedText );
   layout->addWidget( bar );
   layout->addWidget( client );
   return panel;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------

TProcessingStatusDialog::TProcessingStatusDialog( QWidget* parent ) : QDialog( parent )
{
   setObjectName( "ProcessingStatusDialog" );
   setWindowTitle( "Processing" );
   // No border icons: the dialog is closed by the program (a close attempt during a run means Pause/Abort).
   setWindowFlags( Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint );
   setModal( false );
   setWindowOpacity( 1.0 );

   Tasks_ListBox = new QListWidget;
   Tasks_ListBox->setObjectName( "Tasks_ListBox" );
   Tasks_ListBox->setSelectionMode( QAbstractItemView::SingleSelection );
   Tasks_ListBox->setFocusPolicy( Qt::NoFocus );
   Tasks_ListBox->setMinimumSize( 360, 120 );
   TasksList_Panel = CaptionedPanel( this, "TasksList_Panel", " Tasks List", Tasks_ListBox );

   UserClient_Panel = new QFrame;
   UserClient_Panel->setObjectName( "UserClient_Panel" );
   User_Panel = CaptionedPanel( this, "User_Panel", " User Panel", UserClient_Panel );
   User_Panel->hide();

   Progress_Panel = new QFrame( this );
   Progress_Panel->setObjectName( "Progress_Panel" );
   Progress_Panel->setFrameShape( QFrame::StyledPanel );
   Percent_Panel = new QLabel( Progress_Panel );
   Percent_Panel->setObjectName( "Percent_Panel" );
   Percent_Panel->setMinimumWidth( 48 );
   Percent_Panel->setAlignment( Qt::AlignCenter );
   Percent_Panel->setFrameShape( QFrame::Panel );
   Percent_Panel->setFrameShadow( QFrame::Sunken );
   Info_Panel = new QLabel( Progress_Panel );
   Info_Panel->setObjectName( "Info_Panel" );
   Info_Panel->setFrameShape( QFrame::Panel );
   Info_Panel->setFrameShadow( QFrame::Sunken );
   Info_Panel->setMinimumWidth( 200 );
   ProgressBar = new QProgressBar( Progress_Panel );
   ProgressBar->setObjectName( "ProgressBar" );
   ProgressBar->setTextVisible( false );
   ProgressBar->setRange( 0, 1 );
   ProgressBar->setValue( 0 );

   BeepOnCompletion_SpeedButton = new QToolButton( Progress_Panel );
   BeepOnCompletion_SpeedButton->setObjectName( "BeepOnCompletion_SpeedButton" );
   BeepOnCompletion_SpeedButton->setCheckable( true );
   BeepOnCompletion_SpeedButton->setText( "Beep" );
   BeepOnCompletion_SpeedButton->setToolTip( "Beep on completion" );
   Minimize_Button = new QPushButton( "Background", Progress_Panel );
   Minimize_Button->setObjectName( "Minimize_Button" );
   Minimize_Button->setAutoDefault( false );
   Abort_Button = new QPushButton( "Pause/Abort", Progress_Panel );
   Abort_Button->setObjectName( "Abort_Button" );
   Abort_Button->setAutoDefault( false );
   Abort_Button->setEnabled( false );

   auto* grid = new QGridLayout( Progress_Panel );
   grid->setContentsMargins( 4, 4, 4, 4 );
   grid->addWidget( Percent_Panel, 0, 0 );
   grid->addWidget( Info_Panel, 0, 1, 1, 3 );
   grid->addWidget( ProgressBar, 1, 0, 1, 4 );
   grid->addWidget( BeepOnCompletion_SpeedButton, 2, 0 );
   grid->setColumnStretch( 1, 1 );
   grid->addWidget( Minimize_Button, 2, 2 );
   grid->addWidget( Abort_Button, 2, 3 );

   auto* layout = new QVBoxLayout( this );
   layout->setContentsMargins( 4, 4, 4, 4 );
   layout->setSpacing( 4 ); // the progress panel sits 4 pixels below the tasks list, the client ends 4 below it
   layout->addWidget( TasksList_Panel );
   layout->addWidget( User_Panel );
   layout->addWidget( Progress_Panel );
   setFixedSize( sizeHint() );

   if ( QScreen* screen = QGuiApplication::primaryScreen() )
      move( screen->availableGeometry().center() - rect().center() );

   connect( Abort_Button, &QPushButton::clicked, this, &TProcessingStatusDialog::Abort_ButtonClick );
   connect( Minimize_Button, &QPushButton::clicked, this, &TProcessingStatusDialog::Minimize_ButtonClick );
   connect( qApp, &QGuiApplication::applicationStateChanged, this,
            [this]( Qt::ApplicationState state )
            {
               if ( state == Qt::ApplicationActive )
                  ApplicationActivated();
            } );

   beep = [] { QApplication::beep(); };
   alert = []( QWidget* window ) { QApplication::alert( window, 0 ); };
   applicationActive = [] { return QGuiApplication::applicationState() == Qt::ApplicationActive; };
}

TProcessingStatusDialog::~TProcessingStatusDialog()
{
   if ( nesting > 0 )
   {
      EnableOtherWindows();
      TImageWindow::statusDialogNestingCount = 0;
   }
   if ( ProcessingStatusDialog == this )
      ProcessingStatusDialog = nullptr;
}

// ---- Brackets ---------------------------------------------------------------------------------------------------

void TProcessingStatusDialog::BeginTasks( const ReportCallback& callback )
{
   if ( nesting++ > 0 )
      return;
   TImageWindow::statusDialogNestingCount = nesting;
   TImageWindow::statusDialogPaintPermission = 0;

   tasks.clear();
   Tasks_ListBox->clear();
   Tasks_ListBox->addItem( QString() );
   Tasks_ListBox->setCurrentRow( 0 );
   currentTask = 0;
   progressSum = 0;
   lastPercent = 0;
   lastCount = 0;
   eventCount = 0;
   SetBarMaximum( 1 );
   ShowBarPosition();
   Percent_Panel->setText( "%0" );
   Info_Panel->clear();

   if ( MainWindow != nullptr && mainWindowConnected != MainWindow )
   {
      // The main window tells when it becomes busy or idle; the Abort button follows it.
      connect( MainWindow, &TMainWindow::ProcessingStateChanged, this,
               [this]( bool busy ) { Abort_Button->setEnabled( busy ); } );
      mainWindowConnected = MainWindow;
   }
   SyncAbortButton();
   reportCallback = callback;
   Minimize_Button->setEnabled( !callback );
   if ( !callback )
      DisableOtherWindows();

   // (There is no portable way to lift other programs' stay-on-top windows out of the way; nothing is done.)
   show();
   repaint();

   if ( callback )
      callback();
}

void TProcessingStatusDialog::AddTask( const std::string& text, int32_t level, int64_t total )
{
   tasks.push_back( TaskData{ text, level, total } );
   const int32_t index = int32_t( tasks.size() ) - 1;
   // The list always shows every task and one empty line below them.
   while ( Tasks_ListBox->count() <= index )
      Tasks_ListBox->addItem( QString() );
   Tasks_ListBox->item( index )->setText( QString( std::max( level, 0 ) * 2, ' ' ) + QString::fromStdString( text ) );
   Tasks_ListBox->addItem( QString() );
}

void TProcessingStatusDialog::NextTask()
{
   if ( tasks.empty() )
      return;
   if ( currentTask < int32_t( tasks.size() ) - 1 )
      ++currentTask;
   Tasks_ListBox->setCurrentRow( currentTask );
   const int64_t total = tasks[size_t( currentTask )].total;
   SetBarMaximum( total > 1 ? total : 1 );
   lastCount = 0;
   progressSum = 0;
   lastPercent = -1;
   ShowBarPosition();
   Percent_Panel->clear();
   Info_Panel->clear();
   repaint();
}

void TProcessingStatusDialog::EndTasks()
{
   if ( nesting <= 0 )
      return;
   if ( --nesting > 0 )
      return;
   TImageWindow::statusDialogNestingCount = 0;

   if ( BeepOnCompletion_SpeedButton->isChecked() )
   {
      // The beeps are spaced by timers: the end of a run never waits for them.
      for ( int32_t i = 0; i < CompletionBeeps; ++i )
         QTimer::singleShot( i * CompletionBeepInterval, this,
                             [this]
                             {
                                if ( beep )
                                   beep();
                             } );
   }

   if ( !reportCallback )
   {
      EnableOtherWindows();
      if ( applicationActive && !applicationActive() )
      {
         // Completed in the background: the title says so and the window asks for attention until the user
         // comes back; then the title the program had comes back (ApplicationActivated).
         if ( !completionPending )
            titleBeforeCompletion = QGuiApplication::applicationDisplayName();
         completionPending = true;
         QGuiApplication::setApplicationDisplayName( "Process Completed" );
         if ( alert )
            alert( MainWindow != nullptr ? static_cast<QWidget*>( MainWindow ) : this );
      }
   }

   if ( isVisible() )
      hide();
   else
      FormHide();
}

void TProcessingStatusDialog::ApplicationActivated()
{
   if ( !completionPending )
      return;
   completionPending = false;
   QGuiApplication::setApplicationDisplayName( titleBeforeCompletion );
   for ( QWidget* w : QApplication::topLevelWidgets() )
      if ( w->isVisible() && w->isMinimized() )
         w->showNormal();
}

// ---- Progress -----------------------------------------------------------------------------------------------------

int32_t TProcessingStatusDialog::ProgressCallback( void* dialog, int32_t event, qor::StatusCallback& monitor )
{
   if ( dialog == nullptr )
      return 0;
   return static_cast<TProcessingStatusDialog*>( dialog )->Progress( event, monitor );
}

int32_t TProcessingStatusDialog::Progress( int32_t event, qor::StatusCallback& monitor )
{
   const bool taskHasTotal =
       currentTask >= 0 && size_t( currentTask ) < tasks.size() && tasks[size_t( currentTask )].total > 0;

   int64_t delta = 0;
   switch ( event )
   {
   case qor::StatusCallback::Started:
      // A task with a total of its own accumulates all its operations on one bar; otherwise each operation
      // restarts the bar with its own total.
      if ( !taskHasTotal )
      {
         SetBarMaximum( monitor.Total() );
         lastPercent = 0;
         progressSum = 0;
      }
      lastCount = 0;
      Info_Panel->setText( QString::fromStdString( monitor.Text() ) );
      break;
   case qor::StatusCallback::Progress:
      delta = monitor.Count() - lastCount;
      lastCount = monitor.Count();
      break;
   case qor::StatusCallback::TextChanged:
      Info_Panel->setText( QString::fromStdString( monitor.Text() ) );
      break;
   case qor::StatusCallback::Done:
      // The monitor repeats the done event for every further advance: count what is left only once.
      delta = monitor.Total() - lastCount;
      lastCount = monitor.Total();
      break;
   default:
      break;
   }

   if ( delta != 0 )
   {
      progressSum += delta;
      ShowBarPosition();
   }

   int32_t percent;
   if ( barMaximum > 0 )
   {
      const float p = float( 100.0 * double( progressSum ) / double( barMaximum ) );
      percent = int32_t( std::nearbyint( p ) );
   }
   else
      percent = ( event == qor::StatusCallback::Done ) ? 100 : 0; // an operation without units is done or not
   if ( percent != lastPercent )
   {
      lastPercent = percent;
      ShowPercent( percent );
   }

   QCoreApplication::processEvents();
   SyncAbortButton();

   const int32_t index = eventCount++;
   if ( progressHook )
      progressHook( index );

   if ( MainWindow != nullptr && MainWindow->processing && MainWindow->abortRequested )
   {
      MainWindow->abortRequested = false;
      if ( platform::Ask( platform::Icon::Warning, ApplicationTitle(), "Abort process?", platform::Buttons::YesNo,
                          platform::Answer::No ) == platform::Answer::Yes )
      {
         MainWindow->EndProcessing();
         Percent_Panel->clear();
         Info_Panel->setText( "Process aborted." );
         return 1;
      }
   }
   return 0;
}

void TProcessingStatusDialog::SetBarMaximum( int64_t maximum )
{
   barMaximum = maximum;
   ShowBarPosition();
}

void TProcessingStatusDialog::ShowBarPosition()
{
   // The widget counts in int; totals beyond its range are shown scaled down.
   const int64_t limit = std::numeric_limits<int>::max();
   const int64_t maximum = std::max<int64_t>( barMaximum, 1 );
   const int64_t scale = maximum > limit ? ( maximum + limit - 1 ) / limit : 1;
   ProgressBar->setRange( 0, int( maximum / scale ) );
   ProgressBar->setValue( int( std::clamp<int64_t>( progressSum, 0, maximum ) / scale ) );
}

void TProcessingStatusDialog::ShowPercent( int32_t percent )
{
   Percent_Panel->setText( QString::asprintf( "%%%d", percent ) );
}

void TProcessingStatusDialog::SyncAbortButton()
{
   Abort_Button->setEnabled( MainWindow != nullptr && MainWindow->processing );
}

// ---- Handlers -----------------------------------------------------------------------------------------------------

void TProcessingStatusDialog::Abort_ButtonClick()
{
   if ( MainWindow != nullptr )
      MainWindow->RequestAbort();
}

void TProcessingStatusDialog::Minimize_ButtonClick()
{
   for ( QWidget* w : QApplication::topLevelWidgets() )
      if ( w->isVisible() && !w->isMinimized() )
         w->showMinimized();
}

void TProcessingStatusDialog::closeEvent( QCloseEvent* event )
{
   if ( nesting > 0 )
   {
      // Closing the dialog during a run means the same as pressing Pause/Abort.
      event->ignore();
      if ( MainWindow != nullptr )
         MainWindow->RequestAbort();
      return;
   }
   event->accept();
}

void TProcessingStatusDialog::reject()
{
   if ( Abort_Button->isEnabled() )
      Abort_ButtonClick();
}

void TProcessingStatusDialog::hideEvent( QHideEvent* event )
{
   QDialog::hideEvent( event );
   if ( !event->spontaneous() )
      FormHide();
}

void TProcessingStatusDialog::FormHide()
{
   if ( nesting > 0 )
      return;
   tasks.clear();
   Tasks_ListBox->clear();
   // The image windows that were asked to paint during the bracket paint now.
   for ( TImageWindow::View* view : std::vector<TImageWindow::View*>( MainViewList ) )
   {
      TImageWindow* window = view->Window();
      if ( window != nullptr && window->paintPending )
         window->RedrawImage();
   }
}

// ---- Other windows --------------------------------------------------------------------------------------------------

void TProcessingStatusDialog::DisableOtherWindows()
{
   for ( QWidget* w : QApplication::topLevelWidgets() )
   {
      if ( w == this || !w->isEnabled() )
         continue;
      const Qt::WindowType type = w->windowType();
      if ( type == Qt::Popup || type == Qt::ToolTip )
         continue;
      w->setEnabled( false );
      disabledWindows.emplace_back( w );
   }
}

void TProcessingStatusDialog::EnableOtherWindows()
{
   // Only the windows disabled here are given back: a window disabled for reasons of its own stays so.
   for ( QPointer<QWidget>& w : disabledWindows )
      if ( w != nullptr )
         w->setEnabled( true );
   disabledWindows.clear();
}

// ---------------------------------------------------------------------------------------------------------------

TProcessingStatusDialog& StatusDialog()
{
   if ( ProcessingStatusDialog == nullptr )
   {
      ProcessingStatusDialog = new TProcessingStatusDialog;
      ProcessingStatusDialog->BeepOnCompletion_SpeedButton->setChecked(
          CurrentPreferences.mainWindow.beepOnProcessingCompletion );
   }
   return *ProcessingStatusDialog;
}

void DestroyStatusDialog()
{
   delete ProcessingStatusDialog;
   ProcessingStatusDialog = nullptr;
}

StatusMonitorScope::StatusMonitorScope( const qor::Image& image ) : image( image )
{
   image.Status().SetCallback( &TProcessingStatusDialog::ProgressCallback, &StatusDialog() );
}

StatusMonitorScope::~StatusMonitorScope()
{
   image.Status().SetCallback( nullptr, nullptr );
}
