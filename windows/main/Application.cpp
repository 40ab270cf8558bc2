#include "windows/main/Application.h"

#include <QApplication>
#include <QPixmap>
#include <QScreen>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>
#include <exception>
#include <memory>

#include "classlib/Exception.h"
#include "classlib/FileReplacement.h"
#include "platform/KeyTracker.h"
#include "platform/Prompter.h"
#include "process/Preferences.h"
#include "support/Utils.h"
#include "windows/image/ImageWindow.h"
#include "windows/image/ImageWindow_ICM.h"
#include "windows/main/MainWindow.h"
#include "windows/main/PresentationWindow.h"
#include "windows/main/SingleInstanceLock.h"
#include "windows/main/SystemPerformance.h"
#include "windows/main/WindowServices.h"
#include "windows/processing/CurvesWindow.h"
#include "windows/processing/HistogramWindow.h"
#include "windows/processing/ProcessingStatusDialog.h"
#include "windows/tools/AdjustMonitorBrightnessWindow.h"
#include "windows/tools/MemoryWatchWindow.h"

namespace
{

// How long the main window is left to paint before the screenshot is taken.
constexpr int ScreenshotDelayMs = 1000;

// A refusal at start-up: on standard error for whoever started the program from a terminal, and in a box when
// somebody can see it.
void Refuse( const StartUpOptions& options, const QString& text )
{
   std::fprintf( stderr, "%s\n", text.toLocal8Bit().constData() );
   if ( options.displayVisible )
      platform::ShowMessage( platform::Icon::Error, ToolkitApplicationTitle(), text );
}

// The presentation window shows before the main window exists and paints before the benchmark starts.
void ShowPresentationWindow()
{
   PresentationWindow = new TPresentationWindow();
   PresentationWindow->show();
   QCoreApplication::processEvents();
}

// The display colour-management settings are loaded here, before the main window, and saved after it.
void LoadColorManagementSettingsAtStartUp()
{
   LoadColorManagementSettings();
}

void SaveColorManagementSettingsAtExit()
{
   SaveColorManagementSettings();
   ReleaseColorManagement();
}

// The swap-file folders that earlier runs left when they ended abnormally, in the system's temporary folder and in
// the one the preferences choose.
void RemoveAbandonedSwapFolders()
{
   TImageWindow::RemoveAbandonedSwapDirectories( GetTempDirectory() );
   const std::string& chosen = CurrentPreferences.imageWindow.swapFilesDirectory;
   if ( !chosen.empty() )
      TImageWindow::RemoveAbandonedSwapDirectories( chosen );
}

// Saves record their temporary files in the settings folder while they run: what a killed save left, wherever it
// was, goes at the next start (not only at the next save of the same file).
void RemoveFilesOfKilledSaves()
{
   qor::FileReplacement::SetRecordFolder(
       ( QStandardPaths::writableLocation( QStandardPaths::GenericConfigLocation ) + "/Corvanta/Lumenforge-saves" )
           .toStdString() );
   qor::FileReplacement::RemoveRecordedLeftovers();
}

void SaveScreenshot( TMainWindow& window, const QString& path )
{
   QPixmap shot;
   if ( QScreen* screen = window.screen() )
      shot = screen->grabWindow( 0 );
   if ( shot.isNull() )
      shot = window.grab();
   if ( !shot.save( path, "PNG" ) )
      std::fprintf( stderr, "Unable to save the screenshot: %s\n", path.toLocal8Bit().constData() );
}

} // namespace

StartUpOptions StartUpOptions::FromEnvironment()
{
   StartUpOptions options;
   options.screenshotPath = qEnvironmentVariable( "LF_SCREENSHOT" );
   options.displayVisible =
       DisplayVisible( QGuiApplication::platformName(), qEnvironmentVariable( "LF_VIRTUAL_DISPLAY" ) );
   return options;
}

bool StartUpOptions::DisplayVisible( const QString& platformName, const QString& virtualDisplay )
{
   if ( !virtualDisplay.isEmpty() && virtualDisplay != "0" )
      return false;
   return platformName != "offscreen" && platformName != "minimal";
}

bool DesktopLargeEnough( QSize size )
{
   return size.width() >= MinimumDesktopSize.width() && size.height() >= MinimumDesktopSize.height();
}

void CreateStartUpForms( TMainWindow* owner )
{
   if ( AdjustMonitorBrightnessWindow == nullptr )
      AdjustMonitorBrightnessWindow = new TAdjustMonitorBrightnessWindow( owner );
   if ( MemoryWatchWindow == nullptr )
      MemoryWatchWindow = new TMemoryWatchWindow( owner );
   // Windows with registry settings of their own exist before the main window loads them.
   HistogramWindow();
   CurvesWindow();
}

void DestroyStartUpForms()
{
   delete MemoryWatchWindow;
   MemoryWatchWindow = nullptr;
   delete AdjustMonitorBrightnessWindow;
   AdjustMonitorBrightnessWindow = nullptr;
}

int RunApplication( QApplication& app, const StartUpOptions& options )
{
   InstallWindowServices();
   SingleInstanceLock lock( options.lockDirectory );
   if ( lock.TryLock() == SingleInstanceLock::Result::HeldByAnother )
   {
      Refuse( options, "There is another instance of Lumenforge running - multiple instances not allowed." );
      return 1;
   }

   std::unique_ptr<TMainWindow> window;
   // The status dialog and the tool windows live as long as the main window and go before it.
   struct StatusDialogOwner
   {
      ~StatusDialogOwner()
      {
         DestroyStartUpForms();
         DestroyStatusDialog();
         delete PresentationWindow;
         PresentationWindow = nullptr;
      }
   } statusDialogOwner;
   try
   {
      QCoreApplication::setOrganizationName( "Corvanta" );
      QCoreApplication::setApplicationName( "Lumenforge" );
      QCoreApplication::setApplicationVersion( LF_VERSION );
      platform::InstallExceptionShowHandler();
      platform::KeyTracker::Instance(); // key state is read live from here on (Space, F5, F9, Esc...)

      QSize desktop = options.desktopSize.value_or(
          QGuiApplication::primaryScreen() != nullptr ? QGuiApplication::primaryScreen()->size() : QSize() );
      if ( !DesktopLargeEnough( desktop ) )
      {
         lock.Unlock();
         Refuse( options, "Lumenforge requires a minimum desktop size of 1024x768 pixels" );
         return 1;
      }

      CurrentPreferences.LoadFromRegistry();
      RemoveAbandonedSwapFolders();
      RemoveFilesOfKilledSaves();
      if ( CurrentPreferences.mainWindow.showSplashAtStartup )
         ShowPresentationWindow();
      MeasureSystemPerformance();
      LoadColorManagementSettingsAtStartUp();

      // The main window is the first form; the tool, processing and dialog windows follow it, then the main
      // window's own settings are restored.
      window = std::make_unique<TMainWindow>();
      StatusDialog();
      CreateStartUpForms( window.get() );
      window->LoadSettings();
      QObject::connect( window.get(), &TMainWindow::Closed, &app, &QCoreApplication::quit, Qt::QueuedConnection );
      app.setQuitOnLastWindowClosed( false );
      window->show();

      if ( !options.screenshotPath.isEmpty() )
      {
         TMainWindow* w = window.get();
         QString path = options.screenshotPath;
         QTimer::singleShot( ScreenshotDelayMs, w,
                             [w, path]
                             {
                                SaveScreenshot( *w, path );
                                w->close();
                             } );
      }

      QApplication::exec();

      window->SaveSettings();
      SaveColorManagementSettingsAtExit();
      CurrentPreferences.SaveToRegistry();
      return 0;
   }
   catch ( const qor::Exception& x )
   {
      platform::ShowMessage( platform::Icon::Error, ToolkitApplicationTitle(), QString::fromStdString( x.Message() ) );
   }
   catch ( const std::exception& x )
   {
      platform::ShowMessage( platform::Icon::Error, ToolkitApplicationTitle(), QString::fromLocal8Bit( x.what() ) );
   }
   catch ( ... )
   {
      ReportUnexpectedException( "windows/main/Application", __LINE__ );
      return 0;
   }
   // After a failure the program goes on with what it has, without saving anything at the end.
   if ( window != nullptr && window->isVisible() )
      QApplication::exec();
   return 0;
}

bool DeliverGuarded( QObject* receiver, const std::function<bool()>& deliver )
{
   QString message;
   try
   {
      return deliver();
   }
   catch ( const qor::Exception& e )
   {
      message = QString::fromStdString( e.Message() );
   }
   catch ( const std::exception& e )
   {
      message = QString::fromLocal8Bit( e.what() );
   }
   catch ( ... )
   {
   }
   if ( MainWindow != nullptr )
      MainWindow->ApplicationEvents1Exception( receiver, message );
   else
      platform::ShowMessage( platform::Icon::Error, ApplicationTitle(), "<* Unexpected Exception *>\n" + message );
   return false;
}

bool LumenforgeApplication::notify( QObject* receiver, QEvent* event )
{
   return DeliverGuarded( receiver, [&] { return QApplication::notify( receiver, event ); } );
}
