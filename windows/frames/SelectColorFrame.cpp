#include "windows/frames/SelectColorFrame.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QSignalBlocker>
#include <QSlider>
#include <QToolButton>
#include <QVBoxLayout>

#include "classlib/Exception.h"
#include "classlib/Math.h"
#include "platform/ColorPicker.h"
#include "support/Utils.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ProcessingInterface.h"

namespace
{

// True while a window fills its controls: the frame's handlers then do nothing.
bool UpdatingControls()
{
   return MainWindow != nullptr && MainWindow->UpdatingControls();
}

constexpr const char* ColorLabels[3] = { "R:", "G:", "B:" };
constexpr const char* GrayLabels[3] = { "K:", "", "" };

} // namespace

TSelectColor_Frame::TSelectColor_Frame( QWidget* owner ) : QFrame( owner )
{
   setObjectName( "SelectColor_Frame" );

   Color_Panel = new QFrame( this );
   Color_Panel->setObjectName( "Color_Panel" );
   Color_Panel->setFrameShape( QFrame::StyledPanel );
   Caption_Panel = new QLabel( "  Color", Color_Panel );
   Caption_Panel->setObjectName( "Caption_Panel" );

   auto* rows = new QGridLayout;
   const char* names[3][3] = { { "R_Label", "R_Edit", "R_TrackBar" },
                               { "G_Label", "G_Edit", "G_TrackBar" },
                               { "B_Label", "B_Edit", "B_TrackBar" } };
   for ( int i = 0; i < 3; ++i )
   {
      labels[i] = new QLabel( ColorLabels[i], Color_Panel );
      labels[i]->setObjectName( names[i][0] );
      labels[i]->setMinimumWidth( 16 );
      edits[i] = new QLineEdit( Color_Panel );
      edits[i]->setObjectName( names[i][1] );
      edits[i]->setFixedWidth( 60 );
      edits[i]->installEventFilter( this );
      SetEditExitHandler( edits[i], [this, edit = edits[i]]() { RGB_EditExit( edit ); } );
      trackBars[i] = new QSlider( Qt::Horizontal, Color_Panel );
      trackBars[i]->setObjectName( names[i][2] );
      trackBars[i]->setRange( 0, 100 );
      trackBars[i]->setTickPosition( QSlider::TicksBelow );
      trackBars[i]->setTickInterval( 10 );
      trackBars[i]->setMinimumWidth( 200 );
      trackBars[i]->installEventFilter( this );
      connect( trackBars[i], &QSlider::valueChanged, this,
               [this, trackBar = trackBars[i]]( int ) { RGB_TrackBarChange( trackBar ); } );
      rows->addWidget( labels[i], i, 0 );
      rows->addWidget( edits[i], i, 1 );
      rows->addWidget( trackBars[i], i, 2 );
   }
   R_Label = labels[0], G_Label = labels[1], B_Label = labels[2];
   R_Edit = edits[0], G_Edit = edits[1], B_Edit = edits[2];
   R_TrackBar = trackBars[0], G_TrackBar = trackBars[1], B_TrackBar = trackBars[2];

   auto* presets = new QHBoxLayout;
   auto addPreset =
       [&]( QToolButton*& button, const char* name, const char* text, void ( TSelectColor_Frame::*click )() )
   {
      button = new QToolButton( Color_Panel );
      button->setObjectName( name );
      button->setText( text );
      button->setMinimumWidth( 36 );
      connect( button, &QToolButton::clicked, this, click );
      presets->addWidget( button );
   };
   addPreset( _0_SpeedButton, "_0_SpeedButton", "0.0", &TSelectColor_Frame::_0_SpeedButtonClick );
   addPreset( _1_SpeedButton, "_1_SpeedButton", "1.0", &TSelectColor_Frame::_1_SpeedButtonClick );
   addPreset( _05_SpeedButton, "_05_SpeedButton", "0.5", &TSelectColor_Frame::_05_SpeedButtonClick );
   addPreset( _033_SpeedButton, "_033_SpeedButton", "0.33", &TSelectColor_Frame::_033_SpeedButtonClick );
   addPreset( _025_SpeedButton, "_025_SpeedButton", "0.25", &TSelectColor_Frame::_025_SpeedButtonClick );

   Gray_CheckBox = new QCheckBox( "Gray", Color_Panel );
   Gray_CheckBox->setObjectName( "Gray_CheckBox" );
   // clicked: the user's ticks only, never UpdateControls' own.
   connect( Gray_CheckBox, &QCheckBox::clicked, this, [this]() { Gray_CheckBoxClick(); } );
   presets->addSpacing( 8 );
   presets->addWidget( Gray_CheckBox );
   presets->addStretch( 1 );

   ColorSample_Panel = new QFrame( Color_Panel );
   ColorSample_Panel->setObjectName( "ColorSample_Panel" );
   ColorSample_Panel->setFrameShape( QFrame::Box );
   ColorSample_Panel->setFixedSize( 48, 24 );
   ColorSample_Panel->setAutoFillBackground( true );
   ColorSample_Panel->setCursor( Qt::PointingHandCursor );
   ColorSample_Panel->setToolTip( "Click to select a color" );
   ColorSample_Panel->installEventFilter( this );
   presets->addWidget( ColorSample_Panel );

   auto* panel = new QVBoxLayout( Color_Panel );
   panel->setContentsMargins( 4, 2, 4, 4 );
   panel->addWidget( Caption_Panel );
   panel->addLayout( rows );
   panel->addLayout( presets );
   auto* layout = new QVBoxLayout( this );
   layout->setContentsMargins( 0, 0, 0, 0 );
   layout->addWidget( Color_Panel );

   UpdateControls();
}

void TSelectColor_Frame::UpdateControls()
{
   TMainWindow::ControlUpdateGuard guard;
   // Without a main window the guard counts nothing, and a track bar moved from here must not come back as a move
   // of the user's (it would round the channel to two decimals).
   const QSignalBlocker r( R_TrackBar ), g( G_TrackBar ), b( B_TrackBar );

   Gray_CheckBox->setEnabled( !grayOnly );
   const bool colorMode = !grayOnly && !Gray_CheckBox->isChecked();
   for ( int i = 1; i < 3; ++i )
   {
      labels[i]->setEnabled( colorMode );
      edits[i]->setEnabled( colorMode );
      trackBars[i]->setEnabled( colorMode );
   }
   if ( !colorMode )
      color[1] = color[2] = color[0];
   for ( int i = 0; i < 3; ++i )
   {
      labels[i]->setText( colorMode ? ColorLabels[i] : GrayLabels[i] );
      WriteRealToEdit( edits[i], color[i], 4 );
      SetTrackBarValue( trackBars[i], color[i], 0, 1 );
   }
   UpdateSample();
}

QColor TSelectColor_Frame::SampleColor() const
{
   auto byte = [this]( int i ) { return int( qor::Round( color[i] * 255.0f ) ); };
   return QColor( byte( 0 ), byte( 1 ), byte( 2 ) );
}

void TSelectColor_Frame::UpdateSample()
{
   QPalette palette = ColorSample_Panel->palette();
   palette.setColor( QPalette::Window, SampleColor() );
   ColorSample_Panel->setPalette( palette );
}

void TSelectColor_Frame::ColorEdited()
{
   UpdateControls();
   Q_EMIT ColorChanged( this );
}

int TSelectColor_Frame::ChannelOf( const QObject* control ) const
{
   for ( int i = 0; i < 3; ++i )
      if ( control == edits[i] || control == trackBars[i] )
         return i;
   return -1;
}

void TSelectColor_Frame::EditEnter()
{
   if ( TProcessingInterface* form = InterfaceOf( this ) )
      form->EditEnter();
}

void TSelectColor_Frame::RGB_EditExit( QLineEdit* edit )
{
   const int i = ChannelOf( edit );
   if ( i < 0 )
      return;
   try
   {
      const float value = float( ReadNumberFromEdit( edit, 0, 1, true ) );
      if ( value != color[i] )
      {
         color[i] = value;
         ColorEdited();
         return;
      }
   }
   catch ( const qor::CatchedException& )
   {
      MarkInputError( edit );
   }
   WriteRealToEdit( edit, color[i], 4 );
}

void TSelectColor_Frame::RGB_TrackBarEnter( QSlider* trackBar )
{
   const int i = ChannelOf( trackBar );
   if ( i >= 0 )
      edits[i]->setFocus( Qt::OtherFocusReason );
}

void TSelectColor_Frame::RGB_TrackBarChange( QSlider* trackBar )
{
   if ( UpdatingControls() )
      return;
   const int i = ChannelOf( trackBar );
   if ( i < 0 )
      return;
   // Two decimals: the track bar has a hundred steps.
   const float value = float( qor::Round( 100 * GetTrackBarValue( trackBar, 0, 1 ) ) / 100 );
   if ( value != color[i] )
   {
      color[i] = value;
      ColorEdited();
   }
}

void TSelectColor_Frame::Gray_CheckBoxClick()
{
   if ( UpdatingControls() )
      return;
   ColorEdited();
}

void TSelectColor_Frame::SetLevel( float level )
{
   color = { level, level, level };
   ColorEdited();
}

void TSelectColor_Frame::_0_SpeedButtonClick()
{
   SetLevel( 0.0f );
}

void TSelectColor_Frame::_1_SpeedButtonClick()
{
   SetLevel( 1.0f );
}

void TSelectColor_Frame::_05_SpeedButtonClick()
{
   SetLevel( 0.5f );
}

void TSelectColor_Frame::_033_SpeedButtonClick()
{
   SetLevel( 1.0f / 3 );
}

void TSelectColor_Frame::_025_SpeedButtonClick()
{
   SetLevel( 0.25f );
}

void TSelectColor_Frame::ColorSample_PanelClick()
{
   const QColor chosen = platform::ColorPicker::getColor( SampleColor(), this );
   if ( !chosen.isValid() )
      return;
   color = { chosen.red() / 255.0f, chosen.green() / 255.0f, chosen.blue() / 255.0f };
   ColorEdited();
}

bool TSelectColor_Frame::eventFilter( QObject* watched, QEvent* event )
{
   switch ( event->type() )
   {
   case QEvent::FocusIn:
      if ( auto* trackBar = qobject_cast<QSlider*>( watched ) )
         RGB_TrackBarEnter( trackBar );
      else if ( qobject_cast<QLineEdit*>( watched ) != nullptr )
         EditEnter();
      break;
   case QEvent::MouseButtonRelease:
      if ( watched == ColorSample_Panel )
      {
         const auto* mouse = static_cast<QMouseEvent*>( event );
         if ( mouse->button() == Qt::LeftButton && ColorSample_Panel->rect().contains( mouse->position().toPoint() ) )
         {
            ColorSample_PanelClick();
            return true;
         }
      }
      break;
   default:
      break;
   }
   return QFrame::eventFilter( watched, event );
}
