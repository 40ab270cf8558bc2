#include "windows/processing/DynamicBackgroundExtractionDialog.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPainter>
#include <QPixmap>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QSpinBox>
#include <QTabWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

#include "classlib/BackgroundSamples.h"
#include "classlib/Exception.h"
#include "platform/Prompter.h"
#include "process/DynamicBackgroundExtraction.h"
#include "process/Preferences.h"
#include "support/Utils.h"
#include "windows/frames/SelectColorFrame.h"
#include "windows/image/DynamicBackgroundExtractionData.h"
#include "windows/image/ImageWindow.h"
#include "windows/main/Application.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ColorSpaceControls.h"
#include "windows/processing/FilterWindowParts.h"

namespace
{

using Sample = qor::BackgroundSample;

// The colours of a colour box: the sixteen standard colours and four extended ones, with their names.
struct NamedColor
{
   const char* name;
   QRgb rgb;
};
constexpr NamedColor BoxColors[] = {
   { "Black", 0x000000 },   { "Maroon", 0x800000 },      { "Green", 0x008000 },   { "Olive", 0x808000 },
   { "Navy", 0x000080 },    { "Purple", 0x800080 },      { "Teal", 0x008080 },    { "Gray", 0x808080 },
   { "Silver", 0xC0C0C0 },  { "Red", 0xFF0000 },         { "Lime", 0x00FF00 },    { "Yellow", 0xFFFF00 },
   { "Blue", 0x0000FF },    { "Fuchsia", 0xFF00FF },     { "Aqua", 0x00FFFF },    { "White", 0xFFFFFF },
   { "Money Green", 0xC0DCC0 }, { "Sky Blue", 0xA6CAF0 }, { "Cream", 0xFFFBF0 }, { "Medium Gray", 0xA0A0A4 },
};

QComboBox* MakeColorBox( QWidget* parent, const char* name )
{
   auto* box = new QComboBox( parent );
   box->setObjectName( name );
   for ( const NamedColor& c : BoxColors )
   {
      QPixmap swatch( 12, 12 );
      swatch.fill( QColor( c.rgb ) );
      box->addItem( QIcon( swatch ), c.name, QColor( c.rgb ) );
   }
   return box;
}

// The first entry of that colour is selected; without one the selection stays.
void SelectColor( QComboBox* box, const QColor& colour )
{
   for ( int i = 0; i < box->count(); ++i )
      if ( box->itemData( i ).value<QColor>().rgb() == colour.rgb() )
      {
         box->setCurrentIndex( i );
         return;
      }
}

QLabel* MakePanel( QWidget* parent, const char* name )
{
   auto* panel = new QLabel( parent );
   panel->setObjectName( name );
   panel->setFrameShape( QFrame::StyledPanel );
   panel->setFrameShadow( QFrame::Sunken );
   panel->setMinimumWidth( 60 );
   return panel;
}

QLineEdit* MakeEdit( QWidget* parent, const char* name, int width = 60 )
{
   auto* edit = new QLineEdit( parent );
   edit->setObjectName( name );
   edit->setFixedWidth( width );
   return edit;
}

QSpinBox* MakeUpDown( QWidget* parent, const char* name )
{
   auto* upDown = new QSpinBox( parent );
   upDown->setObjectName( name );
   upDown->setFixedWidth( 20 );
   upDown->setFocusPolicy( Qt::NoFocus );
   upDown->setButtonSymbols( QAbstractSpinBox::UpDownArrows );
   return upDown;
}

QLabel* MakeLabel( QWidget* parent, const char* text )
{
   return new QLabel( text, parent );
}

// Reads an edit: the value, or nothing after the reader has told the user (and marked the input error).
template <typename T> bool ReadEdit( TProcessingInterface& form, QLineEdit* edit, double low, double high, bool real,
                                     T& value )
{
   try
   {
      value = T( ReadNumberFromEdit( edit, low, high, real ) );
      return true;
   }
   catch ( const qor::CatchedException& )
   {
      form.inputError = true;
      return false;
   }
}

} // namespace

// The rejection mask of the current sample, stretched over the box: white accepted, black rejected.
class TDynamicBackgroundExtractionDialog::MaskBox : public QWidget
{
public:
   explicit MaskBox( TDynamicBackgroundExtractionDialog* dialog, QWidget* parent ) : QWidget( parent ), dialog( dialog )
   {
      setObjectName( "Mask_PaintBox" );
      setAttribute( Qt::WA_OpaquePaintEvent );
   }

   // The bitmap painted: (2r+1)^2 grey pixels; null without a measured sample.
   QImage Bitmap() const
   {
      DynamicBackgroundExtractionData* data = dialog->data;
      Sample* s = dialog->CurrentSample();
      if ( data == nullptr || s == nullptr )
         return {};
      if ( s->mask.empty() )
         data->EvaluateSample( data->currentSample );
      if ( s->mask.empty() )
         return {};
      const int n = s->BoxSize();
      QImage bitmap( n, n, QImage::Format_RGB888 );
      for ( int y = 0; y < n; ++y )
         for ( int x = 0; x < n; ++x )
         {
            const int v = s->mask[size_t( y * n + x )];
            bitmap.setPixel( x, y, qRgb( v, v, v ) );
         }
      return bitmap;
   }

protected:
   void paintEvent( QPaintEvent* ) override
   {
      QPainter painter( this );
      painter.fillRect( rect(), Qt::black );
      const QImage bitmap = Bitmap();
      if ( !bitmap.isNull() )
         painter.drawImage( rect(), bitmap );
   }

private:
   TDynamicBackgroundExtractionDialog* dialog;
};

TDynamicBackgroundExtractionDialog::TDynamicBackgroundExtractionDialog( QWidget* owner ) : TProcessingDialog( owner )
{
   setObjectName( "DynamicBackgroundExtractionDialog" );
   setWindowTitle( " Dynamic Background Extraction" );
   setWindowFlags( Qt::Tool | Qt::WindowStaysOnTopHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint );

   Pages_PageControl = new QTabWidget( this );
   Pages_PageControl->setObjectName( "Pages_PageControl" );

   // ---- Current Sample
   auto* samplePage = new QWidget;
   samplePage->setObjectName( "CurrentSample_TabSheet" );
   SampleIndex_Label = new QLabel( samplePage );
   SampleIndex_Label->setObjectName( "SampleIndex_Label" );
   SampleIndex_Edit = MakeEdit( samplePage, "SampleIndex_Edit", 50 );
   SampleIndex_UpDown = MakeUpDown( samplePage, "SampleIndex_UpDown" );
   Go_Button = new QPushButton( "Go", samplePage );
   Go_Button->setObjectName( "Go_Button" );
   Go_Button->setToolTip( "Locate current DBE sample on view" );
   Delete_Button = new QPushButton( "Delete", samplePage );
   Delete_Button->setObjectName( "Delete_Button" );
   Delete_Button->setToolTip( "Delete current DBE sample" );
   AnchorX_Edit = MakeEdit( samplePage, "AnchorX_Edit" );
   AnchorY_Edit = MakeEdit( samplePage, "AnchorY_Edit" );
   Radius_Edit = MakeEdit( samplePage, "Radius_Edit" );
   PixelCount_Panel = MakePanel( samplePage, "PixelCount_Panel" );
   CenterX_Panel = MakePanel( samplePage, "CenterX_Panel" );
   CenterY_Panel = MakePanel( samplePage, "CenterY_Panel" );
   RKValue_Label = new QLabel( "R:", samplePage );
   RKValue_Label->setObjectName( "RKValue_Label" );
   GValue_Label = new QLabel( "G:", samplePage );
   GValue_Label->setObjectName( "GValue_Label" );
   BValue_Label = new QLabel( "B:", samplePage );
   BValue_Label->setObjectName( "BValue_Label" );
   RKValue_Panel = MakePanel( samplePage, "RKValue_Panel" );
   GValue_Panel = MakePanel( samplePage, "GValue_Panel" );
   BValue_Panel = MakePanel( samplePage, "BValue_Panel" );

   auto* symmetries = new QFrame( samplePage );
   symmetries->setObjectName( "Symmetries_Panel" );
   symmetries->setFrameShape( QFrame::StyledPanel );
   HorizontalSymmetry_CheckBox = new QCheckBox( "H", symmetries );
   HorizontalSymmetry_CheckBox->setObjectName( "HorizontalSymmetry_CheckBox" );
   VerticalSymmetry_CheckBox = new QCheckBox( "V", symmetries );
   VerticalSymmetry_CheckBox->setObjectName( "VerticalSymmetry_CheckBox" );
   DiagonalSymmetry_CheckBox = new QCheckBox( "D", symmetries );
   DiagonalSymmetry_CheckBox->setObjectName( "DiagonalSymmetry_CheckBox" );
   AxialSymmetry_CheckBox = new QCheckBox( "Axial:", symmetries );
   AxialSymmetry_CheckBox->setObjectName( "AxialSymmetry_CheckBox" );
   AxialSymmetryCount_Edit = MakeEdit( symmetries, "AxialSymmetryCount_Edit", 30 );
   AxialSymmetryCount_Edit->setToolTip( "Number of axial symmetrical samples" );
   AxialSymmetryCount_UpDown = MakeUpDown( symmetries, "AxialSymmetryCount_UpDown" );
   AxialSymmetryCount_UpDown->setRange( 3, 24 );
   ClearSymmetries_Button = new QPushButton( "Clear", symmetries );
   ClearSymmetries_Button->setObjectName( "ClearSymmetries_Button" );
   ClearSymmetries_Button->setToolTip( "Remove all symmetries" );
   auto* symmetryLayout = new QGridLayout( symmetries );
   symmetryLayout->addWidget( MakeCaptionPanel( symmetries, "Symmetries_Caption", "  Symmetries" ), 0, 0, 1, 6 );
   symmetryLayout->addWidget( HorizontalSymmetry_CheckBox, 1, 0 );
   symmetryLayout->addWidget( VerticalSymmetry_CheckBox, 1, 1 );
   symmetryLayout->addWidget( DiagonalSymmetry_CheckBox, 1, 2 );
   symmetryLayout->addWidget( ClearSymmetries_Button, 1, 3, 1, 3 );
   symmetryLayout->addWidget( AxialSymmetry_CheckBox, 2, 0, 1, 2 );
   symmetryLayout->addWidget( AxialSymmetryCount_Edit, 2, 2 );
   symmetryLayout->addWidget( AxialSymmetryCount_UpDown, 2, 3 );

   FixedValue_CheckBox = new QCheckBox( "Fixed value", samplePage );
   FixedValue_CheckBox->setObjectName( "FixedValue_CheckBox" );
   FixedValue_CheckBox->setToolTip( "Impose constant DBE sample values" );
   Track_CheckBox = new QCheckBox( "Track", samplePage );
   Track_CheckBox->setObjectName( "Track_CheckBox" );
   Track_CheckBox->setToolTip( "Track DBE samples" );
   ShowAll_CheckBox = new QCheckBox( "Show sym.", samplePage );
   ShowAll_CheckBox->setObjectName( "ShowAll_CheckBox" );
   ShowAll_CheckBox->setToolTip( "Show symmetries for all DBE samples" );

   // The mask and the colour frame share one place; one of them shows at a time.
   Mask_Panel = new QFrame( samplePage );
   Mask_Panel->setObjectName( "Mask_Panel" );
   Mask_Panel->setStyleSheet( "#Mask_Panel { background: black; }" );
   Mask_Panel->setFixedSize( 132, 132 );
   Mask_PaintBox = new MaskBox( this, Mask_Panel );
   Mask_PaintBox->setGeometry( 2, 2, 128, 128 );
   SelectColor_Frame = new TSelectColor_Frame( samplePage );
   SelectColor_Frame->setObjectName( "SelectColor_Frame" );
   SelectColor_Frame->Caption_Panel->setText( " Sample Color" );
   SelectColor_Frame->hide();

   auto* index = new QHBoxLayout;
   index->addWidget( SampleIndex_Label );
   index->addWidget( SampleIndex_Edit );
   index->addWidget( SampleIndex_UpDown );
   index->addWidget( Go_Button );
   index->addWidget( Delete_Button );
   index->addStretch();
   auto* values = new QGridLayout;
   values->addWidget( MakeLabel( samplePage, "Anchor X:" ), 0, 0 );
   values->addWidget( AnchorX_Edit, 0, 1 );
   values->addWidget( MakeLabel( samplePage, "Anchor Y:" ), 1, 0 );
   values->addWidget( AnchorY_Edit, 1, 1 );
   values->addWidget( MakeLabel( samplePage, "Radius:" ), 2, 0 );
   values->addWidget( Radius_Edit, 2, 1 );
   values->addWidget( MakeLabel( samplePage, "Pixels:" ), 3, 0 );
   values->addWidget( PixelCount_Panel, 3, 1 );
   values->addWidget( MakeLabel( samplePage, "Center X:" ), 4, 0 );
   values->addWidget( CenterX_Panel, 4, 1 );
   values->addWidget( MakeLabel( samplePage, "Center Y:" ), 5, 0 );
   values->addWidget( CenterY_Panel, 5, 1 );
   values->addWidget( RKValue_Label, 6, 0 );
   values->addWidget( RKValue_Panel, 6, 1 );
   values->addWidget( GValue_Label, 7, 0 );
   values->addWidget( GValue_Panel, 7, 1 );
   values->addWidget( BValue_Label, 8, 0 );
   values->addWidget( BValue_Panel, 8, 1 );
   auto* right = new QVBoxLayout;
   right->addWidget( symmetries );
   auto* flags = new QHBoxLayout;
   flags->addWidget( FixedValue_CheckBox );
   flags->addWidget( Track_CheckBox );
   flags->addWidget( ShowAll_CheckBox );
   right->addLayout( flags );
   right->addWidget( Mask_Panel, 0, Qt::AlignHCenter );
   right->addWidget( SelectColor_Frame );
   right->addStretch();
   auto* body = new QHBoxLayout;
   body->addLayout( values );
   body->addLayout( right );
   auto* sampleLayout = new QVBoxLayout( samplePage );
   sampleLayout->addLayout( index );
   sampleLayout->addLayout( body );
   Pages_PageControl->addTab( samplePage, "Current Sample" );

   // ---- Global
   auto* globalPage = new QWidget;
   globalPage->setObjectName( "Global_TabSheet" );
   Tolerance_Edit = MakeEdit( globalPage, "Tolerance_Edit" );
   DefaultRadius_Edit = MakeEdit( globalPage, "DefaultRadius_Edit" );
   ResizeAll_Button = new QPushButton( "Resize All", globalPage );
   ResizeAll_Button->setObjectName( "ResizeAll_Button" );
   ResizeAll_Button->setToolTip( "Set size of all DBE samples now" );
   Auto_Edit = MakeEdit( globalPage, "Auto_Edit" );
   Auto_Button = new QPushButton( "Generate", globalPage );
   Auto_Button->setObjectName( "Auto_Button" );
   Auto_Button->setToolTip( "Generate DBE samples on a grid" );
   Order_ComboBox = new QComboBox( globalPage );
   Order_ComboBox->setObjectName( "Order_ComboBox" );
   Order_ComboBox->addItems( { " 2", " 3", " 4", " 5" } );
   Smoothing_Edit = MakeEdit( globalPage, "Smoothing_Edit" );
   Subsample_ComboBox = new QComboBox( globalPage );
   Subsample_ComboBox->setObjectName( "Subsample_ComboBox" );
   Subsample_ComboBox->addItems( { " 1:1", " 1:2", " 1:4", " 1:8", "1:16" } );
   SampleColor_ColorBox = MakeColorBox( globalPage, "SampleColor_ColorBox" );
   CurrentColor_ColorBox = MakeColorBox( globalPage, "CurrentColor_ColorBox" );
   SymmetryCenterX_Edit = MakeEdit( globalPage, "SymmetryCenterX_Edit", 80 );
   SymmetryCenterY_Edit = MakeEdit( globalPage, "SymmetryCenterY_Edit", 80 );
   ResetSymmetryCenterX_Button = new QPushButton( "Reset", globalPage );
   ResetSymmetryCenterX_Button->setObjectName( "ResetSymmetryCenterX_Button" );
   ResetSymmetryCenterX_Button->setToolTip( "Reset center of symmetry - horizontal" );
   ResetSymmetryCenterY_Button = new QPushButton( "Reset", globalPage );
   ResetSymmetryCenterY_Button->setObjectName( "ResetSymmetryCenterY_Button" );
   ResetSymmetryCenterY_Button->setToolTip( "Reset center of symmetry - vertical" );
   auto* global = new QGridLayout( globalPage );
   int row = 0;
   global->addWidget( MakeLabel( globalPage, "Tolerance:" ), row, 0 );
   global->addWidget( Tolerance_Edit, row++, 1 );
   global->addWidget( MakeLabel( globalPage, "Default sample radius:" ), row, 0 );
   global->addWidget( DefaultRadius_Edit, row, 1 );
   global->addWidget( ResizeAll_Button, row++, 2 );
   global->addWidget( MakeLabel( globalPage, "Auto intervals (horizontal):" ), row, 0 );
   global->addWidget( Auto_Edit, row, 1 );
   global->addWidget( Auto_Button, row++, 2 );
   global->addWidget( MakeLabel( globalPage, "Continuity order:" ), row, 0 );
   global->addWidget( Order_ComboBox, row++, 1 );
   global->addWidget( MakeLabel( globalPage, "Smoothing:" ), row, 0 );
   global->addWidget( Smoothing_Edit, row++, 1 );
   global->addWidget( MakeLabel( globalPage, "Subsample output:" ), row, 0 );
   global->addWidget( Subsample_ComboBox, row++, 1 );
   global->addWidget( MakeLabel( globalPage, "Sample color:" ), row, 0 );
   global->addWidget( SampleColor_ColorBox, row++, 1, 1, 2 );
   global->addWidget( MakeLabel( globalPage, "Current sample color:" ), row, 0 );
   global->addWidget( CurrentColor_ColorBox, row++, 1, 1, 2 );
   global->addWidget( MakeLabel( globalPage, "Symmetry center X:" ), row, 0 );
   global->addWidget( SymmetryCenterX_Edit, row, 1 );
   global->addWidget( ResetSymmetryCenterX_Button, row++, 2 );
   global->addWidget( MakeLabel( globalPage, "Symmetry center Y:" ), row, 0 );
   global->addWidget( SymmetryCenterY_Edit, row, 1 );
   global->addWidget( ResetSymmetryCenterY_Button, row++, 2 );
   global->setRowStretch( row, 1 );
   Pages_PageControl->addTab( globalPage, "Global" );

   OK_SpeedButton = new QToolButton( this );
   OK_SpeedButton->setObjectName( "OK_SpeedButton" );
   OK_SpeedButton->setText( "Generate" );
   Cancel_SpeedButton = new QToolButton( this );
   Cancel_SpeedButton->setObjectName( "Cancel_SpeedButton" );
   Cancel_SpeedButton->setText( "Done" );
   auto* buttons = new QHBoxLayout;
   buttons->addSpacing( 24 ); // the drag handle
   buttons->addStretch();
   buttons->addWidget( OK_SpeedButton );
   buttons->addWidget( Cancel_SpeedButton );
   auto* layout = new QVBoxLayout( this );
   layout->addWidget( Pages_PageControl );
   layout->addLayout( buttons );

   // ---- Handlers
   SetEditExitHandler( SampleIndex_Edit, [this] { SampleIndex_EditExit(); } );
   SetEditExitHandler( AnchorX_Edit, [this] { AnchorX_EditExit(); } );
   SetEditExitHandler( AnchorY_Edit, [this] { AnchorY_EditExit(); } );
   SetEditExitHandler( Radius_Edit, [this] { Radius_EditExit(); } );
   SetEditExitHandler( AxialSymmetryCount_Edit, [this] { AxialSymmetryCount_EditExit(); } );
   SetEditExitHandler( Tolerance_Edit, [this] { Tolerance_EditExit(); } );
   SetEditExitHandler( DefaultRadius_Edit, [this] { DefaultRadius_EditExit(); } );
   SetEditExitHandler( Auto_Edit, [this] { Auto_EditExit(); } );
   SetEditExitHandler( Smoothing_Edit, [this] { Smoothing_EditExit(); } );
   SetEditExitHandler( SymmetryCenterX_Edit, [this] { SymmetryCenterX_EditExit(); } );
   SetEditExitHandler( SymmetryCenterY_Edit, [this] { SymmetryCenterY_EditExit(); } );
   connect( SampleIndex_UpDown, &QSpinBox::valueChanged, this, [this]( int value ) {
      if ( !UpdatingControls() && data != nullptr )
         SampleIndex_UpDownClick( value > data->currentSample );
   } );
   connect( AxialSymmetryCount_UpDown, &QSpinBox::valueChanged, this, [this]( int value ) {
      const Sample* s = CurrentSample();
      if ( !UpdatingControls() && s != nullptr )
         AxialSymmetryCount_UpDownClick( value > std::clamp( s->axialCount, 3, 24 ) );
   } );
   for ( QCheckBox* box :
         { HorizontalSymmetry_CheckBox, VerticalSymmetry_CheckBox, DiagonalSymmetry_CheckBox, AxialSymmetry_CheckBox } )
      connect( box, &QCheckBox::clicked, this, [this, box] { Symmetry_CheckBoxClick( box ); } );
   connect( ClearSymmetries_Button, &QPushButton::clicked, this, [this] { ClearSymmetries_ButtonClick(); } );
   connect( FixedValue_CheckBox, &QCheckBox::clicked, this, [this] { FixedValue_CheckBoxClick(); } );
   connect( Track_CheckBox, &QCheckBox::clicked, this, [this] { Track_CheckBoxClick(); } );
   connect( ShowAll_CheckBox, &QCheckBox::clicked, this, [this] { ShowAll_CheckBoxClick(); } );
   connect( Go_Button, &QPushButton::clicked, this, [this] { Go_ButtonClick(); } );
   connect( Delete_Button, &QPushButton::clicked, this, [this] { Delete_ButtonClick(); } );
   connect( ResizeAll_Button, &QPushButton::clicked, this, [this] { ResizeAll_ButtonClick(); } );
   connect( Auto_Button, &QPushButton::clicked, this, [this] { Auto_ButtonClick(); } );
   connect( Order_ComboBox, &QComboBox::activated, this, [this] { Order_ComboBoxSelect(); } );
   connect( Subsample_ComboBox, &QComboBox::activated, this, [this] { Subsample_ComboBoxSelect(); } );
   for ( QComboBox* box : { SampleColor_ColorBox, CurrentColor_ColorBox } )
      connect( box, &QComboBox::activated, this, [this, box] { SampleColor_ColorBoxSelect( box ); } );
   connect( ResetSymmetryCenterX_Button, &QPushButton::clicked, this, [this] { ResetSymmetryCenterX_ButtonClick(); } );
   connect( ResetSymmetryCenterY_Button, &QPushButton::clicked, this, [this] { ResetSymmetryCenterY_ButtonClick(); } );
   connect( SelectColor_Frame, &TSelectColor_Frame::ColorChanged, this, [this] { FixedColorChanged(); } );

   CreateProcessDragObject( 18 );
}

TDynamicBackgroundExtractionDialog::~TDynamicBackgroundExtractionDialog()
{
   ++destroying;
   // The data outlive the dialog only at the end of the program; they must not call a dialog that is gone.
   data = nullptr;
}

// ---- Data -----------------------------------------------------------------------------------------------------------

Sample* TDynamicBackgroundExtractionDialog::CurrentSample() const
{
   if ( data == nullptr || data->currentSample < 0 || data->currentSample >= int32_t( data->samples.size() ) )
      return nullptr;
   return &data->samples[size_t( data->currentSample )];
}

void TDynamicBackgroundExtractionDialog::SetEditData( DynamicBackgroundExtractionData* d )
{
   data = d;
   setVisible( data != nullptr );
   UpdateControls();
}

void TDynamicBackgroundExtractionDialog::UpdateControls()
{
   UpdateGlobalControls();
   UpdateCurrentSampleControls();
}

void TDynamicBackgroundExtractionDialog::UpdateGlobalControls()
{
   if ( data == nullptr )
      return;
   TMainWindow::ControlUpdateGuard guard;
   WriteIntegerToEdit( DefaultRadius_Edit, data->defaultRadius );
   WriteIntegerToEdit( Auto_Edit, data->autoIntervals );
   UpdateSymmetryCenterControls();
   WriteRealToEdit( Tolerance_Edit, data->tolerance, 3 );
   Order_ComboBox->setCurrentIndex( std::clamp( data->continuityOrder - 2, 0, 3 ) );
   WriteRealToEdit( Smoothing_Edit, data->smoothing, 3 );
   Subsample_ComboBox->setCurrentIndex( std::clamp( int( std::log2( std::max( data->subsample, 1 ) ) ), 0, 4 ) );
   SelectColor( SampleColor_ColorBox, data->sampleColor );
   SelectColor( CurrentColor_ColorBox, data->currentSampleColor );
}

void TDynamicBackgroundExtractionDialog::UpdateSymmetryCenterControls()
{
   if ( data == nullptr )
      return;
   TMainWindow::ControlUpdateGuard guard;
   WriteRealToEdit( SymmetryCenterX_Edit, data->symmetryCenterX, 2 );
   WriteRealToEdit( SymmetryCenterY_Edit, data->symmetryCenterY, 2 );
}

void TDynamicBackgroundExtractionDialog::ShowAxialCount( int32_t count )
{
   TMainWindow::ControlUpdateGuard guard;
   WriteIntegerToEdit( AxialSymmetryCount_Edit, count );
   // The up-down reports every change of its value; only the user's are clicks.
   const QSignalBlocker blocker( AxialSymmetryCount_UpDown );
   AxialSymmetryCount_UpDown->setValue( std::clamp( count, 3, 24 ) );
}

void TDynamicBackgroundExtractionDialog::UpdateCurrentSampleControls()
{
   const Sample* s = CurrentSample();
   if ( s == nullptr )
      return;
   TMainWindow::ControlUpdateGuard guard;
   const int32_t count = int32_t( data->samples.size() );
   Track_CheckBox->setChecked( data->tracking );
   ShowAll_CheckBox->setChecked( data->showAllSymmetries );
   SampleIndex_Label->setText( "Total: " + QString::number( count ) );
   {
      const QSignalBlocker blocker( SampleIndex_UpDown );
      SampleIndex_UpDown->setRange( 0, count - 1 );
      SampleIndex_UpDown->setValue( data->currentSample );
   }
   WriteIntegerToEdit( SampleIndex_Edit, data->currentSample + 1 );

   WriteIntegerToEdit( AnchorX_Edit, s->anchorX );
   WriteIntegerToEdit( AnchorY_Edit, s->anchorY );
   WriteIntegerToEdit( Radius_Edit, s->radius );
   HorizontalSymmetry_CheckBox->setChecked( s->symmetries & Sample::HorizontalSymmetry );
   VerticalSymmetry_CheckBox->setChecked( s->symmetries & Sample::VerticalSymmetry );
   DiagonalSymmetry_CheckBox->setChecked( s->symmetries & Sample::DiagonalSymmetry );
   const bool axial = ( s->symmetries & Sample::AxialSymmetry ) != 0;
   AxialSymmetry_CheckBox->setChecked( axial );
   ShowAxialCount( s->axialCount );
   AxialSymmetryCount_Edit->setEnabled( axial );
   AxialSymmetryCount_UpDown->setEnabled( axial );
   FixedValue_CheckBox->setChecked( s->fixed );

   WriteIntegerToPanel( PixelCount_Panel, s->pixelCount );
   WriteRealToPanel( CenterX_Panel, s->centerX, 2 );
   WriteRealToPanel( CenterY_Panel, s->centerY, 2 );

   const bool rgb = data->Channels() == 3;
   RKValue_Label->setText( rgb ? "R:" : "K:" );
   WriteRealToPanel( RKValue_Panel, s->values[0], 4 );
   if ( rgb )
   {
      WriteRealToPanel( GValue_Panel, s->values[1], 4 );
      WriteRealToPanel( BValue_Panel, s->values[2], 4 );
   }
   else
   {
      GValue_Panel->clear();
      BValue_Panel->clear();
   }
   for ( QWidget* w : std::initializer_list<QWidget*>{ GValue_Label, GValue_Panel, BValue_Label, BValue_Panel } )
      w->setEnabled( rgb );

   Delete_Button->setEnabled( count >= 2 );

   if ( s->fixed )
   {
      Mask_Panel->hide();
      SelectColor_Frame->grayOnly = !rgb;
      SelectColor_Frame->color = { s->values[0], s->values[1], s->values[2] };
      SelectColor_Frame->UpdateControls();
      SelectColor_Frame->show();
   }
   else
   {
      SelectColor_Frame->hide();
      if ( Mask_Panel->isVisible() )
         Mask_PaintBox->update();
      else
         Mask_Panel->show();
   }
}

void TDynamicBackgroundExtractionDialog::RefreshSampleControls()
{
   if ( data == nullptr )
      return;
   UpdateCurrentSampleControls();
   UpdateSymmetryCenterControls();
}

void TDynamicBackgroundExtractionDialog::DeleteCurrentSample()
{
   if ( data != nullptr && data->samples.size() >= 2 )
      data->DeleteSample( data->currentSample );
}

void TDynamicBackgroundExtractionDialog::LocateCurrentSample()
{
   const Sample* s = CurrentSample();
   if ( s == nullptr )
      return;
   TImageWindow* window = data->Window();
   if ( window->currentView != window->mainView )
      window->SelectView( window->mainView );
   if ( window->horizontalScrollBar()->maximum() > 0 || window->verticalScrollBar()->maximum() > 0 )
      window->SetZoomAndCenter( s->anchorX, s->anchorY, window->mainView->zoom );
}

// ---- Instances ------------------------------------------------------------------------------------------------------

std::unique_ptr<Process> TDynamicBackgroundExtractionDialog::NewInstance()
{
   if ( data == nullptr )
      return std::make_unique<DynamicBackgroundExtraction>();
   return data->NewInstance();
}

std::unique_ptr<Process> TDynamicBackgroundExtractionDialog::NewProbeInstance()
{
   return std::make_unique<DynamicBackgroundExtraction>();
}

void TDynamicBackgroundExtractionDialog::Apply()
{
   if ( data == nullptr )
      return;
   FormActivate();
   TProcessingDialog::Apply();
}

TImageWindow* TDynamicBackgroundExtractionDialog::TargetWindow() const
{
   // Generate always runs on the edited window, whichever window the user activated last.
   return data != nullptr ? data->Window() : nullptr;
}

bool TDynamicBackgroundExtractionDialog::EditReturnHandled() const
{
   return true;
}

void TDynamicBackgroundExtractionDialog::DoImportInstance( const Process& instance )
{
   if ( data != nullptr && dynamic_cast<const DynamicBackgroundExtraction*>( &instance ) != nullptr )
      data->StartFromInstance( instance );
}

bool TDynamicBackgroundExtractionDialog::CloseAfterApply() const
{
   return false;
}

// ---- Form events ----------------------------------------------------------------------------------------------------

void TDynamicBackgroundExtractionDialog::FormActivate()
{
   if ( data == nullptr )
      return;
   if ( QMdiSubWindow* frame = data->Window()->SubWindow(); frame != nullptr && frame->mdiArea() != nullptr )
      frame->mdiArea()->setActiveSubWindow( frame );
}

void TDynamicBackgroundExtractionDialog::FormHide()
{
   if ( data == nullptr )
   {
      setResult( QDialog::Rejected );
      return;
   }
   // The window deletes the data; their end detaches them from this dialog.
   data->Window()->StopDBE();
   data = nullptr;
}

void TDynamicBackgroundExtractionDialog::hideEvent( QHideEvent* event )
{
   TProcessingDialog::hideEvent( event );
   FormHide();
}

void TDynamicBackgroundExtractionDialog::closeEvent( QCloseEvent* event )
{
   if ( destroying == 0 &&
        platform::Ask( platform::Icon::Question, ApplicationTitle(), "Cancel Dynamic Background Extraction?",
                       platform::Buttons::YesNo, platform::Answer::No ) != platform::Answer::Yes )
   {
      event->ignore();
      return;
   }
   TProcessingDialog::closeEvent( event );
}

// ---- Current sample -------------------------------------------------------------------------------------------------

void TDynamicBackgroundExtractionDialog::SampleIndex_EditExit()
{
   if ( data == nullptr )
      return;
   int32_t value = 0;
   if ( ReadEdit( *this, SampleIndex_Edit, 1, double( data->samples.size() ), false, value ) &&
        value - 1 != data->currentSample )
   {
      data->SelectSample( value - 1 );
      if ( data->tracking )
         LocateCurrentSample();
   }
   WriteIntegerToEdit( SampleIndex_Edit, data->currentSample + 1 );
}

void TDynamicBackgroundExtractionDialog::SampleIndex_UpDownClick( bool up )
{
   if ( UpdatingControls() || data == nullptr )
      return;
   const int32_t i = std::clamp( data->currentSample + ( up ? 1 : -1 ), 0, int32_t( data->samples.size() ) - 1 );
   if ( i != data->currentSample )
   {
      data->SelectSample( i );
      if ( data->tracking )
         LocateCurrentSample();
   }
   UpdateCurrentSampleControls();
}

void TDynamicBackgroundExtractionDialog::AnchorX_EditExit()
{
   Sample* s = CurrentSample();
   if ( s == nullptr )
      return;
   int32_t value = 0;
   if ( ReadEdit( *this, AnchorX_Edit, s->radius, data->Width() - s->radius, false, value ) && value != s->anchorX )
      data->MoveSample( data->currentSample, value, s->anchorY );
   if ( ( s = CurrentSample() ) != nullptr )
      WriteIntegerToEdit( AnchorX_Edit, s->anchorX );
}

void TDynamicBackgroundExtractionDialog::AnchorY_EditExit()
{
   Sample* s = CurrentSample();
   if ( s == nullptr )
      return;
   int32_t value = 0;
   if ( ReadEdit( *this, AnchorY_Edit, s->radius, data->Height() - s->radius, false, value ) && value != s->anchorY )
      data->MoveSample( data->currentSample, s->anchorX, value );
   if ( ( s = CurrentSample() ) != nullptr )
      WriteIntegerToEdit( AnchorY_Edit, s->anchorY );
}

void TDynamicBackgroundExtractionDialog::Radius_EditExit()
{
   Sample* s = CurrentSample();
   if ( s == nullptr )
      return;
   int32_t value = 0;
   const int32_t limit = std::max( 1, std::min( { 64, data->Width(), data->Height() } ) );
   if ( ReadEdit( *this, Radius_Edit, 1, limit, false, value ) && value != s->radius )
      data->ResizeSample( data->currentSample, value );
   if ( ( s = CurrentSample() ) != nullptr )
      WriteIntegerToEdit( Radius_Edit, s->radius );
}

void TDynamicBackgroundExtractionDialog::Symmetry_CheckBoxClick( QCheckBox* box )
{
   Sample* s = CurrentSample();
   if ( UpdatingControls() || s == nullptr )
      return;
   const uint8_t bit = box == HorizontalSymmetry_CheckBox ? Sample::HorizontalSymmetry
                       : box == VerticalSymmetry_CheckBox ? Sample::VerticalSymmetry
                       : box == DiagonalSymmetry_CheckBox ? Sample::DiagonalSymmetry
                                                          : Sample::AxialSymmetry;
   const bool checked = box->isChecked();
   data->ChangeSample( data->currentSample, [&]( Sample& sample ) {
      sample.symmetries = checked ? uint8_t( sample.symmetries | bit ) : uint8_t( sample.symmetries & ~bit );
      if ( bit == Sample::AxialSymmetry && checked && ( sample.axialCount < 3 || sample.axialCount > 24 ) )
         sample.axialCount = CurrentPreferences.dbeDefaults.axialCount;
   } );
   if ( bit == Sample::AxialSymmetry )
   {
      ShowAxialCount( s->axialCount );
      AxialSymmetryCount_Edit->setEnabled( checked );
      AxialSymmetryCount_UpDown->setEnabled( checked );
   }
}

void TDynamicBackgroundExtractionDialog::AxialSymmetryCount_EditExit()
{
   Sample* s = CurrentSample();
   if ( s == nullptr )
      return;
   int32_t value = 0;
   if ( ReadEdit( *this, AxialSymmetryCount_Edit, 3, 24, false, value ) && value != s->axialCount )
      data->ChangeSample( data->currentSample, [value]( Sample& sample ) { sample.axialCount = value; } );
   ShowAxialCount( s->axialCount );
}

void TDynamicBackgroundExtractionDialog::AxialSymmetryCount_UpDownClick( bool up )
{
   Sample* s = CurrentSample();
   if ( UpdatingControls() || s == nullptr )
      return;
   const int32_t value = std::clamp( std::clamp( s->axialCount, 3, 24 ) + ( up ? 1 : -1 ), 3, 24 );
   if ( value != s->axialCount )
      data->ChangeSample( data->currentSample, [value]( Sample& sample ) { sample.axialCount = value; } );
   ShowAxialCount( s->axialCount );
}

void TDynamicBackgroundExtractionDialog::ClearSymmetries_ButtonClick()
{
   if ( CurrentSample() == nullptr )
      return;
   TMainWindow::ControlUpdateGuard guard;
   data->ChangeSample( data->currentSample, []( Sample& sample ) { sample.symmetries = 0; } );
   for ( QCheckBox* box :
         { HorizontalSymmetry_CheckBox, VerticalSymmetry_CheckBox, DiagonalSymmetry_CheckBox, AxialSymmetry_CheckBox } )
      box->setChecked( false );
   AxialSymmetryCount_Edit->setEnabled( false );
   AxialSymmetryCount_UpDown->setEnabled( false );
}

void TDynamicBackgroundExtractionDialog::FixedValue_CheckBoxClick()
{
   if ( UpdatingControls() || CurrentSample() == nullptr )
      return;
   const bool fixed = FixedValue_CheckBox->isChecked();
   data->ChangeSample( data->currentSample, [fixed]( Sample& sample ) { sample.fixed = fixed; } );
   data->EvaluateSample( data->currentSample );
   UpdateCurrentSampleControls();
}

void TDynamicBackgroundExtractionDialog::Track_CheckBoxClick()
{
   if ( UpdatingControls() || data == nullptr )
      return;
   data->tracking = Track_CheckBox->isChecked();
   if ( data->tracking )
      LocateCurrentSample();
}

void TDynamicBackgroundExtractionDialog::ShowAll_CheckBoxClick()
{
   if ( UpdatingControls() || data == nullptr )
      return;
   const bool all = ShowAll_CheckBox->isChecked();
   data->ChangeOverlay( [this, all] { data->showAllSymmetries = all; } );
}

void TDynamicBackgroundExtractionDialog::Go_ButtonClick()
{
   LocateCurrentSample();
}

void TDynamicBackgroundExtractionDialog::Delete_ButtonClick()
{
   DeleteCurrentSample();
}

void TDynamicBackgroundExtractionDialog::FixedColorChanged()
{
   Sample* s = CurrentSample();
   if ( UpdatingControls() || s == nullptr || !s->fixed )
      return;
   for ( int c = 0; c < 3; ++c )
      s->values[c] = SelectColor_Frame->color[size_t( c )];
   UpdateCurrentSampleControls();
}

// ---- Global ---------------------------------------------------------------------------------------------------------

void TDynamicBackgroundExtractionDialog::Tolerance_EditExit()
{
   if ( data == nullptr )
      return;
   float value = 0;
   if ( ReadEdit( *this, Tolerance_Edit, 0, 0.75, true, value ) && value != data->tolerance )
   {
      data->tolerance = value;
      data->EvaluateAllSamples();
   }
   WriteRealToEdit( Tolerance_Edit, data->tolerance, 3 );
}

void TDynamicBackgroundExtractionDialog::DefaultRadius_EditExit()
{
   if ( data == nullptr )
      return;
   ReadEdit( *this, DefaultRadius_Edit, 1, 64, false, data->defaultRadius );
   WriteIntegerToEdit( DefaultRadius_Edit, data->defaultRadius );
}

void TDynamicBackgroundExtractionDialog::ResizeAll_ButtonClick()
{
   if ( data == nullptr )
      return;
   for ( int32_t i = 0; i < int32_t( data->samples.size() ); ++i )
      data->ResizeSample( i, data->defaultRadius );
}

void TDynamicBackgroundExtractionDialog::Auto_EditExit()
{
   if ( data == nullptr )
      return;
   ReadEdit( *this, Auto_Edit, 3, 100, false, data->autoIntervals );
   WriteIntegerToEdit( Auto_Edit, data->autoIntervals );
}

void TDynamicBackgroundExtractionDialog::Auto_ButtonClick()
{
   if ( data != nullptr )
      data->GenerateSampleGrid();
}

void TDynamicBackgroundExtractionDialog::Order_ComboBoxSelect()
{
   if ( !UpdatingControls() && data != nullptr )
      data->continuityOrder = Order_ComboBox->currentIndex() + 2;
}

void TDynamicBackgroundExtractionDialog::Smoothing_EditExit()
{
   if ( data == nullptr )
      return;
   ReadEdit( *this, Smoothing_Edit, 0, 1, true, data->smoothing );
   WriteRealToEdit( Smoothing_Edit, data->smoothing, 3 );
}

void TDynamicBackgroundExtractionDialog::Subsample_ComboBoxSelect()
{
   if ( !UpdatingControls() && data != nullptr )
      data->subsample = 1 << std::clamp( Subsample_ComboBox->currentIndex(), 0, 4 );
}

void TDynamicBackgroundExtractionDialog::SampleColor_ColorBoxSelect( QComboBox* box )
{
   if ( UpdatingControls() || data == nullptr )
      return;
   const QColor colour = box->currentData().value<QColor>();
   data->ChangeOverlay( [this, box, colour] {
      ( box == SampleColor_ColorBox ? data->sampleColor : data->currentSampleColor ) = colour;
   } );
}

void TDynamicBackgroundExtractionDialog::SymmetryCenterX_EditExit()
{
   if ( data == nullptr )
      return;
   float value = 0;
   if ( ReadEdit( *this, SymmetryCenterX_Edit, -32000, 32000, true, value ) )
      data->SetSymmetryCenter( value, data->symmetryCenterY );
   UpdateSymmetryCenterControls();
}

void TDynamicBackgroundExtractionDialog::SymmetryCenterY_EditExit()
{
   if ( data == nullptr )
      return;
   float value = 0;
   if ( ReadEdit( *this, SymmetryCenterY_Edit, -32000, 32000, true, value ) )
      data->SetSymmetryCenter( data->symmetryCenterX, value );
   UpdateSymmetryCenterControls();
}

void TDynamicBackgroundExtractionDialog::ResetSymmetryCenterX_ButtonClick()
{
   if ( data != nullptr )
      data->SetSymmetryCenter( float( data->Width() ) * 0.5f, data->symmetryCenterY );
}

void TDynamicBackgroundExtractionDialog::ResetSymmetryCenterY_ButtonClick()
{
   if ( data != nullptr )
      data->SetSymmetryCenter( data->symmetryCenterX, float( data->Height() ) * 0.5f );
}

// ---- The global dialog ----------------------------------------------------------------------------------------------

namespace
{

QPointer<TDynamicBackgroundExtractionDialog>& DialogSlot()
{
   static QPointer<TDynamicBackgroundExtractionDialog> dialog;
   return dialog;
}

} // namespace

TDynamicBackgroundExtractionDialog& DynamicBackgroundExtractionDialog()
{
   QPointer<TDynamicBackgroundExtractionDialog>& dialog = DialogSlot();
   if ( dialog.isNull() )
      dialog = new TDynamicBackgroundExtractionDialog( MainWindow );
   return *dialog;
}

TDynamicBackgroundExtractionDialog* ExistingDynamicBackgroundExtractionDialog()
{
   return DialogSlot().data();
}

void InstallDynamicBackgroundExtractionDialog()
{
   SetDynamicBackgroundExtractionEditor(
       []() -> DynamicBackgroundExtractionEditor* { return ExistingDynamicBackgroundExtractionDialog(); },
       []() -> DynamicBackgroundExtractionEditor& { return DynamicBackgroundExtractionDialog(); } );
}
