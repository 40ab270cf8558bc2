#include "windows/processing/ExtractChannelsWindow.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

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
   RGB_RadioButton = space.buttons[0];
   HSV_RadioButton = space.buttons[1];
   CIEXYZ_RadioButton = space.buttons[2];
   CIELab_RadioButton = space.buttons[3];
   CIELch_RadioButton = space.buttons[4];
   space.OnClick( this, [this]( int32_t code ) { ColorSpace_RadioButtonClick( code ); } );

   auto* channels = new QFrame( this );
   channels->setObjectName( "Channels_Panel" );
   channels->setFrameShape( QFrame::StyledPanel );
   auto* grid = new QGridLayout( channels );
   ChannelsCaption_Panel = MakeCaptionPanel( channels, "ChannelsCaption_Panel", "  Channels/Target Images" );
   grid->addWidget( ChannelsCaption_Panel, 0, 0, 1, 2 );
   for ( int i = 0; i < 3; ++i )
   {
      CH_CheckBox[i] = new QCheckBox( channels );
      CH_CheckBox[i]->setObjectName( QString( "CH%1_CheckBox" ).arg( i + 1 ) );
      connect( CH_CheckBox[i], &QCheckBox::clicked, this, [this, i] { CH_CheckBoxClick( i ); } );
      CH_Edit[i] = new QLineEdit( channels );
      CH_Edit[i]->setObjectName( QString( "CH%1_Edit" ).arg( i + 1 ) );
      SetEditExitHandler( CH_Edit[i], [this, i] { CH_EditExit( i ); } );
      grid->addWidget( CH_CheckBox[i], i + 1, 0 );
      grid->addWidget( CH_Edit[i], i + 1, 1 );
   }
   AutoIdentifiers_CheckBox = new QCheckBox( "Auto Identifiers", channels );
   AutoIdentifiers_CheckBox->setObjectName( "AutoIdentifiers_CheckBox" );
   connect( AutoIdentifiers_CheckBox, &QCheckBox::clicked, this, [this] { AutoIdentifiers_CheckBoxClick(); } );
   grid->addWidget( AutoIdentifiers_CheckBox, 4, 1 );

   ButtonRow buttons = MakeButtonRow( this, { "Apply_SpeedButton", "SelectImages_SpeedButton" } );
   Apply_SpeedButton = buttons.buttons[0];
   Apply_SpeedButton->setText( "Apply" );
   SelectImages_SpeedButton = buttons.buttons[1];

   auto* layout = new QGridLayout( this );
   layout->addWidget( space.panel, 0, 0 );
   layout->addWidget( channels, 0, 1 );
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
