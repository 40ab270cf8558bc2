#include "windows/processing/BoxFilterWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include "windows/main/MainWindow.h"
#include "windows/processing/FilterWindowParts.h"

namespace
{

template <class T> T* Named( T* control, const char* name )
{
   control->setObjectName( name );
   return control;
}

} // namespace

TBoxFilterWindow::TBoxFilterWindow( QWidget* owner ) : TProcessingWindow( owner )
{
   BoxSize_ComboBox = Named( new QComboBox( this ), "BoxSize_ComboBox" );
   for ( int n = 3; n <= 25; n += 2 )
      BoxSize_ComboBox->addItem( QString( " %1 " ).arg( n ) );
   Iterations_ComboBox = Named( new QComboBox( this ), "Iterations_ComboBox" );
   for ( int n = 1; n <= 10; ++n )
      Iterations_ComboBox->addItem( QString( " %1 " ).arg( n ) );
   MakeAmountControls( this, Amount_Edit, Amount_TrackBar );
   CircularKernel_CheckBox = Named( new QCheckBox( "Circular Kernel", this ), "CircularKernel_CheckBox" );
   UseLuminance_CheckBox = Named( new QCheckBox( "Use Luminance", this ), "UseLuminance_CheckBox" );

   auto* grid = new QGridLayout;
   grid->addWidget( new QLabel( "Box size:", this ), 0, 0 );
   grid->addWidget( BoxSize_ComboBox, 0, 1 );
   grid->addWidget( new QLabel( "Iterations:", this ), 1, 0 );
   grid->addWidget( Iterations_ComboBox, 1, 1 );
   grid->addWidget( new QLabel( "Amount:", this ), 2, 0 );
   grid->addWidget( Amount_Edit, 2, 1 );
   grid->addWidget( Amount_TrackBar, 2, 2 );
   Options_Layout = new QGridLayout;
   Options_Layout->addWidget( CircularKernel_CheckBox, 0, 0 );
   Options_Layout->addWidget( UseLuminance_CheckBox, 1, 0 );

   QHBoxLayout* buttons = MakeStandardButtons( this );

   auto* layout = new QVBoxLayout( this );
   layout->addLayout( grid );
   layout->addLayout( Options_Layout );
   layout->addLayout( buttons );

   connect( BoxSize_ComboBox, &QComboBox::currentIndexChanged, this, [this] { BoxSize_ComboBoxChange(); } );
   connect( Iterations_ComboBox, &QComboBox::currentIndexChanged, this, [this] { Iterations_ComboBoxChange(); } );
   connect( CircularKernel_CheckBox, &QCheckBox::clicked, this, [this] { CircularKernel_CheckBoxClick(); } );
   connect( UseLuminance_CheckBox, &QCheckBox::clicked, this, [this] { UseLuminance_CheckBoxClick(); } );
   connect( Amount_TrackBar, &QSlider::valueChanged, this, [this] { Amount_TrackBarChange(); } );
   SetEditExitHandler( Amount_Edit, [this] { Amount_EditExit(); } );
}

void TBoxFilterWindow::UpdateCommonControls()
{
   BoxSize_ComboBox->setCurrentIndex( fields->boxSize / 2 - 1 );
   Iterations_ComboBox->setCurrentIndex( fields->numberOfIterations - 1 );
   ShowAmount( Amount_Edit, Amount_TrackBar, fields->amount );
   CircularKernel_CheckBox->setChecked( fields->circularKernel );
   UseLuminance_CheckBox->setChecked( fields->useLuminance );
}

void TBoxFilterWindow::BoxSize_ComboBoxChange()
{
   if ( UpdatingControls() || BoxSize_ComboBox->currentIndex() < 0 )
      return;
   fields->boxSize = 2 * BoxSize_ComboBox->currentIndex() + 3;
}

void TBoxFilterWindow::Iterations_ComboBoxChange()
{
   if ( UpdatingControls() || Iterations_ComboBox->currentIndex() < 0 )
      return;
   fields->numberOfIterations = Iterations_ComboBox->currentIndex() + 1;
}

void TBoxFilterWindow::CircularKernel_CheckBoxClick()
{
   if ( UpdatingControls() )
      return;
   fields->circularKernel = CircularKernel_CheckBox->isChecked();
}

void TBoxFilterWindow::UseLuminance_CheckBoxClick()
{
   if ( UpdatingControls() )
      return;
   fields->useLuminance = UseLuminance_CheckBox->isChecked();
}

void TBoxFilterWindow::Amount_EditExit()
{
   if ( !CommitAmountEdit( Amount_Edit, Amount_TrackBar, fields->amount ) )
      inputError = true;
}

void TBoxFilterWindow::Amount_TrackBarChange()
{
   if ( !UpdatingControls() )
      TakeAmountFromTrackBar( Amount_Edit, Amount_TrackBar, fields->amount );
}
