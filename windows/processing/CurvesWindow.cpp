#include "windows/processing/CurvesWindow.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHideEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QStyle>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "classlib/Exception.h"
#include "classlib/Parallel.h"
#include "classlib/TransferCurveEvaluator.h"
#include "platform/KeyTracker.h"
#include "platform/Prompter.h"
#include "platform/Registry.h"
#include "support/RegistryReaders.h"
#include "support/Utils.h"
#include "windows/image/Cursors.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ColorSpaceControls.h"
#include "windows/processing/FilterWindowParts.h"
#include "windows/tools/RealTimePreviewWindow.h"

namespace
{

// Two inputs closer than this are one abscissa.
constexpr double IdenticalAbscissae = 0.00001;

// The plot: its painting and mouse go to the window's handlers. It tracks the mouse for the crosshair.
class CurvePaintBox : public QWidget
{
public:
   CurvePaintBox( TCurvesWindow* window, QWidget* parent ) : QWidget( parent ), window( window )
   {
      setMouseTracking( true );
      setAttribute( Qt::WA_OpaquePaintEvent );
   }

protected:
   void paintEvent( QPaintEvent* event ) override
   {
      QPainter painter( this );
      window->Curve_PaintBoxPaint( painter, event->rect() );
   }
   void mousePressEvent( QMouseEvent* e ) override
   {
      const QPoint p = e->position().toPoint();
      window->Curve_PaintBoxMouseDown( e->button(), p.x(), p.y() );
   }
   void mouseMoveEvent( QMouseEvent* e ) override
   {
      const QPoint p = e->position().toPoint();
      window->Curve_PaintBoxMouseMove( p.x(), p.y() );
   }
   void mouseReleaseEvent( QMouseEvent* e ) override
   {
      const QPoint p = e->position().toPoint();
      window->Curve_PaintBoxMouseUp( e->button(), p.x(), p.y() );
   }
   void leaveEvent( QEvent* ) override { window->Curve_PaintBoxLeave(); }

private:
   TCurvesWindow* window;
};

QToolButton* SpeedButton( QWidget* parent, const char* name, QAction* action )
{
   auto* button = new QToolButton( parent );
   button->setObjectName( name );
   button->setDefaultAction( action );
   button->setFocusPolicy( Qt::NoFocus );
   return button;
}

} // namespace

// ---- Construction ---------------------------------------------------------------------------------------------------

TCurvesWindow::TCurvesWindow( QWidget* owner ) : TProcessingWindow( owner )
{
   setObjectName( "CurvesWindow" );
   setWindowTitle( "Curves" );

   auto action = [this]( const char* name, const QString& caption, const QString& hint = QString() )
   {
      auto* a = new QAction( caption, this );
      a->setObjectName( name );
      a->setToolTip( hint.isEmpty() ? caption : hint );
      addAction( a );
      return a;
   };

   // Channels.
   const char* channelActions[] = { "R_Action", "G_Action", "B_Action", "RGBK_Action", "L_Action", "H_Action", "S_Action" };
   const char* channelCaptions[] = { "R", "G", "B", "RGB/K", "L", "H", "S" };
   const char* channelButtons[] = { "R_SpeedButton", "G_SpeedButton", "B_SpeedButton", "RGBK_SpeedButton",
                                    "L_SpeedButton", "H_SpeedButton", "S_SpeedButton" };
   channelGroup = new QActionGroup( this );
   channelGroup->setExclusive( true );
   for ( int32_t c = 0; c < CurvesTransform::NumberOfCurves; ++c )
   {
      QAction* a = action( channelActions[c], channelCaptions[c] );
      a->setCheckable( true );
      channelGroup->addAction( a );
      connect( a, &QAction::triggered, this, [this, c] { SelectCurve( c ); } );
      Channel_Actions[size_t( c )] = a;
   }

   Reset_Action = action( "Reset_Action", "Reset" );
   connect( Reset_Action, &QAction::triggered, this,
            [this] { ResetCurves( platform::KeyTracker::Instance().IsControlDown() ); } );
   ResetAll_Action = action( "ResetAll_Action", "Reset All" );
   connect( ResetAll_Action, &QAction::triggered, this, [this] { ResetCurves( true ); } );
   PrevPoint_Action = action( "PrevPoint_Action", "<", "Previous Point" );
   connect( PrevPoint_Action, &QAction::triggered, this, [this] {
      if ( currentPoint[size_t( currentCurve )] > 0 )
         SelectPoint( currentPoint[size_t( currentCurve )] - 1 );
   } );
   NextPoint_Action = action( "NextPoint_Action", ">", "Next Point" );
   connect( NextPoint_Action, &QAction::triggered, this, [this] {
      if ( currentPoint[size_t( currentCurve )] < parameters.Length( currentCurve ) - 1 )
         SelectPoint( currentPoint[size_t( currentCurve )] + 1 );
   } );
   FirstPoint_Action = action( "FirstPoint_Action", "|<", "First Point" );
   connect( FirstPoint_Action, &QAction::triggered, this, [this] { SelectPoint( 0 ); } );
   LastPoint_Action = action( "LastPoint_Action", ">|", "Last Point" );
   connect( LastPoint_Action, &QAction::triggered, this,
            [this] { SelectPoint( parameters.Length( currentCurve ) - 1 ); } );
   NewPoint_Action = action( "NewPoint_Action", "New Point" );
   NewPoint_Action->setShortcut( QKeySequence( Qt::Key_Insert ) );
   NewPoint_Action->setShortcutContext( Qt::WidgetWithChildrenShortcut );
   connect( NewPoint_Action, &QAction::triggered, this, [this] { NewPoint_ActionExecute(); } );

   modeGroup = new QActionGroup( this );
   modeGroup->setExclusionPolicy( QActionGroup::ExclusionPolicy::ExclusiveOptional );
   struct ModeAction
   {
      QAction*& member;
      const char* name;
      const char* caption;
      const char* hint;
      int32_t mode;
   };
   for ( const ModeAction& m : { ModeAction{ AddEditMode_Action, "AddEditMode_Action", "Add/Edit", "Add/Edit Point Mode", AddEditMode },
                                 ModeAction{ SelectMode_Action, "SelectMode_Action", "Select", "Select Point Mode", SelectMode },
                                 ModeAction{ DeleteMode_Action, "DeleteMode_Action", "Delete", "Delete Point Mode", DeleteMode },
                                 ModeAction{ ZoomInMode_Action, "ZoomInMode_Action", "Zoom In", "Zoom In Mode", ZoomInMode },
                                 ModeAction{ ZoomOutMode_Action, "ZoomOutMode_Action", "Zoom Out", "Zoom Out Mode", ZoomOutMode } } )
   {
      m.member = action( m.name, m.caption, m.hint );
      m.member->setCheckable( true );
      modeGroup->addAction( m.member );
      const int32_t value = m.mode;
      // A mode button pressed again stays down.
      connect( m.member, &QAction::triggered, this, [this, value] { SetMode( value ); } );
   }

   // The plot.
   Curve_Panel = new QWidget( this );
   Curve_Panel->setObjectName( "Curve_Panel" );
   Curve_ScrollBox = new QScrollArea( Curve_Panel );
   Curve_ScrollBox->setObjectName( "Curve_ScrollBox" );
   Curve_ScrollBox->setFrameShape( QFrame::NoFrame );
   Curve_ScrollBox->setFixedSize( 385, 385 );
   Curve_ScrollBox->setWidgetResizable( false );
   Curve_ScrollBox->setHorizontalScrollBarPolicy( Qt::ScrollBarAsNeeded );
   Curve_ScrollBox->setVerticalScrollBarPolicy( Qt::ScrollBarAsNeeded );
   QPalette black = Curve_ScrollBox->palette();
   black.setColor( QPalette::Window, Qt::black );
   Curve_ScrollBox->setPalette( black );
   Curve_ScrollBox->viewport()->setPalette( black );
   Curve_ScrollBox->viewport()->setAutoFillBackground( true );
   Curve_PaintBox = new CurvePaintBox( this, nullptr );
   Curve_PaintBox->setObjectName( "Curve_PaintBox" );
   Curve_PaintBox->resize( 385, 385 );
   Curve_ScrollBox->setWidget( Curve_PaintBox );
   Info_Panel = new QLabel( Curve_Panel );
   Info_Panel->setObjectName( "Info_Panel" );
   Info_Panel->setFrameShape( QFrame::Panel );
   Info_Panel->setFrameShadow( QFrame::Sunken );
   Info_Panel->setAlignment( Qt::AlignLeft | Qt::AlignVCenter );
   Info_Panel->setMinimumWidth( 100 );
   ResetZoom_SpeedButton = new QToolButton( Curve_Panel );
   ResetZoom_SpeedButton->setObjectName( "ResetZoom_SpeedButton" );
   ResetZoom_SpeedButton->setText( "1:1" );
   ResetZoom_SpeedButton->setToolTip( "Zoom" );
   ResetZoom_SpeedButton->setFocusPolicy( Qt::NoFocus );
   HorizontalZoom_Edit = new QLineEdit( Curve_Panel );
   HorizontalZoom_Edit->setObjectName( "HorizontalZoom_Edit" );
   HorizontalZoom_Edit->setToolTip( "Horizontal Zoom" );
   HorizontalZoom_Edit->setFixedWidth( 32 );
   VerticalZoom_Edit = new QLineEdit( Curve_Panel );
   VerticalZoom_Edit->setObjectName( "VerticalZoom_Edit" );
   VerticalZoom_Edit->setToolTip( "Vertical Zoom" );
   VerticalZoom_Edit->setFixedWidth( 32 );
   auto* plotBar = new QHBoxLayout;
   plotBar->addWidget( Info_Panel, 1 );
   plotBar->addWidget( ResetZoom_SpeedButton );
   plotBar->addWidget( HorizontalZoom_Edit );
   plotBar->addWidget( VerticalZoom_Edit );
   auto* panelLayout = new QVBoxLayout( Curve_Panel );
   panelLayout->setContentsMargins( 0, 0, 0, 0 );
   panelLayout->addWidget( Curve_ScrollBox );
   panelLayout->addLayout( plotBar );

   // Channels and the two plot options.
   ModeSelector_Panel = new QWidget( this );
   ModeSelector_Panel->setObjectName( "ModeSelector_Panel" );
   auto* channels = new QHBoxLayout( ModeSelector_Panel );
   channels->setContentsMargins( 0, 0, 0, 0 );
   for ( int32_t c = 0; c < CurvesTransform::NumberOfCurves; ++c )
   {
      Channel_SpeedButtons[size_t( c )] = SpeedButton( ModeSelector_Panel, channelButtons[c], Channel_Actions[size_t( c )] );
      channels->addWidget( Channel_SpeedButtons[size_t( c )] );
   }
   channels->addStretch();
   ShowAll_CheckBox = new QCheckBox( "All", ModeSelector_Panel );
   ShowAll_CheckBox->setObjectName( "ShowAll_CheckBox" );
   ShowGrid_CheckBox = new QCheckBox( "Grid", ModeSelector_Panel );
   ShowGrid_CheckBox->setObjectName( "ShowGrid_CheckBox" );
   channels->addWidget( ShowAll_CheckBox );
   channels->addWidget( ShowGrid_CheckBox );

   // The point.
   Input_Label = new QLabel( "Input:", this );
   Input_Label->setObjectName( "Input_Label" );
   Input_Edit = new QLineEdit( this );
   Input_Edit->setObjectName( "Input_Edit" );
   Input_Edit->setFixedWidth( 70 );
   Output_Label = new QLabel( "Output:", this );
   Output_Label->setObjectName( "Output_Label" );
   Output_Edit = new QLineEdit( this );
   Output_Edit->setObjectName( "Output_Edit" );
   Output_Edit->setFixedWidth( 70 );
   Prev_SpeedButton = SpeedButton( this, "Prev_SpeedButton", PrevPoint_Action );
   Next_SpeedButton = SpeedButton( this, "Next_SpeedButton", NextPoint_Action );
   First_SpeedButton = SpeedButton( this, "First_SpeedButton", FirstPoint_Action );
   Last_SpeedButton = SpeedButton( this, "Last_SpeedButton", LastPoint_Action );
   AddEditMode_SpeedButton = SpeedButton( this, "AddEditMode_SpeedButton", AddEditMode_Action );
   SelectMode_SpeedButton = SpeedButton( this, "SelectMode_SpeedButton", SelectMode_Action );
   DeleteMode_SpeedButton = SpeedButton( this, "DeleteMode_SpeedButton", DeleteMode_Action );
   Linear_CheckBox = new QCheckBox( "Linear", this );
   Linear_CheckBox->setObjectName( "Linear_CheckBox" );
   RealTimePreview_CheckBox = new QCheckBox( "R-T", this );
   RealTimePreview_CheckBox->setObjectName( "RealTimePreview_CheckBox" );
   RealTimePreview_CheckBox->setToolTip( "Real-Time Preview" );
   // The live preview's switch, not a button that applies the process to the previews.
   RealTimePreview_CheckBox->setProperty( "lf_hooked", true );
   Reset_Button = new QPushButton( "Reset", this );
   Reset_Button->setObjectName( "Reset_Button" );
   Reset_Button->setAutoDefault( false );
   connect( Reset_Button, &QPushButton::clicked, Reset_Action, &QAction::trigger );

   auto* point = new QGridLayout;
   point->addWidget( Input_Label, 0, 0 );
   point->addWidget( Input_Edit, 0, 1 );
   point->addWidget( First_SpeedButton, 0, 2 );
   point->addWidget( Prev_SpeedButton, 0, 3 );
   point->addWidget( Next_SpeedButton, 0, 4 );
   point->addWidget( Last_SpeedButton, 0, 5 );
   point->addWidget( Linear_CheckBox, 0, 6 );
   point->addWidget( Output_Label, 1, 0 );
   point->addWidget( Output_Edit, 1, 1 );
   point->addWidget( AddEditMode_SpeedButton, 1, 2 );
   point->addWidget( SelectMode_SpeedButton, 1, 3 );
   point->addWidget( DeleteMode_SpeedButton, 1, 4 );
   point->addWidget( RealTimePreview_CheckBox, 1, 6 );
   point->addWidget( Reset_Button, 1, 7 );

   ButtonRow bottom = MakeButtonRow(
       this, { "Preview_SpeedButton", "Apply_SpeedButton", "SelectPreviews_SpeedButton", "SelectImages_SpeedButton" } );
   bottom.row->setObjectName( "Bottom_Panel" );
   bottom.buttons[0]->setText( "Preview" );
   bottom.buttons[1]->setText( "Apply" );
   bottom.buttons[2]->setToolTip( "Select previews (Ctrl+F5)" );
   bottom.buttons[3]->setToolTip( "Select images (Ctrl+F9)" );

   auto* layout = new QVBoxLayout( this );
   layout->setContentsMargins( 5, 5, 5, 5 );
   layout->addWidget( Curve_Panel );
   layout->addWidget( ModeSelector_Panel );
   layout->addLayout( point );
   layout->addWidget( bottom.row );

   RealTimePreview_Timer = TRealTimePreviewWindow::MakeRenderTimer( this, [this] { RealTimePreview_TimerTimer(); } );

   connect( ResetZoom_SpeedButton, &QToolButton::clicked, this, [this] { ResetZoom_SpeedButtonClick(); } );
   SetEditExitHandler( HorizontalZoom_Edit, [this] { HorizontalZoom_EditExit(); } );
   SetEditExitHandler( VerticalZoom_Edit, [this] { VerticalZoom_EditExit(); } );
   SetEditExitHandler( Input_Edit, [this] { Input_EditExit(); } );
   SetEditExitHandler( Output_Edit, [this] { Output_EditExit(); } );
   connect( ShowAll_CheckBox, &QCheckBox::clicked, this, [this] { ShowAll_CheckBoxClick(); } );
   connect( ShowGrid_CheckBox, &QCheckBox::clicked, this, [this] { ShowGrid_CheckBoxClick(); } );
   connect( Linear_CheckBox, &QCheckBox::clicked, this, [this] { Linear_CheckBoxClick(); } );
   connect( RealTimePreview_CheckBox, &QCheckBox::clicked, this, [this] { RealTimePreview_CheckBoxClick(); } );

   SetZoom( 1, 1 );
   SetMode( AddEditMode );
   UpdateInfo();
   UpdateControls();
   UpdateEdits();
}

TCurvesWindow::~TCurvesWindow() = default;

// ---- Instances and settings --------------------------------------------------------------------------------------

std::unique_ptr<Process> TCurvesWindow::NewInstance()
{
   return std::make_unique<CurvesTransform>( parameters );
}

std::unique_ptr<Process> TCurvesWindow::NewProbeInstance()
{
   return std::make_unique<CurvesTransform>();
}

void TCurvesWindow::ImportInstance( const Process& instance )
{
   const auto* curves = dynamic_cast<const CurvesTransform*>( &instance );
   if ( curves == nullptr )
      return;
   parameters.Assign( curves->Params() );
   currentPoint.fill( 0 );
   RepaintPlot();
   UpdateInfo();
   UpdateEdits();
   UpdateControls();
   if ( realTimePreview )
      UpdateRealTimePreview();
}

void TCurvesWindow::LoadSettings( platform::Registry& registry )
{
   ReadRegistryBool( showAllCurves, registry, "CurvesWindow_ShowAllCurves" );
   ReadRegistryBool( showGrid, registry, "CurvesWindow_ShowGrid" );
   UpdateControls();
   RepaintPlot();
}

void TCurvesWindow::SaveSettings( platform::Registry& registry )
{
   registry.WriteBool( "CurvesWindow_ShowAllCurves", showAllCurves );
   registry.WriteBool( "CurvesWindow_ShowGrid", showGrid );
}

// ---- Readout and owner notifications -----------------------------------------------------------------------------

void TCurvesWindow::BeginReadout( TImageWindow::View& view, float r, float g, float b )
{
   readoutValues[0] = r;
   readoutValues[1] = g;
   readoutValues[2] = b;
   if ( view.RGBWorkingSpace() != nullptr )
      readoutSpace = *view.RGBWorkingSpace();
   readoutShown = true;
   RepaintPlot();
}

void TCurvesWindow::UpdateReadout( TImageWindow::View& view, float r, float g, float b )
{
   BeginReadout( view, r, g, b );
}

void TCurvesWindow::EndReadout( TImageWindow::View& )
{
   readoutShown = false;
   RepaintPlot();
}

void TCurvesWindow::RealTimePreviewOwnerChanged( QWidget* newOwner )
{
   if ( realTimePreview && newOwner != this )
      TRealTimePreviewWindow::SwitchedOff( realTimePreview, RealTimePreview_Timer, RealTimePreview_CheckBox );
}

// ---- Geometry -------------------------------------------------------------------------------------------------------

int32_t TCurvesWindow::PlotWidth() const
{
   return Curve_PaintBox->width();
}

int32_t TCurvesWindow::PlotHeight() const
{
   return Curve_PaintBox->height();
}

double TCurvesWindow::RoundToDecimals( double v )
{
   return std::nearbyint( v * 100000 ) / 100000;
}

double TCurvesWindow::InputAt( int32_t X ) const
{
   return RoundToDecimals( double( X ) / std::max( 1, PlotWidth() - 1 ) );
}

double TCurvesWindow::OutputAt( int32_t Y ) const
{
   return RoundToDecimals( 1 - double( Y ) / std::max( 1, PlotHeight() - 1 ) );
}

int32_t TCurvesWindow::ColumnOf( double x ) const
{
   return int32_t( std::nearbyint( ( PlotWidth() - 1 ) * x ) );
}

int32_t TCurvesWindow::RowOf( double y ) const
{
   return int32_t( std::nearbyint( ( PlotHeight() - 1 ) * ( 1 - y ) ) );
}

double TCurvesWindow::Tolerance( int32_t pixels ) const
{
   return double( pixels ) / std::max( 1, PlotWidth() - 1 );
}

QRect TCurvesWindow::VisibleRect() const
{
   const QSize client = Curve_ScrollBox->viewport()->size();
   return QRect( Curve_ScrollBox->horizontalScrollBar()->value(), Curve_ScrollBox->verticalScrollBar()->value(),
                 client.width(), client.height() );
}

// ---- Points -----------------------------------------------------------------------------------------------------------

int32_t TCurvesWindow::FindPoint( double x, double y, double tolerance ) const
{
   const std::vector<float>& cx = parameters.x[size_t( currentCurve )];
   const std::vector<float>& cy = parameters.y[size_t( currentCurve )];
   for ( size_t i = 0; i < cx.size(); ++i )
      if ( std::abs( x - cx[i] ) <= tolerance && std::abs( y - cy[i] ) <= tolerance )
         return int32_t( i );
   return -1;
}

void TCurvesWindow::AddPoint( double x, double y, double tolerance )
{
   std::vector<float>& cx = parameters.x[size_t( currentCurve )];
   std::vector<float>& cy = parameters.y[size_t( currentCurve )];
   for ( size_t i = 0; i < cx.size(); ++i )
   {
      if ( std::abs( x - cx[i] ) <= tolerance )
      {
         cy[i] = float( y );
         currentPoint[size_t( currentCurve )] = int32_t( i );
         return;
      }
      if ( cx[i] > x )
         break;
   }
   const size_t at = size_t( std::upper_bound( cx.begin(), cx.end(), float( x ) ) - cx.begin() );
   cx.insert( cx.begin() + ptrdiff_t( at ), float( x ) );
   cy.insert( cy.begin() + ptrdiff_t( at ), float( y ) );
   currentPoint[size_t( currentCurve )] = int32_t( at );
}

void TCurvesWindow::MovePoint( double x, double y )
{
   std::vector<float>& cx = parameters.x[size_t( currentCurve )];
   std::vector<float>& cy = parameters.y[size_t( currentCurve )];
   const int32_t k = currentPoint[size_t( currentCurve )];
   if ( k < 0 || size_t( k ) >= cx.size() )
      return;
   cy[size_t( k )] = float( y );
   // The end points keep their inputs; an interior point moves only between its neighbours.
   if ( k > 0 && size_t( k ) + 1 < cx.size() && cx[size_t( k ) - 1] < float( x ) && float( x ) < cx[size_t( k ) + 1] )
      cx[size_t( k )] = float( x );
}

void TCurvesWindow::DeletePoint( double x, double y, double tolerance )
{
   const int32_t k = FindPoint( x, y, tolerance );
   if ( k < 0 )
      return;
   std::vector<float>& cx = parameters.x[size_t( currentCurve )];
   std::vector<float>& cy = parameters.y[size_t( currentCurve )];
   int32_t& current = currentPoint[size_t( currentCurve )];
   const int32_t last = int32_t( cx.size() ) - 1;
   if ( k == 0 || k == last )
   {
      // The end points stay: they only go back to their end of the input range.
      cx[size_t( k )] = k == 0 ? 0.0f : 1.0f;
      current = k;
      return;
   }
   cx.erase( cx.begin() + k );
   cy.erase( cy.begin() + k );
   if ( current == k )
      current = k - 1;
   else if ( current > k )
      --current; // the same point, one place down
}

void TCurvesWindow::SelectPoint( int32_t index )
{
   if ( index < 0 || index >= parameters.Length( currentCurve ) )
      return;
   currentPoint[size_t( currentCurve )] = index;
   RepaintPlot();
   UpdateEdits();
}

void TCurvesWindow::NewPoint_ActionExecute()
{
   // A point halfway between the current point and the next one (the previous one for the last point), on the
   // curve as it is drawn.
   const std::vector<float>& cx = parameters.x[size_t( currentCurve )];
   const int32_t k = currentPoint[size_t( currentCurve )];
   if ( cx.size() < 2 )
      return;
   const int32_t a = size_t( k ) + 1 < cx.size() ? k : k - 1;
   const double x = RoundToDecimals( ( double( cx[size_t( a )] ) + cx[size_t( a ) + 1] ) / 2 );
   if ( x - cx[size_t( a )] < IdenticalAbscissae || cx[size_t( a ) + 1] - x < IdenticalAbscissae )
      return;
   const qor::TransferCurveEvaluator curve( parameters.x[size_t( currentCurve )], parameters.y[size_t( currentCurve )],
                                            parameters.linear[size_t( currentCurve )] );
   AddPoint( x, RoundToDecimals( curve.Clamped( float( x ) ) ), 0 );
   CurveChanged( true );
}

// ---- Commands ---------------------------------------------------------------------------------------------------------

void TCurvesWindow::SelectCurve( int32_t curve )
{
   if ( curve < 0 || curve >= CurvesTransform::NumberOfCurves )
      return;
   if ( curve != currentCurve )
   {
      currentCurve = curve;
      RepaintPlot();
   }
   UpdateInfo();
   UpdateControls();
   UpdateEdits();
}

void TCurvesWindow::SetMode( int32_t newMode )
{
   mode = newMode;
   UpdateInfo();
   // The Add/Edit, Select and Delete buttons show modes 0 to 2; in the other modes none is down.
   AddEditMode_Action->setChecked( mode == AddEditMode );
   SelectMode_Action->setChecked( mode == SelectMode );
   DeleteMode_Action->setChecked( mode == DeleteMode );
   ZoomInMode_Action->setChecked( false );
   ZoomOutMode_Action->setChecked( false );
   switch ( mode )
   {
   case ZoomInMode:
      Curve_PaintBox->setCursor( ScreenCursor( CursorZoomIn ) );
      break;
   case ZoomOutMode:
      Curve_PaintBox->setCursor( ScreenCursor( CursorZoomOut ) );
      break;
   case PanMode:
      Curve_PaintBox->setCursor( ScreenCursor( CursorPan ) );
      break;
   default:
      Curve_PaintBox->setCursor( Qt::BlankCursor ); // the crosshair stands in for the cursor
      break;
   }
   if ( crosshairShown )
      RepaintPlot();
}

void TCurvesWindow::SetZoom( int32_t horizontal, int32_t vertical )
{
   const int32_t W0 = PlotWidth();
   const int32_t H0 = PlotHeight();
   const QRect visible = VisibleRect();
   int32_t cx = crosshairShown ? mouseX : visible.left() + visible.width() / 2;
   int32_t cy = crosshairShown ? mouseY : visible.top() + visible.height() / 2;
   cx = std::clamp( cx, 0, std::max( 0, W0 - 1 ) );
   cy = std::clamp( cy, 0, std::max( 0, H0 - 1 ) );
   const double fx = W0 > 1 ? double( cx ) / ( W0 - 1 ) : 0.5;
   const double fy = H0 > 1 ? double( cy ) / ( H0 - 1 ) : 0.5;

   horizontalZoom = std::clamp( horizontal, 1, MaximumZoom );
   verticalZoom = std::clamp( vertical, 1, MaximumZoom );
   // The client area without scroll bars; an axis at zoom 1 loses the width of the other axis's bar.
   const QSize full = Curve_ScrollBox->size();
   const int32_t bar = Curve_ScrollBox->style()->pixelMetric( QStyle::PM_ScrollBarExtent, nullptr, Curve_ScrollBox );
   const int32_t W = horizontalZoom > 1 ? full.width() * horizontalZoom
                                        : ( verticalZoom > 1 ? full.width() - bar : full.width() );
   const int32_t H = verticalZoom > 1 ? full.height() * verticalZoom
                                      : ( horizontalZoom > 1 ? full.height() - bar : full.height() );
   Curve_PaintBox->resize( W, H );

   // The client area once the bars of the zoomed axes are shown.
   const int32_t clientWidth = full.width() - ( verticalZoom > 1 ? bar : 0 );
   const int32_t clientHeight = full.height() - ( horizontalZoom > 1 ? bar : 0 );
   auto position = [&]( int32_t zoom, int32_t size, double fraction, int32_t clientSize )
   {
      if ( zoom < 2 )
         return 0;
      const int32_t p = int32_t( std::nearbyint( ( size - 1 ) * fraction - clientSize / 2.0 ) );
      return std::clamp( p, 0, size - 1 );
   };
   Curve_ScrollBox->horizontalScrollBar()->setValue( position( horizontalZoom, W, fx, clientWidth ) );
   Curve_ScrollBox->verticalScrollBar()->setValue( position( verticalZoom, H, fy, clientHeight ) );
   {
      TMainWindow::ControlUpdateGuard guard;
      HorizontalZoom_Edit->setText( QString::number( horizontalZoom ) );
      VerticalZoom_Edit->setText( QString::number( verticalZoom ) );
   }
   RepaintPlot();
}

void TCurvesWindow::ResetCurves( bool all )
{
   for ( int32_t c = 0; c < CurvesTransform::NumberOfCurves; ++c )
      if ( all || c == currentCurve )
      {
         parameters.ResetCurve( c );
         currentPoint[size_t( c )] = 0;
      }
   RepaintPlot();
   UpdateInfo();
   UpdateEdits();
   if ( realTimePreview )
      UpdateRealTimePreview();
   RealTimePreview_Timer->setInterval( TRealTimePreviewWindow::InitialRenderInterval );
   RealTimePreview_Timer->stop();
}

bool TCurvesWindow::FormKey()
{
   const platform::KeyTracker& keys = platform::KeyTracker::Instance();
   const bool ctrl = keys.IsControlDown();
   const bool shift = keys.IsShiftDown();
   const bool alt = keys.IsAltDown();
   const bool space = keys.IsKeyDown( Qt::Key_Space );
   Reset_Button->setText( ctrl ? "Reset All" : "Reset" );
   ResetZoom_SpeedButton->setText( ctrl ? ( shift ? "4:1" : "2:1" ) : "1:1" );

   int32_t wanted = AddEditMode;
   if ( space && ctrl && alt )
      wanted = ZoomOutMode;
   else if ( space && ctrl )
      wanted = ZoomInMode;
   else if ( space && !shift && !alt )
      wanted = PanMode;
   else if ( ctrl && !shift && !alt )
      wanted = DeleteMode;
   else if ( shift && !ctrl && !alt )
      wanted = SelectMode;
   if ( wanted != mode )
      SetMode( wanted );
   return ctrl || space;
}

bool TCurvesWindow::WantChildKey( QWidget* child, QKeyEvent* key )
{
   if ( TProcessingWindow::WantChildKey( child, key ) )
      return true;
   return FormKey();
}

void TCurvesWindow::keyPressEvent( QKeyEvent* event )
{
   FormKey();
   TProcessingWindow::keyPressEvent( event );
}

void TCurvesWindow::keyReleaseEvent( QKeyEvent* event )
{
   FormKey();
   TProcessingWindow::keyReleaseEvent( event );
}

void TCurvesWindow::FormActivate()
{
   TProcessingWindow::FormActivate();
   const bool ctrl = platform::KeyTracker::Instance().IsControlDown();
   const bool shift = platform::KeyTracker::Instance().IsShiftDown();
   Reset_Button->setText( ctrl ? "Reset All" : "Reset" );
   ResetZoom_SpeedButton->setText( ctrl ? ( shift ? "4:1" : "2:1" ) : "1:1" );
   SetMode( AddEditMode );
}

void TCurvesWindow::hideEvent( QHideEvent* event )
{
   TProcessingWindow::hideEvent( event );
   if ( !event->spontaneous() && realTimePreview )
   {
      {
         TMainWindow::ControlUpdateGuard guard;
         RealTimePreview_CheckBox->setChecked( false );
      }
      RealTimePreview_CheckBoxClick();
   }
}

// ---- Mouse ----------------------------------------------------------------------------------------------------------

void TCurvesWindow::Curve_PaintBoxMouseDown( Qt::MouseButton button, int32_t X, int32_t Y )
{
   if ( button != Qt::LeftButton )
      return;
   const double x = InputAt( X );
   const double y = OutputAt( Y );
   switch ( mode )
   {
   case AddEditMode:
      dragState = 1;
      if ( realTimePreview )
         RestartTimer();
      AddPoint( x, y, Tolerance( AddTolerance ) );
      RepaintPlot();
      UpdateEdits();
      break;
   case SelectMode:
   {
      const int32_t k = FindPoint( x, y, Tolerance( SelectTolerance ) );
      if ( k >= 0 )
         currentPoint[size_t( currentCurve )] = k;
      RepaintPlot();
      UpdateEdits();
      break;
   }
   case DeleteMode:
      DeletePoint( x, y, Tolerance( DeleteTolerance ) );
      RepaintPlot();
      UpdateEdits();
      if ( realTimePreview )
         UpdateRealTimePreview();
      break;
   case ZoomInMode:
      if ( horizontalZoom < MaximumZoom || verticalZoom < MaximumZoom )
         SetZoom( std::min( horizontalZoom + 1, MaximumZoom ), std::min( verticalZoom + 1, MaximumZoom ) );
      break;
   case ZoomOutMode:
      if ( horizontalZoom > 1 || verticalZoom > 1 )
         SetZoom( std::max( horizontalZoom - 1, 1 ), std::max( verticalZoom - 1, 1 ) );
      break;
   case PanMode:
      dragState = 2;
      panOrigin[0] = X - Curve_ScrollBox->horizontalScrollBar()->value();
      panOrigin[1] = Y - Curve_ScrollBox->verticalScrollBar()->value();
      panOrigin[2] = horizontalZoom > 1 ? Curve_ScrollBox->horizontalScrollBar()->value() : 0;
      panOrigin[3] = verticalZoom > 1 ? Curve_ScrollBox->verticalScrollBar()->value() : 0;
      break;
   default:
      break;
   }
   UpdateInfo();
}

void TCurvesWindow::Curve_PaintBoxMouseMove( int32_t X, int32_t Y )
{
   if ( X == mouseX && Y == mouseY && crosshairShown )
      return;
   const bool wasShown = crosshairShown;
   crosshairShown = false;
   if ( dragState == 0 && !VisibleRect().contains( X, Y ) )
   {
      RealTimePreview_Timer->stop();
      UpdateInfo();
      if ( wasShown )
         RepaintPlot();
      return;
   }
   mouseX = X;
   mouseY = Y;
   crosshairShown = true;
   if ( dragState == 1 )
   {
      const double x = std::clamp( InputAt( X ), 0.0, 1.0 );
      const double y = std::clamp( OutputAt( Y ), 0.0, 1.0 );
      if ( realTimePreview )
         RestartTimer();
      MovePoint( x, y );
      UpdateEdits();
   }
   else if ( dragState == 2 )
   {
      // Plot coordinates move with the scroll position: the drag is measured in viewport coordinates.
      QScrollBar* h = Curve_ScrollBox->horizontalScrollBar();
      QScrollBar* v = Curve_ScrollBox->verticalScrollBar();
      const int32_t vx = X - h->value();
      const int32_t vy = Y - v->value();
      if ( horizontalZoom > 1 )
      {
         panOrigin[2] = std::clamp( panOrigin[2] + panOrigin[0] - vx, 0, PlotWidth() - 1 );
         panOrigin[0] = vx;
         h->setValue( panOrigin[2] );
      }
      if ( verticalZoom > 1 )
      {
         panOrigin[3] = std::clamp( panOrigin[3] + panOrigin[1] - vy, 0, PlotHeight() - 1 );
         panOrigin[1] = vy;
         v->setValue( panOrigin[3] );
      }
   }
   RepaintPlot();
   UpdateInfo();
}

void TCurvesWindow::Curve_PaintBoxMouseUp( Qt::MouseButton, int32_t X, int32_t Y )
{
   if ( crosshairShown && !VisibleRect().contains( X, Y ) )
   {
      crosshairShown = false;
      RepaintPlot();
   }
   dragState = 0;
   if ( RealTimePreview_Timer->isActive() )
   {
      RealTimePreview_Timer->stop();
      RealTimePreview_TimerTimer();
   }
   UpdateInfo();
}

void TCurvesWindow::Curve_PaintBoxLeave()
{
   if ( dragState != 0 || !crosshairShown )
      return;
   crosshairShown = false;
   RepaintPlot();
   UpdateInfo();
}

// ---- Controls -------------------------------------------------------------------------------------------------------

void TCurvesWindow::ResetZoom_SpeedButtonClick()
{
   const platform::KeyTracker& keys = platform::KeyTracker::Instance();
   const int32_t zoom = keys.IsControlDown() ? ( keys.IsShiftDown() ? 4 : 2 ) : 1;
   SetZoom( zoom, zoom );
}

void TCurvesWindow::HorizontalZoom_EditExit()
{
   try
   {
      const int32_t zoom = int32_t( ReadNumberFromEdit( HorizontalZoom_Edit, 1, MaximumZoom, false ) );
      if ( zoom != horizontalZoom )
         SetZoom( zoom, verticalZoom );
      return;
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
   }
   TMainWindow::ControlUpdateGuard guard;
   HorizontalZoom_Edit->setText( QString::number( horizontalZoom ) );
}

void TCurvesWindow::VerticalZoom_EditExit()
{
   try
   {
      const int32_t zoom = int32_t( ReadNumberFromEdit( VerticalZoom_Edit, 1, MaximumZoom, false ) );
      if ( zoom != verticalZoom )
         SetZoom( horizontalZoom, zoom );
      return;
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
   }
   TMainWindow::ControlUpdateGuard guard;
   VerticalZoom_Edit->setText( QString::number( verticalZoom ) );
}

void TCurvesWindow::Input_EditExit()
{
   std::vector<float>& cx = parameters.x[size_t( currentCurve )];
   std::vector<float>& cy = parameters.y[size_t( currentCurve )];
   int32_t& k = currentPoint[size_t( currentCurve )];
   if ( k <= 0 || size_t( k ) + 1 >= cx.size() )
   {
      UpdateEdits(); // the end points keep their inputs
      return;
   }
   try
   {
      const float value = float( RoundToDecimals( double( ReadNumberFromEdit( Input_Edit, 0, 1, true ) ) ) );
      if ( value != cx[size_t( k )] )
      {
         if ( std::any_of( cx.begin(), cx.end(),
                           [value]( float xi ) { return std::abs( double( xi ) - value ) < IdenticalAbscissae; } ) )
            platform::ShowMessage( platform::Icon::Error, "Curves",
                                   "Cannot have two points with identical abscissae - previous value inserted." );
         else
         {
            // The point moves with its output to the new input's place, and stays the current point.
            const float output = cy[size_t( k )];
            cx.erase( cx.begin() + k );
            cy.erase( cy.begin() + k );
            const size_t at = size_t( std::upper_bound( cx.begin(), cx.end(), value ) - cx.begin() );
            cx.insert( cx.begin() + ptrdiff_t( at ), value );
            cy.insert( cy.begin() + ptrdiff_t( at ), output );
            k = int32_t( at );
            RepaintPlot();
            if ( realTimePreview )
               UpdateRealTimePreview();
         }
      }
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
   }
   UpdateEdits();
}

void TCurvesWindow::Output_EditExit()
{
   std::vector<float>& cy = parameters.y[size_t( currentCurve )];
   const int32_t k = currentPoint[size_t( currentCurve )];
   try
   {
      const float value = float( RoundToDecimals( double( ReadNumberFromEdit( Output_Edit, 0, 1, true ) ) ) );
      if ( value != cy[size_t( k )] )
      {
         cy[size_t( k )] = value;
         RepaintPlot();
         if ( realTimePreview )
            UpdateRealTimePreview();
      }
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
   }
   TMainWindow::ControlUpdateGuard guard;
   Output_Edit->setText( QString::fromStdString( FormatReal( cy[size_t( k )], Decimals ) ) );
}

void TCurvesWindow::ShowAll_CheckBoxClick()
{
   if ( UpdatingControls() )
      return;
   showAllCurves = ShowAll_CheckBox->isChecked();
   RepaintPlot();
}

void TCurvesWindow::ShowGrid_CheckBoxClick()
{
   if ( UpdatingControls() )
      return;
   showGrid = ShowGrid_CheckBox->isChecked();
   RepaintPlot();
}

void TCurvesWindow::Linear_CheckBoxClick()
{
   if ( UpdatingControls() )
      return;
   parameters.linear[size_t( currentCurve )] = Linear_CheckBox->isChecked();
   RepaintPlot();
   if ( realTimePreview )
      UpdateRealTimePreview();
}

void TCurvesWindow::RealTimePreview_CheckBoxClick()
{
   if ( UpdatingControls() )
      return;
   realTimePreview = RealTimePreview_CheckBox->isChecked();
   RealTimePreviewWindow().Switch( this, realTimePreview, RealTimePreview_Timer, [this] { UpdateRealTimePreview(); } );
}

// ---- Real-time preview ------------------------------------------------------------------------------------------------

void TCurvesWindow::BuildTransferTables()
{
   TRealTimePreviewWindow& preview = RealTimePreviewWindow();
   preview.ResetTransferTables();
   std::array<std::unique_ptr<qor::TransferCurveEvaluator>, CurvesTransform::NumberOfCurves> curves;
   for ( int32_t c = 0; c < CurvesTransform::NumberOfCurves; ++c )
      if ( !parameters.IsIdentity( c ) )
         curves[size_t( c )] = std::make_unique<qor::TransferCurveEvaluator>(
             parameters.x[size_t( c )], parameters.y[size_t( c )], parameters.linear[size_t( c )] );

   // Colour tables: the channel's curve, then RGB/K, in the order of execution; table 3 (grey) RGB/K alone.
   const qor::TransferCurveEvaluator* combined = curves[CurvesTransform::RGBK].get();
   for ( int32_t q = 0; q <= CurvesTransform::RGBK; ++q )
   {
      const qor::TransferCurveEvaluator* channel = q < CurvesTransform::RGBK ? curves[size_t( q )].get() : nullptr;
      if ( channel == nullptr && combined == nullptr )
         continue;
      auto fill = [channel, combined]( uint8_t* table, int64_t size, int64_t i0, int64_t i1 )
      {
         qor::SplineCursor first, second;
         for ( int64_t i = i0; i < i1; ++i )
         {
            float v = float( i ) / float( size - 1 );
            if ( channel != nullptr )
               v = channel->Clamped( v, first );
            if ( combined != nullptr )
               v = combined->Clamped( v, second );
            table[i] = uint8_t( std::nearbyint( 255.0f * v ) );
         }
      };
      fill( preview.transferTables.bytes[size_t( q )].data(), 256, 0, 256 );
      // And at the samples' resolution, so that the preview maps the samples themselves.
      auto& fine = preview.transferTables.fine[size_t( q )];
      fine.resize( size_t( TRealTimePreviewWindow::FineTableSize ) );
      qor::ParallelFor( TRealTimePreviewWindow::FineTableSize,
                        [&]( int64_t i0, int64_t i1 )
                        { fill( fine.data(), TRealTimePreviewWindow::FineTableSize, i0, i1 ); } );
   }
   for ( int32_t c = CurvesTransform::L; c <= CurvesTransform::S; ++c )
   {
      const qor::TransferCurveEvaluator* curve = curves[size_t( c )].get();
      if ( curve == nullptr )
         continue;
      auto& table = preview.transferTables.floats[size_t( c - CurvesTransform::L )];
      bool active = false;
      qor::SplineCursor cursor;
      for ( int j = 0; j < 256; ++j )
      {
         table[size_t( j )] = curve->Clamped( float( j ) / 255.0f, cursor );
         active = active || (long double)table[size_t( j )] != j / 255.0L;
      }
      preview.floatTableActive[size_t( c - CurvesTransform::L )] = active;
   }
}

void TCurvesWindow::UpdateRealTimePreview()
{
   BuildTransferTables();
   TRealTimePreviewWindow& preview = RealTimePreviewWindow();
   if ( preview.isVisible() )
      preview.UpdatePreview( true );
}

void TCurvesWindow::RestartTimer()
{
   RealTimePreview_Timer->stop();
   RealTimePreview_Timer->start();
}

void TCurvesWindow::RealTimePreview_TimerTimer()
{
   RealTimePreview_Timer->stop();
   if ( !realTimePreview )
      return;
   QElapsedTimer clock;
   clock.start();
   UpdateRealTimePreview();
   RealTimePreview_Timer->setInterval(
      TRealTimePreviewWindow::NextRenderInterval( double( clock.nsecsElapsed() ) / 1e6 ) );
}

// ---- Refreshing controls ---------------------------------------------------------------------------------------------

void TCurvesWindow::UpdateEdits()
{
   const std::vector<float>& cx = parameters.x[size_t( currentCurve )];
   const std::vector<float>& cy = parameters.y[size_t( currentCurve )];
   int32_t& k = currentPoint[size_t( currentCurve )];
   k = std::clamp( k, 0, std::max( 0, int32_t( cx.size() ) - 1 ) );
   TMainWindow::ControlUpdateGuard guard;
   if ( cx.empty() )
   {
      Input_Edit->clear();
      Output_Edit->clear();
      return;
   }
   Input_Edit->setText( QString::fromStdString( FormatReal( cx[size_t( k )], Decimals ) ) );
   Output_Edit->setText( QString::fromStdString( FormatReal( cy[size_t( k )], Decimals ) ) );
   const bool interior = k > 0 && size_t( k ) + 1 < cx.size();
   Input_Edit->setEnabled( interior );
   Input_Label->setEnabled( interior );
}

void TCurvesWindow::UpdateControls()
{
   TMainWindow::ControlUpdateGuard guard;
   Channel_Actions[size_t( currentCurve )]->setChecked( true );
   ShowAll_CheckBox->setChecked( showAllCurves );
   ShowGrid_CheckBox->setChecked( showGrid );
   Linear_CheckBox->setChecked( parameters.linear[size_t( currentCurve )] );
   RealTimePreview_CheckBox->setChecked( realTimePreview );
   HorizontalZoom_Edit->setText( QString::number( horizontalZoom ) );
   VerticalZoom_Edit->setText( QString::number( verticalZoom ) );
}

void TCurvesWindow::RepaintPlot()
{
   Curve_PaintBox->update();
}

void TCurvesWindow::CurveChanged( bool rebuildPreview )
{
   RepaintPlot();
   UpdateEdits();
   UpdateInfo();
   if ( rebuildPreview && realTimePreview )
      UpdateRealTimePreview();
}

TCurvesWindow& CurvesWindow()
{
   static QPointer<TCurvesWindow> window;
   if ( window.isNull() )
      window = new TCurvesWindow( MainWindow );
   return *window;
}
