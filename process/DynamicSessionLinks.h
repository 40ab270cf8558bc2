#ifndef LF_PROCESS_DYNAMIC_SESSION_LINKS_H
#define LF_PROCESS_DYNAMIC_SESSION_LINKS_H

// How a dynamic process reaches the interactive edits of its class without knowing the window classes: the windows
// layer installs its answers at start-up (windows/image/DynamicSessionLinks.cpp) and answers by the process's
// identifier. An identifier that is not one of a dynamic process gets the empty answers, and so does every
// identifier before the windows are installed.

#include <string>

class Process;
class ProcessSessionDialog;
class ProcessView;
class QAction;

class DynamicSessionService
{
public:
   virtual bool HasSession( const ProcessView& view, const std::string& processId ) = 0;
   virtual const ProcessSessionDialog* SessionDialog( const std::string& processId ) = 0;
   virtual QAction* ModeAction( const std::string& processId ) = 0;
   virtual bool StartFromInstance( const Process& instance ) = 0;

protected:
   ~DynamicSessionService() = default;
};

// Installs the windows' answers (nullptr: none). Not owned.
void SetDynamicSessionService( DynamicSessionService* service );

// Whether the image window of the view holds edit data of that process (false for a view outside the windows).
bool HasDynamicSession( const ProcessView& view, const std::string& processId );
// The dialog that drives the edits of that process, or nullptr.
const ProcessSessionDialog* DynamicSessionDialog( const std::string& processId );
// The main window's mouse-mode action of that process, or nullptr.
QAction* DynamicSessionModeAction( const std::string& processId );
// When the active image window shows its main view: the process's mouse mode is chosen there and an edit of the
// instance starts on the window (refused with its message while an edit of the process runs anywhere). False, with
// nothing done, without such a window.
bool StartDynamicSessionFromInstance( const Process& instance );

#endif
