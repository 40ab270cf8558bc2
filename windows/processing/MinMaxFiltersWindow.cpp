#include "windows/processing/MinMaxFiltersWindow.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QPointer>
#include <QRadioButton>

#include "support/Utils.h"
#include "process/ProcessWindows.h"
#include "windows/main/MainWindow.h"

TMinMaxFiltersWindow::TMinMaxFiltersWindow( QWidget* owner ) : TBoxFilterWindow( owner )
{
   setObjectName( "MinMaxFiltersWindow" );
   setWindowTitle( "  Minimum/Maximum Filters" );
   Minimum_RadioButton = new QRadioButton( "Minimum (Erosion)", this );
   Minimum_RadioButton->setObjectName( "Minimum_RadioButton" );
   Maximum_RadioButton = new QRadioButton( "Maximum (Dilation)", this );
   Maximum_RadioButton->setObjectName( "Maximum_RadioButton" );
   auto* group = new QButtonGroup( this );
   group->addButton( Minimum_RadioButton );
   group->addButton( Maximum_RadioButton );
   Options_Layout->addWidget( Minimum_RadioButton, 0, 1 );
   Options_Layout->addWidget( Maximum_RadioButton, 1, 1 );
   connect( Minimum_RadioButton, &QRadioButton::clicked, this, [this] { Minimum_RadioButtonClick(); } );
   connect( Maximum_RadioButton, &QRadioButton::clicked, this, [this] { Maximum_RadioButtonClick(); } );

   Bind( parameters );
   UpdateControls();
}

std::unique_ptr<Process> TMinMaxFiltersWindow::NewInstance()
{
   return std::make_unique<MinMaxFilter>( parameters );
}

void TMinMaxFiltersWindow::ImportInstance( const Process& instance )
{
   if ( const auto* filter = dynamic_cast<const MinMaxFilter*>( &instance ) )
   {
      parameters.Assign( *filter->parameters );
      UpdateControls();
   }
}

void TMinMaxFiltersWindow::UpdateControls()
{
   TMainWindow::ControlUpdateGuard guard;
   UpdateCommonControls();
   ( parameters.filterType ? Minimum_RadioButton : Maximum_RadioButton )->setChecked( true );
}

void TMinMaxFiltersWindow::Minimum_RadioButtonClick()
{
   if ( !UpdatingControls() && Minimum_RadioButton->isChecked() )
      parameters.filterType = true;
}

void TMinMaxFiltersWindow::Maximum_RadioButtonClick()
{
   if ( !UpdatingControls() && Maximum_RadioButton->isChecked() )
      parameters.filterType = false;
}

TMinMaxFiltersWindow& MinMaxFiltersWindow()
{
   static QPointer<TMinMaxFiltersWindow> window;
   if ( window.isNull() )
      window = new TMinMaxFiltersWindow( MainWindow );
   return *window;
}
