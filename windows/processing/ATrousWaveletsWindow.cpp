#include "windows/processing/ATrousWaveletsWindow.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QSpinBox>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <cmath>

#include "classlib/Exception.h"
#include "classlib/Math.h"
#include "support/Utils.h"
#include "windows/frames/FilterEditorFrame.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/FilterWindowParts.h"

std::string TATrousWaveletsWindow::defaultFilterSetFolder;

namespace
{

using Layer = ATrousWaveletsTransform::LayerParameters;

const char* const DefaultFilterName = "3x3 Linear Interpolation";

QLabel* MakeCaption( QWidget* parent, const char* name, const char* text )
{
   auto* caption = new QLabel( text, parent );
   caption->setObjectName( name );
   caption->setFrameShape( QFrame::Panel );
   caption->setFrameShadow( QFrame::Raised );
   return caption;
}

QFrame* MakePanel( QWidget* parent, const char* name )
{
   auto* panel = new QFrame( parent );
   panel->setObjectName( name );
   panel->setFrameShape( QFrame::StyledPanel );
   return panel;
}

QPushButton* MakeButton( QWidget* parent, const char* name, const char* caption )
{
   auto* button = new QPushButton( caption, parent );
   button->setObjectName( name );
   button->setAutoDefault( false );
   return button;
}

QIcon StateIcon( bool enabled )
{
   QPixmap pixmap( 12, 12 );
   pixmap.fill( Qt::transparent );
   QPainter painter( &pixmap );
   painter.setPen( Qt::black );
   painter.setBrush( enabled ? QColor( 0, 160, 0 ) : QColor( Qt::white ) );
   painter.drawRect( 1, 1, 9, 9 );
   return QIcon( pixmap );
}

// The built-in kernels of a new default filter set, as (1, .., 1)ᵀ(1, .., 1) / divisor.
KernelFilter Separable( const char* name, const std::vector<float>& v, float divisor, bool readOnly )
{
   const int32_t n = int32_t( v.size() );
   std::vector<float> c( size_t( n * n ) );
   for ( int32_t i = 0; i < n; ++i )
      for ( int32_t j = 0; j < n; ++j )
         c[size_t( i * n + j )] = TFilterEditorFrame::RoundCoefficient( v[size_t( i )] * v[size_t( j )] / divisor, 4 );
   return KernelFilter( name, n, std::move( c ), readOnly );
}

} // namespace

std::string TATrousWaveletsWindow::DefaultFilterSetPath()
{
   QString folder = QString::fromStdString( defaultFilterSetFolder );
   if ( folder.isEmpty() )
      folder = QStandardPaths::writableLocation( QStandardPaths::AppConfigLocation );
   return QDir( folder ).filePath( "atw-default.lf-fsm" ).toStdString();
}

TATrousWaveletsWindow::TATrousWaveletsWindow( QWidget* owner ) : TProcessingWindow( owner )
{
   setObjectName( "ATrousWaveletsWindow" );
   setWindowTitle( QString::fromUtf8( "À Trous Wavelets" ) );

   Pages_PageControl = new QTabWidget( this );
   Pages_PageControl->setObjectName( "Pages_PageControl" );
   auto* layersPage = new QWidget;
   layersPage->setObjectName( "WaveletLayers_TabSheet" );
   auto* kernelPage = new QWidget;
   kernelPage->setObjectName( "ScalingFunction_TabSheet" );
   Pages_PageControl->addTab( layersPage, "Wavelet Layers" );
   Pages_PageControl->addTab( kernelPage, "Scaling Function" );

   // ---- Wavelet layers page
   Layers_ListView = new QTreeWidget( layersPage );
   Layers_ListView->setObjectName( "Layers_ListView" );
   Layers_ListView->setHeaderLabels( { "Level", "Scale", "Parameters" } );
   Layers_ListView->setRootIsDecorated( false );
   Layers_ListView->setEditTriggers( QAbstractItemView::NoEditTriggers );
   Layers_ListView->setSelectionMode( QAbstractItemView::SingleSelection );
   Layers_ListView->headerItem()->setTextAlignment( 1, Qt::AlignCenter );
   Layers_ListView->header()->setStretchLastSection( false );
   QFont listFont = Layers_ListView->font();
   listFont.setPointSize( QApplication::font( "QMenu" ).pointSize() );
   Layers_ListView->setFont( listFont );
   Layers_ListView->setMinimumHeight( 150 );

   Dyadic_RadioButton = new QRadioButton( "Dyadic", layersPage );
   Dyadic_RadioButton->setObjectName( "Dyadic_RadioButton" );
   Linear_RadioButton = new QRadioButton( "Linear:", layersPage );
   Linear_RadioButton->setObjectName( "Linear_RadioButton" );
   Linear_Edit = new QLineEdit( layersPage );
   Linear_Edit->setObjectName( "Linear_Edit" );
   Linear_Edit->setFixedWidth( 36 );
   Linear_UpDown = new QSpinBox( layersPage );
   Linear_UpDown->setObjectName( "Linear_UpDown" );
   Linear_UpDown->setRange( 0, ATrousWaveletsTransform::MaxScaleDelta );
   Linear_UpDown->setFixedWidth( 20 );
   Linear_UpDown->setFocusPolicy( Qt::NoFocus );
   LayerCount_Label = new QLabel( "Count:", layersPage );
   LayerCount_Label->setObjectName( "LayerCount_Label" );
   LayerCount_ComboBox = new QComboBox( layersPage );
   LayerCount_ComboBox->setObjectName( "LayerCount_ComboBox" );
   for ( int i = 1; i <= ATrousWaveletsTransform::MaxLayers; ++i )
      LayerCount_ComboBox->addItem( QString::number( i ) );
   UseLuminance_CheckBox = new QCheckBox( "Use luminance", layersPage );
   UseLuminance_CheckBox->setObjectName( "UseLuminance_CheckBox" );
   PreviewLayers_CheckBox = new QCheckBox( "Preview", layersPage );
   PreviewLayers_CheckBox->setObjectName( "PreviewLayers_CheckBox" );
   PreviewGamma_TrackBar = new QSlider( Qt::Horizontal, layersPage );
   PreviewGamma_TrackBar->setObjectName( "PreviewGamma_TrackBar" );
   PreviewGamma_TrackBar->setRange( 10, 30 );
   PreviewGamma_TrackBar->setFocusPolicy( Qt::ClickFocus );
   ResetAll_Button = MakeButton( layersPage, "ResetAll_Button", "Reset" );

   Weighting_Panel = MakePanel( layersPage, "Weighting_Panel" );
   WeightingCaption_Panel = MakeCaption( Weighting_Panel, "WeightingCaption_Panel", "" );
   ResetWeighting_Button = MakeButton( Weighting_Panel, "ResetWeighting_Button", "Reset" );
   MakeReal( Bias, Weighting_Panel, "Bias", "Bias:", -5, 10, -50, 100, 3, true );
   NoiseReduction_Panel = MakePanel( Weighting_Panel, "NoiseReduction_Panel" );
   NoiseReductionCaption_Panel = MakeCaption( NoiseReduction_Panel, "NoiseReductionCaption_Panel", "  Noise Reduction" );
   MakeReal( NRAmount, NoiseReduction_Panel, "NRAmount", "Amount:", 0, 1, 0, 100, 2, false );
   NRIterations_Label = new QLabel( "n:", NoiseReduction_Panel );
   NRIterations_Label->setObjectName( "NRIterations_Label" );
   NRIterations_ComboBox = new QComboBox( NoiseReduction_Panel );
   NRIterations_ComboBox->setObjectName( "NRIterations_ComboBox" );
   for ( int i = 1; i <= 8; ++i )
      NRIterations_ComboBox->addItem( QString::number( i ) );
   NRFilterSize_Label = new QLabel( "k:", NoiseReduction_Panel );
   NRFilterSize_Label->setObjectName( "NRFilterSize_Label" );
   NRFilterSize_ComboBox = new QComboBox( NoiseReduction_Panel );
   NRFilterSize_ComboBox->setObjectName( "NRFilterSize_ComboBox" );
   for ( int k = 3; k <= 15; k += 2 )
      NRFilterSize_ComboBox->addItem( QString::number( k ) );
   Deringing_Panel = MakePanel( Weighting_Panel, "Deringing_Panel" );
   DeringingCaption_Panel = MakeCaption( Deringing_Panel, "DeringingCaption_Panel", "  Deringing" );
   MakeReal( DRAmount, Deringing_Panel, "DRAmount", "Amount:", 0, 1, 0, 100, 2, false );
   MakeReal( DRThreshold, Deringing_Panel, "DRThreshold", "Threshold:", 0, 0.1, 0, 100, 3, false );

   auto* nr = new QGridLayout( NoiseReduction_Panel );
   nr->addWidget( NoiseReductionCaption_Panel, 0, 0, 1, 6 );
   nr->addWidget( NRAmount.label, 1, 0 );
   nr->addWidget( NRAmount.edit, 1, 1 );
   nr->addWidget( NRAmount.trackBar, 1, 2, 1, 4 );
   nr->addWidget( NRIterations_Label, 2, 0 );
   nr->addWidget( NRIterations_ComboBox, 2, 1 );
   nr->addWidget( NRFilterSize_Label, 2, 2 );
   nr->addWidget( NRFilterSize_ComboBox, 2, 3 );
   auto* dr = new QGridLayout( Deringing_Panel );
   dr->addWidget( DeringingCaption_Panel, 0, 0, 1, 3 );
   dr->addWidget( DRAmount.label, 1, 0 );
   dr->addWidget( DRAmount.edit, 1, 1 );
   dr->addWidget( DRAmount.trackBar, 1, 2 );
   dr->addWidget( DRThreshold.label, 2, 0 );
   dr->addWidget( DRThreshold.edit, 2, 1 );
   dr->addWidget( DRThreshold.trackBar, 2, 2 );
   auto* weighting = new QGridLayout( Weighting_Panel );
   weighting->addWidget( WeightingCaption_Panel, 0, 0, 1, 2 );
   weighting->addWidget( ResetWeighting_Button, 0, 2 );
   weighting->addWidget( Bias.label, 1, 0 );
   weighting->addWidget( Bias.edit, 1, 1 );
   weighting->addWidget( Bias.trackBar, 1, 2 );
   weighting->addWidget( NoiseReduction_Panel, 2, 0, 1, 3 );
   weighting->addWidget( Deringing_Panel, 3, 0, 1, 3 );

   auto* scales = new QHBoxLayout;
   scales->addWidget( Dyadic_RadioButton );
   scales->addWidget( Linear_RadioButton );
   scales->addWidget( Linear_Edit );
   scales->addWidget( Linear_UpDown );
   scales->addWidget( LayerCount_Label );
   scales->addWidget( LayerCount_ComboBox );
   scales->addStretch();
   auto* options = new QHBoxLayout;
   options->addWidget( UseLuminance_CheckBox );
   options->addWidget( PreviewLayers_CheckBox );
   options->addWidget( PreviewGamma_TrackBar );
   options->addWidget( ResetAll_Button );
   auto* layersLayout = new QVBoxLayout( layersPage );
   layersLayout->addWidget( Layers_ListView, 1 );
   layersLayout->addLayout( scales );
   layersLayout->addLayout( options );
   layersLayout->addWidget( Weighting_Panel );

   // ---- Scaling function page
   FilterEditor = new TFilterEditorFrame( kernelPage );
   FilterEditor->setObjectName( "FilterEditor" );
   auto* kernelLayout = new QVBoxLayout( kernelPage );
   kernelLayout->addWidget( FilterEditor );

   // ---- Below the pages
   NoiseThresholding_Panel = MakePanel( this, "NoiseThresholding_Panel" );
   QLabel* ntCaption = MakeCaption( NoiseThresholding_Panel, "NoiseThresholdingCaption_Panel", "  Noise Thresholding" );
   ResetNoiseThresholding_Button = MakeButton( NoiseThresholding_Panel, "ResetNoiseThresholding_Button", "Reset" );
   MakeReal( NTThreshold, NoiseThresholding_Panel, "NTThreshold", "Threshold:", 0.1, 10, 1, 100, 2, false );
   MakeReal( NTAmount, NoiseThresholding_Panel, "NTAmount", "Amount:", 0, 1, 0, 100, 2, false );
   auto* nt = new QGridLayout( NoiseThresholding_Panel );
   nt->addWidget( ntCaption, 0, 0, 1, 2 );
   nt->addWidget( ResetNoiseThresholding_Button, 0, 2 );
   nt->addWidget( NTThreshold.label, 1, 0 );
   nt->addWidget( NTThreshold.edit, 1, 1 );
   nt->addWidget( NTThreshold.trackBar, 1, 2 );
   nt->addWidget( NTAmount.label, 2, 0 );
   nt->addWidget( NTAmount.edit, 2, 1 );
   nt->addWidget( NTAmount.trackBar, 2, 2 );

   DynamicRangeExtension_Panel = MakePanel( this, "DynamicRangeExtension_Panel" );
   QLabel* drCaption =
       MakeCaption( DynamicRangeExtension_Panel, "DynamicRangeExtensionCaption_Panel", "  Dynamic Range Extension" );
   ResetDynamicRangeExtension_Button =
       MakeButton( DynamicRangeExtension_Panel, "ResetDynamicRangeExtension_Button", "Reset" );
   MakeReal( LowRange, DynamicRangeExtension_Panel, "LowRange", "Low range:", 0, 1, 0, 100, 3, false );
   MakeReal( HighRange, DynamicRangeExtension_Panel, "HighRange", "High range:", 0, 1, 0, 100, 3, false );
   auto* range = new QGridLayout( DynamicRangeExtension_Panel );
   range->addWidget( drCaption, 0, 0, 1, 2 );
   range->addWidget( ResetDynamicRangeExtension_Button, 0, 2 );
   range->addWidget( LowRange.label, 1, 0 );
   range->addWidget( LowRange.edit, 1, 1 );
   range->addWidget( LowRange.trackBar, 1, 2 );
   range->addWidget( HighRange.label, 2, 0 );
   range->addWidget( HighRange.edit, 2, 1 );
   range->addWidget( HighRange.trackBar, 2, 2 );

   auto* layout = new QVBoxLayout( this );
   layout->addWidget( Pages_PageControl, 1 );
   layout->addWidget( NoiseThresholding_Panel );
   layout->addWidget( DynamicRangeExtension_Panel );
   layout->addLayout( MakeStandardButtons( this ) );

   // ---- Fields and their dependants
   auto layerChanged = [this]
   {
      UpdateLayerControls();
      RefreshItem();
   };
   Bias.field = [this]() -> float& { return Current().bias; };
   Bias.after = layerChanged;
   NRAmount.field = [this]() -> float& { return Current().noiseReductionAmount; };
   NRAmount.after = layerChanged;
   DRAmount.field = [this]() -> float& { return Current().deringingAmount; };
   DRAmount.after = layerChanged;
   DRThreshold.field = [this]() -> float& { return Current().deringingThreshold; };
   DRThreshold.after = layerChanged;
   NTAmount.field = [this]() -> float& { return parameters.noiseThresholdAmount; };
   NTAmount.after = [this] { UpdateNoiseThresholdingControls(); };
   NTThreshold.field = [this]() -> float& { return parameters.noiseThreshold; };
   LowRange.field = [this]() -> float& { return parameters.rangeLow; };
   HighRange.field = [this]() -> float& { return parameters.rangeHigh; };

   // ---- Events
   connect( Layers_ListView, &QTreeWidget::itemPressed, this,
            [this]( QTreeWidgetItem* item ) { Layers_ListViewMouseDown( Layers_ListView->indexOfTopLevelItem( item ) ); } );
   connect( Layers_ListView, &QTreeWidget::itemSelectionChanged, this,
            [this]
            {
               const auto selected = Layers_ListView->selectedItems();
               if ( !selected.isEmpty() && !UpdatingControls() )
                  Layers_ListViewSelectItem( Layers_ListView->indexOfTopLevelItem( selected.front() ) );
            } );
   connect( Layers_ListView, &QTreeWidget::itemDoubleClicked, this,
            [this]( QTreeWidgetItem* item, int column )
            { Layers_ListViewDblClick( Layers_ListView->indexOfTopLevelItem( item ), column ); } );
   connect( ResetAll_Button, &QPushButton::clicked, this, [this] { ResetAll_ButtonClick(); } );
   connect( Dyadic_RadioButton, &QRadioButton::clicked, this, [this] { Dyadic_RadioButtonClick(); } );
   connect( Linear_RadioButton, &QRadioButton::clicked, this, [this] { Linear_RadioButtonClick(); } );
   SetEditExitHandler( Linear_Edit, [this] { Linear_EditExit(); } );
   connect( Linear_UpDown, &QSpinBox::valueChanged, this,
            [this]( int value )
            {
               if ( !UpdatingControls() )
                  Linear_UpDownClick( value > parameters.scaleDelta );
            } );
   connect( LayerCount_ComboBox, &QComboBox::activated, this, [this] { LayerCount_ComboBoxSelect(); } );
   connect( UseLuminance_CheckBox, &QCheckBox::clicked, this, [this] { UseLuminance_CheckBoxClick(); } );
   connect( PreviewLayers_CheckBox, &QCheckBox::clicked, this, [this] { PreviewLayers_CheckBoxClick(); } );
   connect( PreviewGamma_TrackBar, &QSlider::valueChanged, this, [this] { PreviewGamma_TrackBarChange(); } );
   connect( NRIterations_ComboBox, &QComboBox::activated, this, [this] { NRIterations_ComboBoxSelect(); } );
   connect( NRFilterSize_ComboBox, &QComboBox::activated, this, [this] { NRFilterSize_ComboBoxSelect(); } );
   connect( ResetWeighting_Button, &QPushButton::clicked, this, [this] { ResetWeighting_ButtonClick(); } );
   connect( ResetNoiseThresholding_Button, &QPushButton::clicked, this,
            [this] { ResetNoiseThresholding_ButtonClick(); } );
   connect( ResetDynamicRangeExtension_Button, &QPushButton::clicked, this,
            [this] { ResetDynamicRangeExtension_ButtonClick(); } );

   // ---- The kernel library
   FilterEditor->defaultSize = 5;
   FilterEditor->cellsPerRow = 6;
   FilterEditor->minSize = 3;
   FilterEditor->maxSize = 11;
   FilterEditor->minCoefficient = -100;
   FilterEditor->maxCoefficient = 100;
   FilterEditor->decimals = 4;
   LoadDefaultFilterSet();
   FilterEditor->Reset();
   FilterEditor->SelectFilter( DefaultFilterName );

   UpdateGeneralControls();
   UpdateLayerControls();
   UpdateDynamicRangeControls();
   UpdateNoiseThresholdingControls();
   UpdatePreviewGammaHint();
}

TATrousWaveletsWindow::~TATrousWaveletsWindow() = default;

void TATrousWaveletsWindow::LoadDefaultFilterSet()
{
   const std::string path = DefaultFilterSetPath();
   if ( QFileInfo::exists( QString::fromStdString( path ) ) )
   {
      FilterEditor->LoadFilterSetModule( path );
      return;
   }
   KernelFilterSetModule& library = FilterEditor->module;
   library.Clear();
   const KernelFilter builtIns[] = {
      Separable( "5x5 B3-Spline", { 1, 4, 6, 4, 1 }, 256, true ),
      Separable( "5x5 Linear Interpolation", { 1, 2, 4, 2, 1 }, 64, true ),
      Separable( DefaultFilterName, { 1, 2, 1 }, 16, true ),
      KernelFilter( "3x3 Small-Scale", 3, { 0.0625f, 0.125f, 0.0625f, 0.125f, 10, 0.125f, 0.0625f, 0.125f, 0.0625f },
                    false ),
   };
   for ( const KernelFilter& f : builtIns )
      library.filters.push_back( std::make_unique<KernelFilter>( f ) );
   QDir().mkpath( QFileInfo( QString::fromStdString( path ) ).absolutePath() );
   FilterEditor->SaveFilterSetModule( path );
}

void TATrousWaveletsWindow::MakeReal( RealControl& control, QWidget* parent, const char* role, const char* caption,
                                      double minimum, double maximum, int trackMinimum, int trackMaximum,
                                      int decimals, bool sign )
{
   const QString name = QString::fromLatin1( role );
   control.label = new QLabel( caption, parent );
   control.label->setObjectName( name + "_Label" );
   control.edit = new QLineEdit( parent );
   control.edit->setObjectName( name + "_Edit" );
   control.edit->setFixedWidth( 64 );
   control.trackBar = new QSlider( Qt::Horizontal, parent );
   control.trackBar->setObjectName( name + "_TrackBar" );
   control.trackBar->setRange( trackMinimum, trackMaximum );
   control.trackBar->setFocusPolicy( Qt::ClickFocus );
   control.trackBar->setFocusProxy( control.edit );
   control.minimum = minimum;
   control.maximum = maximum;
   control.decimals = decimals;
   control.sign = sign;
   SetEditExitHandler( control.edit, [this, &control] { RealEditExit( control ); } );
   connect( control.trackBar, &QSlider::valueChanged, this, [this, &control] { RealTrackBarChange( control ); } );
}

void TATrousWaveletsWindow::ShowReal( RealControl& control )
{
   const float value = control.field();
   WriteRealToEdit( control.edit, value, control.decimals, control.sign );
   const QSignalBlocker blocker( control.trackBar );
   SetTrackBarValue( control.trackBar, value, control.minimum, control.maximum );
}

void TATrousWaveletsWindow::RealEditExit( RealControl& control )
{
   float& field = control.field();
   try
   {
      const float value = float( ReadNumberFromEdit( control.edit, control.minimum, control.maximum, true ) );
      if ( value != field )
      {
         field = value;
         TMainWindow::ControlUpdateGuard guard;
         const QSignalBlocker blocker( control.trackBar );
         SetTrackBarValue( control.trackBar, value, control.minimum, control.maximum );
      }
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
   }
   WriteRealToEdit( control.edit, field, control.decimals, control.sign );
   if ( control.after )
      control.after();
}

void TATrousWaveletsWindow::RealTrackBarChange( RealControl& control )
{
   if ( UpdatingControls() )
      return;
   const double scale = double( qor::Pow10I( control.decimals ) );
   const float value =
       float( std::round( double( GetTrackBarValue( control.trackBar, control.minimum, control.maximum ) ) * scale ) /
              scale );
   float& field = control.field();
   if ( value == field )
      return;
   field = value;
   WriteRealToEdit( control.edit, value, control.decimals, control.sign );
   if ( control.after )
      control.after();
}

// ---- Instances ----------------------------------------------------------------------------------------------------

std::unique_ptr<Process> TATrousWaveletsWindow::NewInstance()
{
   const KernelFilter& kernel = FilterEditor->filter;
   if ( kernel.size > 0 && !kernel.coefficients.empty() )
   {
      parameters.scalingFunctionKernelSize = kernel.size;
      parameters.scalingFunctionKernel = kernel.coefficients;
   }
   else
   {
      parameters.scalingFunctionKernelSize = 0;
      parameters.scalingFunctionKernel.clear();
   }
   return std::make_unique<ATrousWaveletsTransform>( parameters );
}

std::unique_ptr<Process> TATrousWaveletsWindow::NewProbeInstance()
{
   return std::make_unique<ATrousWaveletsTransform>();
}

void TATrousWaveletsWindow::ImportInstance( const Process& instance )
{
   const auto* transform = dynamic_cast<const ATrousWaveletsTransform*>( &instance );
   if ( transform == nullptr )
      return;
   parameters.Assign( *transform->parameters );
   FilterEditor->SetFilter( parameters.scalingFunctionKernelSize, parameters.scalingFunctionKernel );
   parameters.scalingFunctionKernel.clear();
   parameters.scalingFunctionKernelSize = 0;
   currentLayer = std::clamp( currentLayer, 0, std::max( parameters.numberOfDetailLayers, 0 ) );
   UpdateGeneralControls();
   UpdateLayerControls();
   UpdateDynamicRangeControls();
   UpdateNoiseThresholdingControls();
   UpdatePreviewGammaHint();
}

// ---- Filling the controls -----------------------------------------------------------------------------------------

QStringList TATrousWaveletsWindow::LayerItemTexts( int index ) const
{
   const int32_t m = parameters.numberOfDetailLayers;
   const Layer& r = parameters.layers[size_t( index )];
   const bool residual = index == m;
   QString scale = "-";
   if ( !residual )
      scale = parameters.scaleDelta > 0 ? QString::number( index * parameters.scaleDelta + 1 )
                                        : QString::number( int64_t( 1 ) << index );
   std::string text;
   if ( parameters.previewLayers )
      text = r.enabled ? "<* Preview *>" : "";
   else
   {
      if ( r.bias != 0 )
         text = FormatReal( r.bias, 3, true );
      if ( r.noiseReductionAmount != 0 )
         text += ( text.empty() ? "" : ", " ) + std::string( "S:(" ) + FormatReal( r.noiseReductionAmount, 2 ) + "," +
                 std::to_string( r.noiseReductionIterations ) + "," + std::to_string( r.noiseReductionKernelSize ) +
                 ")";
      if ( r.deringingAmount != 0 )
         text += ( text.empty() ? "" : ", " ) + std::string( "D:(" ) + FormatReal( r.deringingAmount, 2 ) + "," +
                 FormatReal( r.deringingThreshold, 3 ) + ")";
   }
   return { residual ? QString( "R" ) : QString::number( index + 1 ), scale, QString::fromStdString( text ) };
}

void TATrousWaveletsWindow::RefreshItem()
{
   QTreeWidgetItem* item = Layers_ListView->topLevelItem( currentLayer );
   if ( item == nullptr )
      return;
   TMainWindow::ControlUpdateGuard guard;
   const QStringList texts = LayerItemTexts( currentLayer );
   for ( int column = 0; column < 3; ++column )
      item->setText( column, texts[column] );
   item->setIcon( 0, StateIcon( parameters.layers[size_t( currentLayer )].enabled ) );
   FitListViewColumnsToItem( Layers_ListView, currentLayer, 2, 16 );
}

void TATrousWaveletsWindow::UpdateGeneralControls()
{
   TMainWindow::ControlUpdateGuard guard;
   const int32_t m = parameters.numberOfDetailLayers;
   const bool linear = parameters.scaleDelta != 0;
   Dyadic_RadioButton->setChecked( !linear );
   Linear_RadioButton->setChecked( linear );
   Linear_Edit->setEnabled( linear );
   Linear_UpDown->setEnabled( linear );
   WriteIntegerToEdit( Linear_Edit, parameters.scaleDelta );
   {
      const QSignalBlocker blocker( Linear_UpDown );
      Linear_UpDown->setValue( parameters.scaleDelta );
   }
   LayerCount_ComboBox->setCurrentIndex( m - 1 );
   UseLuminance_CheckBox->setChecked( parameters.useLuminance );

   // The list's own signals would take the refill for the user's selection.
   const QSignalBlocker listBlocker( Layers_ListView );
   Layers_ListView->clear();
   for ( int i = 0; i <= m; ++i )
   {
      auto* item = new QTreeWidgetItem( Layers_ListView, LayerItemTexts( i ) );
      item->setTextAlignment( 1, Qt::AlignCenter );
      item->setIcon( 0, StateIcon( parameters.layers[size_t( i )].enabled ) );
   }
   if ( QTreeWidgetItem* item = Layers_ListView->topLevelItem( currentLayer ) )
   {
      Layers_ListView->setCurrentItem( item );
      item->setSelected( true );
   }
   FitListViewColumns( Layers_ListView, 2, 16 );

   PreviewLayers_CheckBox->setChecked( parameters.previewLayers );
   const QSignalBlocker gammaBlocker( PreviewGamma_TrackBar );
   SetTrackBarValue( PreviewGamma_TrackBar, parameters.previewGamma, 1, 3 );
   PreviewGamma_TrackBar->setEnabled( parameters.previewLayers );
}

void TATrousWaveletsWindow::UpdateLayerControls()
{
   TMainWindow::ControlUpdateGuard guard;
   const int32_t m = parameters.numberOfDetailLayers;
   const Layer& r = Current();
   const bool residual = currentLayer == m;
   QString caption = residual ? QString( "  Residual Layer" )
                              : QString( "  Detail Layer %1/%2" ).arg( currentLayer + 1 ).arg( m );
   if ( parameters.previewLayers )
      caption += " - Preview Mode";
   WeightingCaption_Panel->setText( caption );
   for ( RealControl* control : { &Bias, &NRAmount, &DRAmount, &DRThreshold } )
      ShowReal( *control );
   NRIterations_ComboBox->setCurrentIndex( r.noiseReductionIterations - 1 );
   NRFilterSize_ComboBox->setCurrentIndex( ( r.noiseReductionKernelSize - 3 ) / 2 );

   const bool enabled = r.enabled;
   const bool detail = enabled && !residual;
   for ( QWidget* w : std::initializer_list<QWidget*>{ Bias.label, Bias.edit, Bias.trackBar, ResetWeighting_Button } )
      w->setEnabled( enabled );
   for ( QWidget* w : std::initializer_list<QWidget*>{ NoiseReduction_Panel, NRAmount.label, NRAmount.edit,
                                                       NRAmount.trackBar, Deringing_Panel, DRAmount.label,
                                                       DRAmount.edit, DRAmount.trackBar } )
      w->setEnabled( detail );
   for ( QWidget* w : std::initializer_list<QWidget*>{ NRIterations_Label, NRIterations_ComboBox, NRFilterSize_Label,
                                                       NRFilterSize_ComboBox } )
      w->setEnabled( detail && r.noiseReductionAmount != 0 );
   for ( QWidget* w : std::initializer_list<QWidget*>{ DRThreshold.label, DRThreshold.edit, DRThreshold.trackBar } )
      w->setEnabled( detail && r.deringingAmount != 0 );
}

void TATrousWaveletsWindow::UpdateNoiseThresholdingControls()
{
   TMainWindow::ControlUpdateGuard guard;
   ShowReal( NTAmount );
   ShowReal( NTThreshold );
   const bool on = parameters.noiseThresholdAmount != 0;
   for ( QWidget* w : std::initializer_list<QWidget*>{ NTThreshold.label, NTThreshold.edit, NTThreshold.trackBar } )
      w->setEnabled( on );
}

void TATrousWaveletsWindow::UpdateDynamicRangeControls()
{
   TMainWindow::ControlUpdateGuard guard;
   ShowReal( LowRange );
   ShowReal( HighRange );
}

void TATrousWaveletsWindow::UpdatePreviewGammaHint()
{
   PreviewGamma_TrackBar->setToolTip( QString::fromStdString( "Preview Gamma = " +
                                                              FormatReal( parameters.previewGamma, 1 ) ) );
}

// ---- Handlers -----------------------------------------------------------------------------------------------------

void TATrousWaveletsWindow::Layers_ListViewMouseDown( int index )
{
   if ( index < 0 || index > parameters.numberOfDetailLayers )
      return;
   currentLayer = index;
   UpdateLayerControls();
}

void TATrousWaveletsWindow::Layers_ListViewSelectItem( int index )
{
   if ( index < 0 || index > parameters.numberOfDetailLayers )
      return;
   const bool changedEnabling = parameters.previewLayers;
   if ( changedEnabling )
      for ( size_t i = 0; i < parameters.layers.size(); ++i )
         parameters.layers[i].enabled = int( i ) == index;
   currentLayer = index;
   if ( changedEnabling )
      UpdateGeneralControls();
   UpdateLayerControls();
}

void TATrousWaveletsWindow::Layers_ListViewDblClick( int index, int column )
{
   if ( index < 0 || index > parameters.numberOfDetailLayers || column != 0 )
      return;
   Layer& r = parameters.layers[size_t( index )];
   r.enabled = !r.enabled;
   const int32_t saved = currentLayer;
   currentLayer = index;
   RefreshItem();
   currentLayer = saved;
   if ( index == currentLayer )
      UpdateLayerControls();
}

void TATrousWaveletsWindow::ResetAll_ButtonClick()
{
   for ( Layer& r : parameters.layers )
      r = Layer();
   parameters.previewLayers = false;
   UpdateGeneralControls();
   UpdateLayerControls();
}

void TATrousWaveletsWindow::Dyadic_RadioButtonClick()
{
   if ( UpdatingControls() )
      return;
   parameters.scaleDelta = 0;
   UpdateGeneralControls();
   UpdateLayerControls();
}

void TATrousWaveletsWindow::Linear_RadioButtonClick()
{
   if ( UpdatingControls() )
      return;
   parameters.scaleDelta = 1;
   UpdateGeneralControls();
   UpdateLayerControls();
}

void TATrousWaveletsWindow::Linear_EditExit()
{
   try
   {
      parameters.scaleDelta =
          int32_t( std::trunc( ReadNumberFromEdit( Linear_Edit, 0, ATrousWaveletsTransform::MaxScaleDelta, true ) ) );
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
   }
   UpdateGeneralControls();
   UpdateLayerControls();
}

void TATrousWaveletsWindow::Linear_UpDownClick( bool up )
{
   if ( up && parameters.scaleDelta < ATrousWaveletsTransform::MaxScaleDelta )
      ++parameters.scaleDelta;
   else if ( !up && parameters.scaleDelta > 0 )
      --parameters.scaleDelta;
   UpdateGeneralControls();
   UpdateLayerControls();
}

void TATrousWaveletsWindow::LayerCount_ComboBoxSelect()
{
   if ( UpdatingControls() )
      return;
   const int32_t n = LayerCount_ComboBox->currentIndex() + 1;
   if ( n != parameters.numberOfDetailLayers )
   {
      parameters.ResizeLayers( n );
      currentLayer = 0;
   }
   UpdateGeneralControls();
   UpdateLayerControls();
}

void TATrousWaveletsWindow::UseLuminance_CheckBoxClick()
{
   if ( !UpdatingControls() )
      parameters.useLuminance = UseLuminance_CheckBox->isChecked();
}

void TATrousWaveletsWindow::PreviewLayers_CheckBoxClick()
{
   if ( UpdatingControls() )
      return;
   const bool preview = PreviewLayers_CheckBox->isChecked();
   if ( preview == parameters.previewLayers )
      return;
   parameters.previewLayers = preview;
   for ( size_t i = 0; i < parameters.layers.size(); ++i )
      parameters.layers[i].enabled = !preview || int( i ) == currentLayer;
   UpdateGeneralControls();
   UpdateLayerControls();
}

void TATrousWaveletsWindow::PreviewGamma_TrackBarChange()
{
   if ( UpdatingControls() )
      return;
   parameters.previewGamma = float( std::round( double( GetTrackBarValue( PreviewGamma_TrackBar, 1, 3 ) ) * 10 ) / 10 );
   UpdatePreviewGammaHint();
}

void TATrousWaveletsWindow::NRIterations_ComboBoxSelect()
{
   if ( UpdatingControls() )
      return;
   const int32_t value = NRIterations_ComboBox->currentIndex() + 1;
   if ( value != Current().noiseReductionIterations )
   {
      Current().noiseReductionIterations = value;
      RefreshItem();
   }
}

void TATrousWaveletsWindow::NRFilterSize_ComboBoxSelect()
{
   if ( UpdatingControls() )
      return;
   const int32_t value = 2 * NRFilterSize_ComboBox->currentIndex() + 3;
   if ( value != Current().noiseReductionKernelSize )
   {
      Current().noiseReductionKernelSize = value;
      RefreshItem();
   }
}

void TATrousWaveletsWindow::ResetWeighting_ButtonClick()
{
   Current() = Layer();
   UpdateLayerControls();
   RefreshItem();
}

void TATrousWaveletsWindow::ResetNoiseThresholding_ButtonClick()
{
   parameters.noiseThresholdAmount = 0;
   parameters.noiseThreshold = 1;
   UpdateNoiseThresholdingControls();
}

void TATrousWaveletsWindow::ResetDynamicRangeExtension_ButtonClick()
{
   parameters.rangeLow = parameters.rangeHigh = 0;
   UpdateDynamicRangeControls();
}

TATrousWaveletsWindow& ATrousWaveletsWindow()
{
   static QPointer<TATrousWaveletsWindow> window;
   if ( window.isNull() )
      window = new TATrousWaveletsWindow( MainWindow );
   return *window;
}
