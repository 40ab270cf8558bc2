// The main window's File and Edit actions: opening (dialogs, recent files, dropped files), revert, save, close,
// undo, the clipboard and the purges.

#include "windows/main/MainWindow.h"

#include <QAction>
#include <QClipboard>
#include <QDir>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFileInfo>
#include <QGuiApplication>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QUrl>

#include <vector>

#include "platform/ColorManagementSettings.h"
#include "platform/FileDialogs.h"
#include "platform/KeyTracker.h"
#include "platform/Prompter.h"
#include "process/Process.h"
#include "support/FailureReport.h"
#include "windows/dialogs/ColorManagementSetupDialog.h"
#include "windows/dialogs/ModifiedImageDialog.h"
#include "windows/image/ImageFileFormat.h"
#include "windows/image/ImageWindow.h"
#include "windows/main/Application.h"
#include "windows/processing/FITSHeaderWindow.h"
#include "windows/processing/IPTCPhotoInfoWindow.h"
#include "windows/processing/NewImageWindow.h"
#include "windows/processing/PreferencesWindow.h"
#include "windows/processing/ProcessingStatusDialog.h"
#include "windows/processing/ReadoutOptionsWindow.h"

namespace
{

constexpr const char* SourceName = "windows/main/MainWindow";

// The Qt form of a filter: the description without its own pattern list, then the patterns.
QString QtFilter( const QString& description, const QString& patterns )
{
   QString text = description;
   const int open = text.indexOf( '(' );
   if ( open > 0 )
      text = text.left( open ).trimmed();
   return text + " (" + QString( patterns ).replace( ';', ' ' ) + ")";
}

// The dynamic sessions (crop, background extraction) that must be cancelled before a file action; the user may
// refuse. No window runs such a session yet.
bool ConfirmSessions( TImageWindow& window )
{
   (void)window;
   return true;
}

// The two status lines of a file action: the title, then the file.
void StatusTasks( TProcessingStatusDialog& status, const QString& title, const QString& file )
{
   status.AddTask( title.toStdString(), 0, 0 );
   status.NextTask();
   status.AddTask( file.toStdString(), 1, 0 );
   status.NextTask();
}

// Deletes a window's undo data; asks first when told to (once for a whole purge). False when the user refused.
bool PurgeWindowUndo( TImageWindow& window, int32_t& count, bool ask )
{
   if ( !window.undoAvailable && !window.redoAvailable )
      return true;
   if ( ask && platform::Ask( platform::Icon::Warning, "Purge Undo",
                              "Undo/redo saved images will be deleted. This cannot be undone. Proceed?",
                              platform::Buttons::OkCancel, platform::Answer::Cancel ) != platform::Answer::Ok )
      return false;
   window.PurgeUndo();
   ++count;
   return true;
}

int32_t PurgeWindowCaches( TImageWindow& window )
{
   return window.DiscardHistograms( true ) + window.DiscardStatistics( true );
}

std::vector<QPointer<TImageWindow>> AllImageWindows()
{
   std::vector<QPointer<TImageWindow>> windows;
   for ( TImageWindow::View* view : MainViewList )
      windows.emplace_back( view->Window() );
   return windows;
}

// Asks the questions of closing one window of a Close All, then closes it. False when the user chose Cancel.
bool CloseAsking( TImageWindow* window )
{
   const int answer = window->AskCloseQuestions();
   if ( answer == TModifiedImageDialog::CancelResult )
      return false;
   if ( answer != TModifiedImageDialog::YesResult )
      return true;
   // Everything has been asked: the window's own close finds nothing left to ask.
   const int32_t modifications = window->modificationCount;
   window->modificationCount = 0;
   window->ReleaseMaskReferences();
   QPointer<TImageWindow> guard( window );
   if ( !window->Frame()->close() && guard != nullptr )
      guard->modificationCount = modifications;
   return true;
}

} // namespace

// ---- Construction ------------------------------------------------------------------------------------------------

void TMainWindow::BuildFileAndEditActions()
{
   auto make = [this]( const char* name, const QString& text, QKeySequence shortcut, void ( TMainWindow::*handler )() )
   {
      auto* action = new QAction( text, this );
      action->setObjectName( name );
      action->setShortcut( shortcut );
      connect( action, &QAction::triggered, this, handler );
      addAction( action );
      return action;
   };

   FileNew_Action = make( "FileNew_Action", "New Image...", QKeySequence( "Ctrl+N" ), &TMainWindow::FileNew_ActionExecute );
   FileOpen_Action = make( "FileOpen_Action", "Open...", QKeySequence( "Ctrl+O" ), &TMainWindow::FileOpen_ActionExecute );
   FileOpenACopy_Action = make( "FileOpenACopy_Action", "Open a Copy...", QKeySequence( "Ctrl+Shift+O" ),
                                &TMainWindow::FileOpenACopy_ActionExecute );
   FileRevert_Action = make( "FileRevert_Action", "Revert", {}, &TMainWindow::FileRevert_ActionExecute );
   FileSave_Action = make( "FileSave_Action", "Save", QKeySequence( "Ctrl+S" ), &TMainWindow::FileSave_ActionExecute );
   FileSaveAs_Action = make( "FileSaveAs_Action", "Save As...", QKeySequence( "Ctrl+Shift+S" ),
                             &TMainWindow::FileSaveAs_ActionExecute );
   FileClose_Action = make( "FileClose_Action", "Close", {}, &TMainWindow::FileClose_ActionExecute );
   FileCloseAll_Action = make( "FileCloseAll_Action", "Close All", {}, &TMainWindow::FileCloseAll_ActionExecute );
   FileFITSHeader_Action = make( "FileFITSHeader_Action", "FITS Header...", {}, &TMainWindow::FileFITSHeader_ActionExecute );
   FileIPTCPhotoInfo_Action =
       make( "FileIPTCPhotoInfo_Action", "IPTC Photo Info...", {}, &TMainWindow::FileIPTCPhotoInfo_ActionExecute );
   FileExit_Action = make( "FileExit_Action", "Exit", QKeySequence( "Ctrl+X" ), &TMainWindow::FileExit_ActionExecute );

   EditUndo_Action = make( "EditUndo_Action", "Undo", QKeySequence( "Ctrl+Z" ), &TMainWindow::EditUndo_ActionExecute );
   EditEnableUndo_Action = make( "EditEnableUndo_Action", "Undo Enabled", {}, &TMainWindow::EditEnableUndo_ActionExecute );
   EditCopy_Action = make( "EditCopy_Action", "Copy View to Clipboard", QKeySequence( "Ctrl+C" ),
                           &TMainWindow::EditCopy_ActionExecute );
   EditPaste_Action = make( "EditPaste_Action", "New Image from Clipboard", QKeySequence( "Ctrl+V" ),
                            &TMainWindow::EditPaste_ActionExecute );
   EditPurgeUndo_Action = make( "EditPurgeUndo_Action", "Undo/Redo Buffers", {}, &TMainWindow::EditPurgeUndo_ActionExecute );
   EditPurgeHistograms_Action = make( "EditPurgeHistograms_Action", "Histograms/Statistics", {},
                                      &TMainWindow::EditPurgeHistograms_ActionExecute );
   EditPurgeClipboard_Action =
       make( "EditPurgeClipboard_Action", "Clipboard", {}, &TMainWindow::EditPurgeClipboard_ActionExecute );
   EditPurgeAll_Action = make( "EditPurgeAll_Action", "Purge All", {}, &TMainWindow::EditPurgeAll_ActionExecute );
   EditPreferences_Action =
       make( "EditPreferences_Action", "Preferences...", {}, &TMainWindow::EditPreferences_ActionExecute );
   EditReadoutOptions_Action =
       make( "EditReadoutOptions_Action", "Readout Options...", {}, &TMainWindow::EditReadoutOptions_ActionExecute );
   EditColorManagement_Action = make( "EditColorManagement_Action", "Color Management Setup...", {},
                                      &TMainWindow::EditColorManagement_ActionExecute );
   EditEnableUndo_Action->setCheckable( true );

   File_Menu->addAction( FileNew_Action );
   File_Menu->addSeparator();
   File_Menu->addAction( FileOpen_Action );
   File_Menu->addAction( FileOpenACopy_Action );
   FileOpenRecent_MenuItem = File_Menu->addMenu( "Open Recent" );
   FileOpenRecent_MenuItem->setObjectName( "FileOpenRecent_MenuItem" );
   FileOpenRecentImages_MenuItem = FileOpenRecent_MenuItem->addMenu( "Image Files" );
   FileOpenRecentImages_MenuItem->setObjectName( "FileOpenRecentImages_MenuItem" );
   FileOpenRecentProcessIcons_MenuItem = FileOpenRecent_MenuItem->addMenu( "Process Icon Set  Modules" );
   FileOpenRecentProcessIcons_MenuItem->setObjectName( "FileOpenRecentProcessIcons_MenuItem" );
   File_Menu->addAction( FileRevert_Action );
   File_Menu->addSeparator();
   File_Menu->addAction( FileSave_Action );
   File_Menu->addAction( FileSaveAs_Action );
   File_Menu->addSeparator();
   File_Menu->addAction( FileClose_Action );
   File_Menu->addAction( FileCloseAll_Action );
   File_Menu->addSeparator();
   File_Menu->addAction( FileFITSHeader_Action );
   File_Menu->addAction( FileIPTCPhotoInfo_Action );
   File_Menu->addSeparator();
   File_Menu->addAction( FileExit_Action );

   Edit_Menu->addAction( EditUndo_Action );
   Edit_Menu->addAction( EditEnableUndo_Action );
   Edit_Menu->addSeparator();
   Edit_Menu->addAction( EditCopy_Action );
   Edit_Menu->addAction( EditPaste_Action );
   Edit_Menu->addSeparator();
   EditPurge_MenuItem = Edit_Menu->addMenu( "Purge" );
   EditPurge_MenuItem->setObjectName( "EditPurge_MenuItem" );
   EditPurge_MenuItem->addAction( EditPurgeUndo_Action );
   EditPurge_MenuItem->addAction( EditPurgeHistograms_Action );
   EditPurge_MenuItem->addAction( EditPurgeClipboard_Action );
   EditPurge_MenuItem->addSeparator();
   EditPurge_MenuItem->addAction( EditPurgeAll_Action );
   Edit_Menu->addSeparator();
   Edit_Menu->addAction( EditPreferences_Action );
   Edit_Menu->addAction( EditReadoutOptions_Action );
   Edit_Menu->addAction( EditColorManagement_Action );
}

TImageWindow* TMainWindow::ActiveImageWindow() const
{
   QMdiSubWindow* child = ActiveDocumentChild();
   return child != nullptr ? qobject_cast<TImageWindow*>( child->widget() ) : nullptr;
}

// ---- Opening -----------------------------------------------------------------------------------------------------

QString TMainWindow::OpenDialogDefaultExtension( int filterIndex )
{
   switch ( filterIndex )
   {
   case 2:
      return "tif";
   case 4:
      return "raw";
   case 5:
      return "jpg";
   case 6:
      return "bmp";
   default:
      return "fit";
   }
}

QStringList TMainWindow::OpenDialogFilters()
{
   return { QtFilter( "All Known Formats (TIFF,FITS,RAW,JPEG,BMP)",
                      "*.tif;*.tiff;*.fit;*.fits;*.fts;*.raw;*.jpg;*.jpeg;*.bmp;*.fit.gz;*.fits.gz;*.fts.gz" ),
            QtFilter( "TIFF Files", "*.tif;*.tiff" ),
            QtFilter( "FITS Files", "*.fit;*.fits;*.fts;*.fit.gz;*.fits.gz;*.fts.gz" ),
            QtFilter( "RAW Files", "*.raw" ),
            QtFilter( "JPEG Files", "*.jpg;*.jpeg" ),
            QtFilter( "Bitmap Files", "*.bmp" ) };
}

void TMainWindow::ExecuteOpenDialog( bool asCopies )
{
   const QStringList filters = OpenDialogFilters();
   QString selected = filters.front();
   const QStringList names = platform::FileDialogs::getOpenFileNames(
       this, asCopies ? "Open Image Copy" : "Open Image", openDialogInitialDirectory, filters.join( ";;" ), &selected );
   if ( names.isEmpty() )
      return;
   // The filter chosen last decides the extension of names typed without one.
   const int index = int( filters.indexOf( selected ) );
   openDialogFilterIndex = index >= 0 ? index + 1 : 1;
   openDialogInitialDirectory = QFileInfo( names.front() ).absolutePath();
   OpenFiles( names, asCopies );
}

void TMainWindow::OpenFiles( const QStringList& paths, bool asCopies )
{
   TProcessingStatusDialog& status = StatusDialog();
   status.BeginTasks();
   status.AddTask( "Open files:", 0, 0 );
   status.NextTask();
   BeginProcessing();

   for ( int i = 0; i < paths.size(); ++i )
   {
      QString path = paths[i];
      status.AddTask( path.toStdString(), 1, 0 );
      status.NextTask();

      const QString suffix = QFileInfo( path ).suffix();
      const bool module = suffix.compare( "lf-psm", Qt::CaseInsensitive ) == 0;
      bool ok = false;
      if ( module )
      {
         if ( processIconSetLoader )
            ok = processIconSetLoader( path, true );
         else
            platform::ShowMessage( platform::Icon::Warning, ApplicationTitle(),
                                   "Process icon set modules cannot be opened by this version of Lumenforge:\n" +
                                       path );
      }
      else
      {
         if ( suffix.isEmpty() )
            path += "." + OpenDialogDefaultExtension( openDialogFilterIndex );
         ok = OpenImageFile( nullptr, path.toStdString(), asCopies, std::string() ) != nullptr;
      }

      if ( ok )
         AddRecentFile( module ? FileOpenRecentProcessIcons_MenuItem : FileOpenRecentImages_MenuItem, path );
      else if ( i + 1 < paths.size() &&
                platform::Ask( platform::Icon::None, ApplicationTitle(), "Continue opening files?",
                               platform::Buttons::YesNo, platform::Answer::Yes ) != platform::Answer::Yes )
         break;
   }

   EndProcessing();
   status.EndTasks();
}

QStringList TMainWindow::RecentFiles( const QMenu* menu )
{
   QStringList paths;
   for ( const QAction* item : menu->actions() )
      paths << item->data().toString();
   return paths;
}

void TMainWindow::AddRecentFile( QMenu* menu, const QString& path )
{
   const QList<QAction*> items = menu->actions();
   for ( const QAction* item : items )
      if ( item->data().toString().compare( path, Qt::CaseInsensitive ) == 0 )
         return;
   if ( items.size() >= MaxRecentFiles )
      delete items.back();

   // The caption is the path as it is: an ampersand in it is no shortcut mark.
   auto* item = new QAction( QString( path ).replace( "&", "&&" ), menu );
   item->setData( path );
   const bool images = menu == FileOpenRecentImages_MenuItem;
   connect( item, &QAction::triggered, this,
            [this, item, images]()
            {
               if ( images )
                  FileOpenRecentImageFile_MenuItemClick( item );
               else
                  FileOpenRecentProcessIconSetModule_MenuItemClick( item );
            } );
   menu->insertAction( items.isEmpty() ? nullptr : menu->actions().front(), item );
}

void TMainWindow::FileOpenRecentImageFile_MenuItemClick( QAction* item )
{
   OpenFiles( { item->data().toString() }, platform::KeyTracker::Instance().IsShiftDown() );
}

void TMainWindow::FileOpenRecentProcessIconSetModule_MenuItemClick( QAction* item )
{
   OpenFiles( { item->data().toString() }, false );
}

void TMainWindow::dragEnterEvent( QDragEnterEvent* event )
{
   if ( event->mimeData()->hasUrls() )
      event->acceptProposedAction();
}

void TMainWindow::dropEvent( QDropEvent* event )
{
   QStringList paths;
   for ( const QUrl& url : event->mimeData()->urls() )
      if ( url.isLocalFile() )
         paths << url.toLocalFile();
   const bool asCopies = event->modifiers().testFlag( Qt::ControlModifier ) ||
                         platform::KeyTracker::Instance().IsControlDown();
   event->acceptProposedAction();
   DropFiles( paths, asCopies );
}

void TMainWindow::DropFiles( const QStringList& paths, bool asCopies )
{
   raise();
   activateWindow();
   if ( paths.isEmpty() )
      return;
   // Opened once the drop has finished, so that the source program is not kept waiting.
   QMetaObject::invokeMethod(
       this, [this, paths, asCopies]() { OpenFiles( paths, asCopies ); }, Qt::QueuedConnection );
}

void TMainWindow::FileOpen_ActionExecute()
{
   ExecuteOpenDialog( false );
}

void TMainWindow::FileOpenACopy_ActionExecute()
{
   ExecuteOpenDialog( true );
}

// ---- Revert, save, close -------------------------------------------------------------------------------------

void TMainWindow::FileRevert_ActionExecute()
{
   QPointer<TImageWindow> window = ActiveImageWindow();
   if ( window == nullptr || window->filePath.empty() || window->modificationCount <= 0 || !ConfirmSessions( *window ) )
      return;
   if ( platform::Ask( platform::Icon::Warning, "Revert", "Revert cannot be undone: Current data will be lost. Proceed?",
                       platform::Buttons::YesNo, platform::Answer::No ) != platform::Answer::Yes )
      return;

   TProcessingStatusDialog& status = StatusDialog();
   status.BeginTasks();
   EndProcessing();
   status.AddTask( "Revert: " + window->mainView->Identifier(), 0, 0 );
   status.NextTask();
   if ( RevertImageWindow( *window ) == RevertOutcome::Failed && window != nullptr )
      window->Frame()->close();
   status.EndTasks();
}

void TMainWindow::FileSave_ActionExecute()
{
   TImageWindow* window = ActiveImageWindow();
   if ( window == nullptr || !ConfirmSessions( *window ) )
      return;
   if ( window->filePath.empty() || window->isCopy )
   {
      FileSaveAs_ActionExecute();
      return;
   }
   TProcessingStatusDialog& status = StatusDialog();
   status.BeginTasks();
   EndProcessing();
   StatusTasks( status, "Save file:", QString::fromStdString( window->filePath ) );
   SaveImageWindow( *window, window->filePath, false );
   status.EndTasks();
}

SaveAsDialogSetup SaveAsDialogSetup::For( const TImageWindow* window )
{
   SaveAsDialogSetup setup;
   if ( window == nullptr || window->filePath.empty() )
      return setup;

   const QFileInfo file( QString::fromStdString( window->filePath ) );
   setup.directory = file.absolutePath();
   setup.fileName = file.completeBaseName();
   const QString extension = file.suffix().toLower();
   switch ( window->fileFormat )
   {
   case TIFFImageFileFormat:
      setup.filterIndex = 1;
      if ( extension != "tif" )
      {
         setup.defaultExtensions[0] = "tiff";
         setup.patterns[0] = "*.tiff;*.tif";
      }
      break;
   case RAWImageFileFormat:
      setup.filterIndex = 3;
      break;
   case JPEGImageFileFormat:
      setup.filterIndex = 4;
      if ( extension != "jpg" )
      {
         setup.defaultExtensions[3] = "jpeg";
         setup.patterns[3] = "*.jpeg;*.jpg";
      }
      break;
   default:
      setup.filterIndex = 2;
      if ( extension == "fits" )
      {
         setup.defaultExtensions[1] = "fits";
         setup.patterns[1] = "*.fits;*.fit;*.fts";
      }
      else if ( extension != "fit" )
      {
         setup.defaultExtensions[1] = "fts";
         setup.patterns[1] = "*.fts;*.fit;*.fits";
      }
      break;
   }
   return setup;
}

QStringList SaveAsDialogSetup::Filters() const
{
   return { QtFilter( "TIFF Files", patterns[0] ), QtFilter( "FITS Files", patterns[1] ),
            QtFilter( "RAW Files", patterns[2] ), QtFilter( "JPEG Files", patterns[3] ) };
}

void TMainWindow::FileSaveAs_ActionExecute()
{
   TImageWindow* window = ActiveImageWindow();
   if ( window == nullptr || !ConfirmSessions( *window ) )
      return;

   const SaveAsDialogSetup setup = SaveAsDialogSetup::For( window );
   DefaultSaveExtensions = setup.defaultExtensions;
   const QStringList filters = setup.Filters();
   QString selected = filters[setup.filterIndex - 1];
   const QString proposal =
       setup.directory.isEmpty() ? setup.fileName : QDir( setup.directory ).filePath( setup.fileName );
   QString name = platform::FileDialogs::getSaveFileName( this, window->isCopy ? "Save Image Copy" : "Save Image",
                                                          proposal, filters.join( ";;" ), &selected );
   if ( name.isEmpty() )
      return;
   // The file type chosen last decides the extension of a name typed without one.
   const int index = int( filters.indexOf( selected ) );
   const int filterIndex = index >= 0 ? index + 1 : setup.filterIndex;

   TProcessingStatusDialog& status = StatusDialog();
   status.BeginTasks();
   EndProcessing();
   StatusTasks( status, "Save file:", name );
   if ( QFileInfo( name ).suffix().isEmpty() )
      name += "." + DefaultSaveExtensions[size_t( filterIndex - 1 )];
   SaveImageWindow( *window, name.toStdString(), true );
   status.EndTasks();
}

void TMainWindow::FileClose_ActionExecute()
{
   TImageWindow* window = ActiveImageWindow();
   if ( window == nullptr || !ConfirmSessions( *window ) )
      return;
   window->Frame()->close();
}

void TMainWindow::FileCloseAll_ActionExecute()
{
   // Last opened first; a Cancel to any question stops, leaving the windows not yet reached.
   std::vector<QPointer<TImageWindow>> windows = AllImageWindows();
   TModifiedImageDialog& dialog = GetModifiedImageDialog();
   dialog.cancelAllowed = true;
   for ( auto i = windows.rbegin(); i != windows.rend(); ++i )
      if ( *i != nullptr && !CloseAsking( *i ) )
         break;
   dialog.cancelAllowed = false;
}

void TMainWindow::FileExit_ActionExecute()
{
   close();
}

// ---- Tool windows of the File and Edit menus ---------------------------------------------------------------------

namespace
{

// Visible, restored when minimised, in front.
void ShowProcessingWindow( QWidget& window )
{
   window.showNormal();
   window.raise();
   window.activateWindow();
}

} // namespace

void TMainWindow::FileNew_ActionExecute()
{
   TNewImageWindow& window = NewImageWindow();
   if ( TImageWindow* active = ActiveImageWindow() )
      window.SelectView( active->mainView );
   ShowProcessingWindow( window );
}

void TMainWindow::FileFITSHeader_ActionExecute()
{
   TImageWindow* active = ActiveImageWindow();
   if ( active == nullptr )
      return;
   TFITSHeaderWindow& window = FITSHeaderWindow();
   window.SelectView( active->mainView );
   ShowProcessingWindow( window );
}

void TMainWindow::FileIPTCPhotoInfo_ActionExecute()
{
   TImageWindow* active = ActiveImageWindow();
   if ( active == nullptr )
      return;
   TIPTCPhotoInfoWindow& window = IPTCPhotoInfoWindow();
   window.SelectView( active->mainView );
   ShowProcessingWindow( window );
}

void TMainWindow::EditPreferences_ActionExecute()
{
   TPreferencesWindow& window = PreferencesWindow();
   window.LoadCurrentPreferences();
   ShowProcessingWindow( window );
}

void TMainWindow::EditReadoutOptions_ActionExecute()
{
   TReadoutOptionsWindow& window = ReadoutOptionsWindow();
   window.LoadCurrentOptions();
   if ( window.isMinimized() )
      window.showNormal();
   else
      window.show();
   window.raise();
   window.activateWindow();
}

void TMainWindow::EditColorManagement_ActionExecute()
{
   if ( !ColorManagementSettings.displayAvailable )
   {
      platform::ShowMessage( platform::Icon::Error, ApplicationTitle(),
                             "Lumenforge was unable to initialize a valid color management on this system.\n"
                             "The Color Management interface is not available." );
      return;
   }
   ColorManagementSetupDialog().ShowModal();
}

// ---- Undo ---------------------------------------------------------------------------------------------------------

void TMainWindow::EditUndo_ActionExecute()
{
   TImageWindow* window = ActiveImageWindow();
   if ( window == nullptr || ( !window->undoAvailable && !window->redoAvailable ) || !ConfirmSessions( *window ) )
      return;
   TProcessingStatusDialog& status = StatusDialog();
   status.BeginTasks();
   EndProcessing();
   // Undo when there are undo data, else redo.
   try
   {
      window->UndoRedo();
   }
   catch ( ... )
   {
      status.EndTasks();
      ReportCaughtFailure( SourceName, __LINE__ );
      return;
   }
   status.EndTasks();
}

void TMainWindow::EditEnableUndo_ActionExecute()
{
   TImageWindow* window = ActiveImageWindow();
   if ( window == nullptr )
      return;
   if ( window->undoEnabled )
   {
      if ( ( window->undoAvailable || window->redoAvailable ) &&
           platform::Ask( platform::Icon::Warning, "Disable Undo",
                          "Undo/redo saved images will be deleted. This cannot be undone. Proceed?",
                          platform::Buttons::YesNo, platform::Answer::No ) != platform::Answer::Yes )
         return;
      window->PurgeUndo();
      window->undoEnabled = false;
   }
   else
      window->undoEnabled = true;
}

// ---- Clipboard ----------------------------------------------------------------------------------------------------

void TMainWindow::EditCopy_ActionExecute()
{
   TImageWindow* window = ActiveImageWindow();
   if ( window == nullptr || window->currentView == nullptr )
      return;
   try
   {
      window->currentView->CopyToClipboard();
   }
   catch ( ... )
   {
      ReportCaughtFailure( SourceName, __LINE__ );
   }
}

void TMainWindow::EditPaste_ActionExecute()
{
   if ( !IsClipboardImageAvailable() )
      return;
   try
   {
      NewImageWindowFromClipboard( nullptr, std::string() );
   }
   catch ( ... )
   {
      ReportCaughtFailure( SourceName, __LINE__ );
   }
}

void TMainWindow::EditPurgeClipboard_ActionExecute()
{
   QGuiApplication::clipboard()->clear();
}

// ---- Purges -------------------------------------------------------------------------------------------------------

void TMainWindow::EditPurgeUndo_ActionExecute()
{
   int32_t count = 0;
   for ( const QPointer<TImageWindow>& window : AllImageWindows() )
      if ( window != nullptr && !PurgeWindowUndo( *window, count, count == 0 ) )
         return;
   platform::ShowMessage( platform::Icon::Information, "Purge Undo",
                          QString::number( count ) + " undo buffer(s) destroyed." );
}

void TMainWindow::EditPurgeHistograms_ActionExecute()
{
   int32_t count = 0;
   for ( const QPointer<TImageWindow>& window : AllImageWindows() )
      if ( window != nullptr )
         count += PurgeWindowCaches( *window );
   platform::ShowMessage( platform::Icon::Information, "Purge Histograms/Statistics",
                          QString::number( count ) + " image view(s) purged." );
}

void TMainWindow::EditPurgeAll_ActionExecute()
{
   int32_t undoCount = 0;
   int32_t cacheCount = 0;
   for ( const QPointer<TImageWindow>& window : AllImageWindows() )
   {
      if ( window == nullptr )
         continue;
      if ( !PurgeWindowUndo( *window, undoCount, undoCount == 0 ) )
         return;
      cacheCount += PurgeWindowCaches( *window );
   }
   const QMimeData* data = QGuiApplication::clipboard()->mimeData();
   const bool clipboardHeldData = data != nullptr && !data->formats().isEmpty();
   EditPurgeClipboard_ActionExecute();
   platform::ShowMessage( platform::Icon::Information, "Purge All",
                          QString::number( undoCount ) + " undo/redo buffer(s) destroyed.\n" +
                              QString::number( cacheCount ) + " histogram/statistics structure(s) deleted.\n" +
                              ( clipboardHeldData ? "Existing" : "No" ) + " clipboard data were deleted." );
}
