// TImageWindow: the dynamic sessions on an image window (Dynamic Crop and background extraction): starting them, with
// one session of a kind in the whole program, stopping them, the question before an unrelated operation would cancel
// one, and their overlays over the main view.

#include "windows/image/ImageWindow.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

#include "platform/Prompter.h"

namespace
{

template <typename Member> bool SessionRunning( Member member )
{
   return std::any_of( MainViewList.begin(), MainViewList.end(),
                       [member]( const TImageWindow::View* v )
                       {
                          const auto& session = v->Window()->*member;
                          return session != nullptr && session->active;
                       } );
}

} // namespace

bool TImageWindow::DynamicCropSessionRunning()
{
   return SessionRunning( &TImageWindow::dynamicCropData );
}

bool TImageWindow::DBESessionRunning()
{
   return SessionRunning( &TImageWindow::dbeData );
}

// ---- Start and stop -------------------------------------------------------------------------------------------------

void TImageWindow::StartDynamicCrop( float x0, float y0, float x1, float y1 )
{
   StartDynamicCropWith( [&]( DynamicCropData& data ) { data.Start( x0, y0, x1, y1 ); } );
}

void TImageWindow::StartDynamicCropFromInstance( const Process& instance )
{
   StartDynamicCropWith( [&]( DynamicCropData& data ) { data.StartFromInstance( instance ); } );
}

void TImageWindow::StartDBE( float x, float y )
{
   StartDBEWith( [&]( DynamicBackgroundExtractionData& data ) { data.Start( int32_t( x ), int32_t( y ) ); } );
}

void TImageWindow::StartDBEFromInstance( const Process& instance )
{
   StartDBEWith( [&]( DynamicBackgroundExtractionData& data ) { data.StartFromInstance( instance ); } );
}

void TImageWindow::StartDynamicCropWith( const std::function<void( DynamicCropData& )>& start )
{
   if ( DynamicCropSessionRunning() )
   {
      platform::ShowMessage( platform::Icon::Error, "Lumenforge", "There is a Dynamic Crop session already active" );
      return;
   }
   dynamicCropData.reset(); // its destructor ends what is left of an old session
   dynamicCropData = std::make_unique<DynamicCropData>( this );
   start( *dynamicCropData );
   if ( dynamicCropData != nullptr && !dynamicCropData->active )
      dynamicCropData.reset();
}

void TImageWindow::StartDBEWith( const std::function<void( DynamicBackgroundExtractionData& )>& start )
{
   if ( DBESessionRunning() )
   {
      platform::ShowMessage( platform::Icon::Error, "Lumenforge",
                             "There is a Dynamic Background Extraction session already active" );
      return;
   }
   StopDBE();
   dbeData = std::make_unique<DynamicBackgroundExtractionData>( this );
   start( *dbeData );
   if ( dbeData != nullptr && !dbeData->active )
      StopDBE();
}

bool TImageWindow::ConfirmCancelDynamicSessions( const Process& instance )
{
   auto agreed = []( const char* question )
   {
      return platform::Ask( platform::Icon::Question, "Lumenforge", question, platform::Buttons::YesNo,
                            platform::Answer::Yes ) == platform::Answer::Yes;
   };
   if ( dynamicCropData != nullptr && instance.Id() != DynamicCropProcessId )
   {
      if ( !agreed( "Cancel current Dynamic Crop session?" ) )
         return false;
      StopDynamicCrop();
   }
   if ( dbeData != nullptr && instance.Id() != DynamicBackgroundExtractionProcessId )
   {
      if ( !agreed( "Cancel current Dynamic Background Extraction session?" ) )
         return false;
      StopDBE();
   }
   return true;
}

void TImageWindow::StopDynamicCrop()
{
   // The object's destructor stops the session.
   dynamicCropData.reset();
}

void TImageWindow::StopDBE()
{
   if ( dbeData == nullptr )
      return;
   dbeData->Stop();
   dbeData->samples.clear();
   dbeData.reset();
}

// ---- Overlays -------------------------------------------------------------------------------------------------------

QPoint TImageWindow::ImageToScreen( float x, float y ) const
{
   const int32_t zoom = currentView != nullptr ? currentView->zoom : 1;
   auto map = [zoom]( float v, int32_t offset )
   {
      const double scaled = zoom > 0 ? double( v ) * zoom : double( v ) / -zoom;
      // Far outside the image a point still maps into range, so that an outline leaving the window stays a line.
      return int32_t( std::clamp( std::nearbyint( scaled + offset ), -1.0e8, 1.0e8 ) );
   };
   return { map( x, imageOffsetX ), map( y, imageOffsetY ) };
}

void TImageWindow::RepaintScreenArea( const QRect& area )
{
   viewport()->update( area.translated( -ScrollX(), -ScrollY() ) );
}

void TImageWindow::DrawDynamicSessionOverlays( QPainter& painter ) const
{
   if ( currentView == nullptr || currentView != mainView )
      return;
   for ( const DynamicSessionData* session :
         { static_cast<const DynamicSessionData*>( dynamicCropData.get() ),
           static_cast<const DynamicSessionData*>( dbeData.get() ) } )
      if ( session != nullptr && session->active )
      {
         painter.save();
         session->DrawOverlay( painter );
         painter.restore();
      }
}

void TImageWindow::ReleaseSessionMouse()
{
   if ( QWidget::mouseGrabber() == viewport() )
      viewport()->releaseMouse();
   SetScreenCursor( 0 );
}
