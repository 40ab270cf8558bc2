#include "windows/dialogs/UnsavedImagesDialog.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

#include "platform/DialogRunner.h"
#include "windows/dialogs/DialogButtons.h"
#include "windows/main/Application.h"

TUnsavedImagesDialog* UnsavedImagesDialog = nullptr;

TUnsavedImagesDialog::TUnsavedImagesDialog( QWidget* parent ) : QDialog( parent )
{
   setObjectName( "UnsavedImagesDialog" );
   setWindowTitle( ApplicationTitle() );
   setModal( true );

   Message_Panel = new QLabel( "There are unsaved images. Exit anyway?", this );
   Message_Panel->setObjectName( "Message_Panel" );
   Message_Panel->setAlignment( Qt::AlignCenter );
   Message_Panel->setMargin( 12 );
   Message_Panel->setStyleSheet( "background-color: red; color: white;" );
   QFont bold = Message_Panel->font();
   bold.setBold( true );
   Message_Panel->setFont( bold );

   Buttons_Panel = new QWidget( this );
   Buttons_Panel->setObjectName( "Buttons_Panel" );
   auto* buttons = new QHBoxLayout( Buttons_Panel );
   buttons->setContentsMargins( 0, 0, 0, 0 );
   No_SpeedButton = AddAnswerButton( *this, Buttons_Panel, "No_SpeedButton", "No", NoResult );
   Yes_SpeedButton = AddAnswerButton( *this, Buttons_Panel, "Yes_SpeedButton", "Yes", YesResult );

   // The buttons sit centred under the message, 4 pixels above the bottom edge.
   auto* layout = new QVBoxLayout( this );
   layout->setContentsMargins( 4, 4, 4, 4 );
   layout->addWidget( Message_Panel );
   layout->addWidget( Buttons_Panel, 0, Qt::AlignHCenter );
   layout->setSizeConstraint( QLayout::SetFixedSize );
}

int TUnsavedImagesDialog::Ask()
{
   const int result = platform::DialogRunner::exec( *this );
   return result == YesResult ? YesResult : NoResult;
}

void TUnsavedImagesDialog::keyPressEvent( QKeyEvent* event )
{
   if ( !AnswerYesNoKey( *this, event, YesResult, NoResult ) )
      QDialog::keyPressEvent( event ); // Esc comes to reject()
}

void TUnsavedImagesDialog::reject()
{
   done( NoResult );
}

TUnsavedImagesDialog& GetUnsavedImagesDialog()
{
   return SharedDialog( UnsavedImagesDialog );
}
