// The curves window driven offscreen: points added, moved and deleted with the mouse, the modes the held keys
// choose, the numeric edits and their refusals, zoom, the plot's marks, the real-time preview tables and its timer,
// settings, and Apply.

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include "TestDirs.h"
#include "classlib/ImageTestSupport.h"
#include "classlib/TransferCurve.h"
#include "process/ProcessContainer.h"
#include "platform/KeyTracker.h"
#include "platform/Registry.h"
#include "windows/image/ImageWindowTestSupport.h"
#include "windows/processing/CurvesWindow.h"
#include "windows/tools/RealTimePreviewWindow.h"

namespace
{

class CurvesWindowTest : public test::ImageWindowProcessTest
{
protected:
   void SetUp() override
   {
      ImageWindowProcessTest::SetUp();
      window = std::make_unique<TCurvesWindow>();
      window->show();
      ASSERT_EQ( window->PlotWidth(), 385 );
      ASSERT_EQ( window->PlotHeight(), 385 );
   }

   void TearDown() override
   {
      window.reset();
      RealTimePreviewWindow().hide();
      platform::KeyTracker::Instance().ReleaseAll();
      ImageWindowProcessTest::TearDown();
   }

   // Plot coordinates of a curve point at zoom 1 (the plot is 385 pixels: 384 steps).
   static int X( double x ) { return int( std::nearbyint( 384 * x ) ); }
   static int Y( double y ) { return int( std::nearbyint( 384 * ( 1 - y ) ) ); }

   void Click( int x, int y )
   {
      window->Curve_PaintBoxMouseDown( Qt::LeftButton, x, y );
      window->Curve_PaintBoxMouseUp( Qt::LeftButton, x, y );
   }

   const std::vector<float>& Xs() const { return window->parameters.x[size_t( window->currentCurve )]; }
   const std::vector<float>& Ys() const { return window->parameters.y[size_t( window->currentCurve )]; }
   int Current() const { return window->currentPoint[size_t( window->currentCurve )]; }

   void Keys( std::initializer_list<Qt::Key> held )
   {
      platform::KeyTracker& keys = platform::KeyTracker::Instance();
      keys.ReleaseAll();
      for ( Qt::Key k : held )
         keys.Press( k );
      window->FormKey();
   }

   std::unique_ptr<TCurvesWindow> window;
};

TEST_F( CurvesWindowTest, PointsAreAddedMovedAndDeletedWithTheMouse )
{
   EXPECT_EQ( window->currentCurve, CurvesTransform::RGBK );
   ASSERT_EQ( Xs().size(), 2u );

   // A click away from the points adds one (through the real mouse events once).
   QTest::mouseClick( window->Curve_PaintBox, Qt::LeftButton, Qt::NoModifier, QPoint( X( 0.25 ), Y( 0.75 ) ) );
   EXPECT_EQ( Xs(), ( std::vector<float>{ 0.0f, 0.25f, 1.0f } ) );
   EXPECT_EQ( Ys(), ( std::vector<float>{ 0.0f, 0.75f, 1.0f } ) );
   EXPECT_EQ( Current(), 1 );
   EXPECT_EQ( window->Input_Edit->text(), "0.25000" );
   EXPECT_EQ( window->Output_Edit->text(), "0.75000" );
   EXPECT_TRUE( window->Input_Edit->isEnabled() );

   // Dragging it moves it between its neighbours.
   window->Curve_PaintBoxMouseDown( Qt::LeftButton, X( 0.25 ) + 2, Y( 0.75 ) - 3 );
   EXPECT_EQ( Xs().size(), 3u ) << "a click within 6 pixels of a point's input edits that point";
   EXPECT_EQ( window->Info_Panel->text().left( 15 ), " Editing Point " );
   window->Curve_PaintBoxMouseMove( X( 0.5 ), Y( 0.5 ) );
   window->Curve_PaintBoxMouseUp( Qt::LeftButton, X( 0.5 ), Y( 0.5 ) );
   EXPECT_EQ( Xs(), ( std::vector<float>{ 0.0f, 0.5f, 1.0f } ) );
   EXPECT_EQ( Ys(), ( std::vector<float>{ 0.0f, 0.5f, 1.0f } ) );
   EXPECT_EQ( window->Input_Edit->text(), "0.50000" );

   // A drag beyond a neighbour keeps the input and still takes the output.
   window->Curve_PaintBoxMouseDown( Qt::LeftButton, X( 0.5 ), Y( 0.5 ) );
   window->Curve_PaintBoxMouseMove( X( 1.0 ), Y( 0.2 ) );
   window->Curve_PaintBoxMouseUp( Qt::LeftButton, X( 1.0 ), Y( 0.2 ) );
   EXPECT_EQ( Xs()[1], 0.5f );
   EXPECT_FLOAT_EQ( Ys()[1], 0.20052f ); // row 307 of 384, five decimals

   // The first point moves only vertically.
   window->Curve_PaintBoxMouseDown( Qt::LeftButton, X( 0 ), Y( 0 ) );
   EXPECT_EQ( Current(), 0 );
   EXPECT_FALSE( window->Input_Edit->isEnabled() );
   window->Curve_PaintBoxMouseMove( 20, Y( 0.25 ) );
   window->Curve_PaintBoxMouseUp( Qt::LeftButton, 20, Y( 0.25 ) );
   EXPECT_EQ( Xs()[0], 0.0f );
   EXPECT_EQ( Ys()[0], 0.25f );

   // Ctrl held: delete mode. An interior point goes; the end points stay and only snap back to 0 and 1.
   Keys( { Qt::Key_Control } );
   EXPECT_EQ( window->mode, TCurvesWindow::DeleteMode );
   EXPECT_TRUE( window->DeleteMode_SpeedButton->isChecked() );
   Click( X( 0.5 ), Y( 0.20052 ) );
   EXPECT_EQ( Xs(), ( std::vector<float>{ 0.0f, 1.0f } ) );
   EXPECT_EQ( Current(), 0 );
   Click( X( 1.0 ), Y( 1.0 ) );
   EXPECT_EQ( Xs().size(), 2u );
   EXPECT_EQ( Current(), 1 );
   Click( X( 0.5 ), Y( 0.9 ) ); // nothing there
   EXPECT_EQ( Xs().size(), 2u );

   // Shift: select mode.
   Keys( {} );
   Click( X( 0.4 ), Y( 0.4 ) );
   Click( X( 0.7 ), Y( 0.7 ) );
   ASSERT_EQ( Xs().size(), 4u );
   Keys( { Qt::Key_Shift } );
   EXPECT_EQ( window->mode, TCurvesWindow::SelectMode );
   Click( X( 0.4 ) + 3, Y( 0.4 ) - 3 );
   EXPECT_EQ( Current(), 1 );
   Click( X( 0.55 ), Y( 0.55 ) ); // nothing within 3 pixels: the selection stays
   EXPECT_EQ( Current(), 1 );

   // Deleting a point before the current one keeps the same point current.
   Keys( { Qt::Key_Shift } );
   Click( X( 0.7 ), Y( 0.7 ) );
   EXPECT_EQ( Current(), 2 );
   Keys( { Qt::Key_Control } );
   Click( X( 0.4 ), Y( 0.4 ) );
   EXPECT_EQ( Current(), 1 );
   EXPECT_FLOAT_EQ( Xs()[size_t( Current() )], 0.70052f );
}

TEST_F( CurvesWindowTest, HeldKeysChooseTheModeAndTheCaptions )
{
   struct Case
   {
      std::initializer_list<Qt::Key> keys;
      int32_t mode;
      const char* reset;
      const char* zoom;
   } cases[] = {
       { {}, TCurvesWindow::AddEditMode, "Reset", "1:1" },
       { { Qt::Key_Control }, TCurvesWindow::DeleteMode, "Reset All", "2:1" },
       { { Qt::Key_Control, Qt::Key_Shift }, TCurvesWindow::AddEditMode, "Reset All", "4:1" },
       { { Qt::Key_Shift }, TCurvesWindow::SelectMode, "Reset", "1:1" },
       { { Qt::Key_Space }, TCurvesWindow::PanMode, "Reset", "1:1" },
       { { Qt::Key_Space, Qt::Key_Control }, TCurvesWindow::ZoomInMode, "Reset All", "2:1" },
       { { Qt::Key_Space, Qt::Key_Control, Qt::Key_Alt }, TCurvesWindow::ZoomOutMode, "Reset All", "2:1" },
       { { Qt::Key_Alt }, TCurvesWindow::AddEditMode, "Reset", "1:1" },
   };
   for ( const Case& c : cases )
   {
      Keys( c.keys );
      EXPECT_EQ( window->mode, c.mode );
      EXPECT_EQ( window->Reset_Button->text(), c.reset );
      EXPECT_EQ( window->ResetZoom_SpeedButton->text(), c.zoom );
   }
   // Zoom and pan modes release every mode button; a button chooses a mode until the next key.
   Keys( { Qt::Key_Space } );
   EXPECT_FALSE( window->AddEditMode_SpeedButton->isChecked() );
   EXPECT_FALSE( window->SelectMode_SpeedButton->isChecked() );
   EXPECT_FALSE( window->DeleteMode_SpeedButton->isChecked() );
   platform::KeyTracker::Instance().ReleaseAll();
   window->SelectMode_SpeedButton->click();
   EXPECT_EQ( window->mode, TCurvesWindow::SelectMode );
   window->FormKey();
   EXPECT_EQ( window->mode, TCurvesWindow::AddEditMode );

   // A key press in the window reads the keys; Ctrl held makes the window keep the key to itself.
   platform::KeyTracker::Instance().Press( Qt::Key_Control );
   EXPECT_TRUE( window->FormKey() );
   platform::KeyTracker::Instance().ReleaseAll();
   EXPECT_FALSE( window->FormKey() );
}

TEST_F( CurvesWindowTest, NumericEditsMoveThePointOrAreRefused )
{
   Click( X( 0.25 ), Y( 0.5 ) );
   Click( X( 0.75 ), Y( 0.8 ) );
   window->SelectMode_Action->trigger();
   window->PrevPoint_Action->trigger();
   ASSERT_EQ( Current(), 1 );

   // An input beyond the right neighbour moves the point with its output past it; it stays current.
   window->Input_Edit->setFocus();
   window->Input_Edit->setText( "0.9" );
   QTest::keyClick( window->Input_Edit, Qt::Key_Return );
   EXPECT_EQ( Xs(), ( std::vector<float>{ 0.0f, 0.75f, 0.9f, 1.0f } ) );
   EXPECT_EQ( Ys()[2], 0.5f );
   EXPECT_EQ( Current(), 2 );
   EXPECT_EQ( window->Input_Edit->text(), "0.90000" );

   // An input at another point's abscissa is refused.
   prompter.Expect( "Cannot have two points with identical abscissae - previous value inserted." );
   window->Input_Edit->setText( "0.750004" );
   QTest::keyClick( window->Input_Edit, Qt::Key_Return );
   EXPECT_EQ( Xs(), ( std::vector<float>{ 0.0f, 0.75f, 0.9f, 1.0f } ) );
   EXPECT_EQ( window->Input_Edit->text(), "0.90000" );
   ASSERT_EQ( prompter.PendingCount(), 0u );
   EXPECT_EQ( prompter.Records().back().caption, "Curves" );

   // Outputs are rounded to five decimals; a value out of range is refused and the edit restored.
   window->Output_Edit->setFocus();
   window->Output_Edit->setText( "0.123456" );
   QTest::keyClick( window->Output_Edit, Qt::Key_Return );
   EXPECT_FLOAT_EQ( Ys()[2], 0.12346f );
   prompter.Expect( "Numerical value out of range" );
   window->Output_Edit->setText( "1.5" );
   QTest::keyClick( window->Output_Edit, Qt::Key_Return );
   EXPECT_TRUE( window->inputError );
   EXPECT_EQ( window->Output_Edit->text(), "0.12346" );

   // The point actions walk the points; the end points cannot take a typed input.
   window->FirstPoint_Action->trigger();
   EXPECT_FALSE( window->Input_Edit->isEnabled() );
   EXPECT_FALSE( window->Input_Label->isEnabled() );
   window->LastPoint_Action->trigger();
   EXPECT_EQ( Current(), 3 );
   window->NextPoint_Action->trigger();
   EXPECT_EQ( Current(), 3 );

   // Reset: the current curve, or every curve while Ctrl is held; linear flags stay.
   window->Linear_CheckBox->click();
   EXPECT_TRUE( window->parameters.linear[CurvesTransform::RGBK] );
   window->Channel_Actions[CurvesTransform::G]->trigger();
   window->AddEditMode_Action->trigger();
   Click( X( 0.5 ), Y( 0.7 ) );
   window->Channel_Actions[CurvesTransform::RGBK]->trigger();
   window->Reset_Button->click();
   EXPECT_TRUE( window->parameters.IsIdentity( CurvesTransform::RGBK ) );
   EXPECT_EQ( Xs().size(), 2u );
   EXPECT_TRUE( window->parameters.linear[CurvesTransform::RGBK] );
   EXPECT_FALSE( window->parameters.IsIdentity( CurvesTransform::G ) );
   platform::KeyTracker::Instance().Press( Qt::Key_Control );
   window->Reset_Button->click();
   EXPECT_TRUE( window->parameters.IsIdentity( CurvesTransform::G ) );
}

TEST_F( CurvesWindowTest, ZoomKeepsItsLimitsAndTheEditsFollow )
{
   window->ZoomInMode_Action->trigger();
   Click( 100, 100 );
   EXPECT_EQ( window->horizontalZoom, 2 );
   EXPECT_EQ( window->verticalZoom, 2 );
   EXPECT_GT( window->PlotWidth(), 700 );
   EXPECT_EQ( window->HorizontalZoom_Edit->text(), "2" );
   window->HorizontalZoom_Edit->setFocus();
   window->HorizontalZoom_Edit->setText( "99" );
   QTest::keyClick( window->HorizontalZoom_Edit, Qt::Key_Return );
   EXPECT_EQ( window->horizontalZoom, 99 );
   window->SetZoom( 99, 99 );
   window->ZoomInMode_Action->trigger();
   Click( 10, 10 );
   EXPECT_EQ( window->horizontalZoom, 99 ) << "zoom in at 99 changes nothing";
   prompter.Expect( "Numerical value out of range" );
   window->VerticalZoom_Edit->setFocus();
   window->VerticalZoom_Edit->setText( "100" );
   QTest::keyClick( window->VerticalZoom_Edit, Qt::Key_Return );
   EXPECT_EQ( window->VerticalZoom_Edit->text(), "99" );
   window->ResetZoom_SpeedButton->click();
   EXPECT_EQ( window->horizontalZoom, 1 );
   EXPECT_EQ( window->PlotWidth(), 385 );
   window->ZoomOutMode_Action->trigger();
   Click( 10, 10 );
   EXPECT_EQ( window->horizontalZoom, 1 ) << "zoom out at 1 changes nothing";
   platform::KeyTracker::Instance().Press( Qt::Key_Control );
   window->ResetZoom_SpeedButton->click();
   EXPECT_EQ( window->verticalZoom, 2 );
}

// The crosshair and the readout markers are drawn over the plot from the window's state: drawn at every paint, gone
// once the state says so.
TEST_F( CurvesWindowTest, CrosshairAndReadoutMarkersArePaintedFromTheirState )
{
   const QRect whole( 0, 0, 385, 385 );
   auto at = [&]( const QImage& plot, int x, int y ) { return QColor( plot.pixel( x, y ) ); };
   window->ShowGrid_CheckBox->click(); // no grid: a black background
   EXPECT_FALSE( window->showGrid );

   window->Curve_PaintBoxMouseMove( 50, 60 );
   EXPECT_EQ( window->Info_Panel->text(), " Add/Edit Point Mode | x=0.13021 | y=0.84375" );
   QImage plot = window->PlotBitmap( whole );
   EXPECT_EQ( at( plot, 50, 10 ), QColor( 128, 128, 128 ) );
   EXPECT_EQ( at( plot, 200, 60 ), QColor( 128, 128, 128 ) );
   window->Curve_PaintBoxLeave();
   EXPECT_EQ( window->Info_Panel->text(), "" );
   EXPECT_EQ( at( window->PlotBitmap( whole ), 50, 10 ), QColor( Qt::black ) );

   TImageWindow* w = Make( RandomImage( 4, 4, 3, qor::ColorSpace::RGB ) );
   window->BeginReadout( *w->mainView, 0.25f, 0.5f, 0.75f );
   plot = window->PlotBitmap( whole );
   EXPECT_EQ( at( plot, 96, 10 ), TCurvesWindow::CurveColor( CurvesTransform::R ) );
   EXPECT_EQ( at( plot, 192, 10 ), TCurvesWindow::CurveColor( CurvesTransform::G ) );
   EXPECT_EQ( at( plot, 288, 10 ), TCurvesWindow::CurveColor( CurvesTransform::B ) );
   window->Channel_Actions[CurvesTransform::G]->trigger();
   plot = window->PlotBitmap( whole );
   EXPECT_EQ( at( plot, 96, 10 ), QColor( Qt::black ) );
   EXPECT_EQ( at( plot, 192, 10 ), TCurvesWindow::CurveColor( CurvesTransform::G ) );
   window->EndReadout( *w->mainView );
   EXPECT_EQ( at( window->PlotBitmap( whole ), 192, 10 ), QColor( Qt::black ) );

   // Only the current curve is drawn, unless All shows the others that are not the identity.
   window->Channel_Actions[CurvesTransform::R]->trigger();
   Click( X( 0.5 ), Y( 0.9 ) );
   window->Channel_Actions[CurvesTransform::G]->trigger();
   EXPECT_EQ( at( window->PlotBitmap( whole ), X( 0.5 ), Y( 0.9 ) ), QColor( Qt::black ) );
   window->ShowAll_CheckBox->click();
   EXPECT_EQ( at( window->PlotBitmap( whole ), X( 0.5 ), Y( 0.9 ) ), TCurvesWindow::CurveColor( CurvesTransform::R ) );

   // The grid at zoom 1 divides each axis into eight parts.
   window->ShowGrid_CheckBox->click();
   EXPECT_EQ( at( window->PlotBitmap( whole ), 48 * 2, 200 ), QColor( 80, 80, 80 ) );
}

TEST_F( CurvesWindowTest, TheRealTimePreviewGetsTablesAndFollowsItsOwner )
{
   TRealTimePreviewWindow& rtp = RealTimePreviewWindow();
   window->RealTimePreview_CheckBox->click();
   EXPECT_TRUE( window->realTimePreview );
   EXPECT_TRUE( rtp.isVisible() );
   EXPECT_EQ( rtp.Owner(), window.get() );

   // RGB/K everything to 1: every byte table holds 255.
   window->FirstPoint_Action->trigger();
   window->Output_Edit->setFocus();
   window->Output_Edit->setText( "1" );
   QTest::keyClick( window->Output_Edit, Qt::Key_Return );
   for ( int q = 0; q < 4; ++q )
      for ( int i = 0; i < 256; ++i )
         ASSERT_EQ( rtp.transferTables.bytes[size_t( q )][size_t( i )], 255 ) << q << " " << i;
   EXPECT_EQ( rtp.floatTableActive, ( std::array<bool, 3>{ false, false, false } ) );

   // Only the hue curve: only the hue table is active.
   window->parameters = CurvesTransform::Parameters();
   window->parameters.y[CurvesTransform::H] = { 0.2f, 0.8f };
   window->UpdateRealTimePreview();
   EXPECT_EQ( rtp.floatTableActive, ( std::array<bool, 3>{ false, true, false } ) );
   EXPECT_FLOAT_EQ( rtp.transferTables.floats[1][0], 0.2f );
   EXPECT_EQ( rtp.transferTables.floats[0][51], float( 51 * ( 1.0L / 255 ) ) );
   EXPECT_EQ( rtp.transferTables.bytes[0][100], 100 );

   // A drag restarts the timer; releasing the mouse builds at once.
   window->parameters = CurvesTransform::Parameters();
   window->Curve_PaintBoxMouseDown( Qt::LeftButton, X( 0.5 ), Y( 0.9 ) );
   EXPECT_TRUE( window->RealTimePreview_Timer->isActive() );
   EXPECT_EQ( rtp.transferTables.bytes[3][128], 128 ) << "not built while the drag goes on";
   window->Curve_PaintBoxMouseUp( Qt::LeftButton, X( 0.5 ), Y( 0.9 ) );
   EXPECT_FALSE( window->RealTimePreview_Timer->isActive() );
   EXPECT_GT( rtp.transferTables.bytes[3][128], 200 );
   EXPECT_EQ( TRealTimePreviewWindow::NextRenderInterval( 200 ), 250 );
   EXPECT_EQ( TRealTimePreviewWindow::NextRenderInterval( 4 ), 25 );

   // Another window takes the preview over: the box goes off, the preview keeps its tables.
   TCurvesWindow other;
   other.RealTimePreview_CheckBox->click();
   EXPECT_FALSE( window->realTimePreview );
   EXPECT_FALSE( window->RealTimePreview_CheckBox->isChecked() );
   EXPECT_EQ( rtp.Owner(), &other );
   // Hiding the owner turns its preview off and resets the preview.
   other.show();
   other.hide();
   EXPECT_FALSE( other.RealTimePreview_CheckBox->isChecked() );
   EXPECT_EQ( rtp.Owner(), nullptr );
   EXPECT_EQ( rtp.transferTables.bytes[3][128], 128 );
}

TEST_F( CurvesWindowTest, ApplyRunsTheCurvesDrawnAndInstancesComeBack )
{
   Click( X( 0.3 ), Y( 0.6 ) );
   window->Channel_Actions[CurvesTransform::R]->trigger();
   Click( X( 0.5 ), Y( 0.3 ) );
   const CurvesTransform::Parameters& p = window->parameters;
   TImageWindow* w = Make( RandomImage( 16, 12, 3, qor::ColorSpace::RGB ) );
   qor::Image expected( *w->image );
   qor::ApplyTransferCurve( expected, 0, p.x[CurvesTransform::R], p.y[CurvesTransform::R], false );
   for ( int c = 0; c < 3; ++c )
      qor::ApplyTransferCurve( expected, c, p.x[CurvesTransform::RGBK], p.y[CurvesTransform::RGBK], false );

   w->mainView->selectingWindows.Add( window.get() );
   window->findChild<QAbstractButton*>( "Apply_SpeedButton" )->click();
   EXPECT_TRUE( test::SamePixels( *w->image, expected ) );
   ASSERT_EQ( w->mainView->History().instances.Length(), 1u );
   EXPECT_EQ( w->mainView->LastProcess()->ToText(), CurvesTransform( p ).ToText() );

   // An instance dropped or launched comes back into the window, with the first point of each curve current.
   CurvesTransform::Parameters other;
   other.x[CurvesTransform::B] = { 0.0f, 0.2f, 1.0f };
   other.y[CurvesTransform::B] = { 0.0f, 0.6f, 1.0f };
   other.linear[CurvesTransform::B] = true;
   CurvesTransform instance( other );
   EXPECT_TRUE( instance.IsInterface( window.get() ) );
   window->ImportInstance( instance );
   EXPECT_EQ( window->parameters.x, other.x );
   EXPECT_EQ( window->parameters.linear, other.linear );
   EXPECT_EQ( Current(), 0 );
   window->Channel_Actions[CurvesTransform::B]->trigger();
   EXPECT_TRUE( window->Linear_CheckBox->isChecked() );
   EXPECT_EQ( window->NewInstance()->ToText(), instance.ToText() );
   EXPECT_EQ( window->NewProbeInstance()->ToText(), CurvesTransform().ToText() );
}

TEST_F( CurvesWindowTest, SettingsRoundTripThroughTheRegistry )
{
   test::TempDir dir;
   platform::Registry registry( QString::fromStdString( dir.File( "settings.ini" ) ) );
   registry.OpenKey( "Window Status", true );
   window->ShowAll_CheckBox->click();
   window->ShowGrid_CheckBox->click();
   window->SaveSettings( registry );
   EXPECT_TRUE( registry.ReadBool( "CurvesWindow_ShowAllCurves" ) );
   EXPECT_FALSE( registry.ReadBool( "CurvesWindow_ShowGrid" ) );
   TCurvesWindow loaded;
   loaded.LoadSettings( registry );
   EXPECT_TRUE( loaded.showAllCurves );
   EXPECT_FALSE( loaded.showGrid );
   EXPECT_TRUE( loaded.ShowAll_CheckBox->isChecked() );
   EXPECT_FALSE( loaded.ShowGrid_CheckBox->isChecked() );
}

} // namespace
