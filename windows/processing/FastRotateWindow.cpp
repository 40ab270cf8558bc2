#include "windows/processing/FastRotateWindow.h"

#include <QFrame>
#include <QPointer>
#include <QRadioButton>
#include <QToolButton>
#include <QVBoxLayout>

#include "process/FastRotate.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ColorSpaceControls.h"

TFastRotateWindow::TFastRotateWindow( QWidget* owner ) : TProcessingWindow( owner )
{
   setObjectName( "FastRotateWindow" );
   setWindowTitle( "Fast Rotate" );

   RotationParameters_Panel = new QFrame( this );
   RotationParameters_Panel->setObjectName( "RotationParameters_Panel" );
   RotationParameters_Panel->setFrameShape( QFrame::StyledPanel );
   auto* panel = new QVBoxLayout( RotationParameters_Panel );
   const char* names[5] = { "_180_RadioButton", "_90CW_RadioButton", "_90CCW_RadioButton", "HorzMirror_RadioButton",
                            "VertMirror_RadioButton" };
   const char* captions[5] = { "180 degrees", "90 degrees, clockwise", "90 degrees, counter-clockwise",
                               "Horizontal mirror", "Vertical mirror" };
   for ( int i = 0; i < 5; ++i )
   {
      buttons[i] = new QRadioButton( captions[i], RotationParameters_Panel );
      buttons[i]->setObjectName( names[i] );
      panel->addWidget( buttons[i] );
   }
   _180_RadioButton = buttons[0];
   _90CW_RadioButton = buttons[1];
   _90CCW_RadioButton = buttons[2];
   HorzMirror_RadioButton = buttons[3];
   VertMirror_RadioButton = buttons[4];
   _180_RadioButton->setChecked( true );

   ButtonRow row = MakeButtonRow( this, { "Apply_SpeedButton", "SelectImages_SpeedButton" } );
   Apply_SpeedButton = row.buttons[0];
   Apply_SpeedButton->setText( "Apply" );
   SelectImages_SpeedButton = row.buttons[1];

   auto* layout = new QVBoxLayout( this );
   layout->addWidget( RotationParameters_Panel );
   layout->addWidget( row.row, 0, Qt::AlignRight );
}

std::unique_ptr<Process> TFastRotateWindow::NewInstance()
{
   int32_t rotation = FastRotate::_180deg;
   for ( int32_t i = 0; i < 5; ++i )
      if ( buttons[i]->isChecked() )
      {
         rotation = i;
         break;
      }
   return std::make_unique<FastRotate>( rotation );
}

void TFastRotateWindow::ImportInstance( const Process& instance )
{
   const auto* fast = dynamic_cast<const FastRotate*>( &instance );
   if ( fast == nullptr )
      return;
   const int32_t rotation = fast->Params().rotation;
   TMainWindow::ControlUpdateGuard guard;
   buttons[( rotation >= 0 && rotation < 5 ) ? rotation : 0]->setChecked( true );
}

TFastRotateWindow& FastRotateWindow()
{
   static QPointer<TFastRotateWindow> window;
   if ( window.isNull() )
      window = new TFastRotateWindow( MainWindow );
   return *window;
}
