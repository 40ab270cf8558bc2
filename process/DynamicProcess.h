#ifndef LF_PROCESS_DYNAMIC_PROCESS_H
#define LF_PROCESS_DYNAMIC_PROCESS_H

// Category of the interactive processes: their parameters are drawn with the mouse on an image window rather than
// typed into a window. While such an edit (a session) is under way, the image window holds the process's edit data
// and one modeless dialog drives the edit, building instances from those data and running them on the window's
// main view.
//
// Every dynamic process runs on main views only, and while a session of its class is under way on a window, the
// only instance of that class that may run there is the one the session's dialog is running at that moment: an
// instance dropped from an icon, or any copy of the dialog's, is refused.

#include "process/Process.h"

// The dialog that drives a session, as the processes see it.
class ProcessSessionDialog
{
public:
   // The instance the dialog is running right now (built by its Apply and kept while it is launched), or nullptr.
   virtual const Process* ExecutingInstance() const = 0;

protected:
   ~ProcessSessionDialog() = default;
};

class DynamicProcess : public Process
{
public:
   DynamicProcess() = default;
   DynamicProcess( const DynamicProcess& ) = default;

   // "Dynamic".
   std::string Category() const override;
   // False on a preview; with a session of this class on the view's window and a dialog that drives it, true
   // only for the very instance the dialog is running; otherwise true.
   bool CanExecuteOn( const ProcessView& view ) const override;

   // Whether the view's window holds edit data of this process class.
   virtual bool IsSessionActive( const ProcessView& view ) const = 0;
   // The dialog that drives sessions of this class; none.
   virtual const ProcessSessionDialog* SessionDialog() const;
};

#endif
