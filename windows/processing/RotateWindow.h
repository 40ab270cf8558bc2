#ifndef LF_WINDOWS_PROCESSING_ROTATE_WINDOW_H
#define LF_WINDOWS_PROCESSING_ROTATE_WINDOW_H

// The processing window of Rotate: an angle of 0 to 180 degrees with its direction, typed or set on a dial dragged
// with the mouse, the fast-rotation optimisation, the fill colour, the interpolation, and the size the rotated
// target will have.

#include "windows/processing/GeometryWindow.h"

class QCheckBox;
class QLineEdit;
class QRadioButton;
class QToolButton;
class TInterpolationParameters_Frame;
class TSelectColor_Frame;

class TRotateWindow : public TGeometryWindow
{
   Q_OBJECT

public:
   explicit TRotateWindow( QWidget* owner = nullptr );

   std::unique_ptr<Process> NewInstance() override;
   void ImportInstance( const Process& instance ) override;

   void UpdateAngleControls();
   void UpdateInfo();
   // The signed angle in radians: counter-clockwise positive.
   float SignedAngle() const;

   void Angle_EditExit();
   void Direction_RadioButtonClick();
   // The dial at a point of the box (mouse down or a move while dragging).
   void Angle_PaintBoxDrag( int x, int y );

   bool dialDragging = false;
   float angle = 45;
   bool clockwise = true;

   QLineEdit* Angle_Edit = nullptr;
   QRadioButton* Clockwise_RadioButton = nullptr;
   QRadioButton* CounterClockwise_RadioButton = nullptr;
   QWidget* Angle_PaintBox = nullptr;
   QCheckBox* OptimizeFast_CheckBox = nullptr;
   TInterpolationParameters_Frame* InterpolationParameters_Frame = nullptr;
   TSelectColor_Frame* FillColor_Frame = nullptr;

protected:
   // With a view: its size and channels, the fill colour grey for a grey image; without one the size stays.
   void TakeView( TImageWindow::View* view ) override;
   void UpdateControls() override;
};

// The program's Rotate window, made on first use.
TRotateWindow& RotateWindow();

#endif
