#ifndef LF_WINDOWS_IMAGE_DYNAMIC_SESSIONS_H
#define LF_WINDOWS_IMAGE_DYNAMIC_SESSIONS_H

// The session objects of the two processes edited interactively on an image: Dynamic Crop (a rotatable crop
// rectangle) and DynamicBackgroundExtraction (background samples around a symmetry centre).
//
// An image window owns at most one object of each kind (TImageWindow::dynamicCropData, TImageWindow::dbeData),
// starts and stops sessions through them, and reads the state below to draw their overlays and to ask before an
// unrelated operation would cancel one. The geometry, the dragging and the dialogs belong to the dynamic processes;
// until those land these classes hold the state and do nothing: a session never becomes active, no hit test
// succeeds. The dynamic processes derive from them or fill the bodies in; the window needs no change.

#include <QColor>

#include <array>
#include <cstdint>
#include <vector>

class Process;
class TImageWindow;

// Process identifiers of the two dynamic processes: a run of a session's own process does not cancel the session.
inline constexpr const char* DynamicCropProcessId = "DynamicCrop";
inline constexpr const char* DynamicBackgroundExtractionProcessId = "DynamicBackgroundExtraction";

// What the two session objects have in common: the window they belong to, the active flag, the start from an
// instance of their process, the end of the session, and the mouse as the window hands it on (image coordinates).
class DynamicSessionData
{
public:
   explicit DynamicSessionData( TImageWindow* window ) : window( window ) {}
   virtual ~DynamicSessionData() = default;
   DynamicSessionData( const DynamicSessionData& ) = delete;
   DynamicSessionData& operator=( const DynamicSessionData& ) = delete;

   virtual void StartFromInstance( const Process& instance );
   // Ends the session: the overlay is erased unless the window is closing, the dialog detached.
   virtual void Stop();

   // What lies under an image point (0 nothing; the codes are the session's own).
   virtual int32_t HitTest( float x, float y ) const;
   virtual void MouseDown( float x, float y );
   virtual void MouseMove( float x, float y );
   virtual void MouseUp();

   TImageWindow* Window() const { return window; }

   bool active = false;

protected:
   TImageWindow* window;
};

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
   virtual void Start( float x0, float y0, float x1, float y1 );
   void Stop() override;
   // The rotated rectangle's corners in image pixels, in drawing order.
   virtual std::array<Point, 4> GetCorners() const;
   // The drag mode becomes the hit test's HitCode; a move drags by it; the button-up clears it.
   void MouseDown( float x, float y ) override;
   void MouseUp() override;

   int32_t dragMode = NoHit;
   Point rotationCenter;
};

// The background-extraction session: windows/image/DynamicBackgroundExtractionData.h.
class DynamicBackgroundExtractionData;

#endif
