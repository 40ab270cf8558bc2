#ifndef LF_WINDOWS_MAIN_APPLICATION_H
#define LF_WINDOWS_MAIN_APPLICATION_H

// The program's start-up and shut-down, and the texts that name the application.
//
// RunApplication is the whole life of the program once the QApplication exists (app/main.cpp only calls it):
//   1. only one copy runs: a second one shows "There is another instance of Lumenforge running - multiple
//      instances not allowed." and returns 1;
//   2. a primary screen smaller than 1024x768 shows "Lumenforge requires a minimum desktop size of 1024x768
//      pixels" and returns 1 (both boxes captioned with the toolkit title "Lumenforge 1.0"; nothing else has been
//      done: the preferences are neither read nor written). Both texts also go to standard error, and on a display
//      nobody sees the box is left out: it would wait for an answer that never comes;
//   3. the preferences are loaded, the presentation window shows (when they ask for it) while the machine's speed is
//      measured, the main window and the tool windows are created, the main window's settings are restored and the
//      window shown; the message loop runs until the main window has closed; the main window's settings and the
//      preferences are saved; 0 is returned.
// An exception that escapes step 3 is shown; the loop is entered again when the main window exists, and nothing
// is saved.

#include <QSize>
#include <QString>

#include <optional>

#include <QApplication>

#include <functional>

#include "support/ApplicationNames.h"


struct StartUpOptions
{
   // The desktop size to check; the primary screen's when not set.
   std::optional<QSize> desktopSize;
   // Folder of the single-instance lock; the runtime folder when empty.
   QString lockDirectory;
   // When set, the program saves a PNG of its screen here once the main window shows, then closes itself.
   QString screenshotPath;
   // Whether anybody sees the display the program shows on, and so can answer a message box.
   bool displayVisible = true;

   // The options the environment asks for: LF_SCREENSHOT=<png path> sets screenshotPath; displayVisible follows
   // DisplayVisible for the platform in use and LF_VIRTUAL_DISPLAY. Needs the QApplication.
   static StartUpOptions FromEnvironment();
   // False on the toolkit platforms that draw into memory (offscreen, minimal) and when virtualDisplay is set (not
   // empty, not "0"): make run sets LF_VIRTUAL_DISPLAY when it starts the program under xvfb-run.
   static bool DisplayVisible( const QString& platformName, const QString& virtualDisplay );
};

constexpr QSize MinimumDesktopSize{ 1024, 768 };
bool DesktopLargeEnough( QSize size );

class TMainWindow;

// The tool windows made once at start-up, after the main window (each reached through its global), and their
// destruction before the main window goes.
void CreateStartUpForms( TMainWindow* owner );
void DestroyStartUpForms();

int RunApplication( QApplication& app, const StartUpOptions& options );

// Delivers an event, catching what an event handler lets escape: the exception is reported by the main window
// (ApplicationEvents1Exception, with the receiver and the exception's message) and the event counts as not
// handled. An exception must never unwind through the toolkit's event loop.
bool DeliverGuarded( QObject* receiver, const std::function<bool()>& deliver );

// The program's application object: every event goes through DeliverGuarded.
class LumenforgeApplication : public QApplication
{
public:
   LumenforgeApplication( int& argc, char** argv ) : QApplication( argc, argv ) {}
   bool notify( QObject* receiver, QEvent* event ) override;
};

#endif
