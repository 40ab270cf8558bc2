#include "windows/processing/RotateWindow.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QToolButton>

#include <cmath>

#include "classlib/Exception.h"
#include "classlib/Math.h"
#include "process/Rotate.h"
#include "support/Utils.h"
#include "windows/frames/InterpolationParametersFrame.h"
#include "windows/frames/SelectColorFrame.h"
#include "windows/frames/ViewsListFrame.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/AngleDial.h"
#include "windows/processing/ColorSpaceControls.h"
#include "windows/processing/FilterWindowParts.h"

namespace
{

constexpr float RadiansPerDegree = 0.017453292f;

} // namespace

TRotateWindow::TRotateWindow( QWidget* owner ) : TGeometryWindow( owner )
{
   setObjectName( "RotateWindow" );
   setWindowTitle( "Rotate" );
   followUpdatedView = false;

   auto* parameters = new QFrame( this );
   parameters->setObjectName( "RotationParameters_Panel" );
   parameters->setFrameShape( QFrame::StyledPanel );
   auto* grid = new QGridLayout( parameters );
   grid->addWidget( MakeCaptionPanel( parameters, "RotationParametersCaption_Panel", "  Rotation Parameters" ), 0, 0,
                    1, 3 );
   auto* label = new QLabel( "Angle:", parameters );
   label->setObjectName( "Angle_Label" );
   Angle_Edit = new QLineEdit( parameters );
   Angle_Edit->setObjectName( "Angle_Edit" );
   SetEditExitHandler( Angle_Edit, [this] { Angle_EditExit(); } );
   Clockwise_RadioButton = new QRadioButton( "Clockwise", parameters );
   Clockwise_RadioButton->setObjectName( "Clockwise_RadioButton" );
   CounterClockwise_RadioButton = new QRadioButton( "Counter-clockwise", parameters );
   CounterClockwise_RadioButton->setObjectName( "CounterClockwise_RadioButton" );
   for ( QRadioButton* b : { Clockwise_RadioButton, CounterClockwise_RadioButton } )
      connect( b, &QRadioButton::clicked, this, [this] { Direction_RadioButtonClick(); } );
   Angle_PaintBox = new TAngleDial(
       this, [this] { return SignedAngle(); }, [this]( int x, int y ) { Angle_PaintBoxDrag( x, y ); },
       [this]( bool held ) { dialDragging = held; } );
   OptimizeFast_CheckBox = new QCheckBox( "Optimize fast rotations", parameters );
   OptimizeFast_CheckBox->setObjectName( "OptimizeFast_CheckBox" );
   grid->addWidget( label, 1, 0 );
   grid->addWidget( Angle_Edit, 1, 1 );
   grid->addWidget( Clockwise_RadioButton, 2, 1 );
   grid->addWidget( CounterClockwise_RadioButton, 3, 1 );
   grid->addWidget( Angle_PaintBox, 1, 2, 3, 1 );
   grid->addWidget( OptimizeFast_CheckBox, 4, 0, 1, 3 );

   InterpolationParameters_Frame = new TInterpolationParameters_Frame( this );
   FillColor_Frame = MakeFillColorFrame( "  Fill Color" );

   auto* layout = new QGridLayout( this );
   layout->addWidget( ViewsList, 0, 0, 1, 2 );
   layout->addWidget( parameters, 1, 0 );
   layout->addWidget( InterpolationParameters_Frame, 2, 0 );
   layout->addWidget( FillColor_Frame, 1, 1, 2, 1 );
   layout->addWidget( Info_Panel, 3, 0, 1, 2 );
   layout->addWidget( Buttons_Panel, 4, 1, Qt::AlignRight );

   {
      TMainWindow::ControlUpdateGuard guard;
      OptimizeFast_CheckBox->setChecked( true );
   }
   SelectView( nullptr );
}

void TRotateWindow::TakeView( TImageWindow::View* view )
{
   if ( view == nullptr )
      return;
   const qor::Image& image = view->GetImage();
   imageWidth = image.Width();
   imageHeight = image.Height();
   channelCount = image.NumberOfNominalChannels();
   FillColor_Frame->grayOnly = !image.IsColor();
}

void TRotateWindow::UpdateControls()
{
   UpdateAngleControls();
   UpdateInfo();
   FillColor_Frame->UpdateControls();
   InterpolationParameters_Frame->UpdateControls();
}

float TRotateWindow::SignedAngle() const
{
   const float a = angle * RadiansPerDegree;
   return clockwise ? -a : a;
}

void TRotateWindow::UpdateAngleControls()
{
   TMainWindow::ControlUpdateGuard guard;
   WriteRealToEdit( Angle_Edit, angle, 3 );
   ( clockwise ? Clockwise_RadioButton : CounterClockwise_RadioButton )->setChecked( true );
   Angle_PaintBox->update();
}

void TRotateWindow::UpdateInfo()
{
   int32_t w = imageWidth, h = imageHeight;
   Rotate::RotatedSize( w, h, SignedAngle() );
   ShowInfo( w, h );
}

void TRotateWindow::Angle_EditExit()
{
   try
   {
      const float value = float( ReadNumberFromEdit( Angle_Edit, 0, 180, true ) );
      if ( value != angle )
      {
         angle = value;
         UpdateAngleControls();
         UpdateInfo();
         return;
      }
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
   }
   WriteRealToEdit( Angle_Edit, angle, 3 );
}

void TRotateWindow::Direction_RadioButtonClick()
{
   if ( UpdatingControls() || Clockwise_RadioButton->isChecked() == clockwise )
      return;
   clockwise = Clockwise_RadioButton->isChecked();
   Angle_PaintBox->update();
   UpdateInfo();
}

void TRotateWindow::Angle_PaintBoxDrag( int x, int y )
{
   const int w = Angle_PaintBox->width(), h = Angle_PaintBox->height();
   const float a = std::atan2( float( h / 2 - y ), float( x - w / 2 ) );
   angle = qor::Round( std::abs( a ) * 57.29578f * 10.0f ) / 10.0f;
   clockwise = a < 0;
   UpdateAngleControls();
   UpdateInfo();
}

std::unique_ptr<Process> TRotateWindow::NewInstance()
{
   auto instance = std::make_unique<Rotate>();
   Rotate::Parameters& p = instance->Params();
   p.rotationAngle = SignedAngle();
   p.optimizeFastRotations = OptimizeFast_CheckBox->isChecked();
   p.fillColor = RGBColorParameters( FillColor_Frame->color[0], FillColor_Frame->color[1], FillColor_Frame->color[2] );
   p.interpolation.algorithm = InterpolationParameters_Frame->algorithm;
   p.interpolation.blockSize = InterpolationParameters_Frame->blockSize;
   return instance;
}

void TRotateWindow::ImportInstance( const Process& instance )
{
   const auto* rotate = dynamic_cast<const Rotate*>( &instance );
   if ( rotate == nullptr )
      return;
   const Rotate::Parameters& p = rotate->Params();
   angle = std::abs( p.rotationAngle ) * 57.29578f;
   clockwise = p.rotationAngle < 0;
   {
      TMainWindow::ControlUpdateGuard guard;
      OptimizeFast_CheckBox->setChecked( p.optimizeFastRotations );
   }
   FillColor_Frame->color = { p.fillColor.red, p.fillColor.green, p.fillColor.blue };
   InterpolationParameters_Frame->algorithm = p.interpolation.algorithm;
   InterpolationParameters_Frame->blockSize = p.interpolation.blockSize;
   UpdateControls();
}

TRotateWindow& RotateWindow()
{
   static QPointer<TRotateWindow> window;
   if ( window.isNull() )
      window = new TRotateWindow( MainWindow );
   return *window;
}
