#ifndef LF_WINDOWS_PROCESSING_HISTOGRAM_WINDOW_H
#define LF_WINDOWS_PROCESSING_HISTOGRAM_WINDOW_H

// The histogram window: the interface of HistogramsTransform. It edits one parameter set per channel (R, G, B) and
// one for all channels (RGB/K), shows the histograms of one view before (input plot) and after (output plot) the
// transform, counts the pixels that the clipping points clip, clips automatically by percentages of the pixels,
// lets image readouts set the black point, midtones and white point, and feeds the real-time preview.
//
// Everything works on the view's cached 65536-bin histograms (a sample v in bin round(v x 65535)), never on pixels:
// the input histograms are those rebinned to the plot resolution; the output histograms are built on demand by
// mapping every source bin's value j / 65535 through the transform. A bin is counted as clipped with the clipping
// point it holds, since a sample at the point is clipped (v <= c0 goes to 0, v >= c1 to 1): the shadows count is
// bins 0 .. round(65535 c0), the highlights count bins round(65535 c1) .. 65535. Counts are 64-bit.
//
// Drawing (HistogramWindowPlots.cpp) keeps the curve, the readout markers and the crosshair as state and paints
// them over the histograms at every paint, XOR-ed into an off-screen image as before, so that nothing is ever
// drawn outside a paint.
//
// The real-time preview is filled through four byte tables (R, G, B and RGB/K; a colour image folds RGB/K into
// each channel's table).

#include <QImage>
#include <QWidget>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

#include "process/HistogramsTransform.h"
#include "windows/processing/ProcessingWindow.h"

class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPushButton;
class QScrollArea;
class QTimer;
class QToolButton;
class TViewsListFrame;

class THistogramWindow : public TProcessingWindow
{
   Q_OBJECT

public:
   class PaintBox;

   // Bin counts of the plot resolutions, in the order of PlotResolution_ComboBox.
   static constexpr int32_t PlotResolutions[] = { 256, 1024, 4096, 65536, 100, 1000, 10000 };
   static constexpr int32_t MaxZoom = 999;
   static constexpr int32_t MarkerHalfWidth = 6;
   static constexpr int32_t ControlBarHeight = 11;

   explicit THistogramWindow( QWidget* owner = nullptr );
   ~THistogramWindow() override;

   std::unique_ptr<Process> NewInstance() override;
   void ImportInstance( const Process& instance ) override;
   void LoadSettings( platform::Registry& registry ) override;
   void SaveSettings( platform::Registry& registry ) override;
   bool WantChildKey( QWidget* child, QKeyEvent* key ) override;

   // ---- The view and its histograms ------------------------------------------------------------------------------
   TImageWindow::View* CurrentView() const;
   // Makes the view (or none) current: its histograms are calculated when it has none, then rebinned and counted.
   void SelectView( TImageWindow::View* view );
   void RebinInputHistograms();
   // Builds both output histograms (dropping the old ones); nothing without a view or its histograms.
   void ComputeOutputHistograms();
   void DropOutputHistograms();
   void CountClippedPixels();
   void ShowClipCounts();
   // A value through set i of the parameters.
   float MapValue( float v, int32_t set ) const;
   // The view's colour space is not grey.
   bool IsColorView() const;

   // ---- Parameters ---------------------------------------------------------------------------------------------
   // Each for the current channel's set, with the edits, counts, plots and real-time preview following.
   void SetShadows( float x );
   void SetHighlights( float x );
   void SetMidtones( float x );
   void SetLowRange( float x );
   void SetHighRange( float x );
   // After a change of several values: outputs dropped, recount, every control, the real-time preview.
   void ParametersChanged();
   void SetChannel( int32_t set );
   void SetPlotResolution( int32_t bins );
   void SetShowOutput( bool show );
   // Ctrl: every set to the identity; else the current channel's.
   void Reset_ActionExecute();
   // Ctrl: the setup dialog; else the automatic clipping.
   void AutoClip_ActionExecute();
   // Every set to the identity, then the clipping points of each channel (of RGB/K for a grey image) placed so that
   // at most the amounts (percent of the pixels) lie below the shadows point and above the highlights point.
   void AutoClip();
   void SetupAutoClip();
   void UpdateAutoClipHint();
   void UpdateControls();
   void UpdateOptionControls();

   // ---- Real-time preview ----------------------------------------------------------------------------------------
   void RealTimePreview_CheckBoxClick();
   // Fills the preview's byte tables (previewTables as well) and renders the preview when its window is shown.
   void UpdateRealTimePreview();
   void RealTimePreview_TimerTimer();
   // previewTables[i][j]: the byte j / 255 through set i (colour channels) and then set 3, rounded to 0..255.
   void BuildPreviewTables();
   // The same for the samples j / 65535, into the preview's fine tables.
   void BuildFinePreviewTables( std::array<std::vector<uint8_t>, 4>& fine ) const;

   // ---- Edits and option controls ---------------------------------------------------------------------------------
   void Shadows_EditExit();
   void Highlights_EditExit();
   void Midtones_EditExit();
   void LowRange_EditExit();
   void HighRange_EditExit();
   void HorizontalZoom_EditExit();
   void VerticalZoom_EditExit();
   void PlotResolution_ComboBoxChange();
   void GraphStyle_ComboBoxChange();
   void ShowCurve_CheckBoxClick();
   void ShowGrid_CheckBoxClick();
   void ShowRawRGB_CheckBoxClick();
   void LockOutput_CheckBoxClick();
   void ShowOutput_CheckBoxClick();
   void SetReadoutMode( int32_t mode );
   void ResetZoom_SpeedButtonClick();

   // ---- Notifications -------------------------------------------------------------------------------------------
   void ViewCreated( TImageWindow::View& view ) override;
   void ViewRenamed( TImageWindow::View& view ) override;
   void ViewUpdated( TImageWindow::View& view ) override;
   void ViewDeleted( TImageWindow::View& view ) override;
   void HistogramsChanged( TImageWindow::View& view ) override;
   void BeginReadout( TImageWindow::View& view, float v0, float v1, float v2 ) override;
   void UpdateReadout( TImageWindow::View& view, float v0, float v1, float v2 ) override;
   void EndReadout( TImageWindow::View& view ) override;
   void RealTimePreviewOwnerChanged( QWidget* owner ) override;

   // ---- Plots and interaction (HistogramWindowPlots.cpp) ----------------------------------------------------------
   // The input plot; the output plot too when shown and no marker drag is pending.
   void RepaintPlots();
   void SetZoom( int32_t h, int32_t v );
   void SetMouseMode( int32_t mode );
   void UpdateInfoText();
   // The captions and the mouse mode that follow Alt, Ctrl, Shift and Space.
   void UpdateKeyboardState();
   // What a paint of a plot or of the control bar draws into the part `clip` of it (paint-box coordinates).
   QImage RenderPlot( bool output, const QRect& clip );
   QImage RenderControlBar( const QRect& clip ) const;
   // The control bar's mouse (paint-box coordinates).
   void HistogramControls_PaintBoxMouseDown( Qt::MouseButton button, int32_t X, int32_t Y );
   void HistogramControls_PaintBoxMouseMove( int32_t X, int32_t Y );
   void HistogramControls_PaintBoxMouseUp( int32_t X, int32_t Y );
   // The mouse of either plot (paint-box coordinates).
   void Plot_MouseDown( bool output, Qt::MouseButton button, int32_t X, int32_t Y );
   void Plot_MouseMove( bool output, int32_t X, int32_t Y );
   void Plot_MouseUp( bool output, int32_t X, int32_t Y );
   // The mouse left a plot: the crosshair goes, unless a drag holds it.
   void Plot_MouseLeave();
   // Horizontal and vertical scroll positions of a plot.
   int32_t ScrollX( bool output ) const;
   int32_t ScrollY( bool output ) const;

   // ---- State ---------------------------------------------------------------------------------------------------
   std::unique_ptr<TImageWindow::HistogramData> inputHistograms;
   std::unique_ptr<TImageWindow::HistogramData> outputHistograms;
   std::unique_ptr<TImageWindow::HistogramData> channelOutputHistograms;
   int32_t plotResolution = 256;
   int32_t channel = HistogramsTransform::RGBK;
   int32_t mouseMode = 0;   // 0 readout, 1 zoom in, 2 zoom out, 3 pan
   int32_t readoutMode = 0; // 0 sample only, 1 black point, 2 midtones, 3 white point
   int32_t graphStyle = 0;  // 0 lines, 1 bars, 2 dots
   HistogramsTransform::Parameters parameters;
   bool autoClipShadows = true;
   float autoClipShadowsAmount = 0;
   bool autoClipHighlights = true;
   float autoClipHighlightsAmount = 0;
   int64_t shadowsClipped[4] = {};
   int64_t highlightsClipped[4] = {};
   float readoutValues[3] = {};
   bool readoutMarkersShown = false;
   int32_t horizontalZoom = 1;
   int32_t verticalZoom = 1;
   int32_t crosshairShown = 0;
   float crosshairX = 0;
   float crosshairY = 0;
   bool realTimePreview = false;
   bool showRawRGB = false;
   bool showOutput = true;
   bool lockOutput = true;
   bool showCurve = true;
   bool showGrid = true;
   int32_t dragState = 0; // 1 shadows, 2 highlights, 3 midtones (control bar), 4 pan
   int32_t panStartX = 0, panStartY = 0, panScrollX = 0, panScrollY = 0;
   float plotXScale = 0;
   float percentPerPixel = 0;
   std::array<std::array<uint8_t, 256>, 4> previewTables{};

   // ---- Controls ------------------------------------------------------------------------------------------------
   QFrame* Histogram_Panel = nullptr;
   QScrollArea* OutputHistogram_ScrollBox = nullptr;
   PaintBox* OutputHistogram_PaintBox = nullptr;
   QScrollArea* Histogram_ScrollBox = nullptr;
   QWidget* HistogramContents_Panel = nullptr; // the scroll box's content: the input plot over the control bar
   PaintBox* Histogram_PaintBox = nullptr;
   PaintBox* HistogramControls_PaintBox = nullptr;
   QLabel* Info_Panel = nullptr;
   QToolButton* ResetZoom_SpeedButton = nullptr;
   QLineEdit* HorizontalZoom_Edit = nullptr;
   QLineEdit* VerticalZoom_Edit = nullptr;
   TViewsListFrame* ViewsList = nullptr;
   QComboBox* PlotResolution_ComboBox = nullptr;
   QComboBox* GraphStyle_ComboBox = nullptr;
   QCheckBox* ShowRawRGB_CheckBox = nullptr;
   QCheckBox* LockOutput_CheckBox = nullptr;
   QAction* ReadoutModeRead_Action = nullptr;
   QAction* ReadoutModeBlackPoint_Action = nullptr;
   QAction* ReadoutModeMidtones_Action = nullptr;
   QAction* ReadoutModeWhitePoint_Action = nullptr;
   QToolButton* ReadoutMode_SpeedButton[4] = {};
   QAction* R_Action = nullptr;
   QAction* G_Action = nullptr;
   QAction* B_Action = nullptr;
   QAction* RGBK_Action = nullptr;
   QToolButton* R_SpeedButton = nullptr;
   QToolButton* G_SpeedButton = nullptr;
   QToolButton* B_SpeedButton = nullptr;
   QToolButton* RGBK_SpeedButton = nullptr;
   QAction* ZoomInMode_Action = nullptr;
   QAction* ZoomOutMode_Action = nullptr;
   QFrame* Parameters_Panel = nullptr;
   QCheckBox* ShowOutput_CheckBox = nullptr;
   QCheckBox* ShowCurve_CheckBox = nullptr;
   QCheckBox* ShowGrid_CheckBox = nullptr;
   QLineEdit* Shadows_Edit = nullptr;
   QLabel* ShadowsCount_Panel = nullptr;
   QLineEdit* Highlights_Edit = nullptr;
   QLabel* HighlightsCount_Panel = nullptr;
   QLineEdit* LowRange_Edit = nullptr;
   QLineEdit* HighRange_Edit = nullptr;
   QLineEdit* Midtones_Edit = nullptr;
   QCheckBox* RealTimePreview_CheckBox = nullptr;
   QAction* AutoClip_Action = nullptr;
   QPushButton* AutoClip_Button = nullptr;
   QAction* Reset_Action = nullptr;
   QPushButton* Reset_Button = nullptr;
   QTimer* RealTimePreview_Timer = nullptr;

protected:
   void showEvent( QShowEvent* event ) override;
   void hideEvent( QHideEvent* event ) override;
   void keyPressEvent( QKeyEvent* event ) override;
   void keyReleaseEvent( QKeyEvent* event ) override;
   bool eventFilter( QObject* watched, QEvent* event ) override;

private:
   // The current view's cached histograms, or nullptr.
   const TImageWindow::HistogramData* SourceHistograms() const;
   // Writes the five edits of the current set, the counts and repaints the control bar.
   void UpdateParameterControls();
   // After a change of one value: edits, outputs dropped, plots, optionally a recount, the real-time preview.
   void ParameterChanged( bool recount );
   // Lays out a plot in its scroll box for the present zoom (the input plot with the control bar).
   void LayoutPlot( bool output );
   // A zoom edit's exit: an integer 1 .. 999 that differs from the zoom is set; the edit shows the zoom in force.
   void ReadZoomEdit( QLineEdit* edit, const int32_t& zoom, const std::function<void( int32_t )>& set );
   // One channel of a histogram drawn into the bitmap of the clip rectangle in the graph style, against the peak.
   void DrawChannel( QImage& bitmap, const QRect& clip, int32_t H, const TImageWindow::HistogramData& data, int32_t c,
                     float peak, const QColor& colour ) const;

   bool layingOut = false;
   bool previewUpdating = false;
   bool previewPending = false;
   int32_t lastCrosshairPixelX = -1, lastCrosshairPixelY = -1;
};

// A plot or the control bar: painted by the window (RenderPlot, RenderControlBar) and handing its mouse to it.
class THistogramWindow::PaintBox : public QWidget
{
public:
   enum Role
   {
      InputPlot,
      OutputPlot,
      ControlBar
   };

   PaintBox( THistogramWindow* window, Role role, QWidget* parent );

   const Role role;

protected:
   void paintEvent( QPaintEvent* event ) override;
   void mousePressEvent( QMouseEvent* event ) override;
   void mouseMoveEvent( QMouseEvent* event ) override;
   void mouseReleaseEvent( QMouseEvent* event ) override;
   void leaveEvent( QEvent* event ) override;

private:
   THistogramWindow* window;
};

// The program's histogram window, made on first use.
THistogramWindow& HistogramWindow();

#endif
