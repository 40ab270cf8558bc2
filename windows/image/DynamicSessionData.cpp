// The window side of every dynamic session: what a session does when it does not say otherwise, and the screen
// mapping and repainting its overlay needs.

#include "windows/image/DynamicSessionData.h"

#include "windows/image/ImageWindow.h"

void DynamicSessionData::StartFromInstance( const Process& )
{
}

void DynamicSessionData::Stop()
{
   active = false;
}

int32_t DynamicSessionData::HitTest( float, float ) const
{
   return 0;
}

void DynamicSessionData::MouseDown( float, float )
{
}

void DynamicSessionData::MouseMove( float, float )
{
}

void DynamicSessionData::MouseUp()
{
}

void DynamicSessionData::DrawOverlay( QPainter& ) const
{
}

bool DynamicSessionData::EnterPressed()
{
   return false;
}

bool DynamicSessionData::DeletePressed()
{
   return false;
}

QPoint DynamicSessionData::ImageToScreen( float x, float y ) const
{
   return window->ImageToScreen( x, y );
}

void DynamicSessionData::RepaintScreenArea( const QRect& area ) const
{
   if ( window->currentView != nullptr && window->currentView == window->mainView )
      window->RepaintScreenArea( area );
}

bool DynamicSessionData::OverlayShown() const
{
   return active && window->currentView != nullptr && window->currentView == window->mainView;
}
