#include "windows/processing/ViewDataWindow.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>

#include "platform/FileDialogs.h"
#include "windows/frames/ViewsListFrame.h"
#include "windows/main/MainWindow.h"

TViewDataWindow::TViewDataWindow( QWidget* owner ) : TProcessingWindow( owner )
{
}

QWidget* TViewDataWindow::MakeSelectedViewPanel( QLabel* label )
{
   auto* panel = new QWidget( this );
   panel->setObjectName( "SelectedView_Panel" );
   auto* layout = new QHBoxLayout( panel );
   layout->setContentsMargins( 0, 0, 0, 0 );
   ViewsList = new TViewsListFrame( panel );
   ViewsList->setObjectName( "ViewsList" );
   ViewsList->includePreviews = false;
   connect( ViewsList, &TViewsListFrame::ViewSelected, this, [this]( TImageWindow::View* view ) { SelectView( view ); } );
   layout->addWidget( ViewsList );
   layout->addWidget( label, 1 );
   return panel;
}

void TViewDataWindow::SetCurrentView( TImageWindow::View* view )
{
   currentView = view;
   ViewsList->currentView = view;
   ViewsList->SelectCurrentView();
}

void TViewDataWindow::FormShow()
{
   if ( keepImportedData )
   {
      keepImportedData = false;
      return;
   }
   if ( TImageWindow* active = MainWindow != nullptr ? MainWindow->ActiveImageWindow() : nullptr )
      SelectView( active->mainView );
}

void TViewDataWindow::showEvent( QShowEvent* event )
{
   TProcessingWindow::showEvent( event );
   FormShow();
}

void TViewDataWindow::ViewCreated( TImageWindow::View& )
{
   ViewsList->Rebuild();
}

void TViewDataWindow::ViewRenamed( TImageWindow::View& )
{
   ViewsList->Rebuild();
}

QString TViewDataWindow::ModuleToLoad( const QString& caption, const QString& filter, const char* extension )
{
   QString name = platform::FileDialogs::getOpenFileName( this, caption, QString(), filter );
   if ( !name.isEmpty() && QFileInfo( name ).suffix().isEmpty() )
      name += extension;
   return name;
}
