#include "windows/processing/IntegerResampleWindow.h"

#include <QButtonGroup>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QToolButton>

#include <algorithm>
#include <cstdlib>

#include "classlib/Exception.h"
#include "process/IntegerResample.h"
#include "support/Utils.h"
#include "windows/frames/ViewsListFrame.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ColorSpaceControls.h"
#include "windows/processing/FilterWindowParts.h"

TIntegerResampleWindow::TIntegerResampleWindow( QWidget* owner ) : TGeometryWindow( owner )
{
   setObjectName( "IntegerResampleWindow" );
   setWindowTitle( "Integer Resample" );

   auto* parameters = new QFrame( this );
   parameters->setObjectName( "ResampleParameters_Panel" );
   parameters->setFrameShape( QFrame::StyledPanel );
   auto* grid = new QGridLayout( parameters );
   grid->addWidget( new QLabel( "Resampling factor:", parameters ), 0, 0 );
   ResamplingFactor_Edit = new QLineEdit( parameters );
   ResamplingFactor_Edit->setObjectName( "ResamplingFactor_Edit" );
   SetEditExitHandler( ResamplingFactor_Edit, [this] { ResamplingFactor_EditExit(); } );
   grid->addWidget( ResamplingFactor_Edit, 0, 1 );
   Subsample_RadioButton = new QRadioButton( "Subsample", parameters );
   Subsample_RadioButton->setObjectName( "Subsample_RadioButton" );
   Oversample_RadioButton = new QRadioButton( "Oversample", parameters );
   Oversample_RadioButton->setObjectName( "Oversample_RadioButton" );
   // Not exclusive: an imported factor of 0 leaves both unchecked.
   for ( QRadioButton* b : { Subsample_RadioButton, Oversample_RadioButton } )
   {
      b->setAutoExclusive( false );
      connect( b, &QRadioButton::clicked, this,
               [this, b]
               {
                  if ( UpdatingControls() )
                     return;
                  TMainWindow::ControlUpdateGuard guard;
                  b->setChecked( true );
                  ( b == Subsample_RadioButton ? Oversample_RadioButton : Subsample_RadioButton )->setChecked( false );
               } );
      connect( b, &QRadioButton::clicked, this, [this] { Mode_RadioButtonClick(); } );
   }
   grid->addWidget( Subsample_RadioButton, 1, 0 );
   grid->addWidget( Oversample_RadioButton, 1, 1 );

   auto* layout = new QGridLayout( this );
   layout->addWidget( ViewsList, 0, 0 );
   layout->addWidget( parameters, 1, 0 );
   layout->addWidget( Info_Panel, 2, 0 );
   layout->addWidget( Buttons_Panel, 3, 0, Qt::AlignRight );

   {
      TMainWindow::ControlUpdateGuard guard;
      Subsample_RadioButton->setChecked( true );
   }
   SelectView( nullptr );
}

void TIntegerResampleWindow::TakeView( TImageWindow::View* view )
{
   if ( view != nullptr )
   {
      const qor::Image& image = view->GetImage();
      imageWidth = image.Width();
      imageHeight = image.Height();
      channelCount = image.NumberOfNominalChannels();
   }
   else
   {
      imageWidth = imageHeight = 100;
      channelCount = 1;
   }
   subsamplingLimit = std::min( imageWidth, imageHeight );
   oversamplingLimit = 32000 / std::max( imageWidth, imageHeight );
}

void TIntegerResampleWindow::FormShow()
{
   TImageWindow* active = ActiveImageWindowOfMainWindow();
   if ( active != nullptr && active->image != nullptr && active->image->IsColor() )
      SelectView( active->mainView );
}

void TIntegerResampleWindow::ResultSize( int32_t& width, int32_t& height ) const
{
   if ( Subsample_RadioButton->isChecked() && factor != 0 )
   {
      width = imageWidth / factor;
      height = imageHeight / factor;
   }
   else
   {
      const int64_t w = int64_t( factor ) * imageWidth, h = int64_t( factor ) * imageHeight;
      width = int32_t( std::min<int64_t>( w, INT32_MAX ) );
      height = int32_t( std::min<int64_t>( h, INT32_MAX ) );
   }
}

void TIntegerResampleWindow::UpdateInfo()
{
   WriteIntegerToEdit( ResamplingFactor_Edit, factor );
   int32_t width, height;
   ResultSize( width, height );
   ShowInfo( width, height );
}

void TIntegerResampleWindow::ResamplingFactor_EditExit()
{
   const int32_t limit = Subsample_RadioButton->isChecked() ? subsamplingLimit : oversamplingLimit;
   try
   {
      factor = int32_t( ReadNumberFromEdit( ResamplingFactor_Edit, 2, limit, false ) );
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
   }
   UpdateInfo();
}

void TIntegerResampleWindow::Mode_RadioButtonClick()
{
   if ( !UpdatingControls() )
      UpdateInfo();
}

std::unique_ptr<Process> TIntegerResampleWindow::NewInstance()
{
   return std::make_unique<IntegerResample>( Subsample_RadioButton->isChecked() ? -factor : factor );
}

void TIntegerResampleWindow::ImportInstance( const Process& instance )
{
   const auto* resample = dynamic_cast<const IntegerResample*>( &instance );
   if ( resample == nullptr )
      return;
   SelectView( CurrentView() );
   {
      TMainWindow::ControlUpdateGuard guard;
      const int32_t f = resample->Params().resampleFactor;
      factor = f == INT32_MIN ? INT32_MAX : std::abs( f );
      Subsample_RadioButton->setChecked( f < 0 );
      Oversample_RadioButton->setChecked( f > 0 );
   }
   UpdateInfo();
}

TIntegerResampleWindow& IntegerResampleWindow()
{
   static QPointer<TIntegerResampleWindow> window;
   if ( window.isNull() )
      window = new TIntegerResampleWindow( MainWindow );
   return *window;
}
