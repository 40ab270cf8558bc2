#include "windows/processing/SGBNRWindow.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include <cmath>

#include "classlib/Exception.h"
#include "classlib/GaussianKernel.h"
#include "support/Utils.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/FilterWindowParts.h"

namespace
{

template <typename T>
T* Named( T* widget, const char* name )
{
   widget->setObjectName( name );
   return widget;
}

// A panel with a caption and a Reset button in its caption bar.
QGroupBox* Panel( QWidget* parent, const char* caption, QPushButton* reset, QGridLayout*& grid )
{
   auto* box = new QGroupBox( parent );
   auto* layout = new QVBoxLayout( box );
   auto* bar = new QHBoxLayout;
   bar->addWidget( new QLabel( caption, box ) );
   bar->addStretch();
   if ( reset != nullptr )
      bar->addWidget( reset );
   layout->addLayout( bar );
   grid = new QGridLayout;
   layout->addLayout( grid );
   return box;
}

double RoundTo( double value, int decimals )
{
   const double scale = std::pow( 10.0, decimals );
   return std::round( value * scale ) / scale;
}

} // namespace

TSGBNRWindow::TSGBNRWindow( QWidget* owner ) : TProcessingWindow( owner )
{
   setObjectName( "SGBNRWindow" );
   setWindowTitle( "SGBNR" );

   // Colour model.
   RGBK_RadioButton = Named( new QRadioButton( "Composite RGB/K", this ), "RGBK_RadioButton" );
   CIEL_ab_RadioButton = Named( new QRadioButton( "CIE L | ab", this ), "CIEL_ab_RadioButton" );
   CIEL_a_b_RadioButton = Named( new QRadioButton( "CIE L | a | b", this ), "CIEL_a_b_RadioButton" );
   QGridLayout* modelGrid = nullptr;
   QGroupBox* modelPanel = Panel( this, "  Color Model", nullptr, modelGrid );
   modelGrid->addWidget( RGBK_RadioButton, 0, 0 );
   modelGrid->addWidget( CIEL_ab_RadioButton, 0, 1 );
   modelGrid->addWidget( CIEL_a_b_RadioButton, 0, 2 );

   auto label = [this]( const char* text, const char* name ) { return Named( new QLabel( text, this ), name ); };
   auto edit = [this]( const char* name ) {
      auto* e = Named( new QLineEdit( this ), name );
      e->setFixedWidth( 60 );
      return e;
   };
   auto trackBar = [this]( const char* name, int minimum, int maximum, QLineEdit* buddy ) {
      auto* t = Named( new QSlider( Qt::Horizontal, this ), name );
      t->setRange( minimum, maximum );
      t->setPageStep( 10 );
      t->setFocusPolicy( Qt::ClickFocus ); // not a tab stop; entering it moves the focus to its edit
      t->setFocusProxy( buddy );
      return t;
   };
   auto resetButton = [this]( const char* name ) {
      auto* b = Named( new QPushButton( "Reset", this ), name );
      b->setAutoDefault( false );
      return b;
   };

   // Low-pass filter.
   Set_ButtonGroup = new QButtonGroup( this );
   Set_ButtonGroup->setExclusive( true );
   QToolButton** setButtons[] = { &RGBK_SpeedButton, &L_SpeedButton, &ab_SpeedButton, &a_SpeedButton, &b_SpeedButton };
   const char* setCaptions[] = { "RGB/K", "L", "a,b", "a", "b" };
   const char* setNames[] = { "RGBK_SpeedButton", "L_SpeedButton", "ab_SpeedButton", "a_SpeedButton", "b_SpeedButton" };
   auto* setRow = new QHBoxLayout;
   for ( int i = 0; i < SGBNR::numberOfSets; ++i )
   {
      QToolButton* b = Named( new QToolButton( this ), setNames[i] );
      b->setText( setCaptions[i] );
      b->setCheckable( true );
      Set_ButtonGroup->addButton( b, i );
      setRow->addWidget( b );
      *setButtons[i] = b;
   }
   Apply_CheckBox = Named( new QCheckBox( "Apply", this ), "Apply_CheckBox" );
   Apply_CheckBox->setProperty( "lf_hooked", true ); // the set's flag, not the window's Apply button
   setRow->addWidget( Apply_CheckBox );
   setRow->addStretch();

   Sigma_Label = label( "StdDev:", "Sigma_Label" );
   Sigma_Edit = edit( "Sigma_Edit" );
   Sigma_TrackBar = trackBar( "Sigma_TrackBar", 1, 100, Sigma_Edit );
   Amount_Label = label( "Amount:", "Amount_Label" );
   Amount_Edit = edit( "Amount_Edit" );
   Amount_TrackBar = trackBar( "Amount_TrackBar", 10, 100, Amount_Edit );
   Iterations_Label = label( "Iterations:", "Iterations_Label" );
   Iterations_ComboBox = Named( new QComboBox( this ), "Iterations_ComboBox" );
   Iterations_ComboBox->clear();
   for ( int i = 1; i <= 6; ++i )
      Iterations_ComboBox->addItem( " " + QString::number( i ) );
   Info_Panel = label( "", "Info_Panel" );
   ResetFilter_Button = resetButton( "ResetFilter_Button" );
   QGridLayout* filterGrid = nullptr;
   QGroupBox* filterPanel = Panel( this, "  Low Pass Filter", ResetFilter_Button, filterGrid );
   filterGrid->addLayout( setRow, 0, 0, 1, 3 );
   filterGrid->addWidget( Sigma_Label, 1, 0 );
   filterGrid->addWidget( Sigma_Edit, 1, 1 );
   filterGrid->addWidget( Sigma_TrackBar, 1, 2 );
   filterGrid->addWidget( Amount_Label, 2, 0 );
   filterGrid->addWidget( Amount_Edit, 2, 1 );
   filterGrid->addWidget( Amount_TrackBar, 2, 2 );
   filterGrid->addWidget( Iterations_Label, 3, 0 );
   filterGrid->addWidget( Iterations_ComboBox, 3, 1 );
   filterGrid->addWidget( Info_Panel, 4, 0, 1, 3 );

   // Edges protection.
   EPDarkSides_CheckBox = Named( new QCheckBox( "Dark Sides", this ), "EPDarkSides_CheckBox" );
   EPDarkSidesThreshold_Label = label( "Threshold:", "EPDarkSidesThreshold_Label" );
   EPDarkSidesThreshold_Edit = edit( "EPDarkSidesThreshold_Edit" );
   EPDarkSidesThreshold_TrackBar = trackBar( "EPDarkSidesThreshold_TrackBar", 0, 100, EPDarkSidesThreshold_Edit );
   EPDarkSidesOverdrive_Label = label( "Overdrive:", "EPDarkSidesOverdrive_Label" );
   EPDarkSidesOverdrive_Edit = edit( "EPDarkSidesOverdrive_Edit" );
   EPDarkSidesOverdrive_TrackBar = trackBar( "EPDarkSidesOverdrive_TrackBar", 0, 100, EPDarkSidesOverdrive_Edit );
   EPBrightSides_CheckBox = Named( new QCheckBox( "Bright Sides", this ), "EPBrightSides_CheckBox" );
   EPBrightSidesThreshold_Label = label( "Threshold:", "EPBrightSidesThreshold_Label" );
   EPBrightSidesThreshold_Edit = edit( "EPBrightSidesThreshold_Edit" );
   EPBrightSidesThreshold_TrackBar = trackBar( "EPBrightSidesThreshold_TrackBar", 0, 100, EPBrightSidesThreshold_Edit );
   EPBrightSidesOverdrive_Label = label( "Overdrive:", "EPBrightSidesOverdrive_Label" );
   EPBrightSidesOverdrive_Edit = edit( "EPBrightSidesOverdrive_Edit" );
   EPBrightSidesOverdrive_TrackBar = trackBar( "EPBrightSidesOverdrive_TrackBar", 0, 100, EPBrightSidesOverdrive_Edit );
   ResetEdgesProtection_Button = resetButton( "ResetEdgesProtection_Button" );
   QGridLayout* edgesGrid = nullptr;
   QGroupBox* edgesPanel = Panel( this, "  Edges Protection", ResetEdgesProtection_Button, edgesGrid );
   int row = 0;
   for ( auto side : { std::tuple{ EPDarkSides_CheckBox, EPDarkSidesThreshold_Label, EPDarkSidesThreshold_Edit,
                                   EPDarkSidesThreshold_TrackBar, EPDarkSidesOverdrive_Label, EPDarkSidesOverdrive_Edit,
                                   EPDarkSidesOverdrive_TrackBar },
                       std::tuple{ EPBrightSides_CheckBox, EPBrightSidesThreshold_Label, EPBrightSidesThreshold_Edit,
                                   EPBrightSidesThreshold_TrackBar, EPBrightSidesOverdrive_Label,
                                   EPBrightSidesOverdrive_Edit, EPBrightSidesOverdrive_TrackBar } } )
   {
      auto [check, tLabel, tEdit, tTrack, oLabel, oEdit, oTrack] = side;
      edgesGrid->addWidget( check, row++, 0, 1, 3 );
      edgesGrid->addWidget( tLabel, row, 0 );
      edgesGrid->addWidget( tEdit, row, 1 );
      edgesGrid->addWidget( tTrack, row++, 2 );
      edgesGrid->addWidget( oLabel, row, 0 );
      edgesGrid->addWidget( oEdit, row, 1 );
      edgesGrid->addWidget( oTrack, row++, 2 );
   }

   // Luminance mask.
   LuminanceMask_CheckBox = Named( new QCheckBox( "Luminance Mask", this ), "LuminanceMask_CheckBox" );
   LuminanceMaskClipping_Label = label( "Clipping:", "LuminanceMaskClipping_Label" );
   LuminanceMaskClipping_Edit = edit( "LuminanceMaskClipping_Edit" );
   LuminanceMaskClipping_TrackBar = trackBar( "LuminanceMaskClipping_TrackBar", 1, 100, LuminanceMaskClipping_Edit );
   LuminanceMaskGamma_Label = label( "Gamma:", "LuminanceMaskGamma_Label" );
   LuminanceMaskGamma_Edit = edit( "LuminanceMaskGamma_Edit" );
   LuminanceMaskGamma_TrackBar = trackBar( "LuminanceMaskGamma_TrackBar", 1, 30, LuminanceMaskGamma_Edit );
   ResetLuminanceMask_Button = resetButton( "ResetLuminanceMask_Button" );
   QGridLayout* maskGrid = nullptr;
   QGroupBox* maskPanel = Panel( this, "", ResetLuminanceMask_Button, maskGrid );
   maskGrid->addWidget( LuminanceMask_CheckBox, 0, 0, 1, 3 );
   maskGrid->addWidget( LuminanceMaskClipping_Label, 1, 0 );
   maskGrid->addWidget( LuminanceMaskClipping_Edit, 1, 1 );
   maskGrid->addWidget( LuminanceMaskClipping_TrackBar, 1, 2 );
   maskGrid->addWidget( LuminanceMaskGamma_Label, 2, 0 );
   maskGrid->addWidget( LuminanceMaskGamma_Edit, 2, 1 );
   maskGrid->addWidget( LuminanceMaskGamma_TrackBar, 2, 2 );

   auto* layout = new QVBoxLayout( this );
   for ( QWidget* panel : { static_cast<QWidget*>( modelPanel ), static_cast<QWidget*>( filterPanel ),
                            static_cast<QWidget*>( edgesPanel ), static_cast<QWidget*>( maskPanel ) } )
      layout->addWidget( panel );
   layout->addLayout( MakeStandardButtons( this ) );

   // Numeric fields: edit range and decimals, track range and the decimals of its values.
   auto set = [this]( std::array<float, SGBNR::numberOfSets> SGBNR::Parameters::*field ) {
      return [this, field]() -> float& { return ( parameters.*field )[size_t( currentSet )]; };
   };
   auto kernelInfo = [this] { UpdateKernelInfo(); };
   auto lowPass = [this] { UpdateLowPassFilter(); };
   AddField( { Sigma_Edit, Sigma_TrackBar, 0.1, 10.0, 1, 0.1, 10.0, 1, set( &SGBNR::Parameters::sigma ), kernelInfo } );
   AddField( { Amount_Edit, Amount_TrackBar, 0.1, 1.0, 2, 0.1, 1.0, 2, set( &SGBNR::Parameters::amount ), lowPass } );
   AddField( { EPDarkSidesThreshold_Edit, EPDarkSidesThreshold_TrackBar, 0.001, 0.5, 3, 0.01, 0.5, 2,
               set( &SGBNR::Parameters::darkSidesThreshold ), {} } );
   AddField( { EPDarkSidesOverdrive_Edit, EPDarkSidesOverdrive_TrackBar, 0.0, 1.0, 2, 0.0, 1.0, 2,
               set( &SGBNR::Parameters::darkSidesOverdrive ), {} } );
   AddField( { EPBrightSidesThreshold_Edit, EPBrightSidesThreshold_TrackBar, 0.001, 0.5, 3, 0.01, 0.5, 2,
               set( &SGBNR::Parameters::brightSidesThreshold ), {} } );
   AddField( { EPBrightSidesOverdrive_Edit, EPBrightSidesOverdrive_TrackBar, 0.0, 1.0, 2, 0.0, 1.0, 2,
               set( &SGBNR::Parameters::brightSidesOverdrive ), {} } );
   AddField( { LuminanceMaskClipping_Edit, LuminanceMaskClipping_TrackBar, 0.0, 0.8, 2, 0.0, 0.8, 2,
               [this]() -> float& { return parameters.clip; }, {} } );
   AddField( { LuminanceMaskGamma_Edit, LuminanceMaskGamma_TrackBar, 0.1, 3.0, 1, 0.1, 3.0, 1,
               [this]() -> float& { return parameters.gamma; }, {} } );

   connect( RGBK_RadioButton, &QRadioButton::clicked, this, [this] { ColorModelClick( 0 ); } );
   connect( CIEL_ab_RadioButton, &QRadioButton::clicked, this, [this] { ColorModelClick( 1 ); } );
   connect( CIEL_a_b_RadioButton, &QRadioButton::clicked, this, [this] { ColorModelClick( 2 ); } );
   connect( Set_ButtonGroup, &QButtonGroup::idClicked, this, [this]( int id ) { SetSpeedButtonClick( id ); } );
   connect( Apply_CheckBox, &QCheckBox::clicked, this, [this] { Apply_CheckBoxClick(); } );
   connect( Iterations_ComboBox, &QComboBox::activated, this, [this] { Iterations_ComboBoxSelect(); } );
   connect( EPDarkSides_CheckBox, &QCheckBox::clicked, this, [this] { EPSidesCheckBoxClick(); } );
   connect( EPBrightSides_CheckBox, &QCheckBox::clicked, this, [this] { EPSidesCheckBoxClick(); } );
   connect( LuminanceMask_CheckBox, &QCheckBox::clicked, this, [this] { LuminanceMask_CheckBoxClick(); } );
   connect( ResetFilter_Button, &QPushButton::clicked, this, [this] { ResetFilter_ButtonClick(); } );
   connect( ResetEdgesProtection_Button, &QPushButton::clicked, this, [this] { ResetEdgesProtection_ButtonClick(); } );
   connect( ResetLuminanceMask_Button, &QPushButton::clicked, this, [this] { ResetLuminanceMask_ButtonClick(); } );
   UpdateControls();
}

void TSGBNRWindow::AddField( const NumericField& field )
{
   fields.push_back( field );
   const size_t index = fields.size() - 1;
   SetEditExitHandler( field.edit, [this, index] { EditExit( fields[index] ); } );
   connect( field.trackBar, &QSlider::valueChanged, this, [this, index] { TrackBarChange( fields[index] ); } );
}

std::unique_ptr<Process> TSGBNRWindow::NewInstance()
{
   return std::make_unique<SGBNR>( parameters );
}

void TSGBNRWindow::ImportInstance( const Process& instance )
{
   if ( const auto* sgbnr = dynamic_cast<const SGBNR*>( &instance ) )
   {
      parameters.Assign( *sgbnr->parameters );
      UpdateControls();
   }
}

// ---- Filling the controls ------------------------------------------------------------------------------------

void TSGBNRWindow::ShowField( const NumericField& field )
{
   WriteRealToEdit( field.edit, field.value(), field.editDecimals );
   // A value outside the track range (a threshold below 0.01) puts the thumb at an end without being changed.
   const QSignalBlocker blocker( field.trackBar );
   SetTrackBarValue( field.trackBar, field.value(), field.trackMinimum, field.trackMaximum );
}

void TSGBNRWindow::UpdateControls()
{
   UpdateColorModel();
   UpdateSetSelector();
   UpdateLowPassFilter();
   UpdateEdgesProtection();
   UpdateLuminanceMask();
}

void TSGBNRWindow::UpdateColorModel()
{
   TMainWindow::ControlUpdateGuard guard;
   const int32_t model = parameters.colorModel;
   RGBK_RadioButton->setChecked( model == 0 );
   CIEL_ab_RadioButton->setChecked( model == 1 );
   CIEL_a_b_RadioButton->setChecked( model == 2 );
   RGBK_SpeedButton->setEnabled( model == 0 );
   L_SpeedButton->setEnabled( model == 1 || model == 2 );
   ab_SpeedButton->setEnabled( model == 1 );
   a_SpeedButton->setEnabled( model == 2 );
   b_SpeedButton->setEnabled( model == 2 );
   if ( model == 0 )
      currentSet = SGBNR::compositeSet;
   else if ( currentSet == SGBNR::compositeSet || ( model == 2 && currentSet == SGBNR::chrominanceSet ) ||
             ( model == 1 && ( currentSet == SGBNR::aSet || currentSet == SGBNR::bSet ) ) )
      currentSet = SGBNR::lightnessSet;
   LuminanceMask_CheckBox->setChecked( parameters.luminanceMask );
}

void TSGBNRWindow::UpdateSetSelector()
{
   TMainWindow::ControlUpdateGuard guard;
   Set_ButtonGroup->button( currentSet )->setChecked( true );
   if ( currentSet == SGBNR::compositeSet )
      parameters.apply[size_t( currentSet )] = true;
   Apply_CheckBox->setChecked( parameters.apply[size_t( currentSet )] );
   Apply_CheckBox->setEnabled( parameters.colorModel == 1 || parameters.colorModel == 2 );
}

void TSGBNRWindow::UpdateLowPassFilter()
{
   TMainWindow::ControlUpdateGuard guard;
   const size_t s = size_t( currentSet );
   ShowField( fields[0] );
   ShowField( fields[1] );
   if ( parameters.amount[s] == 1 )
      parameters.numberOfIterations[s] = 1;
   Iterations_ComboBox->setCurrentIndex( parameters.numberOfIterations[s] - 1 );
   const bool applied = parameters.apply[s];
   for ( QWidget* w : { static_cast<QWidget*>( Sigma_Label ), static_cast<QWidget*>( Sigma_Edit ),
                        static_cast<QWidget*>( Sigma_TrackBar ), static_cast<QWidget*>( Amount_Label ),
                        static_cast<QWidget*>( Amount_Edit ), static_cast<QWidget*>( Amount_TrackBar ),
                        static_cast<QWidget*>( Info_Panel ) } )
      w->setEnabled( applied );
   Iterations_Label->setEnabled( applied && parameters.amount[s] != 1 );
   Iterations_ComboBox->setEnabled( applied && parameters.amount[s] != 1 );
   UpdateKernelInfo();
}

void TSGBNRWindow::UpdateKernelInfo()
{
   // The size before any reduction a run may apply to a large image.
   int32_t n = 0;
   try
   {
      n = qor::GaussianKernelSize( parameters.sigma[size_t( currentSet )], SGBNR::KernelShape, SGBNR::KernelThreshold );
   }
   catch ( const qor::Exception& )
   {
      Info_Panel->setText( QString() );
      return;
   }
   Info_Panel->setText( QString( " Kernel size: %1, %2 elements" ).arg( n ).arg( qint64( n ) * n ) );
}

void TSGBNRWindow::UpdateEdgesProtection()
{
   TMainWindow::ControlUpdateGuard guard;
   const size_t s = size_t( currentSet );
   const bool applied = parameters.apply[s];
   EPDarkSides_CheckBox->setChecked( parameters.darkSidesEdgesProtection[s] );
   EPBrightSides_CheckBox->setChecked( parameters.brightSidesEdgesProtection[s] );
   EPDarkSides_CheckBox->setEnabled( applied );
   EPBrightSides_CheckBox->setEnabled( applied );
   const bool dark = applied && parameters.darkSidesEdgesProtection[s];
   const bool bright = applied && parameters.brightSidesEdgesProtection[s];
   for ( QWidget* w : { static_cast<QWidget*>( EPDarkSidesThreshold_Label ), static_cast<QWidget*>( EPDarkSidesThreshold_Edit ),
                        static_cast<QWidget*>( EPDarkSidesThreshold_TrackBar ), static_cast<QWidget*>( EPDarkSidesOverdrive_Label ),
                        static_cast<QWidget*>( EPDarkSidesOverdrive_Edit ), static_cast<QWidget*>( EPDarkSidesOverdrive_TrackBar ) } )
      w->setEnabled( dark );
   for ( QWidget* w : { static_cast<QWidget*>( EPBrightSidesThreshold_Label ), static_cast<QWidget*>( EPBrightSidesThreshold_Edit ),
                        static_cast<QWidget*>( EPBrightSidesThreshold_TrackBar ), static_cast<QWidget*>( EPBrightSidesOverdrive_Label ),
                        static_cast<QWidget*>( EPBrightSidesOverdrive_Edit ), static_cast<QWidget*>( EPBrightSidesOverdrive_TrackBar ) } )
      w->setEnabled( bright );
   for ( size_t i = 2; i < 6; ++i )
      ShowField( fields[i] );
}

void TSGBNRWindow::UpdateLuminanceMask()
{
   TMainWindow::ControlUpdateGuard guard;
   LuminanceMask_CheckBox->setChecked( parameters.luminanceMask );
   ShowField( fields[6] );
   ShowField( fields[7] );
   for ( QWidget* w : { static_cast<QWidget*>( LuminanceMaskClipping_Label ), static_cast<QWidget*>( LuminanceMaskClipping_Edit ),
                        static_cast<QWidget*>( LuminanceMaskClipping_TrackBar ), static_cast<QWidget*>( LuminanceMaskGamma_Label ),
                        static_cast<QWidget*>( LuminanceMaskGamma_Edit ), static_cast<QWidget*>( LuminanceMaskGamma_TrackBar ) } )
      w->setEnabled( parameters.luminanceMask );
}

// ---- Handlers ---------------------------------------------------------------------------------------------------

void TSGBNRWindow::ColorModelClick( int32_t model )
{
   if ( UpdatingControls() )
      return;
   parameters.colorModel = model;
   if ( model == 0 )
      currentSet = SGBNR::compositeSet;
   else if ( model == 1 && currentSet != SGBNR::lightnessSet && currentSet != SGBNR::chrominanceSet )
      currentSet = SGBNR::lightnessSet;
   else if ( model == 2 && currentSet != SGBNR::lightnessSet && currentSet != SGBNR::aSet && currentSet != SGBNR::bSet )
      currentSet = SGBNR::lightnessSet;
   UpdateControls();
}

void TSGBNRWindow::SetSpeedButtonClick( int32_t set )
{
   if ( UpdatingControls() )
      return;
   currentSet = set;
   UpdateControls();
}

void TSGBNRWindow::Apply_CheckBoxClick()
{
   if ( UpdatingControls() )
      return;
   parameters.apply[size_t( currentSet )] = Apply_CheckBox->isChecked();
   UpdateControls();
}

void TSGBNRWindow::Iterations_ComboBoxSelect()
{
   if ( !UpdatingControls() )
      parameters.numberOfIterations[size_t( currentSet )] = Iterations_ComboBox->currentIndex() + 1;
}

void TSGBNRWindow::EPSidesCheckBoxClick()
{
   if ( UpdatingControls() )
      return;
   parameters.darkSidesEdgesProtection[size_t( currentSet )] = EPDarkSides_CheckBox->isChecked();
   parameters.brightSidesEdgesProtection[size_t( currentSet )] = EPBrightSides_CheckBox->isChecked();
   UpdateEdgesProtection();
}

void TSGBNRWindow::LuminanceMask_CheckBoxClick()
{
   if ( UpdatingControls() )
      return;
   parameters.luminanceMask = LuminanceMask_CheckBox->isChecked();
   UpdateLuminanceMask();
}

void TSGBNRWindow::ResetFilter_ButtonClick()
{
   parameters.ResetFilter( currentSet );
   UpdateLowPassFilter();
}

void TSGBNRWindow::ResetEdgesProtection_ButtonClick()
{
   parameters.ResetEdgesProtection( currentSet );
   UpdateEdgesProtection();
}

void TSGBNRWindow::ResetLuminanceMask_ButtonClick()
{
   parameters.ResetLuminanceMask();
   UpdateLuminanceMask();
}

void TSGBNRWindow::EditExit( const NumericField& field )
{
   float& stored = field.value();
   try
   {
      const float value = float( ReadNumberFromEdit( field.edit, field.editMinimum, field.editMaximum, true ) );
      if ( value != stored )
      {
         {
            TMainWindow::ControlUpdateGuard guard;
            const QSignalBlocker blocker( field.trackBar );
            stored = value;
            SetTrackBarValue( field.trackBar, stored, field.trackMinimum, field.trackMaximum );
         }
         if ( field.changed )
            field.changed();
      }
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
   }
   WriteRealToEdit( field.edit, field.value(), field.editDecimals );
}

void TSGBNRWindow::TrackBarChange( const NumericField& field )
{
   if ( UpdatingControls() )
      return;
   const float value =
      float( RoundTo( double( GetTrackBarValue( field.trackBar, field.trackMinimum, field.trackMaximum ) ),
                      field.trackDecimals ) );
   float& stored = field.value();
   if ( value == stored )
      return;
   stored = value;
   WriteRealToEdit( field.edit, stored, field.editDecimals );
   if ( field.changed )
      field.changed();
}

TSGBNRWindow& SGBNRWindow()
{
   static QPointer<TSGBNRWindow> window;
   if ( window.isNull() )
      window = new TSGBNRWindow( MainWindow );
   return *window;
}
