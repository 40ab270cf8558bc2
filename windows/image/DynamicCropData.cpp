// The interactive crop edit: its rectangle, hit tests and drags, and its outline over the main view.

#include "windows/image/DynamicCropData.h"

#include <QCoreApplication>
#include <QPainter>
#include <QToolButton>

#include <algorithm>
#include <cmath>

#include "classlib/Math.h"
#include "process/DynamicCrop.h"
#include "process/Preferences.h"
#include "windows/image/ImageWindow.h"
#include "windows/processing/DynamicCropDialog.h"

namespace
{

// (x, y) turned by a about (cx, cy), in float as the crop computes it.
DynamicCropData::Point Turned( float x, float y, float a, float cx, float cy )
{
   float s, c;
   qor::SinCos( a, s, c );
   const float dx = x - cx, dy = y - cy;
   return { cx + c * dx + s * dy, cy - s * dx + c * dy };
}

// The dialog when it serves this edit.
TDynamicCropDialog* DialogOf( const DynamicCropData* data )
{
   TDynamicCropDialog* dialog = ExistingDynamicCropDialog();
   return dialog != nullptr && dialog->cropData == data ? dialog : nullptr;
}

} // namespace

DynamicCropData::~DynamicCropData()
{
   DynamicCropData::Stop();
}

template <typename Change> void DynamicCropData::Changing( Change&& change )
{
   const bool shownBefore = OverlayShown();
   const QRect before = OutlineArea();
   change();
   QRect area;
   if ( shownBefore )
      area = before;
   if ( OverlayShown() )
      area |= OutlineArea();
   if ( !area.isEmpty() )
      RepaintScreenArea( area );
   if ( TDynamicCropDialog* dialog = DialogOf( this ) )
      dialog->Refresh();
}

// ---- Start and stop -------------------------------------------------------------------------------------------------

void DynamicCropData::Start( float x0, float y0, float x1, float y1 )
{
   Changing(
       [&]
       {
          active = true;
          dragMode = NoHit;
          width = std::abs( x1 - x0 );
          height = std::abs( y1 - y0 );
          centerX = rotationCenterX = ( x0 + x1 ) * 0.5f;
          centerY = rotationCenterY = ( y0 + y1 ) * 0.5f;
          angle = 0;
          rotationCenterMoved = false;
       } );
   DynamicCropDialog().Attach( this );
}

void DynamicCropData::StartFromInstance( const Process& instance )
{
   const auto* crop = dynamic_cast<const DynamicCrop*>( &instance );
   if ( crop == nullptr || window->image == nullptr )
      return;
   const DynamicCrop::Parameters& p = crop->Params();
   const float W = float( window->image->Width() ), H = float( window->image->Height() );
   Changing(
       [&]
       {
          active = true;
          dragMode = NoHit;
          width = W * p.width;
          height = H * p.height;
          // A side of less than a pixel (or one that is not a number) becomes one pixel.
          if ( !( width > 1.0f ) )
             width = 1.0f;
          if ( !( height > 1.0f ) )
             height = 1.0f;
          centerX = rotationCenterX = W * p.centerX;
          centerY = rotationCenterY = H * p.centerY;
          angle = p.rotationAngle;
          rotationCenterMoved = false;
       } );
   DynamicCropDialog().Attach( this );
}

void DynamicCropData::Stop()
{
   if ( !active )
      return;
   // The dialog never keeps an edit that is gone, even while the program ends.
   if ( TDynamicCropDialog* dialog = DialogOf( this ) )
      dialog->Attach( nullptr );
   if ( window->closingCount == 0 && !QCoreApplication::closingDown() && OverlayShown() )
      RepaintScreenArea( OutlineArea() );
   dragMode = NoHit;
   active = false;
}

// ---- Hit tests and drags --------------------------------------------------------------------------------------------

float DynamicCropData::Tolerance() const
{
   const float t = float( CurrentPreferences.imageWindow.cursorTolerance );
   const int32_t zoom = window->currentView != nullptr ? window->currentView->zoom : 1;
   return zoom >= 1 ? t / float( zoom ) : t * float( -zoom );
}

int32_t DynamicCropData::HitTest( float x, float y ) const
{
   const float t = Tolerance();
   if ( std::abs( x - rotationCenterX ) <= t && std::abs( y - rotationCenterY ) <= t )
      return CenterHit;
   const Point p = Turned( x, y, -angle, centerX, centerY );
   const float hw = width / 2, hh = height / 2;
   if ( std::abs( p.x - centerX ) > hw + t || std::abs( p.y - centerY ) > hh + t )
      return OutsideHit;
   int32_t edges = 0;
   if ( std::abs( p.x - ( centerX - hw ) ) <= t )
      edges |= LeftEdge;
   if ( std::abs( p.y - ( centerY - hh ) ) <= t )
      edges |= TopEdge;
   if ( std::abs( p.x - ( centerX + hw ) ) <= t )
      edges |= RightEdge;
   if ( std::abs( p.y - ( centerY + hh ) ) <= t )
      edges |= BottomEdge;
   return edges != 0 ? ResizeHit | edges : InsideHit;
}

void DynamicCropData::MouseDown( float x, float y )
{
   dragMode = HitTest( x, y );
   lastX = x;
   lastY = y;
}

void DynamicCropData::MouseMove( float x, float y )
{
   if ( dragMode & CenterHit )
      SetRotationCenter( x, y );
   else if ( dragMode & ResizeHit )
      ResizeDrag( x, y );
   else if ( dragMode & InsideHit )
      MoveDrag( x, y );
   else if ( dragMode & OutsideHit )
      RotateDrag( x, y );
   lastX = x;
   lastY = y;
}

void DynamicCropData::MouseUp()
{
   dragMode = NoHit;
}

void DynamicCropData::SetRotationCenter( float x, float y )
{
   Changing(
       [&]
       {
          rotationCenterX = x;
          rotationCenterY = y;
          rotationCenterMoved = true;
       } );
}

void DynamicCropData::SetCenter( float x, float y )
{
   Changing(
       [&]
       {
          centerX = x;
          centerY = y;
          if ( !rotationCenterMoved )
          {
             rotationCenterX = x;
             rotationCenterY = y;
          }
       } );
}

void DynamicCropData::MoveDrag( float x, float y )
{
   SetCenter( centerX + x - lastX, centerY + y - lastY );
}

void DynamicCropData::ResizeDrag( float x, float y )
{
   const Point pointer = Turned( x, y, -angle, centerX, centerY );
   const Point last = Turned( lastX, lastY, -angle, centerX, centerY );
   const float du = pointer.x - last.x, dv = pointer.y - last.y;
   float cx = centerX, cy = centerY;
   float w = width, h = height;
   if ( dragMode & LeftEdge )
   {
      cx += du / 2;
      w -= du;
   }
   if ( dragMode & TopEdge )
   {
      cy += dv / 2;
      h -= dv;
   }
   if ( dragMode & RightEdge )
   {
      cx += du / 2;
      w += du;
   }
   if ( dragMode & BottomEdge )
   {
      cy += dv / 2;
      h += dv;
   }
   // An edge dragged across the opposite one flips the rectangle.
   const Point centre = Turned( cx, cy, angle, centerX, centerY );
   Changing(
       [&]
       {
          width = std::abs( w );
          height = std::abs( h );
          SetCenter( centre.x, centre.y );
       } );
}

void DynamicCropData::TurnAboutRotationCenter( float d )
{
   const Point centre = Turned( centerX, centerY, d, rotationCenterX, rotationCenterY );
   Changing(
       [&]
       {
          angle = std::atan2( std::sin( angle + d ), std::cos( angle + d ) );
          SetCenter( centre.x, centre.y );
       } );
}

void DynamicCropData::RotateDrag( float x, float y )
{
   const float a1 = std::atan2( rotationCenterY - y, x - rotationCenterX );
   const float a0 = std::atan2( rotationCenterY - lastY, lastX - rotationCenterX );
   TurnAboutRotationCenter( a1 - a0 );
}

float DynamicCropData::ReferenceAngle() const
{
   return rotationCenterMoved ? std::atan2( rotationCenterY - centerY, centerX - rotationCenterX ) : angle;
}

void DynamicCropData::SetAngle( float a )
{
   TurnAboutRotationCenter( a - ReferenceAngle() );
}

void DynamicCropData::GrowEdges( float left, float top, float right, float bottom )
{
   const float L = centerX - width / 2 - left, T = centerY - height / 2 - top;
   const float R = centerX + width / 2 + right, B = centerY + height / 2 + bottom;
   const Point centre = Turned( ( L + R ) / 2, ( T + B ) / 2, angle, centerX, centerY );
   Changing(
       [&]
       {
          width = R - L;
          height = B - T;
          SetCenter( centre.x, centre.y );
       } );
}

std::array<DynamicCropData::Point, 4> DynamicCropData::GetCorners() const
{
   const float hw = width / 2, hh = height / 2;
   return { Turned( centerX - hw, centerY - hh, angle, centerX, centerY ),
            Turned( centerX + hw, centerY - hh, angle, centerX, centerY ),
            Turned( centerX - hw, centerY + hh, angle, centerX, centerY ),
            Turned( centerX + hw, centerY + hh, angle, centerX, centerY ) };
}

// ---- Outline --------------------------------------------------------------------------------------------------------

QRect DynamicCropData::OutlineArea() const
{
   const auto corners = GetCorners();
   QRect area;
   for ( const Point& p : corners )
      area |= QRect( ImageToScreen( p.x, p.y ), QSize( 1, 1 ) );
   const QPoint c = ImageToScreen( rotationCenterX, rotationCenterY );
   area |= QRect( c - QPoint( 5, 5 ), c + QPoint( 6, 6 ) );
   // The pen's width on every side.
   return area.adjusted( -2, -2, 2, 2 );
}

void DynamicCropData::DrawOverlay( QPainter& painter ) const
{
   const auto corners = GetCorners(); // TL, TR, BL, BR
   const QPoint tl = ImageToScreen( corners[0].x, corners[0].y ), tr = ImageToScreen( corners[1].x, corners[1].y );
   const QPoint bl = ImageToScreen( corners[2].x, corners[2].y ), br = ImageToScreen( corners[3].x, corners[3].y );
   // White through difference inverts what lies under the outline, so it shows on any image.
   painter.setCompositionMode( QPainter::CompositionMode_Difference );
   painter.setBrush( Qt::NoBrush );
   painter.setPen( QPen( Qt::white, 1, Qt::SolidLine ) );
   const QPoint outline[] = { tl, tr, br, bl, tl };
   painter.drawPolyline( outline, 5 );
   const QPoint c = ImageToScreen( rotationCenterX, rotationCenterY );
   painter.drawLine( c.x() - 4, c.y() - 4, c.x() + 5, c.y() + 5 );
   painter.drawLine( c.x() - 4, c.y() + 4, c.x() + 5, c.y() - 5 );
}

bool DynamicCropData::EnterPressed()
{
   TDynamicCropDialog* dialog = DialogOf( this );
   if ( dialog == nullptr )
      return false;
   // The OK crops and ends the edit: this object is gone when the click returns.
   dialog->OK_SpeedButton->click();
   return true;
}

const ProcessSessionDialog* DynamicCropData::SessionDialog()
{
   return ExistingDynamicCropDialog();
}
