#ifndef LF_WINDOWS_TOOLS_REAL_TIME_PREVIEW_WINDOW_H
#define LF_WINDOWS_TOOLS_REAL_TIME_PREVIEW_WINDOW_H

// The real-time preview: one view of an image window at a reduced size, passed through a transfer function that
// another window (its owner: the curves or the histogram window) is editing.
//
// The owner does not run its process to preview it. It fills the seven 256-entry transfer tables (after
// ResetTransferTables) and calls UpdatePreview. The window renders the view once per view, size and reduction into
// a display bitmap (the source bitmap, and the mask bitmap when the view's window has a mask) and, for each new
// transfer function, only maps those bytes through the tables into the preview bitmap.
//
// Tables, indexed like the curves of CurvesTransform:
//   0 R, 1 G, 2 B, 3 RGB/K   bytes: display value 0..255 -> new display value. Colour images use 0, 1, 2; grey
//                            images 3 alone (an owner folds an RGB/K function into 0..2 for colour images).
//   4 CIE L*, 5 hue, 6 saturation   floats: entry i holds the output for the input i/255, in [0, 1]; a table takes
//                            part only while its floatTableActive flag is set (colour images only).
// Tables 0 .. 3 may also come at the samples' resolution (`fine`: entry i is the display value for the sample
// i/65535). An owner that fills them has the preview map the view's samples, reduced to the preview's size, instead
// of the source bitmap's bytes: a strong stretch of linear data, which sit in a handful of display levels, then
// shows the levels the applied result will show rather than a few bands. An empty fine table leaves its channel to
// the byte table.
//
// Owners: at most one window owns the preview. SetOwner tells every processing window
// (RealTimePreviewOwnerChanged), and a window whose live preview is on turns it off when another takes over.
//
// Rendering with keepResponsive set processes events between blocks of rows. An event handled meanwhile may ask
// for a new rendering, a rebuild of the bitmaps or another view: none of that happens inside the rendering; it is
// recorded and carried out when the rendering ends, so the bitmaps being rendered are never replaced under it.

#include <QImage>
#include <QPointer>
#include <QRect>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

#include "classlib/Image.h"
#include "windows/processing/LFToolWindow.h"

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QPushButton;
class QTimer;
class TViewsListFrame;

class TRealTimePreviewWindow : public TLFToolWindow
{
   Q_OBJECT

public:
   struct TransferTables
   {
      std::array<std::array<uint8_t, 256>, 4> bytes{}; // tables 0 .. 3
      std::array<std::array<float, 256>, 3> floats{};  // tables 4 .. 6 (floats[i - 4])
      std::array<std::vector<uint8_t>, 4> fine;         // tables 0 .. 3 at the samples' resolution, or empty
   };
   static constexpr int32_t FineTableSize = 65536;
   // The entry of a fine table for a sample: round(65535 v), samples outside [0, 1] at the ends, NaN at 0.
   static int32_t FineIndex( float v )
   {
      return v > 0.0f ? ( v < 1.0f ? int32_t( v * 65535.0f + 0.5f ) : 65535 ) : 0;
   }

   explicit TRealTimePreviewWindow( QWidget* owner = nullptr );
   ~TRealTimePreviewWindow() override;

   // ---- What owners call ----
   // Every table to the identity (byte i = i, float i = i/255), the three activity flags off.
   void ResetTransferTables();
   // Renders the preview anew with the tables and repaints it.
   void UpdatePreview( bool keepResponsive );
   // Makes the window (or none) the owner; the processing windows are told when it changes.
   void SetOwner( QWidget* control );
   // No owner, identity tables, and the preview rendered so.
   void Reset();

   // ---- An owner's live preview: its "R-T" switch and the timer that defers renders while a control is dragged ----
   // The timer's first interval, and the next one after a render that took `milliseconds`: a quarter more, at
   // least 25 ms.
   static constexpr int32_t InitialRenderInterval = 100;
   static int32_t NextRenderInterval( double milliseconds );
   // RealTimePreview_Timer of an owner: single-shot, at the first interval, running `timeout`.
   static QTimer* MakeRenderTimer( QWidget* owner, const std::function<void()>& timeout );
   // The owner's switch turned on: this window shows (when hidden), becomes the owner's (every other owner turns
   // its live preview off) and `render` renders; turned off: the owner's `timer` stops and the preview is reset.
   void Switch( QWidget* owner, bool on, QTimer* timer, const std::function<void()>& render );
   // Another window took the preview over: an owner's live preview goes off, its `timer` stopped and its switch
   // `box` cleared without running its handler.
   static void SwitchedOff( bool& on, QTimer* timer, QCheckBox* box );

   TransferTables transferTables;
   std::array<bool, 3> floatTableActive{}; // tables 4, 5, 6
   QWidget* Owner() const { return owner.data(); }

   // ---- The view and its bitmaps ----
   void SelectView( TImageWindow::View* view );
   TImageWindow::View* CurrentView() const;
   // Source and mask bitmaps built again, then the preview rendered (without pumping events).
   void Rebuild();
   void BuildSourceBitmap();
   void BuildMaskBitmap();
   void FreeBitmaps();
   void RenderPreview( bool keepResponsive );
   // The zoom at which a view is rendered for a fit ratio (paint box over image) and the extra reduction steps:
   // never magnified, at most 1:16.
   static int32_t PreviewZoom( double fitRatio, int32_t lossy );
   // The outer size (width, height) that gives the image panel the image's aspect, for a proposed outer size.
   QSize FitToImageAspect( QSize proposed ) const;

   // The readout of a paint-box point: false outside the drawn preview or without bitmaps; else the source and the
   // preview colours there as 0xRRGGBB.
   bool SamplePixel( int32_t x, int32_t y, uint32_t& source, uint32_t& preview ) const;

   void Image_PaintBoxPaint( QPainter& painter );
   void Image_PaintBoxMouseDown( Qt::MouseButton button, int32_t x, int32_t y );
   void Image_PaintBoxMouseMove( int32_t x, int32_t y );
   void Image_PaintBoxMouseUp( Qt::MouseButton button, int32_t x, int32_t y );
   void Lossy_ComboBoxChange();
   void GoToOwner_ButtonClick();
   void ShowInfo_TimerTimer();
   void FormShow();
   void FormHide();

   // ---- Notifications ----
   void ViewCreated( TImageWindow::View& view ) override;
   void ViewRenamed( TImageWindow::View& view ) override;
   void ViewUpdated( TImageWindow::View& view ) override;
   void PreviewStored( TImageWindow::View& view ) override;
   void ViewDeleted( TImageWindow::View& view ) override;
   void ColorManagementChanged( TImageWindow::View& view ) override;
   void MaskEnabled( TImageWindow::View& view ) override;
   void MaskDisabled( TImageWindow::View& view ) override;
   void MaskChanged( TImageWindow::View& view ) override;
   void GlobalColorManagementChanged() override;

   QImage sourceBitmap;  // Format_RGB32; null when absent
   // The samples the source bitmap shows (the mean of each block at a reduction), one channel for a grey image, the
   // first three for a colour one; empty when absent.
   qor::Image sourceSamples;
   QImage maskBitmap;    // the same geometry from the mask window's image; null when absent
   QImage previewBitmap; // what the paint box shows
   int32_t zoom = 1;
   QRect paintRect; // the part of the paint box the preview covered at the last paint
   int32_t lossy = 1;
   // A rendering is under way (events handled during it find this set).
   bool rendering = false;
   // Pixels rendered between two rounds of event processing when the rendering keeps responsive.
   int64_t responsiveBlockPixels = 65536;

   QFrame* Image_Panel = nullptr;
   QWidget* Image_PaintBox = nullptr;
   TViewsListFrame* ViewsList = nullptr;
   QComboBox* Lossy_ComboBox = nullptr;
   QPushButton* GoToOwner_Button = nullptr;
   QTimer* ShowInfo_Timer = nullptr;

protected:
   void showEvent( QShowEvent* event ) override;
   void hideEvent( QHideEvent* event ) override;
   bool eventFilter( QObject* watched, QEvent* event ) override;

private:
   // The image window of the current view, or nullptr.
   TImageWindow* CurrentWindow() const;
   // Whether a notification about this view concerns the window shown.
   bool ConcernsCurrentWindow( const TImageWindow::View& view ) const;
   void RenderAndRepaint();
   // Work asked for while a rendering ran, done when it ends.
   void RunDeferredWork();

   QPointer<QWidget> owner;
   bool rebuildPending = false;
   bool maskPending = false;
   bool renderPending = false;
   bool renderPendingResponsive = false;
};

// The program's real-time preview window, made on first use.
TRealTimePreviewWindow& RealTimePreviewWindow();

#endif
