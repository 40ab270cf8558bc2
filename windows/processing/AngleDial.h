#ifndef LF_WINDOWS_PROCESSING_ANGLE_DIAL_H
#define LF_WINDOWS_PROCESSING_ANGLE_DIAL_H

// The angle dial of the rotation windows (Angle_PaintBox): a grey circle with its axes on black and a white needle
// at a signed angle (radians, counter-clockwise positive as on the image), painted off screen and copied at once.
// The left button pressed on it, and every move while it is held, report the point to the window, which turns it
// into an angle.

#include <QWidget>

#include <functional>

class TAngleDial : public QWidget
{
public:
   // angle: the angle to show; drag: a point of the box under the held button; held: the button went down or up.
   TAngleDial( QWidget* parent, std::function<float()> angle, std::function<void( int x, int y )> drag,
               std::function<void( bool held )> held );

protected:
   void paintEvent( QPaintEvent* event ) override;
   void mousePressEvent( QMouseEvent* event ) override;
   void mouseMoveEvent( QMouseEvent* event ) override;
   void mouseReleaseEvent( QMouseEvent* event ) override;

private:
   std::function<float()> angle;
   std::function<void( int, int )> drag;
   std::function<void( bool )> held;
   bool dragging = false;
};

#endif
