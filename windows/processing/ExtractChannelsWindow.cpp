#include "windows/processing/ExtractChannelsWindow.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <iterator>

#include "classlib/Exception.h"
#include "support/Utils.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ColorSpaceControls.h"

TExtractChannelsWindow::TExtractChannelsWindow( QWidget* owner ) : TProcessingWindow( owner )
{
   setObjectName( "ExtractChannelsWindow" );
   setWindowTitle( "Extract Channels" );

   space = MakeColorSpacePanel( this );
   ColorSpaceCaption_Panel = space.caption;
   space.Expose( RGB_RadioButton, HSV_RadioButton, CIEXYZ_RadioButton, CIELab_RadioButton, CIELch_RadioButton );
   space.OnClick( this, [this]( int32_t code ) { ColorSpace_RadioButtonClick( code ); } );

   ChannelsControls channels = MakeChannelsPanel( this, "  Channels/Target Images" );
   ChannelsCaption_Panel = channels.caption;
   channels.AddComponents(
      this,
      [&]( int i )
      {
         CH_Edit[i] = new QLineEdit( channels.panel );
         CH_Edit[i]->setObjectName( QString( "CH%1_Edit" ).arg( i + 1 ) );
         SetEditExitHandler( CH_Edit[i], [this, i] { CH_EditExit( i ); } );
         return CH_Edit[i];
      },
      [this]( int i ) { CH_CheckBoxClick( i ); } );
   std::copy( std::begin( channels.boxes ), std::end( channels.boxes ), CH_CheckBox );
   channels.AddAutoIdentifiers( this, [this] { AutoIdentifiers_CheckBoxClick(); } );
   AutoIdentifiers_CheckBox = channels.autoIdentifiers;

   ButtonRow buttons = MakeButtonRow( this, { "Apply_SpeedButton", "SelectImages_SpeedButton" } );
   Apply_SpeedButton = buttons.buttons[0];
   Apply_SpeedButton->setText( "Apply" );
   SelectImages_SpeedButton = buttons.buttons[1];

   auto* layout = new QGridLayout( this );
   layout->addWidget( space.panel, 0, 0 );
   layout->addWidget( channels.panel, 0, 1 );
   layout->addWidget( buttons.row, 1, 1, Qt::AlignRight );

   SetDefaultIdentifiers();
   UpdateControls();
}

std::unique_ptr<Process> TExtractChannelsWindow::NewInstance()
{
   auto instance = std::make_unique<ExtractChannels>();
   instance->Values() = parameters;
   return instance;
}

void TExtractChannelsWindow::ImportInstance( const Process& instance )
{
   if ( const auto* extract = dynamic_cast<const ExtractChannels*>( &instance ) )
   {
      parameters = extract->Values();
      UpdateControls();
   }
}

void TExtractChannelsWindow::SetDefaultIdentifiers()
{
   for ( int i = 0; i < 3; ++i )
      parameters.imageIdentifiers[size_t( i )] = ExtractChannels::Parameters::DefaultIdentifier( parameters.colorSpace, i );
}

void TExtractChannelsWindow::UpdateControls()
{
   TMainWindow::ControlUpdateGuard guard;
   space.Show( parameters.colorSpace, CH_CheckBox );
   for ( int i = 0; i < 3; ++i )
   {
      CH_CheckBox[i]->setChecked( parameters.channels[size_t( i )] );
      CH_Edit[i]->setText( QString::fromStdString( parameters.imageIdentifiers[size_t( i )] ) );
      CH_Edit[i]->setEnabled( parameters.channels[size_t( i )] && !autoIdentifiers );
   }
   AutoIdentifiers_CheckBox->setChecked( autoIdentifiers );
}

void TExtractChannelsWindow::ColorSpace_RadioButtonClick( int32_t colorSpace )
{
   parameters.colorSpace = colorSpace;
   parameters.channels = { true, true, true };
   if ( autoIdentifiers )
      SetDefaultIdentifiers();
   UpdateControls();
}

void TExtractChannelsWindow::CH_CheckBoxClick( int i )
{
   if ( CH_CheckBox[i]->isChecked() == parameters.channels[size_t( i )] )
      return;
   parameters.channels[size_t( i )] = CH_CheckBox[i]->isChecked();
   if ( parameters.NoChannel() )
      parameters.channels = { true, true, true };
   UpdateControls();
}

void TExtractChannelsWindow::CH_EditExit( int i )
{
   std::string& identifier = parameters.imageIdentifiers[size_t( i )];
   try
   {
      ReadIdentifierFromEdit( identifier, CH_Edit[i], true, true, identifier );
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
   }
   CH_Edit[i]->setText( QString::fromStdString( identifier ) );
}

void TExtractChannelsWindow::AutoIdentifiers_CheckBoxClick()
{
   if ( AutoIdentifiers_CheckBox->isChecked() == autoIdentifiers )
      return;
   autoIdentifiers = AutoIdentifiers_CheckBox->isChecked();
   if ( autoIdentifiers )
      SetDefaultIdentifiers();
   UpdateControls();
}

TExtractChannelsWindow& ExtractChannelsWindow()
{
   static QPointer<TExtractChannelsWindow> window;
   if ( window == nullptr )
      window = new TExtractChannelsWindow;
   return *window;
}
