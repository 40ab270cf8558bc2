#include "windows/processing/RGBSpaceParametersWindow.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>

#include <cmath>

#include "classlib/Exception.h"
#include "classlib/RGBColorSystem.h"
#include "platform/Prompter.h"
#include "support/Utils.h"
#include "windows/frames/ViewsListFrame.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ColorSpaceControls.h"

namespace
{

constexpr float minimumValue = 0.000001f;
constexpr const char* const singularText = "Singular matrix found in RGBSpaceParameters";

bool UpdatingControls()
{
   return MainWindow != nullptr && MainWindow->UpdatingControls();
}

QLineEdit* MakeEdit( QWidget* parent, const QString& name )
{
   auto* edit = new QLineEdit( parent );
   edit->setObjectName( name );
   return edit;
}

QSlider* MakeTrackBar( QWidget* parent, const QString& name, int minimum, int maximum, int ticks )
{
   auto* slider = new QSlider( Qt::Horizontal, parent );
   slider->setObjectName( name );
   slider->setRange( minimum, maximum );
   slider->setPageStep( 5 );
   slider->setTickInterval( ticks );
   slider->setTickPosition( QSlider::TicksBelow );
   slider->setFocusPolicy( Qt::ClickFocus );
   return slider;
}

float Rounded( long double value, int decimals )
{
   const long double scale = std::pow( 10.0L, decimals );
   return float( std::nearbyint( value * scale ) / scale );
}

} // namespace

TRGBSpaceParametersWindow::TRGBSpaceParametersWindow( QWidget* owner ) : TProcessingWindow( owner )
{
   setObjectName( "RGBSpaceParametersWindow" );
   setWindowTitle( "RGB Working Space Parameters" );
   auto* layout = new QGridLayout( this );
   ViewsList = new TViewsListFrame( this );
   ViewsList->setObjectName( "ViewsList" );
   ViewsList->includePreviews = false;
   connect( ViewsList, &TViewsListFrame::ViewSelected, this, [this]( TImageWindow::View* view ) { SelectView( view ); } );
   layout->addWidget( ViewsList, 15, 0, 1, 3 );

   static const char* const colours[] = { "Red", "Green", "Blue" };
   layout->addWidget( MakeCaptionPanel( this, "Luminance_Panel", "  Luminance Coefficients (D50)" ), 0, 0, 1, 3 );
   for ( int i = 0; i < 3; ++i )
   {
      auto* label = new QLabel( colours[i], this );
      Y_Edit[i] = MakeEdit( this, QString( colours[i] ) + "_Edit" );
      Y_TrackBar[i] = MakeTrackBar( this, QString( colours[i] ) + "_TrackBar", 0, 200, 10 );
      SetEditExitHandler( Y_Edit[i], [this, i] { Y_EditExit( i ); } );
      connect( Y_TrackBar[i], &QSlider::valueChanged, this, [this, i] { Y_TrackBarChange( i ); } );
      layout->addWidget( label, 1 + i, 0 );
      layout->addWidget( Y_Edit[i], 1 + i, 1 );
      layout->addWidget( Y_TrackBar[i], 1 + i, 2 );
      editableControls.insert( editableControls.end(), { label, Y_Edit[i], Y_TrackBar[i] } );
   }

   layout->addWidget( MakeCaptionPanel( this, "Chromaticity_Panel", "  Chromaticity Coordinates (D50)" ), 4, 0, 1, 3 );
   auto* xLabel = new QLabel( "x", this );
   auto* yLabel = new QLabel( "y", this );
   layout->addWidget( xLabel, 5, 1 );
   layout->addWidget( yLabel, 5, 2 );
   editableControls.insert( editableControls.end(), { xLabel, yLabel } );
   for ( int i = 0; i < 3; ++i )
   {
      auto* label = new QLabel( colours[i], this );
      x_Edit[i] = MakeEdit( this, QString( "x%1_Edit" ).arg( i ) );
      y_Edit[i] = MakeEdit( this, QString( "y%1_Edit" ).arg( i ) );
      SetEditExitHandler( x_Edit[i], [this, i] { x_EditExit( i ); } );
      SetEditExitHandler( y_Edit[i], [this, i] { aY_EditExit( i ); } );
      layout->addWidget( label, 6 + i, 0 );
      layout->addWidget( x_Edit[i], 6 + i, 1 );
      layout->addWidget( y_Edit[i], 6 + i, 2 );
      editableControls.insert( editableControls.end(), { label, x_Edit[i], y_Edit[i] } );
   }

   layout->addWidget( MakeCaptionPanel( this, "Gamma_Panel", "  Gamma" ), 9, 0, 1, 3 );
   auto* gammaLabel = new QLabel( "Gamma", this );
   Gamma_Edit = MakeEdit( this, "Gamma_Edit" );
   Gamma_TrackBar = MakeTrackBar( this, "Gamma_TrackBar", 10, 100, 5 );
   SetEditExitHandler( Gamma_Edit, [this] { Gamma_EditExit(); } );
   connect( Gamma_TrackBar, &QSlider::valueChanged, this, [this] { Gamma_TrackBarChange(); } );
   layout->addWidget( gammaLabel, 10, 0 );
   layout->addWidget( Gamma_Edit, 10, 1 );
   layout->addWidget( Gamma_TrackBar, 10, 2 );
   gammaControls = { gammaLabel, Gamma_Edit, Gamma_TrackBar };

   sRGBGamma_CheckBox = new QCheckBox( "Use sRGB Gamma Function", this );
   sRGBGamma_CheckBox->setObjectName( "sRGBGamma_CheckBox" );
   connect( sRGBGamma_CheckBox, &QCheckBox::clicked, this, [this] { sRGBGamma_CheckBoxClick(); } );
   ApplyGlobal_CheckBox = new QCheckBox( "Apply Global RGBWS", this );
   ApplyGlobal_CheckBox->setObjectName( "ApplyGlobal_CheckBox" );
   connect( ApplyGlobal_CheckBox, &QCheckBox::clicked, this, [this] { ApplyGlobal_CheckBoxClick(); } );
   LoadGlobal_Button = new QPushButton( "Load Global RGBWS", this );
   LoadGlobal_Button->setObjectName( "LoadGlobal_Button" );
   connect( LoadGlobal_Button, &QPushButton::clicked, this, [this] { LoadGlobal_ButtonClick(); } );
   LoadDefault_Button = new QPushButton( "Load Default RGBWS", this );
   LoadDefault_Button->setObjectName( "LoadDefault_Button" );
   connect( LoadDefault_Button, &QPushButton::clicked, this, [this] { LoadDefault_ButtonClick(); } );
   editableControls.insert( editableControls.end(),
                            { sRGBGamma_CheckBox, LoadGlobal_Button, LoadDefault_Button, ViewsList } );
   layout->addWidget( sRGBGamma_CheckBox, 11, 0, 1, 3 );
   layout->addWidget( ApplyGlobal_CheckBox, 12, 0, 1, 3 );
   layout->addWidget( LoadGlobal_Button, 13, 1 );
   layout->addWidget( LoadDefault_Button, 13, 2 );

   ButtonRow buttons = MakeButtonRow( this, { "Apply_SpeedButton", "SelectImages_SpeedButton" } );
   Apply_SpeedButton = buttons.buttons[0];
   Apply_SpeedButton->setText( "Apply" );
   SelectImages_SpeedButton = buttons.buttons[1];
   layout->addWidget( buttons.row, 14, 2, Qt::AlignRight );

   ViewsList->Rebuild();
   SelectView( nullptr );
}

void TRGBSpaceParametersWindow::SelectView( TImageWindow::View* view )
{
   currentView = view;
   ViewsList->currentView = view;
   ViewsList->SelectCurrentView();
   if ( view != nullptr )
   {
      parameters.LoadFrom( view->Window()->rgbWorkingSpace );
      parameters.mode = RGBSpaceParameters::ApplyThis;
   }
   UpdateControls();
}

std::unique_ptr<Process> TRGBSpaceParametersWindow::NewInstance()
{
   std::unique_ptr<Process> instance = NewProbeInstance();
   if ( instance == nullptr )
      platform::ShowMessage( platform::Icon::Warning, "RGBSpaceParameters", singularText );
   return instance;
}

std::unique_ptr<Process> TRGBSpaceParametersWindow::NewProbeInstance()
{
   if ( parameters.mode != RGBSpaceParameters::ApplyGlobal && !parameters.IsValid() )
      return nullptr;
   auto instance = std::make_unique<RGBSpaceParameters>();
   instance->Values() = parameters;
   return instance;
}

void TRGBSpaceParametersWindow::ImportInstance( const Process& instance )
{
   const auto* process = dynamic_cast<const RGBSpaceParameters*>( &instance );
   if ( process == nullptr )
      return;
   if ( process->Values().mode == RGBSpaceParameters::ApplyGlobal )
   {
      parameters.mode = RGBSpaceParameters::ApplyGlobal;
      LoadGlobal_ButtonClick();
   }
   else
   {
      parameters = process->Values();
      SelectView( nullptr );
   }
   instanceImported = true;
}

void TRGBSpaceParametersWindow::UpdateControls()
{
   TMainWindow::ControlUpdateGuard guard;
   for ( int i = 0; i < 3; ++i )
   {
      WriteRealToEdit( Y_Edit[i], parameters.Y[i], 6 );
      const QSignalBlocker blocker( Y_TrackBar[i] );
      SetTrackBarValue( Y_TrackBar[i], parameters.Y[i], 0, 1 );
      WriteRealToEdit( x_Edit[i], parameters.x[i], 6 );
      WriteRealToEdit( y_Edit[i], parameters.y[i], 6 );
   }
   WriteRealToEdit( Gamma_Edit, parameters.gamma, 2 );
   {
      const QSignalBlocker blocker( Gamma_TrackBar );
      SetTrackBarValue( Gamma_TrackBar, parameters.gamma, 1, 10 );
   }
   sRGBGamma_CheckBox->setChecked( parameters.sRGB );
   const bool global = parameters.mode == RGBSpaceParameters::ApplyGlobal;
   ApplyGlobal_CheckBox->setChecked( global );
   for ( QWidget* control : editableControls )
      control->setEnabled( !global );
   for ( QWidget* control : gammaControls )
      control->setEnabled( !global && !parameters.sRGB );
}

void TRGBSpaceParametersWindow::FormShow()
{
   if ( instanceImported )
   {
      instanceImported = false;
      return;
   }
   TImageWindow* active = MainWindow != nullptr ? MainWindow->ActiveImageWindow() : nullptr;
   if ( active != nullptr )
      SelectView( active->mainView );
   else
      LoadGlobal_ButtonClick();
}

void TRGBSpaceParametersWindow::showEvent( QShowEvent* event )
{
   TProcessingWindow::showEvent( event );
   FormShow();
}

void TRGBSpaceParametersWindow::ViewCreated( TImageWindow::View& )
{
   ViewsList->Rebuild();
}

void TRGBSpaceParametersWindow::ViewRenamed( TImageWindow::View& )
{
   ViewsList->Rebuild();
}

void TRGBSpaceParametersWindow::ViewUpdated( TImageWindow::View& view )
{
   if ( &view == currentView )
      SelectView( &view );
}

void TRGBSpaceParametersWindow::ViewDeleted( TImageWindow::View& view )
{
   ViewsList->RemoveView( &view );
   if ( &view == currentView )
      SelectView( nullptr );
}

void TRGBSpaceParametersWindow::ReadReal( QLineEdit* edit, float& value, double minimum, double maximum,
                                          int decimals )
{
   try
   {
      value = float( ReadNumberFromEdit( edit, minimum, maximum, true ) );
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
   }
   WriteRealToEdit( edit, value, decimals );
}

void TRGBSpaceParametersWindow::Y_EditExit( int i )
{
   const float before = parameters.Y[i];
   ReadReal( Y_Edit[i], parameters.Y[i], minimumValue, 1, 6 );
   if ( parameters.Y[i] != before )
   {
      TMainWindow::ControlUpdateGuard guard;
      const QSignalBlocker blocker( Y_TrackBar[i] );
      SetTrackBarValue( Y_TrackBar[i], parameters.Y[i], 0, 1 );
   }
}

void TRGBSpaceParametersWindow::Y_TrackBarChange( int i )
{
   if ( UpdatingControls() )
      return;
   const float value = std::max( Rounded( GetTrackBarValue( Y_TrackBar[i], 0, 1 ), 6 ), minimumValue );
   if ( value != parameters.Y[i] )
   {
      parameters.Y[i] = value;
      WriteRealToEdit( Y_Edit[i], value, 6 );
   }
}

void TRGBSpaceParametersWindow::x_EditExit( int i )
{
   ReadReal( x_Edit[i], parameters.x[i], minimumValue, 1, 6 );
}

void TRGBSpaceParametersWindow::aY_EditExit( int i )
{
   ReadReal( y_Edit[i], parameters.y[i], minimumValue, 1, 6 );
}

void TRGBSpaceParametersWindow::Gamma_EditExit()
{
   const float before = parameters.gamma;
   ReadReal( Gamma_Edit, parameters.gamma, 1, 10, 2 );
   if ( parameters.gamma != before )
   {
      TMainWindow::ControlUpdateGuard guard;
      const QSignalBlocker blocker( Gamma_TrackBar );
      SetTrackBarValue( Gamma_TrackBar, parameters.gamma, 1, 10 );
   }
}

void TRGBSpaceParametersWindow::Gamma_TrackBarChange()
{
   if ( UpdatingControls() )
      return;
   const float value = Rounded( GetTrackBarValue( Gamma_TrackBar, 1, 10 ), 2 );
   if ( value != parameters.gamma )
   {
      parameters.gamma = value;
      WriteRealToEdit( Gamma_Edit, value, 2 );
   }
}

void TRGBSpaceParametersWindow::sRGBGamma_CheckBoxClick()
{
   if ( UpdatingControls() )
      return;
   parameters.sRGB = sRGBGamma_CheckBox->isChecked();
   if ( parameters.sRGB )
      parameters.gamma = qor::RGBColorSystem().Gamma();
   UpdateControls();
}

void TRGBSpaceParametersWindow::LoadGlobal_ButtonClick()
{
   parameters.LoadFrom( GlobalRGBWorkingSpace );
   SelectView( nullptr );
}

void TRGBSpaceParametersWindow::LoadDefault_ButtonClick()
{
   parameters.LoadFrom( qor::RGBColorSystem() );
   SelectView( nullptr );
}

void TRGBSpaceParametersWindow::ApplyGlobal_CheckBoxClick()
{
   if ( UpdatingControls() )
      return;
   parameters.mode = ApplyGlobal_CheckBox->isChecked() ? RGBSpaceParameters::ApplyGlobal : RGBSpaceParameters::ApplyThis;
   if ( parameters.mode == RGBSpaceParameters::ApplyGlobal )
      LoadGlobal_ButtonClick();
   else
      UpdateControls();
}

TRGBSpaceParametersWindow& RGBSpaceParametersWindow()
{
   static QPointer<TRGBSpaceParametersWindow> window;
   if ( window == nullptr )
      window = new TRGBSpaceParametersWindow;
   return *window;
}
