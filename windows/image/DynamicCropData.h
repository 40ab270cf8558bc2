#ifndef LF_WINDOWS_IMAGE_DYNAMIC_CROP_DATA_H
#define LF_WINDOWS_IMAGE_DYNAMIC_CROP_DATA_H

// The state of one interactive crop edit on an image window: a rectangle of free size and angle over the main view,
// the point about which the mouse turns it, and the drag in progress.
//
// Coordinates are image pixels of the main view (float, x right, y down); angles are radians, positive turning
// counter-clockwise on the screen. A point (x, y) turned by a about (cx, cy) becomes cx + c*dx + s*dy,
// cy - s*dx + c*dy (s = sin a, c = cos a, dx = x - cx, dy = y - cy, all float); to unturn a point is to turn it by
// -angle about the rectangle's centre.
//
// Every operation that changes the rectangle or the rotation centre repaints the part of the window its outline
// covered and covers now, and has the Dynamic Crop dialog show the new numbers when the dialog serves this edit.
// The outline is drawn only while the edit is active and the main view is current; an inactive object still
// answers hit tests and follows drags.

#include <array>
#include <cstdint>

#include "windows/image/DynamicSessionData.h"

class ProcessSessionDialog;

class DynamicCropData : public DynamicSessionData
{
public:
   // A point in image pixels.
   struct Point
   {
      float x = 0;
      float y = 0;
   };

   // Hit-test codes: nothing, inside (move), the rotation centre, resize (with the bits of the grabbed edges of the
   // unturned rectangle), outside (rotate).
   enum HitCode : int32_t
   {
      NoHit = 0,
      InsideHit = 1,
      CenterHit = 2,
      ResizeHit = 4,
      OutsideHit = 8,
      LeftEdge = 0x10,
      TopEdge = 0x20,
      RightEdge = 0x40,
      BottomEdge = 0x80
   };

   // Inactive, no drag mode.
   explicit DynamicCropData( TImageWindow* window ) : DynamicSessionData( window ) {}
   // Stops the session.
   ~DynamicCropData() override;

   // Starts the edit from a rectangle dragged on the image (first corner, last corner + 1): its size and centre,
   // angle 0, the rotation centre at the centre; the dialog shows it.
   void Start( float x0, float y0, float x1, float y1 );
   // Starts or restarts the edit from a DynamicCrop instance: its rectangle in the pixels of the window's image
   // (sides below 1 pixel become 1), its angle; the rotation centre at the centre. Another process's instance is
   // ignored.
   void StartFromInstance( const Process& instance ) override;
   // Ends an active edit: the dialog detached, the outline gone, no drag. Nothing for an inactive one.
   void Stop() override;

   // The code of what lies under an image point, with the cursor tolerance of the window's zoom: the rotation
   // centre first, then outside, an edge, inside.
   int32_t HitTest( float x, float y ) const override;
   // A drag: MouseDown fixes the code of the drag (HitTest), every move applies it (centre: moves the rotation
   // centre; resize: the grabbed edges; inside: moves; outside: turns about the rotation centre), MouseUp ends it.
   void MouseDown( float x, float y ) override;
   void MouseMove( float x, float y ) override;
   void MouseUp() override;

   // The turned rectangle's corners: top-left, top-right, bottom-left, bottom-right (of the unturned rectangle).
   std::array<Point, 4> GetCorners() const;
   // The tolerance of the hit tests in image pixels: the cursorTolerance preference (screen pixels) at the zoom of
   // the window's current view.
   float Tolerance() const;

   // The operations of the drags and of the dialog.
   void SetRotationCenter( float x, float y ); // and the rotation centre counts as placed by the user
   void SetCenter( float x, float y );         // the rotation centre follows unless placed
   void MoveDrag( float x, float y );          // by the distance from (lastX, lastY)
   void ResizeDrag( float x, float y );        // the edges of dragMode, by the distance from (lastX, lastY)
   void RotateDrag( float x, float y );        // about the rotation centre, by the angle swept from (lastX, lastY)
   // Turns the rectangle so that its reference angle becomes a: its own angle, or, with a placed rotation centre,
   // the direction of its centre seen from the rotation centre (the rectangle swings about that point).
   void SetAngle( float a );
   // The reference angle SetAngle and the dialog use.
   float ReferenceAngle() const;
   // Moves each side outward by its amount (inward when negative) in the rectangle's own frame.
   void GrowEdges( float left, float top, float right, float bottom );

   // The white outline through the corners with a cross at the rotation centre.
   void DrawOverlay( QPainter& painter ) const override;
   // Runs the Dynamic Crop dialog's OK (which crops and ends the edit).
   bool EnterPressed() override;

   // The dialog that drives the crop sessions, as the processes see it; nullptr when there is none.
   static const ProcessSessionDialog* SessionDialog();

   int32_t dragMode = NoHit;
   float width = 0;
   float height = 0;
   float centerX = 0;
   float centerY = 0;
   float angle = 0;
   float rotationCenterX = 0;
   float rotationCenterY = 0;
   bool rotationCenterMoved = false;
   float lastX = 0;
   float lastY = 0;

private:
   // Runs a change of the rectangle: repaints what the outline covered and covers, and refreshes the dialog.
   template <typename Change> void Changing( Change&& change );
   // The paint-box rectangle the outline and the centre cross cover.
   QRect OutlineArea() const;
   // The centre turned by d about the rotation centre, and the angle by d (kept in -pi .. pi).
   void TurnAboutRotationCenter( float d );
};

#endif
