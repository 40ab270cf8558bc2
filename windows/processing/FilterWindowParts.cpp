#include "windows/processing/FilterWindowParts.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QSlider>
#include <QToolButton>

#include <algorithm>
#include <cmath>

#include "classlib/Exception.h"
#include "support/Utils.h"
#include "windows/main/MainWindow.h"

namespace
{

constexpr double minimumAmount = 0.01;

} // namespace

bool UpdatingControls()
{
   return MainWindow != nullptr && MainWindow->UpdatingControls();
}

QHBoxLayout* MakeStandardButtons( QWidget* form )
{
   auto* buttons = new QHBoxLayout;
   const char* standard[][2] = { { "Preview_Button", "Apply to previews (F5)" },
                                 { "Apply_Button", "Apply to images (F9)" },
                                 { "SelectPreviews_Button", "Select previews (Ctrl+F5)" },
                                 { "SelectImages_Button", "Select images (Ctrl+F9)" } };
   for ( const auto& b : standard )
   {
      auto* button = new QToolButton( form );
      button->setObjectName( b[0] );
      button->setToolTip( b[1] );
      buttons->addWidget( button );
   }
   buttons->addStretch();
   return buttons;
}

void MakeAmountControls( QWidget* parent, QLineEdit*& edit, QSlider*& trackBar )
{
   edit = new QLineEdit( parent );
   edit->setObjectName( "Amount_Edit" );
   edit->setFixedWidth( 60 );
   trackBar = new QSlider( Qt::Horizontal, parent );
   trackBar->setObjectName( "Amount_TrackBar" );
   trackBar->setRange( 0, 100 );
   trackBar->setPageStep( 10 );
   trackBar->setTickInterval( 10 );
   trackBar->setTickPosition( QSlider::TicksBelow );
   trackBar->setFocusPolicy( Qt::ClickFocus );
   trackBar->setFocusProxy( edit );
}

void ShowAmount( QLineEdit* edit, QSlider* trackBar, float amount )
{
   WriteRealToEdit( edit, amount, 2 );
   SetTrackBarValue( trackBar, amount, 0, 1 );
}

bool CommitAmountEdit( QLineEdit* edit, QSlider* trackBar, float& amount )
{
   bool accepted = true;
   try
   {
      const float value = float( ReadNumberFromEdit( edit, minimumAmount, 1.0, true ) );
      if ( value != amount )
      {
         amount = value;
         TMainWindow::ControlUpdateGuard guard;
         SetTrackBarValue( trackBar, amount, 0, 1 );
      }
   }
   catch ( const qor::CatchedException& )
   {
      accepted = false;
   }
   WriteRealToEdit( edit, amount, 2 );
   return accepted;
}

void TakeAmountFromTrackBar( QLineEdit* edit, QSlider* trackBar, float& amount )
{
   float value = float( std::round( GetTrackBarValue( trackBar, 0, 1 ) * 100 ) / 100 );
   value = std::max( value, float( minimumAmount ) );
   if ( value != amount )
   {
      amount = value;
      WriteRealToEdit( edit, amount, 2 );
   }
}
