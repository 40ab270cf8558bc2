#include "windows/processing/ReadoutOptionsWindow.h"

#include <QButtonGroup>
#include <QGridLayout>
#include <QGroupBox>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "windows/main/MainWindow.h"

namespace
{

struct ButtonSpec
{
   const char* name;
   const char* caption;
   int64_t value;
};

} // namespace

TReadoutOptionsWindow::TReadoutOptionsWindow( QWidget* owner ) : TProcessingWindow( owner )
{
   setObjectName( "ReadoutOptionsWindow" );
   setWindowTitle( "Readout Options" );
   auto* layout = new QGridLayout( this );

   // A panel of buttons for one field; clicking one stores its value (and, where it says so, updates the rest).
   auto panel = [this]( QWidget* box, Group& group, const std::vector<ButtonSpec>& specs, auto& members,
                        std::function<void( int64_t )> store )
   {
      auto* column = new QVBoxLayout( box );
      group.buttons = new QButtonGroup( this );
      for ( size_t i = 0; i < specs.size(); ++i )
      {
         auto* b = new QRadioButton( specs[i].caption, box );
         b->setObjectName( specs[i].name );
         column->addWidget( b );
         group.buttons->addButton( b, int( i ) );
         group.values.push_back( specs[i].value );
         members[i] = b;
         const int64_t value = specs[i].value;
         connect( b, &QRadioButton::clicked, this, [store, value] { store( value ); } );
      }
   };
   auto titled = [this]( const char* name, const char* caption )
   {
      auto* box = new QGroupBox( caption, this );
      box->setObjectName( name );
      return box;
   };

   QGroupBox* dataBox = titled( "Data_Panel", "  Data / Color Space" );
   panel( dataBox, data,
          { { "RGB_RadioButton", "RGB", 0 }, { "RGBL_RadioButton", "RGB + L*", 1 }, { "HSV_RadioButton", "HSV", 2 },
            { "CIEXYZ_RadioButton", "CIE XYZ", 3 }, { "CIELab_RadioButton", "CIE L*a*b*", 4 },
            { "CIELch_RadioButton", "CIE L*c*h*", 5 } },
          Data_RadioButtons, [this]( int64_t v ) { options.data = uint8_t( v ); } );
   QGroupBox* modeBox = titled( "Mode_Panel", "  Calculation Mode" );
   panel( modeBox, mode,
          { { "Mean_RadioButton", "Mean", 0 }, { "Median_RadioButton", "Median", 1 },
            { "Min_RadioButton", "Minimum", 2 }, { "Max_RadioButton", "Maximum", 3 } },
          Mode_RadioButtons, [this]( int64_t v ) { options.mode = uint8_t( v ); } );
   QGroupBox* probeBox = titled( "ProbeSize_Panel", "  Probe Size" );
   panel( probeBox, probe,
          { { "S1x1_RadioButton", "Single Pixel", 1 }, { "S3x3_RadioButton", "3x3", 3 },
            { "S5x5_RadioButton", "5x5", 5 }, { "S7x7_RadioButton", "7x7", 7 }, { "S9x9_RadioButton", "9x9", 9 },
            { "S11x11_RadioButton", "11x11", 11 }, { "S13x13_RadioButton", "13x13", 13 },
            { "S15x15_RadioButton", "15x15", 15 } },
          ProbeSize_RadioButtons,
          [this]( int64_t v )
          {
             options.probeSize = int32_t( v );
             UpdateControls();
          } );

   // The two range panels carry their switch in the caption row.
   std::array<QRadioButton*, 2> rangeSwitches{};
   auto* rangePanels = new QWidget( this );
   auto* rangeColumns = new QGridLayout( rangePanels );
   QGroupBox* realBox = titled( "RealRange_Panel", "" );
   QGroupBox* integerBox = titled( "IntegerRange_Panel", "" );
   auto* switches = new QWidget( this );
   panel( switches, range, { { "Real_RadioButton", "Real Range", 1 }, { "Integer_RadioButton", "Integer Range", 0 } },
          rangeSwitches,
          [this]( int64_t v )
          {
             if ( MainWindow != nullptr && MainWindow->UpdatingControls() )
                return;
             options.real = v != 0;
             UpdateControls();
          } );
   Real_RadioButton = rangeSwitches[0];
   Integer_RadioButton = rangeSwitches[1];
   rangeColumns->addWidget( Real_RadioButton, 0, 0 );
   rangeColumns->addWidget( Integer_RadioButton, 0, 1 );
   rangeColumns->addWidget( realBox, 1, 0 );
   rangeColumns->addWidget( integerBox, 1, 1 );
   panel( realBox, precision,
          { { "Real01_RadioButton", "1 - 0.1", 1 }, { "Real02_RadioButton", "2 - 0.01", 2 },
            { "Real03_RadioButton", "3 - 0.001", 3 }, { "Real04_RadioButton", "4 - 0.0001", 4 },
            { "Real05_RadioButton", "5 - 0.00001", 5 }, { "Real06_RadioButton", "6 - 0.000001", 6 } },
          Precision_RadioButtons, [this]( int64_t v ) { options.precision = int32_t( v ); } );
   panel( integerBox, maxValue,
          { { "Integer8Bit_RadioButton", "8-bit (256 values)", 255 },
            { "Integer12Bit_RadioButton", "12-bit (4,096)", 4095 },
            { "Integer16Bit_RadioButton", "16-bit (65,536)", 65535 },
            { "Integer32Bit_RadioButton", "32-bit (4M)", 4294967295LL },
            { "Integer100_RadioButton", "100 values", 99 }, { "Integer1000_RadioButton", "1,000", 999 },
            { "Integer10000_RadioButton", "10,000", 9999 }, { "Integer100000_RadioButton", "100,000", 99999 } },
          Range_RadioButtons, [this]( int64_t v ) { options.maxValue = uint32_t( v ); } );
   delete switches;

   layout->addWidget( dataBox, 0, 0 );
   layout->addWidget( modeBox, 0, 1 );
   layout->addWidget( probeBox, 0, 2 );
   layout->addWidget( rangePanels, 1, 0, 1, 3 );

   Apply_SpeedButton = new QToolButton( this );
   Apply_SpeedButton->setObjectName( "Apply_SpeedButton" );
   Apply_SpeedButton->setText( "Apply" );
   Apply_SpeedButton->setToolTip( "Apply" );
   LoadCurrentOptions_Button = new QPushButton( "Load Current Options", this );
   LoadCurrentOptions_Button->setObjectName( "LoadCurrentOptions_Button" );
   connect( LoadCurrentOptions_Button, &QPushButton::clicked, this, [this] { LoadCurrentOptions(); } );
   layout->addWidget( Apply_SpeedButton, 2, 0 );
   layout->addWidget( LoadCurrentOptions_Button, 2, 1, 1, 2 );
}

std::unique_ptr<Process> TReadoutOptionsWindow::NewInstance()
{
   return std::make_unique<ReadoutOptions>( options );
}

void TReadoutOptionsWindow::ImportInstance( const Process& instance )
{
   const auto* readout = dynamic_cast<const ReadoutOptions*>( &instance );
   if ( readout == nullptr )
      return;
   options = readout->Options();
   imported = true;
   UpdateControls();
}

void TReadoutOptionsWindow::Apply()
{
   std::unique_ptr<Process> instance = NewInstance();
   instance->ExecuteGlobal();
}

void TReadoutOptionsWindow::LoadCurrentOptions()
{
   options = CurrentReadoutOptions();
   UpdateControls();
}

void TReadoutOptionsWindow::Check( const Group& group, int64_t value )
{
   group.buttons->setExclusive( false );
   const QList<QAbstractButton*> buttons = group.buttons->buttons();
   for ( QAbstractButton* b : buttons )
      b->setChecked( group.values[size_t( group.buttons->id( b ) )] == value );
   group.buttons->setExclusive( true );
}

void TReadoutOptionsWindow::UpdateControls()
{
   TMainWindow::ControlUpdateGuard guard;
   Check( data, options.data );
   Check( mode, options.mode );
   Check( probe, options.probeSize );
   Check( range, options.real ? 1 : 0 );
   Check( precision, options.precision );
   Check( maxValue, options.maxValue );
   for ( QRadioButton* b : Mode_RadioButtons )
      b->setEnabled( options.probeSize != 1 );
   for ( QRadioButton* b : Precision_RadioButtons )
      b->setEnabled( options.real );
   for ( QRadioButton* b : Range_RadioButtons )
      b->setEnabled( !options.real );
}

void TReadoutOptionsWindow::FormShow()
{
   if ( imported )
      imported = false;
   else
      LoadCurrentOptions();
}

void TReadoutOptionsWindow::showEvent( QShowEvent* event )
{
   TProcessingWindow::showEvent( event );
   FormShow();
}

TReadoutOptionsWindow& ReadoutOptionsWindow()
{
   static QPointer<TReadoutOptionsWindow> window;
   if ( window == nullptr )
      window = new TReadoutOptionsWindow;
   return *window;
}
