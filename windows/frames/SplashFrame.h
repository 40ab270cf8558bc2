#ifndef LF_WINDOWS_FRAMES_SPLASH_FRAME_H
#define LF_WINDOWS_FRAMES_SPLASH_FRAME_H

// The program's splash picture, 450 x 450 pixels, on a frame sized to it: the about box and the presentation
// window place it on their forms.
//
// The picture is drawn in code, the same every time: a night sky darkening towards the top, a faint band of the
// Milky Way with a few hundred stars, and the program's name over its version.

#include <QFrame>
#include <QImage>

class QLabel;

class TSplashFrame : public QFrame
{
   Q_OBJECT

public:
   static constexpr int PictureSize = 450;

   explicit TSplashFrame( QWidget* owner = nullptr );

   // The picture SplashImage shows.
   static QImage SplashPicture();

   QLabel* SplashImage = nullptr;
};

#endif
