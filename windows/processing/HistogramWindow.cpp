// The histogram window: its controls, the histogram computations, the parameter editing, the settings and the
// real-time preview link. Painting and the mouse and keyboard on the plots are HistogramWindowPlots.cpp.

#include "windows/processing/HistogramWindow.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QResizeEvent>
#include <QScreen>
#include <QScrollArea>
#include <QTimer>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "classlib/Exception.h"
#include "classlib/Math.h"
#include "classlib/Parallel.h"
#include "platform/KeyTracker.h"
#include "platform/Registry.h"
#include "process/ProcessWindows.h"
#include "support/RegistryReaders.h"
#include "support/Utils.h"
#include "windows/dialogs/AutoClippingSetupDialog.h"
#include "windows/frames/ViewsListFrame.h"
#include "windows/image/Cursors.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/FilterWindowParts.h"
#include "windows/tools/RealTimePreviewWindow.h"

namespace
{

constexpr int32_t SourceBins = 65536;

QLabel* MakePanel( QWidget* parent, const char* name )
{
   auto* panel = new QLabel( parent );
   panel->setObjectName( name );
   panel->setFrameShape( QFrame::Panel );
   panel->setFrameShadow( QFrame::Sunken );
   return panel;
}

QLineEdit* MakeEdit( QWidget* parent, const char* name, int width )
{
   auto* edit = new QLineEdit( parent );
   edit->setObjectName( name );
   edit->setFixedWidth( width );
   return edit;
}

QCheckBox* MakeCheckBox( QWidget* parent, const char* name, const char* caption )
{
   auto* box = new QCheckBox( caption, parent );
   box->setObjectName( name );
   return box;
}

QToolButton* MakeSpeedButton( QWidget* parent, const char* name, QAction* action )
{
   auto* button = new QToolButton( parent );
   button->setObjectName( name );
   button->setDefaultAction( action );
   button->setAutoRaise( false );
   return button;
}

// The bin of a value among n bins, round(v x (n - 1)) as the view bins its samples (the product exact in double,
// ties to even), kept inside the histogram whatever the value (a NaN goes to bin 0).
inline int32_t BinOf( float v, int32_t n )
{
   const double x = qor::Round( double( n - 1 ) * double( v ) );
   return x > 0 ? ( x < double( n - 1 ) ? int32_t( x ) : n - 1 ) : 0;
}

// The value a bin of n stands for: j / (n - 1) in single precision.
inline float BinValue( int32_t j, int32_t n )
{
   return float( j ) / float( n - 1 );
}

int64_t SumBins( const int32_t* counts, int32_t from, int32_t to )
{
   int64_t sum = 0;
   for ( int32_t j = from; j < to; ++j )
      sum += counts[j];
   return sum;
}

void SetPeaks( TImageWindow::HistogramData& data, int32_t channels )
{
   for ( int32_t c = 0; c < channels; ++c )
   {
      const int32_t* counts = data.counts[c].get();
      data.peaks[c] = counts != nullptr && data.bins > 0 ? *std::max_element( counts, counts + data.bins ) : 0;
   }
}

std::string CountText( int64_t count, float percentPerPixel )
{
   char text[64];
   std::snprintf( text, sizeof( text ), "%10lld,%7.3f%%", static_cast<long long>( count ),
                  double( count ) * double( percentPerPixel ) );
   return text;
}

} // namespace

// ---- Construction ---------------------------------------------------------------------------------------------------

THistogramWindow::THistogramWindow( QWidget* owner ) : TProcessingWindow( owner )
{
   setObjectName( "HistogramWindow" );
   setWindowTitle( "Histograms" );

   // Plots: the output plot above the input plot, which has the control bar below it in the same scroll box.
   Histogram_Panel = new QFrame( this );
   Histogram_Panel->setObjectName( "Histogram_Panel" );
   OutputHistogram_ScrollBox = new QScrollArea( Histogram_Panel );
   OutputHistogram_ScrollBox->setObjectName( "OutputHistogram_ScrollBox" );
   OutputHistogram_ScrollBox->setFixedHeight( 120 );
   OutputHistogram_PaintBox = new PaintBox( this, PaintBox::OutputPlot, nullptr );
   OutputHistogram_PaintBox->setObjectName( "OutputHistogram_PaintBox" );
   OutputHistogram_ScrollBox->setWidget( OutputHistogram_PaintBox );
   Histogram_ScrollBox = new QScrollArea( Histogram_Panel );
   Histogram_ScrollBox->setObjectName( "Histogram_ScrollBox" );
   Histogram_ScrollBox->setFixedHeight( 180 );
   HistogramContents_Panel = new QWidget;
   HistogramContents_Panel->setObjectName( "HistogramContents_Panel" );
   Histogram_PaintBox = new PaintBox( this, PaintBox::InputPlot, HistogramContents_Panel );
   Histogram_PaintBox->setObjectName( "Histogram_PaintBox" );
   HistogramControls_PaintBox = new PaintBox( this, PaintBox::ControlBar, HistogramContents_Panel );
   HistogramControls_PaintBox->setObjectName( "HistogramControls_PaintBox" );
   Histogram_ScrollBox->setWidget( HistogramContents_Panel );
   for ( QScrollArea* box : { OutputHistogram_ScrollBox, Histogram_ScrollBox } )
   {
      box->setMinimumWidth( 400 );
      box->setWidgetResizable( false );
      box->setBackgroundRole( QPalette::Dark );
      box->installEventFilter( this );
   }
   HistogramControls_PaintBox->setCursor( ScreenCursor( CursorSelectTool ) );

   Info_Panel = MakePanel( Histogram_Panel, "Info_Panel" );
   Info_Panel->setMinimumHeight( 18 );

   ResetZoom_SpeedButton = new QToolButton( Histogram_Panel );
   ResetZoom_SpeedButton->setObjectName( "ResetZoom_SpeedButton" );
   ResetZoom_SpeedButton->setText( "1:1" );
   ResetZoom_SpeedButton->setToolTip( "Reset zoom (Ctrl: 2:1, Ctrl+Shift: 4:1)" );
   connect( ResetZoom_SpeedButton, &QToolButton::clicked, this, [this] { ResetZoom_SpeedButtonClick(); } );
   HorizontalZoom_Edit = MakeEdit( Histogram_Panel, "HorizontalZoom_Edit", 40 );
   HorizontalZoom_Edit->setToolTip( "Horizontal zoom" );
   VerticalZoom_Edit = MakeEdit( Histogram_Panel, "VerticalZoom_Edit", 40 );
   VerticalZoom_Edit->setToolTip( "Vertical zoom" );
   SetEditExitHandler( HorizontalZoom_Edit, [this] { HorizontalZoom_EditExit(); } );
   SetEditExitHandler( VerticalZoom_Edit, [this] { VerticalZoom_EditExit(); } );

   PlotResolution_ComboBox = new QComboBox( Histogram_Panel );
   PlotResolution_ComboBox->setObjectName( "PlotResolution_ComboBox" );
   PlotResolution_ComboBox->addItems( { "8-bit (256)", "10-bit (1024)", "12-bit (4096)", "16-bit (64K)", "100 levels",
                                        "1000 levels", "10000 levels" } );
   connect( PlotResolution_ComboBox, &QComboBox::activated, this, [this] { PlotResolution_ComboBoxChange(); } );
   GraphStyle_ComboBox = new QComboBox( Histogram_Panel );
   GraphStyle_ComboBox->setObjectName( "GraphStyle_ComboBox" );
   GraphStyle_ComboBox->addItems( { "Lines", "Bars", "Dots" } );
   connect( GraphStyle_ComboBox, &QComboBox::activated, this, [this] { GraphStyle_ComboBoxChange(); } );
   ShowRawRGB_CheckBox = MakeCheckBox( Histogram_Panel, "ShowRawRGB_CheckBox", "Raw" );
   LockOutput_CheckBox = MakeCheckBox( Histogram_Panel, "LockOutput_CheckBox", "Lock" );
   connect( ShowRawRGB_CheckBox, &QCheckBox::clicked, this, [this] { ShowRawRGB_CheckBoxClick(); } );
   connect( LockOutput_CheckBox, &QCheckBox::clicked, this, [this] { LockOutput_CheckBoxClick(); } );

   auto* readoutModes = new QActionGroup( this );
   struct ReadoutModeAction
   {
      QAction*& action;
      const char* name;
      const char* button;
      const char* caption;
      const char* hint;
   };
   const ReadoutModeAction modes[] = {
       { ReadoutModeRead_Action, "ReadoutModeRead_Action", "ReadoutModeRead_SpeedButton", "Rd", "Readouts only read" },
       { ReadoutModeBlackPoint_Action, "ReadoutModeBlackPoint_Action", "ReadoutModeBlackPoint_SpeedButton", "Bk",
         "Readouts set the black point" },
       { ReadoutModeMidtones_Action, "ReadoutModeMidtones_Action", "ReadoutModeMidtones_SpeedButton", "Md",
         "Readouts set the midtones balance" },
       { ReadoutModeWhitePoint_Action, "ReadoutModeWhitePoint_Action", "ReadoutModeWhitePoint_SpeedButton", "Wt",
         "Readouts set the white point" } };
   for ( int32_t i = 0; i < 4; ++i )
   {
      QAction*& action = modes[i].action;
      action = new QAction( modes[i].caption, this );
      action->setObjectName( modes[i].name );
      action->setToolTip( modes[i].hint );
      action->setCheckable( true );
      readoutModes->addAction( action );
      addAction( action );
      connect( action, &QAction::triggered, this, [this, i] { SetReadoutMode( i ); } );
      ReadoutMode_SpeedButton[i] = MakeSpeedButton( Histogram_Panel, modes[i].button, action );
   }

   ViewsList = new TViewsListFrame( Histogram_Panel );
   ViewsList->setObjectName( "ViewsList" );
   connect( ViewsList, &TViewsListFrame::ViewSelected, this,
            [this]( TImageWindow::View* view ) { SelectView( view ); } );

   ZoomInMode_Action = new QAction( "Zoom In", this );
   ZoomInMode_Action->setObjectName( "ZoomInMode_Action" );
   connect( ZoomInMode_Action, &QAction::triggered, this, [this] { SetMouseMode( 1 ); } );
   ZoomOutMode_Action = new QAction( "Zoom Out", this );
   ZoomOutMode_Action->setObjectName( "ZoomOutMode_Action" );
   connect( ZoomOutMode_Action, &QAction::triggered, this, [this] { SetMouseMode( 2 ); } );
   addAction( ZoomInMode_Action );
   addAction( ZoomOutMode_Action );

   // Parameters.
   Parameters_Panel = new QFrame( this );
   Parameters_Panel->setObjectName( "Parameters_Panel" );
   Parameters_Panel->setFrameShape( QFrame::StyledPanel );
   auto* channels = new QActionGroup( this );
   struct ChannelAction
   {
      QAction*& action;
      QToolButton*& button;
      const char* name;
      const char* buttonName;
      const char* caption;
   };
   const ChannelAction channelActions[] = {
       { R_Action, R_SpeedButton, "R_Action", "R_SpeedButton", "R" },
       { G_Action, G_SpeedButton, "G_Action", "G_SpeedButton", "G" },
       { B_Action, B_SpeedButton, "B_Action", "B_SpeedButton", "B" },
       { RGBK_Action, RGBK_SpeedButton, "RGBK_Action", "RGBK_SpeedButton", "RGB/K" } };
   for ( int32_t i = 0; i < 4; ++i )
   {
      QAction*& action = channelActions[i].action;
      action = new QAction( channelActions[i].caption, this );
      action->setObjectName( channelActions[i].name );
      action->setCheckable( true );
      channels->addAction( action );
      addAction( action );
      connect( action, &QAction::triggered, this, [this, i] { SetChannel( i ); } );
      channelActions[i].button = MakeSpeedButton( Parameters_Panel, channelActions[i].buttonName, action );
   }
   ShowOutput_CheckBox = MakeCheckBox( Parameters_Panel, "ShowOutput_CheckBox", "Output" );
   ShowCurve_CheckBox = MakeCheckBox( Parameters_Panel, "ShowCurve_CheckBox", "Curve" );
   ShowGrid_CheckBox = MakeCheckBox( Parameters_Panel, "ShowGrid_CheckBox", "Grid" );
   connect( ShowOutput_CheckBox, &QCheckBox::clicked, this, [this] { ShowOutput_CheckBoxClick(); } );
   connect( ShowCurve_CheckBox, &QCheckBox::clicked, this, [this] { ShowCurve_CheckBoxClick(); } );
   connect( ShowGrid_CheckBox, &QCheckBox::clicked, this, [this] { ShowGrid_CheckBoxClick(); } );

   Shadows_Edit = MakeEdit( Parameters_Panel, "Shadows_Edit", 70 );
   ShadowsCount_Panel = MakePanel( Parameters_Panel, "ShadowsCount_Panel" );
   Highlights_Edit = MakeEdit( Parameters_Panel, "Highlights_Edit", 70 );
   HighlightsCount_Panel = MakePanel( Parameters_Panel, "HighlightsCount_Panel" );
   LowRange_Edit = MakeEdit( Parameters_Panel, "LowRange_Edit", 70 );
   HighRange_Edit = MakeEdit( Parameters_Panel, "HighRange_Edit", 70 );
   Midtones_Edit = MakeEdit( Parameters_Panel, "Midtones_Edit", 70 );
   for ( QLabel* count : { ShadowsCount_Panel, HighlightsCount_Panel } )
   {
      count->setMinimumWidth( 150 );
      count->setFont( QFont( "Monospace" ) );
   }
   SetEditExitHandler( Shadows_Edit, [this] { Shadows_EditExit(); } );
   SetEditExitHandler( Highlights_Edit, [this] { Highlights_EditExit(); } );
   SetEditExitHandler( Midtones_Edit, [this] { Midtones_EditExit(); } );
   SetEditExitHandler( LowRange_Edit, [this] { LowRange_EditExit(); } );
   SetEditExitHandler( HighRange_Edit, [this] { HighRange_EditExit(); } );

   RealTimePreview_CheckBox = MakeCheckBox( Parameters_Panel, "RealTimePreview_CheckBox", "R-T" );
   RealTimePreview_CheckBox->setToolTip( "Real-time preview" );
   // Its name holds the mark of the standard Preview button, which it is not: kept out of that button's wiring.
   RealTimePreview_CheckBox->setProperty( "lf_hooked", true );
   connect( RealTimePreview_CheckBox, &QCheckBox::clicked, this, [this] { RealTimePreview_CheckBoxClick(); } );
   AutoClip_Action = new QAction( "Auto Clip", this );
   AutoClip_Action->setObjectName( "AutoClip_Action" );
   connect( AutoClip_Action, &QAction::triggered, this, [this] { AutoClip_ActionExecute(); } );
   AutoClip_Button = new QPushButton( "Auto Clip", Parameters_Panel );
   AutoClip_Button->setObjectName( "AutoClip_Button" );
   connect( AutoClip_Button, &QPushButton::clicked, AutoClip_Action, &QAction::trigger );
   Reset_Action = new QAction( "Reset", this );
   Reset_Action->setObjectName( "Reset_Action" );
   connect( Reset_Action, &QAction::triggered, this, [this] { Reset_ActionExecute(); } );
   Reset_Button = new QPushButton( "Reset", Parameters_Panel );
   Reset_Button->setObjectName( "Reset_Button" );
   connect( Reset_Button, &QPushButton::clicked, Reset_Action, &QAction::trigger );

   RealTimePreview_Timer = TRealTimePreviewWindow::MakeRenderTimer( this, [this] { RealTimePreview_TimerTimer(); } );

   // Layout.
   auto* plots = new QVBoxLayout( Histogram_Panel );
   plots->setContentsMargins( 0, 0, 0, 0 );
   plots->addWidget( OutputHistogram_ScrollBox );
   plots->addWidget( Histogram_ScrollBox );
   plots->addWidget( Info_Panel );
   auto* options = new QHBoxLayout;
   options->addWidget( ResetZoom_SpeedButton );
   options->addWidget( HorizontalZoom_Edit );
   options->addWidget( VerticalZoom_Edit );
   options->addWidget( PlotResolution_ComboBox );
   options->addWidget( GraphStyle_ComboBox );
   options->addWidget( ShowRawRGB_CheckBox );
   options->addWidget( LockOutput_CheckBox );
   for ( QToolButton* b : ReadoutMode_SpeedButton )
      options->addWidget( b );
   options->addStretch();
   plots->addLayout( options );
   plots->addWidget( ViewsList );

   auto* grid = new QGridLayout( Parameters_Panel );
   auto* channelRow = new QHBoxLayout;
   for ( QToolButton* b : { R_SpeedButton, G_SpeedButton, B_SpeedButton, RGBK_SpeedButton } )
      channelRow->addWidget( b );
   channelRow->addStretch();
   channelRow->addWidget( ShowOutput_CheckBox );
   channelRow->addWidget( ShowCurve_CheckBox );
   channelRow->addWidget( ShowGrid_CheckBox );
   grid->addLayout( channelRow, 0, 0, 1, 6 );
   grid->addWidget( new QLabel( "Shadows:", Parameters_Panel ), 1, 0 );
   grid->addWidget( Shadows_Edit, 1, 1 );
   grid->addWidget( ShadowsCount_Panel, 1, 2, 1, 2 );
   grid->addWidget( new QLabel( "Low range:", Parameters_Panel ), 1, 4 );
   grid->addWidget( LowRange_Edit, 1, 5 );
   grid->addWidget( new QLabel( "Highlights:", Parameters_Panel ), 2, 0 );
   grid->addWidget( Highlights_Edit, 2, 1 );
   grid->addWidget( HighlightsCount_Panel, 2, 2, 1, 2 );
   grid->addWidget( new QLabel( "High range:", Parameters_Panel ), 2, 4 );
   grid->addWidget( HighRange_Edit, 2, 5 );
   grid->addWidget( new QLabel( "Midtones:", Parameters_Panel ), 3, 0 );
   grid->addWidget( Midtones_Edit, 3, 1 );
   auto* actions = new QHBoxLayout;
   actions->addWidget( RealTimePreview_CheckBox );
   actions->addStretch();
   actions->addWidget( AutoClip_Button );
   actions->addWidget( Reset_Button );
   grid->addLayout( actions, 3, 2, 1, 4 );

   auto* layout = new QVBoxLayout( this );
   layout->addWidget( Histogram_Panel );
   layout->addWidget( Parameters_Panel );
   layout->addLayout( MakeStandardButtons( this ) );

   ViewsList->Rebuild();
   {
      TMainWindow::ControlUpdateGuard guard;
      PlotResolution_ComboBox->setCurrentIndex( 0 );
      GraphStyle_ComboBox->setCurrentIndex( 0 );
   }
   UpdateAutoClipHint();
   UpdateOptionControls();
   UpdateControls();
   SetMouseMode( 0 );
   SetZoom( 1, 1 );
}

THistogramWindow::~THistogramWindow() = default;

// ---- Instances and settings
// ------------------------------------------------------------------------------------------

std::unique_ptr<Process> THistogramWindow::NewInstance()
{
   return std::make_unique<HistogramsTransform>( parameters );
}

void THistogramWindow::ImportInstance( const Process& instance )
{
   const auto* transform = dynamic_cast<const HistogramsTransform*>( &instance );
   if ( transform == nullptr )
      return;
   parameters.Assign( *transform->parameters );
   DropOutputHistograms();
   CountClippedPixels();
   UpdateControls();
   if ( realTimePreview )
      UpdateRealTimePreview();
}

void THistogramWindow::LoadSettings( platform::Registry& registry )
{
   ReadRegistryBool( autoClipShadows, registry, "HistogramWindow_AutoClippingShadows" );
   ReadRegistryFloat( autoClipShadowsAmount, registry, "HistogramWindow_AutoClippingShadowsAmount" );
   ReadRegistryBool( autoClipHighlights, registry, "HistogramWindow_AutoClippingHighlights" );
   ReadRegistryFloat( autoClipHighlightsAmount, registry, "HistogramWindow_AutoClippingHighlightsAmount" );
   // Settings written by hand or by another version must not leave the window with amounts it cannot use.
   autoClipShadowsAmount =
       std::isfinite( autoClipShadowsAmount ) ? std::clamp( autoClipShadowsAmount, 0.0f, 100.0f ) : 0.0f;
   autoClipHighlightsAmount =
       std::isfinite( autoClipHighlightsAmount ) ? std::clamp( autoClipHighlightsAmount, 0.0f, 100.0f ) : 0.0f;
   if ( !autoClipShadows && !autoClipHighlights )
      autoClipShadows = autoClipHighlights = true;
   UpdateAutoClipHint();
   bool output = showOutput;
   if ( ReadRegistryBool( output, registry, "HistogramWindow_ShowOutput" ) )
      SetShowOutput( output );
   ReadRegistryBool( showRawRGB, registry, "HistogramWindow_ShowRawRGB" );
   ReadRegistryBool( lockOutput, registry, "HistogramWindow_LockOutput" );
   ReadRegistryBool( showCurve, registry, "HistogramWindow_ShowCurve" );
   ReadRegistryBool( showGrid, registry, "HistogramWindow_ShowGrid" );
   UpdateOptionControls();
   UpdateControls();
}

void THistogramWindow::SaveSettings( platform::Registry& registry )
{
   registry.WriteBool( "HistogramWindow_AutoClippingShadows", autoClipShadows );
   registry.WriteFloat( "HistogramWindow_AutoClippingShadowsAmount", autoClipShadowsAmount );
   registry.WriteBool( "HistogramWindow_AutoClippingHighlights", autoClipHighlights );
   registry.WriteFloat( "HistogramWindow_AutoClippingHighlightsAmount", autoClipHighlightsAmount );
   registry.WriteBool( "HistogramWindow_ShowOutput", showOutput );
   registry.WriteBool( "HistogramWindow_ShowRawRGB", showRawRGB );
   registry.WriteBool( "HistogramWindow_LockOutput", lockOutput );
   registry.WriteBool( "HistogramWindow_ShowCurve", showCurve );
   registry.WriteBool( "HistogramWindow_ShowGrid", showGrid );
}

// ---- The view and its histograms -------------------------------------------------------------------------------

TImageWindow::View* THistogramWindow::CurrentView() const
{
   return ViewsList->currentView;
}

bool THistogramWindow::IsColorView() const
{
   const TImageWindow::View* view = CurrentView();
   return view != nullptr && view->TargetImage() != nullptr && view->GetImage().IsColor();
}

const TImageWindow::HistogramData* THistogramWindow::SourceHistograms() const
{
   const TImageWindow::View* view = CurrentView();
   if ( view == nullptr || view->TargetImage() == nullptr )
      return nullptr;
   const TImageWindow::HistogramData* data = view->Histograms();
   return data != nullptr && data->bins >= 2 ? data : nullptr;
}

void THistogramWindow::SelectView( TImageWindow::View* view )
{
   if ( view == CurrentView() )
      return;
   DropOutputHistograms();
   ViewsList->currentView = view;
   if ( view != nullptr && view->TargetImage() != nullptr )
   {
      const qor::Image& image = view->GetImage();
      const int64_t pixels = image.NumberOfPixels();
      percentPerPixel = pixels > 0 ? float( 100.0 / double( pixels ) ) : 0.0f;
      if ( view->Histograms() == nullptr )
         view->CalculateHistograms( SourceBins, false );
   }
   RebinInputHistograms();
   CountClippedPixels();
   ViewsList->SelectCurrentView();
   UpdateControls();
}

void THistogramWindow::RebinInputHistograms()
{
   inputHistograms.reset();
   const TImageWindow::HistogramData* source = SourceHistograms();
   if ( source == nullptr )
      return;
   const int32_t channels = std::min( CurrentView()->GetImage().NumberOfNominalChannels(), 3 );
   const int32_t n = plotResolution;
   const int32_t B = source->bins;
   inputHistograms = std::make_unique<TImageWindow::HistogramData>();
   inputHistograms->Allocate( n, channels );
   const float ratio = float( n - 1 ) / float( B - 1 );
   for ( int32_t c = 0; c < channels; ++c )
   {
      const int32_t* from = source->counts[c].get();
      int32_t* to = inputHistograms->counts[c].get();
      if ( from == nullptr )
         continue;
      for ( int32_t j = 0; j < B; ++j )
      {
         const float x = qor::Round( float( j ) * ratio );
         to[x < float( n - 1 ) ? int32_t( x ) : n - 1] += from[j];
      }
   }
   SetPeaks( *inputHistograms, channels );
}

void THistogramWindow::DropOutputHistograms()
{
   outputHistograms.reset();
   channelOutputHistograms.reset();
}

float THistogramWindow::MapValue( float v, int32_t set ) const
{
   return qor::HistogramTransformValue( v, parameters.Set( set ) );
}

void THistogramWindow::ComputeOutputHistograms()
{
   DropOutputHistograms();
   const TImageWindow::HistogramData* source = SourceHistograms();
   if ( source == nullptr )
      return;
   const bool colour = IsColorView();
   const int32_t channels = std::min( CurrentView()->GetImage().NumberOfNominalChannels(), 3 );
   const int32_t n = plotResolution;
   const int32_t B = source->bins;
   outputHistograms = std::make_unique<TImageWindow::HistogramData>();
   outputHistograms->Allocate( n, channels );
   if ( colour )
   {
      channelOutputHistograms = std::make_unique<TImageWindow::HistogramData>();
      channelOutputHistograms->Allocate( n, 3 );
   }
   for ( int32_t c = 0; c < channels; ++c )
   {
      const int32_t* from = source->counts[c].get();
      if ( from == nullptr )
         continue;
      for ( int32_t j = 0; j < B; ++j )
      {
         float v = BinValue( j, B );
         if ( colour && c < 3 )
         {
            v = MapValue( v, c );
            channelOutputHistograms->counts[c][BinOf( v, n )] += from[j];
         }
         v = MapValue( v, HistogramsTransform::RGBK );
         outputHistograms->counts[c][BinOf( v, n )] += from[j];
      }
   }
   SetPeaks( *outputHistograms, channels );
   if ( colour )
      SetPeaks( *channelOutputHistograms, 3 );
}

void THistogramWindow::CountClippedPixels()
{
   std::fill( std::begin( shadowsClipped ), std::end( shadowsClipped ), 0 );
   std::fill( std::begin( highlightsClipped ), std::end( highlightsClipped ), 0 );
   const TImageWindow::HistogramData* source = SourceHistograms();
   if ( source == nullptr )
      return;
   const bool colour = IsColorView();
   const int32_t channels = std::min( CurrentView()->GetImage().NumberOfNominalChannels(), 3 );
   const int32_t B = source->bins;
   // The bin that holds a clipping point is clipped with it, since a sample at the point is (v <= c0 goes to 0,
   // v >= c1 to 1): bins 0 .. bin(c0) and bin(c1) .. B - 1.
   for ( int32_t c = 0; c < channels; ++c )
   {
      const int32_t* counts = source->counts[c].get();
      if ( counts == nullptr )
         continue;
      const int32_t k = colour ? c : HistogramsTransform::RGBK;
      shadowsClipped[k] += SumBins( counts, 0, BinOf( parameters.c0[k], B ) + 1 );
      highlightsClipped[k] += SumBins( counts, BinOf( parameters.c1[k], B ), B );
   }
   // The RGB/K counts of a colour image: the three channels after their own sets.
   if ( channel == HistogramsTransform::RGBK && colour )
   {
      if ( channelOutputHistograms == nullptr )
         ComputeOutputHistograms();
      if ( channelOutputHistograms == nullptr )
         return;
      const int32_t n = channelOutputHistograms->bins;
      const int32_t lo = BinOf( parameters.c0[HistogramsTransform::RGBK], n ) + 1;
      const int32_t hi = BinOf( parameters.c1[HistogramsTransform::RGBK], n );
      for ( int32_t c = 0; c < 3; ++c )
      {
         shadowsClipped[HistogramsTransform::RGBK] += SumBins( channelOutputHistograms->counts[c].get(), 0, lo );
         highlightsClipped[HistogramsTransform::RGBK] += SumBins( channelOutputHistograms->counts[c].get(), hi, n );
      }
   }
}

void THistogramWindow::ShowClipCounts()
{
   ShadowsCount_Panel->setText( QString::fromStdString( CountText( shadowsClipped[channel], percentPerPixel ) ) );
   HighlightsCount_Panel->setText( QString::fromStdString( CountText( highlightsClipped[channel], percentPerPixel ) ) );
}

// ---- Parameters ----------------------------------------------------------------------------------------------------

void THistogramWindow::ParameterChanged( bool recount )
{
   UpdateParameterControls();
   DropOutputHistograms();
   if ( showOutput )
      RepaintPlots();
   else
      Histogram_PaintBox->update(); // the curve follows
   if ( recount )
   {
      CountClippedPixels();
      ShowClipCounts();
   }
   if ( realTimePreview && !RealTimePreview_Timer->isActive() )
      UpdateRealTimePreview();
}

void THistogramWindow::SetShadows( float x )
{
   parameters.c0[channel] = std::min( x, parameters.c1[channel] );
   ParameterChanged( true );
}

void THistogramWindow::SetHighlights( float x )
{
   parameters.c1[channel] = std::max( x, parameters.c0[channel] );
   ParameterChanged( true );
}

void THistogramWindow::SetMidtones( float x )
{
   parameters.m[channel] = x;
   ParameterChanged( false );
}

void THistogramWindow::SetLowRange( float x )
{
   parameters.r0[channel] = x;
   ParameterChanged( true );
}

void THistogramWindow::SetHighRange( float x )
{
   parameters.r1[channel] = x;
   ParameterChanged( true );
}

void THistogramWindow::ParametersChanged()
{
   DropOutputHistograms();
   CountClippedPixels();
   UpdateControls();
   if ( realTimePreview )
      UpdateRealTimePreview();
   RealTimePreview_Timer->stop();
   RealTimePreview_Timer->setInterval( TRealTimePreviewWindow::InitialRenderInterval );
}

void THistogramWindow::SetChannel( int32_t set )
{
   if ( set == channel || set < 0 || set > HistogramsTransform::RGBK )
      return;
   channel = set;
   UpdateControls();
}

void THistogramWindow::SetPlotResolution( int32_t bins )
{
   plotResolution = bins;
   DropOutputHistograms();
   RebinInputHistograms();
   CountClippedPixels();
   {
      TMainWindow::ControlUpdateGuard guard;
      const int32_t* at = std::find( std::begin( PlotResolutions ), std::end( PlotResolutions ), bins );
      if ( at != std::end( PlotResolutions ) )
         PlotResolution_ComboBox->setCurrentIndex( int( at - std::begin( PlotResolutions ) ) );
   }
   RepaintPlots();
   ShowClipCounts();
}

void THistogramWindow::SetShowOutput( bool show )
{
   if ( show == showOutput )
   {
      RepaintPlots();
      return;
   }
   crosshairShown = 0;
   const int d = OutputHistogram_ScrollBox->height() + 2;
   const QRect screen = this->screen() != nullptr ? this->screen()->availableGeometry() : QRect( 0, 0, 1024, 768 );
   showOutput = show;
   if ( !show )
   {
      OutputHistogram_ScrollBox->hide();
      if ( layout() != nullptr )
         layout()->activate(); // the smaller minimum size first
      const int h = std::max( height() - d, minimumSizeHint().height() );
      resize( width(), h );
      move( x(), std::min( y() + d, screen.bottom() + 1 - h ) );
   }
   else
   {
      const int h = height() + d;
      OutputHistogram_ScrollBox->show();
      move( x(), std::max( y() - d, 0 ) );
      resize( width(), h );
   }
   {
      TMainWindow::ControlUpdateGuard guard;
      ShowOutput_CheckBox->setChecked( showOutput );
   }
   RepaintPlots();
}

void THistogramWindow::Reset_ActionExecute()
{
   if ( platform::KeyTracker::Instance().IsControlDown() )
      for ( int32_t i = 0; i < 4; ++i )
         parameters.Reset( i );
   else
      parameters.Reset( channel );
   ParametersChanged();
}

void THistogramWindow::AutoClip_ActionExecute()
{
   if ( platform::KeyTracker::Instance().IsControlDown() )
      SetupAutoClip();
   else
      AutoClip();
}

void THistogramWindow::AutoClip()
{
   for ( int32_t i = 0; i < 4; ++i )
      parameters.Reset( i );
   TImageWindow::View* view = CurrentView();
   if ( view != nullptr )
   {
      const TImageWindow::HistogramData* source = SourceHistograms();
      if ( source == nullptr )
         return;
      const qor::Image& image = view->GetImage();
      const int64_t N = image.NumberOfPixels();
      const int64_t ns = int64_t( qor::Round( (long double)autoClipShadowsAmount * 0.01L * N ) );
      const int64_t nh = int64_t( qor::Round( (long double)autoClipHighlightsAmount * 0.01L * N ) );
      const int32_t L = source->bins - 1;
      const bool colour = image.IsColor();
      const int32_t channels = std::min( image.NumberOfNominalChannels(), 3 );
      for ( int32_t c = 0; c < channels; ++c )
      {
         const int32_t* counts = source->counts[c].get();
         if ( counts == nullptr )
            continue;
         const int32_t k = colour ? c : HistogramsTransform::RGBK;
         if ( autoClipShadows )
         {
            int64_t sum = 0;
            int32_t j = 0;
            for ( ; j < L; ++j )
               if ( ( sum += counts[j] ) > ns )
                  break;
            parameters.c0[k] = BinValue( j, source->bins );
         }
         if ( autoClipHighlights )
         {
            int64_t sum = 0;
            int32_t j = L;
            for ( ; j > 0; --j )
               if ( ( sum += counts[j] ) > nh )
                  break;
            parameters.c1[k] = BinValue( j, source->bins );
         }
         if ( parameters.c0[k] > parameters.c1[k] )
            std::swap( parameters.c0[k], parameters.c1[k] );
      }
   }
   ParametersChanged();
}

void THistogramWindow::SetupAutoClip()
{
   {
      TAutoClippingSetupDialog dialog( this );
      dialog.shadowsEnabled = autoClipShadows;
      dialog.shadowsAmount = autoClipShadowsAmount;
      dialog.highlightsEnabled = autoClipHighlights;
      dialog.highlightsAmount = autoClipHighlightsAmount;
      if ( dialog.ShowModal() == QDialog::Accepted )
      {
         autoClipShadows = dialog.shadowsEnabled;
         autoClipShadowsAmount = dialog.shadowsAmount;
         autoClipHighlights = dialog.highlightsEnabled;
         autoClipHighlightsAmount = dialog.highlightsAmount;
      }
   }
   UpdateKeyboardState();
   UpdateAutoClipHint();
}

void THistogramWindow::UpdateAutoClipHint()
{
   char shadows[32] = "n/a", highlights[32] = "n/a";
   if ( autoClipShadows )
      std::snprintf( shadows, sizeof( shadows ), "%.3f%%", double( autoClipShadowsAmount ) );
   if ( autoClipHighlights )
      std::snprintf( highlights, sizeof( highlights ), "%.3f%%", double( autoClipHighlightsAmount ) );
   AutoClip_Button->setToolTip( QString( "shadows: %1, highlights: %2" ).arg( shadows, highlights ) );
}

void THistogramWindow::UpdateParameterControls()
{
   TMainWindow::ControlUpdateGuard guard;
   WriteRealToEdit( Shadows_Edit, parameters.c0[channel], 5 );
   WriteRealToEdit( Highlights_Edit, parameters.c1[channel], 5 );
   WriteRealToEdit( Midtones_Edit, parameters.m[channel], 5 );
   WriteRealToEdit( LowRange_Edit, parameters.r0[channel], 5 );
   WriteRealToEdit( HighRange_Edit, parameters.r1[channel], 5 );
   HistogramControls_PaintBox->update();
}

void THistogramWindow::UpdateControls()
{
   {
      TMainWindow::ControlUpdateGuard guard;
      QAction* const channelActions[] = { R_Action, G_Action, B_Action, RGBK_Action };
      channelActions[channel]->setChecked( true );
      ShowOutput_CheckBox->setChecked( showOutput );
      ShowCurve_CheckBox->setChecked( showCurve );
      ShowGrid_CheckBox->setChecked( showGrid );
      QAction* const modes[] = { ReadoutModeRead_Action, ReadoutModeBlackPoint_Action, ReadoutModeMidtones_Action,
                                 ReadoutModeWhitePoint_Action };
      modes[readoutMode]->setChecked( true );
   }
   UpdateParameterControls();
   ShowClipCounts();
   RepaintPlots();
}

void THistogramWindow::UpdateOptionControls()
{
   ViewsList->SelectCurrentView();
   TMainWindow::ControlUpdateGuard guard;
   const int32_t* at = std::find( std::begin( PlotResolutions ), std::end( PlotResolutions ), plotResolution );
   if ( at != std::end( PlotResolutions ) )
      PlotResolution_ComboBox->setCurrentIndex( int( at - std::begin( PlotResolutions ) ) );
   GraphStyle_ComboBox->setCurrentIndex( graphStyle );
   WriteIntegerToEdit( HorizontalZoom_Edit, horizontalZoom );
   WriteIntegerToEdit( VerticalZoom_Edit, verticalZoom );
   RealTimePreview_CheckBox->setChecked( realTimePreview );
   ShowRawRGB_CheckBox->setChecked( showRawRGB );
   LockOutput_CheckBox->setChecked( lockOutput );
}

// ---- Edits and option controls --------------------------------------------------------------------------------------

namespace
{

// Reads a real in [minimum, maximum] from the edit; calls the setter when it differs from the present value. A
// refused text sets the window's input error. The edit shows the value in force afterwards.
template <class Setter>
void ReadParameterEdit( THistogramWindow& window, QLineEdit* edit, double minimum, double maximum, float present,
                        Setter setter )
{
   try
   {
      const float value = float( ReadNumberFromEdit( edit, minimum, maximum, true ) );
      if ( value != present )
      {
         setter( value );
         return;
      }
   }
   catch ( const qor::CatchedException& )
   {
      window.inputError = true;
   }
   WriteRealToEdit( edit, present, 5 );
}

} // namespace

void THistogramWindow::Shadows_EditExit()
{
   ReadParameterEdit( *this, Shadows_Edit, 0, parameters.c1[channel], parameters.c0[channel],
                      [this]( float v ) { SetShadows( v ); } );
}

void THistogramWindow::Highlights_EditExit()
{
   ReadParameterEdit( *this, Highlights_Edit, parameters.c0[channel], 1, parameters.c1[channel],
                      [this]( float v ) { SetHighlights( v ); } );
}

void THistogramWindow::Midtones_EditExit()
{
   ReadParameterEdit( *this, Midtones_Edit, 0, 1, parameters.m[channel], [this]( float v ) { SetMidtones( v ); } );
}

void THistogramWindow::LowRange_EditExit()
{
   ReadParameterEdit( *this, LowRange_Edit, -10, 0, parameters.r0[channel], [this]( float v ) { SetLowRange( v ); } );
}

void THistogramWindow::HighRange_EditExit()
{
   ReadParameterEdit( *this, HighRange_Edit, 1, 10, parameters.r1[channel], [this]( float v ) { SetHighRange( v ); } );
}

void THistogramWindow::HorizontalZoom_EditExit()
{
   ReadZoomEdit( HorizontalZoom_Edit, horizontalZoom, [this]( int32_t h ) { SetZoom( h, verticalZoom ); } );
}

void THistogramWindow::VerticalZoom_EditExit()
{
   ReadZoomEdit( VerticalZoom_Edit, verticalZoom, [this]( int32_t v ) { SetZoom( horizontalZoom, v ); } );
}

void THistogramWindow::ReadZoomEdit( QLineEdit* edit, const int32_t& zoom, const std::function<void( int32_t )>& set )
{
   try
   {
      const int32_t value = int32_t( ReadNumberFromEdit( edit, 1, MaxZoom, false ) );
      if ( value != zoom )
         set( value );
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
   }
   WriteIntegerToEdit( edit, zoom );
}

void THistogramWindow::PlotResolution_ComboBoxChange()
{
   if ( UpdatingControls() )
      return;
   const int index = PlotResolution_ComboBox->currentIndex();
   if ( index >= 0 && index < int( std::size( PlotResolutions ) ) && PlotResolutions[index] != plotResolution )
      SetPlotResolution( PlotResolutions[index] );
}

void THistogramWindow::GraphStyle_ComboBoxChange()
{
   if ( UpdatingControls() )
      return;
   const int index = GraphStyle_ComboBox->currentIndex();
   if ( index >= 0 && index != graphStyle )
   {
      graphStyle = index;
      RepaintPlots();
   }
}

void THistogramWindow::ShowCurve_CheckBoxClick()
{
   if ( UpdatingControls() )
      return;
   showCurve = ShowCurve_CheckBox->isChecked();
   Histogram_PaintBox->update();
}

void THistogramWindow::ShowGrid_CheckBoxClick()
{
   if ( UpdatingControls() )
      return;
   showGrid = ShowGrid_CheckBox->isChecked();
   RepaintPlots();
}

void THistogramWindow::ShowRawRGB_CheckBoxClick()
{
   if ( UpdatingControls() )
      return;
   showRawRGB = ShowRawRGB_CheckBox->isChecked();
   if ( IsColorView() && channel == HistogramsTransform::RGBK )
      Histogram_PaintBox->update();
}

void THistogramWindow::LockOutput_CheckBoxClick()
{
   if ( UpdatingControls() )
      return;
   lockOutput = LockOutput_CheckBox->isChecked();
   if ( showOutput )
      OutputHistogram_PaintBox->update();
}

void THistogramWindow::ShowOutput_CheckBoxClick()
{
   if ( !UpdatingControls() )
      SetShowOutput( ShowOutput_CheckBox->isChecked() );
}

void THistogramWindow::SetReadoutMode( int32_t mode )
{
   readoutMode = std::clamp( mode, 0, 3 );
   TMainWindow::ControlUpdateGuard guard;
   QAction* const modes[] = { ReadoutModeRead_Action, ReadoutModeBlackPoint_Action, ReadoutModeMidtones_Action,
                              ReadoutModeWhitePoint_Action };
   modes[readoutMode]->setChecked( true );
}

// ---- Notifications
// ----------------------------------------------------------------------------------------------------

void THistogramWindow::ViewCreated( TImageWindow::View& )
{
   ViewsList->Rebuild();
}

void THistogramWindow::ViewRenamed( TImageWindow::View& )
{
   ViewsList->Rebuild();
}

void THistogramWindow::ViewUpdated( TImageWindow::View& view )
{
   if ( &view != CurrentView() )
      return;
   if ( view.TargetImage() != nullptr )
   {
      const int64_t pixels = view.GetImage().NumberOfPixels();
      percentPerPixel = pixels > 0 ? float( 100.0 / double( pixels ) ) : 0.0f;
      if ( view.Histograms() == nullptr )
         view.CalculateHistograms( SourceBins, false );
   }
   DropOutputHistograms();
   RebinInputHistograms();
   RepaintPlots();
   CountClippedPixels();
   ShowClipCounts();
}

void THistogramWindow::ViewDeleted( TImageWindow::View& view )
{
   ViewsList->RemoveView( &view );
   if ( &view != CurrentView() )
      return;
   // Nothing of the view is kept: its histograms and counts go with it.
   ViewsList->currentView = nullptr;
   ViewsList->SelectCurrentView();
   inputHistograms.reset();
   DropOutputHistograms();
   CountClippedPixels();
   ShowClipCounts();
   RepaintPlots();
}

void THistogramWindow::HistogramsChanged( TImageWindow::View& view )
{
   if ( &view != CurrentView() )
      return;
   if ( view.Histograms() != nullptr )
      ViewUpdated( view );
   else
   {
      ViewsList->currentView = nullptr;
      ViewsList->Rebuild();
      inputHistograms.reset();
      DropOutputHistograms();
      CountClippedPixels();
      ShowClipCounts();
      RepaintPlots();
   }
}

void THistogramWindow::BeginReadout( TImageWindow::View& view, float v0, float v1, float v2 )
{
   readoutValues[0] = v0;
   readoutValues[1] = v1;
   readoutValues[2] = v2;
   readoutMarkersShown = true;
   UpdateReadout( view, v0, v1, v2 );
}

void THistogramWindow::UpdateReadout( TImageWindow::View& view, float v0, float v1, float v2 )
{
   readoutValues[0] = v0;
   readoutValues[1] = v1;
   readoutValues[2] = v2;
   Histogram_PaintBox->update();
   if ( showOutput )
      OutputHistogram_PaintBox->update();
   if ( readoutMode == 0 || view.TargetImage() == nullptr )
      return;
   // A sample outside [0, 1] (or not a number) would make a set that no stream could carry: kept in range.
   auto set = [this]( int32_t k, float v )
   {
      if ( std::isnan( v ) )
         return;
      v = std::clamp( v, 0.0f, 1.0f );
      switch ( readoutMode )
      {
      case 1:
         parameters.c0[k] = std::min( v, parameters.c1[k] );
         break;
      case 2:
         parameters.m[k] = v;
         break;
      default:
         parameters.c1[k] = std::max( v, parameters.c0[k] );
         break;
      }
   };
   if ( view.GetImage().IsColor() )
   {
      set( 0, v0 );
      set( 1, v1 );
      set( 2, v2 );
   }
   else
      set( HistogramsTransform::RGBK, v0 );
   DropOutputHistograms();
   CountClippedPixels();
   UpdateParameterControls();
   ShowClipCounts();
   RepaintPlots();
   if ( realTimePreview )
      UpdateRealTimePreview();
}

void THistogramWindow::EndReadout( TImageWindow::View& )
{
   readoutMarkersShown = false;
   Histogram_PaintBox->update();
   OutputHistogram_PaintBox->update();
}

void THistogramWindow::RealTimePreviewOwnerChanged( QWidget* owner )
{
   if ( realTimePreview && owner != this )
      TRealTimePreviewWindow::SwitchedOff( realTimePreview, RealTimePreview_Timer, RealTimePreview_CheckBox );
}

// ---- Real-time preview --------------------------------------------------------------------------------------------

void THistogramWindow::RealTimePreview_CheckBoxClick()
{
   if ( UpdatingControls() )
      return;
   realTimePreview = RealTimePreview_CheckBox->isChecked();
   RealTimePreviewWindow().Switch( this, realTimePreview, RealTimePreview_Timer, [this] { UpdateRealTimePreview(); } );
}

void THistogramWindow::BuildPreviewTables()
{
   for ( int32_t i = 0; i < 4; ++i )
      for ( int32_t j = 0; j < 256; ++j )
      {
         float v = float( j * ( 1.0L / 255 ) );
         if ( i < 3 )
            v = MapValue( v, i );
         v = MapValue( v, HistogramsTransform::RGBK );
         previewTables[i][j] = uint8_t( BinOf( v, 256 ) );
      }
}

void THistogramWindow::BuildFinePreviewTables( std::array<std::vector<uint8_t>, 4>& fine ) const
{
   // Table 3 is the RGB/K set alone; a colour channel whose own set does nothing takes a copy of it.
   const int32_t size = TRealTimePreviewWindow::FineTableSize;
   std::array<bool, 4> own{};
   for ( int32_t i = 0; i < 4; ++i )
   {
      own[size_t( i )] = i == 3 || !parameters.Set( i ).IsIdentity();
      fine[size_t( i )].resize( size_t( size ) );
   }
   qor::ParallelFor( size,
                     [&]( int64_t j0, int64_t j1 )
                     {
                        for ( int64_t j = j0; j < j1; ++j )
                        {
                           const float v = float( double( j ) / ( size - 1 ) );
                           for ( int32_t i = 0; i < 4; ++i )
                              if ( own[size_t( i )] )
                                 fine[size_t( i )][size_t( j )] = uint8_t(
                                     BinOf( MapValue( i < 3 ? MapValue( v, i ) : v, HistogramsTransform::RGBK ), 256 ) );
                        }
                     } );
   for ( int32_t i = 0; i < 3; ++i )
      if ( !own[size_t( i )] )
         fine[size_t( i )] = fine[3];
}

void THistogramWindow::UpdateRealTimePreview()
{
   // A render pumps messages: a change that arrives meanwhile is rendered when the present one ends, never inside it.
   if ( previewUpdating )
   {
      previewPending = true;
      return;
   }
   previewUpdating = true;
   TRealTimePreviewWindow& preview = RealTimePreviewWindow();
   do
   {
      previewPending = false;
      BuildPreviewTables();
      preview.ResetTransferTables();
      preview.transferTables.bytes = previewTables;
      BuildFinePreviewTables( preview.transferTables.fine );
      if ( preview.isVisible() )
         preview.UpdatePreview( true );
   } while ( previewPending );
   previewUpdating = false;
}

void THistogramWindow::RealTimePreview_TimerTimer()
{
   RealTimePreview_Timer->stop();
   QElapsedTimer elapsed;
   elapsed.start();
   if ( realTimePreview )
      UpdateRealTimePreview();
   if ( showOutput )
      OutputHistogram_PaintBox->repaint();
   RealTimePreview_Timer->setInterval(
      TRealTimePreviewWindow::NextRenderInterval( double( elapsed.nsecsElapsed() ) / 1e6 ) );
}

// ---- Showing and hiding -----------------------------------------------------------------------------------------

void THistogramWindow::showEvent( QShowEvent* event )
{
   TProcessingWindow::showEvent( event );
   UpdateKeyboardState();
   SetMouseMode( 0 );
}

void THistogramWindow::hideEvent( QHideEvent* event )
{
   if ( realTimePreview )
   {
      RealTimePreview_CheckBox->setChecked( false );
      RealTimePreview_CheckBoxClick();
   }
   TProcessingWindow::hideEvent( event );
}

THistogramWindow& HistogramWindow()
{
   static QPointer<THistogramWindow> window;
   if ( window.isNull() )
      window = new THistogramWindow( MainWindow );
   return *window;
}
