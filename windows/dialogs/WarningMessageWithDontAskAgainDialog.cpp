#include "windows/dialogs/WarningMessageWithDontAskAgainDialog.h"

#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QVBoxLayout>

#include "platform/DialogRunner.h"
#include "windows/dialogs/DialogButtons.h"

TWarningMessageWithDontAskAgainDialog::TWarningMessageWithDontAskAgainDialog( QWidget* owner, bool* askFlag )
   : QDialog( owner ), askFlag( askFlag )
{
   setObjectName( "WarningMessageWithDontAskAgainDialog" );
   setWindowTitle( "Warning" );
   setModal( true );

   Warning_Panel = new QFrame( this );
   Warning_Panel->setObjectName( "Warning_Panel" );
   Warning_Panel->setAutoFillBackground( true );
   QPalette palette = Warning_Panel->palette();
   palette.setColor( QPalette::Window, Qt::red );
   palette.setColor( QPalette::WindowText, Qt::white );
   Warning_Panel->setPalette( palette );
   QFont bold = Warning_Panel->font();
   bold.setBold( true );
   auto* band = new QVBoxLayout( Warning_Panel );
   band->setContentsMargins( 8, 8, 8, 8 );
   auto addLine = [&]( const char* name )
   {
      auto* label = new QLabel( Warning_Panel );
      label->setObjectName( name );
      label->setFont( bold );
      label->setAlignment( Qt::AlignCenter );
      band->addWidget( label );
      return label;
   };
   Warning1_Label = addLine( "Warning1_Label" );
   Warning2_Label = addLine( "Warning2_Label" );

   DontAskAgain_CheckBox = new QCheckBox( "Don't ask again", this );
   DontAskAgain_CheckBox->setObjectName( "DontAskAgain_CheckBox" );
   DontAskAgain_CheckBox->setFocusPolicy( Qt::NoFocus );
   connect( DontAskAgain_CheckBox, &QCheckBox::clicked, this, [this]() { DontAskAgain_CheckBoxClick(); } );

   auto* buttonsPanel = new QWidget( this );
   auto* buttons = new QHBoxLayout( buttonsPanel );
   buttons->setContentsMargins( 0, 0, 0, 0 );
   buttons->addWidget( DontAskAgain_CheckBox );
   buttons->addStretch( 1 );
   No_SpeedButton = AddAnswerButton( *this, buttonsPanel, "No_SpeedButton", "No", NoResult );
   Yes_SpeedButton = AddAnswerButton( *this, buttonsPanel, "Yes_SpeedButton", "Yes", YesResult );

   auto* layout = new QVBoxLayout( this );
   layout->setContentsMargins( 4, 4, 4, 4 );
   layout->addWidget( Warning_Panel );
   layout->addWidget( buttonsPanel );
   layout->setSizeConstraint( QLayout::SetFixedSize );
}

bool TWarningMessageWithDontAskAgainDialog::Ask()
{
   return platform::DialogRunner::exec( *this ) == YesResult;
}

void TWarningMessageWithDontAskAgainDialog::DontAskAgain_CheckBoxClick()
{
   if ( askFlag != nullptr )
      *askFlag = !DontAskAgain_CheckBox->isChecked();
}

void TWarningMessageWithDontAskAgainDialog::showEvent( QShowEvent* event )
{
   DontAskAgain_CheckBox->setChecked( askFlag != nullptr && !*askFlag );
   QDialog::showEvent( event );
}

void TWarningMessageWithDontAskAgainDialog::keyPressEvent( QKeyEvent* event )
{
   if ( !AnswerYesNoKey( *this, event, YesResult, NoResult ) )
      QDialog::keyPressEvent( event ); // Esc rejects: No
}
