#include "windows/processing/MedianFilterWindow.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QPointer>

#include "support/Utils.h"
#include "process/ProcessWindows.h"
#include "windows/main/MainWindow.h"

TMedianFilterWindow::TMedianFilterWindow( QWidget* owner ) : TBoxFilterWindow( owner )
{
   setObjectName( "MedianFilterWindow" );
   setWindowTitle( "  Median Filter" );
   HybridFilter_CheckBox = new QCheckBox( "Two-Way Hybrid Filter", this );
   HybridFilter_CheckBox->setObjectName( "HybridFilter_CheckBox" );
   Options_Layout->addWidget( HybridFilter_CheckBox, 0, 1 );
   connect( HybridFilter_CheckBox, &QCheckBox::clicked, this, [this] { HybridFilter_CheckBoxClick(); } );

   Bind( parameters );
   UpdateControls();
}

std::unique_ptr<Process> TMedianFilterWindow::NewInstance()
{
   return std::make_unique<MedianFilter>( parameters );
}

void TMedianFilterWindow::ImportInstance( const Process& instance )
{
   if ( const auto* filter = dynamic_cast<const MedianFilter*>( &instance ) )
   {
      parameters.Assign( *filter->parameters );
      UpdateControls();
   }
}

void TMedianFilterWindow::UpdateControls()
{
   TMainWindow::ControlUpdateGuard guard;
   if ( parameters.circularKernel )
      parameters.hybridFilter = false;
   UpdateCommonControls();
   HybridFilter_CheckBox->setChecked( parameters.hybridFilter );
   HybridFilter_CheckBox->setEnabled( parameters.boxSize > 3 );
}

void TMedianFilterWindow::BoxSize_ComboBoxChange()
{
   TBoxFilterWindow::BoxSize_ComboBoxChange();
   // The check mark and the parameter stay: a 3 x 3 run is a plain median whatever the flag says.
   HybridFilter_CheckBox->setEnabled( parameters.boxSize > 3 );
}

void TMedianFilterWindow::CircularKernel_CheckBoxClick()
{
   if ( UpdatingControls() )
      return;
   TBoxFilterWindow::CircularKernel_CheckBoxClick();
   if ( parameters.circularKernel )
   {
      parameters.hybridFilter = false;
      HybridFilter_CheckBox->setChecked( false );
   }
}

void TMedianFilterWindow::HybridFilter_CheckBoxClick()
{
   if ( UpdatingControls() )
      return;
   parameters.hybridFilter = HybridFilter_CheckBox->isChecked();
   if ( parameters.hybridFilter )
   {
      parameters.circularKernel = false;
      CircularKernel_CheckBox->setChecked( false );
   }
}

TMedianFilterWindow& MedianFilterWindow()
{
   static QPointer<TMedianFilterWindow> window;
   if ( window.isNull() )
      window = new TMedianFilterWindow( MainWindow );
   return *window;
}
