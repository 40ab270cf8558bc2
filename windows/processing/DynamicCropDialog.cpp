#include "windows/processing/DynamicCropDialog.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QGridLayout>
#include <QHideEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QToolButton>

#include <cmath>

#include "classlib/Exception.h"
#include "classlib/Math.h"
#include "platform/Prompter.h"
#include "process/DynamicCrop.h"
#include "support/Utils.h"
#include "windows/image/ImageWindow.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/AngleDial.h"
#include "windows/processing/ColorSpaceControls.h"
#include "windows/processing/FilterWindowParts.h"

namespace
{

constexpr float DegreesPerRadian = 57.29578f;

QPointer<TDynamicCropDialog>& Instance()
{
   static QPointer<TDynamicCropDialog> dialog;
   return dialog;
}

QPointF Midpoint( const DynamicCropData::Point& a, const DynamicCropData::Point& b )
{
   return { ( double( a.x ) + b.x ) * 0.5, ( double( a.y ) + b.y ) * 0.5 };
}

// The nearest integer of a size as the dialog shows it (halves to even), within the edits' range.
int32_t Shown( float v )
{
   const float r = qor::Round( v );
   return r >= -2147483648.0f && r < 2147483648.0f ? int32_t( r ) : 0;
}

QLineEdit* MakeEdit( QWidget* parent, const char* name )
{
   auto* edit = new QLineEdit( parent );
   edit->setObjectName( name );
   edit->setFixedWidth( 72 );
   return edit;
}

} // namespace

TDynamicCropDialog::TDynamicCropDialog( QWidget* owner ) : TProcessingDialog( owner )
{
   setObjectName( "DynamicCropDialog" );
   setWindowTitle( " Dynamic Crop/Rotate" );
   setWindowFlags( Qt::Tool | Qt::WindowTitleHint | Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint );

   auto* size = new QFrame( this );
   size->setObjectName( "SizePosition_Panel" );
   size->setFrameShape( QFrame::StyledPanel );
   auto* sizeGrid = new QGridLayout( size );
   sizeGrid->addWidget( MakeCaptionPanel( size, "SizePositionCaption_Panel", "  Size/Position" ), 0, 0, 1, 3 );
   Width_Edit = MakeEdit( size, "Width_Edit" );
   Height_Edit = MakeEdit( size, "Height_Edit" );
   AnchorX_Edit = MakeEdit( size, "AnchorX_Edit" );
   AnchorY_Edit = MakeEdit( size, "AnchorY_Edit" );
   const char* labels[4] = { "Width:", "Height:", "Anchor X:", "Anchor Y:" };
   QLineEdit* edits[4] = { Width_Edit, Height_Edit, AnchorX_Edit, AnchorY_Edit };
   for ( int i = 0; i < 4; ++i )
   {
      sizeGrid->addWidget( new QLabel( labels[i], size ), 1 + i, 0 );
      sizeGrid->addWidget( edits[i], 1 + i, 1 );
   }
   SetEditExitHandler( Width_Edit, [this] { Width_EditExit(); } );
   SetEditExitHandler( Height_Edit, [this] { Height_EditExit(); } );
   SetEditExitHandler( AnchorX_Edit, [this] { AnchorX_EditExit(); } );
   SetEditExitHandler( AnchorY_Edit, [this] { AnchorY_EditExit(); } );

   // The anchor buttons in a 3 x 3 grid over a hatched rectangle that stands for the crop rectangle.
   auto* anchors = new QFrame( size );
   anchors->setObjectName( "Anchors_Shape" );
   anchors->setFrameShape( QFrame::Box );
   anchors->setAutoFillBackground( true );
   QPalette hatched = anchors->palette();
   hatched.setBrush( QPalette::Window, QBrush( Qt::gray, Qt::BDiagPattern ) );
   anchors->setPalette( hatched );
   auto* anchorGrid = new QGridLayout( anchors );
   anchorGrid->setSpacing( 2 );
   const char* anchorNames[9] = { "TL_SpeedButton", "TM_SpeedButton", "TR_SpeedButton",
                                  "ML_SpeedButton", "MM_SpeedButton", "MR_SpeedButton",
                                  "BL_SpeedButton", "BM_SpeedButton", "BR_SpeedButton" };
   auto* group = new QButtonGroup( this );
   group->setExclusive( true );
   for ( int32_t i = 0; i < 9; ++i )
   {
      auto* b = new QToolButton( anchors );
      b->setObjectName( anchorNames[i] );
      b->setCheckable( true );
      b->setFixedSize( 16, 16 );
      group->addButton( b, i );
      connect( b, &QToolButton::clicked, this, [this, i] { Anchor_SpeedButtonClick( i ); } );
      anchorButtons[i] = b;
      anchorGrid->addWidget( b, i / 3, i % 3 );
   }
   anchorButtons[4]->setChecked( true );
   sizeGrid->addWidget( anchors, 1, 2, 4, 1 );

   auto* rotation = new QFrame( this );
   rotation->setObjectName( "Rotation_Panel" );
   rotation->setFrameShape( QFrame::StyledPanel );
   auto* rotationGrid = new QGridLayout( rotation );
   rotationGrid->addWidget( MakeCaptionPanel( rotation, "RotationCaption_Panel", "  Rotation" ), 0, 0, 1, 3 );
   Angle_Edit = MakeEdit( rotation, "Angle_Edit" );
   SetEditExitHandler( Angle_Edit, [this] { Angle_EditExit(); } );
   Clockwise_CheckBox = new QCheckBox( "Clockwise:", rotation );
   Clockwise_CheckBox->setObjectName( "Clockwise_CheckBox" );
   Clockwise_CheckBox->setLayoutDirection( Qt::RightToLeft );
   connect( Clockwise_CheckBox, &QCheckBox::clicked, this, [this] { Clockwise_CheckBoxClick(); } );
   CenterX_Edit = MakeEdit( rotation, "CenterX_Edit" );
   CenterY_Edit = MakeEdit( rotation, "CenterY_Edit" );
   SetEditExitHandler( CenterX_Edit, [this] { CenterX_EditExit(); } );
   SetEditExitHandler( CenterY_Edit, [this] { CenterY_EditExit(); } );
   rotationGrid->addWidget( new QLabel( "Angle (deg):", rotation ), 1, 0 );
   rotationGrid->addWidget( Angle_Edit, 1, 1 );
   rotationGrid->addWidget( Clockwise_CheckBox, 2, 0, 1, 2 );
   rotationGrid->addWidget( new QLabel( "Center X:", rotation ), 3, 0 );
   rotationGrid->addWidget( CenterX_Edit, 3, 1 );
   rotationGrid->addWidget( new QLabel( "Center Y:", rotation ), 4, 0 );
   rotationGrid->addWidget( CenterY_Edit, 4, 1 );
   auto* dialPanel = new QFrame( rotation );
   dialPanel->setObjectName( "Angle_Panel" );
   dialPanel->setStyleSheet( "background: black" );
   auto* dialLayout = new QGridLayout( dialPanel );
   dialLayout->setContentsMargins( 0, 0, 0, 0 );
   Angle_PaintBox = new TAngleDial(
       dialPanel, [this] { return displayAngle; }, [this]( int x, int y ) { Angle_PaintBoxDrag( x, y ); },
       [this]( bool held ) { dialDragging = held; } );
   dialLayout->addWidget( Angle_PaintBox );
   rotationGrid->addWidget( dialPanel, 1, 2, 4, 1 );
   OptimizeFast_CheckBox = new QCheckBox( "Optimize fast rotations", rotation );
   OptimizeFast_CheckBox->setObjectName( "OptimizeFast_CheckBox" );
   OptimizeFast_CheckBox->setChecked( true );
   rotationGrid->addWidget( OptimizeFast_CheckBox, 5, 0, 1, 3 );

   OK_SpeedButton = new QToolButton( this );
   OK_SpeedButton->setObjectName( "OK_SpeedButton" );
   OK_SpeedButton->setText( "OK" );
   Cancel_SpeedButton = new QToolButton( this );
   Cancel_SpeedButton->setObjectName( "Cancel_SpeedButton" );
   Cancel_SpeedButton->setText( "Cancel" );

   auto* layout = new QGridLayout( this );
   layout->addWidget( size, 0, 0, 1, 3 );
   layout->addWidget( rotation, 1, 0, 1, 3 );
   layout->addWidget( OK_SpeedButton, 2, 1 );
   layout->addWidget( Cancel_SpeedButton, 2, 2 );
   layout->setColumnStretch( 0, 1 );
   layout->setContentsMargins( 4, 4, 4, 26 );

   CreateProcessDragObject( 18 );
   Width_Edit->setFocus();
   UpdateControls();
}

TDynamicCropDialog::~TDynamicCropDialog()
{
   // An edit that outlives the dialog (the program is closing) must not reach it.
   cropData = nullptr;
}

// ---- The edit ------------------------------------------------------------------------------------------------------

void TDynamicCropDialog::Attach( DynamicCropData* data )
{
   cropData = data;
   if ( data != nullptr )
      show();
   else
      hide();
   Refresh();
   if ( data != nullptr && data->Window() != nullptr )
      data->Window()->setFocus( Qt::OtherFocusReason );
}

void TDynamicCropDialog::Refresh()
{
   if ( cropData == nullptr )
      return;
   cropWidth = Shown( cropData->width );
   cropHeight = Shown( cropData->height );
   const auto corners = cropData->GetCorners(); // TL, TR, BL, BR
   const DynamicCropData::Point& TL = corners[0];
   const DynamicCropData::Point& TR = corners[1];
   const DynamicCropData::Point& BL = corners[2];
   const DynamicCropData::Point& BR = corners[3];
   const QPointF points[9] = { { TL.x, TL.y },        Midpoint( TL, TR ), { TR.x, TR.y },
                               Midpoint( TL, BL ),    Midpoint( TL, BR ), Midpoint( TR, BR ),
                               { BL.x, BL.y },        Midpoint( BL, BR ), { BR.x, BR.y } };
   anchorX = float( points[anchor].x() );
   anchorY = float( points[anchor].y() );
   displayAngle = cropData->ReferenceAngle();
   centerX = cropData->rotationCenterX;
   centerY = cropData->rotationCenterY;
   UpdateControls();
}

void TDynamicCropDialog::UpdateControls()
{
   TMainWindow::ControlUpdateGuard guard;
   WriteIntegerToEdit( Width_Edit, cropWidth );
   WriteIntegerToEdit( Height_Edit, cropHeight );
   WriteRealToEdit( AnchorX_Edit, anchorX, 2 );
   WriteRealToEdit( AnchorY_Edit, anchorY, 2 );
   anchorButtons[anchor]->setChecked( true );
   WriteRealToEdit( Angle_Edit, std::abs( displayAngle * DegreesPerRadian ), 3 );
   Clockwise_CheckBox->setChecked( displayAngle < 0 );
   WriteRealToEdit( CenterX_Edit, centerX, 2 );
   WriteRealToEdit( CenterY_Edit, centerY, 2 );
   Angle_PaintBox->update();
}

std::unique_ptr<Process> TDynamicCropDialog::NewInstance()
{
   if ( cropData == nullptr || cropData->Window() == nullptr || cropData->Window()->image == nullptr )
      return nullptr;
   const qor::Image& image = *cropData->Window()->image;
   const float W = float( image.Width() ), H = float( image.Height() );
   auto instance = std::make_unique<DynamicCrop>();
   DynamicCrop::Parameters& p = instance->Params();
   p.centerX = cropData->centerX / W;
   p.centerY = cropData->centerY / H;
   p.width = cropData->width / W;
   p.height = cropData->height / H;
   p.rotationAngle = cropData->angle;
   p.optimizeFastRotations = OptimizeFast_CheckBox->isChecked();
   return instance;
}

void TDynamicCropDialog::DoImportInstance( const Process& instance )
{
   const auto* crop = dynamic_cast<const DynamicCrop*>( &instance );
   if ( cropData == nullptr || crop == nullptr )
      return;
   {
      TMainWindow::ControlUpdateGuard guard;
      OptimizeFast_CheckBox->setChecked( crop->Params().optimizeFastRotations );
   }
   cropData->StartFromInstance( instance );
}

bool TDynamicCropDialog::EditReturnHandled() const
{
   return true;
}

TImageWindow* TDynamicCropDialog::TargetWindow() const
{
   return cropData != nullptr ? cropData->Window() : TProcessingDialog::TargetWindow();
}

// ---- Handlers -------------------------------------------------------------------------------------------------------

bool TDynamicCropDialog::ReadEdit( QLineEdit* edit, double minimum, double maximum, bool real, double& value )
{
   try
   {
      value = double( ReadNumberFromEdit( edit, minimum, maximum, real ) );
      return true;
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
      UpdateControls();
      return false;
   }
}

void TDynamicCropDialog::Width_EditExit()
{
   double value;
   if ( !ReadEdit( Width_Edit, 1, 32000, false, value ) )
      return;
   if ( int32_t( value ) != cropWidth )
   {
      if ( cropData != nullptr )
      {
         const float d = float( value ) - cropData->width;
         switch ( anchor % 3 )
         {
         case 0: cropData->GrowEdges( 0, 0, d, 0 ); break;
         case 1: cropData->GrowEdges( d / 2, 0, d / 2, 0 ); break;
         default: cropData->GrowEdges( d, 0, 0, 0 ); break;
         }
      }
      else
         cropWidth = int32_t( value );
   }
   UpdateControls();
}

void TDynamicCropDialog::Height_EditExit()
{
   double value;
   if ( !ReadEdit( Height_Edit, 1, 32000, false, value ) )
      return;
   if ( int32_t( value ) != cropHeight )
   {
      if ( cropData != nullptr )
      {
         const float d = float( value ) - cropData->height;
         switch ( anchor / 3 )
         {
         case 0: cropData->GrowEdges( 0, 0, 0, d ); break;
         case 1: cropData->GrowEdges( 0, d / 2, 0, d / 2 ); break;
         default: cropData->GrowEdges( 0, d, 0, 0 ); break;
         }
      }
      else
         cropHeight = int32_t( value );
   }
   UpdateControls();
}

void TDynamicCropDialog::AnchorX_EditExit()
{
   double value;
   if ( !ReadEdit( AnchorX_Edit, -2147483648.0, 2147483647.0, true, value ) )
      return;
   if ( float( value ) != anchorX )
   {
      if ( cropData != nullptr )
      {
         // Moves the rectangle along x by the difference.
         cropData->lastX = anchorX;
         cropData->MoveDrag( float( value ), cropData->lastY );
      }
      anchorX = float( value );
   }
   UpdateControls();
}

void TDynamicCropDialog::AnchorY_EditExit()
{
   double value;
   if ( !ReadEdit( AnchorY_Edit, -2147483648.0, 2147483647.0, true, value ) )
      return;
   if ( float( value ) != anchorY )
   {
      if ( cropData != nullptr )
      {
         cropData->lastY = anchorY;
         cropData->MoveDrag( cropData->lastX, float( value ) );
      }
      anchorY = float( value );
   }
   UpdateControls();
}

void TDynamicCropDialog::Anchor_SpeedButtonClick( int32_t index )
{
   if ( UpdatingControls() || index == anchor )
      return;
   anchor = index;
   Refresh();
}

void TDynamicCropDialog::Angle_EditExit()
{
   double value;
   if ( !ReadEdit( Angle_Edit, 0, 180, true, value ) )
      return;
   const float r = float( value * 0.017453292519943295 );
   if ( std::abs( displayAngle ) != r && cropData != nullptr )
   {
      const float a = Clockwise_CheckBox->isChecked() ? -r : r;
      displayAngle = a;
      cropData->SetAngle( a );
   }
   UpdateControls();
}

void TDynamicCropDialog::Clockwise_CheckBoxClick()
{
   if ( UpdatingControls() || Clockwise_CheckBox->isChecked() == ( displayAngle < 0 ) )
      return;
   if ( cropData != nullptr )
   {
      displayAngle = -displayAngle;
      cropData->SetAngle( displayAngle );
   }
   UpdateControls();
}

void TDynamicCropDialog::CenterX_EditExit()
{
   double value;
   if ( !ReadEdit( CenterX_Edit, -2147483648.0, 2147483647.0, true, value ) )
      return;
   if ( float( value ) != centerX && cropData != nullptr )
   {
      centerX = float( value );
      cropData->SetRotationCenter( centerX, cropData->rotationCenterY );
   }
   UpdateControls();
}

void TDynamicCropDialog::CenterY_EditExit()
{
   double value;
   if ( !ReadEdit( CenterY_Edit, -2147483648.0, 2147483647.0, true, value ) )
      return;
   if ( float( value ) != centerY && cropData != nullptr )
   {
      centerY = float( value );
      cropData->SetRotationCenter( cropData->rotationCenterX, centerY );
   }
   UpdateControls();
}

void TDynamicCropDialog::Angle_PaintBoxDrag( int x, int y )
{
   const int w = Angle_PaintBox->width(), h = Angle_PaintBox->height();
   float a = std::atan2( float( h / 2 - y ), float( x - w / 2 ) );
   if ( cropData != nullptr )
   {
      // Whole tenths of a degree.
      const float degrees = qor::Round( a * DegreesPerRadian * 10.0f ) / 10.0f;
      a = degrees * 0.017453292f;
      displayAngle = a;
      cropData->SetAngle( a );
   }
   else
      displayAngle = a;
   UpdateControls();
}

// ---- Form events ----------------------------------------------------------------------------------------------------

void TDynamicCropDialog::FormActivate()
{
   if ( cropData == nullptr || cropData->Window() == nullptr )
      return;
   if ( QMdiSubWindow* frame = cropData->Window()->SubWindow(); frame != nullptr && frame->mdiArea() != nullptr )
   {
      if ( frame->mdiArea()->activeSubWindow() != frame )
         frame->mdiArea()->setActiveSubWindow( frame );
   }
   else
      cropData->Window()->window()->raise();
}

void TDynamicCropDialog::hideEvent( QHideEvent* event )
{
   TProcessingDialog::hideEvent( event );
   if ( event->spontaneous() )
      return;
   if ( cropData == nullptr )
      setResult( QDialog::Rejected );
   else if ( TImageWindow* window = cropData->Window() )
      window->StopDynamicCrop(); // the edit's Stop detaches this dialog
}

void TDynamicCropDialog::closeEvent( QCloseEvent* event )
{
   if ( platform::Ask( platform::Icon::Question, "Lumenforge", "Cancel Dynamic Crop/Rotate?",
                       platform::Buttons::YesNo, platform::Answer::No ) != platform::Answer::Yes )
   {
      event->ignore();
      return;
   }
   TProcessingDialog::closeEvent( event );
}

TDynamicCropDialog& DynamicCropDialog()
{
   QPointer<TDynamicCropDialog>& dialog = Instance();
   if ( dialog.isNull() )
      dialog = new TDynamicCropDialog( MainWindow );
   return *dialog;
}

TDynamicCropDialog* ExistingDynamicCropDialog()
{
   return Instance().data();
}
