#include "windows/dialogs/AutoClippingSetupDialog.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "classlib/Exception.h"
#include "support/Utils.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/FilterWindowParts.h"

TAutoClippingSetupDialog::TAutoClippingSetupDialog( QWidget* owner ) : TProcessingDialog( owner )
{
   setObjectName( "AutoClippingSetupDialog" );
   setWindowTitle( "Histogram Auto-Clipping Setup" );
   setWindowFlags( Qt::Dialog | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint );

   auto* panel = new QFrame( this );
   panel->setObjectName( "Amounts_Panel" );
   panel->setFrameShape( QFrame::StyledPanel );
   auto* heading = new QLabel( "  Clipping Amounts (percentage of total pixels)", panel );
   heading->setObjectName( "AmountsCaption_Panel" );
   Shadows_CheckBox = new QCheckBox( "Shadows:", panel );
   Shadows_CheckBox->setObjectName( "Shadows_CheckBox" );
   Shadows_Edit = new QLineEdit( "100.000", panel );
   Shadows_Edit->setObjectName( "Shadows_Edit" );
   Highlights_CheckBox = new QCheckBox( "Highlights:", panel );
   Highlights_CheckBox->setObjectName( "Highlights_CheckBox" );
   Highlights_Edit = new QLineEdit( "100.000", panel );
   Highlights_Edit->setObjectName( "Highlights_Edit" );
   for ( QLineEdit* edit : { Shadows_Edit, Highlights_Edit } )
      edit->setFixedWidth( 80 );
   auto* grid = new QGridLayout( panel );
   grid->addWidget( heading, 0, 0, 1, 2 );
   grid->addWidget( Shadows_CheckBox, 1, 0 );
   grid->addWidget( Shadows_Edit, 1, 1 );
   grid->addWidget( Highlights_CheckBox, 2, 0 );
   grid->addWidget( Highlights_Edit, 2, 1 );

   OK_SpeedButton = new QPushButton( "OK", this );
   OK_SpeedButton->setObjectName( "OK_SpeedButton" );
   Cancel_SpeedButton = new QPushButton( "Cancel", this );
   Cancel_SpeedButton->setObjectName( "Cancel_SpeedButton" );
   for ( QPushButton* b : { OK_SpeedButton, Cancel_SpeedButton } )
   {
      b->setAutoDefault( false );
      b->setFocusPolicy( Qt::NoFocus );
   }
   auto* buttons = new QHBoxLayout;
   buttons->addStretch();
   buttons->addWidget( OK_SpeedButton );
   buttons->addWidget( Cancel_SpeedButton );
   auto* layout = new QVBoxLayout( this );
   layout->addWidget( panel );
   layout->addLayout( buttons );

   connect( Shadows_CheckBox, &QCheckBox::clicked, this, [this] { Shadows_CheckBoxClick(); } );
   connect( Highlights_CheckBox, &QCheckBox::clicked, this, [this] { Highlights_CheckBoxClick(); } );
   SetEditExitHandler( Shadows_Edit, [this] { Shadows_EditExit(); } );
   SetEditExitHandler( Highlights_Edit, [this] { Highlights_EditExit(); } );
}

void TAutoClippingSetupDialog::showEvent( QShowEvent* event )
{
   TProcessingDialog::showEvent( event );
   UpdateControls();
   Shadows_Edit->setFocus();
}

void TAutoClippingSetupDialog::UpdateControls()
{
   TMainWindow::ControlUpdateGuard guard;
   Shadows_CheckBox->setChecked( shadowsEnabled );
   WriteRealToEdit( Shadows_Edit, shadowsAmount, 3 );
   Shadows_Edit->setEnabled( shadowsEnabled );
   Highlights_CheckBox->setChecked( highlightsEnabled );
   WriteRealToEdit( Highlights_Edit, highlightsAmount, 3 );
   Highlights_Edit->setEnabled( highlightsEnabled );
}

void TAutoClippingSetupDialog::CheckBoxClick( bool& flag, const QCheckBox* box )
{
   if ( UpdatingControls() )
      return;
   flag = box->isChecked();
   if ( !shadowsEnabled && !highlightsEnabled )
      shadowsEnabled = highlightsEnabled = true;
   UpdateControls();
}

void TAutoClippingSetupDialog::Shadows_CheckBoxClick()
{
   CheckBoxClick( shadowsEnabled, Shadows_CheckBox );
}

void TAutoClippingSetupDialog::Highlights_CheckBoxClick()
{
   CheckBoxClick( highlightsEnabled, Highlights_CheckBox );
}

void TAutoClippingSetupDialog::AmountEditExit( QLineEdit* edit, float& amount )
{
   try
   {
      amount = float( ReadNumberFromEdit( edit, 0, 100, true ) );
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
   }
   WriteRealToEdit( edit, amount, 3 );
}

void TAutoClippingSetupDialog::Shadows_EditExit()
{
   AmountEditExit( Shadows_Edit, shadowsAmount );
}

void TAutoClippingSetupDialog::Highlights_EditExit()
{
   AmountEditExit( Highlights_Edit, highlightsAmount );
}
