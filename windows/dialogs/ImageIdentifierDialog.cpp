#include "windows/dialogs/ImageIdentifierDialog.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QToolButton>

#include "classlib/Exception.h"
#include "process/ImageIdentifier.h"
#include "support/Utils.h"
#include "windows/image/ImageWindow.h"
#include "windows/main/MainWindow.h"

TImageIdentifierDialog::TImageIdentifierDialog( QWidget* owner ) : TProcessingDialog( owner )
{
   setObjectName( "ImageIdentifierDialog" );
   setWindowTitle( "Image Identifier" );
   auto* layout = new QGridLayout( this );
   layout->addWidget( new QLabel( "Current identifier:", this ), 0, 0 );
   CurrentIdentifier_Edit = new QLineEdit( this );
   CurrentIdentifier_Edit->setObjectName( "CurrentIdentifier_Edit" );
   CurrentIdentifier_Edit->setReadOnly( true );
   CurrentIdentifier_Edit->setMinimumWidth( 200 );
   layout->addWidget( CurrentIdentifier_Edit, 0, 1, 1, 2 );
   layout->addWidget( new QLabel( "New identifier:", this ), 1, 0 );
   NewIdentifier_Edit = new QLineEdit( this );
   NewIdentifier_Edit->setObjectName( "NewIdentifier_Edit" );
   SetEditExitHandler( NewIdentifier_Edit, [this] { NewIdentifier_EditExit(); } );
   layout->addWidget( NewIdentifier_Edit, 1, 1, 1, 2 );
   MakeOKCancelButtons( OK_SpeedButton, Cancel_SpeedButton );
   layout->addWidget( OK_SpeedButton, 2, 1 );
   layout->addWidget( Cancel_SpeedButton, 2, 2 );
}

std::string TImageIdentifierDialog::ActiveIdentifier() const
{
   const TImageWindow* window = MainWindow != nullptr ? MainWindow->ActiveImageWindow() : nullptr;
   return window != nullptr ? window->mainView->Identifier() : std::string();
}

void TImageIdentifierDialog::showEvent( QShowEvent* event )
{
   FormShow();
   TProcessingDialog::showEvent( event );
}

void TImageIdentifierDialog::FormShow()
{
   const QString current = QString::fromStdString( ActiveIdentifier() );
   CurrentIdentifier_Edit->setText( current );
   if ( !importing )
      NewIdentifier_Edit->setText( current );
}

void TImageIdentifierDialog::NewIdentifier_EditExit()
{
   std::string identifier;
   try
   {
      ReadIdentifierFromEdit( identifier, NewIdentifier_Edit, true, true );
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
      identifier = ActiveIdentifier();
   }
   NewIdentifier_Edit->setText( QString::fromStdString( identifier ) );
}

std::unique_ptr<Process> TImageIdentifierDialog::NewInstance()
{
   return std::make_unique<ImageIdentifier>( NewIdentifier_Edit->text().toStdString() );
}

void TImageIdentifierDialog::DoImportInstance( const Process& instance )
{
   if ( const auto* rename = dynamic_cast<const ImageIdentifier*>( &instance ) )
      NewIdentifier_Edit->setText( QString::fromStdString( rename->WantedId() ) );
}
