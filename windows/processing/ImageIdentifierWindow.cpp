#include "windows/processing/ImageIdentifierWindow.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QToolButton>

#include "classlib/Exception.h"
#include "process/ImageIdentifier.h"
#include "support/Utils.h"
#include "windows/image/ImageIdentifiers.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ColorSpaceControls.h"

TImageIdentifierWindow::TImageIdentifierWindow( QWidget* owner ) : TProcessingWindow( owner )
{
   setObjectName( "ImageIdentifierWindow" );
   setWindowTitle( "Image Identifier" );

   auto* layout = new QGridLayout( this );
   layout->addWidget( new QLabel( "Identifier:", this ), 0, 0 );
   Identifier_Edit = new QLineEdit( this );
   Identifier_Edit->setObjectName( "Identifier_Edit" );
   Identifier_Edit->setMinimumWidth( 200 );
   SetEditExitHandler( Identifier_Edit, [this] { Identifier_EditExit(); } );
   layout->addWidget( Identifier_Edit, 0, 1 );
   Info_StaticText = new QLabel( this );
   Info_StaticText->setObjectName( "Info_StaticText" );
   layout->addWidget( Info_StaticText, 1, 1 );
   ButtonRow row = MakeButtonRow( this, { "Apply_SpeedButton", "SelectImages_SpeedButton" } );
   Apply_SpeedButton = row.buttons[0];
   Apply_SpeedButton->setText( "Apply" );
   SelectImages_SpeedButton = row.buttons[1];
   layout->addWidget( row.row, 2, 1, Qt::AlignRight );

   UpdateControls();
}

void TImageIdentifierWindow::UpdateControls()
{
   TMainWindow::ControlUpdateGuard guard;
   Identifier_Edit->setText( QString::fromStdString( identifier ) );
   Info_StaticText->setText( FindMainViewByIdentifier( identifier ) != nullptr ? InUseText : NotUsedText );
}

void TImageIdentifierWindow::Identifier_EditExit()
{
   try
   {
      ReadIdentifierFromEdit( identifier, Identifier_Edit, true, true );
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
   }
   UpdateControls();
}

std::unique_ptr<Process> TImageIdentifierWindow::NewInstance()
{
   return std::make_unique<ImageIdentifier>( identifier );
}

void TImageIdentifierWindow::ImportInstance( const Process& instance )
{
   if ( const auto* rename = dynamic_cast<const ImageIdentifier*>( &instance ) )
   {
      identifier = rename->WantedId();
      UpdateControls();
   }
}

void TImageIdentifierWindow::ViewCreated( TImageWindow::View& )
{
   UpdateControls();
}

void TImageIdentifierWindow::ViewRenamed( TImageWindow::View& )
{
   UpdateControls();
}

void TImageIdentifierWindow::ViewDeleted( TImageWindow::View& )
{
   UpdateControls();
}

TImageIdentifierWindow& ImageIdentifierWindow()
{
   static QPointer<TImageIdentifierWindow> window;
   if ( window.isNull() )
      window = new TImageIdentifierWindow( MainWindow );
   return *window;
}
