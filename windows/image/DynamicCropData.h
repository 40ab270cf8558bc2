#ifndef LF_WINDOWS_IMAGE_DYNAMIC_CROP_DATA_H
#define LF_WINDOWS_IMAGE_DYNAMIC_CROP_DATA_H

// The Dynamic Crop session object of an image window.

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

   // Hit-test codes: nothing, inside (move), the rotation centre, resize (with the edge bits), outside (rotate).
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

   // Starts the session from a rectangle (image pixels).
   void Start( float x0, float y0, float x1, float y1 );
   void Stop() override;
   // The rotated rectangle's corners in image pixels: top-left, top-right, bottom-left, bottom-right.
   std::array<Point, 4> GetCorners() const;
   // The drag mode becomes the hit test's HitCode; a move drags by it; the button-up clears it.
   void MouseDown( float x, float y ) override;
   void MouseUp() override;

   // The dialog that drives the crop sessions, as the processes see it; nullptr when there is none.
   static const ProcessSessionDialog* SessionDialog();

   int32_t dragMode = NoHit;
};

#endif
