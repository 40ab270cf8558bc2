#include "windows/dialogs/JPEGOptionsDialog.h"

#include <QCheckBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QVBoxLayout>

#include <cmath>

#include "classlib/Exception.h"
#include "platform/ICCProfile.h"
#include "support/Utils.h"
#include "windows/dialogs/CountedChanges.h"
#include "windows/image/ImageWindow_ICM.h"
#include "windows/main/MainWindow.h"

namespace
{

bool UpdatingControls()
{
   return MainWindow != nullptr && MainWindow->UpdatingControls();
}

} // namespace

TJPEGFileOptionsDialog::TJPEGFileOptionsDialog( QWidget* owner, TImageWindow* window, JPEGOptions& options )
    : TProcessingDialog( owner ), window( window ), options( options )
{
   setObjectName( "JPEGFileOptionsDialog" );
   setWindowTitle( "JPEG Options" );

   Quality_Label = new QLabel( "JPEG Quality:", this );
   Quality_Label->setObjectName( "Quality_Label" );
   Quality_Edit = new QLineEdit( this );
   Quality_Edit->setObjectName( "Quality_Edit" );
   Quality_Edit->setFixedWidth( 50 );
   Quality_TrackBar = new QSlider( Qt::Horizontal, this );
   Quality_TrackBar->setObjectName( "Quality_TrackBar" );
   Quality_TrackBar->setRange( 1, 100 );
   Quality_TrackBar->setPageStep( 10 );
   Quality_TrackBar->setTickInterval( 10 );
   Quality_TrackBar->setTickPosition( QSlider::TicksBelow );
   Quality_TrackBar->setFocusPolicy( Qt::ClickFocus );
   Quality_TrackBar->installEventFilter( this );
   OptimizedCoding_CheckBox = new QCheckBox( "Optimized coding", this );
   OptimizedCoding_CheckBox->setObjectName( "OptimizedCoding_CheckBox" );
   Progressive_CheckBox = new QCheckBox( "Progressive", this );
   Progressive_CheckBox->setObjectName( "Progressive_CheckBox" );
   EmbedICCProfile_CheckBox = new QCheckBox( "Embed ICC Profile", this );
   EmbedICCProfile_CheckBox->setObjectName( "EmbedICCProfile_CheckBox" );
   OK_SpeedButton = new QPushButton( "OK", this );
   OK_SpeedButton->setObjectName( "OK_SpeedButton" );
   Cancel_SpeedButton = new QPushButton( "Cancel", this );
   Cancel_SpeedButton->setObjectName( "Cancel_SpeedButton" );
   for ( QPushButton* b : { OK_SpeedButton, Cancel_SpeedButton } )
      b->setAutoDefault( false );

   SetEditExitHandler( Quality_Edit, [this] { Quality_EditExit(); } );
   connect( Quality_TrackBar, &QSlider::valueChanged, this, &TJPEGFileOptionsDialog::Quality_TrackBarChange );
   connect( OptimizedCoding_CheckBox, &QCheckBox::clicked, this,
            &TJPEGFileOptionsDialog::OptimizedCoding_CheckBoxClick );
   connect( Progressive_CheckBox, &QCheckBox::clicked, this, &TJPEGFileOptionsDialog::Progressive_CheckBoxClick );
   connect( EmbedICCProfile_CheckBox, &QCheckBox::clicked, this,
            &TJPEGFileOptionsDialog::EmbedICCProfile_CheckBoxClick );

   auto* quality = new QHBoxLayout;
   quality->addWidget( Quality_Label );
   quality->addWidget( Quality_Edit );
   quality->addWidget( Quality_TrackBar, 1 );
   auto* buttons = new QHBoxLayout;
   buttons->addStretch( 1 );
   buttons->addWidget( OK_SpeedButton );
   buttons->addWidget( Cancel_SpeedButton );
   auto* layout = new QVBoxLayout( this );
   layout->addLayout( quality );
   layout->addWidget( OptimizedCoding_CheckBox );
   layout->addWidget( Progressive_CheckBox );
   layout->addWidget( EmbedICCProfile_CheckBox );
   layout->addLayout( buttons );
}

void TJPEGFileOptionsDialog::showEvent( QShowEvent* event )
{
   TProcessingDialog::showEvent( event );
   FormShow();
}

bool TJPEGFileOptionsDialog::eventFilter( QObject* watched, QEvent* event )
{
   // The track bar hands the focus on to the edit, where the quality is typed.
   if ( watched == Quality_TrackBar && event->type() == QEvent::FocusIn )
      Quality_Edit->setFocus();
   return TProcessingDialog::eventFilter( watched, event );
}

void TJPEGFileOptionsDialog::FormShow()
{
   working = JPEGOptions();
   working.quality = options.quality > 0 ? options.quality : JPEGOptions::DefaultQuality;
   working.optimizedCoding = options.optimizedCoding;
   working.progressive = options.progressive;
   working.embedICCProfile = options.embedICCProfile;
   UpdateControls();
}

void TJPEGFileOptionsDialog::UpdateControls()
{
   TMainWindow::ControlUpdateGuard guard;
   WriteIntegerToEdit( Quality_Edit, working.quality );
   SetTrackBarValue( Quality_TrackBar, working.quality, 1, 100 );
   OptimizedCoding_CheckBox->setChecked( working.optimizedCoding );
   Progressive_CheckBox->setChecked( working.progressive );
   SetupEmbedICCProfileCheckBox( EmbedICCProfile_CheckBox, window );
   working.embedICCProfile = EmbedICCProfile_CheckBox->isChecked();
}

void TJPEGFileOptionsDialog::Quality_EditExit()
{
   try
   {
      const int32_t q = int32_t( ReadNumberFromEdit( Quality_Edit, 1, 100, false ) );
      if ( q != working.quality )
      {
         working.quality = q;
         TMainWindow::ControlUpdateGuard guard;
         SetTrackBarValue( Quality_TrackBar, working.quality, 1, 100 );
      }
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
   }
   WriteIntegerToEdit( Quality_Edit, working.quality );
}

void TJPEGFileOptionsDialog::Quality_TrackBarChange()
{
   if ( UpdatingControls() )
      return;
   const int32_t q = int32_t( std::lround( double( GetTrackBarValue( Quality_TrackBar, 1, 100 ) ) ) );
   if ( q != working.quality )
   {
      working.quality = q;
      WriteIntegerToEdit( Quality_Edit, working.quality );
   }
}

void TJPEGFileOptionsDialog::OptimizedCoding_CheckBoxClick()
{
   if ( !UpdatingControls() )
      working.optimizedCoding = OptimizedCoding_CheckBox->isChecked();
}

void TJPEGFileOptionsDialog::Progressive_CheckBoxClick()
{
   if ( UpdatingControls() )
      return;
   working.progressive = Progressive_CheckBox->isChecked();
   UpdateControls();
}

void TJPEGFileOptionsDialog::EmbedICCProfile_CheckBoxClick()
{
   if ( !UpdatingControls() )
      working.embedICCProfile = EmbedICCProfile_CheckBox->isChecked();
}

void TJPEGFileOptionsDialog::Apply()
{
   changedCount = 0;
   StoreCounted( options.quality, working.quality, changedCount );
   StoreCounted( options.optimizedCoding, working.optimizedCoding, changedCount );
   StoreCounted( options.progressive, working.progressive, changedCount );
   StoreCounted( options.embedICCProfile, working.embedICCProfile, changedCount );
}
