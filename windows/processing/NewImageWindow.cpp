#include "windows/processing/NewImageWindow.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QToolButton>

#include "classlib/Exception.h"
#include "process/NewImage.h"
#include "support/FailureReport.h"
#include "support/Utils.h"
#include "windows/frames/SelectColorFrame.h"
#include "windows/frames/ViewsListFrame.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ColorSpaceControls.h"
#include "windows/processing/FilterWindowParts.h"

TNewImageWindow::TNewImageWindow( QWidget* owner ) : TProcessingWindow( owner )
{
   setObjectName( "NewImageWindow" );
   setWindowTitle( "New Image" );

   ViewsList = new TViewsListFrame( this );
   ViewsList->setObjectName( "ViewsList" );
   ViewsList->includePreviews = false;
   connect( ViewsList, &TViewsListFrame::ViewSelected, this,
            [this]( TImageWindow::View* view ) { SelectView( view ); } );

   auto* parametersPanel = new QFrame( this );
   parametersPanel->setObjectName( "ImageParameters_Panel" );
   parametersPanel->setFrameShape( QFrame::StyledPanel );
   auto* grid = new QGridLayout( parametersPanel );
   ImageParametersCaption_Panel =
       MakeCaptionPanel( parametersPanel, "ImageParametersCaption_Panel", "  Image Parameters" );
   grid->addWidget( ImageParametersCaption_Panel, 0, 0, 1, 3 );
   auto edit = [&]( const char* label, const char* name, int row, void ( TNewImageWindow::*exit )() )
   {
      grid->addWidget( new QLabel( label, parametersPanel ), row, 0 );
      auto* e = new QLineEdit( parametersPanel );
      e->setObjectName( name );
      grid->addWidget( e, row, 1, 1, 2 );
      SetEditExitHandler( e, [this, exit] { ( this->*exit )(); } );
      return e;
   };
   Identifier_Edit = edit( "Identifier:", "Identifier_Edit", 1, &TNewImageWindow::Identifier_EditExit );
   Width_Edit = edit( "Width:", "Width_Edit", 2, &TNewImageWindow::Width_EditExit );
   Height_Edit = edit( "Height:", "Height_Edit", 3, &TNewImageWindow::Height_EditExit );
   Grayscale_RadioButton = new QRadioButton( "Grayscale", parametersPanel );
   Grayscale_RadioButton->setObjectName( "Grayscale_RadioButton" );
   RGBColor_RadioButton = new QRadioButton( "RGB Color", parametersPanel );
   RGBColor_RadioButton->setObjectName( "RGBColor_RadioButton" );
   grid->addWidget( Grayscale_RadioButton, 4, 1 );
   grid->addWidget( RGBColor_RadioButton, 4, 2 );
   connect( Grayscale_RadioButton, &QRadioButton::clicked, this, [this] { Grayscale_RadioButtonClick(); } );
   connect( RGBColor_RadioButton, &QRadioButton::clicked, this, [this] { RGBColor_RadioButtonClick(); } );
   SizeInfo_StaticText = new QLabel( parametersPanel );
   SizeInfo_StaticText->setObjectName( "SizeInfo_StaticText" );
   SizeInfo_StaticText->setFrameStyle( QFrame::Panel | QFrame::Sunken );
   grid->addWidget( SizeInfo_StaticText, 5, 0, 1, 3 );

   InitialColor_Frame = new TSelectColor_Frame( this );
   InitialColor_Frame->setObjectName( "InitialColor_Frame" );
   InitialColor_Frame->Caption_Panel->setText( "  Initial Value" );

   ButtonRow row = MakeButtonRow( this, { "Apply_SpeedButton" } );
   Apply_SpeedButton = row.buttons[0];
   Apply_SpeedButton->setText( "Apply" );

   auto* layout = new QGridLayout( this );
   layout->addWidget( ViewsList, 0, 0, 1, 2 );
   layout->addWidget( parametersPanel, 1, 0 );
   layout->addWidget( InitialColor_Frame, 1, 1 );
   layout->addWidget( row.row, 2, 1, Qt::AlignRight );

   ViewsList->Rebuild();
   UpdateControls();
}

QString TNewImageWindow::SizeInfoText( int32_t width, int32_t height, bool colorMode )
{
   return QString::asprintf( " 32-bits size: %.3f MB",
                             double( NewImage::ImageBytes( width, height, colorMode ) ) / 1048576.0 );
}

void TNewImageWindow::UpdateSizeInfo()
{
   SizeInfo_StaticText->setText( SizeInfoText( width, height, colorMode ) );
}

void TNewImageWindow::UpdateControls()
{
   {
      TMainWindow::ControlUpdateGuard guard;
      Identifier_Edit->setText( QString::fromStdString( identifier ) );
      WriteIntegerToEdit( Width_Edit, width );
      WriteIntegerToEdit( Height_Edit, height );
      RGBColor_RadioButton->setChecked( colorMode );
      Grayscale_RadioButton->setChecked( !colorMode );
   }
   UpdateSizeInfo();
   InitialColor_Frame->grayOnly = !colorMode;
   InitialColor_Frame->UpdateControls();
}

void TNewImageWindow::SelectView( TImageWindow::View* view )
{
   ViewsList->currentView = view;
   if ( view != nullptr )
   {
      const qor::Image& image = view->GetImage();
      width = image.Width();
      height = image.Height();
      colorMode = image.IsColor();
   }
   ViewsList->SelectCurrentView();
   UpdateControls();
   if ( isVisible() )
      Identifier_Edit->setFocus();
}

void TNewImageWindow::showEvent( QShowEvent* event )
{
   TProcessingWindow::showEvent( event );
   if ( importing )
      importing = false;
   else if ( MainWindow != nullptr && MainWindow->ActiveImageWindow() != nullptr )
      SelectView( MainWindow->ActiveImageWindow()->mainView );
   Identifier_Edit->setFocus();
}

void TNewImageWindow::Identifier_EditExit()
{
   try
   {
      ReadIdentifierFromEdit( identifier, Identifier_Edit, true, true );
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
   }
   Identifier_Edit->setText( QString::fromStdString( identifier ) );
}

void TNewImageWindow::ReadSize( QLineEdit* edit, int32_t& size )
{
   try
   {
      size = int32_t( ReadNumberFromEdit( edit, 1, NewImage::MaxImageSize, false ) );
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
   }
   WriteIntegerToEdit( edit, size );
   UpdateSizeInfo();
}

void TNewImageWindow::Width_EditExit()
{
   ReadSize( Width_Edit, width );
}

void TNewImageWindow::Height_EditExit()
{
   ReadSize( Height_Edit, height );
}

void TNewImageWindow::SetColorMode( bool rgb )
{
   colorMode = rgb;
   UpdateSizeInfo();
   InitialColor_Frame->grayOnly = !rgb;
   InitialColor_Frame->UpdateControls();
}

void TNewImageWindow::RGBColor_RadioButtonClick()
{
   if ( !UpdatingControls() && RGBColor_RadioButton->isChecked() != colorMode )
      SetColorMode( RGBColor_RadioButton->isChecked() );
}

void TNewImageWindow::Grayscale_RadioButtonClick()
{
   if ( !UpdatingControls() && Grayscale_RadioButton->isChecked() != !colorMode )
      SetColorMode( !Grayscale_RadioButton->isChecked() );
}

std::unique_ptr<Process> TNewImageWindow::NewInstance()
{
   NewImage::Parameters p;
   p.id = identifier;
   p.width = width;
   p.height = height;
   p.colorMode = colorMode;
   const std::array<float, 3>& c = InitialColor_Frame->color;
   p.initialColor = RGBColorParameters( c[0], c[1], c[2] );
   return std::make_unique<NewImage>( p );
}

void TNewImageWindow::ImportInstance( const Process& instance )
{
   const auto* newImage = dynamic_cast<const NewImage*>( &instance );
   if ( newImage == nullptr )
      return;
   const NewImage::Parameters& p = newImage->Params();
   identifier = p.id;
   width = p.width;
   height = p.height;
   colorMode = p.colorMode;
   if ( colorMode )
   {
      TMainWindow::ControlUpdateGuard guard;
      InitialColor_Frame->Gray_CheckBox->setChecked( false );
   }
   InitialColor_Frame->color = { p.initialColor.red, p.initialColor.green, p.initialColor.blue };
   importing = true;
   SelectView( nullptr );
}

void TNewImageWindow::Apply()
{
   std::unique_ptr<Process> instance = NewInstance();
   try
   {
      instance->ExecuteGlobal();
   }
   catch ( ... )
   {
      ReportCaughtFailure( "windows/processing/NewImageWindow", __LINE__ );
   }
}

void TNewImageWindow::ViewCreated( TImageWindow::View& )
{
   ViewsList->Rebuild();
}

void TNewImageWindow::ViewUpdated( TImageWindow::View& view )
{
   // The image may have another size now: the list lets it go, and the values stay.
   if ( &view == ViewsList->currentView )
   {
      ViewsList->currentView = nullptr;
      ViewsList->SelectCurrentView();
   }
}

void TNewImageWindow::ViewRenamed( TImageWindow::View& )
{
   ViewsList->Rebuild();
}

void TNewImageWindow::ViewDeleted( TImageWindow::View& view )
{
   const bool current = &view == ViewsList->currentView;
   ViewsList->RemoveView( &view );
   if ( current )
      SelectView( nullptr );
}

TNewImageWindow& NewImageWindow()
{
   static QPointer<TNewImageWindow> window;
   if ( window.isNull() )
      window = new TNewImageWindow( MainWindow );
   return *window;
}
