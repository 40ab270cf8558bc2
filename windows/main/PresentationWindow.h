#ifndef LF_WINDOWS_MAIN_PRESENTATION_WINDOW_H
#define LF_WINDOWS_MAIN_PRESENTATION_WINDOW_H

// The splash window shown while the program starts (when the preferences ask for it): borderless, on top of
// everything, centred on the screen. It stays opaque for three seconds, then fades out in 86 steps of 10 ms and
// hides itself; the main window's idle update frees it once it is hidden. A click hides it at once, but only once
// the fade has begun.

#include <QTimer>
#include <QWidget>

class TSplashFrame;

class TPresentationWindow : public QWidget
{
   Q_OBJECT

public:
   explicit TPresentationWindow( QWidget* owner = nullptr );

   // The three-second timer: its end starts the fade.
   void Timer1Timer();
   void Image1Click();

   QTimer* Timer1 = nullptr;
   TSplashFrame* SplashFrame = nullptr;
   // The opacity of the fade, 255 (opaque) down to 0.
   int alpha = 255;

   static constexpr int OpaqueMs = 3000;
   static constexpr int FadeStep = 3;
   static constexpr int FadeStepMs = 10;

protected:
   void mousePressEvent( QMouseEvent* event ) override;

private:
   QTimer* fadeTimer = nullptr;
};

// The presentation window while it exists; nullptr before and after.
extern TPresentationWindow* PresentationWindow;

#endif
