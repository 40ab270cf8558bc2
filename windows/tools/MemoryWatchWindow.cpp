#include "windows/tools/MemoryWatchWindow.h"

#include <QGridLayout>
#include <QLabel>

TMemoryWatchWindow* MemoryWatchWindow = nullptr;

namespace
{

constexpr double MB = 1048576.0;

QLabel* MakePanel( QWidget* parent, const char* name, const QString& text = QString() )
{
   auto* panel = new QLabel( text, parent );
   if ( name != nullptr )
      panel->setObjectName( name );
   panel->setFrameStyle( QFrame::Panel | QFrame::Sunken );
   panel->setMinimumWidth( 110 );
   panel->setAlignment( Qt::AlignRight | Qt::AlignVCenter );
   return panel;
}

QLabel* MakeLamp( QWidget* parent, const char* name )
{
   auto* lamp = new QLabel( parent );
   lamp->setObjectName( name );
   lamp->setFixedSize( 12, 12 );
   lamp->setAutoFillBackground( true );
   lamp->setFrameStyle( QFrame::Panel | QFrame::Sunken );
   return lamp;
}

void SetLamp( QLabel* lamp, const QColor& colour )
{
   QPalette palette = lamp->palette();
   palette.setColor( QPalette::Window, colour );
   lamp->setPalette( palette );
}

// Free in MB with its percentage, and that percentage (none when the total is 0).
std::optional<double> ShowRow( QLabel* total, QLabel* free, uint64_t totalBytes, uint64_t availableBytes )
{
   total->setText( QString::asprintf( "%.3f", double( totalBytes ) / MB ) );
   if ( totalBytes == 0 )
   {
      free->setText( QString::asprintf( "%.3f", double( availableBytes ) / MB ) );
      return std::nullopt;
   }
   const double percent = double( float( double( availableBytes ) * 100.0 / double( totalBytes ) ) );
   free->setText( QString::asprintf( "%.3f (%.1f%%)", double( availableBytes ) / MB, percent ) );
   return percent;
}

} // namespace

TMemoryWatchWindow::TMemoryWatchWindow( QWidget* owner ) : TLFToolWindow( owner )
{
   setObjectName( "MemoryWatchWindow" );
   setWindowTitle( "Memory Watch" );

   auto* grid = new QGridLayout( this );
   grid->setContentsMargins( 4, 4, 4, 4 );
   grid->addWidget( MakePanel( this, nullptr, "  Memory Status (MB)" ), 0, 0 );
   grid->addWidget( MakePanel( this, nullptr, "Total" ), 0, 1 );
   grid->addWidget( MakePanel( this, nullptr, "Free" ), 0, 2 );
   grid->addWidget( MakePanel( this, nullptr, "  Physical" ), 1, 0 );
   grid->addWidget( TotalPhysical_Panel = MakePanel( this, "TotalPhysical_Panel" ), 1, 1 );
   grid->addWidget( FreePhysical_Panel = MakePanel( this, "FreePhysical_Panel" ), 1, 2 );
   grid->addWidget( PhysicalStatus_Panel = MakeLamp( this, "PhysicalStatus_Panel" ), 1, 3 );
   grid->addWidget( MakePanel( this, nullptr, "  Paged" ), 2, 0 );
   grid->addWidget( TotalPaged_Panel = MakePanel( this, "TotalPaged_Panel" ), 2, 1 );
   grid->addWidget( FreePaged_Panel = MakePanel( this, "FreePaged_Panel" ), 2, 2 );
   grid->addWidget( PagedStatus_Panel = MakeLamp( this, "PagedStatus_Panel" ), 2, 3 );
   SetLamp( PhysicalStatus_Panel, Qt::black );
   SetLamp( PagedStatus_Panel, Qt::black );

   Timer = new QTimer( this );
   Timer->setObjectName( "Timer" );
   Timer->setInterval( 1000 );
   connect( Timer, &QTimer::timeout, this, &TMemoryWatchWindow::TimerTimer );
}

void TMemoryWatchWindow::showEvent( QShowEvent* event )
{
   TLFToolWindow::showEvent( event );
   FormShow();
}

void TMemoryWatchWindow::hideEvent( QHideEvent* event )
{
   FormHide();
   TLFToolWindow::hideEvent( event );
}

void TMemoryWatchWindow::FormShow()
{
   for ( QLabel* panel : { TotalPhysical_Panel, FreePhysical_Panel, TotalPaged_Panel, FreePaged_Panel } )
      panel->clear();
   SetLamp( PhysicalStatus_Panel, Qt::black );
   SetLamp( PagedStatus_Panel, Qt::black );
   Timer->start();
}

void TMemoryWatchWindow::FormHide()
{
   Timer->stop();
}

void TMemoryWatchWindow::TimerTimer()
{
   UpdateMemoryStatus();
}

void TMemoryWatchWindow::UpdateMemoryStatus()
{
   if ( const std::optional<MemoryStatus> status = MemoryStatus::Current() )
      UpdateMemoryStatus( *status );
}

void TMemoryWatchWindow::UpdateMemoryStatus( const MemoryStatus& status )
{
   SetLamp( PhysicalStatus_Panel,
            LampColor( ShowRow( TotalPhysical_Panel, FreePhysical_Panel, status.totalPhysical, status.availablePhysical ) ) );
   SetLamp( PagedStatus_Panel,
            LampColor( ShowRow( TotalPaged_Panel, FreePaged_Panel, status.totalPaged, status.availablePaged ) ) );
}

QColor TMemoryWatchWindow::LampColor( std::optional<double> freePercent )
{
   if ( !freePercent )
      return Qt::black;
   if ( *freePercent < 5 )
      return QColor( 255, 0, 0 );
   if ( *freePercent < 15 )
      return QColor( 255, 255, 0 );
   return QColor( 0, 255, 0 );
}
