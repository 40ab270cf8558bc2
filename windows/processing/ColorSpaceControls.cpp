#include "windows/processing/ColorSpaceControls.h"

#include <QCheckBox>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "process/ColorChannelsParameters.h"

QLabel* MakeCaptionPanel( QWidget* parent, const char* objectName, const char* caption )
{
   auto* panel = new QLabel( caption, parent );
   panel->setObjectName( objectName );
   panel->setFrameShape( QFrame::Panel );
   panel->setFrameShadow( QFrame::Raised );
   return panel;
}

ColorSpaceControls MakeColorSpacePanel( QWidget* parent )
{
   ColorSpaceControls controls;
   controls.panel = new QFrame( parent );
   controls.panel->setObjectName( "ColorSpace_Panel" );
   controls.panel->setFrameShape( QFrame::StyledPanel );
   auto* layout = new QVBoxLayout( controls.panel );
   controls.caption = MakeCaptionPanel( controls.panel, "ColorSpaceCaption_Panel", "  Color Space" );
   layout->addWidget( controls.caption );
   static const char* const names[5][2] = { { "RGB_RadioButton", "RGB" },
                                            { "HSV_RadioButton", "HSV" },
                                            { "CIEXYZ_RadioButton", "CIE XYZ" },
                                            { "CIELab_RadioButton", "CIE L*a*b*" },
                                            { "CIELch_RadioButton", "CIE L*c*h*" } };
   for ( int i = 0; i < 5; ++i )
   {
      controls.buttons[i] = new QRadioButton( names[i][1], controls.panel );
      controls.buttons[i]->setObjectName( names[i][0] );
      layout->addWidget( controls.buttons[i] );
   }
   layout->addStretch();
   return controls;
}

QRadioButton* ColorSpaceControls::Button( int32_t colorSpace ) const
{
   return ( colorSpace >= 1 && colorSpace <= 5 ) ? buttons[colorSpace - 1] : nullptr;
}

void ColorSpaceControls::Show( int32_t colorSpace, QCheckBox* const boxes[3] ) const
{
   QRadioButton* button = Button( colorSpace );
   if ( button == nullptr )
      return;
   button->setChecked( true );
   for ( int i = 0; i < 3; ++i )
      boxes[i]->setText( QString::fromStdString( ColorChannelsParameters::ComponentName( colorSpace, i ) ) );
}

void ColorSpaceControls::Expose( QRadioButton*& rgb, QRadioButton*& hsv, QRadioButton*& xyz, QRadioButton*& lab,
                                 QRadioButton*& lch ) const
{
   rgb = buttons[0];
   hsv = buttons[1];
   xyz = buttons[2];
   lab = buttons[3];
   lch = buttons[4];
}

void ColorSpaceControls::OnClick( QWidget* context, const std::function<void( int32_t )>& handler ) const
{
   for ( int32_t code = 1; code <= 5; ++code )
      QObject::connect( Button( code ), &QRadioButton::clicked, context, [handler, code] { handler( code ); } );
}

ChannelsControls MakeChannelsPanel( QWidget* parent, const char* caption )
{
   ChannelsControls controls;
   controls.panel = new QFrame( parent );
   controls.panel->setObjectName( "Channels_Panel" );
   controls.panel->setFrameShape( QFrame::StyledPanel );
   controls.grid = new QGridLayout( controls.panel );
   controls.caption = MakeCaptionPanel( controls.panel, "ChannelsCaption_Panel", caption );
   controls.grid->addWidget( controls.caption, 0, 0, 1, 2 );
   return controls;
}

void ChannelsControls::AddComponents( QWidget* context, const std::function<QWidget*( int )>& source,
                                      const std::function<void( int )>& click )
{
   for ( int i = 0; i < 3; ++i )
   {
      boxes[i] = new QCheckBox( panel );
      boxes[i]->setObjectName( QString( "CH%1_CheckBox" ).arg( i + 1 ) );
      QObject::connect( boxes[i], &QCheckBox::clicked, context, [click, i] { click( i ); } );
      grid->addWidget( boxes[i], i + 1, 0 );
      grid->addWidget( source( i ), i + 1, 1 );
   }
}

void ChannelsControls::AddAutoIdentifiers( QWidget* context, const std::function<void()>& click )
{
   autoIdentifiers = new QCheckBox( "Auto Identifiers", panel );
   autoIdentifiers->setObjectName( "AutoIdentifiers_CheckBox" );
   QObject::connect( autoIdentifiers, &QCheckBox::clicked, context, click );
   grid->addWidget( autoIdentifiers, 4, 1 );
}

ButtonRow MakeButtonRow( QWidget* parent, std::initializer_list<const char*> names )
{
   ButtonRow row;
   row.row = new QWidget( parent );
   auto* layout = new QHBoxLayout( row.row );
   layout->setContentsMargins( 0, 0, 0, 0 );
   for ( const char* name : names )
   {
      auto* button = new QToolButton( row.row );
      button->setObjectName( name );
      layout->addWidget( button );
      row.buttons.push_back( button );
   }
   return row;
}
