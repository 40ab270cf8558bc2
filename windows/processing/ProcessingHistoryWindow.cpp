#include "windows/processing/ProcessingHistoryWindow.h"

#include <QGridLayout>
#include <QPointer>
#include <QPushButton>

#include "process/ProcessContainer.h"
#include "windows/dialogs/ProcessingReportDialogs.h"
#include "windows/frames/ProcessContainerViewFrame.h"
#include "windows/frames/ViewsListFrame.h"
#include "windows/main/MainWindow.h"

TProcessingHistoryWindow::TProcessingHistoryWindow( QWidget* owner ) : TProcessingWindow( owner )
{
   setObjectName( "ProcessingHistoryWindow" );
   setWindowTitle( "  Processing History" );
   ProcessContainerView = new TProcessContainerViewFrame( this );
   ViewsList = new TViewsListFrame( this );
   ViewsList->setObjectName( "ViewsList" );
   Report_Button = new QPushButton( "Report", this );
   Report_Button->setObjectName( "Report_Button" );
   Report_Button->setEnabled( false );

   auto* layout = new QGridLayout( this );
   layout->setContentsMargins( 4, 4, 4, 4 );
   layout->addWidget( ProcessContainerView, 0, 0, 1, 3 );
   layout->addWidget( ViewsList, 1, 0 );
   layout->setColumnStretch( 1, 1 );
   layout->addWidget( Report_Button, 1, 2 );
   layout->setRowStretch( 0, 1 );
   resize( 560, 300 );

   // Bottom-right, 8 pixels inside the main window's client area.
   if ( MainWindow != nullptr && MainWindow->centralWidget() != nullptr )
   {
      const QWidget* client = MainWindow->centralWidget();
      move( client->mapToGlobal( QPoint( client->width() - width() - 8, client->height() - height() - 8 ) ) );
   }

   connect( ViewsList, &TViewsListFrame::ViewSelected, this, [this]( TImageWindow::View* view ) { SelectView( view ); } );
   connect( Report_Button, &QPushButton::clicked, this, [this] { Report_ButtonClick(); } );
   RefreshAll();
}

void TProcessingHistoryWindow::RefreshAll()
{
   ProcessContainerView->Refresh();
   ViewsList->Rebuild();
}

TImageWindow::View* TProcessingHistoryWindow::CurrentView() const
{
   return ViewsList->currentView;
}

void TProcessingHistoryWindow::SelectView( TImageWindow::View* view )
{
   ViewsList->currentView = view;
   ViewsList->SelectCurrentView();
   TImageWindow::View* current = CurrentView();
   ProcessContainerView->container = current != nullptr ? &current->History() : nullptr;
   ProcessContainerView->Refresh();
   Report_Button->setEnabled( current != nullptr );
}

void TProcessingHistoryWindow::Report_ButtonClick()
{
   TImageWindow::View* view = CurrentView();
   if ( view != nullptr )
      ShowContainerReport( QString::fromStdString( "Processing Report: " + view->FullIdentifier() ), view, nullptr );
}

std::unique_ptr<Process> TProcessingHistoryWindow::NewInstance()
{
   return CurrentView() != nullptr ? CurrentView()->History().Clone() : nullptr;
}

std::unique_ptr<Process> TProcessingHistoryWindow::NewProbeInstance()
{
   return CurrentView() != nullptr ? CurrentView()->History().ProbeInstance() : nullptr;
}

void TProcessingHistoryWindow::ViewCreated( TImageWindow::View& )
{
   ViewsList->Rebuild();
}

void TProcessingHistoryWindow::ViewUpdated( TImageWindow::View& view )
{
   if ( &view == CurrentView() )
   {
      // A run may have given the view a new history container.
      ProcessContainerView->container = &view.History();
      ProcessContainerView->Refresh();
   }
}

void TProcessingHistoryWindow::ViewRenamed( TImageWindow::View& )
{
   ViewsList->Rebuild();
}

void TProcessingHistoryWindow::ViewDeleted( TImageWindow::View& view )
{
   const bool current = &view == CurrentView();
   ViewsList->RemoveView( &view );
   if ( current )
      SelectView( nullptr );
}

void TProcessingHistoryWindow::ProcessUpdated( Process& instance )
{
   if ( CurrentView() != nullptr && instance.owner == &CurrentView()->History() )
      ProcessContainerView->Refresh();
}

TProcessingHistoryWindow& ProcessingHistoryWindow()
{
   static QPointer<TProcessingHistoryWindow> window;
   if ( window == nullptr )
      window = new TProcessingHistoryWindow;
   return *window;
}
