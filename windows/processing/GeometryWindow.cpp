#include "windows/processing/GeometryWindow.h"

#include <QFrame>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

#include "windows/frames/SelectColorFrame.h"
#include "windows/frames/ViewsListFrame.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ColorSpaceControls.h"

TGeometryWindow::TGeometryWindow( QWidget* owner ) : TProcessingWindow( owner )
{
   ViewsList = new TViewsListFrame( this );
   ViewsList->setObjectName( "ViewsList" );
   ViewsList->includePreviews = false;
   connect( ViewsList, &TViewsListFrame::ViewSelected, this, [this]( TImageWindow::View* view ) { SelectView( view ); } );

   Info_Panel = new QFrame( this );
   Info_Panel->setObjectName( "Info_Panel" );
   Info_Panel->setFrameShape( QFrame::StyledPanel );
   auto* info = new QVBoxLayout( Info_Panel );
   ResultInfo_Panel = new QLabel( Info_Panel );
   ResultInfo_Panel->setObjectName( "ResultInfo_Panel" );
   OriginalInfo_Panel = new QLabel( Info_Panel );
   OriginalInfo_Panel->setObjectName( "OriginalInfo_Panel" );
   info->addWidget( ResultInfo_Panel );
   info->addWidget( OriginalInfo_Panel );

   ButtonRow row = MakeButtonRow( this, { "Apply_SpeedButton", "SelectImages_SpeedButton" } );
   Buttons_Panel = row.row;
   Apply_SpeedButton = row.buttons[0];
   Apply_SpeedButton->setText( "Apply" );
   SelectImages_SpeedButton = row.buttons[1];

   ViewsList->Rebuild();
}

TSelectColor_Frame* TGeometryWindow::MakeFillColorFrame( const char* title )
{
   auto* frame = new TSelectColor_Frame( this );
   frame->setObjectName( "FillColor_Frame" );
   frame->Caption_Panel->setText( title );
   return frame;
}

void TGeometryWindow::SelectView( TImageWindow::View* view )
{
   ViewsList->currentView = view;
   TakeView( view );
   ViewsList->SelectCurrentView();
   UpdateControls();
}

TImageWindow::View* TGeometryWindow::CurrentView() const
{
   return ViewsList->currentView;
}

void TGeometryWindow::ViewCreated( TImageWindow::View& )
{
   ViewsList->Rebuild();
}

void TGeometryWindow::ViewRenamed( TImageWindow::View& )
{
   ViewsList->Rebuild();
}

void TGeometryWindow::ViewUpdated( TImageWindow::View& view )
{
   if ( &view == CurrentView() )
      SelectView( followUpdatedView ? &view : nullptr );
}

void TGeometryWindow::ViewDeleted( TImageWindow::View& view )
{
   const bool current = &view == CurrentView();
   ViewsList->RemoveView( &view );
   if ( current )
      SelectView( nullptr );
}

double TGeometryWindow::MegaBytes( int32_t channels, int32_t width, int32_t height )
{
   return double( channels ) * double( width ) * double( height ) * 4.0 / 1048576.0;
}

QString TGeometryWindow::ResultInfoText( int32_t channels, int32_t width, int32_t height )
{
   return QString::asprintf( "%dx%d, 32-bits memory size: %.3f MB", width, height,
                             MegaBytes( channels, width, height ) );
}

QString TGeometryWindow::OriginalInfoText( int32_t channels, int32_t width, int32_t height )
{
   return QString::asprintf( "Original: %dx%d, %.3f MB", width, height, MegaBytes( channels, width, height ) );
}

void TGeometryWindow::ShowInfo( int32_t newWidth, int32_t newHeight )
{
   ResultInfo_Panel->setText( ResultInfoText( channelCount, newWidth, newHeight ) );
   OriginalInfo_Panel->setText( OriginalInfoText( channelCount, imageWidth, imageHeight ) );
}

void TGeometryWindow::FormShow()
{
   if ( TImageWindow* active = ActiveImageWindowOfMainWindow() )
      SelectView( active->mainView );
}

void TGeometryWindow::showEvent( QShowEvent* event )
{
   TProcessingWindow::showEvent( event );
   FormShow();
}

TImageWindow* ActiveImageWindowOfMainWindow()
{
   return MainWindow != nullptr ? MainWindow->ActiveImageWindow() : nullptr;
}
