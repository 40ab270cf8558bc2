#include "windows/main/PresentationWindow.h"

#include <QGuiApplication>
#include <QMouseEvent>
#include <QScreen>

#include "windows/frames/SplashFrame.h"

TPresentationWindow* PresentationWindow = nullptr;

TPresentationWindow::TPresentationWindow( QWidget* owner )
    : QWidget( owner, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint )
{
   setObjectName( "PresentationWindow" );
   setWindowTitle( "Lumenforge" );
   setAutoFillBackground( true );
   QPalette palette = this->palette();
   palette.setColor( QPalette::Window, QColor( 0xC0, 0xC0, 0xC0 ) );
   setPalette( palette );

   // The picture inside a one-pixel border of the form's colour.
   SplashFrame = new TSplashFrame( this );
   SplashFrame->setGeometry( 1, 1, TSplashFrame::PictureSize, TSplashFrame::PictureSize );
   setFixedSize( TSplashFrame::PictureSize + 2, TSplashFrame::PictureSize + 2 );

   if ( QScreen* screen = QGuiApplication::primaryScreen() )
      move( screen->geometry().center() - rect().center() );
   setWindowOpacity( 1.0 );

   Timer1 = new QTimer( this );
   Timer1->setObjectName( "Timer1" );
   Timer1->setSingleShot( true );
   Timer1->setInterval( OpaqueMs );
   connect( Timer1, &QTimer::timeout, this, &TPresentationWindow::Timer1Timer );
   Timer1->start();

   fadeTimer = new QTimer( this );
   fadeTimer->setInterval( FadeStepMs );
   connect( fadeTimer, &QTimer::timeout, this,
            [this]
            {
               alpha -= FadeStep;
               if ( alpha <= 0 )
               {
                  alpha = 0;
                  fadeTimer->stop();
                  close();
               }
               setWindowOpacity( alpha / 255.0 );
            } );
}

void TPresentationWindow::Timer1Timer()
{
   Timer1->stop();
   // The fade runs on its own timer, so the program keeps starting meanwhile.
   fadeTimer->start();
}

void TPresentationWindow::Image1Click()
{
   if ( !Timer1->isActive() )
      close();
}

void TPresentationWindow::mousePressEvent( QMouseEvent* event )
{
   Image1Click();
   event->accept();
}
