// The dynamic-session objects as the image window sees them, before the dynamic processes give them their work.

#include "windows/image/DynamicSessions.h"

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

DynamicCropData::~DynamicCropData()
{
   // A derived session has stopped itself in its own destructor; this ends what is left of the base.
   DynamicCropData::Stop();
}

void DynamicCropData::Start( float, float, float, float )
{
}

void DynamicCropData::Stop()
{
   DynamicSessionData::Stop();
   dragMode = NoHit;
}

std::array<DynamicCropData::Point, 4> DynamicCropData::GetCorners() const
{
   return {};
}

void DynamicCropData::MouseDown( float x, float y )
{
   dragMode = HitTest( x, y );
}

void DynamicCropData::MouseUp()
{
   dragMode = NoHit;
}
