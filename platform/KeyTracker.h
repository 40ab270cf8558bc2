#ifndef LF_PLATFORM_KEY_TRACKER_H
#define LF_PLATFORM_KEY_TRACKER_H

// Which keys are held down right now.
//
// Several windows ask, in the middle of a mouse drag or a long operation, whether Space, Shift, Ctrl, Alt, F5,
// F9, Esc or Enter is down. Qt only tells about modifiers, so one application-wide event filter records every key
// press and release that reaches the program (also the presses that trigger a shortcut, which reach it only as a
// shortcut override) and answers from that record. Keys held while the program loses the
// keyboard (another application activated) are forgotten, since their release would never be seen.
//
// KeyTracker::Instance() creates the tracker and installs it on the application the first time it is called with
// a QCoreApplication alive (the start-up calls it early). Tests drive it with Press() and Release().

#include <QObject>
#include <QSet>

namespace platform
{

class KeyTracker : public QObject
{
   Q_OBJECT

public:
   static KeyTracker& Instance();

   bool IsKeyDown( Qt::Key key ) const;
   bool IsShiftDown() const { return IsKeyDown( Qt::Key_Shift ); }
   bool IsControlDown() const { return IsKeyDown( Qt::Key_Control ); }
   bool IsAltDown() const { return IsKeyDown( Qt::Key_Alt ); }
   // The modifiers held, as Qt flags.
   Qt::KeyboardModifiers Modifiers() const;

   void Press( Qt::Key key );
   void Release( Qt::Key key );
   void ReleaseAll();

protected:
   bool eventFilter( QObject* watched, QEvent* event ) override;

private:
   KeyTracker();
   void AttachToApplication();

   QSet<int> down;
   bool attached = false;
};

} // namespace platform

#endif
