#include "windows/tools/StatisticsWindow.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QPalette>
#include <QPointer>

#include <cstdio>

#include "windows/frames/ViewsListFrame.h"
#include "windows/main/MainWindow.h"

namespace
{

struct DataRange
{
   const char* item;
   uint32_t multiplier;
   int decimals;
};

const DataRange dataRanges[TStatisticsWindow::NumberOfDataRanges] = {
   { " Normalized Real: [0.0,1.0]", 1, 7 },
   { " 8-bit Integer: [0,255]", 255, 5 },
   { " 12-bit Integer: [0,4095]", 4095, 4 },
   { " 16-bit Integer: [0,65535]", 65535, 3 },
   { " 32-bit Integer: [0,4294967295]", 4294967295u, 0 },
};

const char* const statisticNames[TStatisticsWindow::NumberOfStatistics] = { "Mean",     "Median",  "StdDev", "AvgDev",
                                                                            "Variance", "Minimum", "Maximum" };
const char* const columnNames[3] = { "Red", "Green", "Blue" };
const QColor headerColors[3] = { QColor( 255, 234, 234 ), QColor( 234, 255, 234 ), QColor( 234, 234, 255 ) };
const QColor valueColors[3] = { QColor( 255, 213, 213 ), QColor( 213, 255, 213 ), QColor( 213, 213, 255 ) };
const QColor greyHeader( 234, 234, 234 );
const QColor greyValue( 213, 213, 213 );

bool UpdatingControls()
{
   return MainWindow != nullptr && MainWindow->UpdatingControls();
}

QLabel* MakePanel( QWidget* parent, const QString& name, const QString& caption )
{
   auto* panel = new QLabel( caption, parent );
   panel->setObjectName( name );
   panel->setFrameShape( QFrame::Panel );
   panel->setFrameShadow( QFrame::Sunken );
   panel->setAutoFillBackground( true );
   panel->setMinimumWidth( 90 );
   return panel;
}

void Paint( QLabel* panel, const QColor& color )
{
   QPalette palette = panel->palette();
   palette.setColor( QPalette::Window, color );
   panel->setPalette( palette );
}

QColor ButtonFace()
{
   return QPalette().color( QPalette::Button );
}

// The seven values of a channel, in the order of the rows.
void Values( const TImageWindow::StatisticsData& s, int c, long double values[TStatisticsWindow::NumberOfStatistics] )
{
   const float* const arrays[] = { s.mean, s.median, s.stdDev, s.avgDev, s.variance, s.minimum, s.maximum };
   for ( int k = 0; k < TStatisticsWindow::NumberOfStatistics; ++k )
      values[k] = arrays[k][c];
}

} // namespace

TStatisticsWindow::TStatisticsWindow( QWidget* owner ) : TLFToolWindow( owner )
{
   setObjectName( "StatisticsWindow" );
   setWindowTitle( "  Statistics" );
   auto* layout = new QGridLayout( this );
   ViewsList = new TViewsListFrame( this );
   ViewsList->setObjectName( "ViewsList" );
   connect( ViewsList, &TViewsListFrame::ViewSelected, this, [this]( TImageWindow::View* view ) { SelectView( view ); } );
   layout->addWidget( ViewsList, 10, 0, 1, 4 );
   layout->addWidget( new QLabel( "Data Range:", this ), 0, 0 );
   DataRange_ComboBox = new QComboBox( this );
   DataRange_ComboBox->setObjectName( "DataRange_ComboBox" );
   connect( DataRange_ComboBox, &QComboBox::currentIndexChanged, this, [this] { DataRange_ComboBoxChange(); } );
   layout->addWidget( DataRange_ComboBox, 0, 1, 1, 3 );

   for ( int c = 0; c < 3; ++c )
   {
      Header_Panel[c] = MakePanel( this, QString( columnNames[c] ) + "_Panel", QString() );
      HeaderCaption_Panel[c] = MakePanel( Header_Panel[c], QString( columnNames[c] ) + "Caption_Panel", QString() );
      HeaderCaption_Panel[c]->setFrameShape( QFrame::NoFrame );
      auto* header = new QGridLayout( Header_Panel[c] );
      header->setContentsMargins( 2, 2, 2, 2 );
      header->addWidget( HeaderCaption_Panel[c] );
      layout->addWidget( Header_Panel[c], 1, 1 + c );
   }
   for ( int k = 0; k < NumberOfStatistics; ++k )
   {
      Row_Panel[k] = MakePanel( this, QString( statisticNames[k] ) + "_Panel", QString( "  " ) + statisticNames[k] );
      layout->addWidget( Row_Panel[k], 2 + k, 0 );
      for ( int c = 0; c < 3; ++c )
      {
         Value_Panel[k][c] = MakePanel( this, QString( "%1%2_Panel" ).arg( statisticNames[k] ).arg( c ), QString() );
         Value_Panel[k][c]->setAlignment( Qt::AlignRight | Qt::AlignVCenter );
         layout->addWidget( Value_Panel[k][c], 2 + k, 1 + c );
      }
   }

   {
      TMainWindow::ControlUpdateGuard guard;
      const QSignalBlocker blocker( DataRange_ComboBox );
      for ( const DataRange& range : dataRanges )
         DataRange_ComboBox->addItem( range.item );
      DataRange_ComboBox->setCurrentIndex( 0 );
   }
   Display();
   ViewsList->Rebuild();
}

void TStatisticsWindow::SelectView( TImageWindow::View* view )
{
   if ( view == currentView )
      return;
   currentView = view;
   if ( view != nullptr && view->Statistics() == nullptr )
      view->CalculateStatistics( false );
   ViewsList->currentView = view;
   ViewsList->SelectCurrentView();
   Display();
}

void TStatisticsWindow::Display()
{
   const DataRange& range = dataRanges[dataRange];
   const long double multiplier = range.multiplier;
   const TImageWindow::StatisticsData* statistics = nullptr;
   const qor::Image* image = nullptr;
   if ( currentView != nullptr )
   {
      image = &currentView->GetImage();
      if ( currentView->Statistics() == nullptr )
         currentView->CalculateStatistics( false );
      statistics = currentView->Statistics();
   }

   const bool grey = image != nullptr && !image->IsColor();
   for ( int c = 0; c < 3; ++c )
   {
      if ( !grey )
      {
         Paint( Header_Panel[c], headerColors[c] );
         Paint( HeaderCaption_Panel[c], headerColors[c] );
         HeaderCaption_Panel[c]->setText( columnNames[c] );
      }
      else
      {
         const QColor color = c == 0 ? greyHeader : ButtonFace();
         Paint( Header_Panel[c], color );
         Paint( HeaderCaption_Panel[c], color );
         HeaderCaption_Panel[c]->setText( c == 0 ? "Gray" : "" );
      }

      const bool shown = statistics != nullptr && c < image->NumberOfNominalChannels();
      long double values[NumberOfStatistics] = {};
      if ( shown )
         Values( *statistics, c, values );
      for ( int k = 0; k < NumberOfStatistics; ++k )
      {
         QLabel* panel = Value_Panel[k][c];
         if ( !shown )
         {
            panel->clear();
            Paint( panel, ButtonFace() );
            continue;
         }
         // The variance is in squared units: a range's multiplier enters it squared.
         const long double scale = k == 4 ? multiplier * multiplier : multiplier;
         char text[64];
         std::snprintf( text, sizeof( text ), "%.*Lf", range.decimals, values[k] * scale );
         panel->setText( text );
         Paint( panel, grey ? greyValue : valueColors[c] );
      }
   }
}

void TStatisticsWindow::DataRange_ComboBoxChange()
{
   if ( UpdatingControls() )
      return;
   const int index = DataRange_ComboBox->currentIndex();
   if ( index < 0 || index == dataRange )
      return;
   dataRange = index;
   Display();
}

void TStatisticsWindow::ViewCreated( TImageWindow::View& )
{
   ViewsList->Rebuild();
}

void TStatisticsWindow::ViewRenamed( TImageWindow::View& )
{
   ViewsList->Rebuild();
}

void TStatisticsWindow::ViewUpdated( TImageWindow::View& view )
{
   if ( &view != currentView )
      return;
   if ( view.Statistics() == nullptr )
      view.CalculateStatistics( false );
   Display();
}

void TStatisticsWindow::ViewDeleted( TImageWindow::View& view )
{
   ViewsList->RemoveView( &view );
   if ( &view == currentView )
      ClearView();
}

void TStatisticsWindow::ClearView()
{
   currentView = nullptr;
   ViewsList->currentView = nullptr;
   ViewsList->SelectCurrentView();
   Display();
   ViewsList->Rebuild();
}

void TStatisticsWindow::StatisticsChanged( TImageWindow::View& view )
{
   if ( &view != currentView )
      return;
   if ( view.Statistics() != nullptr )
      ViewUpdated( view );
   else
      ClearView();
}

QColor TStatisticsWindow::PanelColor( const QLabel* panel )
{
   return panel->palette().color( QPalette::Window );
}

TStatisticsWindow& StatisticsWindow()
{
   static QPointer<TStatisticsWindow> window;
   if ( window == nullptr )
      window = new TStatisticsWindow;
   return *window;
}
