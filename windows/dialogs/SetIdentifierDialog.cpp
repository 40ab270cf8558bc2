#include "windows/dialogs/SetIdentifierDialog.h"

#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "classlib/Exception.h"
#include "windows/image/Cursors.h"
#include "windows/processing/ProcessingInterface.h"

TSetIdentifierDialog::TSetIdentifierDialog( QWidget* owner, IdentifierValidator validator )
   : QDialog( owner ), validator( std::move( validator ) )
{
   setObjectName( "SetIdentifierDialog" );
   setWindowTitle( "Set Identifier" );
   setModal( true );

   CurrentIdentifier_Label = new QLabel( "Current identifier:", this );
   CurrentIdentifier_Label->setObjectName( "CurrentIdentifier_Label" );
   CurrentIdentifier_Edit = new QLineEdit( this );
   CurrentIdentifier_Edit->setObjectName( "CurrentIdentifier_Edit" );
   CurrentIdentifier_Edit->setReadOnly( true );
   CurrentIdentifier_Edit->setFocusPolicy( Qt::NoFocus );

   NewIdentifier_Label = new QLabel( "New identifier:", this );
   NewIdentifier_Label->setObjectName( "NewIdentifier_Label" );
   NewIdentifier_Edit = new QLineEdit( this );
   NewIdentifier_Edit->setObjectName( "NewIdentifier_Edit" );
   NewIdentifier_Label->setBuddy( NewIdentifier_Edit );
   NewIdentifier_Edit->installEventFilter( this );
   SetEditExitHandler( NewIdentifier_Edit, [this]() { NewIdentifier_EditExit(); } );

   // A click on a button leaves the focus in the edit: OK then checks the text once (not once on leaving the edit
   // and again on closing), and Cancel checks nothing.
   OK_Button = new QPushButton( "OK", this );
   OK_Button->setObjectName( "OK_Button" );
   OK_Button->setDefault( true );
   OK_Button->setFocusPolicy( Qt::TabFocus );
   OK_Button->setCursor( ScreenCursor( CursorOK ) );
   connect( OK_Button, &QPushButton::clicked, this, &QDialog::accept );
   Cancel_Button = new QPushButton( "Cancel", this );
   Cancel_Button->setObjectName( "Cancel_Button" );
   Cancel_Button->setFocusPolicy( Qt::TabFocus );
   Cancel_Button->setCursor( ScreenCursor( CursorCancel ) );
   connect( Cancel_Button, &QPushButton::clicked, this, &QDialog::reject );

   auto* fields = new QGridLayout;
   fields->addWidget( CurrentIdentifier_Label, 0, 0 );
   fields->addWidget( CurrentIdentifier_Edit, 0, 1 );
   fields->addWidget( NewIdentifier_Label, 1, 0 );
   fields->addWidget( NewIdentifier_Edit, 1, 1 );
   fields->setColumnMinimumWidth( 1, 200 );
   auto* buttons = new QHBoxLayout;
   buttons->addStretch( 1 );
   buttons->addWidget( OK_Button );
   buttons->addWidget( Cancel_Button );
   auto* layout = new QVBoxLayout( this );
   layout->addLayout( fields );
   layout->addLayout( buttons );
   layout->setSizeConstraint( QLayout::SetFixedSize );
}

void TSetIdentifierDialog::NewIdentifier_EditEnter()
{
   inputError = false;
}

void TSetIdentifierDialog::NewIdentifier_EditExit()
{
   inputError = false;
   try
   {
      ReadIdentifierFromEdit( newIdentifier, NewIdentifier_Edit, false, false, currentIdentifier, validator );
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
   }
   NewIdentifier_Edit->setText( QString::fromStdString( newIdentifier ) );
}

void TSetIdentifierDialog::done( int result )
{
   if ( result == QDialog::Accepted )
   {
      NewIdentifier_EditExit();
      if ( inputError )
         return;
   }
   QDialog::done( result );
}

void TSetIdentifierDialog::showEvent( QShowEvent* event )
{
   inputError = false;
   newIdentifier = currentIdentifier;
   CurrentIdentifier_Edit->setText( QString::fromStdString( currentIdentifier ) );
   NewIdentifier_Edit->setText( QString::fromStdString( newIdentifier ) );
   NewIdentifier_Edit->selectAll();
   NewIdentifier_Edit->setFocus();
   QDialog::showEvent( event );
}

bool TSetIdentifierDialog::eventFilter( QObject* watched, QEvent* event )
{
   if ( watched == NewIdentifier_Edit && event->type() == QEvent::FocusIn )
      NewIdentifier_EditEnter();
   return QDialog::eventFilter( watched, event );
}
