#ifndef LF_WINDOWS_MAIN_MAIN_WINDOW_H
#define LF_WINDOWS_MAIN_MAIN_WINDOW_H

// The program's main window: a QMainWindow whose central widget, the desktop, is a QMdiArea holding the image
// windows (and, later, the process icons), with the menu bar, the tool bars and the status panels around it.
//
// It is created first at start-up and reached everywhere through the global MainWindow. Besides its components it
// holds the state other windows read or change:
//   - the busy and abort-request protocol: BeginProcessing() / EndProcessing() bracket a long operation and
//     RequestAbort() (the status dialog's Pause/Abort button) asks to stop it; ProcessingStateChanged tells the
//     status dialog when to enable that button;
//   - controlUpdateCount, raised while a window fills its controls from data (ControlUpdateGuard) so that every
//     control handler does nothing meanwhile; a counter, not a flag: nested raisers each lower it once;
//   - the readout options, the termination flag and the private clipboard format (a constant).
// Everything runs on the GUI thread.

#include <QBrush>
#include <QHash>
#include <QPointer>
#include <QImage>
#include <QMainWindow>
#include <QPoint>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdarg>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "process/ProcessIconSetModule.h"
#include "process/ReadoutOptionsData.h"

class QAction;
class QComboBox;
class QLabel;
class QIcon;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QToolBar;
class QToolButton;
class Process;
class QRubberBand;
class TImageWindow;
class TProcessEnvelope;
class TProcessIcon;
class TProcessingWindow;

namespace platform
{
class Registry;
}

namespace qor
{
class Image;
}

// What the Save As dialog proposes for a window: the folder and name (without extension) of its file, the filter
// of its format, and per filter (1 TIFF, 2 FITS, 3 RAW, 4 JPEG) the default extension and the patterns, the
// file's own extension first.
struct SaveAsDialogSetup
{
   QString directory;
   QString fileName;
   int filterIndex = 2;
   std::array<QString, 4> defaultExtensions{ "tif", "fit", "raw", "jpg" };
   std::array<QString, 4> patterns{ "*.tif;*.tiff", "*.fit;*.fits;*.fts", "*.raw", "*.jpg;*.jpeg" };

   // The setup for a window (nullptr: a new image without a file).
   static SaveAsDialogSetup For( const TImageWindow* window );
   // The dialog's filter: "TIFF Files (*.tif *.tiff);;FITS Files (...);;RAW Files (...);;JPEG Files (...)".
   QStringList Filters() const;
};

class TMainWindow : public QMainWindow
{
   Q_OBJECT

public:
   explicit TMainWindow( QWidget* parent = nullptr );
   ~TMainWindow() override;

   // Busy and abort protocol. BeginProcessing: busy, no abort request. EndProcessing: neither (harmless when
   // nothing runs). RequestAbort: records an abort request only while busy.
   void BeginProcessing();
   void EndProcessing();
   void RequestAbort();

   // Raises controlUpdateCount for its lifetime (on the main window when there is one).
   class ControlUpdateGuard
   {
   public:
      explicit ControlUpdateGuard( TMainWindow* window );
      ControlUpdateGuard();
      ~ControlUpdateGuard();
      ControlUpdateGuard( const ControlUpdateGuard& ) = delete;
      ControlUpdateGuard& operator=( const ControlUpdateGuard& ) = delete;

   private:
      TMainWindow* window;
   };

   // True while some window fills its controls: control handlers return at once.
   bool UpdatingControls() const { return controlUpdateCount > 0; }

   // Repaints the desktop with the preferences' background: plain, or the checker of the background and
   // foreground colours (2x2-pixel squares, background top-left).
   void UpdateDesktopBrush( bool repaint );
   // Applies CurrentPreferences after the Preferences process has changed them.
   void ApplyPreferences();

   // Shows the readout of the image point under the mouse cursor again (after the readout options changed): that
   // of the active image window, or an empty readout panel when there is none.
   void RefreshReadout();
   // The image point of a window's current view under a screen position: paint-box coordinates over the zoom,
   // floor(x / zoom) when magnified, x * -zoom when reduced.
   static QPoint ReadoutPoint( const TImageWindow& window, QPoint screenPosition );
   // Writes the readout of an image point of a window into the readout panels: the window's own readout
   // (TImageWindow::ShowPixelReadout); empty, RefreshReadout leaves the panels of an image window as they are.
   std::function<void( TImageWindow& window, int32_t x, int32_t y )> showPixelReadout;

   // Docks a tool bar into a tool-bar area: on the top row when it fits in the area's width right of the widest
   // row docked there, else into the overflow area (laid out vertically) or, without one, on a new row.
   void DockToolBar( Qt::ToolBarArea site, Qt::ToolBarArea overflow, QToolBar* toolBar );

   // The close sequence: asks what the preferences and the program's state call for and, when nothing keeps the
   // program open, sets terminating and closes every image window (last first). True when the window may close.
   bool FormClose();

   // ---- File and Edit actions (MainWindowFileActions.cpp) ----------------------------------------------------
   // Each handler repeats the tests it needs (an active image window, data to undo, ...) and does nothing when
   // one fails; failures are shown in boxes, never thrown.
   void FileNew_ActionExecute();
   void FileOpen_ActionExecute();
   void FileOpenACopy_ActionExecute();
   void FileRevert_ActionExecute();
   void FileSave_ActionExecute();
   void FileSaveAs_ActionExecute();
   void FileClose_ActionExecute();
   void FileCloseAll_ActionExecute();
   void FileFITSHeader_ActionExecute();
   void FileIPTCPhotoInfo_ActionExecute();
   void FileExit_ActionExecute();
   void EditUndo_ActionExecute();
   void EditEnableUndo_ActionExecute();
   void EditCopy_ActionExecute();
   void EditPaste_ActionExecute();
   void EditPurgeUndo_ActionExecute();
   void EditPurgeHistograms_ActionExecute();
   // Empties the clipboard (every format).
   void EditPurgeClipboard_ActionExecute();
   void EditPurgeAll_ActionExecute();
   void EditPreferences_ActionExecute();
   void EditReadoutOptions_ActionExecute();
   void EditColorManagement_ActionExecute();

   // Opens images and process icon set modules (".lf-psm"), in order, inside the status dialog. A path without
   // extension gets the one of the Open dialog's last filter. Every file opened goes on top of its recent list;
   // after a failure with more files to come the user is asked whether to go on.
   void OpenFiles( const QStringList& paths, bool asCopies );
   void ExecuteOpenDialog( bool asCopies );
   void FileOpenRecentImageFile_MenuItemClick( QAction* item );
   void FileOpenRecentProcessIconSetModule_MenuItemClick( QAction* item );
   // Files dropped from the shell: opened (as copies while Ctrl is held) once the drop is over.
   void DropFiles( const QStringList& paths, bool asCopies );

   // The extension given to a path without one by the Open dialog's filter (1 all known formats, 2 TIFF, 3 FITS,
   // 4 RAW, 5 JPEG, 6 bitmaps): "tif", "fit", "raw", "jpg", "bmp".
   static QString OpenDialogDefaultExtension( int filterIndex );
   // The Open dialog's filters, in that order.
   static QStringList OpenDialogFilters();
   // The paths of a recent-file menu, newest first.
   static QStringList RecentFiles( const QMenu* menu );
   // Puts a path on top of a recent-file menu (unless it is there already, compared without regard to case),
   // keeping at most MaxRecentFiles items.
   void AddRecentFile( QMenu* menu, const QString& path );
   static constexpr int MaxRecentFiles = 10;

   // The image window of the active document child, or nullptr.
   TImageWindow* ActiveImageWindow() const;

   // Loads a process icon set module (merging it into the desktop when asked); true when it was read. Set by the
   // process icons; until then module files are refused with a message.
   std::function<bool( const QString& path, bool merge )> processIconSetLoader;

   // The Open dialog's last filter (1-based) and folder.
   int openDialogFilterIndex = 1;
   QString openDialogInitialDirectory;
   // The folder the process icon set open dialog starts in.
   QString processIconsOpenDialogInitialDirectory;
   // The Save As dialog's default extensions by filter, as the last Save As set them.
   std::array<QString, 4> DefaultSaveExtensions;

   // ---- Image, Mask, Preview, Tools, Window and Help actions (MainWindowActions.cpp) --------------------------
   // Every handler repeats the tests it needs (an active image window, a target preview, a mask) and does nothing
   // when one fails: an action triggered while its state is stale stays harmless. Enabled states, check marks and
   // captions are set by the idle update alone.
   void ImageDuplicate_ActionExecute();
   // Renames the active image through the modal Image Identifier dialog (made for this use).
   void ImageSetIdentifier_ActionExecute();
   // The Image Information window for the active image's current view.
   void ImageViewInformation_ActionExecute();
   // Turns the target preview into an image window through the New Image from Preview dialog.
   void PreviewMakeImage_ActionExecute();
   // ---- Geometry and Invert (MainWindowGeometryActions.cpp) ----
   void GeometryResample_ActionExecute();
   void GeometryIntegerResample_ActionExecute();
   void GeometryCropExpand_ActionExecute();
   void GeometryRotate_ActionExecute();
   // Runs a FastRotate of that rotation on the active image's main view.
   void GeometryFastRotate_ActionExecute( int32_t rotation );
   void ImageInvert_ActionExecute();
   void ProcessResample_ActionExecute();
   void ProcessIntegerResample_ActionExecute();
   void ProcessCropExpand_ActionExecute();
   void ProcessRotate_ActionExecute();
   void ProcessFastRotate_ActionExecute();
   void ImageEnableColorManagement_ActionExecute();
   void ImageViewStatistics_ActionExecute();
   void ImageViewHistogram_ActionExecute();
   void ImageViewProcessingHistory_ActionExecute();
   void ImageViewProcessingReport_ActionExecute();
   void ColorSpaceRGBSpaceParameters_ActionExecute();
   void ColorSpaceResetToGlobalRGBSpace_ActionExecute();
   // Launches a temporary instance of the process on the active window's main view, when the process accepts it.
   void LaunchOnMainView( Process&& instance );
   void ImageAssignICCProfile_ActionExecute();
   void ImageTransformToDefaultICCProfile_ActionExecute();
   void ProcessAssignICCProfile_ActionExecute();
   void MaskSelectMask_ActionExecute();
   void MaskRemoveMask_ActionExecute();
   void MaskEnableMask_ActionExecute();
   void MaskShowMask_ActionExecute();
   void PreviewNew_ActionExecute();
   void PreviewProperties_ActionExecute();
   void PreviewClone_ActionExecute();
   void PreviewNext_ActionExecute();
   void PreviewPrev_ActionExecute();
   void PreviewUndo_ActionExecute();
   void PreviewStore_ActionExecute();
   void PreviewStoreAll_ActionExecute();
   void PreviewRestore_ActionExecute();
   void PreviewRestoreAll_ActionExecute();
   void PreviewReset_ActionExecute();
   void PreviewResetAll_ActionExecute();
   void PreviewDelete_ActionExecute();
   void PreviewDeleteAll_ActionExecute();
   void ProcessATrousWavelets_ActionExecute();
   void ToolsMemoryWatch_ActionExecute();
   void ToolsAdjustMonitorBrightness_ActionExecute();
   void WindowCascade_ActionExecute();
   void WindowTileHorizontal_ActionExecute();
   void WindowTileVertical_ActionExecute();
   void WindowArrangeIcons_ActionExecute();
   void WindowZoomIn_ActionExecute();
   void WindowZoomOut_ActionExecute();
   // The fixed zooms of the zoom family (n > 0: n:1, -n: 1:n).
   void WindowZoom_ActionExecute( int32_t zoom );
   void WindowZoomToFit_ActionExecute();
   void WindowFitWindow_ActionExecute();
   void WindowStayOnTopProcessingWindows_ActionExecute();
   void WindowHideAllProcessingWindows_ActionExecute();
   void WindowMinimizeAllProcessingWindows_ActionExecute();
   // Shows or hides a tool bar; one never placed is floated at its own bounds the first time.
   void WindowToolBar_ActionExecute( QToolBar* toolBar );
   void WindowShowControlBars_ActionExecute();
   // Makes a tool bar float at a screen rectangle (it can be docked again by dragging it onto a tool-bar area).
   void FloatToolBar( QToolBar* toolBar, const QRect& bounds );
   void HelpIndex_ActionExecute();
   void HelpOnlineHelp_ActionExecute();
   void HelpLumenforgeHomePage_ActionExecute();
   void HelpCorvantaHomePage_ActionExecute();
   void HelpAbout_ActionExecute();
   // The mouse mode shared by every image window (0 readout ... 8 edit preview).
   void ImageWindowMode_ActionExecute( uint8_t mode );
   void SelectChannel_ComboBoxClick();

   // The web addresses of the Help menu and the local help file's place beside the program.
   static constexpr const char* OnlineHelpAddress = "https://www.corvanta.com/lumenforge/help/";
   static constexpr const char* LumenforgeHomePageAddress = "https://www.corvanta.com/lumenforge/";
   static constexpr const char* CorvantaHomePageAddress = "https://www.corvanta.com/";
   static QString LocalHelpIndexPath();

   // The New Process submenu of the desktop's pop-up menu: one submenu per process category, one item per process
   // of the registry's by-category list, in that order.
   void BuildNewProcessMenu();
   // Puts a new icon with a copy of the process at a desktop point; set by the process icons. Until it is set the
   // New Process items do nothing.
   std::function<void( const Process& prototype, QPoint desktopPoint )> newProcessIconCreator;
   QMenu* NewProcess_MenuItem = nullptr;

   // ---- Process icons on the desktop (MainWindowProcessIcons.cpp) ------------------------------------------------
   // The icons are children of the desktop's viewport, kept under the image windows. Selection: a click on an icon
   // (Shift adds), a press on the empty desktop deselects all, a rubber band selects what it touches.
   // Creates an icon at a desktop point (snapped to the grid); empty identifier: a unique default one. With
   // refresh the desktop is repainted.
   TProcessIcon* CreateProcessIcon( int32_t x, int32_t y, std::unique_ptr<Process> instance,
                                    const std::string& identifier, bool refresh );
   // Replaces (merge false) or merges the desktop's icons with those of a set file. Replacing asks first when the
   // set is modified (unless ask is false: the caller has asked); an empty path only removes the icons. A file
   // that cannot be read changes nothing on the desktop: its icons, its set file and its modification state stay
   // as they were. False when declined or failed.
   bool LoadProcessIcons( const QString& path, bool merge, bool ask = true );
   // Writes every icon to a set file, which the desktop is then bound to; false (after a box) on failure.
   bool SaveProcessIcons( const QString& path );
   // Columns of icons from the bottom-right corner leftwards, bottoms on a 28-pixel pitch.
   void ArrangeProcessIcons();
   void ProcessLoadProcessIcons_ActionExecute();
   void ProcessSaveProcessIcons_ActionExecute();
   void ProcessRemoveProcessIcons_ActionExecute();
   // The question about a modified set; true when the icons may go (also when the set is not modified).
   bool ConfirmProcessIconSetLoss();
   // The pop-up menu of an icon, its items enabled for its instance.
   void ShowProcessIconPopupMenu( TProcessIcon* icon, QPoint globalPos );
   void LaunchInterface_MenuItemClick();
   void ExecuteGlobal_MenuItemClick();
   void RenameProcessIcon_MenuItemClick();
   void DeleteSelectedIcons_MenuItemClick();
   // Mouse handling of the empty desktop (viewport coordinates).
   void DesktopMouseDown( QPoint point, Qt::MouseButton button );
   void DesktopMouseMove( QPoint point );
   void DesktopMouseUp();
   void DesktopDoubleClick( bool shift );
   // A dragged envelope dropped at a desktop point: icons move (with every selected one), anything else leaves a
   // new icon there.
   void DesktopDragDrop( TProcessEnvelope* envelope, QPoint point );
   // The desktop's process icon set file (bound to a file after a read or write).
   std::unique_ptr<ProcessIconSetModule> processIconSetModule;
   QPointer<TProcessIcon> popupProcessIcon;
   // Set by the Load action while it opens sets that replace the icons: the first set read replaces them.
   bool replaceIconsWithNextSet = false;
   QAction* ProcessLoadProcessIcons_Action = nullptr;
   QAction* ProcessSaveProcessIcons_Action = nullptr;
   QAction* ProcessArrangeProcessIcons_Action = nullptr;
   QAction* ProcessRemoveProcessIcons_Action = nullptr;
   QAction* LaunchInterface_MenuItem = nullptr;
   QAction* ExecuteGlobal_MenuItem = nullptr;
   QAction* RenameProcessIcon_MenuItem = nullptr;
   QAction* DeleteSelectedIcons_MenuItem = nullptr;
   QRubberBand* rubberBand = nullptr;

   // ---- Idle update (MainWindowIdle.cpp) ------------------------------------------------------------------------
   // Sets every action's enabled state, check mark and caption, the pressed mode button, the channel selector and
   // the information panels from the state of the active image window. Runs whenever the event loop runs dry.
   void ApplicationEvents1Idle();
   // The channel selector's items for an image: "RGB", "Red", "Green", "Blue", "Luminance", "Chrominance" for a
   // colour image or "Gray" for a grey one, then "alpha01", "alpha02", ... for its alpha channels.
   static QStringList ChannelSelectorItems( const qor::Image& image );
   // The small colour picture of a channel selector item.
   static QIcon ChannelColorIcon( int index );

   // ---- Settings (MainWindowRegistry.cpp) ----------------------------------------------------------------------
   // Restore and save the recent files, readout options, RGB working space, initial directories, tool-bar layout
   // and window positions under ApplicationRegistryKey(). Failures are reported in boxes and never thrown; a key
   // whose value is damaged is reported once, and everything under the base key is written afresh at the next save.
   void LoadSettings();
   void SaveSettings();
   void LoadSettings( platform::Registry& registry );
   void SaveSettings( platform::Registry& registry );
   // Places the tool bars saved in the settings; the number found (0: dock the default layout). With Ctrl held at
   // start-up nothing is read.
   int LoadToolBarLayout( platform::Registry& registry );
   // Set when the settings were found damaged; the next save then deletes them and writes them anew.
   static inline bool RegistryDataCorrupted = false;
   // Moves a window to a point, kept so that at least 32 pixels of its width and its title bar lie on a screen
   // that exists now (the nearest one when the point lies on none).
   static void PlaceWindowClamped( QWidget* window, int left, int top );
   // Once the settings are loaded: gives a processing window made since then its saved settings and place (once
   // per window; windows made before are restored by LoadSettings).
   void RestoreWindowSettings( TProcessingWindow& window );
   // LoadSettings has run: windows made from now on are restored as they are made.
   bool windowSettingsLoaded = false;

   // ---- Application events (MainWindowEvents.cpp) ---------------------------------------------------------------
   // The last-resort report of an exception that escaped an event handler: "<* Unexpected Exception *>", the
   // sender's address and the message, under the application title; the status dialog closes one level.
   void ApplicationEvents1Exception( const QObject* sender, const QString& message );
   // The program became active: the stay-on-top windows float above every window again.
   void ApplicationEvents1Activate();
   // The program went to the background: the stay-on-top windows stop floating above other programs' windows.
   void ApplicationEvents1Deactivate();
   // The docking rule of the tool-bar areas: only a tool bar docks, and only into an area that can hold it on one
   // row (a column for the left and right areas) beside what is docked there already. The extent it needs there:
   // along a horizontal area the sum of its controls' widths by the largest height, along a vertical one the
   // largest width by the sum of the heights.
   bool ControlBarDockOver( Qt::ToolBarArea area, QWidget* dragged ) const;
   static QSize DockedExtent( const QToolBar* toolBar, Qt::Orientation orientation );
   // Decides, for a tool bar that starts being dragged, the areas it may dock into (Qt then offers only those).
   void AllowDockingAreas( QToolBar* toolBar );
   // Applies the "Enable Tool Bar Auto Drag/Dock" preference to every tool bar: with it off a docked tool bar
   // cannot be dragged and a floating one docks nowhere.
   void ApplyToolBarDocking();
   // Places a new image window on the desktop: cascaded under the previous one and never smaller than a usable
   // frame.
   void PlaceNewDocumentChild( QMdiSubWindow* child );
   // A document child's own commands (its system menu: Close is Ctrl+W and Ctrl+F4 in the toolkit) give up the
   // keys the main window's actions use: no key may name two commands (Ctrl+W is Fit Window).
   void ReleaseTakenShortcuts( QMdiSubWindow* child );
   // Where a document child goes when cascaded to a point: there with its own size as far as the desktop allows,
   // or at the corner when it would leave the desktop from there.
   QRect CascadedRect( const QMdiSubWindow* child, QPoint at ) const;
   // The cascade's step: a title bar's height.
   static int CascadeStep( const QMdiSubWindow* child );
   // The smallest frame of an image window: wide enough for the title and its buttons, tall enough for a strip of
   // the image.
   static constexpr QSize MinimumDocumentChildSize{ 200, 120 };

   QAction* ImageDuplicate_Action = nullptr;
   QAction* ImageSetIdentifier_Action = nullptr;
   QAction* ImageViewInformation_Action = nullptr;
   QAction* PreviewMakeImage_Action = nullptr;
   QAction* ProcessNewImage_Action = nullptr;
   QAction* ProcessPreferences_Action = nullptr;
   QAction* ProcessReadoutOptions_Action = nullptr;
   QAction* ProcessFITSKeywords_Action = nullptr;
   QAction* ProcessIPTCPhotoInfo_Action = nullptr;
   QAction* ProcessImageIdentifier_Action = nullptr;
   QAction* ToolsImageInformation_Action = nullptr;
   QAction* GeometryResample_Action = nullptr;
   QAction* GeometryIntegerResample_Action = nullptr;
   QAction* GeometryCropExpand_Action = nullptr;
   QAction* GeometryRotate_Action = nullptr;
   QAction* GeometryRotate180_Action = nullptr;
   QAction* GeometryRotate90CW_Action = nullptr;
   QAction* GeometryRotate90CCW_Action = nullptr;
   QAction* GeometryMirrorHorizontal_Action = nullptr;
   QAction* GeometryMirrorVertical_Action = nullptr;
   QAction* ImageInvert_Action = nullptr;
   QAction* ProcessResample_Action = nullptr;
   QAction* ProcessIntegerResample_Action = nullptr;
   QAction* ProcessCropExpand_Action = nullptr;
   QAction* ProcessRotate_Action = nullptr;
   QAction* ProcessFastRotate_Action = nullptr;
   QAction* ImageEnableColorManagement_Action = nullptr;
   QAction* ImageViewStatistics_Action = nullptr;
   QAction* ImageViewHistogram_Action = nullptr;
   QAction* ProcessHistograms_Action = nullptr;
   QAction* ImageViewProcessingHistory_Action = nullptr;
   QAction* ImageViewProcessingReport_Action = nullptr;
   QAction* ProcessProcessContainer_Action = nullptr;
   QAction* ToolsProcessingHistory_Action = nullptr;
   QAction* ColorSpaceRGBSpaceParameters_Action = nullptr;
   QAction* ColorSpaceResetToGlobalRGBSpace_Action = nullptr;
   QAction* ColorSpaceConvertToGrayscale_Action = nullptr;
   QAction* ColorSpaceConvertToRGBColor_Action = nullptr;
   // The Process and Tools menus' show family: each shows its window.
   QAction* ProcessRGBSpaceParameters_Action = nullptr;
   QAction* ProcessExtractChannels_Action = nullptr;
   QAction* ProcessImportChannels_Action = nullptr;
   QAction* ProcessMedianFilter_Action = nullptr;
   QAction* ProcessMinMaxFilter_Action = nullptr;
   QAction* ProcessSCNR_Action = nullptr;
   QAction* ProcessSGBNR_Action = nullptr;
   QAction* ProcessPixelMath_Action = nullptr;
   QAction* ToolsStatistics_Action = nullptr;
   QAction* ToolsRealTimePreview_Action = nullptr;
   QAction* ProcessCurves_Action = nullptr;
   QAction* ImageAssignICCProfile_Action = nullptr;
   QAction* ImageTransformToDefaultICCProfile_Action = nullptr;
   QAction* ProcessAssignICCProfile_Action = nullptr;
   QAction* MaskSelectMask_Action = nullptr;
   QAction* MaskRemoveMask_Action = nullptr;
   QAction* MaskEnableMask_Action = nullptr;
   QAction* MaskShowMask_Action = nullptr;
   QAction* PreviewNew_Action = nullptr;
   QAction* PreviewProperties_Action = nullptr;
   QAction* PreviewClone_Action = nullptr;
   QAction* PreviewNext_Action = nullptr;
   QAction* PreviewPrev_Action = nullptr;
   QAction* PreviewUndo_Action = nullptr;
   QAction* PreviewStore_Action = nullptr;
   QAction* PreviewStoreAll_Action = nullptr;
   QAction* PreviewRestore_Action = nullptr;
   QAction* PreviewRestoreAll_Action = nullptr;
   QAction* PreviewReset_Action = nullptr;
   QAction* PreviewResetAll_Action = nullptr;
   QAction* PreviewDelete_Action = nullptr;
   QAction* PreviewDeleteAll_Action = nullptr;
   QAction* ProcessATrousWavelets_Action = nullptr;
   QAction* ToolsMemoryWatch_Action = nullptr;
   QAction* ToolsAdjustMonitorBrightness_Action = nullptr;
   QAction* WindowCascade_Action = nullptr;
   QAction* WindowTileHorizontal_Action = nullptr;
   QAction* WindowTileVertical_Action = nullptr;
   QAction* WindowArrangeIcons_Action = nullptr;
   QAction* WindowZoomIn_Action = nullptr;
   QAction* WindowZoomOut_Action = nullptr;
   QAction* WindowZoom11_Action = nullptr;
   QAction* WindowZoom12_Action = nullptr;
   QAction* WindowZoom13_Action = nullptr;
   QAction* WindowZoom14_Action = nullptr;
   QAction* WindowZoom16_Action = nullptr;
   QAction* WindowZoom18_Action = nullptr;
   QAction* WindowZoom21_Action = nullptr;
   QAction* WindowZoom31_Action = nullptr;
   QAction* WindowZoom41_Action = nullptr;
   QAction* WindowZoom61_Action = nullptr;
   QAction* WindowZoom81_Action = nullptr;
   QAction* WindowZoomToFit_Action = nullptr;
   QAction* WindowFitWindow_Action = nullptr;
   QAction* WindowStayOnTopProcessingWindows_Action = nullptr;
   QAction* WindowHideAllProcessingWindows_Action = nullptr;
   QAction* WindowMinimizeAllProcessingWindows_Action = nullptr;
   QAction* WindowToolBarFile_Action = nullptr;
   QAction* WindowToolBarEdit_Action = nullptr;
   QAction* WindowToolBarFastRotate_Action = nullptr;
   QAction* WindowToolBarImageView_Action = nullptr;
   QAction* WindowToolBarZoom_Action = nullptr;
   QAction* WindowToolBarPreview_Action = nullptr;
   QAction* WindowToolBarMask_Action = nullptr;
   QAction* WindowToolBarGeometry_Action = nullptr;
   QAction* WindowToolBarColorSpaces_Action = nullptr;
   QAction* WindowToolBarTransferCurves_Action = nullptr;
   QAction* WindowToolBarAdvancedProcessing_Action = nullptr;
   QAction* WindowToolBarProcessIcons_Action = nullptr;
   QAction* WindowToolBarTools_Action = nullptr;
   QAction* WindowToolBarReadout_Action = nullptr;
   QAction* WindowToolBarInformation_Action = nullptr;
   QAction* WindowToolBarColorSamples_Action = nullptr;
   QAction* WindowShowControlBars_Action = nullptr;
   QAction* HelpIndex_Action = nullptr;
   QAction* HelpOnlineHelp_Action = nullptr;
   QAction* HelpLumenforgeHomePage_Action = nullptr;
   QAction* HelpCorvantaHomePage_Action = nullptr;
   QAction* HelpAbout_Action = nullptr;
   QAction* ReadoutMode_Action = nullptr;
   QAction* ZoomInMode_Action = nullptr;
   QAction* ZoomOutMode_Action = nullptr;
   QAction* PanMode_Action = nullptr;
   QAction* CenterMode_Action = nullptr;
   QAction* DynamicCropMode_Action = nullptr;
   QAction* DynamicBackgroundExtractionMode_Action = nullptr;
   QAction* NewPreviewMode_Action = nullptr;
   QAction* EditPreviewMode_Action = nullptr;
   // The nine mode actions in mode order (0 readout ... 8 edit preview).
   std::array<QAction*, 9> ModeActions() const;
   // The sixteen tool bars with their Window > Tool Bars actions, in the order of that menu.
   std::vector<std::pair<QToolBar*, QAction*>> ToolBarActions() const;
   // The tool-bar areas standing for the four control bars: top, left, bottom, right (the saved site numbers).
   static constexpr std::array<Qt::ToolBarArea, 4> ControlBars{ Qt::TopToolBarArea, Qt::LeftToolBarArea,
                                                                Qt::BottomToolBarArea, Qt::RightToolBarArea };
   // Whether a control bar is shown (Window > Show/Hide Control Bars); by site number.
   std::array<bool, 4> controlBarVisible{ true, true, true, true };
   QMenu* WindowToolBars_MenuItem = nullptr;

   QAction* FileNew_Action = nullptr;
   QAction* FileOpen_Action = nullptr;
   QAction* FileOpenACopy_Action = nullptr;
   QAction* FileRevert_Action = nullptr;
   QAction* FileSave_Action = nullptr;
   QAction* FileSaveAs_Action = nullptr;
   QAction* FileClose_Action = nullptr;
   QAction* FileCloseAll_Action = nullptr;
   QAction* FileFITSHeader_Action = nullptr;
   QAction* FileIPTCPhotoInfo_Action = nullptr;
   QAction* FileExit_Action = nullptr;
   QAction* EditUndo_Action = nullptr;
   QAction* EditEnableUndo_Action = nullptr;
   QAction* EditCopy_Action = nullptr;
   QAction* EditPaste_Action = nullptr;
   QAction* EditPurgeUndo_Action = nullptr;
   QAction* EditPurgeHistograms_Action = nullptr;
   QAction* EditPurgeClipboard_Action = nullptr;
   QAction* EditPurgeAll_Action = nullptr;
   QAction* EditPreferences_Action = nullptr;
   QAction* EditReadoutOptions_Action = nullptr;
   QAction* EditColorManagement_Action = nullptr;
   QMenu* FileOpenRecent_MenuItem = nullptr;
   QMenu* FileOpenRecentImages_MenuItem = nullptr;
   QMenu* FileOpenRecentProcessIcons_MenuItem = nullptr;
   QMenu* EditPurge_MenuItem = nullptr;

   QMdiArea* Desktop() const { return desktop; }
   // The current document child (also when another top-level window has the focus), or nullptr.
   QMdiSubWindow* ActiveDocumentChild() const;
   // Makes a shown document child the active one. While the main window is disabled (a long operation under the
   // status dialog) no child can become active: the last one asked for is made active when the main window is
   // enabled again.
   void ActivateDocumentChild( QMdiSubWindow* child );

   // Handlers of libtiff messages (installed process-wide by the constructor, removed by the destructor). The message
   // is formatted into a bounded buffer; a longer one is cut and ends in "...". Warnings show only with
   // showStrictTIFFWarnings.
   static void TIFFErrorHandler( const char* module, const char* format, va_list arguments );
   static void TIFFWarningHandler( const char* module, const char* format, va_list arguments );
   static constexpr int TIFFMessageBufferSize = 1024;

   // The caption of the window.
   static constexpr const char* Caption = " Corvanta Lumenforge 1.0";

   // --- State read and changed by the rest of the program ---
   ReadoutOptionsData readoutOptions;
   bool terminating = false;
   bool minimized = false;
   bool processing = false;
   bool abortRequested = false;
   int32_t controlUpdateCount = 0;
   int32_t rubberBandState = 0; // 0 idle, 1 selecting, 2 a double-click is being handled
   struct
   {
      int32_t anchorX = 0, anchorY = 0, cornerX = 0, cornerY = 0;
   } rubberBandRect;
   QImage desktopBitmap; // the 8x8 checker; null until UpdateDesktopBrush
   QBrush desktopBrush;
   // MIME type of the private image data on the clipboard: the one spelling of that wire name, for every window and
   // for the file formats (a constant, valid also while no main window exists).
   static inline const QString rawImageClipboardFormat = QStringLiteral( "application/x-lumenforge-raw-image" );

   // ---- Readout options menu (MainWindowReadout.cpp) -----------------------------------------------------------
   // The 34 actions of the readout options pop-up menu, dropped down by the tool button at the right end of the
   // readout tool bar. Each setting action changes only its own fields and refreshes the readout; "Real" and
   // "Integer" only open their submenus.
   void BuildReadoutActions();
   // Idle: the check marks of the actions that match readoutOptions; the mode actions only with a probe box.
   void UpdateReadoutActions();
   // The actions in menu order (data, mode, probe size, Real, precisions, Integer, ranges).
   std::vector<QAction*> ReadoutActions() const;
   QToolButton* ReadoutOptions_ToolButton = nullptr;
   QMenu* ReadoutOptions_PopupMenu = nullptr;
   QAction* ReadoutDataRGBGray_Action = nullptr;
   QAction* ReadoutDataRGBL_Action = nullptr;
   QAction* ReadoutDataHSV_Action = nullptr;
   QAction* ReadoutDataCIEXYZ_Action = nullptr;
   QAction* ReadoutDataCIELab_Action = nullptr;
   QAction* ReadoutDataCIELch_Action = nullptr;
   QAction* ReadoutModeMean_Action = nullptr;
   QAction* ReadoutModeMedian_Action = nullptr;
   QAction* ReadoutModeMin_Action = nullptr;
   QAction* ReadoutModeMax_Action = nullptr;
   std::array<QAction*, 8> ReadoutProbeSize_Actions{}; // ReadoutProbeSize1x1_Action ... ReadoutProbeSize15x15_Action
   QAction* ReadoutReal_Action = nullptr;
   std::array<QAction*, 6> ReadoutPrecision_Actions{}; // ReadoutPrecision1_Action ... ReadoutPrecision6_Action
   QAction* ReadoutInteger_Action = nullptr;
   QAction* ReadoutRange8bit_Action = nullptr;
   QAction* ReadoutRange12bit_Action = nullptr;
   QAction* ReadoutRange16bit_Action = nullptr;
   QAction* ReadoutRange32bit_Action = nullptr;
   QAction* ReadoutRange100_Action = nullptr;
   QAction* ReadoutRange1000_Action = nullptr;
   QAction* ReadoutRange10000_Action = nullptr;
   QAction* ReadoutRange100000_Action = nullptr;

   // --- Components ---
   QMenu* File_Menu = nullptr;
   QMenu* Edit_Menu = nullptr;
   QMenu* Image_Menu = nullptr;
   QMenu* Preview_Menu = nullptr;
   QMenu* Mask_Menu = nullptr;
   QMenu* Process_Menu = nullptr;
   QMenu* Tools_Menu = nullptr;
   QMenu* Window_Menu = nullptr;
   QMenu* Help_Menu = nullptr;
   QMenu* Desktop_PopupMenu = nullptr;
   QMenu* ProcessIcon_PopupMenu = nullptr;

   QToolBar* File_ToolBar = nullptr;
   QToolBar* Edit_ToolBar = nullptr;
   QToolBar* ImageView_ToolBar = nullptr;
   QToolBar* Zoom_ToolBar = nullptr;
   QToolBar* FastRotate_ToolBar = nullptr;
   QToolBar* Preview_ToolBar = nullptr;
   QToolBar* Mask_ToolBar = nullptr;
   QToolBar* Geometry_ToolBar = nullptr;
   QToolBar* ColorSpaces_ToolBar = nullptr;
   QToolBar* TransferCurves_ToolBar = nullptr;
   QToolBar* AdvancedProcessing_ToolBar = nullptr;
   QToolBar* ProcessIcons_ToolBar = nullptr;
   QToolBar* Tools_ToolBar = nullptr;
   QToolBar* Readout_ToolBar = nullptr;
   QToolBar* ColorSamples_ToolBar = nullptr;
   QToolBar* Info_ToolBar = nullptr;

   QComboBox* SelectChannel_ComboBox = nullptr;
   QLabel* Position_Panel = nullptr;
   QLabel* Readout_Panel = nullptr;
   QLabel* RGB_Panel = nullptr;
   QLabel* R_Panel = nullptr;
   QLabel* G_Panel = nullptr;
   QLabel* B_Panel = nullptr;
   QLabel* L_Panel = nullptr;
   QLabel* Info_Panel = nullptr;

Q_SIGNALS:
   // The busy state changed (the status dialog enables its Abort button exactly while busy).
   void ProcessingStateChanged( bool processing );
   // The window has closed: the program's message loop ends.
   void Closed();

protected:
   void changeEvent( QEvent* event ) override;
   void closeEvent( QCloseEvent* event ) override;
   void dragEnterEvent( QDragEnterEvent* event ) override;
   void dropEvent( QDropEvent* event ) override;

private:
   void BuildMenus();
   // The File and Edit actions with their menu items.
   void BuildFileAndEditActions();
   // The actions of the other menus, the menus and the tool bars' buttons.
   void BuildCommandActions();
   // The process icon actions, menus and desktop handling.
   void BuildProcessIconActions();
   // Mouse and drag events of the desktop's viewport; true when handled.
   bool DesktopEvent( QEvent* event );
   void FillToolBars();
   // The geometry commands, the Invert command and their menus and tool bars (MainWindowGeometryActions.cpp).
   void BuildGeometryActions();
   void FillGeometryToolBars();
   void ConnectIdleUpdate();
   // Opens the monitor profile and builds the display transforms; tells the user when colour management cannot be
   // used, naming the profile file that failed.
   void StartDisplayColorManagement();
   bool eventFilter( QObject* watched, QEvent* event ) override;
   void BuildToolBars();
   void HideAllToolBars();
   void DockDefaultToolBars();
   QToolBar* MakeToolBar( const char* name, const QString& title );
   QLabel* MakePanel( QToolBar* toolBar, const char* name, int width );

   QMdiArea* desktop = nullptr;
   // The document child to make active once the main window is enabled again.
   QPointer<QMdiSubWindow> pendingActiveChild;
   // The rows of tool bars DockToolBar has docked in each tool-bar area, top row first, with the right edge of
   // each (a tool bar docked beside a wider row under it starts at that row's edge).
   struct ToolBarRow
   {
      int width = 0;
      std::vector<QPointer<QToolBar>> toolBars;
   };
   QHash<int, std::vector<ToolBarRow>> dockedRows;
};

// The one main window; nullptr before it is created and after it is destroyed.
extern TMainWindow* MainWindow;

// Makes the main window the holder of the readout options in force (process/ReadoutOptions.h). Called at start-up.
void InstallReadoutOptionsHolder();

#endif
