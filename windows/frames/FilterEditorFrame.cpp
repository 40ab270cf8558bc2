#include "windows/frames/FilterEditorFrame.h"

#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSpinBox>
#include <QVBoxLayout>

#include <cmath>
#include <cstring>

#include "classlib/Exception.h"
#include "classlib/Math.h"
#include "platform/DialogRunner.h"
#include "platform/Prompter.h"
#include "support/Utils.h"
#include "windows/dialogs/FilterManagerDialog.h"
#include "windows/main/Application.h"
#include "windows/main/MainWindow.h"
#include "windows/processing/ProcessingInterface.h"

namespace
{

const char* const NewFilterItem = "<* New Filter *>";
const char* const ModifiedMark = "<* Modified *> ";

bool Updating()
{
   return MainWindow != nullptr && MainWindow->UpdatingControls();
}

QPushButton* MakeButton( QWidget* parent, const char* name, const char* caption, const char* hint = nullptr )
{
   auto* button = new QPushButton( caption, parent );
   button->setObjectName( name );
   if ( hint != nullptr )
      button->setToolTip( hint );
   button->setAutoDefault( false );
   return button;
}

QLabel* MakePanel( QWidget* parent, const char* name, const char* hint )
{
   auto* panel = new QLabel( parent );
   panel->setObjectName( name );
   panel->setToolTip( hint );
   panel->setFrameShape( QFrame::Panel );
   panel->setFrameShadow( QFrame::Sunken );
   panel->setAlignment( Qt::AlignCenter );
   panel->setMinimumWidth( 56 );
   return panel;
}

} // namespace

TFilterEditorFrame::TFilterEditorFrame( QWidget* owner ) : QFrame( owner )
{
   setObjectName( "FilterEditorFrame" );
   FilterNames_ComboBox = new QComboBox( this );
   FilterNames_ComboBox->setObjectName( "FilterNames_ComboBox" );
   FilterNames_ComboBox->setMaxVisibleItems( 20 );
   Filter_ScrollBox = new QScrollArea( this );
   Filter_ScrollBox->setObjectName( "Filter_ScrollBox" );
   Filter_ScrollBox->setWidgetResizable( false );
   Filter_ScrollBox->setMinimumSize( 300, 160 );
   FilterSize_Panel = MakePanel( this, "FilterSize_Panel", "Kernel Size" );
   FilterSize_UpDown = new QSpinBox( this );
   FilterSize_UpDown->setObjectName( "FilterSize_UpDown" );
   FilterSize_UpDown->setSingleStep( 2 );
   FilterSize_UpDown->setFixedWidth( 20 );
   FilterSize_UpDown->setFocusPolicy( Qt::NoFocus );
   Position_Panel = MakePanel( this, "Position_Panel", "Current Coordinates (x : y)" );
   FilterWeight_Panel = MakePanel( this, "FilterWeight_Panel", "Filter Weight" );
   AllZero_Button = MakeButton( this, "AllZero_Button", "0", "All Elements = 0" );
   AllOnes_Button = MakeButton( this, "AllOnes_Button", "1", "All Elements = 1" );
   AllMinusOne_Button = MakeButton( this, "AllMinusOne_Button", "-1", "All Elements = -1" );
   Symmetric_Button = MakeButton( this, "Symmetric_Button", "Symmetric" );
   Normalize_Button = MakeButton( this, "Normalize_Button", "Normalize" );
   Manage_Button = MakeButton( this, "Manage_Button", "Manage" );
   Symmetric_Button->setEnabled( false );
   for ( QPushButton* b : { AllZero_Button, AllOnes_Button, AllMinusOne_Button } )
      b->setFixedWidth( 28 );

   auto* panels = new QHBoxLayout;
   panels->addWidget( FilterSize_Panel );
   panels->addWidget( FilterSize_UpDown );
   panels->addWidget( Position_Panel );
   panels->addWidget( FilterWeight_Panel );
   panels->addStretch();
   auto* buttons = new QHBoxLayout;
   for ( QPushButton* b :
         { AllZero_Button, AllOnes_Button, AllMinusOne_Button, Symmetric_Button, Normalize_Button, Manage_Button } )
      buttons->addWidget( b );
   buttons->addStretch();
   auto* layout = new QVBoxLayout( this );
   layout->setContentsMargins( 0, 0, 0, 0 );
   layout->addWidget( FilterNames_ComboBox );
   layout->addWidget( Filter_ScrollBox, 1 );
   layout->addLayout( panels );
   layout->addLayout( buttons );

   connect( FilterNames_ComboBox, &QComboBox::activated, this, [this] { FilterNames_ComboBoxSelect(); } );
   connect( FilterSize_UpDown, &QSpinBox::valueChanged, this,
            [this]( int value )
            {
               if ( !Updating() )
                  FilterSize_UpDownClick( value > filter.size );
            } );
   connect( AllZero_Button, &QPushButton::clicked, this, [this] { AllZero_ButtonClick(); } );
   connect( AllOnes_Button, &QPushButton::clicked, this, [this] { AllOnes_ButtonClick(); } );
   connect( AllMinusOne_Button, &QPushButton::clicked, this, [this] { AllMinusOne_ButtonClick(); } );
   connect( Symmetric_Button, &QPushButton::clicked, this, [this] { Symmetric_ButtonClick(); } );
   connect( Normalize_Button, &QPushButton::clicked, this, [this] { Normalize_ButtonClick(); } );
   connect( Manage_Button, &QPushButton::clicked, this, [this] { Manage_ButtonClick(); } );
}

float TFilterEditorFrame::RoundCoefficient( float value, int32_t decimals )
{
   const float scale = static_cast<float>( qor::Pow10I( decimals ) );
   const float rounded = qor::Round( value * scale ) / scale;
   return rounded == 0 ? 0.0f : rounded;
}

QString TFilterEditorFrame::CellText( float value, int32_t decimals )
{
   if ( value == 0 )
      return QString();
   if ( value == std::trunc( value ) )
      return QString::fromStdString( FormatReal( value, 0 ) );
   return QString::fromStdString( FormatReal( value, decimals ) );
}

QLineEdit* TFilterEditorFrame::Cell( int32_t row, int32_t column ) const
{
   return cells[size_t( row ) * size_t( filter.size ) + size_t( column )];
}

KernelFilter* TFilterEditorFrame::SelectedFilter() const
{
   const int index = FilterNames_ComboBox->currentIndex();
   if ( index < 1 || size_t( index ) > module.filters.size() )
      return nullptr;
   return module.filters[size_t( index - 1 )].get();
}

// ---- Grid ---------------------------------------------------------------------------------------------------------

void TFilterEditorFrame::RebuildGrid( int32_t size )
{
   Filter_ScrollBox->setUpdatesEnabled( false );
   for ( QLineEdit* cell : cells )
      delete cell;
   cells.clear();
   delete grid;
   if ( size != filter.size || filter.coefficients.empty() )
      filter.coefficients.assign( size_t( size ) * size_t( size ), 0.0f );
   filter.size = size;
   filter.Fill( 0 );
   {
      const QSignalBlocker blocker( FilterSize_UpDown );
      FilterSize_UpDown->setValue( size );
   }

   const int clientWidth = Filter_ScrollBox->viewport()->width();
   const int width = std::max( 8, ( clientWidth - ( cellsPerRow + 1 ) * cellGap ) / cellsPerRow );
   const int height = std::abs( fontMetrics().height() ) + 8;
   const int gridWidth = size * ( width + cellGap ) + cellGap;
   const int gridHeight = size * ( height + cellGap ) + cellGap;
   grid = new QWidget;
   grid->setObjectName( "FilterGrid" );
   grid->resize( std::max( gridWidth, clientWidth ), std::max( gridHeight, Filter_ScrollBox->viewport()->height() ) );
   const int left = std::max( 0, ( grid->width() - gridWidth ) / 2 ) + cellGap;
   const int top = std::max( 0, ( grid->height() - gridHeight ) / 2 ) + cellGap;
   const int h = size / 2;
   for ( int32_t i = 0; i < size; ++i )
      for ( int32_t j = 0; j < size; ++j )
      {
         auto* cell = new QLineEdit( grid );
         cell->setObjectName( QString( "Cell%1_%2_Edit" ).arg( i ).arg( j ) );
         cell->setFrame( false );
         cell->setAlignment( Qt::AlignRight );
         cell->setGeometry( left + j * ( width + cellGap ), top + i * ( height + cellGap ), width, height );
         if ( i == h || j == h )
         {
            QPalette palette = cell->palette();
            palette.setColor( QPalette::Base, QColor( 0xE0, 0xE0, 0xE0 ) );
            cell->setPalette( palette );
         }
         cell->installEventFilter( this );
         SetEditExitHandler( cell, [this, i, j] { CellExit( i, j ); } );
         cells.push_back( cell );
      }
   Filter_ScrollBox->setWidget( grid );
   Filter_ScrollBox->setUpdatesEnabled( true );
   currentRow = currentColumn = 0;
   if ( isVisible() )
      FocusCurrentCell();
}

void TFilterEditorFrame::FocusCurrentCell()
{
   const int32_t h = filter.size / 2;
   const int32_t row = currentRow + h, column = currentColumn + h;
   if ( filter.size > 0 && row >= 0 && row < filter.size && column >= 0 && column < filter.size &&
        isVisible() && isEnabled() )
      Cell( row, column )->setFocus();
}

bool TFilterEditorFrame::eventFilter( QObject* watched, QEvent* event )
{
   if ( event->type() == QEvent::FocusIn )
      for ( size_t k = 0; k < cells.size(); ++k )
         if ( cells[k] == watched )
         {
            CellEnter( int32_t( k ) / filter.size, int32_t( k ) % filter.size );
            break;
         }
   return QFrame::eventFilter( watched, event );
}

void TFilterEditorFrame::CellEnter( int32_t row, int32_t column )
{
   const int32_t h = filter.size / 2;
   currentRow = row - h;
   currentColumn = column - h;
   Position_Panel->setText( QString( "%1 : %2" ).arg( currentColumn ).arg( currentRow ) );
   if ( TProcessingInterface* form = InterfaceOf( this ) )
      form->EditEnter();
   Symmetric_Button->setEnabled( true );
}

void TFilterEditorFrame::CellExit( int32_t row, int32_t column )
{
   QLineEdit* cell = Cell( row, column );
   float& stored = filter.coefficients[size_t( row ) * size_t( filter.size ) + size_t( column )];
   try
   {
      float value = 0;
      if ( !cell->text().trimmed().isEmpty() )
      {
         const double scale = double( qor::Pow10I( decimals ) );
         const long double read = ReadNumberFromEdit( cell, minCoefficient, maxCoefficient, true );
         value = float( qor::Round( double( read ) * scale ) / scale );
         if ( value == 0 )
            value = 0;
      }
      if ( std::memcmp( &value, &stored, sizeof value ) != 0 )
      {
         stored = value;
         MarkModified();
         RefreshWeight();
      }
   }
   catch ( const qor::CatchedException& )
   {
      MarkInputError( this );
   }
   cell->setText( CellText( stored, decimals ) );
   Position_Panel->clear();
   Symmetric_Button->setEnabled( Symmetric_Button->hasFocus() );
}

void TFilterEditorFrame::LoadKernel( int32_t size, const std::vector<float>& coefficients )
{
   RebuildGrid( size );
   for ( size_t k = 0; k < filter.coefficients.size() && k < coefficients.size(); ++k )
      filter.coefficients[k] = RoundCoefficient( coefficients[k], decimals );
   RefreshCells();
   RefreshWeight();
}

void TFilterEditorFrame::RefreshCells()
{
   for ( size_t k = 0; k < cells.size(); ++k )
      cells[k]->setText( CellText( filter.coefficients[k], decimals ) );
   FilterSize_Panel->setText( QString( "%1x%1" ).arg( filter.size ) );
}

void TFilterEditorFrame::RefreshWeight()
{
   FilterWeight_Panel->setText( QString::fromStdString( FormatReal( filter.Weight(), decimals ) ) );
}

// ---- Names --------------------------------------------------------------------------------------------------------

void TFilterEditorFrame::RefillNames()
{
   TMainWindow::ControlUpdateGuard guard;
   const int index = FilterNames_ComboBox->currentIndex();
   FilterNames_ComboBox->clear();
   FilterNames_ComboBox->addItem( NewFilterItem );
   for ( const auto& f : module.filters )
      FilterNames_ComboBox->addItem( QString::fromLatin1( f->name.c_str() ) );
   FilterNames_ComboBox->setCurrentIndex( index >= 0 && index < FilterNames_ComboBox->count() ? index : 0 );
}

void TFilterEditorFrame::SelectItem( int index )
{
   // A mark belongs to the selection it was made on: a new selection starts from the plain names.
   RestoreNames();
   TMainWindow::ControlUpdateGuard guard;
   const QSignalBlocker blocker( FilterNames_ComboBox );
   FilterNames_ComboBox->setCurrentIndex( index );
}

void TFilterEditorFrame::RestoreNames()
{
   const QSignalBlocker blocker( FilterNames_ComboBox );
   for ( size_t k = 0; k < module.filters.size() && int( k + 1 ) < FilterNames_ComboBox->count(); ++k )
      FilterNames_ComboBox->setItemText( int( k + 1 ), QString::fromLatin1( module.filters[k]->name.c_str() ) );
}

void TFilterEditorFrame::MarkModified()
{
   KernelFilter* selected = SelectedFilter();
   if ( selected == nullptr )
      return;
   const QString name = QString::fromLatin1( selected->name.c_str() );
   const QString text = selected->SameKernel( filter ) ? name : ModifiedMark + name;
   const QSignalBlocker blocker( FilterNames_ComboBox );
   FilterNames_ComboBox->setItemText( FilterNames_ComboBox->currentIndex(), text );
}

void TFilterEditorFrame::FilterNames_ComboBoxSelect()
{
   RestoreNames();
   if ( Updating() )
      return;
   if ( const KernelFilter* selected = SelectedFilter() )
      LoadKernel( selected->size, selected->coefficients );
}

bool TFilterEditorFrame::SelectFilter( const std::string& name )
{
   if ( name.empty() )
      return false;
   for ( size_t k = 0; k < module.filters.size(); ++k )
      if ( module.filters[k]->name == name )
      {
         SelectItem( int( k + 1 ) );
         const KernelFilter copy = *module.filters[k];
         LoadKernel( copy.size, copy.coefficients );
         return true;
      }
   return false;
}

void TFilterEditorFrame::SelectMatchingFilter()
{
   for ( size_t k = 0; k < module.filters.size(); ++k )
      if ( module.filters[k]->SameKernel( filter ) )
      {
         SelectItem( int( k + 1 ) );
         return;
      }
   SelectItem( 0 );
}

void TFilterEditorFrame::SyncSelection()
{
   const KernelFilter* selected = SelectedFilter();
   if ( selected == nullptr || !selected->SameKernel( filter ) )
      SelectMatchingFilter();
}

void TFilterEditorFrame::SetFilter( int32_t size, const std::vector<float>& coefficients )
{
   LoadKernel( size, coefficients );
   SelectMatchingFilter();
}

void TFilterEditorFrame::NewFilter()
{
   filter.Fill( 0 );
   SelectItem( 0 );
   RefreshCells();
   RefreshWeight();
}

void TFilterEditorFrame::Reset()
{
   {
      TMainWindow::ControlUpdateGuard guard;
      const QSignalBlocker blocker( FilterSize_UpDown );
      FilterSize_UpDown->setRange( minSize, maxSize );
      FilterSize_UpDown->setSingleStep( 2 );
      AllMinusOne_Button->setEnabled( minCoefficient < 0 );
      RebuildGrid( defaultSize );
      RefillNames();
   }
   NewFilter();
}

// ---- Library ------------------------------------------------------------------------------------------------------

template <class Operation>
void TFilterEditorFrame::Guarded( Operation operation, int line )
{
   try
   {
      operation();
   }
   catch ( const qor::Exception& x )
   {
      platform::ShowMessage( platform::Icon::Warning, QString::fromStdString( x.Caption() ),
                             QString::fromStdString( x.Message() ) );
   }
   catch ( const std::exception& x )
   {
      platform::ShowMessage( platform::Icon::Warning, ApplicationTitle(), QString::fromLocal8Bit( x.what() ) );
   }
   catch ( ... )
   {
      ReportUnexpectedException( "windows/frames/FilterEditorFrame_", line );
   }
}

void TFilterEditorFrame::LoadFilterSetModule( const std::string& path )
{
   Guarded( [&] { module.Read( path ); }, __LINE__ );
   RefillNames();
   SyncSelection();
}

void TFilterEditorFrame::SaveFilterSetModule( const std::string& path )
{
   Guarded( [&] { module.Write( path ); }, __LINE__ );
}

void TFilterEditorFrame::AddFilter( const std::string& name )
{
   module.filters.push_back( std::make_unique<KernelFilter>( name, filter.size, filter.coefficients, false ) );
   RefillNames();
   SelectFilter( name );
}

void TFilterEditorFrame::ReplaceFilter( const std::string& name )
{
   KernelFilter* selected = SelectedFilter();
   if ( selected == nullptr )
      return;
   selected->size = filter.size;
   selected->coefficients = filter.coefficients;
   selected->name = name;
   RefillNames();
   SelectFilter( name );
}

void TFilterEditorFrame::RemoveFilter()
{
   const int index = FilterNames_ComboBox->currentIndex();
   if ( SelectedFilter() == nullptr )
      return;
   module.filters.erase( module.filters.begin() + ( index - 1 ) );
   SelectItem( 0 );
   RefillNames();
   NewFilter();
}

// ---- Buttons ------------------------------------------------------------------------------------------------------

void TFilterEditorFrame::AfterButton()
{
   MarkModified();
   RefreshCells();
   RefreshWeight();
   FocusCurrentCell();
}

void TFilterEditorFrame::AllZero_ButtonClick()
{
   filter.Fill( 0 );
   AfterButton();
}

void TFilterEditorFrame::AllOnes_ButtonClick()
{
   filter.Fill( 1 );
   AfterButton();
}

void TFilterEditorFrame::AllMinusOne_ButtonClick()
{
   filter.Fill( -1 );
   AfterButton();
}

void TFilterEditorFrame::Normalize_ButtonClick()
{
   filter.Normalize();
   AfterButton();
}

void TFilterEditorFrame::Symmetric_ButtonClick()
{
   const int32_t n = filter.size;
   const int32_t h = n / 2;
   auto at = [&]( int32_t i, int32_t j ) -> float& { return filter.coefficients[size_t( i * n + j )]; };
   const int32_t r0 = currentRow <= 0 ? 0 : h, r1 = currentRow <= 0 ? h : n - 1;
   const int32_t c0 = currentColumn <= 0 ? 0 : h + 1, c1 = currentColumn <= 0 ? h - 1 : n - 1;
   for ( int32_t c = r0; c <= r1; ++c )
   {
      for ( int32_t j = c0; j <= c1; ++j )
      {
         const float v = at( c, j );
         at( c, n - 1 - j ) = v;
         if ( c != h )
         {
            at( n - 1 - c, j ) = v;
            at( n - 1 - c, n - 1 - j ) = v;
         }
      }
      at( n - 1 - c, h ) = at( c, h );
   }
   AfterButton();
}

void TFilterEditorFrame::FilterSize_UpDownClick( bool up )
{
   const int32_t size = filter.size + ( up ? 2 : -2 );
   if ( size >= minSize && size <= maxSize )
   {
      RebuildGrid( size );
      NewFilter();
   }
   else
   {
      const QSignalBlocker blocker( FilterSize_UpDown );
      FilterSize_UpDown->setValue( filter.size );
   }
   FocusCurrentCell();
}

void TFilterEditorFrame::Manage_ButtonClick()
{
   TFilterManagerDialog dialog( this );
   const KernelFilter* selected = SelectedFilter();
   dialog.frame = this;
   dialog.currentName = selected != nullptr ? selected->name : std::string();
   dialog.protectedFilter = selected == nullptr || selected->readOnly;
   platform::DialogRunner::exec( dialog );
   SyncSelection();
   FocusCurrentCell();
}
