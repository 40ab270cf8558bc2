#include "windows/processing/PixelMathWindow.h"

#include <QAbstractTableModel>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

#include <algorithm>
#include <utility>

#include "classlib/Exception.h"
#include "classlib/Image.h"
#include "classlib/PixelMath.h"
#include "support/Utils.h"
#include "windows/frames/ViewsListFrame.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ColorSpaceControls.h"
#include "windows/processing/FilterWindowParts.h"

namespace
{

using SourceItem = PixelMathTransform::SourceItem;
using qor::PixelMathOperator;

constexpr int32_t ColumnCount = 7;
constexpr int32_t StretchColumn = 2;
constexpr int32_t FirstColumnExtra = 8;
constexpr double FactorLimit = 100;
constexpr int FactorDecimals = 6;

const char* const ColumnCaptions[ColumnCount] = { "#", "Op", "Image Id", "R/K", "G", "B", "Inv" };

QString SignedFactor( float value )
{
   return QString::asprintf( "%+.*f", FactorDecimals, double( value ) );
}

QPushButton* MakeButton( QWidget* parent, const char* name, const char* caption )
{
   auto* button = new QPushButton( caption, parent );
   button->setObjectName( name );
   button->setAutoDefault( false );
   return button;
}

QLabel* MakeLabel( QWidget* parent, const char* name, const char* caption )
{
   auto* label = new QLabel( caption, parent );
   label->setObjectName( name );
   return label;
}

QLineEdit* MakeEdit( QWidget* parent, const char* name )
{
   auto* edit = new QLineEdit( parent );
   edit->setObjectName( name );
   edit->setFixedWidth( 80 );
   return edit;
}

QFrame* MakePanel( QWidget* parent, const char* name )
{
   auto* panel = new QFrame( parent );
   panel->setObjectName( name );
   panel->setFrameShape( QFrame::StyledPanel );
   return panel;
}

// Reads a real number in [minimum, maximum] from an edit into value; false (value unchanged) when the reader
// refused the text, which it has said.
bool ReadReal( QLineEdit* edit, double minimum, double maximum, float& value )
{
   try
   {
      value = float( ReadNumberFromEdit( edit, minimum, maximum, true ) );
      return true;
   }
   catch ( const qor::CatchedException& )
   {
      return false;
   }
}

} // namespace

// ---- The source list ----------------------------------------------------------------------------------------------

// The rows of the source list, drawn from the window's items on demand.
class TPixelMathWindow::SourceListModel : public QAbstractTableModel
{
public:
   explicit SourceListModel( TPixelMathWindow* window ) : QAbstractTableModel( window ), window( window ) {}

   int rowCount( const QModelIndex& parent = QModelIndex() ) const override
   {
      return parent.isValid() ? 0 : int( window->parameters.sources.size() );
   }

   int columnCount( const QModelIndex& parent = QModelIndex() ) const override
   {
      return parent.isValid() ? 0 : ColumnCount;
   }

   QVariant data( const QModelIndex& index, int role ) const override
   {
      if ( !index.isValid() )
         return {};
      if ( role == Qt::DisplayRole )
         return window->SourceCellText( index.row(), index.column() );
      if ( role == Qt::TextAlignmentRole )
         return Alignment( index.column() );
      return {};
   }

   QVariant headerData( int section, Qt::Orientation orientation, int role ) const override
   {
      if ( orientation != Qt::Horizontal || section < 0 || section >= ColumnCount )
         return {};
      if ( role == Qt::DisplayRole )
         return QString( ColumnCaptions[section] );
      if ( role == Qt::TextAlignmentRole )
         return Alignment( section );
      return {};
   }

   Qt::ItemFlags flags( const QModelIndex& index ) const override
   {
      return index.isValid() ? Qt::ItemIsSelectable | Qt::ItemIsEnabled : Qt::NoItemFlags;
   }

   void Reload()
   {
      beginResetModel();
      endResetModel();
   }

   void RowChanged( int32_t row ) { Q_EMIT dataChanged( index( row, 0 ), index( row, ColumnCount - 1 ) ); }

private:
   static QVariant Alignment( int column )
   {
      const bool left = column == 0 || column == StretchColumn;
      return QVariant::fromValue( Qt::Alignment( ( left ? Qt::AlignLeft : Qt::AlignHCenter ) | Qt::AlignVCenter ) );
   }

   TPixelMathWindow* window;
};

// ---- Construction -------------------------------------------------------------------------------------------------

TPixelMathWindow::TPixelMathWindow( QWidget* owner ) : TProcessingWindow( owner )
{
   setObjectName( "PixelMathWindow" );
   setWindowTitle( "Pixel Math" );

   // ---- Source
   Source_Panel = MakePanel( this, "Source_Panel" );
   QLabel* sourceCaption = MakeCaptionPanel( Source_Panel, "SourceCaption_Panel", "  Source" );
   sourceModel = new SourceListModel( this );
   Source_ListView = new QTreeView( Source_Panel );
   Source_ListView->setObjectName( "Source_ListView" );
   Source_ListView->setModel( sourceModel );
   Source_ListView->setRootIsDecorated( false );
   Source_ListView->setItemsExpandable( false );
   Source_ListView->setUniformRowHeights( true );
   Source_ListView->setAllColumnsShowFocus( true );
   Source_ListView->setSelectionBehavior( QAbstractItemView::SelectRows );
   Source_ListView->setSelectionMode( QAbstractItemView::SingleSelection );
   Source_ListView->setEditTriggers( QAbstractItemView::NoEditTriggers );
   Source_ListView->header()->setStretchLastSection( false );
   Source_ListView->header()->setSectionsMovable( false );
   QFont listFont = Source_ListView->font();
   listFont.setPointSize( QApplication::font( "QMenu" ).pointSize() );
   Source_ListView->setFont( listFont );
   Source_ListView->setMinimumSize( 420, 140 );

   Operator_Label = MakeLabel( Source_Panel, "Operator_Label", "Operator:" );
   Operator_ComboBox = new QComboBox( Source_Panel );
   Operator_ComboBox->setObjectName( "Operator_ComboBox" );
   Operator_ComboBox->setEditable( false );
   for ( int32_t op = 0; op < PixelMathOperator::Count; ++op )
      Operator_ComboBox->addItem( QString( PixelMathOperator::Token( op ) ) + " : " + PixelMathOperator::Name( op ) );
   Operand_Label = MakeLabel( Source_Panel, "Operand_Label", "Operand:" );
   ViewsList = new TViewsListFrame( Source_Panel );
   ViewsList->setObjectName( "ViewsList" );
   ViewsList->includePreviews = false;
   ViewsList->allowNone = true;

   SrcR_Label = MakeLabel( Source_Panel, "SrcR_Label", "R/K:" );
   SrcR_Edit = MakeEdit( Source_Panel, "SrcR_Edit" );
   SrcG_Label = MakeLabel( Source_Panel, "SrcG_Label", "G:" );
   SrcG_Edit = MakeEdit( Source_Panel, "SrcG_Edit" );
   SrcB_Label = MakeLabel( Source_Panel, "SrcB_Label", "B:" );
   SrcB_Edit = MakeEdit( Source_Panel, "SrcB_Edit" );
   SrcInvert_CheckBox = new QCheckBox( "Invert", Source_Panel );
   SrcInvert_CheckBox->setObjectName( "SrcInvert_CheckBox" );
   ResetSourceFactors_Button = MakeButton( Source_Panel, "ResetSourceFactors_Button", "< Reset" );
   Up_SpeedButton = new QToolButton( Source_Panel );
   Up_SpeedButton->setObjectName( "Up_SpeedButton" );
   Up_SpeedButton->setArrowType( Qt::UpArrow );
   Up_SpeedButton->setToolTip( "Move up" );
   Down_SpeedButton = new QToolButton( Source_Panel );
   Down_SpeedButton->setObjectName( "Down_SpeedButton" );
   Down_SpeedButton->setArrowType( Qt::DownArrow );
   Down_SpeedButton->setToolTip( "Move down" );
   New_Button = MakeButton( Source_Panel, "New_Button", "New" );
   Delete_Button = MakeButton( Source_Panel, "Delete_Button", "Delete" );
   Clear_Button = MakeButton( Source_Panel, "Clear_Button", "Clear" );
   srcEdits[0] = SrcR_Edit;
   srcEdits[1] = SrcG_Edit;
   srcEdits[2] = SrcB_Edit;

   auto* itemGrid = new QGridLayout;
   itemGrid->addWidget( Operator_Label, 0, 0 );
   itemGrid->addWidget( Operator_ComboBox, 0, 1, 1, 6 );
   itemGrid->addWidget( Operand_Label, 1, 0 );
   itemGrid->addWidget( ViewsList, 1, 1, 1, 6 );
   itemGrid->addWidget( SrcR_Label, 2, 0 );
   itemGrid->addWidget( SrcR_Edit, 2, 1 );
   itemGrid->addWidget( SrcG_Label, 2, 2 );
   itemGrid->addWidget( SrcG_Edit, 2, 3 );
   itemGrid->addWidget( SrcB_Label, 2, 4 );
   itemGrid->addWidget( SrcB_Edit, 2, 5 );
   itemGrid->addWidget( ResetSourceFactors_Button, 2, 6 );
   auto* listButtons = new QHBoxLayout;
   listButtons->addWidget( SrcInvert_CheckBox );
   listButtons->addStretch();
   listButtons->addWidget( Up_SpeedButton );
   listButtons->addWidget( Down_SpeedButton );
   listButtons->addWidget( New_Button );
   listButtons->addWidget( Delete_Button );
   listButtons->addWidget( Clear_Button );
   auto* sourceLayout = new QVBoxLayout( Source_Panel );
   sourceLayout->addWidget( sourceCaption );
   sourceLayout->addWidget( Source_ListView, 1 );
   sourceLayout->addLayout( itemGrid );
   sourceLayout->addLayout( listButtons );

   // ---- Result
   Result_Panel = MakePanel( this, "Result_Panel" );
   QLabel* resultCaption = MakeCaptionPanel( Result_Panel, "ResultCaption_Panel", "  Result" );
   ResetResultData_Button = MakeButton( Result_Panel, "ResetResultData_Button", "Reset" );
   ResR_Label = MakeLabel( Result_Panel, "ResR_Label", "R/K:" );
   ResR_Edit = MakeEdit( Result_Panel, "ResR_Edit" );
   ResG_Label = MakeLabel( Result_Panel, "ResG_Label", "G:" );
   ResG_Edit = MakeEdit( Result_Panel, "ResG_Edit" );
   ResB_Label = MakeLabel( Result_Panel, "ResB_Label", "B:" );
   ResB_Edit = MakeEdit( Result_Panel, "ResB_Edit" );
   ResInvert_CheckBox = new QCheckBox( "Invert", Result_Panel );
   ResInvert_CheckBox->setObjectName( "ResInvert_CheckBox" );
   AddConstant_Label = MakeLabel( Result_Panel, "AddConstant_Label", "Add constant:" );
   AddConstant_Edit = MakeEdit( Result_Panel, "AddConstant_Edit" );
   Rescale_CheckBox = new QCheckBox( "Rescale:", Result_Panel );
   Rescale_CheckBox->setObjectName( "Rescale_CheckBox" );
   RescaleLower_Edit = MakeEdit( Result_Panel, "RescaleLower_Edit" );
   RescaleUpper_Edit = MakeEdit( Result_Panel, "RescaleUpper_Edit" );
   resEdits[0] = ResR_Edit;
   resEdits[1] = ResG_Edit;
   resEdits[2] = ResB_Edit;

   auto* resultGrid = new QGridLayout( Result_Panel );
   resultGrid->addWidget( resultCaption, 0, 0, 1, 6 );
   resultGrid->addWidget( ResetResultData_Button, 0, 6 );
   resultGrid->addWidget( ResR_Label, 1, 0 );
   resultGrid->addWidget( ResR_Edit, 1, 1 );
   resultGrid->addWidget( ResG_Label, 1, 2 );
   resultGrid->addWidget( ResG_Edit, 1, 3 );
   resultGrid->addWidget( ResB_Label, 1, 4 );
   resultGrid->addWidget( ResB_Edit, 1, 5 );
   resultGrid->addWidget( ResInvert_CheckBox, 1, 6 );
   resultGrid->addWidget( AddConstant_Label, 2, 0, 1, 2 );
   resultGrid->addWidget( AddConstant_Edit, 2, 2, 1, 2 );
   resultGrid->addWidget( Rescale_CheckBox, 3, 0, 1, 2 );
   resultGrid->addWidget( RescaleLower_Edit, 3, 2, 1, 2 );
   resultGrid->addWidget( RescaleUpper_Edit, 3, 4, 1, 2 );

   // ---- Destination
   Destination_Panel = MakePanel( this, "Destination_Panel" );
   QLabel* destinationCaption = MakeCaptionPanel( Destination_Panel, "DestinationCaption_Panel", "  Destination" );
   Replace_RadioButton = new QRadioButton( "Replace target", Destination_Panel );
   Replace_RadioButton->setObjectName( "Replace_RadioButton" );
   CreateNew_RadioButton = new QRadioButton( "Create new image", Destination_Panel );
   CreateNew_RadioButton->setObjectName( "CreateNew_RadioButton" );
   auto* destinationLayout = new QHBoxLayout;
   destinationLayout->addWidget( Replace_RadioButton );
   destinationLayout->addWidget( CreateNew_RadioButton );
   destinationLayout->addStretch();
   auto* destination = new QVBoxLayout( Destination_Panel );
   destination->addWidget( destinationCaption );
   destination->addLayout( destinationLayout );

   // ---- Standard buttons
   ButtonRow buttons = MakeButtonRow(
       this, { "Preview_SpeedButton", "SelectPreviews_SpeedButton", "Apply_SpeedButton", "SelectImages_SpeedButton" } );
   Preview_SpeedButton = buttons.buttons[0];
   Preview_SpeedButton->setText( "Preview" );
   SelectPreviews_SpeedButton = buttons.buttons[1];
   Apply_SpeedButton = buttons.buttons[2];
   Apply_SpeedButton->setText( "Apply" );
   SelectImages_SpeedButton = buttons.buttons[3];

   auto* layout = new QVBoxLayout( this );
   layout->addWidget( Source_Panel, 1 );
   layout->addWidget( Result_Panel );
   layout->addWidget( Destination_Panel );
   layout->addWidget( buttons.row, 0, Qt::AlignRight );

   // ---- Events
   connect( Source_ListView, &QTreeView::pressed, this,
            [this]( const QModelIndex& index ) { Source_ListViewMouseDown( index.row() ); } );
   connect( Source_ListView->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this]( const QModelIndex& current )
            {
               if ( current.isValid() )
                  Source_ListViewSelectItem( current.row() );
            } );
   connect( Operator_ComboBox, &QComboBox::activated, this, [this] { Operator_ComboBoxSelect(); } );
   connect( ViewsList, &TViewsListFrame::ViewSelected, this,
            [this]( TImageWindow::View* view ) { ViewsList_ViewSelected( view ); } );
   for ( int32_t i = 0; i < 3; ++i )
   {
      SetEditExitHandler( srcEdits[i], [this, i] { SrcFactor_EditExit( i ); } );
      SetEditExitHandler( resEdits[i], [this, i] { ResFactor_EditExit( i ); } );
   }
   connect( SrcInvert_CheckBox, &QCheckBox::clicked, this, [this] { SrcInvert_CheckBoxClick(); } );
   connect( ResetSourceFactors_Button, &QPushButton::clicked, this, [this] { ResetSourceFactors_ButtonClick(); } );
   connect( Up_SpeedButton, &QToolButton::clicked, this, [this] { Up_SpeedButtonClick(); } );
   connect( Down_SpeedButton, &QToolButton::clicked, this, [this] { Down_SpeedButtonClick(); } );
   connect( New_Button, &QPushButton::clicked, this, [this] { New_ButtonClick(); } );
   connect( Delete_Button, &QPushButton::clicked, this, [this] { Delete_ButtonClick(); } );
   connect( Clear_Button, &QPushButton::clicked, this, [this] { Clear_ButtonClick(); } );
   connect( ResetResultData_Button, &QPushButton::clicked, this, [this] { ResetResultData_ButtonClick(); } );
   SetEditExitHandler( AddConstant_Edit, [this] { AddConstant_EditExit(); } );
   connect( ResInvert_CheckBox, &QCheckBox::clicked, this, [this] { ResInvert_CheckBoxClick(); } );
   connect( Rescale_CheckBox, &QCheckBox::clicked, this, [this] { Rescale_CheckBoxClick(); } );
   SetEditExitHandler( RescaleLower_Edit, [this] { RescaleLower_EditExit(); } );
   SetEditExitHandler( RescaleUpper_Edit, [this] { RescaleUpper_EditExit(); } );
   connect( Replace_RadioButton, &QRadioButton::clicked, this, [this] { Replace_RadioButtonClick(); } );
   connect( CreateNew_RadioButton, &QRadioButton::clicked, this, [this] { CreateNew_RadioButtonClick(); } );

   ViewsList->Rebuild();
   RefreshSourceList();
   RefreshItemControls();
   RefreshResultControls();
   RefreshDestination();
}

TPixelMathWindow::~TPixelMathWindow()
{
   // The toolkit hides and deletes the list after this window's own data are gone, and a list asks its model for
   // cell texts while it is hidden: from now on it shows no model of ours.
   Source_ListView->setModel( nullptr );
}

// ---- Instances ----------------------------------------------------------------------------------------------------

std::unique_ptr<Process> TPixelMathWindow::NewInstance()
{
   return std::make_unique<PixelMathTransform>( parameters );
}

std::unique_ptr<Process> TPixelMathWindow::NewProbeInstance()
{
   return std::make_unique<PixelMathTransform>();
}

void TPixelMathWindow::ImportInstance( const Process& instance )
{
   const auto* pixelMath = dynamic_cast<const PixelMathTransform*>( &instance );
   if ( pixelMath == nullptr )
      return;
   parameters.Assign( pixelMath->Values() );
   // A set without its target item (none is ever read from a stream) gets one back.
   if ( parameters.sources.empty() )
      parameters.sources.resize( 1 );
   parameters.UpdateViews();
   currentItem = std::clamp<int32_t>( currentItem, 0, int32_t( parameters.sources.size() ) - 1 );
   RefreshSourceList();
   RefreshItemControls();
   RefreshResultControls();
   RefreshDestination();
}

// ---- Notifications ------------------------------------------------------------------------------------------------

void TPixelMathWindow::ViewCreated( TImageWindow::View& view )
{
   if ( view.IsPreview() )
      return;
   ViewsList->Rebuild();
   // The new image may bear the identifier of a broken link: that item is linked again at once.
   RefreshSourceList();
   RefreshItemControls();
}

void TPixelMathWindow::ViewUpdated( TImageWindow::View& view )
{
   if ( view.IsPreview() )
      return;
   RefreshSourceList();
   if ( Current().view == &view )
      RefreshItemControls();
}

void TPixelMathWindow::ViewRenamed( TImageWindow::View& view )
{
   if ( view.IsPreview() )
      return;
   const bool current = Current().view == &view;
   for ( SourceItem& item : parameters.sources )
      if ( item.view == &view )
         item.imageId = view.FullIdentifier();
   ViewsList->Rebuild();
   RefreshSourceList();
   if ( current )
      RefreshItemControls();
}

void TPixelMathWindow::ViewDeleted( TImageWindow::View& view )
{
   if ( view.IsPreview() )
      return;
   const bool current = Current().view == &view;
   // The identifiers stay: the items show as broken until an image bears them again.
   for ( SourceItem& item : parameters.sources )
      if ( item.view == &view )
         item.view = nullptr;
   if ( ViewsList->currentView == &view )
      ViewsList->currentView = nullptr;
   ViewsList->RemoveView( &view );
   RefreshSourceList();
   if ( current )
      RefreshItemControls();
}

// ---- Refreshes ----------------------------------------------------------------------------------------------------

const qor::Image* TPixelMathWindow::ItemImage( SourceItem& item )
{
   item.UpdateView();
   return item.view != nullptr ? item.view->TargetImage() : nullptr;
}

QString TPixelMathWindow::SourceCellText( int32_t row, int32_t column )
{
   if ( row < 0 || size_t( row ) >= parameters.sources.size() )
      return {};
   SourceItem& item = parameters.sources[size_t( row )];
   const qor::Image* image = ItemImage( item );
   const bool grey = image != nullptr && !image->IsColor();
   switch ( column )
   {
   case 0:
      return QString::number( row );
   case 1:
      if ( row == 0 )
         return {};
      return ( item.op >= 0 && item.op < PixelMathOperator::Count ) ? QString( PixelMathOperator::Token( item.op ) )
                                                                    : QString::number( item.op );
   case 2:
      if ( item.view != nullptr )
         return QString::fromStdString( item.view->FullId() );
      if ( row == 0 )
         return "<* target *>";
      if ( !item.imageId.empty() )
         return QString::fromStdString( item.imageId + " <*broken*>" );
      return {};
   case 3:
      return SignedFactor( item.channelFactors.factors[0] );
   case 4:
   case 5:
      return grey ? QString( "n/a" ) : SignedFactor( item.channelFactors.factors[column - 3] );
   case 6:
      return item.channelFactors.invert ? "x" : "";
   default:
      return {};
   }
}

void TPixelMathWindow::SelectCurrentRow()
{
   currentItem = std::clamp<int32_t>( currentItem, 0, int32_t( parameters.sources.size() ) - 1 );
   // The selection made here is not the user's: the list's own signals stay quiet.
   const QSignalBlocker blocker( Source_ListView->selectionModel() );
   const QModelIndex index = sourceModel->index( currentItem, 0 );
   Source_ListView->selectionModel()->setCurrentIndex( index, QItemSelectionModel::ClearAndSelect |
                                                                  QItemSelectionModel::Rows );
   Source_ListView->viewport()->update();
}

void TPixelMathWindow::RefreshSourceList()
{
   TMainWindow::ControlUpdateGuard guard;
   {
      // The list's reset moves its current row by itself: not the user's choice.
      const QSignalBlocker blocker( Source_ListView->selectionModel() );
      sourceModel->Reload();
   }
   SelectCurrentRow();
   FitListViewColumns( Source_ListView, StretchColumn, FirstColumnExtra );
}

void TPixelMathWindow::RefreshRow( int32_t row )
{
   if ( row < 0 || size_t( row ) >= parameters.sources.size() )
      return;
   TMainWindow::ControlUpdateGuard guard;
   sourceModel->RowChanged( row );
   FitListViewColumnsToItem( Source_ListView, row, StretchColumn, FirstColumnExtra );
}

void TPixelMathWindow::RefreshItemControls()
{
   TMainWindow::ControlUpdateGuard guard;
   currentItem = std::clamp<int32_t>( currentItem, 0, int32_t( parameters.sources.size() ) - 1 );
   SourceItem& item = Current();
   const qor::Image* image = ItemImage( item );
   const bool target = currentItem == 0;
   const bool grey = image != nullptr && !image->IsColor();
   const int32_t count = int32_t( parameters.sources.size() );

   Operator_ComboBox->setCurrentIndex( std::clamp<int32_t>( item.op, 0, PixelMathOperator::Count - 1 ) );
   for ( QWidget* w : std::initializer_list<QWidget*>{ Operator_ComboBox, Operator_Label, Operand_Label, ViewsList } )
      w->setEnabled( !target );
   ViewsList->currentView = item.view != nullptr ? AsImageView( *item.view ) : nullptr;
   ViewsList->SelectCurrentView();

   for ( int32_t i = 0; i < 3; ++i )
      WriteRealToEdit( srcEdits[i], item.channelFactors.factors[i], FactorDecimals, true );
   SrcR_Label->setText( item.view == nullptr ? "R/K:" : ( grey ? "K:" : "R:" ) );
   for ( QWidget* w : std::initializer_list<QWidget*>{ SrcG_Edit, SrcG_Label, SrcB_Edit, SrcB_Label } )
      w->setEnabled( !grey );
   const bool invertible = target || item.view != nullptr;
   SrcInvert_CheckBox->setEnabled( invertible );
   SrcInvert_CheckBox->setChecked( invertible && item.channelFactors.invert );

   Up_SpeedButton->setEnabled( currentItem >= 2 );
   Down_SpeedButton->setEnabled( currentItem >= 1 && currentItem <= count - 2 );
   Delete_Button->setEnabled( currentItem >= 1 );
}

void TPixelMathWindow::RefreshResultControls()
{
   TMainWindow::ControlUpdateGuard guard;
   const PixelMathTransform::ResultParameters& r = parameters.result;
   for ( int32_t i = 0; i < 3; ++i )
      WriteRealToEdit( resEdits[i], r.resultFactors.factors[i], FactorDecimals, true );
   ResInvert_CheckBox->setChecked( r.resultFactors.invert );
   WriteRealToEdit( AddConstant_Edit, r.addConstant, FactorDecimals, true );
   Rescale_CheckBox->setChecked( r.rescale );
   WriteRealToEdit( RescaleLower_Edit, r.rescaleLower, FactorDecimals );
   WriteRealToEdit( RescaleUpper_Edit, r.rescaleUpper, FactorDecimals );
   RescaleLower_Edit->setEnabled( r.rescale );
   RescaleUpper_Edit->setEnabled( r.rescale );
}

void TPixelMathWindow::RefreshDestination()
{
   TMainWindow::ControlUpdateGuard guard;
   Replace_RadioButton->setChecked( parameters.destination == PixelMathTransform::Replace );
   CreateNew_RadioButton->setChecked( parameters.destination == PixelMathTransform::CreateNew );
}

// ---- Handlers -----------------------------------------------------------------------------------------------------

void TPixelMathWindow::Source_ListViewMouseDown( int32_t row )
{
   currentItem = row;
   SelectCurrentRow();
   RefreshItemControls();
}

void TPixelMathWindow::Source_ListViewSelectItem( int32_t row )
{
   currentItem = row;
   SelectCurrentRow();
   RefreshItemControls();
}

void TPixelMathWindow::Operator_ComboBoxSelect()
{
   if ( UpdatingControls() || currentItem == 0 )
      return;
   Current().op = int8_t( Operator_ComboBox->currentIndex() );
   RefreshRow( currentItem );
}

void TPixelMathWindow::ViewsList_ViewSelected( TImageWindow::View* view )
{
   if ( UpdatingControls() || currentItem == 0 )
      return;
   SourceItem& item = Current();
   item.view = view;
   item.imageId = view != nullptr ? view->FullIdentifier() : std::string();
   {
      TMainWindow::ControlUpdateGuard guard;
      ViewsList->currentView = view;
      ViewsList->SelectCurrentView();
   }
   RefreshRow( currentItem );
   RefreshItemControls();
}

void TPixelMathWindow::SrcFactor_EditExit( int32_t channel )
{
   float& factor = Current().channelFactors.factors[channel];
   if ( !ReadReal( srcEdits[channel], -FactorLimit, FactorLimit, factor ) )
      inputError = true;
   WriteRealToEdit( srcEdits[channel], factor, FactorDecimals, true );
   RefreshRow( currentItem );
}

void TPixelMathWindow::SrcInvert_CheckBoxClick()
{
   if ( UpdatingControls() )
      return;
   Current().channelFactors.invert = SrcInvert_CheckBox->isChecked();
   RefreshRow( currentItem );
}

void TPixelMathWindow::ResetSourceFactors_ButtonClick()
{
   Current().channelFactors = ChannelFactors();
   RefreshSourceList();
   RefreshItemControls();
}

void TPixelMathWindow::Up_SpeedButtonClick()
{
   MoveCurrentItem( -1 );
}

void TPixelMathWindow::Down_SpeedButtonClick()
{
   MoveCurrentItem( +1 );
}

void TPixelMathWindow::MoveCurrentItem( int32_t step )
{
   // The target never moves, and nothing moves into its place.
   const int32_t other = currentItem + step;
   if ( currentItem < 1 || other < 1 || other >= int32_t( parameters.sources.size() ) )
      return;
   std::swap( parameters.sources[size_t( currentItem )], parameters.sources[size_t( other )] );
   currentItem = other;
   RefreshSourceList();
   RefreshItemControls();
}

void TPixelMathWindow::New_ButtonClick()
{
   parameters.sources.emplace_back();
   currentItem = int32_t( parameters.sources.size() ) - 1;
   RefreshSourceList();
   RefreshItemControls();
}

void TPixelMathWindow::Delete_ButtonClick()
{
   if ( currentItem < 1 || size_t( currentItem ) >= parameters.sources.size() )
      return;
   parameters.sources.erase( parameters.sources.begin() + currentItem );
   RefreshSourceList();
   RefreshItemControls();
}

void TPixelMathWindow::Clear_ButtonClick()
{
   parameters.sources.assign( 1, SourceItem() );
   currentItem = 0;
   RefreshSourceList();
   RefreshItemControls();
}

void TPixelMathWindow::ResetResultData_ButtonClick()
{
   parameters.result = PixelMathTransform::ResultParameters();
   RefreshResultControls();
}

void TPixelMathWindow::ResFactor_EditExit( int32_t channel )
{
   float& factor = parameters.result.resultFactors.factors[channel];
   if ( !ReadReal( resEdits[channel], -FactorLimit, FactorLimit, factor ) )
      inputError = true;
   WriteRealToEdit( resEdits[channel], factor, FactorDecimals, true );
}

void TPixelMathWindow::AddConstant_EditExit()
{
   float& constant = parameters.result.addConstant;
   if ( !ReadReal( AddConstant_Edit, -FactorLimit, FactorLimit, constant ) )
      inputError = true;
   WriteRealToEdit( AddConstant_Edit, constant, FactorDecimals, true );
}

void TPixelMathWindow::ResInvert_CheckBoxClick()
{
   if ( !UpdatingControls() )
      parameters.result.resultFactors.invert = ResInvert_CheckBox->isChecked();
}

void TPixelMathWindow::Rescale_CheckBoxClick()
{
   if ( UpdatingControls() )
      return;
   parameters.result.rescale = Rescale_CheckBox->isChecked();
   RescaleLower_Edit->setEnabled( parameters.result.rescale );
   RescaleUpper_Edit->setEnabled( parameters.result.rescale );
}

void TPixelMathWindow::RescaleLower_EditExit()
{
   PixelMathTransform::ResultParameters& r = parameters.result;
   if ( !ReadReal( RescaleLower_Edit, 0, 1, r.rescaleLower ) )
      inputError = true;
   else if ( r.rescaleLower > r.rescaleUpper )
   {
      std::swap( r.rescaleLower, r.rescaleUpper );
      WriteRealToEdit( RescaleUpper_Edit, r.rescaleUpper, FactorDecimals );
   }
   WriteRealToEdit( RescaleLower_Edit, r.rescaleLower, FactorDecimals );
}

void TPixelMathWindow::RescaleUpper_EditExit()
{
   PixelMathTransform::ResultParameters& r = parameters.result;
   if ( !ReadReal( RescaleUpper_Edit, 0, 1, r.rescaleUpper ) )
      inputError = true;
   else if ( r.rescaleUpper < r.rescaleLower )
   {
      std::swap( r.rescaleLower, r.rescaleUpper );
      WriteRealToEdit( RescaleLower_Edit, r.rescaleLower, FactorDecimals );
   }
   WriteRealToEdit( RescaleUpper_Edit, r.rescaleUpper, FactorDecimals );
}

void TPixelMathWindow::Replace_RadioButtonClick()
{
   if ( !UpdatingControls() && Replace_RadioButton->isChecked() )
      parameters.destination = PixelMathTransform::Replace;
}

void TPixelMathWindow::CreateNew_RadioButtonClick()
{
   if ( !UpdatingControls() && CreateNew_RadioButton->isChecked() )
      parameters.destination = PixelMathTransform::CreateNew;
}

TPixelMathWindow& PixelMathWindow()
{
   static QPointer<TPixelMathWindow> window;
   if ( window.isNull() )
      window = new TPixelMathWindow( MainWindow );
   return *window;
}
