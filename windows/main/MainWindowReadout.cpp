// The main window's readout options menu: its actions, the pop-up menu with its submenus, the tool button that drops
// it down, and the check marks the idle update gives the actions.

#include "windows/main/MainWindow.h"

#include <QAction>
#include <QMenu>
#include <QToolBar>
#include <QToolButton>

#include <functional>

#include "process/ReadoutOptions.h"

namespace
{

// One readout action: what it sets and when it is checked.
struct ReadoutActionEntry
{
   QAction** member;
   const char* name;
   const char* caption;     // the action's own caption
   const char* menuCaption; // the menu item's, when it differs
   std::function<void( ReadoutOptionsData& )> set;
   std::function<bool( const ReadoutOptionsData& )> checked;
};

std::vector<ReadoutActionEntry> ReadoutActionTable( TMainWindow& w )
{
   std::vector<ReadoutActionEntry> table;
   auto data = [&]( QAction** m, const char* name, const char* caption, uint8_t v )
   {
      table.push_back( { m, name, caption, nullptr, [v]( ReadoutOptionsData& o ) { o.data = v; },
                         [v]( const ReadoutOptionsData& o ) { return o.data == v; } } );
   };
   data( &w.ReadoutDataRGBGray_Action, "ReadoutDataRGBGray_Action", "RGB/Gray", 0 );
   data( &w.ReadoutDataRGBL_Action, "ReadoutDataRGBL_Action", "RGB + L", 1 );
   data( &w.ReadoutDataHSV_Action, "ReadoutDataHSV_Action", "HSV", 2 );
   data( &w.ReadoutDataCIEXYZ_Action, "ReadoutDataCIEXYZ_Action", "CIE XYZ", 3 );
   data( &w.ReadoutDataCIELab_Action, "ReadoutDataCIELab_Action", "CIE L*a*b*", 4 );
   data( &w.ReadoutDataCIELch_Action, "ReadoutDataCIELch_Action", "CIE L*c*h*", 5 );

   auto mode = [&]( QAction** m, const char* name, const char* caption, uint8_t v )
   {
      table.push_back( { m, name, caption, nullptr, [v]( ReadoutOptionsData& o ) { o.mode = v; },
                         [v]( const ReadoutOptionsData& o ) { return o.mode == v; } } );
   };
   mode( &w.ReadoutModeMean_Action, "ReadoutModeMean_Action", "Mean", 0 );
   mode( &w.ReadoutModeMedian_Action, "ReadoutModeMedian_Action", "Median", 1 );
   mode( &w.ReadoutModeMin_Action, "ReadoutModeMin_Action", "Minimum", 2 );
   mode( &w.ReadoutModeMax_Action, "ReadoutModeMax_Action", "Maximum", 3 );

   static const char* const probeNames[] = { "ReadoutProbeSize1x1_Action",   "ReadoutProbeSize3x3_Action",
                                             "ReadoutProbeSize5x5_Action",   "ReadoutProbeSize7x7_Action",
                                             "ReadoutProbeSize9x9_Action",   "ReadoutProbeSize11x11_Action",
                                             "ReadoutProbeSize13x13_Action", "ReadoutProbeSize15x15_Action" };
   static const char* const probeCaptions[] = { "Single Pixel", "3x3",   "5x5",   "7x7",
                                                "9x9",          "11x11", "13x13", "15x15" };
   for ( int32_t i = 0; i < 8; ++i )
   {
      const int32_t size = 2 * i + 1;
      table.push_back( { &w.ReadoutProbeSize_Actions[size_t( i )], probeNames[i], probeCaptions[i], nullptr,
                         [size]( ReadoutOptionsData& o ) { o.probeSize = size; },
                         [size]( const ReadoutOptionsData& o ) { return o.probeSize == size; } } );
   }

   table.push_back( { &w.ReadoutReal_Action, "ReadoutReal_Action", "Real", nullptr, nullptr,
                      []( const ReadoutOptionsData& o ) { return o.real; } } );
   static const char* const precisionCaptions[] = { "1 - 0.1",     "2 - 0.01",     "3 - 0.001",
                                                    "4 - 0.0001", "5 - 0.00001", "6 - 0.000001" };
   static const char* const precisionNames[] = { "ReadoutPrecision1_Action", "ReadoutPrecision2_Action",
                                                 "ReadoutPrecision3_Action", "ReadoutPrecision4_Action",
                                                 "ReadoutPrecision5_Action", "ReadoutPrecision6_Action" };
   for ( int32_t p = 1; p <= 6; ++p )
      table.push_back( { &w.ReadoutPrecision_Actions[size_t( p - 1 )], precisionNames[p - 1], precisionCaptions[p - 1],
                         nullptr,
                         [p]( ReadoutOptionsData& o )
                         {
                            o.real = true;
                            o.precision = p;
                         },
                         [p]( const ReadoutOptionsData& o ) { return o.real && o.precision == p; } } );

   table.push_back( { &w.ReadoutInteger_Action, "ReadoutInteger_Action", "Integer", nullptr, nullptr,
                      []( const ReadoutOptionsData& o ) { return !o.real; } } );
   auto range = [&]( QAction** m, const char* name, const char* caption, const char* menuCaption, uint32_t v )
   {
      table.push_back( { m, name, caption, menuCaption,
                         [v]( ReadoutOptionsData& o )
                         {
                            o.real = false;
                            o.maxValue = v;
                         },
                         [v]( const ReadoutOptionsData& o ) { return !o.real && o.maxValue == v; } } );
   };
   range( &w.ReadoutRange8bit_Action, "ReadoutRange8bit_Action", "8-bit (256)", "8-bit (256 values)", 255 );
   range( &w.ReadoutRange12bit_Action, "ReadoutRange12bit_Action", "12-bit (4096)", "12-bit (4,096)", 4095 );
   range( &w.ReadoutRange16bit_Action, "ReadoutRange16bit_Action", "16-bit (65536)", "16-bit (65,536)", 65535 );
   range( &w.ReadoutRange32bit_Action, "ReadoutRange32bit_Action", "32-bit (4,294,967,296)", nullptr, 4294967295u );
   range( &w.ReadoutRange100_Action, "ReadoutRange100_Action", "100", "100 values", 99 );
   range( &w.ReadoutRange1000_Action, "ReadoutRange1000_Action", "1000", "1,000", 999 );
   range( &w.ReadoutRange10000_Action, "ReadoutRange10000_Action", "10000", "10,000", 9999 );
   range( &w.ReadoutRange100000_Action, "ReadoutRange100000_Action", "100000", "100,000", 99999 );
   return table;
}

} // namespace

void TMainWindow::BuildReadoutActions()
{
   for ( const ReadoutActionEntry& e : ReadoutActionTable( *this ) )
   {
      // The menu shows the item's caption; the action's own stays its icon text and hint.
      auto* action = new QAction( e.menuCaption != nullptr ? e.menuCaption : e.caption, this );
      action->setObjectName( e.name );
      action->setIconText( e.caption );
      action->setToolTip( e.caption );
      action->setCheckable( true );
      if ( e.set )
         connect( action, &QAction::triggered, this,
                  [this, set = e.set]
                  {
                     set( readoutOptions );
                     RefreshReadout();
                  } );
      *e.member = action;
   }

   ReadoutOptions_PopupMenu = new QMenu( this );
   ReadoutOptions_PopupMenu->setObjectName( "ReadoutOptions_PopupMenu" );
   QMenu* data = ReadoutOptions_PopupMenu->addMenu( "Readout Data" );
   for ( QAction* a : { ReadoutDataRGBGray_Action, ReadoutDataRGBL_Action, ReadoutDataHSV_Action,
                        ReadoutDataCIEXYZ_Action, ReadoutDataCIELab_Action, ReadoutDataCIELch_Action } )
      data->addAction( a );
   QMenu* mode = ReadoutOptions_PopupMenu->addMenu( "Readout Mode" );
   for ( QAction* a : { ReadoutModeMean_Action, ReadoutModeMedian_Action, ReadoutModeMin_Action, ReadoutModeMax_Action } )
      mode->addAction( a );
   QMenu* probe = ReadoutOptions_PopupMenu->addMenu( "Readout Probe Size" );
   for ( QAction* a : ReadoutProbeSize_Actions )
      probe->addAction( a );
   QMenu* range = ReadoutOptions_PopupMenu->addMenu( "Readout Range/Precision" );
   auto* real = new QMenu( "Real", range );
   for ( QAction* a : ReadoutPrecision_Actions )
      real->addAction( a );
   ReadoutReal_Action->setMenu( real );
   range->addAction( ReadoutReal_Action );
   auto* integer = new QMenu( "Integer", range );
   for ( QAction* a : { ReadoutRange8bit_Action, ReadoutRange12bit_Action, ReadoutRange16bit_Action,
                        ReadoutRange32bit_Action } )
      integer->addAction( a );
   integer->addSeparator();
   for ( QAction* a : { ReadoutRange100_Action, ReadoutRange1000_Action, ReadoutRange10000_Action,
                        ReadoutRange100000_Action } )
      integer->addAction( a );
   ReadoutInteger_Action->setMenu( integer );
   range->addAction( ReadoutInteger_Action );

   ReadoutOptions_ToolButton = new QToolButton( Readout_ToolBar );
   ReadoutOptions_ToolButton->setObjectName( "ReadoutOptions_ToolButton" );
   ReadoutOptions_ToolButton->setToolTip( "Readout Options" );
   ReadoutOptions_ToolButton->setText( "\u25BE" );
   ReadoutOptions_ToolButton->setMenu( ReadoutOptions_PopupMenu );
   ReadoutOptions_ToolButton->setPopupMode( QToolButton::InstantPopup );
   Readout_ToolBar->addWidget( ReadoutOptions_ToolButton );
}

void TMainWindow::UpdateReadoutActions()
{
   for ( const ReadoutActionEntry& e : ReadoutActionTable( *this ) )
      ( *e.member )->setChecked( e.checked( readoutOptions ) );
   for ( QAction* a : { ReadoutModeMean_Action, ReadoutModeMedian_Action, ReadoutModeMin_Action, ReadoutModeMax_Action } )
      a->setEnabled( readoutOptions.probeSize != 1 );
}

std::vector<QAction*> TMainWindow::ReadoutActions() const
{
   std::vector<QAction*> all;
   for ( const ReadoutActionEntry& e : ReadoutActionTable( const_cast<TMainWindow&>( *this ) ) )
      all.push_back( *e.member );
   return all;
}

// ---- The options in force, for the ReadoutOptions process ----------------------------------------------------------

namespace
{

// The options while no main window holds them.
ReadoutOptionsData keptReadoutOptions;

// The main window holds the readout options in force.
class MainWindowReadoutOptions final : public ReadoutOptionsHolder
{
public:
   ReadoutOptionsData Current() override
   {
      return MainWindow != nullptr ? MainWindow->readoutOptions : keptReadoutOptions;
   }

   void Apply( const ReadoutOptionsData& options ) override
   {
      if ( MainWindow == nullptr )
      {
         keptReadoutOptions = options;
         return;
      }
      MainWindow->readoutOptions = options;
      MainWindow->RefreshReadout();
   }
};

} // namespace

void InstallReadoutOptionsHolder()
{
   static MainWindowReadoutOptions holder;
   SetReadoutOptionsHolder( &holder );
}
