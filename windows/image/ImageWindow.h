#ifndef LF_WINDOWS_IMAGE_IMAGE_WINDOW_H
#define LF_WINDOWS_IMAGE_IMAGE_WINDOW_H

// The image window: the document window of the program, one per open image.
//
// TImageWindow is the content widget of a QMdiSubWindow on the main window's desktop (or a plain top-level widget
// when there is no main window, as in tests). It is a QAbstractScrollArea that paints its viewport itself: the
// viewport is the scroll box of the image, and a strip of view tabs sits in the left viewport margin.
//
// Ownership: the window owns its image, its views (the main view and the previews), its option records, its
// working-space handle, its IPTC information and the names of its swap files. Views never own images: a view finds
// its image through an image slot (the window's `image` for the main view, the preview's `currentImage` for a
// preview), so an operation that replaces the image object is seen by every view at once.
//
// Global lists: MainViewList holds the main view of every window in creation order, PreviewList every preview of
// every window; ImageWindowCounter numbers swap files and default identifiers and returns to 0 when the last
// window is gone. None of them owns anything.
//
// Zoom: an int32 n, n >= 1 for n:1 and n <= -2 for 1:-n, from -16 to 32; 0 and -1 become 1.
//
// Painting never happens while paintingAllowed is off (a process is changing the image) or while the window is
// closing; while the processing status dialog runs without permission to paint, a paint is only remembered
// (paintPending) and the dialog repaints the window when it ends.
//
// Work that later parts of the window fill in (undo and swap files, masks, previews' stored states, the work of the
// dynamic sessions, display colour management) is reached through members named as those parts name them; until they
// land these are minimal (documented at each one), so that callers need not change.
//
// Everything runs on the GUI thread; only the histogram and statistics passes use worker threads inside one call.

#include <QAbstractScrollArea>
#include <QColor>
#include <QFont>
#include <QImage>
#include <QPointF>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "classlib/Containers.h"
#include "classlib/IPTCPhotoInfo.h"
#include "classlib/Image.h"
#include "classlib/RGBColorSystem.h"
#include "formats/FITSOptions.h"
#include "formats/JPEGOptions.h"
#include "formats/RAWOptions.h"
#include "formats/TIFFOptions.h"
#include "platform/ICCProfile.h"
#include "process/Maskable.h"
#include "process/Process.h"
#include "windows/image/DynamicSessions.h"
#include "windows/image/SwapFile.h"
#include "process/ReadoutOptionsData.h"

class ProcessContainer;
class TProcessingWindow;
class QMdiSubWindow;
class QMimeData;
class QMenu;
class QPainter;

// Code of the file format an image window was read from.
enum ImageFileFormat : uint8_t
{
   NoImageFileFormat = 0,
   FITSImageFileFormat = 1,
   TIFFImageFileFormat = 2,
   RAWImageFileFormat = 3,
   BMPImageFileFormat = 4,
   JPEGImageFileFormat = 5
};

// Header of the private clipboard format (little-endian int32 each), followed by one float32 plane per channel
// (nominal channels first, then alpha), row by row, then ClipboardPadding zero bytes.
struct ClipboardImageHeader
{
   int32_t width = 0;
   int32_t height = 0;
   int32_t numberOfChannels = 0;
   int32_t colorSpace = 0;
};
static_assert( sizeof( ClipboardImageHeader ) == 16 );
constexpr int64_t ClipboardPadding = 3;

class TImageWindow : public QAbstractScrollArea, public MaskTarget
{
   Q_OBJECT

public:
   class View;
   class Preview;

   // ---- Histograms and statistics of a view ------------------------------------------------------------------

   // Per nominal channel an array of bin counts (none beyond the channel count), its largest count, and the
   // number of bins of every array.
   class HistogramData
   {
   public:
      HistogramData() = default;
      ~HistogramData() { Deallocate(); }
      HistogramData( const HistogramData& ) = delete;
      HistogramData& operator=( const HistogramData& ) = delete;

      // Stores the bin count and gives each of the first `channels` (at most 3) a zero-filled array, peak 0.
      void Allocate( int32_t bins, int32_t channels );
      // Deletes the arrays; the object stays.
      void Deallocate();

      std::unique_ptr<int32_t[]> counts[3];
      int32_t peaks[3] = {};
      int32_t bins = 0;
   };

   // Per nominal channel: mean, median, standard deviation, average absolute deviation, variance, minimum and
   // maximum of a view's image.
   class StatisticsData
   {
   public:
      float mean[3] = {};
      float median[3] = {};
      float stdDev[3] = {};
      float avgDev[3] = {};
      float variance[3] = {};
      float minimum[3] = {};
      float maximum[3] = {};
   };

   // ---- Views ------------------------------------------------------------------------------------------------

   // A view: the main view (the whole image) or a preview. What processes run on and what the window shows.
   class View : public ProcessView
   {
   public:
      // The view's image is *imageSlot; the view never owns it. A new empty ProcessContainer is the history.
      View( qor::Image** imageSlot, TImageWindow* window, const std::string& identifier );
      virtual ~View();
      View( const View& ) = delete;
      View& operator=( const View& ) = delete;

      virtual bool IsMainView() const { return true; }
      bool IsPreview() const override { return false; }
      // The window's modification count > 0 (a preview: its own count).
      virtual bool IsModified() const;
      // A modification of the view's image: the window's count + 1; with notify, the mask references are told
      // and every cache of the window is dropped without notification.
      void Modified( bool notify ) override;
      // The identifier; a preview adds its image's: "Image01->Preview01".
      virtual std::string FullIdentifier() const { return identifier; }
      std::string FullId() const override { return FullIdentifier(); }
      qor::Image* TargetImage() const override { return imageSlot != nullptr ? *imageSlot : nullptr; }
      // What processes see of the window (ProcessView).
      const qor::Image* WholeImage() const override { return window->image; }
      std::string MainViewId() const override { return window->MainViewId(); }
      void SetMainViewId( const std::string& identifier ) override { window->mainView->SetIdentifier( identifier ); }
      qor::RGBColorSystem* RGBWorkingSpace() const override { return &window->rgbWorkingSpace; }
      bool HasColorMask() const override
      {
         return window->maskWindow != nullptr && window->maskWindow->image != nullptr &&
                window->maskWindow->image->IsColor();
      }
      void RemoveMask() override { window->SetMask( nullptr ); }
      bool HasMaskReferences() const override { return !window->maskReferences.empty(); }
      void ReleaseMaskReferences() override { window->ReleaseMaskReferences(); }
      MaskTarget* EnabledMask() const override
      {
         return window->maskEnabled ? window->maskWindow : nullptr;
      }
      void AddStatusTask( const std::string& text, int32_t level ) override;
      const std::vector<uint8_t>* ICCProfileData() const override { return window->iccProfile.get(); }
      void SetICCProfile( std::unique_ptr<std::vector<uint8_t>> profile ) override
      {
         window->SetICCProfile( std::move( profile ), true );
      }
      bool HasHighBitDepthFile() const override { return window->HasHighBitDepthFile(); }
      // Main views only: the window's image is replaced and its caption updated.
      void ReplaceImage( std::unique_ptr<qor::Image> image ) override;
      // The main window's busy state, in which the status dialog takes abort requests.
      bool SetAbortable( bool abortable ) override;
      FITSOptions* FITSOptionsRecord() const override
      {
         return IsMainView() ? window->fitsOptions.get() : nullptr;
      }
      qor::IPTCPhotoInfo* IPTCPhotoInfoRecord() const override
      {
         return IsMainView() ? window->iptcInfo.get() : nullptr;
      }
      // New identifier (not checked, not made unique): caption and tabs redrawn, mask references told, a rename
      // notification for this view and then for every preview of the window.
      virtual void SetIdentifier( const std::string& text );

      qor::Image& GetImage() const { return **imageSlot; }
      TImageWindow* Window() const { return window; }
      const std::string& Identifier() const { return identifier; }

      // History (the view owns its ProcessContainer and the redo instance).
      Process* LastProcess() const;
      // Deletes the redo instance, then the history takes the instance.
      void AddToHistory( std::unique_ptr<Process> instance );
      void MoveLastProcessToRedo();
      void MoveRedoProcessToHistory();
      void ClearHistory();
      void DiscardRedoProcess();
      // Replaces the history container (the view takes ownership); nullptr gives an empty one.
      void SetHistory( ProcessContainer* container );
      ProcessContainer& History() const { return *history; }
      // Appends the source-text listing of the history (depth 0).
      void ListHistory( std::vector<std::string>& list ) const;
      Process* RedoProcess() const { return redoProcess.get(); }

      // Caches. CalculateHistograms: bins per channel (the histogram tools use 65536). A sample x falls in bin
      // round(x * (bins - 1)) (ties to even), clamped to the histogram; NaN counts in bin 0.
      void CalculateHistograms( int32_t bins, bool notify );
      void CalculateStatistics( bool notify );
      void DiscardHistograms( bool notify );
      void DiscardStatistics( bool notify );
      const HistogramData* Histograms() const { return histograms.get(); }
      // The pixel work of the two caches, without a view: histograms of the nominal channels (at most 3) and
      // their statistics (NaN samples are left out; a channel of one sample has variance 0). Parallel over row
      // strips with the same result for any number of threads; the image's monitor, when it has one, advances
      // by width per row and channel (twice for the statistics).
      static void ComputeHistograms( const qor::Image& image, int32_t bins, HistogramData& histograms );
      static void ComputeStatistics( const qor::Image& image, StatisticsData& statistics, bool median = true );
      const StatisticsData* Statistics() const { return statistics.get(); }

      // The readout of a channel at (x, y) (inside the image) with the main window's readout options.
      float ReadoutValue( int32_t channel, int32_t x, int32_t y ) const;
      // The readout of a channel of an image at (x, y) with the given options: the pixel, or the statistic of the
      // probe box around it over the samples that lie inside the image. 0 for a channel the image lacks or a point
      // outside it.
      static float ProbeValue( const qor::Image& image, int32_t channel, int32_t x, int32_t y,
                               const ReadoutOptionsData& options );

      // Puts the image on the clipboard in the private format (TMainWindow::rawImageClipboardFormat). Throws a
      // std::runtime_error with the message on failure.
      void CopyToClipboard() const;
      // The bytes CopyToClipboard puts on the clipboard.
      QByteArray ClipboardData() const;

      qor::Image** imageSlot;
      qor::List<TProcessingWindow*> selectingWindows;
      int32_t zoom = 1;
      int32_t centerX = 0;
      int32_t centerY = 0;

   protected:
      TImageWindow* window;
      std::string identifier;
      std::unique_ptr<HistogramData> histograms;
      std::unique_ptr<StatisticsData> statistics;
      std::unique_ptr<ProcessContainer> history;
      std::unique_ptr<Process> redoProcess;
   };

   // ---- Construction ------------------------------------------------------------------------------------------

   // Takes ownership of every object passed (nullptr: a default one is made). The window is placed on the main
   // window's desktop when there is one. Sends no notification: the creator does.
   TImageWindow( QWidget* owner, bool isCopy, qor::IPTCPhotoInfo* iptc, JPEGOptions* jpeg, RAWOptions* raw,
                 FITSOptions* fits, TIFFOptions* tiff, std::vector<uint8_t>* iccProfile, const std::string& path,
                 const std::string& identifier, qor::Image* image );
   ~TImageWindow() override;

   // The sub-window that frames this window on the desktop, or nullptr.
   QMdiSubWindow* SubWindow() const;
   // The widget whose geometry is the window's frame: the sub-window, or this widget.
   QWidget* Frame() const;
   // Shows the window; on the desktop it also becomes the active window there, since a new image is what the user
   // works on next (the actions of the main window act on the active one).
   void ShowAndActivate();

   // ---- MaskTarget ---------------------------------------------------------------------------------------------
   void AddMaskReference( Maskable* user ) override;
   void RemoveMaskReference( Maskable* user ) override;
   bool IsBeingDestroyed() const override { return beingDestroyed; }
   std::string MainViewId() const override { return mainView->Identifier(); }

   // ---- Caption, appearance ------------------------------------------------------------------------------------
   void UpdateCaption();
   QString Caption() const { return caption; }
   void ApplyBackgroundColor( bool repaint );
   void SetIcons();

   // ---- Zoom, scrolling, channels, views -----------------------------------------------------------------------
   // The image the window shows: the current view's (the main image before there is one). The displayed channel,
   // the render mode and the caption's channel name refer to it.
   const qor::Image& DisplayedImage() const;
   void SetDisplayChannel( int32_t channel );
   int32_t CurrentRenderMode() const;
   void SetZoomAndCenter( int32_t x, int32_t y, int32_t zoom );
   void SetZoom( int32_t zoom );
   void ZoomToFit( bool allowZoomIn );
   void FitWindow();
   void SelectView( View* view );
   void SelectNextView();
   void SelectPreviousView();
   void RedrawImage();
   void RepaintViewTabs();

   // Scroll positions (horizontal, vertical) of the paint box, and its size (the larger of the scaled image and
   // the client area).
   int32_t ScrollX() const;
   int32_t ScrollY() const;
   QSize PaintBoxSize() const { return { paintBoxWidth, paintBoxHeight }; }
   // Client (viewport) size of the scroll box.
   QSize ClientSize() const;

   // Scaled length of n image pixels at a zoom, and the image coordinate of a scaled coordinate.
   static int32_t Scaled( int32_t n, int32_t zoom ) { return zoom > 0 ? n * zoom : n / -zoom; }
   static int32_t Unscaled( int32_t n, int32_t zoom ) { return zoom > 0 ? n / zoom : n * -zoom; }
   // The readout coordinate of a paint-box coordinate (offset removed) at a zoom: floor(x / zoom) when
   // magnified, x * -zoom when reduced.
   static int32_t ImageCoordinate( int32_t x, int32_t zoom );
   static int32_t ZoomStepIn( int32_t n ) { return n < 32 ? ( n == -2 ? 1 : n + 1 ) : n; }
   static int32_t ZoomStepOut( int32_t n ) { return n > -16 ? ( n == 1 ? -2 : n - 1 ) : n; }
   static int32_t NormalizedZoom( int32_t zoom );

   // View tabs: the tab (main view first, then previews) under a point of the tab strip, or nullptr.
   View* ViewTabHitTest( int32_t x, int32_t y ) const;
   // Width of the tab strip's client (the tab-font height + 4).
   int32_t ViewTabsWidth() const;
   // Places the tab strip and the separators for the current tab font.
   void UpdateViewTabsLayout();

   // ---- Caches of all views ------------------------------------------------------------------------------------
   int32_t DiscardHistograms( bool notify );
   int32_t DiscardStatistics( bool notify );

   // ---- Identifiers ---------------------------------------------------------------------------------------------
   std::string DefaultPreviewIdentifier() const;
   std::string UniquePreviewIdentifier( const std::string& wish ) const;
   Preview* FindPreviewByIdentifier( const std::string& text ) const;
   std::string ExpandPreviewIdentifierMacros( const std::string& templ, bool wantExisting ) const;

   // ---- Previews -------------------------------------------------------------------------------------------------
   // A new preview (an empty identifier: the default one; a given one is used as it is) appended to the window's
   // previews; selected when the main view is current.
   Preview* CreatePreview( const std::string& identifier, int32_t left, int32_t top, int32_t width, int32_t height );
   // A preview of this window gets another identifier and/or rectangle (a changed rectangle resets it).
   void ModifyPreview( Preview* preview, const std::string& identifier, int32_t left, int32_t top, int32_t width,
                       int32_t height );
   void SetSelectedPreview( Preview* preview );
   void DeletePreview( Preview* preview );
   // As DeletePreview, but the preview's current image goes to the caller; nullptr for a preview not of this window.
   std::unique_ptr<qor::Image> DeletePreviewAndTakeImage( Preview* preview );
   void DeleteAllPreviews();
   // The last created preview whose rectangle, widened by tolerance on every side, contains (x, y); or nullptr.
   Preview* PreviewAt( int32_t x, int32_t y, int32_t tolerance ) const;
   // Moving and resizing a preview with the mouse (image coordinates). The edit rectangle (inclusive edges) holds
   // the rectangle while it changes; EndPreviewEdit gives it to the preview.
   void BeginPreviewMove( Preview* preview, int32_t x, int32_t y );
   void BeginPreviewResize( Preview* preview, int32_t x, int32_t y );
   void MovePreviewEdit( int32_t x, int32_t y );
   void EndPreviewEdit();
   // The outlines drawn over the main view: every preview's rectangle (the selected one in its own colour) with its
   // caption, and the edit rectangle with a cross at its centre while a preview is moved or resized.
   void DrawPreviewOutlines( QPainter& painter ) const;
   Preview* editedPreview = nullptr;
   bool previewMoving = false;
   bool previewResizing = false;
   int32_t editLeft = 0, editTop = 0, editRight = 0, editBottom = 0;
   int32_t editLastX = 0, editLastY = 0;
   bool editGrabLeft = false, editGrabTop = false, editGrabRight = false, editGrabBottom = false;

   // ---- Mouse modes, mouse and keyboard ---------------------------------------------------------------------------
   // The handlers of the image area take paint-box coordinates (the viewport's plus the scroll positions); Qt's
   // events are turned into these calls by the window's event overrides, tests may call them directly.
   void Image_PaintBoxMouseDown( Qt::MouseButton button, Qt::KeyboardModifiers shift, int32_t X, int32_t Y );
   void Image_PaintBoxMouseMove( Qt::MouseButtons buttons, Qt::KeyboardModifiers shift, int32_t X, int32_t Y );
   void Image_PaintBoxMouseUp( Qt::MouseButton button, Qt::KeyboardModifiers shift, int32_t X, int32_t Y );
   // Keys that choose modes (temporary ones while Space, Ctrl or Alt are held) and displayed channels. True when
   // the key was used.
   bool FormKeyDown( int key, Qt::KeyboardModifiers shift );
   bool FormKeyUp( int key, Qt::KeyboardModifiers shift );
   // A negative delta (rolled toward the user) zooms in one step, any other out, about the centre of the view.
   void FormMouseWheel( int32_t delta );
   void FormActivate();
   // The mode's cursor on the image area; any temporary cursor is dropped.
   void UpdateCursor();
   // A cursor that stands for the mode's while the mouse is over something the mode can grab (0: the mode's).
   void SetScreenCursor( int32_t slot );
   int32_t ScreenCursorSlot() const { return screenCursor; }
   // The cursor slot the image area shows now.
   int32_t ShownCursorSlot() const;
   // Whether a paint-box point lies in the visible client area, not covered by a floating tool window.
   bool IsPointInsideImageArea( int32_t X, int32_t Y ) const;
   // Image coordinates (floating point) of a paint-box point at the current view's zoom.
   QPointF ImagePoint( int32_t X, int32_t Y ) const;

   // Rubber band, image pixels of the current view (inclusive corners, first corner fixed).
   void BeginRubberBand( int32_t x0, int32_t y0, int32_t x1, int32_t y1 );
   void MoveRubberBand( int32_t x, int32_t y );
   void EndRubberBand();
   bool rubberBandActive = false;
   int32_t rubberX0 = 0, rubberY0 = 0, rubberX1 = 0, rubberY1 = 0;

   // Panning, in viewport pixels; with axisLock the pan follows the axis of the first movement only.
   void BeginPan( int32_t x, int32_t y, bool axisLock );
   void MovePan( int32_t x, int32_t y );
   void EndPan();
   bool panActive = false;
   bool panAxisPending = false;
   bool panLockedHorizontal = false;
   bool panLockedVertical = false;
   int32_t panStartX = 0, panStartY = 0, panStartScrollX = 0, panStartScrollY = 0;

   // A process instance dragged over the view tabs switches to the tab under the point (never a drop there).
   void ViewTabs_PaintBoxDragOver( const QMimeData* data, int32_t x, int32_t y, bool leaving );

   // ---- Pixel readout and status panels (the main window's panels; nothing without a main window) --------------
   // " x:%.2f<separator>y:%.2f" of an image point of the current view into the position panel.
   void ShowPosition( double x, double y );
   // The readout of the pixel at (column, row) of the current view with the main window's readout options, and its
   // swatches; the rubber band's or the edited preview's rectangle while one is dragged; empty outside the image.
   void ShowPixelReadout( int32_t column, int32_t row );
   // The text ShowPixelReadout shows (no swatches, nothing written).
   QString PixelReadoutText( int32_t column, int32_t row, const ReadoutOptionsData& options ) const;
   // Size, colour space, working space, state, mask and colour management of the current view, in the
   // information panel.
   void UpdateInfoPanel();
   QString InfoText() const;
   // The main window's idle update while this window is active: the information panel.
   void IdleUpdate( bool& done );
   // The readout values of channels 0, 1 and 2 at a pixel of the current view (a grey image: its one channel).
   void ReadoutValues( int32_t column, int32_t row, float values[3] ) const;
   // Readout broadcasts to every processing window while the left button is held in readout mode.
   void BeginReadout( View& view, float r, float g, float b );
   void UpdateReadout( View& view, float r, float g, float b );
   void EndReadout( View& view );

   // ---- Dynamic sessions -----------------------------------------------------------------------------------------
   // Before an operation on the window or a run of the instance on one of its views: a session of another process
   // than the instance's is cancelled only when the user agrees ("Cancel current Dynamic Crop session?", then the
   // same for DBE). False when a question was answered No: the caller gives its operation up.
   bool ConfirmCancelDynamicSessions( const Process& instance );
   // Start a session of that kind on the window (image pixels), or from an instance of the session's process;
   // refused with an error box ("There is a Dynamic Crop session already active", "There is a Dynamic Background
   // Extraction session already active") while a session of the kind runs on any window. A session object whose
   // start did not make it active is dropped again.
   void StartDynamicCrop( float x0, float y0, float x1, float y1 );
   void StartDynamicCropFromInstance( const Process& instance );
   void StartDBE( float x, float y );
   void StartDBEFromInstance( const Process& instance );
   // End the window's session of that kind and delete its object; nothing without one.
   void StopDynamicCrop();
   void StopDBE();
   // Whether a session of the kind is active on any image window.
   static bool DynamicCropSessionRunning();
   static bool DBESessionRunning();
   // The paint-box point of an image point of the current view: scaled by the zoom, the image offset added, then
   // rounded to the nearest integer (halves to even).
   QPoint ImageToScreen( float x, float y ) const;
   // Repaints a rectangle of the image area (paint-box coordinates).
   void RepaintScreenArea( const QRect& area );

   // ---- Undo, redo and recovery (one level, in the window's swap file) --------------------------------------------
   // Every failure is thrown: the texts of the operations as UndoError, or what the swap-file code throws.
   class UndoError : public ProcessRefusal
   {
   public:
      explicit UndoError( const std::string& text ) : ProcessRefusal( text ) {}
   };
   void EnableUndo();
   // Deletes the undo data, then keeps none until undo is enabled again.
   void DisableUndo();
   // Before a process changes the main view: the parts of the window state that flags name go to the swap file.
   // A write that fails (a full disk) leaves no file and the undo state as it was, and is thrown as UndoError.
   void PrepareUndo( uint32_t flags );
   // Undoes when undo is possible, else redoes when redo is; the window state and the swap file change places.
   // A failure leaves the window as it was.
   void UndoRedo();
   void Redo();
   // Before a run that PrepareUndo prepares: the existing undo data become the recovery copy.
   void KeepRecoveryCopy();
   // After an aborted run: the state before the run comes back from the swap file that the run's PrepareUndo
   // wrote, and the undo state from the recovery copy. False when this run wrote no undo data (nothing changed).
   bool Recover( bool notify );
   void DeleteRecoveryCopy();
   // Deletes the undo data, whatever is left of them: undo and redo become impossible.
   void PurgeUndo();
   // The window state as the swap-file flags select it, to a new private file at path (replacing one there).
   void WriteSwapFile( const std::string& path, uint32_t flags ) const;
   // Replaces the window state by what the swap file at path holds. The whole file is read and checked first: a
   // file that cannot be read in full, or is not a valid swap file of this window, changes nothing.
   void ReadSwapFile( const std::string& path, bool notify );
   // The swap file holds the state before the last run on the main view (its PrepareUndo succeeded). Cleared when
   // the next run on the main view begins, and by undo, redo, recovery and purge.
   bool runUndoPrepared = false;

   // ---- Masks --------------------------------------------------------------------------------------------------
   // Sets, replaces or removes (nullptr) the mask; a new mask enables masking.
   void SetMask( TImageWindow* window );
   // Whether the candidate can mask the target: another window with an image of the same size, not a colour image
   // for a grey target (a grey mask fits any image), and not itself masked by the target.
   static bool CanUseAsMask( const TImageWindow& target, const TImageWindow& candidate );
   // The mask changed: redrawn when shown, and the processing windows told.
   void MaskChanged();
   void EnableMask();
   void DisableMask();
   void ShowMask();
   void HideMask();
   // After a run on the main view: the result blended through the mask with the state before the run, read from
   // the swap file. False (nothing done) without a mask or without undo data of the run.
   bool ApplyMask( bool notify );
   // Blends the main image through the mask image with the planes of the swap file at path: p = p*m + (1-m)*s.
   void ApplyMaskFromSwapFile( const qor::Image& mask, const std::string& path, bool notify );
   void ReleaseMaskReferences();
   void NotifyMaskReferences();
   // This window as a mask reference of a swap file, and any user of a mask as one.
   SwapFileMaskReference MaskReferenceRecord() const;
   static SwapFileMaskReference MaskReferenceRecordOf( const Maskable* user );
   // The open window a reference read from a swap file names, when it still fits: as this window's mask
   // (forMask), or as a window masked by this one. nullptr otherwise.
   TImageWindow* FindSwapFileMaskReference( const SwapFileMaskReference& reference, bool forMask ) const;
   // Never reused while the program runs; identifies the window in swap files.
   const uint32_t serial;

   // ---- Display colour management (windows/image/ImageWindow_ICM.cpp) ---------------------------------------------

   // Takes the profile block over (nullptr: none) and rebuilds the display transform; with redraw, a colour-managed
   // window is redrawn and the processing windows are told.
   void SetICCProfile( std::unique_ptr<std::vector<uint8_t>> profile, bool redraw );
   void DeleteICCProfile( bool redraw );
   // Rebuilds the handle and the transform from the embedded profile. A profile that LittleCMS refuses, or whose
   // colour space does not fit the image (a grey profile on a colour image), gets neither: the window is shown
   // through the default profile's transform instead, as if untagged.
   void UpdateDisplayTransform();
   void EnableColorManagement();
   void DisableColorManagement();
   // Converts a bitmap rendered from a view of this window (nullptr: the current view) to the monitor profile.
   void ColorManageBitmap( QImage& bitmap, View* view = nullptr );
   // The transform ColorManageBitmap uses for a view; null when its bitmaps are shown as rendered.
   ICCColorTransform DisplayTransformFor( const View* view ) const;
   // The window's file stores 32 or more bits per sample (FITS, TIFF or raw, by their option records).
   bool HasHighBitDepthFile() const;

   // Swap-file folder of this process: private (mode 0700), made on first use under the swap-files preference
   // folder (or the system temporary folder) and named "lumenforge-<process id>-XXXXXX". Empty when it cannot be made;
   // failure then says why, naming the folder it was to be made in and where the user chooses another.
   static std::string SwapDirectory( std::string* failure = nullptr );
   // Names this window's swap and temporary files in the swap-file folder, making the folder when needed; false
   // (failure saying why) when it cannot be made. Undo tries again when the window has none yet, so that a folder
   // chosen in the preferences meanwhile is taken.
   bool NameSwapFiles( std::string* failure = nullptr );
   // Removes from the base folder the swap-file folders that processes of this program left behind when they ended
   // abnormally: the user's own folders named as SwapDirectory names them, whose process no longer runs, that hold
   // nothing but swap files. Everything else stays.
   static void RemoveAbandonedSwapDirectories( const std::string& base );

   // ---- Data -----------------------------------------------------------------------------------------------------
   qor::Image* image = nullptr;
   bool isCopy = false;
   std::string filePath;
   uint8_t fileFormat = NoImageFileFormat;
   qor::RGBColorSystem rgbWorkingSpace;
   float resolution = 72;
   bool metricResolution = false;
   std::unique_ptr<TIFFOptions> tiffOptions;
   std::unique_ptr<FITSOptions> fitsOptions;
   std::unique_ptr<RAWOptions> rawOptions;
   std::unique_ptr<JPEGOptions> jpegOptions;
   std::unique_ptr<qor::IPTCPhotoInfo> iptcInfo;
   int32_t displayChannel = 0;
   bool readoutActive = false;
   std::unique_ptr<DynamicCropData> dynamicCropData;
   std::unique_ptr<DynamicBackgroundExtractionData> dbeData;
   int32_t modificationCount = 0;
   bool undoEnabled = true;
   int32_t swapFileFlags = 0;
   uint32_t recoverySwapFileFlags = 0;
   bool undoAvailable = false;
   bool recoveryUndoAvailable = false;
   bool redoAvailable = false;
   std::string swapFilePath;
   std::string tempFilePath;
   int32_t swapFileNumber = 0; // the N of lfN.swp and lfN.tmp
   View* mainView = nullptr;       // owned
   std::vector<Preview*> previews; // owned, creation order
   View* currentView = nullptr;
   Preview* selectedPreview = nullptr;
   int32_t previewCounter = 0;
   bool paintingAllowed = true;
   bool paintPending = false;
   QImage paintBitmap; // the pixels of the last paint, whose memory the next one of the same size reuses
   int32_t imageOffsetX = 0;
   int32_t imageOffsetY = 0;
   bool maskEnabled = true;
   bool maskShown = true;
   std::vector<Maskable*> maskReferences;
   TImageWindow* maskWindow = nullptr;
   bool colorManagementEnabled = true;
   std::unique_ptr<std::vector<uint8_t>> iccProfile;
   ICCProfileHandle iccProfileHandle = nullptr;   // owned; only while display colour management is available
   ICCColorTransform displayTransform = nullptr; // owned; embedded profile -> monitor profile
   int32_t closingCount = 0;

   // Whether the processing status dialog is running and whether it lets windows paint meanwhile. Set by the
   // status dialog; RedrawImage raises the permission around its own invalidation.
   static int32_t statusDialogNestingCount;
   static int32_t statusDialogPaintPermission;

   // The tab strip.
   QWidget* ViewTabs_PaintBox = nullptr;
   // The pop-up menus of the image area (owned by the window): the paint box holds the main view's while the main
   // view is current, the previews' while a preview is.
   QMenu* Image_PopupMenu = nullptr;
   QMenu* Preview_PopupMenu = nullptr;
   QMenu* PaintBoxPopupMenu() const { return paintBoxPopupMenu; }

protected:
   void paintEvent( QPaintEvent* event ) override;
   void resizeEvent( QResizeEvent* event ) override;
   void scrollContentsBy( int dx, int dy ) override;
   void closeEvent( QCloseEvent* event ) override;
   void showEvent( QShowEvent* event ) override;
   bool viewportEvent( QEvent* event ) override;
   void contextMenuEvent( QContextMenuEvent* event ) override;
   void mousePressEvent( QMouseEvent* event ) override;
   void mouseMoveEvent( QMouseEvent* event ) override;
   void mouseReleaseEvent( QMouseEvent* event ) override;
   void wheelEvent( QWheelEvent* event ) override;
   void keyPressEvent( QKeyEvent* event ) override;
   void keyReleaseEvent( QKeyEvent* event ) override;
   void focusInEvent( QFocusEvent* event ) override;

public:
   // Event handlers named after their components.
   void Image_ScrollBoxResize();
   // Paints the clip rectangle (paint-box coordinates) of the image area.
   void Image_PaintBoxPaint( QPainter& painter, const QRect& clip );
   // Paints the tab strip off screen and copies it onto the painter in one step.
   void ViewTabs_PaintBoxPaint( QPainter& painter );
   // The tab strip as painted.
   QImage ViewTabsBitmap() const;
   void ViewTabs_PaintBoxMouseDown( int32_t x, int32_t y );
   // A process instance dragged over the image: accepted when it can run on the current view. Dropped: run there.
   bool Image_PaintBoxDragOver( const QMimeData* data );
   void Image_PaintBoxDragDrop( const QMimeData* data );
   // Whether the window may close (asks what has to be asked); the close event calls it.
   bool FormClose();
   // Asks through the modified-image dialog what closing the window calls for: about active mask references, then
   // about unsaved changes. Stops at the first answer other than Yes and returns it (a TModifiedImageDialog
   // result); Yes when every question was answered Yes or none applied.
   int AskCloseQuestions();

private:
   friend class View;
   friend class Preview;

   // Offsets, scroll ranges and paint box for the current view's zoom. With centre, the scroll positions put the
   // scaled point (x, y) at the centre of the client area; otherwise they stay where they are (clamped).
   void LayoutScrollBox( bool centre, int32_t x, int32_t y );
   // The client size the scroll box will have for a scaled image of w x h (scroll bars shown where needed).
   QSize PredictedClientSize( int32_t w, int32_t h ) const;
   QSize FreeArea() const;
   void DrawViewTab( QPainter& painter, View* view, int32_t p, bool current ) const;
   int32_t ViewTabLength( const View* view ) const;

   class MaskLink;

   // Gives the window the state read from a swap file (nothing in it can fail but memory).
   void ApplySwapFileContents( SwapFileContents&& contents, bool notify );

   // Builds Image_PopupMenu and Preview_PopupMenu from the main window's actions.
   void BuildPopupMenus();

   // The tab strip widget (it paints and hit-tests through the window).
   static QWidget* MakeViewTabsStrip( TImageWindow* window );

   QString caption;
   QColor backgroundColor;
   QMenu* paintBoxPopupMenu = nullptr;
   std::unique_ptr<MaskLink> maskLink;
   bool shownOnce = false;
   bool layingOut = false;
   int32_t paintBoxWidth = 0;
   int32_t paintBoxHeight = 0;
   bool beingDestroyed = false;
   int32_t screenCursor = 0;
   // Paints the rubber band over the image (inverting what lies under it).
   void DrawRubberBand( QPainter& painter ) const;
   // The overlays of the active sessions over the main view: Dynamic Crop, then background extraction.
   void DrawDynamicSessionOverlays( QPainter& painter ) const;
   // The start of a session of the kind (refused while one runs anywhere): a new object, started by start, kept
   // when the start made it active.
   void StartDynamicCropWith( const std::function<void( DynamicCropData& )>& start );
   void StartDBEWith( const std::function<void( DynamicBackgroundExtractionData& )>& start );
   // Gives the mouse free when the image area holds it (a session's key ends the drag that held it).
   void ReleaseSessionMouse();
};

// A preview: a named rectangle of the main image with its own pixel copy, a stored state (pixels and history) that
// every run on it starts from, and one level of undo and redo in memory.
class TImageWindow::Preview : public TImageWindow::View
{
public:
   Preview( TImageWindow* window, const std::string& identifier, int32_t left, int32_t top, int32_t width,
            int32_t height );
   ~Preview() override;

   bool IsMainView() const override { return false; }
   bool IsPreview() const override { return true; }
   bool IsModified() const override { return modificationCount > 0; }
   void Modified( bool notify ) override;
   std::string FullIdentifier() const override;
   void SetIdentifier( const std::string& text ) override;
   void PreviewOrigin( int32_t& x, int32_t& y ) const override
   {
      x = left;
      y = top;
   }
   const qor::Image* StartingImage() const override
   {
      return storedImage != nullptr ? storedImage.get() : WholeImage();
   }

   // Copies the rectangle of the main image anew (clamped to the image, alpha channels dropped); everything the
   // preview kept (stored state, undo state, history) is lost.
   void SetRect( int32_t left, int32_t top, int32_t width, int32_t height );
   // SetRect, then a view-updated notification.
   void Reset( int32_t left, int32_t top, int32_t width, int32_t height );
   // The current pixels and history become the stored state.
   void Store();
   // Returns to the stored state, or to the main image's pixels under the preview with an empty history.
   void Restore( bool notify );
   // One level of undo and redo: Undo keeps the processed pixels and shows the stored state, Redo brings them back.
   void Undo( bool notify );
   void Redo( bool notify );
   bool HasStoredState() const { return storedImage != nullptr; }
   bool IsRedoPossible() const { return redoPossible; }
   // The history that belongs to the stored pixels (empty without a stored state).
   const ProcessContainer& StoredHistory() const;
   // After a run: the result blended through the window's mask with the unprocessed pixels (the masking source
   // when given, else the stored pixels, else the main image's). False without a mask.
   bool ApplyMask( bool notify );
   void ApplyMaskWithSource( const qor::Image& mask, const qor::Image* source, bool notify );
   // The unprocessed copy a process container blends each masked instance with, kept from the current pixels or
   // from the state every run starts from.
   void PrepareMaskingSource( bool fromCurrent );
   void DiscardMaskingSource();
   const qor::Image* MaskingSource() const { return maskingSource.get(); }
   // The identifier rendered white on black, for labelling the preview on the image.
   void DrawCaptionBitmap();
   const QImage& CaptionBitmap() const { return captionBitmap; }

   qor::Image* currentImage = nullptr; // owned
   std::unique_ptr<qor::Image> storedImage;
   int32_t modificationCount = 0;
   int32_t left = 0;
   int32_t top = 0;
   bool beingDeleted = false;

private:
   // Drops every image and state the preview keeps, and the history.
   void ReleaseData();
   // The unprocessed pixels a run started from: the stored image, else the main image's under the rectangle.
   std::unique_ptr<qor::Image> StartingPixels() const;

   std::unique_ptr<ProcessContainer> storedHistory;
   std::unique_ptr<qor::Image> maskingSource;
   std::unique_ptr<qor::Image> undoImage;
   bool redoPossible = false;
   QImage captionBitmap;
};

// ---- Global state --------------------------------------------------------------------------------------------------

extern std::vector<TImageWindow::View*> MainViewList;
extern std::vector<TImageWindow::Preview*> PreviewList;
extern int32_t ImageWindowCounter;
extern uint8_t CurrentImageWindowMode;
extern qor::RGBColorSystem GlobalRGBWorkingSpace;
constexpr int32_t MinimumPreviewSize = 16;
// The mode to return to when the space bar is released; 255: none.
extern uint8_t SpaceBarSavedMode;
// The mouse mode of every image window: a mouse capture of the active one is released and every window shows the
// new mode's cursor.
void SetImageWindowMode( uint8_t mode );
// The cursor slot of a mouse mode.
int32_t ImageWindowModeCursor( uint8_t mode );

// (Re)creates the view-tab font from the preferences (an automatic size is written back to them);
// EnsureViewTabFont creates it only when there is none yet.
void CreateViewTabFont();
void EnsureViewTabFont();
const QFont& ViewTabFont();
// The font height in pixels: the measure of the tab strip's width.
int32_t ViewTabFontHeight();

// Makes a window for an image that has no file: no options, no IPTC information, no profile; the identifier is
// used as given (empty: the default one); a given history becomes the main view's. On the desktop the window is
// shown and made the active one (ShowAndActivate); a window without a desktop is left for its owner to show. Then
// NotifyViewCreated.
TImageWindow* CreateImageWindow( QWidget* owner, qor::Image* image, const std::string& identifier,
                                 ProcessContainer* history = nullptr );

// After the preferences changed: the tab font made again, and every window's caption, background and tabs redrawn.
void ApplyPreferencesToImageWindows();

// Makes the image windows the service the processes reach them through (process/ImageWindowService.h). Called at
// start-up.
void InstallImageWindowService();

// ---- Notifications: windows/processing/ProcessingWindow.h broadcasts them to every processing window. -------------

// The view's window (nullptr for a ProcessView that is not an image window's view).
TImageWindow::View* AsImageView( ProcessView& view );

#endif
