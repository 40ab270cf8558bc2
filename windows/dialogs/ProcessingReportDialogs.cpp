#include "windows/dialogs/ProcessingReportDialogs.h"

#include <QTextEdit>
#include <QVBoxLayout>

#include "platform/DialogRunner.h"
#include "windows/dialogs/DialogButtons.h"
#include "windows/frames/ProcessingReportFrame.h"
#include "windows/main/MainWindow.h"

namespace
{

TProcessContainerReportDialog* containerReportDialog = nullptr;
TProcessingReportDialog* processingReportDialog = nullptr;

} // namespace

TProcessingReportDialogBase::TProcessingReportDialogBase( QWidget* parent, const char* name ) : QDialog( parent )
{
   setObjectName( name );
   setModal( true );
   setWindowFlag( Qt::WindowMaximizeButtonHint );
   Report_Panel = new QWidget( this );
   Report_Panel->setObjectName( "Report_Panel" );
   ProcessingReport = new TProcessingReportFrame( Report_Panel );
   auto* inner = new QVBoxLayout( Report_Panel );
   inner->setContentsMargins( 0, 0, 0, 0 );
   inner->addWidget( ProcessingReport );
   auto* layout = new QVBoxLayout( this );
   layout->setContentsMargins( 4, 4, 4, 4 );
   layout->addWidget( Report_Panel );
   resize( 640, 480 );
}

void TProcessingReportDialogBase::showEvent( QShowEvent* event )
{
   QDialog::showEvent( event );
   if ( !reportGenerated )
   {
      ProcessingReport->Generate();
      reportGenerated = true;
   }
}

void TProcessingReportDialogBase::hideEvent( QHideEvent* event )
{
   ProcessingReport->Edit->clear();
   reportGenerated = false;
   QDialog::hideEvent( event );
}

TProcessContainerReportDialog::TProcessContainerReportDialog( QWidget* parent )
   : TProcessingReportDialogBase( parent, "ProcessContainerReportDialog" )
{
   setWindowFlag( Qt::WindowStaysOnTopHint );
}

TProcessingReportDialog::TProcessingReportDialog( QWidget* parent )
   : TProcessingReportDialogBase( parent, "ProcessingReportDialog" )
{
}

void TProcessingReportDialog::showEvent( QShowEvent* event )
{
   TImageWindow* window = MainWindow != nullptr ? MainWindow->ActiveImageWindow() : nullptr;
   if ( window != nullptr && window->currentView != nullptr )
   {
      setWindowTitle( QString::fromStdString( "Processing Report: " + window->currentView->FullIdentifier() ) );
      ProcessingReport->view = window->currentView;
      ProcessingReport->container = nullptr;
   }
   TProcessingReportDialogBase::showEvent( event );
}

TProcessContainerReportDialog& ProcessContainerReportDialog()
{
   return SharedDialog( containerReportDialog );
}

TProcessingReportDialog& ProcessingReportDialog()
{
   return SharedDialog( processingReportDialog );
}

void ShowContainerReport( const QString& caption, TImageWindow::View* view, ProcessContainer* container )
{
   TProcessContainerReportDialog& dialog = ProcessContainerReportDialog();
   dialog.setWindowTitle( caption );
   dialog.ProcessingReport->view = view;
   dialog.ProcessingReport->container = view != nullptr ? nullptr : container;
   platform::DialogRunner::exec( dialog );
   dialog.hide();
   dialog.ProcessingReport->view = nullptr;
   dialog.ProcessingReport->container = nullptr;
}
