#ifndef LF_WINDOWS_PROCESSING_CURVES_WINDOW_H
#define LF_WINDOWS_PROCESSING_CURVES_WINDOW_H

// The window of CurvesTransform: the seven transfer curves drawn with the mouse on a zoomable plot, exact input and
// output values of the selected point, spline or linear per curve, and the live real-time preview, for which it
// fills the preview window's transfer tables.
//
// The plot (Curve_PaintBox, inside Curve_ScrollBox) is W x H pixels: the scroll box's client size times the zoom of
// each axis. Column X is the input X / (W - 1), row Y the output 1 - Y / (H - 1), both rounded to five decimals; a
// tolerance of t pixels is t / (W - 1) on both axes.
//
// Mouse modes: 0 add/edit (a click near a point's input sets its output, elsewhere adds a point; dragging moves the
// point), 1 select, 2 delete, 3 zoom in, 4 zoom out, 5 pan. Held keys choose the mode while the window has the
// keyboard: Space+Ctrl+Alt zoom out, Space+Ctrl zoom in, Space pan, Ctrl delete, Shift select, none add/edit (the
// mode buttons choose too, until the next key). The crosshair, its mode marks and the readout markers are state
// drawn over the plot at every paint.
//
// The live preview: dragging a point restarts a one-shot timer (100 ms at first, afterwards 1.25 times the last
// build, at least 25 ms), so the tables are built when the mouse rests or at once when it is released; every
// other change builds them at once.

#include <QImage>

#include <array>
#include <cstdint>

#include "classlib/RGBColorSystem.h"
#include "process/CurvesTransform.h"
#include "windows/processing/ProcessingWindow.h"

class QAction;
class QActionGroup;
class QCheckBox;
class QLabel;
class QLineEdit;
class QPainter;
class QPushButton;
class QScrollArea;
class QTimer;
class QToolButton;

class TCurvesWindow : public TProcessingWindow
{
   Q_OBJECT

public:
   enum Mode : int32_t
   {
      AddEditMode = 0,
      SelectMode = 1,
      DeleteMode = 2,
      ZoomInMode = 3,
      ZoomOutMode = 4,
      PanMode = 5
   };
   static constexpr int32_t Decimals = 5;
   static constexpr int32_t PointHalfSize = 2;
   static constexpr int32_t SelectTolerance = 3;
   static constexpr int32_t AddTolerance = 6;
   static constexpr int32_t DeleteTolerance = 3;
   static constexpr int32_t MaximumZoom = 99;

   explicit TCurvesWindow( QWidget* owner = nullptr );
   ~TCurvesWindow() override;

   std::unique_ptr<Process> NewInstance() override;
   std::unique_ptr<Process> NewProbeInstance() override;
   void ImportInstance( const Process& instance ) override;
   bool WantChildKey( QWidget* child, QKeyEvent* key ) override;
   void LoadSettings( platform::Registry& registry ) override;
   void SaveSettings( platform::Registry& registry ) override;
   void BeginReadout( TImageWindow::View& view, float r, float g, float b ) override;
   void UpdateReadout( TImageWindow::View& view, float r, float g, float b ) override;
   void EndReadout( TImageWindow::View& view ) override;
   void RealTimePreviewOwnerChanged( QWidget* owner ) override;

   // ---- Plot geometry ----
   int32_t PlotWidth() const;
   int32_t PlotHeight() const;
   // Input and output of a plot point, rounded to five decimals (not clamped).
   double InputAt( int32_t X ) const;
   double OutputAt( int32_t Y ) const;
   int32_t ColumnOf( double x ) const;
   int32_t RowOf( double y ) const;
   double Tolerance( int32_t pixels ) const;
   // The part of the plot the scroll box shows (plot coordinates).
   QRect VisibleRect() const;
   static double RoundToDecimals( double v );

   // ---- Point operations on the current curve ----
   // The first point within the tolerance on both axes, or -1.
   int32_t FindPoint( double x, double y, double tolerance ) const;
   void AddPoint( double x, double y, double tolerance );
   void MovePoint( double x, double y );
   void DeletePoint( double x, double y, double tolerance );

   // ---- Commands ----
   void SelectCurve( int32_t curve );
   void SetMode( int32_t mode );
   void SetZoom( int32_t horizontal, int32_t vertical );
   // The current curve, or every curve, back to the identity (linear flags stay).
   void ResetCurves( bool all );
   // Reads the held keys: captions of Reset and of the zoom button, and the mode. True while Ctrl or Space is held.
   bool FormKey();

   // ---- Real-time preview ----
   void BuildTransferTables();
   void UpdateRealTimePreview();

   // ---- Handlers ----
   void Curve_PaintBoxPaint( QPainter& painter, const QRect& clip );
   void Curve_PaintBoxMouseDown( Qt::MouseButton button, int32_t X, int32_t Y );
   void Curve_PaintBoxMouseMove( int32_t X, int32_t Y );
   void Curve_PaintBoxMouseUp( Qt::MouseButton button, int32_t X, int32_t Y );
   // The mouse left the plot.
   void Curve_PaintBoxLeave();
   void ResetZoom_SpeedButtonClick();
   void HorizontalZoom_EditExit();
   void VerticalZoom_EditExit();
   void ShowAll_CheckBoxClick();
   void ShowGrid_CheckBoxClick();
   void Input_EditExit();
   void Output_EditExit();
   void Linear_CheckBoxClick();
   void RealTimePreview_CheckBoxClick();
   void RealTimePreview_TimerTimer();
   void NewPoint_ActionExecute();

   // ---- Drawing ----
   // The plot over a rectangle of plot coordinates, overlays included, as it is painted.
   QImage PlotBitmap( const QRect& clip ) const;
   void UpdateInfo();
   static QColor CurveColor( int32_t curve );
   // The colour of a value on the rulers of a curve.
   static QColor RulerColor( int32_t curve, double value );
   // The text of a mode on the info line.
   QString ModeText() const;

   // ---- State ----
   CurvesTransform::Parameters parameters;
   std::array<int32_t, CurvesTransform::NumberOfCurves> currentPoint{};
   int32_t currentCurve = CurvesTransform::RGBK;
   int32_t mode = AddEditMode;
   float readoutValues[3] = {};
   qor::RGBColorSystem readoutSpace; // the working space of the readout view's window
   bool readoutShown = false;
   bool crosshairShown = false;
   int32_t mouseX = -1;
   int32_t mouseY = -1;
   int32_t horizontalZoom = 1;
   int32_t verticalZoom = 1;
   bool realTimePreview = false;
   bool showAllCurves = false;
   bool showGrid = true;
   int32_t dragState = 0; // 0 none, 1 dragging a point, 2 panning
   int32_t panOrigin[4] = {};

   // ---- Components ----
   QWidget* Curve_Panel = nullptr;
   QScrollArea* Curve_ScrollBox = nullptr;
   QWidget* Curve_PaintBox = nullptr;
   QLabel* Info_Panel = nullptr;
   QToolButton* ResetZoom_SpeedButton = nullptr;
   QLineEdit* HorizontalZoom_Edit = nullptr;
   QLineEdit* VerticalZoom_Edit = nullptr;
   QWidget* ModeSelector_Panel = nullptr;
   std::array<QToolButton*, CurvesTransform::NumberOfCurves> Channel_SpeedButtons{}; // R_SpeedButton ... S_SpeedButton
   QCheckBox* ShowAll_CheckBox = nullptr;
   QCheckBox* ShowGrid_CheckBox = nullptr;
   QLabel* Input_Label = nullptr;
   QLineEdit* Input_Edit = nullptr;
   QLabel* Output_Label = nullptr;
   QLineEdit* Output_Edit = nullptr;
   QToolButton* Prev_SpeedButton = nullptr;
   QToolButton* Next_SpeedButton = nullptr;
   QToolButton* First_SpeedButton = nullptr;
   QToolButton* Last_SpeedButton = nullptr;
   QToolButton* AddEditMode_SpeedButton = nullptr;
   QToolButton* SelectMode_SpeedButton = nullptr;
   QToolButton* DeleteMode_SpeedButton = nullptr;
   QCheckBox* Linear_CheckBox = nullptr;
   QCheckBox* RealTimePreview_CheckBox = nullptr;
   QPushButton* Reset_Button = nullptr;
   QTimer* RealTimePreview_Timer = nullptr;

   std::array<QAction*, CurvesTransform::NumberOfCurves> Channel_Actions{}; // R_Action ... S_Action
   QAction* Reset_Action = nullptr;
   QAction* ResetAll_Action = nullptr;
   QAction* PrevPoint_Action = nullptr;
   QAction* NextPoint_Action = nullptr;
   QAction* FirstPoint_Action = nullptr;
   QAction* LastPoint_Action = nullptr;
   QAction* NewPoint_Action = nullptr;
   QAction* AddEditMode_Action = nullptr;
   QAction* SelectMode_Action = nullptr;
   QAction* DeleteMode_Action = nullptr;
   QAction* ZoomInMode_Action = nullptr;
   QAction* ZoomOutMode_Action = nullptr;

protected:
   void keyPressEvent( QKeyEvent* event ) override;
   void keyReleaseEvent( QKeyEvent* event ) override;
   void hideEvent( QHideEvent* event ) override;
   void FormActivate() override;

private:
   // Writes the current point into the edits (the input edit only for an interior point).
   void UpdateEdits();
   // The channel button, the zoom edits and the check boxes from the state.
   void UpdateControls();
   void RepaintPlot();
   void RestartTimer();
   // After a change of the current curve's points: repainted, the edits and info refreshed, the preview rebuilt.
   void CurveChanged( bool rebuildPreview );
   void SelectPoint( int32_t index );
   void DrawGrid( QPainter& painter, const QRect& clip ) const;
   void DrawRulers( QPainter& painter, const QRect& clip ) const;
   void DrawCurve( QPainter& painter, int32_t curve, const QRect& clip ) const;
   void DrawCrosshair( QPainter& painter ) const;
   void DrawReadoutMarkers( QPainter& painter ) const;

   QActionGroup* channelGroup = nullptr;
   QActionGroup* modeGroup = nullptr;
};

// The one window, created on first use.
TCurvesWindow& CurvesWindow();

#endif
