#include "windows/dialogs/FITSOptionsDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QFrame>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

#include "windows/dialogs/CountedChanges.h"
#include "windows/main/MainWindow.h"

namespace
{

// True while a window fills its controls: handlers then do nothing.
bool UpdatingControls()
{
   return MainWindow != nullptr && MainWindow->UpdatingControls();
}

// The sample-format buttons in the order they are laid out and tested: each with the test that checks it when the
// dialog shows a format (a later match wins, so a floating-point format shows its own button).
struct SampleFormatButton
{
   QRadioButton* TFITSFileOptionsDialog::*member;
   const char* name;
   const char* caption;
   void ( TFITSFileOptionsDialog::*click )();
   bool ( *shows )( const FITSOptions& );
};

using D = TFITSFileOptionsDialog;
const SampleFormatButton SampleFormatButtons[] = {
    { &D::UInt8_RadioButton, "UInt8_RadioButton", "8-bit unsigned integer", &D::UInt8_RadioButtonClick,
      []( const FITSOptions& o ) { return o.bitsPerSample == 8; } },
    { &D::UInt16_RadioButton, "UInt16_RadioButton", "16-bit unsigned integer", &D::UInt16_RadioButtonClick,
      []( const FITSOptions& o ) { return o.bitsPerSample == 16 && o.unsignedSamples; } },
    { &D::Int16_RadioButton, "Int16_RadioButton", "16-bit signed integer", &D::Int16_RadioButtonClick,
      []( const FITSOptions& o ) { return o.bitsPerSample == 16 && !o.unsignedSamples; } },
    { &D::UInt32_RadioButton, "UInt32_RadioButton", "32-bit unsigned integer", &D::UInt32_RadioButtonClick,
      []( const FITSOptions& o ) { return o.bitsPerSample == 32 && o.unsignedSamples; } },
    { &D::Int32_RadioButton, "Int32_RadioButton", "32-bit signed integer", &D::Int32_RadioButtonClick,
      []( const FITSOptions& o ) { return o.bitsPerSample == 32 && !o.unsignedSamples; } },
    { &D::Int64_RadioButton, "Int64_RadioButton", "64-bit signed integer", &D::Int64_RadioButtonClick,
      []( const FITSOptions& o ) { return o.bitsPerSample == 64; } },
    { &D::IEEE32FP_RadioButton, "IEEE32FP_RadioButton", "32-bit IEEE floating point", &D::IEEE32FP_RadioButtonClick,
      []( const FITSOptions& o ) { return o.bitsPerSample == 32 && o.floatingPoint; } },
    { &D::IEEE64FP_RadioButton, "IEEE64FP_RadioButton", "64-bit IEEE floating point", &D::IEEE64FP_RadioButtonClick,
      []( const FITSOptions& o ) { return o.bitsPerSample == 64 && o.floatingPoint; } },
};

} // namespace

TFITSFileOptionsDialog::TFITSFileOptionsDialog( QWidget* owner, FITSOptions& options,
                                                const EmbedICCProfileSetup& embed )
    : QDialog( owner ), options( options ), embed( embed )
{
   setObjectName( "FITSFileOptionsDialog" );
   setWindowTitle( "FITS Options" );
   setWindowFlags( Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint );

   SampleFormat_Panel = new QFrame( this );
   SampleFormat_Panel->setObjectName( "SampleFormat_Panel" );
   SampleFormat_Panel->setFrameShape( QFrame::StyledPanel );
   SampleFormatCaption_Panel = new QLabel( "  Sample Format", SampleFormat_Panel );
   SampleFormatCaption_Panel->setObjectName( "SampleFormatCaption_Panel" );

   sampleFormatGroup = new QButtonGroup( this );
   auto* panelLayout = new QVBoxLayout( SampleFormat_Panel );
   panelLayout->addWidget( SampleFormatCaption_Panel );
   for ( const SampleFormatButton& b : SampleFormatButtons )
   {
      QRadioButton*& button = this->*b.member;
      button = new QRadioButton( b.caption, SampleFormat_Panel );
      button->setObjectName( b.name );
      sampleFormatGroup->addButton( button );
      panelLayout->addWidget( button );
      connect( button, &QRadioButton::clicked, this, b.click );
   }
   Int64_RadioButton->setEnabled( false );

   EmbedICCProfile_CheckBox = new QCheckBox( "Embed ICC Profile", this );
   EmbedICCProfile_CheckBox->setObjectName( "EmbedICCProfile_CheckBox" );
   connect( EmbedICCProfile_CheckBox, &QCheckBox::clicked, this,
            &TFITSFileOptionsDialog::EmbedICCProfile_CheckBoxClick );

   OK_SpeedButton = new QPushButton( "OK", this );
   OK_SpeedButton->setObjectName( "OK_SpeedButton" );
   OK_SpeedButton->setDefault( true );
   connect( OK_SpeedButton, &QPushButton::clicked, this, &TFITSFileOptionsDialog::OK_SpeedButtonClick );
   Cancel_SpeedButton = new QPushButton( "Cancel", this );
   Cancel_SpeedButton->setObjectName( "Cancel_SpeedButton" );
   connect( Cancel_SpeedButton, &QPushButton::clicked, this, &QDialog::reject );

   auto* buttons = new QHBoxLayout;
   buttons->addStretch( 1 );
   buttons->addWidget( OK_SpeedButton );
   buttons->addWidget( Cancel_SpeedButton );
   auto* layout = new QVBoxLayout( this );
   layout->addWidget( SampleFormat_Panel );
   layout->addWidget( EmbedICCProfile_CheckBox );
   layout->addLayout( buttons );
   setFixedSize( sizeHint() );
}

void TFITSFileOptionsDialog::keyPressEvent( QKeyEvent* event )
{
   // F9 is OK as well as Enter (the default button); Esc cancels (QDialog).
   if ( event->key() == Qt::Key_F9 && event->modifiers() == Qt::NoModifier )
   {
      OK_SpeedButton->click();
      return;
   }
   QDialog::keyPressEvent( event );
}

TFITSFileOptionsDialog::TFITSFileOptionsDialog( QWidget* owner, FITSOptions& options )
    : TFITSFileOptionsDialog( owner, options, EmbedICCProfileSetup() )
{
}

void TFITSFileOptionsDialog::showEvent( QShowEvent* event )
{
   QDialog::showEvent( event );
   FormShow();
}

void TFITSFileOptionsDialog::FormShow()
{
   working.bitsPerSample = options.bitsPerSample;
   working.unsignedSamples = options.unsignedSamples;
   working.floatingPoint = options.floatingPoint;
   working.embedICCProfile = options.embedICCProfile;
   UpdateControls();
   SampleFormat_Panel->setFocus();
}

void TFITSFileOptionsDialog::UpdateControls()
{
   TMainWindow::ControlUpdateGuard guard;

   sampleFormatGroup->setExclusive( false );
   for ( QAbstractButton* b : sampleFormatGroup->buttons() )
      b->setChecked( false );
   sampleFormatGroup->setExclusive( true );
   for ( const SampleFormatButton& b : SampleFormatButtons )
      if ( b.shows( working ) )
         ( this->*b.member )->setChecked( true );

   EmbedICCProfile_CheckBox->setEnabled( embed.enabled );
   EmbedICCProfile_CheckBox->setChecked( embed.enabled && embed.checked );
   EmbedICCProfile_CheckBox->setToolTip( embed.hint );
   working.embedICCProfile = EmbedICCProfile_CheckBox->isChecked();
}

void TFITSFileOptionsDialog::SetIntegerFormat( int32_t bits, bool isUnsigned )
{
   if ( UpdatingControls() )
      return;
   if ( working.bitsPerSample == bits && working.unsignedSamples == isUnsigned && !working.floatingPoint )
      return;
   working.bitsPerSample = bits;
   working.unsignedSamples = isUnsigned;
   working.floatingPoint = false;
}

void TFITSFileOptionsDialog::SetFloatFormat( int32_t bits )
{
   if ( UpdatingControls() )
      return;
   if ( working.bitsPerSample == bits && working.floatingPoint )
      return;
   working.bitsPerSample = bits;
   working.floatingPoint = true;
}

void TFITSFileOptionsDialog::UInt8_RadioButtonClick()
{
   SetIntegerFormat( 8, true );
}

void TFITSFileOptionsDialog::UInt16_RadioButtonClick()
{
   SetIntegerFormat( 16, true );
}

void TFITSFileOptionsDialog::Int16_RadioButtonClick()
{
   SetIntegerFormat( 16, false );
}

void TFITSFileOptionsDialog::UInt32_RadioButtonClick()
{
   SetIntegerFormat( 32, true );
}

void TFITSFileOptionsDialog::Int32_RadioButtonClick()
{
   SetIntegerFormat( 32, false );
}

void TFITSFileOptionsDialog::Int64_RadioButtonClick()
{
   SetIntegerFormat( 64, false );
}

void TFITSFileOptionsDialog::IEEE32FP_RadioButtonClick()
{
   SetFloatFormat( 32 );
}

void TFITSFileOptionsDialog::IEEE64FP_RadioButtonClick()
{
   SetFloatFormat( 64 );
}

void TFITSFileOptionsDialog::EmbedICCProfile_CheckBoxClick()
{
   if ( UpdatingControls() )
      return;
   working.embedICCProfile = EmbedICCProfile_CheckBox->isChecked();
}

void TFITSFileOptionsDialog::Apply()
{
   changedCount = 0;
   StoreCounted( options.bitsPerSample, working.bitsPerSample, changedCount );
   StoreCounted( options.unsignedSamples, working.unsignedSamples, changedCount );
   StoreCounted( options.floatingPoint, working.floatingPoint, changedCount );
   StoreCounted( options.embedICCProfile, working.embedICCProfile, changedCount );
}

void TFITSFileOptionsDialog::OK_SpeedButtonClick()
{
   Apply();
   accept();
}
