#ifndef LF_WINDOWS_IMAGE_DYNAMIC_SESSION_DATA_H
#define LF_WINDOWS_IMAGE_DYNAMIC_SESSION_DATA_H

// What the image window sees of an interactive edit (a session) of a dynamic process: the object it owns while the
// edit lasts, hands the mouse and a few keys to, and asks to draw its overlay.
//
// The window constructs the object (inactive), starts it, routes the mouse of the session's mode to it (image
// coordinates of the main view), and deletes it to end the session. While the session is active and the main view is
// current, every paint of the image area ends with DrawOverlay over the image and the preview outlines. A session
// that changes what its overlay covers repaints the union of the old and the new areas (RepaintImageArea); nothing
// is drawn outside a paint.

#include <QPoint>
#include <QRect>

#include <cstdint>

class Process;
class QPainter;
class TImageWindow;

// Process identifiers of the two dynamic processes: a run of a session's own process does not cancel the session.
inline constexpr const char* DynamicCropProcessId = "DynamicCrop";
inline constexpr const char* DynamicBackgroundExtractionProcessId = "DynamicBackgroundExtraction";

class DynamicSessionData
{
public:
   explicit DynamicSessionData( TImageWindow* window ) : window( window ) {}
   virtual ~DynamicSessionData() = default;
   DynamicSessionData( const DynamicSessionData& ) = delete;
   DynamicSessionData& operator=( const DynamicSessionData& ) = delete;

   // Starts (or restarts) the session from an instance of the session's process; nothing here.
   virtual void StartFromInstance( const Process& instance );
   // Ends the session: the overlay goes, the dialog is detached. Here: inactive.
   virtual void Stop();

   // What lies under an image point (0 nothing; the codes are the session's own).
   virtual int32_t HitTest( float x, float y ) const;
   virtual void MouseDown( float x, float y );
   virtual void MouseMove( float x, float y );
   virtual void MouseUp();

   // Draws the overlay with the painter of the image area (paint-box coordinates: ImageToScreen maps image points
   // there). Called only while the session is active and the window's main view is current; nothing here.
   virtual void DrawOverlay( QPainter& painter ) const;
   // Enter or Return, and Delete, typed in the window while the session exists: true when the session used the
   // key (the window then does nothing else with it). False here.
   virtual bool EnterPressed();
   virtual bool DeletePressed();

   TImageWindow* Window() const { return window; }

   bool active = false;

protected:
   // The paint-box point of an image point of the main view at its zoom (rounded, halves to even).
   QPoint ImageToScreen( float x, float y ) const;
   // Repaints the part of the image area that shows the rectangle (paint-box coordinates), when the main view is
   // current.
   void RepaintScreenArea( const QRect& area ) const;
   // Whether the overlay is shown now: the session is active and the window shows its main view.
   bool OverlayShown() const;

   TImageWindow* window;
};

#endif
