#include "windows/processing/SCNRWindow.h"

#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPixmap>
#include <QPointer>
#include <QSlider>
#include <QVBoxLayout>

#include "support/Utils.h"
#include "process/ProcessWindows.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/FilterWindowParts.h"

namespace
{

QIcon ColorIcon( Qt::GlobalColor color )
{
   QPixmap pixmap( 12, 12 );
   pixmap.fill( color );
   return QIcon( pixmap );
}

} // namespace

TSCNRWindow::TSCNRWindow( QWidget* owner ) : TProcessingWindow( owner )
{
   setObjectName( "SCNRWindow" );
   setWindowTitle( "SCNR" );

   Color_ComboBox = new QComboBox( this );
   Color_ComboBox->setObjectName( "Color_ComboBox" );
   Color_ComboBox->addItem( ColorIcon( Qt::red ), "Red" );
   Color_ComboBox->addItem( ColorIcon( Qt::green ), "Green" );
   Color_ComboBox->addItem( ColorIcon( Qt::blue ), "Blue" );
   Protection_ComboBox = new QComboBox( this );
   Protection_ComboBox->setObjectName( "Protection_ComboBox" );
   Protection_ComboBox->addItems( { "Maximum Mask", "Additive Mask", "Average Neutral", "Maximum Neutral" } );
   Amount_Label = new QLabel( "Amount:", this );
   Amount_Label->setObjectName( "Amount_Label" );
   MakeAmountControls( this, Amount_Edit, Amount_TrackBar );

   auto* grid = new QGridLayout;
   grid->addWidget( new QLabel( "Color to remove:", this ), 0, 0 );
   grid->addWidget( Color_ComboBox, 0, 1, 1, 2 );
   grid->addWidget( new QLabel( "Protection method:", this ), 1, 0 );
   grid->addWidget( Protection_ComboBox, 1, 1, 1, 2 );
   grid->addWidget( Amount_Label, 2, 0 );
   grid->addWidget( Amount_Edit, 2, 1 );
   grid->addWidget( Amount_TrackBar, 2, 2 );
   auto* layout = new QVBoxLayout( this );
   layout->addLayout( grid );
   layout->addLayout( MakeStandardButtons( this ) );

   connect( Color_ComboBox, &QComboBox::activated, this, [this] { Color_ComboBoxSelect(); } );
   connect( Protection_ComboBox, &QComboBox::activated, this, [this] { Protection_ComboBoxSelect(); } );
   connect( Amount_TrackBar, &QSlider::valueChanged, this, [this] { Amount_TrackBarChange(); } );
   SetEditExitHandler( Amount_Edit, [this] { Amount_EditExit(); } );
   UpdateControls();
}

std::unique_ptr<Process> TSCNRWindow::NewInstance()
{
   return std::make_unique<SCNR>( parameters );
}

void TSCNRWindow::ImportInstance( const Process& instance )
{
   if ( const auto* scnr = dynamic_cast<const SCNR*>( &instance ) )
   {
      parameters.Assign( *scnr->parameters );
      UpdateControls();
   }
}

void TSCNRWindow::UpdateControls()
{
   TMainWindow::ControlUpdateGuard guard;
   Color_ComboBox->setCurrentIndex( parameters.colorToRemove );
   Protection_ComboBox->setCurrentIndex( parameters.protectionMethod );
   ShowAmount( Amount_Edit, Amount_TrackBar, parameters.amount );
   const bool mask = parameters.IsMaskMethod();
   Amount_Label->setEnabled( mask );
   Amount_Edit->setEnabled( mask );
   Amount_TrackBar->setEnabled( mask );
}

void TSCNRWindow::Color_ComboBoxSelect()
{
   if ( !UpdatingControls() )
      parameters.colorToRemove = Color_ComboBox->currentIndex();
}

void TSCNRWindow::Protection_ComboBoxSelect()
{
   if ( UpdatingControls() )
      return;
   parameters.protectionMethod = SCNR::ProtectionMethod( Protection_ComboBox->currentIndex() );
   UpdateControls();
}

void TSCNRWindow::Amount_EditExit()
{
   if ( !CommitAmountEdit( Amount_Edit, Amount_TrackBar, parameters.amount ) )
      inputError = true;
}

void TSCNRWindow::Amount_TrackBarChange()
{
   if ( !UpdatingControls() )
      TakeAmountFromTrackBar( Amount_Edit, Amount_TrackBar, parameters.amount );
}

TSCNRWindow& SCNRWindow()
{
   static QPointer<TSCNRWindow> window;
   if ( window.isNull() )
      window = new TSCNRWindow( MainWindow );
   return *window;
}
