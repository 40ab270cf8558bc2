#include "windows/processing/ResampleWindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QRadioButton>
#include <QToolButton>

#include <algorithm>
#include <cmath>

#include "classlib/Exception.h"
#include "classlib/Math.h"
#include "process/Resample.h"
#include "support/Utils.h"
#include "windows/frames/InterpolationParametersFrame.h"
#include "windows/frames/ViewsListFrame.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ColorSpaceControls.h"
#include "windows/processing/FilterWindowParts.h"

namespace
{

constexpr double InchesPerCm = 0.39370078740157477;

// The nearest integer of a value taken as a float, halves to even, within [lo, hi].
int32_t NearestIn( double value, int32_t lo, int32_t hi )
{
   const float v = qor::Round( float( value ) );
   if ( !( v >= float( lo ) ) )
      return lo;
   if ( !( v <= float( hi ) ) )
      return hi;
   return int32_t( v );
}

QFrame* Panel( QWidget* parent, const char* name, const char* captionName, const char* caption, QGridLayout*& grid )
{
   auto* panel = new QFrame( parent );
   panel->setObjectName( name );
   panel->setFrameShape( QFrame::StyledPanel );
   grid = new QGridLayout( panel );
   grid->addWidget( MakeCaptionPanel( panel, captionName, caption ), 0, 0, 1, 5 );
   return panel;
}

template <class Control>
Control* Named( QWidget* parent, const char* name, const QString& text = {} )
{
   auto* control = new Control( parent );
   control->setObjectName( name );
   if constexpr ( !std::is_same_v<Control, QLineEdit> && !std::is_same_v<Control, QComboBox> )
      control->setText( text );
   return control;
}

} // namespace

TResampleWindow::TResampleWindow( QWidget* owner ) : TGeometryWindow( owner )
{
   setObjectName( "ResampleWindow" );
   setWindowTitle( "Resample" );
   followUpdatedView = false;
   Info_Panel->hide();
   sourceResolution = resolution = 72;
   sourceMetric = metric = false;

   QGridLayout* grid = nullptr;
   QFrame* dimensions = Panel( this, "Dimensions_Panel", "DimensionsCaption_Panel", "  Dimensions", grid );
   const char* columns[4] = { "pixels", "%", "cm", "inches" };
   const char* names[2][4] = { { "WidthInPixels_Edit", "WidthPercent_Edit", "WidthInCm_Edit", "WidthInInches_Edit" },
                               { "HeightInPixels_Edit", "HeightPercent_Edit", "HeightInCm_Edit",
                                 "HeightInInches_Edit" } };
   for ( int u = 0; u < 4; ++u )
      grid->addWidget( new QLabel( columns[u], dimensions ), 1, u + 1 );
   for ( int side = 0; side < 2; ++side )
   {
      grid->addWidget( new QLabel( side == 0 ? "Width" : "Height", dimensions ), side + 2, 0 );
      for ( int u = 0; u < 4; ++u )
      {
         QLineEdit* edit = Named<QLineEdit>( dimensions, names[side][u] );
         edits[side][u] = edit;
         SetEditExitHandler( edit, [this, side, u] { Dimension_EditExit( side, Unit( u ) ); } );
         grid->addWidget( edit, side + 2, u + 1 );
      }
   }
   WidthInPixels_Edit = edits[0][0];
   WidthPercent_Edit = edits[0][1];
   WidthInCm_Edit = edits[0][2];
   WidthInInches_Edit = edits[0][3];
   HeightInPixels_Edit = edits[1][0];
   HeightPercent_Edit = edits[1][1];
   HeightInCm_Edit = edits[1][2];
   HeightInInches_Edit = edits[1][3];
   PreserveAspectRatio_CheckBox = Named<QCheckBox>( dimensions, "PreserveAspectRatio_CheckBox", "Preserve aspect ratio" );
   connect( PreserveAspectRatio_CheckBox, &QCheckBox::clicked, this,
            [this]
            {
               if ( !UpdatingControls() )
                  UpdateDimensions();
            } );
   grid->addWidget( PreserveAspectRatio_CheckBox, 4, 1, 1, 4 );

   QFrame* resolutionPanel = Panel( this, "Resolution_Panel", "ResolutionCaption_Panel", "  Resolution", grid );
   grid->addWidget( new QLabel( "Pixels:", resolutionPanel ), 1, 0 );
   Resolution_Edit = Named<QLineEdit>( resolutionPanel, "Resolution_Edit" );
   SetEditExitHandler( Resolution_Edit, [this] { Resolution_EditExit(); } );
   grid->addWidget( Resolution_Edit, 1, 1 );
   grid->addWidget( new QLabel( "Units:", resolutionPanel ), 2, 0 );
   PixelsPerInch_RadioButton = Named<QRadioButton>( resolutionPanel, "PixelsPerInch_RadioButton", "inch" );
   PixelsPerCm_RadioButton = Named<QRadioButton>( resolutionPanel, "PixelsPerCm_RadioButton", "cm" );
   PixelsPerInch_RadioButton->setChecked( true );
   for ( QRadioButton* b : { PixelsPerInch_RadioButton, PixelsPerCm_RadioButton } )
      connect( b, &QRadioButton::clicked, this, [this] { Units_RadioButtonClick(); } );
   grid->addWidget( PixelsPerInch_RadioButton, 2, 1 );
   grid->addWidget( PixelsPerCm_RadioButton, 2, 2 );

   QFrame* memory = Panel( this, "MemorySizes_Panel", "MemorySizesCaption_Panel", "  Memory Sizes", grid );
   grid->addWidget( new QLabel( "Original", memory ), 1, 1 );
   grid->addWidget( new QLabel( "Result", memory ), 1, 2 );
   const char* rows[3] = { "32-bit", "16-bit", "8-bit" };
   QLabel** panels[3] = { &_32BitOriginalSize_Panel, &_16BitOriginalSize_Panel, &_8BitOriginalSize_Panel };
   QLineEdit** results[3] = { &_32BitResultSize_Edit, &_16BitResultSize_Edit, &_8BitResultSize_Edit };
   const char* panelNames[3] = { "_32BitOriginalSize_Panel", "_16BitOriginalSize_Panel", "_8BitOriginalSize_Panel" };
   const char* resultNames[3] = { "_32BitResultSize_Edit", "_16BitResultSize_Edit", "_8BitResultSize_Edit" };
   for ( int i = 0; i < 3; ++i )
   {
      grid->addWidget( new QLabel( rows[i], memory ), i + 2, 0 );
      *panels[i] = Named<QLabel>( memory, panelNames[i] );
      *results[i] = Named<QLineEdit>( memory, resultNames[i] );
      const int bytes = 4 >> i;
      SetEditExitHandler( *results[i], [this, bytes] { ResultSize_EditExit( bytes ); } );
      grid->addWidget( *panels[i], i + 2, 1 );
      grid->addWidget( *results[i], i + 2, 2 );
   }
   MB_RadioButton = Named<QRadioButton>( memory, "MB_RadioButton", "MB" );
   KB_RadioButton = Named<QRadioButton>( memory, "KB_RadioButton", "KB" );
   Bytes_RadioButton = Named<QRadioButton>( memory, "Bytes_RadioButton", "Bytes" );
   MB_RadioButton->setChecked( true );
   int column = 0;
   for ( QRadioButton* b : { MB_RadioButton, KB_RadioButton, Bytes_RadioButton } )
   {
      connect( b, &QRadioButton::clicked, this,
               [this]
               {
                  if ( !UpdatingControls() )
                     UpdateMemorySizes();
               } );
      grid->addWidget( b, 5, column++ );
   }

   InterpolationParameters_Frame = new TInterpolationParameters_Frame( this );

   QFrame* mode = Panel( this, "ProcessMode_Panel", "ProcessModeCaption_Panel", "  Process Mode", grid );
   ResampleMode_ComboBox = Named<QComboBox>( mode, "ResampleMode_ComboBox" );
   ResampleMode_ComboBox->addItems( { "Relative resize", "Absolute dimensions in pixels", "Absolute dimensions in cm",
                                      "Absolute dimensions in inches", "Force size in pixels/channel" } );
   ResampleMode_ComboBox->setCurrentIndex( 0 );
   connect( ResampleMode_ComboBox, &QComboBox::activated, this, [this] { ResampleMode_ComboBoxSelect(); } );
   ForceResolution_CheckBox = Named<QCheckBox>( mode, "ForceResolution_CheckBox", "Force resolution" );
   AbsMode_ComboBox = Named<QComboBox>( mode, "AbsMode_ComboBox" );
   AbsMode_ComboBox->addItems( { "Force width and height", "Force width, keep aspect ratio",
                                 "Force height, keep aspect ratio" } );
   grid->addWidget( ResampleMode_ComboBox, 1, 0 );
   grid->addWidget( ForceResolution_CheckBox, 1, 1 );
   grid->addWidget( AbsMode_ComboBox, 2, 0 );

   auto* layout = new QGridLayout( this );
   layout->addWidget( ViewsList, 0, 0, 1, 2 );
   layout->addWidget( dimensions, 1, 0, 1, 2 );
   layout->addWidget( resolutionPanel, 2, 0 );
   layout->addWidget( memory, 2, 1 );
   layout->addWidget( InterpolationParameters_Frame, 3, 0 );
   layout->addWidget( mode, 3, 1 );
   layout->addWidget( Buttons_Panel, 4, 1, Qt::AlignRight );

   {
      TMainWindow::ControlUpdateGuard guard;
      PreserveAspectRatio_CheckBox->setChecked( true );
   }
   SelectView( nullptr );
}

void TResampleWindow::TakeView( TImageWindow::View* view )
{
   if ( view == nullptr )
      return;
   const qor::Image& image = view->GetImage();
   sourceWidth = width = image.Width();
   sourceHeight = height = image.Height();
   channelCount = image.NumberOfNominalChannels();
   sourceResolution = view->Window()->resolution;
   sourceMetric = view->Window()->metricResolution;
   resolution = sourceResolution;
   metric = sourceMetric;
}

void TResampleWindow::FormShow()
{
   if ( imported )
   {
      imported = false;
      return;
   }
   TGeometryWindow::FormShow();
}

double TResampleWindow::PixelsPerCm() const
{
   return metric ? resolution : resolution * InchesPerCm;
}

double TResampleWindow::PixelsPerInch() const
{
   return metric ? resolution * 2.54 : resolution;
}

QString TResampleWindow::DimensionText( int side, Unit unit ) const
{
   const int32_t p = side == 0 ? width : height;
   const int32_t source = side == 0 ? sourceWidth : sourceHeight;
   switch ( unit )
   {
   case Pixels:
      return QString::number( p );
   case Percent:
      return QString::fromStdString( FormatReal( 100.0 * p / source, 3 ) );
   case Centimeters:
      return QString::fromStdString( FormatReal( p / PixelsPerCm(), 3 ) );
   default:
      return QString::fromStdString( FormatReal( p / PixelsPerInch(), 3 ) );
   }
}

void TResampleWindow::UpdateDimensions()
{
   for ( int side = 0; side < 2; ++side )
      for ( int u = 0; u < 4; ++u )
         edits[side][u]->setText( DimensionText( side, Unit( u ) ) );
   if ( PreserveAspectRatio_CheckBox->isChecked() )
   {
      const double w0 = sourceWidth, h0 = sourceHeight;
      minWidth = std::max( 1, NearestIn( w0 / h0, 1, 32000 ) );
      maxWidth = std::min( 32000, NearestIn( w0 * 32000 / h0, 1, 32000 ) );
      minHeight = std::max( 1, NearestIn( h0 / w0, 1, 32000 ) );
      maxHeight = std::min( 32000, NearestIn( h0 * 32000 / w0, 1, 32000 ) );
   }
   else
   {
      minWidth = minHeight = 1;
      maxWidth = maxHeight = 32000;
   }
}

double TResampleWindow::UnitFactor() const
{
   return MB_RadioButton->isChecked() ? 1.0 / 1048576 : KB_RadioButton->isChecked() ? 1.0 / 1024 : 1.0;
}

int TResampleWindow::UnitDecimals() const
{
   return MB_RadioButton->isChecked() ? 3 : KB_RadioButton->isChecked() ? 2 : 0;
}

void TResampleWindow::UpdateMemorySizes()
{
   for ( ;; )
   {
      const int k = UnitDecimals();
      const double scale = std::pow( 10.0, k );
      auto rounded = [&]( double v ) { return double( qor::Round( v * scale ) ) / scale; };
      const double source = rounded( channelCount * UnitFactor() * double( sourceWidth ) * sourceHeight );
      const double result = rounded( channelCount * UnitFactor() * double( width ) * height );
      if ( ( source == 0 || result == 0 ) && !Bytes_RadioButton->isChecked() )
      {
         TMainWindow::ControlUpdateGuard guard;
         ( MB_RadioButton->isChecked() ? KB_RadioButton : Bytes_RadioButton )->setChecked( true );
         continue;
      }
      WriteRealToPanel( _32BitOriginalSize_Panel, 4 * source, k );
      WriteRealToPanel( _16BitOriginalSize_Panel, 2 * source, k );
      WriteRealToPanel( _8BitOriginalSize_Panel, source, k );
      WriteRealToEdit( _32BitResultSize_Edit, 4 * result, k );
      WriteRealToEdit( _16BitResultSize_Edit, 2 * result, k );
      WriteRealToEdit( _8BitResultSize_Edit, result, k );
      return;
   }
}

void TResampleWindow::UpdateResolution()
{
   WriteRealToEdit( Resolution_Edit, resolution, 3 );
   TMainWindow::ControlUpdateGuard guard;
   ( metric ? PixelsPerCm_RadioButton : PixelsPerInch_RadioButton )->setChecked( true );
}

void TResampleWindow::Update()
{
   UpdateDimensions();
   UpdateMemorySizes();
   UpdateResolution();
   InterpolationParameters_Frame->UpdateControls();
   const int mode = ResampleMode_ComboBox->currentIndex();
   const bool absolute = mode >= Resample::absolutePixels && mode <= Resample::absoluteInches;
   TMainWindow::ControlUpdateGuard guard;
   if ( absolute )
   {
      if ( !AbsMode_ComboBox->isEnabled() || AbsMode_ComboBox->currentIndex() < 0 )
         AbsMode_ComboBox->setCurrentIndex( 0 );
      AbsMode_ComboBox->setEnabled( true );
   }
   else
   {
      AbsMode_ComboBox->setEnabled( false );
      AbsMode_ComboBox->setCurrentIndex( -1 );
   }
}

void TResampleWindow::Dimension_EditExit( int side, Unit unit )
{
   QLineEdit* edit = edits[side][unit];
   if ( edit->text().trimmed() == DimensionText( side, unit ) )
      return;
   const int32_t lo = side == 0 ? minWidth : minHeight;
   const int32_t hi = side == 0 ? maxWidth : maxHeight;
   const double source = side == 0 ? sourceWidth : sourceHeight;
   double minimum = lo, maximum = hi, toPixels = 1;
   switch ( unit )
   {
   case Percent:
      minimum = lo * 100.0 / source;
      maximum = hi * 100.0 / source;
      toPixels = source * 0.01;
      break;
   case Centimeters:
      minimum = lo / PixelsPerCm();
      maximum = hi / PixelsPerCm();
      toPixels = PixelsPerCm();
      break;
   case Inches:
      minimum = lo / PixelsPerInch();
      maximum = hi / PixelsPerInch();
      toPixels = PixelsPerInch();
      break;
   default:
      break;
   }
   int32_t p;
   try
   {
      const long double value = ReadNumberFromEdit( edit, minimum, maximum, unit != Pixels );
      p = unit == Pixels ? int32_t( value ) : NearestIn( double( value ) * toPixels, lo, hi );
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
      UpdateDimensions();
      UpdateMemorySizes();
      return;
   }
   ( side == 0 ? width : height ) = p;
   if ( PreserveAspectRatio_CheckBox->isChecked() )
   {
      if ( side == 0 )
         height = NearestIn( double( p ) * sourceHeight / sourceWidth, minHeight, maxHeight );
      else
         width = NearestIn( double( p ) * sourceWidth / sourceHeight, minWidth, maxWidth );
   }
   UpdateDimensions();
   UpdateMemorySizes();
}

void TResampleWindow::ResultSize_EditExit( int bytesPerSample )
{
   QLineEdit* edit = bytesPerSample == 4 ? _32BitResultSize_Edit
                     : bytesPerSample == 2 ? _16BitResultSize_Edit
                                           : _8BitResultSize_Edit;
   const float d = float( channelCount * bytesPerSample * UnitFactor() );
   try
   {
      const double value = double( ReadNumberFromEdit( edit, double( minWidth ) * d * minHeight,
                                                       double( d ) * maxWidth * maxHeight,
                                                       !Bytes_RadioButton->isChecked() ) );
      const double n = value / d;
      const double r = double( sourceWidth ) / sourceHeight;
      width = NearestIn( std::sqrt( n * r ), minWidth, maxWidth );
      height = NearestIn( std::sqrt( n / r ), minHeight, maxHeight );
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
   }
   UpdateDimensions();
   UpdateMemorySizes();
}

void TResampleWindow::Resolution_EditExit()
{
   try
   {
      resolution = float( ReadNumberFromEdit( Resolution_Edit, 1, 10000, true ) );
   }
   catch ( const qor::CatchedException& )
   {
      inputError = true;
   }
   UpdateDimensions();
   UpdateMemorySizes();
}

void TResampleWindow::Units_RadioButtonClick()
{
   if ( UpdatingControls() || PixelsPerCm_RadioButton->isChecked() == metric )
      return;
   metric = PixelsPerCm_RadioButton->isChecked();
   resolution = metric ? float( resolution * InchesPerCm ) : float( resolution * 2.54 );
   UpdateDimensions();
   UpdateMemorySizes();
   UpdateResolution();
}

void TResampleWindow::ResampleMode_ComboBoxSelect()
{
   Update();
}

std::unique_ptr<Process> TResampleWindow::NewInstance()
{
   auto instance = std::make_unique<Resample>();
   Resample::Parameters& p = instance->Params();
   const int mode = ResampleMode_ComboBox->currentIndex();
   p.mode = uint8_t( std::max( mode, 0 ) );
   switch ( mode )
   {
   case Resample::absolutePixels:
   case Resample::absoluteCentimeters:
   case Resample::absoluteInches:
   {
      p.absoluteMode = uint8_t( std::max( AbsMode_ComboBox->currentIndex(), 0 ) );
      const double unit = mode == Resample::absolutePixels        ? 1.0
                          : mode == Resample::absoluteCentimeters ? PixelsPerCm()
                                                                  : PixelsPerInch();
      p.xSize = float( width / unit );
      p.ySize = float( height / unit );
      break;
   }
   case Resample::forceSize:
      p.xSize = p.ySize = float( double( width ) * height );
      break;
   default:
      p.xSize = float( width ) / float( sourceWidth );
      p.ySize = float( height ) / float( sourceHeight );
      break;
   }
   p.interpolation.algorithm = InterpolationParameters_Frame->algorithm;
   p.interpolation.blockSize = InterpolationParameters_Frame->blockSize;
   p.resolution = resolution;
   p.metric = metric;
   p.keepResolution = !ForceResolution_CheckBox->isChecked() && resolution == sourceResolution && metric == sourceMetric;
   return instance;
}

void TResampleWindow::ImportInstance( const Process& instance )
{
   const auto* resample = dynamic_cast<const Resample*>( &instance );
   if ( resample == nullptr )
      return;
   if ( isVisible() )
      SelectView( CurrentView() );
   else
   {
      TImageWindow* active = ActiveImageWindowOfMainWindow();
      SelectView( active != nullptr ? active->mainView : nullptr );
   }
   const Resample::Parameters& p = resample->Params();
   {
      TMainWindow::ControlUpdateGuard guard;
      ResampleMode_ComboBox->setCurrentIndex( p.mode <= Resample::forceSize ? p.mode : 0 );
      AbsMode_ComboBox->setCurrentIndex( p.absoluteMode <= Resample::forceHeight ? p.absoluteMode : 0 );
      ForceResolution_CheckBox->setChecked( !p.keepResolution );
      // The imported absolute mode stays selected when Update enables the list.
      AbsMode_ComboBox->setEnabled( p.mode >= Resample::absolutePixels && p.mode <= Resample::absoluteInches );
   }
   int32_t w = sourceWidth, h = sourceHeight;
   resample->CalculateNewSize( w, h, sourceResolution, sourceMetric );
   width = std::clamp( w, 1, 32000 );
   height = std::clamp( h, 1, 32000 );
   InterpolationParameters_Frame->algorithm = p.interpolation.algorithm;
   InterpolationParameters_Frame->blockSize = p.interpolation.blockSize;
   resolution = p.resolution;
   metric = p.metric;
   imported = true;
   Update();
}

TResampleWindow& ResampleWindow()
{
   static QPointer<TResampleWindow> window;
   if ( window.isNull() )
      window = new TResampleWindow( MainWindow );
   return *window;
}
