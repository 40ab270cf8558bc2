#ifndef LF_WINDOWS_PROCESSING_PROCESSING_WINDOW_H
#define LF_WINDOWS_PROCESSING_PROCESSING_WINDOW_H

// The base of every modeless process window (and, through TLFToolWindow, of the tool windows).
//
// It adds to the interface base the standard buttons and keys that apply the window's process to every image or
// every preview selected for the window, the two dialogs that select them, the new-instance handle in its corner
// (dropping it on an image runs the process on that image's current view), registry hooks for window settings, and
// the notifications through which image windows keep every processing window informed.
//
// Buttons are wired by name when the form is first shown: a button whose objectName contains "Preview_" runs
// ApplyToPreviews, "Apply_" Apply, "SelectPreviews_" and "SelectImages_" open the selection dialogs. Keys: F5
// applies to previews (Ctrl+F5 selects them), F9 applies to images (Ctrl+F9 selects them), Esc collapses the
// window; none of them acts with Shift or Alt held or after a rejected edit.
//
// Collapsing (Esc, Minimize All) puts a bar with the window's caption at the window's top-right corner in place of
// the window. The bar can be moved; a click on it, or any other way of showing the window (a menu, a launch, a
// drop), brings the window back with its right edge at the bar's right edge.
//
// Places. A window shown for the first time without a place of its own (none saved, none set by its code) is
// centred in the main window's work area, never over the menus or the tool bars; a window made after the main
// window has loaded its settings gets its saved place and settings then (RestoreWindowSettings), exactly as one
// made at start-up.
//
// Stay on top. Processing windows float above the program's other windows unless Window > Processing Windows >
// Stay On Top is turned off; a window made later follows the setting in force. While the program is in the
// background no window floats above other programs' windows.
//
// Which views are selected for a window is kept by the views (TImageWindow::View::selectingWindows), not by the
// window.
//
// Every processing window is in ProcessingWindows (creation order) from its construction to its destruction, and
// every broadcast below calls the same-named operation of each of them, by index from the first, re-reading the
// count at each step (a window made during a broadcast is told too). The base operations do nothing.

#include <cstdint>
#include <memory>
#include <vector>

#include <QPointer>

#include "windows/image/ImageWindow.h"
#include "windows/processing/ProcessingInterface.h"

class TSelectImagesDialog;
class TSelectPreviewsDialog;
class TSelectViewsDialog;

namespace platform
{
class Registry;
}

class TProcessingWindow : public TProcessingInterface
{
   Q_OBJECT

public:
   explicit TProcessingWindow( QWidget* owner );
   ~TProcessingWindow() override;

   // Applies a new instance to every image selected for the window (asking for a selection when there is none).
   void Apply() override;
   // The same over the previews.
   virtual void ApplyToPreviews();
   // Window settings, with the registry open on the application key; nothing here.
   virtual void LoadSettings( platform::Registry& registry );
   virtual void SaveSettings( platform::Registry& registry );

   bool WantChildKey( QWidget* child, QKeyEvent* key ) override;

   // Replaces the window by its bar (see above); nothing when it is hidden or collapsed already.
   void Collapse();
   bool IsCollapsed() const { return collapsed; }
   // The bar standing for the collapsed window (nullptr before the first collapse).
   QWidget* CollapsedBar() const;
   // Hiding a collapsed window takes its bar away too.
   void setVisible( bool visible ) override;

   // The window has a place: restored from the settings, set by its own code or given at its first showing. Only
   // such a place is saved.
   bool placed = false;
   // Its saved place and settings have been looked for (the main window does it once).
   bool settingsRestored = false;

   // Button handlers: each commits the active edit first and does nothing after a rejected value.
   void PreviewButtonClick();
   void ApplyButtonClick();
   void SelectPreviewsButtonClick();
   void SelectImagesButtonClick();
   // Wires the standard buttons among the control and its children by name.
   void HookButtons( QWidget* control );

   // ---- Notifications (nothing here) ----
   virtual void ViewCreated( TImageWindow::View& ) {}
   virtual void ViewUpdated( TImageWindow::View& ) {}
   virtual void ViewRenamed( TImageWindow::View& ) {}
   virtual void ViewDeleted( TImageWindow::View& ) {}
   virtual void ColorManagementChanged( TImageWindow::View& ) {}
   virtual void ViewSaved( TImageWindow::View& ) {}
   virtual void MaskChanged( TImageWindow::View& ) {}
   virtual void MaskEnabled( TImageWindow::View& ) {}
   virtual void MaskDisabled( TImageWindow::View& ) {}
   virtual void MaskShown( TImageWindow::View& ) {}
   virtual void MaskHidden( TImageWindow::View& ) {}
   virtual void PreviewStored( TImageWindow::View& ) {}
   virtual void UndoStateChanged( TImageWindow::View& ) {}
   virtual void HistogramsChanged( TImageWindow::View& ) {}
   virtual void StatisticsChanged( TImageWindow::View& ) {}
   virtual void ProcessUpdated( Process& ) {}
   virtual void BeginReadout( TImageWindow::View&, float, float, float ) {}
   virtual void UpdateReadout( TImageWindow::View&, float, float, float ) {}
   virtual void EndReadout( TImageWindow::View& ) {}
   virtual void RealTimePreviewOwnerChanged( QWidget* ) {}
   virtual void GlobalColorManagementChanged() {}

   std::unique_ptr<TSelectPreviewsDialog> selectPreviewsDialog;
   std::unique_ptr<TSelectImagesDialog> selectImagesDialog;

protected:
   bool event( QEvent* event ) override;
   void FormCreated() override;
   void FormActivate() override;
   void FormDeactivate() override;

private:
   // Apply over a list: a message when it is empty, the selection dialog when nothing in it is selected for this
   // window (with the proposed view ticked), then a run of a new instance over the selected views.
   template <class ViewType>
   void ApplyToSelection( const std::vector<ViewType*>& list, TSelectViewsDialog& selectDialog,
                          TImageWindow::View* proposed, const char* noViews, const char* noneSelected );
   // At the first showing: centred in the main window's work area (the screen's when there is none).
   void PlaceInWorkArea();
   // Back from the bar: right edge at the bar's right edge, top at its top.
   void ExpandFromBar();

   bool collapsed = false;
   bool collapsing = false;
   QPointer<QWidget> bar;
};

// Whether the processing windows stay on top of the program's other windows (initially true).
bool ProcessingWindowsStayOnTop();
// Turns the stay-on-top style of every processing window (and of those made later) on or off.
void SetProcessingWindowsStayOnTop( bool onTop );
// While the program is active the windows with the stay-on-top style float above every other window; while it is
// in the background they float only above the program's own (the main window's activation events call this).
void SetProcessingWindowsFloating( bool applicationActive );
// Gives a top-level window the stay-on-top style or takes it away without hiding it; it floats above other
// programs only while floating is set.
void SetWindowStaysOnTop( QWidget* window, bool onTop, bool floating );

// Every processing window, in creation order; not owning.
extern std::vector<TProcessingWindow*> ProcessingWindows;

// Runs the process on every view of the list that has the window among its selecting windows, in list order, each
// as a task of one bracket of the status dialog, with the main window busy. True when every such view was
// processed. After an abort, the views already processed are rolled back, newest first (a preview restored, a
// main view recovered from its undo data), asking once whether to roll back the earlier ones too; other failures
// are shown as every action shows them. Previews and main views go through the same procedure.
bool ExecuteProcessOnViews( Process& process, const std::vector<TImageWindow::View*>& views,
                            TProcessingWindow* window );
bool ExecuteProcessOnPreviews( Process& process, TProcessingWindow* window );
bool ExecuteProcessOnImages( Process& process, TProcessingWindow* window );

// ---- Broadcasts ----------------------------------------------------------------------------------------------------

void NotifyViewCreated( TImageWindow::View& view );
void NotifyViewUpdated( TImageWindow::View& view );
void NotifyViewRenamed( TImageWindow::View& view );
void NotifyViewDeleted( TImageWindow::View& view );
void NotifyColorManagementChanged( TImageWindow::View& view );
// The view's image was written to its file.
void NotifyViewSaved( TImageWindow::View& view );
void NotifyMaskChanged( TImageWindow::View& mainView );
void NotifyMaskEnabled( TImageWindow::View& mainView );
void NotifyMaskDisabled( TImageWindow::View& mainView );
void NotifyMaskShown( TImageWindow::View& mainView );
void NotifyMaskHidden( TImageWindow::View& mainView );
void NotifyPreviewStored( TImageWindow::View& preview );
void NotifyUndoStateChanged( TImageWindow::View& view );
void NotifyHistogramsChanged( TImageWindow::View& view );
void NotifyStatisticsChanged( TImageWindow::View& view );
void NotifyBeginReadout( TImageWindow::View& view, float v0, float v1, float v2 );
void NotifyUpdateReadout( TImageWindow::View& view, float v0, float v1, float v2 );
void NotifyEndReadout( TImageWindow::View& view );
void NotifyRealTimePreviewOwner( QWidget* owner );
void NotifyGlobalColorManagementChanged();
// (ProcessUpdated is broadcast by NotifyProcessUpdated of process/Process.h.)

#endif
