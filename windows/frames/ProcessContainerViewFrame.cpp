#include "windows/frames/ProcessContainerViewFrame.h"

#include <QApplication>
#include <QFontDatabase>
#include <QHeaderView>
#include <QTreeWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <functional>

#include "process/ProcessContainer.h"
#include "support/Utils.h"

namespace
{

constexpr int ParametersColumn = 5;
constexpr int FirstColumnExtra = 16;

} // namespace

TProcessContainerViewFrame::TProcessContainerViewFrame( QWidget* owner ) : QFrame( owner )
{
   setObjectName( "ProcessContainerView" );
   Processing_ListView = new QTreeWidget( this );
   Processing_ListView->setObjectName( "Processing_ListView" );
   Processing_ListView->setRootIsDecorated( false );
   Processing_ListView->setUniformRowHeights( true );
   Processing_ListView->setSelectionMode( QAbstractItemView::SingleSelection );
   Processing_ListView->setSelectionBehavior( QAbstractItemView::SelectRows );
   Processing_ListView->setEditTriggers( QAbstractItemView::NoEditTriggers );
   Processing_ListView->setAllColumnsShowFocus( true );
   Processing_ListView->setHeaderLabels( { "#", "Process Id", "Start Time", "Secs.", "Mask", "Parameters" } );
   Processing_ListView->header()->setStretchLastSection( false );
   Processing_ListView->setFont( QFontDatabase::systemFont( QFontDatabase::GeneralFont ) );
   connect( Processing_ListView, &QTreeWidget::itemDoubleClicked, this,
            &TProcessContainerViewFrame::Processing_ListViewDblClick );
   auto* layout = new QVBoxLayout( this );
   layout->setContentsMargins( 0, 0, 0, 0 );
   layout->addWidget( Processing_ListView );
   SelectRow( 0 );
}

void TProcessContainerViewFrame::Refresh()
{
   const int32_t remembered = SelectedRow();
   rows.clear();
   std::function<void( const ProcessContainer&, int32_t )> flatten = [&]( const ProcessContainer& c, int32_t level ) {
      for ( Process* instance : c.instances )
      {
         rows.push_back( { instance, level } );
         if ( const auto* nested = dynamic_cast<const ProcessContainer*>( instance ) )
            flatten( *nested, level + 1 );
      }
   };
   if ( container != nullptr )
      flatten( *container, 0 );

   Processing_ListView->clear();
   for ( int32_t row = 0; row < RowCount(); ++row )
      FillRow( row );
   FitListViewColumns( Processing_ListView, ParametersColumn, FirstColumnExtra );
   if ( !rows.empty() )
      SelectRow( remembered );
}

void TProcessContainerViewFrame::FillRow( int32_t row )
{
   const Process& instance = *rows[size_t( row )].instance;
   const int32_t level = rows[size_t( row )].level;
   auto* item = new QTreeWidgetItem( Processing_ListView );
   item->setFlags( Qt::ItemIsSelectable | Qt::ItemIsEnabled );
   item->setCheckState( 0, instance.enabled ? Qt::Checked : Qt::Unchecked );
   item->setText( 0, QString::asprintf( "%02d", row + 1 ) );
   item->setText( 1, QString( 4 * level, ' ' ) + QString::fromStdString( instance.Id() ) );
   if ( instance.startTime != 0 )
   {
      item->setText( 2, QString::fromStdString( ProcessContainer::FormatDateTime( instance.startTime ) ) );
      item->setText( 3, QString::asprintf( "%.2lf", instance.processingTime * 86400 ) );
   }
   else
   {
      item->setText( 2, "n/a" );
      item->setText( 3, "n/a" );
   }
   item->setText( 4, QString::fromStdString( instance.maskId + ( instance.maskLost ? " <*broken*>" : "" ) ) );
   if ( instance.parameters != nullptr )
   {
      QString text = QString::fromStdString( instance.parameters->ToText( -1 ) );
      text.replace( "\r\n", " " ).replace( '\n', ' ' ).replace( '\r', ' ' );
      item->setText( 5, text );
   }
}

void TProcessContainerViewFrame::SelectRow( int32_t row )
{
   if ( rows.empty() )
   {
      Processing_ListView->setCurrentItem( nullptr );
      Processing_ListView->clearSelection();
      return;
   }
   row = std::clamp<int32_t>( row, 0, RowCount() - 1 );
   QTreeWidgetItem* item = Processing_ListView->topLevelItem( row );
   Processing_ListView->setCurrentItem( item );
   item->setSelected( true );
}

int32_t TProcessContainerViewFrame::SelectedRow() const
{
   const QList<QTreeWidgetItem*> selected = Processing_ListView->selectedItems();
   return selected.isEmpty() ? -1 : Processing_ListView->indexOfTopLevelItem( selected.front() );
}

int32_t TProcessContainerViewFrame::RowCount() const
{
   return int32_t( rows.size() );
}

Process* TProcessContainerViewFrame::InstanceAtRow( int32_t row, int32_t* level ) const
{
   if ( row < 0 || row >= RowCount() )
      return nullptr;
   if ( level != nullptr )
      *level = rows[size_t( row )].level;
   return rows[size_t( row )].instance;
}

int32_t TProcessContainerViewFrame::RowOfInstance( const Process* instance ) const
{
   for ( int32_t row = 0; row < RowCount(); ++row )
      if ( rows[size_t( row )].instance == instance )
         return row;
   return -1;
}

void TProcessContainerViewFrame::Processing_ListViewDblClick( QTreeWidgetItem* item, int column )
{
   const int32_t row = Processing_ListView->indexOfTopLevelItem( item );
   Process* instance = InstanceAtRow( row );
   if ( instance == nullptr )
      return;
   if ( column == 0 )
   {
      instance->enabled = !instance->enabled;
      item->setCheckState( 0, instance->enabled ? Qt::Checked : Qt::Unchecked );
   }
   else if ( instance->IsInterfaceAvailable() )
      instance->LaunchInterface();
}
