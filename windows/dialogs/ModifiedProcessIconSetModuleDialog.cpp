#include "windows/dialogs/ModifiedProcessIconSetModuleDialog.h"

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

#include "platform/DialogRunner.h"
#include "windows/dialogs/DialogButtons.h"
#include "windows/main/Application.h"

TModifiedProcessIconSetModuleDialog* ModifiedProcessIconSetModuleDialog = nullptr;

TModifiedProcessIconSetModuleDialog::TModifiedProcessIconSetModuleDialog( QWidget* parent ) : QDialog( parent )
{
   setObjectName( "ModifiedProcessIconSetModuleDialog" );
   setWindowTitle( ApplicationTitle() );
   setModal( true );

   Message_Label =
      new QLabel( "The process icon set has been modified and is unsaved. OK to lose all process icons?", this );
   Message_Label->setObjectName( "Message_Label" );
   Message_Label->setAlignment( Qt::AlignCenter );
   Message_Label->setWordWrap( true );
   Message_Label->setStyleSheet( "color: red;" );
   FilePath_Label = new QLabel( this );
   FilePath_Label->setObjectName( "FilePath_Label" );
   FilePath_Label->setAlignment( Qt::AlignCenter );
   FilePath_Label->setMinimumWidth( 320 );

   Buttons_Panel = new QWidget( this );
   Buttons_Panel->setObjectName( "Buttons_Panel" );
   auto* buttons = new QHBoxLayout( Buttons_Panel );
   buttons->setContentsMargins( 0, 0, 0, 0 );
   No_SpeedButton = AddAnswerButton( *this, Buttons_Panel, "No_SpeedButton", "No", NoResult );
   Yes_SpeedButton = AddAnswerButton( *this, Buttons_Panel, "Yes_SpeedButton", "Yes", YesResult );
   Cancel_SpeedButton = AddAnswerButton( *this, Buttons_Panel, "Cancel_SpeedButton", "Cancel", CancelResult );

   auto* layout = new QVBoxLayout( this );
   layout->setContentsMargins( 4, 4, 4, 4 );
   layout->addWidget( Message_Label );
   layout->addWidget( FilePath_Label );
   layout->addWidget( Buttons_Panel, 0, Qt::AlignHCenter );
   layout->setSizeConstraint( QLayout::SetFixedSize );
}

int TModifiedProcessIconSetModuleDialog::Ask( const QString& filePath )
{
   // Long paths are shortened in the middle to the label's width.
   FilePath_Label->setText( QFontMetrics( FilePath_Label->font() )
                               .elidedText( filePath, Qt::ElideMiddle, FilePath_Label->minimumWidth() - 16 ) );
   FilePath_Label->setToolTip( filePath );
   Cancel_SpeedButton->setVisible( cancelAllowed );
   const int result = platform::DialogRunner::exec( *this );
   if ( result == YesResult || ( result == CancelResult && cancelAllowed ) )
      return result;
   return NoResult;
}

void TModifiedProcessIconSetModuleDialog::keyPressEvent( QKeyEvent* event )
{
   if ( !AnswerYesNoKey( *this, event, YesResult, NoResult ) )
      QDialog::keyPressEvent( event ); // Esc comes to reject()
}

void TModifiedProcessIconSetModuleDialog::reject()
{
   done( cancelAllowed ? CancelResult : NoResult );
}

TModifiedProcessIconSetModuleDialog& GetModifiedProcessIconSetModuleDialog()
{
   return SharedDialog( ModifiedProcessIconSetModuleDialog );
}
