// The main window's settings: recent files, readout options, the RGB working space, the open dialogs' folders, the
// tool-bar layout and the positions of the dialogs and processing windows, under ApplicationRegistryKey().

#include "windows/main/MainWindow.h"

#include <QAction>
#include <QGuiApplication>
#include <QMenu>
#include <QScreen>
#include <QToolBar>

#include <algorithm>
#include <cmath>
#include <iterator>
#include <limits>

#include "classlib/RGBColorSystem.h"
#include "platform/KeyTracker.h"
#include "platform/Prompter.h"
#include "platform/Registry.h"
#include "support/RegistryReaders.h"
#include "support/Utils.h"
#include "windows/image/ImageWindow.h"
#include "windows/main/Application.h"
#include "windows/processing/DynamicCropDialog.h"
#include "windows/processing/DynamicBackgroundExtractionDialog.h"
#include "windows/processing/ProcessingStatusDialog.h"
#include "windows/processing/ProcessingWindow.h"

namespace
{

constexpr const char* SourceName = "windows/main/MainWindowRegistry";
const QString CorruptedText = "Bad or corrupted registry data --- loading default settings";

QString Key( const char* subkey )
{
   return ApplicationRegistryKey() + "\\" + subkey;
}

// A subkey the settings need is missing.
struct MissingKey
{
};

// Reads of single values: a value of the wrong type (or out of range) is left out, keeping the current setting,
// and marks the settings damaged.
template <class T, class Reader>
bool Read( Reader reader, T& variable, const platform::Registry& registry, const QString& name )
{
   try
   {
      return reader( variable, registry, name );
   }
   catch ( const platform::RegistryException& )
   {
      TMainWindow::RegistryDataCorrupted = true;
      return false;
   }
}

bool ReadInt( int32_t& v, const platform::Registry& r, const QString& n )
{
   return Read( []( int32_t& x, const platform::Registry& g, const QString& m ) { return ReadRegistryInt( x, g, m ); },
                v, r, n );
}

bool ReadBool( bool& v, const platform::Registry& r, const QString& n )
{
   return Read( []( bool& x, const platform::Registry& g, const QString& m ) { return ReadRegistryBool( x, g, m ); },
                v, r, n );
}

bool ReadDouble( double& v, const platform::Registry& r, const QString& n )
{
   return Read( []( double& x, const platform::Registry& g, const QString& m )
                { return ReadRegistryDouble( x, g, m ); },
                v, r, n );
}

bool ReadString( QString& v, const platform::Registry& r, const QString& n )
{
   return Read( []( QString& x, const platform::Registry& g, const QString& m )
                { return ReadRegistryString( x, g, m ); },
                v, r, n );
}

// Runs one of the three operations, showing what ends it.
template <class Work>
void Guarded( Work work, int line )
{
   try
   {
      work();
   }
   catch ( const MissingKey& )
   {
      TMainWindow::RegistryDataCorrupted = true;
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
      ReportUnexpectedException( SourceName, line );
   }
}

void OpenForSave( platform::Registry& registry, const char* subkey )
{
   if ( !registry.OpenKey( Key( subkey ), true ) )
      throw std::runtime_error( "Unable to open/create registry key" );
}

void OpenForLoad( platform::Registry& registry, const char* subkey )
{
   if ( !registry.OpenKey( Key( subkey ), false ) )
      throw MissingKey();
}

// The recent-file menu from its values, index 0 on top.
void LoadRecentFiles( TMainWindow& window, QMenu* menu, const platform::Registry& registry, const QString& prefix )
{
   menu->clear();
   for ( int i = TMainWindow::MaxRecentFiles - 1; i >= 0; --i )
   {
      QString path;
      if ( ReadString( path, registry, prefix + QString::number( i ) ) && !path.isEmpty() )
         window.AddRecentFile( menu, path );
   }
}

void SaveRecentFiles( const QMenu* menu, platform::Registry& registry, const QString& prefix )
{
   const QStringList paths = TMainWindow::RecentFiles( menu );
   for ( int i = 0; i < paths.size(); ++i )
      registry.WriteString( prefix + QString::number( i ), paths[i] );
   // A shorter list must not bring back the entries it has lost.
   for ( int i = int( paths.size() ); i < TMainWindow::MaxRecentFiles; ++i )
      registry.DeleteValue( prefix + QString::number( i ) );
}

// What is saved of one tool bar.
struct ToolBarRecord
{
   QToolBar* toolBar = nullptr;
   bool visible = false;
   bool floating = false;
   int32_t tag = 0;
   int32_t left = 0, top = 0, clientWidth = 0, clientHeight = 0, undockWidth = 0, undockHeight = 0;
   int32_t hostDockSite = 0;

   // Docked in the order of the rows of a site: rows from the area's edge (top, then left for a horizontal site;
   // left, then top for a vertical one), equal records in the order they were met.
   bool operator<( const ToolBarRecord& b ) const
   {
      if ( hostDockSite != b.hostDockSite )
         return hostDockSite < b.hostDockSite;
      if ( hostDockSite % 2 == 1 )
         return left != b.left ? left < b.left : top < b.top;
      return top != b.top ? top < b.top : left < b.left;
   }
};

// The site number of a tool-bar area: 0 top, 1 left, 2 bottom, 3 right.
int SiteOf( Qt::ToolBarArea area )
{
   const auto& bars = TMainWindow::ControlBars;
   const auto i = std::find( bars.begin(), bars.end(), area );
   return i != bars.end() ? int( i - bars.begin() ) : 0;
}

// The rectangle of a screen that exists now nearest to a point.
QRect ScreenGeometryNear( QPoint p )
{
   QScreen* best = QGuiApplication::screenAt( p );
   if ( best == nullptr )
   {
      qint64 bestDistance = std::numeric_limits<qint64>::max();
      for ( QScreen* screen : QGuiApplication::screens() )
      {
         const QRect g = screen->geometry();
         const qint64 dx = std::max( { g.left() - p.x(), 0, p.x() - g.right() } );
         const qint64 dy = std::max( { g.top() - p.y(), 0, p.y() - g.bottom() } );
         if ( dx * dx + dy * dy < bestDistance )
         {
            bestDistance = dx * dx + dy * dy;
            best = screen;
         }
      }
   }
   return best != nullptr ? best->geometry() : QRect( 0, 0, 1024, 768 );
}

// A rectangle kept so that 32 pixels of its width and its top edge lie on the screen nearest to it.
QPoint ClampedPosition( int left, int top, int width )
{
   const QRect s = ScreenGeometryNear( QPoint( left, top ) );
   int x = left;
   if ( x < s.left() + 32 - width )
      x = s.left() + 32 - width;
   else if ( x > s.right() + 1 - 32 )
      x = s.right() + 1 - 32;
   int y = top;
   if ( y < s.top() )
      y = s.top();
   else if ( y > s.bottom() + 1 - 32 )
      y = s.bottom() + 1 - 32;
   return { x, y };
}

// Moves a window to its saved place, when both coordinates were saved; true when it was moved.
bool PlaceFromSettings( QWidget* window, const QString& name, const platform::Registry& registry )
{
   int32_t left = 0, top = 0;
   if ( window == nullptr || !ReadInt( left, registry, name + "_Left" ) || !ReadInt( top, registry, name + "_Top" ) )
      return false;
   TMainWindow::PlaceWindowClamped( window, left, top );
   return true;
}

// A processing window's own settings, then its place (the registry open on "Window Status").
void RestoreFromSettings( TProcessingWindow& window, platform::Registry& registry )
{
   if ( window.settingsRestored )
      return;
   window.settingsRestored = true;
   window.LoadSettings( registry );
   if ( PlaceFromSettings( &window, window.objectName(), registry ) )
      window.placed = true;
}

} // namespace

void TMainWindow::RestoreWindowSettings( TProcessingWindow& window )
{
   if ( !windowSettingsLoaded || window.settingsRestored )
      return;
   platform::Registry registry;
   Guarded(
       [&]
       {
          if ( registry.OpenKey( Key( "Window Status" ), false ) )
             RestoreFromSettings( window, registry );
          window.settingsRestored = true;
       },
       __LINE__ );
}

void TMainWindow::PlaceWindowClamped( QWidget* window, int left, int top )
{
   if ( window != nullptr )
      window->move( ClampedPosition( left, top, window->frameGeometry().width() ) );
}

void TMainWindow::FloatToolBar( QToolBar* toolBar, const QRect& bounds )
{
   // It stays an item of the main window's layout (skipped while it is a window of its own), so that dragging it
   // back onto a tool-bar area docks it again.
   if ( toolBarArea( toolBar ) == Qt::NoToolBarArea )
      addToolBar( Qt::TopToolBarArea, toolBar );
   toolBar->hide();
   toolBar->setWindowFlags( Qt::Tool | Qt::FramelessWindowHint );
   const QPoint at = ClampedPosition( bounds.left(), bounds.top(), bounds.width() );
   toolBar->setGeometry( QRect( at, bounds.size().expandedTo( toolBar->minimumSizeHint() ) ) );
   toolBar->show();
   Q_EMIT toolBar->topLevelChanged( true );
}

int TMainWindow::LoadToolBarLayout( platform::Registry& registry )
{
   int count = 0;
   Guarded(
       [&]
       {
          if ( !registry.OpenKey( Key( "Tool Bars" ), false ) )
             return;
          // Ctrl held at start-up restores the default layout; the saved one stays until the next save.
          if ( platform::KeyTracker::Instance().IsControlDown() ||
               QGuiApplication::queryKeyboardModifiers().testFlag( Qt::ControlModifier ) )
             return;
          std::vector<ToolBarRecord> docked;
          for ( const auto& [toolBar, action] : ToolBarActions() )
          {
             const QString t = toolBar->objectName();
             if ( !registry.ValueExists( t ) )
                continue;
             ++count;
             ToolBarRecord r;
             r.toolBar = toolBar;
             const bool complete =
                 ReadBool( r.visible, registry, t + "_Visible" ) && ReadBool( r.floating, registry, t + "_Floating" ) &&
                 ReadInt( r.tag, registry, t + "_Tag" ) && ReadInt( r.left, registry, t + "_Left" ) &&
                 ReadInt( r.top, registry, t + "_Top" ) && ReadInt( r.clientWidth, registry, t + "_ClientWidth" ) &&
                 ReadInt( r.clientHeight, registry, t + "_ClientHeight" ) &&
                 ReadInt( r.undockWidth, registry, t + "_UndockWidth" ) &&
                 ReadInt( r.undockHeight, registry, t + "_UndockHeight" ) &&
                 ReadInt( r.hostDockSite, registry, t + "_HostDockSite" );
             if ( !complete || !r.visible )
                continue;
             if ( r.floating )
             {
                FloatToolBar( toolBar, QRect( r.left, r.top, r.clientWidth, r.clientHeight ) );
                toolBar->setProperty( "Tag", 1 );
             }
             else
                docked.push_back( r );
          }
          std::stable_sort( docked.begin(), docked.end() );
          const ToolBarRecord* previous = nullptr;
          for ( const ToolBarRecord& r : docked )
          {
             const int site = r.hostDockSite >= 0 && r.hostDockSite < 4 ? r.hostDockSite : 0;
             const Qt::ToolBarArea area = ControlBars[size_t( site )];
             // A new row where the row coordinate changes.
             if ( previous != nullptr && previous->hostDockSite == r.hostDockSite &&
                  ( site % 2 == 1 ? previous->left != r.left : previous->top != r.top ) )
                addToolBarBreak( area );
             addToolBar( area, r.toolBar );
             r.toolBar->show();
             r.toolBar->setProperty( "Tag", 1 );
             previous = &r;
          }
       },
       __LINE__ );
   return count;
}

void TMainWindow::LoadSettings()
{
   platform::Registry registry;
   LoadSettings( registry );
}

void TMainWindow::SaveSettings()
{
   platform::Registry registry;
   SaveSettings( registry );
}

void TMainWindow::LoadSettings( platform::Registry& registry )
{
   const bool corruptedBefore = RegistryDataCorrupted;
   Guarded(
       [&]
       {
          // First run: nothing of the main window saved yet (the preferences may have been).
          const char* subkeys[] = { "Recent Files", "Readout Options", "Global RGB Working Space",
                                    "Initial Directories", "Tool Bars", "Window Status" };
          if ( std::none_of( std::begin( subkeys ), std::end( subkeys ),
                             [&registry]( const char* k ) { return registry.KeyExists( Key( k ) ); } ) )
             return;

          // An empty recent-file list leaves no key behind: its absence is no damage.
          if ( registry.OpenKey( Key( "Recent Files" ), false ) )
          {
             LoadRecentFiles( *this, FileOpenRecentImages_MenuItem, registry, "RecentImageFile" );
             LoadRecentFiles( *this, FileOpenRecentProcessIcons_MenuItem, registry, "RecentProcessIconSetModuleFile" );
          }

          OpenForLoad( registry, "Readout Options" );
          int32_t byte = 0;
          if ( ReadInt( byte, registry, "ReadoutData" ) )
             readoutOptions.data = uint8_t( byte );
          if ( ReadInt( byte, registry, "ReadoutMode" ) )
             readoutOptions.mode = uint8_t( byte );
          ReadInt( readoutOptions.probeSize, registry, "ReadoutProbeSize" );
          ReadBool( readoutOptions.real, registry, "ReadoutReal" );
          ReadInt( readoutOptions.precision, registry, "ReadoutPrecision" );
          double range = readoutOptions.maxValue;
          // Truncated toward zero; a value no 32-bit range can hold is damage, not a setting.
          if ( ReadDouble( range, registry, "ReadoutRange" ) )
          {
             if ( std::isfinite( range ) && range >= 0 && range <= 4294967295.0 )
                readoutOptions.maxValue = uint32_t( range );
             else
                RegistryDataCorrupted = true;
          }

          OpenForLoad( registry, "Global RGB Working Space" );
          {
             const qor::RGBColorSystem builtIn;
             const qor::RGBColorSystem::Data& d = builtIn.Values();
             double Y[3] = { d.Y[0], d.Y[1], d.Y[2] };
             double x[3] = { d.x[0], d.x[1], d.x[2] };
             double y[3] = { d.y[0], d.y[1], d.y[2] };
             double gamma = d.gamma;
             bool sRGB = d.sRGBGamma;
             const char* colour[3] = { "Red", "Green", "Blue" };
             for ( int i = 0; i < 3; ++i )
                ReadDouble( Y[i], registry, QString( colour[i] ) + "LuminanceCoefficient" );
             for ( int i = 0; i < 3; ++i )
                ReadDouble( x[i], registry, QString( colour[i] ) + "ChromaticityX" );
             for ( int i = 0; i < 3; ++i )
                ReadDouble( y[i], registry, QString( colour[i] ) + "ChromaticityY" );
             ReadDouble( gamma, registry, "Gamma" );
             ReadBool( sRGB, registry, "sRGBGammaFunction" );
             try
             {
                const float fx[3] = { float( x[0] ), float( x[1] ), float( x[2] ) };
                const float fy[3] = { float( y[0] ), float( y[1] ), float( y[2] ) };
                const float fY[3] = { float( Y[0] ), float( Y[1] ), float( Y[2] ) };
                GlobalRGBWorkingSpace.SetParameters( float( gamma ), sRGB, fx, fy, fY );
             }
             catch ( const qor::Exception& )
             {
                // Values no working space can have: the built-in one stays.
                RegistryDataCorrupted = true;
             }
          }

          OpenForLoad( registry, "Initial Directories" );
          QString directory;
          if ( ReadString( directory, registry, "OpenImageInitialDirectory" ) )
             openDialogInitialDirectory = directory;
          directory.clear();
          if ( ReadString( directory, registry, "OpenProcessIconsInitialDirectory" ) )
             processIconsOpenDialogInitialDirectory = directory;

          OpenForLoad( registry, "Window Status" );
          PlaceFromSettings( &StatusDialog(), "ProcessingStatusDialog", registry );
          PlaceFromSettings( &DynamicCropDialog(), "DynamicCropDialog", registry );
          PlaceFromSettings( &DynamicBackgroundExtractionDialog(), "DynamicBackgroundExtractionDialog", registry );
          for ( TProcessingWindow* w : std::vector<TProcessingWindow*>( ProcessingWindows ) )
             RestoreFromSettings( *w, registry );
       },
       __LINE__ );
   // The processing windows made from now on are restored as they are made; so are those whose restoring a
   // failure above cut short.
   windowSettingsLoaded = true;
   // Told once, however many values were damaged; the next save writes everything afresh.
   if ( RegistryDataCorrupted && !corruptedBefore )
      platform::ShowMessage( platform::Icon::Warning, ApplicationTitle(), CorruptedText );
}

void TMainWindow::SaveSettings( platform::Registry& registry )
{
   Guarded(
       [&]
       {
          if ( RegistryDataCorrupted )
          {
             registry.DeleteKey( ApplicationRegistryKey() );
             RegistryDataCorrupted = false;
          }

          OpenForSave( registry, "Recent Files" );
          SaveRecentFiles( FileOpenRecentImages_MenuItem, registry, "RecentImageFile" );
          SaveRecentFiles( FileOpenRecentProcessIcons_MenuItem, registry, "RecentProcessIconSetModuleFile" );

          OpenForSave( registry, "Readout Options" );
          registry.WriteInteger( "ReadoutData", readoutOptions.data );
          registry.WriteInteger( "ReadoutMode", readoutOptions.mode );
          registry.WriteInteger( "ReadoutProbeSize", readoutOptions.probeSize );
          registry.WriteBool( "ReadoutReal", readoutOptions.real );
          registry.WriteInteger( "ReadoutPrecision", readoutOptions.precision );
          registry.WriteFloat( "ReadoutRange", double( readoutOptions.maxValue ) );

          OpenForSave( registry, "Global RGB Working Space" );
          const char* colour[3] = { "Red", "Green", "Blue" };
          const qor::RGBColorSystem::Data& space = GlobalRGBWorkingSpace.Values();
          for ( int i = 0; i < 3; ++i )
             registry.WriteFloat( QString( colour[i] ) + "LuminanceCoefficient", space.Y[i] );
          for ( int i = 0; i < 3; ++i )
             registry.WriteFloat( QString( colour[i] ) + "ChromaticityX", space.x[i] );
          for ( int i = 0; i < 3; ++i )
             registry.WriteFloat( QString( colour[i] ) + "ChromaticityY", space.y[i] );
          registry.WriteFloat( "Gamma", space.gamma );
          registry.WriteBool( "sRGBGammaFunction", space.sRGBGamma );

          OpenForSave( registry, "Initial Directories" );
          registry.WriteString( "OpenImageInitialDirectory", openDialogInitialDirectory );
          registry.WriteString( "OpenProcessIconsInitialDirectory", processIconsOpenDialogInitialDirectory );

          OpenForSave( registry, "Tool Bars" );
          for ( const auto& [toolBar, action] : ToolBarActions() )
          {
             const QString t = toolBar->objectName();
             const bool floating = toolBar->isFloating();
             const QRect frame = floating ? toolBar->frameGeometry() : toolBar->geometry();
             registry.WriteBool( t, true );
             // Saved after the window has closed: what counts is whether the bar itself is shown.
             registry.WriteBool( t + "_Visible", !toolBar->isHidden() );
             registry.WriteBool( t + "_Floating", floating );
             registry.WriteInteger( t + "_Tag", toolBar->property( "Tag" ).toInt() );
             registry.WriteInteger( t + "_Left", frame.left() );
             registry.WriteInteger( t + "_Top", frame.top() );
             registry.WriteInteger( t + "_ClientWidth", frame.width() );
             registry.WriteInteger( t + "_ClientHeight", frame.height() );
             registry.WriteInteger( t + "_UndockWidth", floating ? frame.width() : toolBar->sizeHint().width() );
             registry.WriteInteger( t + "_UndockHeight", floating ? frame.height() : toolBar->sizeHint().height() );
             registry.WriteInteger( t + "_HostDockSite", floating ? 0 : SiteOf( toolBarArea( toolBar ) ) );
          }

          OpenForSave( registry, "Window Status" );
          const QPoint status = StatusDialog().pos();
          registry.WriteInteger( "ProcessingStatusDialog_Left", status.x() );
          registry.WriteInteger( "ProcessingStatusDialog_Top", status.y() );
          registry.WriteInteger( "DynamicCropDialog_Left", DynamicCropDialog().x() );
          registry.WriteInteger( "DynamicCropDialog_Top", DynamicCropDialog().y() );
          const QPoint dbe = DynamicBackgroundExtractionDialog().pos();
          registry.WriteInteger( "DynamicBackgroundExtractionDialog_Left", dbe.x() );
          registry.WriteInteger( "DynamicBackgroundExtractionDialog_Top", dbe.y() );
          for ( TProcessingWindow* w : std::vector<TProcessingWindow*>( ProcessingWindows ) )
          {
             const QString name = w->objectName();
             registry.WriteBool( name + "_Visible", w->isVisible() );
             registry.WriteBool( name + "_Minimized", w->isMinimized() || w->IsCollapsed() );
             // A window never shown nor placed has no place of its own: the one saved before stays.
             if ( w->placed || w->testAttribute( Qt::WA_Moved ) )
             {
                registry.WriteInteger( name + "_Left", w->x() );
                registry.WriteInteger( name + "_Top", w->y() );
             }
             w->SaveSettings( registry );
          }
          // The file is written here; a file that cannot be written is reported like any other failure.
          registry.CloseKey();
       },
       __LINE__ );
}
