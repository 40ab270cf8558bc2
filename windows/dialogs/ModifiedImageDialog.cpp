#include "windows/dialogs/ModifiedImageDialog.h"

#include <QCoreApplication>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

#include "platform/DialogRunner.h"
#include "windows/dialogs/DialogButtons.h"
#include "windows/image/ImageWindow.h"
#include "windows/main/Application.h"

TModifiedImageDialog* ModifiedImageDialog = nullptr;

TModifiedImageDialog::TModifiedImageDialog( QWidget* parent ) : QDialog( parent )
{
   setObjectName( "ModifiedImageDialog" );
   setWindowTitle( ApplicationTitle() );
   setModal( true );

   Message_Label = new QLabel( this );
   Message_Label->setObjectName( "Message_Label" );
   Message_Label->setAlignment( Qt::AlignCenter );
   Message_Label->setStyleSheet( "color: red;" );
   QFont bold = Message_Label->font();
   bold.setBold( true );
   Message_Label->setFont( bold );

   FilePath_Label = new QLabel( this );
   FilePath_Label->setObjectName( "FilePath_Label" );
   FilePath_Label->setAlignment( Qt::AlignCenter );
   FilePath_Label->setMinimumWidth( 360 );

   Buttons_Panel = new QWidget( this );
   Buttons_Panel->setObjectName( "Buttons_Panel" );
   auto* buttons = new QHBoxLayout( Buttons_Panel );
   buttons->setContentsMargins( 0, 0, 0, 0 );
   No_SpeedButton = AddAnswerButton( *this, Buttons_Panel, "No_SpeedButton", "&No", NoResult );
   Yes_SpeedButton = AddAnswerButton( *this, Buttons_Panel, "Yes_SpeedButton", "&Yes", YesResult );
   Cancel_SpeedButton = AddAnswerButton( *this, Buttons_Panel, "Cancel_SpeedButton", "Cancel", CancelResult );

   auto* layout = new QVBoxLayout( this );
   layout->addWidget( Message_Label );
   layout->addWidget( FilePath_Label );
   layout->addWidget( Buttons_Panel, 0, Qt::AlignHCenter );
   layout->setSizeConstraint( QLayout::SetFixedSize );
}

int TModifiedImageDialog::Ask( TImageWindow* w, const QString& text )
{
   window = w;
   message = text;
   lastResult = platform::DialogRunner::exec( *this );
   // Closed by other means than the buttons: the safe answer.
   if ( lastResult != YesResult && lastResult != NoResult && lastResult != CancelResult )
      lastResult = cancelAllowed ? CancelResult : NoResult;
   return lastResult;
}

void TModifiedImageDialog::FormShow()
{
   Message_Label->setText( message.isEmpty() ? QString( "Close this image?" ) : message + ". Close anyway?" );
   if ( window != nullptr && window->mainView != nullptr )
   {
      const QString prefix = QString::fromStdString( window->mainView->Identifier() ) + ": ";
      const QFontMetrics metrics( FilePath_Label->font() );
      const int room = FilePath_Label->minimumWidth() - metrics.horizontalAdvance( prefix ) - 16;
      FilePath_Label->setText(
          prefix + metrics.elidedText( QString::fromStdString( window->filePath ), Qt::ElideMiddle, room ) );
   }
   else
      FilePath_Label->clear();
   Cancel_SpeedButton->setVisible( cancelAllowed );
}

void TModifiedImageDialog::showEvent( QShowEvent* event )
{
   FormShow();
   QDialog::showEvent( event );
}

void TModifiedImageDialog::keyPressEvent( QKeyEvent* event )
{
   if ( !AnswerYesNoKey( *this, event, YesResult, NoResult ) )
      QDialog::keyPressEvent( event ); // Esc comes to reject()
}

void TModifiedImageDialog::reject()
{
   if ( cancelAllowed )
      done( CancelResult );
}

TModifiedImageDialog& GetModifiedImageDialog()
{
   return SharedDialog( ModifiedImageDialog );
}
