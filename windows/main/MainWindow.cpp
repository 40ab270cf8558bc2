#include "windows/main/MainWindow.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QComboBox>
#include <QCursor>
#include <QGuiApplication>
#include <QLabel>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMimeData>
#include <QScreen>
#include <QToolBar>

#include <tiffio.h>

#include <algorithm>
#include <initializer_list>
#include <string>

#include "platform/Prompter.h"
#include "platform/Registry.h"
#include "process/Preferences.h"
#include "windows/dialogs/UnsavedImagesDialog.h"
#include "windows/image/Bitmaps.h"
#include "windows/image/Cursors.h"
#include "windows/image/ImageWindow.h"
#include "windows/image/ImageWindow_ICM.h"
#include "windows/main/Application.h"
#include "windows/main/WindowIcons.h"
#include "windows/main/ProcessPictures.h"
#include "windows/processing/ProcessIcon.h"

TMainWindow* MainWindow = nullptr;

namespace
{

// Formats a libtiff message into a buffer of bounded size; a message that does not fit is cut and marked.
QString FormatTIFFMessage( const char* format, va_list arguments )
{
   char buffer[TMainWindow::TIFFMessageBufferSize];
   va_list copy;
   va_copy( copy, arguments );
   int length = std::vsnprintf( buffer, sizeof( buffer ), format != nullptr ? format : "", copy );
   va_end( copy );
   if ( length < 0 )
      return QString();
   QString text = QString::fromLocal8Bit( buffer );
   if ( length >= static_cast<int>( sizeof( buffer ) ) )
      text += "...";
   return text;
}

// libtiff's handlers from before the main window existed, put back when it goes.
::TIFFErrorHandler previousTIFFErrorHandler = nullptr;
::TIFFErrorHandler previousTIFFWarningHandler = nullptr;

// True when the image of some window has changes not yet saved.
bool AnyImageUnsaved()
{
   return std::any_of( MainViewList.begin(), MainViewList.end(),
                       []( const TImageWindow::View* view ) { return view->IsModified(); } );
}

int ScreenWidth()
{
   QScreen* screen = QGuiApplication::primaryScreen();
   return screen != nullptr ? screen->geometry().width() : 0;
}

} // namespace

// ---------------------------------------------------------------------------------------------------------------

TMainWindow::TMainWindow( QWidget* parent ) : QMainWindow( parent )
{
   // Reachable through the global from here on, so that anything built below may already use it.
   MainWindow = this;
   setObjectName( "MainWindow" );

   desktop = new QMdiArea( this );
   desktop->setObjectName( "Desktop" );
   desktop->setHorizontalScrollBarPolicy( Qt::ScrollBarAsNeeded );
   desktop->setVerticalScrollBarPolicy( Qt::ScrollBarAsNeeded );
   setCentralWidget( desktop );
   BuildMenus();
   BuildFileAndEditActions();
   BuildToolBars();
   BuildCommandActions();
   FillToolBars();
   BuildReadoutActions();

   if ( CurrentPreferences.mainWindow.maximizeAtStartup )
   {
      if ( QScreen* screen = QGuiApplication::primaryScreen() )
         setGeometry( screen->availableGeometry() );
      setWindowState( windowState() | Qt::WindowMaximized );
   }

   UpdateDesktopBrush( false );
   setWindowTitle( Caption );
   setWindowIcon( ApplicationIcon() );

   previousTIFFErrorHandler = TIFFSetErrorHandler( &TMainWindow::TIFFErrorHandler );
   previousTIFFWarningHandler = TIFFSetWarningHandler( &TMainWindow::TIFFWarningHandler );

   SetProcessActionPictures();
   BuildNewProcessMenu();
   BuildProcessIconActions();

   // Over the tool bars the mouse shows the tool-selection cursor.
   for ( QWidget* w : std::initializer_list<QWidget*>{
             File_ToolBar, Edit_ToolBar, FastRotate_ToolBar, ImageView_ToolBar, SelectChannel_ComboBox, Zoom_ToolBar,
             Preview_ToolBar, Mask_ToolBar, Geometry_ToolBar, ColorSpaces_ToolBar, TransferCurves_ToolBar,
             AdvancedProcessing_ToolBar, ProcessIcons_ToolBar, Tools_ToolBar } )
      w->setCursor( ScreenCursor( CursorSelectTool ) );

   StartDisplayColorManagement();

   HideAllToolBars();
   {
      platform::Registry registry;
      if ( LoadToolBarLayout( registry ) == 0 )
         DockDefaultToolBars();
   }

   // Tool bars dock by the docking rule: the areas a tool bar may dock into are decided as its drag begins, and
   // the preference decides whether it can be dragged at all.
   for ( const auto& [toolBar, action] : ToolBarActions() )
   {
      QToolBar* t = toolBar;
      connect( t, &QToolBar::topLevelChanged, this,
               [this, t]( bool floating )
               {
                  if ( floating )
                     AllowDockingAreas( t );
                  t->setMovable( CurrentPreferences.mainWindow.enableToolBarAutoDragDock || floating );
               } );
   }
   ApplyToolBarDocking();

   // Stay-on-top windows float above other programs only while this one is active.
   connect( qApp, &QGuiApplication::applicationStateChanged, this,
            [this]( Qt::ApplicationState state )
            {
               if ( state == Qt::ApplicationActive )
                  ApplicationEvents1Activate();
               else
                  ApplicationEvents1Deactivate();
            } );

   // New image windows are placed (cascaded, never collapsed) as they appear on the desktop.
   desktop->viewport()->installEventFilter( this );
   ConnectIdleUpdate();
   showPixelReadout = []( TImageWindow& window, int32_t x, int32_t y ) { window.ShowPixelReadout( x, y ); };

   setAcceptDrops( CurrentPreferences.mainWindow.acceptDroppedFiles );
}

TMainWindow::~TMainWindow()
{
   setAcceptDrops( false );
   TIFFSetErrorHandler( previousTIFFErrorHandler );
   TIFFSetWarningHandler( previousTIFFWarningHandler );
   if ( MainWindow == this )
      MainWindow = nullptr;
}

// ---------------------------------------------------------------------------------------------------------------

void TMainWindow::BeginProcessing()
{
   processing = true;
   abortRequested = false;
   Q_EMIT ProcessingStateChanged( true );
}

void TMainWindow::EndProcessing()
{
   abortRequested = false;
   processing = false;
   Q_EMIT ProcessingStateChanged( false );
}

void TMainWindow::RequestAbort()
{
   if ( processing )
      abortRequested = true;
}

TMainWindow::ControlUpdateGuard::ControlUpdateGuard( TMainWindow* window ) : window( window )
{
   if ( window != nullptr )
      ++window->controlUpdateCount;
}

TMainWindow::ControlUpdateGuard::ControlUpdateGuard() : ControlUpdateGuard( MainWindow )
{
}

TMainWindow::ControlUpdateGuard::~ControlUpdateGuard()
{
   if ( window != nullptr )
      --window->controlUpdateCount;
}

QMdiSubWindow* TMainWindow::ActiveDocumentChild() const
{
   return desktop->currentSubWindow();
}

void TMainWindow::ActivateDocumentChild( QMdiSubWindow* child )
{
   pendingActiveChild = child;
   if ( !isEnabled() )
      return;
   pendingActiveChild = nullptr;
   if ( child != nullptr && child->mdiArea() == desktop && !child->isHidden() )
      desktop->setActiveSubWindow( child );
}

void TMainWindow::changeEvent( QEvent* event )
{
   QMainWindow::changeEvent( event );
   if ( event->type() == QEvent::WindowStateChange )
      minimized = isMinimized();
   if ( event->type() == QEvent::EnabledChange && isEnabled() && pendingActiveChild != nullptr )
      ActivateDocumentChild( pendingActiveChild );
}

// ---------------------------------------------------------------------------------------------------------------

void TMainWindow::UpdateDesktopBrush( bool repaint )
{
   const ColorsFontsPreferences& colours = CurrentPreferences.colorsFonts;
   const QColor background = PreferenceColor( colours.mainWindowBackgroundColor );
   desktopBitmap = CreateBackgroundBrushBitmap( colours.mainWindowBackgroundColor, colours.mainWindowForegroundColor );
   desktopBrush = QBrush( desktopBitmap );
   desktop->setBackground( colours.mainWindowBackgroundBrush ? desktopBrush : QBrush( background ) );
   if ( repaint )
      desktop->viewport()->update();
}

void TMainWindow::ApplyPreferences()
{
   setAcceptDrops( CurrentPreferences.mainWindow.acceptDroppedFiles );
   ApplyToolBarDocking();
   UpdateDesktopBrush( true );
   // The icons on the desktop take the new fonts and colours now, not when next clicked.
   UpdateProcessIconLayouts();
}

// ---------------------------------------------------------------------------------------------------------------

void TMainWindow::RefreshReadout()
{
   TImageWindow* window = ActiveImageWindow();
   if ( window == nullptr )
   {
      Readout_Panel->clear();
      return;
   }
   if ( window->currentView == nullptr || !showPixelReadout )
      return;
   const QPoint p = ReadoutPoint( *window, QCursor::pos() );
   showPixelReadout( *window, p.x(), p.y() );
}

QPoint TMainWindow::ReadoutPoint( const TImageWindow& window, QPoint screenPosition )
{
   const QPoint client = window.viewport()->mapFromGlobal( screenPosition );
   const int32_t zoom = window.currentView != nullptr ? window.currentView->zoom : 1;
   return { TImageWindow::ImageCoordinate( client.x() + window.ScrollX() - window.imageOffsetX, zoom ),
            TImageWindow::ImageCoordinate( client.y() + window.ScrollY() - window.imageOffsetY, zoom ) };
}

// ---------------------------------------------------------------------------------------------------------------

bool TMainWindow::FormClose()
{
   if ( CurrentPreferences.mainWindow.confirmProgramTermination &&
        platform::Ask( platform::Icon::Warning, "Close", "Exit Lumenforge?", platform::Buttons::YesNo,
                       platform::Answer::Yes ) != platform::Answer::Yes )
      return false;

   // Once terminating is set the image windows close without asking, so their unsaved changes are asked about
   // here, once for all of them.
   if ( AnyImageUnsaved() && GetUnsavedImagesDialog().Ask() != TUnsavedImagesDialog::YesResult )
      return false;

   if ( ProcessIconSetModificationCount != 0 && !ConfirmProcessIconSetLoss() )
      return false;

   const QMimeData* clipboard = QGuiApplication::clipboard()->mimeData();
   if ( clipboard != nullptr && clipboard->hasFormat( rawImageClipboardFormat ) )
   {
      switch ( platform::Ask( platform::Icon::None, ApplicationTitle(), "Purge clipboard raw image data before exit?",
                              platform::Buttons::YesNoCancel, platform::Answer::Yes ) )
      {
      case platform::Answer::Cancel:
         return false;
      case platform::Answer::Yes:
         EditPurgeClipboard_ActionExecute();
         break;
      default:
         break;
      }
   }

   terminating = true;
   QList<QMdiSubWindow*> children = desktop->subWindowList( QMdiArea::CreationOrder );
   for ( auto i = children.rbegin(); i != children.rend(); ++i )
      ( *i )->close();
   return true;
}

void TMainWindow::closeEvent( QCloseEvent* event )
{
   if ( terminating || FormClose() )
   {
      event->accept();
      Q_EMIT Closed();
   }
   else
      event->ignore();
}

// ---------------------------------------------------------------------------------------------------------------

void TMainWindow::TIFFErrorHandler( const char* /*module*/, const char* format, va_list arguments )
{
   platform::ShowMessage( platform::Icon::Error, ApplicationTitle() + ": TIFF Error",
                          FormatTIFFMessage( format, arguments ) );
}

void TMainWindow::TIFFWarningHandler( const char* /*module*/, const char* format, va_list arguments )
{
   if ( !CurrentPreferences.mainWindow.showStrictTIFFWarnings )
      return;
   platform::ShowMessage( platform::Icon::Warning, ApplicationTitle() + ": TIFF Warning",
                          FormatTIFFMessage( format, arguments ) );
}

// ---------------------------------------------------------------------------------------------------------------

void TMainWindow::BuildMenus()
{
   auto makeMenu = [this]( const char* name, const QString& title )
   {
      QMenu* menu = menuBar()->addMenu( title );
      menu->setObjectName( name );
      return menu;
   };
   File_Menu = makeMenu( "File_Menu", "&File" );
   // The mouse modes own Alt+R, Z, P, C, D, B, N and E: the menus' mnemonics keep clear of them.
   Edit_Menu = makeMenu( "Edit_Menu", "Edi&t" );
   Image_Menu = makeMenu( "Image_Menu", "&Image" );
   Preview_Menu = makeMenu( "Preview_Menu", "Pre&view" );
   Mask_Menu = makeMenu( "Mask_Menu", "&Mask" );
   Process_Menu = makeMenu( "Process_Menu", "Proce&ss" );
   Tools_Menu = makeMenu( "Tools_Menu", "T&ools" );
   Window_Menu = makeMenu( "Window_Menu", "&Window" );
   Help_Menu = makeMenu( "Help_Menu", "&Help" );

   Desktop_PopupMenu = new QMenu( this );
   Desktop_PopupMenu->setObjectName( "Desktop_PopupMenu" );
   ProcessIcon_PopupMenu = new QMenu( this );
   ProcessIcon_PopupMenu->setObjectName( "ProcessIcon_PopupMenu" );
}

QToolBar* TMainWindow::MakeToolBar( const char* name, const QString& title )
{
   QToolBar* toolBar = new QToolBar( title, this );
   toolBar->setObjectName( name );
   return toolBar;
}

QLabel* TMainWindow::MakePanel( QToolBar* toolBar, const char* name, int width )
{
   QLabel* panel = new QLabel( toolBar );
   panel->setObjectName( name );
   panel->setFrameStyle( QFrame::Panel | QFrame::Sunken );
   panel->setMinimumWidth( width );
   panel->setAutoFillBackground( true );
   toolBar->addWidget( panel );
   return panel;
}

void TMainWindow::BuildToolBars()
{
   File_ToolBar = MakeToolBar( "File_ToolBar", "File" );
   Edit_ToolBar = MakeToolBar( "Edit_ToolBar", "Edit" );
   ImageView_ToolBar = MakeToolBar( "ImageView_ToolBar", "Image View" );
   Zoom_ToolBar = MakeToolBar( "Zoom_ToolBar", "Zoom" );
   FastRotate_ToolBar = MakeToolBar( "FastRotate_ToolBar", "Fast Rotate" );
   Preview_ToolBar = MakeToolBar( "Preview_ToolBar", "Preview" );
   Mask_ToolBar = MakeToolBar( "Mask_ToolBar", "Mask" );
   Geometry_ToolBar = MakeToolBar( "Geometry_ToolBar", "Geometry" );
   ColorSpaces_ToolBar = MakeToolBar( "ColorSpaces_ToolBar", "Color Spaces" );
   TransferCurves_ToolBar = MakeToolBar( "TransferCurves_ToolBar", "Transfer Curves" );
   AdvancedProcessing_ToolBar = MakeToolBar( "AdvancedProcessing_ToolBar", "Advanced Processing" );
   ProcessIcons_ToolBar = MakeToolBar( "ProcessIcons_ToolBar", "Process Icons" );
   Tools_ToolBar = MakeToolBar( "Tools_ToolBar", "Tools" );
   Readout_ToolBar = MakeToolBar( "Readout_ToolBar", "Readout" );
   ColorSamples_ToolBar = MakeToolBar( "ColorSamples_ToolBar", "Color Samples" );
   Info_ToolBar = MakeToolBar( "Info_ToolBar", "Information" );

   SelectChannel_ComboBox = new QComboBox( ImageView_ToolBar );
   SelectChannel_ComboBox->setObjectName( "SelectChannel_ComboBox" );
   SelectChannel_ComboBox->setFixedWidth( 128 );
   ImageView_ToolBar->addWidget( SelectChannel_ComboBox );

   Position_Panel = MakePanel( Readout_ToolBar, "Position_Panel", 155 );
   Readout_Panel = MakePanel( Readout_ToolBar, "Readout_Panel", 300 );
   RGB_Panel = MakePanel( ColorSamples_ToolBar, "RGB_Panel", 23 );
   R_Panel = MakePanel( ColorSamples_ToolBar, "R_Panel", 23 );
   G_Panel = MakePanel( ColorSamples_ToolBar, "G_Panel", 23 );
   B_Panel = MakePanel( ColorSamples_ToolBar, "B_Panel", 23 );
   L_Panel = MakePanel( ColorSamples_ToolBar, "L_Panel", 23 );
   Info_Panel = MakePanel( Info_ToolBar, "Info_Panel", 500 );
}

// Every tool bar starts hidden and untagged (tag 1 marks a docked or placed one).
void TMainWindow::HideAllToolBars()
{
   for ( QToolBar* toolBar : findChildren<QToolBar*>() )
   {
      toolBar->hide();
      toolBar->setProperty( "Tag", 0 );
   }
}

void TMainWindow::DockDefaultToolBars()
{
   const bool wide = ScreenWidth() > 1024;
   DockToolBar( Qt::TopToolBarArea, Qt::NoToolBarArea, ImageView_ToolBar );
   DockToolBar( Qt::TopToolBarArea, Qt::NoToolBarArea, Zoom_ToolBar );
   DockToolBar( Qt::TopToolBarArea, Qt::NoToolBarArea, Preview_ToolBar );
   DockToolBar( Qt::TopToolBarArea, Qt::NoToolBarArea, Mask_ToolBar );
   if ( wide )
      DockToolBar( Qt::TopToolBarArea, Qt::LeftToolBarArea, Geometry_ToolBar );
   DockToolBar( Qt::TopToolBarArea, Qt::LeftToolBarArea, ColorSpaces_ToolBar );
   DockToolBar( Qt::TopToolBarArea, Qt::LeftToolBarArea, TransferCurves_ToolBar );
   DockToolBar( Qt::TopToolBarArea, Qt::LeftToolBarArea, AdvancedProcessing_ToolBar );
   if ( wide )
      DockToolBar( Qt::TopToolBarArea, Qt::LeftToolBarArea, Tools_ToolBar );
   DockToolBar( Qt::BottomToolBarArea, Qt::NoToolBarArea, Readout_ToolBar );
   if ( wide )
      DockToolBar( Qt::BottomToolBarArea, Qt::NoToolBarArea, ColorSamples_ToolBar );
   DockToolBar( Qt::BottomToolBarArea, Qt::NoToolBarArea, Info_ToolBar );
   // File, Edit, Fast Rotate and Process Icons stay hidden until the user shows them.
}

void TMainWindow::DockToolBar( Qt::ToolBarArea site, Qt::ToolBarArea overflow, QToolBar* toolBar )
{
   toolBar->setProperty( "Tag", 1 );
   const int siteWidth = std::max( width(), ScreenWidth() );
   const int wanted = toolBar->sizeHint().width();
   std::vector<ToolBarRow>& rows = dockedRows[site];
   int right = 0; // the right edge of the widest row
   for ( const ToolBarRow& row : rows )
      right = std::max( right, row.width );

   if ( siteWidth >= right + wanted + 8 )
   {
      // On the top row, right of everything docked (also of a wider row under it).
      if ( rows.empty() )
         rows.emplace_back();
      rows.front().width = right + wanted;
      rows.front().toolBars.push_back( toolBar );
   }
   else if ( overflow != Qt::NoToolBarArea )
   {
      addToolBar( overflow, toolBar ); // the area lays it out vertically, under those already there
      toolBar->show();
      return;
   }
   else
      rows.push_back( { wanted, { toolBar } } );

   // Qt appends a tool bar only to an area's last row: the area's tool bars are docked again, row by row.
   // A tool bar deleted meanwhile has left its row; one the user hid stays hidden.
   for ( ToolBarRow& row : rows )
      std::erase_if( row.toolBars, []( const QPointer<QToolBar>& t ) { return t.isNull(); } );
   std::erase_if( rows, []( const ToolBarRow& row ) { return row.toolBars.empty(); } );
   std::vector<QToolBar*> hidden; // removing a tool bar hides it: note first which ones the user hid
   for ( const ToolBarRow& row : rows )
      for ( QToolBar* t : row.toolBars )
      {
         if ( t != toolBar && t->isHidden() )
            hidden.push_back( t );
         removeToolBar( t );
      }
   for ( std::size_t i = 0; i < rows.size(); ++i )
   {
      if ( i > 0 )
         addToolBarBreak( site );
      for ( QToolBar* t : rows[i].toolBars )
      {
         addToolBar( site, t );
         t->setVisible( std::find( hidden.begin(), hidden.end(), t ) == hidden.end() );
      }
   }
}

void TMainWindow::StartDisplayColorManagement()
{
   LoadMonitorProfile();
   const ColorManagementSettingsRecord& s = ColorManagementSettings;
   const QString file = QString::fromStdString( s.monitorProfilePath );
   if ( s.monitorProfile == nullptr )
   {
      platform::ShowMessage( platform::Icon::Error, ToolkitApplicationTitle(),
                             file.isEmpty() ? "Failed to find the monitor ICC profile.\nColor management will be disabled."
                                            : "Failed to load the monitor ICC profile:\n" + file +
                                                  "\nColor management will be disabled." );
      return;
   }
   UpdateDefaultDisplayTransforms( false );
   if ( !s.displayAvailable )
      platform::ShowMessage( platform::Icon::Error, ToolkitApplicationTitle(),
                             "Unable to initialize the system CMS.\nColor management will be disabled.\n"
                             "Monitor profile: " + file + "\nDefault RGB profile: " +
                                 QString::fromStdString( s.DefaultRGBProfilePath ) + "\nDefault gray profile: " +
                                 QString::fromStdString( s.DefaultGrayProfilePath ) );
}
